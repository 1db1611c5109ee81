// Regions and clipping.
#include "framework/graphics/Gdi.h"

#include <QPainterPath>
#include <cstring>

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

// ---------------------------------------------------------------------------------------------
// Region data

namespace {

// Coordinates of the drawing layer are 28-bit signed numbers; data beyond them is damaged.
constexpr int64_t MaxCoordinate = int64_t(1) << 27;
constexpr uint32_t RectSize = 16;

void Put32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}
uint32_t Get32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
void PutRect(uint8_t* p, int l, int t, int r, int b) {
    Put32(p, static_cast<uint32_t>(l));
    Put32(p + 4, static_cast<uint32_t>(t));
    Put32(p + 8, static_cast<uint32_t>(r));
    Put32(p + 12, static_cast<uint32_t>(b));
}

// The union of the rectangles, merged pairwise so that each union joins regions of like size.
QRegion UnionOf(std::vector<QRegion> parts) {
    if (parts.empty()) return QRegion();
    while (parts.size() > 1) {
        std::vector<QRegion> next;
        next.reserve((parts.size() + 1) / 2);
        for (size_t i = 0; i + 1 < parts.size(); i += 2) next.push_back(parts[i] | parts[i + 1]);
        if (parts.size() % 2) next.push_back(std::move(parts.back()));
        parts = std::move(next);
    }
    return parts[0];
}

}  // namespace

uint32_t GetRegionData(HRGN Rgn, uint32_t Count, void* Data) {
    auto* r = FindAs<RegionObj>(Rgn);
    if (!r) return 0;
    const uint32_t n = static_cast<uint32_t>(r->Rgn.rectCount());
    const uint64_t need = RgnDataHeaderSize + uint64_t(n) * RectSize;
    if (need > 0xFFFFFFFFu) return 0;
    if (!Data) return static_cast<uint32_t>(need);
    if (Count < need) return 0;
    auto* p = static_cast<uint8_t*>(Data);
    std::memset(p, 0, static_cast<size_t>(need));
    Put32(p, RgnDataHeaderSize);
    Put32(p + 4, RDH_RECTANGLES);
    Put32(p + 8, n);
    Put32(p + 12, n * RectSize);
    if (n) {
        QRect b = r->Rgn.boundingRect();
        PutRect(p + 16, b.left(), b.top(), b.right() + 1, b.bottom() + 1);
    }
    uint8_t* q = p + RgnDataHeaderSize;
    for (const QRect& part : r->Rgn) {
        PutRect(q, part.left(), part.top(), part.right() + 1, part.bottom() + 1);
        q += RectSize;
    }
    return Count;
}

HRGN ExtCreateRegion(const void* Xform, uint32_t Count, const void* Data) {
    if (Xform || !Data || Count < RgnDataHeaderSize) return 0;
    const auto* p = static_cast<const uint8_t*>(Data);
    if (Get32(p) != RgnDataHeaderSize || Get32(p + 4) != RDH_RECTANGLES) return 0;
    const uint32_t n = Get32(p + 8);
    // The size of the rectangles (p + 12) and the bounds (p + 16) are what the writer thought they
    // were; the rectangles themselves count.
    if (uint64_t(n) * RectSize > Count - RgnDataHeaderSize) return 0;
    std::vector<QRect> rects;
    rects.reserve(n);
    bool ordered = true;
    const uint8_t* q = p + RgnDataHeaderSize;
    for (uint32_t i = 0; i < n; ++i, q += RectSize) {
        const int64_t l = static_cast<int32_t>(Get32(q)), t = static_cast<int32_t>(Get32(q + 4)),
                      r = static_cast<int32_t>(Get32(q + 8)), b = static_cast<int32_t>(Get32(q + 12));
        for (int64_t v : {l, t, r, b})
            if (v < -MaxCoordinate || v >= MaxCoordinate) return 0;
        if (l >= r || t >= b) continue;
        QRect rect(QPoint(int(l), int(t)), QPoint(int(r - 1), int(b - 1)));
        if (!rects.empty()) {
            // Banded order: the same band to the right of the last rectangle, or a band below it.
            const QRect& last = rects.back();
            bool sameBand =
                rect.top() == last.top() && rect.bottom() == last.bottom() && rect.left() > last.right();
            bool nextBand = rect.top() > last.bottom();
            if (!sameBand && !nextBand) ordered = false;
        }
        rects.push_back(rect);
    }
    // Rectangles in banded order make a region of no more rectangles than they are; others may
    // cross each other into many more, so there are only a few of them.
    if (!ordered && rects.size() > MaxUnorderedRgnRects) return 0;
    std::vector<QRegion> parts;
    parts.reserve(rects.size());
    for (const QRect& rect : rects) parts.emplace_back(rect);
    return AddObject(RegionObj{UnionOf(std::move(parts))});
}

}  // namespace framework
