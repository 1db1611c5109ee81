#pragma once
// Seams between the class library and the passing of time: the wall clock behind Now/Date/Time, the
// millisecond tick count, sleeping, and the pseudo-random generator. Each seam defaults to the real
// platform; a test installs its own function and removes it again (an empty function restores the
// default), so that nothing depends on today's date or on real waiting.

#include <cstdint>
#include <functional>

#include "framework/core/DateTime.h"

namespace framework {

// ---- Clock, tick count, sleep ---------------------------------------------------------------------

using TClockFunc = std::function<TDateTime()>;
using TTickCountFunc = std::function<uint32_t()>;
using TSleepFunc = std::function<void(uint32_t milliseconds)>;

// Install a replacement; each returns the one it replaces (empty when that was the default).
TClockFunc SetClock(TClockFunc clock);
TTickCountFunc SetTickCountSource(TTickCountFunc tickCount);
TSleepFunc SetSleepHandler(TSleepFunc sleep);

// The real local date and time, whatever seam is installed.
TDateTime SystemNow();

// True while a replacement tick count is installed: waits with a limit then let time pass through
// the sleep seam instead of the real clock.
bool TickCountSeamInstalled();

// Milliseconds since an arbitrary start; wraps after about 49.7 days.
uint32_t GetTickCount();
void Sleep(uint32_t milliseconds);

// ---- Random numbers -------------------------------------------------------------------------------

// The generator's state. Setting it repeats the sequence that followed the same value.
extern uint32_t RandSeed;
// Seeds the generator from the clock seam and the tick count.
void Randomize();
// A number in 0 .. range - 1 (0 when range <= 0).
int32_t Random(int32_t range);
// A number in [0, 1).
double Random();

}  // namespace framework
