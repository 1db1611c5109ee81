#include "controls/entry/TimerPool.h"

#include <gtest/gtest.h>

#include <vector>

#include "controls/entry/CtlMessages.h"
#include "framework/ui/Windows.h"
#include "framework/ui/testsupport/FormDriver.h"

namespace entry {
namespace {

using framework::TFormDriver;

struct TFiring {
    int32_t Handle;
    uint32_t Interval;
    int32_t ElapsedTime;
    uint32_t At;
};

// A pool whose ticks the test gives by hand (the window timer is granted but never started), and
// one whose timer the system refuses.
class TManualPool : public TCtlTimerPool {
public:
    using TCtlTimerPool::TCtlTimerPool;
    void Tick() { DoTimer(); }

protected:
    uintptr_t StartWindowTimer(framework::HWND, uint32_t) override { return 1; }
};

class TRefusedPool : public TCtlTimerPool {
public:
    using TCtlTimerPool::TCtlTimerPool;

protected:
    uintptr_t StartWindowTimer(framework::HWND, uint32_t) override { return 0; }
};

class TimerPoolTest : public ::testing::Test {
protected:
    TTriggerEvent Recorder(std::vector<TFiring>& Into) {
        return [this, &Into](framework::TObject*, int32_t Handle, uint32_t Interval, int32_t Elapsed) {
            Into.push_back({Handle, Interval, Elapsed, FDriver.Now()});
        };
    }
    // Moves the clock to just below the wrap of the 32-bit tick count.
    void NearWrap(uint32_t Below) { FDriver.Advance(UINT32_MAX - FDriver.Now() - Below + 1); }

    TFormDriver FDriver;
};

TEST_F(TimerPoolTest, PeriodIsTheLargestCommonStepNotBelow55) {
    struct Case {
        std::vector<uint32_t> intervals;
        uint32_t period;
    };
    const std::vector<Case> cases = {
        {{}, 0},    {{500}, 500},      {{100, 300}, 100},         {{100, 250}, 55}, {{300, 100}, 100},
        {{10}, 55}, {{200, 300}, 100}, {{1000, 1500, 2500}, 500}, {{55, 1000}, 55}, {{60, 90}, 55},
    };
    for (const Case& c : cases) {
        TCtlTimerPool pool(nullptr);
        for (uint32_t i : c.intervals) pool.Add({}, i);
        EXPECT_EQ(pool.TimerPeriod(), c.period)
            << c.intervals.size() << " first " << (c.intervals.empty() ? 0 : c.intervals[0]);
    }
}

TEST_F(TimerPoolTest, TriggersFireOnTheWindowTimer) {
    TCtlTimerPool pool(nullptr);
    std::vector<TFiring> fast, slow, all;
    pool.OnAllTriggers = Recorder(all);
    const uint32_t start = FDriver.Now();
    const int32_t a = pool.Add(Recorder(fast), 100);
    const int32_t b = pool.Add(Recorder(slow), 300);
    EXPECT_EQ(a, 0);
    EXPECT_EQ(b, 1);
    FDriver.Advance(900, 10);
    ASSERT_EQ(fast.size(), 9u);
    ASSERT_EQ(slow.size(), 3u);
    EXPECT_EQ(all.size(), 12u);
    for (size_t i = 0; i < fast.size(); ++i) {
        EXPECT_EQ(fast[i].At, start + 100 * (i + 1));
        EXPECT_EQ(fast[i].ElapsedTime, static_cast<int32_t>(100 * (i + 1)));
        EXPECT_EQ(fast[i].Handle, a);
        EXPECT_EQ(fast[i].Interval, 100u);
    }
    EXPECT_EQ(slow[2].ElapsedTime, 900);
    // The trigger's own event comes before the pool's for the same firing.
    EXPECT_EQ(all[0].Handle, a);
    EXPECT_EQ(all[2].Handle, a);  // at 300 the shorter interval comes first in the list
    EXPECT_EQ(all[3].Handle, b);
}

TEST_F(TimerPoolTest, TriggerFiresUpTo27MsEarly) {
    TManualPool pool(nullptr);
    std::vector<TFiring> fired;
    pool.Add(Recorder(fired), 500);
    EXPECT_EQ(pool.TimerPeriod(), 500u);
    FDriver.Advance(472);
    pool.Tick();
    EXPECT_TRUE(fired.empty());
    FDriver.Advance(1);
    pool.Tick();
    ASSERT_EQ(fired.size(), 1u);
    EXPECT_EQ(fired[0].ElapsedTime, 473);
    FDriver.Advance(472);
    pool.Tick();
    EXPECT_EQ(fired.size(), 1u);
    FDriver.Advance(600);
    pool.Tick();
    ASSERT_EQ(fired.size(), 2u);
    EXPECT_EQ(fired[1].ElapsedTime, 473 + 1072);
}

TEST_F(TimerPoolTest, OneTimeTriggerFiresOnceAndRemovesItself) {
    TCtlTimerPool pool(nullptr);
    std::vector<TFiring> own, all;
    pool.OnAllTriggers = Recorder(all);
    const int32_t keep = pool.Add({}, 1000);
    const int32_t once = pool.AddOneTime(Recorder(own), 200);
    EXPECT_EQ(pool.TimerPeriod(), 200u);
    FDriver.Advance(2000, 20);
    ASSERT_EQ(own.size(), 1u);
    EXPECT_EQ(own[0].Handle, once);
    EXPECT_EQ(own[0].Interval, 200u);
    EXPECT_EQ(own[0].ElapsedTime, 200);
    ASSERT_GE(all.size(), 1u);
    EXPECT_EQ(all[0].Handle, once);
    for (size_t i = 1; i < all.size(); ++i) EXPECT_EQ(all[i].Handle, keep);
    EXPECT_EQ(pool.TriggerCount(), 1);
    // Recomputed when the one-time trigger went: the other was then 800 ms from due, and 1000 is a
    // multiple of 200.
    EXPECT_EQ(pool.TimerPeriod(), 200u);
    pool.Remove(once);  // gone already: nothing happens
    EXPECT_EQ(pool.TriggerCount(), 1);
    // A new trigger takes one more than the largest handle in the pool.
    EXPECT_EQ(pool.Add({}, 300), keep + 1);
}

TEST_F(TimerPoolTest, RemovingTheLastTriggerStopsTheTimer) {
    TCtlTimerPool pool(nullptr);
    std::vector<TFiring> fired;
    const int32_t a = pool.Add(Recorder(fired), 100);
    const int32_t b = pool.Add(Recorder(fired), 100);
    FDriver.Advance(100);
    EXPECT_EQ(fired.size(), 2u);
    pool.Remove(a);
    pool.Remove(12345);
    EXPECT_EQ(pool.TriggerCount(), 1);
    pool.Remove(b);
    EXPECT_EQ(pool.TimerPeriod(), 0u);
    FDriver.Advance(1000, 50);
    EXPECT_EQ(fired.size(), 2u);
    EXPECT_FALSE(framework::HasPendingMessages());
}

TEST_F(TimerPoolTest, HandlersMayAddAndRemoveTriggers) {
    TCtlTimerPool pool(nullptr);
    int32_t other = -1;
    int firedOther = 0;
    other = pool.Add([&](framework::TObject*, int32_t, uint32_t, int32_t) { ++firedOther; }, 100);
    pool.Add(
        [&](framework::TObject* Sender, int32_t Handle, uint32_t, int32_t) {
            auto* p = static_cast<TCtlTimerPool*>(Sender);
            p->Remove(other);
            p->Remove(Handle);
            p->Add({}, 400);
        },
        100);
    FDriver.Advance(100);
    EXPECT_EQ(firedOther, 1);  // it came first in the list
    EXPECT_EQ(pool.TriggerCount(), 1);
    EXPECT_EQ(pool.TimerPeriod(), 400u);
}

TEST_F(TimerPoolTest, RefusedTimerRaises) {
    TRefusedPool pool(nullptr);
    try {
        pool.Add({}, 100);
        FAIL() << "no exception";
    } catch (const ENoTimersAvailable& e) {
        EXPECT_EQ(e.Message, "No Window's timers are available");
    }
}

TEST_F(TimerPoolTest, TickCountWrap) {
    NearWrap(250);  // 250 ms before the counter wraps to 0
    {
        TCtlTimerPool pool(nullptr);
        std::vector<TFiring> fired;
        pool.Add(Recorder(fired), 100);
        FDriver.Advance(1000, 10);
        ASSERT_EQ(fired.size(), 10u);
        for (size_t i = 0; i < fired.size(); ++i)
            EXPECT_EQ(fired[i].ElapsedTime, static_cast<int32_t>(100 * (i + 1))) << i;
    }
    NearWrap(100);
    {
        TManualPool pool(nullptr);
        std::vector<TFiring> fired;
        pool.Add(Recorder(fired), 500);
        FDriver.Advance(400);  // 300 ms past the wrap
        pool.Tick();
        EXPECT_TRUE(fired.empty());  // neither early nor stalled
        FDriver.Advance(73);
        pool.Tick();
        ASSERT_EQ(fired.size(), 1u);
        EXPECT_EQ(fired[0].ElapsedTime, 473);
    }
}

TEST_F(TimerPoolTest, OwnedByItsOwnerAndAbout) {
    framework::TComponent owner(nullptr);
    auto* pool = new TCtlTimerPool(&owner);
    pool->Add({}, 100);
    EXPECT_EQ(pool->About(), "v4.06");
    EXPECT_EQ(owner.ComponentCount(), 1);
}

}  // namespace
}  // namespace entry
