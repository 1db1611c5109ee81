#include <gtest/gtest.h>

#include "framework/stdctrls/StdCtrls.h"
#include "framework/ui/testsupport/FormDriver.h"

namespace framework {
namespace {

struct TDrawn {
    int Index;
    TRect Rect;
    UINT State;
};

class ListsTest : public ::testing::Test {
protected:
    TFormDriver Driver;
    TForm* Form = TCustomForm::Create<TForm>(Application);
    void TearDown() override {
        Form->Free();
        Driver.RunPending();
    }
    // Hooks the control's window procedure and records the reflected owner-draw notices.
    void Record(TWinControl& C, std::vector<TDrawn>& Drawn, std::vector<int>& Measured) {
        TWndMethod old = C.WindowProc;
        C.WindowProc = [old, &Drawn, &Measured](TMessage& M) {
            if (M.Msg == CN_DRAWITEM) {
                auto* d = reinterpret_cast<TDrawItemStruct*>(M.LParam);
                Drawn.push_back({static_cast<int>(d->itemID),
                                 Rect(d->rcLeft, d->rcTop, d->rcRight, d->rcBottom), d->itemState});
            }
            if (M.Msg == CN_MEASUREITEM)
                Measured.push_back(static_cast<int>(reinterpret_cast<TMeasureItemStruct*>(M.LParam)->itemID));
            old(M);
        };
    }
};

TEST_F(ListsTest, OwnerDrawnListGetsMeasureAndDrawWithRectanglesAndStates) {
    auto* lb = NewComponent<TListBox>(Form);
    lb->SetParent(Form);
    lb->SetBounds(10, 10, 150, 100);
    lb->SetStyle(lbOwnerDrawVariable);
    std::vector<TDrawn> drawn;
    std::vector<int> measured;
    Record(*lb, drawn, measured);
    lb->OnMeasureItem = [](TWinControl*, int Index, int& Height) { Height = 10 + 5 * Index; };
    std::vector<std::pair<int, TOwnerDrawState>> events;
    lb->OnDrawItem = [&](TWinControl*, int Index, const TRect&, TOwnerDrawState State) {
        events.emplace_back(Index, State);
    };
    Form->Show();
    for (const char* s : {"alpha", "beta", "gamma"}) lb->Items().Add(s);
    EXPECT_EQ(measured, (std::vector<int>{0, 1, 2}));
    lb->SetFocus();
    Driver.Key(VK_DOWN);  // selects the first item
    Driver.Key(VK_DOWN);
    EXPECT_EQ(lb->ItemIndex(), 1);
    drawn.clear();
    events.clear();
    lb->Repaint();
    ASSERT_EQ(drawn.size(), 3u);
    int w = lb->ClientWidth();
    EXPECT_EQ(drawn[0].Rect, Rect(0, 0, w, 10));
    EXPECT_EQ(drawn[1].Rect, Rect(0, 10, w, 25));
    EXPECT_EQ(drawn[2].Rect, Rect(0, 25, w, 45));
    EXPECT_EQ(drawn[0].State, 0u);
    EXPECT_EQ(drawn[1].State, ODS_SELECTED | ODS_FOCUS);
    EXPECT_EQ(events[1], (std::pair<int, TOwnerDrawState>{1, odSelected | odFocused}));
    TRect r;
    EXPECT_EQ(lb->Perform(LB_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&r)), 1);
    EXPECT_EQ(r, drawn[2].Rect);
    EXPECT_EQ(lb->Perform(LB_GETITEMRECT, 7, reinterpret_cast<LPARAM>(&r)), LB_ERR);
    EXPECT_EQ(lb->Perform(LB_ITEMFROMPOINT, 0, MakeLParam(5, 12)), 1);

    // Without the focus the selected item is still selected, no longer focused.
    auto* other = NewComponent<TEdit>(Form);
    other->SetParent(Form);
    other->SetTop(150);
    other->SetFocus();
    drawn.clear();
    lb->Repaint();
    ASSERT_EQ(drawn.size(), 3u);
    EXPECT_EQ(drawn[1].State, ODS_SELECTED);

    // A fixed owner-drawn list uses ItemHeight for every item.
    auto* fixed = NewComponent<TListBox>(Form);
    fixed->SetParent(Form);
    fixed->SetStyle(lbOwnerDrawFixed);
    fixed->SetItemHeight(18);
    fixed->Items().Add("x");
    fixed->Items().Add("y");
    EXPECT_EQ(fixed->ItemRect(1), Rect(0, 18, fixed->ClientWidth(), 36));
}

TEST_F(ListsTest, ListBoxMessagesFindInsertDeleteAndData) {
    auto* lb = NewComponent<TListBox>(Form);
    lb->SetParent(Form);
    auto add = [&](const char* s) { return lb->Perform(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s)); };
    add("Apple");
    add("apricot");
    add("Banana");
    add("APPLE PIE");
    struct TFind {
        UINT Msg;
        intptr_t Start;
        const char* Text;
        LRESULT Expected;
    };
    for (const TFind& c : std::vector<TFind>{
             {LB_FINDSTRINGEXACT, -1, "apple", 0},     // exact ignores case
             {LB_FINDSTRINGEXACT, -1, "APP", LB_ERR},  // but the whole string must match
             {LB_FINDSTRING, -1, "ap", 0},             // a prefix, from the top
             {LB_FINDSTRING, 0, "ap", 1},              // after the start item
             {LB_FINDSTRING, 1, "APPLE", 3},
             {LB_FINDSTRING, 3, "apple", 0},  // searching wraps round
             {LB_FINDSTRING, -1, "cherry", LB_ERR},
             {LB_FINDSTRINGEXACT, 0, "Apple", 0},  // the start item itself comes last
         }) {
        SCOPED_TRACE(c.Text);
        EXPECT_EQ(lb->Perform(c.Msg, static_cast<WPARAM>(c.Start), reinterpret_cast<LPARAM>(c.Text)),
                  c.Expected);
    }
    EXPECT_EQ(lb->Perform(LB_INSERTSTRING, 1, reinterpret_cast<LPARAM>("Fig")), 1);
    EXPECT_EQ(lb->Items()[1], "Fig");
    EXPECT_EQ(lb->Perform(LB_INSERTSTRING, 9, reinterpret_cast<LPARAM>("x")), LB_ERR);
    lb->Perform(LB_SETITEMDATA, 2, 77);
    lb->Perform(LB_SETCURSEL, 2, 0);
    EXPECT_EQ(lb->Perform(LB_DELETESTRING, 0, 0), 4);  // the remaining count
    EXPECT_EQ(lb->Perform(LB_GETITEMDATA, 1, 0), 77);  // data moves with its item
    EXPECT_EQ(lb->ItemIndex(), 1);                     // so does the selection
    EXPECT_EQ(lb->Perform(LB_DELETESTRING, 9, 0), LB_ERR);
    EXPECT_EQ(lb->Perform(LB_GETTEXTLEN, 0, 0), 3);

    lb->SetSorted(true);
    lb->Items().Add("Cherry");
    EXPECT_EQ(lb->Items().IndexOf("cherry"), 3);
    std::string all;
    for (int i = 0; i < lb->Items().Count(); ++i) all += lb->Items()[i] + ",";
    EXPECT_EQ(all, "APPLE PIE,apricot,Banana,Cherry,Fig,");
    EXPECT_THROW(lb->Items().Get(10), EStringListError);
}

TEST_F(ListsTest, ComboBoxFindsSelectsAndNotifiesDropDownAndCloseUp) {
    auto* cb = NewComponent<TComboBox>(Form);
    cb->SetParent(Form);
    std::vector<std::string> log;
    cb->OnChange = [&](TObject*) { log.push_back("change " + cb->Text()); };
    cb->OnClick = [&](TObject*) { log.push_back("click"); };
    cb->OnDropDown = [&](TObject*) { log.push_back("dropdown"); };
    cb->OnCloseUp = [&](TObject*) { log.push_back("closeup"); };
    for (const char* s : {"Floppy", "Hard disk", "CD-ROM", "hard copy"}) cb->Items().Add(s);
    EXPECT_EQ(cb->Perform(CB_FINDSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("HARD")), 1);
    EXPECT_EQ(cb->Perform(CB_FINDSTRING, 1, reinterpret_cast<LPARAM>("hard")), 3);
    EXPECT_EQ(cb->Perform(CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("cd-rom")),
              2);
    EXPECT_EQ(cb->Perform(CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("CD")),
              CB_ERR);

    cb->SetItemIndex(2);  // from the program: no notices
    EXPECT_EQ(cb->Text(), "CD-ROM");
    EXPECT_TRUE(log.empty());

    Form->Show();
    cb->SetFocus();
    Driver.Key(VK_DOWN, ssAlt);
    EXPECT_TRUE(cb->DroppedDown());
    EXPECT_EQ(cb->Perform(CB_GETDROPPEDSTATE, 0, 0), 1);
    Driver.Key(VK_UP);
    Driver.Key(VK_RETURN);  // closes the list; does not reach the form
    EXPECT_FALSE(cb->DroppedDown());
    EXPECT_EQ(log, (std::vector<std::string>{"dropdown", "click", "change Hard disk", "closeup"}));
    EXPECT_EQ(cb->ItemIndex(), 1);

    // The edit field takes typing; a list-only combo selects by the first letter.
    log.clear();
    cb->SelectAll();
    Driver.Type("Zip");
    EXPECT_EQ(cb->Text(), "Zip");
    EXPECT_EQ(log.back(), "change Zip");
    cb->SetStyle(csDropDownList);
    cb->SetItemIndex(0);
    Driver.Type("h");
    EXPECT_EQ(cb->ItemIndex(), 1);
    Driver.Type("h");
    EXPECT_EQ(cb->ItemIndex(), 3);
    cb->SetText("cd-rom");  // names an item: selects it (no edit field to hold other text)
    EXPECT_EQ(cb->ItemIndex(), 2);
    EXPECT_EQ(cb->Text(), "CD-ROM");
    cb->SetText("Tape");
    EXPECT_EQ(cb->ItemIndex(), -1);
    EXPECT_EQ(cb->Text(), "");
}

TEST_F(ListsTest, OwnerDrawnComboDrawsItsEditFieldWithComboBoxEditState) {
    auto* cb = NewComponent<TComboBox>(Form);
    cb->SetParent(Form);
    cb->SetStyle(csOwnerDrawVariable);
    std::vector<TDrawn> drawn;
    std::vector<int> measured;
    Record(*cb, drawn, measured);
    cb->OnMeasureItem = [](TWinControl*, int Index, int& Height) { Height = 20 + Index; };
    cb->Items().Add("one");
    cb->Items().Add("two");
    EXPECT_EQ(measured, (std::vector<int>{0, 1}));
    EXPECT_EQ(cb->Perform(CB_GETITEMHEIGHT, 1, 0), 21);
    cb->SetItemIndex(1);
    Form->Show();
    drawn.clear();
    cb->Repaint();
    ASSERT_EQ(drawn.size(), 1u);
    EXPECT_EQ(drawn[0].Index, 1);
    EXPECT_TRUE(drawn[0].State & ODS_COMBOBOXEDIT);
    EXPECT_EQ(cb->DropDownItemRect(1), Rect(0, cb->Height() + 20, cb->Width(), cb->Height() + 41));
}

}  // namespace
}  // namespace framework
