#include "platform/RegionalSettings.h"

#include <gtest/gtest.h>

#include <filesystem>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

#include "platform/Profile.h"
#include "platform/Registry.h"
#include "platform/testsupport/ScopedRegionalSettings.h"
#include "platform/testsupport/UserEnv.h"

namespace platform {
namespace {

using testsupport::GermanLocale;
using testsupport::GermanRegionalSettings;
using testsupport::ScopedRegionalSettings;
using testsupport::ScopedUserEnv;
using testsupport::TTableLocaleSource;

TEST(RegionalSettings, DateLayoutsBecomeShortDatePictures) {
    struct Case {
        const char* layout;
        const char* picture;
        const char* separator;
        int32_t order;
    } cases[] = {
        {"%m/%d/%Y", "MM/dd/yyyy", "/", 0},
        {"%d.%m.%Y", "dd.MM.yyyy", ".", 1},
        {"%-d.%-m.%Y", "d.M.yyyy", ".", 1},
        {"%Y-%m-%d", "yyyy-MM-dd", "-", 2},
        {"%F", "yyyy-MM-dd", "-", 2},
        {"%D", "MM/dd/yy", "/", 0},
        {"%e %b %Y", "d MMM yyyy", "", 1},  // no separator besides blanks
        {"%Od.%Om.%EY", "dd.MM.yyyy", ".", 1},
        {"%d de %B de %Y", "dd 'de' MMMM 'de' yyyy", "", 1},  // letters of the layout stay text
        {"%A %d/%m/%y %H:%M", "dddd dd/MM/yy :", "/", 1},     // fields a date has no letters for go
        {"%d%%%m", "dd%MM", "%", 1},
        {"", "", "", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.layout);
        std::string separator = "x";
        int32_t order = -1;
        EXPECT_EQ(ShortDateFromLayout(c.layout, &separator, &order), c.picture);
        EXPECT_EQ(separator, c.separator);
        EXPECT_EQ(order, c.order);
    }
}

TEST(RegionalSettings, TimeLayoutsGiveClockLeadingZeroAndSeparator) {
    struct Case {
        const char* layout;
        int32_t iTime;
        int32_t iTLZero;
        const char* sTime;
    } cases[] = {
        {"%H:%M:%S", 1, 1, ":"}, {"%T", 1, 1, ":"},    {"%r", 0, 1, ":"},     {"%l:%M:%S %p", 0, 0, ":"},
        {"%k.%M", 1, 0, "."},    {"%Hh%M", 1, 1, "h"}, {"%-H:%M", 1, 0, ":"}, {"%p %I:%M", 0, 1, ":"},
        {"%Z", 0, 0, ":"},  // no hour: the United States values stay
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.layout);
        TTableLocaleSource source;
        source.Texts[T_FMT] = c.layout;
        const TRegionalSettings s = RegionalSettingsFromLocale(source);
        EXPECT_EQ(s.iTime, c.iTime);
        EXPECT_EQ(s.iTLZero, c.iTLZero);
        EXPECT_EQ(s.sTime, c.sTime);
    }
}

TEST(RegionalSettings, CurrencyPlacementFollowsTheMonetaryLocale) {
    struct Case {
        int pPrecedes, pBlank, nPrecedes, nBlank, nSign;
        int32_t iCurrency, iNegCurr;
    } cases[] = {
        {1, 0, 1, 0, 1, 0, 1},   // "$1" "-$1"
        {1, 0, 1, 0, 0, 0, 0},   // "($1)"
        {1, 0, 1, 0, 4, 0, 2},   // "$-1"
        {1, 0, 1, 0, 2, 0, 3},   // "$1-"
        {0, 0, 0, 0, 0, 1, 4},   // "1$" "(1$)"
        {0, 0, 0, 0, 3, 1, 6},   // "1-$"
        {0, 1, 0, 1, 1, 3, 8},   // "1 $" "-1 $"
        {1, 1, 1, 1, 1, 2, 9},   // "$ 1" "-$ 1"
        {0, 1, 0, 1, 2, 3, 10},  // "1 $-"
        {1, 1, 1, 2, 4, 2, 12},  // "$ -1" (a blank between sign and symbol counts as a blank)
        {0, 1, 0, 1, 3, 3, 13},  // "1- $"
        {1, 1, 1, 1, 0, 2, 14},  // "($ 1)"
        {0, 1, 0, 1, 0, 3, 15},  // "(1 $)"
    };
    for (const auto& c : cases) {
        TTableLocaleSource source;
        source.Numbers = {{P_CS_PRECEDES, c.pPrecedes},
                          {P_SEP_BY_SPACE, c.pBlank},
                          {N_CS_PRECEDES, c.nPrecedes},
                          {N_SEP_BY_SPACE, c.nBlank},
                          {N_SIGN_POSN, c.nSign}};
        const TRegionalSettings s = RegionalSettingsFromLocale(source);
        EXPECT_EQ(s.iCurrency, c.iCurrency) << c.pPrecedes << c.pBlank;
        EXPECT_EQ(s.iNegCurr, c.iNegCurr) << c.nPrecedes << c.nBlank << c.nSign;
    }
}

TEST(RegionalSettings, GermanLocaleArrivesInWindows1252) {
    const TRegionalSettings s = GermanRegionalSettings();
    EXPECT_EQ(s.sShortDate, "d.M.yyyy");
    EXPECT_EQ(s.sDate, ".");
    EXPECT_EQ(s.iDate, 1);
    EXPECT_EQ(s.sLongDate, "dddd, d MMMM yyyy");
    EXPECT_EQ(s.sDecimal, ",");
    EXPECT_EQ(s.sThousand, ".");
    EXPECT_EQ(s.sList, ";");
    EXPECT_EQ(s.sCurrency, "\x80") << "the euro sign of the code page";
    EXPECT_EQ(s.iCurrency, 3);
    EXPECT_EQ(s.iNegCurr, 8);
    EXPECT_EQ(s.iCurrDigits, 2);
    EXPECT_EQ(s.sCountry, "Deutschland");
    EXPECT_EQ(s.iTime, 1);
    EXPECT_EQ(s.iTLZero, 1);
    EXPECT_EQ(s.sTime, ":");
    EXPECT_EQ(s.s1159, "") << "a 24-hour clock keeps the locale's empty texts";
    EXPECT_EQ(s.s2359, "");
    EXPECT_EQ(s.MonthNames[2], "M\xE4rz");
    EXPECT_EQ(s.AbbrevMonthNames[2], "M\xE4r");
    EXPECT_EQ(s.MonthNames[11], "Dezember");
    EXPECT_EQ(s.DayNames[0], "Sonntag");
    EXPECT_EQ(s.AbbrevDayNames[6], "Sa");
}

TEST(RegionalSettings, WhatTheCodePageCannotHoldOrTheLocaleLeavesOut) {
    TTableLocaleSource source;
    source.Texts = {
        {RADIXCHAR, ","},
        {THOUSEP, "\u202F"},            // narrow no-break space: not in the code page
        {MON_1, "\u0399\u03B1\u03BD"},  // Greek
        {CURRENCY_SYMBOL, ""},          // empty: the United States value stays
        {AM_STR, ""},                   // a 12-hour clock needs its texts
        {T_FMT, "%I:%M"},
    };
    source.Numbers = {{FRAC_DIGITS, 3}};
    TRegionalSettings s = RegionalSettingsFromLocale(source);
    EXPECT_EQ(s.sThousand, "?");
    EXPECT_EQ(s.MonthNames[0], "???");
    EXPECT_EQ(s.sCurrency, "$");
    EXPECT_EQ(s.s1159, "AM");
    EXPECT_EQ(s.iCurrDigits, 3);
    EXPECT_EQ(s.MonthNames[1], "February") << "names the locale does not give stay";

    for (const char* thousands : {"", ","}) {
        source.Texts[THOUSEP] = thousands;
        s = RegionalSettingsFromLocale(source);
        EXPECT_EQ(s.sThousand, ".") << "'" << thousands << "' is no thousands separator beside ','";
    }
    source.Texts[RADIXCHAR] = ".";
    source.Texts[THOUSEP] = ".";
    EXPECT_EQ(RegionalSettingsFromLocale(source).sThousand, ",");

    EXPECT_EQ(RegionalSettingsFromLocale(TTableLocaleSource()), UnitedStatesRegionalSettings());
}

// Sets locale variables for a test and puts back the values before.
class LocaleEnvironment {
public:
    void Set(const char* name, const std::string& value) { env_.Set(name, value); }
    void Unset(const char* name) { env_.Set(name, std::nullopt); }
    const std::string& Folder() const { return env_.Root(); }

private:
    ScopedUserEnv env_;
};

TEST(RegionalSettings, PlainCLocaleGivesTheDocumentedDefaults) {
    LocaleEnvironment env;
    env.Unset("LANG");
    env.Unset("LC_NUMERIC");
    env.Unset("LC_TIME");
    env.Unset("LC_MONETARY");
    env.Unset("LC_ADDRESS");
    for (const char* name : {"C", "C.UTF-8", "POSIX", ""}) {
        env.Set("LC_ALL", name);
        const TRegionalSettings s = RegionalSettings();
        EXPECT_EQ(s, UnitedStatesRegionalSettings()) << name;
    }
    const TRegionalSettings s = RegionalSettings();
    EXPECT_EQ(s.sShortDate, "M/d/yyyy");
    EXPECT_EQ(s.sLongDate, "dddd, MMMM d, yyyy");
    EXPECT_EQ(s.sDecimal, ".");
    EXPECT_EQ(s.sThousand, ",");
    EXPECT_EQ(s.sCurrency, "$");
    EXPECT_EQ(s.iTime, 0);
    EXPECT_EQ(s.sCountry, "United States");
    EXPECT_EQ(s.MonthNames[2], "March");
    EXPECT_EQ(s.AbbrevDayNames[0], "Sun");
}

// A German locale compiled from the C library's sources into a temporary folder, or empty when
// the sources (package locales) or localedef are missing.
std::string CompiledGermanLocale(const std::string& folder) {
    if (!std::filesystem::exists("/usr/share/i18n/locales/de_DE")) return {};
    const std::string target = folder + "/de_DE.UTF-8";
    // localedef may warn and exit non-zero about a source it compiled anyway.
    testsupport::RunShell("localedef -i de_DE -f UTF-8 '" + target + "' >/dev/null 2>&1");
    return std::filesystem::exists(target + "/LC_TIME") ? folder : std::string();
}

// The settings of the process locale. With LOCPATH set, the C library's newlocale leaves a copy of
// the path unfreed on every call; that is not this system's leak.
TRegionalSettings ReadProcessLocale() {
#if defined(__SANITIZE_ADDRESS__)
    __lsan::ScopedDisabler notOurs;
#endif
    return RegionalSettings();
}

TEST(RegionalSettings, ProcessLocaleIsFollowedWhenTheEnvironmentChangesIt) {
    LocaleEnvironment env;
    const std::string locales = CompiledGermanLocale(env.Folder());
    if (locales.empty()) GTEST_SKIP() << "no locale sources to compile a German locale from";
    env.Set("LOCPATH", locales);
    env.Unset("LC_ALL");
    env.Set("LANG", "C");
    env.Set("LC_TIME", "de_DE.UTF-8");
    TRegionalSettings s = ReadProcessLocale();
    EXPECT_EQ(s.sShortDate, "dd.MM.yyyy") << "dates follow LC_TIME";
    EXPECT_EQ(s.MonthNames[2], "M\xE4rz");
    EXPECT_EQ(s.iTime, 1);
    EXPECT_EQ(s.sDecimal, ".") << "numbers stay with the C locale";
    EXPECT_EQ(s.sCurrency, "$");

    env.Set("LC_ALL", "de_DE.UTF-8");
    s = ReadProcessLocale();
    EXPECT_EQ(s.sDecimal, ",");
    EXPECT_EQ(s.sThousand, ".");
    EXPECT_EQ(s.sCurrency, "\x80");
    EXPECT_EQ(s.iCurrency, 3);
    EXPECT_EQ(s.iNegCurr, 8);
    EXPECT_EQ(s.sCountry, "Deutschland");
    EXPECT_EQ(GetProfileString("intl", "sShortDate", ""), "dd.MM.yyyy");

    {
        ScopedRegionalSettings replaced(UnitedStatesRegionalSettings());
        EXPECT_EQ(ReadProcessLocale().sDecimal, ".") << "a replacement wins over the locale";
    }
    EXPECT_EQ(ReadProcessLocale().sDecimal, ",");
    env.Set("LC_ALL", "C");
    EXPECT_EQ(ReadProcessLocale(), UnitedStatesRegionalSettings());
}

TEST(RegionalSettings, ProfileIntlSectionAnswersFromTheSettings) {
    ScopedRegionalSettings german(GermanRegionalSettings());
    struct Case {
        const char* key;
        const char* text;
    } cases[] = {
        {"sDecimal", ","},
        {"sThousand", "."},
        {"iCurrDigits", "2"},
        {"iNegCurr", "8"},
        {"sList", ";"},
        {"sCountry", "Deutschland"},
        {"sCurrency", "\x80"},
        {"iCurrency", "3"},
        {"iTLZero", "1"},
        {"iTime", "1"},
        {"sTime", ":"},
        {"sDate", "."},
        {"s1159", ""},
        {"s2359", ""},
        {"sShortDate", "d.M.yyyy"},
        {"sLongDate", "dddd, d MMMM yyyy"},
        {"iDate", "1"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(GetProfileString("intl", c.key, "none"), c.text) << c.key;
        if (c.key[0] == 'i') {
            EXPECT_EQ(GetProfileInt("intl", c.key, -1), std::stoi(c.text)) << c.key;
        }
    }
    EXPECT_EQ(GetProfileString("INTL", "SSHORTDATE", ""), "d.M.yyyy") << "names without regard to case";
    EXPECT_EQ(GetProfileString("intl", "sMonthName1", "none"), "none");
    EXPECT_EQ(GetProfileString("windows", "sDecimal", "none"), "none");
    EXPECT_EQ(GetProfileInt("intl", "sDecimal", 7), 0) << "a text that is no number";
    EXPECT_EQ(GetProfileInt("intl", "nothing", 7), 7);
    EXPECT_EQ(GetProfileInt("colors", "iDate", -3), -3);

    TRegionalSettings wide = GermanRegionalSettings();
    wide.iCurrDigits = 12;
    ScopedRegionalSettings replaced(wide);
    EXPECT_EQ(GetProfileInt("intl", "iCurrDigits", 2), 12);
    EXPECT_EQ(GetProfileString("intl", "sDecimal", ""), ",");
}

TEST(RegionalSettings, RegistryKeepsTheShortDateOfTheSettings) {
    ScopedUserEnv env;
    ScopedRegionalSettings german(GermanRegionalSettings());
    HKEY key = 0;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Control Panel\\International", &key), 0);
    uint32_t type = 0;
    std::string data;
    EXPECT_EQ(RegQueryValueEx(key, "sShortDate", &type, &data), 0);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(data, "d.M.yyyy");
    EXPECT_EQ(RegQueryValueEx(key, "sDecimal", nullptr, nullptr), 2) << "only the short date is kept";
    {
        TRegionalSettings other = GermanRegionalSettings();
        other.sShortDate = "yyyy-MM-dd";
        ScopedRegionalSettings replaced(other);
        EXPECT_EQ(RegQueryValueEx(key, "SSHORTDATE", nullptr, &data), 0);
        EXPECT_EQ(data, "yyyy-MM-dd") << "the value follows the settings in force";
    }
    EXPECT_EQ(RegSetValueEx(key, "sShortDate", REG_SZ, "x"), 5);
    EXPECT_EQ(RegDeleteValue(key, "sShortDate"), 5);
    EXPECT_EQ(RegDeleteKey(HKEY_CURRENT_USER, "Control Panel"), 5);
    std::vector<std::string> names;
    EXPECT_EQ(RegEnumValueNames(key, &names), 0);
    EXPECT_EQ(names, std::vector<std::string>{"sShortDate"});
    RegCloseKey(key);
    EXPECT_FALSE(std::filesystem::exists(RegistryFileName(HKEY_CURRENT_USER))) << "nothing is written";

    TRegistry reg;
    ASSERT_TRUE(reg.OpenKeyReadOnly("\\Control Panel\\International"));
    EXPECT_EQ(reg.ReadString("sShortDate"), "d.M.yyyy");
    // Other values of the key are stored like any others.
    ASSERT_TRUE(reg.OpenKey("\\Control Panel\\International", true));
    EXPECT_TRUE(reg.WriteString("sOwn", "1"));
    EXPECT_EQ(reg.GetValueNames(), (std::vector<std::string>{"sOwn", "sShortDate"}));
    EXPECT_FALSE(reg.WriteString("sShortDate", "x"));
    EXPECT_EQ(reg.LastError(), 5);
    ASSERT_TRUE(reg.OpenKeyReadOnly("\\Control Panel"));
    EXPECT_EQ(reg.GetKeyNames(), std::vector<std::string>{"International"});
    reg.CloseKey();
    ASSERT_TRUE(reg.OpenKey("\\Software\\Korvane", true));
    reg.CloseKey();
    EXPECT_EQ(reg.GetKeyNames(), (std::vector<std::string>{"Control Panel", "Software"}));
    EXPECT_FALSE(reg.KeyExists("\\Control Panel\\Other"));
}

}  // namespace
}  // namespace platform
