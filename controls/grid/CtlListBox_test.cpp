// The library's list box and check list: tab stops, the horizontal extent, the item painting of the
// check list, and the check states under mouse, keys and item changes.
#include "controls/grid/CtlListBox.h"

#include <gtest/gtest.h>

#include "framework/core/SysUtils.h"
#include "framework/graphics/Gdi.h"
#include "framework/ui/testsupport/FormDriver.h"

namespace grid {
namespace {

using namespace framework;

TEST(CtlTabStops, AverageWidthsBecomePixelsAndDialogUnits) {
    std::vector<int32_t> px, du;
    CtlComputeTabStops({"10", "20", "30"}, 7, 8, px, du);
    EXPECT_EQ(px, (std::vector<int32_t>{70, 140, 210}));
    EXPECT_EQ(du, (std::vector<int32_t>{35, 70, 105}));
    // Only the first 100 lines are used.
    std::vector<std::string> many(150, "1");
    CtlComputeTabStops(many, 7, 8, px, du);
    EXPECT_EQ(px.size(), 100u);
    EXPECT_THROW(CtlComputeTabStops({"10", "x"}, 7, 8, px, du), EConvertError);
}

class CheckListTest : public ::testing::Test {
protected:
    TFormDriver Driver;
    TForm* Form = TCustomForm::Create<TForm>(Application);
    TCtlCheckList* List = nullptr;
    std::vector<std::tuple<int, TCheckBoxState, TCheckBoxState>> Changes;
    int Clicks = 0;
    void SetUp() override {
        Form->SetBounds(40, 40, 300, 260);
        List = NewComponent<TCtlCheckList>(Form);
        List->SetBounds(10, 10, 200, 150);
        List->SetItemHeight(16);
        List->SetColor(clSilver);
        List->SetParent(Form);
        List->OnStateChange = [this](TObject*, int i, TCheckBoxState o, TCheckBoxState n) {
            Changes.emplace_back(i, o, n);
        };
        List->OnClick = [this](TObject*) { ++Clicks; };
        for (const char* s : {"Alpha", "Beta", "Gamma"}) List->Items().Add(s);
        Form->Show();
        Driver.RunPending();
    }
    void TearDown() override {
        Form->Free();
        Driver.RunPending();
    }
    uint32_t Px(int X, int Y) { return Driver.PixelAt(*List, X, Y); }
    std::vector<TCheckBoxState> States() {
        std::vector<TCheckBoxState> s;
        for (int i = 0; i < List->Items().Count(); ++i) s.push_back(List->GetItemState(i));
        return s;
    }
};

TEST_F(CheckListTest, ItemGeometryBoxMarkTextAndSelection) {
    List->CheckColor = clRed;
    List->SetItemState(0, cbChecked);
    List->SetItemIndex(1);
    Driver.RunPending();
    const uint32_t outline = 0xD8CCC0;
    // Item 0: the box covers (1,1)-(15,15); its right and bottom edges keep the outline colour.
    EXPECT_EQ(Px(0, 8), ColorToRGB(clSilver));
    EXPECT_EQ(Px(1, 1), 0x806450u);  // outer bevel, top-left
    EXPECT_EQ(Px(14, 14), outline);  // bottom-right corner of the box
    EXPECT_EQ(Px(15, 8), ColorToRGB(clSilver));
    EXPECT_EQ(Px(8, 5), ColorToRGB(clWhite));  // box fill
    // The check mark in the mark rectangle (4,4,12,12): its first stroke starts at (4,7).
    EXPECT_EQ(Px(4, 7), ColorToRGB(clRed));
    EXPECT_EQ(Px(5, 8), ColorToRGB(clRed));
    // Item 1 (y 16..31), selected: highlight from x 15, the box is untouched.
    EXPECT_EQ(Px(100, 16 + 8), ColorToRGB(clHighlight));
    EXPECT_NE(Px(15, 16 + 8), ColorToRGB(clSilver));  // highlight (or the focus rectangle) from x 15
    EXPECT_EQ(Px(14, 16 + 14), outline);
    EXPECT_EQ(Px(4, 16 + 7), ColorToRGB(clWhite));  // unchecked: no mark
    // Text of item 0 starts at x 16: something other than the background lies right of it.
    bool ink = false;
    for (int x = 16; x < 60 && !ink; ++x)
        for (int y = 2; y < 14 && !ink; ++y) ink = Px(x, y) != ColorToRGB(clSilver);
    EXPECT_TRUE(ink);
    // Grayed: the box is filled with the checkerboard.
    List->SetItemState(2, cbGrayed);
    Driver.RunPending();
    const uint32_t p = Px(12, 32 + 3);
    EXPECT_TRUE(p == 0x808080u || p == 0xC0C0C0u) << std::hex << p;
}

TEST_F(CheckListTest, BoxSideIsEvenAndMarginMustLeaveABox) {
    List->SetItemHeight(15);
    Driver.RunPending();
    // s = 15 - 2 = 13, made even: 12; the box ends at x 13 (exclusive).
    EXPECT_EQ(Px(12, 12), 0xD8CCC0u);
    EXPECT_EQ(Px(13, 5), ColorToRGB(clSilver));
    List->SetItemHeight(16);
    List->SetBoxMargin(8);
    EXPECT_EQ(List->BoxMargin(), 1);
    List->SetBoxMargin(0);
    EXPECT_EQ(List->BoxMargin(), 1);
    List->SetBoxMargin(7);
    EXPECT_EQ(List->BoxMargin(), 7);
}

TEST_F(CheckListTest, ClicksOnTheBoxAndOnTheText) {
    // BoxClickOnly: the text selects without toggling.
    Driver.Click(*List, 60, 16 + 8);
    EXPECT_EQ(List->ItemIndex(), 1);
    EXPECT_EQ(List->GetItemState(1), cbUnchecked);
    Driver.Click(*List, 8, 16 + 8);
    EXPECT_EQ(List->GetItemState(1), cbChecked);
    List->BoxClickOnly = false;
    Driver.Click(*List, 60, 32 + 8);
    EXPECT_EQ(List->ItemIndex(), 2);
    EXPECT_EQ(List->GetItemState(2), cbChecked);
    // Below the last item nothing toggles.
    Driver.Click(*List, 8, 100);
    EXPECT_EQ(States(), (std::vector<TCheckBoxState>{cbUnchecked, cbChecked, cbChecked}));
}

TEST_F(CheckListTest, ToggleCyclesAndKeys) {
    List->SetItemIndex(0);
    List->SetFocus();
    Driver.RunPending();
    Clicks = 0;
    // Two-state: unchecked, checked, unchecked; grayed becomes checked.
    Driver.Type(" ");
    EXPECT_EQ(List->GetItemState(0), cbChecked);
    Driver.Type("x");
    EXPECT_EQ(List->GetItemState(0), cbUnchecked);
    EXPECT_EQ(Clicks, 2);
    List->SetItemState(0, cbGrayed);
    Driver.Type("a");
    EXPECT_EQ(List->GetItemState(0), cbChecked);
    // Three-state: unchecked, grayed, checked, unchecked.
    List->ThreeState = true;
    List->SetItemState(0, cbUnchecked);
    std::vector<TCheckBoxState> seen;
    for (int i = 0; i < 3; ++i) {
        Driver.Type(" ");
        seen.push_back(List->GetItemState(0));
    }
    EXPECT_EQ(seen, (std::vector<TCheckBoxState>{cbGrayed, cbChecked, cbUnchecked}));
}

TEST_F(CheckListTest, ReadOnlyChangesNothing) {
    List->ReadOnly = true;
    List->BoxClickOnly = false;
    Driver.Click(*List, 8, 8);
    Driver.Click(*List, 60, 16 + 8);
    EXPECT_EQ(List->ItemIndex(), -1);
    List->SetFocus();
    List->SetItemIndex(0);
    Driver.Type(" ");
    EXPECT_EQ(States(), (std::vector<TCheckBoxState>{cbUnchecked, cbUnchecked, cbUnchecked}));
    EXPECT_TRUE(Changes.empty());
}

TEST_F(CheckListTest, StatesFollowTheItems) {
    List->SetItemState(0, cbChecked);
    List->SetItemState(2, cbGrayed);
    Changes.clear();
    // The same state again still reports; outside the items nothing happens.
    List->SetItemState(0, cbChecked);
    List->SetItemState(3, cbChecked);
    List->SetItemState(-1, cbChecked);
    ASSERT_EQ(Changes.size(), 1u);
    EXPECT_EQ(Changes[0], std::make_tuple(0, cbChecked, cbChecked));
    EXPECT_EQ(List->GetItemState(3), cbUnchecked);
    // Deleting item 1 of 3 keeps item 2's state on the new item 1.
    List->Items().Delete(1);
    EXPECT_EQ(States(), (std::vector<TCheckBoxState>{cbChecked, cbGrayed}));
    // Inserting at 0 keeps every state on its item.
    List->Items().Insert(0, "New");
    EXPECT_EQ(States(), (std::vector<TCheckBoxState>{cbUnchecked, cbChecked, cbGrayed}));
    // A refill after Clear starts unchecked, and the state list does not grow with refills.
    List->Items().Clear();
    for (const char* s : {"x", "y", "z", "w"}) List->Items().Add(s);
    EXPECT_EQ(States(), std::vector<TCheckBoxState>(4, cbUnchecked));
    EXPECT_EQ(List->StateCount(), 4);
    // A sorted list keeps each state with its item.
    List->Items().Clear();
    List->SetSorted(true);
    List->Items().Add("b");
    List->SetItemState(0, cbChecked);
    List->Items().Add("a");
    EXPECT_EQ(List->Items().Strings(1), "b");
    EXPECT_EQ(States(), (std::vector<TCheckBoxState>{cbUnchecked, cbChecked}));
}

TEST_F(CheckListTest, TabStopsAndHorizontalExtent) {
    TStringList stops;
    stops.Add("10");
    stops.Add("20");
    List->SetTabStops(&stops);
    EXPECT_EQ(List->TabStops().Count(), 2);
    EXPECT_EQ(List->PixelTabStops().size(), 2u);
    // A bad line keeps the old stops.
    TStringList bad;
    bad.Add("5");
    bad.Add("five");
    EXPECT_THROW(List->SetTabStops(&bad), EConvertError);
    EXPECT_EQ(List->TabStops().Strings(1), "20");
    List->SetTabStops(nullptr);
    EXPECT_EQ(List->TabStops().Count(), 0);

    // Without HorizontalScroll no extent is ever set.
    EXPECT_EQ(List->Perform(LB_GETHORIZONTALEXTENT, 0, 0), 0);
    List->Items().Clear();
    List->SetHorizontalScroll(true);
    Driver.RunPending();
    EXPECT_EQ(List->Perform(LB_GETHORIZONTALEXTENT, 0, 0), 21);

    auto* plain = NewComponent<TCtlCustomListBox>(Form);
    plain->SetBounds(220, 10, 60, 100);
    plain->SetParent(Form);
    plain->SetHorizontalScroll(true);
    plain->HandleNeeded();
    EXPECT_EQ(plain->Perform(LB_GETHORIZONTALEXTENT, 0, 0), 5);
    plain->Items().Add("WWWW");
    EXPECT_GT(plain->Perform(LB_GETHORIZONTALEXTENT, 0, 0), 5);
}

}  // namespace
}  // namespace grid
