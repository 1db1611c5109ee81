#pragma once
// The data-transfer interfaces of drag-and-drop: format records, storage media, the data object,
// its format enumerator and the drop source, with their result codes; and bounded readers of the
// two shell formats ("Shell IDList Array" and the file-drop list) for data that comes back from
// outside.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform {

using HRESULT = int32_t;
inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001);
inline constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000E);
inline constexpr HRESULT DV_E_FORMATETC = static_cast<HRESULT>(0x80040064);
inline constexpr HRESULT DV_E_TYMED = static_cast<HRESULT>(0x80040069);
inline constexpr HRESULT OLE_E_ADVISENOTSUPPORTED = static_cast<HRESULT>(0x80040003);
inline constexpr HRESULT DATA_S_SAMEFORMATETC = 0x40130;
inline constexpr HRESULT DRAGDROP_S_DROP = 0x40100;
inline constexpr HRESULT DRAGDROP_S_CANCEL = 0x40101;
inline constexpr HRESULT DRAGDROP_S_USEDEFAULTCURSORS = 0x40102;

inline constexpr uint16_t CF_TEXT = 1;
inline constexpr uint16_t CF_HDROP = 15;
inline constexpr uint32_t DVASPECT_CONTENT = 1;
inline constexpr uint32_t TYMED_HGLOBAL = 1;
inline constexpr uint32_t DATADIR_GET = 1;
inline constexpr uint32_t DATADIR_SET = 2;
inline constexpr uint32_t MK_LBUTTON = 0x1;

inline constexpr uint32_t DROPEFFECT_NONE = 0;
inline constexpr uint32_t DROPEFFECT_COPY = 1;
inline constexpr uint32_t DROPEFFECT_MOVE = 2;
inline constexpr uint32_t DROPEFFECT_LINK = 4;

struct FORMATETC {
    uint16_t cfFormat = 0;
    const void* ptd = nullptr;  // target device: always none here
    uint32_t dwAspect = 0;
    int32_t lindex = -1;
    uint32_t tymed = 0;
};

// A storage medium; hGlobal stands for the global memory block handed to the caller.
struct STGMEDIUM {
    uint32_t tymed = 0;
    std::optional<std::vector<uint8_t>> hGlobal;
};

class IEnumFORMATETC {
public:
    virtual ~IEnumFORMATETC() = default;
    virtual HRESULT Next(uint32_t count, FORMATETC* records, uint32_t* fetched) = 0;
    virtual HRESULT Skip(uint32_t count) = 0;
    virtual HRESULT Reset() = 0;
    virtual HRESULT Clone(std::shared_ptr<IEnumFORMATETC>& result) = 0;
};

class IDataObject {
public:
    virtual ~IDataObject() = default;
    virtual HRESULT GetData(const FORMATETC& format, STGMEDIUM& medium) = 0;
    virtual HRESULT GetDataHere(const FORMATETC& format, STGMEDIUM& medium) = 0;
    virtual HRESULT QueryGetData(const FORMATETC& format) = 0;
    virtual HRESULT GetCanonicalFormatEtc(const FORMATETC& in, FORMATETC& out) = 0;
    virtual HRESULT SetData(const FORMATETC& format, STGMEDIUM& medium, bool release) = 0;
    virtual HRESULT EnumFormatEtc(uint32_t direction, std::shared_ptr<IEnumFORMATETC>& result) = 0;
    virtual HRESULT DAdvise() = 0;
    virtual HRESULT DUnadvise() = 0;
    virtual HRESULT EnumDAdvise(void** result) = 0;
};

class IDropSource {
public:
    virtual ~IDropSource() = default;
    virtual HRESULT QueryContinueDrag(bool escapePressed, uint32_t keyState) = 0;
    virtual HRESULT GiveFeedback(uint32_t effect) = 0;
};

// "Shell IDList Array": the item count, count + 1 offsets from the start of the block, then the
// parent's list and each item's list. False when the block is not well formed (short, offsets
// outside the block, a list without its terminator); the lists are copied out, each with its
// terminator.
struct TIDListArray {
    std::vector<uint8_t> Parent;
    std::vector<std::vector<uint8_t>> Items;
};
bool ReadIDListArray(const uint8_t* data, size_t size, TIDListArray& result);

// The file-drop list: a 20-byte header whose first field is the offset of the names, then
// NUL-ended names (8-bit, or 16-bit when the header's fourth field is set) up to an empty one.
// False when the offset or a name runs past the block.
bool ReadFileDropList(const uint8_t* data, size_t size, std::vector<std::string>& names);

}  // namespace platform
