// The table component: names and paths, making, renaming and deleting tables from field and index
// definitions, choosing indexes, key search and key ranges.

#include "dbsql/components/DbTable.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "dbengine/index/IndexFormat.h"
#include "dbengine/util/EngineError.h"
#include "dbsql/testsupport/DbTestTable.h"
#include "framework/ui/Forms.h"

using namespace dbsql;
using namespace framework;
using dbsql::testsupport::Raised;

namespace {

// Exposes the range bookkeeping.
class TRangeTable : public TDbTable {
public:
    using TDbTable::ApplyKeyRange;
};

std::map<std::string, std::string> FolderBytes(const std::string& folder) {
    std::map<std::string, std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(folder)) {
        std::ifstream in(e.path(), std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        out[e.path().filename().string()] = ss.str();
    }
    return out;
}

// Volumes: Label (string 11, the key), Owner (string 20, indexed by "ByOwner"), Size (integer).
struct Volumes : dbsql::testsupport::SessionFixture {
    TRangeTable t;
    void Define(TDbTable& table) {
        table.SetDatabaseName("D:\\");
        table.SetTableName("Volumes");
        table.FieldDefs.Clear();
        table.FieldDefs.Add("Label", ftString, 11, true);
        table.FieldDefs.Add("Owner", ftString, 20, false);
        table.FieldDefs.Add("Size", ftInteger, 0, false);
        table.IndexDefs.Clear();
        table.IndexDefs.Add("ByOwner", "Owner", 0);
        table.IndexDefs.Add("", "Label", ixPrimary | ixUnique);
    }
    void Make() {
        Define(t);
        t.CreateTable();
        t.Open();
        const char* owners[] = {"ann", "bob", "ann", "cid", "bob"};
        for (int i = 0; i < 5; ++i)
            t.AppendRecord({Variant("V" + std::to_string(i + 1)), Variant(owners[i]), Variant(i * 10)});
        t.First();
    }
    std::string Label() { return t.FieldByName("Label")->AsString(); }
    std::vector<std::string> Labels() {
        std::vector<std::string> out;
        for (t.First(); !t.Eof(); t.Next()) out.push_back(Label());
        return out;
    }
};

}  // namespace

TEST_F(Volumes, TableNameWithAPathSetsTheDatabaseUnlessInMemory) {
    struct Case {
        std::string database, name, wantDatabase, wantTable;
    } cases[] = {
        {"", "C:\\Data\\Cat_SUM.DAT", "C:\\Data\\", "Cat_SUM.DAT"},
        {"", "C:/Data/Cat_SUM.DAT", "C:\\Data\\", "Cat_SUM.DAT"},
        {"D:\\", "Plain", "D:\\", "Plain"},
        {"Memory", "C:\\Data\\Cat_SUM.DAT", "Memory", "Cat_SUM.DAT"},
    };
    for (const Case& c : cases) {
        TDbTable table;
        table.SetDatabaseName(c.database);
        table.SetTableName(c.name);
        EXPECT_EQ(table.DatabaseName(), c.wantDatabase) << c.name;
        EXPECT_EQ(table.TableName(), c.wantTable) << c.name;
    }
    TDbTable empty;
    empty.SetDatabaseName("D:\\");
    EXPECT_FALSE(empty.Exists());
    EXPECT_EQ(Raised([&] { empty.Open(); }), "Missing table name.");
}

TEST_F(Volumes, CreateTablePutsThePrimaryIndexFirstAndRefusesAnExistingTable) {
    Define(t);
    EXPECT_FALSE(t.Exists());
    t.CreateTable();
    EXPECT_TRUE(t.Exists());
    EXPECT_EQ(t.IndexDefs[0]->Name, "");
    EXPECT_EQ(t.IndexDefs[1]->Name, "ByOwner");

    auto before = FolderBytes(Root.Path());
    TDbTable again;
    Define(again);
    try {
        again.CreateTable();
        ADD_FAILURE() << "an existing table was made again";
    } catch (const dbengine::EDbEngineError& e) {
        EXPECT_EQ(e.ErrorCode, 13060);
    }
    EXPECT_EQ(FolderBytes(Root.Path()), before);

    // The definitions of the closed table come from its files.
    TDbTable reader;
    EXPECT_EQ(Raised([&] { reader.FieldDefs.Update(); }), "Missing table name.");
    reader.SetDatabaseName("D:\\");
    reader.SetTableName("Volumes");
    reader.FieldDefs.Update();
    ASSERT_EQ(reader.FieldDefs.Count(), 3);
    EXPECT_EQ(reader.FieldDefs[1]->Name, "Owner");
    EXPECT_EQ(reader.FieldDefs[1]->Size, 20);
    reader.IndexDefs.Update();
    EXPECT_EQ(reader.IndexDefs.Count(), 2);
    EXPECT_EQ(reader.DBFlags(), 0u);

    t.Open();
    t.UpdateIndexDefs();
    ASSERT_EQ(t.IndexDefs.Count(), 2);
    EXPECT_EQ(t.IndexDefs[0]->Fields, "Label");
    EXPECT_NE(t.IndexDefs[0]->Options & ixPrimary, 0u);
    EXPECT_EQ(t.IndexDefs[1]->Name, "ByOwner");
    EXPECT_EQ(t.IndexDefs[1]->Fields, "Owner");
}

TEST_F(Volumes, AnIndexOfMoreThanSixteenFieldsIsRefusedBeforeAnyFileIsMade) {
    t.SetDatabaseName("D:\\");
    t.SetTableName("Wide");
    std::string fields;
    for (int i = 1; i <= 17; ++i) {
        t.FieldDefs.Add("F" + std::to_string(i), ftInteger, 0, false);
        fields += (i > 1 ? ";F" : "F") + std::to_string(i);
    }
    t.IndexDefs.Add("ByAll", fields, 0);
    try {
        t.CreateTable();
        ADD_FAILURE() << "an index of 17 fields was accepted";
    } catch (const dbengine::EDbEngineError& e) {
        EXPECT_EQ(e.ErrorCode, 10023);
    }
    EXPECT_TRUE(std::filesystem::is_empty(Root.Path()));
}

TEST_F(Volumes, AStringSizeTheDescriptorCannotHoldReachesTheEnginesCheck) {
    // 300 would wrap to 44 in the descriptor's byte and make a table with the wrong size.
    t.SetDatabaseName("D:\\");
    t.SetTableName("Big");
    t.FieldDefs.Add("Text", ftString, 300, false);
    EXPECT_THROW(t.CreateTable(), dbengine::EDbEngineError);
    EXPECT_FALSE(t.Exists());
}

TEST_F(Volumes, RenameEmptyAndDeleteWorkOnTheFiles) {
    Make();
    t.Close();
    t.RenameTable("Disks");
    EXPECT_EQ(t.TableName(), "Disks");
    EXPECT_TRUE(t.Exists());
    t.Open();
    EXPECT_EQ(t.RecordCount(), 5);
    t.Close();
    t.EmptyTable();
    t.Open();
    EXPECT_EQ(t.RecordCount(), 0);
    t.Close();
    t.DeleteTable();
    EXPECT_FALSE(t.Exists());
    t.SetTableName("Volumes");
    EXPECT_FALSE(t.Exists());
}

TEST_F(Volumes, IndexNameAndIndexFieldNamesChooseTheOrder) {
    Make();
    EXPECT_EQ(Labels(), (std::vector<std::string>{"V1", "V2", "V3", "V4", "V5"}));
    t.SetIndexName("ByOwner");
    EXPECT_EQ(t.IndexNumber(), 1);
    EXPECT_EQ(Label(), "V5");  // the dataset stays on its record
    std::vector<std::string> owners;
    for (t.First(); !t.Eof(); t.Next()) owners.push_back(t.FieldByName("Owner")->AsString());
    EXPECT_EQ(owners, (std::vector<std::string>{"ann", "ann", "bob", "bob", "cid"}));
    t.SetIndexFieldNames("Label");
    EXPECT_EQ(t.IndexNumber(), 0);
    EXPECT_EQ(t.IndexName(), "");
    EXPECT_EQ(Raised([&] { t.SetIndexFieldNames("Size"); }), "No index for fields 'Size'");
}

TEST_F(Volumes, GotoKeyFindsOrStaysWithoutScrolling) {
    Make();
    int before = 0, after = 0;
    t.BeforeScroll = [&](TDataSet*) { ++before; };
    t.AfterScroll = [&](TDataSet*) { ++after; };

    t.SetKey();
    t.FieldByName("Label")->SetAsString("V4");
    EXPECT_TRUE(t.GotoKey());
    EXPECT_EQ(Label(), "V4");
    EXPECT_EQ(t.State(), dsBrowse);
    EXPECT_EQ(before, 1);
    EXPECT_EQ(after, 1);

    t.SetKey();
    t.FieldByName("Label")->SetAsString("V9");
    EXPECT_FALSE(t.GotoKey());
    EXPECT_EQ(Label(), "V4");
    EXPECT_EQ(after, 1);
    t.Next();
    EXPECT_EQ(Label(), "V5");

    before = 0;
    t.SetKey();
    t.FieldByName("Label")->SetAsString("V2A");
    t.GotoNearest();
    EXPECT_EQ(Label(), "V3");
    EXPECT_EQ(before, 0);

    EXPECT_TRUE(t.FindKey({Variant("V1")}));
    EXPECT_EQ(Label(), "V1");
}

TEST_F(Volumes, KeyEditingAcceptsOnlyFieldsOfTheCurrentIndex) {
    Make();
    t.SetKey();
    EXPECT_EQ(Raised([&] { t.FieldByName("Owner")->SetAsString("x"); }),
              "Field Owner is not in the current index.");
    t.Cancel();
    EXPECT_EQ(t.State(), dsBrowse);
    EXPECT_EQ(t.GetIndexField(0)->FieldName, "Label");

    // Cancelling a key edit gives the key back as it was.
    t.SetKey();
    t.FieldByName("Label")->SetAsString("V2");
    t.Post();
    t.EditKey();
    t.FieldByName("Label")->SetAsString("V9");
    t.Cancel();
    EXPECT_TRUE(t.GotoKey());
    EXPECT_EQ(Label(), "V2");
    EXPECT_EQ(Raised([&] { t.GetIndexField(t.IndexFieldCount()); }), "Field index out of range.");
    EXPECT_EQ(Raised([&] { t.GetIndexField(-1); }), "Field index out of range.");

    // A key with no field assigned searches for all key fields empty.
    t.AppendRecord({Variant("V6"), Variant(), Variant(60)});
    t.SetIndexName("ByOwner");
    t.First();
    t.Next();
    t.SetKey();
    EXPECT_TRUE(t.GotoKey());
    EXPECT_EQ(Label(), "V6");
}

TEST_F(Volumes, RangesLimitTheRecordsAndAnUnchangedRangeIsNotAppliedAgain) {
    Make();
    t.SetIndexName("ByOwner");
    t.SetRange({Variant("bob")}, {Variant("bob")});
    EXPECT_EQ(Labels(), (std::vector<std::string>{"V2", "V5"}));

    t.SetRangeStart();
    t.FieldByName("Owner")->SetAsString("ann");
    t.SetRangeEnd();
    t.FieldByName("Owner")->SetAsString("bob");
    t.Post();
    EXPECT_TRUE(t.ApplyKeyRange());
    EXPECT_FALSE(t.ApplyKeyRange());
    t.First();
    EXPECT_EQ(Labels().size(), 4u);

    t.CancelRange();
    EXPECT_EQ(Labels().size(), 5u);
}

TEST_F(Volumes, FilterTextAndFilterHandlerHideRecordsWhileFiltered) {
    Make();
    t.Next();
    t.Next();
    t.SetFilter("Owner = 'bob'");
    EXPECT_EQ(Label(), "V3");  // not filtered yet: nothing moves
    t.SetFilteredValue(true);
    EXPECT_EQ(Label(), "V2");
    EXPECT_EQ(Labels(), (std::vector<std::string>{"V2", "V5"}));
    t.SetOnFilterRecordValue(
        [](TDataSet* ds, bool& accept) { accept = ds->FieldByName("Size")->AsInteger() > 10; });
    EXPECT_EQ(Labels(), (std::vector<std::string>{"V5"}));
    t.SetFilter("");
    EXPECT_EQ(Labels(), (std::vector<std::string>{"V3", "V4", "V5"}));
    t.SetFilteredValue(false);
    EXPECT_EQ(Labels().size(), 5u);
}

TEST_F(Volumes, FindFirstAndFindNextWalkTheFilterWithoutFiltering) {
    Make();
    t.SetOnFilterRecordValue(
        [](TDataSet* ds, bool& accept) { accept = ds->FieldByName("Owner")->AsString() == "ann"; });
    EXPECT_TRUE(t.FindFirst());
    EXPECT_EQ(Label(), "V1");
    EXPECT_TRUE(t.FindNext());
    EXPECT_EQ(Label(), "V3");
    EXPECT_FALSE(t.FindNext());
    EXPECT_EQ(Label(), "V3");
    EXPECT_TRUE(t.FindLast());
    EXPECT_EQ(Label(), "V3");
    EXPECT_EQ(Labels().size(), 5u);  // unfiltered walks see every record
}

TEST_F(Volumes, AFailingFilterHandlerReachesTheApplicationAndTheWalkGoesOn) {
    Make();
    std::vector<std::string> reported;
    auto saved = Application->OnException;
    Application->OnException = [&](TObject*, const std::exception& e) { reported.push_back(e.what()); };
    t.SetOnFilterRecordValue([](TDataSet* ds, bool& accept) {
        if (ds->FieldByName("Owner")->AsString() == "bob") {
            accept = false;
            throw Exception("bad record");
        }
    });
    t.SetFilteredValue(true);
    EXPECT_EQ(Labels(), (std::vector<std::string>{"V1", "V3", "V4"}));
    Application->OnException = saved;
    EXPECT_FALSE(reported.empty());
    EXPECT_EQ(reported[0], "bad record");
}

TEST_F(Volumes, UserVersionAndVerifyWorkOnTheClosedTable) {
    Make();
    EXPECT_EQ(t.GetUserMajorVersion(), 1);
    EXPECT_EQ(t.GetUserMinorVersion(), 0);
    t.Close();
    EXPECT_EQ(t.GetUserMajorVersion(), 1);
    EXPECT_EQ(t.GetUserMinorVersion(), 0);
    int steps = 0;
    t.OnVerifyProgress = [&](TObject* sender, const std::string&, int) {
        EXPECT_EQ(sender, &t);
        ++steps;
    };
    std::vector<std::string> lines;
    t.OnVerifyLog = [&](TObject*, const std::string& line) { lines.push_back(line); };
    EXPECT_TRUE(t.VerifyTable());
    EXPECT_GT(steps, 0);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_NE(lines.front().find("started at"), std::string::npos) << lines.front();
    EXPECT_NE(lines.back().find("completed at"), std::string::npos) << lines.back();
    lines.clear();
    t.OnRepairLog = [&](TObject*, const std::string& line) { lines.push_back("repair: " + line); };
    t.RepairTable(true);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_NE(lines.back().find("completed at"), std::string::npos) << lines.back();
    EXPECT_TRUE(t.Exists());
    t.Open();
    EXPECT_EQ(t.RecordCount(), 5);
    EXPECT_NE(Raised([&] { t.VerifyTable(); }), "(nothing raised)");
}

TEST_F(Volumes, RepairAnswersWhetherTheTableIsSoundAfterwards) {
    Make();
    t.Close();
    EXPECT_TRUE(t.RepairTable(false));  // nothing to mend
    // The index header claims 99 records: a check finds the table damaged, a repair mends it.
    {
        std::fstream f(Root.Path() + "/Volumes.IDX", std::ios::in | std::ios::out | std::ios::binary);
        ASSERT_TRUE(f.good());
        const int32_t count = 99;
        f.seekp(dbengine::IhRecordCount);
        f.write(reinterpret_cast<const char*>(&count), sizeof count);
    }
    EXPECT_FALSE(t.VerifyTable());
    std::vector<std::string> lines;
    t.OnRepairLog = [&](TObject*, const std::string& line) { lines.push_back(line); };
    EXPECT_TRUE(t.RepairTable(true));
    EXPECT_FALSE(lines.empty());  // the repair itself is still logged
    EXPECT_TRUE(t.VerifyTable());
    t.Open();
    EXPECT_EQ(t.RecordCount(), 5);
}
