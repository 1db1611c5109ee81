#pragma once
// TTimer: a component that fires OnTimer every Interval milliseconds of the framework clock while
// Enabled, through a hidden message window and WM_TIMER.

#include <cstdint>

#include "framework/core/Component.h"
#include "framework/ui/Types.h"
#include "framework/ui/Windows.h"

namespace framework {

class TTimer : public TComponent {
public:
    explicit TTimer(TComponent* AOwner);
    ~TTimer() override;

    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool Value);
    uint32_t Interval() const { return FInterval; }
    void SetInterval(uint32_t Value);
    TNotifyEvent OnTimer;
    void SetOnTimer(TNotifyEvent Value);

protected:
    virtual void Timer();
    void Loaded() override;

private:
    void UpdateTimer();
    void WndProc(TMessage& Message);
    HWND FWindow = 0;
    bool FEnabled = true;
    uint32_t FInterval = 1000;
};

}  // namespace framework
