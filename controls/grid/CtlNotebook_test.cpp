// The tabbed notebook: page selection and its events, keys, mnemonics and clicks, the tab layout in
// rows, page placement, and the painting of the tab strip.
#include "controls/grid/CtlNotebook.h"

#include <gtest/gtest.h>

#include "controls/entry/CtlMessages.h"
#include "framework/graphics/Gdi.h"
#include "framework/ui/Windows.h"
#include "framework/ui/testsupport/FormDriver.h"
#include "framework/ui/testsupport/TestControls.h"

namespace grid {
namespace {

using namespace framework;

// A text box that keeps the focus: losing it puts it straight back.
class TStubbornEdit : public TTestEdit {
public:
    using TTestEdit::TTestEdit;
    bool Refuse = true;
    void Dispatch(TMessage& M) override {
        TTestEdit::Dispatch(M);
        if (M.Msg == WM_KILLFOCUS && Refuse) ::framework::SetFocus(Handle());
    }
};

class NotebookTest : public ::testing::Test {
protected:
    TFormDriver Driver;
    TForm* Form = TCustomForm::Create<TForm>(Application);
    TCtlNotebook* Book = nullptr;
    std::vector<std::string> Events;
    void SetUp() override {
        Form->SetBounds(40, 40, 420, 300);
        Book = NewComponent<TCtlNotebook>(Form);
        Book->SetParent(Form);
        Book->SetBounds(10, 10, 300, 200);
        Book->Loading();
        AddPage("&General")->Loading();
        AddPage("&Options")->Loading();
        // As the form reader does: every component hears Loaded, the pages first.
        Book->Pages(0)->Loaded();
        Book->Pages(1)->Loaded();
        Book->Loaded();
        Book->OnPageChange = [this](TObject*, int i, bool& allow) {
            Events.push_back("change " + std::to_string(i));
            allow = Allow;
        };
        Book->OnPageChanged = [this](TObject*, int i) { Events.push_back("changed " + std::to_string(i)); };
        Book->OnTabClick = [this](TObject*, int i) { Events.push_back("click " + std::to_string(i)); };
        Form->Show();
        Driver.RunPending();
    }
    void TearDown() override {
        Form->Free();
        Driver.RunPending();
    }
    TCtlTabPage* AddPage(const std::string& Caption) {
        auto* p = NewComponent<TCtlTabPage>(Book);
        p->SetCaption(Caption);
        return p;
    }
    TPoint TabCentre(int i) {
        const TRect r = Book->Pages(i)->TabRect;
        return Point((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2);
    }
    bool Allow = true;
};

TEST_F(NotebookTest, LoadingShowsTheDefaultPageWithoutEvents) {
    EXPECT_EQ(Book->PageIndex(), 0);
    EXPECT_TRUE(Book->Pages(0)->Visible());
    EXPECT_FALSE(Book->Pages(1)->Visible());
    EXPECT_TRUE(Events.empty());
    Book->SetPageIndex(0);
    EXPECT_TRUE(Events.empty());
    Book->SetPageIndex(1);
    EXPECT_EQ(Events, (std::vector<std::string>{"change 1", "changed 1"}));
    EXPECT_TRUE(Book->Pages(1)->Visible());
    EXPECT_FALSE(Book->Pages(0)->Visible());
    // A veto keeps the page and fires no OnPageChanged.
    Events.clear();
    Allow = false;
    Book->SetPageIndex(0);
    EXPECT_EQ(Events, (std::vector<std::string>{"change 0"}));
    EXPECT_EQ(Book->PageIndex(), 1);
}

TEST_F(NotebookTest, UnselectablePagesRaiseAndChangeNothing) {
    struct Case {
        const char* what;
        bool visible, enabled;
    };
    for (const Case& k : {Case{"hidden", false, true}, Case{"disabled", true, false}}) {
        SCOPED_TRACE(k.what);
        Book->Pages(1)->SetPageVisible(k.visible);
        Book->Pages(1)->SetEnabled(k.enabled);
        try {
            Book->SetPageIndex(1);
            ADD_FAILURE() << "no error";
        } catch (const entry::EInvalidPageIndex& e) {
            EXPECT_EQ(std::string(e.what()), "Invalid page index value");
        }
        EXPECT_EQ(Book->PageIndex(), 0);
        EXPECT_TRUE(Book->Pages(0)->Visible());
        Book->Pages(1)->SetPageVisible(true);
        Book->Pages(1)->SetEnabled(true);
    }
    EXPECT_THROW(Book->SetPageIndex(5), entry::EInvalidPageIndex);
    EXPECT_TRUE(Events.empty());
    // At design time a hidden page is accepted.
    Book->Pages(1)->SetPageVisible(false);
    Book->SetDesigning(true, false);
    Book->SetPageIndex(1);
    EXPECT_EQ(Book->PageIndex(), 1);
    Book->SetDesigning(false, false);
}

TEST_F(NotebookTest, SelectableNeighboursWrapAround) {
    AddPage("Third");
    Book->Pages(1)->SetEnabled(false);
    EXPECT_EQ(Book->NextSelectablePage(0), 2);
    EXPECT_EQ(Book->PrevSelectablePage(0), 2);
    EXPECT_EQ(Book->NextSelectablePage(2), 0);
    Book->Pages(2)->SetPageVisible(false);
    EXPECT_EQ(Book->NextSelectablePage(0), -1);
    EXPECT_EQ(Book->NextSelectablePage(99), 0);
}

TEST_F(NotebookTest, CommandKeysWithTopTabs) {
    AddPage("Third");
    Driver.RunPending();
    Driver.KeyTo(*Book, VK_RIGHT);
    EXPECT_EQ(Book->PageIndex(), 1);
    Driver.KeyTo(*Book, VK_END);
    EXPECT_EQ(Book->PageIndex(), 2);
    Driver.KeyTo(*Book, VK_HOME);
    EXPECT_EQ(Book->PageIndex(), 0);
    Driver.KeyTo(*Book, VK_LEFT);
    EXPECT_EQ(Book->PageIndex(), 2);
    // Up clicks outward only with more than one row; Down does nothing with top tabs.
    Driver.KeyTo(*Book, VK_UP);
    Driver.KeyTo(*Book, VK_DOWN);
    EXPECT_EQ(Book->PageIndex(), 2);
    // ccHome with only the active page selectable: nothing.
    Book->SetPageIndex(0);
    Book->Pages(1)->SetEnabled(false);
    Book->Pages(2)->SetEnabled(false);
    Events.clear();
    Driver.KeyTo(*Book, VK_HOME);
    Driver.KeyTo(*Book, VK_END);
    EXPECT_EQ(Book->PageIndex(), 0);
    EXPECT_TRUE(Events.empty());
}

TEST_F(NotebookTest, UpClicksOutwardWithTwoRows) {
    Book->SetTabRowCount(2);
    Driver.RunPending();
    ASSERT_EQ(Book->RowCount(), 2);
    // Page 0 in row 0 against the page, page 1 in row 1 outside it.
    Driver.KeyTo(*Book, VK_UP);
    EXPECT_EQ(Book->PageIndex(), 1);
    Driver.RunPending();
    EXPECT_EQ(Book->ActiveRow(), 1);
    // Its row now lies against the page.
    EXPECT_GT(Book->Pages(1)->TabRect.Top, Book->Pages(0)->TabRect.Top);
}

TEST_F(NotebookTest, MnemonicSelectsThePageAndFocusesItsFirstControl) {
    auto* edit = NewComponent<TTestEdit>(Form);
    edit->SetParent(Book->Pages(1));
    edit->SetTabStop(true);
    edit->SetBounds(5, 5, 80, 20);
    Book->SetFocus();
    Driver.RunPending();
    Driver.Key('O', ssAlt);
    Driver.RunPending();
    EXPECT_EQ(Book->PageIndex(), 1);
    EXPECT_TRUE(edit->Focused());
    EXPECT_EQ(Events.back(), "click 1");
}

TEST_F(NotebookTest, ClicksOnTabs) {
    Driver.RunPending();
    Book->SetFocus();
    // A disabled tab: OnTabClick, the page stays.
    Book->Pages(1)->SetEnabled(false);
    TPoint c = TabCentre(1);
    Driver.Click(*Book, c.X, c.Y);
    EXPECT_EQ(Book->PageIndex(), 0);
    EXPECT_EQ(Events, (std::vector<std::string>{"click 1"}));
    Book->Pages(1)->SetEnabled(true);
    Events.clear();
    Driver.Click(*Book, c.X, c.Y);
    EXPECT_EQ(Book->PageIndex(), 1);
    EXPECT_EQ(Events, (std::vector<std::string>{"change 1", "changed 1", "click 1"}));
}

TEST_F(NotebookTest, ClickIsCancelledWhileTheFocusIsHeldElsewhere) {
    auto* edit = NewComponent<TStubbornEdit>(Form);
    edit->SetParent(Form);
    edit->SetBounds(320, 10, 80, 20);
    edit->SetFocus();
    Driver.RunPending();
    ASSERT_TRUE(edit->Focused());
    const TPoint c = TabCentre(1);
    Driver.Click(*Book, c.X, c.Y);
    Driver.RunPending();
    EXPECT_EQ(Book->PageIndex(), 0);
    EXPECT_TRUE(Events.empty());
    edit->Refuse = false;
}

TEST_F(NotebookTest, RowsAndWidths) {
    // Four tabs of width 60 on a notebook 200 wide: rows of three and one.
    Book->SetWidth(200);
    for (int i = 0; i < 2; ++i) AddPage("");
    Book->SetOldStyle(false);
    auto layout = [&] {
        Book->LayoutTabs();
        std::vector<int> rows;
        for (int i = 0; i < Book->PageCount(); ++i) rows.push_back(Book->Pages(i)->TabRow);
        return rows;
    };
    // Blank captions measure 0: every tab is 20 wide; widen them through the caption font instead.
    for (int i = 0; i < 4; ++i) Book->Pages(i)->SetCaption("");
    // The width is max(caption + 12, 20): use captions that measure 48.
    TBitmap probe;
    probe.SetSize(1, 1);
    probe.Canvas().Font.Assign(Book->Font());
    std::string cap;
    while (probe.Canvas().TextWidth(cap + "i") <= 48) cap += "i";
    const int w = probe.Canvas().TextWidth(cap) + 12;
    ASSERT_LE(w, 60);
    ASSERT_GT(w * 3, 0);
    // Fit exactly: the notebook is made so that three tabs fit and four do not.
    Book->SetWidth(3 * w + 4 + w / 2);
    for (int i = 0; i < 4; ++i) Book->Pages(i)->SetCaption(cap);
    EXPECT_EQ(layout(), (std::vector<int>{0, 0, 0, 1}));
    EXPECT_EQ(Book->RowCount(), 2);
    Book->SetTabRowCount(2);
    EXPECT_EQ(layout(), (std::vector<int>{0, 0, 1, 1}));
    AddPage(cap);
    EXPECT_EQ(layout(), (std::vector<int>{0, 0, 1, 1, 0}));
    // More rows than pages is refused outside loading.
    Book->SetTabRowCount(9);
    EXPECT_EQ(Book->TabRowCount(), 2);
}

TEST_F(NotebookTest, OldStyleJustifiesEachRow) {
    Book->SetWidth(200);  // L = 196
    Book->SetOldStyle(true);
    Book->Pages(0)->SetCaption("A");
    Book->Pages(1)->SetCaption("B");
    Book->LayoutTabs();
    EXPECT_EQ(Book->Pages(0)->TabWidth, 98);
    EXPECT_EQ(Book->Pages(1)->TabWidth, 98);
    // 3 spare pixels on two tabs: +2 on the first, +1 on the second.
    Book->SetWidth(200 + 3);
    Book->LayoutTabs();
    EXPECT_EQ(Book->Pages(0)->TabWidth + Book->Pages(1)->TabWidth, 199);
    EXPECT_EQ(Book->Pages(0)->TabWidth, 100);
    EXPECT_EQ(Book->Pages(1)->TabWidth, 99);
}

TEST_F(NotebookTest, PagePlacement) {
    Driver.RunPending();
    const int th = Book->TabHeight();
    EXPECT_EQ(Book->Pages(0)->BoundsRect(), Bounds(1, th + 3, 300 - 3, 200 - (th + 3) - 2));
    // No tab height and no automatic height: no tabs, the pages fill the notebook.
    Book->SetTabHeight(0);
    EXPECT_FALSE(Book->TabAutoHeight());
    Book->Repaint();
    Driver.RunPending();
    EXPECT_EQ(Book->Pages(0)->BoundsRect(), Bounds(0, 0, 300, 200));
    EXPECT_EQ(Book->GetTabTextRect(0), TRect{});
    EXPECT_EQ(Book->Pages(1)->GetDisplayName(), "&Options: TCtlTabPage");
}

TEST_F(NotebookTest, CaptionTallerThanTheTabIsNotDrawn) {
    Book->SetHighlightColor(clRed);
    Book->SetTabHeight(12);  // text height of the form font is more than 12 - 4
    Driver.RunPending();
    const TRect b = Book->Pages(1)->TabRect;
    ASSERT_GT(b.Width(), 0);
    // The tab shape is there, the caption is not: only the tab colour inside it.
    EXPECT_EQ(Driver.PixelAt(*Book, b.Left + 5, b.Top), ColorToRGB(clRed));
    for (int x = b.Left + 6; x < b.Right - 6; ++x)
        for (int y = b.Top + 2; y < b.Bottom; ++y)
            ASSERT_EQ(Driver.PixelAt(*Book, x, y), ColorToRGB(clBtnFace)) << x << "," << y;
}

TEST_F(NotebookTest, TopTabsPainting) {
    Book->SetHighlightColor(clRed);
    Driver.RunPending();
    const int th = Book->TabHeight();
    const int P = th + 2;
    const TRect a = Book->Pages(0)->TabRect, b = Book->Pages(1)->TabRect;
    // The active tab, grown by 2, has its top edge at y 0; the inactive one at y 2.
    EXPECT_EQ(Driver.PixelAt(*Book, a.Left + 10, 0), ColorToRGB(clRed));
    EXPECT_EQ(Driver.PixelAt(*Book, b.Left + 10, 2), ColorToRGB(clRed));
    EXPECT_NE(Driver.PixelAt(*Book, b.Left + 10, 0), ColorToRGB(clRed));
    // The page edge is open under the active tab and closed under the inactive one.
    EXPECT_NE(Driver.PixelAt(*Book, a.Left + 10, P), ColorToRGB(clRed));
    EXPECT_EQ(Driver.PixelAt(*Book, b.Left + 10, P), ColorToRGB(clRed));
    Driver.Grab(*Form, "/tmp/notebook-top.png");
}

TEST_F(NotebookTest, SideTabsNeedTrueTypeFonts) {
    Book->Font().Name = "Terminal";
    Book->Font().Changed();
    Driver.RunPending();
    try {
        Book->SetTabOrientation(toLeft);
        ADD_FAILURE() << "no error";
    } catch (const entry::EInvalidTabFont& e) {
        EXPECT_EQ(std::string(e.what()), "Invalid font. Non toTop oriented tabs require a True-Type font");
    }
    EXPECT_EQ(Book->TabOrientation(), toTop);
    EXPECT_EQ(Book->Font().Name, "Arial");
    // With a TrueType font the tabs go to the left and the caption is drawn turned.
    Book->SetTabOrientation(toLeft);
    EXPECT_EQ(Book->TabOrientation(), toLeft);
    Book->SetHighlightColor(clRed);
    Driver.RunPending();
    const TRect a = Book->Pages(0)->TabRect;
    EXPECT_LT(a.Width(), a.Height());
    EXPECT_EQ(Book->Pages(0)->BoundsRect().Left, Book->RowCount() * Book->TabHeight() + 3);
    // The tab frame: a light left edge.
    EXPECT_EQ(Driver.PixelAt(*Book, a.Left - 2, a.Top + a.Height() / 2), ColorToRGB(clRed));
    Driver.Grab(*Form, "/tmp/notebook-left.png");
    // A page font changed later to a raster face raises and gets "Arial".
    Book->Pages(0)->Font().Name = "Terminal";
    EXPECT_THROW(Book->Pages(0)->Font().Changed(), entry::EInvalidTabFont);
    EXPECT_EQ(Book->Pages(0)->Font().Name, "Arial");
}

// Scaling grows the tab height (through its writer, so it is no longer automatic) and the active tab
// font by M/D and lays the tabs out again; a scale of one changes nothing.
TEST_F(NotebookTest, ScalingGrowsTabsAndTheActiveTabFont) {
    const int th = Book->TabHeight(), size = Book->ActiveTabFont().Size();
    Book->ChangeScale(4, 4);
    EXPECT_EQ(Book->TabHeight(), th);
    EXPECT_TRUE(Book->TabAutoHeight());
    EXPECT_EQ(Book->ActiveTabFont().Size(), size);
    Book->ChangeScale(3, 2);
    EXPECT_EQ(Book->TabHeight(), MulDiv(th, 3, 2));
    EXPECT_FALSE(Book->TabAutoHeight());
    EXPECT_EQ(Book->ActiveTabFont().Size(), MulDiv(size, 3, 2));
    Driver.RunPending();
    EXPECT_EQ(Book->Pages(1)->TabRect.Height(), MulDiv(th, 3, 2));
    EXPECT_EQ(Book->Pages(0)->BoundsRect().Top, MulDiv(th, 3, 2) + 3);
}

// With ConserveResources only the shown page keeps a window: switching it on drops the others', and
// each page change drops the old page's.
TEST_F(NotebookTest, ConserveResourcesKeepsOnlyTheShownPagesWindow) {
    Book->SetPageIndex(1);
    Book->SetPageIndex(0);
    Driver.RunPending();
    ASSERT_TRUE(Book->Pages(0)->HandleAllocated());
    ASSERT_TRUE(Book->Pages(1)->HandleAllocated()) << "without it hidden pages keep their windows";
    Book->SetConserveResources(true);
    EXPECT_TRUE(Book->Pages(0)->HandleAllocated());
    EXPECT_FALSE(Book->Pages(1)->HandleAllocated());
    Book->SetPageIndex(1);
    Driver.RunPending();
    EXPECT_FALSE(Book->Pages(0)->HandleAllocated());
    EXPECT_TRUE(Book->Pages(1)->HandleAllocated());
    EXPECT_TRUE(Book->Pages(1)->Showing());
}

// Tabs of an inner row get their corners cut in the colour of what lies just outside them (the row
// painted before), on every side.
TEST_F(NotebookTest, InnerRowCornersTakeTheColourOutsideThem) {
    AddPage("&Third");
    AddPage("F&ourth");
    for (int i = 0; i < 4; ++i) Book->Pages(i)->SetTabColor(i % 2 ? clYellow : clAqua);
    struct Case {
        TCtlTabOrientation Side;
        int Dx, Dy;  // from a corner to the pixel outside it
    };
    for (const Case& k :
         {Case{toTop, 0, -1}, Case{toBottom, 0, 1}, Case{toRight, 1, 0}, Case{toLeft, -1, 0}}) {
        SCOPED_TRACE(k.Side);
        Book->SetTabOrientation(k.Side);
        Book->SetTabRowCount(2);
        Driver.RunPending();
        ASSERT_EQ(Book->RowCount(), 2);
        int checked = 0;
        for (int i = 0; i < 4; ++i) {
            if (Book->Pages(i)->TabRow != Book->ActiveRow() || i == Book->PageIndex()) continue;
            const TRect r = Book->Pages(i)->TabRect;
            // The trailing corner: right end for top/bottom, bottom end for right, top end for left.
            TPoint c;
            switch (k.Side) {
                case toTop:
                    c = Point(r.Right - 1, r.Top);
                    break;
                case toBottom:
                    c = Point(r.Right - 1, r.Bottom);
                    break;
                case toRight:
                    c = Point(r.Right, r.Bottom - 1);
                    break;
                case toLeft:
                    c = Point(r.Left, r.Top);
                    break;
            }
            EXPECT_EQ(Driver.PixelAt(*Book, c.X, c.Y), Driver.PixelAt(*Book, c.X + k.Dx, c.Y + k.Dy)) << i;
            ++checked;
        }
        EXPECT_GT(checked, 0);
        Driver.Grab(*Form, "/tmp/notebook-rows-" + std::to_string(k.Side) + ".png");
        Book->SetTabRowCount(0);
    }
}

// Side tabs underline the marked letter of the turned caption: the only difference between "&General"
// and "General" is one straight line across the text in the caption's colour.
TEST_F(NotebookTest, SideTabCaptionsUnderlineTheMarkedLetter) {
    for (TCtlTabOrientation side : {toLeft, toRight}) {
        SCOPED_TRACE(side);
        Book->SetTabOrientation(side);
        Book->Pages(0)->SetTextColor(clBlue);
        auto grab = [&](const std::string& Caption) {
            Book->Pages(0)->SetCaption(Caption);
            Book->Pages(1)->SetCaption("Options");
            Book->SetPageIndex(1);
            Driver.RunPending();
            const TRect r = Book->Pages(0)->TabRect;
            std::vector<TColor> px;
            for (int y = r.Top; y < r.Bottom; ++y)
                for (int x = r.Left; x < r.Right; ++x) px.push_back(Driver.PixelAt(*Book, x, y));
            return px;
        };
        const auto plain = grab("General"), marked = grab("&General");
        const TRect r = Book->Pages(0)->TabRect;
        int xs = -1, y0 = 1 << 30, y1 = -1, count = 0;
        for (int y = r.Top; y < r.Bottom; ++y)
            for (int x = r.Left; x < r.Right; ++x) {
                const size_t k = size_t(y - r.Top) * r.Width() + (x - r.Left);
                if (plain[k] == marked[k]) continue;
                EXPECT_EQ(marked[k], ColorToRGB(clBlue)) << x << "," << y;
                if (xs == -1) xs = x;
                EXPECT_EQ(x, xs) << "the underline is one column";
                y0 = std::min(y0, y), y1 = std::max(y1, y), ++count;
            }
        EXPECT_GE(count, 4);
        EXPECT_EQ(y1 - y0 + 1, count) << "unbroken";
        // The underline lies at the start of the text: the top end reading down, the bottom end reading up.
        if (side == toRight)
            EXPECT_LT(y0 - r.Top, r.Height() / 2);
        else
            EXPECT_GT(y1 - r.Top, r.Height() / 2);
        grab("&General");
        Driver.Grab(*Form, side == toLeft ? "/tmp/notebook-left-mark.png" : "/tmp/notebook-right-mark.png");
    }
}

TEST(NotebookDesign, EmptyNotebookSaysSoAtDesignTime) {
    TFormDriver driver;
    TForm* form = TCustomForm::Create<TForm>(Application);
    form->SetBounds(40, 40, 300, 260);
    auto* book = NewComponent<TCtlNotebook>(form);
    book->SetDesigning(true, false);
    book->SetParent(form);
    book->SetBounds(10, 10, 250, 200);
    form->Show();
    driver.RunPending();
    bool ink = false;
    for (int x = 5; x < 40 && !ink; ++x)
        for (int y = 5; y < 18 && !ink; ++y) ink = driver.PixelAt(*book, x, y) != ColorToRGB(clBtnFace);
    EXPECT_TRUE(ink);
    EXPECT_EQ(entry::CtlGetMessage(30333), "No notebook pages assigned");
    EXPECT_EQ(book->CollectionEditorCaption(), "Tab Pages Editor");
    // Pages need a notebook for owner.
    EXPECT_THROW(NewComponent<TCtlTabPage>(form), Exception);
    form->Free();
    driver.RunPending();
}

}  // namespace
}  // namespace grid
