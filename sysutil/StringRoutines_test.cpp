#include <gtest/gtest.h>

#include "sysutil/ShBase.h"
#include "sysutil/UtBase.h"
#include "sysutil/UtStrL.h"
#include "sysutil/UtStrS.h"

using namespace sysutil;

namespace {

TEST(FileNameRoutines, FolderPart) {
    struct Case {
        const char* path;
        const char* folder;
    } cases[] = {
        {"C:\\DOS\\EDIT.COM", "C:\\DOS"},
        {"C:\\AUTOEXEC.BAT", "C:\\"},
        {"C:\\", "C:\\"},
        {"\\FILE.TXT", "\\"},
        {"\\", "\\"},
        {":X", ":"},
        {"A\\B", "A"},
        {"C:FILE.TXT", "C:"},
        {"FILE.TXT", ""},
        {"", ""},
        {"D:\\A\\B\\", "D:\\A\\B"},
    };
    for (auto& c : cases) EXPECT_EQ(FolderPart(c.path), c.folder) << c.path;
    EXPECT_EQ(FolderPart(std::string("AB\0CD", 5)), std::string("AB\0", 3)) << "NUL ends a folder";
}

TEST(FileNameRoutines, FileNamePart) {
    struct Case {
        const char* path;
        const char* name;
    } cases[] = {
        {"C:\\DOS\\EDIT.COM", "EDIT.COM"},
        {"EDIT.COM", "EDIT.COM"},
        {"C:", ""},
        {"C:FILE", "FILE"},
        {"C:\\DOS\\", ""},
        {"", ""},
        {"\\README", "README"},
    };
    for (auto& c : cases) EXPECT_EQ(FileNamePart(c.path), c.name) << c.path;
    EXPECT_EQ(FileNamePart(std::string("AB\0CD", 5)), "CD");
    EXPECT_EQ(FileNamePart("C:\\" + std::string(300, 'N')), std::string(255, 'N')) << "a short string";
}

TEST(FileNameRoutines, FileExtPart) {
    struct Case {
        const char* name;
        const char* ext;
        bool has;
        size_t dot;
    } cases[] = {
        {"ARCHIVE.TAR.GZ", "GZ", true, 12},
        {"C:\\MY.DIR\\README", "", false, 6},  // a backslash follows the last dot
        {"NAME.", "", true, 5},
        {".PROFILE", "PROFILE", true, 1},
        {"README", "", false, 0},
        {"", "", false, 0},
        {"C:\\DOS\\EDIT.COM", "COM", true, 12},
    };
    for (auto& c : cases) {
        size_t dot = 99;
        EXPECT_EQ(HasFileExt(c.name, dot), c.has) << c.name;
        EXPECT_EQ(dot, c.dot) << c.name;
        EXPECT_EQ(FileExtPart(c.name), c.ext) << c.name;
    }
}

TEST(FileNameRoutines, FileExtPartLong) {
    struct Case {
        std::string name;
        std::string ext;
    } cases[] = {
        {"ARCHIVE.TAR.GZ", "GZ"},
        {"C:\\MY.DIR\\README", ""},
        {"NAME.", ""},
        {".PROFILE", "PROFILE"},
        {"A." + std::string(300, 'x'), std::string(260, 'x')},  // at most 260 characters
        {std::string(280, 'p') + ".jpeg", "jpeg"},              // a long name is no short string
    };
    for (auto& c : cases) EXPECT_EQ(FileExtPartLong(c.name), c.ext) << c.name;
    size_t dot = 0;
    EXPECT_TRUE(HasFileExtLong(std::string(280, 'p') + ".x", dot));
    EXPECT_EQ(dot, 281u);
    EXPECT_TRUE(ContainsCharLong("C:\\X", ':'));
    EXPECT_FALSE(ContainsChar("", ':'));
    EXPECT_TRUE(ContainsChar("*.TXT", '.'));
}

TEST(WrapAtMargin, CasesOfTheLineBreaker) {
    struct Case {
        std::string text;
        int margin;
        std::string line, rest;
    } cases[] = {
        {"The quick brown fox", 10, "The quick", "brown fox"},
        {"The quick brown fox", 12, "The quick", "brown fox"},  // "brown" crosses the margin
        {"Supercalifragilistic", 10, "Supercalif", "ragilistic"},
        {"abc   ", 10, "abc   ", ""},  // fits whole, trailing blanks kept
        {"", 10, "", ""},
        {"exactly10!", 10, "exactly10!", ""},
        {"exactly10! next", 10, "exactly10!", "next"},
        {"one two", 3, "one", "two"},
        {"a    b", 2, "a", "b"},
        {"ab cdefghijkl", 5, "ab", "cdefghijkl"},
        {"   abcdefgh", 5, "   ab", "cdefgh"},  // only blanks before a long word: cut
        {"       ab", 3, "", "ab"},             // blanks past the margin: the rest moves on
        {"          ", 5, "", ""},
        {"xy", 0, "x", "y"},  // a margin below 1 counts as 1
    };
    for (auto& c : cases) {
        std::string line = "?", rest = "?";
        WrapAtMargin(c.text, line, rest, c.margin, false);
        EXPECT_EQ(line, c.line) << "'" << c.text << "' / " << c.margin;
        EXPECT_EQ(rest, c.rest) << "'" << c.text << "' / " << c.margin;
    }
    std::string line, rest;
    WrapAtMargin("The quick brown fox", line, rest, 12, true);
    EXPECT_EQ(line, "The quick   ");
    EXPECT_EQ(rest, "brown fox");
}

TEST(WrapAtMargin, RepeatedWrappingKeepsEveryWordAndEveryLineFits) {
    const std::string words[] = {"a", "bb", "ccc", "dddddddddddd", "ee", "f", "gggggg", "   ", "h"};
    for (int margin = 1; margin <= 14; ++margin) {
        std::string text;
        for (int i = 0; i < 40; ++i) text += words[(i * 7 + margin) % 9] + (i % 3 ? " " : "  ");
        std::string rest = text, line, joined;
        int rounds = 0;
        while (!rest.empty() && rounds++ < 1000) {
            std::string before = rest;
            WrapAtMargin(before, line, rest, margin, false);
            EXPECT_LE(line.size(), static_cast<size_t>(margin));
            EXPECT_LT(rest.size(), before.size()) << "no progress at margin " << margin;
            joined += line;
        }
        std::string expect;
        for (char c : text)
            if (c != ' ') expect += c;
        std::string got;
        for (char c : joined)
            if (c != ' ') got += c;
        EXPECT_EQ(got, expect) << margin;
    }
}

TEST(NumberText, HexadecimalAndGroupedDigits) {
    EXPECT_EQ(LongToHexText(0x8000ABCD), "8000ABCD");
    EXPECT_EQ(LongToHexText(0), "00000000");
    EXPECT_EQ(LongToHexText(0xFFFFFFFF), "FFFFFFFF");
    EXPECT_EQ(LongToHexText(0x1A2B3C4D), "1A2B3C4D");
    EXPECT_EQ(WordToHexText(10), "000A");
    struct Case {
        int32_t value;
        char sep;
        const char* text;
    } cases[] = {
        {-1234, '.', "-1.234"},
        {0, ',', "0"},
        {999, ',', "999"},
        {1000, ',', "1,000"},
        {-1000, ',', "-1,000"},
        {1234567, ',', "1,234,567"},
        {INT32_MIN, ',', "-2,147,483,648"},
        {INT32_MAX, ' ', "2 147 483 647"},
    };
    for (auto& c : cases) EXPECT_EQ(GroupDigits(c.value, c.sep), c.text) << c.value;
    EXPECT_EQ(GroupDigitsComma(-1234567), "-1,234,567");
    EXPECT_EQ(IntText(-42), "-42");
}

TEST(ShortTextHelpers, PaddingTrimmingAndSearching) {
    EXPECT_EQ(PadToLength("ABCDE", ' ', 3), "ABCDE") << "never cut";
    EXPECT_EQ(PadToLength("AB", '.', 5), "AB...");
    EXPECT_EQ(PadToLength("", ' ', 200).size(), 200u);
    EXPECT_EQ(PadLeftWith("42", '0', 5), "00042");
    EXPECT_EQ(PadLeftWith("12345", '0', 3), "12345");
    EXPECT_EQ(PadLeftWith("x", '-', 300).size(), 255u) << "capped at a short string";
    EXPECT_EQ(PadLeft("ab", 4), "  ab");
    EXPECT_EQ(TrimBlanks(std::string("\0\t  name \x1F\x20", 10)), "name");
    EXPECT_EQ(TrimBlanks("   "), "");
    EXPECT_EQ(TrimBlanks("a\xA0"), "a\xA0") << "only codes 0 to 32 are blanks";
    size_t pos = 99;
    EXPECT_TRUE(FindChar("abcabc", 'c', pos));
    EXPECT_EQ(pos, 3u);
    EXPECT_FALSE(FindChar("abc", 'z', pos));
    EXPECT_EQ(pos, 0u);
    EXPECT_EQ(CharToUpper('d'), 'D');
    EXPECT_EQ(CharToUpper('\xE9'), '\xC9');
    EXPECT_EQ(CharToUpper('1'), '1');
    EXPECT_EQ(CharToUpper('\xDF'), '\xDF') << "no single capital";
}

}  // namespace
