#pragma once
// The data-aware grid: the records of a dataset as rows (the data link's window of record buffers,
// as tall as the grid) and its fields as columns. Each column names its field; cells show and edit
// the values through the cell components, the typed cell values carrying them between field and
// cell. The grid lays out its columns itself, paints only what meets the clip box, moves the
// dataset with the active row and opens a cell editor around the dataset's edit state.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "controls/grid/CtlTableEntryCells.h"
#include "controls/grid/CtlTableRows.h"
#include "framework/data/DataSource.h"
#include "framework/stdctrls/ComCtrls.h"

namespace grid {

enum TCtlDbTableOption : uint8_t {
    dtoCellsPaintText,
    dtoAllowColumnMove,
    dtoAllowColumnSize,
    dtoAlwaysEditing,
    dtoHighlightActiveRow,
    dtoIntegralHeight,
    dtoEnterToTab,
    dtoPageScroll,
    dtoShowIndicators,
    dtoShowPictures,
    dtoStretch,
    dtoWantTabs,
    dtoWrapAtEnds
};
using TCtlDbTableOptionSet = uint16_t;
constexpr TCtlDbTableOptionSet CtlDbOption(TCtlDbTableOption O) {
    return static_cast<TCtlDbTableOptionSet>(1u << O);
}

enum TCtlHeaderOption : uint8_t { hoShowHeader, hoUseHeaderCell, hoUseLetters, hoUseStrings };
using TCtlHeaderOptionSet = uint8_t;
constexpr TCtlHeaderOptionSet CtlHeaderOption(TCtlHeaderOption O) {
    return static_cast<TCtlHeaderOptionSet>(1u << O);
}

enum TDateOrTime : uint8_t { dtUseDate, dtUseTime };

using TCtlColumnMovedEvent = std::function<void(framework::TObject* Sender, int32_t FromCol, int32_t ToCol)>;
using TCtlTableCommandEvent = std::function<void(framework::TObject* Sender, uint16_t Command)>;

// Message-table numbers of the grid's texts.
constexpr uint32_t SCtlCouldNotEdit = 30238;
constexpr uint32_t SCtlTooManyColumns = 30262;
constexpr uint32_t SCtlInvalidFieldIndex = 30263;
constexpr uint32_t SCtlInvalidHeaderCell = 30265;
constexpr uint32_t SCtlGridTable = 30266;

class TCtlCustomDbTable;

class TCtlDbTableColumn : public TCtlTableColumn {
public:
    explicit TCtlDbTableColumn(TCtlTableAncestor* Table) : TCtlTableColumn(Table) {}
    const std::string& DataField() const { return FDataField; }
    // Takes the found field's own spelling of the name.
    void SetDataField(const std::string& Value);
    TDateOrTime DateOrTime() const { return FDateOrTime; }
    void SetDateOrTime(TDateOrTime Value);
    // The field named by DataField, looked up when first needed; nil when there is none.
    framework::TField* Field();
    void ClearField() { FField = nullptr; }
    // The field found last, without looking it up.
    framework::TField* CachedField() const { return FField; }
    int32_t ScreenLeft = 0;
    void Assign(framework::TPersistent* Source) override;

private:
    TCtlCustomDbTable* Grid() const;
    std::string FDataField;
    TDateOrTime FDateOrTime = dtUseDate;
    framework::TField* FField = nullptr;
};

class TCtlDbTableColumns : public TCtlTableColumns {
public:
    explicit TCtlDbTableColumns(TCtlTableAncestor* Table) : TCtlTableColumns(Table, 0) {}
    TCtlDbTableColumn* Column(int32_t Index) const { return static_cast<TCtlDbTableColumn*>(Items(Index)); }
    // "ColData": width, hidden, field name, date-or-time, has-cell and the cell reference.
    void WriteDbData(framework::TWriter* Writer) const;
    void ReadDbData(framework::TReader* Reader);

protected:
    TCtlTableColumn* NewColumn() override { return new TCtlDbTableColumn(Table()); }
};

class TCtlDbTableDataLink : public framework::TDataLink {
public:
    static constexpr int32_t MaxMapCount = 134217726;
    explicit TCtlDbTableDataLink(TCtlCustomDbTable* Grid) : FGrid(Grid) {}

    // Looks the name up; a found field is appended to the map. ECtlTable "Too many columns" when
    // the map is full.
    bool AddMapping(const std::string& FieldName);
    // ECtlTable "Invalid field index" outside the map.
    framework::TField* MappedField(int32_t Index) const;
    int32_t MapCount() const { return static_cast<int32_t>(FFieldMap.size()); }
    void ClearMapping();
    bool MapBuilt() const { return FMapBuilt; }
    bool DefaultFields() const;
    void SetEditPending() { FEditPending = true; }
    bool EditPending() const { return FEditPending; }
    // Re-reads the record when the grid started an edit, else cancels the dataset's changes.
    void Reset();

protected:
    virtual int32_t MapLimit() const { return MaxMapCount; }
    void ActiveChanged() override;
    void DataSetChanged() override;
    void DataSetScrolled(int Distance) override;
    void EditingChanged() override;
    void LayoutChanged() override;
    void RecordChanged(framework::TField* Field) override;
    void UpdateData() override;

private:
    TCtlCustomDbTable* FGrid;
    std::vector<int32_t> FFieldMap;
    bool FUpdating = false;
    bool FMapBuilt = false;
    bool FEditPending = false;
};

// The columns laid out on the screen, locked ones first, left to right.
class TCtlVisibleColumns {
public:
    void Clear() { FItems.clear(); }
    void Add(int32_t Col) { FItems.push_back(Col); }
    int32_t IndexOf(int32_t Col) const;
    int32_t Count() const { return static_cast<int32_t>(FItems.size()); }
    int32_t Number(int32_t Index) const { return FItems[static_cast<size_t>(Index)]; }
    int32_t RightEdge = 0;

private:
    std::vector<int32_t> FItems;
};

class TCtlCustomDbTable : public TCtlTableAncestor {
public:
    explicit TCtlCustomDbTable(framework::TComponent* AOwner);
    ~TCtlCustomDbTable() override;

    // ---- Properties ----
    TCtlTblAccess Access() const { return FAccess; }
    void SetAccess(TCtlTblAccess Value);
    TCtlTblAdjust Adjust() const { return FAdjust; }
    void SetAdjust(TCtlTblAdjust Value);
    framework::TBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(framework::TBorderStyle Value);
    framework::TColor ColorUnused() const { return FColorUnused; }
    void SetColorUnused(framework::TColor Value);
    TCtlTableColors& Colors() { return *FColors; }
    void SetColors(TCtlTableColors* Value) { FColors->Assign(Value); }
    int32_t ColumnCount() const { return FColumns->Count(); }
    TCtlDbTableColumns& Columns() { return *FColumns; }
    TCtlDbTableColumn* Column(int32_t Col) const { return FColumns->Column(Col); }
    void SetColumns(TCtlDbTableColumns* Value);
    framework::TDataSource* DataSource() const { return FLink->DataSource(); }
    void SetDataSource(framework::TDataSource* Value);
    TCtlDbTableDataLink& DataLink() { return *FLink; }
    int32_t DefaultMargin() const { return FDefaultMargin; }
    void SetDefaultMargin(int32_t Value);
    TCtlGridPenSet& GridPenSet() { return *FPens; }
    TCtlBaseTableCell* HeaderCell() const { return FHeaderCell; }
    void SetHeaderCell(TCtlBaseTableCell* Value);
    int32_t HeaderHeight() const { return FHeaderHeight; }
    void SetHeaderHeight(int32_t Value);
    TCtlHeaderOptionSet HeaderOptions() const { return FHeaderOptions; }
    void SetHeaderOptions(TCtlHeaderOptionSet Value);
    int32_t LockedColumns() const { return FLockedColumns; }
    void SetLockedColumns(int32_t Value);
    TCtlDbTableOptionSet Options() const { return FOptions; }
    void SetOptions(TCtlDbTableOptionSet Value);
    bool HasOption(TCtlDbTableOption O) const { return FOptions & CtlDbOption(O); }
    int32_t RowHeight() const { return FRowHeight; }
    void SetRowHeight(int32_t Value);
    int32_t RowIndicatorWidth() const { return FRowIndicatorWidth; }
    void SetRowIndicatorWidth(int32_t Value);
    framework::TScrollStyle ScrollBars() const { return FScrollBars; }
    void SetScrollBars(framework::TScrollStyle Value);
    TCtlTextStyle TextStyle() const { return FTextStyle; }
    void SetTextStyle(TCtlTextStyle Value);

    int32_t ActiveRow() const { return FActiveRow; }
    int32_t ActiveCol() const { return FActiveCol; }
    int32_t LeftCol() const { return FLeftCol; }
    int32_t MaxLeftCol() const { return FMaxLeftCol; }
    int32_t RowsInView() const { return FRowsInView; }
    int32_t DataLeft() const { return FDataLeft; }
    const TCtlVisibleColumns& VisibleColumns() const { return FVisible; }
    bool Editing() const { return FState & StEditing; }
    TCtlBaseTableCell* EditorCell() const { return FEditorCell; }

    // ---- Events ----
    TCellNotifyEvent OnActiveCellChanged, OnIndicatorClick, OnLockedCellClick, OnUnusedAreaClick;
    TCtlColumnMovedEvent OnColumnMoved;
    TCellAttrNotifyEvent OnGetCellAttributes;
    framework::TNotifyEvent OnLeftColumnChanged, OnPaintUnusedArea;
    TCtlTableCommandEvent OnUserCommand;

    // ---- Operations ----
    // The region of a client point: 0 a data cell, 1 the header, indicator or a locked column,
    // 2 beyond the last row or column, 3 outside the window.
    uint8_t CellAtPoint(int X, int Y, int32_t& Row, int32_t& Col);
    void SetActiveCell(int32_t Row, int32_t Col);
    void SetActiveRow(int32_t Row) { SetActiveCell(Row, FActiveCol); }
    void SetActiveCol(int32_t Col) { SetActiveCell(FActiveRow, Col); }
    void SetLeftCol(int32_t Col);
    int32_t ValidColumn(int32_t Col, int Direction) const;
    bool ColumnHidden(int32_t Col) const;
    void LayoutColumns(int32_t Left);
    void ComputeMaxLeftCol();
    void UpdateRowCount();
    void RebuildFieldMap();
    void CreateDefaultColumns();
    int32_t DefaultColumnWidth(framework::TField* Field);
    void LayoutChanged();
    void LinkActive(bool Active);
    void PageLeft();
    void PageRight();
    void ScrollIntoView(int32_t Col);

    bool AdaptCellToField(framework::TField* Field, TCtlBaseTableCell* Cell);
    int CellDataSize(TCtlBaseTableCell* Cell);
    // The field's value as the cell takes it (Col: the column showing the field).
    TCtlCellValue FieldToCellData(framework::TField* Field, TCtlBaseTableCell* Cell, int32_t Col);
    void CellDataToField(framework::TField* Field, TCtlBaseTableCell* Cell, const TCtlCellValue& Data);

    framework::TRect CellRect(int32_t Row, int32_t Col) const;
    int32_t RowTop(int32_t Row) const;
    void InvalidateCell(int32_t Row, int32_t Col);
    void InvalidateRow(int32_t Row);
    void InvalidateIndicators();
    void InvalidateDataArea();
    void InvalidateUnusedArea();
    void InvalidateHeader();

    TCtlTblKeyClaim FilterKey(framework::TWMKey& Msg) override;
    void ProcessCommand(uint16_t Command);
    bool StartEditing();
    bool BeginRecordEdit();
    bool StopEditing(bool SaveValue);
    bool SaveEditedValue();

    void CellChanged(TCtlTableCellAncestor* Cell) override;
    void ResolveCellAttributes(int32_t RowNum, int32_t ColNum, TCtlCellAttributes& CellAttr) override;

    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
    void DefineProperties(framework::TFiler* Filer) override;
    void Loaded() override;

    // ---- Link notices ----
    void DataSetChangedNotice();
    void DataSetScrolledNotice(int Distance);
    void EditingChangedNotice();
    void RecordChangedNotice(framework::TField* Field);
    bool LinkFeedbackSuppressed() const { return FNoLinkFeedback; }

protected:
    void CreateParams(framework::TCreateParams& Params) override;
    void CreateWnd() override;
    void Paint() override;
    void WndProc(framework::TMessage& M) override;
    void Notification(framework::TComponent* AComponent, framework::TOperation Operation) override;
    bool DoMouseWheel(framework::TShiftState Shift, int WheelDelta, framework::TPoint MousePos) override;

    virtual void DoActiveCellChanged(int32_t Row, int32_t Col);
    virtual void DoColumnMoved(int32_t From, int32_t To);
    virtual void DoGetCellAttributes(int32_t Row, int32_t Col, TCtlCellAttributes& Attr);
    virtual void DoIndicatorClick(int32_t Row, int32_t Col);
    virtual void DoLeftColumnChanged();
    virtual void DoLockedCellClick(int32_t Row, int32_t Col);
    virtual void DoPaintUnusedArea();
    virtual void DoUnusedAreaClick(int32_t Row, int32_t Col);
    virtual void DoUserCommand(uint16_t Command);

private:
    enum : uint16_t {
        StFocused = 1u << 0,
        StNormal = 1u << 3,
        StEditing = 1u << 4,
        StReadyToSize = 1u << 7,
        StSizing = 1u << 8,
        StReadyToMove = 1u << 9,
        StMoving = 1u << 10,
    };
    bool Quiet() const;
    bool Designing() const { return ComponentState() & framework::csDesigning; }
    int32_t HeaderSpace() const;
    int32_t RowsBottom() const;
    framework::TRect InnerRect(const framework::TRect& R, TGridEffect Effect) const;
    void ColumnsChanged(int32_t Col1, int32_t Col2, TCtlTblActions Action);
    void ClearColumnFields(bool AlsoNames, bool AlsoCells);
    bool AdjustIntegralHeight();
    void UpdateHorzScrollBar();
    void UpdateVertScrollBar();
    void DrawGridLines(TCtlGridPen& Pen, const framework::TRect& R);
    void DrawText(const framework::TRect& R, const TCtlCellAttributes& Attr, const std::string& Text,
                  bool WordWrap, int Margin);
    void DrawActiveCell();
    void DrawIndicatorFace(const framework::TRect& R);
    void PaintHeader(const framework::TRect& Clip, TCtlCellAttributes& Attr);
    void PaintRow(int32_t Row, const framework::TRect& Clip, TCtlCellAttributes& Attr);
    void PaintUnusedAreaDefault();
    void DrawSizingLine();
    void DrawMoveMarker();
    void KeyDownMessage(framework::TMessage& M);
    void MouseDownMessage(framework::TMessage& M);
    void MouseMoveMessage(framework::TMessage& M);
    void MouseUpMessage(framework::TMessage& M);
    void DoubleClickMessage(framework::TMessage& M);
    // The pointer over the header: ready to size on a divider, ready to move over a heading.
    void PointerOver(int X, int Y);
    void HScrollMessage(framework::TMessage& M);
    void VScrollMessage(framework::TMessage& M);
    void EditorUnfocused(framework::TMessage& M);
    bool HasDataSet() const;
    framework::TDataSet* DataSet() const { return FLink->DataSet(); }
    bool DataSetEditing() const;
    void MoveBy(int Distance);
    void Post(uint32_t Msg, uintptr_t W = 0, intptr_t L = 0);
    void InvalidateClient(const framework::TRect& R);
    uint16_t TranslateKey(framework::TMessage& M);

    TCtlTblAccess FAccess = otxNormal;
    int32_t FActiveCol = 0;
    int32_t FActiveRow = 0;
    TCtlTblAdjust FAdjust = otaCenterLeft;
    framework::TBorderStyle FBorderStyle = framework::bsSingle;
    std::unique_ptr<TCtlTableColors> FColors;
    framework::TColor FColorUnused = framework::clWindow;
    std::unique_ptr<TCtlDbTableColumns> FColumns;
    std::unique_ptr<TCtlDbTableDataLink> FLink;
    int32_t FDefaultMargin = 4;
    std::unique_ptr<TCtlGridPenSet> FPens;
    TCtlBaseTableCell* FHeaderCell = nullptr;
    int32_t FHeaderHeight = 21;
    TCtlHeaderOptionSet FHeaderOptions = CtlHeaderOption(hoShowHeader);
    int32_t FLeftCol = 0;
    int32_t FLockedColumns = 0;
    TCtlDbTableOptionSet FOptions = CtlDbOption(dtoShowIndicators);
    int32_t FRowHeight = 21;
    int32_t FRowIndicatorWidth = 11;
    framework::TScrollStyle FScrollBars = framework::ssBoth;
    TCtlTextStyle FTextStyle = tsFlat;
    TCtlVisibleColumns FVisible;
    int32_t FRowsInView = 1;
    TCtlBaseTableCell* FEditorCell = nullptr;
    framework::TFont FWorkFont;
    std::string FCommandTable;
    framework::TDataSource* FPrevSource = nullptr;
    bool FSkipAutoEdit = false;
    bool FWantHorz = true, FWantVert = true;
    std::unique_ptr<framework::TImageList> FIndicators;
    int32_t FDataLeft = 11;
    int32_t FMaxLeftCol = 0;
    int32_t FMoveFrom = 0, FMoveTo = 0;
    bool FPainting = false;
    int FPaintedRecord = 0;  // the link's active record when painting began
    bool FNoColumnChanges = false;
    bool FNoLinkFeedback = false;
    bool FFocusByMouse = false;
    bool FDestroying = false;
    int32_t FSizingX = 0, FSizingCol = 0;
    uint16_t FState = StNormal;
    // Characters of a key that opened the editor, handed on after the key.
    bool FHoldChars = false;
    std::vector<framework::TMessage> FHeldChars;
};

class TCtlDbTable : public TCtlCustomDbTable {
public:
    using TCtlCustomDbTable::TCtlCustomDbTable;
};

// Registers the indicator glyphs "CTLDBARROW", "CTLDBEDIT", "CTLDBINSERT" (6 x 11, white
// transparent) and the cursor "CTLCOLUMNMOVECURSOR".
void CtlRegisterDbTableResources();
// The screen cursor number of the column-move cursor.
constexpr framework::TCursor crCtlColumnMove = 0x7F14;

}  // namespace grid
