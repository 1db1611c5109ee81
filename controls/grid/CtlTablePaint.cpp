#include "controls/grid/CtlTablePaint.h"

#include "framework/graphics/Gdi.h"

namespace grid {

using namespace framework;

TRect CtlInsideLines(const TRect& R, TGridEffect Effect) {
    TRect N = R;
    if (Effect == geVertical || Effect == geBoth) --N.Right;
    if (Effect == geHorizontal || Effect == geBoth) --N.Bottom;
    if (Effect == ge3D) N = Rect(R.Left + 1, R.Top + 1, R.Right - 1, R.Bottom - 1);
    return N;
}

void CtlDrawGridLines(TCanvas& C, TCtlGridPen& Pen, const TRect& R, TColor Background) {
    if (Pen.Effect() == geNone) return;
    C.Brush.Color = Background;
    SetBkColor(C.Handle(), ColorToRGB(Background));
    C.Pen.Width = 1;
    C.Pen.Style = Pen.Style();
    if (Pen.Effect() == ge3D) {
        C.Pen.Color = Pen.SecondColor();
        C.MoveTo(R.Left, R.Bottom - 1);
        C.LineTo(R.Left, R.Top);
        C.LineTo(R.Right, R.Top);
    }
    C.Pen.Color = Pen.NormalColor();
    if (Pen.Effect() != geHorizontal) {
        C.MoveTo(R.Right - 1, R.Top);
        C.LineTo(R.Right - 1, R.Bottom);
    }
    if (Pen.Effect() != geVertical) {
        C.MoveTo(R.Left, R.Bottom - 1);
        C.LineTo(R.Right, R.Bottom - 1);
    }
    C.Pen.Style = psSolid;
}

void CtlDrawActiveFrame(TCanvas& C, TCtlGridPen& Frame, TGridEffect NormalEffect, const TRect& Cell,
                        TColor Background) {
    const TGridEffect E = Frame.Effect();
    if (E == geNone) return;
    // The frame's corners (inclusive), inside the normal lines.
    int L = Cell.Left, T = Cell.Top, X = Cell.Right - 1, Y = Cell.Bottom - 1;
    if (NormalEffect == geVertical || NormalEffect == geBoth || NormalEffect == ge3D) X = Cell.Right - 2;
    if (NormalEffect == geHorizontal || NormalEffect == geBoth || NormalEffect == ge3D) Y = Cell.Bottom - 2;
    if (NormalEffect == ge3D) ++L, ++T;
    C.Pen.Width = 1;
    C.Pen.Style = Frame.Style();
    C.Pen.Color = Frame.NormalColor();
    SetBkColor(C.Handle(), ColorToRGB(Background));
    const bool Sides = E == geVertical || E == geBoth || E == ge3D;
    const bool Ends = E == geHorizontal || E == geBoth || E == ge3D;
    if (Sides) {
        C.MoveTo(X, T);
        C.LineTo(X, Y + 1);
    }
    if (Ends) {
        C.MoveTo(L, Y);
        C.LineTo(X + 1, Y);
    }
    if (E == ge3D) C.Pen.Color = Frame.SecondColor();
    if (Sides) {
        C.MoveTo(L, T);
        C.LineTo(L, Y + 1);
    }
    if (Ends) {
        C.MoveTo(L, T);
        C.LineTo(X + 1, T);
    }
    C.Pen.Style = psSolid;
}

namespace {
void DrawXorLine(TCanvas& C, int At, int Length, bool Vertical, TPenStyle Style, int Width, TColor Color) {
    const TPen Saved = C.Pen;
    C.Pen.Mode = pmXor;
    C.Pen.Style = Style;
    C.Pen.Color = Color;
    C.Pen.Width = Width;
    if (Vertical) {
        C.MoveTo(At, 0);
        C.LineTo(At, Length);
    } else {
        C.MoveTo(0, At);
        C.LineTo(Length, At);
    }
    C.Pen = Saved;
}
}  // namespace

void CtlDrawXorColumnLine(TCanvas& C, int X, int Length, TPenStyle Style, int Width, TColor Color) {
    DrawXorLine(C, X, Length, true, Style, Width, Color);
}

void CtlDrawXorRowLine(TCanvas& C, int Y, int Length, TPenStyle Style, int Width, TColor Color) {
    DrawXorLine(C, Y, Length, false, Style, Width, Color);
}

}  // namespace grid
