#include "controls/entry/CtlClock.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <vector>

#include "controls/entry/CtlController.h"

namespace entry {

using namespace framework;

namespace {

constexpr uint32_t kTriggerInterval = 500;
constexpr int64_t kMsPerDay = 86'400'000;

// A duration in milliseconds as a date-time value: whole days and the time of day, whole seconds
// kept exact.
TDateTime DurationToDateTime(int64_t Ms) {
    const int64_t s = Ms / 1000;
    return static_cast<double>(Ms / kMsPerDay) + EncodeTime(static_cast<int>((s % 86400) / 3600),
                                                            static_cast<int>((s % 3600) / 60),
                                                            static_cast<int>(s % 60), 0);
}

void HourMinuteSecond(TDateTime T, int& H, int& M, int& S) {
    uint16_t h, m, s, ms;
    DecodeTime(T, h, m, s, ms);
    H = h;
    M = m;
    S = s;
}

// The direction of a position 0..59 on the face (0 up, clockwise), as the marks are laid out.
double PositionAngle(int Position) {
    const int deg = (static_cast<int>(std::lround(Position / 60.0 * 360.0)) + 90) % 360;
    return deg * std::numbers::pi / 180.0;
}

}  // namespace

// ---- Options ----

void TCtlHandOptions::Assign(TPersistent* Source) {
    auto* s = dynamic_cast<TCtlHandOptions*>(Source);
    if (!s) {
        TPersistent::Assign(Source);
        return;
    }
    FHourHandColor = s->FHourHandColor;
    FHourHandLength = s->FHourHandLength;
    FHourHandWidth = s->FHourHandWidth;
    FMinuteHandColor = s->FMinuteHandColor;
    FMinuteHandLength = s->FMinuteHandLength;
    FMinuteHandWidth = s->FMinuteHandWidth;
    FSecondHandColor = s->FSecondHandColor;
    FSecondHandLength = s->FSecondHandLength;
    FSecondHandWidth = s->FSecondHandWidth;
    FShowSecondHand = s->FShowSecondHand;
    FSolidHands = s->FSolidHands;
    OnChange = s->OnChange;
}

void TCtlDigitalOptions::Assign(TPersistent* Source) {
    auto* s = dynamic_cast<TCtlDigitalOptions*>(Source);
    if (!s) {
        TPersistent::Assign(Source);
        return;
    }
    FOnColor = s->FOnColor;
    FOffColor = s->FOffColor;
    FBgColor = s->FBgColor;
    FSize = s->FSize;
    FShowSeconds = s->FShowSeconds;
    FMilitaryTime = s->FMilitaryTime;
    if (OnChange) OnChange();
}

// ---- The clock ----

TCtlCustomClock::TCtlCustomClock(TComponent* AOwner)
    : TCtlCustomControlEx(AOwner),
      FClockFace(std::make_unique<TBitmap>()),
      FBitmap(std::make_unique<TBitmap>()) {
    SetColor(clWindow);
    SetParentColor(true);
    SetBounds(Left(), Top(), 136, 136);
    FHandOptions.OnChange = [this] {
        if (FDisplayMode == dmAnalog) Invalidate();
    };
    FDigitalOptions.OnChange = [this] { DigitalOptionsChanged(); };
}

TCtlCustomClock::~TCtlCustomClock() {
    Stop();
    FActive = false;
}

void TCtlCustomClock::SetActive(bool Value) {
    if (Loading()) {
        FActive = Value;
        return;
    }
    if (Value == FActive) return;
    FActive = Value;
    if (Value)
        Start();
    else
        Stop();
    Invalidate();
}

void TCtlCustomClock::Start() {
    if (FDisplayMode == dmDigital) FMilitaryTime = FDigitalOptions.MilitaryTime();
    if (FTrigger < 0) {
        TCtlController* controller = GetController();
        FTrigger = controller->TimerPool().Add(
            [this](TObject*, int32_t, uint32_t, int32_t Elapsed) { Trigger(Elapsed); }, kTriggerInterval);
        FTriggerOwner = controller;
        controller->FreeNotification(this);
    }
    switch (FClockMode) {
        case cmClock:
            ShowTime(Now());
            break;
        case cmCountdownTimer:
            FCountdownMs = ((int64_t(FHourOffset) * 60 + FMinuteOffset) * 60 + FSecondOffset) * 1000;
            ShowCountdownStart();
            break;
        case cmTimer:
            ShowTime(0);
            break;
    }
}

void TCtlCustomClock::Stop() {
    if (FTrigger >= 0 && FTriggerOwner) FTriggerOwner->TimerPool().Remove(FTrigger);
    FTrigger = -1;
    FTriggerOwner = nullptr;
}

void TCtlCustomClock::ShowCountdownStart() {
    const int64_t ms = ((int64_t(FHourOffset) * 60 + FMinuteOffset) * 60 + FSecondOffset) * 1000;
    ShowTime(ms > 0 ? DurationToDateTime(ms) : 0);
}

void TCtlCustomClock::Trigger(int32_t ElapsedTime) {
    switch (FClockMode) {
        case cmClock: {
            int h, m, s;
            HourMinuteSecond(Now(), h, m, s);
            // Offsets carry into the hour and wrap round the day, also below zero.
            const int minutes = m + FMinuteOffset;
            const int carry = minutes >= 0 ? minutes / 60 : -((59 - minutes) / 60);
            const int hours = ((h + FHourOffset + carry) % 24 + 24) % 24;
            ShowTime(EncodeTime(hours, ((minutes % 60) + 60) % 60, s, 0));
            break;
        }
        case cmTimer:
            ShowTime(DurationToDateTime(ElapsedTime));
            break;
        case cmCountdownTimer: {
            const int64_t left = FCountdownMs - ElapsedTime;
            if (left > 0) {
                ShowTime(DurationToDateTime(left));
            } else {
                ShowTime(0);
                Stop();
                FActive = false;
                if (OnCountdownDone) OnCountdownDone(this);
            }
            break;
        }
    }
}

void TCtlCustomClock::ShowTime(TDateTime Time) {
    int h, m, s, oh, om, os;
    HourMinuteSecond(Time, h, m, s);
    HourMinuteSecond(FTime, oh, om, os);
    if (h == oh && m == om && s == os) return;
    FTime = Time;
    if (h != FHour) {
        FHour = h;
        if (OnHourChange) OnHourChange(this);
    }
    if (m != FMinute) {
        FMinute = m;
        if (OnMinuteChange) OnMinuteChange(this);
    }
    if (s != FSecond) {
        FSecond = s;
        if (OnSecondChange) OnSecondChange(this);
    }
    UpdateDisplayText();
    Invalidate();
}

void TCtlCustomClock::UpdateDisplayText() {
    if (!FDisplay) return;
    const bool seconds = FDigitalOptions.ShowSeconds();
    const char* picture =
        seconds ? (FMilitaryTime ? "hh:mm:ss" : "hh:mm:ss am/pm") : (FMilitaryTime ? "hh:mm" : "hh:mm am/pm");
    FDisplay->SetText(FormatDateTime(picture, FTime));
}

void TCtlCustomClock::SetClockMode(TCtlClockMode Value) {
    if (Value == FClockMode) return;
    if (FActive) SetActive(false);
    FClockMode = Value;
    FMilitaryTime = Value != cmClock;
    if (Value == cmCountdownTimer)
        ShowTime(DurationToDateTime((int64_t(std::max(FHourOffset, 0)) * 60 + std::max(FMinuteOffset, 0)) *
                                    60'000));
    else
        ShowTime(0);
    Invalidate();
}

void TCtlCustomClock::SetHourOffset(int32_t Value) {
    if (Value < -24 || Value > 24 || Value == FHourOffset) return;
    FHourOffset = Value;
    if (FClockMode == cmCountdownTimer) ShowCountdownStart();
}

void TCtlCustomClock::SetMinuteOffset(int32_t Value) {
    if (Value < -60 || Value > 60 || Value == FMinuteOffset) return;
    FMinuteOffset = Value;
    if (FClockMode == cmCountdownTimer) ShowCountdownStart();
}

void TCtlCustomClock::SetSecondOffset(int32_t Value) {
    if (Value < -59 || Value > 59 || Value == FSecondOffset) return;
    FSecondOffset = Value;
    if (FClockMode == cmCountdownTimer) ShowCountdownStart();
}

void TCtlCustomClock::SetDisplayMode(TCtlClockDisplayMode Value) {
    if (Value == FDisplayMode) return;
    FDisplayMode = Value;
    if (Value == dmDigital) {
        FSavedWidth = Width();
        FSavedHeight = Height();
        FDisplay = NewComponent<TCtlLEDClockDisplay>(this);
        FDisplay->SetParent(this);
        const bool seconds = FDigitalOptions.ShowSeconds();
        FDisplay->SetText(seconds ? "00:00:00" : "00:00");
        DigitalOptionsChanged();
        if (FActive) UpdateDisplayText();
    } else {
        TCtlLEDClockDisplay* display = FDisplay;
        FDisplay = nullptr;
        if (display) display->Free();
        if (FSavedHeight < FSavedWidth)
            SetBounds(Left(), Top(), 136, 136);
        else
            SetBounds(Left(), Top(), FSavedWidth, FSavedHeight);
    }
    Invalidate();
}

void TCtlCustomClock::DigitalOptionsChanged() {
    FMilitaryTime = FDigitalOptions.MilitaryTime();
    if (!FDisplay) return;
    FDisplay->SetSize(FDigitalOptions.Size());
    FDisplay->SetOnColor(FDigitalOptions.OnColor());
    FDisplay->SetOffColor(FDigitalOptions.OffColor());
    FDisplay->SetBgColor(FDigitalOptions.BgColor());
    const bool seconds = FDigitalOptions.ShowSeconds();
    FDisplay->SetCellColumns(seconds ? (FMilitaryTime ? 8 : 11) : (FMilitaryTime ? 5 : 8));
    FDisplay->SetBounds(0, 0, FDisplay->Width(), FDisplay->Height());
    SizeToDisplay();
    Invalidate();
}

void TCtlCustomClock::SizeToDisplay() {
    if (!FDisplay || FSizing) return;
    FSizing = true;
    SetBounds(Left(), Top(), FDisplay->Width(), FDisplay->Height());
    FSizing = false;
}

void TCtlCustomClock::SetClockFace(const TBitmap* Value) {
    if (Value && !Value->Empty())
        FClockFace->Assign(*Value);
    else
        FClockFace->FreeImage();
    Invalidate();
}

void TCtlCustomClock::SetDrawMarks(bool Value) {
    if (Value == FDrawMarks) return;
    FDrawMarks = Value;
    Invalidate();
}

void TCtlCustomClock::Loaded() {
    TCtlCustomControlEx::Loaded();
    DigitalOptionsChanged();
    Invalidate();
    const bool active = FActive;
    FActive = false;
    SetActive(active);
}

void TCtlCustomClock::Notification(TComponent* AComponent, TOperation Operation) {
    TCtlCustomControlEx::Notification(AComponent, Operation);
    if (Operation != opRemove) return;
    if (AComponent == FTriggerOwner) {
        // The pool goes with its controller, and the trigger with it.
        FTrigger = -1;
        FTriggerOwner = nullptr;
        FActive = false;
    }
    if (AComponent == FDisplay) FDisplay = nullptr;
}

void TCtlCustomClock::Dispatch(TMessage& Message) {
    switch (Message.Msg) {
        case WM_ERASEBKGND:
            Message.Result = 1;
            return;
        case WM_GETDLGCODE:
            Message.Result = DLGC_STATIC;
            return;
        case WM_SIZE:
            TCtlCustomControlEx::Dispatch(Message);
            if (FDisplayMode == dmDigital) SizeToDisplay();
            return;
        default:
            TCtlCustomControlEx::Dispatch(Message);
    }
}

void TCtlCustomClock::Paint() {
    const int W = ClientWidth(), H = ClientHeight();
    if (W <= 0 || H <= 0) return;
    FBitmap->SetPixelFormat(pf24bit);
    FBitmap->SetSize(W, H);
    TCanvas& c = FBitmap->Canvas();
    c.Brush.Style = bsSolid;
    if (FDisplayMode == dmDigital) {
        c.Brush.Color = FDigitalOptions.BgColor();
        c.FillRect(Rect(0, 0, W, H));
    } else {
        PaintAnalog(c);
    }
    BitBlt(Canvas().Handle(), 0, 0, W, H, c.Handle(), 0, 0, SRCCOPY);
}

void TCtlCustomClock::PaintAnalog(TCanvas& c) {
    const int W = ClientWidth(), H = ClientHeight();
    c.Brush.Style = bsSolid;
    c.Brush.Color = Color();
    c.FillRect(Rect(0, 0, W, H));

    if (!FClockFace->Empty()) {
        const int inset = FDrawMarks ? 3 : 0;
        const TRect face = Rect(inset, inset, W - inset, H - inset);
        HRGN rgn = CreateEllipticRgn(face.Left, face.Top, face.Right, face.Bottom);
        SelectClipRgn(c.Handle(), rgn);
        c.StretchDraw(face, FClockFace.get());
        SelectClipRgn(c.Handle(), 0);
        DeleteObject(rgn);
    }

    const int rx = std::max(1, W / 2), ry = std::max(1, H / 2);
    if (FDrawMarks) {
        for (int i = 0; i < 60; ++i) {
            const double a = PositionAngle(i);
            const int x = static_cast<int>(std::lround((1 - std::cos(a) * 0.98) * rx));
            const int y = static_cast<int>(std::lround((1 - std::sin(a) * 0.98) * ry));
            if (i % 5 == 0) {
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx) {
                        TColor col = clGray;
                        if (dx + dy < 0 || (dx == -1 && dy == 1)) col = clBlue;
                        if (dx + dy > 0 || (dx == 1 && dy == -1)) col = clBlack;
                        c.SetPixel(x + dx, y + dy, col);
                    }
            } else {
                c.SetPixel(x, y, clSilver);
                c.SetPixel(x - 1, y, clGray);
                c.SetPixel(x, y - 1, clGray);
                c.SetPixel(x - 1, y - 1, clGray);
                c.SetPixel(x + 1, y, clWhite);
                c.SetPixel(x, y + 1, clWhite);
                c.SetPixel(x + 1, y + 1, clWhite);
            }
        }
    }

    int h, m, s;
    HourMinuteSecond(FTime, h, m, s);
    const int R = std::min(rx, ry);
    const auto hand = [&](int Position, TCtlPercent Length, int Width, TColor HandColor) {
        const int L = R * Length / 100;
        const int e = Width >= 2 ? L / 4 : 0;
        const double a = PositionAngle(Position);
        const double dx = -std::cos(a), dy = -std::sin(a);  // towards the tip
        // Stretched along the longer axis of a face that is not round.
        const double sx = static_cast<double>(rx) / R, sy = static_cast<double>(ry) / R;
        // (u across the hand, v along it, negative towards the tip)
        const auto at = [&](int U, int V) {
            const double x = U * -dy + -V * dx, y = U * dx + -V * dy;
            return TPoint{static_cast<int>(std::lround(rx + x * sx)),
                          static_cast<int>(std::lround(ry + y * sy))};
        };
        const TPoint centre = at(0, 0), mid = at(0, -e), tip = at(0, -L), left = at(-Width, -e),
                     right = at(Width, -e);
        c.Pen.Style = psSolid;
        c.Pen.Width = 1;
        c.Pen.Color = HandColor;
        c.Brush.Style = bsSolid;
        if (FHandOptions.SolidHands()) {
            c.Brush.Color = HandColor;
            c.Polygon({centre, left, tip, right});
        } else {
            c.Brush.Color = Color();
            c.Polygon({centre, left, tip, right});
            // Two facets catch the light, on the side the quarter turns to.
            c.Brush.Color = clWhite;
            if ((Position / 15) % 2 == 0) {
                c.Polygon({centre, left, mid});
                c.Polygon({mid, left, tip});
            } else {
                c.Polygon({centre, right, mid});
                c.Polygon({mid, right, tip});
            }
        }
    };
    hand(m / 12 + 5 * (h % 12), FHandOptions.HourHandLength(), FHandOptions.HourHandWidth(),
         FHandOptions.HourHandColor());
    hand(m, FHandOptions.MinuteHandLength(), FHandOptions.MinuteHandWidth(), FHandOptions.MinuteHandColor());
    if (FHandOptions.ShowSecondHand())
        hand(s, FHandOptions.SecondHandLength(), FHandOptions.SecondHandWidth(),
             FHandOptions.SecondHandColor());

    const int hub = static_cast<int>(std::lround(0.04 * R)) + 1;
    c.Pen.Style = psSolid;
    c.Pen.Color = clBlack;
    c.Brush.Color =
        FHandOptions.ShowSecondHand() ? FHandOptions.SecondHandColor() : FHandOptions.MinuteHandColor();
    c.Ellipse(rx - hub, ry - hub, rx + hub + 1, ry + hub + 1);
}

}  // namespace entry
