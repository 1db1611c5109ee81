// Whole cataloguing runs into a real catalog over the fixture disk: the volume record, the entries
// merged into the catalog table, the last label and the activity log; re-cataloguing (added,
// updated, removed, what the catalog keeps), a second volume left alone, "Stats Only", the naming
// of a volume (label dialog, alias, already catalogued), the field-size check and a post failure
// in the middle of the merge.

#include <gtest/gtest.h>

#include <optional>

#include "catalog/CatalogSizeForms.h"
#include "cataloging/testsupport/RunFixture.h"
#include "cataloging/volume/VolumeForms.h"
#include "framework/stdctrls/Buttons.h"
#include "framework/stdctrls/FileCtrl.h"
#include "framework/stdctrls/Label.h"

namespace cataloging {
namespace {

using namespace framework;
using namespace runtest;

// A real run, with a look at New just before the catalog is updated.
class TUpdatingRun : public TCatalogProgressForm {
public:
    using TCatalogProgressForm::TCatalogProgressForm;
    std::function<void(TCatalogProgressForm&)> BeforeUpdate;
    void UpdateCatalog() override {
        if (BeforeUpdate) BeforeUpdate(*this);
        TCatalogProgressForm::UpdateCatalog();
    }
};

class CatalogUpdateTest : public CatalogRunTest {
protected:
    TClockFunc SavedClock;
    std::string Figures = "|size=1457664|cluster=512|free=1200128";

    void SetUp() override {
        CatalogRunTest::SetUp();
        SavedClock = SetClock([] { return EncodeDate(2003, 9, 15) + EncodeTime(10, 30, 0, 0); });
        MapDrives("label=BACKUP01");
    }
    void TearDown() override {
        SetClock(SavedClock);
        CatalogRunTest::TearDown();
    }
    // D: is the fixture disk with the given label attributes and the disk figures; E: a second disk.
    TTempFolder Second;
    void MapDrives(const std::string& LabelAttributes) {
        Drives.reset();
        Drives = std::make_unique<TScopedDrives>("D=" + Disk.Path() + "|" + LabelAttributes +
                                                 "|serial=1A2B3C4D" + Figures + ";E=" + Second.Path() +
                                                 "|label=OTHER|serial=0000BEEF;P=" + Program.Path());
    }
    void MakeCatalog() {
        MakeCatalogRecord();
        catalog::TCatalogStore().OpenCatalog(true);
        SetOption("KeepActivityLog", "True");
        SetOption("WarnIfExists", "False");
    }
    void SetOption(const std::string& Name, const std::string& Value) { SetCatalogOption(Name, Value); }
    std::string Option(const std::string& Name) {
        dbsql::TDbTable t(nullptr);
        t.SetDatabaseName("P:\\");
        t.SetTableName("CatalogConfigs");
        t.Open();
        EXPECT_TRUE(t.FindKey({Variant(std::string("Games"))}));
        return t.FieldByName(Name)->AsString();
    }
    // The rows of a table of drive P: in its primary order, the fields joined by "|".
    static V Rows(const std::string& Table, const std::vector<std::string>& Fields) {
        dbsql::TDbTable t(nullptr);
        t.SetDatabaseName("P:\\");
        t.SetTableName(Table);
        t.Open();
        V out;
        for (t.First(); !t.Eof(); t.Next()) {
            std::string row;
            for (const std::string& f : Fields)
                row += (row.empty() ? "" : "|") + t.FieldByName(f)->AsString();
            out.push_back(row);
        }
        return out;
    }
    static V Entries(const std::string& Volume) {
        V out;
        for (const std::string& r :
             Rows("Games_CAT", {"VolumeLabel", "FolderName", "FileName", "CategoryCode", "Comment"}))
            if (r.starts_with(Volume + "|")) out.push_back(r.substr(Volume.size() + 1));
        return Sorted(out);
    }
    static V Sorted(V Values) {
        std::sort(Values.begin(), Values.end());
        return Values;
    }
    // Runs CatalogDisk over a drive in a fresh window; the window's counters stay readable in Last.
    struct TLast {
        int64_t Added = -1, Updated = -1, Removed = -1;
        std::map<std::string, std::string> Panels;
    } Last;
    bool Run(char Drive = 'D', std::function<void(TUpdatingRun&)> Prepare = {}) {
        auto* f = TCustomForm::Create<TUpdatingRun>(Application);
        f->SetCaption(std::string("Cataloging Disk In Drive ") + Drive);
        f->Show();
        f->Spec.DriveLetter = Drive;
        f->Spec.StartFolder = std::string(1, Drive) + ":\\";
        f->Spec.Recurse = true;
        f->Spec.IgnoreRecycleBin = true;
        if (Prepare) Prepare(*f);
        catalog::StopRequested = false;
        bool result = false;
        try {
            result = f->CatalogDisk();
        } catch (...) {
            Last = {f->Added, f->Updated, f->Removed, {}};
            f->Free();
            throw;
        }
        Last = {f->Added, f->Updated, f->Removed, {}};
        for (TPanel* p : {f->VolumeIDPanel, f->SerialNoPanel, f->DiskSizePanel, f->DiskFreePanel,
                          f->DiskClusterSizePanel, f->AddedPanel, f->UpdatedPanel, f->RemovedPanel})
            Last.Panels[p->Name()] = p->Caption();
        f->Free();
        Driver.RunPending();
        return result;
    }
    static const V SumFields;
};

const V CatalogUpdateTest::SumFields = {"CatalogVolumeLabel", "ActualVolumeLabel", "SerialNumber",
                                        "DateFirstCataloged", "DateLastCataloged", "DiskSize",
                                        "DiskClusterSize",    "DiskUsed",          "DiskFree",
                                        "FilesOnDisk",        "FilesInArchives",   "CatalogedFrom"};

std::string Sql(TDateTime D) {
    return FormatDateTime("yyyy-mm-dd", D);
}

// ---- A first run and a second one ----

TEST_F(CatalogUpdateTest, SerialNumbersWithTheTopBitSetAreCataloguedAndReadBack) {
    MakeFixtureDisk();
    MakeCatalog();
    Drives.reset();
    Drives = std::make_unique<TScopedDrives>("D=" + Disk.Path() + "|label=BACKUP01|serial=C0FFEE01" +
                                             Figures + ";P=" + Program.Path());
    ASSERT_TRUE(Run());
    dbsql::TDbTable sum(nullptr);
    sum.SetDatabaseName("P:\\");
    sum.SetTableName("Games_SUM");
    sum.Open();
    ASSERT_EQ(sum.RecordCount(), 1);
    EXPECT_EQ(static_cast<uint32_t>(sum.FieldByName("SerialNumber")->AsInteger()), 0xC0FFEE01u);
}

TEST_F(CatalogUpdateTest, AFirstRunWritesTheVolumeItsEntriesTheLastLabelAndTheLog) {
    MakeFixtureDisk();
    MakeCatalog();
    ASSERT_TRUE(Run());
    dbsql::TDbTable sum(nullptr);
    sum.SetDatabaseName("P:\\");
    sum.SetTableName("Games_SUM");
    sum.Open();
    ASSERT_EQ(sum.RecordCount(), 1);
    const struct {
        const char* Field;
        std::string Value;
    } expected[] = {{"CatalogVolumeLabel", "BACKUP01"},
                    {"ActualVolumeLabel", "BACKUP01"},
                    {"SerialNumber", "439041101"},
                    {"DiskSize", "1457664"},
                    {"DiskClusterSize", "512"},
                    {"DiskUsed", "5000001019"},
                    {"DiskFree", "1200128"},
                    {"FilesOnDisk", "6"},
                    {"FilesInArchives", "0"},
                    {"CatalogedFrom", "D"}};
    for (const auto& e : expected) EXPECT_EQ(sum.FieldByName(e.Field)->AsString(), e.Value) << e.Field;
    EXPECT_EQ(Sql(sum.FieldByName("DateFirstCataloged")->AsDateTime()), "2003-09-15");
    EXPECT_EQ(Sql(sum.FieldByName("DateLastCataloged")->AsDateTime()), "2003-09-15");

    const V entries = Rows("Games_CAT", {"VolumeLabel", "CategoryCode", "Tag"});
    ASSERT_EQ(entries.size(), 6u);
    V tags;
    for (const std::string& r : entries) {
        EXPECT_TRUE(r.starts_with("BACKUP01||")) << r;
        tags.push_back(r.substr(r.rfind('|') + 1));
    }
    std::sort(tags.begin(), tags.end());
    EXPECT_EQ(tags, (V{"1", "2", "3", "4", "5", "6"}));
    EXPECT_EQ(Entries("BACKUP01"),
              Sorted({"\\DOCS\\OLD|NOTES.TXT||", "\\DOCS|MANUAL.DOC||", "\\DOCSOLD|X.TXT||", "\\|BIG.ISO||",
                      "\\|MAKEFILE||", "\\|README.TXT||"}));
    EXPECT_EQ(Option("LastVolumeLabel"), "BACKUP01");
    EXPECT_EQ(catalog::LastCatalogedLabel.Text(), "BACKUP01");
    EXPECT_EQ(Rows("Games_LOG", {"Operation"}), V{"CATALOGED: Volume ID = \"BACKUP01\" From Drive D:"});
    EXPECT_EQ(Last.Added, 6);
    EXPECT_EQ(Last.Panels["VolumeIDPanel"], " BACKUP01");
    EXPECT_EQ(Last.Panels["SerialNoPanel"], " 1A2B-3C4D");
    EXPECT_EQ(Last.Panels["DiskSizePanel"], "1,457,664 ");
    EXPECT_EQ(Last.Panels["DiskFreePanel"], "1,200,128 ");
    EXPECT_EQ(Last.Panels["DiskClusterSizePanel"], "512 ");
    EXPECT_EQ(Last.Panels["AddedPanel"], "6");
    EXPECT_TRUE(Messages().empty());
}

TEST_F(CatalogUpdateTest, ADirectoryOnlyScanShowsFiguresItCannotReadAsUndetermined) {
    Drives.reset();
    Drives = std::make_unique<TScopedDrives>("D=" + Disk.Path() + "/missing;P=" + Program.Path());
    TRecordingRun& f = NewForm();
    f.Spec.KeepInMemory = true;
    f.Spec.DriveLetter = 'D';
    f.Spec.StartFolder = "D:\\";
    f.Spec.ScanOnly = true;
    EXPECT_TRUE(f.ReadVolumeInfo());
    EXPECT_TRUE(Messages().empty()) << "no dialog in a listing";
    EXPECT_EQ(f.Spec.CatalogLabel, "");
    EXPECT_EQ(f.VolumeIDPanel->Caption(), " ");
    EXPECT_EQ(f.SerialNoPanel->Caption(), " 0000-0000");
    EXPECT_EQ(f.DiskSizePanel->Caption(), "Undetermined ");
    EXPECT_EQ(f.DiskFreePanel->Caption(), "Undetermined ");
    EXPECT_EQ(f.DiskClusterSizePanel->Caption(), "Undetermined ");
}

TEST_F(CatalogUpdateTest, ReCataloguingAddsUpdatesRemovesAndKeepsWhatTheCatalogAlone) {
    MakeFixtureDisk();
    // The same files on a second disk, catalogued first.
    for (const char* name :
         {"README.TXT", "MAKEFILE", "DOCS/MANUAL.DOC", "DOCS/OLD/NOTES.TXT", "DOCSOLD/X.TXT"})
        Second.WriteFile(name, "same");
    MakeCatalog();
    ASSERT_TRUE(Run('E'));
    ASSERT_TRUE(Run('D'));
    const V other = Rows("Games_CAT", {"VolumeLabel", "FolderName", "FileName", "FileSize", "Tag"});
    {
        dbsql::TDbTable cat(nullptr);
        cat.SetDatabaseName("P:\\");
        cat.SetTableName("Games_CAT");
        cat.Open();
        ASSERT_TRUE(cat.FindKey({Variant(std::string("README.TXT")), Variant(std::string("BACKUP01")),
                                 Variant(std::string("\\")), Variant(std::string())}));
        cat.Edit();
        cat.FieldByName("CategoryCode")->SetAsString("DOC");
        cat.FieldByName("Comment")->SetAsString("kept");
        cat.Post();
    }
    std::filesystem::remove(Disk / "MAKEFILE");
    Disk.WriteFile("NEW.TXT", "new");
    std::filesystem::rename(Disk / "README.TXT", Disk / "readme.txt");
    SetStamp(Disk / "readme.txt", 2025, 1, 2, 3, 4, 5);

    // Comments from the disk: a blank one never replaces the catalog's; a non-blank one only with
    // CommentOverrideFromDisk. Every round runs over the same disk; the merge writes its steps in
    // batches of the given size (1: each on its own), the first round's additions and removals
    // falling on either side of a batch's end.
    const struct {
        std::string DiskComment, Override, Kept;
        int Batch;
    } rounds[] = {
        {"", "False", "kept", 2},
        {"from disk", "False", "kept", 1000},
        {"", "True", "kept", 1},
        {"from disk", "True", "from disk", 3},
    };
    for (size_t i = 0; i < std::size(rounds); ++i) {
        const auto& round = rounds[i];
        SCOPED_TRACE(round.DiskComment + " " + round.Override);
        SetOption("CommentOverrideFromDisk", round.Override);
        ASSERT_TRUE(Run('D', [&](TUpdatingRun& f) {
            f.MergeBatch = round.Batch;
            f.BeforeUpdate = [&](TCatalogProgressForm& r) {
                dbsql::TDbTable& fresh = *r.NewDataTable;
                for (fresh.First(); !fresh.Eof(); fresh.Next())
                    if (fresh.FieldByName("FileName")->AsString() == "readme.txt") {
                        fresh.Edit();
                        fresh.FieldByName("Comment")->SetAsString(round.DiskComment);
                        fresh.Post();
                    }
            };
        }));
        if (i == 0) {
            EXPECT_EQ(Last.Added, 1);
            EXPECT_EQ(Last.Updated, 5);
            EXPECT_EQ(Last.Removed, 1);
            EXPECT_EQ(Last.Panels["UpdatedPanel"], "5");
        } else {
            EXPECT_EQ(Last.Added, 0);
            EXPECT_EQ(Last.Updated, 6) << "an unchanged entry counts as updated";
            EXPECT_EQ(Last.Removed, 0);
        }
        EXPECT_EQ(Entries("BACKUP01"),
                  Sorted({"\\DOCS\\OLD|NOTES.TXT||", "\\DOCS|MANUAL.DOC||", "\\DOCSOLD|X.TXT||",
                          "\\|BIG.ISO||", "\\|NEW.TXT||", "\\|README.TXT|DOC|" + round.Kept}));
    }
    // The entry kept its spelling and took the disk's figures.
    dbsql::TDbTable cat(nullptr);
    cat.SetDatabaseName("P:\\");
    cat.SetTableName("Games_CAT");
    cat.Open();
    ASSERT_TRUE(cat.FindKey({Variant(std::string("readme.txt")), Variant(std::string("BACKUP01")),
                             Variant(std::string("\\")), Variant(std::string())}));
    EXPECT_EQ(cat.FieldByName("FileName")->AsString(), "README.TXT");
    EXPECT_EQ(cat.FieldByName("DateModified")->AsDateTime(), EncodeDate(2025, 1, 2));
    // The other volume's entries are exactly as they were.
    V otherNow;
    for (const std::string& r :
         Rows("Games_CAT", {"VolumeLabel", "FolderName", "FileName", "FileSize", "Tag"}))
        if (r.starts_with("OTHER|")) otherNow.push_back(r);
    V otherBefore;
    for (const std::string& r : other)
        if (r.starts_with("OTHER|")) otherBefore.push_back(r);
    EXPECT_EQ(otherNow.size(), 5u);
    EXPECT_EQ(otherNow, otherBefore);
    const V log = Rows("Games_LOG", {"Operation"});
    EXPECT_EQ(log.back(), "RECATALOGED: Volume ID = \"BACKUP01\" From Drive D:");
    EXPECT_EQ(Rows("Games_SUM", {"CatalogVolumeLabel", "FilesOnDisk"}), (V{"BACKUP01|6", "OTHER|5"}));
}

TEST_F(CatalogUpdateTest, AnElevenCharacterLabelCutsTheLogTextAndStatsOnlyEmptiesTheVolume) {
    MakeFixtureDisk();
    MapDrives("label=ABCDEFGHIJK");
    MakeCatalog();
    ASSERT_TRUE(Run());
    ASSERT_TRUE(Run());
    const V log = Rows("Games_LOG", {"Operation"});
    ASSERT_EQ(log.size(), 2u);
    // Cut to the field's 50 characters, which end in a blank; a string field keeps no trailing blank.
    EXPECT_EQ(log[1], "RECATALOGED: Volume ID = \"ABCDEFGHIJK\" From Drive");
    EXPECT_EQ(Entries("ABCDEFGHIJK").size(), 6u);

    // Stats only: fresh figures, no entries.
    SetClock([] { return EncodeDate(2003, 10, 1); });
    std::filesystem::remove(Disk / "MAKEFILE");
    ASSERT_TRUE(Run('D', [](TUpdatingRun& f) { f.Spec.StatsOnly = true; }));
    EXPECT_EQ(Last.Removed, 6);
    EXPECT_TRUE(Entries("ABCDEFGHIJK").empty());
    EXPECT_EQ(
        Rows("Games_SUM", {"CatalogVolumeLabel", "FilesOnDisk", "DateFirstCataloged", "DateLastCataloged"}),
        V{"ABCDEFGHIJK|5|" + DateToStr(EncodeDate(2003, 9, 15)) + "|" + DateToStr(EncodeDate(2003, 10, 1))});
}

TEST_F(CatalogUpdateTest, EntriesTheWalkCouldNotSeeAreKeptAndAccentedNamesMatchTheirEntries) {
    MakeFixtureDisk();
    // Names whose capitals lie outside a to z: é/É, ÿ/Ÿ, š/Š; the disk holds them in small letters.
    for (const char* name : {"caf\xC3\xA9.txt",
                             "\xC3\xBF"
                             "es.txt",
                             "\xC5\xA1ip.txt", "zeta.txt"})
        Disk.WriteFile(name, "accented");
    MakeCatalog();
    ASSERT_TRUE(Run());
    ASSERT_EQ(Last.Added, 10);
    {
        // Every entry gets a category, which only a matched entry keeps.
        dbsql::TDbTable cat(nullptr);
        cat.SetDatabaseName("P:\\");
        cat.SetTableName("Games_CAT");
        cat.Open();
        for (cat.First(); !cat.Eof(); cat.Next()) {
            cat.Edit();
            cat.FieldByName("CategoryCode")->SetAsString("KEEP");
            cat.Post();
        }
    }
    // The same names spelt in capitals on the disk now.
    const std::pair<const char*, const char*> renames[] = {{"caf\xC3\xA9.txt", "CAF\xC3\x89.TXT"},
                                                           {"\xC3\xBF"
                                                            "es.txt",
                                                            "\xC5\xB8"
                                                            "ES.TXT"},
                                                           {"\xC5\xA1ip.txt", "\xC5\xA0IP.TXT"}};
    for (const auto& [from, to] : renames) std::filesystem::rename(Disk / from, Disk / to);
    // \DOCS cannot be read this time: its two entries are neither updated nor removed.
    platform::TScopedFileFault denied(
        [&](platform::TFileOperation op, const std::string& path, int64_t, uint32_t) {
            if (op == platform::TFileOperation::Search && path == Disk / "DOCS")
                return platform::TFileFault{platform::ERROR_ACCESS_DENIED};
            return platform::TFileFault{};
        });
    ASSERT_TRUE(Run());
    EXPECT_EQ(Messages().size(), 1u) << "the unreadable folder's warning";
    EXPECT_EQ(Last.Added, 0);
    EXPECT_EQ(Last.Removed, 0);
    EXPECT_EQ(Last.Updated, 8);
    EXPECT_EQ(Entries("BACKUP01").size(), 10u);
    for (const std::string& r : Entries("BACKUP01")) EXPECT_NE(r.find("|KEEP|"), std::string::npos) << r;
}

TEST_F(CatalogUpdateTest, TheCommentEditorsOpenOnlyWhenTheRunAndTheCatalogAskForThem) {
    MakeFixtureDisk();
    MakeCatalog();
    // The program's own editors come back when the test ends, however it ends.
    struct TRestoreEditors {
        TRunCommentEditors Saved = RunCommentEditors;
        ~TRestoreEditors() { RunCommentEditors = Saved; }
    };
    std::optional<TRestoreEditors> restore(std::in_place);
    std::vector<std::string> opened;
    bool failSetUp = false;
    RunCommentEditors.EditDiskComment = [&](const std::string& Volume) {
        if (failSetUp) throw EDatabaseError("no table");
        opened.push_back("disk " + Volume);
    };
    RunCommentEditors.EditFileComments = [&](const TCatalogRunSpec& Spec) {
        opened.push_back("files " + Spec.CatalogLabel);
    };
    const struct {
        const char* Disk;
        const char* Files;
        bool Cleanup, StatsOnly, Fail;
        V Opened;
        V Shown;
    } cases[] = {
        {"False", "False", false, false, false, {}, {}},
        {"True", "True", false, false, false, {"disk BACKUP01", "files BACKUP01"}, {}},
        {"True", "True", true, false, false, {}, {}},   // the cleanup tool's runs
        {"False", "True", false, true, false, {}, {}},  // nothing to be catalogued
        {"True",
         "False",
         false,
         false,
         true,
         {},
         {"An Error Occurred While Trying To Set Up To Edit The Disk Comment - Continuing"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.Disk) + c.Files + (c.Cleanup ? " cleanup" : "") +
                     (c.StatsOnly ? " stats" : ""));
        SetOption("AutoEditDiskComments", c.Disk);
        SetOption("AutoEditFileComments", c.Files);
        failSetUp = c.Fail;
        opened.clear();
        Driver.Shown.clear();
        EXPECT_TRUE(Run('D', [&](TUpdatingRun& f) {
            f.Spec.FromCleanupTool = c.Cleanup;
            f.Spec.StatsOnly = c.StatsOnly;
        }));
        EXPECT_EQ(opened, c.Opened);
        EXPECT_EQ(Messages(), c.Shown);
    }
    restore.reset();
    EXPECT_TRUE(RunCommentEditors.EditDiskComment && RunCommentEditors.EditFileComments);
}

TEST_F(CatalogUpdateTest, TheLongestNamesAreThoseOfTheTaggedEntries) {
    TRecordingRun& f = WalkForm();
    f.AddNewDataEntry("SHORT.TXT", "\\A", "", 1, 0, 0, 0, "");
    f.AddNewDataEntry(std::string(120, 'L') + ".TXT", "\\" + std::string(150, 'F'), std::string(45, 'Z'), 1,
                      0, 0, 0, "");
    f.AddNewDataEntry("MEDIUM-NAME.TXT", "\\FOLDER", "ARC.ZIP", 1, 0, 0, 0, "");
    ASSERT_EQ(f.Spec.LongestFileName, 124);
    dbsql::TDbTable& fresh = *f.NewDataTable;
    for (fresh.First(); !fresh.Eof(); fresh.Next())
        if (fresh.FieldByName("FileName")->AsString().starts_with("L")) {
            fresh.Edit();
            fresh.FieldByName("Tagged")->SetAsBoolean(false);
            fresh.Post();
        }
    f.RedetermineLongestNames();
    EXPECT_EQ(f.Spec.LongestFileName, 15);
    EXPECT_EQ(f.Spec.LongestFolderName, 7);
    EXPECT_EQ(f.Spec.LongestArchiveID, 7);
    EXPECT_EQ(f.LongestFileNameMeter->Percent(), 15 * 100 / 200);
    EXPECT_FALSE(catalog::StopRequested);
    EXPECT_TRUE(f.Enabled());
}

// ---- Naming the volume ----

TEST_F(CatalogUpdateTest, ADiskWithoutALabelOpensTheLabelDialogAndItsAnswersDecide) {
    MakeFixtureDisk();
    MapDrives("label=");
    MakeCatalog();
    // Cancel ends the run before anything is written.
    std::string aliasButton;
    Driver.AnswerWith([&](TCustomForm& form) {
        auto& label = dynamic_cast<TDiskLabelForm&>(form);
        EXPECT_TRUE(label.FromCataloguing);
        EXPECT_FALSE(label.DriveComboBox->Enabled());
        EXPECT_EQ(label.DriveComboBox->Drive(), 'D');
        EXPECT_TRUE(label.CatalogUnderAliasBtn->Visible());
        EXPECT_EQ(label.VolumeLabelPanel->Caption(), " <No Label>");
        // A blank label is refused during a run; the dialog stays.
        Driver.Click(*label.WriteBtn);
        EXPECT_FALSE(form.ModalResult() != mrNone);
        form.SetModalResult(mrCancel);
    });
    EXPECT_FALSE(Run());
    EXPECT_EQ(Messages(), V{"Volume Label Cannot Be Blank"});
    EXPECT_TRUE(Rows("Games_SUM", {"CatalogVolumeLabel"}).empty());
    EXPECT_FALSE(NewExists(false));

    // "Catalog Under Alias": the alias dialog with an empty line; a blank alias is refused, a name
    // typed in lower case is stored in upper case.
    Driver.Shown.clear();
    Driver.AnswerWith(
        [&](TCustomForm& form) { Driver.Click(*dynamic_cast<TDiskLabelForm&>(form).CatalogUnderAliasBtn); });
    Driver.AnswerWith([&](TCustomForm& form) {
        auto& alias = dynamic_cast<TDiskAliasForm&>(form);
        EXPECT_EQ(alias.Caption(), "Volume Label \"Alias\" For Cataloging");
        EXPECT_EQ(alias.VlabelLine->Caption(), "Disk In Drive D: Has No Volume Label");
        EXPECT_EQ(alias.AliasLine->Text(), "");
        Driver.Click(*alias.OKBtn);
        EXPECT_EQ(form.ModalResult(), mrNone);
        alias.AliasLine->SetFocus();
        Driver.Type("o'neil 1");  // the merge takes the label as a key value, quote and all
        Driver.Click(*alias.OKBtn);
    });
    ASSERT_TRUE(Run());
    EXPECT_EQ(Messages(), V{"The Alias Name Cannot Be Blank"});
    EXPECT_EQ(Rows("Games_SUM", {"CatalogVolumeLabel", "ActualVolumeLabel"}), V{"O'NEIL 1|<None>"});
    EXPECT_EQ(Entries("O'NEIL 1").size(), 6u);
    EXPECT_EQ(catalog::LastCatalogedLabel.Text(), "O'NEIL 1");
    // Catalogued again under the same alias: matched entry by entry, none removed.
    Driver.AnswerWith(
        [&](TCustomForm& form) { Driver.Click(*dynamic_cast<TDiskLabelForm&>(form).CatalogUnderAliasBtn); });
    Driver.AnswerWith([&](TCustomForm& form) {
        dynamic_cast<TDiskAliasForm&>(form).AliasLine->SetText("O'NEIL 1");
        Driver.Click(*dynamic_cast<TDiskAliasForm&>(form).OKBtn);
    });
    ASSERT_TRUE(Run());
    EXPECT_EQ(Last.Updated, 6);
    EXPECT_EQ(Last.Removed, 0);
}

TEST_F(CatalogUpdateTest, ALabelThatCannotBeReadOffersTheAlias) {
    MakeFixtureDisk();
    MakeCatalog();
    Drives.reset();
    Drives = std::make_unique<TScopedDrives>("D=" + Disk.Path() + "/gone;P=" + Program.Path());
    const std::string question =
        "Error 21 Was Encountered While Determining The Disk Volume ID\r\n\r\nWould You Like To Continue By "
        "Using Korvane's \"Alias\" Feature To Assign A Volume Label?";
    Driver.Answer(mrNo);
    EXPECT_FALSE(Run());
    EXPECT_EQ(Messages(), V{question});
    EXPECT_EQ(platform::BeepHistory().size(), 1u);
    // Yes: the alias dialog, then the figures that cannot be read end the run.
    Driver.Shown.clear();
    Driver.Answer(mrYes);
    Driver.AnswerWith([&](TCustomForm& form) {
        auto& alias = dynamic_cast<TDiskAliasForm&>(form);
        alias.AliasLine->SetText("X");
        Driver.Click(*alias.OKBtn);
    });
    EXPECT_FALSE(Run());
    EXPECT_EQ(Messages(), (V{question, "Error Determining Disk Size"}));
    EXPECT_TRUE(Rows("Games_SUM", {"CatalogVolumeLabel"}).empty());
}

TEST_F(CatalogUpdateTest, AVolumeAlreadyInTheCatalogAsksWhatToDo) {
    MakeFixtureDisk();
    MakeCatalog();
    SetOption("WarnIfExists", "True");
    ASSERT_TRUE(Run());
    const std::string text = "A Disk With This Name (\"BACKUP01\") Already Exists In The Catalog.";
    // Stop.
    Driver.AnswerWith([&](TCustomForm& form) {
        auto& asked = dynamic_cast<TDiskAlreadyCatalogedForm&>(form);
        EXPECT_EQ(asked.Caption(), "What Should I Do?");
        EXPECT_EQ(asked.MessageLine->Caption(), text);
        Driver.Click(*asked.StopBtn);
    });
    EXPECT_FALSE(Run());
    EXPECT_EQ(Rows("Games_LOG", {"Operation"}).size(), 1u);
    // Replace: the volume is catalogued again.
    Driver.AnswerWith(
        [&](TCustomForm& form) { Driver.Click(*dynamic_cast<TDiskAlreadyCatalogedForm&>(form).ReplaceBtn); });
    ASSERT_TRUE(Run());
    EXPECT_EQ(Rows("Games_LOG", {"Operation"}).back(), "RECATALOGED: Volume ID = \"BACKUP01\" From Drive D:");
    // Another name: the alias dialog even with Aliases off, preset with the label; a name that is
    // also taken asks again.
    Driver.AnswerWith(
        [&](TCustomForm& form) { Driver.Click(*dynamic_cast<TDiskAlreadyCatalogedForm&>(form).AliasBtn); });
    Driver.AnswerWith([&](TCustomForm& form) {
        auto& alias = dynamic_cast<TDiskAliasForm&>(form);
        EXPECT_EQ(alias.VlabelLine->Caption(), "Disk In Drive D: Is \"BACKUP01\"");
        EXPECT_EQ(alias.AliasLine->Text(), "BACKUP01");
        Driver.Click(*alias.OKBtn);
    });
    Driver.AnswerWith(
        [&](TCustomForm& form) { Driver.Click(*dynamic_cast<TDiskAlreadyCatalogedForm&>(form).AliasBtn); });
    Driver.AnswerWith([&](TCustomForm& form) {
        auto& alias = dynamic_cast<TDiskAliasForm&>(form);
        alias.AliasLine->SetText("BACKUP01B");
        Driver.Click(*alias.OKBtn);
    });
    ASSERT_TRUE(Run());
    EXPECT_EQ(Rows("Games_SUM", {"CatalogVolumeLabel", "ActualVolumeLabel"}),
              (V{"BACKUP01|BACKUP01", "BACKUP01B|BACKUP01"}));
    // The cleanup tool's runs never see the question.
    ASSERT_TRUE(Run('D', [](TUpdatingRun& f) { f.Spec.FromCleanupTool = true; }));
    EXPECT_EQ(Driver.PendingAnswers(), 0u);
}

// ---- Field sizes ----

TEST_F(CatalogUpdateTest, NamesLongerThanTheCatalogsSizesAskToAdjustThem) {
    Disk.WriteFile("ABCDEFGHIJKLMNOP.TXT", "long name");  // 20 characters
    MakeCatalogRecord();
    SetOption("FileNameFieldLength", "12");
    catalog::TCatalogStore().OpenCatalog(true);
    std::map<std::string, std::string> before;
    const auto snapshot = [&] {
        std::map<std::string, std::string> files;
        for (const auto& e : std::filesystem::directory_iterator(Program.Path()))
            if (e.path().filename().string().starts_with("Games") ||
                e.path().filename().string().starts_with("CatalogConfigs"))
                files[e.path().filename()] = platform::testsupport::ReadNativeFile(e.path());
        return files;
    };
    before = snapshot();
    Driver.AnswerWith([&](TCustomForm& form) {
        auto& resize = dynamic_cast<catalog::TResizeWarningForm&>(form);
        EXPECT_EQ(resize.Caption(), "Catalog Item Size Re-Adjustment(s) Required");
        EXPECT_EQ(resize.CatalogFileNameLengthPanel->Caption(), "12");
        EXPECT_EQ(resize.FoundFileNameLengthPanel->Caption(), "20");
        form.SetModalResult(mrCancel);
    });
    EXPECT_FALSE(Run());
    EXPECT_EQ(snapshot(), before) << "Cancel leaves every catalog file as it was";

    Driver.AnswerWith(
        [&](TCustomForm& form) { Driver.Click(*dynamic_cast<catalog::TResizeWarningForm&>(form).BitBtn1); });
    ASSERT_TRUE(Run());
    EXPECT_EQ(Option("FileNameFieldLength"), "20");
    EXPECT_EQ(Entries("BACKUP01"), V{"\\|ABCDEFGHIJKLMNOP.TXT||"});
}

// ---- A failed post in the merge ----

TEST_F(CatalogUpdateTest, APostFailureInTheMergeAbortsSilentlyAndKeepsWhatWasMerged) {
    MakeFixtureDisk();
    MakeCatalog();
    int posts = 0;
    EXPECT_THROW(Run('D',
                     [&](TUpdatingRun& f) {
                         // The third entry the merge posts is refused by the engine.
                         f.CatalogTable->BeforePost = [&](TDataSet* d) {
                             if (++posts == 3) d->FieldByName("FileName")->Clear();
                         };
                     }),
                 EAbort);
    EXPECT_TRUE(Messages().empty()) << "no message";
    EXPECT_EQ(Rows("Games_SUM", {"CatalogVolumeLabel", "FilesOnDisk"}), V{"BACKUP01|6"});
    EXPECT_EQ(Entries("BACKUP01").size(), 2u);
    EXPECT_TRUE(Rows("Games_LOG", {"Operation"}).empty());
    EXPECT_EQ(Option("LastVolumeLabel"), "");
    EXPECT_TRUE(NewExists(false)) << "New stays until the next run";
    ASSERT_TRUE(Run());
    EXPECT_EQ(Entries("BACKUP01").size(), 6u);
    EXPECT_FALSE(NewExists(false));
}

}  // namespace
}  // namespace cataloging
