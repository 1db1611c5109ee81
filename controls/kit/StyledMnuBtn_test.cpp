// The menu button: where its menu opens, keys, tracking the pressed look, and its layout.
#include "controls/kit/StyledMnuBtn.h"

#include <gtest/gtest.h>

#include "framework/stdctrls/Menus.h"
#include "framework/ui/testsupport/FormDriver.h"

namespace kit {
namespace {

using namespace framework;

class MenuButtonTest : public ::testing::Test {
protected:
    TFormDriver Driver;
    TForm* Form = TCustomForm::Create<TForm>(Application);
    TStyledMenuButton* Button = nullptr;
    TPopupMenu* Menu = nullptr;
    std::vector<std::string> Log;
    void SetUp() override {
        Form->SetBounds(40, 40, 300, 200);
        Button = NewComponent<TStyledMenuButton>(Form);
        Button->SetBounds(20, 30, 75, 24);
        Button->SetCaption("Sorted");
        Button->SetParent(Form);
        Button->OnClick = [this](TObject*) { Log.push_back("click"); };
        Menu = NewComponent<TPopupMenu>(Form);
        for (const char* caption : {"&A. Sort By FileName", "&B. Sort By Size"}) {
            auto* item = NewComponent<TMenuItem>(Form);
            item->Caption = caption;
            item->OnClick = [this, caption](TObject*) { Log.push_back(caption); };
            Menu->Items()->Add(item);
        }
        Form->Show();
        Driver.RunPending();
    }
    void TearDown() override {
        Form->Free();
        Driver.RunPending();
    }
};

TEST_F(MenuButtonTest, DefaultsAndGlyphFollowTheMenuPosition) {
    EXPECT_EQ(Button->Width(), 75);
    EXPECT_EQ(Button->Height(), 24);
    EXPECT_TRUE(Button->TabStop());
    EXPECT_FALSE(Button->ControlStyle & csDoubleClicks);
    EXPECT_EQ(Button->MenuPosition(), mpBelow);
    EXPECT_FALSE(Button->Glyph().Empty());
    EXPECT_EQ(Button->Version(), "1.11");
    EXPECT_EQ(Button->Perform(WM_GETDLGCODE, 0, 0), DLGC_WANTARROWS);
    Button->SetMenuPosition(mpRight);
    EXPECT_EQ(Button->Glyph().Canvas().Pixel(2, 3), clBlack);  // the right arrow's tail column
    EXPECT_EQ(Button->Glyph().Canvas().Pixel(3, 2), clBlack);
    Driver.Grab(*Form, ::testing::TempDir() + "kit_menubutton.png");
}

TEST_F(MenuButtonTest, ClickOpensTheMenuAtTheButtonsCorner) {
    Button->SetPopupMenu(Menu);
    Button->SetMenuPosition(mpRight);
    Driver.AnswerMenu([](TMenuItem& items) { return items.Items(1); });
    Driver.Click(*Button);
    EXPECT_EQ(Menu->PopupPoint(), Button->ClientToScreen(Point(75, 0)));
    EXPECT_EQ(Menu->PopupComponent, Button);
    EXPECT_EQ(Log, (std::vector<std::string>{"&B. Sort By Size", "click"}));

    Log.clear();
    Button->SetMenuPosition(mpBelow);
    Driver.AnswerMenu([](TMenuItem&) { return nullptr; });  // dismissed
    Driver.Click(*Button);
    EXPECT_EQ(Menu->PopupPoint(), Button->ClientToScreen(Point(0, 24)));
    EXPECT_EQ(Log, (std::vector<std::string>{"click"}));
}

TEST_F(MenuButtonTest, KeysThatOpenTheMenu) {
    Button->SetPopupMenu(Menu);
    Button->SetMenuPosition(mpRight);
    Driver.AnswerMenu([](TMenuItem& items) { return items.Items(0); });
    Driver.KeyTo(*Button, VK_RIGHT);
    EXPECT_EQ(Log, (std::vector<std::string>{"&A. Sort By FileName", "click"}));
    EXPECT_FALSE(Button->Down());
    Log.clear();
    Driver.KeyTo(*Button, VK_DOWN);  // not this position's key
    Driver.KeyTo(*Button, VK_RIGHT, ssAlt);
    EXPECT_TRUE(Log.empty());
    EXPECT_EQ(Driver.PendingAnswers(), 0u);
}

TEST_F(MenuButtonTest, WithoutAMenuOnlyOnClickFires) {
    Driver.Click(*Button);
    EXPECT_EQ(Log, (std::vector<std::string>{"click"}));
    EXPECT_EQ(Button->Perform(WM_RBUTTONUP, 0, 0), 0);
}

TEST_F(MenuButtonTest, PressDragOutAndBackTracksTheLook) {
    Driver.MouseDown(*Button, 10, 10);
    EXPECT_TRUE(Button->Down());
    EXPECT_TRUE(Button->Focused());
    Driver.MouseMove(*Button, 200, 10, ssLeft);
    EXPECT_FALSE(Button->Down());
    Driver.MouseMove(*Button, 30, 12, ssLeft);
    EXPECT_TRUE(Button->Down());
    Driver.MouseMove(*Button, 30, 100, ssLeft);
    Driver.MouseUp(*Button, 30, 100);
    EXPECT_FALSE(Button->Down());
    EXPECT_TRUE(Log.empty());  // released outside: no click
}

TEST_F(MenuButtonTest, CaptionIsCentredWithoutTheGlyph) {
    Button->SetShowGlyph(false);
    Button->SetCaption("I");
    Driver.RunPending();
    // The caption's dark pixels lie about the middle column.
    int left = 75, right = -1;
    for (int y = 4; y < 20; ++y)
        for (int x = 3; x < 72; ++x)
            if (Driver.PixelAt(*Button, x, y) == clBlack) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
    ASSERT_GE(right, 0);
    EXPECT_LE(std::abs((left + right) / 2 - 37), 2);
}

TEST_F(MenuButtonTest, AcceleratorClicksAndOnlyEnterIsTakenAsADialogKey) {
    Button->SetCaption("&Sorted");
    EXPECT_EQ(Button->Perform(CM_DIALOGCHAR, 'X', 0), 0);
    EXPECT_EQ(Button->Perform(CM_DIALOGCHAR, 's', 0), 1);
    EXPECT_EQ(Log, (std::vector<std::string>{"click"}));
    Log.clear();
    Button->SetFocus();
    Driver.RunPending();
    EXPECT_EQ(Button->Perform(CM_DIALOGKEY, VK_ESCAPE, 0), 0);
    EXPECT_EQ(Button->Perform(CM_DIALOGKEY, VK_TAB, 0), 0);
    EXPECT_TRUE(Log.empty());
    EXPECT_EQ(Button->Perform(CM_DIALOGKEY, VK_RETURN, 0), 1);
    EXPECT_EQ(Log, (std::vector<std::string>{"click"}));
}

}  // namespace
}  // namespace kit
