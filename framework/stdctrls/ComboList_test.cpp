#include <gtest/gtest.h>

#include "framework/stdctrls/StdCtrls.h"
#include "framework/ui/testsupport/FormDriver.h"

namespace framework {
namespace {

// A combo box of twelve items on a shown form, its notices and drawn rows recorded.
class ComboListTest : public ::testing::Test {
protected:
    TFormDriver Driver;
    TForm* Form = TCustomForm::Create<TForm>(Application);
    TComboBox* Combo = NewComponent<TComboBox>(Form);
    std::vector<int> Notices;  // CBN_ codes in order
    struct TDrawn {
        int Index;
        UINT State;
    };
    std::vector<TDrawn> Drawn;

    void SetUp() override {
        Form->SetBounds(50, 60, 300, 300);
        Combo->SetParent(Form);
        Combo->SetBounds(10, 20, 120, 21);
        Combo->SetStyle(csDropDownList);
        for (int i = 0; i < 12; ++i) Combo->Items().Add("Item " + std::to_string(i));
        TWndMethod old = Combo->WindowProc;
        Combo->WindowProc = [this, old](TMessage& M) {
            if (M.Msg == CN_COMMAND) Notices.push_back(static_cast<int>(M.WParamHi()));
            if (M.Msg == CN_DRAWITEM) {
                auto* d = reinterpret_cast<TDrawItemStruct*>(M.LParam);
                Drawn.push_back({static_cast<int>(d->itemID), d->itemState});
            }
            old(M);
        };
        Form->Show();
        Combo->SetFocus();
    }
    void TearDown() override {
        Form->Free();
        Driver.RunPending();
    }
    // Client point of the list window on the row of Index.
    TPoint Row(int Index) {
        TRect r = Combo->DropDownItemRect(Index);
        TRect top = Combo->DropDownItemRect(Combo->ListTopIndex());
        return TPoint{20, 1 + r.Top - top.Top + r.Height() / 2};
    }
};

TEST_F(ComboListTest, TheListDropsBelowAndAClickChoosesWithItsNotices) {
    Driver.Click(*Combo);
    ASSERT_TRUE(Combo->DroppedDown());
    TCustomControl* list = Combo->ListWindow();
    ASSERT_NE(list, nullptr);
    EXPECT_TRUE(IsWindowVisible(list->Handle()));
    TPoint below = Combo->ClientToScreen(TPoint{0, Combo->Height()});
    EXPECT_EQ(list->BoundsRect(), Bounds(below.X, below.Y, 120, 8 * Combo->ItemHeight() + 2));  // 8 rows

    TPoint p = Row(3);
    Driver.MouseMove(*list, p.X, p.Y);
    EXPECT_EQ(Combo->ListHotIndex(), 3);
    EXPECT_EQ(Combo->ItemIndex(), -1);  // hovering chooses nothing
    Driver.Click(*list, p.X, p.Y);
    EXPECT_FALSE(Combo->DroppedDown());
    EXPECT_FALSE(IsWindowVisible(list->Handle()));
    EXPECT_EQ(Combo->ItemIndex(), 3);
    EXPECT_EQ(Combo->Text(), "Item 3");
    EXPECT_EQ(Notices, (std::vector<int>{CBN_DROPDOWN, CBN_SELCHANGE, CBN_SELENDOK, CBN_CLOSEUP}));
    EXPECT_TRUE(Form->Active());  // the list takes neither the activation nor the focus
    EXPECT_TRUE(Combo->Focused());

    // The same item again: no change notice.
    Notices.clear();
    Driver.Click(*Combo);
    Driver.Click(*list, Row(3).X, Row(3).Y);
    EXPECT_EQ(Notices, (std::vector<int>{CBN_DROPDOWN, CBN_SELENDOK, CBN_CLOSEUP}));

    // A press elsewhere closes the list and goes no further.
    Notices.clear();
    Driver.Click(*Combo);
    int formClicks = 0;
    Form->OnClick = [&](TObject*) { ++formClicks; };
    Driver.Click(*Form, 200, 200);
    EXPECT_FALSE(Combo->DroppedDown());
    EXPECT_EQ(Notices, (std::vector<int>{CBN_DROPDOWN, CBN_CLOSEUP}));
    EXPECT_EQ(formClicks, 0);
    Driver.Click(*Form, 200, 200);
    EXPECT_EQ(formClicks, 1);
}

TEST_F(ComboListTest, KeysAndWheelScrollTheList) {
    Driver.Key(VK_F4);
    ASSERT_TRUE(Combo->DroppedDown());
    for (int i = 0; i < 11; ++i) Driver.Key(VK_DOWN);
    EXPECT_EQ(Combo->ItemIndex(), 10);
    EXPECT_EQ(Combo->ListTopIndex(), 3);  // rows 3..10 show
    for (int i = 0; i < 8; ++i) Driver.Key(VK_UP);
    EXPECT_EQ(Combo->ListTopIndex(), 2);
    Driver.Wheel(*Combo, -120);           // one notch down: three rows
    EXPECT_EQ(Combo->ListTopIndex(), 4);  // but no further than the last page
    EXPECT_EQ(Combo->ItemIndex(), 2);     // the wheel scrolls, it does not choose
    Driver.Wheel(*Combo, 240);
    EXPECT_EQ(Combo->ListTopIndex(), 0);
    // The keys go on from the row the pointer highlighted.
    Driver.MouseMove(*Combo->ListWindow(), Row(6).X, Row(6).Y);
    Driver.Key(VK_DOWN);
    EXPECT_EQ(Combo->ItemIndex(), 7);
    Notices.clear();
    Driver.Key(VK_ESCAPE);
    EXPECT_FALSE(Combo->DroppedDown());
    EXPECT_EQ(Notices, (std::vector<int>{CBN_SELENDCANCEL, CBN_CLOSEUP}));
    // Closed, the wheel steps through the items.
    Driver.Wheel(*Combo, -120);
    EXPECT_EQ(Combo->ItemIndex(), 8);
}

TEST_F(ComboListTest, RowsAreDrawnThroughTheDrawItemPath) {
    Combo->SetStyle(csOwnerDrawFixed);
    Combo->SetItemIndex(1);
    std::vector<std::pair<int, TRect>> rects;
    Combo->OnDrawItem = [&](TWinControl*, int Index, const TRect& R, TOwnerDrawState State) {
        rects.push_back({Index, R});
        TCanvas& c = Combo->Canvas();
        c.Brush.Color = (State & odSelected) ? clRed : clYellow;
        c.FillRect(R);
    };
    Driver.RunPending();
    Drawn.clear();
    rects.clear();
    Driver.Key(VK_F4);
    Driver.RunPending();
    // Eight rows in the list, none with the edit-field state, the selected one selected.
    std::vector<int> rows;
    for (const TDrawn& d : Drawn)
        if (!(d.State & ODS_COMBOBOXEDIT)) {
            rows.push_back(d.Index);
            EXPECT_EQ((d.State & ODS_SELECTED) != 0, d.Index == 1) << d.Index;
        }
    EXPECT_EQ(rows, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
    // What the handler paints lands in the list window at the row's place.
    TCustomControl* list = Combo->ListWindow();
    EXPECT_EQ(Driver.PixelAt(*list, 30, Row(1).Y), static_cast<uint32_t>(clRed));
    EXPECT_EQ(Driver.PixelAt(*list, 30, Row(2).Y), static_cast<uint32_t>(clYellow));
    if (const char* out = std::getenv("KORVANE_MENU_GRAB")) {
        Combo->SetStyle(csDropDownList);
        Combo->OnDrawItem = nullptr;
        list->Repaint();
        Driver.Grab(*list, std::string(out) + "-combo.png");
        Driver.Grab(*Form, std::string(out) + "-comboform.png");
    }
}

}  // namespace
}  // namespace framework
