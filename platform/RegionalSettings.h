#pragma once
// The user's regional settings: separators, currency, date and time layout, month and day names.
//
// One source answers every reader: the [intl] section of the profile (Profile.h), the short date of
// HKEY_CURRENT_USER "Control Panel\International" (Registry.h) and the class library's format
// settings. The settings follow the process locale, chosen by the environment as the C library
// chooses it (LC_ALL, then the category's variable, then LANG): numbers from LC_NUMERIC, currency
// from LC_MONETARY, dates, times and names from LC_TIME, the country from LC_ADDRESS. Texts are in
// Windows-1252; a character the code page cannot hold comes in as "?".
//
// A category left at the plain C locale ("C", "POSIX", "C.UTF-8" or unset) gives the United States
// values of UnitedStatesRegionalSettings; that is what a test run in CI sees.
//
// A test may replace the settings as a whole (SetRegionalSettings, or ScopedRegionalSettings of the
// test support); until it puts them back every reader sees its values.

#include <langinfo.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

struct TRegionalSettings {
    std::string sDecimal;    // decimal separator
    std::string sThousand;   // thousands separator, never equal to sDecimal
    int32_t iCurrDigits;     // digits after the decimal separator in currency amounts
    int32_t iNegCurr;        // negative currency pattern 0..15: 0 "($1)", 1 "-$1", 2 "$-1", 3 "$1-",
                             // 4 "(1$)", 5 "-1$", 6 "1-$", 7 "1$-", 8 "-1 $", 9 "-$ 1", 10 "1 $-",
                             // 11 "$ 1-", 12 "$ -1", 13 "1- $", 14 "($ 1)", 15 "(1 $)"
    std::string sList;       // list separator: ";" where the decimal separator is ",", else ","
    std::string sCountry;    // country name
    std::string sCurrency;   // currency symbol
    int32_t iCurrency;       // placement of the symbol: 0 "$1", 1 "1$", 2 "$ 1", 3 "1 $"
    int32_t iTLZero;         // 1 when hours are shown with a leading zero
    int32_t iTime;           // 0 for a 12-hour clock (with s1159 / s2359), 1 for a 24-hour clock
    std::string sTime;       // time separator
    std::string sDate;       // date separator
    std::string s1159;       // text of the hours before noon (may be empty on a 24-hour clock)
    std::string s2359;       // text of the hours after noon
    std::string sShortDate;  // short date picture with the separator itself ("dd.MM.yyyy")
    std::string sLongDate;   // long date picture ("dddd, MMMM d, yyyy")
    int32_t iDate;           // order of the short date: 0 month-day-year, 1 day-month-year, 2 year-month-day
    std::array<std::string, 12> MonthNames;  // January first
    std::array<std::string, 12> AbbrevMonthNames;
    std::array<std::string, 7> DayNames;  // Sunday first
    std::array<std::string, 7> AbbrevDayNames;

    bool operator==(const TRegionalSettings&) const = default;
};

// The values of a process without a chosen locale:
//   sDecimal "." sThousand "," iCurrDigits 2 iNegCurr 0 sList "," sCountry "United States"
//   sCurrency "$" iCurrency 0 iTLZero 0 iTime 0 sTime ":" sDate "/" s1159 "AM" s2359 "PM"
//   sShortDate "M/d/yyyy" sLongDate "dddd, MMMM d, yyyy" iDate 0, English month and day names.
TRegionalSettings UnitedStatesRegionalSettings();

// What the derivation reads of a locale. Items are those of nl_langinfo; an item belongs to the
// locale the user chose for its category.
class TLocaleSource {
public:
    virtual ~TLocaleSource() = default;
    // The item's text in UTF-8; nothing when no locale is chosen for its category.
    virtual std::optional<std::string> Text(nl_item item) const = 0;
    // A one-byte number item (FRAC_DIGITS, P_CS_PRECEDES, ...); nothing when no locale is chosen
    // for its category or the locale leaves it unspecified.
    virtual std::optional<int> Number(nl_item item) const = 0;
};

// The settings a locale gives; whatever it leaves out keeps its United States value. A separator
// the locale leaves empty, and a thousands separator equal to the decimal one, become whichever of
// "," and "." differs from the decimal separator. The long date lists day, month and year in the
// order of the short date: "dddd, MMMM d, yyyy", "dddd, d MMMM yyyy" or "dddd, yyyy MMMM d".
TRegionalSettings RegionalSettingsFromLocale(const TLocaleSource& source);

// The locale's C-library date layout ("%d.%m.%Y") as a short date picture ("dd.MM.yyyy"), letters
// of the layout quoted ("'de'"); *separator receives the first separator character met (empty when
// the layout has none besides blanks) and *order the iDate of the fields' order.
std::string ShortDateFromLayout(std::string_view layout, std::string* separator, int32_t* order);

// The settings in force: the test's replacement when one is set, otherwise those of the process
// locale (derived again whenever the environment chooses another locale).
TRegionalSettings RegionalSettings();
// Replaces the settings as a whole; nothing puts back those of the process locale. Returns the
// replacement that was in force before.
std::optional<TRegionalSettings> SetRegionalSettings(std::optional<TRegionalSettings> settings);

}  // namespace platform
