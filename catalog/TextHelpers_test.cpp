// The text helpers: justifying, trimming, filling, upper-casing, quoting and dates for SQL text.

#include "catalog/TextHelpers.h"

#include <gtest/gtest.h>

#include <string>

using namespace catalog;
using namespace std::string_literals;

TEST(TextHelpers, RoutinesGiveTheirDocumentedResults) {
    struct Case {
        const char* what;
        std::string got, want;
    } cases[] = {
        {"left pads", LeftJustify("ABC", 5), "ABC  "},
        {"left cuts", LeftJustify("ABC", 2), "AB"},
        {"left exact", LeftJustify("ABC", 3), "ABC"},
        {"left of empty", LeftJustify("", 2), "  "},
        {"right pads", RightJustify("ABC", 5), "  ABC"},
        {"right keeps the start", RightJustify("ABC", 2), "AB"},
        {"centre odd surplus", CenterJustify("AB", 5), " AB  "},
        {"centre even surplus", CenterJustify("AB", 6), "  AB  "},
        {"centre cuts", CenterJustify("ABCDE", 3), "ABC"},
        {"trim NULs and blank", TrimTrailing("NAME\0\0 "s), "NAME"},
        {"trim blanks only", TrimTrailing("     "), ""},
        {"trim 0xFF", TrimTrailing("NAME\xFF\xFF"), "NAME"},
        {"trim keeps leading and inner padding", TrimTrailing("  A\0B \0"s), "  A\0B"s},
        {"trim keeps other control bytes", TrimTrailing("A\t"), "A\t"},
        {"blanks to zeros", BlanksToZeros(" 1 2"), "0102"},
        {"upper copy leaves high bytes",
         UpperCaseCopy("\xE9"
                       "abc"),
         "\xE9"
         "ABC"},
        {"upper copy letters only", UpperCaseCopy("a-z{`}"), "A-Z{`}"},
        {"fill none", FillString(0, 'x'), ""},
        {"fill", FillString(3, '-'), "---"},
        {"sql quote doubled", QuoteForSql("a\"b"), "a\"\"b"},
        {"sql single quote kept", QuoteForSql("it's"), "it's"},
        {"sql date", FormatSqlDate(framework::EncodeDate(2003, 9, 15)), "2003-9-15"},
        {"sql date two digits", FormatSqlDate(framework::EncodeDate(1999, 12, 31) + 0.75), "1999-12-31"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.got, c.want) << c.what;
}

TEST(TextHelpers, UpperCaseInPlaceChangesOnlyTheLettersAToZ) {
    std::string s = "abc\xE9\xFF xyz";
    UpperCaseInPlace(s);
    EXPECT_EQ(s, "ABC\xE9\xFF XYZ");
}

TEST(TextHelpers, QuoteForSqlCutsTo255WithoutALoneQuote) {
    // A quote in the middle: the doubled text is one too long, and its last character goes.
    std::string middle = std::string(100, 'a') + "\"" + std::string(154, 'b');
    ASSERT_EQ(middle.size(), 255u);
    EXPECT_EQ(QuoteForSql(middle), std::string(100, 'a') + "\"\"" + std::string(153, 'b'));

    // A quote at position 255: its pair would be cut in half, so both halves go.
    std::string last = std::string(254, 'a') + "\"";
    EXPECT_EQ(QuoteForSql(last), std::string(254, 'a'));

    // Pairs that end exactly at 255 stay whole.
    std::string fits = std::string(253, 'a') + "\"";
    EXPECT_EQ(QuoteForSql(fits), std::string(253, 'a') + "\"\"");

    // A text of quotes: 127 pairs fit, never a lone one.
    std::string quotes = QuoteForSql(std::string(200, '"'));
    EXPECT_EQ(quotes, std::string(254, '"'));
}

TEST(TextHelpers, ResultsAreCutTo255Characters) {
    const std::string longText(300, 'a');
    EXPECT_EQ(UpperCaseCopy(longText), std::string(255, 'A'));
    EXPECT_EQ(BlanksToZeros(std::string(300, ' ')), std::string(255, '0'));
    EXPECT_EQ(TrimTrailing(longText + "   "), std::string(255, 'a'));
    EXPECT_EQ(QuoteForSql(longText), std::string(255, 'a'));
    EXPECT_EQ(LeftJustify(longText, 255), std::string(255, 'a'));
    EXPECT_EQ(FillString(255, 'x').size(), 255u);
}
