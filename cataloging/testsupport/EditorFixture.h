#pragma once
// The editors' test fixture: the program folder and the catalogs on drive P: (a temporary folder),
// a catalog "Games" whose file and summary tables are filled row by row, and Categories.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "catalog/CatalogStore.h"
#include "catalog/Globals.h"
#include "catalog/ProgramTables.h"
#include "controls/entry/CtlState.h"
#include "dbsql/components/DbSession.h"
#include "dbsql/components/DbTable.h"
#include "framework/core/DateTime.h"
#include "framework/core/Seams.h"
#include "framework/data/Fields.h"
#include "framework/ui/testsupport/FormDriver.h"
#include "platform/Beep.h"
#include "platform/testsupport/TestDrives.h"

namespace cataloging::editortest {

using namespace framework;

struct TEntryRow {
    std::string FileName, VolumeLabel, FolderName, ArchiveID;
    int64_t FileSize = 0;
    TDateTime Date = 0;
    std::string Category, Comment;
};

class EditorTest : public ::testing::Test {
protected:
    TFormDriver Driver;
    platform::testsupport::TTempFolder Program, Disk, Other;
    std::unique_ptr<platform::testsupport::TScopedDrives> Drives;

    void SetUp() override {
        SetSleepHandler([](uint32_t) {});
        Drives = std::make_unique<platform::testsupport::TScopedDrives>(
            "P=" + Program.Path() + ";D=" + Disk.Path() + ";E=" + Other.Path());
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
        store.CreateCatalogConfig(false, {30, 60, 20});
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
        Driver.RunPending();
        dbsql::DefaultSession().SetActive(false);
        SetSleepHandler({});
        catalog::ProgramFolder.clear();
        catalog::CatalogDataFolder.clear();
        catalog::CurrentCatalogName.clear();
        Drives.reset();
    }

    static std::unique_ptr<dbsql::TDbTable> OpenTable(const std::string& Name) {
        auto t = std::make_unique<dbsql::TDbTable>(nullptr);
        t->SetDatabaseName("P:\\");
        t->SetTableName(Name);
        t->Open();
        return t;
    }
    void AddEntries(const std::vector<TEntryRow>& Rows) {
        auto t = OpenTable("Games_CAT");
        for (const TEntryRow& r : Rows) {
            t->Append();
            t->FieldByName("FileName")->SetAsString(r.FileName);
            t->FieldByName("VolumeLabel")->SetAsString(r.VolumeLabel);
            t->FieldByName("FolderName")->SetAsString(r.FolderName);
            t->FieldByName("ArchiveID")->SetAsString(r.ArchiveID);
            t->FieldByName("FileSize")->SetAsString(std::to_string(r.FileSize));
            if (r.Date != 0) t->FieldByName("DateModified")->SetAsDateTime(r.Date);
            t->FieldByName("CategoryCode")->SetAsString(r.Category);
            t->FieldByName("Comment")->SetAsString(r.Comment);
            t->Post();
        }
    }
    void AddVolume(const std::string& Label, const std::string& Drive, int64_t Size,
                   const std::string& Comment) {
        auto t = OpenTable("Games_SUM");
        t->Append();
        t->FieldByName("CatalogVolumeLabel")->SetAsString(Label);
        t->FieldByName("ActualVolumeLabel")->SetAsString(Label);
        t->FieldByName("CatalogedFrom")->SetAsString(Drive);
        t->FieldByName("DiskSize")->SetAsString(std::to_string(Size));
        t->FieldByName("DiskUsed")->SetAsString(std::to_string(Size / 2));
        t->FieldByName("DiskFree")->SetAsString(std::to_string(Size / 2));
        t->FieldByName("Comment")->SetAsString(Comment);
        t->Post();
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
