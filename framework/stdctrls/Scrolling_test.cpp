#include <gtest/gtest.h>

#include <map>

#include "framework/stdctrls/ComCtrls.h"
#include "framework/stdctrls/Dialogs.h"
#include "framework/stdctrls/ExtCtrls.h"
#include "framework/stdctrls/StdCtrls.h"
#include "framework/ui/testsupport/FormDriver.h"

namespace framework {
namespace {

class ScrollingTest : public ::testing::Test {
protected:
    TFormDriver Driver;
    TForm* Form = TCustomForm::Create<TForm>(Application);
    void SetUp() override { Form->SetClientSize(400, 300); }
    void TearDown() override {
        Form->Free();
        Driver.RunPending();
    }
};

TEST_F(ScrollingTest, ScrollBoxScrollsChildrenThatReachBeyondIt) {
    auto* box = NewComponent<TScrollBox>(Form);
    box->SetParent(Form);
    box->SetBounds(10, 10, 150, 100);
    auto* near = NewComponent<TPanel>(Form);
    near->SetParent(box);
    near->SetBounds(0, 0, 50, 20);
    auto* far = NewComponent<TPanel>(Form);
    far->SetParent(box);
    far->SetBounds(20, 380, 60, 20);  // the extent: 400 pixels high, 146 wide fits
    Form->Show();
    Driver.RunPending();
    TScrollInfo si;
    si.fMask = SIF_ALL;
    ASSERT_TRUE(GetScrollInfo(box->Handle(), SB_VERT, si));
    EXPECT_EQ(si.nMax, 399);
    EXPECT_EQ(static_cast<int>(si.nPage), box->ClientHeight());
    EXPECT_TRUE(GetWindowLong(box->Handle(), GWL_STYLE) & WS_VSCROLL);
    EXPECT_FALSE(GetWindowLong(box->Handle(), GWL_STYLE) & WS_HSCROLL);

    int page = box->ClientHeight();
    struct TCase {
        int Code;
        int Pos;
    };
    for (const TCase& c : {TCase{SB_LINEDOWN, page / 10}, TCase{SB_PAGEDOWN, page / 10 + page},
                           TCase{SB_BOTTOM, 400 - page}, TCase{SB_LINEDOWN, 400 - page}, TCase{SB_TOP, 0}}) {
        Driver.ScrollBar(*box, SB_VERT, c.Code);
        EXPECT_EQ(box->ScrollPos().Y, c.Pos) << c.Code;
        EXPECT_EQ(near->Top(), -c.Pos) << c.Code;  // the children move, keeping their distance
        EXPECT_EQ(far->Top(), 380 - c.Pos) << c.Code;
    }
    // The wheel over a control in the box that does not use it scrolls the box.
    auto* edit = NewComponent<TEdit>(Form);
    edit->SetParent(box);
    edit->SetBounds(0, 30, 60, 21);
    edit->SetFocus();
    Driver.Wheel(*edit, -120);
    EXPECT_EQ(box->ScrollPos().Y, 24);

    // Moving the far child back inside takes the bar away and the view back to the top.
    far->SetTop(40 - box->ScrollPos().Y);
    Driver.RunPending();
    EXPECT_EQ(box->ScrollPos().Y, 0);
    EXPECT_FALSE(GetWindowLong(box->Handle(), GWL_STYLE) & WS_VSCROLL);
    EXPECT_EQ(far->Top(), 40);
}

TEST_F(ScrollingTest, SplitterShowsAnInvertedDragLineAndResizesOnRelease) {
    auto* left = NewComponent<TPanel>(Form);
    left->SetParent(Form);
    left->SetAlign(alLeft);
    left->SetWidth(120);
    auto* split = NewComponent<TSplitter>(Form);
    split->SetParent(Form);
    split->SetAlign(alLeft);
    split->SetLeft(200);
    Form->Show();
    Driver.RunPending();
    uint32_t before = Driver.PixelAt(*Form, 161, 50);
    Driver.MouseDown(*split, 1, 50);
    Driver.MouseMove(*split, 41, 50, ssLeft);
    EXPECT_EQ(left->Width(), 120);  // nothing moves yet
    EXPECT_EQ(Driver.PixelAt(*Form, 161, 50), ~before & 0xFFFFFFu);
    Driver.MouseMove(*split, -200, 50, ssLeft);  // not below MinSize
    EXPECT_EQ(Driver.PixelAt(*Form, 161, 50), before);
    EXPECT_EQ(Driver.PixelAt(*Form, 30 + 1, 50), ~Driver.PixelAt(*Form, 30 + 4, 50) & 0xFFFFFFu);
    Driver.MouseMove(*split, 41, 50, ssLeft);
    Driver.MouseUp(*split, 41, 50);
    EXPECT_EQ(left->Width(), 160);
    EXPECT_EQ(split->Left(), 160);
    EXPECT_NE(Driver.PixelAt(*Form, 30 + 1, 50), ~before & 0xFFFFFFu);  // no line left behind
}

TEST_F(ScrollingTest, MessageDialogsShowThePictureOfTheirKind) {
    // The colour that dominates the picture, by kind.
    std::map<TMsgDlgType, uint32_t> expected = {{mtWarning, static_cast<uint32_t>(clYellow)},
                                                {mtError, static_cast<uint32_t>(clRed)},
                                                {mtInformation, static_cast<uint32_t>(clWhite)},
                                                {mtConfirmation, static_cast<uint32_t>(clWhite)}};
    for (auto [kind, colour] : expected) {
        TMessageForm* f = CreateMessageDialog("Disk is full.", kind, TMsgDlgButtons{mbOK});
        ASSERT_NE(f->Icon(), nullptr);
        EXPECT_EQ(f->Icon()->Kind(), kind);
        EXPECT_EQ(f->Icon()->Name(), "Image");
        EXPECT_LE(f->Icon()->Left() + f->Icon()->Width(), f->MessageLabel()->Left());
        f->Show();
        std::map<uint32_t, int> count;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x)
                ++count[Driver.PixelAt(*f, f->Icon()->Left() + x, f->Icon()->Top() + y)];
        EXPECT_GT(count[colour], 200) << kind;
        if (const char* out = std::getenv("KORVANE_MENU_GRAB"))
            Driver.Grab(*f, std::string(out) + "-dialog" + std::to_string(kind) + ".png");
        f->Free();
        Driver.RunPending();
    }
    TMessageForm* custom = CreateMessageDialog("Plain.", mtCustom, TMsgDlgButtons{mbOK});
    EXPECT_EQ(custom->Icon(), nullptr);
    custom->Free();
}

}  // namespace
}  // namespace framework
