#include "framework/stdctrls/RadioButton.h"

#include "framework/stdctrls/Caption.h"
#include "framework/ui/WindowsImpl.h"

namespace framework {

// ---- radio button ----

TRadioButton::TRadioButton(TComponent* AOwner) : TButtonControl(AOwner) {
    FWidth = 113;
    FHeight = 17;
    FParentColor = true;
}

void TRadioButton::SetChecked(bool Value) {
    if (FChecked == Value) return;
    FChecked = Value;
    FTabStop = Value;
    Invalidate();
    if (Value) {
        if (FParent)
            for (int i = 0; i < FParent->ControlCount(); ++i)
                if (auto* rb = dynamic_cast<TRadioButton*>(FParent->Controls(i)); rb && rb != this)
                    rb->SetChecked(false);
        TButtonControl::Click();
    }
}

void TRadioButton::Dispatch(TMessage& M) {
    switch (M.Msg) {
        case CM_DIALOGCHAR:
            if (IsAccelChar(M, FText) && CanFocus()) {
                SetFocus();
                if (Focused()) SetChecked(true);
                M.Result = 1;
            }
            return;
        case WM_GETDLGCODE:
            M.Result = DLGC_BUTTON | DLGC_RADIOBUTTON;
            return;
        case BM_GETCHECK:
            M.Result = FChecked ? 1 : 0;
            return;
        case BM_SETCHECK:
            SetChecked(M.WParam != 0);
            return;
        case CM_ENTER:
            // Arriving by the arrow keys checks the button, as the platform's radio groups do.
            TButtonControl::Dispatch(M);
            if (GetKeyState(VK_LEFT) < 0 || GetKeyState(VK_RIGHT) < 0 || GetKeyState(VK_UP) < 0 ||
                GetKeyState(VK_DOWN) < 0)
                SetChecked(true);
            return;
        default:
            break;
    }
    TButtonControl::Dispatch(M);
}

void TRadioButton::Paint() {
    TCanvas& c = Canvas();
    TRect r = ClientRect();
    c.Brush.Color = FColor;
    c.FillRect(r);
    int box = 12;
    int top = (r.Height() - box) / 2;
    int bx = Alignment == taLeftJustify ? r.Right - box - 1 : 0;
    c.Brush.Color = clWindow;
    c.Pen.Color = clBtnShadow;
    c.Ellipse(bx, top, bx + box, top + box);
    if (FChecked) {
        c.Brush.Color = clWindowText;
        c.Pen.Color = clWindowText;
        c.Ellipse(bx + 4, top + 4, bx + 8, top + 8);
    }
    c.Brush.Style = bsClear;
    c.Font.Assign(FFont);
    if (!FEnabled) c.Font.Color = clGrayText;
    int th = c.TextHeight("Wg");
    TRect tr = Alignment == taLeftJustify
                   ? Rect(0, (r.Height() - th) / 2, bx - 4, (r.Height() + th) / 2)
                   : Rect(box + 4, (r.Height() - th) / 2, r.Right, (r.Height() + th) / 2);
    DrawCaption(c, tr, FText, taLeftJustify, true);
    c.Brush.Style = bsSolid;
}

}  // namespace framework
