#include "controls/entry/CtlSpinner.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "controls/entry/CtlDateEdit.h"
#include "controls/entry/CtlEntryField.h"
#include "controls/entry/CtlStrings.h"
#include "framework/core/Seams.h"
#include "framework/core/SysUtils.h"
#include "framework/stdctrls/Edit.h"
#include "framework/ui/Forms.h"
#include "framework/ui/Windows.h"

namespace entry {

using namespace framework;

namespace {

// The shortest repeat interval: steps come at most this often however long the button is held.
constexpr int32_t MinRepeatInterval = 10;

struct TEdgeLine {
    TColor Raised, Pressed;
    int Offset;
    bool Mark;
};

struct TEdgeKind {
    TEdgeLine Lines[2];
    int Count;
    int Moves;  // kinds 11 and 12 move their end points before each line
};

const TEdgeKind& KindOf(int Kind) {
    static const TEdgeKind kinds[15] = {
        {{{clWindowFrame, clWindowFrame, 0, false}}, 1, 0},
        {{{clBtnHighlight, clWindowFrame, 0, false}, {clBtnFace, clBtnShadow, 1, false}}, 2, 0},
        {{{clWindowFrame, clBtnHighlight, 0, false}, {clBtnShadow, clBtnFace, -1, false}}, 2, 0},
        {{{clBtnHighlight, clWindowFrame, 1, false}, {clWindowFrame, clWindowFrame, 0, false}}, 2, 0},
        {{{clWindowFrame, clBtnHighlight, -1, false}, {clWindowFrame, clWindowFrame, 0, false}}, 2, 0},
        {{{clBtnHighlight, clWindowFrame, 1, true}, {clWindowFrame, clWindowFrame, 0, true}}, 2, 0},
        {{{clWindowFrame, clBtnHighlight, -1, true}, {clWindowFrame, clWindowFrame, 0, true}}, 2, 0},
        {{{clBtnHighlight, clWindowFrame, 1, false}, {clBtnFace, clBtnShadow, 2, false}}, 2, 0},
        {{{clWindowFrame, clBtnHighlight, -1, false}, {clBtnShadow, clBtnFace, -2, false}}, 2, 0},
        {{{clBtnHighlight, clBtnShadow, 0, false}}, 1, 0},
        {{{clWindowFrame, clBtnHighlight, 0, false}}, 1, 0},
        {{{clBtnHighlight, clWindowFrame, 0, false}, {clBtnFace, clBtnShadow, 0, false}}, 2, 11},
        {{{clWindowFrame, clBtnHighlight, 0, false}, {clBtnShadow, clBtnFace, 0, false}}, 2, 12},
        {{{clBtnHighlight, clWindowFrame, 1, true}, {clWindowFrame, clWindowFrame, 0, false}}, 2, 0},
        {{{clBtnShadow, clBtnFace, -1, true}, {clWindowFrame, clWindowFrame, 0, false}}, 2, 0},
    };
    return kinds[std::clamp(Kind, 0, 14)];
}

// One edge of a button: from one key point to another, drawn as its kind says.
void DrawEdge(TCanvas& Canvas, TPoint From, TPoint To, int Kind, bool Down, int Width) {
    const bool vertical = From.X == To.X;
    double m;
    if (vertical)
        m = From.Y > To.Y ? 2.0 : -2.0;
    else
        m = static_cast<double>(From.Y - To.Y) / static_cast<double>(From.X - To.X);
    if (m > 1 && Kind >= 3) Kind += (Kind % 2 == 1) ? 1 : -1;
    const TEdgeKind& k = KindOf(Kind);
    for (int i = 0; i < k.Count; ++i) {
        const TEdgeLine& line = k.Lines[i];
        if (k.Moves == 11) {
            From = vertical ? Point(From.X + 1, From.Y + 1) : Point(From.X + 1, From.Y + 1);
            To = vertical ? Point(To.X + 1, To.Y - 1) : Point(To.X - 1, To.Y + 1);
        } else if (k.Moves == 12) {
            From = vertical ? Point(From.X - 1, From.Y + 1) : Point(From.X + 1, From.Y - 1);
            To = vertical ? Point(To.X - 1, To.Y - 1) : Point(To.X - 1, To.Y - 1);
        }
        const bool fromIsA = From.X < To.X || (From.X == To.X);
        TPoint a = fromIsA ? From : To, b = fromIsA ? To : From;
        const bool markA = line.Mark && !fromIsA, markB = line.Mark && fromIsA;
        int off = line.Offset;
        const int d = std::abs(off);
        if (m >= 0 && a.X > Width / 2) off = -off;
        const auto near = [](double X, double V) { return std::fabs(X - V) < 1e-9; };
        if (std::fabs(m) > 1) {
            a.X += off;
            b.X += off;
            if (vertical) {
                if (a.Y <= b.Y)
                    a.Y += d, b.Y -= d;
                else
                    a.Y -= d, b.Y += d;
            }
        } else if (near(m, 0)) {
            a.Y += off;
            b.Y += off;
            a.X -= d;
            b.X += d;
        } else if (near(m, 1) && off != 0) {
            if (off > 0) {
                a = markA ? Point(a.X, a.Y + d) : Point(a.X + 2 * d, a.Y + 3 * d);
                b = markB ? Point(b.X - d, b.Y) : Point(b.X - 3 * d, b.Y - 2 * d);
            } else {
                a = markA ? Point(a.X + d, a.Y) : Point(a.X + 3 * d, a.Y + 2 * d);
                b = markB ? Point(b.X, b.Y - d) : Point(b.X - 2 * d, b.Y - 3 * d);
            }
        } else if (near(m, -1) && off != 0) {
            if (off > 0) {
                a = markA ? Point(a.X + d, a.Y) : Point(a.X + 3 * d, a.Y - 2 * d);
                b = markB ? Point(b.X, b.Y + d) : Point(b.X - 2 * d, b.Y + 3 * d);
            } else {
                a = markA ? Point(a.X, a.Y - d) : Point(a.X + 2 * d, a.Y - 3 * d);
                b = markB ? Point(b.X - d, b.Y) : Point(b.X - 3 * d, b.Y + 2 * d);
            }
        } else {
            a.Y += off;
            b.Y += off;
        }
        const TColor color = Down ? line.Pressed : line.Raised;
        Canvas.Pen.Color = color;
        Canvas.Pen.Width = 1;
        Canvas.MoveTo(a.X, a.Y);
        Canvas.LineTo(b.X, b.Y);
        Canvas.SetPixel(b.X, b.Y, color);
    }
}

}  // namespace

void CtlDrawButtonFace(TCanvas& Canvas, const TRect& R, bool Pressed) {
    if (R.Width() <= 0 || R.Height() <= 0) return;
    Canvas.Brush.Color = clBtnFace;
    Canvas.FillRect(R);
    Canvas.Pen.Width = 1;
    Canvas.Pen.Color = clWindowFrame;
    Canvas.Brush.Style = bsClear;
    Canvas.Rectangle(R.Left, R.Top, R.Right, R.Bottom);
    Canvas.Brush.Style = bsSolid;
    const int l = R.Left + 1, t = R.Top + 1, r = R.Right - 2, b = R.Bottom - 2;
    if (r < l || b < t) return;
    Canvas.Pen.Color = Pressed ? clBtnShadow : clBtnHighlight;
    Canvas.MoveTo(l, b);
    Canvas.LineTo(l, t);
    Canvas.LineTo(r + 1, t);
    if (!Pressed) {
        Canvas.Pen.Color = clBtnShadow;
        Canvas.MoveTo(r, t + 1);
        Canvas.LineTo(r, b);
        Canvas.LineTo(l, b);
    }
}

TCtlSpinner::TCtlSpinner(TComponent* AOwner) : TCtlCustomControl(AOwner) {
    ControlStyle |= csFramed | csOpaque | csReplicatable;
    SetTabStop(false);
    SetBounds(Left(), Top(), 16, 25);
}

TCtlSpinner::~TCtlSpinner() {
    FreeRegions();
}

// ---- Properties ----

void TCtlSpinner::SetAcceleration(int32_t Value) {
    if (Value <= 10) FAcceleration = Value;
}

void TCtlSpinner::SetAutoRepeat(bool Value) {
    FAutoRepeat = Value;
    if (Value && !(ComponentState() & csLoading) && FPressed) RepeatLoop();
}

void TCtlSpinner::SetFocusedControl(TWinControl* Value) {
    if (Value == FFocusedControl) return;
    if (FFocusedControl) FFocusedControl->RemoveFreeNotification(this);
    FFocusedControl = Value;
    if (FFocusedControl) FFocusedControl->FreeNotification(this);
}

void TCtlSpinner::SetShowArrows(bool Value) {
    FShowArrows = Value;
    Repaint();
}

void TCtlSpinner::SetStyle(TCtlSpinnerStyle Value) {
    if (Value == FStyle) return;
    FStyle = Value;
    if (HandleAllocated()) RecreateWnd();
    if (!(ComponentState() & csLoading)) SetBounds(Left(), Top(), Width(), Height());
}

void TCtlSpinner::Notification(TComponent* AComponent, TOperation Operation) {
    TCtlCustomControl::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FFocusedControl) FFocusedControl = nullptr;
}

void TCtlSpinner::CreateParams(TCreateParams& Params) {
    TCtlCustomControl::CreateParams(Params);
    ControlStyle &= ~csFramed;
    if (!(ComponentState() & csDesigning)) ControlStyle &= ~csDoubleClicks;
}

void TCtlSpinner::Loaded() {
    TCtlCustomControl::Loaded();
    BuildRegions();
}

void TCtlSpinner::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    if ((ComponentState() & csDesigning) && !(ComponentState() & csLoading)) {
        AWidth = std::max(AWidth, 13);
        AHeight = std::max(AHeight, 13);
    }
    TCtlCustomControl::SetBounds(ALeft, ATop, AWidth, AHeight);
    ComputePoints();
    BuildRegions();
    Invalidate();
}

// ---- Geometry ----

void TCtlSpinner::ComputePoints() {
    const int w = Width(), h = Height();
    P0 = Point(0, 0);
    P1 = Point(w - 1, 0);
    P2 = Point(0, h - 1);
    P3 = Point(w - 1, h - 1);
    C = Point(w / 2, h / 2);
    Q1 = Point(w / 3, h / 3);
    Q2 = Point(w / 3, 2 * h / 3);
    Q3 = Point(2 * w / 3, h / 3);
    Q4 = Point(2 * w / 3, 2 * h / 3);
    T = Point(w / 2, 0);
    B = Point(w / 2, h - 1);
    L = Point(0, h / 2);
    R = Point(w - 1, h / 2);
    U1 = Point(w / 4, 0);
    U2 = Point(w / 4, h - 1);
    U3 = Point(3 * w / 4, 0);
    U4 = Point(3 * w / 4, h - 1);
}

void TCtlSpinner::FreeRegions() {
    for (HRGN& r : FRegions) {
        if (r) DeleteObject(r);
        r = 0;
    }
}

void TCtlSpinner::BuildRegions() {
    FreeRegions();
    const int w = Width(), h = Height();
    const auto poly = [](std::initializer_list<TPoint> Points) {
        const std::vector<TPoint> p(Points);
        return CreatePolygonRgn(p.data(), static_cast<int>(p.size()), ALTERNATE);
    };
    switch (FStyle) {
        case stNormalVertical:
            FRegions[kUp] = CreateRectRgn(0, 0, w - 1, (h - 1) / 2);
            FRegions[kDown] = CreateRectRgn(0, (h - 1) / 2, w - 1, h - 1);
            break;
        case stNormalHorizontal:
            FRegions[kLeft] = CreateRectRgn(0, 0, (w - 1) / 2, h - 1);
            FRegions[kRight] = CreateRectRgn((w - 1) / 2, 0, w - 1, h - 1);
            break;
        case stFourWay:
            FRegions[kUp] = poly({P0, P1, C});
            FRegions[kDown] = poly({P2, C, P3});
            FRegions[kLeft] = poly({P0, C, P2});
            FRegions[kRight] = poly({P1, P3, C});
            break;
        case stStar:
            FRegions[kUp] = poly({T, Q3, Q1});
            FRegions[kDown] = poly({B, Q2, Q4});
            FRegions[kLeft] = poly({L, Q1, Q2});
            FRegions[kRight] = poly({R, Q4, Q3});
            FRegions[kCenter] = poly({Q1, Q3, Q4, Q2});
            break;
        case stDiagonalVertical:
            FRegions[kUp] = poly({P0, P1, P2});
            FRegions[kDown] = poly({P2, P1, P3});
            break;
        case stDiagonalHorizontal:
            FRegions[kLeft] = poly({P0, P1, P2});
            FRegions[kRight] = poly({P2, P1, P3});
            break;
        case stDiagonalFourWay:
            FRegions[kUp] = poly({U1, U3, U2});
            FRegions[kDown] = poly({U3, U4, U2});
            FRegions[kLeft] = poly({P0, U1, U2, P2});
            FRegions[kRight] = poly({U3, P1, P3, U4});
            break;
        case stPlainStar:
            FRegions[kUp] = poly({T, Q3, C, Q1});
            FRegions[kDown] = poly({Q2, C, Q4, B});
            FRegions[kLeft] = poly({L, Q1, C, Q2});
            FRegions[kRight] = poly({Q3, R, Q4, C});
            break;
    }
}

TCtlSpinState TCtlSpinner::StateAt(int X, int Y) const {
    static constexpr TCtlSpinState states[5] = {ssUpBtn, ssDownBtn, ssLeftBtn, ssRightBtn, ssCenterBtn};
    for (int i = 0; i < 5; ++i)
        if (FRegions[static_cast<size_t>(i)] && PtInRegion(FRegions[static_cast<size_t>(i)], X, Y))
            return states[i];
    return ssNormal;
}

TCtlSpinState TCtlSpinner::HitTest() const {
    TPoint p{};
    GetCursorPos(&p);
    p = ScreenToClient(p);
    if (p.X < 0 || p.Y < 0 || p.X >= ClientWidth() || p.Y >= ClientHeight()) return ssNone;
    if (!(ControlState & csClicked)) return ssNormal;
    return StateAt(p.X, p.Y);
}

// ---- Pressing and stepping ----

void TCtlSpinner::Dispatch(TMessage& Message) {
    switch (Message.Msg) {
        case WM_LBUTTONDOWN: {
            TCtlCustomControl::Dispatch(Message);
            if (FFocusedControl && !FFocusedControl->Focused()) {
                if (CanFocus()) SetFocus();
                Application->ProcessMessages();
                if (!Focused()) return;
                if (!FFocusedControl->Focused() && FFocusedControl->CanFocus()) FFocusedControl->SetFocus();
            }
            try {
                StartSpin();
            } catch (...) {
                StopSpin();
                throw;
            }
            return;
        }
        case WM_LBUTTONUP:
            TCtlCustomControl::Dispatch(Message);
            StopSpin();
            return;
        case WM_GETDLGCODE:
            Message.Result = DLGC_STATIC;
            return;
        case OM_RECREATEWND:
            RecreateWnd();
            return;
        default:
            TCtlCustomControl::Dispatch(Message);
    }
}

void TCtlSpinner::StartSpin() {
    FPrevState = FState;
    FState = HitTest();
    FPressed = true;
    InvalidateButton(FPrevState);
    InvalidateButton(FState);
    FSteps = 0;
    FPrimaryKey = CtlPrimaryButtonKey();
    FNextStep = GetTickCount() - 1;
    RepeatLoop();
}

void TCtlSpinner::RepeatLoop() {
    // The first step is taken at once.
    FNextStep = GetTickCount() - 1;
    DoStep(FState);
    const auto held = [this] { return GetAsyncKeyState(FPrimaryKey ? FPrimaryKey : VK_LBUTTON) < 0; };
    if (FState == ssCenterBtn || !FAutoRepeat) {
        while (held()) Application->ProcessMessages();
        StopSpin();
        return;
    }
    while (held()) {
        if (FAutoRepeat) DoStep(FState);
        Application->ProcessMessages();
        if (!held()) break;
        // Off the buttons the loop waits without stepping; it goes on when the pointer returns.
        TCtlSpinState now = HitTest();
        if (now == ssCenterBtn) now = ssNormal;
        if (now != FState) {
            FPrevState = FState;
            FState = now;
            FPressed = FState >= ssUpBtn;
            InvalidateButton(FPrevState);
            InvalidateButton(FState);
        }
    }
    StopSpin();
}

void TCtlSpinner::StopSpin() {
    FPrevState = FState;
    FState = ssNormal;
    const bool was = FPressed;
    FPressed = false;
    if (was || FPrevState != ssNormal) {
        InvalidateButton(FPrevState);
        if (HandleAllocated()) PaintButtons(false);
    }
}

void TCtlSpinner::DoStep(TCtlSpinState State) {
    if (!FPressed) return;
    auto* field = dynamic_cast<TCtlBaseEntryField*>(FFocusedControl);
    auto* edit = dynamic_cast<TCustomEdit*>(FFocusedControl);
    if (!OnClick && !field && !edit) return;
    const uint32_t now = GetTickCount();
    if (static_cast<int32_t>(now - FNextStep) <= 0) return;
    if (State >= ssUpBtn) {
        if (field) {
            switch (State) {
                case ssUpBtn:
                    field->IncrementValue(WrapMode, Delta);
                    break;
                case ssDownBtn:
                    field->DecrementValue(WrapMode, Delta);
                    break;
                case ssLeftBtn:
                    field->MoveCaret(-1);
                    break;
                case ssRightBtn:
                    field->MoveCaret(1);
                    break;
                default:
                    break;
            }
        } else if (edit) {
            try {
                auto* dates = dynamic_cast<TCtlCustomDateEdit*>(edit);
                double v = 0;
                if (dates) {
                    v = dates->GetDate();
                    // An empty date edit steps from today, as its "+" and "-" keys do.
                    if (v == 0) v = static_cast<double>(Date());
                } else {
                    v = StrToFloat(edit->Text());
                }
                if (State == ssUpBtn) v += Delta;
                if (State == ssDownBtn) v -= Delta;
                if (dates)
                    dates->SetDate(v);
                else
                    edit->SetText(FloatToStr(v));
            } catch (const std::exception&) {
                // A text that is no number (or no date) is left as it is, without a message.
            }
        }
    }
    if (OnClick) OnClick(this, State, Delta, WrapMode);
    const int32_t interval = std::max(MinRepeatInterval, DelayTime - FAcceleration * 10 * FSteps);
    FNextStep = GetTickCount() + static_cast<uint32_t>(interval);
    ++FSteps;
}

// ---- Painting ----

TRect TCtlSpinner::ArrowBox(TCtlSpinState State) const {
    const int w = Width(), h = Height();
    switch (FStyle) {
        case stNormalVertical:
            return State == ssUpBtn ? Rect(0, 0, w, (h - 1) / 2 + 1) : Rect(0, (h - 1) / 2 + 1, w, h);
        case stNormalHorizontal:
            return State == ssRightBtn ? Rect((w - 1) / 2, 0, w, h) : Rect(0, 0, (w - 1) / 2, h);
        case stFourWay:
            switch (State) {
                case ssUpBtn:
                    return Rect(0, 0, w, h / 3);
                case ssDownBtn:
                    return Rect(0, h - h / 3, w, h);
                case ssLeftBtn:
                    return Rect(0, 0, w / 3, h);
                default:
                    return Rect(w - w / 3, 0, w, h);
            }
        case stDiagonalVertical:
        case stDiagonalHorizontal:
            return (State == ssUpBtn || State == ssLeftBtn) ? Rect(0, 0, w / 2, h / 2)
                                                            : Rect((w + 1) / 2, (h + 1) / 2, w, h);
        case stDiagonalFourWay:
            switch (State) {
                case ssUpBtn:
                    return Rect(w / 4, 0, w / 2, h / 2);
                case ssDownBtn:
                    return Rect(w / 2, (h + 1) / 2, 3 * w / 4, h);
                case ssLeftBtn:
                    return Rect(0, 0, w / 4, h);
                default:
                    return Rect(3 * w / 4, 0, w, h);
            }
        case stStar:
            switch (State) {
                case ssUpBtn:
                    return Rect(Q1.X, T.Y, Q3.X, Q1.Y);
                case ssDownBtn:
                    return Rect(Q2.X, Q2.Y, Q4.X, B.Y);
                case ssLeftBtn:
                    return Rect(L.X, Q1.Y, Q1.X, Q2.Y);
                case ssRightBtn:
                    return Rect(Q3.X, Q3.Y, R.X, Q4.Y);
                default:
                    return Rect(0, 0, 0, 0);
            }
        case stPlainStar:
            switch (State) {
                case ssUpBtn:
                    return Rect(Q1.X, T.Y, Q3.X, C.Y);
                case ssDownBtn:
                    return Rect(Q2.X, C.Y, Q4.X, B.Y);
                case ssLeftBtn:
                    return Rect(L.X, Q1.Y, C.X, Q2.Y);
                default:
                    return Rect(C.X, Q3.Y, R.X, Q4.Y);
            }
    }
    return Rect(0, 0, 0, 0);
}

void TCtlSpinner::DrawArrow(TCanvas& Canvas, const TRect& Box, TCtlSpinState Dir, bool Down) {
    if (!FShowArrows || Box.Width() <= 0 || Box.Height() <= 0) return;
    const int w = Box.Width(), h = Box.Height();
    const int s = (std::min(w, h) / 2) | 1;
    const int t = (s + 1) / 2;
    const bool vertical = Dir == ssUpBtn || Dir == ssDownBtn;
    const int x0 = Box.Left + (vertical ? (w - s) / 2 : (w - t) / 2);
    const int y0 = Box.Top + (vertical ? (h - t) / 2 : (h - s) / 2);
    const auto triangle = [&](int Dx, int Dy) {
        std::vector<TPoint> p;
        const int x = x0 + Dx, y = y0 + Dy;
        switch (Dir) {
            case ssUpBtn:
                p = {Point(x, y + t - 1), Point(x + s - 1, y + t - 1), Point(x + s / 2, y)};
                break;
            case ssDownBtn:
                p = {Point(x, y), Point(x + s - 1, y), Point(x + s / 2, y + t - 1)};
                break;
            case ssLeftBtn:
                p = {Point(x + t - 1, y), Point(x + t - 1, y + s - 1), Point(x, y + s / 2)};
                break;
            default:
                p = {Point(x, y), Point(x, y + s - 1), Point(x + t - 1, y + s / 2)};
        }
        return p;
    };
    const auto fill = [&](const std::vector<TPoint>& P, TColor Color) {
        Canvas.Pen.Color = Color;
        Canvas.Brush.Color = Color;
        Canvas.Polygon(P);
    };
    fill(triangle(Down ? 0 : 1, Down ? 0 : 1), clBtnFace);
    fill(triangle(Down ? 1 : 0, Down ? 1 : 0), clBtnText);
}

void TCtlSpinner::DrawButton(TCanvas& Canvas, TCtlSpinState State, bool Down) {
    struct E {
        TPoint From, To;
        int Kind;
    };
    std::vector<E> edges;
    const auto dvUp = [&] { edges = {{P0, P1, 1}, {P0, P2, 1}, {P2, P1, 4}}; };
    const auto dvDown = [&] { edges = {{P2, P3, 2}, {P1, P3, 2}, {P2, P1, 3}}; };
    switch (FStyle) {
        case stFourWay:
            if (State == ssUpBtn) edges = {{P0, P1, 1}, {P1, C, 6}, {P0, C, 6}};
            if (State == ssDownBtn) edges = {{P2, P3, 2}, {P2, C, 5}, {P3, C, 5}};
            if (State == ssLeftBtn) edges = {{P0, P2, 1}, {P2, C, 6}, {P0, C, 5}};
            if (State == ssRightBtn) edges = {{P1, P3, 2}, {P1, C, 5}, {P3, C, 6}};
            break;
        case stDiagonalVertical:
            if (State == ssUpBtn) dvUp();
            if (State == ssDownBtn) dvDown();
            break;
        case stDiagonalHorizontal:
            if (State == ssLeftBtn) dvUp();
            if (State == ssRightBtn) dvDown();
            break;
        case stDiagonalFourWay:
            if (State == ssUpBtn) edges = {{U1, U3, 1}, {U1, U2, 7}, {U2, U3, 4}};
            if (State == ssDownBtn) edges = {{U4, U2, 2}, {U3, U4, 8}, {U2, U3, 3}};
            if (State == ssLeftBtn) edges = {{P0, U1, 1}, {P0, P2, 1}, {U1, U2, 2}, {P2, U2, 2}};
            if (State == ssRightBtn) edges = {{U3, P1, 1}, {U3, U4, 1}, {P1, P3, 2}, {U4, P3, 2}};
            break;
        case stStar:
            if (State == ssUpBtn) edges = {{T, Q3, 9}, {Q3, Q1, 10}, {T, Q1, 9}};
            if (State == ssDownBtn) edges = {{B, Q2, 10}, {Q4, Q2, 9}, {B, Q4, 10}};
            if (State == ssLeftBtn) edges = {{L, Q1, 9}, {Q1, Q2, 10}, {Q2, L, 10}};
            if (State == ssRightBtn) edges = {{Q3, Q4, 9}, {Q3, R, 9}, {R, Q4, 10}};
            if (State == ssCenterBtn) edges = {{Q1, Q3, 11}, {Q1, Q2, 11}, {Q3, Q4, 12}, {Q2, Q4, 12}};
            break;
        case stPlainStar:
            if (State == ssUpBtn) edges = {{T, Q3, 9}, {Q3, C, 14}, {C, Q1, 14}, {T, Q1, 9}};
            if (State == ssDownBtn) edges = {{B, Q2, 10}, {C, Q2, 13}, {Q4, C, 13}, {B, Q4, 10}};
            if (State == ssLeftBtn) edges = {{L, Q1, 9}, {Q1, C, 13}, {C, Q2, 14}, {Q2, L, 10}};
            if (State == ssRightBtn) edges = {{C, Q3, 13}, {Q3, R, 9}, {R, Q4, 10}, {Q4, C, 14}};
            break;
        default:
            return;
    }
    if (edges.empty()) return;
    if (State != ssCenterBtn) DrawArrow(Canvas, ArrowBox(State), State, Down);
    for (const E& e : edges) DrawEdge(Canvas, e.From, e.To, e.Kind, Down, Width());
}

void TCtlSpinner::InvalidateButton(TCtlSpinState State) {
    if (!HandleAllocated() || State < ssUpBtn) return;
    Invalidate();
}

void TCtlSpinner::PaintButtons(bool Full) {
    TCanvas& c = Canvas();
    const int w = Width(), h = Height();
    const bool down = FPressed && (ControlState & csClicked);
    if (FStyle == stNormalVertical || FStyle == stNormalHorizontal) {
        const bool vertical = FStyle == stNormalVertical;
        const TCtlSpinState first = vertical ? ssUpBtn : ssRightBtn;
        const TCtlSpinState second = vertical ? ssDownBtn : ssLeftBtn;
        const TRect a = ArrowBox(first), b = ArrowBox(second);
        const bool aDown = down && FState == first, bDown = down && FState == second;
        CtlDrawButtonFace(c, a, aDown);
        CtlDrawButtonFace(c, b, bDown);
        DrawArrow(c, a, first, aDown);
        DrawArrow(c, b, second, bDown);
        return;
    }
    static constexpr TCtlSpinState all[5] = {ssUpBtn, ssDownBtn, ssLeftBtn, ssRightBtn, ssCenterBtn};
    if (Full) {
        TColor back = clBtnFace;
        if (FStyle == stStar || FStyle == stPlainStar) {
            if (auto* f = dynamic_cast<TCustomForm*>(CtlGetParentForm(this)))
                back = f->Color();
            else
                back = Color();
        }
        c.Brush.Color = back;
        c.FillRect(Rect(0, 0, w - 1, h - 1));
        std::vector<std::pair<std::pair<TPoint, TPoint>, int>> frame;
        if (FStyle == stFourWay)
            frame = {{{P0, P3}, 0}, {{P2, P1}, 0}, {{P2, P0}, 1},
                     {{P0, P1}, 1}, {{P2, P3}, 2}, {{P3, P1}, 2}};
        else if (FStyle == stDiagonalVertical || FStyle == stDiagonalHorizontal)
            frame = {{{P2, P1}, 0}, {{P2, P0}, 1}, {{P0, P1}, 1}, {{P2, P3}, 2}, {{P3, P1}, 2}};
        else if (FStyle == stDiagonalFourWay)
            frame = {{{U2, U3}, 0}, {{P2, P0}, 1}, {{P0, P1}, 1}, {{P2, P3}, 2}, {{P3, P1}, 2}};
        for (const auto& e : frame) DrawEdge(c, e.first.first, e.first.second, e.second, false, w);
        for (TCtlSpinState s : all) DrawButton(c, s, false);
    }
    if (FPrevState != FState && FPrevState >= ssUpBtn) DrawButton(c, FPrevState, false);
    if (FState >= ssUpBtn) DrawButton(c, FState, down);
}

void TCtlSpinner::Paint() {
    PaintButtons(true);
}

}  // namespace entry
