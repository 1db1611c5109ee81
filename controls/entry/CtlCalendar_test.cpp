#include "controls/entry/CtlCalendar.h"

#include <gtest/gtest.h>

#include "controls/entry/CtlController.h"
#include "controls/entry/CtlDates.h"
#include "framework/core/Seams.h"
#include "framework/graphics/Gdi.h"
#include "framework/stdctrls/Button.h"
#include "framework/stdctrls/Menus.h"
#include "framework/ui/Forms.h"
#include "framework/ui/Windows.h"
#include "framework/ui/testsupport/FormDriver.h"

namespace entry {
namespace {

using namespace framework;

class CalendarTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetClock([] { return EncodeDate(2026, 3, 6) + 0.5; });
        Form = TCustomForm::Create<TForm>(Application);
        Form->SetClientSize(320, 240);
        Cal = new TCtlCalendar(Form);
        Cal->SetParent(Form);
        Cal->SetBounds(10, 10, 200, 140);
        Cal->OnChange = [this](TObject*, TDateTime) {
            ++Changes;
            LastBrowsing = Cal->Browsing();
        };
        Other = new TButton(Form);
        Other->SetParent(Form);
        Other->SetBounds(220, 10, 75, 25);
        Form->Show();
        Driver.RunPending();
    }
    void TearDown() override {
        if (Form) Form->Free();
        Driver.RunPending();
        SetClock(nullptr);
    }
    // Enters the calendar afresh (it takes the focus first when the form is shown).
    void Focus() {
        Other->SetFocus();
        Driver.RunPending();
        Cal->SetFocus();
        Driver.RunPending();
    }

    TFormDriver Driver;
    TForm* Form = nullptr;
    TCtlCalendar* Cal = nullptr;
    TButton* Other = nullptr;
    int Changes = 0;
    bool LastBrowsing = false;
};

TEST_F(CalendarTest, StartsOnTodayAndLaysOutItsColumns) {
    EXPECT_EQ(Cal->Date(), EncodeDate(2026, 3, 6));
    // 200 pixels: 192 for seven columns, the first three one wider.
    const int widths[7] = {28, 28, 28, 27, 27, 27, 27};
    for (int i = 0; i < 7; ++i) EXPECT_EQ(Cal->ColumnWidth(i), widths[i]);
    EXPECT_EQ(Cal->CellRect(2, 0).Left, 4);
    EXPECT_EQ(Cal->CellRect(0, 0).Top, 4);
    int total = 0;
    for (int r = 0; r < 9; ++r) total += Cal->RowHeight(r);
    EXPECT_EQ(total, Cal->ClientHeight() - 8);
}

TEST_F(CalendarTest, DayGridFollowsTheFirstWeekday) {
    // March 2026 begins on a Sunday.
    EXPECT_EQ(Cal->FirstCell(), 1);
    Cal->SetWeekStarts(dtMonday);
    EXPECT_EQ(Cal->FirstCell(), 7);
    EXPECT_EQ(Cal->CellDay(7), 1);
    EXPECT_EQ(Cal->CellDay(6), 28) << "February's last days before it";
    EXPECT_EQ(Cal->CellDay(1), 23);
    Cal->SetWeekStarts(dtSunday);
    Cal->SetDate(EncodeDate(2024, 3, 10));
    EXPECT_EQ(Cal->FirstCell(), 6);
    EXPECT_EQ(Cal->CellDay(5), 29);
    EXPECT_EQ(Cal->CellDay(1), 25);
    EXPECT_EQ(Cal->CellDay(Cal->LastCell() + 1), 1) << "April starts again at 1";
}

TEST_F(CalendarTest, KeysMoveTheDate) {
    Cal->SetDate(EncodeDate(2026, 1, 31));
    Focus();
    Driver.Key(VK_NEXT);
    EXPECT_EQ(Cal->Date(), EncodeDate(2026, 2, 28));
    EXPECT_EQ(Changes, 1);
    EXPECT_TRUE(LastBrowsing);
    Cal->SetDate(EncodeDate(2024, 1, 31));
    Driver.Key(VK_NEXT);
    EXPECT_EQ(Cal->Date(), EncodeDate(2024, 2, 29));
    Driver.Key(VK_NEXT, ssCtrl);
    EXPECT_EQ(Cal->Date(), EncodeDate(2025, 2, 28));
    Driver.Key(VK_END);
    EXPECT_EQ(Cal->Date(), EncodeDate(2025, 2, 28));
    Driver.Key(VK_HOME);
    EXPECT_EQ(Cal->Date(), EncodeDate(2025, 2, 1));
    Driver.Key(VK_UP);
    EXPECT_EQ(Cal->Date(), EncodeDate(2025, 1, 25));
    Driver.Key(VK_ESCAPE);
    EXPECT_EQ(Cal->Date(), EncodeDate(2026, 1, 31)) << "back to the date it had on entering";
    Driver.Key(VK_BACK, ssAlt);
    EXPECT_EQ(Cal->Date(), EncodeDate(2026, 3, 6));
    Cal->SetDate(EncodeDate(2024, 1, 31));
    const int before = Changes;
    Driver.Type("+");
    EXPECT_EQ(Cal->Date(), EncodeDate(2024, 2, 1));
    EXPECT_EQ(Changes, before) << "+ and - fire no change";
    Driver.Key(VK_RETURN);
    EXPECT_EQ(Changes, before + 1);
    EXPECT_FALSE(LastBrowsing);
}

TEST_F(CalendarTest, DisabledDatesAreSkippedInTheKeysDirection) {
    Cal->SetDate(EncodeDate(2026, 3, 6));  // a Friday
    Cal->OnGetDateEnabled = [](TObject*, TDateTime D, bool& Enabled) {
        const int dow = DayOfWeek(D);  // 1 Sunday .. 7 Saturday
        Enabled = dow != 1 && dow != 7;
    };
    Focus();
    Driver.Key(VK_RIGHT);
    EXPECT_EQ(Cal->Date(), EncodeDate(2026, 3, 9)) << "over the weekend to Monday";
    Driver.Key(VK_LEFT);
    EXPECT_EQ(Cal->Date(), EncodeDate(2026, 3, 6)) << "and back to Friday";
    Cal->SetDate(EncodeDate(2026, 3, 7));
    EXPECT_EQ(Cal->Date(), EncodeDate(2026, 3, 9)) << "a disabled date set is moved on";
}

TEST_F(CalendarTest, MonthMenuReachesAcrossTheYearEnd) {
    Cal->SetDate(EncodeDate(2026, 1, 15));
    Focus();
    std::vector<std::string> listed;
    Driver.AnswerMenu([&](TMenuItem& Items) -> TMenuItem* {
        for (int i = 0; i < Items.Count(); ++i) listed.push_back(Items.Items(i)->Caption);
        return Items.Items(0);
    });
    const TRect title = Cal->CellRect(0, 3);
    Driver.Click(*Cal, title.Left + 2, title.Top + 2, TMouseButton::mbRight);
    Driver.RunPending();
    const std::vector<std::string> expected = {"October",  "November", "December", "January",
                                               "February", "March",    "April"};
    EXPECT_EQ(listed, expected);
    EXPECT_EQ(Cal->Date(), EncodeDate(2025, 10, 15));
}

TEST_F(CalendarTest, ActiveDayFaceIsPressedWhileFocused) {
    const int cell = Cal->ActiveCell();
    const TRect r = Cal->CellRect(2 + (cell - 1) / 7, (cell - 1) % 7);
    Other->SetFocus();
    Driver.RunPending();
    Cal->Repaint();
    EXPECT_EQ(Driver.PixelAt(*Cal, r.Left + 1, r.Top + 1), ColorToRGB(clBtnHighlight));
    Focus();
    Cal->Repaint();
    EXPECT_EQ(Driver.PixelAt(*Cal, r.Left + 1, r.Top + 1), ColorToRGB(clBtnShadow));
}

TEST_F(CalendarTest, ClickingADayChoosesIt) {
    Focus();
    const TRect r = Cal->CellRect(4, 3);  // third week row, Wednesday: 18 March 2026
    Driver.Click(*Cal, r.Left + r.Width() / 2, r.Top + r.Height() / 2);
    EXPECT_EQ(Cal->Date(), EncodeDate(2026, 3, 18));
    EXPECT_EQ(Changes, 1);
    EXPECT_FALSE(LastBrowsing);
    const TRect before = Cal->CellRect(2, 0);  // 1 March: same month
    const TRect after = Cal->CellRect(7, 0);   // 5 April: next month
    Driver.Click(*Cal, after.Left + 3, after.Top + 3);
    EXPECT_EQ(Cal->Date(), EncodeDate(2026, 4, 5));
    EXPECT_TRUE(LastBrowsing);
    (void)before;
}

TEST_F(CalendarTest, ColourSchemes) {
    TCtlCalColors& c = Cal->Colors();
    EXPECT_EQ(c.Color(calActiveDay), clRed);
    c.SetColorScheme(cscalGold);
    EXPECT_EQ(c.Color(calDays), clYellow);
    EXPECT_EQ(c.ColorScheme(), cscalGold);
    c.SetColor(calDays, clLime);
    EXPECT_EQ(c.ColorScheme(), cscalCustom);
}

}  // namespace
}  // namespace entry
