#pragma once
// A fixture for the windows that change what a catalog holds: the catalog CAT1 (keeping an activity
// log) filled by real cataloguing runs, one per volume, each over drive D: with its own label and
// files; a clock the test sets; Categories; the shared progress window, its captions recorded.

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "catalog/ProgressForm.h"
#include "cataloging/testsupport/RunFixture.h"
#include "controls/kit/CoolGauge.h"

namespace cataloging::runtest {

// A volume: its label and its files (path below the drive, content).
struct TVolumeFiles {
    std::string Label;
    std::vector<std::pair<std::string, std::string>> Files;
};

class CatalogedVolumesTest : public CatalogRunTest {
protected:
    TDateTime Now = EncodeDate(2003, 9, 15) + EncodeTime(10, 30, 0, 0);
    TClockFunc SavedClock;
    catalog::TProgressForm* Progress = nullptr;
    // The captions the progress window was shown with, in order.
    std::vector<std::string> ProgressCaptions;
    int Serial = 0x1A2B0000;
    // Called once a volume's files are written, before it is catalogued.
    std::function<void()> AfterWrite;

    void SetUp() override {
        CatalogRunTest::SetUp();
        SavedClock = SetClock([this] { return Now; });
        catalog::CurrentCatalogName = "CAT1";
        dbsql::TDbTable cfg(nullptr);
        cfg.SetDatabaseName("P:\\");
        cfg.SetTableName("CatalogConfigs");
        catalog::DefineTable(cfg, catalog::CatalogConfigsSchema());
        cfg.CreateTable();
        catalog::TCatalogStore store;
        store.CreateCatalogConfig(false, {30, 60, 20});
        store.OpenCatalog(true);
        ASSERT_EQ(catalog::CurrentCatalogName, "CAT1");
        SetOption("KeepActivityLog", "True");
        SetOption("WarnIfExists", "False");
        dbsql::TDbTable cat(nullptr);
        cat.SetDatabaseName("P:\\");
        cat.SetTableName("Categories");
        catalog::DefineTable(cat, catalog::CategoriesSchema());
        cat.CreateTable();
        Progress = TCustomForm::Create<catalog::TProgressForm>(Application);
        Progress->OnShow = [this](TObject*) { ProgressCaptions.push_back(Progress->Caption()); };
        catalog::ProgressForm = Progress;
    }
    void TearDown() override {
        catalog::ProgressForm = nullptr;
        Progress->Free();
        SetClock(SavedClock);
        CatalogRunTest::TearDown();
    }
    void SetOption(const std::string& Name, const std::string& Value) {
        dbsql::TDbTable t(nullptr);
        t.SetDatabaseName("P:\\");
        t.SetTableName("CatalogConfigs");
        t.Open();
        ASSERT_TRUE(t.FindKey({Variant(catalog::CurrentCatalogName)}));
        t.Edit();
        t.FieldByName(Name)->SetAsString(Value);
        t.Post();
    }
    // Catalogues a disk holding Volume's files under Volume's label into the current catalog.
    void CatalogVolume(const TVolumeFiles& Volume) {
        for (const auto& entry : std::filesystem::directory_iterator(Disk.Path()))
            std::filesystem::remove_all(entry.path());
        for (const auto& [path, content] : Volume.Files) Disk.WriteFile(path, content);
        if (AfterWrite) AfterWrite();
        char serial[9];
        snprintf(serial, sizeof serial, "%08X", ++Serial);
        Drives.reset();
        Drives = std::make_unique<TScopedDrives>("D=" + Disk.Path() + "|label=" + Volume.Label + "|serial=" +
                                                 serial + "|size=1457664|cluster=512;P=" + Program.Path());
        const std::string catalogName = catalog::CurrentCatalogName;
        auto* f = TCustomForm::Create<TCatalogProgressForm>(Application);
        f->SetCaption("Cataloging Disk In Drive D");
        f->Show();
        f->Spec.DriveLetter = 'D';
        f->Spec.StartFolder = "D:\\";
        f->Spec.Recurse = true;
        catalog::StopRequested = false;
        bool done = false;
        try {
            done = f->CatalogDisk();
        } catch (...) {
            f->Free();
            throw;
        }
        f->Free();
        Driver.RunPending();
        ASSERT_TRUE(done) << Volume.Label;
        catalog::CurrentCatalogName = catalogName;
    }
    void CatalogVolumes(const std::vector<TVolumeFiles>& Volumes) {
        for (const TVolumeFiles& v : Volumes) CatalogVolume(v);
        ProgressCaptions.clear();
        Driver.Shown.clear();
    }
    // The rows of a table of drive P: in its primary order, the fields joined by "|"; with no
    // fields named, every field as "name=value;".
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
            for (int i = 0; Fields.empty() && i < t.FieldCount(); ++i)
                row += t.Fields[i]->FieldName + "=" + t.Fields[i]->AsString() + ";";
            out.push_back(row);
        }
        return out;
    }
    static V WholeRows(const std::string& Table) { return Rows(Table, {}); }
    static V Without(const V& Rows, const std::string& Text) {
        V out;
        for (const std::string& r : Rows)
            if (r.find(Text) == std::string::npos) out.push_back(r);
        return out;
    }
    void Grab(TWinControl& Form, const std::string& Name) {
        EXPECT_TRUE(Driver.Grab(Form, std::string(KORVANE_BUILD_DIR) + "/" + Name + ".png"));
    }
};

}  // namespace cataloging::runtest
