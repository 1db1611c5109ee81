#include "controls/entry/CtlSpinner.h"

#include <gtest/gtest.h>

#include <vector>

#include "controls/entry/CtlController.h"
#include "controls/entry/CtlDateEdit.h"
#include "controls/entry/CtlPictureField.h"
#include "framework/core/Seams.h"
#include "framework/stdctrls/Edit.h"
#include "framework/ui/Forms.h"
#include "framework/ui/Windows.h"
#include "framework/ui/testsupport/FormDriver.h"

namespace entry {
namespace {

using namespace framework;

class SpinnerTest : public ::testing::Test {
protected:
    void SetUp() override {
        Form = TCustomForm::Create<TForm>(Application);
        Form->SetClientSize(300, 200);
        new TCtlController(Form);
        Field = new TCtlPictureField(Form);
        Field->SetParent(Form);
        Field->SetBounds(10, 10, 100, 25);
        Field->SetDataType(pftInteger);
        Field->SetPictureMask("iii");
        Field->SetAsInteger(5);
        Spinner = new TCtlSpinner(Form);
        Spinner->SetParent(Form);
        Spinner->SetBounds(120, 10, 16, 25);
        Spinner->SetFocusedControl(Field);
        Form->Show();
        Driver.RunPending();
        // The clock moves on by one millisecond whenever it is read; Script runs at each reading.
        Previous = SetTickCountSource([this] {
            ++Now;
            if (Script && !InScript) {
                InScript = true;
                Script(Now);
                InScript = false;
            }
            return Now;
        });
    }
    void TearDown() override {
        SetTickCountSource(Previous);
        Driver.MouseUp(*Spinner, 0, 0);
        if (Form) Form->Free();
        Driver.RunPending();
    }
    // Presses the spinner at (X, Y); OnClick records the time of every step and Then decides
    // after each step (its number from 1) what the pointer does next.
    void Hold(int X, int Y, std::function<void(int Step)> Then) {
        Spinner->OnClick = [this, Then](TObject*, TCtlSpinState State, double, bool) {
            Times.push_back(Now);
            States.push_back(State);
            Then(static_cast<int>(Times.size()));
        };
        Driver.MouseDown(*Spinner, X, Y);
        Driver.RunPending();
    }
    void Release() { Driver.MouseUp(*Spinner, 8, 5); }

    TFormDriver Driver;
    TForm* Form = nullptr;
    TCtlPictureField* Field = nullptr;
    TCtlSpinner* Spinner = nullptr;
    TTickCountFunc Previous;
    uint32_t Now = 1000;
    std::function<void(uint32_t)> Script;
    bool InScript = false;
    std::vector<uint32_t> Times;
    std::vector<TCtlSpinState> States;
};

TEST_F(SpinnerTest, AClickOnTheUpperHalfStepsOnce) {
    Hold(8, 5, [this](int) { Release(); });
    EXPECT_EQ(Field->GetAsInteger(), 6);
    EXPECT_EQ(Times.size(), 1u);
    EXPECT_EQ(Form->ActiveControl(), Field);
    EXPECT_FALSE(Spinner->Pressed());
}

TEST_F(SpinnerTest, HeldTheStepsComeFasterAndFollowThePointer) {
    Hold(8, 5, [this](int Step) {
        if (Step == 4) Driver.MouseMove(*Spinner, 8, 20);
        if (Step == 6) Release();
    });
    ASSERT_EQ(Times.size(), 6u);
    const int expected[] = {500, 450, 400, 350, 300};
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        const int gap = static_cast<int>(Times[static_cast<size_t>(i) + 1] - Times[static_cast<size_t>(i)]);
        EXPECT_GE(gap, expected[i]);
        EXPECT_LE(gap, expected[i] + 5);
    }
    EXPECT_EQ(States[3], ssUpBtn);
    EXPECT_EQ(States[4], ssDownBtn);
    EXPECT_EQ(Field->GetAsInteger(), 5 + 4 - 2);
}

TEST_F(SpinnerTest, OffTheSpinnerTheStepsPause) {
    uint32_t leftAt = 0;
    Hold(8, 5, [&](int Step) {
        if (Step == 2) {
            Driver.MouseMove(*Spinner, 8, 100);
            leftAt = Now;
            Script = [&](uint32_t T) {
                if (T == leftAt + 2000) Driver.MouseMove(*Spinner, 8, 5);
            };
        }
        if (Step == 3) Release();
    });
    ASSERT_EQ(Times.size(), 3u);
    EXPECT_GE(Times[2], leftAt + 2000) << "no step while the pointer was away";
    EXPECT_EQ(Field->GetAsInteger(), 8);
}

TEST_F(SpinnerTest, RepeatIntervalHasAFloor) {
    Spinner->SetAcceleration(11);
    EXPECT_EQ(Spinner->Acceleration(), 5) << "above 10: ignored";
    Field->SetRangeHi("999");
    Field->SetAsInteger(0);
    uint32_t start = 0;
    Hold(8, 5, [&](int Step) {
        if (Step == 1) start = Now;
        if (Now - start >= 10000) Release();
    });
    // 500 + 450 + ... + 50 = 2750 ms for the first eleven intervals, then one step every 10 ms.
    const size_t steps = Times.size();
    EXPECT_GE(steps, 300u) << "it goes on stepping";
    EXPECT_LE(steps, 11u + (10000 - 2750) / 10 + 1) << "at most one step in 10 ms";
    for (size_t i = 12; i < steps; ++i) EXPECT_GE(Times[i] - Times[i - 1], 10u);
}

TEST_F(SpinnerTest, NegativeAccelerationLengthensTheInterval) {
    Spinner->SetAcceleration(-5);
    EXPECT_EQ(Spinner->Acceleration(), -5);
    Hold(8, 5, [this](int Step) {
        if (Step == 3) Release();
    });
    ASSERT_EQ(Times.size(), 3u);
    EXPECT_GE(Times[1] - Times[0], 500u);
    EXPECT_GE(Times[2] - Times[1], 550u);
    EXPECT_LE(Times[2] - Times[1], 555u);
}

TEST_F(SpinnerTest, PlainEditsStepTheirNumber) {
    auto* edit = new TEdit(Form);
    edit->SetParent(Form);
    edit->SetBounds(10, 60, 100, 24);
    edit->SetText("2.5");
    Spinner->SetFocusedControl(edit);
    Hold(8, 5, [this](int) { Release(); });
    EXPECT_EQ(edit->Text(), "3.5");
    edit->SetText("abc");
    Times.clear();
    Hold(8, 5, [this](int) { Release(); });
    EXPECT_EQ(edit->Text(), "abc");
    EXPECT_TRUE(Driver.Shown.empty()) << "no message";
}

TEST_F(SpinnerTest, AnEmptyDateEditStepsFromToday) {
    SetClock([] { return EncodeDate(2026, 3, 6) + 0.5; });
    auto* dates = new TCtlDateEdit(Form);
    dates->SetParent(Form);
    dates->SetBounds(10, 100, 120, 24);
    Spinner->SetFocusedControl(dates);
    Hold(8, 5, [this](int) { Release(); });
    EXPECT_EQ(dates->GetDate(), EncodeDate(2026, 3, 7));
    SetClock(nullptr);
}

TEST_F(SpinnerTest, NothingToStepDoesNothing) {
    Spinner->SetFocusedControl(nullptr);
    Script = [this](uint32_t T) {
        if (T == 3000) Release();
    };
    Driver.MouseDown(*Spinner, 8, 5);
    Driver.RunPending();
    EXPECT_EQ(Field->GetAsInteger(), 5);
    EXPECT_FALSE(Spinner->Pressed());
}

TEST_F(SpinnerTest, HitTestOfEveryStyle) {
    struct Case {
        TCtlSpinnerStyle Style;
        int X, Y;
        TCtlSpinState State;
    } cases[] = {
        {stNormalVertical, 7, 3, ssUpBtn},
        {stNormalVertical, 7, 20, ssDownBtn},
        {stNormalHorizontal, 3, 20, ssLeftBtn},
        {stNormalHorizontal, 30, 20, ssRightBtn},
        {stFourWay, 20, 3, ssUpBtn},
        {stFourWay, 20, 36, ssDownBtn},
        {stFourWay, 3, 20, ssLeftBtn},
        {stFourWay, 36, 20, ssRightBtn},
        {stStar, 20, 4, ssUpBtn},
        {stStar, 20, 35, ssDownBtn},
        {stStar, 4, 20, ssLeftBtn},
        {stStar, 35, 20, ssRightBtn},
        {stStar, 20, 20, ssCenterBtn},
        {stStar, 2, 2, ssNormal},
        {stDiagonalVertical, 5, 5, ssUpBtn},
        {stDiagonalVertical, 34, 34, ssDownBtn},
        {stDiagonalHorizontal, 5, 5, ssLeftBtn},
        {stDiagonalHorizontal, 34, 34, ssRightBtn},
        {stDiagonalFourWay, 20, 10, ssUpBtn},
        {stDiagonalFourWay, 20, 30, ssDownBtn},
        {stDiagonalFourWay, 3, 20, ssLeftBtn},
        {stDiagonalFourWay, 36, 20, ssRightBtn},
        {stPlainStar, 20, 10, ssUpBtn},
        {stPlainStar, 20, 30, ssDownBtn},
        {stPlainStar, 10, 20, ssLeftBtn},
        {stPlainStar, 30, 20, ssRightBtn},
        {stPlainStar, 2, 2, ssNormal},
    };
    Spinner->SetBounds(150, 10, 40, 40);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.Style) << " " << c.X << "," << c.Y);
        Spinner->SetStyle(c.Style);
        EXPECT_EQ(Spinner->StateAt(c.X, c.Y), c.State);
    }
}

TEST_F(SpinnerTest, NormalVerticalPaintsTwoFacesThePressedOneSunken) {
    Driver.RunPending();
    // The top-left inner pixel of each face (the upper one 13 pixels high) is its highlight while
    // raised.
    EXPECT_EQ(Driver.PixelAt(*Spinner, 1, 1), static_cast<uint32_t>(ColorToRGB(clBtnHighlight)));
    EXPECT_EQ(Driver.PixelAt(*Spinner, 1, 14), static_cast<uint32_t>(ColorToRGB(clBtnHighlight)));
    uint32_t pressed = 0, other = 0;
    Hold(8, 5, [&](int) {
        Spinner->Repaint();
        pressed = Driver.PixelAt(*Spinner, 1, 1);
        other = Driver.PixelAt(*Spinner, 1, 14);
        Release();
    });
    EXPECT_EQ(pressed, static_cast<uint32_t>(ColorToRGB(clBtnShadow)));
    EXPECT_EQ(other, static_cast<uint32_t>(ColorToRGB(clBtnHighlight)));
    Driver.RunPending();
    EXPECT_EQ(Driver.PixelAt(*Spinner, 1, 1), static_cast<uint32_t>(ColorToRGB(clBtnHighlight)));
}

}  // namespace
}  // namespace entry
