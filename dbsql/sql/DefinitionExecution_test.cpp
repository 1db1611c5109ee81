#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dbengine/index/IndexFormat.h"
#include "dbsql/testsupport/SqlTableTest.h"

namespace dbsql {
namespace {

using dbengine::testsupport::Field;
using dbengine::testsupport::Index;

class DefinitionExecutionTest : public SqlTableTest {
protected:
    void SetUp() override {
        SqlTableTest::SetUp();
        MakeTable("T",
                  {Field(1, "A", dbengine::fldInteger), Field(2, "B", dbengine::fldString, 10),
                   Field(3, "C", dbengine::fldInteger)},
                  Index("", {1}, true), {Index("ByB", {2})},
                  {{"1", "b", "30"}, {"2", "c", "10"}, {"3", "a", "20"}});
    }

    // The table's column names, and its indexes as "name:field numbers" (the primary one first,
    // "(internal)" for the engine's own order, then the full-text index when there is one).
    std::string Shape(const std::string& table) {
        dbengine::TDataCursor c(Database);
        c.SetTableName(table);
        c.OpenCursor();
        std::string shape;
        for (const std::string& name : Names(c)) shape += name + " ";
        auto index = [&](uint8_t no) {
            const dbengine::TIndexDescriptor d = c.GetIndexDesc(no);
            std::string text = d.Name + ":";
            for (int i = 0; i < d.FieldCount; ++i)
                text += (i == 0 ? "" : ",") + std::to_string(d.FieldNumbers[i]) +
                        (d.FieldDescending[i] ? "d" : "");
            return text;
        };
        shape += "|";
        shape += c.HasInternalPrimaryIndex() ? " (internal)" : " " + index(dbengine::PrimaryIndex);
        for (uint8_t i = 1; i <= c.GetSecondaryIndexCount(); ++i) shape += " " + index(i);
        if (c.GetIndexDesc(dbengine::SysTextIndex).FieldCount > 0)
            shape += " text " + index(dbengine::SysTextIndex);
        c.CloseCursor(false);
        return shape;
    }
};

TEST_F(DefinitionExecutionTest, AlterTableAddsRedefinesAndDropsColumns) {
    // The added column takes a number above every existing one, so it continues no old column:
    // its values are empty while the others keep theirs.
    Execute("Alter Table \"T\" Add x Integer At 1");
    EXPECT_EQ(Shape("T"), "x A B C | :2 ByB:3");
    EXPECT_EQ(TableRows("T"), (TRows{"NULL|1|b|30", "NULL|2|c|10", "NULL|3|a|20"}));

    // Renamed and widened, moved to the end, and a column dropped, in one statement.
    Execute("Alter Table \"T\" Redefine B Label VarChar(20)");
    Execute("Alter Table \"T\" Redefine Label At 9, Drop C, Redefine x Default 7");
    EXPECT_EQ(Shape("T"), "x A Label | :2 ByB:3");
    // The new default fills the empty values of the column.
    EXPECT_EQ(TableRows("T"), (TRows{"7|1|b", "7|2|c", "7|3|a"}));
    EXPECT_EQ(Execute("Insert Into \"T\" (A, Label) Values (4, 'a label of 20 chars')"), 1);
    EXPECT_EQ(TableRows("T").back(), "7|4|a label of 20 chars");

    // A place past the end appends the added column.
    Execute("Alter Table \"T\" Add y VarChar(5) At 40");
    EXPECT_EQ(Shape("T"), "x A Label y | :2 ByB:3");
}

TEST_F(DefinitionExecutionTest, AlterTableRefusesUnknownColumnsAndASecondPrimaryKey) {
    struct TCase {
        const char* Sql;
        const char* Message;
    };
    const TCase cases[] = {
        {"Alter Table \"T\" Redefine y Integer", "Column y not found"},
        {"Alter Table \"T\" Drop y", "Column y not found"},
        {"Alter Table \"T\" Add Primary Key (B)", "Cannot REDEFINE the primary key using the ADD keyword"},
        {"Alter Table \"T\" Redefine Primary Key (q)", "Invalid field name 'q' specified for index ''"},
        {"Alter Table \"T\" Text Index (q)", "Invalid field name 'q' specified for text index"},
        // A column the statement drops is no longer there for the key.
        {"Alter Table \"T\" Drop B, Redefine Primary Key (B)",
         "Invalid field name 'B' specified for index ''"},
    };
    for (const TCase& c : cases) EXPECT_EQ(ExecuteError(c.Sql), c.Message) << c.Sql;
    // Nothing was changed, and no cursor was left open: the table can be altered exclusively.
    EXPECT_EQ(Shape("T"), "A B C | :1 ByB:2");
    Execute("Alter Table \"T\" Drop C");
    EXPECT_EQ(TableRows("T"), (TRows{"1|b", "2|c", "3|a"}));
}

TEST_F(DefinitionExecutionTest, AlterTableReplacesThePrimaryKey) {
    // DROP before ADD in one statement; the key's direction reaches every key field.
    Execute("Alter Table \"T\" Drop Primary Key, Add Desc Primary Key (C)");
    EXPECT_EQ(Shape("T"), "A B C | :3d ByB:2");
    EXPECT_EQ(TableRows("T"), (TRows{"1|b|30", "3|a|20", "2|c|10"}));
    Execute("Alter Table \"T\" Redefine Primary Key (B, A)");
    EXPECT_EQ(TableRows("T"), (TRows{"3|a|20", "1|b|30", "2|c|10"}));
    Execute("Alter Table \"T\" Drop Primary Key");
    EXPECT_EQ(Shape("T"), "A B C | (internal) ByB:2");
    // On the engine's own order ADD is allowed.
    Execute("Alter Table \"T\" Add Primary Key (A)");
    EXPECT_EQ(Shape("T"), "A B C | :1 ByB:2");
    EXPECT_EQ(TableRows("T"), (TRows{"1|b|30", "2|c|10", "3|a|20"}));
}

TEST_F(DefinitionExecutionTest, AlterTableKeepsTableOptionsItDoesNotGive) {
    Execute(
        "Create Table \"O\" (A Integer, Body Memo, Text Index (Body) Stop Words 'the' "
        "Description 'kept' User Major Version 3)");
    Execute("Alter Table \"O\" Add N Integer User Minor Version 4");
    dbengine::TDataCursor c(Database);
    c.SetTableName("O");
    c.OpenCursor();
    EXPECT_EQ(c.GetTableDescription(), "kept");
    EXPECT_EQ(c.GetUserMajorVersion(), 3);
    EXPECT_EQ(c.GetUserMinorVersion(), 4);
    ASSERT_EQ(c.GetStopWords().Count(), 1);
    EXPECT_EQ(c.GetStopWords().Get(0), "the");
    c.CloseCursor(false);
    EXPECT_EQ(Shape("O"), "A Body N | (internal) text Sys Text:2");
}

TEST_F(DefinitionExecutionTest, TextIndexWithStopWordsIsBuilt) {
    Execute(
        "Create Table \"D\" (Id Integer, Body Memo, Primary Key (Id) Text Index (Body) "
        "Stop Words 'the and')");
    EXPECT_EQ(Shape("D"), "Id Body | :1 text Sys Text:2");
    {
        dbengine::TDataCursor c(Database);
        c.SetTableName("D");
        c.OpenCursor();
        ASSERT_EQ(c.GetStopWords().Count(), 2);
        EXPECT_EQ(c.GetStopWords().Get(0), "and");
        c.CloseCursor(false);
    }
    Execute(
        "Insert Into \"D\" Values (1, 'the engine and the table'); "
        "Insert Into \"D\" Values (2, 'a table of words')");
    EXPECT_EQ(Run("Select Id From \"D\" Where TextSearch('table' In Body)"), (TRows{"1", "2"}));
    // A stop word is no word of the index: searching for it alone matches every row, also the
    // one without it.
    EXPECT_EQ(Run("Select Id From \"D\" Where TextSearch('the' In Body)"), (TRows{"1", "2"}));
    EXPECT_EQ(Run("Select Id From \"D\" Where TextSearch('words' In Body)"), (TRows{"2"}));
    EXPECT_EQ(Run("Select Id From \"D\" Where TextSearch('engine' In Body)"), (TRows{"1"}));
}

TEST_F(DefinitionExecutionTest, CreateAndDropIndex) {
    Execute("Create Unique NoCase Index ByC On \"T\" (C) Compress Full");
    EXPECT_EQ(Shape("T"), "A B C | :1 ByB:2 ByC:3");
    EXPECT_EQ(ExecuteError("Create Index If Not Exists ByC On \"T\" (B)"), "(none)");
    EXPECT_NE(ExecuteError("Create Index ByC On \"T\" (B)"), "(none)");
    EXPECT_EQ(ExecuteError("Create Index ByQ On \"T\" (q)"),
              "Invalid field name 'q' specified for index 'ByQ'");
    // A unique index over repeated values is the engine's key violation, and adds nothing.
    Execute("Update \"T\" Set B = 'a'");
    EXPECT_NE(ExecuteError("Create Unique Index ByB2 On \"T\" (B)").find("9729"), std::string::npos);
    EXPECT_EQ(Shape("T"), "A B C | :1 ByB:2 ByC:3");
    // The new index orders a SELECT.
    EXPECT_EQ(Run("Select C From \"T\" Order By C"), (TRows{"10", "20", "30"}));

    Execute("Drop Index \"T\".ByB");
    EXPECT_EQ(Shape("T"), "A B C | :1 ByC:3");
    EXPECT_EQ(ExecuteError("Drop Index If Exists \"T\".ByB"), "(none)");
    EXPECT_NE(ExecuteError("Drop Index \"T\".ByB").find("10022"), std::string::npos);
    // The primary key gives way to the engine's own order; the records stay.
    Execute("Drop Index \"T\".Primary");
    EXPECT_EQ(Shape("T"), "A B C | (internal) ByC:3");
    EXPECT_EQ(TableRows("T").size(), 3u);
    EXPECT_EQ(ExecuteError("Drop Index If Exists \"T\".PRIMARY"), "(none)");
    EXPECT_NE(ExecuteError("Drop Index \"T\".PRIMARY").find("10022"), std::string::npos);
}

TEST_F(DefinitionExecutionTest, DefinitionStatementsNeedTheTableToThemselves) {
    dbengine::TDataCursor other(Database);
    other.SetTableName("T");
    other.OpenCursor();
    for (const char* sql :
         {"Create Index ByC On \"T\" (C)", "Drop Index \"T\".ByB", "Alter Table \"T\" Drop C"}) {
        const std::string message = ExecuteError(sql);
        EXPECT_NE(message, "(none)") << sql;
        EXPECT_NE(message.find("11013"), std::string::npos) << sql << ": " << message;
    }
    other.CloseCursor(false);
    EXPECT_EQ(Shape("T"), "A B C | :1 ByB:2");
}

}  // namespace
}  // namespace dbsql
