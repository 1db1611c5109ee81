#pragma once
// The spinner: a small button control that steps the value of another control (an entry field, a
// date edit or a plain edit) up or down, or moves its caret, while the mouse button is held on it,
// stepping faster the longer it is held. Eight button layouts; the state of a point is that of the
// first button region holding it. Steps come at most every 10 ms however long the button is held.

#include <array>
#include <cstdint>
#include <functional>

#include "controls/entry/CtlBase.h"
#include "framework/graphics/Gdi.h"

namespace entry {

enum TCtlSpinnerStyle : uint8_t {
    stNormalVertical,
    stNormalHorizontal,
    stFourWay,
    stStar,
    stDiagonalVertical,
    stDiagonalHorizontal,
    stDiagonalFourWay,
    stPlainStar,
};

enum TCtlSpinState : uint8_t { ssNone, ssNormal, ssUpBtn, ssDownBtn, ssLeftBtn, ssRightBtn, ssCenterBtn };

using TSpinClickEvent =
    std::function<void(framework::TObject* Sender, TCtlSpinState State, double Delta, bool Wrap)>;

// Draws a button face (a frame, a one-pixel bevel and the face colour), sunken when Pressed.
void CtlDrawButtonFace(framework::TCanvas& Canvas, const framework::TRect& R, bool Pressed);

class TCtlSpinner : public TCtlCustomControl {
public:
    explicit TCtlSpinner(framework::TComponent* AOwner);
    ~TCtlSpinner() override;

    int32_t Acceleration() const { return FAcceleration; }
    // Values above 10 are ignored.
    void SetAcceleration(int32_t Value);
    bool AutoRepeat() const { return FAutoRepeat; }
    void SetAutoRepeat(bool Value);
    double Delta = 1.0;
    int32_t DelayTime = 500;
    framework::TWinControl* FocusedControl() const { return FFocusedControl; }
    void SetFocusedControl(framework::TWinControl* Value);
    bool ShowArrows() const { return FShowArrows; }
    void SetShowArrows(bool Value);
    TCtlSpinnerStyle Style() const { return FStyle; }
    void SetStyle(TCtlSpinnerStyle Value);
    bool WrapMode = true;
    TSpinClickEvent OnClick;

    // The state of a client point as the regions give it (ssNormal in none of them).
    TCtlSpinState StateAt(int X, int Y) const;
    // The state of the cursor's position: ssNone outside, ssNormal unless the button went down on
    // the spinner.
    TCtlSpinState HitTest() const;
    TCtlSpinState State() const { return FState; }
    bool Pressed() const { return FPressed; }

    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
    void Loaded() override;
    void Dispatch(framework::TMessage& Message) override;

protected:
    virtual void StartSpin();
    virtual void StopSpin();
    virtual void BuildRegions();
    virtual void DoStep(TCtlSpinState State);
    void CreateParams(framework::TCreateParams& Params) override;
    void Notification(framework::TComponent* AComponent, framework::TOperation Operation) override;
    void Paint() override;

private:
    enum { kUp, kDown, kLeft, kRight, kCenter };
    void ComputePoints();
    void FreeRegions();
    void RepeatLoop();
    void InvalidateButton(TCtlSpinState State);
    void PaintButtons(bool Full);
    void DrawButton(framework::TCanvas& Canvas, TCtlSpinState State, bool Down);
    void DrawArrow(framework::TCanvas& Canvas, const framework::TRect& Box, TCtlSpinState Dir, bool Down);
    framework::TRect ArrowBox(TCtlSpinState State) const;

    int32_t FAcceleration = 5;
    bool FAutoRepeat = true;
    framework::TWinControl* FFocusedControl = nullptr;
    bool FShowArrows = true;
    TCtlSpinnerStyle FStyle = stNormalVertical;
    TCtlSpinState FState = ssNormal;
    TCtlSpinState FPrevState = ssNone;
    bool FPressed = false;
    int FPrimaryKey = 0;
    uint32_t FNextStep = 0;
    int FSteps = 0;
    std::array<framework::HRGN, 5> FRegions{};
    // Key points: corners, centre, thirds, edge middles, quarters.
    framework::TPoint P0, P1, P2, P3, C, Q1, Q2, Q3, Q4, T, B, L, R, U1, U2, U3, U4;
};

}  // namespace entry
