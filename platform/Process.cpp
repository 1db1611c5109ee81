#include "platform/Process.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "platform/CodePage.h"

namespace platform {

namespace {
thread_local uint32_t lastError = ERROR_SUCCESS;
}

uint32_t GetLastError() {
    return lastError;
}
void SetLastError(uint32_t code) {
    lastError = code;
}

uint32_t ErrorFromErrno(int err) {
    switch (err) {
        case 0:
            return ERROR_SUCCESS;
        case ENOENT:
            return ERROR_FILE_NOT_FOUND;
        case ENOTDIR:
            return ERROR_PATH_NOT_FOUND;
        case EMFILE:
        case ENFILE:
            return ERROR_TOO_MANY_OPEN_FILES;
        case EACCES:
        case EPERM:
        case EISDIR:
        case EROFS:
        case ETXTBSY:
            return ERROR_ACCESS_DENIED;
        case EBADF:
            return ERROR_INVALID_HANDLE;
        case ENOMEM:
            return ERROR_NOT_ENOUGH_MEMORY;
        case EXDEV:
            return ERROR_NOT_SAME_DEVICE;
        case EBUSY:
            return ERROR_SHARING_VIOLATION;
        case EAGAIN:
            return ERROR_LOCK_VIOLATION;
        case ENOTSUP:
            return ERROR_NOT_SUPPORTED;
        case EEXIST:
            return ERROR_ALREADY_EXISTS;
        case EINVAL:
            return ERROR_INVALID_PARAMETER;
        case ENOSPC:
        case EDQUOT:
            return ERROR_DISK_FULL;
        case ENOTEMPTY:
            return ERROR_DIR_NOT_EMPTY;
        case ENAMETOOLONG:
            return ERROR_FILENAME_EXCED_RANGE;
        case ELOOP:
            return ERROR_PATH_NOT_FOUND;
        case EOVERFLOW:
        case EFBIG:
            return ERROR_DISK_FULL;
        default:
            return ERROR_IO_DEVICE;
    }
}

bool FailWithErrno(int err) {
    SetLastError(ErrorFromErrno(err));
    return false;
}

bool FailWith(uint32_t code) {
    SetLastError(code);
    return false;
}

uint64_t GetTickCount64() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
}

uint32_t GetTickCount() {
    return static_cast<uint32_t>(GetTickCount64());
}

void Sleep(uint32_t milliseconds) {
    if (milliseconds == 0) {
        std::this_thread::yield();
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

uint32_t GetCurrentThreadId() {
    return static_cast<uint32_t>(syscall(SYS_gettid));
}
uint32_t GetCurrentProcessId() {
    return static_cast<uint32_t>(getpid());
}

std::string GetComputerName() {
    char host[256] = {};
    if (gethostname(host, sizeof host - 1) != 0 || host[0] == '\0') return "LOCALHOST";
    std::string name(host);
    if (auto dot = name.find('.'); dot != std::string::npos) name.resize(dot);
    name = AnsiUpperString(Utf8ToAnsi(name));
    if (name.size() > MAX_COMPUTERNAME_LENGTH) name.resize(MAX_COMPUTERNAME_LENGTH);
    return name;
}

}  // namespace platform
