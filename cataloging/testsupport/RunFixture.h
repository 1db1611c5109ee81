#pragma once
// The fixture of the cataloguing run's tests: a temporary folder mapped as drive D: (with a label
// and serial), the program folder and the catalogs on drive P:, the run window with its catalog
// update replaced by a look at New, and the fixture disk.

#include "cataloging/run/CatalogProgressForm.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "catalog/CatalogStore.h"
#include "catalog/Globals.h"
#include "catalog/ProgramTables.h"
#include "cataloging/run/RunDialogs.h"
#include "cataloging/testsupport/ArchiveBuilders.h"
#include "controls/entry/CtlMeter.h"
#include "dbengine/session/Engine.h"
#include "dbsql/components/DbSession.h"
#include "dbsql/components/DbTable.h"
#include "framework/core/DateTime.h"
#include "framework/core/Seams.h"
#include "framework/data/Fields.h"
#include "framework/stdctrls/Button.h"
#include "framework/stdctrls/Dialogs.h"
#include "framework/stdctrls/Edit.h"
#include "framework/stdctrls/ExtCtrls.h"
#include "framework/ui/ExtCtrls.h"
#include "framework/ui/testsupport/FormDriver.h"
#include "platform/Beep.h"
#include "platform/Files.h"
#include "platform/Process.h"
#include "platform/testsupport/TestDrives.h"

namespace cataloging::runtest {

using namespace framework;

using platform::testsupport::TScopedDrives;
using platform::testsupport::TTempFolder;

// One row of New as the catalog update found it.
struct TRow {
    std::string FileName, FolderName, ArchiveID, FileSize;
    TDateTime Date = 0, Time = 0;
    int Attribute = 0;
    std::string Comment;
    bool Tagged = false;
};

inline std::vector<TRow> ReadRows(dbsql::TDbTable& New) {
    std::vector<TRow> rows;
    New.First();
    while (!New.Eof()) {
        TRow r;
        r.FileName = New.FieldByName("FileName")->AsString();
        r.FolderName = New.FieldByName("FolderName")->AsString();
        r.ArchiveID = New.FieldByName("ArchiveID")->AsString();
        r.FileSize = New.FieldByName("FileSize")->AsString();
        r.Date = New.FieldByName("DateModified")->AsDateTime();
        r.Time = New.FieldByName("TimeModified")->AsDateTime();
        r.Attribute = New.FieldByName("Attribute")->AsInteger();
        r.Comment = New.FieldByName("Comment")->AsString();
        r.Tagged = New.FieldByName("Tagged")->AsBoolean();
        rows.push_back(r);
        New.Next();
    }
    return rows;
}

// The run window with its catalog update replaced by a look at New.
class TRecordingRun : public TCatalogProgressForm {
public:
    using TCatalogProgressForm::TCatalogProgressForm;
    std::vector<TRow> Rows;
    bool Updated = false;
    // Called each time the run lets pending messages through.
    std::function<void()> OnPump;
    void ProcessMessages() override {
        if (OnPump) OnPump();
        TCatalogProgressForm::ProcessMessages();
    }
    void UpdateCatalog() override {
        Updated = true;
        Rows = ReadRows(*NewDataTable);
    }
};

inline void SetStamp(const std::string& Path, int Year, int Month, int Day, int Hour, int Min, int Sec) {
    struct tm t {};
    t.tm_year = Year - 1900;
    t.tm_mon = Month - 1;
    t.tm_mday = Day;
    t.tm_hour = Hour;
    t.tm_min = Min;
    t.tm_sec = Sec;
    const time_t when = timegm(&t);
    struct timespec times[2] = {{when, 0}, {when, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, Path.c_str(), times, 0), 0);
}

class CatalogRunTest : public ::testing::Test {
protected:
    TFormDriver Driver;
    TTempFolder Disk, Program;
    std::unique_ptr<TScopedDrives> Drives;
    TRecordingRun* Form = nullptr;
    std::string SavedTz;
    bool HadTz = false;

    void SetUp() override {
        if (const char* tz = std::getenv("TZ")) {
            HadTz = true;
            SavedTz = tz;
        }
        setenv("TZ", "UTC", 1);
        tzset();
        SetSleepHandler([](uint32_t) {});
        Drives = std::make_unique<TScopedDrives>(
            "D=" + Disk.Path() + "|label=BACKUP01|serial=1A2B3C4D|fs=FAT|type=removable;P=" + Program.Path());
        Driver.Strict = false;
        catalog::ProgramFolder = "P:\\";
        catalog::CatalogDataFolder = "P:\\";
        catalog::CurrentCatalogName = "Games";
        catalog::IncludeSpecs = {};
        catalog::ExcludeSpecs = {};
        catalog::StopRequested = false;
        platform::ClearBeepHistory();
    }
    void TearDown() override {
        if (Form) Form->Free();
        Driver.RunPending();
        dbsql::DefaultSession().SetActive(false);
        SetSleepHandler({});
        catalog::ProgramFolder.clear();
        catalog::CatalogDataFolder.clear();
        catalog::CurrentCatalogName.clear();
        catalog::IncludeSpecs = {};
        catalog::ExcludeSpecs = {};
        catalog::StopRequested = false;
        Drives.reset();
        if (HadTz)
            setenv("TZ", SavedTz.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

    // Fixture disk D: README.TXT (10 bytes, read-only), MAKEFILE (3), DOCS\MANUAL.DOC (1,000),
    // DOCS\OLD\NOTES.TXT (5), DOCSOLD\X.TXT (1), BIG.ISO (sparse, 5,000,000,000), RECYCLED\JUNK.BAK (7).
    void MakeFixtureDisk() {
        const std::string readme = Disk.WriteFile("README.TXT", "0123456789");
        SetStamp(readme, 2024, 3, 5, 10, 20, 30);
        ASSERT_EQ(chmod(readme.c_str(), 0444), 0);
        Disk.WriteFile("MAKEFILE", "all");
        Disk.WriteFile("DOCS/MANUAL.DOC", std::string(1000, 'm'));
        Disk.WriteFile("DOCS/OLD/NOTES.TXT", "notes");
        Disk.WriteFile("DOCSOLD/X.TXT", "x");
        const std::string big = Disk.WriteFile("BIG.ISO", "");
        std::filesystem::resize_file(big, 5000000000);
        Disk.WriteFile("RECYCLED/JUNK.BAK", "junkjun");
        // Links to folders are never walked, not even one that leads back up.
        ASSERT_EQ(symlink("DOCS", (Disk / "LINKDOCS").c_str()), 0);
        ASSERT_EQ(symlink("..", (Disk / "DOCS/UP").c_str()), 0);
    }
    // The catalog's record in CatalogConfigs, with its default options.
    void MakeCatalogRecord() {
        dbsql::TDbTable table(nullptr);
        table.SetDatabaseName("P:\\");
        table.SetTableName("CatalogConfigs");
        catalog::DefineTable(table, catalog::CatalogConfigsSchema());
        table.CreateTable();
        catalog::TCatalogStore store;
        store.CreateCatalogConfig(false, {30, 60, 20});
        ASSERT_EQ(catalog::CurrentCatalogName, "Games");
    }
    // Sets a field of the catalog's record in CatalogConfigs (options are "True" or "False").
    void SetCatalogOption(const std::string& Name, const std::string& Value) {
        dbsql::TDbTable t(nullptr);
        t.SetDatabaseName("P:\\");
        t.SetTableName("CatalogConfigs");
        t.Open();
        ASSERT_TRUE(t.FindKey({Variant(std::string("Games"))}));
        t.Edit();
        t.FieldByName(Name)->SetAsString(Value);
        t.Post();
    }
    TRecordingRun& NewForm() {
        Form = TCustomForm::Create<TRecordingRun>(Application);
        Form->SetCaption("Cataloging Disk In Drive D");
        Form->Show();
        Driver.RunPending();
        return *Form;
    }
    // A window for CatalogDisk over drive D.
    TRecordingRun& RunForm(const std::string& StartFolder, bool Recurse, bool IgnoreRecycleBin) {
        TRecordingRun& f = NewForm();
        f.Spec.DriveLetter = 'D';
        f.Spec.StartFolder = StartFolder;
        f.Spec.Recurse = Recurse;
        f.Spec.IgnoreRecycleBin = IgnoreRecycleBin;
        return f;
    }
    // A window ready for ScanFolder and AddNewDataEntry without a catalog (New in memory).
    TRecordingRun& WalkForm() {
        TRecordingRun& f = NewForm();
        f.Spec.KeepInMemory = true;
        f.Spec.DriveLetter = 'D';
        f.Spec.StartFolder = "D:\\";
        f.Spec.Recurse = true;
        f.Spec.FoldersScanned = 1;
        EXPECT_TRUE(f.CreateNewDataTable());
        return f;
    }
    std::vector<std::string> Messages() const {
        std::vector<std::string> out;
        for (const auto& s : Driver.Shown)
            if (s.Kind == "message") out.push_back(s.Text);
        return out;
    }
    static std::vector<std::string> Names(const std::vector<TRow>& Rows) {
        std::vector<std::string> out;
        for (const TRow& r : Rows) out.push_back(r.FolderName + "|" + r.FileName);
        std::sort(out.begin(), out.end());
        return out;
    }
    bool NewExists(bool InMemory) {
        dbsql::TDbTable t(nullptr);
        t.SetDatabaseName(InMemory ? "Memory" : "P:\\");
        t.SetTableName("New");
        return t.Exists();
    }
};

using V = std::vector<std::string>;

}  // namespace cataloging::runtest
