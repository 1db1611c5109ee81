#include "framework/core/SysUtils.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "platform/testsupport/TestDrives.h"

namespace framework {
namespace {

int Sign(int v) {
    return (v > 0) - (v < 0);
}
unsigned char Byte(char c) {
    return static_cast<unsigned char>(c);
}

TEST(CaseTest, PlainFormsTouchOnlyAscii) {
    // "\xE9t\xE9 Zoo" is "ete Zoo" with accented e (0xE9); its upper-case form is 0xC9.
    EXPECT_EQ(UpperCase("\xE9t\xE9 Zoo-1"), "\xE9T\xE9 ZOO-1");
    EXPECT_EQ(LowerCase("\xC9T\xC9 ZOO-1"), "\xC9t\xC9 zoo-1");
}

TEST(CaseTest, AnsiFormsUseTheCodePageTable) {
    struct Case {
        unsigned char lower, upper;
    } pairs[] = {{'a', 'A'},   {'z', 'Z'},   {0xE0, 0xC0}, {0xE9, 0xC9}, {0xFE, 0xDE},
                 {0x9A, 0x8A}, {0x9C, 0x8C}, {0x9E, 0x8E}, {0xFF, 0x9F}};
    for (auto [low, up] : pairs) {
        SCOPED_TRACE(int(low));
        EXPECT_EQ(Byte(AnsiUpperChar(char(low))), up);
        EXPECT_EQ(Byte(AnsiLowerChar(char(up))), low);
    }
    // Characters without a partner in the code page stay: division and multiplication signs,
    // micro sign, sharp s, digits and punctuation.
    for (unsigned char c : {0xF7, 0xD7, 0xB5, 0xDF, 0x31, 0x5F, 0x83}) {
        SCOPED_TRACE(int(c));
        EXPECT_EQ(Byte(AnsiUpperChar(char(c))), c);
        EXPECT_EQ(Byte(AnsiLowerChar(char(c))), c);
    }
    EXPECT_EQ(AnsiUpperCase("stra\xDF"
                            "e \xE9t\xE9"),
              "STRA\xDF"
              "E \xC9T\xC9");
    EXPECT_EQ(AnsiLowerCase("\xC0 LA CR\xC8ME"), "\xE0 la cr\xE8me");
}

TEST(CompareTest, SignsOfComparisons) {
    struct Case {
        const char *a, *b;
        int str, text, ansiStr, ansiText;
    } cases[] = {
        {"abc", "abc", 0, 0, 0, 0},
        {"abc", "ABC", 1, 0, -1, 0},    // byte order puts upper case first; the locale puts lower first
        {"a", "B", 1, -1, -1, -1},      // letters before case
        {"ab", "abc", -1, -1, -1, -1},  // a prefix sorts first
        {"", "a", -1, -1, -1, -1},
        {"\xE9", "\xC9", 1, 1, -1, 0},  // accented letters: only the Ansi forms fold them
        {"Zebra", "apple", -1, 1, 1, 1},
        {"a_b", "aZb", 1, 1, 1, 1},  // '_' (0x5F) sorts after 'Z' (0x5A)
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " vs " + c.b);
        EXPECT_EQ(Sign(CompareStr(c.a, c.b)), c.str);
        EXPECT_EQ(Sign(CompareText(c.a, c.b)), c.text);
        EXPECT_EQ(Sign(AnsiCompareStr(c.a, c.b)), c.ansiStr);
        EXPECT_EQ(Sign(AnsiCompareText(c.a, c.b)), c.ansiText);
        // Each comparison is antisymmetric.
        EXPECT_EQ(Sign(CompareText(c.b, c.a)), -c.text);
        EXPECT_EQ(Sign(AnsiCompareStr(c.b, c.a)), -c.ansiStr);
        EXPECT_EQ(Sign(AnsiStrIComp(c.a, c.b)), c.ansiText);
        EXPECT_EQ(Sign(AnsiStrComp(c.a, c.b)), c.ansiStr);
    }
    EXPECT_TRUE(SameText("ReadMe.TXT", "readme.txt"));
    EXPECT_FALSE(SameText("\xE9", "\xC9"));
    EXPECT_TRUE(AnsiSameText("\xE9T\xE9", "\xC9t\xC9"));
    EXPECT_FALSE(AnsiSameText("abc", "abcd"));
    EXPECT_EQ(AnsiStrLIComp("abcX", "ABCy", 3), 0);
    EXPECT_NE(AnsiStrLIComp("abcX", "ABCy", 4), 0);
    EXPECT_EQ(AnsiStrLComp("abc", "abc", 10), 0);
}

TEST(TrimTest, BlanksAndControlCharacters) {
    struct Case {
        const char *in, *both, *left, *right;
    } cases[] = {
        {"  a b  ", "a b", "a b  ", "  a b"},
        {"\t\r\na\x01", "a", "a\x01", "\t\r\na"},
        {"   ", "", "", ""},
        {"", "", "", ""},
        {"\xA0x\xA0", "\xA0x\xA0", "\xA0x\xA0", "\xA0x\xA0"},  // the no-break space is a character
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(Trim(c.in), c.both);
        EXPECT_EQ(TrimLeft(c.in), c.left);
        EXPECT_EQ(TrimRight(c.in), c.right);
    }
}

TEST(QuoteTest, QuoteAndDequoteRoundTrip) {
    EXPECT_EQ(QuotedStr("it's"), "'it''s'");
    EXPECT_EQ(QuotedStr(""), "''");
    EXPECT_EQ(AnsiQuotedStr("say \"hi\"", '"'), "\"say \"\"hi\"\"\"");
    for (const char* text : {"", "plain", "it's", "''", "a'b'c'"}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(AnsiDequotedStr(QuotedStr(text), '\''), text);
    }
    EXPECT_EQ(AnsiDequotedStr("not quoted", '\''), "not quoted");
    EXPECT_EQ(AnsiDequotedStr("'abc'def", '\''), "abc");  // stops at the closing quote
    EXPECT_EQ(AnsiDequotedStr("'open", '\''), "open");
}

TEST(ReplaceTest, FlagsSelectScopeAndCase) {
    struct Case {
        const char *s, *from, *to;
        TReplaceFlags flags;
        const char* expected;
    } cases[] = {
        {"a-b-c", "-", "+", 0, "a+b-c"},
        {"a-b-c", "-", "+", rfReplaceAll, "a+b+c"},
        {"aAaA", "a", "x", rfReplaceAll, "xAxA"},
        {"aAaA", "a", "x", rfReplaceAll | rfIgnoreCase, "xxxx"},
        {"\xE9t\xC9", "\xC9", "e", rfReplaceAll | rfIgnoreCase, "ete"},
        {"aaa", "aa", "a", rfReplaceAll, "aa"},  // replaced text is not scanned again
        {"abc", "", "x", rfReplaceAll, "abc"},
        {"abc", "abc", "", 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.s);
        EXPECT_EQ(StringReplace(c.s, c.from, c.to, c.flags), c.expected);
    }
}

TEST(PositionTest, OneBasedHelpers) {
    EXPECT_EQ(Pos("lo", "hello"), 4);
    EXPECT_EQ(Pos("h", "hello"), 1);
    EXPECT_EQ(Pos("x", "hello"), 0);
    EXPECT_EQ(Pos("", "hello"), 0);

    struct CopyCase {
        int index, count;
        const char* expected;
    } copies[] = {{1, 3, "hel"}, {4, 10, "lo"}, {0, 2, "he"}, {6, 1, ""}, {2, 0, ""}, {2, -1, ""}};
    for (const auto& c : copies) {
        SCOPED_TRACE(c.index);
        EXPECT_EQ(Copy("hello", c.index, c.count), c.expected);
    }

    std::string s = "hello";
    Delete(s, 2, 2);
    EXPECT_EQ(s, "hlo");
    Delete(s, 9, 1);
    EXPECT_EQ(s, "hlo");
    Delete(s, 3, 100);
    EXPECT_EQ(s, "hl");
    Insert("el", s, 2);
    EXPECT_EQ(s, "hell");
    Insert("o", s, 99);
    EXPECT_EQ(s, "hello");
    Insert(">", s, -5);
    EXPECT_EQ(s, ">hello");
}

TEST(FoldersTest, ForceDirectoriesMakesEveryMissingFolderAndDirectoryExistsSeesThem) {
    platform::testsupport::TTempFolder folder;
    platform::testsupport::TScopedDrives drives("T=" + folder.Path());
    EXPECT_TRUE(DirectoryExists("T:\\"));
    EXPECT_FALSE(DirectoryExists("T:\\A"));
    EXPECT_TRUE(ForceDirectories("T:\\A\\B\\C\\"));
    EXPECT_TRUE(DirectoryExists("T:\\A\\B\\C"));
    EXPECT_TRUE(DirectoryExists("t:\\a\\b"));   // names resolve without regard to case
    EXPECT_TRUE(ForceDirectories("T:\\A\\B"));  // already there
    folder.WriteFile("FILE.TXT", "x");
    EXPECT_FALSE(DirectoryExists("T:\\FILE.TXT"));  // a file is no folder
    EXPECT_FALSE(ForceDirectories("T:\\FILE.TXT\\SUB"));
    EXPECT_FALSE(DirectoryExists("T:\\A*"));  // wildcards name no folder
    EXPECT_FALSE(DirectoryExists(""));
    EXPECT_FALSE(ForceDirectories(""));
}

TEST(PercentTest, WholePercentagesWithinTheirBounds) {
    struct Case {
        int64_t Done, Total;
        int32_t Percent;
    };
    for (const Case& c : {Case{0, 10, 0}, Case{1, 3, 33}, Case{2, 3, 66}, Case{9, 10, 90}, Case{10, 10, 100},
                          Case{11, 10, 100}, Case{-1, 10, 0}, Case{5, 0, 0}, Case{5, -1, 0},
                          Case{INT64_MAX - 1, INT64_MAX, 99}, Case{int64_t{1} << 40, int64_t{1} << 41, 50}})
        EXPECT_EQ(PercentOf(c.Done, c.Total), c.Percent) << c.Done << " of " << c.Total;
}

}  // namespace
}  // namespace framework
