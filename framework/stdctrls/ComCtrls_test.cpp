#include "framework/stdctrls/ComCtrls.h"

#include <gtest/gtest.h>

#include "framework/stdctrls/Buttons.h"
#include "framework/stdctrls/ExtCtrls.h"
#include "framework/stdctrls/Menus.h"
#include "framework/ui/testsupport/FormDriver.h"

namespace framework {
namespace {

class ComCtrlsTest : public ::testing::Test {
protected:
    TFormDriver Driver;
    TForm* Form = TCustomForm::Create<TForm>(Application);
    void TearDown() override {
        Form->Free();
        Driver.RunPending();
    }
    template <class T>
    T* Add(TWinControl* Parent, int X, int Y, int W, int H) {
        T* c = NewComponent<T>(Form);
        c->SetParent(Parent);
        c->SetBounds(X, Y, W, H);
        return c;
    }
};

TEST_F(ComCtrlsTest, PageControlTurnsPagesByClickAndCtrlTabAndAsksFirst) {
    Form->SetClientSize(300, 200);
    auto* pc = Add<TPageControl>(Form, 0, 0, 300, 200);
    std::vector<TTabSheet*> pages;
    for (const char* name : {"&General", "&Disks", "&Files"}) {
        auto* p = NewComponent<TTabSheet>(Form);
        p->SetCaption(name);
        p->SetPageControl(pc);
        pages.push_back(p);
    }
    auto* edit = Add<TEdit>(pages[1], 10, 10, 100, 21);
    bool allow = true;
    int changes = 0;
    pc->OnChanging = [&](TObject*, bool& Allow) { Allow = allow; };
    pc->OnChange = [&](TObject*) { ++changes; };
    Form->Show();
    EXPECT_EQ(pc->ActivePage(), pages[0]);
    EXPECT_FALSE(pages[1]->Visible());

    TRect tab = pc->TabRect(1);
    Driver.Click(*pc, (tab.Left + tab.Right) / 2, (tab.Top + tab.Bottom) / 2);
    EXPECT_EQ(pc->ActivePage(), pages[1]);
    EXPECT_TRUE(pages[1]->Visible());
    EXPECT_FALSE(pages[0]->Visible());
    EXPECT_EQ(pages[1]->BoundsRect(), Rect(4, 24, 296, 196));

    Driver.KeyTo(*edit, VK_TAB, ssCtrl);
    EXPECT_EQ(pc->ActivePageIndex(), 2);
    Driver.Key(VK_TAB, ssCtrl | ssShift);
    EXPECT_EQ(pc->ActivePageIndex(), 1);
    allow = false;  // OnChanging may refuse
    Driver.Key(VK_TAB, ssCtrl);
    EXPECT_EQ(pc->ActivePageIndex(), 1);
    EXPECT_EQ(changes, 3);

    pages[1]->Free();  // removing the active page shows a neighbour
    EXPECT_EQ(pc->PageCount(), 2);
    EXPECT_EQ(pc->ActivePage(), pages[2]);
}

TEST_F(ComCtrlsTest, StatusPanelsProgressTrackAndSplitter) {
    Form->SetClientSize(400, 300);
    auto* sb = NewComponent<TStatusBar>(Form);
    sb->SetParent(Form);
    sb->AddPanel("12 disks", 100);
    sb->AddPanel("3 selected", 80);
    sb->AddPanel("Ready", 0);
    EXPECT_EQ(sb->Top(), 300 - sb->Height());
    EXPECT_EQ(sb->PanelRect(1).Left, 102);
    EXPECT_EQ(sb->PanelRect(2).Right, sb->ClientWidth());  // the last panel takes the rest

    auto* pb = Add<TProgressBar>(Form, 10, 10, 150, 16);
    pb->SetRange(0, 100);
    pb->Step = 30;
    for (int i = 0; i < 3; ++i) pb->StepIt();
    EXPECT_EQ(pb->Position(), 90);
    pb->StepIt();  // past the end: starts again
    EXPECT_EQ(pb->Position(), 20);
    pb->SetPosition(500);
    EXPECT_EQ(pb->Position(), 100);

    auto* tb = Add<TTrackBar>(Form, 10, 40, 150, 45);
    tb->SetMax(10);
    tb->LargeChange = 5;
    std::vector<int> seen;
    tb->OnChange = [&](TObject*) { seen.push_back(tb->Position()); };
    Form->Show();
    Driver.KeyTo(*tb, VK_RIGHT);
    Driver.Key(VK_NEXT);
    Driver.Key(VK_END);
    Driver.Key(VK_RIGHT);  // already at the end: no change
    Driver.Key(VK_HOME);
    EXPECT_EQ(seen, (std::vector<int>{1, 6, 10, 0}));
    EXPECT_THROW(tb->SetParams(0, 5, 1), EInvalidOperation);

    auto* left = NewComponent<TPanel>(Form);
    left->SetParent(Form);
    left->SetAlign(alLeft);
    left->SetWidth(120);
    auto* split = NewComponent<TSplitter>(Form);
    split->SetParent(Form);
    split->SetAlign(alLeft);
    split->SetLeft(200);
    EXPECT_EQ(split->Left(), 120);
    EXPECT_EQ(split->FindControl(), left);
    int moved = 0;
    split->OnMoved = [&](TObject*) { ++moved; };
    Driver.MouseDown(*split, 1, 50);
    Driver.MouseMove(*split, 41, 50, ssLeft);
    Driver.MouseUp(*split, 41, 50);
    EXPECT_EQ(left->Width(), 160);
    EXPECT_EQ(moved, 1);
}

TEST_F(ComCtrlsTest, ImageListDrawsWithTransparency) {
    TBitmap glyph;
    glyph.SetPixelFormat(pf24bit);
    glyph.SetSize(16, 16);
    glyph.Canvas().Brush.Color = clFuchsia;
    glyph.Canvas().FillRect(Rect(0, 0, 16, 16));
    glyph.Canvas().Brush.Color = clBlue;
    glyph.Canvas().FillRect(Rect(4, 4, 12, 12));
    TImageList list(nullptr);
    EXPECT_EQ(list.AddMasked(&glyph, clFuchsia), 0);
    TBitmap target;
    target.SetPixelFormat(pf24bit);
    target.SetSize(20, 20);
    target.Canvas().Brush.Color = clWhite;
    target.Canvas().FillRect(Rect(0, 0, 20, 20));
    list.Draw(target.Canvas(), 2, 2, 0);
    EXPECT_EQ(target.Canvas().Pixel(3, 3), clWhite);  // the mask colour lets the background show
    EXPECT_EQ(target.Canvas().Pixel(8, 8), clBlue);
    EXPECT_THROW(list.Delete(3), EInvalidOperation);
}

// A form with one control of every kind, grabbed to a PNG under the build folder for a look.
TEST_F(ComCtrlsTest, ScreenshotOfEveryControlKind) {
    Form->SetCaption("Controls");
    Form->SetClientSize(560, 420);
    auto* menu = NewComponent<TMainMenu>(Form);
    menu->Items()->Add(NewItem(Form, "&File", 0, {}));
    Form->SetMenu(menu);
    auto* label = Add<TLabel>(Form, 8, 8, 60, 13);
    label->SetCaption("&Name:");
    auto* edit = Add<TEdit>(Form, 70, 4, 140, 21);
    edit->SetText("Backup disk 12");
    label->SetFocusControl(edit);
    auto* pw = Add<TEdit>(Form, 220, 4, 100, 21);
    pw->SetPasswordChar('*');
    pw->SetText("secret");
    auto* memo = Add<TMemo>(Form, 8, 32, 200, 60);
    memo->Lines().Add("First line");
    memo->Lines().Add("Second line");
    auto* check = Add<TCheckBox>(Form, 220, 32, 120, 17);
    check->SetCaption("&Include hidden");
    check->SetChecked(true);
    auto* radio1 = Add<TRadioButton>(Form, 220, 52, 120, 17);
    radio1->SetCaption("&Names");
    radio1->SetChecked(true);
    auto* radio2 = Add<TRadioButton>(Form, 220, 72, 120, 17);
    radio2->SetCaption("&Sizes");
    auto* list = Add<TListBox>(Form, 8, 100, 140, 80);
    for (const char* s : {"Disk A", "Disk B", "Disk C"}) list->Items().Add(s);
    list->SetItemIndex(1);
    auto* drawn = Add<TListBox>(Form, 156, 100, 140, 80);
    drawn->SetStyle(lbOwnerDrawFixed);
    drawn->SetItemHeight(20);
    for (const char* s : {"Red", "Green", "Blue"}) drawn->Items().Add(s);
    drawn->OnDrawItem = [&](TWinControl*, int Index, const TRect& R, TOwnerDrawState) {
        TCanvas& c = drawn->Canvas();
        c.FillRect(R);
        c.Brush.Color = Index == 0 ? clRed : Index == 1 ? clGreen : clBlue;
        c.FillRect(Rect(R.Left + 2, R.Top + 3, R.Left + 16, R.Bottom - 3));
        c.Brush.Style = bsClear;
        c.TextOut(R.Left + 20, R.Top + 3, drawn->Items()[Index]);
        c.Brush.Style = bsSolid;
    };
    auto* combo = Add<TComboBox>(Form, 304, 100, 140, 21);
    for (const char* s : {"Floppy", "Hard disk"}) combo->Items().Add(s);
    combo->SetItemIndex(1);
    auto* group = Add<TGroupBox>(Form, 304, 128, 120, 52);
    group->SetCaption("&Options");
    auto* inGroup = Add<TCheckBox>(group, 8, 20, 100, 17);
    inGroup->SetCaption("Compress");
    auto* radioGroup = Add<TRadioGroup>(Form, 430, 128, 120, 70);
    radioGroup->SetCaption("Sort");
    radioGroup->Items().Add("By name");
    radioGroup->Items().Add("By date");
    radioGroup->SetItemIndex(0);
    auto* panel = Add<TPanel>(Form, 8, 190, 200, 40);
    panel->SetCaption("Panel");
    panel->SetBevelInner(bvLowered);
    auto* bevel = Add<TBevel>(Form, 216, 190, 80, 40);
    (void)bevel;
    auto* shape = Add<TShape>(Form, 304, 190, 40, 40);
    shape->SetShape(stEllipse);
    shape->Brush().Color = clYellow;
    auto* ok = Add<TButton>(Form, 352, 190, 75, 25);
    ok->SetCaption("OK");
    ok->SetDefault(true);
    auto* bit = Add<TBitBtn>(Form, 432, 190, 75, 25);
    bit->SetKind(bkCancel);
    auto* speed = Add<TSpeedButton>(Form, 512, 190, 23, 22);
    speed->SetCaption("B");
    speed->SetGroupIndex(1);
    speed->SetDown(true);
    auto* pc = Add<TPageControl>(Form, 8, 236, 250, 100);
    for (const char* name : {"General", "Disks"}) {
        auto* p = NewComponent<TTabSheet>(Form);
        p->SetCaption(name);
        p->SetPageControl(pc);
    }
    Add<TLabel>(pc->Pages(0), 8, 8, 100, 13)->SetCaption("On the first page");
    auto* pb = Add<TProgressBar>(Form, 266, 240, 150, 16);
    pb->SetPosition(60);
    auto* tb = Add<TTrackBar>(Form, 266, 262, 150, 45);
    tb->SetPosition(40);
    auto* bar = Add<TScrollBar>(Form, 266, 312, 150, 17);
    bar->SetPosition(30);
    auto* image = Add<TImage>(Form, 430, 240, 32, 32);
    image->Picture().Bitmap().SetSize(32, 32);
    image->Picture().Bitmap().Canvas().Brush.Color = clTeal;
    image->Picture().Bitmap().Canvas().FillRect(Rect(0, 0, 32, 32));
    auto* box = Add<TScrollBox>(Form, 470, 240, 80, 60);
    Add<TLabel>(box, 4, 4, 60, 13)->SetCaption("Scroll box");
    auto* status = NewComponent<TStatusBar>(Form);
    status->SetParent(Form);
    status->AddPanel("12 disks", 120);
    status->AddPanel("Ready", 0);
    Form->Show();
    edit->SetFocus();
    std::string png = std::string(KORVANE_BUILD_DIR) + "/every-control.png";
    ASSERT_TRUE(Driver.Grab(*Form, png));
    // The owner-drawn items and the shape show their colours where they were drawn.
    TRect r = drawn->ItemRect(1);
    EXPECT_EQ(Driver.PixelAt(*drawn, r.Left + 8, (r.Top + r.Bottom) / 2), clGreen);
    EXPECT_EQ(Driver.PixelAt(*Form, 324, 210), clYellow);
}

}  // namespace
}  // namespace framework
