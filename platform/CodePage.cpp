#include "platform/CodePage.h"

#include <array>
#include <cstdint>

namespace platform {

namespace {

// Unicode code points of Windows-1252 bytes 0x80–0x9F. Undefined bytes hold their own number.
constexpr std::array<char16_t, 32> kAnsiHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80–87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88–8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90–97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98–9F
};

// Unicode code points of code page 437 bytes 0x80–0xFF.
constexpr std::array<char16_t, 128> kOemHigh = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,  // 80
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,  // 88
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,  // 90
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192,  // 98
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,  // A0
    0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,  // A8
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,  // B0
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,  // B8
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,  // C0
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,  // C8
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,  // D0
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,  // D8
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,  // E0
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,  // E8
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,  // F0
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,  // F8
};

char32_t AnsiToCodePoint(unsigned char c) {
    if (c >= 0x80 && c < 0xA0) return kAnsiHigh[c - 0x80];
    return c;
}

// Returns the Windows-1252 byte of a code point, or '?' when the code page has none.
char CodePointToAnsi(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<char>(cp);
    for (std::size_t i = 0; i < kAnsiHigh.size(); ++i)
        if (kAnsiHigh[i] == cp) return static_cast<char>(0x80 + i);
    return '?';
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

struct CaseTables {
    unsigned char upper[256];
    unsigned char lower[256];
    CaseTables() {
        for (int i = 0; i < 256; ++i) upper[i] = lower[i] = static_cast<unsigned char>(i);
        auto pair = [this](int small, int capital) {
            upper[small] = static_cast<unsigned char>(capital);
            lower[capital] = static_cast<unsigned char>(small);
        };
        for (int c = 'a'; c <= 'z'; ++c) pair(c, c - 0x20);
        for (int c = 0xE0; c <= 0xFE; ++c)
            if (c != 0xF7) pair(c, c - 0x20);  // 0xF7 is the division sign, 0xD7 the multiplication sign
        pair(0x9A, 0x8A);                      // š Š
        pair(0x9C, 0x8C);                      // œ Œ
        pair(0x9E, 0x8E);                      // ž Ž
        pair(0xFF, 0x9F);                      // ÿ Ÿ
    }
};

const CaseTables& Tables() {
    static const CaseTables tables;
    return tables;
}

}  // namespace

std::string AnsiToUtf8(std::string_view ansi) {
    std::string out;
    out.reserve(ansi.size());
    for (char c : ansi) AppendUtf8(out, AnsiToCodePoint(static_cast<unsigned char>(c)));
    return out;
}

std::string Utf8ToAnsi(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    const std::size_t n = utf8.size();
    while (i < n) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        int extra;
        char32_t cp;
        if (lead < 0x80) {
            out += static_cast<char>(lead);
            ++i;
            continue;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            extra = 1;
            cp = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            extra = 2;
            cp = lead & 0x0F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            extra = 3;
            cp = lead & 0x07;
        } else {
            out += '?';
            ++i;
            continue;
        }
        std::size_t j = i + 1;
        bool ok = true;
        for (int k = 0; k < extra; ++k, ++j) {
            if (j >= n || (static_cast<unsigned char>(utf8[j]) & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            cp = (cp << 6) | (static_cast<unsigned char>(utf8[j]) & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are malformed.
        if (ok && ((extra == 2 && cp < 0x800) || (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
                   (cp >= 0xD800 && cp <= 0xDFFF)))
            ok = false;
        if (!ok) {
            out += '?';
            i = (j > i + 1) ? j : i + 1;
            continue;
        }
        out += CodePointToAnsi(cp);
        i = j;
    }
    return out;
}

std::string OemToAnsi(std::string_view oem) {
    std::string out;
    out.reserve(oem.size());
    for (char c : oem) {
        const auto b = static_cast<unsigned char>(c);
        out += b < 0x80 ? c : CodePointToAnsi(kOemHigh[b - 0x80]);
    }
    return out;
}

std::string AnsiToOem(std::string_view ansi) {
    static const auto table = [] {
        std::array<char, 128> t{};
        for (int b = 0x80; b < 0x100; ++b) {
            t[b - 0x80] = '?';
            const char32_t cp = AnsiToCodePoint(static_cast<unsigned char>(b));
            for (std::size_t i = 0; i < kOemHigh.size(); ++i)
                if (kOemHigh[i] == cp) t[b - 0x80] = static_cast<char>(0x80 + i);
        }
        return t;
    }();
    std::string out;
    out.reserve(ansi.size());
    for (char c : ansi) {
        const auto b = static_cast<unsigned char>(c);
        out += b < 0x80 ? c : table[b - 0x80];
    }
    return out;
}

unsigned char AnsiUpperChar(unsigned char c) {
    return Tables().upper[c];
}
unsigned char AnsiLowerChar(unsigned char c) {
    return Tables().lower[c];
}
const unsigned char* AnsiUpperTable() {
    return Tables().upper;
}
const unsigned char* AnsiLowerTable() {
    return Tables().lower;
}

std::string AnsiUpperString(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(AnsiUpperChar(static_cast<unsigned char>(c)));
    return out;
}

std::string AnsiLowerString(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(AnsiLowerChar(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace platform
