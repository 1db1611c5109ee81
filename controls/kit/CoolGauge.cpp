#include "controls/kit/CoolGauge.h"

#include <algorithm>
#include <cmath>

#include "framework/core/SysUtils.h"
#include "framework/graphics/Gdi.h"

namespace kit {

using namespace framework;

namespace {

// Nearest integer, halves to the even neighbour.
int64_t RoundEven(double V) {
    return static_cast<int64_t>(std::nearbyint(V));
}

}  // namespace

TCoolGauge::TCoolGauge(TComponent* AOwner) : TCustomControl(AOwner), FBar(std::make_unique<TBitmap>()) {
    ControlStyle |= csFramed | csOpaque;
    SetBounds(Left(), Top(), 100, 20);
    FBar->SetSize(1, 1);
}

TCoolGauge::~TCoolGauge() = default;

void TCoolGauge::SetBorderStyle(TBorderStyle Value) {
    if (Value == FBorderStyle) return;
    FBorderStyle = Value;
    Refresh();
}

void TCoolGauge::SetMinValue(int Value) {
    if (Value == FMinValue) return;
    if (Value < FMaxValue) FMinValue = Value;
    if (FProgress < Value) FProgress = Value;
    Refresh();
}

void TCoolGauge::SetMaxValue(int Value) {
    if (Value == FMaxValue) return;
    if (Value > FMinValue) FMaxValue = Value;
    if (FProgress > Value) FProgress = Value;
    Refresh();
}

int TCoolGauge::FillWidth() const {
    const int W = Width();
    if (FMaxValue == 0 || W <= 0) return 0;
    const int64_t f = RoundEven(static_cast<double>(W) / FMaxValue * FProgress);
    return static_cast<int>(std::clamp<int64_t>(f, 0, W));
}

int64_t TCoolGauge::Percent() const {
    if (FMaxValue == 0) return 0;
    return RoundEven(static_cast<double>(FProgress) / FMaxValue * 100.0);
}

void TCoolGauge::SetProgress(int Value) {
    if (Value == FProgress) return;
    const int W = Width();
    const double oldWidth =
        FMaxValue == 0 ? 0.0 : static_cast<double>(RoundEven(static_cast<double>(W) / FMaxValue * FProgress));
    if (Value < FMinValue || Value > FMaxValue) return;
    FProgress = Value;
    const double newWidth = FMaxValue == 0 ? 0.0 : static_cast<double>(W) / FMaxValue * FProgress;
    if (newWidth != oldWidth) Refresh();
}

void TCoolGauge::SetBackColor(TColor Value) {
    if (Value == FBackColor) return;
    FBackColor = Value;
    Refresh();
}

void TCoolGauge::SetForeColor1(TColor Value) {
    if (Value == FForeColor1) return;
    FForeColor1 = Value;
    FRebuild = true;
    Refresh();
}

void TCoolGauge::SetForeColor2(TColor Value) {
    if (Value == FForeColor2) return;
    FForeColor2 = Value;
    FRebuild = true;
    Refresh();
}

void TCoolGauge::SetStyle(tCoolGaugeStyle Value) {
    if (Value == FStyle) return;
    FStyle = Value;
    FRebuild = true;
    Refresh();
}

void TCoolGauge::SetText(const std::string& Value) {
    if (Value == FFormat) return;
    FFormat = Value;
    Refresh();
}

void TCoolGauge::SetFrame(bool Value) {
    if (Value == FFrame) return;
    FFrame = Value;
    if (Value)
        ControlStyle |= csFramed;
    else
        ControlStyle &= ~static_cast<TControlStyle>(csFramed);
    Refresh();
}

void TCoolGauge::Dispatch(TMessage& Message) {
    if (Message.Msg == WM_ERASEBKGND) {  // every pixel is painted: nothing to erase
        Message.Result = 1;
        return;
    }
    TCustomControl::Dispatch(Message);
}

void TCoolGauge::BuildBar(int W, int H) {
    FRebuild = false;
    ++FBarBuilds;
    FBar = std::make_unique<TBitmap>();
    FBar->SetPixelFormat(pf24bit);
    FBar->SetSize(W, H);
    TCanvas& c = FBar->Canvas();
    if (FStyle == sDithered) {
        // Plain RGB values: each channel steps one unit towards the last colour per strip.
        const uint32_t from = static_cast<uint32_t>(FForeColor1), to = static_cast<uint32_t>(FForeColor2);
        int cur[3] = {static_cast<int>(from & 0xFF), static_cast<int>((from >> 8) & 0xFF),
                      static_cast<int>((from >> 16) & 0xFF)};
        const int target[3] = {static_cast<int>(to & 0xFF), static_cast<int>((to >> 8) & 0xFF),
                               static_cast<int>((to >> 16) & 0xFF)};
        for (int i = 0; i < 256; ++i) {
            for (int k = 0; k < 3; ++k) {
                if (cur[k] < target[k])
                    ++cur[k];
                else if (cur[k] > target[k])
                    --cur[k];
            }
            const int x1 = static_cast<int>(static_cast<int64_t>(i) * W / 256);
            const int x2 = static_cast<int>(static_cast<int64_t>(i + 1) * W / 256);
            if (x2 <= x1) continue;
            c.Brush.Style = bsSolid;
            c.Brush.Color =
                RGB(static_cast<uint8_t>(cur[0]), static_cast<uint8_t>(cur[1]), static_cast<uint8_t>(cur[2]));
            c.FillRect(Rect(x1, 0, x2, H));
        }
    } else {
        c.Brush.Style = bsSolid;
        c.Brush.Color = FForeColor1;
        c.FillRect(Rect(0, 0, W, H));
    }
}

void TCoolGauge::Paint() {
    const int W = Width(), H = Height();
    if (W <= 0 || H <= 0) return;
    if (FRebuild || FBar->Width() != W || FBar->Height() != H) BuildBar(W, H);

    TBitmap work;
    work.SetPixelFormat(pf24bit);
    work.SetSize(W, H);
    TCanvas& c = work.Canvas();
    c.Brush.Style = bsSolid;
    c.Brush.Color = FBackColor;
    c.FillRect(Rect(0, 0, W, H));
    const int F = FillWidth();
    if (F > 0) BitBlt(c.Handle(), 0, 0, F, H, FBar->Canvas().Handle(), 0, 0, SRCCOPY);

    c.Font.Assign(Font());
    if (!FFormat.empty()) {
        const std::string s = framework::Format(
            FFormat, {static_cast<int>(std::clamp<int64_t>(Percent(), INT32_MIN, INT32_MAX))});
        c.Brush.Color = Font().Color;
        c.Brush.Style = bsClear;
        const TSize ext = c.TextExtent(s);
        c.TextOut((W - ext.cx) / 2, (H - ext.cy) / 2, s);
    }
    if (FBorderStyle == bsSingle) {
        c.Brush.Style = bsSolid;
        c.Brush.Color = Font().Color;
        c.FrameRect(Rect(0, 0, W, H));
    }
    BitBlt(Canvas().Handle(), 0, 0, W, H, c.Handle(), 0, 0, SRCCOPY);
}

}  // namespace kit
