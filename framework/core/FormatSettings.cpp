// The process-wide format settings and their start from the user's locale.

#include <langinfo.h>

#include <clocale>
#include <cstdlib>
#include <string>

#include "framework/core/SysUtils.h"

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

// A single-byte separator of the locale, or the fallback when the locale gives none or a character
// outside ASCII (whose encoding in the code page would be a guess).
char SeparatorOr(const char* text, char fallback) {
    if (text && text[0] && !text[1] && static_cast<unsigned char>(text[0]) < 0x80) return text[0];
    return fallback;
}

}  // namespace

void ResetFormatSettings() {
    DecimalSeparator = '.';
    ThousandSeparator = ',';
    CurrencyString = "$";
    CurrencyFormat = 0;
    NegCurrFormat = 0;
    CurrencyDecimals = 2;
    DateSeparator = '/';
    TimeSeparator = ':';
    ShortDateFormat = "M/d/yyyy";
    LongDateFormat = "dddd, MMMM d, yyyy";
    ShortTimeFormat = "h:mm AMPM";
    LongTimeFormat = "h:mm:ss AMPM";
    TimeAMString = "AM";
    TimePMString = "PM";
    static const char* const shortMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    static const char* const longMonths[12] = {"January",   "February", "March",    "April",
                                               "May",       "June",     "July",     "August",
                                               "September", "October",  "November", "December"};
    static const char* const shortDays[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const longDays[7] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                            "Thursday", "Friday", "Saturday"};
    for (int i = 0; i < 12; ++i) {
        ShortMonthNames[i] = shortMonths[i];
        LongMonthNames[i] = longMonths[i];
    }
    for (int i = 0; i < 7; ++i) {
        ShortDayNames[i] = shortDays[i];
        LongDayNames[i] = longDays[i];
    }
    TwoDigitYearCenturyWindow = 50;
}

void GetFormatSettings() {
    ResetFormatSettings();
    // Numbers follow the user's numeric locale when it names one; the program keeps month and day
    // names in English, since its stored texts and reports are English.
    locale_t locale = newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(0));
    if (locale != static_cast<locale_t>(0)) {
        DecimalSeparator = SeparatorOr(nl_langinfo_l(RADIXCHAR, locale), '.');
        ThousandSeparator = SeparatorOr(nl_langinfo_l(THOUSEP, locale), DecimalSeparator == ',' ? '.' : ',');
        freelocale(locale);
    }
}

namespace {
// Runs after the settings above are constructed (same unit, later definition).
const bool settingsFromLocale = (GetFormatSettings(), true);
}  // namespace

}  // namespace framework
