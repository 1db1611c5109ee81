// The cataloguing run over a fixture disk: a temporary folder mapped as drive D: (with a label and
// serial), the program folder and the catalogs on drive P:. The walk's figures and the entries it
// writes to New (read back in the catalog-update step, just before New is dropped), the scope of a
// start folder, the recycle folder, folders that cannot be read, the entry addition's duplicate
// and over-long handling, the archive questions, the refusals and the counters on screen.

#include "cataloging/testsupport/RunFixture.h"

namespace cataloging {
namespace {

using namespace framework;
using namespace runtest;

// ---- The walk ----

TEST_F(CatalogRunTest, TheWalkCountsTheWholeDiskAndWritesOnlyTheStartFoldersScope) {
    MakeFixtureDisk();
    MakeCatalogRecord();
    struct Case {
        std::string StartFolder;
        bool Recurse, IgnoreRecycleBin;
        int64_t Folders, Files, Bytes;
        V Written;
    };
    const V allButJunk{"\\DOCS\\OLD|NOTES.TXT", "\\DOCS|MANUAL.DOC", "\\DOCSOLD|X.TXT", "\\|BIG.ISO",
                       "\\|MAKEFILE",           "\\|README.TXT"};
    V all = allButJunk;
    all.push_back("\\RECYCLED|JUNK.BAK");
    std::sort(all.begin(), all.end());
    const Case cases[] = {
        {"D:\\", true, true, 4, 6, 5000001019, allButJunk},
        {"D:\\", true, false, 5, 7, 5000001026, all},
        {"D:\\DOCS\\", false, true, 4, 6, 5000001019, {"\\DOCS|MANUAL.DOC"}},
        {"D:\\DOCS\\", true, true, 4, 6, 5000001019, {"\\DOCS\\OLD|NOTES.TXT", "\\DOCS|MANUAL.DOC"}},
        // Without its final backslash and in another spelling: the same folder.
        {"d:\\docs", true, true, 4, 6, 5000001019, {"\\DOCS\\OLD|NOTES.TXT", "\\DOCS|MANUAL.DOC"}},
        {"D:\\DOCS\\OLD\\", false, true, 4, 6, 5000001019, {"\\DOCS\\OLD|NOTES.TXT"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.StartFolder + (c.Recurse ? " recurse" : "") + (c.IgnoreRecycleBin ? " ignore" : ""));
        TRecordingRun& f = RunForm(c.StartFolder, c.Recurse, c.IgnoreRecycleBin);
        catalog::StopRequested = false;
        EXPECT_TRUE(f.CatalogDisk());
        EXPECT_TRUE(f.Updated);
        EXPECT_EQ(f.Spec.FoldersScanned, c.Folders);
        EXPECT_EQ(f.Spec.FilesOnDiskScanned, c.Files);
        EXPECT_EQ(f.Spec.BytesInFilesOnDisk, c.Bytes);
        V expected = c.Written;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(Names(f.Rows), expected);
        EXPECT_EQ(f.Spec.ToBeCataloged, int64_t(c.Written.size()));
        EXPECT_FALSE(NewExists(false)) << "New is dropped at the end of the run";
        EXPECT_TRUE(Messages().empty());
        Form->Free();
        Form = nullptr;
    }
}

TEST_F(CatalogRunTest, TheEntriesWrittenCarryTheFilesFiguresAndTheCountersShowThem) {
    MakeFixtureDisk();
    MakeCatalogRecord();
    TRecordingRun& f = RunForm("D:\\", true, true);
    ASSERT_TRUE(f.CatalogDisk());
    std::map<std::string, TRow> byName;
    for (const TRow& r : f.Rows) byName[r.FileName] = r;
    const TRow& readme = byName["README.TXT"];
    EXPECT_EQ(readme.FolderName, "\\");
    EXPECT_EQ(readme.ArchiveID, "");
    EXPECT_EQ(readme.FileSize, "10");
    EXPECT_EQ(readme.Attribute & 1, 1) << "read-only";
    EXPECT_EQ(readme.Date, EncodeDate(2024, 3, 5));
    EXPECT_NEAR(readme.Time, EncodeTime(10, 20, 30, 0), 1e-9);
    EXPECT_TRUE(readme.Tagged);
    EXPECT_EQ(byName["MAKEFILE"].Attribute & 1, 0);
    EXPECT_EQ(byName["BIG.ISO"].FileSize, "5000000000");
    EXPECT_EQ(byName["NOTES.TXT"].FolderName, "\\DOCS\\OLD");
    EXPECT_EQ(f.Spec.BytesInToBeCataloged, 5000001019);
    EXPECT_EQ(f.Spec.LongestFileName, 10);
    EXPECT_EQ(f.Spec.LongestFolderName, 9);
    EXPECT_GT(f.Spec.FileNamePixels, 30);

    EXPECT_EQ(f.BytesInFilesOnDiskPanel->Caption(), "5,000,001,019 ");
    EXPECT_EQ(f.FoldersScannedPanel->Caption(), "4 ");
    EXPECT_EQ(f.FilesOnDiskScannedPanel->Caption(), "6 ");
    EXPECT_EQ(f.LongestFileNamePanel->Caption(), "10 ");
    EXPECT_EQ(f.MainOperationPanel->Caption(), "Catalog Update Completed");
    EXPECT_EQ(f.MainOperationLabel->Caption(), "");
    EXPECT_FALSE(f.ArchiveNamePanel->Visible());
}

TEST_F(CatalogRunTest, SpecsDecideWhatIsWrittenAndANoFilesRunAsksFirst) {
    MakeFixtureDisk();
    MakeCatalogRecord();
    catalog::IncludeSpecs[0] = "*.TXT";
    catalog::ExcludeSpecs[0] = "\\DOCS\\*";
    {
        TRecordingRun& f = RunForm("D:\\", true, true);
        ASSERT_TRUE(f.CatalogDisk());
        EXPECT_EQ(Names(f.Rows), (V{"\\DOCSOLD|X.TXT", "\\|README.TXT"}));
        EXPECT_EQ(f.Spec.FilesOnDiskScanned, 6);
        Form->Free();
        Form = nullptr;
    }
    catalog::IncludeSpecs[0] = "*.NONE";
    for (const int answer : {mrNo, mrYes}) {
        SCOPED_TRACE(answer);
        Driver.Shown.clear();
        TRecordingRun& f = NewForm();
        f.Spec.DriveLetter = 'D';
        f.Spec.StartFolder = "D:\\";
        f.Spec.Recurse = true;
        catalog::StopRequested = false;
        Driver.Answer(answer);
        EXPECT_EQ(f.CatalogDisk(), answer == mrYes);
        EXPECT_EQ(Messages(),
                  (V{"There Were No Files Passing Your Include/Exclude Specs Found On This Disk - "
                     "Catalog It As Having No Files Anyway?"}));
        EXPECT_EQ(f.Updated, answer == mrYes);
        EXPECT_FALSE(NewExists(false));
        Form->Free();
        Form = nullptr;
    }
}

TEST_F(CatalogRunTest, AFolderThatCannotBeReadIsCountedAndNamedButTheWalkGoesOn) {
    MakeFixtureDisk();
    MakeCatalogRecord();
    platform::TScopedFileFault denied(
        [&](platform::TFileOperation op, const std::string& path, int64_t, uint32_t) {
            if (op == platform::TFileOperation::Search && path == Disk / "DOCS")
                return platform::TFileFault{platform::ERROR_ACCESS_DENIED};
            return platform::TFileFault{};
        });
    TRecordingRun& f = RunForm("D:\\", true, true);
    EXPECT_TRUE(f.CatalogDisk());
    EXPECT_EQ(Names(f.Rows), (V{"\\DOCSOLD|X.TXT", "\\|BIG.ISO", "\\|MAKEFILE", "\\|README.TXT"}));
    EXPECT_EQ(f.Spec.FoldersScanned, 3);  // \DOCS counted, \DOCS\OLD never seen
    EXPECT_EQ(f.Spec.UnreadableFolderCount, 1);
    EXPECT_EQ(Messages(), (V{"Korvane Could Not Read 1 Folder(s) On This Disk:\r\nD:\\DOCS\\\r\n\r\n"
                             "Their Entries Already In The Catalog Are Kept As They Were."}));
    ASSERT_EQ(Driver.Shown.size(), 1u);
    EXPECT_EQ(Driver.Shown[0].DlgType, mtWarning);
    EXPECT_TRUE(platform::BeepHistory().empty()) << "the warning comes without a beep";
}

TEST_F(CatalogRunTest, OnlyTenUnreadableFoldersAreListed) {
    for (int i = 0; i < 12; ++i) Disk.MakeFolder("F" + std::to_string(100 + i));
    platform::TScopedFileFault denied(
        [](platform::TFileOperation op, const std::string& path, int64_t, uint32_t) {
            return op == platform::TFileOperation::Search && path.find("/F1") != std::string::npos
                       ? platform::TFileFault{platform::ERROR_ACCESS_DENIED}
                       : platform::TFileFault{};
        });
    TRecordingRun& f = WalkForm();
    f.ScanFolder("D:\\", "*.*");
    EXPECT_EQ(f.Spec.UnreadableFolderCount, 12);
    f.WarnUnreadableFolders();
    const std::string text = Messages().at(0);
    EXPECT_TRUE(text.starts_with("Korvane Could Not Read 12 Folder(s) On This Disk:\r\nD:\\F100\\\r\n"))
        << text;
    EXPECT_NE(text.find("D:\\F109\\\r\n\r\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("F110"), std::string::npos) << text;
}

TEST_F(CatalogRunTest, DeeplyNestedFoldersAreWalked) {
    // The walk recurses once per level, and the innermost folders lie below a native path longer
    // than the native calls take (2,000 levels of "a/" are 4,000 bytes plus the disk's folder).
    constexpr int kLevels = 2000;
    const int disk = ::open(Disk.Path().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(disk, 0);
    int folder = disk;
    for (int i = 0; i < kLevels; ++i) {
        ASSERT_EQ(::mkdirat(folder, "a", 0755), 0) << i;
        const int inner = ::openat(folder, "a", O_PATH | O_DIRECTORY | O_CLOEXEC);
        ASSERT_GE(inner, 0) << i;
        if (folder != disk) ::close(folder);
        folder = inner;
    }
    ASSERT_EQ(::mkdirat(folder, "LAST", 0755), 0);
    if (folder != disk) ::close(folder);
    ::close(disk);
    TRecordingRun& f = WalkForm();
    f.ScanFolder("D:\\", "*.*");
    EXPECT_FALSE(catalog::StopRequested);
    EXPECT_EQ(f.Spec.FoldersScanned, int64_t(kLevels + 2));
    EXPECT_EQ(f.Spec.UnreadableFolderCount, 0);
}

// ---- Entry addition ----

const std::string kDuplicateText =
    "I Have Found A Duplicate File On This Disk.\r\n\r\nFilename = readme.txt\r\nFolder = \\\r\nArchiveID = "
    "\r\n"
    "\r\nThis Usually Means That There Is A Problem On The Disk.  If The Archive ID Is Blank,\r\nIt Means "
    "That "
    "The Problem Is In The Indicated Folder  If The Archive ID Is Not Blank,\r\nIt Means That The Problem Is "
    "In "
    "The Indicated Archive File.\r\n\r\nKorvane Will Ignore Any Duplicate Files Such As This That It "
    "Encounters";

TEST_F(CatalogRunTest, ADuplicateIsNotWrittenAndReportedOncePerRun) {
    TRecordingRun& f = WalkForm();
    const TDateTime day = EncodeDate(2020, 1, 2);
    f.AddNewDataEntry("README.TXT", "\\", "", 10, day, day, 1, "");
    f.AddNewDataEntry("readme.txt", "\\", "", 11, day, day, 1, "");
    f.AddNewDataEntry("Readme.Txt", "\\", "", 12, day, day, 1, "");
    f.AddNewDataEntry("README.TXT", "\\DOCS", "", 13, day, day, 1, "");      // another folder
    f.AddNewDataEntry("README.TXT", "\\", "PACK.ZIP", 14, day, day, 1, "");  // inside an archive
    EXPECT_EQ(Messages(), V{kDuplicateText});
    EXPECT_EQ(platform::BeepHistory(), (std::vector<uint32_t>{platform::MB_ICONHAND}));
    EXPECT_EQ(f.Spec.ToBeCataloged, 3);
    EXPECT_EQ(f.Spec.BytesInToBeCataloged, 37);
    EXPECT_EQ(ReadRows(*f.NewDataTable).size(), 3u);
}

TEST_F(CatalogRunTest, AnOverLongFolderShortenedOnceIsShortenedAgainWithoutAsking) {
    TRecordingRun& f = WalkForm();
    const std::string longFolder = "\\" + std::string(229, 'F');
    const std::string otherLong = "\\" + std::string(229, 'G');
    const std::string longArchive = std::string(116, 'A') + ".ZIP";
    Driver.AnswerWith([](TCustomForm& Dialog) {
        auto& d = dynamic_cast<TCatalogProgressBadEntryForm&>(Dialog);
        EXPECT_EQ(d.Caption(), "File Record Exceeds Korvane's Capacity");
        EXPECT_TRUE(d.FileNameLabel->Visible());
        EXPECT_FALSE(d.EditFileName->Visible());
        EXPECT_TRUE(d.EditFolderName->Visible());
        EXPECT_EQ(d.FolderNameLength->Caption(), "(230)");
        EXPECT_FALSE(d.UseModBtn->Enabled());
        d.EditFolderName->SetText("\\SHORT");
        EXPECT_EQ(d.FolderNameLength->Caption(), "(6)");
        EXPECT_TRUE(d.UseModBtn->Enabled());
        d.UseModBtn->Click();
    });
    f.AddNewDataEntry("A.TXT", longFolder, "", 1, 0, 0, 0, "");
    f.AddNewDataEntry("B.TXT", longFolder, "", 1, 0, 0, 0, "");
    EXPECT_EQ(Driver.Shown.size(), 1u);
    Driver.Answer(mrNo);  // another over-long folder asks again: skipped
    f.AddNewDataEntry("C.TXT", otherLong, "", 1, 0, 0, 0, "");
    EXPECT_EQ(Driver.Shown.size(), 2u);
    // An archive name shortened once serves its other members.
    Driver.AnswerWith([](TCustomForm& Dialog) {
        auto& d = dynamic_cast<TCatalogProgressBadEntryForm&>(Dialog);
        EXPECT_TRUE(d.EditArchiveID->Visible());
        EXPECT_FALSE(d.EditFolderName->Visible());
        d.EditArchiveID->SetText("LONG.ZIP");
        d.UseModBtn->Click();
    });
    f.AddNewDataEntry("M1", "\\", longArchive, 1, 0, 0, 0, "");
    f.AddNewDataEntry("M2", "\\", longArchive, 1, 0, 0, 0, "");
    EXPECT_EQ(Driver.Shown.size(), 3u);
    V written;
    for (const TRow& r : ReadRows(*f.NewDataTable))
        written.push_back(r.FolderName + "|" + r.ArchiveID + "|" + r.FileName);
    std::sort(written.begin(), written.end());
    EXPECT_EQ(written, (V{"\\SHORT||A.TXT", "\\SHORT||B.TXT", "\\|LONG.ZIP|M1", "\\|LONG.ZIP|M2"}));
}

TEST_F(CatalogRunTest, TheAnswersOfTheOverLongDialog) {
    TRecordingRun& f = WalkForm();
    const std::string longName = std::string(201, 'N');
    Driver.Answer(mrNoToAll);  // Skip All Bad Ones
    f.AddNewDataEntry(longName, "\\", "", 1, 0, 0, 0, "");
    f.AddNewDataEntry(longName + "2", "\\", "", 1, 0, 0, 0, "");
    f.AddNewDataEntry("FITS.TXT", "\\", "", 1, 0, 0, 0, "");
    EXPECT_EQ(Driver.Shown.size(), 1u) << "later over-long entries are dropped silently";
    EXPECT_EQ(f.Spec.ToBeCataloged, 1);
    EXPECT_FALSE(catalog::StopRequested);

    f.Spec.SkipAllBad = false;
    Driver.Answer(mrAbort);
    f.AddNewDataEntry(longName, "\\", "", 1, 0, 0, 0, "");
    EXPECT_TRUE(catalog::StopRequested);
    EXPECT_EQ(f.Spec.ToBeCataloged, 1);
}

TEST_F(CatalogRunTest, NegativeSizesAndStatsOnlyRunsMoveNothing) {
    TRecordingRun& f = WalkForm();
    f.AddNewDataEntry("A.TXT", "\\", "", -1, 0, 0, 0, "");
    f.Spec.StatsOnly = true;
    f.AddNewDataEntry("B.TXT", "\\", "", 5, 0, 0, 0, "");
    EXPECT_EQ(f.Spec.ToBeCataloged, 0);
    EXPECT_EQ(f.Spec.BytesInToBeCataloged, 0);
    EXPECT_EQ(f.Spec.LongestFileName, 0);
    EXPECT_TRUE(ReadRows(*f.NewDataTable).empty());
}

TEST_F(CatalogRunTest, SelectiveCatalogingDecidesTheTag) {
    struct Case {
        bool Selective, Autotag, Tagged;
    };
    for (const Case c : {Case{false, false, true}, Case{true, false, false}, Case{true, true, true}}) {
        TRecordingRun& f = WalkForm();
        f.Spec.SelectiveCataloging = c.Selective;
        f.Spec.SelectiveCatAutotag = c.Autotag;
        f.AddNewDataEntry("A.TXT", "\\", "", 1, 0, 0, 0, "");
        EXPECT_EQ(ReadRows(*f.NewDataTable).at(0).Tagged, c.Tagged);
        Form->Free();
        Form = nullptr;
    }
}

TEST_F(CatalogRunTest, AFailedPostStopsTheRunWithTheMemoryOrDiskMessage) {
    TRecordingRun& f = WalkForm();
    f.NewDataTable->BeforePost = [](TDataSet*) { throw EDatabaseError("Disk full"); };
    f.AddNewDataEntry("A.TXT", "\\", "", 1, 0, 0, 0, "");
    EXPECT_TRUE(catalog::StopRequested);
    EXPECT_EQ(
        Messages(),
        (V{"Error Writing Information To Temporary Database - Your Computer's Memory or Disk May Be Full.\r\r"
           "If The \"Keep Temporary Database(s) In Memory\" Option Was Checked, Try Turning It Off.\rIf It "
           "Wasn't Checked, Freeing Up Hard Disk Space May Help Alleviate The Problem."}));
    EXPECT_EQ(f.Spec.ToBeCataloged, 0);
}

TEST_F(CatalogRunTest, TheTemporaryTableThatCannotBeMadeEndsADirectoryScan) {
    TRecordingRun& f = NewForm();
    catalog::ProgramFolder = "P:\\MISSING\\";
    f.Spec.DriveLetter = 'D';
    f.Spec.StartFolder = "D:\\";
    EXPECT_FALSE(f.ScanDiskOnly());
    EXPECT_EQ(Messages(), V{"Error Creating Temporary File For Cataloging Purposes"});
}

TEST_F(CatalogRunTest, ADirectoryOnlyScanKeepsNewAndItsListingFigures) {
    MakeFixtureDisk();
    catalog::IncludeSpecs[0] = "*.NONE";  // not applied to a directory listing
    TRecordingRun& f = NewForm();
    f.Spec.KeepInMemory = true;
    f.Spec.DriveLetter = 'D';
    f.Spec.StartFolder = "D:\\DOCS";
    f.Spec.Recurse = true;
    f.Spec.ColumnChars[6] = 4;  // the caller's starting widths stay
    ASSERT_TRUE(f.ScanDiskOnly());
    EXPECT_TRUE(f.Spec.ScanOnly);
    EXPECT_EQ(Names(ReadRows(*f.NewDataTable)), (V{"\\DOCS\\OLD|NOTES.TXT", "\\DOCS|MANUAL.DOC"}));
    EXPECT_EQ(f.Spec.ListingCounters, (std::array<int64_t, 4>{2, 1005, 0, 0}));
    f.AddNewDataEntry("M", "\\", "   ", 7, 0, 0, 33, "line one\r\nline two");  // blank archive: on disk
    f.AddNewDataEntry("M", "\\", "PACK.ZIP", 9, 0, 0, 0, "");
    EXPECT_EQ(f.Spec.ListingCounters, (std::array<int64_t, 4>{3, 1012, 1, 9}));
    EXPECT_EQ(f.Spec.ColumnChars[0], 10);  // MANUAL.DOC
    EXPECT_EQ(f.Spec.ColumnChars[3], 5);   // "1,000"
    EXPECT_EQ(f.Spec.ColumnChars[6], 4);   // "RA" is narrower than the start
    EXPECT_EQ(f.Spec.ColumnChars[7], 8);   // "line one"
    EXPECT_TRUE(NewExists(true));
    f.DropNewDataTable();
    EXPECT_FALSE(NewExists(true));
}

// ---- Archives ----

TEST_F(CatalogRunTest, ClassifyByExtension) {
    struct Case {
        std::string Name;
        bool AllOn, MultiDisk, Arj;
        int Code;
    };
    const Case cases[] = {
        {"PACK.ZIP", true, false, false, 12},     {"PACK.zip", false, false, false, 0},
        {"OLD.ARC", true, false, false, 1},       {"GAME.PAK", true, false, false, 9},
        {"BACKUP.A01", false, true, true, 2},     {"BACKUP.A01", false, true, false, 0},
        {"BACKUP.A01", false, false, true, 0},    {"BACKUP.AB1", false, true, true, 0},
        {"PHOTO.JPEG", false, false, false, 19},  {"photo.jpg", false, false, false, 18},
        {"SONG.MP3", false, false, false, 20},    {"README", true, false, false, 0},
        {"DIR.ZIP\\FILE", true, false, false, 0}, {"A.B.ZOO", true, false, false, 13},
    };
    for (const Case& c : cases) {
        TCatalogRunSpec spec;
        spec.DoARC = spec.DoCAB = spec.DoDWC = spec.DoHYP = spec.DoLBR = spec.DoLZH = spec.DoLZS =
            spec.DoPAK = spec.DoRAR = spec.DoSQZ = spec.DoZIP = spec.DoZOO = c.AllOn;
        spec.DoARJ = c.AllOn || c.Arj;
        spec.HandleArjMultiDisks = c.MultiDisk;
        EXPECT_EQ(ClassifyByExtension(spec, c.Name), c.Code) << c.Name;
    }
}

TEST_F(CatalogRunTest, TheAnswersOfExpandArchive) {
    struct Case {
        TModalResult Answer;
        bool Result;
        std::string Mode;
        bool Stop;
    };
    const Case cases[] = {
        {mrYes, true, "On Demand", false}, {mrYesToAll, true, "Always", false},
        {mrNo, false, "On Demand", false}, {mrNoToAll, false, "Never", false},
        {mrAbort, false, "Never", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Answer);
        TRecordingRun& f = NewForm();
        f.ExpandMode = "On Demand";
        catalog::StopRequested = false;
        Driver.Shown.clear();
        Driver.Answer(c.Answer);
        EXPECT_EQ(f.ShouldExpandArchive(true, "D:\\GAMES\\", "DOOM.ZIP"), c.Result);
        ASSERT_EQ(Driver.Shown.size(), 1u);
        EXPECT_EQ(Driver.Shown[0].Caption, "Expand Archive?");
        EXPECT_EQ(f.ExpandMode, c.Mode);
        EXPECT_EQ(catalog::StopRequested, c.Stop);
        // Outside the scope nothing is asked.
        f.ExpandMode = "On Demand";
        EXPECT_FALSE(f.ShouldExpandArchive(false, "D:\\GAMES\\", "DOOM.ZIP"));
        EXPECT_EQ(Driver.Shown.size(), 1u);
        Form->Free();
        Form = nullptr;
    }
    TRecordingRun& f = NewForm();
    f.Spec.ConfiguredExpandMode = "Always";
    f.ExpandMode = "Never";
    EXPECT_TRUE(f.ShouldExpandArchive(false, "D:\\", "OUT.ZIP")) << "read, its members only counted";
}

TEST_F(CatalogRunTest, ArchivesAreListedIntoNewAndYesToAllAsksOnlyOnce) {
    for (const char* name : {"A.LZH", "B.LZH", "C.LZH"}) {
        const std::string bytes =
            platform::testsupport::ReadNativeFile(std::string(KORVANE_TESTDATA_DIR) + "/L1.LZH");
        ASSERT_FALSE(bytes.empty());
        Disk.WriteFile(std::string("ARC/") + name, bytes);
    }
    Disk.WriteFile("OUT/D.LZH",
                   platform::testsupport::ReadNativeFile(std::string(KORVANE_TESTDATA_DIR) + "/L1.LZH"));
    TRecordingRun& f = WalkForm();
    f.Spec.StartFolder = "D:\\ARC\\";
    f.Spec.DoLZH = true;
    f.ExpandMode = f.Spec.ConfiguredExpandMode = "On Demand";
    Driver.Answer(mrYesToAll);
    f.ScanFolder("D:\\", "*.*");
    EXPECT_EQ(Driver.Shown.size(), 1u);
    ASSERT_GT(f.ArchiveFileCount, 0);
    const int64_t perArchive = f.ArchiveFileCount / 3;
    EXPECT_EQ(f.ArchiveFileCount, 3 * perArchive) << "the archive outside the scope is not read";
    const auto rows = ReadRows(*f.NewDataTable);
    EXPECT_EQ(int64_t(rows.size()), 3 + 3 * perArchive);
    EXPECT_EQ(std::count_if(rows.begin(), rows.end(), [](const TRow& r) { return r.ArchiveID == "B.LZH"; }),
              perArchive);
    EXPECT_EQ(f.FilesInArcsScannedPanel->Caption(), std::to_string(3 * perArchive) + " ");
}

TEST_F(CatalogRunTest, AnArchivesMainCommentReachesItsMembersEvenWhenTheArchiveIsExcluded) {
    using testsupport::TMember;
    const auto arj = testsupport::ArjArchive("archive comment",
                                             {TMember{"A.TXT", 5, 1}, TMember{"B.TXT", 6, 1, 0, "own"}});
    Disk.WriteFile("PACK.ARJ", std::string(arj.begin(), arj.end()));
    // A member of another archive in the same folder keeps its empty comment.
    Disk.WriteFile("OTHER.ARJ", [] {
        const auto bytes = testsupport::ArjArchive("", {TMember{"C.TXT", 1, 1}});
        return std::string(bytes.begin(), bytes.end());
    }());
    catalog::ExcludeSpecs[0] = "*.ARJ";
    TRecordingRun& f = WalkForm();
    f.Spec.DoARJ = true;
    f.Spec.CopyMainComment = true;
    f.ExpandMode = f.Spec.ConfiguredExpandMode = "Always";
    f.ScanFolder("D:\\", "*.*");
    std::map<std::string, std::string> comments;
    for (const TRow& r : ReadRows(*f.NewDataTable)) comments[r.ArchiveID + "|" + r.FileName] = r.Comment;
    EXPECT_EQ(comments, (std::map<std::string, std::string>{{"PACK.ARJ|A.TXT", "archive comment"},
                                                            {"PACK.ARJ|B.TXT", "own"},
                                                            {"OTHER.ARJ|C.TXT", ""}}));
    EXPECT_EQ(f.ArchiveFileCount, 3);
}

TEST_F(CatalogRunTest, TheEntryPointRunsTheWholeSequenceForItsCaller) {
    MakeFixtureDisk();
    MakeCatalogRecord();
    catalog::TCatalogStore().OpenCatalog(true);  // the catalog's three tables
    auto* caller = TCustomForm::Create<TForm>(Application);
    caller->Show();
    bool disabledDuringRun = false;
    TCatalogRunRequest request;
    request.Fields.DriveLetter = 'd';
    request.Fields.StartFolder = "D:\\DOCS";
    request.Fields.Recurse = true;
    request.PauseAfter = false;
    catalog::StopRequested = true;  // left over from an earlier run
    // The run's window is found among the application's forms while it runs.
    const auto previous = SetTickCountSource([&] {
        disabledDuringRun = disabledDuringRun || !caller->Enabled();
        return Driver.Now();
    });
    EXPECT_TRUE(RunCatalogDisk(request, caller));
    SetTickCountSource(previous);
    EXPECT_TRUE(disabledDuringRun);
    EXPECT_TRUE(caller->Enabled());
    EXPECT_FALSE(NewExists(false));
    EXPECT_EQ(catalog::LastCatalogedLabel.Text(), "BACKUP01") << "the volume went into the catalog";
    caller->Free();
}

// ---- Refusals and stopping ----

TEST_F(CatalogRunTest, CatalogDiskRefusesWithoutACatalogOrItsRecord) {
    {
        catalog::CurrentCatalogName = "  ";
        TRecordingRun& f = NewForm();
        f.Spec.DriveLetter = 'D';
        EXPECT_FALSE(f.CatalogDisk());
        EXPECT_EQ(Messages(), V{"Please Select A Catalog First"});
        EXPECT_EQ(f.FoldersScannedPanel->Caption(), "") << "no figure changes";
        Form->Free();
        Form = nullptr;
    }
    catalog::CurrentCatalogName = "Games";
    MakeCatalogRecord();
    catalog::TCatalogStore store;
    store.OpenCatalog(true);  // the catalog's three tables
    catalog::CurrentCatalogName = "Other";
    std::map<std::string, std::string> before;
    for (const auto& e : std::filesystem::directory_iterator(Program.Path()))
        before[e.path().filename()] = platform::testsupport::ReadNativeFile(e.path());
    Driver.Shown.clear();
    platform::ClearBeepHistory();
    TRecordingRun& f = NewForm();
    f.Spec.DriveLetter = 'D';
    EXPECT_FALSE(f.CatalogDisk());
    EXPECT_EQ(Messages(), V{"Cannot Find A Configuration Record For This Catalog On File"});
    EXPECT_EQ(platform::BeepHistory(), (std::vector<uint32_t>{platform::MB_ICONHAND}));
    std::map<std::string, std::string> after;
    for (const auto& e : std::filesystem::directory_iterator(Program.Path()))
        after[e.path().filename()] = platform::testsupport::ReadNativeFile(e.path());
    EXPECT_EQ(after, before);
}

TEST_F(CatalogRunTest, AbortDuringTheWalkDropsNewAndGivesFalse) {
    for (int i = 0; i < 30; ++i) Disk.WriteFile("F" + std::to_string(i) + "/A.TXT", "a");
    MakeCatalogRecord();
    TRecordingRun& f = NewForm();
    f.Spec.DriveLetter = 'D';
    f.Spec.StartFolder = "D:\\";
    f.Spec.Recurse = true;
    // Time passes while the run handles its messages; at the first tick of the window's timer the
    // user presses Abort.
    int walked = 0;
    f.OnPump = [&] {
        Driver.Advance(100);
        if (f.Spec.TimerTick && walked == 0) {
            walked = int(f.Spec.FoldersScanned);
            Driver.Click(*f.AbortBtn);
        }
    };
    const bool result = f.CatalogDisk();
    EXPECT_FALSE(result);
    EXPECT_TRUE(catalog::StopRequested);
    EXPECT_GT(walked, 1);
    EXPECT_LT(f.Spec.FoldersScanned, 31) << "the walk stopped";
    EXPECT_FALSE(f.Updated);
    EXPECT_FALSE(NewExists(false));
    EXPECT_TRUE(Messages().empty());
}

// ---- The window ----

TEST_F(CatalogRunTest, CountersRefreshOncePerTickNotPerEntry) {
    TRecordingRun& f = WalkForm();
    f.ShowScanCounters();
    for (int i = 0; i < 3; ++i) f.AddNewDataEntry("F" + std::to_string(i), "\\", "", 100, 0, 0, 0, "");
    EXPECT_EQ(f.ToBeCatalogedScannedPanel->Caption(), "0 ");
    Driver.Advance(1000);
    EXPECT_TRUE(f.Spec.TimerTick);
    f.AddNewDataEntry("F3", "\\", "", 100, 0, 0, 0, "");
    EXPECT_EQ(f.ToBeCatalogedScannedPanel->Caption(), "4 ");
    EXPECT_EQ(f.BytesInToBeCatalogedPanel->Caption(), "400 ");
    EXPECT_FALSE(f.Spec.TimerTick);
    f.AddNewDataEntry("F4", "\\", "", 100, 0, 0, 0, "");
    EXPECT_EQ(f.ToBeCatalogedScannedPanel->Caption(), "4 ");
}

TEST_F(CatalogRunTest, TheWindowIsDrawn) {
    MakeFixtureDisk();
    TRecordingRun& f = WalkForm();
    f.ScanFolder("D:\\", "*.*");
    f.AddNewDataEntry(std::string(120, 'L') + ".TXT", "\\" + std::string(60, 'D'), std::string(45, 'Z'), 1, 0,
                      0, 0, "");
    f.ShowScanCounters();
    f.MainOperationPanel->SetCaption(" D:\\DOCS\\OLD\\");
    f.ArchiveNamePanel->SetCaption(" PACK.ZIP");
    Driver.RunPending();
    EXPECT_EQ(f.ClientWidth(), 614);
    EXPECT_EQ(f.ClientHeight(), 413);
    EXPECT_EQ(f.LongestFileNameMeter->Percent(), 62);  // 124 of 200
    EXPECT_EQ(f.LongestArchiveNameMeter->Percent(), 50);
    const char* png = std::getenv("KORVANE_GRAB");
    EXPECT_TRUE(Driver.Grab(f, png ? png : (Disk / "run.png")));
}

}  // namespace
}  // namespace cataloging
