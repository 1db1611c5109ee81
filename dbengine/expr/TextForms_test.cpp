#include "dbengine/expr/TextForms.h"

#include <gtest/gtest.h>

#include <fstream>
#include <locale>

#include "dbengine/expr/ValueTypes.h"
#include "framework/core/Exception.h"
#include "framework/core/SysUtils.h"

namespace dbengine {
namespace {

int32_t Day(int y, int m, int d) {
    return EncodeDayNumber(y, m, d);
}
int32_t Ms(int h, int m, int s, int ms) {
    return ((h * 60 + m) * 60 + s) * 1000 + ms;
}

std::string ConvertMessage(void (*f)(std::string_view), std::string_view text) {
    try {
        f(text);
    } catch (const framework::EConvertError& e) {
        return e.Message;
    }
    return "(no error)";
}

TEST(TextFormsTest, DayNumbersMatchTheProlepticCalendarOrdinals) {
    // Generated once with an independent calendar implementation (ordinal of 0001-01-01 is 1).
    std::ifstream in(KORVANE_TESTDATA_DIR "/expr/day_ordinals.txt");
    ASSERT_TRUE(in);
    int y, m, d, ordinal, lines = 0;
    while (in >> y >> m >> d >> ordinal) {
        ASSERT_EQ(EncodeDayNumber(y, m, d), ordinal) << y << "-" << m << "-" << d;
        int y2, m2, d2;
        ASSERT_TRUE(DecodeDayNumber(ordinal, y2, m2, d2));
        ASSERT_EQ(y2 * 10000 + m2 * 100 + d2, y * 10000 + m * 100 + d);
        ++lines;
    }
    EXPECT_GT(lines, 3000);
    EXPECT_EQ(Day(1899, 12, 30), DateDelta);
    EXPECT_EQ(Day(2000, 1, 1), 730120);
    int yy, mm, dd;
    EXPECT_FALSE(DecodeDayNumber(0, yy, mm, dd));
    EXPECT_FALSE(DecodeDayNumber(Day(9999, 12, 31) + 1, yy, mm, dd));
}

TEST(TextFormsTest, ReadingDates) {
    EXPECT_EQ(TextToDate("2001-2-3"), Day(2001, 2, 3));
    EXPECT_EQ(TextToDate("2000-02-29"), Day(2000, 2, 29));
    EXPECT_EQ(TextToDate("1-1-1"), 1);
    for (const char* bad : {"2001/02/03", "2001-02-30", "", "1900-02-29", "2001-13-01", "0-01-01", "2001-1",
                            "10000-01-01", "2001-01-01 10:00", "x-1-1"}) {
        EXPECT_EQ(ConvertMessage([](std::string_view t) { TextToDate(t); }, bad),
                  "'" + std::string(bad) + "' is not a valid date");
    }
}

TEST(TextFormsTest, ReadingTimes) {
    struct Case {
        const char* Text;
        int32_t Value;
    } cases[] = {
        {"12:00 AM", 0},
        {"12:30 pm", Ms(12, 30, 0, 0)},
        {"1:05:09 PM", Ms(13, 5, 9, 0)},
        {"10:30:15.5", Ms(10, 30, 15, 5)},
        {"10:30:15.500", Ms(10, 30, 15, 500)},
        {"23:59:59.999", Ms(23, 59, 59, 999)},
        {"  7:08  ", Ms(7, 8, 0, 0)},
        {"11:59 am", Ms(11, 59, 0, 0)},
    };
    for (const auto& c : cases) EXPECT_EQ(TextToTime(c.Text), c.Value) << c.Text;
    for (const char* bad : {"13:00 PM", "10", "10:30:15.5000", "24:00", "10:60", "10:30:60", "", "a:b",
                            "2147483647:00 PM", "-1:00 PM"}) {
        EXPECT_EQ(ConvertMessage([](std::string_view t) { TextToTime(t); }, bad),
                  "'" + std::string(bad) + "' is not a valid time");
    }
}

TEST(TextFormsTest, ReadingDatesWithTimesAndBooleans) {
    EXPECT_EQ(TextToDateTime("2001-02-03 10:00"), double(Day(2001, 2, 3)) * MSecsPerDay + Ms(10, 0, 0, 0));
    EXPECT_EQ(TextToDateTime("10:00"), NullDateTimestamp + Ms(10, 0, 0, 0));
    EXPECT_EQ(TextToDateTime("2001-02-03"), double(Day(2001, 2, 3)) * MSecsPerDay);
    EXPECT_EQ(ConvertMessage([](std::string_view t) { TextToDateTime(t); }, "2001-02-03 25:00"),
              "'2001-02-03 25:00' is not a valid date and time");
    EXPECT_EQ(TextToBoolean("true"), 1);
    EXPECT_EQ(TextToBoolean("FaLsE"), 0);
    EXPECT_EQ(ConvertMessage([](std::string_view t) { TextToBoolean(t); }, "yes"),
              "'yes' is not a valid boolean");
}

TEST(TextFormsTest, WritingDatesAndTimes) {
    struct Case {
        int32_t Value;
        const char* Text;
    } times[] = {
        {Ms(9, 5, 0, 0), "09:05"},
        {Ms(9, 5, 7, 0), "09:05:07"},
        {Ms(9, 5, 7, 25), "09:05:07.25"},
        {Ms(9, 5, 0, 250), "09:05:00.250"},
        {Ms(23, 59, 59, 999), "23:59:59.999"},
        {0, "00:00"},
    };
    for (const auto& c : times) {
        EXPECT_EQ(TimeToText(c.Value), c.Text);
        EXPECT_EQ(TextToTime(TimeToText(c.Value)), c.Value) << c.Text;  // every written time reads back
    }
    EXPECT_EQ(DateToText(Day(45, 3, 5)), "0045-03-05");
    EXPECT_EQ(DateToText(Day(2001, 12, 31)), "2001-12-31");
    EXPECT_EQ(DateTimeToText(double(Day(2001, 2, 3)) * MSecsPerDay + Ms(10, 0, 1, 0)), "2001-02-03 10:00:01");
    EXPECT_EQ(BooleanToText(true), "True");
    EXPECT_EQ(BooleanToText(false), "False");
    EXPECT_THROW(DateToText(0), framework::EConvertError);
    EXPECT_THROW(TimeToText(MSecsPerDay), framework::EConvertError);
    EXPECT_THROW(DateTimeToText(-1), framework::EConvertError);
    // A day number beyond year 9999 must not wrap round to some valid date.
    EXPECT_THROW(DateTimeToText((4294967296.0 + 730120) * MSecsPerDay), framework::EConvertError);
    EXPECT_EQ(DateTimeToText(double(Day(9999, 12, 31)) * MSecsPerDay + Ms(23, 59, 59, 999)),
              "9999-12-31 23:59:59.999");
}

// A numeric punctuation with a comma as decimal separator, installed as the global locale, shows
// that number text never follows the process's locale.
struct CommaDecimal : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
};

TEST(TextFormsTest, NumbersIgnoreTheLocale) {
    std::locale previous = std::locale::global(std::locale(std::locale::classic(), new CommaDecimal));
    EXPECT_EQ(FloatToText(1.5), "1.5");
    EXPECT_EQ(TextToFloat("1.5"), 1.5);
    std::locale::global(previous);
    // The same under the class library's own decimal separator.
    char separator = framework::DecimalSeparator;
    framework::DecimalSeparator = ',';
    EXPECT_EQ(FloatToText(1.5), "1.5");
    EXPECT_EQ(TextToFloat("1.5"), 1.5);
    EXPECT_EQ(TextToCurrency("1.5"), 15000);
    EXPECT_EQ(CurrencyToText(15000), "1.5");
    framework::DecimalSeparator = separator;

    struct Case {
        double Value;
        const char* Text;
    } floats[] = {{0, "0"},
                  {-2.25, "-2.25"},
                  {0.1, "0.1"},
                  {1e20, "1E+20"},
                  {1e-5, "1E-5"},
                  {-2.5e-300, "-2.5E-300"},
                  {123456789012345.0, "123456789012345"},
                  {1.0 / 3, "0.333333333333333"}};
    for (const auto& c : floats) EXPECT_EQ(FloatToText(c.Value), c.Text);
    EXPECT_EQ(TextToFloat(" -1.5e+2"), -150);
    EXPECT_EQ(TextToFloat("+.5"), 0.5);
    for (const char* bad : {"", "1,5", "1.2.3", "1e", "e5", "1e999", "abc", "1.5 "})
        EXPECT_EQ(ConvertMessage([](std::string_view t) { TextToFloat(t); }, bad),
                  "'" + std::string(bad) + "' is not a valid floating point value");
}

TEST(TextFormsTest, CurrencyTextRoundsToFourDecimals) {
    struct Case {
        const char* Text;
        int64_t Value;
    } cases[] = {{"1.23456", 12346},
                 {"-1.23455", -12346},
                 {"2.5", 25000},
                 {"1e2", 1000000},
                 {"922337203685477.5807", INT64_MAX},
                 {"-922337203685477.5808", INT64_MIN},
                 {"0.00004", 0}};
    for (const auto& c : cases) EXPECT_EQ(TextToCurrency(c.Text), c.Value) << c.Text;
    EXPECT_THROW(TextToCurrency("922337203685477.5808"), framework::EConvertError);
    EXPECT_THROW(TextToCurrency("1e20"), framework::EConvertError);
    EXPECT_EQ(CurrencyToText(12340), "1.234");
    EXPECT_EQ(CurrencyToText(-25000), "-2.5");
    EXPECT_EQ(CurrencyToText(INT64_MIN), "-922337203685477.5808");
}

}  // namespace
}  // namespace dbengine
