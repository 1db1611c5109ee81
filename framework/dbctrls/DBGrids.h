#pragma once
// TDBGrid: the records of a data source in rows and its fields in columns, drawn by the grid. Its
// data link keeps one record buffer per visible row, so the rows follow the dataset as it moves;
// the indicator column marks the current record (an arrow while browsing, an I-beam while editing,
// a star while inserting). Typing into a cell opens an in-place editor over it and puts the
// dataset into edit state; Enter writes the cell to its field, moving to another record posts it
// and Escape cancels the record.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "framework/core/Alignment.h"
#include "framework/data/DataSource.h"
#include "framework/stdctrls/StdCtrls.h"
#include "framework/ui/Controls.h"
#include "framework/ui/Graphics.h"

namespace framework {

class TDBGrid;

// A cell of the grid: X counts the indicator column (when shown) as column 0, then one column per
// entry of Columns; Y counts the title row (when shown) as row 0, then the data rows shown.
// -1 in both: no cell.
struct TGridCoord {
    int X = -1;
    int Y = -1;
    friend bool operator==(const TGridCoord&, const TGridCoord&) = default;
};

enum TDBGridOption : uint32_t {
    dgEditing = 1u << 0,
    dgTitles = 1u << 1,
    dgIndicator = 1u << 2,
    dgColumnResize = 1u << 3,
    dgColLines = 1u << 4,
    dgRowLines = 1u << 5,
    dgTabs = 1u << 6,
    dgRowSelect = 1u << 7,            // the whole row is selected; no editing
    dgAlwaysShowSelection = 1u << 8,  // the selection shows also without the focus
};
using TDBGridOptions = uint32_t;
constexpr TDBGridOptions DefaultDBGridOptions =
    dgEditing | dgTitles | dgIndicator | dgColumnResize | dgColLines | dgRowLines | dgTabs;

class TColumnTitle {
public:
    // Empty: the field's display label.
    std::string Caption() const;
    void SetCaption(const std::string& Value);
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment Value);

private:
    friend class TColumn;
    class TColumn* FColumn = nullptr;
    std::string FCaption;
    TAlignment FAlignment = taLeftJustify;
};

class TColumn {
public:
    explicit TColumn(TDBGrid* Grid);
    std::string FieldName() const { return FFieldName; }
    void SetFieldName(const std::string& Value);
    // The field of that name in the grid's dataset (nil while it is closed or has none).
    TField* Field() const;
    TColumnTitle& Title() { return FTitle; }
    // Pixels; until set, wide enough for the field's display width in the grid's font.
    int Width() const;
    void SetWidth(int Value);
    bool Visible() const { return FVisible; }
    void SetVisible(bool Value);
    // Until set, the field's own alignment.
    TAlignment Alignment() const;
    void SetAlignment(TAlignment Value);
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool Value);
    TDBGrid* Grid() const { return FGrid; }
    void Changed();

private:
    friend class TDBGridColumns;
    TDBGrid* FGrid;
    std::string FFieldName;
    TColumnTitle FTitle;
    int FWidth = -1;
    bool FVisible = true;
    std::optional<TAlignment> FAlignment;
    bool FReadOnly = false;
};

// The columns of a grid. Until the program adds one, the grid keeps one column per visible field
// of its dataset (default columns), made again whenever the fields change.
class TDBGridColumns {
public:
    explicit TDBGridColumns(TDBGrid* Grid) : FGrid(Grid) {}
    int Count() const { return static_cast<int>(FItems.size()); }
    TColumn* Items(int Index) const { return FItems.at(static_cast<size_t>(Index)).get(); }
    TColumn* operator[](int Index) const { return Items(Index); }
    // A column of the program's own: the default columns go.
    TColumn* Add();
    void Clear();
    // Back to default columns.
    void RestoreDefaults();
    bool Customized() const { return FCustomized; }

private:
    friend class TDBGrid;
    void RebuildDefault();
    TDBGrid* FGrid;
    std::vector<std::unique_ptr<TColumn>> FItems;
    bool FCustomized = false;
};

class TDBGrid : public TCustomControl {
public:
    explicit TDBGrid(TComponent* AOwner);
    ~TDBGrid() override;

    TDataSource* DataSource() const;
    void SetDataSource(TDataSource* Value);
    TDBGridColumns& Columns() { return FColumns; }
    TDBGridOptions Options() const { return FOptions; }
    void SetOptions(TDBGridOptions Value);
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool Value);
    TFont& TitleFont() { return FTitleFont; }
    void SetTitleFont(const TFont& Value);
    // The column of the current cell (an index into Columns).
    int SelectedIndex() const { return FSelectedIndex; }
    void SetSelectedIndex(int Value);
    TField* SelectedField() const;
    // The first column shown after the indicator (an index into Columns): the grid scrolls
    // sideways when its columns are wider than it.
    int LeftCol() const { return FLeftCol; }
    void SetLeftCol(int Value);

    // The cell under a client point.
    TGridCoord MouseCoord(int X, int Y);
    // Data rows that fit the grid (its record buffers).
    int VisibleRowCount();
    int DefaultRowHeight();
    int TitleHeight();
    // The grid row of the current record (in the coordinates of MouseCoord).
    int Row() const;
    // The text a cell shows (a title, or a field's display text in a data row); "" for no cell.
    std::string DisplayedText(int ACol, int ARow);
    // The client rectangle of a cell in the coordinates of MouseCoord (empty when not shown).
    TRect CellRect(int ACol, int ARow);

    // The in-place editor, while it shows.
    bool EditorMode() const { return FEditorShown; }
    void SetEditorMode(bool Value);
    TCustomEdit* InplaceEditor() const { return FEditor; }

    void Dispatch(TMessage& Message) override;
    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;

    // Called by the data link and the columns.
    void LayoutChanged();
    void DataChanged();
    void EditingChanged();
    void RecordChanged(TField* Field);
    void UpdateData();

    // The in-place editor passes the keys that move or end the editing to the grid.
    void KeyDown(uint16_t& Key, TShiftState Shift) override;
    // Whether the current cell may be changed; puts the dataset into edit state when it may.
    bool CanEditModify();

protected:
    void Paint() override;
    void KeyPress(char& Key) override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    bool DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos) override;
    void DoExit() override;
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    class TGridDataLink;
    friend class TGridInplaceEdit;
    friend class TColumn;
    friend class TDBGridColumns;
    int IndicatorWidth() const { return (FOptions & dgIndicator) ? 11 : 0; }
    int TitleOffset() const { return (FOptions & dgTitles) ? 1 : 0; }
    int IndicatorOffset() const { return (FOptions & dgIndicator) ? 1 : 0; }
    int LineWidth(TDBGridOptions Line) const { return (FOptions & Line) ? 1 : 0; }
    // Left edge of a column (index into Columns), or -1 when hidden or scrolled out of view; the
    // second form as if First were the first column shown.
    int ColumnLeft(int Index);
    int ColumnLeftFrom(int First, int Index);
    void MakeColumnVisible(int Index);
    // Columns shown whole (at least one).
    int FullyShownColumns();
    bool Editable() const;
    // Whether the current cell could take a change (nothing is started).
    bool CellEditable();
    void ShowEditor(bool SelectAll);
    // Hides the editor, writing its text to the field first when Write.
    void HideEditor(bool Write);
    void PlaceEditor();
    void MoveColumn(int Delta);
    void MoveRow(int Distance);
    // Up, Down, Page Up, Page Down, Ctrl+Home and Ctrl+End move through the dataset; false for
    // other keys.
    bool MoveByKey(uint16_t Key, TShiftState Shift);
    void UpdateBufferCount();
    void UpdateScrollBar();
    std::string CellText(TColumn* Column);
    void PaintIndicator(TCanvas& C, const TRect& R, bool Current);

    std::unique_ptr<TGridDataLink> FDataLink;
    TDBGridColumns FColumns{this};
    TDBGridOptions FOptions = DefaultDBGridOptions;
    bool FReadOnly = false;
    TFont FTitleFont;
    int FSelectedIndex = 0;
    int FLeftCol = 0;
    TCustomEdit* FEditor = nullptr;
    bool FEditorShown = false;
    bool FEditorLoading = false;
    int FSizingColumn = -1;  // the column whose width the mouse is dragging
    int FSizingStart = 0;
    int FSizingWidth = 0;
    bool FInLayout = false;
};

}  // namespace framework
