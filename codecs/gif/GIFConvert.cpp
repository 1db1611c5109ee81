// The GIF codec and the picture framework: start-up and registration, the clipboard, conversion of
// bitmaps and other graphics into frames, and bitmap rows in a fixed pixel format.
#include <algorithm>
#include <cstring>

#include "codecs/gif/GIFImage.h"
#include "framework/core/Stream.h"
#include "framework/ui/Clipbrd.h"
#include "platform/LittleEndian.h"

namespace codecs {

using namespace framework;

bool ScreenUsesPalette = false;
bool RenderWhileLoading = false;
bool TidyBeforeStreaming = false;

namespace {
bool Started = false;
unsigned ClipboardFormatNumber = 0;

using platform::PutUInt16;
using platform::PutUInt32;
}  // namespace

// ---------------------------------------------------------------------------------------------
// Start-up and shutdown

void GIFImageStartup() {
    if (Started) return;
    Started = true;
    auto factory = [] { return std::make_unique<TGIFImage>(); };
    TPicture::RegisterFileFormat("GIF", "GIF Image", factory);
    TPicture::RegisterClass("TGIFImage", factory);
    ClipboardFormatNumber = RegisterClipboardFormat("GIF Image");
    TPicture::RegisterClipboardFormat(ClipboardFormatNumber, factory);
    HDC dc = GetDC(0);
    const int bits = GetDeviceCaps(dc, BITSPIXEL) * GetDeviceCaps(dc, PLANES);
    ReleaseDC(0, dc);
    ScreenUsesPalette = bits <= 8;
}

void GIFImageShutdown() {
    if (!Started) return;
    Started = false;
    TPicture::UnregisterFileFormat("GIF");
    TPicture::UnregisterClass("TGIFImage");  // also drops its clipboard format
}

unsigned GIFClipboardFormat() {
    return ClipboardFormatNumber;
}

// ---------------------------------------------------------------------------------------------
// Clipboard

void TGIFImage::LoadFromClipboardFormat(unsigned AFormat, const std::vector<uint8_t>& AData,
                                        HPALETTE APalette) {
    std::vector<uint8_t> data = AData;
    if (data.empty() && AFormat != 0) data = Clipboard()->GetAsData(AFormat);
    if (AFormat == ClipboardFormatNumber && AFormat != 0 && !data.empty()) {
        TMemoryStream s;
        s.WriteBuffer(data.data(), static_cast<int32_t>(data.size()));
        s.SetPosition(0);
        LoadFromStream(s);
    } else if (AFormat == CF_BITMAP && !data.empty()) {
        TBitmap b;
        b.LoadFromClipboardFormat(AFormat, data, APalette);
        Assign(b);
    } else {
        RaiseGIFError("Unsupported clipboard format");
    }
}

void TGIFImage::SaveToClipboardFormat(unsigned& AFormat, std::vector<uint8_t>& AData, HPALETTE& APalette) {
    if (Empty()) return;
    GetComposite()->SaveToClipboardFormat(AFormat, AData, APalette);
    TMemoryStream s;
    SaveToStream(s);
    const auto* p = reinterpret_cast<const uint8_t*>(s.Memory());
    Clipboard()->SetAsData(ClipboardFormatNumber, std::vector<uint8_t>(p, p + s.Size()));
}

// ---------------------------------------------------------------------------------------------
// Bitmap rows

TDIBReader::TDIBReader(TBitmap& ABitmap, TPixelFormat AFormat) : TDIB(ABitmap, AFormat) {
    Bitmap.SetPixelFormat(AFormat);
}

uint8_t* TDIBReader::RowPointer(int Row) {
    return Bitmap.ScanLine(Row);
}

TDIBWriter::TDIBWriter(TBitmap& ABitmap, HPALETTE APalette, int AHeight, int AWidth, TPixelFormat AFormat)
    : TDIB(ABitmap, AFormat),
      FHeight(AHeight),
      FWidth(AWidth),
      FBits(AFormat == pf8bit ? 8 : 24),
      FPalette(APalette) {
    if (AFormat != pf8bit && AFormat != pf24bit) RaiseGIFError("Unsupported PixelFormat");
    if (AWidth <= 0 || AHeight <= 0) RaiseGIFError("Invalid image dimensions");
    if (int64_t(AWidth) * AHeight > MaxGIFPixels) RaiseGIFError("Invalid image dimensions");
}

TDIBWriter::~TDIBWriter() {
    try {
        Commit();
    } catch (...) {
        // The bitmap keeps what it held; a destructor has no way to report.
    }
}

void TDIBWriter::EnsureDIB() {
    if (!FBuilt) BuildDIB();
}

void TDIBWriter::BuildDIB() {
    FHeader.clear();
    FPixels.clear();
    FBuilt = false;
    const bool eight = FBits == 8;
    FHeader.assign(eight ? 40 + 1024 : 40, 0);
    uint8_t* h = FHeader.data();
    PutUInt32(h, 40);
    PutUInt32(h + 4, static_cast<uint32_t>(FWidth));
    PutUInt32(h + 8, static_cast<uint32_t>(FHeight));
    PutUInt16(h + 12, 1);
    PutUInt16(h + 14, static_cast<uint16_t>(FBits));
    if (eight) {
        unsigned n = FPalette ? std::min(256u, GetPaletteEntries(FPalette, 0, 0, nullptr)) : 0;
        std::vector<TPaletteEntry> e(n);
        if (n) n = GetPaletteEntries(FPalette, 0, n, e.data());
        PutUInt32(h + 32, 256);
        PutUInt32(h + 36, n);
        for (unsigned i = 0; i < n; ++i) {
            uint8_t* q = h + 40 + i * 4;
            q[0] = e[i].peBlue;
            q[1] = e[i].peGreen;
            q[2] = e[i].peRed;
            q[3] = 0;
        }
    }
    try {
        FPixels.assign(static_cast<size_t>(Stride()) * FHeight, 0);
    } catch (std::bad_alloc&) {
        FHeader.clear();
        FPixels.clear();
        throw EOutOfMemory("Failed to allocate memory for GIF DIB");
    }
    FBuilt = true;
}

uint8_t* TDIBWriter::RowPointer(int Row) {
    EnsureDIB();
    if (FPixels.empty()) RaiseGIFError("Image has no DIB");
    if (Row < 0 || Row >= FHeight) throw EInvalidGraphicOperation("Scan line index out of range");
    return FPixels.data() + static_cast<size_t>(FHeight - Row - 1) * Stride();
}

void TDIBWriter::CommitToStream(TStream& Stream) {
    EnsureDIB();
    uint8_t f[14] = {'B', 'M'};
    const uint32_t headerSize = static_cast<uint32_t>(FHeader.size());
    PutUInt32(f + 2, static_cast<uint32_t>(14 + headerSize + FPixels.size()));
    PutUInt32(f + 10, 14 + headerSize);
    Stream.WriteBuffer(f, 14);
    Stream.WriteBuffer(FHeader.data(), static_cast<int32_t>(FHeader.size()));
    Stream.WriteBuffer(FPixels.data(), static_cast<int32_t>(FPixels.size()));
}

void TDIBWriter::Commit() {
    if (!FBuilt) return;
    TMemoryStream s;
    CommitToStream(s);
    FHeader.clear();
    FPixels.clear();
    FBuilt = false;
    s.SetPosition(0);
    Bitmap.LoadFromStream(s);
}

// ---------------------------------------------------------------------------------------------
// Conversion into frames

void TGIFSubImage::AssignFrom(TObject* Source) {
    if (auto* f = dynamic_cast<TGIFSubImage*>(Source)) {
        AssignFrame(*f);
    } else if (auto* b = dynamic_cast<TBitmap*>(Source)) {
        AssignBitmap(*b);
    } else if (auto* g = dynamic_cast<TGraphic*>(Source)) {
        AssignGraphic(*g);
    } else if (auto* p = dynamic_cast<TPicture*>(Source)) {
        if (p->Graphic())
            AssignFrom(p->Graphic());
        else
            ResetFrame();
    } else {
        throw EConvertError("Cannot assign a " + (Source ? Source->ClassName() : std::string("nil")) +
                            " to a " + ClassName());
    }
}

void TGIFSubImage::AssignBitmap(TBitmap& Source) {
    ResetFrame();
    if (Source.Empty()) return;
    PlaceFrame(Left, Top, Source.Width(), Source.Height());
    const TPixelFormat f = Source.PixelFormat();
    // The pixels are read from a copy (or the reduced picture); the frame's own bitmap is drawn
    // from its indexes when it is next needed.
    std::unique_ptr<TBitmap> work;
    if (f == pf1bit || f == pf4bit || f == pf8bit) {
        work = std::make_unique<TBitmap>();
        work->Assign(Source);
    } else {
        work = ReduceBitmap(Source, Image ? Image->ReductionMethod : rdWebCube,
                            Image ? Image->DitherKind : dkNearest, 0, Image ? Image->ReductionBitCount : 8);
        if (work->Empty()) RaiseGIFError("Invalid reduction method");
    }
    const TPixelFormat format = work->PixelFormat();
    AllocateData();
    const TRect none{};
    if (Image) Image->Progress(this, psStarting, 0, false, none, "Converting...");
    bool ok = false;
    try {
        const TPixelFormat readAs =
            (format == pf1bit || format == pf4bit || format == pf8bit) ? format : pf24bit;
        TDIBReader reader(*work, readAs);
        if (readAs == pf1bit || readAs == pf4bit)
            LocalMap.FromPalette(work->Palette());
        else if (readAs == pf8bit)
            LocalMap.FromDIBTable(*work);
        // The last colours found: a row of one colour costs one comparison a pixel.
        std::array<std::pair<uint32_t, int>, 8> cache;
        int cacheUsed = 0, lastHit = 0;
        for (int y = 0; y < Height; ++y) {
            if (y % 32 == 0 && y > 0 && Image)
                Image->Progress(this, psRunning, static_cast<uint8_t>(int64_t(y) * 100 / Height), false, none,
                                "Converting...");
            const uint8_t* src = reader.RowPointer(y);
            uint8_t* dst = IndexData.data() + static_cast<size_t>(y) * Width;
            switch (readAs) {
                case pf1bit:
                    for (int x = 0; x < Width; ++x) dst[x] = (src[x / 8] >> (7 - (x & 7))) & 1;
                    break;
                case pf4bit:
                    for (int x = 0; x < Width; ++x) dst[x] = (src[x / 2] >> ((x & 1) ? 0 : 4)) & 0x0F;
                    break;
                case pf8bit:
                    std::memcpy(dst, src, Width);
                    break;
                default:
                    for (int x = 0; x < Width; ++x) {
                        const uint8_t* p = src + x * 3;
                        // Blue in the low byte: red and blue are exchanged in the map at the end.
                        const uint32_t c = p[0] | (p[1] << 8) | (p[2] << 16);
                        int found = -1, i = lastHit;
                        for (int n = 0; n < cacheUsed; ++n) {
                            if (cache[i].first == c) {
                                found = i;
                                break;
                            }
                            i = (i + 7) % 8;
                        }
                        if (found >= 0) {
                            lastHit = found;
                            dst[x] = static_cast<uint8_t>(cache[found].second);
                            continue;
                        }
                        const int index = LocalMap.AppendIfAbsent(static_cast<TColor>(c));
                        const int slot = cacheUsed == 0 ? 0 : (lastHit + 1) % 8;
                        cache[slot] = {c, index};
                        cacheUsed = std::min(8, cacheUsed + 1);
                        lastHit = slot;
                        dst[x] = static_cast<uint8_t>(index);
                    }
            }
        }
        if (readAs != pf1bit && readAs != pf4bit && readAs != pf8bit) {
            for (int i = 0; i < LocalMap.ColorCount; ++i)
                std::swap(LocalMap.Triples[i * 3], LocalMap.Triples[i * 3 + 2]);
            LocalMap.NotifyChanged();
        }
        if (Source.Transparent()) ApplyMask(Source.MaskHandle());
        ok = true;
    } catch (...) {
        if (Image) Image->Progress(this, psEnding, 0, Image->PaletteModified, none, "Converting...");
        throw;
    }
    if (Image) Image->Progress(this, psEnding, ok ? 100 : 0, Image->PaletteModified, none, "Converting...");
}

void TGIFSubImage::ApplyMask(HBITMAP Mask) {
    LocalMap.Compact();
    if (LocalMap.ColorCount < 1 || LocalMap.ColorCount > 255) return;
    const int t = LocalMap.AppendColor(clBlack);
    HDC dc = CreateCompatibleDC(0);
    HGDIOBJ old = SelectObject(dc, Mask);
    bool changed = false;
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x) {
            const TColor m = GetPixel(dc, x, y);
            if (static_cast<uint32_t>(m) != CLR_INVALID && (m & 0xFFFFFF) != 0) {
                IndexData[static_cast<size_t>(y) * Width + x] = static_cast<uint8_t>(t);
                changed = true;
            }
        }
    SelectObject(dc, old);
    DeleteDC(dc);
    if (changed) {
        auto* gce = new TGIFGraphicControlExtension(this);
        ExtensionItems.AppendEntry(gce);
        gce->SetTransparentFlag(true);
        gce->SetTransparentIndex(t);
        DropFrameBitmap();
    } else {
        LocalMap.RemoveColor(t);
    }
}

void TGIFSubImage::AssignGraphic(TGraphic& Source) {
    ResetFrame();
    if (Source.Empty()) return;
    TBitmap b;
    b.SetPixelFormat(pf24bit);
    b.SetSize(Source.Width(), Source.Height());
    if (dynamic_cast<TIcon*>(&Source)) {
        b.Canvas().Brush.Color = clWhite;
        b.Canvas().FillRect(TRect{0, 0, b.Width(), b.Height()});
        Source.Draw(b.Canvas(), TRect{0, 0, b.Width(), b.Height()});
    } else {
        b.Assign(Source);
        b.SetPixelFormat(pf24bit);
    }
    AssignBitmap(b);
    if (auto* icon = dynamic_cast<TIcon*>(&Source)) ApplyMask(icon->MaskBitmap().Handle());
}

}  // namespace codecs
