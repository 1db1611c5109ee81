#pragma once
// The shell namespace over the drive map: the Desktop at the root, under it "My Computer" with
// the mapped drives, then the folders and files of each drive.
//
// Items are named by item identifier lists (ID lists): a run of IDs, each a 16-bit little-endian
// size (counting its own two bytes) followed by the ID's bytes, ended by a zero size. An ID holds
// one name segment (Windows-1252): "::" for My Computer, "D:" for a drive, the file or folder name
// below. The Desktop is the empty list (the terminator alone). Lists are allocated by these
// functions and freed with ILFree.
//
// ID lists that come from outside (drag data, stored bytes) are checked with ILValidate before any
// other function walks them.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

using LPITEMIDLIST = uint8_t*;
using LPCITEMIDLIST = const uint8_t*;

// ---- ID-list helpers ----
// Size of a list in bytes including the terminator; 0 for nil.
uint32_t ILGetSize(LPCITEMIDLIST list);
// The ID after the first one, nil when the list is empty or nil.
LPCITEMIDLIST ILGetNext(LPCITEMIDLIST list);
// The last ID of a list (the terminator for an empty list); nil for nil.
LPCITEMIDLIST ILFindLastID(LPCITEMIDLIST list);
LPITEMIDLIST ILClone(LPCITEMIDLIST list);
LPITEMIDLIST ILCloneFirst(LPCITEMIDLIST list);
// Parent + relative; either may be nil (then the other is copied).
LPITEMIDLIST ILCombine(LPCITEMIDLIST parent, LPCITEMIDLIST relative);
bool ILIsEqual(LPCITEMIDLIST a, LPCITEMIDLIST b);
// Cuts the last ID in place; false when the list is empty or nil.
bool ILRemoveLastID(LPITEMIDLIST list);
void ILFree(LPITEMIDLIST list);
// A list from raw bytes (copied); nil when the bytes are not a well-formed list.
LPITEMIDLIST ILCreateFromBytes(const uint8_t* data, size_t size);
// The size of the well-formed list at the start of the bytes (terminator included), 0 when the
// bytes end before the terminator or an ID's size is below 3.
size_t ILValidate(const uint8_t* data, size_t size);
// The number of IDs in a list.
int ILCount(LPCITEMIDLIST list);
// The name segment of an ID.
std::string ILSegment(LPCITEMIDLIST id);

// ---- The namespace ----
inline constexpr uint32_t SFGAO_CANRENAME = 0x00000010;
inline constexpr uint32_t SFGAO_LINK = 0x00010000;
inline constexpr uint32_t SFGAO_SHARE = 0x00020000;
inline constexpr uint32_t SFGAO_READONLY = 0x00040000;
inline constexpr uint32_t SFGAO_HIDDEN = 0x00080000;
inline constexpr uint32_t SFGAO_COMPRESSED = 0x04000000;
inline constexpr uint32_t SFGAO_FOLDER = 0x20000000;
inline constexpr uint32_t SFGAO_FILESYSTEM = 0x40000000;
inline constexpr uint32_t SFGAO_HASSUBFOLDER = 0x80000000;

inline constexpr uint32_t SHCONTF_FOLDERS = 0x20;
inline constexpr uint32_t SHCONTF_NONFOLDERS = 0x40;
inline constexpr uint32_t SHCONTF_INCLUDEHIDDEN = 0x80;

inline constexpr uint32_t SHGDN_NORMAL = 0;
inline constexpr uint32_t SHGDN_FORPARSING = 0x8000;

inline constexpr int CSIDL_DESKTOP = 0;
inline constexpr int CSIDL_PERSONAL = 5;
inline constexpr int CSIDL_BITBUCKET = 10;
inline constexpr int CSIDL_DESKTOPDIRECTORY = 16;
inline constexpr int CSIDL_DRIVES = 17;
inline constexpr int CSIDL_FONTS = 20;
inline constexpr int CSIDL_TEMPLATES = 21;
inline constexpr int CSIDL_APPDATA = 26;

// The list of a Windows path ("D:\dir\a.txt", "D:", "D:\"), with the names spelled as on disk;
// nil when the drive is not mapped or the item does not exist.
LPITEMIDLIST SHParseDisplayName(std::string_view path);
// The list of a Windows path as written, whether or not the item exists (a deleted item's list):
// "D:\dir\gone.txt"; nil when the path is not absolute on a mapped drive.
LPITEMIDLIST SHSimpleIDListFromPath(std::string_view path);
// The list of My Computer.
LPITEMIDLIST SHComputerIDList();
// The parsing name (SHGDN_FORPARSING): the Windows path of a file-system item, "" for the
// Desktop and My Computer; or the normal display name: "Desktop", "My Computer",
// "LABEL (D:)" / "Local Disk (D:)" for a drive, the name for the rest. Empty for a list the
// namespace does not hold.
std::string SHGetDisplayNameOf(LPCITEMIDLIST list, uint32_t flags);
// The native path of a file-system item; empty otherwise.
std::string SHNativePathOf(LPCITEMIDLIST list);
// The SFGAO bits of the item that are asked for in mask; 0 when the item does not exist.
uint32_t SHGetAttributesOf(LPCITEMIDLIST list, uint32_t mask);
// The IDs (relative, one ID each) of a folder's children by SHCONTF flags, in sorted order.
std::vector<LPITEMIDLIST> SHEnumObjects(LPCITEMIDLIST folder, uint32_t flags);
// The list of a special folder; nil when it has no location here. The Desktop is the empty list.
LPITEMIDLIST SHGetSpecialFolderLocation(int csidl);

// What a folder listing says of a file-system item.
struct TShellFindData {
    uint32_t Attributes = 0;
    uint64_t Size = 0;
    int64_t ModifiedUnix = 0;  // seconds
};
bool SHGetFindData(LPCITEMIDLIST list, TShellFindData& data);

}  // namespace platform
