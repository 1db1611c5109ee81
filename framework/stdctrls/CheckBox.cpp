#include "framework/stdctrls/CheckBox.h"

#include "framework/stdctrls/Caption.h"
#include "framework/ui/WindowsImpl.h"

namespace framework {

// ---- check box ----

TCustomCheckBox::TCustomCheckBox(TComponent* AOwner) : TButtonControl(AOwner) {
    FWidth = 97;
    FHeight = 17;
    FParentColor = true;
}

void TCustomCheckBox::SetState(TCheckBoxState Value) {
    if (Value == cbGrayed && !AllowGrayed && FState != cbGrayed) Value = cbUnchecked;
    if (FState == Value) return;
    FState = Value;
    Invalidate();
    TButtonControl::Click();
}

void TCustomCheckBox::Toggle() {
    switch (FState) {
        case cbUnchecked:
            SetState(AllowGrayed ? cbGrayed : cbChecked);
            break;
        case cbChecked:
            SetState(cbUnchecked);
            break;
        case cbGrayed:
            SetState(cbChecked);
            break;
    }
}

void TCustomCheckBox::Dispatch(TMessage& M) {
    switch (M.Msg) {
        case CM_DIALOGCHAR:
            if (IsAccelChar(M, FText) && CanFocus()) {
                SetFocus();
                if (Focused()) Toggle();
                M.Result = 1;
            }
            return;
        case WM_GETDLGCODE:
            M.Result = DLGC_BUTTON;
            return;
        case BM_GETCHECK:
            M.Result = FState;
            return;
        case BM_SETCHECK:
            FState = static_cast<TCheckBoxState>(std::min<WPARAM>(M.WParam, 2));
            Invalidate();
            return;
        default:
            break;
    }
    TButtonControl::Dispatch(M);
}

// The button's own click handling (mouse, space, BM_CLICK) toggles; OnClick comes from SetState.
// TControl::Click is reached through SetState only.

void TCustomCheckBox::Paint() {
    TCanvas& c = Canvas();
    TRect r = ClientRect();
    c.Brush.Color = FColor;
    c.FillRect(r);
    int box = 13;
    int top = (r.Height() - box) / 2;
    int bx = Alignment == taLeftJustify ? r.Right - box - 1 : 0;
    c.Brush.Color = FState == cbGrayed ? clBtnFace : clWindow;
    c.Pen.Color = clBtnShadow;
    c.Rectangle(bx, top, bx + box, top + box);
    if (FState != cbUnchecked) {
        c.Pen.Color = FState == cbGrayed ? clGrayText : clWindowText;
        for (int d = 0; d < 3; ++d) {
            c.MoveTo(bx + 3, top + 5 + d);
            c.LineTo(bx + 5, top + 7 + d);
            c.LineTo(bx + 10, top + 2 + d);
        }
    }
    c.Brush.Style = bsClear;
    c.Font.Assign(FFont);
    if (!FEnabled) c.Font.Color = clGrayText;
    int th = c.TextHeight("Wg");
    TRect tr = Alignment == taLeftJustify
                   ? Rect(0, (r.Height() - th) / 2, bx - 4, (r.Height() + th) / 2)
                   : Rect(box + 4, (r.Height() - th) / 2, r.Right, (r.Height() + th) / 2);
    DrawCaption(c, tr, FText, taLeftJustify, true);
    if (Focused())
        c.FrameRect(
            Rect(tr.Left - 1, tr.Top, std::min(tr.Right, tr.Left + c.TextWidth(FText) + 2), tr.Bottom));
    c.Brush.Style = bsSolid;
}

}  // namespace framework
