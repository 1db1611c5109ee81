#pragma once
// The virtual grid: rows and columns whose contents the owner hands over cell by cell through
// OnGetCellData, drawn by the cell components. The first rows and columns can be locked; any row or
// column can be hidden. The grid keeps maps of the rows and columns on screen only, answers every
// geometry question from them, collects the cells to paint in an invalid-cell set while an update
// is open and has them painted when the outermost update ends, and scrolls rows by moving window
// pixels so that only the strip coming into view is painted.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "controls/grid/CtlTableCells.h"
#include "controls/grid/CtlTableContainers.h"
#include "controls/grid/CtlTableRows.h"

namespace grid {

// The owner's value of a cell: for painting and editing Data starts empty (cvNone) and the owner
// fills it (a cell left empty is painted without data); for saving Data holds the edited value.
using TCtlGetCellDataEvent = std::function<void(framework::TObject* Sender, int32_t RowNum, int32_t ColNum,
                                                TCtlCellValue& Data, TCtlCellDataPurpose Purpose)>;
// Asked before an editor closes; AllowIt false keeps it open.
using TCtlCellEndEditEvent = std::function<void(framework::TObject* Sender, TCtlBaseTableCell* Cell,
                                                int32_t RowNum, int32_t ColNum, bool& AllowIt)>;
// The rectangle and frame style of an editor about to be placed over a cell.
using TCtlSizeCellEditorEvent =
    std::function<void(framework::TObject* Sender, int32_t RowNum, int32_t ColNum, framework::TRect& CellRect,
                       TCtlTblEditorStyle& CellStyle)>;
using TCtlUserCommandEvent = std::function<void(framework::TObject* Sender, uint16_t Command)>;

// The rows or the columns on screen: numbers in ascending order with their offsets, and the extent
// (the far edge of the last one).
struct TCtlTableMap {
    std::vector<int32_t> Numbers, Offsets;
    int32_t Extent = 0;
    int32_t Count() const { return static_cast<int32_t>(Numbers.size()); }
    // The index of a number (binary search), -1 when it is not on screen.
    int32_t IndexOf(int32_t Number) const;
    int32_t First() const { return Numbers.empty() ? -1 : Numbers.front(); }
    int32_t Last() const { return Numbers.empty() ? -1 : Numbers.back(); }
    // The far edge of entry I.
    int32_t End(int32_t I) const { return I + 1 < Count() ? Offsets[static_cast<size_t>(I) + 1] : Extent; }
};

// The picture of a heading dragged to a new place: a copy of an area of the grid's window that
// follows the mouse, drawn through a mask so that its transparent colour lets the grid show through.
// It works on the grid's own pixels: what it covers is saved and put back when it moves or hides.
class TCtlDragShow {
public:
    // X, Y the mouse and Area the picture, in the window's client coordinates.
    TCtlDragShow(framework::HWND Wnd, int X, int Y, const framework::TRect& Area,
                 framework::TColor Transparent);
    ~TCtlDragShow();
    TCtlDragShow(const TCtlDragShow&) = delete;
    TCtlDragShow& operator=(const TCtlDragShow&) = delete;
    void Move(int X, int Y);
    void Hide();
    void Show();
    bool Shown() const { return FShown; }
    const framework::TRect& Place() const { return FPlace; }

private:
    void SaveBackground();
    void DrawImage(framework::HDC Dc, int X, int Y);
    framework::HWND FWnd;
    bool FShown = false;
    framework::TRect FPlace;
    int FWidth = 0, FHeight = 0, FOffsetX = 0, FOffsetY = 0;
    framework::HDC FImageDc = 0, FMaskDc = 0, FSaveDc = 0;
    framework::HBITMAP FImage = 0, FMask = 0, FSave = 0;
};

class TCtlCustomTable : public TCtlTableAncestor {
public:
    explicit TCtlCustomTable(framework::TComponent* AOwner);
    ~TCtlCustomTable() override;

    // ---- Properties ----
    int32_t LockedRows() const { return FLockedRows; }
    void SetLockedRows(int32_t N);
    int32_t LockedCols() const { return FLockedCols; }
    void SetLockedCols(int32_t N);
    int32_t TopRow() const { return FTopRow; }
    void SetTopRow(int32_t R) { SetTopLeftCell(R, FLeftCol); }
    int32_t LeftCol() const { return FLeftCol; }
    void SetLeftCol(int32_t C) { SetTopLeftCell(FTopRow, C); }
    int32_t ActiveRow() const { return FActiveRow; }
    void SetActiveRow(int32_t R) { SetActiveCell(R, FActiveCol); }
    int32_t ActiveCol() const { return FActiveCol; }
    void SetActiveCol(int32_t C) { SetActiveCell(FActiveRow, C); }
    int32_t RowLimit() const { return FRows->Limit(); }
    void SetRowLimit(int32_t N);
    int32_t ColCount() const { return FColumns->Count(); }
    void SetColCount(int32_t N);
    TCtlTblAccess Access() const { return FAccess; }
    void SetAccess(TCtlTblAccess Value);
    TCtlTblAdjust Adjust() const { return FAdjust; }
    void SetAdjust(TCtlTblAdjust Value);
    framework::TBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(framework::TBorderStyle Value);
    framework::TScrollStyle ScrollBars() const { return FScrollBars; }
    void SetScrollBars(framework::TScrollStyle Value);
    framework::TColor ColorUnused() const { return FColorUnused; }
    void SetColorUnused(framework::TColor Value);
    TCtlTableColors& Colors() { return *FColors; }
    TCtlTableColumns& Columns() { return *FColumns; }
    TCtlTableRows& Rows() { return *FRows; }
    TCtlGridPenSet& GridPenSet() { return *FPens; }
    TCtlBaseTableCell* LockedRowsCell() const { return FLockedRowsCell; }
    void SetLockedRowsCell(TCtlBaseTableCell* Cell);
    TCtlTblOptionSet Options() const { return FOptions; }
    void SetOptions(TCtlTblOptionSet Value);
    bool HasOption(TCtlTblOption O) const { return FOptions & CtlTblOption(O); }
    // The entering events fire while cells are painted instead of when the active cell moves.
    bool OldRowColBehavior() const { return FOldRowColBehavior; }
    void SetOldRowColBehavior(bool Value) { FOldRowColBehavior = Value; }
    int32_t MaxLeftCol() const { return FMaxLeftCol; }
    int32_t MaxTopRow() const { return FMaxTopRow; }
    const TCtlTableMap& ColumnMap() const { return FColMap; }
    const TCtlTableMap& RowMap() const { return FRowMap; }
    const TCtlCellArray& InvalidCells() const { return FInvalid; }

    // ---- Events ----
    TCtlGetCellDataEvent OnGetCellData;
    TCellAttrNotifyEvent OnGetCellAttributes;
    TCellNotifyEvent OnActiveCellChanged, OnLockedCellClick, OnTopLeftCellChanged;
    TCellMoveNotifyEvent OnActiveCellMoving;
    TCellChangeNotifyEvent OnTopLeftCellChanging;
    framework::TNotifyEvent OnPaintUnusedArea;
    TColChangeNotifyEvent OnColumnsChanged;
    TColResizeEvent OnResizeColumn;
    TRowChangeNotifyEvent OnRowsChanged;
    TRowResizeEvent OnResizeRow;
    TCellBeginEditNotifyEvent OnBeginEdit;
    TCtlCellEndEditEvent OnEndEdit;
    TCellNotifyEvent OnDoneEdit;
    TCtlSizeCellEditorEvent OnSizeCellEditor;
    TRowNotifyEvent OnEnteringRow, OnLeavingRow;
    TColNotifyEvent OnEnteringColumn, OnLeavingColumn;
    framework::TNotifyEvent OnClipboardCopy, OnClipboardCut, OnClipboardPaste;
    TCtlUserCommandEvent OnUserCommand;

    // ---- Operations ----
    void BeginUpdate();
    void EndUpdate();
    // The region of a client point: 0 an ordinary cell, 1 a locked cell, 2 the unused area,
    // 3 outside the client area.
    uint8_t HitTest(int X, int Y, int32_t& RowNum, int32_t& ColNum) const;
    int32_t AdjustCol(int32_t C, int Direction) const;
    int32_t AdjustRow(int32_t R, int Direction) const;
    bool IsColHidden(int32_t C) const;
    bool IsRowHidden(int32_t R) const;
    void SetTopLeftCell(int32_t R, int32_t C);
    bool GetActiveCellRect(framework::TRect& Rect) const;
    framework::TRect CellRect(int32_t R, int32_t C) const;
    void SetActiveCell(int32_t R, int32_t C);
    void MoveActiveCell(uint16_t Command);
    // Action: 0 line back, 1 line forward, 2 page back, 3 page forward.
    void ScrollTable(bool Horizontal, int Action);

    // ---- Editing ----
    bool OpenEditor();
    bool CloseEditor(bool SaveValue);
    bool InEditingState() const { return FEditingCell != nullptr; }
    TCtlBaseTableCell* EditingCell() const { return FEditingCell; }

    // ---- Selection ----
    bool IsCellSelected(int32_t R, int32_t C) const;
    bool HasSelection() const { return FSelection.HasSelection(); }
    void SetSelectionAnchor(int32_t R, int32_t C, bool Keep);
    void ExtendSelection(int32_t R, int32_t C, bool Keep);

    void InvalidateCell(int32_t R, int32_t C);
    void InvalidateTable();
    void InvalidateRow(int32_t R);
    void InvalidateColumn(int32_t C);
    TCtlBaseTableCell* GetCellComponent(int32_t R, int32_t C) const;

    void CellChanged(TCtlTableCellAncestor* Cell) override;
    TCtlTblKeyClaim FilterKey(framework::TWMKey& Msg) override;
    void ResolveCellAttributes(int32_t RowNum, int32_t ColNum, TCtlCellAttributes& CellAttr) override;
    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
    void DefineProperties(framework::TFiler* Filer) override;

protected:
    void CreateParams(framework::TCreateParams& Params) override;
    void CreateWnd() override;
    void Paint() override;
    void WndProc(framework::TMessage& M) override;
    void Notification(framework::TComponent* AComponent, framework::TOperation Operation) override;
    bool DoMouseWheel(framework::TShiftState Shift, int WheelDelta, framework::TPoint MousePos) override;

    virtual void DoActiveCellChanged(int32_t R, int32_t C);
    virtual void DoActiveCellMoving(uint16_t Command, int32_t& R, int32_t& C);
    virtual void DoBeginEdit(int32_t R, int32_t C, bool& AllowIt);
    virtual void DoClipboardCopy();
    virtual void DoClipboardCut();
    virtual void DoClipboardPaste();
    virtual void DoColumnsChanged(int32_t C1, int32_t C2, TCtlTblActions Action);
    virtual void DoDoneEdit(int32_t R, int32_t C);
    virtual void DoEndEdit(TCtlBaseTableCell* Cell, int32_t R, int32_t C, bool& AllowIt);
    virtual void DoEnteringColumn(int32_t C);
    virtual void DoEnteringRow(int32_t R);
    virtual void DoGetCellData(int32_t R, int32_t C, TCtlCellValue& Data, TCtlCellDataPurpose Purpose);
    virtual void DoLeavingColumn(int32_t C);
    virtual void DoLeavingRow(int32_t R);
    virtual void DoRowsChanged(int32_t R1, int32_t R2, TCtlTblActions Action);
    virtual void DoSizeCellEditor(int32_t R, int32_t C, framework::TRect& Rect, TCtlTblEditorStyle& Style);
    virtual void DoUserCommand(uint16_t Command);
    virtual void DoGetCellAttributes(int32_t R, int32_t C, TCtlCellAttributes& Attr);
    virtual void DoLockedCellClick(int32_t R, int32_t C);
    virtual void DoPaintUnusedArea();
    virtual void DoTopLeftCellChanged(int32_t R, int32_t C);
    virtual void DoTopLeftCellChanging(int32_t& R, int32_t& C);

private:
    bool Quiet() const;
    int32_t ClientW() const;
    int32_t ClientH() const;
    TCtlTableMap BuildColMap(int32_t Start) const;
    TCtlTableMap BuildRowMap(int32_t Start) const;
    void ComputeMaxLeftCol();
    void ComputeMaxTopRow();
    void RefreshHorzScroll();
    void RefreshVertScroll();
    void ScrollRowsTo(int32_t R);
    void ScrollColsTo(int32_t C);
    void MakeRowVisible(int32_t R);
    void MakeColumnVisible(int32_t C);
    void ColumnsChanged(int32_t C1, int32_t C2, TCtlTblActions Action);
    void RowsChanged(int32_t R1, int32_t R2, TCtlTblActions Action);
    void PaintCell(int32_t R, int32_t C, const framework::TRect& Rect);
    void DrawGridLines(TCtlGridPen& Pen, const framework::TRect& R);
    void DrawFocusFrame();
    framework::TRect Narrowed(const framework::TRect& R, TGridEffect Effect) const;
    void FlushInvalidCells();
    void HScroll(framework::TMessage& M);
    void VScroll(framework::TMessage& M);
    void LeftButtonDown(framework::TMessage& M);
    void MouseMoved(framework::TMessage& M);
    void LeftButtonUp(framework::TMessage& M);
    void KeyDownMessage(framework::TMessage& M);
    uint16_t TranslateKey(framework::TMessage& M);
    void MoveTo(int32_t R, int32_t C);
    void PlaceEditor();
    // The right edge of the last locked column on screen and the bottom edge of the last locked row
    // (-1 when none).
    int32_t LockedColsEdge() const;
    int32_t LockedRowsEdge() const;
    // The row or column boundary under a point in the headings (-1 none; Rows tells which), and the
    // row or column heading under it that could be moved (-1 none).
    int32_t BoundaryAt(int X, int Y, bool& Rows) const;
    int32_t MoveAreaAt(int X, int Y, bool& Rows) const;
    // The start edge (left or top) of the row or column being resized.
    int32_t SizingStart() const;
    void DrawSizingLine();
    void DrawMoveMarker();
    void FinishResize();
    void FinishMove();
    void StartDragImage(int X, int Y, int32_t Item);
    void PaintPrim();

    int32_t FLockedRows = 1, FLockedCols = 1, FTopRow = 1, FLeftCol = 1, FActiveRow = 1, FActiveCol = 1;
    TCtlTblAccess FAccess = otxNormal;
    TCtlTblAdjust FAdjust = otaCenterLeft;
    framework::TBorderStyle FBorderStyle = framework::bsSingle;
    framework::TScrollStyle FScrollBars = framework::ssBoth;
    framework::TColor FColorUnused = framework::clWindow;
    std::unique_ptr<TCtlTableColors> FColors;
    std::unique_ptr<TCtlTableColumns> FColumns;
    std::unique_ptr<TCtlTableRows> FRows;
    std::unique_ptr<TCtlGridPenSet> FPens;
    TCtlBaseTableCell* FLockedRowsCell = nullptr;
    TCtlTblOptionSet FOptions = 0;
    TCtlTableMap FColMap, FRowMap;
    int32_t FMaxLeftCol = 1, FMaxTopRow = 1;
    int FUpdateCount = 0;
    bool FScrollPending = false;
    bool FHasHorz = true, FHasVert = true;
    bool FFocused = false;
    bool FDestroying = false;
    bool FInVScroll = false;
    TCtlCellArray FInvalid;
    framework::TFont FScratchFont;
    TCtlSelectionList FSelection{10, 10};
    TCtlCellAddress FAnchor{1, 1};
    bool FExtend = false;
    TCtlBaseTableCell* FEditingCell = nullptr;
    bool FEditorHidden = false;  // hidden by an open update
    bool FFocusingClick = false;
    enum TMouseState : uint8_t {
        msIdle,
        msReadyToResize,
        msResizing,
        msReadyToMove,
        msMoving,
        msDragSelecting
    };
    TMouseState FMouse = msIdle;
    bool FMouseOnRows = false;  // the resize or move is of a row
    int32_t FSizingItem = -1, FSizingPos = 0;
    int32_t FMoveFrom = 0, FMoveTo = 0;
    std::unique_ptr<TCtlDragShow> FDragShow;
    bool FOldRowColBehavior = false;
    int32_t FEnteredRow = -1, FEnteredCol = -1;
    // Characters of a key that opened the editor, handed on after the key.
    bool FHoldChars = false;
    std::vector<framework::TMessage> FHeldChars;
};

// The screen cursor number of the row-move cursor "CTLROWMOVECURSOR".
constexpr framework::TCursor crCtlRowMove = 0x7F15;

class TCtlTable : public TCtlCustomTable {
public:
    using TCtlCustomTable::TCtlCustomTable;
};

}  // namespace grid
