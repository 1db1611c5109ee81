// The volume summary's To Disk button over a catalog made by runs: the dialog it shows, the files
// it writes against golden files, the comment limit of one output, and its failures.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "catalog/ProgressForm.h"
#include "controls/entry/CtlPictureField.h"
#include "dbsql/components/DbTable.h"
#include "framework/stdctrls/CheckBox.h"
#include "framework/stdctrls/Edit.h"
#include "framework/stdctrls/Label.h"
#include "framework/stdctrls/Menus.h"
#include "framework/stdctrls/RadioButton.h"
#include "platform/Beep.h"
#include "platform/Files.h"
#include "platform/testsupport/UserEnv.h"
#include "reports/output/ReportOutputForms.h"
#include "reports/testsupport/VolSummaryFixture.h"
#include "reports/volsummary/VolSummaryScreenForm.h"

namespace reports {
namespace {

using namespace framework;
using platform::testsupport::ReadTextFile;

struct TVolDiskChoice {
    int Pagination = 0;
    bool NewPage = false;
    bool MultiLine = false;
    int CommentWidth = 200;
};

class VolSummaryToDiskTest : public testsupport::VolSummaryTest {
protected:
    // Answers the next text-file dialog with the output file and Choice, then OK.
    void Choose(const TVolDiskChoice& Choice, const std::string& Name = kOutName) {
        Driver.AnswerWith([this, Choice, Name](TCustomForm& Form) {
            auto& d = dynamic_cast<TGetSummaryToDiskFileNameForm&>(Form);
            Seen = d.Caption() + "|" + d.FileName->Text() + "|" + d.Label3->Caption();
            d.FileName->SetText(Name);
            d.Pagination->SetAsInteger(Choice.Pagination);
            d.StartEachDiskOnNewPage->SetChecked(Choice.NewPage);
            (Choice.MultiLine ? d.MultiLine : d.SingleLine)->SetChecked(true);
            d.TruncChars->SetAsInteger(Choice.CommentWidth);
            d.WrapChars->SetAsInteger(Choice.CommentWidth);
            d.OkBtnClick();
        });
    }
    // Writes the report with Choice (replacing an earlier output) and reads it back.
    std::string Output(TVolSummaryFileContentsScreenForm& F, const TVolDiskChoice& Choice) {
        std::filesystem::remove(OutPath());
        Choose(Choice);
        F.ToDiskBtnClick();
        return ReadTextFile(OutPath());
    }
    std::string OutPath() const { return Root.Path() + "/vsfc.txt"; }
    static constexpr const char* kOutName = "D:\\vsfc.txt";
    std::string Seen;
};

TEST_F(VolSummaryToDiskTest, OutputsMatchTheirGoldenFiles) {
    MakeVolSummaryCatalog();
    TVolSummaryFileContentsScreenForm* f = Window();
    struct TCase {
        TVolDiskChoice Choice;
        const char* Golden;
    };
    const TCase cases[] = {
        // One page: one page heading, no rules; first comment lines.
        {{0, false, false, 200}, "VolSummaryOnePage.txt"},
        // Pages of 20 lines and every volume on a page of its own; full comments wrapped at 12.
        {{20, true, true, 12}, "VolSummaryPaged.txt"},
    };
    for (const TCase& c : cases) {
        const std::string text = Output(*f, c.Choice);
        EXPECT_EQ(text, ReadTextFile(std::string(KORVANE_TESTDATA_DIR) + "/" + c.Golden)) << c.Golden;
    }
    EXPECT_EQ(Seen,
              "Volume Summary / File Contents Report To Disk|C:\\My Documents\\KorvaneVSFCReport.txt|"
              "Lines (Set To Zero To Disable Pagination)");
}

TEST_F(VolSummaryToDiskTest, ALowerCommentLimitNarrowsOnlyThatOutput) {
    MakeVolSummaryCatalog();
    TVolSummaryFileContentsScreenForm* f = Window();
    const int measured = f->SummaryCharWidth[kVolComment];
    ASSERT_GT(measured, 40);
    auto commentColumn = [](const std::string& Text) {
        // The volume heading line ends with the comment heading, justified to the column.
        const size_t at = Text.find("Comment");
        return Text.substr(at, Text.find("\r\n", at) - at).size();
    };
    EXPECT_EQ(commentColumn(Output(*f, {0, false, false, 10})), 10u);
    EXPECT_EQ(f->SummaryCharWidth[kVolComment], measured);
    EXPECT_EQ(commentColumn(Output(*f, {0, false, false, 255})), size_t(measured));
    // A cancelled dialog changes nothing either.
    Driver.AnswerWith([](TCustomForm& Form) { Form.SetModalResult(mrCancel); });
    std::filesystem::remove(OutPath());
    f->ToDiskBtnClick();
    EXPECT_FALSE(std::filesystem::exists(OutPath()));
    EXPECT_EQ(commentColumn(Output(*f, {0, false, false, 255})), size_t(measured));
}

TEST_F(VolSummaryToDiskTest, ACatalogWithoutVolumesWritesTheTotalsOrNothing) {
    testsupport::CreateRunCatalog("NONE");
    TVolSummaryFileContentsScreenForm* f = Window();
    const std::string totals = Output(*f, {});
    EXPECT_EQ(totals.substr(0, totals.find("\r\n")),
              std::string(19, ' ') + "Volume Summary / File Contents" + std::string(20, ' ') + "Page      1");
    EXPECT_NE(totals.find("\r\n\r\n\r\nTotal Disks  Total Files"), std::string::npos) << totals;
    EXPECT_NE(totals.find("    0            0        0.00%"), std::string::npos) << totals;
    f->ShowTotals1->Click();
    EXPECT_EQ(Output(*f, {}), "");
    EXPECT_TRUE(std::filesystem::exists(OutPath()));
}

TEST_F(VolSummaryToDiskTest, FailuresAreReportedAndCancelKeepsWhatWasWritten) {
    MakeVolSummaryCatalog();
    TVolSummaryFileContentsScreenForm* f = Window();
    f->SummaryTable->Last();

    // A folder cannot be opened as the file.
    std::filesystem::create_directories(Root.Path() + "/folder");
    Choose({}, "D:\\folder");
    Driver.Answer(mrYes);  // the name exists: overwrite it
    platform::ClearBeepHistory();
    f->ToDiskBtnClick();
    EXPECT_EQ(Driver.Shown.back().Text, "Error Opening Specified File For Output");
    EXPECT_FALSE(platform::BeepHistory().empty());

    // A failed write stops the run after the first volume's block; what was written stays.
    {
        int writes = 0;
        platform::TScopedFileFault fault(
            [&writes](platform::TFileOperation Op, const std::string& Path, int64_t, uint32_t) {
                platform::TFileFault result;
                if (Op == platform::TFileOperation::Write && Path.find("vsfc.txt") != std::string::npos &&
                    ++writes > 8)
                    result.Error = 112;  // disk full
                return result;
            });
        std::filesystem::remove(OutPath());
        Choose({});
        platform::ClearBeepHistory();
        f->ToDiskBtnClick();
    }
    EXPECT_EQ(Driver.Shown.back().Text, "Error Writing To Output File");
    EXPECT_FALSE(platform::BeepHistory().empty());
    const std::string partial = ReadTextFile(OutPath());
    EXPECT_NE(partial.find("   BACKUP01"), std::string::npos);
    EXPECT_EQ(partial.find("Total Disks"), std::string::npos);
    EXPECT_EQ(f->SummaryTable->FieldByName("CatalogVolumeLabel")->AsString(), "LETTERS") << "the grid stays";

    // A file that cannot be finished stays, with its message.
    {
        platform::TScopedFileFault fault(
            [](platform::TFileOperation Op, const std::string& Path, int64_t, uint32_t) {
                platform::TFileFault result;
                if (Op == platform::TFileOperation::Flush && Path.find("vsfc.txt") != std::string::npos)
                    result.Error = 1117;  // device error
                return result;
            });
        std::filesystem::remove(OutPath());
        Choose({});
        f->ToDiskBtnClick();
    }
    EXPECT_EQ(Driver.Shown.back().Text, "Error Closing Specified File After Output Completed");
    EXPECT_NE(ReadTextFile(OutPath()).find("Total Disks"), std::string::npos);

    // Cancel after the first entry: nothing is said, the file keeps what was written.
    f->FileTable3->AfterScroll = [f](TDataSet* Entries) {
        if (Entries->FieldByName("FileName")->AsString() != "README.TXT") return;
        for (int i = 0; i < f->ComponentCount(); ++i)
            if (auto* progress = dynamic_cast<catalog::TProgressForm*>(f->Components(i)))
                progress->CancelPressed = true;
    };
    std::filesystem::remove(OutPath());
    Choose({});
    const size_t shown = Driver.Shown.size();
    f->ToDiskBtnClick();
    f->FileTable3->AfterScroll = nullptr;
    EXPECT_EQ(Driver.Shown.size(), shown + 1) << "the dialog only";
    const std::string cancelled = ReadTextFile(OutPath());
    EXPECT_NE(cancelled.find("A.DAT"), std::string::npos);
    EXPECT_EQ(cancelled.find("README.TXT"), std::string::npos);
    EXPECT_EQ(cancelled.find("LETTERS"), std::string::npos);
    EXPECT_EQ(cancelled.find("Total Disks"), std::string::npos);
}

}  // namespace
}  // namespace reports
