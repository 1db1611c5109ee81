#include "codecs/gif/GIFImage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>

#include "framework/core/Stream.h"
#include "framework/stdctrls/Label.h"
#include "framework/ui/Clipbrd.h"

using namespace codecs;
using namespace framework;

namespace {

// Collects the warnings of an image.
struct Warnings {
    std::vector<std::string> List;
    void Bind(TGIFImage& I) {
        I.OnWarning = [this](TObject*, int Severity, const std::string& M) {
            EXPECT_EQ(Severity, 1);
            List.push_back(M);
        };
    }
};

std::vector<uint8_t> MapBytes(const TGIFColorMap& M) {
    return std::vector<uint8_t>(M.Triples.begin(), M.Triples.begin() + M.ColorCount * 3);
}

// A frame of the given size placed in the image, its pixels set from Pixels.
TGIFSubImage* AddFrame(TGIFImage& I, int W, int H, const std::vector<uint8_t>& Pixels, int L = 0, int T = 0) {
    auto* f = new TGIFSubImage(&I);
    f->PlaceFrame(L, T, W, H);
    if (!Pixels.empty()) std::memcpy(f->IndexData.data(), Pixels.data(), Pixels.size());
    I.AppendFrame(f);
    return f;
}

// The colours a frame shows, read back from its rendered bitmap.
std::vector<uint32_t> Shown(TGIFSubImage& F) {
    F.DropFrameBitmap();
    TBitmap* b = F.RenderedBitmap();
    std::vector<uint32_t> v;
    for (int y = 0; y < F.Height; ++y)
        for (int x = 0; x < F.Width; ++x)
            v.push_back(static_cast<uint32_t>(b->Canvas().Pixel(x, y)) & 0xFFFFFF);
    return v;
}

const TColor Red = RGB(255, 0, 0), Green = RGB(0, 255, 0), Blue = RGB(0, 0, 255), White = RGB(255, 255, 255);

}  // namespace

TEST(GIFColorMap, FindGrowAppendRemoveAndColorAt) {
    TGIFImage img;
    Warnings w;
    w.Bind(img);
    TGIFColorMap& m = img.ScreenColorMap();
    m.AppendColor(Red);
    m.AppendColor(Green);
    m.AppendColor(Red);
    EXPECT_EQ(m.FindColor(Red), 2);  // unsorted: last match
    m.Sorted = true;
    EXPECT_EQ(m.FindColor(Red), 0);  // sorted: first match
    EXPECT_EQ(m.FindColor(Blue), -1);

    TGIFGlobalColorMap g(&img.ScreenHeader);
    g.Grow(17);
    EXPECT_EQ(g.Room, 32);
    g.Grow(300);
    EXPECT_EQ(g.Room, 256);
    g.Grow(3);  // below the room: unchanged
    EXPECT_EQ(g.Room, 256);

    TGIFColorMap& full = img.ScreenColorMap();
    full.ClearColors();
    for (int i = 0; i < 256; ++i) EXPECT_EQ(full.AppendColor(RGB(i, 0, 0)), i);
    EXPECT_EQ(full.Room, 256);
    try {
        full.AppendColor(Blue);
        FAIL();
    } catch (GIFException& e) {
        EXPECT_STREQ(e.what(), "Color table overflow");
    }

    full.ClearColors();
    full.AppendColor(Red);
    full.AppendColor(Green);
    full.AppendColor(Blue);
    EXPECT_EQ(full.ColorAt(5), Red);
    ASSERT_EQ(w.List, std::vector<std::string>{"Invalid color index"});
    EXPECT_EQ(full.ColorAt(2), Blue);
    EXPECT_THROW(full.RemoveColor(-1), GIFException);
    EXPECT_THROW(full.RemoveColor(3), GIFException);
    full.RemoveColor(0);
    EXPECT_EQ(full.ColorAt(0), Green);
    EXPECT_EQ(full.ColorCount, 2);

    full.ClearColors();
    try {
        full.ColorAt(0);
        FAIL();
    } catch (GIFException& e) {
        EXPECT_STREQ(e.what(), "Color table is empty");
    }
    EXPECT_EQ(BitsForColors(0), 0);
    EXPECT_EQ(BitsForColors(1), 1);
    EXPECT_EQ(BitsForColors(2), 1);
    EXPECT_EQ(BitsForColors(3), 2);
    EXPECT_EQ(BitsForColors(256), 8);
}

TEST(GIFColorMap, PaletteRoundTripKeepsColoursAndFlags) {
    TGIFImage img;
    TGIFColorMap& m = img.ScreenColorMap();
    m.AppendColor(Red);
    m.AppendColor(RGB(1, 2, 3));
    HPALETTE p = m.ToPalette();
    TPaletteEntry e[2];
    ASSERT_EQ(GetPaletteEntries(p, 0, 2, e), 2u);
    EXPECT_EQ(e[1].peRed, 1);
    EXPECT_EQ(e[1].peBlue, 3);
    EXPECT_EQ(e[0].peFlags, PC_NOCOLLAPSE);
    TGIFGlobalColorMap copy(&img.ScreenHeader);
    copy.FromPalette(p);
    EXPECT_EQ(MapBytes(copy), MapBytes(m));
    DeleteObject(p);
    EXPECT_EQ(TGIFGlobalColorMap(&img.ScreenHeader).ToPalette(), 0u);
}

TEST(GIFColorMap, SortByUseOnAnOrderedMapOnlySetsSorted) {
    TGIFImage img;
    TGIFColorMap& m = img.ScreenColorMap();
    for (TColor c : {Red, Green, Blue}) m.AppendColor(c);
    AddFrame(img, 3, 2, {0, 0, 0, 1, 1, 2});
    const auto before = MapBytes(m);
    EXPECT_TRUE(m.SortByUse());
    EXPECT_TRUE(m.Sorted);
    EXPECT_EQ(m.ColorCount, 3);
    EXPECT_EQ(MapBytes(m), before);
    EXPECT_EQ(img.Frames.Frame(0)->IndexData, (std::vector<uint8_t>{0, 0, 0, 1, 1, 2}));
}

TEST(GIFColorMap, SortByUseDropsUnusedEntriesAndFramesShowTheSameColours) {
    TGIFImage img;
    TGIFColorMap& g = img.ScreenColorMap();
    for (TColor c : {Red, Green, Blue, White}) g.AppendColor(c);
    TGIFSubImage* a = AddFrame(img, 3, 2, {3, 3, 3, 1, 1, 0});
    TGIFSubImage* b = AddFrame(img, 2, 2, {1, 3, 3, 3});
    // A frame with colours of its own is not counted nor remapped by the global map.
    TGIFSubImage* own = AddFrame(img, 2, 1, {0, 1});
    own->LocalMap.AppendColor(Blue);
    own->LocalMap.AppendColor(Red);
    const auto shownA = Shown(*a), shownB = Shown(*b), shownOwn = Shown(*own);
    EXPECT_EQ(shownA[0], static_cast<uint32_t>(White));

    ASSERT_TRUE(g.SortByUse());
    EXPECT_EQ(g.ColorCount, 3);  // blue was never used
    EXPECT_EQ(g.ColorAt(0), White);
    EXPECT_EQ(g.ColorAt(1), Green);
    EXPECT_EQ(g.ColorAt(2), Red);
    EXPECT_EQ(a->IndexData, (std::vector<uint8_t>{0, 0, 0, 1, 1, 2}));
    EXPECT_EQ(own->IndexData, (std::vector<uint8_t>{0, 1}));
    EXPECT_EQ(Shown(*a), shownA);
    EXPECT_EQ(Shown(*b), shownB);
    EXPECT_EQ(Shown(*own), shownOwn);
}

TEST(GIFColorMap, SortByUseRemapsTheTransparentIndex) {
    TGIFImage img;
    TGIFSubImage* f = AddFrame(img, 3, 1, {1, 1, 0});
    f->LocalMap.AppendColor(Red);
    f->LocalMap.AppendColor(Green);
    auto* gce = new TGIFGraphicControlExtension(f);
    f->ExtensionItems.AppendEntry(gce);
    gce->SetTransparentFlag(true);
    gce->SetTransparentIndex(0);
    f->LocalMap.Compact();
    EXPECT_EQ(f->IndexData, (std::vector<uint8_t>{0, 0, 1}));
    EXPECT_EQ(gce->TransparentIndex(), 1);
    EXPECT_EQ(f->LocalMap.ColorAt(1), Red);
}

TEST(GIFImageGeometry, WidthHeightAndPlacement) {
    TGIFImage img;
    Warnings w;
    w.Bind(img);
    int changes = 0;
    img.OnChange = [&](TObject*) { ++changes; };
    img.ScreenColorMap().AppendColor(Red);
    TGIFSubImage* f = AddFrame(img, 4, 3, {}, 2, 1);
    EXPECT_TRUE(w.List.empty());  // the empty screen simply grows
    EXPECT_EQ(img.Width(), 6);
    EXPECT_EQ(img.Height(), 4);
    try {
        img.SetWidth(5);
        FAIL();
    } catch (GIFException& e) {
        EXPECT_STREQ(e.what(), "Image width too small for contained frames");
    }
    try {
        img.SetHeight(3);
        FAIL();
    } catch (GIFException& e) {
        EXPECT_STREQ(e.what(), "Image height too small for contained frames");
    }
    changes = 0;
    img.SetWidth(6);
    EXPECT_EQ(changes, 0);
    img.SetWidth(8);
    EXPECT_EQ(changes, 1);

    f->PlaceFrame(5, 2, 4, 3);
    EXPECT_EQ(w.List, (std::vector<std::string>{"Image width too small for contained frames",
                                                "Image height too small for contained frames",
                                                "Image exceeds Logical Screen size"}));
    EXPECT_EQ(img.Width(), 9);
    EXPECT_EQ(img.Height(), 5);
    EXPECT_EQ(f->IndexData.size(), 12u);

    w.List.clear();
    f->SetFrameEdge(TGIFSubImage::feLeft, 0);
    EXPECT_TRUE(w.List.empty());
    EXPECT_THROW(f->PixelAt(4, 0), GIFException);
    EXPECT_THROW(f->RowAt(3), GIFException);
    f->PixelAt(3, 2) = 7;
    EXPECT_EQ(f->IndexData[11], 7);
    // Sizes beyond what the codec holds are refused before anything is allocated.
    EXPECT_THROW(f->PlaceFrame(0, 0, 70000, 1), EInvalidGraphic);
    EXPECT_THROW(f->PlaceFrame(0, 0, 65535, 65535), EInvalidGraphic);
    TGIFSubImage blank(&img);
    EXPECT_THROW(blank.RequireData(), GIFException);
}

TEST(GIFImageGeometry, TransparentIndexBeyondTheMapWarnsAndStoresZero) {
    TGIFImage img;
    Warnings w;
    w.Bind(img);
    TGIFSubImage* f = AddFrame(img, 2, 2, {});
    for (int i = 0; i < 16; ++i) f->LocalMap.AppendColor(RGB(i, i, i));
    auto* gce = new TGIFGraphicControlExtension(f);
    f->ExtensionItems.AppendEntry(gce);
    EXPECT_EQ(f->ControlBlock, gce);
    gce->SetTransparentIndex(200);
    EXPECT_EQ(gce->TransparentIndex(), 0);
    EXPECT_EQ(w.List, std::vector<std::string>{"Invalid color index"});
    gce->SetTransparentIndex(15);
    EXPECT_EQ(gce->TransparentIndex(), 15);
    gce->SetTransparentFlag(true);
    EXPECT_TRUE(f->HasTransparency);
    f->ExtensionItems.RemoveAt(0);
    EXPECT_FALSE(f->HasTransparency);
    EXPECT_EQ(f->ControlBlock, nullptr);
}

TEST(GIFImageFields, ScreenAndFramePackedBytes) {
    struct Case {
        int Global;
        bool GlobalSorted;
        int Local;
        bool LocalSorted;
        uint8_t FramePackedBefore;
        uint8_t Screen;
        uint8_t Frame;
    };
    const Case cases[] = {
        {256, false, 0, false, 0x00, 0xF7, 0x00},  // 8 bits: resolution 7, size 7
        {256, true, 0, false, 0x47, 0xFF, 0x40},   // sorted bit; the interlace bit stays
        {2, false, 0, false, 0x5F, 0x80, 0x58},    // 1 bit; reserved bits kept
        {4, false, 16, true, 0x40, 0xB3, 0xA3},    // local 4 bits, sorted: the interlace bit goes
        {0, false, 8, false, 0x00, 0x22, 0x82},    // no global map
    };
    for (const Case& c : cases) {
        TGIFImage img;
        for (int i = 0; i < c.Global; ++i) img.ScreenColorMap().AppendColor(RGB(i, 0, 0));
        img.ScreenColorMap().Sorted = c.GlobalSorted;
        TGIFSubImage* f = AddFrame(img, 1, 1, {});
        for (int i = 0; i < c.Local; ++i) f->LocalMap.AppendColor(RGB(0, i, 0));
        f->LocalMap.Sorted = c.LocalSorted;
        f->Packed = c.FramePackedBefore;
        img.ScreenHeader.RebuildScreenFields();
        f->RebuildFrameFields();
        EXPECT_EQ(img.ScreenHeader.Packed, c.Screen) << c.Global << "/" << c.Local;
        EXPECT_EQ(f->Packed, c.Frame) << c.Global << "/" << c.Local;
    }
}

TEST(GIFImageAssign, CopiesFramesAndPaintOptionsButNotSpeedOrCompression) {
    TGIFImage src;
    src.ScreenColorMap().AppendColor(Red);
    src.ScreenColorMap().AppendColor(Green);
    TGIFSubImage* f = AddFrame(src, 2, 1, {1, 0});
    auto* gce = new TGIFGraphicControlExtension(f);
    f->ExtensionItems.AppendEntry(gce);
    gce->SetDelayTicks(7);
    auto* c = new TGIFCommentExtension(f);
    c->CommentLines = {"hello"};
    f->ExtensionItems.AppendEntry(c);
    src.PaintOptions = paTile | paDirect;
    src.SpeedPercent = 50;
    src.CompressionKind = ckRunLength;
    src.DitherKind = dkBurkes;

    TGIFImage copy;
    int ownWarnings = 0;
    copy.OnWarning = [&](TObject*, int, const std::string&) { ++ownWarnings; };
    copy.Assign(src);
    EXPECT_EQ(copy.PaintOptions, paTile | paDirect);
    EXPECT_EQ(copy.DitherKind, dkBurkes);
    EXPECT_EQ(copy.SpeedPercent, 100);
    EXPECT_EQ(copy.CompressionKind, ckLZW);
    EXPECT_TRUE(copy.OnWarning);  // the copy keeps its own handler
    ASSERT_EQ(copy.Frames.EntryCount(), 1);
    TGIFSubImage* cf = copy.Frames.Frame(0);
    EXPECT_EQ(cf->IndexData, f->IndexData);
    EXPECT_EQ(copy.Width(), 2);
    ASSERT_EQ(cf->ExtensionItems.EntryCount(), 2);
    ASSERT_NE(cf->ControlBlock, nullptr);
    EXPECT_EQ(cf->ControlBlock->DelayTicks(), 7);
    EXPECT_EQ(static_cast<TGIFCommentExtension*>(cf->ExtensionItems.Extension(1))->CommentLines[0], "hello");
    EXPECT_EQ(cf->ExtensionItems.Extension(1)->HostFrame, cf);
}

TEST(GIFImageAssign, AppendFrameRefusesWhatIsNoGraphic) {
    TGIFImage img;
    TLabel label(nullptr);
    try {
        img.AppendFrame(&label);
        FAIL();
    } catch (GIFException& e) {
        EXPECT_STREQ(e.what(), "Object type not supported for operation");
    }
    EXPECT_TRUE(img.Empty());
    TGIFSubImage f(&img);
    EXPECT_THROW(f.AssignFrom(&label), EConvertError);
}

namespace {
TBitmap* Make(TBitmap& B, TPixelFormat F, int W, int H, const std::vector<TColor>& Table = {}) {
    B.SetPixelFormat(F);
    B.SetSize(W, H);
    if (!Table.empty()) B.SetColorTable(Table);
    return &B;
}
}  // namespace

TEST(GIFConversion, OneBitRowsHoldEightPixelsABytePixelEightInTheSecondByte) {
    TBitmap b;
    Make(b, pf1bit, 9, 2, {clBlack, clWhite});
    b.ScanLine(0)[0] = 0xA0;
    b.ScanLine(0)[1] = 0x80;
    b.ScanLine(1)[0] = 0x01;
    b.ScanLine(1)[1] = 0x00;
    TGIFImage img;
    img.Assign(b);
    TGIFSubImage* f = img.Frames.Frame(0);
    EXPECT_EQ(f->Width, 9);
    EXPECT_EQ(img.Width(), 9);
    EXPECT_EQ(f->IndexData, (std::vector<uint8_t>{1, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 1, 0}));
    EXPECT_EQ(f->LocalMap.ColorCount, 2);
    EXPECT_EQ(f->LocalMap.ColorAt(1), White);
}

TEST(GIFConversion, FourAndEightBitBitmapsKeepIndicesAndPalette) {
    std::vector<TColor> table;
    for (int i = 0; i < 16; ++i) table.push_back(RGB(i * 16, 255 - i, i));
    for (TPixelFormat fmt : {pf4bit, pf8bit}) {
        TBitmap b;
        Make(b, fmt, 5, 1, table);
        uint8_t* row = b.ScanLine(0);
        const std::vector<uint8_t> want{15, 0, 7, 3, 12};
        if (fmt == pf4bit) {
            row[0] = 0xF0;
            row[1] = 0x73;
            row[2] = 0xC0;
        } else {
            std::memcpy(row, want.data(), 5);
        }
        TGIFImage img;
        img.Assign(b);
        TGIFSubImage* f = img.Frames.Frame(0);
        EXPECT_EQ(f->IndexData, want) << fmt;
        ASSERT_GE(f->LocalMap.ColorCount, 16);
        for (int i = 0; i < 16; ++i) EXPECT_EQ(f->LocalMap.ColorAt(i), table[i]) << fmt << " " << i;
        EXPECT_EQ(b.PixelFormat(), fmt);  // the source is left as it was
    }
}

TEST(GIFConversion, TrueColourBitmapsConvertExactlyUpTo256Colours) {
    TBitmap b;
    Make(b, pf24bit, 16, 16);
    for (int y = 0; y < 16; ++y) {
        uint8_t* row = b.ScanLine(y);
        for (int x = 0; x < 16; ++x) {
            row[x * 3] = static_cast<uint8_t>(y * 16 + x);   // blue
            row[x * 3 + 1] = 7;                              // green
            row[x * 3 + 2] = static_cast<uint8_t>(255 - x);  // red
        }
    }
    TGIFImage img;
    img.ReductionMethod = rdNone;
    img.Assign(b);
    TGIFSubImage* f = img.Frames.Frame(0);
    ASSERT_EQ(f->LocalMap.ColorCount, 256);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            EXPECT_EQ(f->LocalMap.ColorAt(f->IndexData[y * 16 + x]), RGB(255 - x, 7, y * 16 + x));
    EXPECT_EQ(b.PixelFormat(), pf24bit);

    TBitmap more;
    Make(more, pf24bit, 257, 1);
    for (int x = 0; x < 257; ++x)
        more.ScanLine(0)[x * 3] = static_cast<uint8_t>(x), more.ScanLine(0)[x * 3 + 1] = x > 255;
    TGIFImage over;
    over.ReductionMethod = rdNone;
    try {
        over.Assign(more);
        FAIL();
    } catch (GIFException& e) {
        EXPECT_STREQ(e.what(), "Color table overflow");
    }
    EXPECT_TRUE(over.Empty());
}

TEST(GIFConversion, TransparentBitmapGetsAControlExtensionWithTheAppendedBlack) {
    TBitmap b;
    Make(b, pf24bit, 3, 1);
    b.Canvas().SetPixel(0, 0, Red);
    b.Canvas().SetPixel(1, 0, Green);
    b.Canvas().SetPixel(2, 0, Red);
    b.SetTransparent(true);  // the bottom-left colour: red
    TGIFImage img;
    img.ReductionMethod = rdNone;
    img.Assign(b);
    TGIFSubImage* f = img.Frames.Frame(0);
    ASSERT_EQ(f->LocalMap.ColorCount, 3);
    EXPECT_EQ(f->LocalMap.ColorAt(2), clBlack);
    EXPECT_EQ(f->IndexData, (std::vector<uint8_t>{2, 1, 2}));
    ASSERT_NE(f->ControlBlock, nullptr);
    EXPECT_TRUE(f->ControlBlock->TransparentFlag());
    EXPECT_EQ(f->ControlBlock->TransparentIndex(), 2);
    EXPECT_TRUE(f->HasTransparency);
    EXPECT_TRUE(f->EnsureMask());

    // Every one of 256 entries in use: no room for a transparent colour.
    std::vector<TColor> table;
    for (int i = 0; i < 256; ++i) table.push_back(RGB(i, 255 - i, i / 2));
    TBitmap full;
    Make(full, pf8bit, 16, 16, table);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) full.ScanLine(y)[x] = static_cast<uint8_t>(y * 16 + x);
    full.SetTransparent(true);
    TGIFImage img2;
    img2.Assign(full);
    TGIFSubImage* f2 = img2.Frames.Frame(0);
    EXPECT_EQ(f2->LocalMap.ColorCount, 256);
    EXPECT_EQ(f2->ExtensionItems.EntryCount(), 0);
    EXPECT_FALSE(f2->HasTransparency);
}

TEST(GIFConversion, RenderedFrameShowsTheBitmapsColours) {
    TBitmap b;
    Make(b, pf24bit, 2, 2);
    b.Canvas().SetPixel(0, 0, Red);
    b.Canvas().SetPixel(1, 0, Green);
    b.Canvas().SetPixel(0, 1, Blue);
    b.Canvas().SetPixel(1, 1, White);
    TGIFImage img;
    img.ReductionMethod = rdNone;
    img.Assign(b);
    EXPECT_EQ(Shown(*img.Frames.Frame(0)),
              (std::vector<uint32_t>{static_cast<uint32_t>(Red), static_cast<uint32_t>(Green),
                                     static_cast<uint32_t>(Blue), static_cast<uint32_t>(White)}));
    TBitmap* comp = img.GetComposite();
    ASSERT_NE(comp, nullptr);
    EXPECT_EQ(static_cast<uint32_t>(comp->Canvas().Pixel(1, 1)) & 0xFFFFFF, static_cast<uint32_t>(White));
}

TEST(GIFDIBWriter, StrideHeaderAndErrors) {
    TBitmap target;
    {
        TDIBWriter w8(target, 0, 3, 3, pf8bit);
        EXPECT_EQ(w8.Stride(), 4);
        TDIBWriter w24(target, 0, 3, 3, pf24bit);
        EXPECT_EQ(w24.Stride(), 12);
    }
    std::vector<TPaletteEntry> e{{255, 0, 0, 0}, {0, 128, 0, 0}};
    HPALETTE pal = CreatePalette(0x300, e);
    TMemoryStream s;
    {
        TDIBWriter w(target, pal, 2, 3, pf8bit);
        w.RowPointer(0)[0] = 1;
        w.RowPointer(1)[2] = 1;
        w.CommitToStream(s);
    }
    const auto* p = reinterpret_cast<const uint8_t*>(s.Memory());
    const uint8_t header[54] = {
        'B',  'M',  0x3E, 0x04, 0, 0,                    // file size 14 + 1064 + 8
        0,    0,    0,    0,                             // reserved
        0x36, 0x04, 0,    0,                             // pixels at 1078
        40,   0,    0,    0,    3, 0, 0, 0, 2, 0, 0, 0,  // header size, width, height
        1,    0,    8,    0,                             // planes, bits
        0,    0,    0,    0,    0, 0, 0, 0,              // compression, image size
        0,    0,    0,    0,    0, 0, 0, 0,              // resolution
        0,    1,    0,    0,    2, 0, 0, 0,              // colours used 256, important 2
    };
    ASSERT_EQ(s.Size(), 1086);
    EXPECT_EQ(std::memcmp(p, header, 54), 0);
    const uint8_t table[12] = {0, 0, 255, 0, 0, 128, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(p + 54, table, 12), 0);
    EXPECT_TRUE(std::all_of(p + 62, p + 1078, [](uint8_t c) { return c == 0; }));  // unused entries
    EXPECT_EQ(p[1078 + 4], 1);                                                     // row 0 is stored last
    EXPECT_EQ(p[1078 + 2], 1);
    {
        TDIBWriter w(target, pal, 2, 3, pf8bit);
        w.RowPointer(0)[1] = 1;
    }
    EXPECT_EQ(target.Width(), 3);
    EXPECT_EQ(static_cast<uint32_t>(target.Canvas().Pixel(1, 0)) & 0xFFFFFF,
              static_cast<uint32_t>(RGB(0, 128, 0)));
    EXPECT_EQ(static_cast<uint32_t>(target.Canvas().Pixel(0, 0)) & 0xFFFFFF,
              static_cast<uint32_t>(RGB(255, 0, 0)));
    DeleteObject(pal);

    auto message = [&](auto&& f) {
        try {
            f();
        } catch (Exception& e) {
            return e.Message;
        }
        return std::string();
    };
    EXPECT_EQ(message([&] { TDIBWriter w(target, 0, 3, 3, pf16bit); }), "Unsupported PixelFormat");
    EXPECT_EQ(message([&] { TDIBWriter w(target, 0, 3, 0, pf8bit); }), "Invalid image dimensions");
    EXPECT_EQ(message([&] { TDIBWriter w(target, 0, 0, 3, pf24bit); }), "Invalid image dimensions");
    TDIBWriter w(target, 0, 3, 3, pf24bit);
    EXPECT_THROW(w.RowPointer(3), EInvalidGraphicOperation);
    EXPECT_EQ(message([&] { w.RowPointer(3); }), "Scan line index out of range");
    EXPECT_EQ(message([&] { w.RowPointer(-1); }), "Scan line index out of range");
}

TEST(GIFRendering, DitheredFramesUseTheColourCube) {
    TGIFImage img;
    img.PaintOptions = paDither;  // without paAutoDither: dithered whatever the screen
    img.ScreenColorMap().AppendColor(Red);
    img.ScreenColorMap().AppendColor(RGB(100, 100, 100));
    TGIFSubImage* f = AddFrame(img, 4, 2, {0, 0, 1, 1, 0, 1, 0, 1});
    const auto shown = Shown(*f);
    EXPECT_EQ(shown[0], static_cast<uint32_t>(Red));  // exact cube colours stay
    EXPECT_EQ(shown[1], static_cast<uint32_t>(Red));
    for (uint32_t c : shown)
        for (int shift : {0, 8, 16}) EXPECT_EQ(((c >> shift) & 0xFF) % 51, 0u);
    // Grey 127 lies between the cube's 102 and 153: diffusion mixes the two.
    TGIFImage grey;
    grey.PaintOptions = paDither;
    grey.ScreenColorMap().AppendColor(RGB(127, 127, 127));
    TGIFSubImage* gf = AddFrame(grey, 8, 8, {});
    const auto mixed = Shown(*gf);
    std::set<uint32_t> kinds(mixed.begin(), mixed.end());
    EXPECT_EQ(kinds, (std::set<uint32_t>{RGB(102, 102, 102), RGB(153, 153, 153)}));

    TGIFImage empty;
    empty.PaintOptions = paDither;
    TGIFSubImage* g = AddFrame(empty, 1, 1, {0});
    EXPECT_THROW(g->RenderedBitmap(), GIFException);
}
