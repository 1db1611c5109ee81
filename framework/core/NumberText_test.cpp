#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "framework/core/Exception.h"
#include "framework/core/SysUtils.h"

namespace framework {
namespace {

// Every test starts from the United States settings and leaves them so.
class NumberTextTest : public testing::Test {
protected:
    void SetUp() override { ResetFormatSettings(); }
    void TearDown() override { ResetFormatSettings(); }
};

template <typename F>
std::string ConvertErrorOf(F f) {
    try {
        f();
    } catch (const EConvertError& e) {
        return e.Message;
    }
    return "(no error)";
}

TEST_F(NumberTextTest, IntegersToText) {
    EXPECT_EQ(IntToStr(int32_t(-2147483647 - 1)), "-2147483648");
    EXPECT_EQ(IntToStr(int64_t(9007199254740993)), "9007199254740993");
    EXPECT_EQ(IntToHex(int32_t(255), 4), "00FF");
    EXPECT_EQ(IntToHex(int32_t(0xABC), 1), "ABC");
    EXPECT_EQ(IntToHex(int32_t(-1), 0), "FFFFFFFF");
    EXPECT_EQ(IntToHex(int64_t(-2), 0), "FFFFFFFFFFFFFFFE");
    // Other integer types go by their own value and width.
    EXPECT_EQ(IntToStr(4294967295u), "4294967295");
    EXPECT_EQ(IntToStr(18446744073709551615ull), "18446744073709551615");
    EXPECT_EQ(IntToStr(int16_t(-5)), "-5");
    EXPECT_EQ(IntToStr(-5LL), "-5");
    EXPECT_EQ(IntToHex(uint32_t(0xFFFFFFFF), 0), "FFFFFFFF");
    EXPECT_EQ(IntToHex(int16_t(-1), 0), "FFFFFFFF");
    EXPECT_EQ(IntToHex(uint64_t(1) << 40, 0), "10000000000");
}

TEST_F(NumberTextTest, StrToIntIsStrict) {
    struct Case {
        const char* text;
        bool ok;
        int32_t value;
    } cases[] = {
        {"123", true, 123},
        {"  42", true, 42},
        {"-7", true, -7},
        {"+7", true, 7},
        {"$FF", true, 255},
        {"0x1f", true, 31},
        {"-2147483648", true, INT32_MIN},
        {"2147483647", true, INT32_MAX},
        {"2147483648", false, 0},
        {"", false, 0},
        {"-", false, 0},
        {"12a", false, 0},
        {"1 ", false, 0},
        {"1.0", false, 0},
        {"1,000", false, 0},
        {"$", false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        if (c.ok) {
            EXPECT_EQ(StrToInt(c.text), c.value);
        } else {
            EXPECT_EQ(ConvertErrorOf([&] { StrToInt(c.text); }),
                      "'" + std::string(c.text) + "' is not a valid integer value");
            EXPECT_EQ(StrToIntDef(c.text, -99), -99);
        }
    }
    EXPECT_EQ(StrToInt64("9223372036854775807"), INT64_MAX);
    EXPECT_EQ(StrToInt64("-9223372036854775808"), INT64_MIN);
    EXPECT_THROW(StrToInt64("9223372036854775808"), EConvertError);
    EXPECT_EQ(StrToInt64Def("x", 5), 5);
}

TEST_F(NumberTextTest, FloatToStrGivesFifteenSignificantDigits) {
    struct Case {
        double value;
        const char* text;
    } cases[] = {
        {0, "0"},
        {1.5, "1.5"},
        {-0.5, "-0.5"},
        {0.1, "0.1"},
        {100, "100"},
        {1.0 / 3, "0.333333333333333"},
        {2.0 / 3, "0.666666666666667"},
        {123456789012345.0, "123456789012345"},
        {1234567890123456.0, "1.23456789012346E15"},
        {1e20, "1E20"},
        {0.0001, "0.0001"},
        {0.00001, "1E-5"},
        {-1.25e-10, "-1.25E-10"},
        {std::numeric_limits<double>::infinity(), "INF"},
        {std::nan(""), "NAN"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(FloatToStr(c.value), c.text);
    }
    DecimalSeparator = ',';
    EXPECT_EQ(FloatToStr(1.5), "1,5");
}

TEST_F(NumberTextTest, FloatToStrReadsBackWithinFifteenDigits) {
    // Values spread over the whole exponent range, both signs; each text reads back to within the
    // rounding of its fifteenth digit and holds no more than fifteen significant digits.
    std::mt19937_64 random(20261210);
    std::uniform_real_distribution<double> mantissa(1.0, 10.0);
    std::uniform_int_distribution<int> exponent(-300, 300);
    for (int i = 0; i < 3000; ++i) {
        const double value = (i % 2 ? -1 : 1) * mantissa(random) * std::pow(10.0, exponent(random));
        const std::string text = FloatToStr(value);
        SCOPED_TRACE(text);
        const double back = StrToFloat(text);
        ASSERT_LE(std::fabs(back - value), std::fabs(value) * 5e-15);
        std::string digits;
        for (char c : text.substr(0, text.find('E')))
            if (c >= '0' && c <= '9') digits += c;
        digits.erase(0, digits.find_first_not_of('0'));
        ASSERT_LE(digits.size(), 15u);
    }
}

TEST_F(NumberTextTest, FloatToStrFForms) {
    struct Case {
        double value;
        TFloatFormat format;
        int precision, digits;
        const char* text;
    } cases[] = {
        {1234.5678, ffFixed, 15, 2, "1234.57"},
        {1234.5678, ffNumber, 15, 2, "1,234.57"},
        {1234.5678, ffNumber, 15, 0, "1,235"},
        {-0.001, ffFixed, 15, 2, "0.00"},  // no sign on a value that rounds to zero
        {1234.5678, ffExponent, 4, 2, "1.235E+03"},
        {0.00012, ffExponent, 3, 0, "1.20E-4"},
        {0, ffExponent, 3, 2, "0.00E+00"},
        {1234.5, ffCurrency, 15, 2, "$1,234.50"},
        {-1234.5, ffCurrency, 15, 2, "($1,234.50)"},
        {0.000012345, ffGeneral, 15, 0, "1.2345E-5"},
        {123456.0, ffGeneral, 3, 0, "1.23E5"},
        {2.5, ffFixed, 15, 0, "3"},
        {-2.5, ffFixed, 15, 0, "-3"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(FloatToStrF(c.value, c.format, c.precision, c.digits), c.text);
    }
}

TEST_F(NumberTextTest, CurrencyPlacementFollowsTheSettings) {
    // The sixteen negative patterns and four positive ones, with a currency string of "kr".
    CurrencyString = "kr";
    const char* negatives[16] = {"(kr1.50)", "-kr1.50",  "kr-1.50",   "kr1.50-",  "(1.50kr)", "-1.50kr",
                                 "1.50-kr",  "1.50kr-",  "-1.50 kr",  "-kr 1.50", "1.50 kr-", "kr 1.50-",
                                 "kr -1.50", "1.50- kr", "(kr 1.50)", "(1.50 kr)"};
    for (int i = 0; i < 16; ++i) {
        NegCurrFormat = static_cast<uint8_t>(i);
        EXPECT_EQ(FloatToStrF(-1.5, ffCurrency, 15, 2), negatives[i]) << i;
    }
    const char* positives[4] = {"kr1.50", "1.50kr", "kr 1.50", "1.50 kr"};
    for (int i = 0; i < 4; ++i) {
        CurrencyFormat = static_cast<uint8_t>(i);
        EXPECT_EQ(FloatToStrF(1.5, ffCurrency, 15, 2), positives[i]) << i;
    }
}

TEST_F(NumberTextTest, FormatFloatPictures) {
    struct Case {
        const char* picture;
        double value;
        const char* text;
    } cases[] = {
        // Thousands separators and digit places.
        {"#,##0", 1234567, "1,234,567"},
        {"#,##0", 0, "0"},
        {"#,##0", 999, "999"},
        {"###,###,###,###,##0", 123456789012345.0, "123,456,789,012,345"},
        {"###,###,###,###,##0", 4503599627370497.0,
         "4,503,599,627,370,497"},  // every digit of a whole number
        {"#,###,###,##0", 1000, "1,000"},
        {"000000000000", 1234, "000000001234"},
        {"000-000", 123456, "123-456"},
        {"00", 12345, "12345"},
        {"#.##", 0.5, ".5"},
        {"0.##", 1, "1"},
        {"0.##", 1.5, "1.5"},
        {"0.0#", 1, "1.0"},
        {"0.0#", 1.25, "1.25"},
        {"", 1.5, "1.5"},
        // Rounding half away from zero on what the user reads.
        {"#,##0", -1234.5, "-1,235"},
        {"0", 0.5, "1"},
        {"0", 1.5, "2"},
        {"0", 2.5, "3"},
        {"0", -2.5, "-3"},
        {"0.00", 2.675, "2.68"},
        {"0.00", 1.005, "1.01"},
        {"0.00", 0.125, "0.13"},
        {"0.0", -0.04, "0.0"},  // rounds to zero: no sign
        {"#,##0", 999.5, "1,000"},
        // The percent sign is a literal: nothing is multiplied.
        {"##0.00%", 12.345, "12.35%"},
        {"##0.00%", 0, "0.00%"},
        {"##0.00%", 100, "100.00%"},
        {"##0.00", 3.14159, "3.14"},
        // Sections for positive, negative and zero values.
        {"#,##0;(#,##0)", -1234, "(1,234)"},
        {"#,##0;(#,##0)", 1234, "1,234"},
        {"#,##0;(#,##0);Zero", 0, "Zero"},
        {"0.0;-0.0;Zero", 0.04, "Zero"},
        {"#,##0;;Zero", -5, "-5"},
        {"#,##0;(#,##0);", 0, "0"},
        // Literals in quotes, also characters that would otherwise be placeholders.
        {"\"Total: \"#,##0", 1000, "Total: 1,000"},
        {"0 'items'", 3, "3 items"},
        {"'#'0", 5, "#5"},
        {"'a;b'0;(0)", -2, "(2)"},
        // Exponent forms.
        {"0.00E+00", 1234.5, "1.23E+03"},
        {"0.00E+00", 0.000123, "1.23E-04"},
        {"0.00E-00", 1234.5, "1.23E03"},
        {"0.00E-00", 0.000123, "1.23E-04"},
        {"0.00E+00", 9.999, "1.00E+01"},
        {"0.0e+0", 0, "0.0e+0"},
        {"00.0E+0", 5, "50.0E-1"},
        {"0.0E+0 #0", 1234.5, "1.2E+3 #0"},  // places after the exponent are plain text
        {"E+0", 1234.5, "1E+3"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.picture) + " <- " + std::to_string(c.value));
        EXPECT_EQ(FormatFloat(c.picture, c.value), c.text);
    }
}

TEST_F(NumberTextTest, FormatFloatFollowsSeparators) {
    DecimalSeparator = ',';
    ThousandSeparator = '.';
    EXPECT_EQ(FormatFloat("#,##0.00", 1234.5), "1.234,50");
    EXPECT_EQ(FormatFloat("##0.00%", 7.5), "7,50%");
    EXPECT_EQ(Format("%n", {1234567.891}), "1.234.567,89");
}

TEST_F(NumberTextTest, FormatSpecifiers) {
    struct Case {
        const char* format;
        std::initializer_list<TVarRec> args;
        const char* text;
    };
    const std::string abc = "abc";
    const Case cases[] = {
        {"%d", {42}, "42"},
        {"%5d|", {42}, "   42|"},
        {"%-5d|", {42}, "42   |"},
        {"%.4d", {-42}, "-0042"},
        {"%d", {int64_t(-9007199254740993)}, "-9007199254740993"},
        {"%u", {-1}, "4294967295"},
        {"%x", {255}, "FF"},
        {"%.4x", {255}, "00FF"},
        {"%x", {-1}, "FFFFFFFF"},
        {"%x", {int64_t(-1)}, "FFFFFFFFFFFFFFFF"},
        {"%s", {"abc"}, "abc"},
        {"[%-10s]", {abc}, "[abc       ]"},
        {"[%10s]", {"abc"}, "[       abc]"},
        {"%.2s", {"abc"}, "ab"},
        {"%s%s", {'x', "y"}, "xy"},
        {"%f", {1.005}, "1.01"},
        {"%.0f", {2.5}, "3"},
        {"%.*f", {3, 2.5}, "2.500"},
        {"%*d", {4, 7}, "   7"},
        {"%e", {1.5}, "1.50000000000000E+000"},
        {"%.3e", {-1234.5}, "-1.23E+003"},
        {"%g", {0.5}, "0.5"},
        {"%n", {1234567.891}, "1,234,567.89"},
        {"%.0n", {1234567.891}, "1,234,568"},
        {"%m", {1234.5}, "$1,234.50"},
        {"%m", {-3.0}, "($3.00)"},
        {"%m", {Currency::FromRaw(-12345)}, "($1.23)"},
        {"%f", {Currency::FromRaw(12345)}, "1.23"},
        {"%d%%", {50}, "50%"},
        {"%1:s %0:s", {"a", "b"}, "b a"},
        {"%1:s %s %0:s", {"a", "b", "c"}, "b c a"},
        {"%0:s-%0:s", {"a"}, "a-a"},
        {"%S %D", {"up", 3}, "up 3"},
        {"no specifiers", {}, "no specifiers"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.format);
        EXPECT_EQ(Format(c.format, c.args), c.text);
    }
    int value = 0;
    EXPECT_EQ(Format("%p", {static_cast<const void*>(nullptr)}), std::string(sizeof(void*) * 2, '0'));
    EXPECT_EQ(Format("%p", {static_cast<const void*>(&value)}).size(), sizeof(void*) * 2);
}

TEST_F(NumberTextTest, FormatRejectsMismatches) {
    struct Case {
        const char* format;
        std::initializer_list<TVarRec> args;
    };
    const Case cases[] = {
        {"%d", {"text"}},  {"%s", {42}},       {"%f", {42}}, {"%d", {1.5}}, {"%s %d", {"x"}},
        {"%z", {1}},       {"trailing %", {}}, {"%5", {1}},  {"%.d", {1}},  {"%2:d", {1, 2}},
        {"%*d", {"w", 1}}, {"%x", {true}},     {"%p", {1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.format);
        EXPECT_EQ(ConvertErrorOf([&] { Format(c.format, c.args); }),
                  "Format '" + std::string(c.format) + "' invalid or incompatible with argument");
    }
}

TEST_F(NumberTextTest, StrToFloatAcceptsOnlyNumbers) {
    struct Case {
        const char* text;
        bool ok;
        double value;
    } cases[] = {
        {"1.5", true, 1.5}, {" -2.5e3 ", true, -2500}, {".5", true, 0.5},
        {"5.", true, 5},    {"+1E-2", true, 0.01},     {"0", true, 0},
        {"", false, 0},     {"1e", false, 0},          {"abc", false, 0},
        {"1,5", false, 0},  {"1.2.3", false, 0},       {"1e400", false, 0},
        {"INF", false, 0},  {".", false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        if (c.ok) {
            EXPECT_DOUBLE_EQ(StrToFloat(c.text), c.value);
        } else {
            EXPECT_EQ(ConvertErrorOf([&] { StrToFloat(c.text); }),
                      "'" + std::string(c.text) + "' is not a valid floating point value");
            EXPECT_EQ(StrToFloatDef(c.text, -1), -1);
        }
    }
    DecimalSeparator = ',';
    EXPECT_DOUBLE_EQ(StrToFloat("1,5"), 1.5);
    EXPECT_THROW(StrToFloat("1.5"), EConvertError);
}

TEST_F(NumberTextTest, CurrencyIsExactFixedPoint) {
    EXPECT_EQ(CurrToStr(Currency::FromRaw(15000)), "1.5");
    EXPECT_EQ(CurrToStr(Currency::FromRaw(-1)), "-0.0001");
    EXPECT_EQ(CurrToStr(Currency::FromRaw(INT64_MAX)), "922337203685477.5807");
    EXPECT_EQ(CurrToStrF(Currency::FromRaw(12345678), ffCurrency, 2), "$1,234.57");
    EXPECT_EQ(CurrToStrF(Currency::FromInt(-5), ffFixed, 4), "-5.0000");
    EXPECT_EQ(FormatCurr("#,##0.00", Currency::FromRaw(INT64_MIN)), "-922,337,203,685,477.58");

    struct Case {
        const char* text;
        bool ok;
        int64_t raw;
    } cases[] = {
        {"1.5", true, 15000},
        {"1.23456", true, 12346},
        {"0.00005", true, 0},  // a tie goes to the even neighbour
        {"0.00015", true, 2},
        {"0.000250", true, 2},
        {"0.0002501", true, 3},
        {"-0.00015", true, -2},
        {"1e3", true, 10000000},
        {"12.5e-1", true, 12500},
        {"922337203685477.5807", true, INT64_MAX},
        {"-922337203685477.5808", true, INT64_MIN},
        {"922337203685477.5808", false, 0},
        {"1e16", false, 0},
        {"1e-300", true, 0},
        {"x", false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        if (c.ok) {
            EXPECT_EQ(StrToCurr(c.text).Value, c.raw);
        } else {
            EXPECT_EQ(ConvertErrorOf([&] { StrToCurr(c.text); }),
                      "'" + std::string(c.text) + "' is not a valid floating point value");
        }
    }
    EXPECT_EQ(FloatToCurr(1.5).Value, 15000);
    EXPECT_EQ(FloatToCurr(-0.00005).Value, 0);
    EXPECT_EQ(FloatToCurr(0.00025).Value, 2);
    EXPECT_THROW(FloatToCurr(1e20), EConvertError);
    EXPECT_THROW(FloatToCurr(std::nan("")), EConvertError);
}

}  // namespace
}  // namespace framework
