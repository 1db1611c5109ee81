#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cataloging/dialogs/FileNotFoundForm.h"
#include "cataloging/editors/EditFileCommentForm.h"
#include "cataloging/testsupport/EditorFixture.h"
#include "controls/entry/CtlNumericField.h"
#include "controls/grid/CtlDbTable.h"
#include "framework/dbctrls/DBCtrls.h"
#include "framework/stdctrls/Buttons.h"
#include "framework/stdctrls/CheckBox.h"
#include "framework/stdctrls/Edit.h"
#include "framework/stdctrls/FileCtrl.h"
#include "framework/stdctrls/GroupBox.h"
#include "framework/stdctrls/Label.h"
#include "framework/stdctrls/Memo.h"
#include "framework/stdctrls/RadioButton.h"
#include "platform/testsupport/UserEnv.h"

namespace cataloging::editortest {
namespace {

using V = std::vector<std::string>;

class FileCommentEditorTest : public EditorTest {
protected:
    TEditFileCommentForm* Form = nullptr;
    void TearDown() override {
        if (Form) Form->Free();
        EditorTest::TearDown();
    }
    TEditFileCommentForm& Open(const TCommentEditorSpec& Spec, bool Show = true) {
        if (Form) Form->Free();
        Form = TCustomForm::Create<TEditFileCommentForm>(Application);
        Form->Spec() = Spec;
        Form->OpenTables();
        if (Show) {
            Form->Show();
            Driver.RunPending();
        }
        return *Form;
    }
    int FileCommentColumnWidth(const std::string& Field) {
        for (int32_t i = 0; i < Form->Table->Columns().Count(); ++i)
            if (Form->Table->Columns().Column(i)->DataField() == Field)
                return Form->Table->Columns().Column(i)->Width();
        ADD_FAILURE() << Field;
        return 0;
    }
    std::string Current() { return Form->CatalogTable->FieldByName("FileName")->AsString(); }
    std::string Field(const char* Name) { return Form->CatalogTable->FieldByName(Name)->AsString(); }
    V Visible() {
        V names;
        dbsql::TDbTable& t = *Form->CatalogTable;
        const TBookmark here = t.GetBookmark();
        t.First();
        while (!t.Eof()) {
            names.push_back(t.FieldByName("FileName")->AsString());
            t.Next();
        }
        if (!here.empty()) t.GotoBookmark(here);
        return names;
    }
    void GoTo(const std::string& Name) {
        ASSERT_TRUE(Form->CatalogTable->Locate("FileName", Variant(Name), 0)) << Name;
    }
    // The stored values of an entry, read past the editor's view.
    std::pair<std::string, std::string> Stored(const std::string& Name) {
        auto t = OpenTable("Games_CAT");
        EXPECT_TRUE(t->Locate("FileName", Variant(Name), 0)) << Name;
        return {t->FieldByName("Comment")->AsString(), t->FieldByName("CategoryCode")->AsString()};
    }
};

TCommentEditorSpec View(uint8_t Mode, V Criteria = {}, uint8_t Op = 0) {
    TCommentEditorSpec s;
    s.FilterMode = Mode;
    s.Criteria = std::move(Criteria);
    s.CompareOp = Op;
    return s;
}

TEST_F(FileCommentEditorTest, EachViewShowsTheEntriesItsCriteriaSelect) {
    MakeTwoVolumeCatalog();
    auto sized = [](uint8_t Op, int64_t Size) {
        TCommentEditorSpec s = View(cefFileSize, {}, Op);
        s.SizeValue = Size;
        return s;
    };
    auto dated = [](uint8_t Op, TDateTime Day) {
        TCommentEditorSpec s = View(cefFileDate, {}, Op);
        s.DateValue = Day + 0.75;  // the time of day does not count
        return s;
    };
    auto keywords = [](uint8_t Op, int Count) {
        TCommentEditorSpec s = View(cefKeywords, {"DISK BACKUP"}, Op);
        s.KeywordCount = Count;
        return s;
    };
    struct TCase {
        const char* What;
        TCommentEditorSpec Spec;
        V Shown;
    } cases[] = {
        {"all",
         View(cefAll),
         {"GAME.EXE", "MANUAL.DOC", "README.TXT", "README.TXT <DOCS/>", "SAVE.DAT", "SRC.ARJ"}},
        {"volume mask",
         View(cefVolumeLabel, {"backup*"}),
         {"MANUAL.DOC", "README.TXT", "README.TXT <DOCS/>", "SRC.ARJ"}},
        {"any volume line", View(cefVolumeLabel, {"NONE", "GAMES02"}), {"GAME.EXE", "SAVE.DAT"}},
        {"member suffix cut", View(cefFileName, {"README.TXT"}), {"README.TXT", "README.TXT <DOCS/>"}},
        {"name mask", View(cefFileName, {"*.D??"}), {"MANUAL.DOC", "SAVE.DAT"}},
        {"folder mask", View(cefFolderName, {"*GAMES*"}), {"GAME.EXE", "SAVE.DAT"}},
        {"archive mask", View(cefArchiveID, {"*.ARJ"}), {"README.TXT <DOCS/>"}},
        {"size GE, past 32 bits", sized(ccGreaterEqual, 1000), {"GAME.EXE", "MANUAL.DOC"}},
        {"size LT", sized(ccLess, 10), {"SAVE.DAT"}},
        {"size NE",
         sized(ccNotEqual, 10),
         {"GAME.EXE", "MANUAL.DOC", "README.TXT <DOCS/>", "SAVE.DAT", "SRC.ARJ"}},
        {"date EQ", dated(ccEqual, EncodeDate(2024, 3, 5)), {"README.TXT", "SAVE.DAT"}},
        {"date LT", dated(ccLess, EncodeDate(2024, 1, 1)), {"GAME.EXE"}},
        {"date GT", dated(ccGreater, EncodeDate(2024, 3, 5)), {"README.TXT <DOCS/>"}},
        {"no category", View(cefCategory, {""}), {"GAME.EXE", "README.TXT", "SRC.ARJ"}},
        {"category", View(cefCategory, {"DOCS"}), {"MANUAL.DOC", "README.TXT <DOCS/>"}},
        {"phrase", View(cefCommentText, {"DISK"}), {"MANUAL.DOC", "README.TXT <DOCS/>"}},
        {"phrase over a line break", View(cefCommentText, {"OF SAVED"}), {"SAVE.DAT"}},
        {"all keywords", keywords(0, 0), {"MANUAL.DOC"}},
        {"at least 1 keyword", keywords(1, 1), {"MANUAL.DOC", "README.TXT <DOCS/>", "SAVE.DAT"}},
        {"at least 2 keywords", keywords(1, 2), {"MANUAL.DOC"}},
        {"no keyword at all", View(cefKeywords, {"   "}), {}},
        {"empty comment", View(cefEmptyComment), {"GAME.EXE", "README.TXT", "SRC.ARJ"}},
    };
    for (const TCase& c : cases) {
        Open(c.Spec, false);
        EXPECT_EQ(Visible(), c.Shown) << c.What;
    }
}

TEST_F(FileCommentEditorTest, AVolumesViewTakesItsLabelLiterally) {
    // Labels a user may give a disk as its alias, each beside a volume its wildcards would match.
    const V labels{"DISK*", "DISKETTE", "A?C", "ABC", "V[1]", "V1"};
    for (const std::string& label : labels) {
        platform::testsupport::TTempFolder volume;
        volume.WriteFile(label + ".TXT", "x");
        CatalogByRun('F', volume, label);
    }
    for (const std::string& label : labels) {
        Open(VolumeEntriesView(label), false);
        EXPECT_EQ(Visible(), V{label + ".TXT"}) << label;
    }
}

TEST_F(FileCommentEditorTest, TheImportViewShowsTheListedTagsAndAsksForEachOnlyOnce) {
    MakeTwoVolumeCatalog();
    const int32_t game = TagOf("GAME.EXE"), save = TagOf("SAVE.DAT"), readme = TagOf("README.TXT");
    {
        dbsql::TDbTable t(nullptr);
        t.SetDatabaseName("P:\\");
        t.SetTableName("ImportCmtPtrs");
        catalog::DefineTable(t, {"ImportCmtPtrs", {{"FTag", ftInteger, 0, true}}, {{"", "FTag", ixPrimary}}});
        t.CreateTable();
        t.Open();
        for (int tag : {game, save}) {
            t.Append();
            t.FieldByName("FTag")->SetAsInteger(tag);
            t.Post();
        }
    }
    Open(View(cefImported), false);
    EXPECT_EQ(Visible(), (V{"GAME.EXE", "SAVE.DAT"}));
    EXPECT_TRUE(Form->Filter.IsKept(game));
    EXPECT_TRUE(Form->Filter.IsKept(save));
    EXPECT_FALSE(Form->Filter.IsKept(readme));
}

TEST_F(FileCommentEditorTest, APostedCommentKeepsTheEntryInTheEmptyCommentViewAndAdvances) {
    MakeTwoVolumeCatalog();
    Open(View(cefEmptyComment));
    ASSERT_EQ(Current(), "GAME.EXE");
    Form->CatalogTable->Edit();
    Form->CatalogTable->FieldByName("Comment")->SetAsString("Installer");
    Form->CatalogTable->Post();
    EXPECT_EQ(Current(), "README.TXT") << "a user's post advances";
    EXPECT_EQ(Visible(), (V{"GAME.EXE", "README.TXT", "SRC.ARJ"})) << "the commented entry stays in view";
    EXPECT_EQ(Form->LastComment(), "Installer");
    EXPECT_EQ(Stored("GAME.EXE").first, "Installer");
}

TEST_F(FileCommentEditorTest, AFullListOfKeptTagsIsAnnouncedOnce) {
    MakeTwoVolumeCatalog();
    Open(View(cefEmptyComment));
    Form->Filter.KeptLimit = 1;
    for (int i = 0; i < 2; ++i) {
        Form->CatalogTable->Edit();
        Form->CatalogTable->FieldByName("Comment")->SetAsString("x");
        Form->CatalogTable->Post();
    }
    const V expected{
        "An Internal Buffer Has Completely Filled.\r\n\r\nChanging A Category Or Comment Could Result In "
        "That File "
        "Entry \"Disappearing\" From This List.\r\n\r\nDon't Worry... No Data Loss Has Occurred.  It Might "
        "Be "
        "Better To Exit This Editor And Then Come Back."};
    EXPECT_EQ(Messages(), expected);
    EXPECT_EQ(Form->Filter.KeptCount(), 1u);
}

TEST_F(FileCommentEditorTest, GrabButtonsCopyNonBlankValuesFromTheirNeighbour) {
    using P = std::pair<std::string, std::string>;
    for (const char* name : {"A.TXT", "B.TXT", "C.TXT", "D.TXT"}) Disk.WriteFile(name, "x");
    CatalogByRun('D', Disk, "V");
    Describe("A.TXT", "", "first");
    Describe("C.TXT", "GAME", " ");
    Open(View(cefAll));
    ASSERT_EQ(Current(), "A.TXT");
    Form->GrabAboveClick();
    EXPECT_EQ(Current(), "A.TXT");
    EXPECT_EQ(Stored("A.TXT"), (P{"first", ""})) << "the first entry: nothing happens";

    GoTo("B.TXT");
    Form->GrabBelowClick();
    EXPECT_EQ(Stored("B.TXT"), (P{"", "GAME"})) << "a blank comment below: only the category";
    EXPECT_EQ(Current(), "B.TXT") << "Grab Below never advances";

    Form->GrabAboveClick();
    EXPECT_EQ(Stored("B.TXT"), (P{"first", "GAME"})) << "the blank category above is not copied";
    EXPECT_EQ(Current(), "C.TXT") << "Grab Above advances when the box is checked";
    EXPECT_EQ(Form->LastComment(), "first");

    GoTo("D.TXT");
    Form->AdvanceCheck->SetChecked(false);
    Form->GrabLastClick();
    EXPECT_EQ(Stored("D.TXT"), (P{"first", "GAME"})) << "the last values are those of the last post";
    EXPECT_EQ(Current(), "D.TXT");
}

TEST_F(FileCommentEditorTest, ZapClearsBothAndUndoRestoresThem) {
    MakeTwoVolumeCatalog();
    Open(View(cefAll));
    GoTo("README.TXT");
    Form->ZapClick();
    EXPECT_FALSE(Form->UndoZapBtn->Enabled()) << "nothing to clear";

    GoTo("SAVE.DAT");
    Form->ZapClick();
    EXPECT_EQ(Stored("SAVE.DAT"), (std::pair<std::string, std::string>{"", ""}));
    EXPECT_EQ(Current(), "SAVE.DAT");
    ASSERT_TRUE(Form->UndoZapBtn->Enabled());
    Form->UndoZapClick();
    EXPECT_EQ(Stored("SAVE.DAT"), (std::pair<std::string, std::string>{"Backup of\r\nsaved game", "GAME"}));
    EXPECT_FALSE(Form->UndoZapBtn->Enabled());

    Form->ZapClick();
    Form->CatalogTable->First();
    EXPECT_FALSE(Form->UndoZapBtn->Enabled()) << "moving away ends the undo";
}

TEST_F(FileCommentEditorTest, CopyToBlankFillsOnlyEntriesWithBothFieldsBlankAboveAndBelow) {
    MakeTwoVolumeCatalog();
    Open(View(cefAll));
    GoTo("README.TXT <DOCS/>");
    Form->CopyToBlankClick();
    EXPECT_EQ(Current(), "README.TXT <DOCS/>") << "back where it started";
    for (const char* blank : {"GAME.EXE", "README.TXT", "SRC.ARJ"})
        EXPECT_EQ(Stored(blank), (std::pair<std::string, std::string>{"Disk notes", "DOCS"}))
            << blank << ": blank, above or below";
    EXPECT_EQ(Stored("MANUAL.DOC").first, "disk backup manual");
    EXPECT_EQ(Stored("SAVE.DAT").first, "Backup of\r\nsaved game");
}

TEST_F(FileCommentEditorTest, ClosingWithAPendingEditAsksFirst) {
    MakeTwoVolumeCatalog();
    Open(View(cefAll));
    Form->CatalogTable->Edit();
    Form->CatalogTable->FieldByName("Comment")->SetAsString("draft");
    Driver.Answer(mrNo);
    Form->CloseBtnClick();
    EXPECT_EQ(Messages(), V{TEditFileCommentForm::LoseChangesText});
    EXPECT_EQ(Form->CatalogTable->State(), dsEdit) << "No keeps the edit";
    Driver.Answer(mrYes);
    Form->CloseBtnClick();
    EXPECT_EQ(Form->CatalogTable->State(), dsBrowse);
    EXPECT_EQ(Stored("GAME.EXE").first, "  \r\n ");
}

TEST_F(FileCommentEditorTest, TheCategoryButtonNeedsAnEntry) {
    Open(View(cefAll));
    Form->CategoryBtnClick();
    EXPECT_EQ(Messages(), V{"No File Entry Selected"});
}

TEST_F(FileCommentEditorTest, OpenFileRefusesMembersLaunchesFoundFilesAndRetriesOnAnotherDrive) {
    MakeTwoVolumeCatalog();
    Open(View(cefAll));
    std::vector<std::string> launched;
    Form->Launch = [&](const std::string& Path) { launched.push_back(Path); };

    GoTo("README.TXT <DOCS/>");
    Form->OpenFile();
    EXPECT_EQ(Messages(),
              V{"Korvane Does Not Presently Have The Ability To Open A File Inside Of An Archive File"});
    EXPECT_TRUE(launched.empty());

    GoTo("README.TXT");
    Form->OpenFile();
    EXPECT_EQ(launched, V{"D:\\README.TXT"});

    // MANUAL.DOC is no longer on D: but on E:.
    std::filesystem::remove(Disk / "DOCS/MANUAL.DOC");
    Other.WriteFile("DOCS/MANUAL.DOC", "m");
    GoTo("MANUAL.DOC");
    Driver.Shown.clear();
    Driver.AnswerWith([](TCustomForm& F) {
        auto* retry = dynamic_cast<TFileNotFoundForm*>(&F);
        ASSERT_NE(retry, nullptr);
        retry->DriveSelect->SetDrive('e');
        F.SetModalResult(mrRetry);
    });
    Form->OpenFile();
    EXPECT_EQ(launched, (V{"D:\\README.TXT", "E:\\DOCS\\MANUAL.DOC"}));
}

TEST_F(FileCommentEditorTest, AFileWithoutAProgramShowsTheLaunchersError) {
    // A private desktop that knows no program, and no program to start: the launcher reports
    // that no program is associated (1155).
    platform::testsupport::ScopedUserEnv desktop;
    desktop.Set("PATH", desktop.Root());
    Disk.WriteFile("DATA.QZX", std::string("\x00\x01\x02binary", 9));
    CatalogByRun('D', Disk, "BACKUP01");
    Open(View(cefAll));
    GoTo("DATA.QZX");
    Form->OpenFile();
    EXPECT_EQ(Messages(), V{"Error #1155 Occurred While Attempting To Open The Selected File"});
}

TEST_F(FileCommentEditorTest, TheLayoutFollowsTheWindowWidth) {
    MakeTwoVolumeCatalog();
    Open(View(cefAll));
    Form->SetWidth(800);
    Driver.RunPending();
    EXPECT_EQ(Form->FileNameBox->Width(), 401);
    EXPECT_EQ(Form->FolderNameBox->Width(), 401);
    EXPECT_EQ(Form->Navigator->Width(), 346);
    EXPECT_EQ(Form->GrabAboveBtn->Width(), (346 - 6) / 3);
    EXPECT_EQ(Form->CloseBtn->Width(), 800 - 346 - 347);
    EXPECT_TRUE(Form->AttributeBox->Visible());
    Form->SetWidth(700);
    Driver.RunPending();
    EXPECT_FALSE(Form->AttributeBox->Visible());
    EXPECT_FALSE(Form->AttributeLabel->Visible());

    Form->ShowDateTimeCheck->SetChecked(false);
    int hidden = 0;
    for (int32_t i = 0; i < Form->Table->Columns().Count(); ++i) {
        const auto* c = Form->Table->Columns().Column(i);
        if (c->DataField() == "DateModified" || c->DataField() == "TimeModified") hidden += c->Hidden();
    }
    EXPECT_EQ(hidden, 2);
    Form->SetWidth(800);
    Driver.RunPending();
    ASSERT_TRUE(Driver.Grab(*Form, ::testing::TempDir() + "/file-comment-editor.png"));
}

TEST_F(FileCommentEditorTest, WideNamesWidenTheirColumns) {
    Disk.WriteFile(std::string(40, 'W') + ".TXT", "x");
    CatalogByRun('D', Disk, "BACKUP01");
    Open(View(cefAll), false);
    Form->CalculateColumnWidths();
    EXPECT_GT(FileCommentColumnWidth("FileName"), 70);
    EXPECT_EQ(FileCommentColumnWidth("FolderName"), 70) << "narrow values keep the design width";
}

TEST_F(FileCommentEditorTest, CancelInTheProgressWindowStopsTheMeasuring) {
    // The first entry is narrow; the two after it would widen the name column.
    Disk.WriteFile("A.TXT", "x");
    for (const char* wide : {"W1", "W2"}) Disk.WriteFile(wide + std::string(40, 'W') + ".TXT", "x");
    CatalogByRun('D', Disk, "BACKUP01");
    catalog::TProgressForm& progress = MakeProgressWindow();
    Open(View(cefAll), false);
    // First, then Next after the first entry.
    CancelAfterScrolls(*Form->CatalogTable, 2);
    Form->CalculateColumnWidths();
    EXPECT_EQ(FileCommentColumnWidth("FileName"), 70) << "the wide names were never measured";
    EXPECT_EQ(progress.ProgressBar->Progress(), 33) << "one entry of three";
    EXPECT_FALSE(progress.ProgressShown);
    EXPECT_EQ(Current(), "A.TXT") << "back on the first entry";
}

// ---- Criteria dialogs ----

TEST_F(EditorTest, TheCommentDialogCountsWordsAndRefusesAnEmptyText) {
    auto* f = TCustomForm::Create<TGetCommentForm>(Application);
    f->WordCount->SetText("1");
    EXPECT_EQ(f->WordsLabel->Caption(), "Word)");
    f->WordCount->SetText("2");
    EXPECT_EQ(f->WordsLabel->Caption(), "Words)");

    TCommentEditorSpec spec;
    f->CommentText->Lines().SetText("  \r\n   ");
    EXPECT_FALSE(f->FillSpec(spec));
    EXPECT_EQ(Messages(), V{"No Comment Text Was Specified"});

    f->CommentText->Lines().SetText(" disk \r\n\r\n backup ");
    f->SomeKeywordsBtn->SetChecked(true);
    ASSERT_TRUE(f->FillSpec(spec));
    EXPECT_EQ(spec.Criteria, V{"DISK BACKUP"});
    EXPECT_EQ(spec.FilterMode, cefKeywords);
    EXPECT_EQ(spec.CompareOp, 1);
    EXPECT_EQ(spec.KeywordCount, 2);
    f->AnywhereBtn->SetChecked(true);
    ASSERT_TRUE(f->FillSpec(spec));
    EXPECT_EQ(spec.FilterMode, cefCommentText);
    f->Free();
}

TEST_F(EditorTest, TheSizeDialogsButtonsGiveTheComparison) {
    auto* f = TCustomForm::Create<TGetFileSizeDateForm>(Application);
    EXPECT_EQ(f->CompareOp(), 5) << "greater or equal at first";
    const std::pair<TRadioButton*, int> cases[] = {{f->GreaterEqualBtn, 5}, {f->GreaterBtn, 4},
                                                   {f->LessEqualBtn, 3},    {f->LessBtn, 2},
                                                   {f->NotEqualBtn, 1},     {f->EqualsBtn, 0}};
    for (auto [button, op] : cases) {
        button->SetChecked(true);
        EXPECT_EQ(f->CompareOp(), op) << button->Caption();
    }
    // The size is typed into a number field: letters and blanks are refused, digits are kept up
    // to eleven.
    f->Show();
    Driver.RunPending();
    f->SizeField->SetFocus();
    Driver.RunPending();
    Driver.Type("12a 34");
    EXPECT_EQ(f->SizeValue(), 1234);
    Driver.Type("5678901234");
    EXPECT_EQ(f->SizeField->Buffer().size(), 11u);
    f->UseDate();
    EXPECT_EQ(f->Prompt->Caption(), "Enter File Date Here");
    EXPECT_EQ(f->CompareGroup->Caption(), "Include File In List If File Date");
    EXPECT_FALSE(f->SizeField->Visible());
    f->Free();
}

}  // namespace
}  // namespace cataloging::editortest
