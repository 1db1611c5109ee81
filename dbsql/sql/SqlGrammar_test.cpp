#include <gtest/gtest.h>

#include <string>

#include "dbengine/expr/ExpToken.h"
#include "dbengine/expr/ExpressionParser.h"
#include "dbsql/sql/DataQuery.h"
#include "dbsql/sql/QueryStatement.h"
#include "dbsql/testsupport/SqlParseTest.h"

namespace dbsql {
namespace {

using dbengine::TExpToken;
using SqlGrammarTest = testsupport::SqlParseTest;

TEST_F(SqlGrammarTest, SelectAllOrderedWithoutCase) {
    auto statement = Parse("select * from \"Categories\" order by Code nocase");
    const TDataQuery& q = *Master(statement);
    EXPECT_EQ(q.Kind, skSelect);
    EXPECT_EQ(statement->Kind, skSelect);
    EXPECT_TRUE(q.SelectAll);
    ASSERT_EQ(q.SourceTables.size(), 1u);
    EXPECT_EQ(q.SourceTables[0]->TableName, "Categories");
    EXPECT_EQ(q.SourceTables[0]->CorrelationName, "Categories");
    EXPECT_EQ(q.SourceTables[0]->TableNumber, 1);
    ASSERT_EQ(q.OrderByFields.size(), 1u);
    EXPECT_EQ(q.OrderByFields[0]->ColumnName, "Code");
    EXPECT_FALSE(q.OrderByFields[0]->Descending);
    EXPECT_TRUE(q.HasOrderBy);
    EXPECT_TRUE(q.OrderByNoCase);
    EXPECT_FALSE(q.RequestLive);
}

TEST_F(SqlGrammarTest, TheProgramsReportJoin) {
    auto statement = Parse(
        "Select * From \"R\", \"C_CAT\" Where (FTag = Tag) And (FromArc = \"N\") "
        "Order By FileName ASC, DateModified DESC, TimeModified DESC NOCASE");
    const TDataQuery& q = *Master(statement);
    EXPECT_TRUE(q.SelectAll);
    EXPECT_TRUE(q.HasJoins);
    EXPECT_TRUE(q.HasWhere);
    ASSERT_EQ(q.SourceTables.size(), 2u);
    EXPECT_EQ(q.SourceTables[1]->TableName, "C_CAT");
    EXPECT_EQ(q.SourceTables[1]->TableNumber, 2);
    ASSERT_NE(q.WhereCondition, nullptr);
    EXPECT_EQ(q.WhereCondition->Code, dbengine::ecAnd);
    EXPECT_EQ(q.WhereCondition->Left->JoinRole, 0);  // a WHERE comparison carries no join mark
    ASSERT_EQ(q.OrderByFields.size(), 3u);
    EXPECT_FALSE(q.OrderByFields[0]->Descending);
    EXPECT_TRUE(q.OrderByFields[1]->Descending);
    EXPECT_TRUE(q.OrderByFields[2]->Descending);
    EXPECT_TRUE(q.OrderByNoCase);
}

TEST_F(SqlGrammarTest, TheProgramsUpdateAndDeletes) {
    auto update = Parse("Update \"C_CAT\" Set VolumeLabel=\"NEW\" Where (VolumeLabel=\"OLD\")");
    const TDataQuery& u = *Master(update);
    EXPECT_EQ(u.Kind, skUpdate);
    EXPECT_TRUE(u.RequestLive);
    ASSERT_EQ(u.UpdateFields.size(), 1u);
    EXPECT_EQ(u.UpdateFields[0]->ColumnName, "VolumeLabel");
    EXPECT_EQ(u.UpdateFields[0]->ColumnText, "VolumeLabel");
    ASSERT_EQ(u.UpdateValues.size(), 1u);
    EXPECT_EQ(u.UpdateValues[0]->ValueText, "\"NEW\"");
    EXPECT_TRUE(u.HasWhere);

    for (const char* sql : {"Delete From \"C_CAT\" Where (VolumeLabel=\"X\")",
                            "Delete From \"C_LOG\" Where (OpDate <= \"2003-1-5\")"}) {
        auto del = Parse(sql);
        EXPECT_EQ(Master(del)->Kind, skDelete) << sql;
        EXPECT_TRUE(Master(del)->RequestLive) << sql;
        EXPECT_TRUE(Master(del)->HasWhere) << sql;
        ASSERT_EQ(Master(del)->SourceTables.size(), 1u) << sql;
    }
}

TEST_F(SqlGrammarTest, UpdateTableNamedTableWithQuotedCorrelationName) {
    auto statement = Parse("Update Table \"C_CAT\" Set VolumeLabel=\"NEW\"");
    const TSourceTable& table = *Master(statement)->SourceTables[0];
    EXPECT_EQ(table.TableName, "Table");
    EXPECT_EQ(table.CorrelationName, "C_CAT");
}

TEST_F(SqlGrammarTest, SelectItemsAreClassified) {
    auto statement = Parse(
        "SELECT ALL DISTINCT t.a, b AS Bee, COUNT(*), AVG(c) Avg1, SUM(a * 2) Total.Name, a || 'x' FROM t");
    const TDataQuery& q = *Master(statement);
    EXPECT_TRUE(q.Distinct);
    ASSERT_EQ(q.ResultFields.size(), 6u);
    const auto& f = q.ResultFields;
    EXPECT_EQ(f[0]->TableName, "t");
    EXPECT_EQ(f[0]->ColumnName, "a");
    EXPECT_EQ(f[0]->ResultName, "a");
    EXPECT_TRUE(f[0]->DefaultName);
    EXPECT_EQ(f[0]->SourceText, "t.a");
    EXPECT_EQ(f[1]->ResultName, "Bee");
    EXPECT_FALSE(f[1]->DefaultName);
    EXPECT_EQ(f[2]->AggregateKind, akCount);
    EXPECT_EQ(f[2]->ColumnName, "*");
    EXPECT_EQ(f[2]->ResultName, "");
    EXPECT_EQ(f[3]->AggregateKind, akAvg);
    EXPECT_EQ(f[3]->ColumnName, "c");
    EXPECT_EQ(f[3]->ResultName, "Avg1");
    EXPECT_EQ(f[4]->AggregateKind, akSum);
    EXPECT_TRUE(f[4]->IsExpression);
    EXPECT_EQ(f[4]->ResultName, "Name");
    EXPECT_TRUE(f[5]->IsExpression);
    EXPECT_EQ(f[5]->SourceText, "a || 'x'");
    EXPECT_TRUE(q.HasAvg);
    EXPECT_TRUE(q.HasExpressionColumns);
    EXPECT_FALSE(q.SelectAll);
}

TEST_F(SqlGrammarTest, JoinsAreMarkedAndRightJoinsGoFirst) {
    auto statement = Parse(
        "SELECT x FROM t LEFT OUTER JOIN u AS v ON t.a = v.a AND v.b > 1 RIGHT JOIN w ON w.c = t.c "
        "WHERE t.d = 2");
    const TDataQuery& q = *Master(statement);
    ASSERT_EQ(q.SourceTables.size(), 3u);
    EXPECT_EQ(q.SourceTables[0]->CorrelationName, "w");
    EXPECT_EQ(q.SourceTables[0]->TableNumber, 3);
    EXPECT_EQ(q.SourceTables[1]->CorrelationName, "t");
    EXPECT_EQ(q.SourceTables[2]->TableName, "u");
    EXPECT_EQ(q.SourceTables[2]->CorrelationName, "v");
    EXPECT_TRUE(q.HasJoins);
    // ((left ON) AND (right ON)) AND where
    const TExpToken* where = q.WhereCondition;
    ASSERT_EQ(where->Code, dbengine::ecAnd);
    EXPECT_EQ(where->Right->JoinRole, 0);
    EXPECT_EQ(where->Right->JoinChecked, 0);
    const TExpToken* leftOn = where->Left->Left;
    EXPECT_EQ(leftOn->JoinChecked, 1);
    EXPECT_EQ(leftOn->Left->JoinRole, 2);   // t.a = v.a
    EXPECT_EQ(leftOn->Right->JoinRole, 0);  // v.b > 1 compares with a constant
    EXPECT_EQ(leftOn->Right->JoinChecked, 1);
    EXPECT_EQ(where->Left->Right->JoinRole, 3);
}

TEST_F(SqlGrammarTest, CorrelationNamesAndReservedWords) {
    auto full = Parse("SELECT x FROM t, u");
    EXPECT_TRUE(Master(full)->HasJoins);
    EXPECT_EQ(Error("SELECT x FROM t FULL OUTER JOIN u ON t.a = u.a"),
              "Engine Error # 11949 SQL error - End of SELECT statement expected, instead found 'OUTER'");

    auto quoted = Parse("SELECT x FROM t \"a b\", u 'WHERE'");
    EXPECT_EQ(Master(quoted)->SourceTables[0]->CorrelationName, "a b");
    EXPECT_EQ(Master(quoted)->SourceTables[1]->CorrelationName, "WHERE");

    auto deleteCorrelation = Parse("DELETE FROM t NOAUTOINC");
    EXPECT_EQ(Master(deleteCorrelation)->SourceTables[0]->CorrelationName, "NOAUTOINC");

    auto folder = Parse("SELECT x FROM MEMORY Temp\\Results AS r");
    const TSourceTable& results = *Master(folder)->SourceTables[0];
    EXPECT_TRUE(results.InMemory);
    EXPECT_EQ(results.DatabaseName, "Memory");
    EXPECT_EQ(results.TableName, "Results");
    EXPECT_EQ(results.CorrelationName, "r");
}

TEST_F(SqlGrammarTest, ClausesOfSelect) {
    auto statement = Parse(
        "SELECT a, SUM(b) INTO MEMORY Totals FROM t WHERE a IN (SELECT a FROM u) GROUP BY t.a, 2 "
        "HAVING SUM(b) > 10 ORDER BY 1 DESCENDING TOP 100 WITH LOCKS LANGUAGE 'German (Swiss)' "
        "SORT 'German Phone Book Order' ENCRYPTED WITH 'secret' NOJOINOPTIMIZE");
    const TDataQuery& q = *Master(statement);
    EXPECT_TRUE(q.InMemory);
    EXPECT_EQ(q.TargetTableName, "Totals");
    EXPECT_TRUE(q.HasGroupBy);
    ASSERT_EQ(q.GroupByFields.size(), 2u);
    EXPECT_EQ(q.GroupByFields[0]->TableName, "t");
    EXPECT_EQ(q.GroupByFields[0]->ColumnName, "a");
    EXPECT_EQ(q.GroupByFields[1]->ColumnNumber, 2);
    EXPECT_TRUE(q.HasHaving);
    EXPECT_NE(q.HavingCondition, nullptr);
    EXPECT_EQ(q.OrderByFields[0]->ColumnNumber, 1);
    EXPECT_TRUE(q.OrderByFields[0]->Descending);
    EXPECT_EQ(q.TopCount, 100);
    EXPECT_TRUE(q.LockSourceTables);
    EXPECT_TRUE(q.LanguageGiven);
    EXPECT_EQ(q.LanguageId, 0x0807);
    EXPECT_TRUE(q.SortGiven);
    EXPECT_EQ(q.SortId, 1);
    EXPECT_TRUE(q.Encrypted);
    EXPECT_EQ(q.Password, "secret");
    EXPECT_TRUE(q.NoJoinOptimize);
    // The sub-select is a query of the statement, nested and marked as such.
    ASSERT_EQ(statement->Queries.size(), 2u);
    const TDataQuery* sub = statement->Query(1);
    EXPECT_TRUE(sub->IsNested);
    EXPECT_EQ(sub->SubSelect, 1);
    EXPECT_EQ(sub->SourceTables[0]->TableName, "u");
    EXPECT_EQ(Error("SELECT a INTO r FROM t WHERE a IN (SELECT b INTO s FROM u)"),
              "Engine Error # 11949 SQL error - The INTO clause can only be used with the master query");
}

TEST_F(SqlGrammarTest, UnionsChainAndSortAsAWhole) {
    auto statement =
        Parse("SELECT x FROM t UNION ALL SELECT x FROM u UNION (SELECT x FROM v) ORDER BY x TOP 3");
    ASSERT_EQ(statement->Queries.size(), 3u);
    const TDataQuery& master = *Master(statement);
    const TDataQuery* second = statement->Query(1);
    const TDataQuery* third = statement->Query(2);
    EXPECT_TRUE(master.HasUnion);
    EXPECT_TRUE(master.UnionAll);
    EXPECT_TRUE(master.RequestLive);
    EXPECT_EQ(master.UnionQuery, second);
    EXPECT_TRUE(second->IsUnionPart);
    EXPECT_EQ(second->UnionMaster, &master);
    EXPECT_TRUE(second->HasUnion);
    EXPECT_FALSE(second->UnionAll);
    EXPECT_EQ(second->UnionQuery, third);
    EXPECT_TRUE(third->Parenthesized);
    EXPECT_TRUE(third->RequestLive);
    EXPECT_TRUE(master.HasOrderBy);
    EXPECT_EQ(master.TopCount, 3);
    EXPECT_FALSE(third->HasOrderBy);
}

TEST_F(SqlGrammarTest, InsertForms) {
    auto values =
        Parse("INSERT INTO t (a, 'b c', t.d) VALUES (1, ?, 'x') NOAUTOINC COMMIT INTERVAL 50 FLUSH");
    const TDataQuery& q = *Master(values);
    EXPECT_EQ(q.Kind, skInsert);
    EXPECT_TRUE(q.RequestLive);
    ASSERT_EQ(q.UpdateFields.size(), 3u);
    EXPECT_EQ(q.UpdateFields[1]->ColumnName, "b c");
    EXPECT_EQ(q.UpdateFields[2]->TableName, "t");
    EXPECT_EQ(q.UpdateFields[2]->ColumnText, "t.d");
    ASSERT_EQ(q.UpdateValues.size(), 3u);
    ASSERT_EQ(values->ParamTokens().size(), 1u);
    EXPECT_EQ(values->ParamTokens()[0], q.UpdateValues[1]->ValueExpression);
    EXPECT_TRUE(q.NoAutoInc);
    EXPECT_TRUE(q.CommitIntervalGiven);
    EXPECT_EQ(q.CommitInterval, 50);
    EXPECT_TRUE(q.CommitFlush);

    auto all = Parse("INSERT INTO t x VALUES (1)");
    ASSERT_EQ(Master(all)->UpdateFields.size(), 1u);
    EXPECT_EQ(Master(all)->UpdateFields[0]->ColumnName, "*");
    EXPECT_EQ(Master(all)->SourceTables[0]->CorrelationName, "x");

    // The SELECT of INSERT ... SELECT, also in parentheses; NOAUTOINC and COMMIT are not its names.
    for (const char* sql : {"INSERT INTO t SELECT a FROM u NOAUTOINC COMMIT FLUSH",
                            "INSERT INTO t (SELECT a FROM u) NOAUTOINC COMMIT FLUSH"}) {
        auto select = Parse(sql);
        const TDataQuery& insert = *Master(select);
        EXPECT_TRUE(insert.InsertFromSelect) << sql;
        ASSERT_NE(insert.InsertSource, nullptr) << sql;
        EXPECT_TRUE(insert.InsertSource->IsNested) << sql;
        EXPECT_TRUE(insert.InsertSource->RequestLive) << sql;
        EXPECT_EQ(insert.InsertSource->SourceTables[0]->CorrelationName, "u") << sql;
        EXPECT_TRUE(insert.NoAutoInc) << sql;
        EXPECT_TRUE(insert.CommitFlush) << sql;
        EXPECT_EQ(insert.UpdateFields[0]->ColumnName, "*") << sql;
    }
}

TEST_F(SqlGrammarTest, UpdateFromNamesTheUpdatedTableFirst) {
    auto statement = Parse(
        "UPDATE \"C:\\Data\\Files.DAT\" f SET Size = g.Size FROM files AS F, Other g WHERE f.Tag = g.Tag "
        "NOAUTOINC COMMIT FLUSH NOJOINOPTIMIZE");
    const TDataQuery& q = *Master(statement);
    ASSERT_EQ(q.SourceTables.size(), 2u);
    EXPECT_EQ(q.SourceTables[0]->DatabaseName, "C:\\Data");
    EXPECT_EQ(q.SourceTables[1]->CorrelationName, "g");
    EXPECT_EQ(q.SourceTables[1]->TableNumber, 2);
    EXPECT_TRUE(q.HasJoins);
    EXPECT_TRUE(q.NoAutoInc);
    EXPECT_TRUE(q.NoJoinOptimize);
    const std::string mismatch =
        "Engine Error # 11949 SQL error - The first source table specified in FROM clause must match the "
        "table "
        "being updated in the UPDATE statement";
    EXPECT_EQ(Error("UPDATE t SET a = 1 FROM MEMORY t"), mismatch);
    EXPECT_EQ(Error("UPDATE t x SET a = 1 FROM t y"), mismatch);
}

TEST_F(SqlGrammarTest, TransactionsAndScripts) {
    EXPECT_EQ(Master(Parse("START TRANSACTION"))->Kind, skStartTransaction);
    EXPECT_EQ(Master(Parse("ROLLBACK WORK"))->Kind, skRollback);
    auto commit = Parse("COMMIT WORK FLUSH");
    EXPECT_EQ(Master(commit)->Kind, skCommit);
    EXPECT_TRUE(Master(commit)->CommitFlush);

    auto script = Parse("SELECT x FROM t; DELETE FROM u");
    EXPECT_EQ(Master(script)->Kind, skSelect);
    EXPECT_TRUE(script->Parser->IsKeyword("DELETE"));
}

}  // namespace
}  // namespace dbsql
