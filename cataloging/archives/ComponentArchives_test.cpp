// The readers over the archive components, on archives made by zip, unzipsfx and gcab: ZIP
// members with their folders, comments and sizes, damage, self-extractors and their question,
// cabinets, FILE_ID.DIZ descriptions, and the dispatch by type code.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "cataloging/archives/ArchiveReaders.h"
#include "cataloging/testsupport/ArchiveBuilders.h"
#include "framework/ui/Forms.h"
#include "platform/LittleEndian.h"
#include "platform/Paths.h"
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

class ComponentArchivesTest : public ::testing::Test {
protected:
    TTempFolder Disk;
    // C: is the root, as by default: the run's own folder for extracted files lies in /tmp.
    TScopedDrives Drives{"C=/;D=" + Disk.Path()};
    TRecordingRun Run;

    TArchiveArgs Args(const std::string& Name) const { return TArchiveArgs{true, "\\Z\\", "D:\\", Name}; }
    void Shell(const std::string& Command) {
        ASSERT_EQ(RunShell("cd '" + Disk.Path() + "' && " + Command + " >/dev/null 2>&1"), 0) << Command;
    }
    // DOCS/README.TXT and TOP.TXT (with a member comment), the archive comment "  Main  ".
    void MakeZip(const std::string& Name) {
        Disk.WriteFile("src/DOCS/README.TXT", "read me\n");
        Disk.WriteFile("src/TOP.TXT", "top\n");
        Shell("cd src && TZ=UTC0 touch -d '1994-10-01 12:00:00' DOCS/README.TXT TOP.TXT DOCS && TZ=UTC0 zip -q -r ../" +
              Name + " DOCS TOP.TXT");
        Shell("echo '  Main  ' | zip -q -z " + Name);
        Shell("cd src && printf 'member note\\n' | TZ=UTC0 zip -q -c ../" + Name + " TOP.TXT");
    }
};

TEST_F(ComponentArchivesTest, ZipMembersFoldersAndComments) {
    MakeZip("T.ZIP");
    ReadZipDirectory(Run, Args("T.ZIP"));
    EXPECT_EQ(Run.Names(), (std::vector<std::string>{"README.TXT <DOCS/>", "TOP.TXT"}));
    EXPECT_EQ(Run.ArchiveFileCount, 3);  // the folder entry DOCS/ is counted
    EXPECT_EQ(Run.ArchiveByteCount, 12);
    EXPECT_EQ(Run.MainArchiveComment, "Main");
    ASSERT_EQ(Run.Entries.size(), 2u);
    const TArchiveEntry& top = Run.Entries[1];
    EXPECT_EQ(top.FileSize, 4);
    EXPECT_EQ(top.Comment, "member note");
    EXPECT_EQ(top.DateModified, top.TimeModified);
    EXPECT_EQ(top.ArchiveID, "T.ZIP");
    EXPECT_EQ(top.FolderName, "\\Z\\");
    EXPECT_EQ(Run.Asked, (std::vector<std::string>{"\\Z\\|README.TXT", "\\Z\\|TOP.TXT"}));  // the bare name

    // A comment already set stays; out of scope, members are counted only.
    Run.Reset();
    Run.MainArchiveComment = "from the DIZ";
    TArchiveArgs out = Args("T.ZIP");
    out.InScope = false;
    ReadZipDirectory(Run, out);
    EXPECT_EQ(Run.MainArchiveComment, "from the DIZ");
    EXPECT_TRUE(Run.Entries.empty());
    EXPECT_EQ(Run.ArchiveFileCount, 3);

    // The comment alone, as stored; the dispatch by type code.
    Run.Reset();
    ReadZipComment(Run, Args("T.ZIP"));
    EXPECT_EQ(Run.MainArchiveComment, "  Main  ");
    Run.Reset();
    ReadArchiveDirectory(Run, 12, Args("T.ZIP"));
    EXPECT_EQ(Run.Entries.size(), 2u);
}

TEST_F(ComponentArchivesTest, DamagedZipAndLargeMembers) {
    MakeZip("T.ZIP");
    const std::string whole = ReadNativeFile(Disk / "T.ZIP");
    std::ofstream(Disk / "BAD.ZIP", std::ios::binary) << whole.substr(0, whole.size() / 2);
    for (const char* mode : {"On Demand", "Always"}) {
        Run.Reset();
        Run.ExpandMode = mode;
        ReadZipDirectory(Run, Args("BAD.ZIP"));
        EXPECT_EQ(Run.Errors.size(), std::string(mode) == "On Demand" ? 1u : 0u) << mode;
        if (!Run.Errors.empty()) {
            EXPECT_EQ(Run.Errors[0], "Error Processing Archive BAD.ZIP");
        }
    }
    // A member of 3 GiB: its central directory size patched.
    std::string big = whole;
    const size_t central = big.rfind("PK\x01\x02");  // the last member, TOP.TXT
    ASSERT_NE(central, std::string::npos);
    platform::PutUInt32(reinterpret_cast<uint8_t*>(big.data()) + central + 24, 0xC0000000u);
    std::ofstream(Disk / "BIG.ZIP", std::ios::binary) << big;
    Run.Reset();
    ReadZipDirectory(Run, Args("BIG.ZIP"));
    ASSERT_EQ(Run.Names(), (std::vector<std::string>{"README.TXT <DOCS/>", "TOP.TXT"}));
    EXPECT_EQ(Run.Entries[1].FileSize, 3221225472LL);
    EXPECT_EQ(Run.ArchiveByteCount, 3221225472LL + 8);
    // The reader stops at once when the run is asked to stop.
    Run.Reset();
    Run.Stopped = true;
    ReadZipDirectory(Run, Args("T.ZIP"));
    EXPECT_EQ(Run.ArchiveFileCount, 0);
}

TEST_F(ComponentArchivesTest, SelfExtractorsAndTheirQuestion) {
    MakeZip("T.ZIP");
    Shell("cat /usr/bin/unzipsfx T.ZIP > PROG.EXE && zip -q -A PROG.EXE && cp /bin/true TRUE.EXE");
    const struct {
        int Answer;
        size_t Entries;
        bool Stopped;
        const char* ModeAfter;
    } answers[] = {
        {mrYes, 2, false, "On Demand"},    {mrNo, 0, false, "On Demand"},     {mrCancel, 0, true, "On Demand"},
        {mrNoToAll, 0, false, "Never"},    {mrYesToAll, 2, false, "Always"},
    };
    for (const auto& a : answers) {
        Run.Reset();
        Run.Answer = a.Answer;
        ProbeSfxArchive(Run, Args("PROG.EXE"));
        EXPECT_EQ(Run.Questions, std::vector<std::string>{"Expand SFX ZIP Archive PROG.EXE?"}) << a.Answer;
        EXPECT_EQ(Run.Entries.size(), a.Entries) << a.Answer;
        EXPECT_EQ(Run.Stopped, a.Stopped) << a.Answer;
        EXPECT_EQ(Run.ExpandMode, a.ModeAfter) << a.Answer;
        EXPECT_EQ(Run.MainArchiveComment, a.Entries ? "Main" : "  Main  ") << a.Answer;
    }
    // After Yes to All the next one expands without asking.
    Run.Questions.clear();
    Run.Entries.clear();
    ProbeSfxArchive(Run, Args("PROG.EXE"));
    EXPECT_TRUE(Run.Questions.empty());
    EXPECT_EQ(Run.Entries.size(), 2u);

    // An ordinary program is no self-extractor: no question, no comment.
    Run.Reset();
    ProbeSfxArchive(Run, Args("TRUE.EXE"));
    EXPECT_TRUE(Run.Questions.empty());
    EXPECT_TRUE(Run.Entries.empty());
    EXPECT_EQ(Run.MainArchiveComment, "");
    // Never expanding, an archive in scope still gives its comment.
    Run.Reset();
    Run.ExpandMode = "Never";
    ProbeSfxArchive(Run, Args("PROG.EXE"));
    EXPECT_TRUE(Run.Questions.empty());
    EXPECT_EQ(Run.MainArchiveComment, "  Main  ");
    EXPECT_NE(std::find(Run.Status.begin(), Run.Status.end(), "name:Checking For Main SFX Comment In PROG.EXE"),
              Run.Status.end());
}

TEST_F(ComponentArchivesTest, CabinetsMadeByGcab) {
    Disk.WriteFile("cab/ONE.TXT", "first\n");
    Disk.WriteFile("cab/TWO.TXT", "second file\n");
    Shell("cd cab && TZ=UTC0 touch -d '1994-10-01 12:00:00' ONE.TXT TWO.TXT && TZ=UTC0 gcab -c ../T.CAB ONE.TXT TWO.TXT");
    ReadCabDirectory(Run, Args("T.CAB"));
    EXPECT_EQ(Run.Names(), (std::vector<std::string>{"ONE.TXT", "TWO.TXT"}));
    ASSERT_EQ(Run.Entries.size(), 2u);
    EXPECT_EQ(Run.Entries[1].FileSize, 12);
    EXPECT_EQ(Run.Entries[0].DateModified, EncodeDate(1994, 10, 1) + EncodeTime(12, 0, 0, 0));
    EXPECT_TRUE(Run.Errors.empty());

    std::string bytes = ReadNativeFile(Disk / "T.CAB");
    bytes.resize(40);
    std::ofstream(Disk / "BAD.CAB", std::ios::binary) << bytes;
    Run.Reset();
    ReadArchiveDirectory(Run, 3, Args("BAD.CAB"));
    EXPECT_EQ(Run.Errors, std::vector<std::string>{"Error Processing Archive BAD.CAB"});
}

TEST_F(ComponentArchivesTest, FileIdDizDescriptions) {
    Disk.WriteFile("diz/file_id.diz", "\r\n   \r\nFirst line\r\n\r\nThird line\r\n");
    Disk.WriteFile("diz/docs/FILE_ID.DIZ", "not this one\r\n");
    Disk.WriteFile("diz/A.TXT", "a\n");
    Shell("cd diz && zip -q -r ../D.ZIP file_id.diz A.TXT docs && zip -q -r ../SUB.ZIP A.TXT docs");
    Shell("echo 'zip comment' | zip -q -z D.ZIP");

    ReadFileIdDiz(Run, Args("D.ZIP"), false, true);
    EXPECT_EQ(Run.MainArchiveComment, "First line\r\n\r\nThird line");
    const std::string folder = Run.ExtractFolder();
    std::string native;
    ASSERT_TRUE(platform::ResolveExistingPath(folder, native));
    EXPECT_TRUE(std::filesystem::is_empty(native));  // nothing left behind

    // A FILE_ID.DIZ in a folder of the archive is not the archive's description.
    Run.Reset();
    ReadFileIdDiz(Run, Args("SUB.ZIP"), true, true);
    EXPECT_EQ(Run.MainArchiveComment, "");

    // The archive comment is kept unless the description overrides it.
    Run.Reset();
    ReadZipDirectory(Run, Args("D.ZIP"));
    ReadFileIdDiz(Run, Args("D.ZIP"), false, true);
    EXPECT_EQ(Run.MainArchiveComment, "zip comment");
    ReadFileIdDiz(Run, Args("D.ZIP"), true, false);
    EXPECT_EQ(Run.MainArchiveComment, "First line\r\n\r\nThird line");
    // Out of scope nothing is read.
    Run.Reset();
    TArchiveArgs out = Args("D.ZIP");
    out.InScope = false;
    ReadFileIdDiz(Run, out, true, true);
    EXPECT_EQ(Run.MainArchiveComment, "");

    // The run's folder goes with the run.
    {
        TRecordingRun run;
        ReadFileIdDiz(run, Args("D.ZIP"), true, true);
        ASSERT_TRUE(platform::ResolveExistingPath(run.ExtractFolder(), native));
    }
    EXPECT_FALSE(std::filesystem::exists(native));
}

}  // namespace
}  // namespace cataloging
