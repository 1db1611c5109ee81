#pragma once
// The editors' test fixture: the program folder and the catalogs on drive P: (a temporary folder),
// drives D: and E: (two more), a catalog "Games" whose volumes are read in by real cataloguing
// runs, and Categories. What a run cannot produce (the user's categories and comments, a comment
// import's list) is written into the tables directly.

#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "catalog/CatalogStore.h"
#include "catalog/Globals.h"
#include "catalog/ProgramTables.h"
#include "catalog/ProgressForm.h"
#include "controls/kit/CoolGauge.h"
#include "cataloging/run/CatalogProgressForm.h"
#include "cataloging/testsupport/RunFixture.h"
#include "controls/entry/CtlState.h"
#include "dbsql/components/DbSession.h"
#include "dbsql/components/DbTable.h"
#include "framework/core/DateTime.h"
#include "framework/core/Seams.h"
#include "framework/data/Fields.h"
#include "framework/stdctrls/Button.h"
#include "framework/ui/testsupport/FormDriver.h"
#include "platform/Beep.h"
#include "platform/testsupport/TestDrives.h"

namespace cataloging::editortest {

using namespace framework;

class EditorTest : public ::testing::Test {
protected:
    TFormDriver Driver;
    platform::testsupport::TTempFolder Program, Disk, Other;
    std::unique_ptr<platform::testsupport::TScopedDrives> Drives;
    std::string SavedTz;
    bool HadTz = false;
    uint32_t NextSerial = 0x1A2B0000;
    catalog::TProgressForm* Progress = nullptr;

    void SetUp() override {
        // File times are read in local time: UTC keeps the dates the tests set.
        if (const char* tz = getenv("TZ")) {
            HadTz = true;
            SavedTz = tz;
        }
        setenv("TZ", "UTC", 1);
        tzset();
        SetSleepHandler([](uint32_t) {});
        Drives = std::make_unique<platform::testsupport::TScopedDrives>(BaseDriveMap());
        Driver.Strict = false;
        catalog::ProgramFolder = "P:\\";
        catalog::CatalogDataFolder = "P:\\";
        catalog::CurrentCatalogName = "Games";
        platform::ClearBeepHistory();
        dbsql::TDbTable cfg(nullptr);
        cfg.SetDatabaseName("P:\\");
        cfg.SetTableName("CatalogConfigs");
        catalog::DefineTable(cfg, catalog::CatalogConfigsSchema());
        cfg.CreateTable();
        catalog::TCatalogStore store;
        store.CreateCatalogConfig(false, {60, 60, 40});
        store.OpenCatalog(true);
        dbsql::TDbTable cat(nullptr);
        cat.SetDatabaseName("P:\\");
        cat.SetTableName("Categories");
        catalog::DefineTable(cat, catalog::CategoriesSchema());
        cat.CreateTable();
        // Check boxes a test changed are not carried into the next one.
        entry::TCtlRegistryStore settings(nullptr);
        settings.Open();
        for (const char* section : {"TEditFileCommentForm", "TEditDiskCommentForm"})
            settings.EraseSection(section);
        settings.Close();
        Driver.Shown.clear();
    }
    void TearDown() override {
        if (Progress) {
            catalog::ProgressForm = nullptr;
            Progress->Free();
        }
        Driver.RunPending();
        dbsql::DefaultSession().SetActive(false);
        SetSleepHandler({});
        catalog::ProgramFolder.clear();
        catalog::CatalogDataFolder.clear();
        catalog::CurrentCatalogName.clear();
        Drives.reset();
        if (HadTz)
            setenv("TZ", SavedTz.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    std::string BaseDriveMap() const {
        return "P=" + Program.Path() + ";D=" + Disk.Path() + ";E=" + Other.Path();
    }

    static std::unique_ptr<dbsql::TDbTable> OpenTable(const std::string& Name) {
        auto t = std::make_unique<dbsql::TDbTable>(nullptr);
        t->SetDatabaseName("P:\\");
        t->SetTableName(Name);
        t->Open();
        return t;
    }
    // Sets an option of the catalog's record in CatalogConfigs ("True", "False", "Always", ...).
    static void SetCatalogOption(const std::string& Name, const std::string& Value) {
        auto t = OpenTable("CatalogConfigs");
        ASSERT_TRUE(t->FindKey({Variant(std::string("Games"))}));
        t->Edit();
        t->FieldByName(Name)->SetAsString(Value);
        t->Post();
    }
    // Catalogs the folder Root into Games by a real run, with Root in drive Drive under the label
    // (Figures: more drive attributes, such as "|size=...|free=...").
    void CatalogByRun(char Drive, const platform::testsupport::TTempFolder& Root, const std::string& Label,
                      const std::string& Figures = {}) {
        char serial[16];
        snprintf(serial, sizeof serial, "%08X", ++NextSerial);
        platform::testsupport::TScopedDrives drives(BaseDriveMap() + ";" + std::string(1, Drive) + "=" +
                                                    Root.Path() + "|label=" + Label + "|serial=" + serial +
                                                    "|fs=FAT|type=removable" + Figures);
        TCatalogRunRequest request;
        request.Fields.DriveLetter = Drive;
        request.Fields.StartFolder = std::string(1, Drive) + ":\\";
        request.Fields.Recurse = true;
        request.PauseAfter = false;
        const bool done = RunCatalogDisk(request);
        std::string shown;
        for (const auto& d : Driver.Shown) shown += "\n" + d.Caption + ": " + d.Text;
        ASSERT_TRUE(done) << Label << shown;
        Driver.RunPending();
        Driver.Shown.clear();
    }
    // The two volumes most tests look at; D: holds BACKUP01, E: GAMES02:
    //   BACKUP01  \README.TXT                  10 bytes     2024-03-05
    //             \SRC.ARJ                     (the archive) 2024-02-01
    //             \SRC.ARJ: README.TXT <DOCS/>  300 bytes   2024-03-06  category DOCS, "Disk notes"
    //             \DOCS\MANUAL.DOC            1,000 bytes  2024-01-01  category DOCS, "disk backup manual"
    //   GAMES02   \GAMES\GAME.EXE             5,000,000,000 2023-12-31 comment "  \r\n "
    //             \GAMES\SAVE.DAT             7 bytes      2024-03-05  category GAME, "Backup of\r\nsaved
    //             game"
    // The archive member's comment is its own comment in the archive.
    void MakeTwoVolumeCatalog() {
        using testsupport::TMember;
        runtest::SetStamp(Disk.WriteFile("README.TXT", "0123456789"), 2024, 3, 5, 10, 20, 30);
        TMember member{"DOCS/README.TXT", 300, 1, 0, "Disk notes"};
        member.Date = testsupport::DosDate(2024, 3, 6);
        const auto arj = testsupport::ArjArchive("", {member});
        runtest::SetStamp(Disk.WriteFile("SRC.ARJ", std::string(arj.begin(), arj.end())), 2024, 2, 1, 9, 0,
                          0);
        runtest::SetStamp(Disk.WriteFile("DOCS/MANUAL.DOC", std::string(1000, 'm')), 2024, 1, 1, 8, 0, 0);
        const std::string game = Other.WriteFile("GAMES/GAME.EXE", "");
        std::filesystem::resize_file(game, 5000000000);
        runtest::SetStamp(game, 2023, 12, 31, 23, 0, 0);
        runtest::SetStamp(Other.WriteFile("GAMES/SAVE.DAT", "savegam"), 2024, 3, 5, 7, 0, 0);
        SetCatalogOption("DoARJ", "True");
        SetCatalogOption("ExpandArchives", "Always");
        CatalogByRun('D', Disk, "BACKUP01");
        CatalogByRun('E', Other, "GAMES02");
        Describe("README.TXT <DOCS/>", "DOCS", "Disk notes");
        Describe("MANUAL.DOC", "DOCS", "disk backup manual");
        Describe("GAME.EXE", "", "  \r\n ");
        Describe("SAVE.DAT", "GAME", "Backup of\r\nsaved game");
    }
    // Gives the catalogued entry its category and comment, as a user would have.
    static void Describe(const std::string& FileName, const std::string& Category,
                         const std::string& Comment) {
        auto t = OpenTable("Games_CAT");
        ASSERT_TRUE(t->Locate("FileName", Variant(FileName), 0)) << FileName;
        t->Edit();
        t->FieldByName("CategoryCode")->SetAsString(Category);
        t->FieldByName("Comment")->SetAsString(Comment);
        t->Post();
    }
    // Gives the catalogued volume its comment, as a user would have.
    static void DescribeVolume(const std::string& Label, const std::string& Comment) {
        auto t = OpenTable("Games_SUM");
        ASSERT_TRUE(t->Locate("CatalogVolumeLabel", Variant(Label), 0)) << Label;
        t->Edit();
        t->FieldByName("Comment")->SetAsString(Comment);
        t->Post();
    }
    static int32_t TagOf(const std::string& FileName) {
        auto t = OpenTable("Games_CAT");
        EXPECT_TRUE(t->Locate("FileName", Variant(FileName), 0)) << FileName;
        return t->FieldByName("Tag")->AsInteger();
    }
    // The shared progress window, as start-up makes it, until the test ends.
    catalog::TProgressForm& MakeProgressWindow() {
        Progress = TCustomForm::Create<catalog::TProgressForm>(Application);
        catalog::ProgressForm = Progress;
        return *Progress;
    }
    // Presses the progress window's Cancel once Table has scrolled Count times; the table's own
    // handler still runs.
    void CancelAfterScrolls(TDataSet& Table, int Count) {
        Table.AfterScroll = [this, Count, scrolls = 0, own = Table.AfterScroll](TDataSet* D) mutable {
            if (own) own(D);
            if (++scrolls == Count) Progress->CancelBtn->Click();
        };
    }
    void AddCategory(const std::string& Code, const std::string& Description) {
        auto t = OpenTable("Categories");
        t->Append();
        t->FieldByName("Code")->SetAsString(Code);
        t->FieldByName("Description")->SetAsString(Description);
        t->Post();
    }
    std::vector<std::string> Messages() const {
        std::vector<std::string> out;
        for (const auto& s : Driver.Shown)
            if (s.Kind == "message") out.push_back(s.Text);
        return out;
    }
};

}  // namespace cataloging::editortest
