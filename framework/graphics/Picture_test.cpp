// Bit transfers, bitmaps in BMP files, JPEG pictures and the picture registry.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "framework/core/Stream.h"
#include "framework/graphics/BmpFormat.h"
#include "framework/graphics/Jpeg.h"
#include "framework/ui/Graphics.h"

namespace framework {
namespace {

namespace fs = std::filesystem;

std::unique_ptr<TBitmap> Filled(int W, int H, TColor Fill) {
    auto b = std::make_unique<TBitmap>();
    b->SetPixelFormat(pf24bit);
    b->SetSize(W, H);
    b->Canvas().Brush.Color = Fill;
    b->Canvas().FillRect(Rect(0, 0, W, H));
    return b;
}

std::vector<uint8_t> Bytes(TGraphic& G) {
    TMemoryStream s;
    G.SaveToStream(s);
    std::vector<uint8_t> v(static_cast<size_t>(s.Size()));
    s.SetPosition(0);
    s.ReadBuffer(v.data(), static_cast<int32_t>(v.size()));
    return v;
}

void Load(TGraphic& G, const std::vector<uint8_t>& Data) {
    TMemoryStream s;
    if (!Data.empty()) s.WriteBuffer(Data.data(), static_cast<int32_t>(Data.size()));
    s.SetPosition(0);
    G.LoadFromStream(s);
}

struct TempDir {
    fs::path Path;
    TempDir() {
        Path = fs::temp_directory_path() / ("korvane-pictures-" + std::to_string(getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(Path);
    }
    ~TempDir() { fs::remove_all(Path); }
    std::string operator/(const std::string& Name) const { return (Path / Name).string(); }
};

std::vector<uint8_t> ReadFile(const std::string& Path) {
    std::ifstream f(Path, std::ios::binary);
    if (!f && Path.find("/testdata/") != std::string::npos) ADD_FAILURE() << "cannot read " << Path;
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
}
void WriteFile(const std::string& Path, const std::vector<uint8_t>& Data) {
    std::ofstream f(Path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(Data.data()), static_cast<std::streamsize>(Data.size()));
}

// ---- Bit transfers ----

TEST(BitBlt, RasterOperationsCombineSourceBrushAndDestination) {
    const uint32_t S = 0x3C5AC3, D = 0x0FF0A5, P = 0x55AA33, M = 0xFFFFFF;
    struct {
        const char* Name;
        uint32_t Rop;
        uint32_t Want;
    } cases[] = {
        {"SRCCOPY", SRCCOPY, S},
        {"SRCAND", SRCAND, S & D},
        {"SRCPAINT", SRCPAINT, S | D},
        {"SRCINVERT", SRCINVERT, S ^ D},
        {"SRCERASE", SRCERASE, S & (~D & M)},
        {"NOTSRCCOPY", NOTSRCCOPY, ~S & M},
        {"NOTSRCERASE", NOTSRCERASE, ~(S | D) & M},
        {"MERGECOPY", MERGECOPY, P & S},
        {"MERGEPAINT", MERGEPAINT, (~S & M) | D},
        {"PATCOPY", PATCOPY, P},
        {"PATINVERT", PATINVERT, P ^ D},
        {"DSTINVERT", DSTINVERT, ~D & M},
        {"BLACKNESS", BLACKNESS, 0},
        {"WHITENESS", WHITENESS, M},
        {"DSna (mask)", 0x00220326, D & (~S & M)},
        {"DSPDxax", 0x00E20746, ((P ^ D) & S) ^ D},
    };
    auto src = Filled(4, 4, static_cast<TColor>(S));
    for (auto& k : cases) {
        auto dst = Filled(4, 4, static_cast<TColor>(D));
        dst->Canvas().Brush.Color = static_cast<TColor>(P);
        ASSERT_TRUE(BitBlt(dst->Canvas().Handle(), 1, 1, 2, 2, src->Canvas().Handle(), 0, 0, k.Rop));
        EXPECT_EQ(static_cast<uint32_t>(dst->Canvas().Pixel(1, 1)), k.Want) << k.Name;
        EXPECT_EQ(static_cast<uint32_t>(dst->Canvas().Pixel(0, 0)), D) << k.Name;  // outside: untouched
        EXPECT_EQ(static_cast<uint32_t>(dst->Canvas().Pixel(3, 3)), D) << k.Name;
    }
}

TEST(BitBlt, MonochromeConversionsAndTheTransparentMaskIdiom) {
    // A picture with a fuchsia background and a blue square; its mask comes from a colour-to-mono
    // copy with the background colour set to fuchsia.
    auto pic = Filled(8, 8, clFuchsia);
    pic->Canvas().Brush.Color = clBlue;
    pic->Canvas().FillRect(Rect(2, 2, 6, 6));
    TBitmap mask;
    mask.SetMonochrome(true);
    mask.SetSize(8, 8);
    SetBkColor(pic->Canvas().Handle(), clFuchsia);
    BitBlt(mask.Canvas().Handle(), 0, 0, 8, 8, pic->Canvas().Handle(), 0, 0, SRCCOPY);
    EXPECT_EQ(mask.Canvas().Pixel(0, 0), clWhite);
    EXPECT_EQ(mask.Canvas().Pixel(3, 3), clBlack);

    // Mono to colour takes the destination's text colour for black and background for white.
    auto dst = Filled(8, 8, clYellow);
    HDC d = dst->Canvas().Handle();
    SetTextColor(d, clBlack);
    SetBkColor(d, clWhite);
    BitBlt(d, 0, 0, 8, 8, mask.Canvas().Handle(), 0, 0, SRCAND);     // background kept, square black
    BitBlt(mask.Canvas().Handle(), 0, 0, 8, 8, 0, 0, 0, DSTINVERT);  // invert the mask
    SetBkColor(pic->Canvas().Handle(), clBlack);
    auto masked = Filled(8, 8, clBlack);
    BitBlt(masked->Canvas().Handle(), 0, 0, 8, 8, pic->Canvas().Handle(), 0, 0, SRCCOPY);
    SetTextColor(masked->Canvas().Handle(), clBlack);
    SetBkColor(masked->Canvas().Handle(), clWhite);
    BitBlt(masked->Canvas().Handle(), 0, 0, 8, 8, mask.Canvas().Handle(), 0, 0, SRCAND);  // background black
    BitBlt(d, 0, 0, 8, 8, masked->Canvas().Handle(), 0, 0, SRCPAINT);
    EXPECT_EQ(dst->Canvas().Pixel(0, 0), clYellow);
    EXPECT_EQ(dst->Canvas().Pixel(3, 3), clBlue);
}

TEST(BitBlt, StretchAndCopyRectScaleAndDrawHonoursTransparency) {
    auto src = Filled(2, 2, clRed);
    src->Canvas().SetPixel(1, 1, clBlue);
    auto dst = Filled(10, 10, clWhite);
    dst->Canvas().CopyRect(Rect(0, 0, 8, 8), src->Canvas(), Rect(0, 0, 2, 2));
    EXPECT_EQ(dst->Canvas().Pixel(0, 0), clRed);
    EXPECT_EQ(dst->Canvas().Pixel(3, 3), clRed);
    EXPECT_EQ(dst->Canvas().Pixel(4, 4), clBlue);
    EXPECT_EQ(dst->Canvas().Pixel(7, 7), clBlue);
    EXPECT_EQ(dst->Canvas().Pixel(8, 8), clWhite);

    // A negative width mirrors.
    auto row = Filled(3, 1, clRed);
    row->Canvas().SetPixel(2, 0, clBlue);
    auto m = Filled(3, 1, clWhite);
    StretchBlt(m->Canvas().Handle(), 3, 0, -3, 1, row->Canvas().Handle(), 0, 0, 3, 1, SRCCOPY);
    EXPECT_EQ(m->Canvas().Pixel(0, 0), clBlue);
    EXPECT_EQ(m->Canvas().Pixel(2, 0), clRed);

    // Transparent drawing leaves pixels of the transparent colour (bottom-left, tmAuto) alone.
    auto t = Filled(3, 3, clLime);
    t->Canvas().SetPixel(1, 1, clNavy);
    t->SetTransparent(true);
    EXPECT_EQ(t->TransparentColor(), clLime);
    auto bg = Filled(5, 5, clGray);
    bg->Canvas().Draw(1, 1, t.get());
    EXPECT_EQ(bg->Canvas().Pixel(1, 1), clGray);
    EXPECT_EQ(bg->Canvas().Pixel(2, 2), clNavy);

    // BrushCopy paints the colour it is given with the brush.
    auto bc = Filled(5, 5, clWhite);
    bc->Canvas().Brush.Color = clYellow;
    bc->Canvas().BrushCopy(Rect(0, 0, 3, 3), t.get(), Rect(0, 0, 3, 3), clLime);
    EXPECT_EQ(bc->Canvas().Pixel(0, 0), clYellow);
    EXPECT_EQ(bc->Canvas().Pixel(1, 1), clNavy);
}

// ---- Bitmaps ----

TEST(Bmp, OneBitWidthNineReadsNinePixelsFromPaddedRows) {
    // 9×2, bottom-up, rows of 2 data bytes and 2 bytes of padding; palette black, white.
    std::vector<uint8_t> f = {'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 62, 0, 0, 0,   // file header
                              40, 0, 0, 0, 9, 0, 0, 0, 2, 0, 0, 0, 1, 0, 1, 0,  // size, width, height,
                                                                                // planes, bits
                              0, 0, 0, 0, 8, 0, 0, 0, 0x13, 0x0B, 0, 0, 0x13, 0x0B, 0, 0, 2, 0, 0, 0, 0, 0, 0,
                              0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0,  // palette
                              0x80, 0x80, 0xFF, 0xFF,              // bottom row: pixels 0 and 8 white
                              0x55, 0x00, 0xFF, 0xFF};             // top row: pixels 1, 3, 5, 7 white
    TBitmap b;
    Load(b, f);
    EXPECT_EQ(b.Width(), 9);
    EXPECT_EQ(b.Height(), 2);
    EXPECT_EQ(b.PixelFormat(), pf1bit);
    EXPECT_TRUE(b.Monochrome());
    std::string top, bottom;
    for (int x = 0; x < 9; ++x) {
        top += b.Canvas().Pixel(x, 0) == clWhite ? '#' : '.';
        bottom += b.Canvas().Pixel(x, 1) == clWhite ? '#' : '.';
    }
    EXPECT_EQ(top, ".#.#.#.#.");
    EXPECT_EQ(bottom, "#.......#");
    // Written back: the same bytes but for the padding (zero) and the image size field.
    std::vector<uint8_t> back = Bytes(b);
    std::vector<uint8_t> want = f;
    want[34] = 8;
    want[38] = want[42] = 0xC4;  // 96 dots per inch
    want[39] = want[43] = 0x0E;
    want[64] = want[65] = want[68] = want[69] = 0;
    ASSERT_EQ(back.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) EXPECT_EQ(back[i], want[i]) << "byte " << i;
}

TEST(Bmp, ScanLineRowsAreInThePixelFormatsLayout) {
    TBitmap b;
    b.SetPixelFormat(pf8bit);
    b.SetSize(4, 2);
    b.SetColorTable({clBlack, clRed, clLime, clBlue});
    uint8_t* row = b.ScanLine(1);
    row[0] = 1;
    row[3] = 3;
    EXPECT_EQ(b.Canvas().Pixel(0, 1), clRed);
    EXPECT_EQ(b.Canvas().Pixel(3, 1), clBlue);
    b.Canvas().SetPixel(2, 0, clLime);
    EXPECT_EQ(b.ScanLine(0)[2], 2);

    TBitmap t;
    t.SetPixelFormat(pf24bit);
    t.SetSize(2, 1);
    t.Canvas().SetPixel(1, 0, RGB(1, 2, 3));
    const uint8_t* p = t.ScanLine(0);
    EXPECT_EQ(p[3], 3);  // blue, green, red
    EXPECT_EQ(p[4], 2);
    EXPECT_EQ(p[5], 1);
    EXPECT_THROW(t.ScanLine(1), EInvalidGraphicOperation);
}

TEST(Bmp, FilesWrittenRoundTripThroughNetpbm) {
    TempDir dir;
    const TColor colors[] = {clBlack, clWhite, clRed, clBlue, clLime, clYellow, clNavy, clGray};
    for (TPixelFormat fmt : {pf1bit, pf4bit, pf8bit, pf24bit}) {
        TBitmap b;
        b.SetPixelFormat(fmt);
        b.SetSize(13, 5);  // an odd width exercises the row padding
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 13; ++x)
                b.Canvas().SetPixel(x, y, colors[(x + 2 * y) % (fmt == pf1bit ? 2 : 8)]);
        std::string bmp = dir / "a.bmp", pnm = dir / "a.pnm", back = dir / "b.bmp";
        WriteFile(bmp, Bytes(b));
        int bits = fmt == pf1bit ? 1 : fmt == pf4bit ? 4 : fmt == pf8bit ? 8 : 24;
        std::string cmd = "bmptopnm " + bmp + " > " + pnm + " 2>/dev/null && ppmtobmp -bpp " +
                          std::to_string(bits) + " " + pnm + " > " + back + " 2>/dev/null";
        ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
        TBitmap r;
        Load(r, ReadFile(back));
        ASSERT_EQ(r.Width(), 13);
        ASSERT_EQ(r.Height(), 5);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 13; ++x)
                ASSERT_EQ(r.Canvas().Pixel(x, y), b.Canvas().Pixel(x, y))
                    << bits << " bits at " << x << "," << y;
    }
}

TEST(Bmp, DamagedFilesRaiseThePictureError) {
    auto good = Filled(3, 3, clRed);
    std::vector<uint8_t> f = Bytes(*good);
    auto with = [&](size_t at, std::vector<uint8_t> v) {
        std::vector<uint8_t> g = f;
        for (size_t i = 0; i < v.size(); ++i) g[at + i] = v[i];
        return g;
    };
    std::vector<std::vector<uint8_t>> bad = {
        {},
        {'B', 'M'},
        with(0, {'X'}),                                // signature
        std::vector<uint8_t>(f.begin(), f.end() - 5),  // pixels cut short
        with(18, {0, 0, 0, 0}),                        // width 0
        with(18, {0xFF, 0xFF, 0, 0}),
        with(22, {0xFF, 0xFF, 0, 0}),        // larger than the data
        with(18, {0xFF, 0xFF, 0xFF, 0x7F}),  // absurd size
        with(28, {7, 0}),                    // 7 bits per pixel
        with(26, {2, 0}),                    // planes
        with(14, {41, 0, 0, 0}),             // header size
        with(30, {9, 0, 0, 0}),              // compression
    };
    for (size_t i = 0; i < bad.size(); ++i) {
        TBitmap b;
        EXPECT_THROW(Load(b, bad[i]), EInvalidGraphic) << i;
    }
}

TEST(Bmp, RunLengthEncodedEightBit) {
    // 4×2, RLE8: bottom row "run of 4 × index 1", top row absolute 2,0,2,0 then end.
    std::vector<uint8_t> f = {'B', 'M', 0, 0,    0, 0, 0, 0, 0, 0, 62, 0, 0, 0, 40, 0, 0, 0, 4,
                              0,   0,   0, 2,    0, 0, 0, 1, 0, 8, 0,  1, 0, 0, 0,  0, 0, 0, 0,
                              0,   0,   0, 0,    0, 0, 0, 0, 2, 0, 0,  0, 0, 0, 0,  0, 0, 0, 0,
                              0,   0,   0, 0xFF, 0, 4, 1, 0, 0, 0, 4,  2, 0, 2, 0,  0, 1};
    TBitmap b;
    Load(b, f);
    EXPECT_EQ(b.PixelFormat(), pf8bit);
    EXPECT_EQ(b.Canvas().Pixel(0, 1), clRed);
    EXPECT_EQ(b.Canvas().Pixel(3, 1), clRed);
    EXPECT_EQ(b.Canvas().Pixel(0, 0), clBlack);
    EXPECT_EQ(b.Canvas().Pixel(1, 0), clBlack);
    // A run past the row end is damage.
    f[62] = 9;
    TBitmap c;
    EXPECT_THROW(Load(c, f), EInvalidGraphic);
}

// ---- JPEG pictures ----

TEST(Jpeg, SizeFromTheHeaderAndPixelsFromDecoding) {
    TempDir dir;
    std::string path = dir / "x.jpg";
    ASSERT_EQ(std::system(("convert -size 1600x1200 xc:red " + path).c_str()), 0);
    TJPEGImage j;
    Load(j, ReadFile(path));
    EXPECT_EQ(j.Width(), 1600);
    EXPECT_EQ(j.Height(), 1200);
    j.Scale = jsEighth;
    EXPECT_EQ(j.Width(), 200);
    TBitmap& b = j.Bitmap();
    EXPECT_EQ(b.Width(), 200);
    EXPECT_EQ(b.Height(), 150);
    uint32_t px = ColorToRGB(b.Canvas().Pixel(100, 75));
    EXPECT_GE(GetRValue(px), 0xF0);
    EXPECT_LE(GetGValue(px), 0x10);
    EXPECT_LE(GetBValue(px), 0x10);
    // Saved back unchanged.
    EXPECT_EQ(Bytes(j), ReadFile(path));
}

TEST(Jpeg, DamagedFilesRaiseThePictureErrorAndKeepThePictureHeld) {
    TempDir dir;
    std::string path = dir / "x.jpg";
    ASSERT_EQ(std::system(("convert -size 40x30 xc:blue " + path).c_str()), 0);
    std::vector<uint8_t> good = ReadFile(path);
    TJPEGImage j;
    Load(j, good);
    std::vector<std::vector<uint8_t>> bad = {
        {},
        {0xFF, 0xD8},
        std::vector<uint8_t>{'n', 'o', 't', ' ', 'j', 'p', 'e', 'g'},
        std::vector<uint8_t>(good.begin(), good.begin() + 20),
    };
    // Damage the frame header: zero height and width.
    std::vector<uint8_t> sof = good;
    for (size_t i = 0; i + 8 < sof.size(); ++i)
        if (sof[i] == 0xFF && sof[i + 1] == 0xC0) {
            sof[i + 5] = sof[i + 6] = sof[i + 7] = sof[i + 8] = 0;
            break;
        }
    bad.push_back(sof);
    for (size_t i = 0; i < bad.size(); ++i) {
        EXPECT_THROW(Load(j, bad[i]), EInvalidGraphic) << i;
        EXPECT_EQ(j.Width(), 40) << i;
    }
    // A header that reads but whose scan data is garbage still decodes to something, or raises.
    std::vector<uint8_t> garbage = good;
    size_t sos = 0;
    for (size_t i = 0; i + 1 < garbage.size(); ++i)
        if (garbage[i] == 0xFF && garbage[i + 1] == 0xDA) sos = i;
    ASSERT_GT(sos, 0u);
    for (size_t i = sos + 14; i + 2 < garbage.size(); ++i) garbage[i] = static_cast<uint8_t>(i * 7);
    TJPEGImage g;
    Load(g, garbage);
    try {
        g.Bitmap();
    } catch (const EInvalidGraphic&) {
    }
}

TEST(Jpeg, AssignedBitmapIsCompressedAndReadsBack) {
    auto b = Filled(16, 8, clLime);
    TJPEGImage j;
    j.Assign(*b);
    std::vector<uint8_t> data = Bytes(j);
    ASSERT_GT(data.size(), 4u);
    EXPECT_EQ(data[0], 0xFF);
    EXPECT_EQ(data[1], 0xD8);
    TJPEGImage k;
    Load(k, data);
    EXPECT_EQ(k.Width(), 16);
    EXPECT_EQ(k.Height(), 8);
    uint32_t px = ColorToRGB(k.Bitmap().Canvas().Pixel(8, 4));
    EXPECT_GE(GetGValue(px), 0xF0);
}

// ---- Pictures ----

TEST(Picture, FilesAreReadByTheClassRegisteredForTheirExtension) {
    TempDir dir;
    ASSERT_EQ(std::system(("convert -size 8x6 xc:red " + (dir / "p.JPG")).c_str()), 0);
    auto b = Filled(5, 4, clBlue);
    WriteFile(dir / "q.bmp", Bytes(*b));
    WriteFile(dir / "r.xyz", {1, 2, 3});
    // The class library takes Windows-form paths; C: is the root.
    auto win = [](const std::string& p) {
        std::string s = "C:" + p;
        for (char& c : s)
            if (c == '/') c = '\\';
        return s;
    };
    TPicture p;
    p.LoadFromFile(win(dir / "p.JPG"));
    EXPECT_EQ(p.Graphic()->ClassName(), "TJPEGImage");
    EXPECT_EQ(p.Width(), 8);
    p.LoadFromFile(win(dir / "q.bmp"));
    EXPECT_EQ(p.Graphic()->ClassName(), "TBitmap");
    EXPECT_EQ(p.Bitmap().Canvas().Pixel(0, 0), clBlue);
    try {
        p.LoadFromFile(win(dir / "r.xyz"));
        ADD_FAILURE();
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.Message, "Unknown picture file extension (.xyz)");
    }
    EXPECT_EQ(p.Graphic()->ClassName(), "TBitmap");  // the picture held stays
    EXPECT_NE(TPicture::GraphicFilter().find("*.bmp;*.ico;*.jpg"), std::string::npos);
}

TEST(Picture, IconsDrawThroughTheirMask) {
    // A 2×2 32-bit icon: one opaque red pixel top-left, the rest transparent by the AND mask.
    std::vector<uint8_t> ico = {0, 0, 1, 0, 1, 0, 2, 2, 0, 0, 1, 0, 32, 0, 0, 0, 0, 0, 22, 0, 0, 0};
    uint32_t size = 40 + 16 + 8;
    ico[14] = static_cast<uint8_t>(size);
    std::vector<uint8_t> dib = {40, 0, 0, 0, 2, 0, 0, 0, 4, 0, 0, 0, 1, 0, 32, 0};
    dib.resize(40, 0);
    // Colour rows bottom-up: bottom row, then top row (red at x 0).
    std::vector<uint8_t> px = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0, 0, 0, 0, 0};
    // AND mask rows bottom-up, 4 bytes each: bottom all transparent, top: x 1 transparent.
    std::vector<uint8_t> mask = {0xC0, 0, 0, 0, 0x40, 0, 0, 0};
    ico.insert(ico.end(), dib.begin(), dib.end());
    ico.insert(ico.end(), px.begin(), px.end());
    ico.insert(ico.end(), mask.begin(), mask.end());
    TIcon icon;
    Load(icon, ico);
    EXPECT_EQ(icon.Width(), 2);
    EXPECT_EQ(icon.Height(), 2);
    auto bg = Filled(4, 4, clGreen);
    bg->Canvas().Draw(1, 1, &icon);
    EXPECT_EQ(bg->Canvas().Pixel(1, 1), clRed);
    EXPECT_EQ(bg->Canvas().Pixel(2, 1), clGreen);
    EXPECT_EQ(bg->Canvas().Pixel(1, 2), clGreen);
    EXPECT_EQ(Bytes(icon), ico);
    std::vector<uint8_t> cut(ico.begin(), ico.end() - 10);
    TIcon broken;
    EXPECT_THROW(Load(broken, cut), EInvalidGraphic);
}

}  // namespace
}  // namespace framework

namespace framework {
namespace {

// Files that once broke a reader: each reads, or raises the picture error.
TEST(Picture, DamagedFilesFoundByFuzzingReadOrRaise) {
    int seen = 0;
    for (const auto& entry : std::filesystem::directory_iterator(KORVANE_TESTDATA_DIR "/pictures")) {
        std::string ext = entry.path().extension().string();
        std::unique_ptr<TGraphic> g;
        if (ext == ".bmp") g = std::make_unique<TBitmap>();
        if (ext == ".jpg") g = std::make_unique<TJPEGImage>();
        if (ext == ".ico") g = std::make_unique<TIcon>();
        if (!g) continue;
        ++seen;
        try {
            Load(*g, ReadFile(entry.path().string()));
            if (auto* j = dynamic_cast<TJPEGImage*>(g.get())) j->Bitmap();
            TBitmap canvas;
            canvas.SetSize(4, 4);
            canvas.Canvas().StretchDraw(Rect(0, 0, 4, 4), g.get());
        } catch (const EInvalidGraphic&) {
        }
    }
    EXPECT_GT(seen, 0);
}

}  // namespace
}  // namespace framework
