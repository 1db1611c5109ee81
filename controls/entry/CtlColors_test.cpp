#include "controls/entry/CtlColors.h"

#include <gtest/gtest.h>

#include "framework/testsupport/MemFiler.h"

namespace entry {
namespace {

using namespace framework;

TEST(CtlColors, DefaultsAndUseDefault) {
    TCtlColors c(clBlack, clRed);  // the error colours
    int notices = 0;
    c.OnColorChange = [&] { ++notices; };
    EXPECT_TRUE(c.UseDefault());

    c.SetBackColor(clRed);  // its own default
    EXPECT_TRUE(c.UseDefault());
    EXPECT_EQ(notices, 0);

    c.SetBackColor(clWhite);
    EXPECT_FALSE(c.UseDefault());
    EXPECT_EQ(notices, 1);
    c.SetTextColor(clBlue);
    EXPECT_EQ(notices, 2);

    // Back to the default colour: UseDefault stays cleared until it is set.
    c.SetBackColor(clRed);
    EXPECT_FALSE(c.UseDefault());

    c.SetUseDefault(true);
    EXPECT_TRUE(c.UseDefault());
    EXPECT_EQ(c.BackColor(), clRed);
    EXPECT_EQ(c.TextColor(), clBlack);
    EXPECT_GT(notices, 3);

    TCtlColors other(clWhite, clNavy);
    other.Assign(&c);
    EXPECT_EQ(other.BackColor(), clRed);
    EXPECT_EQ(other.TextColor(), clBlack);
    EXPECT_FALSE(other.UseDefault());
}

TEST(CtlColors, AStoredUseDefaultIsReadAndIgnoredAndNeverWritten) {
    TCtlColors c(clBlack, clRed);
    TMemFiler f;
    f.Writer().WriteProperties(&c);
    EXPECT_EQ(f.Bytes(), "");
    f.Writer().WriteStr("UseDefault");
    f.Writer().WriteBoolean(false);
    f.Writer().WriteListEnd();
    TReader& r = f.Reader();
    while (!r.EndOfList()) r.ReadProperty(&c);
    EXPECT_TRUE(c.UseDefault());
}

TEST(CtlBorder, SettersNotifyOnChangeAndPenWidthMustBePositive) {
    TCtlBorder b;
    int notices = 0;
    b.OnChange = [&](TObject*) { ++notices; };
    EXPECT_FALSE(b.Enabled());
    EXPECT_EQ(b.PenWidth(), 2);
    EXPECT_EQ(b.PenColor(), clBlack);
    b.SetPenWidth(0);
    b.SetPenWidth(-3);
    b.SetPenWidth(2);
    EXPECT_EQ(b.PenWidth(), 2);
    EXPECT_EQ(notices, 0);
    b.SetPenWidth(4);
    b.SetEnabled(true);
    b.SetPenStyle(psDot);
    b.SetPenColor(clRed);
    EXPECT_EQ(notices, 4);

    TCtlBorders set, copy;
    set.TopBorder().Assign(&b);
    copy.Assign(&set);
    EXPECT_TRUE(copy.TopBorder().Enabled());
    EXPECT_EQ(copy.TopBorder().PenWidth(), 4);
    EXPECT_EQ(copy.TopBorder().PenStyle(), psDot);
    EXPECT_FALSE(copy.LeftBorder().Enabled());
}

TEST(CtlBorder, ADisabledBorderStoresOnlyEnabled) {
    TCtlBorder b;
    b.SetPenWidth(5);
    TMemFiler off;
    off.Writer().WriteProperties(&b);
    EXPECT_EQ(off.Bytes(), std::string("\x07"
                                       "Enabled\x08"));

    b.SetEnabled(true);
    TMemFiler on;
    on.Writer().WriteProperties(&b);
    on.Writer().WriteListEnd();
    TCtlBorder read;
    TReader& r = on.Reader();
    while (!r.EndOfList()) r.ReadProperty(&read);
    EXPECT_TRUE(read.Enabled());
    EXPECT_EQ(read.PenWidth(), 5);
}

TEST(CtlUserData, MaskCharactersOneToEightAndSubstitutions) {
    const TCtlUserData& d = CtlUserData();
    TCtlCharSet set;
    d.GetUserCharSet('1', set);
    EXPECT_FALSE(set.test(0));
    EXPECT_TRUE(set.test(1));
    EXPECT_TRUE(set.test(255));
    EXPECT_EQ(set.count(), 255u);

    TCtlCharSet untouched;
    untouched.set(7);
    d.GetUserCharSet('9', untouched);
    EXPECT_EQ(untouched.count(), 1u) << "no set for '9'";
    EXPECT_EQ(d.GetForceCase('9'), 0);
    EXPECT_EQ(d.GetForceCase('8'), 0);
    EXPECT_EQ(static_cast<uint8_t>(d.GetSubstChar(static_cast<char>(241))), 241);
    EXPECT_EQ(static_cast<uint8_t>(d.GetSubstChar(static_cast<char>(248))), 248);
    EXPECT_EQ(d.GetSubstChar(static_cast<char>(249)), '\0');
    EXPECT_EQ(d.GetSubstChar('A'), '\0');
}

}  // namespace
}  // namespace entry
