#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "dbengine/session/DataDirectory.h"
#include "dbsql/testsupport/SqlTableTest.h"

namespace dbsql {
namespace {

using dbengine::testsupport::Field;
using dbengine::testsupport::Index;

class DmlExecutionTest : public SqlTableTest {
protected:
    void SetUp() override {
        SqlTableTest::SetUp();
        // C_CAT: a catalog keyed on its auto-increment Id, with a label index and a memo.
        MakeTable("C_CAT",
                  {Field(1, "Id", dbengine::fldInteger, 0, dbengine::fldstAutoInc),
                   Field(2, "VolumeLabel", dbengine::fldString, 10), Field(3, "Size", dbengine::fldInteger),
                   Field(4, "OpDate", dbengine::fldDate),
                   Field(5, "Comment", dbengine::fldBlob, 0, dbengine::fldstMemo)},
                  Index("", {1}, true), {Index("ByVolumeLabel", {2})},
                  {{"1", "OLD", "10", std::nullopt, "c1"},
                   {"2", "NEW", "20", std::nullopt, std::nullopt},
                   {"3", "OLD", "30", std::nullopt, std::nullopt},
                   {"4", "X", "40", std::nullopt, std::nullopt}});
    }
};

TEST_F(DmlExecutionTest, UpdateChangesTheMatchingRowsThroughTheirIndex) {
    EXPECT_EQ(Execute("Update \"C_CAT\" Set VolumeLabel=\"NEW\" Where (VolumeLabel=\"OLD\")"), 2);
    EXPECT_EQ(TableRows("C_CAT"),
              (TRows{"1|NEW|10|NULL|c1", "2|NEW|20|NULL|NULL", "3|NEW|30|NULL|NULL", "4|X|40|NULL|NULL"}));
    // A double-quoted text is a value even when it spells a column's name.
    EXPECT_EQ(Execute("Update \"C_CAT\" Set VolumeLabel=\"COMMENT\" Where Id = 4"), 1);
    EXPECT_EQ(TableRows("C_CAT").back(), "4|COMMENT|40|NULL|NULL");
    EXPECT_EQ(Execute("Update \"C_CAT\" Set Size = Size + 1 Where Size > 100"), 0);
    EXPECT_FALSE(Database->InTransaction);
}

TEST_F(DmlExecutionTest, UpdateWritesMemosWithoutTerminatingZeroAndNullClearsThem) {
    EXPECT_EQ(Execute("Update \"C_CAT\" Set Comment = 'memo text' Where Id = 2"), 1);
    EXPECT_EQ(Execute("Update \"C_CAT\" Set Comment = NULL Where Id = 1"), 1);
    EXPECT_EQ(Execute("Update \"C_CAT\" Set VolumeLabel = '   ' Where Id = 3"), 1);
    const TRows rows = TableRows("C_CAT");
    EXPECT_EQ(rows[0], "1|OLD|10|NULL|NULL");
    EXPECT_EQ(rows[1], "2|NEW|20|NULL|memo text");
    EXPECT_EQ(rows[2], "3|NULL|30|NULL|NULL");
}

TEST_F(DmlExecutionTest, InsertFillsColumnsAndChecksValues) {
    EXPECT_EQ(Execute("Insert Into \"C_CAT\" (VolumeLabel, Size, OpDate) Values ('V5', 50, '2003-10-05')"),
              1);
    const std::string added = TableRows("C_CAT").back();
    EXPECT_EQ(added.rfind("5|V5|50|", 0), 0u) << added;
    EXPECT_EQ(added.find("NULL|NULL"), std::string::npos) << added;  // the date was stored
    EXPECT_EQ(Execute("Insert Into \"C_CAT\" Values (77, 'ALL', 7, Null, 'note') NOAUTOINC"), 1);
    EXPECT_EQ(TableRows("C_CAT").back(), "77|ALL|7|NULL|note");
    struct TCase {
        const char* Sql;
        const char* Message;
    };
    const TCase cases[] = {
        {"Insert Into \"C_CAT\" Values ('ALL', 7, Null, 'note')",
         "The number of values must match the number of table columns"},
        {"Insert Into \"C_CAT\" (OpDate) Values ('x')",
         "Date, time, or timestamp expression expected, instead found 'x' in update values"},
        {"Insert Into \"C_CAT\" (q) Values (1)",
         "Invalid column name 'q' or table correlation name '' specified in table columns"},
        {"Update \"C_CAT\" Set Size = 'abc'",
         "Type mismatch between column 'Size' and constant 'abc' in update values"},
    };
    for (const TCase& c : cases) EXPECT_EQ(ExecuteError(c.Sql), c.Message) << c.Sql;
    EXPECT_EQ(TableRows("C_CAT").size(), 6u);
}

TEST_F(DmlExecutionTest, InsertSelectCopiesRowsAndMemos) {
    EXPECT_EQ(Execute("Insert Into \"C_CAT\" (VolumeLabel, Size, Comment) "
                      "Select 'COPY', Size + 100, Comment From \"C_CAT\" Where VolumeLabel = 'OLD'"),
              2);
    const TRows rows = TableRows("C_CAT");
    ASSERT_EQ(rows.size(), 6u);
    EXPECT_EQ(rows[4], "5|COPY|110|NULL|c1");
    EXPECT_EQ(rows[5], "6|COPY|130|NULL|NULL");
    EXPECT_FALSE(Database->InTransaction);
}

TEST_F(DmlExecutionTest, UpdateFromCountsARowWithTwoPartnersOnce) {
    MakeTable("P", {Field(1, "Label", dbengine::fldString, 10), Field(2, "Add", dbengine::fldInteger)}, {},
              {}, {{"NEW", "1"}, {"NEW", "2"}, {"X", "5"}});
    EXPECT_EQ(
        Execute("Update \"C_CAT\" Set Size = Size + P.Add From \"C_CAT\", \"P\" Where VolumeLabel = Label"),
        2);
    const TRows rows = TableRows("C_CAT");
    EXPECT_EQ(rows[1], "2|NEW|23|NULL|NULL");  // changed twice, counted once
    EXPECT_EQ(rows[3], "4|X|45|NULL|NULL");
}

TEST_F(DmlExecutionTest, AKeyViolationInAnUpdateUndoesTheStatement) {
    MakeTable("K", {Field(1, "Code", dbengine::fldInteger), Field(2, "Name", dbengine::fldString, 10)},
              Index("", {1}, true), {}, {{"1", "a"}, {"2", "b"}, {"3", "c"}});
    try {
        Execute("Update \"K\" Set Code = 3, Name = 'z' Where Code < 3");
        ADD_FAILURE() << "no key violation";
    } catch (const dbengine::EDbEngineError& e) {
        EXPECT_EQ(e.ErrorCode, 9729) << e.Message;
    }
    EXPECT_FALSE(Database->InTransaction);
    EXPECT_EQ(TableRows("K"), (TRows{"1|a", "2|b", "3|c"}));
    // The record is not left locked: a later statement changes it.
    EXPECT_EQ(Execute("Update \"K\" Set Name = 'y' Where Code = 1"), 1);
}

TEST_F(DmlExecutionTest, DeleteRemovesTheMatchingRows) {
    EXPECT_EQ(Execute("Delete From \"C_CAT\" Where VolumeLabel = 'OLD'"), 2);
    EXPECT_EQ(TableRows("C_CAT"), (TRows{"2|NEW|20|NULL|NULL", "4|X|40|NULL|NULL"}));
    EXPECT_EQ(Execute("Delete From \"C_CAT\" Where Size > 25"), 1);
    EXPECT_EQ(Execute("Delete From \"C_CAT\""), 1);
    EXPECT_TRUE(TableRows("C_CAT").empty());
}

TEST_F(DmlExecutionTest, TransactionStatementsUndoAndCountAScript) {
    EXPECT_EQ(Execute("START TRANSACTION; Update \"C_CAT\" Set Size = 1; ROLLBACK; "
                      "Update \"C_CAT\" Set Size = 2 Where VolumeLabel = 'OLD'"),
              2);
    EXPECT_EQ(TableRows("C_CAT"),
              (TRows{"1|OLD|2|NULL|c1", "2|NEW|20|NULL|NULL", "3|OLD|2|NULL|NULL", "4|X|40|NULL|NULL"}));
    Execute("START TRANSACTION; Delete From \"C_CAT\"; ROLLBACK");
    EXPECT_EQ(TableRows("C_CAT").size(), 4u);
    EXPECT_EQ(ExecuteError("COMMIT"), "Transaction not in progress for database 'D:\\'");
    EXPECT_EQ(ExecuteError("START TRANSACTION; START TRANSACTION"),
              "Transaction already in progress for database 'D:\\'");
    Execute("ROLLBACK");
    Execute("START TRANSACTION; Delete From \"C_CAT\" Where Id = 4; COMMIT");
    EXPECT_EQ(TableRows("C_CAT").size(), 3u);
    EXPECT_FALSE(Database->InTransaction);
    // A script gives a cursor only when its last statement is a SELECT.
    const struct {
        const char* Sql;
        bool Cursor;
    } scripts[] = {
        {"Update \"C_CAT\" Set Size = 5; Delete From \"C_CAT\" Where Id = 3; Select Size From \"C_CAT\"",
         true},
        {"Select Size From \"C_CAT\"; Update \"C_CAT\" Set Size = 6; Delete From \"C_CAT\" Where Id = 2",
         false},
    };
    for (const auto& script : scripts) {
        TQueryStatement statement(Database);
        statement.PrepareSQL(script.Sql);
        dbengine::TDataCursor* cursor = statement.ExecuteSQL();
        EXPECT_EQ(cursor != nullptr, script.Cursor) << script.Sql;
        if (cursor != nullptr) {
            EXPECT_EQ(ReadRows(*cursor), (TRows{"5", "5"}));
        }
    }
    EXPECT_EQ(TableRows("C_CAT"), (TRows{"1|OLD|6|NULL|c1"}));
}

TEST_F(DmlExecutionTest, CreateAndDropTable) {
    Execute("Create Table \"T\" (Code Integer, Name VarChar(10), Primary Key (Code))");
    EXPECT_EQ(Execute("Insert Into \"T\" Values (2, 'b'); Insert Into \"T\" Values (1, 'a')"), 2);
    EXPECT_EQ(TableRows("T"), (TRows{"1|a", "2|b"}));
    EXPECT_EQ(ExecuteError("Create Table If Not Exists \"T\" (Code Integer)"), "(none)");
    EXPECT_NE(ExecuteError("Create Table \"T\" (Code Integer)").find("13060"), std::string::npos);
    EXPECT_EQ(ExecuteError("Create Table \"U\" (Code Integer, Primary Key (q))"),
              "Invalid field name 'q' specified for index ''");
    Execute("Create Table \"V\" (Code Integer)");  // the internal primary index
    EXPECT_EQ(Execute("Insert Into \"V\" Values (5)"), 1);
    Execute("Drop Table \"V\"");
    EXPECT_EQ(ExecuteError("Drop Table If Exists \"V\""), "(none)");
    EXPECT_NE(ExecuteError("Drop Table \"V\""), "(none)");
}

TEST_F(DmlExecutionTest, AnUpdateThroughTheLabelIndexChangesEveryMatchingRowOnce) {
    dbengine::TDataCursor c(Database);
    c.SetTableName("C_CAT");
    c.OpenCursor();
    Database->StartTransaction(false);
    for (int i = 5; i <= 5000; ++i)
        Insert(c, {std::to_string(i), i % 20 == 0 ? "OLD" : "L" + std::to_string(i % 97), "1"});
    Database->Commit(true, false, false);
    c.CloseCursor(false);
    TQueryStatement statement(Database);
    statement.PrepareSQL("Update \"C_CAT\" Set VolumeLabel=\"NEW\" Where (VolumeLabel=\"OLD\")");
    statement.ExecuteSQL();
    EXPECT_EQ(statement.RowsAffected, 252);
    EXPECT_EQ(Run("Select Count(*) From \"C_CAT\" Where VolumeLabel = 'NEW'"), TRows{"253"});
    EXPECT_EQ(Run("Select Count(*) From \"C_CAT\" Where VolumeLabel = 'OLD'"), TRows{"0"});
}

TEST_F(DmlExecutionTest, ADeleteByDateKeepsTheLaterRowsAndTheEmptyDates) {
    Execute("Create Table \"C_LOG\" (OpDate Date, Op VarChar(10))");
    Execute(
        "Insert Into \"C_LOG\" Values ('2003-01-04', 'a'); Insert Into \"C_LOG\" Values ('2003-01-05', 'b'); "
        "Insert Into \"C_LOG\" Values ('2003-01-06', 'c'); Insert Into \"C_LOG\" (Op) Values ('d'); "
        "Insert Into \"C_LOG\" Values ('2002-12-31', 'e')");
    // The double-quoted date is a value; a row without a date is not before it.
    EXPECT_EQ(Execute("Delete From \"C_LOG\" Where (OpDate <= \"2003-1-5\")"), 3);
    EXPECT_EQ(Run("Select Op From \"C_LOG\""), (TRows{"c", "d"}));
}

// K: Code keys 1..1000 and 11000, each record padded to 100 bytes.
class DmlIntervalTest : public SqlTableTest {
protected:
    void SetUp() override {
        SqlTableTest::SetUp();
        std::vector<std::vector<TCell>> rows;
        for (int i = 1; i <= 1000; ++i) rows.push_back({std::to_string(i), "pad"});
        rows.push_back({"11000", "pad"});
        MakeTable("K",
                  {Field(1, "Code", dbengine::fldInteger), Field(2, "Pad", dbengine::fldString, PadSize)},
                  Index("", {1}, true), {}, rows);
    }
    static constexpr uint8_t PadSize = 84;

    int32_t Count(const std::string& where) {
        return std::stoi(Run("Select Count(*) From \"K\" Where " + where).at(0));
    }
};

TEST_F(DmlIntervalTest, AFailingStatementKeepsWhatItsIntermediateCommitsWrote) {
    {
        dbengine::TDataCursor c(Database);
        c.SetTableName("K");
        c.OpenCursor();
        ASSERT_EQ(c.GetRecordSize(), 100);  // the computed interval is 2 * 16384 div 100 = 327
        c.CloseCursor(false);
    }
    struct TCase {
        const char* Interval;
        int32_t Kept;
    };
    // The 1000th row becomes 11000, a key violation: the rows before the last intermediate
    // commit stay changed, the others go back.
    const TCase cases[] = {{"", 981}, {" Commit Interval 0", 0}, {" Commit Interval 100", 900}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Interval);
        const std::string message =
            ExecuteError(std::string("Update \"K\" Set Code = Code + 10000 Where Code <= 1000") + c.Interval);
        EXPECT_NE(message.find("9729"), std::string::npos) << message;
        EXPECT_FALSE(Database->InTransaction);
        EXPECT_EQ(Count("Code > 10000 And Code < 11000"), c.Kept);
        EXPECT_EQ(Count("Code <= 1000"), 1000 - c.Kept);
        // The pending edit was cancelled: the record is free for the next statement.
        EXPECT_EQ(Execute("Update \"K\" Set Code = Code - 10000 Where Code > 10000 And Code < 11000"),
                  c.Kept);
    }
}

TEST_F(DmlIntervalTest, ProgressIsReportedAndAnAbortKeepsTheRowsDone) {
    struct TCase {
        const char* Sql;
        int32_t Rows;
        const char* Left;
    };
    const TCase cases[] = {
        {"Update \"K\" Set Pad = 'done'", 495, "Pad = 'done'"},
        {"Delete From \"K\"", 495, "Code > 0"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Sql);
        std::vector<int> reported;
        TQueryStatement statement(Database);
        // Stop at 50 %: row 496 of 1001 rounds to it and is not changed.
        statement.SetProgressCallback([&](TQueryStatement&, int percent, bool& stop) {
            reported.push_back(percent);
            stop = percent >= 50 && percent < 100;
        });
        statement.PrepareSQL(c.Sql);
        statement.ExecuteSQL();
        EXPECT_EQ(statement.RowsAffected, c.Rows);
        ASSERT_GE(reported.size(), 3u);
        EXPECT_TRUE(std::is_sorted(reported.begin(), reported.end()));
        EXPECT_EQ(reported.back(), 100);
        EXPECT_EQ(reported[reported.size() - 2], 50);
        EXPECT_FALSE(Database->InTransaction);
        // The rows done are committed.
        EXPECT_EQ(Count(c.Left), c.Sql[0] == 'U' ? 495 : 1001 - 495);
    }
}

}  // namespace
}  // namespace dbsql
