#pragma once
// Drawing that both grids share: the grid lines of a cell, the frame of the active cell, the
// rectangle inside a cell's lines and the XOR feedback lines of sizing and moving.

#include "controls/grid/CtlTableRows.h"
#include "framework/ui/Graphics.h"

namespace grid {

// Whether two rectangles share a pixel (painting skips what the clip box does not meet).
inline bool CtlRectsMeet(const framework::TRect& A, const framework::TRect& B) {
    return A.Left < B.Right && B.Left < A.Right && A.Top < B.Bottom && B.Top < A.Bottom;
}
// The cell rectangle less the lines its pen draws.
framework::TRect CtlInsideLines(const framework::TRect& R, TGridEffect Effect);
// The pen's lines around a whole cell; broken styles show Background between their dashes.
void CtlDrawGridLines(framework::TCanvas& Canvas, TCtlGridPen& Pen, const framework::TRect& R,
                      framework::TColor Background);
// The frame of the active cell drawn with Frame inside the lines of the normal pen (NormalEffect).
void CtlDrawActiveFrame(framework::TCanvas& Canvas, TCtlGridPen& Frame, TGridEffect NormalEffect,
                        const framework::TRect& Cell, framework::TColor Background);
// Registers the cursor resource Name (two arrows apart, pointing left and right, or up and down
// when Vertical, hot spot between them) as the screen cursor Number.
void CtlRegisterMoveCursor(const char* Name, framework::TCursor Number, bool Vertical);
// A line that drawing twice removes: vertical at X over Length pixels.
void CtlDrawXorColumnLine(framework::TCanvas& Canvas, int X, int Length, framework::TPenStyle Style,
                          int Width, framework::TColor Color);
// The same, horizontal at Y.
void CtlDrawXorRowLine(framework::TCanvas& Canvas, int Y, int Length, framework::TPenStyle Style, int Width,
                       framework::TColor Color);

}  // namespace grid
