#pragma once
// Text conversion at the edges of the system. Strings inside the system are Windows-1252 bytes
// (one character is one byte); the operating system speaks UTF-8, and names stored inside
// DOS-era archives are in code page 437.

#include <string>
#include <string_view>

namespace platform {

// Windows-1252 to UTF-8. The five bytes the code page leaves undefined (0x81, 0x8D, 0x8F, 0x90,
// 0x9D) become the control characters of the same number, so the conversion never loses a byte.
std::string AnsiToUtf8(std::string_view ansi);

// UTF-8 to Windows-1252. A character the code page cannot hold, and every malformed UTF-8
// sequence, comes in as "?".
std::string Utf8ToAnsi(std::string_view utf8);

// DOS code page 437 to Windows-1252; a character Windows-1252 cannot hold (box drawing, Greek,
// mathematical signs) becomes "?". Bytes below 0x80 are taken as ASCII.
std::string OemToAnsi(std::string_view oem);

// Windows-1252 to DOS code page 437, for names written into DOS-era archives; a character code
// page 437 cannot hold becomes "?".
std::string AnsiToOem(std::string_view ansi);

// The case tables of Windows-1252, the case mapping of language 0. Upper: a–z, 0xE0–0xF6 and
// 0xF8–0xFE to their capitals, 0x9A→0x8A, 0x9C→0x8C, 0x9E→0x8E, 0xFF→0x9F; ß, µ and ƒ have no
// single-byte capital and stay. Lower is the inverse. Every other byte maps to itself.
unsigned char AnsiUpperChar(unsigned char c);
unsigned char AnsiLowerChar(unsigned char c);
const unsigned char* AnsiUpperTable();  // 256 entries
const unsigned char* AnsiLowerTable();  // 256 entries

// Whole-string forms of the tables above.
std::string AnsiUpperString(std::string_view s);
std::string AnsiLowerString(std::string_view s);

}  // namespace platform
