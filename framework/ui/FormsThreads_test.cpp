// Threads handing work to the user-interface thread through the application's message loop and
// through a modal form's loop.
#include <gtest/gtest.h>

#include <atomic>

#include "framework/core/SyncObjects.h"
#include "framework/core/SysUtils.h"
#include "framework/core/Thread.h"
#include "framework/stdctrls/StdCtrls.h"
#include "framework/ui/Forms.h"

namespace framework {
namespace {

class TStepThread : public TThread {
public:
    using TBody = std::function<void(TStepThread&)>;
    TStepThread(bool CreateSuspended, TBody Body) : TThread(CreateSuspended), FBody(std::move(Body)) {}
    ~TStepThread() override {
        if (DestroyedEvent) DestroyedEvent->SetEvent();
    }
    using TThread::SetReturnValue;
    using TThread::Synchronize;
    TEvent* DestroyedEvent = nullptr;

protected:
    void Execute() override { FBody(*this); }

private:
    TBody FBody;
};

// No answerer: the modal loop below must be ended by the thread, not by a test hook.
class ThreadLoopTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureGuiApplication();
        FOldAnswerer = ModalAnswerer();
        SetModalAnswerer(nullptr);
    }
    void TearDown() override { SetModalAnswerer(FOldAnswerer); }
    TModalAnswerer* FOldAnswerer = nullptr;
};

TEST_F(ThreadLoopTest, AThousandSynchronizedStepsUpdateALabelOnTheUserInterfaceThread) {
    TForm* form = TCustomForm::Create<TForm>(Application);
    auto* label = NewComponent<TLabel>(form);
    label->SetParent(form);
    std::atomic<int> offMain{0};
    bool done = false;
    bool onTerminateOnMain = false;
    std::unique_ptr<TStepThread> t(TThread::Create<TStepThread>(true, [&](TStepThread& self) {
        for (int i = 1; i <= 1000; ++i)
            self.Synchronize([&, i] {
                if (platform::GetCurrentThreadId() != MainThreadID()) ++offMain;
                label->SetCaption(IntToStr(i));
            });
        self.SetReturnValue(1000);
    }));
    t->OnTerminate = [&](TObject*) {
        onTerminateOnMain = IsMainThread();
        done = true;
    };
    t->Resume();
    while (!done) Application->HandleMessage();
    EXPECT_EQ(t->WaitFor(), 1000);
    EXPECT_EQ(label->Caption(), "1000");
    EXPECT_EQ(offMain, 0);
    EXPECT_TRUE(onTerminateOnMain);
    form->Free();
}

TEST_F(ThreadLoopTest, AModalLoopServesSynchronizedSteps) {
    TForm* form = TCustomForm::Create<TForm>(Application);
    std::unique_ptr<TStepThread> t(TThread::Create<TStepThread>(true, [&](TStepThread& self) {
        for (int i = 0; i < 10; ++i) self.Synchronize([] {});
        self.Synchronize([&] { form->SetModalResult(mrOk); });
    }));
    t->Resume();
    // Steps run only where the main thread serves the queue: here, inside the modal loop.
    EXPECT_EQ(form->ShowModal(), mrOk);
    t->WaitFor();
    form->Free();
}

TEST_F(ThreadLoopTest, TheExceptionOfAThreadFreeingItselfReachesTheApplicationsHandler) {
    std::string seen;
    TExceptionEvent old = Application->OnException;
    Application->OnException = [&](TObject*, const std::exception& E) {
        if (IsMainThread()) seen = E.what();
    };
    TEvent gone(true, false);
    auto* t =
        TThread::Create<TStepThread>(true, [](TStepThread&) { throw EConvertError("'q' is not valid"); });
    t->DestroyedEvent = &gone;
    t->SetFreeOnTerminate(true);
    t->Resume();
    ASSERT_EQ(gone.WaitFor(INFINITE), wrSignaled);
    while (seen.empty()) Application->HandleMessage();
    Application->OnException = old;
    EXPECT_EQ(seen, "'q' is not valid");
}

}  // namespace
}  // namespace framework
