#include "controls/entry/CtlPictureMask.h"

#include <gtest/gtest.h>

#include <string>

namespace entry {
namespace {

// Each test works on its own settings so the process-wide ones are never changed.
class PictureMaskTest : public ::testing::Test {
protected:
    TCtlIntlSup Intl;
    TCtlUserData User;
    TCtlPictureMask Pic{Intl, User};

    TCtlPictureMask& With(const std::string& Mask, uint16_t MaxLength = 0) {
        Pic.Assign(Mask, MaxLength ? MaxLength : static_cast<uint16_t>(Mask.size()));
        return Pic;
    }
};

TEST_F(PictureMaskTest, CurrencyAndSeparatorsMergeThenPrepareForEditing) {
    Intl.CurrencyLeft = "$";
    Intl.ThousandChar = ',';
    With("$##,###.##");
    std::string text = Pic.Merge("1234.5");
    EXPECT_EQ(text, " $1,234.50");
    EXPECT_EQ(Pic.Strip(text), " 1234.50");  // the currency position stripped blank
    EXPECT_TRUE(Pic.PrepareEditBuffer(text));
    EXPECT_EQ(text, "   1234.50");
    EXPECT_EQ(Pic.FirstEditPosition(), 2);
}

TEST_F(PictureMaskTest, NumericLayoutCases) {
    struct Case {
        const char* mask;
        const char* value;
        const char* merged;
    } cases[] = {
        {"###.##", "-3", " -3.00"}, {"###.##", "", "  0.00"},   {"###.##", ".5", "  0.50"},
        {"KKKK", "1F", "001F"},     {"OOOO", "17", "0017"},     {"bbbbbbbb", "101", "00000101"},
        {"#,###", "12", "   12"},   {"#,###", "1234", "1,234"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mask);
        SCOPED_TRACE(c.value);
        With(c.mask);
        Pic.Numeric = true;
        EXPECT_EQ(Pic.Merge(c.value), c.merged);
    }
}

TEST_F(PictureMaskTest, TextLayoutLeftOrRightJustified) {
    With("99");
    EXPECT_EQ(Pic.Merge("5"), "5 ");
    Pic.RightJustify = true;
    EXPECT_EQ(Pic.Merge("5"), " 5");
    EXPECT_EQ(Pic.Merge("123"), "23");  // the excess is dropped, nothing past the length

    Pic.RightJustify = false;
    With("XXX-XXX");
    EXPECT_EQ(Pic.Merge("ABC123"), "ABC-123");
    EXPECT_EQ(Pic.Strip("ABC-123"), "ABC123");
    With("!!!!!!!!!!!");
    EXPECT_EQ(Pic.Merge("abc"), "ABC        ");
}

TEST_F(PictureMaskTest, NoThousandSeparatorDropsItsPositions) {
    Intl.ThousandChar = '\0';
    With("##,###");
    EXPECT_EQ(Pic.Merge("12345"), "12345");
    EXPECT_EQ(Pic.Merge("12"), "    12");  // a separator with no digit beside it is a blank
}

TEST_F(PictureMaskTest, DecimalAndCurrencyStringsFollowTheSettings) {
    Intl.DecimalChar = ',';
    Intl.ThousandChar = '.';
    Intl.CurrencyFormat = 1;  // "1$": the right string shows
    Intl.CurrencyRight = "EUR";
    With("###,###.##CCCC");
    const std::string merged = Pic.Merge("-1234.5");
    EXPECT_EQ(merged, " -1.234,50EUR ");
    EXPECT_EQ(Pic.Strip(merged), " -1234.50");
}

TEST_F(PictureMaskTest, StripUndoesMergeOverMasksAndValues) {
    struct Case {
        const char* mask;
        const char* value;
    } cases[] = {{"$##,###.##", "1234.50"}, {"$##,###.##", "-12.25"},       {"###.##", "-3.00"},
                 {"#############", "12.7"}, {"iiiiiiiiiii", "-2147483648"}, {"KKKK", "001F"},
                 {"99999", "65535"},        {"ccc###.##", "12.00"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mask);
        With(c.mask);
        std::string got = Pic.Strip(Pic.Merge(c.value));
        got.erase(0, got.find_first_not_of(' '));
        got.erase(got.find_last_not_of(' ') + 1);  // the field trims the blanks around a value
        EXPECT_EQ(got, c.value);
    }
}

TEST_F(PictureMaskTest, ShortMaskRepeatsItsLastCharacterAndLongOnesAreCapped) {
    With("9!", 5);
    EXPECT_EQ(Pic.Merge("1abcd"), "1ABCD");
    With(std::string(300, 'X'), 300);
    EXPECT_EQ(Pic.MaxLength(), 255);
    const std::string merged = Pic.Merge(std::string(65536, 'q'));
    EXPECT_EQ(merged, std::string(255, 'q'));
    EXPECT_EQ(Pic.Strip(merged).size(), 255u);
    With("9", 1);
    EXPECT_EQ(Pic.Merge("42"), "4");
}

TEST_F(PictureMaskTest, CharacterAcceptanceAndCase) {
    struct Case {
        char mask;
        char in;
        char prev;
        bool valid;
        char out;
    } cases[] = {
        {'a', ',', 0, true, ','},        {'a', '-', 0, true, '-'},       {'a', '.', 0, true, '.'},
        {'a', ' ', 0, true, ' '},        {'a', '\xE9', 0, true, '\xE9'}, {'a', '1', 0, false, '1'},
        {'a', '\xD7', 0, false, '\xD7'}, {'A', 'e', 0, true, 'E'},       {'l', 'E', 0, true, 'e'},
        {'!', 'q', 0, true, 'Q'},        {'L', 'Q', 0, true, 'q'},       {'x', 't', ' ', true, 'T'},
        {'x', 'd', '-', true, 'D'},      {'x', 'o', 'T', true, 'o'},     {'9', '-', 0, false, '-'},
        {'i', '-', 0, true, '-'},        {'#', '.', 0, true, '.'},       {'E', 'e', 0, true, 'E'},
        {'K', 'f', 0, true, 'F'},        {'K', 'g', 0, false, 'G'},      {'O', '8', 0, false, '8'},
        {'b', '1', 0, true, '1'},        {'b', '2', 0, false, '2'},      {'B', 't', 0, true, 'T'},
        {'Y', 'n', 0, true, 'N'},        {'Y', 'x', 0, false, 'X'},      {'X', '\0', 0, false, '\0'},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(1, c.mask) + " " + std::string(1, c.in));
        char ch = c.in;
        EXPECT_EQ(IsPictureCharValid(c.mask, ch, true, c.prev, Intl, User), c.valid);
        EXPECT_EQ(ch, c.out);
    }
    char ch = 'e';
    EXPECT_TRUE(IsPictureCharValid('A', ch, false, 0, Intl, User));
    EXPECT_EQ(ch, 'e');  // unforced: kept as it is
}

TEST_F(PictureMaskTest, TypingToDoListUnderX) {
    std::string typed = "to-do list", shown;
    for (char c : typed) {
        char ch = c;
        ASSERT_TRUE(IsPictureCharValid('x', ch, true, shown.empty() ? ' ' : shown.back(), Intl, User));
        shown += ch;
    }
    EXPECT_EQ(shown, "To-Do List");
}

TEST_F(PictureMaskTest, UserCharacterSetsAndSubstitutions) {
    User.UserCharSets[0].reset();
    User.UserCharSets[0].set('z');
    User.ForceCase[0] = 2;
    User.SubstChars[0] = '/';
    char ch = 'Z';
    EXPECT_TRUE(IsPictureCharValid('1', ch, true, 0, Intl, User));
    EXPECT_EQ(ch, 'z');
    ch = 'y';
    EXPECT_FALSE(IsPictureCharValid('1', ch, true, 0, Intl, User));
    With(std::string("99\xF1") + "99");
    EXPECT_EQ(Pic.Merge("1231"), "12/31");
}

TEST_F(PictureMaskTest, PositionsAndEmptiness) {
    With("(999) 999-9999");
    EXPECT_FALSE(Pic.AllPicture());
    EXPECT_EQ(Pic.FirstEditPosition(), 1);
    EXPECT_EQ(Pic.LastEditPosition(), 13);
    EXPECT_TRUE(Pic.IsEmpty("(   )    -    "));
    EXPECT_EQ(Pic.EndOfText("(   )    -    "), 0);
    EXPECT_EQ(Pic.EndOfText("(555) 12 -    "), 8);
    EXPECT_FALSE(Pic.IsEmpty("(5  )    -    "));
    With("99");
    EXPECT_TRUE(Pic.AllPicture());
}

TEST_F(PictureMaskTest, AlignDecimalClosesDigitsOnThePoint) {
    With("###.##");
    std::string text = "1 2. 5";
    Pic.AlignDecimal(text, 3, 0, true, true, 5);
    EXPECT_EQ(text, " 12.50");
    text = "   .  ";
    Pic.AlignDecimal(text, 3, 0, true, true, 5);
    EXPECT_EQ(text, "  0.00");
    text = "12 .  ";
    Pic.AlignDecimal(text, 3, 0, false, true, 5);
    EXPECT_EQ(text, " 12.  ");  // the right side untouched
}

TEST_F(PictureMaskTest, DisplayPadsAndHidesOnlyEditablePositions) {
    With("99-99");
    EXPECT_EQ(Pic.DisplayString("1 -  ", '_', false, '*', false), "1_-__");
    EXPECT_EQ(Pic.DisplayString("1 -  ", ' ', true, '*', false), "* -  ");
    EXPECT_EQ(Pic.DisplayString("1 -  ", ' ', false, '*', true), "     ");
}

}  // namespace
}  // namespace entry
