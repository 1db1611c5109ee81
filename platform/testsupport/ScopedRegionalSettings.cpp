#include "platform/testsupport/ScopedRegionalSettings.h"

namespace platform::testsupport {

ScopedRegionalSettings::ScopedRegionalSettings(const TRegionalSettings& settings)
    : saved_(SetRegionalSettings(settings)) {}

ScopedRegionalSettings::~ScopedRegionalSettings() {
    SetRegionalSettings(saved_);
}

std::optional<std::string> TTableLocaleSource::Text(nl_item item) const {
    auto it = Texts.find(item);
    if (it == Texts.end()) return std::nullopt;
    return it->second;
}

std::optional<int> TTableLocaleSource::Number(nl_item item) const {
    auto it = Numbers.find(item);
    if (it == Numbers.end()) return std::nullopt;
    return it->second;
}

TTableLocaleSource GermanLocale() {
    TTableLocaleSource l;
    l.Texts = {
        {RADIXCHAR, ","},
        {THOUSEP, "."},
        {CURRENCY_SYMBOL, "\u20AC"},
        {_NL_ADDRESS_COUNTRY_NAME, "Deutschland"},
        {D_FMT, "%-d.%-m.%Y"},
        {T_FMT, "%T"},
        {AM_STR, ""},
        {PM_STR, ""},
    };
    l.Numbers = {{FRAC_DIGITS, 2},   {P_CS_PRECEDES, 0},  {P_SEP_BY_SPACE, 1},
                 {N_CS_PRECEDES, 0}, {N_SEP_BY_SPACE, 1}, {N_SIGN_POSN, 1}};
    const char* const months[12] = {"Januar", "Februar", "M\u00E4rz", "April",   "Mai",      "Juni",
                                    "Juli",   "August",  "September", "Oktober", "November", "Dezember"};
    const char* const abbrevMonths[12] = {"Jan", "Feb", "M\u00E4r", "Apr", "Mai", "Jun",
                                          "Jul", "Aug", "Sep",      "Okt", "Nov", "Dez"};
    const char* const days[7] = {"Sonntag",    "Montag",  "Dienstag", "Mittwoch",
                                 "Donnerstag", "Freitag", "Samstag"};
    const char* const abbrevDays[7] = {"So", "Mo", "Di", "Mi", "Do", "Fr", "Sa"};
    for (int i = 0; i < 12; ++i) {
        l.Texts[static_cast<nl_item>(MON_1 + i)] = months[i];
        l.Texts[static_cast<nl_item>(ABMON_1 + i)] = abbrevMonths[i];
    }
    for (int i = 0; i < 7; ++i) {
        l.Texts[static_cast<nl_item>(DAY_1 + i)] = days[i];
        l.Texts[static_cast<nl_item>(ABDAY_1 + i)] = abbrevDays[i];
    }
    return l;
}

TRegionalSettings GermanRegionalSettings() {
    return RegionalSettingsFromLocale(GermanLocale());
}

}  // namespace platform::testsupport
