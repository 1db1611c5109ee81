// The disk summary report: slack, the report query, the criteria filter, and the window over
// catalogs made by cataloguing runs.

#include "reports/summary/SummaryReportScreenForm.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "catalog/Globals.h"
#include "catalog/ProgressForm.h"
#include "controls/entry/CtlState.h"
#include "dbsql/components/DbQuery.h"
#include "framework/data/Fields.h"
#include "framework/dbctrls/DBCtrls.h"
#include "framework/dbctrls/DBGrids.h"
#include "framework/stdctrls/CheckBox.h"
#include "framework/stdctrls/ExtCtrls.h"
#include "framework/stdctrls/Label.h"
#include "platform/Registry.h"
#include "reports/testsupport/SummaryReportFixture.h"

namespace reports {
namespace {

using namespace framework;
using TLabels = std::set<std::string>;

TEST(SummarySlackTest, OccupiedSpaceNotFilledByFilesAsAPercentage) {
    struct TCase {
        double Size, Free, Used, Slack;
    };
    const TCase cases[] = {
        {1000000, 200000, 700000, 12.5},
        {1000000, 200000, 800000, 0},
        {1000000, 1000000, 0, 0},  // free equals size
        {1000000, 1200000, 0, 0},  // free above size
        {0, 0, 0, 0},              // an empty size
        {1000000, 0, 1000001, 0},  // files above the size
        {6e9, 1e9, 4e9, 20},
    };
    for (const TCase& c : cases)
        EXPECT_DOUBLE_EQ(VolumeSlack(c.Size, c.Free, c.Used), c.Slack)
            << c.Size << " " << c.Free << " " << c.Used;
    // The totals on 64-bit sums, beyond what a double holds exactly.
    EXPECT_NEAR(double(TotalSlack(9000000000000000001LL, 1000000000000000000LL, 8000000000000000000LL)), 0,
                1e-9);
    EXPECT_NEAR(double(TotalSlack(6001050000LL, 703010LL, 6000220000LL)), 15.3, 1e-12);
    EXPECT_EQ(TotalSlack(100, 50, 100), 0);
    EXPECT_EQ(TotalSlack(100, 101, 0), 0);
    EXPECT_EQ(TotalSlack(0, 0, 0), 0);
}

TEST(SummarySqlTest, JoinsTheResultTableAndSortsWithoutRegardToCase) {
    EXPECT_EQ(SummaryReportSql("Results_7_1", "CAT1", SummaryOrderBy(DiskSummaryByVolumeSpec().SortSpec)),
              (std::vector<std::string>{"Select * From \"Results_7_1\", \"CAT1_SUM\" Where (STag = Tag)",
                                        "Order By CatalogVolumeLabel ASC NOCASE"}));
    EXPECT_EQ(SummaryReportSql("Results_7_1", "CAT1", SummaryOrderBy(DiskSummaryByFreeSpaceSpec().SortSpec)),
              (std::vector<std::string>{"Select * From \"Results_7_1\", \"CAT1_SUM\" Where (STag = Tag)",
                                        "Order By DiskFree DESC NOCASE"}));
    EXPECT_EQ(
        SummaryReportSql("Results_7_1", "MY\"CAT", ""),
        (std::vector<std::string>{"Select * From \"Results_7_1\", \"MY\"\"CAT_SUM\" Where (STag = Tag)"}));

    std::array<TSortKeySpec, kSummaryItems> keys{};
    keys[13] = {2, 1};  // comment, second
    keys[9] = {1, 2};   // slack, first
    keys[2] = {2, 2};   // serial number: same priority, earlier item
    keys[5] = {3, 3};   // an unknown direction adds nothing
    EXPECT_EQ(SummaryOrderBy(keys), "Order By SlackSpace DESC, SerialNumber DESC, Comment ASC");
}

TEST(SummarySpecTest, TheMenuReportsShowEveryDiskInTheSameColumns) {
    for (const TSummaryReportSpec& spec : {DiskSummaryByVolumeSpec(), DiskSummaryByFreeSpaceSpec()}) {
        EXPECT_EQ(spec.Op[0], rcMatches);
        EXPECT_EQ(spec.VolumeLabelSpec, "*");
        EXPECT_EQ(spec.ColumnPos,
                  (std::array<uint8_t, kSummaryItems>{1, 0, 0, 0, 8, 3, 0, 4, 5, 6, 7, 0, 2, 9}));
    }
    EXPECT_EQ(DiskSummaryByVolumeSpec().ReportTitle,
              "Disk Summary Report - All Disks Sorted By Cataloged Volume ID");
    EXPECT_EQ(DiskSummaryByFreeSpaceSpec().ReportTitle,
              "Disk Summary Report - All Disks Sorted By Descending Free Space");
}

class SummaryReportWindowTest : public testsupport::SummaryReportTest {
protected:
    TLabels Accepted(const std::function<void(TSummaryReportSpec&)>& Fill) {
        TSummaryReportSpec spec;
        spec.ColumnPos[0] = 1;
        Fill(spec);
        TSummaryReportScreenForm* f = NewReport(spec);
        EXPECT_TRUE(f->CreateReport());
        const auto rows = Rows(*f);
        // The close handler without the window's close (which stores its state each time).
        TCloseAction action = caFree;
        f->FormClose(action);
        f->Free();
        return {rows.begin(), rows.end()};
    }
    static void PressCancel() {
        for (int i = 0; i < Screen->FormCount(); ++i)
            if (auto* p = dynamic_cast<catalog::TProgressForm*>(Screen->Forms(i))) p->CancelBtnClick();
    }
};

TEST_F(SummaryReportWindowTest, TheFilterTestsEachItemByItsOwnRule) {
    MakeThreeVolumes();
    const TLabels all{"ARCHIVE2", "BACKUP01", "PHOTOS"};
    const TDateTime day = EncodeDate(2024, 3, 15);
    struct TCase {
        const char* What;
        std::function<void(TSummaryReportSpec&)> Fill;
        TLabels Expected;
    };
    const std::vector<TCase> cases = {
        {"no criteria", [](auto&) {}, all},
        {"mask matches", [](auto& s) { s.Op[0] = rcMatches, s.VolumeLabelSpec = "b*"; }, {"BACKUP01"}},
        {"mask does not match",
         [](auto& s) { s.Op[0] = rcNotMatches, s.VolumeLabelSpec = "B*"; },
         {"ARCHIVE2", "PHOTOS"}},
        {"a relation on the mask", [](auto& s) { s.Op[0] = rcLess, s.VolumeLabelSpec = "B*"; }, all},
        {"empty phrase not contained", [](auto& s) { s.Op[13] = rcNotMatches; }, all},
        {"empty phrase contained", [](auto& s) { s.Op[13] = rcMatches; }, {}},
        {"phrase across a line break",
         [](auto& s) { s.Op[13] = rcMatches, s.CommentText = "BACKUP SECOND"; },
         {"BACKUP01"}},
        {"blank comment", [](auto& s) { s.Op[2] = rcBlankComment; }, {"PHOTOS"}},
        {"comment not blank", [](auto& s) { s.Op[9] = rcNonBlankComment; }, {"ARCHIVE2", "BACKUP01"}},
        {"some keywords, none required",
         [](auto& s) { s.Op[13] = rcSomeKeywords, s.CommentText = "NOWHERE", s.MatchesRequired = 0; }, all},
        {"more keywords required than given",
         [](auto& s) { s.Op[13] = rcSomeKeywords, s.CommentText = "WEEKLY BACKUP", s.MatchesRequired = 3; },
         {}},
        {"one of two keywords",
         [](auto& s) { s.Op[13] = rcSomeKeywords, s.CommentText = " TAX   WEEKLY ", s.MatchesRequired = 1; },
         {"ARCHIVE2", "BACKUP01"}},
        {"all keywords", [](auto& s) { s.Op[13] = rcAllKeywords, s.CommentText = "TAX KEPT"; }, {"ARCHIVE2"}},
        {"all keywords, one missing",
         [](auto& s) { s.Op[13] = rcAllKeywords, s.CommentText = "TAX WEEKLY"; },
         {}},
        {"no keywords, some", [](auto& s) { s.Op[13] = rcSomeKeywords, s.MatchesRequired = 2; }, all},
        {"no keywords, all", [](auto& s) { s.Op[13] = rcAllKeywords, s.CommentText = "   "; }, all},
        {"date equal, the time ignored", [day](auto& s) { s.Op[4] = rcMatches, s.DateLastValue = day + 0.9; },
         all},
        {"date before, the time ignored",
         [day](auto& s) { s.Op[3] = rcLess, s.DateFirstValue = day + 0.9; },
         {}},
        {"date after the day before", [day](auto& s) { s.Op[3] = rcGreater, s.DateFirstValue = day - 0.1; },
         all},
        {"size above 4 GiB",
         [](auto& s) { s.Op[5] = rcGreater, s.DiskSizeValue = 4294967296LL; },
         {"PHOTOS"}},
        {"size at most",
         [](auto& s) { s.Op[5] = rcLessEqual, s.DiskSizeValue = 1000000; },
         {"ARCHIVE2", "BACKUP01"}},
        {"cluster below", [](auto& s) { s.Op[6] = rcLess, s.ClusterSizeValue = 4096; }, {"ARCHIVE2"}},
        {"used not equal",
         [](auto& s) { s.Op[7] = rcNotMatches, s.DiskUsedValue = 700000; },
         {"ARCHIVE2", "PHOTOS"}},
        {"free equal", [](auto& s) { s.Op[8] = rcMatches, s.DiskFreeValue = 6000000000LL; }, {"PHOTOS"}},
        {"files at least", [](auto& s) { s.Op[10] = rcGreaterEqual, s.FilesOnDiskValue = 2; }, {"ARCHIVE2"}},
        {"files in archives equal", [](auto& s) { s.Op[11] = rcMatches, s.FilesInArchivesValue = 0; }, all},
        {"drive equal", [](auto& s) { s.Op[12] = rcMatches, s.CatalogedFromValue = "C"; }, {"ARCHIVE2"}},
        {"drive compared with case", [](auto& s) { s.Op[12] = rcMatches, s.CatalogedFromValue = "c"; }, {}},
        {"drive below",
         [](auto& s) { s.Op[12] = rcLess, s.CatalogedFromValue = "D"; },
         {"ARCHIVE2", "PHOTOS"}},
        {"two criteria",
         [](auto& s) {
             s.Op[0] = rcNotMatches, s.VolumeLabelSpec = "P*";
             s.Op[5] = rcLess, s.DiskSizeValue = 100000;
         },
         {"ARCHIVE2"}},
    };
    for (const TCase& c : cases) EXPECT_EQ(Accepted(c.Fill), c.Expected) << c.What;
    // Items without a criterion pass whatever the operator.
    for (int item : {2, 3, 10})
        for (uint8_t op = rcMatches; op <= rcGreaterEqual; ++op)
            EXPECT_EQ(Accepted([&](auto& s) { s.Op[size_t(item - 1)] = op; }), all) << item << " " << int(op);
}

TEST_F(SummaryReportWindowTest, RowsCarrySlackSerialAndFirstCommentLineAndTheTotalsAddUp) {
    MakeThreeVolumes();
    TSummaryReportScreenForm* f = Built(DiskSummaryByFreeSpaceSpec());
    EXPECT_EQ(Rows(*f), (std::vector<std::string>{"PHOTOS", "BACKUP01", "ARCHIVE2"}));
    EXPECT_EQ(f->Query->SQL().Count(), 2);
    EXPECT_EQ(f->Query->SQL()[1], "Order By DiskFree DESC NOCASE");
    struct TRow {
        double Slack;
        const char* Serial;
        const char* Comment;
        const char* Size;
    };
    const TRow expected[] = {
        {0, "7EDC-BA98", "", "6,000,000,000"},
        {12.5, "1A2B-3C4D", "Weekly backup", "1,000,000"},
        {90, "00C0-FFEE", "Old letters and tax papers from the years before the move to the new house",
         "50,000"}};
    for (const TRow& row : expected) {
        EXPECT_DOUBLE_EQ(f->Query->FieldByName("SlackSpace")->AsFloat(), row.Slack);
        EXPECT_EQ(f->Query->FieldByName("SerialNumberStr")->AsString(), row.Serial);
        EXPECT_EQ(f->Query->FieldByName("CommentStr")->AsString(), row.Comment);
        EXPECT_EQ(f->Query->FieldByName("DiskSize")->DisplayText(), row.Size);
        f->Query->Next();
    }
    EXPECT_EQ(f->Caption(), "Disk Summary Report - All Disks Sorted By Descending Free Space");
    EXPECT_EQ(f->DiskCount, 3);
    EXPECT_EQ(f->FileTotal, 4);  // files in archives are not counted
    EXPECT_EQ(f->TotDisks1->Caption(), "3");
    EXPECT_EQ(f->TotFiles1->Caption(), "4");
    EXPECT_EQ(f->TotSlack1->Caption(), "15.30");
    EXPECT_EQ(f->TotSize1->Caption(), "6,001,050,000");
    EXPECT_EQ(f->TotUsed2->Caption(), "703,010");
    EXPECT_EQ(f->TotFree1->Caption(), "6,000,220,000");
    EXPECT_EQ(f->TotFree2->Caption(), "6,000,220,000");
    // The measured character widths: the dates' texts are shorter than their headings; the sizes
    // and the first comment line are longer.
    EXPECT_EQ(f->ColumnCharWidth[3], 15);
    EXPECT_EQ(f->ColumnCharWidth[5], 13);
    EXPECT_EQ(f->ColumnCharWidth[13], 74);
}

TEST_F(SummaryReportWindowTest, AnEmptyCatalogGivesAnEmptyGridAndZeroTotals) {
    testsupport::CreateRunCatalog("EMPTY");
    TSummaryReportScreenForm* f = Built(DiskSummaryByVolumeSpec());
    EXPECT_TRUE(Rows(*f).empty());
    EXPECT_EQ(f->SummaryReportGrid->Columns().Count(), 9);
    for (TLabel* l : {f->TotDisks1, f->TotFiles1, f->TotSize1, f->TotUsed1, f->TotFree1, f->TotFree2})
        EXPECT_EQ(l->Caption(), "0") << l->Name();
    EXPECT_EQ(f->TotSlack1->Caption(), "0.00");
    EXPECT_EQ(f->TotSlack2->Caption(), "0.00");
}

TEST_F(SummaryReportWindowTest, TheGridShowsTheColumnsInTheOrderOfTheirPositions) {
    MakeThreeVolumes();
    struct TCase {
        std::vector<std::pair<int, uint8_t>> Positions;  // item, position
        std::vector<std::string> Fields;
    };
    const TCase cases[] = {
        {{{1, 1}, {13, 2}, {6, 3}, {8, 4}, {9, 5}, {10, 6}, {11, 7}, {5, 8}, {14, 9}},
         {"CatalogVolumeLabel", "CatalogedFrom", "DiskSize", "DiskUsed", "DiskFree", "SlackSpace",
          "FilesOnDisk", "DateLastCataloged", "CommentStr"}},
        // Gaps close up; a repeated position keeps item order.
        {{{3, 5}, {2, 2}, {12, 9}, {4, 2}},
         {"ActualVolumeLabel", "DateFirstCataloged", "SerialNumberStr", "FilesInArchives"}},
        {{}, {}},
    };
    for (const TCase& c : cases) {
        TSummaryReportSpec spec;
        for (auto [item, position] : c.Positions) spec.ColumnPos[size_t(item - 1)] = position;
        TSummaryReportScreenForm* f = NewReport(spec);
        ASSERT_TRUE(f->CreateReport());
        std::vector<std::string> fields;
        for (int i = 0; i < f->SummaryReportGrid->Columns().Count(); ++i)
            fields.push_back(f->SummaryReportGrid->Columns()[i]->FieldName());
        EXPECT_EQ(fields, c.Fields);
        CloseReport(f);
    }
    TSummaryReportScreenForm* f = Built(DiskSummaryByVolumeSpec());
    TColumn* drive = f->SummaryReportGrid->Columns()[1];
    EXPECT_EQ(drive->Title().Caption(), "Drv");
    EXPECT_EQ(drive->Alignment(), taCenter);
    EXPECT_LT(drive->Width(), f->SummaryReportGrid->Columns()[0]->Width());
    EXPECT_EQ(f->SummaryReportGrid->Columns()[2]->Title().Caption(), "Disk Size");
    EXPECT_EQ(f->SummaryReportGrid->Columns()[2]->Alignment(), taRightJustify);
    EXPECT_EQ(f->SummaryReportGrid->Columns()[2]->Title().Alignment(), taCenter);
    // A larger font widens the columns; the text file's widths stay.
    const int before = f->SummaryReportGrid->Columns()[8]->Width();
    const auto chars = f->ColumnCharWidth;
    TFont big = f->SummaryReportGrid->Font();
    big.SetSize(14);
    f->ApplyFont(big);
    EXPECT_GT(f->SummaryReportGrid->Columns()[8]->Width(), before);
    EXPECT_EQ(f->DBMemo1->Font().Size(), 14);
    EXPECT_EQ(f->ColumnCharWidth, chars);
}

TEST_F(SummaryReportWindowTest, TheCountOfOpenReportsAndTheResultTableFollowBuildCancelAndClose) {
    MakeThreeVolumes();
    TSummaryReportScreenForm* f = Built(DiskSummaryByVolumeSpec());
    EXPECT_EQ(catalog::OpenReportCount, 1);
    const std::string name = f->ResultTableName;
    EXPECT_TRUE(TableExists(name));
    CloseReport(f);
    EXPECT_EQ(catalog::OpenReportCount, 0);
    EXPECT_FALSE(TableExists(name));

    // Cancel in the walk, at the second volume.
    f = NewReport(DiskSummaryByVolumeSpec());
    auto filter = f->SummaryTable->OnFilterRecord();
    int seen = 0;
    f->SummaryTable->SetOnFilterRecordValue([&](TDataSet* D, bool& Accept) {
        if (++seen == 2) PressCancel();
        filter(D, Accept);
    });
    EXPECT_FALSE(f->CreateReport());
    EXPECT_EQ(catalog::OpenReportCount, 0);
    EXPECT_FALSE(TableExists(f->ResultTableName));
    f->Free();
    Driver.RunPending();

    // Cancel while the query runs.
    f = NewReport(DiskSummaryByVolumeSpec());
    auto progress = f->Query->OnQueryProgress;
    f->Query->OnQueryProgress = [&](TObject* S, uint16_t P, bool& Abort) {
        PressCancel();
        progress(S, P, Abort);
    };
    EXPECT_FALSE(f->CreateReport());
    EXPECT_TRUE(f->QueryCancelled);
    EXPECT_EQ(catalog::OpenReportCount, 0);
    EXPECT_FALSE(TableExists(f->ResultTableName));
    f->Free();
    Driver.RunPending();

    // Two reports at once have their own tables.
    TSummaryReportScreenForm* a = Built(DiskSummaryByVolumeSpec());
    TSummaryReportScreenForm* b = Built(DiskSummaryByFreeSpaceSpec());
    EXPECT_EQ(catalog::OpenReportCount, 2);
    EXPECT_NE(a->ResultTableName, b->ResultTableName);
    CloseReport(a);
    EXPECT_TRUE(TableExists(b->ResultTableName));
    CloseReport(b);
    EXPECT_EQ(catalog::OpenReportCount, 0);
}

TEST_F(SummaryReportWindowTest, AFailingBuildRestoresTheCountDropsTheTableAndReachesTheCaller) {
    MakeThreeVolumes();
    struct TCase {
        const char* What;
        std::function<void(TSummaryReportSpec&)> Fill;
        std::string Catalog;
        std::string Message;
    };
    const TCase cases[] = {
        {"an invalid mask", [](auto& s) { s.Op[0] = rcMatches, s.VolumeLabelSpec = "[ab"; }, "CAT1",
         "'[ab' is an invalid mask at ("},
        {"a missing summary table", [](auto&) {}, "NONE", ""},
    };
    for (const TCase& c : cases) {
        catalog::CurrentCatalogName = c.Catalog;
        TSummaryReportSpec spec = DiskSummaryByVolumeSpec();
        c.Fill(spec);
        Driver.RunPending();
        const int forms = Screen->FormCount();
        std::string message = "(nothing raised)";
        try {
            RunSummaryReport(spec);
        } catch (const std::exception& e) {
            message = e.what();
        }
        Driver.RunPending();
        EXPECT_NE(message, "(nothing raised)") << c.What;
        if (!c.Message.empty()) {
            EXPECT_NE(message.find(c.Message), std::string::npos) << message;
        }
        EXPECT_EQ(catalog::OpenReportCount, 0) << c.What;
        EXPECT_EQ(Screen->FormCount(), forms) << c.What << ": the window is released";
    }
    catalog::CurrentCatalogName = "CAT1";
    TSummaryReportScreenForm* shown = RunSummaryReport(DiskSummaryByVolumeSpec());
    ASSERT_TRUE(shown);
    Open.push_back(shown);
    EXPECT_TRUE(shown->Visible());
    EXPECT_EQ(catalog::OpenReportCount, 1);
}

TEST_F(SummaryReportWindowTest, PanelsFollowTheTwoBoxesAndTheirStateIsKept) {
    MakeThreeVolumes();
    TSummaryReportScreenForm* f = Built(DiskSummaryByVolumeSpec());
    EXPECT_TRUE(f->ShowTotals->Checked());
    EXPECT_TRUE(f->TotalPanel->Visible());
    EXPECT_FALSE(f->TCPanel->Visible());
    f->ShowTotals->SetChecked(false);
    EXPECT_FALSE(f->TotalPanel->Visible());
    f->ExpandComment->SetChecked(true);
    EXPECT_TRUE(f->TCPanel->Visible());
    EXPECT_FALSE(f->TCTotPanel->Visible());
    f->ShowTotals->SetChecked(true);
    EXPECT_TRUE(f->TCTotPanel->Visible());
    EXPECT_FALSE(f->TotalPanel->Visible());
    f->Query->First();
    EXPECT_EQ(f->DBMemo1->Lines().Text().substr(0, 3), "Old");

    // Wider windows keep the totals centred; the bevels show once there is room.
    f->SetWidth(600);
    EXPECT_FALSE(f->Bevel0->Visible());
    f->SetWidth(800);
    EXPECT_EQ(f->TotalPadLeft1Panel->Width(), (800 - 598) / 2);
    EXPECT_EQ(f->TCPanelPadLeft->Width(), (800 - 597) / 3);
    EXPECT_TRUE(f->Bevel6->Visible());

    // One full view at a time, titled after the report.
    f->ViewBtnClick();
    ASSERT_TRUE(f->ViewForm);
    TSummaryReportViewRecordForm* view = f->ViewForm;
    EXPECT_EQ(view->Caption(),
              "View Full Record(Disk Summary Report - All Disks Sorted By Cataloged Volume ID)");
    f->ViewBtnClick();
    EXPECT_EQ(f->ViewForm, view);

    const std::string key = f->Store->KeyName();
    CloseReport(f);
    platform::TRegIniFile ini(key);
    EXPECT_EQ(ini.ReadString("TSummaryReportScreenForm", "ExpandComment.Checked", "?"), "True");
    TSummaryReportScreenForm* again = Built(DiskSummaryByVolumeSpec());
    EXPECT_TRUE(again->ExpandComment->Checked());
    EXPECT_TRUE(again->TCPanel->Visible());
}

}  // namespace
}  // namespace reports
