// A remote session against a test database server: start with the login asked of the session's
// handler or of the installed dialog, a table read through the server, a query the server runs,
// and the stop.

#include <gtest/gtest.h>

#include "dbengine/remote/RemoteClient.h"
#include "dbengine/session/DataSession.h"
#include "dbsql/components/DbQuery.h"
#include "dbsql/components/DbSession.h"
#include "dbsql/testsupport/DbTestTable.h"
#include "dbsql/testsupport/RemoteSqlServer.h"
#include "framework/data/RemoteLogin.h"

using namespace dbsql;
using dbsql::testsupport::CreateTestTable;
using dbsql::testsupport::TTestTable;

namespace {

struct RemoteSession : dbsql::testsupport::SessionFixture {
    void SetUp() override {
        SessionFixture::SetUp();
        CreateTestTable("D:\\", "Parts", {{"Name", 1, 0, 20}, {"Count", 6}}, 1);
        Served = DefaultSession().OpenDatabase("D:\\");
        Server = std::make_unique<dbsql::testsupport::TRemoteSqlServer>(Served->Handle(), 31100);
        Remote = new TDbSession(nullptr);
        Remote->SetSessionName("Remote");
        Remote->SetSessionType(stRemote);
        Remote->SetRemotePort(Server->Port());
        Remote->SetRemoteUser("user");
        Remote->SetRemotePassword("secret");
    }
    void TearDown() override {
        delete Remote;
        Server.reset();
        SessionFixture::TearDown();
    }
    TDbDatabase* Served = nullptr;
    std::unique_ptr<dbsql::testsupport::TRemoteSqlServer> Server;
    TDbSession* Remote = nullptr;
};

}  // namespace

TEST_F(RemoteSession, LoginAskedOfTheHandlerThenTablesComeThroughTheServer) {
    Server->EngineServer().Scripted().Configure([](auto& s) { s.LoginRejections = 1; });
    int asked = 0;
    Remote->OnRemoteLogin = [&](TDbSession* sender, std::string& user, std::string& password, bool& goOn) {
        EXPECT_EQ(sender, Remote);
        EXPECT_TRUE(goOn);
        ++asked;
        user = "other";
        password = "again";
    };
    std::vector<std::string> traced;
    Remote->OnRemoteTrace = [&](TDbSession*, const std::string& m) { traced.push_back(m); };
    Remote->SetRemoteTrace(true);
    Remote->Open();
    EXPECT_FALSE(traced.empty());
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(Remote->EngineSession()->Remote);
    EXPECT_EQ(Remote->SessionType(), stRemote);

    TTestTable t;
    t.SetSessionName("Remote");
    t.SetDatabaseName("DB");
    t.TableName = "Parts";
    t.Open();
    EXPECT_EQ(t.Database()->Session(), Remote);
    EXPECT_EQ(t.Database()->RemoteDatabase(), "DB");
    t.AppendRecord({framework::Variant("Bolt"), framework::Variant(4)});
    t.AppendRecord({framework::Variant("Axle"), framework::Variant(2)});
    t.First();
    EXPECT_EQ(t.FieldByName("Name")->AsString(), "Axle");
    EXPECT_EQ(t.RecordCount(), 2);
    t.Close();
    Remote->Close();
    EXPECT_FALSE(Remote->Active());
    EXPECT_EQ(Remote->DatabaseCount(), 0);
}

TEST_F(RemoteSession, WithoutAHandlerTheInstalledLoginDialogAsksAndMayRefuse) {
    Server->EngineServer().Scripted().Configure([](auto& s) { s.LoginRejections = 3; });
    int asked = 0;
    auto old = framework::SetRemoteLoginDialog([&](std::string&, std::string&) {
        ++asked;
        return false;  // the user cancels
    });
    EXPECT_ANY_THROW(Remote->Open());
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(Remote->Active());
    framework::SetRemoteLoginDialog(old);
}

TEST_F(RemoteSession, AQueryRunsOnTheServerAndItsRowsAreRead) {
    {
        TTestTable t;
        t.SetDatabaseName("D:\\");
        t.TableName = "Parts";
        t.Open();
        t.AppendRecord({framework::Variant("Bolt"), framework::Variant(4)});
        t.AppendRecord({framework::Variant("Axle"), framework::Variant(2)});
        t.AppendRecord({framework::Variant("Gear"), framework::Variant(9)});
    }
    Remote->Open();
    TDbQuery q;
    q.SetSessionName("Remote");
    q.SetDatabaseName("DB");
    q.SetSQL("Select Name, \"Count\" From Parts Where \"Count\" > :least Order By \"Count\" Desc");
    q.Params().ParamByName("least")->SetAsInteger(3);
    q.Open();
    std::vector<std::string> names;
    for (q.First(); !q.Eof(); q.Next()) names.push_back(q.FieldByName("Name")->AsString());
    EXPECT_EQ(names, (std::vector<std::string>{"Gear", "Bolt"}));
    EXPECT_EQ(q.RowsAffected(), 2);
    // Run again with another value: the server's new rows.
    q.Close();
    q.Params().ParamByName("least")->SetAsInteger(1);
    q.Open();
    EXPECT_EQ(q.RecordCount(), 3);
    q.Close();
    Remote->Close();
}
