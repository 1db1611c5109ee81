// Lines, shapes, fills, edges and frame controls.
#include "framework/graphics/Gdi.h"

#include <QPainterPath>
#include <cmath>

#include "framework/graphics/GdiState.h"

namespace framework {

using namespace gdi;

// ---------------------------------------------------------------------------------------------
// Lines and shapes

bool MoveToEx(HDC Dc, int X, int Y, TPoint* Old) {
    DcData* d = Data(Dc);
    if (!d) return false;
    if (Old) *Old = TPoint{d->St.Pos.x(), d->St.Pos.y()};
    d->St.Pos = QPoint(X, Y);
    return true;
}

bool LineTo(HDC Dc, int X, int Y) {
    Ctx c;
    if (!Open(Dc, c)) {
        if (DcData* d = Data(Dc)) d->St.Pos = QPoint(X, Y);
        return false;
    }
    PenLine(c, c.St->Pos + c.St->Org, c.Dev(X, Y));
    c.St->Pos = QPoint(X, Y);
    return true;
}

bool Polyline(HDC Dc, const TPoint* Points, int Count) {
    Ctx c;
    if (!Open(Dc, c) || Count < 2) return false;
    for (int i = 1; i < Count; ++i)
        PenLine(c, c.Dev(Points[i - 1].X, Points[i - 1].Y), c.Dev(Points[i].X, Points[i].Y));
    return true;
}

bool Polygon(HDC Dc, const TPoint* Points, int Count) {
    Ctx c;
    if (!Open(Dc, c) || Count < 2) return false;
    QPolygon poly;
    for (int i = 0; i < Count; ++i) poly << c.Dev(Points[i].X, Points[i].Y);
    QRect box = poly.boundingRect();
    if (c.St->Brush.Style != BS_NULL)
        ApplyShape(
            c, box.adjusted(-1, -1, 1, 1),
            [&](QPainter& p) {
                p.setPen(Qt::NoPen);
                p.setBrush(Qt::black);
                p.drawPolygon(poly, Qt::OddEvenFill);
            },
            BrushColour(c), c.St->Rop2);
    for (int i = 0; i < Count; ++i) PenLine(c, poly[i], poly[(i + 1) % Count]);
    return true;
}

bool Rectangle(HDC Dc, int Left, int Top, int Right, int Bottom) {
    Ctx c;
    if (!Open(Dc, c)) return false;
    QPoint a = c.Dev(std::min(Left, Right), std::min(Top, Bottom));
    QPoint b = c.Dev(std::max(Left, Right), std::max(Top, Bottom));
    const PenObj& pen = c.St->Pen;
    if (pen.Style == PS_NULL) {
        // Without a pen the filled area is one pixel smaller each way.
        FillDevice(c, QRect(a, b - QPoint(2, 2)), c.St->Brush, c.St->Rop2);
        return true;
    }
    int w = std::max(1, pen.Width);
    if (w == 1 || pen.Style == PS_INSIDEFRAME) {
        FillDevice(c, QRect(a + QPoint(w, w), b - QPoint(w + 1, w + 1)), c.St->Brush, c.St->Rop2);
        for (int i = 0; i < w; ++i) {
            QPoint tl = a + QPoint(i, i), br = b - QPoint(1 + i, 1 + i);
            if (br.x() < tl.x() || br.y() < tl.y()) break;
            if (w == 1 && pen.Style != PS_SOLID && pen.Style != PS_INSIDEFRAME) {
                ThinLine(c, tl.x(), tl.y(), br.x(), tl.y());
                ThinLine(c, br.x(), tl.y(), br.x(), br.y());
                ThinLine(c, br.x(), br.y(), tl.x(), br.y());
                ThinLine(c, tl.x(), br.y(), tl.x(), tl.y());
            } else {
                BrushObj solid{BS_SOLID, pen.Rgb, 0, {}};
                FillDevice(c, QRect(tl, QPoint(br.x(), tl.y())), solid, c.St->Rop2);
                if (br.y() > tl.y()) FillDevice(c, QRect(QPoint(tl.x(), br.y()), br), solid, c.St->Rop2);
                if (br.y() - tl.y() > 1) {
                    FillDevice(c, QRect(QPoint(tl.x(), tl.y() + 1), QPoint(tl.x(), br.y() - 1)), solid,
                               c.St->Rop2);
                    if (br.x() > tl.x())
                        FillDevice(c, QRect(QPoint(br.x(), tl.y() + 1), QPoint(br.x(), br.y() - 1)), solid,
                                   c.St->Rop2);
                }
            }
        }
        return true;
    }
    // A wide pen is centred on the rectangle's outline.
    QRect box(a, b - QPoint(1, 1));
    Shape(
        c, box, [&](QPainter& p, QRectF) { p.drawRect(QRectF(box).adjusted(0.5, 0.5, 0.5, 0.5)); },
        [&](QPainter& p) { p.drawRect(QRectF(box).adjusted(0.5, 0.5, 0.5, 0.5)); });
    return true;
}

bool RoundRect(HDC Dc, int Left, int Top, int Right, int Bottom, int Width, int Height) {
    Ctx c;
    if (!Open(Dc, c)) return false;
    QRect box(c.Dev(Left, Top), c.Dev(Right, Bottom) - QPoint(1, 1));
    QRectF f = QRectF(box).adjusted(0.5, 0.5, -0.5, -0.5);
    Shape(
        c, box, [&](QPainter& p, QRectF a) { p.drawRoundedRect(a, Width / 2.0, Height / 2.0); },
        [&](QPainter& p) { p.drawRoundedRect(f.adjusted(0, 0, 1, 1), Width / 2.0, Height / 2.0); });
    return true;
}

bool Ellipse(HDC Dc, int Left, int Top, int Right, int Bottom) {
    Ctx c;
    if (!Open(Dc, c)) return false;
    QRect box(c.Dev(Left, Top), c.Dev(Right, Bottom) - QPoint(1, 1));
    Shape(
        c, box, [&](QPainter& p, QRectF a) { p.drawEllipse(a); },
        [&](QPainter& p) { p.drawEllipse(QRectF(box).adjusted(0.5, 0.5, -0.5, -0.5)); });
    return true;
}

namespace {
// Qt angles (sixteenths of a degree, anticlockwise) of the arc from radial 3 to radial 4.
void ArcAngles(QRectF box, int x3, int y3, int x4, int y4, int& start, int& span) {
    QPointF ctr = box.center();
    double a3 = std::atan2(-(y3 - ctr.y()), x3 - ctr.x()) * 180 / M_PI;
    double a4 = std::atan2(-(y4 - ctr.y()), x4 - ctr.x()) * 180 / M_PI;
    double s = std::fmod(a4 - a3 + 720, 360);
    if (s == 0) s = 360;
    start = static_cast<int>(std::lround(a3 * 16));
    span = static_cast<int>(std::lround(s * 16));
}
}  // namespace

bool Arc(HDC Dc, int Left, int Top, int Right, int Bottom, int X3, int Y3, int X4, int Y4) {
    Ctx c;
    if (!Open(Dc, c) || c.St->Pen.Style == PS_NULL) return false;
    QRect box(c.Dev(Left, Top), c.Dev(Right, Bottom) - QPoint(1, 1));
    QPoint o = c.St->Org;
    int start, span;
    ArcAngles(QRectF(box).adjusted(0.5, 0.5, -0.5, -0.5), X3 + o.x(), Y3 + o.y(), X4 + o.x(), Y4 + o.y(),
              start, span);
    int w = std::max(1, c.St->Pen.Width);
    ApplyShape(
        c, box.adjusted(-w, -w, w, w),
        [&](QPainter& p) {
            QPen qp(Qt::black, w == 1 ? 0 : w);
            qp.setCosmetic(w == 1);
            p.setPen(qp);
            p.drawArc(QRectF(box).adjusted(0.5, 0.5, -0.5, -0.5), start, span);
        },
        PenColour(c), c.St->Rop2);
    return true;
}

bool Pie(HDC Dc, int Left, int Top, int Right, int Bottom, int X3, int Y3, int X4, int Y4) {
    Ctx c;
    if (!Open(Dc, c)) return false;
    QRect box(c.Dev(Left, Top), c.Dev(Right, Bottom) - QPoint(1, 1));
    QPoint o = c.St->Org;
    int start, span;
    ArcAngles(QRectF(box).adjusted(0.5, 0.5, -0.5, -0.5), X3 + o.x(), Y3 + o.y(), X4 + o.x(), Y4 + o.y(),
              start, span);
    Shape(
        c, box, [&](QPainter& p, QRectF a) { p.drawPie(a, start, span); },
        [&](QPainter& p) { p.drawPie(QRectF(box).adjusted(0.5, 0.5, -0.5, -0.5), start, span); });
    return true;
}

int FillRect(HDC Dc, const TRect& R, HBRUSH Brush) {
    Ctx c;
    BrushObj tmp;
    const BrushObj* b = BrushFor(Dc, Brush, tmp);
    if (!b || !Open(Dc, c) || R.IsEmpty()) return 0;
    FillDevice(c, QRect(c.Dev(R.Left, R.Top), c.Dev(R.Right - 1, R.Bottom - 1)), *b, R2_COPYPEN);
    return 1;
}

int FrameRect(HDC Dc, const TRect& R, HBRUSH Brush) {
    Ctx c;
    BrushObj tmp;
    const BrushObj* b = BrushFor(Dc, Brush, tmp);
    if (!b || !Open(Dc, c) || R.IsEmpty()) return 0;
    QPoint a = c.Dev(R.Left, R.Top), z = c.Dev(R.Right - 1, R.Bottom - 1);
    QRegion frame = QRegion(QRect(a, z)) - QRegion(QRect(a + QPoint(1, 1), z - QPoint(1, 1)));
    for (const QRect& part : frame) FillDevice(c, part, *b, R2_COPYPEN);
    return 1;
}

bool InvertRect(HDC Dc, const TRect& R) {
    Ctx c;
    if (!Open(Dc, c) || R.IsEmpty()) return false;
    FillDevice(c, QRect(c.Dev(R.Left, R.Top), c.Dev(R.Right - 1, R.Bottom - 1)), BrushObj{}, R2_NOT);
    return true;
}

bool DrawFocusRect(HDC Dc, const TRect& R) {
    Ctx c;
    if (!Open(Dc, c) || R.IsEmpty()) return false;
    QPoint a = c.Dev(R.Left, R.Top), z = c.Dev(R.Right - 1, R.Bottom - 1);
    QRegion frame = QRegion(QRect(a, z)) - QRegion(QRect(a + QPoint(1, 1), z - QPoint(1, 1)));
    // Every other pixel of the frame, in a checkerboard fixed to the device, is inverted.
    for (const QRect& part : c.Clip& frame)
        for (int y = part.top(); y <= part.bottom(); ++y)
            for (int x = part.left(); x <= part.right(); ++x)
                if (((x + y) & 1) == 0) Store(c, x, y, ~ReadRgb(c.Img, x, y) & 0xFFFFFF);
    return true;
}

TColor GetPixel(HDC Dc, int X, int Y) {
    Ctx c;
    if (!Open(Dc, c)) return static_cast<TColor>(CLR_INVALID);
    QPoint p = c.Dev(X, Y);
    if (!c.Img->rect().contains(p)) return static_cast<TColor>(CLR_INVALID);
    return static_cast<TColor>(ReadRgb(c.Img, p.x(), p.y()));
}

TColor SetPixel(HDC Dc, int X, int Y, TColor Color) {
    Ctx c;
    if (!Open(Dc, c)) return static_cast<TColor>(CLR_INVALID);
    QPoint p = c.Dev(X, Y);
    if (!c.Clip.contains(p)) return static_cast<TColor>(CLR_INVALID);
    Store(c, p.x(), p.y(), ColorToRGB(Color));
    return static_cast<TColor>(ReadRgb(c.Img, p.x(), p.y()));
}

bool ExtFloodFill(HDC Dc, int X, int Y, TColor Color, int Type) {
    Ctx c;
    if (!Open(Dc, c)) return false;
    QPoint s = c.Dev(X, Y);
    if (!c.Clip.contains(s)) return false;
    uint32_t ref = ColorToRGB(Color);
    int w = c.Img->width(), h = c.Img->height();
    auto inside = [&](int x, int y) {
        uint32_t v = ReadRgb(c.Img, x, y);
        return Type == FLOODFILLSURFACE ? v == ref : v != ref;
    };
    if (!inside(s.x(), s.y())) return false;
    std::vector<uint8_t> seen(static_cast<size_t>(w) * h);
    std::vector<QPoint> todo{s};
    std::vector<QPoint> area;
    while (!todo.empty()) {
        QPoint p = todo.back();
        todo.pop_back();
        if (p.x() < 0 || p.y() < 0 || p.x() >= w || p.y() >= h) continue;
        size_t i = static_cast<size_t>(p.y()) * w + p.x();
        if (seen[i] || !c.Clip.contains(p) || !inside(p.x(), p.y())) continue;
        seen[i] = 1;
        area.push_back(p);
        todo.push_back(p + QPoint(1, 0));
        todo.push_back(p - QPoint(1, 0));
        todo.push_back(p + QPoint(0, 1));
        todo.push_back(p - QPoint(0, 1));
    }
    for (QPoint p : area) {
        uint32_t rgb;
        if (BrushAt(c, c.St->Brush, p.x(), p.y(), rgb)) Store(c, p.x(), p.y(), rgb);
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Edges and frame controls

namespace {
void Band(Ctx& c, const QRect& r, uint32_t rgb) {
    FillDevice(c, r, BrushObj{BS_SOLID, rgb, 0, {}}, R2_COPYPEN);
}

// One ring of an edge: top-left lines in TL, bottom-right lines in BR (which own the corners
// bottom-left and top-right).
void Ring(Ctx& c, QRect& r, uint32_t tl, uint32_t br, uint32_t flags) {
    if (r.isEmpty()) return;
    if (flags & BF_LEFT) Band(c, QRect(r.left(), r.top(), 1, r.height() - ((flags & BF_BOTTOM) ? 1 : 0)), tl);
    if (flags & BF_TOP) Band(c, QRect(r.left(), r.top(), r.width() - ((flags & BF_RIGHT) ? 1 : 0), 1), tl);
    if (flags & BF_RIGHT) Band(c, QRect(r.right(), r.top(), 1, r.height()), br);
    if (flags & BF_BOTTOM) Band(c, QRect(r.left(), r.bottom(), r.width(), 1), br);
    r.adjust((flags & BF_LEFT) ? 1 : 0, (flags & BF_TOP) ? 1 : 0, (flags & BF_RIGHT) ? -1 : 0,
             (flags & BF_BOTTOM) ? -1 : 0);
}
}  // namespace

bool DrawEdge(HDC Dc, TRect& R, uint32_t Edge, uint32_t Flags) {
    Ctx c;
    if (!Open(Dc, c)) return false;
    uint32_t light = GetSysColor(COLOR_3DLIGHT), hi = GetSysColor(COLOR_BTNHIGHLIGHT),
             shadow = GetSysColor(COLOR_BTNSHADOW), dark = GetSysColor(COLOR_3DDKSHADOW),
             face = GetSysColor(COLOR_BTNFACE);
    if (Flags & BF_MONO) light = hi = shadow = dark = GetSysColor(COLOR_WINDOWFRAME);
    if (Flags & BF_FLAT) {
        light = hi = shadow = dark = GetSysColor(COLOR_BTNSHADOW);
        if (Edge & BDR_INNER) light = hi = shadow = dark = face;
    }
    QRect r(c.Dev(R.Left, R.Top), c.Dev(R.Right - 1, R.Bottom - 1));
    uint32_t sides = Flags & BF_RECT;
    // Outer ring.
    if (Edge & BDR_RAISEDOUTER)
        Ring(c, r, (Flags & BF_SOFT) ? hi : light, dark, sides);
    else if (Edge & BDR_SUNKENOUTER)
        Ring(c, r, (Flags & BF_SOFT) ? dark : shadow, hi, sides);
    // Inner ring.
    if (Edge & BDR_RAISEDINNER)
        Ring(c, r, (Flags & BF_SOFT) ? light : hi, shadow, sides);
    else if (Edge & BDR_SUNKENINNER)
        Ring(c, r, (Flags & BF_SOFT) ? shadow : dark, light, sides);
    if ((Flags & BF_MIDDLE) && !r.isEmpty()) Band(c, r, face);
    if (Flags & BF_ADJUST) {
        QPoint o = c.St->Org;
        R = TRect{r.left() - o.x(), r.top() - o.y(), r.right() + 1 - o.x(), r.bottom() + 1 - o.y()};
    }
    return true;
}

bool DrawFrameControl(HDC Dc, TRect& R, uint32_t Type, uint32_t State) {
    Ctx c;
    if (!Open(Dc, c)) return false;
    uint32_t face = GetSysColor(COLOR_BTNFACE), text = GetSysColor(COLOR_BTNTEXT),
             gray = GetSysColor(COLOR_GRAYTEXT), window = GetSysColor(COLOR_WINDOW);
    TRect r = R;
    auto glyph = [&](const std::vector<QPoint>& pts, uint32_t rgb) {
        QPolygon poly;
        for (QPoint p : pts) poly << p;
        ApplyShape(
            c, poly.boundingRect().adjusted(-1, -1, 1, 1),
            [&](QPainter& p) {
                p.setPen(QPen(Qt::black, 0));
                p.setBrush(Qt::black);
                p.drawPolygon(poly);
            },
            [rgb](int, int, uint32_t& v) {
                v = rgb;
                return true;
            },
            R2_COPYPEN);
    };
    if (Type == DFC_BUTTON && (State & 0x1F) == DFCS_BUTTONPUSH) {
        if (State & DFCS_PUSHED)
            DrawEdge(Dc, r, (State & DFCS_FLAT) ? BDR_SUNKENOUTER : EDGE_SUNKEN,
                     BF_RECT | BF_MIDDLE | BF_ADJUST);
        else
            DrawEdge(Dc, r, (State & DFCS_FLAT) ? BDR_RAISEDINNER : EDGE_RAISED,
                     BF_RECT | BF_MIDDLE | BF_ADJUST);
    } else if (Type == DFC_BUTTON) {
        // Check box and radio button: a 13-pixel square or round box, at the left, centred.
        int size = std::min({13, r.Width(), r.Height()});
        TRect box = Bounds(r.Left, r.Top + (r.Height() - size) / 2, size, size);
        uint32_t fill = (State & (DFCS_INACTIVE | DFCS_PUSHED)) ? face : window;
        bool radio = (State & DFCS_BUTTONRADIO) != 0;
        QPoint o = c.St->Org;
        QRect q(box.Left + o.x(), box.Top + o.y(), box.Width(), box.Height());
        if (radio) {
            ApplyShape(
                c, q.adjusted(-1, -1, 1, 1),
                [&](QPainter& p) {
                    p.setPen(Qt::NoPen);
                    p.setBrush(Qt::black);
                    p.drawEllipse(q);
                },
                [fill](int, int, uint32_t& v) {
                    v = fill;
                    return true;
                },
                R2_COPYPEN);
            uint32_t sh = GetSysColor(COLOR_BTNSHADOW), hi = GetSysColor(COLOR_BTNHIGHLIGHT);
            ApplyShape(
                c, q.adjusted(-1, -1, 1, 1),
                [&](QPainter& p) {
                    p.setPen(QPen(Qt::black, 0));
                    p.drawArc(QRectF(q).adjusted(0.5, 0.5, -0.5, -0.5), 45 * 16, 180 * 16);
                },
                [sh](int, int, uint32_t& v) {
                    v = sh;
                    return true;
                },
                R2_COPYPEN);
            ApplyShape(
                c, q.adjusted(-1, -1, 1, 1),
                [&](QPainter& p) {
                    p.setPen(QPen(Qt::black, 0));
                    p.drawArc(QRectF(q).adjusted(0.5, 0.5, -0.5, -0.5), 225 * 16, 180 * 16);
                },
                [hi](int, int, uint32_t& v) {
                    v = hi;
                    return true;
                },
                R2_COPYPEN);
            if (State & DFCS_CHECKED) {
                QRect dot = q.adjusted(4, 4, -4, -4);
                uint32_t col = (State & DFCS_INACTIVE) ? gray : text;
                ApplyShape(
                    c, dot.adjusted(-1, -1, 1, 1),
                    [&](QPainter& p) {
                        p.setPen(Qt::NoPen);
                        p.setBrush(Qt::black);
                        p.drawEllipse(dot);
                    },
                    [col](int, int, uint32_t& v) {
                        v = col;
                        return true;
                    },
                    R2_COPYPEN);
            }
        } else {
            TRect e = box;
            DrawEdge(Dc, e, (State & DFCS_FLAT) ? BDR_SUNKENOUTER : EDGE_SUNKEN, BF_RECT | BF_ADJUST);
            FillDevice(c, QRect(e.Left + o.x(), e.Top + o.y(), e.Width(), e.Height()),
                       BrushObj{BS_SOLID, fill, 0, {}}, R2_COPYPEN);
            if (State & DFCS_CHECKED) {
                // The tick: a 7-pixel wide, 3-pixel thick check mark.
                uint32_t col = (State & DFCS_INACTIVE) ? gray : text;
                int x0 = e.Left + o.x() + (e.Width() - 7) / 2, y0 = e.Top + o.y() + (e.Height() - 7) / 2 + 2;
                for (int i = 0; i < 7; ++i) {
                    int y = i < 3 ? y0 + i : y0 + 4 - i;
                    for (int k = 0; k < 3; ++k) PlotDevice(c, x0 + i, y + k, col, R2_COPYPEN);
                }
            }
        }
    } else if (Type == DFC_SCROLL || Type == DFC_CAPTION || Type == DFC_MENU) {
        if (Type != DFC_MENU) {
            uint32_t edge = (State & DFCS_PUSHED) ? ((State & DFCS_FLAT) ? BDR_SUNKENOUTER : EDGE_SUNKEN)
                                                  : ((State & DFCS_FLAT) ? BDR_RAISEDINNER : EDGE_RAISED);
            DrawEdge(Dc, r, edge, BF_RECT | BF_MIDDLE | BF_ADJUST);
        }
        QPoint o = c.St->Org;
        int cx = r.Left + o.x() + r.Width() / 2, cy = r.Top + o.y() + r.Height() / 2;
        if (State & DFCS_PUSHED) {
            ++cx;
            ++cy;
        }
        int s = std::max(2, std::min(r.Width(), r.Height()) / 4);
        uint32_t col = (State & DFCS_INACTIVE) ? gray : text;
        uint32_t kind = State & 0xFF;
        if (Type == DFC_SCROLL) {
            if (kind == DFCS_SCROLLUP)
                glyph({QPoint(cx - s, cy + s / 2), QPoint(cx + s, cy + s / 2), QPoint(cx, cy - s / 2 - 1)},
                      col);
            else if (kind == DFCS_SCROLLDOWN || kind == DFCS_SCROLLCOMBOBOX)
                glyph({QPoint(cx - s, cy - s / 2), QPoint(cx + s, cy - s / 2), QPoint(cx, cy + s / 2 + 1)},
                      col);
            else if (kind == DFCS_SCROLLLEFT)
                glyph({QPoint(cx + s / 2, cy - s), QPoint(cx + s / 2, cy + s), QPoint(cx - s / 2 - 1, cy)},
                      col);
            else if (kind == DFCS_SCROLLRIGHT)
                glyph({QPoint(cx - s / 2, cy - s), QPoint(cx - s / 2, cy + s), QPoint(cx + s / 2 + 1, cy)},
                      col);
        } else if (Type == DFC_MENU) {
            if (kind == DFCS_MENUARROW)
                glyph({QPoint(cx - s / 2, cy - s), QPoint(cx - s / 2, cy + s), QPoint(cx + s / 2 + 1, cy)},
                      col);
            else if (kind == DFCS_MENUBULLET)
                glyph({QPoint(cx - 2, cy - 2), QPoint(cx + 2, cy - 2), QPoint(cx + 2, cy + 2),
                       QPoint(cx - 2, cy + 2)},
                      col);
            else
                for (int i = 0; i < 7; ++i) {
                    int y = i < 3 ? cy - 1 + i : cy + 3 - i;
                    for (int k = 0; k < 3; ++k) PlotDevice(c, cx - 3 + i, y + k, col, R2_COPYPEN);
                }
        } else if (kind == DFCS_CAPTIONCLOSE) {
            for (int i = -s; i < s; ++i) {
                PlotDevice(c, cx + i, cy + i, col, R2_COPYPEN);
                PlotDevice(c, cx + i + 1, cy + i, col, R2_COPYPEN);
                PlotDevice(c, cx + i, cy - i - 1, col, R2_COPYPEN);
                PlotDevice(c, cx + i + 1, cy - i - 1, col, R2_COPYPEN);
            }
        } else {
            FillDevice(c, QRect(cx - s, cy + s - 2, 2 * s, 2), BrushObj{BS_SOLID, col, 0, {}}, R2_COPYPEN);
        }
    }
    if (State & DFCS_ADJUSTRECT) R = r;
    return true;
}

}  // namespace framework
