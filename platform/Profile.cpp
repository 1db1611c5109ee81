#include "platform/Profile.h"

#include "platform/CodePage.h"

namespace platform {

namespace {

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && AnsiUpperString(a) == AnsiUpperString(b);
}

}  // namespace

std::optional<std::string> IntlProfileValue(const TRegionalSettings& s, std::string_view keyName) {
    const struct {
        const char* name;
        const std::string* text;
        const int32_t* number;
    } keys[] = {
        {"sDecimal", &s.sDecimal, nullptr},
        {"sThousand", &s.sThousand, nullptr},
        {"iCurrDigits", nullptr, &s.iCurrDigits},
        {"iNegCurr", nullptr, &s.iNegCurr},
        {"sList", &s.sList, nullptr},
        {"sCountry", &s.sCountry, nullptr},
        {"sCurrency", &s.sCurrency, nullptr},
        {"iCurrency", nullptr, &s.iCurrency},
        {"iTLZero", nullptr, &s.iTLZero},
        {"iTime", nullptr, &s.iTime},
        {"sTime", &s.sTime, nullptr},
        {"sDate", &s.sDate, nullptr},
        {"s1159", &s.s1159, nullptr},
        {"s2359", &s.s2359, nullptr},
        {"sShortDate", &s.sShortDate, nullptr},
        {"sLongDate", &s.sLongDate, nullptr},
        {"iDate", nullptr, &s.iDate},
    };
    for (const auto& key : keys) {
        if (!SameName(key.name, keyName)) continue;
        return key.text ? *key.text : std::to_string(*key.number);
    }
    return std::nullopt;
}

std::string GetProfileString(std::string_view appName, std::string_view keyName, std::string_view deflt) {
    if (SameName(appName, "intl"))
        if (std::optional<std::string> value = IntlProfileValue(RegionalSettings(), keyName)) return *value;
    return std::string(deflt);
}

int32_t GetProfileInt(std::string_view appName, std::string_view keyName, int32_t deflt) {
    if (!SameName(appName, "intl")) return deflt;
    const std::optional<std::string> value = IntlProfileValue(RegionalSettings(), keyName);
    if (!value) return deflt;
    std::size_t i = 0;
    while (i < value->size() && ((*value)[i] == ' ' || (*value)[i] == '\t')) ++i;
    int64_t n = 0;
    for (; i < value->size() && (*value)[i] >= '0' && (*value)[i] <= '9'; ++i) {
        n = n * 10 + ((*value)[i] - '0');
        if (n > INT32_MAX) return INT32_MAX;
    }
    return static_cast<int32_t>(n);
}

}  // namespace platform
