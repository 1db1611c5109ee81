#include "sysutil/UtSystem.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <sys/statvfs.h>

#include <cstdio>
#include <sstream>
#include <tuple>

#include "platform/Paths.h"
#include "platform/Process.h"
#include "platform/testsupport/TestDrives.h"
#include "platform/testsupport/UserEnv.h"
#include "sysutil/UtStrS.h"

using namespace sysutil;
using platform::testsupport::RunShell;
using platform::testsupport::ShellOutput;
using platform::testsupport::TScopedDrives;
using platform::testsupport::TTempFolder;

namespace {

// D: is a writable FAT image with an 11-character label, E: an unlabelled one, F: a plain
// folder, T: /tmp.
class VolumeRoutinesTest : public ::testing::Test {
protected:
    VolumeRoutinesTest() : drives_(MakeDriveMap(tmp_)) {}

    static std::string MakeDriveMap(const TTempFolder& tmp) {
        EXPECT_EQ(RunShell("mkfs.fat -C -n LABEL11CHRS -i 1A2B3C4D '" + (tmp / "labelled.img") +
                           "' 1440 >/dev/null 2>&1"),
                  0);
        EXPECT_EQ(RunShell("mkfs.fat -C -i 8000ABCD '" + (tmp / "blank.img") + "' 1440 >/dev/null 2>&1"), 0);
        return "D=" + tmp.MakeFolder("d") + "|image=" + (tmp / "labelled.img") + "|writable;" +
               "E=" + tmp.MakeFolder("e") + "|image=" + (tmp / "blank.img") + "|writable;" +
               "F=" + tmp.MakeFolder("f") + ";T=/tmp;C=/";
    }
    std::string Blkid(const char* image) {
        std::string out = ShellOutput("blkid -p -s LABEL -o value '" + (tmp_ / image) + "' 2>/dev/null");
        while (!out.empty() && out.back() == '\n') out.pop_back();
        return out;
    }

    TTempFolder tmp_;
    TScopedDrives drives_;
};

TEST_F(VolumeRoutinesTest, QueryVolumeInfoFillsTheWholeRecord) {
    VolumeInfoRec info;
    ASSERT_EQ(QueryVolumeInfo('d', info), 0);  // the letter is upper-cased
    EXPECT_EQ(info.LabelText, "LABEL11CHRS") << "all 11 characters";
    EXPECT_EQ(info.FileSystemName, "FAT") << "beside a full label";
    EXPECT_EQ(info.Serial, 0x1A2B3C4Du);
    EXPECT_EQ(LongToHexText(info.Serial), "1A2B3C4D");

    ASSERT_EQ(QueryVolumeInfo('E', info), 0);
    EXPECT_EQ(info.LabelText, "");
    EXPECT_EQ(LongToHexText(info.Serial), "8000ABCD") << "top bit set";

    VolumeInfoRec kept{7, "OLD", "OLDFS"};
    int32_t rc = QueryVolumeInfo('Q', kept);
    EXPECT_NE(rc, 0);
    EXPECT_EQ(rc, static_cast<int32_t>(platform::ERROR_INVALID_DRIVE));
    EXPECT_EQ(kept.Serial, 7u) << "the record keeps what the caller put there";
    EXPECT_EQ(kept.LabelText, "OLD");
    EXPECT_EQ(kept.FileSystemName, "OLDFS");
}

TEST_F(VolumeRoutinesTest, FetchVolumeLabel) {
    std::string label;
    EXPECT_EQ(FetchVolumeLabel(label, 'D'), 0);
    EXPECT_EQ(label, "LABEL11CHRS");
    label = std::string(40, 'x');  // a longer text is a longer buffer; the result is still cut
    EXPECT_EQ(FetchVolumeLabel(label, 'D'), 0);
    EXPECT_EQ(label, "LABEL11CHRS");
    label = "junk";
    EXPECT_EQ(FetchVolumeLabel(label, 'E'), 0);
    EXPECT_EQ(label, "") << "unlabelled";
    label = "junk";
    EXPECT_NE(FetchVolumeLabel(label, 'Q'), 0);
    EXPECT_EQ(label, "") << "emptied on failure";
}

TEST_F(VolumeRoutinesTest, WritingAndClearingLabelsReachTheDisk) {
    EXPECT_EQ(WriteDriveLabel("NEWNAME", 'D'), 0);
    EXPECT_EQ(Blkid("labelled.img"), "NEWNAME");
    EXPECT_EQ(WriteDriveLabel("FIFTEEN CHARS!!", 'E'), 0) << "cut to its first 11 characters";
    EXPECT_EQ(Blkid("blank.img"), "FIFTEEN CHA");
    std::string label;
    EXPECT_EQ(FetchVolumeLabel(label, 'E'), 0);
    EXPECT_EQ(label, "FIFTEEN CHA");

    EXPECT_EQ(ClearVolumeLabel('D'), 0);
    EXPECT_EQ(Blkid("labelled.img"), "");
    EXPECT_EQ(FetchVolumeLabel(label, 'D'), 0);
    EXPECT_EQ(label, "");

    EXPECT_EQ(WriteDriveLabel("NEWNAME", 'F'), static_cast<int32_t>(platform::ERROR_NOT_SUPPORTED));
    EXPECT_EQ(ClearVolumeLabel('F'), static_cast<int32_t>(platform::ERROR_NOT_SUPPORTED));
    EXPECT_EQ(WriteDriveLabel("BAD*NAME", 'D'), static_cast<int32_t>(platform::ERROR_INVALID_NAME));
    EXPECT_NE(WriteDriveLabel("X", 'Q'), 0);
}

TEST_F(VolumeRoutinesTest, QueryDiskSpaceAgreesWithDf) {
    auto df = [] {
        std::istringstream in(ShellOutput("df -B1 --output=size,avail /tmp | tail -1"));
        uint64_t size = 0, avail = 0;
        in >> size >> avail;
        return std::pair{size, avail};
    };
    // /tmp is shared with other processes, which write and remove files all the time: the free
    // clusters are read just before and just after df, and df's figure must lie between them
    // (within a cluster). A wrong figure disagrees every time, a moving /tmp only now and then, so
    // a few rounds are taken until one agrees.
    uint32_t freeClusters = 0, totalClusters = 0, bytesPerSector = 0, sectorsPerCluster = 0;
    uint32_t freeBefore = 0;
    uint64_t cluster = 0, size = 0, avail = 0;
    auto agrees = [&] {
        auto near = [&](uint64_t a, uint64_t b) { return (a > b ? a - b : b - a) <= cluster; };
        uint64_t low = uint64_t{std::min(freeBefore, freeClusters)} * cluster;
        uint64_t high = uint64_t{std::max(freeBefore, freeClusters)} * cluster;
        return near(uint64_t{totalClusters} * cluster, size) && avail + cluster >= low &&
               avail <= high + cluster;
    };
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (attempt > 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_TRUE(QueryDiskSpace('t', freeBefore, totalClusters, bytesPerSector, sectorsPerCluster));
        std::tie(size, avail) = df();
        ASSERT_TRUE(QueryDiskSpace('t', freeClusters, totalClusters, bytesPerSector, sectorsPerCluster));
        cluster = uint64_t{bytesPerSector} * sectorsPerCluster;  // the caller's product, in 64 bits
        if (agrees()) break;
    }
    struct statvfs vfs {};
    ASSERT_EQ(::statvfs("/tmp", &vfs), 0);
    EXPECT_EQ(cluster, vfs.f_frsize);
    EXPECT_TRUE(agrees()) << freeBefore << " " << avail / cluster << " " << freeClusters;

    ASSERT_TRUE(platform::SetCurrentDirectory("T:\\"));
    uint32_t f2 = 0, t2 = 0, b2 = 0, s2 = 0;
    ASSERT_TRUE(QueryDiskSpace(' ', f2, t2, b2, s2)) << "a blank is the current drive";
    EXPECT_EQ(t2, totalClusters);
    EXPECT_EQ(b2 * s2, cluster);
    EXPECT_FALSE(QueryDiskSpace('Q', f2, t2, b2, s2));
}

}  // namespace
