#include "framework/core/DateTime.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "framework/core/Exception.h"
#include "framework/core/SysUtils.h"

namespace framework {

namespace {

constexpr int kDaysBeforeMonth[2][12] = {{0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334},
                                         {0, 31, 60, 91, 121, 152, 182, 213, 244, 274, 305, 335}};

// Day number of a date counted from 1 January 0001 = 1.
int64_t Ordinal(int year, int month, int day) {
    const int64_t y = year - 1;
    return y * 365 + y / 4 - y / 100 + y / 400 + kDaysBeforeMonth[IsLeapYear(year)][month - 1] + day;
}

// Inverse of Ordinal, by shifting the year to start in March (so that the leap day ends it) and
// splitting into 400-year eras of 146,097 days.
void CivilFromOrdinal(int64_t ordinal, int& year, int& month, int& day) {
    const int64_t z = ordinal + 305;  // days since 1 March of the year 0
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;                                       // 0 .. 146096
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;  // 0 .. 399
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);                // 0 .. 365, from 1 March
    const int64_t mp = (5 * doy + 2) / 153;                                     // 0 = March .. 11 = February
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2));
}

// A value split at the millisecond: the day relative to 30 December 1899 and the time of day.
struct Stamp {
    int64_t Day;
    int64_t MSec;
};

Stamp ToStamp(TDateTime value) {
    if (std::isnan(value)) value = 0;
    value = std::clamp(value, MinDateTime - 1, MaxDateTime + 1);
    const int64_t total = std::llround(value * MSecsPerDay);
    return {total / MSecsPerDay, std::llabs(total % MSecsPerDay)};
}

char UpperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
}

bool StartsWithText(std::string_view s, std::size_t at, std::string_view prefix) {
    return !prefix.empty() && s.size() - at >= prefix.size() && SameText(s.substr(at, prefix.size()), prefix);
}

std::string TwoDigits(int n) {
    std::string r = std::to_string(n);
    return r.size() < 2 ? "0" + r : r;
}

std::string Padded(int n, std::size_t width) {
    std::string r = std::to_string(n);
    if (r.size() < width) r.insert(0, width - r.size(), '0');
    return r;
}

// ---- Formatting ----

class DateTimeWriter {
public:
    explicit DateTimeWriter(TDateTime value) {
        const Stamp s = ToStamp(value);
        int y, m, d;
        CivilFromOrdinal(s.Day + DateDelta, y, m, d);
        year_ = y, month_ = m, day_ = d;
        hour_ = static_cast<int>(s.MSec / 3600000);
        minute_ = static_cast<int>(s.MSec / 60000 % 60);
        second_ = static_cast<int>(s.MSec / 1000 % 60);
        msec_ = static_cast<int>(s.MSec % 1000);
        dayOfWeek_ = static_cast<int>(((s.Day + DateDelta) % 7 + 7) % 7);  // 0 = Sunday
        midnight_ = s.MSec < 1000;  // "c" leaves the time out when it has no whole second
    }

    void Write(std::string_view picture, int depth) {
        // Nested pictures (c, ddddd, t, …) name the format settings; depth stops a setting that names
        // itself.
        if (depth > 2) return;
        bool afterHour = false;
        std::size_t i = 0;
        while (i < picture.size()) {
            const char c = picture[i];
            const char u = UpperAscii(c);
            const std::size_t run = RunLength(picture, i);
            switch (u) {
                case '"':
                case '\'': {
                    const std::size_t end = picture.find(c, i + 1);
                    const std::size_t stop = end == std::string_view::npos ? picture.size() : end;
                    out_.append(picture.substr(i + 1, stop - i - 1));
                    i = stop == picture.size() ? stop : stop + 1;
                    continue;
                }
                case 'A':
                    if (WriteAmPm(picture, i)) {
                        afterHour = false;
                        continue;
                    }
                    out_ += c;
                    break;
                case 'C':
                    Write(ShortDateFormat, depth + 1);
                    if (!midnight_) {
                        out_ += ' ';
                        Write(LongTimeFormat, depth + 1);
                    }
                    i += 1;
                    afterHour = false;
                    continue;
                case 'D':
                    switch (run) {
                        case 1:
                            out_ += std::to_string(day_);
                            break;
                        case 2:
                            out_ += TwoDigits(day_);
                            break;
                        case 3:
                            out_ += ShortDayNames[dayOfWeek_];
                            break;
                        case 4:
                            out_ += LongDayNames[dayOfWeek_];
                            break;
                        case 5:
                            Write(ShortDateFormat, depth + 1);
                            break;
                        default:
                            Write(LongDateFormat, depth + 1);
                            break;
                    }
                    i += std::min<std::size_t>(run, 6);
                    afterHour = false;
                    continue;
                case 'M':
                    if (run <= 2 && afterHour) {
                        out_ += run == 1 ? std::to_string(minute_) : TwoDigits(minute_);
                    } else if (run == 1) {
                        out_ += std::to_string(month_);
                    } else if (run == 2) {
                        out_ += TwoDigits(month_);
                    } else if (run == 3) {
                        out_ += ShortMonthNames[month_ - 1];
                    } else {
                        out_ += LongMonthNames[month_ - 1];
                    }
                    i += std::min<std::size_t>(run, 4);
                    afterHour = false;
                    continue;
                case 'Y':
                    out_ += run <= 2 ? TwoDigits(year_ % 100) : Padded(year_, 4);
                    i += run;
                    afterHour = false;
                    continue;
                case 'H': {
                    int hour = hour_;
                    if (HasAmPm(picture, i + run)) {
                        hour %= 12;
                        if (hour == 0) hour = 12;
                    }
                    out_ += run == 1 ? std::to_string(hour) : TwoDigits(hour);
                    i += std::min<std::size_t>(run, 2);
                    afterHour = true;
                    continue;
                }
                case 'N':
                    out_ += run == 1 ? std::to_string(minute_) : TwoDigits(minute_);
                    i += std::min<std::size_t>(run, 2);
                    afterHour = false;
                    continue;
                case 'S':
                    out_ += run == 1 ? std::to_string(second_) : TwoDigits(second_);
                    i += std::min<std::size_t>(run, 2);
                    afterHour = false;
                    continue;
                case 'Z':
                    out_ += run < 3 ? std::to_string(msec_) : Padded(msec_, 3);
                    i += std::min<std::size_t>(run, 3);
                    afterHour = false;
                    continue;
                case 'T':
                    Write(run == 1 ? ShortTimeFormat : LongTimeFormat, depth + 1);
                    i += std::min<std::size_t>(run, 2);
                    afterHour = false;
                    continue;
                case '/':
                    out_ += DateSeparator;
                    break;
                case ':':
                    out_ += TimeSeparator;
                    break;
                default:
                    out_ += c;
                    break;
            }
            ++i;
        }
    }

    std::string Result() const { return out_; }

private:
    static std::size_t RunLength(std::string_view s, std::size_t i) {
        std::size_t j = i;
        while (j < s.size() && UpperAscii(s[j]) == UpperAscii(s[i])) ++j;
        return j - i;
    }

    // Whether a 12-hour marker follows in the picture (outside quoted text).
    static bool HasAmPm(std::string_view s, std::size_t from) {
        char quote = 0;
        for (std::size_t i = from; i < s.size(); ++i) {
            if (quote) {
                if (s[i] == quote) quote = 0;
            } else if (s[i] == '"' || s[i] == '\'') {
                quote = s[i];
            } else if (StartsWithText(s, i, "am/pm") || StartsWithText(s, i, "a/p") ||
                       StartsWithText(s, i, "ampm")) {
                return true;
            }
        }
        return false;
    }

    bool WriteAmPm(std::string_view s, std::size_t& i) {
        const bool pm = hour_ >= 12;
        if (StartsWithText(s, i, "am/pm")) {
            out_.append(s.substr(pm ? i + 3 : i, 2));
            i += 5;
        } else if (StartsWithText(s, i, "a/p")) {
            out_ += s[pm ? i + 2 : i];
            i += 3;
        } else if (StartsWithText(s, i, "ampm")) {
            out_ += pm ? TimePMString : TimeAMString;
            i += 4;
        } else {
            return false;
        }
        return true;
    }

    int year_, month_, day_, hour_, minute_, second_, msec_, dayOfWeek_;
    bool midnight_;
    std::string out_;
};

// ---- Reading ----

class Scanner {
public:
    explicit Scanner(std::string_view s) : s_(s) {}

    void SkipBlanks() {
        while (pos_ < s_.size() && s_[pos_] == ' ') ++pos_;
    }
    bool AtEnd() const { return pos_ >= s_.size(); }
    bool Take(char c) {
        if (pos_ < s_.size() && s_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }
    bool TakeText(std::string_view text) {
        if (!StartsWithText(s_, pos_, text)) return false;
        pos_ += text.size();
        return true;
    }
    // Up to maxDigits decimal digits; false when there is none.
    bool Number(int& value, int& digits, int maxDigits = 6) {
        value = 0;
        digits = 0;
        while (pos_ < s_.size() && s_[pos_] >= '0' && s_[pos_] <= '9') {
            if (++digits > maxDigits) return false;
            value = value * 10 + (s_[pos_++] - '0');
        }
        return digits > 0;
    }
    std::size_t Position() const { return pos_; }

private:
    std::string_view s_;
    std::size_t pos_ = 0;
};

enum class DateOrder { MDY, DMY, YMD };

DateOrder OrderOfShortDate() {
    for (char c : ShortDateFormat) {
        switch (UpperAscii(c)) {
            case 'D':
                return DateOrder::DMY;
            case 'Y':
                return DateOrder::YMD;
            case 'M':
                return DateOrder::MDY;
            default:
                break;
        }
    }
    return DateOrder::MDY;
}

int CurrentYear() {
    uint16_t y, m, d;
    DecodeDate(Now(), y, m, d);
    return y;
}

int ExpandTwoDigitYear(int year) {
    const int current = CurrentYear();
    const int pivot = current - TwoDigitYearCenturyWindow;
    year += pivot / 100 * 100;
    if (TwoDigitYearCenturyWindow > 0 && year < pivot) year += 100;
    return year;
}

bool ScanDate(Scanner& in, TDateTime& date) {
    in.SkipBlanks();
    int n[3], digits[3], count = 0;
    if (!in.Number(n[0], digits[0])) return false;
    count = 1;
    while (count < 3 && in.Take(DateSeparator)) {
        if (!in.Number(n[count], digits[count])) return false;
        ++count;
    }
    if (count < 2) return false;
    int year, month, day, yearDigits = 4;
    const DateOrder order = OrderOfShortDate();
    if (count == 2) {
        year = CurrentYear();
        if (order == DateOrder::DMY)
            day = n[0], month = n[1];
        else
            month = n[0], day = n[1];
    } else {
        switch (order) {
            case DateOrder::MDY:
                month = n[0], day = n[1], year = n[2], yearDigits = digits[2];
                break;
            case DateOrder::DMY:
                day = n[0], month = n[1], year = n[2], yearDigits = digits[2];
                break;
            case DateOrder::YMD:
                year = n[0], month = n[1], day = n[2], yearDigits = digits[0];
                break;
        }
        if (yearDigits <= 2) year = ExpandTwoDigitYear(year);
    }
    return TryEncodeDate(year, month, day, date);
}

bool ScanTime(Scanner& in, TDateTime& time) {
    in.SkipBlanks();
    int hour, minute = 0, second = 0, msec = 0, digits;
    if (!in.Number(hour, digits, 2)) return false;
    bool hasMinutes = false;
    if (in.Take(TimeSeparator)) {
        if (!in.Number(minute, digits, 2)) return false;
        hasMinutes = true;
        if (in.Take(TimeSeparator)) {
            if (!in.Number(second, digits, 2)) return false;
            if (in.Take(DecimalSeparator)) {
                // A fraction of a second: ".5" is 500 ms, ".025" is 25 ms.
                int fraction;
                if (!in.Number(fraction, digits, 3)) return false;
                msec = fraction * (digits == 1 ? 100 : digits == 2 ? 10 : 1);
            }
        }
    }
    in.SkipBlanks();
    int marker = 0;  // 1 am, 2 pm
    if (in.TakeText(TimeAMString) || in.TakeText("AM"))
        marker = 1;
    else if (in.TakeText(TimePMString) || in.TakeText("PM"))
        marker = 2;
    if (!hasMinutes && marker == 0) return false;
    if (marker) {
        if (hour > 12) return false;
        if (hour == 12) hour = 0;
        if (marker == 2) hour += 12;
    }
    return TryEncodeTime(hour, minute, second, msec, time);
}

[[noreturn]] void NotValid(std::string_view s, const char* what) {
    throw EConvertError("'" + std::string(s) + "' is not a valid " + what);
}

}  // namespace

bool IsLeapYear(int year) {
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int MonthDays(int year, int month) {
    static constexpr int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}

bool TryEncodeDate(int year, int month, int day, TDateTime& date) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > MonthDays(year, month))
        return false;
    date = static_cast<TDateTime>(Ordinal(year, month, day) - DateDelta);
    return true;
}

bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime& time) {
    if (hour < 0 || hour >= 24 || min < 0 || min >= 60 || sec < 0 || sec >= 60 || msec < 0 || msec >= 1000)
        return false;
    time = static_cast<TDateTime>(((hour * 60 + min) * 60 + sec) * 1000 + msec) / MSecsPerDay;
    return true;
}

TDateTime EncodeDate(int year, int month, int day) {
    TDateTime date;
    if (!TryEncodeDate(year, month, day, date)) throw EConvertError("Invalid argument to date encode");
    return date;
}

TDateTime EncodeTime(int hour, int min, int sec, int msec) {
    TDateTime time;
    if (!TryEncodeTime(hour, min, sec, msec, time)) throw EConvertError("Invalid argument to time encode");
    return time;
}

TDateTime ComposeDateTime(TDateTime date, TDateTime time) {
    return date < 0 ? date - std::fabs(time) : date + std::fabs(time);
}

void DecodeDate(TDateTime value, uint16_t& year, uint16_t& month, uint16_t& day) {
    int y, m, d;
    CivilFromOrdinal(ToStamp(value).Day + DateDelta, y, m, d);
    year = static_cast<uint16_t>(std::max(y, 0));
    month = static_cast<uint16_t>(m);
    day = static_cast<uint16_t>(d);
}

void DecodeTime(TDateTime value, uint16_t& hour, uint16_t& min, uint16_t& sec, uint16_t& msec) {
    const int64_t ms = ToStamp(value).MSec;
    hour = static_cast<uint16_t>(ms / 3600000);
    min = static_cast<uint16_t>(ms / 60000 % 60);
    sec = static_cast<uint16_t>(ms / 1000 % 60);
    msec = static_cast<uint16_t>(ms % 1000);
}

int DayOfWeek(TDateTime value) {
    // Day 1 (1 January 0001) was a Monday.
    const int64_t ordinal = ToStamp(value).Day + DateDelta;
    return static_cast<int>((ordinal % 7 + 7) % 7) + 1;
}

TDateTime IncMonth(TDateTime value, int months) {
    uint16_t y, m, d;
    DecodeDate(value, y, m, d);
    int64_t index = int64_t(y) * 12 + (m - 1) + months;
    index = std::clamp<int64_t>(index, 12, 9999 * 12 + 11);
    const int year = static_cast<int>(index / 12), month = static_cast<int>(index % 12) + 1;
    const int day = std::min<int>(d, MonthDays(year, month));
    const Stamp s = ToStamp(value);
    return ComposeDateTime(EncodeDate(year, month, day), static_cast<TDateTime>(s.MSec) / MSecsPerDay);
}

int32_t DateTimeToFileDate(TDateTime value) {
    uint16_t year, month, day, hour, min, sec, msec;
    DecodeDate(value, year, month, day);
    if (year < 1980 || year > 2107) return 0;
    DecodeTime(value, hour, min, sec, msec);
    const uint32_t date = uint32_t(year - 1980) << 9 | uint32_t(month) << 5 | day;
    const uint32_t time = uint32_t(hour) << 11 | uint32_t(min) << 5 | uint32_t(sec / 2);
    return static_cast<int32_t>(date << 16 | time);
}

TDateTime FileDateToDateTime(int32_t fileDate) {
    const uint32_t packed = static_cast<uint32_t>(fileDate);
    const int year = 1980 + static_cast<int>(packed >> 25);
    const int month = std::clamp(static_cast<int>(packed >> 21 & 0x0F), 1, 12);
    const int day = std::clamp(static_cast<int>(packed >> 16 & 0x1F), 1, MonthDays(year, month));
    const int hour = std::min(static_cast<int>(packed >> 11 & 0x1F), 23);
    const int min = std::min(static_cast<int>(packed >> 5 & 0x3F), 59);
    const int sec = std::min(static_cast<int>(packed & 0x1F) * 2, 58);
    return EncodeDate(year, month, day) + EncodeTime(hour, min, sec, 0);
}

TDateTime Date() {
    return static_cast<TDateTime>(ToStamp(Now()).Day);
}

TDateTime Time() {
    return static_cast<TDateTime>(ToStamp(Now()).MSec) / MSecsPerDay;
}

std::string FormatDateTime(std::string_view picture, TDateTime value) {
    DateTimeWriter writer(value);
    writer.Write(picture.empty() ? std::string_view("c") : picture, 0);
    return writer.Result();
}

std::string DateToStr(TDateTime value) {
    return FormatDateTime("ddddd", value);
}
std::string TimeToStr(TDateTime value) {
    return FormatDateTime("tt", value);
}
std::string DateTimeToStr(TDateTime value) {
    return FormatDateTime("c", value);
}

bool TryStrToDate(std::string_view s, TDateTime& value) {
    Scanner in(s);
    TDateTime date;
    if (!ScanDate(in, date)) return false;
    in.SkipBlanks();
    if (!in.AtEnd()) return false;
    value = date;
    return true;
}

bool TryStrToTime(std::string_view s, TDateTime& value) {
    Scanner in(s);
    TDateTime time;
    if (!ScanTime(in, time)) return false;
    in.SkipBlanks();
    if (!in.AtEnd()) return false;
    value = time;
    return true;
}

bool TryStrToDateTime(std::string_view s, TDateTime& value) {
    Scanner in(s);
    TDateTime date, time = 0;
    if (!ScanDate(in, date)) return TryStrToTime(s, value);
    in.SkipBlanks();
    if (!in.AtEnd()) {
        if (!ScanTime(in, time)) return false;
        in.SkipBlanks();
        if (!in.AtEnd()) return false;
    }
    value = ComposeDateTime(date, time);
    return true;
}

TDateTime StrToDate(std::string_view s) {
    TDateTime v;
    if (!TryStrToDate(s, v)) NotValid(s, "date");
    return v;
}

TDateTime StrToTime(std::string_view s) {
    TDateTime v;
    if (!TryStrToTime(s, v)) NotValid(s, "time");
    return v;
}

TDateTime StrToDateTime(std::string_view s) {
    TDateTime v;
    if (!TryStrToDateTime(s, v)) NotValid(s, "date and time");
    return v;
}

}  // namespace framework
