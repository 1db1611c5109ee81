#pragma once
// Small controls for window tests: a text box that takes characters, a push button with default,
// cancel and modal-result behaviour, and a painted control that logs what it receives.

#include <string>
#include <vector>

#include "framework/ui/Forms.h"

namespace framework {

// One logged message: number and parameters, with the keyboard state while it was handled.
struct TLoggedMessage {
    UINT Msg;
    WPARAM WParam;
    LPARAM LParam;
    bool ShiftDown;
};

// A windowed control that logs every message reaching Dispatch and counts its Paint calls.
class TLogControl : public TCustomControl {
public:
    explicit TLogControl(TComponent* AOwner);
    void Dispatch(TMessage& Message) override;
    std::vector<TLoggedMessage> Log;
    int PaintCount = 0;
    TRect LastPaintRect;
    TColor PaintColor = clWhite;
    LRESULT DlgCode = DLGC_WANTCHARS | DLGC_WANTARROWS;
    // The messages of the listed numbers, in order.
    std::vector<TLoggedMessage> Only(std::initializer_list<UINT> Numbers) const;

protected:
    void Paint() override;
};

// A text box: takes the characters typed into it (Backspace removes one).
class TTestEdit : public TLogControl {
public:
    explicit TTestEdit(TComponent* AOwner);
    void Dispatch(TMessage& Message) override;
};

// A push button: Enter presses the default one, Escape the cancel one, "&" marks its accelerator;
// a click sets the form's ModalResult to its own.
class TTestButton : public TCustomControl {
public:
    explicit TTestButton(TComponent* AOwner);
    bool Default = false;
    bool Cancel = false;
    TModalResult ModalResult = mrNone;
    int Clicks = 0;
    void Click() override;
    void Dispatch(TMessage& Message) override;

protected:
    void Paint() override;
};

// A windowless control that logs what reaches it.
class TTestGraphic : public TGraphicControl {
public:
    explicit TTestGraphic(TComponent* AOwner);
    void Dispatch(TMessage& Message) override;
    std::vector<TLoggedMessage> Log;
    int PaintCount = 0;
    std::vector<TLoggedMessage> Only(std::initializer_list<UINT> Numbers) const;

protected:
    void Paint() override;
};

}  // namespace framework
