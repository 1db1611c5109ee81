#pragma once
// Menus: TMenuItem trees, the form's menu bar (TMainMenu) and context menus (TPopupMenu), with
// shortcut keys held as a virtual-key code plus shift bits.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/core/Component.h"
#include "framework/core/Exception.h"
#include "framework/ui/Messages.h"
#include "framework/ui/Types.h"

class QPainter;

namespace framework {

// A key with its shift state: low byte the virtual-key code, high bits the shift keys.
using TShortCut = uint16_t;
constexpr TShortCut scShift = 0x2000;
constexpr TShortCut scCtrl = 0x4000;
constexpr TShortCut scAlt = 0x8000;
constexpr TShortCut scNone = 0;

TShortCut ShortCut(uint16_t Key, TShiftState Shift);
void ShortCutToKey(TShortCut ShortCut, uint16_t& Key, TShiftState& Shift);
// "Ctrl+S", "Shift+F5", "Del"; empty for none.
std::string ShortCutToText(TShortCut ShortCut);
// The reverse of ShortCutToText (no regard to case); 0 for text that names no key.
TShortCut TextToShortCut(const std::string& Text);
// The caption without its "&" accelerator marks ("&&" stands for one "&").
std::string StripHotkey(const std::string& Text);

KORVANE_DECLARE_EXCEPTION(EMenuError, Exception);

class TMenu;

class TMenuItem : public TComponent {
public:
    explicit TMenuItem(TComponent* AOwner);
    ~TMenuItem() override;

    std::string Caption;
    bool Checked = false;
    bool Enabled = true;
    bool Visible = true;
    bool RadioItem = false;
    bool Default = false;
    uint8_t GroupIndex = 0;
    TShortCut ShortCut = 0;
    std::string Hint;
    int HelpContext = 0;
    TNotifyEvent OnClick;

    // A separator: the caption "-".
    bool IsLine() const { return Caption == "-"; }

    // ---- Sub-items (owned by this item once added) ----
    int Count() const { return static_cast<int>(FItems.size()); }
    TMenuItem* Items(int Index) const;
    TMenuItem* operator[](int Index) const { return Items(Index); }
    void Add(TMenuItem* Item);
    void Insert(int Index, TMenuItem* Item);
    // Takes the item out of the list (the caller owns it then).
    void Remove(TMenuItem* Item);
    // Frees the sub-item at Index.
    void Delete(int Index);
    void Clear();
    int IndexOf(const TMenuItem* Item) const;
    TMenuItem* Parent() const { return FParent; }
    // Checks the item; a radio item unchecks the other radio items of its group among its siblings.
    void SetChecked(bool Value);
    // The first item below this one (itself excluded) whose shortcut is ShortCut.
    TMenuItem* FindShortCut(TShortCut ShortCut) const;

    // Runs OnClick when the item is enabled.
    virtual void Click();

private:
    std::vector<TMenuItem*> FItems;
    TMenuItem* FParent = nullptr;
};

class TMenu : public TComponent {
public:
    explicit TMenu(TComponent* AOwner);
    ~TMenu() override;
    // The invisible root item whose sub-items are the menu's items.
    TMenuItem* Items() const { return FItems.get(); }
    // A key down (WM_KEYDOWN / CN_KEYDOWN): when it is the shortcut of an enabled item, clicks it.
    bool IsShortCut(TMessage& Message);

protected:
    // Shows the sub-items of Items at a screen point and clicks the one chosen.
    void Track(TMenuItem& Items, TPoint At);

private:
    std::unique_ptr<TMenuItem> FItems;
};

class TMainMenu : public TMenu {
public:
    using TMenu::TMenu;
    // Alt+letter: opens the menu of the bar whose caption has that accelerator. True when found.
    bool IsAccelerator(uint16_t Key);
    // Opens a menu of the bar (one of Items()'s sub-items).
    void Open(TMenuItem* BarItem);
    // The place of a bar item in the bar (band coordinates: 0,0 is the bar's top-left corner);
    // empty for a hidden one. Index counts all of Items()'s sub-items.
    TRect BarItemRect(int Index) const;
    // The bar item at a point of the bar, -1 for none.
    int BarItemAt(int X, int Y) const;
    // Draws the bar, Width pixels wide, SM_CYMENU high.
    void PaintBar(QPainter& Painter, int Width) const;
    // A left press on the bar (band coordinates): opens the menu of the item there, or closes it.
    void BarClick(int X, int Y);
};

// ---- Menus open on screen ----
// The bar of a form and the drop-down and popup menus are drawn by the framework. While one is
// open, the keyboard drives it (arrows, Enter, Escape, accelerators) and a press outside closes
// it. F10, or Alt pressed and released alone, selects the first menu of the focused form's bar.

// True while a menu is open or the bar of a form is selected.
bool MenuActive();
// The bar item selected (or whose menu is open) while a form's bar is in use, else nil.
TMenuItem* MenuBarSelection();
// The chain of open menu windows, outermost first: the items each shows.
std::vector<TMenuItem*> OpenMenus();
// The window of an open menu (0 = outermost), for tests and grabs; nil when not open.
class TWinControl* OpenMenuWindow(int Level);
// The row of an item in an open menu (client coordinates of its window); empty when hidden.
TRect OpenMenuItemRect(int Level, int Index);
// The item selected in an open menu, -1 for none.
int OpenMenuSelection(int Level);
// Closes every menu and leaves the bar.
void CloseMenus();
// Keyboard messages pass here first (the application's key filter); true when the menu used it.
bool MenuKeyFilter(TMessage& Message, HWND Wnd);

enum TPopupAlignment { paLeft, paRight, paCenter };

class TPopupMenu : public TMenu {
public:
    explicit TPopupMenu(TComponent* AOwner);
    // Shows the menu at a screen point; the item chosen is clicked.
    virtual void Popup(int X, int Y);
    // The control the menu was last shown for (set by the control before Popup).
    TComponent* PopupComponent = nullptr;
    bool AutoPopup = true;
    TPopupAlignment Alignment = paLeft;
    TNotifyEvent OnPopup;
    TPoint PopupPoint() const { return FPopupPoint; }

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    TPoint FPopupPoint;
};

// Chooses the item among the sub-items of Items shown by a menu (a popup menu's root, or a menu
// of the bar), nil for none. Tests install one; without it the menu opens on screen.
// The tracker returns false to let the menu open on screen instead.
using TMenuTracker = std::function<bool(TMenu& Menu, TMenuItem& Items, TPoint At, TMenuItem*& Chosen)>;
void SetMenuTracker(TMenuTracker Tracker);

// A new item (helper for building menus in code).
TMenuItem* NewItem(TComponent* Owner, const std::string& Caption, TShortCut ShortCut, TNotifyEvent OnClick,
                   const std::string& Name = "");
TMenuItem* NewLine(TComponent* Owner);

}  // namespace framework
