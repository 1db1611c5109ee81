// The directory readers over archives made by the formats' own tools (ARC and ARJ at test time,
// LZH levels 0 to 2 made once and kept in testdata/), and over every truncation of each format.

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "cataloging/archives/ArchiveReaders.h"
#include "cataloging/testsupport/ArchiveBuilders.h"
#include "platform/testsupport/TestDrives.h"
#include "platform/testsupport/UserEnv.h"

namespace cataloging {
namespace {

using namespace framework;
using namespace testsupport;
using platform::testsupport::ReadNativeFile;
using platform::testsupport::RunShell;
using platform::testsupport::TScopedDrives;
using platform::testsupport::TTempFolder;

// Local time is UTC while a test runs, so that Unix time stamps read as written.
class TUtcZone {
public:
    TUtcZone() {
        if (const char* tz = std::getenv("TZ")) FOld = tz, FHad = true;
        setenv("TZ", "UTC0", 1);
        tzset();
    }
    ~TUtcZone() {
        if (FHad)
            setenv("TZ", FOld.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    std::string FOld;
    bool FHad = false;
};

class ArchiveToolsTest : public ::testing::Test {
protected:
    TUtcZone Zone;
    TTempFolder Disk;
    TScopedDrives Drives{"D=" + Disk.Path()};
    TRecordingRun Run;

    TArchiveArgs Args(const std::string& Name) const { return TArchiveArgs{true, "\\TOOLS\\", "D:\\", Name}; }
    // Two files stamped 1 October 1994 12:00:00, DOCS/README in a folder.
    void MakeFiles() {
        Disk.WriteFile("src/ONE.TXT", "hello world\n");
        Disk.WriteFile("src/TWO.DOC", "second file here\n");
        Disk.WriteFile("src/DOCS/README", "read me\n");
        Disk.WriteFile("src/comment.txt", "The main comment\n");
        ASSERT_EQ(RunShell("cd '" + Disk.Path() +
                           "/src' && TZ=UTC0 touch -d '1994-10-01 12:00:00' ONE.TXT TWO.DOC DOCS/README"),
                  0);
    }
    void ExpectRow(const TArchiveEntry& E, const std::string& Name, int64_t Size, const std::string& Archive,
                   int32_t Attribute = 0) {
        EXPECT_EQ(E.FileName, Name);
        EXPECT_EQ(E.FileSize, Size) << Name;
        EXPECT_EQ(E.DateModified, EncodeDate(1994, 10, 1)) << Name;
        EXPECT_EQ(E.TimeModified, EncodeTime(12, 0, 0, 0)) << Name;
        EXPECT_EQ(E.Attribute, Attribute) << Name;
        EXPECT_EQ(E.ArchiveID, Archive) << Name;
        EXPECT_EQ(E.FolderName, "\\TOOLS\\") << Name;
    }
};

TEST_F(ArchiveToolsTest, ArcAndPakMadeByArc) {
    MakeFiles();
    ASSERT_EQ(RunShell("cd '" + Disk.Path() + "/src' && arc a ../T.ARC ONE.TXT TWO.DOC >/dev/null 2>&1"), 0);
    std::filesystem::copy_file(Disk / "T.ARC", Disk / "T.PAK");
    for (const char* name : {"T.ARC", "T.PAK"}) {
        Run.Reset();
        ReadArcDirectory(Run, Args(name));
        ASSERT_EQ(Run.Entries.size(), 2u) << name;
        ExpectRow(Run.Entries[0], "ONE.TXT", 12, name);
        ExpectRow(Run.Entries[1], "TWO.DOC", 17, name);
        EXPECT_TRUE(Run.Errors.empty());
        EXPECT_EQ(Run.ArchiveByteCount, 29);
    }
    // Counted also when out of scope.
    Run.Reset();
    TArchiveArgs out = Args("T.ARC");
    out.InScope = false;
    ReadArcDirectory(Run, out);
    EXPECT_TRUE(Run.Entries.empty());
    EXPECT_EQ(Run.ArchiveFileCount, 2);
    EXPECT_EQ(Run.ArchiveByteCount, 29);
}

TEST_F(ArchiveToolsTest, ArjMadeByArj) {
    MakeFiles();
    ASSERT_EQ(RunShell("cd '" + Disk.Path() +
                       "/src' && arj a -r -y -zcomment.txt ../T.ARJ DOCS/README ONE.TXT >/dev/null 2>&1"),
              0);
    ReadArjDirectory(Run, Args("T.ARJ"), false);
    // The tool keeps "/" between folders; the folder part keeps the stored separator.
    ASSERT_EQ(Run.Entries.size(), 2u);
    ExpectRow(Run.Entries[0], "README. <DOCS/>", 8, "T.ARJ");
    ExpectRow(Run.Entries[1], "ONE.TXT", 12, "T.ARJ");
    EXPECT_EQ(Run.Entries[0].Comment, "");
    EXPECT_EQ(Run.Entries[1].Comment, "");
    EXPECT_EQ(Run.MainArchiveComment, "The main comment");  // the line feed is one of the dropped characters
    EXPECT_TRUE(Run.Errors.empty());

    Run.Reset();
    ReadArjDirectory(Run, Args("T.ARJ"), true);
    EXPECT_EQ(Run.MainArchiveComment, "The main comment");
    EXPECT_EQ(Run.ArchiveFileCount, 0);

    // Stored with a DOS separator, as DOS tools write it.
    std::string bytes = ReadNativeFile(Disk / "T.ARJ");
    const size_t at = bytes.find("DOCS/README");
    ASSERT_NE(at, std::string::npos);
    bytes[at + 4] = '\\';
    std::ofstream(Disk / "DOS.ARJ", std::ios::binary) << bytes;
    Run.Reset();
    ReadArjDirectory(Run, Args("DOS.ARJ"), false);
    ASSERT_FALSE(Run.Entries.empty());
    EXPECT_EQ(Run.Entries[0].FileName, "README. <DOCS\\>");
}

TEST_F(ArchiveToolsTest, ArjVolumesListASpanningMemberInEachPart) {
    std::string big;
    for (int i = 0; big.size() < 120000; ++i) big += std::to_string(i * 7919 % 100003) + " ";
    Disk.WriteFile("vol/BIG.DAT", big);
    // Stored (no compression) in volumes of 50,000 bytes: BIG.DAT runs over three parts.
    ASSERT_EQ(RunShell("cd '" + Disk.Path() + "/vol' && arj a -m0 -v50000 -y ../SET.ARJ BIG.DAT >/dev/null 2>&1"), 0);
    for (const char* part : {"SET.ARJ", "SET.A01", "SET.A02"}) {
        ASSERT_TRUE(std::filesystem::exists(Disk / part)) << part;
        Run.Reset();
        ReadArjDirectory(Run, Args(part), false);
        ASSERT_EQ(Run.Names(), std::vector<std::string>{"BIG.DAT"}) << part;
        EXPECT_EQ(Run.Entries[0].ArchiveID, part);
        EXPECT_TRUE(Run.Errors.empty()) << part;
    }
}

TEST_F(ArchiveToolsTest, LzhLevelsZeroToTwo) {
    for (const char* name : {"L0.LZH", "L1.LZH", "L2.LZH", "L0.LZS"}) {
        std::string file = name;
        if (file == "L0.LZS") file = "L0.LZH";
        std::filesystem::copy_file(std::string(KORVANE_TESTDATA_DIR) + "/" + file, Disk / name);
        Run.Reset();
        ReadLzhDirectory(Run, Args(name));
        ASSERT_EQ(Run.Entries.size(), 2u) << name;
        // Levels 0 and 1 keep the DOS attribute byte (archive, 0x20); level 2 has none.
        const int32_t attribute = std::string(name) == "L2.LZH" ? 0 : 0x20;
        ExpectRow(Run.Entries[0], "TOP.TXT", 12, name, attribute);
        ExpectRow(Run.Entries[1], "FILE.TXT", 18, name, attribute);
        EXPECT_TRUE(Run.Errors.empty()) << name;
        // The same member count as an independent lister gives.
        if (RunShell("command -v lha >/dev/null 2>&1") == 0) {
            const std::string listing =
                platform::testsupport::ShellOutput("lha l '" + (Disk / name) + "' 2>/dev/null | tail -1");
            EXPECT_NE(listing.find("2 files"), std::string::npos) << listing;
        }
    }
    // A level this reader does not know fails the archive.
    std::string bytes = ReadNativeFile(Disk / "L1.LZH");
    bytes[20] = 3;
    std::ofstream(Disk / "L3.LZH", std::ios::binary) << bytes;
    Run.Reset();
    ReadLzhDirectory(Run, Args("L3.LZH"));
    EXPECT_TRUE(Run.Entries.empty());
    EXPECT_EQ(Run.Errors, std::vector<std::string>{"Error Processing Archive L3.LZH"});
}

// Every prefix of an archive of each format ends as a failure or a shorter listing: never a
// crash, a hang or more members than the whole archive has.
TEST_F(ArchiveToolsTest, EveryTruncationEndsCleanly) {
    const std::vector<TMember> two{{"one.txt", 10, 4, 0, "comment one"}, {"dir\\two.doc", 20, 8, 0, "second"}};
    using TRead = void (*)(TArchiveRun&, const TArchiveArgs&);
    const struct {
        const char* Name;
        TBytes Bytes;
        TRead Read;
    } formats[] = {
        {"T.ARC", ArcArchive(two, true), ReadArcDirectory},
        {"T.HYP", HypArchive(two), ReadHypDirectory},
        {"T.LZH", LzhArchive(two), ReadLzhDirectory},
        {"T.SQZ", SqzArchive(two), ReadSqzDirectory},
        {"T.ZOO", ZooArchive(two), ReadZooDirectory},
        {"T.RAR", RarArchive(two, {}), ReadRarDirectory},
        {"T.DWC", DwcArchive(two), ReadDwcDirectory},
        {"T.LBR", LbrArchive(1, {TMember("ONE     TXT", 1, 1), TMember("TWO     DOC", 2, 1)}), ReadLbrDirectory},
        {"T.ARJ", ArjArchive("main", two), [](TArchiveRun& R, const TArchiveArgs& A) { ReadArjDirectory(R, A, false); }},
    };
    for (const auto& f : formats) {
        Run.Reset();
        const std::string whole = Disk / f.Name;
        std::ofstream(whole, std::ios::binary)
            .write(reinterpret_cast<const char*>(f.Bytes.data()), static_cast<std::streamsize>(f.Bytes.size()));
        f.Read(Run, Args(f.Name));
        ASSERT_EQ(Run.Entries.size(), 2u) << f.Name;
        ASSERT_TRUE(Run.Errors.empty()) << f.Name;
        for (size_t cut = 0; cut < f.Bytes.size(); ++cut) {
            std::filesystem::resize_file(whole, cut);
            Run.Reset();
            f.Read(Run, Args(f.Name));
            EXPECT_LE(Run.ArchiveFileCount, 2) << f.Name << " cut at " << cut;
            EXPECT_LE(Run.Errors.size(), 1u) << f.Name << " cut at " << cut;
            if (Run.Errors.empty() && Run.Entries.size() == 2u) {
                // A whole listing from a cut archive only where the cut took nothing it needs.
                EXPECT_GE(cut, f.Bytes.size() - 60) << f.Name << " cut at " << cut;
            }
            std::ofstream(whole, std::ios::binary)
                .write(reinterpret_cast<const char*>(f.Bytes.data()), static_cast<std::streamsize>(f.Bytes.size()));
        }
    }
}

TEST_F(ArchiveToolsTest, RarTwoNineBlocksLargeAndUnicodeMembers) {
    // A service header ("CMT") between members and an end block after them.
    TBytes cmt{0, 0, 0x7A, 0x00, 0x80, 7 + 4 + 3, 0, 3, 0, 0, 0, 'C', 'M', 'T', 'x', 'y', 'z'};
    TBytes tail{0, 0, 0x7B, 0, 0, 7, 0, 'g', 'a', 'r', 'b', 'a', 'g', 'e'};
    TBytes rar = RarArchive({{"a.txt", 1, 1}}, cmt);
    const TBytes rest = RarArchive({{"b.txt", 2, 2}}, tail);
    rar.insert(rar.end(), rest.begin() + 20, rest.end());  // the second member after the service header
    std::ofstream(Disk / "NEW.RAR", std::ios::binary)
        .write(reinterpret_cast<const char*>(rar.data()), static_cast<std::streamsize>(rar.size()));
    ReadRarDirectory(Run, Args("NEW.RAR"));
    EXPECT_EQ(Run.Names(), (std::vector<std::string>{"A.TXT", "B.TXT"}));
    EXPECT_TRUE(Run.Errors.empty());

    // A member of 5 GiB (high size words) with a Unicode name cut at its NUL.
    TBytes big{0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00};
    TBytes block(40, 0);
    const std::string name = std::string("BIG.BIN") + '\0' + "\x01\x02";
    block[2] = 0x74;
    platform::PutUInt16(block.data() + 3, 0x8000 | 0x100 | 0x200);
    platform::PutUInt16(block.data() + 5, static_cast<uint16_t>(40 + name.size()));
    platform::PutUInt32(block.data() + 7, 3);                    // packed, low word
    platform::PutUInt32(block.data() + 11, 0x40000000);          // unpacked, low word
    platform::PutUInt32(block.data() + 20, uint32_t(0x1D41) << 16);
    platform::PutUInt16(block.data() + 26, static_cast<uint16_t>(name.size()));
    platform::PutUInt32(block.data() + 32, 0);                   // packed, high word
    platform::PutUInt32(block.data() + 36, 1);                   // unpacked, high word
    big.insert(big.end(), block.begin(), block.end());
    big.insert(big.end(), name.begin(), name.end());
    big.insert(big.end(), {'d', 'a', 't'});
    std::ofstream(Disk / "BIG.RAR", std::ios::binary)
        .write(reinterpret_cast<const char*>(big.data()), static_cast<std::streamsize>(big.size()));
    Run.Reset();
    ReadRarDirectory(Run, Args("BIG.RAR"));
    ASSERT_EQ(Run.Names(), std::vector<std::string>{"BIG.BIN"});
    EXPECT_EQ(Run.Entries[0].FileSize, 5368709120LL);
    EXPECT_TRUE(Run.Errors.empty());

    // The signature of the later format is another format.
    TBytes five{0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x01, 0x00, 0, 0, 0, 0};
    std::ofstream(Disk / "FIVE.RAR", std::ios::binary)
        .write(reinterpret_cast<const char*>(five.data()), static_cast<std::streamsize>(five.size()));
    Run.Reset();
    ReadRarDirectory(Run, Args("FIVE.RAR"));
    EXPECT_EQ(Run.Errors.size(), 1u);

    // A DWC count far beyond what lies before the trailer.
    TBytes dwc = DwcArchive({{"one.txt", 1, 1}});
    platform::PutUInt32(dwc.data() + dwc.size() - 27 + 20, 0x7FFFFFFF);
    std::ofstream(Disk / "MANY.DWC", std::ios::binary)
        .write(reinterpret_cast<const char*>(dwc.data()), static_cast<std::streamsize>(dwc.size()));
    Run.Reset();
    ReadDwcDirectory(Run, Args("MANY.DWC"));
    EXPECT_TRUE(Run.Entries.empty());
    EXPECT_EQ(Run.Errors.size(), 1u);
}

}  // namespace
}  // namespace cataloging
