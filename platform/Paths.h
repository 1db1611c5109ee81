#pragma once
// Windows-form paths over the native file system. Inside the system a path looks like
// "D:\DOCS\README.TXT" (Windows-1252 text); only this library sees native paths.
//
// Drive letters map to native folders. By default C: is "/" and every file system mounted below
// /media, /run/media or /mnt takes the next free letter from D:, in sorted order of mount points.
// KORVANE_DRIVES replaces the map, for example
//     D=/srv/disk1|label=BACKUP01|serial=1A2B3C4D|fs=FAT32|type=removable;E=/tmp/x
// Each entry is a letter, "=", a native folder and optional "|key=value" or "|key" attributes,
// which the volume routines read (label, serial number, file system, drive type, image, …).
//
// Resolving walks the path one component at a time, each from the folder opened for the one
// before: a component that exists with exactly the given spelling is taken, else the first name
// (in byte order) that matches it without regard to case, using the Windows-1252 case table.

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

struct TDriveRecord {
    char Letter = 'C';  // upper case
    std::string Root;   // absolute native folder, no final slash except for "/"
    // Attributes in the order given; keys are lower case, a bare key has an empty value.
    std::vector<std::pair<std::string, std::string>> Attributes;

    bool HasAttribute(std::string_view key) const;
    std::string Attribute(std::string_view key) const;  // empty when absent
};

// Parses the KORVANE_DRIVES notation; malformed entries are skipped, a later entry for a letter
// replaces an earlier one. Relative roots are taken from the current native folder.
std::vector<TDriveRecord> ParseDriveMap(std::string_view text);

// The default map for a list of mount points: C: = "/", then the mount points below /media,
// /run/media and /mnt in sorted order from D: on (up to Z:).
std::vector<TDriveRecord> DefaultDriveMap(std::vector<std::string> mountPoints);

// The drive map in use, sorted by letter. It is read once (KORVANE_DRIVES, else the mounted
// file systems); ReloadDriveMap reads it again and resets the current folder when it left the map.
std::vector<TDriveRecord> GetDriveMap();
std::optional<TDriveRecord> FindDrive(char letter);
void ReloadDriveMap();

// The absolute, normalised Windows form of a path: "/" becomes "\", "." and ".." are folded,
// relative and drive-relative paths are taken from the current folder, the letter is upper case.
// A final backslash is kept. Returns an empty string for an empty path.
std::string GetFullPathName(std::string_view path);

// An open native folder (a descriptor for the *at calls), closed with its last owner.
class TOpenFolder {
public:
    explicit TOpenFolder(int fd) : fd_(fd) {}
    ~TOpenFolder();
    TOpenFolder(const TOpenFolder&) = delete;
    TOpenFolder& operator=(const TOpenFolder&) = delete;
    int Fd() const { return fd_; }

private:
    int fd_;
};

struct TNativePath {
    std::string Native;   // the native path
    bool Exists = false;  // the last component exists (Native then carries its actual spelling)
    // The folder holding the last component, opened while resolving, and the component's native
    // name: reaching the entry through them costs one step however deep it lies, and works where
    // Native is longer than the native calls take. A drive root has no folder; Entry is then its
    // absolute native path. At() is the folder's descriptor for the *at calls (AT_FDCWD without).
    std::shared_ptr<const TOpenFolder> Folder;
    std::string Entry;
    int At() const;
};

// Resolves every folder of the path; the last component may be missing (then Native ends in the
// requested spelling, converted to UTF-8). Fails with ERROR_INVALID_DRIVE for an unmapped letter,
// ERROR_PATH_NOT_FOUND for a missing folder and ERROR_INVALID_NAME for a name with characters a
// Windows name cannot hold.
bool ResolveWindowsPath(std::string_view path, TNativePath& result);

// Like ResolveWindowsPath, but a missing last component fails with ERROR_FILE_NOT_FOUND.
bool ResolveExistingPath(std::string_view path, std::string& native);
bool ResolveExistingPath(std::string_view path, TNativePath& result);

// The Windows form of a native path (absolute or relative to the native current folder), taken
// from the drive whose folder holds it most closely; empty when no drive holds it.
std::string NativeToWindowsPath(std::string_view native);

// Current folder and temporary folder in Windows form with a final backslash.
std::string GetCurrentDirectory();
bool SetCurrentDirectory(std::string_view path);
std::string GetTempPath();

// Compares two Windows-1252 names without regard to case.
bool SameNameIgnoringCase(std::string_view a, std::string_view b);

// The path with a final backslash (an empty path stays empty).
std::string IncludeTrailingBackslash(std::string_view path);
// Every "/" of the path made "\".
std::string SlashesToBackslashes(std::string_view path);

}  // namespace platform
