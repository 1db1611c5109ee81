// Locale texts that become regional settings: date and time layouts, separators, currency and
// names, as the C library's locale files give them. The input is cut at NUL bytes into the items.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <string_view>

#include "platform/Profile.h"
#include "platform/RegionalSettings.h"

namespace {

class FuzzLocale final : public platform::TLocaleSource {
public:
    std::map<nl_item, std::string> texts;
    std::map<nl_item, int> numbers;
    std::optional<std::string> Text(nl_item item) const override {
        auto it = texts.find(item);
        if (it == texts.end()) return std::nullopt;
        return it->second;
    }
    std::optional<int> Number(nl_item item) const override {
        auto it = numbers.find(item);
        if (it == numbers.end()) return std::nullopt;
        return it->second;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::string separator;
    int32_t order = -1;
    const std::string picture = platform::ShortDateFromLayout(input, &separator, &order);
    // Every layout byte gives at most five picture bytes ("%F" → "yyyy-MM-dd", "a" → "'a'").
    if (picture.size() > 5 * input.size() + 2 || order < 0 || order > 2 || separator.size() > 1) std::abort();

    static const nl_item kTexts[] = {D_FMT,  T_FMT,  RADIXCHAR, THOUSEP, CURRENCY_SYMBOL,
                                     AM_STR, PM_STR, MON_1,     ABDAY_1, _NL_ADDRESS_COUNTRY_NAME};
    static const nl_item kNumbers[] = {FRAC_DIGITS,   P_CS_PRECEDES,  P_SEP_BY_SPACE,
                                       N_CS_PRECEDES, N_SEP_BY_SPACE, N_SIGN_POSN};
    FuzzLocale locale;
    std::size_t at = 0;
    for (nl_item item : kTexts) {
        if (at > input.size()) break;
        const std::size_t end = std::min(input.find('\0', at), input.size());
        locale.texts[item] = std::string(input.substr(at, end - at));
        at = end + 1;
    }
    for (nl_item item : kNumbers) {
        if (at >= input.size()) break;
        locale.numbers[item] = static_cast<unsigned char>(input[at++]) % 128;
    }
    const platform::TRegionalSettings s = platform::RegionalSettingsFromLocale(locale);
    if (s.sThousand == s.sDecimal || s.sDecimal.empty() || s.iDate < 0 || s.iDate > 2) std::abort();
    if (s.iCurrency < 0 || s.iCurrency > 3 || s.iNegCurr < 0 || s.iNegCurr > 15) std::abort();
    if (s.iCurrDigits < 0 || s.iCurrDigits > 9) std::abort();
    if (!platform::IntlProfileValue(s, "sShortDate")) std::abort();
    return 0;
}
