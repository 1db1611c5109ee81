// The duplicate and unique file reports over catalogs made by cataloguing runs, and the dialog of
// their options.

#include "reports/filereport/DupUniqueFinder.h"
#include "reports/filereport/FileReportScreenForm.h"
#include "reports/testsupport/CatalogRunHelper.h"
#include "reports/testsupport/FileReportFixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "catalog/Globals.h"
#include "catalog/ProgressForm.h"
#include "controls/entry/CtlState.h"
#include "dbsql/components/DbQuery.h"
#include "framework/data/Fields.h"
#include "framework/stdctrls/CheckBox.h"

namespace reports {
namespace {

using namespace framework;
using testsupport::TVolumeFile;

using TRows = std::vector<std::string>;

class DupUniqueReportTest : public testsupport::FileReportTest {
protected:
    // A catalog made by one run per volume.
    void MakeRunCatalog(const std::string& Name,
                        const std::vector<std::pair<std::string, std::vector<TVolumeFile>>>& Volumes) {
        testsupport::CreateRunCatalog(Name);
        uint32_t serial = 0x1000;
        for (const auto& [label, files] : Volumes)
            testsupport::CatalogVolumeByRun("D=" + Root.Path(), label, files, ++serial);
    }
    // "name|volume|folder" of every listed entry, in name, volume, folder order.
    TRows Report(const std::string& Catalog, bool Unique, bool Versions = false, bool Sizes = false) {
        TFileReportScreenForm* f = NewReport();
        f->CatalogName = Catalog;
        (Unique ? f->OnlyUnique : f->OnlyDuplicate) = true;
        f->UseVersions = Versions;
        f->UseFileSize = Sizes;
        for (int item = 1; item <= 3; ++item) f->SortSpec[size_t(item - 1)] = {uint8_t(item), 1};
        EXPECT_TRUE(f->CreateReport());
        TRows rows;
        for (f->Query->First(); !f->Query->Eof(); f->Query->Next())
            rows.push_back(f->Query->FieldByName("FileName")->AsString() + "|" +
                           f->Query->FieldByName("VolumeLabel")->AsString() + "|" +
                           f->Query->FieldByName("FolderName")->AsString());
        CloseReport(f);
        return rows;
    }
};

TEST(DupUniqueKeyTest, VersionsStripTrailingVersionCharactersFromTheBaseName) {
    struct TCase {
        const char* Name;
        bool Unique;
        const char* Key;
    };
    const TCase cases[] = {
        {"REPORT12", false, "REPORT"},
        {"REPORT-3", false, "REPORT"},
        {"REPORT-3", true, "REPORT-"},
        {"REPORT12", true, "REPORT"},
        {"REPORT1.TXT", false, "REPORTTXT"},
        {"REPORT2.TXT", true, "REPORTTXT"},
        {"DATA.001", false, "DATA001"},
        {"DATA.002", false, "DATA002"},
        {"1234", false, "1"},
        {"1234", true, "1"},
        {"V1_2.ZIP", false, "VZIP"},
        {"V1_2.ZIP", true, "V1_ZIP"},
        {"C:\\OLD\\A1.B", false, "AB"},
        {"", false, ""},
    };
    for (const TCase& c : cases) EXPECT_EQ(DupUniqueKey(c.Name, true, c.Unique), c.Key) << c.Name;
    EXPECT_EQ(DupUniqueKey("REPORT12", false, false), "REPORT12");
}

TEST(DupUniqueKeyTest, TheCatalogQueryIsOrderedCaseSensitivelyByNameAndSize) {
    EXPECT_EQ(
        DupUniqueSql("MY\"CAT", false),
        (TRows{"Select * From \"MY\"\"CAT_CAT\"", "Order By FileName, VolumeLabel, FolderName, ArchiveID"}));
    EXPECT_EQ(DupUniqueSql("CAT1", true), (TRows{"Select * From \"CAT1_CAT\"",
                                                 "Order By FileName, FileSize, FolderName, ArchiveID, Tag"}));
}

TEST_F(DupUniqueReportTest, RunsOfEqualNamesAreDuplicatesAndTheRestUnique) {
    MakeRunCatalog("RUNCAT", {{"VOL1",
                               {{"README.TXT", "1"},
                                {"A/SAME.DAT", "22"},
                                {"B/SAME.DAT", "22"},
                                {"C/SAME.DAT", "333"},
                                {"ONLY.ONE", "x"}}},
                              {"VOL2", {{"readme.txt", "1"}}},
                              {"VOL3", {{"README.TXT", "1"}}}});
    // The three SAME.DAT entries and the two README.TXT on VOL1 and VOL3, not readme.txt on VOL2
    // that sorts between them without regard to case.
    EXPECT_EQ(Report("RUNCAT", false), (TRows{"README.TXT|VOL1|\\", "README.TXT|VOL3|\\", "SAME.DAT|VOL1|\\A",
                                              "SAME.DAT|VOL1|\\B", "SAME.DAT|VOL1|\\C"}));
    EXPECT_EQ(Report("RUNCAT", true), (TRows{"ONLY.ONE|VOL1|\\", "readme.txt|VOL2|\\"}));
    // With sizes the SAME.DAT of another size is no duplicate.
    EXPECT_EQ(Report("RUNCAT", false, false, true),
              (TRows{"README.TXT|VOL1|\\", "README.TXT|VOL3|\\", "SAME.DAT|VOL1|\\A", "SAME.DAT|VOL1|\\B"}));
    EXPECT_EQ(Report("RUNCAT", true, false, true),
              (TRows{"ONLY.ONE|VOL1|\\", "readme.txt|VOL2|\\", "SAME.DAT|VOL1|\\C"}));
}

TEST_F(DupUniqueReportTest, VersionsMakeNeighboursWithDifferentNumbersDuplicates) {
    MakeRunCatalog(
        "VERS",
        {{"VOL1",
          {{"1234", "a"}, {"DATA.001", "a"}, {"DATA.002", "a"}, {"REPORT-3", "a"}, {"REPORT12", "a"}}}});
    EXPECT_EQ(Report("VERS", false, true), (TRows{"REPORT-3|VOL1|\\", "REPORT12|VOL1|\\"}));
    // The unique finder keeps the "-": REPORT- and REPORT differ, so every entry is unique.
    EXPECT_EQ(Report("VERS", true, true), (TRows{"1234|VOL1|\\", "DATA.001|VOL1|\\", "DATA.002|VOL1|\\",
                                                 "REPORT-3|VOL1|\\", "REPORT12|VOL1|\\"}));
    EXPECT_EQ(Report("VERS", false, false), TRows{});
}

TEST_F(DupUniqueReportTest, OneEntryIsUniqueAndAnEmptyCatalogGivesTwoEmptyReports) {
    MakeRunCatalog("ONE", {{"VOL1", {{"LONE.TXT", "abc"}}}});
    EXPECT_EQ(Report("ONE", false), TRows{});
    EXPECT_EQ(Report("ONE", true), TRows{"LONE.TXT|VOL1|\\"});
    testsupport::CreateRunCatalog("EMPTY");
    EXPECT_EQ(Report("EMPTY", false), TRows{});
    EXPECT_EQ(Report("EMPTY", true), TRows{});
}

TEST_F(DupUniqueReportTest, TotalsCountTheListedEntriesOnly) {
    MakeRunCatalog("TOT", {{"VOL1", {{"A/X.BIN", "12345"}, {"B/X.BIN", "123"}, {"Y.BIN", "1"}}}});
    TFileReportScreenForm* f = NewReport();
    f->CatalogName = "TOT";
    f->OnlyDuplicate = true;
    ASSERT_TRUE(f->CreateReport());
    EXPECT_EQ(f->FilesOnDiskTotal, 2);
    EXPECT_EQ(f->BytesOnDiskTotal, 8);
    EXPECT_EQ(f->FilesInArchivesTotal, 0);
    EXPECT_FALSE(f->AnyInArchives);
    CloseReport(f);
}

TEST_F(DupUniqueReportTest, CancelInTheFinderDropsTheResultTable) {
    MakeRunCatalog("CANC", {{"VOL1", {{"A/X.BIN", "1"}, {"B/X.BIN", "1"}, {"C/X.BIN", "1"}}}});
    TFileReportScreenForm* f = NewReport();
    f->CatalogName = "CANC";
    f->OnlyDuplicate = true;
    int seen = 0;
    f->Query2->AfterScroll = [&seen](TDataSet*) {
        if (++seen == 2)
            for (int i = 0; i < Screen->FormCount(); ++i)
                if (auto* p = dynamic_cast<catalog::TProgressForm*>(Screen->Forms(i))) p->CancelBtnClick();
    };
    EXPECT_FALSE(f->CreateReport());
    EXPECT_FALSE(TableExists(f->ResultTableName));
    EXPECT_EQ(catalog::OpenReportCount, 0);
}

TEST_F(DupUniqueReportTest, VersionsClearAndDisableTheSizeOptionAndBothAreRemembered) {
    auto* d = TCustomForm::Create<TGetDupUniqueFileReportSpecsForm>(Application);
    EXPECT_EQ(d->Caption(), "Duplicate File Report Specifications");
    EXPECT_EQ(d->UseVersions->Caption(), "Use \"Versions\" Feature");
    EXPECT_EQ(d->UseFileSize->Caption(), "Use FileSize As An Additional Criteria");
    d->UseFileSize->SetChecked(true);
    d->UseVersions->SetChecked(true);
    EXPECT_FALSE(d->UseFileSize->Checked());
    EXPECT_FALSE(d->UseFileSize->Enabled());
    d->UseVersions->SetChecked(false);
    EXPECT_TRUE(d->UseFileSize->Enabled());
    d->UseFileSize->SetChecked(true);
    d->Close();
    d->Free();
    Driver.RunPending();
    d = TCustomForm::Create<TGetDupUniqueFileReportSpecsForm>(Application);
    EXPECT_TRUE(d->UseFileSize->Checked());
    EXPECT_FALSE(d->UseVersions->Checked());
    d->UseVersions->SetChecked(true);
    d->Close();
    d->Free();
    Driver.RunPending();
    // A remembered versions option disables the size option when the dialog shows.
    d = TCustomForm::Create<TGetDupUniqueFileReportSpecsForm>(Application);
    EXPECT_TRUE(d->UseVersions->Checked());
    d->UseFileSize->SetChecked(true);
    d->Show();
    EXPECT_FALSE(d->UseFileSize->Checked());
    EXPECT_FALSE(d->UseFileSize->Enabled());
    d->Free();
    Driver.RunPending();
}

}  // namespace
}  // namespace reports
