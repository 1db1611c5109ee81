#include "framework/ui/Controls.h"

#include <gtest/gtest.h>

#include "framework/ui/Forms.h"
#include "framework/ui/testsupport/FormDriver.h"
#include "framework/ui/testsupport/TestControls.h"

namespace framework {
namespace {

class ControlsTest : public ::testing::Test {
protected:
    void SetUp() override {
        Form = TCustomForm::Create<TForm>(Application);
        Form->SetClientSize(300, 200);
        A = NewComponent<TTestButton>(Form);
        A->SetParent(Form);
        A->SetCaption("&Alpha");
        A->SetBounds(10, 10, 75, 25);
        B = NewComponent<TTestButton>(Form);
        B->SetParent(Form);
        B->SetCaption("&Beta");
        B->SetBounds(10, 40, 75, 25);
        Box = NewComponent<TLogControl>(Form);
        Box->SetParent(Form);
        Box->SetBounds(100, 10, 150, 100);
        Form->Show();
        Driver.RunPending();
    }
    void TearDown() override {
        if (Form) Form->Free();
        Driver.RunPending();
    }
    TFormDriver Driver;
    TForm* Form = nullptr;
    TTestButton* A = nullptr;
    TTestButton* B = nullptr;
    TLogControl* Box = nullptr;
};

// A control that makes its child anew with every window, as a control with an inner editor does.
class TRemakesChild : public TCustomControl {
public:
    using TCustomControl::TCustomControl;
    TLogControl* Child = nullptr;

protected:
    void CreateWnd() override {
        TCustomControl::CreateWnd();
        if (Child) Child->Free();
        Child = NewComponent<TLogControl>(this);
        Child->SetParent(this);
        Child->SetBounds(0, 0, 20, 20);
    }
};

// The focused child freed by the re-creation is not touched afterwards (the sanitizer build would
// report it); the new child is there.
TEST_F(ControlsTest, RecreatingAWindowThatRemakesTheFocusedChildIsSafe) {
    auto* outer = NewComponent<TRemakesChild>(Form);
    outer->SetParent(Form);
    outer->SetBounds(10, 120, 60, 40);
    Driver.RunPending();
    ASSERT_NE(outer->Child, nullptr);
    outer->Child->SetFocus();
    Driver.RunPending();
    TLogControl* old = outer->Child;
    ASSERT_EQ(FindControl(GetFocus()), old);
    outer->RecreateWnd();
    EXPECT_NE(outer->Child, nullptr);
    EXPECT_TRUE(outer->Child->HandleAllocated());
    // A focused child that survives gets the focus back.
    B->SetFocus();
    Driver.RunPending();
    Form->RecreateWnd();
    Driver.RunPending();
    EXPECT_EQ(FindControl(GetFocus()), B);
}

TEST_F(ControlsTest, ArrowsMoveBetweenControlsThatDoNotWantThemAndEnterExitFollowTheFocus) {
    std::vector<std::string> events;
    for (TWinControl* c : std::initializer_list<TWinControl*>{A, B, Box}) {
        c->OnEnter = [&events, c](TObject*) { events.push_back("enter " + c->Caption()); };
        c->OnExit = [&events, c](TObject*) { events.push_back("exit " + c->Caption()); };
    }
    Box->SetCaption("Box");
    A->SetFocus();
    Driver.RunPending();
    events.clear();
    Driver.Key(VK_DOWN);  // buttons do not want arrows: the form moves the focus
    EXPECT_EQ(FindControl(GetFocus()), B);
    Driver.Key(VK_DOWN);
    EXPECT_EQ(FindControl(GetFocus()), Box);
    Driver.Key(VK_DOWN);  // the box wants arrows: it keeps the focus and gets the key
    EXPECT_EQ(FindControl(GetFocus()), Box);
    EXPECT_EQ(Box->Only({WM_KEYDOWN}).size(), 1u);
    Driver.Key(VK_UP, 0);
    EXPECT_EQ(events, (std::vector<std::string>{"exit &Alpha", "enter &Beta", "exit &Beta", "enter Box"}));
    EXPECT_EQ(Form->ActiveControl(), Box);
}

TEST_F(ControlsTest, ClickIntoAnotherFormActivatesItAndFocusesItsActiveControl) {
    auto* other = TCustomForm::Create<TForm>(Application);
    auto* edit = NewComponent<TTestEdit>(other);
    edit->SetParent(other);
    auto* label = NewComponent<TTestGraphic>(other);
    label->SetParent(other);
    label->SetBounds(0, 50, 40, 20);
    other->Show();
    Driver.RunPending();
    A->SetFocus();
    Driver.RunPending();
    EXPECT_EQ(Screen->ActiveForm(), Form);
    std::vector<std::string> activations;
    Form->OnDeactivate = [&](TObject*) { activations.push_back("main off"); };
    other->OnActivate = [&](TObject*) { activations.push_back("other on"); };
    Driver.Click(*label);
    EXPECT_EQ(Screen->ActiveForm(), other);
    EXPECT_EQ(FindControl(GetFocus()), edit);
    EXPECT_EQ(activations, (std::vector<std::string>{"main off", "other on"}));
    Form->OnDeactivate = nullptr;
    other->Free();
}

TEST_F(ControlsTest, FocusChangeIsBroadcastToTheFormsControls) {
    std::vector<LPARAM> seen;
    auto old = B->WindowProc;
    B->WindowProc = [&](TMessage& m) {
        if (m.Msg == CM_FOCUSCHANGED) seen.push_back(m.LParam);
        old(m);
    };
    Box->SetFocus();
    A->SetFocus();
    B->WindowProc = old;
    EXPECT_EQ(seen, (std::vector<LPARAM>{reinterpret_cast<LPARAM>(Box), reinterpret_cast<LPARAM>(A)}));
}

TEST_F(ControlsTest, AcceleratorsTable) {
    struct Case {
        uint16_t Key;
        const char* Caption;
        bool Expected;
    };
    for (const Case& c : {Case{'A', "&Alpha", true}, Case{'a', "&Alpha", true}, Case{'L', "&Alpha", false},
                          Case{'B', "Fish && &Bread", true}, Case{'&', "Fish && Chips", false},
                          Case{'X', "E&xit", true}, Case{'E', "No accelerator", false}})
        EXPECT_EQ(IsAccel(c.Key, c.Caption), c.Expected) << c.Caption << " " << char(c.Key);
}

TEST_F(ControlsTest, MouseMessagesCarryKeyFlagsAndDoubleClicks) {
    Box->Log.clear();
    Driver.MouseDown(*Box, 5, 6, TMouseButton::mbLeft, ssShift | ssCtrl);
    Driver.MouseUp(*Box, 5, 6, TMouseButton::mbLeft, ssShift | ssCtrl);
    Driver.DoubleClick(*Box, 7, 8);
    Driver.Click(*Box, 1, 2, TMouseButton::mbRight);
    auto m = Box->Only({WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_RBUTTONDOWN, WM_RBUTTONUP});
    std::vector<UINT> kinds;
    for (auto& x : m) kinds.push_back(x.Msg);
    EXPECT_EQ(kinds, (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDOWN, WM_LBUTTONUP,
                                        WM_LBUTTONDBLCLK, WM_LBUTTONUP, WM_RBUTTONDOWN, WM_RBUTTONUP}));
    EXPECT_EQ(m[0].WParam, MK_LBUTTON | MK_SHIFT | MK_CONTROL);
    EXPECT_EQ(GetXLParam(m[0].LParam), 5);
    EXPECT_EQ(GetYLParam(m[0].LParam), 6);
    EXPECT_EQ(m[1].WParam, MK_SHIFT | MK_CONTROL);  // the button is up in its own release
    EXPECT_EQ(m[6].WParam, MK_RBUTTON);

    // A control without double clicks in its style gets a second button-down instead.
    auto* plain = NewComponent<TLogControl>(Form);
    plain->ControlStyle &= ~csDoubleClicks;
    plain->SetParent(Form);
    plain->SetBounds(100, 120, 50, 50);
    Driver.DoubleClick(*plain);
    EXPECT_EQ(plain->Only({WM_LBUTTONDBLCLK}).size(), 0u);
    EXPECT_EQ(plain->Only({WM_LBUTTONDOWN}).size(), 2u);
}

TEST_F(ControlsTest, WheelGoesToTheFocusedControlAndUpToItsParent) {
    Box->SetFocus();
    Driver.RunPending();
    int delta = 0;
    Box->OnMouseWheel = [&](TObject*, TShiftState, int WheelDelta, TPoint, bool& Handled) {
        delta = WheelDelta;
        Handled = true;
    };
    Driver.Wheel(*A, -WHEEL_DELTA);  // the pointer is over another control
    EXPECT_EQ(delta, -WHEEL_DELTA);
    auto w = Box->Only({WM_MOUSEWHEEL});
    ASSERT_EQ(w.size(), 1u);
    EXPECT_EQ(static_cast<int16_t>(HiWord(w[0].WParam)), -WHEEL_DELTA);

    // Not handled by the control: its parent window gets the message.
    Box->OnMouseWheel = nullptr;
    int formDelta = 0;
    Form->OnMouseWheel = [&](TObject*, TShiftState, int WheelDelta, TPoint, bool& Handled) {
        formDelta = WheelDelta;
        Handled = true;
    };
    Driver.Wheel(*Box, WHEEL_DELTA);
    EXPECT_EQ(formDelta, WHEEL_DELTA);
}

TEST_F(ControlsTest, ExceptionInAHandlerGoesToTheErrorBoxAndTheLoopGoesOn) {
    Box->OnClick = [](TObject*) { throw Exception("Bad click"); };
    HWND sink = AllocateHWnd([](TMessage& m) {
        if (m.Msg == WM_USER) throw Exception("Bad message");
    });
    Driver.Answer(IDOK);
    Driver.Answer(IDOK);
    Driver.Click(*Box);
    PostMessage(sink, WM_USER, 0, 0);
    int after = 0;
    HWND other = AllocateHWnd([&](TMessage& m) { after += m.Msg == WM_USER; });
    PostMessage(other, WM_USER, 0, 0);
    Application->ProcessMessages();
    EXPECT_EQ(after, 1);
    ASSERT_EQ(Driver.Shown.size(), 2u);
    EXPECT_EQ(Driver.Shown[0].Text, "Bad click.");
    EXPECT_EQ(Driver.Shown[1].Text, "Bad message.");
    DeallocateHWnd(sink);
    DeallocateHWnd(other);
}

TEST_F(ControlsTest, FormClosedWithCaFreeFromItsOwnButtonIsFreedAfterTheHandler) {
    auto* f = TCustomForm::Create<TForm>(Application);
    auto* btn = NewComponent<TTestButton>(f);
    btn->SetParent(f);
    bool destroyed = false;
    f->OnClose = [](TObject*, TCloseAction& Action) { Action = caFree; };
    f->OnDestroy = [&](TObject*) { destroyed = true; };
    btn->OnClick = [f](TObject*) { f->Close(); };
    f->Show();
    Driver.RunPending();
    HWND h = f->Handle();
    Driver.Click(*btn);
    EXPECT_TRUE(destroyed);
    EXPECT_FALSE(IsWindow(h));
    for (int i = 0; i < Screen->FormCount(); ++i) EXPECT_NE(Screen->Forms(i), f);
}

TEST_F(ControlsTest, FrameHoldsControlsAndIsSetUpWithItsForm) {
    struct TMyFrame : TFrame {
        explicit TMyFrame(TComponent* AOwner) : TFrame(AOwner) {
            Inner = NewComponent<TLogControl>(this);
            Inner->SetParent(this);
            Inner->SetAlign(alClient);
        }
        void Loaded() override {
            TFrame::Loaded();
            ++LoadedCount;
        }
        TLogControl* Inner;
        int LoadedCount = 0;
    };
    struct TFramedForm : TForm {
        explicit TFramedForm(TComponent* AOwner) : TForm(AOwner) {
            SetClientSize(200, 100);
            Frame = NewComponent<TMyFrame>(this);
            Frame->SetParent(this);
            Frame->SetBounds(10, 10, 120, 60);
        }
        TMyFrame* Frame;
    };
    auto* f = TCustomForm::Create<TFramedForm>(Application);
    EXPECT_EQ(f->Frame->LoadedCount, 1);
    EXPECT_FALSE(f->Frame->Inner->ComponentState() & csLoading);
    f->Show();
    Driver.RunPending();
    EXPECT_EQ(f->Frame->Inner->BoundsRect(), Rect(0, 0, 120, 60));
    EXPECT_EQ(f->Frame->Inner->ParentForm(), f);
    EXPECT_EQ(FindControl(GetFocus()), f->Frame->Inner);  // tab order reaches into the frame
    EXPECT_GE(f->Frame->Inner->PaintCount, 1);
    f->Free();
}

TEST_F(ControlsTest, HelpGoesThroughTheHelpHandlerWithTheHelpFile) {
    std::vector<std::string> calls;
    Application->HelpFile = "C:\\KORVANE\\Korvane.HLP";
    Application->SetHelpHandler([&](const std::string& File, uint32_t Command, uintptr_t Data) {
        calls.push_back(File + " " + std::to_string(Command) + " " + std::to_string(Data));
        return true;
    });
    EXPECT_TRUE(Application->HelpContext(18));
    bool callHelp = true;
    Application->OnHelp = [&](uint32_t, intptr_t, bool& CallHelp) {
        CallHelp = callHelp;
        return true;
    };
    callHelp = false;
    EXPECT_TRUE(Application->HelpCommand(HELP_INDEX, 0));
    Application->OnHelp = nullptr;
    Application->SetHelpHandler(nullptr);
    EXPECT_FALSE(Application->HelpContext(18));
    EXPECT_EQ(calls, (std::vector<std::string>{"C:\\KORVANE\\Korvane.HLP 1 18"}));
}

TEST_F(ControlsTest, FormResizeAndWindowStateAndStayOnTop) {
    int resized = 0;
    Form->OnResize = [&](TObject*) { ++resized; };
    Form->SetClientSize(350, 220);
    EXPECT_EQ(resized, 1);
    EXPECT_EQ(Form->ClientWidth(), 350);
    Form->SetFormStyle(fsStayOnTop);
    EXPECT_TRUE(GetWindowLong(Form->Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_TRUE(IsWindowVisible(Form->Handle()));  // re-created and shown again
    EXPECT_EQ(FindControl(GetFocus())->ParentForm(), Form);
    Form->SetWindowState(wsMaximized);
    EXPECT_EQ(Form->WindowState(), wsMaximized);
}

TEST_F(ControlsTest, AHiddenChildOfAWindowNotYetShownStaysHiddenWhenTheWindowShows) {
    TForm* f = TCustomForm::Create<TForm>(Application);
    auto* inner = NewComponent<TLogControl>(f);
    inner->SetParent(f);
    inner->SetBounds(0, 0, 50, 20);
    auto* hidden = NewComponent<TLogControl>(inner);
    hidden->SetVisible(false);
    hidden->SetParent(inner);
    inner->HandleNeeded();  // the windows exist before the form is shown
    f->Show();
    Driver.RunPending();
    EXPECT_TRUE(IsWindowVisible(inner->Handle()));
    EXPECT_FALSE(IsWindowVisible(hidden->Handle()));
    hidden->SetVisible(true);
    EXPECT_TRUE(IsWindowVisible(hidden->Handle()));
    f->Free();
}

// Pages switched and panels shown before their form opens, as a dialog opened on a chosen page.
TEST_F(ControlsTest, AChildShownOrHiddenWhileItsWindowIsHiddenFollowsThatWhenTheWindowShows) {
    TForm* f = TCustomForm::Create<TForm>(Application);
    auto* shown = NewComponent<TLogControl>(f);
    shown->SetParent(f);
    shown->SetBounds(0, 0, 50, 20);
    auto* hidden = NewComponent<TLogControl>(f);
    hidden->SetParent(f);
    hidden->SetBounds(0, 30, 50, 20);
    f->HandleNeeded();
    shown->SetVisible(false);
    hidden->SetVisible(false);
    shown->SetVisible(true);  // back on before the form shows
    EXPECT_FALSE(IsWindowVisible(shown->Handle())) << "not on screen while its form is hidden";
    f->Show();
    Driver.RunPending();
    EXPECT_TRUE(IsWindowVisible(shown->Handle()));
    EXPECT_FALSE(IsWindowVisible(hidden->Handle()));
    f->Hide();
    hidden->SetVisible(true);
    f->Show();
    Driver.RunPending();
    EXPECT_TRUE(IsWindowVisible(hidden->Handle()));
    f->Free();
}

}  // namespace
}  // namespace framework
