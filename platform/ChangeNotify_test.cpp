#include "platform/ChangeNotify.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/testsupport/TestDrives.h"

using namespace platform;
using platform::testsupport::TScopedDrives;
using platform::testsupport::TTempFolder;

namespace {

// Notices collected until none arrives within a short bound (the kernel delivers them at once;
// the bound only guards against a hang).
std::vector<TChangeNotice> Collect(TChangeNotifier& n, uint32_t mask = 0xFFFFFFFFu) {
    std::vector<TChangeNotice> all;
    for (int i = 0; i < 10; ++i) {
        auto batch = n.Read(i == 0 ? 1000 : 20, mask);
        if (batch.empty() && i > 0) break;
        all.insert(all.end(), batch.begin(), batch.end());
    }
    return all;
}

std::string Text(const std::vector<TChangeNotice>& notices) {
    std::string out;
    for (const auto& n : notices) {
        char event[16];
        std::snprintf(event, sizeof event, "%x", n.Event);
        out += std::string(event) + " " + n.Path1 + (n.Path2.empty() ? "" : " > " + n.Path2) + "\n";
    }
    return out;
}

class ChangeNotifyTest : public ::testing::Test {
protected:
    ChangeNotifyTest() : drives_("D=" + disk_.Path()) { disk_.MakeFolder("sub"); }
    TTempFolder disk_;
    TScopedDrives drives_;
};

TEST_F(ChangeNotifyTest, KernelEventsBecomeShellNotices) {
    TChangeNotifier n;
    ASSERT_TRUE(n.Watch("d:", false));
    disk_.WriteFile("a.txt", "x");
    EXPECT_EQ(Text(Collect(n)), "2 D:\\a.txt\n2000 D:\\a.txt\n");
    ASSERT_EQ(std::rename((disk_ / "a.txt").c_str(), (disk_ / "b.txt").c_str()), 0);
    ASSERT_EQ(std::rename((disk_ / "sub").c_str(), (disk_ / "sub2").c_str()), 0);
    ASSERT_EQ(::chmod((disk_ / "b.txt").c_str(), 0444), 0);
    EXPECT_EQ(Text(Collect(n)), "1 D:\\a.txt > D:\\b.txt\n20000 D:\\sub > D:\\sub2\n800 D:\\b.txt\n");
    ASSERT_EQ(::unlink((disk_ / "b.txt").c_str()), 0);
    ASSERT_EQ(::rmdir((disk_ / "sub2").c_str()), 0);
    EXPECT_EQ(Text(Collect(n)), "4 D:\\b.txt\n10 D:\\sub2\n");
}

TEST_F(ChangeNotifyTest, MovesAcrossTheWatchEdgeAreDeletesAndCreates) {
    TTempFolder outside;
    TChangeNotifier n;
    ASSERT_TRUE(n.Watch("D:\\", false));
    const std::string out = outside.WriteFile("o.txt", "x");
    ASSERT_EQ(std::rename(out.c_str(), (disk_ / "in.txt").c_str()), 0);
    ASSERT_EQ(std::rename((disk_ / "in.txt").c_str(), (outside / "back.txt").c_str()), 0);
    EXPECT_EQ(Text(Collect(n)), "2 D:\\in.txt\n4 D:\\in.txt\n");
}

TEST_F(ChangeNotifyTest, SubFoldersAreWatchedOnlyWhenAsked) {
    TChangeNotifier flat, deep;
    ASSERT_TRUE(flat.Watch("D:\\", false));
    ASSERT_TRUE(deep.Watch("D:\\", true));
    disk_.MakeFolder("sub/new");
    disk_.WriteFile("sub/new/f.txt", "");
    // The folder made under a recursive watch is watched from then on.
    EXPECT_EQ(Text(Collect(deep, SHCNE_MKDIR | SHCNE_CREATE)), "8 D:\\sub\\new\n");
    EXPECT_EQ(Text(flat.Read(0)), "");  // the kernel has delivered everything by now
    disk_.WriteFile("sub/new/g.txt", "");
    EXPECT_EQ(Text(Collect(deep, SHCNE_CREATE)), "2 D:\\sub\\new\\g.txt\n");
}

TEST_F(ChangeNotifyTest, UnknownFoldersAreRefused) {
    TChangeNotifier n;
    EXPECT_FALSE(n.Watch("D:\\missing", false));
    EXPECT_FALSE(n.Watch("Q:\\", false));
    EXPECT_FALSE(n.Watching());
    EXPECT_TRUE(n.Read(0).empty());
}

}  // namespace

namespace {

TEST(DriveNotices, DrivesAndMediaComingAndGoing) {
    TTempFolder d, e, f;
    const std::string eRoot = e.MakeFolder("disk");
    auto drives = std::make_unique<TScopedDrives>("D=" + d.Path() + ";E=" + eRoot);
    TChangeNotifier n;
    n.WatchDrives(true);
    EXPECT_TRUE(n.Watching());
    EXPECT_EQ(Text(n.Read(0)), "");

    // The media leaves the drive's folder, then comes back.
    ASSERT_EQ(::rmdir(eRoot.c_str()), 0);
    EXPECT_EQ(Text(n.Read(0)), "40 E:\\\n");
    ASSERT_EQ(::mkdir(eRoot.c_str(), 0700), 0);
    EXPECT_EQ(Text(n.Read(0)), "20 E:\\\n");

    // A new drive map: E: goes, F: comes; only the asked events pass.
    drives.reset();
    drives = std::make_unique<TScopedDrives>("D=" + d.Path() + ";F=" + f.Path());
    EXPECT_EQ(Text(n.Read(0)), "80 E:\\\n100 F:\\\n");
    drives.reset();
    drives = std::make_unique<TScopedDrives>("D=" + d.Path());
    EXPECT_EQ(Text(n.Read(0, SHCNE_DRIVEADD)), "");

    // Watching a folder replaces the drive watch.
    ASSERT_TRUE(n.Watch("D:\\", false));
    drives.reset();
    drives = std::make_unique<TScopedDrives>("D=" + d.Path() + ";G=" + f.Path());
    EXPECT_EQ(Text(n.Read(0)), "");
}

}  // namespace
