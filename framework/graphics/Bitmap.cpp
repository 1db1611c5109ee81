// TGraphic, TBitmap, TIcon and TPicture.
#include <QBuffer>
#include <QImage>
#include <algorithm>
#include <cstring>
#include <map>
#include <unordered_map>

#include "framework/core/Stream.h"
#include "framework/graphics/BmpFormat.h"
#include "framework/graphics/GdiImpl.h"
#include "framework/graphics/Jpeg.h"
#include "framework/ui/Graphics.h"
#include "platform/LittleEndian.h"

namespace framework {

// ---------------------------------------------------------------------------------------------
// TGraphic

TGraphic::~TGraphic() = default;

void TGraphic::LoadFromFile(const std::string& FileName) {
    TFileStream s(FileName, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(s);
}

void TGraphic::SaveToFile(const std::string& FileName) {
    TFileStream s(FileName, fmCreate);
    SaveToStream(s);
}

void TGraphic::SetTransparent(bool Value) {
    if (Value == FTransparent) return;
    FTransparent = Value;
    Changed();
}

void TGraphic::Changed() {
    Modified = true;
    if (OnChange) OnChange(this);
}

namespace {
std::vector<uint8_t> ReadAll(TStream& Stream) {
    int64_t n = Stream.Size() - Stream.Position();
    if (n < 0) n = 0;
    if (n > (int64_t(1) << 30)) throw EInvalidGraphic("Bitmap image is not valid");
    std::vector<uint8_t> v(static_cast<size_t>(n));
    if (n) Stream.ReadBuffer(v.data(), static_cast<int32_t>(n));
    return v;
}

int BitsOf(TPixelFormat f) {
    switch (f) {
        case pf1bit:
            return 1;
        case pf4bit:
            return 4;
        case pf8bit:
            return 8;
        case pf32bit:
            return 32;
        default:
            return 24;
    }
}

TPixelFormat FormatOf(int bits) {
    switch (bits) {
        case 1:
            return pf1bit;
        case 4:
            return pf4bit;
        case 8:
            return pf8bit;
        case 32:
            return pf32bit;
        default:
            return pf24bit;
    }
}

// Default colour tables: black and white; the 16 colours of VGA; those 16, a 6×6×6 colour cube and
// a ramp of grays.
std::vector<uint32_t> DefaultPalette(int bits) {
    static const uint32_t vga[16] = {0x000000, 0x000080, 0x008000, 0x008080, 0x800000, 0x800080,
                                     0x808000, 0xC0C0C0, 0x808080, 0x0000FF, 0x00FF00, 0x00FFFF,
                                     0xFF0000, 0xFF00FF, 0xFFFF00, 0xFFFFFF};
    if (bits == 1) return {0x000000, 0xFFFFFF};
    std::vector<uint32_t> p(vga, vga + 16);
    if (bits == 4) return p;
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b) p.push_back(RGB(r * 51, g * 51, b * 51));
    for (int i = 0; p.size() < 256; ++i) p.push_back(RGB(8 + i * 10, 8 + i * 10, 8 + i * 10));
    return p;
}

int Nearest(const std::vector<uint32_t>& pal, uint32_t rgb) {
    int best = 0;
    int64_t bestD = INT64_MAX;
    for (size_t i = 0; i < pal.size(); ++i) {
        int dr = GetRValue(pal[i]) - GetRValue(rgb), dg = GetGValue(pal[i]) - GetGValue(rgb),
            db = GetBValue(pal[i]) - GetBValue(rgb);
        int64_t dd = int64_t(dr) * dr + int64_t(dg) * dg + int64_t(db) * db;
        if (dd < bestD) {
            bestD = dd;
            best = static_cast<int>(i);
            if (!dd) break;
        }
    }
    return best;
}
}  // namespace

// ---------------------------------------------------------------------------------------------
// TBitmap

// The pixels live in two forms: the image the canvas draws on, and the DIB rows ScanLine hands
// out. One of them is current; the other is rebuilt from it when next asked for.
struct TBitmapData {
    std::shared_ptr<TBitmapObject> Obj = std::make_shared<TBitmapObject>();
    HBITMAP Handle = 0;
    HDC Dc = 0;
    TPixelFormat Format = pfDevice;
    std::vector<uint32_t> Palette;
    TDib Dib;
    bool DibCurrent = false;  // Dib matches the image
    bool ImageStale = false;  // Dib was handed out and may have changed
    TColor TransparentColor = clDefault;
    HBITMAP Mask = 0;
    HPALETTE Pal = 0;
    std::unique_ptr<TCanvas> Canvas;

    ~TBitmapData() {
        if (Pal) DeleteObject(Pal);
        if (Dc) DeleteDC(Dc);
        if (Handle) DeleteObject(Handle);
        if (Mask) DeleteObject(Mask);
    }
    int Bits() const { return BitsOf(Format); }

    void BuildDib() {
        const QImage& img = Obj->Image;
        Dib.Width = img.isNull() ? 0 : img.width();
        Dib.Height = img.isNull() ? 0 : img.height();
        Dib.BitCount = Bits();
        Dib.Palette = Dib.BitCount <= 8 ? Palette : std::vector<uint32_t>();
        Dib.Bits.assign(static_cast<size_t>(Dib.Stride()) * Dib.Height, 0);
        std::unordered_map<uint32_t, int> cache;
        for (int y = 0; y < Dib.Height; ++y) {
            const auto* src = reinterpret_cast<const uint32_t*>(img.constScanLine(y));
            uint8_t* row = Dib.Bits.data() + static_cast<size_t>(y) * Dib.Stride();
            for (int x = 0; x < Dib.Width; ++x) {
                uint32_t rgb = FromQRgb(src[x]);
                if (Dib.BitCount >= 24) {
                    uint8_t* o = row + x * (Dib.BitCount / 8);
                    o[0] = GetBValue(rgb);
                    o[1] = GetGValue(rgb);
                    o[2] = GetRValue(rgb);
                    continue;
                }
                auto it = cache.find(rgb);
                int idx = it != cache.end() ? it->second : (cache[rgb] = Nearest(Palette, rgb));
                if (Dib.BitCount == 8)
                    row[x] = static_cast<uint8_t>(idx);
                else if (Dib.BitCount == 4)
                    row[x / 2] |= static_cast<uint8_t>(idx << ((x & 1) ? 0 : 4));
                else if (idx)
                    row[x / 8] |= static_cast<uint8_t>(0x80 >> (x & 7));
            }
        }
        DibCurrent = true;
    }

    void BuildImage() {
        QImage& img = Obj->Image;
        if (Dib.Width <= 0 || Dib.Height <= 0) {
            img = QImage();
            return;
        }
        img = QImage(Dib.Width, Dib.Height, QImage::Format_RGB32);
        for (int y = 0; y < Dib.Height; ++y) {
            const uint8_t* row = Dib.Bits.data() + static_cast<size_t>(y) * Dib.Stride();
            auto* dst = reinterpret_cast<uint32_t*>(img.scanLine(y));
            for (int x = 0; x < Dib.Width; ++x) {
                uint32_t rgb;
                switch (Dib.BitCount) {
                    case 1:
                        rgb = Palette[(row[x / 8] >> (7 - (x & 7))) & 1];
                        break;
                    case 4:
                        rgb = Palette[(row[x / 2] >> ((x & 1) ? 0 : 4)) & 0xF];
                        break;
                    case 8:
                        rgb = Palette[row[x]];
                        break;
                    default: {
                        const uint8_t* p = row + x * (Dib.BitCount / 8);
                        rgb = RGB(p[2], p[1], p[0]);
                    }
                }
                dst[x] = ToQRgb(rgb);
            }
        }
    }

    void UpdateMono() {
        Obj->Monochrome =
            Format == pf1bit && Palette.size() == 2 && Palette[0] == 0 && Palette[1] == 0xFFFFFF;
    }
};

class TBitmapCanvas : public TCanvas {
public:
    explicit TBitmapCanvas(TBitmap& B) : FBitmap(B) {}

protected:
    void BeforeDraw() override { FBitmap.SyncImage(); }

private:
    TBitmap& FBitmap;
};

TBitmap::TBitmap() : D(std::make_unique<TBitmapData>()) {
    D->Handle = CreateBitmapObject(D->Obj);
}

TBitmap::~TBitmap() = default;

// Makes the image current (the canvas is about to draw or read) and lets the DIB go stale.
void TBitmap::SyncImage() {
    if (D->ImageStale) {
        D->BuildImage();
        D->ImageStale = false;
    }
    D->DibCurrent = false;
    if (D->Mask) {
        DeleteObject(D->Mask);
        D->Mask = 0;
    }
    if (!D->Dc) {
        D->Dc = CreateCompatibleDC(0);
        SelectObject(D->Dc, D->Handle);
    }
    if (D->Canvas) D->Canvas->SetHandle(D->Obj->Image.isNull() ? 0 : D->Dc);
}

TCanvas& TBitmap::Canvas() {
    if (!D->Canvas) {
        D->Canvas = std::make_unique<TBitmapCanvas>(*this);
        D->Canvas->Brush.Color = clWhite;
    }
    SyncImage();
    return *D->Canvas;
}

HBITMAP TBitmap::Handle() {
    SyncImage();
    return D->Handle;
}

bool TBitmap::Empty() const {
    return D->ImageStale ? D->Dib.Width == 0 : D->Obj->Image.isNull();
}
int TBitmap::Width() const {
    return D->ImageStale ? D->Dib.Width : (D->Obj->Image.isNull() ? 0 : D->Obj->Image.width());
}
int TBitmap::Height() const {
    return D->ImageStale ? D->Dib.Height : (D->Obj->Image.isNull() ? 0 : D->Obj->Image.height());
}

void TBitmap::SetSize(int AWidth, int AHeight) {
    AWidth = std::max(0, AWidth);
    AHeight = std::max(0, AHeight);
    if (static_cast<int64_t>(AWidth) * AHeight > MaxBmpPixels) throw EOutOfMemory("Out of memory");
    if (AWidth == Width() && AHeight == Height()) return;
    SyncImage();
    QImage& img = D->Obj->Image;
    if (AWidth == 0 || AHeight == 0) {
        img = QImage();
    } else {
        // New pixels are white; what was there stays at the top left.
        QImage n(AWidth, AHeight, QImage::Format_RGB32);
        n.fill(Qt::white);
        if (!img.isNull())
            for (int y = 0; y < std::min(AHeight, img.height()); ++y)
                std::memcpy(n.scanLine(y), img.constScanLine(y),
                            4 * static_cast<size_t>(std::min(AWidth, img.width())));
        img = n;
    }
    if (D->Format == pfDevice) D->Format = pf24bit;
    SyncImage();
    Changed();
}

void TBitmap::SetWidth(int Value) {
    SetSize(Value, Height());
}
void TBitmap::SetHeight(int Value) {
    SetSize(Width(), Value);
}

TPixelFormat TBitmap::PixelFormat() const {
    return D->Format;
}

void TBitmap::SetPixelFormat(TPixelFormat Value) {
    if (Value == pfDevice || Value == pfCustom) Value = pf24bit;
    if (Value == pf15bit || Value == pf16bit) Value = pf24bit;
    if (Value == D->Format) return;
    SyncImage();
    D->Format = Value;
    D->Palette = D->Bits() <= 8 ? DefaultPalette(D->Bits()) : std::vector<uint32_t>();
    D->UpdateMono();
    // The image takes the colours the new format can hold.
    D->BuildDib();
    D->BuildImage();
    D->DibCurrent = false;
    Changed();
}

std::vector<TColor> TBitmap::ColorTable() const {
    return std::vector<TColor>(D->Palette.begin(), D->Palette.end());
}

void TBitmap::SetColorTable(const std::vector<TColor>& Colors) {
    if (D->Bits() > 8) return;
    // The indexes stay; the colours they stand for change.
    if (!D->DibCurrent && !D->ImageStale) D->BuildDib();
    size_t n = size_t(1) << D->Bits();
    D->Palette.assign(n, 0);
    for (size_t i = 0; i < std::min(n, Colors.size()); ++i) D->Palette[i] = ColorToRGB(Colors[i]);
    D->Dib.Palette = D->Palette;
    D->UpdateMono();
    D->ImageStale = true;
    Changed();
}

bool TBitmap::Monochrome() const {
    return D->Obj->Monochrome;
}

void TBitmap::SetMonochrome(bool Value) {
    if (Value == Monochrome()) return;
    SetPixelFormat(Value ? pf1bit : pf24bit);
}

HPALETTE TBitmap::Palette() {
    if (D->Pal) DeleteObject(D->Pal);
    D->Pal = 0;
    if (D->Palette.empty()) return 0;
    std::vector<TPaletteEntry> e;
    for (uint32_t c : D->Palette) e.push_back(TPaletteEntry{GetRValue(c), GetGValue(c), GetBValue(c), 0});
    D->Pal = CreatePalette(0x300, e);
    return D->Pal;
}

uint8_t* TBitmap::ScanLine(int Row) {
    if (Row < 0 || Row >= Height()) throw EInvalidGraphicOperation("Scan line index out of range");
    if (!D->ImageStale && !D->DibCurrent) {
        if (D->Format == pfDevice) D->Format = pf24bit;
        D->BuildDib();
    }
    D->ImageStale = true;
    return D->Dib.Bits.data() + static_cast<size_t>(Row) * D->Dib.Stride();
}

TColor TBitmap::TransparentColor() const {
    if (TransparentMode == tmFixed && D->TransparentColor != clDefault) return D->TransparentColor;
    if (Empty()) return clNone;
    auto& self = const_cast<TBitmap&>(*this);
    self.SyncImage();
    return static_cast<TColor>(FromQRgb(D->Obj->Image.pixel(0, Height() - 1)));
}

void TBitmap::SetTransparentColor(TColor Value) {
    D->TransparentColor = Value;
    TransparentMode = Value == clDefault ? tmAuto : tmFixed;
    Changed();
}

void TBitmap::Mask(TColor Color) {
    SyncImage();
    auto m = std::make_shared<TBitmapObject>();
    m->Monochrome = true;
    const QImage& img = D->Obj->Image;
    if (!img.isNull()) {
        m->Image = QImage(img.size(), QImage::Format_RGB32);
        uint32_t key = ColorToRGB(Color);
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                m->Image.setPixel(x, y, FromQRgb(img.pixel(x, y)) == key ? 0xFFFFFFFF : 0xFF000000);
    }
    if (D->Mask) DeleteObject(D->Mask);
    D->Mask = CreateBitmapObject(std::move(m));
}

HBITMAP TBitmap::MaskHandle() {
    if (!D->Mask) Mask(TransparentColor());
    return D->Mask;
}

void TBitmap::FreeImage() {
    D->Obj->Image = QImage();
    D->Dib = TDib{};
    D->DibCurrent = false;
    D->ImageStale = false;
    Changed();
}

void TBitmap::Draw(TCanvas& ACanvas, const TRect& Rect) {
    if (Empty()) return;
    HDC src = Canvas().Handle();
    HDC dst = ACanvas.Handle();
    if (!dst) return;
    if (Transparent())
        KeyedStretchBlt(dst, Rect, src, Bounds(0, 0, Width(), Height()), ColorToRGB(TransparentColor()),
                        false);
    else
        StretchBlt(dst, Rect.Left, Rect.Top, Rect.Width(), Rect.Height(), src, 0, 0, Width(), Height(),
                   ACanvas.CopyMode);
}

void TBitmap::LoadFromStream(TStream& Stream) {
    std::vector<uint8_t> data = ReadAll(Stream);
    TDib dib = ReadBmp(data.data(), data.size());
    D->Format = FormatOf(dib.BitCount);
    D->Palette = dib.Palette;
    D->Dib = std::move(dib);
    D->UpdateMono();
    D->DibCurrent = true;
    D->ImageStale = true;
    Changed();
}

void TBitmap::SaveToStream(TStream& Stream) {
    if (!D->ImageStale && !D->DibCurrent) {
        if (D->Format == pfDevice) D->Format = pf24bit;
        D->BuildDib();
    }
    std::vector<uint8_t> v = WriteBmp(D->Dib);
    Stream.WriteBuffer(v.data(), static_cast<int32_t>(v.size()));
}

void TBitmap::Assign(const TGraphic& Source) {
    if (&Source == this) return;
    auto& src = const_cast<TGraphic&>(Source);
    if (auto* b = dynamic_cast<TBitmap*>(&src)) {
        b->SyncImage();
        D->Obj->Image = b->D->Obj->Image.copy();
        D->Format = b->D->Format;
        D->Palette = b->D->Palette;
        D->UpdateMono();
        D->DibCurrent = false;
        D->ImageStale = false;
        FTransparent = b->FTransparent;
        TransparentMode = b->TransparentMode;
        D->TransparentColor = b->D->TransparentColor;
        Changed();
        return;
    }
    if (auto* j = dynamic_cast<TJPEGImage*>(&src)) {
        Assign(j->Bitmap());
        return;
    }
    // Anything else is drawn onto a white bitmap of its size.
    SetPixelFormat(pf24bit);
    SetSize(Source.Width(), Source.Height());
    Canvas().Brush.Color = clWhite;
    Canvas().FillRect(Bounds(0, 0, Width(), Height()));
    src.Draw(Canvas(), Bounds(0, 0, Width(), Height()));
}

// ---------------------------------------------------------------------------------------------
// TIcon

TIcon::TIcon() : FImage(std::make_unique<TBitmap>()), FMask(std::make_unique<TBitmap>()) {
    FTransparent = true;
}
TIcon::~TIcon() = default;

bool TIcon::Empty() const {
    return FImage->Empty();
}
int TIcon::Width() const {
    return FImage->Width();
}
int TIcon::Height() const {
    return FImage->Height();
}
void TIcon::SetWidth(int) {
    throw EInvalidGraphicOperation("Cannot change the size of an icon");
}
void TIcon::SetHeight(int) {
    throw EInvalidGraphicOperation("Cannot change the size of an icon");
}

void TIcon::Draw(TCanvas& ACanvas, const TRect& Rect) {
    if (Empty()) return;
    HDC dst = ACanvas.Handle();
    if (!dst) return;
    // Icons draw at their own size from the top-left corner of Rect.
    HBITMAP mask = FMask->Handle();
    HDC src = FImage->Canvas().Handle();
    MaskBlt(dst, Rect.Left, Rect.Top, Width(), Height(), src, 0, 0, mask, 0, 0,
            MakeROP4(ROP_DstCopy, SRCCOPY));
}

void TIcon::LoadFromStream(TStream& Stream) {
    static const char* NotValid = "Icon image is not valid";
    std::vector<uint8_t> data = ReadAll(Stream);
    auto u16 = [&](size_t at) -> uint32_t {
        if (at + 2 > data.size()) throw EInvalidGraphic(NotValid);
        return platform::GetUInt16(data.data() + at);
    };
    auto u32 = [&](size_t at) -> uint32_t { return u16(at) | (u16(at + 2) << 16); };
    if (u16(0) != 0 || u16(2) != 1 || u16(4) == 0) throw EInvalidGraphic(NotValid);
    int count = static_cast<int>(u16(4));
    // The entry nearest 32×32, the deepest of those.
    int best = -1, bestScore = INT32_MAX;
    for (int i = 0; i < count; ++i) {
        size_t e = 6 + 16 * static_cast<size_t>(i);
        int w = data.size() > e ? (data[e] ? data[e] : 256) : 0;
        int bpp = static_cast<int>(u16(e + 6));
        int score = std::abs(w - 32) * 64 - bpp;
        if (score < bestScore) bestScore = score, best = i;
    }
    size_t e = 6 + 16 * static_cast<size_t>(best);
    uint32_t size = u32(e + 8), offset = u32(e + 12);
    if (offset > data.size() || size > data.size() - offset || size < 40) throw EInvalidGraphic(NotValid);
    const uint8_t* p = data.data() + offset;
    QImage rgba;
    if (size >= 8 && std::memcmp(p, "\x89PNG", 4) == 0) {
        if (!rgba.loadFromData(p, static_cast<int>(size), "PNG")) throw EInvalidGraphic(NotValid);
        rgba = rgba.convertToFormat(QImage::Format_ARGB32);
        if (static_cast<int64_t>(rgba.width()) * rgba.height() > MaxBmpPixels)
            throw EInvalidGraphic(NotValid);
    } else {
        // A DIB without file header whose height counts the colour image and the AND mask.
        uint32_t hdr = platform::GetUInt32(p);
        if (hdr != 40) throw EInvalidGraphic(NotValid);
        int32_t w = platform::GetInt32(p + 4);
        int32_t h2 = platform::GetInt32(p + 8);
        int bpp = platform::GetUInt16(p + 14);
        if (w <= 0 || w > 1024 || h2 <= 0 || h2 > 2048) throw EInvalidGraphic(NotValid);
        int h = h2 / 2;
        size_t colors = bpp <= 8 ? (size_t(1) << bpp) : 0;
        // Make a BMP of the colour part, read it, then take the mask rows that follow.
        std::vector<uint8_t> bmp{'B', 'M'};
        uint32_t xorStride = static_cast<uint32_t>(((w * bpp + 31) / 32) * 4);
        uint32_t andStride = static_cast<uint32_t>(((w + 31) / 32) * 4);
        uint64_t need = 40 + colors * 4 + uint64_t(xorStride) * h + uint64_t(andStride) * h;
        if (need > size) throw EInvalidGraphic(NotValid);
        uint32_t total = static_cast<uint32_t>(14 + 40 + colors * 4 + uint64_t(xorStride) * h);
        for (uint32_t v : {total, 0u, static_cast<uint32_t>(14 + 40 + colors * 4)})
            for (int k = 0; k < 4; ++k) bmp.push_back((v >> (8 * k)) & 0xFF);
        bmp.insert(bmp.end(), p, p + 40);
        for (int k = 0; k < 4; ++k) bmp[14 + 8 + k] = (static_cast<uint32_t>(h) >> (8 * k)) & 0xFF;
        bmp[14 + 16] = bmp[14 + 17] = bmp[14 + 18] = bmp[14 + 19] = 0;  // no compression
        bmp.insert(bmp.end(), p + 40, p + 40 + colors * 4 + size_t(xorStride) * h);
        rgba = QImage(w, h, QImage::Format_ARGB32);
        const uint8_t* andBits = p + 40 + colors * 4 + size_t(xorStride) * h;
        TBitmap tmp;
        TMemoryStream ms;
        ms.WriteBuffer(bmp.data(), static_cast<int32_t>(bmp.size()));
        ms.SetPosition(0);
        tmp.LoadFromStream(ms);
        TCanvas& c = tmp.Canvas();
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                bool transparent = (andBits[size_t(h - 1 - y) * andStride + x / 8] >> (7 - (x & 7))) & 1;
                uint32_t rgb = ColorToRGB(c.Pixel(x, y));
                rgba.setPixel(x, y, transparent ? 0 : ToQRgb(rgb));
            }
    }
    FImage->SetPixelFormat(pf24bit);
    FImage->SetSize(rgba.width(), rgba.height());
    FMask->SetPixelFormat(pf24bit);
    FMask->SetSize(rgba.width(), rgba.height());
    TCanvas& ic = FImage->Canvas();
    TCanvas& mc = FMask->Canvas();
    for (int y = 0; y < rgba.height(); ++y)
        for (int x = 0; x < rgba.width(); ++x) {
            QRgb q = rgba.pixel(x, y);
            bool transparent = qAlpha(q) < 128;
            ic.SetPixel(x, y, transparent ? clBlack : static_cast<TColor>(FromQRgb(q)));
            mc.SetPixel(x, y, transparent ? clWhite : clBlack);
        }
    FMask->SetMonochrome(true);
    FData = std::move(data);
    Changed();
}

void TIcon::SaveToStream(TStream& Stream) {
    if (FData.empty()) throw EInvalidGraphicOperation("Cannot save an empty icon");
    Stream.WriteBuffer(FData.data(), static_cast<int32_t>(FData.size()));
}

void TIcon::Assign(const TGraphic& Source) {
    auto* i = dynamic_cast<const TIcon*>(&Source);
    if (!i) throw EInvalidGraphic("Cannot assign a " + Source.ClassName() + " to a TIcon");
    if (i == this) return;
    FImage->Assign(*i->FImage);
    FMask->Assign(*i->FMask);
    FData = i->FData;
    Changed();
}

// ---------------------------------------------------------------------------------------------
// TPicture

namespace {
struct FormatEntry {
    std::string Description;
    TPicture::TGraphicFactory Factory;
};
std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}
std::vector<std::pair<std::string, FormatEntry>>& Formats() {
    static std::vector<std::pair<std::string, FormatEntry>> f = {
        {"bmp", {"Bitmaps", [] { return std::make_unique<TBitmap>(); }}},
        {"ico", {"Icons", [] { return std::make_unique<TIcon>(); }}},
        {"jpg", {"JPEG Image File", [] { return std::make_unique<TJPEGImage>(); }}},
        {"jpeg", {"JPEG Image File", [] { return std::make_unique<TJPEGImage>(); }}},
    };
    return f;
}
std::string ExtensionOf(const std::string& name) {
    size_t dot = name.find_last_of('.');
    size_t sep = name.find_last_of("\\/:");
    if (dot == std::string::npos || (sep != std::string::npos && dot < sep)) return "";
    return Lower(name.substr(dot + 1));
}
std::unique_ptr<TGraphic> CopyOf(const TGraphic& g) {
    for (auto& [ext, f] : Formats()) {
        std::unique_ptr<TGraphic> n = f.Factory();
        const TGraphic& made = *n;
        if (typeid(made) == typeid(g)) {
            n->Assign(g);
            return n;
        }
    }
    if (TPicture::TGraphicFactory f = TPicture::GraphicClass(g.ClassName())) {
        std::unique_ptr<TGraphic> n = f();
        const TGraphic& made = *n;
        if (typeid(made) == typeid(g)) {
            n->Assign(g);
            return n;
        }
    }
    auto b = std::make_unique<TBitmap>();
    b->Assign(g);
    return b;
}
}  // namespace

TPicture::TPicture() = default;
TPicture::~TPicture() = default;

void TPicture::Changed() {
    if (OnChange) OnChange(this);
}

void TPicture::SetGraphic(const TGraphic* Value) {
    FGraphic = Value ? CopyOf(*Value) : nullptr;
    Changed();
}

TBitmap& TPicture::Bitmap() {
    auto* b = dynamic_cast<TBitmap*>(FGraphic.get());
    if (!b) {
        FGraphic = std::make_unique<TBitmap>();
        b = static_cast<TBitmap*>(FGraphic.get());
        Changed();
    }
    return *b;
}

TIcon& TPicture::Icon() {
    auto* i = dynamic_cast<TIcon*>(FGraphic.get());
    if (!i) {
        FGraphic = std::make_unique<TIcon>();
        i = static_cast<TIcon*>(FGraphic.get());
        Changed();
    }
    return *i;
}

void TPicture::LoadFromFile(const std::string& FileName) {
    std::string ext = ExtensionOf(FileName);
    for (auto& [e, f] : Formats())
        if (e == ext) {
            std::unique_ptr<TGraphic> g = f.Factory();
            g->OnProgress = OnProgress;
            g->LoadFromFile(FileName);
            FGraphic = std::move(g);
            Changed();
            return;
        }
    throw EInvalidGraphic("Unknown picture file extension (." + ext + ")");
}

void TPicture::SaveToFile(const std::string& FileName) {
    if (FGraphic) FGraphic->SaveToFile(FileName);
}

void TPicture::Assign(const TPicture& Source) {
    if (&Source == this) return;
    SetGraphic(Source.Graphic());
}

void TPicture::RegisterFileFormat(const std::string& Extension, const std::string& Description,
                                  TGraphicFactory Factory) {
    std::string ext = Lower(Extension);
    UnregisterFileFormat(ext);
    Formats().push_back({ext, FormatEntry{Description, std::move(Factory)}});
}

void TPicture::UnregisterFileFormat(const std::string& Extension) {
    std::string ext = Lower(Extension);
    auto& f = Formats();
    f.erase(std::remove_if(f.begin(), f.end(), [&](auto& e) { return e.first == ext; }), f.end());
}

std::string TPicture::GraphicFilter() {
    std::string all, each;
    for (auto& [ext, f] : Formats()) {
        std::string mask = "*." + ext;
        all += (all.empty() ? "" : ";") + mask;
        each += "|" + f.Description + " (" + mask + ")|" + mask;
    }
    return "All (" + all + ")|" + all + each;
}

}  // namespace framework
