// The editor of a stored file definition: the checks of Save in their order with their page and
// focus, "Prompt" on the date, a duplicate name, the duplicate and unique options, the category
// code and its picker, and the keyword count.

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "cataloging/editors/CategoryForm.h"
#include "controls/entry/CtlAttachedButton.h"
#include "controls/entry/CtlPictureField.h"
#include "controls/entry/CtlSpinner.h"
#include "controls/grid/CtlDbDateEdit.h"
#include "controls/grid/CtlDbPictureField.h"
#include "controls/grid/CtlNotebook.h"
#include "dbsql/components/DbTable.h"
#include "framework/data/Fields.h"
#include "framework/dbctrls/DBCtrls.h"
#include "framework/stdctrls/Buttons.h"
#include "framework/stdctrls/ComboBox.h"
#include "framework/ui/Messages.h"
#include "platform/Beep.h"
#include "reports/custom/CustomFileReportEditorForm.h"
#include "reports/testsupport/CustomFileReportFixture.h"

namespace reports {
namespace {

using namespace framework;
using TEditor = TCustomFileReportEditorForm;

class CustomFileReportEditor : public testsupport::CustomFileReportTest {
protected:
    // Opens the editor through the list's New (or Edit, with the list on Current) and hands it to Act;
    // the editor is cancelled when Act leaves it open.
    void InEditor(bool New, const std::function<void(TEditor&)>& Act, const std::string& Current = "") {
        TCustomFileReportForm* list = OpenList();
        ASSERT_NE(list, nullptr);
        if (!Current.empty()) {
            ASSERT_TRUE(list->DefTable->FindKey({Variant(Current)}));
        }
        Driver.AnswerWith([&](TCustomForm& F) { Act(dynamic_cast<TEditor&>(F)); }, mrCancel);
        New ? list->NewBtnClick() : list->EditBtnClick();
        Driver.RunPending();
    }
    // Chooses entry Index of a list as the user does, with the keyboard.
    void Choose(TComboBox& List, int Index) {
        Driver.KeyTo(List, VK_HOME);
        for (int i = 0; i < Index; ++i) Driver.Key(VK_DOWN);
    }
    // Saves and gives the error shown ("" for none).
    std::string Save(TEditor& E) {
        const size_t before = Texts().size();
        Driver.Click(*E.BitBtn1);
        Driver.RunPending();
        const auto texts = Texts();
        return texts.size() > before ? texts.back() : "";
    }
};

TEST_F(CustomFileReportEditor, SaveChecksInOrderWithPageAndFocusThenStoresTheDefinition) {
    InEditor(true, [&](TEditor& E) {
        EXPECT_EQ(E.Notebook->PageIndex(), TEditor::NamePage);
        EXPECT_EQ(E.ActiveControl(), E.DBEdit1);
        // Every fault at once; each is mended in turn.
        E.ShowPage(TEditor::DefinitionPage, E.DBEdit2);
        E.CS[0]->SetAsInteger(3);
        E.CS[10]->SetAsInteger(3);
        E.SCS[1]->SetAsInteger(1);
        E.SCS[11]->SetAsInteger(1);
        Choose(*E.SrchC[5], 2);  // "Equal" without a date
        struct TStep {
            std::function<void()> Mend;
            const char* Message;
            int Page;
            TWinControl* Focus;
        };
        const TStep steps[] = {
            {[] {}, TEditor::NameMissingText, TEditor::NamePage, E.DBEdit1},
            {[&] {
                 Driver.KeyTo(*E.DBEdit1, VK_END);
                 Driver.Type("Text Files");
             },
             TEditor::DuplicateColumnText, TEditor::DefinitionPage, E.CS[10]},
            {[&] {
                 E.CS[0]->SetAsInteger(0);
                 E.CS[10]->SetAsInteger(0);
             },
             TEditor::NoColumnText, TEditor::DefinitionPage, E.CS[0]},
            {[&] { E.CS[10]->SetAsInteger(2); }, TEditor::DuplicateSortText, TEditor::DefinitionPage,
             E.SCS[11]},
            {[&] { E.SCS[11]->SetAsInteger(2); }, TEditor::DateMissingText, TEditor::DefinitionPage,
             E.DateModified},
        };
        for (const TStep& s : steps) {
            s.Mend();
            platform::ClearBeepHistory();
            EXPECT_EQ(Save(E), s.Message);
            EXPECT_FALSE(platform::BeepHistory().empty()) << s.Message << ": an error beep";
            EXPECT_EQ(E.Notebook->PageIndex(), s.Page) << s.Message;
            EXPECT_EQ(E.ActiveControl(), s.Focus) << s.Message;
            EXPECT_EQ(E.ModalResult(), mrNone);
        }
        // "Prompt" on the date needs no date.
        Choose(*E.SrchC[5], 1);
        EXPECT_EQ(Save(E), "");
        EXPECT_EQ(E.ModalResult(), mrOk);
    });
    EXPECT_EQ(OpenCustomFileReportForm()->DefTable->FieldByName("ReportName")->AsString(), "Text Files")
        << "the list moves to the saved definition";
    const std::pair<const char*, std::string> stored[] = {
        {"MatchCriteria06", "1"},   {"ColumnCriteria11", "2"},      {"ColumnCriteria01", "0"},
        {"SortColumnSpec02", "1"},  {"SortColumnSpec12", "2"},      {"SortCriteriaSpec02", "0"},
        {"DateModified", ""},       {"MatchesRequired", "1"},       {"FileSize", "0"},
        {"OnlyDuplicate", "False"}, {"DateDefinitionLastUsed", ""},
    };
    for (const auto& [field, value] : stored) EXPECT_EQ(Stored("Text Files", field), value) << field;
    EXPECT_EQ(Stored("Text Files", "DateDefinitionCreated"), DateToStr(Today()));
    EXPECT_EQ(Stored("Text Files", "DateDefinitionLastUpdated"), DateToStr(Today()));
}

TEST_F(CustomFileReportEditor, AComparedDateNeedsAValueAndTheCommentAloneIsAColumn) {
    AddDefinition("Dated", {{"ColumnCriteria01", ""}, {"DateDefinitionCreated", "1/2/2003"}});
    InEditor(
        false,
        [&](TEditor& E) {
            EXPECT_EQ(E.Notebook->PageIndex(), TEditor::DefinitionPage);
            EXPECT_EQ(E.ActiveControl(), E.DBEdit2);
            EXPECT_TRUE(E.SpecialtyPanel->Visible());
            E.CS[10]->SetAsInteger(1);
            Choose(*E.SrchC[5], 7);  // "GT Or Equal"
            EXPECT_EQ(Save(E), TEditor::DateMissingText);
            E.DateModified->SetFocus();
            Driver.Type("5/7/2001");
            EXPECT_EQ(Save(E), "");
            EXPECT_EQ(E.ModalResult(), mrOk);
        },
        "Dated");
    EXPECT_EQ(Stored("Dated", "MatchCriteria06"), "7");
    EXPECT_EQ(Stored("Dated", "DateModified"), "5/7/2001");
    EXPECT_EQ(Stored("Dated", "ColumnCriteria11"), "1");
    EXPECT_EQ(Stored("Dated", "DateDefinitionCreated"), "1/2/2003") << "kept";
    EXPECT_EQ(Stored("Dated", "DateDefinitionLastUpdated"), DateToStr(Today()));
}

TEST_F(CustomFileReportEditor, RenamingToAnotherDefinitionsNameInAnyCaseIsRefused) {
    AddDefinitions({{"Alpha", {}}, {"Beta", {}}});
    InEditor(
        false,
        [&](TEditor& E) {
            E.ShowPage(TEditor::NamePage, E.DBEdit1);
            E.DefTable->Edit();
            E.DefTable->FieldByName("ReportName")->SetAsString("aLPHA");
            EXPECT_EQ(Save(E), TEditor::DuplicateNameText);
            EXPECT_EQ(E.ModalResult(), mrNone) << "the editor stays open";
            EXPECT_EQ(E.DefTable->State(), dsEdit) << "with the record still in edit";
            E.DefTable->FieldByName("ReportName")->SetAsString("Gamma");
            EXPECT_EQ(Save(E), "");
            EXPECT_EQ(E.ModalResult(), mrOk);
        },
        "Beta");
    EXPECT_EQ(Stored("Alpha", "ReportName"), "Alpha");
    EXPECT_EQ(Stored("Beta", "ReportName"), "<none>");
    EXPECT_EQ(Stored("Gamma", "ReportName"), "Gamma");
    EXPECT_EQ(DefinitionCount(), 2);
}

TEST_F(CustomFileReportEditor, DuplicateAndUniqueExcludeEachOtherAndLeaveOnlyColumnsAndOptions) {
    AddDefinition("Dups", {{"OnlyDuplicate", "True"}});
    InEditor(
        false,
        [&](TEditor& E) {
            // What a duplicate or unique definition can change: the columns and the two options.
            auto onlyColumns = [&](bool Only, const char* When) {
                for (TControl* c : std::initializer_list<TControl*>{
                         E.DBEdit2, E.DBPicField1, E.DateModified, E.CategoryCode, E.AttachedButton1,
                         E.Comment, E.SrchC[0], E.SrchC[10], E.SCS[0], E.SC[11], E.SCSSpinner[0],
                         E.MatchesRequired})
                    EXPECT_EQ(c->Enabled(), !Only) << When << ": " << c->Name();
                for (TControl* c : std::initializer_list<TControl*>{E.UseVersions, E.UseFileSize})
                    EXPECT_EQ(c->Enabled(), Only) << When << ": " << c->Name();
                EXPECT_TRUE(E.CS[0]->Enabled() && E.CS[10]->Enabled()) << When;
            };
            onlyColumns(true, "stored as duplicates");
            Driver.Click(*E.Unique);
            EXPECT_TRUE(E.Unique->Checked());
            EXPECT_FALSE(E.Duplicate->Checked());
            onlyColumns(true, "unique");
            Driver.Click(*E.Duplicate);
            EXPECT_TRUE(E.Duplicate->Checked());
            EXPECT_FALSE(E.Unique->Checked());
            Driver.Click(*E.UseVersions);
            Driver.Click(*E.UseFileSize);
            EXPECT_TRUE(E.UseFileSize->Checked());
            EXPECT_FALSE(E.UseVersions->Checked()) << "Use FileSize clears Use Versions";
            Driver.Click(*E.UseVersions);
            EXPECT_FALSE(E.UseFileSize->Checked()) << "and the other way round";
            Driver.Click(*E.Duplicate);
            onlyColumns(false, "neither");
            Driver.Click(*E.Unique);
            EXPECT_EQ(Save(E), "");
        },
        "Dups");
    EXPECT_EQ(Stored("Dups", "OnlyDuplicate"), "False");
    EXPECT_EQ(Stored("Dups", "OnlyUnique"), "True");
    EXPECT_EQ(Stored("Dups", "UseVersions"), "True");
    EXPECT_EQ(Stored("Dups", "UseFileSize"), "False");
}

TEST_F(CustomFileReportEditor, CategoryCodeIsCheckedAndPickedFromTheList) {
    AddDefinition("Cats");
    InEditor(
        false,
        [&](TEditor& E) {
            platform::ClearBeepHistory();
            Driver.KeyTo(*E.CategoryCode, VK_END);
            Driver.Type("zz");
            E.Comment->SetFocus();
            Driver.RunPending();
            ASSERT_FALSE(Texts().empty());
            EXPECT_EQ(Texts().back(), TEditor::CategoryMissingText);
            EXPECT_TRUE(platform::BeepHistory().empty()) << "no beep";
            EXPECT_EQ(E.ActiveControl(), E.CategoryCode);
            const size_t shown = Texts().size();
            E.DefTable->FieldByName("CategoryCode")->SetAsString("doc");
            E.Comment->SetFocus();
            Driver.RunPending();
            EXPECT_EQ(Texts().size(), shown) << "a known code in any case passes";
            // The "Finger" button: the picker's current code.
            Driver.AnswerWith([](TCustomForm& F) {
                auto& picker = dynamic_cast<cataloging::TCategoryForm&>(F);
                ASSERT_TRUE(picker.CategoryTable->FindKey({Variant("PIC")}));
                picker.SetModalResult(mrOk);
            });
            Driver.Click(*E.AttachedButton1);
            Driver.RunPending();
            EXPECT_EQ(E.DefTable->FieldByName("CategoryCode")->AsString(), "PIC");
            EXPECT_EQ(E.ActiveControl(), E.Comment);
        },
        "Cats");
}

TEST_F(CustomFileReportEditor, TheKeywordCountShowsOnlyForSomeKeywords) {
    AddDefinition("Words", {{"MatchCriteria11", "6"}, {"MatchesRequired", "4"}});
    InEditor(
        false,
        [&](TEditor& E) {
            EXPECT_TRUE(E.MatchesRequired->Visible()) << "stored as Keywords-Some";
            EXPECT_EQ(E.MatchesRequired->GetAsInteger(), 4);
            for (int index = 0; index < 8; ++index) {
                Choose(*E.SrchC[10], index);
                EXPECT_EQ(E.MatchesRequired->Visible(), E.SrchC[10]->Items()[index] == "Keywords-Some")
                    << E.SrchC[10]->Items()[index];
                EXPECT_EQ(E.MatchesRequiredSpinner->Visible(), E.MatchesRequired->Visible());
            }
        },
        "Words");
}

}  // namespace
}  // namespace reports
