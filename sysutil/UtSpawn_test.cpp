#include "sysutil/UtSpawn.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>

#include "framework/core/Thread.h"
#include "framework/testsupport/FakeTime.h"
#include "platform/Paths.h"
#include "platform/Process.h"
#include "platform/testsupport/UserEnv.h"
#include "sysutil/UtConst.h"

using namespace sysutil;
using platform::testsupport::ReadTextFile;
using platform::testsupport::ScopedUserEnv;
using platform::testsupport::WriteTextFile;

namespace {

// A private desktop: plain text opens with a viewer, D: is a folder with a text file, and the
// opener "xdg-open" and the printing program "lp" on PATH are fakes that write their arguments to
// $FAKE_OUT and, when $FAKE_HOLD names a file, run until that file exists.
class SpawnTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = env_.Root();
        WriteTextFile(root_ + "/share/mime/globs2", "50:text/plain:*.txt\n");
        WriteTextFile(
            root_ + "/share/applications/viewer.desktop",
            "[Desktop Entry]\nType=Application\nName=Viewer\nExec=viewer %f\nMimeType=text/plain;\n");
        WriteTextFile(root_ + "/disk/docs/a.txt", "hello\n");
        const std::string fake =
            "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$FAKE_OUT.$$\"\nmv \"$FAKE_OUT.$$\" \"$FAKE_OUT\"\n"
            "while [ -n \"$FAKE_HOLD\" ] && [ ! -e \"$FAKE_HOLD\" ]; do sleep 0.02; done\n";
        WriteTextFile(root_ + "/bin/xdg-open", fake, true);
        WriteTextFile(root_ + "/bin/lp", fake, true);
        env_.Set("PATH", root_ + "/bin:/usr/bin:/bin");
        env_.Set("FAKE_OUT", root_ + "/out.txt");
        env_.Set("FAKE_HOLD", std::nullopt);
        env_.Set("KORVANE_DRIVES", "D=" + root_ + "/disk");
        platform::ReloadDriveMap();
    }
    void TearDown() override {
        env_.Set("KORVANE_DRIVES", std::nullopt);
        platform::ReloadDriveMap();
    }

    // Runs the synchronisation queue until Done holds (at most ten seconds of real time).
    static bool PumpUntil(const std::function<bool()>& Done) {
        auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!Done()) {
            if (std::chrono::steady_clock::now() > end) return false;
            framework::CheckSynchronize(10);
        }
        return true;
    }
    // Lets the started fake end and waits for it.
    void Finish(platform::HPROCESS Process, bool Close = true) {
        WriteTextFile(root_ + "/stop", "");
        EXPECT_EQ(platform::WaitForProcess(Process, 10000), platform::WAIT_OBJECT_0);
        if (Close) platform::CloseProcessHandle(Process);
    }

    // A component with counting handlers.
    std::unique_ptr<TUtSpawnApplication> Spawn() {
        auto s = std::make_unique<TUtSpawnApplication>(nullptr);
        s->OnCompleted = [this](framework::TObject*) { ++completed_; };
        s->OnTimeOut = [this](framework::TObject*) { ++timeouts_; };
        s->OnSpawnError = [this](framework::TObject*, uint16_t e) { errors_.push_back(e); };
        return s;
    }

    ScopedUserEnv env_;
    std::string root_;
    int completed_ = 0;
    int timeouts_ = 0;
    std::vector<uint16_t> errors_;
};

TEST_F(SpawnTest, DefaultsAndTheTimeOutWriter) {
    TUtSpawnApplication s(nullptr);
    EXPECT_TRUE(s.NotifyWhenDone());
    EXPECT_EQ(s.ShowState(), ssNormal);
    EXPECT_EQ(s.SpawnCommand(), scOpen);
    EXPECT_EQ(s.TimeOut(), 0);
    EXPECT_EQ(s.Version(), "4.03");
    s.SetTimeOut(30);
    for (int32_t ignored : {-5, 3000000, 2147484}) {
        s.SetTimeOut(ignored);
        EXPECT_EQ(s.TimeOut(), 30) << ignored;
    }
    s.SetTimeOut(2147483);
    EXPECT_EQ(s.TimeOut(), 2147483) << "the longest limit whose milliseconds fit";
}

TEST_F(SpawnTest, ParametersWithoutAFileAreRefusedAndNothingStarts) {
    auto s = Spawn();
    s->SetRunParameters("-x");
    try {
        s->Execute();
        ADD_FAILURE() << "no exception";
    } catch (const EUtSpawnError& e) {
        EXPECT_EQ(e.ErrorCode, 250);
        EXPECT_STREQ(e.what(), "FileName cannot be empty when RunParameters is specified");
    }
    EXPECT_TRUE(errors_.empty());
    EXPECT_EQ(s->RunningWaits(), 0);
    EXPECT_EQ(ReadTextFile(root_ + "/out.txt"), "");
}

TEST_F(SpawnTest, TheOpenerReceivesTheNativePathAndNoThreadStartsWithoutNotification) {
    auto s = Spawn();
    s->SetNotifyWhenDone(false);
    s->SetFileName("D:\\DOCS\\A.TXT");
    platform::HPROCESS p = s->Execute();
    ASSERT_NE(p, 0u);
    EXPECT_EQ(s->RunningWaits(), 0);
    EXPECT_EQ(platform::WaitForProcess(p, 10000), platform::WAIT_OBJECT_0);
    platform::CloseProcessHandle(p);
    EXPECT_EQ(ReadTextFile(root_ + "/out.txt"), root_ + "/disk/docs/a.txt\n");
    framework::CheckSynchronize(20);
    EXPECT_EQ(completed_ + timeouts_ + static_cast<int>(errors_.size()), 0);

    s->SetSpawnCommand(scPrint);
    p = s->Execute();
    ASSERT_NE(p, 0u);
    EXPECT_EQ(platform::WaitForProcess(p, 10000), platform::WAIT_OBJECT_0);
    platform::CloseProcessHandle(p);
    EXPECT_EQ(ReadTextFile(root_ + "/out.txt"), "--\n" + root_ + "/disk/docs/a.txt\n")
        << "the verb \"print\"";

    s->SetSpawnCommand(scOther);
    s->SetSpawnCommandStr("frobnicate");
    EXPECT_EQ(s->Execute(), 0u);
    EXPECT_EQ(errors_, std::vector<uint16_t>{platform::ERROR_NO_ASSOCIATION});
}

TEST_F(SpawnTest, AFailedLaunchReportsOnceAndStartsNoWait) {
    auto s = Spawn();
    s->SetFileName("D:\\DOCS\\MISSING.TXT");
    EXPECT_EQ(s->Execute(), 0u);
    EXPECT_EQ(s->RunningWaits(), 0);
    framework::CheckSynchronize(50);
    EXPECT_EQ(errors_, std::vector<uint16_t>{2});
    EXPECT_EQ(completed_, 0);
}

TEST_F(SpawnTest, AnEndedProcessCompletesTheWait) {
    auto s = Spawn();
    s->SetFileName("D:\\DOCS\\A.TXT");
    platform::HPROCESS p = s->Execute();
    ASSERT_NE(p, 0u);
    EXPECT_TRUE(PumpUntil([&] { return completed_ > 0; }));
    EXPECT_EQ(completed_, 1);
    EXPECT_EQ(timeouts_, 0);
    EXPECT_TRUE(errors_.empty());
    EXPECT_TRUE(PumpUntil([&] { return s->RunningWaits() == 0; }));
    platform::CloseProcessHandle(p);
}

TEST_F(SpawnTest, AProcessThatOutlivesTheLimitTimesOut) {
    env_.Set("FAKE_HOLD", root_ + "/stop");
    auto s = Spawn();
    s->SetFileName("D:\\DOCS\\A.TXT");
    s->SetTimeOut(5);
    platform::HPROCESS p = 0;
    {
        framework::TFakeTime clock(45000.0);  // the limit passes without real waiting
        p = s->Execute();
        ASSERT_NE(p, 0u);
        EXPECT_TRUE(PumpUntil([&] { return timeouts_ > 0; }));
        EXPECT_TRUE(PumpUntil([&] { return s->RunningWaits() == 0; }));
        EXPECT_GE(clock.TickCount(), 5000u);
    }
    EXPECT_EQ(timeouts_, 1);
    EXPECT_EQ(completed_, 0);
    uint32_t code = 0;
    EXPECT_TRUE(platform::GetExitCodeProcess(p, &code));
    EXPECT_EQ(code, platform::STILL_ACTIVE) << "a time-out does not end the program";
    Finish(p);
}

TEST_F(SpawnTest, FreeingTheComponentDuringAWaitEndsItSilently) {
    env_.Set("FAKE_HOLD", root_ + "/stop");
    auto s = Spawn();
    s->SetFileName("D:\\DOCS\\A.TXT");
    platform::HPROCESS first = s->Execute();
    platform::HPROCESS second = s->Execute();
    ASSERT_NE(first, 0u);
    ASSERT_NE(second, 0u);
    EXPECT_EQ(s->RunningWaits(), 2);
    s.reset();  // both threads are released and joined here
    framework::CheckSynchronize(50);
    EXPECT_EQ(completed_ + timeouts_ + static_cast<int>(errors_.size()), 0);
    Finish(first);
    Finish(second);
}

TEST_F(SpawnTest, TheEndOfOneWaitLeavesALaterOneWaiting) {
    auto s = Spawn();
    s->SetFileName("D:\\DOCS\\A.TXT");
    platform::HPROCESS quick = s->Execute();
    env_.Set("FAKE_HOLD", root_ + "/stop");
    platform::HPROCESS held = s->Execute();  // now the component's latest wait
    ASSERT_NE(quick, 0u);
    ASSERT_NE(held, 0u);
    ASSERT_TRUE(PumpUntil([&] { return completed_ == 1; }));
    framework::CheckSynchronize(100);
    EXPECT_EQ(completed_, 1) << "the held process is still waited for";
    EXPECT_EQ(s->RunningWaits(), 1);
    Finish(held, false);  // the wait must still find the handle open
    EXPECT_TRUE(PumpUntil([&] { return completed_ == 2; }));
    EXPECT_TRUE(errors_.empty());
    platform::CloseProcessHandle(held);
    platform::CloseProcessHandle(quick);
}

}  // namespace
