#include "framework/stdctrls/Menus.h"

#include <gtest/gtest.h>

#include "framework/stdctrls/StdCtrls.h"
#include "framework/ui/testsupport/FormDriver.h"

namespace framework {
namespace {

TEST(ShortCutText, RoundTripsAndRejectsUnknownKeys) {
    struct TCase {
        TShortCut S;
        const char* Text;
    };
    for (const TCase& c : std::vector<TCase>{
             {ShortCut(VK_F2, 0), "F2"},
             {ShortCut(VK_F12, 0), "F12"},
             {ShortCut('S', ssCtrl), "Ctrl+S"},
             {ShortCut(VK_DELETE, ssCtrl), "Ctrl+Del"},
             {ShortCut(VK_F5, ssShift | ssCtrl), "Shift+Ctrl+F5"},
             {ShortCut(VK_RETURN, ssAlt), "Alt+Enter"},
         }) {
        EXPECT_EQ(ShortCutToText(c.S), c.Text);
        EXPECT_EQ(TextToShortCut(c.Text), c.S) << c.Text;
    }
    EXPECT_EQ(TextToShortCut("ctrl+s"), ShortCut('S', ssCtrl));
    EXPECT_EQ(TextToShortCut("Ctrl+"), 0);
    EXPECT_EQ(TextToShortCut("Hyper+X"), 0);
    EXPECT_EQ(StripHotkey("&Save && exit"), "Save & exit");
}

class MenusTest : public ::testing::Test {
protected:
    TFormDriver Driver;
    TForm* Form = TCustomForm::Create<TForm>(Application);
    void TearDown() override {
        Form->Free();
        Driver.RunPending();
    }
};

TEST_F(MenusTest, ShortcutsFireFromAnywhereInTheForm) {
    auto* menu = NewComponent<TMainMenu>(Form);
    Form->SetMenu(menu);
    std::vector<std::string> clicks;
    auto note = [&](const char* s) { return [&clicks, s](TObject*) { clicks.push_back(s); }; };
    TMenuItem* file = NewItem(Form, "&File", 0, {});
    menu->Items()->Add(file);
    TMenuItem* rename = NewItem(Form, "&Rename", ShortCut(VK_F2, 0), note("rename"));
    TMenuItem* save = NewItem(Form, "&Save", ShortCut('S', ssCtrl), note("save"));
    TMenuItem* hidden = NewItem(Form, "Refresh", ShortCut(VK_F5, 0), note("refresh"));
    hidden->Visible = false;  // hidden items keep their shortcuts
    TMenuItem* off = NewItem(Form, "Off", ShortCut(VK_F9, 0), note("off"));
    off->Enabled = false;
    for (TMenuItem* i : {rename, NewLine(Form), save, hidden, off}) file->Add(i);

    auto* edit = NewComponent<TEdit>(Form);
    edit->SetParent(Form);
    auto* list = NewComponent<TListBox>(Form);
    list->SetParent(Form);
    list->SetTop(40);
    std::vector<std::string> keys;
    edit->OnKeyDown = [&](TObject*, uint16_t& Key, TShiftState) { keys.push_back(std::to_string(Key)); };
    Form->Show();

    Driver.KeyTo(*edit, VK_F2);
    Driver.KeyTo(*list, VK_F2);
    Driver.KeyTo(*edit, 'S', ssCtrl);
    Driver.Key(VK_F5);
    Driver.KeyTo(*edit, VK_F9);  // a disabled item lets the key through to the control
    EXPECT_EQ(clicks, (std::vector<std::string>{"rename", "rename", "save", "refresh"}));
    EXPECT_EQ(keys, std::vector<std::string>{std::to_string(VK_F9)});
    Driver.KeyTo(*edit, 'S');  // S alone is text
    EXPECT_EQ(edit->Text(), "s");

    // Alt+F opens the File menu of the bar; the item chosen there is clicked.
    Driver.AnswerMenu([&](TMenuItem& items) {
        EXPECT_EQ(&items, file);
        return items.Items(2);
    });
    Driver.KeyTo(*edit, 'F', ssAlt);
    EXPECT_EQ(clicks.back(), "save");
    EXPECT_EQ(Driver.Shown.back().Kind, "menu");
    EXPECT_EQ(Driver.Shown.back().Caption, "File");
    Driver.KeyTo(*edit, 'Q', ssAlt);  // no such menu: nothing opens
    EXPECT_EQ(Driver.PendingAnswers(), 0u);

    file->Enabled = false;  // a disabled parent disables its items' shortcuts
    Driver.KeyTo(*edit, VK_F2);
    EXPECT_EQ(clicks.size(), 5u);
}

TEST_F(MenusTest, PopupMenuShortcutsAndChoiceAtAScreenPoint) {
    auto* popup = NewComponent<TPopupMenu>(Form);
    popup->SetName("ListMenu");
    std::vector<std::string> log;
    TMenuItem* del =
        NewItem(Form, "&Delete", ShortCut(VK_DELETE, ssCtrl), [&](TObject*) { log.push_back("delete"); });
    TMenuItem* sort = NewItem(Form, "&Sort", 0, [&](TObject*) { log.push_back("sort"); });
    popup->Items()->Add(del);
    popup->Items()->Add(sort);
    popup->OnPopup = [&](TObject*) { log.push_back("popup for " + popup->PopupComponent->Name()); };
    auto* list = NewComponent<TListBox>(Form);
    list->SetName("Files");
    list->SetParent(Form);
    list->SetPopupMenu(popup);
    auto* other = NewComponent<TEdit>(Form);
    other->SetParent(Form);
    other->SetTop(120);
    Form->Show();

    Driver.KeyTo(*list, VK_DELETE, ssCtrl);
    Driver.KeyTo(*other, VK_DELETE, ssCtrl);  // another control's popup is not asked
    EXPECT_EQ(log, std::vector<std::string>{"delete"});

    Driver.AnswerMenu([&](TMenuItem& items) { return items.Items(1); });
    popup->PopupComponent = list;
    popup->Popup(300, 200);
    EXPECT_EQ(popup->PopupPoint(), Point(300, 200));
    EXPECT_EQ(log, (std::vector<std::string>{"delete", "popup for Files", "sort"}));
    ASSERT_FALSE(Driver.Shown.empty());
    EXPECT_EQ(Driver.Shown.back().Kind, "menu");
    EXPECT_EQ(Driver.Shown.back().Caption, "ListMenu");

    // A right click on the list (or on a control inside a parent with the menu) shows it.
    Driver.AnswerMenu([&](TMenuItem& items) { return items.Items(0); });
    Driver.Click(*list, 10, 10, TMouseButton::mbRight);
    EXPECT_EQ(log.back(), "delete");
    EXPECT_EQ(popup->PopupPoint(), list->ClientToScreen(Point(10, 10)));
    Driver.Click(*other, 5, 5, TMouseButton::mbRight);  // no menu there: nothing shows
    EXPECT_EQ(log.size(), 5u);

    list->Free();  // the menu forgets a freed control
    EXPECT_EQ(popup->PopupComponent, nullptr);
}

TEST_F(MenusTest, ItemTreeOwnershipRadioGroupsAndErrors) {
    auto* menu = NewComponent<TMainMenu>(Form);
    TMenuItem* view = NewItem(Form, "&View", 0, {});
    menu->Items()->Add(view);
    TMenuItem* a = NewItem(Form, "Icons", 0, {});
    TMenuItem* b = NewItem(Form, "List", 0, {});
    for (TMenuItem* i : {a, b}) {
        i->RadioItem = true;
        i->GroupIndex = 1;
        view->Add(i);
    }
    a->SetChecked(true);
    b->SetChecked(true);
    EXPECT_FALSE(a->Checked);
    EXPECT_TRUE(b->Checked);
    EXPECT_THROW(view->Add(a), EMenuError);
    EXPECT_THROW(a->Add(view), EMenuError);
    EXPECT_THROW(view->Items(5), EMenuError);
    int before = Form->ComponentCount();
    view->Delete(0);  // frees the item; its owner forgets it
    EXPECT_EQ(Form->ComponentCount(), before - 1);
    b->Free();  // an item freed by its owner leaves its parent
    EXPECT_EQ(view->Count(), 0);
}

}  // namespace
}  // namespace framework
