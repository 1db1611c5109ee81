#include "controls/grid/CtlTableCell.h"

#include "framework/ui/Windows.h"

namespace grid {

using namespace framework;

TCtlBaseTableCell::TCtlBaseTableCell(TComponent* AOwner) : TCtlTableCellAncestor(AOwner) {
    FFont.OnChange = [this] {
        if (FCopyingFont) return;
        FTableFont = false;
        NotifyChanged();
    };
}

TCtlBaseTableCell::~TCtlBaseTableCell() {
    FFont.OnChange = nullptr;
    if (FTable) FTable->UnregisterCell(this);
}

void TCtlBaseTableCell::SetTable(TCtlTableAncestor* Value) {
    if (Value == FTable) return;
    if (FTable) {
        if (FTable->HandleAllocated())
            FTable->Perform(TM_REMOVECELL, 0,
                            reinterpret_cast<LPARAM>(static_cast<TCtlTableCellAncestor*>(this)));
        FTable->RemoveFreeNotification(this);
    }
    FTable = Value;
    if (FTable) FTable->FreeNotification(this);
    SetChangeNotice(nullptr);
    FUsers = 0;
    TableChanged();
}

void TCtlBaseTableCell::AddUser() {
    if (FUsers == 0 && FTable) FTable->RegisterCell(this);
    ++FUsers;
}

void TCtlBaseTableCell::ReleaseUser() {
    if (FUsers <= 0) return;
    if (--FUsers == 0 && FTable) {
        FTable->UnregisterCell(this);
        FTable->RemoveFreeNotification(this);
        FTable = nullptr;
        SetChangeNotice(nullptr);
    }
}

void TCtlBaseTableCell::Notification(TComponent* AComponent, TOperation Operation) {
    TCtlTableCellAncestor::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FTable) {
        FTable = nullptr;
        SetChangeNotice(nullptr);
    }
}

intptr_t TCtlBaseTableCell::QueryTable(uint32_t Msg) const {
    if (!FTable || !FTable->HandleAllocated()) return 0;
    return static_cast<intptr_t>(FTable->Perform(Msg, 0, 0));
}

int32_t TCtlBaseTableCell::TableActiveCol() const {
    return static_cast<int32_t>(QueryTable(TM_QUERYACTIVECOL));
}
int32_t TCtlBaseTableCell::TableLockedCols() const {
    return static_cast<int32_t>(QueryTable(TM_QUERYLOCKEDCOLS));
}
bool TCtlBaseTableCell::TableTabToArrow() const {
    return QueryTable(TM_QUERYOPTIONS) & CtlTblOption(otoTabToArrow);
}
bool TCtlBaseTableCell::TableEnterToArrow() const {
    return QueryTable(TM_QUERYOPTIONS) & CtlTblOption(otoEnterToArrow);
}

void TCtlBaseTableCell::FetchColor() {
    if (!FTable || !FTable->HandleAllocated()) return;
    FColor = static_cast<TColor>(FTable->Perform(TM_QUERYCOLOR, 0, 0));
    FColorPending = false;
}

void TCtlBaseTableCell::FetchFont() {
    if (!FTable || !FTable->HandleAllocated()) return;
    if (auto* Grid = reinterpret_cast<TFont*>(FTable->Perform(TM_QUERYFONT, 0, 0))) {
        FCopyingFont = true;
        FFont.Assign(*Grid);
        FCopyingFont = false;
    }
    FFontPending = false;
}

TColor TCtlBaseTableCell::Color() {
    if (FTableColor && FColorPending) FetchColor();
    return FColor;
}

void TCtlBaseTableCell::SetColor(TColor Value) {
    FColor = Value;
    FTableColor = false;
    NotifyChanged();
}

TFont& TCtlBaseTableCell::Font() {
    if (FTableFont && FFontPending) FetchFont();
    return FFont;
}

void TCtlBaseTableCell::SetFont(const TFont& Value) {
    FCopyingFont = true;
    FFont.Assign(Value);
    FCopyingFont = false;
    FTableFont = false;
    NotifyChanged();
}

void TCtlBaseTableCell::SetTableColor(bool Value) {
    if (Value == FTableColor) return;
    FTableColor = Value;
    if (Value) {
        FColorPending = true;
        FetchColor();
    }
    NotifyChanged();
}

void TCtlBaseTableCell::SetTableFont(bool Value) {
    if (Value == FTableFont) return;
    FTableFont = Value;
    if (Value) {
        FFontPending = true;
        FetchFont();
    }
    NotifyChanged();
}

void TCtlBaseTableCell::SetMargin(int Value) {
    if (Value < 0 || Value == FMargin) return;
    FMargin = Value;
    NotifyChanged();
}

void TCtlBaseTableCell::SetAccess(TCtlTblAccess Value) {
    if (Value == FAccess) return;
    FAccess = Value;
    NotifyChanged();
}

void TCtlBaseTableCell::SetAdjust(TCtlTblAdjust Value) {
    if (Value == FAdjust) return;
    FAdjust = Value;
    NotifyChanged();
}

void TCtlBaseTableCell::SetTextHiColor(TColor Value) {
    if (Value == FTextHiColor) return;
    FTextHiColor = Value;
    NotifyChanged();
}

void TCtlBaseTableCell::SetTextStyle(TCtlTextStyle Value) {
    if (Value == FTextStyle) return;
    FTextStyle = Value;
    NotifyChanged();
}

void TCtlBaseTableCell::TableChanged() {
    if (!FTable) return;
    if (FTableFont) {
        FFontPending = true;
        FetchFont();
    }
    if (FTableColor) {
        FColorPending = true;
        FetchColor();
    }
}

void TCtlBaseTableCell::ChangeScale(int M, int D) {
    if (M == D || FTableFont) return;
    FCopyingFont = true;
    FFont.SetSize(MulDiv(FFont.Size(), M, D));
    FCopyingFont = false;
}

void TCtlBaseTableCell::ResolveAttributes(int32_t RowNum, int32_t ColNum, TCtlCellAttributes& CellAttr) {
    CellAttr.Access = FAccess;
    CellAttr.Adjust = FAdjust;
    CellAttr.Color = Color();
    if (CellAttr.Font) CellAttr.Font->Assign(Font());
    CellAttr.FontColor = Font().Color;
    CellAttr.FontHiColor = FTextHiColor;
    CellAttr.TextStyle = FTextStyle;
    if (FTable) FTable->ResolveCellAttributes(RowNum, ColNum, CellAttr);
    if (CellAttr.Access == otxDefault) CellAttr.Access = otxNormal;
    if (CellAttr.Adjust == otaDefault) CellAttr.Adjust = otaCenterLeft;
    if (CellAttr.Color == CtlNoCellColor) CellAttr.Color = clBtnFace;
}

bool TCtlBaseTableCell::DoOwnerDraw(TCanvas& TableCanvas, const TRect& CellRect, int32_t RowNum,
                                    int32_t ColNum, const TCtlCellAttributes& CellAttr,
                                    const TCtlCellValue* Data) {
    bool DoneIt = false;
    if (OnOwnerDraw) OnOwnerDraw(this, TableCanvas, CellRect, RowNum, ColNum, CellAttr, Data, DoneIt);
    return DoneIt;
}

void TCtlBaseTableCell::PaintCell(TCanvas& TableCanvas, const TRect& CellRect, int32_t RowNum, int32_t ColNum,
                                  const TCtlCellAttributes& CellAttr, const TCtlCellValue* Data) {
    if (!DoOwnerDraw(TableCanvas, CellRect, RowNum, ColNum, CellAttr, Data))
        Paint(TableCanvas, CellRect, RowNum, ColNum, CellAttr, Data);
}

void TCtlBaseTableCell::Paint(TCanvas& TableCanvas, const TRect& CellRect, int32_t, int32_t,
                              const TCtlCellAttributes& CellAttr, const TCtlCellValue*) {
    TableCanvas.Brush.Color = CellAttr.Color;
    TableCanvas.Brush.Style = bsSolid;
    TableCanvas.FillRect(CellRect);
}

void TCtlBaseTableCell::CopyEventsTo(TWinControl& Editor) const {
    Editor.OnClick = OnClick;
    Editor.OnDblClick = OnDblClick;
    Editor.OnEnter = OnEnter;
    Editor.OnExit = OnExit;
    Editor.OnKeyDown = OnKeyDown;
    Editor.OnKeyUp = OnKeyUp;
    Editor.OnKeyPress = OnKeyPress;
    Editor.OnMouseDown = OnMouseDown;
    Editor.OnMouseUp = OnMouseUp;
    Editor.OnMouseMove = OnMouseMove;
}

void TCtlBaseTableCell::PlaceEditor(TWinControl& Editor, const TRect& CellRect) {
    Editor.FreeNotification(this);
    Editor.SetBounds(CellRect.Left, CellRect.Top, CellRect.Width(), CellRect.Height());
    Editor.Hint = FHint;
    Editor.SetShowHint(FShowHint);
    Editor.SetTabStop(false);
    CopyEventsTo(Editor);
    Editor.SetParent(FTable);
}

void TCtlBaseTableCell::ReportEditorFocus(const TMessage& M) const {
    PostToTable(M.Msg == WM_SETFOCUS ? TM_EDITORFOCUSED : TM_EDITORUNFOCUSED, M.WParam, 0);
}

void TCtlBaseTableCell::PostToTable(uint32_t Msg, uintptr_t WParam, intptr_t LParam) const {
    if (FTable && FTable->HandleAllocated()) PostMessage(FTable->Handle(), Msg, WParam, LParam);
}

void TCtlBaseTableCell::ForwardKey(uint16_t CharCode, intptr_t KeyData) const {
    PostToTable(WM_KEYDOWN, CharCode, KeyData);
}

TCtlTblKeyClaim TCtlBaseTableCell::FilterTableKey(TWMKey& Msg) {
    return FTable ? FTable->FilterKey(Msg) : okcNone;
}

}  // namespace grid
