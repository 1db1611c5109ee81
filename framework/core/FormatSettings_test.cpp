#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "framework/core/LocalePictures.h"
#include "framework/core/SysUtils.h"

namespace framework {
namespace {

TEST(FormatSettingsTest, LocaleLayoutsBecomePictures) {
    struct Case {
        const char* layout;
        const char* picture;
        char separator;  // 0: a time layout
    } cases[] = {
        {"%m/%d/%Y", "MM/dd/yyyy", '/'},    {"%d.%m.%Y", "dd/MM/yyyy", '.'},
        {"%Y-%m-%d", "yyyy/MM/dd", '-'},    {"%D", "MM/dd/yy", '/'},
        {"%e %b %Y", "d MMM yyyy", 0},  // no separator other than blanks
        {"%Od.%Om.%EY", "dd/MM/yyyy", '.'}, {"%H:%M:%S", "hh:nn:ss", 0},
        {"%r", "hh:nn:ss AMPM", 0},         {"%T", "hh:nn:ss", 0},
        {"%Hh%M", "hh\"h\"nn", 0},  // letters of the layout stay text
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.layout);
        const bool isDate = c.layout[1] != 'H' && c.layout[1] != 'r' && c.layout[1] != 'T';
        char separator = 0;
        EXPECT_EQ(PictureFromLayout(c.layout, isDate ? &separator : nullptr), c.picture);
        if (isDate) {
            EXPECT_EQ(separator, c.separator);
        }
    }
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
