// Owner-drawn push buttons and the drive items of a combo box.
#include <gtest/gtest.h>

#include "framework/stdctrls/StdCtrls.h"
#include "framework/ui/testsupport/FormDriver.h"
#include "platform/testsupport/TestDrives.h"

namespace framework {
namespace {

// A button drawn by its own CN_DRAWITEM handler, recording what it was asked.
class TDrawnButton : public TButton {
public:
    using TButton::TButton;
    std::vector<UINT> States;  // itemState of each CN_DRAWITEM
    int Measured = 0;
    UINT MeasuredWidth = 0;
    void Dispatch(TMessage& M) override {
        if (M.Msg == CN_DRAWITEM) {
            auto* di = reinterpret_cast<TDrawItemStruct*>(M.LParam);
            EXPECT_EQ(di->CtlType, ODT_BUTTON);
            EXPECT_EQ(di->hwndItem, Handle());
            EXPECT_EQ(di->rcRight, ClientWidth());
            States.push_back(di->itemState);
            // Draws the face itself: the pressed state in red.
            TCanvas c;
            c.SetHandle(di->hDC);
            c.Brush.Color = (di->itemState & ODS_SELECTED) ? clRed : clLime;
            c.FillRect(Rect(di->rcLeft, di->rcTop, di->rcRight, di->rcBottom));
            c.SetHandle(0);
            M.Result = 1;
            return;
        }
        if (M.Msg == CN_MEASUREITEM) {
            ++Measured;
            MeasuredWidth = reinterpret_cast<TMeasureItemStruct*>(M.LParam)->itemWidth;
            return;
        }
        TButton::Dispatch(M);
    }
    UINT LastState() const { return States.empty() ? 0xFFFF : States.back(); }

protected:
    void CreateParams(TCreateParams& Params) override {
        TButton::CreateParams(Params);
        Params.Style |= BS_OWNERDRAW;
    }
};

class OwnerDrawTest : public ::testing::Test {
protected:
    TFormDriver Driver;
    TForm* Form = TCustomForm::Create<TForm>(Application);
    void SetUp() override {
        Form->SetBounds(50, 60, 300, 200);
        Form->Show();
    }
    void TearDown() override {
        Form->Free();
        Driver.RunPending();
    }
};

TEST_F(OwnerDrawTest, AnOwnerDrawnButtonIsDrawnSelectedWhileHeldDown) {
    auto* b = NewComponent<TDrawnButton>(Form);
    b->SetBounds(10, 10, 80, 24);
    b->SetParent(Form);
    auto* other = NewComponent<TButton>(Form);
    other->SetParent(Form);
    other->SetBounds(100, 10, 80, 24);
    Driver.RunPending();
    EXPECT_EQ(b->Measured, 1);
    EXPECT_EQ(b->MeasuredWidth, 80u);
    ASSERT_FALSE(b->States.empty());
    EXPECT_EQ(b->LastState() & ODS_SELECTED, 0u);
    EXPECT_EQ(Driver.PixelAt(*b, 40, 12), static_cast<uint32_t>(clLime));

    int clicks = 0;
    b->OnClick = [&](TObject*) { ++clicks; };
    b->SetFocus();
    Driver.MouseDown(*b, 20, 10);
    EXPECT_TRUE(b->LastState() & ODS_SELECTED);
    EXPECT_TRUE(b->LastState() & ODS_FOCUS);
    EXPECT_EQ(Driver.PixelAt(*b, 40, 12), static_cast<uint32_t>(clRed));
    EXPECT_EQ(b->Perform(BM_GETSTATE, 0, 0) & BST_PUSHED, BST_PUSHED);
    // Off the button while held: drawn released; back on it: pressed again.
    Driver.MouseMove(*b, 200, 10);
    EXPECT_EQ(b->LastState() & ODS_SELECTED, 0u);
    Driver.MouseMove(*b, 30, 10);
    EXPECT_TRUE(b->LastState() & ODS_SELECTED);
    Driver.MouseUp(*b, 30, 10);
    EXPECT_EQ(b->LastState() & ODS_SELECTED, 0u);
    EXPECT_EQ(clicks, 1);

    // BM_SETSTATE shows the pressed look without the mouse; the focus leaving drops the ODS_FOCUS.
    b->Perform(BM_SETSTATE, 1, 0);
    Driver.RunPending();
    EXPECT_TRUE(b->LastState() & ODS_SELECTED);
    b->Perform(BM_SETSTATE, 0, 0);
    Driver.RunPending();
    EXPECT_EQ(b->LastState() & ODS_SELECTED, 0u);
    other->SetFocus();
    Driver.RunPending();
    EXPECT_EQ(b->LastState() & ODS_FOCUS, 0u);
    b->SetEnabled(false);
    Driver.RunPending();
    EXPECT_TRUE(b->LastState() & ODS_DISABLED);

    // A plain button is never owner-drawn.
    EXPECT_EQ(GetWindowLong(other->Handle(), GWL_STYLE) & BS_TYPEMASK, 0u);
}

TEST_F(OwnerDrawTest, CBDirListsTheDrivesOfTheDriveMap) {
    platform::testsupport::TTempFolder d, e;
    platform::testsupport::TScopedDrives drives("D=" + d.Path() + ";E=" + e.Path() + "|label=DATA;C=/");
    auto* combo = NewComponent<TComboBox>(Form);
    combo->SetParent(Form);
    combo->Items().Add("first");
    LRESULT last = combo->Perform(CB_DIR, DDL_DRIVES | DDL_EXCLUSIVE, reinterpret_cast<LPARAM>("*.*"));
    ASSERT_EQ(combo->Items().Count(), 4);
    EXPECT_EQ(combo->Items()[1], "[-c-]");
    EXPECT_EQ(combo->Items()[2], "[-d-]");
    EXPECT_EQ(combo->Items()[3], "[-e-]");
    EXPECT_EQ(last, 3);
    // Without DDL_DRIVES nothing is listed.
    EXPECT_EQ(combo->Perform(CB_DIR, DDL_EXCLUSIVE, reinterpret_cast<LPARAM>("*.*")), CB_ERR);
    EXPECT_EQ(combo->Items().Count(), 4);
}

}  // namespace
}  // namespace framework
