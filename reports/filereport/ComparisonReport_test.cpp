// A file report over a comparison table that already exists: totals and widths from its rows,
// the table kept on cancel and on close.

#include "reports/filereport/FileReportScreenForm.h"
#include "reports/testsupport/FileReportFixture.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "catalog/Globals.h"
#include "catalog/ProgressForm.h"
#include "dbsql/components/DbQuery.h"
#include "dbsql/components/DbTable.h"
#include "framework/data/Fields.h"
#include "framework/dbctrls/DBGrids.h"
#include "framework/stdctrls/CheckBox.h"

namespace reports {
namespace {

using namespace framework;

class ComparisonReportTest : public testsupport::FileReportTest {
protected:
    // CCCommon holding the entries of CAT1 named in Names, as the comparison writes it.
    void MakeComparisonTable(const std::vector<std::string>& Names) {
        std::map<std::string, int> tags;
        auto cat = Table("CAT1_CAT");
        cat->Open();
        for (cat->First(); !cat->Eof(); cat->Next())
            tags[cat->FieldByName("FileName")->AsString()] = cat->FieldByName("Tag")->AsInteger();
        cat->Close();
        auto t = Table("CCCommon");
        t->FieldDefs.Add("FTag", ftInteger, 0, true);
        t->FieldDefs.Add("FromArc", ftString, 1, true);
        t->FieldDefs.Add("FileExt", ftString, 6, false);
        t->CreateTable();
        t->Open();
        for (const std::string& name : Names) {
            t->Append();
            t->FieldByName("FTag")->SetAsInteger(tags.at(name));
            t->FieldByName("FromArc")->SetAsString(name.find('<') != std::string::npos ? "Y" : "N");
            t->FieldByName("FileExt")->SetAsString("TXT");
            t->Post();
        }
        t->Close();
    }
    TFileReportScreenForm* NewComparisonReport(bool ShowArchived) {
        TFileReportScreenForm* f = NewReport();
        f->ResultTableName = "CCCommon";
        f->CatalogName = "CAT1";
        f->DeleteResultOnClose = false;
        f->ShowArchived->SetChecked(ShowArchived);
        return f;
    }
};

TEST_F(ComparisonReportTest, TotalsAndWidthsComeFromTheRowsTheReportShows) {
    MakeComparisonTable({"README.TXT", "README.TXT <DOCS/>", "ROOT.TXT"});
    struct TCase {
        bool ShowArchived;
        std::vector<std::string> Rows;
        int64_t FilesOnDisk, BytesOnDisk, FilesInArchives, BytesInArchives;
    };
    const TCase cases[] = {
        {false, {"README.TXT", "ROOT.TXT"}, 2, 110, 0, 0},
        {true, {"README.TXT", "README.TXT <DOCS/>", "ROOT.TXT"}, 2, 110, 1, 50},
    };
    for (const TCase& c : cases) {
        TFileReportScreenForm* f = NewComparisonReport(c.ShowArchived);
        f->SortSpec[0] = {1, 1};
        ASSERT_TRUE(f->CreateComparisonReport());
        EXPECT_EQ(Rows(*f), c.Rows);
        EXPECT_EQ(f->FilesOnDiskTotal, c.FilesOnDisk);
        EXPECT_EQ(f->BytesOnDiskTotal, c.BytesOnDisk);
        EXPECT_EQ(f->FilesInArchivesTotal, c.FilesInArchives);
        EXPECT_EQ(f->BytesInArchivesTotal, c.BytesInArchives);
        EXPECT_EQ(f->AnyInArchives, c.FilesInArchives > 0);
        EXPECT_EQ(catalog::OpenReportCount, 1);
        // The file name column is as wide as the longest name shown, at least its heading.
        EXPECT_EQ(f->ColumnCharWidth[0], c.ShowArchived ? 18 : 10);
        EXPECT_EQ(f->FileReportGrid->Columns()[0]->Width(), f->ColumnPixelWidth[0] + 4);
        CloseReport(f);
        EXPECT_EQ(catalog::OpenReportCount, 0);
        EXPECT_TRUE(TableExists("CCCommon")) << "the comparison keeps its tables";
    }
}

TEST_F(ComparisonReportTest, TheDateKeySortsByTheDateAloneAndCancelKeepsTheTable) {
    MakeComparisonTable({"README.TXT", "ROOT.TXT"});
    TFileReportScreenForm* f = NewComparisonReport(true);
    f->SortSpec[5] = {1, 2};
    ASSERT_TRUE(f->CreateComparisonReport());
    EXPECT_EQ(f->OrderByText, "Order By DateModified DESC");
    EXPECT_EQ(Rows(*f), (std::vector<std::string>{"ROOT.TXT", "README.TXT"}));
    CloseReport(f);

    f = NewComparisonReport(true);
    f->SortSpec[0] = {1, 1};
    auto progress = f->Query->OnQueryProgress;
    f->Query->OnQueryProgress = [&](TObject* S, uint16_t P, bool& Abort) {
        for (int i = 0; i < Screen->FormCount(); ++i)
            if (auto* p = dynamic_cast<catalog::TProgressForm*>(Screen->Forms(i))) p->CancelBtnClick();
        progress(S, P, Abort);
    };
    EXPECT_FALSE(f->CreateComparisonReport());
    EXPECT_TRUE(f->QueryCancelled);
    EXPECT_EQ(catalog::OpenReportCount, 0);
    EXPECT_TRUE(TableExists("CCCommon"));
    f->Free();
    Driver.RunPending();
}

}  // namespace
}  // namespace reports
