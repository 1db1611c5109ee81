#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "dbengine/cursor/DataCursor.h"
#include "dbengine/expr/ExpEvaluate.h"
#include "dbengine/expr/ExpToken.h"
#include "dbengine/expr/FieldConvert.h"
#include "dbengine/session/DataSession.h"
#include "dbengine/testsupport/Descriptors.h"
#include "dbengine/testsupport/TableFixture.h"
#include "dbengine/util/Coding.h"
#include "dbengine/util/EngineError.h"
#include "dbsql/sql/DataQuery.h"
#include "dbsql/sql/QueryStatement.h"

namespace dbsql {
namespace {

using dbengine::testsupport::Field;
using dbengine::testsupport::Index;

using TRows = std::vector<std::string>;

struct TRow {
    std::string Name;
    std::optional<int32_t> Number;
    std::string Text;
};

// R (Name, FTag, FromArc, Notes) and C_CAT (CName, Tag indexed, Id auto-increment), filled through
// the engine's cursor; each statement is parsed, planned and walked through the query model.
class JoinPlanningTest : public dbengine::testsupport::TableFixture {
protected:
    void MakeTable(const std::string& name, bool catalog, const std::vector<TRow>& rows) {
        dbengine::TTableDefinition def;
        if (catalog) {
            def.Fields = {Field(1, "CName", dbengine::fldString, 10), Field(2, "Tag", dbengine::fldInteger),
                          Field(3, "Id", dbengine::fldInteger, 0, dbengine::fldstAutoInc)};
            def.SecondaryIndexes = {Index("ByTag", {2})};
        } else {
            def.Fields = {Field(1, "Name", dbengine::fldString, 10), Field(2, "FTag", dbengine::fldInteger),
                          Field(3, "FromArc", dbengine::fldString, 1),
                          Field(4, "Notes", dbengine::fldBlob, 0, dbengine::fldstMemo)};
        }
        def.PrimaryIndex = Index("", {1}, true);
        dbengine::TDataCursor c(Database);
        c.SetTableName(name);
        c.SetExclusive(true);
        c.CreateTable(def, false, false);
        c.OpenCursor();
        std::vector<uint8_t> b(c.GetRecordSize());
        for (const TRow& row : rows) {
            c.InitRecord(b.data());
            uint8_t v[64] = {};
            std::memcpy(v, row.Name.data(), row.Name.size());
            c.PutField(1, b.data(), v, false, false);
            uint8_t n[4];
            dbengine::PutInt32(n, row.Number.value_or(0));
            c.PutField(2, b.data(), row.Number ? n : nullptr, false, false);
            if (!catalog) {
                uint8_t t[8] = {};
                std::memcpy(t, row.Text.data(), row.Text.size());
                c.PutField(3, b.data(), t, false, false);
                int32_t size = 0;
                ASSERT_EQ(c.OpenBlob(4, b.data(), dbengine::BlobOpenWrite, false, true, size, false), 0);
                const std::string note = "note " + row.Name;
                ASSERT_EQ(c.PutBlob(4, b.data(), 0, reinterpret_cast<const uint8_t*>(note.data()),
                                    static_cast<int32_t>(note.size()), false),
                          0);
            }
            c.InsertRecord(b.data(), false);
        }
        c.CloseCursor(false);
    }

    void SetUp() override {
        TableFixture::SetUp();
        MakeTable("R", false, RRows);
        MakeTable("C_CAT", true, CRows);
    }

    // A column's value on the current joined row, "NULL" for a NULL.
    static std::string Value(TDataQuery& q, const std::string& table, const std::string& column) {
        dbengine::TExpTreeHolder node(dbengine::NewExpToken());
        node->Kind = dbengine::tkColumn;
        node->TableName = table;
        node->ColumnName = column;
        EXPECT_TRUE(q.BindSourceColumn(node.get())) << table << "." << column;
        q.ReadSourceColumn(node.get());
        if (node->IsNull) return "NULL";
        if (node->DataType == dbengine::fldInteger)
            return std::to_string(dbengine::ExpIntegerValue(node.get()));
        return dbengine::ExpTextValue(node.get());
    }

    // Parses, plans and walks the statement; each row is the listed columns joined by "|".
    std::vector<std::string> Rows(const std::string& sql, const std::vector<std::string>& columns,
                                  std::function<void(TDataQuery&)> inspect = {}) {
        TQueryStatement statement(Database);
        statement.ParseSQL(sql);
        TDataQuery& q = *statement.MasterQuery;
        // Sub-selects first, each a live result over its one table.
        for (size_t i = statement.Queries.size(); i-- > 1;) {
            TDataQuery& sub = *statement.Query(i);
            sub.LiveResult = true;
            sub.PrepareJoins();
            sub.PlaceConditions();
        }
        q.PrepareJoins();
        q.PlaceConditions();
        std::vector<std::string> rows;
        for (bool more = q.FirstRow(); more; more = q.NextRow()) {
            std::string row;
            for (const std::string& column : columns) {
                const size_t dot = column.find('.');
                row += (row.empty() ? "" : "|") + Value(q, column.substr(0, dot), column.substr(dot + 1));
            }
            rows.push_back(row);
        }
        if (inspect) inspect(q);
        std::sort(rows.begin(), rows.end());
        return rows;
    }

    std::string Error(const std::string& sql) {
        try {
            Rows(sql, {});
        } catch (const dbengine::EDbEngineError& e) {
            // The message without the engine's "Engine Error # ... SQL error - " heading.
            const std::string heading = "SQL error - ";
            const size_t at = e.Message.find(heading);
            return at == std::string::npos ? e.Message : e.Message.substr(at + heading.size());
        }
        return "(none)";
    }

    std::vector<TRow> RRows = {
        {"r1", 1, "N"}, {"r2", 2, "Y"}, {"r3", 3, "N"}, {"r4", std::nullopt, "N"}, {"r5", 1, "N"}};
    std::vector<TRow> CRows = {{"c1", 1, ""}, {"c2", 3, ""}, {"c3", 3, ""}, {"c4", 9, ""}};
};

TEST_F(JoinPlanningTest, AJoinOfTwoTablesWithAConditionOnOneFindsTheMatchingPairs) {
    const TRows expected = {"r1|c1", "r3|c2", "r3|c3", "r5|c1"};
    const std::string sql = "Select * From \"R\", \"C_CAT\" Where (FTag = Tag) And (FromArc = \"N\")";
    // C_CAT has fewer records, so it drives and the unindexed condition on R is tested per row.
    EXPECT_EQ(Rows(sql + " Order By Name", {"R.Name", "C_CAT.CName"},
                   [](TDataQuery& q) {
                       EXPECT_EQ(q.SourceTables.front()->CorrelationName, "C_CAT");
                       ASSERT_EQ(q.SourceTables.front()->Joins.size(), 1u);
                       const dbengine::TExpToken* c = q.SourceTables.front()->Joins[0]->Condition;
                       EXPECT_EQ(c->Left->ColumnName, "Tag");
                       EXPECT_TRUE(q.HasTableResidual);
                   }),
              expected);
    // NOJOINOPTIMIZE keeps R driving; its condition then filters R itself.
    EXPECT_EQ(Rows(sql + " NOJOINOPTIMIZE", {"R.Name", "C_CAT.CName"},
                   [](TDataQuery& q) {
                       EXPECT_EQ(q.SourceTables.front()->CorrelationName, "R");
                       EXPECT_FALSE(q.HasTableResidual);
                   }),
              expected);
}

TEST_F(JoinPlanningTest, TablesWithoutAConditionGiveTheirCrossProduct) {
    EXPECT_EQ(Rows("Select * From \"R\", \"C_CAT\"", {"R.Name"}).size(), RRows.size() * CRows.size());
    EXPECT_EQ(Rows("Select * From \"R\" a, \"C_CAT\" b, \"C_CAT\" c", {"a.Name"}).size(),
              RRows.size() * CRows.size() * CRows.size());
}

TEST_F(JoinPlanningTest, ALeftJoinKeepsOuterRowsWithoutPartnerAsNulls) {
    EXPECT_EQ(Rows("Select * From \"R\" Left Outer Join \"C_CAT\" On (FTag = Tag)",
                   {"R.Name", "C_CAT.CName", "C_CAT.Id", "R.Notes"}),
              (TRows{"r1|c1|1|note r1", "r2|NULL|NULL|note r2", "r3|c2|2|note r3", "r3|c3|3|note r3",
                     "r4|NULL|NULL|note r4", "r5|c1|1|note r5"}));
    // A condition on the inner table in WHERE drops the rows without partner; in ON it keeps them.
    EXPECT_EQ(Rows("Select * From \"R\" Left Outer Join \"C_CAT\" On (FTag = Tag) Where CName = 'c2'",
                   {"R.Name", "C_CAT.CName"}),
              (TRows{"r3|c2"}));
    EXPECT_EQ(Rows("Select * From \"R\" Left Outer Join \"C_CAT\" On (FTag = Tag) And (CName = 'c2')",
                   {"R.Name", "C_CAT.CName"}),
              (TRows{"r1|NULL", "r2|NULL", "r3|c2", "r4|NULL", "r5|NULL"}));
}

TEST_F(JoinPlanningTest, AnOnConditionOnTheOuterTableOfALeftJoinOnlyDecidesThePartner) {
    // r2 ("Y") keeps its row, without partner; in WHERE the same condition drops it.
    EXPECT_EQ(Rows("Select * From \"R\" Left Outer Join \"C_CAT\" On (FTag = Tag) And (FromArc = 'N')",
                   {"R.Name", "C_CAT.CName"},
                   [](TDataQuery& q) {
                       ASSERT_EQ(q.SourceTables.front()->Joins.size(), 1u);
                       EXPECT_NE(q.SourceTables.front()->Joins[0]->OuterCondition, nullptr);
                   }),
              (TRows{"r1|c1", "r2|NULL", "r3|c2", "r3|c3", "r4|NULL", "r5|c1"}));
    EXPECT_EQ(Rows("Select * From \"R\" Left Outer Join \"C_CAT\" On (FromArc = 'Y') And (FTag = Tag)",
                   {"R.Name", "C_CAT.CName"}),
              (TRows{"r1|NULL", "r2|NULL", "r3|NULL", "r4|NULL", "r5|NULL"}));
    EXPECT_EQ(Rows("Select * From \"R\" Left Outer Join \"C_CAT\" On (FTag = Tag) Where FromArc = 'N'",
                   {"R.Name", "C_CAT.CName"}),
              (TRows{"r1|c1", "r3|c2", "r3|c3", "r4|NULL", "r5|c1"}));
    // A right join names its outer table after the join.
    EXPECT_EQ(Rows("Select * From \"C_CAT\" Right Outer Join \"R\" On (Tag = FTag) And (Name <> 'r1')",
                   {"R.Name", "C_CAT.CName"}),
              (TRows{"r1|NULL", "r2|NULL", "r3|c2", "r3|c3", "r4|NULL", "r5|c1"}));
}

TEST_F(JoinPlanningTest, TheInnerFilterOfAnIndexedJoinReadsNoRecordToTestThem) {
    int64_t indexedReads = -1, unindexedReads = -1;
    const TRows expected = {"r1|c1", "r3|c2", "r3|c3", "r5|c1"};
    // R drives, C_CAT's Tag is indexed: the filter takes the matching records from the index.
    EXPECT_EQ(
        Rows("Select * From \"R\", \"C_CAT\" Where FTag = Tag NOJOINOPTIMIZE", {"R.Name", "C_CAT.CName"},
             [&](TDataQuery& q) { indexedReads = q.SourceTables[1]->Cursor->GetFilterRecordReads(); }),
        expected);
    // C_CAT drives onto R's unindexed FTag: every record of R is read for every C_CAT row.
    EXPECT_EQ(
        Rows("Select * From \"C_CAT\", \"R\" Where Tag = FTag NOJOINOPTIMIZE", {"R.Name", "C_CAT.CName"},
             [&](TDataQuery& q) { unindexedReads = q.SourceTables[1]->Cursor->GetFilterRecordReads(); }),
        expected);
    EXPECT_EQ(indexedReads, 0);
    EXPECT_EQ(unindexedReads, static_cast<int64_t>(RRows.size() * CRows.size()));
}

TEST_F(JoinPlanningTest, ANullJoinKeyEqualsNothing) {
    // r4's FTag is NULL, and so is c5's Tag.
    std::vector<TRow> withNull = CRows;
    withNull.push_back({"c5", std::nullopt, ""});
    MakeTable("C_NULL", true, withNull);
    const TRows pairs = {"r1|c1", "r3|c2", "r3|c3", "r5|c1"};
    const std::vector<std::string> columns = {"R.Name", "C_NULL.CName"};
    // R drives onto C_NULL's index on Tag; C_NULL drives onto R's unindexed FTag (a filter).
    EXPECT_EQ(Rows("Select * From \"R\", \"C_NULL\" Where FTag = Tag NOJOINOPTIMIZE", columns), pairs);
    EXPECT_EQ(Rows("Select * From \"C_NULL\", \"R\" Where Tag = FTag NOJOINOPTIMIZE", columns), pairs);
    EXPECT_EQ(Rows("Select * From \"R\" Left Outer Join \"C_NULL\" On (FTag = Tag)", columns),
              (TRows{"r1|c1", "r2|NULL", "r3|c2", "r3|c3", "r4|NULL", "r5|c1"}));
    EXPECT_EQ(Rows("Select * From \"C_NULL\" Left Outer Join \"R\" On (Tag = FTag)", columns),
              (TRows{"NULL|c4", "NULL|c5", "r1|c1", "r3|c2", "r3|c3", "r5|c1"}));
}

TEST_F(JoinPlanningTest, InComparesAnIntegerWithABcdColumnAsBcd) {
    dbengine::TTableDefinition def;
    def.Fields = {Field(1, "Amount", dbengine::fldBCD)};
    def.Fields[0].Decimals = 2;
    dbengine::TDataCursor c(Database);
    c.SetTableName("PRICES");
    c.SetExclusive(true);
    c.CreateTable(def, true, false);
    c.OpenCursor();
    std::vector<uint8_t> b(c.GetRecordSize());
    for (double amount : {1.5, 3.0, 9.25}) {
        c.InitRecord(b.data());
        uint8_t v[dbengine::ConvertBufferSize] = {};
        std::memcpy(v, &amount, sizeof amount);
        ASSERT_TRUE(dbengine::ConvertFieldValue(dbengine::fldFloat, 0, 0, dbengine::fldBCD, 0, 2, v));
        c.PutField(1, b.data(), v, false, false);
        c.InsertRecord(b.data(), false);
    }
    c.CloseCursor(false);
    // 1.5 is no whole number: only FTag 3 is among the amounts.
    EXPECT_EQ(Rows("Select * From \"R\" Where FTag In (Select Amount From \"PRICES\")", {"R.Name"}),
              (TRows{"r3"}));
    EXPECT_EQ(Rows("Select * From \"R\" Where FTag Not In (Select Amount From \"PRICES\")", {"R.Name"}),
              (TRows{"r1", "r2", "r4", "r5"}));
}

TEST_F(JoinPlanningTest, AnEncryptedSourceTableAsksTheStatementForItsPasswordWhileOpening) {
    dbengine::TTableDefinition def;
    def.Fields = {Field(1, "Name", dbengine::fldString, 10)};
    def.Encrypted = true;
    def.Password = "secret";
    Database->Session->AddPassword("secret");
    {
        dbengine::TDataCursor c(Database);
        c.SetTableName("LOCKED");
        c.SetExclusive(true);
        c.CreateTable(def, true, false);
    }
    Database->Session->RemovePassword("secret");
    int asked = 0;
    {
        TQueryStatement statement(Database);
        statement.SetPasswordCallback([&](TQueryStatement&) {
            ++asked;
            Database->Session->AddPassword("secret");
            return true;
        });
        statement.ParseSQL("Select * From \"LOCKED\"");
        statement.MasterQuery->PrepareJoins();
        EXPECT_EQ(asked, 1);
    }
    Database->Session->RemoveAllPasswords();
    // Without a callback, or with one that gives up, the open fails with the engine's error.
    for (bool withCallback : {false, true}) {
        TQueryStatement statement(Database);
        if (withCallback) statement.SetPasswordCallback([&](TQueryStatement&) { return ++asked, false; });
        statement.ParseSQL("Select * From \"LOCKED\"");
        try {
            statement.MasterQuery->PrepareJoins();
            ADD_FAILURE() << "opened without its password";
        } catch (const dbengine::EDbEngineError& e) {
            EXPECT_EQ(e.ErrorCode, 10498);
        }
    }
    EXPECT_EQ(asked, 2);
}

TEST_F(JoinPlanningTest, AMemoIsReadWholeWithItsTerminatingZeroCounted) {
    TQueryStatement statement(Database);
    statement.ParseSQL("Select * From \"R\" Where Name = 'r3'");
    TDataQuery& q = *statement.MasterQuery;
    q.PrepareJoins();
    q.PlaceConditions();
    ASSERT_TRUE(q.FirstRow());
    dbengine::TExpTreeHolder node(dbengine::NewExpToken());
    node->Kind = dbengine::tkColumn;
    node->ColumnName = "notes";
    ASSERT_TRUE(q.BindSourceColumn(node.get()));
    EXPECT_EQ(node->TableName, "R");
    ASSERT_TRUE(q.ReadSourceColumn(node.get()));
    EXPECT_EQ(dbengine::ExpTextValue(node.get()), "note r3");
    EXPECT_EQ(node->DataSize, 8);
    EXPECT_FALSE(q.NextRow());
}

TEST_F(JoinPlanningTest, AnInnerJoinWithAnEmptyInnerTableGivesNoRows) {
    MakeTable("EMPTY", true, {});
    EXPECT_TRUE(Rows("Select * From \"R\" Join \"EMPTY\" On (FTag = Tag)", {"R.Name"}).empty());
    EXPECT_TRUE(Rows("Select * From \"R\", \"EMPTY\"", {"R.Name"}).empty());
}

TEST_F(JoinPlanningTest, ThreeTablesAreOrderedAlongTheirJoins) {
    EXPECT_EQ(Rows("Select * From \"R\" a, \"C_CAT\" b, \"C_CAT\" c Where a.FTag = c.Tag And b.Tag = c.Tag "
                   "NOJOINOPTIMIZE",
                   {"a.Name", "c.CName", "b.CName"},
                   [](TDataQuery& q) {
                       ASSERT_EQ(q.SourceTables.size(), 3u);
                       EXPECT_EQ(q.SourceTables[0]->CorrelationName, "a");
                       EXPECT_EQ(q.SourceTables[1]->CorrelationName, "c");
                       EXPECT_EQ(q.SourceTables[2]->CorrelationName, "b");
                   }),
              (TRows{"r1|c1|c1", "r3|c2|c2", "r3|c2|c3", "r3|c3|c2", "r3|c3|c3", "r5|c1|c1"}));
}

TEST_F(JoinPlanningTest, DisjunctionsAndNegationsOverTwoTablesAreTestedPerRow) {
    // Direct evaluation over the cross product.
    auto expected = [&](const std::function<bool(const TRow&, const TRow&)>& test) {
        TRows rows;
        for (const TRow& r : RRows)
            for (const TRow& c : CRows)
                if (test(r, c)) rows.push_back(r.Name + "|" + c.Name);
        std::sort(rows.begin(), rows.end());
        return rows;
    };
    EXPECT_EQ(Rows("Select * From \"R\", \"C_CAT\" Where FTag = Tag Or FTag = 2", {"R.Name", "C_CAT.CName"},
                   [](TDataQuery& q) { EXPECT_TRUE(q.HasJoinResidual); }),
              expected([](const TRow& r, const TRow& c) {
                  return r.Number && ((c.Number && *r.Number == *c.Number) || *r.Number == 2);
              }));
    // The engine's comparison with a NULL is false, so its negation holds.
    EXPECT_EQ(Rows("Select * From \"R\", \"C_CAT\" Where Not (FTag = Tag)", {"R.Name", "C_CAT.CName"}),
              expected([](const TRow& r, const TRow& c) {
                  return !(r.Number && c.Number && *r.Number == *c.Number);
              }));
    EXPECT_EQ(Rows("Select * From \"R\", \"C_CAT\" Where Not (Not (FTag = Tag))", {"R.Name", "C_CAT.CName"},
                   [](TDataQuery& q) { EXPECT_FALSE(q.HasJoinResidual); }),
              expected([](const TRow& r, const TRow& c) {
                  return r.Number && c.Number && *r.Number == *c.Number;
              }));
    EXPECT_EQ(Rows("Select * From \"R\", \"C_CAT\" Where 3 = Tag And FTag < Tag", {"R.Name", "C_CAT.CName"}),
              expected([](const TRow& r, const TRow& c) {
                  return r.Number && c.Number && *c.Number == 3 && *r.Number < *c.Number;
              }));
}

TEST_F(JoinPlanningTest, InAndNotInTestAgainstTheSubSelectsRows) {
    const std::string in = "Select * From \"R\" Where FTag In (Select Tag From \"C_CAT\")";
    EXPECT_EQ(Rows(in, {"R.Name"}), (TRows{"r1", "r3", "r5"}));
    // NOT IN is the negation of IN, so a NULL value is not in the sub-select.
    EXPECT_EQ(Rows("Select * From \"R\" Where FTag Not In (Select Tag From \"C_CAT\")", {"R.Name"}),
              (TRows{"r2", "r4"}));
    EXPECT_TRUE(
        Rows("Select * From \"R\" Where FTag In (Select Tag From \"C_CAT\" Where Tag > 100)", {"R.Name"})
            .empty());
    EXPECT_EQ(
        Rows("Select * From \"R\" Where FTag Not In (Select Tag From \"C_CAT\" Where Tag > 100)", {"R.Name"})
            .size(),
        RRows.size());
}

TEST_F(JoinPlanningTest, AQuotedTextThatNamesAColumnStaysAConstant) {
    EXPECT_TRUE(Rows("Select * From \"R\", \"C_CAT\" Where (FTag = Tag) And (FromArc = \"Tag\")", {"R.Name"},
                     [](TDataQuery& q) {
                         // R keeps its single join to C_CAT: the text made no second one.
                         for (const auto& t : q.SourceTables)
                             for (const auto& j : t->Joins) EXPECT_EQ(j->Condition->Kind, dbengine::tkBinary);
                     })
                    .empty());
}

TEST_F(JoinPlanningTest, AnIndexedConditionFiltersItsTableBeforeTheJoin) {
    EXPECT_EQ(Rows("Select * From \"R\", \"C_CAT\" Where FTag = Tag And Tag = 3 NOJOINOPTIMIZE",
                   {"R.Name", "C_CAT.CName"},
                   [](TDataQuery& q) {
                       EXPECT_FALSE(q.HasTableResidual);
                       EXPECT_NE(q.TableFilter, nullptr);
                   }),
              (TRows{"r3|c2", "r3|c3"}));
}

// Random conditions over two and three tables, their joined rows compared with the condition
// evaluated directly over the cross product.
TEST_F(JoinPlanningTest, RandomConditionsGiveTheRowsOfTheirDirectEvaluation) {
    struct TCondition {
        std::string Sql;
        std::function<bool(const std::vector<const TRow*>&)> Holds;
    };
    std::mt19937 random(20261211);
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    static const char* const ops[] = {"=", "<>", "<", ">", "<=", ">="};
    static const char* const names[] = {"a.FTag", "b.Tag", "c.Tag"};
    std::function<TCondition(int, int)> make = [&](int depth, int tables) -> TCondition {
        const int kind = depth == 0 ? 0 : pick(4);
        if (kind == 0) {
            const int left = pick(tables);
            const bool constant = pick(3) == 0;
            const int right = constant ? -1 - pick(4) : (left + 1 + pick(tables - 1)) % tables;
            const int op = pick(6);
            auto operand = [](int at) { return at >= 0 ? std::string(names[at]) : std::to_string(-1 - at); };
            auto value = [](int at, const std::vector<const TRow*>& row) -> std::optional<int32_t> {
                return at >= 0 ? row[static_cast<size_t>(at)]->Number : std::optional<int32_t>(-1 - at);
            };
            return {"(" + operand(left) + " " + ops[op] + " " + operand(right) + ")",
                    [=](const std::vector<const TRow*>& row) {
                        const auto l = value(left, row), r = value(right, row);
                        // The engine's comparisons: NULL equals only NULL, and orders with nothing.
                        if (!l || !r) return l.has_value() != r.has_value() ? op == 1 : op == 0 || op >= 4;
                        switch (op) {
                            case 0:
                                return *l == *r;
                            case 1:
                                return *l != *r;
                            case 2:
                                return *l < *r;
                            case 3:
                                return *l > *r;
                            case 4:
                                return *l <= *r;
                            default:
                                return *l >= *r;
                        }
                    }};
        }
        TCondition a = make(depth - 1, tables);
        if (kind == 3) return {"(Not " + a.Sql + ")", [=](const auto& row) { return !a.Holds(row); }};
        TCondition b = make(depth - 1, tables);
        if (kind == 1)
            return {"(" + a.Sql + " And " + b.Sql + ")",
                    [=](const auto& row) { return a.Holds(row) && b.Holds(row); }};
        return {"(" + a.Sql + " Or " + b.Sql + ")",
                [=](const auto& row) { return a.Holds(row) || b.Holds(row); }};
    };
    for (int round = 0; round < 80; ++round) {
        const int tables = round % 4 == 3 ? 3 : 2;
        const TCondition condition = make(1 + pick(3), tables);
        const std::string from = tables == 3 ? "\"R\" a, \"C_CAT\" b, \"C_CAT\" c" : "\"R\" a, \"C_CAT\" b";
        TRows expected;
        for (const TRow& a : RRows)
            for (const TRow& b : CRows)
                for (size_t k = 0; k < (tables == 3 ? CRows.size() : 1); ++k) {
                    const std::vector<const TRow*> row{&a, &b, &CRows[k]};
                    if (condition.Holds(row))
                        expected.push_back(a.Name + "|" + b.Name + (tables == 3 ? "|" + CRows[k].Name : ""));
                }
        std::sort(expected.begin(), expected.end());
        std::vector<std::string> columns{"a.Name", "b.CName"};
        if (tables == 3) columns.push_back("c.CName");
        const std::string sql = "Select * From " + from + " Where " + condition.Sql;
        try {
            EXPECT_EQ(Rows(sql, columns), expected) << sql;
        } catch (const dbengine::EDbEngineError& e) {
            ADD_FAILURE() << sql << ": " << e.Message;
        }
    }
}

TEST_F(JoinPlanningTest, FaultyJoinConditionsRaiseTheirMessages) {
    EXPECT_EQ(
        Error("Select * From \"R\" a, \"C_CAT\" b, \"C_CAT\" c Where a.FTag = b.Tag + c.Tag"),
        "The join condition cannot contain multiple table correlation names in either the left or right "
        "operand in WHERE or JOIN clause");
    EXPECT_EQ(Error("Select * From \"R\" a, \"C_CAT\" b Where q.FTag = 1"),
              "Table correlation name 'q' referenced in WHERE clause is not defined in the FROM clause");
    EXPECT_EQ(Error("Select * From \"R\" a Left Outer Join \"C_CAT\" c On a.FTag = c.Tag Left Outer Join "
                    "\"C_CAT\" b On a.FTag = b.Tag And c.Tag = b.Tag"),
              "Internal join error - table correlation name \"b\" is target of multiple join conditions in "
              "WHERE or JOIN clause");
}

}  // namespace
}  // namespace dbsql
