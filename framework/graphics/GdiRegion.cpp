// Regions and clipping.
#include "framework/graphics/Gdi.h"

#include <QPainterPath>

#include "framework/graphics/GdiState.h"

namespace framework {

using namespace gdi;

// ---------------------------------------------------------------------------------------------
// Regions

namespace {
int TypeOf(const QRegion& r) {
    if (r.isEmpty()) return NULLREGION;
    return r.rectCount() == 1 ? SIMPLEREGION : COMPLEXREGION;
}
QRegion RoundRegion(int l, int t, int r, int b, int w, int h) {
    QPainterPath path;
    path.addRoundedRect(QRectF(l, t, r - l, b - t), w / 2.0, h / 2.0);
    return QRegion(path.toFillPolygon().toPolygon());
}
}  // namespace

HRGN CreateRectRgn(int Left, int Top, int Right, int Bottom) {
    QRect r(QPoint(std::min(Left, Right), std::min(Top, Bottom)),
            QPoint(std::max(Left, Right) - 1, std::max(Top, Bottom) - 1));
    return AddObject(RegionObj{r.isEmpty() ? QRegion() : QRegion(r)});
}
HRGN CreateRectRgnIndirect(const TRect& R) {
    return CreateRectRgn(R.Left, R.Top, R.Right, R.Bottom);
}
HRGN CreateRoundRectRgn(int Left, int Top, int Right, int Bottom, int Width, int Height) {
    return AddObject(RegionObj{RoundRegion(Left, Top, Right, Bottom, Width, Height)});
}
HRGN CreateEllipticRgn(int Left, int Top, int Right, int Bottom) {
    return AddObject(RegionObj{QRegion(QRect(Left, Top, Right - Left, Bottom - Top), QRegion::Ellipse)});
}
HRGN CreatePolygonRgn(const TPoint* Points, int Count, int FillMode) {
    QPolygon p;
    for (int i = 0; i < Count; ++i) p << QPoint(Points[i].X, Points[i].Y);
    return AddObject(RegionObj{QRegion(p, FillMode == WINDING ? Qt::WindingFill : Qt::OddEvenFill)});
}

int CombineRgn(HRGN Dest, HRGN A, HRGN B, int Mode) {
    auto* d = FindAs<RegionObj>(Dest);
    auto* a = FindAs<RegionObj>(A);
    auto* b = FindAs<RegionObj>(B);
    if (!d || !a || (Mode != RGN_COPY && !b)) return RGN_ERROR;
    QRegion r;
    switch (Mode) {
        case RGN_AND:
            r = a->Rgn & b->Rgn;
            break;
        case RGN_OR:
            r = a->Rgn | b->Rgn;
            break;
        case RGN_XOR:
            r = a->Rgn ^ b->Rgn;
            break;
        case RGN_DIFF:
            r = a->Rgn - b->Rgn;
            break;
        case RGN_COPY:
            r = a->Rgn;
            break;
        default:
            return RGN_ERROR;
    }
    d->Rgn = r;
    return TypeOf(r);
}

int OffsetRgn(HRGN Rgn, int DX, int DY) {
    auto* r = FindAs<RegionObj>(Rgn);
    if (!r) return RGN_ERROR;
    r->Rgn.translate(DX, DY);
    return TypeOf(r->Rgn);
}
bool PtInRegion(HRGN Rgn, int X, int Y) {
    auto* r = FindAs<RegionObj>(Rgn);
    return r && r->Rgn.contains(QPoint(X, Y));
}
bool RectInRegion(HRGN Rgn, const TRect& R) {
    auto* r = FindAs<RegionObj>(Rgn);
    return r && !R.IsEmpty() && r->Rgn.intersects(QRect(R.Left, R.Top, R.Width(), R.Height()));
}
bool EqualRgn(HRGN A, HRGN B) {
    auto* a = FindAs<RegionObj>(A);
    auto* b = FindAs<RegionObj>(B);
    return a && b && a->Rgn == b->Rgn;
}
int GetRgnBox(HRGN Rgn, TRect* R) {
    auto* r = FindAs<RegionObj>(Rgn);
    if (!r || !R) return RGN_ERROR;
    QRect b = r->Rgn.boundingRect();
    *R = r->Rgn.isEmpty() ? TRect{} : TRect{b.left(), b.top(), b.right() + 1, b.bottom() + 1};
    return TypeOf(r->Rgn);
}

bool FillRgn(HDC Dc, HRGN Rgn, HBRUSH Brush) {
    Ctx c;
    BrushObj tmp;
    auto* r = FindAs<RegionObj>(Rgn);
    const BrushObj* b = BrushFor(Dc, Brush, tmp);
    if (!r || !b || !Open(Dc, c)) return false;
    for (const QRect& part : r->Rgn.translated(c.St->Org)) FillDevice(c, part, *b, R2_COPYPEN);
    return true;
}

bool FrameRgn(HDC Dc, HRGN Rgn, HBRUSH Brush, int Width, int Height) {
    Ctx c;
    BrushObj tmp;
    auto* r = FindAs<RegionObj>(Rgn);
    const BrushObj* b = BrushFor(Dc, Brush, tmp);
    if (!r || !b || !Open(Dc, c)) return false;
    QRegion in = r->Rgn.translated(Width, 0) & r->Rgn.translated(-Width, 0) & r->Rgn.translated(0, Height) &
                 r->Rgn.translated(0, -Height) & r->Rgn;
    for (const QRect& part : (r->Rgn - in).translated(c.St->Org)) FillDevice(c, part, *b, R2_COPYPEN);
    return true;
}

bool InvertRgn(HDC Dc, HRGN Rgn) {
    Ctx c;
    auto* r = FindAs<RegionObj>(Rgn);
    if (!r || !Open(Dc, c)) return false;
    for (const QRect& part : r->Rgn.translated(c.St->Org)) FillDevice(c, part, BrushObj{}, R2_NOT);
    return true;
}

int ExtSelectClipRgn(HDC Dc, HRGN Rgn, int Mode) {
    DcData* d = Data(Dc);
    if (!d) return RGN_ERROR;
    State& s = d->St;
    auto* r = FindAs<RegionObj>(Rgn);
    if (!r) {
        if (Mode != RGN_COPY) return RGN_ERROR;
        s.HasClip = false;
        s.Clip = QRegion();
    } else {
        // Clip regions are kept in device coordinates: the origin in force now places them.
        QRegion n = r->Rgn.translated(s.Org);
        QRegion old = s.HasClip ? s.Clip : QRegion(QRect(-(1 << 28), -(1 << 28), 1 << 29, 1 << 29));
        switch (Mode) {
            case RGN_AND:
                s.Clip = old & n;
                break;
            case RGN_OR:
                s.Clip = old | n;
                break;
            case RGN_XOR:
                s.Clip = old ^ n;
                break;
            case RGN_DIFF:
                s.Clip = old - n;
                break;
            default:
                s.Clip = n;
                break;
        }
        s.HasClip = true;
    }
    TRect box;
    return GetClipBox(Dc, &box);
}

int SelectClipRgn(HDC Dc, HRGN Rgn) {
    return ExtSelectClipRgn(Dc, Rgn, RGN_COPY);
}

int IntersectClipRect(HDC Dc, int Left, int Top, int Right, int Bottom) {
    HRGN r = CreateRectRgn(Left, Top, Right, Bottom);
    int t = ExtSelectClipRgn(Dc, r, RGN_AND);
    DeleteObject(r);
    return t;
}

int ExcludeClipRect(HDC Dc, int Left, int Top, int Right, int Bottom) {
    HRGN r = CreateRectRgn(Left, Top, Right, Bottom);
    int t = ExtSelectClipRgn(Dc, r, RGN_DIFF);
    DeleteObject(r);
    return t;
}

int GetClipBox(HDC Dc, TRect* R) {
    Ctx c;
    if (!R || !Open(Dc, c)) return RGN_ERROR;
    QRect b = c.Clip.boundingRect().translated(-c.St->Org);
    *R = c.Clip.isEmpty() ? TRect{} : TRect{b.left(), b.top(), b.right() + 1, b.bottom() + 1};
    return TypeOf(c.Clip);
}

int GetClipRgn(HDC Dc, HRGN Rgn) {
    DcData* d = Data(Dc);
    auto* r = FindAs<RegionObj>(Rgn);
    if (!d || !r) return -1;
    if (!d->St.HasClip) return 0;
    r->Rgn = d->St.Clip.translated(-d->St.Org);
    return 1;
}

}  // namespace framework
