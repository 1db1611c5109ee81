// Bit transfers between contexts.
#include "framework/graphics/Gdi.h"

#include <cmath>

#include "framework/graphics/GdiState.h"

namespace framework {

using namespace gdi;

// ---------------------------------------------------------------------------------------------
// Bit transfers

namespace {
// Colour of a source pixel as the destination sees it: monochrome to colour takes the
// destination's text (black) and background (white) colours; colour to monochrome is white where
// the source equals its context's background colour.
struct SourceView {
    const QImage* Img = nullptr;
    bool Mono = false;
    uint32_t Bk = 0xFFFFFF;
};

uint32_t Convert(const SourceView& s, uint32_t rgb, const Ctx& dest) {
    if (s.Mono && !dest.Mono) return rgb ? dest.St->BkColor : dest.St->TextColor;
    if (!s.Mono && dest.Mono) return rgb == s.Bk ? 0xFFFFFF : 0;
    return rgb;
}

bool Transfer(HDC Dest, QRect dst, HDC Src, QRect src, uint32_t Rop, const QImage* mask, QPoint maskAt,
              int64_t key = -1, bool keyBrush = false, bool flipX = false, bool flipY = false) {
    Ctx c;
    if (!Open(Dest, c)) return false;
    uint8_t fore = (Rop >> 16) & 0xFF, back = (Rop >> 24) & 0xFF;
    // An operation uses an operand when its truth table differs between the operand's two values.
    bool usesSource =
        ((fore >> 2) & 0x33) != (fore & 0x33) || (mask && ((back >> 2) & 0x33) != (back & 0x33));
    bool usesPattern =
        ((fore >> 4) & 0x0F) != (fore & 0x0F) || (mask && ((back >> 4) & 0x0F) != (back & 0x0F)) || keyBrush;
    SourceView sv;
    QImage copy;
    if (usesSource || Src) {
        Ctx s;
        if (!Open(Src, s)) {
            if (usesSource) return false;
        } else {
            // A copy keeps a transfer within one surface right when the areas overlap.
            if (s.Img == c.Img) {
                copy = s.Img->copy();
                sv.Img = &copy;
            } else {
                sv.Img = s.Img;
            }
            sv.Mono = s.Mono;
            sv.Bk = s.St->BkColor;
            src.translate(s.St->Org);
        }
    }
    dst.translate(c.St->Org);
    if (dst.isEmpty()) return true;
    const int sw = src.width(), sh = src.height();
    for (const QRect& part : c.Clip& QRegion(dst))
        for (int y = part.top(); y <= part.bottom(); ++y) {
            int ry = y - dst.top();
            int sy = src.top() + static_cast<int>(static_cast<int64_t>(flipY ? dst.height() - 1 - ry : ry) *
                                                  sh / dst.height());
            for (int x = part.left(); x <= part.right(); ++x) {
                int rx = x - dst.left();
                uint32_t S = 0;
                if (sv.Img) {
                    int sx = src.left() +
                             static_cast<int>(static_cast<int64_t>(flipX ? dst.width() - 1 - rx : rx) * sw /
                                              dst.width());
                    if (sx < 0 || sy < 0 || sx >= sv.Img->width() || sy >= sv.Img->height()) continue;
                    uint32_t raw = ReadRgb(sv.Img, sx, sy);
                    if (key >= 0 && raw == static_cast<uint32_t>(key)) {
                        uint32_t b;
                        if (keyBrush && BrushAt(c, c.St->Brush, x, y, b)) Store(c, x, y, b);
                        continue;
                    }
                    S = Convert(sv, raw, c);
                }
                uint32_t P = 0;
                if (usesPattern) {
                    if (!BrushAt(c, c.St->Brush, x, y, P)) P = 0;
                    if (c.Mono) P = MonoOf(P);
                }
                uint8_t t = fore;
                if (mask) {
                    int mx = maskAt.x() + rx, my = maskAt.y() + ry;
                    bool bit = mx >= 0 && my >= 0 && mx < mask->width() && my < mask->height() &&
                               (ReadRgb(mask, mx, my) & 0xFFFFFF) != 0;
                    t = bit ? fore : back;
                }
                Store(c, x, y, Rop3(t, P, S, ReadRgb(c.Img, x, y)));
            }
        }
    return true;
}
}  // namespace

bool BitBlt(HDC Dest, int X, int Y, int Width, int Height, HDC Src, int XSrc, int YSrc, uint32_t Rop) {
    return Transfer(Dest, QRect(X, Y, Width, Height), Src, QRect(XSrc, YSrc, Width, Height), Rop, nullptr,
                    {});
}

bool StretchBlt(HDC Dest, int X, int Y, int Width, int Height, HDC Src, int XSrc, int YSrc, int SrcWidth,
                int SrcHeight, uint32_t Rop) {
    if (Width == 0 || Height == 0 || SrcWidth == 0 || SrcHeight == 0) return false;
    // A negative extent mirrors: the rectangle then runs from X + Width up to X - 1.
    auto span = [](int x, int y, int w, int h) {
        return QRect(w < 0 ? x + w : x, h < 0 ? y + h : y, std::abs(w), std::abs(h));
    };
    return Transfer(Dest, span(X, Y, Width, Height), Src, span(XSrc, YSrc, SrcWidth, SrcHeight), Rop, nullptr,
                    {}, -1, false, (Width < 0) != (SrcWidth < 0), (Height < 0) != (SrcHeight < 0));
}

bool KeyedStretchBlt(HDC Dest, const TRect& D, HDC Src, const TRect& S, uint32_t KeyRgb, bool PaintBrush) {
    return Transfer(Dest, QRect(D.Left, D.Top, D.Width(), D.Height()), Src,
                    QRect(S.Left, S.Top, S.Width(), S.Height()), SRCCOPY, nullptr, {}, KeyRgb, PaintBrush);
}

bool PatBlt(HDC Dc, int X, int Y, int Width, int Height, uint32_t Rop) {
    return Transfer(Dc, QRect(X, Y, Width, Height), 0, QRect(), Rop, nullptr, {});
}

bool MaskBlt(HDC Dest, int X, int Y, int Width, int Height, HDC Src, int XSrc, int YSrc, HBITMAP Mask,
             int XMask, int YMask, uint32_t Rop4) {
    TBitmapObject* m = BitmapObjectOf(Mask);
    if (!m) return BitBlt(Dest, X, Y, Width, Height, Src, XSrc, YSrc, Rop4 & 0xFFFFFF);
    return Transfer(Dest, QRect(X, Y, Width, Height), Src, QRect(XSrc, YSrc, Width, Height), Rop4, &m->Image,
                    QPoint(XMask, YMask));
}

}  // namespace framework
