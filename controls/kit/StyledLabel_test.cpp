// The styled label's layers, how its settings switch scheme and appearance, and the attached label.
#include "controls/kit/StyledLabel.h"

#include <gtest/gtest.h>

#include "controls/kit/StyledMnuBtn.h"
#include "framework/ui/testsupport/FormDriver.h"

namespace kit {
namespace {

using namespace framework;

class StyledLabelTest : public ::testing::Test {
protected:
    TFormDriver Driver;
    TForm* Form = TCustomForm::Create<TForm>(Application);
    void SetUp() override {
        Form->SetBounds(40, 40, 400, 300);
        Form->SetColor(clSilver);
        Form->Show();
        Driver.RunPending();
    }
    void TearDown() override {
        Form->Free();
        Driver.RunPending();
    }
};

TEST_F(StyledLabelTest, RaisedTextHasAWhiteCopyUpLeftAndABlackCopyDownRight) {
    auto* label = NewComponent<TStyledCustomLabel>(Form);
    label->SetBounds(20, 20, 150, 35);
    label->SetCaption("I");
    label->Font().Name = "DejaVu Sans";
    label->Font().Changed();
    label->SetParent(Form);
    Driver.RunPending();
    EXPECT_EQ(label->Appearance(), apRaised);
    EXPECT_EQ(label->ColorScheme(), csWindows);
    EXPECT_EQ(label->Font().Color, clGray);
    EXPECT_EQ(label->Font().Size(), 20);
    Driver.Grab(*Form, ::testing::TempDir() + "kit_label.png");

    // The text's first and last grey pixels (top-left, bottom-right of the "I").
    int fx = -1, fy = -1, lx = -1, ly = -1;
    for (int y = 0; y < 35; ++y)
        for (int x = 0; x < 150; ++x)
            if (Driver.PixelAt(*Form, 20 + x, 20 + y) == clGray) {
                if (fx < 0) fx = x, fy = y;
                lx = x, ly = y;
            }
    ASSERT_GE(fx, 1);
    EXPECT_EQ(Driver.PixelAt(*Form, 20 + fx - 1, 20 + fy - 1), clWhite);
    EXPECT_EQ(Driver.PixelAt(*Form, 20 + lx + 1, 20 + ly + 1), clBlack);
    EXPECT_EQ(Driver.PixelAt(*Form, 20 + 149, 20 + 34), clSilver);  // transparent: the form shows
}

TEST_F(StyledLabelTest, SettingsSwitchAppearanceAndScheme) {
    auto* label = NewComponent<TStyledCustomLabel>(Form);
    label->CustomSettings().SetHighlightDepth(2);
    EXPECT_EQ(label->Appearance(), apCustom);
    EXPECT_EQ(label->ColorScheme(), csWindows);
    label->CustomSettings().SetShadowColor(clRed);
    EXPECT_EQ(label->ColorScheme(), csCustom);

    label->SetColorScheme(csGold);
    EXPECT_EQ(label->CustomSettings().HighlightColor(), clYellow);
    EXPECT_EQ(label->CustomSettings().ShadowColor(), clBlack);
    EXPECT_EQ(label->Font().Color, clOlive);
    EXPECT_EQ(label->Appearance(), apCustom);
    label->SetColorScheme(csCustom);  // keeps the last scheme chosen
    EXPECT_EQ(label->Font().Color, clOlive);

    label->SetAppearance(apFlying);
    EXPECT_EQ(label->CustomSettings().HighlightColor(), clBlack);  // the scheme's shadow colour
    EXPECT_EQ(label->CustomSettings().ShadowDepth(), 5);
    EXPECT_EQ(label->CustomSettings().HighlightDirection(), sdDownRight);
    label->SetAppearance(apShadow);
    EXPECT_EQ(label->CustomSettings().HighlightDepth(), 0);
    EXPECT_EQ(label->CustomSettings().ShadowDepth(), 2);
    EXPECT_EQ(label->Appearance(), apShadow);
}

TEST_F(StyledLabelTest, AttachedLabelSitsRightAboveItsControl) {
    auto* button = NewComponent<TStyledMenuButton>(Form);
    button->SetName("Button1");
    button->SetBounds(50, 100, 75, 24);
    button->SetParent(Form);
    button->StyledLabelInfo().SetVisible(true);
    TStyledAttachedLabel* label = button->StyledLabelInfo().StyledLabel();
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->Caption(), "Button1Label");
    EXPECT_EQ(label->Owner(), Form);
    EXPECT_EQ(label->Parent(), Form);
    EXPECT_EQ(label->StyledControl(), button);
    EXPECT_EQ(label->Left(), 50);
    EXPECT_EQ(label->Top() + label->Height(), 100);

    button->SetBounds(60, 150, 75, 24);  // the label follows
    EXPECT_EQ(label->Left(), 60);
    EXPECT_EQ(label->Top() + label->Height(), 150);
    button->StyledLabelInfo().SetOffsetX(10);
    EXPECT_EQ(label->Left(), 70);
    label->SetLeft(40);  // moved by hand: the offsets follow
    EXPECT_EQ(button->StyledLabelInfo().OffsetX(), -20);

    label->Free();  // the control lets go of it
    EXPECT_FALSE(button->StyledLabelInfo().Visible());
    EXPECT_EQ(button->StyledLabelInfo().StyledLabel(), nullptr);
    button->StyledLabelInfo().SetVisible(true);
    ASSERT_NE(button->StyledLabelInfo().StyledLabel(), nullptr);
    button->StyledLabelInfo().SetVisible(false);
    EXPECT_EQ(button->StyledLabelInfo().StyledLabel(), nullptr);
}

}  // namespace
}  // namespace kit
