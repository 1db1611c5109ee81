#include "sysutil/shell/UtShlDrop.h"

#include <cctype>

#include "framework/core/SysUtils.h"
#include "framework/ui/Windows.h"
#include "platform/Files.h"
#include "platform/ShellNamespace.h"
#include "sysutil/shell/UtShell.h"

using namespace platform;

namespace sysutil {

namespace {

std::string WithoutSlash(std::string path) {
    while (path.size() > 3 && path.back() == '\\') path.pop_back();
    return path;
}

std::string ParentOf(const std::string& path) {
    const std::string p = WithoutSlash(path);
    const size_t slash = p.rfind('\\');
    if (slash == std::string::npos) return std::string();
    return slash == 2 ? p.substr(0, 3) : p.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const std::string p = WithoutSlash(path);
    const size_t slash = p.rfind('\\');
    return slash == std::string::npos ? p : p.substr(slash + 1);
}

std::string Join(const std::string& folder, const std::string& name) {
    return folder.back() == '\\' ? folder + name : folder + "\\" + name;
}

bool SamePath(const std::string& a, const std::string& b) {
    return framework::AnsiCompareText(WithoutSlash(a), WithoutSlash(b)) == 0;
}

// True when Folder is Path or lies below it.
bool IsWithin(const std::string& folder, const std::string& path) {
    const std::string f = framework::AnsiUpperCase(WithoutSlash(folder));
    std::string p = framework::AnsiUpperCase(WithoutSlash(path));
    if (f == p) return true;
    if (p.back() != '\\') p += '\\';
    return f.compare(0, p.size(), p) == 0;
}

bool IsFolder(const std::string& path) {
    const uint32_t attrs = GetFileAttributes(path);
    return attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY);
}

bool CopyTree(const std::string& from, const std::string& to) {
    if (!IsFolder(from)) return CopyFile(from, to, true);
    if (!CreateDirectory(to)) return false;
    bool ok = true;
    WIN32_FIND_DATA found;
    const HANDLE h = FindFirstFile(Join(from, "*"), found);
    if (h == INVALID_HANDLE_VALUE) return true;
    do {
        if (found.cFileName == "." || found.cFileName == "..") continue;
        ok = CopyTree(Join(from, found.cFileName), Join(to, found.cFileName)) && ok;
    } while (FindNextFile(h, found));
    FindClose(h);
    return ok;
}

}  // namespace

std::vector<std::string> DroppedPaths(IDataObject* Data) {
    std::vector<std::string> paths;
    if (!Data) return paths;
    FORMATETC format;
    format.dwAspect = DVASPECT_CONTENT;
    format.tymed = TYMED_HGLOBAL;
    STGMEDIUM medium;
    format.cfFormat = CF_HDROP;
    if (Data->GetData(format, medium) == S_OK && medium.hGlobal &&
        ReadFileDropList(medium.hGlobal->data(), medium.hGlobal->size(), paths))
        return paths;
    paths.clear();
    format.cfFormat = static_cast<uint16_t>(ShellIDListFormat());
    STGMEDIUM lists;
    TIDListArray array;
    if (Data->GetData(format, lists) != S_OK || !lists.hGlobal ||
        !ReadIDListArray(lists.hGlobal->data(), lists.hGlobal->size(), array))
        return paths;
    for (const auto& item : array.Items) {
        LPITEMIDLIST full = ILCombine(reinterpret_cast<LPCITEMIDLIST>(array.Parent.data()),
                                      reinterpret_cast<LPCITEMIDLIST>(item.data()));
        if (SHGetAttributesOf(full, SFGAO_FILESYSTEM))
            paths.push_back(SHGetDisplayNameOf(full, SHGDN_FORPARSING));
        ILFree(full);
    }
    return paths;
}

uint32_t FolderDropEffect(const std::vector<std::string>& Paths, const std::string& Folder, uint32_t KeyState,
                          uint32_t Allowed) {
    if (Paths.empty() || Folder.size() < 3 || Folder[1] != ':' || !IsFolder(Folder)) return DROPEFFECT_NONE;
    bool allInPlace = true, sameDrive = true;
    for (const auto& path : Paths) {
        if (IsWithin(Folder, path)) return DROPEFFECT_NONE;
        if (!SamePath(ParentOf(path), Folder)) allInPlace = false;
        if (path.size() < 2 || std::toupper(static_cast<unsigned char>(path[0])) !=
                                   std::toupper(static_cast<unsigned char>(Folder[0])))
            sameDrive = false;
    }
    if (allInPlace) return DROPEFFECT_NONE;
    const bool copy = (KeyState & framework::MK_CONTROL) || !sameDrive;
    const uint32_t wanted = copy ? DROPEFFECT_COPY : DROPEFFECT_MOVE;
    if (Allowed & wanted) return wanted;
    return Allowed & (DROPEFFECT_COPY | DROPEFFECT_MOVE);
}

bool TransferToFolder(const std::vector<std::string>& Paths, const std::string& Folder, bool Move) {
    bool ok = true;
    for (const auto& path : Paths) {
        const std::string target = Join(Folder, NameOf(path));
        if (GetFileAttributes(target) != INVALID_FILE_ATTRIBUTES) {
            ok = false;
            continue;
        }
        ok = (Move ? MoveFile(path, target) : CopyTree(path, target)) && ok;
    }
    return ok;
}

HRESULT TUtFolderDropTarget::DragEnter(IDataObject* Data, uint32_t KeyState, framework::TPoint Pt,
                                       uint32_t& Effect) {
    FPaths = DroppedPaths(Data);
    return DragOver(KeyState, Pt, Effect);
}

HRESULT TUtFolderDropTarget::DragOver(uint32_t KeyState, framework::TPoint, uint32_t& Effect) {
    if (framework::GetKeyState(framework::VK_CONTROL) < 0) KeyState |= framework::MK_CONTROL;
    Effect = FolderDropEffect(FPaths, FFolder, KeyState, Effect);
    return S_OK;
}

HRESULT TUtFolderDropTarget::DragLeave() {
    FPaths.clear();
    return S_OK;
}

HRESULT TUtFolderDropTarget::Drop(IDataObject* Data, uint32_t KeyState, framework::TPoint, uint32_t& Effect) {
    FPaths = DroppedPaths(Data);
    if (framework::GetKeyState(framework::VK_CONTROL) < 0) KeyState |= framework::MK_CONTROL;
    Effect = FolderDropEffect(FPaths, FFolder, KeyState, Effect);
    if (Effect == DROPEFFECT_MOVE || Effect == DROPEFFECT_COPY) {
        std::vector<std::string> paths;
        paths.swap(FPaths);
        TransferToFolder(paths, FFolder, Effect == DROPEFFECT_MOVE);
    }
    FPaths.clear();
    return S_OK;
}

}  // namespace sysutil
