// Uncataloguing volumes, choosing volumes for the file comment editor and picking one volume, over
// a catalog made by cataloguing runs.

#include "cataloging/editors/SelectVolumeForms.h"

#include <gtest/gtest.h>

#include "catalog/GetStringForm.h"
#include "cataloging/editors/EditFileCommentForm.h"
#include "cataloging/testsupport/CatalogedVolumes.h"
#include "controls/grid/CtlDbTable.h"
#include "controls/grid/CtlListBox.h"
#include "controls/grid/CtlNotebook.h"
#include "dbsql/components/DbTable.h"
#include "framework/core/Masks.h"
#include "framework/stdctrls/CheckBox.h"
#include "framework/stdctrls/Edit.h"

namespace cataloging {
namespace {

using namespace framework;
using namespace runtest;

const std::vector<TVolumeFiles> kUncatalogVolumes = {
    {"ALPHA", {{"README.TXT", "0123456789"}, {"DOCS/MANUAL.DOC", "manual"}}},
    {"apex", {{"APEX.TXT", "a"}}},
    {"A\"B", {{"QUOTE.TXT", "q"}, {"SUB/INNER.TXT", "i"}}},
    {"COMMENT", {{"C.TXT", "c"}}},
    {"TAG", {{"T.TXT", "t"}, {"T2.TXT", "tt"}}},
    {"FILENAME", {{"F.TXT", "f"}}},
    {"BETA", {{"B.TXT", "b"}}}};

class SelectVolumeTest : public CatalogedVolumesTest {
protected:
    TSelectVolumeIDForm* Form = nullptr;

    void TearDown() override {
        if (Form) Form->Free();
        CatalogedVolumesTest::TearDown();
    }
    TSelectVolumeIDForm& Open(bool ForCommentEditor = false) {
        Form = TCustomForm::Create<TSelectVolumeIDForm>(Application);
        Form->ForCommentEditor = ForCommentEditor;
        Form->Show();
        Driver.RunPending();
        return *Form;
    }
    void SecondPage() {
        Form->Notebook->SetPageIndex(1);
        Driver.RunPending();
    }
    static V Labels() { return Rows("CAT1_SUM", {"CatalogVolumeLabel"}); }
    static V EntryVolumes() {
        V out;
        for (const std::string& v : Rows("CAT1_CAT", {"VolumeLabel"}))
            if (out.empty() || out.back() != v) out.push_back(v);
        std::sort(out.begin(), out.end());
        out.erase(std::unique(out.begin(), out.end()), out.end());
        return out;
    }
    static V Log() { return Rows("CAT1_LOG", {"Operation"}); }
    V Ticks() {
        V out;
        for (int i = 0; i < Form->CheckList->Items().Count(); ++i)
            if (Form->CheckList->GetItemState(i) == cbChecked) out.push_back(Form->CheckList->Items()[i]);
        return out;
    }
    void AnswerPrompt(const std::string& Text) {
        Driver.AnswerWith([Text](TCustomForm& f) {
            auto& prompt = dynamic_cast<catalog::TGetStringForm&>(f);
            prompt.ResultString->SetText(Text);
            prompt.SetModalResult(mrOk);
        });
    }
};

TEST_F(SelectVolumeTest, ASpecificationRemovesItsVolumesWithTheirEntriesAndLogsEachOne) {
    CatalogVolumes(kUncatalogVolumes);
    const V labels = Labels();
    ASSERT_EQ(labels.size(), 7u);
    const std::string apex = labels[2];  // as the run stored it
    ASSERT_EQ(UpperCase(apex), "APEX");
    const V otherSum = Without(Without(Without(WholeRows("CAT1_SUM"), "ALPHA"), "PEX"), "A\"B");
    const V otherCat = Without(Without(Without(WholeRows("CAT1_CAT"), "ALPHA"), "PEX"), "A\"B");
    const size_t logBefore = Log().size();

    Open();
    EXPECT_EQ(Form->Caption(), "Select Volume(s) To UnCatalog");
    EXPECT_TRUE(Form->KeepLog());
    Form->VSpec->SetText("A*");
    Grab(*Form, "SelectVolumeIDFormSpec");
    Form->ProceedClick();
    EXPECT_EQ(Form->ModalResult(), mrOk) << "the window closes";
    EXPECT_TRUE(Driver.Shown.empty()) << "a label pattern other than * is not confirmed";

    EXPECT_EQ(Labels(), (V{"BETA", "COMMENT", "FILENAME", "TAG"}));
    EXPECT_EQ(EntryVolumes(), (V{"BETA", "COMMENT", "FILENAME", "TAG"}));
    EXPECT_EQ(WholeRows("CAT1_SUM"), otherSum) << "the other volumes are untouched";
    EXPECT_EQ(WholeRows("CAT1_CAT"), otherCat);
    const V log = Log();
    ASSERT_EQ(log.size(), logBefore + 3);
    EXPECT_EQ(V(log.begin() + logBefore, log.end()),
              (V{"UNCATALOGED: Volume ID = \"A\"B\"", "UNCATALOGED: Volume ID = \"ALPHA\"",
                 "UNCATALOGED: Volume ID = \"" + apex + "\""}));
    EXPECT_EQ(ProgressCaptions, V{"UnCataloging Selected Disk(s)"});
    EXPECT_EQ(Form->VolumesToRemove(), 3);
    EXPECT_EQ(Progress->ProgressBar->Progress(), 100);
    EXPECT_FALSE(Progress->Showing());
}

TEST_F(SelectVolumeTest, LabelsThatNameColumnsOrHoldQuotesRemoveOnlyTheirOwnVolume) {
    CatalogVolumes(kUncatalogVolumes);
    SetOption("KeepActivityLog", "False");
    const size_t logBefore = Log().size();
    const struct {
        const char* Spec;
        V Left;
    } cases[] = {{"TAG", {"A\"B", "ALPHA", "apex", "BETA", "COMMENT", "FILENAME"}},
                 {"COMMENT", {"A\"B", "ALPHA", "apex", "BETA", "FILENAME"}},
                 {"FILENAME", {"A\"B", "ALPHA", "apex", "BETA"}},
                 {"A\"B", {"ALPHA", "apex", "BETA"}}};
    for (const auto& c : cases) {
        Open();
        EXPECT_FALSE(Form->KeepLog());
        Form->VSpec->SetText(c.Spec);
        Form->ProceedClick();
        Form->Free();
        Form = nullptr;
        V left = Labels(), volumes = EntryVolumes(), expected = c.Left;
        for (V* v : {&left, &volumes, &expected}) {
            for (std::string& s : *v) s = UpperCase(s);
            std::sort(v->begin(), v->end());
        }
        EXPECT_EQ(left, expected) << c.Spec;
        EXPECT_EQ(volumes, expected) << c.Spec;
    }
    EXPECT_EQ(Log().size(), logBefore) << "no log lines without KeepActivityLog";
}

TEST_F(SelectVolumeTest, ABlankSpecificationBecomesAStarAndAsksFirst) {
    CatalogVolumes({kUncatalogVolumes[0], kUncatalogVolumes[6]});
    for (const int answer : {mrNo, mrYes}) {
        Open();
        Form->VSpec->SetText("   ");
        Driver.Answer(answer);
        Form->ProceedClick();
        EXPECT_EQ(Form->VSpec->Text(), "*");
        ASSERT_FALSE(Driver.Shown.empty());
        EXPECT_EQ(Driver.Shown.back().Text, TSelectVolumeIDForm::UnCatalogAllText);
        EXPECT_EQ(Form->ModalResult(), mrOk) << "the window closes either way";
        EXPECT_EQ(Labels().size(), answer == mrNo ? 2u : 0u);
        EXPECT_EQ(Rows("CAT1_CAT", {"FileName"}).size(), answer == mrNo ? 3u : 0u);
        Form->Free();
        Form = nullptr;
    }
}

TEST_F(SelectVolumeTest, TheSecondPageRemovesTheTickedVolumesOnly) {
    CatalogVolumes(kUncatalogVolumes);
    Open();
    EXPECT_FALSE(Form->ListLoaded());
    SecondPage();
    ASSERT_TRUE(Form->ListLoaded());
    EXPECT_EQ(Form->CheckList->Items().Count(), 7);
    EXPECT_EQ(Form->CheckList->ItemIndex(), 0);
    Grab(*Form, "SelectVolumeIDForm");

    // The tag buttons.
    Form->TagAllClick();
    EXPECT_EQ(Ticks().size(), 7u);
    Form->ClearTagsClick();
    EXPECT_TRUE(Ticks().empty());
    AnswerPrompt("a*");
    Form->TagSeveralClick();
    EXPECT_EQ(Ticks().size(), 3u) << "ALPHA, apex and A\"B, in any case";
    AnswerPrompt("AL*");
    Form->UntagSeveralClick();
    Form->InvertTagsClick();
    V ticked = Ticks();
    std::sort(ticked.begin(), ticked.end());
    EXPECT_EQ(ticked, (V{"ALPHA", "BETA", "COMMENT", "FILENAME", "TAG"}));
    Driver.Answer(mrCancel);
    Form->TagSeveralClick();
    EXPECT_EQ(Ticks().size(), 5u) << "a cancelled prompt changes nothing";

    Form->ClearTagsClick();
    Driver.Shown.clear();
    Form->ProceedClick();
    EXPECT_EQ(Labels().size(), 7u) << "nothing ticked removes nothing";
    EXPECT_TRUE(Driver.Shown.empty()) << "and asks nothing";

    Form->Free();
    Open();
    SecondPage();
    AnswerPrompt("B*");
    Form->TagSeveralClick();
    AnswerPrompt("A\"B");
    Form->TagSeveralClick();
    Form->ProceedClick();
    V left = Labels();
    EXPECT_EQ(left.size(), 5u);
    EXPECT_EQ(std::count(left.begin(), left.end(), "BETA"), 0);
    EXPECT_EQ(std::count(left.begin(), left.end(), "A\"B"), 0);
    EXPECT_EQ(Log().back(), "UNCATALOGED: Volume ID = \"BETA\"");
}

TEST(SelectVolumeMask, ATickedLabelStandsForItselfNotForAMask) {
    const struct {
        const char* Label;
        const char* Other;
    } cases[] = {{"A*", "AB"}, {"A?", "AB"}, {"[X]", "X"}, {"PLAIN", "PLAINER"}};
    for (const auto& c : cases) {
        const std::string mask = LiteralMask(c.Label);
        EXPECT_TRUE(MatchesMask(c.Label, mask)) << c.Label;
        EXPECT_FALSE(MatchesMask(c.Other, mask)) << c.Label;
    }
}

TEST_F(SelectVolumeTest, TheCommentEditorModeOpensTheEditorOnTheChosenVolumesWithoutAsking) {
    CatalogVolumes(kUncatalogVolumes);
    const size_t entries = Rows("CAT1_CAT", {"FileName"}).size();
    const struct {
        const char* Spec;
        size_t Shown;
    } cases[] = {{"*", entries}, {"T*", 2}, {"", entries}};
    for (const auto& c : cases) {
        Open(true);
        EXPECT_EQ(Form->Caption(), "Select Volume(s) For File Comment Editor");
        Form->VSpec->SetText(c.Spec);
        size_t shown = 0;
        Driver.AnswerWith([&shown](TCustomForm& f) {
            auto& editor = dynamic_cast<TEditFileCommentForm&>(f);
            for (editor.CatalogTable->First(); !editor.CatalogTable->Eof(); editor.CatalogTable->Next())
                ++shown;
            editor.SetModalResult(mrCancel);
        });
        Form->ProceedClick();
        EXPECT_EQ(shown, c.Shown) << c.Spec;
        for (const auto& s : Driver.Shown) EXPECT_NE(s.Kind, "message") << s.Text;
        EXPECT_EQ(Form->ModalResult(), mrOk);
        Form->Free();
        Form = nullptr;
        Driver.Shown.clear();
    }
    EXPECT_EQ(Labels().size(), 7u) << "nothing is removed";
}

TEST_F(SelectVolumeTest, TheOneVolumePickerListsVolumesInOrderAndSelectsOnlyAVolume) {
    auto* picker = TCustomForm::Create<TSelectOneVolumeForm>(Application);
    picker->Show();
    picker->SelectClick();
    EXPECT_EQ(picker->ModalResult(), mrNone) << "no volume: nothing happens";
    picker->Free();

    CatalogVolumes({kUncatalogVolumes[6], kUncatalogVolumes[0], kUncatalogVolumes[4]});
    picker = TCustomForm::Create<TSelectOneVolumeForm>(Application);
    picker->Show();
    Driver.RunPending();
    EXPECT_EQ(picker->Caption(), "Volumes Cataloged");
    V shown;
    for (picker->SummaryTable->First(); !picker->SummaryTable->Eof(); picker->SummaryTable->Next())
        shown.push_back(picker->SummaryTable->FieldByName("CatalogVolumeLabel")->AsString());
    EXPECT_EQ(shown, (V{"ALPHA", "BETA", "TAG"}));
    EXPECT_EQ(picker->Grid->Column(0)->Width(), 154);
    Grab(*picker, "SelectOneVolumeForm");
    picker->SummaryTable->Last();
    picker->SelectClick();
    EXPECT_EQ(picker->ModalResult(), mrOk);
    EXPECT_EQ(picker->SummaryTable->FieldByName("CatalogVolumeLabel")->AsString(), "TAG");
    picker->SetModalResult(mrNone);
    Driver.DoubleClick(*picker->Grid, 40, 21 + 21 + 10);
    Driver.RunPending();
    EXPECT_EQ(picker->ModalResult(), mrOk) << "a double click inside the grid selects";
    EXPECT_EQ(picker->SummaryTable->FieldByName("CatalogVolumeLabel")->AsString(), "BETA");
    picker->Free();
}

}  // namespace
}  // namespace cataloging
