#include "framework/testsupport/FakeTime.h"

namespace framework {

TFakeTime::TFakeTime(TDateTime start, uint32_t tickCount) : now_(start), ticks_(tickCount) {
    oldClock_ = SetClock([this] { return now_; });
    oldTicks_ = SetTickCountSource([this] { return ticks_; });
    oldSleep_ = SetSleepHandler([this](uint32_t ms) {
        slept_ += ms;
        ++sleepCalls_;
        Advance(ms);
    });
}

TFakeTime::~TFakeTime() {
    SetClock(oldClock_);
    SetTickCountSource(oldTicks_);
    SetSleepHandler(oldSleep_);
}

void TFakeTime::Advance(uint32_t milliseconds) {
    ticks_ += milliseconds;
    now_ += static_cast<TDateTime>(milliseconds) / MSecsPerDay;  // clocks of tests lie after 1899
}

void TFakeTime::SetNow(TDateTime now) {
    now_ = now;
}

}  // namespace framework
