// The virtual grid: the maps of the rows and columns on screen, hidden rows and columns, the hit
// test, scrolling and the scroll bars of large grids, option rules, painting from the invalid-cell
// set, the colours of active, locked and plain cells, grid lines, the active cell and the file list
// of the offload window.
#include "controls/grid/CtlTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "controls/entry/CtlCommands.h"
#include "framework/graphics/Gdi.h"
#include "framework/ui/Forms.h"
#include "framework/ui/testsupport/FormDriver.h"

namespace grid {
namespace {

using namespace framework;

class TableTest : public ::testing::Test {
protected:
    TFormDriver Driver;
    TForm* Form = TCustomForm::Create<TForm>(Application);
    TCtlTable* Grid = nullptr;
    std::map<std::pair<int32_t, int32_t>, int> Painted;  // cell data asked for painting

    void TearDown() override {
        Form->Free();
        Driver.RunPending();
    }
    // A grid without border or scroll bars; every column 100 wide, rows of 20.
    TCtlTable* MakeGrid(int W, int H, int Cols, int Rows, bool Cells = false) {
        Form->SetBounds(0, 0, 700, 500);
        Grid = NewComponent<TCtlTable>(Form);
        Grid->SetBorderStyle(bsNone);
        Grid->SetScrollBars(ssNone);
        Grid->SetColCount(Cols);
        Grid->SetRowLimit(Rows);
        Grid->Rows().SetDefaultHeight(20);
        for (int C = 0; C < Cols; ++C) Grid->Columns().Items(C)->SetWidth(100);
        if (Cells) {
            auto* Text = NewComponent<TCtlTCString>(Form);
            for (int C = 0; C < Cols; ++C) Grid->Columns().Items(C)->SetDefaultCell(Text);
        }
        Grid->OnGetCellData = [this](TObject*, int32_t R, int32_t C, TCtlCellValue& V,
                                     TCtlCellDataPurpose P) {
            if (P == cdpForPaint) ++Painted[{R, C}];
            V = TCtlCellValue::String(std::to_string(R) + ":" + std::to_string(C));
        };
        Grid->SetBounds(0, 0, W, H);
        Grid->SetParent(Form);
        Form->Show();
        Driver.RunPending();
        return Grid;
    }
    uint32_t Pixel(int X, int Y) { return Driver.PixelAt(*Grid, X, Y); }
    // Presses the button at the first point, moves through the others and lets go at the last.
    void Drag(std::initializer_list<TPoint> Path) {
        const TPoint From = *Path.begin(), To = *(Path.end() - 1);
        Driver.MouseMove(*Grid, From.X, From.Y);
        Driver.MouseDown(*Grid, From.X, From.Y);
        for (auto P = Path.begin() + 1; P != Path.end(); ++P) Driver.MouseMove(*Grid, P->X, P->Y);
        Driver.MouseUp(*Grid, To.X, To.Y);
        Driver.RunPending();
    }
};

// ---- Layout ----

TEST_F(TableTest, ColumnMapHiddenColumnsAndTheLastStart) {
    MakeGrid(350, 200, 6, 10);
    EXPECT_EQ(Grid->ColumnMap().Numbers, (std::vector<int32_t>{0, 1, 2, 3}));
    EXPECT_EQ(Grid->ColumnMap().Offsets, (std::vector<int32_t>{0, 100, 200, 300}));
    EXPECT_EQ(Grid->ColumnMap().Extent, 400);  // column 3 only partly shown
    // From 4 on, 4 and 5 fit beside the locked column; from 3 they do not.
    EXPECT_EQ(Grid->MaxLeftCol(), 4);
    Grid->SetLeftCol(5);
    EXPECT_EQ(Grid->LeftCol(), 4);

    Grid->Columns().Items(2)->SetHidden(true);
    struct Case {
        int32_t Col;
        int Direction;
        int32_t Answer;
    } Cases[] = {{2, 0, 3}, {2, -1, 1}, {2, 1, 3}, {0, 0, 1}, {9, 0, 1}, {5, 1, 5}};
    for (const Case& C : Cases)
        EXPECT_EQ(Grid->AdjustCol(C.Col, C.Direction), C.Answer) << C.Col << "," << C.Direction;
    for (int C = 1; C < 6; ++C) Grid->Columns().Items(C)->SetHidden(C != 2);
    EXPECT_EQ(Grid->AdjustCol(3, 0), 2);
    Grid->Columns().Items(2)->SetHidden(true);
    EXPECT_EQ(Grid->AdjustCol(3, 0), 3);  // nothing visible: the column itself
}

TEST_F(TableTest, HitTestRegionsAndTheTopRowLimit) {
    MakeGrid(350, 150, 3, 4);  // rows 0..3 end at y 80; columns at x 300
    struct Case {
        int X, Y;
        uint8_t Code;
        int32_t Row, Col;
    } Cases[] = {
        {150, 30, 0, 1, 1},  {50, 30, 1, 1, 0},  {150, 10, 1, 0, 1},  {150, 100, 2, -1, 1},
        {320, 30, 2, 1, -1}, {-5, 30, 3, 1, -2}, {150, -3, 3, -2, 1}, {400, 30, 3, 1, -1},
    };
    for (const Case& C : Cases) {
        int32_t R = 9, Col = 9;
        EXPECT_EQ(Grid->HitTest(C.X, C.Y, R, Col), C.Code) << C.X << "," << C.Y;
        EXPECT_EQ(R, C.Row) << C.X << "," << C.Y;
        EXPECT_EQ(Col, C.Col) << C.X << "," << C.Y;
    }
    Grid->SetRowLimit(50);
    Grid->SetTopRow(49);
    EXPECT_EQ(Grid->TopRow(), Grid->MaxTopRow());
    EXPECT_EQ(Grid->MaxTopRow(), 50 - 6);  // the locked row and six rows of 20 fill 140 of 150
}

TEST_F(TableTest, LargeGridsScaleTheScrollBarAndItsEndShowsTheLastRows) {
    MakeGrid(350, 200, 3, 10);
    Grid->SetScrollBars(ssVertical);
    Grid->SetRowLimit(100000);
    Driver.RunPending();
    TScrollInfo Info;
    Info.fMask = SIF_ALL;
    GetScrollInfo(Grid->Handle(), SB_VERT, Info);
    const int Min = Info.nMin, Max = Info.nMax;
    const int32_t Top = Grid->MaxTopRow();
    EXPECT_EQ(Min, 1);
    EXPECT_EQ(Max, Top / (Top / 1024 + 1));
    Grid->Perform(WM_VSCROLL, MakeWParam(SB_THUMBPOSITION, Max), 0);
    Driver.RunPending();
    EXPECT_EQ(Grid->TopRow(), Top);
    EXPECT_EQ(Grid->RowMap().Last(), 99999);
}

TEST_F(TableTest, OptionsAreMadeConsistent) {
    MakeGrid(300, 100, 3, 5);
    struct Case {
        TCtlTblOptionSet Given, Stored;
    } Cases[] = {
        {CtlTblOption(otoBrowseRow) | CtlTblOption(otoMouseDragSelect),
         CtlTblOption(otoBrowseRow) | CtlTblOption(otoNoRowResizing) | CtlTblOption(otoNoSelection)},
        {CtlTblOption(otoRowSelection) | CtlTblOption(otoAllowRowMoves), CtlTblOption(otoRowSelection)},
        {CtlTblOption(otoAlwaysEditing) | CtlTblOption(otoColSelection),
         CtlTblOption(otoAlwaysEditing) | CtlTblOption(otoNoRowResizing) | CtlTblOption(otoNoColResizing) |
             CtlTblOption(otoNoSelection)},
        {CtlTblOption(otoNoSelection) | CtlTblOption(otoRowSelection), CtlTblOption(otoNoSelection)},
    };
    for (const Case& C : Cases) {
        Grid->SetOptions(C.Given);
        EXPECT_EQ(Grid->Options(), C.Stored);
    }
}

// ---- Painting ----

TEST_F(TableTest, OnlyTheRowComingIntoViewIsPaintedWhenScrolling) {
    MakeGrid(350, 120, 3, 50, true);  // the locked row and five rows fill the height exactly
    Grid->SetActiveCell(1, 1);
    Driver.RunPending();
    Pixel(1, 1);  // everything painted once
    Painted.clear();
    Grid->InvalidateCell(40, 1);  // off screen
    EXPECT_EQ(Grid->InvalidCells().Count(), 0);
    Grid->ScrollTable(false, 1);
    Driver.RunPending();
    Pixel(1, 1);
    EXPECT_EQ(Grid->TopRow(), 2);
    const int32_t NewRow = Grid->RowMap().Last();
    EXPECT_EQ(NewRow, 6);
    std::map<std::pair<int32_t, int32_t>, int> Expected;
    for (int32_t C : Grid->ColumnMap().Numbers) Expected[{NewRow, C}] = 1;
    EXPECT_EQ(Painted, Expected);
}

TEST_F(TableTest, ColoursOfBrowsedLockedAndPlainCellsAndTheirLines) {
    MakeGrid(450, 150, 4, 6, false);
    auto* Text = NewComponent<TCtlTCString>(Form);
    Grid->Columns().Items(2)->SetDefaultCell(Text);
    Grid->Columns().Items(3)->SetDefaultCell(Text);
    Grid->SetOptions(CtlTblOption(otoBrowseRow));
    Grid->SetActiveCell(2, 2);
    Driver.RunPending();
    const TCtlTableColors& Colors = Grid->Colors();
    // Right of the short texts.
    auto Inside = [&](int32_t R, int32_t C) {
        const TRect Cell = Grid->CellRect(R, C);
        return Pixel(Cell.Right - 10, Cell.Top + 3);
    };
    // Unfocused: the whole active row, the active cell too; two string cells, one not active.
    ASSERT_NE(Colors.Color(TCtlTableColors::ActiveUnfocused), Grid->Color());
    EXPECT_EQ(Inside(2, 3), ColorToRGB(Colors.Color(TCtlTableColors::ActiveUnfocused)));
    EXPECT_EQ(Inside(2, 2), ColorToRGB(Colors.Color(TCtlTableColors::ActiveUnfocused)));
    EXPECT_EQ(Inside(2, 1), ColorToRGB(Colors.Color(TCtlTableColors::ActiveUnfocused)));
    EXPECT_EQ(Inside(3, 3), ColorToRGB(Grid->Color()));
    EXPECT_EQ(Inside(3, 0), ColorToRGB(Colors.Color(TCtlTableColors::Locked)));
    EXPECT_EQ(Inside(0, 1), ColorToRGB(Colors.Color(TCtlTableColors::Locked)));
    EXPECT_EQ(Inside(4, 1), ColorToRGB(Grid->Color()));  // no component: the grid's colour
    // A new pen set: dotted normal lines in the button shadow colour on the right and bottom edges,
    // the grid's colour between the dots.
    const TRect Plain = Grid->CellRect(4, 1);
    const TCtlGridPen& Normal = Grid->GridPenSet().NormalGrid();
    ASSERT_EQ(Normal.NormalColor(), clBtnShadow);
    std::string Bottom, Right;
    auto Dot = [&](int X, int Y) {
        const uint32_t P = Pixel(X, Y);
        return P == ColorToRGB(clBtnShadow) ? '*' : P == ColorToRGB(Grid->Color()) ? '.' : '?';
    };
    for (int X = Plain.Left + 10; X < Plain.Left + 20; ++X) Bottom += Dot(X, Plain.Bottom - 1);
    for (int Y = Plain.Top + 4; Y < Plain.Top + 14; ++Y) Right += Dot(Plain.Right - 1, Y);
    // Dots of three pixels three apart.
    auto Dotted = [](const std::string& S) {
        if (S.find('?') != std::string::npos) return false;
        for (size_t I = 0; I + 6 < S.size(); ++I)
            if (S[I] != S[I + 6] || S[I] == S[I + 3]) return false;
        return true;
    };
    EXPECT_TRUE(Dotted(Bottom)) << Bottom;
    EXPECT_TRUE(Dotted(Right)) << Right;
    // Vertical lines only.
    Grid->GridPenSet().NormalGrid().SetStyle(psSolid);
    Grid->GridPenSet().NormalGrid().SetEffect(geVertical);
    Driver.RunPending();
    const TRect Cell = Grid->CellRect(4, 1);
    EXPECT_EQ(Pixel(Cell.Right - 1, Cell.Top + 5), ColorToRGB(Normal.NormalColor()));
    EXPECT_EQ(Pixel(Cell.Left + 30, Cell.Bottom - 1), ColorToRGB(Grid->Color()));
}

// ---- Active cell ----

TEST_F(TableTest, TheActiveCellStaysOnVisibleScrollableCells) {
    MakeGrid(350, 300, 3, 10);
    std::vector<std::string> Log;
    Grid->OnActiveCellChanged = [&](TObject*, int32_t R, int32_t C) {
        Log.push_back("changed " + std::to_string(R) + "," + std::to_string(C));
    };
    Grid->OnActiveCellMoving = [&](TObject*, uint16_t Cmd, int32_t& R, int32_t&) {
        Log.push_back("moving " + std::to_string(Cmd) + " to " + std::to_string(R));
    };
    Grid->SetActiveRow(0);
    EXPECT_EQ(Grid->ActiveRow(), 1);
    Grid->SetActiveRow(50);
    EXPECT_EQ(Grid->ActiveRow(), 1);
    Grid->Rows().SetRow(3, 20, true);
    Grid->SetActiveRow(2);
    Grid->SetFocus();
    Driver.RunPending();
    Log.clear();
    Driver.Key(VK_DOWN);
    EXPECT_EQ(Grid->ActiveRow(), 4);
    Driver.Key(VK_UP);
    EXPECT_EQ(Grid->ActiveRow(), 2);
    Grid->SetActiveRow(9);
    Log.clear();
    Driver.Key(VK_DOWN);
    EXPECT_EQ(Grid->ActiveRow(), 9);
    EXPECT_EQ(Log, (std::vector<std::string>{"moving " + std::to_string(entry::ccDown) + " to 9"}));
}

TEST_F(TableTest, ShiftExtendsTheSelectionTabMovesAndAHandlerCanKeepTheRow) {
    MakeGrid(400, 300, 5, 10, true);
    Grid->SetActiveCell(2, 2);
    Grid->SetFocus();
    Driver.RunPending();
    for (int I = 0; I < 3; ++I) Driver.Key(VK_DOWN, ssShift);
    EXPECT_EQ(Grid->ActiveRow(), 5);
    for (int32_t R = 1; R <= 6; ++R)
        for (int32_t C = 1; C <= 3; ++C)
            EXPECT_EQ(Grid->IsCellSelected(R, C), C == 2 && R >= 2 && R <= 5) << R << "," << C;
    const TRect Selected = Grid->CellRect(3, 2);
    Driver.RunPending();
    EXPECT_EQ(Pixel(Selected.Left + 3, Selected.Top + 3),
              ColorToRGB(Grid->Colors().Color(TCtlTableColors::Selected)));
    Driver.Key(VK_DOWN);
    EXPECT_FALSE(Grid->HasSelection());

    Grid->SetOptions(CtlTblOption(otoTabToArrow));
    Driver.Key(VK_TAB, ssShift);
    EXPECT_EQ(Grid->ActiveCol(), 1);
    Driver.Key(VK_TAB);
    EXPECT_EQ(Grid->ActiveCol(), 2);
    Driver.Key(VK_TAB, ssCtrl);
    EXPECT_EQ(Grid->ActiveCol(), 2);

    // A handler that keeps the row and picks a column: only the column moves, whatever the key.
    Grid->OnActiveCellMoving = [this](TObject*, uint16_t, int32_t& R, int32_t& C) {
        R = Grid->ActiveRow();
        C = 3;
    };
    const int32_t Row = Grid->ActiveRow();
    int Col = 1;
    for (int Key : {VK_DOWN, VK_NEXT, VK_HOME, VK_UP}) {
        Grid->SetActiveCol(Col);  // through the handler too: column 3
        EXPECT_EQ(Grid->ActiveCol(), 3);
        Grid->OnActiveCellMoving = nullptr;
        Grid->SetActiveCol(1);
        Grid->OnActiveCellMoving = [this](TObject*, uint16_t, int32_t& R, int32_t& C) {
            R = Grid->ActiveRow();
            C = 3;
        };
        Driver.Key(Key);
        EXPECT_EQ(Grid->ActiveRow(), Row) << Key;
        EXPECT_EQ(Grid->ActiveCol(), 3) << Key;
    }
}

TEST_F(TableTest, CtrlEndOnTheLastRowKeepsTheSelectionAndDraggingBelowScrolls) {
    MakeGrid(400, 120, 4, 30, true);  // the locked row and five rows fill the height exactly
    Grid->SetActiveCell(27, 2);
    Grid->SetFocus();
    Driver.RunPending();
    Driver.Key(VK_DOWN, ssShift);
    Driver.Key(VK_DOWN, ssShift);
    EXPECT_EQ(Grid->ActiveRow(), 29);
    EXPECT_TRUE(Grid->IsCellSelected(27, 2));
    Driver.Key(VK_END, ssCtrl);
    EXPECT_TRUE(Grid->IsCellSelected(27, 2));  // the anchor and the selection stay
    EXPECT_TRUE(Grid->IsCellSelected(29, 2));

    // Dragging onto the partly shown bottom row: each move scrolls one row on.
    Grid->SetBounds(0, 0, 400, 130);
    Grid->SetOptions(CtlTblOption(otoMouseDragSelect));
    Grid->SetTopRow(1);
    Grid->SetActiveCell(2, 1);
    Driver.RunPending();
    ASSERT_EQ(Grid->TopRow(), 1);
    ASSERT_EQ(Grid->RowMap().Last(), 6);  // row 6 partly shown
    const TRect Start = Grid->CellRect(2, 2);
    Driver.MouseDown(*Grid, Start.Left + 5, Start.Top + 5);
    std::vector<int32_t> Tops;
    for (int I = 0; I < 3; ++I) {
        Driver.MouseMove(*Grid, Start.Left + 5, 125);
        Tops.push_back(Grid->TopRow());
    }
    Driver.MouseUp(*Grid, Start.Left + 5, 125);
    Driver.RunPending();
    EXPECT_EQ(Tops, (std::vector<int32_t>{2, 3, 4}));
    EXPECT_EQ(Grid->ActiveRow(), 8);
    for (int32_t R = 2; R <= 8; ++R) EXPECT_TRUE(Grid->IsCellSelected(R, 2)) << R;
    EXPECT_FALSE(Grid->IsCellSelected(9, 2));
    EXPECT_FALSE(Grid->IsCellSelected(5, 1));
}

// A cell whose editor never agrees to close.
class TStubbornCell : public TCtlTCString {
public:
    using TCtlTCString::TCtlTCString;
    bool CanStopEditing(bool) override { return false; }
};

TEST_F(TableTest, EditorsOpenByKeysAndClicksAndCloseByF2AndEscape) {
    MakeGrid(400, 300, 4, 10, true);
    std::vector<std::string> Saved;
    Grid->OnGetCellData = [&](TObject*, int32_t R, int32_t C, TCtlCellValue& V, TCtlCellDataPurpose P) {
        if (P == cdpForSave)
            Saved.push_back(V.Text);
        else
            V = TCtlCellValue::String("r" + std::to_string(R) + "c" + std::to_string(C));
    };
    // The first click into the unfocused grid only moves.
    const TRect Cell = Grid->CellRect(3, 2);
    Driver.Click(*Grid, Cell.Left + 10, Cell.Top + 5);
    Driver.RunPending();
    EXPECT_EQ(Grid->ActiveRow(), 3);
    EXPECT_FALSE(Grid->InEditingState());
    // A second click on the active cell opens the editor.
    Driver.Click(*Grid, Cell.Left + 10, Cell.Top + 5);
    Driver.RunPending();
    ASSERT_TRUE(Grid->InEditingState());
    auto* Edit = static_cast<TEdit*>(Grid->EditingCell()->EditControl());
    EXPECT_EQ(Edit->Text(), "r3c2");
    // A paint of the active cell alone under the editor paints nothing.
    Pixel(1, 1);
    Painted.clear();
    framework::InvalidateRect(Grid->Handle(), &Cell, false);
    Pixel(1, 1);
    EXPECT_TRUE(Painted.empty());
    Edit->SetText("new");
    Driver.Key(VK_F2);
    Driver.RunPending();
    EXPECT_FALSE(Grid->InEditingState());
    EXPECT_EQ(Saved, (std::vector<std::string>{"new"}));

    // A letter opens the editor and arrives in it.
    Driver.Type("q");
    Driver.RunPending();
    ASSERT_TRUE(Grid->InEditingState());
    Edit = static_cast<TEdit*>(Grid->EditingCell()->EditControl());
    EXPECT_NE(Edit->Text().find('q'), std::string::npos);
    Driver.Key(VK_ESCAPE);
    Driver.RunPending();
    EXPECT_FALSE(Grid->InEditingState());
    EXPECT_EQ(Saved.size(), 1u);  // nothing saved

    // With otoAlwaysEditing, F2 keeps the editor.
    Grid->SetOptions(CtlTblOption(otoAlwaysEditing));
    Driver.Key(VK_F2);
    Driver.RunPending();
    ASSERT_TRUE(Grid->InEditingState());
    Driver.Key(VK_F2);
    Driver.RunPending();
    EXPECT_TRUE(Grid->InEditingState());
    Grid->SetOptions(0);
    Driver.Key(VK_ESCAPE);
    Driver.RunPending();
    EXPECT_FALSE(Grid->InEditingState());

    // A double click on a heading opens nothing.
    const TRect Heading = Grid->CellRect(0, 2);
    Driver.DoubleClick(*Grid, Heading.Left + 5, Heading.Top + 5);
    Driver.RunPending();
    EXPECT_FALSE(Grid->InEditingState());

    // An editor that refuses to close keeps Escape; the key-down event fires once.
    auto* Stubborn = NewComponent<TStubbornCell>(Form);
    Grid->Columns().Items(1)->SetDefaultCell(Stubborn);
    Grid->SetActiveCell(3, 1);
    int KeyDowns = 0;
    Grid->OnKeyDown = [&](TObject*, uint16_t& Key, TShiftState) { KeyDowns += Key == VK_ESCAPE; };
    Driver.Key(VK_F2);
    Driver.RunPending();
    ASSERT_TRUE(Grid->InEditingState());
    Driver.Key(VK_ESCAPE);
    Driver.RunPending();
    EXPECT_TRUE(Grid->InEditingState());
    EXPECT_EQ(KeyDowns, 1);
    Grid->OnKeyDown = nullptr;
}

TEST_F(TableTest, AClickOnTheActiveCheckBoxReachesItsEditorAndToggles) {
    MakeGrid(400, 300, 4, 10, true);
    auto* Box = NewComponent<TCtlTCCheckBox>(Form);
    Grid->Columns().Items(1)->SetDefaultCell(Box);
    std::vector<int> Saved;
    Grid->OnGetCellData = [&](TObject*, int32_t, int32_t C, TCtlCellValue& V, TCtlCellDataPurpose P) {
        if (C != 1) return;
        if (P == cdpForSave)
            Saved.push_back(V.Check);
        else
            V = TCtlCellValue::CheckState(0);
    };
    Grid->SetActiveCell(2, 1);
    Grid->SetFocus();
    Driver.RunPending();
    const TRect Cell = Grid->CellRect(2, 1);
    Driver.Click(*Grid, Cell.Left + 10, Cell.Top + 8);
    Driver.RunPending();
    ASSERT_TRUE(Grid->InEditingState());
    Driver.Key(VK_F2);
    Driver.RunPending();
    EXPECT_EQ(Saved, (std::vector<int>{1}));  // the click toggled the box
}

TEST_F(TableTest, ColumnsAreResizedToSixPixelsAtLeastAndMovedByTheirHeadings) {
    MakeGrid(700, 300, 6, 10, true);
    Grid->SetFocus();
    Driver.RunPending();
    // The boundary right of column 2 (x 300).
    Driver.MouseMove(*Grid, 300, 10);
    EXPECT_EQ(Driver.CursorShown(*Grid), crHSplit);
    Drag({Point(300, 10), Point(202, 10)});
    EXPECT_EQ(Grid->Columns().Items(2)->Width(), 100);  // the line never came closer than 6
    Drag({Point(300, 10), Point(206, 10), Point(203, 10)});
    EXPECT_EQ(Grid->Columns().Items(2)->Width(), 6);
    Grid->Columns().Items(2)->SetWidth(100);
    Grid->SetOptions(CtlTblOption(otoNoColResizing) | CtlTblOption(otoAllowColMoves));
    Driver.MouseMove(*Grid, 300, 10);
    EXPECT_NE(Driver.CursorShown(*Grid), crHSplit);

    // Column 2 dragged onto column 5: three exchanges, and the active column follows.
    std::vector<std::string> Changes;
    Grid->OnColumnsChanged = [&](TObject*, int32_t C1, int32_t C2, TCtlTblActions A) {
        if (A == taExchange) Changes.push_back(std::to_string(C1) + "-" + std::to_string(C2));
    };
    Grid->SetActiveCol(2);
    Driver.RunPending();
    Drag({Point(250, 10), Point(350, 10), Point(550, 10)});
    EXPECT_EQ(Changes, (std::vector<std::string>{"2-3", "3-4", "4-5"}));
    EXPECT_EQ(Grid->ActiveCol(), 5);
}

TEST_F(TableTest, RowsAreResizedToSixPixelsAtLeastAndMovedByTheirHeadings) {
    MakeGrid(500, 300, 4, 10, true);
    Grid->SetFocus();
    Driver.RunPending();
    std::vector<std::string> Resized, Changes;
    Grid->OnResizeRow = [&](TObject*, int32_t R, int32_t H) {
        Resized.push_back(std::to_string(R) + ":" + std::to_string(H));
    };
    Grid->OnRowsChanged = [&](TObject*, int32_t R1, int32_t R2, TCtlTblActions A) {
        if (A == taExchange) Changes.push_back(std::to_string(R1) + "-" + std::to_string(R2));
    };
    // The boundary below row 2 (y 60) in the row headings; the line stops 6 below the row's top.
    Driver.MouseMove(*Grid, 50, 60);
    EXPECT_EQ(Driver.CursorShown(*Grid), crVSplit);
    Drag({Point(50, 60), Point(50, 46), Point(50, 41)});
    EXPECT_EQ(Grid->Rows().Height(2), 6);
    EXPECT_EQ(Resized, (std::vector<std::string>{"2:6"}));
    EXPECT_EQ(Grid->RowMap().Offsets[3], 46);
    Grid->Rows().SetHeight(2, 20);
    Grid->SetOptions(CtlTblOption(otoNoRowResizing));
    Driver.MouseMove(*Grid, 50, 60);
    EXPECT_NE(Driver.CursorShown(*Grid), crVSplit);

    // Row 1 (30 high) dragged onto row 4: three exchanges; the height and the active row go along.
    Grid->SetOptions(CtlTblOption(otoAllowRowMoves));
    Grid->Rows().SetHeight(1, 30);
    Grid->SetActiveRow(1);
    Driver.RunPending();
    Changes.clear();
    Driver.MouseMove(*Grid, 50, 35);
    EXPECT_EQ(Driver.CursorShown(*Grid), crCtlRowMove);
    Drag({Point(50, 35), Point(50, 75), Point(50, 105)});
    EXPECT_EQ(Changes, (std::vector<std::string>{"1-2", "2-3", "3-4"}));
    EXPECT_EQ(Grid->ActiveRow(), 4);
    EXPECT_EQ(Grid->Rows().Height(4), 30);
    EXPECT_EQ(Grid->Rows().Height(1), 20);
}

TEST_F(TableTest, TheDragImageFollowsTheMouseAndLeavesTheGridAsItWas) {
    MakeGrid(500, 300, 4, 10, true);
    auto* Head = NewComponent<TCtlTCColHead>(Form);
    Grid->SetLockedRowsCell(Head);
    Grid->SetOptions(CtlTblOption(otoAllowColMoves));
    Grid->SetFocus();
    Driver.RunPending();
    const TRect Heading = Grid->CellRect(0, 2);
    // The heading's dark pixels (its letter), relative to the heading.
    std::vector<TPoint> Dark;
    for (int Y = Heading.Top + 2; Y < Heading.Bottom - 2; ++Y)
        for (int X = Heading.Left + 2; X < Heading.Right - 2; ++X)
            if (Pixel(X, Y) == 0) Dark.push_back(Point(X - Heading.Left, Y - Heading.Top));
    ASSERT_FALSE(Dark.empty());
    auto Strip = [&] {
        std::vector<uint32_t> P;
        for (int Y = 0; Y < 120; ++Y)
            for (int X = 150; X < 360; X += 3) P.push_back(Pixel(X, Y));
        return P;
    };
    const std::vector<uint32_t> Before = Strip();
    Driver.MouseMove(*Grid, 250, 10);
    Driver.MouseDown(*Grid, 250, 10);
    // 60 down and 10 right: the heading's letter shows there, and the grid around it through its
    // transparent face.
    Driver.MouseMove(*Grid, 260, 70);
    for (const TPoint& P : Dark) EXPECT_EQ(Pixel(Heading.Left + 10 + P.X, Heading.Top + 60 + P.Y), 0u);
    const TRect Under = Grid->CellRect(3, 2);
    EXPECT_EQ(Pixel(Heading.Left + 12, Under.Top + 1),
              Pixel(Heading.Left + 12, Grid->CellRect(5, 2).Top + 1));
    // A repaint underneath keeps it on top; a further move takes it along.
    Grid->InvalidateTable();
    Grid->Invalidate();
    Driver.RunPending();
    for (const TPoint& P : Dark) EXPECT_EQ(Pixel(Heading.Left + 10 + P.X, Heading.Top + 60 + P.Y), 0u);
    Driver.MouseMove(*Grid, 262, 80);
    for (const TPoint& P : Dark) EXPECT_EQ(Pixel(Heading.Left + 12 + P.X, Heading.Top + 70 + P.Y), 0u);
    Driver.MouseUp(*Grid, 262, 80);
    Driver.RunPending();
    EXPECT_EQ(Strip(), Before);

    // With row 0 hidden the picture is the dragged column's first heading cell on screen.
    Grid->SetLockedRows(2);
    Grid->Rows().SetRow(0, 20, true);
    Driver.RunPending();
    const TRect Second = Grid->CellRect(1, 2);
    ASSERT_EQ(Second.Top, 0);
    std::vector<TPoint> Shown;
    for (int Y = Second.Top + 2; Y < Second.Bottom - 2; ++Y)
        for (int X = Second.Left + 2; X < Second.Right - 2; ++X)
            if (Pixel(X, Y) == 0) Shown.push_back(Point(X - Second.Left, Y - Second.Top));
    ASSERT_FALSE(Shown.empty());
    Driver.MouseMove(*Grid, 250, 10);
    Driver.MouseDown(*Grid, 250, 10);
    Driver.MouseMove(*Grid, 260, 90);
    for (const TPoint& P : Shown) EXPECT_EQ(Pixel(Second.Left + 10 + P.X, Second.Top + 80 + P.Y), 0u);
    Driver.MouseUp(*Grid, 260, 90);
}

TEST_F(TableTest, EventsOfEditingEnteringLeavingClipboardAndUserCommands) {
    MakeGrid(500, 300, 4, 10, true);
    std::vector<std::string> Log;
    auto Note = [&](const std::string& What, int32_t N) { Log.push_back(What + std::to_string(N)); };
    Grid->OnEnteringRow = [&](TObject*, int32_t R) { Note("er", R); };
    Grid->OnEnteringColumn = [&](TObject*, int32_t C) { Note("ec", C); };
    Grid->OnLeavingRow = [&](TObject*, int32_t R) { Note("lr", R); };
    Grid->OnLeavingColumn = [&](TObject*, int32_t C) { Note("lc", C); };
    Grid->OnClipboardCopy = [&](TObject*) { Note("copy", 0); };
    Grid->OnClipboardCut = [&](TObject*) { Note("cut", 0); };
    Grid->OnClipboardPaste = [&](TObject*) { Note("paste", 0); };
    Grid->OnUserCommand = [&](TObject*, uint16_t Cmd) { Note("user", Cmd); };
    auto* Keys = NewComponent<entry::TCtlController>(Form);
    Keys->EntryCommands().AddCommand("Grid", {VK_F5, 0, 0, 0, 300});
    Grid->SetController(Keys);
    Grid->SetFocus();
    Driver.RunPending();

    struct Step {
        int Key;
        TShiftState Shift;
        std::vector<std::string> Events;
    } Steps[] = {
        {VK_DOWN, 0, {"lr1", "er2"}},  // each row and column reported once per entry
        {VK_RIGHT, 0, {"lc1", "ec2"}}, {VK_LEFT, 0, {"lc2", "ec1"}}, {'C', ssCtrl, {"copy0"}},
        {'X', ssCtrl, {"cut0"}},       {'V', ssCtrl, {"paste0"}},    {VK_F5, 0, {"user300"}},
    };
    for (const Step& S : Steps) {
        Log.clear();
        Driver.Key(S.Key, S.Shift);
        Driver.RunPending();
        EXPECT_EQ(Log, S.Events) << S.Key;
    }
    EXPECT_EQ(Grid->ActiveRow(), 2);
    EXPECT_EQ(Grid->ActiveCol(), 1);

    // Editing: the editor's place can be changed; an owner refusing the end keeps the editor open.
    bool Allow = false;
    int Done = 0;
    Grid->OnSizeCellEditor = [&](TObject*, int32_t, int32_t, TRect& R, TCtlTblEditorStyle&) {
        R.Right -= 30;
    };
    Grid->OnEndEdit = [&](TObject*, TCtlBaseTableCell*, int32_t, int32_t, bool& AllowIt) { AllowIt = Allow; };
    Grid->OnDoneEdit = [&](TObject*, int32_t R, int32_t C) { Done += R == 2 && C == 1; };
    Driver.Key(VK_F2);
    Driver.RunPending();
    ASSERT_TRUE(Grid->InEditingState());
    TRect Active;
    Grid->GetActiveCellRect(Active);
    EXPECT_EQ(Grid->EditingCell()->EditControl()->Width(), Active.Width() - 30);
    Driver.Key(VK_F2);
    Driver.RunPending();
    EXPECT_TRUE(Grid->InEditingState());
    EXPECT_EQ(Done, 0);
    Allow = true;
    Driver.Key(VK_F2);
    Driver.RunPending();
    EXPECT_FALSE(Grid->InEditingState());
    EXPECT_EQ(Done, 1);

    // Reported while cells are painted instead: a repaint of row 5 enters it and its columns.
    Grid->SetOldRowColBehavior(true);
    Log.clear();
    Driver.Key(VK_DOWN);
    Driver.RunPending();
    EXPECT_EQ(std::count(Log.begin(), Log.end(), "er3"), 1);
    EXPECT_EQ(Log.front(), "lr2");
    Log.clear();
    const TRect Row5 = Rect(0, Grid->CellRect(5, 0).Top, 400, Grid->CellRect(5, 0).Bottom);
    framework::InvalidateRect(Grid->Handle(), &Row5, false);
    Driver.RunPending();
    Pixel(1, 1);
    EXPECT_EQ(Log, (std::vector<std::string>{"er5", "ec3", "ec2", "ec1", "ec0"}));
}

TEST_F(TableTest, TheOffloadFileListPaintsScrollsAndReportsHeadingClicks) {
    Form->SetBounds(0, 0, 420, 300);
    Grid = NewComponent<TCtlTable>(Form);
    Grid->SetColCount(6);
    Grid->SetRowLimit(10000);
    Grid->SetColor(clWhite);
    Grid->SetAccess(otxReadOnly);
    const int Widths[] = {26, 52, 50, 75, 75, 50};
    auto* Head = NewComponent<TCtlTCColHead>(Form);
    Head->SetShowLetters(false);
    for (const char* S : {"Tag", "FileName", "File Size", "Date Modified", "Time Modified", "Attribute"})
        Head->Headings().Add(S);
    auto* Text = NewComponent<TCtlTCString>(Form);
    auto* Box = NewComponent<TCtlTCCheckBox>(Form);
    for (int C = 0; C < 6; ++C) {
        Grid->Columns().Items(C)->SetWidth(Widths[C]);
        Grid->Columns().Items(C)->SetDefaultCell(C == 0 ? static_cast<TCtlBaseTableCell*>(Box) : Text);
    }
    Grid->SetLockedRowsCell(Head);
    Grid->SetOptions(CtlTblOption(otoBrowseRow) | CtlTblOption(otoNoRowResizing) |
                     CtlTblOption(otoNoSelection));
    Grid->OnGetCellData = [](TObject*, int32_t R, int32_t C, TCtlCellValue& V, TCtlCellDataPurpose) {
        if (R == 0) return;
        if (C == 0)
            V = TCtlCellValue::CheckState(R % 4 == 0 ? 1 : 0);
        else
            V = TCtlCellValue::String(C == 1 ? "FILE" + std::to_string(R) + ".TXT" : std::to_string(R * C));
    };
    std::vector<std::string> Clicks;
    Grid->OnLockedCellClick = [&](TObject*, int32_t R, int32_t C) {
        Clicks.push_back(std::to_string(R) + "," + std::to_string(C));
    };
    Grid->SetAlign(alClient);
    Grid->SetParent(Form);
    Form->Show();
    Driver.RunPending();
    Grid->SetFocus();
    Driver.Key(VK_NEXT);
    Driver.Key(VK_DOWN);
    Driver.RunPending();
    EXPECT_GT(Grid->TopRow(), 1);
    if (const char* Dir = std::getenv("KORVANE_GRABS"))
        Driver.Grab(*Form, std::string(Dir) + "/table-offload.png");
    const TRect Name = Grid->CellRect(0, 1);
    Driver.Click(*Grid, (Name.Left + Name.Right) / 2, (Name.Top + Name.Bottom) / 2);
    Driver.RunPending();
    EXPECT_EQ(Clicks, (std::vector<std::string>{"0,1"}));
    // The active row is shown in the active colours, focused.
    const TRect Active = Grid->CellRect(Grid->ActiveRow(), 2);
    EXPECT_EQ(Pixel(Active.Left + 2, Active.Top + 2),
              ColorToRGB(Grid->Colors().Color(TCtlTableColors::ActiveFocused)));
}

}  // namespace
}  // namespace grid
