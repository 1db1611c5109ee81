#include "controls/entry/CtlDates.h"

#include <gtest/gtest.h>

#include <chrono>

#include "framework/core/Seams.h"

namespace entry {
namespace {

using namespace std::chrono;

TEST(CtlDatesTest, EncodeAndDecodeAgreeWithTheGregorianCalendarOnEveryDay) {
    const sys_days origin = sys_days(year(1600) / January / 1);
    const sys_days last = sys_days(year(3999) / December / 31);
    int failures = 0;
    for (sys_days d = origin; d <= last && failures < 10; d += days(1)) {
        const year_month_day ymd(d);
        const int32_t expected = static_cast<int32_t>((d - origin).count());
        const int32_t day = static_cast<int32_t>(unsigned(ymd.day()));
        const int32_t month = static_cast<int32_t>(unsigned(ymd.month()));
        const int32_t y = static_cast<int32_t>(int(ymd.year()));
        const int32_t encoded = CtlEncodeDate(day, month, y, 0);
        int32_t dd = 0, mm = 0, yy = 0;
        CtlDecodeDate(expected, dd, mm, yy);
        if (encoded != expected || dd != day || mm != month || yy != y) {
            ++failures;
            ADD_FAILURE() << y << "-" << month << "-" << day << ": encoded " << encoded << ", expected "
                          << expected << ", decoded " << yy << "-" << mm << "-" << dd;
        }
        if (CtlDayOfWeek(expected) != static_cast<int32_t>(weekday(d).c_encoding())) {
            ++failures;
            ADD_FAILURE() << "day of week of " << expected;
        }
    }
}

TEST(CtlDatesTest, FixedPointsAndLimits) {
    EXPECT_EQ(CtlEncodeDate(1, 1, 1600, 0), 0);
    EXPECT_EQ(CtlEncodeDate(29, 2, 1600, 0), 59);
    EXPECT_EQ(CtlEncodeDate(1, 3, 1600, 0), 60);
    EXPECT_EQ(CtlEncodeDate(31, 12, 3999, 0), 876581);
    EXPECT_EQ(CtlEncodeDate(1, 1, 4000, 0), -1);
    EXPECT_EQ(CtlEncodeDate(31, 12, 1599, 0), -1);
    EXPECT_EQ(CtlEncodeDate(29, 2, 1900, 0), -1);
    EXPECT_EQ(CtlEncodeDate(31, 4, 2001, 0), -1);
    EXPECT_EQ(CtlEncodeDate(0, 1, 2001, 0), -1);
    EXPECT_EQ(CtlEncodeDate(1, 13, 2001, 0), -1);
    EXPECT_EQ(CtlDayOfWeek(0), 6);
    EXPECT_EQ(CtlDayOfWeek(-1), 7);
    EXPECT_EQ(CtlDayOfWeekDMY(1, 1, 2000, 0), 6);
    EXPECT_EQ(CtlDayOfWeekDMY(31, 2, 2000, 0), 7);
    int32_t d = 9, m = 9, y = 9;
    CtlDecodeDate(-1, d, m, y);
    EXPECT_EQ(d + m + y, 0);
    d = m = y = 9;
    CtlDecodeDate(876582, d, m, y);  // past the last day: no date rather than one in year 4000
    EXPECT_EQ(d + m + y, 0);
}

TEST(CtlDatesTest, LeapYearsDaysInMonthAndEpochs) {
    EXPECT_FALSE(CtlIsLeapYear(1900));
    EXPECT_TRUE(CtlIsLeapYear(2000));
    EXPECT_TRUE(CtlIsLeapYear(2004));
    EXPECT_FALSE(CtlIsLeapYear(2001));
    EXPECT_EQ(CtlDaysInMonth(2, 1900, 0), 28);
    EXPECT_EQ(CtlDaysInMonth(2, 2000, 0), 29);
    EXPECT_EQ(CtlDaysInMonth(4, 2000, 0), 30);
    EXPECT_EQ(CtlDaysInMonth(12, 2000, 0), 31);
    EXPECT_EQ(CtlDaysInMonth(0, 2000, 0), 0);
    EXPECT_EQ(CtlDaysInMonth(13, 2000, 0), 0);
    EXPECT_EQ(CtlDaysInMonth(1, 4000, 0), 0);
    EXPECT_EQ(CtlDaysInMonth(2, 0, 1900), 28);  // 1900

    EXPECT_EQ(CtlExpandYear(49, 1950), 2049);
    EXPECT_EQ(CtlExpandYear(50, 1950), 1950);
    EXPECT_EQ(CtlExpandYear(99, 1950), 1999);
    EXPECT_EQ(CtlExpandYear(1850, 1950), 1850);
    for (int y = 0; y < 100; ++y) {
        const int32_t full = CtlExpandYear(y, 1900);
        EXPECT_TRUE(full >= 1900 && full <= 1999) << y;
    }
    EXPECT_EQ(CtlEncodeDate(1, 1, 49, 1950), CtlEncodeDate(1, 1, 2049, 0));
    EXPECT_TRUE(CtlValidDate(29, 2, 0, 1950));  // 2000
    EXPECT_FALSE(CtlValidDate(29, 2, 0, 1900));
}

TEST(CtlDatesTest, IncDateMonths) {
    const auto date = [](int d, int m, int y) { return CtlEncodeDate(d, m, y, 0); };
    struct Case {
        int32_t from;
        int32_t months, years;
        int32_t expected;
    };
    const Case cases[] = {
        {date(31, 1, 2000), 1, 0, date(29, 2, 2000)},
        {date(31, 3, 2000), -1, 0, date(29, 2, 2000)},
        {date(31, 3, 2001), -1, 0, date(28, 2, 2001)},
        {date(30, 1, 2001), 1, 0, date(28, 2, 2001)},
        {date(29, 1, 2001), 2, 0, date(29, 3, 2001)},
        {date(31, 5, 2001), 1, 0, date(30, 6, 2001)},
        {date(15, 11, 2001), 3, 0, date(15, 2, 2002)},
        {date(15, 2, 2002), -3, 0, date(15, 11, 2001)},
        {date(15, 1, 2001), -13, 0, date(15, 12, 1999)},
        {date(29, 2, 2000), 0, 1, date(28, 2, 2001)},
        {date(31, 12, 2001), 24, 0, date(31, 12, 2003)},
        {date(15, 1, 1600), -1, 0, -1},
        {date(15, 12, 3999), 1, 0, -1},
        {-1, 1, 0, -1},
    };
    for (const Case& c : cases) EXPECT_EQ(CtlIncDateMonths(c.from, c.months, c.years), c.expected) << c.from;
}

TEST(CtlDatesTest, Times) {
    EXPECT_EQ(CtlEncodeTime(25, 0, 0), 3600);
    EXPECT_EQ(CtlEncodeTime(23, 59, 59), 86399);
    EXPECT_EQ(CtlEncodeTime(23, 59, 60), 0);
    uint8_t h = 9, m = 9, s = 9;
    CtlDecodeTime(-1, h, m, s);
    EXPECT_EQ(h + m + s, 0);
    CtlDecodeTime(45296, h, m, s);
    EXPECT_EQ(h, 12);
    EXPECT_EQ(m, 34);
    EXPECT_EQ(s, 56);
    EXPECT_TRUE(CtlValidTime(23, 59, 59));
    EXPECT_FALSE(CtlValidTime(24, 0, 0));
    EXPECT_FALSE(CtlValidTime(0, 60, 0));
    EXPECT_FALSE(CtlValidTime(0, 0, -1));
    EXPECT_EQ(CtlIncTime(86000, 0, 10, 0), 86000 + 600 - 86400);
    EXPECT_EQ(CtlDecTime(100, 0, 2, 0), 100 - 120 + 86400);
    EXPECT_EQ(CtlDecTime(7200, 25, 0, 0), 3600);
}

TEST(CtlDatesTest, ClassLibraryEdgesAndTheClock) {
    const framework::TDateTime t = framework::EncodeDate(2001, 3, 5) + framework::EncodeTime(13, 5, 7, 999);
    EXPECT_EQ(CtlDateTimeToDate(t), CtlEncodeDate(5, 3, 2001, 0));
    EXPECT_EQ(CtlDateTimeToTime(t), CtlEncodeTime(13, 5, 7));
    EXPECT_DOUBLE_EQ(CtlDateToDateTime(CtlEncodeDate(5, 3, 2001, 0)), framework::EncodeDate(2001, 3, 5));
    EXPECT_DOUBLE_EQ(CtlTimeToDateTime(CtlEncodeTime(13, 5, 7)), framework::EncodeTime(13, 5, 7, 0));
    EXPECT_EQ(CtlDateToDateTime(-1), 0);
    EXPECT_EQ(CtlTimeToDateTime(-1), 0);

    auto previous = framework::SetClock([&] { return t; });
    CtlStoreCurrentYearMonth();
    EXPECT_EQ(CtlCurrentDate(), CtlEncodeDate(5, 3, 2001, 0));
    EXPECT_EQ(CtlCurrentTime(), CtlEncodeTime(13, 5, 7));
    EXPECT_EQ(CtlCurrentYear(), 2001);
    EXPECT_EQ(CtlCurrentMonth(), 3);
    EXPECT_EQ(CtlDefaultEpoch(), 2000);
    framework::SetClock(previous);
    CtlStoreCurrentYearMonth();
}

}  // namespace
}  // namespace entry
