// The disk summary as a text file: the two menu reports against golden files, the page blocks, the
// comment column in both modes, the totals, and the failures of the To Disk button.

#include "reports/summary/SummaryReportText.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "catalog/ProgressForm.h"
#include "controls/entry/CtlPictureField.h"
#include "dbsql/components/DbQuery.h"
#include "framework/stdctrls/CheckBox.h"
#include "framework/stdctrls/Edit.h"
#include "framework/stdctrls/RadioButton.h"
#include "platform/Beep.h"
#include "platform/Files.h"
#include "platform/testsupport/UserEnv.h"
#include "reports/output/ReportOutputForms.h"
#include "reports/testsupport/SummaryReportFixture.h"

namespace reports {
namespace {

using namespace framework;
using platform::testsupport::ReadTextFile;
using TLines = std::vector<std::string>;

// The lines a builder writes.
struct TSummaryLines {
    TLines Lines;
    TSummaryTextBuilder::TLineWriter Writer() {
        return [this](const std::string& Line) {
            Lines.push_back(Line);
            return true;
        };
    }
};

TSummaryTextRow SummaryRow(const std::string& Label, const std::string& Comment = "") {
    TSummaryTextRow row;
    row.Texts = {Label,       Label,
                 "1A2B-3C4D", "3/15/2024",
                 "3/15/2024", "1,000,000",
                 "4,096",     "700,000",
                 "200,000",   "12.50%",
                 "1",         "0",
                 "D",         Comment.substr(0, Comment.find('\r'))};
    row.Comment = Comment;
    return row;
}

TEST(SummaryTextTest, PagesStartWithARuleAsLongAsTheHeadingAndATitleBlock) {
    struct TCase {
        std::array<uint8_t, kSummaryItems> Columns;
        size_t Rule;
    };
    const TCase cases[] = {
        {{1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0}, 82},  // a short heading: at least 82
        {{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14}, 0},
    };
    for (const TCase& c : cases) {
        TSummaryTextLayout layout;
        layout.Title = std::string(70, 'T') + "X";
        layout.ColumnPos = c.Columns;
        layout.Widths = {0, 0, 0, 15, 14, 9, 12, 10, 10, 0, 0, 0, 0, 7};
        layout.Pagination = 2;
        TSummaryLines out;
        TSummaryTextBuilder builder(layout, out.Writer());
        const size_t rule = c.Rule ? c.Rule : builder.HeadingLine().size();
        ASSERT_GT(rule, 81u);
        for (const char* label : {"V1", "V2", "V3", "V4", "V5"})
            ASSERT_TRUE(builder.AddRow(SummaryRow(label)));
        const std::string title = std::string(69, 'T') + "Page ";
        const TLines expectedStart = {title + "     1", "", builder.HeadingLine(), ""};
        ASSERT_EQ(out.Lines.size(), 3 * 4 + 2 + 5u);
        EXPECT_EQ(TLines(out.Lines.begin(), out.Lines.begin() + 4), expectedStart);
        EXPECT_EQ(out.Lines[6], std::string(rule, '-'));
        EXPECT_EQ(out.Lines[7], title + "     2");
        EXPECT_EQ(out.Lines[13], std::string(rule, '-'));
        EXPECT_EQ(out.Lines[14], title + "     3");
        EXPECT_EQ(out.Lines.back().substr(0, 5), "   V5");
    }
    // Pagination 0: one title block, no rule.
    TSummaryTextLayout layout;
    layout.ColumnPos[0] = 1;
    TSummaryLines out;
    TSummaryTextBuilder builder(layout, out.Writer());
    for (int i = 0; i < 5; ++i) builder.AddRow(SummaryRow("V"));
    EXPECT_EQ(out.Lines.size(), 9u);
    EXPECT_EQ(out.Lines[0], std::string(34, ' ') + std::string(35, ' ') + "Page      1");
}

TEST(SummaryTextTest, RowTextsSitInTheirColumns) {
    TSummaryTextLayout layout;
    layout.ColumnPos = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14};
    layout.Widths = {0, 0, 0, 15, 14, 10, 12, 10, 10, 0, 0, 0, 0, 9};
    TSummaryLines out;
    TSummaryTextBuilder builder(layout, out.Writer());
    EXPECT_EQ(builder.HeadingLine(),
              "Catalog Volume ID Actual Volume ID Serial Number First Cataloged Last Cataloged "
              " Disk Size Cluster Size Space Used Free Space Slack % Files On Disk Files In Archives Drv "
              "Comment  ");
    TSummaryTextRow row = SummaryRow("BACKUP01", "Weekly backup");
    row.Texts[1] = "";
    ASSERT_TRUE(builder.AddRow(row));
    const char* const cells[] = {
        "   BACKUP01      ", "                ",  "  1A2B-3C4D  ", "   3/15/2024   ", "  3/15/2024   ",
        " 1,000,000",        "       4,096",      "   700,000",    "   200,000",      " 12.50%",
        "           1 ",     "             0   ", " D:",           "Weekly ba"};
    std::string expected;
    for (const char* cell : cells) expected += (expected.empty() ? "" : " ") + std::string(cell);
    EXPECT_EQ(out.Lines.back(), expected);
    EXPECT_EQ(out.Lines.back().size(), builder.HeadingLine().size());
    // A blank serial number keeps its column; a blank drive shows " :".
    row.Texts[2] = "";
    row.Texts[12] = "";
    ASSERT_TRUE(builder.AddRow(row));
    EXPECT_EQ(out.Lines.back().substr(34, 15), "               ");
    EXPECT_NE(out.Lines.back().find(" 0     : Weekly ba"), std::string::npos) << out.Lines.back();
    ASSERT_TRUE(builder.AddTotals({3, 1234567, 15.3L, 6001050000LL, 703010LL, 6000220000LL}));
    EXPECT_EQ(
        TLines(out.Lines.end() - 4, out.Lines.end()),
        (TLines{
            "", "Total Disks  Total Files  Slack %  Total Disk Space       Total Used          Total Free",
            "",
            "     3        1,234,567   15.30%     6,001,050,000          703,010         6,000,220,000   "}));
}

TEST(SummaryTextTest, AFullCommentWrapsUnderItsColumnAndKeepsBlankLines) {
    TSummaryTextLayout layout;
    layout.ColumnPos[0] = 1;
    layout.ColumnPos[12] = 2;
    layout.ColumnPos[13] = 3;
    layout.Widths[13] = 12;
    layout.MultiLine = true;
    TSummaryLines out;
    TSummaryTextBuilder builder(layout, out.Writer());
    ASSERT_TRUE(
        builder.AddRow(SummaryRow("A", "Old letters and tax papers\r\n\r\n  Kept for ten years\r\n")));
    ASSERT_TRUE(builder.AddRow(SummaryRow("B", "\r\nafter a blank first line")));
    ASSERT_TRUE(builder.AddRow(SummaryRow("C", "Overlongwordwithoutbreaks")));
    const std::string pad(22, ' ');
    EXPECT_EQ(TLines(out.Lines.begin() + 4, out.Lines.end()),
              (TLines{"   A               D: Old letters ", pad + "and tax", pad + "papers", "",
                      pad + "Kept for ten", pad + "years",
                      "   B               D:             ", pad + "after a", pad + "blank first",
                      pad + "line", "   C               D: Overlongword", pad + "withoutbreak", pad + "s"}));
}

class SummaryToDiskTest : public testsupport::SummaryReportTest {
protected:
    // Answers the next text-file dialog: the file name, then OK (and whatever Extra does).
    void ChooseFile(const std::string& Name, std::function<void(TGetSummaryToDiskFileNameForm&)> Extra = {}) {
        Driver.AnswerWith([Name, Extra](TCustomForm& Form) {
            auto& d = dynamic_cast<TGetSummaryToDiskFileNameForm&>(Form);
            EXPECT_FALSE(d.StartEachDiskOnNewPage->Visible());
            EXPECT_EQ(d.Height(), 293);
            d.FileName->SetText(Name);
            if (Extra) Extra(d);
            d.OkBtnClick();
        });
    }
    std::string OutPath() const { return Root.Path() + "/summary.txt"; }
    static constexpr const char* kOutName = "D:\\summary.txt";
    static void SingleLine(TGetSummaryToDiskFileNameForm& D, int Width) {
        D.Pagination->SetAsInteger(0);
        D.SingleLine->SetChecked(true);
        D.TruncChars->SetAsInteger(Width);
    }
};

TEST_F(SummaryToDiskTest, TheMenuReportsMatchTheirGoldenFiles) {
    MakeThreeVolumes();
    struct TCase {
        TSummaryReportSpec Spec;
        const char* Golden;
    };
    const TCase cases[] = {{DiskSummaryByVolumeSpec(), "SummaryByVolume.txt"},
                           {DiskSummaryByFreeSpaceSpec(), "SummaryByFreeSpace.txt"}};
    for (const TCase& c : cases) {
        TSummaryReportScreenForm* f = Built(c.Spec);
        std::filesystem::remove(OutPath());
        ChooseFile(kOutName, [](auto& d) { SingleLine(d, 200); });
        f->ToDiskBtnClick();
        const std::string golden = std::string(KORVANE_TESTDATA_DIR) + "/" + c.Golden;
        EXPECT_EQ(ReadTextFile(OutPath()), ReadTextFile(golden)) << c.Golden;
        CloseReport(f);
    }
}

TEST_F(SummaryToDiskTest, TheFirstLineColumnIsTheShorterOfTruncateAndTheLongestLine) {
    MakeThreeVolumes();
    TSummaryReportSpec spec;
    spec.ColumnPos[0] = 1;
    spec.ColumnPos[13] = 2;
    spec.SortSpec[0] = {1, 1};
    TSummaryReportScreenForm* f = Built(spec);
    ASSERT_EQ(f->ColumnCharWidth[13], 74);
    ChooseFile(kOutName, [](auto& d) { SingleLine(d, 10); });
    f->ToDiskBtnClick();
    const std::string first = ReadTextFile(OutPath());
    EXPECT_EQ(
        first.substr(first.find("\r\n\r\n") + 4),
        "Catalog Volume ID Comment   \r\n\r\n   ARCHIVE2       Old letter\r\n   BACKUP01       Weekly bac\r\n"
        "   PHOTOS                   \r\n\r\nTotal Disks  Total Files  Slack %  Total Disk Space       "
        "Total Used          Total Free\r\n\r\n     3            4       15.30%     6,001,050,000          "
        "703,010         6,000,220,000   \r\n");
    EXPECT_EQ(f->ColumnCharWidth[13], 74);
    ChooseFile(kOutName, [](auto& d) { SingleLine(d, 255); });
    Driver.Answer(mrYes);  // overwrite
    f->ShowTotals->SetChecked(false);
    f->ToDiskBtnClick();
    const std::string text = ReadTextFile(OutPath());
    EXPECT_NE(text.find("   PHOTOS         " + std::string(74, ' ') + "\r\n"), std::string::npos);
    EXPECT_EQ(text.find("Total Disks"), std::string::npos) << "no totals while Show Totals is clear";
}

TEST_F(SummaryToDiskTest, ACommentWidthOutsideItsRangeIsRefusedWithTheFieldsMessage) {
    MakeThreeVolumes();
    TSummaryReportScreenForm* f = Built(DiskSummaryByVolumeSpec());
    struct TCase {
        bool MultiLine;
        int Width;
        bool Accepted;
    };
    const TCase cases[] = {{false, 6, false},  {false, 256, false}, {false, 999, false}, {false, 7, true},
                           {false, 255, true}, {true, 6, false},    {true, 201, false},  {true, 200, true}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.Width) + (c.MultiLine ? " wrapped" : " cut"));
        std::filesystem::remove(OutPath());
        TModalResult afterOk = mrNone;
        Driver.AnswerWith(
            [&c, &afterOk](TCustomForm& Form) {
                auto& d = dynamic_cast<TGetSummaryToDiskFileNameForm&>(Form);
                d.FileName->SetText(kOutName);
                d.Pagination->SetAsInteger(0);
                (c.MultiLine ? d.MultiLine : d.SingleLine)->SetChecked(true);
                // The other mode's number is out of range too; only the one in use counts.
                (c.MultiLine ? d.TruncChars : d.WrapChars)->SetAsInteger(999);
                (c.MultiLine ? d.WrapChars : d.TruncChars)->SetAsInteger(c.Width);
                d.OkBtnClick();
                afterOk = d.ModalResult();
                if (afterOk == mrNone) d.SetModalResult(mrCancel);
            },
            mrNone);
        if (!c.Accepted) Driver.Answer(mrOk);  // the error box
        const size_t shown = Driver.Shown.size();
        f->ToDiskBtnClick();
        EXPECT_EQ(afterOk, c.Accepted ? mrOk : mrNone);
        EXPECT_EQ(std::filesystem::exists(OutPath()), c.Accepted);
        if (!c.Accepted) {
            ASSERT_EQ(Driver.Shown.size(), shown + 2);
            EXPECT_EQ(Driver.Shown.back().Text, "Value is not within required range");
        }
    }
}

TEST_F(SummaryToDiskTest, FailuresAreReportedAndCancelLeavesNoFile) {
    MakeThreeVolumes();
    TSummaryReportScreenForm* f = Built(DiskSummaryByVolumeSpec());
    f->Query->Last();
    const std::string row = f->Query->FieldByName("CatalogVolumeLabel")->AsString();

    // A folder cannot be opened as the file.
    std::filesystem::create_directories(Root.Path() + "/folder");
    ChooseFile("D:\\folder");
    Driver.Answer(mrYes);  // the name exists: overwrite it
    platform::ClearBeepHistory();
    f->ToDiskBtnClick();
    EXPECT_EQ(Driver.Shown.back().Text, "Error Opening Specified File For Output");
    EXPECT_FALSE(platform::BeepHistory().empty());

    // A failed write deletes the file.
    {
        platform::TScopedFileFault fault(
            [](platform::TFileOperation Op, const std::string& Path, int64_t, uint32_t) {
                platform::TFileFault result;
                if (Op == platform::TFileOperation::Write && Path.find("summary.txt") != std::string::npos)
                    result.Error = 112;  // disk full
                return result;
            });
        ChooseFile(kOutName);
        f->ToDiskBtnClick();
    }
    EXPECT_EQ(Driver.Shown.back().Text, "Error Writing To Output File");
    EXPECT_FALSE(std::filesystem::exists(OutPath()));
    EXPECT_EQ(f->Query->FieldByName("CatalogVolumeLabel")->AsString(), row);

    // A file that cannot be finished stays, with its message.
    {
        platform::TScopedFileFault fault(
            [](platform::TFileOperation Op, const std::string& Path, int64_t, uint32_t) {
                platform::TFileFault result;
                if (Op == platform::TFileOperation::Flush && Path.find("summary.txt") != std::string::npos)
                    result.Error = 1117;  // device error
                return result;
            });
        ChooseFile(kOutName);
        f->ToDiskBtnClick();
    }
    EXPECT_EQ(Driver.Shown.back().Text, "Error Closing Specified File After Output Completed");
    EXPECT_NE(ReadTextFile(OutPath()).find("Total Disks"), std::string::npos);

    // Cancel after the first row: the file is deleted, nothing is said.
    int scrolls = 0;
    f->Query->AfterScroll = [f, &scrolls](TDataSet*) {
        if (++scrolls < 2) return;
        for (int i = 0; i < f->ComponentCount(); ++i)
            if (auto* progress = dynamic_cast<catalog::TProgressForm*>(f->Components(i)))
                progress->CancelPressed = true;
    };
    ChooseFile(kOutName);
    Driver.Answer(mrYes);  // overwrite
    const size_t shown = Driver.Shown.size();
    f->ToDiskBtnClick();
    f->Query->AfterScroll = nullptr;
    EXPECT_EQ(Driver.Shown.size(), shown + 2) << "the dialog and the overwrite question only";
    EXPECT_GE(scrolls, 2);
    EXPECT_FALSE(std::filesystem::exists(OutPath()));
    EXPECT_EQ(f->Query->FieldByName("CatalogVolumeLabel")->AsString(), row);

    // A cancelled dialog writes nothing.
    Driver.AnswerWith([](TCustomForm& Form) { Form.SetModalResult(mrCancel); });
    f->ToDiskBtnClick();
    EXPECT_FALSE(std::filesystem::exists(OutPath()));
}

}  // namespace
}  // namespace reports
