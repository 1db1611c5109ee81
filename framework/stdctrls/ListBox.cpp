#include "framework/stdctrls/ListBox.h"

#include <algorithm>

#include "framework/core/SysUtils.h"
#include "framework/ui/WindowsImpl.h"

namespace framework {

TCustomListBox::TCustomListBox(TComponent* AOwner)
    : TCustomControl(AOwner), FItemsView(MakeListMessageStrings(*this, ListBoxCodes)) {
    FWidth = 121;
    FHeight = 97;
    FTabStop = true;
    FColor = clWindow;
    FParentColor = false;
    ControlStyle |= csDoubleClicks;
}
TCustomListBox::~TCustomListBox() = default;

void TCustomListBox::CreateParams(TCreateParams& P) {
    TCustomControl::CreateParams(P);
    if (BorderStyle == bsSingle) P.ExStyle |= WS_EX_CLIENTEDGE;
}

int TCustomListBox::HeightOf(int Index) const {
    if (FStyle == lbOwnerDrawVariable && FList.Valid(Index))
        return FList.Items[static_cast<size_t>(Index)].Height;
    return FItemHeight;
}

TRect TCustomListBox::ItemRect(int Index) const {
    int w = ClientWidth();
    if (Index < 0 || Index > FList.Count()) return TRect{};
    int y = 0;
    if (Index >= FTopIndex) {
        for (int i = FTopIndex; i < Index; ++i) y += HeightOf(i);
    } else {
        for (int i = Index; i < FTopIndex; ++i) y -= HeightOf(i);
    }
    return Rect(0, y, w, y + HeightOf(Index));
}

int TCustomListBox::ItemAtPos(TPoint Pos, bool Existing) const {
    int y = 0;
    int i = FTopIndex;
    for (; i < FList.Count(); ++i) {
        int h = HeightOf(i);
        if (Pos.Y >= y && Pos.Y < y + h) return i;
        y += h;
    }
    return Existing ? -1 : FList.Count();
}

void TCustomListBox::Measure(int Index) {
    if (FStyle != lbOwnerDrawVariable || !FList.Valid(Index)) return;
    TMeasureItemStruct mi;
    mi.CtlType = ODT_LISTBOX;
    mi.itemID = static_cast<UINT>(Index);
    mi.itemWidth = static_cast<UINT>(ClientWidth());
    mi.itemHeight = static_cast<UINT>(FItemHeight);
    mi.itemData = FList.Items[static_cast<size_t>(Index)].Data;
    mi.hwndItem = HandleAllocated() ? Handle() : 0;
    if (mi.hwndItem && FParent && FParent->HandleAllocated())
        SendMessage(FParent->Handle(), WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&mi));
    else
        Perform(CN_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&mi));
    FList.Items[static_cast<size_t>(Index)].Height = static_cast<int>(mi.itemHeight);
}

void TCustomListBox::MeasureItem(int Index, int& Height) {
    if (OnMeasureItem) OnMeasureItem(this, Index, Height);
}

void TCustomListBox::DrawTabbed(const TRect& R, const std::string& S, int X) {
    TCanvas& c = Canvas();
    // Tab stops are in dialog units: four to an average character width.
    int avg = std::max(1, c.TextWidth("x"));
    std::vector<int> stops;
    for (int t : FTabStops) stops.push_back(t * avg / 4);
    int every = (FTabWidth > 0 ? FTabWidth : 32) * avg / 4;
    size_t start = 0;
    int x = X;
    c.TextRect(R, R.Left, R.Top, "");
    for (;;) {
        size_t tab = S.find('\t', start);
        std::string part = S.substr(start, tab == std::string::npos ? std::string::npos : tab - start);
        c.TextOut(x, R.Top, part);
        if (tab == std::string::npos) break;
        int end = x + c.TextWidth(part) - X;
        int next = -1;
        for (int st : stops)
            if (st > end) {
                next = st;
                break;
            }
        if (next < 0) next = (end / every + 1) * every;
        x = X + next;
        start = tab + 1;
    }
}

void TCustomListBox::DrawItem(int Index, const TRect& Rect, TOwnerDrawState State) {
    if (OnDrawItem) {
        OnDrawItem(this, Index, Rect, State);
        return;
    }
    TCanvas& c = Canvas();
    c.FillRect(Rect);
    if (FList.Valid(Index)) DrawTabbed(Rect, FList.Items[static_cast<size_t>(Index)].Text, Rect.Left + 2);
}

void TCustomListBox::Paint() {
    TCanvas& c = Canvas();
    TRect client = ClientRect();
    c.Brush.Color = FColor;
    c.FillRect(client);
    HDC dc = c.Handle();
    for (int i = FTopIndex; i < FList.Count(); ++i) {
        TRect r = ItemRect(i);
        if (r.Top >= client.Bottom) break;
        UINT state = 0;
        if (MultiSelect ? Selected(i) : i == FItemIndex) state |= ODS_SELECTED;
        if (i == FItemIndex && Focused()) state |= ODS_FOCUS;
        if (!FEnabled) state |= ODS_DISABLED;
        TDrawItemStruct di;
        di.CtlType = ODT_LISTBOX;
        di.itemID = static_cast<UINT>(i);
        di.itemAction = ODA_DRAWENTIRE;
        di.itemState = state;
        di.hwndItem = HandleAllocated() ? Handle() : 0;
        di.hDC = dc;
        di.rcLeft = r.Left;
        di.rcTop = r.Top;
        di.rcRight = r.Right;
        di.rcBottom = r.Bottom;
        di.itemData = FList.Items[static_cast<size_t>(i)].Data;
        if (FStyle != lbStandard && di.hwndItem && FParent && FParent->HandleAllocated())
            SendMessage(FParent->Handle(), WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&di));
        else
            Perform(CN_DRAWITEM, 0, reinterpret_cast<LPARAM>(&di));
        c.SetHandle(dc);
    }
}

void TCustomListBox::Notify(UINT Code) {
    NotifyParent(*this, Code);
}

void TCustomListBox::SetItemIndex(int Value) {
    if (Value < -1 || Value >= FList.Count()) Value = -1;
    if (Value == FItemIndex) return;
    FItemIndex = Value;
    if (MultiSelect) {
        std::fill(FSelected.begin(), FSelected.end(), false);
        if (Value >= 0) FSelected[static_cast<size_t>(Value)] = true;
    }
    MakeVisible(Value);
    Invalidate();
}

void TCustomListBox::SetStyle(TListBoxStyle Value) {
    FStyle = Value;
    for (int i = 0; i < FList.Count(); ++i) Measure(i);
    Invalidate();
}

void TCustomListBox::SetItemHeight(int Value) {
    if (Value > 0) FItemHeight = Value;
    Invalidate();
}

void TCustomListBox::SetSorted(bool Value) {
    if (FList.Sorted == Value) return;
    FList.Sorted = Value;
    if (Value) {
        std::stable_sort(FList.Items.begin(), FList.Items.end(),
                         [](const auto& a, const auto& b) { return AnsiCompareText(a.Text, b.Text) < 0; });
        FItemIndex = -1;
        Invalidate();
    }
}

bool TCustomListBox::Selected(int Index) const {
    if (!FList.Valid(Index)) throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
    return MultiSelect ? static_cast<bool>(FSelected[static_cast<size_t>(Index)]) : Index == FItemIndex;
}

void TCustomListBox::SetSelected(int Index, bool Value) {
    if (!FList.Valid(Index)) throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
    if (MultiSelect)
        FSelected[static_cast<size_t>(Index)] = Value;
    else if (Value)
        SetItemIndex(Index);
    else if (Index == FItemIndex)
        SetItemIndex(-1);
    Invalidate();
}

int TCustomListBox::SelCount() const {
    if (!MultiSelect) return -1;
    return static_cast<int>(std::count(FSelected.begin(), FSelected.end(), true));
}

void TCustomListBox::SetTopIndex(int Value) {
    FTopIndex = std::clamp(Value, 0, std::max(0, FList.Count() - 1));
    Invalidate();
}

void TCustomListBox::SetTabWidth(int Value) {
    FTabWidth = std::max(0, Value);
    FTabStops.clear();
    if (FTabWidth > 0) FTabStops.push_back(FTabWidth);
    Invalidate();
}

void TCustomListBox::Clear() {
    Perform(LB_RESETCONTENT, 0, 0);
}

void TCustomListBox::MakeVisible(int Index) {
    if (!FList.Valid(Index)) return;
    if (Index < FTopIndex) {
        FTopIndex = Index;
        return;
    }
    int h = ClientHeight();
    while (FTopIndex < Index && ItemRect(Index).Bottom > h) ++FTopIndex;
}

void TCustomListBox::KeyDown(uint16_t& Key, TShiftState Shift) {
    TCustomControl::KeyDown(Key, Shift);
    int n = FList.Count();
    if (Key == 0 || n == 0) return;
    int page = std::max(1, ClientHeight() / std::max(1, FItemHeight) - 1);
    int to = FItemIndex;
    switch (Key) {
        case VK_UP:
            to = std::max(0, FItemIndex - 1);
            break;
        case VK_DOWN:
            to = std::min(n - 1, FItemIndex + 1);
            break;
        case VK_HOME:
            to = 0;
            break;
        case VK_END:
            to = n - 1;
            break;
        case VK_PRIOR:
            to = std::max(0, FItemIndex - page);
            break;
        case VK_NEXT:
            to = std::min(n - 1, FItemIndex + page);
            break;
        default:
            return;
    }
    if (to != FItemIndex) {
        SetItemIndex(to);
        Notify(LBN_SELCHANGE);
    }
}

void TCustomListBox::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (Button == TMouseButton::mbLeft) {
        if (CanFocus() && !Focused()) SetFocus();
        int i = ItemAtPos(Point(X, Y), true);
        if (i >= 0) {
            if (MultiSelect && (Shift & ssCtrl)) {
                FSelected[static_cast<size_t>(i)] = !FSelected[static_cast<size_t>(i)];
                FItemIndex = i;
                Invalidate();
                Notify(LBN_SELCHANGE);
            } else if (i != FItemIndex || MultiSelect) {
                SetItemIndex(i);
                Notify(LBN_SELCHANGE);
            }
        }
    }
    TCustomControl::MouseDown(Button, Shift, X, Y);
}

void TCustomListBox::ItemInserted(int Index) {
    FSelected.insert(FSelected.begin() + Index, false);
    Measure(Index);
    Invalidate();
}

void TCustomListBox::ItemDeleted(int Index) {
    FSelected.erase(FSelected.begin() + Index);
    if (FTopIndex >= FList.Count()) FTopIndex = std::max(0, FList.Count() - 1);
    Invalidate();
}

void TCustomListBox::ItemsCleared() {
    FSelected.clear();
    FTopIndex = 0;
    Invalidate();
}

void TCustomListBox::Dispatch(TMessage& M) {
    if (DispatchItemMessage(FList, FItemIndex, FItemHeight, ListBoxCodes, *this, M)) return;
    switch (M.Msg) {
        case LB_SETSEL: {
            auto i = M.LParam;
            if (!MultiSelect) {
                M.Result = LB_ERR;
                return;
            }
            if (i == -1)
                std::fill(FSelected.begin(), FSelected.end(), M.WParam != 0);
            else if (FList.Valid(i))
                FSelected[static_cast<size_t>(i)] = M.WParam != 0;
            Invalidate();
            return;
        }
        case LB_GETSEL:
            M.Result = FList.Valid(static_cast<intptr_t>(M.WParam))
                           ? (Selected(static_cast<int>(M.WParam)) ? 1 : 0)
                           : LB_ERR;
            return;
        case LB_GETSELCOUNT:
            M.Result = MultiSelect ? SelCount() : LB_ERR;
            return;
        case LB_GETTOPINDEX:
            M.Result = FTopIndex;
            return;
        case LB_SETTOPINDEX:
            if (!FList.Valid(static_cast<intptr_t>(M.WParam))) {
                M.Result = LB_ERR;
                return;
            }
            SetTopIndex(static_cast<int>(M.WParam));
            return;
        case LB_GETITEMRECT: {
            auto i = static_cast<intptr_t>(M.WParam);
            if (!FList.Valid(i) && !(i == 0 && FList.Count() == 0)) {
                M.Result = LB_ERR;
                return;
            }
            *reinterpret_cast<TRect*>(M.LParam) = ItemRect(static_cast<int>(i));
            M.Result = 1;
            return;
        }
        case LB_SETITEMHEIGHT:
            if (FStyle == lbOwnerDrawVariable && FList.Valid(static_cast<intptr_t>(M.WParam)))
                FList.Items[M.WParam].Height = static_cast<int>(M.LParam & 0xFFFF);
            else
                FItemHeight = static_cast<int>(M.LParam & 0xFFFF);
            Invalidate();
            return;
        case LB_GETITEMHEIGHT:
            M.Result = HeightOf(static_cast<int>(M.WParam));
            return;
        case LB_SETTABSTOPS: {
            FTabStops.clear();
            auto* stops = reinterpret_cast<const int32_t*>(M.LParam);
            for (WPARAM i = 0; stops && i < M.WParam; ++i) FTabStops.push_back(stops[i]);
            Invalidate();
            M.Result = 1;
            return;
        }
        case LB_SETHORIZONTALEXTENT:
            FHorizontalExtent = static_cast<int>(M.WParam);
            ShowScrollBar(Handle(), SB_HORZ, FHorizontalExtent > ClientWidth());
            return;
        case LB_GETHORIZONTALEXTENT:
            M.Result = FHorizontalExtent;
            return;
        case LB_ITEMFROMPOINT: {
            int i = ItemAtPos(Point(GetXLParam(M.LParam), GetYLParam(M.LParam)), true);
            M.Result = i < 0 ? MakeLParam(std::max(0, FList.Count() - 1), 1) : i;
            return;
        }
        case LB_SETCARETINDEX:
            SetItemIndex(static_cast<int>(M.WParam));
            return;
        case LB_GETCARETINDEX:
            M.Result = FItemIndex;
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
            if (static_cast<int>(di->itemID) >= 0 && static_cast<int>(di->itemID) < FList.Count())
                DrawItem(static_cast<int>(di->itemID), r, state);
            else
                c.FillRect(r);
            if (state & odFocused) {
                c.Pen.Color = clBlack;
                c.Brush.Style = bsClear;
                c.FrameRect(r);
                c.Brush.Style = bsSolid;
            }
            M.Result = 1;
            return;
        }
        case CN_MEASUREITEM: {
            auto* mi = reinterpret_cast<TMeasureItemStruct*>(M.LParam);
            int h = FItemHeight;
            MeasureItem(static_cast<int>(mi->itemID), h);
            mi->itemHeight = static_cast<UINT>(std::max(0, h));
            M.Result = 1;
            return;
        }
        case CN_COMMAND:
            switch (M.WParamHi()) {
                case LBN_SELCHANGE:
                    Click();
                    break;
                default:
                    break;
            }
            return;
        case WM_GETDLGCODE:
            M.Result = DLGC_WANTARROWS | DLGC_WANTCHARS;
            return;
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            Invalidate();
            break;
        default:
            break;
    }
    TCustomControl::Dispatch(M);
}

}  // namespace framework
