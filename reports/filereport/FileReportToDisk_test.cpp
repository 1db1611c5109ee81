// The file report's To Disk button end to end: the text-file dialog, the file it writes, and the
// messages for a blank, existing, unopenable or unwritable file.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "catalog/ProgressForm.h"
#include "controls/entry/CtlPictureField.h"
#include "controls/entry/CtlState.h"
#include "framework/stdctrls/Buttons.h"
#include "framework/stdctrls/CheckBox.h"
#include "framework/stdctrls/Edit.h"
#include "framework/stdctrls/RadioButton.h"
#include "platform/Files.h"
#include "platform/Registry.h"
#include "platform/testsupport/UserEnv.h"
#include "reports/filereport/FileReportScreenForm.h"
#include "reports/output/ReportOutputForms.h"
#include "reports/testsupport/FileReportFixture.h"

namespace reports {
namespace {

using namespace framework;
using platform::testsupport::ReadTextFile;
using platform::testsupport::WriteTextFile;

class FileReportToDiskTest : public testsupport::FileReportTest {
protected:
    // A report of two files with the columns FileName, Volume ID and File Size.
    TFileReportScreenForm* TwoFileReport() {
        const TDateTime day = testsupport::Day(2024, 3, 15), at = testsupport::At(8, 0, 0);
        MakeCatalog("CAT2", {{"README.TXT", "BACKUP01", "\\", "", 10, day, at, 0x20, "", ""},
                             {"MANUAL.DOC", "BACKUP01", "\\", "", 1000, day, at, 0x20, "", ""}});
        catalog::CurrentCatalogName = "CAT2";
        return Built("All Files", {1, 2, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0});
    }
    TFileReportScreenForm* Built(const std::string& Title, const std::array<uint8_t, kReportItems>& Columns) {
        TFileReportScreenForm* f = NewReport();
        f->ReportTitle = Title;
        f->ColumnPos = Columns;
        f->SortSpec[0] = {1, 1};
        EXPECT_TRUE(f->CreateReport());
        f->Show();
        Driver.RunPending();
        return f;
    }
    // Answers the next text-file dialog: the file name, then OK (and whatever Extra does).
    void ChooseFile(const std::string& Name, std::function<void(TGetSummaryToDiskFileNameForm&)> Extra = {}) {
        Driver.AnswerWith([Name, Extra](TCustomForm& Form) {
            auto& d = dynamic_cast<TGetSummaryToDiskFileNameForm&>(Form);
            EXPECT_EQ(d.Caption(), "File Report To Disk");
            EXPECT_EQ(d.FileName->Text(), "C:\\My Documents\\KorvaneFileReport.txt");
            EXPECT_FALSE(d.StartEachDiskOnNewPage->Visible());
            d.FileName->SetText(Name);
            if (Extra) Extra(d);
            d.OkBtnClick();
        });
    }
    std::string OutPath() const { return Root.Path() + "/report.txt"; }
    static constexpr const char* kOutName = "D:\\report.txt";
};

TEST_F(FileReportToDiskTest, WritesTheReportInTheWindowsOrderWithTotals) {
    TFileReportScreenForm* f = TwoFileReport();
    ChooseFile(kOutName, [](auto& d) { d.Pagination->SetAsInteger(0); });
    f->ToDiskBtnClick();
    EXPECT_EQ(ReadTextFile(OutPath()),
              ReadTextFile(std::string(KORVANE_TESTDATA_DIR) + "/FileReportAllFiles.txt"));
    // Show Totals clear: the file ends with the last row.
    f->ShowTotals->SetChecked(false);
    ChooseFile(kOutName);
    Driver.Answer(mrYes);  // overwrite
    f->ToDiskBtnClick();
    const std::string text = ReadTextFile(OutPath());
    EXPECT_EQ(text.substr(text.size() - 35), "README.TXT BACKUP01            10\r\n");
}

TEST_F(FileReportToDiskTest, TheCommentWidthIsLimitedForOneOutputOnly) {
    TFileReportScreenForm* f = Built("Comments", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0});
    const int measured = f->ColumnCharWidth[10];
    ASSERT_GT(measured, 10);
    ChooseFile(kOutName, [](auto& d) {
        d.SingleLine->SetChecked(true);
        d.TruncChars->SetAsInteger(10);
    });
    f->ToDiskBtnClick();
    EXPECT_NE(ReadTextFile(OutPath()).find("\r\n\r\nComment   \r\n\r\ndisk   bac\r\n"), std::string::npos);
    EXPECT_EQ(f->ColumnCharWidth[10], measured);
}

TEST_F(FileReportToDiskTest, FailuresAreReportedAndLeaveNoFile) {
    TFileReportScreenForm* f = TwoFileReport();
    const TBookmark row = (f->Query->Last(), f->Query->GetBookmark());
    std::filesystem::create_directories(Root.Path() + "/folder");
    ChooseFile("D:\\folder", [](auto&) {});
    Driver.Answer(mrYes);  // the folder exists: overwrite it
    f->ToDiskBtnClick();
    ASSERT_FALSE(Driver.Shown.empty());
    EXPECT_EQ(Driver.Shown.back().Text, "Error Opening Specified File For Output");

    {
        platform::TScopedFileFault fault(
            [](platform::TFileOperation Op, const std::string& Path, int64_t, uint32_t) {
                platform::TFileFault result;
                if (Op == platform::TFileOperation::Write && Path.find("report.txt") != std::string::npos)
                    result.Error = 112;  // disk full
                return result;
            });
        ChooseFile(kOutName);
        f->ToDiskBtnClick();
    }
    EXPECT_EQ(Driver.Shown.back().Text, "Error Writing To Output File");
    EXPECT_FALSE(std::filesystem::exists(OutPath()));
    EXPECT_TRUE(f->Query->CompareBookmarks(row, f->Query->GetBookmark()) == 0);
}

TEST_F(FileReportToDiskTest, CancelDeletesThePartialFileWithoutAMessage) {
    TFileReportScreenForm* f = TwoFileReport();
    f->Query->Last();
    const std::string row = f->Query->FieldByName("FileName")->AsString();
    int scrolls = 0;
    f->Query->AfterScroll = [f, &scrolls](TDataSet*) {
        if (++scrolls < 2) return;  // the first row is written, then Cancel is pressed
        for (int i = 0; i < f->ComponentCount(); ++i)
            if (auto* progress = dynamic_cast<catalog::TProgressForm*>(f->Components(i)))
                progress->CancelPressed = true;
    };
    ChooseFile(kOutName);
    const size_t shown = Driver.Shown.size();
    f->ToDiskBtnClick();
    f->Query->AfterScroll = nullptr;
    EXPECT_EQ(Driver.Shown.size(), shown + 1) << "only the dialog";
    EXPECT_GE(scrolls, 2);
    EXPECT_FALSE(std::filesystem::exists(OutPath()));
    EXPECT_EQ(f->Query->FieldByName("FileName")->AsString(), row);
}

TEST_F(FileReportToDiskTest, TheDialogRefusesABlankNameAndAsksBeforeOverwriting) {
    TFileReportScreenForm* f = TwoFileReport();
    WriteTextFile(OutPath(), "keep");
    Driver.AnswerWith(
        [](TCustomForm& Form) {
            auto& d = dynamic_cast<TGetSummaryToDiskFileNameForm&>(Form);
            d.FileName->SetText("   ");
            d.OkBtnClick();
            EXPECT_EQ(d.ModalResult(), mrNone);
            d.FileName->SetText(kOutName);
            d.OkBtnClick();  // answered No: the dialog stays
            EXPECT_EQ(d.ModalResult(), mrNone);
            d.Pagination->SetAsInteger(25);
            d.MultiLine->SetChecked(true);
            d.WrapChars->SetAsInteger(60);
        },
        mrCancel);
    Driver.Answer(mrOk);
    Driver.Answer(mrNo);
    f->ToDiskBtnClick();
    ASSERT_GE(Driver.Shown.size(), 3u);
    EXPECT_EQ(Driver.Shown[Driver.Shown.size() - 2].Text, "Filename Cannot Be Blank");
    EXPECT_EQ(Driver.Shown.back().Text, "This File Already Exists - Overwrite It?");
    EXPECT_EQ(ReadTextFile(OutPath()), "keep");
    // Cancel still keeps the changed numbers for the next use.
    auto* again = TCustomForm::Create<TGetSummaryToDiskFileNameForm>(Application);
    platform::TRegIniFile ini(again->Store->KeyName());
    EXPECT_EQ(ini.ReadString("TGetSummaryToDiskFileNameForm", "SavePaginationRecordsLabel.Caption", "?"),
              "25");
    EXPECT_EQ(ini.ReadString("TGetSummaryToDiskFileNameForm", "SaveWrapCharsLabel.Caption", "?"), "60");
    again->FormShow();
    EXPECT_EQ(again->Pagination->GetAsInteger(), 25);
    EXPECT_EQ(again->WrapChars->GetAsInteger(), 60);
    EXPECT_TRUE(again->MultiLine->Checked());
    again->Free();
}

}  // namespace
}  // namespace reports
