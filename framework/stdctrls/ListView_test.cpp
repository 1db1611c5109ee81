#include "framework/stdctrls/ListView.h"

#include <gtest/gtest.h>

#include <set>

#include "framework/core/SysUtils.h"
#include "framework/stdctrls/ComCtrls.h"
#include "framework/stdctrls/HeaderControl.h"
#include "framework/ui/Hints.h"
#include "framework/ui/testsupport/FormDriver.h"

namespace framework {
namespace {

void AddSquares(TImageList& List, std::initializer_list<TColor> Colors) {
    for (TColor color : Colors) {
        TBitmap b;
        b.SetPixelFormat(pf24bit);
        b.SetSize(List.Width, List.Height);
        b.Canvas().Brush.Color = clFuchsia;
        b.Canvas().FillRect(Rect(0, 0, List.Width, List.Height));
        b.Canvas().Brush.Color = color;
        b.Canvas().FillRect(Rect(List.Width / 8, List.Height / 8, List.Width * 7 / 8, List.Height * 7 / 8));
        List.AddMasked(&b, clFuchsia);
    }
}

class ListViewTest : public ::testing::Test {
protected:
    TFormDriver Driver;
    TForm* Form = TCustomForm::Create<TForm>(Application);
    TListView* List = nullptr;
    TImageList* Small = nullptr;
    TImageList* Large = nullptr;
    void SetUp() override {
        Form->SetClientSize(420, 260);
        Small = NewComponent<TImageList>(Form);
        AddSquares(*Small, {clYellow, clSilver});
        Large = NewComponent<TImageList>(Form);
        Large->Width = Large->Height = 32;
        AddSquares(*Large, {clYellow, clSilver});
        List = NewComponent<TListView>(Form);
        List->SetParent(Form);
        List->SetBounds(10, 10, 400, 240);
        List->SetSmallImages(Small);
        List->SetLargeImages(Large);
        for (auto [caption, width, align] :
             {std::tuple{"Name", 150, taLeftJustify}, std::tuple{"Size", 75, taRightJustify},
              std::tuple{"Type", 120, taLeftJustify}}) {
            TListColumn* c = List->Columns().Add();
            c->SetCaption(caption);
            c->SetWidth(width);
            c->SetAlignment(align);
        }
    }
    void TearDown() override {
        Form->Free();
        Driver.RunPending();
    }
    void AddFiles(int Count) {
        for (int i = 0; i < Count; ++i) {
            TListItem* item = List->Items().Add();
            item->Caption =
                i % 3 == 0 ? "Folder " + std::to_string(i) : "File number " + std::to_string(i) + ".txt";
            item->SubItems.Add(i % 3 == 0 ? "" : IntToStr(i * 3) + "KB");
            item->SubItems.Add(i % 3 == 0 ? "File Folder" : "Text Document");
            item->ImageIndex = i % 3 == 0 ? 0 : 1;
        }
    }
    std::set<int> SelectedSet() {
        std::set<int> s;
        for (int i = 0; i < List->Items().Count(); ++i)
            if (List->IsSelected(i)) s.insert(i);
        return s;
    }
    TPoint Centre(int Index) {
        TRect r = List->ItemRect(Index, true);
        return Point((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2);
    }
};

TEST_F(ListViewTest, AnOwnerDataViewOfAHundredThousandRowsAsksOnlyForTheRowsDrawn) {
    List->SetViewStyle(vsReport);
    List->SetOwnerData(true);
    List->SetMultiSelect(true);
    std::set<int> asked;
    List->OnData = [&](TObject*, TListItem* Item) {
        asked.insert(Item->Index());
        Item->Caption = "Row " + std::to_string(Item->Index());
        Item->SubItems.Add(IntToStr(Item->Index() * 10));
        Item->ImageIndex = Item->Index() % 2;
    };
    List->Items().SetCount(100000);
    Form->Show();
    Driver.RunPending();
    int rows = List->VisibleRowCount();
    ASSERT_GT(rows, 5);
    ASSERT_FALSE(asked.empty());
    EXPECT_EQ(*asked.begin(), 0);
    EXPECT_LE(*asked.rbegin(), rows);  // the rows in view and at most one partly shown
    EXPECT_EQ(List->Items()[99999]->Caption, "Row 99999");

    // Scrolling to the end asks for the last rows only.
    asked.clear();
    Driver.KeyTo(*List, VK_END);
    Driver.RunPending();
    EXPECT_EQ(List->ItemIndex(), 99999);
    EXPECT_EQ(SelectedSet(), (std::set<int>{99999}));
    EXPECT_GE(*asked.begin(), 99999 - rows - 1);
    EXPECT_LE(asked.size(), static_cast<size_t>(rows + 4));

    // Selecting all and clearing tell OnSelectItem once each, without fetching every row.
    int notices = 0;
    List->OnSelectItem = [&](TObject*, TListItem*, bool) { ++notices; };
    asked.clear();
    Driver.Key('A', ssCtrl);
    EXPECT_EQ(List->SelCount(), 100000);
    List->ClearSelection();
    EXPECT_EQ(List->SelCount(), 0);
    EXPECT_EQ(notices, 2);
    EXPECT_LT(asked.size(), 100u);
}

TEST_F(ListViewTest, ClickingTheSizeHeaderTellsOnColumnClickWithThatColumn) {
    List->SetViewStyle(vsReport);
    AddFiles(5);
    Form->Show();
    Driver.RunPending();
    std::vector<TListColumn*> clicked;
    List->OnColumnClick = [&](TObject*, TListColumn* Column) { clicked.push_back(Column); };
    THeaderControl& header = List->Header();
    ASSERT_TRUE(header.Visible());
    Driver.Click(header, 150 + 30, header.Height() / 2);
    ASSERT_EQ(clicked.size(), 1u);
    EXPECT_EQ(clicked[0], List->Columns()[1]);
    EXPECT_EQ(clicked[0]->Caption(), "Size");

    // Sorting by the caller's compare on that column: sizes descending, folders last.
    List->CustomSort([](TListItem* A, TListItem* B) {
        int a = A->SubItems[0].empty() ? -1 : StrToInt(A->SubItems[0].substr(0, A->SubItems[0].size() - 2));
        int b = B->SubItems[0].empty() ? -1 : StrToInt(B->SubItems[0].substr(0, B->SubItems[0].size() - 2));
        return b - a;
    });
    EXPECT_EQ(List->Items()[0]->Caption, "File number 4.txt");
    EXPECT_EQ(List->Items()[0]->Index(), 0);
    EXPECT_EQ(List->Items()[4]->Caption, "Folder 3");

    // Dragging a column edge in the header resizes the column; no click comes of it.
    Driver.MouseDown(header, 150, 5);
    Driver.MouseMove(header, 190, 5, ssLeft);
    Driver.MouseUp(header, 190, 5);
    EXPECT_EQ(List->Columns()[0]->Width(), 190);
    EXPECT_EQ(clicked.size(), 1u);
    // Without column clicks the header is inert.
    List->ColumnClick = false;
    Driver.Click(header, 220, 5);
    EXPECT_EQ(clicked.size(), 1u);
}

TEST_F(ListViewTest, ShiftAndCtrlSelectRangesAndSingleItemsAndTheFocusFollows) {
    List->SetViewStyle(vsReport);
    List->SetMultiSelect(true);
    AddFiles(10);
    Form->Show();
    Driver.RunPending();
    std::vector<std::string> log;
    List->OnSelectItem = [&](TObject*, TListItem* Item, bool Selected) {
        log.push_back(std::to_string(Item->Index()) + (Selected ? "+" : "-"));
    };
    Driver.Click(*List, Centre(2).X, Centre(2).Y);
    Driver.Click(*List, Centre(5).X, Centre(5).Y, TMouseButton::mbLeft, ssShift);
    EXPECT_EQ(SelectedSet(), (std::set<int>{2, 3, 4, 5}));
    EXPECT_EQ(List->ItemFocused()->Index(), 5);
    Driver.Click(*List, Centre(8).X, Centre(8).Y, TMouseButton::mbLeft, ssCtrl);
    Driver.Click(*List, Centre(3).X, Centre(3).Y, TMouseButton::mbLeft, ssCtrl);
    EXPECT_EQ(SelectedSet(), (std::set<int>{2, 4, 5, 8}));
    // Shift extends from the last Ctrl-click.
    Driver.Click(*List, Centre(1).X, Centre(1).Y, TMouseButton::mbLeft, ssShift);
    EXPECT_EQ(SelectedSet(), (std::set<int>{1, 2, 3}));
    EXPECT_EQ(List->Selected()->Index(), 1);
    EXPECT_EQ(List->SelCount(), 3);
    // The keys: Shift+Down extends, Ctrl+Down moves only the focus, Ctrl+Space toggles.
    Driver.Key(VK_DOWN, ssShift);
    EXPECT_EQ(SelectedSet(), (std::set<int>{2, 3}));
    Driver.Key(VK_DOWN, ssCtrl);
    Driver.Key(VK_DOWN, ssCtrl);
    EXPECT_EQ(List->ItemIndex(), 4);
    Driver.Key(VK_SPACE, ssCtrl);
    EXPECT_EQ(SelectedSet(), (std::set<int>{2, 3, 4}));
    Driver.Key(VK_DOWN);
    EXPECT_EQ(SelectedSet(), (std::set<int>{5}));
    EXPECT_EQ(log.front(), "2+");
    EXPECT_EQ(log.back(), "5+");
    // A click on empty space clears; GetNextItem walks the selection.
    Driver.Click(*List, 350, 200);
    EXPECT_TRUE(SelectedSet().empty());
    List->Items()[7]->SetSelected(true);
    List->Items()[9]->SetSelected(true);
    TListItem* first = List->GetNextItem(nullptr, sdAll, isSelected);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->Index(), 7);
    EXPECT_EQ(List->GetNextItem(first, sdAll, isSelected)->Index(), 9);
    // Deleting an item keeps the others' selection.
    List->Items().Delete(8);
    EXPECT_EQ(SelectedSet(), (std::set<int>{7, 8}));
    // Without multi-selection a Shift-click selects one item.
    List->SetMultiSelect(false);
    EXPECT_EQ(SelectedSet().size(), 1u);
    Driver.Click(*List, Centre(2).X, Centre(2).Y, TMouseButton::mbLeft, ssShift);
    EXPECT_EQ(SelectedSet(), (std::set<int>{2}));
}

TEST_F(ListViewTest, PressingASelectedItemDragsTheWholeSelection) {
    List->SetViewStyle(vsReport);
    List->SetMultiSelect(true);
    AddFiles(6);
    Form->Show();
    Driver.RunPending();
    List->Items()[1]->SetSelected(true);
    List->Items()[3]->SetSelected(true);
    std::vector<int> dragged;
    List->OnStartItemDrag = [&](TObject* Sender, TListItem* Item) {
        auto* lv = static_cast<TCustomListView*>(Sender);
        dragged.push_back(Item->Index());
        for (TListItem* i = lv->GetNextItem(nullptr, sdAll, isSelected); i;
             i = lv->GetNextItem(i, sdAll, isSelected))
            dragged.push_back(i->Index());
    };
    TPoint p = Centre(3);
    int far = GetSystemMetrics(SM_CXDRAG) + 2;
    Driver.MouseDown(*List, p.X, p.Y);
    Driver.MouseMove(*List, p.X + far, p.Y + far, ssLeft);
    Driver.MouseUp(*List, p.X + far, p.Y + far);
    EXPECT_EQ(dragged, (std::vector<int>{3, 1, 3}));
    EXPECT_EQ(SelectedSet(), (std::set<int>{1, 3}));
    // A plain click on a selected item without a drag narrows the selection to it.
    Driver.Click(*List, p.X, p.Y);
    EXPECT_EQ(SelectedSet(), (std::set<int>{3}));
}

TEST_F(ListViewTest, LabelEditingCommitsCancelsAndAsksFirst) {
    List->SetViewStyle(vsList);
    AddFiles(4);
    Form->Show();
    Driver.RunPending();
    std::vector<std::string> edited;
    List->OnEdited = [&](TObject*, TListItem* Item, std::string& S) {
        edited.push_back(Item->Caption + ">" + S);
    };
    List->SetItemIndex(1);
    Driver.KeyTo(*List, VK_F2);
    ASSERT_TRUE(List->IsEditing());
    Driver.Type("Renamed.txt");
    Driver.Key(VK_RETURN);
    EXPECT_EQ(List->Items()[1]->Caption, "Renamed.txt");
    Driver.Key(VK_F2);
    Driver.Type("nope");
    Driver.Key(VK_ESCAPE);
    EXPECT_EQ(List->Items()[1]->Caption, "Renamed.txt");
    EXPECT_EQ(edited, (std::vector<std::string>{"File number 1.txt>Renamed.txt"}));
    List->OnEditing = [](TObject*, TListItem*, bool& Allow) { Allow = false; };
    EXPECT_FALSE(List->Items()[1]->EditCaption());
    // Double-clicking an item tells OnDblClick.
    int dbl = 0;
    List->OnDblClick = [&](TObject*) { ++dbl; };
    Driver.DoubleClick(*List, Centre(2).X, Centre(2).Y);
    EXPECT_EQ(dbl, 1);
    EXPECT_EQ(List->ItemIndex(), 2);
    // Freeing the window with an edit open ends the edit quietly.
    List->OnEditing = nullptr;
    EXPECT_TRUE(List->Items()[2]->EditCaption());
}

TEST_F(ListViewTest, TheFourViewStylesPlaceItemsAndMoveByKeysAsTheyAreDrawn) {
    AddFiles(24);
    List->Items()[4]->Caption = "A rather long file name that wraps.txt";
    List->Items()[1]->SetSelected(true);
    Form->Show();
    struct TCase {
        TViewStyle Style;
        const char* Name;
    };
    int perRow = List->ClientWidth() / 76;
    for (const TCase& c : {TCase{vsIcon, "icons"}, TCase{vsSmallIcon, "small"}, TCase{vsList, "list"},
                           TCase{vsReport, "details"}}) {
        List->SetViewStyle(c.Style);
        List->SetFocus();
        Driver.RunPending();
        EXPECT_EQ(List->Header().Visible(), c.Style == vsReport) << c.Name;
        std::string png = ::testing::TempDir() + "listview_" + c.Name + ".png";
        ASSERT_TRUE(Driver.Grab(*Form, png)) << c.Name;
        // Each item is found where it is drawn.
        for (int i : {0, 5, 9})
            EXPECT_EQ(List->IndexAt(Centre(i).X, Centre(i).Y), i) << c.Name << " item " << i;
        List->SetItemIndex(0);
        Driver.Key(VK_RIGHT);
        int right = List->ItemIndex();
        List->SetItemIndex(0);
        Driver.Key(VK_DOWN);
        int down = List->ItemIndex();
        // Items to a line of the layout: along a row of icons, down a column of the list.
        int perLine = 0;
        for (int i = 0; i < 24; ++i)
            if ((c.Style == vsList ? List->ItemRect(i, false).Left : List->ItemRect(i, false).Top) == 0)
                ++perLine;
        int wantRight = c.Style == vsList ? perLine : c.Style == vsReport ? 0 : 1;
        int wantDown = c.Style == vsList || c.Style == vsReport ? 1 : perLine;
        EXPECT_EQ(right, wantRight) << c.Name;
        EXPECT_EQ(down, wantDown) << c.Name;
        if (c.Style == vsIcon) {
            EXPECT_EQ(perLine, perRow);
        }
    }
}

TEST_F(ListViewTest, AnOwnerDataItemUnderThePointerShowsItsOwnHint) {
    List->SetViewStyle(vsReport);
    List->SetOwnerData(true);
    List->OnData = [](TObject*, TListItem* Item) { Item->Caption = "Row " + std::to_string(Item->Index()); };
    List->Items().SetCount(50);
    List->SetShowHint(true);
    List->OnInfoTip = [](TObject*, TListItem* Item, std::string& Tip) { Tip = Item->Caption + " in full"; };
    Form->Show();
    Driver.RunPending();
    Driver.MouseMove(*List, Centre(3).X, Centre(3).Y);
    Driver.Advance(Application->HintPause);
    ASSERT_NE(ShownHintWindow(), nullptr);
    EXPECT_EQ(ShownHintWindow()->Caption(), "Row 3 in full");
    Driver.MouseMove(*List, Centre(4).X, Centre(4).Y);
    Driver.MouseMove(*List, Centre(4).X + 1, Centre(4).Y);
    Driver.Advance(Application->HintPause);
    ASSERT_NE(ShownHintWindow(), nullptr);
    EXPECT_EQ(ShownHintWindow()->Caption(), "Row 4 in full");
    Application->CancelHint();
}

TEST_F(ListViewTest, TypingFindsTheItemByTheBeginningOfItsCaption) {
    List->SetViewStyle(vsReport);
    AddFiles(12);  // Folder 0, File number 1.txt, File number 2.txt, Folder 3, ...
    Form->Show();
    Driver.RunPending();
    EXPECT_EQ(List->FindCaption(0, "folder 3", false, true, false)->Index(), 3);
    EXPECT_EQ(List->FindCaption(0, "FILE", true, true, false)->Index(), 1);
    EXPECT_EQ(List->FindCaption(9, "folder", true, false, false), nullptr);
    EXPECT_EQ(List->FindCaption(9, "folder", true, false, true)->Index(), 0);  // wraps
    EXPECT_EQ(List->FindCaption(0, "Folder 3", true, false, false)->Index(), 3);
    List->Items()[5]->Data = List;
    EXPECT_EQ(List->FindData(0, List, true, false)->Index(), 5);

    List->SetFocus();
    Driver.Type("file number 1");
    EXPECT_EQ(List->ItemIndex(), 1);
    Driver.Type("0");
    EXPECT_EQ(List->ItemIndex(), 10);
    Driver.Advance(1500);  // a pause starts a new search
    Driver.Type("f");
    EXPECT_EQ(List->ItemIndex(), 11);
    Driver.Type("f");  // the same letter again: the next item beginning with it
    EXPECT_EQ(List->ItemIndex(), 0);

    // An owner-data view asks its owner to find the row.
    List->SetOwnerData(true);
    List->OnData = [](TObject*, TListItem* Item) { Item->Caption = "Row " + std::to_string(Item->Index()); };
    std::vector<std::string> asked;
    List->OnDataFind = [&](TObject*, TItemFind Find, const std::string& S, const TPoint&, void*, int Start,
                           TSearchDirection, bool, int& Index) {
        asked.push_back(S + "@" + std::to_string(Start) + (Find == ifPartialString ? "~" : ""));
        Index = S == "row 7" ? 7 : -1;
    };
    List->Items().SetCount(100);
    Driver.Advance(1500);
    Driver.Type("row 7");
    EXPECT_EQ(List->ItemIndex(), 7);
    EXPECT_EQ(asked.back(), "row 7@0~");
    EXPECT_EQ(List->FindCaption(0, "nothing", false, true, false), nullptr);
}

TEST_F(ListViewTest, ACustomDrawColourReachesTheSubItemsAndDefaultDrawOffLeavesTheRowToTheHandler) {
    List->SetViewStyle(vsReport);
    AddFiles(4);
    List->OnCustomDrawItem = [](TCustomListView* Sender, TListItem* Item, TCustomDrawState,
                                bool& DefaultDraw) {
        if (Item->Index() == 2) Sender->Canvas().Font.Color = clBlue;
        if (Item->Index() == 1) DefaultDraw = false;
    };
    Form->Show();
    Driver.RunPending();
    auto count = [&](int Index, int Left, int Right, uint32_t Colour) {
        TRect r = List->ItemRect(Index, false);
        int n = 0;
        for (int y = r.Top; y < r.Bottom; ++y)
            for (int x = Left; x < Right; ++x) n += Driver.PixelAt(*List, x, y) == Colour;
        return n;
    };
    int sizeLeft = List->Columns()[0]->Width(), sizeRight = sizeLeft + List->Columns()[1]->Width();
    EXPECT_GT(count(2, 0, sizeLeft, static_cast<uint32_t>(clBlue)), 5);
    EXPECT_GT(count(2, sizeLeft, sizeRight, static_cast<uint32_t>(clBlue)), 5);
    EXPECT_EQ(count(2, 0, sizeRight, 0), 0);
    EXPECT_EQ(count(1, 20, sizeRight, 0), 0);  // nothing drawn but the image
    EXPECT_GT(count(0, 20, sizeRight, 0), 5);
}

TEST_F(ListViewTest, DetailsWiderThanTheViewScrollSidewaysWithTheirHeader) {
    List->SetViewStyle(vsReport);
    List->SetWidth(200);  // the columns take 345 pixels
    AddFiles(3);
    Form->Show();
    Driver.RunPending();
    EXPECT_TRUE(GetWindowLong(List->Handle(), GWL_STYLE) & WS_HSCROLL);
    std::vector<std::string> clicked;
    List->OnColumnClick = [&](TObject*, TListColumn* Column) { clicked.push_back(Column->Caption()); };
    Driver.ScrollBar(*List, SB_HORZ, SB_PAGEDOWN);
    ASSERT_TRUE(Driver.Grab(*Form, ::testing::TempDir() + "listview_details_scrolled.png"));
    int scrolled = -List->Header().Left();
    EXPECT_EQ(scrolled, 345 - List->ClientWidth());  // a page, held at the end
    EXPECT_EQ(List->ItemRect(1, false).Left, -scrolled);
    // The header's sections and the rows stay lined up: a click at a column's place names it.
    THeaderControl& header = List->Header();
    Driver.Click(header, 150 + 75 + 10, 5);  // in the header's own coordinates: "Type"
    EXPECT_EQ(clicked, std::vector<std::string>{"Type"});
    EXPECT_EQ(List->IndexAt(5, List->ItemRect(1, false).Top + 2), -1);  // the label is scrolled away
    Driver.KeyTo(*List, VK_LEFT);
    EXPECT_EQ(-List->Header().Left(), scrolled - 8);
    Driver.ScrollBar(*List, SB_HORZ, SB_PAGEUP);
    EXPECT_EQ(List->Header().Left(), 0);
    EXPECT_EQ(List->IndexAt(Centre(1).X, Centre(1).Y), 1);
    // Other styles do not scroll sideways.
    List->SetViewStyle(vsList);
    EXPECT_EQ(List->ItemRect(0, false).Left, 0);
}

TEST_F(ListViewTest, TheDropTargetRowIsHighlightedInsteadOfTheSelection) {
    List->SetViewStyle(vsReport);
    AddFiles(4);
    Form->Show();
    List->SetFocus();
    List->SetItemIndex(0);
    List->Items()[0]->SetSelected(true);
    Driver.RunPending();
    auto highlighted = [&](int Index) {
        TRect r = List->ItemRect(Index, true);
        int n = 0;
        for (int y = r.Top; y < r.Bottom; ++y)
            for (int x = r.Left; x < r.Right; ++x)
                n += Driver.PixelAt(*List, x, y) == ColorToRGB(clHighlight);
        return n > 5;
    };
    EXPECT_TRUE(highlighted(0));
    List->SetDropTarget(2);
    EXPECT_EQ(List->DropTarget(), 2);
    EXPECT_TRUE(highlighted(2));
    EXPECT_FALSE(highlighted(0));
    List->SetDropTarget(-1);
    EXPECT_FALSE(highlighted(2));
    EXPECT_TRUE(highlighted(0));
    List->SetDropTarget(3);
    List->Items().Delete(3);
    EXPECT_EQ(List->DropTarget(), -1);
}

}  // namespace
}  // namespace framework
