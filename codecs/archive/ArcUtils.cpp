#include "codecs/archive/ArcUtils.h"

#include <cmath>

#include "codecs/archive/ArcErrors.h"
#include "framework/core/SysUtils.h"
#include "platform/Paths.h"
#include "platform/Volume.h"

namespace codecs {

namespace {
// Day number of 1970-01-01 in the date-time scale (days since 1899-12-30).
constexpr int64_t kUnixEpochDay = 25569;
constexpr int64_t kMaxFree = 2147483647;

std::string FilePart(const std::string& path) {
    size_t p = path.find_last_of("\\:");
    return p == std::string::npos ? path : path.substr(p + 1);
}
std::string FolderPart(const std::string& path) {
    size_t p = path.find_last_of("\\:");
    return p == std::string::npos ? std::string() : path.substr(0, p + 1);
}
bool Exists(const std::string& path, bool wantFolder) {
    uint32_t a = platform::GetFileAttributes(path);
    if (a == platform::INVALID_FILE_ATTRIBUTES) return false;
    return ((a & platform::FILE_ATTRIBUTE_DIRECTORY) != 0) == wantFolder;
}
}  // namespace

void TArcPadLock::SetLocked(bool value) {
    if (value) {
        FSection.Enter();
        ++FDepth;
    } else if (FDepth > 0) {
        --FDepth;
        FSection.Leave();
    }
}

void ExceptionToErrorClass(const std::exception& e, int32_t& errorClass, int32_t& errorCode) {
    errorCode = 0;
    if (auto* arc = dynamic_cast<const EArcException*>(&e)) {
        errorClass = ecArcException;
        errorCode = arc->ErrorCode;
    } else if (auto* io = dynamic_cast<const framework::EInOutError*>(&e)) {
        errorClass = ecInOutError;
        errorCode = io->ErrorCode;
    } else if (dynamic_cast<const framework::EReadError*>(&e) ||
               dynamic_cast<const framework::EWriteError*>(&e)) {
        errorClass = ecFilingError;
    } else if (dynamic_cast<const framework::EFOpenError*>(&e)) {
        errorClass = ecFileOpenError;
    } else if (dynamic_cast<const framework::EFCreateError*>(&e)) {
        errorClass = ecFileCreateError;
    } else {
        errorClass = ecOtherError;
    }
}

int PathKind(const std::string& path) {
    if (path.find("\\\\") != std::string::npos || path.find(':') != std::string::npos) return 2;
    if (path.find_first_of("\\/") != std::string::npos) return 1;
    return 0;
}

std::string WithTrailingBackslash(const std::string& path) {
    if (path.empty() || path.back() == '\\' || path.back() == ':') return path;
    return path + "\\";
}

int PrefixBeforeBackslash(const std::string& path, int n) {
    int seen = 0;
    for (size_t i = 0; i < path.size(); ++i)
        if (path[i] == '\\' && ++seen == n) return static_cast<int>(i);
    return static_cast<int>(path.size());
}

void SplitDriveFolderFile(const std::string& path, std::string& drive, std::string& folder,
                          std::string& file) {
    std::string p = ForwardToBackslashes(path);
    file = FilePart(p);
    folder = FolderPart(p);
    drive.clear();
    if (folder.find("\\\\") != std::string::npos) {
        // Server and share names: the text before the fourth backslash.
        size_t cut = static_cast<size_t>(PrefixBeforeBackslash(folder, 4));
        drive = folder.substr(0, cut);
        folder = cut < folder.size() ? folder.substr(cut + 1) : std::string();
    } else if (size_t colon = folder.find(':'); colon != std::string::npos) {
        drive = folder.substr(0, colon + 1);
        folder = folder.substr(colon + 1);
        if (!folder.empty() && folder[0] == '\\') folder.erase(0, 1);
    }
}

void SplitFolderParts(const std::string& folder, framework::TStrings* list) {
    std::string f = folder;
    if (!f.empty() && f.back() == '\\') f.pop_back();
    size_t start = 0;
    for (;;) {
        size_t p = f.find('\\', start);
        list->Add(f.substr(start, p == std::string::npos ? std::string::npos : p - start));
        if (p == std::string::npos) break;
        start = p + 1;
    }
}

std::string StripDriveOfPath(const std::string& path) {
    std::string drive, folder, file;
    SplitDriveFolderFile(path, drive, folder, file);
    return folder + file;
}

std::string StripLeadingParentRefs(const std::string& path) {
    std::string p = path;
    while (p.rfind("..\\", 0) == 0) p.erase(0, 3);
    return p;
}

std::string ForwardToBackslashes(const std::string& path) {
    std::string p = path;
    for (char& c : p)
        if (c == '/') c = '\\';
    return p;
}

std::string ShortPathOf(const std::string& path) {
    // This file system keeps no short names, so each component keeps its own name; what is
    // checked is that every folder and the file exist.
    std::string drive, folder, file;
    std::string p = ForwardToBackslashes(path);
    std::string dir = FolderPart(p);
    if (!dir.empty() && dir != "\\" && dir.back() != ':') {
        std::string probe = dir;
        if (probe.size() > 1 && probe.back() == '\\' && probe[probe.size() - 2] != ':') probe.pop_back();
        if (!probe.empty() && probe.back() != ':' && !Exists(probe, true))
            throw EArcException("Path not found");
    }
    if (!FilePart(p).empty() && !Exists(p, false)) throw EArcFileNotFound();
    return p;
}

std::string SpannedVolumeExtension(const std::string& name, int n) {
    char digits[3];
    int v = ((n % 100) + 100) % 100;
    digits[0] = static_cast<char>('0' + v / 10);
    digits[1] = static_cast<char>('0' + v % 10);
    digits[2] = 0;
    size_t dot = name.find_last_of(".\\:");
    if (dot != std::string::npos && name[dot] == '.') {
        std::string ext = name.substr(dot + 1);
        std::string lead = ext.empty() ? std::string() : ext.substr(0, 1);
        return name.substr(0, dot) + "." + lead + digits;
    }
    return name + "." + digits;
}

bool FolderExists(const std::string& path) {
    if (path.find_first_of("*?") != std::string::npos) return false;
    return Exists(path, true);
}

void ForceDirectoryPath(const std::string& path) {
    if (FolderExists(path)) return;
    std::string p = WithTrailingBackslash(path);
    int n = p.find("\\\\") != std::string::npos ? 5 : 2;
    for (;; ++n) {
        int cut = PrefixBeforeBackslash(p, n);
        std::string prefix = p.substr(0, static_cast<size_t>(cut));
        if (!prefix.empty() && prefix.back() != ':' && !FolderExists(prefix) &&
            !platform::CreateDirectory(prefix))
            throw framework::EInOutError("Unable to create directory",
                                         static_cast<int>(platform::GetLastError()));
        if (static_cast<size_t>(cut) >= p.size() - 1) break;
    }
}

void CollectMatchingFiles(const std::string& mask, uint32_t attributes, framework::TStrings* list,
                          bool recurse) {
    const std::string folder = FolderPart(mask);
    const std::string namePart = FilePart(mask);
    const std::string upperMask = framework::UpperCase(namePart);
    platform::WIN32_FIND_DATA found;
    platform::HANDLE h = platform::FindFirstFile(mask, found, attributes);
    if (h != platform::INVALID_HANDLE_VALUE) {
        do {
            if (found.dwFileAttributes & platform::FILE_ATTRIBUTE_DIRECTORY) continue;
            std::string full = folder + found.cFileName;
            if (MatchesMask(framework::UpperCase(full), 1, upperMask, 1)) list->Add(full);
        } while (platform::FindNextFile(h, found));
        platform::FindClose(h);
    }
    if (!recurse) return;
    h = platform::FindFirstFile(folder + "*.*", found, platform::FILE_ATTRIBUTE_DIRECTORY);
    if (h == platform::INVALID_HANDLE_VALUE) return;
    do {
        if (!(found.dwFileAttributes & platform::FILE_ATTRIBUTE_DIRECTORY)) continue;
        if (found.cFileName == "." || found.cFileName == "..") continue;
        CollectMatchingFiles(folder + found.cFileName + "\\" + namePart, attributes, list, true);
    } while (platform::FindNextFile(h, found));
    platform::FindClose(h);
}

uint32_t ReadFileAttributes(const std::string& name) {
    return platform::GetFileAttributes(name);
}

void WriteFileAttributes(const std::string& name, uint32_t attributes) {
    platform::SetFileAttributes(name, attributes);
}

int64_t FileSizeOfPath(const std::string& name) {
    platform::WIN32_FIND_DATA found;
    platform::HANDLE h = platform::FindFirstFile(name, found);
    if (h == platform::INVALID_HANDLE_VALUE) return -1;
    platform::FindClose(h);
    return (int64_t(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
}

std::string SearchRecShortName(const platform::WIN32_FIND_DATA& found) {
    return found.cAlternateFileName.empty() ? found.cFileName : found.cAlternateFileName;
}

char DriveLetterOfPath(const std::string& path) {
    std::string full = platform::GetFullPathName(path);
    return full.find(':') != std::string::npos && !full.empty() ? full[0] : 'A';
}

bool IsOnRemovableDrive(const std::string& path) {
    std::string root = std::string(1, DriveLetterOfPath(path)) + ":\\";
    return platform::GetDriveType(root) == platform::DRIVE_REMOVABLE;
}

int64_t FreeSpaceByClusters(const std::string& path) {
    std::string root = std::string(1, DriveLetterOfPath(path)) + ":\\";
    uint32_t spc = 0, bps = 0, freeClusters = 0, total = 0;
    if (!platform::GetDiskFreeSpace(root, &spc, &bps, &freeClusters, &total)) return -1;
    return int64_t(spc) * bps * freeClusters;
}

int64_t FreeSpaceByDiskFreeEx(const std::string& path) {
    uint64_t available = 0, total = 0, free = 0;
    if (!platform::GetDiskFreeSpaceEx(WithTrailingBackslash(FolderPart(path)), &available, &total, &free))
        return -1;
    return static_cast<int64_t>(available);
}

int64_t FreeSpaceOfRemovable(const std::string& path) {
    return FreeSpaceByClusters(path);
}

bool HasDiskFreeSpaceEx() {
    return true;
}

int32_t FreeSpaceForPath(const std::string& path) {
    if (PathKind(path) < 2) return -1;
    int64_t result;
    if (path.rfind("\\\\", 0) == 0) {
        result = HasDiskFreeSpaceEx() ? FreeSpaceByDiskFreeEx(path) : kMaxFree;
    } else {
        std::string root = path.size() > 1 && path[1] == ':' ? path.substr(0, 2)
                                                             : platform::GetCurrentDirectory().substr(0, 2);
        root += "\\";
        switch (platform::GetDriveType(root)) {
            case platform::DRIVE_REMOVABLE:
                result = FreeSpaceOfRemovable(root);
                break;
            case platform::DRIVE_FIXED:
            case platform::DRIVE_CDROM:
                result = FreeSpaceByClusters(root);
                break;
            case platform::DRIVE_REMOTE:
                result = FreeSpaceByDiskFreeEx(path);
                break;
            default:
                result = -1;
                break;
        }
    }
    if (result < -1 || result > kMaxFree) result = kMaxFree;
    return static_cast<int32_t>(result);
}

bool MatchesMask(const std::string& text, int textPos, const std::string& mask, int maskPos) {
    const int textLen = static_cast<int>(text.size());
    const int maskLen = static_cast<int>(mask.size());
    if (text.empty()) return mask.empty();
    if (maskPos == 1 && (mask == "*.*" || mask == "*")) return true;
    if (mask.empty()) return textPos > textLen;
    int i = textPos, j = maskPos;
    for (;;) {
        if (i > textLen && j > maskLen) return true;
        if (j > maskLen) return false;
        char m = mask[size_t(j - 1)];
        if (m == '*') {
            if (j == maskLen) return true;
            for (int k = i; k <= textLen + 1; ++k)
                if (MatchesMask(text, k, mask, j + 1)) return true;
            return false;
        }
        if (i > textLen) return false;
        if (m != '?' && m != text[size_t(i - 1)]) return false;
        ++i;
        ++j;
    }
}

int32_t PercentOf(int32_t done, int32_t total) {
    if (total <= 0) return 0;
    if (total > 16384000) {
        done = (done + 128) >> 8;
        total = (total + 128) >> 8;
    }
    return done < total ? static_cast<int32_t>(int64_t(done) * 100 / total) : 100;
}

framework::TDateTime UnixSecondsToDateTime(int64_t seconds) {
    int64_t days = seconds / 86400;
    int64_t rest = seconds % 86400;
    return static_cast<double>(days + kUnixEpochDay) + framework::EncodeTime(static_cast<int>(rest / 3600),
                                                                             static_cast<int>(rest / 60 % 60),
                                                                             static_cast<int>(rest % 60), 0);
}

int64_t DateTimeToUnixSeconds(framework::TDateTime value) {
    int64_t days = static_cast<int64_t>(std::trunc(value));
    int64_t result = days >= kUnixEpochDay ? (days - kUnixEpochDay) * 86400 : 0;
    uint16_t h, m, s, ms;
    framework::DecodeTime(value, h, m, s, ms);
    return result + h * 3600 + m * 60 + s;
}

}  // namespace codecs
