// Building a file report: the report query's text and order, the filter, the result table, the
// count of open reports on every way out of CreateReport.

#include "reports/filereport/FileReportScreenForm.h"
#include "reports/testsupport/FileReportFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "catalog/CatalogStore.h"
#include "catalog/Globals.h"
#include "catalog/ProgramTables.h"
#include "catalog/ProgressForm.h"
#include "catalog/testsupport/CatalogTestFixture.h"
#include "controls/entry/CtlState.h"
#include "dbsql/components/DbQuery.h"
#include "dbsql/components/DbTable.h"
#include "framework/core/DateTime.h"
#include "framework/core/Masks.h"
#include "framework/core/Seams.h"
#include "framework/data/Fields.h"
#include "framework/dbctrls/DBCtrls.h"
#include "framework/dbctrls/DBGrids.h"
#include "framework/stdctrls/Buttons.h"
#include "framework/stdctrls/CheckBox.h"
#include "framework/stdctrls/Dialogs.h"
#include "framework/stdctrls/ExtCtrls.h"
#include "framework/stdctrls/Label.h"
#include "platform/Beep.h"
#include "platform/Registry.h"
#include "platform/testsupport/UserEnv.h"

namespace reports {
namespace {

using namespace framework;

using testsupport::At;
using testsupport::Day;
using testsupport::Entries;
using testsupport::FileReportTest;
using testsupport::SeedFor;
using testsupport::TEntry;

TEST_F(FileReportTest, TheReportSqlJoinsTheResultTableAndSortsByTheKeys) {
    struct TCase {
        std::vector<std::pair<int, TSortKeySpec>> Keys;
        bool ShowArchived;
        std::vector<std::string> Lines;
    };
    const std::string join = "Select * From \"Results_7_1\", \"CAT1_CAT\" Where (FTag = Tag)";
    const TCase cases[] = {
        {{{1, {1, 1}}, {2, {2, 1}}, {3, {3, 1}}, {4, {4, 1}}},
         true,
         {join, "Order By FileName ASC, VolumeLabel ASC, FolderName ASC, ArchiveID ASC NOCASE"}},
        {{{12, {1, 1}}, {1, {2, 1}}}, true, {join, "Order By FileExt ASC, FileName ASC NOCASE"}},
        {{{1, {1, 1}}, {6, {2, 2}}},
         false,
         {join, "And (FromArc = \"N\")",
          "Order By FileName ASC, DateModified DESC, TimeModified DESC NOCASE"}},
        // Equal priorities go in item order; a direction other than 1 or 2 adds nothing.
        {{{5, {1, 2}}, {2, {1, 1}}, {3, {2, 3}}},
         true,
         {join, "Order By VolumeLabel ASC, FileSize DESC NOCASE"}},
        {{}, false, {join, "And (FromArc = \"N\")"}},
    };
    for (const TCase& c : cases) {
        TFileReportScreenForm* f = NewReport();
        for (auto [item, key] : c.Keys) f->SortSpec[size_t(item - 1)] = key;
        f->ShowArchived->SetChecked(c.ShowArchived);
        RandSeed = SeedFor(7);
        ASSERT_TRUE(f->CreateReport());
        EXPECT_EQ(f->ResultTableName, "Results_7_1");
        std::vector<std::string> lines;
        for (int i = 0; i < f->Query->SQL().Count(); ++i) lines.push_back(f->Query->SQL()[i]);
        EXPECT_EQ(lines, c.Lines) << c.Lines.back();
        EXPECT_EQ(Rows(*f).size(), c.ShowArchived ? 6u : 5u);
        CloseReport(f);
    }
}

TEST_F(FileReportTest, RowsComeBackInTheOrderOfTheKeys) {
    TFileReportScreenForm* f = NewReport();
    f->SortSpec[0] = {1, 1};
    f->SortSpec[5] = {2, 2};
    ASSERT_TRUE(f->CreateReport());
    EXPECT_EQ(Rows(*f), (std::vector<std::string>{"BIG.ISO", "NOTES.DOC", "photo.TARGZBZ2", "README.TXT",
                                                  "README.TXT <DOCS/>", "ROOT.TXT"}));
    CloseReport(f);
    f = NewReport();
    f->SortSpec[5] = {1, 2};
    ASSERT_TRUE(f->CreateReport());
    // Date descending, then time descending within the day.
    EXPECT_EQ(Rows(*f), (std::vector<std::string>{"ROOT.TXT", "BIG.ISO", "README.TXT", "NOTES.DOC",
                                                  "README.TXT <DOCS/>", "photo.TARGZBZ2"}));
    CloseReport(f);
}

TEST(FileReportSql, ACatalogNameWithAQuoteIsDoubledInTheJoin) {
    // The platform's file names cannot hold a double quote, so such a catalog has no tables here;
    // the text is what the engine would be sent.
    EXPECT_EQ(
        FileReportSql("Results_7_1", "MY\"CAT", true, ""),
        std::vector<std::string>{"Select * From \"Results_7_1\", \"MY\"\"CAT_CAT\" Where (FTag = Tag)"});
}

TEST_F(FileReportTest, TheFilterAcceptsWhatEachCriterionAllows) {
    using S = std::set<std::string>;
    const S all = {"README.TXT", "README.TXT <DOCS/>", "BIG.ISO", "photo.TARGZBZ2", "ROOT.TXT", "NOTES.DOC"};
    struct TCase {
        const char* What;
        std::function<void(TFileReportScreenForm&)> Fill;
        S Expected;
    };
    auto op = [](int Item, uint8_t Operator) {
        return [=](TFileReportScreenForm& f) { f.Op[size_t(Item - 1)] = Operator; };
    };
    auto both = [](auto a, auto b) { return [=](TFileReportScreenForm& f) { a(f), b(f); }; };
    const TCase cases[] = {
        {"no criteria", [](TFileReportScreenForm&) {}, all},
        {"* with 1", both(op(1, 1), [](auto& f) { f.FileNameSpec = "*"; }), all},
        {"* with 2", both(op(1, 2), [](auto& f) { f.FileNameSpec = "*"; }), {}},
        {"member path left out",
         both(op(1, 1), [](auto& f) { f.FileNameSpec = "readme.txt"; }),
         {"README.TXT", "README.TXT <DOCS/>"}},
        {"operator 14 through the name",
         both(op(1, 14), [](auto& f) { f.FileNameSpec = "DOCS"; }),
         {"README.TXT <DOCS/>"}},
        {"operator 14 through the comment",
         both(op(1, 14), [](auto& f) { f.FileNameSpec = "BACKUP"; }),
         {"BIG.ISO", "ROOT.TXT"}},
        {"operator 14 with an empty text", op(1, 14), {}},
        {"volume mask",
         both(op(2, 1), [](auto& f) { f.VolumeLabelSpec = "disk?"; }),
         {"README.TXT", "README.TXT <DOCS/>", "BIG.ISO", "photo.TARGZBZ2", "ROOT.TXT"}},
        {"folder set",
         both(op(3, 2), [](auto& f) { f.FolderNameSpec = "\\[dp]*"; }),
         {"README.TXT <DOCS/>", "BIG.ISO", "ROOT.TXT", "NOTES.DOC"}},
        {"archive mask", both(op(4, 1), [](auto& f) { f.ArchiveIDSpec = "*.zip"; }), {"README.TXT <DOCS/>"}},
        {"size above 4 GiB", both(op(5, 5), [](auto& f) { f.FileSizeValue = 4294967296LL; }), {"BIG.ISO"}},
        {"size equal to 4 GiB",
         both(op(5, 1), [](auto& f) { f.FileSizeValue = 4294967296LL; }),
         {"photo.TARGZBZ2"}},
        {"size at most 20", both(op(5, 4), [](auto& f) { f.FileSizeValue = 20; }), {"ROOT.TXT", "NOTES.DOC"}},
        {"15 March, any time",
         both(op(6, 1), [](auto& f) { f.DateValue = Day(2024, 3, 15) + At(18, 0, 0); }),
         {"README.TXT", "BIG.ISO", "NOTES.DOC"}},
        {"before 15 March",
         both(op(6, 3), [](auto& f) { f.DateValue = Day(2024, 3, 15) + At(1, 0, 0); }),
         {"README.TXT <DOCS/>", "photo.TARGZBZ2"}},
        {"category exact",
         both(op(9, 1), [](auto& f) { f.CategoryCodeValue = "DOC"; }),
         {"README.TXT", "README.TXT <DOCS/>"}},
        {"category is case-sensitive", both(op(9, 1), [](auto& f) { f.CategoryCodeValue = "doc"; }), {}},
        {"category with 3 passes", both(op(9, 3), [](auto& f) { f.CategoryCodeValue = "DOC"; }), all},
        {"comment contains",
         both(op(11, 1), [](auto& f) { f.CommentText = "FIRST SECOND"; }),
         {"README.TXT"}},
        {"lower-case phrase finds nothing", both(op(11, 1), [](auto& f) { f.CommentText = "first"; }), {}},
        {"empty phrase with 1", op(11, 1), {}},
        {"empty phrase with 2", op(11, 2), all},
        {"blank comment", op(11, 10), {"photo.TARGZBZ2", "NOTES.DOC"}},
        {"non-blank comment", op(11, 11), {"README.TXT", "README.TXT <DOCS/>", "BIG.ISO", "ROOT.TXT"}},
        {"some keywords, none required", both(op(11, 12), [](auto& f) { f.CommentText = "NOWHERE"; }), all},
        {"some keywords, one of two",
         both(op(11, 12),
              [](auto& f) {
                  f.CommentText = "DISK   BACKUP";
                  f.MatchesRequired = 1;
              }),
         {"BIG.ISO", "ROOT.TXT"}},
        {"some keywords, both of two (several blanks between)",
         both(op(11, 12),
              [](auto& f) {
                  f.CommentText = "  DISK   BACKUP ";
                  f.MatchesRequired = 2;
              }),
         {"BIG.ISO"}},
        {"some keywords, more required than given",
         both(op(11, 12),
              [](auto& f) {
                  f.CommentText = "DISK BACKUP";
                  f.MatchesRequired = 3;
              }),
         {}},
        {"no keywords at all (12)", both(op(11, 12), [](auto& f) { f.MatchesRequired = 5; }), all},
        {"no keywords at all (13)", op(11, 13), all},
        {"all keywords", both(op(11, 13), [](auto& f) { f.CommentText = "BACKUP IMAGE"; }), {"BIG.ISO"}},
        {"a line break is one blank",
         both(op(11, 13), [](auto& f) { f.CommentText = "FIRST SECOND"; }),
         {"README.TXT"}},
        {"the operator is tested whatever item carries it", op(3, 10), {"photo.TARGZBZ2", "NOTES.DOC"}},
        {"unused operators pass", both(op(1, 8), op(5, 15)), all},
        {"items without tests pass", both(op(7, 1), op(8, 2)), all},
        {"every criterion must pass",
         both(both(op(2, 1), [](auto& f) { f.VolumeLabelSpec = "DISK1"; }), op(11, 11)),
         {"README.TXT", "README.TXT <DOCS/>", "ROOT.TXT"}},
    };
    for (const TCase& c : cases) EXPECT_EQ(Accepted(c.Fill), c.Expected) << c.What;
}

TEST_F(FileReportTest, TheResultTableHoldsTagArchiveFlagAndTheLastSixCharactersOfTheExtension) {
    TFileReportScreenForm* f = NewReport();
    ASSERT_TRUE(f->CreateReport());
    std::map<std::string, std::pair<std::string, std::string>> got;
    std::map<std::string, int> tags;
    auto cat = Table("CAT1_CAT");
    cat->Open();
    for (cat->First(); !cat->Eof(); cat->Next())
        tags[cat->FieldByName("FileName")->AsString()] = cat->FieldByName("Tag")->AsInteger();
    auto result = Table(f->ResultTableName);
    result->Open();
    EXPECT_EQ(result->RecordCount(), 6);
    for (result->First(); !result->Eof(); result->Next()) {
        const int tag = result->FieldByName("FTag")->AsInteger();
        auto it = std::find_if(tags.begin(), tags.end(), [tag](auto& p) { return p.second == tag; });
        ASSERT_NE(it, tags.end());
        got[it->first] = {result->FieldByName("FromArc")->AsString(),
                          result->FieldByName("FileExt")->AsString()};
    }
    result->Close();
    EXPECT_EQ(got["README.TXT"], (std::pair<std::string, std::string>{"N", "TXT"}));
    EXPECT_EQ(got["README.TXT <DOCS/>"].first, "Y");
    EXPECT_EQ(got["photo.TARGZBZ2"], (std::pair<std::string, std::string>{"N", "RGZBZ2"}));
    // Totals: the in-archive entry apart, sizes in 64 bits.
    EXPECT_EQ(f->FilesOnDiskTotal, 5);
    EXPECT_EQ(f->FilesInArchivesTotal, 1);
    EXPECT_EQ(f->BytesOnDiskTotal, 100 + 5000000000LL + 4294967296LL + 10 + 20);
    EXPECT_EQ(f->BytesInArchivesTotal, 50);
    EXPECT_TRUE(f->AnyInArchives);
    // The joined rows carry the calculated texts.
    f->Query->First();
    while (f->Query->FieldByName("FileName")->AsString() != "README.TXT") f->Query->Next();
    EXPECT_EQ(f->Query->FieldByName("AttributeStr")->AsString(), "A");
    EXPECT_EQ(f->Query->FieldByName("CommentStr")->AsString(), "Read me first");
    EXPECT_EQ(f->Query->FieldByName("CategoryDescription")->AsString(), "Documents");
    CloseReport(f);
}

TEST_F(FileReportTest, TwoHundredFiftyAcceptedEntriesAllReachTheResultTable) {
    std::vector<TEntry> many;
    for (int i = 0; i < 260; ++i)
        many.push_back({"F" + std::to_string(1000 + i) + (i < 250 ? ".KEEP" : ".SKIP"), "V", "\\", "", i,
                        Day(2020, 1, 1), At(0, 0, 0), 0, "", ""});
    MakeCatalog("BIG", many);
    TFileReportScreenForm* f = NewReport();
    f->CatalogName = "BIG";
    f->Op[0] = rcMatches;
    f->FileNameSpec = "*.KEEP";
    // The table receives the accepted entries a hundred at a time: each post sees how many
    // entries the walk has accepted by then.
    std::map<int64_t, int> postsAt;
    f->ResultTable->AfterPost = [&](TDataSet*) { ++postsAt[f->FilesOnDiskTotal]; };
    ASSERT_TRUE(f->CreateReport());
    EXPECT_EQ(postsAt, (std::map<int64_t, int>{{100, 100}, {200, 100}, {250, 50}}));
    auto result = Table(f->ResultTableName);
    result->Open();
    EXPECT_EQ(result->RecordCount(), 250);
    std::set<int> tags;
    for (result->First(); !result->Eof(); result->Next())
        tags.insert(result->FieldByName("FTag")->AsInteger());
    EXPECT_EQ(tags.size(), 250u);
    result->Close();
    EXPECT_EQ(Rows(*f).size(), 250u);
    EXPECT_EQ(f->FilesOnDiskTotal, 250);
    CloseReport(f);
}

TEST_F(FileReportTest, TheCountOfOpenReportsAndTheResultTableFollowBuildCancelAndClose) {
    // Built, then closed.
    bool open = true;
    TFileReportScreenForm* f = NewReport();
    f->OpenFlagRef = &open;
    ASSERT_TRUE(f->CreateReport());
    EXPECT_EQ(catalog::OpenReportCount, 1);
    const std::string name = f->ResultTableName;
    EXPECT_TRUE(TableExists(name));
    f->Show();
    CloseReport(f);
    EXPECT_EQ(catalog::OpenReportCount, 0);
    EXPECT_FALSE(TableExists(name));
    EXPECT_FALSE(open);

    // The progress window of the stage under way, found among the screen's forms.
    auto pressCancel = [] {
        for (int i = 0; i < Screen->FormCount(); ++i)
            if (auto* p = dynamic_cast<catalog::TProgressForm*>(Screen->Forms(i))) p->CancelBtnClick();
    };
    // Cancel in the finder, at the third entry.
    f = NewReport();
    auto filter = f->FileTable->OnFilterRecord();
    int seen = 0;
    f->FileTable->SetOnFilterRecordValue([&](TDataSet* D, bool& Accept) {
        if (++seen == 3) pressCancel();
        filter(D, Accept);
    });
    EXPECT_FALSE(f->CreateReport());
    EXPECT_EQ(catalog::OpenReportCount, 0);
    EXPECT_FALSE(TableExists(f->ResultTableName));
    f->Free();
    Driver.RunPending();

    // Cancel while the query runs.
    f = NewReport();
    auto progress = f->Query->OnQueryProgress;
    f->Query->OnQueryProgress = [&](TObject* S, uint16_t P, bool& Abort) {
        pressCancel();
        progress(S, P, Abort);
    };
    f->SortSpec[0] = {1, 1};
    EXPECT_FALSE(f->CreateReport());
    EXPECT_TRUE(f->QueryCancelled);
    EXPECT_EQ(catalog::OpenReportCount, 0);
    EXPECT_FALSE(TableExists(f->ResultTableName));
    f->Free();
    Driver.RunPending();

    // Two reports at once have their own tables.
    TFileReportScreenForm* a = NewReport();
    TFileReportScreenForm* b = NewReport();
    ASSERT_TRUE(a->CreateReport());
    ASSERT_TRUE(b->CreateReport());
    EXPECT_EQ(catalog::OpenReportCount, 2);
    EXPECT_NE(a->ResultTableName, b->ResultTableName);
    CloseReport(a);
    EXPECT_EQ(catalog::OpenReportCount, 1);
    EXPECT_TRUE(TableExists(b->ResultTableName));
    CloseReport(b);
    EXPECT_EQ(catalog::OpenReportCount, 0);
}

TEST_F(FileReportTest, AFailingBuildRestoresTheCountDropsTheTableAndRaises) {
    struct TCase {
        const char* What;
        std::function<void(TFileReportScreenForm&)> Fill;
        std::string Message;
    };
    const TCase cases[] = {
        {"an invalid mask",
         [](auto& f) {
             f.Op[0] = rcMatches;
             f.FileNameSpec = "[ab";
         },
         "'[ab' is an invalid mask at ("},
        {"a missing catalog table", [](auto& f) { f.CatalogName = "NONE"; }, ""},
        {"a sort the engine refuses",
         [](auto& f) {
             f.SortSpec[9] = {1, 1};
         },
         ""},
    };
    for (const TCase& c : cases) {
        TFileReportScreenForm* f = NewReport();
        c.Fill(*f);
        std::string message = "(nothing raised)";
        try {
            f->CreateReport();
        } catch (const std::exception& e) {
            message = e.what();
        }
        EXPECT_NE(message, "(nothing raised)") << c.What;
        if (!c.Message.empty()) {
            EXPECT_NE(message.find(c.Message), std::string::npos) << message;
        }
        EXPECT_EQ(catalog::OpenReportCount, 0) << c.What;
        EXPECT_FALSE(TableExists(f->ResultTableName)) << c.What;
        f->Free();
        Driver.RunPending();
    }
}

TEST_F(FileReportTest, TheGridShowsTheColumnsInTheOrderOfTheirPositions) {
    struct TCase {
        std::vector<std::pair<int, uint8_t>> Positions;  // item, position
        std::vector<std::string> Fields;
    };
    const TCase cases[] = {
        {{{5, 2}, {1, 1}, {11, 3}}, {"FileName", "FileSize", "CommentStr"}},
        // Gaps close up; a repeated position keeps item order; item 12 is never a column.
        {{{5, 3}, {1, 1}, {12, 2}}, {"FileName", "FileSize"}},
        {{{3, 1}, {2, 1}, {8, 4}}, {"VolumeLabel", "FolderName", "AttributeStr"}},
        {{}, {}},
    };
    for (const TCase& c : cases) {
        TFileReportScreenForm* f = NewReport();
        f->ColumnPos = {};
        for (auto [item, position] : c.Positions) f->ColumnPos[size_t(item - 1)] = position;
        ASSERT_TRUE(f->CreateReport());
        std::vector<std::string> fields;
        for (int i = 0; i < f->FileReportGrid->Columns().Count(); ++i)
            fields.push_back(f->FileReportGrid->Columns()[i]->FieldName());
        EXPECT_EQ(fields, c.Fields);
        CloseReport(f);
    }
}

}  // namespace
}  // namespace reports
