#include "framework/stdctrls/Menus.h"

#include <QAction>
#include <QMenu>
#include <algorithm>
#include <map>

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

TMenuItem::~TMenuItem() {
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
TMenu::~TMenu() = default;

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

namespace {
void FillQMenu(QMenu& Menu, TMenuItem* Item, TMenuItem*& Chosen) {
    for (int i = 0; i < Item->Count(); ++i) {
        TMenuItem* sub = Item->Items(i);
        if (!sub->Visible) continue;
        if (sub->IsLine()) {
            Menu.addSeparator();
            continue;
        }
        QString text = QString::fromStdU16String(AnsiToUtf16(sub->Caption));
        if (sub->Count() > 0) {
            QMenu* child = Menu.addMenu(text);
            child->setEnabled(sub->Enabled);
            FillQMenu(*child, sub, Chosen);
            continue;
        }
        QAction* a = Menu.addAction(text);
        a->setEnabled(sub->Enabled);
        a->setCheckable(sub->Checked);
        a->setChecked(sub->Checked);
        if (sub->ShortCut)
            a->setShortcut(
                QKeySequence(QString::fromStdU16String(AnsiToUtf16(ShortCutToText(sub->ShortCut)))));
        QObject::connect(a, &QAction::triggered, [sub, &Chosen] { Chosen = sub; });
    }
}
}  // namespace

void TMenu::Track(TMenuItem& Items, TPoint At) {
    TMenuItem* chosen = nullptr;
    if (gTracker) {
        chosen = gTracker(*this, Items, At);
    } else {
        EnsureGuiApplication();
        QMenu menu;
        FillQMenu(menu, &Items, chosen);
        menu.exec(QPoint(At.X, At.Y));
    }
    if (chosen) chosen->Click();
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
    // The menu drops below the form's top-left corner (the bar is not drawn by the framework).
    TPoint at;
    if (auto* form = dynamic_cast<TCustomForm*>(Owner())) at = form->ClientToScreen(TPoint{0, 0});
    if (BarItem->Count() == 0) {
        BarItem->Click();
        return;
    }
    if (BarItem->OnClick) BarItem->OnClick(BarItem);
    Track(*BarItem, at);
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
