#include "controls/kit/StyledGrad.h"

#include <algorithm>
#include <cmath>

#include "framework/graphics/Gdi.h"
#include "framework/stdctrls/TypInfo.h"

namespace kit {

using namespace framework;

namespace {

// Nearest integer, halves to the even neighbour.
int RoundEven(double V) {
    return static_cast<int>(std::nearbyint(V));
}

// The colours, direction and band count are published, so a window's state can keep them.
void RegisterGradientProperties() {
    static const bool registered = [] {
        using G = TStyledCustomGradient;
        RegisterPublished<G>(
            3, {IntProp<G, TColor>("FromColor", &G::FromColor, &G::SetFromColor),
                IntProp<G, TColor>("ToColor", &G::ToColor, &G::SetToColor),
                EnumProp<G, TGradDirection>("Direction", {"dHorizontal", "dVertical"}, &G::Direction,
                                            &G::SetDirection),
                IntProp<G, TStyledColorBand>("ColorBands", &G::ColorBands, &G::SetColorBands)});
        return true;
    }();
    (void)registered;
}

}  // namespace

TStyledCustomGradient::TStyledCustomGradient(TComponent* AOwner) : TGraphicControl(AOwner) {
    RegisterGradientProperties();
    ControlStyle |= csOpaque;
    SetBounds(Left(), Top(), 100, 100);
    BuildPalette();
}

TStyledCustomGradient::~TStyledCustomGradient() {
    if (FPalette) DeleteObject(FPalette);
}

void TStyledCustomGradient::Changed() {
    BuildPalette();
    Invalidate();
}

void TStyledCustomGradient::SetFromColor(TColor Value) {
    if (Value == FFromColor) return;
    FFromColor = Value;
    Changed();
}

void TStyledCustomGradient::SetToColor(TColor Value) {
    if (Value == FToColor) return;
    FToColor = Value;
    Changed();
}

void TStyledCustomGradient::SetDirection(TGradDirection Value) {
    if (Value == FDirection) return;
    FDirection = Value;
    Changed();
}

void TStyledCustomGradient::SetColorBands(TStyledColorBand Value) {
    if (Value == FColorBands || Value < 2 || Value > 256) return;
    FColorBands = Value;
    Changed();
}

bool TStyledCustomGradient::PaletteChanged(bool Foreground) {
    (void)Foreground;
    BuildPalette();
    Refresh();
    return true;
}

void TStyledCustomGradient::Dispatch(TMessage& Message) {
    if (Message.Msg == WM_ERASEBKGND) {
        Message.Result = 1;
        return;
    }
    TGraphicControl::Dispatch(Message);
}

void TStyledCustomGradient::BuildPalette() {
    const int n = FColorBands;
    const uint32_t from = ColorToRGB(FFromColor), to = ColorToRGB(FToColor);
    const double steps[3] = {(double(GetRValue(to)) - GetRValue(from)) / (n - 1),
                             (double(GetGValue(to)) - GetGValue(from)) / (n - 1),
                             (double(GetBValue(to)) - GetBValue(from)) / (n - 1)};
    FBands.assign(static_cast<size_t>(n), clBlack);
    std::vector<TPaletteEntry> entries(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        const auto channel = [&](int k, uint8_t base) {
            return static_cast<uint8_t>(base + RoundEven(i * steps[k]));
        };
        const uint8_t r = channel(0, GetRValue(from)), g = channel(1, GetGValue(from)),
                      b = channel(2, GetBValue(from));
        FBands[static_cast<size_t>(i)] = RGB(r, g, b);
        entries[static_cast<size_t>(i)] = TPaletteEntry{r, g, b, 0};
    }
    if (FPalette) DeleteObject(FPalette);
    FPalette = CreatePalette(0x300, entries);
}

void TStyledCustomGradient::Paint() {
    const TRect client = ClientRect();
    const int W = client.Width(), H = client.Height();
    if (W <= 0 || H <= 0) return;
    HDC dc = Canvas().Handle();
    HPALETTE oldPal = SelectPalette(dc, FPalette, true);
    RealizePalette(dc);

    TBitmap work;
    work.SetPixelFormat(pf24bit);
    work.SetSize(W, H);
    TCanvas& c = work.Canvas();
    HDC mem = c.Handle();
    HPALETTE oldMemPal = SelectPalette(mem, FPalette, true);
    RealizePalette(mem);

    const int n = FColorBands;
    const int w = FDirection == dHorizontal ? W : H;
    const double b = static_cast<double>(w) / n;
    const int len = std::max(1, RoundEven(b * 1.5));
    c.Brush.Style = bsSolid;
    for (int i = 0; i < n; ++i) {
        const int start = RoundEven(b * i);
        c.Brush.Color = FBands[static_cast<size_t>(i)];
        if (FDirection == dHorizontal)
            c.FillRect(Rect(start, 0, start + len, H));
        else
            c.FillRect(Rect(0, start, W, start + len));
    }
    BitBlt(dc, 0, 0, W, H, mem, 0, 0, SRCCOPY);
    SelectPalette(mem, oldMemPal, true);
    SelectPalette(dc, oldPal, true);
}

}  // namespace kit
