#include "controls/entry/CtlArrayEditor.h"

#include <algorithm>
#include <cstring>

#include "controls/entry/CtlMessages.h"
#include "controls/entry/CtlStrings.h"
#include "platform/Beep.h"

namespace entry {

using namespace framework;

namespace {

constexpr uint32_t SCtlParameterInvalid = 30188;

}  // namespace

// ---- The cell ----

TPictureCellField::TPictureCellField(TComponent* AOwner) : TCtlPictureField(AOwner) {
    SetParentFont(true);
    SetParentColor(true);
    SetCtl3D(false);
    SetParentCtl3D(false);
    SetBorderStyle(bsNone);
    SetAutoSize(false);
}

TCtlBaseArrayEditor* TPictureCellField::Editor() const {
    return dynamic_cast<TCtlBaseArrayEditor*>(Parent());
}

bool TPictureCellField::LoadFrom(const TCtlArrayItem& Item) {
    const uint8_t type = DataType();
    try {
        switch (Item.Kind()) {
            case TCtlArrayItem::aiText: {
                std::string s = *Item.TextValue();
                if (static_cast<int>(s.size()) > Item.Capacity())
                    s.resize(static_cast<size_t>(Item.Capacity()));
                SetAsString(s);
                return true;
            }
            case TCtlArrayItem::aiInteger:
                if (CtlIsIntegerType(type)) {
                    SetAsInteger(*Item.IntegerValue());
                    return true;
                }
                SetAsString(std::to_string(*Item.IntegerValue()));
                return true;
            case TCtlArrayItem::aiNumber:
                if (!CtlIsFloatType(type) && !CtlIsIntegerType(type)) return false;
                SetAsFloat(*Item.NumberValue());
                return true;
            case TCtlArrayItem::aiDate:
                if (PictureDataType() == pftDate || PictureDataType() == pftTime ||
                    PictureDataType() == pftDateTime) {
                    SetAsDateTime(*Item.NumberValue());
                    return true;
                }
                return false;
            default:
                return false;
        }
    } catch (const EEntryFieldError&) {
        return false;  // a value the cell's type cannot take
    }
}

uint16_t TPictureCellField::StoreTo(const TCtlArrayItem& Item) {
    TCtlEntryValue v;
    const uint16_t code = GetValue(v);
    if (code != 0) return code;
    switch (Item.Kind()) {
        case TCtlArrayItem::aiText: {
            std::string s = GetAsString();
            if (static_cast<int>(s.size()) > Item.Capacity()) s.resize(static_cast<size_t>(Item.Capacity()));
            *Item.TextValue() = s;
            break;
        }
        case TCtlArrayItem::aiInteger:
            if (CtlIsIntegerType(v.DataType)) *Item.IntegerValue() = CtlValueAsInteger(v);
            break;
        case TCtlArrayItem::aiNumber: {
            long double n = 0;
            if ((CtlIsFloatType(v.DataType) || CtlIsIntegerType(v.DataType)) && NumberOfText(n))
                *Item.NumberValue() = static_cast<double>(n);
            break;
        }
        case TCtlArrayItem::aiDate:
            if (PictureDataType() == pftDateTime && v.Bytes.size() == sizeof(double))
                std::memcpy(Item.NumberValue(), v.Bytes.data(), sizeof(double));
            else if (v.DataType == dtDate || v.DataType == dtTime)
                *Item.NumberValue() = GetAsDateTime();
            break;
        default:
            break;
    }
    return 0;
}

std::string TPictureCellField::RowText(const TCtlArrayItem& Item) {
    // Loads the item and takes its text as the mask lays it out; the cell's own edit state comes
    // back as it was.
    const std::string text = FEditText;
    const int caret = FCaretPos, first = FFirstCol, selStart = FSelStart, selEnd = FSelEnd;
    const bool modified = FModified, edited = FEditedSinceSet, prepared = FPrepared;
    const TNotifyEvent change = OnChange;
    OnChange = nullptr;
    std::string row;
    try {
        if (!LoadFrom(Item)) SetInitialValue();
        row = FEditText;
    } catch (...) {
        row.clear();
    }
    OnChange = change;
    FEditText = text;
    FCaretPos = caret;
    FFirstCol = first;
    FSelStart = selStart;
    FSelEnd = selEnd;
    FModified = modified;
    FEditedSinceSet = edited;
    FPrepared = prepared;
    if (FHasFocus) PositionCaret(true);
    return row;
}

void TPictureCellField::DoRestore() {
    FEditText = FLoadedText;
    FCaretPos = static_cast<int>(FEditText.size());
    SetSelection(0, 255);
    FModified = false;
    PositionCaret(true);
    Invalidate();
    DoOnChange();
}

void TPictureCellField::CreateWnd() {
    TCtlBaseArrayEditor* e = Editor();
    if (e) SetController(e->Controller());
    TCtlPictureField::CreateWnd();
    if (!e) return;
    OnChange = e->OnChange;
    OnError = e->OnError;
    OnUserCommand = e->OnUserCommand;
    OnUserValidation = e->OnUserValidation;
    OnClick = e->OnClick;
    OnDblClick = e->OnDblClick;
    OnEnter = e->OnEnter;
    OnExit = e->OnExit;
    OnKeyDown = e->OnKeyDown;
    OnKeyPress = e->OnKeyPress;
    OnKeyUp = e->OnKeyUp;
    OnMouseDown = e->OnMouseDown;
    OnMouseMove = e->OnMouseMove;
    OnMouseUp = e->OnMouseUp;
}

void TPictureCellField::Dispatch(TMessage& Message) {
    TCtlBaseArrayEditor* e = Editor();
    switch (Message.Msg) {
        case WM_SETFOCUS:
            if (e) e->ColorCell();
            break;
        case WM_KILLFOCUS:
            // The value goes to its slot when it is valid; the field's own handling reports it
            // when it is not.
            if (e && GetModified()) e->StoreItem();
            break;
        default:
            break;
    }
    TCtlPictureField::Dispatch(Message);
}

void TPictureCellField::EditCommand(TMessage& Msg, uint16_t Command) {
    // Moving between rows is the editor's business.
    if (TCtlBaseArrayEditor* e = Editor()) {
        int code = -1, pos = 0;
        switch (Command) {
            case ccDown:
                code = SB_LINEDOWN;
                break;
            case ccUp:
                code = SB_LINEUP;
                break;
            case ccNextPage:
                code = SB_PAGEDOWN;
                break;
            case ccPrevPage:
                code = SB_PAGEUP;
                break;
            case ccFirstPage:
                code = SB_THUMBPOSITION;
                break;
            case ccLastPage:
                code = SB_THUMBPOSITION, pos = 32767;
                break;
            default:
                break;
        }
        if (code >= 0) {
            e->Perform(WM_VSCROLL, static_cast<WPARAM>(MakeLParam(code, pos)), 0);
            FAcceptChar = false;
            return;
        }
    }
    TCtlPictureField::EditCommand(Msg, Command);
    // A text slot holds no more than its characters: what went beyond them is taken back.
    if (FSlotLimit < 0 || DataType() != dtString) return;
    std::string raw = GetEditText();
    raw.erase(raw.find_last_not_of(PadChar()) + 1);
    if (static_cast<int>(raw.size()) <= FSlotLimit) return;
    const int caret = FCaretPos;
    FEditText = MergeWithPicture(raw.substr(0, static_cast<size_t>(FSlotLimit)));
    FCaretPos = std::min(caret, static_cast<int>(FEditText.size()));
    FSelStart = FSelEnd = FCaretPos;
    if (GetController()->EntryOptions & efoBeepOnError) platform::MessageBeep(0);
    PositionCaret(true);
    Invalidate();
}

// ---- The editor ----

TCtlBaseArrayEditor::TCtlBaseArrayEditor(TComponent* AOwner)
    : TCtlCustomControlEx(AOwner),
      FDisabledColors(std::make_unique<TCtlColors>(clGrayText, clWindow)),
      FHighlightColors(std::make_unique<TCtlColors>(clHighlightText, clHighlight)) {
    SetColor(clWindow);
    SetCtl3D(true);
    SetParentCtl3D(true);
    SetParentFont(true);
    SetParentColor(false);
    SetTabStop(true);
    ControlStyle |= csClickEvents;
    FDisabledColors->OnColorChange = [this] { Invalidate(); };
    FHighlightColors->OnColorChange = [this] {
        if (FCell) FCell->EFColors().Highlight().Assign(FHighlightColors.get());
        Invalidate();
    };
    SetBounds(Left(), Top(), 100, 150);
    FVisibleRows = std::max(1, 150 / FRowHeight);
    FNumItems = FVisibleRows;
}

TCtlBaseArrayEditor::~TCtlBaseArrayEditor() = default;

void TCtlBaseArrayEditor::SetBorderStyle(TBorderStyle Value) {
    if (Value == FBorderStyle) return;
    FBorderStyle = Value;
    RecreateWnd();
}

void TCtlBaseArrayEditor::SetLineColor(TColor Value) {
    if (Value == FLineColor) return;
    FLineColor = Value;
    Invalidate();
}

void TCtlBaseArrayEditor::SetNumItems(int Value) {
    if (Loading()) FVisibleRows = std::max(1, Height() / FRowHeight);
    Value = std::max(Value, FVisibleRows);
    if (Value == FNumItems) return;
    FNumItems = Value;
    if (FActiveRow > FNumItems - 1) SetActiveRow(FNumItems - 1);
    UpdateScrollBar();
    Invalidate();
}

TCtlEntryFieldOptions TCtlBaseArrayEditor::Options() const {
    return FCell ? FCell->Options() : FOptions;
}

void TCtlBaseArrayEditor::SetOptions(TCtlEntryFieldOptions Value) {
    if (Value & efoForceInsert) Value &= ~efoForceOvertype;
    if (Value & efoForceOvertype) Value &= ~efoForceInsert;
    FOptions = Value;
    if (FCell) {
        FCell->SetOptions(Value);
        FOptions = FCell->Options();
    }
    Invalidate();
}

char TCtlBaseArrayEditor::PadChar() const {
    return FCell ? FCell->PadChar() : FPadChar;
}

void TCtlBaseArrayEditor::SetPadChar(char Value) {
    FPadChar = Value;
    if (FCell && !Designing()) {
        FCell->SetPadChar(Value);
        FPadChar = FCell->PadChar();
    }
    Invalidate();
}

int TCtlBaseArrayEditor::TextMargin() const {
    return FCell ? FCell->TextMargin() : FTextMargin;
}

void TCtlBaseArrayEditor::SetTextMargin(int Value) {
    if (Value < 2) return;
    FTextMargin = Value;
    if (FCell) {
        FCell->SetTextMargin(Value);
        FTextMargin = FCell->TextMargin();
    }
    Invalidate();
}

std::string TCtlBaseArrayEditor::RangeHi() const {
    return FCell ? FCell->GetRangeHi() : std::string();
}
std::string TCtlBaseArrayEditor::RangeLo() const {
    return FCell ? FCell->GetRangeLo() : std::string();
}

void TCtlBaseArrayEditor::SetRangeHi(const std::string& Value) {
    if (!FCell) CreateEditor();
    FCell->SetRangeHi(Value);
    FRangeHiText = FCell->GetRangeHi();
    FRangeLoText = FCell->GetRangeLo();
    FRangesSet = true;
}

void TCtlBaseArrayEditor::SetRangeLo(const std::string& Value) {
    if (!FCell) CreateEditor();
    FCell->SetRangeLo(Value);
    FRangeHiText = FCell->GetRangeHi();
    FRangeLoText = FCell->GetRangeLo();
    FRangesSet = true;
}

void TCtlBaseArrayEditor::SetRowHeight(int Value) {
    if (Value <= 0 || Value == FRowHeight) return;
    FRowHeight = Value;
    RecreateWnd();
    Resized();
}

void TCtlBaseArrayEditor::SetUseScrollBar(bool Value) {
    if (Value == FUseScrollBar) return;
    FUseScrollBar = Value;
    RecreateWnd();
}

void TCtlBaseArrayEditor::GetItemColor(int Index, TColor& FG, TColor& BG) {
    if (OnGetItemColor) OnGetItemColor(this, Index, FG, BG);
}

void TCtlBaseArrayEditor::RowColors(int Index, TColor& FG, TColor& BG) {
    if (Enabled()) {
        FG = Font().Color;
        BG = Color();
    } else {
        FG = FDisabledColors->TextColor();
        BG = FDisabledColors->BackColor();
    }
    GetItemColor(Index, FG, BG);
}

void TCtlBaseArrayEditor::ColorCell() {
    if (!FCell) return;
    TColor fg, bg;
    RowColors(FActiveRow, fg, bg);
    FCell->Font().Color = fg;
    FCell->SetColor(bg);
    FCell->EFColors().Highlight().Assign(FHighlightColors.get());
    if (!Enabled()) FCell->EFColors().Disabled().Assign(FDisabledColors.get());
    FCell->Invalidate();
}

void TCtlBaseArrayEditor::SetFocus() {
    if (FCell) TCtlCustomControlEx::SetFocus();
}

std::string TCtlBaseArrayEditor::GetEditorText() {
    return FCell ? FCell->GetEditText() : std::string();
}
std::string TCtlBaseArrayEditor::GetDesignText() {
    return FCell ? FCell->GetDisplayText() : std::string();
}

void TCtlBaseArrayEditor::DoOnSelect(int Index) {
    if (!Designing() && OnSelect) OnSelect(this, Index);
}

void TCtlBaseArrayEditor::CreateParams(TCreateParams& Params) {
    TCtlCustomControlEx::CreateParams(Params);
    if (FUseScrollBar) Params.Style |= WS_VSCROLL;
    if (FBorderStyle == bsSingle) {
        if (Ctl3D())
            Params.ExStyle |= WS_EX_CLIENTEDGE;
        else
            Params.Style |= WS_BORDER;
    }
}

void TCtlBaseArrayEditor::CreateWnd() {
    TCtlCustomControlEx::CreateWnd();
    CreateEditor();
    if (PopupMenu()) FCell->SetPopupMenu(PopupMenu());
    FCell->SetOptions(FOptions);
    FCell->SetPadChar(FPadChar);
    FCell->SetTextMargin(FTextMargin);
    FCell->SetTabStop(TabStop());
    FCell->SetEnabled(Enabled());
    FCell->EFColors().Highlight().Assign(FHighlightColors.get());
    FCell->EFColors().Disabled().Assign(FDisabledColors.get());
    FCell->SetBounds(0, 0, ClientWidth(), FRowHeight - 1);
    if (FCell->Name().empty()) FCell->SetName("EditCell");
    FCell->SetParent(this);
    if (FRangesSet) {
        // A new cell takes the limits the editor was given; else the editor takes the cell's.
        FCell->SetRangeLo(FRangeLoText);
        FCell->SetRangeHi(FRangeHiText);
    }
    Resized();
    UpdateScrollBar();
    PlaceCell(FActiveRow);
    LoadItem(FActiveRow);
    ColorCell();
}

bool TCtlBaseArrayEditor::PlaceCell(int Row) {
    const int last = FNumItems - 1;
    Row = std::clamp(Row, 0, std::max(last, 0));
    bool scrolled = false;
    if (Row < FTopItem) {
        FTopItem = Row;
        scrolled = true;
    } else if (Row > FTopItem + FVisibleRows - 1) {
        FTopItem = Row - FVisibleRows + 1;
        scrolled = true;
    }
    if (FCell) {
        FCell->SetSelection(0, 0);
        FCell->SetBounds(0, (Row - FTopItem) * FRowHeight, ClientWidth(), FRowHeight - 1);
        FCell->SetSelection(0, 255);
    }
    return scrolled;
}

void TCtlBaseArrayEditor::UpdateScrollBar() {
    FScrollDivisor = 1;
    const int last = FNumItems - 1;
    if (last > 32767) FScrollDivisor = (last >> 15) * 2;
    FScrollMax = last / FScrollDivisor;
    if (FNumItems < FVisibleRows) FScrollMax = 1;
    if (!FUseScrollBar || !HandleAllocated()) return;
    if (FNumItems <= FVisibleRows && !Designing()) {
        SetScrollRange(Handle(), SB_VERT, 0, 0, true);
        return;
    }
    SetScrollRange(Handle(), SB_VERT, 0, FScrollMax, false);
    SetScrollPos(Handle(), SB_VERT, FActiveRow / FScrollDivisor, true);
}

void TCtlBaseArrayEditor::HandleScroll(int Code, int Position) {
    int row = FActiveRow;
    switch (Code) {
        case SB_LINEUP:
            --row;
            break;
        case SB_LINEDOWN:
            ++row;
            break;
        case SB_PAGEUP:
            row -= std::max(1, FVisibleRows - 1);
            break;
        case SB_PAGEDOWN:
            row += std::max(1, FVisibleRows - 1);
            break;
        case SB_THUMBPOSITION:
        case SB_THUMBTRACK:
            row = Position >= FScrollMax ? FNumItems - 1 : Position * FScrollDivisor;
            break;
        default:
            return;
    }
    SetActiveRow(row);
}

void TCtlBaseArrayEditor::Resized() {
    if (FResizing) return;
    FResizing = true;
    FVisibleRows = std::max(1, ClientHeight() / FRowHeight);
    if (FNumItems < FVisibleRows) FNumItems = FVisibleRows;
    if (FCell) FCell->SetWidth(ClientWidth());
    if (!Loading() && HandleAllocated() && ClientHeight() != FVisibleRows * FRowHeight)
        SetClientHeight(FVisibleRows * FRowHeight);
    FResizing = false;
    UpdateScrollBar();
}

void TCtlBaseArrayEditor::Dispatch(TMessage& Message) {
    switch (Message.Msg) {
        case WM_VSCROLL:
            HandleScroll(Message.WParamLo(), Message.WParamHi());
            return;
        case WM_SIZE:
            TCtlCustomControlEx::Dispatch(Message);
            Resized();
            return;
        case CM_FONTCHANGED:
            TCtlCustomControlEx::Dispatch(Message);
            Resized();
            return;
        case WM_ERASEBKGND:
            Message.Result = 1;
            return;
        case CM_GOTFOCUS:
        case CM_LOSTFOCUS:
            return;
        case CM_ENABLEDCHANGED:
            TCtlCustomControlEx::Dispatch(Message);
            if (FCell) FCell->SetEnabled(Enabled());
            Invalidate();
            return;
        case CM_CTL3DCHANGED:
            TCtlCustomControlEx::Dispatch(Message);
            if (FBorderStyle == bsSingle) RecreateWnd();
            return;
        case WM_SETFOCUS:
            TCtlCustomControlEx::Dispatch(Message);
            if (FCell && FCell->HandleAllocated() && static_cast<HWND>(Message.WParam) == FCell->Handle()) {
                // Shift+Tab out of the cell: on to the control before the editor.
                PostMessage(Handle(), WM_NEXTDLGCTL, 1, 0);
                return;
            }
            if (FCell) {
                LoadItem(FActiveRow);
                ColorCell();
                FCell->SetFocus();
            }
            return;
        case WM_NEXTDLGCTL:
            if (TCustomForm* form = ParentForm()) form->SelectNext(this, Message.WParam == 0, true);
            return;
        case WM_LBUTTONDOWN:
            TCtlCustomControlEx::Dispatch(Message);
            if (FNumItems > 0 && FCell) {
                SetActiveRow(GetYLParam(Message.LParam) / FRowHeight + FTopItem);
                if (FCell->CanFocus()) FCell->SetFocus();
            }
            return;
        default:
            TCtlCustomControlEx::Dispatch(Message);
    }
}

void TCtlBaseArrayEditor::Paint() {
    TCanvas& c = Canvas();
    const TRect client = ClientRect();
    const TRect clip = Designing() ? client : c.ClipRect();
    c.Font.Assign(Font());
    c.Brush.Style = bsSolid;
    const bool designing = Designing();
    const int top = FCell ? CtlTextTopOffset(FCell->Font(), false, FRowHeight - 1, false) : 0;
    const int margin = TextMargin();
    const bool right = FCell && ((FCell->Options() & efoRightAlign) || FCell->Kind() == fkNumeric);
    for (int i = 0; i < FVisibleRows; ++i) {
        const int row = FTopItem + i;
        if (row == FActiveRow || row >= FNumItems) continue;
        TRect r = Rect(0, i * FRowHeight, client.Right, (i + 1) * FRowHeight);
        if (i == FVisibleRows - 1) r.Bottom = client.Bottom;
        if (IntersectRect(r, clip).IsEmpty()) continue;
        // The row's text comes from its slot; the cell's edit state stays as the user left it.
        TCtlArrayItem item;
        if (!designing && OnGetItem) OnGetItem(this, row, item);
        std::string text = designing ? GetDesignText() : (FCell ? FCell->RowText(item) : std::string());
        TColor fg, bg;
        RowColors(row, fg, bg);
        c.Brush.Color = bg;
        c.FillRect(r);
        c.Font.Color = fg;
        if (right) {
            CtlTrimSpaces(text);
            c.TextRect(r, r.Right - margin - 1 - c.TextWidth(text), r.Top + top, text);
        } else {
            c.TextRect(r, margin - 1, r.Top + top, text);
        }
    }
    // The active item: loaded again only when its slot changed under an unedited cell, so
    // that painting never moves the caret.
    if (FCell && !designing && !FCell->GetModified()) {
        TCtlArrayItem item;
        if (OnGetItem) OnGetItem(this, FActiveRow, item);
        if (FCell->RowText(item) != FCell->MaskedText()) LoadItem(FActiveRow);
    }
    ColorCell();
    c.Pen.Color = FLineColor;
    c.Pen.Style = psSolid;
    c.Pen.Width = 1;
    for (int k = 1; k < FVisibleRows; ++k) {
        c.MoveTo(0, k * FRowHeight - 1);
        c.LineTo(client.Right, k * FRowHeight - 1);
    }
}

// ---- The picture array editor ----

TCtlPictureArrayEditor::TCtlPictureArrayEditor(TComponent* AOwner) : TCtlBaseArrayEditor(AOwner) {
    if (!Designing()) FActiveRow = 0;
}

void TCtlPictureArrayEditor::CreateEditor() {
    if (FCell) {
        TPictureCellField* old = FCell;
        FCell = nullptr;
        old->Free();
    }
    FCell = NewComponent<TPictureCellField>(this);
    FCell->SetController(Controller());
    FCell->SetDataType(FDataType);
    FCell->SetDecimalPlaces(FDecimalPlaces);
    FCell->SetEpoch(FEpoch);
    FCell->SetPictureMask(FPictureMask);
    FCell->SetMaxLength(FMaxLength);
}

void TCtlPictureArrayEditor::SetDataType(TPictureDataType Value) {
    if (Value > pftDateTime) throw ECtlException(CtlGetMessage(SCtlParameterInvalid));
    if (Value == FDataType) return;
    FDataType = Value;
    if (FCell) {
        FCell->SetDataType(Value);
        FPictureMask = FCell->PictureMask();
        FMaxLength = FCell->MaxLength();
        FDecimalPlaces = FCell->DecimalPlaces();
    }
    RecreateWnd();
}

void TCtlPictureArrayEditor::SetPictureMask(const std::string& Value) {
    if (Value == FPictureMask) return;
    FPictureMask = Value.substr(0, MaxPictureLength);
    // The cell's length follows its mask.
    FMaxLength = static_cast<uint16_t>(FPictureMask.size());
    RecreateWnd();
}

void TCtlPictureArrayEditor::SetMaxLength(uint16_t Value) {
    if (Value == FMaxLength || Value < 1 || Value > MaxPictureLength) return;
    FMaxLength = Value;
    RecreateWnd();
}

void TCtlPictureArrayEditor::SetDecimalPlaces(uint8_t Value) {
    FDecimalPlaces = Value;
    if (FCell) FCell->SetDecimalPlaces(Value);
}

void TCtlPictureArrayEditor::SetEpoch(int32_t Value) {
    FEpoch = Value;
    if (FCell) FCell->SetEpoch(Value);
}

void TCtlPictureArrayEditor::LoadItem(int Index) {
    FItem = TCtlArrayItem();
    if (!FCell) return;
    if (!Designing() && OnGetItem) OnGetItem(this, Index, FItem);
    FCell->SetSlotLimit(FItem.Kind() == TCtlArrayItem::aiText ? FItem.Capacity() : -1);
    if (!FCell->LoadFrom(FItem)) FCell->SetInitialValue();
    FCell->SaveLoadedText();
}

uint16_t TCtlPictureArrayEditor::StoreItem() {
    if (!FCell || !FItem.Assigned()) return 0;
    return FCell->StoreTo(FItem);
}

void TCtlPictureArrayEditor::SetActiveRow(int Index) {
    if (Designing() || !FCell) return;
    Index = std::clamp(Index, 0, std::max(FNumItems - 1, 0));
    if (Index == FActiveRow) return;
    if (FCell->GetModified()) {
        const uint16_t code = StoreItem();
        if (code != 0) {
            if (FCell->HandleAllocated()) PostMessage(FCell->Handle(), OM_REPORTERROR, code, 0);
            return;
        }
    }
    const bool redraw = HandleAllocated();
    if (redraw) Perform(WM_SETREDRAW, 0, 0);
    try {
        FActiveRow = Index;
        PlaceCell(Index);
        LoadItem(Index);
        ColorCell();
        FCell->SetSelection(0, 255);
    } catch (...) {
        if (redraw) Perform(WM_SETREDRAW, 1, 0);
        throw;
    }
    if (redraw) Perform(WM_SETREDRAW, 1, 0);
    UpdateScrollBar();
    Invalidate();
    DoOnSelect(FActiveRow);
}

}  // namespace entry
