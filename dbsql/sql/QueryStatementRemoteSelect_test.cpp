// Statements over a remote session against a server that runs them on its own tables: the rows a
// SELECT gives through the server are the rows it gives here.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "dbengine/cursor/DataCursor.h"
#include "dbengine/remote/RemoteClient.h"
#include "dbengine/session/DataDirectory.h"
#include "dbengine/session/DataSession.h"
#include "dbengine/testsupport/Descriptors.h"
#include "dbsql/sql/QueryStatement.h"
#include "dbsql/testsupport/RemoteSqlServer.h"
#include "dbsql/testsupport/SqlTableTest.h"

namespace dbsql {
namespace {

using dbengine::testsupport::Field;
using dbengine::testsupport::Index;

class RemoteSelectTest : public SqlTableTest, public ::testing::WithParamInterface<int64_t> {
protected:
    void SetUp() override {
        SqlTableTest::SetUp();
        MakeTable("Parts",
                  {Field(1, "Name", dbengine::fldString, 12), Field(2, "Qty", dbengine::fldInteger),
                   Field(3, "Notes", dbengine::fldBlob, 0, dbengine::fldstMemo)},
                  Index("", {1}, true), {Index("ByCount", {2})},
                  {{"bolt", "4", "zinc"},
                   {"axle", "2", std::nullopt},
                   {"gear", "9", "brass"},
                   {"nut", "4", std::nullopt}});
        Server = std::make_unique<testsupport::TRemoteSqlServer>(Database, GetParam());
        Client.RemotePort = Server->Port();
        Client.Connect();
        Remote = Session.OpenDataDirectory("Stock", "", false);
    }
    void TearDown() override {
        Session.CloseAllDataDirectories();
        Client.Disconnect();
        Server.reset();
        SqlTableTest::TearDown();
    }

    // Rows of the text run through the server; inspect sees the statement with its result open.
    TRows RunRemote(const std::string& sql, bool live = false,
                    const std::function<void(TQueryStatement&, dbengine::TDataCursor&)>& inspect = {}) {
        TQueryStatement statement(Remote);
        statement.RequestLive = live;
        statement.PrepareSQL(sql);
        dbengine::TDataCursor* cursor = statement.ExecuteSQL();
        EXPECT_NE(cursor, nullptr) << sql;
        if (cursor == nullptr) return {};
        TRows rows = ReadRows(*cursor);
        if (inspect) inspect(statement, *cursor);
        return rows;
    }

    std::unique_ptr<testsupport::TRemoteSqlServer> Server;
    dbengine::TDataSession Session{false};
    dbengine::TRemoteClient& Client = dbengine::InstallRemoteClient(Session);
    dbengine::TDataDirectory* Remote = nullptr;
};

TEST_P(RemoteSelectTest, ASelectThroughTheServerGivesTheLocalRows) {
    const std::vector<std::string> texts = {
        "Select * From Parts",
        "Select Name, Qty From Parts Where Qty = 4 Order By Name DESC",
        "Select Qty, COUNT(*) As N From Parts Group By Qty",
        "Select Name, Notes From Parts Where Notes Is Not Null",
        "Select Name From Parts Where Qty > 3 Union Select Name From Parts Where Qty < 3",
    };
    for (const std::string& sql : texts) {
        for (const bool live : {false, true}) {
            try {
                const TRows local = Run(sql, {}, [&](TQueryStatement& s) { s.RequestLive = live; });
                EXPECT_FALSE(local.empty()) << sql;
                EXPECT_EQ(RunRemote(sql, live), local) << sql << (live ? " (live)" : "");
            } catch (const std::exception& e) {
                ADD_FAILURE() << sql << (live ? " (live): " : ": ") << e.what();
            }
        }
    }
}

TEST_P(RemoteSelectTest, TheResultKeepsTheNamesAndTheLiveRoadOfTheLocalOne) {
    std::vector<std::string> localNames;
    bool localLive = false;
    Run("Select Name, Qty * 2 As Twice From Parts Order By Name",
        [&](TQueryStatement& s, dbengine::TDataCursor& c) {
            localNames = Names(c);
            localLive = s.LiveResult;
        });
    RunRemote("Select Name, Qty * 2 As Twice From Parts Order By Name", false,
              [&](TQueryStatement& s, dbengine::TDataCursor& c) {
                  EXPECT_EQ(Names(c), localNames);
                  EXPECT_EQ(s.LiveResult, localLive);
                  EXPECT_EQ(s.RemoteResultDatabaseName, "Remote_Query");
                  EXPECT_EQ(c.GetRecordCount(), 4);
              });
    // All fields of one table in key order: the result is the table itself, in its database.
    RunRemote("Select * From Parts", true, [&](TQueryStatement& s, dbengine::TDataCursor& c) {
        EXPECT_TRUE(s.LiveResult);
        EXPECT_EQ(s.RemoteResultDatabaseName, GetParam() >= 30600 ? "Stock" : "Remote_Query");
        EXPECT_EQ(Names(c), (std::vector<std::string>{"Name", "Qty", "Notes"}));
    });
}

TEST_P(RemoteSelectTest, AStatementRunAgainGivesItsNewRows) {
    TQueryStatement statement(Remote);
    statement.PrepareSQL("Select Name From Parts Where Qty = 4 Order By Name");
    dbengine::TDataCursor* cursor = statement.ExecuteSQL();
    ASSERT_NE(cursor, nullptr);
    EXPECT_EQ(ReadRows(*cursor), (TRows{"bolt", "nut"}));
    Execute("Update Parts Set Qty = 4 Where Name = 'axle'");
    cursor = statement.ExecuteSQL();
    ASSERT_NE(cursor, nullptr);
    EXPECT_EQ(ReadRows(*cursor), (TRows{"axle", "bolt", "nut"}));
    EXPECT_EQ(statement.RowsAffected, 3);
}

TEST_P(RemoteSelectTest, AScriptGivesTheRowsOfItsLastSelect) {
    TQueryStatement statement(Remote);
    statement.PrepareSQL(
        "Update Parts Set Qty = 7 Where Name = 'nut'; Select Name, Qty From Parts Where Qty > 5 Order By "
        "Qty");
    EXPECT_EQ(statement.Kind, skUpdate);
    dbengine::TDataCursor* cursor = statement.ExecuteSQL();
    EXPECT_EQ(statement.Kind, skSelect);
    ASSERT_NE(cursor, nullptr);
    EXPECT_EQ(ReadRows(*cursor), (TRows{"nut|7", "gear|9"}));
    // A script that ends in another kind gives no cursor.
    TQueryStatement other(Remote);
    other.PrepareSQL("Select * From Parts; Delete From Parts Where Name = 'nut'");
    EXPECT_EQ(other.ExecuteSQL(), nullptr);
    EXPECT_EQ(other.RowsAffected, 5);
}

INSTANTIATE_TEST_SUITE_P(ServerVersions, RemoteSelectTest, ::testing::Values(30400, 30600, 30900, 31100));

}  // namespace
}  // namespace dbsql
