// The process-wide format settings and their start from the user's regional settings.

#include <string>

#include "framework/core/SysUtils.h"
#include "platform/RegionalSettings.h"

namespace framework {

char DecimalSeparator = '.';
char ThousandSeparator = ',';
std::string CurrencyString = "$";
uint8_t CurrencyFormat = 0;
uint8_t NegCurrFormat = 0;
uint8_t CurrencyDecimals = 2;
char DateSeparator = '/';
char TimeSeparator = ':';
std::string ShortDateFormat = "M/d/yyyy";
std::string LongDateFormat = "dddd, MMMM d, yyyy";
std::string ShortTimeFormat = "h:mm AMPM";
std::string LongTimeFormat = "h:mm:ss AMPM";
std::string TimeAMString = "AM";
std::string TimePMString = "PM";
std::string ShortMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
std::string LongMonthNames[12] = {"January", "February", "March",     "April",   "May",      "June",
                                  "July",    "August",   "September", "October", "November", "December"};
std::string ShortDayNames[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
std::string LongDayNames[7] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
int TwoDigitYearCenturyWindow = 50;

namespace {

char FirstOr(const std::string& text, char fallback) {
    return text.empty() ? fallback : text[0];
}

// The settings follow one set of regional settings. A short date picture writes the date separator
// as "/" (outside quoted text); the time formats are built from the clock and the leading zero.
void FormatSettingsFrom(const platform::TRegionalSettings& r) {
    DecimalSeparator = FirstOr(r.sDecimal, '.');
    ThousandSeparator = FirstOr(r.sThousand, ',');
    CurrencyString = r.sCurrency;
    CurrencyFormat = static_cast<uint8_t>(r.iCurrency);
    NegCurrFormat = static_cast<uint8_t>(r.iNegCurr);
    CurrencyDecimals = static_cast<uint8_t>(r.iCurrDigits);
    DateSeparator = FirstOr(r.sDate, '/');
    TimeSeparator = FirstOr(r.sTime, ':');
    ShortDateFormat.clear();
    char quote = 0;
    for (char c : r.sShortDate) {
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '\'' || c == '"') {
            quote = c;
        } else if (c == DateSeparator) {
            c = '/';
        }
        ShortDateFormat += c;
    }
    LongDateFormat = r.sLongDate;
    const std::string hours = r.iTLZero ? "hh" : "h";
    const std::string suffix = r.iTime == 0 ? " AMPM" : "";
    ShortTimeFormat = hours + ":mm" + suffix;
    LongTimeFormat = hours + ":mm:ss" + suffix;
    TimeAMString = r.s1159;
    TimePMString = r.s2359;
    for (int i = 0; i < 12; ++i) {
        LongMonthNames[i] = r.MonthNames[i];
        ShortMonthNames[i] = r.AbbrevMonthNames[i];
    }
    for (int i = 0; i < 7; ++i) {
        LongDayNames[i] = r.DayNames[i];
        ShortDayNames[i] = r.AbbrevDayNames[i];
    }
}

}  // namespace

void ResetFormatSettings() {
    FormatSettingsFrom(platform::UnitedStatesRegionalSettings());
    TwoDigitYearCenturyWindow = 50;
}

void GetFormatSettings() {
    FormatSettingsFrom(platform::RegionalSettings());
    TwoDigitYearCenturyWindow = 50;
}

namespace {
// Runs after the settings above are constructed (same unit, later definition).
const bool settingsFromLocale = (GetFormatSettings(), true);
}  // namespace

}  // namespace framework
