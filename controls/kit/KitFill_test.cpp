// Fills, the alpha blend, the always-off effect set and the shadow.
#include "controls/kit/KitFill.h"

#include <gtest/gtest.h>

#include "framework/graphics/Gdi.h"

namespace kit {
namespace {

using namespace framework;

template <class T>
struct Watched {
    T Object;
    int Changes = 0;
    Watched() {
        Object.OnChange = [this](TObject*) { ++Changes; };
    }
};

std::unique_ptr<TBitmap> Solid(int W, int H, TColor Color, TPixelFormat Format = pf24bit) {
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetPixelFormat(Format);
    bitmap->SetSize(W, H);
    bitmap->Canvas().Brush.Color = Color;
    bitmap->Canvas().FillRect(TRect{0, 0, W, H});
    return bitmap;
}

TEST(KitFillTest, EffectSetAndAlphaObjectCanOnlyBeSwitchedOff) {
    Watched<TKitBitmapEffectObject> effects;
    for (int flag = TKitBitmapEffectObject::efFlipVertical; flag <= TKitBitmapEffectObject::efMonochrome;
         ++flag) {
        effects.Object.SetFlag(flag, true);
        effects.Object.SetFlag(flag, false);
        EXPECT_FALSE(effects.Object.Flag(flag)) << flag;
    }
    effects.Object.SetBrightness(120);
    EXPECT_EQ(effects.Object.Brightness(), 0);
    EXPECT_EQ(effects.Changes, 0);
    EXPECT_FALSE(effects.Object.IsActive());
    EXPECT_EQ(effects.Object.SummaryText(), "{Disabled}");

    Watched<TKitAlphaObject> alpha;
    EXPECT_FLOAT_EQ(alpha.Object.Strength(), 0.6f);
    EXPECT_FALSE(alpha.Object.StrengthStored());
    alpha.Object.SetStrength(0.5f);  // as read from a form stream
    EXPECT_EQ(alpha.Object.Strength(), 0.0f);
    EXPECT_TRUE(alpha.Object.StrengthStored());
    EXPECT_EQ(alpha.Changes, 1);
    alpha.Object.SetStrength(0.9f);
    EXPECT_EQ(alpha.Changes, 1);
    alpha.Object.SetImageIndex(7);
    alpha.Object.SetListIndex(3);
    EXPECT_EQ(alpha.Object.ImageIndex(), 0);
    EXPECT_EQ(alpha.Object.ListIndex(), 0);
    EXPECT_FALSE(alpha.Object.IsActive());
}

TEST(KitFillTest, SummaryTexts) {
    TKitAlphaObject alpha;
    EXPECT_EQ(alpha.SummaryText(), "{Disabled}");
    TKitFillObject brush;
    brush.SetStyle(sfBrush);
    alpha.SetFillObject(&brush);
    EXPECT_EQ(alpha.SummaryText(), "{Enabled (brush), strength: 0.600}");

    TKitBitmapEffectObject effects;
    TKitBitmapEffectObject source;
    source.AlphaBlend()->SetFillObject(&brush);
    effects.Assign(&source);
    EXPECT_EQ(effects.SummaryText(), "{alpha}");

    TKitShapeFill fill;
    EXPECT_EQ(fill.SummaryText(), "{Brush}");
    fill.SetStyle(sfGradient);
    EXPECT_EQ(fill.SummaryText(), "{Gradient}");

    TKitShadow shadow;
    EXPECT_EQ(shadow.SummaryText(), "{solid, 6}");
    shadow.SetStyle(hssTracing);
    shadow.SetDepth(41);  // outside 0..40
    EXPECT_EQ(shadow.SummaryText(), "{tracing, 6}");
    shadow.SetStyle(hssNone);
    EXPECT_EQ(shadow.SummaryText(), "{Disabled}");
}

TEST(KitFillTest, OffsetNotifiesOnlyForAnUntiledPicture) {
    Watched<TKitFillObject> fill;
    fill.Object.SetStyle(sfBitmap);
    fill.Changes = 0;
    fill.Object.SetOffset(0, 5);  // tmTile
    EXPECT_EQ(fill.Changes, 0);
    EXPECT_EQ(fill.Object.OffsetX(), 5);
    fill.Object.SetTileMode(tmNone);
    fill.Object.SetOffset(1, 3);
    EXPECT_EQ(fill.Changes, 2);
}

TEST(KitFillTest, AssignCopiesEverythingAndNotifiesOnce) {
    TKitFillObject source;
    source.SetStyle(sfBitmap);
    source.SetTileMode(tmCenter);
    source.SetOptions(foQuickDraw);
    source.SetBitmap(Solid(4, 3, clRed).get());
    Watched<TKitFillObject> copy;
    copy.Object.Assign(&source);
    EXPECT_EQ(copy.Changes, 1);
    EXPECT_EQ(copy.Object.Style(), sfBitmap);
    EXPECT_EQ(copy.Object.TileMode(), tmCenter);
    EXPECT_EQ(copy.Object.Options(), TKitFillOptions(foQuickDraw));
    EXPECT_EQ(copy.Object.Bitmap()->Width(), 4);
}

TEST(KitFillTest, FillByStyle) {
    auto target = Solid(20, 10, clBlack);
    TRect area(0, 0, 20, 10);
    TKitFillObject fill;
    EXPECT_FALSE(fill.Fill(target->Canvas(), area, clRed));  // sfNone
    EXPECT_EQ(target->Canvas().Pixel(5, 5), clBlack);

    // An empty picture: the colour only with foFillInner, and never reported as filled.
    fill.SetStyle(sfBitmap);
    fill.SetOptions(0);
    EXPECT_FALSE(fill.Fill(target->Canvas(), area, clRed));
    EXPECT_EQ(target->Canvas().Pixel(5, 5), clBlack);
    fill.SetOptions(foFillInner);
    EXPECT_FALSE(fill.Fill(target->Canvas(), area, clRed));
    EXPECT_EQ(target->Canvas().Pixel(5, 5), clRed);

    // tmNone places the picture by Alignment and the offsets over the colour.
    fill.SetBitmap(Solid(4, 4, clLime).get());
    fill.SetTileMode(tmNone);
    fill.SetAlignment(agBottomRight);
    fill.SetOffset(0, -2);
    EXPECT_TRUE(fill.Fill(target->Canvas(), area, clBlue));
    EXPECT_EQ(target->Canvas().Pixel(0, 0), clBlue);
    EXPECT_EQ(target->Canvas().Pixel(14, 7), clLime);
    EXPECT_EQ(target->Canvas().Pixel(18, 7), clBlue);

    fill.SetTileMode(tmTile);
    EXPECT_TRUE(fill.Fill(target->Canvas(), area, clBlue));
    EXPECT_EQ(target->Canvas().Pixel(0, 0), clLime);
    EXPECT_EQ(target->Canvas().Pixel(19, 9), clLime);

    // A hatched brush draws over the background colour it was given.
    fill.SetStyle(sfBrush);
    TBrush hatch;
    hatch.Color = clBlack;
    hatch.Style = bsCross;
    fill.SetBrush(hatch);
    auto white = Solid(20, 10, clWhite);
    EXPECT_TRUE(fill.Fill(white->Canvas(), area, clYellow));
    EXPECT_EQ(ColorToRGB(GetBkColor(white->Canvas().Handle())), ColorToRGB(clYellow));
    EXPECT_EQ(white->Canvas().Pen.Color, clYellow);
}

TEST(KitFillTest, AlphaBlendOfWhiteOverBlack) {
    TKitBitmapEffectObject effects;
    TKitFillObject black;
    black.SetStyle(sfBrush);
    TBrush brush;
    brush.Color = clBlack;
    black.SetBrush(brush);
    effects.AlphaBlend()->SetFillObject(&black);
    auto picture = Solid(5, 4, clWhite, pf8bit);  // made 24-bit by the blend
    effects.Apply(*picture);
    ASSERT_EQ(picture->PixelFormat(), pf24bit);
    for (int y : {0, 3}) {
        const uint8_t* row = picture->ScanLine(y);
        for (int i = 0; i < 15; ++i) EXPECT_EQ(row[i], 153) << y << ":" << i;
    }
}

TEST(KitFillTest, BlendChecksFormatsAndStaysInsideTheBitmaps) {
    auto a = Solid(4, 4, clWhite);
    auto b = Solid(4, 4, clBlack);
    auto eight = Solid(4, 4, clBlack, pf8bit);
    try {
        BlendBitmaps(*a, *b, *eight, TRect{0, 0, 4, 4}, 0, 0, 0, 0, 0.5f);
        FAIL();
    } catch (const EKitWrongPixelFormat& e) {
        EXPECT_STREQ(e.what(), "Wrong PixelFormat in Target bitmap!");
    }
    EXPECT_THROW(BlendBitmaps(*a, *eight, *b, TRect{0, 0, 4, 4}, 0, 0, 0, 0, 0.5f), EKitWrongPixelFormat);

    // Origins that reach past the bitmaps blend only the overlap.
    auto target = Solid(4, 4, clBlack);
    BlendBitmaps(*a, *b, *target, TRect{1, 1, 10, 10}, 0, 0, 2, -1, 1.0f);
    for (int x = 0; x < 4; ++x)
        for (int y = 0; y < 4; ++y)
            EXPECT_EQ(target->Canvas().Pixel(x, y), x >= 2 && y <= 1 ? clWhite : clBlack) << x << "," << y;
}

TEST(KitFillTest, CentredStretchedListAndBrushBitmapFills) {
    TRect area(0, 0, 20, 10);
    TKitFillObject fill;
    fill.SetStyle(sfBitmap);
    auto picture = Solid(4, 2, clLime);
    picture->Canvas().SetPixel(0, 0, clRed);  // marks the picture's top-left corner
    fill.SetBitmap(picture.get());

    // tmCenter: the colour around the picture placed in the middle.
    fill.SetTileMode(tmCenter);
    auto target = Solid(20, 10, clBlack);
    EXPECT_TRUE(fill.Fill(target->Canvas(), area, clBlue));
    EXPECT_EQ(target->Canvas().Pixel(0, 0), clBlue);
    EXPECT_EQ(target->Canvas().Pixel(8, 4), clRed);
    EXPECT_EQ(target->Canvas().Pixel(11, 5), clLime);
    EXPECT_EQ(target->Canvas().Pixel(12, 5), clBlue);

    // tmStretch: the picture covers the whole area, no colour shows.
    fill.SetTileMode(tmStretch);
    target = Solid(20, 10, clBlack);
    EXPECT_TRUE(fill.Fill(target->Canvas(), area, clBlue));
    EXPECT_EQ(target->Canvas().Pixel(0, 0), clRed);
    EXPECT_EQ(target->Canvas().Pixel(4, 4), clRed);  // the corner pixel grown to 5 x 5
    EXPECT_EQ(target->Canvas().Pixel(19, 9), clLime);

    // sfBitmapList draws the list picture the owner put in, not Bitmap.
    fill.SetStyle(sfBitmapList);
    target = Solid(20, 10, clBlack);
    EXPECT_FALSE(fill.Fill(target->Canvas(), area, clBlue));  // the list picture is empty
    EXPECT_EQ(target->Canvas().Pixel(10, 5), clBlue);
    fill.SetListBitmap(Solid(2, 2, clYellow).get());
    EXPECT_TRUE(fill.Fill(target->Canvas(), area, clBlue));
    EXPECT_EQ(target->Canvas().Pixel(0, 0), clYellow);
    EXPECT_EQ(target->Canvas().Pixel(19, 9), clYellow);

    // sfBrushBitmap repeats the whole bitmap (not only an 8 x 8 corner) as the brush pattern.
    fill.SetStyle(sfBrushBitmap);
    auto pattern = Solid(16, 16, clLime);
    pattern->Canvas().SetPixel(12, 12, clRed);
    fill.SetBitmap(pattern.get());
    auto wide = Solid(40, 40, clBlack);
    EXPECT_TRUE(fill.Fill(wide->Canvas(), TRect{0, 0, 40, 40}, clBlue));
    EXPECT_EQ(wide->Canvas().Pixel(12, 12), clRed);
    EXPECT_EQ(wide->Canvas().Pixel(28, 28), clRed);
    EXPECT_EQ(wide->Canvas().Pixel(4, 4), clLime);
    EXPECT_EQ(wide->Canvas().Brush.Bitmap, nullptr);  // the pattern is taken away again
}

TEST(KitFillTest, GradientFillRunsFromColourToEndColour) {
    TKitFillObject fill;
    fill.SetStyle(sfGradient);
    fill.Gradient()->SetColor(clBlack);
    fill.Gradient()->SetEndColor(clWhite);
    fill.Gradient()->SetStyle(gstHorizontal);
    auto target = Solid(64, 8, clRed);
    EXPECT_TRUE(fill.Fill(target->Canvas(), TRect{0, 0, 64, 8}, clBlue));
    const uint32_t left = ColorToRGB(target->Canvas().Pixel(0, 4));
    const uint32_t middle = ColorToRGB(target->Canvas().Pixel(32, 4));
    const uint32_t right = ColorToRGB(target->Canvas().Pixel(63, 4));
    EXPECT_LT(left & 0xFF, 0x20u);
    EXPECT_GT(right & 0xFF, 0xD0u);
    EXPECT_GT(middle & 0xFF, left & 0xFF);
    EXPECT_LT(middle & 0xFF, right & 0xFF);
    EXPECT_EQ(ColorToRGB(target->Canvas().Pixel(32, 0)), middle);  // horizontal: columns are even
    // Without the gradient bitmap the same steps are painted.
    fill.SetOptions(foFillInner);
    auto direct = Solid(64, 8, clRed);
    EXPECT_TRUE(fill.Fill(direct->Canvas(), TRect{0, 0, 64, 8}, clBlue));
    EXPECT_EQ(ColorToRGB(direct->Canvas().Pixel(32, 4)), middle);
}

}  // namespace
}  // namespace kit
