#include "controls/grid/CtlComboBox.h"

#include <algorithm>

#include "controls/entry/CtlController.h"
#include "framework/core/SysUtils.h"
#include "framework/graphics/Gdi.h"
#include "framework/ui/Forms.h"
#include "framework/ui/Windows.h"
#include "platform/Beep.h"

namespace grid {

using namespace framework;

namespace {

// The key the automatic search passes through KeyDown: the Return search without click or beep.
constexpr uint16_t kSearchKey = 9999;
// The width of the drop-down button area that the hot-track look draws.
constexpr int kButtonArea = 15;

// Keys that do not start the automatic search: mouse buttons, Backspace, Tab, Clear, Return,
// Shift, Control, Alt, Pause, Caps Lock, Escape, the page, cursor, select, print, execute,
// snapshot, insert, delete and help keys, F1 to F24, Num Lock and Scroll Lock.
bool StartsSearch(uint16_t Key) {
    return !((Key >= 1 && Key <= 4) || Key == VK_BACK || Key == VK_TAB || Key == 12 || Key == VK_RETURN ||
             (Key >= 16 && Key <= 20) || Key == VK_ESCAPE || (Key >= 33 && Key <= 47) ||
             (Key >= 112 && Key <= 135) || Key == 144 || Key == 145);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TCtlMRUList

int TCtlMRUList::IndexOf(const std::string& S) const {
    for (size_t i = 0; i < FItems.size(); ++i)
        if (AnsiCompareText(FItems[i].Text, S) == 0) return static_cast<int>(i);
    return -1;
}

void TCtlMRUList::Add(const std::string& S, uintptr_t Data) {
    const int i = IndexOf(S);
    if (i >= 0) FItems.erase(FItems.begin() + i);
    FItems.insert(FItems.begin(), TEntry{S, Data});
    Shrink();
}

void TCtlMRUList::Shrink() {
    while (Count() > std::max(FMaxItems, 0)) FItems.pop_back();
}

void TCtlMRUList::SetMaxItems(int N) {
    FMaxItems = N;
    Shrink();
}

void TCtlHTColors::Assign(TPersistent* Source) {
    if (auto* s = dynamic_cast<TCtlHTColors*>(Source)) {
        Highlight = s->Highlight;
        Shadow = s->Shadow;
        return;
    }
    TPersistent::Assign(Source);
}

// ---------------------------------------------------------------------------------------------
// TCtlBaseComboBox

TCtlBaseComboBox::TCtlBaseComboBox(TComponent* AOwner)
    : TCustomComboBox(AOwner), FBorders(std::make_unique<entry::TCtlBorders>()), FLabel(this) {
    for (entry::TCtlBorder* b : {&FBorders->LeftBorder(), &FBorders->RightBorder(), &FBorders->TopBorder(),
                                 &FBorders->BottomBorder()})
        b->OnChange = [this](TObject*) { BordersChanged(); };
    FOwnerDrawEdit = true;
    TCustomComboBox::SetStyle(csOwnerDrawVariable);
    SetColor(clWindow);
    DropDownCount = 8;
    AdjustItemHeight();
}

TCtlBaseComboBox::~TCtlBaseComboBox() {
    FLabel.ControlDestroying();
    StopSearchTimer();
}

std::string TCtlBaseComboBox::ItemText(int Index) {
    return Items().Strings(Index);
}

uintptr_t TCtlBaseComboBox::ItemData(int Index) {
    return static_cast<uintptr_t>(Perform(CB_GETITEMDATA, static_cast<WPARAM>(Index), 0));
}

void TCtlBaseComboBox::SetHotTrack(bool Value) {
    if (Value == FHotTrack) return;
    FHotTrack = Value;
    Invalidate();
}

void TCtlBaseComboBox::SetHotTrackBorder(bool Value) {
    FHotTrackBorder = Value;
    if (!Value) return;
    for (entry::TCtlBorder* b : {&FBorders->LeftBorder(), &FBorders->RightBorder(), &FBorders->TopBorder(),
                                 &FBorders->BottomBorder()})
        b->SetEnabled(false);
    FHotTrackBorder = true;
}

void TCtlBaseComboBox::BordersChanged() {
    const bool any = FBorders->LeftBorder().Enabled() || FBorders->RightBorder().Enabled() ||
                     FBorders->TopBorder().Enabled() || FBorders->BottomBorder().Enabled();
    FHotTrackBorder = false;
    FHotTrack = any;
    SetCtl3D(!any);
    if (HandleAllocated()) RecreateWnd();
    Invalidate();
}

void TCtlBaseComboBox::SetItemHeight(int Value) {
    if (Value == ItemHeight()) return;
    TCustomComboBox::SetItemHeight(Value);
    for (int i = 0; i < FList.Count(); ++i) Measure(i);
    // The last MRU entry keeps its room for the separator.
    if (FMRUList.Count() > 0)
        Perform(CB_SETITEMHEIGHT, static_cast<WPARAM>(FMRUList.Count() - 1), ItemHeight() + 3);
}

void TCtlBaseComboBox::SetKeyDelay(int Value) {
    if (Value >= 0) FKeyDelay = Value;
}

void TCtlBaseComboBox::SetStyle(TCtlComboStyle Value) {
    if (Value == FCtlStyle) return;
    FCtlStyle = Value;
    FOwnerDrawEdit = Value == ocsDropDown;
    if (HandleAllocated()) RecreateWnd();
    Invalidate();
}

void TCtlBaseComboBox::SetMRUListCount(int Value) {
    if (!(ComponentState() & (csLoading | csDesigning))) ClearMRU();
    FMRUList.SetMaxItems(Value);
}

void TCtlBaseComboBox::AdjustItemHeight() {
    TBitmap screen;
    screen.SetSize(1, 1);
    screen.Canvas().Font.Assign(Font());
    TTextMetric tm;
    GetTextMetrics(screen.Canvas().Handle(), tm);
    SetItemHeight(tm.tmHeight - 1);
}

void TCtlBaseComboBox::Loaded() {
    TCustomComboBox::Loaded();
    AdjustItemHeight();
}

void TCtlBaseComboBox::ClearMRU() {
    const int n = FMRUList.Count();
    for (int i = 1; i <= n; ++i)
        if (Items().Count() >= i) Items().Delete(0);
    FMRUList.Clear();
}

void TCtlBaseComboBox::ClearItems() {
    ClearMRU();
    Clear();
}

void TCtlBaseComboBox::AddToMRU(int Index) {
    if (Index < 0 || Index >= Items().Count()) return;
    const int n = FMRUList.Count();
    const std::string text = ItemText(Index);
    const uintptr_t data = ItemData(Index);
    FMRUList.Add(text, data);
    if (FMRUList.Count() > n) {
        Perform(CB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
        Perform(CB_SETITEMDATA, 0, static_cast<LPARAM>(data));
    }
}

void TCtlBaseComboBox::UpdateMRUItems() {
    const std::string text = Text();
    const int n = FMRUList.Count();
    for (int i = 0; i < n && Items().Count() > 0; ++i) Items().Delete(0);
    FMRUList.Shrink();
    const int count = FMRUList.Count();
    for (int i = count - 1; i >= 0; --i) {
        const TCtlMRUList::TEntry& e = FMRUList.Items(i);
        Perform(CB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(e.Text.c_str()));
        Perform(CB_SETITEMDATA, 0, static_cast<LPARAM>(e.Data));
    }
    if (count > 0) Perform(CB_SETITEMHEIGHT, static_cast<WPARAM>(count - 1), ItemHeight() + 3);
    const LRESULT found =
        Perform(CB_FINDSTRINGEXACT, static_cast<WPARAM>(count - 1), reinterpret_cast<LPARAM>(text.c_str()));
    // The search wraps round: a match inside the MRU area means the text has no item of its own.
    SetItemIndex(found >= count ? static_cast<int>(found) : -1);
    if (found < count && EditableText()) TWinControl::SetText(text);
}

void TCtlBaseComboBox::SelectionChanged() {
    if (MRUListCount() > 0) UpdateMRUItems();
    if (OnSelectionChange) OnSelectionChange(this);
}

// ---- Keys and the automatic search ----

void TCtlBaseComboBox::SearchText(bool Interactive) {
    const std::string text = Text();
    const LRESULT found = Perform(CB_FINDSTRING, static_cast<WPARAM>(FMRUList.Count() - 1),
                                  reinterpret_cast<LPARAM>(text.c_str()));
    if (found >= 0 && !text.empty()) {
        TWinControl::SetText(ItemText(static_cast<int>(found)));
        if (Interactive) Click();
        SelectAll();
        SelectionChanged();
    } else if (Interactive) {
        platform::MessageBeep(0);
    }
}

void TCtlBaseComboBox::KeyDown(uint16_t& Key, TShiftState Shift) {
    FBackspace = false;
    if (Key == VK_BACK) {
        FBackspace = true;
    } else if (Key == VK_RETURN && !DroppedDown()) {
        SearchText(true);
    } else if (Key == kSearchKey) {
        SearchText(false);
    } else if (Key == VK_ESCAPE && !DroppedDown()) {
        SetItemIndex(0);
        Change();
    } else if (AutoSearch && StartsSearch(Key)) {
        StartSearchTimer();
    }
    if (Key != kSearchKey) TCustomComboBox::KeyDown(Key, Shift);
}

void TCtlBaseComboBox::StartSearchTimer() {
    StopSearchTimer();
    FSearchTrigger = entry::CtlGetDefaultController()->TimerPool().AddOneTime(
        [this](TObject*, int32_t, uint32_t, int32_t) { SearchTimerFired(); },
        static_cast<uint32_t>(FKeyDelay));
}

void TCtlBaseComboBox::StopSearchTimer() {
    if (FSearchTrigger < 0) return;
    entry::CtlGetDefaultController()->TimerPool().Remove(FSearchTrigger);
    FSearchTrigger = -1;
}

void TCtlBaseComboBox::SearchTimerFired() {
    FSearchTrigger = -1;
    if (FBackspace) return;
    const int start = SelStart();
    uint16_t key = kSearchKey;
    KeyDown(key, 0);
    SetSelection(start, static_cast<int>(Text().size()));
}

void TCtlBaseComboBox::DoExit() {
    AddToMRU(ItemIndex());
    TCustomComboBox::DoExit();
}

// ---- Messages ----

void TCtlBaseComboBox::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    TCustomComboBox::SetBounds(ALeft, ATop, AWidth, AHeight);
    FLabel.ControlMoved();
}

void TCtlBaseComboBox::Notification(TComponent* AComponent, TOperation Operation) {
    TCustomComboBox::Notification(AComponent, Operation);
    FLabel.Notification(AComponent, Operation);
}

void TCtlBaseComboBox::Dispatch(TMessage& Message) {
    switch (Message.Msg) {
        case CN_COMMAND:
            switch (Message.WParamHi()) {
                case CBN_DROPDOWN:
                    FDropDownIndex = ItemIndex();
                    TCustomComboBox::Dispatch(Message);
                    Invalidate();
                    return;
                case CBN_CLOSEUP:
                    TCustomComboBox::Dispatch(Message);
                    Invalidate();
                    if (ItemIndex() >= 0) {
                        AddToMRU(ItemIndex());
                        TWinControl::SetText(ItemText(ItemIndex()));
                        Click();
                        SelectionChanged();
                    }
                    return;
                default:
                    break;
            }
            break;
        case CN_MEASUREITEM: {
            auto* mi = reinterpret_cast<TMeasureItemStruct*>(Message.LParam);
            mi->itemHeight = static_cast<UINT>(ItemHeight());
            Message.Result = 1;
            return;
        }
        case WM_SETFOCUS:
            TCustomComboBox::Dispatch(Message);
            FFocused = true;
            Invalidate();
            if (HandleAllocated()) PostMessage(Handle(), entry::OM_AFTERENTER, 0, 0);
            return;
        case WM_KILLFOCUS:
            TCustomComboBox::Dispatch(Message);
            FFocused = false;
            Invalidate();
            if (HandleAllocated()) PostMessage(Handle(), entry::OM_AFTEREXIT, 0, 0);
            return;
        case entry::OM_AFTERENTER:
            if (AfterEnter) AfterEnter(this);
            return;
        case entry::OM_AFTEREXIT:
            if (AfterExit) AfterExit(this);
            return;
        case WM_MOUSEWHEEL:
            TCustomComboBox::Dispatch(Message);
            if (OnMouseWheel)
                OnMouseWheel(this, KeysToShiftState(Message.WParamLo()), Message.WParamHi(),
                             Message.LParamLo(), Message.LParamHi());
            return;
        case CM_MOUSEENTER:
        case CM_MOUSELEAVE:
            TCustomComboBox::Dispatch(Message);
            FMouseOver = Message.Msg == CM_MOUSEENTER;
            Invalidate();
            return;
        case CM_VISIBLECHANGED:
            TCustomComboBox::Dispatch(Message);
            FLabel.ControlVisibleChanged();
            return;
        case CM_FONTCHANGED:
            TCustomComboBox::Dispatch(Message);
            if (!IsLoading()) AdjustItemHeight();
            return;
        default:
            if (FLabel.HandleMessage(Message)) return;
            break;
    }
    TCustomComboBox::Dispatch(Message);
}

// ---- Painting ----

void TCtlBaseComboBox::PrepareItem(int Index, const TRect& Rect, TOwnerDrawState State) {
    TCanvas& c = Canvas();
    c.Brush.Style = bsSolid;
    c.Brush.Color =
        FMRUList.Count() > 0 && InMRUArea(Index) && !(State & odComboBoxEdit) ? MRUListColor : Color();
    c.Font.Color = Font().Color;
    if (State & odSelected) {
        c.Brush.Color = clHighlight;
        c.Font.Color = clHighlightText;
    }
    c.FillRect(Rect);
}

void TCtlBaseComboBox::DrawItemText(const TRect& Rect, int X, const std::string& Text) {
    TCanvas& c = Canvas();
    c.Brush.Style = bsClear;
    c.TextOut(X, Rect.Top + (Rect.Height() - c.TextHeight(Text)) / 2, Text);
    c.Brush.Style = bsSolid;
}

void TCtlBaseComboBox::DrawMRUSeparator(int Index, const TRect& Rect, TOwnerDrawState State) {
    if (FMRUList.Count() == 0 || Index != FMRUList.Count() - 1 || !DroppedDown() || (State & odComboBoxEdit))
        return;
    TCanvas& c = Canvas();
    c.Brush.Style = bsSolid;
    c.Brush.Color = clGrayText;
    c.FrameRect(TRect{Rect.Left - 1, Rect.Bottom - 3, Rect.Right + 1, Rect.Bottom});
}

void TCtlBaseComboBox::DrawItem(int Index, const TRect& Rect, TOwnerDrawState State) {
    PrepareItem(Index, Rect, State);
    DrawItemText(Rect, Rect.Left + 2, ItemText(Index));
    DrawMRUSeparator(Index, Rect, State);
}

void TCtlBaseComboBox::Paint() {
    if (FHotTrack && !(ComponentState() & csDesigning))
        PaintHotTrack();
    else
        TCustomComboBox::Paint();
    PaintBorders();
}

void TCtlBaseComboBox::PaintHotTrack() {
    const int w = ClientWidth(), h = ClientHeight();
    const int x0 = w - kButtonArea;
    const bool list = FCtlStyle == ocsDropDownList;
    if (!list) TCustomComboBox::Paint();  // the edit field's text and selection
    TCanvas& c = Canvas();
    c.Brush.Style = bsSolid;
    c.Brush.Color = Color();
    if (list) {
        c.FillRect(TRect{0, 0, w, h});
    } else {
        // Around the edit field only, so that its text stays.
        c.FillRect(TRect{0, 0, w, 3});
        c.FillRect(TRect{0, h - 3, w, h});
        c.FillRect(TRect{0, 0, 3, h});
        c.FillRect(TRect{x0 - 2, 0, w, h});
    }
    auto line = [&c](TColor Color, std::initializer_list<TPoint> Points) {
        c.Pen.Color = Color;
        c.Pen.Width = 1;
        c.Pen.Style = psSolid;
        auto p = Points.begin();
        c.MoveTo(p->X, p->Y);
        for (++p; p != Points.end(); ++p) c.LineTo(p->X, p->Y);
    };
    auto arrow = [&c](int X, int Y) {
        c.Pen.Color = clBlack;
        c.Brush.Color = clBlack;
        c.Polygon({TPoint{X, Y}, TPoint{X + 2, Y + 2}, TPoint{X + 4, Y}});
    };
    auto buttonFace = [&] {
        TRect b{x0, 3, w - 3, h - 3};
        c.Brush.Color = clBtnFace;
        c.FillRect(b);
        line(clBtnHighlight, {TPoint{b.Left, b.Bottom - 1}, TPoint{b.Left, b.Top}, TPoint{b.Right, b.Top}});
        line(clBtnShadow, {TPoint{b.Right - 1, b.Top}, TPoint{b.Right - 1, b.Bottom - 1},
                           TPoint{b.Left - 1, b.Bottom - 1}});
    };
    auto drawShown = [&](int Index, UINT State) {
        if (!list || Index < 0) return;
        DrawItemOn(c.Handle(), Index, TRect{4, 4, x0 - 1, h - 3}, State | ODS_COMBOBOXEDIT);
    };
    const bool dropped = DroppedDown();
    if (dropped || FMouseOver || FFocused) {
        if (FHotTrackBorder) {
            line(FHotTrackColors.Shadow, {TPoint{1, h - 2}, TPoint{1, 1}, TPoint{w - 1, 1}});
            line(FHotTrackColors.Highlight, {TPoint{w - 2, 1}, TPoint{w - 2, h - 2}, TPoint{1, h - 2}});
            c.Brush.Color = Color();
            c.FrameRect(TRect{2, 2, w - 2, h - 2});
        }
        buttonFace();
        if (dropped) {
            arrow(x0 + 4, h / 2);
            line(clBtnHighlight, {TPoint{x0, h - 4}, TPoint{w - 4, h - 4}, TPoint{w - 4, 3}});
            line(clBtnShadow, {TPoint{x0, h - 4}, TPoint{x0, 3}, TPoint{w - 4, 3}});
            drawShown(FDropDownIndex, 0);
        } else {
            arrow(x0 + 3, h / 2 - 1);
            line(Color(), {TPoint{x0, h - 4}, TPoint{x0, 3}, TPoint{w - 4, 3}});
            c.Font.Color = FFocused ? clHighlightText : clWindowText;
            drawShown(ItemIndex(), FFocused ? ODS_FOCUS | ODS_SELECTED : 0);
        }
        line(Color(), {TPoint{x0 - 2, 3}, TPoint{x0 - 2, h - 3}});
    } else {
        c.Brush.Color = Color();
        c.FrameRect(TRect{2, 2, w - 2, h - 2});
        c.FrameRect(TRect{x0, 4, w - 4, h - 4});
        arrow(x0 + 3, h / 2 - 1);
        line(Color(), {TPoint{0, h - 3}, TPoint{w, h - 3}});
        drawShown(ItemIndex(), 0);
    }
}

void TCtlBaseComboBox::PaintBorders() {
    const int w = ClientWidth(), h = ClientHeight();
    TCanvas& c = Canvas();
    entry::TCtlBorder& r = FBorders->RightBorder();
    const int rightX = (FHotTrack ? w - 17 : w - 19) - r.PenWidth() / 2;
    auto side = [&c](entry::TCtlBorder& b, int X1, int Y1, int X2, int Y2) {
        if (!b.Enabled()) return;
        c.Pen.Color = b.PenColor();
        c.Pen.Width = b.PenWidth();
        c.Pen.Style = b.PenStyle();
        c.MoveTo(X1, Y1);
        c.LineTo(X2, Y2);
    };
    entry::TCtlBorder& l = FBorders->LeftBorder();
    entry::TCtlBorder& t = FBorders->TopBorder();
    entry::TCtlBorder& b = FBorders->BottomBorder();
    side(l, l.PenWidth() / 2, 0, l.PenWidth() / 2, h);
    side(r, rightX, 0, rightX, h);
    side(t, 0, t.PenWidth() / 2, rightX, t.PenWidth() / 2);
    side(b, 0, h - b.PenWidth() / 2, rightX - 1, h - b.PenWidth() / 2);
    c.Pen.Width = 1;
}

}  // namespace grid
