// The process-wide format settings and their start from the user's locale.

#include <langinfo.h>

#include <clocale>
#include <cstdlib>
#include <string>
#include <string_view>

#include "framework/core/LocalePictures.h"
#include "framework/core/SysUtils.h"
#include "platform/CodePage.h"

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
    CurrencyString.assign(1, '$');
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

namespace {
std::string LayoutToPicture(std::string_view layout, char* separator, int depth);
}  // namespace

std::string PictureFromLayout(std::string_view layout, char* separator) {
    return LayoutToPicture(layout, separator, 0);
}

namespace {

std::string LayoutToPicture(std::string_view layout, char* separator, int depth) {
    std::string r;
    for (std::size_t i = 0; i < layout.size(); ++i) {
        const char c = layout[i];
        if (c != '%' || i + 1 >= layout.size()) {
            const bool isSeparator =
                !(c >= '0' && c <= '9') && !(c >= 'A' && c <= 'Z') && !(c >= 'a' && c <= 'z');
            if (separator && isSeparator && c != ' ') {
                if (*separator == 0) *separator = c;
                r += c == *separator ? '/' : c;
            } else if (!isSeparator) {
                r += '"';  // a letter or digit of the layout is text, not a picture letter
                r += c;
                r += '"';
            } else {
                r += c;
            }
            continue;
        }
        char code = layout[++i];
        while ((code == 'E' || code == 'O' || code == '-' || code == '_' || code == '0') &&
               i + 1 < layout.size())
            code = layout[++i];
        switch (code) {
            case 'd':
                r += "dd";
                break;
            case 'e':
                r += "d";
                break;
            case 'm':
                r += "MM";
                break;
            case 'y':
                r += "yy";
                break;
            case 'Y':
                r += "yyyy";
                break;
            case 'b':
            case 'h':
                r += "MMM";
                break;
            case 'B':
                r += "MMMM";
                break;
            case 'a':
                r += "ddd";
                break;
            case 'A':
                r += "dddd";
                break;
            case 'H':
                r += "hh";
                break;
            case 'k':
                r += "h";
                break;
            case 'I':
                r += "hh";
                break;
            case 'l':
                r += "h";
                break;
            case 'M':
                r += "nn";
                break;
            case 'S':
                r += "ss";
                break;
            case 'p':
            case 'P':
                r += "AMPM";
                break;
            case 'D':
                r += depth < 2 ? LayoutToPicture("%m/%d/%y", separator, depth + 1) : "";
                break;
            case 'F':
                r += depth < 2 ? LayoutToPicture("%Y-%m-%d", separator, depth + 1) : "";
                break;
            case 'T':
                r += depth < 2 ? LayoutToPicture("%H:%M:%S", separator, depth + 1) : "";
                break;
            case 'R':
                r += depth < 2 ? LayoutToPicture("%H:%M", separator, depth + 1) : "";
                break;
            case 'r':
                r += depth < 2 ? LayoutToPicture("%I:%M:%S %p", separator, depth + 1) : "";
                break;
            case '%':
                r += '%';
                break;
            default:
                break;  // fields the pictures have no letter for are left out
        }
    }
    return r;
}

// The locale the user chose for a category, by the usual precedence of the environment; empty for
// the plain C locale, which gives the United States settings here.
std::string UserLocaleName(const char* category) {
    for (const char* variable : {"LC_ALL", category, "LANG"}) {
        const char* value = std::getenv(variable);
        if (value && *value) {
            const std::string name = value;
            if (name == "C" || name == "POSIX" || name.rfind("C.", 0) == 0) return {};
            return name;
        }
    }
    return {};
}

// A locale text (UTF-8) in the system's code page.
std::string LocaleText(locale_t locale, nl_item item) {
    return platform::Utf8ToAnsi(nl_langinfo_l(item, locale));
}

void TimeSettingsFromLocale(locale_t locale) {
    char dateSeparator = 0;
    const std::string shortDate = PictureFromLayout(LocaleText(locale, D_FMT), &dateSeparator);
    if (!shortDate.empty()) {
        ShortDateFormat = shortDate;
        if (dateSeparator) DateSeparator = dateSeparator;
    }
    std::string longTime = PictureFromLayout(LocaleText(locale, T_FMT), nullptr);
    if (!longTime.empty()) {
        if (const std::size_t colon = longTime.find(':'); colon != std::string::npos) TimeSeparator = ':';
        LongTimeFormat = longTime;
        // The short form is the long one without its seconds.
        std::string shortTime = longTime;
        if (const std::size_t at = shortTime.find(":ss"); at != std::string::npos) shortTime.erase(at, 3);
        ShortTimeFormat = shortTime;
    }
    if (std::string am = LocaleText(locale, AM_STR); !am.empty()) TimeAMString = am;
    if (std::string pm = LocaleText(locale, PM_STR); !pm.empty()) TimePMString = pm;
    for (int i = 0; i < 12; ++i) {
        if (std::string name = LocaleText(locale, static_cast<nl_item>(MON_1 + i)); !name.empty())
            LongMonthNames[i] = name;
        if (std::string name = LocaleText(locale, static_cast<nl_item>(ABMON_1 + i)); !name.empty())
            ShortMonthNames[i] = name;
    }
    for (int i = 0; i < 7; ++i) {
        if (std::string name = LocaleText(locale, static_cast<nl_item>(DAY_1 + i)); !name.empty())
            LongDayNames[i] = name;
        if (std::string name = LocaleText(locale, static_cast<nl_item>(ABDAY_1 + i)); !name.empty())
            ShortDayNames[i] = name;
    }
}

void MoneySettingsFromLocale(locale_t locale) {
    // The currency symbol comes with a mark of its place: "-" before the amount, "+" after it.
    const std::string symbol = LocaleText(locale, CRNCYSTR);
    if (symbol.size() < 2) return;
    CurrencyString = symbol.substr(1);
    if (symbol[0] == '+') {
        CurrencyFormat = 3;  // "1 $"
        NegCurrFormat = 8;   // "-1 $"
    } else if (symbol[0] == '-') {
        CurrencyFormat = 0;  // "$1"
        NegCurrFormat = 1;   // "-$1"
    }
}

}  // namespace

void GetFormatSettings() {
    ResetFormatSettings();
    // Each group follows the user's locale for its category when one is chosen; the plain C locale
    // keeps the United States settings.
    if (!UserLocaleName("LC_NUMERIC").empty()) {
        if (locale_t locale = newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(0))) {
            DecimalSeparator = SeparatorOr(nl_langinfo_l(RADIXCHAR, locale), '.');
            ThousandSeparator =
                SeparatorOr(nl_langinfo_l(THOUSEP, locale), DecimalSeparator == ',' ? '.' : ',');
            freelocale(locale);
        }
    }
    if (!UserLocaleName("LC_TIME").empty()) {
        if (locale_t locale = newlocale(LC_TIME_MASK, "", static_cast<locale_t>(0))) {
            TimeSettingsFromLocale(locale);
            freelocale(locale);
        }
    }
    if (!UserLocaleName("LC_MONETARY").empty()) {
        if (locale_t locale = newlocale(LC_MONETARY_MASK, "", static_cast<locale_t>(0))) {
            MoneySettingsFromLocale(locale);
            freelocale(locale);
        }
    }
}

namespace {
// Runs after the settings above are constructed (same unit, later definition).
const bool settingsFromLocale = (GetFormatSettings(), true);
}  // namespace

}  // namespace framework
