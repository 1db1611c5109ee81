#pragma once
// Push buttons and the button behaviour check boxes and radio buttons share (pressing by mouse,
// space bar and accelerator).

#include "framework/ui/Controls.h"
#include "framework/ui/Forms.h"

namespace framework {

class TButtonControl : public TCustomControl {
public:
    explicit TButtonControl(TComponent* AOwner);
    void Dispatch(TMessage& Message) override;

protected:
    bool FDown = false;       // pressed by the mouse or the space bar, not yet released
    bool FMouseHeld = false;  // the left button went down on it and is not yet released
};

class TButton : public TButtonControl {
public:
    explicit TButton(TComponent* AOwner);
    // Enter anywhere on the form presses it, unless another button has the focus.
    bool Default() const { return FDefault; }
    void SetDefault(bool Value);
    // Escape anywhere on the form presses it.
    bool Cancel = false;
    // Given to the form when the button is pressed (a modal form then closes).
    TModalResult ModalResult = mrNone;
    void Click() override;
    void Dispatch(TMessage& Message) override;
    // True while Enter would press this button.
    bool Active() const { return FActive; }

protected:
    // With BS_OWNERDRAW in the window style (a descendant's CreateParams), the button is drawn by
    // CN_DRAWITEM (ODS_SELECTED while pressed, ODS_FOCUS with the focus) and is asked its size
    // with CN_MEASUREITEM when its window is made.
    bool OwnerDrawn();
    void CreateWnd() override;
    void Paint() override;
    // The face inside the frame (R moved by Shift while pressed): the caption, centred.
    virtual void PaintFace(TCanvas& Canvas, const TRect& R);

private:
    bool FDefault = false;
    bool FActive = false;
};

}  // namespace framework
