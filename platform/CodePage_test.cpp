#include "platform/CodePage.h"

#include <gtest/gtest.h>

#include <string>

namespace platform {
namespace {

std::string Hex(std::string_view s) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (unsigned char c : s) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

bool Undefined(int b) {
    return b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D;
}

TEST(CodePage, HighControlRangeMatchesTheCodec) {
    // UTF-8 of the defined bytes 0x80–0x9F, taken from Python's cp1252 codec.
    const std::string expected =
        "e282ace2809ac692e2809ee280a6e280a0e280a1cb86e280b0c5a0e280b9c592c5bde28098e28099e2809ce2809d"
        "e280a2e28093e28094cb9ce284a2c5a1e280bac593c5bec5b8";
    std::string bytes;
    for (int b = 0x80; b < 0xA0; ++b)
        if (!Undefined(b)) bytes += static_cast<char>(b);
    EXPECT_EQ(Hex(AnsiToUtf8(bytes)), expected);
}

TEST(CodePage, EveryDefinedByteRoundTrips) {
    for (int b = 0x20; b <= 0xFF; ++b) {
        if (Undefined(b)) continue;
        const std::string one(1, static_cast<char>(b));
        const std::string utf8 = AnsiToUtf8(one);
        EXPECT_EQ(Utf8ToAnsi(utf8), one) << "byte " << b;
        if (b < 0x80) {
            EXPECT_EQ(utf8, one);
        }
        if (b >= 0xA0) {  // Latin-1 half: U+00A0–U+00FF in two bytes
            EXPECT_EQ(static_cast<unsigned char>(utf8[0]), 0xC0 | (b >> 6));
            EXPECT_EQ(static_cast<unsigned char>(utf8[1]), 0x80 | (b & 0x3F));
        }
    }
    // A whole string in one go, including the undefined bytes, which must survive too.
    std::string all;
    for (int b = 1; b <= 0xFF; ++b) all += static_cast<char>(b);
    EXPECT_EQ(Utf8ToAnsi(AnsiToUtf8(all)), all);
}

TEST(CodePage, UnrepresentableAndMalformedComeInAsQuestionMark) {
    struct Case {
        const char* utf8;
        const char* ansi;
    } cases[] = {
        {"\xC4\x9A", "?"},                    // Ě
        {"Pr\xC4\x9Bh\xC3\xA1", "Pr?h\xE1"},  // Prěhá
        {"\xE2\x82\xAC 5", "\x80 5"},         // € 5
        {"\xF0\x9F\x98\x80!", "?!"},          // an emoji outside the basic plane
        {"\xFF\xFE", "??"},                   // bytes that never start a sequence
        {"\xC3", "?"},                        // truncated sequence
        {"\xC0\xAF", "??"},                   // overlong slash
        {"\xE0\x80\xAF", "?"},                // overlong in three bytes
        {"\xED\xA0\x80", "?"},                // a surrogate
        {"a\xE2\x82z", "a?z"},                // cut short before an ASCII byte
    };
    for (const auto& c : cases) EXPECT_EQ(Hex(Utf8ToAnsi(c.utf8)), Hex(c.ansi)) << Hex(c.utf8);
}

TEST(CodePage, OemNamesBecomeAnsi) {
    struct Case {
        const char* oem;
        const char* ansi;
    } cases[] = {
        {"README.TXT", "README.TXT"},
        {"\x81\x62\x65r.doc",
         "\xFC"
         "ber.doc"},                       // über
        {"\x8E\x99\x9A", "\xC4\xD6\xDC"},  // ÄÖÜ
        {"\xE1", "\xDF"},                  // ß
        {"\x9F", "\x83"},                  // ƒ moves from 0x9F to 0x83
        {"\xE6\xF8\xFF", "\xB5\xB0\xA0"},  // µ, degree sign, no-break space
        {"\xC9\xCD\xBB", "???"},           // box drawing
        {"\xE0\xE3", "??"},                // Greek alpha and pi
    };
    for (const auto& c : cases) EXPECT_EQ(Hex(OemToAnsi(c.oem)), Hex(c.ansi)) << Hex(c.oem);

    // Back to code page 437: every byte that came through as itself returns, the rest become "?".
    int mapped = 0;
    for (int b = 0x80; b < 0x100; ++b) {
        const std::string oem(1, static_cast<char>(b));
        const std::string ansi = OemToAnsi(oem);
        if (ansi == "?") continue;
        ++mapped;
        EXPECT_EQ(Hex(AnsiToOem(ansi)), Hex(oem)) << b;
    }
    EXPECT_EQ(mapped, 54);                              // as many as Python's cp437 codec finds in cp1252
    EXPECT_EQ(AnsiToOem("\x80\x8A\xC3 ok"), "??? ok");  // €, Š, Ã have no place in code page 437
}

TEST(CodePage, CaseTablesAgreeWithTheCodec) {
    // Expected values from Python's cp1252 codec (str.upper/str.lower, kept where the result is
    // not one byte of the code page).
    struct Case {
        int byte, upper, lower;
    } cases[] = {
        {'a', 'A', 'a'},    {'z', 'Z', 'z'},    {'A', 'A', 'a'},    {'Z', 'Z', 'z'},    {'@', '@', '@'},
        {'[', '[', '['},    {'`', '`', '`'},    {'{', '{', '{'},    {0x9A, 0x8A, 0x9A}, {0x8A, 0x8A, 0x9A},
        {0x9C, 0x8C, 0x9C}, {0x8C, 0x8C, 0x9C}, {0x9E, 0x8E, 0x9E}, {0x8E, 0x8E, 0x9E}, {0xFF, 0x9F, 0xFF},
        {0x9F, 0x9F, 0xFF}, {0xE0, 0xC0, 0xE0}, {0xC0, 0xC0, 0xE0}, {0xF6, 0xD6, 0xF6}, {0xD6, 0xD6, 0xF6},
        {0xF7, 0xF7, 0xF7}, {0xD7, 0xD7, 0xD7}, {0xF8, 0xD8, 0xF8}, {0xFE, 0xDE, 0xFE}, {0xDE, 0xDE, 0xFE},
        {0xDF, 0xDF, 0xDF}, {0xB5, 0xB5, 0xB5}, {0x83, 0x83, 0x83}, {0xAA, 0xAA, 0xAA}, {0xBA, 0xBA, 0xBA},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(AnsiUpperChar(static_cast<unsigned char>(c.byte)), c.upper) << c.byte;
        EXPECT_EQ(AnsiLowerChar(static_cast<unsigned char>(c.byte)), c.lower) << c.byte;
        EXPECT_EQ(AnsiUpperTable()[c.byte], c.upper);
        EXPECT_EQ(AnsiLowerTable()[c.byte], c.lower);
    }
    // Exactly 26 + 30 + 4 bytes change when upper-cased, and lower-casing undoes each of them.
    int changed = 0;
    for (int b = 0; b < 256; ++b) {
        const unsigned char up = AnsiUpperTable()[b];
        if (up != b) {
            ++changed;
            EXPECT_EQ(AnsiLowerTable()[up], b) << b;
        }
    }
    EXPECT_EQ(changed, 60);
    EXPECT_EQ(AnsiUpperString("stra\xDF"
                              "e \xE9t\xE9"),
              "STRA\xDF"
              "E \xC9T\xC9");
    EXPECT_EQ(AnsiLowerString("\x8A\xC5RT"), "\x9A\xE5rt");
}

}  // namespace
}  // namespace platform
