#include "controls/entry/CtlStrings.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "framework/graphics/Gdi.h"
#include "framework/ui/Graphics.h"
#include "framework/ui/Messages.h"
#include "framework/ui/Resources.h"
#include "framework/ui/Windows.h"
#include "platform/Locale.h"

namespace entry {
namespace {

TEST(CtlStringsTest, FixNumberText) {
    struct Case {
        const char* in;
        char decimal;
        const char* out;
    };
    const Case cases[] = {
        {" 12,5 ", ',', "12.5"},
        {"-,5", ',', "-0.5"},
        {"3,", ',', "3"},
        {",5", ',', ",5"},
        {".5", '.', "0.5"},
        {"5.", '.', "5"},
        {"   ", '.', "0"},
        {"", ',', "0"},
        {"5.", ',', "5.0"},
        {"1.5", ',', "1.5"},
        {"-.5", '.', "-0.5"},
        {"12 , 5", ',', "12.5"},
        {"1E5", '.', "1.00000E5"},
        {"1.5E3", '.', "1.500000E3"},
        {"1.12345678901E3", '.', "1.12345678901E3"},
        {"E5", '.', "E5"},
    };
    for (const Case& c : cases) {
        std::string s = c.in;
        CtlFixNumberText(s, c.decimal);
        EXPECT_EQ(s, c.out) << "'" << c.in << "' with '" << c.decimal << "'";
    }
}

TEST(CtlStringsTest, TextToLong) {
    struct Case {
        std::string in;
        bool ok;
        int32_t value;
    };
    const std::vector<Case> cases = {
        {"0x1F", true, 31},
        {"12a", false, 2},
        {"123  ", true, 123},
        {"  -42", true, -42},
        {"$FF", true, 255},
        {"$FFFFFFFF", true, -1},
        {"2147483647", true, INT32_MAX},
        {"-2147483648", true, INT32_MIN},
        {"2147483648", false, 9},
        {"$100000000", false, 9},
        {"", false, 0},
        {"-", false, 1},
        {"1 2", false, 1},
        {std::string(255, '1'), false, 10},
        {std::string(256, '1'), false, -1},
        {std::string(300, ' '), false, -1},
    };
    for (const Case& c : cases) {
        int32_t value = 12345;
        EXPECT_EQ(CtlTextToLong(c.in, value), c.ok) << "'" << c.in << "'";
        EXPECT_EQ(value, c.value) << "'" << c.in << "'";
    }
}

TEST(CtlStringsTest, NumberTexts) {
    EXPECT_EQ(CtlHexLong(255), "000000FF");
    EXPECT_EQ(CtlHexLong(0xDEADBEEF), "DEADBEEF");
    EXPECT_EQ(CtlHexWord(0xAB1), "0AB1");
    EXPECT_EQ(CtlOctalLong(8), "000000000010");
    EXPECT_EQ(CtlOctalLong(0xFFFFFFFF), "037777777777");
    EXPECT_EQ(CtlBinaryStr(5), std::string(29, '0') + "101");
    EXPECT_EQ(CtlBinaryStr(0x80000000), "1" + std::string(31, '0'));
}

TEST(CtlStringsTest, TextEditing) {
    std::string s = "abc";
    CtlInsertChar(s, 'X', 1);
    EXPECT_EQ(s, "aXbc");
    CtlInsertChar(s, 'Y', 99);
    EXPECT_EQ(s, "aXbcY");
    CtlDeleteChar(s, 1);
    CtlDeleteChar(s, 99);
    EXPECT_EQ(s, "abcY");
    CtlInsertChars(s, '-', 2, 3);
    EXPECT_EQ(s, "ab---cY");
    CtlInsertText(s, "12", 0);
    CtlInsertText(s, "", 0);
    CtlInsertText(s, "!", 100);
    EXPECT_EQ(s, "12ab---cY!");
    CtlDeleteText(s, 4, 3);
    EXPECT_EQ(s, "12abcY!");
    CtlDeleteText(s, 3, 100);
    EXPECT_EQ(s, "12a");
    CtlDeleteText(s, 7, 1);
    EXPECT_EQ(s, "12a");

    EXPECT_EQ(CtlCopyText("abcdef", 2, 3), "cde");
    EXPECT_EQ(CtlCopyText("abcdef", 4, 30), "ef");
    EXPECT_EQ(CtlCopyText("abcdef", 6, 1), "");
    EXPECT_EQ(CtlFillChars('*', 4), "****");

    uint32_t pos = 99;
    EXPECT_TRUE(CtlCharPos("hello", 'l', pos));
    EXPECT_EQ(pos, 2u);
    EXPECT_FALSE(CtlCharPos("", 'l', pos));
    EXPECT_TRUE(CtlTextPos("hello", "lo", pos));
    EXPECT_EQ(pos, 3u);
    EXPECT_FALSE(CtlTextPos("hello", "", pos));
    EXPECT_FALSE(CtlTextPos("lo", "hello", pos));
    EXPECT_FALSE(CtlTextPos("", "a", pos));
}

TEST(CtlStringsTest, Trimming) {
    std::string s = "  a b  ";
    CtlTrimSpaces(s);
    EXPECT_EQ(s, "a b");
    s = "ab \t\r\n";
    EXPECT_EQ(CtlTrimTrailing(s), "ab");
    const std::vector<std::pair<std::string, std::string>> zeros = {
        {"12.500", "12.5"}, {"12.000", "12"}, {" 100 ", "100"}, {"0.0", "0"}, {" 3.10", "3.1"}};
    // Trailing zeros go first, so a blank after them keeps them.
    for (const auto& [in, out] : zeros) {
        std::string t = in;
        CtlTrimTrailingZeros(t);
        EXPECT_EQ(t, out) << in;
    }
    const std::vector<std::pair<std::string, std::string>> embedded = {
        {"1.2300000E+005", "1.23E+5"}, {"1.0000E+000", "1"}, {"2.5E-010", "2.5E-10"}, {"1.5", "1.5"},
        {"3.0E+100", "3E+100"},        {"7.10E5", "7.1E5"}};
    for (const auto& [in, out] : embedded) {
        std::string t = in;
        CtlTrimEmbeddedZeros(t);
        EXPECT_EQ(t, out) << in;
    }
}

TEST(CtlStringsTest, TabsWordsAndCase) {
    EXPECT_EQ(CtlExpandTabs("abc\tx", 8), "abc     x");
    EXPECT_EQ(CtlExpandTabs("\t", 4), "    ");
    EXPECT_EQ(CtlExpandTabs("abcd\tx", 4), "abcd    x");
    EXPECT_EQ(CtlExpandTabs("a\tb", 0), "");

    const std::string delims = " ,[]";
    EXPECT_EQ(CtlExtractWord(2, "[a,b]", delims), "b");
    EXPECT_EQ(CtlExtractWord(3, "[a,b]", delims), "");
    EXPECT_EQ(CtlWordCount("[]", delims), 0);
    EXPECT_EQ(CtlWordCount("  one two,,three ", delims), 3);
    EXPECT_EQ(CtlWordPosition(2, "  one two", delims), 7);
    EXPECT_EQ(CtlWordPosition(0, "one", delims), 0);
    EXPECT_EQ(CtlWordPosition(2, "one", delims), 0);

    EXPECT_EQ(CtlUpperChar('\xE4'), '\xC4');
    EXPECT_EQ(CtlLowerChar('A'), 'a');
    EXPECT_EQ(CtlMinInt(-3, 2), -3);
    EXPECT_EQ(CtlMaxInt(-3, 2), 2);

    const char a[] = {1, 2, '\x80'};
    const char b[] = {1, 2, 3};
    EXPECT_EQ(CtlCompareBuffers(a, b, 3), 1);  // bytes compare unsigned
    EXPECT_EQ(CtlCompareBuffers(b, a, 3), -1);
    EXPECT_EQ(CtlCompareBuffers(a, b, 2), 0);
    EXPECT_EQ(CtlCompareBuffers(a, b, 0), 0);
}

TEST(CtlStringsTest, SkipTable) {
    const TCtlSkipTable t = CtlBuildSkipTable("abcab");
    EXPECT_EQ(t['x'], 5);
    EXPECT_EQ(t['a'], 1);  // its last occurrence before the final character
    EXPECT_EQ(t['c'], 2);
    EXPECT_EQ(t['b'], 3);
    const TCtlSkipTable longTable = CtlBuildSkipTable(std::string(300, 'a') + "b");
    EXPECT_EQ(longTable['z'], 255);
    EXPECT_EQ(longTable['a'], 1);
}

// The skip-table search finds what a plain search finds, for any buffer and pattern.
TEST(CtlStringsTest, SkipSearchEqualsNaiveSearch) {
    std::mt19937 random(68);
    auto text = [&](size_t n, int alphabet) {
        std::string s(n, ' ');
        for (char& c : s) {
            int k = static_cast<int>(random() % alphabet);
            // Letters of both cases, some accented.
            static const char kChars[] = "abAB\xE4\xC4xX";
            c = kChars[k];
        }
        return s;
    };
    for (int round = 0; round < 3000; ++round) {
        const int alphabet = 2 + static_cast<int>(random() % 7);
        const std::string buffer = text(random() % 80, alphabet);
        std::string pattern = text(1 + random() % 6, alphabet);
        if (random() % 3 == 0 && buffer.size() > 4)
            pattern = buffer.substr(random() % (buffer.size() - 3), 3);

        uint32_t pos = 0;
        const size_t expected = buffer.find(pattern);
        const bool found = CtlSearchText(buffer, CtlBuildSkipTable(pattern), pattern, pos);
        ASSERT_EQ(found, expected != std::string::npos) << buffer << " / " << pattern;
        if (found) {
            ASSERT_EQ(pos, expected) << buffer << " / " << pattern;
        }

        std::string upperBuffer = buffer, upperPattern = pattern;
        for (char& c : upperBuffer) c = platform::CharUpper(c);
        for (char& c : upperPattern) c = platform::CharUpper(c);
        const size_t expectedNoCase = upperBuffer.find(upperPattern);
        const bool foundNoCase =
            CtlSearchTextNoCase(buffer, CtlBuildSkipTable(upperPattern), upperPattern, pos);
        ASSERT_EQ(foundNoCase, expectedNoCase != std::string::npos) << buffer << " / " << upperPattern;
        if (foundNoCase) {
            ASSERT_EQ(pos, expectedNoCase) << buffer << " / " << upperPattern;
        }
    }
    uint32_t pos = 0;
    EXPECT_FALSE(CtlSearchText("abc", CtlBuildSkipTable(""), "", pos));
    const std::string longPattern = std::string(300, 'a') + "b";
    const std::string buffer = std::string(1000, 'a') + "b";
    ASSERT_TRUE(CtlSearchText(buffer, CtlBuildSkipTable(longPattern), longPattern, pos));
    EXPECT_EQ(pos, 1000u - 300u);
}

// The cell height of a font as the screen measures it.
int CellHeight(framework::HGDIOBJ Font) {
    framework::HDC dc = framework::CreateCompatibleDC(0);
    framework::SelectObject(dc, Font);
    framework::TTextMetric tm;
    EXPECT_TRUE(framework::GetTextMetrics(dc, tm));
    framework::DeleteDC(dc);
    return tm.tmHeight;
}

int CellHeight(const framework::TFont& Font) {
    framework::HFONT h = framework::CreateFontIndirect(Font.LogFont());
    const int height = CellHeight(h);
    framework::DeleteObject(h);
    return height;
}

TEST(CtlStringsTest, TextTopOffsetFollowsTheSmallerOfFieldAndSystemFont) {
    const int systemHeight = CellHeight(framework::GetStockObject(framework::SYSTEM_FONT));
    framework::TFont small;  // the default 8-point font is lower than the system font
    const int smallHeight = CellHeight(small);
    ASSERT_GT(smallHeight, 0);
    ASSERT_LT(smallHeight, systemHeight);

    // Field heights are given as the room left over the smaller font height.
    struct Case {
        bool border, ctl3d;
        int room;
        int expected;
    };
    const Case cases[] = {
        {false, false, 3, 0},                         // enough room
        {false, false, 2, 0},                         // (2-2)/2 - 0
        {false, false, 1, -1},                        // (1-2)/2 - 1, the division truncating toward zero
        {false, false, 0, -1},                        // (0-2)/2 - 0
        {false, false, -3, -1},                       // (-3-2)/2 - (-1): the remainder keeps the sign
        {true, true, 5, 1},     {true, true, 4, -1},  // (4-4)/2 - 1
        {true, true, 1, -2},                          // (1-4)/2 - 1
        {true, false, 5, 1},    {true, false, 4, 0},  // (4-4)/2 - 0
        {true, false, 3, -1},                         // (3-4)/2 - 1
        {true, false, 2, -1},                         // (2-4)/2 - 0
    };
    for (const Case& c : cases)
        EXPECT_EQ(CtlTextTopOffset(small, c.border, smallHeight + c.room, c.ctl3d), c.expected)
            << "room " << c.room << " border " << c.border << " ctl3d " << c.ctl3d;

    // A font taller than the system font: the system font's height counts.
    framework::TFont big;
    big.SetSize(24);
    ASSERT_GT(CellHeight(big), systemHeight + 4);
    EXPECT_EQ(CtlTextTopOffset(big, false, systemHeight + 1, false), -1);
    EXPECT_EQ(CtlTextTopOffset(big, false, systemHeight + 3, false), 0);
    EXPECT_EQ(CtlTextTopOffset(big, true, systemHeight + 5, true), 1);
}

// Swaps the mouse buttons for the life of the object.
struct SwappedButtons {
    SwappedButtons() { framework::SwapMouseButton(true); }
    ~SwappedButtons() { framework::SwapMouseButton(false); }
};

TEST(CtlStringsTest, KeysAndFonts) {
    EXPECT_EQ(CtlPrimaryButtonKey(), framework::VK_LBUTTON);
    {
        SwappedButtons swapped;
        EXPECT_EQ(CtlPrimaryButtonKey(), framework::VK_RBUTTON);
    }
    EXPECT_EQ(CtlPrimaryButtonKey(), framework::VK_LBUTTON);
    EXPECT_EQ(CtlGetShiftState(), 0);

    framework::TFont font;
    font.Name = "Arial";
    font.Style = framework::fsBold | framework::fsItalic;
    font.Pitch = framework::fpVariable;
    const uintptr_t handle = CtlCreateRotatedFont(font, 90);
    ASSERT_NE(handle, 0u);
    framework::DeleteObject(handle);
}

TEST(CtlStringsTest, LibraryBitmapsAndCursorsComeFromTheResourceRegistry) {
    framework::RegisterBitmapResource("CTLENTRYTESTGLYPH", [](framework::TBitmap& b) {
        b.SetSize(7, 5);
        b.Canvas().Brush.Color = framework::clRed;
        b.Canvas().FillRect(framework::Rect(0, 0, 7, 5));
    });
    framework::RegisterCursorResource(
        "CTLENTRYTESTCURSOR",
        [](framework::TBitmap& b) {
            b.SetSize(16, 16);
            b.Canvas().Brush.Color = framework::clBlack;
            b.Canvas().FillRect(framework::Rect(0, 0, 16, 16));
        },
        framework::TPoint{1, 1});

    std::unique_ptr<framework::TBitmap> glyph = CtlLoadLibraryBitmap("CtlEntryTestGlyph");
    ASSERT_NE(glyph, nullptr);
    EXPECT_EQ(glyph->Width(), 7);
    EXPECT_EQ(glyph->Height(), 5);
    EXPECT_EQ(glyph->Canvas().Pixel(3, 2), framework::clRed);
    const uintptr_t cursor = CtlLoadLibraryCursor("ctlEntryTestCursor");
    EXPECT_NE(cursor, 0u);
    EXPECT_EQ(CtlLoadLibraryCursor("CTLENTRYTESTCURSOR"), cursor);

    // Unknown names: an empty bitmap and no cursor.
    std::unique_ptr<framework::TBitmap> missing = CtlLoadLibraryBitmap("NOSUCHENTRYGLYPH");
    ASSERT_NE(missing, nullptr);
    EXPECT_TRUE(missing->Empty());
    EXPECT_TRUE(CtlLoadLibraryBitmap("")->Empty());
    EXPECT_EQ(CtlLoadLibraryCursor("NOSUCHENTRYCURSOR"), 0u);
}

}  // namespace
}  // namespace entry
