#include "framework/core/SyncObjects.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "framework/testsupport/FakeTime.h"

namespace framework {
namespace {

TEST(EventTest, ManualResetStaysSignalledUntilReset) {
    TEvent e(true, false);
    EXPECT_EQ(e.WaitFor(0), wrTimeout);
    e.SetEvent();
    EXPECT_EQ(e.WaitFor(0), wrSignaled);
    EXPECT_EQ(e.WaitFor(INFINITE), wrSignaled);
    e.ResetEvent();
    EXPECT_EQ(e.WaitFor(0), wrTimeout);
    TEvent initially(true, true, "Ready");
    EXPECT_EQ(initially.WaitFor(0), wrSignaled);
    EXPECT_EQ(initially.Name(), "Ready");
}

TEST(EventTest, AutoResetReleasesOneWaitAndResetsItself) {
    TEvent e(false, true);
    EXPECT_EQ(e.WaitFor(0), wrSignaled);
    EXPECT_EQ(e.WaitFor(0), wrTimeout);
    e.SetEvent();
    e.SetEvent();  // signals do not add up
    EXPECT_EQ(e.WaitFor(0), wrSignaled);
    EXPECT_EQ(e.WaitFor(0), wrTimeout);
}

TEST(EventTest, AManualResetEventReleasesEveryWaiter) {
    TEvent go(true, false);
    std::atomic<int> released{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 4; ++i)
        waiters.emplace_back([&] {
            if (go.WaitFor(INFINITE) == wrSignaled) ++released;
        });
    go.SetEvent();
    for (auto& w : waiters) w.join();
    EXPECT_EQ(released, 4);
}

TEST(EventTest, AnAutoResetEventReleasesItsWaitersOneSignalAtATime) {
    TEvent one(false, false);
    TEvent done(false, false);
    std::atomic<int> released{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 3; ++i)
        waiters.emplace_back([&] {
            one.WaitFor(INFINITE);
            ++released;
            done.SetEvent();
        });
    for (int i = 1; i <= 3; ++i) {
        one.SetEvent();
        ASSERT_EQ(done.WaitFor(INFINITE), wrSignaled);
        EXPECT_EQ(released, i);
    }
    for (auto& w : waiters) w.join();
    EXPECT_EQ(one.WaitFor(0), wrTimeout);
}

// On the test clock a wait with a limit ends after exactly that much clock time, at once.
TEST(EventTest, WaitForWithALimitRunsOnTheClockSeam) {
    TFakeTime clock(EncodeDate(2001, 5, 4), 1000);
    TEvent e(false, false);
    EXPECT_EQ(e.WaitFor(5000), wrTimeout);
    EXPECT_EQ(clock.TickCount(), 6000u);
    EXPECT_EQ(clock.SleptMilliseconds(), 5000u);
    e.SetEvent();
    EXPECT_EQ(e.WaitFor(5000), wrSignaled);
    EXPECT_EQ(clock.TickCount(), 6000u);  // a signalled event costs no time
}

TEST(CriticalSectionTest, IsReentrantAndExcludesOtherThreads) {
    TCriticalSection cs;
    cs.Acquire();
    cs.Enter();  // the owner enters again
    bool otherGotIn = true;
    std::thread([&] { otherGotIn = cs.TryEnter(); }).join();
    EXPECT_FALSE(otherGotIn);
    cs.Leave();
    std::thread([&] { otherGotIn = cs.TryEnter(); }).join();
    EXPECT_FALSE(otherGotIn);  // still held once
    cs.Release();
    std::thread([&] {
        otherGotIn = cs.TryEnter();
        if (otherGotIn) cs.Leave();
    }).join();
    EXPECT_TRUE(otherGotIn);
}

TEST(CriticalSectionTest, KeepsACounterConsistentAcrossThreads) {
    TCriticalSection cs;
    long counter = 0;
    std::vector<std::thread> workers;
    for (int i = 0; i < 4; ++i)
        workers.emplace_back([&] {
            for (int n = 0; n < 20000; ++n) {
                cs.Acquire();
                ++counter;
                cs.Release();
            }
        });
    for (auto& w : workers) w.join();
    EXPECT_EQ(counter, 80000);
}

}  // namespace
}  // namespace framework
