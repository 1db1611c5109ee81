#include "controls/entry/CtlCaret.h"

#include <gtest/gtest.h>

#include "framework/ui/Forms.h"
#include "framework/ui/Windows.h"
#include "framework/ui/testsupport/FormDriver.h"
#include "framework/ui/testsupport/TestControls.h"

namespace entry {
namespace {

using namespace framework;

// A control whose window the test can take away while the control stays.
class TBox : public TLogControl {
public:
    using TLogControl::TLogControl;
    using TWinControl::DestroyHandle;
};

class CtlCaretTest : public ::testing::Test {
protected:
    void SetUp() override {
        Form = TCustomForm::Create<TForm>(Application);
        Form->SetClientSize(200, 100);
        Box = NewComponent<TBox>(Form);
        Box->SetParent(Form);
        Box->SetBounds(10, 10, 120, 40);
        Form->Show();
        Driver.RunPending();
        SetCaretBlinkTime(530);
    }
    void TearDown() override {
        if (Form) Form->Free();
        Driver.RunPending();
        SetCaretBlinkTime(530);
    }
    TFormDriver Driver;
    TForm* Form = nullptr;
    TBox* Box = nullptr;
};

TEST_F(CtlCaretTest, ShapesAreSizedAndPlacedInTheCell) {
    TCtlSingleCaret caret(Box);
    caret.SetCellHeight(16);
    caret.SetLinked(true);
    caret.SetVisible(true);
    ASSERT_TRUE(caret.Linked());
    TCaretState s = GetCaretState();
    EXPECT_EQ(s.Owner, Box->Handle());
    EXPECT_EQ(s.Bounds, Bounds(0, 0, 2, 16));
    EXPECT_TRUE(s.Visible);

    caret.SetCellWidth(9);
    caret.Caret()->SetShape(csHalfBlock);
    EXPECT_EQ(GetCaretState().Bounds, Bounds(0, 8, 9, 8));
    EXPECT_TRUE(GetCaretState().Visible) << "made again as it was";

    struct Case {
        TCtlCaretShape Shape;
        TCtlCaretAlign Align;
        TRect Expected;  // at position (20, 4) in a 9 x 16 cell
    };
    const Case cases[] = {
        {csBlock, caLeft, Bounds(20, 4, 9, 16)},     {csHorzLine, caBottom, Bounds(20, 18, 9, 2)},
        {csVertLine, caRight, Bounds(27, 4, 2, 16)}, {csVertLine, caCenter, Bounds(23, 4, 2, 16)},
        {csHorzLine, caTop, Bounds(20, 4, 9, 2)},
    };
    caret.SetPosition(Point(20, 4));
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.Shape) * 10 + c.Align);
        caret.Caret()->SetShape(c.Shape);
        caret.Caret()->SetAlign(c.Align);
        EXPECT_EQ(GetCaretState().Bounds, c.Expected);
    }

    caret.Caret()->SetIsGray(true);
    EXPECT_TRUE(GetCaretState().Gray);
}

TEST_F(CtlCaretTest, ANegativeCoordinateParksTheCaretOffTheWindow) {
    TCtlSingleCaret caret(Box);
    caret.SetLinked(true);
    caret.SetPosition(Point(-1, 5));
    EXPECT_EQ(caret.Position().X, TCtlSingleCaret::HiddenCoordinate);
    EXPECT_EQ(caret.Position().Y, 5);
    const TRect r = GetCaretState().Bounds;
    EXPECT_GT(r.Left, 1 << 29);
    EXPECT_EQ(r.Top, 5);
    EXPECT_TRUE(IntersectRect(r, Bounds(0, 0, Box->Width(), Box->Height())).IsEmpty());
    caret.SetPosition(Point(3, 5));
    EXPECT_EQ(GetCaretState().Bounds.Left, 3);
}

TEST_F(CtlCaretTest, LinkingNeedsAWindowAndUnlinkingRestoresTheBlinkTime) {
    TLogControl* noWindow = NewComponent<TLogControl>(Form);
    TCtlSingleCaret orphan(noWindow);
    orphan.SetLinked(true);
    EXPECT_FALSE(orphan.Linked());

    {
        TCtlSingleCaret caret(Box);
        caret.Caret()->SetBlinkTime(200);
        caret.SetLinked(true);
        EXPECT_EQ(GetCaretBlinkTime(), 200u);
        caret.SetLinked(false);
        EXPECT_EQ(GetCaretBlinkTime(), 530u);
        EXPECT_EQ(GetCaretState().Owner, 0u);
        caret.SetLinked(true);
        EXPECT_EQ(GetCaretBlinkTime(), 200u);
    }
    EXPECT_EQ(GetCaretBlinkTime(), 530u) << "put back by the destructor";

    // Also when the owner's window is gone first.
    auto* caret = new TCtlSingleCaret(Box);
    caret->Caret()->SetBlinkTime(100);
    caret->SetLinked(true);
    caret->SetVisible(true);
    EXPECT_EQ(GetCaretBlinkTime(), 100u);
    Box->DestroyHandle();
    Driver.RunPending();
    delete caret;
    EXPECT_EQ(GetCaretBlinkTime(), 530u);
}

TEST_F(CtlCaretTest, ASharedCaretStaysUntilBothUsersReleaseIt) {
    auto* first = new TCtlSingleCaret(Box);
    TCtlSingleCaret second(Box);
    TCtlCaret* shared = first->Caret();
    second.SetCaret(shared);
    EXPECT_EQ(shared->RefCount(), 2);
    delete first;
    EXPECT_EQ(shared->RefCount(), 1);

    // The remaining user still hears of changes.
    second.SetCellHeight(16);
    second.SetLinked(true);
    shared->SetShape(csBlock);
    EXPECT_EQ(GetCaretState().Bounds, Bounds(0, 0, 10, 16));
    second.SetCaret(new TCtlCaret);  // the shared one is freed here (the sanitizers check)
}

TEST_F(CtlCaretTest, APairSwitchesBetweenInsertAndOvertypeCarets) {
    TCtlCaretPair pair(Box);
    EXPECT_EQ(pair.Caret(), pair.InsertCaret());
    EXPECT_EQ(pair.InsertCaret()->Shape(), csVertLine);
    EXPECT_EQ(pair.OvertypeCaret()->Shape(), csBlock);
    pair.SetCellWidth(9);
    pair.SetCellHeight(16);
    pair.SetLinked(true);
    EXPECT_EQ(GetCaretState().Bounds, Bounds(0, 0, 2, 16));
    pair.SetInsertMode(false);
    EXPECT_EQ(pair.Caret(), pair.OvertypeCaret());
    EXPECT_EQ(GetCaretState().Bounds, Bounds(0, 0, 9, 16));

    auto* half = new TCtlCaret;
    half->SetShape(csHalfBlock);
    pair.SetOvertypeCaret(half);  // in use: takes over at once
    EXPECT_EQ(pair.Caret(), half);
    EXPECT_EQ(GetCaretState().Bounds, Bounds(0, 8, 9, 8));
    pair.SetInsertCaret(new TCtlCaret);  // not in use
    EXPECT_EQ(pair.Caret(), half);
}

TEST_F(CtlCaretTest, ABitmapCaretTakesItsSizeFromTheBitmapLessTheHotSpot) {
    TBitmap bmp;
    bmp.SetSize(4, 6);
    TCtlSingleCaret caret(Box);
    caret.Caret()->SetBitmap(&bmp);
    caret.Caret()->SetBitmap(nullptr);  // ignored
    caret.Caret()->SetShape(csBitmap);
    EXPECT_EQ(caret.Caret()->CaretWidth(), 4);
    EXPECT_EQ(caret.Caret()->CaretHeight(), 6);
    caret.Caret()->SetBitmapHotSpotX(1);
    caret.SetLinked(true);
    EXPECT_TRUE(GetCaretState().Bitmap);
    // caLeft in a 10 x 10 cell: y (10 - 6) / 2 = 2, then less the hot spot.
    EXPECT_EQ(GetCaretState().Bounds, Bounds(-1, 2, 4, 6));
}

}  // namespace
}  // namespace entry
