#include "framework/core/SyncObjects.h"

#include <algorithm>
#include <chrono>

#include "framework/core/Seams.h"

namespace framework {

TEvent::TEvent(bool ManualReset, bool InitialState, const std::string& Name)
    : FManualReset(ManualReset), FSignaled(InitialState), FName(Name) {}

bool TEvent::TakeSignal() {
    if (!FSignaled) return false;
    if (!FManualReset) FSignaled = false;
    return true;
}

TWaitResult TEvent::WaitFor(uint32_t Timeout) {
    std::unique_lock lock(FLock);
    if (Timeout == INFINITE) {
        FChanged.wait(lock, [this] { return FSignaled; });
        TakeSignal();
        return wrSignaled;
    }
    if (TakeSignal()) return wrSignaled;
    if (Timeout == 0) return wrTimeout;
    if (!TickCountSeamInstalled()) {
        if (FChanged.wait_for(lock, std::chrono::milliseconds(Timeout), [this] { return FSignaled; })) {
            TakeSignal();
            return wrSignaled;
        }
        return wrTimeout;
    }
    // Time as the installed tick count tells it; the sleep seam moves it on.
    lock.unlock();
    const uint32_t start = GetTickCount();
    for (;;) {
        const uint32_t elapsed = GetTickCount() - start;
        if (elapsed >= Timeout) return wrTimeout;
        Sleep(std::min<uint32_t>(Timeout - elapsed, 10));
        lock.lock();
        if (TakeSignal()) return wrSignaled;
        lock.unlock();
    }
}

void TEvent::SetEvent() {
    {
        std::lock_guard lock(FLock);
        FSignaled = true;
    }
    // Every waiter wakes; of an auto-reset event's waiters only the first to take the lock finds
    // the signal, the others wait on.
    FChanged.notify_all();
}

void TEvent::ResetEvent() {
    std::lock_guard lock(FLock);
    FSignaled = false;
}

}  // namespace framework
