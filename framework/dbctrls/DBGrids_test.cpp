// The data-aware grid over an in-memory dataset: rows following the dataset, cells from points,
// columns set in code, and editing in place.

#include "framework/dbctrls/DBGrids.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "framework/stdctrls/TypInfo.h"
#include "framework/testsupport/MemDataSet.h"
#include "framework/ui/Forms.h"
#include "framework/ui/testsupport/FormDriver.h"

namespace framework {
namespace {

using testsupport::TMemDataSet;

class DBGridTest : public ::testing::Test {
protected:
    void SetUp() override {
        Data.FieldDefs.Add("N", ftInteger);
        Data.FieldDefs.Add("Name", ftString, 20);
        Data.Open();
        for (int i = 1; i <= 50; ++i) Data.AppendRecord({Variant(i), Variant("Item " + std::to_string(i))});
        Data.First();
        Source.SetDataSet(&Data);
        Form = TCustomForm::Create<TForm>(Application);
        Form->SetBounds(100, 100, 360, 260);
        Grid = NewComponent<TDBGrid>(Form);
        Grid->SetParent(Form);
        Grid->SetBounds(8, 8, 320, 200);
        Grid->SetDataSource(&Source);
        Form->Show();
        Driver.RunPending();
    }
    void TearDown() override {
        Form->Free();
        Driver.RunPending();
    }
    // The N shown in each data row, top to bottom.
    std::vector<int> ShownRows() {
        std::vector<int> r;
        for (int row = 1;; ++row) {
            std::string s = Grid->DisplayedText(1, row);
            if (s.empty()) break;
            r.push_back(std::stoi(s));
        }
        return r;
    }
    int CurrentN() { return Data.FieldByName("N")->AsInteger(); }
    // The middle of a cell.
    TPoint Centre(int Col, int Row) {
        TRect r = Grid->CellRect(Col, Row);
        return TPoint{(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2};
    }
    TFormDriver Driver;
    TMemDataSet Data;
    TDataSource Source;
    TForm* Form = nullptr;
    TDBGrid* Grid = nullptr;
};

TEST_F(DBGridTest, RowsFollowNextPriorLocateKeysWheelAndScrollBar) {
    int rows = Grid->VisibleRowCount();
    ASSERT_GE(rows, 8);
    EXPECT_EQ(Data.BufferCount(), rows);    // one record buffer per visible row
    EXPECT_EQ(Grid->Columns().Count(), 2);  // default columns, one per field
    EXPECT_EQ(Grid->DisplayedText(1, 0), "N");
    EXPECT_EQ(Grid->DisplayedText(2, 0), "Name");
    auto expectView = [&](int first, int current) {
        SCOPED_TRACE("first " + std::to_string(first) + ", current " + std::to_string(current));
        std::vector<int> want;
        for (int n = first; n < first + rows; ++n) want.push_back(n);
        EXPECT_EQ(ShownRows(), want);
        EXPECT_EQ(CurrentN(), current);
        EXPECT_EQ(Grid->Row(), current - first + 1);
        EXPECT_EQ(Grid->DisplayedText(1, Grid->Row()), std::to_string(current));
    };
    expectView(1, 1);
    for (int i = 0; i < rows + 4; ++i) Data.Next();
    expectView(6, rows + 5);  // scrolled by four rows past the bottom
    Data.Prior();
    expectView(6, rows + 4);  // inside the view: no scrolling
    ASSERT_TRUE(Data.Locate("N", Variant(40), 0));
    EXPECT_EQ(CurrentN(), 40);
    EXPECT_EQ(Grid->DisplayedText(1, Grid->Row()), "40");
    EXPECT_GT(Grid->Row(), 1);
    EXPECT_LT(Grid->Row(), rows);  // centred
    Data.Last();
    expectView(51 - rows, 50);

    // The indicator marks the current row with a black arrow, and only that row.
    Driver.RunPending();
    TPoint arrow = Centre(0, Grid->Row());
    EXPECT_EQ(Driver.PixelAt(*Grid, arrow.X, arrow.Y), 0x000000u);
    TPoint other = Centre(0, Grid->Row() - 1);
    EXPECT_NE(Driver.PixelAt(*Grid, other.X, other.Y), 0x000000u);

    // Keys, the wheel and the scroll bar move the dataset.
    Grid->SetFocus();
    Driver.Key(VK_HOME, ssCtrl);
    expectView(1, 1);
    Driver.Key(VK_DOWN);
    EXPECT_EQ(CurrentN(), 2);
    Driver.Key(VK_NEXT);
    EXPECT_EQ(CurrentN(), 2 + rows);
    Driver.Key(VK_UP);
    EXPECT_EQ(CurrentN(), 1 + rows);
    Driver.Wheel(*Grid, -120);
    EXPECT_EQ(CurrentN(), 2 + rows);
    Driver.ScrollBar(*Grid, SB_VERT, SB_LINEDOWN);
    EXPECT_EQ(CurrentN(), 3 + rows);
    Driver.Key(VK_END, ssCtrl);
    expectView(51 - rows, 50);
}

TEST_F(DBGridTest, ClicksAndDoubleClicksOnRowsAndMouseCoordTellsTheTitleRowApart) {
    int dbl = 0;
    Grid->OnDblClick = [&](TObject*) { ++dbl; };
    TPoint title = Centre(1, 0);
    EXPECT_EQ(Grid->MouseCoord(title.X, title.Y), (TGridCoord{1, 0}));
    TPoint third = Centre(2, 3);
    EXPECT_EQ(Grid->MouseCoord(third.X, third.Y), (TGridCoord{2, 3}));
    TPoint indicator = Centre(0, 2);
    EXPECT_EQ(Grid->MouseCoord(indicator.X, indicator.Y), (TGridCoord{0, 2}));
    // Right of the last column and outside the grid: no cell.
    EXPECT_EQ(Grid->MouseCoord(Grid->ClientWidth() - 2, third.Y), (TGridCoord{-1, -1}));
    EXPECT_EQ(Grid->MouseCoord(-1, third.Y), (TGridCoord{-1, -1}));

    Driver.DoubleClick(*Grid, third.X, third.Y);
    EXPECT_EQ(dbl, 1);
    EXPECT_EQ(CurrentN(), 3);  // the row clicked became current
    EXPECT_EQ(Grid->SelectedIndex(), 1);
    Driver.Click(*Grid, Centre(1, 5).X, Centre(1, 5).Y);
    EXPECT_EQ(CurrentN(), 5);
    EXPECT_EQ(Grid->SelectedIndex(), 0);
    EXPECT_EQ(Data.State(), dsBrowse);

    // Below the last record of a short dataset there is no row.
    TMemDataSet one;
    one.FieldDefs.Add("N", ftInteger);
    one.FieldDefs.Add("Name", ftString, 20);
    one.Open();
    one.AppendRecord({Variant(1), Variant("only")});
    Source.SetDataSet(&one);
    Driver.RunPending();
    TPoint row1 = Centre(1, 1);
    EXPECT_EQ(Grid->MouseCoord(row1.X, row1.Y), (TGridCoord{1, 1}));
    EXPECT_EQ(Grid->MouseCoord(row1.X, row1.Y + 3 * Grid->DefaultRowHeight()), (TGridCoord{-1, -1}));
    Source.SetDataSet(&Data);
}

TEST_F(DBGridTest, ColumnsSetInCodeShowTheirTitlesWidthsAndAlignment) {
    Grid->SetOptions(dgTitles | dgIndicator | dgColLines | dgRowLines | dgRowSelect | dgAlwaysShowSelection |
                     dgColumnResize);
    Grid->SetReadOnly(true);
    TColumn* name = Grid->Columns().Add();
    name->SetFieldName("Name");
    name->Title().SetCaption("Catalog Name");
    name->SetWidth(150);
    TColumn* n = Grid->Columns().Add();
    n->SetFieldName("N");
    n->Title().SetCaption("Length");
    n->Title().SetAlignment(taCenter);
    n->SetWidth(75);
    // The title font is reached by its path, as window state keeps it.
    Grid->SetName("FileReportGrid");
    SetPropertyPath(Form, "FileReportGrid.TitleFont.Style", "[fsBold]");
    EXPECT_EQ(Grid->TitleFont().Style, fsBold);
    EXPECT_EQ(GetPropertyPath(Form, "FileReportGrid.ReadOnly"), "True");

    ASSERT_EQ(Grid->Columns().Count(), 2);
    EXPECT_EQ(Grid->DisplayedText(1, 0), "Catalog Name");
    EXPECT_EQ(Grid->DisplayedText(2, 0), "Length");
    EXPECT_EQ(Grid->DisplayedText(1, 1), "Item 1");
    EXPECT_EQ(Grid->CellRect(1, 1).Width(), 150);
    EXPECT_EQ(Grid->CellRect(2, 1).Width(), 75);
    EXPECT_EQ(n->Alignment(), taRightJustify);  // from the integer field
    Data.MoveBy(2);
    Driver.RunPending();
    // The whole current row is highlighted, also without the focus.
    TPoint cell = Centre(2, 3);
    EXPECT_EQ(Driver.PixelAt(*Grid, Grid->CellRect(2, 3).Left + 2, cell.Y), GetSysColor(COLOR_HIGHLIGHT));
    EXPECT_EQ(Driver.PixelAt(*Grid, Grid->CellRect(2, 2).Left + 2, cell.Y - Grid->DefaultRowHeight()),
              GetSysColor(COLOR_WINDOW));
    ASSERT_TRUE(Driver.Grab(*Form, KORVANE_BUILD_DIR "/dbgrid-columns.png"));

    // Dragging the right edge of a title sizes its column.
    TRect t = Grid->CellRect(1, 0);
    Driver.MouseDown(*Grid, t.Right, t.Top + 5);
    Driver.MouseMove(*Grid, t.Right + 30, t.Top + 5);
    Driver.MouseUp(*Grid, t.Right + 30, t.Top + 5);
    EXPECT_EQ(name->Width(), 180);

    // Back to the default columns: one per field again.
    Grid->Columns().RestoreDefaults();
    EXPECT_EQ(Grid->DisplayedText(1, 0), "N");
}

TEST_F(DBGridTest, ColumnsWiderThanTheGridScrollSideways) {
    for (const char* name : {"N", "Name", "N", "Name", "N"}) {
        TColumn* c = Grid->Columns().Add();
        c->SetFieldName(name);
        c->SetWidth(100);
    }
    Driver.RunPending();
    EXPECT_NE(GetWindowLong(Grid->Handle(), GWL_STYLE) & WS_HSCROLL, 0u);
    EXPECT_EQ(Grid->LeftCol(), 0);
    Grid->SetFocus();
    Driver.Key(VK_END);
    EXPECT_EQ(Grid->SelectedIndex(), 4);
    ASSERT_GT(Grid->LeftCol(), 0);
    EXPECT_LE(Grid->CellRect(5, 1).Right, Grid->ClientWidth());  // the last column shows whole
    EXPECT_EQ(Grid->CellRect(1, 1).Width(), 0);                  // the first is out of view
    TRect first = Grid->CellRect(Grid->LeftCol() + 1, 1);
    EXPECT_EQ(Grid->MouseCoord(first.Left + 5, first.Top + 5), (TGridCoord{Grid->LeftCol() + 1, 1}));
    ASSERT_TRUE(Driver.Grab(*Form, KORVANE_BUILD_DIR "/dbgrid-wide.png"));
    int furthest = Grid->LeftCol();
    Driver.ScrollBar(*Grid, SB_HORZ, SB_LINERIGHT);
    EXPECT_EQ(Grid->LeftCol(), furthest);  // no further than the last column needs
    Driver.Key(VK_HOME);
    EXPECT_EQ(Grid->LeftCol(), 0);
    Driver.ScrollBar(*Grid, SB_HORZ, SB_LINERIGHT);
    EXPECT_EQ(Grid->LeftCol(), 1);
    // With whole-row selection the arrows scroll.
    Grid->SetOptions(DefaultDBGridOptions | dgRowSelect);
    Driver.Key(VK_LEFT);
    EXPECT_EQ(Grid->LeftCol(), 0);
    Driver.Key(VK_RIGHT);
    EXPECT_EQ(Grid->LeftCol(), 1);
}

TEST_F(DBGridTest, TypingEditsInPlaceEnterWritesMovingPostsEscapeCancels) {
    const int posts = Data.PostAttempts;  // the records added by the fixture
    Grid->SetFocus();
    Grid->SetSelectedIndex(1);
    // Opening the editor alone does not start editing; the first change does.
    Driver.Key(VK_F2);
    EXPECT_TRUE(Grid->EditorMode());
    EXPECT_EQ(Data.State(), dsBrowse);
    Driver.Key(VK_ESCAPE);
    EXPECT_FALSE(Grid->EditorMode());

    Driver.Type("Z");
    EXPECT_EQ(Data.State(), dsEdit);
    ASSERT_TRUE(Grid->EditorMode());
    EXPECT_EQ(Grid->InplaceEditor()->Text(), "Z");  // the typed character replaces the value
    Driver.Type("ip");
    Driver.Key(VK_RETURN);
    EXPECT_FALSE(Grid->EditorMode());
    EXPECT_EQ(Data.FieldByName("Name")->AsString(), "Zip");
    EXPECT_EQ(Data.State(), dsEdit);
    EXPECT_EQ(Data.PostAttempts, posts);
    Driver.Key(VK_DOWN);  // leaving the record posts it
    EXPECT_EQ(Data.State(), dsBrowse);
    EXPECT_EQ(Data.PostAttempts, posts + 1);
    Data.First();
    EXPECT_EQ(Data.FieldByName("Name")->AsString(), "Zip");

    // Escape drops the change and cancels the record.
    Driver.Type("Q");
    EXPECT_EQ(Data.State(), dsEdit);
    Driver.Key(VK_ESCAPE);
    EXPECT_EQ(Data.State(), dsBrowse);
    EXPECT_FALSE(Grid->EditorMode());
    EXPECT_EQ(Data.FieldByName("Name")->AsString(), "Zip");
    EXPECT_EQ(Data.PostAttempts, posts + 1);

    // A read-only grid, a read-only column and a whole-row selection refuse typing.
    struct Case {
        const char* Name;
        std::function<void()> Set, Reset;
    };
    Case cases[] = {
        {"read-only grid", [&] { Grid->SetReadOnly(true); }, [&] { Grid->SetReadOnly(false); }},
        {"read-only column",
         [&] {
             TColumn* c = Grid->Columns().Add();
             c->SetFieldName("Name");
             c->SetReadOnly(true);
             Grid->SetSelectedIndex(0);
         },
         [&] { Grid->Columns().RestoreDefaults(); }},
        {"row select", [&] { Grid->SetOptions(DefaultDBGridOptions | dgRowSelect); },
         [&] { Grid->SetOptions(DefaultDBGridOptions); }},
        {"read-only dataset", [&] { Data.ReadOnly = true; }, [&] { Data.ReadOnly = false; }},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.Name);
        c.Set();
        Grid->SetFocus();
        Driver.Type("X");
        Driver.Key(VK_F2);
        EXPECT_EQ(Data.State(), dsBrowse);
        EXPECT_FALSE(Grid->EditorMode());
        EXPECT_EQ(Data.FieldByName("Name")->AsString(), "Zip");
        c.Reset();
    }
    Grid->SetSelectedIndex(1);
    Driver.Type("Y");
    EXPECT_EQ(Data.State(), dsEdit);  // editable again
    // Leaving the grid for another control writes the cell.
    auto* other = NewComponent<TEdit>(Form);
    other->SetParent(Form);
    other->SetBounds(8, 212, 80, 21);
    other->SetFocus();
    EXPECT_FALSE(Grid->EditorMode());
    EXPECT_EQ(Data.FieldByName("Name")->AsString(), "Y");
    EXPECT_EQ(Data.State(), dsEdit);
    // The form goes while the editor has the focus.
    Grid->SetFocus();
    Driver.Type("W");
    EXPECT_TRUE(Grid->InplaceEditor()->Focused());
}

}  // namespace
}  // namespace framework
