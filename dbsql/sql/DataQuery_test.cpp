#include "dbsql/sql/DataQuery.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "dbengine/expr/ExpToken.h"
#include "dbengine/expr/ValueTypes.h"
#include "dbengine/session/DataDirectory.h"
#include "dbengine/session/DataSession.h"
#include "dbsql/sql/QueryStatement.h"
#include "dbsql/testsupport/SqlParseTest.h"

namespace dbsql {
namespace {

using QueryModelTest = testsupport::SqlParseTest;

TEST_F(QueryModelTest, FreshQueryHasTheDocumentedDefaults) {
    TQueryStatement statement;
    const TDataQuery& q = *statement.MasterQuery;
    EXPECT_EQ(q.Statement, &statement);
    EXPECT_EQ(q.Kind, skUnknown);
    EXPECT_EQ(StatementKindName(q.Kind), "UNKNOWN");
    EXPECT_EQ(q.MaxRowCount, -1);
    EXPECT_EQ(q.TopCount, -1);
    EXPECT_EQ(q.ResultIndex, 255);
    EXPECT_EQ(q.BlobBlockSize, 512);
    EXPECT_EQ(q.UserMajorVersion, 1);
    EXPECT_EQ(q.UserMinorVersion, 0);
    EXPECT_EQ(q.LastAutoInc, 0xFFFFFFFFu);
    EXPECT_TRUE(q.UnionAll);
    EXPECT_EQ(q.SubSelect, 0);
    EXPECT_FALSE(q.RequestLive);
    EXPECT_TRUE(q.SourceTables.empty());
    EXPECT_TRUE(q.StopWords.empty());
    ASSERT_EQ(statement.Queries.size(), 1u);
    EXPECT_EQ(statement.Query(0), &q);
}

TEST_F(QueryModelTest, StatementKindNamesCoverEveryKindAndNothingElse) {
    const std::vector<std::string> names = {
        "UNKNOWN",           "SELECT",      "INSERT",     "UPDATE",       "DELETE",
        "CREATE TABLE",      "ALTER TABLE", "DROP TABLE", "CREATE INDEX", "DROP INDEX",
        "START TRANSACTION", "ROLLBACK",    "COMMIT"};
    for (size_t kind = 0; kind < names.size(); ++kind)
        EXPECT_EQ(StatementKindName(uint8_t(kind)), names[kind]);
    EXPECT_EQ(StatementKindName(13), "UNKNOWN");
}

TEST_F(QueryModelTest, SetColumnNameFillsAnEmptyResultNameExceptWithTheStar) {
    TQueryStatement statement;
    TResultField star(statement.MasterQuery);
    star.SetColumnName("*");
    EXPECT_EQ(star.ColumnName, "*");
    EXPECT_EQ(star.ResultName, "");

    TResultField named(statement.MasterQuery);
    named.SetColumnName("Code");
    EXPECT_EQ(named.ResultName, "Code");
    named.SetColumnName("Other");
    EXPECT_EQ(named.ColumnName, "Other");
    EXPECT_EQ(named.ResultName, "Code");  // a name once given stays
}

TEST_F(QueryModelTest, ResetRestoresScalarsButKeepsListsTreesAndTheCallersRequest) {
    auto statement = Parse("SELECT DISTINCT a FROM t WHERE a > 1 ORDER BY a TOP 5");
    TDataQuery* q = Master(statement);
    q->RequestLive = true;
    q->StopWords = {"a"};
    q->SpaceChars.set('x');
    q->Reset();
    EXPECT_EQ(q->Kind, skUnknown);
    EXPECT_FALSE(q->Distinct);
    EXPECT_FALSE(q->HasWhere);
    EXPECT_EQ(q->TopCount, -1);
    EXPECT_TRUE(q->StopWords.empty());
    EXPECT_TRUE(q->SpaceChars.none());
    EXPECT_TRUE(q->RequestLive);
    EXPECT_EQ(q->ResultFields.size(), 1u);
    EXPECT_EQ(q->SourceTables.size(), 1u);
    EXPECT_NE(q->WhereCondition, nullptr);
}

TEST_F(QueryModelTest, ParseDoesNothingOnceExecuted) {
    TQueryStatement statement;
    statement.MasterQuery->Executed = true;
    statement.ParseSQL("SELECT a FROM t");
    EXPECT_EQ(statement.MasterQuery->Kind, skUnknown);
    EXPECT_TRUE(statement.MasterQuery->ResultFields.empty());
}

TEST_F(QueryModelTest, ApplyDefinitionCopiesTypeAndRenames) {
    auto create = Parse("CREATE TABLE t (a CHAR(10), b DECIMAL(10, 2), c BYTES(6))");
    auto& fields = Master(create)->CreateFields;
    ASSERT_EQ(fields.size(), 3u);
    // The type checker sizes definitions; a string's size counts its terminating zero.
    fields[0]->Definition->DataSize = 11;
    fields[1]->Definition->Scale = 2;
    fields[2]->Definition->DataSize = 6;
    for (int16_t i = 0; i < 3; ++i) fields[size_t(i)]->ApplyDefinition(int16_t(i + 1));
    EXPECT_EQ(fields[0]->ColumnName, "a");
    EXPECT_EQ(fields[0]->FieldNumber, 1);
    EXPECT_EQ(fields[0]->DataType, dbengine::fldString);
    EXPECT_EQ(fields[0]->Size, 10);
    EXPECT_EQ(fields[1]->DataType, dbengine::fldBCD);
    EXPECT_EQ(fields[1]->Scale, 2);
    EXPECT_EQ(fields[2]->Size, 6);
    EXPECT_EQ(fields[2]->NewColumnName, "");

    auto alter = Parse("ALTER TABLE t REDEFINE a b CHAR(20), REDEFINE c NOT NULL");
    auto& items = Master(alter)->CreateFields;
    ASSERT_EQ(items.size(), 2u);
    items[0]->ApplyDefinition(1);
    EXPECT_EQ(items[0]->ColumnName, "a");
    EXPECT_EQ(items[0]->NewColumnName, "b");
    EXPECT_EQ(items[0]->DataType, dbengine::fldString);
    items[1]->ApplyDefinition(2);
    EXPECT_EQ(items[1]->ColumnName, "c");
    EXPECT_EQ(items[1]->NewColumnName, "");
}

TEST_F(QueryModelTest, BuildColumnNamesTakesColumnsAndStringConstants) {
    auto statement = Parse("CREATE INDEX ByName ON t (Name, 'Folder Name', [Size])");
    TCreateIndex& index = *Master(statement)->CreateIndexes.front();
    index.ColumnNames = {"stale"};
    index.BuildColumnNames();
    EXPECT_EQ(index.ColumnNames, (std::vector<std::string>{"Name", "Folder Name", "Size"}));
}

TEST_F(QueryModelTest, SourceTableOrderingsCompareWithoutSign) {
    TQueryStatement statement;
    TSourceTable low(statement.MasterQuery), high(statement.MasterQuery);
    low.TableNumber = 1;
    high.TableNumber = 0x8000;  // negative if compared as a signed 16-bit value
    low.JoinLevel = 2;
    high.JoinLevel = 0xFFFF;
    EXPECT_TRUE(SourceTableByNumber(&low, &high));
    EXPECT_FALSE(SourceTableByNumber(&high, &low));
    EXPECT_TRUE(SourceTableByLevel(&low, &high));
}

TEST_F(QueryModelTest, DatabaseAccessIsReportedWithTheCodeOfTheKind) {
    dbengine::TDataSession session(false);
    dbengine::TDataDirectory database(&session);
    std::vector<std::pair<dbengine::TDataDirectory*, int>> reports;
    session.OnDirectoryOpened = [&](dbengine::TDataDirectory* d, int reason) {
        reports.emplace_back(d, reason);
    };
    const std::vector<std::pair<uint8_t, int>> expected = {
        {skSelect, 4},     {skInsert, 1},    {skUpdate, 2},      {skDelete, 3},   {skCreateTable, 4},
        {skAlterTable, 5}, {skDropTable, 6}, {skCreateIndex, 4}, {skDropIndex, 6}};
    TQueryStatement statement;
    TDataQuery& q = *statement.MasterQuery;
    for (auto [kind, code] : expected) {
        reports.clear();
        q.Kind = kind;
        q.ReportDatabaseAccess(&database);
        ASSERT_EQ(reports.size(), 1u) << int(kind);
        EXPECT_EQ(reports[0].first, &database);
        EXPECT_EQ(reports[0].second, code) << int(kind);
    }
    for (uint8_t kind : {skUnknown, skStartTransaction, skRollback, skCommit}) {
        reports.clear();
        q.Kind = kind;
        q.ReportDatabaseAccess(&database);
        EXPECT_TRUE(reports.empty()) << int(kind);
    }
}

}  // namespace
}  // namespace dbsql
