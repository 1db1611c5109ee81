#include "dbengine/util/EngineUtils.h"
#include "dbengine/testsupport/ErrorCode.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>

#include "dbengine/util/EngineError.h"

namespace dbengine {
namespace {

using dbengine::testsupport::CodeOf;

std::vector<uint8_t> FromHex(std::string_view hex) {
    std::vector<uint8_t> out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(static_cast<uint8_t>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
    return out;
}

// ---- LIKE ----

struct LikeCase {
    const char* Text;
    const char* Pattern;
    bool Result;
};

const LikeCase LikeCases[] = {
    {"abc", "a%c", true},
    {"abc", "a_c", true},
    {"abc", "%", true},
    {"abc", "a%b", false},
    {"", "%", true},
    {"", "", true},
    {"", "_", false},
    {"abc", "ABC", true},
    {"abc", "%b%", true},
    {"abc", "%c", true},
    {"abc", "b%", false},
    {"aXbXc", "a%c", true},
    {"abcbd", "a%bd", true},
    {"ab", "a", false},
    {"a", "ab", false},
    {"abab", "%ab", true},
    // A run of "%" matches an empty remainder too.
    {"", "%%", true},
    {"ab", "ab%%", true},
    {"ab", "a%%b", true},
    {"abc", "%%c", true},
    {"\xE9t\xE9", "\xC9T\xC9", true},  // language 0 ignores the case of accented letters as well
};

TEST(MatchLikeTest, Cases) {
    for (const LikeCase& c : LikeCases)
        EXPECT_EQ(MatchLike(0, 0, c.Text, c.Pattern), c.Result)
            << "'" << c.Text << "' LIKE '" << c.Pattern << "'";
}

// The matcher agrees with SQLite's LIKE (also case-insensitive on ASCII) on random texts and
// patterns over a small alphabet.
TEST(MatchLikeTest, AgreesWithSqliteOnAscii) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
    sqlite3_stmt* stmt = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT ?1 LIKE ?2", -1, &stmt, nullptr), SQLITE_OK);
    std::mt19937 rng(12345);
    const char textChars[] = "abAB";
    const char patternChars[] = "abAB%_";
    int checked = 0;
    for (int i = 0; i < 20000; ++i) {
        std::string text, pattern;
        for (int n = rng() % 7; n > 0; --n) text += textChars[rng() % 4];
        for (int n = rng() % 6; n > 0; --n) pattern += patternChars[rng() % 6];
        sqlite3_bind_text(stmt, 1, text.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(stmt, 2, pattern.c_str(), -1, SQLITE_TRANSIENT);
        ASSERT_EQ(sqlite3_step(stmt), SQLITE_ROW);
        bool expected = sqlite3_column_int(stmt, 0) != 0;
        sqlite3_reset(stmt);
        ASSERT_EQ(MatchLike(0, 0, text, pattern), expected) << "'" << text << "' LIKE '" << pattern << "'";
        ++checked;
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    EXPECT_EQ(checked, 20000);
}

// ---- Bytes ----

TEST(ScrambleTest, KnownBytesAndRoundTrip) {
    uint8_t zeros[4] = {};
    ScrambleBuffer(zeros, 4, 0xFE, 0x01);
    // s1 xor s2, (s1 + 1) xor (s2 - 1), ... each byte wrapping.
    EXPECT_EQ(zeros[0], 0xFE ^ 0x01);
    EXPECT_EQ(zeros[1], 0xFF ^ 0x00);
    EXPECT_EQ(zeros[2], 0x00 ^ 0xFF);
    EXPECT_EQ(zeros[3], 0x01 ^ 0xFE);

    // Lengths whose low 16 bits are 0 are scrambled like any other.
    for (uint32_t length : {1u, 255u, 256u, 65536u, 131072u, 70000u}) {
        std::vector<uint8_t> data(length);
        for (uint32_t i = 0; i < length; ++i) data[i] = static_cast<uint8_t>(i * 7 + 3);
        std::vector<uint8_t> copy = data;
        ScrambleBuffer(copy.data(), length, 0x5A, 0xC3);
        EXPECT_NE(copy, data) << length;
        UnscrambleBuffer(copy.data(), length, 0x5A, 0xC3);
        EXPECT_EQ(copy, data) << length;
    }
}

TEST(CompareBytesTest, UnsignedOrderReversedWhenDescending) {
    struct Case {
        std::vector<uint8_t> A, B;
        int Result;
    };
    const Case cases[] = {
        {{0x80}, {0x7F}, 1},           {{0x7F}, {0x80}, -1},      {{1, 2, 3}, {1, 2, 3}, 0},
        {{1, 2, 0xFF}, {1, 3, 0}, -1}, {{0, 0, 1}, {0, 0, 0}, 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CompareBytes(c.A.data(), c.B.data(), c.A.size(), false), c.Result);
        EXPECT_EQ(CompareBytes(c.A.data(), c.B.data(), c.A.size(), true), -c.Result);
    }
    uint8_t b = 0;
    EXPECT_EQ(CompareBytes(nullptr, &b, 1, false), 1);
    EXPECT_EQ(CompareBytes(nullptr, &b, 1, true), 1);

    std::vector<uint8_t> x(300, 1), y(300, 1);
    EXPECT_EQ(SharedPrefixLength(x.data(), y.data(), 300), 254u);
    y[5] = 2;
    EXPECT_EQ(SharedPrefixLength(x.data(), y.data(), 300), 5u);
    EXPECT_EQ(SharedPrefixLength(x.data(), y.data(), 3), 3u);
    std::vector<uint8_t> z = {7, 0, 0, 0};
    EXPECT_EQ(TrailingZeroCount(&z[3], 10), 3u);
    EXPECT_EQ(TrailingZeroCount(&z[3], 2), 2u);
}

TEST(CompressTest, OutputIsZlibLevelNine) {
    std::string input = "Korvane engine compression test: ";
    for (int i = 0; i < 256; ++i) input += static_cast<char>(i);
    input += std::string(64, 'a');
    // zlib.compress(input, 9) as computed once with another zlib binding.
    const auto expected = FromHex(
        "78daf3ce2f2a4bcc4b5548cd4bcf0452c9f9b90545a9c5c599f9790a25a9c525560a0c8c4ccc2cac6cec1c9c5cdc3cbc7cfc"
        "02"
        "8242c222a262e2129252d232b272f20a8a4aca2aaa6aea1a9a5ada3aba7afa068646c626a666e6169656d636b676f60e8e4e"
        "ce"
        "2eae6eee1e9e5ede3ebe7efe018141c121a161e1119151d131b171f1098949c929a969e9199959d939b979f9058545c525a5"
        "65"
        "e5159555d535b575f50d8d4dcd2dad6ded1d9d5ddd3dbd7dfd13264e9a3c65eab4e93366ce9a3d67eebcf90b162e5abc64e9"
        "b2"
        "e52b56ae5abd66edbaf51b366edabc65ebb6ed3b76eedabd67efbefd070e1e3a7ce4e8b1e3274e9e3a7de6ecb9f3172e5eba"
        "7c"
        "e5eab5eb376edeba7de7eebdfb0f1e3e7afce4e9b3e72f5ebe7afde6edbbf71f3e7efafce5ebb7ef3f7efefafde7efbfff89"
        "14"
        "0200137fa439");
    auto packed = CompressBuffer(input.data(), input.size());
    EXPECT_EQ(packed, expected);
    auto unpacked = UncompressBuffer(packed.data(), packed.size());
    EXPECT_EQ(std::string(unpacked.begin(), unpacked.end()), input);

    auto empty = CompressBuffer("", 0);
    EXPECT_TRUE(UncompressBuffer(empty.data(), empty.size()).empty());

    // A large, highly compressible buffer grows the output past its first guess.
    std::string big(3 << 20, 'z');
    auto bigPacked = CompressBuffer(big.data(), big.size());
    EXPECT_EQ(UncompressBuffer(bigPacked.data(), bigPacked.size()).size(), big.size());
}

TEST(CompressTest, ForeignStreamsInflateAndDamageRaises) {
    // Made elsewhere at level 1 with a sync flush in the middle.
    const auto foreign = FromHex(
        "7801ca4d4c495548cd294e2d07000000ffffcb482d4ad551c8492d4bcd5130d451c8cc532829cf5748cb292dce482d060015"
        "dc0de8");
    auto out = UncompressBuffer(foreign.data(), foreign.size());
    EXPECT_EQ(std::string(out.begin(), out.end()), "made elsewhere, level 1, in two flushes");

    std::vector<uint8_t> truncated(foreign.begin(), foreign.end() - 6);
    std::vector<uint8_t> trailing = foreign;
    trailing.push_back(0);
    std::vector<uint8_t> flipped = foreign;
    flipped[20] ^= 0x55;
    const std::vector<uint8_t> garbage = {'n', 'o', 't', ' ', 'z', 'l', 'i', 'b'};
    for (const std::vector<uint8_t>* bad :
         std::initializer_list<const std::vector<uint8_t>*>{&truncated, &trailing, &flipped, &garbage})
        EXPECT_EQ(CodeOf([&] { UncompressBuffer(bad->data(), bad->size()); }), DBE_UNCOMPRESS);
    EXPECT_EQ(CodeOf([&] { UncompressBuffer(nullptr, 0); }), DBE_UNCOMPRESS);
}

// ---- Dates and numbers ----

// ISO year, week, weekday and day of year agree with the system's date tool for every day
// from 1990 to 2040.
TEST(DateRoutinesTest, AgreeWithTheDateToolForFiftyYears) {
    auto dir = std::filesystem::path(KORVANE_BUILD_DIR) / "isoweek";
    std::filesystem::create_directories(dir);
    auto input = dir / "days.txt";
    double first = EncodeDay(1990, 1, 1), last = EncodeDay(2040, 12, 31);
    {
        std::ofstream out(input);
        for (double d = first; d <= last; ++d) {
            int y, m, day;
            DecodeDay(d, y, m, day);
            char line[16];
            std::snprintf(line, sizeof line, "%04d-%02d-%02d\n", y, m, day);
            out << line;
        }
    }
    std::string cmd = "TZ=UTC date -f '" + input.string() + "' +'%G %V %u %j'";
    FILE* pipe = popen(cmd.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char buf[64];
    double d = first;
    int days = 0;
    while (std::fgets(buf, sizeof buf, pipe) != nullptr) {
        int isoYear, week, weekday, yday;
        ASSERT_EQ(std::sscanf(buf, "%d %d %d %d", &isoYear, &week, &weekday, &yday), 4);
        ASSERT_EQ(IsoWeekNumber(d), week) << d;
        ASSERT_EQ(IsoDayOfWeek(d + 0.75), weekday) << d;  // the time of day plays no part
        ASSERT_EQ(DayOfYear(d), yday) << d;
        int y, m, day;
        DecodeDay(d, y, m, day);
        if (week >= 52 && m == 1) {
            ASSERT_EQ(isoYear, y - 1);
        }
        ++d;
        ++days;
    }
    pclose(pipe);
    EXPECT_EQ(days, static_cast<int>(last - first) + 1);
}

TEST(DateRoutinesTest, KnownDays) {
    EXPECT_EQ(IsoWeekNumber(EncodeDay(2021, 1, 1)), 53);
    EXPECT_EQ(IsoWeekNumber(EncodeDay(2021, 1, 4)), 1);
    EXPECT_EQ(IsoDayOfWeek(EncodeDay(2021, 1, 3)), 7);
    EXPECT_EQ(IsoDayOfWeek(0), 6);  // 30 December 1899, a Saturday
    EXPECT_EQ(IsoWeekOneStart(2021), EncodeDay(2021, 1, 4));
    EXPECT_EQ(IsoWeekOneStart(2015), EncodeDay(2014, 12, 29));
    EXPECT_EQ(DayOfYear(EncodeDay(2024, 12, 31)), 366);
    EXPECT_EQ(EncodeDay(1899, 12, 30), 0);
    EXPECT_EQ(EncodeDay(2000, 1, 1), 36526);
}

TEST(NumberRoutinesTest, Rounding) {
    EXPECT_EQ(RoundFloat(0, -2.5), -3);
    EXPECT_EQ(RoundFloat(0, 2.5), 3);
    EXPECT_DOUBLE_EQ(RoundFloat(2, 3.14159), 3.14);
    EXPECT_DOUBLE_EQ(RoundFloat(1, -0.25), -0.3);
    EXPECT_EQ(RoundFloat(3, 0), 0);
    EXPECT_EQ(TruncFloat(-2.7), -2);
    // Currency values in units of 1/10,000.
    EXPECT_EQ(RoundCurrency(2, 12345), 12300);
    EXPECT_EQ(RoundCurrency(2, 12350), 12400);
    EXPECT_EQ(RoundCurrency(2, -12350), -12400);
    EXPECT_EQ(RoundCurrency(0, 25000), 30000);
    EXPECT_EQ(RoundCurrency(6, 12345), 12345);
    EXPECT_EQ(TruncCurrency(-29999), -20000);
    EXPECT_EQ(TruncCurrency(29999), 20000);
    EXPECT_EQ(MaxCurrency(-5, 3), 3);
    EXPECT_EQ(MinWord(65535, 2), 2);
}

TEST(NumberRoutinesTest, BcdRoundTrip) {
    for (int64_t v :
         {int64_t(0), int64_t(12345), int64_t(-10000), int64_t(922337203685477580), int64_t(-1)}) {
        for (int decimals : {0, 2, 4, 6}) {
            TBcd bcd;
            ASSERT_TRUE(CurrencyToBcd(decimals, bcd, v));
            EXPECT_EQ(bcd.Precision, 32);
            EXPECT_EQ(bcd.SignSpecialPlaces & 0x3F, decimals);
            int64_t truncated = decimals >= 4 ? v : v - v % static_cast<int64_t>(std::pow(10, 4 - decimals));
            EXPECT_EQ(BcdToCurrency(bcd), truncated) << v << " " << decimals;
        }
    }
    TBcd bcd;
    ASSERT_TRUE(CurrencyToBcd(2, bcd, -12345));  // -1.2345 with two places
    EXPECT_EQ(bcd.SignSpecialPlaces, 0x82);
    EXPECT_EQ(bcd.Fraction[14], 0x01);  // digits ...0 1 . 2 3
    EXPECT_EQ(bcd.Fraction[15], 0x23);
    EXPECT_EQ(BcdToCurrency(TBcd{}), 0);
}

TEST(TextTestsTest, ValidityOfNumberTexts) {
    struct Case {
        const char* Text;
        bool Word, Integer, SmallInt, LargeInt, Float;
    };
    const Case cases[] = {
        {"70000", false, true, false, true, true},
        {"-32768", false, true, true, true, true},
        {"-32769", false, true, false, true, true},
        {"65535", true, true, false, true, true},
        {"2147483648", false, false, false, true, true},
        {"-9223372036854775808", false, false, false, true, true},
        {"9223372036854775808", false, false, false, false, true},
        {"1.5", false, false, false, false, true},
        {"1e3", false, false, false, false, true},
        {"", false, false, false, false, false},
        {"abc", false, false, false, false, false},
        {"12 ", false, false, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Text);
        EXPECT_EQ(IsWordText(c.Text), c.Word);
        EXPECT_EQ(IsIntegerText(c.Text), c.Integer);
        EXPECT_EQ(IsSmallIntText(c.Text), c.SmallInt);
        EXPECT_EQ(IsLargeIntText(c.Text), c.LargeInt);
        EXPECT_EQ(IsFloatText(c.Text), c.Float);
    }
    EXPECT_TRUE(IsBooleanText("tRuE"));
    EXPECT_TRUE(IsBooleanText("FALSE"));
    EXPECT_FALSE(IsBooleanText("yes"));
    EXPECT_TRUE(IsCurrencyText("922337203685477.5807"));
    EXPECT_FALSE(IsCurrencyText("1e20"));
}

// ---- Strings ----

TEST(StringRoutinesTest, SearchAndReplace) {
    EXPECT_EQ(TextOccurrences("aa", "aaaa"), 2u);
    EXPECT_EQ(TextOccurrences("aa", "aaa"), 1u);
    EXPECT_EQ(ReplacedLength("a", "xyz", "banana"), 12u);
    EXPECT_EQ(ReplaceAllText("a", "xyz", "banana"), "bxyznxyznxyz");
    EXPECT_EQ(ReplaceAllText("aa", "b", "aaaaa"), "bba");
    EXPECT_EQ(ReplaceAllText("a", "a", "banana"), "banana");
    EXPECT_EQ(TextPos("na", "banana"), 3u);
    EXPECT_EQ(TextPos("NA", "banana"), 0u);
    EXPECT_EQ(LastPos("na", "banana"), 5u);
    // An empty search text finds nothing and changes nothing.
    EXPECT_EQ(TextOccurrences("", "abc"), 0u);
    EXPECT_EQ(TextPos("", "abc"), 0u);
    EXPECT_EQ(ReplaceAllText("", "x", "abc"), "abc");
    EXPECT_EQ(ReplacedLength("", "x", "abc"), 3u);
    EXPECT_EQ(ReplaceAllText("a", "", "banana"), "bnn");
}

TEST(StringRoutinesTest, SmallHelpers) {
    std::string text = "key=value=x";
    EXPECT_EQ(CutAtSeparator(text, "="), "key");
    EXPECT_EQ(text, "value=x");
    std::string none = "plain";
    EXPECT_EQ(CutAtSeparator(none, "="), "plain");
    EXPECT_EQ(none, "");
    EXPECT_EQ(PadLeft("7", 3, '0'), "007");
    EXPECT_EQ(PadLeft("1234", 3, '0'), "1234");
    EXPECT_EQ(LeftStr("abc", 5), "abc");
    EXPECT_EQ(RightStr("abc", 2), "bc");
    char buf[] = "xxabcxx";
    TrimChar(buf, 'x');
    EXPECT_STREQ(buf, "abc");
    char all[] = "xxx";
    StrTrimLeftChar(all, 'x');
    EXPECT_STREQ(all, "");
    EXPECT_EQ(RemoveLineBreaks("a\r\nb\nc"), "abc");
    EXPECT_EQ(UndoubleQuotes('\'', "it''s"), "it's");
    EXPECT_EQ(UndoubleQuotes('\'', "'''"), "''");
    EXPECT_EQ(UndoubleQuotes('\'', "say \"\"hi\"\""), "say \"\"hi\"\"");
    EXPECT_EQ(UndoubleQuotes('"', "say \"\"hi\"\" it''s"), "say \"hi\" it''s");
    EXPECT_EQ(UndoubleQuotes('`', "a\"\"b''c'\""), "a\"b'c'\"");
}

TEST(PathRoutinesTest, TableFileNames) {
    EXPECT_EQ(ChangeTableFileExt("Orders", ".DAT", ".IDX"), "Orders.IDX");
    EXPECT_EQ(ChangeTableFileExt("Orders.dat", ".DAT", ".BLB"), "Orders.BLB");
    EXPECT_EQ(ChangeTableFileExt("Orders.txt", ".DAT", ".IDX"), "Orders.txt.IDX");
    EXPECT_EQ(ChangeTableFileExt(" C:\\My.Data\\Orders ", ".DAT", ".DAT"), "C:\\My.Data\\Orders.DAT");
    EXPECT_EQ(RemoveFileExt("C:\\a.b\\file", ""), "C:\\a.b\\file");
    EXPECT_EQ(RemoveFileExt("file.Dat", ".DAT"), "file");
    EXPECT_EQ(RemoveFileExt("file.txt", ".DAT"), "file.txt");
    EXPECT_EQ(RemoveFileExt("file.txt", ""), "file");
    EXPECT_EQ(ExtractTableName("C:\\Data\\Orders.DAT", ".DAT"), "Orders");
    EXPECT_EQ(ExtractTableName("D:Orders.dat", ".DAT"), "Orders");
    EXPECT_EQ(SlashesToBackslashes("a/b/c"), "a\\b\\c");
    EXPECT_EQ(AddTrailingBackslash(" C:\\x "), "C:\\x\\");
    EXPECT_EQ(AddTrailingBackslash("C:\\x\\"), "C:\\x\\");
    EXPECT_EQ(AddTrailingBackslash("  "), "");
    EXPECT_EQ(DropTrailingBackslash("C:\\x\\\\"), "C:\\x\\");
    EXPECT_EQ(RemoveTrailingBackslashes("C:\\x\\\\"), "C:\\x");
    EXPECT_EQ(DropLeadingBackslash("\\\\srv"), "\\srv");
    EXPECT_EQ(DropLeadingBackslashes("\\\\srv"), "srv");
    EXPECT_EQ(TrimBackslashes(" \\\\a\\b\\\\ "), "a\\b");
    EXPECT_TRUE(HasPathChars(""));
    EXPECT_TRUE(HasPathChars("C:x"));
    EXPECT_TRUE(HasPathChars("a\\b"));
    EXPECT_FALSE(HasPathChars("Orders"));
}

TEST(CharClassTest, Classes) {
    std::string ident, digits, extra, breaks;
    for (int c = 1; c < 256; ++c) {
        char ch = static_cast<char>(c);
        if (IsIdentStart(ch)) ident += ch;
        if (IsDigitChar(ch)) digits += ch;
        if (IsNameExtraChar(ch)) extra += ch;
        if (IsWordBreakChar(ch)) breaks += ch;
        EXPECT_EQ(IsIdentChar(ch), IsIdentStart(ch) || IsDigitChar(ch));
    }
    EXPECT_EQ(ident.size(), 26u + 1 + 26 + 127);
    EXPECT_FALSE(IsIdentStart(static_cast<char>(255)));
    EXPECT_EQ(digits, "0123456789");
    EXPECT_EQ(extra, "!$@");
    EXPECT_EQ(breaks, "*+,-./:;<=>\\`");
}

}  // namespace
}  // namespace dbengine

namespace dbengine {
namespace {

TEST(TextTestsTest, DateAndTimeTexts) {
    struct Case {
        const char* Text;
        bool Date, Time, Timestamp;
    };
    const Case cases[] = {
        {"2001-2-3", true, false, true},
        {"2001/02/03", false, false, false},
        {"2001-02-30", false, false, false},
        {"2000-02-29", true, false, true},
        {"1900-02-29", false, false, false},
        {"", false, false, false},
        {"12:00 AM", false, true, false},
        {"12:30 pm", false, true, false},
        {"1:05:09 PM", false, true, false},
        {"13:00 PM", false, false, false},
        {"10", false, false, false},
        {"10:30:15.5", false, true, true},
        {"10:30:15.5000", false, false, false},
        {"23:59:59.999", false, true, true},
        {"24:00", false, false, false},
        {"2001-02-03 10:00", false, false, true},
        {"2001-02-03 25:00", false, false, false},
        {"0045-03-05", true, false, true},
    };
    // A time with AM or PM holds a blank, so as a date-and-time text it is split at the blank.
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Text);
        EXPECT_EQ(IsDateText(c.Text), c.Date);
        EXPECT_EQ(IsTimeText(c.Text), c.Time);
        EXPECT_EQ(IsTimestampText(c.Text), c.Timestamp);
    }
    int h, m, s, ms;
    ASSERT_TRUE(ReadTimeText("10:30:15.5", h, m, s, ms));
    EXPECT_EQ(ms, 5);
    ASSERT_TRUE(ReadTimeText("12:00 AM", h, m, s, ms));
    EXPECT_EQ(h, 0);
    ASSERT_TRUE(ReadTimeText("1:05:09 PM", h, m, s, ms));
    EXPECT_EQ(h, 13);
}

// ZeroBytes clears at most 255 bytes; CopyListItems makes the destination an equal copy.
TEST(SmallHelpersTest, ZeroBytesAndCopyListItems) {
    std::vector<uint8_t> bytes(300, 0xAB);
    ZeroBytes(bytes.data(), 10);
    EXPECT_EQ(bytes[9], 0);
    EXPECT_EQ(bytes[10], 0xAB);
    ZeroBytes(bytes.data(), 300);
    EXPECT_EQ(bytes[254], 0);
    EXPECT_EQ(bytes[255], 0xAB);

    std::vector<int> source = {3, 1, 2};
    std::vector<int> dest = {9, 9, 9, 9, 9};
    CopyListItems(source, dest);
    EXPECT_EQ(dest, source);
    CopyListItems(std::vector<int>{}, dest);
    EXPECT_TRUE(dest.empty());
}

// Character comparison in the table's order: letter case does not count; the code form takes the
// low byte of its second character.
TEST(SmallHelpersTest, CharacterComparisons) {
    EXPECT_EQ(CompareCharEntries(0, 0, 'a', 'A'), 0);
    EXPECT_LT(CompareCharEntries(0, 0, 'a', 'B'), 0);
    EXPECT_GT(CompareCharEntries(0, 0, 'c', 'B'), 0);
    EXPECT_EQ(CompareChars(0, 0, 'a', 'A'), 0);
    EXPECT_EQ(CompareChars(0, 0, 'a', 0x100u + 'A'), 0);
    EXPECT_LT(CompareChars(0, 0, 'a', 'b'), 0);
}

}  // namespace
}  // namespace dbengine
