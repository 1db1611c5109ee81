// The offload run's pieces without windows: the block copy with its failures, the squelch rules,
// the memo of filled disks and the recommendation over the catalog's volume table.
#include "tools/offload/DiskFillTransfer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "catalog/CatalogStore.h"
#include "catalog/Globals.h"
#include "catalog/testsupport/CatalogTestFixture.h"
#include "platform/Files.h"
#include "platform/testsupport/TestDrives.h"
#include "tools/offload/DiskFillList.h"

namespace tools {
namespace {

using platform::testsupport::ReadNativeFile;
using platform::testsupport::TScopedDrives;
using platform::testsupport::TTempFolder;

// Bytes that differ from block to block, so a repeated or dropped block shows.
std::string TransferPattern(size_t Size) {
    std::string S(Size, '\0');
    for (size_t I = 0; I < Size; ++I) S[I] = static_cast<char>((I * 7 + I / 65536) & 0xFF);
    return S;
}

class FileCopyTest : public ::testing::Test {
protected:
    TTempFolder Src, Dst;
    TScopedDrives Drives{"S=" + Src.Path() + ";T=" + Dst.Path() + ";U=" + Src.Path()};
};

TEST_F(FileCopyTest, CopiesInBlocksKeepingDateTimeAndAttributes) {
    const std::string Content = TransferPattern(3 * 65536 + 1000);
    Src.WriteFile("BIG.BIN", Content);
    // A whole second: the platform keeps times in 100-nanosecond steps.
    std::filesystem::last_write_time(
        Src / "BIG.BIN", std::chrono::floor<std::chrono::seconds>(
                             std::filesystem::file_time_type::clock::now() - std::chrono::hours(24 * 400)));
    ASSERT_TRUE(platform::SetFileAttributes(
        "S:\\BIG.BIN", platform::FILE_ATTRIBUTE_READONLY | platform::FILE_ATTRIBUTE_ARCHIVE));
    std::vector<int> Progress;
    TFileCopyHooks Hooks;
    Hooks.Progress = [&](int P) { Progress.push_back(P); };
    ASSERT_EQ(CopyFileInBlocks("S:\\BIG.BIN", "T:\\BIG.BIN", Hooks), TFileCopyResult::Copied);
    EXPECT_EQ(ReadNativeFile(Dst / "BIG.BIN"), Content);
    EXPECT_EQ(Progress, (std::vector<int>{33, 66, 99, 100}));
    EXPECT_EQ(platform::GetFileAttributes("T:\\BIG.BIN"), platform::GetFileAttributes("S:\\BIG.BIN"));
    EXPECT_TRUE(platform::GetFileAttributes("T:\\BIG.BIN") & platform::FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(std::filesystem::last_write_time(Dst / "BIG.BIN"),
              std::filesystem::last_write_time(Src / "BIG.BIN"));

    // An exact number of blocks, and an empty file.
    Src.WriteFile("TWO.BIN", TransferPattern(2 * 65536));
    Src.WriteFile("EMPTY.BIN", "");
    EXPECT_EQ(CopyFileInBlocks("S:\\TWO.BIN", "T:\\TWO.BIN"), TFileCopyResult::Copied);
    EXPECT_EQ(ReadNativeFile(Dst / "TWO.BIN"), TransferPattern(2 * 65536));
    EXPECT_EQ(CopyFileInBlocks("S:\\EMPTY.BIN", "T:\\EMPTY.BIN"), TFileCopyResult::Copied);
    EXPECT_TRUE(std::filesystem::exists(Dst / "EMPTY.BIN"));
}

TEST_F(FileCopyTest, FailuresLeaveNoPartialTarget) {
    Src.WriteFile("DATA.BIN", TransferPattern(200000));
    struct Case {
        const char* What;
        platform::TFileOperation Op;  // faulted operation
        int64_t Limit;
        bool CancelAtSecondBlock;
        const char* Target;
        TFileCopyResult Expected;
    } Cases[] = {
        {"disk full", platform::TFileOperation::Write, 70000, false, "T:\\DATA.BIN",
         TFileCopyResult::WriteFailed},
        {"read error", platform::TFileOperation::Read, 0, false, "T:\\DATA.BIN", TFileCopyResult::ReadFailed},
        {"cancelled", platform::TFileOperation::Search, -1, true, "T:\\DATA.BIN", TFileCopyResult::Cancelled},
        {"no such target folder", platform::TFileOperation::Search, -1, false, "T:\\NOPE\\DATA.BIN",
         TFileCopyResult::TargetCreateFailed},
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(C.What);
        int Blocks = 0;
        TFileCopyHooks Hooks;
        Hooks.Cancelled = [&] { return C.CancelAtSecondBlock && ++Blocks == 2; };
        platform::TScopedFileFault Fault([&](platform::TFileOperation Op, const std::string& Path,
                                             int64_t Position, uint32_t) {
            platform::TFileFault F;
            const bool Faulted = Op == C.Op && (Op == platform::TFileOperation::Write || Position >= 65536) &&
                                 (Op != platform::TFileOperation::Search);
            if (Faulted && Path.find(Op == platform::TFileOperation::Write ? Dst.Path() : Src.Path()) == 0) {
                F.Error = 112;
                F.Limit = C.Limit;
            }
            return F;
        });
        EXPECT_EQ(CopyFileInBlocks("S:\\DATA.BIN", C.Target, Hooks), C.Expected);
        EXPECT_FALSE(std::filesystem::exists(Dst / "DATA.BIN"));
        EXPECT_EQ(ReadNativeFile(Src / "DATA.BIN"), TransferPattern(200000));
    }
    EXPECT_EQ(CopyFileInBlocks("S:\\GONE.BIN", "T:\\GONE.BIN"), TFileCopyResult::SourceMissing);
    EXPECT_EQ(
        FileCopyErrorText(TFileCopyResult::TargetCreateFailed),
        "Error Opening Destination File For Output.\r\n\r\nThe Target Disk's Root Directory May Be Full");
}

TEST_F(FileCopyTest, TheSourceItselfIsNeverTheTarget) {
    Src.WriteFile("ONLY.BIN", "the only copy");
    // The same file through another drive letter and another spelling.
    EXPECT_TRUE(SameFileOnDisk("S:\\ONLY.BIN", "U:\\only.bin"));
    EXPECT_FALSE(SameFileOnDisk("S:\\ONLY.BIN", "T:\\ONLY.BIN"));
    EXPECT_EQ(CopyFileInBlocks("S:\\ONLY.BIN", "U:\\only.bin"), TFileCopyResult::SameFile);
    EXPECT_EQ(ReadNativeFile(Src / "ONLY.BIN"), "the only copy");
    EXPECT_EQ(FileCopyErrorText(TFileCopyResult::SameFile), "The Source And Destination Are The Same File");
}

// ---- Squelching -----------------------------------------------------------------------------------

TDiskFillList TaggedSizes(const std::vector<int64_t>& Sizes) {
    TDiskFillList L;
    for (size_t I = 0; I < Sizes.size(); ++I) L.Add("T" + std::to_string(I + 1), Sizes[I], 0, 0x20, true);
    return L;
}

TEST(DiskFillSquelchRules, PatternsDrivesImportsAndTheRetryList) {
    catalog::TSquelchSettings S;
    S.VolumeSpecs[0] = "BACK*";
    S.VolumeSpecs[1] = "   ";  // blank: squelches nothing
    S.DriveFlags['Q' - 'A'] = true;
    TDiskFillSquelch Q;
    Q.AddRetryLabel("RETRIED");
    struct Case {
        const char* Label;
        const char* From;
        bool Squelched, WhenIgnored;
    } Cases[] = {
        {"backup01", "D:\\", true, false},  // prefix pattern, any letter case
        {"BACKUP", "D:\\", true, false},   {"DATA", "*import.txt", true, false},  // catalogued by text import
        {"DATA", "Q:\\", true, false},                                            // flagged drive
        {"DATA", "q:\\", false, false},  // only upper-case letters are drives
        {"DATA", "D:\\", false, false},    {"DATA", "", false, false},
        {"RETRIED", "D:\\", true, true},  // the retry list holds even when ignoring
        {"retried", "D:\\", false, false},
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(std::string(C.Label) + " from " + C.From);
        EXPECT_EQ(Q.IsDiskSquelched(C.Label, C.From, S, false), C.Squelched);
        EXPECT_EQ(Q.IsDiskSquelched(C.Label, C.From, S, true), C.WhenIgnored);
    }
    for (size_t I = 1; I < TDiskFillSquelch::MaxRetryLabels; ++I)
        EXPECT_TRUE(Q.AddRetryLabel("L" + std::to_string(I)));
    EXPECT_FALSE(Q.AddRetryLabel("ONE TOO MANY"));
    EXPECT_EQ(Q.RetrySquelchList.size(), TDiskFillSquelch::MaxRetryLabels);
}

TEST(DiskFillSquelchRules, RecommendedFreeCountsBytesAndTheFilledDiskMemo) {
    const catalog::TSquelchSettings None;
    TDiskFillSquelch Q;
    TDiskFillList L = TaggedSizes({204800, 300000});
    L.SetTagged(2, false);
    struct Case {
        const char* Free;
        int64_t Expected;
    } Cases[] = {
        {"204800", 204800}, {"204799", -1},  // one byte short, whatever the clusters
        {"0", -1},          {"-5", -1},     {"12.5", -1}, {"", -1}, {"9000000", 9000000},
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(C.Free);
        EXPECT_EQ(Q.RecommendedFree("DISK", "D:\\", C.Free, None, false, L), C.Expected);
    }
    // A disk filled in this opening is judged by what was left, not by the catalogue.
    Q.RememberDiskFree("DISK", 1000);
    EXPECT_EQ(Q.RecommendedFree("DISK", "D:\\", "9000000", None, false, L), -1);
    Q.RememberDiskFree("DISK", 250000);
    EXPECT_EQ(Q.FilledCount, 1);
    EXPECT_EQ(Q.RecommendedFree("DISK", "D:\\", "0", None, false, L), 250000);
}

TEST(DiskFillSquelchRules, TheMemoIsARingOfAThousandDisks) {
    TDiskFillSquelch Q;
    for (int I = 1; I <= 1000; ++I) Q.RememberDiskFree("D" + std::to_string(I), I);
    EXPECT_EQ(Q.FilledCount, 1000);
    EXPECT_EQ(Q.LastFilled, 1000);
    ASSERT_NE(Q.FindFilled("D1"), nullptr);
    Q.RememberDiskFree("D1001", 1001);
    EXPECT_EQ(Q.FilledCount, 1000);
    EXPECT_EQ(Q.LastFilled, 1);
    EXPECT_EQ(Q.FindFilled("D1"), nullptr);
    EXPECT_EQ(Q.Filled[0].VolumeLabel, "D1001");
    EXPECT_EQ(Q.FindFilled("D2")->FreeBytes, 2);
    Q.RememberDiskFree(std::string(40, 'X'), 7);
    EXPECT_EQ(Q.Filled[1].VolumeLabel, std::string(32, 'X'));
    Q.Clear();
    EXPECT_EQ(Q.FilledCount, 0);
    EXPECT_EQ(Q.FindFilled("D1001"), nullptr);
}

// ---- Recommendation over the volume table ----------------------------------------------------------

class DiskRecommendTest : public catalog::testsupport::TCatalogFixture {
protected:
    std::unique_ptr<dbsql::TDbTable> Summary;
    void MakeVolumes(const std::vector<std::pair<std::string, double>>& Volumes,
                     const std::string& From = "E:\\") {
        catalog::CurrentCatalogName = "Games";
        catalog::TCatalogStore Store;
        Store.CreateCatalogConfig(false, {30, 60, 20});
        Store.OpenCatalog(true);
        Summary = Table("Games_SUM");
        Summary->Open();
        for (const auto& [Label, Free] : Volumes) {
            Summary->Append();
            Summary->FieldByName("CatalogVolumeLabel")->SetAsString(Label);
            Summary->FieldByName("ActualVolumeLabel")->SetAsString(Label);
            Summary->FieldByName("CatalogedFrom")->SetAsString(From);
            Summary->FieldByName("DiskFree")->SetAsFloat(Free);
            Summary->Post();
        }
        Summary->SetIndexName("ByFreeSpace");
    }
};

TEST_F(DiskRecommendTest, TheRoomiestFittingDiskFirstUntilEveryOneIsSquelched) {
    MakeVolumes({{"SMALL", 100 * 1024}, {"LARGE", 500 * 1024}, {"MIDDLE", 300 * 1024}});
    const TDiskFillList L = TaggedSizes({200 * 1024});
    const catalog::TSquelchSettings None;
    TDiskFillSquelch Q;
    std::vector<std::string> Offered;
    int Steps = 0;
    for (;;) {
        const TDiskRecommendation R = FindRecommendedDisk(*Summary, Q, None, false, L, [&] { ++Steps; });
        if (!R.Found) break;
        Offered.push_back(R.VolumeLabel + " " + std::to_string(R.FreeBytes) + " " + R.Drive);
        Q.AddRetryLabel(R.VolumeLabel);
    }
    EXPECT_EQ(Offered, (std::vector<std::string>{"LARGE 512000 E", "MIDDLE 307200 E"}));
    EXPECT_GT(Steps, 0);
}
}  // namespace
}  // namespace tools
