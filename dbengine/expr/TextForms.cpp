#include "dbengine/expr/TextForms.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "dbengine/expr/ValueTypes.h"
#include "framework/core/Exception.h"
#include "framework/core/SysUtils.h"

namespace dbengine {

namespace {

constexpr const char* InvalidDate = "'%s' is not a valid date";
constexpr const char* InvalidTime = "'%s' is not a valid time";
constexpr const char* InvalidDateTime = "'%s' is not a valid date and time";
constexpr const char* InvalidBoolean = "'%s' is not a valid boolean";
constexpr const char* InvalidFloat = "'%s' is not a valid floating point value";

// Days of a proleptic Gregorian date counted from 1 March of year 0 (eras of 400 years).
int64_t DaysFromCivil(int64_t y, int m, int d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe;
}

const int64_t DayOneOffset = DaysFromCivil(1, 1, 1) - 1;

bool IsLeap(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

// A decimal integer as the platform's integer parse reads it: leading blanks, optional sign,
// at least one digit, nothing after.
bool ParseInt(std::string_view s, int64_t& out) {
    size_t i = 0;
    while (i < s.size() && s[i] == ' ') ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    if (i == s.size()) return false;
    uint64_t v = 0;
    const uint64_t limit = negative ? uint64_t(INT64_MAX) + 1 : uint64_t(INT64_MAX);
    for (; i < s.size(); ++i) {
        char c = s[i];
        if (c < '0' || c > '9') return false;
        unsigned digit = unsigned(c - '0');
        if (v > (limit - digit) / 10) return false;
        v = v * 10 + digit;
    }
    out = negative ? static_cast<int64_t>(0 - v) : static_cast<int64_t>(v);
    return true;
}

bool ParseSmall(std::string_view s, int& out) {
    int64_t v;
    if (!ParseInt(s, v) || v < INT32_MIN || v > INT32_MAX) return false;
    out = static_cast<int>(v);
    return true;
}

// Splits a number text into its digits and a power of ten: value = digits * 10^exponent.
// Accepts optional blanks, sign, digits with at most one ".", and an exponent.
bool SplitNumber(std::string_view s, bool& negative, std::string& digits, int64_t& exponent) {
    size_t i = 0;
    while (i < s.size() && s[i] == ' ') ++i;
    negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    digits.clear();
    exponent = 0;
    size_t count = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') digits += s[i++], ++count;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') digits += s[i++], ++count, --exponent;
    }
    if (count == 0) return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        bool expNegative = false;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) expNegative = s[i++] == '-';
        int64_t e = 0;
        size_t expDigits = 0;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
            if (e < 100000) e = e * 10 + (s[i] - '0');
            ++i, ++expDigits;
        }
        if (expDigits == 0) return false;
        exponent += expNegative ? -e : e;
    }
    return i == s.size();
}

void Pad2(std::string& out, int v) {
    out += char('0' + v / 10);
    out += char('0' + v % 10);
}

}  // namespace

int32_t EncodeDayNumber(int year, int month, int day) {
    return static_cast<int32_t>(DaysFromCivil(year, month, day) - DayOneOffset);
}

bool IsValidCalendarDate(int year, int month, int day) {
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
    int last = days[month - 1] + (month == 2 && IsLeap(year) ? 1 : 0);
    return day <= last;
}

bool DecodeDayNumber(int32_t dayNumber, int& year, int& month, int& day) {
    if (dayNumber < 1 || dayNumber > EncodeDayNumber(9999, 12, 31)) return false;
    // Inverse of DaysFromCivil: z counts days from 1 March of year 0.
    int64_t z = int64_t(dayNumber) + DayOneOffset;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    const int d = int(doy - (153 * mp + 2) / 5 + 1);
    const int m = int(mp < 10 ? mp + 3 : mp - 9);
    const int64_t y = yoe + era * 400 + (m <= 2);
    year = int(y);
    month = m;
    day = d;
    return true;
}

void RaiseConvertError(std::string_view format, std::string_view text) {
    std::string message;
    std::string_view f = format;
    size_t at = f.find("%s");
    if (at == std::string_view::npos) {
        message = std::string(f);
    } else {
        message = std::string(f.substr(0, at));
        message += text;
        message += f.substr(at + 2);
    }
    throw framework::EConvertError(message);
}

std::string DateToText(int32_t dayNumber) {
    int y, m, d;
    if (!DecodeDayNumber(dayNumber, y, m, d))
        RaiseConvertError("'%s' is not a valid date", std::to_string(dayNumber));
    char year[8];
    std::snprintf(year, sizeof year, "%04d", y);
    std::string out = year;
    out += '-';
    Pad2(out, m);
    out += '-';
    Pad2(out, d);
    return out;
}

std::string TimeToText(int32_t milliseconds) {
    if (milliseconds < 0 || milliseconds >= MSecsPerDay)
        RaiseConvertError("'%s' is not a valid time", std::to_string(milliseconds));
    int ms = milliseconds % 1000;
    int s = milliseconds / 1000 % 60;
    int m = milliseconds / 60000 % 60;
    int h = milliseconds / 3600000;
    std::string out;
    Pad2(out, h);
    out += ':';
    Pad2(out, m);
    // The seconds go out whenever anything below the minute is set, so a reading gives back the
    // same value (09:05:00.250 must not shrink to 09:05).
    if (s != 0 || ms != 0) {
        out += ':';
        Pad2(out, s);
    }
    if (ms != 0) {
        out += '.';
        out += std::to_string(ms);
    }
    return out;
}

std::string DateTimeToText(double timestamp) {
    // Day 1 to the last day of year 9999; beyond that the day number would not fit.
    const double last = (double(EncodeDayNumber(9999, 12, 31)) + 1) * MSecsPerDay;
    if (!std::isfinite(timestamp) || timestamp < MSecsPerDay || timestamp >= last - 0.5)
        RaiseConvertError("'%s' is not a valid date and time", FloatToText(timestamp));
    int64_t ms = std::llround(timestamp);
    return DateToText(static_cast<int32_t>(ms / MSecsPerDay)) + " " +
           TimeToText(static_cast<int32_t>(ms % MSecsPerDay));
}

std::string BooleanToText(bool value) {
    return value ? "True" : "False";
}

std::string FloatToText(double value) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
    char buf[64];
    // to_chars ignores every locale setting.
    auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15);
    std::string out(buf, r.ptr);
    size_t e = out.find('e');
    if (e != std::string::npos) {
        // 1e-05 is written 1E-5: capital E, sign, exponent without leading zeros.
        out[e] = 'E';
        size_t digits = e + 2;
        while (digits + 1 < out.size() && out[digits] == '0') out.erase(digits, 1);
    }
    return out;
}

std::string CurrencyToText(int64_t value) {
    bool negative = value < 0;
    uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    std::string out = negative ? "-" : "";
    out += std::to_string(magnitude / 10000);
    uint64_t frac = magnitude % 10000;
    if (frac != 0) {
        char digits[5];
        std::snprintf(digits, sizeof digits, "%04u", static_cast<unsigned>(frac));
        std::string f = digits;
        while (!f.empty() && f.back() == '0') f.pop_back();
        out += '.';
        out += f;
    }
    return out;
}

int32_t TextToDate(std::string_view text) {
    size_t first = text.find('-');
    if (first != std::string_view::npos) {
        std::string_view rest = text.substr(first + 1);
        size_t second = rest.find('-');
        int y, m, d;
        if (second != std::string_view::npos && ParseSmall(text.substr(0, first), y) &&
            ParseSmall(rest.substr(0, second), m) && ParseSmall(rest.substr(second + 1), d) &&
            IsValidCalendarDate(y, m, d))
            return EncodeDayNumber(y, m, d);
    }
    RaiseConvertError(InvalidDate, text);
}

int32_t TextToTime(std::string_view text) {
    std::string t(text);
    std::string upper = framework::UpperCase(t);
    int half = 0;  // 0 24-hour, 1 before noon, 2 after noon
    size_t at = upper.find("AM");
    if (at != std::string::npos) {
        half = 1;
    } else if ((at = upper.find("PM")) != std::string::npos) {
        half = 2;
    }
    if (half != 0) t.erase(at, 2);
    // Blanks at both ends.
    size_t b = t.find_first_not_of(' ');
    size_t e = t.find_last_not_of(' ');
    std::string_view s =
        b == std::string::npos ? std::string_view() : std::string_view(t).substr(b, e - b + 1);

    int h = 0, m = 0, sec = 0, ms = 0;
    size_t colon = s.find(':');
    bool ok = colon != std::string_view::npos && ParseSmall(s.substr(0, colon), h);
    if (ok) {
        std::string_view rest = s.substr(colon + 1);
        size_t colon2 = rest.find(':');
        if (colon2 == std::string_view::npos) {
            ok = ParseSmall(rest, m);
        } else {
            ok = ParseSmall(rest.substr(0, colon2), m);
            std::string_view secs = rest.substr(colon2 + 1);
            size_t dot = secs.find('.');
            if (dot == std::string_view::npos) {
                ok = ok && ParseSmall(secs, sec);
            } else {
                ok = ok && ParseSmall(secs.substr(0, dot), sec) && ParseSmall(secs.substr(dot + 1), ms);
            }
        }
    }
    if (ok) {
        if (half == 1 && h == 12) h = 0;
        // Checked before adding, so a huge hour cannot overflow.
        if (half == 2 && h != 12) h = h >= 0 && h <= 23 ? h + 12 : -1;
        ok = h >= 0 && h <= 23 && m >= 0 && m <= 59 && sec >= 0 && sec <= 59 && ms >= 0 && ms <= 999;
    }
    if (!ok) RaiseConvertError(InvalidTime, text);
    return ((h * 60 + m) * 60 + sec) * 1000 + ms;
}

double TextToDateTime(std::string_view text) {
    try {
        size_t blank = text.find(' ');
        if (blank != std::string_view::npos) {
            int32_t day = TextToDate(text.substr(0, blank));
            int32_t time = TextToTime(text.substr(blank + 1));
            return static_cast<double>(day) * MSecsPerDay + time;
        }
        if (text.find(':') != std::string_view::npos) return NullDateTimestamp + TextToTime(text);
        return static_cast<double>(TextToDate(text)) * MSecsPerDay;
    } catch (const framework::EConvertError&) {
        RaiseConvertError(InvalidDateTime, text);
    }
}

int32_t TextToBoolean(std::string_view text) {
    if (framework::AnsiSameText(text, "TRUE")) return 1;
    if (framework::AnsiSameText(text, "FALSE")) return 0;
    RaiseConvertError(InvalidBoolean, text);
}

double TextToFloat(std::string_view text) {
    bool negative;
    std::string digits;
    int64_t exponent;
    if (SplitNumber(text, negative, digits, exponent)) {
        std::string plain = digits + "e" + std::to_string(exponent);
        double v = 0;
        auto r = std::from_chars(plain.data(), plain.data() + plain.size(), v);
        if (r.ec == std::errc() && r.ptr == plain.data() + plain.size() && std::isfinite(v))
            return negative ? -v : v;
        // Underflow to zero is still a number.
        if (r.ec == std::errc::result_out_of_range && exponent < 0) return negative ? -0.0 : 0.0;
    }
    RaiseConvertError(InvalidFloat, text);
}

int64_t TextToCurrency(std::string_view text) {
    bool negative;
    std::string digits;
    int64_t exponent;
    if (SplitNumber(text, negative, digits, exponent)) {
        // Work in units of 1/10,000: shift the decimal point four places right.
        int64_t scale = exponent + 4;
        size_t first = digits.find_first_not_of('0');
        if (first == std::string::npos) return 0;
        digits.erase(0, first);
        bool ok = true;
        uint64_t v = 0;
        int64_t intLen = static_cast<int64_t>(digits.size()) + scale;  // digits before the point
        if (intLen > 19) ok = false;
        for (int64_t i = 0; ok && i < intLen; ++i) {
            unsigned digit = i < static_cast<int64_t>(digits.size()) ? unsigned(digits[size_t(i)] - '0') : 0;
            if (v > (uint64_t(INT64_MAX) + (negative ? 1 : 0) - digit) / 10)
                ok = false;
            else
                v = v * 10 + digit;
        }
        if (ok) {
            // Round half away from zero on the first dropped digit.
            if (intLen >= 0 && intLen < static_cast<int64_t>(digits.size()) &&
                digits[size_t(intLen)] >= '5') {
                if (v >= uint64_t(INT64_MAX) + (negative ? 1 : 0))
                    ok = false;
                else
                    ++v;
            }
        }
        if (ok) return negative ? static_cast<int64_t>(0 - v) : static_cast<int64_t>(v);
    }
    RaiseConvertError(InvalidFloat, text);
}

bool TextToInt64(std::string_view text, int64_t& value) {
    return ParseInt(text, value);
}

}  // namespace dbengine
