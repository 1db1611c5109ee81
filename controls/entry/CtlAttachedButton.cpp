#include "controls/entry/CtlAttachedButton.h"

#include "controls/entry/CtlMessages.h"
#include "framework/core/SysUtils.h"

namespace entry {

using namespace framework;

namespace {

// Sets a flag for the length of a scope.
class TGuard {
public:
    explicit TGuard(bool& Flag) : FFlag(Flag) { FFlag = true; }
    ~TGuard() { FFlag = false; }
    TGuard(const TGuard&) = delete;
    TGuard& operator=(const TGuard&) = delete;

private:
    bool& FFlag;
};

}  // namespace

TCtlAttachedButton::TCtlAttachedButton(TComponent* AOwner) : TBitBtn(AOwner) {
    ControlStyle &= ~csSetCaption;
    SetBounds(Left(), Top(), 21, 21);
}

TCtlAttachedButton::~TCtlAttachedButton() {
    Unhook();
    FAttachedControl = nullptr;
}

void TCtlAttachedButton::SetAttachedControl(TWinControl* Value) {
    if (Value == FAttachedControl) return;
    Unhook();
    if (Value && !Loading() && Value->HandleAllocated()) {
        const LRESULT other = SendMessage(Value->Handle(), OM_GETATTACHEDBUTTON, 0, 0);
        if (other != 0)
            throw ECtlException(
                Format(CtlGetMessage(30237), {reinterpret_cast<TCtlAttachedButton*>(other)->Name()}));
    }
    if (FAttachedControl) FAttachedControl->RemoveFreeNotification(this);
    FAttachedControl = Value;
    if (Value) Value->FreeNotification(this);
    RecreateWnd();
}

void TCtlAttachedButton::SetPosition(TCtlButtonPosition Value) {
    if (Value == FPosition) return;
    FPosition = Value;
    if (!Loading()) PositionButton();
}

void TCtlAttachedButton::SetSeparation(int32_t Value) {
    if (Value == FSeparation) return;
    FSeparation = Value;
    if (!Loading()) PositionButton();
}

void TCtlAttachedButton::CreateWnd() {
    TBitBtn::CreateWnd();
    Hook();
    if (FAttachedControl && FAttachedControl->HandleAllocated()) PositionButton();
}

void TCtlAttachedButton::Hook() {
    if (!FAttachedControl) return;
    const HWND wnd = FAttachedControl->Handle();
    if (wnd == FHookedWnd) return;
    FPrevWndProc = SetWindowProc(wnd, [this, wnd](TMessage& Message) { HookProc(wnd, Message); });
    FHookedWnd = wnd;
}

void TCtlAttachedButton::Unhook() {
    if (FHookedWnd && IsWindow(FHookedWnd)) SetWindowProc(FHookedWnd, FPrevWndProc);
    FHookedWnd = 0;
    FPrevWndProc = {};
}

void TCtlAttachedButton::HookProc(HWND Wnd, TMessage& Message) {
    // A copy: the message may unhook the procedure while it runs.
    const TWndMethod prev = FPrevWndProc;
    if (Message.Msg == OM_GETATTACHEDBUTTON) {
        Message.Result = reinterpret_cast<LRESULT>(this);
        return;
    }
    Message.Result = CallWindowProc(prev, Wnd, Message.Msg, Message.WParam, Message.LParam);
    switch (Message.Msg) {
        case WM_MOVE:
        case WM_SIZE:
            try {
                PositionButton();
            } catch (...) {
                if (ApplicationHandleException)
                    ApplicationHandleException(this);
                else
                    throw;
            }
            break;
        case WM_DESTROY:
            // The window goes; once the control has a new one, the re-created button hooks it.
            Unhook();
            if (!(ComponentState() & csDestroying) && HandleAllocated())
                PostMessage(Handle(), OM_RECREATEWND, 0, 0);
            break;
        default:
            break;
    }
}

void TCtlAttachedButton::Dispatch(TMessage& Message) {
    if (Message.Msg == OM_RECREATEWND) {
        RecreateWnd();
        return;
    }
    TBitBtn::Dispatch(Message);
}

void TCtlAttachedButton::PositionButton() {
    if (!FAttachedControl || FPositioning) return;
    TGuard guard(FPositioning);
    const TRect r = FAttachedControl->BoundsRect();
    switch (FPosition) {
        case bpRight:
            TBitBtn::SetBounds(r.Right + FSeparation, r.Top, Width(), r.Bottom - r.Top);
            break;
        case bpLeft:
            TBitBtn::SetBounds(r.Left - Width() - FSeparation, r.Top, Width(), r.Bottom - r.Top);
            break;
        case bpTop:
            TBitBtn::SetBounds(r.Left, r.Top - Height() - FSeparation, r.Right - r.Left, Height());
            break;
        case bpBottom:
            TBitBtn::SetBounds(r.Left, r.Bottom + FSeparation, r.Right - r.Left, Height());
            break;
    }
}

void TCtlAttachedButton::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    const TRect before = BoundsRect();
    TBitBtn::SetBounds(ALeft, ATop, AWidth, AHeight);
    if (!(BoundsRect() == before)) MoveControl();
}

void TCtlAttachedButton::MoveControl() {
    if (!FAttachTwoWay || !FAttachedControl || FPositioning) return;
    TGuard guard(FPositioning);
    TWinControl& c = *FAttachedControl;
    switch (FPosition) {
        case bpRight:
            c.SetBounds(Left() - c.Width() - FSeparation, Top(), c.Width(), Height());
            break;
        case bpLeft:
            c.SetBounds(Left() + Width() + FSeparation, Top(), c.Width(), Height());
            break;
        case bpTop:
            c.SetBounds(Left(), Top() + Height() + FSeparation, Width(), c.Height());
            break;
        case bpBottom:
            c.SetBounds(Left(), Top() - c.Height() - FSeparation, Width(), c.Height());
            break;
    }
}

void TCtlAttachedButton::Notification(TComponent* AComponent, TOperation Operation) {
    TBitBtn::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FAttachedControl) SetAttachedControl(nullptr);
}

}  // namespace entry
