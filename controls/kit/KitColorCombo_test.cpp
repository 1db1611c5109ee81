// The colour combo box: its items by options, selecting by colour, custom colours and custom mode,
// the item drawing, sizes by display style, the colour dialog and where the focus goes after a choice.
#include "controls/kit/KitColorCombo.h"

#include <gtest/gtest.h>

#include "framework/stdctrls/Edit.h"
#include "framework/ui/Forms.h"
#include "framework/ui/testsupport/FormDriver.h"

namespace kit {
namespace {

using namespace framework;

class KitColorComboTest : public ::testing::Test {
protected:
    TFormDriver Driver;
    TForm* Form = TCustomForm::Create<TForm>(Application);
    TKitColorComboBox* Combo = nullptr;
    void SetUp() override {
        Form->SetBounds(40, 40, 300, 300);
        Combo = NewComponent<TKitColorComboBox>(Form);
        Combo->SetParent(Form);
        Combo->SetBounds(10, 20, 160, Combo->Height());
        Combo->SetOptions(ColorCBOption(coDefaultColors) | ColorCBOption(coSystemColors) |
                          ColorCBOption(coAllowAnyColor));
        Form->Show();
        Driver.RunPending();
    }
    void TearDown() override {
        Form->Free();
        Driver.RunPending();
    }
    uint32_t At(int X, int Y) { return Driver.PixelAt(*Combo, X, Y); }
};

TEST_F(KitColorComboTest, ProgramOptionsListFiftyOneNames) {
    EXPECT_EQ(Combo->Items().Count(), 51);
    EXPECT_EQ(Combo->Items().IndexOf("clNone"), -1);
    EXPECT_EQ(Combo->Items().Strings(0), "clBlack");
    EXPECT_EQ(Combo->Items().Strings(50), "clWindowText");
    Combo->SetOptions(ColorCBOption(coDefaultColors));
    EXPECT_EQ(Combo->Items().Count(), 16);
}

TEST_F(KitColorComboTest, SelectingByColour) {
    int changes = 0;
    Combo->OnChange = [&](TObject*) { ++changes; };
    Combo->SetSelectedColor(clRed);
    EXPECT_EQ(Combo->Text(), "clRed");
    EXPECT_EQ(Combo->ItemIndex(), Combo->Items().IndexOf("clRed"));
    EXPECT_EQ(Combo->SelectedColor(), clRed);
    EXPECT_EQ(changes, 1);
    Driver.RunPending();
    const int mid = Combo->ClientHeight() / 2;
    EXPECT_EQ(At(8, mid), static_cast<uint32_t>(clRed));  // inside the swatch

    Combo->SetSelectedColor(0x123456);
    EXPECT_EQ(Combo->Items().Strings(Combo->Items().Count() - 1), "$00123456");
    EXPECT_EQ(Combo->Text(), "$00123456");
    EXPECT_EQ(Combo->SelectedColor(), 0x123456);

    Combo->SetOptions(ColorCBOption(coDefaultColors));
    Combo->SetSelectedColor(0x654321);
    EXPECT_EQ(Combo->ItemIndex(), -1);
    EXPECT_EQ(Combo->SelectedColor(), -1);

    Combo->SetText("Redd");
    EXPECT_EQ(Combo->SelectedColor(), -1);
}

TEST_F(KitColorComboTest, CustomModeAndCustomColours) {
    TStringList lines;
    lines.Add("My colour=255");
    lines.Add("Sky=clSkyBlue");
    Combo->SetCustomMode(true);
    Combo->SetCustomColors(lines);
    ASSERT_EQ(Combo->Items().Count(), 2);
    Combo->SetSelectedColor(255);
    EXPECT_EQ(Combo->ItemIndex(), 0);
    EXPECT_EQ(Combo->SelectedColor(), 255);
    Combo->SetSelectedColor(clSkyBlue);
    EXPECT_EQ(Combo->ItemIndex(), 1);
    Combo->SetSelectedColor(255);
    Driver.RunPending();
    EXPECT_EQ(At(8, Combo->ClientHeight() / 2), static_cast<uint32_t>(clRed));

    Combo->SetCustomMode(false);
    TStringList custom;
    custom.Add("ColorA=123456789");
    custom.Add("ColorB=FFFFFF");
    custom.Add("ColorC=12");
    Combo->SetCustomColors(custom);
    EXPECT_EQ(Combo->CustomColors().Values("ColorA"), "123456");
    EXPECT_EQ(Combo->CustomColors().IndexOfName("ColorB"), -1);
    Combo->SetOptions(ColorCBOption(coCustomColors));
    EXPECT_EQ(Combo->Items().Count(), 2);
    EXPECT_EQ(Combo->Items().Strings(0), "$00123456");
    EXPECT_EQ(Combo->Items().Strings(1), "$00000012");
}

TEST_F(KitColorComboTest, SizesByDisplayStyle) {
    Combo->SetSelectedColor(clBlue);
    Combo->SetDisplayStyle(TKitCustomColorComboBox::csColor);
    EXPECT_EQ(Combo->Height(), 25);
    EXPECT_EQ(Combo->ItemHeight(), 15);
    EXPECT_EQ(Combo->SelectedColor(), clBlue);  // kept through the change
    Combo->SetDisplayStyle(TKitCustomColorComboBox::csText);
    EXPECT_EQ(Combo->ItemHeight(), FontLineHeight(Combo->Font()) + 2);
    EXPECT_EQ(Combo->Height(), Combo->ItemHeight() + 11);
}

TEST_F(KitColorComboTest, RightClickOpensTheColourDialog) {
    Combo->SetOptions(Combo->Options() | ColorCBOption(coAllowDialog));
    int before = 0, after = 0;
    Combo->OnBeforeDialogShow = [&](TObject*, TColorDialog&) { ++before; };
    Combo->OnAfterDialogShow = [&](TObject*, TColorDialog&) { ++after; };
    Driver.AnswerDialog([](TCommonDialog& d) {
        static_cast<TColorDialog&>(d).Color = clLime;
        return true;
    });
    Driver.Click(*Combo, 20, 5, TMouseButton::mbRight);
    EXPECT_EQ(Combo->SelectedColor(), clLime);
    EXPECT_EQ(before, 1);
    EXPECT_EQ(after, 1);
    EXPECT_FALSE(Combo->DroppedDown());
}

TEST_F(KitColorComboTest, FocusMovesOnAfterAMouseChoiceOnly) {
    auto* edit = NewComponent<TEdit>(Form);
    edit->SetParent(Form);
    edit->SetBounds(10, 100, 100, 21);
    Combo->SetFocusControl(edit);
    int selects = 0;
    Combo->OnSelect = [&](TObject*) { ++selects; };
    Combo->SetFocus();
    Driver.KeyTo(*Combo, VK_DOWN);
    EXPECT_EQ(selects, 1);
    EXPECT_TRUE(Combo->Focused());  // an arrow key keeps the focus

    Driver.Click(*Combo);
    ASSERT_TRUE(Combo->DroppedDown());
    TRect r = Combo->DropDownItemRect(3);
    TRect top = Combo->DropDownItemRect(Combo->ListTopIndex());
    Driver.Click(*Combo->ListWindow(), 20, 1 + r.Top - top.Top + r.Height() / 2);
    EXPECT_EQ(Combo->ItemIndex(), 3);
    EXPECT_EQ(selects, 2);
    EXPECT_TRUE(edit->Focused());

    edit->Free();  // the reference goes with the control
    EXPECT_EQ(Combo->FocusControl(), nullptr);
}

TEST_F(KitColorComboTest, FlatBorderWhenIdle) {
    auto* edit = NewComponent<TEdit>(Form);
    edit->SetParent(Form);
    edit->SetBounds(10, 100, 100, 21);
    Combo->SetFlat(true);
    edit->SetFocus();
    Driver.RunPending();
    ASSERT_FALSE(Combo->Focused());
    EXPECT_EQ(At(0, 10), ColorToRGB(clBtnFace));
    EXPECT_EQ(At(1, 10), ColorToRGB(clBtnFace));
    EXPECT_EQ(At(2, 10), ColorToRGB(clWindow));
    Combo->SetFocus();  // focused: the sunken look
    Driver.RunPending();
    EXPECT_EQ(At(0, 10), ColorToRGB(clBtnShadow));
}

}  // namespace
}  // namespace kit
