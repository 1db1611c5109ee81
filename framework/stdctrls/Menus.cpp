#include "framework/stdctrls/Menus.h"

#include <QAction>
#include <QPainter>
#include <algorithm>
#include <map>

#include "framework/graphics/GdiImpl.h"
#include "framework/ui/WindowsImpl.h"

#include "framework/core/Exception.h"
#include "framework/core/SysUtils.h"
#include "framework/ui/Forms.h"
#include "framework/ui/Windows.h"

namespace framework {

namespace {
TMenuTracker gTracker;

struct TKeyName {
    uint16_t Key;
    const char* Name;
};
// Names of the keys that are not a letter or digit, as shortcut texts show them.
constexpr TKeyName kKeyNames[] = {
    {VK_BACK, "BkSp"},  {VK_TAB, "Tab"},     {VK_RETURN, "Enter"}, {VK_ESCAPE, "Esc"}, {VK_SPACE, "Space"},
    {VK_PRIOR, "PgUp"}, {VK_NEXT, "PgDn"},   {VK_END, "End"},      {VK_HOME, "Home"},  {VK_LEFT, "Left"},
    {VK_UP, "Up"},      {VK_RIGHT, "Right"}, {VK_DOWN, "Down"},    {VK_INSERT, "Ins"}, {VK_DELETE, "Del"},
};

std::string KeyName(uint16_t Key) {
    if ((Key >= '0' && Key <= '9') || (Key >= 'A' && Key <= 'Z'))
        return std::string(1, static_cast<char>(Key));
    if (Key >= VK_F1 && Key <= VK_F1 + 23) return "F" + std::to_string(Key - VK_F1 + 1);
    for (const TKeyName& k : kKeyNames)
        if (k.Key == Key) return k.Name;
    return "";
}
}  // namespace

TShortCut ShortCut(uint16_t Key, TShiftState Shift) {
    if (Key & 0xFF00) return 0;
    TShortCut s = Key;
    if (Shift & ssShift) s |= scShift;
    if (Shift & ssCtrl) s |= scCtrl;
    if (Shift & ssAlt) s |= scAlt;
    return s;
}

void ShortCutToKey(TShortCut S, uint16_t& Key, TShiftState& Shift) {
    Key = S & 0xFF;
    Shift = 0;
    if (S & scShift) Shift |= ssShift;
    if (S & scCtrl) Shift |= ssCtrl;
    if (S & scAlt) Shift |= ssAlt;
}

std::string ShortCutToText(TShortCut S) {
    std::string name = KeyName(S & 0xFF);
    if (name.empty()) return "";
    std::string r;
    if (S & scShift) r += "Shift+";
    if (S & scCtrl) r += "Ctrl+";
    if (S & scAlt) r += "Alt+";
    return r + name;
}

TShortCut TextToShortCut(const std::string& Text) {
    std::string rest = Text;
    TShortCut shift = 0;
    for (;;) {
        std::string up = UpperCase(rest);
        if (up.rfind("SHIFT+", 0) == 0) {
            shift |= scShift;
            rest.erase(0, 6);
        } else if (up.rfind("CTRL+", 0) == 0) {
            shift |= scCtrl;
            rest.erase(0, 5);
        } else if (up.rfind("ALT+", 0) == 0) {
            shift |= scAlt;
            rest.erase(0, 4);
        } else {
            break;
        }
    }
    if (rest.empty()) return 0;
    for (uint16_t key = 1; key < 0x100; ++key) {
        std::string name = KeyName(key);
        if (!name.empty() && CompareText(name, rest) == 0) return static_cast<TShortCut>(key | shift);
    }
    return 0;
}

std::string StripHotkey(const std::string& Text) {
    std::string r;
    for (size_t i = 0; i < Text.size(); ++i) {
        if (Text[i] == '&') {
            if (i + 1 < Text.size() && Text[i + 1] == '&') {
                r += '&';
                ++i;
            }
            continue;
        }
        r += Text[i];
    }
    return r;
}

// ---------------------------------------------------------------------------------------------

TMenuItem::TMenuItem(TComponent* AOwner) : TComponent(AOwner) {}

void ForgetOpenMenus(const TMenu* Menu, const TMenuItem* Item);

TMenuItem::~TMenuItem() {
    ForgetOpenMenus(nullptr, this);
    if (FParent) FParent->Remove(this);
    Clear();
}

TMenuItem* TMenuItem::Items(int Index) const {
    if (Index < 0 || Index >= Count()) throw EMenuError("Menu index out of range");
    return FItems[static_cast<size_t>(Index)];
}

void TMenuItem::Add(TMenuItem* Item) {
    Insert(Count(), Item);
}

void TMenuItem::Insert(int Index, TMenuItem* Item) {
    if (!Item) return;
    if (Item->FParent) throw EMenuError("Menu inserted twice");
    if (Index < 0 || Index > Count()) throw EMenuError("Menu index out of range");
    for (const TMenuItem* p = this; p; p = p->FParent)
        if (p == Item) throw EMenuError("Menu inserted twice");
    FItems.insert(FItems.begin() + Index, Item);
    Item->FParent = this;
}

void TMenuItem::Remove(TMenuItem* Item) {
    auto it = std::find(FItems.begin(), FItems.end(), Item);
    if (it == FItems.end()) return;
    FItems.erase(it);
    Item->FParent = nullptr;
}

void TMenuItem::Delete(int Index) {
    TMenuItem* item = Items(Index);
    Remove(item);
    item->Free();
}

void TMenuItem::Clear() {
    while (!FItems.empty()) Delete(Count() - 1);
}

int TMenuItem::IndexOf(const TMenuItem* Item) const {
    auto it = std::find(FItems.begin(), FItems.end(), Item);
    return it == FItems.end() ? -1 : static_cast<int>(it - FItems.begin());
}

void TMenuItem::SetChecked(bool Value) {
    Checked = Value;
    if (Value && RadioItem && FParent)
        for (TMenuItem* s : FParent->FItems)
            if (s != this && s->RadioItem && s->GroupIndex == GroupIndex) s->Checked = false;
}

TMenuItem* TMenuItem::FindShortCut(TShortCut S) const {
    for (TMenuItem* i : FItems) {
        if (i->ShortCut == S) return i;
        if (TMenuItem* f = i->FindShortCut(S)) return f;
    }
    return nullptr;
}

void TMenuItem::Click() {
    if (Enabled && OnClick) OnClick(this);
}

// ---------------------------------------------------------------------------------------------

TMenu::TMenu(TComponent* AOwner) : TComponent(AOwner), FItems(std::make_unique<TMenuItem>(nullptr)) {}
TMenu::~TMenu() {
    ForgetOpenMenus(this, nullptr);
}

bool TMenu::IsShortCut(TMessage& Message) {
    TShiftState shift = KeyboardStateToShiftState() & (ssShift | ssCtrl | ssAlt);
    if (KeyDataToShiftState(static_cast<uint32_t>(Message.LParam)) & ssAlt) shift |= ssAlt;
    TShortCut s = ShortCut(static_cast<uint16_t>(Message.WParam & 0xFFFF), shift);
    if (s == 0) return false;
    TMenuItem* item = FItems->FindShortCut(s);
    if (!item) return false;
    // A shortcut works while its item and every item above it are enabled; hidden items keep
    // their shortcuts (menus use them for keys that have no place on the bar).
    for (TMenuItem* p = item; p && p != FItems.get(); p = p->Parent())
        if (!p->Enabled) return false;
    item->Click();
    return true;
}

// ---------------------------------------------------------------------------------------------

TPopupMenu::TPopupMenu(TComponent* AOwner) : TMenu(AOwner) {}

void TPopupMenu::Notification(TComponent* AComponent, TOperation Operation) {
    TMenu::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == PopupComponent) PopupComponent = nullptr;
}

void OpenMenuAt(TMenu& Menu, TMenuItem& Items, TPoint At);
void OpenBarMenu(TMainMenu& Menu, int Index, bool DropDown, bool InitClick = true);

void TMenu::Track(TMenuItem& Items, TPoint At) {
    TMenuItem* chosen = nullptr;
    if (gTracker && gTracker(*this, Items, At, chosen)) {
        if (chosen) chosen->Click();
        return;
    }
    // On screen: the menu stays open after this returns; the item chosen is clicked then.
    OpenMenuAt(*this, Items, At);
}

// ---------------------------------------------------------------------------------------------
// Menus on screen

namespace {
constexpr int kItemHeight = 19;   // a menu row, pixels
constexpr int kLineHeight = 9;    // a separator row
constexpr int kMarkWidth = 20;    // the column of check and radio marks
constexpr int kArrowWidth = 16;   // the column of the sub-menu arrow
constexpr int kShortCutGap = 24;  // between the caption and its shortcut text
constexpr int kFrame = 3;         // raised frame around a menu
constexpr int kBarPadding = 7;    // each side of a caption on the bar

bool Selectable(const TMenuItem* Item) {
    return Item->Visible && !Item->IsLine();
}

// A drop-down or popup menu: a top-level window without frame that draws the items of one item.
class TMenuWindow : public TCustomControl {
public:
    TMenuWindow(TMenuItem* Items) : TCustomControl(nullptr), FItems(Items) {
        SetColor(clMenu);
        ControlStyle |= csOpaque;
    }
    TMenuItem* ItemsShown() const { return FItems; }
    int Selected = -1;

    // Rows of the menu: the top of each item's row (client coordinates), -1 for a hidden one.
    TRect ItemRect(int Index) {
        int y = kFrame;
        for (int i = 0; i < FItems->Count(); ++i) {
            TMenuItem* it = FItems->Items(i);
            if (!it->Visible) continue;
            int h = it->IsLine() ? kLineHeight : kItemHeight;
            if (i == Index) return TRect{kFrame, y, ClientWidth() - kFrame, y + h};
            y += h;
        }
        return TRect{};
    }
    int ItemAt(int X, int Y) {
        for (int i = 0; i < FItems->Count(); ++i) {
            TRect r = ItemRect(i);
            if (!r.IsEmpty() && X >= r.Left && X < r.Right && Y >= r.Top && Y < r.Bottom) return i;
        }
        return -1;
    }
    TSize Measure() {
        int h = 2 * kFrame, cap = 0, sc = 0;
        for (int i = 0; i < FItems->Count(); ++i) {
            TMenuItem* it = FItems->Items(i);
            if (!it->Visible) continue;
            h += it->IsLine() ? kLineHeight : kItemHeight;
            if (it->IsLine()) continue;
            cap = std::max(cap, Canvas().TextWidth(StripHotkey(it->Caption)));
            if (it->ShortCut) sc = std::max(sc, Canvas().TextWidth(ShortCutToText(it->ShortCut)));
        }
        int w = 2 * kFrame + kMarkWidth + cap + (sc ? kShortCutGap + sc : 0) + kArrowWidth;
        return TSize{std::max(w, 60), h};
    }
    void Select(int Index) {
        if (Index == Selected) return;
        Selected = Index;
        Invalidate();
    }

protected:
    void CreateParams(TCreateParams& P) override {
        TCustomControl::CreateParams(P);
        P.Style = WS_POPUP;
        P.ExStyle = WS_EX_NOACTIVATE | WS_EX_TOPMOST;
    }
    void Paint() override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;

private:
    TMenuItem* FItems;
};

// What is open: the form whose bar is in use (with the bar item selected), and the chain of
// menu windows, outermost first.
struct TMenuState {
    TCustomForm* Form = nullptr;
    TMainMenu* Bar = nullptr;
    int BarIndex = -1;
    TMenu* Owner = nullptr;
    std::vector<std::unique_ptr<TMenuWindow>> Windows;
    // Menus closed while their own input may still be on the way (a press that chose an item is
    // followed by its release): hidden now, freed once the pending messages have run.
    std::vector<std::unique_ptr<TMenuWindow>> Closed;
    HWND Sweeper = 0;
    bool AltAlone = false;  // Alt is down and no other key came since
};
TMenuState& MS() {
    static TMenuState s;
    return s;
}

void RepaintBar() {
    auto& s = MS();
    if (s.Form && s.Form->HandleAllocated()) UpdateTopBand(s.Form->Handle());
}

void FreeClosed() {
    auto& s = MS();
    std::vector<std::unique_ptr<TMenuWindow>> closed = std::move(s.Closed);
    for (auto& w : closed) w.release()->Free();
}

void CloseFrom(size_t Level) {
    auto& s = MS();
    bool any = false;
    while (s.Windows.size() > Level) {
        std::unique_ptr<TMenuWindow> w = std::move(s.Windows.back());
        s.Windows.pop_back();
        if (w->HandleAllocated()) ShowWindowRecord(w->Handle(), false);
        s.Closed.push_back(std::move(w));
        any = true;
    }
    if (!any) return;
    if (!s.Sweeper)
        s.Sweeper = AllocateHWnd([](TMessage& M) {
            if (M.Msg == WM_USER) FreeClosed();
        });
    PostMessage(s.Sweeper, WM_USER, 0, 0);
}

void ShowMenuWindow(TMenuItem& Items, TPoint At) {
    auto& s = MS();
    auto w = std::make_unique<TMenuWindow>(&Items);
    TSize size = w->Measure();
    // Keep the menu on the screen: flip left or up when it would leave it.
    int sw = Screen ? Screen->Width() : 1024, sh = Screen ? Screen->Height() : 768;
    int x = At.X + size.cx > sw ? std::max(0, sw - size.cx) : At.X;
    int y = At.Y + size.cy > sh ? std::max(0, sh - size.cy) : At.Y;
    w->SetBounds(x, y, size.cx, size.cy);
    w->HandleNeeded();
    ShowWindowRecord(w->Handle(), true);
    RaiseWindowRecord(w->Handle());
    w->Invalidate();
    s.Windows.push_back(std::move(w));
}

TMenuWindow* Top() {
    auto& s = MS();
    return s.Windows.empty() ? nullptr : s.Windows.back().get();
}

// Opens the sub-menu of the item selected in the innermost menu.
void OpenSubMenu(bool SelectFirst) {
    TMenuWindow* w = Top();
    if (!w || w->Selected < 0) return;
    TMenuItem* item = w->ItemsShown()->Items(w->Selected);
    if (item->Count() == 0 || !item->Enabled) return;
    if (item->OnClick) item->OnClick(item);
    TRect r = w->ItemRect(w->Selected);
    ShowMenuWindow(*item, w->ClientToScreen(TPoint{r.Right, r.Top - kFrame}));
    if (SelectFirst) {
        TMenuWindow* sub = Top();
        for (int i = 0; i < item->Count(); ++i)
            if (Selectable(item->Items(i))) {
                sub->Select(i);
                break;
            }
    }
}

void Choose(TMenuItem* Item) {
    CloseMenus();
    Item->Click();
}

// Enter or an accelerator on an item of the innermost menu.
void Activate(int Index) {
    TMenuWindow* w = Top();
    if (!w || Index < 0) return;
    w->Select(Index);
    TMenuItem* item = w->ItemsShown()->Items(Index);
    if (item->Count() > 0)
        OpenSubMenu(true);
    else if (item->Enabled)
        Choose(item);
}

int NextBarIndex(TMainMenu& Bar, int From, int Step) {
    int n = Bar.Items()->Count();
    if (n == 0) return -1;
    int i = From;
    for (int k = 0; k < n; ++k) {
        i = ((i + Step) % n + n) % n;
        if (Bar.Items()->Items(i)->Visible) return i;
    }
    return -1;
}

int NextItem(TMenuWindow& W, int Step) {
    TMenuItem* items = W.ItemsShown();
    int n = items->Count();
    if (n == 0) return -1;
    int i = W.Selected < 0 ? (Step > 0 ? -1 : n) : W.Selected;
    for (int k = 0; k < n; ++k) {
        i = ((i + Step) % n + n) % n;
        if (Selectable(items->Items(i))) return i;
    }
    return -1;
}

void TMenuWindow::Paint() {
    TCanvas& c = Canvas();
    int w = ClientWidth(), h = ClientHeight();
    c.Brush.Color = clMenu;
    c.FillRect(TRect{0, 0, w, h});
    // Raised frame: light top-left, dark bottom-right.
    c.Pen.Color = clBtnHighlight;
    c.MoveTo(0, h - 1);
    c.LineTo(0, 0);
    c.LineTo(w - 1, 0);
    c.Pen.Color = clBtnShadow;
    c.MoveTo(w - 2, 1);
    c.LineTo(w - 2, h - 2);
    c.LineTo(0, h - 2);
    c.Pen.Color = clBlack;
    c.MoveTo(w - 1, 0);
    c.LineTo(w - 1, h - 1);
    c.LineTo(-1, h - 1);
    for (int i = 0; i < FItems->Count(); ++i) {
        TMenuItem* it = FItems->Items(i);
        TRect r = ItemRect(i);
        if (r.IsEmpty()) continue;
        if (it->IsLine()) {
            int y = r.Top + kLineHeight / 2;
            c.Pen.Color = clBtnShadow;
            c.MoveTo(r.Left + 1, y - 1);
            c.LineTo(r.Right - 1, y - 1);
            c.Pen.Color = clBtnHighlight;
            c.MoveTo(r.Left + 1, y);
            c.LineTo(r.Right - 1, y);
            continue;
        }
        bool sel = i == Selected;
        TColor text = !it->Enabled ? clGrayText : sel ? clHighlightText : clMenuText;
        c.Brush.Color = sel ? clHighlight : clMenu;
        c.FillRect(r);
        c.Brush.Style = bsClear;
        c.Font.Color = text;
        int ty = r.Top + (kItemHeight - c.TextHeight("Wg")) / 2;
        c.TextOut(r.Left + kMarkWidth, ty, StripHotkey(it->Caption));
        if (it->ShortCut) {
            std::string sc = ShortCutToText(it->ShortCut);
            c.TextOut(r.Right - kArrowWidth - c.TextWidth(sc), ty, sc);
        }
        c.Brush.Style = bsSolid;
        c.Pen.Color = text;
        c.Brush.Color = text;
        int my = r.Top + kItemHeight / 2;
        if (it->Checked && it->RadioItem) {
            c.Ellipse(r.Left + 6, my - 3, r.Left + 13, my + 4);
        } else if (it->Checked) {
            // A tick: two strokes, three pixels thick.
            for (int d = 0; d < 3; ++d) {
                c.MoveTo(r.Left + 5, my - 1 + d);
                c.LineTo(r.Left + 8, my + 2 + d);
                c.LineTo(r.Left + 14, my - 4 + d);
            }
        }
        if (it->Count() > 0) {
            int ax = r.Right - 10;
            c.Polygon({TPoint{ax, my - 4}, TPoint{ax + 4, my}, TPoint{ax, my + 4}});
        }
        // Underline of the accelerator.
        size_t amp = it->Caption.find('&');
        while (amp != std::string::npos && amp + 1 < it->Caption.size() && it->Caption[amp + 1] == '&')
            amp = it->Caption.find('&', amp + 2);
        if (amp != std::string::npos && amp + 1 < it->Caption.size()) {
            std::string before = StripHotkey(it->Caption.substr(0, amp));
            int x0 = r.Left + kMarkWidth + c.TextWidth(before);
            int x1 = x0 + c.TextWidth(std::string(1, it->Caption[amp + 1]));
            int uy = ty + c.TextHeight("Wg") - 1;
            c.Pen.Color = text;
            c.MoveTo(x0, uy);
            c.LineTo(x1, uy);
        }
    }
}

void TMenuWindow::MouseMove(TShiftState, int X, int Y) {
    int i = ItemAt(X, Y);
    if (i < 0 || i == Selected || !Selectable(FItems->Items(i))) return;
    auto& s = MS();
    // Moving into an outer menu closes the sub-menus below it.
    for (size_t l = 0; l < s.Windows.size(); ++l)
        if (s.Windows[l].get() == this) CloseFrom(l + 1);
    Select(i);
    if (FItems->Items(i)->Count() > 0) OpenSubMenu(false);
}

void TMenuWindow::MouseUp(TMouseButton, TShiftState, int X, int Y) {
    int i = ItemAt(X, Y);
    if (i < 0 || i != Selected) return;
    TMenuItem* item = FItems->Items(i);
    if (Selectable(item) && item->Count() == 0 && item->Enabled) Choose(item);
}

// A press while menus are open: on a menu, its item; on the bar, the bar's own handling; anywhere
// else, the menus close and the press is eaten (as the platform's menus do).
bool MenuMouseDown(HWND Wnd, int X, int Y) {
    auto& s = MS();
    if (!MenuActive()) return false;
    for (size_t l = 0; l < s.Windows.size(); ++l) {
        TMenuWindow* w = s.Windows[l].get();
        if (!w->HandleAllocated() || w->Handle() != Wnd) continue;
        int i = w->ItemAt(X, Y);
        if (i < 0) return true;
        TMenuItem* item = w->ItemsShown()->Items(i);
        if (!Selectable(item)) return true;
        // The press selects (and opens a sub-menu); the release on the item chooses it.
        CloseFrom(l + 1);
        s.Windows[l]->Select(i);
        if (item->Count() > 0) OpenSubMenu(false);
        return true;
    }
    if (s.Form && s.Form->HandleAllocated() && Wnd == s.Form->Handle() && Y < 0) return false;
    CloseMenus();
    return true;
}

struct TMouseInstaller {
    TMouseInstaller() { AddMouseDownFilter(MenuMouseDown); }
} gMouseInstaller;
}  // namespace

void OpenMenuAt(TMenu& Menu, TMenuItem& Items, TPoint At) {
    CloseMenus();
    MS().Owner = &Menu;
    ShowMenuWindow(Items, At);
}

void OpenBarMenu(TMainMenu& Menu, int Index, bool DropDown, bool InitClick) {
    auto& s = MS();
    auto* form = dynamic_cast<TCustomForm*>(Menu.Owner());
    if (!form || Index < 0) return;
    CloseFrom(0);
    s.Form = form;
    s.Bar = &Menu;
    s.Owner = &Menu;
    s.BarIndex = Index;
    RepaintBar();
    if (!DropDown) return;
    TMenuItem* bar = Menu.Items()->Items(Index);
    if (bar->Count() == 0 || !bar->Enabled) return;
    if (InitClick && bar->OnClick) bar->OnClick(bar);
    TRect r = Menu.BarItemRect(Index);
    ShowMenuWindow(*bar, form->ClientToScreen(TPoint{r.Left, r.Bottom - form->MenuHeight()}));
}

// A menu or item being freed while it is open: the menus close without repainting anything
// (the form under them may be going too) and nothing is clicked.
void ForgetOpenMenus(const TMenu* Menu, const TMenuItem* Item) {
    auto& s = MS();
    if (!MenuActive()) return;
    bool involved = Menu && (s.Owner == Menu || s.Bar == Menu);
    for (auto& w : s.Windows)
        if (Item && w->ItemsShown() == Item) involved = true;
    if (Item && MenuBarSelection() == Item) involved = true;
    if (!involved) return;
    CloseFrom(0);
    s.BarIndex = -1;
    s.Form = nullptr;
    s.Bar = nullptr;
    s.Owner = nullptr;
}

bool MenuActive() {
    auto& s = MS();
    return s.BarIndex >= 0 || !s.Windows.empty();
}

TMenuItem* MenuBarSelection() {
    auto& s = MS();
    if (!s.Bar || s.BarIndex < 0 || s.BarIndex >= s.Bar->Items()->Count()) return nullptr;
    return s.Bar->Items()->Items(s.BarIndex);
}

std::vector<TMenuItem*> OpenMenus() {
    std::vector<TMenuItem*> r;
    for (auto& w : MS().Windows) r.push_back(w->ItemsShown());
    return r;
}

TWinControl* OpenMenuWindow(int Level) {
    auto& s = MS();
    if (Level < 0 || static_cast<size_t>(Level) >= s.Windows.size()) return nullptr;
    return s.Windows[static_cast<size_t>(Level)].get();
}

TRect OpenMenuItemRect(int Level, int Index) {
    auto& s = MS();
    if (Level < 0 || static_cast<size_t>(Level) >= s.Windows.size()) return TRect{};
    return s.Windows[static_cast<size_t>(Level)]->ItemRect(Index);
}

int OpenMenuSelection(int Level) {
    auto& s = MS();
    if (Level < 0 || static_cast<size_t>(Level) >= s.Windows.size()) return -1;
    return s.Windows[static_cast<size_t>(Level)]->Selected;
}

void CloseMenus() {
    auto& s = MS();
    if (!MenuActive()) FreeClosed();  // nothing open: what was closed can go now
    CloseFrom(0);
    bool bar = s.BarIndex >= 0;
    s.BarIndex = -1;
    if (bar) RepaintBar();
    s.Form = nullptr;
    s.Bar = nullptr;
    s.Owner = nullptr;
}

bool MenuKeyFilter(TMessage& M, HWND Wnd) {
    auto& s = MS();
    bool down = M.Msg == WM_KEYDOWN || M.Msg == WM_SYSKEYDOWN;
    bool up = M.Msg == WM_KEYUP || M.Msg == WM_SYSKEYUP;
    int key = static_cast<int>(M.WParam);
    if (!MenuActive()) {
        if (down) s.AltAlone = key == VK_MENU;
        TCustomForm* form = nullptr;
        if (TWinControl* c = FindControl(Wnd)) form = GetParentForm(c);
        if (!form) form = dynamic_cast<TCustomForm*>(FindControl(Wnd));
        bool enter = (down && key == VK_F10 && !(KeyboardStateToShiftState() & (ssShift | ssCtrl))) ||
                     (up && key == VK_MENU && s.AltAlone);
        if (up && key == VK_MENU) s.AltAlone = false;
        if (!enter || !form || !form->Menu()) return false;
        // A menu item with F10 as its shortcut takes the key before the menu bar does.
        if (key == VK_F10 && form->Menu()->Items()->FindShortCut(ShortCut(VK_F10, 0))) return false;
        int first = NextBarIndex(*form->Menu(), -1, 1);
        if (first < 0) return false;
        OpenBarMenu(*form->Menu(), first, false);
        return true;
    }
    if (!down) return M.Msg == WM_CHAR || M.Msg == WM_SYSCHAR || up;  // typed while the menu is open
    TMenuWindow* w = Top();
    size_t depth = s.Windows.size();
    switch (key) {
        case VK_ESCAPE:
            if (depth > 1 || (depth == 1 && s.Bar))
                CloseFrom(depth - 1);
            else
                CloseMenus();
            return true;
        case VK_MENU:
        case VK_F10:
            CloseMenus();
            return true;
        case VK_UP:
        case VK_DOWN:
            if (!w) {
                if (s.Bar) OpenBarMenu(*s.Bar, s.BarIndex, true);
                if ((w = Top()) && key == VK_DOWN) w->Select(NextItem(*w, 1));
                return true;
            }
            w->Select(NextItem(*w, key == VK_DOWN ? 1 : -1));
            return true;
        case VK_RIGHT:
            if (w && w->Selected >= 0 && w->ItemsShown()->Items(w->Selected)->Count() > 0) {
                OpenSubMenu(true);
                return true;
            }
            if (s.Bar) {
                bool dropped = w != nullptr;
                OpenBarMenu(*s.Bar, NextBarIndex(*s.Bar, s.BarIndex, 1), dropped);
                if (dropped && (w = Top())) w->Select(NextItem(*w, 1));
            }
            return true;
        case VK_LEFT:
            if (depth > 1) {
                CloseFrom(depth - 1);
                return true;
            }
            if (s.Bar) {
                bool dropped = w != nullptr;
                OpenBarMenu(*s.Bar, NextBarIndex(*s.Bar, s.BarIndex, -1), dropped);
                if (dropped && (w = Top())) w->Select(NextItem(*w, 1));
            }
            return true;
        case VK_RETURN:
            if (w) {
                Activate(w->Selected);
            } else if (s.Bar) {
                TMenuItem* bar = MenuBarSelection();
                if (bar && bar->Count() == 0) {
                    Choose(bar);
                } else {
                    OpenBarMenu(*s.Bar, s.BarIndex, true);
                    if ((w = Top())) w->Select(NextItem(*w, 1));
                }
            }
            return true;
        default:
            break;
    }
    // An accelerator letter: the item of the innermost menu (or of the bar) that carries it.
    TMenuItem* items = w ? w->ItemsShown() : (s.Bar ? s.Bar->Items() : nullptr);
    if (items)
        for (int i = 0; i < items->Count(); ++i) {
            TMenuItem* it = items->Items(i);
            if (!Selectable(it) || !IsAccel(static_cast<uint16_t>(key), it->Caption)) continue;
            if (w) {
                Activate(i);
            } else {
                OpenBarMenu(*s.Bar, i, true);
                if ((w = Top())) w->Select(NextItem(*w, 1));
            }
            return true;
        }
    return true;  // every other key is swallowed while the menu is open
}

TRect TMainMenu::BarItemRect(int Index) const {
    static TBitmap measure;
    int x = 0;
    for (int i = 0; i < Items()->Count(); ++i) {
        TMenuItem* it = Items()->Items(i);
        if (!it->Visible) {
            if (i == Index) return TRect{};
            continue;
        }
        int w = measure.Canvas().TextWidth(StripHotkey(it->Caption)) + 2 * kBarPadding;
        if (i == Index) return TRect{x, 0, x + w, GetSystemMetrics(SM_CYMENU)};
        x += w;
    }
    return TRect{};
}

int TMainMenu::BarItemAt(int X, int Y) const {
    for (int i = 0; i < Items()->Count(); ++i) {
        TRect r = BarItemRect(i);
        if (!r.IsEmpty() && X >= r.Left && X < r.Right && Y >= r.Top && Y < r.Bottom) return i;
    }
    return -1;
}

void TMainMenu::PaintBar(QPainter& Painter, int Width) const {
    int h = GetSystemMetrics(SM_CYMENU);
    TBitmap band;
    band.SetSize(std::max(Width, 1), h);
    TCanvas& c = band.Canvas();
    c.Brush.Color = clMenu;
    c.FillRect(TRect{0, 0, Width, h});
    auto& s = MS();
    bool mine = s.Bar == this;
    for (int i = 0; i < Items()->Count(); ++i) {
        TMenuItem* it = Items()->Items(i);
        TRect r = BarItemRect(i);
        if (r.IsEmpty()) continue;
        bool sel = mine && s.BarIndex == i;
        c.Brush.Color = sel ? clHighlight : clMenu;
        c.FillRect(r);
        c.Brush.Style = bsClear;
        c.Font.Color = !it->Enabled ? clGrayText : sel ? clHighlightText : clMenuText;
        c.TextOut(r.Left + kBarPadding, r.Top + (h - c.TextHeight("Wg")) / 2, StripHotkey(it->Caption));
        c.Brush.Style = bsSolid;
    }
    if (TBitmapObject* o = BitmapObjectOf(band.Handle())) Painter.drawImage(0, 0, o->Image);
}

void TMainMenu::BarClick(int X, int Y) {
    int i = BarItemAt(X, Y);
    auto& s = MS();
    if (i < 0 || (s.Bar == this && s.BarIndex == i && !s.Windows.empty())) {
        CloseMenus();
        return;
    }
    TMenuItem* bar = Items()->Items(i);
    if (!bar->Enabled) return;
    if (bar->Count() == 0) {
        CloseMenus();
        bar->Click();
        return;
    }
    OpenBarMenu(*this, i, true);
}

void TPopupMenu::Popup(int X, int Y) {
    FPopupPoint = TPoint{X, Y};
    if (OnPopup) OnPopup(this);
    Track(*Items(), FPopupPoint);
}

bool TMainMenu::IsAccelerator(uint16_t Key) {
    for (int i = 0; i < Items()->Count(); ++i) {
        TMenuItem* bar = Items()->Items(i);
        if (bar->Visible && bar->Enabled && IsAccel(Key, bar->Caption)) {
            Open(bar);
            return true;
        }
    }
    return false;
}

void TMainMenu::Open(TMenuItem* BarItem) {
    if (!BarItem) return;
    if (BarItem->Count() == 0) {
        BarItem->Click();
        return;
    }
    TMenuItem* chosen = nullptr;
    TPoint at;
    if (auto* form = dynamic_cast<TCustomForm*>(Owner())) {
        TRect r = BarItemRect(Items()->IndexOf(BarItem));
        at = form->ClientToScreen(TPoint{r.Left, r.Bottom - form->MenuHeight()});
    }
    if (gTracker) {
        if (BarItem->OnClick) BarItem->OnClick(BarItem);
        if (gTracker(*this, *BarItem, at, chosen)) {
            if (chosen) chosen->Click();
            return;
        }
        OpenBarMenu(*this, Items()->IndexOf(BarItem), true, false);  // OnClick has run
    } else {
        OpenBarMenu(*this, Items()->IndexOf(BarItem), true);
    }
    // Opened from the keyboard: the first item is selected.
    if (TMenuWindow* w = Top()) w->Select(NextItem(*w, 1));
}

void SetMenuTracker(TMenuTracker Tracker) {
    gTracker = std::move(Tracker);
}

TMenuItem* NewItem(TComponent* Owner, const std::string& Caption, TShortCut S, TNotifyEvent OnClick,
                   const std::string& Name) {
    TMenuItem* item = NewComponent<TMenuItem>(Owner);
    if (!Name.empty()) item->SetName(Name);
    item->Caption = Caption;
    item->ShortCut = S;
    item->OnClick = std::move(OnClick);
    return item;
}

TMenuItem* NewLine(TComponent* Owner) {
    return NewItem(Owner, "-", 0, {});
}

}  // namespace framework
