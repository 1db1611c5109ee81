// The main window's report commands fill the file report window's parameter block, build it and
// show it modeless (or release it); the comment editor commands open the editor on their view.

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "app/MainUnit.h"
#include "app/testsupport/MainWindowFixture.h"
#include "catalog/GetStringForm.h"
#include "catalog/Globals.h"
#include "catalog/ProgramTables.h"
#include "catalog/ProgressForm.h"
#include "cataloging/editors/CategoryForm.h"
#include "cataloging/editors/CommentFilter.h"
#include "cataloging/editors/EditFileCommentForm.h"
#include "dbsql/components/DbQuery.h"
#include "dbsql/components/DbTable.h"
#include "framework/core/Seams.h"
#include "framework/data/Fields.h"
#include "framework/stdctrls/Buttons.h"
#include "framework/stdctrls/CheckBox.h"
#include "framework/stdctrls/Edit.h"
#include "framework/stdctrls/Memo.h"
#include "framework/stdctrls/StdCtrls.h"
#include "reports/custom/CustomFileReportForm.h"
#include "reports/custom/CustomSummaryReportForm.h"
#include "reports/filereport/DupUniqueFinder.h"
#include "reports/filereport/FileReportScreenForm.h"
#include "reports/summary/SummaryReportScreenForm.h"
#include "reports/volsummary/VolSummaryScreenForm.h"
#include "cataloging/editors/SelectVolumeForms.h"
#include "reports/testsupport/CatalogRunHelper.h"

using namespace app;
using namespace framework;
using reports::TFileReportScreenForm;

namespace {

using TItems = std::array<uint8_t, reports::kReportItems>;

// The main window over catalog CAT1, made by a run of volume VOL1: A.TXT, B.DOC and SUB\C.TXT;
// A.TXT carries the comment "ALPHA BETA GAMMA".
class ReportCommandsTest : public app::testsupport::TMainWindowFixture {
protected:
    void SetUp() override {
        TMainWindowFixture::SetUp();
        SetSleepHandler([](uint32_t) {});
        Driver.Strict = false;
        MakeCatalogConfigs();
        {
            dbsql::TDbTable categories;
            categories.SetDatabaseName("D:\\");
            categories.SetTableName("Categories");
            catalog::DefineTable(categories, catalog::CategoriesSchema());
            categories.CreateTable();
        }
        Progress = TCustomForm::Create<catalog::TProgressForm>(Application);
        catalog::ProgressForm = Progress;
        reports::testsupport::CreateRunCatalog("CAT1");
        reports::testsupport::CatalogVolumeByRun(
            "D=" + Root.Path(), "VOL1", {{"A.TXT", "aaaa"}, {"B.DOC", "bb"}, {"SUB/C.TXT", "c"}}, 0x1234);
        dbsql::TDbTable cat;
        cat.SetDatabaseName("D:\\");
        cat.SetTableName("CAT1_CAT");
        cat.Open();
        for (cat.First(); !cat.Eof(); cat.Next())
            if (cat.FieldByName("FileName")->AsString() == "A.TXT") {
                cat.Edit();
                cat.FieldByName("Comment")->SetAsString("ALPHA BETA GAMMA");
                cat.Post();
            }
        cat.Close();
        Driver.Shown.clear();
    }
    void TearDown() override {
        for (TFileReportScreenForm* f : Reports()) f->Close();
        Driver.RunPending();
        catalog::ProgressForm = nullptr;
        Progress->Free();
        SetSleepHandler({});
        TMainWindowFixture::TearDown();
    }
    static std::vector<TFileReportScreenForm*> Reports() {
        std::vector<TFileReportScreenForm*> out;
        for (int i = 0; i < Screen->FormCount(); ++i)
            if (auto* f = dynamic_cast<TFileReportScreenForm*>(Screen->Forms(i)); f && f->Visible()) out.push_back(f);
        return out;
    }
    // Answers the next one-line prompt with Text, noting its prompt and starting text.
    void AnswerPrompt(const std::string& Text, TModalResult Result = mrOk) {
        Driver.AnswerWith([this, Text, Result](TCustomForm& F) {
            auto& prompt = dynamic_cast<catalog::TGetStringForm&>(F);
            PromptSeen = prompt.Prompt->Caption();
            InitialSeen = prompt.ResultString->Text();
            UpperSeen = prompt.ResultString->CharCase() == ecUpperCase;
            prompt.ResultString->SetText(Text);
            prompt.SetModalResult(Result);
        });
    }
    // Runs a command and returns the report window it left open (none: null).
    TFileReportScreenForm* Command(const std::string& Item) {
        const size_t before = Reports().size();
        Form->RunCommand(Item, nullptr);
        Driver.RunPending();
        auto now = Reports();
        return now.size() > before ? now.back() : nullptr;
    }
    static TItems Sorts(const TFileReportScreenForm& F) {
        TItems out{};
        for (size_t i = 0; i < out.size(); ++i) {
            out[i] = F.SortSpec[i].Priority;
            if (F.SortSpec[i].Priority) {
                EXPECT_EQ(F.SortSpec[i].Direction, 1) << i;
            }
        }
        return out;
    }

    catalog::TProgressForm* Progress = nullptr;
    std::string PromptSeen, InitialSeen;
    bool UpperSeen = false;
};

const TItems kStandardColumns{1, 2, 3, 4, 5, 6, 7, 8, 0, 9, 10, 0};
const TItems kStandardSort{1, 2, 3, 4, 0, 0, 0, 0, 0, 0, 0, 0};

TEST_F(ReportCommandsTest, PromptedReportsFillTitleCriterionColumnsAndSort) {
    struct TCase {
        const char* Item;
        const char* Prompt;
        const char* Answer;
        const char* Title;
        int OpItem;
        uint8_t Op;
        std::string TFileReportScreenForm::*Spec;
    };
    const TCase cases[] = {
        {"DFilesForWildcardFilespec1", "Enter FileSpec To Match", "*.TXT",
         "Files Matching Wildcard FileName \"*.TXT\"", 1, 1, &TFileReportScreenForm::FileNameSpec},
        {"EFilesForWildcardVolumeLabel1", "Enter Wildcard Volume Label To Match (Leave Blank For List)", "V*",
         "Files With Volume Label \"V*\"", 2, 1, &TFileReportScreenForm::VolumeLabelSpec},
        {"FFilesForWildcardFolderName1", "Enter Wildcard Folder Name To Match", "*SUB",
         "Files With Folder Name \"*SUB\"", 3, 1, &TFileReportScreenForm::FolderNameSpec},
        {"GFilesForWildcardArchiveID1", "Enter Wildcard Archive ID To Match", "*",
         "Files With Archive ID \"*\"", 4, 1, &TFileReportScreenForm::ArchiveIDSpec},
        {"JFilesByFilenameCommentText1", "Enter Text To Find In The FileName or Comment", "BETA",
         "Files With \"BETA\" In The FileName/Comment", 1, 14, &TFileReportScreenForm::FileNameSpec},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Item);
        AnswerPrompt(c.Answer);
        TFileReportScreenForm* f = Command(c.Item);
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(PromptSeen, c.Prompt);
        EXPECT_EQ(InitialSeen, std::string(c.Item)[0] == 'J' ? "" : "*");
        EXPECT_TRUE(UpperSeen);
        EXPECT_EQ(f->ReportTitle, c.Title);
        EXPECT_EQ(f->*c.Spec, c.Answer);
        TItems ops{};
        ops[size_t(c.OpItem - 1)] = c.Op;
        EXPECT_EQ(f->Op, ops);
        EXPECT_EQ(f->ColumnPos, kStandardColumns);
        EXPECT_EQ(Sorts(*f), kStandardSort);
        EXPECT_EQ(Form->CurrentFrame, 2);
    }
    // None refuses while reports are open: all five are open at once.
    EXPECT_EQ(Reports().size(), 5u);
    EXPECT_EQ(catalog::OpenReportCount, 5);
}

TEST_F(ReportCommandsTest, ACancelledPromptLeavesNoWindowAndNoMatchAnEmptyOne) {
    AnswerPrompt("*.TXT", mrCancel);
    EXPECT_EQ(Command("DFilesForWildcardFilespec1"), nullptr);
    EXPECT_EQ(catalog::OpenReportCount, 0);
    AnswerPrompt("*.NONE");
    TFileReportScreenForm* f = Command("DFilesForWildcardFilespec1");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->Query->RecordCount(), 0);
    EXPECT_EQ(catalog::OpenReportCount, 1);
}

TEST_F(ReportCommandsTest, ABlankVolumeLabelOffersTheVolumeListAndItsChoiceIsReported) {
    AnswerPrompt("  ");
    Driver.AnswerWith([](TCustomForm& F) {
        auto& list = dynamic_cast<cataloging::TSelectOneVolumeForm&>(F);
        list.SelectClick();
    });
    TFileReportScreenForm* f = Command("EFilesForWildcardVolumeLabel1");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->ReportTitle, "Files With Volume Label \"VOL1\"");
    EXPECT_EQ(f->VolumeLabelSpec, "VOL1");
    EXPECT_EQ(f->Query->RecordCount(), 3);
    // Cancelling the list ends the command without a window.
    AnswerPrompt("");
    Driver.AnswerWith([](TCustomForm& F) { F.SetModalResult(mrCancel); });
    EXPECT_EQ(Command("EFilesForWildcardVolumeLabel1"), nullptr);
    EXPECT_EQ(catalog::OpenReportCount, 1);
}

TEST_F(ReportCommandsTest, DiskSummariesByVolumeAndByFreeSpace) {
    const struct {
        const char* Item;
        const char* Title;
        int SortItem;
        uint8_t Direction;
    } cases[] = {
        {"ADiskSummaryAllDisksSortedByVolumeID1", "Disk Summary Report - All Disks Sorted By Cataloged Volume ID", 1,
         1},
        {"BDiskSummaryAllDisksSortedByHighestFreeSpace1",
         "Disk Summary Report - All Disks Sorted By Descending Free Space", 9, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Item);
        Form->RunCommand(c.Item, nullptr);
        Driver.RunPending();
        reports::TSummaryReportScreenForm* f = nullptr;
        for (int i = 0; i < Screen->FormCount(); ++i)
            if (auto* s = dynamic_cast<reports::TSummaryReportScreenForm*>(Screen->Forms(i)); s && s->Visible() &&
                                                                                             s->Spec.ReportTitle == c.Title)
                f = s;
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(f->Spec.VolumeLabelSpec, "*");
        EXPECT_EQ(f->Spec.Op[0], 1);
        const std::array<uint8_t, reports::kSummaryItems> columns{1, 0, 0, 0, 8, 3, 0, 4, 5, 6, 7, 0, 2, 9};
        EXPECT_EQ(f->Spec.ColumnPos, columns);
        for (int item = 1; item <= reports::kSummaryItems; ++item) {
            const auto& key = f->Spec.SortSpec[size_t(item - 1)];
            EXPECT_EQ(key.Priority, item == c.SortItem ? 1 : 0) << item;
            if (item == c.SortItem) {
                EXPECT_EQ(key.Direction, c.Direction);
            }
        }
        EXPECT_EQ(Form->CurrentFrame, 2);
        f->Close();
        Driver.RunPending();
    }
}

TEST_F(ReportCommandsTest, CustomSummaryReportsOpenOneListAndBringItBack) {
    {
        dbsql::TDbTable defs;
        defs.SetDatabaseName("D:\\");
        defs.SetTableName("CustomSummaryReportDefs");
        catalog::DefineTable(defs, catalog::CustomSummaryReportDefsSchema());
        defs.CreateTable();
    }
    const auto lists = [] {
        std::vector<reports::TCustomSummaryReportForm*> out;
        for (int i = 0; i < Screen->FormCount(); ++i)
            if (auto* f = dynamic_cast<reports::TCustomSummaryReportForm*>(Screen->Forms(i))) out.push_back(f);
        return out;
    };
    Form->RunCommand("CCustomSummaryReports1", nullptr);
    Driver.RunPending();
    ASSERT_EQ(lists().size(), 1u);
    reports::TCustomSummaryReportForm* list = lists()[0];
    EXPECT_TRUE(list->Visible());
    EXPECT_EQ(list->Caption(), "Custom Summary Report Definitions");
    EXPECT_TRUE(catalog::CustomSummaryReportsOpen);
    EXPECT_EQ(catalog::OpenReportCount, 0);
    EXPECT_EQ(Screen->ActiveForm(), list);
    // With the main window in front, a second command brings the same list back to front.
    Form->SetFocus();
    Driver.RunPending();
    ASSERT_EQ(Screen->ActiveForm(), Form);
    Form->RunCommand("CCustomSummaryReports1", nullptr);
    Driver.RunPending();
    EXPECT_EQ(lists(), (std::vector<reports::TCustomSummaryReportForm*>{list}));
    EXPECT_EQ(Screen->ActiveForm(), list);
    EXPECT_EQ(GetActiveWindow(), list->Handle());
    list->Close();
    Driver.RunPending();
    EXPECT_TRUE(lists().empty());
    EXPECT_FALSE(catalog::CustomSummaryReportsOpen);
}

TEST_F(ReportCommandsTest, VolumeSummaryWithFileContentsOpensOverTheCurrentCatalog) {
    auto windows = [] {
        std::vector<reports::TVolSummaryFileContentsScreenForm*> out;
        for (int i = 0; i < Screen->FormCount(); ++i)
            if (auto* w = dynamic_cast<reports::TVolSummaryFileContentsScreenForm*>(Screen->Forms(i));
                w && w->Visible())
                out.push_back(w);
        return out;
    };
    catalog::OpenReportCount = 0;
    Form->RunCommand("MVolumeSummaryFileContents1", nullptr);
    Driver.RunPending();
    ASSERT_EQ(windows().size(), 1u);
    reports::TVolSummaryFileContentsScreenForm* f = windows()[0];
    EXPECT_EQ(Form->CurrentFrame, 2);
    EXPECT_EQ(catalog::OpenReportCount, 1);
    EXPECT_EQ(f->SummaryTable->FieldByName("CatalogVolumeLabel")->AsString(), "VOL1");
    EXPECT_EQ(f->FileTable->RecordCount(), 3);
    f->Close();
    Driver.RunPending();
    EXPECT_EQ(catalog::OpenReportCount, 0);

    // Without a current catalog: the message, and no window.
    catalog::CurrentCatalogName.clear();
    Driver.Shown.clear();
    Form->RunCommand("MVolumeSummaryFileContents1", nullptr);
    Driver.RunPending();
    ASSERT_EQ(Driver.Shown.size(), 1u);
    EXPECT_EQ(Driver.Shown[0].Text.rfind("A Catalog Must Be Selected", 0), 0u);
    EXPECT_TRUE(windows().empty());
}

TEST_F(ReportCommandsTest, CategoryReportTakesTheChosenCode) {
    Driver.AnswerWith(
        [](TCustomForm& F) {
            auto& dialog = dynamic_cast<cataloging::TGetCategoryForm&>(F);
            dialog.Code->SetText("");
            dialog.Description->SetText("No Category");
            dialog.SetModalResult(mrOk);
        });
    TFileReportScreenForm* f = Command("HFilesForACategory1");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->ReportTitle, "Files For Category \"\" (No Category)");
    EXPECT_EQ(f->CategoryCodeValue, "");
    EXPECT_EQ(f->Op[8], 1);
    EXPECT_EQ(f->ColumnPos, kStandardColumns);
}

TEST_F(ReportCommandsTest, CommentReportTitlesFollowTheDialogsChoice) {
    struct TCase {
        const char* Lines;
        int Choice;  // 0 phrase, 1 all keywords, 2 some keywords
        const char* Required;
        const char* Title;
        uint8_t Op;
        const char* Text;
    };
    const TCase cases[] = {
        {"  \r\n \r\n", 0, "1", "Files With Blank Comments", 10, ""},
        {" alpha \r\n\r\n beta", 2, "2", "Files With 2Keywords \"ALPHA BETA\"", 12, "ALPHA BETA"},
        {"alpha\r\nbeta", 1, "1", "Files With All Keywords \"ALPHA BETA\"", 13, "ALPHA BETA"},
        {"beta gamma", 0, "1", "Files With Comments Containing \"BETA GAMMA\"", 1, "BETA GAMMA"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Title);
        std::string caption;
        int help = 0;
        Driver.AnswerWith([&](TCustomForm& F) {
            auto& dialog = dynamic_cast<cataloging::TGetCommentForm&>(F);
            caption = F.Caption();
            help = dialog.HelpContext;
            dialog.CommentText->Lines().SetText(c.Lines);
            (c.Choice == 0 ? dialog.AnywhereBtn : c.Choice == 1 ? dialog.AllKeywordsBtn : dialog.SomeKeywordsBtn)
                ->SetChecked(true);
            dialog.WordCount->SetText(c.Required);
            dialog.SetModalResult(mrOk);
        });
        TFileReportScreenForm* f = Command("IFilesByComment1");
        EXPECT_EQ(caption, "Comment Specification For Report");
        EXPECT_EQ(help, 49);
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(f->ReportTitle, c.Title);
        EXPECT_EQ(f->Op[10], c.Op);
        EXPECT_EQ(f->CommentText, c.Text);
        EXPECT_EQ(f->MatchesRequired, std::stoi(c.Required));
        f->Close();
        Driver.RunPending();
    }
}

TEST_F(ReportCommandsTest, DuplicateAndUniqueReportsTakeTheDialogsOptions) {
    for (bool duplicates : {true, false}) {
        SCOPED_TRACE(duplicates);
        std::string caption;
        Driver.AnswerWith([&](TCustomForm& F) {
            auto& dialog = dynamic_cast<reports::TGetDupUniqueFileReportSpecsForm&>(F);
            caption = F.Caption();
            dialog.UseVersions->SetChecked(false);
            dialog.UseFileSize->SetChecked(true);
            dialog.SetModalResult(mrOk);
        });
        TFileReportScreenForm* f =
            Command(duplicates ? "KDuplicateFilesInCatalog1" : "LUniqueFilesInCatalog1");
        EXPECT_EQ(caption, duplicates ? "Duplicate File Report Specifications" : "Unique File Report Specifications");
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(f->ReportTitle, duplicates ? "Duplicate Files" : "Unique Files");
        EXPECT_EQ(f->OnlyDuplicate, duplicates);
        EXPECT_EQ(f->OnlyUnique, !duplicates);
        EXPECT_TRUE(f->UseFileSize);
        EXPECT_FALSE(f->UseVersions);
    }
    // Cancelling the dialog reports nothing.
    Driver.AnswerWith([](TCustomForm& F) { F.SetModalResult(mrCancel); });
    EXPECT_EQ(Command("KDuplicateFilesInCatalog1"), nullptr);
}

TEST_F(ReportCommandsTest, SortedListingsListEveryFileInTheirOrder) {
    struct TCase {
        const char* Item;
        const char* Title;
        TItems Sort;
    };
    const TCase cases[] = {
        {"ASortByFileName1", "All Files Sorted By FileName", kStandardSort},
        {"BSortByFileExtension1", "All Files Sorted By File Extension", {2, 3, 4, 5, 0, 0, 0, 0, 0, 0, 0, 1}},
        {"CSortByVolumeLabel1", "All Files Sorted By Volume Label", {2, 1, 3, 4, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"DSortByFolderName1", "All Files Sorted By Folder Name", {2, 3, 1, 4, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"ESortByArchiveID1", "All Files Sorted By Archive ID", {2, 3, 4, 1, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"FSortByFileSize1", "All Files Sorted By File Size", {2, 3, 4, 5, 1, 0, 0, 0, 0, 0, 0, 0}},
        {"GSortByFileDateTime1", "All Files Sorted By Date/Time Modified", {2, 3, 4, 5, 0, 1, 0, 0, 0, 0, 0, 0}},
        {"HSortByCategoryCode1", "All Files Sorted Category Code", {2, 3, 4, 5, 0, 0, 0, 0, 1, 0, 0, 0}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Item);
        TFileReportScreenForm* f = Command(c.Item);
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(f->ReportTitle, c.Title);
        EXPECT_EQ(f->FileNameSpec, "*");
        EXPECT_EQ(f->Op, (TItems{1}));
        EXPECT_EQ(Sorts(*f), c.Sort);
        const bool byCategory = c.Item[0] == 'H';
        const TItems allColumns{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 0};
        EXPECT_EQ(f->ColumnPos, byCategory ? allColumns : kStandardColumns);
        EXPECT_EQ(f->Query->RecordCount(), 3);
    }
    // Every listing is still open, each over its own result table.
    auto open = Reports();
    ASSERT_EQ(open.size(), 8u);
    EXPECT_NE(open[0]->ResultTableName, open[1]->ResultTableName);
}

TEST_F(ReportCommandsTest, ReportsNeedACatalogButDuplicatesAndUniquesDoNot) {
    catalog::CurrentCatalogName.clear();
    Form->RunCommand("ASortByFileName1", nullptr);
    ASSERT_FALSE(Driver.Shown.empty());
    EXPECT_EQ(Driver.Shown.back().Text.rfind("A Catalog Must Be Selected", 0), 0u);
    Driver.Shown.clear();
    Driver.AnswerWith([](TCustomForm& F) { F.SetModalResult(mrCancel); });
    Form->RunCommand("KDuplicateFilesInCatalog1", nullptr);
    ASSERT_EQ(Driver.Shown.size(), 1u);
    EXPECT_EQ(Driver.Shown[0].ClassName, "TGetDupUniqueFileReportSpecsForm");
}

TEST_F(ReportCommandsTest, CommentEditorCommandsOpenTheEditorOnTheirView) {
    struct TCase {
        const char* Item;
        const char* Prompt;  // null: no prompt
        uint8_t Mode;
        const char* Criterion;
    };
    const TCase cases[] = {
        {"AByFileSpec1", "Enter FileSpec For File Comment Editor", cataloging::cefFileName, "*.TXT"},
        {"CByFolderName1", "Enter FolderSpec For File Comment Editor", cataloging::cefFolderName, "*.TXT"},
        {"DByArchiveID1", "Enter ArchiveSpec For File Comment Editor", cataloging::cefArchiveID, "*.TXT"},
        {"HByEmptyCategory1", nullptr, cataloging::cefCategory, ""},
        {"JByEmptyFileComment1", nullptr, cataloging::cefEmptyComment, ""},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Item);
        if (c.Prompt) AnswerPrompt("*.TXT");
        cataloging::TCommentEditorSpec spec;
        std::string table;
        Driver.AnswerWith([&](TCustomForm& F) {
            auto& editor = dynamic_cast<cataloging::TEditFileCommentForm&>(F);
            spec = editor.Spec();
            table = editor.CatalogTable->TableName();
        }, mrCancel);
        Form->RunCommand(c.Item, nullptr);
        Driver.RunPending();
        if (c.Prompt) {
            EXPECT_EQ(PromptSeen, c.Prompt);
        }
        EXPECT_EQ(spec.FilterMode, c.Mode);
        EXPECT_EQ(spec.Criteria, (std::vector<std::string>{c.Criterion}));
        EXPECT_EQ(table, "CAT1_CAT");
        EXPECT_EQ(Form->CurrentFrame, 1);
    }
}

TEST_F(ReportCommandsTest, CommentEditorBySizeDateAndCommentTakeTheirDialogs) {
    cataloging::TCommentEditorSpec spec;
    auto editor = [&] {
        Driver.AnswerWith([&](TCustomForm& F) { spec = dynamic_cast<cataloging::TEditFileCommentForm&>(F).Spec(); },
                          mrCancel);
    };
    Driver.AnswerWith([](TCustomForm& F) {
        auto& dialog = dynamic_cast<cataloging::TGetFileSizeDateForm&>(F);
        dialog.GreaterEqualBtn->SetChecked(true);
        dialog.SetModalResult(mrOk);
    });
    editor();
    Form->RunCommand("EByFileSize1", nullptr);
    EXPECT_EQ(spec.FilterMode, cataloging::cefFileSize);
    EXPECT_EQ(spec.CompareOp, cataloging::ccGreaterEqual);

    Driver.AnswerWith([](TCustomForm& F) {
        auto& dialog = dynamic_cast<cataloging::TGetCommentForm&>(F);
        dialog.CommentText->Lines().SetText(" alpha\r\n\r\nbeta ");
        dialog.SomeKeywordsBtn->SetChecked(true);
        dialog.WordCount->SetText("2");
        dialog.SetModalResult(mrOk);
    });
    editor();
    Form->RunCommand("IByFileComment1", nullptr);
    EXPECT_EQ(spec.FilterMode, cataloging::cefKeywords);
    EXPECT_EQ(spec.Criteria, (std::vector<std::string>{"ALPHA BETA"}));
    EXPECT_EQ(spec.CompareOp, 1);
    EXPECT_EQ(spec.KeywordCount, 2);

    // A comment dialog with no text: the error box, no editor.
    Driver.Shown.clear();
    Driver.AnswerWith([](TCustomForm& F) { F.SetModalResult(mrOk); });
    Form->RunCommand("IByFileComment1", nullptr);
    Driver.RunPending();
    ASSERT_EQ(Driver.Shown.size(), 2u);
    EXPECT_EQ(Driver.Shown[1].Text, "No Comment Text Was Specified");
}

TEST_F(ReportCommandsTest, DiskCommentEditorSetUpFailureShowsItsMessage) {
    catalog::CurrentCatalogName = "GONE";
    Form->RunCommand("ModifyDiskComments1", nullptr);
    Driver.RunPending();
    ASSERT_FALSE(Driver.Shown.empty());
    EXPECT_EQ(Driver.Shown.back().Text,
              "An Error Occurred While Trying To Set Up To Initialize The Disk Comment Editor");
    EXPECT_EQ(platform::BeepHistory(), (std::vector<uint32_t>{16}));
}

}  // namespace

TEST_F(ReportCommandsTest, CustomFileReportsCommandTwiceBringsTheOneListToFront) {
    {
        dbsql::TDbTable defs;
        defs.SetDatabaseName("D:\\");
        defs.SetTableName("CustomFileReportDefs");
        catalog::DefineTable(defs, catalog::CustomFileReportDefsSchema());
        defs.CreateTable();
    }
    auto lists = [] {
        std::vector<reports::TCustomFileReportForm*> out;
        for (int i = 0; i < Screen->FormCount(); ++i)
            if (auto* f = dynamic_cast<reports::TCustomFileReportForm*>(Screen->Forms(i)); f && f->Visible())
                out.push_back(f);
        return out;
    };
    Form->RunCommand("OCustomFileReports1", nullptr);
    Driver.RunPending();
    ASSERT_EQ(lists().size(), 1u);
    reports::TCustomFileReportForm* list = lists()[0];
    Form->SetFocus();
    Driver.RunPending();
    ASSERT_EQ(Screen->ActiveForm(), Form);
    Driver.Key(VK_F7);
    Driver.RunPending();
    EXPECT_EQ(lists(), std::vector<reports::TCustomFileReportForm*>{list});
    EXPECT_EQ(Screen->ActiveForm(), list) << "brought to front";
    EXPECT_EQ(catalog::OpenReportCount, 0);
    list->Close();
    Driver.RunPending();
    EXPECT_FALSE(catalog::CustomFileReportsOpen);
}
