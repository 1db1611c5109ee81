#include "framework/core/DateTime.h"

#include <gtest/gtest.h>

#include <cmath>

#include "framework/core/Exception.h"
#include "framework/core/Seams.h"
#include "framework/core/SysUtils.h"
#include "framework/testsupport/FakeTime.h"

namespace framework {
namespace {

class DateTimeTest : public testing::Test {
protected:
    void SetUp() override { ResetFormatSettings(); }
    void TearDown() override { ResetFormatSettings(); }
};

struct Ymd {
    int y, m, d;
    bool operator==(const Ymd&) const = default;
};

Ymd Decoded(TDateTime v) {
    uint16_t y, m, d;
    DecodeDate(v, y, m, d);
    return {y, m, d};
}

std::string ErrorOf(auto f) {
    try {
        f();
    } catch (const EConvertError& e) {
        return e.Message;
    }
    return "(no error)";
}

// Walks the calendar one day at a time with its own month lengths and leap rule, and checks that
// encoding, decoding and the day of the week agree with a running day count anchored on ordinals
// taken from an independent calendar library: 1601-01-01 is day -109,205 (a Monday) and 9999-12-31
// is day 2,958,465 (ordinal - 693,594).
TEST_F(DateTimeTest, EveryDayFrom1601To9999RoundTrips) {
    int64_t expected = -109205;
    int weekday = 2;  // Monday
    int failures = 0;
    for (int y = 1601; y <= 9999 && failures < 5; ++y) {
        const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
        const int lengths[12] = {31, leap ? 29 : 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
        for (int m = 1; m <= 12; ++m) {
            for (int d = 1; d <= lengths[m - 1]; ++d, ++expected, weekday = weekday % 7 + 1) {
                TDateTime v;
                const bool encoded = TryEncodeDate(y, m, d, v);
                const TDateTime noon = ComposeDateTime(static_cast<TDateTime>(expected), 0.5);
                if (!encoded || v != static_cast<TDateTime>(expected) || !(Decoded(v) == Ymd{y, m, d}) ||
                    !(Decoded(noon) == Ymd{y, m, d}) || DayOfWeek(noon) != weekday) {
                    ADD_FAILURE() << y << "-" << m << "-" << d << " expected day " << expected;
                    ++failures;
                }
            }
        }
    }
    EXPECT_EQ(expected - 1, 2958465);
    EXPECT_EQ(EncodeDate(1899, 12, 30), 0);
    EXPECT_EQ(EncodeDate(2000, 2, 29), 36585);
    EXPECT_EQ(EncodeDate(1, 1, 1), MinDateTime);
}

TEST_F(DateTimeTest, InvalidDatesAndTimesRaise) {
    const int dates[][3] = {{0, 1, 1},    {10000, 1, 1}, {2001, 2, 29}, {1900, 2, 29}, {2000, 13, 1},
                            {2000, 0, 1}, {2000, 4, 31}, {2000, 1, 0},  {-5, 1, 1}};
    for (const auto& d : dates) {
        SCOPED_TRACE(testing::Message() << d[0] << "-" << d[1] << "-" << d[2]);
        EXPECT_EQ(ErrorOf([&] { EncodeDate(d[0], d[1], d[2]); }), "Invalid argument to date encode");
    }
    EXPECT_NO_THROW(EncodeDate(2000, 2, 29));
    EXPECT_NO_THROW(EncodeDate(1600, 2, 29));
    const int times[][4] = {{24, 0, 0, 0}, {0, 60, 0, 0}, {0, 0, 60, 0}, {0, 0, 0, 1000}, {-1, 0, 0, 0}};
    for (const auto& t : times) {
        SCOPED_TRACE(testing::Message() << t[0] << ":" << t[1] << ":" << t[2] << "." << t[3]);
        EXPECT_EQ(ErrorOf([&] { EncodeTime(t[0], t[1], t[2], t[3]); }), "Invalid argument to time encode");
    }
}

TEST_F(DateTimeTest, TimesDecodeAtTheMillisecond) {
    struct Case {
        TDateTime value;
        Ymd date;
        int h, n, s, z;
    } cases[] = {
        {EncodeTime(23, 59, 59, 999), {1899, 12, 30}, 23, 59, 59, 999},
        {0.999999999999, {1899, 12, 31}, 0, 0, 0, 0},  // rounds to the next midnight
        {-1.25, {1899, 12, 29}, 6, 0, 0, 0},           // the fraction's magnitude is the time
        {-0.5, {1899, 12, 30}, 12, 0, 0, 0},
        {36585.75, {2000, 2, 29}, 18, 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(Decoded(c.value), c.date);
        uint16_t h, n, s, z;
        DecodeTime(c.value, h, n, s, z);
        EXPECT_EQ(h, c.h);
        EXPECT_EQ(n, c.n);
        EXPECT_EQ(s, c.s);
        EXPECT_EQ(z, c.z);
    }
    EXPECT_EQ(ComposeDateTime(-1, 0.25), -1.25);
    EXPECT_EQ(ComposeDateTime(2, 0.25), 2.25);
}

TEST_F(DateTimeTest, LeapYearsAndMonthLengths) {
    EXPECT_TRUE(IsLeapYear(2000));
    EXPECT_TRUE(IsLeapYear(2024));
    EXPECT_FALSE(IsLeapYear(1900));
    EXPECT_FALSE(IsLeapYear(2023));
    EXPECT_EQ(MonthDays(2000, 2), 29);
    EXPECT_EQ(MonthDays(1900, 2), 28);
    EXPECT_EQ(MonthDays(2023, 4), 30);
    EXPECT_EQ(MonthDays(2023, 12), 31);
    EXPECT_EQ(MonthDays(2023, 13), 0);
}

TEST_F(DateTimeTest, IncMonthClampsTheDayAndKeepsTheTime) {
    struct Case {
        Ymd from;
        int months;
        Ymd to;
    } cases[] = {
        {{2000, 1, 31}, 1, {2000, 2, 29}},    {{2000, 2, 29}, 12, {2001, 2, 28}},
        {{2000, 3, 31}, -1, {2000, 2, 29}},   {{1999, 12, 15}, 1, {2000, 1, 15}},
        {{2000, 1, 15}, -13, {1998, 12, 15}}, {{2000, 5, 31}, 0, {2000, 5, 31}},
        {{1899, 12, 29}, 1, {1900, 1, 29}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.from.y << "-" << c.from.m << "-" << c.from.d << " + " << c.months);
        const TDateTime v =
            ComposeDateTime(EncodeDate(c.from.y, c.from.m, c.from.d), EncodeTime(6, 30, 0, 0));
        const TDateTime r = IncMonth(v, c.months);
        EXPECT_EQ(Decoded(r), c.to);
        EXPECT_EQ(FormatDateTime("hh:nn", r), "06:30");
    }
}

TEST_F(DateTimeTest, DosFileDatesPackAndClamp) {
    // 2026-12-10 13:45:31: date word (46 << 9 | 12 << 5 | 10), time word (13 << 11 | 45 << 5 | 31 / 2).
    const TDateTime v = EncodeDate(2026, 12, 10) + EncodeTime(13, 45, 31, 0);
    EXPECT_EQ(static_cast<uint32_t>(DateTimeToFileDate(v)), 0x5D8A6DAFu);
    EXPECT_EQ(FileDateToDateTime(DateTimeToFileDate(v)),
              EncodeDate(2026, 12, 10) + EncodeTime(13, 45, 30, 0));
    EXPECT_EQ(DateTimeToFileDate(EncodeDate(1980, 1, 1)), 0x00210000);
    EXPECT_EQ(static_cast<uint32_t>(DateTimeToFileDate(EncodeDate(2107, 12, 31) + EncodeTime(23, 59, 59, 0))),
              0xFF9FBF7Du);
    EXPECT_EQ(DateTimeToFileDate(EncodeDate(1979, 12, 31) + EncodeTime(23, 59, 59, 0)), 0);
    EXPECT_EQ(DateTimeToFileDate(EncodeDate(2108, 1, 1)), 0);

    struct Case {
        uint32_t packed;
        Ymd date;
        const char* time;
    } cases[] = {
        {0x00000000u, {1980, 1, 1}, "00:00:00"},    // month 0 and day 0
        {0x01BF0000u, {1980, 12, 31}, "00:00:00"},  // month 13
        {0x005E0000u, {1980, 2, 29}, "00:00:00"},   // 30 February in a leap year
        {0x025E0000u, {1981, 2, 28}, "00:00:00"},   // and in a common year
        {0x0021FFFFu, {1980, 1, 1}, "23:59:58"},    // hour 31, minute 63, seconds 62
        {0x00210000u | (12u << 11 | 60u << 5 | 30u), {1980, 1, 1}, "12:59:58"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.packed);
        const TDateTime r = FileDateToDateTime(static_cast<int32_t>(c.packed));
        EXPECT_EQ(Decoded(r), c.date);
        EXPECT_EQ(FormatDateTime("hh:nn:ss", r), c.time);
    }
}

TEST_F(DateTimeTest, FormatDateTimePictures) {
    const TDateTime v = EncodeDate(2026, 3, 5) + EncodeTime(14, 7, 9, 45);  // a Thursday
    struct Case {
        const char* picture;
        const char* text;
    } cases[] = {
        {"yyyy-mm-dd hh:nn:ss.zzz", "2026-03-05 14:07:09.045"},
        {"d/m/yy", "5/3/26"},
        {"ddd dddd mmm mmmm", "Thu Thursday Mar March"},
        {"DDDD, MMMM D, YYYY", "Thursday, March 5, 2026"},
        {"hh:mm", "14:07"},  // m right after h is the minute
        {"hh:mm:ss", "14:07:09"},
        {"mm/dd", "03/05"},
        {"h:m:s z", "14:7:9 45"},
        {"h:mm am/pm", "2:07 pm"},
        {"hh:mm AM/PM", "02:07 PM"},
        {"h a/p", "2 p"},
        {"h ampm", "2 PM"},
        {"c", "3/5/2026 2:07:09 PM"},
        {"", "3/5/2026 2:07:09 PM"},
        {"ddddd", "3/5/2026"},
        {"dddddd", "Thursday, March 5, 2026"},
        {"t", "2:07 PM"},
        {"tt", "2:07:09 PM"},
        {"'yyyy'\"mm\"yyyy", "yyyymm2026"},
        {"[yy] x", "[26] x"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.picture);
        EXPECT_EQ(FormatDateTime(c.picture, v), c.text);
    }
    EXPECT_EQ(FormatDateTime("h:nn am/pm", EncodeTime(0, 30, 0, 0)), "12:30 am");
    EXPECT_EQ(FormatDateTime("h:nn am/pm", EncodeTime(12, 30, 0, 0)), "12:30 pm");
    EXPECT_EQ(FormatDateTime("yy", EncodeDate(2005, 1, 1)), "05");
    EXPECT_EQ(DateTimeToStr(EncodeDate(2026, 3, 5)), "3/5/2026");  // midnight: no time
    EXPECT_EQ(DateToStr(v), "3/5/2026");
    EXPECT_EQ(TimeToStr(v), "2:07:09 PM");

    DateSeparator = '.';
    TimeSeparator = '.';
    ShortDateFormat = "dd/mm/yyyy";
    LongTimeFormat = "hh:nn:ss";
    EXPECT_EQ(DateTimeToStr(v), "05.03.2026 14.07.09");
    ShortMonthNames[2] = "MRZ";
    EXPECT_EQ(FormatDateTime("dd mmm", v), "05 MRZ");
    LongDateFormat = "dddddd";  // a setting that names itself ends instead of recursing forever
    EXPECT_EQ(FormatDateTime("dddddd", v), "");
}

TEST_F(DateTimeTest, ReadingDates) {
    TFakeTime clock(EncodeDate(2026, 6, 15));
    struct Case {
        const char* shortFormat;
        char separator;
        const char* text;
        Ymd date;  // {0,0,0}: not a date
    } cases[] = {
        {"M/d/yyyy", '/', "3/5/2026", {2026, 3, 5}},
        {"M/d/yyyy", '/', "  03/05/2026  ", {2026, 3, 5}},
        {"M/d/yyyy", '/', "3/5", {2026, 3, 5}},     // the current year
        {"M/d/yyyy", '/', "3/5/26", {2026, 3, 5}},  // two-digit years: 1976 .. 2075
        {"M/d/yyyy", '/', "3/5/76", {1976, 3, 5}},
        {"M/d/yyyy", '/', "3/5/75", {2075, 3, 5}},
        {"M/d/yyyy", '/', "3/5/0026", {26, 3, 5}},
        {"dd.MM.yyyy", '.', "05.03.2026", {2026, 3, 5}},
        {"dd.MM.yyyy", '.', "5.3", {2026, 3, 5}},
        {"yyyy-MM-dd", '-', "2026-03-05", {2026, 3, 5}},
        {"M/d/yyyy", '/', "2/29/2024", {2024, 2, 29}},
        {"M/d/yyyy", '/', "2/30/2026", {0, 0, 0}},
        {"M/d/yyyy", '/', "13/1/2026", {0, 0, 0}},
        {"M/d/yyyy", '/', "3-5-2026", {0, 0, 0}},
        {"M/d/yyyy", '/', "3/5/2026x", {0, 0, 0}},
        {"M/d/yyyy", '/', "3//2026", {0, 0, 0}},
        {"M/d/yyyy", '/', "3", {0, 0, 0}},
        {"M/d/yyyy", '/', "", {0, 0, 0}},
        {"M/d/yyyy", '/', "1/1/12345678901", {0, 0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        ShortDateFormat = c.shortFormat;
        DateSeparator = c.separator;
        if (c.date.y) {
            EXPECT_EQ(StrToDate(c.text), EncodeDate(c.date.y, c.date.m, c.date.d));
        } else {
            EXPECT_EQ(ErrorOf([&] { StrToDate(c.text); }),
                      "'" + std::string(c.text) + "' is not a valid date");
        }
    }
}

TEST_F(DateTimeTest, ReadingTimesAndDateTimes) {
    struct Case {
        const char* text;
        int h, n, s, z;  // h < 0: not a time
    } cases[] = {
        {"14:07", 14, 7, 0, 0},
        {"2:07 PM", 14, 7, 0, 0},
        {"2:07:09 pm", 14, 7, 9, 0},
        {"12:00 AM", 0, 0, 0, 0},
        {"12:00 PM", 12, 0, 0, 0},
        {"5 PM", 17, 0, 0, 0},
        {"14:07:09.5", 14, 7, 9, 500},
        {"14:07:09.025", 14, 7, 9, 25},
        {" 9:05 ", 9, 5, 0, 0},
        {"25:00", -1, 0, 0, 0},
        {"14", -1, 0, 0, 0},
        {"14:60", -1, 0, 0, 0},
        {"13:00 PM", -1, 0, 0, 0},
        {"abc", -1, 0, 0, 0},
        {"", -1, 0, 0, 0},
        {"14:07 XM", -1, 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        if (c.h >= 0) {
            EXPECT_EQ(StrToTime(c.text), EncodeTime(c.h, c.n, c.s, c.z));
        } else {
            EXPECT_EQ(ErrorOf([&] { StrToTime(c.text); }),
                      "'" + std::string(c.text) + "' is not a valid time");
        }
    }
    EXPECT_EQ(StrToDateTime("3/5/2026 2:07 PM"), EncodeDate(2026, 3, 5) + EncodeTime(14, 7, 0, 0));
    EXPECT_EQ(StrToDateTime("3/5/2026"), EncodeDate(2026, 3, 5));
    EXPECT_EQ(StrToDateTime("14:07"), EncodeTime(14, 7, 0, 0));
    EXPECT_EQ(StrToDateTime("12/29/1899 6:00"), -1.25);
    EXPECT_EQ(ErrorOf([] { StrToDateTime("3/5/2026 xx"); }), "'3/5/2026 xx' is not a valid date and time");
    // What is written is read back.
    const TDateTime v = EncodeDate(2026, 3, 5) + EncodeTime(14, 7, 9, 0);
    EXPECT_EQ(StrToDateTime(DateTimeToStr(v)), v);
}

TEST(SeamsTest, FakeTimeDrivesClockTicksAndSleep) {
    const TDateTime start = EncodeDate(2026, 1, 2) + EncodeTime(23, 59, 59, 0);
    {
        TFakeTime fake(start, 1000);
        EXPECT_EQ(Now(), start);
        EXPECT_EQ(Date(), EncodeDate(2026, 1, 2));
        EXPECT_EQ(FormatDateTime("hh:nn:ss", Time()), "23:59:59");
        EXPECT_EQ(GetTickCount(), 1000u);
        Sleep(1500);
        EXPECT_EQ(GetTickCount(), 2500u);
        EXPECT_EQ(fake.SleptMilliseconds(), 1500u);
        EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz", Now()), "2026-01-03 00:00:00.500");
        fake.SetNow(EncodeDate(1999, 12, 31));
        EXPECT_EQ(Date(), EncodeDate(1999, 12, 31));
    }
    // The real clock is back: some time after the clock above was made up.
    EXPECT_GT(Now(), EncodeDate(2020, 1, 1));
}

TEST(SeamsTest, RandomIsRepeatableAndInRange) {
    RandSeed = 12345;
    int first[20];
    for (int& r : first) r = Random(1000);
    RandSeed = 12345;
    for (int r : first) EXPECT_EQ(Random(1000), r);

    int buckets[10] = {};
    for (int i = 0; i < 10000; ++i) {
        const int r = Random(10);
        ASSERT_GE(r, 0);
        ASSERT_LT(r, 10);
        ++buckets[r];
    }
    for (int b : buckets) EXPECT_NEAR(b, 1000, 150);
    for (int i = 0; i < 1000; ++i) {
        const double d = Random();
        ASSERT_GE(d, 0.0);
        ASSERT_LT(d, 1.0);
    }
    EXPECT_EQ(Random(0), 0);
    EXPECT_EQ(Random(-5), 0);

    // Randomize seeds from the clock seams: the same made-up moment gives the same sequence.
    uint32_t seeds[2];
    for (uint32_t& seed : seeds) {
        TFakeTime fake(EncodeDate(2026, 1, 2), 777);
        Randomize();
        seed = RandSeed;
    }
    EXPECT_EQ(seeds[0], seeds[1]);
    TFakeTime later(EncodeDate(2026, 1, 3), 777);
    Randomize();
    EXPECT_NE(RandSeed, seeds[0]);
}

}  // namespace
}  // namespace framework
