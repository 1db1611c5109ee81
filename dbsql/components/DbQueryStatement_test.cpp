// The query component running statements that return no rows.

#include <gtest/gtest.h>

#include "dbsql/components/DbQuery.h"
#include "dbsql/components/DbTable.h"
#include "dbsql/testsupport/DbTestTable.h"

using namespace dbsql;
using namespace framework;

namespace {

struct QueryStatements : dbsql::testsupport::SessionFixture {
    void SetUp() override {
        SessionFixture::SetUp();
        testsupport::CreateTestTable(
            "D:\\", "C_CAT", {{"VolumeLabel", dbengine::fldString, 0, 11}, {"Size", dbengine::fldInteger}},
            0);
        TDbTable table;
        table.SetDatabaseName("D:\\");
        table.SetTableName("C_CAT");
        table.Open();
        for (int i = 0; i < 30; ++i) table.AppendRecord({Variant(i % 3 == 0 ? "OLD" : "KEEP"), Variant(i)});
        table.Close();
    }

    int Count(const std::string& label) {
        TDbQuery q;
        q.SetDatabaseName("D:\\");
        q.SetSQL("Select * From \"C_CAT\" Where VolumeLabel = '" + label + "'");
        q.Open();
        const int count = q.RecordCount();
        q.Close();
        return count;
    }
};

TEST_F(QueryStatements, AnUpdateOrDeleteLeavesTheQueryClosedUnpreparedAndTheDatabaseReleased) {
    struct TCase {
        const char* Sql;
        int32_t Rows;
        int Old, New;
    };
    const TCase cases[] = {
        {"Update \"C_CAT\" Set VolumeLabel=\"NEW\" Where (VolumeLabel=\"OLD\")", 10, 0, 10},
        {"Delete From \"C_CAT\" Where (VolumeLabel=\"NEW\") And Size > 10", 6, 0, 4},
        {"Update \"C_CAT\" Set Size = 0 Where (VolumeLabel=\"NONE\")", 0, 0, 4},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Sql);
        TDbQuery q;
        q.SetDatabaseName("D:\\");
        q.SetSQL(c.Sql);
        q.ExecuteStatement();
        EXPECT_EQ(q.RowsAffected(), c.Rows);
        EXPECT_FALSE(q.Active());
        EXPECT_FALSE(q.Prepared());
        EXPECT_EQ(q.DBFlags(), 0);
        EXPECT_EQ(Count("OLD"), c.Old);
        EXPECT_EQ(Count("NEW"), c.New);
    }
    // Nothing holds the table: it can be taken exclusively.
    TDbTable table;
    table.SetDatabaseName("D:\\");
    table.SetTableName("C_CAT");
    table.SetExclusive(true);
    table.Open();
    EXPECT_EQ(table.RecordCount(), 24);
    table.Close();
}

}  // namespace
