// The list of stored file definitions and their runs: refusals on an empty list, delete, one list
// window at a time, and activation with its last-used date, the prompt for "Prompt" criteria (its
// rows, height and presets), cancelling it, duplicate definitions and repeated runs.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>
#include <string>

#include "controls/entry/CtlDateEdit.h"
#include "controls/entry/CtlPictureField.h"
#include "dbsql/components/DbQuery.h"
#include "dbsql/components/DbTable.h"
#include "framework/data/Fields.h"
#include "framework/stdctrls/Buttons.h"
#include "framework/stdctrls/ComboBox.h"
#include "framework/stdctrls/Edit.h"
#include "framework/stdctrls/ExtCtrls.h"
#include "framework/stdctrls/Memo.h"
#include "framework/ui/Messages.h"
#include "platform/Beep.h"
#include "reports/custom/CustomFileReportForm.h"
#include "reports/custom/CustomFileReportPromptForm.h"
#include "reports/testsupport/CustomFileReportFixture.h"

namespace reports {
namespace {

using namespace framework;
using TPrompt = TCustomFileReportPromptForm;

class CustomFileReportList : public testsupport::CustomFileReportTest {
protected:
    // Runs the definition Name from the list; Answer gets the prompt when one is shown (it is
    // cancelled when Answer leaves it open). The new report window, or nil.
    TFileReportScreenForm* Activate(const std::string& Name,
                                    const std::function<void(TPrompt&)>& Answer = {}) {
        TCustomFileReportForm* list = OpenList();
        EXPECT_TRUE(list->DefTable->FindKey({Variant(Name)}));
        const auto before = ReportWindows();
        if (Answer) Driver.AnswerWith([&](TCustomForm& F) { Answer(dynamic_cast<TPrompt&>(F)); }, mrCancel);
        Driver.Click(*list->ActivateBtn);
        Driver.RunPending();
        for (TFileReportScreenForm* f : ReportWindows())
            if (std::find(before.begin(), before.end(), f) == before.end()) return f;
        return nullptr;
    }
    int PromptsShown() const {
        return int(std::count_if(Driver.Shown.begin(), Driver.Shown.end(),
                                 [](const auto& S) { return S.Kind == "form"; }));
    }
    void Choose(TComboBox& List, int Index) {
        Driver.KeyTo(List, VK_HOME);
        for (int i = 0; i < Index; ++i) Driver.Key(VK_DOWN);
    }
    static std::multiset<std::string> RowSet(TFileReportScreenForm& F) {
        auto rows = Rows(F);
        return {rows.begin(), rows.end()};
    }
    // The rows of the prompt that are shown, by item.
    static std::vector<int> ShownRows(TPrompt& P) {
        std::vector<int> out;
        for (int item = 1; item <= 12; ++item)
            if (P.Panels[size_t(item - 1)] && P.Panels[size_t(item - 1)]->Visible()) out.push_back(item);
        return out;
    }
    // The height and the vertical middle of the prompt with every row, shown.
    std::pair<int, int> FullPrompt() {
        auto* full = TCustomForm::Create<TPrompt>(Application);
        full->Show();
        Driver.RunPending();
        const std::pair<int, int> out{full->Height(), full->Top() + full->Height() / 2};
        full->Free();
        return out;
    }
};

TEST_F(CustomFileReportList, AnEmptyListRefusesEditDeleteAndActivate) {
    TCustomFileReportForm* list = OpenList();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->Caption(), "Custom File Report Definitions");
    EXPECT_EQ(list->Width(), 640);
    platform::ClearBeepHistory();
    for (TBitBtn* b : {list->EditBtn, list->DeleteBtn, list->ActivateBtn}) Driver.Click(*b);
    Driver.RunPending();
    EXPECT_EQ(Texts(), std::vector<std::string>(3, TCustomFileReportForm::NoneSelectedText));
    EXPECT_TRUE(platform::BeepHistory().empty());
    EXPECT_EQ(PromptsShown(), 0);
    EXPECT_TRUE(ReportWindows().empty());
}

TEST_F(CustomFileReportList, DeleteAsksAndOnlyYesDeletes) {
    AddDefinitions({{"Alpha", {}}, {"Beta", {}}});
    TCustomFileReportForm* list = OpenList();
    ASSERT_TRUE(list->DefTable->FindKey({Variant("Beta")}));
    Driver.Answer(mrNo);
    Driver.Click(*list->DeleteBtn);
    Driver.RunPending();
    EXPECT_EQ(Texts(), std::vector<std::string>{TCustomFileReportForm::ConfirmDeleteText});
    EXPECT_EQ(DefinitionCount(), 2);
    Driver.Answer(mrYes);
    Driver.Click(*list->DeleteBtn);
    Driver.RunPending();
    EXPECT_EQ(Stored("Beta", "ReportName"), "<none>");
    EXPECT_EQ(Stored("Alpha", "ReportName"), "Alpha");
}

TEST_F(CustomFileReportList, OneListWindowAtATime) {
    TCustomFileReportForm* first = OpenList();
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(catalog::CustomFileReportsOpen);
    EXPECT_EQ(OpenList(), first) << "the command again brings the same window to front";
    int lists = 0;
    for (int i = 0; i < Screen->FormCount(); ++i)
        lists += dynamic_cast<TCustomFileReportForm*>(Screen->Forms(i)) != nullptr;
    EXPECT_EQ(lists, 1);
    EXPECT_EQ(catalog::OpenReportCount, 0) << "the list is not a report";
    first->Close();
    Driver.RunPending();
    EXPECT_FALSE(catalog::CustomFileReportsOpen);
    EXPECT_EQ(OpenCustomFileReportForm(), nullptr);
    EXPECT_NE(OpenList(), nullptr) << "a closed list opens anew";
}

TEST_F(CustomFileReportList, IgnoreOnlyRunsAtOnceOverTheWholeCatalogAndMarksTheDefinitionUsed) {
    AddDefinition("Everything", {{"DateDefinitionLastUsed", "1/1/2004"}});
    TFileReportScreenForm* report = Activate("Everything");
    ASSERT_NE(report, nullptr);
    EXPECT_EQ(PromptsShown(), 0);
    EXPECT_EQ(report->ReportTitle, "Everything");
    EXPECT_EQ(Rows(*report).size(), testsupport::Entries().size());
    EXPECT_EQ(catalog::OpenReportCount, 1);
    EXPECT_EQ(Stored("Everything", "DateDefinitionLastUsed"), DateToStr(Today()));
}

TEST_F(CustomFileReportList, PromptOnTheCategoryAloneShowsThatRowPresetAndCentred) {
    AddDefinition(
        "By Category",
        {{"MatchCriteria09", "1"}, {"CategoryCode", "PIC"}, {"MatchCriteria01", "2"}, {"FileName", "*.TXT"}});
    const auto [fullHeight, fullMiddle] = FullPrompt();
    TFileReportScreenForm* report = Activate("By Category", [&](TPrompt& P) {
        EXPECT_EQ(P.Caption(), "Enter Specific Report Requirements");
        EXPECT_EQ(ShownRows(P), std::vector<int>{9});
        EXPECT_EQ(P.Height(), fullHeight - 202);
        EXPECT_NEAR(P.Top() + P.Height() / 2, fullMiddle, 1) << "stays centred";
        EXPECT_EQ(P.CategoryCode->Text(), "PIC");
        EXPECT_EQ(P.SrchC[8]->Text(), "Equal");
        P.CategoryCode->SetText("DOC");
        Driver.Click(*P.BitBtn1);
    });
    ASSERT_NE(report, nullptr);
    EXPECT_EQ(report->Op[8], rcMatches);
    EXPECT_EQ(report->Op[0], rcMatches) << "the stored criteria stay";
    EXPECT_EQ(RowSet(*report), (std::multiset<std::string>{"README.TXT", "README.TXT <DOCS/>"}));
}

TEST_F(CustomFileReportList, PromptedCommentShowsTheWholeStoredTextAndUsesItsFirstLine) {
    AddDefinition("By Comment",
                  {{"MatchCriteria11", "1"}, {"Comment", "zip\r\nsecond line"}, {"MatchesRequired", "2"}});
    const auto [fullHeight, fullMiddle] = FullPrompt();
    TFileReportScreenForm* report = Activate("By Comment", [&](TPrompt& P) {
        EXPECT_EQ(ShownRows(P), std::vector<int>{11});
        EXPECT_EQ(P.Height(), fullHeight - 7 * TPrompt::RowHeight);
        EXPECT_EQ(P.Comment->Text(), "zip\r\nsecond line");
        EXPECT_EQ(P.SrchC[10]->Text(), "Has Phrase");
        EXPECT_FALSE(P.MatchesRequired->Visible());
        Choose(*P.SrchC[10], 6);
        EXPECT_EQ(P.SrchC[10]->Text(), "Keywords-All");
        EXPECT_FALSE(P.MatchesRequired->Visible());
        Choose(*P.SrchC[10], 5);
        EXPECT_TRUE(P.MatchesRequired->Visible());
        EXPECT_EQ(P.MatchesRequired->GetAsInteger(), 2);
        Choose(*P.SrchC[10], 1);
        P.Comment->SetText("backup\r\nmember");
        Driver.Click(*P.BitBtn1);
    });
    ASSERT_NE(report, nullptr);
    EXPECT_EQ(report->CommentText, "BACKUP");
    EXPECT_EQ(RowSet(*report), (std::multiset<std::string>{"BIG.ISO", "ROOT.TXT"}));
}

TEST_F(CustomFileReportList, CancellingThePromptLeavesNoReportButTheNewLastUsedDate) {
    AddDefinition("Asked", {{"MatchCriteria01", "1"}});
    EXPECT_EQ(Activate("Asked", [](TPrompt& P) { P.SetModalResult(mrCancel); }), nullptr);
    EXPECT_EQ(PromptsShown(), 1);
    EXPECT_TRUE(ReportWindows().empty());
    EXPECT_EQ(catalog::OpenReportCount, 0);
    EXPECT_EQ(Stored("Asked", "DateDefinitionLastUsed"), DateToStr(Today()));
}

TEST_F(CustomFileReportList, APromptedDateIsNeededOnlyWhenCompared) {
    AddDefinition("By Date", {{"MatchCriteria06", "1"}});
    TFileReportScreenForm* report = Activate("By Date", [&](TPrompt& P) {
        EXPECT_EQ(P.DateModified->Text(), "") << "no stored date";
        EXPECT_EQ(P.SrchC[5]->Text(), "Equal");
        platform::ClearBeepHistory();
        Driver.Click(*P.BitBtn1);
        EXPECT_EQ(Texts().back(), TPrompt::DateMissingText);
        EXPECT_FALSE(platform::BeepHistory().empty());
        EXPECT_EQ(P.ActiveControl(), P.DateModified);
        EXPECT_EQ(P.ModalResult(), mrNone);
        Driver.Type("3/14/2024");
        Driver.Click(*P.BitBtn1);
    });
    ASSERT_NE(report, nullptr);
    EXPECT_EQ(report->DateValue, testsupport::Day(2024, 3, 14));
    EXPECT_EQ(RowSet(*report), (std::multiset<std::string>{"README.TXT <DOCS/>"}));

    // Ignored, a blank date passes and keeps the stored one.
    AddDefinition("Ignored Date", {{"MatchCriteria06", "1"}, {"DateModified", "5/7/2001"}});
    report = Activate("Ignored Date", [&](TPrompt& P) {
        EXPECT_EQ(P.DateModified->GetDate(), testsupport::Day(2001, 5, 7));
        Choose(*P.SrchC[5], 0);
        P.DateModified->SetText("");
        Driver.Click(*P.BitBtn1);
    });
    ASSERT_NE(report, nullptr);
    EXPECT_EQ(report->DateValue, testsupport::Day(2001, 5, 7));
    EXPECT_EQ(Rows(*report).size(), testsupport::Entries().size());
}

TEST_F(CustomFileReportList, StoredEqualDateAndAnEmptiedPromptedSize) {
    AddDefinitions({{"Day", {{"MatchCriteria06", "2"}, {"DateModified", "3/15/2024"}}},
                    {"Size", {{"MatchCriteria05", "1"}, {"FileSize", "1000"}}}});
    TFileReportScreenForm* day = Activate("Day");
    ASSERT_NE(day, nullptr);
    EXPECT_EQ(RowSet(*day), (std::multiset<std::string>{"README.TXT", "BIG.ISO", "NOTES.DOC"}));
    TFileReportScreenForm* size = Activate("Size", [&](TPrompt& P) {
        EXPECT_EQ(P.FileSize->GetAsString(), "1000");
        P.FileSize->SetAsString("");
        Choose(*P.SrchC[4], 5);  // "Greater Than"
        Driver.Click(*P.BitBtn1);
    });
    ASSERT_NE(size, nullptr);
    EXPECT_EQ(size->FileSizeValue, 0) << "an emptied size counts as 0";
    EXPECT_EQ(size->Op[4], rcGreater);
    EXPECT_EQ(Rows(*size).size(), testsupport::Entries().size());
}

TEST_F(CustomFileReportList, ADuplicateDefinitionWithAStoredPromptRunsWithoutTheDialog) {
    AddDefinition("Same Files",
                  {{"OnlyDuplicate", "True"}, {"MatchCriteria01", "1"}, {"MatchCriteria09", "1"}});
    TFileReportScreenForm* report = Activate("Same Files");
    ASSERT_NE(report, nullptr);
    EXPECT_EQ(PromptsShown(), 0);
    EXPECT_TRUE(report->OnlyDuplicate);
    EXPECT_EQ(report->ReportTitle, "Same Files");
}

TEST_F(CustomFileReportList, TwoActivationsGiveTwoWindowsAndTwoResultTables) {
    AddDefinition("Twice");
    TFileReportScreenForm* first = Activate("Twice");
    TFileReportScreenForm* second = Activate("Twice");
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);
    EXPECT_NE(first->ResultTableName, second->ResultTableName);
    EXPECT_TRUE(TableExists(first->ResultTableName));
    EXPECT_TRUE(TableExists(second->ResultTableName));
    EXPECT_EQ(catalog::OpenReportCount, 2);
}

}  // namespace
}  // namespace reports
