#include "controls/entry/CtlArrayEditor.h"

#include <algorithm>
#include <cstring>

#include "controls/entry/CtlMessages.h"
#include "controls/entry/CtlStrings.h"
#include "platform/Beep.h"

namespace entry {

using namespace framework;

namespace {

bool CellTypeSupported(uint8_t DataType) {
    return DataType == dtString || CtlIsIntegerType(DataType);
}

// The integer of a decimal text that fits the type, with its sign; false for anything else.
bool ParseInteger(const std::string& Text, int64_t& Value) {
    std::string t = Text;
    CtlTrimSpaces(t);
    if (t.empty()) {
        Value = 0;
        return true;
    }
    size_t i = 0;
    bool negative = false;
    if (t[0] == '-' || t[0] == '+') negative = t[i++] == '-';
    if (i >= t.size() || t.size() - i > 10) return false;
    int64_t v = 0;
    for (; i < t.size(); ++i) {
        if (t[i] < '0' || t[i] > '9') return false;
        v = v * 10 + (t[i] - '0');
    }
    Value = negative ? -v : v;
    return true;
}

}  // namespace

// ---- The cell ----

TPictureCellField::TPictureCellField(TComponent* AOwner) : TCtlBaseEntryField(AOwner) {
    SetParentFont(true);
    SetParentColor(true);
    SetCtl3D(false);
    SetParentCtl3D(false);
    SetBorderStyle(bsNone);
    SetAutoSize(false);
    SetDataTypeAndKind(dtString, fkPicture);
}

TCtlBaseArrayEditor* TPictureCellField::Editor() const {
    return dynamic_cast<TCtlBaseArrayEditor*>(Parent());
}

void TPictureCellField::SetDataType(uint8_t Value) {
    if (!CellTypeSupported(Value)) throw EInvalidDataType();
    SetDataTypeAndKind(Value, fkPicture);
    SetDefaultRange();
}

void TPictureCellField::SetMask(const std::string& Mask) {
    SetPictureMask(Mask);
    FMaskEngine.Assign(PictureMask(), MaxLength());
}

int TPictureCellField::Limit() const {
    const int max = std::min<int>(MaxLength(), MaxPictureLength);
    return FSlotLimit >= 0 ? std::min(max, FSlotLimit) : max;
}

std::string TPictureCellField::ItemText(const TCtlArrayItem& Item) {
    switch (Item.Kind()) {
        case TCtlArrayItem::aiText: {
            std::string s = *Item.TextValue();
            const int limit = std::min<int>({MaxLength(), MaxPictureLength, Item.Capacity()});
            if (static_cast<int>(s.size()) > limit) s.resize(static_cast<size_t>(limit));
            return s;
        }
        case TCtlArrayItem::aiInteger:
            return std::to_string(*Item.IntegerValue());
        default:
            return DataType() == dtString ? std::string() : std::string("0");
    }
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
    TCtlBaseEntryField::CreateWnd();
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
    TCtlBaseEntryField::Dispatch(Message);
}

bool TPictureCellField::DeleteSelection() {
    if (FSelEnd <= FSelStart) return false;
    const int end = std::min<int>(FSelEnd, static_cast<int>(FEditText.size()));
    if (FSelStart < end)
        FEditText.erase(static_cast<size_t>(FSelStart), static_cast<size_t>(end - FSelStart));
    FCaretPos = FSelStart;
    FSelEnd = FSelStart;
    return true;
}

// Puts the characters in at the caret, each checked (and its case forced) by the mask character
// of the position it takes; stops at the first refused one or when the text is full. False when
// nothing went in.
bool TPictureCellField::InsertText(const std::string& Text) {
    const bool insert = InsertMode();
    bool any = false;
    for (char ch : Text) {
        const int limit = Limit();
        if (FCaretPos >= limit) break;
        if (insert && static_cast<int>(FEditText.size()) >= limit) break;
        const int pos = FCaretPos;
        const char mask = pos < static_cast<int>(FMaskEngine.Mask().size()) ? FMaskEngine.Mask()[pos] : 'X';
        const char prev = pos > 0 ? FEditText[static_cast<size_t>(pos - 1)] : ' ';
        if (!IsEditableMaskChar(mask) || !IsPictureCharValid(mask, ch, true, prev)) break;
        if (insert || pos >= static_cast<int>(FEditText.size()))
            FEditText.insert(static_cast<size_t>(pos), 1, ch);
        else
            FEditText[static_cast<size_t>(pos)] = ch;
        ++FCaretPos;
        any = true;
    }
    return any;
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

    FAcceptChar = false;
    const std::string before = FEditText;
    const int len = static_cast<int>(FEditText.size());
    bool collapse = true;
    bool refused = false;
    switch (Command) {
        case ccNoCommand:
            FAcceptChar = FTypedChar = true;
            return;
        case ccChar:
            if (FTypedChar) {
                const bool hadSelection = DeleteSelection();
                if (!InsertText(std::string(1, static_cast<char>(Msg.WParam))) && !hadSelection)
                    refused = true;
            }
            break;
        case ccBack:
            if (!DeleteSelection() && FCaretPos > 0) FEditText.erase(static_cast<size_t>(--FCaretPos), 1);
            break;
        case ccCut:
        case ccDel:
            if (!DeleteSelection() && FCaretPos < len) FEditText.erase(static_cast<size_t>(FCaretPos), 1);
            break;
        case ccDelEol:
            if (FCaretPos < len) FEditText.erase(static_cast<size_t>(FCaretPos));
            break;
        case ccDelBol:
            FEditText.erase(0, static_cast<size_t>(std::min(FCaretPos, len)));
            FCaretPos = 0;
            break;
        case ccDelLine:
            FEditText.clear();
            FCaretPos = 0;
            break;
        case ccPaste:
            if (Msg.LParam) {
                DeleteSelection();
                InsertText(reinterpret_cast<const char*>(Msg.LParam));
            }
            break;
        case ccLeft:
            FCaretPos = std::max(0, FCaretPos - 1);
            break;
        case ccRight:
            FCaretPos = std::min(FCaretPos + 1, len);
            break;
        case ccHome:
            FCaretPos = 0;
            break;
        case ccEnd:
            FCaretPos = len;
            break;
        case ccExtendLeft:
        case ccExtendRight:
        case ccExtendHome:
        case ccExtendEnd: {
            const int anchor =
                FSelEnd > FSelStart ? (FCaretPos == FSelStart ? FSelEnd : FSelStart) : FCaretPos;
            if (Command == ccExtendLeft) FCaretPos = std::max(0, FCaretPos - 1);
            if (Command == ccExtendRight) FCaretPos = std::min(FCaretPos + 1, len);
            if (Command == ccExtendHome) FCaretPos = 0;
            if (Command == ccExtendEnd) FCaretPos = len;
            FSelStart = std::min(anchor, FCaretPos);
            FSelEnd = std::max(anchor, FCaretPos);
            collapse = false;
            break;
        }
        case ccMouse:
            FCaretPos = std::min(ColumnFromX(GetXLParam(Msg.LParam)), len);
            break;
        case ccMouseMove: {
            const int anchor =
                FSelEnd > FSelStart ? (FCaretPos == FSelStart ? FSelEnd : FSelStart) : FCaretPos;
            FCaretPos = std::min(ColumnFromX(GetXLParam(Msg.LParam)), len);
            FSelStart = std::min(anchor, FCaretPos);
            FSelEnd = std::max(anchor, FCaretPos);
            collapse = false;
            break;
        }
        case ccDblClk:
            SetSelection(0, 255);
            FCaretPos = len;
            collapse = false;
            break;
        case ccRestore:
            DoRestore();
            return;
        case ccCopy:
            collapse = false;
            break;
        default:
            FAcceptChar = true;
            collapse = false;
    }
    FTypedChar = false;
    if (refused && (GetController()->EntryOptions & efoBeepOnError)) platform::MessageBeep(0);
    if (collapse) FSelStart = FSelEnd = FCaretPos;
    PositionCaret(true);
    if (FEditText != before) {
        FModified = FEditedSinceSet = true;
        DoOnChange();
    }
    Invalidate();
}

uint16_t TPictureCellField::TransferData(TCtlEntryValue& Data, int Direction) {
    const uint8_t t = DataType();
    if (t == dtString) {
        if (Direction == 1) {
            std::string s = FEditText;
            if (Options() & efoTrimBlanks) CtlTrimSpaces(s);
            const size_t size = GetDataSize();
            const size_t n = std::min(s.size(), size - 1);
            Data.Bytes.assign(size, 0);
            Data.Bytes[0] = static_cast<uint8_t>(n);
            std::memcpy(Data.Bytes.data() + 1, s.data(), n);
        } else {
            const size_t n = Data.Bytes.empty() ? 0 : std::min<size_t>(Data.Bytes[0], Data.Bytes.size() - 1);
            FEditText.assign(reinterpret_cast<const char*>(Data.Bytes.data()) + 1, n);
            if (static_cast<int>(FEditText.size()) > Limit()) FEditText.resize(static_cast<size_t>(Limit()));
        }
    } else if (Direction == 1) {
        int64_t v = 0;
        ParseInteger(FEditText, v);
        Data = CtlIntegerValue(t, static_cast<int32_t>(v));
    } else {
        FEditText = std::to_string(CtlValueAsInteger(Data));
    }
    return GetDataSize();
}

uint16_t TPictureCellField::CheckValue() {
    uint16_t code = 0;
    if (CtlIsIntegerType(DataType())) {
        int64_t v = 0;
        TCtlRangeRec probe;
        if (!ParseInteger(FEditText, v) || !CtlTextToRange(DataType(), std::to_string(v), "9", probe))
            code = epInvalidValue;
        else if (!(FRangeLo == FRangeHi) && (v < FRangeLo.AsInteger() || v > FRangeHi.AsInteger()))
            code = epRangeError;
    }
    DoOnUserValidation(code);
    return code;
}

void TPictureCellField::IncreaseValue(bool Wrap, double Delta) {
    if (!CtlIsIntegerType(DataType())) return;
    int64_t v = 0;
    ParseInteger(FEditText, v);
    int64_t n = v + static_cast<int64_t>(Delta);
    const int64_t lo = FRangeLo.AsInteger(), hi = FRangeHi.AsInteger();
    if (!(FRangeLo == FRangeHi)) {
        if (n > hi) n = Wrap ? lo : hi;
        if (n < lo) n = Wrap ? hi : lo;
    }
    FEditText = std::to_string(n);
    FModified = FEditedSinceSet = true;
    DoOnChange();
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
        std::string text = designing ? GetDesignText() : (FCell ? FCell->ItemText(item) : std::string());
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
        if (FCell->ItemText(item) != FCell->GetEditText()) LoadItem(FActiveRow);
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
    FCell->SetMask(FPictureMask);
    FCell->SetMaxLength(FMaxLength);
    FCell->SetMask(FCell->PictureMask());  // the engine takes the length the field settled on
}

void TCtlPictureArrayEditor::SetDataType(uint8_t Value) {
    if (!CellTypeSupported(Value)) throw EInvalidDataType();
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
    if (FMaxLength < FPictureMask.size()) FMaxLength = static_cast<uint16_t>(FPictureMask.size());
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
    switch (FItem.Kind()) {
        case TCtlArrayItem::aiText:
            FCell->SetSlotLimit(std::min<int>(FItem.Capacity(), FMaxLength));
            try {
                FCell->SetAsString(FCell->ItemText(FItem));
            } catch (const EEntryFieldError&) {
                FCell->SetInitialValue();  // a text the cell's type cannot take
            }
            break;
        case TCtlArrayItem::aiInteger:
            FCell->SetSlotLimit(-1);
            if (CtlIsIntegerType(FCell->DataType()))
                FCell->SetAsInteger(*FItem.IntegerValue());
            else
                FCell->SetAsString(FCell->ItemText(FItem));
            break;
        default:
            FCell->SetSlotLimit(-1);
            FCell->SetInitialValue();
    }
    FCell->SaveLoadedText();
}

uint16_t TCtlPictureArrayEditor::StoreItem() {
    if (!FCell || !FItem.Assigned()) return 0;
    TCtlEntryValue v;
    const uint16_t code = FCell->GetValue(v);
    if (code != 0) return code;
    switch (FItem.Kind()) {
        case TCtlArrayItem::aiText: {
            std::string s;
            if (v.DataType == dtString && !v.Bytes.empty())
                s.assign(reinterpret_cast<const char*>(v.Bytes.data()) + 1,
                         std::min<size_t>(v.Bytes[0], v.Bytes.size() - 1));
            else if (CtlIsIntegerType(v.DataType))
                s = std::to_string(CtlValueAsInteger(v));
            if (static_cast<int>(s.size()) > FItem.Capacity())
                s.resize(static_cast<size_t>(FItem.Capacity()));
            *FItem.TextValue() = s;
            break;
        }
        case TCtlArrayItem::aiInteger:
            if (CtlIsIntegerType(v.DataType)) *FItem.IntegerValue() = CtlValueAsInteger(v);
            break;
        default:
            break;
    }
    return 0;
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
