#include "platform/Locale.h"

#include <gtest/gtest.h>

#include "platform/Process.h"

namespace platform {
namespace {

TEST(Locale, IdentifiersPackLanguageAndSort) {
    EXPECT_EQ(MAKELANGID(9, 1), 0x0409);
    EXPECT_EQ(MAKELANGID(7, 1), 1031);
    EXPECT_EQ(MAKELCID(0x0407, 1), 0x00010407u);
    EXPECT_EQ(LANGIDFROMLCID(0x00010407), 0x0407);
    EXPECT_EQ(SORTIDFROMLCID(0x00010407), 1);
    EXPECT_EQ(PRIMARYLANGID(0x0809), 9);
    EXPECT_EQ(SUBLANGID(0x0809), 2);
}

TEST(Locale, OnlyLanguageZeroIsInstalled) {
    struct Case {
        uint32_t locale;
        bool valid;
    } cases[] = {
        {0, true},       {MAKELCID(0, 1), true}, {LOCALE_USER_DEFAULT, true}, {LOCALE_SYSTEM_DEFAULT, true},
        {0x0409, false}, {0x0407, false},        {MAKELCID(0x040C, 0), false}};
    for (const auto& c : cases) EXPECT_EQ(IsValidLocale(c.locale, LCID_INSTALLED), c.valid) << c.locale;
}

TEST(Locale, LanguageZeroComparesBytesAfterUpperCasing) {
    struct Case {
        const char* a;
        const char* b;
        uint32_t flags;
        int result;
    } cases[] = {
        {"abc", "ABC", NORM_IGNORECASE, CSTR_EQUAL},
        {"abc", "ABC", 0, CSTR_GREATER_THAN},
        {"ABC", "ABCD", 0, CSTR_LESS_THAN},  // the beginning of a longer text sorts first
        {"abcd", "ABC", NORM_IGNORECASE, CSTR_GREATER_THAN},
        {"", "", 0, CSTR_EQUAL},
        {"\xE9t\xE9", "\xC9T\xC9", NORM_IGNORECASE, CSTR_EQUAL},  // été / ÉTÉ
        {"\xFF", "\x9F", NORM_IGNORECASE, CSTR_EQUAL},            // ÿ / Ÿ
        {"\xDF", "SS", NORM_IGNORECASE, CSTR_GREATER_THAN},       // ß has no capital, stays 0xDF
        {"Z", "\xC0", NORM_IGNORECASE, CSTR_LESS_THAN},           // bytes, not dictionary order
        {"_", "a", NORM_IGNORECASE, CSTR_GREATER_THAN},           // '_' 0x5F lies above 'A' 0x41
        {"_", "a", 0, CSTR_LESS_THAN},                            // … and below 'a' 0x61
    };
    for (const auto& c : cases) {
        for (uint32_t locale : {0u, LOCALE_ENGLISH_US, LOCALE_USER_DEFAULT})
            EXPECT_EQ(CompareString(locale, c.flags | SORT_STRINGSORT, c.a, c.b), c.result)
                << c.a << " / " << c.b << " in " << locale;
    }
    SetLastError(0);
    EXPECT_EQ(CompareString(0x0407, 0, "a", "b"), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(Locale, CaseMappingUsesTheAnsiTables) {
    std::string out;
    ASSERT_TRUE(LCMapString(LOCALE_ENGLISH_US, LCMAP_UPPERCASE,
                            "stra\xDF"
                            "e \xFF\x9A",
                            out));
    EXPECT_EQ(out,
              "STRA\xDF"
              "E \x9F\x8A");
    ASSERT_TRUE(LCMapString(0, LCMAP_LOWERCASE, "\xC0X\x8C", out));
    EXPECT_EQ(out, "\xE0x\x9C");
    EXPECT_FALSE(LCMapString(0x040C, LCMAP_UPPERCASE, "a", out));
    EXPECT_FALSE(LCMapString(0, LCMAP_UPPERCASE | LCMAP_LOWERCASE, "a", out));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

    char buffer[] = "mixed \xE6 Case";
    EXPECT_EQ(CharUpperBuff(buffer, 3), 3u);
    EXPECT_STREQ(buffer, "MIXed \xE6 Case") << "only the given length changes";
    CharUpperBuff(buffer, sizeof buffer - 1);
    EXPECT_STREQ(buffer, "MIXED \xC6 CASE");
    CharLowerBuff(buffer, sizeof buffer - 1);
    EXPECT_STREQ(buffer, "mixed \xE6 case");
}

TEST(Locale, ClassificationAndCaseOfEveryByte) {
    // One letter per byte, 16 bytes a row: U a letter CharLower changes, L a letter CharUpper
    // changes, A a letter without the other case, . not a letter (both leave it as it is).
    static const char* const kRows[16] = {
        "................", "................", "................", "................",  // 00-3F
        ".UUUUUUUUUUUUUUU", "UUUUUUUUUUU.....", ".LLLLLLLLLLLLLLL", "LLLLLLLLLLL.....",  // 40-7F
        "...A....A.U.U.U.",  // 80: € . ‚ ƒ „ … † ‡ ˆ ‰ Š ‹ Œ . Ž .
        "..........L.L.LU",  // 90: . ‘ ’ “ ” • – — ˜ ™ š › œ . ž Ÿ
        "..........A.....",  // A0: ª
        ".....A....A.....",  // B0: µ º
        "UUUUUUUUUUUUUUUU",  // C0: À-Ï
        "UUUUUUU.UUUUUUUA",  // D0: Ð-Ö × Ø-Þ ß
        "LLLLLLLLLLLLLLLL",  // E0: à-ï
        "LLLLLLL.LLLLLLLL",  // F0: ð-ö ÷ ø-ÿ
    };
    for (int b = 0; b < 256; ++b) {
        const char kind = kRows[b / 16][b % 16];
        const char c = static_cast<char>(b);
        SCOPED_TRACE(b);
        EXPECT_EQ(IsCharAlpha(c), kind != '.');
        EXPECT_EQ(CharUpper(c) != c, kind == 'L');
        EXPECT_EQ(CharLower(c) != c, kind == 'U');
        if (kind == 'L') {
            EXPECT_EQ(CharLower(CharUpper(c)), c);
            EXPECT_TRUE(IsCharAlpha(CharUpper(c)));
        }
        if (kind == 'U') {
            EXPECT_EQ(CharUpper(CharLower(c)), c);
        }
    }
    EXPECT_EQ(CharUpper('\xFF'), '\x9F');
    EXPECT_EQ(CharLower('\x8A'), '\x9A');
}

}  // namespace
}  // namespace platform
