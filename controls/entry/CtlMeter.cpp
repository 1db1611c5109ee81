#include "controls/entry/CtlMeter.h"

#include <algorithm>
#include <cmath>

#include "framework/core/SysUtils.h"

namespace entry {

using namespace framework;

namespace {

bool HasPicture(const TBitmap& B) {
    return !B.Empty() && B.Width() > 0 && B.Height() > 0;
}

// The corners given are both inside the area (inclusive), as the bar geometry counts pixels.
TRect Inclusive(int X1, int Y1, int X2, int Y2) {
    return Rect(X1, Y1, X2 + 1, Y2 + 1);
}

}  // namespace

TCtlCustomMeter::TCtlCustomMeter(TComponent* AOwner)
    : TCtlGraphicControl(AOwner),
      FUnusedImage(std::make_unique<TBitmap>()),
      FUsedImage(std::make_unique<TBitmap>()),
      FMeterPic(std::make_unique<TBitmap>()),
      FInvertPic(std::make_unique<TBitmap>()) {
    ControlStyle |= csOpaque;
    SetBounds(Left(), Top(), 200, 24);
    BuildText();
}

TCtlCustomMeter::~TCtlCustomMeter() = default;

void TCtlCustomMeter::BuildText() {
    FPercentText = Format("%d%%", {std::clamp(FPercent, 0, 100)});
}

void TCtlCustomMeter::SetBorderStyle(TBorderStyle Value) {
    if (Value == FBorderStyle) return;
    FBorderStyle = Value;
    Invalidate();
}

void TCtlCustomMeter::SetCtl3D(bool Value) {
    if (Value == FCtl3D) return;
    FCtl3D = Value;
    Invalidate();
}

void TCtlCustomMeter::SetInvertPercent(bool Value) {
    if (Value == FInvertPercent) return;
    FInvertPercent = Value;
    if (FShowPercent) Invalidate();
}

void TCtlCustomMeter::SetOrientation(TMeterOrientation Value) {
    if (Value == FOrientation) return;
    FOrientation = Value;
    if (!(ComponentState() & csLoading) && !HasPicture(*FUsedImage))
        SetBounds(Left(), Top(), Height(), Width());
    Invalidate();
}

void TCtlCustomMeter::SetPercent(int32_t Value) {
    if (Value == FPercent) return;
    FPercent = Value;
    BuildText();
    Repaint();
}

void TCtlCustomMeter::SetShowPercent(bool Value) {
    if (Value == FShowPercent) return;
    FShowPercent = Value;
    Invalidate();
}

void TCtlCustomMeter::SetUsedColor(TColor Value) {
    if (Value == FUsedColor) return;
    FUsedColor = Value;
    Invalidate();
}

void TCtlCustomMeter::SetUnusedColor(TColor Value) {
    if (Value == FUnusedColor) return;
    FUnusedColor = Value;
    Invalidate();
}

void TCtlCustomMeter::SetUsedImage(const TBitmap& Value) {
    SetImage(*FUsedImage, Value);
}
void TCtlCustomMeter::SetUnusedImage(const TBitmap& Value) {
    SetImage(*FUnusedImage, Value);
}

void TCtlCustomMeter::SetImage(TBitmap& Image, const TBitmap& Value) {
    if (HasPicture(Value))
        Image.Assign(Value);
    else
        Image.FreeImage();
    if ((ComponentState() & csDesigning) && HasPicture(Image)) {
        int extra = 0;
        if (FBorderStyle == bsSingle) extra = FCtl3D ? 2 : 1;
        SetBounds(Left(), Top(), Image.Width() + extra, Image.Height() + extra);
        if (Image.Height() > Image.Width()) FOrientation = moVertical;
    }
    Invalidate();
}

void TCtlCustomMeter::Paint() {
    const int CW = Width(), CH = Height();
    if (CW <= 0 || CH <= 0) return;
    FMeterPic->SetPixelFormat(pf24bit);
    FMeterPic->SetSize(CW, CH);
    TCanvas& c = FMeterPic->Canvas();
    c.Brush.Style = bsSolid;

    // Inclusive corners of what lies inside the border.
    int left = 0, top = 0, right = CW - 1, bottom = CH - 1;
    const auto frame = [&](TColor TopLeft, TColor BottomRight) {
        c.Brush.Color = TopLeft;
        c.FillRect(Inclusive(left, top, right, top));
        c.FillRect(Inclusive(left, top, left, bottom));
        c.Brush.Color = BottomRight;
        c.FillRect(Inclusive(left, bottom, right, bottom));
        c.FillRect(Inclusive(right, top, right, bottom));
        ++left, ++top, --right, --bottom;
    };
    if (FBorderStyle == bsSingle) {
        if (FCtl3D) {
            frame(clBtnShadow, clBtnHighlight);
            frame(clBlack, clBtnHighlight);
        } else {
            frame(clBlack, clBlack);
        }
    }

    const int W = right - left + 1, H = bottom - top + 1;
    if (W > 0 && H > 0) {
        const int L = FOrientation == moVertical ? H : W;
        int U = L * std::clamp(FPercent, 0, 100) / 100;
        int R;
        if (U < 3) {
            U = 0;
            R = L;
        } else if (U == L) {
            R = 0;
        } else {
            U = std::min(U, L - 3);
            R = L - U - 1;  // one pixel stays between the parts
        }
        const auto share = [&](int Size, int Part) {
            return std::max(1, static_cast<int>(std::lround(static_cast<double>(Size) * Part / L)));
        };
        if (FOrientation == moHorizontal) {
            if (R > 0) {
                if (HasPicture(*FUnusedImage)) {
                    c.StretchDraw(Rect(left, top, left + W, top + H), FUnusedImage.get());
                } else {
                    c.Brush.Color = FUnusedColor;
                    c.FillRect(Inclusive(left + U, top, left + W - 1, top + H - 1));
                }
            }
            if (U > 0) {
                if (HasPicture(*FUsedImage)) {
                    const int cols = share(FUsedImage->Width(), U);
                    c.CopyRect(Rect(left, top, left + U, top + H), FUsedImage->Canvas(),
                               Rect(0, 0, cols, FUsedImage->Height()));
                } else {
                    c.Brush.Color = FUsedColor;
                    c.FillRect(Inclusive(left, top, left + U - 1, top + H - 1));
                }
            }
        } else {
            // The used part grows from the bottom; the unused part above it keeps the one-pixel
            // gap, as the horizontal bar does on its right.
            const int usedTop = top + H - U;
            if (U > 0) {
                if (HasPicture(*FUsedImage)) {
                    c.StretchDraw(Rect(left, top, left + W, top + H), FUsedImage.get());
                } else {
                    c.Brush.Color = FUsedColor;
                    c.FillRect(Inclusive(left, usedTop, left + W - 1, top + H - 1));
                }
            }
            if (R > 0) {
                if (HasPicture(*FUnusedImage)) {
                    const int rows = share(FUnusedImage->Height(), H - U);
                    c.CopyRect(Rect(left, top, left + W, usedTop), FUnusedImage->Canvas(),
                               Rect(0, 0, FUnusedImage->Width(), rows));
                } else {
                    c.Brush.Color = FUnusedColor;
                    c.FillRect(Inclusive(left, top, left + W - 1, usedTop - 1));
                }
            }
        }

        if (FShowPercent) {
            c.Font.Assign(Font());
            const TSize ext = c.TextExtent(FPercentText);
            const int x = left + (W - ext.cx) / 2, y = top + (H - ext.cy) / 2;
            if (FInvertPercent) {
                // White text on black, XORed over the bar: the text shows as the inverse of what
                // lies under it.
                FInvertPic->SetPixelFormat(pf24bit);
                FInvertPic->SetSize(CW, CH);
                TCanvas& ic = FInvertPic->Canvas();
                ic.Brush.Style = bsSolid;
                ic.Brush.Color = clBlack;
                ic.FillRect(Rect(0, 0, CW, CH));
                ic.Font.Assign(Font());
                ic.Font.Color = clWhite;
                ic.Brush.Style = bsClear;
                ic.TextOut(x, y, FPercentText);
                BitBlt(c.Handle(), 0, 0, CW, CH, ic.Handle(), 0, 0, SRCINVERT);
            } else {
                c.Brush.Style = bsClear;
                c.TextOut(x, y, FPercentText);
                c.Brush.Style = bsSolid;
            }
        }
    }
    if (!FShowPercent && OnOwnerDraw) OnOwnerDraw(c, Rect(0, 0, CW, CH));
    BitBlt(Canvas().Handle(), 0, 0, CW, CH, c.Handle(), 0, 0, SRCCOPY);
}

}  // namespace entry
