// The directory window's To Disk button end to end: the dialog, the file it writes from a real
// scan, and the messages and clean-up for a failed open, a failed write and a cancel.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "catalog/ProgressForm.h"
#include "controls/entry/CtlPictureField.h"
#include "framework/stdctrls/CheckBox.h"
#include "framework/stdctrls/Edit.h"
#include "framework/stdctrls/FileCtrl.h"
#include "framework/stdctrls/Label.h"
#include "framework/stdctrls/Menus.h"
#include "framework/stdctrls/RadioButton.h"
#include "platform/Files.h"
#include "platform/testsupport/UserEnv.h"
#include "reports/directory/ShowDirectoryForm.h"
#include "reports/directory/testsupport/DirectoryFixture.h"
#include "reports/output/ReportOutputForms.h"

namespace reports {
namespace {

using namespace framework;
using cataloging::runtest::V;
using platform::testsupport::ReadTextFile;

class DirectoryToDiskTest : public testsupport::DirectoryWindowTest {
protected:
    void SetUp() override {
        DirectoryWindowTest::SetUp();
        MapDiskD("8000000", "2500000");
        const std::string a = Disk.WriteFile("GOLD/README.TXT", "0123456789");
        cataloging::runtest::SetStamp(a, 2024, 3, 5, 10, 20, 30);
        const std::string b = Disk.WriteFile("GOLD/MANUAL.DOC", std::string(1000, 'm'));
        cataloging::runtest::SetStamp(b, 2023, 12, 31, 23, 59, 58);
        OpenDir();
        ReadFolder("D:\\GOLD");
        ASSERT_TRUE(Dir->ListingShown);
    }
    // Answers the next text-file dialog: the file name, then OK (and whatever Extra does).
    void ChooseFile(const std::string& Name, std::function<void(TGetSummaryToDiskFileNameForm&)> Extra = {}) {
        Driver.AnswerWith([Name, Extra](TCustomForm& Form) {
            auto& d = dynamic_cast<TGetSummaryToDiskFileNameForm&>(Form);
            EXPECT_EQ(d.Caption(), "Directory Of A Disk Report To Disk File");
            EXPECT_EQ(d.FileName->Text(), "C:\\My Documents\\KorvaneDiskDirReport.txt");
            EXPECT_FALSE(d.StartEachDiskOnNewPage->Visible());
            EXPECT_EQ(d.Height(), 293);
            d.FileName->SetText(Name);
            d.Pagination->SetAsInteger(0);
            if (Extra) Extra(d);
            d.OkBtnClick();
        });
    }
    std::string OutPath() const { return Disk.Path() + "/out.txt"; }
    static constexpr const char* kOutName = "D:\\out.txt";
};

std::string CrLfLines(std::initializer_list<std::string> Lines) {
    std::string text;
    for (const std::string& line : Lines) text += line + "\r\n";
    return text;
}

TEST_F(DirectoryToDiskTest, WritesTheListingAsShown) {
    ChooseFile(kOutName);
    Dir->ToDiskBtnClick();
    EXPECT_EQ(Messages(), V{});
    EXPECT_EQ(
        ReadTextFile(OutPath()),
        CrLfLines(
            {"            Directory Of Drive D: (Starting At: D:\\GOLD)             Page      1", "",
             "  VolumeLabel      Disk Capacity         Space Used           Free Space", "",
             "  BACKUP01           8,000,000              1,010              2,500,000     ", "",
             "  Files On Disk  Files In Arcs", "", "        2              0      ", "",
             "FileName   Folder Name Archive ID File Size Date Modified Time Modified Attribute Comment", "",
             "MANUAL.DOC \\GOLD                      1,000  12/31/2023    11:59:58 PM      A            ",
             "README.TXT \\GOLD                         10   3/5/2024     10:20:30 AM      A            ", "",
             "   Files On Disk       Bytes On Disk     Files In Archives   Bytes In Archives", "",
             "         2                 1,010                 0                   0         "}));

    // Only the checked columns, no totals, one page per entry.
    for (int i : {1, 2, 4, 5, 6, 7}) Dir->ColumnItems[size_t(i)]->Click();
    Dir->ShowTotals->SetChecked(false);
    ChooseFile(kOutName, [](auto& d) { d.Pagination->SetAsInteger(1); });
    Driver.Answer(mrYes);  // overwrite
    Dir->ToDiskBtnClick();
    const std::string text = ReadTextFile(OutPath());
    EXPECT_NE(
        text.find(
            "\r\nFileName   File Size\r\n\r\nMANUAL.DOC     1,000\r\n" + std::string(80, '-') +
            "\r\n            Directory Of Drive D: (Starting At: D:\\GOLD)             Page      2\r\n"),
        std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 22), "README.TXT        10\r\n");
}

TEST_F(DirectoryToDiskTest, TheCommentColumnIsNarrowedForOneOutputOnly) {
    Dir->ColumnChars[kDirectoryCommentColumn] = 40;
    for (int i = 1; i < kDirectoryCommentColumn; ++i) Dir->ColumnItems[size_t(i)]->Click();
    ChooseFile(kOutName, [](auto& d) {
        d.SingleLine->SetChecked(true);
        d.TruncChars->SetAsInteger(9);
    });
    Dir->ToDiskBtnClick();
    EXPECT_NE(ReadTextFile(OutPath()).find("\r\nFileName   Comment  \r\n"), std::string::npos);
    EXPECT_EQ(Dir->ColumnChars[kDirectoryCommentColumn], 40);
}

TEST_F(DirectoryToDiskTest, FailuresAreReportedAndLeaveNoFile) {
    Dir->ReportTable->Last();
    const std::string row = Dir->ReportTable->FieldByName("FileName")->AsString();
    std::filesystem::create_directories(Disk / "folder");
    ChooseFile("D:\\folder");
    Driver.Answer(mrYes);  // the folder exists: overwrite it
    Dir->ToDiskBtnClick();
    EXPECT_EQ(Messages().back(), "Error Opening Specified File For Output");
    {
        platform::TScopedFileFault fault(
            [](platform::TFileOperation Op, const std::string& Path, int64_t, uint32_t) {
                platform::TFileFault result;
                if (Op == platform::TFileOperation::Write && Path.find("out.txt") != std::string::npos)
                    result.Error = 112;  // disk full
                return result;
            });
        ChooseFile(kOutName);
        Dir->ToDiskBtnClick();
    }
    EXPECT_EQ(Messages().back(), "Error Writing To Output File");
    EXPECT_FALSE(std::filesystem::exists(OutPath()));
    EXPECT_EQ(Dir->ReportTable->FieldByName("FileName")->AsString(), row);
    EXPECT_TRUE(Dir->Enabled());
}

TEST_F(DirectoryToDiskTest, CancelDeletesThePartialFileWithoutAMessage) {
    Dir->ReportTable->Last();
    const std::string row = Dir->ReportTable->FieldByName("FileName")->AsString();
    int scrolls = 0;
    Dir->ReportTable->AfterScroll = [this, &scrolls](TDataSet*) {
        if (++scrolls < 2) return;  // the first entry is written, then Cancel is pressed
        for (int i = 0; i < Dir->ComponentCount(); ++i)
            if (auto* progress = dynamic_cast<catalog::TProgressForm*>(Dir->Components(i)))
                progress->CancelPressed = true;
    };
    ChooseFile(kOutName);
    const size_t shown = Driver.Shown.size();
    Dir->ToDiskBtnClick();
    Dir->ReportTable->AfterScroll = nullptr;
    EXPECT_EQ(Driver.Shown.size(), shown + 1) << "only the dialog";
    EXPECT_GE(scrolls, 2);
    EXPECT_FALSE(std::filesystem::exists(OutPath()));
    EXPECT_EQ(Dir->ReportTable->FieldByName("FileName")->AsString(), row);
}

TEST_F(DirectoryToDiskTest, AnEmptyListingWritesOnlyTheTotals) {
    std::filesystem::create_directories(Disk / "EMPTY");
    auto* empty = TCustomForm::Create<TShowDirectoryForm>(Application);
    empty->Show();
    Driver.RunPending();
    empty->DriveComboBox->SetDrive('D');
    empty->StartDir->SetText("D:\\EMPTY");
    empty->KeepInMemory->SetChecked(true);  // the first window holds the New in P:
    empty->BitBtn1Click();
    Driver.RunPending();
    ASSERT_TRUE(empty->ListingShown);
    for (const bool totals : {true, false}) {
        empty->ShowTotals->SetChecked(totals);
        ChooseFile(kOutName);
        if (std::filesystem::exists(OutPath())) Driver.Answer(mrYes);
        empty->ToDiskBtnClick();
        EXPECT_EQ(
            ReadTextFile(OutPath()),
            totals
                ? CrLfLines(
                      {"", "   Files On Disk       Bytes On Disk     Files In Archives   Bytes In Archives",
                       "", "         0                   0                   0                   0         "})
                : "");
    }
    empty->Free();
}

}  // namespace
}  // namespace reports
