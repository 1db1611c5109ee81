#pragma once
// Files with the semantics of the Windows kernel, on Linux.
//
// Every handle owns its own open file description. Sharing modes and byte-range locks are built
// on open-file-description locks, so they hold between handles of one process and between
// processes alike, and they vanish with the last descriptor of a handle (also when a process dies).
//
// Sharing: each handle holds shared locks on marker bytes in a reserved area at the top of the
// offset range (kShareAreaStart), one byte each for "has read access", "has write access",
// "denies read", "denies write" and "is open". A new handle first takes its own markers and then
// asks the kernel whether any other description holds a conflicting one (F_OFD_GETLK). Taking
// before asking means two racing opens can both fail, but never both succeed against each other.
// Delete, rename and create-always look at the "is open" byte and refuse with
// ERROR_SHARING_VIOLATION while any handle anywhere has the file open.
//
// Markers need a descriptor open for reading; a handle that may only write (a file with write but
// no read permission) carries none and is invisible to the sharing checks of others.
//
// Delete-on-close: the file goes when the last handle of it closes. When other handles of this
// process still have it open, the last of them deletes it; handles of other processes do not.
//
// Byte-range locks are exclusive, non-blocking and belong to the handle: a handle open for
// writing takes a write lock; a read-only handle takes a read lock and then checks that no other
// description holds any lock on the range. Byte ranges must end below kShareAreaStart.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace platform {

using HANDLE = std::intptr_t;
constexpr HANDLE INVALID_HANDLE_VALUE = -1;

// Access
constexpr uint32_t GENERIC_READ = 0x80000000u;
constexpr uint32_t GENERIC_WRITE = 0x40000000u;
// Sharing (delete sharing is accepted and has no effect: a file open anywhere cannot be deleted)
constexpr uint32_t FILE_SHARE_READ = 0x1;
constexpr uint32_t FILE_SHARE_WRITE = 0x2;
constexpr uint32_t FILE_SHARE_DELETE = 0x4;
// Creation disposition
constexpr uint32_t CREATE_NEW = 1;
constexpr uint32_t CREATE_ALWAYS = 2;
constexpr uint32_t OPEN_EXISTING = 3;
constexpr uint32_t OPEN_ALWAYS = 4;
constexpr uint32_t TRUNCATE_EXISTING = 5;
// Attributes and flags
constexpr uint32_t FILE_ATTRIBUTE_READONLY = 0x01;
constexpr uint32_t FILE_ATTRIBUTE_HIDDEN = 0x02;
constexpr uint32_t FILE_ATTRIBUTE_SYSTEM = 0x04;
constexpr uint32_t FILE_ATTRIBUTE_VOLUME = 0x08;
constexpr uint32_t FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr uint32_t FILE_ATTRIBUTE_ARCHIVE = 0x20;
constexpr uint32_t FILE_ATTRIBUTE_NORMAL = 0x80;
constexpr uint32_t FILE_ATTRIBUTE_TEMPORARY = 0x100;
constexpr uint32_t FILE_FLAG_WRITE_THROUGH = 0x80000000u;
constexpr uint32_t FILE_FLAG_RANDOM_ACCESS = 0x10000000u;
constexpr uint32_t FILE_FLAG_SEQUENTIAL_SCAN = 0x08000000u;
constexpr uint32_t FILE_FLAG_DELETE_ON_CLOSE = 0x04000000u;
constexpr uint32_t INVALID_FILE_ATTRIBUTES = 0xFFFFFFFFu;
// Seek origins
constexpr uint32_t FILE_BEGIN = 0;
constexpr uint32_t FILE_CURRENT = 1;
constexpr uint32_t FILE_END = 2;
constexpr uint32_t INVALID_SET_FILE_POINTER = 0xFFFFFFFFu;
constexpr uint32_t INVALID_FILE_SIZE = 0xFFFFFFFFu;

// First offset of the area whose bytes carry the sharing markers; byte-range locks end below it.
constexpr uint64_t kShareAreaStart = 0x7FFFFFFFFFFFFF00ull;

// A point in time in 100-nanosecond units since 1 January 1601, split in two halves.
struct FILETIME {
    uint32_t dwLowDateTime = 0;
    uint32_t dwHighDateTime = 0;
};
uint64_t FileTimeToUInt64(const FILETIME& t);
FILETIME UInt64ToFileTime(uint64_t value);
// Seconds and nanoseconds since 1970 (UTC) to and from FILETIME.
FILETIME UnixTimeToFileTime(int64_t seconds, int64_t nanoseconds = 0);
int64_t FileTimeToUnixTime(const FILETIME& t);  // whole seconds

// Handles
HANDLE CreateFile(std::string_view fileName, uint32_t desiredAccess, uint32_t shareMode,
                  uint32_t creationDisposition, uint32_t flagsAndAttributes);
bool CloseHandle(HANDLE handle);
// Reads up to `count` bytes at the handle's position; fewer only at the end of the file.
bool ReadFile(HANDLE handle, void* buffer, uint32_t count, uint32_t* bytesRead);
bool WriteFile(HANDLE handle, const void* buffer, uint32_t count, uint32_t* bytesWritten);
// 32-bit form: with `distanceHigh` null the distance is the signed low part; else the two halves
// form a signed 64-bit distance and the high half of the result comes back through it. Failure
// returns INVALID_SET_FILE_POINTER with the last error set (success clears the last error).
uint32_t SetFilePointer(HANDLE handle, int32_t distanceLow, int32_t* distanceHigh, uint32_t moveMethod);
bool SetFilePointerEx(HANDLE handle, int64_t distance, int64_t* newPosition, uint32_t moveMethod);
bool SetEndOfFile(HANDLE handle);
bool FlushFileBuffers(HANDLE handle);
uint32_t GetFileSize(HANDLE handle, uint32_t* sizeHigh);
bool GetFileSizeEx(HANDLE handle, int64_t& size);
bool GetFileTime(HANDLE handle, FILETIME* creation, FILETIME* lastAccess, FILETIME* lastWrite);
// Null times stay as they are.
bool SetFileTime(HANDLE handle, const FILETIME* creation, const FILETIME* lastAccess,
                 const FILETIME* lastWrite);

// Byte-range locks (see above): exclusive, non-blocking, per handle. A range overlapping one the
// same handle holds fails with ERROR_LOCK_VIOLATION like any conflict; UnlockFile succeeds only
// for exactly a range that is locked (else ERROR_NOT_LOCKED).
bool LockFile(HANDLE handle, uint32_t offsetLow, uint32_t offsetHigh, uint32_t lengthLow,
              uint32_t lengthHigh);
bool UnlockFile(HANDLE handle, uint32_t offsetLow, uint32_t offsetHigh, uint32_t lengthLow,
                uint32_t lengthHigh);
bool LockFile(HANDLE handle, uint64_t offset, uint64_t length);
bool UnlockFile(HANDLE handle, uint64_t offset, uint64_t length);

// File mappings, read-only: a view shows the file's bytes as they are stored, including what
// any process writes through its handles afterwards, without a call per look. CreateFileMapping
// takes PAGE_READONLY and a maximum size of 0 (the file's size, which must not be 0); a view
// (FILE_MAP_READ) of `bytes` from `offset` must lie within that size. A view outlives the mapping
// handle and the file handle and holds no lock or share of the file; UnmapViewOfFile ends it.
constexpr uint32_t PAGE_READONLY = 0x02;
constexpr uint32_t FILE_MAP_READ = 0x0004;
HANDLE CreateFileMapping(HANDLE file, const void* attributes, uint32_t protect, uint32_t maximumSizeHigh,
                         uint32_t maximumSizeLow, const char* name);
const void* MapViewOfFile(HANDLE mapping, uint32_t desiredAccess, uint32_t offsetHigh, uint32_t offsetLow,
                          size_t bytes);
bool UnmapViewOfFile(const void* view);

// Names
bool DeleteFile(std::string_view fileName);
// Never replaces an existing target (ERROR_ALREADY_EXISTS); across file systems a file is copied
// and the original deleted, a folder is refused with ERROR_NOT_SAME_DEVICE.
bool MoveFile(std::string_view existingName, std::string_view newName);
bool CopyFile(std::string_view existingName, std::string_view newName, bool failIfExists);
bool CreateDirectory(std::string_view pathName);
bool RemoveDirectory(std::string_view pathName);

// Attributes: read-only when no write permission bit is set, hidden for a name with a leading
// dot, directory, and archive for every regular file. Setting stores only read-only (as the
// write permission bits); the other attributes cannot be kept on this system and are ignored.
uint32_t GetFileAttributes(std::string_view fileName);
bool SetFileAttributes(std::string_view fileName, uint32_t attributes);

// Time conversions. Local time follows the time zone rules in force at the instant converted.
bool FileTimeToLocalFileTime(const FILETIME& utc, FILETIME& local);
bool LocalFileTimeToFileTime(const FILETIME& local, FILETIME& utc);
// DOS date: (year - 1980) << 9 | month << 5 | day; time: hour << 11 | minute << 5 | second / 2.
// Years outside 1980–2107 fail with ERROR_INVALID_PARAMETER.
bool FileTimeToDosDateTime(const FILETIME& t, uint16_t& fatDate, uint16_t& fatTime);
bool DosDateTimeToFileTime(uint16_t fatDate, uint16_t fatTime, FILETIME& t);

// Find first / next. The mask is the last component of a Windows-form path and may hold "*" and
// "?" ("*.*" also matches names without a dot, a mask ending in "." matches names without one);
// names match without regard to case. Only regular files and folders are delivered, "." and ".."
// included except at a drive's root; a link is followed to a regular file but never to a folder.
// Entries come sorted by their upper-cased names. A folder that cannot be read fails with the
// error of the read (ERROR_ACCESS_DENIED, ...), not as an empty folder.
struct WIN32_FIND_DATA {
    uint32_t dwFileAttributes = 0;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    uint32_t nFileSizeHigh = 0;
    uint32_t nFileSizeLow = 0;
    std::string cFileName;           // Windows-1252
    std::string cAlternateFileName;  // always empty: there are no short names
};
constexpr uint32_t kFindAllAttributes = 0xFFFFFFFFu;
// `includeAttributes` filters as the class library's FindFirst does: an entry that is hidden,
// system or a directory is only delivered when that attribute is in the filter. The default
// delivers every entry.
HANDLE FindFirstFile(std::string_view fileName, WIN32_FIND_DATA& data,
                     uint32_t includeAttributes = kFindAllAttributes);
bool FindNextFile(HANDLE findHandle, WIN32_FIND_DATA& data);
bool FindClose(HANDLE findHandle);

// Does a Windows mask match a Windows-1252 name (without regard to case)?
bool MatchesMask(std::string_view name, std::string_view mask);

// Test seam: a process-wide hook consulted before each file operation. A result with Error set
// fails the operation with that code; for reads and writes a Limit of 0 or more first transfers at
// most that many bytes (a full disk: Limit = room left, Error = ERROR_DISK_FULL). Search is asked
// with the native folder before FindFirstFile reads it (an unreadable folder).
enum class TFileOperation { Open, Read, Write, SetEndOfFile, Flush, Delete, Rename, Search };
struct TFileFault {
    uint32_t Error = 0;
    int64_t Limit = -1;
};
using TFileFaultHook = std::function<TFileFault(TFileOperation operation, const std::string& nativePath,
                                                int64_t position, uint32_t count)>;
void SetFileFaultHook(TFileFaultHook hook);  // an empty hook removes it

class TScopedFileFault {
public:
    explicit TScopedFileFault(TFileFaultHook hook) { SetFileFaultHook(std::move(hook)); }
    ~TScopedFileFault() { SetFileFaultHook({}); }
    TScopedFileFault(const TScopedFileFault&) = delete;
    TScopedFileFault& operator=(const TScopedFileFault&) = delete;
};

// The native path a handle was opened on (empty for an unknown handle); for tests and diagnostics.
std::string NativePathOfHandle(HANDLE handle);

}  // namespace platform
