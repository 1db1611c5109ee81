// The kit's check box on a form: clicking through its states, read-only boxes, change notices,
// the glyph cell drawn for each state, auto-sizing and clicks that cannot take the focus.
#include "controls/kit/KitCheckBox.h"

#include <gtest/gtest.h>

#include "controls/kit/KitGlyph.h"
#include "framework/graphics/Gdi.h"
#include "framework/ui/Forms.h"
#include "framework/ui/Messages.h"
#include "framework/ui/testsupport/FormDriver.h"

namespace kit {
namespace {

using namespace framework;

class KitCheckBoxTest : public ::testing::Test {
protected:
    TFormDriver Driver;
    TForm* Form = TCustomForm::Create<TForm>(Application);
    TKitCheckBox* Box = nullptr;
    TKitCheckBox* Other = nullptr;
    int Changes = 0;
    void SetUp() override {
        Form->SetBounds(40, 40, 320, 200);
        Other = NewComponent<TKitCheckBox>(Form);
        Other->SetParent(Form);
        Other->SetBounds(10, 100, 150, 18);
        Other->SetCaption("Other");
        Box = NewComponent<TKitCheckBox>(Form);
        Box->SetParent(Form);
        Box->SetBounds(10, 20, 200, 18);
        Box->SetCaption("&Show tips at every start");
        Box->OnChange = [this](TObject*) { ++Changes; };
        Form->Show();
        Driver.RunPending();
    }
    void TearDown() override {
        Form->Free();
        Driver.RunPending();
    }
};

TEST_F(KitCheckBoxTest, ClicksStepThroughTheStates) {
    struct Case {
        bool AllowGrayed;
        std::vector<TKitCheckState> After;
    };
    const Case cases[] = {
        {false, {cbChecked, cbUnchecked, cbChecked}},
        {true, {cbGrayed, cbChecked, cbUnchecked}},
    };
    for (const Case& c : cases) {
        Box->SetState(cbUnchecked);
        Box->AllowGrayed = c.AllowGrayed;
        Changes = 0;
        for (TKitCheckState expected : c.After) {
            Driver.Click(*Box);
            EXPECT_EQ(Box->State(), expected) << "AllowGrayed " << c.AllowGrayed;
        }
        EXPECT_EQ(Changes, 3);
    }
    // Space toggles the focused box without a click.
    int clicks = 0;
    Box->OnClick = [&clicks](TObject*) { ++clicks; };
    Box->AllowGrayed = false;
    Box->SetState(cbUnchecked);
    Driver.KeyTo(*Box, VK_SPACE);
    EXPECT_EQ(Box->State(), cbChecked);
    EXPECT_EQ(clicks, 0);
}

TEST_F(KitCheckBoxTest, AReadOnlyBoxIgnoresTheUserButNotTheCode) {
    Box->ReadOnly = true;
    Driver.Click(*Box);
    EXPECT_EQ(Box->State(), cbUnchecked);
    EXPECT_TRUE(Box->Focused()) << "the click still focuses";
    Driver.KeyTo(*Box, VK_SPACE);
    EXPECT_EQ(Box->State(), cbUnchecked);

    Other->SetFocus();
    Driver.Key('S', ssAlt);
    EXPECT_TRUE(Box->Focused()) << "the accelerator focuses";
    EXPECT_EQ(Box->State(), cbUnchecked);
    EXPECT_EQ(Changes, 0);

    Box->SetCheckedState(true);
    EXPECT_EQ(Box->State(), cbChecked);
    Box->SetState(cbGrayed);
    EXPECT_EQ(Box->State(), cbGrayed);
    EXPECT_EQ(Changes, 2);

    // Not read-only, the accelerator focuses and toggles.
    Box->ReadOnly = false;
    Other->SetFocus();
    Driver.Key('S', ssAlt);
    EXPECT_EQ(Box->State(), cbChecked);
}

TEST_F(KitCheckBoxTest, NoChangeNoticeForTheSameValueOrWhileLoading) {
    Box->SetCheckedState(false);
    EXPECT_EQ(Changes, 0);
    Box->SetState(cbChecked);
    Box->SetCheckedState(true);
    EXPECT_EQ(Changes, 1);
    Box->Loading();
    Box->SetState(cbGrayed);
    Box->Loaded();
    EXPECT_EQ(Box->State(), cbGrayed);
    EXPECT_EQ(Changes, 1);
}

TEST_F(KitCheckBoxTest, ADisabledCheckedBoxDrawsTheCheckedDisabledCell) {
    Box->SetCheckedState(true);
    Box->SetEnabled(false);
    Driver.RunPending();
    EXPECT_EQ(Box->GlyphIndex(), 3);
    // The cell on screen is the one the system draws for a checked, inactive box.
    const int size = Box->GlyphSize();
    TBitmap reference;
    reference.SetSize(size, size);
    reference.Canvas().Brush.Color = clBtnFace;
    reference.Canvas().FillRect(TRect{0, 0, size, size});
    TRect r{0, 0, size, size};
    DrawFrameControl(reference.Canvas().Handle(), r, DFC_BUTTON,
                     DFCS_BUTTONCHECK | DFCS_CHECKED | DFCS_INACTIVE);
    const TRect glyph = Box->GlyphRect();
    ASSERT_EQ(glyph.Width(), size);
    int differing = 0;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            differing += Driver.PixelAt(*Box, glyph.Left + x, glyph.Top + y) !=
                         ColorToRGB(reference.Canvas().Pixel(x, y));
    EXPECT_EQ(differing, 0);
    // The enabled checked cell differs from it.
    Box->SetEnabled(true);
    Driver.RunPending();
    EXPECT_EQ(Box->GlyphIndex(), 2);
    differing = 0;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            differing += Driver.PixelAt(*Box, glyph.Left + x, glyph.Top + y) !=
                         ColorToRGB(reference.Canvas().Pixel(x, y));
    EXPECT_GT(differing, 0);
}

TEST_F(KitCheckBoxTest, TwoGlyphsOfAListShowGrayedAsChecked) {
    // Cells of 10 pixels: unchecked, unchecked disabled, checked, checked disabled.
    const TColor cells[] = {clRed, clMaroon, clLime, clGreen};
    TBitmap strip;
    strip.SetPixelFormat(pf24bit);
    strip.SetSize(40, 10);
    for (int i = 0; i < 4; ++i) {
        strip.Canvas().Brush.Color = cells[i];
        strip.Canvas().FillRect(Bounds(i * 10, 0, 10, 10));
    }
    TKitImageList list(nullptr);
    auto* item = static_cast<TKitImageListItem*>(list.Item(list.AddItem()));
    item->SetWidth(40);
    item->SetHeight(10);
    item->Add(&strip, nullptr);
    Box->SetImageList(&list);
    Box->SetGlyphNumber(2);
    Box->SetState(cbGrayed);
    Driver.RunPending();
    EXPECT_EQ(Box->GlyphIndex(), 2);
    EXPECT_EQ(Box->CellWidth(), 10);
    const TRect glyph = Box->GlyphRect();
    EXPECT_EQ(Driver.PixelAt(*Box, glyph.Left + 5, glyph.Top + 5), ColorToRGB(clLime));
    Box->SetImageList(nullptr);
}

TEST_F(KitCheckBoxTest, AutoSizeFollowsTheContentAndKeepsLeftAndTop) {
    Box->SetAutoSize(true);
    const TRect first = Box->BoundsRect();
    EXPECT_EQ(first.Left, 10);
    EXPECT_EQ(first.Top, 20);
    EXPECT_LT(first.Width(), 200);
    EXPECT_GE(first.Height(), Box->GlyphSize());

    Box->SetCaption("&Show tips at every start, and once more at every stop");
    EXPECT_GT(Box->Width(), first.Width());
    Box->Font().SetHeight(-24);
    Box->Font().Changed();
    EXPECT_GT(Box->Height(), first.Height());
    EXPECT_EQ(Box->Left(), 10);
    EXPECT_EQ(Box->Top(), 20);
}

TEST_F(KitCheckBoxTest, AClickThatCannotTakeTheFocusIsSwallowed) {
    Other->SetFocus();
    // The focused box keeps the focus from leaving it.
    Other->OnExit = [this](TObject*) { Other->SetFocus(); };
    Driver.Click(*Box);
    EXPECT_FALSE(Box->Focused());
    EXPECT_EQ(Box->State(), cbUnchecked);
    EXPECT_EQ(Changes, 0);
    Other->OnExit = nullptr;
    Driver.Click(*Box);
    EXPECT_EQ(Box->State(), cbChecked);
}

}  // namespace
}  // namespace kit
