// The attached button: following its control, moving it back, refusing a second button,
// re-hooking a re-created window and letting go of a freed control.
#include "controls/entry/CtlAttachedButton.h"

#include <gtest/gtest.h>

#include "controls/entry/CtlMessages.h"
#include "framework/stdctrls/Edit.h"
#include "framework/ui/testsupport/FormDriver.h"

namespace entry {
namespace {

using namespace framework;

class AttachedButtonTest : public ::testing::Test {
protected:
    TFormDriver Driver;
    TForm* Form = TCustomForm::Create<TForm>(Application);
    TEdit* Edit = nullptr;
    TCtlAttachedButton* Button = nullptr;
    void SetUp() override {
        Form->SetBounds(40, 40, 400, 300);
        Edit = NewComponent<TEdit>(Form);
        Edit->SetParent(Form);
        Edit->SetBounds(20, 30, 120, 22);
        Button = NewComponent<TCtlAttachedButton>(Form);
        Button->SetName("AttachedButton1");
        Button->SetParent(Form);
        Form->Show();
        Button->SetAttachedControl(Edit);
        Driver.RunPending();
    }
    void TearDown() override {
        Form->Free();
        Driver.RunPending();
    }
};

TEST_F(AttachedButtonTest, FollowsTheControlOnEverySide) {
    TCtlAttachedButton plain(nullptr);
    EXPECT_EQ(plain.Width(), 21);
    EXPECT_EQ(plain.Height(), 21);
    EXPECT_EQ(plain.Separation(), 1);
    EXPECT_EQ(plain.Position(), bpRight);
    EXPECT_FALSE(plain.ControlStyle & csSetCaption);

    EXPECT_TRUE(Button->Hooked());
    EXPECT_EQ(Button->BoundsRect(), Rect(141, 30, 162, 52));
    Edit->SetBounds(60, 80, 100, 25);  // moved and resized
    EXPECT_EQ(Button->BoundsRect(), Rect(161, 80, 182, 105));
    Edit->SetLeft(10);
    EXPECT_EQ(Button->Left(), 111);

    struct Case {
        TCtlButtonPosition position;
        int separation;
        TRect bounds;
    };
    const Case cases[] = {
        {bpLeft, 1, Rect(-12, 80, 9, 105)},
        {bpTop, 3, Rect(10, 52, 110, 77)},  // the height it had on the left stays
        {bpBottom, 2, Rect(10, 107, 110, 132)},
        {bpRight, 4, Rect(114, 80, 214, 105)},  // the width it had on top stays
    };
    for (const Case& c : cases) {
        Button->SetSeparation(c.separation);
        Button->SetPosition(c.position);
        EXPECT_EQ(Button->BoundsRect(), c.bounds) << int(c.position);
    }
}

TEST_F(AttachedButtonTest, TwoWayMovesTheControlWithTheButton) {
    Button->SetBounds(300, 100, 21, 30);  // one way only: the edit stays
    EXPECT_EQ(Edit->BoundsRect(), Rect(20, 30, 140, 52));
    Button->SetAttachTwoWay(true);
    Button->SetBounds(250, 150, 21, 22);
    EXPECT_EQ(Edit->BoundsRect(), Rect(129, 150, 249, 172));
    EXPECT_EQ(Button->BoundsRect(), Rect(250, 150, 271, 172));
    // And the edit still pulls the button.
    Edit->SetTop(10);
    EXPECT_EQ(Button->Top(), 10);
}

TEST_F(AttachedButtonTest, SecondButtonOnTheSameControlIsRefused) {
    auto* second = NewComponent<TCtlAttachedButton>(Form);
    second->SetParent(Form);
    try {
        second->SetAttachedControl(Edit);
        FAIL() << "no exception";
    } catch (const ECtlException& e) {
        EXPECT_STREQ(e.what(), "This control is already attached to AttachedButton1");
    }
    EXPECT_EQ(second->AttachedControl(), nullptr);
    // Another control is fine.
    auto* other = NewComponent<TEdit>(Form);
    other->SetParent(Form);
    other->HandleNeeded();
    second->SetAttachedControl(other);
    EXPECT_TRUE(second->Hooked());
}

TEST_F(AttachedButtonTest, RecreatedWindowIsHookedAgain) {
    const HWND before = Edit->Handle();
    Edit->RecreateWnd();
    Driver.RunPending();
    EXPECT_NE(Edit->Handle(), before);
    EXPECT_TRUE(Button->Hooked());
    EXPECT_EQ(SendMessage(Edit->Handle(), OM_GETATTACHEDBUTTON, 0, 0), reinterpret_cast<LRESULT>(Button));
    Edit->SetLeft(50);
    EXPECT_EQ(Button->Left(), 171);
}

TEST_F(AttachedButtonTest, FreedControlLeavesNoHook) {
    const HWND wnd = Edit->Handle();
    EXPECT_NE(SendMessage(wnd, OM_GETATTACHEDBUTTON, 0, 0), 0);
    Button->SetAttachedControl(nullptr);
    EXPECT_FALSE(Button->Hooked());
    EXPECT_EQ(SendMessage(wnd, OM_GETATTACHEDBUTTON, 0, 0), 0);
    Edit->SetLeft(70);
    EXPECT_EQ(Button->Left(), 141);  // no longer follows

    Button->SetAttachedControl(Edit);
    Edit->Free();
    Driver.RunPending();
    EXPECT_EQ(Button->AttachedControl(), nullptr);
    EXPECT_FALSE(Button->Hooked());
    // Freeing the button first leaves the control's own procedure in place.
    auto* edit = NewComponent<TEdit>(Form);
    edit->SetParent(Form);
    edit->HandleNeeded();
    Button->SetAttachedControl(edit);
    EXPECT_NE(SendMessage(edit->Handle(), OM_GETATTACHEDBUTTON, 0, 0), 0);
    Button->Free();
    EXPECT_EQ(SendMessage(edit->Handle(), OM_GETATTACHEDBUTTON, 0, 0), 0);
    edit->SetLeft(5);
    Driver.RunPending();
}

}  // namespace
}  // namespace entry
