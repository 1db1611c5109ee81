#pragma once
// Objects that threads wait on and lock: events (auto- and manual-reset) and critical sections.

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

#include "framework/core/Object.h"
#include "platform/Process.h"

namespace framework {

// A wait limit meaning "no limit".
constexpr uint32_t INFINITE = 0xFFFFFFFF;

enum TWaitResult : uint8_t { wrSignaled, wrTimeout, wrAbandoned, wrError };

// An event object. A manual-reset event stays signalled until ResetEvent and releases every
// waiter; an auto-reset event releases one waiter and is reset by that release.
//
// A wait with a limit runs on the framework's tick count. While a test has replaced the tick
// count (see Seams.h), the waiting thread lets time pass through the sleep seam in steps, so that
// a test clock that advances on Sleep ends the wait at once without real waiting.
class TEvent : public TObject {
public:
    // Name is kept for the caller's information only: events are not shared between processes.
    TEvent(bool ManualReset, bool InitialState, const std::string& Name = "");
    TEvent(const TEvent&) = delete;
    TEvent& operator=(const TEvent&) = delete;

    // Milliseconds, or INFINITE.
    TWaitResult WaitFor(uint32_t Timeout);
    void SetEvent();
    void ResetEvent();
    const std::string& Name() const { return FName; }

private:
    bool TakeSignal();  // with FLock held
    std::mutex FLock;
    std::condition_variable FChanged;
    const bool FManualReset;
    bool FSignaled;
    std::string FName;
};

// A re-entrant lock over the platform's critical section: the owning thread may enter again; each
// Acquire needs its Release.
class TCriticalSection : public TObject {
public:
    TCriticalSection() = default;
    TCriticalSection(const TCriticalSection&) = delete;
    TCriticalSection& operator=(const TCriticalSection&) = delete;

    void Acquire() { FSection.Enter(); }
    void Release() { FSection.Leave(); }
    void Enter() { Acquire(); }
    void Leave() { Release(); }
    // Enters only when no other thread holds the section.
    bool TryEnter() { return FSection.TryEnter(); }

private:
    platform::TRTLCriticalSection FSection;
};

}  // namespace framework
