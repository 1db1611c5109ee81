#pragma once
// Private to the drawing layer: the objects behind drawing handles, the state of a device context,
// and the pixel rules every drawing call shares (raster operations, brushes, cosmetic lines and
// shapes drawn as coverage masks). Pulls in Qt.

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRegion>
#include <functional>
#include <map>
#include <memory>
#include <variant>
#include <vector>

#include "framework/graphics/Gdi.h"
#include "framework/graphics/GdiImpl.h"
#include "framework/ui/WindowsImpl.h"

namespace framework::gdi {

// ---------------------------------------------------------------------------------------------
// Objects by handle

struct PenObj {
    int Style = PS_SOLID;
    int Width = 1;
    uint32_t Rgb = 0;
};
struct BrushObj {
    int Style = BS_SOLID;
    uint32_t Rgb = 0xFFFFFF;
    int Hatch = 0;
    std::vector<uint32_t> Pattern;  // 64 RGB values for BS_PATTERN
};
struct RegionObj {
    QRegion Rgn;
};
struct PaletteObj {
    std::vector<TPaletteEntry> Entries;
};
using GdiObject =
    std::variant<PenObj, BrushObj, TLogFont, std::shared_ptr<TBitmapObject>, RegionObj, PaletteObj>;

struct ObjectTable {
    std::map<uintptr_t, std::unique_ptr<GdiObject>> Objects;
    std::map<int, HGDIOBJ> Stock;
    std::map<int, HBRUSH> SysBrushes;
};
ObjectTable& Objects();

HGDIOBJ AddObject(GdiObject o);
GdiObject* Find(HGDIOBJ h);
template <class T>
T* FindAs(HGDIOBJ h) {
    GdiObject* o = Find(h);
    return o ? std::get_if<T>(o) : nullptr;
}
bool IsStock(HGDIOBJ h);
// The brush of a handle; a system colour index plus one stands for that colour's brush (made in tmp).
const BrushObj* BrushFor(HDC Dc, HBRUSH Brush, BrushObj& tmp);

TLogFont DefaultFont();

// ---------------------------------------------------------------------------------------------
// Context state

struct State {
    PenObj Pen;
    BrushObj Brush;
    TLogFont Font = DefaultFont();
    HGDIOBJ SelPen = 0, SelBrush = 0, SelFont = 0;
    HBITMAP SelBitmap = 0;
    HPALETTE SelPalette = 0;
    uint32_t BkColor = 0xFFFFFF;
    uint32_t TextColor = 0;
    int BkMode = OPAQUE;
    int Rop2 = R2_COPYPEN;
    int StretchMode = BLACKONWHITE;
    uint32_t TextAlign = TA_LEFT | TA_TOP;
    QPoint Org;       // logical (0,0) in device coordinates
    QPoint BrushOrg;  // device coordinates
    QPoint Pos;       // current position, logical
    bool HasClip = false;
    QRegion Clip;       // device coordinates
    int CharExtra = 0;  // pixels after every character of text
    // The path of BeginPath/EndPath, device coordinates: open while text adds to it.
    bool PathOpen = false;
    bool HasPath = false;
    QPainterPath Path;
};
struct DcData {
    State St;
    std::vector<State> Saved;
    std::shared_ptr<TBitmapObject> Default;  // the 1×1 monochrome bitmap of a new memory context
};
DcData* Data(HDC h);
QImage* ImageOf(HDC h);
bool IsMono(HDC h);

// Everything one drawing call needs: where the pixels are and which of them may change.
struct Ctx {
    HDC H = 0;
    State* St = nullptr;
    QImage* Img = nullptr;
    QPainter* WindowPainter = nullptr;
    QRegion Clip;  // device coordinates, within the image
    bool Mono = false;
    QPoint Dev(int x, int y) const { return QPoint(x, y) + St->Org; }
};
bool Open(HDC h, Ctx& c);

// A painter for Qt's share of the drawing (text): the window's own, or one made for the call.
class PainterScope {
public:
    explicit PainterScope(Ctx& c) {
        if (c.WindowPainter) {
            P = c.WindowPainter;
            P->save();
        } else {
            Own = std::make_unique<QPainter>(c.Img);
            P = Own.get();
        }
        P->setClipRegion(c.Clip);
        P->setRenderHint(QPainter::Antialiasing, false);
        P->setRenderHint(QPainter::TextAntialiasing, false);
    }
    ~PainterScope() {
        if (Own)
            Own->end();
        else
            P->restore();
    }
    QPainter* operator->() { return P; }
    QPainter* P = nullptr;

private:
    std::unique_ptr<QPainter> Own;
};

// ---------------------------------------------------------------------------------------------
// Pixels

uint32_t MonoOf(uint32_t rgb);
uint32_t Rop2(int mode, uint32_t P, uint32_t D);
uint32_t Rop3(uint8_t t, uint32_t P, uint32_t S, uint32_t D);

inline uint32_t& PixelRef(QImage* img, int x, int y) {
    return reinterpret_cast<uint32_t*>(img->scanLine(y))[x];
}
inline uint32_t ReadRgb(const QImage* img, int x, int y) {
    return FromQRgb(reinterpret_cast<const uint32_t*>(img->constScanLine(y))[x]);
}
inline void Store(Ctx& c, int x, int y, uint32_t rgb) {
    if (c.Mono) rgb = MonoOf(rgb);
    PixelRef(c.Img, x, y) = ToQRgb(rgb);
}

// The brush colour at a device pixel; false where a hatch leaves the background alone.
bool BrushAt(const Ctx& c, const BrushObj& b, int x, int y, uint32_t& rgb);
// Fills device rectangle R (within the clip) with the brush through the pen's mix mode.
void FillDevice(Ctx& c, const QRect& r, const BrushObj& b, int rop2);
void PlotDevice(Ctx& c, int x, int y, uint32_t rgb, int rop2);

// A coverage mask drawn by Qt without antialiasing, then applied pixel by pixel.
template <class F>
void ApplyShape(Ctx& c, QRect bounds, F draw, const std::function<bool(int, int, uint32_t&)>& colour,
                int rop2) {
    bounds &= c.Clip.boundingRect();
    if (bounds.isEmpty() || rop2 == R2_NOP) return;
    QImage mask(bounds.size(), QImage::Format_ARGB32);
    mask.fill(0);
    {
        QPainter p(&mask);
        p.setRenderHint(QPainter::Antialiasing, false);
        p.translate(-bounds.topLeft());
        draw(p);
    }
    for (const QRect& part : c.Clip& QRegion(bounds))
        for (int y = part.top(); y <= part.bottom(); ++y) {
            const auto* m = reinterpret_cast<const uint32_t*>(mask.constScanLine(y - bounds.top()));
            for (int x = part.left(); x <= part.right(); ++x) {
                if (!(m[x - bounds.left()] >> 24)) continue;
                uint32_t rgb;
                if (!colour(x, y, rgb)) continue;
                Store(c, x, y, Rop2(rop2, rgb, ReadRgb(c.Img, x, y)));
            }
        }
}

// Dash patterns of cosmetic pens, in pixels on/off.
std::vector<int> DashOf(int style);
// A cosmetic line from (x0,y0) to (x1,y1), device coordinates, without its last pixel.
void ThinLine(Ctx& c, int x0, int y0, int x1, int y1);
void PenLine(Ctx& c, QPoint a, QPoint b);
std::function<bool(int, int, uint32_t&)> BrushColour(Ctx& c);
std::function<bool(int, int, uint32_t&)> PenColour(Ctx& c);

// Outline and fill of a closed shape drawn by Qt. Qt's aliased fills take a pixel when the shape
// holds its top-left corner; fills of curved shapes are moved up and left by half a pixel so that
// the test falls on the pixel's centre and the shape comes out symmetric within its box.
// Fill gets the rectangle to fill (inside the outline when there is a pen).
template <class Fill, class Outline>
void Shape(Ctx& c, QRect box, Fill fill, Outline outline) {
    const PenObj& pen = c.St->Pen;
    int w = pen.Style == PS_NULL ? 0 : std::max(1, pen.Width);
    QRect bounds = box.adjusted(-w, -w, w, w);
    QRectF area = QRectF(box).adjusted(0, 0, 1, 1).translated(-0.5, -0.5);
    if (w) area.adjust(0.5, 0.5, -0.5, -0.5);
    if (c.St->Brush.Style != BS_NULL)
        ApplyShape(
            c, bounds,
            [&](QPainter& p) {
                p.setPen(Qt::NoPen);
                p.setBrush(Qt::black);
                fill(p, area);
            },
            BrushColour(c), c.St->Rop2);
    if (w)
        ApplyShape(
            c, bounds,
            [&](QPainter& p) {
                QPen qp(Qt::black, w == 1 ? 0 : w);
                qp.setCosmetic(w == 1);
                if (w == 1 && pen.Style != PS_SOLID && pen.Style != PS_INSIDEFRAME) {
                    QVector<qreal> d;
                    for (int v : DashOf(pen.Style)) d << v;
                    if (!d.isEmpty()) qp.setDashPattern(d);
                }
                p.setPen(qp);
                p.setBrush(Qt::NoBrush);
                outline(p);
            },
            PenColour(c), c.St->Rop2);
}

}  // namespace framework::gdi
