// Device contexts: their state, memory contexts and the state calls.
#include "framework/graphics/Gdi.h"

#include "framework/graphics/GdiState.h"

namespace framework {

using namespace gdi;

namespace gdi {

DcData* Data(HDC h) {
    TDeviceContext* dc = ContextOf(h);
    if (!dc) return nullptr;
    if (!dc->Gdi) dc->Gdi = std::make_shared<DcData>();
    return static_cast<DcData*>(dc->Gdi.get());
}

QImage* ImageOf(HDC h) {
    TDeviceContext* dc = ContextOf(h);
    if (!dc) return nullptr;
    if (dc->Target) return dc->Target;
    DcData* d = Data(h);
    if (auto* b = FindAs<std::shared_ptr<TBitmapObject>>(d->St.SelBitmap)) return &(*b)->Image;
    if (d->Default) return &d->Default->Image;
    return nullptr;
}

bool IsMono(HDC h) {
    TDeviceContext* dc = ContextOf(h);
    if (!dc || dc->Target) return false;
    DcData* d = Data(h);
    if (auto* b = FindAs<std::shared_ptr<TBitmapObject>>(d->St.SelBitmap)) return (*b)->Monochrome;
    return true;
}

bool Open(HDC h, Ctx& c) {
    DcData* d = Data(h);
    if (!d) return false;
    c.H = h;
    c.St = &d->St;
    c.Img = ImageOf(h);
    if (!c.Img || c.Img->isNull()) return false;
    if (c.Img->format() != QImage::Format_RGB32 && c.Img->format() != QImage::Format_ARGB32 &&
        c.Img->format() != QImage::Format_ARGB32_Premultiplied)
        *c.Img = c.Img->convertToFormat(QImage::Format_RGB32);
    c.WindowPainter = PainterOf(h);
    c.Clip = QRegion(c.Img->rect());
    if (c.WindowPainter && c.WindowPainter->hasClipping()) c.Clip &= c.WindowPainter->clipRegion();
    if (c.St->HasClip) c.Clip &= c.St->Clip;
    c.Mono = IsMono(h);
    return true;
}

}  // namespace gdi

// ---------------------------------------------------------------------------------------------
// Contexts

HDC CreateCompatibleDC(HDC) {
    HDC h = CreateMemoryContext();
    DcData* d = Data(h);
    d->Default = std::make_shared<TBitmapObject>();
    d->Default->Image = QImage(1, 1, QImage::Format_RGB32);
    d->Default->Image.fill(Qt::black);
    d->Default->Monochrome = true;
    return h;
}

bool DeleteDC(HDC Dc) {
    TDeviceContext* dc = ContextOf(Dc);
    if (!dc || dc->Wnd) return false;
    DeleteMemoryContext(Dc);
    return true;
}

HBITMAP CreateCompatibleBitmap(HDC Dc, int Width, int Height) {
    auto b = std::make_shared<TBitmapObject>();
    b->Image = QImage(std::max(1, Width), std::max(1, Height), QImage::Format_RGB32);
    b->Image.fill(Qt::black);
    b->Monochrome = Dc && IsMono(Dc);
    return CreateBitmapObject(std::move(b));
}

HBITMAP CreateBitmap(int Width, int Height, int, int BitsPerPixel, const void* Bits) {
    auto b = std::make_shared<TBitmapObject>();
    b->Image = QImage(std::max(1, Width), std::max(1, Height), QImage::Format_RGB32);
    b->Image.fill(Qt::black);
    b->Monochrome = BitsPerPixel == 1;
    if (Bits && BitsPerPixel == 1) {
        // Rows of 16-bit words, set bits white.
        const auto* p = static_cast<const uint8_t*>(Bits);
        int stride = ((Width + 15) / 16) * 2;
        for (int y = 0; y < Height; ++y)
            for (int x = 0; x < Width; ++x)
                if (p[y * stride + x / 8] & (0x80 >> (x % 8))) b->Image.setPixel(x, y, 0xFFFFFFFF);
    }
    return CreateBitmapObject(std::move(b));
}

int SaveDC(HDC Dc) {
    DcData* d = Data(Dc);
    if (!d) return 0;
    d->Saved.push_back(d->St);
    return static_cast<int>(d->Saved.size());
}

bool RestoreDC(HDC Dc, int Saved) {
    DcData* d = Data(Dc);
    if (!d || d->Saved.empty()) return false;
    int n = static_cast<int>(d->Saved.size());
    int level = Saved < 0 ? n + 1 + Saved : Saved;
    if (level < 1 || level > n) return false;
    d->St = d->Saved[level - 1];
    d->Saved.resize(level - 1);
    return true;
}

#define KORVANE_STATE(name, field, type)               \
    type Set##name(HDC Dc, type Value) {               \
        DcData* d = Data(Dc);                          \
        if (!d) return 0;                              \
        type old = static_cast<type>(d->St.field);     \
        d->St.field = Value;                           \
        return old;                                    \
    }                                                  \
    type Get##name(HDC Dc) {                           \
        DcData* d = Data(Dc);                          \
        return d ? static_cast<type>(d->St.field) : 0; \
    }
KORVANE_STATE(BkMode, BkMode, int)
KORVANE_STATE(ROP2, Rop2, int)
KORVANE_STATE(TextAlign, TextAlign, uint32_t)
#undef KORVANE_STATE

int SetStretchBltMode(HDC Dc, int Mode) {
    DcData* d = Data(Dc);
    if (!d) return 0;
    return std::exchange(d->St.StretchMode, Mode);
}

TColor SetBkColor(HDC Dc, TColor Color) {
    DcData* d = Data(Dc);
    if (!d) return static_cast<TColor>(CLR_INVALID);
    return static_cast<TColor>(std::exchange(d->St.BkColor, ColorToRGB(Color)));
}
TColor GetBkColor(HDC Dc) {
    DcData* d = Data(Dc);
    return d ? static_cast<TColor>(d->St.BkColor) : static_cast<TColor>(CLR_INVALID);
}
TColor SetTextColor(HDC Dc, TColor Color) {
    DcData* d = Data(Dc);
    if (!d) return static_cast<TColor>(CLR_INVALID);
    return static_cast<TColor>(std::exchange(d->St.TextColor, ColorToRGB(Color)));
}
TColor GetTextColor(HDC Dc) {
    DcData* d = Data(Dc);
    return d ? static_cast<TColor>(d->St.TextColor) : static_cast<TColor>(CLR_INVALID);
}

bool SetBrushOrgEx(HDC Dc, int X, int Y, TPoint* Old) {
    DcData* d = Data(Dc);
    if (!d) return false;
    if (Old) *Old = TPoint{d->St.BrushOrg.x(), d->St.BrushOrg.y()};
    d->St.BrushOrg = QPoint(X, Y);
    return true;
}

bool SetViewportOrgEx(HDC Dc, int X, int Y, TPoint* Old) {
    DcData* d = Data(Dc);
    if (!d) return false;
    if (Old) *Old = TPoint{d->St.Org.x(), d->St.Org.y()};
    d->St.Org = QPoint(X, Y);
    return true;
}
bool GetViewportOrgEx(HDC Dc, TPoint* Org) {
    DcData* d = Data(Dc);
    if (!d || !Org) return false;
    *Org = TPoint{d->St.Org.x(), d->St.Org.y()};
    return true;
}
bool SetWindowOrgEx(HDC Dc, int X, int Y, TPoint* Old) {
    DcData* d = Data(Dc);
    if (!d) return false;
    if (Old) *Old = TPoint{-d->St.Org.x(), -d->St.Org.y()};
    d->St.Org = QPoint(-X, -Y);
    return true;
}

int GetDeviceCaps(HDC Dc, int Index) {
    switch (Index) {
        case LOGPIXELSX:
        case LOGPIXELSY:
            return 96;
        case BITSPIXEL:
            return Dc && IsMono(Dc) ? 1 : 24;
        case PLANES:
            return 1;
        case NUMCOLORS:
            return -1;
        case SIZEPALETTE:
            return 0;
        case RASTERCAPS:
            return 0x0001 | 0x0008 | 0x0800;  // bitblt, bitmap64, stretchblt
        case HORZRES:
        case VERTRES: {
            QImage* img = Dc ? ImageOf(Dc) : nullptr;
            if (img) return Index == HORZRES ? img->width() : img->height();
            return Index == HORZRES ? 1024 : 768;
        }
    }
    return 0;
}

}  // namespace framework
