// Integer texts: decimal and hexadecimal forms and reading them back.

#include <charconv>
#include <limits>
#include <string>

#include "framework/core/Exception.h"
#include "framework/core/SysUtils.h"

namespace framework {

namespace {

// Reads an integer text into its sign and magnitude; false when the text is not an integer or its
// magnitude exceeds limit.
bool ParseInteger(std::string_view s, uint64_t limitPositive, uint64_t limitNegative, bool& negative,
                  uint64_t& magnitude) {
    std::size_t i = 0;
    while (i < s.size() && s[i] == ' ') ++i;
    negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    unsigned base = 10;
    if (i < s.size() && s[i] == '$') {
        base = 16;
        ++i;
    } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i == s.size()) return false;
    const uint64_t limit = negative ? limitNegative : limitPositive;
    magnitude = 0;
    for (; i < s.size(); ++i) {
        const char c = s[i];
        unsigned digit;
        if (c >= '0' && c <= '9')
            digit = static_cast<unsigned>(c - '0');
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = static_cast<unsigned>(c - 'a' + 10);
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = static_cast<unsigned>(c - 'A' + 10);
        else
            return false;
        if (magnitude > (limit - digit) / base) return false;
        magnitude = magnitude * base + digit;
    }
    return true;
}

[[noreturn]] void InvalidInteger(std::string_view s) {
    throw EConvertError("'" + std::string(s) + "' is not a valid integer value");
}

}  // namespace

std::string IntToStr(int32_t value) {
    return std::to_string(value);
}
std::string IntToStr(int64_t value) {
    return std::to_string(value);
}

std::string IntToHex(int64_t value, int digits) {
    char buf[32];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, static_cast<uint64_t>(value), 16);
    std::string r(buf, end);
    for (char& c : r) c = AnsiUpperChar(c);
    if (static_cast<int>(r.size()) < digits) r.insert(0, static_cast<std::size_t>(digits) - r.size(), '0');
    return r;
}

std::string IntToHex(int32_t value, int digits) {
    return IntToHex(static_cast<int64_t>(static_cast<uint32_t>(value)), digits);
}

bool TryStrToInt64(std::string_view s, int64_t& value) {
    bool negative;
    uint64_t magnitude;
    if (!ParseInteger(s, uint64_t(std::numeric_limits<int64_t>::max()), uint64_t(1) << 63, negative,
                      magnitude))
        return false;
    value = negative ? static_cast<int64_t>(uint64_t(0) - magnitude) : static_cast<int64_t>(magnitude);
    return true;
}

bool TryStrToInt(std::string_view s, int32_t& value) {
    bool negative;
    uint64_t magnitude;
    if (!ParseInteger(s, uint64_t(std::numeric_limits<int32_t>::max()), uint64_t(1) << 31, negative,
                      magnitude))
        return false;
    value =
        static_cast<int32_t>(negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude));
    return true;
}

int32_t StrToInt(std::string_view s) {
    int32_t v;
    if (!TryStrToInt(s, v)) InvalidInteger(s);
    return v;
}

int64_t StrToInt64(std::string_view s) {
    int64_t v;
    if (!TryStrToInt64(s, v)) InvalidInteger(s);
    return v;
}

int32_t StrToIntDef(std::string_view s, int32_t def) {
    int32_t v;
    return TryStrToInt(s, v) ? v : def;
}

int64_t StrToInt64Def(std::string_view s, int64_t def) {
    int64_t v;
    return TryStrToInt64(s, v) ? v : def;
}

}  // namespace framework
