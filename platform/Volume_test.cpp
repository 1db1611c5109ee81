#include "platform/Volume.h"

#include <gtest/gtest.h>

#include <sys/statvfs.h>
#include <algorithm>
#include <chrono>
#include <thread>

#include <filesystem>
#include <sstream>
#include <tuple>

#include "platform/FatLabel.h"
#include "platform/Paths.h"
#include "platform/Process.h"
#include "platform/testsupport/UserEnv.h"

using namespace platform;
using platform::testsupport::ReadTextFile;
using platform::testsupport::RunShell;
using platform::testsupport::ScopedUserEnv;
using platform::testsupport::ShellOutput;
using platform::testsupport::WriteTextFile;

namespace {

// Drives over FAT images made by the standard tool, a plain folder, a drive with explicit
// figures, a drive whose folder is missing, and /tmp.
class VolumeTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = env_.Root();
        for (const char* d : {"/d", "/e", "/f", "/g", "/k", "/r", "/w", "/x", "/z"})
            std::filesystem::create_directories(root_ + d);
        MakeFat("/backup.img", "-n BACKUP01 -i 1A2B3C4D", 1440);
        MakeFat("/blank.img", "-i 8000ABCD", 1440);
        MakeFat("/eleven.img", "-n LABEL11CHRS -i 0BADF00D", 1440);
        MakeFat("/big.img", "-F 32 -n BIG32 -i 12345678", 34000);
        MakeFat("/readonly.img", "-n KEEPME -i 11112222", 1440);
        MakeFat("/sixteen.img", "-F 16 -n SIXTEEN -i 0000F16F", 16384);
        WriteTextFile(root_ + "/junk.img", std::string(4096, '\x5A'));
        const std::string r = root_;
        std::string map;
        for (const std::string& entry : {
                 "D=" + r + "/d|image=" + r + "/backup.img|writable",
                 "E=" + r + "/e|image=" + r + "/blank.img|writable",
                 "F=" + r + "/f",
                 "G=" + r + "/g|label=MYLABEL|serial=1A2B-3C4D|fs=FAT32|type=removable",
                 "H=" + r + "/missing",
                 "K=" + r + "/k|image=" + r + "/eleven.img|writable",
                 "R=" + r + "/r|image=" + r + "/readonly.img",
                 "W=" + r + "/w|image=" + r + "/big.img|writable",
                 "X=" + r + "/x|image=" + r + "/sixteen.img|writable",
                 "Z=" + r + "/z|image=" + r + "/junk.img|writable",
                 std::string("T=/tmp"),
             })
            map += entry + ";";
        env_.Set("KORVANE_DRIVES", map);
        ReloadDriveMap();
    }
    void TearDown() override {
        ::unsetenv("KORVANE_DRIVES");
        ReloadDriveMap();
    }
    void MakeFat(const std::string& name, const std::string& options, int kilobytes) {
        ASSERT_EQ(RunShell("mkfs.fat -C " + options + " '" + root_ + name + "' " + std::to_string(kilobytes) +
                           " >/dev/null 2>&1"),
                  0)
            << name;
    }
    // What the standard probe reads from an image, without its cache.
    std::string BlkidLabel(const std::string& image) {
        std::string out = ShellOutput("blkid -p -s LABEL -o value '" + root_ + image + "' 2>/dev/null");
        while (!out.empty() && out.back() == '\n') out.pop_back();
        return out;
    }
    std::string Label(const char* drive) {
        std::string label = "untouched";
        if (!GetVolumeInformation(drive, &label, nullptr, nullptr, nullptr, nullptr)) return "error";
        return label;
    }

    ScopedUserEnv env_;
    std::string root_;
};

TEST_F(VolumeTest, InformationOfEachKindOfDrive) {
    std::string tmpType;
    {
        struct Case {
            const char* root;
            const char* label;
            uint32_t serial;
            const char* fs;
        } cases[] = {
            {"D:\\", "BACKUP01", 0x1A2B3C4D, "FAT"},
            {"d:", "BACKUP01", 0x1A2B3C4D, "FAT"},
            {"E:\\", "", 0x8000ABCD, "FAT"},  // no label; top bit of the serial kept
            {"K:\\", "LABEL11CHRS", 0x0BADF00D, "FAT"},
            {"W:\\", "BIG32", 0x12345678, "FAT32"},
            {"X:\\", "SIXTEEN", 0x0000F16F, "FAT"},
            {"G:\\", "MYLABEL", 0x1A2B3C4D, "FAT32"},
        };
        for (auto& c : cases) {
            std::string label = "x", fs = "x";
            uint32_t serial = 0, maxLen = 0, flags = 0;
            ASSERT_TRUE(GetVolumeInformation(c.root, &label, &serial, &maxLen, &flags, &fs)) << c.root;
            EXPECT_EQ(label, c.label) << c.root;
            EXPECT_EQ(serial, c.serial) << c.root;
            EXPECT_EQ(fs, c.fs) << c.root;
            EXPECT_EQ(maxLen, 255u);
        }
    }
    // A plain folder is a volume too: no label, the name of the file system that holds it.
    std::string label = "x", fs;
    ASSERT_TRUE(GetVolumeInformation("F:\\", &label, nullptr, nullptr, nullptr, &fs));
    EXPECT_EQ(label, "");
    EXPECT_FALSE(fs.empty());
    EXPECT_LE(fs.size(), 8u);
}

TEST_F(VolumeTest, FailuresLeaveTheOutputsAlone) {
    struct Case {
        const char* root;
        uint32_t error;
    } cases[] = {
        {"Q:\\", ERROR_INVALID_DRIVE},  // not in the map
        {"H:\\", ERROR_NOT_READY},      // folder missing: no disk in the drive
        {"Z:\\", ERROR_UNRECOGNIZED_VOLUME}, {"1:\\", ERROR_INVALID_DRIVE},
        {"D:\\DOCS", ERROR_INVALID_NAME},  // not a root
    };
    for (auto& c : cases) {
        std::string label = "keep", fs = "keep";
        uint32_t serial = 77;
        SetLastError(0);
        EXPECT_FALSE(GetVolumeInformation(c.root, &label, &serial, nullptr, nullptr, &fs)) << c.root;
        EXPECT_EQ(GetLastError(), c.error) << c.root;
        EXPECT_EQ(label, "keep");
        EXPECT_EQ(serial, 77u);
        EXPECT_EQ(fs, "keep");
        EXPECT_EQ(GetDriveType(c.root),
                  c.error == ERROR_UNRECOGNIZED_VOLUME ? DRIVE_FIXED : DRIVE_NO_ROOT_DIR)
            << c.root;
    }
}

TEST_F(VolumeTest, LabelsAreWrittenToFatImagesAndReadBack) {
    ASSERT_TRUE(SetVolumeLabel("D:\\", "newname"));
    EXPECT_EQ(Label("D:\\"), "NEWNAME");
    EXPECT_EQ(BlkidLabel("/backup.img"), "NEWNAME");
    std::string serialText = ShellOutput("blkid -p -s UUID -o value '" + root_ + "/backup.img'");
    EXPECT_EQ(serialText, "1A2B-3C4D\n") << "the serial number stays";

    ASSERT_TRUE(SetVolumeLabel("D:\\", ""));
    EXPECT_EQ(Label("D:\\"), "");
    EXPECT_EQ(BlkidLabel("/backup.img"), "");
    ASSERT_TRUE(SetVolumeLabel("D:\\", "AGAIN"));
    EXPECT_EQ(Label("D:\\"), "AGAIN") << "a deleted entry is reused";

    // An image made without a label gets a new root entry.
    ASSERT_TRUE(SetVolumeLabel("E:\\", "FRESH 1"));
    EXPECT_EQ(BlkidLabel("/blank.img"), "FRESH 1");
    ASSERT_TRUE(SetVolumeLabel("K:\\", "ABCDEFGHIJK"));
    EXPECT_EQ(Label("K:\\"), "ABCDEFGHIJK");

    ASSERT_TRUE(SetVolumeLabel("X:\\", "Sixteen Two"));
    EXPECT_EQ(BlkidLabel("/sixteen.img"), "SIXTEEN TWO");
    EXPECT_EQ(RunShell("fsck.fat -n '" + root_ + "/sixteen.img' >/dev/null 2>&1"), 0);

    // FAT32: root folder in a cluster chain, and a backup boot sector.
    ASSERT_TRUE(SetVolumeLabel("W:\\", "Thirty Two"));
    EXPECT_EQ(BlkidLabel("/big.img"), "THIRTY TWO");
    EXPECT_EQ(RunShell("fsck.fat -n '" + root_ + "/big.img' >/dev/null 2>&1"), 0)
        << "still a sound file system";
    EXPECT_EQ(RunShell("fsck.fat -n '" + root_ + "/backup.img' >/dev/null 2>&1"), 0);
}

TEST_F(VolumeTest, LabelWritesThatMustFailChangeNothing) {
    struct Case {
        const char* root;
        const char* label;
        uint32_t error;
    } cases[] = {
        {"F:\\", "NEWNAME", ERROR_NOT_SUPPORTED},  // a plain folder
        {"G:\\", "NEWNAME", ERROR_NOT_SUPPORTED},  // explicit figures, nothing to write to
        {"R:\\", "NEWNAME", ERROR_NOT_SUPPORTED},  // an image not marked writable
        {"D:\\", "TWELVE CHARS", ERROR_INVALID_NAME},
        {"D:\\", "A*B", ERROR_INVALID_NAME},
        {"D:\\", "A.B", ERROR_INVALID_NAME},
        {"D:\\", "TAB\tX", ERROR_INVALID_NAME},
        {"Z:\\", "NEWNAME", ERROR_UNRECOGNIZED_VOLUME},
        {"Q:\\", "NEWNAME", ERROR_INVALID_DRIVE},
        {"H:\\", "NEWNAME", ERROR_NOT_READY},
    };
    std::string before = ReadTextFile(root_ + "/backup.img");
    std::string junk = ReadTextFile(root_ + "/junk.img");
    for (auto& c : cases) {
        SetLastError(0);
        EXPECT_FALSE(SetVolumeLabel(c.root, c.label)) << c.root << c.label;
        EXPECT_EQ(GetLastError(), c.error) << c.root << c.label;
    }
    EXPECT_EQ(ReadTextFile(root_ + "/backup.img"), before);
    EXPECT_EQ(ReadTextFile(root_ + "/junk.img"), junk);
    EXPECT_EQ(BlkidLabel("/readonly.img"), "KEEPME");
}

TEST_F(VolumeTest, LabelBytesOnDiskArePinned) {
    // The 1.44 MB layout: 512-byte sectors, 1 reserved sector, 2 FATs of 9 sectors, 224 root
    // entries, so the root folder starts at byte 19 * 512.
    std::string image = root_ + "/blank.img";
    ASSERT_EQ(WriteFatVolumeLabel(image, "ab-1"), 0u);
    std::string bytes = ReadTextFile(image);
    ASSERT_EQ(bytes.size(), 1440u * 1024);
    ASSERT_EQ(static_cast<unsigned char>(bytes[22]), 9);  // sectors per FAT
    ASSERT_EQ(static_cast<unsigned char>(bytes[38]), 0x29);
    EXPECT_EQ(bytes.substr(43, 11), "AB-1       ");
    size_t rootAt = 19 * 512;
    EXPECT_EQ(bytes.substr(rootAt, 11), "AB-1       ");
    EXPECT_EQ(bytes[rootAt + 11], '\x08');
    EXPECT_EQ(bytes.substr(rootAt + 12, 10), std::string(10, '\0'));
    EXPECT_EQ(bytes.substr(rootAt + 26, 6), std::string(6, '\0')) << "no cluster, no size";
    EXPECT_EQ(bytes[rootAt + 32], '\0') << "the next entry still ends the folder";

    ASSERT_EQ(WriteFatVolumeLabel(image, ""), 0u);
    bytes = ReadTextFile(image);
    EXPECT_EQ(bytes.substr(43, 11), "NO NAME    ");
    EXPECT_EQ(static_cast<unsigned char>(bytes[rootAt]), 0xE5);
}

TEST_F(VolumeTest, SizesOfTmpAgreeWithDf) {
    auto df = [] {
        std::istringstream in(ShellOutput("df -B1 --output=size,avail /tmp | tail -1"));
        uint64_t size = 0, avail = 0;
        in >> size >> avail;
        return std::pair{size, avail};
    };
    // /tmp is shared with other processes, which write and remove files all the time: our figures
    // are read just before and just after df, and df's must lie between them (within a cluster).
    // A wrong figure disagrees every time, a moving /tmp only now and then, so a few rounds are
    // taken until one agrees.
    uint64_t freeToCaller = 0, total = 0, totalFree = 0, cluster = 0, size = 0, avail = 0;
    uint64_t freeBefore = 0, clustersFreeBefore = 0;
    uint32_t spc = 0, bps = 0, freeClusters = 0, totalClusters = 0;
    auto near = [&cluster](uint64_t a, uint64_t b) { return (a > b ? a - b : b - a) <= cluster; };
    auto between = [&cluster](uint64_t a, uint64_t b, uint64_t x) {
        uint64_t low = std::min(a, b), high = std::max(a, b);
        return x + cluster >= low && x <= high + cluster;
    };
    auto agrees = [&] {
        return total == size && between(freeBefore, freeToCaller, avail) &&
               near(uint64_t{totalClusters} * cluster, size) &&
               between(clustersFreeBefore, uint64_t{freeClusters} * cluster, avail);
    };
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (attempt > 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_TRUE(GetDiskFreeSpaceEx("T:\\", &freeBefore, &total, &totalFree));
        ASSERT_TRUE(GetDiskFreeSpace("t:\\", &spc, &bps, &freeClusters, &totalClusters));
        clustersFreeBefore = uint64_t{freeClusters} * spc * bps;
        std::tie(size, avail) = df();
        ASSERT_TRUE(GetDiskFreeSpaceEx("T:\\", &freeToCaller, &total, &totalFree));
        ASSERT_TRUE(GetDiskFreeSpace("t:\\", &spc, &bps, &freeClusters, &totalClusters));
        cluster = uint64_t{spc} * bps;
        if (agrees()) break;
    }
    ASSERT_GT(size, 0u);
    EXPECT_EQ(bps, 512u);
    struct statvfs vfs {};
    ASSERT_EQ(::statvfs("/tmp", &vfs), 0);
    EXPECT_EQ(cluster, vfs.f_frsize);
    EXPECT_EQ(total, size);
    EXPECT_GE(totalFree, freeToCaller);
    EXPECT_TRUE(agrees()) << freeBefore << " " << avail << " " << freeToCaller;

    // Any folder of a drive gives the sizes of its volume; a missing one fails.
    std::filesystem::create_directories(root_ + "/f/sub");
    EXPECT_TRUE(GetDiskFreeSpaceEx("F:\\SUB", &freeToCaller, &total, nullptr));
    EXPECT_FALSE(GetDiskFreeSpaceEx("F:\\NONE\\", &freeToCaller, &total, nullptr));
    EXPECT_FALSE(GetDiskFreeSpace("Q:\\", &spc, &bps, &freeClusters, &totalClusters));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_DRIVE);
}

TEST(ClusterFigures, CountsAreScaledToFitWithoutWrapping) {
    struct Case {
        uint64_t unit, total, free;
        TClusterFigures expected;
    } cases[] = {
        {4096, 1000, 10, {8, 512, 10, 1000}},
        {512, 7, 0, {1, 512, 0, 7}},
        {4096, 0xFFFFFFFFull, 5, {8, 512, 5, 0xFFFFFFFFu}},
        {4096, 0x100000000ull, 0x100000000ull, {16, 512, 0x80000000u, 0x80000000u}},  // 16 TiB
        {4096, 0x500000000ull, 3, {64, 512, 0, 0xA0000000u}},
        {100, 50, 20, {1, 100, 20, 50}},  // an odd block size is one sector per cluster
    };
    for (auto& c : cases) {
        TClusterFigures f = ClusterFigures(c.unit, c.total, c.free);
        EXPECT_EQ(f.SectorsPerCluster, c.expected.SectorsPerCluster) << c.total;
        EXPECT_EQ(f.BytesPerSector, c.expected.BytesPerSector) << c.total;
        EXPECT_EQ(f.FreeClusters, c.expected.FreeClusters) << c.total;
        EXPECT_EQ(f.TotalClusters, c.expected.TotalClusters) << c.total;
        EXPECT_LE(uint64_t{f.TotalClusters} * f.SectorsPerCluster * f.BytesPerSector, c.total * c.unit);
    }
}

TEST_F(VolumeTest, DriveTypesAndLogicalDrives) {
    env_.Set("KORVANE_DRIVES", "C=/;D=" + root_ + "/d|type=removable;E=" + root_ + "/e|type=CDROM;F=" +
                                   root_ + "/f|type=network;G=" + root_ + "/g|type=ramdisk;H=" + root_ +
                                   "/missing;I=" + root_ + "/d|type=fixed;J=" + root_ + "/d|type=odd");
    ReloadDriveMap();
    struct Case {
        const char* root;
        uint32_t type;
    } cases[] = {{"D:\\", DRIVE_REMOVABLE}, {"E:\\", DRIVE_CDROM},       {"F:\\", DRIVE_REMOTE},
                 {"G:\\", DRIVE_RAMDISK},   {"H:\\", DRIVE_NO_ROOT_DIR}, {"I:\\", DRIVE_FIXED},
                 {"J:\\", DRIVE_UNKNOWN},   {"K:\\", DRIVE_NO_ROOT_DIR}};
    for (auto& c : cases) EXPECT_EQ(GetDriveType(c.root), c.type) << c.root;
    uint32_t c = GetDriveType("C:\\");
    EXPECT_TRUE(c == DRIVE_FIXED || c == DRIVE_REMOVABLE || c == DRIVE_RAMDISK) << c;
    EXPECT_EQ(GetLogicalDrives(), 0b1111111100u);
}

TEST_F(VolumeTest, DriveMapFiguresReplaceTheFileSystemsAndAFixedSizeDiskFillsAsFilesLand) {
    WriteTextFile(root_ + "/d/A.TXT", std::string(513, 'a'));  // two clusters of 512
    std::filesystem::create_directories(root_ + "/d/SUB");
    WriteTextFile(root_ + "/d/SUB/B.TXT", "b");  // one cluster
    WriteTextFile(root_ + "/e/C.TXT", std::string(5000, 'c'));
    env_.Set("KORVANE_DRIVES", "D=" + root_ + "/d|size=1457664|cluster=512;E=" + root_ +
                                   "/e|size=1457664|cluster=4096|free=1200128;F=" + root_ +
                                   "/f|cluster=2048;G=" + root_ + "/e|size=1000|cluster=512");
    ReloadDriveMap();
    struct Case {
        const char* root;
        uint64_t total, free, cluster;
    } cases[] = {
        {"D:\\", 1457664, 1457664 - 3 * 512, 512},
        {"E:\\", 1457664, 1200128, 4096},  // the files do not count when free= is given
        {"G:\\", 1000, 0, 512},            // fuller than its size: nothing free, never a wrap
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.root);
        uint64_t avail = 0, total = 0, free = 0;
        ASSERT_TRUE(GetDiskFreeSpaceEx(c.root, &avail, &total, &free));
        EXPECT_EQ(total, c.total);
        EXPECT_EQ(avail, c.free);
        EXPECT_EQ(free, c.free);
        uint32_t spc = 0, bps = 0, freeClusters = 0, totalClusters = 0;
        ASSERT_TRUE(GetDiskFreeSpace(c.root, &spc, &bps, &freeClusters, &totalClusters));
        EXPECT_EQ(uint64_t{spc} * bps, c.cluster);
        EXPECT_EQ(uint64_t{totalClusters} * spc * bps, c.total / c.cluster * c.cluster);
        EXPECT_EQ(uint64_t{freeClusters} * spc * bps, c.free / c.cluster * c.cluster);
    }
    // A file landing on the fixed-size disk takes its clusters from the free space; a subfolder
    // reports the figures of its drive.
    WriteTextFile(root_ + "/d/SUB/NEW.TXT", std::string(1024, 'n'));
    uint64_t avail = 0, total = 0;
    ASSERT_TRUE(GetDiskFreeSpaceEx("D:\\SUB", &avail, &total, nullptr));
    EXPECT_EQ(avail, 1457664u - 5 * 512);
    // Only the cluster given: the sizes stay the file system's.
    struct statvfs vfs {};
    ASSERT_EQ(::statvfs((root_ + "/f").c_str(), &vfs), 0);
    ASSERT_TRUE(GetDiskFreeSpaceEx("F:\\", &avail, &total, nullptr));
    EXPECT_EQ(total, uint64_t{vfs.f_blocks} * vfs.f_frsize);
    uint32_t spc = 0, bps = 0, freeClusters = 0, totalClusters = 0;
    ASSERT_TRUE(GetDiskFreeSpace("F:\\", &spc, &bps, &freeClusters, &totalClusters));
    EXPECT_EQ(spc * bps, 2048u);
}

TEST(RemoteName, NetworkMountSourceOfAPath) {
    const std::string table =
        "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
        "40 22 0:50 / /mnt/share rw,relatime shared:20 - nfs4 server:/export/home rw,vers=4.2\n"
        "41 22 0:51 / /mnt/win\\040docs rw - cifs //filer/Docs rw\n"
        "42 40 0:52 / /mnt/share/local rw - tmpfs tmpfs rw\n"
        "43 22 0:53 / /mnt/ssh rw shared:3 master:2 - fuse.sshfs user@host:/srv rw\n"
        "garbage\n"
        "44 22\n";
    struct Case {
        const char* path;
        const char* source;
    } cases[] = {
        {"/mnt/share/a/b", "server:/export/home"},
        {"/mnt/share", "server:/export/home"},
        {"/mnt/share/local/x", ""},  // a local file system mounted inside the network one
        {"/mnt/win docs/x", "//filer/Docs"},
        {"/mnt/ssh", "user@host:/srv"},
        {"/mnt/sharex", ""},  // a longer name is not inside /mnt/share
        {"/home/u", ""},
    };
    for (auto& c : cases) EXPECT_EQ(NetworkMountSource(table, c.path), c.source) << c.path;
    EXPECT_EQ(NetworkMountSource("", "/x"), "");
    EXPECT_EQ(NetworkMountSource("1 2 3 4", "/x"), "");
}

TEST_F(VolumeTest, LocalDrivesHaveNoRemoteName) {
    env_.Set("KORVANE_DRIVES", "D=" + root_ + "/d");
    ReloadDriveMap();
    EXPECT_EQ(GetDriveRemoteName('d'), "");
    EXPECT_EQ(GetDriveRemoteName('Q'), "");
    std::string remote = "stale";
    EXPECT_EQ(WNetGetConnection("D:", remote), ERROR_NOT_CONNECTED);
    EXPECT_EQ(remote, "");
    EXPECT_EQ(WNetGetConnection("Q:", remote), ERROR_BAD_DEVICE);
    EXPECT_EQ(WNetGetConnection("D:\\", remote), ERROR_BAD_DEVICE);
    EXPECT_EQ(WNetGetConnection("", remote), ERROR_BAD_DEVICE);
}

}  // namespace
