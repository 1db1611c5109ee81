// The report windows' shared parts: the totals row, the panel rule and the centring on resize.
#include "reports/output/ReportWindowParts.h"

#include <gtest/gtest.h>

#include <array>

#include "framework/stdctrls/ExtCtrls.h"
#include "framework/stdctrls/Label.h"

namespace {

using namespace framework;

class ReportWindowPartsTest : public ::testing::Test {
protected:
    void SetUp() override {
        Form = TCustomForm::Create<TForm>(Application);
        Form->SetBounds(0, 0, 600, 400);
        const char* headings[3] = {"Total Disks", "Total Files", "Slack %"};
        const char* names[3] = {"TotDisks1", "TotFiles1", "TotSlack1"};
        Row = reports::NewReportTotalsRow(*Form, *Form, headings, names, 97);
        Comment = reports::NewReportCommentPanel(*Form, *Form, "TCPanel", 106);
    }
    void TearDown() override { Form->Free(); }
    TForm* Form = nullptr;
    reports::TReportTotalsRow Row;
    reports::TReportCommentPanel Comment;
};

TEST_F(ReportWindowPartsTest, TotalsRowHasABoxPerTotalBetweenLines) {
    ASSERT_EQ(Row.Values.size(), 3u);
    ASSERT_EQ(Row.Headings.size(), 3u);
    EXPECT_EQ(Form->FindComponent("TotFiles1"), Row.Values[1]);
    EXPECT_EQ(Row.Headings[2]->Caption(), "Slack %");
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(Row.Values[i]->Caption(), "0");
        EXPECT_TRUE(Row.Values[i]->Font().Style & fsBold);
        EXPECT_EQ(Row.Values[i]->Parent(), Row.Headings[i]->Parent());
        EXPECT_EQ(Row.Values[i]->Parent()->Width(), 97);
    }
    // A line at each end and between the boxes.
    for (const char* line : {"Bevel0", "Bevel1", "Bevel2", "Bevel6"})
        EXPECT_TRUE(dynamic_cast<TBevel*>(Form->FindComponent(line))) << line;
    EXPECT_FALSE(Form->FindComponent("Bevel3"));
    EXPECT_FALSE(Comment.Panel->Visible());
    EXPECT_EQ(Comment.Totals->Width(), 262);
}

TEST_F(ReportWindowPartsTest, ExpandingTheCommentTradesTheTotalsRowForTheStackedTotals) {
    struct TCase {
        bool Expand, Totals;
        bool RowShown, CommentShown, StackShown;
    };
    const TCase cases[] = {
        {false, true, true, false, true},
        {false, false, false, false, true},
        {true, true, false, true, true},
        {true, false, false, true, false},
    };
    TControl* const stacked[] = {Comment.Totals};
    for (const TCase& c : cases) {
        Comment.Totals->SetVisible(true);
        reports::ShowReportPanels(c.Expand, c.Totals, *Row.Panel, *Comment.Panel, stacked);
        EXPECT_EQ(Row.Panel->Visible(), c.RowShown) << c.Expand << c.Totals;
        EXPECT_EQ(Comment.Panel->Visible(), c.CommentShown) << c.Expand << c.Totals;
        EXPECT_EQ(Comment.Totals->Visible(), c.StackShown) << c.Expand << c.Totals;
    }
}

TEST_F(ReportWindowPartsTest, ResizingKeepsTheContentsCentred) {
    const std::array<TPanel*, 2> pads{Comment.PadLeft, Comment.PadRight};
    reports::CentreReportPanels(900, pads, Row);
    EXPECT_EQ(Comment.PadLeft->Width(), 101);
    EXPECT_EQ(Comment.PadRight->Width(), 101);
    EXPECT_EQ(Row.PadLeft->Width(), 151);
    EXPECT_TRUE(Row.FirstLine->Visible());
    EXPECT_TRUE(Row.LastLine->Visible());
    // At the smallest width the row fills the window: no padding, and no lines at its ends.
    reports::CentreReportPanels(597, pads, Row);
    EXPECT_EQ(Comment.PadLeft->Width(), 0);
    EXPECT_EQ(Row.PadLeft->Width(), 0);
    EXPECT_FALSE(Row.FirstLine->Visible());
    EXPECT_FALSE(Row.LastLine->Visible());
}

}  // namespace
