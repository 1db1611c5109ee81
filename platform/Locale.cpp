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

uint32_t CharLowerBuff(char* text, uint32_t length) {
    for (uint32_t i = 0; i < length; ++i)
        text[i] = static_cast<char>(AnsiLowerChar(static_cast<unsigned char>(text[i])));
    return length;
}

}  // namespace platform
