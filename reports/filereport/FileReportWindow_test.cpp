// The file report window: caption and totals, the panel rule and the padding on resize, Show
// Archived, a new font, the full view, opening a listed file, and the state kept between uses.

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "catalog/ProgressForm.h"
#include "cataloging/dialogs/FileNotFoundForm.h"
#include "controls/entry/CtlState.h"
#include "framework/core/Thread.h"
#include "framework/dbctrls/DBCtrls.h"
#include "framework/dbctrls/DBGrids.h"
#include "framework/stdctrls/Buttons.h"
#include "framework/stdctrls/CheckBox.h"
#include "framework/stdctrls/Dialogs.h"
#include "framework/stdctrls/ExtCtrls.h"
#include "framework/stdctrls/FileCtrl.h"
#include "framework/stdctrls/Label.h"
#include "platform/Beep.h"
#include "platform/Paths.h"
#include "platform/Registry.h"
#include "platform/testsupport/UserEnv.h"
#include "reports/filereport/FileReportScreenForm.h"
#include "reports/testsupport/FileReportFixture.h"

namespace reports {
namespace {

using namespace framework;
using platform::testsupport::ReadTextFile;
using platform::testsupport::WriteTextFile;

// A private desktop whose opener ("xdg-open" on PATH) writes the file it gets to out.txt; text
// files have an associated program, ISO images none.
class FileReportWindowTest : public testsupport::FileReportTest {
protected:
    void SetUp() override {
        FileReportTest::SetUp();
        const std::string root = Env.Root();
        WriteTextFile(root + "/share/mime/globs2",
                      "50:text/plain:*.txt\n50:application/x-iso9660-image:*.iso\n");
        WriteTextFile(
            root + "/share/applications/viewer.desktop",
            "[Desktop Entry]\nType=Application\nName=Viewer\nExec=viewer %f\nMimeType=text/plain;\n");
        WriteTextFile(
            root + "/bin/xdg-open",
            "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$FAKE_OUT.$$\"\nmv \"$FAKE_OUT.$$\" \"$FAKE_OUT\"\n", true);
        Env.Set("PATH", root + "/bin:/usr/bin:/bin");
        Env.Set("FAKE_OUT", root + "/out.txt");
        // Drive A holds no disk with the files.
        std::filesystem::create_directories(root + "/floppy");
        Env.Set("KORVANE_DRIVES", "D=" + Root.Path() + ";A=" + root + "/floppy|type=removable");
        platform::ReloadDriveMap();
    }

    // A report of CAT1 with every column, built and shown.
    TFileReportScreenForm* Shown(const std::function<void(TFileReportScreenForm&)>& Fill = {}) {
        TFileReportScreenForm* f = NewReport();
        f->SortSpec[0] = {1, 1};
        if (Fill) Fill(*f);
        EXPECT_TRUE(f->CreateReport());
        f->Show();
        Driver.RunPending();
        return f;
    }
    static void GoTo(TFileReportScreenForm& F, const std::string& Name) {
        for (F.Query->First(); !F.Query->Eof(); F.Query->Next())
            if (F.Query->FieldByName("FileName")->AsString() == Name) return;
        ADD_FAILURE() << Name << " not in the report";
    }
    std::string Opened() {
        for (int i = 0; i < 500 && !std::filesystem::exists(Env.Root() + "/out.txt"); ++i) {
            CheckSynchronize(10);
        }
        return std::filesystem::exists(Env.Root() + "/out.txt") ? ReadTextFile(Env.Root() + "/out.txt") : "";
    }
};

TEST_F(FileReportWindowTest, TheWindowShowsItsTitleAndTheTotalsInBothPanels) {
    TFileReportScreenForm* f = Shown([](auto& f) { f.ReportTitle = "All Files By Name"; });
    EXPECT_EQ(f->Caption(), "All Files By Name");
    const std::vector<std::pair<TLabel*, std::string>> totals = {
        {f->FilesOnDiskLabel1, "5"},
        {f->FilesOnDiskLabel2, "5"},
        {f->BytesOnDiskLabel1, "9,294,967,426"},
        {f->BytesOnDiskLabel2, "9,294,967,426"},
        {f->FilesInArchivesLabel1, "1"},
        {f->FilesInArcsLabel2, "1"},
        {f->BytesInArchivesLabel1, "50"},
        {f->BytesInArcsLabel2, "50"},
    };
    for (auto& [label, text] : totals) EXPECT_EQ(label->Caption(), text) << label->Name();
    // The grid: one column per shown item, in the order of the positions, widths from the texts.
    ASSERT_EQ(f->FileReportGrid->Columns().Count(), 11);
    EXPECT_EQ(f->FileReportGrid->Columns()[1]->Title().Caption(), "Volume ID");
    EXPECT_EQ(f->FileReportGrid->Columns()[4]->Alignment(), taRightJustify);
    EXPECT_EQ(f->FileReportGrid->Columns()[4]->Title().Alignment(), taCenter);
    EXPECT_EQ(f->FileReportGrid->Columns()[0]->Width(), f->ColumnPixelWidth[0] + 4);
    EXPECT_EQ(f->FileReportGrid->DisplayedText(4, 1), "5,000,000,000") << "BIG.ISO, the first row";
    EXPECT_EQ(f->ColumnCharWidth[0], int(std::string("README.TXT <DOCS/>").size()));
    EXPECT_EQ(f->ColumnCharWidth[10], int(std::string("disk   backup image").size()));
    EXPECT_TRUE(Driver.Grab(*f, std::string(KORVANE_BUILD_DIR) + "/FileReportScreenForm.png"));
    GoTo(*f, "README.TXT");
    f->ExpandComment->SetChecked(true);
    Driver.RunPending();
    EXPECT_EQ(f->DBMemo1->Lines().Text(), "Read me first\r\nSecond line");
    EXPECT_EQ(f->CategoryText->Caption(), "Documents");
    EXPECT_TRUE(Driver.Grab(*f, std::string(KORVANE_BUILD_DIR) + "/FileReportScreenFormExpanded.png"));
}

// The progress window shown now: its caption, and " (cancel)" when it has the button.
std::string ProgressShown() {
    for (int i = 0; i < Screen->FormCount(); ++i)
        if (auto* p = dynamic_cast<catalog::TProgressForm*>(Screen->Forms(i)); p && p->Visible())
            return p->Caption() + (p->CancelBtn->Visible() ? " (cancel)" : "");
    return "";
}

TEST_F(FileReportWindowTest, EachStageShowsItsOwnProgressWindow) {
    std::set<std::string> seen;
    TFileReportScreenForm* f = NewReport();
    f->SortSpec[0] = {1, 1};
    f->ResultTable->AfterPost = [&](TDataSet*) { seen.insert(ProgressShown()); };
    auto progress = f->Query->OnQueryProgress;
    f->Query->OnQueryProgress = [&](TObject* S, uint16_t P, bool& Abort) {
        seen.insert(ProgressShown());
        progress(S, P, Abort);
    };
    ASSERT_TRUE(f->CreateReport());
    EXPECT_EQ(seen, (std::set<std::string>{"Finding Files That Match The Selected Criteria (cancel)",
                                           "Setting Up The Report (cancel)"}));
    EXPECT_EQ(ProgressShown(), "") << "released once the report is built";
    f->Show();
    seen.clear();
    f->Query->BeforeOpen = [&](TDataSet*) { seen.insert(ProgressShown()); };
    f->ShowArchived->SetChecked(false);
    EXPECT_EQ(seen, std::set<std::string>{"Updating Report"});
    seen.clear();
    f->Query->BeforeOpen = nullptr;
    f->Query->AfterScroll = [&](TDataSet*) { seen.insert(ProgressShown()); };
    TFont font = f->FileReportGrid->Font();
    font.SetSize(10);
    f->ApplyFont(font);
    EXPECT_EQ(seen, std::set<std::string>{"Recalibrating Column Widths"});
    EXPECT_EQ(ProgressShown(), "");
}

TEST_F(FileReportWindowTest, ThePanelsFollowShowTotalsAndExpandComment) {
    TFileReportScreenForm* f = Shown();
    struct TCase {
        bool Totals, Expand;
        bool TotalPanel, TCPanel, TCTotals;
    };
    const TCase cases[] = {
        {true, false, true, false, false},
        {false, false, false, false, false},
        {true, true, false, true, true},
        {false, true, false, true, false},
    };
    for (const TCase& c : cases) {
        f->ShowTotals->SetChecked(c.Totals);
        f->ExpandComment->SetChecked(c.Expand);
        EXPECT_EQ(f->TotalPanel->Visible(), c.TotalPanel) << c.Totals << c.Expand;
        EXPECT_EQ(f->TCPanel->Visible(), c.TCPanel) << c.Totals << c.Expand;
        if (!c.Expand) continue;
        EXPECT_EQ(f->BytesInArcsLabel2->Visible(), c.TCTotals);
        EXPECT_EQ(f->TotalHeadings2[0]->Visible(), c.TCTotals);
        EXPECT_TRUE(f->CategoryHeading->Visible());
        EXPECT_TRUE(f->CategoryText->Visible());
    }
    // The padding that centres the rows.
    for (auto [width, pad, padComment, bevels] :
         {std::tuple{600, 1, 1, false}, std::tuple{602, 2, 1, false}, std::tuple{604, 3, 2, true},
          std::tuple{900, 151, 101, true}}) {
        f->SetWidth(width);
        Driver.RunPending();
        ASSERT_EQ(f->Width(), width);
        EXPECT_EQ(f->TotalPadLeft1Panel->Width(), pad) << width;
        EXPECT_EQ(f->TCPanelPadLeft->Width(), padComment) << width;
        EXPECT_EQ(f->TCPanelPadRight->Width(), padComment) << width;
        EXPECT_EQ(f->Bevel0->Visible(), bevels) << width;
        EXPECT_EQ(f->Bevel6->Visible(), bevels) << width;
    }
}

TEST_F(FileReportWindowTest, ShowArchivedRebuildsTheQueryOnlyWhenTheReportHasArchiveEntries) {
    // No entry inside an archive: nothing happens, not even to the query.
    TFileReportScreenForm* f = Shown([](auto& f) {
        f.Op[3] = rcMatches;
        f.ArchiveIDSpec = "";
    });
    EXPECT_FALSE(f->AnyInArchives);
    int opens = 0;
    f->Query->AfterOpen = [&opens](TDataSet*) { ++opens; };
    const std::string sql = f->Query->SQL().Text();
    f->ShowArchived->SetChecked(false);
    EXPECT_EQ(opens, 0);
    EXPECT_EQ(f->Query->SQL().Text(), sql);
    EXPECT_TRUE(f->Query->Active());

    // With one: the rows inside archives go and come back; the totals stay.
    TFileReportScreenForm* g = Shown();
    std::vector<std::string> windows;
    ASSERT_EQ(Rows(*g).size(), 6u);
    g->ShowArchived->SetChecked(false);
    EXPECT_EQ(g->Query->SQL()[1], "And (FromArc = \"N\")");
    EXPECT_EQ(Rows(*g).size(), 5u);
    EXPECT_EQ(g->FilesInArchivesLabel1->Caption(), "1");
    g->ShowArchived->SetChecked(true);
    EXPECT_EQ(Rows(*g).size(), 6u);
    EXPECT_EQ(g->Query->SQL()[1], "Order By FileName ASC NOCASE");
}

TEST_F(FileReportWindowTest, ANewFontMeasuresThePixelWidthsAgainAndLeavesTheCharacterWidths) {
    TFileReportScreenForm* f = Shown();
    const auto pixels = f->ColumnPixelWidth;
    const auto chars = f->ColumnCharWidth;
    Driver.AnswerDialog([](TCommonDialog& d) {
        auto& font = dynamic_cast<TFontDialog&>(d).Font();
        font.Name = "Arial";
        font.SetSize(14);
        return true;
    });
    GoTo(*f, "ROOT.TXT");
    f->FontBtnClick();
    EXPECT_EQ(f->FileReportGrid->Font().Size(), 14);
    EXPECT_EQ(f->FileReportGrid->TitleFont().Size(), 14);
    EXPECT_EQ(f->DBMemo1->Font().Size(), 14);
    for (int i = 0; i < kColumnItems; ++i) EXPECT_GT(f->ColumnPixelWidth[size_t(i)], pixels[size_t(i)]) << i;
    EXPECT_EQ(f->ColumnCharWidth, chars);
    for (int i = 0; i < f->FileReportGrid->Columns().Count(); ++i)
        EXPECT_EQ(f->FileReportGrid->Columns()[i]->Width(), f->ColumnPixelWidth[size_t(i)] + 4) << i;
    EXPECT_EQ(f->Query->FieldByName("FileName")->AsString(), "ROOT.TXT") << "back on the row it was on";
    // A dialog the user cancels changes nothing.
    Driver.AnswerDialog([](TCommonDialog&) { return false; });
    const auto now = f->ColumnPixelWidth;
    f->FontBtnClick();
    EXPECT_EQ(f->ColumnPixelWidth, now);
}

TEST_F(FileReportWindowTest, TheFullViewExistsOnceAndFollowsTheReport) {
    TFileReportScreenForm* f = Shown([](auto& f) { f.ReportTitle = "Names"; });
    GoTo(*f, "README.TXT");
    f->ViewBtnClick();
    TFileReportViewRecordForm* view = f->ViewForm;
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->Caption(), "View Full Record(Names)");
    EXPECT_TRUE(view->Visible());
    auto box = [view](const char* Name) { return dynamic_cast<TControl*>(view->FindComponent(Name)); };
    EXPECT_EQ(dynamic_cast<TDBEdit*>(box("FolderName"))->Text(), "\\DOCS");
    EXPECT_EQ(dynamic_cast<TDBEdit*>(box("AttributeStr"))->Text(), "32") << "the number, not the letters";
    EXPECT_EQ(dynamic_cast<TDBEdit*>(box("CategoryDescription"))->Text(), "Documents");
    EXPECT_TRUE(Driver.Grab(*view, std::string(KORVANE_BUILD_DIR) + "/FileReportViewRecordForm.png"));
    f->ViewBtnClick();
    EXPECT_EQ(f->ViewForm, view) << "a second press only brings it to front";
    // Its navigator moves the report's row.
    view->Navigator->BtnClick(nbNext);
    EXPECT_EQ(f->Query->FieldByName("FileName")->AsString(), "README.TXT <DOCS/>");
    view->Close();
    Driver.RunPending();
    EXPECT_EQ(f->ViewForm, nullptr);
    EXPECT_FALSE(f->ViewOpen);
    f->ViewBtnClick();
    ASSERT_NE(f->ViewForm, nullptr);
    CloseReport(f);
    int views = 0;
    for (int i = 0; i < Screen->FormCount(); ++i)
        views += dynamic_cast<TFileReportViewRecordForm*>(Screen->Forms(i)) != nullptr;
    EXPECT_EQ(views, 0) << "the view goes with its report";
}

TEST_F(FileReportWindowTest, OpeningAListedFile) {
    std::filesystem::create_directories(Root.Path() + "/DOCS");
    WriteTextFile(Root.Path() + "/DOCS/README.TXT", "x");
    WriteTextFile(Root.Path() + "/ROOT.TXT", "x");
    WriteTextFile(Root.Path() + "/BIG.ISO", "x");
    TFileReportScreenForm* f = Shown();
    // The not-found dialog: what it shows ("drive|path|volume"), then Retry on a drive or Cancel.
    std::vector<std::string> asked;
    auto answer = [&](char Drive) {
        Driver.AnswerWith([&asked, Drive](TCustomForm& Form) {
            auto& dialog = dynamic_cast<cataloging::TFileNotFoundForm&>(Form);
            asked.push_back(std::string(1, dialog.DriveSelect->Drive()) + "|" + dialog.FName->Caption() +
                            "|" + dialog.VLabel->Caption());
            if (Drive) dialog.DriveSelect->SetDrive(Drive);
            Form.SetModalResult(Drive ? mrRetry : mrCancel);
        });
    };
    auto messages = [this] { return Texts(); };

    // Inside an archive: refused.
    GoTo(*f, "README.TXT <DOCS/>");
    platform::ClearBeepHistory();
    f->OpenFile();
    EXPECT_EQ(messages(),
              std::vector<std::string>{
                  "Korvane Does Not Presently Have The Ability To Open A File Inside Of An Archive File"});
    EXPECT_TRUE(asked.empty());

    // A volume without a record: drive A first, "<Unknown>" in the dialog; Retry on d finds it, and
    // the system cannot start an ISO image.
    GoTo(*f, "BIG.ISO");
    answer('d');
    f->OpenFile();
    CheckSynchronize(50);
    Driver.RunPending();
    EXPECT_EQ(asked, std::vector<std::string>{"A|\\BIG.ISO|<Unknown>"});
    EXPECT_EQ(messages().back(), "An Error Occurred While Attempting To Open The Selected File");

    // A volume made by a text import is looked for on A too.
    asked.clear();
    GoTo(*f, "NOTES.DOC");
    answer(0);
    f->OpenFile();
    EXPECT_EQ(asked, std::vector<std::string>{"A|\\NOTES.DOC|TXTVOL"});

    // A file in the root folder of its volume's drive goes to the launcher, the path without a
    // doubled separator.
    asked.clear();
    GoTo(*f, "ROOT.TXT");
    f->OpenFile();
    EXPECT_TRUE(asked.empty());
    EXPECT_EQ(Opened(), Root.Path() + "/ROOT.TXT\n");
    std::filesystem::remove(Env.Root() + "/out.txt");

    // A file not at its place: the dialog until the user gives up.
    std::filesystem::remove(Root.Path() + "/DOCS/README.TXT");
    GoTo(*f, "README.TXT");
    answer('D');
    answer(0);
    f->OpenFile();
    EXPECT_EQ(asked, (std::vector<std::string>{"D|\\DOCS\\README.TXT|DISK1", "D|\\DOCS\\README.TXT|DISK1"}));
}

TEST_F(FileReportWindowTest, OpenAndDoubleClickNeedADataRow) {
    WriteTextFile(Root.Path() + "/ROOT.TXT", "x");
    TFileReportScreenForm* f = Shown([](auto& f) {
        f.Op[0] = rcMatches;
        f.FileNameSpec = "ROOT.TXT";
    });
    // The title row.
    const TRect title = f->FileReportGrid->CellRect(0, 0);
    Driver.MouseMove(*f->FileReportGrid, title.Left + 3, title.Top + 3);
    Driver.DoubleClick(*f->FileReportGrid, title.Left + 3, title.Top + 3);
    EXPECT_EQ(Opened(), "");
    // The data row.
    const TRect row = f->FileReportGrid->CellRect(0, 1);
    Driver.MouseMove(*f->FileReportGrid, row.Left + 3, row.Top + 3);
    Driver.DoubleClick(*f->FileReportGrid, row.Left + 3, row.Top + 3);
    EXPECT_EQ(Opened(), Root.Path() + "/ROOT.TXT\n");
    std::filesystem::remove(Env.Root() + "/out.txt");

    // A report without rows: Open and the full view do nothing harmful.
    TFileReportScreenForm* empty = Shown([](auto& f) {
        f.Op[0] = rcMatches;
        f.FileNameSpec = "NOTHING";
    });
    EXPECT_EQ(empty->FilesOnDiskLabel1->Caption(), "0");
    EXPECT_EQ(empty->BytesInArchivesLabel1->Caption(), "0");
    empty->OpenBtnClick();
    empty->ViewBtnClick();
    ASSERT_NE(empty->ViewForm, nullptr);
    EXPECT_EQ(dynamic_cast<TDBEdit*>(empty->ViewForm->FindComponent("FileName"))->Text(), "");
    EXPECT_EQ(Opened(), "");
}

TEST_F(FileReportWindowTest, PlacementAndChoicesAreKeptForTheNextReportWindow) {
    TFileReportScreenForm* f = Shown();
    const std::string key = f->Store->KeyName();
    f->ShowTotals->SetChecked(false);
    f->ExpandComment->SetChecked(true);
    f->ShowArchived->SetChecked(false);
    TFont font = f->FileReportGrid->Font();
    font.SetSize(11);
    f->ApplyFont(font);
    f->SetBounds(20, 30, 700, 500);
    CloseReport(f);
    platform::TRegIniFile ini(key);
    EXPECT_EQ(ini.ReadString("TSummaryReportScreenForm", "ShowTotals.Checked", "?"), "False");
    EXPECT_EQ(ini.ReadString("TSummaryReportScreenForm", "ExpandComment.Checked", "?"), "True");
    EXPECT_EQ(ini.ReadString("TFileReportScreenForm", "NormalPos", "?"), "20,30,720,530");
    EXPECT_EQ(ini.ReadString("TFileReportScreenForm", "ShowTotals.Checked", "?"), "?");
    TFileReportScreenForm* g = Shown();
    EXPECT_FALSE(g->ShowTotals->Checked());
    EXPECT_TRUE(g->ExpandComment->Checked());
    EXPECT_FALSE(g->ShowArchived->Checked());
    EXPECT_EQ(g->FileReportGrid->Font().Size(), 11);
    EXPECT_EQ(g->Width(), 700);
    EXPECT_EQ(g->Query->SQL()[1], "And (FromArc = \"N\")") << "the stored choice applies to the build";
}

}  // namespace
}  // namespace reports
