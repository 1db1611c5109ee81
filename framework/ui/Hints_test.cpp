#include "framework/ui/Hints.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "framework/ui/Forms.h"
#include "framework/ui/testsupport/FormDriver.h"

namespace framework {
namespace {

// A control that answers CM_HINTSHOW through a test's handler.
class THintedBox : public TCustomControl {
public:
    explicit THintedBox(TComponent* AOwner) : TCustomControl(AOwner) {}
    std::function<LRESULT(THintInfo&)> OnHintShow;
    void Dispatch(TMessage& M) override {
        if (M.Msg == CM_HINTSHOW && OnHintShow) {
            M.Result = OnHintShow(*reinterpret_cast<THintInfo*>(M.LParam));
            return;
        }
        TCustomControl::Dispatch(M);
    }
};

class HintsTest : public ::testing::Test {
protected:
    void SetUp() override {
        Form = TCustomForm::Create<TForm>(Application);
        Form->SetBounds(100, 100, 300, 200);
        Button = NewComponent<THintedBox>(Form);
        Button->SetParent(Form);
        Button->SetBounds(10, 10, 80, 24);
        Button->Hint = "Open|Opens a catalog file";
        Button->SetShowHint(true);
        Other = NewComponent<THintedBox>(Form);
        Other->SetParent(Form);
        Other->SetBounds(10, 60, 80, 24);
        Other->Hint = "Close";
        Other->SetShowHint(true);
        Form->Show();
        Application->OnHint = [this](TObject*) { Hints.push_back(Application->Hint()); };
        Driver.RunPending();
    }
    void TearDown() override {
        Application->OnHint = nullptr;
        Application->ShowHint = true;
        Application->CancelHint();
        Application->SetHint("");
        if (Form) Form->Free();
        Driver.RunPending();
    }
    // The text of the hint window now showing ("" when none is).
    static std::string ShownHint() {
        THintWindow* w = ShownHintWindow();
        return w ? w->Caption() : std::string();
    }
    TFormDriver Driver;
    TForm* Form = nullptr;
    THintedBox* Button = nullptr;
    THintedBox* Other = nullptr;
    std::vector<std::string> Hints;  // Application->Hint at each OnHint
};

TEST(HintText, ShortAndLongParts) {
    struct Case {
        const char* Hint;
        const char* Short;
        const char* Long;
    };
    for (Case c : {Case{"Open|Opens a file", "Open", "Opens a file"}, Case{"Both", "Both", "Both"},
                   Case{"|Only long", "", "Only long"}, Case{"Only short|", "Only short", ""},
                   Case{"a|b|c", "a", "b|c"}, Case{"", "", ""}}) {
        SCOPED_TRACE(c.Hint);
        EXPECT_EQ(GetShortHint(c.Hint), c.Short);
        EXPECT_EQ(GetLongHint(c.Hint), c.Long);
    }
}

TEST_F(HintsTest, RestingPointerShowsTheShortHintBelowItAfterThePauseAndHidesAfterTheHidePause) {
    Driver.MouseMove(*Button, 20, 12);
    EXPECT_EQ(Hints, std::vector<std::string>{"Opens a catalog file"});  // OnHint gets the long text
    EXPECT_EQ(Application->Hint(), "Opens a catalog file");
    Driver.Advance(Application->HintPause - 10);
    EXPECT_EQ(ShownHintWindow(), nullptr);
    Driver.Advance(10);
    THintWindow* w = ShownHintWindow();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->Caption(), "Open");
    TPoint cursor;
    GetCursorPos(&cursor);
    EXPECT_EQ(cursor, Button->ClientToScreen(TPoint{20, 12}));
    EXPECT_EQ(w->Left(), cursor.X);
    EXPECT_GT(w->Top(), cursor.Y);  // below the pointer
    EXPECT_TRUE(IsWindowVisible(w->Handle()));
    EXPECT_EQ(Driver.PixelAt(*w, w->ClientWidth() - 2, w->ClientHeight() - 2), GetSysColor(COLOR_INFOBK));
    // Moving about on the same control keeps it.
    Driver.MouseMove(*Button, 22, 12);
    EXPECT_EQ(ShownHint(), "Open");
    Driver.Advance(Application->HintHidePause - 10);
    EXPECT_EQ(ShownHint(), "Open");
    Driver.Advance(10);
    EXPECT_EQ(ShownHintWindow(), nullptr);
    EXPECT_FALSE(IsWindowVisible(w->Handle()));
    // Not again while the pointer stays on the control.
    Driver.MouseMove(*Button, 24, 12);
    Driver.Advance(5000, 250);
    EXPECT_EQ(ShownHintWindow(), nullptr);
    EXPECT_EQ(Hints.size(), 1u);
}

TEST_F(HintsTest, KeyPressButtonPressAndLeavingHideTheHint) {
    struct Case {
        const char* Name;
        std::function<void()> Act;
    };
    Case cases[] = {
        {"key", [&] { Driver.Key(VK_SHIFT); }},
        {"button", [&] { Driver.MouseDown(*Button, 20, 12), Driver.MouseUp(*Button, 20, 12); }},
        {"leave", [&] { Driver.MouseLeave(*Button); }},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.Name);
        Driver.MouseMove(*Other, 5, 5);
        Driver.MouseMove(*Button, 20, 12);
        Driver.Advance(Application->HintPause);
        ASSERT_EQ(ShownHint(), "Open");
        c.Act();
        EXPECT_EQ(ShownHintWindow(), nullptr);
        Driver.Advance(Application->HintPause);
        EXPECT_EQ(ShownHintWindow(), nullptr);
    }
    EXPECT_EQ(Application->Hint(), "");  // the pointer is over no control
}

TEST_F(HintsTest, MovingOnFromAShowingHintTakesTheShortPause) {
    Driver.MouseMove(*Button, 20, 12);
    Driver.Advance(Application->HintPause);
    ASSERT_EQ(ShownHint(), "Open");
    Driver.MouseMove(*Other, 5, 5);
    EXPECT_EQ(ShownHintWindow(), nullptr);
    EXPECT_EQ(Application->Hint(), "Close");
    Driver.Advance(Application->HintShortPause);
    EXPECT_EQ(ShownHint(), "Close");
    EXPECT_EQ(Hints, (std::vector<std::string>{"Opens a catalog file", "Close"}));
}

TEST_F(HintsTest, HintShowHandlerMayCancelOrChangeTheHint) {
    int asked = 0;
    Button->OnHintShow = [&](THintInfo& Info) -> LRESULT {
        ++asked;
        EXPECT_EQ(Info.HintControl, Button);
        EXPECT_EQ(Info.HintStr, "Open");
        EXPECT_EQ(Info.CursorPos, (TPoint{20, 12}));
        EXPECT_EQ(Info.HideTimeout, Application->HintHidePause);
        return 1;
    };
    Driver.MouseMove(*Button, 20, 12);
    Driver.Advance(Application->HintPause * 4, 100);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(ShownHintWindow(), nullptr);

    Driver.MouseMove(*Other, 5, 5);
    Button->OnHintShow = [&](THintInfo& Info) -> LRESULT {
        Info.HintStr = "Open a catalog";
        Info.HideTimeout = 100;
        return 0;
    };
    Driver.MouseMove(*Button, 20, 12);
    Driver.Advance(Application->HintPause);
    EXPECT_EQ(ShownHint(), "Open a catalog");
    Driver.Advance(100);
    EXPECT_EQ(ShownHintWindow(), nullptr);
}

TEST_F(HintsTest, ShowHintFalseShowsNothingAndParentShowHintInherits) {
    Button->SetShowHint(false);
    Driver.MouseMove(*Button, 20, 12);
    Driver.Advance(Application->HintPause * 2);
    EXPECT_EQ(ShownHintWindow(), nullptr);
    EXPECT_EQ(Application->Hint(), "Opens a catalog file");  // the status text still follows

    // A control without ShowHint of its own takes its parent's.
    Driver.MouseMove(*Other, 5, 5);
    Form->SetShowHint(true);
    Button->SetParentShowHint(true);
    EXPECT_TRUE(Button->ShowHint());
    Driver.MouseMove(*Button, 20, 12);
    Driver.Advance(Application->HintPause);
    EXPECT_EQ(ShownHint(), "Open");

    // The application may turn hints off altogether.
    Driver.MouseMove(*Other, 5, 5);
    Application->CancelHint();
    Application->ShowHint = false;
    Driver.MouseMove(*Button, 20, 12);
    Driver.Advance(Application->HintPause * 2);
    EXPECT_EQ(ShownHintWindow(), nullptr);
}

TEST_F(HintsTest, ControlFreedWhileItsHintWaitsOrShows) {
    Driver.MouseMove(*Button, 20, 12);
    Button->Free();
    Button = nullptr;
    Driver.Advance(Application->HintPause * 2);
    EXPECT_EQ(ShownHintWindow(), nullptr);
    Driver.MouseMove(*Other, 5, 5);
    Driver.Advance(Application->HintPause);
    ASSERT_EQ(ShownHint(), "Close");
    Other->Free();
    Other = nullptr;
    EXPECT_EQ(ShownHintWindow(), nullptr);
    Driver.Advance(Application->HintHidePause * 2);
}

}  // namespace
}  // namespace framework
