#include "platform/Locale.h"

#include <algorithm>

#include "platform/CodePage.h"
#include "platform/Process.h"

namespace platform {

namespace {

// Locales whose text rules are the Windows-1252 tables.
bool MapsWithAnsiTables(uint32_t locale) {
    const uint16_t language = LANGIDFROMLCID(locale);
    return PRIMARYLANGID(language) == 0 || language == LOCALE_ENGLISH_US;
}

}  // namespace

bool IsValidLocale(uint32_t locale, uint32_t /*flags*/) {
    return PRIMARYLANGID(LANGIDFROMLCID(locale)) == 0;
}

int CompareString(uint32_t locale, uint32_t flags, std::string_view a, std::string_view b) {
    if (!MapsWithAnsiTables(locale)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const bool ignoreCase = (flags & NORM_IGNORECASE) != 0;
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (ignoreCase) {
            x = AnsiUpperChar(x);
            y = AnsiUpperChar(y);
        }
        if (x != y) return x < y ? CSTR_LESS_THAN : CSTR_GREATER_THAN;
    }
    if (a.size() == b.size()) return CSTR_EQUAL;
    return a.size() < b.size() ? CSTR_LESS_THAN : CSTR_GREATER_THAN;
}

bool LCMapString(uint32_t locale, uint32_t flags, std::string_view source, std::string& destination) {
    if (!MapsWithAnsiTables(locale) || (flags != LCMAP_UPPERCASE && flags != LCMAP_LOWERCASE))
        return FailWith(ERROR_INVALID_PARAMETER);
    destination = flags == LCMAP_UPPERCASE ? AnsiUpperString(source) : AnsiLowerString(source);
    return true;
}

uint32_t CharUpperBuff(char* text, uint32_t length) {
    for (uint32_t i = 0; i < length; ++i)
        text[i] = static_cast<char>(AnsiUpperChar(static_cast<unsigned char>(text[i])));
    return length;
}

bool IsCharAlpha(char c) {
    const auto b = static_cast<unsigned char>(c);
    if ((b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z')) return true;
    if (b >= 0xC0) return b != 0xD7 && b != 0xF7;
    switch (b) {
        case 0x83:
        case 0x88:
        case 0x8A:
        case 0x8C:
        case 0x8E:
        case 0x9A:
        case 0x9C:
        case 0x9E:
        case 0x9F:
        case 0xAA:
        case 0xB5:
        case 0xBA:
            return true;
        default:
            return false;
    }
}

char CharUpper(char c) {
    return static_cast<char>(AnsiUpperChar(static_cast<unsigned char>(c)));
}

char CharLower(char c) {
    return static_cast<char>(AnsiLowerChar(static_cast<unsigned char>(c)));
}

uint32_t CharLowerBuff(char* text, uint32_t length) {
    for (uint32_t i = 0; i < length; ++i)
        text[i] = static_cast<char>(AnsiLowerChar(static_cast<unsigned char>(text[i])));
    return length;
}

}  // namespace platform
