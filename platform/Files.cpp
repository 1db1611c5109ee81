#include "platform/Files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <ctime>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

#include "platform/CodePage.h"
#include "platform/Paths.h"
#include "platform/Process.h"

namespace platform {

namespace {

// Marker bytes inside the reserved area; see the header.
constexpr off_t kMarkReadAccess = static_cast<off_t>(kShareAreaStart + 0);
constexpr off_t kMarkWriteAccess = static_cast<off_t>(kShareAreaStart + 1);
constexpr off_t kMarkDenyRead = static_cast<off_t>(kShareAreaStart + 2);
constexpr off_t kMarkDenyWrite = static_cast<off_t>(kShareAreaStart + 3);
constexpr off_t kMarkOpen = static_cast<off_t>(kShareAreaStart + 4);

// 100-ns intervals between 1 January 1601 and 1 January 1970.
constexpr int64_t kUnixEpochInFileTime = 116444736000000000LL;

// ---- the fault hook ----

std::mutex hookMutex;
TFileFaultHook faultHook;
std::atomic<bool> hookSet{false};  // spares every read and write the lock while no hook is set

TFileFault AskFault(TFileOperation op, const std::string& native, int64_t position, uint32_t count) {
    if (!hookSet.load(std::memory_order_acquire)) return {};
    TFileFaultHook hook;
    {
        std::lock_guard lock(hookMutex);
        hook = faultHook;
    }
    return hook ? hook(op, native, position, count) : TFileFault{};
}

// ---- handle table ----

struct KernelObject {
    virtual ~KernelObject() = default;
};

struct LockedRange {
    uint64_t offset;
    uint64_t length;
};

struct FileObject : KernelObject {
    int fd = -1;
    bool canRead = false;
    bool canWrite = false;
    bool fdWritable = false;  // the descriptor was opened for writing (write locks possible)
    bool deleteOnClose = false;
    // The handle's file pointer. Kept here, not in the descriptor, so each transfer is one positioned
    // call instead of a seek and a transfer.
    int64_t position = 0;
    std::string native;
    std::mutex mutex;  // guards `locks`
    std::vector<LockedRange> locks;

    ~FileObject() override {
        if (fd >= 0) close(fd);
    }
};

// A read-only description of its own, so that views hold no lock or share marker of the file's
// handles (those live on the handles' descriptions).
struct MappingObject : KernelObject {
    int fd = -1;
    int64_t size = 0;
    ~MappingObject() override {
        if (fd >= 0) close(fd);
    }
};

std::mutex viewMutex;
std::map<const void*, std::pair<void*, size_t>> mappedViews;  // view -> (mapping start, length)

struct FindObject : KernelObject {
    std::vector<WIN32_FIND_DATA> entries;
    std::size_t next = 0;
};

std::mutex tableMutex;
std::map<HANDLE, std::shared_ptr<KernelObject>> handleTable;
// Native paths of files whose delete-on-close handle closed while other handles of this process
// still had them open: the last of those handles deletes the file.
std::set<std::string> pendingDeletes;
HANDLE nextHandle = 0x100;

HANDLE AddHandle(std::shared_ptr<KernelObject> object) {
    std::lock_guard lock(tableMutex);
    const HANDLE h = nextHandle;
    nextHandle += 4;
    handleTable.emplace(h, std::move(object));
    return h;
}

template <typename T>
std::shared_ptr<T> Lookup(HANDLE h) {
    std::lock_guard lock(tableMutex);
    const auto it = handleTable.find(h);
    if (it == handleTable.end()) return nullptr;
    return std::dynamic_pointer_cast<T>(it->second);
}

std::shared_ptr<FileObject> LookupFile(HANDLE h) {
    auto file = Lookup<FileObject>(h);
    if (!file) SetLastError(ERROR_INVALID_HANDLE);
    return file;
}

// ---- open-file-description locks ----

bool OfdLock(int fd, short type, off_t start, off_t length) {
    struct flock fl {};
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = start;
    fl.l_len = length;
    fl.l_pid = 0;
    while (fcntl(fd, F_OFD_SETLK, &fl) != 0) {
        if (errno != EINTR) return false;
    }
    return true;
}

// Does any other open file description hold a lock on [start, start + length)?
bool OthersHold(int fd, off_t start, off_t length) {
    struct flock fl {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = start;
    fl.l_len = length;
    fl.l_pid = 0;
    if (fcntl(fd, F_OFD_GETLK, &fl) != 0) return false;
    return fl.l_type != F_UNLCK;
}

// Is the regular file at `native` open through any handle, in any process?
bool OpenAnywhere(const std::string& native) {
    int fd = open(native.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) fd = open(native.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return false;
    const bool held = OthersHold(fd, kMarkOpen, 1);
    close(fd);
    return held;
}

uint32_t AttributesOf(const struct stat& st, std::string_view nativeName) {
    uint32_t attributes = 0;
    if (S_ISDIR(st.st_mode))
        attributes |= FILE_ATTRIBUTE_DIRECTORY;
    else
        attributes |= FILE_ATTRIBUTE_ARCHIVE;
    if ((st.st_mode & 0222) == 0) attributes |= FILE_ATTRIBUTE_READONLY;
    if (!nativeName.empty() && nativeName[0] == '.' && nativeName != "." && nativeName != "..")
        attributes |= FILE_ATTRIBUTE_HIDDEN;
    return attributes;
}

std::string_view BaseName(std::string_view native) {
    const auto slash = native.rfind('/');
    return slash == std::string_view::npos ? native : native.substr(slash + 1);
}

FILETIME FromTimespec(const timespec& ts) {
    return UnixTimeToFileTime(ts.tv_sec, ts.tv_nsec);
}

timespec ToTimespec(const FILETIME& t) {
    const int64_t value = static_cast<int64_t>(FileTimeToUInt64(t)) - kUnixEpochInFileTime;
    int64_t seconds = value / 10000000;
    int64_t rest = value % 10000000;
    if (rest < 0) {
        rest += 10000000;
        --seconds;
    }
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(seconds);
    ts.tv_nsec = static_cast<long>(rest * 100);
    return ts;
}

bool ReadOnlyByMode(const struct stat& st) {
    return (st.st_mode & 0222) == 0;
}

// Copies a regular file's bytes, permission bits and times to a new file that must not exist.
bool CopyNative(const std::string& from, const std::string& to) {
    const int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return FailWithErrno(errno);
    struct stat st {};
    fstat(in, &st);
    const int out = open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (out < 0) {
        const int err = errno;
        close(in);
        return FailWithErrno(err);
    }
    std::vector<char> buffer(1 << 16);
    bool ok = true;
    int err = 0;
    for (;;) {
        const ssize_t n = read(in, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            ok = false;
            err = errno;
            break;
        }
        if (n == 0) break;
        ssize_t done = 0;
        while (done < n) {
            const ssize_t w = write(out, buffer.data() + done, static_cast<std::size_t>(n - done));
            if (w < 0 && errno == EINTR) continue;
            if (w < 0) {
                ok = false;
                err = errno;
                break;
            }
            done += w;
        }
        if (!ok) break;
    }
    if (ok && fsync(out) != 0) {
        ok = false;
        err = errno;
    }
    const timespec times[2] = {st.st_atim, st.st_mtim};
    futimens(out, times);
    fchmod(out, st.st_mode & 07777);
    close(out);
    close(in);
    if (!ok) {
        unlink(to.c_str());
        return FailWithErrno(err);
    }
    return true;
}

}  // namespace

// ---- time ----

uint64_t FileTimeToUInt64(const FILETIME& t) {
    return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

FILETIME UInt64ToFileTime(uint64_t value) {
    return FILETIME{static_cast<uint32_t>(value), static_cast<uint32_t>(value >> 32)};
}

FILETIME UnixTimeToFileTime(int64_t seconds, int64_t nanoseconds) {
    return UInt64ToFileTime(
        static_cast<uint64_t>(seconds * 10000000 + nanoseconds / 100 + kUnixEpochInFileTime));
}

int64_t FileTimeToUnixTime(const FILETIME& t) {
    return ToTimespec(t).tv_sec;
}

bool FileTimeToLocalFileTime(const FILETIME& utc, FILETIME& local) {
    const timespec ts = ToTimespec(utc);
    const time_t seconds = ts.tv_sec;
    struct tm parts {};
    if (localtime_r(&seconds, &parts) == nullptr) return FailWith(ERROR_INVALID_PARAMETER);
    local = UInt64ToFileTime(FileTimeToUInt64(utc) + static_cast<uint64_t>(parts.tm_gmtoff * 10000000LL));
    return true;
}

bool LocalFileTimeToFileTime(const FILETIME& local, FILETIME& utc) {
    const timespec ts = ToTimespec(local);
    const time_t asIfUtc = ts.tv_sec;
    struct tm parts {};
    if (gmtime_r(&asIfUtc, &parts) == nullptr) return FailWith(ERROR_INVALID_PARAMETER);
    parts.tm_isdst = -1;
    const time_t seconds = mktime(&parts);
    utc = UnixTimeToFileTime(seconds, ts.tv_nsec);
    return true;
}

bool FileTimeToDosDateTime(const FILETIME& t, uint16_t& fatDate, uint16_t& fatTime) {
    const time_t seconds = ToTimespec(t).tv_sec;
    struct tm parts {};
    if (gmtime_r(&seconds, &parts) == nullptr) return FailWith(ERROR_INVALID_PARAMETER);
    const int year = parts.tm_year + 1900;
    if (year < 1980 || year > 2107) return FailWith(ERROR_INVALID_PARAMETER);
    fatDate = static_cast<uint16_t>(((year - 1980) << 9) | ((parts.tm_mon + 1) << 5) | parts.tm_mday);
    fatTime = static_cast<uint16_t>((parts.tm_hour << 11) | (parts.tm_min << 5) | (parts.tm_sec / 2));
    return true;
}

bool DosDateTimeToFileTime(uint16_t fatDate, uint16_t fatTime, FILETIME& t) {
    struct tm parts {};
    parts.tm_year = (fatDate >> 9) + 80;
    parts.tm_mon = ((fatDate >> 5) & 15) - 1;
    parts.tm_mday = fatDate & 31;
    parts.tm_hour = fatTime >> 11;
    parts.tm_min = (fatTime >> 5) & 63;
    parts.tm_sec = (fatTime & 31) * 2;
    if (parts.tm_mon < 0 || parts.tm_mon > 11 || parts.tm_mday < 1 || parts.tm_hour > 23 ||
        parts.tm_min > 59 || parts.tm_sec > 59)
        return FailWith(ERROR_INVALID_PARAMETER);
    t = UnixTimeToFileTime(timegm(&parts));
    return true;
}

// ---- handles ----

HANDLE CreateFile(std::string_view fileName, uint32_t desiredAccess, uint32_t shareMode,
                  uint32_t creationDisposition, uint32_t flagsAndAttributes) {
    if (creationDisposition < CREATE_NEW || creationDisposition > TRUNCATE_EXISTING) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    const bool wantRead = (desiredAccess & GENERIC_READ) != 0;
    const bool wantWrite = (desiredAccess & GENERIC_WRITE) != 0;
    if (creationDisposition == TRUNCATE_EXISTING && !wantWrite) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    TNativePath path;
    if (!ResolveWindowsPath(fileName, path)) return INVALID_HANDLE_VALUE;
    if (const TFileFault fault = AskFault(TFileOperation::Open, path.Native, 0, 0); fault.Error != 0) {
        SetLastError(fault.Error);
        return INVALID_HANDLE_VALUE;
    }

    struct stat st {};
    const bool exists = path.Exists && fstatat(path.At(), path.Entry.c_str(), &st, 0) == 0;
    if (path.Exists && !exists) {  // a dangling link
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (exists) {
        if (!S_ISREG(st.st_mode)) {
            SetLastError(ERROR_ACCESS_DENIED);
            return INVALID_HANDLE_VALUE;
        }
        if (creationDisposition == CREATE_NEW) {
            SetLastError(ERROR_FILE_EXISTS);
            return INVALID_HANDLE_VALUE;
        }
        const bool truncates =
            creationDisposition == CREATE_ALWAYS || creationDisposition == TRUNCATE_EXISTING;
        // The read-only attribute refuses writing whoever asks, root included.
        if (ReadOnlyByMode(st) && (wantWrite || truncates)) {
            SetLastError(ERROR_ACCESS_DENIED);
            return INVALID_HANDLE_VALUE;
        }
    } else if (creationDisposition == OPEN_EXISTING || creationDisposition == TRUNCATE_EXISTING) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }

    // Open without truncating: create-always must first prove that nobody else has the file open.
    auto file = std::make_shared<FileObject>();
    file->native = path.Native;
    file->canRead = wantRead;
    file->canWrite = wantWrite;
    file->deleteOnClose = (flagsAndAttributes & FILE_FLAG_DELETE_ON_CLOSE) != 0;
    const bool needsWriteFd = wantWrite || creationDisposition == CREATE_ALWAYS;
    int flags = O_CLOEXEC | O_NOCTTY | (needsWriteFd ? O_RDWR : O_RDONLY);
    bool created = false;
    if (!exists) {
        file->fd = openat(path.At(), path.Entry.c_str(), flags | O_CREAT | O_EXCL, 0666);
        created = file->fd >= 0;
        if (file->fd < 0 && errno == EEXIST) {
            // Created by someone else since the check: create-new must not take it over.
            if (creationDisposition == CREATE_NEW) {
                SetLastError(ERROR_FILE_EXISTS);
                return INVALID_HANDLE_VALUE;
            }
            file->fd = openat(path.At(), path.Entry.c_str(), flags);
        }
    } else {
        file->fd = openat(path.At(), path.Entry.c_str(), flags);
        if (file->fd < 0 && errno == EACCES && needsWriteFd && !wantRead)
            file->fd = openat(path.At(), path.Entry.c_str(), O_CLOEXEC | O_NOCTTY | O_WRONLY);
    }
    if (file->fd < 0) {
        SetLastError(ErrorFromErrno(errno));
        return INVALID_HANDLE_VALUE;
    }
    file->fdWritable = (fcntl(file->fd, F_GETFL) & O_ACCMODE) != O_RDONLY;

    // Sharing markers: take ours, then look for conflicting ones of other descriptions.
    const bool shareRead = (shareMode & FILE_SHARE_READ) != 0;
    const bool shareWrite = (shareMode & FILE_SHARE_WRITE) != 0;
    const bool canMark = (fcntl(file->fd, F_GETFL) & O_ACCMODE) != O_WRONLY;
    if (canMark) {
        OfdLock(file->fd, F_RDLCK, kMarkOpen, 1);
        if (wantRead) OfdLock(file->fd, F_RDLCK, kMarkReadAccess, 1);
        if (wantWrite) OfdLock(file->fd, F_RDLCK, kMarkWriteAccess, 1);
        if (!shareRead) OfdLock(file->fd, F_RDLCK, kMarkDenyRead, 1);
        if (!shareWrite) OfdLock(file->fd, F_RDLCK, kMarkDenyWrite, 1);
    }
    const bool conflict =
        (wantRead && OthersHold(file->fd, kMarkDenyRead, 1)) ||
        (wantWrite && OthersHold(file->fd, kMarkDenyWrite, 1)) ||
        (!shareRead && OthersHold(file->fd, kMarkReadAccess, 1)) ||
        (!shareWrite && OthersHold(file->fd, kMarkWriteAccess, 1)) ||
        (creationDisposition == CREATE_ALWAYS && exists && OthersHold(file->fd, kMarkOpen, 1));
    if (conflict) {
        if (created) unlinkat(path.At(), path.Entry.c_str(), 0);
        SetLastError(ERROR_SHARING_VIOLATION);
        return INVALID_HANDLE_VALUE;  // closing the descriptor drops our markers
    }
    if (exists && (creationDisposition == CREATE_ALWAYS || creationDisposition == TRUNCATE_EXISTING)) {
        if (ftruncate(file->fd, 0) != 0) {
            SetLastError(ErrorFromErrno(errno));
            return INVALID_HANDLE_VALUE;
        }
    }
    if (created && (flagsAndAttributes & FILE_ATTRIBUTE_READONLY) != 0) {
        struct stat now {};
        if (fstat(file->fd, &now) == 0) fchmod(file->fd, now.st_mode & ~0222);
    }
    // Like the kernel it stands in for: an open that found an existing file says so.
    SetLastError(exists && (creationDisposition == CREATE_ALWAYS || creationDisposition == OPEN_ALWAYS)
                     ? ERROR_ALREADY_EXISTS
                     : ERROR_SUCCESS);
    return AddHandle(std::move(file));
}

bool CloseHandle(HANDLE handle) {
    std::shared_ptr<KernelObject> object;
    {
        std::lock_guard lock(tableMutex);
        const auto it = handleTable.find(handle);
        if (it == handleTable.end()) return FailWith(ERROR_INVALID_HANDLE);
        object = std::move(it->second);
        handleTable.erase(it);
    }
    if (auto file = std::dynamic_pointer_cast<FileObject>(object)) {
        std::lock_guard lock(file->mutex);
        close(file->fd);  // drops this handle's markers and byte-range locks
        file->fd = -1;
        bool pending;
        {
            std::lock_guard tableLock(tableMutex);
            pending = file->deleteOnClose || pendingDeletes.count(file->native) != 0;
        }
        if (pending) {
            const bool stillOpen = OpenAnywhere(file->native);
            if (!stillOpen) unlink(file->native.c_str());
            std::lock_guard tableLock(tableMutex);
            if (stillOpen)
                pendingDeletes.insert(file->native);
            else
                pendingDeletes.erase(file->native);
        }
    }
    return true;
}

bool ReadFile(HANDLE handle, void* buffer, uint32_t count, uint32_t* bytesRead) {
    if (bytesRead) *bytesRead = 0;
    auto file = LookupFile(handle);
    if (!file) return false;
    if (!file->canRead) return FailWith(ERROR_ACCESS_DENIED);
    uint32_t limit = count;
    uint32_t injected = 0;
    if (const TFileFault fault = AskFault(TFileOperation::Read, file->native, file->position, count);
        fault.Error != 0 || fault.Limit >= 0) {
        if (fault.Limit >= 0) limit = static_cast<uint32_t>(std::min<int64_t>(fault.Limit, count));
        injected = fault.Error;
    }
    uint32_t done = 0;
    auto* bytes = static_cast<char*>(buffer);
    while (done < limit) {
        const ssize_t n =
            pread(file->fd, bytes + done, limit - done, static_cast<off_t>(file->position + done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            file->position += done;
            if (bytesRead) *bytesRead = done;
            return FailWithErrno(errno);
        }
        if (n == 0) break;
        done += static_cast<uint32_t>(n);
    }
    file->position += done;
    if (bytesRead) *bytesRead = done;
    if (injected != 0) return FailWith(injected);
    return true;
}

bool WriteFile(HANDLE handle, const void* buffer, uint32_t count, uint32_t* bytesWritten) {
    if (bytesWritten) *bytesWritten = 0;
    auto file = LookupFile(handle);
    if (!file) return false;
    if (!file->canWrite) return FailWith(ERROR_ACCESS_DENIED);
    uint32_t limit = count;
    uint32_t injected = 0;
    if (const TFileFault fault = AskFault(TFileOperation::Write, file->native, file->position, count);
        fault.Error != 0 || fault.Limit >= 0) {
        if (fault.Limit >= 0) limit = static_cast<uint32_t>(std::min<int64_t>(fault.Limit, count));
        injected = fault.Error;
    }
    uint32_t done = 0;
    const auto* bytes = static_cast<const char*>(buffer);
    while (done < limit) {
        const ssize_t n =
            pwrite(file->fd, bytes + done, limit - done, static_cast<off_t>(file->position + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            file->position += done;
            if (bytesWritten) *bytesWritten = done;
            return FailWithErrno(n < 0 ? errno : ENOSPC);
        }
        done += static_cast<uint32_t>(n);
    }
    file->position += done;
    if (bytesWritten) *bytesWritten = done;
    if (injected != 0) return FailWith(injected);
    return true;
}

bool SetFilePointerEx(HANDLE handle, int64_t distance, int64_t* newPosition, uint32_t moveMethod) {
    auto file = LookupFile(handle);
    if (!file) return false;
    int64_t base;
    if (moveMethod == FILE_BEGIN) {
        base = 0;
    } else if (moveMethod == FILE_CURRENT) {
        base = file->position;
    } else if (moveMethod == FILE_END) {
        struct stat st {};
        if (fstat(file->fd, &st) != 0) return FailWithErrno(errno);
        base = st.st_size;
    } else {
        return FailWith(ERROR_INVALID_PARAMETER);
    }
    if (base < 0) return FailWithErrno(errno);
    int64_t target;
    if (__builtin_add_overflow(base, distance, &target)) return FailWith(ERROR_INVALID_PARAMETER);
    if (target < 0) return FailWith(ERROR_NEGATIVE_SEEK);
    if (target > std::numeric_limits<off_t>::max()) return FailWith(ERROR_INVALID_PARAMETER);
    file->position = target;
    if (newPosition) *newPosition = target;
    return true;
}

uint32_t SetFilePointer(HANDLE handle, int32_t distanceLow, int32_t* distanceHigh, uint32_t moveMethod) {
    const int64_t distance =
        distanceHigh == nullptr
            ? static_cast<int64_t>(distanceLow)
            : static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(*distanceHigh)) << 32) |
                                   static_cast<uint32_t>(distanceLow));
    int64_t position = 0;
    if (!SetFilePointerEx(handle, distance, &position, moveMethod)) return INVALID_SET_FILE_POINTER;
    if (distanceHigh) *distanceHigh = static_cast<int32_t>(static_cast<uint64_t>(position) >> 32);
    SetLastError(ERROR_SUCCESS);
    return static_cast<uint32_t>(position);
}

bool SetEndOfFile(HANDLE handle) {
    auto file = LookupFile(handle);
    if (!file) return false;
    if (!file->canWrite) return FailWith(ERROR_ACCESS_DENIED);
    const off_t position = static_cast<off_t>(file->position);
    if (const TFileFault fault = AskFault(TFileOperation::SetEndOfFile, file->native, position, 0);
        fault.Error)
        return FailWith(fault.Error);
    if (ftruncate(file->fd, position) != 0) return FailWithErrno(errno);
    return true;
}

bool FlushFileBuffers(HANDLE handle) {
    auto file = LookupFile(handle);
    if (!file) return false;
    if (!file->canWrite) return FailWith(ERROR_ACCESS_DENIED);
    if (const TFileFault fault = AskFault(TFileOperation::Flush, file->native, 0, 0); fault.Error)
        return FailWith(fault.Error);
    if (fsync(file->fd) != 0) return FailWithErrno(errno);
    return true;
}

bool GetFileSizeEx(HANDLE handle, int64_t& size) {
    auto file = LookupFile(handle);
    if (!file) return false;
    struct stat st {};
    if (fstat(file->fd, &st) != 0) return FailWithErrno(errno);
    size = st.st_size;
    return true;
}

HANDLE CreateFileMapping(HANDLE file, const void* /*attributes*/, uint32_t protect, uint32_t maximumSizeHigh,
                         uint32_t maximumSizeLow, const char* name) {
    auto object = LookupFile(file);
    if (!object) return 0;
    if (protect != PAGE_READONLY || maximumSizeHigh != 0 || maximumSizeLow != 0 || name != nullptr) {
        FailWith(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (!object->canRead) {
        FailWith(ERROR_ACCESS_DENIED);
        return 0;
    }
    auto mapping = std::make_shared<MappingObject>();
    {
        std::lock_guard lock(object->mutex);
        if (object->fd < 0) {
            FailWith(ERROR_INVALID_HANDLE);
            return 0;
        }
        const std::string self = "/proc/self/fd/" + std::to_string(object->fd);
        mapping->fd = open(self.c_str(), O_RDONLY | O_CLOEXEC);
    }
    if (mapping->fd < 0) {
        FailWithErrno(errno);
        return 0;
    }
    struct stat st {};
    if (fstat(mapping->fd, &st) != 0) {
        FailWithErrno(errno);
        return 0;
    }
    if (st.st_size == 0) {
        FailWith(ERROR_INVALID_PARAMETER);
        return 0;
    }
    mapping->size = st.st_size;
    return AddHandle(std::move(mapping));
}

const void* MapViewOfFile(HANDLE mapping, uint32_t desiredAccess, uint32_t offsetHigh, uint32_t offsetLow,
                          size_t bytes) {
    auto object = Lookup<MappingObject>(mapping);
    if (!object) {
        FailWith(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    const int64_t offset = static_cast<int64_t>((static_cast<uint64_t>(offsetHigh) << 32) | offsetLow);
    if (desiredAccess != FILE_MAP_READ || bytes == 0 || offset < 0 ||
        static_cast<uint64_t>(offset) + bytes > static_cast<uint64_t>(object->size)) {
        FailWith(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const int64_t page = sysconf(_SC_PAGESIZE);
    const int64_t start = offset - offset % page;
    const size_t length = bytes + static_cast<size_t>(offset - start);
    void* base = mmap(nullptr, length, PROT_READ, MAP_SHARED, object->fd, static_cast<off_t>(start));
    if (base == MAP_FAILED) {
        FailWithErrno(errno);
        return nullptr;
    }
    const void* view = static_cast<const char*>(base) + (offset - start);
    std::lock_guard lock(viewMutex);
    mappedViews[view] = {base, length};
    return view;
}

bool UnmapViewOfFile(const void* view) {
    std::pair<void*, size_t> mapped;
    {
        std::lock_guard lock(viewMutex);
        const auto it = mappedViews.find(view);
        if (it == mappedViews.end()) return FailWith(ERROR_INVALID_PARAMETER);
        mapped = it->second;
        mappedViews.erase(it);
    }
    if (munmap(mapped.first, mapped.second) != 0) return FailWithErrno(errno);
    return true;
}

uint32_t GetFileSize(HANDLE handle, uint32_t* sizeHigh) {
    int64_t size = 0;
    if (!GetFileSizeEx(handle, size)) return INVALID_FILE_SIZE;
    if (sizeHigh) *sizeHigh = static_cast<uint32_t>(static_cast<uint64_t>(size) >> 32);
    SetLastError(ERROR_SUCCESS);
    return static_cast<uint32_t>(size);
}

bool GetFileTime(HANDLE handle, FILETIME* creation, FILETIME* lastAccess, FILETIME* lastWrite) {
    auto file = LookupFile(handle);
    if (!file) return false;
    struct stat st {};
    if (fstat(file->fd, &st) != 0) return FailWithErrno(errno);
    // There is no birth time here in general; the older of status change and write stands in.
    if (creation) *creation = FromTimespec(st.st_ctim.tv_sec < st.st_mtim.tv_sec ? st.st_ctim : st.st_mtim);
    if (lastAccess) *lastAccess = FromTimespec(st.st_atim);
    if (lastWrite) *lastWrite = FromTimespec(st.st_mtim);
    return true;
}

bool SetFileTime(HANDLE handle, const FILETIME* /*creation*/, const FILETIME* lastAccess,
                 const FILETIME* lastWrite) {
    auto file = LookupFile(handle);
    if (!file) return false;
    if (!file->canWrite) return FailWith(ERROR_ACCESS_DENIED);
    timespec times[2];
    times[0] = lastAccess ? ToTimespec(*lastAccess) : timespec{0, UTIME_OMIT};
    times[1] = lastWrite ? ToTimespec(*lastWrite) : timespec{0, UTIME_OMIT};
    if (futimens(file->fd, times) != 0) return FailWithErrno(errno);
    return true;
}

// ---- byte-range locks ----

bool LockFile(HANDLE handle, uint64_t offset, uint64_t length) {
    auto file = LookupFile(handle);
    if (!file) return false;
    uint64_t end;
    if (length == 0 || __builtin_add_overflow(offset, length, &end) || end > kShareAreaStart)
        return FailWith(ERROR_INVALID_PARAMETER);
    std::lock_guard lock(file->mutex);
    for (const auto& held : file->locks)
        if (offset < held.offset + held.length && held.offset < end) return FailWith(ERROR_LOCK_VIOLATION);
    const auto start = static_cast<off_t>(offset);
    const auto count = static_cast<off_t>(length);
    if (file->fdWritable) {
        if (!OfdLock(file->fd, F_WRLCK, start, count))
            return FailWith(errno == EAGAIN || errno == EACCES ? ERROR_LOCK_VIOLATION
                                                               : ErrorFromErrno(errno));
    } else {
        // A read-only description cannot take a write lock: take a read lock, which conflicts with
        // every write lock, and give it back when any other description holds a lock there.
        if (!OfdLock(file->fd, F_RDLCK, start, count))
            return FailWith(errno == EAGAIN || errno == EACCES ? ERROR_LOCK_VIOLATION
                                                               : ErrorFromErrno(errno));
        if (OthersHold(file->fd, start, count)) {
            OfdLock(file->fd, F_UNLCK, start, count);
            return FailWith(ERROR_LOCK_VIOLATION);
        }
    }
    file->locks.push_back({offset, length});
    return true;
}

bool UnlockFile(HANDLE handle, uint64_t offset, uint64_t length) {
    auto file = LookupFile(handle);
    if (!file) return false;
    std::lock_guard lock(file->mutex);
    const auto it = std::find_if(file->locks.begin(), file->locks.end(), [&](const LockedRange& r) {
        return r.offset == offset && r.length == length;
    });
    if (it == file->locks.end()) return FailWith(ERROR_NOT_LOCKED);
    // The handle's ranges never overlap, so this releases exactly the one range.
    if (!OfdLock(file->fd, F_UNLCK, static_cast<off_t>(offset), static_cast<off_t>(length)))
        return FailWithErrno(errno);
    file->locks.erase(it);
    return true;
}

bool LockFile(HANDLE handle, uint32_t offsetLow, uint32_t offsetHigh, uint32_t lengthLow,
              uint32_t lengthHigh) {
    return LockFile(handle, (static_cast<uint64_t>(offsetHigh) << 32) | offsetLow,
                    (static_cast<uint64_t>(lengthHigh) << 32) | lengthLow);
}

bool UnlockFile(HANDLE handle, uint32_t offsetLow, uint32_t offsetHigh, uint32_t lengthLow,
                uint32_t lengthHigh) {
    return UnlockFile(handle, (static_cast<uint64_t>(offsetHigh) << 32) | offsetLow,
                      (static_cast<uint64_t>(lengthHigh) << 32) | lengthLow);
}

// ---- names ----

bool DeleteFile(std::string_view fileName) {
    std::string native;
    if (!ResolveExistingPath(fileName, native)) return false;
    struct stat st {};
    if (lstat(native.c_str(), &st) != 0) return FailWithErrno(errno);
    if (S_ISDIR(st.st_mode)) return FailWith(ERROR_ACCESS_DENIED);
    if (S_ISREG(st.st_mode)) {
        if (ReadOnlyByMode(st)) return FailWith(ERROR_ACCESS_DENIED);
        if (OpenAnywhere(native)) return FailWith(ERROR_SHARING_VIOLATION);
    }
    if (const TFileFault fault = AskFault(TFileOperation::Delete, native, 0, 0); fault.Error)
        return FailWith(fault.Error);
    if (unlink(native.c_str()) != 0) return FailWithErrno(errno);
    return true;
}

bool MoveFile(std::string_view existingName, std::string_view newName) {
    std::string from;
    if (!ResolveExistingPath(existingName, from)) return false;
    TNativePath target;
    if (!ResolveWindowsPath(newName, target)) return false;
    struct stat fromStat {};
    if (lstat(from.c_str(), &fromStat) != 0) return FailWithErrno(errno);
    std::string to = target.Native;
    if (target.Exists) {
        struct stat toStat {};
        const bool same = lstat(to.c_str(), &toStat) == 0 && toStat.st_dev == fromStat.st_dev &&
                          toStat.st_ino == fromStat.st_ino;
        if (!same) return FailWith(ERROR_ALREADY_EXISTS);
        // Only the spelling changes: move to the name exactly as given.
        const std::string full = GetFullPathName(newName);
        const auto slash = to.rfind('/');
        to = to.substr(0, slash + 1) + AnsiToUtf8(full.substr(full.rfind('\\') + 1));
        if (to == from) return true;
    }
    if (S_ISREG(fromStat.st_mode) && OpenAnywhere(from)) return FailWith(ERROR_SHARING_VIOLATION);
    if (const TFileFault fault = AskFault(TFileOperation::Rename, from, 0, 0); fault.Error)
        return FailWith(fault.Error);
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    int err = errno;
    if (err == EINVAL || err == ENOSYS) {
        // The file system cannot refuse to replace atomically: a hard link can, where it exists.
        if (!S_ISDIR(fromStat.st_mode) && link(from.c_str(), to.c_str()) == 0) {
            unlink(from.c_str());
            return true;
        }
        if (errno == EEXIST) return FailWith(ERROR_ALREADY_EXISTS);
        struct stat probe {};
        if (lstat(to.c_str(), &probe) == 0) return FailWith(ERROR_ALREADY_EXISTS);
        if (rename(from.c_str(), to.c_str()) == 0) return true;
        err = errno;
    }
    if (err == EEXIST || err == ENOTEMPTY) return FailWith(ERROR_ALREADY_EXISTS);
    if (err == EXDEV) {
        if (!S_ISREG(fromStat.st_mode)) return FailWith(ERROR_NOT_SAME_DEVICE);
        if (!CopyNative(from, to)) return false;
        if (unlink(from.c_str()) != 0) {
            const int unlinkErr = errno;
            unlink(to.c_str());
            return FailWithErrno(unlinkErr);
        }
        return true;
    }
    return FailWithErrno(err);
}

bool CopyFile(std::string_view existingName, std::string_view newName, bool failIfExists) {
    const HANDLE source = CreateFile(existingName, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, 0);
    if (source == INVALID_HANDLE_VALUE) return false;
    const HANDLE target = CreateFile(newName, GENERIC_WRITE, 0, failIfExists ? CREATE_NEW : CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL);
    if (target == INVALID_HANDLE_VALUE) {
        const uint32_t err = GetLastError();
        CloseHandle(source);
        return FailWith(err);
    }
    std::vector<char> buffer(1 << 16);
    bool ok = true;
    uint32_t err = 0;
    for (;;) {
        uint32_t got = 0;
        if (!ReadFile(source, buffer.data(), static_cast<uint32_t>(buffer.size()), &got)) {
            ok = false;
            err = GetLastError();
            break;
        }
        if (got == 0) break;
        uint32_t put = 0;
        if (!WriteFile(target, buffer.data(), got, &put) || put != got) {
            ok = false;
            err = put != got && GetLastError() == 0 ? ERROR_DISK_FULL : GetLastError();
            break;
        }
    }
    if (ok) {
        FILETIME written;
        GetFileTime(source, nullptr, nullptr, &written);
        SetFileTime(target, nullptr, nullptr, &written);
    }
    const std::string sourceNative = NativePathOfHandle(source);
    const std::string targetNative = NativePathOfHandle(target);
    CloseHandle(target);
    CloseHandle(source);
    if (!ok) {
        unlink(targetNative.c_str());
        return FailWith(err);
    }
    struct stat st {};
    if (stat(sourceNative.c_str(), &st) == 0 && ReadOnlyByMode(st)) {
        struct stat now {};
        if (stat(targetNative.c_str(), &now) == 0) chmod(targetNative.c_str(), now.st_mode & ~0222);
    }
    return true;
}

bool CreateDirectory(std::string_view pathName) {
    TNativePath path;
    if (!ResolveWindowsPath(pathName, path)) return false;
    if (path.Exists) return FailWith(ERROR_ALREADY_EXISTS);
    if (mkdirat(path.At(), path.Entry.c_str(), 0777) != 0) return FailWithErrno(errno);
    return true;
}

bool RemoveDirectory(std::string_view pathName) {
    std::string native;
    if (!ResolveExistingPath(pathName, native)) return false;
    struct stat st {};
    if (lstat(native.c_str(), &st) != 0) return FailWithErrno(errno);
    if (!S_ISDIR(st.st_mode)) return FailWith(ERROR_DIRECTORY);
    if (rmdir(native.c_str()) != 0) return FailWithErrno(errno == EEXIST ? ENOTEMPTY : errno);
    return true;
}

uint32_t GetFileAttributes(std::string_view fileName) {
    TNativePath path;
    if (!ResolveExistingPath(fileName, path)) return INVALID_FILE_ATTRIBUTES;
    struct stat st {};
    if (fstatat(path.At(), path.Entry.c_str(), &st, 0) != 0) {
        FailWithErrno(errno);
        return INVALID_FILE_ATTRIBUTES;
    }
    if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_FILE_ATTRIBUTES;
    }
    // The root of a drive is never hidden, whatever its native folder is called.
    const std::string full = GetFullPathName(fileName);
    const bool root = full.size() == 3;
    return AttributesOf(st, root ? std::string_view() : BaseName(path.Native));
}

bool SetFileAttributes(std::string_view fileName, uint32_t attributes) {
    std::string native;
    if (!ResolveExistingPath(fileName, native)) return false;
    struct stat st {};
    if (stat(native.c_str(), &st) != 0) return FailWithErrno(errno);
    mode_t mode = st.st_mode & 07777;
    if (attributes & FILE_ATTRIBUTE_READONLY) {
        mode &= ~0222;
    } else if ((mode & 0222) == 0) {
        const mode_t mask = umask(0);
        umask(mask);
        mode |= 0222 & ~mask;
        mode |= S_IWUSR;
    }
    if (mode != (st.st_mode & 07777) && chmod(native.c_str(), mode) != 0) return FailWithErrno(errno);
    return true;
}

// ---- find ----

bool MatchesMask(std::string_view name, std::string_view mask) {
    // Table matcher: ok[i][j] tells whether name[i..] matches mask[j..]. A "?" stands for one
    // character, or for none at the end of the name or before a dot.
    auto simple = [](std::string_view n, std::string_view m) {
        const std::size_t rows = n.size() + 1, cols = m.size() + 1;
        std::vector<char> ok(rows * cols, 0);
        auto at = [&](std::size_t i, std::size_t j) -> char& { return ok[i * cols + j]; };
        at(n.size(), m.size()) = 1;
        for (std::size_t j = m.size(); j-- > 0;) {
            for (std::size_t i = n.size() + 1; i-- > 0;) {
                const bool more = i < n.size();
                if (m[j] == '*') {
                    at(i, j) = at(i, j + 1) || (more && at(i + 1, j));
                } else if (m[j] == '?') {
                    at(i, j) = (more && at(i + 1, j + 1)) || ((!more || n[i] == '.') && at(i, j + 1));
                } else {
                    at(i, j) = more &&
                               AnsiUpperChar(static_cast<unsigned char>(m[j])) ==
                                   AnsiUpperChar(static_cast<unsigned char>(n[i])) &&
                               at(i + 1, j + 1);
                }
            }
        }
        return at(0, 0) != 0;
    };
    if (mask.empty()) return false;
    if (mask == "*" || mask == "*.*") return true;
    if (simple(name, mask)) return true;
    // "NAME.*" also matches "NAME"; "NAME." matches only names without an extension.
    if (mask.size() >= 2 && mask.substr(mask.size() - 2) == ".*" && name.find('.') == std::string_view::npos)
        return simple(name, mask.substr(0, mask.size() - 2));
    if (mask.back() == '.' && name.find('.') == std::string_view::npos)
        return simple(name, mask.substr(0, mask.size() - 1));
    return false;
}

HANDLE FindFirstFile(std::string_view fileName, WIN32_FIND_DATA& data, uint32_t includeAttributes) {
    const std::string full = GetFullPathName(fileName);
    const auto lastSeparator = full.rfind('\\');
    if (full.size() < 3 || full[1] != ':' || lastSeparator == std::string::npos) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    const std::string folder = full.substr(0, lastSeparator + 1);
    const std::string mask = full.substr(lastSeparator + 1);
    TNativePath path;
    if (!ResolveExistingPath(folder, path)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    const std::string& native = path.Native;
    struct stat folderStat {};
    if (fstatat(path.At(), path.Entry.c_str(), &folderStat, 0) != 0 || !S_ISDIR(folderStat.st_mode)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (const TFileFault fault = AskFault(TFileOperation::Search, native, 0, 0); fault.Error != 0) {
        SetLastError(fault.Error);
        return INVALID_HANDLE_VALUE;
    }
    const bool atRoot = folder.size() == 3;
    const uint32_t excluded =
        ~includeAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY);

    auto find = std::make_shared<FindObject>();
    auto consider = [&](const std::string& nativeName, const struct stat& st) {
        const std::string name = Utf8ToAnsi(nativeName);
        if (!MatchesMask(name, mask)) return;
        WIN32_FIND_DATA entry;
        entry.dwFileAttributes = AttributesOf(st, nativeName);
        if (entry.dwFileAttributes & excluded) return;
        entry.ftCreationTime = FromTimespec(st.st_ctim.tv_sec < st.st_mtim.tv_sec ? st.st_ctim : st.st_mtim);
        entry.ftLastAccessTime = FromTimespec(st.st_atim);
        entry.ftLastWriteTime = FromTimespec(st.st_mtim);
        if (!S_ISDIR(st.st_mode)) {
            entry.nFileSizeHigh = static_cast<uint32_t>(static_cast<uint64_t>(st.st_size) >> 32);
            entry.nFileSizeLow = static_cast<uint32_t>(st.st_size);
        }
        entry.cFileName = name;
        find->entries.push_back(std::move(entry));
    };

    // The folder is listed and its entries examined through its descriptor, however deep it lies.
    const int listing = openat(path.At(), path.Entry.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* dir = listing < 0 ? nullptr : fdopendir(listing);
    if (!dir) {
        SetLastError(ErrorFromErrno(errno));
        if (listing >= 0) close(listing);
        return INVALID_HANDLE_VALUE;
    }
    std::vector<WIN32_FIND_DATA> dots;
    if (!atRoot) {
        struct stat parent {};
        consider(".", folderStat);
        if (fstatat(dirfd(dir), "..", &parent, 0) == 0) consider("..", parent);
        dots = std::move(find->entries);
        find->entries.clear();
    }
    {
        while (dirent* d = readdir(dir)) {
            const std::string entryName = d->d_name;
            if (entryName == "." || entryName == "..") continue;
            // Names the mask refuses are not looked at (a folder of many files is searched for one).
            if (!MatchesMask(Utf8ToAnsi(entryName), mask)) continue;
            struct stat st {};
            if (fstatat(dirfd(dir), entryName.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
            if (S_ISLNK(st.st_mode)) {
                // A link counts only when it leads to a regular file.
                if (fstatat(dirfd(dir), entryName.c_str(), &st, 0) != 0 || !S_ISREG(st.st_mode)) continue;
            }
            if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) continue;
            consider(entryName, st);
        }
        closedir(dir);
    }
    std::sort(find->entries.begin(), find->entries.end(),
              [](const WIN32_FIND_DATA& a, const WIN32_FIND_DATA& b) {
                  const std::string ua = AnsiUpperString(a.cFileName), ub = AnsiUpperString(b.cFileName);
                  return ua != ub ? ua < ub : a.cFileName < b.cFileName;
              });
    find->entries.insert(find->entries.begin(), dots.begin(), dots.end());
    if (find->entries.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    data = find->entries[0];
    find->next = 1;
    SetLastError(ERROR_SUCCESS);
    return AddHandle(std::move(find));
}

bool FindNextFile(HANDLE findHandle, WIN32_FIND_DATA& data) {
    auto find = Lookup<FindObject>(findHandle);
    if (!find) return FailWith(ERROR_INVALID_HANDLE);
    if (find->next >= find->entries.size()) return FailWith(ERROR_NO_MORE_FILES);
    data = find->entries[find->next++];
    return true;
}

bool FindClose(HANDLE findHandle) {
    std::lock_guard lock(tableMutex);
    const auto it = handleTable.find(findHandle);
    if (it == handleTable.end() || !std::dynamic_pointer_cast<FindObject>(it->second))
        return FailWith(ERROR_INVALID_HANDLE);
    handleTable.erase(it);
    return true;
}

void SetFileFaultHook(TFileFaultHook hook) {
    std::lock_guard lock(hookMutex);
    hookSet.store(static_cast<bool>(hook), std::memory_order_release);
    faultHook = std::move(hook);
}

std::string NativePathOfHandle(HANDLE handle) {
    auto file = Lookup<FileObject>(handle);
    return file ? file->native : std::string();
}

}  // namespace platform
