#include "framework/core/Seams.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <ctime>
#include <mutex>
#include <utility>

#include "platform/Process.h"

namespace framework {

namespace {

// Seams are installed by tests on the user-interface thread but may be read from any thread.
std::mutex seamMutex;
TClockFunc clockSeam;
TTickCountFunc tickCountSeam;
TSleepFunc sleepSeam;

template <typename F>
F Swap(F& slot, F replacement) {
    std::lock_guard lock(seamMutex);
    return std::exchange(slot, std::move(replacement));
}

template <typename F>
F Current(const F& slot) {
    std::lock_guard lock(seamMutex);
    return slot;
}

}  // namespace

TClockFunc SetClock(TClockFunc clock) {
    return Swap(clockSeam, std::move(clock));
}
TTickCountFunc SetTickCountSource(TTickCountFunc tickCount) {
    return Swap(tickCountSeam, std::move(tickCount));
}
TSleepFunc SetSleepHandler(TSleepFunc sleep) {
    return Swap(sleepSeam, std::move(sleep));
}

TDateTime SystemNow() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t seconds = system_clock::to_time_t(now);
    const auto msec = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    return ComposeDateTime(EncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday),
                           EncodeTime(local.tm_hour, local.tm_min, std::min(local.tm_sec, 59),
                                      static_cast<int>(msec < 0 ? 0 : msec)));
}

TDateTime Now() {
    if (TClockFunc clock = Current(clockSeam)) return clock();
    return SystemNow();
}

bool TickCountSeamInstalled() {
    return static_cast<bool>(Current(tickCountSeam));
}

uint32_t GetTickCount() {
    if (TTickCountFunc tickCount = Current(tickCountSeam)) return tickCount();
    return platform::GetTickCount();
}

void Sleep(uint32_t milliseconds) {
    if (TSleepFunc sleep = Current(sleepSeam)) return sleep(milliseconds);
    platform::Sleep(milliseconds);
}

// ---- Random numbers ----
// A 32-bit linear congruential generator (multiplier and increment from Knuth's table of good
// constants, full period 2^32); the high bits give the result, as they are the most random.

uint32_t RandSeed = 0;

namespace {
uint32_t NextRandom() {
    RandSeed = RandSeed * 1664525u + 1013904223u;
    return RandSeed;
}
}  // namespace

void Randomize() {
    const double now = Now();
    uint64_t bits = 0;
    static_assert(sizeof bits == sizeof now);
    std::memcpy(&bits, &now, sizeof bits);
    RandSeed = static_cast<uint32_t>(bits ^ (bits >> 32)) ^ GetTickCount();
}

int32_t Random(int32_t range) {
    if (range <= 0) return 0;
    return static_cast<int32_t>((static_cast<uint64_t>(NextRandom()) * static_cast<uint32_t>(range)) >> 32);
}

double Random() {
    return static_cast<double>(NextRandom()) / 4294967296.0;
}

}  // namespace framework
