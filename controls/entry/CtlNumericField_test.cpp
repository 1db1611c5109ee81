#include "controls/entry/CtlNumericField.h"

#include <gtest/gtest.h>

#include <cstring>

#include "controls/entry/CtlMessages.h"
#include "framework/ui/Clipbrd.h"
#include "framework/ui/Forms.h"
#include "framework/ui/Windows.h"
#include "framework/ui/testsupport/FormDriver.h"
#include "platform/Beep.h"

namespace entry {
namespace {

using namespace framework;

class NumericFieldTest : public ::testing::Test {
protected:
    void SetUp() override {
        Form = TCustomForm::Create<TForm>(Application);
        Form->SetClientSize(320, 200);
        Controller = new TCtlController(Form);
        Next = Make(nftLongInt, "", 150);
        Form->Show();
        Driver.RunPending();
        platform::ClearBeepHistory();
    }
    void TearDown() override {
        Driver.KeyUp(VK_SHIFT);
        if (Form) Form->Free();
        Driver.RunPending();
    }
    TCtlNumericField* Make(TNumericDataType Type, const std::string& Mask = "", int Top = 10) {
        auto* f = new TCtlNumericField(Form);
        f->SetParent(Form);
        f->SetBounds(10, Top, 200, 25);
        f->SetDataType(Type);
        if (!Mask.empty()) f->SetPictureMask(Mask);
        return f;
    }
    void Enter(TWinControl* C) {
        C->SetFocus();
        Driver.RunPending();
    }
    void Tab() {
        Driver.Key(VK_TAB);
        Driver.RunPending();
    }
    static double Value(TCtlNumericField* F) {
        TCtlEntryValue v;
        EXPECT_EQ(F->GetValue(v), 0);
        double d = 0;
        std::memcpy(&d, v.Bytes.data(), std::min<size_t>(8, v.Bytes.size()));
        return d;
    }
    size_t Beeps() const { return platform::BeepHistory().size(); }

    TFormDriver Driver;
    TForm* Form = nullptr;
    TCtlController* Controller = nullptr;
    TCtlNumericField* Next = nullptr;
};

TEST_F(NumericFieldTest, LayoutOfTheMask) {
    struct Case {
        const char* Mask;
        int D, P, I, MaxLength;
    } cases[] = {
        {"###.##", 6, 2, 3, 6},    {"iii", 3, 0, 3, 3},         {"##,###.##p", 8, 2, 5, 9},
        {"#,###.##p", 7, 2, 4, 8}, {"$##,###.##", 8, 2, 5, 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Mask);
        TCtlNumericField* f = Make(nftDouble, c.Mask);
        EXPECT_EQ(f->DigitBudget(), c.D);
        EXPECT_EQ(f->Decimals(), c.P);
        EXPECT_EQ(f->IntegerBudget(), c.I);
        EXPECT_EQ(f->MaxLength(), c.MaxLength);
        f->Free();
    }
}

TEST_F(NumericFieldTest, DigitsEnterFromTheRight) {
    TCtlNumericField* f = Make(nftDouble, "###.##");
    Enter(f);
    Driver.Type("12");
    EXPECT_EQ(f->GetDisplayText(), "12");
    EXPECT_EQ(f->CaretColumn(), 6);
    Driver.Type(".5");
    EXPECT_EQ(f->GetDisplayText(), "12.5");
    EXPECT_EQ(f->Buffer(), "12.5");
    Tab();
    EXPECT_EQ(f->GetDisplayText(), "12.50");
    Enter(f);
    EXPECT_EQ(f->GetDisplayText(), "12.50");
    EXPECT_DOUBLE_EQ(Value(f), 12.5);
}

TEST_F(NumericFieldTest, MoreDecimalsThanTheMaskShowsAreRefused) {
    TCtlNumericField* f = Make(nftDouble, "###.##");
    Enter(f);
    Driver.Type("1.25");
    EXPECT_EQ(Beeps(), 0u);
    Driver.Type("9");
    EXPECT_EQ(Beeps(), 1u);
    EXPECT_EQ(f->GetDisplayText(), "1.25");
}

TEST_F(NumericFieldTest, ZeroIntoAnEmptyBufferIsShownButNotKept) {
    TCtlNumericField* f = Make(nftLongInt, "iiiii");
    Enter(f);
    Driver.Type("0");
    EXPECT_EQ(f->GetDisplayText(), "0");
    EXPECT_EQ(f->Buffer(), "");
    Driver.Type("7");
    EXPECT_EQ(f->GetDisplayText(), "7");
    Driver.Key(VK_BACK);
    EXPECT_EQ(f->GetDisplayText(), "0");
    EXPECT_EQ(f->Buffer(), "");
}

TEST_F(NumericFieldTest, MinusTogglesAndNegativeFormsShow) {
    TCtlNumericField* f = Make(nftLongInt, "##########p");
    EXPECT_EQ(f->MaxLength(), 10);
    Enter(f);
    Driver.Type("-45");
    EXPECT_EQ(f->GetDisplayText(), "(45)");
    Driver.Type("-");
    EXPECT_EQ(f->GetDisplayText(), "45");
    Driver.Type("-");
    Tab();
    EXPECT_EQ(f->GetAsInteger(), -45);
    EXPECT_EQ(f->GetDisplayText(), "(45)");

    TCtlNumericField* g = Make(nftLongInt, "#####g", 40);
    g->SetAsInteger(-45);
    EXPECT_EQ(g->GetDisplayText(), "45-");
    g->SetAsInteger(45);
    EXPECT_EQ(g->GetDisplayText(), "45");
}

TEST_F(NumericFieldTest, IntegerBudgetLimitsDigitsAndSign) {
    Controller->EntryOptions &= ~efoAutoAdvanceChar;
    TCtlNumericField* f = Make(nftInteger, "iii");
    Enter(f);
    Driver.Type("123");
    EXPECT_EQ(Beeps(), 0u);
    Driver.Type("4");
    EXPECT_EQ(Beeps(), 1u);
    EXPECT_EQ(f->GetDisplayText(), "123");
    Driver.Type("-");
    EXPECT_EQ(Beeps(), 2u) << "no room left for the sign";
    EXPECT_EQ(f->GetDisplayText(), "123");

    Controller->EntryOptions |= efoAutoAdvanceChar;
    f->SelectAll();
    Driver.Type("456");
    Driver.RunPending();
    EXPECT_EQ(f->GetAsInteger(), 456);
    EXPECT_EQ(Form->ActiveControl(), Next) << "a full buffer hands the focus on";
}

TEST_F(NumericFieldTest, ShiftHomeSelectsAllAndTypingReplacesIt) {
    TCtlNumericField* f = Make(nftLongInt, "iiiii");
    f->SetAsInteger(789);
    Enter(f);
    Driver.Key(VK_END);
    EXPECT_EQ(f->GetSelLength(), 0);
    Driver.Key(VK_HOME, ssShift);
    EXPECT_EQ(f->GetSelLength(), 5);
    Driver.Type("4");
    EXPECT_EQ(f->GetDisplayText(), "4");
    EXPECT_EQ(f->GetSelLength(), 0);
}

TEST_F(NumericFieldTest, PastedParenthesesBecomeTheSign) {
    struct Case {
        const char* Mask;
        double Value;
    } cases[] = {{"##,###.##p", -1234.5}, {"#,###.##p", -123.5}};
    int top = 10;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Mask);
        TCtlNumericField* f = Make(nftDouble, c.Mask, top);
        top += 30;
        Enter(f);
        Clipboard()->SetAsText("(1,234.5)");
        f->PasteFromClipboard();
        Tab();
        EXPECT_DOUBLE_EQ(Value(f), c.Value);
    }
}

TEST_F(NumericFieldTest, LongPastesStopAtTheBudget) {
    TCtlNumericField* f = Make(nftDouble, "###.##");
    Enter(f);
    f->SelectAll();
    const std::string text(64 * 1024, '9');
    f->Perform(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    EXPECT_EQ(f->GetDisplayText(), "999");
}

TEST_F(NumericFieldTest, ArrowsStepWithinTheRange) {
    TCtlNumericField* f = Make(nftInteger, "iii");
    f->SetOptions(f->Options() | efoArrowIncDec);
    f->SetAsInteger(5);
    f->SetRangeHi("6");
    f->SetRangeLo("0");
    Enter(f);
    Driver.Key(VK_UP);
    EXPECT_EQ(f->GetDisplayText(), "6");
    EXPECT_EQ(f->Buffer(), "6");
    Driver.Key(VK_UP);
    EXPECT_EQ(f->GetDisplayText(), "0") << "wraps";
    Driver.Type("3");
    EXPECT_EQ(f->GetDisplayText(), "3");
}

TEST_F(NumericFieldTest, InvalidDataTypeIsRefused) {
    TCtlNumericField* f = Make(nftLongInt);
    EXPECT_THROW(f->SetDataType(static_cast<TNumericDataType>(10)), ECtlException);
    EXPECT_EQ(f->NumericDataType(), nftLongInt);
}

}  // namespace
}  // namespace entry
