#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "dbengine/cursor/DataCursor.h"
#include "dbengine/testsupport/Descriptors.h"
#include "dbengine/testsupport/TableFixture.h"
#include "dbengine/util/Coding.h"
#include "dbengine/util/EngineError.h"
#include "dbsql/sql/DataQuery.h"
#include "dbsql/sql/QueryStatement.h"
#include "dbsql/testsupport/SqlTableTest.h"

namespace dbsql {
namespace {

using dbengine::testsupport::Field;
using dbengine::testsupport::Index;

class SelectExecutionTest : public SqlTableTest {
protected:
    void SetUp() override {
        SqlTableTest::SetUp();
        // R: the report table (no key of its own); C_CAT: the catalog, keyed on CName.
        MakeTable("R",
                  {Field(1, "FileName", dbengine::fldString, 12), Field(2, "FTag", dbengine::fldInteger),
                   Field(3, "FromArc", dbengine::fldString, 1), Field(4, "Size", dbengine::fldSmallInt),
                   Field(5, "Comment", dbengine::fldString, 8),
                   Field(6, "Notes", dbengine::fldBlob, 0, dbengine::fldstMemo)},
                  {}, {},
                  {{"b.txt", "1", "N", "10", "rb", "memo b"},
                   {"A.txt", "2", "N", "20", "ra", std::nullopt},
                   {"c.txt", "3", "Y", "30", "rc", "memo c"},
                   {"a.txt", "1", "N", std::nullopt, "rA", std::nullopt},
                   {"d.txt", "9", "N", "5", "rd", std::nullopt}});
        MakeTable("C_CAT",
                  {Field(1, "CName", dbengine::fldString, 8), Field(2, "Tag", dbengine::fldInteger),
                   Field(3, "Comment", dbengine::fldString, 8)},
                  Index("", {1}, true), {Index("ByTag", {2})},
                  {{"disk1", "1", "one"}, {"disk2", "2", "two"}, {"disk3", "3", "three"}});
    }
};

TEST_F(SelectExecutionTest, ResultColumnsAreNamedUniquely) {
    auto names = [&](const std::string& sql) {
        std::vector<std::string> result;
        Run(sql, [&](TQueryStatement&, dbengine::TDataCursor& c) { result = Names(c); });
        return result;
    };
    EXPECT_EQ(names("Select FTag, FTag From \"R\""), (std::vector<std::string>{"FTag_1", "FTag"}));
    EXPECT_EQ(names("Select * From \"R\", \"C_CAT\" Where FTag = Tag"),
              (std::vector<std::string>{"FileName", "FTag", "FromArc", "Size", "Comment", "Notes", "CName",
                                        "Tag", "Comment_1"}));
    EXPECT_EQ(names("Select Count(*) From \"R\""), (std::vector<std::string>{"Count Of *"}));
    EXPECT_EQ(names("Select Sum(Size), Avg(FTag + 1), Min(FTag) As Lowest From \"R\""),
              (std::vector<std::string>{"Sum Of Size", "Average Of Expr", "Lowest", "Sys__Avg__Count4"}));
    const std::string forty = "Abcdefghij" + std::string("K") + std::string(29, 'z');
    EXPECT_EQ(names("Select FTag As " + forty + " From \"R\""), (std::vector<std::string>{forty.substr(10)}));
}

TEST_F(SelectExecutionTest, FaultySelectListsAndClausesRaiseTheirMessages) {
    std::string many = "Select ";
    for (int i = 0; i < 1025; ++i) many += (i == 0 ? "" : ", ") + std::string("FTag");
    EXPECT_EQ(Error(many + " From \"R\""), "Maximum number of columns (1024) in result set exceeded");
    EXPECT_EQ(Error("Select FTag, Size From \"R\" Order By 3"),
              "Invalid column number '3' specified in ORDER BY clause");
    EXPECT_EQ(Error("Select FTag From \"R\" Order By Size"),
              "Invalid column name 'Size' or table correlation name '' specified in ORDER BY clause");
    EXPECT_EQ(Error("Select FileName, Sum(Size) From \"R\""),
              "Invalid use of aggregate function(s), the necessary GROUP BY clause is missing");
    EXPECT_EQ(Error("Select FTag, Notes From \"R\" Group By Notes"),
              "Invalid BLOB column 'Notes' specified in GROUP BY clause");
    EXPECT_EQ(
        Error("Select FTag, Size From \"R\" Union Select Tag, CName, Comment From \"C_CAT\""),
        "The number of columns  in the UNION query must match the  number of columns in the master query");
    EXPECT_EQ(Error("Select FTag From \"R\" Union All Select CName From \"C_CAT\""),
              "Type mismatch between column expression 'CName' in the UNION ALL query and column expression "
              "'FTag' in the master query");
    EXPECT_EQ(Error("Select FTag From \"R\" Having FTag > 1"),
              "A GROUP BY clause must exist in order to use the HAVING clause");
    EXPECT_EQ(Error("Select FTag, Sum(Size) From \"R\" Group By FTag Having Avg(Size) > 1"),
              "Expression in HAVING clause not found in source columns");
    // The same select list in a sub-select is not checked for GROUP BY (only for its one column).
    EXPECT_EQ(Error("Select FileName From \"R\" Where FTag In (Select Tag, Sum(Tag) From \"C_CAT\")"),
              "More than 1 column for sub-select  specified in WHERE or JOIN clause");
}

TEST_F(SelectExecutionTest, OrderByAndGroupByFindAggregatesByTheirResultNames) {
    EXPECT_EQ(Run("Select FTag, Sum(Size) From \"R\" Group By FTag Order By \"Sum Of Size\" Desc"),
              (TRows{"3|30", "2|20", "1|10", "9|5"}));
    // The aggregate's argument names no result column.
    EXPECT_EQ(Error("Select FTag, Sum(Size) From \"R\" Group By FTag Order By Size"),
              "Invalid column name 'Size' or table correlation name '' specified in ORDER BY clause");
}

TEST_F(SelectExecutionTest, TheLimitOfResultColumnsIsReachedExactly) {
    std::string sql = "Select ";
    for (int i = 0; i < 1024; ++i) sql += (i == 0 ? "" : ", ") + std::string("FTag");
    Run(sql + " From \"R\" Where FTag = 2", [](TQueryStatement&, dbengine::TDataCursor& c) {
        EXPECT_EQ(c.GetFieldCount(), 1024);
        EXPECT_EQ(c.GetRecordCount(), 1);
    });
}

TEST_F(SelectExecutionTest, ASubSelectWithItsOwnResultTableFiltersTheOuterRows) {
    EXPECT_EQ(
        Run("Select FileName From \"R\" Where FTag In (Select Distinct Tag From \"C_CAT\" Where Tag > 1) "
            "Order By FileName",
            [](TQueryStatement& s, dbengine::TDataCursor&) {
                ASSERT_EQ(s.Queries.size(), 2u);
                EXPECT_FALSE(s.Query(1)->LiveResult);
            }),
        (TRows{"A.txt", "c.txt"}));
    // Executed again, the sub-select's filter is made anew.
    TQueryStatement statement(Database);
    statement.PrepareSQL("Select FileName From \"R\" Where FTag Not In (Select Tag + 0 From \"C_CAT\")");
    EXPECT_EQ(ReadRows(*statement.ExecuteSQL()), (TRows{"d.txt"}));
    EXPECT_EQ(ReadRows(*statement.ExecuteSQL()), (TRows{"d.txt"}));
}

TEST_F(SelectExecutionTest, WithLocksReadsTheSameRows) {
    EXPECT_EQ(Run("Select CName From \"C_CAT\" Where Tag < 3 With Locks"), (TRows{"disk1", "disk2"}));
}

TEST_F(SelectExecutionTest, GroupingFoldsAggregatesPerGroup) {
    // FTag 1: sizes 10 and NULL; 2: 20; 3: 30; 9: 5.
    EXPECT_EQ(Run("Select FromArc, Sum(Size), Count(Size), Count(*), Min(FTag), Max(FTag), Avg(Size) From "
                  "\"R\" Group By FromArc"),
              (TRows{"N|35|3|4|1|9|11.6667", "Y|30|1|1|3|3|30"}));
    // Averages and counts over NULLs only are 0.
    EXPECT_EQ(
        Run("Select FileName, Avg(Size), Count(Size) From \"R\" Where FileName = 'a.txt' Group By FileName"),
        (TRows{"a.txt|0|0"}));
    EXPECT_EQ(Run("Select FTag, Sum(Size) From \"R\" Group By FTag Having Sum(Size) > 10"),
              (TRows{"2|20", "3|30"}));
    // TOP counts whole groups.
    EXPECT_EQ(Run("Select FTag, Count(*) From \"R\" Group By FTag Top 2"), (TRows{"1|2", "2|1"}));
}

TEST_F(SelectExecutionTest, RunningSumsRunOnAcrossGroupsAlsoPastDroppedOnes) {
    MakeTable("G", {Field(1, "K", dbengine::fldInteger), Field(2, "V", dbengine::fldInteger)}, {}, {},
              {{"1", "1"}, {"2", "2"}, {"3", "1"}, {"3", "2"}});
    EXPECT_EQ(Run("Select K, RunSum(V) From \"G\" Group By K"), (TRows{"1|1", "2|3", "3|6"}));
    EXPECT_EQ(Run("Select K, RunSum(V) From \"G\" Group By K Having K <> 2"), (TRows{"1|1", "3|6"}));
}

TEST_F(SelectExecutionTest, GroupsGatheredInMemoryOrNotGiveTheSameRows) {
    // Groups are folded while the rows are read, up to a limit; the rows of groups past it are
    // grouped by the result table's sort, beside the gathered ones.
    MakeTable("G",
              {Field(1, "K", dbengine::fldString, 4), Field(2, "V", dbengine::fldInteger),
               Field(3, "W", dbengine::fldSmallInt)},
              {}, {},
              {{"b", "2", "1"},
               {"a", "1", std::nullopt},
               {"c", "5", "4"},
               {"b", "3", "2"},
               {std::nullopt, "7", "1"},
               {"a", "4", "3"},
               {"c", std::nullopt, std::nullopt},
               {"B", "1", "1"},
               {std::nullopt, "1", "2"}});
    const std::string sql =
        "Select K, Sum(V), Count(V), Count(*), Min(V), Max(W), Avg(W), RunSum(V) From \"G\" Group By K";
    const TRows expected{"NULL|8|2|2|1|2|1.5|8", "B|1|1|1|1|1|1|9", "a|5|2|2|1|3|3|14", "b|5|2|2|2|2|1.5|19",
                         "c|5|1|2|5|4|4|24"};
    for (const size_t limit : {size_t{0}, size_t{1}, size_t{2}, size_t{100}}) {
        auto gather = [limit](TQueryStatement& s) { s.MasterQuery->MaxGatheredGroups = limit; };
        EXPECT_EQ(Run(sql, {}, gather), expected) << "at most " << limit << " groups gathered";
        EXPECT_EQ(Run(sql + " Having Sum(V) > 5", {}, gather), (TRows{"NULL|8|2|2|1|2|1.5|8"}))
            << "at most " << limit << " groups gathered";
    }
}

TEST_F(SelectExecutionTest, AggregatesWithoutGroupByGiveOneRow) {
    EXPECT_EQ(Run("Select Count(*), Sum(Size), Avg(Size), Max(FTag), 'x' From \"R\""),
              (TRows{"5|65|16.25|9|x"}));
    MakeTable("EMPTY", {Field(1, "V", dbengine::fldInteger)}, {}, {}, {});
    EXPECT_EQ(Run("Select Sum(V), Avg(V), Count(V), Min(V) From \"EMPTY\""), (TRows{"NULL|0|0|NULL"}));
    // COUNT(*) alone takes the filtered record count.
    EXPECT_EQ(
        Run("Select Count(*) From \"R\" Where FTag = 1",
            [](TQueryStatement& s, dbengine::TDataCursor&) { EXPECT_TRUE(s.MasterQuery->CountStarOnly); }),
        (TRows{"2"}));
}

TEST_F(SelectExecutionTest, RowLimitsCutBeforeOrAfterOrdering) {
    // MaxRowCount takes the first rows read and orders them; TOP orders first.
    EXPECT_EQ(Run("Select FileName From \"R\" Order By FileName", {},
                  [](TQueryStatement& s) { s.SetMaxRowCount(2); }),
              (TRows{"A.txt", "b.txt"}));
    EXPECT_EQ(Run("Select FileName From \"R\" Order By FileName Top 2"), (TRows{"A.txt", "a.txt"}));
    EXPECT_EQ(Run("Select FileName From \"R\" Top 2"), (TRows{"b.txt", "A.txt"}));
}

TEST_F(SelectExecutionTest, DistinctAndUnionDropRepeatedRows) {
    EXPECT_EQ(Run("Select Distinct FTag From \"R\""), (TRows{"1", "2", "3", "9"}));
    // The row count is the merged result's.
    EXPECT_EQ(Run("Select FTag From \"R\" Where FTag < 3 Union Select Tag From \"C_CAT\"",
                  [](TQueryStatement& s, dbengine::TDataCursor&) { EXPECT_EQ(s.RowsAffected, 3); }),
              (TRows{"1", "2", "3"}));
    EXPECT_EQ(Run("Select FTag From \"R\" Where FTag = 2 Union All Select Tag From \"C_CAT\" Where Tag = 2"),
              (TRows{"2", "2"}));
    // Strings of the parts keep their whole length.
    EXPECT_EQ(
        Run("Select FromArc From \"R\" Where FTag = 2 Union Select Comment From \"C_CAT\" Where Tag = 3"),
        (TRows{"N", "three"}));
}

TEST_F(SelectExecutionTest, TheReportJoinGivesOneRowPerPartneredRowOrderedWithoutCase) {
    const TRows rows =
        Run("Select * From \"R\", \"C_CAT\" Where (FTag = Tag) And (FromArc = \"N\") Order By FileName ASC, "
            "FTag DESC NOCASE",
            [](TQueryStatement& s, dbengine::TDataCursor& c) {
                EXPECT_FALSE(s.LiveResult);
                EXPECT_EQ(Names(c).size(), 9u);
            });
    EXPECT_EQ(rows, (TRows{"A.txt|2|N|20|ra|NULL|disk2|2|two", "a.txt|1|N|NULL|rA|NULL|disk1|1|one",
                           "b.txt|1|N|10|rb|memo b|disk1|1|one"}));
}

TEST_F(SelectExecutionTest, AJoinThroughAnIndexFindsEveryPartnerWhateverOrderTheOuterKeysComeIn) {
    // The inner keys 1..200: multiples of 7 twice, multiples of 11 missing, and one NULL. The
    // outer keys come rising with small and long gaps (a seek steps on or descends again),
    // repeated, falling back, NULL and past the end.
    std::vector<std::vector<TCell>> inner;
    std::vector<std::pair<int, int>> pairs;  // (K, N)
    int n = 0;
    for (int k = 1; k <= 200; ++k)
        for (int copy = 0; copy < (k % 11 == 0 ? 0 : k % 7 == 0 ? 2 : 1); ++copy) {
            inner.push_back({std::to_string(k), std::to_string(++n)});
            pairs.emplace_back(k, n);
        }
    inner.push_back({std::nullopt, std::to_string(++n)});
    const std::vector<std::optional<int>> outer = {
        1, 2, 2, 3, 14, 15, 22, 23, 90, 180, 181, 199, 200, 201, std::nullopt, 5, 4, 77, 300, 7, 8, 1};
    std::vector<std::vector<TCell>> outerRows;
    for (const auto& v : outer) outerRows.push_back({v ? TCell(std::to_string(*v)) : TCell(std::nullopt)});
    MakeTable("O", {Field(1, "V", dbengine::fldInteger)}, {}, {}, outerRows);
    dbengine::TIndexDescriptor descending = Index("ByK", {1});
    descending.Descending = 1;
    for (const bool left : {false, true}) {
        TRows expected;
        for (const auto& v : outer) {
            bool partnered = false;
            for (const auto& [k, number] : pairs)
                if (v && k == *v) {
                    expected.push_back(std::to_string(*v) + "|" + std::to_string(number));
                    partnered = true;
                }
            if (left && !partnered) expected.push_back((v ? std::to_string(*v) : "NULL") + "|NULL");
        }
        std::sort(expected.begin(), expected.end());
        for (const auto& index : {Index("ByK", {1}), descending}) {
            MakeTable("P", {Field(1, "K", dbengine::fldInteger), Field(2, "N", dbengine::fldInteger)}, {},
                      {index}, inner);
            TRows rows = Run(left ? "Select V, N From \"O\" Left Outer Join \"P\" On (V = K)"
                                  : "Select V, N From \"O\", \"P\" Where V = K");
            std::sort(rows.begin(), rows.end());
            EXPECT_EQ(rows, expected)
                << (left ? "left join" : "inner join") << (index.Descending != 0 ? ", descending index" : "");
        }
    }
}

TEST_F(SelectExecutionTest, ASingleTableIsLiveWhenAnIndexGivesItsOrder) {
    auto live = [&](const std::string& sql) {
        bool result = false;
        Run(
            sql, [&](TQueryStatement& s, dbengine::TDataCursor&) { result = s.LiveResult; },
            [](TQueryStatement& s) { s.RequestLive = true; });
        return result;
    };
    EXPECT_TRUE(live("Select * From \"C_CAT\""));
    EXPECT_TRUE(live("Select * From \"C_CAT\" Where Tag > 1 Order By Tag"));
    EXPECT_FALSE(live("Select * From \"C_CAT\" Order By CName NOCASE"));
    EXPECT_FALSE(live("Select * From \"C_CAT\", \"R\""));
    EXPECT_FALSE(live("Select Distinct * From \"C_CAT\""));
    // Rows changed through a live result change the table.
    {
        TQueryStatement statement(Database);
        statement.RequestLive = true;
        statement.PrepareSQL("Select * From \"R\" Where FTag = 3");
        dbengine::TDataCursor* c = statement.ExecuteSQL();
        ASSERT_TRUE(statement.LiveResult);
        std::vector<uint8_t> b(c->GetRecordSize() + 1u);
        c->SetToBegin();
        ASSERT_EQ(c->GetNextRecord(b.data()), 0);
        ASSERT_EQ(c->GetCurrentRecord(b.data(), true), 0);
        int32_t size = 0;
        ASSERT_EQ(c->OpenBlob(6, b.data(), dbengine::BlobOpenWrite, false, true, size, false), 0);
        const std::string memo = "posted";
        ASSERT_EQ(c->TruncateBlob(6, b.data(), 0, false), 0);
        ASSERT_EQ(c->PutBlob(6, b.data(), 0, reinterpret_cast<const uint8_t*>(memo.data()), 6, false), 0);
        c->ModifyRecord(b.data(), true, true);
    }
    EXPECT_EQ(Run("Select Notes From \"R\" Where FTag = 3"), (TRows{"posted"}));
}

// A live result is one of the table's user cursors while it is open; its close gives back only
// its own count, never that of another cursor on the table.
TEST_F(SelectExecutionTest, ALiveResultCountsAsAUserCursorOfItsTable) {
    dbengine::TDataCursor user(Database);
    user.SetTableName("C_CAT");
    user.OpenCursor();
    ASSERT_EQ(user.GetTable()->UserCursorCount, 1);
    {
        TQueryStatement statement(Database);
        statement.RequestLive = true;
        statement.PrepareSQL("Select * From \"C_CAT\"");
        ASSERT_TRUE(statement.LiveResult);
        EXPECT_EQ(user.GetTable()->UserCursorCount, 2);
        ASSERT_NE(statement.ExecuteSQL(), nullptr);
    }
    EXPECT_EQ(user.GetTable()->UserCursorCount, 1);
    user.CloseCursor(false);
}

TEST_F(SelectExecutionTest, OneTableWithoutOrderComesInKeyOrderAfterDeletesAndInserts) {
    {
        dbengine::TDataCursor c(Database);
        c.SetTableName("C_CAT");
        c.OpenCursor();
        std::vector<uint8_t> b(c.GetRecordSize() + 1u);
        c.SetToBegin();
        ASSERT_EQ(c.GetNextRecord(b.data()), 0);
        c.DeleteRecord(b.data(), false);
        Insert(c, {"disk0", "7", "zero"});
        Insert(c, {"disk1", "1", "one"});
        c.CloseCursor(false);
    }
    const TRows expected = {"disk0|7|zero", "disk1|1|one", "disk2|2|two", "disk3|3|three"};
    EXPECT_EQ(Run("Select * From \"C_CAT\""), expected);
    EXPECT_EQ(Run("Select * From \"C_CAT\"", {}, [](TQueryStatement& s) { s.RequestLive = true; }), expected);
}

TEST_F(SelectExecutionTest, AnAbortFromTheProgressCallbackKeepsTheRowsSoFarOrdered) {
    std::vector<int> reported;
    const TRows rows = Run("Select FileName From \"R\" Order By FileName Desc", {}, [&](TQueryStatement& s) {
        s.SetProgressCallback([&](TQueryStatement&, int percent, bool& stop) {
            reported.push_back(percent);
            stop = percent >= 60;
        });
    });
    EXPECT_EQ(rows, (TRows{"b.txt", "A.txt"}));
    for (int p : reported) EXPECT_TRUE(p >= 0 && p <= 100);
}

TEST_F(SelectExecutionTest, ParametersAreBoundToTheirMarkersInOrder) {
    TQueryStatement statement(Database);
    statement.PrepareSQL("Select FileName From \"R\" Where FTag = ?");
    std::vector<TParamDesc> params(2);
    params[0].FieldNo = 1;
    params[0].DataType = dbengine::fldInteger;
    params[0].Size = 4;
    params[0].Offset = 0;
    params[1] = params[0];
    params[1].FieldNo = 2;
    params[1].Offset = 5;
    uint8_t buffer[10] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0};
    dbengine::PutInt32(buffer + 1, 3);
    dbengine::PutInt32(buffer + 6, 1);
    EXPECT_EQ(ReadRows(*statement.ExecuteSQL(params, buffer)), (TRows{"c.txt"}));
    buffer[0] = 0;  // NULL, whatever the bytes hold
    EXPECT_TRUE(ReadRows(*statement.ExecuteSQL(params, buffer)).empty());
}

TEST_F(SelectExecutionTest, AnIntoTableStaysAfterTheStatement) {
    int prepared = 0;
    Run("Select CName, Tag Into \"KEPT\" From \"C_CAT\" Where Tag > 1", {}, [&](TQueryStatement& s) {
        s.RequestLive = true;  // INTO always gives a table of its own
        s.SetPreparedCallback([&](TQueryStatement&, uint8_t kind, bool live, bool, bool selectAll) {
            ++prepared;
            EXPECT_EQ(kind, skSelect);
            EXPECT_FALSE(live);
            EXPECT_FALSE(selectAll);
        });
    });
    EXPECT_EQ(prepared, 1);
    EXPECT_EQ(Run("Select * From \"KEPT\""), (TRows{"disk2|2", "disk3|3"}));
}

TEST_F(SelectExecutionTest, AScriptReturnsTheLastSelectsRows) {
    EXPECT_EQ(Run("Select FTag From \"R\" Where FTag = 2; Select CName From \"C_CAT\" Where Tag = 3"),
              (TRows{"disk3"}));
}

TEST_F(SelectExecutionTest, AChangedRowLimitReachesThePreparedStatement) {
    TQueryStatement statement(Database);
    statement.PrepareSQL("Select FileName From \"R\"");
    EXPECT_EQ(ReadRows(*statement.ExecuteSQL()).size(), 5u);
    statement.SetMaxRowCount(3);
    EXPECT_EQ(ReadRows(*statement.ExecuteSQL()).size(), 3u);
}

}  // namespace
}  // namespace dbsql
