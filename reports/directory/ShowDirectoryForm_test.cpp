// The directory window end to end over a temporary drive D: the scan into New, the listing face
// with its figures and totals, opening files, the settings kept between windows, and New deleted
// when the window closes.

#include "reports/directory/ShowDirectoryForm.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "cataloging/dialogs/FileNotFoundForm.h"
#include "controls/entry/CtlState.h"
#include "dbsql/components/DbTable.h"
#include "framework/dbctrls/DBCtrls.h"
#include "framework/dbctrls/DBGrids.h"
#include "framework/stdctrls/Buttons.h"
#include "framework/stdctrls/CheckBox.h"
#include "framework/stdctrls/ComboBox.h"
#include "framework/stdctrls/Edit.h"
#include "framework/stdctrls/FileCtrl.h"
#include "framework/stdctrls/Label.h"
#include "framework/stdctrls/Menus.h"
#include "platform/testsupport/UserEnv.h"
#include "reports/directory/testsupport/DirectoryFixture.h"
#include "reports/filereport/FileReportScreenForm.h"

namespace reports {
namespace {

using namespace framework;
using cataloging::runtest::V;

class ShowDirectoryTest : public testsupport::DirectoryWindowTest {
protected:
    void SetUp() override {
        DirectoryWindowTest::SetUp();
        MapDiskD("8000000000", "2500000000");
    }
    // The fixture disk and PACK.ZIP holding M1.TXT (3 bytes) and M2.TXT (2 bytes).
    void MakeDiskWithZip() {
        MakeFixtureDisk();
        ASSERT_EQ(platform::testsupport::RunShell("cd '" + Disk.Path() +
                                                  "' && printf abc > M1.TXT && printf de > M2.TXT && "
                                                  "zip -q PACK.ZIP M1.TXT M2.TXT && rm M1.TXT M2.TXT"),
                  0);
    }
    // Reads the directory with ZIP archives always expanded.
    TShowDirectoryForm& ScanWithZip() {
        TShowDirectoryForm& d = OpenDir();
        d.optExpandArchives->SetItemIndex(0);
        d.doZIP->SetChecked(true);
        d.BitBtn1Click();
        Driver.RunPending();
        return d;
    }
    static V Listed(TShowDirectoryForm& D) {
        V rows;
        for (D.ReportTable->First(); !D.ReportTable->Eof(); D.ReportTable->Next())
            rows.push_back(D.ReportTable->FieldByName("FileName")->AsString() + "|" +
                           D.ReportTable->FieldByName("ArchiveID")->AsString());
        D.ReportTable->First();
        return rows;
    }
};

TEST_F(ShowDirectoryTest, TheCriteriaFaceStartsOnTheCurrentDrive) {
    TShowDirectoryForm& d = OpenDir();
    EXPECT_EQ(d.Caption(), "Directory Of A Disk - Criteria");
    EXPECT_EQ(d.Width(), 600);
    EXPECT_TRUE(d.SpecPanel->Visible());
    EXPECT_FALSE(d.ResultPanel->Visible());
    EXPECT_EQ(d.StartDir->Text(), std::string(1, d.DriveLetter()) + ":\\");
    EXPECT_EQ(d.optExpandArchives->Text(), "Never");
    d.DriveComboBox->SetDrive('p');
    d.DriveComboBoxChange();
    EXPECT_EQ(d.StartDir->Text(), "P:\\");
    d.SelAllBtnClick(d.SelAllBtn);
    EXPECT_TRUE(d.doCAB->Checked() && d.doARC->Checked() && d.doZOO->Checked());
    d.SelAllBtnClick(d.ClearAllBtn);
    EXPECT_FALSE(d.doCAB->Checked() || d.doARC->Checked() || d.doZOO->Checked());
}

TEST_F(ShowDirectoryTest, ReadsTheDiskIntoTheListingWithItsFiguresAndTotals) {
    MakeDiskWithZip();
    // What the screen shows while the scan runs: the run window's caption, and this window disabled.
    std::string runCaption;
    bool disabledMeanwhile = false;
    TShowDirectoryForm* dir = nullptr;
    platform::TScopedFileFault watch([&](platform::TFileOperation, const std::string&, int64_t, uint32_t) {
        for (int i = 0; i < Screen->FormCount(); ++i)
            if (auto* run = dynamic_cast<cataloging::TCatalogProgressForm*>(Screen->Forms(i))) {
                runCaption = run->Caption();
                disabledMeanwhile = disabledMeanwhile || (dir && !dir->Enabled());
            }
        return platform::TFileFault{};
    });
    dir = &OpenDir();
    dir->optExpandArchives->SetItemIndex(0);
    dir->doZIP->SetChecked(true);
    dir->BitBtn1Click();
    Driver.RunPending();
    TShowDirectoryForm& d = *dir;
    EXPECT_EQ(runCaption, "Reading Directory Disk In Drive D");
    EXPECT_TRUE(disabledMeanwhile);
    EXPECT_TRUE(d.Enabled());
    EXPECT_EQ(Messages(), V{});
    EXPECT_EQ(d.Caption(), "Directory Of Drive D: (Starting At: D:\\)");
    EXPECT_FALSE(d.SpecPanel->Visible());
    EXPECT_TRUE(d.ResultPanel->Visible());
    EXPECT_TRUE(d.ListingShown);
    EXPECT_EQ(Listed(d), (V{"BIG.ISO|", "M1.TXT|PACK.ZIP", "M2.TXT|PACK.ZIP", "MAKEFILE|", "MANUAL.DOC|",
                            "NOTES.TXT|", "PACK.ZIP|", "README.TXT|", "X.TXT|"}));
    EXPECT_EQ(d.VolumeLabelText->Caption(), "BACKUP01");
    EXPECT_EQ(d.DiskSizeText->Caption(), "8,000,000,000");
    EXPECT_EQ(d.FreeSpaceText->Caption(), "2,500,000,000");
    EXPECT_EQ(d.FilesOnDiskText->Caption(), "7");
    EXPECT_EQ(d.FilesInArcsText->Caption(), "2");
    const int64_t zip = int64_t(std::filesystem::file_size(Disk / "PACK.ZIP"));
    const std::string onDisk = FormatFloat("###,###,###,###,##0", double(5000001019 + zip));
    EXPECT_EQ(d.SpaceUsedText->Caption(), onDisk);
    EXPECT_EQ(d.Totals1[0]->Caption(), "7");
    EXPECT_EQ(d.Totals1[1]->Caption(), onDisk);
    EXPECT_EQ(d.Totals1[2]->Caption(), "2");
    EXPECT_EQ(d.Totals1[3]->Caption(), "5");
    for (size_t i = 0; i < 4; ++i) EXPECT_EQ(d.Totals2[i]->Caption(), d.Totals1[i]->Caption());
    // Each grid column as wide as its widest text (or heading) and 4 pixels more.
    for (int i = 0; i < kDirectoryColumns; ++i) {
        EXPECT_EQ(d.FileGrid->Columns()[i]->Width(), d.ColumnPixels[size_t(i)] + 4);
        EXPECT_GE(d.ColumnChars[size_t(i)], std::char_traits<char>::length(kDirectoryHeadings[size_t(i)]));
    }
    EXPECT_EQ(d.ColumnChars[0], 10);  // MANUAL.DOC, README.TXT
    EXPECT_EQ(d.ColumnChars[3], 13);  // "5,000,000,000"
    // The calculated texts.
    ASSERT_TRUE(d.ReportTable->Locate("FileName", Variant(std::string("README.TXT")), {}));
    EXPECT_EQ(d.ReportTable->FieldByName("AttributeStr")->AsString(), "RA");
}

TEST_F(ShowDirectoryTest, TotalsAndCommentPanelsFollowTheirBoxes) {
    MakeDiskWithZip();
    TShowDirectoryForm& d = ScanWithZip();
    struct Case {
        bool Totals, Expand;
        bool TotalPanel, CommentPanel, CommentTotals;
    };
    const Case cases[] = {{true, false, true, false, false},
                          {false, false, false, false, false},
                          {true, true, false, true, true},
                          {false, true, false, true, false}};
    for (const Case& c : cases) {
        d.ShowTotals->SetChecked(c.Totals);
        d.ExpandComment->SetChecked(c.Expand);
        d.ExpandCommentClick();
        EXPECT_EQ(d.TotalPanel->Visible(), c.TotalPanel);
        EXPECT_EQ(d.TCPanel2->Visible(), c.CommentPanel);
        if (!c.Expand) continue;
        EXPECT_EQ(d.Totals2[0]->Visible(), c.CommentTotals);
        EXPECT_EQ(d.TotalHeadings2[3]->Visible(), c.CommentTotals);
    }
}

TEST_F(ShowDirectoryTest, ColumnItemsHideAndShowTheirColumns) {
    MakeDiskWithZip();
    TShowDirectoryForm& d = ScanWithZip();
    for (int i = 0; i < kDirectoryColumns; ++i) d.ColumnItems[size_t(i)]->Click();
    for (int i = 0; i < kDirectoryColumns; ++i) {
        EXPECT_FALSE(d.ColumnItems[size_t(i)]->Checked);
        EXPECT_FALSE(d.FileGrid->Columns()[i]->Visible());
    }
    d.ColumnItems[3]->Click();
    EXPECT_TRUE(d.FileGrid->Columns()[3]->Visible());
    EXPECT_EQ(d.ColumnItems[7]->Caption, " &H. Comment");
}

TEST_F(ShowDirectoryTest, AnEmptyFolderGivesAnEmptyGridThatOpensNothing) {
    std::filesystem::create_directories(Disk / "EMPTY");
    Disk.WriteFile("ELSEWHERE.TXT", "x");
    TShowDirectoryForm& d = OpenDir();
    d.DriveComboBox->SetDrive('D');
    d.StartDir->SetText("D:\\EMPTY");
    d.Recurse->SetChecked(false);
    d.BitBtn1Click();
    Driver.RunPending();
    ASSERT_TRUE(d.ListingShown);
    EXPECT_EQ(d.Caption(), "Directory Of Drive D: (Starting At: D:\\EMPTY)");
    EXPECT_EQ(d.ReportTable->RecordCount(), 0);
    // The drive's figures take in the whole drive; the totals only what is listed.
    EXPECT_EQ(d.FilesOnDiskText->Caption(), "1");
    EXPECT_EQ(d.SpaceUsedText->Caption(), "1");
    EXPECT_EQ(d.Totals1[0]->Caption(), "0");
    EXPECT_EQ(d.Totals1[1]->Caption(), "0");
    d.OpenBtnClick();
    d.FileGridMouseMove(20, 40);
    d.FileGridDblClick();
    EXPECT_EQ(Driver.Shown.size(), 0u);
}

TEST_F(ShowDirectoryTest, OpeningFiles) {
    MakeDiskWithZip();
    TShowDirectoryForm& d = ScanWithZip();
    // A member of an archive cannot be opened.
    ASSERT_TRUE(d.ReportTable->Locate("FileName", Variant(std::string("M1.TXT")), {}));
    d.OpenBtnClick();
    EXPECT_EQ(Messages(),
              V{"Korvane Does Not Presently Have The Ability To Open A File Inside Of An Archive File"});
    // A file that has gone: the not-found dialog, preset to the drive, with the path and label.
    ASSERT_TRUE(d.ReportTable->Locate("FileName", Variant(std::string("X.TXT")), {}));
    std::filesystem::remove(Disk / "DOCSOLD/X.TXT");
    std::string shownPath, shownLabel;
    Driver.AnswerWith([&](TCustomForm& Form) {
        auto& nf = dynamic_cast<cataloging::TFileNotFoundForm&>(Form);
        shownPath = nf.FName->Caption();
        shownLabel = nf.VLabel->Caption();
        Form.SetModalResult(mrCancel);
    });
    d.OpenBtnClick();
    EXPECT_EQ(shownPath, "\\DOCSOLD\\X.TXT");
    EXPECT_EQ(shownLabel, "BACKUP01");
    // The title row opens nothing.
    d.FileGridMouseMove(5, 2);
    const size_t before = Driver.Shown.size();
    d.FileGridDblClick();
    EXPECT_EQ(Driver.Shown.size(), before);
}

TEST_F(ShowDirectoryTest, ClosingDeletesNewWhereverItWas) {
    MakeFixtureDisk();
    for (const bool inMemory : {true, false}) {
        SCOPED_TRACE(inMemory);
        TShowDirectoryForm& d = OpenDir();
        d.KeepInMemory->SetChecked(inMemory);
        d.BitBtn1Click();
        Driver.RunPending();
        ASSERT_TRUE(d.ListingShown);
        EXPECT_TRUE(NewExists(inMemory));
        CloseDir();
        EXPECT_FALSE(NewExists(inMemory));
    }
}

TEST_F(ShowDirectoryTest, ClosingBeforeAScanDeletesNothingAndKeepsNoPlacement) {
    MakeFixtureDisk();
    cataloging::runtest::TRecordingRun& run = NewForm();  // leaves a New of its own in P:
    run.Spec.DriveLetter = 'D';
    run.Spec.StartFolder = "D:\\";
    ASSERT_TRUE(run.ScanDiskOnly());
    run.NewDataTable->Close();
    ASSERT_TRUE(NewExists(false));
    OpenDir().SetBounds(10, 10, 700, 400);
    CloseDir();
    EXPECT_TRUE(NewExists(false));
    TShowDirectoryForm& again = OpenDir();
    EXPECT_EQ(again.ListWidthLabel->Caption(), "");
    EXPECT_EQ(again.ListTopLabel->Caption(), "");
    EXPECT_NE(again.LastDriveLabel->Caption(), "");
}

TEST_F(ShowDirectoryTest, ReopeningRestoresTheSettingsOnTheCriteriaFace) {
    MakeDiskWithZip();
    {
        TShowDirectoryForm& d = OpenDir();
        d.DriveComboBox->SetDrive('D');
        d.optExpandArchives->SetItemIndex(2);
        d.doZIP->SetChecked(true);
        d.optHandleDIZ->SetChecked(true);
        d.KeepInMemory->SetChecked(true);
        d.Recurse->SetChecked(false);
        d.BitBtn1Click();
        Driver.RunPending();
        ASSERT_TRUE(d.ListingShown);
        d.ColumnItems[2]->Click();
        d.ShowTotals->SetChecked(false);
        TFont font = d.FileGrid->Font();
        font.SetSize(12);
        d.ApplyFont(font);
        d.SetBounds(30, 40, 820, 510);
        CloseDir();
    }
    TShowDirectoryForm& d = OpenDir();
    EXPECT_TRUE(d.SpecPanel->Visible());
    EXPECT_EQ(d.Caption(), "Directory Of A Disk - Criteria");
    EXPECT_EQ(d.DriveLetter(), 'D');
    EXPECT_EQ(d.optExpandArchives->Text(), "On Demand");
    EXPECT_TRUE(d.doZIP->Checked());
    EXPECT_TRUE(d.optHandleDIZ->Checked());
    EXPECT_TRUE(d.KeepInMemory->Checked());
    EXPECT_FALSE(d.Recurse->Checked());
    EXPECT_FALSE(d.ColumnItems[2]->Checked);
    EXPECT_FALSE(d.ShowTotals->Checked());
    EXPECT_EQ(d.FileGrid->Font().Size(), 12);
    EXPECT_EQ(d.FileGrid->TitleFont().Size(), 12);
    EXPECT_EQ(d.DBMemo1->Font().Size(), 12);
    d.BitBtn1Click();
    Driver.RunPending();
    ASSERT_TRUE(d.ListingShown);
    EXPECT_EQ(d.Width(), 820);
    EXPECT_EQ(d.Height(), 510);
    EXPECT_EQ(d.Left(), 30);
    EXPECT_EQ(d.Top(), 40);
    EXPECT_FALSE(d.FileGrid->Columns()[2]->Visible());
    EXPECT_TRUE(d.FileGrid->Columns()[3]->Visible());
}

TEST_F(ShowDirectoryTest, ANewFontMeasuresTheColumnsAgainAndKeepsTheRow) {
    MakeDiskWithZip();
    TShowDirectoryForm& d = ScanWithZip();
    ASSERT_TRUE(d.ReportTable->Locate("FileName", Variant(std::string("NOTES.TXT")), {}));
    const auto chars = d.ColumnChars;
    const int before = d.FileGrid->Columns()[1]->Width();
    TFont font = d.FileGrid->Font();
    font.SetSize(16);
    d.ApplyFont(font);
    EXPECT_GT(d.FileGrid->Columns()[1]->Width(), before + 10);
    EXPECT_EQ(d.FileGrid->Columns()[1]->Width(), d.ColumnPixels[1]);
    EXPECT_EQ(d.ColumnChars, chars);  // the text file's widths stay
    EXPECT_EQ(d.ReportTable->FieldByName("FileName")->AsString(), "NOTES.TXT");
    EXPECT_EQ(d.DBMemo1->Font().Size(), 16);
    EXPECT_EQ(d.FileGrid->TitleFont().Size(), 16);
}

TEST_F(ShowDirectoryTest, TheCatalogDiskCriteriaShareTheKeptValues) {
    TShowDirectoryForm& d = OpenDir();
    d.IgnoreRecycle->SetChecked(false);
    CloseDir();
    entry::TCtlRegistryStore store(nullptr);
    store.Open();
    EXPECT_EQ(store.ReadString("TCatalogDiskSpecForm", "IgnoreRecycle.Checked", "?"), "False");
    EXPECT_NE(store.ReadString("TCatalogDiskSpecForm", "LastDriveLabel.Caption", ""), "");
    store.Close();
}

TEST_F(ShowDirectoryTest, AFailedScanLeavesTheCriteriaFace) {
    catalog::ProgramFolder = "P:\\MISSING\\";
    TShowDirectoryForm& d = OpenDir();
    d.BitBtn1Click();
    Driver.RunPending();
    EXPECT_EQ(Messages(), V{"Error Creating Temporary File For Cataloging Purposes"});
    EXPECT_TRUE(d.SpecPanel->Visible());
    EXPECT_FALSE(d.ListingShown);
    EXPECT_TRUE(d.Enabled());
}

TEST_F(ShowDirectoryTest, ANewThatCannotBeOpenedLeavesTheCriteriaFace) {
    MakeFixtureDisk();
    // Every open of New's files fails once the run window has gone.
    bool runSeen = false;
    platform::TScopedFileFault fault(
        [&](platform::TFileOperation Op, const std::string& Path, int64_t, uint32_t) {
            bool running = false;
            for (int i = 0; i < Screen->FormCount(); ++i)
                running = running || dynamic_cast<cataloging::TCatalogProgressForm*>(Screen->Forms(i));
            runSeen = runSeen || running;
            platform::TFileFault result;
            if (runSeen && !running && Op == platform::TFileOperation::Open &&
                (Path.find("/NEW.") != std::string::npos || Path.find("/New.") != std::string::npos))
                result.Error = 32;  // sharing violation
            return result;
        });
    TShowDirectoryForm& d = OpenDir();
    d.BitBtn1Click();
    Driver.RunPending();
    EXPECT_EQ(Messages(), V{"Cannot Open Result Table To Display The Directory Of The Selected Disk"});
    EXPECT_TRUE(d.SpecPanel->Visible());
    EXPECT_FALSE(d.ListingShown);
}

TEST_F(ShowDirectoryTest, TheFullViewShowsTheRowWithoutVolumeOrCategory) {
    MakeDiskWithZip();
    TShowDirectoryForm& d = ScanWithZip();
    d.ViewBtnClick();
    ASSERT_NE(d.ViewForm, nullptr);
    EXPECT_EQ(d.ViewForm->Caption(), "View Full Record(Directory Of Drive D: (Starting At: D:\\))");
    V hidden;
    for (int i = 0; i < d.ViewForm->ControlCount(); ++i) {
        TControl* c = d.ViewForm->Controls(i);
        if (!c->Visible()) hidden.push_back(c->Name().empty() ? c->Caption() : c->Name());
    }
    std::sort(hidden.begin(), hidden.end());
    EXPECT_EQ(hidden, (V{"Category", "Category Code", "CategoryCode", "CategoryDescription", "Volume ID",
                         "VolumeLabel"}));
    auto* name = dynamic_cast<TDBEdit*>(d.ViewForm->FindComponent("FileName"));
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(name->Text(), d.ReportTable->FieldByName("FileName")->AsString());
    TFileReportViewRecordForm* first = d.ViewForm;
    d.ViewBtnClick();
    EXPECT_EQ(d.ViewForm, first);  // one at a time
}

}  // namespace
}  // namespace reports
