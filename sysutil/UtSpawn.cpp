#include "sysutil/UtSpawn.h"

#include <algorithm>

#include "framework/core/Seams.h"
#include "framework/core/SyncObjects.h"
#include "framework/core/SysUtils.h"
#include "framework/core/Thread.h"
#include "platform/Process.h"
#include "sysutil/UtConst.h"

namespace sysutil {

namespace {
// The longest limit whose milliseconds fit a signed 32-bit number.
constexpr int32_t kMaxTimeOut = 2147483;
// How often a wait looks at the process; the event is watched in between.
constexpr uint32_t kPollMilliseconds = 20;
}  // namespace

// Waits until the process ends (result 0), the event is signalled (1) or the limit runs out
// (WAIT_TIMEOUT); WAIT_FAILED when the process handle is not open. Time passes through the
// class library's tick count and event waits, so a test clock ends a limited wait at once.
class TUtWaitThread : public framework::TThread {
public:
    TUtWaitThread(platform::HPROCESS Process, int32_t TimeOut, std::shared_ptr<framework::TEvent> Event)
        : TThread(true),
          FProcess(Process),
          FEvent(std::move(Event)),
          FLimit(TimeOut > 0 ? static_cast<uint32_t>(TimeOut) * 1000u : platform::INFINITE) {}

    uint32_t WaitResult = 0;
    uint32_t WaitError = 0;  // the last error of a failed wait
    const std::shared_ptr<framework::TEvent>& Event() const { return FEvent; }

protected:
    void Execute() override {
        const uint32_t start = framework::GetTickCount();
        for (;;) {
            uint32_t r = platform::WaitForProcess(FProcess, 0);
            if (r == platform::WAIT_FAILED) {
                WaitError = platform::GetLastError();
                WaitResult = platform::WAIT_FAILED;
                return;
            }
            if (r == platform::WAIT_OBJECT_0) {
                WaitResult = 0;
                return;
            }
            uint32_t slice = kPollMilliseconds;
            if (FLimit != platform::INFINITE) {
                const uint32_t elapsed = framework::GetTickCount() - start;
                if (elapsed >= FLimit) {
                    WaitResult = platform::WAIT_TIMEOUT;
                    return;
                }
                slice = std::min(slice, FLimit - elapsed);
            }
            if (FEvent->WaitFor(slice) == framework::wrSignaled || Terminated()) {
                WaitResult = 1;
                return;
            }
        }
    }

private:
    platform::HPROCESS FProcess;
    std::shared_ptr<framework::TEvent> FEvent;
    uint32_t FLimit;
};

TUtSpawnApplication::TUtSpawnApplication(framework::TComponent* AOwner) : TUtComponent(AOwner) {}

TUtSpawnApplication::~TUtSpawnApplication() {
    // Release every wait and join its thread; the termination callbacks that run meanwhile see
    // FDestroying and fire nothing.
    FDestroying = true;
    for (TUtWaitThread* t : FWaits) t->Event()->SetEvent();
    std::vector<TUtWaitThread*> waits;
    waits.swap(FWaits);
    for (TUtWaitThread* t : waits) t->Free();
}

void TUtSpawnApplication::SetTimeOut(int32_t Value) {
    if (Value < 0 || Value > kMaxTimeOut) return;
    FTimeOut = Value;
}

int TUtSpawnApplication::RunningWaits() const {
    return static_cast<int>(
        std::count_if(FWaits.begin(), FWaits.end(), [](TUtWaitThread* t) { return !t->Finished(); }));
}

void TUtSpawnApplication::ReapFinishedWaits() {
    auto done =
        std::stable_partition(FWaits.begin(), FWaits.end(), [](TUtWaitThread* t) { return !t->Finished(); });
    for (auto it = done; it != FWaits.end(); ++it) (*it)->Free();
    FWaits.erase(done, FWaits.end());
}

platform::HPROCESS TUtSpawnApplication::Execute() {
    if (FFileName.empty() && !FRunParameters.empty()) RaiseStError<EUtSpawnError>(250);
    ReapFinishedWaits();

    platform::SHELLEXECUTEINFO info;
    info.fMask = platform::SEE_MASK_NOCLOSEPROCESS | platform::SEE_MASK_FLAG_NO_UI;
    switch (FSpawnCommand) {
        case scOpen:
            info.lpVerb = "open";
            break;
        case scPrint:
            info.lpVerb = "print";
            break;
        case scOther:
            info.lpVerb = FSpawnCommandStr;
            break;
    }
    switch (FShowState) {
        case ssMinimized:
            info.nShow = platform::SW_MINIMIZE;
            break;
        case ssMaximized:
            info.nShow = platform::SW_MAXIMIZE;
            break;
        case ssMinNotActive:
            info.nShow = platform::SW_SHOWMINNOACTIVE;
            break;
        default:
            info.nShow = platform::SW_SHOWNORMAL;
            break;
    }
    info.lpFile = FFileName;
    info.lpParameters = FRunParameters;
    info.lpDirectory = FDefaultDir;
    const bool started = platform::ShellExecuteEx(&info);
    FProcess = started ? info.hProcess : 0;
    if (!started) {
        const uint32_t error = platform::GetLastError();
        if (OnSpawnError) OnSpawnError(this, static_cast<uint16_t>(error));
    }
    // Only a started process is waited for: without one the wait could only fail.
    if (FNotifyWhenDone && FProcess != 0) {
        auto event =
            std::make_shared<framework::TEvent>(false, false, framework::FloatToStr(framework::Now()));
        auto* thread = framework::TThread::Create<TUtWaitThread>(FProcess, FTimeOut, event);
        thread->OnTerminate = [this](framework::TObject* Sender) {
            WaitTerminated(static_cast<TUtWaitThread*>(Sender));
        };
        FWaits.push_back(thread);
        FWaitEvent = event;
        FWaitThread = thread;
        thread->Resume();
    }
    return FProcess;
}

// Runs on the user-interface thread once a wait has ended.
void TUtSpawnApplication::WaitTerminated(TUtWaitThread* Thread) {
    if (FDestroying) return;
    FWaitResult = Thread->WaitResult;
    switch (FWaitResult) {
        case platform::WAIT_FAILED:
            if (OnSpawnError) OnSpawnError(this, static_cast<uint16_t>(Thread->WaitError));
            break;
        case 0:
        case 1:
            if (FNotifyWhenDone && OnCompleted) OnCompleted(this);
            break;
        case platform::WAIT_TIMEOUT:
            if (OnTimeOut) OnTimeOut(this);
            break;
        default:
            break;
    }
    // Each wait has its own event: the end of an earlier wait leaves a later one waiting.
    Thread->Event()->SetEvent();
    if (FWaitEvent == Thread->Event()) FWaitEvent.reset();
    if (FWaitThread == Thread) FWaitThread = nullptr;
}

}  // namespace sysutil
