#pragma once
// The volume summary's tests: a catalog of three volumes made by cataloguing runs (see
// MakeVolSummaryCatalog), the categories table, and windows opened over it and freed at the end.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "catalog/ProgramTables.h"
#include "dbsql/components/DbTable.h"
#include "framework/data/Fields.h"
#include "reports/testsupport/SummaryReportFixture.h"
#include "reports/volsummary/VolSummaryScreenForm.h"

namespace reports::testsupport {

class VolSummaryTest : public SummaryReportTest {
protected:
    void SetUp() override {
        SummaryReportTest::SetUp();
        auto categories = Table("Categories");
        catalog::DefineTable(*categories, catalog::CategoriesSchema());
        categories->CreateTable();
        categories->Open();
        categories->Append();
        categories->FieldByName("Code")->SetAsString("DOC");
        categories->FieldByName("Description")->SetAsString("Documents");
        categories->Post();
        categories->Close();
    }
    void TearDown() override {
        for (TVolSummaryFileContentsScreenForm* f : Windows)
            if (f) f->Free();
        Driver.RunPending();
        SummaryReportTest::TearDown();
    }

    // CAT1, catalogued by runs:
    // - BACKUP01 (drive D, serial 1A2B-3C4D, slack 12.50): DATA\A.DAT (700,000 bytes, read-only and
    //   archive, category DOC, comment "Weekly copy") and README.TXT in the root, no attributes; the
    //   disk comment has three lines. Every entry was modified on 6/1/2023 at 10:30.
    // - EMPTYVOL (no drive, no serial, free space equal to its size): no entries.
    // - LETTERS (drive C, serial 0, used above size): X.TXT and Y.TXT, Y.TXT inside archive OLD.ZIP.
    void MakeVolSummaryCatalog() {
        MakeCatalog("CAT1", {{"BACKUP01",
                              {{"DATA/A.DAT", std::string(700000, 'a')}, {"README.TXT", "read me"}},
                              0x1A2B3C4D,
                              "|size=1000000|cluster=4096|free=200000",
                              "Weekly backup\r\nSecond line\r\nThird line of the comment",
                              "D"},
                             {"EMPTYVOL",
                              {{"GONE.TXT", "gone"}},
                              0x11112222,
                              "|size=6000000000|cluster=32768|free=6000000000",
                              "",
                              ""},
                             {"LETTERS",
                              {{"X.TXT", std::string(1000, 'x')}, {"Y.TXT", std::string(2000, 'y')}},
                              0,
                              "|size=50000|cluster=512|free=20000",
                              "Letters",
                              "C"}});
        EditVolume("EMPTYVOL", [](framework::TDataSet& V) {
            V.FieldByName("SerialNumber")->Clear();
            V.FieldByName("FilesOnDisk")->SetAsInteger(0);
            V.FieldByName("DiskUsed")->SetAsFloat(0);
        });
        // A run cannot catalogue an empty disk: its only entry goes. The others get a fixed time.
        auto cat = Table("CAT1_CAT");
        cat->Open();
        for (cat->First(); !cat->Eof();) {
            if (cat->FieldByName("VolumeLabel")->AsString() == "EMPTYVOL") {
                cat->Delete();
                continue;
            }
            cat->Edit();
            cat->FieldByName("DateModified")->SetAsDateTime(framework::EncodeDate(2023, 6, 1));
            cat->FieldByName("TimeModified")->SetAsDateTime(framework::EncodeTime(10, 30, 0, 0));
            cat->Post();
            cat->Next();
        }
        cat->Close();
        EditVolume("LETTERS", [](framework::TDataSet& V) { V.FieldByName("DiskUsed")->SetAsFloat(60000); });
        EditEntry("A.DAT", [](framework::TDataSet& E) {
            E.FieldByName("Attribute")->SetAsInteger(0x21);
            E.FieldByName("CategoryCode")->SetAsString("DOC");
            E.FieldByName("Comment")->SetAsString("Weekly copy");
        });
        EditEntry("README.TXT", [](framework::TDataSet& E) { E.FieldByName("Attribute")->SetAsInteger(0); });
        EditEntry("Y.TXT",
                  [](framework::TDataSet& E) { E.FieldByName("ArchiveID")->SetAsString("OLD.ZIP"); });
    }
    void EditVolume(const std::string& Label, const std::function<void(framework::TDataSet&)>& Change) {
        auto sum = Table(catalog::CurrentCatalogName + "_SUM");
        sum->Open();
        ASSERT_TRUE(sum->FindKey({framework::Variant(Label)})) << Label;
        sum->Edit();
        Change(*sum);
        sum->Post();
        sum->Close();
    }
    void EditEntry(const std::string& FileName, const std::function<void(framework::TDataSet&)>& Change) {
        auto cat = Table(catalog::CurrentCatalogName + "_CAT");
        cat->Open();
        bool found = false;
        for (cat->First(); !cat->Eof(); cat->Next())
            if (cat->FieldByName("FileName")->AsString() == FileName) {
                cat->Edit();
                Change(*cat);
                cat->Post();
                found = true;
                break;
            }
        cat->Close();
        ASSERT_TRUE(found) << FileName;
    }
    // A window over the current catalog, shown.
    TVolSummaryFileContentsScreenForm* Window() {
        auto* f = framework::TCustomForm::Create<TVolSummaryFileContentsScreenForm>(framework::Application);
        Windows.push_back(f);
        f->OnDestroy = [this, f](framework::TObject*) {
            std::replace(Windows.begin(), Windows.end(), f, (TVolSummaryFileContentsScreenForm*)nullptr);
        };
        f->Show();
        Driver.RunPending();
        return f;
    }
    // Moves the volume grid onto Label.
    static void GoToVolume(TVolSummaryFileContentsScreenForm& F, const std::string& Label) {
        ASSERT_TRUE(F.SummaryTable->Locate("CatalogVolumeLabel", framework::Variant(Label), {})) << Label;
    }
    std::vector<TVolSummaryFileContentsScreenForm*> Windows;
};

}  // namespace reports::testsupport
