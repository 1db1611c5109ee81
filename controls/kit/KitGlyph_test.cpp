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

namespace kit {
namespace {

// A masked strip of 12 x 12 images: a coloured square on olive (transparent) per colour.
std::unique_ptr<TKitImageListItem> MaskedStrip(std::initializer_list<TColor> Colors) {
    auto strip = std::make_unique<TKitImageListItem>(12, 12);
    strip->SetMasked(true);
    for (TColor c : Colors) strip->ReplaceMasked(strip->AddSlot(), *Strip(12, {c}), clOlive);
    return strip;
}

std::unique_ptr<TBitmap> Canvas(TColor Color, int W = 20, int H = 20) {
    auto b = std::make_unique<TBitmap>();
    b->SetPixelFormat(pf24bit);
    FillBitmapColor(b.get(), TRect{0, 0, W, H}, Color);
    return b;
}

TEST(ImageStripTest, AddImagesAppendsAnotherStripAndAssignCopiesIt) {
    auto a = MaskedStrip({clRed, clLime, clBlue});
    auto b = MaskedStrip({clYellow});
    int changes = 0;
    b->OnChange = [&](TObject*) { ++changes; };
    b->AddImages(*a);
    EXPECT_EQ(changes, 1);
    ASSERT_EQ(b->ImageCount(), 4);
    EXPECT_EQ(b->UsedWidth(), 48);
    TBitmap out;
    b->GetImage(3, out);
    EXPECT_EQ(out.Canvas().Pixel(6, 6), clBlue);
    auto target = Canvas(clWhite);
    b->DrawImage(target->Canvas(), 0, 0, 2);
    EXPECT_EQ(target->Canvas().Pixel(6, 6), clLime);
    EXPECT_EQ(target->Canvas().Pixel(1, 1), clWhite);  // the mask came along

    TKitImageListItem other(16, 8);
    try {
        b->AddImages(other);
        FAIL() << "a strip of another size was taken";
    } catch (const EInvalidGraphicOperation& e) {
        EXPECT_STREQ(e.what(), "Invalid image size");
    }
    TKitImageListItem full(12, 12);
    for (int i = 0; i < MaxStripWidth / 12 - 2; ++i) full.AddSlot();
    try {
        full.AddImages(*a);  // 3 more would pass 32768 px
        FAIL() << "the strip grew too wide";
    } catch (const EInvalidGraphicOperation& e) {
        EXPECT_STREQ(e.what(), "Too many images");
    }
    EXPECT_EQ(full.ImageCount(), MaxStripWidth / 12 - 2);

    TKitImageListItem copy(16, 16);
    a->BlendingColor = clAqua;
    a->DrawingStyle = dsSelected;
    a->Description = "arrows";
    copy.Assign(a.get());
    EXPECT_EQ(copy.Width(), 12);
    EXPECT_TRUE(copy.Masked());
    EXPECT_EQ(copy.ImageCount(), 3);
    EXPECT_EQ(copy.BlendingColor, clAqua);
    EXPECT_EQ(copy.DrawingStyle, dsSelected);
    EXPECT_EQ(copy.Description, "arrows");
    copy.GetImage(0, out);
    EXPECT_EQ(out.Canvas().Pixel(6, 6), clRed);
}

TEST(ImageStripTest, DrawingStylesBlendOverTheBackgroundColour) {
    auto strip = MaskedStrip({clRed});
    strip->BackgroundColor = clYellow;
    strip->BlendingColor = clBlue;
    struct TCase {
        TKitDrawingStyle Style;
        TColor Corner;  // (1,1): transparent in the image, odd x and y
        TColor Odd;     // (4,5): inside the square, x and y of different parity
        TColor Even;    // (4,4): inside, both even
    };
    for (const TCase& c :
         {TCase{dsNormal, clYellow, clRed, clRed}, TCase{dsSelected, clYellow, clBlue, clRed},
          TCase{dsFocus, clYellow, clBlue, clBlue}, TCase{dsTransparent, clWhite, clRed, clRed}}) {
        strip->DrawingStyle = c.Style;
        auto target = Canvas(clWhite);
        strip->DrawImage(target->Canvas(), 0, 0, 0);
        EXPECT_EQ(target->Canvas().Pixel(1, 1), c.Corner) << c.Style;
        EXPECT_EQ(target->Canvas().Pixel(4, 5), c.Odd) << c.Style;
        EXPECT_EQ(target->Canvas().Pixel(4, 4), c.Even) << c.Style;
        EXPECT_EQ(target->Canvas().Pixel(5, 5), clRed) << c.Style;  // both odd: never blended
    }
    // Without a background colour a normal drawing goes straight through the mask.
    strip->DrawingStyle = dsNormal;
    strip->BackgroundColor = clNone;
    auto target = Canvas(clWhite);
    strip->DrawImage(target->Canvas(), 0, 0, 0);
    EXPECT_EQ(target->Canvas().Pixel(1, 1), clWhite);
    // itMask shows the mask cell itself.
    strip->ImageType = itMask;
    strip->DrawImage(target->Canvas(), 0, 0, 0);
    EXPECT_EQ(target->Canvas().Pixel(1, 1), clWhite);
    EXPECT_EQ(target->Canvas().Pixel(4, 4), clBlack);
}

TEST(ImageListTest, OperationsGoToTheStripAndGiveNeutralAnswersOutOfRange) {
    TKitImageList list(nullptr);
    auto* strip = static_cast<TKitImageListItem*>(list.Item(list.AddItem()));
    strip->SetWidth(8);
    strip->SetHeight(8);
    strip->Add(Strip(8, {clRed, clBlue}).get(), nullptr);  // unmasked, two images from one bitmap
    EXPECT_EQ(list.ImageCount(0), 1);
    strip->Add(Strip(8, {clBlue}).get(), nullptr);
    EXPECT_EQ(list.ImageCount(0), 2);
    EXPECT_EQ(list.ImageCount(1), -1);
    EXPECT_EQ(list.ImageDimension(0, 0), 8);
    EXPECT_EQ(list.ImageDimension(3, 1), 0);
    TRect r;
    EXPECT_TRUE(list.ImageRect(0, 1, r));
    EXPECT_EQ(r, (TRect{8, 0, 16, 8}));
    EXPECT_FALSE(list.ImageRect(0, 2, r));
    EXPECT_FALSE(list.IsMasked(0));
    EXPECT_EQ(list.ImageCanvas(0), &strip->Image().Canvas());
    EXPECT_EQ(list.ImageCanvas(5), nullptr);
    EXPECT_EQ(list.ImageTransparentColor(0, 1), clOlive);
    EXPECT_EQ(list.ImageTransparentColor(0, 9), clWhite);
    EXPECT_EQ(list.ImagePixel(TPoint{4, 4}, 0, 1), clBlue);
    EXPECT_EQ(list.ImagePixel(TPoint{4, 4}, 2, 0), clWhite);

    // The extended drawing of an unmasked strip leaves out its corner colour when asked to.
    auto target = Canvas(clWhite, 40, 40);
    TRect painted;
    list.DrawImageExt(target->Canvas(), TRect{10, 10, 18, 18}, dbTransparentColor, 0, 1, painted);
    EXPECT_EQ(painted, (TRect{10, 10, 18, 18}));
    EXPECT_EQ(target->Canvas().Pixel(14, 14), clBlue);
    EXPECT_EQ(target->Canvas().Pixel(11, 11), clWhite);
    list.DrawImageExt(target->Canvas(), TRect{20, 20, 36, 36}, dbStretch, 0, 1, painted);
    EXPECT_EQ(target->Canvas().Pixel(21, 21), clOlive);  // opaque, stretched to 16 x 16
    EXPECT_EQ(target->Canvas().Pixel(34, 34), clOlive);
    list.DrawImageExt(target->Canvas(), TRect{0, 0, 8, 8}, 0, 0, 7, painted);
    EXPECT_EQ(painted, TRect{});

    // Clipped drawing with a clip offset keeps to the offset rectangle.
    auto clipped = Canvas(clWhite, 40, 40);
    list.DrawImageClipped(clipped->Canvas(), TRect{0, 0, 8, 8}, dbClip, 0, clNone, 0, 0);
    EXPECT_EQ(clipped->Canvas().Pixel(4, 4), clRed);

    // A bitmap list answers for its one bitmap per item.
    TKitBitmapList bitmaps(nullptr);
    auto* item = static_cast<TKitBitmapListItem*>(bitmaps.Item(bitmaps.AddItem()));
    item->SetBitmap(Strip(8, {clLime}).get());
    EXPECT_TRUE(bitmaps.ImageRect(0, 0, r));
    EXPECT_EQ(r, (TRect{0, 0, 8, 8}));
    EXPECT_EQ(bitmaps.ImagePixel(TPoint{4, 4}, 0, 0), clLime);
    EXPECT_EQ(bitmaps.ImageTransparentColor(1, 0), clWhite);
    auto drawn = Canvas(clWhite);
    bitmaps.DrawImage(drawn->Canvas(), 2, 2, 0, 0);
    EXPECT_EQ(drawn->Canvas().Pixel(3, 3), clOlive);
    bitmaps.DrawImageExt(drawn->Canvas(), TRect{10, 10, 18, 18}, dbTransparentColor, 0, 0, painted);
    EXPECT_EQ(drawn->Canvas().Pixel(11, 11), clWhite);
    EXPECT_EQ(drawn->Canvas().Pixel(14, 14), clLime);
}

}  // namespace
}  // namespace kit
