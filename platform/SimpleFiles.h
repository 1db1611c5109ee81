#pragma once
// The small file calls of 16-bit heritage, over the handles of Files.h, and temporary file names.

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

using HFILE = int32_t;
constexpr HFILE HFILE_ERROR = -1;

// _lopen modes: access in the low bits, sharing in bits 4–6. Compatibility mode shares both ways.
constexpr int32_t OF_READ = 0x00;
constexpr int32_t OF_WRITE = 0x01;
constexpr int32_t OF_READWRITE = 0x02;
constexpr int32_t OF_SHARE_COMPAT = 0x00;
constexpr int32_t OF_SHARE_EXCLUSIVE = 0x10;
constexpr int32_t OF_SHARE_DENY_WRITE = 0x20;
constexpr int32_t OF_SHARE_DENY_READ = 0x30;
constexpr int32_t OF_SHARE_DENY_NONE = 0x40;

// Opens an existing file.
HFILE _lopen(std::string_view pathName, int32_t readWrite);
// Creates or truncates a file for reading and writing, shared both ways; attribute 1 makes it
// read-only once closed.
HFILE _lcreat(std::string_view pathName, int32_t attribute);
// Bytes transferred, or HFILE_ERROR as an unsigned value (0xFFFFFFFF).
uint32_t _lread(HFILE file, void* buffer, uint32_t bytes);
uint32_t _lwrite(HFILE file, const void* buffer, uint32_t bytes);
// Origin 0 start, 1 current, 2 end; the new position, or HFILE_ERROR.
int32_t _llseek(HFILE file, int32_t offset, int32_t origin);
HFILE _lclose(HFILE file);

// Makes "<path>\<first three characters of prefix><unique in upper-case hexadecimal>.TMP".
// A unique number of 0 picks a free number and creates the empty file; any other number is used
// as given (its low 16 bits) and nothing is created. Returns the number used, or 0 on failure
// (the folder missing: ERROR_DIRECTORY).
uint32_t GetTempFileName(std::string_view pathName, std::string_view prefix, uint32_t unique,
                         std::string& tempFileName);

}  // namespace platform
