#pragma once
// The fixture of the text import tests: the cataloguing run's fixture (program folder and catalogs
// on drive P:, a fixed clock) with the catalog "Games" made, listing files written to P:, and looks
// at the catalog's tables.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "catalog/CatalogStore.h"
#include "cataloging/testsupport/RunFixture.h"
#include "framework/core/DateTime.h"
#include "framework/core/Seams.h"
#include "framework/data/Fields.h"
#include "tools/import/ImportProfileForm.h"

namespace tools::importtest {

using namespace framework;
using cataloging::runtest::V;

class ImportTest : public cataloging::runtest::CatalogRunTest {
protected:
    TClockFunc SavedClock;

    void SetUp() override {
        CatalogRunTest::SetUp();
        SavedClock = SetClock([] { return EncodeDate(2003, 9, 15) + EncodeTime(10, 30, 0, 0); });
    }
    void TearDown() override {
        SetClock(SavedClock);
        CatalogRunTest::TearDown();
    }
    void MakeCatalog() {
        MakeCatalogRecord();
        catalog::TCatalogStore().OpenCatalog(true);
        SetCatalogOption("KeepActivityLog", "True");
        SetCatalogOption("WarnIfExists", "False");
        dbsql::TDbTable categories(nullptr);
        categories.SetDatabaseName("P:\\");
        categories.SetTableName("Categories");
        catalog::DefineTable(categories, catalog::CategoriesSchema());
        categories.CreateTable();
    }
    // Writes a listing file to P: and gives its path there.
    std::string WriteListing(const std::string& Name, const std::string& Text) {
        Program.WriteFile(Name, Text);
        return "P:\\" + Name;
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
    static bool TableExists(const std::string& Table) {
        dbsql::TDbTable t(nullptr);
        t.SetDatabaseName("P:\\");
        t.SetTableName(Table);
        return t.Exists();
    }
    static V Sorted(V Values) {
        std::sort(Values.begin(), Values.end());
        return Values;
    }
    // Sets fields of a window's current profile and posts it.
    static void SetProfileOf(TImportProfileForm& Window, const std::map<std::string, std::string>& Texts,
                             const std::map<std::string, int>& Numbers) {
        dbsql::TDbTable& t = *Window.ProfileTable;
        t.Edit();
        for (const auto& [name, value] : Texts) t.FieldByName(name)->SetAsString(value);
        for (const auto& [name, value] : Numbers) t.FieldByName(name)->SetAsInteger(value);
        t.Post();
    }
    // A profile a run refuses before it reads anything, and the one message it gives.
    struct TRefusedProfile {
        std::map<std::string, std::string> Texts;
        std::map<std::string, int> Numbers;
        std::string Message;
    };
    void ExpectRefused(TImportProfileForm& Window, const std::function<void()>& Run,
                       const std::vector<TRefusedProfile>& Cases) {
        for (const TRefusedProfile& c : Cases) {
            SCOPED_TRACE(c.Message);
            Driver.Shown.clear();
            SetProfileOf(Window, c.Texts, c.Numbers);
            Run();  // no label is asked and nothing opens: another form would be unanswered
            Driver.RunPending();
            ASSERT_EQ(Driver.Shown.size(), 1u);
            EXPECT_EQ(Driver.Shown[0].Text, c.Message);
        }
    }
    // The bytes of every file of the program folder whose name starts with Prefix.
    std::map<std::string, std::string> Snapshot(const std::string& Prefix) {
        std::map<std::string, std::string> files;
        for (const auto& e : std::filesystem::directory_iterator(Program.Path())) {
            const std::string name = e.path().filename().string();
            if (!name.starts_with(Prefix)) continue;
            std::ifstream in(e.path(), std::ios::binary);
            files[name] = std::string(std::istreambuf_iterator<char>(in), {});
        }
        return files;
    }
};

// The fixture with a catalog made and one import window of class TWindow, freed at the end.
template <class TWindow>
class ImportWindowTest : public ImportTest {
protected:
    TWindow* Window = nullptr;

    void SetUp() override {
        ImportTest::SetUp();
        MakeCatalog();
    }
    void TearDown() override {
        if (Window) Window->Free();
        ImportTest::TearDown();
    }
    TWindow& OpenWindow() {
        Window = TCustomForm::Create<TWindow>(Application);
        Window->Show();
        Driver.RunPending();
        return *Window;
    }
    // Sets fields of the window's current profile (posted).
    void SetProfile(const std::map<std::string, std::string>& Texts,
                    const std::map<std::string, int>& Numbers = {}) {
        SetProfileOf(*Window, Texts, Numbers);
    }
};

}  // namespace tools::importtest
