// Selective cataloguing over the fixture disk: New is filled by the run's own walk (in memory, every
// entry untagged as with automatic tagging off), then the window's commands tag and untag entries,
// by spec and by presence in the catalog; finally the whole step inside a run.

#include "cataloging/selective/SelectiveCatalogForm.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "cataloging/dialogs/testsupport/CatalogDiskFixture.h"
#include "cataloging/run/CatalogProgressForm.h"
#include "controls/grid/CtlDbTable.h"
#include "controls/grid/CtlTableCells.h"
#include "dbsql/components/DbTable.h"
#include "framework/stdctrls/Buttons.h"
#include "framework/stdctrls/Dialogs.h"
#include "framework/stdctrls/Edit.h"
#include "framework/stdctrls/ExtCtrls.h"
#include "framework/stdctrls/RadioButton.h"

namespace cataloging {
namespace {

using namespace framework;
using V = std::vector<std::string>;

// "folder|name" of every entry of the fixture disk, sorted.
const V kAll = {"\\DOCS|MANUAL.DOC",   "\\GAMES\\DLLS|X.DLL", "\\GAMES|CHESS.EXE",
                "\\SYSTEM|KERNEL.DLL", "\\SYSTEM|SETUP.EXE",  "\\|MAKEFILE",
                "\\|NOTES.TXT",        "\\|README",           "\\|SETUP.EXE"};

struct SelectiveTest : testsupport::TCatalogDiskFixture {
    TCatalogProgressForm* Walk = nullptr;
    TSelectiveCatalogForm* Form = nullptr;
    // While a pass shows its progress: the window's state and the cursor.
    std::vector<std::string> DuringPass;

    void SetUp() override {
        TCatalogDiskFixture::SetUp();
        Progress->OnShow = [this](TObject*) {
            ProgressCaptions.push_back(Progress->Caption() +
                                       (Progress->CancelBtn->Visible() ? " (cancel)" : ""));
            DuringPass.push_back(std::string(Form && Form->Enabled() ? "enabled" : "disabled") +
                                 (Screen->Cursor() == crHourGlass ? " hourglass" : " arrow"));
        };
    }
    void TearDown() override {
        if (Form) Form->Free();
        if (Walk) {
            Walk->DropNewDataTable();
            Walk->Free();
        }
        TCatalogDiskFixture::TearDown();
    }
    // New in memory with the disk's entries, untagged.
    void FillNew(bool Empty = false) {
        Walk = TCustomForm::Create<TCatalogProgressForm>(Application);
        Walk->Spec.KeepInMemory = true;
        Walk->Spec.DriveLetter = Empty ? 'E' : 'D';
        Walk->Spec.StartFolder = Walk->Spec.DriveLetter + std::string(":\\");
        Walk->Spec.Recurse = true;
        Walk->Spec.FoldersScanned = 1;
        Walk->Spec.SelectiveCataloging = true;
        Walk->Spec.SelectiveCatAutotag = false;
        ASSERT_TRUE(Walk->CreateNewDataTable());
        Walk->ScanFolder(Walk->Spec.StartFolder, "*.*");
        // As the run hands New over to the window.
        Walk->ShareNewDataTable();
    }
    TSelectiveCatalogForm& Open(bool Empty = false) {
        FillNew(Empty);
        Form = TCustomForm::Create<TSelectiveCatalogForm>(Application);
        Form->NewDataTable->SetDatabaseName("Memory");
        Form->NewDataTable->SetTableName("New");
        Form->CatalogTable->SetDatabaseName("P:\\");
        Form->CatalogTable->SetTableName("CAT1_CAT");
        Form->SetCatalogLabel("BACKUP01");
        Form->NewDataTable->Open();
        Form->Show();
        Driver.RunPending();
        return *Form;
    }
    // The tagged entries as a fresh cursor on New reads them ("folder|name", sorted).
    static V Tagged(bool Value = true) {
        dbsql::TDbTable t;
        t.SetDatabaseName("Memory");
        t.SetTableName("New");
        t.Open();
        V out;
        for (t.First(); !t.Eof(); t.Next())
            if (t.FieldByName("Tagged")->AsBoolean() == Value)
                out.push_back(t.FieldByName("FolderName")->AsString() + "|" +
                              t.FieldByName("FileName")->AsString());
        std::sort(out.begin(), out.end());
        return out;
    }
    // Answers the next criteria dialog: a spec to type, or (null) the catalog option.
    void Criteria(const char* Spec, std::vector<std::string>* Captions = nullptr) {
        Driver.AnswerWith([this, Spec, Captions](TCustomForm& F) {
            auto* dp = dynamic_cast<TSelectiveCatalogTagCriteriaForm*>(&F);
            ASSERT_NE(dp, nullptr) << "shown instead: " << F.Caption();
            auto& d = *dp;
            if (Captions) *Captions = {d.Caption(), d.FileSpecBtn->Caption(), d.InCatalogBtn->Caption()};
            if (Spec) {
                d.Filespec->SetText(Spec);
            } else {
                Driver.Click(*d.InCatalogBtn);
            }
            Driver.Click(*d.ProceedBtn);
        });
    }
    std::string Current() { return Form->NewDataTable->FieldByName("FileName")->AsString(); }
};

TEST_F(SelectiveTest, TheWindowShowsEveryEntryUntaggedInItsGrid) {
    TSelectiveCatalogForm& f = Open();
    EXPECT_EQ(f.Caption(), "Selective Cataloging");
    EXPECT_EQ(f.HelpContext, 59);
    EXPECT_EQ(f.Constraints().MinWidth, 600);
    EXPECT_EQ(f.Constraints().MinHeight, 200);
    EXPECT_EQ(Tagged(false), kAll);
    grid::TCtlDbTable& g = *f.SelectionTable;
    const struct {
        const char* Field;
        int Width;
        bool Hidden, Editable;
    } columns[] = {{"Tagged", 46, false, true},        {"FileName", 70, false, false},
                   {"FolderName", 70, false, false},   {"ArchiveID", 70, false, false},
                   {"FileSize", 100, false, false},    {"DateModified", 76, false, false},
                   {"TimeModified", 76, false, false}, {"Attribute", 70, true, false},
                   {"Comment", 70, true, false}};
    ASSERT_EQ(g.ColumnCount(), int(std::size(columns)));
    for (int i = 0; i < g.ColumnCount(); ++i) {
        SCOPED_TRACE(columns[i].Field);
        EXPECT_EQ(g.Column(i)->DataField(), columns[i].Field);
        EXPECT_NE(g.Column(i)->Field(), nullptr);
        EXPECT_EQ(g.Column(i)->Width(), columns[i].Width);
        EXPECT_EQ(g.Column(i)->Hidden(), columns[i].Hidden);
        ASSERT_NE(g.Column(i)->DefaultCell(), nullptr);
        EXPECT_EQ(g.Column(i)->DefaultCell()->Access() != grid::otxReadOnly, columns[i].Editable);
    }
    EXPECT_NE(dynamic_cast<grid::TCtlTCCheckBox*>(g.Column(0)->DefaultCell()), nullptr);
    for (auto option : {grid::dtoAlwaysEditing, grid::dtoHighlightActiveRow, grid::dtoAllowColumnSize})
        EXPECT_TRUE(g.HasOption(option)) << int(option);
    auto* head = dynamic_cast<grid::TCtlTCColHead*>(g.HeaderCell());
    ASSERT_NE(head, nullptr);
    EXPECT_EQ(head->HeadingText(1, nullptr), "File Name");
    EXPECT_EQ(head->HeadingText(4, nullptr), "File Size");
    EXPECT_EQ(head->HeadingText(6, nullptr), "File Time");

    f.SetClientSize(800, 400);
    Driver.RunPending();
    ASSERT_EQ(f.ButtonPanel->Width(), 800);
    std::vector<int> lefts;
    for (TBitBtn* b : {f.TagAllBtn, f.ClearTagsBtn, f.TagSeveralBtn, f.UntagSeveralBtn, f.InvertTagsBtn,
                       f.ProceedBtn, f.CancelBtn, f.HelpBtn})
        lefts.push_back(b->Left());
    EXPECT_EQ(lefts, (std::vector<int>{232, 291, 362, 441, 524, 594, 672, 742}));
    EXPECT_TRUE(Driver.Grab(f, Grabbed("SelectiveCataloging")));
    f.SetClientSize(650, 400);
    Driver.RunPending();
    EXPECT_EQ(f.HelpBtn->Left(), 650 - 58);
    EXPECT_EQ(f.TagAllBtn->Left(), 650 - 568);
}

TEST_F(SelectiveTest, TheWindowKeepsItsPlacement) {
    TSelectiveCatalogForm& f = Open();
    EXPECT_EQ(f.Position, poScreenCenter);
    f.SetBounds(30, 20, 720, 420);
    f.Close();
    Driver.RunPending();
    f.Free();
    Form = TCustomForm::Create<TSelectiveCatalogForm>(Application);
    Form->Show();
    Driver.RunPending();
    EXPECT_EQ(Form->BoundsRect(), TRect(30, 20, 750, 440));
}

TEST_F(SelectiveTest, NameColumnsAreWidenedOnlyForNamesWiderThan64Pixels) {
    TSelectiveCatalogForm& f = Open();
    f.WidenColumns(64, 65, 300);
    EXPECT_EQ(f.SelectionTable->Column(1)->Width(), 70);
    EXPECT_EQ(f.SelectionTable->Column(2)->Width(), 71);
    EXPECT_EQ(f.SelectionTable->Column(3)->Width(), 306);
    f.WidenColumns(0, 0, 0);
    EXPECT_EQ(f.SelectionTable->Column(3)->Width(), 306);
}

TEST_F(SelectiveTest, TheAllEntriesCommandsReachNamesWithoutADotAndKeepTheCurrentEntry) {
    TSelectiveCatalogForm& f = Open();
    f.NewDataTable->First();
    f.NewDataTable->MoveBy(3);
    const std::string current = Current();
    f.TagAllBtnClick();
    EXPECT_EQ(Tagged(), kAll);
    EXPECT_EQ(Current(), current);
    f.ClearTagsBtnClick();
    EXPECT_EQ(Tagged(), V{});
    f.TagBySpec("*.EXE", true, "Tagging");
    f.InvertTagsBtnClick();
    EXPECT_EQ(Tagged(), (V{"\\DOCS|MANUAL.DOC", "\\GAMES\\DLLS|X.DLL", "\\SYSTEM|KERNEL.DLL", "\\|MAKEFILE",
                           "\\|NOTES.TXT", "\\|README"}));
    EXPECT_EQ(Current(), current);
    EXPECT_EQ(ProgressCaptions, (V{"Tagging All Files", "UnTagging All Files", "Tagging",
                                   "Inverting Tagged Status Of All Files"}));
    EXPECT_EQ(DuringPass, V(4, "disabled hourglass"));
    EXPECT_TRUE(f.Enabled());
    EXPECT_FALSE(Progress->Visible());
    EXPECT_EQ(Screen->Cursor(), crDefault);
    EXPECT_TRUE(MessageTexts().empty());
}

TEST_F(SelectiveTest, SeveralBySpecMatchNamesOrFolderAndName) {
    TSelectiveCatalogForm& f = Open();
    const struct {
        const char* Spec;
        bool Tag;
        V Tagged;
    } cases[] = {
        {"*.EXE", true, {"\\GAMES|CHESS.EXE", "\\SYSTEM|SETUP.EXE", "\\|SETUP.EXE"}},
        {"\\SYSTEM\\*.DLL",
         true,
         {"\\GAMES|CHESS.EXE", "\\SYSTEM|KERNEL.DLL", "\\SYSTEM|SETUP.EXE", "\\|SETUP.EXE"}},
        {"  \\setup.exe ", false, {"\\GAMES|CHESS.EXE", "\\SYSTEM|KERNEL.DLL", "\\SYSTEM|SETUP.EXE"}},
        {"readme", true, {"\\GAMES|CHESS.EXE", "\\SYSTEM|KERNEL.DLL", "\\SYSTEM|SETUP.EXE", "\\|README"}},
        // A spec with a drive and an empty one do nothing.
        {"D:*.*", true, {"\\GAMES|CHESS.EXE", "\\SYSTEM|KERNEL.DLL", "\\SYSTEM|SETUP.EXE", "\\|README"}},
        {"   ", true, {"\\GAMES|CHESS.EXE", "\\SYSTEM|KERNEL.DLL", "\\SYSTEM|SETUP.EXE", "\\|README"}},
        {"*.?LL", false, {"\\GAMES|CHESS.EXE", "\\SYSTEM|SETUP.EXE", "\\|README"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Spec);
        Criteria(c.Spec);
        if (c.Tag)
            Driver.Click(*f.TagSeveralBtn);
        else
            Driver.Click(*f.UntagSeveralBtn);
        EXPECT_EQ(Tagged(), c.Tagged);
    }
    EXPECT_EQ(ProgressCaptions,
              (V{"Tagging Files According To Filespec Given", "Tagging Files According To Filespec Given",
                 "UnTagging Files According To Filespec Given", "Tagging Files According To Filespec Given",
                 "UnTagging Files According To Filespec Given"}));
    // Cancel in the criteria dialog does nothing.
    Driver.Answer(mrCancel);
    Driver.Click(*f.TagSeveralBtn);
    EXPECT_EQ(ProgressCaptions.size(), 5u);
    EXPECT_TRUE(MessageTexts().empty());
}

TEST_F(SelectiveTest, TheCriteriaDialogNamesItsCommandAndSwitchesTheSpecField) {
    TSelectiveCatalogForm& f = Open();
    std::vector<std::string> tag, untag;
    Driver.AnswerWith(
        [&](TCustomForm& F) {
            auto* dp = dynamic_cast<TSelectiveCatalogTagCriteriaForm*>(&F);
            ASSERT_NE(dp, nullptr) << "shown instead: " << F.Caption();
            auto& d = *dp;
            tag = {d.Caption(), d.FileSpecBtn->Caption(), d.InCatalogBtn->Caption()};
            EXPECT_EQ(d.HelpContext, 60);
            EXPECT_EQ(d.BorderStyle(), bsDialog);
            EXPECT_TRUE(d.FileSpecBtn->Checked());
            EXPECT_EQ(d.ProceedBtn->Caption(), "&Proceed");
            EXPECT_EQ(d.ProceedBtn->ModalResult, mrOk);
            Driver.Click(*d.InCatalogBtn);
            EXPECT_FALSE(d.Filespec->Enabled());
            EXPECT_EQ(d.Filespec->Color(), clBtnFace);
            EXPECT_TRUE(Driver.Grab(d, Grabbed("SelectiveTagCriteria")));
            Driver.Click(*d.FileSpecBtn);
            EXPECT_TRUE(d.Filespec->Enabled());
            EXPECT_EQ(d.Filespec->Color(), clWindow);
            EXPECT_TRUE(d.Filespec->Focused());
        },
        mrCancel);
    Driver.Click(*f.TagSeveralBtn);
    Criteria("x", &untag);
    Driver.Click(*f.UntagSeveralBtn);
    EXPECT_EQ(tag, (V{"Tag Several", "Tag Files Conforming To This Filespec",
                      "Tag Files Presently In Your Catalog"}));
    EXPECT_EQ(untag, (V{"UnTag Several", "UnTag Files Conforming To This Filespec",
                        "UnTag Files Presently In Your Catalog"}));
}

TEST_F(SelectiveTest, AMalformedSpecEndsThePassWithItsError) {
    TSelectiveCatalogForm& f = Open();
    f.TagBySpec("[A-", true, "Tagging Files According To Filespec Given");
    EXPECT_EQ(MessageTexts(), V{"An Error Occurred While Tagging Records - Operation Not Completed"});
    EXPECT_EQ(platform::BeepHistory(), std::vector<uint32_t>{platform::MB_ICONEXCLAMATION});
    EXPECT_EQ(Tagged(), V{});
    // The window is usable again.
    EXPECT_TRUE(f.Enabled());
    EXPECT_FALSE(Progress->Visible());
    EXPECT_EQ(Screen->Cursor(), crDefault);
    f.TagBySpec("*.DOC", true, "Tagging");
    EXPECT_EQ(Tagged(), V{"\\DOCS|MANUAL.DOC"});
}

TEST_F(SelectiveTest, PresenceInTheCatalogIsAKeyLookupUnderTheVolumesLabel) {
    // A long name whose first 30 characters (the catalog's file name size) are catalogued.
    Disk.WriteFile("A_VERY_LONG_FILE_NAME_THAT_GOES_ON.TXT", "x");
    AddCatalogEntry("BACKUP01", "\\", "README");
    AddCatalogEntry("BACKUP01", "\\", "setup.exe");  // case ignored
    AddCatalogEntry("BACKUP01", "\\SYSTEM", "KERNEL.DLL");
    AddCatalogEntry("BACKUP01", "\\GAMES", "SETUP.EXE");         // another folder
    AddCatalogEntry("OTHERDISK", "\\", "MAKEFILE");              // another volume
    AddCatalogEntry("BACKUP01", "\\", "NOTES.TXT", "PACK.ZIP");  // inside an archive
    AddCatalogEntry("BACKUP01", "\\", "A_VERY_LONG_FILE_NAME_THAT_GOE");
    TSelectiveCatalogForm& f = Open();
    const V present = {"\\SYSTEM|KERNEL.DLL", "\\|README", "\\|SETUP.EXE"};

    Criteria(nullptr);
    Driver.Click(*f.TagSeveralBtn);
    EXPECT_EQ(Tagged(), present);
    f.TagAllBtnClick();
    Criteria(nullptr);
    Driver.Click(*f.UntagSeveralBtn);
    EXPECT_EQ(Tagged(false), present);
    EXPECT_FALSE(f.CatalogTable->Active());
    EXPECT_EQ(ProgressCaptions, (V{"Tagging Files Presently In Catalog", "Tagging All Files",
                                   "UnTagging Files Presently In Catalog"}));

    // Without the catalog's table the test is skipped with a warning.
    f.CatalogTable->SetTableName("CAT9_CAT");
    ProgressCaptions.clear();
    Criteria(nullptr);
    Driver.Click(*f.TagSeveralBtn);
    EXPECT_EQ(MessageTexts(), V{"Unable To Open Current Catalog File For Comparison Purposes"});
    EXPECT_EQ(platform::BeepHistory(), std::vector<uint32_t>{platform::MB_ICONEXCLAMATION});
    EXPECT_TRUE(ProgressCaptions.empty());
    EXPECT_EQ(Tagged(false), present);
}

TEST_F(SelectiveTest, PassesOnAnEmptyTableDoNothing) {
    TSelectiveCatalogForm& f = Open(true);
    f.CatalogTable->SetTableName("CAT9_CAT");  // not even opened
    f.TagAllBtnClick();
    f.ClearTagsBtnClick();
    f.InvertTagsBtnClick();
    f.TagBySpec("*.*", true, "Tagging");
    f.TagByCatalogPresence(true, "Tagging");
    EXPECT_TRUE(ProgressCaptions.empty());
    EXPECT_TRUE(MessageTexts().empty());
    EXPECT_TRUE(f.Enabled());
}

TEST_F(SelectiveTest, TheCheckBoxTagsOneEntryAndProceedPostsIt) {
    TSelectiveCatalogForm& f = Open();
    grid::TCtlDbTable& g = *f.SelectionTable;
    g.SetFocus();
    f.NewDataTable->First();
    Driver.RunPending();
    const auto entry = [&] {
        return f.NewDataTable->FieldByName("FolderName")->AsString() + "|" + Current();
    };
    const std::string first = entry();
    // Space on the check box; a pass that follows keeps the change.
    g.SetActiveCell(0, 0);
    Driver.RunPending();
    Driver.Key(VK_SPACE);
    Driver.RunPending();
    f.TagBySpec("*.DOC", true, "Tagging");
    EXPECT_EQ(Tagged(), (V{"\\DOCS|MANUAL.DOC", first}));
    // A click on another entry's box, then Proceed.
    const TRect cell = g.CellRect(2, 0);
    Driver.Click(g, cell.Left + 10, (cell.Top + cell.Bottom) / 2);
    Driver.RunPending();
    const std::string third = entry();
    f.ProceedBtnClick();
    EXPECT_EQ(f.ModalResult(), mrOk);
    V expected = {"\\DOCS|MANUAL.DOC", first, third};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Tagged(), expected);
}

TEST_F(SelectiveTest, TheStepOpensNewAndStopsTheRunOnCancelOrFailure) {
    // No table New: the step fails.
    TSelectiveRequest request;
    request.NewDatabase = "Memory";
    request.CatalogLabel = "BACKUP01";
    EXPECT_FALSE(SelectEntriesToCatalog(request));
    EXPECT_TRUE(catalog::StopRequested);
    EXPECT_EQ(MessageTexts(), V{"Error Opening Temporary Database For Selective Cataloging Purposes"});
    EXPECT_EQ(platform::BeepHistory(), std::vector<uint32_t>{platform::MB_ICONHAND});

    catalog::StopRequested = false;
    FillNew();
    const struct {
        TModalResult Close;
        bool Proceed;
    } cases[] = {{mrOk, true}, {mrCancel, false}, {mrNone, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.Close));
        catalog::StopRequested = false;
        std::string label;
        int widths[3] = {};
        Driver.AnswerWith([&](TCustomForm& F) {
            auto* sp = dynamic_cast<TSelectiveCatalogForm*>(&F);
            ASSERT_NE(sp, nullptr) << "shown instead: " << F.Caption();
            auto& s = *sp;
            label = s.CatalogLabel();
            for (int i = 0; i < 3; ++i) widths[i] = s.SelectionTable->Column(i + 1)->Width();
            s.TagBySpec("MAKEFILE", true, "Tagging");
            if (c.Close == mrOk)
                Driver.Click(*s.ProceedBtn);
            else if (c.Close == mrCancel)
                Driver.Click(*s.CancelBtn);
            else
                s.Close();
        });
        request.CatalogLabel = "LONGERTHANELEVEN";
        request.FileNamePixels = 100;
        request.ArchiveIDPixels = 12;
        EXPECT_EQ(SelectEntriesToCatalog(request), c.Proceed);
        EXPECT_EQ(catalog::StopRequested, !c.Proceed);
        EXPECT_EQ(label, "LONGERTHANE");
        EXPECT_EQ(widths[0], 106);
        EXPECT_EQ(widths[1], 70);
        EXPECT_EQ(widths[2], 70);
    }
}

// ---- Inside a run ----

// The run (naming the volume BACKUP01 from drive D:'s label) with a look at New where the later
// steps read it.
class TSelectiveRun : public TCatalogProgressForm {
public:
    using TCatalogProgressForm::TCatalogProgressForm;
    V SeenByLongestNames, SeenByUpdate;
    void RedetermineLongestNames() override { SeenByLongestNames = TaggedOf(*NewDataTable); }
    void UpdateCatalog() override { SeenByUpdate = TaggedOf(*NewDataTable); }
    static V TaggedOf(dbsql::TDbTable& New) {
        V out;
        for (New.First(); !New.Eof(); New.Next())
            if (New.FieldByName("Tagged")->AsBoolean())
                out.push_back(New.FieldByName("FolderName")->AsString() + "|" +
                              New.FieldByName("FileName")->AsString());
        std::sort(out.begin(), out.end());
        return out;
    }
};

struct SelectiveRunTest : SelectiveTest {
    TSelectiveRun* Run = nullptr;
    void TearDown() override {
        if (Run) Run->Free();
        SelectiveTest::TearDown();
    }
    bool CatalogDisk(bool KeepInMemory) {
        Run = TCustomForm::Create<TSelectiveRun>(Application);
        Run->SetCaption("Cataloging Disk In Drive D");
        Run->Spec.DriveLetter = 'D';
        Run->Spec.StartFolder = "D:\\";
        Run->Spec.Recurse = true;
        Run->Spec.KeepInMemory = KeepInMemory;
        Run->Show();
        Driver.RunPending();
        return Run->CatalogDisk();
    }
    std::map<std::string, std::string> ProgramFiles() {
        std::map<std::string, std::string> out;
        for (const auto& e : std::filesystem::directory_iterator(Program.Path()))
            out[e.path().filename()] = platform::testsupport::ReadNativeFile(e.path());
        return out;
    }
};

TEST_F(SelectiveRunTest, OnlyTheNewFilesGoOnWhenTheCataloguedOnesAreUntagged) {
    SetOption("SelectiveCataloging", true);
    SetOption("SelectiveCatAutotag", false);
    AddCatalogEntry("BACKUP01", "\\", "README");
    AddCatalogEntry("BACKUP01", "\\SYSTEM", "KERNEL.DLL");
    for (bool inMemory : {true, false}) {
        SCOPED_TRACE(inMemory);
        V untaggedAtStart;
        Driver.AnswerWith([&](TCustomForm& F) {
            auto* sp = dynamic_cast<TSelectiveCatalogForm*>(&F);
            ASSERT_NE(sp, nullptr) << "shown instead: " << F.Caption();
            auto& s = *sp;
            EXPECT_EQ(s.NewDataTable->DatabaseName(), inMemory ? "Memory" : "P:\\");
            for (s.NewDataTable->First(); !s.NewDataTable->Eof(); s.NewDataTable->Next())
                if (!s.NewDataTable->FieldByName("Tagged")->AsBoolean())
                    untaggedAtStart.push_back(s.NewDataTable->FieldByName("FileName")->AsString());
            s.TagAllBtnClick();
            Criteria(nullptr);
            Driver.Click(*s.UntagSeveralBtn);
            Driver.Click(*s.ProceedBtn);
        });
        EXPECT_TRUE(CatalogDisk(inMemory));
        EXPECT_EQ(untaggedAtStart.size(), kAll.size());
        const V fresh = {"\\DOCS|MANUAL.DOC",  "\\GAMES\\DLLS|X.DLL", "\\GAMES|CHESS.EXE",
                         "\\SYSTEM|SETUP.EXE", "\\|MAKEFILE",         "\\|NOTES.TXT",
                         "\\|SETUP.EXE"};
        EXPECT_EQ(Run->SeenByLongestNames, fresh);
        EXPECT_EQ(Run->SeenByUpdate, fresh);
        Run->Free();
        Run = nullptr;
        Driver.RunPending();
    }
}

TEST_F(SelectiveRunTest, ProceedingWithoutTagsLeavesNothingTaggedAndCancelStopsTheRun) {
    SetOption("SelectiveCataloging", true);
    SetOption("SelectiveCatAutotag", false);
    AddCatalogEntry("BACKUP01", "\\", "README");
    Driver.AnswerWith([&](TCustomForm& F) {
        auto* s = dynamic_cast<TSelectiveCatalogForm*>(&F);
        ASSERT_NE(s, nullptr) << "shown instead: " << F.Caption();
        Driver.Click(*s->ProceedBtn);
    });
    EXPECT_TRUE(CatalogDisk(false));
    EXPECT_EQ(Run->SeenByUpdate, V{});
    Run->Free();
    Run = nullptr;
    Driver.RunPending();

    const auto before = ProgramFiles();
    Driver.AnswerWith([&](TCustomForm& F) {
        auto* sp = dynamic_cast<TSelectiveCatalogForm*>(&F);
        ASSERT_NE(sp, nullptr) << "shown instead: " << F.Caption();
        auto& s = *sp;
        s.TagAllBtnClick();
        Driver.Click(*s.CancelBtn);
    });
    EXPECT_FALSE(CatalogDisk(false));
    EXPECT_TRUE(catalog::StopRequested);
    EXPECT_EQ(Run->SeenByUpdate, V{}) << "the catalog is not updated";
    EXPECT_EQ(ProgramFiles(), before);
    EXPECT_EQ(CatalogEntries(), V{"BACKUP01|\\|README|"});
}

}  // namespace
}  // namespace cataloging
