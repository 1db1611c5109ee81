#pragma once
// Locale identifiers and the locale-aware comparison and case mapping of Windows-1252 text.
//
// Language 0 ("ANSI Standard") is the one language this system knows: it case-maps with the
// Windows-1252 tables of CodePage.h and compares bytes. English (United States), through which
// language 0 is case-mapped, and the neutral user and system default locales map the same way.
// Every other language is not installed: IsValidLocale answers false and the text routines fail
// with ERROR_INVALID_PARAMETER.

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// A language id holds the primary language in bits 0–9 and the sublanguage in bits 10–15;
// a locale id holds the sort id in bits 16–19 above the language id.
constexpr uint16_t MAKELANGID(uint16_t primary, uint16_t sublanguage) {
    return static_cast<uint16_t>((sublanguage << 10) | primary);
}
constexpr uint16_t PRIMARYLANGID(uint16_t language) {
    return language & 0x3FF;
}
constexpr uint16_t SUBLANGID(uint16_t language) {
    return language >> 10;
}
constexpr uint32_t MAKELCID(uint16_t language, uint16_t sort) {
    return (static_cast<uint32_t>(sort) << 16) | language;
}
constexpr uint16_t LANGIDFROMLCID(uint32_t locale) {
    return static_cast<uint16_t>(locale);
}
constexpr uint16_t SORTIDFROMLCID(uint32_t locale) {
    return static_cast<uint16_t>((locale >> 16) & 0xF);
}

constexpr uint32_t LOCALE_USER_DEFAULT = 0x0400;
constexpr uint32_t LOCALE_SYSTEM_DEFAULT = 0x0800;
constexpr uint32_t LOCALE_ENGLISH_US = 0x0409;  // language id 1033

constexpr uint32_t LCID_INSTALLED = 0x1;
constexpr uint32_t LCID_SUPPORTED = 0x2;

// Comparison flags (only the case flag changes anything for the languages known here).
constexpr uint32_t NORM_IGNORECASE = 0x0001;
constexpr uint32_t NORM_IGNORENONSPACE = 0x0002;
constexpr uint32_t NORM_IGNORESYMBOLS = 0x0004;
constexpr uint32_t SORT_STRINGSORT = 0x1000;
// Results of CompareString; 0 means failure.
constexpr int CSTR_LESS_THAN = 1;
constexpr int CSTR_EQUAL = 2;
constexpr int CSTR_GREATER_THAN = 3;
// Mapping flags
constexpr uint32_t LCMAP_LOWERCASE = 0x0100;
constexpr uint32_t LCMAP_UPPERCASE = 0x0200;

bool IsValidLocale(uint32_t locale, uint32_t flags);

// Compares as unsigned bytes (after upper-casing both when NORM_IGNORECASE is given); a text that
// is the beginning of a longer one sorts first. Returns CSTR_…, or 0 with ERROR_INVALID_PARAMETER
// for a language this system does not know.
int CompareString(uint32_t locale, uint32_t flags, std::string_view a, std::string_view b);

// Maps to upper or lower case (exactly one of the two flags). Fails with ERROR_INVALID_PARAMETER
// for an unknown language or flag combination.
bool LCMapString(uint32_t locale, uint32_t flags, std::string_view source, std::string& destination);

// In-place case mapping of a buffer with the language-0 tables; returns the length.
uint32_t CharUpperBuff(char* text, uint32_t length);
uint32_t CharLowerBuff(char* text, uint32_t length);

// One character on the Windows-1252 tables. A byte is a letter when its character is one: A–Z,
// a–z, ƒ ˆ Š Œ Ž š œ ž Ÿ (0x83, 0x88, 0x8A, 0x8C, 0x8E, 0x9A, 0x9C, 0x9E, 0x9F), ª µ º (0xAA,
// 0xB5, 0xBA) and 0xC0–0xFF except × (0xD7) and ÷ (0xF7). The bytes the code page leaves undefined
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) are not letters.
bool IsCharAlpha(char c);
char CharUpper(char c);
char CharLower(char c);

}  // namespace platform
