// The program tables made through the table component: fields, indexes and user version as the
// tables are read back from their files, the case-insensitive catalog key, the options table's new
// record, and the Boolean text form.

#include "catalog/ProgramTables.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "dbengine/util/EngineError.h"
#include "dbsql/components/DbTable.h"
#include "dbsql/testsupport/DbTestTable.h"
#include "framework/testsupport/MemDataSet.h"

using namespace catalog;
using namespace framework;

namespace {

struct ProgramTables : dbsql::testsupport::SessionFixture {
    // A table component on D: (the fixture's temporary folder) for the schema's table.
    std::unique_ptr<dbsql::TDbTable> Table(const TTableSchema& schema) {
        auto t = std::make_unique<dbsql::TDbTable>();
        t->SetDatabaseName("D:\\");
        t->SetTableName(schema.TableName);
        return t;
    }
    // Makes the table, then opens it through a fresh component, whose definitions come from the files.
    std::unique_ptr<dbsql::TDbTable> CreateAndOpen(const TTableSchema& schema) {
        auto maker = Table(schema);
        DefineTable(*maker, schema);
        maker->CreateTable();
        auto t = Table(schema);
        t->Open();
        t->FieldDefs.Update();
        t->UpdateIndexDefs();
        return t;
    }
};

}  // namespace

TEST_F(ProgramTables, EveryTableIsMadeWithItsFieldsIndexesAndVersion) {
    struct Expected {
        int fields;
        std::vector<std::tuple<std::string, std::string, unsigned>> indexes;
    };
    const std::map<std::string, Expected> expected = {
        {"Categories", {2, {{"", "Code", 3}, {"ByDescription", "Description;Code", 8}}}},
        {"KorvaneOptions", {172, {{"", "IncludeSpec01", 3}}}},
        {"CatalogConfigs", {36, {{"", "CatalogName", 11}}}},
        {"CustomSummaryReportDefs", {72, {{"", "ReportName", 11}}}},
        {"CustomFileReportDefs", {66, {{"", "ReportName", 11}}}},
    };
    ASSERT_EQ(ProgramTableSchemas().size(), 5u);
    for (const TTableSchema* schema : ProgramTableSchemas()) {
        SCOPED_TRACE(schema->TableName);
        const Expected& want = expected.at(schema->TableName);
        auto t = CreateAndOpen(*schema);
        ASSERT_EQ(t->FieldDefs.Count(), want.fields);
        ASSERT_EQ(int(schema->Fields.size()), want.fields);
        for (int i = 0; i < want.fields; ++i) {
            const TFieldDef* got = t->FieldDefs[i];
            const TFieldSchema& f = schema->Fields[size_t(i)];
            EXPECT_EQ(got->Name, f.Name) << i + 1;
            EXPECT_EQ(got->DataType, f.Kind) << f.Name;
            if (f.Kind == ftString) {
                EXPECT_EQ(got->Size, f.Size) << f.Name;
            }
            EXPECT_EQ(got->Required, f.Required) << f.Name;
        }
        ASSERT_EQ(t->IndexDefs.Count(), int(want.indexes.size()));
        for (int i = 0; i < t->IndexDefs.Count(); ++i) {
            const auto& [name, fields, options] = want.indexes[size_t(i)];
            EXPECT_EQ(t->IndexDefs[i]->Name, name);
            EXPECT_EQ(t->IndexDefs[i]->Fields, fields);
            EXPECT_EQ(t->IndexDefs[i]->Options & (ixPrimary | ixUnique | ixCaseInsensitive), options) << name;
        }
        t->Close();
        EXPECT_EQ(t->GetUserMajorVersion(), 1);
        EXPECT_EQ(t->GetUserMinorVersion(), 0);
    }
}

// Field number (from 1), name, kind, size, required: the hand-written fields in full and the first
// and last of each numbered group.
TEST_F(ProgramTables, FieldsStandAtTheirPositions) {
    struct Field {
        int no;
        std::string name;
        TFieldType kind;
        int size;
        bool required;
    };
    const std::map<std::string, std::vector<Field>> expected = {
        {"Categories", {{1, "Code", ftString, 6, true}, {2, "Description", ftString, 30, false}}},
        {"KorvaneOptions",
         {{1, "IncludeSpec01", ftString, 250, false},
          {20, "IncludeSpec20", ftString, 250, false},
          {21, "ExcludeSpec01", ftString, 250, false},
          {40, "ExcludeSpec20", ftString, 250, false},
          {41, "SquelchSpec01", ftString, 11, false},
          {80, "SquelchSpec40", ftString, 11, false},
          {81, "SquelchDrive01", ftBoolean, 0, false},
          {106, "SquelchDrive26", ftBoolean, 0, false},
          {107, "DCSquelchSpec01", ftString, 11, false},
          {146, "DCSquelchSpec40", ftString, 11, false},
          {147, "DCSquelchDrive01", ftBoolean, 0, false},
          {172, "DCSquelchDrive26", ftBoolean, 0, false}}},
        {"CatalogConfigs",
         {{1, "CatalogName", ftString, 20, true},
          {2, "FileNameFieldLength", ftInteger, 0, false},
          {3, "FolderNameFieldLength", ftInteger, 0, false},
          {4, "ArchiveIDFieldLength", ftInteger, 0, false},
          {5, "ExpandArchives", ftString, 9, false},
          {6, "DoARC", ftBoolean, 0, false},
          {7, "DoARJ", ftBoolean, 0, false},
          {8, "DoCAB", ftBoolean, 0, false},
          {9, "DoDWC", ftBoolean, 0, false},
          {10, "DoHYP", ftBoolean, 0, false},
          {11, "DoLBR", ftBoolean, 0, false},
          {12, "DoLZH", ftBoolean, 0, false},
          {13, "DoLZS", ftBoolean, 0, false},
          {14, "DoPAK", ftBoolean, 0, false},
          {15, "DoRAR", ftBoolean, 0, false},
          {16, "DoSQZ", ftBoolean, 0, false},
          {17, "DoZIP", ftBoolean, 0, false},
          {18, "DoZOO", ftBoolean, 0, false},
          {19, "HandleArjMultiDisks", ftBoolean, 0, false},
          {20, "DoSfxArchives", ftBoolean, 0, false},
          {21, "GetMainComment", ftBoolean, 0, false},
          {22, "CopyMainComment", ftBoolean, 0, false},
          {23, "UseDiz", ftBoolean, 0, false},
          {24, "DizOverride", ftBoolean, 0, false},
          {25, "CommentOverrideFromDisk", ftBoolean, 0, false},
          {26, "AutoEditDiskComments", ftBoolean, 0, false},
          {27, "AutoEditFileComments", ftBoolean, 0, false},
          {28, "SelectiveCataloging", ftBoolean, 0, false},
          {29, "TfiSelectiveCataloging", ftBoolean, 0, false},
          {30, "SelectiveCatAutotag", ftBoolean, 0, false},
          {31, "Aliases", ftBoolean, 0, false},
          {32, "SuggestVol", ftBoolean, 0, false},
          {33, "WarnIfExists", ftBoolean, 0, false},
          {34, "KeepActivityLog", ftBoolean, 0, false},
          {35, "LastVolumeLabel", ftString, 11, false},
          {36, "LastPointer", ftWord, 0, false}}},
        {"CustomSummaryReportDefs",
         {{1, "ReportName", ftString, 60, true},
          {2, "DateDefinitionCreated", ftDate, 0, false},
          {3, "DateDefinitionLastUpdated", ftDate, 0, false},
          {4, "DateDefinitionLastUsed", ftDate, 0, false},
          {5, "CatalogedVolumeLabel", ftString, 11, false},
          {6, "DateFirstCataloged", ftDate, 0, false},
          {7, "DateLastCataloged", ftDate, 0, false},
          {8, "DiskSize", ftBCD, 0, false},
          {9, "DiskClusterSize", ftBCD, 0, false},
          {10, "DiskUsed", ftBCD, 0, false},
          {11, "DiskFree", ftBCD, 0, false},
          {12, "FilesOnDisk", ftInteger, 0, false},
          {13, "FilesInArchives", ftInteger, 0, false},
          {14, "CatalogedFrom", ftString, 2, false},
          {15, "Comment", ftMemo, 0, false},
          {16, "MatchCriteria01", ftInteger, 0, false},
          {29, "MatchCriteria14", ftInteger, 0, false},
          {30, "MatchesRequired", ftInteger, 0, false},
          {31, "ColumnCriteria01", ftInteger, 0, false},
          {44, "ColumnCriteria14", ftInteger, 0, false},
          {45, "SortColumnSpec01", ftInteger, 0, false},
          {58, "SortColumnSpec14", ftInteger, 0, false},
          {59, "SortCriteriaSpec01", ftInteger, 0, false},
          {72, "SortCriteriaSpec14", ftInteger, 0, false}}},
        {"CustomFileReportDefs",
         {{1, "ReportName", ftString, 60, true},
          {2, "DateDefinitionCreated", ftDate, 0, false},
          {3, "DateDefinitionLastUpdated", ftDate, 0, false},
          {4, "DateDefinitionLastUsed", ftDate, 0, false},
          {5, "FileName", ftString, 200, false},
          {6, "VolumeLabel", ftString, 11, false},
          {7, "FolderName", ftString, 200, false},
          {8, "ArchiveID", ftString, 90, false},
          {9, "FileSize", ftBCD, 0, false},
          {10, "DateModified", ftDate, 0, false},
          {11, "TimeModified", ftTime, 0, false},
          {12, "CategoryCode", ftString, 6, false},
          {13, "Comment", ftMemo, 0, false},
          {14, "OnlyDuplicate", ftBoolean, 0, false},
          {15, "OnlyUnique", ftBoolean, 0, false},
          {16, "UseVersions", ftBoolean, 0, false},
          {17, "UseFileSize", ftBoolean, 0, false},
          {18, "MatchCriteria01", ftInteger, 0, false},
          {29, "MatchCriteria12", ftInteger, 0, false},
          {30, "MatchesRequired", ftInteger, 0, false},
          {31, "ColumnCriteria01", ftInteger, 0, false},
          {42, "ColumnCriteria12", ftInteger, 0, false},
          {43, "SortColumnSpec01", ftInteger, 0, false},
          {54, "SortColumnSpec12", ftInteger, 0, false},
          {55, "SortCriteriaSpec01", ftInteger, 0, false},
          {66, "SortCriteriaSpec12", ftInteger, 0, false}}},
    };
    for (const TTableSchema* schema : ProgramTableSchemas()) {
        int required = 0;
        for (const TFieldSchema& f : schema->Fields) required += f.Required ? 1 : 0;
        EXPECT_EQ(required, schema->TableName == "KorvaneOptions" ? 0 : 1) << schema->TableName;
        for (const Field& want : expected.at(schema->TableName)) {
            ASSERT_LE(want.no, int(schema->Fields.size())) << schema->TableName;
            const TFieldSchema& got = schema->Fields[size_t(want.no - 1)];
            EXPECT_EQ(got.Name, want.name) << schema->TableName << " #" << want.no;
            EXPECT_EQ(got.Kind, want.kind) << want.name;
            EXPECT_EQ(got.Size, want.size) << want.name;
            EXPECT_EQ(got.Required, want.required) << want.name;
        }
    }
}

TEST_F(ProgramTables, CatalogNamesDifferingOnlyInCaseCollide) {
    auto t = CreateAndOpen(CatalogConfigsSchema());
    t->Append();
    t->FieldByName("CatalogName")->SetAsString("Games");
    t->FieldByName("ExpandArchives")->SetAsString("On Demand");
    t->Post();

    t->Append();
    t->FieldByName("CatalogName")->SetAsString("games");
    try {
        t->Post();
        ADD_FAILURE() << "a second catalog differing only in case was stored";
    } catch (const dbengine::EDbEngineError& e) {
        EXPECT_NE(e.Message.find("9729"), std::string::npos) << e.Message;
    }
    t->Cancel();

    t->First();
    EXPECT_EQ(t->RecordCount(), 1);
    EXPECT_EQ(t->FieldByName("CatalogName")->AsString(), "Games");
    EXPECT_EQ(t->FieldByName("ExpandArchives")->AsString(), "On Demand");
}

TEST_F(ProgramTables, NewOptionsRecordHoldsEmptySpecsAndFalseOffloadDrives) {
    auto t = CreateAndOpen(KorvaneOptionsSchema());
    InsertNewOptionsRecord(*t);
    t->Close();
    t->Open();
    ASSERT_EQ(t->RecordCount(), 1);
    t->First();
    auto text = [&](const char* prefix, int n) {
        return t->FieldByName(NumberedName(prefix, n))->AsString();
    };
    auto null = [&](const char* prefix, int n) { return t->FieldByName(NumberedName(prefix, n))->IsNull(); };
    for (int n = 1; n <= 20; ++n) {
        EXPECT_EQ(text("IncludeSpec", n), "");
        EXPECT_EQ(text("ExcludeSpec", n), "");
    }
    for (int n = 1; n <= 40; ++n) {
        EXPECT_EQ(text("SquelchSpec", n), "");
        EXPECT_TRUE(null("DCSquelchSpec", n)) << n;
    }
    for (int n = 1; n <= 26; ++n) {
        EXPECT_EQ(text("SquelchDrive", n), "False") << n;
        EXPECT_FALSE(null("SquelchDrive", n)) << n;
        EXPECT_TRUE(null("DCSquelchDrive", n)) << n;
    }
}

TEST(NewOptionsRecord, ATableOfAnotherLayoutKeepsNoHalfMadeRecord) {
    TTableSchema schema = KorvaneOptionsSchema();
    std::erase_if(schema.Fields, [](const TFieldSchema& f) { return f.Name == "SquelchDrive26"; });
    testsupport::TMemDataSet data;
    DefineTable(data, schema);
    data.Open();
    EXPECT_THROW(InsertNewOptionsRecord(data), EDatabaseError);
    EXPECT_EQ(data.State(), dsBrowse);
    EXPECT_EQ(data.StoredCount(), 0);
}

TEST(ProgramTableNames, NumberedNamesHaveTwoDigits) {
    EXPECT_EQ(NumberedName("IncludeSpec", 1), "IncludeSpec01");
    EXPECT_EQ(NumberedName("SquelchSpec", 40), "SquelchSpec40");
}

TEST(BooleanTexts, OnlyExactlyTrueReadsAsTrue) {
    EXPECT_EQ(BooleanText(true), "True");
    EXPECT_EQ(BooleanText(false), "False");
    struct Case {
        const char* text;
        bool want;
    } cases[] = {{"True", true}, {"true", false},  {"TRUE", false},  {"False", false},
                 {"", false},    {" True", false}, {"True ", false}, {"T", false}};
    for (const Case& c : cases) EXPECT_EQ(IsTrueText(c.text), c.want) << '"' << c.text << '"';
}
