#pragma once
// Process services: the thread's last error with Windows-numbered codes, re-entrant critical
// sections, the millisecond tick count, sleeping, thread and process ids and the computer name.

#include <cstdint>
#include <mutex>
#include <string>

namespace platform {

// Error codes as the Windows kernel numbers them; the engine maps them to its own codes.
constexpr uint32_t ERROR_SUCCESS = 0;
constexpr uint32_t ERROR_INVALID_FUNCTION = 1;
constexpr uint32_t ERROR_FILE_NOT_FOUND = 2;
constexpr uint32_t ERROR_PATH_NOT_FOUND = 3;
constexpr uint32_t ERROR_TOO_MANY_OPEN_FILES = 4;
constexpr uint32_t ERROR_ACCESS_DENIED = 5;
constexpr uint32_t ERROR_INVALID_HANDLE = 6;
constexpr uint32_t ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr uint32_t ERROR_INVALID_DRIVE = 15;
constexpr uint32_t ERROR_CURRENT_DIRECTORY = 16;
constexpr uint32_t ERROR_NOT_SAME_DEVICE = 17;
constexpr uint32_t ERROR_NO_MORE_FILES = 18;
constexpr uint32_t ERROR_WRITE_PROTECT = 19;
constexpr uint32_t ERROR_NOT_READY = 21;
constexpr uint32_t ERROR_SHARING_VIOLATION = 32;
constexpr uint32_t ERROR_LOCK_VIOLATION = 33;
constexpr uint32_t ERROR_HANDLE_EOF = 38;
constexpr uint32_t ERROR_NOT_SUPPORTED = 50;
constexpr uint32_t ERROR_NETWORK_ACCESS_DENIED = 65;
constexpr uint32_t ERROR_FILE_EXISTS = 80;
constexpr uint32_t ERROR_INVALID_PARAMETER = 87;
constexpr uint32_t ERROR_DISK_FULL = 112;
constexpr uint32_t ERROR_INSUFFICIENT_BUFFER = 122;
constexpr uint32_t ERROR_INVALID_NAME = 123;
constexpr uint32_t ERROR_NEGATIVE_SEEK = 131;
constexpr uint32_t ERROR_DIR_NOT_EMPTY = 145;
constexpr uint32_t ERROR_NOT_LOCKED = 158;
constexpr uint32_t ERROR_ALREADY_EXISTS = 183;
constexpr uint32_t ERROR_FILENAME_EXCED_RANGE = 206;
constexpr uint32_t ERROR_DIRECTORY = 267;  // the name is not a folder
constexpr uint32_t ERROR_IO_DEVICE = 1117;

// The calling thread's last error. Every call of this library that fails sets it.
uint32_t GetLastError();
void SetLastError(uint32_t code);

// The Windows code closest to a POSIX errno value (ENOENT gives ERROR_FILE_NOT_FOUND; callers
// that know a folder was missing report ERROR_PATH_NOT_FOUND themselves).
uint32_t ErrorFromErrno(int err);

// Sets the last error from errno and returns false, for "fail" paths.
bool FailWithErrno(int err);
bool FailWith(uint32_t code);

// A critical section the owning thread may enter again; each Enter needs its Leave.
class TRTLCriticalSection {
public:
    void Enter() { mutex_.lock(); }
    bool TryEnter() { return mutex_.try_lock(); }
    void Leave() { mutex_.unlock(); }

private:
    std::recursive_mutex mutex_;
};

// Enters a critical section for the lifetime of the guard.
class TCriticalSectionGuard {
public:
    explicit TCriticalSectionGuard(TRTLCriticalSection& section) : section_(section) { section_.Enter(); }
    ~TCriticalSectionGuard() { section_.Leave(); }
    TCriticalSectionGuard(const TCriticalSectionGuard&) = delete;
    TCriticalSectionGuard& operator=(const TCriticalSectionGuard&) = delete;

private:
    TRTLCriticalSection& section_;
};

// Milliseconds since an arbitrary start (system boot); wraps after about 49.7 days.
uint32_t GetTickCount();
uint64_t GetTickCount64();
void Sleep(uint32_t milliseconds);

uint32_t GetCurrentThreadId();
uint32_t GetCurrentProcessId();

// The machine's name as the system shows it: the host name up to its first dot, upper case,
// at most 15 characters, in Windows-1252.
constexpr std::size_t MAX_COMPUTERNAME_LENGTH = 15;
std::string GetComputerName();

}  // namespace platform
