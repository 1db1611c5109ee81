#include "framework/stdctrls/GroupBox.h"

#include "framework/core/SysUtils.h"
#include "framework/stdctrls/Caption.h"
#include "framework/ui/WindowsImpl.h"

namespace framework {

// ---------------------------------------------------------------------------------------------
// TCustomGroupBox

TCustomGroupBox::TCustomGroupBox(TComponent* AOwner) : TCustomControl(AOwner) {
    ControlStyle |= csAcceptsControls;
    FWidth = 185;
    FHeight = 105;
    FColor = clBtnFace;
    FParentColor = true;
}

void TCustomGroupBox::AlignControls(TControl* AControl, TRect& R) {
    Canvas().Font.Assign(FFont);
    int th = Canvas().TextHeight("Wg");
    R = Rect(R.Left + 2, R.Top + th, std::max(R.Left + 2, R.Right - 2), std::max(R.Top + th, R.Bottom - 2));
    TCustomControl::AlignControls(AControl, R);
}

void TCustomGroupBox::Paint() {
    TCanvas& c = Canvas();
    TRect all = ClientRect();
    c.Brush.Color = FColor;
    c.FillRect(all);
    c.Font.Assign(FFont);
    int th = c.TextHeight("Wg");
    c.Pen.Color = clBtnShadow;
    c.Brush.Style = bsClear;
    c.Rectangle(0, th / 2, all.Right - 1, all.Bottom - 1);
    c.Pen.Color = clBtnHighlight;
    c.Rectangle(1, th / 2 + 1, all.Right, all.Bottom);
    c.Brush.Style = bsSolid;
    if (!FText.empty()) {
        int marked;
        std::string text = StripAccel(FText, marked);
        int w = c.TextWidth(text);
        c.Brush.Color = FColor;
        c.FillRect(Rect(6, 0, 10 + w, th));
        if (!FEnabled) c.Font.Color = clGrayText;
        DrawCaption(c, Rect(8, 0, 8 + w, th), FText, taLeftJustify, true);
    }
}

void TCustomGroupBox::Dispatch(TMessage& M) {
    if (M.Msg == CM_DIALOGCHAR && IsAccelChar(M, FText) && CanFocus()) {
        SelectFirst();
        M.Result = 1;
        return;
    }
    if (M.Msg == CM_TEXTCHANGED || M.Msg == CM_ENABLEDCHANGED) Invalidate();
    TCustomControl::Dispatch(M);
}

}  // namespace framework
