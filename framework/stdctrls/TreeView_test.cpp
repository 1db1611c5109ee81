#include "framework/stdctrls/TreeView.h"

#include <gtest/gtest.h>

#include <map>

#include "framework/core/SysUtils.h"
#include "framework/stdctrls/ComCtrls.h"
#include "framework/ui/Hints.h"
#include "framework/ui/testsupport/FormDriver.h"

namespace framework {
namespace {

// Coloured squares standing for folder images.
void AddSquares(TImageList& List, std::initializer_list<TColor> Colors) {
    for (TColor color : Colors) {
        TBitmap b;
        b.SetPixelFormat(pf24bit);
        b.SetSize(List.Width, List.Height);
        b.Canvas().Brush.Color = clFuchsia;
        b.Canvas().FillRect(Rect(0, 0, List.Width, List.Height));
        b.Canvas().Brush.Color = color;
        b.Canvas().FillRect(Rect(1, 2, List.Width - 1, List.Height - 2));
        List.AddMasked(&b, clFuchsia);
    }
}

// A tree of drives, folders and files whose children are loaded when a node first opens.
class TreeViewTest : public ::testing::Test {
protected:
    TFormDriver Driver;
    TForm* Form = TCustomForm::Create<TForm>(Application);
    TTreeView* Tree = nullptr;
    TImageList* Images = nullptr;
    std::map<std::string, std::vector<std::string>> Disk = {
        {"C:", {"Docs", "Music", "Tools"}},
        {"D:", {"Backup"}},
        {"Docs", {"letter.txt", "notes.txt"}},
        {"Music", {"song.mp3"}},
        {"Tools", {}},
        {"Backup", {"old.zip"}},
    };
    std::vector<std::string> Loads;   // nodes whose children were read
    std::vector<std::string> Vetoed;  // nodes that may not open
    std::vector<std::string> Log;     // events in order

    void SetUp() override {
        Form->SetClientSize(260, 220);
        Images = NewComponent<TImageList>(Form);
        AddSquares(*Images, {clYellow, clOlive, clSilver});
        Tree = NewComponent<TTreeView>(Form);
        Tree->SetParent(Form);
        Tree->SetBounds(10, 10, 240, 200);
        Tree->SetImages(Images);
        Tree->OnExpanding = [this](TObject*, TTreeNode* Node, bool& Allow) {
            Log.push_back("expanding " + Node->Text());
            if (std::find(Vetoed.begin(), Vetoed.end(), Node->Text()) != Vetoed.end()) {
                Allow = false;
                return;
            }
            if (Node->Count() > 0) return;
            Loads.push_back(Node->Text());
            for (const std::string& name : Disk[Node->Text()]) {
                TTreeNode* child = Tree->Items().AddChild(Node, name);
                child->SetHasChildren(Disk.count(name) > 0);
                child->SetImageIndex(Disk.count(name) ? 1 : 2);
            }
        };
        Tree->OnExpanded = [this](TObject*, TTreeNode* Node) { Log.push_back("expanded " + Node->Text()); };
        Tree->OnCollapsing = [this](TObject*, TTreeNode* Node, bool&) {
            Log.push_back("collapsing " + Node->Text());
        };
        Tree->OnChange = [this](TObject*, TTreeNode* Node) {
            Log.push_back("change " + (Node ? Node->Text() : "-"));
        };
        for (const char* drive : {"C:", "D:"}) {
            TTreeNode* n = Tree->Items().Add(nullptr, drive);
            n->SetHasChildren(true);
            n->SetImageIndex(0);
        }
        Form->Show();
        Driver.RunPending();
    }
    void TearDown() override {
        Form->Free();
        Driver.RunPending();
    }
    TTreeNode* Find(const std::string& Text) {
        for (TTreeNode* n = Tree->Items().GetFirstNode(); n; n = n->GetNext())
            if (n->Text() == Text) return n;
        return nullptr;
    }
    TPoint Centre(TTreeNode* Node) {
        TRect r = Node->DisplayRect(true);
        return Point((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2);
    }
    std::string SelectedText() { return Tree->Selected() ? Tree->Selected()->Text() : "-"; }
};

TEST_F(TreeViewTest, ExpandingLoadsChildrenOnceAndAVetoKeepsTheNodeClosed) {
    TTreeNode* c = Find("C:");
    EXPECT_TRUE(c->HasChildren());
    EXPECT_EQ(c->Count(), 0);
    c->Expand(false);
    EXPECT_TRUE(c->Expanded());
    EXPECT_EQ(c->Count(), 3);
    TTreeNode* docs = Find("Docs");
    docs->Expand(false);
    EXPECT_EQ(Find("letter.txt")->Level(), 2);
    c->Collapse(false);
    c->Expand(false);  // loaded already: not read again
    EXPECT_EQ(Loads, (std::vector<std::string>{"C:", "Docs"}));
    EXPECT_TRUE(docs->Expanded());  // a branch keeps its state below a collapsed parent

    Vetoed = {"Music"};
    TTreeNode* music = Find("Music");
    music->Expand(false);
    EXPECT_FALSE(music->Expanded());
    EXPECT_EQ(music->Count(), 0);

    // A folder found empty on opening loses its button and stays closed.
    TTreeNode* tools = Find("Tools");
    tools->Expand(false);
    EXPECT_FALSE(tools->Expanded());
    tools->SetHasChildren(false);
    EXPECT_FALSE(tools->HasChildren());

    // The rows shown: C:, Docs, letter.txt, notes.txt, Music, Tools, D:.
    EXPECT_EQ(Find("D:")->DisplayRect(false).Top, 6 * Tree->ItemHeight());
    EXPECT_EQ(Find("letter.txt")->GetNextVisible(), Find("notes.txt"));
    EXPECT_EQ(Find("notes.txt")->GetNextVisible(), music);
    EXPECT_EQ(Find("C:")->GetPrevVisible(), nullptr);
    EXPECT_EQ(Tree->Items().Count(), 7);  // D: is not read yet
    EXPECT_EQ(Tree->Items()[4], Find("Music"));
}

TEST_F(TreeViewTest, ArrowKeysMoveOpenAndCloseAsThePlatformsTreeDoes) {
    Tree->SetSelected(Find("C:"));
    Log.clear();
    struct TStep {
        int Key;
        const char* Selected;
        bool CExpanded;
    };
    const TStep steps[] = {
        {VK_RIGHT, "C:", true},          // opens
        {VK_RIGHT, "Docs", true},        // moves to the first child
        {VK_RIGHT, "Docs", true},        // opens Docs
        {VK_DOWN, "letter.txt", true},   // into the open folder
        {VK_RIGHT, "letter.txt", true},  // a leaf: nothing
        {VK_LEFT, "Docs", true},         // a leaf: to its parent
        {VK_LEFT, "Docs", true},         // closes Docs
        {VK_DOWN, "Music", true},       {VK_UP, "Docs", true},
        {VK_LEFT, "C:", true},                                   // closed already: to the parent
        {VK_LEFT, "C:", false},                                  // closes C:
        {VK_DOWN, "D:", false},         {VK_DOWN, "D:", false},  // the last row
        {VK_HOME, "C:", false},         {VK_END, "D:", false},
    };
    for (const TStep& s : steps) {
        Driver.KeyTo(*Tree, s.Key);
        EXPECT_EQ(SelectedText(), s.Selected) << "key " << s.Key;
        EXPECT_EQ(Find("C:")->Expanded(), s.CExpanded) << "key " << s.Key;
    }
    EXPECT_FALSE(Find("Docs")->Expanded());
    EXPECT_EQ(Log.front(), "expanding C:");
    EXPECT_EQ(Log[1], "expanded C:");
    EXPECT_EQ(Log[2], "change Docs");
    // The numeric-pad keys: * opens a whole branch, - closes.
    Driver.KeyTo(*Tree, VK_HOME);
    Tree->Perform(WM_KEYDOWN, VK_MULTIPLY, 0);
    EXPECT_TRUE(Find("Docs")->Expanded());
    EXPECT_TRUE(Find("Music")->Expanded());
    Tree->Perform(WM_KEYDOWN, VK_SUBTRACT, 0);
    EXPECT_FALSE(Find("C:")->Expanded());
}

TEST_F(TreeViewTest, ClosingAnAncestorMovesTheSelectionUpAndAVetoedChangeKeepsIt) {
    Find("C:")->Expand(false);
    Find("Docs")->Expand(false);
    Tree->SetSelected(Find("notes.txt"));
    Find("C:")->Collapse(false);
    EXPECT_EQ(SelectedText(), "C:");

    Tree->OnChanging = [](TObject*, TTreeNode* Node, bool& Allow) { Allow = Node->Text() != "D:"; };
    Driver.KeyTo(*Tree, VK_DOWN);
    EXPECT_EQ(SelectedText(), "C:");

    // A refused collapse leaves the node open.
    Tree->OnCollapsing = [](TObject*, TTreeNode*, bool& Allow) { Allow = false; };
    Find("C:")->Expand(false);
    Driver.Key(VK_LEFT);
    EXPECT_TRUE(Find("C:")->Expanded());

    // Deleting the selected node selects a neighbour and tells OnChange.
    Tree->OnChanging = nullptr;
    Tree->SetSelected(Find("Music"));
    Log.clear();
    Find("Music")->Delete();
    EXPECT_EQ(SelectedText(), "Tools");
    EXPECT_EQ(Log, (std::vector<std::string>{"change Tools"}));
    Find("Docs")->DeleteChildren();
    Tree->Items().Clear();
    EXPECT_EQ(Tree->Selected(), nullptr);
    EXPECT_EQ(Tree->Items().Count(), 0);
}

TEST_F(TreeViewTest, TheMouseOpensByTheButtonAndByDoubleClickAndSelectsByTheLabel) {
    TTreeNode* c = Find("C:");
    int y = Centre(c).Y;
    int buttonX = Tree->Indent() / 2;
    EXPECT_EQ(Tree->GetHitTestInfoAt(buttonX, y), htOnButton);
    EXPECT_EQ(Tree->GetHitTestInfoAt(Centre(c).X, y), htOnItem | htOnLabel);
    EXPECT_EQ(Tree->GetHitTestInfoAt(200, y), htOnRight);
    EXPECT_EQ(Tree->GetHitTestInfoAt(10, 190), htNowhere);
    Driver.Click(*Tree, buttonX, y);
    EXPECT_TRUE(c->Expanded());
    EXPECT_EQ(Tree->Selected(), nullptr);  // the button does not select
    Driver.Click(*Tree, buttonX, y);
    EXPECT_FALSE(c->Expanded());
    Driver.Click(*Tree, Centre(c).X, y);
    EXPECT_EQ(SelectedText(), "C:");
    Driver.DoubleClick(*Tree, Centre(c).X, y);
    EXPECT_TRUE(c->Expanded());

    // Without root lines the top level has no button and starts one indent further left.
    int withRoot = c->DisplayRect(true).Left;
    Tree->SetShowRoot(false);
    EXPECT_EQ(c->DisplayRect(true).Left, withRoot - Tree->Indent());
    EXPECT_NE(Tree->GetHitTestInfoAt(buttonX, y), htOnButton);
    // ... while the levels below keep theirs.
    TTreeNode* docs = Find("Docs");
    EXPECT_EQ(Tree->GetHitTestInfoAt(Tree->Indent() / 2 + 2, Centre(docs).Y), htOnButton);

    // Hot tracking marks the node under the pointer.
    Tree->HotTrack = true;
    Driver.MouseMove(*Tree, Centre(docs).X, Centre(docs).Y);
    EXPECT_EQ(Tree->HotNode(), docs);
    Driver.MouseLeave(*Tree);
    EXPECT_EQ(Tree->HotNode(), nullptr);
    // With AutoExpand a selected node opens and the one selected before closes (unless above it).
    Tree->AutoExpand = true;
    Driver.Click(*Tree, Centre(docs).X, Centre(docs).Y);
    EXPECT_TRUE(docs->Expanded());
    EXPECT_TRUE(c->Expanded());
    TTreeNode* d = Find("D:");
    Driver.Click(*Tree, Centre(d).X, Centre(d).Y);
    EXPECT_TRUE(d->Expanded());
    EXPECT_FALSE(docs->Expanded());
}

TEST_F(TreeViewTest, LabelEditingCommitsWithEnterAndCancelsWithEscape) {
    Find("C:")->Expand(false);
    TTreeNode* docs = Find("Docs");
    Tree->SetSelected(docs);
    std::vector<std::string> edited;
    bool allow = true;
    Tree->OnEditing = [&](TObject*, TTreeNode*, bool& Allow) { Allow = allow; };
    Tree->OnEdited = [&](TObject*, TTreeNode* Node, std::string& S) {
        edited.push_back(Node->Text() + ">" + S);
        if (S == "lower") S = "LOWER";  // the handler may change the new text
    };
    Driver.KeyTo(*Tree, VK_F2);
    ASSERT_TRUE(Tree->IsEditing());
    EXPECT_EQ(Tree->EditingNode(), docs);
    Driver.Type("Letters");
    Driver.Key(VK_RETURN);
    EXPECT_FALSE(Tree->IsEditing());
    EXPECT_EQ(docs->Text(), "Letters");
    EXPECT_TRUE(Tree->Focused());

    Driver.Key(VK_F2);
    Driver.Type("xyz");
    Driver.Key(VK_ESCAPE);
    EXPECT_EQ(docs->Text(), "Letters");
    EXPECT_EQ(edited, (std::vector<std::string>{"Docs>Letters"}));

    // Moving the focus away commits, as Enter does.
    EXPECT_TRUE(docs->EditText());
    Driver.Type("lower");
    Tree->SetFocus();
    EXPECT_EQ(docs->Text(), "LOWER");

    allow = false;
    EXPECT_FALSE(docs->EditText());
    Tree->ReadOnly = true;
    allow = true;
    Driver.KeyTo(*Tree, VK_F2);
    EXPECT_FALSE(Tree->IsEditing());
    // A node deleted while edited ends the edit without OnEdited.
    Tree->ReadOnly = false;
    EXPECT_TRUE(docs->EditText());
    docs->Delete();
    EXPECT_FALSE(Tree->IsEditing());
    EXPECT_EQ(edited.size(), 2u);
    // Freeing the window with an edit open ends the edit quietly.
    EXPECT_TRUE(Find("Music")->EditText());
}

TEST_F(TreeViewTest, ADragBeginsOnlyPastTheThresholdWithTheButtonHeld) {
    TTreeNode* d = Find("D:");
    std::vector<TTreeNode*> dragged;
    Tree->OnStartItemDrag = [&](TObject*, TTreeNode* Node) { dragged.push_back(Node); };
    TPoint p = Centre(d);
    int far = GetSystemMetrics(SM_CXDRAG) + 1;
    Driver.MouseDown(*Tree, p.X, p.Y);
    Driver.MouseMove(*Tree, p.X + 1, p.Y, ssLeft);
    EXPECT_TRUE(dragged.empty());
    Driver.MouseMove(*Tree, p.X + far, p.Y, ssLeft);
    Driver.MouseMove(*Tree, p.X + 2 * far, p.Y, ssLeft);  // one start per press
    Driver.MouseUp(*Tree, p.X + 2 * far, p.Y);
    EXPECT_EQ(dragged, (std::vector<TTreeNode*>{d}));
    EXPECT_EQ(Tree->Selected(), d);
    // Moving without the button, or from empty space, starts nothing; nor does a tree that forbids it.
    Driver.MouseMove(*Tree, p.X + 3 * far, p.Y);
    Driver.MouseDown(*Tree, 5, 190);
    Driver.MouseMove(*Tree, 5 + far, 190, ssLeft);
    Driver.MouseUp(*Tree, 5 + far, 190);
    Tree->DisableDragDrop = true;
    Driver.MouseDown(*Tree, p.X, p.Y);
    Driver.MouseMove(*Tree, p.X + far, p.Y, ssLeft);
    Driver.MouseUp(*Tree, p.X + far, p.Y);
    EXPECT_EQ(dragged.size(), 1u);
}

TEST_F(TreeViewTest, ManyNodesScrollToKeepTheSelectionInViewAndDrawAsATree) {
    Find("C:")->Expand(false);
    Find("Docs")->Expand(false);
    Tree->SetSelected(Find("Docs"));
    Driver.RunPending();
    std::string png = ::testing::TempDir() + "treeview.png";
    ASSERT_TRUE(Driver.Grab(*Tree, png));
    // The selected label is drawn in the highlight colour; the images in theirs.
    TRect label = Find("Docs")->DisplayRect(true);
    EXPECT_EQ(Driver.PixelAt(*Tree, label.Left + 1, label.Top + 2), GetSysColor(COLOR_HIGHLIGHT));
    TRect row = Find("C:")->DisplayRect(false);
    EXPECT_EQ(Driver.PixelAt(*Tree, label.Left - 2 - Images->Width + 4, label.Top + row.Height() / 2),
              static_cast<uint32_t>(clOlive));

    TTreeNode* d = Find("D:");
    for (int i = 0; i < 40; ++i) Tree->Items().AddChild(d, "Folder " + std::to_string(i));
    d->Expand(false);
    Tree->SetSelected(d->Item(39));
    EXPECT_GT(Tree->TopItem()->AbsoluteIndex(), 0);
    EXPECT_LE(d->Item(39)->DisplayRect(false).Bottom, Tree->ClientHeight());
    EXPECT_TRUE(GetWindowLong(Tree->Handle(), GWL_STYLE) & WS_VSCROLL);
    Driver.Key(VK_HOME);
    EXPECT_EQ(Tree->TopItem(), Find("C:"));
    Driver.ScrollBar(*Tree, SB_VERT, SB_PAGEDOWN);
    EXPECT_NE(Tree->TopItem(), Find("C:"));

    // Sorting by the caller's compare: the children of D: in reverse.
    d->CustomSort([](TTreeNode* A, TTreeNode* B) { return AnsiCompareText(B->Text(), A->Text()); });
    EXPECT_EQ(d->Item(0)->Text(), "Folder 9");
    d->AlphaSort();
    EXPECT_EQ(d->Item(0)->Text(), "Folder 0");
    // An image list freed first is let go of; the tree draws on without images.
    Images->Free();
    EXPECT_EQ(Tree->Images(), nullptr);
    Tree->Invalidate();
    Driver.RunPending();
}

TEST_F(TreeViewTest, EachNodeTheMouseRestsOnShowsItsOwnHint) {
    Tree->Hint = "Folders";
    Tree->SetShowHint(true);
    Tree->OnInfoTip = [](TObject*, TTreeNode* Node, std::string& Tip) {
        if (Node->Text() == "D:") Tip = Node->Text() + " (removable)";
    };
    auto shown = [] { return ShownHintWindow() ? ShownHintWindow()->Caption() : std::string(); };
    TPoint c = Centre(Find("C:")), d = Centre(Find("D:"));
    Driver.MouseMove(*Tree, d.X, d.Y);
    Driver.Advance(Application->HintPause);
    EXPECT_EQ(shown(), "D: (removable)");
    Driver.MouseMove(*Tree, c.X, c.Y);  // another node: the hint goes and comes back for it
    EXPECT_EQ(shown(), "");
    Driver.MouseMove(*Tree, c.X + 1, c.Y);
    Driver.Advance(Application->HintPause);
    EXPECT_EQ(shown(), "Folders");
    Application->CancelHint();
}

TEST_F(TreeViewTest, ACustomDrawHandlerColoursANodeOrDrawsItItself) {
    Tree->OnCustomDrawItem = [](TCustomTreeView* Sender, TTreeNode* Node, TCustomDrawState State,
                                bool& DefaultDraw) {
        EXPECT_EQ((State & cdsSelected) != 0, Node->Selected());
        if (Node->Text() == "D:") Sender->Canvas().Font.Color = clBlue;  // a compressed drive
        if (Node->Text() == "C:") DefaultDraw = false;
    };
    Tree->Invalidate();
    auto count = [&](TTreeNode* Node, uint32_t Colour) {
        TRect r = Node->DisplayRect(true);
        int n = 0;
        for (int y = r.Top; y < r.Bottom; ++y)
            for (int x = r.Left; x < r.Right; ++x) n += Driver.PixelAt(*Tree, x, y) == Colour;
        return n;
    };
    EXPECT_GT(count(Find("D:"), static_cast<uint32_t>(clBlue)), 5);
    EXPECT_EQ(count(Find("D:"), 0), 0);
    EXPECT_EQ(count(Find("C:"), static_cast<uint32_t>(clBlue)), 0);
    EXPECT_EQ(count(Find("C:"), 0), 0);  // no text at all
    Tree->OnCustomDrawItem = nullptr;
    Tree->Invalidate();
    EXPECT_GT(count(Find("C:"), 0), 5);  // black text again
}

}  // namespace
}  // namespace framework
