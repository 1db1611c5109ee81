#include "framework/stdctrls/Buttons.h"

#include <algorithm>

#include "framework/stdctrls/ExtCtrls.h"
#include "framework/stdctrls/Menus.h"

namespace framework {

void DrawButtonFace(TCanvas& C, const TRect& R, TBitmap& Glyph, int NumGlyphs, int State,
                    const std::string& Caption, TButtonLayout Layout, int Margin, int Spacing) {
    int n = std::max(1, NumGlyphs);
    int gw = Glyph.Empty() ? 0 : Glyph.Width() / n, gh = Glyph.Empty() ? 0 : Glyph.Height();
    int th = C.TextHeight("Wg");
    int marked;
    (void)marked;
    std::string plain = StripHotkey(Caption);
    int tw = plain.empty() ? 0 : C.TextWidth(plain);
    int gap = (gw > 0 && tw > 0) ? Spacing : 0;
    bool horizontal = Layout == blGlyphLeft || Layout == blGlyphRight;
    int total = horizontal ? gw + gap + tw : gh + gap + th;
    int extent = horizontal ? R.Width() : R.Height();
    int start = Margin >= 0 ? Margin : (extent - total) / 2;
    int gx, gy, tx, ty;
    if (horizontal) {
        gy = R.Top + (R.Height() - gh) / 2;
        ty = R.Top + (R.Height() - th) / 2;
        if (Layout == blGlyphLeft) {
            gx = R.Left + start;
            tx = gx + gw + gap;
        } else {
            tx = R.Left + start;
            gx = tx + tw + gap;
        }
    } else {
        gx = R.Left + (R.Width() - gw) / 2;
        tx = R.Left + (R.Width() - tw) / 2;
        if (Layout == blGlyphTop) {
            gy = R.Top + start;
            ty = gy + gh + gap;
        } else {
            ty = R.Top + start;
            gy = ty + th + gap;
        }
    }
    if (gw > 0) {
        // One image of the strip: with fewer images than states the first stands in.
        int index = State < n ? State : 0;
        TBitmap one;
        one.SetPixelFormat(pf24bit);
        one.SetSize(gw, gh);
        one.Canvas().CopyRect(Rect(0, 0, gw, gh), Glyph.Canvas(), Bounds(index * gw, 0, gw, gh));
        one.TransparentMode = tmFixed;
        one.SetTransparentColor(Glyph.Canvas().Pixel(0, gh - 1));
        one.SetTransparent(true);
        C.Draw(gx, gy, &one);
    }
    if (tw > 0) {
        TBrushStyle old = C.Brush.Style;
        C.Brush.Style = bsClear;
        DrawCaption(C, Rect(tx, ty, tx + tw, ty + th), Caption, taLeftJustify, true);
        C.Brush.Style = old;
    }
}

TBitBtn::TBitBtn(TComponent* AOwner) : TButton(AOwner) {}

void TBitBtn::PaintFace(TCanvas& C, const TRect& R) {
    // Glyph images: up, disabled, clicked, down.
    int state = !FEnabled ? 1 : FDown ? 2 : 0;
    DrawButtonFace(C, R, *FGlyph, NumGlyphs, state, FText, Layout, Margin, Spacing);
}

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
    int d = sunken ? 1 : 0;
    int state = !FEnabled ? 1 : FPressed ? 2 : FDown ? 3 : 0;
    DrawButtonFace(c, OffsetRect(Rect(r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1), d, d), *FGlyph,
                   NumGlyphs, state, FText, Layout, Margin, Spacing);
}

}  // namespace framework
