#pragma once
// The drag source of the shell views: the data object offering dragged shell items as
// "Shell IDList Array", as a file-drop list and as text (the paths, one per line), its format
// enumerator and the drop source that decides when the drag ends.

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/DragDrop.h"
#include "sysutil/shell/UtShell.h"

namespace sysutil {

using platform::FORMATETC;
using platform::HRESULT;
using platform::STGMEDIUM;

inline constexpr int kMaxFormats = 256;

class TUtEnumFormatEtc : public platform::IEnumFORMATETC {
public:
    TUtEnumFormatEtc(const std::vector<FORMATETC>& Formats, uint32_t Position = 0);
    HRESULT Next(uint32_t Count, FORMATETC* Records, uint32_t* Fetched) override;
    HRESULT Skip(uint32_t Count) override;
    HRESULT Reset() override;
    HRESULT Clone(std::shared_ptr<platform::IEnumFORMATETC>& Result) override;

private:
    std::vector<FORMATETC> FFormats;  // up to the first record of format 0
    uint32_t FPosition = 0;
};

class TUtDataObject : public platform::IDataObject {
public:
    // The items' relative lists (not copied: they belong to the view's items) and the absolute
    // list of one of them, whose parent is the folder that holds them all.
    TUtDataObject(const std::vector<LPCITEMIDLIST>& Items, LPCITEMIDLIST AbsoluteItem);
    ~TUtDataObject() override;
    TUtDataObject(const TUtDataObject&) = delete;
    TUtDataObject& operator=(const TUtDataObject&) = delete;

    HRESULT GetData(const FORMATETC& Format, STGMEDIUM& Medium) override;
    HRESULT GetDataHere(const FORMATETC& Format, STGMEDIUM& Medium) override;
    HRESULT QueryGetData(const FORMATETC& Format) override;
    HRESULT GetCanonicalFormatEtc(const FORMATETC& In, FORMATETC& Out) override;
    HRESULT SetData(const FORMATETC& Format, STGMEDIUM& Medium, bool Release) override;
    HRESULT EnumFormatEtc(uint32_t Direction, std::shared_ptr<platform::IEnumFORMATETC>& Result) override;
    HRESULT DAdvise() override;
    HRESULT DUnadvise() override;
    HRESULT EnumDAdvise(void** Result) override;

    const std::vector<FORMATETC>& Formats() const { return FFormats; }
    LPCITEMIDLIST ParentIDList() const { return FParentIDList; }

private:
    const std::vector<uint8_t>& IDListArray();
    std::vector<std::string> Paths() const;
    const std::vector<uint8_t>& FileDropList();

    LPITEMIDLIST FParentIDList = nullptr;
    std::vector<LPCITEMIDLIST> FItems;
    std::vector<FORMATETC> FFormats;
    std::vector<uint8_t> FIDListArray, FFileDropList;
};

class TUtDropSource : public platform::IDropSource {
public:
    HRESULT QueryContinueDrag(bool EscapePressed, uint32_t KeyState) override;
    HRESULT GiveFeedback(uint32_t Effect) override;
};

}  // namespace sysutil
