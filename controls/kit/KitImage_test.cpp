// Windowless kit controls on a panel: bounds notices, the update lock, auto-sizing pictures,
// background colours left out, and an image that shows another image's bitmap.
#include "controls/kit/KitImage.h"

#include <gtest/gtest.h>

#include "framework/graphics/Gdi.h"
#include "framework/ui/Forms.h"
#include "framework/ui/testsupport/FormDriver.h"

namespace kit {
namespace {

using namespace framework;

constexpr uint32_t PanelRgb = 0x00DFFFFF;

// A 30 × 40 picture: red with a blue square in the middle and a red bottom-left corner.
void MakePicture(TBitmap& B, TColor Middle = clBlue) {
    B.SetPixelFormat(pf24bit);
    B.SetSize(30, 40);
    B.Canvas().Brush.Style = bsSolid;
    B.Canvas().Brush.Color = clRed;
    B.Canvas().FillRect(TRect{0, 0, 30, 40});
    B.Canvas().Brush.Color = Middle;
    B.Canvas().FillRect(TRect{10, 10, 20, 30});
}

class KitImageTest : public ::testing::Test {
protected:
    TFormDriver Driver;
    TForm* Form = TCustomForm::Create<TForm>(Application);
    TKitSimplePanel* Panel = nullptr;
    TKitNImage* Image = nullptr;
    void SetUp() override {
        Form->SetBounds(50, 50, 300, 220);
        Panel = NewComponent<TKitSimplePanel>(Form);
        Panel->SetParent(Form);
        Panel->SetBounds(10, 10, 260, 160);
        Panel->SetColor(static_cast<TColor>(PanelRgb));
        Image = NewComponent<TKitNImage>(Form);
        Image->SetParent(Panel);
        Image->SetBounds(20, 20, 30, 40);
        Form->Show();
        Driver.RunPending();
    }
    void TearDown() override {
        Form->Free();
        Driver.RunPending();
    }
    uint32_t At(int X, int Y) { return Driver.PixelAt(*Panel, Image->Left() + X, Image->Top() + Y); }
};

TEST_F(KitImageTest, BoundsNoticesTellMovesFromResizes) {
    std::vector<int> kinds;
    Image->OnBoundsChanged = [&kinds](TObject*, int Kind) { kinds.push_back(Kind); };
    struct Case {
        TRect To;
        std::vector<int> Expected;
    };
    const Case cases[] = {
        {Bounds(20, 20, 30, 40), {}},
        {Bounds(25, 20, 30, 40), {bcPosition}},
        {Bounds(25, 20, 35, 40), {bcSize}},
        {Bounds(30, 22, 40, 45), {bcPosition | bcSize}},
    };
    for (const Case& c : cases) {
        kinds.clear();
        Image->SetBoundsRect(c.To);
        EXPECT_EQ(kinds, c.Expected) << c.To.Left << "," << c.To.Top << " " << c.To.Width() << "x"
                                     << c.To.Height();
    }
}

TEST_F(KitImageTest, NothingIsRedrawnWhileTheUpdateLockIsHeld) {
    TBitmap picture;
    MakePicture(picture);
    Image->BeginUpdate();
    const int before = Image->PaintCount();
    Image->SetBitmap(&picture);
    Image->SetStyle(sbCenter);
    Image->TransparentStyle().SetMode(tpRestoreBack);
    Driver.RunPending();
    EXPECT_EQ(Image->PaintCount(), before);
    Image->EndUpdate();
    Image->SetStyle(sbNone);
    Driver.RunPending();
    EXPECT_GT(Image->PaintCount(), before);
    EXPECT_EQ(At(15, 20), ColorToRGB(clBlue));
}

TEST_F(KitImageTest, AutoSizeTakesThePicturesSizeOrTwentyPixels) {
    Image->SetBounds(20, 20, 50, 50);
    Image->SetStyle(sbAutosize);
    Driver.RunPending();
    EXPECT_EQ(Image->BoundsRect(), Bounds(20, 20, 20, 20));
    TBitmap picture;
    MakePicture(picture);
    Image->SetBitmap(&picture);
    Driver.RunPending();
    EXPECT_EQ(Image->BoundsRect(), Bounds(20, 20, 30, 40));
    Image->Bevel().SetStyleOuter(bvRaised);
    Driver.RunPending();
    EXPECT_EQ(Image->BoundsRect(), Bounds(20, 20, 32, 42)) << "and the bevel on both sides";
}

TEST_F(KitImageTest, RestoringTheBackgroundLeavesOutEveryPixelOfTheCornerColour) {
    TBitmap picture;
    MakePicture(picture);
    Image->SetBitmap(&picture);
    Image->TransparentStyle().SetColor(clRed);
    Image->TransparentStyle().SetMode(tpRestoreBack);
    Driver.RunPending();
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 30; ++x) {
            const bool middle = x >= 10 && x < 20 && y >= 10 && y < 30;
            ASSERT_EQ(At(x, y), middle ? ColorToRGB(clBlue) : PanelRgb) << x << "," << y;
        }

    // Without transparency the red is drawn; opaque images fill with their colour first.
    Image->TransparentStyle().SetMode(tpNone);
    Driver.RunPending();
    EXPECT_EQ(At(2, 2), ColorToRGB(clRed));
    Image->SetBitmap(nullptr);
    Image->SetTransparent(false);
    Image->SetColor(clLime);
    Driver.RunPending();
    EXPECT_EQ(At(2, 2), ColorToRGB(clLime));
}

TEST_F(KitImageTest, AnImageCanShowAnotherImagesBitmapUntilThatOneGoes) {
    auto* source = NewComponent<TKitNImage>(Form);
    TBitmap picture;
    MakePicture(picture, clGreen);
    source->SetBitmap(&picture);
    Image->SetControl(source);
    Image->SetControl(Image);  // itself: ignored
    Driver.RunPending();
    EXPECT_EQ(Image->Control(), source);
    EXPECT_EQ(At(15, 20), ColorToRGB(clGreen));

    source->Free();
    Driver.RunPending();
    EXPECT_EQ(Image->Control(), nullptr);
    EXPECT_TRUE(Image->IsEmpty());
    EXPECT_EQ(At(15, 20), PanelRgb);
}

}  // namespace
}  // namespace kit
