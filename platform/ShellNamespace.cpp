#include "platform/ShellNamespace.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/CodePage.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/XdgDirs.h"
#include "platform/Volume.h"

namespace platform {

namespace {

constexpr const char* kComputerSegment = "::";

uint16_t IdSize(LPCITEMIDLIST id) {
    return static_cast<uint16_t>(id[0] | (id[1] << 8));
}

LPITEMIDLIST Allocate(size_t size) {
    return static_cast<LPITEMIDLIST>(std::calloc(size ? size : 1, 1));
}

LPITEMIDLIST FromSegments(const std::vector<std::string>& segments) {
    size_t size = 2;
    for (const auto& s : segments) size += 2 + s.size();
    LPITEMIDLIST list = Allocate(size);
    uint8_t* p = list;
    for (const auto& s : segments) {
        const size_t cb = 2 + s.size();
        p[0] = static_cast<uint8_t>(cb & 0xFF);
        p[1] = static_cast<uint8_t>(cb >> 8);
        std::memcpy(p + 2, s.data(), s.size());
        p += cb;
    }
    return list;  // the terminator is already zero
}

std::vector<std::string> Segments(LPCITEMIDLIST list) {
    std::vector<std::string> out;
    for (LPCITEMIDLIST p = list; p && IdSize(p) != 0; p += IdSize(p)) out.push_back(ILSegment(p));
    return out;
}

bool IsDriveSegment(const std::string& s) {
    return s.size() == 2 && s[1] == ':' && s[0] >= 'A' && s[0] <= 'Z';
}

// The Windows path of the segments below My Computer; empty when they do not name a drive item.
std::string WindowsPathOf(const std::vector<std::string>& segments) {
    if (segments.size() < 2 || segments[0] != kComputerSegment || !IsDriveSegment(segments[1])) return {};
    std::string path = segments[1] + "\\";
    for (size_t i = 2; i < segments.size(); ++i) {
        if (segments[i].empty() || segments[i] == "." || segments[i] == ".." ||
            segments[i].find_first_of("\\/") != std::string::npos)
            return {};
        if (i > 2) path += "\\";
        path += segments[i];
    }
    return path;
}

}  // namespace

uint32_t ILGetSize(LPCITEMIDLIST list) {
    if (!list) return 0;
    uint32_t size = 0;
    for (LPCITEMIDLIST p = list; IdSize(p) != 0; p += IdSize(p)) size += IdSize(p);
    return size + 2;
}

LPCITEMIDLIST ILGetNext(LPCITEMIDLIST list) {
    if (!list || IdSize(list) == 0) return nullptr;
    return list + IdSize(list);
}

LPCITEMIDLIST ILFindLastID(LPCITEMIDLIST list) {
    if (!list) return nullptr;
    LPCITEMIDLIST last = list;
    for (LPCITEMIDLIST p = list; IdSize(p) != 0; p += IdSize(p)) last = p;
    return last;
}

LPITEMIDLIST ILClone(LPCITEMIDLIST list) {
    if (!list) return nullptr;
    const uint32_t size = ILGetSize(list);
    LPITEMIDLIST copy = Allocate(size);
    std::memcpy(copy, list, size);
    return copy;
}

LPITEMIDLIST ILCloneFirst(LPCITEMIDLIST list) {
    if (!list) return nullptr;
    const uint16_t cb = IdSize(list);
    LPITEMIDLIST copy = Allocate(cb + 2u);
    std::memcpy(copy, list, cb);
    return copy;
}

LPITEMIDLIST ILCombine(LPCITEMIDLIST parent, LPCITEMIDLIST relative) {
    if (!parent) return ILClone(relative);
    if (!relative) return ILClone(parent);
    const uint32_t a = ILGetSize(parent) - 2, b = ILGetSize(relative);
    LPITEMIDLIST list = Allocate(a + b);
    std::memcpy(list, parent, a);
    std::memcpy(list + a, relative, b);
    return list;
}

bool ILIsEqual(LPCITEMIDLIST a, LPCITEMIDLIST b) {
    if (!a || !b) return a == b;
    const uint32_t size = ILGetSize(a);
    return size == ILGetSize(b) && std::memcmp(a, b, size) == 0;
}

bool ILRemoveLastID(LPITEMIDLIST list) {
    if (!list || IdSize(list) == 0) return false;
    LPITEMIDLIST last = const_cast<LPITEMIDLIST>(ILFindLastID(list));
    last[0] = last[1] = 0;
    return true;
}

void ILFree(LPITEMIDLIST list) {
    std::free(list);
}

size_t ILValidate(const uint8_t* data, size_t size) {
    if (!data) return 0;
    size_t pos = 0;
    while (pos + 2 <= size) {
        const uint16_t cb = IdSize(data + pos);
        if (cb == 0) return pos + 2;
        if (cb < 3 || cb > size - pos) return 0;
        pos += cb;
    }
    return 0;
}

LPITEMIDLIST ILCreateFromBytes(const uint8_t* data, size_t size) {
    const size_t valid = ILValidate(data, size);
    if (valid == 0) return nullptr;
    LPITEMIDLIST list = Allocate(valid);
    std::memcpy(list, data, valid);
    return list;
}

int ILCount(LPCITEMIDLIST list) {
    int n = 0;
    for (LPCITEMIDLIST p = list; p && IdSize(p) != 0; p += IdSize(p)) ++n;
    return n;
}

std::string ILSegment(LPCITEMIDLIST id) {
    if (!id || IdSize(id) < 2) return {};
    return std::string(reinterpret_cast<const char*>(id + 2), IdSize(id) - 2u);
}

LPITEMIDLIST SHSimpleIDListFromPath(std::string_view path) {
    const std::string full = GetFullPathName(path);
    if (full.size() < 2 || full[1] != ':') return nullptr;
    // The root of a drive that left the map still has its list (a notice of its removal names it).
    const bool root = full.size() == 2 || (full.size() == 3 && full[2] == '\\');
    if (!FindDrive(full[0]) && !(root && full[0] >= 'A' && full[0] <= 'Z')) return nullptr;
    std::vector<std::string> segments = {kComputerSegment, full.substr(0, 2)};
    size_t start = 3;
    while (start < full.size()) {
        const size_t end = full.find('\\', start);
        const std::string name =
            full.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!name.empty()) segments.push_back(name);
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return FromSegments(segments);
}

LPITEMIDLIST SHComputerIDList() {
    return FromSegments({kComputerSegment});
}

LPITEMIDLIST SHParseDisplayName(std::string_view path) {
    std::string full = GetFullPathName(path);
    if (full.size() < 2 || full[1] != ':') return nullptr;
    if (full.size() == 2) full += "\\";
    const char letter = full[0];
    if (!FindDrive(letter)) return nullptr;
    std::vector<std::string> segments = {kComputerSegment, std::string(1, letter) + ":"};
    if (full.size() > 3) {
        std::string native;
        if (!ResolveExistingPath(full, native)) return nullptr;
        // The names as spelled on disk, from the drive's own folder down.
        const std::string spelled = NativeToWindowsPath(native);
        if (spelled.size() <= 3 || spelled[0] != letter) return nullptr;
        std::string rest = spelled.substr(3);
        while (!rest.empty() && rest.back() == '\\') rest.pop_back();
        size_t start = 0;
        while (start <= rest.size()) {
            const size_t end = rest.find('\\', start);
            const std::string name =
                rest.substr(start, end == std::string::npos ? std::string::npos : end - start);
            if (!name.empty()) segments.push_back(name);
            if (end == std::string::npos) break;
            start = end + 1;
        }
    } else {
        struct stat st {};
        if (::stat(FindDrive(letter)->Root.c_str(), &st) != 0) return nullptr;
    }
    return FromSegments(segments);
}

std::string SHNativePathOf(LPCITEMIDLIST list) {
    const std::string path = WindowsPathOf(Segments(list));
    if (path.empty()) return {};
    std::string native;
    return ResolveExistingPath(path, native) ? native : std::string();
}

std::string SHGetDisplayNameOf(LPCITEMIDLIST list, uint32_t flags) {
    if (!list) return {};
    const std::vector<std::string> segments = Segments(list);
    const bool parsing = (flags & SHGDN_FORPARSING) != 0;
    if (segments.empty()) return parsing ? "" : "Desktop";
    if (segments[0] != kComputerSegment) return {};
    if (segments.size() == 1) return parsing ? "" : "My Computer";
    const std::string path = WindowsPathOf(segments);
    if (path.empty()) return {};
    // A drive's root keeps its parsing name after the drive left the map.
    if (parsing && segments.size() == 2) return path;
    if (!FindDrive(path[0])) return {};
    if (parsing) return path;
    if (segments.size() == 2) {
        std::string label;
        if (!GetVolumeInformation(path, &label, nullptr, nullptr, nullptr, nullptr) || label.empty())
            label = "Local Disk";
        return label + " (" + segments[1] + ")";
    }
    return segments.back();
}

uint32_t SHGetAttributesOf(LPCITEMIDLIST list, uint32_t mask) {
    if (!list) return 0;
    const std::vector<std::string> segments = Segments(list);
    uint32_t attrs = 0;
    if (segments.empty() || (segments.size() == 1 && segments[0] == kComputerSegment)) {
        attrs = SFGAO_FOLDER | SFGAO_HASSUBFOLDER;
        return attrs & mask;
    }
    const std::string native = SHNativePathOf(list);
    if (native.empty()) return 0;
    struct stat lst {
    }, st{};
    if (::lstat(native.c_str(), &lst) != 0) return 0;
    const bool followed = ::stat(native.c_str(), &st) == 0;
    const bool folder = followed && S_ISDIR(st.st_mode);
    attrs = SFGAO_FILESYSTEM;
    if (folder) attrs |= SFGAO_FOLDER;
    if (S_ISLNK(lst.st_mode)) attrs |= SFGAO_LINK;
    if (segments.size() > 2) {
        attrs |= SFGAO_CANRENAME;
        const uint32_t fa = GetFileAttributes(WindowsPathOf(segments));
        if (segments.back()[0] == '.' || (fa != 0xFFFFFFFFu && (fa & FILE_ATTRIBUTE_HIDDEN)))
            attrs |= SFGAO_HIDDEN;
    }
    if (::access(native.c_str(), W_OK) != 0) attrs |= SFGAO_READONLY;
    if (folder && (mask & SFGAO_HASSUBFOLDER)) {
        if (DIR* dir = ::opendir(native.c_str())) {
            while (dirent* e = ::readdir(dir)) {
                if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
                struct stat cst {};
                if (::stat((native + "/" + e->d_name).c_str(), &cst) == 0 && S_ISDIR(cst.st_mode)) {
                    attrs |= SFGAO_HASSUBFOLDER;
                    break;
                }
            }
            ::closedir(dir);
        }
    }
    return attrs & mask;
}

std::vector<LPITEMIDLIST> SHEnumObjects(LPCITEMIDLIST folder, uint32_t flags) {
    std::vector<LPITEMIDLIST> out;
    if (!folder) return out;
    const std::vector<std::string> segments = Segments(folder);
    if (segments.empty()) {
        if (flags & SHCONTF_FOLDERS) out.push_back(FromSegments({kComputerSegment}));
        return out;
    }
    if (segments.size() == 1 && segments[0] == kComputerSegment) {
        if (flags & SHCONTF_FOLDERS)
            for (const auto& drive : GetDriveMap())
                out.push_back(FromSegments({std::string(1, drive.Letter) + ":"}));
        return out;
    }
    const std::string native = SHNativePathOf(folder);
    const std::string windows = WindowsPathOf(segments);
    if (native.empty()) return out;
    DIR* dir = ::opendir(native.c_str());
    if (!dir) return out;
    std::vector<std::string> names;
    while (dirent* e = ::readdir(dir)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
        const std::string childNative = native + "/" + e->d_name;
        // A name that belongs to another drive's folder (a drive mapped inside this one) or that
        // cannot be spelled in Windows form is left out.
        const std::string childWindows = NativeToWindowsPath(childNative);
        const std::string name = Utf8ToAnsi(e->d_name);
        if (childWindows.empty() ||
            !SameNameIgnoringCase(childWindows, IncludeTrailingBackslash(windows) + name))
            continue;
        struct stat st {};
        const bool isFolder = ::stat(childNative.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        if (isFolder ? !(flags & SHCONTF_FOLDERS) : !(flags & SHCONTF_NONFOLDERS)) continue;
        if (!(flags & SHCONTF_INCLUDEHIDDEN)) {
            const uint32_t fa = GetFileAttributes(childWindows);
            if (name[0] == '.' || (fa != 0xFFFFFFFFu && (fa & FILE_ATTRIBUTE_HIDDEN))) continue;
        }
        names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return AnsiUpperString(a) < AnsiUpperString(b);
    });
    for (const auto& name : names) out.push_back(FromSegments({name}));
    return out;
}

LPITEMIDLIST SHGetSpecialFolderLocation(int csidl) {
    if (csidl == CSIDL_DESKTOP) return FromSegments({});
    if (csidl == CSIDL_DRIVES) return SHComputerIDList();
    std::string native;
    switch (csidl) {
        case CSIDL_DESKTOPDIRECTORY:
            native = UserDirFolder("DESKTOP", "Desktop");
            break;
        case CSIDL_PERSONAL:
            native = UserDirFolder("DOCUMENTS", "Documents");
            break;
        case CSIDL_TEMPLATES:
            native = UserDirFolder("TEMPLATES", "Templates");
            break;
        case CSIDL_BITBUCKET:
            native = XdgDataHome() + "/Trash/files";
            break;
        case CSIDL_APPDATA:
            native = XdgConfigHome();
            break;
        case CSIDL_FONTS:
            native = XdgDataHome() + "/fonts";
            break;
        default:
            return nullptr;
    }
    struct stat st {};
    if (::stat(native.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return nullptr;
    const std::string windows = NativeToWindowsPath(native);
    return windows.empty() ? nullptr : SHParseDisplayName(windows);
}

bool SHGetFindData(LPCITEMIDLIST list, TShellFindData& data) {
    const std::string native = SHNativePathOf(list);
    if (native.empty() || ILCount(list) < 2) return false;
    struct stat st {};
    if (::stat(native.c_str(), &st) != 0) return false;
    const std::string windows = WindowsPathOf(Segments(list));
    const uint32_t fa = GetFileAttributes(windows);
    data.Attributes = fa == 0xFFFFFFFFu ? 0 : fa;
    if (S_ISDIR(st.st_mode)) data.Attributes |= FILE_ATTRIBUTE_DIRECTORY;
    data.Size = S_ISDIR(st.st_mode) ? 0 : static_cast<uint64_t>(st.st_size);
    data.ModifiedUnix = st.st_mtim.tv_sec;
    return true;
}

}  // namespace platform
