#include "framework/dbctrls/DBGrids.h"

#include <algorithm>
#include <utility>

#include "framework/stdctrls/ExtCtrls.h"
#include "framework/stdctrls/TypInfo.h"

namespace framework {

namespace {
// The grid's own published properties (windows keep its fonts between runs by their paths).
struct Registration {
    Registration() {
        RegisterPublished<TDBGrid>(
            5, {ObjProp<TDBGrid, TFont>("TitleFont", &TDBGrid::TitleFont),
                BoolProp<TDBGrid>("ReadOnly", &TDBGrid::ReadOnly, &TDBGrid::SetReadOnly)});
    }
} registration;
}  // namespace

// ---------------------------------------------------------------------------------------------
// The grid's data link: one record buffer per visible row.

class TDBGrid::TGridDataLink : public TDataLink {
public:
    explicit TGridDataLink(TDBGrid* Grid) : FGrid(Grid) {}

protected:
    void ActiveChanged() override { FGrid->LayoutChanged(); }
    void DataSetChanged() override { FGrid->DataChanged(); }
    void DataSetScrolled(int) override { FGrid->DataChanged(); }
    void LayoutChanged() override { FGrid->LayoutChanged(); }
    void EditingChanged() override { FGrid->EditingChanged(); }
    void RecordChanged(TField* Field) override { FGrid->RecordChanged(Field); }
    void UpdateData() override { FGrid->UpdateData(); }

private:
    TDBGrid* FGrid;
};

// The editor over the current cell: a borderless edit that hands the keys which move or end the
// editing to its grid, and lets a typed character through only when the cell may change.
class TGridInplaceEdit : public TCustomEdit {
public:
    TGridInplaceEdit(TComponent* AOwner, TDBGrid* Grid) : TCustomEdit(AOwner), FGrid(Grid) {
        BorderStyle = bsNone;
        AutoSelect = false;
        SetVisible(false);
    }
    void Dispatch(TMessage& M) override {
        if (M.Msg == WM_GETDLGCODE) {
            M.Result = DLGC_WANTARROWS | DLGC_WANTCHARS | DLGC_WANTALLKEYS |
                       ((FGrid->Options() & dgTabs) ? DLGC_WANTTAB : 0);
            return;
        }
        TCustomEdit::Dispatch(M);
    }

protected:
    void KeyDown(uint16_t& Key, TShiftState Shift) override {
        switch (Key) {
            case VK_UP:
            case VK_DOWN:
            case VK_PRIOR:
            case VK_NEXT:
            case VK_RETURN:
            case VK_ESCAPE:
            case VK_TAB:
            case VK_F2:
                FGrid->KeyDown(Key, Shift);
                Key = 0;
                return;
            case VK_DELETE:
                if (!FGrid->CanEditModify()) {
                    Key = 0;
                    return;
                }
                break;
            default:
                break;
        }
        TCustomEdit::KeyDown(Key, Shift);
    }
    void KeyPress(char& Key) override {
        auto k = static_cast<unsigned char>(Key);
        if (k == '\r' || k == 27 || k == '\t') {
            Key = 0;
            return;
        }
        if ((k >= 32 || k == 8 || k == 22 || k == 24) && !FGrid->CanEditModify()) {
            Key = 0;
            return;
        }
        TField* f = FGrid->SelectedField();
        if (k >= 32 && f && !f->IsValidChar(Key)) {
            Key = 0;
            return;
        }
        TCustomEdit::KeyPress(Key);
    }
    // Leaving the editor for another control writes the cell.
    void DoExit() override {
        if (!(FGrid->ComponentState() & csDestroying)) FGrid->HideEditor(true);
        TCustomEdit::DoExit();
    }

private:
    TDBGrid* FGrid;
};

// ---------------------------------------------------------------------------------------------
// Columns

std::string TColumnTitle::Caption() const {
    if (!FCaption.empty() || !FColumn) return FCaption;
    TField* f = FColumn->Field();
    return f ? f->DisplayLabel() : FColumn->FieldName();
}
void TColumnTitle::SetCaption(const std::string& Value) {
    FCaption = Value;
    if (FColumn) FColumn->Changed();
}
void TColumnTitle::SetAlignment(TAlignment Value) {
    FAlignment = Value;
    if (FColumn) FColumn->Changed();
}

TColumn::TColumn(TDBGrid* Grid) : FGrid(Grid) {
    FTitle.FColumn = this;
}

void TColumn::Changed() {
    if (FGrid) FGrid->LayoutChanged();
}

void TColumn::SetFieldName(const std::string& Value) {
    FFieldName = Value;
    Changed();
}

TField* TColumn::Field() const {
    TDataSet* ds = FGrid ? FGrid->FDataLink->DataSet() : nullptr;
    if (!ds || !ds->Active() || FFieldName.empty()) return nullptr;
    return ds->FindField(FFieldName);
}

int TColumn::Width() const {
    if (FWidth >= 0) return FWidth;
    // Wide enough for the field's display width, or for the title, whichever is wider.
    TCanvas& c = FGrid->Canvas();
    c.Font.Assign(FGrid->Font());
    TField* f = Field();
    int w = f ? f->DisplayWidth() * c.TextWidth("0") : 64;
    c.Font.Assign(FGrid->TitleFont());
    return std::max(w, c.TextWidth(const_cast<TColumn*>(this)->FTitle.Caption())) + 4;
}
void TColumn::SetWidth(int Value) {
    FWidth = std::max(0, Value);
    Changed();
}
void TColumn::SetVisible(bool Value) {
    FVisible = Value;
    Changed();
}
TAlignment TColumn::Alignment() const {
    if (FAlignment) return *FAlignment;
    TField* f = Field();
    return f ? f->Alignment : taLeftJustify;
}
void TColumn::SetAlignment(TAlignment Value) {
    FAlignment = Value;
    Changed();
}
void TColumn::SetReadOnly(bool Value) {
    FReadOnly = Value;
    Changed();
}

TColumn* TDBGridColumns::Add() {
    if (!FCustomized) {
        FItems.clear();
        FCustomized = true;
    }
    FItems.push_back(std::make_unique<TColumn>(FGrid));
    FGrid->LayoutChanged();
    return FItems.back().get();
}

void TDBGridColumns::Clear() {
    FItems.clear();
    FCustomized = true;
    FGrid->LayoutChanged();
}

void TDBGridColumns::RestoreDefaults() {
    FCustomized = false;
    FGrid->LayoutChanged();
}

void TDBGridColumns::RebuildDefault() {
    if (FCustomized) return;
    FItems.clear();
    TDataSet* ds = FGrid->FDataLink->DataSet();
    if (!ds || !ds->Active()) return;
    for (int i = 0; i < ds->FieldCount(); ++i) {
        TField* f = ds->Fields[i];
        if (!f->Visible) continue;
        auto c = std::make_unique<TColumn>(FGrid);
        c->FFieldName = f->FieldName;
        FItems.push_back(std::move(c));
    }
}

// ---------------------------------------------------------------------------------------------
// TDBGrid

TDBGrid::TDBGrid(TComponent* AOwner)
    : TCustomControl(AOwner), FDataLink(std::make_unique<TGridDataLink>(this)) {
    FWidth = 320;
    FHeight = 120;
    FTabStop = true;
    FColor = clWindow;
    FParentColor = false;
    FTitleFont.OnChange = [this] { LayoutChanged(); };
    FEditor = NewComponent<TGridInplaceEdit>(this, this);
    FEditor->SetParent(this);
    FEditor->OnChange = [this](TObject*) {
        if (!FEditorLoading) FDataLink->Edit();
    };
}

TDBGrid::~TDBGrid() {
    FTitleFont.OnChange = nullptr;
    // The editor goes first, while the grid it reports to is whole.
    if (TCustomEdit* editor = std::exchange(FEditor, nullptr)) {
        FEditorShown = false;
        editor->Free();
    }
    FDataLink->SetDataSource(nullptr);
}

TDataSource* TDBGrid::DataSource() const {
    return FDataLink->DataSource();
}

void TDBGrid::SetDataSource(TDataSource* Value) {
    if (Value == FDataLink->DataSource()) return;
    if (FDataLink->DataSource()) FDataLink->DataSource()->RemoveFreeNotification(this);
    FDataLink->SetDataSource(Value);
    if (Value) Value->FreeNotification(this);
    LayoutChanged();
}

void TDBGrid::Notification(TComponent* AComponent, TOperation Operation) {
    TCustomControl::Notification(AComponent, Operation);
    if (Operation != opRemove || !FDataLink) return;
    if (AComponent == FEditor) {
        FEditor = nullptr;
        FEditorShown = false;
    }
    if (AComponent && AComponent == FDataLink->DataSource()) SetDataSource(nullptr);
}

void TDBGrid::SetOptions(TDBGridOptions Value) {
    // A row selection leaves no cell to edit.
    if (Value & dgRowSelect) Value &= ~static_cast<TDBGridOptions>(dgEditing);
    FOptions = Value;
    if (!Editable()) HideEditor(false);
    LayoutChanged();
}

void TDBGrid::SetReadOnly(bool Value) {
    FReadOnly = Value;
    if (Value) HideEditor(false);
    Invalidate();
}

void TDBGrid::SetTitleFont(const TFont& Value) {
    FTitleFont.Assign(Value);
}

void TDBGrid::SetSelectedIndex(int Value) {
    if (FColumns.Count() == 0) {
        FSelectedIndex = 0;
        return;
    }
    Value = std::clamp(Value, 0, FColumns.Count() - 1);
    if (Value == FSelectedIndex) return;
    HideEditor(true);
    FSelectedIndex = Value;
    MakeColumnVisible(Value);
    Invalidate();
}

void TDBGrid::SetLeftCol(int Value) {
    // It goes no further right than where the last column ends at the right edge.
    int last = -1;
    for (int i = 0; i < FColumns.Count(); ++i)
        if (FColumns[i]->Visible()) last = i;
    if (last < 0) return;
    int maxLeft = last;
    while (maxLeft > 0 && ColumnLeftFrom(maxLeft - 1, last) + FColumns[last]->Width() <= ClientWidth())
        --maxLeft;
    Value = std::clamp(Value, 0, maxLeft);
    while (Value > 0 && !FColumns[Value]->Visible()) --Value;
    if (Value == FLeftCol) return;
    HideEditor(true);
    FLeftCol = Value;
    UpdateScrollBar();
    Invalidate();
}

void TDBGrid::MakeColumnVisible(int Index) {
    if (Index < 0 || Index >= FColumns.Count() || !FColumns[Index]->Visible()) return;
    if (Index < FLeftCol) {
        SetLeftCol(Index);
        return;
    }
    int left = FLeftCol;
    while (left < Index && ColumnLeftFrom(left, Index) + FColumns[Index]->Width() > ClientWidth()) ++left;
    SetLeftCol(left);
}

int TDBGrid::FullyShownColumns() {
    int n = 0;
    for (int i = FLeftCol; i < FColumns.Count(); ++i) {
        int left = ColumnLeft(i);
        if (left < 0) continue;
        if (left + FColumns[i]->Width() > ClientWidth()) break;
        ++n;
    }
    return std::max(1, n);
}

TField* TDBGrid::SelectedField() const {
    if (FSelectedIndex < 0 || FSelectedIndex >= FColumns.Count()) return nullptr;
    return FColumns.Items(FSelectedIndex)->Field();
}

int TDBGrid::DefaultRowHeight() {
    Canvas().Font.Assign(FFont);
    return Canvas().TextHeight("Wg") + 3 + LineWidth(dgRowLines);
}

int TDBGrid::TitleHeight() {
    if (!(FOptions & dgTitles)) return 0;
    Canvas().Font.Assign(FTitleFont);
    return Canvas().TextHeight("Wg") + 3 + LineWidth(dgRowLines);
}

int TDBGrid::VisibleRowCount() {
    return std::max(1, (ClientHeight() - TitleHeight()) / std::max(1, DefaultRowHeight()));
}

int TDBGrid::ColumnLeftFrom(int First, int Index) {
    if (Index < First || Index >= FColumns.Count() || !FColumns[Index]->Visible()) return -1;
    int x = IndicatorWidth() + (IndicatorWidth() ? LineWidth(dgColLines) : 0);
    for (int i = First; i < Index; ++i)
        if (FColumns[i]->Visible()) x += FColumns[i]->Width() + LineWidth(dgColLines);
    return x;
}

int TDBGrid::ColumnLeft(int Index) {
    return ColumnLeftFrom(FLeftCol, Index);
}

TRect TDBGrid::CellRect(int ACol, int ARow) {
    int rowH = DefaultRowHeight();
    int top, height;
    if (ARow < TitleOffset()) {
        top = 0;
        height = TitleHeight();
    } else {
        int d = ARow - TitleOffset();
        if (d < 0 || d >= FDataLink->RecordCount()) return TRect();
        top = TitleHeight() + d * rowH;
        height = rowH;
    }
    int left, width;
    if (ACol < IndicatorOffset()) {
        left = 0;
        width = IndicatorWidth();
    } else {
        int c = ACol - IndicatorOffset();
        left = ColumnLeft(c);
        if (left < 0) return TRect();
        width = FColumns[c]->Width();
    }
    // The lines belong to the cell above and to the left of them.
    return Rect(left, top, left + width, top + height - LineWidth(dgRowLines));
}

int TDBGrid::Row() const {
    return FDataLink->ActiveRecord() + TitleOffset();
}

std::string TDBGrid::DisplayedText(int ACol, int ARow) {
    int c = ACol - IndicatorOffset();
    if (c < 0 || c >= FColumns.Count()) return "";
    if (ARow < TitleOffset()) return FColumns[c]->Title().Caption();
    int d = ARow - TitleOffset();
    if (d >= FDataLink->RecordCount()) return "";
    int current = FDataLink->ActiveRecord();
    FDataLink->SetActiveRecord(d);
    std::string s = CellText(FColumns[c]);
    FDataLink->SetActiveRecord(current);
    return s;
}

TGridCoord TDBGrid::MouseCoord(int X, int Y) {
    TGridCoord r;
    if (X < 0 || Y < 0 || X >= ClientWidth() || Y >= ClientHeight()) return r;
    int row = -1;
    int th = TitleHeight();
    if (Y < th) {
        row = 0;
    } else {
        int d = (Y - th) / std::max(1, DefaultRowHeight());
        if (d < FDataLink->RecordCount()) row = d + TitleOffset();
    }
    int col = -1;
    int iw = IndicatorWidth();
    if (X < iw + (iw ? LineWidth(dgColLines) : 0)) {
        col = iw ? 0 : -1;
    } else {
        for (int i = 0; i < FColumns.Count(); ++i) {
            int left = ColumnLeft(i);
            if (left < 0) continue;
            if (X >= left && X < left + FColumns[i]->Width() + LineWidth(dgColLines)) {
                col = i + IndicatorOffset();
                break;
            }
        }
    }
    if (row < 0 || col < 0) return r;
    r.X = col;
    r.Y = row;
    return r;
}

void TDBGrid::UpdateBufferCount() {
    FDataLink->SetBufferCount(VisibleRowCount());
}

void TDBGrid::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    TCustomControl::SetBounds(ALeft, ATop, AWidth, AHeight);
    if (FDataLink) UpdateBufferCount();
    if (FEditorShown) PlaceEditor();
}

void TDBGrid::LayoutChanged() {
    if (FInLayout || !FDataLink) return;
    FInLayout = true;
    try {
        FColumns.RebuildDefault();
        if (FSelectedIndex >= FColumns.Count()) FSelectedIndex = std::max(0, FColumns.Count() - 1);
        if (FLeftCol >= FColumns.Count()) FLeftCol = 0;
        if (!FDataLink->Active()) HideEditor(false);
        UpdateBufferCount();
    } catch (...) {
        FInLayout = false;
        throw;
    }
    FInLayout = false;
    if (FEditorShown) PlaceEditor();
    UpdateScrollBar();
    Invalidate();
}

void TDBGrid::DataChanged() {
    if (FEditorShown) {
        // The editor follows the record it stands on.
        if (!FDataLink->Editing())
            HideEditor(false);
        else
            PlaceEditor();
    }
    UpdateScrollBar();
    Invalidate();
}

void TDBGrid::EditingChanged() {
    if (!FDataLink->Editing()) HideEditor(false);
    Invalidate();
}

void TDBGrid::RecordChanged(TField* Field) {
    if (FEditorShown && FEditor && !FEditor->Modified() && (!Field || Field == SelectedField())) {
        FEditorLoading = true;
        TField* f = SelectedField();
        FEditor->SetText(f ? f->Text() : std::string());
        FEditorLoading = false;
    }
    Invalidate();
}

void TDBGrid::UpdateData() {
    if (!FEditorShown || !FEditor || !FEditor->Modified()) return;
    TField* f = SelectedField();
    if (f) f->SetText(FEditor->Text());
    FEditor->SetModified(false);
}

void TDBGrid::UpdateScrollBar() {
    if (!HandleAllocated()) return;
    // Sideways: a bar of columns, shown while the columns are wider than the grid.
    int total = IndicatorWidth() ? IndicatorWidth() + LineWidth(dgColLines) : 0;
    int visibleColumns = 0;
    for (int i = 0; i < FColumns.Count(); ++i)
        if (FColumns[i]->Visible()) {
            total += FColumns[i]->Width() + LineWidth(dgColLines);
            ++visibleColumns;
        }
    bool wide = total > ClientWidth() || FLeftCol > 0;
    int oldHeight = ClientHeight();
    ShowScrollBar(Handle(), SB_HORZ, wide);
    if (wide) {
        TScrollInfo h;
        h.fMask = SIF_RANGE | SIF_POS | SIF_PAGE;
        h.nMax = visibleColumns - 1;
        h.nPage = static_cast<uint32_t>(FullyShownColumns());
        int pos = 0;
        for (int i = 0; i < FLeftCol; ++i)
            if (FColumns[i]->Visible()) ++pos;
        h.nPos = pos;
        SetScrollInfo(Handle(), SB_HORZ, h, true);
    }
    if (ClientHeight() != oldHeight) UpdateBufferCount();
    TDataSet* ds = FDataLink->DataSet();
    if (!FDataLink->Active() || !ds) {
        ShowScrollBar(Handle(), SB_VERT, false);
        return;
    }
    // Where the dataset numbers its records the thumb shows the position; otherwise it shows only
    // the ends.
    int count = ds->RecordCount();
    int recNo = ds->State() == dsBrowse ? ds->RecNo() : -1;
    TScrollInfo si;
    si.fMask = SIF_RANGE | SIF_POS | SIF_PAGE | SIF_DISABLENOSCROLL;
    if (count > 0 && recNo > 0) {
        si.nMax = count - 1;
        si.nPos = recNo - 1;
    } else {
        si.nMax = 4;
        si.nPos = ds->Bof() ? 0 : ds->Eof() ? 4 : 2;
    }
    si.nPage = 0;
    ShowScrollBar(Handle(), SB_VERT, true);
    SetScrollInfo(Handle(), SB_VERT, si, true);
}

bool TDBGrid::Editable() const {
    return (FOptions & dgEditing) && !(FOptions & dgRowSelect) && !FReadOnly;
}

bool TDBGrid::CellEditable() {
    if (!Editable() || !FDataLink->Active() || FDataLink->ReadOnly()) return false;
    if (FSelectedIndex >= FColumns.Count() || FColumns[FSelectedIndex]->ReadOnly()) return false;
    TField* f = SelectedField();
    TDataSet* ds = FDataLink->DataSet();
    return f && f->CanModify() && ds && ds->CanModify();
}

bool TDBGrid::CanEditModify() {
    if (!CellEditable()) return false;
    FDataLink->Edit();
    return FDataLink->Editing();
}

void TDBGrid::PlaceEditor() {
    if (!FEditor) return;
    TRect r = CellRect(FSelectedIndex + IndicatorOffset(), FDataLink->ActiveRecord() + TitleOffset());
    if (r.Width() <= 0) {
        FEditor->SetVisible(false);
        return;
    }
    FEditor->SetBounds(r.Left, r.Top, r.Width(), r.Height());
    FEditor->SetFont(FFont);
    FEditor->SetVisible(true);
}

void TDBGrid::ShowEditor(bool SelectAll) {
    if (!FEditor || !CellEditable()) return;
    if (!FEditorShown) {
        TField* f = SelectedField();
        if (!f) return;
        FEditorLoading = true;
        FEditor->SetText(f->Text());
        FEditorLoading = false;
        FEditorShown = true;
    }
    PlaceEditor();
    if (SelectAll)
        FEditor->SelectAll();
    else
        FEditor->SetSelStart(static_cast<int>(FEditor->Text().size()));
    if (Focused() || (FEditor->CanFocus() && ParentForm())) FEditor->SetFocus();
}

void TDBGrid::HideEditor(bool Write) {
    if (!FEditorShown || !FEditor) return;
    if (Write) FDataLink->UpdateRecord();
    bool hadFocus = FEditor->Focused();
    FEditorShown = false;
    FEditor->SetModified(false);
    FEditor->SetVisible(false);
    if (hadFocus && CanFocus()) SetFocus();
    Invalidate();
}

void TDBGrid::SetEditorMode(bool Value) {
    if (Value)
        ShowEditor(true);
    else
        HideEditor(true);
}

void TDBGrid::MoveRow(int Distance) {
    TDataSet* ds = FDataLink->DataSet();
    if (!FDataLink->Active() || !ds || Distance == 0) return;
    HideEditor(true);
    ds->MoveBy(Distance);
}

void TDBGrid::MoveColumn(int Delta) {
    int i = FSelectedIndex;
    for (;;) {
        i += Delta;
        if (i < 0 || i >= FColumns.Count()) return;
        if (FColumns[i]->Visible()) break;
    }
    SetSelectedIndex(i);
}

bool TDBGrid::MoveByKey(uint16_t Key, TShiftState Shift) {
    TDataSet* ds = FDataLink->DataSet();
    bool ctrl = Shift & ssCtrl;
    switch (Key) {
        case VK_UP:
            MoveRow(-1);
            return true;
        case VK_DOWN:
            MoveRow(1);
            return true;
        case VK_PRIOR:
            MoveRow(-VisibleRowCount());
            return true;
        case VK_NEXT:
            MoveRow(VisibleRowCount());
            return true;
        case VK_HOME:
        case VK_END:
            if (!ctrl) return false;
            if (FDataLink->Active() && ds) {
                HideEditor(true);
                if (Key == VK_HOME)
                    ds->First();
                else
                    ds->Last();
            }
            return true;
        default:
            return false;
    }
}

void TDBGrid::KeyDown(uint16_t& Key, TShiftState Shift) {
    TCustomControl::KeyDown(Key, Shift);
    if (Key == 0) return;
    if (MoveByKey(Key, Shift)) {
        Key = 0;
        return;
    }
    TDataSet* ds = FDataLink->DataSet();
    bool active = FDataLink->Active() && ds;
    switch (Key) {
        case VK_HOME:
            if (!(FOptions & dgRowSelect)) SetSelectedIndex(0);
            break;
        case VK_END:
            if (!(FOptions & dgRowSelect)) SetSelectedIndex(FColumns.Count() - 1);
            break;
        case VK_LEFT:
        case VK_RIGHT: {
            // A whole-row selection scrolls sideways instead of moving the cell.
            int d = Key == VK_LEFT ? -1 : 1;
            if (FOptions & dgRowSelect)
                SetLeftCol(FLeftCol + d);
            else
                MoveColumn(d);
            break;
        }
        case VK_TAB:
            if (!(FOptions & dgTabs)) return;
            MoveColumn((Shift & ssShift) ? -1 : 1);
            break;
        case VK_F2:
            if (Editable()) ShowEditor(false);
            break;
        case VK_RETURN:
            // Enter writes the cell to its field (the record stays in edit until it is posted or
            // left) or opens the editor on it.
            if (FEditorShown)
                HideEditor(true);
            else if (Editable())
                ShowEditor(true);
            break;
        case VK_ESCAPE:
            HideEditor(false);
            if (active && (ds->State() == dsEdit || ds->State() == dsInsert)) ds->Cancel();
            break;
        default:
            return;
    }
    Key = 0;
}

void TDBGrid::KeyPress(char& Key) {
    TCustomControl::KeyPress(Key);
    auto k = static_cast<unsigned char>(Key);
    if (k < 32 || FEditorShown || !FEditor) return;
    // A character typed on a cell opens the editor with it in place of the value.
    TField* f = SelectedField();
    if (!CanEditModify() || (f && !f->IsValidChar(Key))) {
        Key = 0;
        return;
    }
    ShowEditor(true);
    if (FEditorShown) FEditor->Perform(WM_CHAR, k, 0);
    Key = 0;
}

void TDBGrid::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (Button == TMouseButton::mbLeft) {
        if (CanFocus() && !Focused() && !(FEditorShown && FEditor && FEditor->Focused())) SetFocus();
        TGridCoord cell = MouseCoord(X, Y);
        int th = TitleHeight();
        // Dragging the right edge of a title cell sizes its column.
        if ((FOptions & dgColumnResize) && (FOptions & dgTitles) && Y < th) {
            for (int i = 0; i < FColumns.Count(); ++i) {
                int left = ColumnLeft(i);
                if (left < 0) continue;
                int edge = left + FColumns[i]->Width();
                if (X >= edge - 2 && X <= edge + 2) {
                    HideEditor(true);
                    FSizingColumn = i;
                    FSizingStart = X;
                    FSizingWidth = FColumns[i]->Width();
                    SetMouseCapture(true);
                    break;
                }
            }
        }
        if (FSizingColumn < 0 && cell.Y >= TitleOffset() && FDataLink->Active()) {
            int row = cell.Y - TitleOffset();
            int col = cell.X - IndicatorOffset();
            bool sameCell = row == FDataLink->ActiveRecord() && col == FSelectedIndex;
            if (row != FDataLink->ActiveRecord()) MoveRow(row - FDataLink->ActiveRecord());
            if (col >= 0 && !(FOptions & dgRowSelect)) SetSelectedIndex(col);
            // A click on the current cell opens its editor.
            if (sameCell && col >= 0 && Editable() && !(Shift & ssDouble)) ShowEditor(true);
        }
    }
    TCustomControl::MouseDown(Button, Shift, X, Y);
}

void TDBGrid::MouseMove(TShiftState Shift, int X, int Y) {
    if (FSizingColumn >= 0 && FSizingColumn < FColumns.Count()) {
        FColumns[FSizingColumn]->SetWidth(std::max(1, FSizingWidth + X - FSizingStart));
    } else if ((FOptions & dgColumnResize) && (FOptions & dgTitles)) {
        bool onEdge = false;
        if (Y < TitleHeight())
            for (int i = 0; i < FColumns.Count() && !onEdge; ++i) {
                int left = ColumnLeft(i);
                if (left >= 0 && std::abs(X - (left + FColumns[i]->Width())) <= 2) onEdge = true;
            }
        SetCursor(onEdge ? crHSplit : crDefault);
    }
    TCustomControl::MouseMove(Shift, X, Y);
}

void TDBGrid::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (FSizingColumn >= 0) {
        FSizingColumn = -1;
        SetMouseCapture(false);
    }
    TCustomControl::MouseUp(Button, Shift, X, Y);
}

bool TDBGrid::DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos) {
    if (TCustomControl::DoMouseWheel(Shift, WheelDelta, MousePos)) return true;
    MoveRow(WheelDelta > 0 ? -1 : 1);
    return true;
}

void TDBGrid::DoExit() {
    // Leaving the grid for another control writes the open cell.
    if (!(FEditor && FEditor->Focused()) && !(ComponentState() & csDestroying)) HideEditor(true);
    TCustomControl::DoExit();
}

void TDBGrid::Dispatch(TMessage& M) {
    switch (M.Msg) {
        case WM_GETDLGCODE: {
            // While a record is being edited, Enter and Escape belong to the grid.
            bool editing = FDataLink->Editing();
            M.Result = DLGC_WANTARROWS | DLGC_WANTCHARS | ((FOptions & dgTabs) ? DLGC_WANTTAB : 0) |
                       (editing ? DLGC_WANTALLKEYS : 0);
            return;
        }
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            Invalidate();
            break;
        case WM_VSCROLL: {
            TDataSet* ds = FDataLink->DataSet();
            if (!FDataLink->Active() || !ds) return;
            // The scroll bar's steps move as the keys do.
            switch (M.WParamLo()) {
                case SB_LINEUP:
                    MoveByKey(VK_UP, 0);
                    break;
                case SB_LINEDOWN:
                    MoveByKey(VK_DOWN, 0);
                    break;
                case SB_PAGEUP:
                    MoveByKey(VK_PRIOR, 0);
                    break;
                case SB_PAGEDOWN:
                    MoveByKey(VK_NEXT, 0);
                    break;
                case SB_TOP:
                    MoveByKey(VK_HOME, ssCtrl);
                    break;
                case SB_BOTTOM:
                    MoveByKey(VK_END, ssCtrl);
                    break;
                case SB_THUMBPOSITION:
                case SB_THUMBTRACK: {
                    int recNo = ds->RecNo();
                    if (recNo > 0) MoveRow(static_cast<int>(M.WParamHi()) + 1 - recNo);
                    break;
                }
                default:
                    break;
            }
            M.Result = 0;
            return;
        }
        case WM_HSCROLL: {
            int page = FullyShownColumns();
            switch (M.WParamLo()) {
                case SB_LINELEFT:
                    SetLeftCol(FLeftCol - 1);
                    break;
                case SB_LINERIGHT:
                    SetLeftCol(FLeftCol + 1);
                    break;
                case SB_PAGELEFT:
                    SetLeftCol(FLeftCol - page);
                    break;
                case SB_PAGERIGHT:
                    SetLeftCol(FLeftCol + page);
                    break;
                case SB_THUMBPOSITION:
                case SB_THUMBTRACK: {
                    // The thumb counts the shown columns only.
                    int want = static_cast<int>(M.WParamHi());
                    for (int i = 0, n = 0; i < FColumns.Count(); ++i)
                        if (FColumns[i]->Visible() && n++ == want) SetLeftCol(i);
                    break;
                }
                default:
                    break;
            }
            M.Result = 0;
            return;
        }
        case CM_FONTCHANGED:
            LayoutChanged();
            break;
        default:
            break;
    }
    TCustomControl::Dispatch(M);
}

// ---- Painting

std::string TDBGrid::CellText(TColumn* Column) {
    TField* f = Column->Field();
    if (!f) return "";
    // One line of text per cell.
    std::string s = f->DisplayText();
    size_t nl = s.find_first_of("\r\n");
    if (nl != std::string::npos) s.resize(nl);
    return s;
}

namespace {
void AlignedText(TCanvas& C, const TRect& R, TAlignment Alignment, const std::string& Text) {
    int w = C.TextWidth(Text);
    int x = R.Left + 2;
    if (Alignment == taRightJustify)
        x = R.Right - 2 - w;
    else if (Alignment == taCenter)
        x = R.Left + (R.Width() - w) / 2;
    C.TextRect(R, x, R.Top + 2, Text);
}
}  // namespace

void TDBGrid::PaintIndicator(TCanvas& C, const TRect& R, bool Current) {
    C.Brush.Color = clBtnFace;
    C.FillRect(R);
    Frame3D(C, R, clBtnHighlight, clBtnShadow, 1);
    if (!Current) return;
    TDataSet* ds = FDataLink->DataSet();
    TDataSetState st = ds ? ds->State() : dsInactive;
    int cx = (R.Left + R.Right) / 2, cy = (R.Top + R.Bottom) / 2;
    C.Pen.Color = clBlack;
    C.Brush.Color = clBlack;
    if (st == dsEdit) {
        // An I-beam.
        C.MoveTo(cx, cy - 4);
        C.LineTo(cx, cy + 5);
        C.MoveTo(cx - 2, cy - 4);
        C.LineTo(cx + 3, cy - 4);
        C.MoveTo(cx - 2, cy + 4);
        C.LineTo(cx + 3, cy + 4);
    } else if (st == dsInsert) {
        // A star.
        C.MoveTo(cx - 3, cy);
        C.LineTo(cx + 4, cy);
        C.MoveTo(cx, cy - 3);
        C.LineTo(cx, cy + 4);
        C.MoveTo(cx - 2, cy - 2);
        C.LineTo(cx + 3, cy + 3);
        C.MoveTo(cx + 2, cy - 2);
        C.LineTo(cx - 3, cy + 3);
    } else {
        // An arrow pointing at the row.
        C.Polygon({TPoint{cx - 2, cy - 4}, TPoint{cx + 2, cy}, TPoint{cx - 2, cy + 4}});
    }
    C.Brush.Color = clBtnFace;
}

void TDBGrid::Paint() {
    TCanvas& c = Canvas();
    TRect client = ClientRect();
    c.Brush.Style = bsSolid;
    c.Brush.Color = FColor;
    c.FillRect(client);
    int th = TitleHeight();
    int rowH = DefaultRowHeight();
    int colLine = LineWidth(dgColLines), rowLine = LineWidth(dgRowLines);
    int right = IndicatorWidth() ? IndicatorWidth() + colLine : 0;
    for (int i = 0; i < FColumns.Count(); ++i)
        if (ColumnLeft(i) >= 0) right = ColumnLeft(i) + FColumns[i]->Width() + colLine;
    bool focused = Focused() || (FEditor && FEditor->Focused());
    bool showSelection = focused || (FOptions & dgAlwaysShowSelection);

    // Titles.
    if (FOptions & dgTitles) {
        c.Font.Assign(FTitleFont);
        if (IndicatorWidth()) PaintIndicator(c, Rect(0, 0, IndicatorWidth(), th - rowLine), false);
        for (int i = 0; i < FColumns.Count(); ++i) {
            int left = ColumnLeft(i);
            if (left < 0) continue;
            TRect r = Rect(left, 0, left + FColumns[i]->Width(), th - rowLine);
            c.Brush.Color = clBtnFace;
            c.FillRect(r);
            c.Brush.Style = bsClear;
            AlignedText(c, r, FColumns[i]->Title().Alignment(), FColumns[i]->Title().Caption());
            c.Brush.Style = bsSolid;
            Frame3D(c, r, clBtnHighlight, clBtnShadow, 1);
        }
    }

    // Data rows: each row's record is made current in the link while it paints.
    int rows = FDataLink->RecordCount();
    int current = FDataLink->ActiveRecord();
    c.Font.Assign(FFont);
    for (int row = 0; row < rows; ++row) {
        int top = th + row * rowH;
        if (top >= client.Bottom) break;
        FDataLink->SetActiveRecord(row);
        bool isCurrent = row == current;
        if (IndicatorWidth())
            PaintIndicator(c, Rect(0, top, IndicatorWidth(), top + rowH - rowLine), isCurrent);
        for (int i = 0; i < FColumns.Count(); ++i) {
            int left = ColumnLeft(i);
            if (left < 0) continue;
            TColumn* col = FColumns[i];
            TRect r = Rect(left, top, left + col->Width(), top + rowH - rowLine);
            bool selected = isCurrent && showSelection && ((FOptions & dgRowSelect) || i == FSelectedIndex);
            c.Brush.Color = selected ? clHighlight : FColor;
            c.Font.Color = selected ? clHighlightText : FFont.Color;
            AlignedText(c, r, col->Alignment(), CellText(col));
            if (selected && focused && !(FOptions & dgRowSelect)) c.DrawFocusRect(r);
        }
    }
    FDataLink->SetActiveRecord(current);
    c.Font.Color = FFont.Color;

    // Lines between the cells, in the colour of the button faces.
    c.Pen.Color = clBtnFace;
    int bottom = th + rows * rowH;
    if (colLine) {
        if (IndicatorWidth()) {
            c.MoveTo(IndicatorWidth(), 0);
            c.LineTo(IndicatorWidth(), bottom);
        }
        for (int i = 0; i < FColumns.Count(); ++i) {
            int left = ColumnLeft(i);
            if (left < 0) continue;
            int x = left + FColumns[i]->Width();
            c.MoveTo(x, 0);
            c.LineTo(x, bottom);
        }
    }
    if (rowLine) {
        if (th) {
            c.MoveTo(0, th - 1);
            c.LineTo(right, th - 1);
        }
        for (int row = 0; row < rows; ++row) {
            int y = th + (row + 1) * rowH - 1;
            c.MoveTo(0, y);
            c.LineTo(right, y);
        }
    }
}

}  // namespace framework
