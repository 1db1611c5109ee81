#include "controls/entry/CtlDateEdit.h"

#include <gtest/gtest.h>

#include "controls/entry/CtlController.h"
#include "controls/entry/CtlDates.h"
#include "controls/entry/CtlMessages.h"
#include "framework/core/Seams.h"
#include "framework/stdctrls/Button.h"
#include "framework/ui/Forms.h"
#include "framework/ui/Windows.h"
#include "framework/ui/testsupport/FormDriver.h"

namespace entry {
namespace {

using namespace framework;

// Today is Friday 6 March 2026.
const TDateTime Today = EncodeDate(2026, 3, 6);

class DateEditTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetClock([] { return Today + 0.5; });
        Form = TCustomForm::Create<TForm>(Application);
        Form->SetClientSize(320, 240);
        Controller = new TCtlController(Form);
        Edit = new TCtlDateEdit(Form);
        Edit->SetParent(Form);
        Edit->SetBounds(10, 10, 120, 24);
        Edit->OnSetDate = [this](TObject*) { ++SetDates; };
        Other = new TButton(Form);
        Other->SetParent(Form);
        Other->SetBounds(10, 200, 75, 25);
        Form->Show();
        Driver.RunPending();
    }
    void TearDown() override {
        if (Form) Form->Free();
        Driver.RunPending();
        SetClock(nullptr);
    }
    // The date read from Text, or the error it raises.
    std::string Parse(const std::string& Text) {
        Edit->SetText(Text);
        try {
            const TDateTime d = Edit->GetDate();
            if (d == 0) return "none";
            uint16_t y = 0, m = 0, day = 0;
            DecodeDate(d, y, m, day);
            return std::to_string(y) + "-" + std::to_string(m) + "-" + std::to_string(day);
        } catch (const ECtlException& e) {
            return e.what();
        }
    }

    TFormDriver Driver;
    TForm* Form = nullptr;
    TCtlController* Controller = nullptr;
    TCtlDateEdit* Edit = nullptr;
    TButton* Other = nullptr;
    int SetDates = 0;
};

TEST_F(DateEditTest, TypedDatesInMonthDayYearOrder) {
    struct Case {
        const char* Text;
        const char* Date;
    } cases[] = {
        {"1/2/2026", "2026-1-2"},
        {"1/2/26", "2026-1-2"},
        {"dec 25", "2026-12-25"},
        {"13/1/2026", "Month is required"},
        {"", "none"},
        {"/", "2026-3-6"},
        {"today", "2026-3-6"},
        {"TODAY", "2026-3-6"},
        {"yesterday", "2026-3-5"},
        {"tomorrow", "2026-3-7"},
        {"next fri", "2026-3-13"},
        {"next", "2026-3-13"},
        {"last mon", "2026-3-2"},
        {"first mon", "2026-3-2"},
        {"final tue", "2026-3-31"},
        {"eom", "2026-3-31"},
        {"bom", "2026-3-1"},
        {"1/ 32/2026", "Day is required"},
        {"1/2/20x6", "Invalid year \"20X6\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Text);
        EXPECT_EQ(Parse(c.Text), c.Date);
    }
    EXPECT_EQ(Edit->Text(), "1/2/20x6") << "the refused text stays";
    Parse("1/2/2026");
    EXPECT_EQ(Edit->Text(), " 1/ 2/2026") << "shown in the locale's short-date mask";
}

TEST_F(DateEditTest, TwoDigitYearsFollowTheEpoch) {
    Edit->SetEpoch(1900);
    EXPECT_EQ(Parse("1/2/26"), "1926-1-2");
    Edit->SetEpoch(1950);
    EXPECT_EQ(Parse("1/2/49"), "2049-1-2");
    EXPECT_EQ(Parse("1/2/50"), "1950-1-2");
    Edit->SetEpoch(1500);
    EXPECT_EQ(Edit->Epoch(), 1950) << "out of range: ignored";
    Edit->SetEpoch(0);
    Controller->SetEpoch(1900);
    EXPECT_EQ(Parse("1/2/26"), "1926-1-2") << "the controller's epoch";
}

TEST_F(DateEditTest, NothingRequiredTakesTodaysParts) {
    Edit->RequiredFields = 0;
    EXPECT_EQ(Parse(""), "2026-3-6");
    EXPECT_EQ(Parse("xyzzy 5 2026"), "Invalid month name \"XYZ\"");
    EXPECT_EQ(Parse("5"), "2026-5-6");
}

TEST_F(DateEditTest, ImpossibleDatesAreRefusedAndChangeNothing) {
    Edit->OnGetDateMask = [](TObject*, std::string& Mask) { Mask = "dd/mm/yyyy"; };
    EXPECT_EQ(Parse("3/2/2026"), "2026-2-3");
    const int before = SetDates;
    EXPECT_EQ(Parse("31/2/2026"), "Value is not a valid date \"31/2/2026\"");
    EXPECT_EQ(SetDates, before) << "OnSetDate does not fire";
    Edit->SetText("03/02/2026");
    EXPECT_EQ(Parse("31/02/1599"), "Value is not a valid date \"31/02/1599\"");
    EXPECT_EQ(Parse("03/02/2026"), "2026-2-3");
}

TEST_F(DateEditTest, PlusAndMinusStepByADay) {
    Edit->SetFocus();
    Driver.RunPending();
    Driver.Type("+");
    EXPECT_EQ(Edit->Text(), " 3/ 7/2026");
    Edit->SetDate(EncodeDate(2024, 3, 1));
    Driver.Type("-");
    EXPECT_EQ(Edit->GetDate(), EncodeDate(2024, 2, 29));
    Edit->SetDate(EncodeDate(2025, 12, 31));
    Driver.Type("+");
    EXPECT_EQ(Edit->GetDate(), EncodeDate(2026, 1, 1));
    Edit->AllowIncDec = false;
    Edit->SetText("");
    Driver.Type("+");
    EXPECT_EQ(Edit->Text(), "+");
}

TEST_F(DateEditTest, SetDateShowsTheTextAndFiresOnSetDate) {
    const int before = SetDates;
    Edit->SetDate(EncodeDate(2026, 12, 25));
    EXPECT_EQ(Edit->Text(), "12/25/2026");
    EXPECT_TRUE(Edit->Modified());
    EXPECT_EQ(SetDates, before + 1);
    Edit->SetDate(0);
    EXPECT_EQ(Edit->Text(), "");
    Edit->OnGetDateMask = [](TObject*, std::string& Mask) { Mask = "yyyy-mm-dd"; };
    Edit->SetDate(EncodeDate(2026, 12, 25));
    EXPECT_EQ(Edit->Text(), "2026-12-25");
    EXPECT_EQ(Parse("2026-1-2"), "2026-1-2") << "year, month, day from the mask's order";
}

}  // namespace
}  // namespace entry
