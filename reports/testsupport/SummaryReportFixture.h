#pragma once
// The disk summary's tests run over catalogs made by cataloguing runs on drive D: (program folder
// and catalog data folder), on a fixed day, with drive figures chosen for their slack.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "catalog/Globals.h"
#include "catalog/testsupport/CatalogTestFixture.h"
#include "dbsql/components/DbQuery.h"
#include "dbsql/components/DbTable.h"
#include "framework/core/Seams.h"
#include "framework/data/Fields.h"
#include "platform/testsupport/UserEnv.h"
#include "reports/summary/SummaryReportScreenForm.h"
#include "reports/testsupport/CatalogRunHelper.h"

namespace reports::testsupport {

// A volume to catalogue: label, files, serial number, drive figures, and what is then set in its
// summary record (the comment; the drive it came from, "E" as catalogued).
struct TSummaryVolume {
    std::string Label;
    std::vector<TVolumeFile> Files;
    uint32_t Serial;
    std::string Figures;
    std::string Comment;
    std::string From = "E";
};

class SummaryReportTest : public catalog::testsupport::TCatalogFixture {
protected:
    void SetUp() override {
        TCatalogFixture::SetUp();
        SavedClock = framework::SetClock(
            [] { return framework::EncodeDate(2024, 3, 15) + framework::EncodeTime(18, 30, 0, 0); });
        catalog::OpenReportCount = 0;
    }
    void TearDown() override {
        for (TSummaryReportScreenForm* f : Open)
            if (f) f->Free();
        Driver.RunPending();
        catalog::OpenReportCount = 0;
        framework::SetClock(SavedClock);
        TCatalogFixture::TearDown();
    }

    // Three volumes: BACKUP01 (slack 12.5, a comment of two lines, drive D), ARCHIVE2 (slack 90, a
    // long comment with a blank line, drive C) and PHOTOS (over 4 GiB, free space equal to its size,
    // no drive).
    void MakeThreeVolumes() {
        MakeCatalog("CAT1", {{"BACKUP01",
                              {{"DATA/A.DAT", std::string(700000, 'a')}},
                              0x1A2B3C4D,
                              "|size=1000000|cluster=4096|free=200000",
                              "Weekly backup\r\nSecond line",
                              "D"},
                             {"ARCHIVE2",
                              {{"X.TXT", std::string(1000, 'x')}, {"Y.TXT", std::string(2000, 'y')}},
                              0x00C0FFEE,
                              "|size=50000|cluster=512|free=20000",
                              "Old letters and tax papers from the years before the move to the new house\r\n"
                              "\r\nKept for ten years",
                              "C"},
                             {"PHOTOS",
                              {{"P.JPG", std::string(10, 'p')}},
                              0x7EDCBA98,
                              "|size=6000000000|cluster=32768|free=6000000000",
                              "",
                              ""}});
    }
    void MakeCatalog(const std::string& Name, const std::vector<TSummaryVolume>& Volumes) {
        CreateRunCatalog(Name);
        for (const TSummaryVolume& v : Volumes)
            CatalogVolumeByRun("D=" + Root.Path(), v.Label, v.Files, v.Serial, v.Figures);
        auto sum = Table(Name + "_SUM");
        sum->Open();
        for (const TSummaryVolume& v : Volumes) {
            ASSERT_TRUE(sum->FindKey({framework::Variant(v.Label)})) << v.Label;
            sum->Edit();
            sum->FieldByName("Comment")->SetAsString(v.Comment);
            sum->FieldByName("CatalogedFrom")->SetAsString(v.From);
            sum->Post();
        }
        sum->Close();
    }

    TSummaryReportScreenForm* NewReport(const TSummaryReportSpec& Spec) {
        auto* f = framework::TCustomForm::Create<TSummaryReportScreenForm>(framework::Application);
        Open.push_back(f);
        f->OnDestroy = [this, f](framework::TObject*) {
            std::replace(Open.begin(), Open.end(), f, (TSummaryReportScreenForm*)nullptr);
        };
        f->Spec = Spec;
        return f;
    }
    // A built report, shown.
    TSummaryReportScreenForm* Built(const TSummaryReportSpec& Spec) {
        TSummaryReportScreenForm* f = NewReport(Spec);
        EXPECT_TRUE(f->CreateReport());
        f->Show();
        Driver.RunPending();
        return f;
    }
    // The catalog volume IDs of the report's rows, in order.
    static std::vector<std::string> Rows(TSummaryReportScreenForm& F) {
        std::vector<std::string> labels;
        for (F.Query->First(); !F.Query->Eof(); F.Query->Next())
            labels.push_back(F.Query->FieldByName("CatalogVolumeLabel")->AsString());
        F.Query->First();
        return labels;
    }
    void CloseReport(TSummaryReportScreenForm* F) {
        F->Close();
        Driver.RunPending();
    }
    bool TableExists(const std::string& Name) { return Table(Name)->Exists(); }

    platform::testsupport::ScopedUserEnv Env;
    framework::TClockFunc SavedClock;
    std::vector<TSummaryReportScreenForm*> Open;
};

}  // namespace reports::testsupport
