// The offload list: reading a folder, the display orders, tags and counters, and the choice of the
// next file for a disk.
#include "tools/offload/DiskFillList.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "framework/core/Masks.h"
#include "platform/testsupport/TestDrives.h"

namespace tools {
namespace {

using platform::testsupport::TScopedDrives;
using platform::testsupport::TTempFolder;

// A list of files of the given sizes, all tagged, named F1, F2, ...
TDiskFillList Sized(const std::vector<int64_t>& Sizes) {
    TDiskFillList L;
    for (size_t I = 0; I < Sizes.size(); ++I) L.Add("F" + std::to_string(I + 1), Sizes[I], 0, 0x20, true);
    L.BuildFillOrder();
    return L;
}

TEST(DiskFillChoice, BestFitOverTheFillOrder) {
    struct Case {
        const char* What;
        int64_t Free;
        std::vector<int64_t> Sizes;  // clusters (a cluster of one byte)
        int64_t Chosen;              // size of the chosen file, -1 for none
    } Cases[] = {
        {"a projection that fills the disk", 100, {60, 50, 40, 30}, 60},
        {"70 then 30", 100, {70, 45, 30}, 70},
        {"the second candidate fills it", 100, {90, 80, 20, 15}, 80},
        {"an exact fit", 50, {60, 50, 30, 20}, 50},
        {"equal remainders: the larger", 100, {60, 50, 45, 35}, 60},
        // 89 could reach 100 only with eleven files of 1; ten are projected, so 50 + 50 wins.
        {"ten files projected at most", 100, {89, 50, 50, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}, 50},
        {"nothing fits", 10, {20, 30}, -1},
        {"nothing free", 0, {20, 30}, -1},
    };
    for (const Case& C : Cases) {
        TDiskFillList L = Sized(C.Sizes);
        const int32_t P = L.FindBestFitFile(C.Free, 1);
        EXPECT_EQ(P < 0 ? -1 : L.Rec(L.Rec(P).FillSlot).Size, C.Chosen) << C.What;
    }
}

TEST(DiskFillChoice, ExactFitsComeFirstAndTransferredFilesDropOut) {
    // The exact fit is taken before any later candidate is tried.
    TDiskFillList L = Sized({60, 50, 30, 20});
    int Candidates = 0;
    EXPECT_EQ(L.FindBestFitFile(50, 1, [&] { ++Candidates; }), 2);
    EXPECT_EQ(Candidates, 2);

    // 70 is chosen (70 + 30), and once it is on the disk the 30 fits the rest exactly.
    L = Sized({70, 45, 30});
    int32_t P = L.FindBestFitFile(100, 1);
    ASSERT_EQ(L.Rec(L.Rec(P).FillSlot).Size, 70);
    L.SetTagged(L.Rec(P).FillSlot, false);
    P = L.FindBestFitFile(30, 1);
    EXPECT_EQ(L.Rec(L.Rec(P).FillSlot).Size, 30);

    // Less than one cluster free: only empty files fit.
    L = Sized({700, 0, 100});
    P = L.FindBestFitFile(0, 512);
    ASSERT_GT(P, 0);
    EXPECT_EQ(L.Rec(L.Rec(P).FillSlot).Size, 0);

    // Untagged files are never chosen.
    L = Sized({50, 40});
    L.SetTagged(1, false);
    EXPECT_EQ(L.Rec(L.Rec(L.FindBestFitFile(50, 1)).FillSlot).Size, 40);

    struct Size {
        int64_t Bytes, Clusters;
    } Sizes[] = {{0, 0}, {1, 1}, {512, 1}, {513, 2}, {int64_t{5} << 30, 10485760}};
    for (const Size& S : Sizes) EXPECT_EQ(TDiskFillList::Clusters(S.Bytes, 512), S.Clusters) << S.Bytes;
}

TEST(DiskFillList, OrdersTagsAndCounters) {
    TDiskFillList L;
    // Packed dates: 2001-02-03, 1999-12-31, 2020-06-01, 2001-02-03 later in the day.
    const uint32_t D1 = ((21u << 9 | 2 << 5 | 3) << 16) | (10 << 11), D2 = (19u << 9 | 12 << 5 | 31) << 16,
                   D3 = (40u << 9 | 6 << 5 | 1) << 16, D4 = ((21u << 9 | 2 << 5 | 3) << 16) | (18 << 11);
    L.Add("a.txt", 300, D1, 0x20, false);
    L.Add("B.TXT", 100, D2, 0x20, false);
    L.Add("c.doc", 200, D3, 0x21, false);
    L.Add("Readme", 400, D4, 0x20, false);
    auto Shown = [&] {
        std::vector<std::string> Names;
        for (int32_t R = 1; R <= L.Count(); ++R) Names.push_back(L.Shown(R).Name);
        return Names;
    };
    using V = std::vector<std::string>;
    struct Case {
        TDiskFillSortKey Key;
        bool Reverse;
        V Order;
    } Cases[] = {
        {dskName, false, V{"B.TXT", "Readme", "a.txt", "c.doc"}},  // capitals first
        {dskName, true, V{"c.doc", "a.txt", "Readme", "B.TXT"}},
        {dskSize, false, V{"B.TXT", "c.doc", "a.txt", "Readme"}},
        {dskDate, true, V{"c.doc", "Readme", "a.txt", "B.TXT"}},
        {dskNone, false, V{"a.txt", "B.TXT", "c.doc", "Readme"}},
    };
    for (const Case& C : Cases) {
        L.SortDisplay(C.Key, C.Reverse);
        EXPECT_EQ(Shown(), C.Order) << C.Key << " " << C.Reverse;
    }
    // By extension: no extension first, then "TXT", "doc", "txt".
    L.SortDisplay(dskExtension, false);
    EXPECT_EQ(Shown(), (V{"Readme", "B.TXT", "c.doc", "a.txt"}));

    // Tags and counters: toggling twice changes nothing; counters move only with real changes.
    L.ToggleTag(2);
    L.ToggleTag(2);
    EXPECT_EQ(L.TaggedFiles, 0);
    L.TagMatching("*.TXT", true);
    EXPECT_EQ(L.TaggedFiles, 2);
    EXPECT_EQ(L.TaggedBytes, 400);
    L.TagAll(true);
    EXPECT_EQ(L.TaggedBytes, 1000);
    L.TagMatching("[ab]*", false);
    EXPECT_EQ(L.TaggedFiles, 2);
    EXPECT_EQ(L.TaggedBytes, 600);
    L.InvertTags();
    EXPECT_EQ(L.TaggedFiles, 2);
    EXPECT_EQ(L.TaggedBytes, 400);
    EXPECT_THROW(L.TagMatching("[a", true), framework::EMaskException);
    EXPECT_EQ(L.TaggedBytes, 400);
    EXPECT_EQ(L.FilesInList, 4);
    EXPECT_EQ(L.BytesInList, 1000);
}

TEST(DiskFillList, DuplicatesToggleOncePerMatchingEntry) {
    TDiskFillList L;
    const uint32_t Feb3 = ((21u << 9 | 2 << 5 | 3) << 16) | (10 << 11);
    L.Add("A.TXT", 10, Feb3, 0x20, true);
    L.Add("a.txt", 10, Feb3, 0x20, true);
    L.Add("B.TXT", 20, Feb3, 0x20, true);
    L.IndexNames();
    const int32_t Day = TDiskFillList::DosDay(Feb3);
    const int64_t Ten = 10, Eleven = 11;
    L.InvertDupTags("A.TXT", &Ten, &Day);  // name, size and day match
    EXPECT_FALSE(L.Rec(1).Tagged);
    EXPECT_TRUE(L.Rec(2).Tagged);                // another case: another name
    L.InvertDupTags("A.TXT", nullptr, nullptr);  // a second entry: back again
    EXPECT_TRUE(L.Rec(1).Tagged);
    L.InvertDupTags("B.TXT", &Eleven, nullptr);
    const int32_t OtherDay = Day + 1;
    L.InvertDupTags("B.TXT", nullptr, &OtherDay);
    EXPECT_TRUE(L.Rec(3).Tagged);
    L.InvertDupTags("B.TXT", nullptr, nullptr);
    EXPECT_FALSE(L.Rec(3).Tagged);
    EXPECT_EQ(L.TaggedFiles, 2);
    EXPECT_EQ(L.TaggedBytes, 20);
}

class DiskFillFolderTest : public ::testing::Test {
protected:
    TTempFolder Disk;
    TScopedDrives Drives{"C=/;D=" + Disk.Path()};
};

TEST_F(DiskFillFolderTest, ReadsOnlyTheFilesThatMatchWithTheirFullSizes) {
    for (int I = 0; I < 10; ++I) Disk.WriteFile("dir/N" + std::to_string(I) + ".TXT", std::string(I, 'x'));
    Disk.WriteFile("dir/.hidden.txt", "h");
    Disk.WriteFile("dir/OTHER.DOC", "d");
    Disk.WriteFile("dir/sub/INNER.TXT", "inner");
    { std::ofstream(Disk / "dir/BIG.BIN"); }
    std::filesystem::resize_file(Disk / "dir/BIG.BIN", int64_t{5} << 30);  // sparse

    TDiskFillList L;
    int Steps = 0;
    ASSERT_TRUE(L.ReadFolder("D:\\DIR", "*", true, [&] { ++Steps; }));
    EXPECT_EQ(L.Count(), 13);  // ten, the hidden one, OTHER.DOC and BIG.BIN; no folder
    EXPECT_EQ(Steps, 13);
    EXPECT_EQ(L.TaggedFiles, L.FilesInList);
    EXPECT_EQ(L.TaggedBytes, L.BytesInList);
    EXPECT_EQ(L.BytesInList, (int64_t{5} << 30) + 45 + 2);
    for (int32_t N = 1; N <= L.Count(); ++N) EXPECT_NE(L.Rec(N).Name, "sub");

    ASSERT_TRUE(L.ReadFolder("D:\\DIR\\", "*.TXT", false));
    EXPECT_EQ(L.Count(), 11);
    EXPECT_EQ(L.TaggedFiles, 0);
    EXPECT_FALSE(L.ReadFolder("D:\\NOWHERE", "*", false));
    EXPECT_EQ(L.Count(), 0);
}

TEST_F(DiskFillFolderTest, MoreThanTenThousandFilesAreCutOnce) {
    const std::string Dir = Disk.MakeFolder("many");
    for (int I = 0; I <= TDiskFillList::MaxFiles + 1; ++I) std::ofstream(Dir + "/F" + std::to_string(I));
    TDiskFillList L;
    int Told = 0;
    ASSERT_TRUE(L.ReadFolder("D:\\MANY", "*", false, {}, [&] { ++Told; }));
    EXPECT_EQ(Told, 1);
    EXPECT_EQ(L.Count(), TDiskFillList::MaxFiles);
    EXPECT_EQ(L.FilesInList, TDiskFillList::MaxFiles);
    EXPECT_FALSE(L.Add("X", 1, 0, 0, false));
}

}  // namespace
}  // namespace tools
