#include "controls/entry/TimerPool.h"

#include <algorithm>
#include <climits>

#include "controls/entry/CtlMessages.h"
#include "framework/ui/Forms.h"
#include "framework/ui/Windows.h"

namespace entry {

namespace {

constexpr uintptr_t kTimerId = 1;
// A trigger fires this many ms before its due time at most, so that intervals that are no exact
// multiple of the period fire on the nearest tick.
constexpr uint32_t kEarlyFire = 27;

}  // namespace

TCtlTimerPool::TCtlTimerPool(framework::TComponent* AOwner) : TComponent(AOwner) {
    FWindow = framework::AllocateHWnd([this](framework::TMessage& m) { WndProc(m); });
}

TCtlTimerPool::~TCtlTimerPool() {
    FPeriod = 0;
    framework::KillTimer(FWindow, kTimerId);
    FTriggers.clear();
    framework::DeallocateHWnd(FWindow);
}

int32_t TCtlTimerPool::NewHandle() const {
    int32_t largest = -1;
    for (const auto& t : FTriggers) largest = std::max(largest, t->Handle);
    return largest + 1;
}

TCtlTimerTrigger* TCtlTimerPool::Find(int32_t Handle) {
    for (auto& t : FTriggers)
        if (t->Handle == Handle) return t.get();
    return nullptr;
}

int32_t TCtlTimerPool::Add(TTriggerEvent Event, uint32_t Interval) {
    auto trigger = std::make_unique<TCtlTimerTrigger>();
    const uint32_t now = framework::TimerClockNow();
    trigger->Handle = NewHandle();
    trigger->StartTick = now;
    trigger->LastTick = now;
    trigger->ElapsedTime = 0;
    trigger->Interval = std::max(Interval, MinInterval);
    trigger->OnTrigger = std::move(Event);
    trigger->Repeat = true;
    const int32_t handle = trigger->Handle;
    FTriggers.push_back(std::move(trigger));
    SortTriggers();
    CalcPeriod();
    ResetTimer();
    return handle;
}

int32_t TCtlTimerPool::AddOneTime(TTriggerEvent Event, uint32_t Interval) {
    const int32_t handle = Add(std::move(Event), Interval);
    if (TCtlTimerTrigger* t = Find(handle)) t->Repeat = false;
    return handle;
}

void TCtlTimerPool::Remove(int32_t Handle) {
    auto it =
        std::find_if(FTriggers.begin(), FTriggers.end(), [&](const auto& t) { return t->Handle == Handle; });
    if (it == FTriggers.end()) return;
    FTriggers.erase(it);
    CalcPeriod();
    ResetTimer();
}

void TCtlTimerPool::SortTriggers() {
    std::stable_sort(FTriggers.begin(), FTriggers.end(),
                     [](const auto& a, const auto& b) { return a->Interval < b->Interval; });
}

void TCtlTimerPool::CalcPeriod() {
    if (FTriggers.empty()) {
        FPeriod = 0;
        return;
    }
    const uint32_t now = framework::TimerClockNow();
    // Signed, so that an overdue trigger asks for the shortest period.
    int64_t period = UINT32_MAX;
    for (const auto& t : FTriggers) {
        if (t->Interval < period) period = t->Interval;
        const int64_t since = now >= t->LastTick ? int64_t(now - t->LastTick) : int64_t(INT32_MAX);
        const int64_t left = int64_t(t->Interval) - since;
        if (left < period) period = left;
    }
    if (period < MinInterval) period = MinInterval;
    // The largest step below the shortest wait of which every interval is a multiple.
    bool changed = true;
    while (changed && period > MinInterval) {
        changed = false;
        for (const auto& t : FTriggers) {
            const int64_t r = int64_t(t->Interval) % period;
            if (r != 0) {
                period -= r;
                changed = true;
                break;
            }
        }
    }
    if (period < MinInterval) period = MinInterval;
    FPeriod = static_cast<uint32_t>(period);
}

uintptr_t TCtlTimerPool::StartWindowTimer(framework::HWND Wnd, uint32_t Period) {
    return framework::SetTimer(Wnd, kTimerId, Period);
}

void TCtlTimerPool::ResetTimer() {
    framework::KillTimer(FWindow, kTimerId);
    if (FPeriod != 0 && !FTriggers.empty()) {
        if (StartWindowTimer(FWindow, FPeriod) == 0) throw ENoTimersAvailable();
    }
}

void TCtlTimerPool::DoTimer() {
    const uint32_t now = framework::TimerClockNow();
    // Handlers may add and remove triggers: walk the handles that were there when the tick began.
    std::vector<int32_t> handles;
    handles.reserve(FTriggers.size());
    for (const auto& t : FTriggers) handles.push_back(t->Handle);
    for (int32_t handle : handles) {
        TCtlTimerTrigger* t = Find(handle);
        if (!t) continue;
        // Unsigned difference: correct across the wrap of the 32-bit tick count.
        const uint32_t elapsed = now - t->LastTick;
        if (elapsed < t->Interval - kEarlyFire) continue;
        t->LastTick = now;
        t->ElapsedTime =
            static_cast<int32_t>(std::min<int64_t>(int64_t(t->ElapsedTime) + elapsed, INT32_MAX));
        const uint32_t interval = t->Interval;
        const int32_t total = t->ElapsedTime;
        TTriggerEvent event = t->OnTrigger;
        if (!t->Repeat) Remove(handle);
        if (event) event(this, handle, interval, total);
        if (OnAllTriggers) OnAllTriggers(this, handle, interval, total);
    }
}

void TCtlTimerPool::WndProc(framework::TMessage& Message) {
    if (Message.Msg == framework::WM_TIMER) {
        try {
            DoTimer();
        } catch (...) {
            if (framework::Application) framework::Application->HandleException(this);
        }
        return;
    }
    Message.Result = framework::DefWindowProc(FWindow, Message.Msg, Message.WParam, Message.LParam);
}

}  // namespace entry
