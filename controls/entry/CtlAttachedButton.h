#pragma once
// A bitmap button that keeps itself beside another windowed control, following it whenever the
// control moves or changes size (and, optionally, moving the control when the button moves). It
// watches the control by taking over the control's window procedure.

#include <cstdint>
#include <string>

#include "controls/entry/CtlBase.h"
#include "framework/stdctrls/Buttons.h"

namespace entry {

enum TCtlButtonPosition : uint8_t { bpRight, bpLeft, bpTop, bpBottom };

class TCtlAttachedButton : public framework::TBitBtn {
public:
    explicit TCtlAttachedButton(framework::TComponent* AOwner);
    ~TCtlAttachedButton() override;

    framework::TWinControl* AttachedControl() const { return FAttachedControl; }
    // Raises "This control is already attached to %s" when another button watches the control.
    void SetAttachedControl(framework::TWinControl* Value);
    bool AttachTwoWay() const { return FAttachTwoWay; }
    void SetAttachTwoWay(bool Value) { FAttachTwoWay = Value; }
    TCtlButtonPosition Position() const { return FPosition; }
    void SetPosition(TCtlButtonPosition Value);
    int32_t Separation() const { return FSeparation; }
    void SetSeparation(int32_t Value);
    std::string About() const { return CtlVersion; }
    void SetAbout(const std::string&) {}

    // True while the button's procedure sits on the attached control's window.
    bool Hooked() const { return FHookedWnd != 0; }

    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
    void Dispatch(framework::TMessage& Message) override;

protected:
    void CreateWnd() override;
    void Notification(framework::TComponent* AComponent, framework::TOperation Operation) override;

private:
    void Hook();
    void Unhook();
    void HookProc(framework::HWND Wnd, framework::TMessage& Message);
    void PositionButton();
    void MoveControl();
    bool Loading() const { return (ComponentState() & framework::csLoading) != 0; }

    framework::TWinControl* FAttachedControl = nullptr;
    bool FAttachTwoWay = false;
    TCtlButtonPosition FPosition = bpRight;
    int32_t FSeparation = 1;
    framework::HWND FHookedWnd = 0;      // the control window the procedure sits on
    framework::TWndMethod FPrevWndProc;  // the procedure it replaced
    bool FPositioning = false;
};

}  // namespace entry
