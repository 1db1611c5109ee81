#include "framework/stdctrls/Button.h"

#include "framework/stdctrls/Caption.h"
#include "framework/ui/WindowsImpl.h"

namespace framework {

// ---------------------------------------------------------------------------------------------
// Buttons

TButtonControl::TButtonControl(TComponent* AOwner) : TCustomControl(AOwner) {
    FTabStop = true;
    FColor = clBtnFace;
    FParentColor = false;
}

void TButtonControl::Dispatch(TMessage& M) {
    switch (M.Msg) {
        case WM_KEYDOWN:
            if (M.WParam == VK_SPACE && !FDown && FEnabled) {
                TCustomControl::Dispatch(M);
                FDown = true;
                Invalidate();
                return;
            }
            break;
        case WM_KEYUP:
            if (M.WParam == VK_SPACE && FDown) {
                FDown = false;
                Invalidate();
                TCustomControl::Dispatch(M);
                Click();
                return;
            }
            break;
        case WM_KILLFOCUS:
            FDown = false;
            FMouseHeld = false;
            Invalidate();
            break;
        case WM_SETFOCUS:
            Invalidate();
            break;
        case CM_TEXTCHANGED:
        case CM_ENABLEDCHANGED:
            Invalidate();
            break;
        case BM_CLICK:
            if (FEnabled) Click();
            return;
        case BM_SETSTATE:
            // The pressed look, as the mouse or the space bar gives it.
            if ((M.WParam != 0) != FDown) {
                FDown = M.WParam != 0;
                Invalidate();
            }
            return;
        case BM_GETSTATE:
            M.Result = (FDown ? BST_PUSHED : 0) | (Focused() ? BST_FOCUS : 0);
            return;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            if (FEnabled) {
                // A click moves the focus to the button, as Tab would.
                if (!Focused() && CanFocus()) SetFocus();
                FDown = true;
                FMouseHeld = true;
                Invalidate();
            }
            break;
        case WM_MOUSEMOVE:
            // Held down, the button looks pressed while the pointer is over it.
            if (FMouseHeld) {
                bool inside = ClientRect().Contains(TPoint{GetXLParam(M.LParam), GetYLParam(M.LParam)});
                if (inside != FDown) {
                    FDown = inside;
                    Invalidate();
                }
            }
            break;
        case WM_LBUTTONUP:
            if (FMouseHeld) {
                FMouseHeld = false;
                FDown = false;
                Invalidate();
            }
            break;
        default:
            break;
    }
    TCustomControl::Dispatch(M);
}

TButton::TButton(TComponent* AOwner) : TButtonControl(AOwner) {
    FWidth = 75;
    FHeight = 25;
}

void TButton::SetDefault(bool Value) {
    FDefault = Value;
    TCustomForm* f = ParentForm();
    TWinControl* focused = f ? f->ActiveControl() : nullptr;
    FActive = Value && !(focused && dynamic_cast<TButton*>(focused) && focused != this);
    Invalidate();
}

void TButton::Click() {
    if (TCustomForm* f = ParentForm()) f->SetModalResult(ModalResult);
    TButtonControl::Click();
}

void TButton::Dispatch(TMessage& M) {
    switch (M.Msg) {
        case CM_DIALOGKEY: {
            // Enter presses the active button, Escape the cancel button; a hidden or disabled
            // button (one that cannot take the focus) never answers.
            bool enter = M.WParam == VK_RETURN && FActive;
            bool escape = M.WParam == VK_ESCAPE && Cancel;
            if ((enter || escape) &&
                (KeyDataToShiftState(static_cast<uint32_t>(M.LParam)) & (ssAlt | ssCtrl | ssShift)) == 0 &&
                CanFocus()) {
                Click();
                M.Result = 1;
            }
            return;
        }
        case CM_DIALOGCHAR:
            if (IsAccelChar(M, FText) && CanFocus()) {
                Click();
                M.Result = 1;
            }
            return;
        case CM_FOCUSCHANGED: {
            // A focused button takes Enter itself; when the focus is elsewhere the default does.
            auto* focused = reinterpret_cast<TWinControl*>(M.LParam);
            bool active = dynamic_cast<TButton*>(focused) ? focused == this : FDefault;
            if (active != FActive) {
                FActive = active;
                Invalidate();
            }
            return;
        }
        case WM_GETDLGCODE:
            M.Result = DLGC_BUTTON | (FActive ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON);
            return;
        default:
            TButtonControl::Dispatch(M);
    }
}

bool TButton::OwnerDrawn() {
    return HandleAllocated() && (GetWindowLong(Handle(), GWL_STYLE) & BS_TYPEMASK) == BS_OWNERDRAW;
}

void TButton::CreateWnd() {
    TButtonControl::CreateWnd();
    if (!OwnerDrawn()) return;
    // An owner-drawn button is asked for its size once, when its window is made.
    TMeasureItemStruct mi;
    mi.CtlType = ODT_BUTTON;
    mi.itemWidth = static_cast<UINT>(FWidth);
    mi.itemHeight = static_cast<UINT>(FHeight);
    mi.hwndItem = FHandle;
    Perform(CN_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&mi));
}

void TButton::Paint() {
    TCanvas& c = Canvas();
    if (OwnerDrawn()) {
        // The owner (the button itself, through the reflected message) draws everything.
        TRect r = ClientRect();
        TDrawItemStruct di;
        di.CtlType = ODT_BUTTON;
        di.itemAction = ODA_DRAWENTIRE;
        di.itemState =
            (FDown ? ODS_SELECTED : 0) | (Focused() ? ODS_FOCUS : 0) | (!FEnabled ? ODS_DISABLED : 0);
        di.hwndItem = FHandle;
        di.hDC = c.Handle();
        di.rcLeft = r.Left;
        di.rcTop = r.Top;
        di.rcRight = r.Right;
        di.rcBottom = r.Bottom;
        Perform(CN_DRAWITEM, 0, reinterpret_cast<LPARAM>(&di));
        return;
    }
    TRect r = ClientRect();
    c.Brush.Color = FColor;
    c.FillRect(r);
    c.Brush.Style = bsClear;
    if (FActive) {
        c.Pen.Color = clBlack;
        c.Rectangle(r.Left, r.Top, r.Right, r.Bottom);
        r = Rect(r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1);
    }
    c.Pen.Color = FDown ? clBtnShadow : clBtnHighlight;
    c.MoveTo(r.Left, r.Bottom - 1);
    c.LineTo(r.Left, r.Top);
    c.LineTo(r.Right - 1, r.Top);
    c.Pen.Color = FDown ? clBtnHighlight : cl3DDkShadow;
    c.LineTo(r.Right - 1, r.Bottom - 1);
    c.LineTo(r.Left, r.Bottom - 1);
    c.Font.Assign(FFont);
    if (!FEnabled) c.Font.Color = clGrayText;
    int shift = FDown ? 1 : 0;
    PaintFace(c, OffsetRect(Rect(r.Left + 2, r.Top + 2, r.Right - 2, r.Bottom - 2), shift, shift));
    if (Focused()) {
        c.Pen.Color = clBlack;
        c.FrameRect(Rect(r.Left + 3, r.Top + 3, r.Right - 3, r.Bottom - 3));
    }
    c.Brush.Style = bsSolid;
}

void TButton::PaintFace(TCanvas& c, const TRect& R) {
    int th = c.TextHeight("Wg");
    DrawCaption(c, Rect(R.Left, (R.Top + R.Bottom - th) / 2, R.Right, (R.Top + R.Bottom + th) / 2), FText,
                taCenter, true);
}

}  // namespace framework
