#include "framework/stdctrls/Buttons.h"

#include "framework/stdctrls/ExtCtrls.h"

namespace framework {

TBitBtn::TBitBtn(TComponent* AOwner) : TButton(AOwner) {}

void TBitBtn::SetKind(TBitBtnKind Value) {
    FKind = Value;
    if (Value == bkCustom) return;
    struct TKindInfo {
        const char* Caption;
        TModalResult Result;
    };
    static const TKindInfo kInfo[] = {
        {"", mrNone},        {"OK", mrOk},          {"Cancel", mrCancel}, {"&Help", mrNone},
        {"&Yes", mrYes},     {"&No", mrNo},         {"&Close", mrNone},   {"Abort", mrAbort},
        {"&Retry", mrRetry}, {"&Ignore", mrIgnore}, {"&All", mrAll},
    };
    SetCaption(kInfo[Value].Caption);
    ModalResult = kInfo[Value].Result;
    if (Value == bkOK || Value == bkYes) SetDefault(true);
    if (Value == bkCancel || Value == bkNo) Cancel = true;
}

void TBitBtn::Click() {
    if (FKind == bkClose) {
        if (TCustomForm* f = ParentForm()) {
            f->Close();
            TControl::Click();
            return;
        }
    }
    TButton::Click();
}

// ---------------------------------------------------------------------------------------------

TSpeedButton::TSpeedButton(TComponent* AOwner) : TGraphicControl(AOwner) {
    FWidth = 23;
    FHeight = 22;
    ControlStyle |= csCaptureMouse | csDoubleClicks;
    ControlStyle &= ~csClickEvents;  // the button decides when a press is a click
}

void TSpeedButton::SetGroupIndex(int Value) {
    FGroupIndex = Value;
    UpdateExclusive();
}

void TSpeedButton::SetAllowAllUp(bool Value) {
    FAllowAllUp = Value;
    // The whole group shares the setting.
    if (FParent && FGroupIndex)
        for (int i = 0; i < FParent->ControlCount(); ++i)
            if (auto* b = dynamic_cast<TSpeedButton*>(FParent->Controls(i));
                b && b->FGroupIndex == FGroupIndex)
                b->FAllowAllUp = Value;
}

void TSpeedButton::SetDown(bool Value) {
    if (FGroupIndex == 0) Value = false;
    if (Value == FDown) return;
    if (FDown && !FAllowAllUp) return;  // the down button of a group stays down
    FDown = Value;
    Invalidate();
    if (Value) UpdateExclusive();
}

void TSpeedButton::UpdateExclusive() {
    if (!FDown || FGroupIndex == 0 || !FParent) return;
    for (int i = 0; i < FParent->ControlCount(); ++i)
        if (auto* b = dynamic_cast<TSpeedButton*>(FParent->Controls(i));
            b && b != this && b->FGroupIndex == FGroupIndex && b->FDown) {
            b->FDown = false;
            b->Invalidate();
        }
}

void TSpeedButton::Click() {
    TGraphicControl::Click();
}

void TSpeedButton::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TGraphicControl::MouseDown(Button, Shift, X, Y);
    if (Button == TMouseButton::mbLeft && FEnabled) {
        FPressed = true;
        Invalidate();
    }
}

void TSpeedButton::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TGraphicControl::MouseUp(Button, Shift, X, Y);
    if (Button != TMouseButton::mbLeft || !FPressed) return;
    FPressed = false;
    Invalidate();
    if (!ClientRect().Contains(Point(X, Y))) return;
    if (FGroupIndex == 0) {
        Click();
        return;
    }
    if (FDown) {
        if (!FAllowAllUp) return;
        FDown = false;
    } else {
        FDown = true;
        UpdateExclusive();
    }
    Invalidate();
    Click();
}

void TSpeedButton::Dispatch(TMessage& M) {
    switch (M.Msg) {
        case CM_DIALOGCHAR:
            if (IsAccel(static_cast<uint16_t>(M.WParam), FText) && FEnabled && Visible() && FParent &&
                FParent->Showing()) {
                Click();
                M.Result = 1;
            }
            return;
        case CM_MOUSEENTER:
        case CM_MOUSELEAVE:
            FMouseInside = M.Msg == CM_MOUSEENTER;
            if (Flat) Invalidate();
            break;
        case CM_TEXTCHANGED:
        case CM_ENABLEDCHANGED:
            Invalidate();
            break;
        default:
            break;
    }
    TGraphicControl::Dispatch(M);
}

void TSpeedButton::Paint() {
    TCanvas& c = Canvas();
    TRect r = ClientRect();
    bool sunken = FDown || FPressed;
    c.Brush.Color = FDown && !FPressed ? cl3DLight : clBtnFace;
    c.FillRect(r);
    if (!Flat || FMouseInside || sunken)
        Frame3D(c, r, sunken ? clBtnShadow : clBtnHighlight, sunken ? clBtnHighlight : clBtnShadow, 1);
    c.Font.Assign(FFont);
    if (!FEnabled) c.Font.Color = clGrayText;
    c.Brush.Style = bsClear;
    int th = c.TextHeight("Wg");
    int d = sunken ? 1 : 0;
    DrawCaption(c, Rect(r.Left + d, (r.Height() - th) / 2 + d, r.Right + d, (r.Height() + th) / 2 + d), FText,
                taCenter, true);
    c.Brush.Style = bsSolid;
}

}  // namespace framework
