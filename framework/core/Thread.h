#pragma once
// Threads of the class library, and the hand-over of work to the user-interface thread.
//
// The user-interface ("main") thread is the one that initialised the program. A thread hands a
// step to it with Synchronize: the step joins the synchronisation queue, the main thread's
// message loop (and every modal loop) runs the queue through CheckSynchronize, and the thread
// waits until its step has run. The user-interface layer installs a wake-up (SetWakeMainThread)
// so that an idle message loop notices a new step at once.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

#include "framework/core/Exception.h"
#include "framework/core/Object.h"

namespace framework {

// Misuse of a thread: waiting for itself, waiting for a thread never started, running the
// synchronisation queue outside the main thread.
KORVANE_DECLARE_EXCEPTION(EThread, Exception);

enum TThreadPriority : uint8_t { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

using TThreadMethod = std::function<void()>;

// The id of the user-interface thread, and whether the caller runs on it.
uint32_t MainThreadID();
bool IsMainThread();

// Runs the steps waiting in the synchronisation queue, on the main thread only (EThread
// otherwise). With a Timeout (milliseconds, real time) an empty queue is waited on that long.
// Only the steps queued when it starts are run, so that a thread synchronising in a tight loop
// cannot hold the message loop. True when any step ran. An exception of a step goes back to the
// thread that asked for it.
bool CheckSynchronize(int Timeout = 0);
// True when steps are waiting (any thread may ask).
bool SynchronizePending();

// Called, on the asking thread, whenever a step joins the queue; the user-interface layer wakes its
// message loop here. Returns the function it replaces.
using TWakeMainThread = std::function<void()>;
TWakeMainThread SetWakeMainThread(TWakeMainThread Wake);

// Where an exception of a thread goes when nobody can take it from WaitFor (a thread freeing
// itself on termination, or one destroyed without its exception having been taken): on the main
// thread, to this handler. The user-interface layer installs the application's exception handler;
// the default writes the class and message to the standard error stream.
using TThreadExceptionHandler = std::function<void(std::exception_ptr Error)>;
TThreadExceptionHandler SetThreadExceptionHandler(TThreadExceptionHandler Handler);

// A thread running Execute. Create<T>(args...) constructs it and, unless CreateSuspended was
// given, starts it (a thread object must be complete before its Execute may run); Resume starts a
// suspended one.
//
// Ending: Execute watches Terminated() and returns. After Execute, OnTerminate runs on the main
// thread (through Synchronize); then the thread is finished. With FreeOnTerminate the object
// deletes itself at that point, and the owner must not touch it any more; otherwise the owner
// ends it with Free (terminate, wait, delete). Plain delete is for a thread that has finished or
// never started: by the time the base destructor could wait, the derived object is gone.
//
// Errors: an exception escaping Execute (or OnTerminate) is kept as FatalException and raised
// again by WaitFor, with its class and message. One that WaitFor never raised goes to the thread
// exception handler on the main thread.
//
// Halting: once the thread is terminated, a step it has asked for and the main thread has not
// started is dropped and Synchronize returns, so that a thread can be ended even while the main
// thread serves no messages. OnTerminate is never dropped.
class TThread : public TObject {
public:
    template <class T, class... Args>
    static T* Create(Args&&... args) {
        T* thread = new T(std::forward<Args>(args)...);
        thread->AfterConstruction();
        return thread;
    }

    explicit TThread(bool CreateSuspended);
    ~TThread() override;
    TThread(const TThread&) = delete;
    TThread& operator=(const TThread&) = delete;

    // Starts a created-running thread (Create<T> calls it).
    void AfterConstruction();
    // Terminates the thread, waits until it has finished (serving the synchronisation queue on the
    // main thread) and deletes it. An exception it raised and WaitFor never did goes to the thread
    // exception handler.
    void Free();

    // Resume starts the thread, or lets a suspended one go on. Suspend on a thread that has not
    // started keeps it from starting; a running thread pauses at its next safe point (its own call
    // of Terminated() or Synchronize), never while it may hold a lock.
    void Resume();
    void Suspend();
    bool Suspended() const;
    void SetSuspended(bool Value);

    void Terminate();
    bool Terminated();
    bool Finished() const { return FFinished.load(); }

    // Waits until the thread has finished (on the main thread the synchronisation queue is served
    // meanwhile, so that the thread's steps and OnTerminate can run); returns ReturnValue or raises
    // the thread's exception.
    int32_t WaitFor();

    bool FreeOnTerminate() const { return FFreeOnTerminate.load(); }
    void SetFreeOnTerminate(bool Value) { FFreeOnTerminate = Value; }
    TThreadPriority Priority() const { return FPriority.load(); }
    // Applied to the running thread as far as the system permits (raising a priority needs rights
    // that a user process usually lacks; the value is kept either way).
    void SetPriority(TThreadPriority Value);
    // The system's id of the running thread; 0 before it starts.
    uint32_t ThreadID() const { return FThreadID.load(); }
    int32_t ReturnValue() const { return FReturnValue.load(); }
    std::exception_ptr FatalException() const;

    // Bound before the thread starts; runs on the main thread after Execute.
    TNotifyEvent OnTerminate;

    // Runs Method on the main thread and waits for it (directly when called on the main thread).
    // AThread may be nil for a thread that is no TThread (its step is then never dropped).
    static void Synchronize(TThread* AThread, TThreadMethod Method);

protected:
    virtual void Execute() = 0;
    // Runs OnTerminate on the main thread.
    virtual void DoTerminate();
    void Synchronize(TThreadMethod Method) { Synchronize(this, std::move(Method)); }
    void SetReturnValue(int32_t Value) { FReturnValue = Value; }

private:
    friend struct ThreadAccess;
    void Start();
    void Run();
    void WaitForFinish();
    void PausePoint();
    void ApplyPriority();

    std::thread FThread;
    std::mutex FJoinLock;
    std::atomic<bool> FStarted{false};
    std::atomic<bool> FSuspended;
    std::atomic<bool> FTerminated{false};
    std::atomic<bool> FFinished{false};
    std::atomic<bool> FFreeOnTerminate{false};
    std::atomic<TThreadPriority> FPriority{tpNormal};
    std::atomic<uint32_t> FThreadID{0};
    std::atomic<int32_t> FReturnValue{0};
    std::exception_ptr FFatalException;  // written by the thread before it finishes
    bool FFatalTaken = false;            // WaitFor raised it (owner side only)
    std::condition_variable FResumed;
};

}  // namespace framework
