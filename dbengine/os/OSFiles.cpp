// The file primitives of the operating-system layer.
#include "dbengine/os/OSLayer.h"

#include <algorithm>
#include "platform/Files.h"
#include "platform/Process.h"

namespace dbengine {

const TOSHandle OSInvalidHandle = platform::INVALID_HANDLE_VALUE;

namespace {

uint32_t AccessOf(uint8_t mode) {
    switch (mode & 0x03) {
        case 0:
            return platform::GENERIC_READ;
        case 1:
            return platform::GENERIC_WRITE;
        default:
            return platform::GENERIC_READ | platform::GENERIC_WRITE;
    }
}

uint32_t SharingOf(uint8_t mode) {
    switch (mode & 0xF0) {
        case fmShareDenyWrite:
            return platform::FILE_SHARE_READ;
        case fmShareDenyRead:
            return platform::FILE_SHARE_WRITE;
        case fmShareDenyNone:
            return platform::FILE_SHARE_READ | platform::FILE_SHARE_WRITE;
        default:
            return 0;  // 0x00 and 0x10: exclusive
    }
}

}  // namespace

TOSHandle OSOpenFile(const std::string& name, uint8_t mode, bool temporary) {
    uint32_t flags = temporary ? platform::FILE_ATTRIBUTE_TEMPORARY | platform::FILE_FLAG_DELETE_ON_CLOSE |
                                     platform::FILE_FLAG_SEQUENTIAL_SCAN
                               : platform::FILE_ATTRIBUTE_NORMAL | platform::FILE_FLAG_SEQUENTIAL_SCAN;
    return platform::CreateFile(name, AccessOf(mode), SharingOf(mode), platform::OPEN_EXISTING, flags);
}

TOSHandle OSCreateFile(const std::string& name, bool temporary) {
    uint32_t flags = (temporary ? platform::FILE_ATTRIBUTE_TEMPORARY : platform::FILE_ATTRIBUTE_NORMAL) |
                     platform::FILE_FLAG_SEQUENTIAL_SCAN;
    return platform::CreateFile(name, platform::GENERIC_READ | platform::GENERIC_WRITE, 0,
                                platform::CREATE_ALWAYS, flags);
}

bool OSCloseFile(TOSHandle handle) {
    return platform::CloseHandle(handle);
}

bool OSDeleteFile(const std::string& name) {
    return platform::DeleteFile(name);
}

bool OSRenameFile(const std::string& oldName, const std::string& newName) {
    return platform::MoveFile(oldName, newName);
}

bool OSLockRange(TOSHandle handle, uint64_t offset, uint64_t count) {
    return platform::LockFile(handle, offset, count);
}

bool OSUnlockRange(TOSHandle handle, uint64_t offset, uint64_t count) {
    return platform::UnlockFile(handle, offset, count);
}

int64_t OSSeek(TOSHandle handle, int origin, int64_t offset) {
    int64_t position = 0;
    if (origin < 0 || origin > 2) {
        platform::SetLastError(platform::ERROR_INVALID_PARAMETER);
        return -1;
    }
    if (!platform::SetFilePointerEx(handle, offset, &position, static_cast<uint32_t>(origin))) return -1;
    return position;
}

int32_t OSRead(TOSHandle handle, void* buffer, uint32_t count) {
    uint32_t done = 0;
    if (!platform::ReadFile(handle, buffer, count, &done)) return -1;
    return static_cast<int32_t>(done);
}

int32_t OSWrite(TOSHandle handle, const void* buffer, uint32_t count) {
    uint32_t done = 0;
    if (!platform::WriteFile(handle, buffer, count, &done)) return -1;
    return static_cast<int32_t>(done);
}

const uint8_t* OSMapFileStart(TOSHandle handle, uint32_t count, uint32_t& mapped) {
    mapped = 0;
    int64_t size = 0;
    if (!platform::GetFileSizeEx(handle, size) || size <= 0) return nullptr;
    const platform::HANDLE mapping =
        platform::CreateFileMapping(handle, nullptr, platform::PAGE_READONLY, 0, 0, nullptr);
    if (mapping == 0) return nullptr;
    const uint32_t length = static_cast<uint32_t>(std::min<int64_t>(size, count));
    const void* view = platform::MapViewOfFile(mapping, platform::FILE_MAP_READ, 0, 0, length);
    if (view != nullptr) mapped = length;
    platform::CloseHandle(mapping);
    return static_cast<const uint8_t*>(view);
}

void OSUnmapFileStart(const uint8_t* view) {
    if (view != nullptr) platform::UnmapViewOfFile(view);
}

bool OSSetEndOfFile(TOSHandle handle) {
    return platform::SetEndOfFile(handle);
}

bool OSFlushFile(TOSHandle handle) {
    return platform::FlushFileBuffers(handle);
}

int32_t OSFileAttributes(const std::string& name) {
    uint32_t attributes = platform::GetFileAttributes(name);
    return attributes == platform::INVALID_FILE_ATTRIBUTES ? -1 : static_cast<int32_t>(attributes);
}

int32_t OSFileAge(const std::string& name) {
    platform::WIN32_FIND_DATA data;
    platform::HANDLE find = platform::FindFirstFile(name, data);
    if (find == platform::INVALID_HANDLE_VALUE) return -1;
    platform::FindClose(find);
    if ((data.dwFileAttributes & platform::FILE_ATTRIBUTE_DIRECTORY) != 0) return -1;
    platform::FILETIME local;
    uint16_t date = 0, time = 0;
    if (!platform::FileTimeToLocalFileTime(data.ftLastWriteTime, local) ||
        !platform::FileTimeToDosDateTime(local, date, time))
        return -1;
    return static_cast<int32_t>((static_cast<uint32_t>(date) << 16) | time);
}

bool OSFileExists(const std::string& name) {
    // Existence does not hang on the age: a file dated outside the DOS range (before 1980) has
    // no DOS age but exists all the same.
    platform::WIN32_FIND_DATA data;
    platform::HANDLE find = platform::FindFirstFile(name, data);
    if (find == platform::INVALID_HANDLE_VALUE) return false;
    platform::FindClose(find);
    return (data.dwFileAttributes & platform::FILE_ATTRIBUTE_DIRECTORY) == 0;
}

}  // namespace dbengine
