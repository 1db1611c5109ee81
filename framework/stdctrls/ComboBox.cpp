#include "framework/stdctrls/ComboBox.h"

#include <algorithm>
#include <cctype>

#include "framework/core/SysUtils.h"
#include "framework/ui/WindowsImpl.h"
#include "platform/Paths.h"

namespace framework {

// ---------------------------------------------------------------------------------------------
// TCustomComboBox

namespace {
constexpr int kButtonWidth = 17;           // the drop-down button at the right of the edit field
constexpr int kListBorder = 1;             // the frame of the dropped-down list
TCustomComboBox* gDroppedCombo = nullptr;  // the combo box whose list is down
}  // namespace

// The dropped-down list: a top-level window without frame below the combo box that draws the
// rows through the combo box's own draw-item path and turns clicks and moves into choices.
class TComboListWindow : public TCustomControl {
public:
    explicit TComboListWindow(TCustomComboBox& Combo) : TCustomControl(nullptr), FCombo(Combo) {
        ControlStyle |= csOpaque;
    }
    // The row at a client point, -1 for none.
    int RowAt(int X, int Y) const {
        if (X < 0 || X >= FWidth) return -1;
        int y = kListBorder;
        for (int i = FCombo.FListTop; i < FCombo.FList.Count(); ++i) {
            int h = FCombo.DropDownItemRect(i).Height();
            if (Y >= y && Y < y + h) return i;
            y += h;
            if (y >= FHeight) break;
        }
        return -1;
    }
    TRect RowRect(int Index) const {
        int y = kListBorder;
        for (int i = FCombo.FListTop; i < Index && i < FCombo.FList.Count(); ++i)
            y += FCombo.DropDownItemRect(i).Height();
        return Rect(kListBorder, y, FWidth - kListBorder, y + FCombo.DropDownItemRect(Index).Height());
    }

protected:
    void CreateParams(TCreateParams& P) override {
        TCustomControl::CreateParams(P);
        P.Style = WS_POPUP;
        P.ExStyle = WS_EX_NOACTIVATE | WS_EX_TOPMOST;
    }
    void Paint() override {
        TCanvas& c = Canvas();
        c.Pen.Color = clWindowFrame;
        c.Brush.Color = FCombo.Color();
        c.Rectangle(0, 0, FWidth, FHeight);
        int hot = FCombo.FListHot >= 0 ? FCombo.FListHot : FCombo.FItemIndex;
        for (int i = FCombo.FListTop; i < FCombo.FList.Count(); ++i) {
            TRect r = RowRect(i);
            if (r.Top >= FHeight - kListBorder) break;
            FCombo.DrawItemOn(c.Handle(), i, r, i == hot ? ODS_SELECTED | ODS_FOCUS : 0);
        }
    }
    void MouseMove(TShiftState, int X, int Y) override {
        int i = RowAt(X, Y);
        if (i >= 0 && i != FCombo.FListHot) {
            FCombo.FListHot = i;
            Invalidate();
        }
    }
    void MouseUp(TMouseButton Button, TShiftState, int X, int Y) override {
        if (Button != TMouseButton::mbLeft) return;
        int i = RowAt(X, Y);
        if (i >= 0) FCombo.ListChoose(i);
    }

private:
    TCustomComboBox& FCombo;
};

TCustomComboBox::TCustomComboBox(TComponent* AOwner)
    : TCustomEdit(AOwner), FItemsView(MakeListMessageStrings(*this, ComboBoxCodes)) {
    FWidth = 145;
    FHeight = 21;
    AutoSelect = true;
    FCursor = crDefault;
}
TCustomComboBox::~TCustomComboBox() {
    if (gDroppedCombo == this) gDroppedCombo = nullptr;
}

void TCustomComboBox::Notify(UINT Code) {
    NotifyParent(*this, Code);
}

void TCustomComboBox::Measure(int Index) {
    if (FStyle != csOwnerDrawVariable || !FList.Valid(Index)) return;
    TMeasureItemStruct mi;
    mi.CtlType = ODT_COMBOBOX;
    mi.itemID = static_cast<UINT>(Index);
    mi.itemHeight = static_cast<UINT>(FItemHeight);
    mi.itemData = FList.Items[static_cast<size_t>(Index)].Data;
    mi.hwndItem = HandleAllocated() ? Handle() : 0;
    if (mi.hwndItem && FParent && FParent->HandleAllocated())
        SendMessage(FParent->Handle(), WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&mi));
    else
        Perform(CN_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&mi));
    FList.Items[static_cast<size_t>(Index)].Height = static_cast<int>(mi.itemHeight);
}

void TCustomComboBox::SetItemIndex(int Value) {
    if (!FList.Valid(Value)) Value = -1;
    FItemIndex = Value;
    // The edit field shows the selected item; no change notice goes out for it.
    TWinControl::SetText(Value >= 0 ? FList.Items[static_cast<size_t>(Value)].Text : "");
    FAnchor = 0;
    FCaret = static_cast<int>(FText.size());
    Invalidate();
}

void TCustomComboBox::SetText(const std::string& Value) {
    if (EditableText()) {
        TCustomEdit::SetText(Value);
        return;
    }
    SetItemIndex(Value.empty() ? -1 : FList.Find(Value, -1, true));
}

void TCustomComboBox::Select(int Index, bool User) {
    if (!FList.Valid(Index) || Index == FItemIndex) return;
    SetItemIndex(Index);
    if (User) Notify(CBN_SELCHANGE);
}

void TCustomComboBox::SetStyle(TComboBoxStyle Value) {
    FStyle = Value;
    if (!EditableText()) FCursor = crDefault;
    for (int i = 0; i < FList.Count(); ++i) Measure(i);
    Invalidate();
}

void TCustomComboBox::SetItemHeight(int Value) {
    if (Value > 0) FItemHeight = Value;
    Invalidate();
}

void TCustomComboBox::SetSorted(bool Value) {
    if (FList.Sorted == Value) return;
    FList.Sorted = Value;
    if (Value)
        std::stable_sort(FList.Items.begin(), FList.Items.end(),
                         [](const auto& a, const auto& b) { return AnsiCompareText(a.Text, b.Text) < 0; });
}

void TCustomComboBox::SetDroppedDown(bool Value) {
    if (FDropped == Value || (Value && FStyle == csSimple)) return;
    FDropped = Value;
    Invalidate();
    if (Value) {
        // The owner hears of the drop first (it may fill the list), then the list shows.
        Notify(CBN_DROPDOWN);
        if (FDropped) ShowList();
    } else {
        if (gDroppedCombo == this) gDroppedCombo = nullptr;
        HideList();
        Notify(CBN_CLOSEUP);
    }
}

namespace {
// A press anywhere but on the combo box whose list is down, or on its list, closes the list and
// is eaten.
struct TComboMouseInstaller {
    TComboMouseInstaller() {
        AddMouseDownFilter([](HWND Wnd, int, int) {
            TCustomComboBox* c = gDroppedCombo;
            if (!c || !c->DroppedDown()) return false;
            if ((c->HandleAllocated() && Wnd == c->Handle()) ||
                (c->ListWindow() && c->ListWindow()->HandleAllocated() && Wnd == c->ListWindow()->Handle()))
                return false;
            c->Perform(CB_SHOWDROPDOWN, 0, 0);
            return true;
        });
    }
} gComboMouseInstaller;
}  // namespace

int TCustomComboBox::ListRows() const {
    return std::max(1, std::min(DropDownCount, FList.Count()));
}

void TCustomComboBox::ShowList() {
    if (!FListWindow) FListWindow = std::make_unique<TComboListWindow>(*this);
    FListTop = 0;
    FListHot = -1;
    ListMakeVisible(FItemIndex);
    int h = 0;
    for (int i = FListTop; i < FListTop + ListRows(); ++i) h += DropDownItemRect(i).Height();
    TPoint at = ClientToScreen(Point(0, FHeight));
    FListWindow->SetBounds(at.X, at.Y, FWidth, std::max(h, FItemHeight) + 2 * kListBorder);
    FListWindow->HandleNeeded();
    ShowWindowRecord(FListWindow->Handle(), true);
    RaiseWindowRecord(FListWindow->Handle());
    FListWindow->Invalidate();
    gDroppedCombo = this;
}

void TCustomComboBox::HideList() {
    FListHot = -1;
    if (FListWindow && FListWindow->HandleAllocated()) ShowWindowRecord(FListWindow->Handle(), false);
}

void TCustomComboBox::SetListTop(int Value) {
    Value = std::max(0, std::min(Value, FList.Count() - ListRows()));
    if (Value == FListTop) return;
    FListTop = Value;
    if (FListWindow) FListWindow->Invalidate();
}

void TCustomComboBox::ListMakeVisible(int Index) {
    if (!FList.Valid(Index)) return;
    if (Index < FListTop)
        SetListTop(Index);
    else if (Index >= FListTop + ListRows())
        SetListTop(Index - ListRows() + 1);
}

void TCustomComboBox::ListChoose(int Index) {
    // A click: the selection changes (CBN_SELCHANGE when it is new), is confirmed
    // (CBN_SELENDOK) and the list closes (CBN_CLOSEUP).
    Select(Index, true);
    Notify(CBN_SELENDOK);
    SetDroppedDown(false);
}

bool TCustomComboBox::DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos) {
    if (TCustomEdit::DoMouseWheel(Shift, WheelDelta, MousePos)) return true;
    int steps = WheelDelta / 120;
    if (steps == 0) return false;
    if (FDropped) {
        SetListTop(FListTop - 3 * steps);  // three rows a notch, as lists scroll
    } else if (FList.Count() > 0) {
        Select(std::max(0, std::min(FList.Count() - 1, FItemIndex - steps)), true);
    }
    return true;
}

void TCustomComboBox::DrawItemOn(HDC Dc, int Index, const TRect& R, UINT State) {
    TDrawItemStruct di;
    di.CtlType = ODT_COMBOBOX;
    di.itemID = static_cast<UINT>(Index);
    di.itemAction = ODA_DRAWENTIRE;
    di.itemState = State;
    di.hwndItem = HandleAllocated() ? Handle() : 0;
    di.hDC = Dc;
    di.rcLeft = R.Left;
    di.rcTop = R.Top;
    di.rcRight = R.Right;
    di.rcBottom = R.Bottom;
    di.itemData = FList.Valid(Index) ? FList.Items[static_cast<size_t>(Index)].Data : 0;
    TCanvas& c = Canvas();
    HDC own = c.Handle();
    if (OwnerDraw() && di.hwndItem && FParent && FParent->HandleAllocated())
        SendMessage(FParent->Handle(), WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&di));
    else
        Perform(CN_DRAWITEM, 0, reinterpret_cast<LPARAM>(&di));
    c.SetHandle(own);
}

void TCustomComboBox::Clear() {
    Perform(CB_RESETCONTENT, 0, 0);
}

TRect TCustomComboBox::DropDownItemRect(int Index) const {
    int y = FHeight;
    for (int i = 0; i < Index && i < FList.Count(); ++i)
        y += FStyle == csOwnerDrawVariable ? FList.Items[static_cast<size_t>(i)].Height : FItemHeight;
    int h = FStyle == csOwnerDrawVariable && FList.Valid(Index)
                ? FList.Items[static_cast<size_t>(Index)].Height
                : FItemHeight;
    return Rect(0, y, FWidth, y + h);
}

void TCustomComboBox::Change() {
    if (OnChange) OnChange(this);
}

void TCustomComboBox::DrawItem(int Index, const TRect& Rect, TOwnerDrawState State) {
    if (OnDrawItem) {
        OnDrawItem(this, Index, Rect, State);
        return;
    }
    TCanvas& c = Canvas();
    c.FillRect(Rect);
    if (FList.Valid(Index)) c.TextOut(Rect.Left + 2, Rect.Top, FList.Items[static_cast<size_t>(Index)].Text);
}

void TCustomComboBox::Paint() {
    TCanvas& c = Canvas();
    TRect client = ClientRect();
    TRect edit = Rect(client.Left, client.Top, client.Right - kButtonWidth, client.Bottom);
    if (EditableText() && (!OwnerDraw() || FOwnerDrawEdit)) {
        TCustomEdit::Paint();
    } else {
        c.Brush.Color = FEnabled ? FColor : clBtnFace;
        c.FillRect(client);
        c.Font.Assign(FFont);
        UINT state = ODS_COMBOBOXEDIT;
        if (Focused()) state |= ODS_SELECTED | ODS_FOCUS;
        if (!FEnabled) state |= ODS_DISABLED;
        DrawItemOn(c.Handle(), FItemIndex, Rect(edit.Left + 1, edit.Top + 1, edit.Right - 1, edit.Bottom - 1),
                   state);
    }
    // The drop-down button.
    TRect b = Rect(client.Right - kButtonWidth, client.Top, client.Right, client.Bottom);
    c.Brush.Color = clBtnFace;
    c.FillRect(b);
    c.Pen.Color = clBtnShadow;
    c.MoveTo(b.Left, b.Top);
    c.LineTo(b.Left, b.Bottom);
    c.Pen.Color = FEnabled ? clBtnText : clGrayText;
    int cx = (b.Left + b.Right) / 2, cy = (b.Top + b.Bottom) / 2 - 1;
    for (int d = 0; d < 4; ++d) {
        c.MoveTo(cx - 3 + d, cy + d);
        c.LineTo(cx + 4 - d, cy + d);
    }
}

void TCustomComboBox::KeyDown(uint16_t& Key, TShiftState Shift) {
    bool alt = (Shift & ssAlt) != 0;
    if ((Key == VK_DOWN && alt) || (Key == VK_UP && alt) || Key == VK_F4) {
        TCustomControl::KeyDown(Key, Shift);
        if (Key) SetDroppedDown(!FDropped);
        return;
    }
    if (FDropped && (Key == VK_RETURN || Key == VK_ESCAPE)) {
        TCustomControl::KeyDown(Key, Shift);
        if (!Key) return;
        Notify(Key == VK_RETURN ? CBN_SELENDOK : CBN_SELENDCANCEL);
        SetDroppedDown(false);
        return;
    }
    int n = FList.Count();
    int to = -2;
    switch (Key) {
        case VK_UP:
            to = std::max(0, FItemIndex - 1);
            break;
        case VK_DOWN:
            to = std::min(n - 1, FItemIndex + 1);
            break;
        case VK_PRIOR:
            to = std::max(0, FItemIndex - DropDownCount + 1);
            break;
        case VK_NEXT:
            to = std::min(n - 1, FItemIndex + DropDownCount - 1);
            break;
        case VK_HOME:
        case VK_END:
            if (!EditableText()) to = Key == VK_HOME ? 0 : n - 1;
            break;
        default:
            break;
    }
    if (to == -2) {
        if (EditableText())
            TCustomEdit::KeyDown(Key, Shift);
        else
            TCustomControl::KeyDown(Key, Shift);
        return;
    }
    TCustomControl::KeyDown(Key, Shift);
    if (Key == 0 || n == 0) return;
    if (FDropped && FListHot >= 0) {
        // The keys move on from the row the pointer highlighted.
        int from = FListHot;
        FListHot = -1;
        if (Key == VK_UP) to = std::max(0, from - 1);
        if (Key == VK_DOWN) to = std::min(n - 1, from + 1);
    }
    Select(to, true);
    if (FDropped) {
        ListMakeVisible(FItemIndex);
        if (FListWindow) FListWindow->Invalidate();
    }
}

void TCustomComboBox::KeyPress(char& Key) {
    if (EditableText()) {
        TCustomEdit::KeyPress(Key);
        return;
    }
    TCustomControl::KeyPress(Key);
    if (static_cast<unsigned char>(Key) < 32) return;
    // A list without an edit field selects the next item starting with the character typed.
    int i = FList.Find(std::string(1, Key), FItemIndex, false);
    if (i >= 0) Select(i, true);
}

void TCustomComboBox::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (Button == TMouseButton::mbLeft && FStyle != csSimple) {
        if (CanFocus() && !Focused()) SetFocus();
        if (!EditableText() || X >= ClientWidth() - kButtonWidth) {
            SetDroppedDown(!FDropped);
            TCustomControl::MouseDown(Button, Shift, X, Y);
            return;
        }
    }
    TCustomEdit::MouseDown(Button, Shift, X, Y);
}

void TCustomComboBox::ItemInserted(int Index) {
    Measure(Index);
}

void TCustomComboBox::ItemDeleted(int) {}

void TCustomComboBox::ItemsCleared() {
    if (!EditableText()) TWinControl::SetText("");
    Invalidate();
}

void TCustomComboBox::Dispatch(TMessage& M) {
    if (DispatchItemMessage(FList, FItemIndex, FItemHeight, ComboBoxCodes, *this, M)) return;
    switch (M.Msg) {
        case CB_DIR:
            // The drives of the drive map, each as "[-c-]"; the index of the last item added.
            M.Result = CB_ERR;
            if (M.WParam & DDL_DRIVES)
                for (const auto& d : platform::GetDriveMap()) {
                    std::string item = std::string("[-") +
                                       static_cast<char>(std::tolower(static_cast<unsigned char>(d.Letter))) +
                                       "-]";
                    M.Result = Perform(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
                }
            return;
        case CB_SHOWDROPDOWN:
            SetDroppedDown(M.WParam != 0);
            M.Result = 1;
            return;
        case CB_GETDROPPEDSTATE:
            M.Result = FDropped ? 1 : 0;
            return;
        case CB_SETITEMHEIGHT: {
            auto i = static_cast<intptr_t>(M.WParam);
            int h = static_cast<int>(M.LParam & 0xFFFF);
            if (i == -1)
                SetHeight(h + 6);  // the edit field: the control grows around it
            else if (FStyle == csOwnerDrawVariable && FList.Valid(i))
                FList.Items[static_cast<size_t>(i)].Height = h;
            else
                FItemHeight = h;
            return;
        }
        case CB_GETITEMHEIGHT: {
            auto i = static_cast<intptr_t>(M.WParam);
            if (i == -1)
                M.Result = FHeight - 6;
            else
                M.Result = FStyle == csOwnerDrawVariable && FList.Valid(i)
                               ? FList.Items[static_cast<size_t>(i)].Height
                               : FItemHeight;
            return;
        }
        case CB_LIMITTEXT:
            FMaxLength = static_cast<int>(M.WParam);
            M.Result = 1;
            return;
        case CB_GETEDITSEL:
            M.Result = MakeLParam(SelStart(), SelStart() + SelLength());
            return;
        case CB_SETEDITSEL:
            SetSelection(GetXLParam(M.LParam),
                         GetYLParam(M.LParam) < 0 ? static_cast<int>(FText.size()) : GetYLParam(M.LParam));
            M.Result = 1;
            return;
        case CB_SETEXTENDEDUI:
            FExtendedUI = M.WParam != 0;
            return;
        case CB_GETDROPPEDCONTROLRECT: {
            TPoint o = ClientToScreen(Point(0, 0));
            int h = 0;
            for (int i = 0; i < std::min(DropDownCount, FList.Count()); ++i)
                h += DropDownItemRect(i).Height();
            *reinterpret_cast<TRect*>(M.LParam) =
                Bounds(o.X, o.Y, FWidth, FHeight + std::max(h, FItemHeight) + 2);
            M.Result = 1;
            return;
        }
        case CB_SETDROPPEDWIDTH:
            return;
        case CN_COMMAND:
            switch (M.WParamHi()) {
                case CBN_SELCHANGE:
                    Click();
                    Change();
                    break;
                case CBN_DROPDOWN:
                    if (OnDropDown) OnDropDown(this);
                    break;
                case CBN_CLOSEUP:
                    if (OnCloseUp) OnCloseUp(this);
                    break;
                default:
                    break;
            }
            return;
        case CN_DRAWITEM: {
            auto* di = reinterpret_cast<TDrawItemStruct*>(M.LParam);
            TCanvas& c = Canvas();
            c.SetHandle(di->hDC);
            c.Font.Assign(FFont);
            c.Brush.Color = FColor;
            TOwnerDrawState state = static_cast<TOwnerDrawState>(di->itemState & 0xFFFF);
            if (state & odSelected) {
                c.Brush.Color = clHighlight;
                c.Font.Color = clHighlightText;
            }
            TRect r = Rect(di->rcLeft, di->rcTop, di->rcRight, di->rcBottom);
            if (FList.Valid(static_cast<int>(di->itemID)))
                DrawItem(static_cast<int>(di->itemID), r, state);
            else
                c.FillRect(r);
            M.Result = 1;
            return;
        }
        case CN_MEASUREITEM: {
            auto* mi = reinterpret_cast<TMeasureItemStruct*>(M.LParam);
            int h = FItemHeight;
            if (OnMeasureItem) OnMeasureItem(this, static_cast<int>(mi->itemID), h);
            mi->itemHeight = static_cast<UINT>(std::max(0, h));
            M.Result = 1;
            return;
        }
        case WM_GETDLGCODE:
            // While the list is down, Enter and Escape close it instead of reaching the form.
            M.Result = DLGC_WANTARROWS | DLGC_WANTCHARS | (FDropped ? DLGC_WANTALLKEYS : 0);
            return;
        case WM_KILLFOCUS:
            if (FDropped) SetDroppedDown(false);
            break;
        default:
            break;
    }
    TCustomEdit::Dispatch(M);
}

}  // namespace framework
