#pragma once
// A pool of timed triggers on one window timer, so that controls need not each hold a timer of
// their own. The timer runs at the largest step (not below 55 ms) of which every trigger's interval
// is a multiple; a trigger fires on the tick that comes within 27 ms of its due time.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/core/Component.h"
#include "framework/ui/Messages.h"

namespace entry {

// Sender, trigger handle, interval (ms), milliseconds accumulated over the trigger's firings.
using TTriggerEvent =
    std::function<void(framework::TObject* Sender, int32_t Handle, uint32_t Interval, int32_t ElapsedTime)>;

struct TCtlTimerTrigger {
    int32_t Handle = 0;
    uint32_t StartTick = 0;
    int32_t ElapsedTime = 0;  // stops at 2,147,483,647
    uint32_t Interval = 0;    // at least 55
    uint32_t LastTick = 0;
    TTriggerEvent OnTrigger;
    bool Repeat = true;
};

class TCtlTimerPool : public framework::TComponent {
public:
    static constexpr uint32_t MinInterval = 55;

    explicit TCtlTimerPool(framework::TComponent* AOwner);
    ~TCtlTimerPool() override;

    // A repeating trigger; returns its handle.
    int32_t Add(TTriggerEvent Event, uint32_t Interval);
    // A trigger that fires once and then removes itself.
    int32_t AddOneTime(TTriggerEvent Event, uint32_t Interval);
    // A handle not in the pool is ignored.
    void Remove(int32_t Handle);

    // Fired after the trigger's own event, for every firing of every trigger.
    TTriggerEvent OnAllTriggers;

    // The window timer's period in ms (0: no timer runs) and the number of triggers.
    uint32_t TimerPeriod() const { return FPeriod; }
    int TriggerCount() const { return static_cast<int>(FTriggers.size()); }
    std::string About() const { return "v4.06"; }

protected:
    // Runs on every tick of the window timer.
    virtual void DoTimer();
    // Starts the window timer; 0 when the system refuses it.
    virtual uintptr_t StartWindowTimer(framework::HWND Wnd, uint32_t Period);

private:
    void WndProc(framework::TMessage& Message);
    void SortTriggers();
    void CalcPeriod();
    void ResetTimer();
    int32_t NewHandle() const;
    TCtlTimerTrigger* Find(int32_t Handle);

    std::vector<std::unique_ptr<TCtlTimerTrigger>> FTriggers;  // ascending by interval
    framework::HWND FWindow = 0;
    uint32_t FPeriod = 0;
};

}  // namespace entry
