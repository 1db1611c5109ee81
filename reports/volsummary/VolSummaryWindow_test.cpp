// The volume summary window over a catalog made by cataloguing runs: the calculated fields, the
// column menus, the detail following the volume, the font change, the totals, opening files and
// the count of open reports.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "catalog/Globals.h"
#include "cataloging/dialogs/FileNotFoundForm.h"
#include "dbsql/components/DbTable.h"
#include "framework/core/Thread.h"
#include "framework/data/Fields.h"
#include "framework/dbctrls/DBCtrls.h"
#include "framework/dbctrls/DBGrids.h"
#include "framework/stdctrls/ComCtrls.h"
#include "framework/stdctrls/ExtCtrls.h"
#include "framework/stdctrls/FileCtrl.h"
#include "framework/stdctrls/Label.h"
#include "framework/stdctrls/Menus.h"
#include "platform/Paths.h"
#include "platform/testsupport/UserEnv.h"
#include "reports/filereport/FileReportScreenForm.h"
#include "reports/summary/SummaryReportScreenForm.h"
#include "reports/testsupport/VolSummaryFixture.h"
#include "reports/volsummary/VolSummaryScreenForm.h"

namespace reports {
namespace {

using namespace framework;
using platform::testsupport::ReadTextFile;
using platform::testsupport::WriteTextFile;

class VolSummaryWindowTest : public testsupport::VolSummaryTest {
protected:
    static std::vector<std::string> Entries(TVolSummaryFileContentsScreenForm& F) {
        std::vector<std::string> names;
        for (F.FileTable->First(); !F.FileTable->Eof(); F.FileTable->Next())
            names.push_back(F.FileTable->FieldByName("FileName")->AsString());
        F.FileTable->First();
        return names;
    }
    static std::vector<bool> Visible(TDBGrid& Grid) {
        std::vector<bool> out;
        for (int i = 0; i < Grid.Columns().Count(); ++i) out.push_back(Grid.Columns()[i]->Visible());
        return out;
    }
    static std::vector<bool> Checked(const auto& Items) {
        std::vector<bool> out;
        for (TMenuItem* item : Items) out.push_back(item->Checked);
        return out;
    }
    static std::vector<int> Widths(TDBGrid& Grid) {
        std::vector<int> out;
        for (int i = 0; i < Grid.Columns().Count(); ++i) out.push_back(Grid.Columns()[i]->Width());
        return out;
    }
};

TEST_F(VolSummaryWindowTest, CalculatedFieldsOfVolumesAndEntries) {
    MakeVolSummaryCatalog();
    TVolSummaryFileContentsScreenForm* f = Window();
    struct TVolumeCase {
        const char* Label;
        const char* Serial;
        const char* Slack;
        const char* Comment;
    };
    const TVolumeCase volumes[] = {
        {"BACKUP01", "1A2B-3C4D", "12.50", "Weekly backup"},
        {"EMPTYVOL", "", "0.00", ""},                 // free space not below the size
        {"LETTERS", "0000-0000", "0.00", "Letters"},  // more used than the size
    };
    for (const TVolumeCase& c : volumes) {
        GoToVolume(*f, c.Label);
        EXPECT_EQ(f->SummaryTable->FieldByName("SerialNumberStr")->AsString(), c.Serial) << c.Label;
        EXPECT_EQ(f->SummaryTable->FieldByName("SlackSpace")->DisplayText(), c.Slack) << c.Label;
        EXPECT_EQ(f->SummaryTable->FieldByName("CommentStr")->AsString(), c.Comment) << c.Label;
    }
    // The comment column is sized on the whole three-line comment, not on its first line.
    EXPECT_EQ(f->SummaryCharWidth[kVolComment],
              int(std::string("Weekly backup\r\nSecond line\r\nThird line of the comment").size()));

    struct TEntryCase {
        const char* Volume;
        const char* Name;
        const char* Attributes;
        const char* Category;
    };
    const TEntryCase entries[] = {
        {"BACKUP01", "A.DAT", "RA", "Documents"},
        {"BACKUP01", "README.TXT", "", ""},
    };
    for (const TEntryCase& c : entries) {
        GoToVolume(*f, c.Volume);
        ASSERT_TRUE(f->FileTable->Locate("FileName", Variant(c.Name), {})) << c.Name;
        EXPECT_EQ(f->FileTable->FieldByName("AttributeStr")->AsString(), c.Attributes) << c.Name;
        EXPECT_EQ(f->FileTable->FieldByName("CategoryDescription")->AsString(), c.Category) << c.Name;
    }
}

TEST_F(VolSummaryWindowTest, TheEntriesFollowTheHighlightedVolume) {
    MakeVolSummaryCatalog();
    TVolSummaryFileContentsScreenForm* f = Window();
    f->SummaryTable->First();
    EXPECT_EQ(f->SummaryTable->FieldByName("CatalogVolumeLabel")->AsString(), "BACKUP01");
    EXPECT_EQ(Entries(*f), (std::vector<std::string>{"A.DAT", "README.TXT"}));
    f->SummaryTable->Next();
    EXPECT_TRUE(Entries(*f).empty());
    f->SummaryTable->Next();
    EXPECT_EQ(Entries(*f), (std::vector<std::string>{"X.TXT", "Y.TXT"}));
}

TEST_F(VolSummaryWindowTest, DefaultColumnsAndToggling) {
    MakeVolSummaryCatalog();
    TVolSummaryFileContentsScreenForm* f = Window();
    const std::vector<bool> volumeDefaults{true,  false, true, false, false, true, true,
                                           false, true,  true, true,  true,  true, true};
    const std::vector<bool> fileDefaults{true, true, true, true, true, true, false, true, false, true, true};
    EXPECT_EQ(Visible(*f->SummaryGrid), volumeDefaults);
    EXPECT_EQ(Checked(f->SummaryItems), volumeDefaults);
    EXPECT_EQ(Visible(*f->FileGrid), fileDefaults);
    EXPECT_EQ(f->SummaryItems[6]->Caption, "&G. Disk Size");
    EXPECT_TRUE(f->ShowTotals1->Checked);
    EXPECT_FALSE(f->ExpandComment1->Checked);
    EXPECT_TRUE(Driver.Grab(*f, std::string(KORVANE_BUILD_DIR) + "/VolSummaryScreenForm.png"));
    // The splitter divides the halves; the entries get the rest above the buttons.
    EXPECT_EQ(f->Splitter1->Height(), 3);
    EXPECT_EQ(f->FilePanel->Top(), f->SummaryPanel->Height() + 3);
    EXPECT_EQ(f->FilePanel->Top() + f->FilePanel->Height(), f->ButtonPanel->Top());

    // "G. Disk Size" flips its own column and check mark only, both ways.
    std::vector<bool> expected = volumeDefaults;
    for (bool shown : {false, true}) {
        f->SummaryItems[6]->Click();
        expected[6] = shown;
        EXPECT_EQ(Visible(*f->SummaryGrid), expected);
        EXPECT_EQ(Checked(f->SummaryItems), expected);
        EXPECT_EQ(Visible(*f->FileGrid), fileDefaults);
    }

    // The panel rule: totals row, or the expanded comment with its totals block.
    struct TPanels {
        bool Expand, Totals, TotalRow, CommentPanel, TotalBlock;
    };
    for (const TPanels& c :
         {TPanels{false, false, false, false, true}, TPanels{true, false, false, true, false},
          TPanels{true, true, false, true, true}, TPanels{false, true, true, false, true}}) {
        if (f->ExpandComment1->Checked != c.Expand) f->ExpandComment1->Click();
        if (f->ShowTotals1->Checked != c.Totals) f->ShowTotals1->Click();
        EXPECT_EQ(f->TotalPanel->Visible(), c.TotalRow) << c.Expand << c.Totals;
        EXPECT_EQ(f->TCPanel->Visible(), c.CommentPanel) << c.Expand << c.Totals;
        if (c.CommentPanel) {
            EXPECT_EQ(f->TCTotPanel->Visible(), c.TotalBlock);
        }
    }
    f->ExpandComment2->Click();
    EXPECT_TRUE(f->TCPanel2->Visible());
    EXPECT_TRUE(Driver.Grab(*f, std::string(KORVANE_BUILD_DIR) + "/VolSummaryScreenFormExpanded.png"));
}

TEST_F(VolSummaryWindowTest, AFontChangeMeasuresOnlyItsGridAndKeepsTheTotals) {
    MakeVolSummaryCatalog();
    TVolSummaryFileContentsScreenForm* f = Window();
    EXPECT_EQ(f->TotDisks1->Caption(), "3");
    EXPECT_EQ(f->TotFiles2->Caption(), "4");
    EXPECT_EQ(f->TotSize1->Caption(), "6,001,050,000");
    const std::vector<int> volumeWidths = Widths(*f->SummaryGrid);
    const std::vector<int> fileWidths = Widths(*f->FileGrid);
    const std::string slack = f->TotSlack1->Caption();
    TFont big = f->FileGrid->Font();
    big.SetSize(16);
    f->SetFileFont(big);
    EXPECT_EQ(Widths(*f->SummaryGrid), volumeWidths);
    EXPECT_GT(Widths(*f->FileGrid)[0], fileWidths[0]);
    EXPECT_EQ(f->DBMemo2->Font().Size(), 16);
    f->SetSummaryFont(big);
    EXPECT_GT(Widths(*f->SummaryGrid)[0], volumeWidths[0]);
    EXPECT_EQ(f->TotDisks1->Caption(), "3");
    EXPECT_EQ(f->TotSlack1->Caption(), slack);
    EXPECT_EQ(f->DiskCount, 3);
}

TEST_F(VolSummaryWindowTest, TheWindowCountsAsAnOpenReportWhileShown) {
    MakeVolSummaryCatalog();
    TVolSummaryFileContentsScreenForm* a = Window();
    EXPECT_EQ(catalog::OpenReportCount, 1);
    TVolSummaryFileContentsScreenForm* b = Window();
    EXPECT_EQ(catalog::OpenReportCount, 2);
    b->Close();
    Driver.RunPending();
    EXPECT_EQ(catalog::OpenReportCount, 1);
    a->Close();
    Driver.RunPending();
    EXPECT_EQ(catalog::OpenReportCount, 0);
    EXPECT_EQ(std::count(Windows.begin(), Windows.end(), nullptr), 2);

    // Without a current catalog the window is not made.
    catalog::CurrentCatalogName.clear();
    EXPECT_EQ(ShowVolSummaryFileContents(), nullptr);
    EXPECT_EQ(catalog::OpenReportCount, 0);
}

TEST_F(VolSummaryWindowTest, ACatalogWithoutVolumesShowsEmptyGridsAndZeroTotals) {
    testsupport::CreateRunCatalog("NONE");
    TVolSummaryFileContentsScreenForm* f = Window();
    EXPECT_TRUE(f->SummaryTable->IsEmpty());
    EXPECT_TRUE(f->FileTable->IsEmpty());
    for (TLabel* l : {f->TotDisks1, f->TotFiles1, f->TotSize1, f->TotUsed1, f->TotFree2})
        EXPECT_EQ(l->Caption(), "0");
    EXPECT_EQ(f->TotSlack1->Caption(), "0.00");
    EXPECT_EQ(f->TotSlack2->Caption(), "0.00");
    Driver.Shown.clear();
    f->OpenBtnClick();
    EXPECT_TRUE(Driver.Shown.empty());
}

TEST_F(VolSummaryWindowTest, OpeningAnEntry) {
    MakeVolSummaryCatalog();
    // A desktop whose opener writes the file it gets to out.txt.
    const std::string root = Env.Root();
    WriteTextFile(root + "/share/mime/globs2", "50:text/plain:*.txt\n");
    WriteTextFile(root + "/share/applications/viewer.desktop",
                  "[Desktop Entry]\nType=Application\nName=Viewer\nExec=viewer %f\nMimeType=text/plain;\n");
    WriteTextFile(root + "/bin/xdg-open",
                  "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$FAKE_OUT.$$\"\nmv \"$FAKE_OUT.$$\" \"$FAKE_OUT\"\n",
                  true);
    Env.Set("PATH", root + "/bin:/usr/bin:/bin");
    Env.Set("FAKE_OUT", root + "/out.txt");
    Env.Set("KORVANE_DRIVES", "D=" + Root.Path());
    platform::ReloadDriveMap();
    WriteTextFile(Root.Path() + "/README.TXT", "x");
    TVolSummaryFileContentsScreenForm* f = Window();

    // Inside an archive: refused.
    GoToVolume(*f, "LETTERS");
    ASSERT_TRUE(f->FileTable->Locate("FileName", Variant("Y.TXT"), {}));
    Driver.Shown.clear();
    f->OpenBtnClick();
    ASSERT_EQ(Driver.Shown.size(), 1u);
    EXPECT_EQ(Driver.Shown[0].Text,
              "Korvane Does Not Presently Have The Ability To Open A File Inside Of An Archive File");

    // An entry of the root folder opens "D:\README.TXT" (the volume's drive).
    GoToVolume(*f, "BACKUP01");
    ASSERT_TRUE(f->FileTable->Locate("FileName", Variant("README.TXT"), {}));
    EXPECT_EQ(f->FileTable->FieldByName("FolderName")->AsString(), "\\");
    f->OpenBtnClick();
    for (int i = 0; i < 500 && !std::filesystem::exists(root + "/out.txt"); ++i) CheckSynchronize(10);
    ASSERT_TRUE(std::filesystem::exists(root + "/out.txt"));
    EXPECT_EQ(ReadTextFile(root + "/out.txt"), Root.Path() + "/README.TXT\n");

    // A file not where the catalog says: the retry dialog names the path and the volume.
    ASSERT_TRUE(f->FileTable->Locate("FileName", Variant("A.DAT"), {}));
    std::string asked;
    Driver.AnswerWith([&asked](TCustomForm& Form) {
        auto& dialog = dynamic_cast<cataloging::TFileNotFoundForm&>(Form);
        asked = std::string(1, dialog.DriveSelect->Drive()) + "|" + dialog.FName->Caption() + "|" +
                dialog.VLabel->Caption();
        Form.SetModalResult(mrCancel);
    });
    f->OpenBtnClick();
    EXPECT_EQ(asked, "D|\\DATA\\A.DAT|BACKUP01");
}

}  // namespace
}  // namespace reports

namespace reports {
namespace {

using namespace framework;

class VolSummaryWindowMoreTest : public testsupport::VolSummaryTest {};

TEST_F(VolSummaryWindowMoreTest, ADoubleClickOpensOnlyOnADataRow) {
    MakeVolSummaryCatalog();
    TVolSummaryFileContentsScreenForm* f = Window();
    GoToVolume(*f, "LETTERS");
    ASSERT_TRUE(f->FileTable->Locate("FileName", Variant("Y.TXT"), {}));
    Driver.Shown.clear();
    const TRect title = f->FileGrid->CellRect(0, 0);
    Driver.MouseMove(*f->FileGrid, title.Left + 3, title.Top + 3);
    Driver.DoubleClick(*f->FileGrid, title.Left + 3, title.Top + 3);
    EXPECT_TRUE(Driver.Shown.empty());
    // Y.TXT lies inside an archive: the data row reaches OpenFile, which refuses it.
    const TRect row = f->FileGrid->CellRect(0, 2);
    Driver.MouseMove(*f->FileGrid, row.Left + 3, row.Top + 3);
    Driver.DoubleClick(*f->FileGrid, row.Left + 3, row.Top + 3);
    ASSERT_EQ(Driver.Shown.size(), 1u);
    EXPECT_EQ(Driver.Shown[0].Text,
              "Korvane Does Not Presently Have The Ability To Open A File Inside Of An Archive File");
}

TEST_F(VolSummaryWindowMoreTest, FullViewsFollowTheirGridAndOpenOnce) {
    MakeVolSummaryCatalog();
    TVolSummaryFileContentsScreenForm* f = Window();
    f->ViewFullSummaryRecord1->Click();
    f->ViewFullFileRecord1->Click();
    ASSERT_TRUE(f->SummaryView && f->FileView);
    EXPECT_EQ(f->SummaryView->Caption(), "View Full Record(Volume Summary / File Contents)");
    EXPECT_NE(f->FileView->Caption().find("(Volume Summary / File Contents)"), std::string::npos);
    TSummaryReportViewRecordForm* view = f->SummaryView;
    f->ViewFullSummaryRecord1->Click();
    EXPECT_EQ(f->SummaryView, view) << "brought to the front, not opened again";
    auto shown = [](TFileReportViewRecordForm& V, const char* Name) {
        auto* box = dynamic_cast<TDBEdit*>(V.FindComponent(Name));
        return box ? box->Text() : std::string("<none>");
    };
    GoToVolume(*f, "LETTERS");
    Driver.RunPending();
    EXPECT_EQ(shown(*f->FileView, "FileName"), "X.TXT");
    // A closed view clears its flag; the next command opens a new one.
    f->SummaryView->Close();
    Driver.RunPending();
    EXPECT_FALSE(f->SummaryViewOpen);
    EXPECT_EQ(f->SummaryView, nullptr);
    f->ViewFullSummaryRecord1->Click();
    EXPECT_NE(f->SummaryView, nullptr);
    f->Close();
    Driver.RunPending();
}

TEST_F(VolSummaryWindowMoreTest, ResizingKeepsThePanelsCentred) {
    MakeVolSummaryCatalog();
    TVolSummaryFileContentsScreenForm* f = Window();
    struct TCase {
        int Width, CommentPad, TotalPad;
        bool Bevels;
    };
    for (const TCase& c : {TCase{800, 67, 101, true}, TCase{604, 2, 3, true}, TCase{600, 1, 1, false}}) {
        f->SetWidth(c.Width);
        f->FormResize();
        for (TPanel* pad : {f->TCPanelPadLeft, f->TCPanelPadRight, f->TCPanelPadLeft2, f->TCPanelPadRight2})
            EXPECT_EQ(pad->Width(), c.CommentPad) << c.Width << " " << pad->Name();
        EXPECT_EQ(f->TotalPadLeft1Panel->Width(), c.TotalPad) << c.Width;
        EXPECT_EQ(f->Bevel0->Visible(), c.Bevels) << c.Width;
        EXPECT_EQ(f->Bevel6->Visible(), c.Bevels) << c.Width;
    }
}

TEST_F(VolSummaryWindowMoreTest, ColumnChoicesAndPanelsAreKeptBetweenRuns) {
    MakeVolSummaryCatalog();
    TVolSummaryFileContentsScreenForm* f = Window();
    f->SummaryItems[1]->Click();  // Actual Volume Label on
    f->FileItems[0]->Click();     // File Name off
    f->ExpandComment1->Click();
    f->Close();
    Driver.RunPending();
    f = Window();
    EXPECT_TRUE(f->SummaryItems[1]->Checked);
    EXPECT_TRUE(f->SummaryGrid->Columns()[1]->Visible());
    EXPECT_FALSE(f->FileItems[0]->Checked);
    EXPECT_FALSE(f->FileGrid->Columns()[0]->Visible());
    EXPECT_TRUE(f->TCPanel->Visible());
}

}  // namespace
}  // namespace reports
