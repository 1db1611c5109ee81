#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dbengine/expr/ExpToken.h"
#include "dbengine/expr/ValueTypes.h"
#include "dbsql/sql/DataQuery.h"
#include "dbsql/sql/QueryStatement.h"
#include "dbsql/testsupport/SqlParseTest.h"

namespace dbsql {
namespace {

using SqlDefinitionTest = testsupport::SqlParseTest;

TEST_F(SqlDefinitionTest, CreateTableWithColumnsOptionsAndPrimaryKey) {
    auto statement = Parse("CREATE TABLE t (a INTEGER, b CHAR(10) NOT NULL DEFAULT x, PRIMARY KEY (a))");
    const TDataQuery& q = *Master(statement);
    EXPECT_EQ(q.Kind, skCreateTable);
    EXPECT_EQ(q.TargetTableName, "t");
    ASSERT_EQ(q.CreateFields.size(), 2u);
    const TCreateField& a = *q.CreateFields[0];
    EXPECT_EQ(a.Definition->ColumnName, "a");
    EXPECT_EQ(a.Definition->DataType, dbengine::fldInteger);
    EXPECT_EQ(a.DefinitionText, "a INTEGER");
    const TCreateField& b = *q.CreateFields[1];
    EXPECT_EQ(b.Definition->ColumnName, "b");
    EXPECT_EQ(b.Definition->DataType, dbengine::fldString);
    EXPECT_EQ(b.DefinitionText, "b CHAR(10)");
    EXPECT_TRUE(b.Required);
    EXPECT_TRUE(b.RequiredGiven);
    EXPECT_TRUE(b.DefaultGiven);
    EXPECT_EQ(b.DefaultValue, "x");
    ASSERT_EQ(q.CreateIndexes.size(), 1u);
    const TCreateIndex& key = *q.CreateIndexes[0];
    ASSERT_EQ(key.Columns.size(), 1u);
    EXPECT_EQ(key.Columns[0]->ColumnName, "a");
    EXPECT_EQ(key.ColumnText, "a");
}

TEST_F(SqlDefinitionTest, ColumnAndTableDescriptionsAndOtherOptions) {
    auto column = Parse("CREATE TABLE t (a INTEGER DESCRIPTION d)");
    EXPECT_EQ(Master(column)->CreateFields[0]->Description, "d");
    EXPECT_TRUE(Master(column)->CreateFields[0]->DescriptionGiven);
    EXPECT_FALSE(Master(column)->DescriptionGiven);

    auto table = Parse("CREATE TABLE t (a INTEGER, DESCRIPTION d)");
    EXPECT_FALSE(Master(table)->CreateFields[0]->DescriptionGiven);
    EXPECT_EQ(Master(table)->Description, "d");
    EXPECT_TRUE(Master(table)->DescriptionGiven);

    auto options = Parse(
        "CREATE TABLE IF NOT EXISTS MEMORY Work\\New (\"Name\" VARCHAR(40) MINIMUM 'a' MAXIMUM 'z' CHARCASE "
        "UPPER, "
        "Body MEMO, CONSTRAINT pk UNIQUE DESC NOCASE PRIMARY KEY (\"Name\") COMPRESS TRAILBYTE "
        "TEXT INDEX (Body, \"Name\") STOP WORDS 'and  or' SPACE CHARS '-_' INCLUDE CHARS #36 "
        "BLOB BLOCK SIZE 1024 LANGUAGE 'ansi standard' SORT 'default order' ENCRYPTED WITH '' "
        "USER MINOR VERSION 3 USER MAJOR VERSION 2 LAST AUTOINC -1)");
    const TDataQuery& q = *Master(options);
    EXPECT_TRUE(q.IfNotExists);
    EXPECT_TRUE(q.InMemory);
    EXPECT_EQ(q.TargetTableName, "Work\\New");
    const TCreateField& name = *q.CreateFields[0];
    EXPECT_EQ(name.Definition->ColumnName, "Name");
    EXPECT_EQ(name.MinValue, "a");
    EXPECT_EQ(name.MaxValue, "z");
    EXPECT_EQ(name.CharCase, 2);
    EXPECT_TRUE(name.CharCaseGiven);
    const TCreateIndex& key = *q.CreateIndexes[0];
    EXPECT_TRUE(key.Unique);
    EXPECT_TRUE(key.Descending);
    EXPECT_TRUE(key.NoCase);
    EXPECT_EQ(key.Compression, icTrailByte);
    ASSERT_NE(q.TextIndex, nullptr);
    EXPECT_EQ(q.TextIndex->Columns.size(), 2u);
    EXPECT_TRUE(q.StopWordsGiven);
    EXPECT_EQ(q.StopWords, (std::vector<std::string>{"and", "", "or"}));
    EXPECT_TRUE(q.SpaceChars.test('-'));
    EXPECT_TRUE(q.SpaceChars.test('_'));
    EXPECT_EQ(q.SpaceChars.count(), 2u);
    EXPECT_TRUE(q.IncludeChars.test('$'));
    EXPECT_EQ(q.BlobBlockSize, 1024);
    EXPECT_TRUE(q.BlobBlockSizeGiven);
    EXPECT_TRUE(q.LanguageGiven);
    EXPECT_EQ(q.LanguageId, 0);
    EXPECT_TRUE(q.SortGiven);
    EXPECT_EQ(q.SortId, 0);
    // An empty password leaves the table unencrypted, though the clause was given.
    EXPECT_FALSE(q.Encrypted);
    EXPECT_TRUE(q.EncryptedGiven);
    EXPECT_EQ(q.UserMajorVersion, 2);
    EXPECT_EQ(q.UserMinorVersion, 3);
    EXPECT_TRUE(q.UserMajorVersionGiven);
    EXPECT_TRUE(q.UserMinorVersionGiven);
    EXPECT_EQ(q.LastAutoInc, 0xFFFFFFFFu);

    auto top = Parse("CREATE TABLE t (a AUTOINC LAST AUTOINC 4294967295)");
    EXPECT_EQ(Master(top)->LastAutoInc, 4294967295u);
    auto signedValue = Parse("CREATE TABLE t (a AUTOINC LAST AUTOINC +7)");
    EXPECT_EQ(Master(signedValue)->LastAutoInc, 7u);
    auto blockSize = Parse("CREATE TABLE t (a BLOB(1, 2) BLOB BLOCK SIZE 65535)");
    EXPECT_EQ(Master(blockSize)->BlobBlockSize, 65535);
}

TEST_F(SqlDefinitionTest, AThirdUserClauseEndsTheStatement) {
    EXPECT_EQ(
        Error("CREATE TABLE t (a INT USER MINOR VERSION 3 USER MAJOR VERSION 2 USER MAJOR VERSION 4)"),
        "Engine Error # 11949 SQL error - Right parentheses expected after CREATE TABLE statement, instead "
        "found 'USER'");
    EXPECT_EQ(Error("ALTER TABLE t USER MINOR VERSION 3 USER MAJOR VERSION 2 USER MAJOR VERSION 4"),
              "Engine Error # 11949 SQL error - End of ALTER TABLE statement expected, instead found 'USER'");
}

TEST_F(SqlDefinitionTest, CorrelationNamesInKeysAreRefusedAnywhere) {
    const std::string message =
        "Engine Error # 11949 SQL error - Invalid use of table correlation name 't' specified in indexed "
        "columns";
    EXPECT_EQ(Error("CREATE INDEX i ON t (t.a)"), message);
    EXPECT_EQ(Error("CREATE INDEX i ON t (a, b, t.c)"), message);
    EXPECT_EQ(Error("ALTER TABLE t ADD PRIMARY KEY (a, t.b)"), message);
}

TEST_F(SqlDefinitionTest, CreateIndex) {
    auto statement =
        Parse("CREATE UNIQUE NOCASE INDEX IF NOT EXISTS ByName ON data\\t (Name, Folder) COMPRESS FULL");
    const TDataQuery& q = *Master(statement);
    EXPECT_EQ(q.Kind, skCreateIndex);
    EXPECT_TRUE(q.IfNotExists);
    EXPECT_EQ(q.TargetTableName, "data\\t");
    const TCreateIndex& index = *q.CreateIndexes[0];
    EXPECT_EQ(index.IndexName, "ByName");
    EXPECT_TRUE(index.Unique);
    EXPECT_TRUE(index.NoCase);
    EXPECT_FALSE(index.Descending);
    EXPECT_EQ(index.Compression, icFull);
    EXPECT_EQ(index.Columns.size(), 2u);
    EXPECT_EQ(index.ColumnText, "Folder");
}

TEST_F(SqlDefinitionTest, AlterTableActions) {
    auto rename =
        Parse("ALTER TABLE t REDEFINE a b CHAR(20), REDEFINE c NOT NULL, ADD COLUMN d INT AT 2 DEFAULT 0");
    const TDataQuery& q = *Master(rename);
    EXPECT_EQ(q.Kind, skAlterTable);
    ASSERT_EQ(q.CreateFields.size(), 3u);
    const TCreateField& renamed = *q.CreateFields[0];
    EXPECT_TRUE(renamed.IsRedefine);
    EXPECT_EQ(renamed.Definition->ColumnName, "b");
    EXPECT_EQ(renamed.Definition->DataType, dbengine::fldString);
    ASSERT_NE(renamed.Definition->Third, nullptr);
    EXPECT_EQ(renamed.Definition->Third->ColumnName, "a");
    EXPECT_EQ(renamed.DefinitionText, "a b CHAR(20)");
    const TCreateField& required = *q.CreateFields[1];
    EXPECT_EQ(required.Definition->ColumnName, "c");
    EXPECT_EQ(required.Definition->DataType, 0);
    EXPECT_EQ(required.Definition->Third, nullptr);
    EXPECT_TRUE(required.Required);
    EXPECT_TRUE(required.RequiredGiven);
    EXPECT_FALSE(required.DefaultGiven);
    const TCreateField& added = *q.CreateFields[2];
    EXPECT_TRUE(added.IsAdd);
    EXPECT_EQ(added.Position, 2);
    EXPECT_EQ(added.DefaultValue, "0");

    auto drops = Parse(
        "ALTER TABLE MEMORY t DROP PRIMARY KEY, DROP COLUMN old, DROP CONSTRAINT k PRIMARY KEY, "
        "ADD CONSTRAINT k2 PRIMARY KEY (a) NOBACKUP");
    const TDataQuery& d = *Master(drops);
    EXPECT_TRUE(d.InMemory);
    ASSERT_EQ(d.CreateIndexes.size(), 3u);
    EXPECT_TRUE(d.CreateIndexes[0]->IsDrop);
    EXPECT_TRUE(d.CreateIndexes[1]->IsDrop);
    EXPECT_TRUE(d.CreateIndexes[2]->IsAdd);
    ASSERT_EQ(d.CreateFields.size(), 1u);
    EXPECT_TRUE(d.CreateFields[0]->IsDrop);
    EXPECT_EQ(d.CreateFields[0]->Definition->ColumnName, "old");
    EXPECT_TRUE(d.NoBackup);
}

TEST_F(SqlDefinitionTest, DropTableAndIndex) {
    auto table = Parse("DROP TABLE IF EXISTS MEMORY New");
    EXPECT_EQ(Master(table)->Kind, skDropTable);
    EXPECT_TRUE(Master(table)->IfExists);
    EXPECT_TRUE(Master(table)->InMemory);
    EXPECT_EQ(Master(table)->TargetTableName, "New");

    struct {
        const char* Sql;
        const char* Table;
        const char* Index;
    } const cases[] = {
        {"DROP INDEX t.ByName", "t", "ByName"},
        {"DROP INDEX data\\t.ByName", "data\\t", "ByName"},
        {"DROP INDEX IF EXISTS \"C:\\Data\\Files.DAT\".PRIMARY", "C:\\Data\\Files.DAT", "PRIMARY"},
    };
    for (const auto& c : cases) {
        auto statement = Parse(c.Sql);
        EXPECT_EQ(Master(statement)->Kind, skDropIndex) << c.Sql;
        EXPECT_EQ(Master(statement)->TargetTableName, c.Table) << c.Sql;
        EXPECT_EQ(Master(statement)->IndexName, c.Index) << c.Sql;
    }
}

}  // namespace
}  // namespace dbsql
