#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "framework/core/DateTime.h"
#include "framework/core/SysUtils.h"
#include "platform/Profile.h"
#include "platform/testsupport/ScopedRegionalSettings.h"

namespace framework {
namespace {

TEST(FormatSettingsTest, FollowTheRegionalSettingsLikeTheProfileDoes) {
    platform::testsupport::ScopedRegionalSettings german(platform::testsupport::GermanRegionalSettings());
    GetFormatSettings();
    auto intl = [](const char* key) { return platform::GetProfileString("intl", key, "?"); };
    ASSERT_EQ(intl("sShortDate"), "d.M.yyyy");
    EXPECT_EQ(std::string(1, DecimalSeparator), intl("sDecimal"));
    EXPECT_EQ(std::string(1, ThousandSeparator), intl("sThousand"));
    EXPECT_EQ(std::string(1, DateSeparator), intl("sDate"));
    EXPECT_EQ(std::string(1, TimeSeparator), intl("sTime"));
    EXPECT_EQ(CurrencyString, intl("sCurrency"));
    EXPECT_EQ(CurrencyFormat, platform::GetProfileInt("intl", "iCurrency", -1));
    EXPECT_EQ(NegCurrFormat, platform::GetProfileInt("intl", "iNegCurr", -1));
    EXPECT_EQ(CurrencyDecimals, platform::GetProfileInt("intl", "iCurrDigits", -1));
    EXPECT_EQ(TimeAMString, intl("s1159"));
    EXPECT_EQ(LongDateFormat, intl("sLongDate"));
    EXPECT_EQ(ShortDateFormat, "d/M/yyyy") << "the separator is written as the picture's '/'";
    EXPECT_EQ(LongTimeFormat, "hh:mm:ss") << "24-hour clock with leading zeros";
    EXPECT_EQ(ShortTimeFormat, "hh:mm");
    EXPECT_EQ(LongMonthNames[2], "M\xE4rz");
    EXPECT_EQ(ShortMonthNames[2], "M\xE4r");
    EXPECT_EQ(LongDayNames[1], "Montag");

    // The texts come out as a German user expects them.
    const TDateTime date = EncodeDate(2001, 3, 5) + EncodeTime(14, 7, 9, 0);
    EXPECT_EQ(DateToStr(date), "5.3.2001");
    EXPECT_EQ(StrToDate("5.3.2001"), EncodeDate(2001, 3, 5));
    EXPECT_EQ(TimeToStr(date), "14:07:09");
    EXPECT_EQ(FormatDateTime("dddd, d. mmmm yyyy", date), "Montag, 5. M\xE4rz 2001");
    EXPECT_EQ(FormatFloat("#,##0.00", 1234.5), "1.234,50");
    EXPECT_EQ(CurrToStrF(Currency::FromRaw(12345000), ffCurrency, 2), "1.234,50 \x80");
    EXPECT_EQ(CurrToStrF(Currency::FromRaw(-12345000), ffCurrency, 2), "-1.234,50 \x80");

    // A settings file's short date with quoted text keeps its text.
    platform::TRegionalSettings quoted = platform::testsupport::GermanRegionalSettings();
    quoted.sShortDate = "d.M.'y.' yyyy";
    platform::testsupport::ScopedRegionalSettings withText(quoted);
    GetFormatSettings();
    EXPECT_EQ(ShortDateFormat, "d/M/'y.' yyyy");
    ResetFormatSettings();
}

TEST(FormatSettingsTest, PlainCLocaleGivesUnitedStatesSettings) {
    const char* saved = std::getenv("LC_ALL");
    const std::string savedValue = saved ? saved : "";
    setenv("LC_ALL", "C.UTF-8", 1);
    DecimalSeparator = ',';
    ShortDateFormat = "x";
    LongMonthNames[0] = "x";
    GetFormatSettings();
    EXPECT_EQ(DecimalSeparator, '.');
    EXPECT_EQ(ThousandSeparator, ',');
    EXPECT_EQ(ShortDateFormat, "M/d/yyyy");
    EXPECT_EQ(LongTimeFormat, "h:mm:ss AMPM");
    EXPECT_EQ(DateSeparator, '/');
    EXPECT_EQ(LongMonthNames[0], "January");
    EXPECT_EQ(ShortDayNames[0], "Sun");
    EXPECT_EQ(CurrencyString, "$");
    if (saved)
        setenv("LC_ALL", savedValue.c_str(), 1);
    else
        unsetenv("LC_ALL");
    ResetFormatSettings();
}

}  // namespace
}  // namespace framework
