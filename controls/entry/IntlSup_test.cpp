#include "controls/entry/IntlSup.h"

#include <gtest/gtest.h>

#include <memory>

#include "controls/entry/CtlDates.h"
#include "framework/core/Seams.h"
#include "framework/core/SysUtils.h"
#include "platform/testsupport/ScopedRegionalSettings.h"

namespace entry {
namespace {

using platform::TRegionalSettings;
using platform::testsupport::ScopedRegionalSettings;

class IntlSupTest : public ::testing::Test {
protected:
    // Settings as the system would give them: the profile, the registry and the class library's
    // formats all follow them.
    TCtlIntlSup& With(const TRegionalSettings& settings) {
        FIntl.reset();
        FScope.reset();  // the settings before this test come back first
        FScope = std::make_unique<ScopedRegionalSettings>(settings);
        framework::GetFormatSettings();
        FIntl = std::make_unique<TCtlIntlSup>();
        return *FIntl;
    }
    void TearDown() override {
        FIntl.reset();
        FScope.reset();
        framework::ResetFormatSettings();
    }

    static TRegionalSettings US() { return platform::UnitedStatesRegionalSettings(); }
    static int32_t Date(int d, int m, int y) { return CtlEncodeDate(d, m, y, 0); }

    std::unique_ptr<ScopedRegionalSettings> FScope;
    std::unique_ptr<TCtlIntlSup> FIntl;
};

TEST_F(IntlSupTest, UnitedStatesSettingsAndPictures) {
    TCtlIntlSup& intl = With(US());
    EXPECT_EQ(intl.DecimalChar, '.');
    EXPECT_EQ(intl.ThousandChar, ',');
    EXPECT_EQ(intl.DateSeparator, '/');
    EXPECT_EQ(intl.TimeSeparator, ':');
    EXPECT_EQ(intl.AmString, "AM");
    EXPECT_EQ(intl.PmString, "PM");
    EXPECT_TRUE(intl.TwelveHour);
    EXPECT_FALSE(intl.HourLeadingZero);
    EXPECT_EQ(intl.Country, "United States");
    EXPECT_EQ(intl.CurrencyLeftStr(), "$");
    EXPECT_EQ(intl.CurrencyRightStr(), "");
    EXPECT_EQ(intl.YesChar, 'Y');
    EXPECT_EQ(intl.NoChar, 'N');
    EXPECT_EQ(intl.TrueChar, 'T');
    EXPECT_EQ(intl.FalseChar, 'F');

    EXPECT_EQ(intl.ShortDatePicture, "M/d/yyyy");
    EXPECT_EQ(intl.InternationalDate(false), "MM/DD/yyyy");
    EXPECT_EQ(intl.LongDatePicture, "wwww, nnnn d, yyyy");
    EXPECT_EQ(intl.InternationalLongDate(false, false), "wwwwwwwww, nnnnnnnnn DD, yyyy");
    EXPECT_EQ(intl.InternationalLongDate(true, false), "www, nnn DD, yyyy");
    EXPECT_EQ(intl.InternationalLongDate(true, true), "nnn DD, yyyy");
    EXPECT_EQ(intl.InternationalTime(false), "Hh:mm tt");
    EXPECT_EQ(intl.InternationalTime(true), "Hh:mm:ss tt");

    const std::string picture = intl.InternationalLongDate(false, false);
    EXPECT_EQ(intl.DateToDateString(picture, Date(5, 3, 2001), false), "Monday   , March      5, 2001");
    EXPECT_EQ(intl.DateToDateString(picture, Date(5, 3, 2001), true), "Monday, March 5, 2001");
    EXPECT_EQ(intl.DateToDateString("WWW NNN dd yy", Date(5, 3, 2001), false), "MON MAR 05 01");
    EXPECT_EQ(intl.TimeToTimeString("Hh:mm:ss tt", CtlEncodeTime(9, 7, 3), true), "9:07:03 AM");
}

TEST_F(IntlSupTest, DayMonthYearShortDateWithDots) {
    TRegionalSettings r = US();
    r.sShortDate = "d.M.yyyy";
    r.sDate = ".";
    TCtlIntlSup& intl = With(r);
    EXPECT_EQ(intl.ShortDatePicture, "d/M/yyyy");
    const std::string picture = intl.InternationalDate(false);
    EXPECT_EQ(picture, "DD/MM/yyyy");
    EXPECT_EQ(intl.DateToDateString(picture, Date(5, 3, 2001), false), " 5. 3.2001");
    EXPECT_EQ(intl.DateToDateString(picture, Date(5, 3, 2001), true), "5.3.2001");
    EXPECT_EQ(intl.DateToDateString(picture, -1, true), "  .  .    ");
    EXPECT_EQ(intl.DateStringToDate(picture, " 5. 3.2001", 1900), Date(5, 3, 2001));
    EXPECT_EQ(intl.DateStringToDate(picture, "31. 4.2001", 1900), -1);
    EXPECT_TRUE(intl.DateStringIsBlank(picture, "  .  .    "));
    EXPECT_FALSE(intl.DateStringIsBlank(picture, "  . 3.    "));
    EXPECT_EQ(intl.DateStringToDate(picture, "  .  .    ", 1900), -1);
    EXPECT_EQ(intl.DateStringToDate(picture, " 5. 3.2001 ", 1900), -1);  // lengths differ

    r.sShortDate = "dd.MM.yy";
    EXPECT_EQ(With(r).InternationalDate(false), "dd/mm/yy");
    EXPECT_EQ(FIntl->InternationalDate(true), "dd/mm/yyyy");
}

TEST_F(IntlSupTest, LongDateLiterals) {
    TRegionalSettings r = US();
    r.sLongDate = "dddd, d' de 'MMMM' de 'yyyy";
    TCtlIntlSup& intl = With(r);
    EXPECT_EQ(intl.LongDateLiterals[0], " de ");
    EXPECT_EQ(intl.LongDateLiterals[1], " de ");
    EXPECT_EQ(intl.LongDateLiterals[2], "");
    EXPECT_EQ(intl.LongDatePicture, "wwww, dffffnnnnggggyyyy");
    EXPECT_EQ(intl.DateToDateString(intl.LongDatePicture, Date(5, 3, 2001), false),
              "Mond, 5 de Marc de 2001");

    // Literals keep at most six characters; a comma or period gets a blank after it.
    r.sLongDate = "d'.abcdefgh'MMMM,yyyy";
    TCtlIntlSup& longer = With(r);
    EXPECT_EQ(longer.LongDateLiterals[0], ".abcde");
    EXPECT_EQ(longer.LongDatePicture, "dffffffnnnn, yyyy");
}

TEST_F(IntlSupTest, TwelveHourTimes) {
    TCtlIntlSup& intl = With(US());
    const std::string picture = "hh:mm tt";
    EXPECT_EQ(intl.TimeToTimeString(picture, CtlEncodeTime(13, 5, 0), false), "01:05 PM");
    EXPECT_EQ(intl.TimeToTimeString(picture, CtlEncodeTime(0, 30, 0), false), "12:30 AM");
    EXPECT_EQ(intl.TimeToTimeString(picture, CtlEncodeTime(12, 0, 0), false), "12:00 PM");
    EXPECT_EQ(intl.TimeToTimeString("HH:MM tt", CtlEncodeTime(9, 5, 0), true), "9:5 AM");

    struct Case {
        const char* text;
        int32_t expected;
    };
    const Case cases[] = {
        {"12:00 AM", 0},
        {"00:10 AM", -1},
        {"12:00 PM", 12 * 3600},
        {"01:05 pm", 13 * 3600 + 5 * 60},
        {"11:59 am", 11 * 3600 + 59 * 60},
        {"13:00 PM", -1},
        {"01:00   ", -1},
        {"01:00 XM", -1},
        {"01:60 AM", -1},
        {"  :   AM", -1},
    };
    for (const Case& c : cases) EXPECT_EQ(intl.TimeStringToTime(picture, c.text), c.expected) << c.text;
    EXPECT_EQ(intl.TimeStringToTime("hh:mm:ss", "23:59:59"), 86399);
    EXPECT_EQ(intl.TimeStringToTime("hh:mm:ss", "24:00:00"), -1);
    EXPECT_EQ(intl.TimeStringToTime("hh:mm", "1:00"), -1);  // lengths differ
}

TEST_F(IntlSupTest, EqualSeparatorsFallBack) {
    TRegionalSettings r = US();
    r.sDecimal = ",";
    r.sThousand = ",";
    TCtlIntlSup& intl = With(r);
    EXPECT_EQ(intl.DecimalChar, '.');
    EXPECT_EQ(intl.ThousandChar, ',');
}

TEST_F(IntlSupTest, MissingFieldsReadTheCurrentYearAndMonth) {
    const framework::TDateTime today = framework::EncodeDate(2001, 3, 5);
    auto previous = framework::SetClock([&] { return today; });
    CtlStoreCurrentYearMonth();
    TCtlIntlSup& intl = With(US());
    EXPECT_EQ(intl.DateStringToDate("dd/mm", "07/04", 1900), Date(7, 4, 2001));
    EXPECT_EQ(intl.DateStringToDate("dd", "29", 1900), Date(29, 3, 2001));
    EXPECT_EQ(intl.DateStringToDate("mm/yy", "02/99", 1900), Date(1, 2, 1999));
    int32_t d = 0, m = 0, y = 0;
    EXPECT_TRUE(intl.DateStringToDMY("dd nnn yyyy", "05 Mar 2001", d, m, y, 1900));
    EXPECT_EQ(m, 3);
    EXPECT_FALSE(intl.DateStringToDMY("dd nnn yyyy", "05 Xyz 2001", d, m, y, 1900));
    framework::SetClock(previous);
    CtlStoreCurrentYearMonth();
}

TEST_F(IntlSupTest, GermanSettings) {
    TCtlIntlSup& intl = With(platform::testsupport::GermanRegionalSettings());
    EXPECT_EQ(intl.DecimalChar, ',');
    EXPECT_EQ(intl.ThousandChar, '.');
    EXPECT_EQ(intl.DateSeparator, '.');
    EXPECT_FALSE(intl.TwelveHour);
    EXPECT_EQ(intl.MonthNames()[2], "M\xE4rz");
    EXPECT_EQ(intl.ShortDatePicture, "d/M/yyyy");
    EXPECT_EQ(intl.InternationalTime(true).substr(1), "h:mm:ss");
    EXPECT_EQ(intl.CurrencyLeftStr(), "");
    EXPECT_EQ(intl.CurrencyRightStr(), " \x80");
    EXPECT_EQ(intl.DateToDateString("dd nnnn yyyy", Date(5, 3, 2001), false), "05 M\xE4rz 2001");
    EXPECT_EQ(intl.DateToDateString("dd NNNN yyyy", Date(5, 3, 2001), false), "05 M\xC4RZ 2001");
    EXPECT_EQ(intl.MonthStringToMonth("m\xC4rz", 4), 3);
    EXPECT_EQ(intl.DateStringToDate("dd nnnn yyyy", "05 m\xE4rz 2001", 1900), Date(5, 3, 2001));
    EXPECT_EQ(intl.TimeToTimeString("hh:mm", CtlEncodeTime(17, 45, 0), false), "17:45");
}

}  // namespace
}  // namespace entry
