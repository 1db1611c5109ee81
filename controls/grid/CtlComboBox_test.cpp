// The combo box base: the most-recently-used area, the keys and the delayed search, the hot-track
// look, the borders and the attached label.
#include "controls/grid/CtlComboBox.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controls/entry/CtlBase.h"
#include "framework/graphics/Gdi.h"
#include "framework/stdctrls/Edit.h"
#include "framework/ui/testsupport/FormDriver.h"
#include "platform/Beep.h"

namespace grid {
namespace {

using namespace framework;

class CtlComboTest : public ::testing::Test {
protected:
    TFormDriver Driver;
    TForm* Form = TCustomForm::Create<TForm>(Application);
    TCtlBaseComboBox* Combo = nullptr;
    int Changes = 0;
    int SelectionChanges = 0;
    void SetUp() override {
        Form->SetBounds(40, 40, 300, 260);
        Combo = NewComponent<TCtlBaseComboBox>(Form);
        Combo->SetName("Combo");
        Combo->SetBounds(10, 10, 160, 21);
        Combo->SetParent(Form);
        Combo->OnChange = [this](TObject*) { ++Changes; };
        Combo->OnSelectionChange = [this](TObject*) { ++SelectionChanges; };
        for (const char* s : {"Apple", "Banana", "Cherry", "Date", "Elder", "abacus", "Abbey"})
            Combo->Items().Add(s);
        Form->Show();
        Driver.RunPending();
        platform::ClearBeepHistory();
    }
    void TearDown() override {
        Form->Free();
        Driver.RunPending();
        entry::CtlFreeDefaultController();
    }
    std::vector<std::string> ItemTexts() {
        std::vector<std::string> r;
        for (int i = 0; i < Combo->Items().Count(); ++i) r.push_back(Combo->Items()[i]);
        return r;
    }
    std::vector<std::string> MRU() {
        std::vector<std::string> r;
        for (int i = 0; i < Combo->MRUList().Count(); ++i) r.push_back(Combo->MRUList().Items(i).Text);
        return r;
    }
    // The user drops the list down, highlights the item and closes the list on it.
    void Choose(int Index) {
        Combo->Perform(CB_SHOWDROPDOWN, 1, 0);
        Combo->SetItemIndex(Index);
        Combo->Perform(CB_SHOWDROPDOWN, 0, 0);
    }
    // Chooses the item of that text in the full list (after the MRU area).
    void Choose(const std::string& Text) {
        const int n = Combo->MRUList().Count();
        for (int i = n; i < Combo->Items().Count(); ++i)
            if (Combo->Items()[i] == Text) return Choose(i);
        FAIL() << Text;
    }
    int ItemHeightOf(int Index) {
        return static_cast<int>(Combo->Perform(CB_GETITEMHEIGHT, static_cast<WPARAM>(Index), 0));
    }
    uint32_t Px(int X, int Y) { return Driver.PixelAt(*Combo, X, Y); }
};

TEST_F(CtlComboTest, ChoicesFillTheMostRecentlyUsedArea) {
    for (const char* s : {"Apple", "Banana", "Cherry", "Date"}) Choose(s);
    EXPECT_EQ(MRU(), (std::vector<std::string>{"Date", "Cherry", "Banana"}));
    EXPECT_EQ(ItemTexts(), (std::vector<std::string>{"Date", "Cherry", "Banana", "Apple", "Banana", "Cherry",
                                                     "Date", "Elder", "abacus", "Abbey"}));
    const int h = Combo->ItemHeight();
    EXPECT_EQ(ItemHeightOf(1), h);
    EXPECT_EQ(ItemHeightOf(2), h + 3) << "room for the separator under the last entry";
    EXPECT_EQ(ItemHeightOf(3), h);
    EXPECT_EQ(Combo->ItemIndex(), 6) << "the chosen item in the full list";
    EXPECT_EQ(Combo->Text(), "Date");
    EXPECT_EQ(SelectionChanges, 4);

    // An entry already there, in another case, moves to the front without growing the area.
    Combo->SetItemIndex(5);
    Combo->Items().Put(5, "cherry");
    Choose(5);
    EXPECT_EQ(MRU(), (std::vector<std::string>{"cherry", "Date", "Banana"}));
    EXPECT_EQ(Combo->Items().Count(), 10);
    EXPECT_EQ(ItemHeightOf(2), h + 3);

    // Escape selects item 0, the most recent entry, and says so.
    Changes = 0;
    Driver.KeyTo(*Combo, VK_ESCAPE);
    EXPECT_EQ(Combo->ItemIndex(), 0);
    EXPECT_EQ(Combo->Text(), "cherry");
    EXPECT_EQ(Changes, 1);

    // No MRU area at run time: the copies go and no entry is kept.
    Combo->SetMRUListCount(0);
    EXPECT_EQ(MRU().size(), 0u);
    EXPECT_EQ(Combo->Items().Count(), 7);
    EXPECT_EQ(Combo->Items()[0], "Apple");
    Choose("Banana");
    EXPECT_EQ(MRU().size(), 0u);
    EXPECT_EQ(Combo->Items().Count(), 7);
}

TEST_F(CtlComboTest, TypedTextIsCompletedAfterThePause) {
    Choose("Abbey");
    Combo->SetText("");
    Combo->SetFocus();
    Driver.Type("ab");
    EXPECT_GE(Combo->SearchTrigger(), 0);
    Driver.Advance(400, 50);
    EXPECT_EQ(Combo->Text(), "ab") << "not before the pause";
    Driver.Advance(200, 50);
    EXPECT_EQ(Combo->Text(), "abacus") << "the first match after the MRU area";
    EXPECT_EQ(Combo->SelStart(), 2);
    EXPECT_EQ(Combo->SelLength(), 4) << "the completed part is selected";
    EXPECT_EQ(Combo->SearchTrigger(), -1);

    // After Backspace nothing is completed.
    Combo->SetText("");
    Driver.Type("abb");
    Driver.Key(VK_BACK);
    Driver.Advance(1000, 50);
    EXPECT_EQ(Combo->Text(), "ab");
}

TEST_F(CtlComboTest, ReturnCompletesOrBeeps) {
    Combo->AutoSearch = false;
    Combo->SetFocus();
    Driver.Type("ch");
    EXPECT_EQ(Combo->SearchTrigger(), -1) << "AutoSearch off schedules nothing";
    Driver.Key(VK_RETURN);
    EXPECT_EQ(Combo->Text(), "Cherry");
    EXPECT_EQ(Combo->SelLength(), 6);
    EXPECT_TRUE(platform::BeepHistory().empty());

    Combo->SetText("");
    Driver.Type("zz");
    Driver.Key(VK_RETURN);
    EXPECT_EQ(Combo->Text(), "zz");
    EXPECT_EQ(platform::BeepHistory(), (std::vector<uint32_t>{0}));
}

TEST_F(CtlComboTest, SettingsAndTheirRules) {
    EXPECT_EQ(Combo->KeyDelay(), 500);
    Combo->SetKeyDelay(-5);
    EXPECT_EQ(Combo->KeyDelay(), 500);
    Combo->SetKeyDelay(0);
    EXPECT_EQ(Combo->KeyDelay(), 0);
    EXPECT_EQ(Combo->About(), "v4.06");
    EXPECT_EQ(Combo->MRUListCount(), 3);
    EXPECT_EQ(Combo->Color(), clWindow);

    EXPECT_FALSE(Combo->HotTrack());
    Combo->Borders().LeftBorder().SetEnabled(true);
    EXPECT_TRUE(Combo->HotTrack());
    EXPECT_FALSE(Combo->Ctl3D());
    EXPECT_FALSE(Combo->HotTrackBorder());
    Combo->Borders().LeftBorder().SetEnabled(false);
    EXPECT_FALSE(Combo->HotTrack());
    EXPECT_TRUE(Combo->Ctl3D());
    Combo->Borders().TopBorder().SetEnabled(true);
    Combo->SetHotTrackBorder(true);
    EXPECT_FALSE(Combo->Borders().TopBorder().Enabled());
    EXPECT_TRUE(Combo->HotTrackBorder());

    int enters = 0, exits = 0, wheels = 0;
    Combo->AfterEnter = [&enters](TObject*) { ++enters; };
    Combo->AfterExit = [&exits](TObject*) { ++exits; };
    Combo->OnMouseWheel = [&wheels](TObject*, TShiftState, uint16_t, uint16_t, uint16_t) { ++wheels; };
    auto* other = NewComponent<TEdit>(Form);
    other->SetParent(Form);
    other->SetFocus();
    Driver.RunPending();
    enters = exits = 0;
    Combo->SetFocus();
    EXPECT_EQ(enters, 0) << "posted, not yet delivered";
    Driver.RunPending();
    EXPECT_GE(enters, 1);
    EXPECT_EQ(exits, 0);
    Driver.Wheel(*Combo, -120);
    EXPECT_EQ(wheels, 1);
    other->SetFocus();
    Driver.RunPending();
    EXPECT_GE(exits, 1);

    try {
        Combo->AttachedLabel();
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "Label not attached");
    }
    Combo->LabelInfo().SetVisible(true);
    ASSERT_NE(Combo->AttachedLabel(), nullptr);
    EXPECT_EQ(Combo->AttachedLabel()->Name(), "ComboLabel1");
}

TEST_F(CtlComboTest, HotTrackLook) {
    Combo->SetHotTrack(true);
    Combo->HotTrackColors().Shadow = clRed;
    Combo->HotTrackColors().Highlight = clLime;
    auto* other = NewComponent<TEdit>(Form);
    other->SetParent(Form);
    other->SetBounds(10, 100, 100, 21);
    other->SetFocus();
    ASSERT_FALSE(Combo->HasFocus());
    const int w = Combo->ClientWidth(), h = Combo->ClientHeight(), x0 = w - 15;
    const uint32_t window = ColorToRGB(clWindow);
    // Idle: flat, the frame in the control's colour, the arrow in black.
    EXPECT_EQ(Px(1, 5), window);
    EXPECT_EQ(Px(w - 2, 5), window);
    EXPECT_EQ(Px(x0 + 3, h / 2 - 1), 0u);
    Driver.Grab(*Form, ::testing::TempDir() + "combo_idle.png");

    Combo->Perform(CM_MOUSEENTER, 0, 0);
    EXPECT_TRUE(Combo->MouseOver());
    EXPECT_EQ(Px(1, 5), ColorToRGB(clRed));
    EXPECT_EQ(Px(w - 2, 5), ColorToRGB(clLime));
    EXPECT_EQ(Px(x0 + 3, h / 2 - 1), 0u) << "the arrow";
    EXPECT_EQ(Px(x0 + 9, h - 6), ColorToRGB(clBtnFace)) << "the button face";
    EXPECT_EQ(Px(x0, 5), window) << "the button is not pressed";
    Driver.Grab(*Form, ::testing::TempDir() + "combo_hot.png");

    Combo->Perform(CB_SHOWDROPDOWN, 1, 0);
    EXPECT_EQ(Px(x0, 5), ColorToRGB(clBtnShadow)) << "pressed";
    EXPECT_EQ(Px(x0 + 4, h / 2), 0u);
    Combo->Perform(CB_SHOWDROPDOWN, 0, 0);
    Combo->Perform(CM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(Px(1, 5), window);
}

TEST_F(CtlComboTest, ListItemsShowTheMRUAreaAndTheSelection) {
    Combo->MRUListColor = clYellow;
    Choose("Banana");
    Choose("Apple");
    Combo->SetItemIndex(4);  // "Cherry" in the full list
    Combo->Perform(CB_SHOWDROPDOWN, 1, 0);
    Driver.RunPending();
    TWinControl* list = Combo->ListWindow();
    ASSERT_NE(list, nullptr);
    const int ih = Combo->ItemHeight();
    Driver.GrabScreen(TRect{40, 40, 300, 300}, ::testing::TempDir() + "combo_list.png");
    EXPECT_EQ(Driver.PixelAt(*list, 120, 1 + ih / 2), ColorToRGB(clYellow)) << "first MRU entry";
    const int separator = 1 + 2 * ih + 3 - 1;  // the last row of the last MRU entry
    EXPECT_EQ(Driver.PixelAt(*list, 120, separator), ColorToRGB(clGrayText));
    EXPECT_EQ(Driver.PixelAt(*list, 120, separator - 3), ColorToRGB(clYellow));
    EXPECT_EQ(Driver.PixelAt(*list, 120, 1 + 2 * ih + 3 + ih / 2), ColorToRGB(clWindow)) << "\"Apple\"";
    EXPECT_EQ(Driver.PixelAt(*list, 150, 1 + 2 * ih + 3 + 2 * ih + ih / 2), ColorToRGB(clHighlight))
        << "the selected \"Cherry\"";
    Combo->Perform(CB_SHOWDROPDOWN, 0, 0);
}

TEST(CtlMRUList, AddMovesAndCuts) {
    TCtlMRUList list;
    for (const char* s : {"a", "b", "c", "d"}) list.Add(s, 0);
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list.Items(0).Text, "d");
    EXPECT_EQ(list.Items(2).Text, "b");
    list.Add("B", 7);
    EXPECT_EQ(list.Items(0).Text, "B");
    EXPECT_EQ(list.Items(0).Data, 7u);
    EXPECT_EQ(list.Count(), 3);
    list.SetMaxItems(1);
    EXPECT_EQ(list.Count(), 1);
    list.SetMaxItems(-1);
    EXPECT_EQ(list.Count(), 0);
}

}  // namespace
}  // namespace grid
