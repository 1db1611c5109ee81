// Colours by name: the list, round trips through names and numbers, and what does not convert.
#include <gtest/gtest.h>

#include <set>

#include "framework/ui/Graphics.h"

namespace framework {
namespace {

TEST(ColorNames, ListedInOrderWithoutNone) {
    std::vector<std::string> names;
    GetColorValues([&](const std::string& Name) { names.push_back(Name); });
    const std::vector<std::string> want = {"clBlack",
                                           "clMaroon",
                                           "clGreen",
                                           "clOlive",
                                           "clNavy",
                                           "clPurple",
                                           "clTeal",
                                           "clGray",
                                           "clSilver",
                                           "clRed",
                                           "clLime",
                                           "clYellow",
                                           "clBlue",
                                           "clFuchsia",
                                           "clAqua",
                                           "clWhite",
                                           "clMoneyGreen",
                                           "clSkyBlue",
                                           "clCream",
                                           "clMedGray",
                                           "clActiveBorder",
                                           "clActiveCaption",
                                           "clAppWorkSpace",
                                           "clBackground",
                                           "clBtnFace",
                                           "clBtnHighlight",
                                           "clBtnShadow",
                                           "clBtnText",
                                           "clCaptionText",
                                           "clDefault",
                                           "clGradientActiveCaption",
                                           "clGradientInactiveCaption",
                                           "clGrayText",
                                           "clHighlight",
                                           "clHighlightText",
                                           "clHotLight",
                                           "clInactiveBorder",
                                           "clInactiveCaption",
                                           "clInactiveCaptionText",
                                           "clInfoBk",
                                           "clInfoText",
                                           "clMenu",
                                           "clMenuBar",
                                           "clMenuHighlight",
                                           "clMenuText",
                                           "clScrollBar",
                                           "cl3DDkShadow",
                                           "cl3DLight",
                                           "clWindow",
                                           "clWindowFrame",
                                           "clWindowText"};
    EXPECT_EQ(names, want);
}

TEST(ColorNames, EveryNameRoundTripsAndNoneConverts) {
    std::vector<std::string> names;
    GetColorValues([&](const std::string& Name) { names.push_back(Name); });
    names.push_back("clNone");
    std::set<TColor> values;
    for (const std::string& n : names) {
        TColor c = StringToColor(n);
        EXPECT_TRUE(values.insert(c).second) << n << " shares its value";
        EXPECT_EQ(ColorToString(c), n);
        std::string lower = n;
        for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        TColor again = 0;
        EXPECT_TRUE(IdentToColor(lower, again)) << lower;
        EXPECT_EQ(again, c);
    }
    EXPECT_EQ(StringToColor("clNone"), clNone);
    EXPECT_EQ(StringToColor("clRed"), clRed);
    EXPECT_EQ(StringToColor("clMenuBar"), clMenuBar);
    // The later system colours have colours of their own.
    EXPECT_EQ(ColorToRGB(clMenuBar), GetSysColor(COLOR_MENU));
    EXPECT_EQ(ColorToRGB(clMenuHighlight), GetSysColor(COLOR_HIGHLIGHT));
}

TEST(ColorNames, NumbersForColoursWithoutAName) {
    EXPECT_EQ(ColorToString(0x123456), "$00123456");
    EXPECT_EQ(StringToColor("$00123456"), 0x123456);
    EXPECT_EQ(ColorToString(SystemColor(31)), "$8000001F");
    EXPECT_EQ(StringToColor("$8000001F"), SystemColor(31));
    struct {
        const char* Text;
        TColor Want;
    } red[] = {{"$FF", clRed}, {"255", clRed}, {"0xFF", clRed}, {"$0000FF", clRed}};
    for (auto& k : red) EXPECT_EQ(StringToColor(k.Text), k.Want) << k.Text;
    std::string name;
    EXPECT_FALSE(ColorToIdent(0x123456, name));
    TColor c = 7;
    EXPECT_FALSE(IdentToColor("clRedd", c));
    EXPECT_EQ(c, 7);
    for (const char* bad : {"nonsense", "", "clRedd", "$", "12x"})
        EXPECT_THROW(StringToColor(bad), EConvertError) << bad;
}

}  // namespace
}  // namespace framework
