#include "sysutil/shell/UtShlDD.h"

#include <algorithm>
#include <cstring>

namespace sysutil {

using namespace platform;

namespace {

void Put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

FORMATETC ContentFormat(uint16_t format) {
    FORMATETC f;
    f.cfFormat = format;
    f.dwAspect = DVASPECT_CONTENT;
    f.lindex = -1;
    f.tymed = TYMED_HGLOBAL;
    return f;
}

}  // namespace

// ---- Format enumerator ----

TUtEnumFormatEtc::TUtEnumFormatEtc(const std::vector<FORMATETC>& Formats, uint32_t Position)
    : FPosition(Position) {
    for (const auto& f : Formats) {
        if (f.cfFormat == 0 || FFormats.size() == kMaxFormats) break;
        FFormats.push_back(f);
    }
    FPosition = std::min<uint32_t>(FPosition, static_cast<uint32_t>(FFormats.size()));
}

HRESULT TUtEnumFormatEtc::Next(uint32_t Count, FORMATETC* Records, uint32_t* Fetched) {
    uint32_t copied = 0;
    while (copied < Count && FPosition < FFormats.size()) Records[copied++] = FFormats[FPosition++];
    if (Fetched) *Fetched = copied;
    return copied == 0 || FPosition >= FFormats.size() ? S_FALSE : S_OK;
}

HRESULT TUtEnumFormatEtc::Skip(uint32_t Count) {
    FPosition = static_cast<uint32_t>(std::min<uint64_t>(uint64_t(FPosition) + Count, FFormats.size()));
    return S_OK;
}

HRESULT TUtEnumFormatEtc::Reset() {
    FPosition = 0;
    return S_OK;
}

HRESULT TUtEnumFormatEtc::Clone(std::shared_ptr<IEnumFORMATETC>& Result) {
    Result = std::make_shared<TUtEnumFormatEtc>(FFormats, FPosition);
    return S_OK;
}

// ---- Data object ----

TUtDataObject::TUtDataObject(const std::vector<LPCITEMIDLIST>& Items, LPCITEMIDLIST AbsoluteItem)
    : FParentIDList(sysutil::ParentIDList(AbsoluteItem)), FItems(Items) {
    FFormats = {ContentFormat(static_cast<uint16_t>(ShellIDListFormat())), ContentFormat(CF_HDROP),
                ContentFormat(CF_TEXT)};
}

TUtDataObject::~TUtDataObject() {
    ILFree(FParentIDList);
}

HRESULT TUtDataObject::QueryGetData(const FORMATETC& Format) {
    if (Format.dwAspect != DVASPECT_CONTENT) return DV_E_FORMATETC;
    HRESULT result = DV_E_FORMATETC;
    for (const auto& f : FFormats) {
        if (f.cfFormat != Format.cfFormat) continue;
        if (f.tymed == Format.tymed) return S_OK;
        result = DV_E_TYMED;
    }
    return result;
}

const std::vector<uint8_t>& TUtDataObject::IDListArray() {
    if (!FIDListArray.empty()) return FIDListArray;
    const uint32_t count = static_cast<uint32_t>(FItems.size());
    std::vector<uint8_t>& out = FIDListArray;
    Put32(out, count);
    uint32_t offset = 4 * count + 8;
    Put32(out, offset);
    offset += ILGetSize(FParentIDList);
    for (LPCITEMIDLIST item : FItems) {
        Put32(out, offset);
        offset += ILGetSize(item);
    }
    out.insert(out.end(), FParentIDList, FParentIDList + ILGetSize(FParentIDList));
    for (LPCITEMIDLIST item : FItems) out.insert(out.end(), item, item + ILGetSize(item));
    return out;
}

std::vector<std::string> TUtDataObject::Paths() const {
    std::vector<std::string> paths;
    for (LPCITEMIDLIST item : FItems) {
        LPITEMIDLIST full = ILCombine(FParentIDList, item);
        paths.push_back(SHGetDisplayNameOf(full, SHGDN_FORPARSING));
        ILFree(full);
    }
    return paths;
}

const std::vector<uint8_t>& TUtDataObject::FileDropList() {
    if (!FFileDropList.empty()) return FFileDropList;
    std::vector<uint8_t>& out = FFileDropList;
    Put32(out, 20);
    out.resize(20, 0);
    for (const auto& path : Paths()) {
        out.insert(out.end(), path.begin(), path.end());
        out.push_back(0);
    }
    out.push_back(0);
    return out;
}

HRESULT TUtDataObject::GetData(const FORMATETC& Format, STGMEDIUM& Medium) {
    const HRESULT query = QueryGetData(Format);
    if (query != S_OK) return query;
    Medium = STGMEDIUM{};
    Medium.tymed = TYMED_HGLOBAL;
    if (Format.cfFormat == ShellIDListFormat()) {
        Medium.hGlobal = IDListArray();
    } else if (Format.cfFormat == CF_HDROP) {
        Medium.hGlobal = FileDropList();
    } else if (Format.cfFormat == CF_TEXT) {
        // The paths as text, one per line.
        std::string text;
        for (const auto& path : Paths()) text += (text.empty() ? "" : "\r\n") + path;
        Medium.hGlobal = std::vector<uint8_t>(text.begin(), text.end());
        Medium.hGlobal->push_back(0);
    }
    return Medium.hGlobal ? S_OK : E_OUTOFMEMORY;
}

HRESULT TUtDataObject::GetDataHere(const FORMATETC&, STGMEDIUM&) {
    return E_NOTIMPL;
}
HRESULT TUtDataObject::SetData(const FORMATETC&, STGMEDIUM&, bool) {
    return E_NOTIMPL;
}

HRESULT TUtDataObject::GetCanonicalFormatEtc(const FORMATETC& In, FORMATETC& Out) {
    Out = In;
    Out.ptd = nullptr;
    return DATA_S_SAMEFORMATETC;
}

HRESULT TUtDataObject::EnumFormatEtc(uint32_t Direction, std::shared_ptr<IEnumFORMATETC>& Result) {
    if (Direction != DATADIR_GET) return E_NOTIMPL;
    Result = std::make_shared<TUtEnumFormatEtc>(FFormats);
    return S_OK;
}

HRESULT TUtDataObject::DAdvise() {
    return OLE_E_ADVISENOTSUPPORTED;
}
HRESULT TUtDataObject::DUnadvise() {
    return OLE_E_ADVISENOTSUPPORTED;
}
HRESULT TUtDataObject::EnumDAdvise(void** Result) {
    if (Result) *Result = nullptr;
    return OLE_E_ADVISENOTSUPPORTED;
}

// ---- Drop source ----

HRESULT TUtDropSource::QueryContinueDrag(bool EscapePressed, uint32_t KeyState) {
    if (EscapePressed) return DRAGDROP_S_CANCEL;
    if (!(KeyState & MK_LBUTTON)) return DRAGDROP_S_DROP;
    return S_OK;
}

HRESULT TUtDropSource::GiveFeedback(uint32_t) {
    return DRAGDROP_S_USEDEFAULTCURSORS;
}

}  // namespace sysutil
