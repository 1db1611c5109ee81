// Decoding against independent references (ImageMagick and giflib-tools make the files, Qt's reader
// reads them too), the reader's tolerance and limits, hand-built LZW streams, and rendering.
#include <gtest/gtest.h>

#include "codecs/gif/GIFImage.h"
#include "codecs/gif/testsupport/GIFTestSupport.h"
#include "framework/core/Stream.h"

using namespace codecs;
using namespace codecs::giftest;
using namespace framework;

namespace {

// Distinct colours: 2 (a checker), 16 or 256, laid out so that neighbours differ.
Picture Pattern(int W, int H, int Colors, int Seed = 0) {
    Picture p{W, H, {}};
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const int i = (x * 7 + y * 3 + Seed) % Colors;
            const uint32_t c =
                Colors == 2 ? (i ? 0xFFFFFFu : 0)
                            : (uint32_t(i) << 16) | (uint32_t(255 - i) << 8) | uint32_t((i * 37) & 255);
            p.Px.push_back(c);
        }
    return p;
}

struct Fixture {
    std::string Name;
    std::vector<Picture> Frames;  // what each frame must show
};

// Every frame of the file equals its pattern, and Qt's reader shows the same colours.
void ExpectFrames(const TempDir& Dir, const Fixture& F) {
    SCOPED_TRACE(F.Name);
    Loaded l(ReadFile(Dir / F.Name));
    EXPECT_TRUE(l.Warnings.empty());
    ASSERT_EQ(l.Image.Frames.EntryCount(), static_cast<int>(F.Frames.size()));
    const std::vector<Picture> qt = QtFrames(Dir / F.Name);
    ASSERT_EQ(qt.size(), F.Frames.size());
    for (size_t i = 0; i < F.Frames.size(); ++i) {
        TGIFSubImage* frame = l.Image.Frames.Frame(static_cast<int>(i));
        const Picture ours = FrameColors(*frame);
        EXPECT_EQ(ours, F.Frames[i]) << "frame " << i;
        // Qt shows the whole screen; frames here cover it. A transparent pixel of the first frame
        // is transparent there too; later ones show what lies below.
        ASSERT_EQ(qt[i].W, ours.W);
        ASSERT_EQ(qt[i].H, ours.H);
        for (size_t k = 0; k < ours.Px.size(); ++k)
            if (ours.Px[k] != Clear || i == 0) {
                ASSERT_EQ(qt[i].Px[k], ours.Px[k]) << "frame " << i << " pixel " << k;
            }
    }
}

}  // namespace

TEST(GIFReferences, FramesMadeByTheImageToolsDecodeToTheirPatterns) {
    if (!ToolAvailable("convert")) GTEST_SKIP() << "ImageMagick is not installed";
    TempDir dir;
    std::vector<Fixture> set;
    auto make = [&](const std::string& Name, const std::vector<Picture>& Frames, const std::string& Options) {
        std::string inputs;
        for (size_t i = 0; i < Frames.size(); ++i) {
            const std::string ppm = Name + std::to_string(i) + ".ppm";
            WritePPM(dir / ppm, Frames[i]);
            inputs += " " + ppm;
        }
        ASSERT_EQ(Shell("convert " + inputs + " +dither " + Options + " " + Name, dir), 0) << Name;
        set.push_back({Name, Frames});
    };
    make("two.gif", {Pattern(13, 7, 2)}, "");
    make("sixteen.gif", {Pattern(9, 11, 16)}, "");
    make("full.gif", {Pattern(32, 16, 256)}, "");
    make("interlaced.gif", {Pattern(10, 13, 16)}, "-interlace GIF");
    make("one-row.gif", {Pattern(17, 1, 16)}, "-interlace GIF");
    // Transparent: one of the sixteen colours becomes the transparent one.
    Picture t = Pattern(9, 6, 16);
    const uint32_t hidden = t.Px[4];
    char colour[32];
    std::snprintf(colour, sizeof colour, "'rgb(%u,%u,%u)'", hidden >> 16, (hidden >> 8) & 255, hidden & 255);
    WritePPM(dir / "t.ppm", t);
    ASSERT_EQ(Shell(std::string("convert t.ppm +dither -transparent ") + colour + " transparent.gif", dir),
              0);
    for (uint32_t& c : t.Px)
        if (c == hidden) c = Clear;
    set.push_back({"transparent.gif", {t}});
    const std::vector<Picture> frames = {Pattern(8, 5, 16, 0), Pattern(8, 5, 16, 5), Pattern(8, 5, 16, 9)};
    for (int i = 0; i < 3; ++i) WritePPM(dir / ("a" + std::to_string(i) + ".ppm"), frames[i]);
    ASSERT_EQ(Shell("convert -delay 7 -loop 2 -dispose None a0.ppm -dispose Background a1.ppm -dispose "
                    "Previous a2.ppm "
                    "+dither animated.gif",
                    dir),
              0);
    set.push_back({"animated.gif", frames});

    for (const Fixture& f : set) ExpectFrames(dir, f);

    // The animation's timing and disposal as the tool wrote them.
    Loaded a(ReadFile(dir / "animated.gif"));
    const uint8_t disposal[3] = {1, 2, 3};
    bool loop = false;
    for (int i = 0; i < 3; ++i) {
        TGIFSubImage* f = a.Image.Frames.Frame(i);
        ASSERT_NE(f->ControlBlock, nullptr);
        EXPECT_EQ(f->ControlBlock->DelayTicks(), 7);
        EXPECT_EQ(f->ControlBlock->DisposalCode(), disposal[i]);
        for (int e = 0; e < f->ExtensionItems.EntryCount(); ++e)
            loop = loop || dynamic_cast<TGIFAppExtNSLoop*>(f->ExtensionItems.Extension(e)) != nullptr;
    }
    EXPECT_TRUE(loop);
    EXPECT_TRUE(a.Image.Frames.Frame(1)->IsInterlaced() == false);
    Loaded i(ReadFile(dir / "interlaced.gif"));
    EXPECT_TRUE(i.Image.Frames.Frame(0)->IsInterlaced());
}

TEST(GIFReferences, FramesBuiltFromATextDescriptionDecodeToIt) {
    if (!ToolAvailable("gifbuild")) GTEST_SKIP() << "giflib-tools is not installed";
    TempDir dir;
    // Two frames: interlaced with the global map; then one with a local map, a transparent index
    // and a smaller rectangle.
    WriteFile(dir / "frames.txt", R"(screen width 6
screen height 5
screen colors 4
screen background 0
screen map
	rgb 000 000 000 is a
	rgb 255 000 000 is b
	rgb 000 255 000 is c
	rgb 000 000 255 is d
end
image
image left 0
image top 0
image interlaced
image bits 6 by 5
abcdab
bcdabc
cdabcd
dabcda
abcdab
graphics control
	disposal mode 1
	delay 4
	transparent index 1
end
image
image left 1
image top 2
image map
	rgb 010 020 030 is p
	rgb 040 050 060 is q
end
image bits 3 by 2
pqp
qqp
)");
    ASSERT_EQ(Shell("gifbuild frames.txt > built.gif", dir), 0);
    Loaded l(ReadFile(dir / "built.gif"));
    EXPECT_TRUE(l.Warnings.empty());
    ASSERT_EQ(l.Image.Frames.EntryCount(), 2);
    const uint32_t k = 0, r = 0xFF0000, g = 0x00FF00, b = 0x0000FF;
    const uint32_t row[4] = {k, r, g, b};
    Picture first{6, 5, {}};
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 6; ++x) first.Px.push_back(row[(x + y) % 4]);
    TGIFSubImage* f0 = l.Image.Frames.Frame(0);
    EXPECT_TRUE(f0->IsInterlaced());
    EXPECT_EQ(FrameColors(*f0, false), first);
    TGIFSubImage* f1 = l.Image.Frames.Frame(1);
    EXPECT_EQ(f1->FrameRect(), (TRect{1, 2, 4, 4}));
    const uint32_t p = 0x0A141E, q = 0x28323C;
    EXPECT_EQ(FrameColors(*f1, false), (Picture{3, 2, {p, q, p, q, q, p}}));
    // The control extension written after the first image belongs to the second frame.
    TGIFGraphicControlExtension* c = f0->ControlBlock ? f0->ControlBlock : f1->ControlBlock;
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->DelayTicks(), 4);
    EXPECT_EQ(c->TransparentIndex(), 1);

    // Qt composes the second frame over the first.
    const std::vector<Picture> qt = QtFrames(dir / "built.gif");
    ASSERT_EQ(qt.size(), 2u);
    for (size_t i = 0; i < first.Px.size(); ++i)
        if (first.Px[i] != r || !f0->HasTransparency) {
            EXPECT_EQ(qt[0].Px[i], first.Px[i]) << i;
        }
    EXPECT_EQ(qt[1].At(1, 2), p);
    EXPECT_EQ(qt[1].At(3, 3), p);
    EXPECT_EQ(qt[1].At(2, 3), f1->HasTransparency ? qt[0].At(2, 3) : q);
}

// ---- Hand-built streams ----

namespace {

// Codes of the given widths packed from the lowest bit, in data sub-blocks with the terminator.
std::vector<uint8_t> Pack(const std::vector<std::pair<int, int>>& Codes) {
    std::vector<uint8_t> bytes;
    uint64_t bucket = 0;
    int held = 0;
    for (auto [code, width] : Codes) {
        bucket |= uint64_t(code) << held;
        held += width;
        while (held >= 8) {
            bytes.push_back(static_cast<uint8_t>(bucket));
            bucket >>= 8;
            held -= 8;
        }
    }
    if (held) bytes.push_back(static_cast<uint8_t>(bucket));
    std::vector<uint8_t> blocks;
    for (size_t at = 0; at < bytes.size(); at += 255) {
        const size_t n = std::min<size_t>(255, bytes.size() - at);
        blocks.push_back(static_cast<uint8_t>(n));
        blocks.insert(blocks.end(), bytes.begin() + at, bytes.begin() + at + n);
    }
    blocks.push_back(0);
    return blocks;
}

// A GIF89a of one W×H frame with a global map of 2 << Bits colours (greys), minimum code size
// Min, the given data sub-blocks and Extra bytes (extensions) in front of the frame.
std::vector<uint8_t> OneFrame(int W, int H, int Min, const std::vector<uint8_t>& Data,
                              bool Interlaced = false, const std::vector<uint8_t>& Extra = {}, int Bits = 3) {
    std::vector<uint8_t> v = {'G',
                              'I',
                              'F',
                              '8',
                              '9',
                              'a',
                              uint8_t(W),
                              uint8_t(W >> 8),
                              uint8_t(H),
                              uint8_t(H >> 8),
                              uint8_t(0x80 | (Bits - 1)),
                              0,
                              0};
    for (int i = 0; i < (1 << Bits); ++i)
        v.insert(v.end(), {uint8_t(i * 16), uint8_t(i * 16), uint8_t(i * 16)});
    v.insert(v.end(), Extra.begin(), Extra.end());
    v.insert(v.end(), {0x2C, 0, 0, 0, 0, uint8_t(W), uint8_t(W >> 8), uint8_t(H), uint8_t(H >> 8),
                       uint8_t(Interlaced ? 0x40 : 0), uint8_t(Min)});
    v.insert(v.end(), Data.begin(), Data.end());
    v.push_back(0x3B);
    return v;
}

const std::vector<uint8_t> Transparent5 = {0x21, 0xF9, 4, 1, 0, 0, 5, 0};  // transparent index 5

}  // namespace

TEST(GIFLZW, AfterTheLastEntryTheWidthStaysTwelveUntilAClear) {
    // Literal 0 over and over: every code adds an entry until entry 4095; then a 12-bit code, a
    // 12-bit clear and codes of the initial width again.
    std::vector<std::pair<int, int>> codes = {{4, 3}};
    int width = 3, nextFree = 6, limit = 8;
    bool first = true;
    int pixels = 0;
    auto emit = [&](int Code) {
        codes.push_back({Code, width});
        ++pixels;
        if (first) {
            first = false;
            return;
        }
        if (nextFree <= 4095) {
            ++nextFree;
            if (nextFree >= limit && limit <= 4095) {
                limit *= 2;
                ++width;
            }
        }
    };
    while (nextFree <= 4095) emit(0);
    ASSERT_EQ(width, 12);
    emit(3);  // read at 12 bits
    codes.push_back({4, 12});
    codes.push_back({2, 3});
    codes.push_back({5, 3});
    pixels += 1;
    Loaded l(OneFrame(pixels, 1, 2, Pack(codes)));
    EXPECT_TRUE(l.Warnings.empty());
    const std::vector<uint8_t>& px = l.Image.Frames.Frame(0)->IndexData;
    ASSERT_EQ(static_cast<int>(px.size()), pixels);
    EXPECT_EQ(px[pixels - 2], 3);
    EXPECT_EQ(px[pixels - 1], 2);
    EXPECT_EQ(std::count(px.begin(), px.end() - 2, 0), pixels - 2);
}

TEST(GIFLZW, InterlacedFramesFillEveryRowOnce) {
    for (int h : {1, 2, 3, 5}) {
        // Each row written holds its own number; a clear before each code keeps the width at 4.
        std::vector<std::pair<int, int>> codes;
        const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
        for (int pass = 0; pass < 4; ++pass)
            for (int r = start[pass]; r < h; r += step[pass])
                for (int x = 0; x < 2; ++x) codes.insert(codes.end(), {{8, 4}, {r, 4}});
        codes.push_back({9, 4});
        Loaded l(OneFrame(2, h, 3, Pack(codes), true));
        EXPECT_TRUE(l.Warnings.empty()) << h;
        std::vector<uint8_t> want;
        for (int r = 0; r < h; ++r) want.insert(want.end(), {uint8_t(r), uint8_t(r)});
        EXPECT_EQ(l.Image.Frames.Frame(0)->IndexData, want) << h;
    }
}

TEST(GIFLZW, BrokenTablesAreRefused) {
    // A code beyond the next free one makes an entry its own prefix.
    EXPECT_EQ(LoadError(OneFrame(8, 1, 2, Pack({{4, 3}, {1, 3}, {7, 3}, {7, 3}, {7, 4}, {5, 4}}))),
              "Circular decoder table entry");
    // Two entries each other's prefix: the output stack would overflow.
    EXPECT_EQ(LoadError(OneFrame(8, 1, 2, Pack({{4, 3}, {7, 3}, {6, 3}, {1, 3}, {6, 4}, {5, 4}}))),
              "Invalid GIF data");
    // A minimum code size whose clear code does not fit the tables.
    EXPECT_EQ(LoadError(OneFrame(2, 1, 12, Pack({{4096, 13}}))), "Invalid GIF data");
    EXPECT_EQ(LoadError(OneFrame(2, 1, 11, Pack({{2048, 12}, {1, 12}, {2, 12}, {2049, 12}}))), "");
}

TEST(GIFTolerance, DefectsThatAreWorkedAround) {
    const std::vector<uint8_t> data = Pack({{4, 3}, {1, 3}, {2, 3}, {3, 3}, {5, 3}});
    const std::vector<uint8_t> good = OneFrame(3, 1, 2, data);
    {
        Loaded l(good);
        EXPECT_TRUE(l.Warnings.empty());
        EXPECT_EQ(l.Image.Frames.Frame(0)->IndexData, (std::vector<uint8_t>{1, 2, 3}));
    }
    // Any version; junk in front; lower case; fillers; no trailer: all without a warning.
    std::vector<uint8_t> v = good;
    std::copy_n("gif12x", 6, v.begin());
    v.insert(v.begin(), {9, 9, 9, 9});
    v.insert(v.end() - 1, {0, 0, 0});
    v.pop_back();
    {
        Loaded l(v);
        EXPECT_TRUE(l.Warnings.empty());
        EXPECT_EQ(l.Image.Frames.Frame(0)->IndexData, (std::vector<uint8_t>{1, 2, 3}));
    }
    // A data sub-block cut short: the missing pixels keep the transparent index, or 0.
    for (bool transparent : {true, false}) {
        const std::vector<uint8_t> codes = Pack({{4, 3}, {1, 3}, {2, 3}});  // 2, 2 bytes, 0
        std::vector<uint8_t> cut =
            OneFrame(40, 1, 2, codes, false, transparent ? Transparent5 : std::vector<uint8_t>{});
        cut.resize(cut.size() - 5);                       // the sub-block, its terminator and the trailer
        cut.insert(cut.end(), {40, codes[1], codes[2]});  // 40 bytes promised, 2 there
        Loaded l(cut);
        EXPECT_EQ(std::count(l.Warnings.begin(), l.Warnings.end(), "Premature end of data"), 1);
        const std::vector<uint8_t>& px = l.Image.Frames.Frame(0)->IndexData;
        EXPECT_EQ(px[0], 1);
        EXPECT_EQ(px[1], 2);
        EXPECT_EQ(px[39], transparent ? 5 : 0);
    }
    // An unknown byte between blocks, and one where the trailer should be.
    std::vector<uint8_t> junk = good;
    junk.insert(junk.end() - 1, 0x77);
    {
        Loaded l(junk);
        EXPECT_EQ(l.Warnings, (std::vector<std::string>{"Unknown GIF block type", "Invalid Image trailer"}));
        EXPECT_EQ(l.Image.Frames.EntryCount(), 1);
    }
    // An application block longer than 11 bytes is kept as unknown application data; the end of
    // the stream inside a loop extension ends that block.
    const std::vector<uint8_t> longApp = {0x21, 0xFF, 12,  'A', 'B', 'C', 'D', 'E', 'F', 'G',
                                          'H',  '1',  '2', '3', 'x', 2,   7,   8,   0};
    {
        Loaded l(OneFrame(3, 1, 2, data, false, longApp));
        ASSERT_EQ(l.Image.Frames.Frame(0)->ExtensionItems.EntryCount(), 1);
        auto* app =
            dynamic_cast<TGIFUnknownAppExtension*>(l.Image.Frames.Frame(0)->ExtensionItems.Extension(0));
        ASSERT_NE(app, nullptr);
        ASSERT_EQ(app->DataBlocks.size(), 1u);
        EXPECT_EQ(app->DataBlocks[0].Data, (std::vector<uint8_t>{7, 8}));
        EXPECT_EQ(l.Image.Frames.Frame(0)->IndexData, (std::vector<uint8_t>{1, 2, 3}));
    }
    std::vector<uint8_t> loopCut = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0, 0x21, 0xFF, 11};
    for (char c : std::string("NETSCAPE2.0")) loopCut.push_back(static_cast<uint8_t>(c));
    loopCut.insert(loopCut.end(), {3, 1, 4, 0, 5});
    {
        Loaded l(loopCut);
        ASSERT_EQ(l.Image.Frames.EntryCount(), 1);
        EXPECT_TRUE(l.Image.Frames.Frame(0)->IsBlank());
    }
}

TEST(GIFTolerance, LimitsAreCheckedBeforeAnythingIsAllocated) {
    const std::vector<uint8_t> data = Pack({{4, 3}, {1, 3}, {5, 3}});
    // A screen beyond the picture limit.
    std::vector<uint8_t> screen = OneFrame(3, 1, 2, data);
    screen[6] = screen[7] = screen[8] = screen[9] = 0xFF;
    EXPECT_EQ(LoadError(screen), "Invalid GIF data");
    // A frame beyond it on a small screen.
    EXPECT_EQ(LoadError(OneFrame(0xFFFF, 0xFFFF, 2, data)), "Invalid GIF data");
    // Loop sub-blocks too short for their kind.
    std::vector<uint8_t> loop = {0x21, 0xFF, 11};
    for (char c : std::string("ANIMEXTS1.0")) loop.push_back(static_cast<uint8_t>(c));
    std::vector<uint8_t> shortCount = loop;
    shortCount.insert(shortCount.end(), {2, 1, 0, 0});
    EXPECT_EQ(LoadError(OneFrame(3, 1, 2, data, false, shortCount)), "Invalid GIF data");
    EXPECT_EQ(LoadError(OneFrame(3, 1, 2, data, false, {0x21, 0xFA, 0})), "Unknown extension type");
    EXPECT_EQ(LoadError(OneFrame(3, 1, 2, data, false, {0x21, 0xFF, 5, 1, 2, 3, 4, 5, 0})),
              "Unsupported Application Extension block size");
}

// ---- Rendering ----

namespace {
bool MaskBit(HBITMAP Mask, int X, int Y) {
    HDC dc = CreateCompatibleDC(0);
    HGDIOBJ old = SelectObject(dc, Mask);
    const TColor c = GetPixel(dc, X, Y);
    SelectObject(dc, old);
    DeleteDC(dc);
    return (c & 0xFFFFFF) != 0;
}
}  // namespace

TEST(GIFRendering, MaskMarksExactlyTheTransparentPixels) {
    std::vector<std::pair<int, int>> codes;
    const int w = 19, h = 3;  // rows of 19 bits: the mask's 16-bit row padding is crossed
    for (int i = 0; i < w * h; ++i) codes.insert(codes.end(), {{8, 4}, {(i * 5 + i / 7) % 8, 4}});
    codes.push_back({9, 4});
    Loaded l(OneFrame(w, h, 3, Pack(codes), false, Transparent5));
    TGIFSubImage* f = l.Image.Frames.Frame(0);
    ASSERT_TRUE(f->HasTransparency);
    TBitmap* b = f->RenderedBitmap();
    ASSERT_NE(b, nullptr);
    ASSERT_NE(f->FrameMask, 0u);
    EXPECT_TRUE(f->EnsureMask());
    int transparent = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const bool t = f->IndexData[y * w + x] == 5;
            transparent += t;
            EXPECT_EQ(MaskBit(f->FrameMask, x, y), t) << x << "," << y;
            if (!t) {
                const int grey = f->IndexData[y * w + x] * 16;
                EXPECT_EQ(b->Canvas().Pixel(x, y), RGB(grey, grey, grey));
            }
        }
    EXPECT_GT(transparent, 0);
}

TEST(GIFRendering, LargeFramesRenderAndFramesWithoutColoursAreRefused) {
    TGIFImage img;
    for (int i = 0; i < 4; ++i) img.ScreenColorMap().AppendColor(RGB(i * 80, 0, 255 - i * 80));
    auto* f = new TGIFSubImage(&img);
    f->PlaceFrame(0, 0, 1000, 600);
    for (size_t i = 0; i < f->IndexData.size(); ++i)
        f->IndexData[i] = static_cast<uint8_t>((i / 1000 + i) % 4);
    img.AppendFrame(f);
    TBitmap* b = f->RenderedBitmap();
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->Width(), 1000);
    EXPECT_EQ(b->Height(), 600);
    for (auto [x, y] : {std::pair{0, 0}, {999, 0}, {500, 300}, {999, 599}}) {
        const int i = (y + y * 1000 + x) % 4;
        EXPECT_EQ(b->Canvas().Pixel(x, y), RGB(i * 80, 0, 255 - i * 80)) << x << "," << y;
    }

    TGIFImage bare;
    auto* g = new TGIFSubImage(&bare);
    g->PlaceFrame(0, 0, 2, 2);
    bare.AppendFrame(g);
    try {
        g->RenderedBitmap();
        FAIL();
    } catch (GIFException& e) {
        EXPECT_EQ(e.Message, "No global or local color table defined");
    }
}

TEST(GIFRendering, OnlyThePartOfAFrameInsideThePictureIsDrawn) {
    // Found by the fuzz target: a 1×1 screen and a frame far outside it, scaled 48 times.
    const std::vector<uint8_t> far = {0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x01, 0x00, 0x01, 0x00, 0x80,
                                      0x00, 0x00, 0x00, 0x00, 0x01, 0xff, 0xff, 0xff, 0x21, 0xf9, 0x04,
                                      0xff, 0xff, 0x00, 0x00, 0xff, 0xff, 0x2c, 0x00, 0xff, 0xff, 0xff,
                                      0x07, 0xff, 0x49, 0x21, 0x00, 0x00, 0x01, 0x00, 0xff, 0xf6};
    Loaded l(far);
    l.Image.PaintOptions = paAnimate | paDirect | paTransparent;
    TBitmap canvas;
    canvas.SetSize(48, 32);
    l.Image.Draw(canvas.Canvas(), TRect{0, 0, 48, 32});

    // A frame that runs off the right edge of a 4×1 screen: its first two pixels show, in place.
    std::vector<std::pair<int, int>> codes;
    for (int i = 0; i < 4; ++i) codes.insert(codes.end(), {{8, 4}, {i + 1, 4}});
    codes.push_back({9, 4});
    std::vector<uint8_t> v = OneFrame(4, 1, 3, Pack(codes));
    v[6] = 4;            // screen 4 wide
    v[13 + 24 + 1] = 2;  // frame left 2
    Loaded off(v);
    TBitmap b;
    b.SetPixelFormat(pf24bit);
    b.SetSize(8, 2);
    off.Image.Draw(b.Canvas(), TRect{0, 0, 8, 2});
    EXPECT_EQ(b.Canvas().Pixel(4, 0), RGB(16, 16, 16));
    EXPECT_EQ(b.Canvas().Pixel(5, 1), RGB(16, 16, 16));
    EXPECT_EQ(b.Canvas().Pixel(7, 1), RGB(32, 32, 32));
}
