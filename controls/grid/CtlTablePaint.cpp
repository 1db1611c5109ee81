#include "controls/grid/CtlTablePaint.h"

#include "framework/graphics/Gdi.h"
#include "framework/ui/Forms.h"
#include "framework/ui/Resources.h"

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

void CtlRegisterMoveCursor(const char* Name, TCursor Number, bool Vertical) {
    RegisterCursorResource(
        Name,
        [Vertical](TBitmap& B) {
            B.SetPixelFormat(pf24bit);
            B.SetSize(16, 16);
            TCanvas& C = B.Canvas();
            C.Brush.Color = clFuchsia;
            C.FillRect(Rect(0, 0, 16, 16));
            C.Brush.Color = clBlack;
            // Drawn across; the vertical one is the same picture turned over its diagonal.
            auto Fill = [&](int L, int T, int R, int Bottom) {
                C.FillRect(Vertical ? Rect(T, L, Bottom, R) : Rect(L, T, R, Bottom));
            };
            Fill(2, 7, 14, 9);
            for (int I = 0; I < 4; ++I) {
                Fill(I, 7 - I, I + 1, 9 + I);
                Fill(15 - I, 7 - I, 16 - I, 9 + I);
            }
        },
        Point(8, 8));
    Screen->SetCursors(Number, LoadCursor(HInstance, Name));
}

}  // namespace grid
