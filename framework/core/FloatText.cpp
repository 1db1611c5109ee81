// Floating-point and currency texts: general, exponent, fixed, number and currency forms, pictures,
// and reading texts back.
//
// Every value is first turned into a decimal digit string (Decimal below): a double by its 15
// significant digits, or exactly when it is a whole number below 2^63 (so that byte counts and record
// counts print every digit); a currency amount exactly. Rounding then works on those decimal digits,
// half away from zero, so that 2.675 shows as 2.68 with two decimals, as the user reads it.

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "framework/core/Exception.h"
#include "framework/core/SysUtils.h"

namespace framework {

namespace {

// value = 0.Digits x 10^Exponent. Digits has no leading or trailing zeros; it is empty for zero.
struct Decimal {
    bool Negative = false;
    int Exponent = 0;
    std::string Digits;

    bool IsZero() const { return Digits.empty(); }
    char DigitAt(int i) const {
        return i >= 0 && i < static_cast<int>(Digits.size()) ? Digits[static_cast<std::size_t>(i)] : '0';
    }
};

void Normalize(Decimal& d) {
    const std::size_t first = d.Digits.find_first_not_of('0');
    if (first == std::string::npos) {
        d.Digits.clear();
        d.Exponent = 0;
        return;
    }
    d.Digits.erase(0, first);
    d.Exponent -= static_cast<int>(first);
    d.Digits.erase(d.Digits.find_last_not_of('0') + 1);
}

Decimal FromDouble(double value) {
    Decimal d;
    d.Negative = std::signbit(value);
    const double a = std::fabs(value);
    char buf[64];
    if (a < 9.2e18 && a == std::floor(a)) {
        // Whole numbers below 2^63 are shown exactly.
        auto [end, ec] = std::to_chars(buf, buf + sizeof buf, static_cast<uint64_t>(a));
        d.Digits.assign(buf, end);
        d.Exponent = static_cast<int>(d.Digits.size());
    } else {
        // d.dddddddddddddde+x: 15 significant digits.
        auto [end, ec] = std::to_chars(buf, buf + sizeof buf, a, std::chars_format::scientific, 14);
        *end = 0;
        const char* e = std::strchr(buf, 'e');
        d.Digits.assign(1, buf[0]);
        d.Digits.append(buf + 2, static_cast<std::size_t>(e - (buf + 2)));
        d.Exponent = std::atoi(e + 1) + 1;
    }
    Normalize(d);
    return d;
}

// An extended value by its 18 significant digits, or exactly when it is a whole number below 2^63.
Decimal FromExtended(long double value) {
    Decimal d;
    d.Negative = std::signbit(value);
    const long double a = std::fabs(value);
    char buf[80];
    if (a < 9.2e18L && a == std::floor(a)) {
        auto [end, ec] = std::to_chars(buf, buf + sizeof buf, static_cast<uint64_t>(a));
        d.Digits.assign(buf, end);
        d.Exponent = static_cast<int>(d.Digits.size());
    } else {
        auto [end, ec] = std::to_chars(buf, buf + sizeof buf - 1, a, std::chars_format::scientific, 17);
        *end = 0;
        const char* e = std::strchr(buf, 'e');
        d.Digits.assign(1, buf[0]);
        d.Digits.append(buf + 2, static_cast<std::size_t>(e - (buf + 2)));
        d.Exponent = std::atoi(e + 1) + 1;
    }
    Normalize(d);
    return d;
}

Decimal FromCurrency(Currency value) {
    Decimal d;
    d.Negative = value.Value < 0;
    const uint64_t magnitude =
        d.Negative ? uint64_t(0) - static_cast<uint64_t>(value.Value) : static_cast<uint64_t>(value.Value);
    char buf[32];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, magnitude);
    d.Digits.assign(buf, end);
    d.Exponent = static_cast<int>(d.Digits.size()) - 4;
    Normalize(d);
    return d;
}

// Adds one unit in the place of the last digit.
void Increment(Decimal& d) {
    while (!d.Digits.empty() && d.Digits.back() == '9') d.Digits.pop_back();
    if (d.Digits.empty()) {
        d.Digits.assign(1, '1');
        ++d.Exponent;
    } else {
        ++d.Digits.back();
    }
}

// Keeps the first keep digits, rounding half away from zero on the next one.
void RoundTo(Decimal& d, int keep) {
    if (d.IsZero() || keep >= static_cast<int>(d.Digits.size())) return;
    if (keep < 0) {
        d.Digits.clear();
        d.Exponent = 0;
        return;
    }
    const bool up = d.Digits[static_cast<std::size_t>(keep)] >= '5';
    d.Digits.resize(static_cast<std::size_t>(keep));
    if (up) Increment(d);
    Normalize(d);
}

void RoundToDecimals(Decimal& d, int decimals) {
    RoundTo(d, d.Exponent + decimals);
}

std::string GroupThousands(const std::string& digits) {
    std::string r;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) r += ThousandSeparator;
        r += digits[i];
    }
    return r;
}

std::string IntegerDigits(const Decimal& d) {
    if (d.Exponent <= 0) return "0";
    std::string r;
    for (int i = 0; i < d.Exponent; ++i) r += d.DigitAt(i);
    return r;
}

// The magnitude in fixed notation; d is already rounded.
std::string FixedText(const Decimal& d, int decimals, bool thousands) {
    std::string r = IntegerDigits(d);
    if (thousands) r = GroupThousands(r);
    if (decimals > 0) {
        r += DecimalSeparator;
        for (int k = 0; k < decimals; ++k) r += d.DigitAt(d.Exponent + k);
    }
    return r;
}

std::string ExponentDigits(int exponent, int minDigits) {
    std::string r = std::to_string(std::abs(exponent));
    if (static_cast<int>(r.size()) < minDigits)
        r.insert(0, static_cast<std::size_t>(minDigits) - r.size(), '0');
    return r;
}

std::string GeneralText(Decimal d, int precision, int expDigits) {
    RoundTo(d, precision);
    if (d.IsZero()) return "0";
    std::string r = d.Negative ? "-" : "";
    const int size = static_cast<int>(d.Digits.size());
    if (d.Exponent > precision || d.Exponent < -3) {
        r += d.Digits[0];
        if (size > 1) {
            r += DecimalSeparator;
            r.append(d.Digits, 1);
        }
        const int exponent = d.Exponent - 1;
        r += 'E';
        if (exponent < 0) r += '-';
        r += ExponentDigits(exponent, expDigits);
        return r;
    }
    return r + FixedText(d, std::max(0, size - d.Exponent), false);
}

std::string ExponentText(Decimal d, int precision, int expDigits) {
    RoundTo(d, precision);
    std::string r = d.Negative && !d.IsZero() ? "-" : "";
    r += d.DigitAt(0);
    if (precision > 1) {
        r += DecimalSeparator;
        for (int i = 1; i < precision; ++i) r += d.DigitAt(i);
    }
    const int exponent = d.IsZero() ? 0 : d.Exponent - 1;
    r += 'E';
    r += exponent < 0 ? '-' : '+';
    return r + ExponentDigits(exponent, expDigits);
}

std::string CurrencyText(const std::string& amount, bool negative) {
    const std::string& c = CurrencyString;
    if (!negative) {
        switch (CurrencyFormat) {
            case 1:
                return amount + c;
            case 2:
                return c + " " + amount;
            case 3:
                return amount + " " + c;
            default:
                return c + amount;
        }
    }
    switch (NegCurrFormat) {
        case 1:
            return "-" + c + amount;
        case 2:
            return c + "-" + amount;
        case 3:
            return c + amount + "-";
        case 4:
            return "(" + amount + c + ")";
        case 5:
            return "-" + amount + c;
        case 6:
            return amount + "-" + c;
        case 7:
            return amount + c + "-";
        case 8:
            return "-" + amount + " " + c;
        case 9:
            return "-" + c + " " + amount;
        case 10:
            return amount + " " + c + "-";
        case 11:
            return c + " " + amount + "-";
        case 12:
            return c + " -" + amount;
        case 13:
            return amount + "- " + c;
        case 14:
            return "(" + c + " " + amount + ")";
        case 15:
            return "(" + amount + " " + c + ")";
        default:
            return "(" + c + amount + ")";
    }
}

std::string DecimalToText(Decimal d, TFloatFormat format, int precision, int digits) {
    precision = std::clamp(precision, 1, 19);  // 19: every digit of a currency amount
    switch (format) {
        case ffGeneral:
            return GeneralText(d, precision, std::clamp(digits, 0, 4));
        case ffExponent:
            return ExponentText(d, precision, std::clamp(digits, 0, 4));
        case ffFixed:
        case ffNumber:
        case ffCurrency: {
            digits = std::clamp(digits, 0, 18);
            RoundTo(d, precision);
            if (d.Exponent > precision) return GeneralText(d, precision, 0);
            RoundToDecimals(d, digits);
            const bool negative = d.Negative && !d.IsZero();
            std::string amount = FixedText(d, digits, format != ffFixed);
            if (format == ffCurrency) return CurrencyText(amount, negative);
            return negative ? "-" + amount : amount;
        }
    }
    return {};
}

// ---- Pictures ----

std::vector<std::string_view> SplitSections(std::string_view picture) {
    std::vector<std::string_view> sections;
    std::size_t start = 0;
    char quote = 0;
    for (std::size_t i = 0; i < picture.size(); ++i) {
        const char c = picture[i];
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == ';' && sections.size() < 2) {
            sections.push_back(picture.substr(start, i - start));
            start = i + 1;
        }
    }
    sections.push_back(picture.substr(start));
    return sections;
}

bool IsExponentAt(std::string_view s, std::size_t i) {
    return (s[i] == 'E' || s[i] == 'e') && i + 1 < s.size() && (s[i + 1] == '+' || s[i + 1] == '-');
}

struct PictureShape {
    int IntPlaces = 0;   // '0' and '#' before the decimal point
    int FirstZero = -1;  // index among IntPlaces of the first '0', -1 when none
    int DecPlaces = 0;   // '0' and '#' after the decimal point
    int LastZero = 0;    // decimal places up to and including the last '0'
    bool Thousands = false;
    bool Scientific = false;
    int ExpDigits = 0;
};

PictureShape Analyze(std::string_view section) {
    PictureShape shape;
    bool afterPoint = false;
    char quote = 0;
    for (std::size_t i = 0; i < section.size(); ++i) {
        const char c = section[i];
        if (quote) {
            if (c == quote) quote = 0;
            continue;
        }
        if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '0' || c == '#') {
            if (afterPoint) {
                ++shape.DecPlaces;
                if (c == '0') shape.LastZero = shape.DecPlaces;
            } else {
                if (c == '0' && shape.FirstZero < 0) shape.FirstZero = shape.IntPlaces;
                ++shape.IntPlaces;
            }
        } else if (c == '.') {
            afterPoint = true;
        } else if (c == ',') {
            shape.Thousands = true;
        } else if (IsExponentAt(section, i)) {
            shape.Scientific = true;
            i += 2;
            while (i < section.size() && section[i] == '0' && shape.ExpDigits < 4) ++shape.ExpDigits, ++i;
            break;  // the mantissa's places are all counted
        }
    }
    if (shape.Scientific && shape.IntPlaces + shape.DecPlaces == 0) shape.IntPlaces = 1;  // "E+0" alone
    return shape;
}

struct PictureValue {
    std::string Int;       // integer digits, zero-padded to the forced places
    std::string Fraction;  // decimal digits, trailing zeros dropped down to the forced places
    int Exponent = 0;
};

PictureValue Layout(Decimal d, const PictureShape& shape) {
    PictureValue v;
    if (shape.Scientific) {
        RoundTo(d, shape.IntPlaces + shape.DecPlaces);
        if (!d.IsZero()) {
            v.Exponent = d.Exponent - shape.IntPlaces;
            d.Exponent = shape.IntPlaces;
        }
    } else {
        RoundToDecimals(d, shape.DecPlaces);
    }
    for (int i = 0; i < d.Exponent; ++i) v.Int += d.DigitAt(i);
    const int forced = shape.FirstZero < 0 ? 0 : shape.IntPlaces - shape.FirstZero;
    if (static_cast<int>(v.Int.size()) < forced)
        v.Int.insert(0, static_cast<std::size_t>(forced) - v.Int.size(), '0');
    for (int k = 0; k < shape.DecPlaces; ++k) v.Fraction += d.DigitAt(d.Exponent + k);
    while (static_cast<int>(v.Fraction.size()) > shape.LastZero && v.Fraction.back() == '0')
        v.Fraction.pop_back();
    return v;
}

std::string Render(std::string_view section, const PictureShape& shape, const PictureValue& v) {
    std::string out;
    const int length = static_cast<int>(v.Int.size());
    int position = length;              // integer digits not yet written
    auto writeDigits = [&](int upTo) {  // writes integer digits while more than upTo remain
        while (position > upTo && position > 0) {
            out += v.Int[static_cast<std::size_t>(length - position)];
            --position;
            if (shape.Thousands && position > 0 && position % 3 == 0) out += ThousandSeparator;
        }
    };
    int intPlace = 0, decPlace = 0;
    bool afterPoint = false, afterExponent = false;
    char quote = 0;
    for (std::size_t i = 0; i < section.size(); ++i) {
        const char c = section[i];
        if (quote) {
            if (c == quote)
                quote = 0;
            else
                out += c;
            continue;
        }
        if (c == '"' || c == '\'') {
            quote = c;
        } else if (afterExponent) {
            out += c;  // the picture's places end with the exponent; the rest is plain text
        } else if (c == '0' || c == '#') {
            if (!afterPoint) {
                // The first place also takes every digit the picture has no place for.
                writeDigits(shape.IntPlaces - intPlace - 1);
                ++intPlace;
            } else {
                if (decPlace < static_cast<int>(v.Fraction.size()))
                    out += v.Fraction[static_cast<std::size_t>(decPlace)];
                ++decPlace;
            }
        } else if (c == '.') {
            if (!afterPoint) {
                afterPoint = true;
                writeDigits(0);
                if (!v.Fraction.empty()) out += DecimalSeparator;
            }
        } else if (c == ',') {
            // Thousands separators go where the digits need them, not here.
        } else if (shape.Scientific && IsExponentAt(section, i)) {
            writeDigits(0);
            out += c;
            if (section[i + 1] == '+' || v.Exponent < 0) out += v.Exponent < 0 ? '-' : '+';
            out += ExponentDigits(v.Exponent, shape.ExpDigits);
            i += 2;
            for (int k = 0; k < shape.ExpDigits; ++k) ++i;
            --i;
            afterExponent = true;
        } else {
            out += c;
        }
    }
    writeDigits(0);
    return out;
}

std::string DecimalToPicture(std::string_view picture, const Decimal& value) {
    if (picture.empty()) return GeneralText(value, 15, 0);
    const std::vector<std::string_view> sections = SplitSections(picture);
    auto present = [&](std::size_t i) { return i < sections.size() && !sections[i].empty(); };
    std::size_t chosen = 0;
    if (value.IsZero() && present(2))
        chosen = 2;
    else if (value.Negative && !value.IsZero() && present(1))
        chosen = 1;
    PictureShape shape = Analyze(sections[chosen]);
    PictureValue laid = Layout(value, shape);
    const bool roundedToZero = laid.Int.find_first_not_of('0') == std::string::npos &&
                               laid.Fraction.find_first_not_of('0') == std::string::npos;
    if (roundedToZero && chosen != 2 && present(2)) {
        chosen = 2;
        shape = Analyze(sections[chosen]);
        laid = Layout(Decimal{}, shape);
    }
    std::string text = Render(sections[chosen], shape, laid);
    if (chosen == 0 && value.Negative && !roundedToZero) text.insert(0, 1, '-');
    return text;
}

// ---- Reading ----

const char* SkipBlanks(const char* p, const char* end) {
    while (p < end && *p == ' ') ++p;
    return p;
}

// Checks the shape of a number text and rewrites it with "." as the decimal point. Returns false
// when the text is not a number.
bool NormalizeNumber(std::string_view s, std::string& out) {
    const char* p = SkipBlanks(s.data(), s.data() + s.size());
    const char* end = s.data() + s.size();
    while (end > p && end[-1] == ' ') --end;
    out.clear();
    if (p < end && (*p == '+' || *p == '-')) {
        if (*p == '-') out += '-';
        ++p;
    }
    int digits = 0;
    while (p < end && *p >= '0' && *p <= '9') out += *p++, ++digits;
    if (p < end && *p == DecimalSeparator) {
        out += '.';
        ++p;
        while (p < end && *p >= '0' && *p <= '9') out += *p++, ++digits;
    }
    if (digits == 0) return false;
    if (p < end && (*p == 'E' || *p == 'e')) {
        out += 'e';
        ++p;
        if (p < end && (*p == '+' || *p == '-')) out += *p++;
        int expDigits = 0;
        while (p < end && *p >= '0' && *p <= '9') out += *p++, ++expDigits;
        if (expDigits == 0) return false;
    }
    return p == end;
}

[[noreturn]] void InvalidFloat(std::string_view s) {
    throw EConvertError("'" + std::string(s) + "' is not a valid floating point value");
}

constexpr double kCurrencyLimit = 922337203685477.5807;

}  // namespace

std::string FloatToStr(double value) {
    return FloatToStrF(value, ffGeneral, 15, 0);
}

std::string FloatToStrF(double value, TFloatFormat format, int precision, int digits) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
    return DecimalToText(FromDouble(value), format, std::min(precision, 18), digits);
}

std::string ExtendedToStrF(long double value, TFloatFormat format, int precision, int digits) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
    return DecimalToText(FromExtended(value), format, std::min(precision, 18), digits);
}

std::string CurrToStr(Currency value) {
    return DecimalToText(FromCurrency(value), ffGeneral, 19, 0);
}

std::string CurrToStrF(Currency value, TFloatFormat format, int digits) {
    return DecimalToText(FromCurrency(value), format, 19, digits);
}

std::string FormatFloat(std::string_view picture, double value) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
    return DecimalToPicture(picture, FromDouble(value));
}

std::string FormatCurr(std::string_view picture, Currency value) {
    return DecimalToPicture(picture, FromCurrency(value));
}

bool TextToFloat(std::string_view s, double& value) {
    std::string text;
    if (!NormalizeNumber(s, text)) return false;
    double v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || std::isinf(v)) return false;
    value = v;
    return true;
}

bool TextToExtended(std::string_view s, long double& value) {
    std::string text;
    if (!NormalizeNumber(s, text)) return false;
    long double v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || std::isinf(v)) return false;
    value = v;
    return true;
}

bool TryStrToFloat(std::string_view s, double& value) {
    return TextToFloat(s, value);
}

double StrToFloat(std::string_view s) {
    double v = 0;
    if (!TextToFloat(s, v)) InvalidFloat(s);
    return v;
}

double StrToFloatDef(std::string_view s, double def) {
    double v = 0;
    return TextToFloat(s, v) ? v : def;
}

bool TryFloatToCurr(double value, Currency& result) {
    if (!(std::fabs(value) <= kCurrencyLimit)) return false;
    // Ties to even, as the processor rounds by default.
    const double scaled = std::nearbyint(value * Currency::Scale);
    if (scaled >= 9223372036854775807.0 || scaled < -9223372036854775807.0) return false;
    result = Currency::FromRaw(static_cast<int64_t>(scaled));
    return true;
}

Currency FloatToCurr(double value) {
    Currency c;
    if (!TryFloatToCurr(value, c))
        throw EConvertError(FloatToStr(value) + " is not within the valid range of currency values");
    return c;
}

bool TextToCurr(std::string_view s, Currency& value) {
    std::string text;
    if (!NormalizeNumber(s, text)) return false;
    // Exact decimal reading: digits and a power of ten, then scaled to ten-thousandths.
    Decimal d;
    std::size_t i = 0;
    if (text[i] == '-') d.Negative = true, ++i;
    int pointAt = -1;
    for (; i < text.size() && text[i] != 'e'; ++i) {
        if (text[i] == '.')
            pointAt = static_cast<int>(d.Digits.size());
        else
            d.Digits += text[i];
    }
    d.Exponent = pointAt < 0 ? static_cast<int>(d.Digits.size()) : pointAt;
    if (i < text.size())
        d.Exponent +=
            static_cast<int>(std::clamp(std::strtol(text.c_str() + i + 1, nullptr, 10), -100L, 100L));
    Normalize(d);
    // Ties to even at the fourth decimal, like the conversion from a float.
    const int keep = d.Exponent + 4;
    const int size = static_cast<int>(d.Digits.size());
    if (keep < 0) {
        d = Decimal{};
    } else if (keep < size) {
        const char next = d.Digits[static_cast<std::size_t>(keep)];
        const bool lastOdd = keep > 0 && (d.Digits[static_cast<std::size_t>(keep - 1)] - '0') % 2 == 1;
        const bool up = next > '5' || (next == '5' && (size > keep + 1 || lastOdd));
        d.Digits.resize(static_cast<std::size_t>(keep));
        if (up) Increment(d);
        Normalize(d);
    }
    if (d.IsZero()) {
        value = Currency{};
        return true;
    }
    if (d.Exponent > 15) return false;
    uint64_t magnitude = 0;
    for (int k = 0; k < d.Exponent + 4; ++k)
        magnitude = magnitude * 10 + static_cast<unsigned>(d.DigitAt(k) - '0');
    const uint64_t limit = d.Negative ? uint64_t(1) << 63 : (uint64_t(1) << 63) - 1;
    if (magnitude > limit) return false;
    value = Currency::FromRaw(d.Negative ? static_cast<int64_t>(uint64_t(0) - magnitude)
                                         : static_cast<int64_t>(magnitude));
    return true;
}

Currency StrToCurr(std::string_view s) {
    Currency c;
    if (!TextToCurr(s, c)) InvalidFloat(s);
    return c;
}

Currency StrToCurrDef(std::string_view s, Currency def) {
    Currency c;
    return TextToCurr(s, c) ? c : def;
}

}  // namespace framework
