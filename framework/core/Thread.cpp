#include "framework/core/Thread.h"

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <deque>
#include <mutex>

#include "platform/Process.h"

namespace framework {

namespace {

// The program's main thread is the one that runs the static initialisation.
const uint32_t gMainThreadID = platform::GetCurrentThreadId();

struct SyncRequest {
    TThread* Thread = nullptr;  // the asking thread, nil for a foreign thread or a hand-over
    TThreadMethod Method;
    bool Droppable = false;  // may be dropped once Thread is terminated
    bool Started = false;    // the main thread has begun to run it
    bool Done = false;
    bool Abandoned = false;  // the asking thread stopped waiting (its step was dropped)
    std::exception_ptr Error;
};

// One lock for the queue and for the states that threads wait on (a step done, a thread
// finished, a thread resumed); one condition for all of them. Waits are short and rare enough that
// waking every waiter costs nothing that matters.
//
// Function-local, so that the wake-up and the exception handler that the user-interface layer
// installs from its own static initialisation are not wiped when this unit's statics are built later.
struct SharedState {
    std::mutex Lock;
    std::condition_variable Changed;
    std::deque<std::shared_ptr<SyncRequest>> Queue;
    TWakeMainThread Wake;
    TThreadExceptionHandler ExceptionHandler;
};
SharedState& Shared() {
    static SharedState state;
    return state;
}

void WriteException(std::exception_ptr Error) {
    try {
        std::rethrow_exception(Error);
    } catch (const Exception& e) {
        std::fprintf(stderr, "Exception in thread: %s: %s\n", e.ClassName().c_str(), e.Message.c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "Exception in thread: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "Exception in thread\n");
    }
}

void HandleThreadException(std::exception_ptr Error) {
    TThreadExceptionHandler handler;
    {
        std::lock_guard lock(Shared().Lock);
        handler = Shared().ExceptionHandler;
    }
    try {
        if (handler) return handler(Error);
    } catch (...) {
        Error = std::current_exception();
    }
    WriteException(Error);
}

void Enqueue(const std::shared_ptr<SyncRequest>& Request, std::unique_lock<std::mutex>& Lock) {
    Shared().Queue.push_back(Request);
    Shared().Changed.notify_all();
    TWakeMainThread wake = Shared().Wake;
    Lock.unlock();
    if (wake) wake();
    Lock.lock();
}

// Hands an exception to the main thread without waiting.
void PostException(std::exception_ptr Error) {
    if (IsMainThread()) return HandleThreadException(Error);
    auto r = std::make_shared<SyncRequest>();
    r->Method = [Error] { HandleThreadException(Error); };
    std::unique_lock lock(Shared().Lock);
    Enqueue(r, lock);
}

bool MayDrop(const SyncRequest& R);

}  // namespace

// Private access for the queue to the thread's flags.
struct ThreadAccess {
    static bool Terminated(const TThread& T) { return T.FTerminated.load(); }
    static void Step(TThread* AThread, TThreadMethod Method, bool Droppable);
};

namespace {
bool MayDrop(const SyncRequest& R) {
    return R.Droppable && R.Thread && ThreadAccess::Terminated(*R.Thread);
}
}  // namespace

uint32_t MainThreadID() {
    return gMainThreadID;
}

bool IsMainThread() {
    return platform::GetCurrentThreadId() == gMainThreadID;
}

TWakeMainThread SetWakeMainThread(TWakeMainThread Wake) {
    std::lock_guard lock(Shared().Lock);
    return std::exchange(Shared().Wake, std::move(Wake));
}

TThreadExceptionHandler SetThreadExceptionHandler(TThreadExceptionHandler Handler) {
    std::lock_guard lock(Shared().Lock);
    return std::exchange(Shared().ExceptionHandler, std::move(Handler));
}

bool SynchronizePending() {
    std::lock_guard lock(Shared().Lock);
    return !Shared().Queue.empty();
}

bool CheckSynchronize(int Timeout) {
    if (!IsMainThread()) throw EThread("CheckSynchronize called from a thread that is not the main thread");
    std::unique_lock lock(Shared().Lock);
    if (Shared().Queue.empty() && Timeout > 0)
        Shared().Changed.wait_for(lock, std::chrono::milliseconds(Timeout),
                                  [] { return !Shared().Queue.empty(); });
    if (Shared().Queue.empty()) return false;
    std::deque<std::shared_ptr<SyncRequest>> batch;
    batch.swap(Shared().Queue);
    bool ran = false;
    for (const auto& r : batch) {
        // An abandoned request's thread may be gone: look at nothing else of it. A droppable one
        // of a terminated thread is left alone; its thread sees it never started and goes on.
        if (r->Abandoned || MayDrop(*r)) continue;
        r->Started = true;
        lock.unlock();
        try {
            r->Method();
        } catch (...) {
            r->Error = std::current_exception();
        }
        ran = true;
        lock.lock();
        r->Done = true;
        Shared().Changed.notify_all();
    }
    return ran;
}

void ThreadAccess::Step(TThread* AThread, TThreadMethod Method, bool Droppable) {
    if (IsMainThread()) return Method();
    if (AThread && AThread->FThreadID.load() == platform::GetCurrentThreadId()) AThread->PausePoint();
    auto r = std::make_shared<SyncRequest>();
    r->Thread = AThread;
    r->Method = std::move(Method);
    r->Droppable = Droppable && AThread;
    std::unique_lock lock(Shared().Lock);
    if (MayDrop(*r)) return;
    Enqueue(r, lock);
    Shared().Changed.wait(lock, [&] { return r->Done || (!r->Started && MayDrop(*r)); });
    if (!r->Done) {
        r->Abandoned = true;
        for (auto it = Shared().Queue.begin(); it != Shared().Queue.end(); ++it)
            if (*it == r) {
                Shared().Queue.erase(it);
                break;
            }
        return;
    }
    if (r->Error) std::rethrow_exception(r->Error);
}

// ---------------------------------------------------------------------------------------------
// TThread

TThread::TThread(bool CreateSuspended) : FSuspended(CreateSuspended) {}

TThread::~TThread() {
    if (FStarted && !FFinished) {
        if (FThreadID.load() == platform::GetCurrentThreadId()) {
            // Deleted from its own Execute: nothing can wait for it; let it run out.
            if (FThread.joinable()) FThread.detach();
            return;
        }
        // Only the base part is left here; Free ends the thread while the object is whole.
        Terminate();
        Resume();
        WaitForFinish();
    }
    if (FThread.joinable()) FThread.join();
    if (FFatalException && !FFatalTaken) PostException(FFatalException);
}

void TThread::Free() {
    if (FStarted && !FFinished && FThreadID.load() != platform::GetCurrentThreadId()) {
        Terminate();
        Resume();
        WaitForFinish();
    }
    delete this;
}

void TThread::WaitForFinish() {
    std::unique_lock lock(Shared().Lock);
    if (IsMainThread()) {
        while (!FFinished) {
            if (!Shared().Queue.empty()) {
                lock.unlock();
                CheckSynchronize();
                lock.lock();
                continue;
            }
            Shared().Changed.wait(lock);
        }
    } else {
        Shared().Changed.wait(lock, [this] { return FFinished.load(); });
    }
}

void TThread::AfterConstruction() {
    if (!FSuspended && !FStarted) Start();
}

void TThread::Start() {
    std::lock_guard lock(Shared().Lock);
    if (FStarted) return;
    FSuspended = false;
    FStarted = true;
    // Run takes the lock first, so FThread is set before the thread looks at it.
    FThread = std::thread([this] { Run(); });
}

void TThread::Resume() {
    if (!FStarted) return Start();
    {
        std::lock_guard lock(Shared().Lock);
        FSuspended = false;
    }
    FResumed.notify_all();
}

void TThread::Suspend() {
    if (FFinished) return;
    FSuspended = true;
    if (FThreadID.load() == platform::GetCurrentThreadId()) PausePoint();
}

bool TThread::Suspended() const {
    return FSuspended.load();
}

void TThread::SetSuspended(bool Value) {
    if (Value)
        Suspend();
    else
        Resume();
}

void TThread::PausePoint() {
    std::unique_lock lock(Shared().Lock);
    FResumed.wait(lock, [this] { return !FSuspended.load(); });
}

void TThread::Terminate() {
    {
        std::lock_guard lock(Shared().Lock);
        FTerminated = true;
    }
    Shared().Changed.notify_all();  // a droppable step waiting for the main thread is released
}

bool TThread::Terminated() {
    if (FThreadID.load() == platform::GetCurrentThreadId()) PausePoint();
    return FTerminated;
}

std::exception_ptr TThread::FatalException() const {
    return FFinished ? FFatalException : nullptr;
}

void TThread::SetPriority(TThreadPriority Value) {
    FPriority = Value;
    if (FStarted && !FFinished) ApplyPriority();
}

void TThread::ApplyPriority() {
    static constexpr int kNice[] = {19, 10, 5, 0, -5, -10, -20};
    const uint32_t id = FThreadID.load();
    if (id == 0) return;
    // Best effort: an unprivileged process may lower a thread's priority but not raise it.
    setpriority(PRIO_PROCESS, static_cast<id_t>(id), kNice[FPriority.load()]);
}

int32_t TThread::WaitFor() {
    if (!FStarted) throw EThread("Cannot wait for a thread that was never started");
    if (FThreadID.load() == platform::GetCurrentThreadId()) throw EThread("A thread cannot wait for itself");
    WaitForFinish();
    {
        std::lock_guard lock(FJoinLock);
        if (FThread.joinable()) FThread.join();
    }
    if (FFatalException) {
        FFatalTaken = true;
        std::rethrow_exception(FFatalException);
    }
    return FReturnValue;
}

void TThread::Synchronize(TThread* AThread, TThreadMethod Method) {
    ThreadAccess::Step(AThread, std::move(Method), true);
}

void TThread::DoTerminate() {
    if (OnTerminate)
        ThreadAccess::Step(
            this, [this] { OnTerminate(this); }, false);
}

void TThread::Run() {
    {
        std::lock_guard lock(Shared().Lock);
        FThreadID = platform::GetCurrentThreadId();
    }
    if (FPriority.load() != tpNormal) ApplyPriority();
    try {
        PausePoint();
        Execute();
    } catch (...) {
        FFatalException = std::current_exception();
    }
    try {
        DoTerminate();
    } catch (...) {
        if (!FFatalException) FFatalException = std::current_exception();
    }
    if (FFreeOnTerminate) {
        if (FFatalException) PostException(FFatalException);
        FFatalTaken = true;
        {
            std::lock_guard lock(Shared().Lock);
            FThread.detach();
            FFinished = true;
        }
        delete this;
        return;
    }
    std::lock_guard lock(Shared().Lock);
    FFinished = true;
    Shared().Changed.notify_all();
}

}  // namespace framework
