#include <gtest/gtest.h>

#include <QImage>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "cataloging/editors/CategoryForm.h"
#include "cataloging/editors/EditDiskCommentForm.h"
#include "cataloging/testsupport/EditorFixture.h"
#include "controls/grid/CtlDbTable.h"
#include "framework/core/SysUtils.h"
#include "framework/print/Printers.h"
#include "framework/stdctrls/Buttons.h"
#include "framework/stdctrls/CheckBox.h"
#include "framework/stdctrls/Dialogs.h"
#include "framework/stdctrls/Edit.h"
#include "framework/stdctrls/Label.h"
#include "framework/stdctrls/RadioButton.h"

namespace cataloging::editortest {
namespace {

using V = std::vector<std::string>;

class CategoryEditorTest : public EditorTest {
protected:
    TCategoryForm* Form = nullptr;
    void TearDown() override {
        if (Form) Form->Free();
        EditorTest::TearDown();
    }
    TCategoryForm& Open() {
        Form = TCustomForm::Create<TCategoryForm>(Application);
        Form->Show();
        Driver.RunPending();
        return *Form;
    }
    V Codes() {
        V out;
        dbsql::TDbTable& t = *Form->CategoryTable;
        t.First();
        while (!t.Eof()) {
            out.push_back(t.FieldByName("Code")->AsString());
            t.Next();
        }
        return out;
    }
    void Insert(const std::string& Code, const std::string& Description) {
        Form->CategoryTable->Append();
        Form->CategoryTable->FieldByName("Code")->SetAsString(Code);
        Form->CategoryTable->FieldByName("Description")->SetAsString(Description);
        Form->CategoryTable->Post();
    }
};

TEST_F(CategoryEditorTest, CodesAreStoredInUpperCaseAndADuplicateStaysOpenForCorrection) {
    Open();
    Insert("disk", "Disk images");
    EXPECT_EQ(Codes(), V{"DISK"});
    // The window shows its own message and ends the post with the silent abort.
    EXPECT_THROW(Insert("DISK", "Again"), EAbort);
    EXPECT_EQ(Messages(), V{TCategoryForm::DuplicateCodeText});
    EXPECT_EQ(Form->CategoryTable->State(), dsInsert) << "the new record stays open";
    Form->CategoryTable->FieldByName("Code")->SetAsString("DISK2");
    Form->CategoryTable->Post();
    EXPECT_EQ(Codes(), (V{"DISK", "DISK2"}));
}

TEST_F(CategoryEditorTest, InsertAndEditPutTheFocusOnTheCodeUnlessTheDescriptionHasIt) {
    AddCategory("DOCS", "Documents");
    Open();
    grid::TCtlDbTable& g = *Form->Grid;
    // Insert from the navigator, with the description cell active: the code takes the focus.
    g.SetActiveCol(1);
    Form->SortByCode->SetFocus();
    Form->EditNavigator->BtnClick(nbInsert);
    EXPECT_EQ(Form->CategoryTable->State(), dsInsert);
    EXPECT_TRUE(g.Focused());
    EXPECT_EQ(g.ActiveCol(), 0);
    Form->CategoryTable->Cancel();

    struct TCase {
        const char* What;
        bool GridFocused;
        int32_t Column, Expected;
    } cases[] = {
        {"the description keeps the focus", true, 1, 1},
        {"the code keeps the focus", true, 0, 0},
        {"an edit from the navigator goes to the code", false, 1, 0},
    };
    for (const TCase& c : cases) {
        g.SetActiveCol(c.Column);
        if (c.GridFocused)
            g.SetFocus();
        else
            Form->SortByCode->SetFocus();
        Form->EditNavigator->BtnClick(nbEdit);
        EXPECT_EQ(Form->CategoryTable->State(), dsEdit) << c.What;
        EXPECT_TRUE(g.Focused()) << c.What;
        EXPECT_EQ(g.ActiveCol(), c.Expected) << c.What;
        Form->CategoryTable->Cancel();
    }
}

TEST_F(CategoryEditorTest, SortingAndSelecting) {
    AddCategory("ZED", "Alpha");
    AddCategory("ABC", "Zulu");
    Open();
    EXPECT_EQ(Codes(), (V{"ABC", "ZED"}));
    Form->SortByDescription->Click();
    EXPECT_EQ(Form->CategoryTable->IndexName(), "ByDescription");
    EXPECT_EQ(Codes(), (V{"ZED", "ABC"}));
    Form->SelectClick();
    EXPECT_EQ(Form->ModalResult(), mrOk);
    Form->UseAsEditor();
    EXPECT_FALSE(Form->SelectBtn->Visible());
}

TEST_F(CategoryEditorTest, SelectingFromAnEmptyTableIsRefused) {
    Open();
    Form->SelectClick();
    EXPECT_EQ(Form->ModalResult(), mrNone);
    EXPECT_EQ(Messages(), V{"No Category Selected"});
}

TEST_F(CategoryEditorTest, TheReportPromptLooksCodesUp) {
    AddCategory("DOCS", "Documents");
    auto* f = TCustomForm::Create<TGetCategoryForm>(Application);
    f->Show();
    Driver.RunPending();
    EXPECT_EQ(f->Description->Text(), "No Category");
    f->Code->SetText("docs");
    f->CodeExit();
    EXPECT_EQ(f->Description->Text(), "Documents");
    f->Code->SetText("NOPE");
    f->CodeExit();
    EXPECT_EQ(Messages(), V{"Category Not Found - Use The \"Finger\" Button To Select From A List"});
    EXPECT_EQ(f->ActiveControl(), f->Code) << "the focus goes back to the code";
    f->Code->SetText("  ");
    f->CodeExit();
    EXPECT_EQ(f->Description->Text(), "No Category");

    Driver.AnswerWith([](TCustomForm& Picker) { Picker.SetModalResult(mrOk); });
    f->ListClick();
    EXPECT_EQ(f->Code->Text(), "DOCS");
    EXPECT_EQ(f->Description->Text(), "Documents");
    f->Free();
}

TEST_F(CategoryEditorTest, ThePrintedListHasItsHeadingsOrderAndAlternatingLines) {
    if (std::system("command -v pdftotext >/dev/null 2>&1 && command -v pdftoppm >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "poppler-utils missing";
    const std::string pdf = Program.Path() + "/list.pdf";
    setenv("KORVANE_PRINT_TO", pdf.c_str(), 1);
    AddCategory("ZED", "Alpha things");
    AddCategory("ABC", "Zulu things");
    AddCategory("MID", "Middle things");
    Open();
    Form->SortByDescription->Click();
    Driver.AnswerDialog([](TCommonDialog&) { return true; });
    Form->PrintClick();
    unsetenv("KORVANE_PRINT_TO");
    ASSERT_EQ(std::system(("pdftotext -layout " + pdf + " " + pdf + ".txt").c_str()), 0);
    std::ifstream in(pdf + ".txt");
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("Korvane Category Listing"), std::string::npos) << text;
    EXPECT_NE(text.find("Page"), std::string::npos);
    for (const std::string heading : {"Code", "Description"}) {
        size_t count = 0;
        for (size_t at = text.find(heading); at != std::string::npos; at = text.find(heading, at + 1))
            ++count;
        EXPECT_EQ(count, 2u) << heading << ": a heading over each column";
    }
    const size_t a = text.find("Alpha"), m = text.find("Middle"), z = text.find("Zulu");
    ASSERT_TRUE(a != std::string::npos && m != std::string::npos && z != std::string::npos) << text;
    EXPECT_LT(a, m);
    EXPECT_LT(m, z) << "by description";

    ASSERT_EQ(std::system(("pdftoppm -r 96 -png -f 1 -l 1 " + pdf + " " + Program.Path() + "/page").c_str()),
              0);
    QImage page(QString::fromStdString(Program.Path() + "/page-1.png"));
    ASSERT_FALSE(page.isNull());
    // Down the middle of the first column's right part: grey, white, grey lines.
    std::vector<uint32_t> colours;
    const int x = page.width() / 2 - 60;
    for (int y = 0; y < page.height() / 3; ++y) {
        const uint32_t c = page.pixel(x, y) & 0xFFFFFFu;
        if (c == 0xC0C0C0u || (c == 0xFFFFFFu && !colours.empty()))
            if (colours.empty() || colours.back() != c) colours.push_back(c);
    }
    ASSERT_GE(colours.size(), 3u);
    EXPECT_EQ(colours[0], 0xC0C0C0u);
    EXPECT_EQ(colours[1], 0xFFFFFFu);
    EXPECT_EQ(colours[2], 0xC0C0C0u);
}

// ---- The disk comment editor ----

class DiskCommentEditorTest : public EditorTest {
protected:
    TEditDiskCommentForm* Form = nullptr;
    void TearDown() override {
        if (Form) Form->Free();
        EditorTest::TearDown();
    }
    TEditDiskCommentForm& Open(const std::string& Volume = {}) {
        Form = TCustomForm::Create<TEditDiskCommentForm>(Application);
        Form->OpenSummary(Volume);
        Form->Show();
        Driver.RunPending();
        return *Form;
    }
    std::string Current() { return Form->SummaryTable->FieldByName("CatalogVolumeLabel")->AsString(); }
    int Width(int Index) { return Form->Grid->Columns().Column(Index)->Width(); }
    int Text(const std::string& S) { return EditorTextWidthForTest(S); }
    int EditorTextWidthForTest(const std::string& S) {
        Form->MeasureLabel->Canvas().Font.Assign(Form->Grid->Font());
        return Form->MeasureLabel->Canvas().TextWidth(S);
    }
    // Every stored field of every volume but Comment, as text.
    static V OtherFields() {
        V out;
        auto t = OpenTable("Games_SUM");
        while (!t->Eof()) {
            for (int i = 0; i < t->Fields.Count(); ++i)
                if (t->Fields[i]->FieldName != "Comment") out.push_back(t->Fields[i]->AsString());
            t->Next();
        }
        return out;
    }
};

TEST_F(DiskCommentEditorTest, AnEmptyCatalogOpensWithTheHeadingWidths) {
    Open();
    EXPECT_TRUE(Form->SummaryTable->IsEmpty());
    EXPECT_EQ(Width(0), Text("Volume ID") + 8);
    EXPECT_EQ(Width(1), Text("Drv") + 8);
    EXPECT_EQ(Width(2), Text("Disk Capacity") + 8);
    Form->ZapClick();
    Form->GrabLastClick();
    EXPECT_FALSE(Form->UndoZapBtn->Enabled());
}

TEST_F(DiskCommentEditorTest, ColumnsGrowToTheirWidestValueAndTheCommentTakesTheRest) {
    Disk.WriteFile("A.TXT", "a");
    CatalogByRun('D', Disk, "A_VERY_LONG", "|size=123456789012345|cluster=512|free=123456789000000");
    DescribeVolume("A_VERY_LONG", "one");
    Other.WriteFile("B.TXT", "b");
    CatalogByRun('E', Other, "B", "|size=1024|cluster=512|free=1024");
    Open();
    EXPECT_EQ(Width(0), std::max(Text("Volume ID"), Text("A_VERY_LONG")) + 8);
    EXPECT_EQ(Width(2), std::max(Text("Disk Capacity"), Text("123,456,789,012,345")) + 8);
    int rest = Form->Grid->Width() - 84;
    for (int i = 0; i < 5; ++i) rest -= Width(i) - 8;
    EXPECT_EQ(Width(9), std::max(rest, Text("Comment")) + 8);
    EXPECT_EQ(Form->Grid->RowHeight(), Form->MeasureLabel->Canvas().TextHeight("Pj") + 8);

    const int before = Width(0);
    Driver.AnswerDialog([](TCommonDialog& D) {
        auto& font = static_cast<TFontDialog&>(D).Font();
        font.SetSize(font.Size() * 2);
        return true;
    });
    Form->FontClick();
    EXPECT_GT(Width(0), before) << "a bigger font measures again";
    ASSERT_TRUE(Driver.Grab(*Form, ::testing::TempDir() + "/disk-comment-editor.png"));
}

TEST_F(DiskCommentEditorTest, CancelInTheProgressWindowStopsTheMeasuring) {
    Disk.WriteFile("A.TXT", "a");
    for (const char* label : {"A", "WWWWWWWWWWW"}) CatalogByRun('D', Disk, label);
    catalog::TProgressForm& progress = MakeProgressWindow();
    Form = TCustomForm::Create<TEditDiskCommentForm>(Application);
    Form->OpenSummary({});
    // The opening's first record, then the move past volume A.
    CancelAfterScrolls(*Form->MeasureTable, 2);
    Form->Show();
    Driver.RunPending();
    EXPECT_EQ(Width(0), Text("Volume ID") + 8) << "the long label was never measured";
    EXPECT_EQ(progress.ProgressBar->Progress(), 50);
    EXPECT_FALSE(progress.ProgressShown);
    EXPECT_FALSE(Form->MeasureTable->Active());
}

TEST_F(DiskCommentEditorTest, PostsWriteOnlyTheCommentAndAdvanceExceptOnTheLastRow) {
    Disk.WriteFile("A.TXT", "a");
    for (const char* label : {"V1", "V2", "V3"}) CatalogByRun('D', Disk, label);
    DescribeVolume("V1", "first");
    const V others = OtherFields();
    Open("V2");
    ASSERT_EQ(Current(), "V2");
    Form->SummaryTable->Edit();
    Form->SummaryTable->FieldByName("Comment")->SetAsString("typed");
    Form->SummaryTable->Post();
    EXPECT_EQ(Current(), "V3") << "a user's post advances";
    Form->SummaryTable->Edit();
    Form->SummaryTable->FieldByName("Comment")->SetAsString("last");
    Form->SummaryTable->Post();
    EXPECT_EQ(Current(), "V3") << "the last row stays";

    Form->GrabBelowClick();
    EXPECT_EQ(Form->SummaryTable->FieldByName("Comment")->AsString(), "last") << "nothing below";
    Form->SummaryTable->First();
    Form->GrabAboveClick();
    EXPECT_EQ(Current(), "V1") << "nothing above";
    EXPECT_EQ(Form->SummaryTable->FieldByName("Comment")->AsString(), "first");

    Form->ZapClick();
    EXPECT_EQ(Form->SummaryTable->FieldByName("Comment")->AsString(), "");
    Form->UndoZapClick();
    EXPECT_EQ(Form->SummaryTable->FieldByName("Comment")->AsString(), "first");
    EXPECT_EQ(OtherFields(), others) << "only Comment changes";
}

}  // namespace
}  // namespace cataloging::editortest
