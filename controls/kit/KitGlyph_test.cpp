// Image strips, glyph lists and the glyph cache, and the glyph's state images.
#include "controls/kit/KitGlyph.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace kit {
namespace {

using namespace framework;

// A strip of square cells of Size, cell i filled with Colors[i], with an olive corner pixel so
// the transparent colour is olive.
std::unique_ptr<TBitmap> Strip(int Size, std::initializer_list<TColor> Colors, int Height = -1) {
    auto b = std::make_unique<TBitmap>();
    b->SetPixelFormat(pf24bit);
    const int h = Height < 0 ? Size : Height;
    b->SetSize(Size * static_cast<int>(Colors.size()), h);
    int i = 0;
    for (TColor c : Colors) {
        b->Canvas().Brush.Color = clOlive;
        b->Canvas().FillRect(Bounds(i * Size, 0, Size, h));
        b->Canvas().Brush.Color = c;
        b->Canvas().FillRect(Bounds(i * Size + 3, 3, Size - 6, h - 6));
        ++i;
    }
    return b;
}

TColor CentreOfImage(TKitGlyph& g, int State) {
    const int index = g.ImageIndexForState(State);
    if (index < 0) return clNone;
    const TRect cell = g.List()->ImageRect(index);
    return g.List()->Image().Canvas().Pixel(cell.Left + cell.Width() / 2, cell.Height() / 2);
}

TEST(ImageStripTest, GrowsByAllocByAndRefusesBadSizesAndOverflow) {
    TKitImageListItem strip(16, 16);
    auto img = Strip(16, {clRed});
    for (int i = 0; i < 4; ++i) EXPECT_EQ(strip.Add(img.get(), nullptr), i);
    EXPECT_EQ(strip.Image().Width(), 64);
    auto blue = Strip(16, {clBlue});
    EXPECT_EQ(strip.Add(blue.get(), nullptr), 4);
    EXPECT_EQ(strip.Image().Width(), 128);
    EXPECT_EQ(strip.Image().Canvas().Pixel(8, 8), clRed);  // earlier images kept
    EXPECT_EQ(strip.Image().Canvas().Pixel(64 + 8, 8), clBlue);
    TBitmap out;
    strip.GetImage(4, out);
    EXPECT_EQ(out.Width(), 16);
    EXPECT_EQ(out.Canvas().Pixel(8, 8), clBlue);
    EXPECT_EQ(strip.ImageTransparentColor(4), clOlive);
    EXPECT_EQ(strip.Add(nullptr, nullptr), 5);  // an empty cell

    auto wrong = Strip(16, {clRed}, 15);
    try {
        strip.Add(wrong.get(), nullptr);
        FAIL() << "no error";
    } catch (const EInvalidGraphicOperation& e) {
        EXPECT_STREQ(e.what(), "Invalid image size");
    }
    EXPECT_THROW(TKitImageListItem(0, 16), EInvalidGraphicOperation);

    TKitImageListItem wide(1024, 1);
    wide.AllocBy = 8;
    for (int i = 0; i < 32; ++i) wide.AddSlot();
    EXPECT_EQ(wide.Image().Width(), 32768);
    try {
        wide.AddSlot();
        FAIL() << "no error";
    } catch (const EInvalidGraphicOperation& e) {
        EXPECT_STREQ(e.what(), "Too many images");
    }
    EXPECT_EQ(wide.ImageCount(), 32);
}

TEST(ImageStripTest, MaskedStripsDrawThroughTheirMask) {
    TKitImageListItem strip(16, 16);
    strip.SetMasked(true);
    auto img = Strip(16, {clRed});
    const int index = strip.AddSlot();
    strip.ReplaceMasked(index, *img, clOlive);
    TBitmap target;
    target.SetPixelFormat(pf24bit);
    FillBitmapColor(&target, TRect{0, 0, 20, 20}, clWhite);
    strip.DrawImage(target.Canvas(), 2, 2, index);
    EXPECT_EQ(target.Canvas().Pixel(3, 3), clWhite);  // olive is transparent
    EXPECT_EQ(target.Canvas().Pixel(10, 10), clRed);
}

TEST(ImageStripTest, StreamsKeepUsedCellsAndRefuseBadBlocks) {
    TKitImageList list(nullptr);
    list.AddItem();
    TKitImageListItem& strip = *list.Strips(0);
    strip.SetMasked(true);
    strip.Description = "arrows";
    auto red = Strip(16, {clRed}), blue = Strip(16, {clBlue});
    strip.ReplaceMasked(strip.AddSlot(), *red, clOlive);
    strip.ReplaceMasked(strip.AddSlot(), *blue, clOlive);
    ASSERT_EQ(strip.Image().Width(), 64);
    if (const char* seeds = std::getenv("KORVANE_FUZZ_SEEDS")) {
        TFileStream f(std::string(seeds) + "/strips.iml", fmCreate);
        WriteContainerFile(f, list);
    }
    TMemoryStream s;
    list.SaveToStream(&s, true);
    s.SetPosition(0);
    TKitImageList back(nullptr);
    back.LoadFromStream(&s, true);
    ASSERT_EQ(back.Count(), 1);
    TKitImageListItem& b = *back.Strips(0);
    EXPECT_EQ(b.Description, "arrows");
    EXPECT_TRUE(b.Masked());
    EXPECT_EQ(b.ImageCount(), 2);
    EXPECT_EQ(b.Image().Width(), 32);  // spare cells dropped
    EXPECT_TRUE(back.HasImage(0, 1));
    EXPECT_FALSE(back.HasImage(0, 2));
    EXPECT_EQ(back.ImageCount(1), -1);
    TBitmap out;
    back.GetImage(0, 1, out);
    EXPECT_EQ(out.Canvas().Pixel(8, 8), clBlue);

    // Header values are checked before the strips are read.
    struct Case {
        int32_t Height, Width, Count;
        const char* Error;
    } cases[] = {{0, 16, 1, "Invalid image size"},
                 {16, -3, 1, "Invalid image size"},
                 {16, 16, -1, "Invalid image size"},
                 {16, 1024, 33, "Too many images"},
                 {16, 16, 3, "Invalid image size"}};  // the strip holds two images only
    for (const Case& c : cases) {
        TMemoryStream bad;
        WriteStreamByte(&bad, 0);
        for (int32_t v : {c.Height, c.Width, 4}) WriteStreamInteger(&bad, v);
        WriteStreamByte(&bad, 0);
        WriteStreamInteger(&bad, c.Count);
        WriteBitmapData(&bad, &b.Image(), false, spfDefault);  // 32 wide
        bad.SetPosition(0);
        TKitImageListItem item(nullptr);
        try {
            item.ReadItem(&bad);
            ADD_FAILURE() << c.Height << " " << c.Width << " " << c.Count;
        } catch (const EInvalidGraphicOperation& e) {
            EXPECT_STREQ(e.what(), c.Error);
        }
        EXPECT_EQ(item.Width(), 16);
        EXPECT_EQ(item.ImageCount(), 0);
    }
}

TEST(GlyphTest, NumGlyphsFollowsSquareStripsOfUpToFiveImages) {
    TKitGlyph g;
    auto four = Strip(16, {clRed, clBlue, clLime, clYellow});
    g.SetBitmap(four.get());
    EXPECT_EQ(g.NumGlyphs(), 4);
    EXPECT_EQ(g.TransparentColor(), clOlive);
    auto six = Strip(16, {clRed, clBlue, clLime, clYellow, clAqua, clFuchsia});
    g.SetBitmap(six.get());
    EXPECT_EQ(g.NumGlyphs(), 1);
}

TEST(GlyphTest, StateImagesAreBuiltFromTheStrip) {
    auto one = Strip(16, {clRed});
    TKitGlyph g;
    g.SetBitmap(one.get());
    EXPECT_EQ(CentreOfImage(g, 0), clRed);
    const TColor disabled = CentreOfImage(g, 1);
    EXPECT_NE(disabled, clRed);  // the relief
    EXPECT_NE(disabled, clNone);

    auto two = Strip(16, {clRed, clBlue});
    TKitGlyph g2;
    g2.SetBitmap(two.get());
    EXPECT_EQ(CentreOfImage(g2, 1), clBlue);
    EXPECT_EQ(CentreOfImage(g2, 4), clRed);  // no image of its own: the first

    TKitGlyph u;
    u.SetStyle(1);
    u.SetBitmap(one.get());
    EXPECT_NE(CentreOfImage(u, 0), clRed);  // four-tone
    EXPECT_EQ(CentreOfImage(u, 2), clRed);  // hot: the bitmap's colours

    TKitGlyph narrow;
    auto tiny = Strip(3, {clRed});
    narrow.SetBitmap(tiny.get());
    narrow.SetNumGlyphs(5);  // images 0 pixels wide
    EXPECT_EQ(narrow.ImageIndexForState(0), -1);
    TBitmap canvas;
    canvas.SetSize(40, 20);
    narrow.Draw(canvas.Canvas(), "A", nullptr, TRect{0, 0, 40, 20}, 0, nullptr, gtEnabled, false, 0);
}

TEST(GlyphTest, GlyphsOfOneSizeShareAListThatGoesWithTheLast) {
    auto one = Strip(16, {clRed});
    auto big = Strip(20, {clRed});
    {
        TKitGlyph a, b, c;
        a.SetBitmap(one.get());
        b.SetBitmap(one.get());
        c.SetBitmap(big.get());
        a.ImageIndexForState(0);
        b.ImageIndexForState(1);
        c.ImageIndexForState(0);
        ASSERT_NE(GlyphCache(), nullptr);
        EXPECT_EQ(a.List(), b.List());
        EXPECT_EQ(GlyphCache()->Count(), 2);
        c.SetBitmap(nullptr);  // the last of its size
        EXPECT_EQ(GlyphCache()->Count(), 1);
    }
    EXPECT_EQ(GlyphCache(), nullptr);
}

}  // namespace
}  // namespace kit
