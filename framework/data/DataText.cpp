#include "framework/data/DataText.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "framework/core/Exception.h"

namespace framework::datatext {

namespace {

constexpr double kMSecsPerDay = 86400000.0;
// Days from 0000-03-01 (proleptic Gregorian) to 1899-12-30, the zero of TDateTime.
constexpr int64_t kDaysTo18991230 = 693899;

int64_t DaysFromCivil(int64_t y, int m, int d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe;  // days since 0000-03-01
}

void CivilFromDays(int64_t z, int& year, int& month, int& day) {
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    day = int(doy - (153 * mp + 2) / 5 + 1);
    month = int(mp < 10 ? mp + 3 : mp - 9);
    year = int(yoe + era * 400 + (month <= 2));
}

bool IsLeap(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int DaysInMonth(int y, int m) {
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : days[m - 1];
}

std::string Trimmed(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
    return s.substr(b, e - b);
}

// Milliseconds since midnight of the time part; the date part is dropped.
int64_t TimeMSecs(double dateTime) {
    double frac = std::fabs(dateTime - std::trunc(dateTime));
    return std::llround(frac * kMSecsPerDay);
}

}  // namespace

std::string FloatText(double value) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15G", value);
    std::string s = buf;
    auto e = s.find('E');
    if (e == std::string::npos) return s;
    // "1E+20" -> "1E20", "1E-05" -> "1E-5"
    std::string mant = s.substr(0, e), exp = s.substr(e + 1);
    bool neg = !exp.empty() && exp[0] == '-';
    if (!exp.empty() && (exp[0] == '+' || exp[0] == '-')) exp.erase(0, 1);
    while (exp.size() > 1 && exp[0] == '0') exp.erase(0, 1);
    return mant + "E" + (neg ? "-" : "") + exp;
}

std::string CurrencyText(int64_t scaled) {
    bool neg = scaled < 0;
    uint64_t mag = neg ? uint64_t(0) - uint64_t(scaled) : uint64_t(scaled);
    std::string s = std::to_string(mag / 10000);
    unsigned frac = unsigned(mag % 10000);
    if (frac != 0) {
        char buf[8];
        std::snprintf(buf, sizeof buf, "%04u", frac);
        std::string f = buf;
        while (!f.empty() && f.back() == '0') f.pop_back();
        s += "." + f;
    }
    return neg ? "-" + s : s;
}

int64_t ParseInteger(const std::string& text) {
    std::string t = Trimmed(text);
    if (!t.empty()) {
        errno = 0;
        char* end = nullptr;
        long long v = std::strtoll(t.c_str(), &end, 10);
        if (errno == 0 && end && *end == '\0' && end != t.c_str()) return v;
    }
    throw EConvertError("'" + text + "' is not a valid integer value");
}

double ParseFloat(const std::string& text) {
    std::string t = Trimmed(text);
    if (!t.empty() && t.find_first_of("xXpP") == std::string::npos) {
        char* end = nullptr;
        double v = std::strtod(t.c_str(), &end);
        if (end && *end == '\0' && end != t.c_str() && std::isfinite(v)) return v;
    }
    throw EConvertError("'" + text + "' is not a valid floating point value");
}

int64_t ParseCurrency(const std::string& text) {
    double v = ParseFloat(text);
    if (std::fabs(v) >= 922337203685477.0)
        throw EConvertError("'" + text + "' is not a valid floating point value");
    return std::llround(v * 10000.0);
}

void DecodeDate(double dateTime, int& year, int& month, int& day) {
    CivilFromDays(int64_t(std::trunc(dateTime)) + kDaysTo18991230, year, month, day);
}

double EncodeDate(int year, int month, int day) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month))
        throw EConvertError("Invalid argument to date encode");
    return double(DaysFromCivil(year, month, day) - kDaysTo18991230);
}

void DecodeTime(double dateTime, int& hour, int& minute, int& second, int& msec) {
    int64_t ms = TimeMSecs(dateTime) % int64_t(kMSecsPerDay);
    hour = int(ms / 3600000);
    minute = int(ms / 60000 % 60);
    second = int(ms / 1000 % 60);
    msec = int(ms % 1000);
}

double EncodeTime(int hour, int minute, int second, int msec) {
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || msec < 0 ||
        msec > 999)
        throw EConvertError("Invalid argument to time encode");
    return (hour * 3600000.0 + minute * 60000.0 + second * 1000.0 + msec) / kMSecsPerDay;
}

std::string DateText(double dateTime) {
    int y, m, d;
    DecodeDate(dateTime, y, m, d);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%d/%d/%04d", m, d, y);
    return buf;
}

std::string TimeText(double dateTime) {
    int h, n, s, ms;
    DecodeTime(dateTime, h, n, s, ms);
    char buf[32];
    int h12 = h % 12 == 0 ? 12 : h % 12;
    std::snprintf(buf, sizeof buf, "%d:%02d:%02d %s", h12, n, s, h < 12 ? "AM" : "PM");
    return buf;
}

std::string DateTimeText(double dateTime) {
    // The time is left out at midnight, as the class library shows a date-time without time.
    if (TimeMSecs(dateTime) == 0) return DateText(dateTime);
    return DateText(dateTime) + " " + TimeText(dateTime);
}

double ParseDate(const std::string& text) {
    std::string t = Trimmed(text);
    int m = 0, d = 0, y = 0, used = 0;
    if (std::sscanf(t.c_str(), "%d/%d/%d%n", &m, &d, &y, &used) == 3 && size_t(used) == t.size()) {
        if (y < 100) y += y < 50 ? 2000 : 1900;  // two-digit years fall in 1950..2049
        try {
            return EncodeDate(y, m, d);
        } catch (const EConvertError&) {
        }
    }
    throw EConvertError("'" + text + "' is not a valid date");
}

double ParseTime(const std::string& text) {
    std::string t = Trimmed(text);
    int h = 0, n = 0, s = 0, used = 0;
    char ampm[3] = {0, 0, 0};
    int got = std::sscanf(t.c_str(), "%d:%d:%d%n", &h, &n, &s, &used);
    if (got != 3) {
        s = 0;
        got = std::sscanf(t.c_str(), "%d:%d%n", &h, &n, &used) == 2 ? 3 : 0;
    }
    if (got == 3) {
        std::string rest = Trimmed(t.substr(size_t(used)));
        if (rest.size() == 2) {
            ampm[0] = char(std::toupper(static_cast<unsigned char>(rest[0])));
            ampm[1] = char(std::toupper(static_cast<unsigned char>(rest[1])));
        }
        bool ok = rest.empty() || ((ampm[0] == 'A' || ampm[0] == 'P') && ampm[1] == 'M' && h >= 1 && h <= 12);
        if (ok) {
            if (ampm[0] == 'A' && h == 12) h = 0;
            if (ampm[0] == 'P' && h != 12) h += 12;
            try {
                return EncodeTime(h, n, s, 0);
            } catch (const EConvertError&) {
            }
        }
    }
    throw EConvertError("'" + text + "' is not a valid time");
}

double ParseDateTime(const std::string& text) {
    std::string t = Trimmed(text);
    auto sp = t.find(' ');
    try {
        if (sp == std::string::npos) return ParseDate(t);
        double d = ParseDate(t.substr(0, sp));
        double tm = ParseTime(t.substr(sp + 1));
        return d < 0 ? d - tm : d + tm;
    } catch (const EConvertError&) {
        throw EConvertError("'" + text + "' is not a valid date and time");
    }
}

}  // namespace framework::datatext

namespace framework::datatext {

namespace {

std::string GroupThousands(const std::string& digits) {
    std::string out;
    int n = int(digits.size());
    for (int i = 0; i < n; ++i) {
        out += digits[size_t(i)];
        int left = n - 1 - i;
        if (left > 0 && left % 3 == 0) out += ',';
    }
    return out;
}

// Splits at ';' outside quotes.
std::vector<std::string> Sections(const std::string& format) {
    std::vector<std::string> out(1);
    char quote = 0;
    for (char c : format) {
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == ';') {
            out.emplace_back();
            continue;
        }
        out.back() += c;
    }
    return out;
}

std::string ApplyNumberSection(const std::string& fmt, double value) {
    // Count the digit places of the integer and fraction parts and find where digits go.
    int intZeros = 0, fracZeros = 0, fracHashes = 0;
    bool thousands = false, seenPoint = false, anyDigit = false;
    char quote = 0;
    for (char c : fmt) {
        if (quote) {
            if (c == quote) quote = 0;
            continue;
        }
        if (c == '"' || c == '\'')
            quote = c;
        else if (c == '.')
            seenPoint = true;
        else if (c == ',')
            thousands = true;
        else if (c == '0') {
            anyDigit = true;
            seenPoint ? ++fracZeros : ++intZeros;
        } else if (c == '#') {
            anyDigit = true;
            if (seenPoint) ++fracHashes;
        }
    }
    if (!anyDigit) {
        // A section of literals only.
        std::string out;
        quote = 0;
        for (char c : fmt) {
            if (quote) {
                if (c == quote)
                    quote = 0;
                else
                    out += c;
            } else if (c == '"' || c == '\'')
                quote = c;
            else
                out += c;
        }
        return out;
    }
    int decimals = fracZeros + fracHashes;
    char buf[400];
    double mag = std::fabs(value);
    double scaled = mag * std::pow(10.0, decimals);
    if (scaled < 9e15) {
        // Halves round away from zero, as money is rounded, not to the even neighbour.
        std::string digits = std::to_string(static_cast<long long>(std::floor(scaled + 0.5)));
        while (int(digits.size()) <= decimals) digits = "0" + digits;
        std::snprintf(buf, sizeof buf, "%s%s%s", digits.substr(0, digits.size() - size_t(decimals)).c_str(),
                      decimals > 0 ? "." : "", digits.substr(digits.size() - size_t(decimals)).c_str());
    } else {
        std::snprintf(buf, sizeof buf, "%.*f", decimals, mag);
    }
    std::string num = buf;
    std::string intPart = num, fracPart;
    auto dot = num.find('.');
    if (dot != std::string::npos) {
        intPart = num.substr(0, dot);
        fracPart = num.substr(dot + 1);
    }
    while (int(fracPart.size()) > fracZeros && !fracPart.empty() && fracPart.back() == '0')
        fracPart.pop_back();
    if (intPart == "0" && intZeros == 0) intPart.clear();
    while (int(intPart.size()) < intZeros) intPart = "0" + intPart;
    if (thousands) intPart = GroupThousands(intPart);
    std::string number = intPart + (fracPart.empty() ? "" : "." + fracPart);
    // Put the number where the first digit place is; drop the other digit places and separators.
    std::string out;
    bool placed = false;
    quote = 0;
    for (char c : fmt) {
        if (quote) {
            if (c == quote)
                quote = 0;
            else
                out += c;
            continue;
        }
        if (c == '"' || c == '\'')
            quote = c;
        else if (c == '0' || c == '#' || c == '.' || c == ',') {
            if (!placed) {
                out += number;
                placed = true;
            }
        } else
            out += c;
    }
    return out;
}

}  // namespace

std::string CurrencyDisplayText(double value) {
    std::string num = ApplyNumberSection("0.00", std::fabs(value));
    auto dot = num.find('.');
    std::string text = "$" + GroupThousands(num.substr(0, dot)) + num.substr(dot);
    return value < 0 && text != "$0.00" ? "(" + text + ")" : text;
}

std::string FormatFloat(const std::string& format, double value) {
    if (format.empty()) return FloatText(value);
    auto sections = Sections(format);
    if (value == 0 && sections.size() >= 3 && !sections[2].empty())
        return ApplyNumberSection(sections[2], value);
    if (value < 0 && sections.size() >= 2 && !sections[1].empty())
        return ApplyNumberSection(sections[1], value);
    std::string text = ApplyNumberSection(sections[0], value);
    // With a single section a negative number gets its sign in front, unless it rounds to zero.
    if (value < 0 && text.find_first_of("123456789") != std::string::npos) text = "-" + text;
    return text;
}

std::string FormatDateTime(const std::string& format, double dateTime) {
    static const char* const kMonths[12] = {"January",   "February", "March",    "April",
                                            "May",       "June",     "July",     "August",
                                            "September", "October",  "November", "December"};
    static const char* const kDays[7] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                         "Thursday", "Friday", "Saturday"};
    int y, mo, d, h, n, s, ms;
    DecodeDate(dateTime, y, mo, d);
    DecodeTime(dateTime, h, n, s, ms);
    // 30 December 1899 was a Saturday.
    int64_t dayNo = int64_t(std::floor(dateTime));
    int dow = int(((dayNo % 7) + 7 + 6) % 7);
    bool twelveHour = false;
    {
        std::string up;
        for (char c : format) up += char(std::toupper(static_cast<unsigned char>(c)));
        twelveHour = up.find("AM/PM") != std::string::npos || up.find("AMPM") != std::string::npos;
    }
    auto two = [](int v) {
        char b[16];
        std::snprintf(b, sizeof b, "%02d", v);
        return std::string(b);
    };
    std::string out;
    size_t i = 0;
    bool lastWasHour = false;
    while (i < format.size()) {
        char c = format[i];
        char u = char(std::toupper(static_cast<unsigned char>(c)));
        size_t run = 1;
        while (i + run < format.size() &&
               std::toupper(static_cast<unsigned char>(format[i + run])) == static_cast<unsigned char>(u))
            ++run;
        if (c == '"' || c == '\'') {
            size_t e = format.find(c, i + 1);
            if (e == std::string::npos) e = format.size();
            out += format.substr(i + 1, e - i - 1);
            i = e + 1;
            continue;
        }
        if (u == 'A' && (format.compare(i, 5, "am/pm") == 0 || format.compare(i, 5, "AM/PM") == 0)) {
            out += h < 12 ? format.substr(i, 2) : (std::islower(static_cast<unsigned char>(c)) ? "pm" : "PM");
            i += 5;
            continue;
        }
        if (u == 'A' && (format.compare(i, 4, "ampm") == 0 || format.compare(i, 4, "AMPM") == 0)) {
            out += h < 12 ? "AM" : "PM";
            i += 4;
            continue;
        }
        switch (u) {
            case 'Y':
                out += run <= 2 ? two(y % 100) : std::to_string(y);
                break;
            case 'M':
                if (lastWasHour && run <= 2)
                    out += run == 1 ? std::to_string(n) : two(n);  // minutes after hours
                else if (run == 1)
                    out += std::to_string(mo);
                else if (run == 2)
                    out += two(mo);
                else if (run == 3)
                    out += std::string(kMonths[mo - 1]).substr(0, 3);
                else
                    out += kMonths[mo - 1];
                break;
            case 'D':
                if (run == 1)
                    out += std::to_string(d);
                else if (run == 2)
                    out += two(d);
                else if (run == 3)
                    out += std::string(kDays[dow]).substr(0, 3);
                else
                    out += kDays[dow];
                break;
            case 'H': {
                int hh = twelveHour ? (h % 12 == 0 ? 12 : h % 12) : h;
                out += run == 1 ? std::to_string(hh) : two(hh);
                break;
            }
            case 'N':
                out += run == 1 ? std::to_string(n) : two(n);
                break;
            case 'S':
                out += run == 1 ? std::to_string(s) : two(s);
                break;
            case 'Z': {
                char b[16];
                std::snprintf(b, sizeof b, run >= 3 ? "%03d" : "%d", ms);
                out += b;
                break;
            }
            default:
                out += format.substr(i, run);
                break;
        }
        if (u == 'H')
            lastWasHour = true;
        else if (u != ':' && u != ' ')
            lastWasHour = false;
        i += run;
    }
    return out;
}

}  // namespace framework::datatext
