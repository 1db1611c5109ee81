// Drawing routines probed pixel by pixel on bitmaps: bevels, borders, arrows, bitmap placement and
// transparency, glyph images, colour blends, gradients and font queries.
#include "controls/kit/KitGraph.h"

#include <gtest/gtest.h>

#include "framework/ui/Windows.h"

namespace kit {
namespace {

using namespace framework;

TColor Rgb(TColor c) {
    return static_cast<TColor>(ColorToRGB(c));
}

// A bitmap of the size filled with one colour.
std::unique_ptr<TBitmap> Filled(int W, int H, TColor C) {
    auto b = std::make_unique<TBitmap>();
    FillBitmapColor(b.get(), TRect{0, 0, W, H}, C);
    return b;
}

int CountPixels(TBitmap& b, TColor c) {
    int n = 0;
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x) n += b.Canvas().Pixel(x, y) == c;
    return n;
}

bool SameRect(const TRect& a, const TRect& b) {
    return a.Left == b.Left && a.Top == b.Top && a.Right == b.Right && a.Bottom == b.Bottom;
}

TEST(KitGraphTest, BevelBandOfWidthOneDrawsTwoLinesEach) {
    auto b = Filled(20, 20, clLime);
    TRect r{2, 2, 18, 18};
    ASSERT_TRUE(DrawBevelBand(b->Canvas(), r, bvRaised, clBtnHighlight, clBtnShadow, 1));
    EXPECT_TRUE(SameRect(r, TRect{3, 3, 17, 17}));
    TCanvas& c = b->Canvas();
    for (int i = 2; i <= 16; ++i) {
        EXPECT_EQ(c.Pixel(i, 2), Rgb(clBtnHighlight)) << i;  // top
        EXPECT_EQ(c.Pixel(2, i), Rgb(clBtnHighlight)) << i;  // left
    }
    for (int i = 2; i <= 17; ++i) {
        EXPECT_EQ(c.Pixel(17, i), Rgb(clBtnShadow)) << i;  // right
        EXPECT_EQ(c.Pixel(i, 17), Rgb(clBtnShadow)) << i;  // bottom
    }
    EXPECT_EQ(c.Pixel(3, 3), clLime);
    EXPECT_EQ(CountPixels(*b, Rgb(clBtnHighlight)), 15 + 14);
    EXPECT_EQ(CountPixels(*b, Rgb(clBtnShadow)), 16 + 15);
}

TEST(KitGraphTest, WiderBevelsFramesAndRefusals) {
    auto b = Filled(30, 30, clWhite);
    TRect r{0, 0, 30, 30};
    ASSERT_TRUE(DrawBevelBand(b->Canvas(), r, bvLowered, clRed, clBlue, 3));
    EXPECT_TRUE(SameRect(r, TRect{3, 3, 27, 27}));
    EXPECT_EQ(b->Canvas().Pixel(1, 15), clBlue);  // lowered: shadow colour at the top and left
    EXPECT_EQ(b->Canvas().Pixel(28, 15), clRed);
    EXPECT_EQ(b->Canvas().Pixel(15, 28), clRed);
    EXPECT_EQ(b->Canvas().Pixel(15, 15), clWhite);

    auto f = Filled(20, 20, clWhite);
    TRect fr{0, 0, 20, 20};
    ASSERT_TRUE(DrawBevelBand(f->Canvas(), fr, bvFrameRaised, clRed, clBlue, 1));
    EXPECT_TRUE(SameRect(fr, TRect{2, 2, 18, 18}));
    EXPECT_EQ(f->Canvas().Pixel(0, 5), clRed);
    EXPECT_EQ(f->Canvas().Pixel(1, 5), clBlue);

    for (auto [style, width] : {std::pair{bvShadow, 2}, std::pair{bvRaised, 0}, std::pair{bvNone, 1}}) {
        auto n = Filled(10, 10, clWhite);
        TRect nr{0, 0, 10, 10};
        EXPECT_FALSE(DrawBevelBand(n->Canvas(), nr, style, clRed, clBlue, width));
        EXPECT_TRUE(SameRect(nr, TRect{0, 0, 10, 10}));
        EXPECT_EQ(CountPixels(*n, clWhite), 100);
    }
}

TEST(KitGraphTest, ShadowBevelAndBorderStyles) {
    auto b = Filled(20, 20, clWhite);
    TRect r{0, 0, 20, 20};
    DrawShadowBevel(b->Canvas(), r, clRed, clBlue, clLime, 3, 2, false);
    EXPECT_TRUE(SameRect(r, TRect{2, 2, 15, 15}));
    EXPECT_EQ(b->Canvas().Pixel(18, 10), clBlue);
    EXPECT_EQ(b->Canvas().Pixel(18, 1), clLime);  // the corner square above the shadow
    EXPECT_EQ(b->Canvas().Pixel(1, 18), clLime);
    EXPECT_EQ(b->Canvas().Pixel(0, 0), clRed);
    EXPECT_EQ(b->Canvas().Pixel(1, 1), clRed);
    EXPECT_EQ(b->Canvas().Pixel(2, 2), clWhite);

    EXPECT_EQ(BorderStyleWidth(lsSingleLowered), 1);
    EXPECT_EQ(BorderStyleWidth(lsFrameOffset), 2);
    EXPECT_EQ(BorderStyleWidth(lsNone), 0);
    struct Case {
        TKitBorderStyle Style;
        TRect After;
    };
    for (auto [style, after] :
         {Case{lsSingle, TRect{1, 1, 20, 20}}, Case{lsLowered, TRect{2, 2, 18, 18}},
          Case{lsFrameOffset, TRect{2, 2, 18, 18}}, Case{lsSingleRaised, TRect{1, 1, 19, 19}},
          Case{lsRaisedExt, TRect{2, 2, 18, 18}}, Case{lsLoweredExt, TRect{2, 2, 18, 18}},
          Case{lsWindowBorder, TRect{2, 2, 18, 18}}, Case{lsDoubleLowered, TRect{2, 2, 18, 18}}}) {
        SCOPED_TRACE(style);
        auto e = Filled(20, 20, clWhite);
        TRect er{0, 0, 20, 20};
        EXPECT_TRUE(DrawBorderStyle(e->Canvas(), er, style, 0));
        EXPECT_TRUE(SameRect(er, after));
        EXPECT_LT(CountPixels(*e, clWhite), 400);
    }
}

TEST(KitGraphTest, DropArrows) {
    for (int size : {16, 1}) {
        auto b = Filled(40, 40, clWhite);
        DrawDropArrow(b->Canvas(), 2, 2, size, clBlack, true, true);
        EXPECT_EQ(CountPixels(*b, clWhite), 1600);
    }
    auto b = Filled(20, 20, clWhite);
    DrawDropArrow(b->Canvas(), 4, 4, 3, clBlack, true, true);
    EXPECT_EQ(CountPixels(*b, clBlack), 5 + 3 + 1);
    for (int x = 4; x <= 8; ++x) EXPECT_EQ(b->Canvas().Pixel(x, 4), clBlack);
    for (int x = 5; x <= 7; ++x) EXPECT_EQ(b->Canvas().Pixel(x, 5), clBlack);
    EXPECT_EQ(b->Canvas().Pixel(6, 6), clBlack);

    auto d = Filled(20, 20, clWhite);
    DrawDropArrow(d->Canvas(), 4, 4, 3, clBlack, true, false);
    EXPECT_EQ(d->Canvas().Pixel(4, 4), Rgb(clGrayText));
    EXPECT_EQ(d->Canvas().Pixel(9, 5), Rgb(clHighlightText));  // the copy one pixel right and down
    EXPECT_EQ(CountPixels(*d, clBlack), 0);

    auto u = Filled(20, 20, clWhite);
    DrawDropArrow(u->Canvas(), 4, 4, 3, clBlack, false, true);
    EXPECT_EQ(CountPixels(*u, clBlack), 1 + 3 + 5);
    EXPECT_EQ(u->Canvas().Pixel(5, 4), clBlack);  // the tip at x + size div 2
}

TEST(KitGraphTest, BitmapPlacement) {
    auto tile = Filled(10, 10, clBlue);
    tile->Canvas().SetPixel(0, 0, clRed);
    auto d = Filled(40, 40, clWhite);
    TRect painted;
    DrawBitmapEx(d->Canvas(), TRect{0, 0, 25, 25}, &tile->Canvas(), nullptr, TRect{0, 0, 10, 10}, dbTile,
                 clNone, 0, nullptr, painted);
    EXPECT_EQ(CountPixels(*d, clRed), 9);  // 3 x 3 copies
    EXPECT_TRUE(SameRect(painted, TRect{0, 0, 25, 25}));

    auto wide = Filled(20, 10, clRed);
    auto s = Filled(100, 100, clWhite);
    DrawBitmapEx(s->Canvas(), TRect{0, 0, 100, 100}, &wide->Canvas(), nullptr, TRect{0, 0, 20, 10},
                 dbStretch | dbKeepAspect, clNone, 0, nullptr, painted);
    EXPECT_TRUE(SameRect(painted, TRect{0, 0, 100, 50}));
    EXPECT_EQ(CountPixels(*s, clRed), 100 * 50);

    auto big = Filled(30, 30, clRed);
    DrawBitmapEx(s->Canvas(), TRect{0, 0, 25, 25}, &big->Canvas(), nullptr, TRect{0, 0, 30, 30}, dbCenter,
                 clNone, 0, nullptr, painted);
    EXPECT_TRUE(SameRect(painted, TRect{-2, -2, 28, 28}));  // (25 - 30) div 2 rounds toward zero
    DrawBitmapEx(s->Canvas(), TRect{0, 0, 25, 25}, &tile->Canvas(), nullptr, TRect{0, 0, 10, 10}, dbCenter,
                 clNone, 0, nullptr, painted);
    EXPECT_TRUE(SameRect(painted, TRect{7, 7, 17, 17}));

    // An empty picture draws nothing in any placement.
    TBitmap empty;
    for (uint32_t flags : {0u, dbCenter, dbTile, dbStretch | dbKeepAspect, dbStretch | dbKeepWidth}) {
        auto e = Filled(10, 10, clWhite);
        DrawBitmapEx(e->Canvas(), TRect{0, 0, 10, 10}, &empty.Canvas(), nullptr, TRect{0, 0, 0, 0}, flags,
                     clNone, 0, nullptr, painted);
        EXPECT_EQ(CountPixels(*e, clWhite), 100);
    }
}

TEST(KitGraphTest, TransparencyAndClipping) {
    auto pic = Filled(10, 10, clWhite);
    pic->Canvas().Brush.Color = clRed;
    pic->Canvas().FillRect(TRect{2, 2, 8, 8});
    auto d = Filled(10, 10, clLime);
    TRect painted;
    DrawBitmapEx(d->Canvas(), TRect{0, 0, 10, 10}, &pic->Canvas(), nullptr, TRect{0, 0, 10, 10},
                 dbTransparentColor, clWhite, 0, nullptr, painted);
    EXPECT_EQ(CountPixels(*d, clLime), 100 - 36);
    EXPECT_EQ(CountPixels(*d, clRed), 36);

    // A masked image drawn through its mask.
    TBitmap mask, image;
    MakeMaskedImageFromBitmap(*pic, mask, image, clWhite);
    EXPECT_EQ(image.Canvas().Pixel(0, 0), clBlack);
    EXPECT_EQ(image.Canvas().Pixel(5, 5), clRed);
    auto m = Filled(10, 10, clLime);
    DrawBitmapEx(m->Canvas(), TRect{0, 0, 10, 10}, &image.Canvas(), nullptr, TRect{0, 0, 10, 10},
                 dbMaskBitmap, clNone, 0, &mask, painted);
    EXPECT_EQ(CountPixels(*m, clLime), 64);
    EXPECT_EQ(CountPixels(*m, clRed), 36);

    auto red = Filled(20, 20, clRed);
    auto c = Filled(40, 20, clWhite);
    DrawBitmapClipped(c->Canvas(), TRect{0, 0, 20, 20}, &red->Canvas(), nullptr, TRect{0, 0, 20, 20}, dbClip,
                      PackOffset(10, 0), clNone, nullptr);
    EXPECT_EQ(CountPixels(*c, clRed), 10 * 20);
    EXPECT_EQ(c->Canvas().Pixel(12, 5), clRed);
    EXPECT_EQ(c->Canvas().Pixel(5, 5), clWhite);
    c->Canvas().Brush.Color = clBlue;  // the clip is gone afterwards
    c->Canvas().FillRect(TRect{0, 0, 40, 20});
    EXPECT_EQ(CountPixels(*c, clBlue), 800);

    // DrawCanvasPart and DrawPaletteBitmap take the whole bitmap.
    auto p = Filled(30, 30, clWhite);
    DrawPaletteBitmap(p->Canvas(), TRect{0, 0, 30, 30}, red.get(), dbCenter, clNone, painted);
    EXPECT_TRUE(SameRect(painted, TRect{5, 5, 25, 25}));
    auto q = Filled(30, 30, clWhite);
    DrawCanvasPart(q->Canvas(), TRect{0, 0, 10, 10}, red.get(), dbClip, 0, clNone);
    EXPECT_EQ(CountPixels(*q, clRed), 100);
}

TEST(KitGraphTest, GlyphImages) {
    auto one = Filled(8, 8, clGreen);
    TBitmap embossed;
    MakeEmbossedGlyph(embossed, *one);
    EXPECT_EQ(CountPixels(embossed, clGreen), 64);  // one colour: all background, unchanged

    auto glyph = Filled(10, 10, clWhite);
    glyph->Canvas().SetPixel(4, 4, clBlack);
    glyph->Canvas().SetPixel(5, 4, clSilver);
    glyph->Canvas().SetPixel(6, 4, clWhite - 1);
    TBitmap four;
    MakeEmbossedGlyph(four, *glyph);
    EXPECT_EQ(four.Canvas().Pixel(0, 0), clWhite);
    EXPECT_EQ(four.Canvas().Pixel(4, 4), clBlack);

    auto target = Filled(12, 12, clRed);
    MakeDisabledGlyph(*target, *glyph, 0, 0);
    EXPECT_EQ(target->Canvas().Pixel(4, 4), Rgb(clBtnShadow));
    EXPECT_EQ(target->Canvas().Pixel(7, 5), Rgb(clBtnHighlight));  // (6, 4) one right and down
    EXPECT_EQ(target->Canvas().Pixel(0, 0), clWhite);              // the transparent colour
}

TEST(KitGraphTest, BlendsAndSteps) {
    EXPECT_EQ(BlendColor(clRed, clBlue, 5, 0), clRed);
    EXPECT_EQ(BlendColor(clBlack, clWhite, 1, 2), static_cast<TColor>(0x808080));
    EXPECT_EQ(BlendColor(clBlack, clWhite, 2, 2), clWhite);
    std::vector<uint32_t> steps;
    GradientSteps(clBlue, clBlack, 1, &steps, true);
    EXPECT_EQ(steps, std::vector<uint32_t>{0xFF0000u});
    GradientSteps(clBlack, clWhite, 3, &steps, false);
    EXPECT_EQ(steps, (std::vector<uint32_t>{0xFF0000u, 0x808080u, 0xFFFFFFu}));
    HPALETTE palette = CreateStepPalette(steps);
    ASSERT_NE(palette, 0u);
    DeleteObject(palette);
    EXPECT_EQ(CreateStepPalette({}), 0u);
}

TEST(KitGraphTest, GradientShapes) {
    auto one = Filled(30, 20, clWhite);
    FillGradient(one->Canvas(), TRect{0, 0, 30, 20}, gstElliptic, 0, 0, 0, {0x00FF00u});
    auto flat = Filled(30, 20, clWhite);
    FillGradient(flat->Canvas(), TRect{0, 0, 30, 20}, gstVertical, 0, 0, 0, {0x00FF00u});
    EXPECT_EQ(CountPixels(*flat, clLime), 600);

    std::vector<uint32_t> steps;
    GradientSteps(clBlue, clBlack, 16, &steps, true);
    auto v = Filled(40, 64, clWhite);
    FillGradient(v->Canvas(), TRect{0, 0, 40, 64}, gstVertical, 0, 0, 0, steps);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(static_cast<uint32_t>(v->Canvas().Pixel(5, MulDiv(i, 64, 16))),
                  steps[static_cast<size_t>(i)])
            << i;
        EXPECT_EQ(static_cast<uint32_t>(v->Canvas().Pixel(39, MulDiv(i, 64, 16) + 3)),
                  steps[static_cast<size_t>(i)]);
    }

    // The smallest, innermost ellipse is drawn last, in the first step colour.
    auto e = Filled(64, 64, clWhite);
    FillGradient(e->Canvas(), TRect{0, 0, 64, 64}, gstElliptic, 0, 0, 0, steps);
    EXPECT_EQ(static_cast<uint32_t>(e->Canvas().Pixel(32, 32)), steps.front());

    // Off-screen drawing gives the same pixels as drawing directly, at an offset too.
    for (TKitGradientStyle style : {gstHorizontal, gstSquare, gstElliptic, gstTopLeft, gstTopRight,
                                    gstBottomLeft, gstBottomRight, gstTopLeftDiagonal, gstTopRightDiagonal}) {
        SCOPED_TRACE(style);
        auto direct = Filled(60, 50, clWhite);
        auto off = Filled(60, 50, clWhite);
        const TRect r{5, 7, 55, 45};
        FillGradient(direct->Canvas(), r, style, 0, dbClip, 0, steps);
        FillGradient(off->Canvas(), r, style, 0, dbOffscreen, 0, steps);
        int differ = 0;
        for (int y = 0; y < 50; ++y)
            for (int x = 0; x < 60; ++x) differ += direct->Canvas().Pixel(x, y) != off->Canvas().Pixel(x, y);
        EXPECT_EQ(differ, 0);
        EXPECT_EQ(direct->Canvas().Pixel(2, 2), clWhite);  // nothing outside the rectangle
    }
    auto two = Filled(20, 20, clWhite);
    FillTwoColorGradient(two->Canvas(), TRect{0, 0, 20, 20}, clRed, clRed, 4, gstSquare, 0, 0);
    EXPECT_EQ(CountPixels(*two, clRed), 400);
}

TEST(KitGraphTest, Fonts) {
    TFont arial;
    arial.Name = "Arial";
    EXPECT_TRUE(IsTrueTypeFont(arial));
    TFont terminal;
    terminal.Name = "Terminal";
    EXPECT_FALSE(IsTrueTypeFont(terminal));
    EXPECT_GT(FontLineHeight(arial), 8);
}

// A canvas over a bitmap's context that fails on its Nth use.
class TFailingCanvas : public TCanvas {
public:
    TFailingCanvas(TBitmap& Target, int FailAt) : FFailAt(FailAt) { SetHandle(Target.Canvas().Handle()); }
    int Uses = 0;

protected:
    void BeforeDraw() override {
        if (++Uses == FFailAt) throw Exception("injected failure");
    }

private:
    int FFailAt;
};

TEST(KitGraphTest, ClipsAndCanvasStateAreRestoredWhenDrawingFails) {
    // The source fails while it is copied: the destination's clip and copy mode come back.
    auto dest = Filled(40, 40, clWhite);
    auto pic = Filled(10, 10, clRed);
    TFailingCanvas failingSource(*pic, 1);
    dest->Canvas().CopyMode = SRCCOPY;
    EXPECT_THROW(DrawBitmapClipped(dest->Canvas(), TRect{0, 0, 10, 10}, &failingSource, nullptr,
                                   TRect{0, 0, 10, 10}, dbClip, 0, clNone, nullptr),
                 Exception);
    EXPECT_EQ(dest->Canvas().CopyMode, static_cast<uint32_t>(SRCCOPY));
    dest->Canvas().Brush.Color = clBlue;
    dest->Canvas().FillRect(TRect{0, 0, 40, 40});
    EXPECT_EQ(CountPixels(*dest, clBlue), 1600);

    // The canvas fails halfway through a clipped gradient: pen, brush and clip come back.
    std::vector<uint32_t> steps;
    GradientSteps(clBlue, clBlack, 16, &steps, true);
    for (int failAt : {2, 5}) {
        auto target = Filled(40, 40, clWhite);
        TFailingCanvas canvas(*target, failAt);
        canvas.Pen.Style = psDot;
        canvas.Brush.Color = clYellow;
        EXPECT_THROW(FillGradient(canvas, TRect{5, 5, 20, 20}, gstSquare, 0, dbClip, 0, steps), Exception);
        EXPECT_EQ(canvas.Pen.Style, psDot);
        EXPECT_EQ(canvas.Brush.Color, clYellow);
        target->Canvas().Brush.Color = clLime;
        target->Canvas().FillRect(TRect{0, 0, 40, 40});
        EXPECT_EQ(CountPixels(*target, clLime), 1600) << failAt;
    }
}

}  // namespace
}  // namespace kit
