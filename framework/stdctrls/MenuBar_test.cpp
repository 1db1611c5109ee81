#include <gtest/gtest.h>

#include <QImage>

#include "framework/stdctrls/Menus.h"
#include "framework/stdctrls/StdCtrls.h"
#include "framework/ui/testsupport/FormDriver.h"

namespace framework {
namespace {

// A form with a bar of three menus, opened on screen (no scripted answers).
class MenuBarTest : public ::testing::Test {
protected:
    TFormDriver Driver;
    TForm* Form = TCustomForm::Create<TForm>(Application);
    TMainMenu* Menu = NewComponent<TMainMenu>(Form);
    TEdit* Edit = NewComponent<TEdit>(Form);
    std::vector<std::string> Clicks;
    TMenuItem *File, *Open, *Recent, *RecentB, *Off, *Exit, *View, *Icons, *List, *Help;

    TMenuItem* Item(const char* Caption, TShortCut S = 0) {
        return NewItem(Form, Caption, S,
                       [this, Caption](TObject*) { Clicks.push_back(StripHotkey(Caption)); });
    }
    void SetUp() override {
        Driver.LiveMenus = true;
        File = Item("&File");
        Open = Item("&Open...", ShortCut('O', ssCtrl));
        Recent = Item("&Recent");
        RecentB = Item("&Second");
        Recent->Add(Item("&First"));
        Recent->Add(RecentB);
        Off = Item("&Disabled");
        Off->Enabled = false;
        Exit = Item("E&xit");
        for (TMenuItem* i : {Open, NewLine(Form), Recent, Off, NewLine(Form), Exit}) File->Add(i);
        View = Item("&View");
        Icons = Item("&Icons");
        List = Item("&List");
        for (TMenuItem* i : {Icons, List}) {
            i->RadioItem = true;
            View->Add(i);
        }
        List->SetChecked(true);
        Help = Item("&Help");
        Help->Add(Item("&About"));
        for (TMenuItem* i : {File, View, Help}) Menu->Items()->Add(i);
        Form->SetBounds(100, 100, 320, 240);
        Form->SetMenu(Menu);
        Edit->SetParent(Form);
        Form->Show();
        Driver.KeyTo(*Edit, VK_SHIFT);  // the focus on the edit
        Clicks.clear();
    }
    void TearDown() override {
        CloseMenus();
        Form->Free();
        Driver.RunPending();
    }
    TMenuItem* Selected(int Level) {
        std::vector<TMenuItem*> open = OpenMenus();
        int i = OpenMenuSelection(Level);
        return i < 0 ? nullptr : open.at(static_cast<size_t>(Level))->Items(i);
    }
    // Client point (of the form) inside a bar item.
    TPoint BarPoint(TMenuItem* BarItem) {
        TRect r = Menu->BarItemRect(Menu->Items()->IndexOf(BarItem));
        return TPoint{r.Left + 4, r.Top + 4 - Form->MenuHeight()};
    }
    TPoint ItemPoint(int Level, TMenuItem* It) {
        std::vector<TMenuItem*> open = OpenMenus();
        TRect r = OpenMenuItemRect(Level, open.at(static_cast<size_t>(Level))->IndexOf(It));
        return TPoint{r.Left + 30, (r.Top + r.Bottom) / 2};
    }
};

TEST_F(MenuBarTest, TheBarTakesItsHeightAboveTheClientArea) {
    EXPECT_EQ(Form->MenuHeight(), GetSystemMetrics(SM_CYMENU));
    EXPECT_EQ(Form->ClientHeight() + Form->MenuHeight() + GetSystemMetrics(SM_CYCAPTION) +
                  2 * GetSystemMetrics(SM_CXFRAME),
              240);
    // A control at the client's top-left corner sits below the bar on the screen.
    EXPECT_EQ(Edit->ClientToScreen(TPoint{0, 0}).Y, Form->ClientToScreen(TPoint{0, 0}).Y);
    // The bar is painted in the menu colour and the client area starts below it.
    Driver.RunPending();
    EXPECT_EQ(Driver.PixelAt(*Form, Form->ClientWidth() - 2, 2),
              static_cast<uint32_t>(GetSysColor(COLOR_BTNFACE)));
    Form->SetMenu(nullptr);
    EXPECT_EQ(Form->MenuHeight(), 0);
    EXPECT_EQ(Form->ClientHeight() + GetSystemMetrics(SM_CYCAPTION) + 2 * GetSystemMetrics(SM_CXFRAME), 240);
}

TEST_F(MenuBarTest, KeysTravelAlongTheBarAndThroughTheMenus) {
    Driver.Key(VK_F10);
    EXPECT_TRUE(MenuActive());
    EXPECT_EQ(MenuBarSelection(), File);
    EXPECT_TRUE(OpenMenus().empty());
    Driver.Key(VK_RIGHT);
    EXPECT_EQ(MenuBarSelection(), View);
    Driver.Key(VK_LEFT);
    Driver.Key(VK_LEFT);  // wraps round to the last menu
    EXPECT_EQ(MenuBarSelection(), Help);
    Driver.Key(VK_RIGHT);
    Driver.Key(VK_DOWN);  // drops File down with its first item selected
    ASSERT_EQ(OpenMenus(), std::vector<TMenuItem*>{File});
    EXPECT_EQ(Selected(0), Open);
    Driver.Key(VK_DOWN);  // separators are skipped
    EXPECT_EQ(Selected(0), Recent);
    Driver.Key(VK_RIGHT);  // opens the sub-menu
    ASSERT_EQ(OpenMenus(), (std::vector<TMenuItem*>{File, Recent}));
    Driver.Key(VK_LEFT);  // closes it again
    EXPECT_EQ(OpenMenus().size(), 1u);
    Driver.Key(VK_RIGHT);
    Driver.Key(VK_DOWN);
    EXPECT_EQ(Selected(1), RecentB);
    Driver.Key(VK_RETURN);
    // Parents see OnClick each time their menu opens.
    EXPECT_EQ(Clicks, (std::vector<std::string>{"File", "Recent", "Recent", "Second"}));
    EXPECT_FALSE(MenuActive());
    EXPECT_EQ(Edit->Text(), "");  // no key reached the edit

    // Right on an item without sub-menu moves to the next menu of the bar, already dropped.
    Clicks.clear();
    Driver.Key(VK_F10);
    Driver.Key(VK_RETURN);
    Driver.Key(VK_RIGHT);
    EXPECT_EQ(OpenMenus(), std::vector<TMenuItem*>{View});
    EXPECT_EQ(MenuBarSelection(), View);
    // Escape steps back to the bar, a second one leaves it.
    Driver.Key(VK_ESCAPE);
    EXPECT_TRUE(OpenMenus().empty());
    EXPECT_EQ(MenuBarSelection(), View);
    Driver.Key(VK_ESCAPE);
    EXPECT_FALSE(MenuActive());
    Driver.Type("a");
    EXPECT_EQ(Edit->Text(), "a");  // keys reach the control again
}

TEST_F(MenuBarTest, AltAloneAndAcceleratorsAndDisabledItems) {
    // Alt pressed and released alone selects the bar; with a letter it is an accelerator.
    Driver.KeyDown(VK_MENU);
    Driver.KeyUp(VK_MENU);
    EXPECT_EQ(MenuBarSelection(), File);
    Driver.Key('H');  // a bar accelerator drops that menu
    EXPECT_EQ(OpenMenus(), std::vector<TMenuItem*>{Help});
    Driver.Key(VK_ESCAPE);
    Driver.Key(VK_ESCAPE);
    Driver.Key('F', ssAlt);
    ASSERT_EQ(OpenMenus(), std::vector<TMenuItem*>{File});
    EXPECT_FALSE(MenuActive() && MenuBarSelection() != File);
    Driver.Key('D');  // the disabled item is selected but does nothing
    EXPECT_EQ(Selected(0), Off);
    EXPECT_TRUE(MenuActive());
    Driver.Key(VK_RETURN);
    EXPECT_TRUE(MenuActive());
    Driver.Key('X');  // the accelerator of an item chooses it
    EXPECT_FALSE(MenuActive());
    EXPECT_EQ(Clicks, (std::vector<std::string>{"Help", "File", "Exit"}));
    // A shortcut still works with the menus closed.
    Driver.Key('O', ssCtrl);
    EXPECT_EQ(Clicks.back(), "Open...");
}

TEST_F(MenuBarTest, ClicksOnTheBarAndOnItems) {
    TPoint p = BarPoint(View);
    Driver.Click(*Form, p.X, p.Y);
    ASSERT_EQ(OpenMenus(), std::vector<TMenuItem*>{View});
    // The drop-down sits below its bar item.
    TWinControl* w = OpenMenuWindow(0);
    TRect r = Menu->BarItemRect(1);
    EXPECT_EQ(w->Left(), Form->ClientToScreen(TPoint{r.Left, 0}).X);
    EXPECT_EQ(w->Top(), Form->ClientToScreen(TPoint{0, 0}).Y);
    TPoint ip = ItemPoint(0, Icons);
    Driver.MouseMove(*w, ip.X, ip.Y);
    Driver.Click(*w, ip.X, ip.Y);
    EXPECT_FALSE(MenuActive());
    EXPECT_EQ(Clicks, (std::vector<std::string>{"View", "Icons"}));
    EXPECT_TRUE(Form->Active());
    EXPECT_TRUE(Edit->Focused());

    // A second click on the open menu's bar item closes it; a click elsewhere closes and is eaten.
    Driver.Click(*Form, p.X, p.Y);
    Driver.Click(*Form, p.X, p.Y);
    EXPECT_FALSE(MenuActive());
    Driver.Click(*Form, p.X, p.Y);
    std::vector<TMouseButton> downs;
    Edit->OnMouseDown = [&](TObject*, TMouseButton B, TShiftState, int, int) { downs.push_back(B); };
    Driver.Click(*Edit, 3, 3);
    EXPECT_FALSE(MenuActive());
    EXPECT_TRUE(downs.empty());
    Driver.Click(*Edit, 3, 3);
    EXPECT_EQ(downs.size(), 1u);
}

TEST_F(MenuBarTest, PopupMenusDrawMarksAndOpenSubMenusOnScreen) {
    auto* popup = NewComponent<TPopupMenu>(Form);
    for (TMenuItem* i : {Item("&Copy", ShortCut('C', ssCtrl)), NewLine(Form), Item("&More")})
        popup->Items()->Add(i);
    TMenuItem* more = popup->Items()->Items(2);
    TMenuItem* deep = Item("&Deep");
    more->Add(deep);
    popup->Popup(150, 160);
    ASSERT_EQ(OpenMenus(), std::vector<TMenuItem*>{popup->Items()});
    EXPECT_EQ(OpenMenuWindow(0)->Left(), 150);
    EXPECT_EQ(OpenMenuWindow(0)->Top(), 160);
    Driver.Key(VK_UP);  // from nothing selected, Up takes the last item
    EXPECT_EQ(Selected(0), more);
    Driver.Key(VK_RIGHT);
    EXPECT_EQ(Selected(1), deep);
    TPoint dp = ItemPoint(1, deep);
    Driver.Click(*OpenMenuWindow(1), dp.X, dp.Y);
    EXPECT_EQ(Clicks, (std::vector<std::string>{"More", "Deep"}));
    EXPECT_FALSE(MenuActive());
    popup->Popup(150, 160);
    Driver.Key(VK_ESCAPE);  // a popup menu closes at once
    EXPECT_FALSE(MenuActive());
}

TEST_F(MenuBarTest, FreeingAnOpenMenuClosesIt) {
    Driver.Key('F', ssAlt);
    Driver.Key(VK_DOWN);  // Recent
    Driver.Key(VK_RIGHT);
    ASSERT_EQ(OpenMenus().size(), 2u);
    Recent->Free();  // the sub-menu shown goes: everything closes, nothing is clicked
    EXPECT_FALSE(MenuActive());
    Clicks.clear();
    Driver.Key(VK_RETURN);
    EXPECT_TRUE(Clicks.empty());
    Driver.Key(VK_F10);
    Menu->Free();  // the form's bar goes while selected
    EXPECT_FALSE(MenuActive());
    EXPECT_EQ(Form->Menu(), nullptr);
    EXPECT_EQ(Form->MenuHeight(), 0);
}

TEST_F(MenuBarTest, MenuPixelsShowSelectionMarksAndGreyText) {
    Driver.Key('V', ssAlt);  // opens View with its first item selected
    Driver.Key(VK_DOWN);     // List (a checked radio item)
    TWinControl* w = OpenMenuWindow(0);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(Selected(0), List);
    // The selected row is highlighted edge to edge; the unselected one is in the menu colour.
    TPoint lp = ItemPoint(0, List);
    uint32_t hl = GetSysColor(COLOR_HIGHLIGHT), menu = GetSysColor(COLOR_MENU);
    EXPECT_EQ(Driver.PixelAt(*w, w->ClientWidth() - 6, lp.Y), hl);
    TPoint ip = ItemPoint(0, Icons);
    Driver.MouseMove(*w, ip.X, ip.Y);  // moving over Icons selects it
    EXPECT_EQ(Driver.PixelAt(*w, w->ClientWidth() - 6, lp.Y), menu);
    EXPECT_EQ(Driver.PixelAt(*w, w->ClientWidth() - 6, ip.Y), hl);
    // The radio mark of List: a dot in the mark column, in the menu text colour.
    int dark = 0;
    for (int x = 3; x < 20; ++x)
        for (int y = lp.Y - 6; y < lp.Y + 6; ++y)
            if (Driver.PixelAt(*w, x, y) == GetSysColor(COLOR_MENUTEXT)) ++dark;
    EXPECT_GT(dark, 10);
    // The bar shows View selected: highlighted behind its caption.
    TRect r = Menu->BarItemRect(1);
    std::string png = std::string(KORVANE_BUILD_DIR) + "/menu-bar-grab.png";
    ASSERT_TRUE(Driver.Grab(*Form, png));
    QImage shot(QString::fromStdString(png));
    auto rgb = [](uint32_t c) { return qRgb(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); };
    EXPECT_EQ(shot.pixel(r.Left + 1, r.Top + 1), rgb(hl));
    EXPECT_EQ(shot.pixel(Menu->BarItemRect(0).Left + 1, 1), rgb(menu));
    if (const char* out = std::getenv("KORVANE_MENU_GRAB")) {
        // A look at the whole: the form with its menu open and a combo box's list dropped.
        auto* combo = NewComponent<TComboBox>(Form);
        combo->SetParent(Form);
        combo->SetBounds(150, 40, 120, 21);
        for (const char* s : {"Floppy", "Hard disk", "CD-ROM"}) combo->Items().Add(s);
        combo->SetItemIndex(1);
        combo->SetDroppedDown(true);
        Driver.GrabScreen(Bounds(90, 90, 340, 260), std::string(out) + "-screen.png");
        combo->SetDroppedDown(false);
    }
}

}  // namespace
}  // namespace framework
