#include "platform/SimpleFiles.h"

#include <cstdio>

#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/Process.h"

namespace platform {

namespace {

HFILE ToHfile(HANDLE h) {
    return h == INVALID_HANDLE_VALUE ? HFILE_ERROR : static_cast<HFILE>(h);
}

}  // namespace

HFILE _lopen(std::string_view pathName, int32_t readWrite) {
    uint32_t access = GENERIC_READ;
    if ((readWrite & 3) == OF_WRITE) access = GENERIC_WRITE;
    if ((readWrite & 3) == OF_READWRITE) access = GENERIC_READ | GENERIC_WRITE;
    uint32_t share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    switch (readWrite & 0x70) {
        case OF_SHARE_EXCLUSIVE:
            share = 0;
            break;
        case OF_SHARE_DENY_WRITE:
            share = FILE_SHARE_READ;
            break;
        case OF_SHARE_DENY_READ:
            share = FILE_SHARE_WRITE;
            break;
        default:
            break;
    }
    return ToHfile(CreateFile(pathName, access, share, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL));
}

HFILE _lcreat(std::string_view pathName, int32_t attribute) {
    const uint32_t attributes = (attribute & 1) ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL;
    return ToHfile(CreateFile(pathName, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              CREATE_ALWAYS, attributes));
}

uint32_t _lread(HFILE file, void* buffer, uint32_t bytes) {
    uint32_t done = 0;
    if (!ReadFile(file, buffer, bytes, &done)) return static_cast<uint32_t>(HFILE_ERROR);
    return done;
}

uint32_t _lwrite(HFILE file, const void* buffer, uint32_t bytes) {
    uint32_t done = 0;
    // A count of 0 cuts the file at the current position, as the old call did.
    if (bytes == 0) return SetEndOfFile(file) ? 0 : static_cast<uint32_t>(HFILE_ERROR);
    if (!WriteFile(file, buffer, bytes, &done)) return static_cast<uint32_t>(HFILE_ERROR);
    return done;
}

int32_t _llseek(HFILE file, int32_t offset, int32_t origin) {
    int64_t position = 0;
    if (origin < 0 || origin > 2 || !SetFilePointerEx(file, offset, &position, static_cast<uint32_t>(origin)))
        return HFILE_ERROR;
    return static_cast<int32_t>(position);
}

HFILE _lclose(HFILE file) {
    return CloseHandle(file) ? 0 : HFILE_ERROR;
}

uint32_t GetTempFileName(std::string_view pathName, std::string_view prefix, uint32_t unique,
                         std::string& tempFileName) {
    const uint32_t attributes = GetFileAttributes(pathName);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        SetLastError(ERROR_DIRECTORY);
        return 0;
    }
    std::string folder(pathName);
    if (!folder.empty() && folder.back() != '\\' && folder.back() != '/') folder += '\\';
    const std::string head = folder + std::string(prefix.substr(0, 3));
    auto nameFor = [&](uint32_t number) {
        char digits[8];
        std::snprintf(digits, sizeof digits, "%X", number & 0xFFFF);
        return head + digits + ".TMP";
    };
    if (unique != 0) {
        tempFileName = nameFor(unique);
        return unique & 0xFFFF;
    }
    // Start from the tick count and walk on until a name is free; 65535 numbers exist.
    uint32_t number = GetTickCount() & 0xFFFF;
    for (int tries = 0; tries < 0xFFFF; ++tries) {
        if (number == 0) number = 1;
        const std::string name = nameFor(number);
        const HANDLE h = CreateFile(name, GENERIC_WRITE, 0, CREATE_NEW, FILE_ATTRIBUTE_NORMAL);
        if (h != INVALID_HANDLE_VALUE) {
            CloseHandle(h);
            tempFileName = name;
            return number;
        }
        if (GetLastError() != ERROR_FILE_EXISTS) return 0;
        number = (number + 1) & 0xFFFF;
    }
    SetLastError(ERROR_FILE_EXISTS);
    return 0;
}

}  // namespace platform
