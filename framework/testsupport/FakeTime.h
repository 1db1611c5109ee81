#pragma once
// A hand-driven clock for tests: while a TFakeTime lives, Now/Date/Time, GetTickCount and Sleep of
// the class library read and advance it instead of the real clock. Sleep returns at once and moves
// the clock on by the time asked for. The seams installed before are restored on destruction.

#include <cstdint>

#include "framework/core/DateTime.h"
#include "framework/core/Seams.h"

namespace framework {

class TFakeTime {
public:
    explicit TFakeTime(TDateTime start, uint32_t tickCount = 0);
    ~TFakeTime();
    TFakeTime(const TFakeTime&) = delete;
    TFakeTime& operator=(const TFakeTime&) = delete;

    // Moves the clock and the tick count on.
    void Advance(uint32_t milliseconds);
    // Sets the wall clock without touching the tick count (as when the user changes the time).
    void SetNow(TDateTime now);

    TDateTime Now() const { return now_; }
    uint32_t TickCount() const { return ticks_; }
    // Total milliseconds asked for through Sleep, and how many calls asked.
    uint64_t SleptMilliseconds() const { return slept_; }
    int SleepCalls() const { return sleepCalls_; }

private:
    TDateTime now_;
    uint32_t ticks_;
    uint64_t slept_ = 0;
    int sleepCalls_ = 0;
    TClockFunc oldClock_;
    TTickCountFunc oldTicks_;
    TSleepFunc oldSleep_;
};

}  // namespace framework
