#include "dbengine/remote/RemoteClient.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "dbengine/os/OSLayer.h"
#include "dbengine/session/DataDirectory.h"
#include "dbengine/testsupport/RemoteTestServer.h"
#include "dbengine/util/Coding.h"
#include "dbengine/util/EngineError.h"
#include "framework/core/Exception.h"
#include "framework/testsupport/FakeTime.h"
#include "platform/Sockets.h"

namespace dbengine {
namespace {

using testing::ByteParam;
using testing::Int32Param;
using testing::Int64Param;
using testing::ParamNumber;
using testing::TRemoteTestServer;
using testing::TServerReply;
using testing::TServerRequest;
using testing::WordParam;
using Params = std::vector<std::string>;
using Bytes = std::vector<uint8_t>;

template <class F>
EDbEngineError EngineErrorOf(F f) {
    try {
        f();
    } catch (const EDbEngineError& e) {
        return e;
    }
    ADD_FAILURE() << "no engine error";
    return EDbEngineError(0);
}

// A port nothing listens on: a server takes it and goes away again.
uint16_t ClosedPort() {
    TRemoteTestServer probe;
    return probe.Port();
}

class RemoteClientTest : public ::testing::Test {
protected:
    RemoteClientTest() : Session(false), Client(InstallRemoteClient(Session)) {
        Client.RemotePort = Server.Port();
    }

    std::vector<uint16_t> Codes() const {
        std::vector<uint16_t> codes;
        for (auto& r : Server.Requests()) codes.push_back(r.Code);
        return codes;
    }

    TRemoteTestServer Server;
    TDataSession Session;
    TRemoteClient& Client;
};

TEST(RemoteClient, ConnectSendsVersionTransportAndIdentification) {
    for (bool lan : {true, false}) {
        SCOPED_TRACE(lan);
        TRemoteTestServer server;
        TDataSession session(false);
        session.SetLANMode(lan);
        TRemoteClient& client = InstallRemoteClient(session);
        client.RemotePort = server.Port();
        client.Connect();
        EXPECT_TRUE(client.Connected);
        client.Connect();  // nothing when connected
        auto requests = server.Requests();
        ASSERT_EQ(requests.size(), 1u);
        const TServerRequest& r = requests[0];
        EXPECT_EQ(r.Code, REQUEST_CONNECTPARAMS);
        EXPECT_FALSE(r.Compressed);  // the handshake travels plain whatever the transport
        std::string ident = QueryComputerName() + std::to_string(getpid());
        EXPECT_EQ(r.Params, (Params{Int64Param(32400), ByteParam(lan ? 1 : 0), ident}));
        EXPECT_EQ(r.Wire.size(), 10u + 12 + 5 + 4 + ident.size());
        EXPECT_EQ(client.ConnectionId, 7);
        EXPECT_EQ(client.GetServerVersion(), 30400);
        client.Disconnect();
        EXPECT_FALSE(client.Connected);
        EXPECT_TRUE(server.WaitForClose());
    }
}

TEST_F(RemoteClientTest, SessionParametersCarryTheLockProtocolFrom30400) {
    struct Case {
        std::optional<int64_t> version;
        int64_t seen;
        bool lockProtocol;
    };
    for (const Case& c : {Case{std::nullopt, 30300, false}, Case{30300, 30300, false},
                          Case{30400, 30400, true}, Case{31100, 31100, true}}) {
        SCOPED_TRACE(c.seen);
        TRemoteTestServer server;
        server.Configure([&](auto& s) { s.ServerVersion = c.version; });
        TDataSession session(false);
        TRemoteClient& client = InstallRemoteClient(session);
        client.RemotePort = server.Port();
        session.SetForceBufferFlush(true);
        session.SetLockRetryCount(3);
        session.SetLockWaitTime(0x1234);
        session.SetLockProtocol(lpOptimistic);
        session.SetProgressSteps(0x0102);
        client.Connect();
        EXPECT_EQ(client.GetServerVersion(), c.seen);
        client.SendSessionParams();
        auto sent = server.RequestsOf(REQUEST_SESSIONPARAMS);
        ASSERT_EQ(sent.size(), 1u);
        Params expected{ByteParam(1), ByteParam(0), ByteParam(3), WordParam(0x1234)};
        if (c.lockProtocol) expected.push_back(ByteParam(1));
        expected.push_back(WordParam(0x0102));
        EXPECT_EQ(sent[0].Params, expected);
    }
}

TEST_F(RemoteClientTest, ADroppedRequestIsResentOnceAfterAReconnect) {
    Server.Configure([](auto& s) {
        s.Drops = 1;
        s.DropCode = REQUEST_OPENDATADIR;
    });
    Server.On(REQUEST_OPENDATADIR, [](const TServerRequest&) { return TServerReply::Ok({Int32Param(42)}); });
    Client.Connect();
    TDataDirectory* db = Session.OpenDataDirectory("Sales", "", false);
    ASSERT_NE(db, nullptr);
    EXPECT_EQ(db->ServerHandle, 42u);
    EXPECT_EQ(Codes(), (std::vector<uint16_t>{REQUEST_CONNECTPARAMS, REQUEST_OPENDATADIR, REQUEST_RECONNECT,
                                              REQUEST_OPENDATADIR}));
    auto requests = Server.Requests();
    EXPECT_EQ(requests[2].Connection, 2);
    EXPECT_EQ(requests[2].Params, (Params{Int64Param(32400), Int32Param(7), ByteParam(1)}));
    EXPECT_EQ(requests[3].Wire, requests[1].Wire);
    EXPECT_EQ(Client.ConnectionId, 7);
}

TEST_F(RemoteClientTest, ASecondFailureIsALostConnection) {
    Server.Configure([](auto& s) {
        s.Drops = 2;
        s.DropCode = REQUEST_ADDPASSWORD;
    });
    Client.Connect();
    EDbEngineError e = EngineErrorOf([&] { Session.AddPassword("secret"); });
    EXPECT_EQ(e.ErrorCode, DBE_REMOTECOMMLOST);
    EXPECT_EQ(std::string(e.what()),
              "Engine Error # 11276 The connection to the database server at '127.0.0.1' has been lost");
    EXPECT_EQ(e.ErrorServer, "127.0.0.1");
    EXPECT_EQ(e.SocketErrorCode, platform::WSAECONNRESET);
    EXPECT_FALSE(Client.Connected);
    EXPECT_EQ(Server.RequestsOf(REQUEST_ADDPASSWORD).size(), 2u);

    // The next operation reconnects with the same connection id.
    Session.AddPassword("secret");
    auto reconnects = Server.RequestsOf(REQUEST_RECONNECT);
    ASSERT_EQ(reconnects.size(), 2u);
    EXPECT_EQ(reconnects[1].Params[1], Int32Param(7));
    EXPECT_EQ(Server.RequestsOf(REQUEST_ADDPASSWORD).size(), 3u);
}

TEST_F(RemoteClientTest, ConnectionsThatCannotBeMadeRaise11280WithTheServerName) {
    struct Case {
        const char* what;
        std::string host;
        bool closedPort;
        uint16_t connectReply;
        uint16_t reconnectReply;
        std::string server;
    };
    const Case cases[] = {
        {"nothing listens", "", true, 0, 0, "127.0.0.1"},
        {"nothing listens at the host", "localhost", true, 0, 0, "localhost"},
        {"server refuses the connect", "", false, DBE_REMOTEMAXCONNECT, 0, "127.0.0.1"},
        {"server refuses the reconnect", "localhost", false, 0, DBE_REMOTENOLOGIN, "localhost"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TRemoteTestServer server;
        server.Configure([&](auto& s) {
            s.ConnectReplyCode = c.connectReply;
            s.ReconnectReplyCode = c.reconnectReply;
            s.Drops = 1;
            s.DropCode = REQUEST_DELALLPASSWORDS;
        });
        TDataSession session(false);
        TRemoteClient& client = InstallRemoteClient(session);
        client.RemoteHost = c.host;
        client.RemotePort = c.closedPort ? ClosedPort() : server.Port();
        EDbEngineError e = EngineErrorOf([&] {
            client.Connect();
            session.RemoveAllPasswords();  // dropped: the reconnect is refused
        });
        EXPECT_EQ(e.ErrorCode, DBE_REMOTECONNECT);
        EXPECT_EQ(std::string(e.what()), "Engine Error # 11280 A connection to the database server at '" +
                                             c.server + "' cannot be established");
        EXPECT_EQ(e.ErrorServer, c.server);
        if (c.closedPort) {
            EXPECT_EQ(e.SocketErrorCode, platform::WSAECONNREFUSED);
        }
        EXPECT_FALSE(client.Connected);
    }
}

TEST_F(RemoteClientTest, ThreeRejectedLoginsRaise11287AndDisconnect) {
    Server.Configure([](auto& s) { s.LoginRejections = 3; });
    Client.RemoteUser = "ann";
    Client.RemotePassword = "pw1";
    std::vector<std::string> offered;
    int pair = 1;
    Client.SetLoginCallback([&](std::string& user, std::string& password) {
        offered.push_back(user + "/" + password);
        ++pair;
        user = "user" + std::to_string(pair);
        password = "pw" + std::to_string(pair);
        return true;
    });
    Client.Connect();
    EDbEngineError e = EngineErrorOf([&] { Client.Login(); });
    EXPECT_EQ(e.ErrorCode, DBE_REMOTEINVLOGIN);
    EXPECT_EQ(
        std::string(e.what()),
        "Engine Error # 11287 A connection to the database server at '127.0.0.1' cannot be established, "
        "the login information provided is invalid");
    EXPECT_EQ(e.ErrorUser, "user3");
    EXPECT_FALSE(Client.Connected);
    EXPECT_FALSE(Client.LoggedIn);
    // The stored pair is cleared after each rejection before the callback is asked.
    EXPECT_EQ(offered, (std::vector<std::string>{"/", "/"}));
    auto logins = Server.RequestsOf(REQUEST_LOGIN);
    ASSERT_EQ(logins.size(), 3u);
    EXPECT_EQ(logins[0].Params, (Params{"ann", "pw1"}));
    EXPECT_EQ(logins[2].Params, (Params{"user3", "pw3"}));
}

TEST_F(RemoteClientTest, LoginOutcomes) {
    struct Case {
        const char* what;
        int rejections;
        uint16_t rejectCode;
        bool userSet;
        int callbackPairs;  // pairs the callback gives before it returns false; -1: no callback
        bool loggedIn;
        uint16_t error;  // 0: none; 1: silent abort
        size_t logins;
    };
    const Case cases[] = {
        {"accepted at once", 0, 0, true, -1, true, 0, 1},
        {"accepted at the third try", 2, DBE_REMOTEINVLOGIN, true, 5, true, 0, 3},
        {"no pair at all", 0, 0, false, -1, false, 1, 0},
        {"callback gives up", 1, DBE_REMOTEINVLOGIN, true, 0, false, 1, 1},
        {"other refusal", 1, DBE_REMOTENOLOGIN, true, 5, false, DBE_REMOTENOLOGIN, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TRemoteTestServer server;
        server.Configure([&](auto& s) {
            s.LoginRejections = c.rejections;
            s.LoginRejectCode = c.rejectCode;
        });
        TDataSession session(false);
        TRemoteClient& client = InstallRemoteClient(session);
        client.RemotePort = server.Port();
        if (c.userSet) {
            client.RemoteUser = "ann";
            client.RemotePassword = "pw";
        }
        int left = c.callbackPairs;
        if (c.callbackPairs >= 0)
            client.SetLoginCallback([&](std::string& user, std::string& password) {
                if (left-- == 0) return false;
                user = "bob";
                password = "pw";
                return true;
            });
        client.Connect();
        if (c.error == 0) {
            client.Login();
        } else if (c.error == 1) {
            EXPECT_THROW(client.Login(), framework::EAbort);
        } else {
            EDbEngineError e = EngineErrorOf([&] { client.Login(); });
            EXPECT_EQ(e.ErrorCode, c.error);
            EXPECT_EQ(e.ErrorServer, "127.0.0.1");
        }
        EXPECT_EQ(client.LoggedIn, c.loggedIn);
        EXPECT_EQ(client.Connected, c.loggedIn);
        EXPECT_EQ(server.RequestsOf(REQUEST_LOGIN).size(), c.logins);
    }
}

TEST_F(RemoteClientTest, ErrorRepliesAreRaisedWithTheServerNameAndTheirStrings) {
    Client.RemoteHost = "localhost";
    Server.On(REQUEST_OPENDATADIR, [](const TServerRequest&) {
        return TServerReply::Error(DBE_REMOTENODB,
                                   {"bob", "Sales", "CUSTOMER", "Name", "ByName", "not found"});
    });
    Client.Connect();
    EDbEngineError e = EngineErrorOf([&] { Session.OpenDataDirectory("Sales", "", false); });
    EXPECT_EQ(e.ErrorCode, DBE_REMOTENODB);
    EXPECT_EQ(
        std::string(e.what()),
        "Engine Error # 11294 The database 'Sales' does not exist on the database server at 'localhost'");
    EXPECT_EQ(e.ErrorServer, "localhost");
    EXPECT_EQ(e.ErrorUser, "bob");
    EXPECT_EQ(e.ErrorDatabase, "Sales");
    EXPECT_EQ(e.ErrorTable, "CUSTOMER");
    EXPECT_EQ(e.ErrorField, "Name");
    EXPECT_EQ(e.ErrorIndex, "ByName");
    EXPECT_EQ(e.ErrorContext, "not found");
    EXPECT_TRUE(Session.Databases.empty());
    EXPECT_TRUE(Client.Connected);  // an error reply is an answer, not a failure of the connection

    // Strings beyond a context string's 255 characters are cut.
    Server.On(REQUEST_OPENDATADIR, [](const TServerRequest&) {
        return TServerReply::Error(DBE_REMOTEDUPUSER, {std::string(300, 'u'), "", "", "", "", ""});
    });
    e = EngineErrorOf([&] { Session.OpenDataDirectory("Sales", "", false); });
    EXPECT_EQ(e.ErrorUser, std::string(255, 'u'));
}

TEST_F(RemoteClientTest, MalformedRepliesRaise15002) {
    Bytes longParam = {18, 0, 0, 0, 0, 0, 8, 0, 0, 0, 100, 0, 0, 0, 1, 2, 3, 4};
    Server.On(REQUEST_OPENDATADIR, [&](const TServerRequest&) {
        TServerReply r;
        r.Raw = longParam;
        return r;
    });
    Client.Connect();
    EDbEngineError e = EngineErrorOf([&] { Session.OpenDataDirectory("Sales", "", false); });
    EXPECT_EQ(e.ErrorCode, DBE_UNCOMPRESS);
    EXPECT_TRUE(Session.Databases.empty());
    // The reply was read whole, so the connection still serves the next request.
    EXPECT_TRUE(Client.Connected);
    Session.AddPassword("pw");

    // A reply too long to be true is not waited for: the stream cannot be followed any more.
    Server.On(REQUEST_OPENDATADIR, [&](const TServerRequest&) {
        TServerReply r;
        r.Raw = Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0, 0};
        return r;
    });
    e = EngineErrorOf([&] { Session.OpenDataDirectory("Sales", "", false); });
    EXPECT_EQ(e.ErrorCode, DBE_UNCOMPRESS);
    EXPECT_FALSE(Client.Connected);
}

TEST_F(RemoteClientTest, ACompressedBodyThatDoesNotInflateRaises15002AfterOneRetry) {
    Session.SetLANMode(false);
    Server.On(REQUEST_TABLEEXISTS, [](const TServerRequest&) {
        TServerReply r;
        r.Raw = Bytes{15, 0, 0, 0, 0, 0, 5, 0, 0, 0, 'j', 'u', 'n', 'k', '!'};
        return r;
    });
    Client.Connect();
    EDbEngineError e = EngineErrorOf([&] { Client.TableExists(1, "A.DAT", false); });
    EXPECT_EQ(e.ErrorCode, DBE_UNCOMPRESS);
    EXPECT_EQ(Server.RequestsOf(REQUEST_TABLEEXISTS).size(), 2u);
    EXPECT_EQ(Server.ConnectionsAccepted(), 2);
}

TEST_F(RemoteClientTest, InternetModeCompressesBodiesBothWays) {
    Session.SetLANMode(false);
    Server.On(REQUEST_TABLEEXISTS, [](const TServerRequest&) { return TServerReply::Ok({ByteParam(1)}); });
    Client.Connect();
    EXPECT_TRUE(Client.TableExists(42, "CUSTOMER.DAT", true));
    auto r = Server.RequestsOf(REQUEST_TABLEEXISTS);
    ASSERT_EQ(r.size(), 1u);
    EXPECT_TRUE(r[0].Compressed);
    EXPECT_EQ(r[0].Params, (Params{Int32Param(42), "CUSTOMER.DAT", ByteParam(1)}));
    EXPECT_EQ(GetUInt32(r[0].Wire.data() + 6), r[0].Wire.size() - 10);
    EXPECT_EQ(r[0].Wire[10], 0x78);
    // A reconnect's handshake goes plain again, the resent request compressed.
    Server.Configure([](auto& s) {
        s.Drops = 1;
        s.DropCode = REQUEST_TABLEEXISTS;
    });
    EXPECT_TRUE(Client.TableExists(42, "CUSTOMER.DAT", true));
    auto all = Server.Requests();
    ASSERT_EQ(all.size(), 5u);
    EXPECT_EQ(all[3].Code, REQUEST_RECONNECT);
    EXPECT_FALSE(all[3].Compressed);
    EXPECT_EQ(all[3].Params[2], ByteParam(0));
    EXPECT_TRUE(all[4].Compressed);
}

TEST_F(RemoteClientTest, LargeMessagesTravelInPiecesBothWays) {
    for (bool lan : {true, false}) {
        SCOPED_TRACE(lan);
        TRemoteTestServer server;
        server.On(REQUEST_GETBLOB,
                  [](const TServerRequest& r) { return TServerReply::Ok({r.Params.at(0)}); });
        TDataSession session(false);
        session.SetLANMode(lan);
        TRemoteClient& client = InstallRemoteClient(session);
        client.RemotePort = server.Port();
        std::string big(300000, '\0');
        for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>((i * 131) >> 3);
        client.Connect();
        client.SetRequestCode(REQUEST_GETBLOB);
        client.BeginRequest();
        client.AddRequestParam(big);
        client.FinishRequest();
        client.SendAndReceive();
        client.CheckReplyError();
        EXPECT_TRUE(client.ReadReplyString(big.size()) == big);
        EXPECT_EQ(client.GetReply().TotalLength(), 10u + 4 + big.size());
    }
}

TEST_F(RemoteClientTest, SessionAndDatabaseOperationsSendTheirRequests) {
    Server.On(REQUEST_OPENDATADIR, [](const TServerRequest&) { return TServerReply::Ok({Int32Param(42)}); });
    Server.On(REQUEST_TABLEEXISTS, [](const TServerRequest&) { return TServerReply::Ok({ByteParam(0)}); });
    Client.Connect();
    Session.AddPassword("Pw");
    Session.RemovePassword("Pw");
    Session.RemoveAllPasswords();
    EXPECT_TRUE(Session.Passwords.empty());  // a remote session keeps no list of its own
    TDataDirectory* db = Session.OpenDataDirectory("Sales", "", false);
    EXPECT_EQ(Session.OpenDataDirectory(" SALES ", "", false), db);  // found by name: no request
    EXPECT_EQ(db->UseCount, 2);
    EXPECT_EQ(db->Directory, "");
    TDataDirectory* local = Session.OpenDataDirectory("Results", "", true);
    EXPECT_EQ(local->ServerHandle, 0u);
    EXPECT_FALSE(Client.TableExists(db->ServerHandle, "CUSTOMER.DAT", false));
    Client.StartTransaction(db->ServerHandle);
    Client.Commit(db->ServerHandle, true, false);
    Client.Rollback(db->ServerHandle);
    Session.CloseDataDirectory(db, false);
    Session.CloseDataDirectory(db, false);
    Session.CloseDataDirectory(local, true);
    EXPECT_TRUE(Session.Databases.empty());

    struct Expected {
        uint16_t code;
        Params params;
    };
    const Expected expected[] = {
        {REQUEST_CONNECTPARAMS, {}},
        {REQUEST_ADDPASSWORD, {"Pw"}},
        {REQUEST_DELPASSWORD, {"Pw"}},
        {REQUEST_DELALLPASSWORDS, {}},
        {REQUEST_OPENDATADIR, {"Sales"}},
        {REQUEST_TABLEEXISTS, {Int32Param(42), "CUSTOMER.DAT", ByteParam(0)}},
        {REQUEST_STARTTXN, {Int32Param(42)}},
        {REQUEST_COMMITTXN, {Int32Param(42), ByteParam(1), ByteParam(0)}},
        {REQUEST_ROLLBACKTXN, {Int32Param(42)}},
        {REQUEST_CLOSEDATADIR, {Int32Param(42)}},
    };
    auto requests = Server.Requests();
    ASSERT_EQ(requests.size(), std::size(expected));
    for (size_t i = 1; i < requests.size(); ++i) {
        SCOPED_TRACE(GetRemoteRequestName(expected[i].code));
        EXPECT_EQ(requests[i].Code, expected[i].code);
        EXPECT_EQ(requests[i].Params, expected[i].params);
    }
}

TEST_F(RemoteClientTest, AFailedCloseStillFreesTheDatabase) {
    Server.On(REQUEST_OPENDATADIR, [](const TServerRequest&) { return TServerReply::Ok({Int32Param(5)}); });
    Server.On(REQUEST_CLOSEDATADIR,
              [](const TServerRequest&) { return TServerReply::Error(DBE_REMOTENODB); });
    Client.Connect();
    TDataDirectory* db = Session.OpenDataDirectory("Sales", "", false);
    Session.CloseDataDirectory(db, false);
    EXPECT_TRUE(Session.Databases.empty());
    EXPECT_EQ(Server.RequestsOf(REQUEST_CLOSEDATADIR).size(), 1u);
}

TEST_F(RemoteClientTest, SettingsReachTheServerOnlyWhenChangedWhileLoggedIn) {
    Server.Configure([](auto& s) { s.ServerVersion.reset(); });  // 30300: no lock protocol
    Client.RemoteUser = "ann";
    Client.RemotePassword = "pw";
    Session.SetLockWaitTime(250);  // not logged in yet: kept, not sent
    Client.Connect();
    Client.Login();
    Session.SetLockWaitTime(250);
    Session.SetLockProtocol(lpOptimistic);
    EXPECT_EQ(Server.RequestsOf(REQUEST_SESSIONPARAMS).size(), 0u);
    Session.SetLockWaitTime(300);
    Session.SetProgressSteps(10);
    auto sent = Server.RequestsOf(REQUEST_SESSIONPARAMS);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[1].Params,
              (Params{ByteParam(0), ByteParam(0), ByteParam(15), WordParam(300), WordParam(10)}));
    // Switching the transport while connected changes nothing.
    Session.SetLANMode(false);
    EXPECT_TRUE(Session.LANMode);
}

TEST_F(RemoteClientTest, LogoutSendsAndDisconnectsWithoutWaitingForAReply) {
    Client.RemoteUser = "ann";
    Client.RemotePassword = "pw";
    Client.Connect();
    Client.Login();
    EXPECT_TRUE(Client.LoggedIn);
    Client.Logout();
    EXPECT_FALSE(Client.LoggedIn);
    EXPECT_FALSE(Client.Connected);
    ASSERT_TRUE(Server.WaitForRequests(3));
    auto logout = Server.RequestsOf(REQUEST_LOGOUT);
    ASSERT_EQ(logout.size(), 1u);
    EXPECT_EQ(logout[0].Wire, (Bytes{10, 0, 0, 0, 2, 0, 0, 0, 0, 0}));
    Client.Logout();  // nothing when not connected
    EXPECT_TRUE(Server.WaitForClose());
}

TEST_F(RemoteClientTest, TraceMessagesReadExactly) {
    framework::TFakeTime time(45000.0, 1000);
    std::vector<std::string> lines;
    Client.RemoteTrace = true;
    Client.SetTraceCallback([&](const std::string& m) {
        lines.push_back(m);
        throw std::runtime_error("a failing trace changes nothing");
    });
    Server.On(REQUEST_OPENDATADIR, [](const TServerRequest&) { return TServerReply::Error(DBE_REMOTENODB); });
    Server.Configure([](auto& s) {
        s.Drops = 1;
        s.DropCode = REQUEST_DELALLPASSWORDS;
    });
    Client.Connect();
    Session.RemoveAllPasswords();
    EXPECT_THROW(Session.OpenDataDirectory("Sales", "", false), EDbEngineError);
    std::string ident = QueryComputerName() + std::to_string(getpid());
    std::string port = std::to_string(Server.Port());
    const std::vector<std::string> expected = {
        "Connection to port " + port + " at host 127.0.0.1 completed in 0 msecs",
        "Send request - Code: REQUEST_CONNECTPARAMS Size: " + std::to_string(31 + ident.size()) +
            " Total Time: 0 msecs",
        "Receive reply - Code: DBE_NONE Size: 30 Total Time: 0 msecs",
        "Send request - Code: REQUEST_DELALLPASSWORDS Size: 10 Total Time: 0 msecs",
        "Re-connection to port " + port + " at host 127.0.0.1 completed in 0 msecs",
        "Send request - Code: REQUEST_RECONNECT Size: 35 Total Time: 0 msecs",
        "Receive reply - Code: DBE_NONE Size: 10 Total Time: 0 msecs",
        "Send request - Code: REQUEST_DELALLPASSWORDS Size: 10 Total Time: 0 msecs",
        "Receive reply - Code: DBE_NONE Size: 10 Total Time: 0 msecs",
        "Send request - Code: REQUEST_OPENDATADIR Size: 19 Total Time: 0 msecs",
        "Receive reply - Code: DBE_REMOTENODB Size: 34 Total Time: 0 msecs",
    };
    EXPECT_EQ(lines, expected);
}

TEST_F(RemoteClientTest, TraceOfAConnectionByServiceName) {
    // A service of the system's list whose port is free here: the server takes that port.
    std::unique_ptr<TRemoteTestServer> server;
    std::string service;
    for (const char* candidate : {"svn", "postgresql", "mysql", "mysql-proxy", "x11"}) {
        int32_t port = platform::LookupServicePort(candidate);
        if (port <= 0) continue;
        try {
            server = std::make_unique<TRemoteTestServer>(static_cast<uint16_t>(port));
            service = candidate;
            break;
        } catch (const std::runtime_error&) {
        }
    }
    if (!server) GTEST_SKIP() << "no listed service port is free";
    framework::TFakeTime time(45000.0, 1000);
    std::vector<std::string> lines;
    Client.RemoteTrace = true;
    Client.SetTraceCallback([&](const std::string& m) { lines.push_back(m); });
    Client.RemoteHost = "localhost";
    Client.RemoteService = service;
    Client.RemotePort = 1;  // ignored when a service is named
    server->Configure([](auto& s) {
        s.Drops = 1;
        s.DropCode = REQUEST_DELALLPASSWORDS;
    });
    Client.Connect();
    Session.RemoveAllPasswords();
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[0], "Connection to service " + service + " at host localhost completed in 0 msecs");
    EXPECT_EQ(lines[4], "Re-connection to service " + service + " at host localhost completed in 0 msecs");
    EXPECT_EQ(server->RequestsOf(REQUEST_CONNECTPARAMS).size(), 1u);
    // The client closes first, so the fixed port is free again at once for the next run.
    Client.Disconnect();
    EXPECT_TRUE(server->WaitForClose());
}

}  // namespace
}  // namespace dbengine

namespace dbengine {
namespace {

TEST(RemoteClient, DestroyingTheSessionClosesItsConnection) {
    testing::TRemoteTestServer server;
    {
        TDataSession session(false);
        TRemoteClient& client = InstallRemoteClient(session);
        EXPECT_TRUE(session.Remote);
        EXPECT_EQ(&InstallRemoteClient(session), &client);  // installed once
        client.RemotePort = server.Port();
        client.Connect();
        EXPECT_TRUE(session.RemoteLink->IsConnected());
    }
    EXPECT_TRUE(server.WaitForClose());
}

}  // namespace
}  // namespace dbengine
