// The pixel rules shared by the drawing calls.
#include "framework/graphics/Gdi.h"

#include <QPen>

#include "framework/graphics/GdiState.h"

namespace framework {

using namespace gdi;

namespace gdi {

uint32_t MonoOf(uint32_t rgb) {
    int lum = GetRValue(rgb) * 30 + GetGValue(rgb) * 59 + GetBValue(rgb) * 11;
    return lum >= 12750 ? 0xFFFFFF : 0;
}

uint32_t Rop2(int mode, uint32_t P, uint32_t D) {
    switch (mode) {
        case R2_COPYPEN:
            return P;
        case R2_XORPEN:
            return P ^ D;
        case R2_NOT:
            return ~D & 0xFFFFFF;
        case R2_MASKPEN:
            return P & D;
        case R2_MERGEPEN:
            return P | D;
        default:
            break;
    }
    unsigned t = static_cast<unsigned>(mode - 1) & 15;
    uint32_t r = 0;
    for (int i = 0; i < 4; ++i)
        if ((t >> i) & 1) r |= ((i & 2) ? P : ~P) & ((i & 1) ? D : ~D);
    return r & 0xFFFFFF;
}

uint32_t Rop3(uint8_t t, uint32_t P, uint32_t S, uint32_t D) {
    switch (t) {
        case 0xCC:
            return S;
        case 0x88:
            return S & D;
        case 0xEE:
            return S | D;
        case 0x66:
            return S ^ D;
        case 0xF0:
            return P;
        case 0xAA:
            return D;
        default:
            break;
    }
    uint32_t r = 0;
    for (int i = 0; i < 8; ++i)
        if ((t >> i) & 1) r |= ((i & 4) ? P : ~P) & ((i & 2) ? S : ~S) & ((i & 1) ? D : ~D);
    return r & 0xFFFFFF;
}

// The brush colour at a device pixel; false where a hatch leaves the background alone.
bool BrushAt(const Ctx& c, const BrushObj& b, int x, int y, uint32_t& rgb) {
    switch (b.Style) {
        case BS_NULL:
            return false;
        case BS_SOLID:
            rgb = b.Rgb;
            return true;
        case BS_PATTERN: {
            if (b.Pattern.size() != 64) return false;
            int px = (x - c.St->BrushOrg.x()) & 7, py = (y - c.St->BrushOrg.y()) & 7;
            rgb = b.Pattern[py * 8 + px];
            return true;
        }
        case BS_HATCHED: {
            int px = (x - c.St->BrushOrg.x()) & 7, py = (y - c.St->BrushOrg.y()) & 7;
            bool h = py == 0, v = px == 0, f = px == py, d = px == 7 - py;
            bool on = false;
            switch (b.Hatch) {
                case HS_HORIZONTAL:
                    on = h;
                    break;
                case HS_VERTICAL:
                    on = v;
                    break;
                case HS_FDIAGONAL:
                    on = f;
                    break;
                case HS_BDIAGONAL:
                    on = d;
                    break;
                case HS_CROSS:
                    on = h || v;
                    break;
                default:
                    on = f || d;
                    break;
            }
            if (on) {
                rgb = b.Rgb;
                return true;
            }
            if (c.St->BkMode != OPAQUE) return false;
            rgb = c.St->BkColor;
            return true;
        }
    }
    return false;
}

// Fills device rectangle R (within the clip) with the brush through the pen's mix mode.
void FillDevice(Ctx& c, const QRect& r, const BrushObj& b, int rop2) {
    if (b.Style == BS_NULL || rop2 == R2_NOP) return;
    if (b.Style == BS_SOLID && (rop2 == R2_COPYPEN || rop2 == R2_BLACK || rop2 == R2_WHITE)) {
        uint32_t rgb = rop2 == R2_COPYPEN ? b.Rgb : rop2 == R2_WHITE ? 0xFFFFFF : 0;
        uint32_t q = ToQRgb(c.Mono ? MonoOf(rgb) : rgb);
        for (const QRect& part : c.Clip& QRegion(r))
            for (int y = part.top(); y <= part.bottom(); ++y) {
                auto* row = reinterpret_cast<uint32_t*>(c.Img->scanLine(y));
                std::fill(row + part.left(), row + part.right() + 1, q);
            }
        return;
    }
    for (const QRect& part : c.Clip& QRegion(r))
        for (int y = part.top(); y <= part.bottom(); ++y)
            for (int x = part.left(); x <= part.right(); ++x) {
                uint32_t rgb;
                if (!BrushAt(c, b, x, y, rgb)) continue;
                Store(c, x, y, Rop2(rop2, rgb, ReadRgb(c.Img, x, y)));
            }
}

void PlotDevice(Ctx& c, int x, int y, uint32_t rgb, int rop2) {
    if (!c.Clip.contains(QPoint(x, y))) return;
    Store(c, x, y, Rop2(rop2, rgb, ReadRgb(c.Img, x, y)));
}

// Dash patterns of cosmetic pens, in pixels on/off.
std::vector<int> DashOf(int style) {
    switch (style) {
        case PS_DASH:
            return {18, 6};
        case PS_DOT:
            return {3, 3};
        case PS_DASHDOT:
            return {9, 6, 3, 6};
        case PS_DASHDOTDOT:
            return {9, 3, 3, 3, 3, 3};
        default:
            return {};
    }
}

// A cosmetic line from (x0,y0) to (x1,y1), device coordinates, without its last pixel.
void ThinLine(Ctx& c, int x0, int y0, int x1, int y1) {
    const PenObj& pen = c.St->Pen;
    std::vector<int> dash = DashOf(pen.Style);
    int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
    int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    int step = 0, seg = 0, inSeg = 0;
    while (!(x0 == x1 && y0 == y1)) {
        bool on = true;
        if (!dash.empty()) {
            on = (seg % 2) == 0;
            if (++inSeg >= dash[seg]) {
                inSeg = 0;
                seg = (seg + 1) % static_cast<int>(dash.size());
            }
        }
        if (on)
            PlotDevice(c, x0, y0, pen.Rgb, c.St->Rop2);
        else if (c.St->BkMode == OPAQUE)
            PlotDevice(c, x0, y0, c.St->BkColor, c.St->Rop2);
        int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
        ++step;
    }
}

void PenLine(Ctx& c, QPoint a, QPoint b) {
    const PenObj& pen = c.St->Pen;
    if (pen.Style == PS_NULL) return;
    if (pen.Width <= 1) {
        ThinLine(c, a.x(), a.y(), b.x(), b.y());
        return;
    }
    int w = pen.Width;
    QRect bounds = QRect(a, b).normalized().adjusted(-w, -w, w, w);
    ApplyShape(
        c, bounds,
        [&](QPainter& p) {
            p.setPen(QPen(Qt::black, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.drawLine(QPointF(a) + QPointF(0.5, 0.5), QPointF(b) + QPointF(0.5, 0.5));
        },
        [&](int, int, uint32_t& rgb) {
            rgb = pen.Rgb;
            return true;
        },
        c.St->Rop2);
}

std::function<bool(int, int, uint32_t&)> BrushColour(Ctx& c) {
    return [&c](int x, int y, uint32_t& rgb) { return BrushAt(c, c.St->Brush, x, y, rgb); };
}
std::function<bool(int, int, uint32_t&)> PenColour(Ctx& c) {
    return [&c](int, int, uint32_t& rgb) {
        rgb = c.St->Pen.Rgb;
        return true;
    };
}

}  // namespace gdi

}  // namespace framework
