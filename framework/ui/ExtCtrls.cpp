#include "framework/ui/ExtCtrls.h"

#include "framework/ui/Controls.h"
#include "framework/ui/Forms.h"

namespace framework {

TTimer::TTimer(TComponent* AOwner) : TComponent(AOwner) {
    if (AOwner && (AOwner->ComponentState() & csLoading)) Loading();
    FWindow = AllocateHWnd([this](TMessage& m) { WndProc(m); });
}

TTimer::~TTimer() {
    KillTimer(FWindow, 1);
    DeallocateHWnd(FWindow);
}

void TTimer::Loaded() {
    TComponent::Loaded();
    UpdateTimer();
}

// The window timer runs only while the timer is enabled, has an interval and a handler.
void TTimer::UpdateTimer() {
    KillTimer(FWindow, 1);
    if (ComponentState() & csLoading) return;
    if (FEnabled && FInterval != 0 && OnTimer) SetTimer(FWindow, 1, FInterval);
}

void TTimer::SetEnabled(bool Value) {
    if (Value == FEnabled) return;
    FEnabled = Value;
    UpdateTimer();
}

void TTimer::SetInterval(uint32_t Value) {
    if (Value == FInterval) return;
    FInterval = Value;
    UpdateTimer();
}

void TTimer::SetOnTimer(TNotifyEvent Value) {
    OnTimer = std::move(Value);
    UpdateTimer();
}

void TTimer::Timer() {
    if (OnTimer) OnTimer(this);
}

void TTimer::WndProc(TMessage& M) {
    if (M.Msg == WM_TIMER) {
        try {
            Timer();
        } catch (...) {
            Application->HandleException(this);
        }
        return;
    }
    M.Result = DefWindowProc(FWindow, M.Msg, M.WParam, M.LParam);
}

}  // namespace framework
