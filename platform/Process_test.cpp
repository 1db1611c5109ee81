#include "platform/Process.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <thread>
#include <vector>

namespace platform {
namespace {

TEST(Process, LastErrorBelongsToEachThread) {
    SetLastError(ERROR_SHARING_VIOLATION);
    uint32_t seenInOtherThread = 12345;
    std::thread other([&] {
        seenInOtherThread = GetLastError();
        SetLastError(ERROR_ACCESS_DENIED);
    });
    other.join();
    EXPECT_EQ(seenInOtherThread, ERROR_SUCCESS);
    EXPECT_EQ(GetLastError(), 32u);
}

TEST(Process, ErrnoValuesMapToWindowsNumbers) {
    struct Case {
        int err;
        uint32_t code;
    } cases[] = {
        {ENOENT, 2}, {ENOTDIR, 3}, {EMFILE, 4},   {EACCES, 5},   {EROFS, 5},    {EBADF, 6},
        {ENOMEM, 8}, {EXDEV, 17},  {ENOTSUP, 50}, {EEXIST, 183}, {ENOSPC, 112}, {ENOTEMPTY, 145},
    };
    for (const auto& c : cases) EXPECT_EQ(ErrorFromErrno(c.err), c.code) << c.err;
}

TEST(Process, CriticalSectionIsReentrantAndExcludesOtherThreads) {
    TRTLCriticalSection section;
    section.Enter();
    section.Enter();  // the owner may enter again
    bool otherGotIn = true;
    std::thread([&] { otherGotIn = section.TryEnter(); }).join();
    EXPECT_FALSE(otherGotIn);
    section.Leave();
    std::thread([&] { otherGotIn = section.TryEnter(); }).join();
    EXPECT_FALSE(otherGotIn) << "still entered once";
    section.Leave();

    // Counting under the section from several threads loses no increment.
    int counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 10000; ++i) {
                TCriticalSectionGuard guard(section);
                ++counter;
            }
        });
    for (auto& t : threads) t.join();
    EXPECT_EQ(counter, 40000);
}

TEST(Process, IdsAndComputerName) {
    EXPECT_EQ(GetCurrentProcessId(), static_cast<uint32_t>(getpid()));
    const uint32_t mainThread = GetCurrentThreadId();
    uint32_t otherThread = mainThread;
    std::thread([&] { otherThread = GetCurrentThreadId(); }).join();
    EXPECT_NE(otherThread, mainThread);

    const std::string name = GetComputerName();
    EXPECT_FALSE(name.empty());
    EXPECT_LE(name.size(), 15u);
    EXPECT_EQ(name.find('.'), std::string::npos);
    for (char c : name) EXPECT_FALSE(c >= 'a' && c <= 'z') << name;
}

TEST(Process, TickCountDoesNotGoBackwards) {
    const uint64_t a = GetTickCount64();
    const uint64_t b = GetTickCount64();
    EXPECT_LE(a, b);
    EXPECT_LE(GetTickCount() - static_cast<uint32_t>(b), 1000u);
}

}  // namespace
}  // namespace platform
