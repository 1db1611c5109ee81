// Colour reduction: the lookups, the dither kinds measured by the error they leave, the octree
// palette against ImageMagick's quantizer, and the palettes with system colours.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "codecs/gif/GIFImage.h"
#include "codecs/gif/testsupport/GIFTestSupport.h"

using namespace codecs;
using namespace codecs::giftest;
using namespace framework;

namespace {

// A 24-bit bitmap of the picture.
std::unique_ptr<TBitmap> BitmapOf(const Picture& P) {
    auto b = std::make_unique<TBitmap>();
    b->SetPixelFormat(pf24bit);
    b->SetSize(P.W, P.H);
    for (int y = 0; y < P.H; ++y) {
        uint8_t* row = b->ScanLine(y);
        for (int x = 0; x < P.W; ++x) {
            const uint32_t c = P.At(x, y);
            row[x * 3] = static_cast<uint8_t>(c);
            row[x * 3 + 1] = static_cast<uint8_t>(c >> 8);
            row[x * 3 + 2] = static_cast<uint8_t>(c >> 16);
        }
    }
    return b;
}

// The colours of a reduced bitmap, through its colour table.
Picture ColoursOf(TBitmap& B) {
    Picture p{B.Width(), B.Height(), {}};
    const std::vector<TColor> table = B.ColorTable();
    for (int y = 0; y < p.H; ++y) {
        const uint8_t* row = B.ScanLine(y);
        for (int x = 0; x < p.W; ++x) {
            const TColor c = table.at(row[x]);
            p.Px.push_back((uint32_t(GetRValue(c)) << 16) | (GetGValue(c) << 8) | GetBValue(c));
        }
    }
    return p;
}

int Channel(uint32_t C, int Ch) {
    return static_cast<int>((C >> (16 - 8 * Ch)) & 255);
}

const TGIFDitherKind Diffusers[] = {dkFloydSteinberg,    dkStucki,        dkSierra,
                                    dkJarvisJudiceNinke, dkStevensonArce, dkBurkes};

// Mean absolute difference per channel between the two pictures after a 5×5 box blur of each.
double BlurredError(const Picture& A, const Picture& B) {
    double sum = 0;
    int n = 0;
    for (int y = 2; y < A.H - 2; ++y)
        for (int x = 2; x < A.W - 2; ++x)
            for (int ch = 0; ch < 3; ++ch) {
                int a = 0, b = 0;
                for (int dy = -2; dy <= 2; ++dy)
                    for (int dx = -2; dx <= 2; ++dx) {
                        a += Channel(A.At(x + dx, y + dy), ch);
                        b += Channel(B.At(x + dx, y + dy), ch);
                    }
                sum += std::abs(a - b) / 25.0;
                ++n;
            }
    return sum / n;
}

double MeanSquaredError(const Picture& A, const Picture& B) {
    double sum = 0;
    for (size_t i = 0; i < A.Px.size(); ++i)
        for (int ch = 0; ch < 3; ++ch) {
            const int d = Channel(A.Px[i], ch) - Channel(B.Px[i], ch);
            sum += d * d;
        }
    return sum / (A.Px.size() * 3.0);
}

}  // namespace

TEST(GIFLookups, CubeGreyMonochromeAndFastLookup) {
    TNetscapeColorLookup cube;
    int r, g, b;
    for (auto [value, level] : {std::pair{24, 0}, {25, 0}, {48, 1}, {255, 5}}) {
        EXPECT_EQ(cube.Nearest(value, 0, 0, r, g, b), level * 36) << value;
        EXPECT_EQ(r, level * 51);
    }
    EXPECT_EQ(cube.Nearest(0, 48, 255, r, g, b), 6 + 5);

    TGrayScaleLookup grey;
    EXPECT_EQ(grey.Nearest(200, 100, 50, r, g, b), (200 * 77 + 100 * 150 + 50 * 29) >> 8);
    EXPECT_EQ(r, b);

    TMonochromeLookup mono;
    EXPECT_EQ(mono.Nearest(127, 127, 127, r, g, b), 0);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(mono.Nearest(128, 128, 128, r, g, b), 1);
    EXPECT_EQ(g, 255);

    // The first of equally near entries; the answer is kept for the colour's 15-bit key.
    HPALETTE pal = CreatePalette(0x300, {{0, 0, 0, 0}, {16, 16, 16, 0}, {40, 40, 40, 0}, {16, 16, 16, 0}});
    TFastColorLookup fast(pal);
    EXPECT_EQ(fast.PaletteSize, 4);
    EXPECT_EQ(fast.Nearest(8, 8, 8, r, g, b), 0);
    EXPECT_EQ(fast.Cache[TFastColorLookup::Key(8, 8, 8)], 0);
    EXPECT_EQ(fast.Nearest(15, 15, 15, r, g, b), 0);  // same key: the cached answer
    EXPECT_EQ(fast.Nearest(16, 16, 16, r, g, b), 1);  // an entry's own key: the first entry
    EXPECT_EQ(fast.Nearest(30, 30, 30, r, g, b), 2);
    EXPECT_EQ(r, 40);
    DeleteObject(pal);
}

TEST(GIFDithering, EveryKindWalksSerpentineRowsInsideItsErrorRows) {
    // A lookup that notes the order of the pixels it is asked about.
    struct Recording : TColorLookup {
        std::vector<int> Seen;
        int Nearest(int R, int, int, int& CR, int& CG, int& CB) override {
            Seen.push_back(R);
            CR = CG = CB = 0;
            return 0;
        }
    };
    for (int kind = dkNearest; kind <= dkBurkes; ++kind) {
        Recording rec;
        auto d = NewDitherer(static_cast<TGIFDitherKind>(kind), 3, rec);
        ASSERT_NE(d, nullptr);
        for (int y = 0; y < 2; ++y) {
            for (int n = 0; n < 3; ++n) d->DitherPixel(d->Cursor + 10 * y, 0, 0);
            d->AdvanceRow();
        }
        // Values carry the error of black; only the first pixel of each row is exact.
        ASSERT_EQ(rec.Seen.size(), 6u);
        EXPECT_EQ(rec.Seen[0], 0) << kind;
        EXPECT_EQ(rec.Seen[3] >= 12, true) << kind;  // row 2 starts at its last column (12 and up)
    }
    // One column, one row, a single pixel: every kind stays inside its rows (the sanitizers watch).
    for (TGIFDitherKind kind :
         {dkNearest, dkFloydSteinberg, dkStucki, dkSierra, dkJarvisJudiceNinke, dkStevensonArce, dkBurkes})
        for (auto [w, h] : {std::pair{1, 40}, {40, 1}, {1, 1}}) {
            Picture p{w, h, {}};
            for (int i = 0; i < w * h; ++i) p.Px.push_back(uint32_t(i * 6) << 16 | 0x3377);
            auto reduced = ReduceBitmap(*BitmapOf(p), rdWebCube, kind, 0, 8);
            EXPECT_EQ(reduced->Width(), w);
            EXPECT_EQ(reduced->Height(), h);
            EXPECT_EQ(reduced->PixelFormat(), pf8bit);
        }
}

TEST(GIFDithering, DiffusionKeepsFlatColoursOnAverageAndGradientsSmooth) {
    // Each channel 25 levels from the nearest cube level.
    const uint32_t flat = (25u << 16) | (76u << 8) | 127u;
    Picture area{48, 48, std::vector<uint32_t>(48 * 48, flat)};
    auto nearest = ColoursOf(*ReduceBitmap(*BitmapOf(area), rdWebCube, dkNearest, 0, 8));
    EXPECT_EQ(Channel(nearest.Px[0], 0), 0);
    EXPECT_EQ(Channel(nearest.Px[0], 1), 51);
    for (TGIFDitherKind kind : Diffusers) {
        const Picture out = ColoursOf(*ReduceBitmap(*BitmapOf(area), rdWebCube, kind, 0, 8));
        for (int ch = 0; ch < 3; ++ch) {
            double sum = 0;
            for (uint32_t c : out.Px) sum += Channel(c, ch);
            EXPECT_NEAR(sum / out.Px.size(), Channel(flat, ch), 2.0) << "kind " << kind << " channel " << ch;
        }
    }

    Picture ramp{256, 64, {}};
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 256; ++x)
            ramp.Px.push_back((uint32_t(x) << 16) | (uint32_t((x + 3 * y) / 2) << 8) |
                              uint32_t(255 - x / 2 - y));
    const double plain =
        BlurredError(ColoursOf(*ReduceBitmap(*BitmapOf(ramp), rdWebCube, dkNearest, 0, 8)), ramp);
    EXPECT_GT(plain, 5.0);
    for (TGIFDitherKind kind : Diffusers) {
        const double e = BlurredError(ColoursOf(*ReduceBitmap(*BitmapOf(ramp), rdWebCube, kind, 0, 8)), ramp);
        EXPECT_LE(e, plain / 2) << "kind " << kind;
    }
}

TEST(GIFOctree, FewColoursStayExactAndSystemColoursTakeBothEnds) {
    // 37 colours, apart in their 15-bit keys (the lookup answers once per key).
    Picture few{23, 17, {}};
    for (int i = 0; i < 23 * 17; ++i) {
        const uint32_t c = static_cast<uint32_t>(i % 37);
        few.Px.push_back(((c % 31) * 8 + 3) << 16 | ((c / 31) * 100 + 20) << 8 | 200u);
    }
    auto reduced = ReduceBitmap(*BitmapOf(few), rdOctree, dkNearest, 0, 8);
    EXPECT_EQ(ColoursOf(*reduced), few);
    // Entries the picture does not fill are black.
    const std::vector<TColor> table = reduced->ColorTable();
    ASSERT_EQ(table.size(), 256u);
    EXPECT_EQ(table[255], clBlack);

    auto system = ReduceBitmap(*BitmapOf(few), rdOctreeSystem, dkNearest, 0, 8);
    HPALETTE stock = GetStockObject(DEFAULT_PALETTE);
    std::vector<TPaletteEntry> sys(20);
    ASSERT_EQ(GetPaletteEntries(stock, 0, 20, sys.data()), 20u);
    const std::vector<TColor> t = system->ColorTable();
    ASSERT_EQ(t.size(), 256u);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(t[i], RGB(sys[i].peRed, sys[i].peGreen, sys[i].peBlue)) << i;
        EXPECT_EQ(t[246 + i], RGB(sys[10 + i].peRed, sys[10 + i].peGreen, sys[10 + i].peBlue)) << i;
    }
    EXPECT_EQ(ColoursOf(*system), few);
}

TEST(GIFOctree, PhotoLikePictureComparesWithImageMagicksQuantizer) {
    if (!ToolAvailable("convert")) GTEST_SKIP() << "ImageMagick is not installed";
    Picture photo{160, 120, {}};
    std::mt19937 rng(9);
    std::normal_distribution<double> noise(0, 10);
    for (int y = 0; y < photo.H; ++y)
        for (int x = 0; x < photo.W; ++x) {
            const double cx = x - 60.0, cy = y - 50.0;
            auto c = [&](double v) { return static_cast<uint32_t>(std::clamp(v + noise(rng), 0.0, 255.0)); };
            const uint32_t r = c(120 + 100 * std::sin(x / 25.0) * std::cos(y / 40.0));
            const uint32_t g = c(80 + y + 40 * std::exp(-(cx * cx + cy * cy) / 900.0));
            const uint32_t b = c(200 - x + 30 * std::sin((x + y) / 15.0));
            photo.Px.push_back(r << 16 | g << 8 | b);
        }
    TempDir dir;
    WritePPM(dir / "photo.ppm", photo);
    ASSERT_EQ(Shell("convert photo.ppm +dither -colors 256 rgb:magick.rgb", dir), 0);
    const std::string bytes = ReadFile(dir / "magick.rgb");
    ASSERT_EQ(bytes.size(), photo.Px.size() * 3);
    Picture magick{photo.W, photo.H, {}};
    for (size_t i = 0; i < bytes.size(); i += 3)
        magick.Px.push_back(uint32_t(uint8_t(bytes[i])) << 16 | uint8_t(bytes[i + 1]) << 8 |
                            uint8_t(bytes[i + 2]));
    const Picture ours = ColoursOf(*ReduceBitmap(*BitmapOf(photo), rdOctree, dkNearest, 0, 8));
    const double theirs = MeanSquaredError(magick, photo), mine = MeanSquaredError(ours, photo);
    RecordProperty("octree_mse", std::to_string(mine));
    RecordProperty("magick_mse", std::to_string(theirs));
    EXPECT_LE(mine, 1.5 * theirs) << "octree " << mine << ", ImageMagick " << theirs;
}
