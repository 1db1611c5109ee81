#include "dbengine/util/EngineUtils.h"

#include <zlib.h>

#include <cmath>
#include <cstring>

#include "dbengine/os/OSLayer.h"
#include "dbengine/util/EngineError.h"
#include "platform/CodePage.h"

namespace dbengine {

// ---- Buffers and bytes ----

std::vector<uint8_t> CompressBuffer(const void* source, size_t size) {
    uLongf destSize = compressBound(static_cast<uLong>(size));
    std::vector<uint8_t> dest(destSize);
    if (size > UINT32_MAX || compress2(dest.data(), &destSize, static_cast<const Bytef*>(source),
                                       static_cast<uLong>(size), 9) != Z_OK)
        RaiseEngineError(DBE_COMPRESS, {}, {}, {}, {});
    dest.resize(destSize);
    return dest;
}

namespace {

// The most an inflated buffer may grow to: a damaged or hostile stream cannot make the engine
// allocate without bound. The largest buffers the engine compresses are 64 KiB file chunks and
// remote replies, far below this.
constexpr size_t UncompressLimit = size_t(256) << 20;

}  // namespace

std::vector<uint8_t> UncompressBuffer(const void* source, size_t size) {
    std::vector<uint8_t> dest;
    z_stream stream{};
    if (size > UINT32_MAX || inflateInit(&stream) != Z_OK) RaiseEngineError(DBE_UNCOMPRESS, {}, {}, {}, {});
    stream.next_in = const_cast<Bytef*>(static_cast<const Bytef*>(source));
    stream.avail_in = static_cast<uInt>(size);
    int rc = Z_OK;
    size_t chunk = size * 4 + 1024;
    while (rc == Z_OK) {
        size_t used = dest.size();
        if (used >= UncompressLimit) break;
        size_t grow = std::min(chunk, UncompressLimit - used);
        dest.resize(used + grow);
        stream.next_out = dest.data() + used;
        stream.avail_out = static_cast<uInt>(grow);
        rc = inflate(&stream, Z_NO_FLUSH);
        dest.resize(used + grow - stream.avail_out);
        chunk *= 2;
        if (rc == Z_BUF_ERROR && stream.avail_out != 0) break;  // input ended before the stream did
        if (rc == Z_BUF_ERROR) rc = Z_OK;
    }
    // Whole input must be one complete stream: trailing bytes are damage too.
    bool ok = rc == Z_STREAM_END && stream.avail_in == 0;
    inflateEnd(&stream);
    if (!ok) RaiseEngineError(DBE_UNCOMPRESS, {}, {}, {}, {});
    return dest;
}

void ScrambleBuffer(void* buffer, uint32_t length, uint8_t seed1, uint8_t seed2) {
    auto* p = static_cast<uint8_t*>(buffer);
    for (uint32_t i = 0; i < length; ++i) {
        p[i] ^= static_cast<uint8_t>(seed1 ^ seed2);
        ++seed1;
        --seed2;
    }
}

void UnscrambleBuffer(void* buffer, uint32_t length, uint8_t seed1, uint8_t seed2) {
    ScrambleBuffer(buffer, length, seed1, seed2);
}

int CompareBytes(const void* a, const void* b, size_t count, bool descending) {
    if (a == nullptr) return 1;
    if (count == 0) return 0;
    // memcmp orders by the first differing byte taken as unsigned, as the keys need.
    int c = std::memcmp(a, b, count);
    int r = c > 0 ? 1 : (c < 0 ? -1 : 0);
    return descending ? -r : r;
}

size_t SharedPrefixLength(const void* a, const void* b, size_t count) {
    auto* pa = static_cast<const uint8_t*>(a);
    auto* pb = static_cast<const uint8_t*>(b);
    size_t limit = std::min<size_t>(count, 254);
    size_t n = 0;
    while (n < limit && pa[n] == pb[n]) ++n;
    return n;
}

size_t TrailingZeroCount(const void* last, size_t count) {
    auto* p = static_cast<const uint8_t*>(last);
    size_t limit = std::min<size_t>(count, 254);
    size_t n = 0;
    while (n < limit && *(p - n) == 0) ++n;
    return n;
}

void ZeroBytes(void* dest, size_t count) {
    std::memset(dest, 0, std::min<size_t>(count, 255));
}

// ---- Dates ----

namespace {

// Day number of the Unix epoch (1 January 1970) on the engine's scale.
constexpr int64_t UnixEpochDay = 25569;

int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int& year, int& month, int& day) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(static_cast<int64_t>(yoe) + era * 400 + (month <= 2));
}

// The calendar day of a date value: its integer part (the fraction is the time of day, also
// before 1899, where the sign belongs to the day only).
int64_t DayOf(double date) {
    return static_cast<int64_t>(std::trunc(date));
}

}  // namespace

double EncodeDay(int year, int month, int day) {
    return static_cast<double>(DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) +
                               UnixEpochDay);
}

void DecodeDay(double date, int& year, int& month, int& day) {
    CivilFromDays(DayOf(date) - UnixEpochDay, year, month, day);
}

int IsoDayOfWeek(double date) {
    // Day 0 (30 December 1899) was a Saturday, ISO day 6.
    int64_t r = (DayOf(date) + 5) % 7;
    if (r < 0) r += 7;
    return static_cast<int>(r) + 1;
}

int64_t DayOfYear(double date) {
    int y, m, d;
    DecodeDay(date, y, m, d);
    return DayOf(date) - static_cast<int64_t>(EncodeDay(y, 1, 1)) + 1;
}

double IsoWeekOneStart(int year) {
    double jan1 = EncodeDay(year, 1, 1);
    double monday = jan1 + (8 - IsoDayOfWeek(jan1)) % 7;
    return monday - jan1 <= 3 ? monday : monday - 7;
}

int IsoWeekNumber(double date) {
    int y, m, d;
    DecodeDay(date, y, m, d);
    double day = static_cast<double>(DayOf(date));
    double start;
    if (day >= IsoWeekOneStart(y + 1))
        start = IsoWeekOneStart(y + 1);
    else if (day >= IsoWeekOneStart(y))
        start = IsoWeekOneStart(y);
    else
        start = IsoWeekOneStart(y - 1);
    int64_t n = static_cast<int64_t>(day - start) + 1;
    return static_cast<int>(n % 7 == 0 ? n / 7 : n / 7 + 1);
}

// ---- Numbers ----

double RoundFloat(int decimals, double value) {
    if (value == 0) return 0;
    long double f = 1;
    for (int i = 0; i < decimals; ++i) f *= 0.1L;
    long double v = value;
    long double r = v > 0 ? f * std::trunc(v / f + 0.5L) : f * std::trunc(v / f - 0.5L);
    return static_cast<double>(r);
}

double TruncFloat(double value) {
    return std::trunc(value);
}

int64_t RoundCurrency(int decimals, int64_t value) {
    if (value == 0) return 0;
    if (decimals > 4) decimals = 4;
    if (decimals < 0) decimals = 0;
    int64_t u = 1;
    for (int i = decimals; i < 4; ++i) u *= 10;
    long double q = static_cast<long double>(value) / u;
    long double t = value > 0 ? std::trunc(q + 0.5L) : std::trunc(q - 0.5L);
    return static_cast<int64_t>(t) * u;
}

int64_t TruncCurrency(int64_t value) {
    return value / 10000 * 10000;
}

namespace {
constexpr int BcdPrecision = 32;
}

bool CurrencyToBcd(int decimals, TBcd& bcd, int64_t value) {
    bcd = TBcd{};
    if (decimals < 0 || decimals > BcdPrecision) return false;
    bool negative = value < 0;
    uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    uint64_t whole = magnitude / 10000;
    uint64_t frac = magnitude % 10000;  // four decimal digits
    // Digits, most significant first: (32 - decimals) integer digits, then the decimals.
    uint8_t digits[BcdPrecision] = {};
    int intDigits = BcdPrecision - decimals;
    for (int i = intDigits - 1; i >= 0; --i) {
        digits[i] = static_cast<uint8_t>(whole % 10);
        whole /= 10;
    }
    if (whole != 0) return false;  // does not fit in the integer places
    for (int i = 0; i < decimals; ++i) {
        int place = 3 - i;  // 10^place within the four currency decimals
        uint8_t digit = 0;
        if (place >= 0) {
            uint64_t p = 1;
            for (int k = 0; k < place; ++k) p *= 10;
            digit = static_cast<uint8_t>(frac / p % 10);
        }
        digits[intDigits + i] = digit;
    }
    bcd.Precision = BcdPrecision;
    bcd.SignSpecialPlaces = static_cast<uint8_t>((negative ? 0x80 : 0) | decimals);
    for (int i = 0; i < BcdPrecision; i += 2)
        bcd.Fraction[i / 2] = static_cast<uint8_t>(digits[i] << 4 | digits[i + 1]);
    return true;
}

int64_t BcdToCurrency(const TBcd& bcd) {
    if (bcd.Precision == 0) return 0;
    int precision = std::min<int>(bcd.Precision, 64);
    int places = bcd.SignSpecialPlaces & 0x3F;
    bool negative = (bcd.SignSpecialPlaces & 0x80) != 0;
    // Accumulate in units of 1/10,000; digits beyond the fourth decimal are dropped.
    long double units = 0;
    int keptDecimals = 0;
    for (int i = 0; i < precision; ++i) {
        int decimalPos = i - (precision - places);  // 0 for the first decimal
        if (decimalPos >= 4) break;
        uint8_t b = bcd.Fraction[i / 2];
        units = units * 10 + (i % 2 == 0 ? b >> 4 : b & 0x0F);
        if (decimalPos >= 0) ++keptDecimals;
    }
    for (; keptDecimals < 4; ++keptDecimals) units *= 10;
    if (units > 9223372036854775807.0L) throw framework::EConvertError("BCD overflow");
    int64_t v = static_cast<int64_t>(units);
    return negative ? -v : v;
}

// ---- Text-validity tests ----

namespace {

// A decimal integer, or "$" and hexadecimal digits, after optional leading blanks and sign.
bool ParseInt64(std::string_view s, int64_t& out) {
    size_t i = 0;
    while (i < s.size() && s[i] == ' ') ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    bool hex = false;
    if (i < s.size() && s[i] == '$') {
        hex = true;
        ++i;
    } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }
    if (i >= s.size()) return false;
    unsigned __int128 v = 0;
    for (; i < s.size(); ++i) {
        char c = s[i];
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (hex && c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            return false;
        v = v * (hex ? 16 : 10) + d;
        if (v > (static_cast<unsigned __int128>(1) << 64)) return false;
    }
    if (hex) {
        if (v > UINT64_MAX) return false;
        auto u = static_cast<uint64_t>(v);
        out = negative ? -static_cast<int64_t>(u) : static_cast<int64_t>(u);
        return true;
    }
    if (negative) {
        if (v > static_cast<unsigned __int128>(INT64_MAX) + 1) return false;
        out = static_cast<int64_t>(-static_cast<__int128>(v));
    } else {
        if (v > INT64_MAX) return false;
        out = static_cast<int64_t>(v);
    }
    return true;
}

bool ParseInt32(std::string_view s, int32_t& out) {
    int64_t v;
    if (!ParseInt64(s, v) || v < INT32_MIN || v > INT32_MAX) return false;
    out = static_cast<int32_t>(v);
    return true;
}

// Optional sign, digits with at most one ".", optional exponent; at least one digit.
bool IsNumberText(std::string_view s, bool allowExponent) {
    size_t i = 0;
    while (i < s.size() && s[i] == ' ') ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    size_t digits = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
    }
    if (digits == 0) return false;
    if (allowExponent && i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
        size_t expDigits = 0;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++expDigits;
        if (expDigits == 0) return false;
    }
    return i == s.size();
}

}  // namespace

bool IsWordText(std::string_view s) {
    int32_t v;
    return ParseInt32(s, v) && v >= 0 && v <= 65535;
}

bool IsIntegerText(std::string_view s) {
    int32_t v;
    return ParseInt32(s, v);
}

bool IsSmallIntText(std::string_view s) {
    int32_t v;
    return ParseInt32(s, v) && v >= -32768 && v <= 32767;
}

bool IsLargeIntText(std::string_view s) {
    int64_t v;
    return ParseInt64(s, v);
}

bool IsBooleanText(std::string_view s) {
    std::string t(s);
    return SameNameText(t, "TRUE") || SameNameText(t, "FALSE");
}

bool IsFloatText(std::string_view s) {
    if (!IsNumberText(s, true)) return false;
    return std::isfinite(std::strtod(std::string(s).c_str(), nullptr));
}

bool IsCurrencyText(std::string_view s) {
    if (!IsNumberText(s, true)) return false;
    long double v = std::strtold(std::string(s).c_str(), nullptr);
    return std::fabs(v) * 10000 <= 9223372036854775807.0L;
}

namespace {

// A whole decimal integer text with an optional sign.
bool ReadDecimal(std::string_view s, int& out) {
    size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    if (i >= s.size() || s.size() - i > 9) return false;
    int v = 0;
    for (; i < s.size(); ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
        v = v * 10 + (s[i] - '0');
    }
    out = negative ? -v : v;
    return true;
}

bool IsLeapYear(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int DaysInMonth(int y, int m) {
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeapYear(y) ? 29 : days[m - 1];
}

}  // namespace

bool ReadDateText(std::string_view s, int& year, int& month, int& day) {
    size_t a = s.find('-');
    if (a == std::string_view::npos) return false;
    std::string_view rest = s.substr(a + 1);
    size_t b = rest.find('-');
    if (b == std::string_view::npos) return false;
    if (!ReadDecimal(s.substr(0, a), year) || !ReadDecimal(rest.substr(0, b), month) ||
        !ReadDecimal(rest.substr(b + 1), day))
        return false;
    return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
           day <= DaysInMonth(year, month);
}

bool ReadTimeText(std::string_view s, int& hour, int& minute, int& second, int& millisecond) {
    std::string text(s);
    std::string upper = text;
    for (char& c : upper) c = static_cast<char>(platform::AnsiUpperChar(static_cast<unsigned char>(c)));
    int half = 0;  // 1 before noon, 2 after noon
    size_t p = upper.find("AM");
    if (p != std::string::npos) {
        half = 1;
    } else if ((p = upper.find("PM")) != std::string::npos) {
        half = 2;
    }
    if (half != 0) text.erase(p, 2);
    text = TrimText(text);
    size_t colon = text.find(':');
    if (colon == std::string::npos) return false;
    std::string_view rest = std::string_view(text).substr(colon + 1);
    second = 0;
    millisecond = 0;
    if (!ReadDecimal(std::string_view(text).substr(0, colon), hour)) return false;
    size_t colon2 = rest.find(':');
    if (colon2 == std::string_view::npos) {
        if (!ReadDecimal(rest, minute)) return false;
    } else {
        if (!ReadDecimal(rest.substr(0, colon2), minute)) return false;
        std::string_view sec = rest.substr(colon2 + 1);
        size_t dot = sec.find('.');
        if (dot == std::string_view::npos) {
            if (!ReadDecimal(sec, second)) return false;
        } else if (!ReadDecimal(sec.substr(0, dot), second) ||
                   !ReadDecimal(sec.substr(dot + 1), millisecond)) {
            return false;
        }
    }
    if (half == 1 && hour == 12) hour = 0;
    if (half == 2 && hour != 12) hour += 12;
    return hour >= 0 && hour <= 23 && minute >= 0 && minute <= 59 && second >= 0 && second <= 59 &&
           millisecond >= 0 && millisecond <= 999;
}

bool IsDateText(std::string_view s) {
    int y, m, d;
    return ReadDateText(s, y, m, d);
}

bool IsTimeText(std::string_view s) {
    int h, mi, sec, ms;
    return ReadTimeText(s, h, mi, sec, ms);
}

bool IsTimestampText(std::string_view s) {
    size_t blank = s.find(' ');
    if (blank != std::string_view::npos)
        return IsDateText(s.substr(0, blank)) && IsTimeText(s.substr(blank + 1));
    if (s.find(':') != std::string_view::npos) return IsTimeText(s);
    return IsDateText(s);
}

// ---- Strings ----

std::string TrimText(std::string_view s) {
    return TrimLeftText(TrimRightText(s));
}

std::string TrimLeftText(std::string_view s) {
    size_t i = 0;
    while (i < s.size() && static_cast<unsigned char>(s[i]) <= ' ') ++i;
    return std::string(s.substr(i));
}

std::string TrimRightText(std::string_view s) {
    size_t n = s.size();
    while (n > 0 && static_cast<unsigned char>(s[n - 1]) <= ' ') --n;
    return std::string(s.substr(0, n));
}

std::string CutAtSeparator(std::string& text, std::string_view separator) {
    size_t p = separator.empty() ? std::string::npos : text.find(separator);
    if (p == std::string::npos) {
        std::string part = std::move(text);
        text.clear();
        return part;
    }
    std::string part = text.substr(0, p);
    text.erase(0, p + separator.size());
    return part;
}

std::string PadLeft(std::string_view source, size_t length, char c) {
    if (source.size() >= length) return std::string(source);
    return std::string(length - source.size(), c) + std::string(source);
}

std::string LeftStr(std::string_view s, size_t n) {
    return std::string(s.substr(0, n));
}

std::string RightStr(std::string_view s, size_t n) {
    return std::string(n >= s.size() ? s : s.substr(s.size() - n));
}

size_t LastPos(std::string_view sub, std::string_view s) {
    if (sub.empty() || sub.size() > s.size()) return 0;
    size_t p = s.rfind(sub);
    return p == std::string_view::npos ? 0 : p + 1;
}

void StrTrimLeftChar(char* s, char c) {
    size_t n = 0;
    while (s[n] != '\0' && s[n] == c) ++n;
    if (n > 0) std::memmove(s, s + n, std::strlen(s + n) + 1);
}

void StrTrimRightChar(char* s, char c) {
    size_t n = std::strlen(s);
    while (n > 0 && s[n - 1] == c) s[--n] = '\0';
}

void TrimChar(char* s, char c) {
    StrTrimRightChar(s, c);
    StrTrimLeftChar(s, c);
}

size_t TextPos(std::string_view sub, std::string_view s) {
    if (sub.empty()) return 0;
    size_t p = s.find(sub);
    return p == std::string_view::npos ? 0 : p + 1;
}

size_t TextOccurrences(std::string_view sub, std::string_view s) {
    if (sub.empty()) return 0;
    size_t n = 0;
    for (size_t p = s.find(sub); p != std::string_view::npos; p = s.find(sub, p + sub.size())) ++n;
    return n;
}

size_t ReplacedLength(std::string_view sub, std::string_view repl, std::string_view s) {
    size_t n = TextOccurrences(sub, s);
    if (n == 0) return s.size();
    return s.size() + n * repl.size() - n * sub.size();
}

std::string ReplaceAllText(std::string_view sub, std::string_view repl, std::string_view s) {
    if (sub.empty() || sub == repl) return std::string(s);
    std::string out;
    out.reserve(ReplacedLength(sub, repl, s));
    size_t from = 0;
    for (size_t p = s.find(sub); p != std::string_view::npos; p = s.find(sub, from)) {
        out.append(s.substr(from, p - from));
        out.append(repl);
        from = p + sub.size();
    }
    out.append(s.substr(from));
    return out;
}

bool MatchLike(uint16_t languageId, uint16_t sortId, std::string_view text, std::string_view pattern) {
    size_t t = 0, p = 0;
    bool haveBack = false;
    size_t backText = 0, backPattern = 0;
    auto restIsPercentRun = [&] {
        // The rest of the pattern is one or more "%": it matches any remainder, an empty one too.
        if (p >= pattern.size()) return false;
        for (size_t i = p; i < pattern.size(); ++i)
            if (pattern[i] != '%') return false;
        return true;
    };
    while (!restIsPercentRun()) {
        if (t == text.size() && p == pattern.size()) return true;
        bool matched = false;
        if (t < text.size() || p == pattern.size()) {
            char c = p < pattern.size() ? pattern[p] : '\0';
            if (c == '%') {
                haveBack = true;
                backText = t;
                backPattern = p;
                ++p;
                continue;
            }
            char tc = text[t++];
            if (c != '\0' && (c == '_' || CompareLocaleChar(languageId, sortId, tc, c) == 0)) {
                ++p;
                matched = true;
            }
        }
        if (matched) continue;
        if (!haveBack) return false;
        p = backPattern;
        t = backText + 1;
        haveBack = false;
    }
    return true;
}

std::string RemoveLineBreaks(std::string_view s) {
    std::string out;
    for (char c : s)
        if (c != '\r' && c != '\n') out += c;
    return out;
}

std::string UndoubleQuotes(char quote, std::string_view s) {
    std::string out(s);
    auto isQuote = [&](char c) {
        if (quote == '"' || quote == '\'') return c == quote;
        return c == '"' || c == '\'';
    };
    for (size_t i = out.size(); i >= 2;) {
        if (isQuote(out[i - 1]) && out[i - 2] == out[i - 1]) {
            out.erase(i - 1, 1);
            i -= 2;
        } else {
            i -= 1;
        }
    }
    return out;
}

int CompareCharEntries(uint16_t languageId, uint16_t sortId, char c1, char c2) {
    return CompareLocaleChar(languageId, sortId, c1, c2);
}

int CompareChars(uint16_t languageId, uint16_t sortId, char c1, uint32_t c2) {
    return CompareLocaleChar(languageId, sortId, c1, static_cast<char>(c2 & 0xFF));
}

// ---- Paths and file names ----

namespace {

// Start of the file-name part: after the last "\" or ":".
size_t FileNameStart(std::string_view s) {
    size_t p = s.find_last_of("\\:");
    return p == std::string_view::npos ? 0 : p + 1;
}

// Position of the extension's "." when it comes after the last delimiter, else npos.
size_t ExtensionStart(std::string_view s) {
    size_t dot = s.rfind('.');
    if (dot == std::string_view::npos) return dot;
    size_t slash = s.rfind('\\');
    if (slash != std::string_view::npos && dot < slash) return std::string_view::npos;
    return dot;
}

}  // namespace

std::string SlashesToBackslashes(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c == '/') c = '\\';
    return out;
}

std::string RemoveFileExt(std::string_view name, std::string_view ext) {
    size_t dot = ExtensionStart(name);
    if (dot == std::string_view::npos) return std::string(name);
    if (!ext.empty() && !SameNameText(std::string(name.substr(dot)), std::string(ext)))
        return std::string(name);
    return std::string(name.substr(0, dot));
}

std::string ChangeTableFileExt(std::string_view name, std::string_view oldExt, std::string_view newExt) {
    std::string trimmed = TrimText(name);
    size_t dot = ExtensionStart(trimmed);
    if (dot != std::string::npos && SameNameText(trimmed.substr(dot), std::string(oldExt)))
        return trimmed.substr(0, dot) + std::string(newExt);
    return trimmed + std::string(newExt);
}

std::string AddTrailingBackslash(std::string_view s) {
    std::string t = TrimText(s);
    if (!t.empty() && t.back() != '\\') t += '\\';
    return t;
}

std::string DropTrailingBackslash(std::string_view s) {
    std::string t = TrimText(s);
    if (!t.empty() && t.back() == '\\') t.pop_back();
    return t;
}

std::string DropLeadingBackslash(std::string_view s) {
    std::string t = TrimText(s);
    if (!t.empty() && t.front() == '\\') t.erase(0, 1);
    return t;
}

std::string RemoveTrailingBackslashes(std::string_view s) {
    std::string t = TrimText(s);
    while (!t.empty() && t.back() == '\\') t.pop_back();
    return t;
}

std::string DropLeadingBackslashes(std::string_view s) {
    std::string t = TrimText(s);
    size_t n = 0;
    while (n < t.size() && t[n] == '\\') ++n;
    return t.substr(n);
}

std::string TrimBackslashes(std::string_view s) {
    return DropLeadingBackslashes(RemoveTrailingBackslashes(s));
}

bool HasPathChars(std::string_view s) {
    return s.empty() || s.find(':') != std::string_view::npos || s.find('\\') != std::string_view::npos;
}

std::string ExtractTableName(std::string_view path, std::string_view ext) {
    return RemoveFileExt(path.substr(FileNameStart(path)), ext);
}

// ---- Character classes ----

bool IsIdentStart(char c) {
    auto u = static_cast<unsigned char>(c);
    return (u >= 'A' && u <= 'Z') || u == '_' || (u >= 'a' && u <= 'z') || (u >= 128 && u <= 254);
}

bool IsDigitChar(char c) {
    return c >= '0' && c <= '9';
}

bool IsIdentChar(char c) {
    return IsIdentStart(c) || IsDigitChar(c);
}

bool IsNameExtraChar(char c) {
    return c == '!' || c == '$' || c == '@';
}

bool IsWordBreakChar(char c) {
    switch (c) {
        case '*':
        case '+':
        case ',':
        case '-':
        case '.':
        case '/':
        case ':':
        case ';':
        case '<':
        case '=':
        case '>':
        case '\\':
        case '`':
            return true;
        default:
            return false;
    }
}

}  // namespace dbengine
