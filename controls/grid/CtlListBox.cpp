#include "controls/grid/CtlListBox.h"

#include <algorithm>
#include <mutex>

#include "controls/entry/CtlMessages.h"
#include "framework/core/SysUtils.h"
#include "framework/graphics/Gdi.h"
#include "framework/stdctrls/ComCtrls.h"
#include "framework/ui/Resources.h"
#include "framework/ui/Windows.h"

namespace grid {

using namespace framework;

namespace {

// The 8 × 8 checkerboard a grayed box is filled with: mid gray at the top-left corner.
void RegisterGrayBitmap() {
    static std::once_flag once;
    std::call_once(once, [] {
        RegisterBitmapResource("CTLGRAYBITMAP", [](TBitmap& B) {
            B.SetPixelFormat(pf24bit);
            B.SetSize(8, 8);
            for (int y = 0; y < 8; ++y)
                for (int x = 0; x < 8; ++x)
                    B.Canvas().SetPixel(x, y, ((x + y) % 2 == 0) ? TColor(0x808080) : TColor(0xC0C0C0));
        });
    });
}

constexpr int ExtentAllowance = 16;
constexpr uint32_t LBS_USETABSTOPS = 0x0080;

}  // namespace

void CtlComputeTabStops(const std::vector<std::string>& Lines, int AvgWidth, int BaseX,
                        std::vector<int32_t>& Pixels, std::vector<int32_t>& DialogUnits) {
    Pixels.clear();
    DialogUnits.clear();
    const size_t n = std::min(Lines.size(), static_cast<size_t>(CtlMaxTabStops));
    for (size_t i = 0; i < n; ++i) {
        const int64_t px = static_cast<int64_t>(StrToInt(Lines[i])) * AvgWidth;
        Pixels.push_back(static_cast<int32_t>(px));
        DialogUnits.push_back(BaseX != 0 ? static_cast<int32_t>(px * 4 / BaseX) : 0);
    }
}

// ---- TCtlCustomListBox ----

TCtlCustomListBox::TCtlCustomListBox(TComponent* AOwner)
    : TCustomListBox(AOwner), FLabel(this), FTabStops(std::make_unique<TStringList>()) {}

TCtlCustomListBox::~TCtlCustomListBox() {
    FLabel.ControlDestroying();
    if (FController) FController->RemoveFreeNotification(this);
}

void TCtlCustomListBox::SetController(TComponent* Value) {
    auto* controller = dynamic_cast<entry::TCtlController*>(Value);
    if (controller == FController) return;
    if (FController) FController->RemoveFreeNotification(this);
    FController = controller;
    if (FController) FController->FreeNotification(this);
}

void TCtlCustomListBox::SetHorizontalScroll(bool Value) {
    if (Value == FHorizontalScroll) return;
    FHorizontalScroll = Value;
    if (!IsLoading() && HandleAllocated()) RecreateWnd();
}

void TCtlCustomListBox::SetTabStops(const TStrings* Value) {
    if (Value) {
        for (int i = 0; i < Value->Count(); ++i) StrToInt(Value->Strings(i));  // raises before any change
        FTabStops->Assign(const_cast<TStrings*>(Value));
    } else {
        FTabStops->Clear();
    }
    UpdateTabStops();
    Invalidate();
    DoTabStopsChange();
}

void TCtlCustomListBox::DoTabStopsChange() {
    if (OnTabStopsChange && !IsLoading()) OnTabStopsChange(this);
}

void TCtlCustomListBox::UpdateTabStops() {
    if (!HandleAllocated()) return;
    const int baseX = GetDialogBaseUnits() & 0xFFFF;
    const std::string sample = entry::CtlGetMessage(30281);
    Canvas().Font.Assign(FFont);
    const int avg = Canvas().TextWidth(sample) / static_cast<int>(std::max<size_t>(1, sample.size()));
    std::vector<std::string> lines;
    for (int i = 0; i < FTabStops->Count(); ++i) lines.push_back(FTabStops->Strings(i));
    CtlComputeTabStops(lines, avg, baseX, FPixelStops, FDialogStops);
    if (FDialogStops.empty())
        Perform(LB_SETTABSTOPS, 0, 0);
    else
        Perform(LB_SETTABSTOPS, FDialogStops.size(), reinterpret_cast<LPARAM>(FDialogStops.data()));
    UpdateHorizontalExtent();
}

int TCtlCustomListBox::GetItemWidth(int Index) {
    TCanvas& c = Canvas();
    c.Font.Assign(FFont);
    const std::string& text = FList.Items[static_cast<size_t>(Index)].Text;
    if (FTabStops->Count() == 0) return c.TextWidth(text);
    return static_cast<int>(
        GetTabbedTextExtent(c.Handle(), text, static_cast<int>(FPixelStops.size()), FPixelStops.data()) &
        0xFFFF);
}

int TCtlCustomListBox::WidestItem() {
    int w = 0;
    for (int i = 0; i < FList.Count(); ++i) w = std::max(w, GetItemWidth(i));
    return w;
}

void TCtlCustomListBox::SetExtentFrom(int W) {
    if (HandleAllocated()) Perform(LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(W + 5), 0);
}

void TCtlCustomListBox::UpdateHorizontalExtent() {
    if (!FHorizontalScroll || !HandleAllocated()) return;
    SetExtentFrom(WidestItem());
}

void TCtlCustomListBox::CreateParams(TCreateParams& Params) {
    TCustomListBox::CreateParams(Params);
    Params.Style |= LBS_USETABSTOPS;
    if (FHorizontalScroll) Params.Style |= WS_HSCROLL;
}

void TCtlCustomListBox::CreateWnd() {
    const bool loading = IsLoading();
    const bool designing = (ComponentState() & csDesigning) != 0;
    TWinControl* form = entry::CtlGetParentForm(this);
    if (designing && !loading) {
        entry::TCtlController* c = FController;
        entry::CtlResolveController(form, c);
        SetController(c);
    }
    if (!FController && !loading) {
        entry::TCtlController* c = entry::CtlFindController(form);
        if (!c && !designing) c = entry::CtlGetDefaultController();
        SetController(c);
    }
    TCustomListBox::CreateWnd();
    UpdateTabStops();
}

void TCtlCustomListBox::Notification(TComponent* AComponent, TOperation Operation) {
    TCustomListBox::Notification(AComponent, Operation);
    FLabel.Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FController) {
        FController = nullptr;
    } else if (Operation == opInsert && !FController) {
        if (auto* c = dynamic_cast<entry::TCtlController*>(AComponent)) SetController(c);
    }
}

void TCtlCustomListBox::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    TCustomListBox::SetBounds(ALeft, ATop, AWidth, AHeight);
    if (HandleAllocated()) PostMessage(Handle(), entry::OM_POSITIONLABEL, 0, 0);
}

void TCtlCustomListBox::Dispatch(TMessage& Message) {
    switch (Message.Msg) {
        case CM_FONTCHANGED:
            TCustomListBox::Dispatch(Message);
            if (!IsLoading() && HandleAllocated()) UpdateTabStops();
            return;
        case CM_VISIBLECHANGED:
            TCustomListBox::Dispatch(Message);
            FLabel.ControlVisibleChanged();
            return;
        case WM_NCHITTEST:
            if (ComponentState() & csDesigning)
                DefaultHandler(Message);
            else
                TCustomListBox::Dispatch(Message);
            return;
        case LB_ADDSTRING:
        case LB_DELETESTRING:
            TCustomListBox::Dispatch(Message);
            if (FHorizontalScroll) UpdateHorizontalExtent();
            return;
        default:
            if (!FLabel.HandleMessage(Message)) TCustomListBox::Dispatch(Message);
    }
}

// ---- TCtlCheckList ----

TCtlCheckList::TCtlCheckList(TComponent* AOwner)
    : TCtlCustomListBox(AOwner),
      FGrayBitmap(std::make_unique<TBitmap>()),
      FItemBitmap(std::make_unique<TBitmap>()) {
    RegisterGrayBitmap();
    LoadBitmapResource(*FGrayBitmap, "CTLGRAYBITMAP");
    FHeight = 150;
    FStyle = lbOwnerDrawFixed;
}

TCtlCheckList::~TCtlCheckList() = default;

void TCtlCheckList::CreateParams(TCreateParams& Params) {
    TCtlCustomListBox::CreateParams(Params);
    if (FWantDblClicks)
        ControlStyle |= csDoubleClicks;
    else
        ControlStyle &= ~csDoubleClicks;
}

void TCtlCheckList::SetBoxColor(TColor Value) {
    if (Value == FBoxColor) return;
    FBoxColor = Value;
    Refresh();
}

void TCtlCheckList::SetShowGlyphs(bool Value) {
    if (Value == FShowGlyphs) return;
    FShowGlyphs = Value;
    Refresh();
}

void TCtlCheckList::SetGlyphs(TImageList* Value) {
    if (Value == FGlyphs) return;
    FGlyphs = Value;
    Invalidate();
}

void TCtlCheckList::SetWantDblClicks(bool Value) {
    if (Value == FWantDblClicks) return;
    FWantDblClicks = Value;
    if (HandleAllocated()) RecreateWnd();
}

void TCtlCheckList::SetBoxMargin(int Value) {
    if (Value == FBoxMargin || Value <= 0 || FItemHeight - 2 * Value <= 0) return;
    FBoxMargin = Value;
    Refresh();
}

TCheckBoxState TCtlCheckList::GetItemState(int Index) const {
    if (Index < 0 || Index >= static_cast<int>(FStates.size())) return cbUnchecked;
    return static_cast<TCheckBoxState>(FStates[static_cast<size_t>(Index)]);
}

void TCtlCheckList::SetItemState(int Index, TCheckBoxState State) {
    if (Index < 0 || Index >= FList.Count()) return;
    if (FStates.size() < static_cast<size_t>(FList.Count()))
        FStates.resize(static_cast<size_t>(FList.Count()), 0);
    const auto old = static_cast<TCheckBoxState>(FStates[static_cast<size_t>(Index)]);
    FStates[static_cast<size_t>(Index)] = static_cast<uint8_t>(State);
    InvalidateItem(Index);
    DoStateChange(Index, old, State);
}

void TCtlCheckList::DoStateChange(int Index, TCheckBoxState OldState, TCheckBoxState NewState) {
    if (OnStateChange) OnStateChange(this, Index, OldState, NewState);
}

void TCtlCheckList::InvalidateItem(int Index) {
    if (!HandleAllocated()) return;
    TRect r{};
    if (Perform(LB_GETITEMRECT, static_cast<WPARAM>(Index), reinterpret_cast<LPARAM>(&r)) == LB_ERR) return;
    InvalidateRect(Handle(), &r, true);
}

void TCtlCheckList::Toggle(int Index) {
    TCheckBoxState next = cbUnchecked;
    switch (GetItemState(Index)) {
        case cbUnchecked:
            next = ThreeState ? cbGrayed : cbChecked;
            break;
        case cbChecked:
            next = cbUnchecked;
            break;
        case cbGrayed:
            next = cbChecked;
            break;
    }
    SetItemState(Index, next);
}

void TCtlCheckList::KeyPress(char& Key) {
    TCtlCustomListBox::KeyPress(Key);
    if (ReadOnly) return;
    if (FItemIndex >= 0 && FItemIndex < FList.Count()) {
        Toggle(FItemIndex);
        if (OnClick) OnClick(this);
    }
}

void TCtlCheckList::UpdateHorizontalExtent() {
    if (!HorizontalScroll() || !HandleAllocated()) return;
    int allowance = ExtentAllowance;
    if (FAllowance == 0 && FShowGlyphs && FGlyphs && FGlyphs->Count() > 0) allowance = FGlyphs->Width;
    FAllowance = allowance;
    SetExtentFrom(WidestItem() + allowance);
}

void TCtlCheckList::LButtonDown(TMessage& Message) {
    const int x = GetXLParam(Message.LParam);
    const int y = GetYLParam(Message.LParam);
    const int index = ItemAtPos(Point(x, y), true);
    TRect r{};
    if (index >= 0) r = ItemRect(index);
    const int boxRight = FItemHeight + r.Left - FBoxMargin / 2;
    if (x <= boxRight) {
        if (index >= 0 && HandleAllocated()) InvalidateRect(Handle(), &r, true);
    } else if (!ReadOnly) {
        TCtlCustomListBox::Dispatch(Message);
    }
    if (ReadOnly || index < 0) return;
    if (!BoxClickOnly || (r.Left <= x && x <= boxRight)) Toggle(index);
    if (x <= boxRight) TCtlCustomListBox::Dispatch(Message);
}

void TCtlCheckList::DrawItemMessage(TMessage& Message) {
    auto* di = reinterpret_cast<TDrawItemStruct*>(Message.LParam);
    const int index = static_cast<int>(di->itemID);
    TOwnerDrawState state = static_cast<TOwnerDrawState>(di->itemState & 0xFFFF);
    const TRect r = Rect(di->rcLeft, di->rcTop, di->rcRight, di->rcBottom);
    if (index >= 0) {
        state &= static_cast<TOwnerDrawState>(~(odChecked | odGrayed));
        switch (GetItemState(index)) {
            case cbChecked:
                state |= odChecked;
                break;
            case cbGrayed:
                state |= odGrayed;
                break;
            default:
                break;
        }
    }
    FAllowance = r.Width() + 1 + 2 * FBoxMargin;
    TCanvas& c = Canvas();
    c.SetHandle(di->hDC);
    c.Font.Assign(FFont);
    c.Brush.Color = FColor;
    c.Brush.Style = bsSolid;
    if (index < 0)
        c.FillRect(r);
    else
        DrawItem(index, r, state);
    c.SetHandle(0);
    Message.Result = 1;
}

void TCtlCheckList::DrawItem(int Index, const TRect& Rect, TOwnerDrawState State) {
    const int w = Rect.Width();
    const int h = Rect.Height();
    TBitmap& bmp = *FItemBitmap;
    bmp.SetSize(std::max(1, w), std::max(1, h));
    TCanvas& c = bmp.Canvas();
    c.Font.Assign(FFont);
    c.Brush.Style = bsSolid;
    c.Brush.Bitmap = nullptr;
    c.Brush.Color = FColor;
    c.Pen.Style = psSolid;
    c.FillRect(framework::Rect(0, 0, w, h));
    if (Index < 0 || Index >= FList.Count()) return;

    const int m = FBoxMargin;
    int s = h - 2 * m;
    if (s % 2) --s;
    // The box, with the gray checkerboard for a grayed item.
    if (State & odGrayed)
        c.Brush.Bitmap = FGrayBitmap.get();
    else
        c.Brush.Color = FBoxColor;
    c.Pen.Color = TColor(0xD8CCC0);  // RGB(192,204,216)
    c.Rectangle(m, m, m + s, m + s);
    c.Brush.Bitmap = nullptr;
    // The bevel.
    c.Pen.Color = TColor(0x806450);  // RGB(80,100,128)
    c.Polyline({Point(m, m + s - 2), Point(m, m), Point(m + s - 1, m)});
    c.Pen.Color = clBlack;
    c.Polyline({Point(m + 1, m + s - 3), Point(m + 1, m + 1), Point(m + s - 2, m + 1)});
    c.Pen.Color = TColor(0xB09880);  // RGB(128,152,176)
    c.Polyline({Point(m + 1, m + s - 2), Point(m + s - 2, m + s - 2), Point(m + s - 2, m)});
    // The mark.
    const TRect mark = framework::Rect(m + 3, m + 3, m + s - 3, m + s - 3);
    if (OwnerDrawCheck) {
        OwnerDrawCheck(this, c, mark, State, CheckStyle);
    } else if (State & (odChecked | odGrayed)) {
        c.Pen.Color = CheckColor;
        const int L = mark.Left, T = mark.Top, Rt = mark.Right, B = mark.Bottom;
        auto line = [&](int x1, int y1, int x2, int y2) {
            c.MoveTo(x1, y1);
            c.LineTo(x2, y2);
        };
        if (CheckStyle == csCheck) {
            line(L, B - 5, L + 3, B - 2);
            line(L, B - 4, L + 3, B - 1);
            line(L, B - 3, L + 3, B);
            line(L + 2, B - 3, Rt, T - 1);
            line(L + 2, B - 2, Rt, T);
            line(L + 2, B - 1, Rt, T + 1);
        } else {
            line(L, T, Rt, B);
            line(L, T + 1, Rt - 1, B);
            line(L + 1, T, Rt, B - 1);
            line(L, B - 1, Rt, T - 1);
            line(L, B - 2, Rt - 1, T - 1);
            line(L + 1, B - 1, Rt, T);
        }
    }
    // The text.
    std::string text = FList.Items[static_cast<size_t>(Index)].Text;
    if (text.size() > 255) text.resize(255);
    const int y = (h - c.TextHeight(text)) / 2;
    const int x = s + 2 * m;
    const TRect textArea = framework::Rect(s + 2 * m - 1, 0, w, h);
    TColor fontColor = FFont.Color;
    if (State & odSelected) {
        fontColor = clHighlightText;
        c.Brush.Color = clHighlight;
        c.FillRect(textArea);
    } else {
        c.Brush.Color = FColor;
    }
    c.Font.Color = fontColor;
    HDC dc = c.Handle();
    SetTextColor(dc, ColorToRGB(fontColor));
    SetBkColor(dc, ColorToRGB(c.Brush.Color));
    SetBkMode(dc, OPAQUE);
    const TRect clip = framework::Rect(0, 0, w, h);
    ExtTextOut(dc, x, y, ETO_CLIPPED, &clip, text);
    if (State & odFocused) c.DrawFocusRect(textArea);
    Canvas().CopyRect(Rect, c, framework::Rect(0, 0, w, h));
}

void TCtlCheckList::Dispatch(TMessage& Message) {
    switch (Message.Msg) {
        case CN_DRAWITEM:
            DrawItemMessage(Message);
            return;
        case WM_LBUTTONDOWN:
            LButtonDown(Message);
            return;
        case LB_ADDSTRING: {
            TCustomListBox::Dispatch(Message);
            const auto at = static_cast<intptr_t>(Message.Result);
            if (at >= 0 && static_cast<size_t>(at) <= FStates.size())
                FStates.insert(FStates.begin() + at, 0);
            else if (at >= 0)
                FStates.resize(static_cast<size_t>(at) + 1, 0);
            if (HorizontalScroll()) UpdateHorizontalExtent();
            return;
        }
        case LB_INSERTSTRING: {
            TCustomListBox::Dispatch(Message);
            const auto at = static_cast<intptr_t>(Message.Result);
            if (at >= 0 && static_cast<size_t>(at) <= FStates.size()) FStates.insert(FStates.begin() + at, 0);
            if (HorizontalScroll()) UpdateHorizontalExtent();
            return;
        }
        case LB_DELETESTRING: {
            const auto at = static_cast<intptr_t>(Message.WParam);
            if (at >= 0 && static_cast<size_t>(at) < FStates.size()) FStates.erase(FStates.begin() + at);
            TCustomListBox::Dispatch(Message);
            if (HorizontalScroll()) UpdateHorizontalExtent();
            return;
        }
        case LB_RESETCONTENT:
            FStates.clear();
            TCtlCustomListBox::Dispatch(Message);
            return;
        default:
            TCtlCustomListBox::Dispatch(Message);
    }
}

}  // namespace grid
