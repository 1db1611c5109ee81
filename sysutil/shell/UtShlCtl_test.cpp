#include "sysutil/shell/UtShlCtl.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "framework/ui/Controls.h"
#include "framework/ui/Windows.h"
#include "platform/testsupport/TestDrives.h"
#include "sysutil/ShConst.h"

using namespace framework;
using namespace sysutil;
using platform::testsupport::TScopedDrives;
using platform::testsupport::TTempFolder;

namespace {

// Records every event as "name path [> path]" and the sets given to OnShellChangeNotify.
class NotificationTest : public ::testing::Test {
protected:
    NotificationTest() : drives_("D=" + disk_.Path()) {
        disk_.WriteFile("old.txt", "x");
        auto one = [this](const char* name) {
            return [this, name](TObject*, TUtShellItem* item) { Log(name, item, nullptr); };
        };
        auto two = [this](const char* name) {
            return [this, name](TObject*, TUtShellItem* a, TUtShellItem* b) { Log(name, a, b); };
        };
        n_.OnFileCreate = one("create");
        n_.OnFileChange = one("change");
        n_.OnFolderCreate = one("mkdir");
        n_.OnFolderDelete = one("rmdir");
        n_.OnFileDelete = two("delete");
        n_.OnFileRename = two("rename");
        n_.OnFolderRename = two("renamedir");
        n_.OnAttributeChange = two("attrib");
        n_.OnShellChangeNotify = [this](TObject*, TUtShellItem*, TUtShellItem*, TUtNotifyEventsSet set) {
            EXPECT_EQ(std::this_thread::get_id(), uiThread_);
            sets_.push_back(set);
        };
    }

    void Log(const char* name, TUtShellItem* a, TUtShellItem* b) {
        log_ += std::string(name) + " " + (a ? a->Path : "-") + (b ? " > " + b->Path : "") + "\n";
    }

    // Hands the changes the kernel has reported to the component and runs the message pump.
    void Pump() {
        for (int i = 0; i < 5 && n_.PollChanges(i == 0 ? 1000 : 20) > 0; ++i) {
        }
        ProcessPendingMessages();
    }

    TTempFolder disk_;
    TScopedDrives drives_;
    TUtShellNotification n_{nullptr};
    std::string log_;
    std::vector<TUtNotifyEventsSet> sets_;
    std::thread::id uiThread_ = std::this_thread::get_id();
};

TEST_F(NotificationTest, EachChangeFiresItsEventThenTheSummary) {
    n_.SetWatchFolder("D:");
    EXPECT_EQ(n_.WatchFolder(), "D:\\");
    n_.SetActive(true);
    ASSERT_TRUE(n_.Registered());

    disk_.WriteFile("new.txt", "x");
    Pump();
    EXPECT_EQ(log_, "create D:\\new.txt\nchange D:\\new.txt\n");
    EXPECT_EQ(sets_, (std::vector<TUtNotifyEventsSet>{NotifySet(neFileCreate), NotifySet(neFileChange)}));

    log_.clear();
    sets_.clear();
    ASSERT_EQ(std::rename((disk_ / "old.txt").c_str(), (disk_ / "renamed.txt").c_str()), 0);
    Pump();
    EXPECT_EQ(log_, "rename D:\\old.txt > D:\\renamed.txt\n");
    EXPECT_EQ(sets_, std::vector<TUtNotifyEventsSet>{NotifySet(neFileRename)});

    log_.clear();
    sets_.clear();
    ASSERT_EQ(::chmod((disk_ / "renamed.txt").c_str(), 0444), 0);
    Pump();
    EXPECT_EQ(log_, "attrib D:\\renamed.txt\n");
    EXPECT_EQ(sets_, std::vector<TUtNotifyEventsSet>{NotifySet(neAttributesChange)});

    log_.clear();
    sets_.clear();
    ASSERT_EQ(::unlink((disk_ / "renamed.txt").c_str()), 0);
    disk_.MakeFolder("sub");
    ASSERT_EQ(std::rename((disk_ / "sub").c_str(), (disk_ / "sub2").c_str()), 0);
    ASSERT_EQ(::rmdir((disk_ / "sub2").c_str()), 0);
    Pump();
    EXPECT_EQ(log_, "delete D:\\renamed.txt\nmkdir D:\\sub\nrenamedir D:\\sub > D:\\sub2\nrmdir D:\\sub2\n");
    EXPECT_EQ(sets_, (std::vector<TUtNotifyEventsSet>{NotifySet(neFileDelete), NotifySet(neFolderCreate),
                                                      NotifySet(neFolderRename), NotifySet(neFolderDelete)}));
}

TEST_F(NotificationTest, TheDesktopHearsOfDrivesAndMedia) {
    n_.OnDriveAdd = [this](TObject*, TUtShellItem* item) { Log("driveadd", item, nullptr); };
    n_.OnDriveRemove = [this](TObject*, TUtShellItem* item) { Log("driveremove", item, nullptr); };
    n_.OnMediaInsert = [this](TObject*, TUtShellItem* item) { Log("mediainsert", item, nullptr); };
    n_.OnMediaRemove = [this](TObject*, TUtShellItem* item) { Log("mediaremove", item, nullptr); };
    TTempFolder other;
    const std::string media = other.MakeFolder("media");
    auto drives = std::make_unique<TScopedDrives>("D=" + disk_.Path() + ";E=" + media);
    n_.SetSpecialWatchFolder(sfDesktop);
    n_.SetActive(true);
    ASSERT_TRUE(n_.Registered());
    ASSERT_EQ(::rmdir(media.c_str()), 0);
    n_.PollChanges(0);
    drives.reset();
    drives = std::make_unique<TScopedDrives>("D=" + disk_.Path() + ";F=" + other.Path());
    n_.PollChanges(0);
    ProcessPendingMessages();
    EXPECT_EQ(log_, "mediaremove E:\\\ndriveremove E:\\\ndriveadd F:\\\n");
    EXPECT_EQ(sets_, (std::vector<TUtNotifyEventsSet>{NotifySet(neMediaRemove), NotifySet(neDriveRemove),
                                                      NotifySet(neDriveAdd)}));
}

TEST_F(NotificationTest, OnlyTheChosenEventsAreReported) {
    n_.SetWatchFolder("D:\\");
    n_.SetNotifyEvents(NotifySet(neFileCreate));
    n_.SetActive(true);
    disk_.WriteFile("new.txt", "x");
    Pump();
    EXPECT_EQ(log_, "create D:\\new.txt\n");
}

TEST_F(NotificationTest, ReportsBeyondTheQueueLimitAreDropped) {
    n_.QueueLimit = 5;
    TUtShellReport report;
    LPITEMIDLIST file = platform::SHSimpleIDListFromPath("D:\\f.txt");
    report.First = file;
    for (int i = 0; i < 7; ++i)
        SendMessage(n_.Handle(), kShellNotifyMessage, reinterpret_cast<WPARAM>(&report), 0x2);
    EXPECT_EQ(n_.QueuedReports(), 6);
    ProcessPendingMessages();
    EXPECT_EQ(sets_.size(), 6u);
    EXPECT_EQ(n_.QueuedReports(), 0);
    ILFree(file);
}

TEST_F(NotificationTest, InactiveComponentsStopReportingButDeliverWhatWaits) {
    n_.SetWatchFolder("D:\\");
    n_.SetActive(true);
    disk_.WriteFile("a.txt", "");
    for (int i = 0; i < 5 && n_.PollChanges(i == 0 ? 1000 : 20) > 0; ++i) {
    }
    n_.SetActive(false);
    EXPECT_FALSE(n_.Registered());
    disk_.WriteFile("b.txt", "");
    EXPECT_EQ(n_.PollChanges(50), 0);
    ProcessPendingMessages();
    EXPECT_EQ(log_, "create D:\\a.txt\nchange D:\\a.txt\n");
}

TEST_F(NotificationTest, UnknownWatchFoldersRaiseAndKeepTheWatch) {
    n_.SetWatchFolder("D:\\");
    n_.SetActive(true);
    try {
        n_.SetWatchFolder("D:\\missing");
        FAIL() << "no exception";
    } catch (const EShInvalidFolder& e) {
        EXPECT_EQ(e.ErrorCode, 240);
        EXPECT_EQ(std::string(e.what()), "Invalid folder");
    }
    EXPECT_EQ(n_.WatchFolder(), "D:\\");
    EXPECT_TRUE(n_.Registered());
    disk_.WriteFile("new.txt", "");
    Pump();
    EXPECT_EQ(log_, "create D:\\new.txt\nchange D:\\new.txt\n");
    EXPECT_THROW(n_.SetSpecialWatchFolder(sfPrinters), EShShellError);
    EXPECT_EQ(n_.SpecialWatchFolder(), sfNone);
}

TEST_F(NotificationTest, ARaisingHandlerDoesNotStopLaterReports) {
    std::vector<std::string> handled;
    auto saved = ApplicationHandleException;
    ApplicationHandleException = [&](TObject*) {
        try {
            throw;
        } catch (const std::exception& e) {
            handled.push_back(e.what());
        }
    };
    int calls = 0;
    n_.OnFileCreate = [&](TObject*, TUtShellItem*) {
        if (++calls == 1) throw std::runtime_error("first");
    };
    TUtShellReport report;
    LPITEMIDLIST file = platform::SHSimpleIDListFromPath("D:\\f.txt");
    report.First = file;
    for (int i = 0; i < 3; ++i)
        SendMessage(n_.Handle(), kShellNotifyMessage, reinterpret_cast<WPARAM>(&report), 0x2);
    ProcessPendingMessages();
    ApplicationHandleException = saved;
    ILFree(file);
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(handled, std::vector<std::string>{"first"});
    EXPECT_EQ(sets_.size(), 2u);  // the raising report did not reach its summary
    EXPECT_EQ(n_.QueuedReports(), 0);
}

TEST(NotifyEvents, ShellNumbersFollowTheEventTable) {
    EXPECT_EQ(ShellEventOf(neAssociationChange), 0x08000000u);
    EXPECT_EQ(ShellEventOf(neFileRename), 0x1u);
    EXPECT_EQ(ShellEventOf(neFolderUpdate), 0x1000u);
    EXPECT_EQ(ShellEventOf(neImageListChange), 0x8000u);
    uint32_t all = 0;
    for (int e = 0; e < 20; ++e) all |= ShellEventOf(static_cast<TUtNotifyEvents>(e));
    EXPECT_EQ(all, 0x0807FFFFu);
}

}  // namespace
