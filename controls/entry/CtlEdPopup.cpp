#include "controls/entry/CtlEdPopup.h"

#include "controls/entry/CtlController.h"
#include "framework/ui/Windows.h"

namespace entry {

using namespace framework;

namespace {
constexpr UINT WM_POPUPCLOSED = WM_USER + 100;
constexpr UINT WM_POPUPOPENED = WM_USER + 101;
}  // namespace

// ---- TCtlCustomEdit ----

TCtlCustomEdit::TCtlCustomEdit(TComponent* AOwner) : TCustomEdit(AOwner), FLabel(this) {
    ControlStyle &= ~csSetCaption;
}

TCtlCustomEdit::~TCtlCustomEdit() {
    FLabel.ControlDestroying();
}

void TCtlCustomEdit::SetController(TComponent* Value) {
    auto* controller = dynamic_cast<TCtlController*>(Value);
    if (controller == FController) return;
    if (FController) FController->RemoveFreeNotification(this);
    FController = controller;
    if (FController) FController->FreeNotification(this);
}

void TCtlCustomEdit::CreateWnd() {
    SetController(CtlControllerForWindow(this, FController));
    TCustomEdit::CreateWnd();
}

void TCtlCustomEdit::Notification(TComponent* AComponent, TOperation Operation) {
    TCustomEdit::Notification(AComponent, Operation);
    FLabel.Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FController) {
        FController = nullptr;
    } else if (Operation == opInsert && !FController) {
        if (auto* c = dynamic_cast<TCtlController*>(AComponent)) SetController(c);
    }
}

void TCtlCustomEdit::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    TCustomEdit::SetBounds(ALeft, ATop, AWidth, AHeight);
    FLabel.ControlMoved();
}

void TCtlCustomEdit::Dispatch(TMessage& Message) {
    if (FLabel.HandleMessage(Message)) return;
    TCustomEdit::Dispatch(Message);
    if (Message.Msg == CM_VISIBLECHANGED) FLabel.ControlVisibleChanged();
}

// ---- TCtlEdButton ----

TCtlEdButton::TCtlEdButton(TCtlEdPopup* AOwner) : TBitBtn(AOwner), FEdit(AOwner) {}

void TCtlEdButton::Click() {
    if (FEdit) FEdit->PopupOpen();
}

// ---- TCtlEdPopup ----

TCtlEdPopup::TCtlEdPopup(TComponent* AOwner)
    : TCtlCustomEdit(AOwner), FButton(new TCtlEdButton(this)), FGlyph(std::make_unique<TBitmap>()) {
    FButton->SetParent(this);
    FButton->SetVisible(true);
    FButton->SetCaption("");
    FButton->SetTabStop(false);
}

TCtlEdPopup::~TCtlEdPopup() = default;

int TCtlEdPopup::GetButtonWidth() const {
    if (!FShowButton) return 0;
    int w = GetSystemMetrics(SM_CXHSCROLL);
    if (!FGlyph->Empty() && FGlyph->Width() + 4 > w) w = FGlyph->Width() + 4;
    return w;
}

void TCtlEdPopup::SetButtonGlyph(TBitmap* Value) {
    if (Value)
        FGlyph->Assign(*Value);
    else
        FGlyph = std::make_unique<TBitmap>();
    GlyphChanged();
    FButton->Glyph().Assign(*FGlyph);
    SetBounds(Left(), Top(), Width(), Height());
}

void TCtlEdPopup::SetShowButton(bool Value) {
    if (Value == FShowButton) return;
    FShowButton = Value;
    SetBounds(Left(), Top(), Width(), Height());
}

void TCtlEdPopup::SetReadOnly(bool Value) {
    TCustomEdit::SetReadOnly(Value);
    FButton->SetEnabled(IsButtonEnabled());
}

void TCtlEdPopup::PopupOpen() {
    FPopupOpen = true;
    if (HandleAllocated()) PostMessage(Handle(), WM_POPUPOPENED, 0, 0);
}

void TCtlEdPopup::PopupClose(TObject*) {
    FPopupOpen = false;
    if (HandleAllocated()) PostMessage(Handle(), WM_POPUPCLOSED, 0, 0);
}

void TCtlEdPopup::CreateParams(TCreateParams& Params) {
    TCtlCustomEdit::CreateParams(Params);
    Params.Style |= WS_CLIPCHILDREN;
}

void TCtlEdPopup::CreateWnd() {
    TCtlCustomEdit::CreateWnd();
    SetBounds(Left(), Top(), Width(), Height());
    FButton->SetEnabled(IsButtonEnabled());
}

void TCtlEdPopup::Loaded() {
    TCtlCustomEdit::Loaded();
    FButton->Glyph().Assign(*FGlyph);
}

void TCtlEdPopup::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    TCtlCustomEdit::SetBounds(ALeft, ATop, AWidth, AHeight);
    if (!HandleAllocated() || !FButton) return;
    if (!FShowButton) {
        FButton->SetBounds(FButton->Left(), FButton->Top(), 0, 0);
        return;
    }
    const int bw = GetButtonWidth();
    if (BorderStyle != bsNone) {
        const bool ctl3d = Ctl3D();
        const int h = ctl3d ? ClientHeight() : ClientHeight() - 2;
        const int left = Width() - bw - 4 + (ctl3d ? 0 : 3);
        FButton->SetBounds(left, ctl3d ? 0 : 1, bw, h);
    } else {
        FButton->SetBounds(Width() - bw, 0, bw, ClientHeight());
    }
}

void TCtlEdPopup::Dispatch(TMessage& Message) {
    switch (Message.Msg) {
        case CM_DIALOGKEY:
            if (FPopupOpen && (Message.WParam == VK_RETURN || Message.WParam == VK_ESCAPE)) {
                PopupClose(this);
                Message.Result = 1;
                return;
            }
            TCtlCustomEdit::Dispatch(Message);
            return;
        case CM_WANTSPECIALKEY:
            // While the popup is open, Enter and Esc belong to it: they reach no default or cancel
            // button of the form.
            if (FPopupOpen && (Message.WParam == VK_RETURN || Message.WParam == VK_ESCAPE)) {
                Message.Result = 1;
                return;
            }
            TCtlCustomEdit::Dispatch(Message);
            return;
        case WM_KEYDOWN:
            if (FPopupOpen && (Message.WParam == VK_RETURN || Message.WParam == VK_ESCAPE)) {
                PopupClose(this);
                return;
            }
            TCtlCustomEdit::Dispatch(Message);
            return;
        case WM_POPUPCLOSED:
            if (OnPopupClose) OnPopupClose(this);
            return;
        case WM_POPUPOPENED:
            if (OnPopupOpen) OnPopupOpen(this);
            return;
        default:
            TCtlCustomEdit::Dispatch(Message);
    }
}

}  // namespace entry
