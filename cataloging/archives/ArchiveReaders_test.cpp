// The archive directory readers over archives built byte by byte: what each member becomes, how
// each format's walk ends, and what damage does (a failure report only when expanding on demand,
// entries listed before it kept, no hang).

#include "cataloging/archives/ArchiveReaders.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "cataloging/testsupport/ArchiveBuilders.h"
#include "framework/core/Exception.h"
#include "platform/testsupport/TestDrives.h"

namespace cataloging {
namespace {

using namespace framework;
using namespace testsupport;
using platform::testsupport::TScopedDrives;
using platform::testsupport::TTempFolder;

class ArchiveReadersTest : public ::testing::Test {
protected:
    TTempFolder Disk;
    TScopedDrives Drives{"D=" + Disk.Path()};
    TRecordingRun Run;

    TArchiveArgs Write(const std::string& Name, const TBytes& Bytes) {
        std::ofstream(Disk / Name, std::ios::binary).write(reinterpret_cast<const char*>(Bytes.data()),
                                                           static_cast<std::streamsize>(Bytes.size()));
        TArchiveArgs args;
        args.FolderName = "\\ARCS\\";
        args.FolderPath = "D:\\";
        args.ArchiveName = Name;
        return args;
    }
};

TEST(ArchiveConversions, DosDatesTimesAndNames) {
    EXPECT_EQ(DosDateToDateTime(0), EncodeDate(1980, 1, 1));
    EXPECT_EQ(DosDateToDateTime(0x0021), EncodeDate(1980, 1, 1));
    EXPECT_EQ(DosDateToDateTime(0x0022), EncodeDate(1980, 1, 2));
    EXPECT_EQ(DosDateToDateTime(0x8A21), EncodeDate(1980, 1, 1));  // top bit set: negative
    EXPECT_EQ(DosDateToDateTime(DosDate(2003, 9, 15)), EncodeDate(2003, 9, 15));
    EXPECT_THROW(DosDateToDateTime(DosDate(2003, 13, 1)), EConvertError);
    EXPECT_THROW(DosDateToDateTime(DosDate(2003, 2, 30)), EConvertError);
    EXPECT_EQ(DosTimeToDateTime(DosTime(23, 59, 58)), EncodeTime(23, 59, 58, 0));
    EXPECT_THROW(DosTimeToDateTime(24 << 11), EConvertError);
    EXPECT_THROW(DosTimeToDateTime(60 << 5), EConvertError);

    EXPECT_EQ(NormalizeMemberName(std::string("readme\0xyz", 10)), "README.");
    EXPECT_EQ(NormalizeMemberName(std::string("\0bc", 3)), std::string("\0BC.", 4));  // first always taken
    EXPECT_EQ(NormalizeMemberName("a.txt"), "A.TXT");
    EXPECT_EQ(NormalizeMemberName("caf\xE9.txt"), "CAF\xE9.TXT");  // DOS code page bytes untouched
    EXPECT_EQ(CutAtControlChar("one\rtwo"), "one");
    EXPECT_EQ(CutAtControlChar("del\x7Fx"), "del");
    EXPECT_EQ(CutAtControlChar("plain"), "plain");

    std::string name = "A\\B/C\\D";
    EXPECT_EQ(TakeFolderPart(name), "A\\B/C\\");
    EXPECT_EQ(name, "D");
    name = "X/Y/Z";
    EXPECT_EQ(TakeFolderPart(name), "X/Y/");
    EXPECT_EQ(name, "Z");
}

TEST_F(ArchiveReadersTest, ArcAndPak) {
    TMember a{"readme", 100, 40};
    TMember b{"twelvecharsx", 7, 3};  // 12 characters without a dot: the appended dot is cut off
    const TArchiveArgs args = Write("A.ARC", ArcArchive({a, b}, true));
    Run.MainArchiveComment = "kept";
    ReadArcDirectory(Run, args);
    EXPECT_EQ(Run.Names(), (std::vector<std::string>{"README.", "TWELVECHARSX"}));
    EXPECT_EQ(Run.Errors, std::vector<std::string>{});
    EXPECT_EQ(Run.MainArchiveComment, "kept");
    ASSERT_EQ(Run.Entries.size(), 2u);
    EXPECT_EQ(Run.Entries[0].FileSize, 100);
    EXPECT_EQ(Run.Entries[0].FolderName, "\\ARCS\\");
    EXPECT_EQ(Run.Entries[0].ArchiveID, "A.ARC");
    EXPECT_EQ(Run.Entries[0].DateModified, EncodeDate(1994, 10, 1));
    EXPECT_EQ(Run.Entries[0].TimeModified, EncodeTime(12, 0, 0, 0));
    EXPECT_EQ(Run.ArchiveFileCount, 2);
    EXPECT_EQ(Run.ArchiveByteCount, 107);

    // Cut right after the last member's data: both listed, then the failure is reported.
    Run.Reset();
    ReadArcDirectory(Run, Write("CUT.ARC", ArcArchive({a, b}, false)));
    EXPECT_EQ(Run.Entries.size(), 2u);
    EXPECT_EQ(Run.Errors, std::vector<std::string>{"Error Processing Archive CUT.ARC"});
}

TEST_F(ArchiveReadersTest, ExactRowsOfEachFormat) {
    // Two members stamped 1 October 1994 12:00:00 (DWC: a time stamp of that moment in UTC, shown
    // in Pacific daylight time).
    const std::vector<TMember> two{{"one.txt", 10, 4, 0x21}, {"two.doc", 20, 8, 0x01}};
    using TRead = void (*)(TArchiveRun&, const TArchiveArgs&);
    const struct {
        const char* Name;
        TBytes Bytes;
        TRead Read;
        const char* Second;  // the second member's name
        bool KeepsAttribute;
        int Hour;
    } formats[] = {
        {"R.ARC", ArcArchive(two, true), ReadArcDirectory, "TWO.DOC", false, 12},
        {"R.HYP", HypArchive(two), ReadHypDirectory, "TWO.DOC", true, 12},
        {"R.LZH", LzhArchive(two), ReadLzhDirectory, "TWO.DOC", true, 12},
        {"R.SQZ", SqzArchive(two), ReadSqzDirectory, "TWO.DOC", true, 12},
        {"R.ZOO", ZooArchive(two), ReadZooDirectory, "TWO.DOC", false, 12},
        {"R.RAR", RarArchive(two, {}), ReadRarDirectory, "TWO.DOC", true, 12},
        {"R.DWC", DwcArchive(two), ReadDwcDirectory, "TWO.DOC", false, 5},
        {"R.ARJ", ArjArchive("", two), [](TArchiveRun& R, const TArchiveArgs& A) { ReadArjDirectory(R, A, false); },
         "two.doc", false, 12},
    };
    for (const auto& f : formats) {
        Run.Reset();
        f.Read(Run, Write(f.Name, f.Bytes));
        ASSERT_EQ(Run.Entries.size(), 2u) << f.Name;
        for (size_t i = 0; i < 2; ++i) {
            const TArchiveEntry& e = Run.Entries[i];
            EXPECT_EQ(e.FileSize, two[i].Size) << f.Name;
            EXPECT_EQ(e.DateModified, EncodeDate(1994, 10, 1)) << f.Name;
            EXPECT_EQ(e.TimeModified, EncodeTime(f.Hour, 0, 0, 0)) << f.Name;
            EXPECT_EQ(e.Attribute, f.KeepsAttribute ? int32_t(two[i].Attribute) : 0) << f.Name;
            EXPECT_EQ(e.ArchiveID, f.Name);
            EXPECT_EQ(e.FolderName, "\\ARCS\\");
        }
        EXPECT_EQ(Run.Entries[1].FileName, f.Second) << f.Name;
        EXPECT_EQ(Run.ArchiveByteCount, 30) << f.Name;
        EXPECT_TRUE(Run.Errors.empty()) << f.Name;
    }
}

TEST_F(ArchiveReadersTest, FailuresAreSilentUnlessExpandingOnDemand) {
    TBytes broken = ArcArchive({{"one.txt", 5, 2}, {"two.txt", 5, 2}}, true);
    broken[2 + 27 + 2] = 'X';  // the second member's marker byte
    for (const char* mode : {"Always", "Never", "On Demand"}) {
        Run.Reset();
        Run.ExpandMode = mode;
        ReadArcDirectory(Run, Write("BAD.ARC", broken));
        EXPECT_EQ(Run.Names(), std::vector<std::string>{"ONE.TXT"}) << mode;
        EXPECT_EQ(Run.Errors.size(), std::string(mode) == "On Demand" ? 1u : 0u) << mode;
    }
    Run.Reset();
    ReadZooDirectory(Run, TArchiveArgs{true, "\\", "D:\\", "MISSING.ZOO"});
    EXPECT_EQ(Run.Errors, std::vector<std::string>{"Error Processing Archive MISSING.ZOO"});
}

TEST_F(ArchiveReadersTest, OutOfScopeMembersAreCountedButNotAdded) {
    TArchiveArgs args = Write("S.ARC", ArcArchive({{"a.txt", 10, 1}, {"b.doc", 20, 1}}, true));
    args.InScope = false;
    ReadArcDirectory(Run, args);
    EXPECT_TRUE(Run.Entries.empty());
    EXPECT_EQ(Run.ArchiveFileCount, 2);
    EXPECT_EQ(Run.ArchiveByteCount, 30);
    // The include and exclude specs see the folder name and the member name.
    Run.Reset();
    Run.Refuse = "B.DOC";
    ReadArcDirectory(Run, Write("S.ARC", ArcArchive({{"a.txt", 10, 1}, {"b.doc", 20, 1}}, true)));
    EXPECT_EQ(Run.Names(), std::vector<std::string>{"A.TXT"});
    EXPECT_EQ(Run.Asked, (std::vector<std::string>{"\\ARCS\\|A.TXT", "\\ARCS\\|B.DOC"}));
    EXPECT_EQ(Run.ArchiveFileCount, 2);
}

TEST_F(ArchiveReadersTest, HypLzhAndSqzNames) {
    ReadHypDirectory(Run, Write("A.HYP", HypArchive({{"dir\\sub/readme", 9, 1, 0x21}, {"x.y", 1, 1}})));
    EXPECT_EQ(Run.Names(), (std::vector<std::string>{"README", "X.Y"}));  // no folder, no dot
    EXPECT_EQ(Run.Entries[0].Attribute, 0x21);
    EXPECT_TRUE(Run.Errors.empty());

    Run.Reset();
    TBytes lzh = LzhArchive({{"dir\\sub\\longfilename", 9, 4}, {"a/b.c", 2, 1}, {"dir\\  \xFF", 1, 1}});
    lzh.push_back(19);  // a header size below 20 ends the walk
    lzh.resize(lzh.size() + 30, 0xAA);
    ReadLzhDirectory(Run, Write("A.LZH", lzh));
    EXPECT_EQ(Run.Names(), (std::vector<std::string>{"LONGFILENAME", "B.C", ""}));
    EXPECT_TRUE(Run.Errors.empty());

    Run.Reset();
    ReadSqzDirectory(Run, Write("A.SQZ", SqzArchive({{"name", 3, 1}, {"DIR\\FILE", 3, 1}, {"DIR.X\\FILE", 4, 2}})));
    EXPECT_EQ(Run.Names(), (std::vector<std::string>{"NAME ", "FILE ", "FILE"}));
    EXPECT_TRUE(Run.Errors.empty());
    Run.Reset();
    ReadSqzDirectory(Run, Write("NOT.SQZ", TBytes{'H', 'L', 'S', 'Q', 'X', 0, 0, 0}));
    EXPECT_EQ(Run.Errors.size(), 1u);
}

TEST_F(ArchiveReadersTest, AnImpossibleDateOrTimeFailsTheArchiveNotTheRun) {
    TMember badDate{"bad.txt", 1, 1};
    badDate.Date = DosDate(1999, 2, 31);
    TMember badTime{"bad.txt", 1, 1};
    badTime.Time = 24 << 11;
    for (const TMember& bad : {badDate, badTime}) {
        const std::vector<TMember> members{{"ok.txt", 1, 1}, bad};
        const struct {
            const char* Name;
            TBytes Bytes;
            void (*Read)(TArchiveRun&, const TArchiveArgs&);
        } cases[] = {
            {"BAD.ARC", ArcArchive(members, true), ReadArcDirectory},
            {"BAD.HYP", HypArchive(members), ReadHypDirectory},
            {"BAD.LZH", LzhArchive(members), ReadLzhDirectory},
            {"BAD.SQZ", SqzArchive(members), ReadSqzDirectory},
            {"BAD.ZOO", ZooArchive(members), ReadZooDirectory},
            {"BAD.RAR", RarArchive(members, {}), ReadRarDirectory},
            {"BAD.LBR", LbrArchive(1, {TMember("OK      TXT", 1, 1), TMember("BAD     TXT", 1, 1)}), ReadLbrDirectory},
            {"BAD.ARJ", ArjArchive("", members),
             [](TArchiveRun& R, const TArchiveArgs& A) { ReadArjDirectory(R, A, false); }},
        };
        for (const auto& c : cases) {
            TBytes bytes = c.Bytes;
            if (std::string(c.Name) == "BAD.LBR") platform::PutUInt16(bytes.data() + 64 + 22, 0xFFFF);  // LBR dates cannot fail: its time does
            Run.Reset();
            ASSERT_NO_THROW(c.Read(Run, Write(c.Name, bytes))) << c.Name;
            EXPECT_EQ(Run.Entries.size(), 1u) << c.Name;
            EXPECT_EQ(Run.Errors, std::vector<std::string>{std::string("Error Processing Archive ") + c.Name}) << c.Name;
        }
    }
}

TEST_F(ArchiveReadersTest, ZooCommentsAndChains) {
    std::string sixty(60, 'c');
    sixty[50] = '\r';
    ReadZooDirectory(Run, Write("A.ZOO", ZooArchive({{"one.txt", 5, 1, 0, "0123456789"},
                                                      {"two", 6, 1, 0, sixty},
                                                      {"three.txt", 7, 1, 0, "ab\x01z"}})));
    EXPECT_EQ(Run.Names(), (std::vector<std::string>{"ONE.TXT", "TWO.", "THREE.TXT"}));
    ASSERT_EQ(Run.Entries.size(), 3u);
    EXPECT_EQ(Run.Entries[0].Comment, "012345678");        // a 10-byte comment gives 9 characters
    EXPECT_EQ(Run.Entries[1].Comment, std::string(42, 'c'));  // at most 42
    EXPECT_EQ(Run.Entries[2].Comment, "ab");
    EXPECT_TRUE(Run.Errors.empty());

    // A chain that points back to an earlier entry is damage, not an endless walk.
    Run.Reset();
    TBytes loop = ZooArchive({{"a.txt", 1, 1}, {"b.txt", 1, 1}});
    const uint32_t first = platform::GetUInt32(loop.data() + 24);
    const uint32_t second = platform::GetUInt32(loop.data() + first + 6);
    platform::PutUInt32(loop.data() + second + 6, first);
    ReadZooDirectory(Run, Write("LOOP.ZOO", loop));
    EXPECT_EQ(Run.Names(), std::vector<std::string>{"A.TXT"});
    EXPECT_EQ(Run.Errors.size(), 1u);
    // Also one that points at itself.
    Run.Reset();
    platform::PutUInt32(loop.data() + second + 6, second);
    ReadZooDirectory(Run, Write("SELF.ZOO", loop));
    EXPECT_EQ(Run.Names(), std::vector<std::string>{"A.TXT"});
    EXPECT_EQ(Run.Errors.size(), 1u);
}

TEST_F(ArchiveReadersTest, ArjMainCommentMembersAndCommentOnly) {
    TMember docs{"DOCS\\README", 50, 20, 0, "line one\r\nline two\x01\x7F"};
    TMember plain{"plain.txt", 9, 3};
    const TArchiveArgs args = Write("A.ARJ", ArjArchive("archive comment", {docs, plain}));
    Run.MainArchiveComment = "stale";
    ReadArjDirectory(Run, args, false);
    EXPECT_EQ(Run.Names(), (std::vector<std::string>{"README. <DOCS\\>", "plain.txt"}));  // case kept
    EXPECT_EQ(Run.MainArchiveComment, "archive comment");
    ASSERT_EQ(Run.Entries.size(), 2u);
    EXPECT_EQ(Run.Entries[0].Comment, "line one\rline two ");
    EXPECT_EQ(Run.Entries[1].Comment, "");
    EXPECT_EQ(Run.Entries[0].FileSize, 50);
    EXPECT_EQ(Run.ArchiveFileCount, 2);
    EXPECT_TRUE(Run.Errors.empty());

    Run.Reset();
    ReadArjDirectory(Run, args, true);
    EXPECT_TRUE(Run.Entries.empty());
    EXPECT_EQ(Run.ArchiveFileCount, 0);
    EXPECT_EQ(Run.MainArchiveComment, "archive comment");

    // A name longer than 255 characters keeps its last 255.
    Run.Reset();
    const std::string longName = std::string(200, 'a') + std::string(100, 'b') + ".txt";
    ReadArjDirectory(Run, Write("LONG.ARJ", ArjArchive("", {{longName, 1, 1}})), false);
    ASSERT_EQ(Run.Entries.size(), 1u);
    EXPECT_EQ(Run.Entries[0].FileName, longName.substr(longName.size() - 255));

    Run.Reset();
    TBytes bad = ArjArchive("", {{"a.txt", 1, 1}});
    bad[0] = 0x61;
    ReadArjDirectory(Run, Write("BAD.ARJ", bad), false);
    EXPECT_EQ(Run.Errors.size(), 1u);
}

TEST_F(ArchiveReadersTest, RarBlocks) {
    ReadRarDirectory(Run, Write("A.RAR", RarArchive({{"C:\\DIR\\FILE.TXT", 10, 5, 0x20}, {"dir/file.txt", 3, 1},
                                                      {"noext", 1, 1}},
                                                     {})));
    EXPECT_EQ(Run.Names(), (std::vector<std::string>{"FILE.TXT", "DIR/FILE.TXT", "NOEXT."}));
    EXPECT_EQ(Run.Entries[0].Attribute, 0x20);
    EXPECT_TRUE(Run.Errors.empty());

    // An unknown block type after the members, and a block of size 0 (which would not move on).
    for (const TBytes& tail : {TBytes{0, 0, 0x80, 0, 0, 7, 0}, TBytes{0, 0, 0x75, 0, 0, 0, 0}}) {
        Run.Reset();
        ReadRarDirectory(Run, Write("T.RAR", RarArchive({{"a.txt", 1, 1}}, tail)));
        EXPECT_EQ(Run.Names(), std::vector<std::string>{"A.TXT"});
        EXPECT_EQ(Run.Errors.size(), 1u);
    }
    Run.Reset();
    TBytes wrongMarker = RarArchive({{"a.txt", 1, 1}}, {});
    wrongMarker[3] = '?';
    ReadRarDirectory(Run, Write("M.RAR", wrongMarker));
    EXPECT_TRUE(Run.Entries.empty());
    EXPECT_EQ(Run.Errors.size(), 1u);
}

TEST_F(ArchiveReadersTest, DwcDirectoryAndTimeStamps) {
    ReadDwcDirectory(Run, Write("A.DWC", DwcArchive({{"one.txt", 10, 4, 0, "first comment\rmore"}, {"two", 20, 8}})));
    EXPECT_EQ(Run.Names(), (std::vector<std::string>{"ONE.TXT", "TWO."}));
    ASSERT_EQ(Run.Entries.size(), 2u);
    EXPECT_EQ(Run.Entries[0].Comment, "first comment");
    EXPECT_TRUE(Run.Errors.empty());

    // No signature anywhere: the search reaches offset 0 and fails.
    Run.Reset();
    ReadDwcDirectory(Run, Write("NONE.DWC", TBytes(5000, 'x')));
    EXPECT_EQ(Run.Errors.size(), 1u);

    struct Case {
        uint32_t Stamp;
        int Y, M, D, h, m, s;
    } cases[] = {
        {781012800, 1994, 10, 1, 5, 0, 0},  // 1 October 1994 12:00 UTC: daylight time
        {788947200, 1995, 1, 1, 0, 0, 0},   // 1 January 1995 08:00 UTC
        {765370799, 1994, 4, 3, 2, 59, 59},  // 3 April 1994 10:59:59 UTC
        {765370800, 1994, 4, 3, 4, 0, 0},
    };
    for (const Case& c : cases) {
        TDateTime date, time;
        DwcStampToDateTime(c.Stamp, date, time);
        EXPECT_EQ(date, EncodeDate(c.Y, c.M, c.D)) << c.Stamp;
        EXPECT_EQ(time, EncodeTime(c.h, c.m, c.s, 0)) << c.Stamp;
    }
}

TEST_F(ArchiveReadersTest, LbrDirectory) {
    TBytes lbr = LbrArchive(1, {{"README  TXT", 3, 1097, 0x21}, {"DELETED ZZZ", 1, 1, 0, "", 0xFE}, {"A       B  ", 1, 1},
                                {"beyond  dir", 1, 1}});
    ReadLbrDirectory(Run, Write("A.LBR", lbr));
    // One directory sector holds the directory itself and three members.
    EXPECT_EQ(Run.Names(), (std::vector<std::string>{"README  .TXT", "A       .B  "}));
    ASSERT_EQ(Run.Entries.size(), 2u);
    EXPECT_EQ(Run.Entries[0].FileSize, 3 * 128 - 0x21);
    EXPECT_EQ(Run.Entries[0].DateModified, EncodeDate(1981, 1, 1));
    EXPECT_EQ(Run.ArchiveFileCount, 2);
    EXPECT_TRUE(Run.Errors.empty());

    EXPECT_EQ(LbrDayToDate(1), EncodeDate(1980, 1, 1));
    EXPECT_EQ(LbrDayToDate(0), EncodeDate(1980, 1, 1));
    EXPECT_EQ(LbrDayToDate(1096), EncodeDate(1980, 12, 31));
    EXPECT_EQ(LbrDayToDate(1097), EncodeDate(1981, 1, 1));

    // A first record that does not describe a directory ends the listing quietly.
    Run.Reset();
    lbr[1] = 'X';
    ReadLbrDirectory(Run, Write("NOTDIR.LBR", lbr));
    EXPECT_TRUE(Run.Entries.empty());
    EXPECT_TRUE(Run.Errors.empty());
    // A directory longer than the file is read as far as the file goes (32,767 sectors of
    // directory are not walked record by record past the end).
    for (int16_t sectors : {int16_t(2), int16_t(32767)}) {
        Run.Reset();
        ReadLbrDirectory(Run, Write("SHORT.LBR", LbrArchive(sectors, {{"ONE     TXT", 1, 1}})));
        EXPECT_EQ(Run.Names(), std::vector<std::string>{"ONE     .TXT"});
        EXPECT_TRUE(Run.Errors.empty());
        EXPECT_LT(Run.Messages, 5);
    }
    // A member of 40,000 sectors is 5,120,000 bytes less its pad, not a negative size.
    Run.Reset();
    ReadLbrDirectory(Run, Write("BIG.LBR", LbrArchive(1, {TMember("BIG     DAT", 40000, 1, 10)})));
    ASSERT_EQ(Run.Entries.size(), 1u);
    EXPECT_EQ(Run.Entries[0].FileSize, 40000LL * 128 - 10);
}

}  // namespace
}  // namespace cataloging
