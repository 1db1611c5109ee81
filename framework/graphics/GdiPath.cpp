// Paths: outlines that text adds between BeginPath and EndPath, then stroked or filled.
#include "framework/graphics/Gdi.h"

#include "framework/graphics/GdiState.h"

namespace framework {

using namespace gdi;

bool BeginPath(HDC Dc) {
    DcData* d = Data(Dc);
    if (!d) return false;
    d->St.Path = QPainterPath();
    d->St.Path.setFillRule(Qt::OddEvenFill);
    d->St.PathOpen = true;
    d->St.HasPath = false;
    return true;
}

bool EndPath(HDC Dc) {
    DcData* d = Data(Dc);
    if (!d || !d->St.PathOpen) return false;
    d->St.PathOpen = false;
    d->St.HasPath = true;
    return true;
}

namespace {
// The closed path of the context, taken from it; false while it is open or when there is none.
bool TakePath(HDC Dc, Ctx& c, QPainterPath& path) {
    DcData* d = Data(Dc);
    if (!d || d->St.PathOpen || !d->St.HasPath) return false;
    path = std::exchange(d->St.Path, QPainterPath());
    d->St.HasPath = false;
    return Open(Dc, c);
}
}  // namespace

bool StrokePath(HDC Dc) {
    Ctx c;
    QPainterPath path;
    if (!TakePath(Dc, c, path)) return false;
    const PenObj& pen = c.St->Pen;
    if (pen.Style == PS_NULL || path.isEmpty()) return true;
    const int w = std::max(1, pen.Width);
    QRect bounds = path.boundingRect().toAlignedRect().adjusted(-w - 1, -w - 1, w + 1, w + 1);
    ApplyShape(
        c, bounds,
        [&](QPainter& p) {
            QPen qp(Qt::black, w == 1 ? 0 : w);
            qp.setCosmetic(w == 1);
            if (w == 1 && pen.Style != PS_SOLID && pen.Style != PS_INSIDEFRAME) {
                QVector<qreal> dashes;
                for (int v : DashOf(pen.Style)) dashes << v;
                if (!dashes.isEmpty()) qp.setDashPattern(dashes);
            }
            p.setPen(qp);
            p.setBrush(Qt::NoBrush);
            // As for the fill below: the outline then runs through the pixels on the fill's edge.
            p.translate(-0.5, -0.5);
            p.drawPath(path);
        },
        PenColour(c), c.St->Rop2);
    return true;
}

bool FillPath(HDC Dc) {
    Ctx c;
    QPainterPath path;
    if (!TakePath(Dc, c, path)) return false;
    if (c.St->Brush.Style == BS_NULL || path.isEmpty()) return true;
    QRect bounds = path.boundingRect().toAlignedRect().adjusted(-1, -1, 1, 1);
    ApplyShape(
        c, bounds,
        [&](QPainter& p) {
            p.setPen(Qt::NoPen);
            p.setBrush(Qt::black);
            // Qt takes a pixel when the shape holds its top-left corner: test the centre instead.
            p.translate(-0.5, -0.5);
            p.drawPath(path);
        },
        BrushColour(c), c.St->Rop2);
    return true;
}

}  // namespace framework
