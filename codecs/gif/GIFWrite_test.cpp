// Writing: round trips through independent decoders (Qt's reader, ImageMagick) and our reader for
// both compressions, the bytes of the blocks, and Tidy.
#include <gtest/gtest.h>

#include <random>

#include "codecs/gif/GIFImage.h"
#include "codecs/gif/testsupport/GIFTestSupport.h"
#include "framework/core/Stream.h"

using namespace codecs;
using namespace codecs::giftest;
using namespace framework;

namespace {

struct FrameCase {
    int Colors;  // entries of the frame's local map; 0: the global map
    int W, H;
    bool Interlaced = false;
    int Transparent = -1;
    int Delay = 0;
    int Fill = -1;  // one colour; -1: a pattern (noise when Noise)
    bool Noise = false;
};

struct ImageCase {
    std::string Name;
    int GlobalColors;
    std::vector<FrameCase> Frames;
    int Loop = -1;
};

uint32_t ColourOf(int I, int Salt) {
    return RGB(static_cast<uint8_t>(I * 37 + Salt), static_cast<uint8_t>(255 - I),
               static_cast<uint8_t>(I * 11 + 3));
}

void BuildCase(TGIFImage& Img, const ImageCase& C) {
    for (int i = 0; i < C.GlobalColors; ++i) Img.ScreenColorMap().AppendColor(ColourOf(i, 0));
    std::mt19937 rng(static_cast<uint32_t>(C.Name.size() * 977));
    for (size_t n = 0; n < C.Frames.size(); ++n) {
        const FrameCase& fc = C.Frames[n];
        auto* f = new TGIFSubImage(&Img);
        f->PlaceFrame(0, 0, fc.W, fc.H);
        for (int i = 0; i < fc.Colors; ++i) f->LocalMap.AppendColor(ColourOf(i, 101));
        const int colours = fc.Colors ? fc.Colors : C.GlobalColors;
        for (size_t i = 0; i < f->IndexData.size(); ++i) {
            int v = fc.Fill >= 0 ? fc.Fill
                    : fc.Noise   ? static_cast<int>(rng() % colours)
                                 : static_cast<int>((i * 7 + i / fc.W * 3 + n) % colours);
            f->IndexData[i] = static_cast<uint8_t>(v);
        }
        if (fc.Interlaced) f->Packed |= 0x40;
        if (n == 0 && C.Loop >= 0) {
            auto* loop = new TGIFAppExtNSLoop(f);
            loop->LoopCount = static_cast<uint16_t>(C.Loop);
            f->ExtensionItems.AppendEntry(loop);
        }
        if (fc.Transparent >= 0 || fc.Delay > 0) {
            auto* c = new TGIFGraphicControlExtension(f);
            f->ExtensionItems.AppendEntry(c);
            c->SetDelayTicks(static_cast<uint16_t>(fc.Delay));
            c->SetDisposalCode(1);
            if (fc.Transparent >= 0) {
                c->SetTransparentIndex(fc.Transparent);
                c->SetTransparentFlag(true);
            }
        }
        Img.AppendFrame(f);
    }
}

std::vector<ImageCase> Cases() {
    std::vector<ImageCase> c = {
        {"two-1x1", 2, {{0, 1, 1}}},
        {"sixteen-1xN", 16, {{0, 1, 13}}},
        {"local-256-Nx1", 0, {{256, 300, 1}}},
        {"odd", 4, {{16, 7, 5}}},
        {"interlaced-2", 16, {{0, 5, 2, true}}},
        {"interlaced-3", 16, {{0, 6, 3, true}}},
        {"interlaced-4", 16, {{0, 3, 4, true}}},
        {"transparent", 16, {{0, 9, 4, false, 3}}},
        {"animated",
         16,
         {{0, 11, 7, false, -1, 5}, {0, 11, 7, false, 2, 9, 5}, {8, 11, 7, false, -1, 20}},
         4},
        {"flat", 4, {{0, 300, 200, false, -1, 0, 2}, {0, 300, 200, false, -1, 3, 1}}},
        {"noise", 256, {{0, 97, 61, false, -1, 0, -1, true}}},
    };
    // Runs of every length up to 600 of random colours: the run-length encoder's table and clears.
    c.push_back({"runs", 64, {{0, 257, 400}}});
    return c;
}

void FillRuns(TGIFSubImage& F) {
    std::mt19937 rng(11);
    size_t i = 0;
    while (i < F.IndexData.size()) {
        const size_t run = std::min<size_t>(1 + rng() % 600, F.IndexData.size() - i);
        const uint8_t v = static_cast<uint8_t>(rng() % 64);
        std::fill_n(F.IndexData.begin() + static_cast<ptrdiff_t>(i), run, v);
        i += run;
    }
}

}  // namespace

TEST(GIFRoundTrip, IndependentDecodersReadWhatBothEncodersWrite) {
    const bool magick = ToolAvailable("convert");
    TempDir dir;
    for (TGIFCompressionKind kind : {ckLZW, ckRunLength})
        for (const ImageCase& c : Cases()) {
            const std::string name = c.Name + (kind == ckLZW ? "-lzw.gif" : "-rle.gif");
            SCOPED_TRACE(name);
            TGIFImage img;
            BuildCase(img, c);
            if (c.Name == "runs") FillRuns(*img.Frames.Frame(0));
            img.CompressionKind = kind;
            const std::vector<uint8_t> bytes = SaveBytes(img);
            WriteFile(dir / name, std::string(bytes.begin(), bytes.end()));

            // Our reader: the same frames.
            Loaded back(bytes);
            EXPECT_TRUE(back.Warnings.empty());
            ASSERT_EQ(back.Image.Frames.EntryCount(), img.Frames.EntryCount());
            std::vector<std::pair<int, int>> sizes;
            for (int i = 0; i < img.Frames.EntryCount(); ++i) {
                TGIFSubImage* a = img.Frames.Frame(i);
                TGIFSubImage* b = back.Image.Frames.Frame(i);
                EXPECT_EQ(b->IndexData, a->IndexData) << "frame " << i;
                EXPECT_EQ(FrameColors(*b), FrameColors(*a)) << "frame " << i;
                EXPECT_EQ(b->IsInterlaced(), a->IsInterlaced() && a->LocalMap.ColorCount == 0);
                sizes.push_back({a->Width, a->Height});
            }

            // Qt: each frame covers the screen, so its picture is the frame's where not transparent.
            const std::vector<Picture> qt = QtFrames(dir / name);
            ASSERT_EQ(qt.size(), sizes.size());
            for (size_t i = 0; i < qt.size(); ++i) {
                TGIFSubImage* frame = img.Frames.Frame(static_cast<int>(i));
                // Qt's reader places the rows of interlaced pictures under 5 rows high wrongly
                // (also for files giflib writes); ImageMagick checks those below.
                if (frame->IsInterlaced() && frame->Height < 5) continue;
                const Picture ours = FrameColors(*frame);
                ASSERT_EQ(qt[i].Px.size(), ours.Px.size());
                for (size_t k = 0; k < ours.Px.size(); ++k)
                    if (ours.Px[k] != Clear || i == 0) {
                        ASSERT_EQ(qt[i].Px[k], ours.Px[k]) << "frame " << i << " pixel " << k;
                    }
            }

            // ImageMagick: every frame at its own size, transparent pixels aside.
            if (!magick) continue;
            const std::vector<Picture> im = MagickFrames(dir, name, sizes);
            for (size_t i = 0; i < im.size(); ++i) {
                const Picture ours = FrameColors(*img.Frames.Frame(static_cast<int>(i)));
                ASSERT_EQ(im[i].Px.size(), ours.Px.size()) << "frame " << i;
                for (size_t k = 0; k < ours.Px.size(); ++k)
                    if (ours.Px[k] != Clear) {
                        ASSERT_EQ(im[i].Px[k], ours.Px[k]) << "frame " << i << " pixel " << k;
                    }
            }
        }
}

namespace {

// The image data of the first frame: its minimum code size and the codes, read as a decoder reads
// them; each clear code notes the next free entry and the width in force before it.
struct CodeWalk {
    int Min = 0;
    std::vector<int> Codes;
    std::vector<std::pair<int, int>> Clears;  // (next free, width) before each clear but the first
};

CodeWalk WalkCodes(const std::vector<uint8_t>& Bytes, size_t DataAt) {
    CodeWalk w;
    w.Min = Bytes[DataAt];
    std::vector<uint8_t> data;
    for (size_t at = DataAt + 1; Bytes[at] != 0; at += Bytes[at] + 1)
        data.insert(data.end(), Bytes.begin() + at + 1, Bytes.begin() + at + 1 + Bytes[at]);
    const int clear = 1 << w.Min;
    int width = w.Min + 1, nextFree = clear + 2, limit = 2 * clear;
    bool first = true;
    size_t bit = 0;
    while (bit + width <= data.size() * 8) {
        int code = 0;
        for (int i = 0; i < width; ++i, ++bit) code |= ((data[bit / 8] >> (bit % 8)) & 1) << i;
        w.Codes.push_back(code);
        if (code == clear) {
            if (w.Codes.size() > 1) w.Clears.push_back({nextFree, width});
            width = w.Min + 1;
            nextFree = clear + 2;
            limit = 2 * clear;
            first = true;
            continue;
        }
        if (code == clear + 1) break;
        if (first) {
            first = false;
            continue;
        }
        if (nextFree <= 4095) {
            ++nextFree;
            if (nextFree >= limit && limit <= 4095) {
                limit *= 2;
                ++width;
            }
        }
    }
    return w;
}

std::string Version(TGIFImage& Img) {
    const std::vector<uint8_t> b = SaveBytes(Img);
    return std::string(b.begin(), b.begin() + 6);
}

size_t Find(const std::vector<uint8_t>& Hay, const std::vector<uint8_t>& Needle) {
    auto it = std::search(Hay.begin(), Hay.end(), Needle.begin(), Needle.end());
    return it == Hay.end() ? std::string::npos : static_cast<size_t>(it - Hay.begin());
}

}  // namespace

TEST(GIFWriting, BlocksAndCodesByteForByte) {
    // A 2-colour frame still has minimum code size 2; random pixels fill the table, and after
    // entry 4094 a clear follows and the width goes back to 9 bits.
    TGIFImage img;
    for (int i = 0; i < 256; ++i) img.ScreenColorMap().AppendColor(ColourOf(i, 0));
    auto* noise = new TGIFSubImage(&img);
    noise->PlaceFrame(0, 0, 200, 100);
    std::mt19937 rng(3);
    for (uint8_t& p : noise->IndexData) p = static_cast<uint8_t>(rng());
    img.AppendFrame(noise);
    std::vector<uint8_t> bytes = SaveBytes(img);
    const size_t data = 13 + 256 * 3 + 10;
    ASSERT_EQ(bytes[data - 10], 0x2C);
    CodeWalk w = WalkCodes(bytes, data);
    EXPECT_EQ(w.Min, 8);
    ASSERT_GE(w.Clears.size(), 2u);
    for (auto [nextFree, width] : w.Clears) {
        EXPECT_EQ(nextFree, 4095);
        EXPECT_EQ(width, 12);
    }
    EXPECT_EQ(Loaded(bytes).Image.Frames.Frame(0)->IndexData, noise->IndexData);

    TGIFImage two;
    two.ScreenColorMap().AppendColor(clBlack);
    two.ScreenColorMap().AppendColor(clWhite);
    auto* f = new TGIFSubImage(&two);
    f->PlaceFrame(0, 0, 5, 1);
    two.AppendFrame(f);
    bytes = SaveBytes(two);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 6), "GIF87a");
    EXPECT_EQ(bytes[13 + 6 + 10], 2);

    // The loop extension without buffer bytes; a 300-character comment as 255 + 45.
    auto* loop = new TGIFAppExtNSLoop(f);
    loop->LoopCount = 0x0102;
    f->ExtensionItems.AppendEntry(loop);
    auto* comment = new TGIFCommentExtension(f);
    comment->CommentLines = {std::string(300, 'z')};
    f->ExtensionItems.AppendEntry(comment);
    bytes = SaveBytes(two);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 6), "GIF89a");
    std::vector<uint8_t> app = {0x21, 0xFF, 11};
    for (char c : std::string("NETSCAPE2.0")) app.push_back(static_cast<uint8_t>(c));
    app.insert(app.end(), {3, 1, 2, 1, 0});
    EXPECT_NE(Find(bytes, app), std::string::npos);
    const size_t at = Find(bytes, {0x21, 0xFE, 255});
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(bytes[at + 3 + 255], 45);
    EXPECT_EQ(bytes[at + 3 + 255 + 1 + 45], 0);

    // A sorted local map alone asks for GIF89a too.
    TGIFImage sorted;
    auto* s = new TGIFSubImage(&sorted);
    s->PlaceFrame(0, 0, 2, 1);
    s->LocalMap.AppendColor(clRed);
    s->LocalMap.AppendColor(clBlue);
    sorted.AppendFrame(s);
    EXPECT_EQ(Version(sorted), "GIF87a");
    s->LocalMap.Sorted = true;
    EXPECT_EQ(Version(sorted), "GIF89a");

    // A pixel not below the colour limit, in either encoder.
    for (TGIFCompressionKind kind : {ckLZW, ckRunLength}) {
        s->IndexData[1] = 2;
        sorted.CompressionKind = kind;
        try {
            SaveBytes(sorted);
            ADD_FAILURE();
        } catch (GIFException& e) {
            EXPECT_EQ(e.Message, "Color not in color table");
        }
    }
}

TEST(GIFWriting, ScreenSizeBitsDescribeTheGlobalTableWritten) {
    // A global map of 2 entries and a local one of 16: the global table is written with 16 entries,
    // as the size bits say, and the frame without a map of its own is encoded at that depth.
    TGIFImage img;
    img.ScreenColorMap().AppendColor(clRed);
    img.ScreenColorMap().AppendColor(clBlue);
    auto* a = new TGIFSubImage(&img);
    a->PlaceFrame(0, 0, 4, 1);
    a->IndexData = {0, 1, 1, 0};
    img.AppendFrame(a);
    auto* b = new TGIFSubImage(&img);
    b->PlaceFrame(0, 0, 4, 1);
    for (int i = 0; i < 16; ++i) b->LocalMap.AppendColor(RGB(i, i, i));
    b->IndexData = {15, 3, 0, 9};
    img.AppendFrame(b);
    const std::vector<uint8_t> bytes = SaveBytes(img);
    EXPECT_EQ(bytes[10] & 0x87, 0x83);
    EXPECT_EQ(bytes[13 + 16 * 3], 0x2C);
    EXPECT_EQ(bytes[13 + 16 * 3 + 10], 4);
    Loaded back(bytes);
    EXPECT_TRUE(back.Warnings.empty());
    EXPECT_EQ(back.Image.Frames.Frame(0)->IndexData, a->IndexData);
    EXPECT_EQ(back.Image.Frames.Frame(1)->IndexData, b->IndexData);
}

// ---- Tidy ----

namespace {

// The screen after each frame, by the format's rules for disposal 0 and 1 (frames stay).
std::vector<Picture> Composites(TGIFImage& Img) {
    Picture screen{Img.Width(), Img.Height(),
                   std::vector<uint32_t>(size_t(Img.Width()) * Img.Height(), Clear)};
    std::vector<Picture> out;
    for (int i = 0; i < Img.Frames.EntryCount(); ++i) {
        TGIFSubImage* f = Img.Frames.Frame(i);
        if (!f->IsBlank()) {
            const Picture p = FrameColors(*f);
            for (int y = 0; y < p.H; ++y)
                for (int x = 0; x < p.W; ++x)
                    if (p.At(x, y) != Clear)
                        screen.Px[size_t(y + f->Top) * screen.W + x + f->Left] = p.At(x, y);
        }
        out.push_back(screen);
    }
    return out;
}

TGIFSubImage* AddFrame(TGIFImage& Img, TRect R, std::vector<uint8_t> Pixels, int Transparent, int Delay) {
    auto* f = new TGIFSubImage(&Img);
    f->PlaceFrame(R.Left, R.Top, R.Width(), R.Height());
    f->IndexData = std::move(Pixels);
    auto* c = new TGIFGraphicControlExtension(f);
    f->ExtensionItems.AppendEntry(c);
    c->SetDelayTicks(static_cast<uint16_t>(Delay));
    c->SetDisposalCode(1);
    if (Transparent >= 0) {
        c->SetTransparentIndex(Transparent);
        c->SetTransparentFlag(true);
    }
    Img.AppendFrame(f);
    return f;
}

}  // namespace

TEST(GIFTidy, CropTrimsFramesAndDropsEmptyOnes) {
    TGIFImage img;
    for (int i = 0; i < 4; ++i) img.ScreenColorMap().AppendColor(ColourOf(i, 0));
    img.SetWidth(20);
    img.SetHeight(20);
    // 10×8 at (2,3), transparent (index 0) but for a 3×3 block at columns 3–5, rows 2–4.
    std::vector<uint8_t> px(80, 0);
    for (int y = 2; y <= 4; ++y)
        for (int x = 3; x <= 5; ++x) px[y * 10 + x] = static_cast<uint8_t>(1 + (x + y) % 3);
    AddFrame(img, TRect{2, 3, 12, 11}, px, 0, 5);
    AddFrame(img, TRect{0, 0, 4, 4}, std::vector<uint8_t>(16, 0), 0, 7);  // nothing visible
    const std::vector<Picture> before = Composites(img);
    img.Tidy(tdCrop, rdNone, dkNearest, 8);
    ASSERT_EQ(img.Frames.EntryCount(), 1);
    TGIFSubImage* f = img.Frames.Frame(0);
    EXPECT_EQ(f->FrameRect(), (TRect{5, 5, 8, 8}));
    EXPECT_EQ(f->ControlBlock->DelayTicks(), 12);
    EXPECT_EQ(Composites(img)[0], before[1]);
}

TEST(GIFTidy, MergeBlanksUnchangedPixelsAndKeepsEveryComposite) {
    TGIFImage img;
    for (int i = 0; i < 8; ++i) img.ScreenColorMap().AppendColor(ColourOf(i, 0));
    std::mt19937 rng(5);
    std::vector<uint8_t> px(12 * 9);
    for (uint8_t& p : px) p = static_cast<uint8_t>(rng() % 7);
    AddFrame(img, TRect{0, 0, 12, 9}, px, -1, 4);
    for (int n = 0; n < 3; ++n) {
        for (int k = 0; k < 10; ++k) px[rng() % px.size()] = static_cast<uint8_t>(rng() % 7);
        AddFrame(img, TRect{0, 0, 12, 9}, px, -1, 4);
    }
    // A frame with its own colours, some equal to the global ones, over part of the screen.
    auto* local = AddFrame(img, TRect{2, 1, 7, 5}, std::vector<uint8_t>(20, 1), -1, 4);
    local->LocalMap.AppendColor(ColourOf(3, 0));
    local->LocalMap.AppendColor(ColourOf(px[1 * 12 + 2], 0));
    const std::vector<Picture> before = Composites(img);
    img.Tidy(tdMerge, rdNone, dkNearest, 8);
    EXPECT_EQ(Composites(img), before);
    int blanked = 0;
    for (int i = 1; i < img.Frames.EntryCount(); ++i) {
        TGIFSubImage* f = img.Frames.Frame(i);
        ASSERT_TRUE(f->HasTransparency) << i;
        blanked += static_cast<int>(
            std::count(f->IndexData.begin(), f->IndexData.end(), f->ControlBlock->TransparentIndex()));
    }
    EXPECT_GT(blanked, 3 * 100);
    // Written and read back, the composites are still the same.
    Loaded back(SaveBytes(img));
    EXPECT_EQ(Composites(back.Image), before);
}

TEST(GIFTidy, CleanupDropsBlocksAndTheCustomPaletteNeedsIt) {
    TGIFImage img;
    for (int i = 0; i < 4; ++i) img.ScreenColorMap().AppendColor(ColourOf(i, 0));
    TGIFSubImage* f = AddFrame(img, TRect{0, 0, 2, 2}, {1, 2, 3, 1}, 0, 0);  // index 0 not used
    auto* comment = new TGIFCommentExtension(f);
    comment->CommentLines = {"x"};
    f->ExtensionItems.AppendEntry(comment);
    try {
        img.Tidy(tdReduceColors, rdCustomPalette, dkNearest, 8);
        ADD_FAILURE();
    } catch (GIFException& e) {
        EXPECT_EQ(e.Message, "Invalid reduction method");
    }
    img.Tidy(tdReduceColors | tdCleanup, rdCustomPalette, dkNearest, 8);
    EXPECT_FALSE(f->HasTransparency);
    EXPECT_EQ(f->ExtensionItems.EntryCount(), 0);
    EXPECT_EQ(Version(img), "GIF87a");
}

TEST(GIFTidy, ARestoringFrameCoveredByTheNextOpaqueOneStopsRestoring) {
    for (bool inside : {true, false}) {
        TGIFImage img;
        for (int i = 0; i < 4; ++i) img.ScreenColorMap().AppendColor(ColourOf(i, 0));
        TGIFSubImage* a = AddFrame(img, TRect{0, 0, 6, 6}, std::vector<uint8_t>(36, 1), -1, 3);
        a->ControlBlock->SetDisposalCode(2);
        const TRect r = inside ? TRect{1, 1, 4, 4} : TRect{4, 4, 8, 8};
        AddFrame(img, r, std::vector<uint8_t>(size_t(r.Width()) * r.Height(), 2), -1, 3);
        img.Tidy(tdCleanup, rdNone, dkNearest, 8);
        EXPECT_EQ(a->ControlBlock->DisposalCode(), inside ? 0 : 2) << inside;
    }
}
