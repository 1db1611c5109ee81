#include "controls/kit/KitFormFill.h"

#include "controls/kit/KitApp.h"
#include "framework/ui/Forms.h"
#include "framework/ui/Messages.h"

namespace kit {

using namespace framework;

// ---- TKitCustomFormFill ---------------------------------------------------------------------------

TKitCustomFormFill::TKitCustomFormFill(TComponent* AOwner)
    : TKitWndProcComponent(AOwner), FImage(this, [this] { ImageListChanged(); }) {}

TCustomForm* TKitCustomFormFill::Form() const {
    return dynamic_cast<TCustomForm*>(Owner());
}

void TKitCustomFormFill::InvalidateForm(bool Erase) {
    TCustomForm* form = Form();
    if (form != nullptr && form->HandleAllocated()) InvalidateRect(form->Handle(), nullptr, Erase);
}

void TKitCustomFormFill::SetPaintMode(TKitPaintMode Value) {
    FPaintMode = Value;
    if (Enabled() && (ComponentState() & csDesigning) == 0) InvalidateForm(true);
}

void TKitCustomFormFill::EnabledChanged() {
    if (!IsLoading()) InvalidateForm(true);
}

void TKitCustomFormFill::Notification(TComponent* AComponent, TOperation Operation) {
    TKitWndProcComponent::Notification(AComponent, Operation);
    if (Operation == opRemove) FImage.Removed(AComponent);
}

void TKitCustomFormFill::DefineProperties(TFiler* Filer) {
    TKitWndProcComponent::DefineProperties(Filer);
    FImage.DefineProperties(Filer);
}

bool TKitCustomFormFill::PaintBackground(HDC Dc) {
    if (IsLoading() || FPaintMode != pcOwnerDraw || !OnPaint) return false;
    TCustomForm* form = Form();
    if (form == nullptr) return false;
    TCanvas canvas;
    canvas.SetHandle(Dc);
    const TRect client{0, 0, form->ClientWidth(), form->ClientHeight()};
    try {
        if (DefaultFill) {
            canvas.Brush.Color = form->Color();
            canvas.Brush.Style = bsSolid;
            canvas.FillRect(client);
        }
        OnPaint(this, canvas, client);
    } catch (...) {
        canvas.SetHandle(0);
        throw;
    }
    canvas.SetHandle(0);
    return true;
}

void TKitCustomFormFill::WndProc(TMessage& Message) {
    if (Enabled()) {
        switch (Message.Msg) {
            case WM_ERASEBKGND:
                if (PaintBackground(static_cast<HDC>(Message.WParam))) {
                    Message.Result = 1;
                    return;
                }
                break;
            case WM_SIZE:
            case WM_HSCROLL:
            case WM_VSCROLL:
                InvalidateForm(false);
                break;
            case WM_PALETTECHANGED:
                InvalidateForm(true);
                break;
            default:
                break;
        }
    }
    TKitWndProcComponent::WndProc(Message);
}

// ---- TKitBack -------------------------------------------------------------------------------------

bool TKitBack::PaintBackground(HDC Dc) {
    TCustomForm* form = Form();
    if (IsLoading() || PaintMode() != pcControl || ImageList() == nullptr || form == nullptr ||
        !ImageList()->HasImage(ListIndex(), ImageIndex()))
        return TKitCustomFormFill::PaintBackground(Dc);
    TCanvas canvas;
    canvas.SetHandle(Dc);
    uint32_t flags = dbTile;
    if (!((KitApplication()->Options & 1) != 0 && ColorDepth() <= 8)) flags |= dbRealizePalette;
    TRect painted;
    try {
        ImageList()->DrawImageExt(canvas, TRect{0, 0, form->ClientWidth(), form->ClientHeight()}, flags,
                                  ListIndex(), ImageIndex(), painted);
    } catch (...) {
        canvas.SetHandle(0);
        throw;
    }
    canvas.SetHandle(0);
    return true;
}

// ---- TKitFormStyler -------------------------------------------------------------------------------

TKitFormStyler::TKitFormStyler(TComponent* AOwner)
    : TKitWndProcComponent(AOwner),
      FFont(std::make_unique<TFont>()),
      FFont3D(std::make_unique<TKit3DCaption>()) {
    if ((ComponentState() & csDesigning) != 0 && CheckSingleOnOwner(AOwner, ClassOf<TKitFormStyler>(), false))
        throw KitEOneInstError("TKitFormStyler", 0);
}

TKitFormStyler::~TKitFormStyler() = default;

void TKitFormStyler::SetColors(TKitColorCount Value) {
    if (Value < 2 || Value > 236) return;
    FColors = Value;
    if (FPaintMode == pcControl) RefreshCaption();
}

bool TKitFormStyler::CaptionPaintable() const {
    if ((ComponentState() & csDesigning) != 0 || !Enabled() || FPaintMode == pcNone || !CanPaint())
        return false;
    // The window manager paints the caption: with fsCheckSystemGradient the styler steps back as
    // its rule says, and without it there is still no caption bar it could reach.
    return false;
}

void TKitFormStyler::RefreshCaption() {
    (void)CaptionPaintable();
}

}  // namespace kit
