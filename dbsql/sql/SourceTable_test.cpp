#include "dbsql/sql/SourceTable.h"

#include <gtest/gtest.h>

#include "dbengine/session/DataDirectory.h"
#include "dbengine/session/DataSession.h"
#include "dbsql/sql/QueryStatement.h"

namespace dbsql {
namespace {

struct NameCase {
    const char* Text;
    bool InMemory;
    const char* Database;
    const char* Table;
};

TEST(SourceTableNameTest, TextSplitsIntoDatabaseAndTable) {
    dbengine::TDataSession session(false);
    dbengine::TDataDirectory database(&session);
    database.Directory = "D:\\Catalogs\\";
    TQueryStatement statement(&database);
    const NameCase cases[] = {
        {"C:\\Data\\Disks.DAT", false, "C:\\Data", "Disks"},
        {"C:/Data/Disks.dat", false, "C:\\Data", "Disks"},
        {"C:\\Data\\\\Disks", false, "C:\\Data", "Disks"},
        {"D:Disks.Dat", false, "D:", "Disks"},
        {"Disks.DAT", false, "D:\\Catalogs\\", "Disks"},
        {"Disks.Data", false, "D:\\Catalogs\\", "Disks.Data"},
        {"Disks", false, "D:\\Catalogs\\", "Disks"},
        {"Temp\\New.DAT", true, "Memory", "New"},
        {"", false, "", ""},
    };
    for (const NameCase& c : cases) {
        TSourceTable table(statement.MasterQuery);
        table.InMemory = c.InMemory;
        table.SetTableName(c.Text);
        EXPECT_EQ(table.DatabaseName, c.Database) << c.Text;
        EXPECT_EQ(table.TableName, c.Table) << c.Text;
        EXPECT_EQ(table.CorrelationName, c.Table) << c.Text;
    }
}

TEST(SourceTableNameTest, LongNamesAreKeptWhole) {
    TQueryStatement statement;
    TSourceTable table(statement.MasterQuery);
    const std::string longName(300, 'N');
    table.SetTableName("C:\\Data\\" + longName + ".DAT");
    EXPECT_EQ(table.TableName, longName);
}

TEST(SourceTableNameTest, ServerSideSessionsUseDatabaseNames) {
    dbengine::TDataSession session(true);
    dbengine::TDataDirectory database(&session);
    database.DatabaseName = "Catalogs";
    TQueryStatement statement(&database);
    TSourceTable plain(statement.MasterQuery), withFolder(statement.MasterQuery);
    plain.SetTableName("Disks");
    EXPECT_EQ(plain.DatabaseName, "Catalogs");
    withFolder.SetTableName("\\\\Other\\Disks");
    EXPECT_EQ(withFolder.DatabaseName, "Other");
}

TEST(SourceTableNameTest, RepeatedNameOrOpenCursorChangesNothing) {
    TQueryStatement statement;
    TSourceTable table(statement.MasterQuery);
    table.SetTableName("Disks");
    table.SetCorrelationName("D");
    table.DatabaseName = "kept";
    table.SetTableName("Disks");  // the same text as the table name: nothing happens
    EXPECT_EQ(table.DatabaseName, "kept");
    EXPECT_EQ(table.CorrelationName, "D");

    // Naming never touches the cursor; any non-null cursor marks the table as open.
    alignas(16) static unsigned char openCursor[16];
    table.Cursor = reinterpret_cast<dbengine::TDataCursor*>(openCursor);
    table.SetTableName("C:\\Other\\Files");
    table.SetCorrelationName("F");
    table.Cursor = nullptr;
    EXPECT_EQ(table.TableName, "Disks");
    EXPECT_EQ(table.DatabaseName, "kept");
    EXPECT_EQ(table.CorrelationName, "D");
}

}  // namespace
}  // namespace dbsql
