#include "controls/entry/CtlEdPopup.h"

#include <gtest/gtest.h>

#include "controls/entry/CtlController.h"
#include "controls/entry/CtlDateEdit.h"
#include "framework/core/Seams.h"
#include "framework/stdctrls/Button.h"
#include "framework/ui/Forms.h"
#include "framework/ui/Windows.h"
#include "framework/ui/testsupport/FormDriver.h"

namespace entry {
namespace {

using namespace framework;

class PopupEditTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetClock([] { return EncodeDate(2026, 3, 6) + 0.5; });
        Form = TCustomForm::Create<TForm>(Application);
        Form->SetBounds(100, 100, 360, 300);
        new TCtlController(Form);
        Popup = new TCtlEdPopup(Form);
        Popup->SetParent(Form);
        Popup->SetBounds(10, 10, 150, 24);
        Popup->OnPopupOpen = [this](TObject*) { ++Opened; };
        Popup->OnPopupClose = [this](TObject*) { ++Closed; };
        Dates = new TCtlDateEdit(Form);
        Dates->SetParent(Form);
        Dates->SetBounds(10, 50, 120, 24);
        Default = new TButton(Form);
        Default->SetParent(Form);
        Default->SetBounds(200, 10, 75, 25);
        Default->SetDefault(true);
        Default->OnClick = [this](TObject*) { ++DefaultClicks; };
        Form->Show();
        Driver.RunPending();
    }
    void TearDown() override {
        if (Form) Form->Free();
        Driver.RunPending();
        SetClock(nullptr);
    }
    void Enter(TWinControl* C) {
        C->SetFocus();
        Driver.RunPending();
    }

    TFormDriver Driver;
    TForm* Form = nullptr;
    TCtlEdPopup* Popup = nullptr;
    TCtlDateEdit* Dates = nullptr;
    TButton* Default = nullptr;
    int Opened = 0, Closed = 0, DefaultClicks = 0;
};

TEST_F(PopupEditTest, ButtonSizeFollowsTheGlyph) {
    EXPECT_EQ(Popup->Button()->Width(), GetSystemMetrics(SM_CXHSCROLL));
    TBitmap glyph;
    glyph.SetSize(30, 10);
    Popup->SetButtonGlyph(&glyph);
    EXPECT_EQ(Popup->Button()->Width(), 34);
    EXPECT_EQ(Popup->Button()->Left(), Popup->Width() - 34 - 4);
    Popup->SetButtonGlyph(nullptr);
    EXPECT_EQ(Popup->Button()->Width(), GetSystemMetrics(SM_CXHSCROLL));
    const int width = Popup->Width();
    Popup->SetShowButton(false);
    EXPECT_EQ(Popup->Button()->Width(), 0);
    EXPECT_EQ(Popup->Button()->Height(), 0);
    EXPECT_EQ(Popup->Width(), width) << "the edit itself stays";
}

TEST_F(PopupEditTest, ReadOnlyEditHasADisabledButton) {
    auto* e = new TCtlEdPopup(Form);
    e->SetReadOnly(true);
    EXPECT_TRUE(e->Button()->Enabled() == false);
    e->SetParent(Form);
    e->SetBounds(10, 90, 150, 24);
    e->HandleNeeded();
    EXPECT_FALSE(e->Button()->Enabled());
    e->SetReadOnly(false);
    EXPECT_TRUE(e->Button()->Enabled());
}

TEST_F(PopupEditTest, EnterWhileOpenClosesAndReachesNoDefaultButton) {
    Enter(Popup);
    Driver.Click(*Popup->Button());
    Driver.RunPending();
    EXPECT_TRUE(Popup->PopupIsOpen());
    EXPECT_EQ(Opened, 1);
    Enter(Popup);
    Driver.Key(VK_RETURN);
    Driver.RunPending();
    EXPECT_FALSE(Popup->PopupIsOpen());
    EXPECT_EQ(Closed, 1);
    EXPECT_EQ(DefaultClicks, 0);
    Driver.Key(VK_RETURN);
    Driver.RunPending();
    EXPECT_EQ(DefaultClicks, 1) << "closed, Enter is the form's again";
}

TEST_F(PopupEditTest, CalendarOpensBelowTheEditAndChoosingADayCloses) {
    Dates->SetDate(EncodeDate(2026, 3, 6));
    Enter(Dates);
    Driver.Key(VK_DOWN, ssAlt);
    Driver.RunPending();
    TCtlCalendar& cal = Dates->Calendar();
    ASSERT_TRUE(cal.Visible());
    EXPECT_TRUE(Dates->PopupIsOpen());
    // Right-aligned with the edit, just under it.
    const TPoint below = Dates->ClientToScreen(Point(Dates->Width() - 1, Dates->Height() - 2));
    EXPECT_NEAR(cal.Left() + cal.Width(), below.X, 4);
    EXPECT_EQ(cal.Top(), below.Y);
    EXPECT_EQ(cal.Date(), EncodeDate(2026, 3, 6));
    const TRect r = cal.CellRect(4, 3);  // 18 March
    Driver.Click(cal, r.Left + r.Width() / 2, r.Top + r.Height() / 2);
    Driver.RunPending();
    EXPECT_FALSE(cal.Visible());
    EXPECT_EQ(Form->ActiveControl(), Dates);
    EXPECT_EQ(Dates->SelStart(), static_cast<int>(Dates->Text().size())) << "caret at the end";
    EXPECT_EQ(Dates->SelLength(), 0);
    EXPECT_EQ(Dates->GetDate(), EncodeDate(2026, 3, 18));
}

TEST_F(PopupEditTest, CalendarOpensAboveNearTheBottomOfTheWorkArea) {
    const TRect work = Screen->WorkAreaRect();
    Form->SetBounds(100, work.Bottom - 120, 360, 110);
    Driver.RunPending();
    Enter(Dates);
    Dates->PopupOpen();
    Driver.RunPending();
    TCtlCalendar& cal = Dates->Calendar();
    const TPoint edit = Dates->ClientToScreen(Point(0, 0));
    EXPECT_NEAR(cal.Top() + cal.Height(), edit.Y - 2, 4) << "above the edit";
    Dates->PopupClose(&cal);
    const int w = cal.Width(), h = cal.Height();
    for (int i = 0; i < 3; ++i) {
        Dates->PopupOpen();
        Driver.RunPending();
        Dates->PopupClose(&cal);
        Driver.RunPending();
    }
    EXPECT_EQ(cal.Width(), w) << "the popup keeps its size";
    EXPECT_EQ(cal.Height(), h);
}

TEST_F(PopupEditTest, KeysInThePopupCloseIt) {
    Dates->SetDate(EncodeDate(2026, 3, 6));
    Enter(Dates);
    Dates->SetSelStart(3);
    Dates->SetSelLength(0);
    Dates->PopupOpen();
    Driver.RunPending();
    TCtlCalendar& cal = Dates->Calendar();
    ASSERT_EQ(Form->ActiveControl() == Dates || cal.Focused(), true);
    Driver.Key(VK_RIGHT);
    EXPECT_EQ(Dates->GetDate(), EncodeDate(2026, 3, 7)) << "browsing sets the date and stays open";
    EXPECT_TRUE(cal.Visible());
    Driver.Key(VK_ESCAPE);
    Driver.RunPending();
    EXPECT_FALSE(cal.Visible());
    EXPECT_EQ(Dates->SelStart(), 3) << "the caret is back where it was";
    EXPECT_EQ(Dates->SelLength(), 0);

    Dates->PopupOpen();
    Driver.RunPending();
    Driver.Key(VK_TAB);
    Driver.RunPending();
    EXPECT_FALSE(cal.Visible());
    EXPECT_NE(Form->ActiveControl(), Dates) << "the focus moved on";
}

TEST_F(PopupEditTest, AClickOutsideClosesThePopup) {
    Enter(Dates);
    Dates->PopupOpen();
    Driver.RunPending();
    TCtlCalendar& cal = Dates->Calendar();
    ASSERT_TRUE(cal.Visible());
    Driver.Click(cal, -20, -20);
    Driver.RunPending();
    EXPECT_FALSE(cal.Visible());
    EXPECT_FALSE(Dates->PopupIsOpen());
}

}  // namespace
}  // namespace entry
