#include "controls/kit/StyledMnuBtn.h"

#include <mutex>

#include "framework/graphics/Gdi.h"
#include "framework/stdctrls/Menus.h"
#include "framework/ui/Resources.h"

namespace kit {

using namespace framework;

void RegisterStyledArrowBitmaps() {
    static std::once_flag once;
    std::call_once(once, [] {
        // 7 × 7 arrows in black on silver; the top-left pixel's colour is the transparent one.
        RegisterBitmapResource("STYDOWNARROW", [](TBitmap& B) {
            B.SetPixelFormat(pf24bit);
            B.SetSize(7, 7);
            B.Canvas().Brush.Color = clSilver;
            B.Canvas().FillRect(Rect(0, 0, 7, 7));
            for (int row = 0; row < 4; ++row)
                for (int x = row; x < 7 - row; ++x) B.Canvas().SetPixel(x, 2 + row, clBlack);
        });
        RegisterBitmapResource("STYRIGHTARROW", [](TBitmap& B) {
            B.SetPixelFormat(pf24bit);
            B.SetSize(7, 7);
            B.Canvas().Brush.Color = clSilver;
            B.Canvas().FillRect(Rect(0, 0, 7, 7));
            for (int col = 0; col < 4; ++col)
                for (int y = col; y < 7 - col; ++y) B.Canvas().SetPixel(2 + col, y, clBlack);
        });
    });
}

TStyledCustomMenuButton::TStyledCustomMenuButton(TComponent* AOwner)
    : TStyledBase(AOwner), FGlyph(std::make_unique<TBitmap>()) {
    ControlStyle &= ~static_cast<TControlStyle>(csDoubleClicks);
    SetTabStop(true);
    SetBounds(Left(), Top(), 75, 24);
    SetParentFont(true);
    RegisterStyledArrowBitmaps();
    LoadBitmapResource(*FGlyph, "STYDOWNARROW");
}

TStyledCustomMenuButton::~TStyledCustomMenuButton() = default;

void TStyledCustomMenuButton::SetMenuPosition(TStyledMenuPosition Value) {
    if (Value == FMenuPosition) return;
    FMenuPosition = Value;
    FGlyph = std::make_unique<TBitmap>();
    LoadBitmapResource(*FGlyph, Value == mpBelow ? "STYDOWNARROW" : "STYRIGHTARROW");
    Invalidate();
}

void TStyledCustomMenuButton::SetShowGlyph(bool Value) {
    if (Value == FShowGlyph) return;
    FShowGlyph = Value;
    Invalidate();
}

TBitmap& TStyledCustomMenuButton::Glyph() {
    if (!FGlyph) FGlyph = std::make_unique<TBitmap>();
    return *FGlyph;
}

void TStyledCustomMenuButton::SetGlyph(const TBitmap& Value) {
    auto copy = std::make_unique<TBitmap>();
    copy->Assign(Value);
    FGlyph = std::move(copy);
    Invalidate();
}

void TStyledCustomMenuButton::SetDown(bool Value) {
    if (Value == FDown) return;
    FDown = Value;
    Repaint();
}

void TStyledCustomMenuButton::Click() {
    if (TPopupMenu* menu = PopupMenu()) {
        const TPoint at = ClientToScreen(FMenuPosition == mpBelow ? Point(0, Height()) : Point(Width(), 0));
        menu->PopupComponent = this;
        menu->Popup(at.X, at.Y);
    }
    TStyledBase::Click();
}

void TStyledCustomMenuButton::KeyDown(uint16_t& Key, TShiftState Shift) {
    TStyledBase::KeyDown(Key, Shift);
    if (Shift & ssAlt) return;
    const bool opens = FMenuPosition == mpBelow ? (Key == VK_UP || Key == VK_DOWN) : Key == VK_RIGHT;
    if (!opens) return;
    SetDown(true);
    Click();
    SetDown(false);
}

void TStyledCustomMenuButton::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TStyledBase::MouseDown(Button, Shift, X, Y);
    if (Button != TMouseButton::mbLeft || !Enabled()) return;
    if (CanFocus()) SetFocus();
    FTracking = true;
    SetDown(true);
}

void TStyledCustomMenuButton::MouseMove(TShiftState Shift, int X, int Y) {
    TStyledBase::MouseMove(Shift, X, Y);
    if (FTracking) SetDown(X >= 0 && Y >= 0 && X < ClientWidth() && Y < ClientHeight());
}

void TStyledCustomMenuButton::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    const bool wasTracking = FTracking;
    FTracking = false;
    if (wasTracking) SetDown(false);
    TStyledBase::MouseUp(Button, Shift, X, Y);
}

void TStyledCustomMenuButton::Dispatch(TMessage& M) {
    switch (M.Msg) {
        case WM_GETDLGCODE:
            M.Result = DLGC_WANTARROWS;
            return;
        case WM_RBUTTONUP:  // a right click shows no context menu
            return;
        case CM_DIALOGCHAR:
            if (IsAccel(static_cast<uint16_t>(M.WParam), Caption()) && CanFocus()) {
                Click();
                M.Result = 1;
                return;
            }
            break;
        case CM_DIALOGKEY:
            // Only Enter on the focused button clicks; other keys stay the form's.
            if (M.WParam == VK_RETURN && Focused()) {
                Click();
                M.Result = 1;
                return;
            }
            break;
        case CM_TEXTCHANGED:
        case CM_ENABLEDCHANGED:
        case CM_FONTCHANGED:
        case CM_SYSCOLORCHANGE:
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
        case WM_SIZE:
            TStyledBase::Dispatch(M);
            Invalidate();
            return;
        default:
            break;
    }
    TStyledBase::Dispatch(M);
}

void TStyledCustomMenuButton::Paint() {
    TCanvas& c = Canvas();
    TRect r = ClientRect();
    c.Font.Assign(Font());
    c.Brush.Style = bsSolid;
    c.Brush.Color = clBtnFace;
    c.FillRect(r);
    TRect edge = r;
    DrawEdge(c.Handle(), edge, FDown ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
    if (Focused()) {
        TRect f = Rect(3, 3, r.Width() - 3, r.Height() - 3);
        if (FDown) f = Rect(f.Left + 1, f.Top + 1, f.Right + 1, f.Bottom + 1);
        c.Brush.Color = clBtnFace;
        c.DrawFocusRect(f);
    }
    const bool glyph = FShowGlyph && FGlyph && !FGlyph->Empty();
    const int gw = glyph ? FGlyph->Width() + 2 : 0;
    const int shift = FDown ? 1 : 0;
    int textLeft = 0, textWidth = 0;
    const std::string& caption = Caption();
    if (!caption.empty()) {
        textWidth = c.TextWidth(caption);
        textLeft = (r.Width() - textWidth - gw) / 2 + shift;
        c.Brush.Style = bsClear;
        c.Font.Color = Enabled() ? Font().Color : clGrayText;
        TRect tr = Rect(textLeft, shift, textLeft + textWidth + 1, r.Height() + shift);
        std::string text = caption;
        DrawTextEx(c.Handle(), text, tr, DT_SINGLELINE | DT_VCENTER | DT_LEFT);
    }
    if (glyph) {
        const int gx = caption.empty() ? (r.Width() - FGlyph->Width()) / 2 : textLeft + textWidth + 2;
        const int gy = (r.Height() - FGlyph->Height()) / 2 + shift;
        FGlyph->TransparentMode = tmFixed;
        FGlyph->SetTransparentColor(FGlyph->Canvas().Pixel(0, 0));
        FGlyph->SetTransparent(true);
        c.Draw(gx, gy, FGlyph.get());
    }
}

}  // namespace kit
