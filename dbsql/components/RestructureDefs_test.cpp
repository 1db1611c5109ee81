// Restructure lists and AlterTable: what the lists accept, loading them from a table, widening,
// adding and dropping fields, reordering indexes, and the catalog's file-entries table made
// through the table component's definitions.

#include "dbsql/components/RestructureDefs.h"

#include <gtest/gtest.h>

#include "dbengine/cursor/DataCursor.h"
#include "dbengine/testsupport/CatalogTable.h"
#include "dbsql/components/DbTable.h"
#include "dbsql/testsupport/DbTestTable.h"

using namespace dbsql;
using namespace framework;
using dbsql::testsupport::Raised;

namespace {

constexpr TIndexOptions PrimaryKey = ixPrimary | ixUnique | ixCaseInsensitive;

// A catalog's file entries as the program defines them, with name sizes 12, 40 and 12.
void DefineEntries(TDbTable& t, const std::string& name) {
    t.SetDatabaseName("D:\\");
    t.SetTableName(name);
    t.FieldDefs.Clear();
    t.FieldDefs.Add("FileName", ftString, 12, true);
    t.FieldDefs.Add("VolumeLabel", ftString, 11, false);
    t.FieldDefs.Add("FolderName", ftString, 40, false);
    t.FieldDefs.Add("ArchiveID", ftString, 12, false);
    t.FieldDefs.Add("FileSize", ftBCD, 0, false);
    t.FieldDefs.Add("DateModified", ftDate, 0, false);
    t.FieldDefs.Add("TimeModified", ftTime, 0, false);
    t.FieldDefs.Add("Attribute", ftInteger, 0, false);
    t.FieldDefs.Add("CategoryCode", ftString, 6, false);
    t.FieldDefs.Add("Comment", ftMemo, 0, false);
    t.FieldDefs.Add("Tag", ftAutoInc, 0, false);
    t.IndexDefs.Clear();
    t.IndexDefs.Add("ByTag", "Tag", 0);
    t.IndexDefs.Add("", "FileName;VolumeLabel;FolderName;ArchiveID", PrimaryKey);
    t.IndexDefs.Add("ByVolumeLabel", "VolumeLabel;FileName;FolderName;ArchiveID", ixCaseInsensitive);
}

struct Restructure : dbsql::testsupport::SessionFixture {
    TDbTable t;
    // The entries table with three records; the table is left closed.
    void Make() {
        DefineEntries(t, "Cat_CAT");
        t.CreateTable();
        t.Open();
        const char* names[] = {"README.TXT", "SETUP.EXE", "DATA.ZIP"};
        for (int i = 0; i < 3; ++i) {
            t.Append();
            t.FieldByName("FileName")->SetAsString(names[i]);
            t.FieldByName("VolumeLabel")->SetAsString("DISK1");
            t.FieldByName("FolderName")->SetAsString("\\TOOLS\\");
            t.FieldByName("Attribute")->SetAsInteger(32 + i);
            t.Post();
        }
        t.Close();
    }
    void Alter(uint16_t major = 1, uint16_t minor = 0) {
        t.AlterTable(0, 0, major, minor, false, "", "", 512, -1, true);
    }
    std::vector<std::string> Column(const std::string& field) {
        std::vector<std::string> out;
        for (t.First(); !t.Eof(); t.Next()) out.push_back(t.FieldByName(field)->AsString());
        return out;
    }
};

}  // namespace

TEST(RestructureLists, AddChecksNamesAndSizes) {
    TRestructureFieldDefs fields(nullptr);
    fields.Add(1, "Name", ftString, 20, true);
    struct Case {
        std::string name;
        TFieldType type;
        uint16_t size;
        std::string raised;
    } cases[] = {
        {"NAME", ftString, 20, "Duplicate field name 'NAME'"},
        {"", ftString, 20, "Field name missing"},
        {"S0", ftString, 0, "Invalid field size"},
        {"S251", ftString, 251, "Invalid field size"},
        {"B251", ftBytes, 251, "Invalid field size"},
        {"I4", ftInteger, 4, "Invalid field size"},
        {"M1", ftMemo, 1, "Invalid field size"},
        {"D33", ftBCD, 33, "Invalid field size"},
        {"S250", ftString, 250, "(nothing raised)"},
        {"F1", ftFixedChar, 1, "(nothing raised)"},
        {"D32", ftBCD, 32, "(nothing raised)"},
        {"I0", ftInteger, 0, "(nothing raised)"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Raised([&] { fields.Add(2, c.name, c.type, c.size, false); }), c.raised) << c.name;
    EXPECT_EQ(fields.Count(), 5);
    EXPECT_EQ(fields.IndexOf("s250"), 1);
    EXPECT_EQ(fields.IndexOf("Missing"), -1);
    EXPECT_EQ(Raised([&] { fields.FieldByName("Missing"); }), "Field 'Missing' not found");

    TRestructureIndexDefs indexes(nullptr);
    indexes.Add("", "Name", ixPrimary, 3);
    indexes.Add("ByName", "Name", 0, 0);
    EXPECT_EQ(Raised([&] { indexes.Add("BYNAME", "Name", 0, 0); }), "Duplicate index name 'BYNAME'");
    TRestructureIndexDefs copy(nullptr);
    copy.Add("Old", "Name", 0, 0);
    copy.Assign(indexes);
    ASSERT_EQ(copy.Count(), 2);
    EXPECT_EQ(copy.GetItem(1)->Name, "ByName");
    EXPECT_EQ(copy.GetItem(0)->Compression, 3);
    copy.Delete(0);
    EXPECT_EQ(copy.GetItem(0)->Name, "ByName");
}

TEST_F(Restructure, UpdateLoadsTheTableOnceUntilTheListOrTheTableChanges) {
    Make();
    TRestructureFieldDefs& fields = t.RestructureFieldDefs;
    TRestructureIndexDefs& indexes = t.RestructureIndexDefs;
    fields.Update();
    ASSERT_EQ(fields.Count(), 11);
    EXPECT_EQ(fields.GetItem(2)->Name, "FolderName");
    EXPECT_EQ(fields.GetItem(2)->Size, 40);
    EXPECT_EQ(fields.GetItem(2)->FieldNo, 3);
    EXPECT_EQ(fields.GetItem(9)->DataType, ftMemo);
    EXPECT_EQ(fields.GetItem(10)->DataType, ftAutoInc);
    EXPECT_TRUE(fields.GetItem(0)->Required);

    indexes.Update();
    ASSERT_EQ(indexes.Count(), 3);
    EXPECT_EQ(indexes.GetItem(0)->Name, "");
    EXPECT_EQ(indexes.GetItem(0)->Fields, "FileName;VolumeLabel;FolderName;ArchiveID");
    EXPECT_EQ(indexes.GetItem(0)->Options, PrimaryKey);
    EXPECT_EQ(indexes.GetItem(1)->Name, "ByTag");
    EXPECT_EQ(indexes.GetItem(2)->Options, TIndexOptions(ixCaseInsensitive));

    fields.GetItem(2)->Size = 99;  // a change that Update must keep while the list counts as loaded
    fields.Update();
    EXPECT_EQ(fields.GetItem(2)->Size, 99);
    fields.Add(12, "Extra", ftInteger, 0, false);
    fields.Update();
    EXPECT_EQ(fields.Count(), 11) << "an added field makes Update load the table again";
    EXPECT_EQ(fields.GetItem(2)->Size, 40);

    fields.GetItem(2)->Size = 99;
    t.SetTableName("Cat_CAT");  // unchanged name: nothing happens
    t.SetDatabaseName("D:\\Other\\");
    t.SetDatabaseName("D:\\");
    fields.Update();
    EXPECT_EQ(fields.GetItem(2)->Size, 40) << "a new database name makes Update load again";
}

TEST_F(Restructure, AlterTableWidensAddsAndSetsTheUserVersion) {
    Make();
    EXPECT_EQ(t.GetUserMajorVersion(), 1);
    EXPECT_EQ(t.GetUserMinorVersion(), 0);
    t.RestructureFieldDefs.Update();
    t.RestructureIndexDefs.Update();
    t.RestructureFieldDefs.FieldByName("FolderName")->Size = 80;
    t.RestructureFieldDefs.Add(12, "Checked", ftBoolean, 0, false);
    std::vector<int> progress;
    t.OnRestructureProgress = [&](TObject* sender, int percent) {
        EXPECT_EQ(sender, &t);
        progress.push_back(percent);
    };
    Alter(2, 0);
    EXPECT_EQ(t.GetUserMajorVersion(), 2);
    EXPECT_EQ(t.GetUserMinorVersion(), 0);
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back(), 100);

    t.Open();
    EXPECT_EQ(t.FieldByName("FolderName")->Size(), 80);
    EXPECT_EQ(Column("FileName"), (std::vector<std::string>{"DATA.ZIP", "README.TXT", "SETUP.EXE"}));
    EXPECT_EQ(Column("FolderName"), std::vector<std::string>(3, "\\TOOLS\\"));
    EXPECT_EQ(Column("Attribute"), (std::vector<std::string>{"34", "32", "33"}));
    EXPECT_TRUE(t.FieldByName("Checked")->IsNull());
    t.Edit();
    t.FieldByName("FolderName")->SetAsString("\\" + std::string(70, 'F') + "\\");
    t.Post();
    EXPECT_EQ(t.FieldByName("FolderName")->AsString().size(), 72u);
}

TEST_F(Restructure, ADroppedFieldIsReportedAndThePrimaryIndexGoesFirst) {
    Make();
    t.RestructureFieldDefs.Update();
    std::vector<TRestructureFieldDef> kept;
    for (int i = 0; i < t.RestructureFieldDefs.Count(); ++i)
        if (t.RestructureFieldDefs.GetItem(i)->Name != "CategoryCode")
            kept.push_back(*t.RestructureFieldDefs.GetItem(i));
    t.RestructureFieldDefs.Clear();
    for (const TRestructureFieldDef& f : kept)
        t.RestructureFieldDefs.Add(f.FieldNo, f.Name, f.DataType, f.Size, f.Required);
    t.RestructureIndexDefs.Clear();
    t.RestructureIndexDefs.Add("ByTag", "Tag", 0, 0);
    t.RestructureIndexDefs.Add("", "FileName;VolumeLabel;FolderName;ArchiveID", PrimaryKey, 3);

    std::vector<std::pair<TDataLossCause, std::string>> lost;
    t.OnDataLost = [&](TObject*, TDataLossCause cause, const std::string& context, bool& go, bool& stop) {
        lost.emplace_back(cause, context);
        go = true;
        stop = true;  // asked once for the three records
    };
    Alter();
    ASSERT_EQ(lost.size(), 1u);
    EXPECT_EQ(lost[0].first, dlFieldDeletion);
    EXPECT_EQ(lost[0].second, "CategoryCode");
    EXPECT_EQ(t.RestructureIndexDefs.GetItem(0)->Name, "") << "the list itself is reordered";

    t.Open();
    EXPECT_EQ(t.FindField("CategoryCode"), nullptr);
    EXPECT_EQ(t.RecordCount(), 3);
    t.IndexDefs.Update();
    ASSERT_EQ(t.IndexDefs.Count(), 2);
    EXPECT_NE(t.IndexDefs[0]->Options & ixPrimary, 0u);
    EXPECT_EQ(t.IndexDefs[1]->Name, "ByTag");
}

TEST_F(Restructure, TheCatalogEntriesMadeThroughTheDefinitionsMatchTheEnginesOwn) {
    // The program creates the table from its definitions and restructures it at once for the
    // key compression of its name indexes.
    DefineEntries(t, "Cat_CAT");
    t.CreateTable();
    EXPECT_EQ(t.IndexDefs[0]->Name, "");
    t.RestructureFieldDefs.Update();
    t.RestructureIndexDefs.Update();
    t.RestructureIndexDefs.GetItem(0)->Compression = 3;
    t.RestructureIndexDefs.GetItem(t.RestructureIndexDefs.IndexOf("ByVolumeLabel"))->Compression = 3;
    Alter();

    TDbDatabase* db = DefaultSession().OpenDatabase("D:\\");
    dbengine::TDataCursor reference(db->Handle());
    reference.SetTableName("Reference");
    reference.SetExclusive(true);
    reference.CreateTable(dbengine::testsupport::CatalogEntries(12, 40, 12), false, false);
    reference.OpenCursor();
    t.Open();
    auto& made = static_cast<dbengine::TDataCursor&>(*t.Cursor());
    ASSERT_EQ(made.GetFieldCount(), reference.GetFieldCount());
    for (uint16_t i = 1; i <= made.GetFieldCount(); ++i) {
        dbengine::TFieldDescriptor a, b;
        made.GetFieldDesc(i, a);
        reference.GetFieldDesc(i, b);
        a.OriginName = b.OriginName = "";  // each names its own table
        EXPECT_EQ(a.Encode(), b.Encode()) << a.Name;
    }
    ASSERT_EQ(made.GetSecondaryIndexCount(), reference.GetSecondaryIndexCount());
    for (uint8_t i = 0; i <= made.GetSecondaryIndexCount(); ++i) {
        dbengine::TIndexDescriptor a = made.GetIndexDesc(i), b = reference.GetIndexDesc(i);
        EXPECT_EQ(a.Name, b.Name);
        EXPECT_EQ(a.KeySize, b.KeySize) << b.Name;
        EXPECT_EQ(a.FieldCount, b.FieldCount) << b.Name;
        EXPECT_EQ(a.FieldNumbers, b.FieldNumbers) << b.Name;
        EXPECT_EQ(a.Unique, b.Unique) << b.Name;
        EXPECT_EQ(a.CaseInsensitive, b.CaseInsensitive) << b.Name;
        EXPECT_EQ(a.Descending, b.Descending) << b.Name;
        EXPECT_EQ(a.Compression, b.Compression) << b.Name;
    }
    reference.CloseCursor(false);
    DefaultSession().CloseDatabase(db);
}
