#include "framework/stdctrls/Caption.h"

namespace framework {

bool IsAccelChar(const TMessage& M, const std::string& Caption) {
    return IsAccel(static_cast<uint16_t>(M.WParam), Caption);
}

std::string StripAccel(const std::string& Caption, int& Marked) {
    std::string r;
    Marked = -1;
    for (size_t i = 0; i < Caption.size(); ++i) {
        if (Caption[i] == '&') {
            if (i + 1 < Caption.size() && Caption[i + 1] == '&') {
                r += '&';
                ++i;
            } else if (i + 1 < Caption.size() && Marked < 0) {
                Marked = static_cast<int>(r.size());
            }
            continue;
        }
        r += Caption[i];
    }
    return r;
}

void DrawCaption(TCanvas& Canvas, const TRect& R, const std::string& Caption, TAlignment Alignment,
                 bool ShowAccel) {
    int marked = -1;
    std::string text = ShowAccel ? StripAccel(Caption, marked) : Caption;
    int w = Canvas.TextWidth(text);
    int x = R.Left;
    if (Alignment == taRightJustify) x = R.Right - w;
    if (Alignment == taCenter) x = R.Left + (R.Width() - w) / 2;
    Canvas.TextRect(R, x, R.Top, text);
    if (marked >= 0) {
        int x0 = x + Canvas.TextWidth(text.substr(0, static_cast<size_t>(marked)));
        int x1 = x0 + Canvas.TextWidth(text.substr(static_cast<size_t>(marked), 1));
        int y = R.Top + Canvas.TextHeight(text) - 2;
        TColor pen = Canvas.Pen.Color;
        Canvas.Pen.Color = Canvas.Font.Color;
        Canvas.MoveTo(x0, y);
        Canvas.LineTo(x1, y);
        Canvas.Pen.Color = pen;
    }
}

}  // namespace framework
