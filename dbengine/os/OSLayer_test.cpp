#include "dbengine/os/OSLayer.h"

#include <gtest/gtest.h>

#include <thread>

namespace dbengine {
namespace {

// Two threads counting under the engine lock lose no step; the section can be freed after.
TEST(EngineLockTest, EnterAndLeaveExcludeOtherThreads) {
    std::unique_ptr<TEngineCriticalSection> section = NewCriticalSection();
    int counter = 0;
    auto count = [&] {
        for (int i = 0; i < 20000; ++i) {
            EnterEngineLock(section.get());
            counter = counter + 1;
            LeaveEngineLock(section.get());
        }
    };
    std::thread other(count);
    count();
    other.join();
    EXPECT_EQ(counter, 40000);
    FreeCriticalSection(section);
    EXPECT_EQ(section, nullptr);
}

// Version 5.0 as a currency value, and platform id 2 (not the family with the case-mapping quirk).
TEST(OSVersionTest, ReportsTheFixedVersionAndPlatform) {
    EXPECT_EQ(GetOSVersion(), 50000);
    EXPECT_EQ(GetOSPlatform(), 2u);
}

}  // namespace
}  // namespace dbengine
