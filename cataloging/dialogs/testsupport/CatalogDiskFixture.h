#pragma once
// A fixture for the windows around a cataloguing run: drive D: is a small disk labelled BACKUP01,
// E: an empty disk labelled BLANK01 (both with serials, so a run names them without asking), P: the program
// and catalog folder holding CatalogConfigs and the catalog CAT1 (record and three tables), which is current.
// The shared progress window records the captions it shows; settings go to a private home. Boxes nobody
// answers get OK (or Cancel).

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "catalog/CatalogStore.h"
#include "catalog/Globals.h"
#include "catalog/ProgramTables.h"
#include "catalog/ProgressForm.h"
#include "dbsql/components/DbSession.h"
#include "dbsql/components/DbTable.h"
#include "framework/core/Seams.h"
#include "framework/data/Fields.h"
#include "framework/stdctrls/Button.h"
#include "framework/ui/testsupport/FormDriver.h"
#include "platform/Beep.h"
#include "platform/testsupport/TestDrives.h"
#include "platform/testsupport/UserEnv.h"

namespace cataloging::testsupport {

struct TCatalogDiskFixture : ::testing::Test {
    platform::testsupport::ScopedUserEnv Env;
    framework::TFormDriver Driver;
    platform::testsupport::TTempFolder Disk, Empty, Program;
    std::unique_ptr<platform::testsupport::TScopedDrives> Drives;
    catalog::TProgressForm* Progress = nullptr;
    // The captions the progress window was shown with, in order.
    std::vector<std::string> ProgressCaptions;

    // The files of drive D:, folders from the root.
    static std::vector<std::string> DiskFiles() {
        return {"README",          "MAKEFILE",          "SETUP.EXE",
                "NOTES.TXT",       "SYSTEM/KERNEL.DLL", "SYSTEM/SETUP.EXE",
                "GAMES/CHESS.EXE", "GAMES/DLLS/X.DLL",  "DOCS/MANUAL.DOC"};
    }

    void SetUp() override {
        framework::SetSleepHandler([](uint32_t) {});
        for (const std::string& name : DiskFiles()) Disk.WriteFile(name, name);
        Drives = std::make_unique<platform::testsupport::TScopedDrives>(
            "D=" + Disk.Path() + "|label=BACKUP01|serial=1A2B3C4D|fs=FAT|type=removable;E=" + Empty.Path() +
            "|label=BLANK01|serial=5E6F7081|fs=FAT|type=removable;P=" + Program.Path());
        Driver.Strict = false;
        catalog::ProgramFolder = "P:\\";
        catalog::CatalogDataFolder = "P:\\";
        catalog::IncludeSpecs = {};
        catalog::ExcludeSpecs = {};
        catalog::StopRequested = false;
        dbsql::TDbTable configs;
        configs.SetDatabaseName("P:\\");
        configs.SetTableName("CatalogConfigs");
        catalog::DefineTable(configs, catalog::CatalogConfigsSchema());
        configs.CreateTable();
        catalog::CurrentCatalogName = "CAT1";
        catalog::TCatalogStore store;
        store.CreateCatalogConfig(false, {30, 60, 20});
        store.OpenCatalog(true);
        ASSERT_EQ(catalog::CurrentCatalogName, "CAT1");
        Progress = framework::TCustomForm::Create<catalog::TProgressForm>(framework::Application);
        Progress->OnShow = [this](framework::TObject*) {
            ProgressCaptions.push_back(Progress->Caption() +
                                       (Progress->CancelBtn->Visible() ? " (cancel)" : ""));
        };
        catalog::ProgressForm = Progress;
        platform::ClearBeepHistory();
    }
    void TearDown() override {
        catalog::ProgressForm = nullptr;
        Progress->Free();
        Driver.RunPending();
        dbsql::DefaultSession().SetActive(false);
        framework::SetSleepHandler({});
        catalog::ProgramFolder.clear();
        catalog::CatalogDataFolder.clear();
        catalog::CurrentCatalogName.clear();
        catalog::StopRequested = false;
        Drives.reset();
    }

    std::unique_ptr<dbsql::TDbTable> Table(const std::string& Name) {
        auto t = std::make_unique<dbsql::TDbTable>();
        t->SetDatabaseName("P:\\");
        t->SetTableName(Name);
        return t;
    }
    // Sets a Boolean option of CAT1's record.
    void SetOption(const std::string& Field, bool Value) {
        auto t = Table("CatalogConfigs");
        t->Open();
        ASSERT_TRUE(t->FindKey({framework::Variant(std::string("CAT1"))}));
        t->Edit();
        t->FieldByName(Field)->SetAsBoolean(Value);
        t->Post();
    }
    // Entries of CAT1_CAT: "<volume>|<folder>|<name>|<archive>", in key order.
    std::vector<std::string> CatalogEntries() {
        auto t = Table("CAT1_CAT");
        t->Open();
        std::vector<std::string> out;
        for (t->First(); !t->Eof(); t->Next())
            out.push_back(
                t->FieldByName("VolumeLabel")->AsString() + "|" + t->FieldByName("FolderName")->AsString() +
                "|" + t->FieldByName("FileName")->AsString() + "|" + t->FieldByName("ArchiveID")->AsString());
        return out;
    }
    void AddCatalogEntry(const std::string& Volume, const std::string& Folder, const std::string& Name,
                         const std::string& Archive = "") {
        auto t = Table("CAT1_CAT");
        t->Open();
        t->Append();
        t->FieldByName("FileName")->SetAsString(Name);
        t->FieldByName("VolumeLabel")->SetAsString(Volume);
        t->FieldByName("FolderName")->SetAsString(Folder);
        t->FieldByName("ArchiveID")->SetAsString(Archive);
        t->FieldByName("FileSize")->SetAsFloat(1);
        t->Post();
    }
    std::vector<std::string> MessageTexts() const {
        std::vector<std::string> out;
        for (const auto& s : Driver.Shown)
            if (s.Kind == "message") out.push_back(s.Text);
        return out;
    }
    std::string Grabbed(const char* Name) const {
        return std::string(KORVANE_BUILD_DIR) + "/" + Name + ".png";
    }
};

}  // namespace cataloging::testsupport
