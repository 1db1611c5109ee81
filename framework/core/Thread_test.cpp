#include "framework/core/Thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "framework/core/SyncObjects.h"
#include "framework/core/SysUtils.h"
#include "platform/Process.h"

namespace framework {
namespace {

// A thread running a function; Execute's own thread id is recorded.
class TTestThread : public TThread {
public:
    using TBody = std::function<void(TTestThread&)>;
    TTestThread(bool CreateSuspended, TBody Body) : TThread(CreateSuspended), FBody(std::move(Body)) {}
    ~TTestThread() override {
        if (Destroyed) Destroyed->fetch_add(1);
        if (DestroyedEvent) DestroyedEvent->SetEvent();
    }
    using TThread::SetReturnValue;
    using TThread::Synchronize;
    std::atomic<uint32_t> ExecuteThread{0};
    std::atomic<int>* Destroyed = nullptr;
    TEvent* DestroyedEvent = nullptr;

protected:
    void Execute() override {
        ExecuteThread = platform::GetCurrentThreadId();
        FBody(*this);
    }

private:
    TBody FBody;
};

// Swaps the wake-up of the main thread for one that signals an event, so that a test learns
// without waiting on time that a step has joined the queue.
class TWakeProbe {
public:
    TWakeProbe() {
        FOld = SetWakeMainThread([this] {
            Queued.SetEvent();
            if (FOld) FOld();
        });
    }
    ~TWakeProbe() { SetWakeMainThread(FOld); }
    TEvent Queued{false, false};

private:
    TWakeMainThread FOld;
};

TEST(ThreadTest, RunsExecuteOnItsOwnThreadAndWaitForReturnsTheReturnValue) {
    std::unique_ptr<TTestThread> t(
        TThread::Create<TTestThread>(false, [](TTestThread& self) { self.SetReturnValue(42); }));
    EXPECT_EQ(t->WaitFor(), 42);
    EXPECT_TRUE(t->Finished());
    EXPECT_NE(t->ExecuteThread.load(), 0u);
    EXPECT_NE(t->ExecuteThread.load(), MainThreadID());
    EXPECT_EQ(t->ThreadID(), t->ExecuteThread.load());
    EXPECT_TRUE(IsMainThread());
    // A finished thread is waited for again at once.
    EXPECT_EQ(t->WaitFor(), 42);
}

TEST(ThreadTest, ASuspendedThreadStartsOnResumeOnly) {
    std::atomic<bool> ran{false};
    std::unique_ptr<TTestThread> t(TThread::Create<TTestThread>(true, [&](TTestThread&) { ran = true; }));
    EXPECT_TRUE(t->Suspended());
    EXPECT_EQ(t->ThreadID(), 0u);
    EXPECT_FALSE(ran);
    EXPECT_THROW(t->WaitFor(), EThread);
    t->SetPriority(tpLower);
    t->Resume();
    EXPECT_FALSE(t->Suspended());
    EXPECT_EQ(t->WaitFor(), 0);
    EXPECT_TRUE(ran);
    EXPECT_EQ(t->Priority(), tpLower);
}

TEST(ThreadTest, ASuspendedThreadThatIsDestroyedNeverRuns) {
    std::atomic<bool> ran{false};
    delete TThread::Create<TTestThread>(true, [&](TTestThread&) { ran = true; });
    EXPECT_FALSE(ran);
}

TEST(ThreadTest, SuspendPausesTheThreadUntilResume) {
    std::atomic<int> phase{0};
    std::unique_ptr<TTestThread> t(TThread::Create<TTestThread>(false, [&](TTestThread& self) {
        phase = 1;
        self.Suspend();  // the thread's own call: pauses here
        phase = 2;
    }));
    while (!(phase == 1 && t->Suspended())) std::this_thread::yield();
    EXPECT_EQ(phase, 1);
    t->Resume();
    t->WaitFor();
    EXPECT_EQ(phase, 2);
}

TEST(ThreadTest, FreeTerminatesARunningThreadAndWaitsForIt) {
    std::atomic<int> loops{0};
    std::atomic<bool> left{false};
    auto* t = TThread::Create<TTestThread>(false, [&](TTestThread& self) {
        while (!self.Terminated()) ++loops;
        left = true;
    });
    while (loops == 0) std::this_thread::yield();
    t->Free();
    EXPECT_TRUE(left);
}

TEST(ThreadTest, SynchronizedStepsRunOnTheMainThreadInOrder) {
    std::vector<int> seen;
    int offMain = 0;
    std::unique_ptr<TTestThread> t(TThread::Create<TTestThread>(false, [&](TTestThread& self) {
        for (int i = 1; i <= 200; ++i)
            self.Synchronize([&, i] {
                if (!IsMainThread()) ++offMain;
                seen.push_back(i);
            });
    }));
    t->WaitFor();  // serves the queue meanwhile
    ASSERT_EQ(seen.size(), 200u);
    for (int i = 0; i < 200; ++i) EXPECT_EQ(seen[static_cast<size_t>(i)], i + 1);
    EXPECT_EQ(offMain, 0);
    EXPECT_FALSE(SynchronizePending());
}

TEST(ThreadTest, SynchronizeOnTheMainThreadRunsTheStepDirectly) {
    int ran = 0;
    TThread::Synchronize(nullptr, [&] { ++ran; });
    EXPECT_EQ(ran, 1);
    EXPECT_FALSE(SynchronizePending());
}

TEST(ThreadTest, AnExceptionOfAStepGoesBackToTheThreadThatAskedForIt) {
    std::string caught;
    std::unique_ptr<TTestThread> t(TThread::Create<TTestThread>(false, [&](TTestThread& self) {
        try {
            self.Synchronize([] { throw EConvertError("'x' is not a valid integer value"); });
        } catch (const EConvertError& e) {
            caught = e.Message;
        }
    }));
    t->WaitFor();
    EXPECT_EQ(caught, "'x' is not a valid integer value");
}

TEST(ThreadTest, CheckSynchronizeRefusesAnyThreadButTheMainThread) {
    bool refused = false;
    std::thread other([&] {
        try {
            CheckSynchronize();
        } catch (const EThread&) {
            refused = true;
        }
    });
    other.join();
    EXPECT_TRUE(refused);
    EXPECT_FALSE(CheckSynchronize());  // nothing queued
}

// The exception leaving Execute comes back from WaitFor as it was thrown.
TEST(ThreadTest, WaitForRaisesTheExceptionOfExecuteWithItsClassAndMessage) {
    struct Case {
        std::function<void()> Throw;
        std::string ClassName;
        std::string Message;
    };
    const std::vector<Case> cases = {
        {[] { throw EConvertError("'abc' is not a valid integer value"); }, "EConvertError",
         "'abc' is not a valid integer value"},
        {[] { throw EAbort("Operation aborted"); }, "EAbort", "Operation aborted"},
        {[] { throw EListError("List index out of bounds (5)"); }, "EListError",
         "List index out of bounds (5)"},
    };
    for (const Case& c : cases) {
        std::unique_ptr<TTestThread> t(TThread::Create<TTestThread>(false, [&](TTestThread&) { c.Throw(); }));
        try {
            t->WaitFor();
            ADD_FAILURE() << c.ClassName << " was not raised";
        } catch (const Exception& e) {
            EXPECT_EQ(e.ClassName(), c.ClassName);
            EXPECT_EQ(e.Message, c.Message);
        }
        EXPECT_TRUE(t->FatalException());
    }
    // An exception derived from a library class is caught as that class.
    std::unique_ptr<TTestThread> t(TThread::Create<TTestThread>(
        false, [](TTestThread&) { throw EStringListError("Duplicates not allowed"); }));
    EXPECT_THROW(t->WaitFor(), EListError);
}

TEST(ThreadTest, OnTerminateRunsOnTheMainThreadAfterExecute) {
    std::vector<std::string> order;
    bool onMain = false;
    TObject* sender = nullptr;
    std::unique_ptr<TTestThread> t(
        TThread::Create<TTestThread>(true, [&](TTestThread&) { order.push_back("Execute"); }));
    t->OnTerminate = [&](TObject* Sender) {
        order.push_back("OnTerminate");
        onMain = IsMainThread();
        sender = Sender;
    };
    t->Resume();
    t->WaitFor();
    EXPECT_EQ(order, (std::vector<std::string>{"Execute", "OnTerminate"}));
    EXPECT_TRUE(onMain);
    EXPECT_EQ(sender, t.get());
}

// Terminate releases a thread waiting for the main thread to run its step, even when the main
// thread serves no messages: the step is dropped and the thread ends on its own.
TEST(ThreadTest, TerminateDuringASynchronizeWaitEndsTheThreadCleanly) {
    TWakeProbe probe;
    std::atomic<int> steps{0};
    std::unique_ptr<TTestThread> t(TThread::Create<TTestThread>(false, [&](TTestThread& self) {
        while (!self.Terminated()) self.Synchronize([&] { ++steps; });
        self.SetReturnValue(7);
    }));
    ASSERT_EQ(probe.Queued.WaitFor(INFINITE), wrSignaled);  // the thread now waits in Synchronize
    // Another thread halts it; the main thread never serves the queue meanwhile.
    int32_t result = -1;
    std::thread halter([&] {
        t->Terminate();
        result = t->WaitFor();
    });
    halter.join();
    EXPECT_EQ(result, 7);
    EXPECT_EQ(steps, 0);
    EXPECT_FALSE(CheckSynchronize());  // the dropped step is not run later either
    EXPECT_EQ(steps, 0);
}

TEST(ThreadTest, TerminateFromTheMainThreadDuringASynchronizeWaitThenWaitFor) {
    TWakeProbe probe;
    std::atomic<int> steps{0};
    bool terminated = false;
    std::unique_ptr<TTestThread> t(TThread::Create<TTestThread>(true, [&](TTestThread& self) {
        while (!self.Terminated()) self.Synchronize([&] { ++steps; });
    }));
    t->OnTerminate = [&](TObject*) { terminated = true; };
    t->Resume();
    ASSERT_EQ(probe.Queued.WaitFor(INFINITE), wrSignaled);
    t->Terminate();
    EXPECT_EQ(t->WaitFor(), 0);
    EXPECT_TRUE(terminated);  // OnTerminate is never dropped
    EXPECT_EQ(steps, 0);
}

TEST(ThreadTest, FreeOnTerminateFreesTheThreadExactlyOnce) {
    std::atomic<int> destroyed{0};
    TEvent gone(true, false);
    bool onTerminate = false;
    auto* t = TThread::Create<TTestThread>(true, [](TTestThread& self) { self.SetReturnValue(3); });
    t->Destroyed = &destroyed;
    t->DestroyedEvent = &gone;
    t->SetFreeOnTerminate(true);
    t->OnTerminate = [&](TObject*) { onTerminate = IsMainThread(); };
    t->Resume();
    t = nullptr;
    while (!onTerminate) CheckSynchronize(1000);
    ASSERT_EQ(gone.WaitFor(INFINITE), wrSignaled);
    EXPECT_EQ(destroyed, 1);
    EXPECT_FALSE(CheckSynchronize());
    EXPECT_EQ(destroyed, 1);
}

// A thread that frees itself has no owner to take its exception: it reaches the main thread's
// exception handler, not the void.
TEST(ThreadTest, TheExceptionOfAThreadThatFreesItselfReachesTheExceptionHandler) {
    std::string seen;
    bool onMain = false;
    TThreadExceptionHandler old = SetThreadExceptionHandler([&](std::exception_ptr Error) {
        onMain = IsMainThread();
        try {
            std::rethrow_exception(Error);
        } catch (const Exception& e) {
            seen = e.ClassName() + ": " + e.Message;
        }
    });
    TEvent gone(true, false);
    auto* t = TThread::Create<TTestThread>(true, [](TTestThread&) { throw EConvertError("bad value"); });
    t->DestroyedEvent = &gone;
    t->SetFreeOnTerminate(true);
    t->Resume();
    ASSERT_EQ(gone.WaitFor(INFINITE), wrSignaled);
    while (seen.empty()) CheckSynchronize(1000);
    SetThreadExceptionHandler(old);
    EXPECT_EQ(seen, "EConvertError: bad value");
    EXPECT_TRUE(onMain);
}

TEST(ThreadTest, AnExceptionNeverTakenFromWaitForIsHandedOverWhenTheThreadIsDestroyed) {
    std::vector<std::string> seen;
    TThreadExceptionHandler old = SetThreadExceptionHandler([&](std::exception_ptr Error) {
        try {
            std::rethrow_exception(Error);
        } catch (const Exception& e) {
            seen.push_back(e.Message);
        }
    });
    auto* taken = TThread::Create<TTestThread>(false, [](TTestThread&) { throw EAbort("taken"); });
    EXPECT_THROW(taken->WaitFor(), EAbort);
    delete taken;
    auto* lost = TThread::Create<TTestThread>(false, [](TTestThread&) { throw EAbort("not taken"); });
    lost->Free();
    SetThreadExceptionHandler(old);
    EXPECT_EQ(seen, (std::vector<std::string>{"not taken"}));
}

}  // namespace
}  // namespace framework
