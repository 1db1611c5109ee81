#include "controls/grid/CtlNotebook.h"

#include <algorithm>

#include "controls/entry/CtlCommands.h"
#include "controls/entry/CtlController.h"
#include "controls/entry/CtlMessages.h"
#include "framework/core/Filer.h"
#include "framework/graphics/Gdi.h"
#include "framework/ui/Windows.h"

namespace grid {

using namespace framework;

namespace {

std::string StripAmpersands(const std::string& S) {
    std::string out;
    for (size_t i = 0; i < S.size(); ++i) {
        if (S[i] == '&') {
            if (i + 1 < S.size() && S[i + 1] == '&') out += '&', ++i;
            continue;
        }
        out += S[i];
    }
    return out;
}

bool InRect(const TRect& R, int X, int Y) {
    return X >= R.Left && X < R.Right && Y >= R.Top && Y < R.Bottom;
}

}  // namespace

// ---- TCtlTabPage ----

TCtlTabPage::TCtlTabPage(TComponent* AOwner)
    : TCtlCollectibleControl(
          [AOwner]() -> TComponent* {
              if (!dynamic_cast<TCtlNotebook*>(AOwner)) throw Exception("Invalid class typecast");
              return AOwner;
          }(),
          ClassOf<TCtlTabPage>()) {
    ControlStyle |= csAcceptsControls | csCaptureMouse | csClickEvents;
    FEnabled = true;
    SetParent(static_cast<TCtlNotebook*>(AOwner));
    FTabStop = false;
    SetParentFont(true);
    SetParentShowHint(true);
    SetParentColor(true);  // pages show the notebook's colour
}

TCtlNotebook* TCtlTabPage::Notebook() const {
    return static_cast<TCtlNotebook*>(Owner());
}

void TCtlTabPage::SetCaption(const std::string& Value) {
    SetText(Value);
    if (Notebook()) Notebook()->Invalidate();
    if (!(ComponentState() & csLoading)) ItemChanged();
}

void TCtlTabPage::SetEnabled(bool Value) {
    TCtlCollectibleControl::SetEnabled(Value);
    if (Notebook()) Notebook()->Invalidate();
}

void TCtlTabPage::SetPageVisible(bool Value) {
    FPageVisible = Value;
    if (Notebook()) Notebook()->Invalidate();
}

void TCtlTabPage::InvalidateTab() {
    TCtlNotebook* nb = Notebook();
    if (nb && nb->HandleAllocated()) InvalidateRect(nb->Handle(), &TabRect, false);
}

void TCtlTabPage::SetTabColor(TColor Value) {
    if (Value == FTabColor) return;
    FTabColor = Value;
    InvalidateTab();
}

void TCtlTabPage::SetTextColor(TColor Value) {
    if (Value == FTextColor) return;
    FTextColor = Value;
    InvalidateTab();
}

std::string TCtlTabPage::GetDisplayName() const {
    return (FText.empty() ? Name() : FText) + ": " + ClassName();
}

std::string TCtlTabPage::GetBaseName() const {
    return entry::CtlGetMessage(30328);
}

void TCtlTabPage::DefineProperties(TFiler* Filer) {
    TCtlCollectibleControl::DefineProperties(Filer);
    // Values stored by older forms: read and dropped; the notebook places its pages.
    for (const char* name : {"Cursor", "Top", "Left", "Height", "Width"})
        Filer->DefineProperty(
            name, [](TReader* R) { R->ReadInteger(); }, nullptr, false);
    Filer->DefineProperty(
        "Visible", [](TReader* R) { R->ReadBoolean(); }, nullptr, false);
}

void TCtlTabPage::Dispatch(TMessage& Message) {
    switch (Message.Msg) {
        case WM_NCHITTEST:
            if (!(ComponentState() & csDesigning)) {
                Message.Result = HTTRANSPARENT;
                return;
            }
            break;
        case CM_FONTCHANGED:
            TCtlCollectibleControl::Dispatch(Message);
            if (!(ComponentState() & csLoading) && Notebook()) {
                if (Notebook()->SideTabs()) Notebook()->CheckSideFont(FFont, true);
                Notebook()->Invalidate();
            }
            return;
        default:
            break;
    }
    TCtlCollectibleControl::Dispatch(Message);
}

// ---- TCtlNotebook ----

TCtlNotebook::TCtlNotebook(TComponent* AOwner) : TCtlCustomControlEx(AOwner) {
    FPages = std::make_unique<entry::TCtlCollection>(this, ClassOf<TCtlTabPage>());
    FPages->OnChanged = [this](TObject*) { Invalidate(); };
    if (!GetClass("TCtlTabPage")) RegisterClass<TCtlTabPage>();
    FWidth = 220;
    FHeight = 185;
    FSettingColor = true;
    SetColor(clBtnFace);
    FSettingColor = false;
    FParentColor = false;
    FTabStop = true;
    ControlStyle |= csOpaque;
    FActiveTabFont.Name = FFont.Name;
    FActiveTabFont.OnChange = [this] {
        if (!IsLoadingNow()) Perform(CM_FONTCHANGED, 0, 0);
    };
}

TCtlNotebook::~TCtlNotebook() {
    FPages.reset();
}

// ---- Properties ----

void TCtlNotebook::SetActiveTabFont(const TFont& Value) {
    FActiveTabFont.Assign(Value);
    Invalidate();
    if (!IsLoadingNow()) Perform(CM_FONTCHANGED, 0, 0);
}

void TCtlNotebook::SetConserveResources(bool Value) {
    if (Value == FConserveResources) return;
    FConserveResources = Value;
    if (Value && !Designing())
        for (int i = 0; i < PageCount(); ++i)
            if (i != FActiveIndex && Pages(i)->HandleAllocated()) Pages(i)->ReleaseHandle();
}

#define CTL_REFRESH_SETTER(Name, Type, Field)  \
    void TCtlNotebook::Set##Name(Type Value) { \
        if (Value == Field) return;            \
        Field = Value;                         \
        Refresh();                             \
    }
CTL_REFRESH_SETTER(HighlightColor, TColor, FHighlightColor)
CTL_REFRESH_SETTER(OldStyle, bool, FOldStyle)
CTL_REFRESH_SETTER(PageUsesTabColor, bool, FPageUsesTabColor)
CTL_REFRESH_SETTER(ShadowColor, TColor, FShadowColor)
CTL_REFRESH_SETTER(ShadowedText, bool, FShadowedText)
CTL_REFRESH_SETTER(TextShadowColor, TColor, FTextShadowColor)
#undef CTL_REFRESH_SETTER

void TCtlNotebook::SetTabAutoHeight(bool Value) {
    if (Value == FTabAutoHeight) return;
    FTabAutoHeight = Value;
    if (Value) Refresh();
}

void TCtlNotebook::SetTabHeight(int Value) {
    if (Value < 0 || Value == FTabHeight) return;
    FTabHeight = Value;
    if (!IsLoadingNow()) FTabAutoHeight = false;
    Refresh();
}

void TCtlNotebook::SetTabOrientation(TCtlTabOrientation Value) {
    if (!IsLoadingNow() && (Value == toRight || Value == toLeft)) {
        const bool raise = !Designing();
        CheckSideFont(FFont, raise);
        if (FUseActiveTabFont) CheckSideFont(FActiveTabFont, raise);
        for (int i = 0; i < PageCount(); ++i) CheckSideFont(Pages(i)->Font(), raise);
    }
    FTabOrientation = Value;
    SetBounds(FLeft, FTop, FWidth, FHeight);
    Refresh();
}

void TCtlNotebook::SetTabTextOrientation(TTabTextOrientation Value) {
    FTabTextOrientation = Value;
    Invalidate();
}

void TCtlNotebook::SetTabRowCount(int Value) {
    if (IsLoadingNow())
        FTabRowCount = Value;
    else if (Value != FTabRowCount && Value >= 0 && Value <= PageCount())
        FTabRowCount = Value;
    LayoutTabs();
    SetBounds(FLeft, FTop, FWidth, FHeight);
    Refresh();
}

void TCtlNotebook::SetTabUseDefaultColor(bool Value) {
    FTabUseDefaultColor = Value;
    if (Value && !IsLoadingNow())
        for (int i = 0; i < PageCount(); ++i) Pages(i)->SetTabColor(FColor);
    Refresh();
}

void TCtlNotebook::SetUseActiveTabFont(bool Value) {
    if (Value == FUseActiveTabFont) return;
    FUseActiveTabFont = Value;
    Invalidate();
}

void TCtlNotebook::SetOwnColor(TColor Value) {
    FSettingColor = true;
    SetColor(Value);
    FSettingColor = false;
}

// ---- Fonts ----

bool TCtlNotebook::IsTrueType(const TFont& Font) {
    TBitmap probe;
    probe.SetSize(1, 1);
    TCanvas& c = probe.Canvas();
    c.Font.Assign(Font);
    c.TextWidth("W");
    TTextMetric tm;
    GetTextMetrics(c.Handle(), tm);
    return (tm.tmPitchAndFamily & TMPF_TRUETYPE) != 0;
}

void TCtlNotebook::CheckSideFont(TFont& Font, bool Raise) {
    if (IsTrueType(Font)) return;
    Font.Name = "Arial";
    Font.Changed();
    if (Raise) throw entry::EInvalidTabFont();
}

void TCtlNotebook::ApplyFont(TCanvas& C, const TFont& Font) {
    C.Font.Assign(Font);
    switch (FTabOrientation) {
        case toLeft:
            C.Font.Orientation = 900;
            break;
        case toRight:
            C.Font.Orientation = 2700;
            break;
        default:
            C.Font.Orientation = 0;
    }
}

int TCtlNotebook::TabTextHeight(TCanvas& C, const TFont& Font) {
    TFont plain;
    plain.Assign(Font);
    C.Font.Assign(plain);  // heights are measured across the text, unturned
    return C.TextHeight(entry::CtlGetMessage(30282));
}

int TCtlNotebook::CaptionWidth(TCanvas& C, const TFont& Font, const std::string& Caption) {
    C.Font.Assign(Font);
    return C.TextWidth(StripAmpersands(Caption));
}

// ---- Selection ----

bool TCtlNotebook::IsPageSelectable(int Index) const {
    if (Index < 0 || Index >= PageCount()) return false;
    if (Designing()) return true;
    return Pages(Index)->Enabled() && Pages(Index)->PageVisible();
}

int TCtlNotebook::NextSelectablePage(int From) const {
    const int n = PageCount();
    if (n == 0) return -1;
    if (From < 0 || From >= n) From = n - 1;
    int i = From;
    do {
        i = (i + 1) % n;
    } while (i != From && !IsPageSelectable(i));
    return (i != From && IsPageSelectable(i)) ? i : -1;
}

int TCtlNotebook::PrevSelectablePage(int From) const {
    const int n = PageCount();
    if (n == 0) return -1;
    if (From < 0 || From >= n) From = 0;
    int i = From;
    do {
        i = (i - 1 + n) % n;
    } while (i != From && !IsPageSelectable(i));
    return (i != From && IsPageSelectable(i)) ? i : -1;
}

void TCtlNotebook::SetPageIndex(int Value) {
    if (IsLoadingNow()) {
        FActiveIndex = Value;
        return;
    }
    const int old = FActiveIndex;
    if (Value != old && IsPageSelectable(Value)) {
        if (FChanging) return;
        FChanging = true;
        if (!Designing()) {
            bool allow = true;
            if (old != -1) DoPageChange(Value, allow);
            if (!allow) {
                FChanging = false;
                return;
            }
            TCustomForm* form = ParentForm();
            if (form && form->ActiveControl() && ContainsControl(form->ActiveControl()))
                form->SetActiveControl(nullptr);
        }
        TCtlTabPage* page = Pages(Value);
        page->BringToFront();
        page->SetVisible(true);
        if (IsPageSelectable(old) || (old >= 0 && old < PageCount())) {
            Pages(old)->SetVisible(false);
            if (FConserveResources && !Designing() && Pages(old)->HandleAllocated())
                Pages(old)->ReleaseHandle();
        }
        FActiveIndex = Value;
        FActiveRow = page->TabRow;
        Hint = page->Hint;
        Invalidate();
        FChanging = false;
        if (!Designing() && FActiveIndex == Value && old != -1) DoPageChanged(Value);
    } else if (!IsPageSelectable(Value)) {
        throw entry::EInvalidPageIndex();
    }
    if (!IsPageSelectable(FActiveIndex)) throw entry::EInvalidPageIndex();
}

void TCtlNotebook::Loaded() {
    TCtlCustomControlEx::Loaded();
    if (PageCount() > 0) {
        FActiveIndex = DefaultPageIndex;
        for (int i = 0; i < PageCount(); ++i)
            if (i != DefaultPageIndex) {
                Pages(i)->SetVisible(false);
                if (FConserveResources && !Designing() && Pages(i)->HandleAllocated())
                    Pages(i)->ReleaseHandle();
            }
        FActiveIndex = -1;
        SetPageIndex(DefaultPageIndex);
    }
    LayoutTabs();
}

std::string TCtlNotebook::CollectionEditorCaption() const {
    return entry::CtlGetMessage(30323);
}

void TCtlNotebook::CollectionItemSelected(int Index) {
    if (Designing() && Index >= 0 && Index < PageCount()) SetPageIndex(Index);
}

void TCtlNotebook::ShowControl(TControl* Control) {
    for (int i = 0; i < PageCount(); ++i)
        if (Pages(i) == Control) SetPageIndex(i);
}

bool TCtlNotebook::DoDrawTab(int Index, const std::string& Title, bool Enabled, bool Active) {
    if (!OnDrawTab || Index < 0 || Index >= PageCount()) return false;
    OnDrawTab(this, Index, Title, GetTabTextRect(Index), Enabled, Active);
    return true;
}
void TCtlNotebook::DoMouseOverTab(int Index) {
    if (OnMouseOverTab) OnMouseOverTab(this, Index);
}
void TCtlNotebook::DoPageChange(int Index, bool& AllowChange) {
    if (OnPageChange) OnPageChange(this, Index, AllowChange);
}
void TCtlNotebook::DoPageChanged(int Index) {
    if (OnPageChanged) OnPageChanged(this, Index);
}
void TCtlNotebook::DoTabClick(int Index) {
    if (OnTabClick) OnTabClick(this, Index);
}
void TCtlNotebook::DoUserCommand(uint16_t Command) {
    if (OnUserCommand) OnUserCommand(this, Command);
}

// ---- Window, size and scale ----

void TCtlNotebook::CreateParams(TCreateParams& Params) {
    TCtlCustomControlEx::CreateParams(Params);
    Params.Style |= WS_CLIPCHILDREN;
    if (!Designing()) Params.WindowClassStyle &= ~static_cast<uint32_t>(CS_DBLCLKS);
}

void TCtlNotebook::CreateWnd() {
    TCtlCustomControlEx::CreateWnd();
    if (IsPageSelectable(FActiveIndex)) {
        Pages(FActiveIndex)->SetVisible(true);
        Pages(FActiveIndex)->BringToFront();
    }
}

void TCtlNotebook::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    if (!IsLoadingNow()) {
        if (SideTabs())
            AHeight = std::max(AHeight, 20);
        else
            AWidth = std::max(AWidth, 20);
    }
    TCtlCustomControlEx::SetBounds(ALeft, ATop, AWidth, AHeight);
    if (HandleAllocated()) {
        LayoutTabs();
        PlacePages();
    }
}

void TCtlNotebook::ChangeScale(int M, int D) {
    if (M != D) {
        SetTabHeight(MulDiv(FTabHeight, M, D));
        FActiveTabFont.SetSize(MulDiv(FActiveTabFont.Size(), M, D));
    }
    LayoutTabs();
}

// ---- Layout ----

bool TCtlNotebook::PageVisibleForLayout(int Index) const {
    return Designing() || Pages(Index)->PageVisible();
}

void TCtlNotebook::LayoutTabs() {
    if (!FVisible) return;
    TBitmap scratch;
    scratch.SetSize(1, 1);
    TCanvas& c = scratch.Canvas();
    const int n = PageCount();
    if (FTabAutoHeight) {
        int th = TabTextHeight(c, FFont) + 4;
        if (FUseActiveTabFont) th = std::max(th, TabTextHeight(c, FActiveTabFont) + 4);
        for (int i = 0; i < n; ++i) th = std::max(th, TabTextHeight(c, Pages(i)->Font()) + 4);
        FTabHeight = th;
    } else if (FTabHeight == 0) {
        FRows = 0;
        return;
    }
    const int L = SideTabs() ? FHeight - 4 : FWidth - 4;
    if (n == 0) return;
    // Widths.
    int common = 0;
    if (FOldStyle) {
        for (int i = 0; i < n; ++i)
            if (PageVisibleForLayout(i)) {
                common = std::max(common, CaptionWidth(c, FActiveTabFont, Pages(i)->Caption()));
                common = std::max(common, CaptionWidth(c, Pages(i)->Font(), Pages(i)->Caption()));
            }
        common = std::max(common + 12, 20);
    }
    for (int i = 0; i < n; ++i) {
        TCtlTabPage* p = Pages(i);
        if (!PageVisibleForLayout(i)) {
            p->TabWidth = 0;
            continue;
        }
        if (FOldStyle) {
            p->TabWidth = common;
        } else {
            int w = FUseActiveTabFont ? CaptionWidth(c, FActiveTabFont, p->Caption()) : 0;
            w = std::max(w, CaptionWidth(c, p->Font(), p->Caption()));
            p->TabWidth = std::max(w + 12, 20);
        }
    }
    // Rows.
    FActiveRow = 0;
    if (FTabRowCount == 0) {
        int row = 0, used = 0;
        bool open = false;
        for (int i = 0; i < n; ++i) {
            TCtlTabPage* p = Pages(i);
            if (!PageVisibleForLayout(i)) continue;
            if (open && used + p->TabWidth > L) {
                ++row;
                used = 0;
            }
            open = true;
            p->TabRow = row;
            used += p->TabWidth;
            if (i == FActiveIndex) FActiveRow = row;
        }
        FRows = row + 1;
    } else {
        FRows = FTabRowCount;
        const int quota = n / FTabRowCount;
        int row = 0, inRow = 0, extra = 0;
        for (int i = 0; i < n; ++i) {
            TCtlTabPage* p = Pages(i);
            if (!PageVisibleForLayout(i)) continue;
            if (quota == 0) {
                p->TabRow = 0;
            } else if (row < FTabRowCount) {
                p->TabRow = row;
                if (++inRow == quota) {
                    ++row;
                    inRow = 0;
                }
            } else {
                p->TabRow = extra % FTabRowCount;
                ++extra;
            }
            if (i == FActiveIndex) FActiveRow = p->TabRow;
        }
    }
    if (FOldStyle) {
        for (int r = 0; r < FRows; ++r) {
            int sum = 0, count = 0;
            for (int i = 0; i < n; ++i)
                if (PageVisibleForLayout(i) && Pages(i)->TabRow == r) sum += Pages(i)->TabWidth, ++count;
            if (count == 0) continue;
            const int d = L - sum;
            const int each = std::abs(d) / count;
            int rest = std::abs(d) % count;
            const int sign = d > 0 ? 1 : -1;
            for (int i = 0; i < n; ++i)
                if (PageVisibleForLayout(i) && Pages(i)->TabRow == r) {
                    Pages(i)->TabWidth += sign * each;
                    if (rest > 0) Pages(i)->TabWidth += sign, --rest;
                }
        }
        int filled = 0;
        for (int r = 0; r < FRows; ++r) {
            bool any = false;
            for (int i = 0; i < n; ++i) any = any || (PageVisibleForLayout(i) && Pages(i)->TabRow == r);
            if (any) ++filled;
        }
        FRows = std::max(filled, 1);
    }
    FLastRow = FRows - 1;
}

void TCtlNotebook::PlacePages() {
    const int W = FWidth, H = FHeight, TH = FTabHeight, rows = FRows;
    TRect b;
    if (TH == 0 || rows == 0)
        b = Rect(0, 0, W, H);
    else
        switch (FTabOrientation) {
            case toTop:
                b = Bounds(1, rows * TH + 3, W - 3, H - (rows * TH + 3) - 2);
                break;
            case toRight:
                b = Bounds(1, 1, W - (rows * TH + 2) - 2, H - 3);
                break;
            case toBottom:
                b = Bounds(1, 1, W - 3, H - rows * TH - 5);
                break;
            case toLeft:
                b = Bounds(rows * TH + 3, 1, W - (rows * TH + 3) - 2, H - 3);
                break;
        }
    for (int i = 0; i < PageCount(); ++i)
        if (Pages(i)->BoundsRect() != b) Pages(i)->SetBounds(b.Left, b.Top, b.Width(), b.Height());
}

TRect TCtlNotebook::GetTabTextRect(int Index) const {
    if (FTabHeight == 0 || Index < 0 || Index >= PageCount()) return TRect{};
    TRect r = Pages(Index)->TabRect;
    switch (FTabOrientation) {
        case toTop:
            return Rect(r.Left + 6 - 1, r.Top + 3, r.Right - 6, r.Bottom);
        case toBottom:
            return Rect(r.Left + 6 - 1, r.Top, r.Right - 6, r.Bottom + 3);
        case toRight:
            return Rect(r.Left, r.Top + 6 - 1, r.Right - 3, r.Bottom - 6);
        case toLeft:
            return Rect(r.Left - 3, r.Top + 6 - 1, r.Right, r.Bottom - 6);
    }
    return r;
}

void TCtlNotebook::InvalidateTabArea(int Index) {
    if (Index < 0 || Index >= PageCount() || !HandleAllocated()) return;
    TRect r = Pages(Index)->TabRect;
    switch (FTabOrientation) {
        case toTop:
            r.Bottom += 5;
            break;
        case toRight:
            r.Left -= 5;
            break;
        case toBottom:
            r.Top -= 5;
            break;
        case toLeft:
            r.Right += 5;
            break;
    }
    InvalidateRect(Handle(), &r, false);
}

// ---- Keys, mnemonics, mouse ----

void TCtlNotebook::FocusFirstOnPage() {
    if (Designing()) return;
    TCustomForm* form = ParentForm();
    TWinControl* target = nullptr;
    if (IsPageSelectable(FActiveIndex)) {
        TCtlTabPage* page = Pages(FActiveIndex);
        target = page->FindNextControl(nullptr, true, true, false);
        if (!target) target = page->FindNextControl(nullptr, true, false, false);
        if (target == page) target = nullptr;
    }
    if (!target || !form) target = this;
    if (form && target != this)
        form->SetActiveControl(target);
    else if (CanFocus())
        SetFocus();
}

void TCtlNotebook::ClickOutward() {
    if (FRows <= 1 || !IsPageSelectable(FActiveIndex)) return;
    const TRect r = Pages(FActiveIndex)->TabRect;
    const int w = (FTabOrientation == toTop || FTabOrientation == toBottom) ? r.Width() : r.Height();
    int x = 0, y = 0;
    switch (FTabOrientation) {
        case toTop:
            x = r.Left + w / 2, y = r.Top - FTabHeight / 2;
            break;
        case toBottom:
            x = r.Left + w / 2, y = r.Bottom + FTabHeight / 2;
            break;
        case toRight:
            x = r.Right + FTabHeight / 2, y = r.Top + w / 2;
            break;
        case toLeft:
            x = r.Left - FTabHeight / 2, y = r.Top + w / 2;
            break;
    }
    MouseDown(TMouseButton::mbLeft, 0, x, y);
}

void TCtlNotebook::KeyCommand(uint16_t Command) {
    enum Act { None, First, Last, Prev, Next, Outward };
    static const Act table[6][4] = {
        // toTop, toRight, toBottom, toLeft
        {First, First, First, First},  // ccHome
        {Last, Last, Last, Last},      // ccEnd
        {Prev, None, Prev, Outward},   // ccLeft
        {Next, Outward, Next, None},   // ccRight
        {Outward, Prev, None, Next},   // ccUp
        {None, Next, Outward, Prev},   // ccDown
    };
    static const uint16_t rowsOf[6] = {entry::ccHome,  entry::ccEnd, entry::ccLeft,
                                       entry::ccRight, entry::ccUp,  entry::ccDown};
    const auto* found = std::find(std::begin(rowsOf), std::end(rowsOf), Command);
    if (found == std::end(rowsOf)) {
        if (Command >= 256) DoUserCommand(Command);
        return;
    }
    const auto row = static_cast<size_t>(found - std::begin(rowsOf));
    int target = -1;
    switch (table[row][FTabOrientation]) {
        case First:
            target = NextSelectablePage(PageCount() - 1);
            break;
        case Last:
            target = PrevSelectablePage(0);
            break;
        case Prev:
            target = PrevSelectablePage(FActiveIndex);
            break;
        case Next:
            target = NextSelectablePage(FActiveIndex);
            break;
        case Outward:
            ClickOutward();
            return;
        case None:
            return;
    }
    if (target != -1) {
        SetPageIndex(target);
        if (CanFocus()) SetFocus();
    }
}

bool TCtlNotebook::DialogChar(TMessage& Message) {
    const int n = PageCount();
    if (!FEnabled || n == 0) return false;
    const auto key = static_cast<uint16_t>(Message.WParam);
    for (int k = 1; k <= n; ++k) {
        const int i = ((FActiveIndex < 0 ? -1 : FActiveIndex) + k + n) % n;
        if (!IsAccel(key, Pages(i)->Caption())) continue;
        if (!IsPageSelectable(i) || !CanFocus()) return false;
        Message.Result = 1;
        if (i == FActiveIndex) {
            SetFocus();
        } else {
            const int before = FActiveIndex;
            SetPageIndex(i);
            FocusFirstOnPage();
            if (FActiveIndex != before) DoTabClick(i);
        }
        return true;
    }
    return false;
}

void TCtlNotebook::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (Button == TMouseButton::mbLeft) {
        for (int i = 0; i < PageCount(); ++i) {
            TCtlTabPage* p = Pages(i);
            if (!InRect(p->TabRect, X, Y)) continue;
            if (i == FActiveIndex) {
                if (CanFocus() && !Designing()) SetFocus();
                DoTabClick(i);
                break;
            }
            if (IsPageSelectable(i)) {
                if (!Designing() && !Focused()) {
                    Perform(WM_CANCELMODE, 0, 0);
                    return;
                }
                const int before = FActiveIndex;
                SetPageIndex(i);
                if (FActiveIndex == before) return;
                FocusFirstOnPage();
                DoTabClick(i);
                break;
            }
            DoTabClick(i);
        }
    }
    TCtlCustomControlEx::MouseDown(Button, Shift, X, Y);
}

void TCtlNotebook::MouseMove(TShiftState Shift, int X, int Y) {
    for (int i = 0; i < PageCount(); ++i)
        if (InRect(Pages(i)->TabRect, X, Y)) {
            DoMouseOverTab(i);
            break;
        }
    TCtlCustomControlEx::MouseMove(Shift, X, Y);
}

void TCtlNotebook::Dispatch(TMessage& Message) {
    switch (Message.Msg) {
        case WM_KEYDOWN: {
            const uint16_t cmd = GetController()->EntryCommands().Translate(Message);
            if (cmd != entry::ccNone) KeyCommand(cmd);
            Message.Result = 0;
            break;
        }
        case CM_DIALOGCHAR:
            if (DialogChar(Message)) return;
            break;
        case WM_ERASEBKGND:
            Message.Result = 1;
            return;
        case WM_GETDLGCODE:
            if (Designing()) {
                Message.Result = DLGC_STATIC;
                return;
            }
            TCtlCustomControlEx::Dispatch(Message);
            Message.Result |= DLGC_WANTARROWS;
            return;
        case WM_MOUSEACTIVATE:
            TCtlCustomControlEx::Dispatch(Message);
            if (!Designing() && Message.LParamHi() == WM_LBUTTONDOWN) {
                TPoint sp{};
                GetCursorPos(&sp);
                const TPoint p = ScreenToClient(sp);
                for (int i = 0; i < PageCount(); ++i)
                    if (Pages(i)->Enabled() && InRect(Pages(i)->TabRect, p.X, p.Y) && CanFocus()) SetFocus();
            }
            return;
        case WM_LBUTTONDOWN:
            // A click on a tab takes the focus first (as the activation does), so that a control
            // that refuses to give it up cancels the click.
            if (!Designing() && !Focused()) {
                const int x = GetXLParam(Message.LParam), y = GetYLParam(Message.LParam);
                for (int i = 0; i < PageCount(); ++i)
                    if (Pages(i)->Enabled() && InRect(Pages(i)->TabRect, x, y) && CanFocus()) {
                        SetFocus();
                        break;
                    }
            }
            break;
        case WM_SETFOCUS:
            TCtlCustomControlEx::Dispatch(Message);
            InvalidateTabArea(FActiveIndex);
            return;
        case WM_KILLFOCUS:
            if (MouseCapture()) SetMouseCapture(false);
            InvalidateTabArea(FActiveIndex);
            break;
        case CM_COLORCHANGED:
            TCtlCustomControlEx::Dispatch(Message);
            if (!IsLoadingNow() && !FSettingColor) {
                FPageUsesTabColor = false;
                if (FTabUseDefaultColor)
                    for (int i = 0; i < PageCount(); ++i) Pages(i)->SetTabColor(FColor);
            }
            return;
        case CM_PARENTCOLORCHANGED:
            TCtlCustomControlEx::Dispatch(Message);
            if (!IsLoadingNow()) Refresh();
            return;
        case CM_FONTCHANGED:
            TCtlCustomControlEx::Dispatch(Message);
            if (!IsLoadingNow() && HandleAllocated()) {
                if (SideTabs()) {
                    CheckSideFont(FFont, true);
                    if (FUseActiveTabFont) CheckSideFont(FActiveTabFont, true);
                }
                Refresh();
            }
            return;
        default:
            break;
    }
    TCtlCustomControlEx::Dispatch(Message);
}

// ---- Painting ----

void TCtlNotebook::Paint() {
    TCanvas& c = Canvas();
    const int W = ClientWidth(), H = ClientHeight();
    if (PageCount() == 0) {
        c.Brush.Color = FColor;
        c.Pen.Color = FColor;
        c.Rectangle(0, 0, W, H);
        if (Designing()) {
            c.Font.Assign(FFont);
            c.TextOut(5, 5, entry::CtlGetMessage(30333));
        }
        return;
    }
    LayoutTabs();
    PlacePages();
    if (FTabHeight > 0) PaintTabs();
}

void TCtlNotebook::PaintTabs() {
    TCanvas& c = Canvas();
    const int W = ClientWidth(), H = ClientHeight(), TH = FTabHeight, rows = std::max(FRows, 1);
    if (FPageUsesTabColor && IsPageSelectable(FActiveIndex)) SetOwnColor(Pages(FActiveIndex)->TabColor());
    const TColor B = FParent ? FParent->Color() : FColor;
    c.Brush.Style = bsSolid;
    c.Brush.Color = B;
    int P = 0;
    switch (FTabOrientation) {
        case toTop:
            P = rows * TH + 2;
            if (!FOldStyle) {
                c.FillRect(Rect(0, 2, W, P));
            } else {
                c.FillRect(Rect(0, 0, 2, P));
                c.FillRect(Rect(W - 2, 0, W, P));
            }
            c.FillRect(Rect(0, 0, W, 2));
            break;
        case toBottom:
            P = H - rows * TH - 2;
            c.FillRect(Rect(0, H - 2, W, H));
            if (!FOldStyle) {
                c.FillRect(Rect(0, P, W, H));
            } else {
                c.FillRect(Rect(0, P, 2, H));
                c.FillRect(Rect(W - 2, P, W, H));
            }
            break;
        case toRight:
            P = W - rows * TH - 2;
            c.FillRect(Rect(W - 2, 0, W, H));
            c.FillRect(Rect(P, 0, W, 2));
            c.FillRect(Rect(P, H - 2, W, H));
            if (!FOldStyle) c.FillRect(Rect(P, 2, W, H));
            break;
        case toLeft:
            P = rows * TH + 2;
            c.FillRect(Rect(0, 0, 2, H));
            if (!FOldStyle) {
                c.FillRect(Rect(0, 0, P, H));
            } else {
                c.FillRect(Rect(0, 0, P, 2));
                c.FillRect(Rect(0, H - 2, P, H));
            }
            break;
    }
    const int n = PageCount();
    auto textHeight = [&](int i) { return TabTextHeight(c, Pages(i)->Font()); };
    // Rows from the outermost (the one after the active row) to the active row against the page.
    for (int k = 0; k < rows; ++k) {
        const int row = (FActiveRow + 1 + k) % rows;
        int run = (FTabOrientation == toLeft) ? H - 2 : 2;
        bool first = true;
        for (int i = 0; i < n; ++i) {
            TCtlTabPage* p = Pages(i);
            if (!PageVisibleForLayout(i) || p->TabRow != row) continue;
            TRect r;
            switch (FTabOrientation) {
                case toTop:
                    r = Rect(run, 2 + k * TH, run + p->TabWidth, 2 + k * TH + TH);
                    run = r.Right;
                    break;
                case toBottom:
                    r = Rect(run, H - 3 - TH - k * TH, run + p->TabWidth, H - 3 - k * TH);
                    run = r.Right;
                    break;
                case toRight:
                    r = Rect(W - 2 - TH - k * TH, run, W - 2 - k * TH, run + p->TabWidth);
                    run = r.Bottom;
                    break;
                case toLeft:
                    r = Rect(2 + k * TH, run - p->TabWidth, 2 + k * TH + TH, run);
                    run = r.Top;
                    break;
            }
            p->TabRect = r;
            const int h = textHeight(i);
            const int d = SideTabs() ? (TH - h) / 2 - 1 : (TH - h) / 2;
            c.Font.Assign(p->Font());
            c.Font.Color = p->TextColor();
            DrawTab(i, r, d, false, FEnabled && p->Enabled(), P);
            // Corner notches in the background colour: in the outermost row plain B, in inner rows the
            // colour just outside the corner (the row painted before), the leading one as the side asks.
            {
                const bool inner = k > 0;
                auto notch = [&](int x, int y, int ox, int oy, const TPoint& A, const TPoint& Bp) {
                    const TColor fill = inner ? c.Pixel(x + ox, y + oy) : B;
                    c.Brush.Color = fill;
                    c.Pen.Color = fill;
                    c.Polygon({Point(x, y), A, Bp});
                };
                switch (FTabOrientation) {
                    case toTop: {
                        const int x0 = r.Left, x1 = r.Right - 1, y = r.Top;
                        if (!inner || !first) notch(x0, y, 0, -1, Point(x0 + 1, y), Point(x0, y + 1));
                        notch(x1, y, 0, -1, Point(x1 - 2, y), Point(x1, y + 2));
                        break;
                    }
                    case toBottom: {
                        const int x0 = r.Left, x1 = r.Right - 1, y = r.Bottom;
                        if (!inner || !first) notch(x0, y, 0, 1, Point(x0 + 1, y), Point(x0, y - 1));
                        notch(x1, y, 0, 1, Point(x1 - 2, y), Point(x1, y - 2));
                        break;
                    }
                    case toRight: {
                        const int x = r.Right, y0 = r.Top, y1 = r.Bottom - 1;
                        if (!inner || first) notch(x, y0, 1, 0, Point(x - 1, y0), Point(x, y0 + 1));
                        notch(x, y1, 1, 0, Point(x, y1 - 2), Point(x - 2, y1));
                        break;
                    }
                    case toLeft: {
                        const int x = r.Left, y0 = r.Top, y1 = r.Bottom;
                        if (!inner || first) notch(x, y1, -1, 0, Point(x, y1 - 2), Point(x + 2, y1));
                        notch(x, y0, -1, 0, Point(x + 1, y0), Point(x, y0 + 1));
                        break;
                    }
                }
            }
            first = false;
        }
    }
    // The active tab again, grown outward and at both ends.
    if (IsPageSelectable(FActiveIndex) ||
        (FActiveIndex >= 0 && FActiveIndex < n && PageVisibleForLayout(FActiveIndex))) {
        TCtlTabPage* p = Pages(FActiveIndex);
        TRect r = p->TabRect;
        r = Rect(r.Left - 2, r.Top - 2, r.Right + 2, r.Bottom + 2);
        switch (FTabOrientation) {
            case toTop:
                r.Bottom -= 2;
                break;
            case toBottom:
                r.Top += 2;
                break;
            case toRight:
                r.Left += 2;
                break;
            case toLeft:
                r.Right -= 2;
                r.Bottom -= 1;
                break;
        }
        const int h = textHeight(FActiveIndex);
        const int d = (TH - h + 2) / 2;
        if (FUseActiveTabFont) {
            c.Font.Assign(FActiveTabFont);
        } else {
            c.Font.Assign(p->Font());
            c.Font.Color = p->TextColor();
        }
        DrawTab(FActiveIndex, r, d, true, FEnabled && p->Enabled(), P);
        c.Brush.Color = p->TabColor();
        c.Pen.Color = p->TabColor();
        if (Focused() && IsPageSelectable(FActiveIndex)) {
            TRect f = GetTabTextRect(FActiveIndex);
            switch (FTabOrientation) {
                case toTop:
                    f = Rect(f.Left - 4, f.Top - 2, f.Right + 4, f.Bottom - 2);
                    break;
                case toBottom:
                    f = Rect(f.Left - 4, f.Top + 2, f.Right + 4, f.Bottom - 3);
                    break;
                case toRight:
                    f = Rect(f.Left + 1, f.Top - 4, f.Right + 2, f.Bottom + 4);
                    break;
                case toLeft:
                    f = Rect(f.Left + 4, f.Top - 4, f.Right - 1, f.Bottom + 4);
                    break;
            }
            c.DrawFocusRect(f);
        }
        if (SideTabs()) {
            c.Font.Assign(FFont);
            c.Brush.Color = FColor;
            c.Pen.Color = FColor;
        }
    }
}

void TCtlNotebook::DrawTab(int Index, const TRect& R, int Inset, bool Active, bool Enabled, int P) {
    TCanvas& c = Canvas();
    TCtlTabPage* page = Pages(Index);
    const int W = ClientWidth(), H = ClientHeight();
    const int L = R.Left, T = R.Top, Rt = R.Right, Bt = R.Bottom;
    const TColor tab = page->TabColor();
    c.Brush.Style = bsSolid;
    c.Brush.Color = tab;
    c.Pen.Color = tab;
    auto line = [&](TColor Color, std::vector<TPoint> Points) {
        c.Pen.Color = Color;
        c.Polyline(Points);
    };
    auto pixel = [&](int X, int Y, TColor Color) { c.SetPixel(X, Y, Color); };
    switch (FTabOrientation) {
        case toTop:
            c.Polygon({Point(L, P), Point(L, T + 2), Point(L + 2, T), Point(Rt - 4, T), Point(Rt - 2, T + 2),
                       Point(Rt - 2, P)});
            line(FHighlightColor, {Point(L, P - 1), Point(L, T + 2), Point(L + 2, T), Point(Rt - 2, T)});
            line(clBlack, {Point(Rt - 2, T + 1), Point(Rt - 1, T + 2), Point(Rt - 1, P)});
            line(FShadowColor, {Point(Rt - 2, T + 2), Point(Rt - 2, P)});
            if (Active) {
                c.Pen.Color = FColor;
                c.Brush.Color = tab;
                c.Rectangle(L, P, Rt, P + 1);
                line(FHighlightColor, {Point(L, P), Point(0, P), Point(0, H - 1)});
                line(FHighlightColor, {Point(Rt - 1, P), Point(W - 2, P)});
                line(clBlack, {Point(0, H - 1), Point(W - 1, H - 1), Point(W - 1, P - 1)});
                line(FShadowColor, {Point(1, H - 2), Point(W - 2, H - 2), Point(W - 2, P - 1)});
            }
            break;
        case toBottom:
            c.Polygon({Point(L + 1, P), Point(L + 1, Bt - 2), Point(L + 3, Bt - 1), Point(Rt - 3, Bt - 1),
                       Point(Rt - 1, Bt - 3), Point(Rt - 1, P)});
            line(FHighlightColor, {Point(L, P + 1), Point(L, Bt - 2)});
            line(clBlack, {Point(Rt - 1, P), Point(Rt - 1, Bt - 2), Point(Rt - 3, Bt), Point(L + 2, Bt),
                           Point(L, Bt - 2)});
            line(FShadowColor, {Point(Rt - 2, P), Point(Rt - 2, Bt - 2), Point(Rt - 3, Bt - 1),
                                Point(L + 2, Bt - 1), Point(L, Bt - 2)});
            if (Active) {
                c.Pen.Color = FColor;
                c.Brush.Color = tab;
                c.Rectangle(L, P - 1, Rt, P);
                line(clBlack, {Point(L - 1, P), Point(0, P)});
                line(clBlack, {Point(W - 1, 0), Point(W - 1, P), Point(Rt - 2, P)});
                line(FShadowColor, {Point(L - 1, P - 1), Point(0, P - 1)});
                line(FShadowColor, {Point(W - 2, 1), Point(W - 2, P - 1), Point(Rt - 2, P - 1)});
                pixel(W - 2, P - 1, FShadowColor);
                line(FHighlightColor, {Point(0, P), Point(0, 0), Point(W, 0)});
                line(FHighlightColor, {Point(L, P), Point(L, Bt)});
                pixel(L + 1, P, FColor);
            }
            break;
        case toRight:
            c.Polygon({Point(P + 1, T), Point(Rt - 2, T), Point(Rt - 1, T + 2), Point(Rt - 1, Bt - 3),
                       Point(Rt - 2, Bt - 1), Point(P + 1, Bt - 1)});
            line(FHighlightColor, {Point(P + 1, T), Point(Rt - 2, T), Point(Rt, T + 2)});
            line(clBlack, {Point(Rt, T + 2), Point(Rt, Bt - 2), Point(Rt - 1, Bt - 2), Point(Rt - 2, Bt - 1),
                           Point(P, Bt - 1)});
            line(FShadowColor,
                 {Point(Rt - 1, T + 2), Point(Rt - 1, Bt - 3), Point(Rt - 2, Bt - 2), Point(P, Bt - 2)});
            if (Active) {
                c.Pen.Color = FColor;
                c.Brush.Color = tab;
                c.Rectangle(P - 1, T, P + 1, Bt);
                line(clBlack, {Point(P, 0), Point(P, T)});
                line(clBlack, {Point(P, Bt - 1), Point(P, H)});
                line(clBlack, {Point(0, H - 1), Point(P, H - 1)});
                line(FShadowColor, {Point(P - 1, 0), Point(P - 1, T - 1)});
                line(FShadowColor, {Point(P - 1, Bt), Point(P - 1, H - 1)});
                line(FShadowColor, {Point(1, H - 2), Point(P + 1, H - 2)});
                line(FHighlightColor, {Point(0, H - 1), Point(0, 0), Point(P + 1, 0)});
            }
            break;
        case toLeft: {
            c.Polygon({Point(L + 2, T + 1), Point(P, T + 1), Point(P, Bt - 1), Point(L + 2, Bt - 1),
                       Point(L, Bt - 2), Point(L, T + 2)});
            line(FHighlightColor, {Point(L, Bt - 2), Point(L, T + 2), Point(L + 2, T), Point(P, T)});
            const int D = (!Active && Bt != ClientHeight() - 2) ? Bt - 1 : Bt;
            line(clBlack, {Point(L, D - 2), Point(L + 2, D), Point(P, D)});
            line(FShadowColor, {Point(L + 1, D - 2), Point(L + 2, D - 1), Point(P, D - 1)});
            if (Active) {
                c.Pen.Color = FColor;
                c.Brush.Color = tab;
                c.Rectangle(P - 1, T, P + 2, Bt);
                line(clBlack, {Point(P, H - 1), Point(W - 1, H - 1), Point(W - 1, 0)});
                line(FShadowColor, {Point(P, H - 2), Point(W - 2, H - 2), Point(W - 2, 0)});
                line(FHighlightColor, {Point(P, Bt), Point(P, H - 1)});
                line(FHighlightColor, {Point(P - 1, T), Point(P, T), Point(P, 0), Point(W, 0)});
            }
            break;
        }
    }
    c.Brush.Color = tab;
    DrawCaption(Index, R, Inset, Enabled);
}

void TCtlNotebook::DrawCaption(int Index, const TRect& R, int Inset, bool Enabled) {
    TCanvas& c = Canvas();
    TCtlTabPage* page = Pages(Index);
    const int W = ClientWidth(), H = ClientHeight();
    const bool active = Index == FActiveIndex;
    if (DoDrawTab(Index, page->Caption(), Enabled, active)) return;
    const TColor fontColor = c.Font.Color;
    const int h = c.TextHeight(entry::CtlGetMessage(30282));
    if (h > FTabHeight - 4) return;
    const TColor tab = c.Brush.Color;
    if (!SideTabs()) {
        TRect cr = Rect(R.Left + 6, R.Top + Inset, R.Right - 6, R.Bottom - Inset);
        if (cr.Right > W - 2) cr.Right = W - 14;
        HDC dc = c.Handle();
        auto draw = [&](TColor Color, bool Opaque, int Dx, int Dy) {
            c.Font.Color = Color;
            TRect rr = Rect(cr.Left + Dx, cr.Top + Dy, cr.Right + Dx, cr.Bottom + Dy);
            dc = c.Handle();
            c.TextWidth("W");  // selects the font into the context
            SetTextColor(dc, ColorToRGB(Color));
            SetBkColor(dc, ColorToRGB(tab));
            SetBkMode(dc, Opaque ? OPAQUE : TRANSPARENT);
            DrawText(dc, page->Caption(), rr, DT_SINGLELINE | DT_CENTER);
        };
        if (!Enabled) {
            draw(FHighlightColor, true, 0, 0);
            draw(FShadowColor, false, -2, -1);
        } else if (FShadowedText) {
            draw(FTextShadowColor, true, 0, 0);
            draw(fontColor, false, -2, -1);
        } else {
            draw(fontColor, true, 0, 0);
        }
        c.Font.Color = fontColor;
        return;
    }
    // Side tabs: the caption turned. The first "&" goes and marks the character after it, unless it is
    // doubled ("&&" stands for one "&" and marks nothing).
    std::string text = page->Caption();
    size_t mark = std::string::npos;
    if (size_t amp = text.find('&'); amp != std::string::npos) {
        text.erase(amp, 1);
        if (amp < text.size() && text[amp] != '&') mark = amp;
    }
    if (text.empty()) text = " ";
    TFont turned;
    turned.Assign(c.Font);
    ApplyFont(c, turned);
    const int length = R.Height() - 12;
    const int cw = c.TextWidth(text);
    const int o = cw < length ? (length - cw) / 2 : 0;
    (void)H;
    auto out = [&](TColor Color, bool Opaque, int X, int Y) {
        c.Font.Color = Color;
        c.Brush.Style = Opaque ? bsSolid : bsClear;
        c.TextOut(X, Y, text);
        c.Brush.Style = bsSolid;
    };
    const int d = Inset;
    // The marked character's place along the text: the width before it and its own width (one UTF-8
    // character).
    int pw = 0, mw = 0;
    if (mark != std::string::npos) {
        size_t end = mark + 1;
        while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) ++end;
        pw = c.TextWidth(text.substr(0, mark));
        mw = c.TextWidth(text.substr(mark, end - mark));
    }
    const int th = c.TextHeight(text);
    const int shift = !Enabled ? 1 : (FShadowedText ? 2 : 0);
    const int gap = (!Enabled || FShadowedText) ? 5 : 6;
    auto underline = [&](int X, int Y0, int Y1) {
        if (mark == std::string::npos) return;
        c.Pen.Color = fontColor;
        c.Polyline({Point(X, Y0), Point(X, Y1)});
    };
    if (FTabOrientation == toLeft) {
        const int x = R.Left + d, y = R.Bottom - o - 6;
        if (!Enabled) {
            out(FHighlightColor, true, x - 1, y);
            out(FShadowColor, false, x, y + 2);
        } else if (FShadowedText) {
            out(FTextShadowColor, true, x, y);
            out(fontColor, false, x + 2, y + 1);
        } else {
            out(fontColor, true, x, y);
        }
        underline(R.Left + d + th - 1 + shift, R.Bottom - pw - o - gap, R.Bottom - pw - o - mw - gap);
    } else {
        const int x = R.Right - d, y = R.Top + o + 6;
        if (!Enabled) {
            out(FHighlightColor, true, x + 1, y);
            out(FShadowColor, false, x, y - 2);
        } else if (FShadowedText) {
            out(FTextShadowColor, true, x, y);
            out(fontColor, false, x - 2, y - 1);
        } else {
            out(fontColor, true, x, y);
        }
        underline(R.Right - d - (th - 1) - shift, R.Top + pw + o + gap, R.Top + pw + o + mw + gap);
    }
    c.Font.Color = fontColor;
}

}  // namespace grid
