// The catalog manager and its dialogs over real tables in a temporary drive, driven headless:
// creating, selecting, picking, deleting and renaming catalogs (with injected file failures), the
// options dialog on a catalog's record, and the two dialogs that change a catalog's name sizes.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "catalog/CatalogOptionsForm.h"
#include "catalog/CatalogSizeForms.h"
#include "catalog/CatalogStore.h"
#include "catalog/Globals.h"
#include "catalog/MessageWindow.h"
#include "catalog/ProgramTables.h"
#include "catalog/ProgressForm.h"
#include "catalog/SelectCatalogForm.h"
#include "catalog/testsupport/CatalogTestFixture.h"
#include "controls/entry/CtlPictureField.h"
#include "controls/entry/CtlSpinner.h"
#include "dbsql/testsupport/DbTestTable.h"
#include "framework/data/Fields.h"
#include "framework/dbctrls/DBCtrls.h"
#include "framework/dbctrls/DBGrids.h"
#include "framework/stdctrls/Buttons.h"
#include "framework/stdctrls/Dialogs.h"
#include "framework/stdctrls/Edit.h"
#include "framework/stdctrls/ExtCtrls.h"
#include "framework/stdctrls/GroupBox.h"
#include "framework/stdctrls/Label.h"
#include "framework/ui/testsupport/FormDriver.h"
#include "platform/Beep.h"
#include "platform/Files.h"

using namespace catalog;
using namespace framework;

namespace {

const std::string kDeleteQuestion =
    "Warning:  This Operation Cannot Be Undone.\rAre You Sure You Want To Delete The Catalog Named "
    "\"Games\"?";

struct CatalogFormsTest : catalog::testsupport::TCatalogFixture {
    TSelectCatalogForm* Form = nullptr;

    void TearDown() override {
        if (Form) Form->Free();
        TCatalogFixture::TearDown();
    }
    bool Exists(const std::string& name) { return Table(name)->Exists(); }
    // A catalog with its record and three tables, made as New Catalog makes it.
    void MakeCatalog(const std::string& name, TNameLengths lengths = {30, 60, 20}) {
        const std::string current = CurrentCatalogName;
        CurrentCatalogName = name;
        TCatalogStore store;
        store.CreateCatalogConfig(false, lengths);
        store.OpenCatalog(true);
        ASSERT_EQ(CurrentCatalogName, name);
        CurrentCatalogName = current;
    }
    // The catalog's record, for reading or changing.
    std::unique_ptr<dbsql::TDbTable> Config(const std::string& name = "Games") {
        auto t = Table("CatalogConfigs");
        t->Open();
        EXPECT_TRUE(t->FindKey({Variant(name)})) << name;
        return t;
    }
    std::vector<std::string> ConfigNames() {
        auto t = Table("CatalogConfigs");
        t->Open();
        std::vector<std::string> out;
        for (t->First(); !t->Eof(); t->Next()) out.push_back(t->FieldByName("CatalogName")->AsString());
        return out;
    }
    void Open(bool makeCurrent = true) {
        Form = TCustomForm::Create<TSelectCatalogForm>(Application);
        Form->MakeCurrent = makeCurrent;
        Form->Show();
        Driver.RunPending();
    }
    void Click(TControl& c) {
        Driver.Click(c);
        Driver.RunPending();
    }
    // The rows of the grid: name and the three lengths, as shown.
    std::vector<std::vector<std::string>> GridRows() {
        std::vector<std::vector<std::string>> rows;
        for (int r = 1;; ++r) {
            std::vector<std::string> row;
            for (int c = 1; c <= 4; ++c) row.push_back(Form->DBGrid1->DisplayedText(c, r));
            if (row[0].empty()) break;
            rows.push_back(row);
        }
        return rows;
    }
    void ClearShown() {
        Driver.Shown.clear();
        Windows.clear();
        platform::ClearBeepHistory();
    }
    // Replaces the text of an entry field by typing.
    void TypeInto(TWinControl& field, const std::string& text) {
        field.SetFocus();
        Driver.RunPending();
        Driver.Key(VK_END);
        for (int i = 0; i < 4; ++i) Driver.Key(VK_BACK);
        Driver.Type(text);
        Driver.RunPending();
    }
    std::vector<std::string> FilesOf(const std::string& table) const {
        std::vector<std::string> out;
        for (const auto& e : std::filesystem::directory_iterator(Root.Path())) {
            std::string name = e.path().filename().string();
            if (name.starts_with(table + ".")) out.push_back(name);
        }
        return out;
    }
    std::map<std::string, std::string> Snapshot(const std::string& table) const {
        std::map<std::string, std::string> out;
        for (const std::string& f : FilesOf(table))
            out[f] = platform::testsupport::ReadNativeFile(Root.Path() + "/" + f);
        return out;
    }
    std::vector<int> CatSizes(const std::string& name = "Games") {
        auto t = Table(name + "_CAT");
        t->FieldDefs.Update();
        return {t->FieldDefs[0]->Size, t->FieldDefs[2]->Size, t->FieldDefs[3]->Size};
    }
    std::vector<int> RecordSizes(const std::string& name = "Games") {
        auto t = Config(name);
        return {t->FieldByName("FileNameFieldLength")->AsInteger(),
                t->FieldByName("FolderNameFieldLength")->AsInteger(),
                t->FieldByName("ArchiveIDFieldLength")->AsInteger()};
    }
    void Grab(TWinControl& form, const std::string& name) {
        EXPECT_TRUE(Driver.Grab(form, std::string(KORVANE_BUILD_DIR) + "/" + name + ".png"));
    }
};

// Files whose opening, renaming and writing fail while the fault lives (access denied).
platform::TScopedFileFault FailFilesOf(const std::string& part) {
    return platform::TScopedFileFault([part](platform::TFileOperation op, const std::string& path, int64_t,
                                             uint32_t) {
        const bool hit = path.find(part) != std::string::npos &&
                         (op == platform::TFileOperation::Open || op == platform::TFileOperation::Rename ||
                          op == platform::TFileOperation::Write);
        return platform::TFileFault{hit ? 5u : 0u};
    });
}

// ---- Creating and selecting ----

TEST_F(CatalogFormsTest, NewCatalogThenSelectMakesItCurrent) {
    Form = TCustomForm::Create<TSelectCatalogForm>(Application);
    std::vector<std::string> optionsPanel;
    Driver.AnswerWith([&](TCustomForm& f) {
        auto& select = dynamic_cast<TSelectCatalogForm&>(f);
        EXPECT_EQ(select.Caption(), "Select / Create / Configure Catalog");
        Driver.AnswerWith([&](TCustomForm& n) {
            auto& create = dynamic_cast<TNewCatalogForm&>(n);
            Grab(create, "NewCatalogForm");
            create.CatalogName->SetFocus();
            Driver.Type(" Games ");
            TypeInto(*create.FileNameLength, "30");
            TypeInto(*create.FolderNameLength, "60");
            TypeInto(*create.ArchiveIDLength, "20");
            Click(*create.CreateBtn);
        });
        Driver.AnswerWith(
            [&](TCustomForm& o) {
                optionsPanel.push_back(dynamic_cast<TCatalogOptionsForm&>(o).CatalogPanel->Caption());
            },
            mrCancel);
        Click(*select.NewBtn);
        EXPECT_EQ(select.GridHeader->Caption(), "Catalogs Currently Defined");
        EXPECT_EQ(GridRows(), (std::vector<std::vector<std::string>>{{"Games", "30", "60", "20"}}));
        Grab(select, "SelectCatalogForm");
        Click(*select.SelectBtn);
    });
    EXPECT_EQ(Form->ShowModal(), mrOk);
    EXPECT_EQ(optionsPanel, std::vector<std::string>{"Current Catalog = \"Games\""});
    EXPECT_EQ(Texts(), std::vector<std::string>{}) << "the tables are made silently";
    EXPECT_EQ(CurrentCatalogName, "Games");
    EXPECT_EQ(ConfigNames(), std::vector<std::string>{"Games"});
    for (const char* suffix : {"_SUM", "_CAT", "_LOG"}) EXPECT_TRUE(Exists(std::string("Games") + suffix));
    EXPECT_EQ(CatSizes(), (std::vector<int>{30, 60, 20}));
}

// The Settings command's entry: the manager, shown modally and released.
TEST_F(CatalogFormsTest, TheManagersEntryShowsItModally) {
    MakeCatalog("Games");
    bool manager = false;
    Driver.AnswerWith([&](TCustomForm& f) {
        auto& select = dynamic_cast<TSelectCatalogForm&>(f);
        manager = select.MakeCurrent && select.DeleteBtn->Visible();
        Click(*select.SelectBtn);
    });
    ShowSelectCatalogForm();
    EXPECT_TRUE(manager);
    EXPECT_EQ(CurrentCatalogName, "Games");
    EXPECT_EQ(Application->FindComponent("SelectCatalogForm"), nullptr);
}

TEST_F(CatalogFormsTest, TheDialogAndItsGrid) {
    MakeCatalog("Games");
    MakeCatalog("Music", {16, 16, 16});
    Open();
    EXPECT_EQ(Form->HelpContext, 7);
    EXPECT_TRUE(Form->SelectBtn->Default());
    EXPECT_EQ(Form->SelectBtn->Font().Style, fsBold);
    const std::vector<std::pair<TBitBtn*, std::string>> captions = {{Form->NewBtn, "&New Catalog"},
                                                                    {Form->DeleteBtn, "&Delete Catalog"},
                                                                    {Form->RenameBtn, "&Rename Catalog"},
                                                                    {Form->ItemLengthBtn, "&Adjust Sizes"},
                                                                    {Form->OptionsBtn, "&Catalog &Options"},
                                                                    {Form->SelectBtn, "&Select Catalog"},
                                                                    {Form->CloseBtn, "&Close"}};
    for (const auto& [button, caption] : captions) {
        EXPECT_EQ(button->Caption(), caption);
        EXPECT_TRUE(button->Visible()) << caption;
    }
    EXPECT_EQ(Form->CloseBtn->ModalResult, mrCancel);
    EXPECT_EQ(Form->DBGrid1->DisplayedText(1, 0), "Catalog Name");
    EXPECT_EQ(Form->DBGrid1->DisplayedText(2, 0), "FileName Length");
    EXPECT_EQ(Form->DBGrid1->DisplayedText(3, 0), "FolderName Length");
    EXPECT_EQ(Form->DBGrid1->DisplayedText(4, 0), "ArchiveID Length");
    EXPECT_EQ(GridRows(), (std::vector<std::vector<std::string>>{{"Games", "30", "60", "20"},
                                                                 {"Music", "16", "16", "16"}}));
    Form->Navigator->BtnClick(nbLast);
    EXPECT_EQ(Form->PickedCatalogName(), "Music");

    // A double click selects only on a data row; the title row does nothing.
    Driver.MouseMove(*Form->DBGrid1, 60, 5);
    Driver.DoubleClick(*Form->DBGrid1, 60, 5);
    Driver.RunPending();
    EXPECT_EQ(Form->ModalResult(), mrNone);
    const TRect games = Form->DBGrid1->CellRect(1, 1);
    Driver.MouseMove(*Form->DBGrid1, games.Left + 5, games.Top + 3);
    Driver.DoubleClick(*Form->DBGrid1, games.Left + 5, games.Top + 3);
    Driver.RunPending();
    EXPECT_EQ(Form->ModalResult(), mrOk);
    EXPECT_EQ(CurrentCatalogName, "Games");
}

TEST_F(CatalogFormsTest, SelectTakesTheRecordsLastLabel) {
    MakeCatalog("Games");
    {
        auto cfg = Config();
        cfg->Edit();
        cfg->FieldByName("LastVolumeLabel")->SetAsString("  DISK7 ");
        cfg->Post();
    }
    CurrentCatalogName = "Music";
    Open();
    Click(*Form->SelectBtn);
    EXPECT_EQ(Form->ModalResult(), mrOk);
    EXPECT_EQ(CurrentCatalogName, "Games");
    EXPECT_EQ(LastCatalogedLabel.Text(), "DISK7");
    EXPECT_TRUE(Driver.Shown.empty());
}

TEST_F(CatalogFormsTest, PickerModeChangesNothingOfTheProgram) {
    MakeCatalog("Games");
    CurrentCatalogName = "Other";
    LastCatalogedLabel = "KEEP";
    Open(false);
    EXPECT_FALSE(Form->DeleteBtn->Visible());
    EXPECT_FALSE(Form->RenameBtn->Visible());
    EXPECT_EQ(Form->NewBtn->Top(), 100);
    EXPECT_EQ(Form->NewBtn->Top(), Form->RenameBtn->Top());
    for (TBitBtn* b : {Form->NewBtn, Form->OptionsBtn, Form->ItemLengthBtn}) EXPECT_TRUE(b->Visible());
    Grab(*Form, "SelectCatalogPicker");
    Click(*Form->SelectBtn);
    EXPECT_EQ(Form->ModalResult(), mrOk);
    EXPECT_EQ(Form->PickedCatalogName(), "Games");
    EXPECT_EQ(CurrentCatalogName, "Other");
    EXPECT_EQ(LastCatalogedLabel.Text(), "KEEP");
}

// Making a catalog leaves the current one and its last label as they were.
TEST_F(CatalogFormsTest, NewCatalogKeepsTheCurrentCatalogAndItsLabel) {
    MakeCatalog("Music");
    CurrentCatalogName = "Music";
    LastCatalogedLabel = "MUSIC01";
    Open();
    Driver.AnswerWith([&](TCustomForm& n) {
        auto& create = dynamic_cast<TNewCatalogForm&>(n);
        create.CatalogName->SetText("Games");
        Click(*create.CreateBtn);
    });
    Driver.Answer(mrCancel);  // the options dialog
    Click(*Form->NewBtn);
    EXPECT_EQ(CurrentCatalogName, "Music");
    EXPECT_EQ(LastCatalogedLabel.Text(), "MUSIC01");
    EXPECT_EQ(Form->PickedCatalogName(), "Games") << "the grid stands on the new catalog";
    EXPECT_EQ(RecordSizes(), (std::vector<int>{16, 16, 16})) << "the dialog's lengths start at 16";
}

// ---- Refusals ----

TEST_F(CatalogFormsTest, WithNoCatalogsEveryActionSaysSo) {
    Open();
    for (TBitBtn* b : {Form->SelectBtn, Form->DeleteBtn, Form->RenameBtn, Form->OptionsBtn}) {
        SCOPED_TRACE(b->Caption());
        ClearShown();
        Click(*b);
        EXPECT_EQ(Texts(), std::vector<std::string>{"No Catalogs Have Been Defined Yet"});
        EXPECT_EQ(Driver.Shown.back().DlgType, mtError);
        EXPECT_EQ(platform::BeepHistory(), std::vector<uint32_t>{16});
        EXPECT_EQ(Form->ModalResult(), mrNone);
    }
    // New cancelled: the options action runs and says the same.
    ClearShown();
    Driver.Answer(mrCancel);
    Click(*Form->NewBtn);
    EXPECT_EQ(Driver.Shown.size(), 2u);
    EXPECT_EQ(Driver.Shown[0].ClassName, "TNewCatalogForm");
    EXPECT_EQ(Texts(), std::vector<std::string>{"No Catalogs Have Been Defined Yet"});
    EXPECT_EQ(ConfigNames(), std::vector<std::string>{});
}

TEST_F(CatalogFormsTest, NewCatalogRefusesNamesItCannotTake) {
    MakeCatalog("Games");
    Open();
    struct Case {
        const char* Name;
        const char* Message;
    } cases[] = {
        {"   ", "Please Specify A Catalog Name"},
        {"GAMES", "A Catalog By This Name Already Exists"},
        {" games ", "A Catalog By This Name Already Exists"},
        {"a/b", "Catalog Names Cannot Contain Any Of These Characters:  \\ / : * ? \" < > |"},
        {"x:y", "Catalog Names Cannot Contain Any Of These Characters:  \\ / : * ? \" < > |"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        ClearShown();
        bool stayedOpen = false;
        Driver.AnswerWith(
            [&](TCustomForm& n) {
                auto& create = dynamic_cast<TNewCatalogForm&>(n);
                create.CatalogName->SetText(c.Name);
                Click(*create.CreateBtn);
                stayedOpen = create.ModalResult() == mrNone;
                EXPECT_TRUE(create.CatalogName->Focused() || std::string(c.Message).starts_with("A Catalog"));
            },
            mrCancel);
        Driver.Answer(mrCancel);  // the options dialog
        Click(*Form->NewBtn);
        EXPECT_TRUE(stayedOpen);
        ASSERT_GE(Driver.Shown.size(), 2u);
        EXPECT_EQ(Driver.Shown[1].Text, c.Message);
        EXPECT_EQ(Driver.Shown[1].DlgType, mtError);
        EXPECT_EQ(platform::BeepHistory(), std::vector<uint32_t>{16});
    }
    EXPECT_EQ(ConfigNames(), std::vector<std::string>{"Games"});
}

TEST_F(CatalogFormsTest, TheLengthFieldsKeepToTheirRanges) {
    auto* create = TCustomForm::Create<TNewCatalogForm>(Application);
    create->Show();
    Driver.RunPending();
    EXPECT_EQ(create->Lengths().FileName, 16);
    EXPECT_EQ(create->Lengths().FolderName, 16);
    EXPECT_EQ(create->Lengths().ArchiveID, 16);
    struct Case {
        entry::TCtlPictureField* Field;
        const char* Typed;
        bool Refused;
    } cases[] = {{create->FileNameLength, "200", false},
                 {create->FileNameLength, "201", true},
                 {create->FolderNameLength, "15", true},
                 {create->ArchiveIDLength, "90", false},
                 {create->ArchiveIDLength, "91", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Typed);
        ClearShown();
        TypeInto(*c.Field, c.Typed);
        Driver.Key(VK_TAB);
        Driver.RunPending();
        EXPECT_EQ(c.Field->Focused(), c.Refused);
        EXPECT_EQ(Texts().size(), c.Refused ? 1u : 0u);
        if (c.Refused) TypeInto(*c.Field, "50");
    }
    // The spinner steps by one.
    create->FileNameLength->SetAsInteger(30);
    auto* spinner = dynamic_cast<entry::TCtlSpinner*>(create->FindComponent("FileNameLengthSpinner"));
    ASSERT_NE(spinner, nullptr);
    // The button is let go after the first step.
    spinner->OnClick = [&](TObject*, entry::TCtlSpinState, double, bool) {
        Driver.MouseUp(*spinner, spinner->Width() / 2, 3);
    };
    Driver.MouseDown(*spinner, spinner->Width() / 2, 3);
    Driver.RunPending();
    EXPECT_EQ(create->FileNameLength->GetAsInteger(), 31);
    create->Free();
}

// ---- Deleting ----

TEST_F(CatalogFormsTest, DeleteAsksThenRemovesTablesAndRecord) {
    MakeCatalog("Games");
    MakeCatalog("Music");
    CurrentCatalogName = "Games";
    Open();
    Driver.Answer(mrNo);
    Click(*Form->DeleteBtn);
    ASSERT_EQ(Driver.Shown.size(), 1u);
    EXPECT_EQ(Driver.Shown[0].Text, kDeleteQuestion);
    EXPECT_EQ(Driver.Shown[0].DlgType, mtConfirmation);
    EXPECT_EQ(Driver.Shown[0].Buttons, (TMsgDlgButtons{mbYes, mbNo}.Bits()));
    EXPECT_EQ(CurrentCatalogName, "Games");
    EXPECT_TRUE(Exists("Games_CAT"));

    ClearShown();
    Driver.Answer(mrYes);
    Click(*Form->DeleteBtn);
    EXPECT_EQ(Texts(), std::vector<std::string>{kDeleteQuestion});
    EXPECT_EQ(CurrentCatalogName, "");
    for (const char* suffix : {"_SUM", "_CAT", "_LOG"}) EXPECT_FALSE(Exists(std::string("Games") + suffix));
    EXPECT_EQ(ConfigNames(), std::vector<std::string>{"Music"});
    EXPECT_EQ(GridRows().size(), 1u);
    EXPECT_TRUE(Exists("Music_CAT"));
}

TEST_F(CatalogFormsTest, DeletingAnotherCatalogKeepsTheCurrentOne) {
    MakeCatalog("Games");
    CurrentCatalogName = "GAMES";  // the comparison counts letter case
    Open();
    Driver.Answer(mrYes);
    Click(*Form->DeleteBtn);
    EXPECT_EQ(CurrentCatalogName, "GAMES");
    EXPECT_EQ(ConfigNames(), std::vector<std::string>{});
}

// A missing table counts as deleted; a table that cannot be deleted keeps the record, so the
// catalog stays listed and can be deleted again.
TEST_F(CatalogFormsTest, DeleteKeepsTheRecordWhileATableRemains) {
    MakeCatalog("Games");
    Table("Games_LOG")->DeleteTable();
    Open();
    {
        auto fault = platform::TScopedFileFault(
            [](platform::TFileOperation op, const std::string& path, int64_t, uint32_t) {
                const bool hit =
                    path.find("Games_CAT") != std::string::npos && op == platform::TFileOperation::Delete;
                return platform::TFileFault{hit ? 5u : 0u};
            });
        Driver.Answer(mrYes);
        Click(*Form->DeleteBtn);
    }
    EXPECT_EQ(Texts(), (std::vector<std::string>{kDeleteQuestion, "Error Deleting Catalog File."}));
    EXPECT_EQ(platform::BeepHistory(), std::vector<uint32_t>{}) << "these boxes come without a beep";
    EXPECT_FALSE(Exists("Games_SUM"));
    EXPECT_TRUE(Exists("Games_CAT"));
    EXPECT_EQ(ConfigNames(), std::vector<std::string>{"Games"});

    ClearShown();
    Driver.Answer(mrYes);
    Click(*Form->DeleteBtn);
    EXPECT_EQ(Texts(), std::vector<std::string>{kDeleteQuestion});
    EXPECT_FALSE(Exists("Games_CAT"));
    EXPECT_EQ(ConfigNames(), std::vector<std::string>{});
}

// ---- Renaming ----

TEST_F(CatalogFormsTest, RenameMovesTablesAndRecordAndKeepsTheCatalogCurrent) {
    MakeCatalog("Games");
    CurrentCatalogName = "Games";
    Open();
    Driver.AnswerWith([&](TCustomForm& r) {
        auto& rename = dynamic_cast<TRenameCatalogForm&>(r);
        EXPECT_EQ(rename.OldCatalogName->Caption(), "Games");
        Grab(rename, "RenameCatalogForm");
        rename.NewCatalogName->SetText("  Old Games ");
        Click(*rename.OKBtn);
    });
    Click(*Form->RenameBtn);
    EXPECT_EQ(Texts(), std::vector<std::string>{});
    EXPECT_EQ(CurrentCatalogName, "Old Games");
    for (const char* suffix : {"_SUM", "_CAT", "_LOG"}) {
        EXPECT_FALSE(Exists(std::string("Games") + suffix));
        EXPECT_TRUE(Exists(std::string("Old Games") + suffix));
    }
    EXPECT_EQ(ConfigNames(), std::vector<std::string>{"Old Games"});
    EXPECT_EQ(RecordSizes("Old Games"), (std::vector<int>{30, 60, 20}));
    EXPECT_EQ(GridRows()[0][0], "Old Games");
}

TEST_F(CatalogFormsTest, RenameRefusesNamesItCannotTake) {
    MakeCatalog("Games");
    MakeCatalog("Music");
    Open();
    struct Case {
        const char* Name;
        const char* Message;
    } cases[] = {
        {"", "Please Specify A New Catalog Name."},
        {" Games ", "New Catalog Name Cannot Be The Same As The Old Catalog Name."},
        {"GAMES", "New Catalog Name Already Exists."},  // finds the catalog itself
        {"music", "New Catalog Name Already Exists."},
        {"a|b", "Catalog Names Cannot Contain Any Of These Characters:  \\ / : * ? \" < > |"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        ClearShown();
        bool stayedOpen = false;
        Driver.AnswerWith(
            [&](TCustomForm& r) {
                auto& rename = dynamic_cast<TRenameCatalogForm&>(r);
                rename.NewCatalogName->SetText(c.Name);
                Click(*rename.OKBtn);
                stayedOpen = rename.ModalResult() == mrNone;
            },
            mrCancel);
        Click(*Form->RenameBtn);
        EXPECT_TRUE(stayedOpen);
        ASSERT_EQ(Driver.Shown.size(), 2u);
        EXPECT_EQ(Driver.Shown[1].Text, c.Message);
        EXPECT_EQ(platform::BeepHistory(), std::vector<uint32_t>{16});
    }
    EXPECT_EQ(ConfigNames(), (std::vector<std::string>{"Games", "Music"}));
}

// A table that is not there has nothing to rename; the others and the record are renamed.
TEST_F(CatalogFormsTest, RenameGoesOnPastAMissingTable) {
    MakeCatalog("Games");
    Table("Games_LOG")->DeleteTable();
    Open();
    Driver.AnswerWith([&](TCustomForm& r) {
        auto& rename = dynamic_cast<TRenameCatalogForm&>(r);
        rename.NewCatalogName->SetText("Other");
        Click(*rename.OKBtn);
    });
    Click(*Form->RenameBtn);
    EXPECT_EQ(Texts(), std::vector<std::string>{});
    EXPECT_TRUE(Exists("Other_SUM"));
    EXPECT_TRUE(Exists("Other_CAT"));
    EXPECT_FALSE(Exists("Other_LOG"));
    EXPECT_EQ(ConfigNames(), std::vector<std::string>{"Other"});
}

// A failing step stops the renaming: what was renamed goes back, the record and the current
// catalog stay as they were.
TEST_F(CatalogFormsTest, ARenameThatFailsPutsEverythingBack) {
    MakeCatalog("Games");
    CurrentCatalogName = "Games";
    const auto sumBefore = Snapshot("Games_SUM");
    Open();
    {
        auto fault = FailFilesOf("Games_CAT");
        Driver.AnswerWith([&](TCustomForm& r) {
            auto& rename = dynamic_cast<TRenameCatalogForm&>(r);
            rename.NewCatalogName->SetText("Other");
            Click(*rename.OKBtn);
        });
        Click(*Form->RenameBtn);
    }
    EXPECT_EQ(Texts(), std::vector<std::string>{"Error Renaming Catalog File."});
    EXPECT_EQ(platform::BeepHistory(), std::vector<uint32_t>{});
    EXPECT_TRUE(Snapshot("Games_SUM") == sumBefore) << "files changed";
    for (const char* suffix : {"_SUM", "_CAT", "_LOG"}) {
        EXPECT_TRUE(Exists(std::string("Games") + suffix));
        EXPECT_TRUE(FilesOf(std::string("Other") + suffix).empty()) << suffix;
    }
    EXPECT_EQ(ConfigNames(), std::vector<std::string>{"Games"});
    EXPECT_EQ(CurrentCatalogName, "Games");
}

// ---- Catalog options ----

TEST_F(CatalogFormsTest, TheOptionsDialog) {
    MakeCatalog("Games");
    Open();
    Driver.AnswerWith([&](TCustomForm& f) {
        auto& o = dynamic_cast<TCatalogOptionsForm&>(f);
        EXPECT_EQ(o.Caption(), "Catalog Options");
        EXPECT_EQ(o.HelpContext, 15);
        EXPECT_EQ(o.CatalogPanel->Caption(), "Current Catalog = \"Games\"");
        EXPECT_EQ(o.CatalogingGroup->Caption(), "Cataloging Options");
        EXPECT_EQ(o.ArchiveGroup->Caption(), "Archive Processing Options");
        EXPECT_EQ(o.FormatsGroup->Caption(), "Archive Formats To Process If Necessary");
        EXPECT_EQ(o.SelAllBtn->Caption(), "Select &All Archive Formats");
        EXPECT_EQ(o.ClearAllBtn->Caption(), "&Clear All Archive Formats");
        EXPECT_EQ(o.BitBtn1->Caption(), "&Save Options");
        const std::vector<std::pair<std::string, std::string>> boxes = {
            {"Warn If Disk Exists", "WarnIfExists"},
            {"Suggest Volume Label", "SuggestVol"},
            {"Volume Label Aliases", "Aliases"},
            {"Comment Override From Disk", "CommentOverrideFromDisk"},
            {"Auto Edit Disk Comments", "AutoEditDiskComments"},
            {"Auto Edit File Comments", "AutoEditFileComments"},
            {"Selective Cataloging", "SelectiveCataloging"},
            {"TFI Selective Cataloging", "TfiSelectiveCataloging"},
            {"Selective Cataloging Autotag", "SelectiveCatAutotag"},
            {"Maintain Activity Log", "KeepActivityLog"},
            {"Handle ARJ Multi-Disks", "HandleArjMultiDisks"},
            {"Handle SFX Archives", "DoSfxArchives"},
            {"Get Main Archive Comment", "GetMainComment"},
            {"Copy Main Archive Comment", "CopyMainComment"},
            {"Handle FILE_ID.DIZ Comments", "UseDiz"},
            {"Override With FILE_ID.DIZ", "DizOverride"},
            {"ARC", "DoARC"},
            {"ARJ", "DoARJ"},
            {"DWC", "DoDWC"},
            {"Hyper", "DoHYP"},
            {"LBR", "DoLBR"},
            {"LHArc", "DoLZH"},
            {"LARC", "DoLZS"},
            {"PAK", "DoPAK"},
            {"RAR", "DoRAR"},
            {"SQZ", "DoSQZ"},
            {"ZIP", "DoZIP"},
            {"ZOO", "DoZOO"},
            {"Windows CAB", "DoCAB"},
        };
        ASSERT_EQ(o.Boxes.size(), boxes.size());
        for (size_t i = 0; i < boxes.size(); ++i) {
            EXPECT_EQ(o.Boxes[i]->Caption(), boxes[i].first);
            EXPECT_EQ(o.Boxes[i]->DataField(), boxes[i].second);
        }
        // A new catalog's defaults, as the boxes show them.
        for (const char* on : {"WarnIfExists", "DoZIP", "DoCAB"}) EXPECT_TRUE(o.BoxFor(on)->Checked()) << on;
        EXPECT_FALSE(o.BoxFor("DoARC")->Checked());
        EXPECT_EQ(o.ExpandArchives->Items().Count(), 3);
        EXPECT_EQ(o.ExpandArchives->Items()[0], "Always");
        EXPECT_EQ(o.ExpandArchives->Items()[1], "Never");
        EXPECT_EQ(o.ExpandArchives->Items()[2], "On Demand");
        EXPECT_EQ(o.ExpandArchives->Style(), csDropDownList);
        EXPECT_EQ(o.ExpandArchives->Text(), "Never");
        Grab(o, "CatalogOptionsForm");
        // A box clicked and a choice made reach the record on Save.
        Click(*o.BoxFor("KeepActivityLog"));
        o.ExpandArchives->SetItemIndex(2);
        o.ExpandArchives->Click();
        Click(*o.BitBtn1);
    });
    Click(*Form->OptionsBtn);
    auto cfg = Config();
    EXPECT_EQ(cfg->FieldByName("KeepActivityLog")->AsString(), "True");
    EXPECT_EQ(cfg->FieldByName("ExpandArchives")->AsString(), "On Demand");
    EXPECT_EQ(cfg->FieldByName("WarnIfExists")->AsString(), "True");
}

TEST_F(CatalogFormsTest, SelectAllAndClearAllReachTheRecordOnlyWhenSaved) {
    const char* formats[] = {"DoARC", "DoARJ", "DoDWC", "DoHYP", "DoLBR", "DoLZH", "DoLZS",
                             "DoPAK", "DoRAR", "DoSQZ", "DoZIP", "DoZOO", "DoCAB"};
    MakeCatalog("Games");
    const auto flags = [&] {
        auto cfg = Config();
        std::string s;
        for (const char* f : formats) s += cfg->FieldByName(f)->AsString() == "True" ? '1' : '0';
        return s;
    };
    ASSERT_EQ(flags(), "0000000000101");
    const auto before = Snapshot("CatalogConfigs");
    Open();
    struct Case {
        bool SelectAll;
        bool Save;
        const char* After;
    } cases[] = {
        {true, false, "0000000000101"}, {true, true, "1111111111111"}, {false, true, "0000000000000"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.SelectAll) + std::to_string(c.Save));
        Driver.AnswerWith([&](TCustomForm& f) {
            auto& o = dynamic_cast<TCatalogOptionsForm&>(f);
            Click(c.SelectAll ? *o.SelAllBtn : *o.ClearAllBtn);
            for (const char* field : formats) EXPECT_EQ(o.BoxFor(field)->Checked(), c.SelectAll) << field;
            Click(c.Save ? *o.BitBtn1 : *o.CancelBtn);
        });
        Click(*Form->OptionsBtn);
        EXPECT_EQ(flags(), c.After);
        if (!c.Save) {
            EXPECT_TRUE(Snapshot("CatalogConfigs") == before) << "files changed";
        }
    }
    EXPECT_TRUE(Driver.Shown.size() == 3u);
}

TEST_F(CatalogFormsTest, OptionsOfARecordDeletedMeanwhile) {
    MakeCatalog("Games");
    Open();
    Config()->Delete();
    Click(*Form->OptionsBtn);
    EXPECT_EQ(Texts(), std::vector<std::string>{"Cannot Find Configuration Data For This Catalog"});
    EXPECT_EQ(platform::BeepHistory(), std::vector<uint32_t>{16});
}

// ---- Adjust Sizes ----

struct AdjustSizesTest : CatalogFormsTest {
    // Games with a 22-character file name and a 57-character folder name stored; its record says
    // 40 for folders.
    void SetUp() override {
        CatalogFormsTest::SetUp();
        MakeCatalog("Games");
        auto cat = Table("Games_CAT");
        cat->Open();
        const auto entry = [&](const std::string& file, const std::string& folder) {
            cat->Append();
            cat->FieldByName("FileName")->SetAsString(file);
            cat->FieldByName("VolumeLabel")->SetAsString("DISK1");
            cat->FieldByName("FolderName")->SetAsString(folder);
            cat->Post();
        };
        entry("SHORT.TXT", "\\" + std::string(56, 'F'));
        entry("A_RATHER_LONG_NAME.TXT", "\\DOCS");
        cat->Close();
        auto cfg = Config();
        cfg->Edit();
        cfg->FieldByName("FolderNameFieldLength")->SetAsInteger(40);
        cfg->Post();
    }
};

TEST_F(AdjustSizesTest, TheLongestNamesBecomeTheLowerBounds) {
    Open();
    Driver.AnswerWith(
        [&](TCustomForm& f) {
            auto& s = dynamic_cast<TCatalogFSizeForm&>(f);
            EXPECT_EQ(s.Caption(), "Adjust Sizes");
            EXPECT_EQ(s.HelpContext, 14);
            EXPECT_EQ(s.StatPanel->Caption(), "Adjusting Sizes For Catalog \"Games\"");
            EXPECT_EQ(s.FileNameLengthLabel->Caption(), "Maximum Filename Length (Currently 30):");
            EXPECT_EQ(s.FolderNameLengthLabel->Caption(), "Maximum Foldername Length (Currently 40):");
            EXPECT_EQ(s.ArcIDLengthLabel->Caption(), "Maximum Archive ID Length (Currently 20):");
            EXPECT_EQ(s.FileNameRangeLabel->Caption(), "(22 to 200)");
            EXPECT_EQ(s.FolderNameRangeLabel->Caption(), "(57 to 200)");
            EXPECT_EQ(s.ArchiveIDRangeLabel->Caption(), "(16 to 90)");
            EXPECT_EQ(s.FileNameLength->GetAsInteger(), 30);
            EXPECT_EQ(s.FolderNameLength->GetAsInteger(), 57) << "raised to the longest";
            EXPECT_EQ(s.ArchiveIDLength->GetAsInteger(), 20);
            Grab(s, "CatalogFSizeForm");
            // 56 is refused, 57 taken.
            TypeInto(*s.FolderNameLength, "56");
            Driver.Key(VK_TAB);
            Driver.RunPending();
            EXPECT_TRUE(s.FolderNameLength->Focused());
            EXPECT_EQ(Texts(), std::vector<std::string>{"Value is not within required range"});
            TypeInto(*s.FolderNameLength, "57");
            Driver.Key(VK_TAB);
            Driver.RunPending();
            EXPECT_FALSE(s.FolderNameLength->Focused());
        },
        mrCancel);
    Click(*Form->ItemLengthBtn);
    EXPECT_EQ(Windows, std::vector<std::string>{"message Determining Minimum Settings"});
    EXPECT_FALSE(Msg->Visible());
    EXPECT_EQ(CatSizes(), (std::vector<int>{30, 60, 20})) << "Cancel changes nothing";
    EXPECT_EQ(RecordSizes(), (std::vector<int>{30, 40, 20}));
}

TEST_F(AdjustSizesTest, UseMinimumsThenAdjustShrinksTheTableToTheLongestValues) {
    Open();
    Driver.AnswerWith([&](TCustomForm& f) {
        auto& s = dynamic_cast<TCatalogFSizeForm&>(f);
        Click(*s.BitBtn4);
        EXPECT_EQ(s.FileNameLength->GetAsInteger(), 22);
        EXPECT_EQ(s.FolderNameLength->GetAsInteger(), 57);
        EXPECT_EQ(s.ArchiveIDLength->GetAsInteger(), 16);
        Click(*s.BitBtn1);
    });
    Click(*Form->ItemLengthBtn);
    EXPECT_EQ(Texts(), std::vector<std::string>{});
    EXPECT_EQ(Windows,
              (std::vector<std::string>{"message Determining Minimum Settings",
                                        "progress Adjusting Catalog Table To Accommodate New Settings"}));
    EXPECT_FALSE(Progress->Visible());
    EXPECT_EQ(CatSizes(), (std::vector<int>{22, 57, 16}));
    EXPECT_EQ(RecordSizes(), (std::vector<int>{22, 57, 16}));
    EXPECT_EQ(GridRows()[0], (std::vector<std::string>{"Games", "22", "57", "16"}));
    // The entries survive the restructure.
    auto cat = Table("Games_CAT");
    cat->Open();
    EXPECT_EQ(cat->RecordCount(), 2);
    cat->Last();
    EXPECT_EQ(cat->FieldByName("FolderName")->AsString(), "\\" + std::string(56, 'F'));
}

TEST_F(AdjustSizesTest, AFailedRestructureKeepsTheDialogOpen) {
    Open();
    bool stayedOpen = false;
    Driver.AnswerWith(
        [&](TCustomForm& f) {
            auto& s = dynamic_cast<TCatalogFSizeForm&>(f);
            auto fault = FailFilesOf("Games_CAT");
            Click(*s.BitBtn1);
            stayedOpen = s.ModalResult() == mrNone;
        },
        mrCancel);
    Click(*Form->ItemLengthBtn);
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(Texts(), std::vector<std::string>{
                           "Error Restructuring Catalog File - You May Need To Restore A Backup Copy"});
    EXPECT_EQ(platform::BeepHistory(), std::vector<uint32_t>{16});
    EXPECT_FALSE(Progress->Visible());
    EXPECT_EQ(RecordSizes(), (std::vector<int>{30, 40, 20}));
}

TEST_F(CatalogFormsTest, AdjustSizesOfAnEmptyCatalogKeepsTheBounds) {
    MakeCatalog("Games");
    Open();
    Driver.AnswerWith(
        [&](TCustomForm& f) {
            auto& s = dynamic_cast<TCatalogFSizeForm&>(f);
            EXPECT_EQ(s.FileNameRangeLabel->Caption(), "(16 to 200)");
            EXPECT_EQ(s.FolderNameRangeLabel->Caption(), "(16 to 200)");
            EXPECT_EQ(s.ArchiveIDRangeLabel->Caption(), "(16 to 90)");
            EXPECT_EQ(s.MinFileName + s.MinFolderName + s.MinArchiveID, 48);
        },
        mrCancel);
    Click(*Form->ItemLengthBtn);
    EXPECT_EQ(Windows, std::vector<std::string>{}) << "nothing to walk: no message";
}

TEST_F(CatalogFormsTest, AdjustSizesWithNoCatalogs) {
    Open();
    Click(*Form->ItemLengthBtn);
    EXPECT_EQ(Texts(), std::vector<std::string>{"Error Determining Minimum Settings"});
    EXPECT_EQ(platform::BeepHistory(), std::vector<uint32_t>{16});
    EXPECT_EQ(Driver.Shown.size(), 1u) << "the dialog is not shown";
}

// ---- Resize warning ----

struct ResizeWarningTest : CatalogFormsTest {
    TResizeWarningForm* Warning = nullptr;
    void SetUp() override {
        CatalogFormsTest::SetUp();
        MakeCatalog("Games", {16, 60, 16});
        CurrentCatalogName = "Games";
        Warning = TCustomForm::Create<TResizeWarningForm>(Application);
        Warning->Table->SetDatabaseName(CatalogDataFolder);
        Warning->Table->SetTableName(CurrentCatalogName + "_CAT");
        const std::pair<TPanel*, const char*> numbers[] = {
            {Warning->CatalogFileNameLengthPanel, "16"},  {Warning->CatalogFolderNameLengthPanel, "60"},
            {Warning->CatalogArchiveIDLengthPanel, "16"}, {Warning->FoundFileNameLengthPanel, "30"},
            {Warning->FoundFolderNameLengthPanel, "45"},  {Warning->FoundArchiveIDLengthPanel, "12"}};
        for (const auto& [panel, text] : numbers) panel->SetCaption(text);
    }
    void TearDown() override {
        Warning->Free();
        CatalogFormsTest::TearDown();
    }
    TModalResult Show(std::function<void()> act) {
        Driver.AnswerWith([&](TCustomForm&) { act(); }, mrCancel);
        return Warning->ShowModal();
    }
};

TEST_F(ResizeWarningTest, AdjustSettingsTakesTheLargerOfEachPair) {
    EXPECT_EQ(Warning->Caption(), "Catalog Item Size Re-Adjustment(s) Required");
    EXPECT_EQ(Warning->HelpContext, 57);
    EXPECT_EQ(Warning->BitBtn1->Caption(), "&Adjust Settings");
    EXPECT_EQ(Show([&] {
                  Grab(*Warning, "ResizeWarningForm");
                  Click(*Warning->BitBtn1);
              }),
              mrOk);
    EXPECT_EQ(Texts(), std::vector<std::string>{});
    EXPECT_EQ(Windows,
              std::vector<std::string>{"progress Adjusting Catalog Table To Accommodate New Settings"});
    EXPECT_EQ(CatSizes(), (std::vector<int>{30, 60, 16}));
    EXPECT_EQ(RecordSizes(), (std::vector<int>{30, 60, 16}));
}

TEST_F(ResizeWarningTest, CancelLeavesTableAndRecordByteIdentical) {
    const auto cat = Snapshot("Games_CAT");
    const auto cfg = Snapshot("CatalogConfigs");
    EXPECT_EQ(Show([&] { Click(*Warning->CancelBtn); }), mrCancel);
    EXPECT_TRUE(Snapshot("Games_CAT") == cat) << "files changed";
    EXPECT_TRUE(Snapshot("CatalogConfigs") == cfg) << "files changed";
}

TEST_F(ResizeWarningTest, Failures) {
    struct Case {
        const char* What;
        std::string Current;
        const char* FailOn;
        std::vector<std::string> Messages;
    } cases[] = {
        {"restructure",
         "Games",
         "Games_CAT",
         {"Error Restructuring Catalog File - You May Need To Restore A Backup Copy",
          "Error Updating Catalog Configuration"}},
        {"no record", "Other", "", {"Cannot Find This Catalog's Configuration Record To Modify"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        ClearShown();
        CurrentCatalogName = c.Current;
        const auto cfg = Snapshot("CatalogConfigs");
        TModalResult result;
        {
            auto fault = FailFilesOf(c.FailOn[0] ? c.FailOn : "(none)");
            result = Show([&] { Click(*Warning->BitBtn1); });
        }
        EXPECT_EQ(result, mrCancel);
        EXPECT_EQ(Texts(), c.Messages);
        EXPECT_EQ(platform::BeepHistory(), std::vector<uint32_t>(c.Messages.size(), 16));
        EXPECT_TRUE(Snapshot("CatalogConfigs") == cfg) << "files changed";
        EXPECT_FALSE(Progress->Visible());
    }
}

}  // namespace
