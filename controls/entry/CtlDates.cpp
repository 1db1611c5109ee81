#include "controls/entry/CtlDates.h"

namespace entry {

namespace {

constexpr int32_t kMinYear = 1600;
constexpr int32_t kMaxYear = 3999;
constexpr int32_t kLastDay = 876581;  // 31 December 3999
constexpr int32_t kSecondsPerDay = 86400;

struct TYearMonth {
    int32_t Year = 0;
    int32_t Month = 0;
    bool Taken = false;
};

TYearMonth& Stored() {
    static TYearMonth s;
    return s;
}

void TakeYearMonth() {
    uint16_t y = 0, m = 0, d = 0;
    framework::DecodeDate(framework::Date(), y, m, d);
    Stored() = TYearMonth{y, m, true};
}

}  // namespace

bool CtlIsLeapYear(int32_t Year) {
    return Year % 4 == 0 && Year % 4000 != 0 && (Year % 100 != 0 || Year % 400 == 0);
}

int32_t CtlExpandYear(int32_t Year, int32_t Epoch) {
    if (Year < 0 || Year >= 100) return Year;
    Year += (Epoch / 100) * 100;
    if (Year % 100 < Epoch % 100) Year += 100;
    return Year;
}

int32_t CtlDaysInMonth(int32_t Month, int32_t Year, int32_t Epoch) {
    Year = CtlExpandYear(Year, Epoch);
    if (Year < kMinYear || Year > kMaxYear || Month < 1 || Month > 12) return 0;
    switch (Month) {
        case 2:
            return CtlIsLeapYear(Year) ? 29 : 28;
        case 4:
        case 6:
        case 9:
        case 11:
            return 30;
        default:
            return 31;
    }
}

bool CtlValidDate(int32_t Day, int32_t Month, int32_t Year, int32_t Epoch) {
    Year = CtlExpandYear(Year, Epoch);
    if (Year < kMinYear || Year > kMaxYear || Month < 1 || Month > 12) return false;
    return Day >= 1 && Day <= CtlDaysInMonth(Month, Year, 0);
}

int32_t CtlEncodeDate(int32_t Day, int32_t Month, int32_t Year, int32_t Epoch) {
    Year = CtlExpandYear(Year, Epoch);
    if (!CtlValidDate(Day, Month, Year, 0)) return CtlBadDate;
    // The two months before the first leap day of the count, which the formula below cannot reach.
    if (Year == kMinYear && Month == 1) return Day - 1;
    if (Year == kMinYear && Month == 2) return Day + 30;
    int32_t y = Year - kMinYear;
    int32_t m = Month;
    if (Month < 3) {
        y -= 1;
        m += 12;
    }
    return (y / 100) * 146097 / 4 + (y % 100) * 1461 / 4 + (153 * m - 457) / 5 + Day + 59;
}

void CtlDecodeDate(int32_t Julian, int32_t& Day, int32_t& Month, int32_t& Year) {
    if (Julian < 0 || Julian > kLastDay) {
        Day = Month = Year = 0;
        return;
    }
    if (Julian <= 59) {
        Year = kMinYear;
        if (Julian > 30) {
            Month = 2;
            Day = Julian - 30;
        } else {
            Month = 1;
            Day = Julian + 1;
        }
        return;
    }
    // Days counted from 1 March 1600 in quarter days, centuries of 146097 quarters, years of 1461.
    int32_t j = 4 * Julian - 237;
    int32_t y = 100 * (j / 146097);
    int32_t d = (j % 146097) | 3;
    y += d / 1461;
    d = d % 1461;
    d = (d + 4) / 4;
    int32_t t = 5 * d - 3;
    Day = (t % 153 + 5) / 5;
    int32_t m = t / 153;
    if (m > 9) {
        Month = m - 9;
        y += 1;
    } else {
        Month = m + 3;
    }
    Year = y + kMinYear;
}

int32_t CtlIncDateMonths(int32_t Julian, int32_t Months, int32_t Years) {
    int32_t day = 0, month = 0, year = 0;
    CtlDecodeDate(Julian, day, month, year);
    if (year == 0) return CtlBadDate;
    int32_t excess = 0;
    if (day > 28) {
        excess = day - 28;
        day = 28;
    }
    year += Years + Months / 12;
    month += Months % 12;
    if (month <= 0) {
        month += 12;
        year -= 1;
    } else if (month > 12) {
        month -= 12;
        year += 1;
    }
    const int32_t result = CtlEncodeDate(day, month, year, 0);
    if (result == CtlBadDate) return CtlBadDate;
    const int32_t days = CtlDaysInMonth(month, year, 0);
    if (28 + excess > days) return result + (days - 28);
    return result + excess;
}

int32_t CtlDayOfWeek(int32_t Julian) {
    if (Julian < 0) return 7;
    return (Julian + 6) % 7;
}

int32_t CtlDayOfWeekDMY(int32_t Day, int32_t Month, int32_t Year, int32_t Epoch) {
    return CtlDayOfWeek(CtlEncodeDate(Day, Month, Year, Epoch));
}

int32_t CtlCurrentDate() {
    return CtlDateTimeToDate(framework::Date());
}

void CtlDecodeTime(int32_t Time, uint8_t& Hours, uint8_t& Minutes, uint8_t& Seconds) {
    if (Time < 0) {
        Hours = Minutes = Seconds = 0;
        return;
    }
    Hours = static_cast<uint8_t>(Time / 3600);
    const int32_t rest = Time % 3600;
    Minutes = static_cast<uint8_t>(rest / 60);
    Seconds = static_cast<uint8_t>(rest % 60);
}

int32_t CtlEncodeTime(int32_t Hours, int32_t Minutes, int32_t Seconds) {
    return ((Hours % 24) * 3600 + Minutes * 60 + Seconds) % kSecondsPerDay;
}

bool CtlValidTime(int32_t Hours, int32_t Minutes, int32_t Seconds) {
    return Hours >= 0 && Hours <= 23 && Minutes >= 0 && Minutes <= 59 && Seconds >= 0 && Seconds <= 59;
}

int32_t CtlCurrentTime() {
    const framework::TDateTime now = framework::Now();
    const double fraction = now - static_cast<double>(static_cast<int64_t>(now));
    return static_cast<int32_t>(fraction * kSecondsPerDay) % kSecondsPerDay;
}

int32_t CtlIncTime(int32_t Time, int32_t Hours, int32_t Minutes, int32_t Seconds) {
    return (Time + CtlEncodeTime(Hours, Minutes, Seconds)) % kSecondsPerDay;
}

int32_t CtlDecTime(int32_t Time, int32_t Hours, int32_t Minutes, int32_t Seconds) {
    int32_t t = Time - CtlEncodeTime(Hours % 24, Minutes, Seconds);
    if (t < 0) t += kSecondsPerDay;
    return t;
}

int32_t CtlDateTimeToDate(framework::TDateTime Value) {
    uint16_t y = 0, m = 0, d = 0;
    framework::DecodeDate(Value, y, m, d);
    return CtlEncodeDate(d, m, y, 0);
}

int32_t CtlDateTimeToTime(framework::TDateTime Value) {
    uint16_t h = 0, m = 0, s = 0, ms = 0;
    framework::DecodeTime(Value, h, m, s, ms);
    return CtlEncodeTime(h, m, s);
}

framework::TDateTime CtlDateToDateTime(int32_t Julian) {
    int32_t d = 0, m = 0, y = 0;
    CtlDecodeDate(Julian, d, m, y);
    framework::TDateTime result = 0;
    if (y == 0 || !framework::TryEncodeDate(y, m, d, result)) return 0;
    return result;
}

framework::TDateTime CtlTimeToDateTime(int32_t Time) {
    if (Time < 0) return 0;
    uint8_t h = 0, m = 0, s = 0;
    CtlDecodeTime(Time, h, m, s);
    framework::TDateTime result = 0;
    if (!framework::TryEncodeTime(h, m, s, 0, result)) return 0;
    return result;
}

int32_t CtlCurrentYear() {
    if (!Stored().Taken) TakeYearMonth();
    return Stored().Year;
}

int32_t CtlCurrentMonth() {
    if (!Stored().Taken) TakeYearMonth();
    return Stored().Month;
}

void CtlStoreCurrentYearMonth() {
    TakeYearMonth();
}

int32_t CtlDefaultEpoch() {
    uint16_t y = 0, m = 0, d = 0;
    framework::DecodeDate(framework::Date(), y, m, d);
    return y / 100 * 100;
}

}  // namespace entry
