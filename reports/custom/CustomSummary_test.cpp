// Stored disk summary reports: the record-to-report mapping, the editor's checks, the list's
// commands and the runs with their prompt, over catalogs made by cataloguing runs.

#include "reports/custom/CustomSummaryReportForm.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "catalog/Globals.h"
#include "catalog/ProgramTables.h"
#include "controls/entry/CtlDateEdit.h"
#include "controls/entry/CtlPictureField.h"
#include "controls/grid/CtlDbDateEdit.h"
#include "controls/grid/CtlDbPictureField.h"
#include "controls/grid/CtlNotebook.h"
#include "dbsql/components/DbTable.h"
#include "framework/data/Fields.h"
#include "framework/dbctrls/DBCtrls.h"
#include "framework/stdctrls/ComboBox.h"
#include "framework/stdctrls/Dialogs.h"
#include "framework/stdctrls/Edit.h"
#include "framework/stdctrls/ExtCtrls.h"
#include "framework/stdctrls/Label.h"
#include "framework/stdctrls/Memo.h"
#include "platform/Beep.h"
#include "reports/testsupport/SummaryReportFixture.h"

namespace reports {
namespace {

using namespace framework;
using TDefinitionFill = std::function<void(TDataSet&)>;

class CustomSummaryTest : public testsupport::SummaryReportTest {
protected:
    void SetUp() override {
        SummaryReportTest::SetUp();
        auto defs = Table("CustomSummaryReportDefs");
        catalog::DefineTable(*defs, catalog::CustomSummaryReportDefsSchema());
        defs->CreateTable();
        catalog::CustomSummaryReportsOpen = false;
    }
    void TearDown() override {
        std::vector<TCustomForm*> windows;
        for (int i = 0; i < Screen->FormCount(); ++i)
            if (dynamic_cast<TSummaryReportScreenForm*>(Screen->Forms(i)) ||
                dynamic_cast<TCustomSummaryReportForm*>(Screen->Forms(i)))
                windows.push_back(Screen->Forms(i));
        for (TCustomForm* w : windows) w->Free();
        Driver.RunPending();
        catalog::CustomSummaryReportsOpen = false;
        SummaryReportTest::TearDown();
    }

    // Stores a definition as the editor makes a new one (no criteria, no columns), with Fill's
    // changes.
    void StoreDefinition(const std::string& Name, const TDefinitionFill& Fill) {
        auto defs = Table("CustomSummaryReportDefs");
        defs->Open();
        defs->Append();
        for (const catalog::TFieldSchema& f : catalog::CustomSummaryReportDefsSchema().Fields)
            if (f.Kind == ftInteger) defs->FieldByName(f.Name)->SetAsInteger(0);
        for (const char* size : {"DiskSize", "DiskClusterSize", "DiskUsed", "DiskFree"})
            defs->FieldByName(size)->SetAsString("0");
        defs->FieldByName("ReportName")->SetAsString(Name);
        defs->FieldByName("CatalogedFrom")->SetAsString("  ");
        defs->FieldByName("MatchesRequired")->SetAsInteger(1);
        defs->FieldByName("ColumnCriteria01")->SetAsInteger(1);
        Fill(*defs);
        defs->Post();
        defs->Close();
    }
    // The stored definition's field values.
    std::string Stored(const std::string& Name, const std::string& Field) {
        auto defs = Table("CustomSummaryReportDefs");
        defs->Open();
        EXPECT_TRUE(defs->FindKey({Variant(Name)})) << Name;
        const std::string value =
            defs->FieldByName(Field)->IsNull() ? "(null)" : defs->FieldByName(Field)->AsString();
        defs->Close();
        return value;
    }
    TCustomSummaryReportForm* OpenList() {
        ShowCustomSummaryReports();
        Driver.RunPending();
        for (int i = 0; i < Screen->FormCount(); ++i)
            if (auto* list = dynamic_cast<TCustomSummaryReportForm*>(Screen->Forms(i))) return list;
        ADD_FAILURE() << "no list window";
        return nullptr;
    }
    std::vector<TSummaryReportScreenForm*> ReportWindows() {
        std::vector<TSummaryReportScreenForm*> out;
        for (int i = 0; i < Screen->FormCount(); ++i)
            if (auto* f = dynamic_cast<TSummaryReportScreenForm*>(Screen->Forms(i))) out.push_back(f);
        return out;
    }
    // Activates the definition Name from the list; the prompt, when one shows, goes to Act.
    void Activate(const std::string& Name,
                  std::function<void(TCustomSummaryReportPromptForm&)> Act = nullptr) {
        TCustomSummaryReportForm* list = OpenList();
        ASSERT_TRUE(list->DefTable->FindKey({Variant(Name)}));
        if (Act)
            Driver.AnswerWith(
                [Act](TCustomForm& F) { Act(dynamic_cast<TCustomSummaryReportPromptForm&>(F)); });
        list->ActivateBtnClick();
        Driver.RunPending();
    }
    static std::set<std::string> LabelsOf(TSummaryReportScreenForm& F) {
        const auto rows = Rows(F);
        return {rows.begin(), rows.end()};
    }
    // An editor on a new record, shown.
    TCustomSummaryReportEditorForm* NewEditor() {
        auto* editor = TCustomForm::Create<TCustomSummaryReportEditorForm>(Application);
        editor->StartNew();
        editor->Show();
        Driver.RunPending();
        return editor;
    }
    std::string LastMessage() const { return Texts().empty() ? "" : Texts().back(); }
};

TEST_F(CustomSummaryTest, ARecordMapsToTheReportsParameters) {
    // Every stored code of each item with a criterion.
    const std::vector<int> valueItems = {1, 4, 5, 6, 7, 8, 9, 11, 12, 13};
    for (int code = 0; code <= 7; ++code) {
        SCOPED_TRACE(code);
        const std::string name = "CODES" + std::to_string(code);
        StoreDefinition(name, [code](TDataSet& D) {
            for (int item = 1; item <= kSummaryItems; ++item)
                D.FieldByName(catalog::NumberedName("MatchCriteria", item))->SetAsInteger(code);
        });
        auto defs = Table("CustomSummaryReportDefs");
        defs->Open();
        ASSERT_TRUE(defs->FindKey({Variant(name)}));
        const TSummaryReportSpec spec = CustomSummarySpec(*defs);
        const int valueOp = code >= 2 ? code - 1 : 0;
        for (int item : valueItems) EXPECT_EQ(spec.Op[size_t(item - 1)], valueOp) << "item " << item;
        const int commentOps[] = {0, 0, 1, 2, 10, 11, 12, 13};
        EXPECT_EQ(spec.Op[13], commentOps[code]);
        // Items 2, 3 and 10 have no criterion, whatever their fields hold.
        for (int item : {2, 3, 10}) EXPECT_EQ(spec.Op[size_t(item - 1)], 0) << "item " << item;
        EXPECT_EQ(CustomSummaryPrompted(*defs)[5], code == 1);
        EXPECT_FALSE(CustomSummaryPrompted(*defs)[9]);
    }

    StoreDefinition("Values", [](TDataSet& D) {
        D.FieldByName("CatalogedVolumeLabel")->SetAsString("BACK*");
        D.FieldByName("DateFirstCataloged")->SetAsDateTime(EncodeDate(2023, 7, 1));
        D.FieldByName("DiskSize")->SetAsString("9999999999999");
        D.FieldByName("DiskFree")->SetAsString("1000000");
        D.FieldByName("FilesOnDisk")->SetAsInteger(2147483647);
        D.FieldByName("CatalogedFrom")->SetAsString("A:");
        D.FieldByName("Comment")->SetAsString("weekly Backup\nsecond line\r\nthird");
        D.FieldByName("MatchesRequired")->SetAsInteger(2);
        D.FieldByName("ColumnCriteria14")->SetAsInteger(3);
        D.FieldByName("SortColumnSpec09")->SetAsInteger(1);
        D.FieldByName("SortCriteriaSpec09")->SetAsInteger(2);
    });
    StoreDefinition("Blank", [](TDataSet& D) { D.FieldByName("Comment")->SetAsString("one line\rmore"); });
    auto defs = Table("CustomSummaryReportDefs");
    defs->Open();
    ASSERT_TRUE(defs->FindKey({Variant("VALUES")}));
    TSummaryReportSpec spec = CustomSummarySpec(*defs);
    EXPECT_EQ(spec.ReportTitle, "Values");
    EXPECT_EQ(spec.VolumeLabelSpec, "BACK*");
    EXPECT_EQ(spec.DateFirstValue, EncodeDate(2023, 7, 1));
    EXPECT_EQ(spec.DateLastValue, 0);
    EXPECT_EQ(spec.DiskSizeValue, 9999999999999LL);
    EXPECT_EQ(spec.DiskFreeValue, 1000000);
    EXPECT_EQ(spec.ClusterSizeValue, 0);
    EXPECT_EQ(spec.FilesOnDiskValue, 2147483647);
    EXPECT_EQ(spec.CatalogedFromValue, "A");
    EXPECT_EQ(spec.CommentText, "WEEKLY BACKUP");
    EXPECT_EQ(spec.MatchesRequired, 2);
    EXPECT_EQ(spec.ColumnPos, (std::array<uint8_t, kSummaryItems>{1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3}));
    EXPECT_EQ(spec.SortSpec[8].Priority, 1);
    EXPECT_EQ(spec.SortSpec[8].Direction, 2);
    ASSERT_TRUE(defs->FindKey({Variant("blank")}));
    spec = CustomSummarySpec(*defs);
    EXPECT_EQ(spec.CatalogedFromValue, "");
    EXPECT_EQ(spec.CommentText, "ONE LINE");
}

TEST_F(CustomSummaryTest, TheEditorChecksInOrderAndShowsWhereToCorrect) {
    TCustomSummaryReportEditorForm* e = NewEditor();
    // Every fault at once; each step mends the one just reported.
    e->CS[2]->SetAsInteger(3);
    e->CS[5]->SetAsInteger(3);
    e->SCS[0]->SetAsInteger(1);
    e->SCS[7]->SetAsInteger(1);
    e->SrchC[3]->SetItemIndex(2);   // "Equal" without a date
    e->SrchC[4]->SetItemIndex(7);   // "GT Or Equal" without a date
    e->SrchC[12]->SetItemIndex(3);  // "Doesn't Match" without a drive
    struct TStep {
        const char* Message;
        int Page;
        TWinControl* Focus;
        std::function<void()> Mend;
    };
    const std::vector<TStep> steps = {
        {"The Report Name Must Be Filled In", 0, e->DBEdit1,
         [&] { e->DefTable->FieldByName("ReportName")->SetAsString("Mine"); }},
        {"Duplicate Column Spec", 1, e->CS[5], [&] { e->CS[5]->SetAsInteger(2); }},
        {"Duplicate Sort Column Spec", 1, e->SCS[7], [&] { e->SCS[7]->SetAsInteger(2); }},
        {"Date First Cataloged Must Have A Value If Comparing", 1, e->DateFirst,
         [&] { e->SrchC[3]->SetItemIndex(1); }},  // "Prompt" needs no date
        {"Date Last Cataloged Must Have A Value If Comparing", 1, e->DateLast,
         [&] { e->DefTable->FieldByName("DateLastCataloged")->SetAsDateTime(EncodeDate(2024, 1, 2)); }},
        {"\"Drive Cataloged From\" Must Have A Value If Comparing", 1, e->CatalogedFrom,
         [&] { e->DefTable->FieldByName("CatalogedFrom")->SetAsString("C:"); }},
    };
    for (const TStep& step : steps) {
        SCOPED_TRACE(step.Message);
        e->Notebook->SetPageIndex(1 - step.Page);
        platform::ClearBeepHistory();
        e->BitBtn1Click();
        Driver.RunPending();
        EXPECT_EQ(LastMessage(), step.Message);
        EXPECT_EQ(platform::BeepHistory().size(), 1u);
        EXPECT_EQ(e->Notebook->PageIndex(), step.Page);
        EXPECT_EQ(e->ActiveControl(), step.Focus);
        EXPECT_EQ(e->ModalResult(), mrNone);
        EXPECT_EQ(e->DefTable->State(), dsInsert);
        step.Mend();
    }
    const size_t shown = Texts().size();
    e->BitBtn1Click();
    EXPECT_EQ(Texts().size(), shown);
    EXPECT_EQ(e->ModalResult(), mrOk);
    e->Free();

    // The lists went into the record with the dates of today.
    const std::pair<const char*, const char*> stored[] = {{"MatchCriteria04", "1"},
                                                          {"MatchCriteria05", "7"},
                                                          {"MatchCriteria13", "3"},
                                                          {"MatchCriteria02", "0"},
                                                          {"ColumnCriteria03", "3"},
                                                          {"ColumnCriteria06", "2"},
                                                          {"SortColumnSpec01", "1"},
                                                          {"SortColumnSpec08", "2"},
                                                          {"SortCriteriaSpec01", "0"},
                                                          {"MatchesRequired", "1"},
                                                          {"DiskSize", "0"},
                                                          {"DateFirstCataloged", "(null)"},
                                                          {"DateDefinitionLastUsed", "(null)"}};
    for (const auto& [field, value] : stored) EXPECT_EQ(Stored("MINE", field), value) << field;
    const std::string today = Stored("MINE", "DateDefinitionCreated");
    EXPECT_EQ(today, DateToStr(EncodeDate(2024, 3, 15)));
    EXPECT_EQ(Stored("MINE", "DateDefinitionLastUpdated"), today);
}

TEST_F(CustomSummaryTest, TheEditorAcceptsTheCommentAloneAndRefusesAllZeroColumns) {
    TCustomSummaryReportEditorForm* e = NewEditor();
    e->DefTable->FieldByName("ReportName")->SetAsString("Comments");
    e->BitBtn1Click();
    EXPECT_EQ(LastMessage(), "You Must Fill In At Least One Column Spec");
    EXPECT_EQ(e->Notebook->PageIndex(), 1);
    EXPECT_EQ(e->ActiveControl(), e->CS[0]);
    e->CS[13]->SetAsInteger(1);
    e->SrchC[13]->SetItemIndex(6);  // "Keywords-Some" shows the count
    e->SrchC14Change();
    EXPECT_TRUE(e->MatchesRequired->Visible());
    e->SrchC[13]->SetItemIndex(7);
    e->SrchC14Change();
    EXPECT_FALSE(e->MatchesRequired->Visible());
    e->BitBtn1Click();
    EXPECT_EQ(e->ModalResult(), mrOk);
    e->Free();
    EXPECT_EQ(Stored("COMMENTS", "ColumnCriteria14"), "1");
    EXPECT_EQ(Stored("COMMENTS", "MatchCriteria14"), "7");
}

TEST_F(CustomSummaryTest, RenamingOntoAnotherNameKeepsTheEditorInEdit) {
    StoreDefinition("Alpha", [](TDataSet&) {});
    StoreDefinition("Beta", [](TDataSet&) {});
    auto* e = TCustomForm::Create<TCustomSummaryReportEditorForm>(Application);
    ASSERT_TRUE(e->StartEdit("Beta"));
    e->Show();
    Driver.RunPending();
    EXPECT_EQ(e->Notebook->PageIndex(), 1);
    EXPECT_EQ(e->ActiveControl(), e->DBEdit2);
    EXPECT_EQ(e->CS[0]->GetAsInteger(), 1);
    e->DefTable->Edit();
    e->DefTable->FieldByName("ReportName")->SetAsString("aLPHA");
    e->BitBtn1Click();
    Driver.RunPending();
    EXPECT_EQ(LastMessage(), TCustomSummaryReportEditorForm::DuplicateNameText);
    EXPECT_EQ(e->ModalResult(), mrNone);
    EXPECT_EQ(e->DefTable->State(), dsEdit);
    // Another name then saves.
    e->DefTable->FieldByName("ReportName")->SetAsString("Gamma");
    e->BitBtn1Click();
    EXPECT_EQ(e->ModalResult(), mrOk);
    e->Free();
    EXPECT_EQ(Stored("GAMMA", "ReportName"), "Gamma");
    EXPECT_EQ(Stored("ALPHA", "ReportName"), "Alpha");
}

TEST_F(CustomSummaryTest, TheListsCommandsOnAnEmptyAndAFilledList) {
    TCustomSummaryReportForm* list = OpenList();
    EXPECT_TRUE(catalog::CustomSummaryReportsOpen);
    for (auto click : {&TCustomSummaryReportForm::EditBtnClick, &TCustomSummaryReportForm::DeleteBtnClick,
                       &TCustomSummaryReportForm::ActivateBtnClick}) {
        platform::ClearBeepHistory();
        const size_t shown = Driver.Shown.size();
        (list->*click)();
        ASSERT_EQ(Driver.Shown.size(), shown + 1);
        EXPECT_EQ(Driver.Shown.back().Text, TCustomSummaryReportForm::NoneSelectedText);
        EXPECT_TRUE(platform::BeepHistory().empty());
    }
    EXPECT_TRUE(ReportWindows().empty());

    // New: the editor starts on the name with a new record's defaults; the list moves to it.
    StoreDefinition("Zulu", [](TDataSet&) {});
    list->DefTable->Refresh();
    Driver.AnswerWith([](TCustomForm& F) {
        auto& e = dynamic_cast<TCustomSummaryReportEditorForm&>(F);
        EXPECT_EQ(e.Notebook->PageIndex(), 0);
        EXPECT_EQ(e.ActiveControl(), e.DBEdit1);
        EXPECT_EQ(e.DefTable->FieldByName("MatchesRequired")->AsInteger(), 1);
        EXPECT_EQ(e.SrchC[0]->ItemIndex(), 0);
        EXPECT_FALSE(e.MatchesRequired->Visible());
        e.DefTable->FieldByName("ReportName")->SetAsString("Mike");
        e.CS[1]->SetAsInteger(1);
        e.BitBtn1Click();
    });
    list->NewBtnClick();
    Driver.RunPending();
    EXPECT_EQ(list->DefTable->FieldByName("ReportName")->AsString(), "Mike");
    EXPECT_EQ(list->DefTable->RecordCount(), 2);
    EXPECT_EQ(Stored("MIKE", "DateDefinitionCreated"), DateToStr(EncodeDate(2024, 3, 15)));
    // No drive: the two blanks of a new record are stored as a blank text, which the engine keeps as
    // none.
    const std::pair<const char*, const char*> defaults[] = {
        {"CatalogedFrom", "(null)"}, {"DateDefinitionLastUsed", "(null)"},
        {"DiskFree", "0"},           {"FilesInArchives", "0"},
        {"MatchesRequired", "1"},    {"MatchCriteria14", "0"},
        {"SortCriteriaSpec13", "0"}};
    for (const auto& [field, value] : defaults) EXPECT_EQ(Stored("MIKE", field), value) << field;
    EXPECT_EQ(Stored("MIKE", "DateDefinitionLastUpdated"), DateToStr(EncodeDate(2024, 3, 15)));

    // Delete asks first; No keeps the definition.
    Driver.Answer(mrNo);
    list->DeleteBtnClick();
    EXPECT_EQ(Driver.Shown.back().Text, TCustomSummaryReportForm::ConfirmDeleteText);
    EXPECT_EQ(list->DefTable->RecordCount(), 2);
    Driver.Answer(mrYes);
    list->DeleteBtnClick();
    EXPECT_EQ(list->DefTable->RecordCount(), 1);
    EXPECT_EQ(list->DefTable->FieldByName("ReportName")->AsString(), "Zulu");

    // Cancel in the editor leaves the definition as it was.
    Driver.AnswerWith(
        [](TCustomForm& F) {
            auto& e = dynamic_cast<TCustomSummaryReportEditorForm&>(F);
            EXPECT_EQ(e.Notebook->PageIndex(), 1);
            EXPECT_EQ(e.ActiveControl(), e.DBEdit2);
            e.DefTable->Edit();
            e.DefTable->FieldByName("ReportName")->SetAsString("Changed");
        },
        mrCancel);
    list->EditBtnClick();
    Driver.RunPending();
    EXPECT_EQ(Stored("ZULU", "ReportName"), "Zulu");

    list->Close();
    Driver.RunPending();
    EXPECT_FALSE(catalog::CustomSummaryReportsOpen);
}

TEST_F(CustomSummaryTest, ADefinitionWithoutPromptsRunsAtOnceAndEachRunHasItsWindow) {
    MakeThreeVolumes();
    StoreDefinition("Everything", [](TDataSet&) {});
    StoreDefinition("From C", [](TDataSet& D) {
        D.FieldByName("CatalogedFrom")->SetAsString("C:");
        D.FieldByName("MatchCriteria13")->SetAsInteger(2);
    });
    const size_t shown = Driver.Shown.size();
    Activate("Everything");
    Activate("Everything");
    EXPECT_EQ(Driver.Shown.size(), shown);  // no prompt
    std::vector<TSummaryReportScreenForm*> windows = ReportWindows();
    ASSERT_EQ(windows.size(), 2u);
    EXPECT_NE(windows[0]->ResultTableName, windows[1]->ResultTableName);
    for (TSummaryReportScreenForm* w : windows) {
        EXPECT_TRUE(w->Visible());
        EXPECT_TRUE(TableExists(w->ResultTableName));
        EXPECT_EQ(LabelsOf(*w), (std::set<std::string>{"ARCHIVE2", "BACKUP01", "PHOTOS"}));
        EXPECT_EQ(w->Spec.ReportTitle, "Everything");
    }
    EXPECT_EQ(catalog::OpenReportCount, 2);
    EXPECT_EQ(Stored("EVERYTHING", "DateDefinitionLastUsed"), DateToStr(EncodeDate(2024, 3, 15)));

    Activate("From C");
    windows = ReportWindows();
    ASSERT_EQ(windows.size(), 3u);
    EXPECT_EQ(LabelsOf(*windows.back()), (std::set<std::string>{"ARCHIVE2"}));
}

TEST_F(CustomSummaryTest, APromptShowsOnlyThePromptedRowsPresetFromTheDefinition) {
    MakeThreeVolumes();
    StoreDefinition("Drive", [](TDataSet& D) {
        D.FieldByName("CatalogedFrom")->SetAsString("D:");
        D.FieldByName("MatchCriteria13")->SetAsInteger(1);
    });
    int fullHeight = 0;
    {
        auto* full = TCustomForm::Create<TCustomSummaryReportPromptForm>(Application);
        fullHeight = full->Height();
        full->Free();
    }
    Activate("Drive", [&](TCustomSummaryReportPromptForm& P) {
        EXPECT_EQ(P.Caption(), "Enter Specific Report Requirements");
        for (int item = 1; item <= kSummaryItems; ++item) {
            if (!P.Panels[size_t(item - 1)]) continue;
            EXPECT_EQ(P.Panels[size_t(item - 1)]->Visible(), item == 13) << "item " << item;
        }
        EXPECT_EQ(P.Height(), fullHeight - 277);
        EXPECT_EQ(P.CatalogedFrom->Text(), "D:");
        EXPECT_EQ(P.SrchC[12]->Text(), "Matches");
        P.BitBtn1Click();
    });
    std::vector<TSummaryReportScreenForm*> windows = ReportWindows();
    ASSERT_EQ(windows.size(), 1u);
    EXPECT_EQ(LabelsOf(*windows[0]), (std::set<std::string>{"BACKUP01"}));

    // Cancelled: no report, but the definition counts as used.
    catalog::OpenReportCount = 0;
    auto defs = Table("CustomSummaryReportDefs");
    defs->Open();
    ASSERT_TRUE(defs->FindKey({Variant("DRIVE")}));
    defs->Edit();
    defs->FieldByName("DateDefinitionLastUsed")->Clear();
    defs->Post();
    defs->Close();
    Activate("Drive", [](TCustomSummaryReportPromptForm& P) { P.SetModalResult(mrCancel); });
    EXPECT_EQ(ReportWindows().size(), 1u);
    EXPECT_EQ(catalog::OpenReportCount, 0);
    EXPECT_EQ(Stored("DRIVE", "DateDefinitionLastUsed"), DateToStr(EncodeDate(2024, 3, 15)));
}

TEST_F(CustomSummaryTest, PromptedValuesAndOperatorsReplaceTheStoredOnes) {
    MakeThreeVolumes();
    StoreDefinition("Free", [](TDataSet& D) { D.FieldByName("MatchCriteria09")->SetAsInteger(1); });
    Activate("Free", [](TCustomSummaryReportPromptForm& P) {
        EXPECT_EQ(P.SrchC[8]->Text(), "Equal");
        P.SrchC[8]->SetItemIndex(3);  // "Less Than"
        P.SizeFields[3]->SetAsString("1000000");
        P.BitBtn1Click();
    });
    ASSERT_EQ(ReportWindows().size(), 1u);
    EXPECT_EQ(LabelsOf(*ReportWindows()[0]), (std::set<std::string>{"ARCHIVE2", "BACKUP01"}));

    // The comment: the memo shows the stored text, only its first line is looked for.
    StoreDefinition("Phrase", [](TDataSet& D) {
        D.FieldByName("Comment")->SetAsString("weekly\r\nnot this line");
        D.FieldByName("MatchCriteria14")->SetAsInteger(1);
    });
    Activate("Phrase", [](TCustomSummaryReportPromptForm& P) {
        EXPECT_EQ(P.Comment->Text(), "weekly\r\nnot this line");
        EXPECT_EQ(P.SrchC[13]->Text(), "Has Phrase");
        P.SrchC[13]->SetItemIndex(5);  // "Keywords-Some"
        P.SrchC14Change();
        EXPECT_TRUE(P.MatchesRequired->Visible());
        P.SrchC[13]->SetItemIndex(6);  // "Keywords-All"
        P.SrchC14Change();
        EXPECT_FALSE(P.MatchesRequired->Visible());
        P.SrchC[13]->SetItemIndex(2);  // "Lacks Phrase"
        P.Comment->SetText("tax\nweekly");
        P.BitBtn1Click();
    });
    ASSERT_EQ(ReportWindows().size(), 2u);
    TSummaryReportScreenForm& lacks = *ReportWindows()[1];
    EXPECT_EQ(lacks.Spec.CommentText, "TAX");
    EXPECT_EQ(lacks.Spec.Op[13], 2);
    EXPECT_EQ(LabelsOf(lacks), (std::set<std::string>{"BACKUP01", "PHOTOS"}));

    // An emptied size counts as 0.
    StoreDefinition("Size", [](TDataSet& D) {
        D.FieldByName("DiskSize")->SetAsString("50000");
        D.FieldByName("MatchCriteria06")->SetAsInteger(1);
    });
    Activate("Size", [](TCustomSummaryReportPromptForm& P) {
        EXPECT_EQ(Trim(P.SizeFields[0]->GetAsString()), "50000");
        P.SizeFields[0]->SetAsString("");
        P.SrchC[5]->SetItemIndex(5);  // "Greater Than"
        P.BitBtn1Click();
    });
    ASSERT_EQ(ReportWindows().size(), 3u);
    EXPECT_EQ(ReportWindows()[2]->Spec.DiskSizeValue, 0);
    EXPECT_EQ(LabelsOf(*ReportWindows()[2]), (std::set<std::string>{"ARCHIVE2", "BACKUP01", "PHOTOS"}));
}

TEST_F(CustomSummaryTest, ThePromptRefusesAComparisonWithoutAValue) {
    MakeThreeVolumes();
    StoreDefinition("Asks", [](TDataSet& D) {
        for (const char* f : {"MatchCriteria04", "MatchCriteria05", "MatchCriteria13"})
            D.FieldByName(f)->SetAsInteger(1);
        D.FieldByName("DateLastCataloged")->SetAsDateTime(EncodeDate(2024, 3, 1));
    });
    std::vector<std::string> seen;
    Activate("Asks", [&](TCustomSummaryReportPromptForm& P) {
        const auto tryContinue = [&](TWinControl* Focus) {
            P.BitBtn1Click();
            Driver.RunPending();
            seen.push_back(LastMessage());
            EXPECT_EQ(P.ActiveControl(), Focus) << seen.back();
            EXPECT_EQ(P.ModalResult(), mrNone);
        };
        tryContinue(P.DateFirstCataloged);
        P.SrchC[3]->SetItemIndex(0);   // "Ignore" with a blank date passes
        tryContinue(P.CatalogedFrom);  // the last date was preset from the definition
        P.DateLastCataloged->SetDate(0);
        tryContinue(P.DateLastCataloged);
        P.SrchC[4]->SetItemIndex(0);
        P.CatalogedFrom->SetItemIndex(3);  // "C:"
        P.BitBtn1Click();
        EXPECT_EQ(P.ModalResult(), mrOk);
    });
    EXPECT_EQ(seen, (std::vector<std::string>{"Date First Cataloged Must Have A Value If Comparing",
                                              "\"Drive Cataloged From\" Must Have A Value If Comparing",
                                              "Date Last Cataloged Must Have A Value If Comparing"}));
    ASSERT_EQ(ReportWindows().size(), 1u);
    EXPECT_EQ(LabelsOf(*ReportWindows()[0]), (std::set<std::string>{"ARCHIVE2"}));
}

}  // namespace
}  // namespace reports
