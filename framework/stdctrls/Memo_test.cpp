#include <gtest/gtest.h>

#include "framework/stdctrls/StdCtrls.h"
#include "framework/ui/testsupport/FormDriver.h"

namespace framework {
namespace {

class MemoTest : public ::testing::Test {
protected:
    TFormDriver Driver;
    TForm* Form = TCustomForm::Create<TForm>(Application);
    TMemo* Memo = NewComponent<TMemo>(Form);
    void SetUp() override {
        Form->SetBounds(0, 0, 400, 400);
        Memo->SetParent(Form);
        Memo->SetBounds(8, 8, 120, 80);
    }
    void TearDown() override {
        Form->Free();
        Driver.RunPending();
    }
    void Show() {
        Form->Show();
        Memo->SetFocus();
        Driver.RunPending();
    }
    // Pixels that are not the memo's background in a band of rows (client coordinates).
    int Ink(int Top, int Bottom) {
        int n = 0;
        for (int y = Top; y < Bottom; ++y)
            for (int x = 2; x < Memo->ClientWidth() - 2; ++x)
                if (Driver.PixelAt(*Memo, x, y) != static_cast<uint32_t>(GetSysColor(COLOR_WINDOW))) ++n;
        return n;
    }
    int TextWidth(const std::string& S) {
        Memo->Canvas().Font.Assign(Memo->Font());
        return Memo->Canvas().TextWidth(S);
    }
};

TEST_F(MemoTest, WordWrapBreaksRowsToTheWidth) {
    const std::string first = "alpha beta gamma delta epsilon zeta eta theta";
    const std::string longWord(60, 'm');
    Memo->SetText(first + "\r\n" + longWord + "\r\nend");
    Show();
    std::vector<std::string> rows = Memo->DisplayRows();
    ASSERT_GT(rows.size(), 4u);
    // The rows of each line give the line back; every row fits; words break only at spaces.
    std::string joined;
    size_t i = 0;
    for (; joined.size() < first.size(); ++i) {
        joined += rows[i];
        EXPECT_LE(TextWidth(rows[i].substr(0, rows[i].find_last_not_of(' ') + 1)), Memo->ClientWidth() - 4);
        if (joined.size() < first.size()) {
            EXPECT_EQ(rows[i].back(), ' ') << rows[i];
        }
    }
    EXPECT_EQ(joined, first);
    std::string word;
    for (; word.size() < longWord.size(); ++i) {
        word += rows[i];  // no space: broken anywhere
    }
    EXPECT_EQ(word, longWord);
    EXPECT_EQ(rows[i], "end");
    EXPECT_EQ(Memo->Lines().Count(), 3);  // the lines themselves are untouched

    // Up and down walk the rows as shown, keeping the column.
    Memo->SetSelStart(2);
    Driver.Key(VK_DOWN);
    EXPECT_EQ(Memo->SelStart(), static_cast<int>(rows[0].size()) + 2);
    Driver.Key(VK_END);  // the end of the row, not of the line
    EXPECT_EQ(Memo->SelStart(), static_cast<int>(rows[0].size() + rows[1].size()));

    struct TCase {
        bool Wrap;
        TScrollStyle Bars;
        size_t Rows;
    };
    for (const TCase& c : {TCase{false, ssNone, 3}, TCase{true, ssHorizontal, 3}, TCase{true, ssBoth, 3},
                           TCase{true, ssVertical, rows.size()}}) {
        Memo->WordWrap = c.Wrap;
        Memo->ScrollBars = c.Bars;
        Memo->Invalidate();
        Driver.RunPending();
        EXPECT_EQ(Memo->DisplayRows().size(), c.Rows) << c.Wrap << " " << c.Bars;
    }
    // On screen: one line of text has ink on its second row with wrapping, none without.
    Memo->ScrollBars = ssNone;
    Memo->SetText(first);
    int rowH = Memo->Canvas().TextHeight("Wg");
    Memo->Invalidate();
    EXPECT_GT(Ink(1 + rowH, 1 + 2 * rowH), 0);
    Memo->WordWrap = false;
    Memo->Invalidate();
    EXPECT_EQ(Ink(1 + rowH, 1 + 2 * rowH), 0);
    // A wider memo wraps less.
    Memo->WordWrap = true;
    size_t narrow = Memo->DisplayRows().size();
    Memo->SetWidth(300);
    EXPECT_LT(Memo->DisplayRows().size(), narrow);
}

TEST_F(MemoTest, ScrollBarsMoveTheViewWithTheirCodes) {
    std::string text;
    for (int i = 0; i < 30; ++i) text += "line " + std::to_string(i) + "\r\n";
    text += std::string(80, 'w');  // a last line wider than the memo
    Memo->ScrollBars = ssBoth;
    Memo->SetText(text);
    Show();
    int vis = Memo->ClientHeight() / Memo->Canvas().TextHeight("Wg");
    ASSERT_GT(vis, 1);
    TScrollInfo si;
    si.fMask = SIF_ALL;
    ASSERT_TRUE(GetScrollInfo(Memo->Handle(), SB_VERT, si));
    EXPECT_EQ(si.nMax, 30);  // 31 rows
    EXPECT_EQ(static_cast<int>(si.nPage),
              std::max(1, (Memo->ClientHeight() - 2) / Memo->Canvas().TextHeight("Wg")));
    EXPECT_EQ(si.nPos, 0);
    int page = static_cast<int>(si.nPage);

    struct TCase {
        int Code;
        int Top;  // expected first row
    };
    for (const TCase& c :
         {TCase{SB_LINEDOWN, 1}, TCase{SB_PAGEDOWN, 1 + page - 1}, TCase{SB_LINEUP, page - 1},
          TCase{SB_BOTTOM, 31 - page}, TCase{SB_LINEDOWN, 31 - page},
          TCase{SB_PAGEUP, 31 - page - (page - 1)}, TCase{SB_TOP, 0}, TCase{SB_LINEUP, 0}}) {
        Driver.ScrollBar(*Memo, SB_VERT, c.Code);
        EXPECT_EQ(Memo->TopRow(), c.Top) << c.Code;
        Driver.RunPending();
        GetScrollInfo(Memo->Handle(), SB_VERT, si);
        EXPECT_EQ(si.nPos, c.Top) << c.Code;
    }
    Memo->Perform(WM_VSCROLL, MakeWParam(SB_THUMBPOSITION, 12), 0);
    EXPECT_EQ(Memo->TopRow(), 12);
    Driver.Wheel(*Memo, -120);
    EXPECT_EQ(Memo->TopRow(), 15);

    // The caret keeps itself in view: Ctrl+End shows the last rows and the end of the long line.
    Driver.Key(VK_END, ssCtrl);
    EXPECT_EQ(Memo->TopRow(), 31 - page);
    EXPECT_GT(Memo->ScrollLeft(), 0);
    Driver.Key(VK_HOME);
    EXPECT_EQ(Memo->ScrollLeft(), 0);
    Driver.ScrollBar(*Memo, SB_HORZ, SB_LINEDOWN);
    EXPECT_GT(Memo->ScrollLeft(), 0);
    Driver.Key(VK_HOME, ssCtrl);
    EXPECT_EQ(Memo->TopRow(), 0);
    EXPECT_EQ(Memo->ScrollLeft(), 0);
}

}  // namespace
}  // namespace framework
