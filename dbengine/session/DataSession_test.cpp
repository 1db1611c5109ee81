#include "dbengine/session/DataSession.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dbengine/session/DataDirectory.h"
#include "dbengine/session/Engine.h"
#include "dbengine/util/EngineError.h"

namespace dbengine {
namespace {

TEST(EngineStartTest, SessionBeforeStartRaisesNotInitialized) {
    FinalizeEngine();
    try {
        GetEngineSession();
        FAIL() << "did not raise";
    } catch (const EDbEngineError& e) {
        EXPECT_EQ(e.ErrorCode, DBE_NOTINITIALIZED);
        EXPECT_EQ(e.Message, "Engine Error # 10758 The database engine is not initialized");
        EXPECT_EQ(e.ErrorTable, "");
    }
    InitializeEngine();
    TDataSession* first = GetEngineSession();
    ASSERT_NE(first, nullptr);
    EXPECT_FALSE(first->ServerSide);
    InitializeEngine();  // a second start does nothing
    EXPECT_EQ(GetEngineSession(), first);

    TDataSession* other = nullptr;
    CreateEngineSession(other, false);
    SetEngineSession(other);
    EXPECT_EQ(GetEngineSession(), other);
    SetEngineSession(first);
    FreeEngineSession(other);
    FreeEngineSession(nullptr);

    FinalizeEngine();
    EXPECT_FALSE(IsEngineInitialized());
    EXPECT_THROW(GetEngineSession(), EDbEngineError);
    FinalizeEngine();  // nothing when not started
}

TEST(DataSessionTest, Defaults) {
    TDataSession s(false);
    EXPECT_EQ(s.ProgressSteps, 20);
    EXPECT_EQ(s.LockRetryCount, 15);
    EXPECT_EQ(s.LockWaitTime, 100);
    EXPECT_EQ(s.LockProtocol, lpPessimistic);
    EXPECT_FALSE(s.ForceBufferFlush);
    EXPECT_FALSE(s.StrictChangeDetection);
    EXPECT_EQ(s.DataBufferSize, 16384);
    EXPECT_EQ(s.MaxDataBufferRecords, 8192);
    EXPECT_EQ(s.IndexBufferSize, 16384);
    EXPECT_EQ(s.BlobBufferSize, 32768);
    EXPECT_EQ(s.MaxBlobBufferBlocks, 8192);
    ASSERT_FALSE(s.StartDirectory.empty());
    EXPECT_EQ(s.StartDirectory.back(), '\\');
    EXPECT_FALSE(s.PrivateDir.empty());
}

// The server-side hooks answer through their callbacks and leave the answer alone without one.
TEST(DataSessionTest, DirectoryAndFlagHooks) {
    TDataSession s(false);
    std::string directory = "unchanged";
    bool flag = false;
    s.DoGetMemoryDirectory(directory);
    s.DoGetDatabaseDirectory("Sales", directory);
    s.DoGetDatabaseFlag("Sales", flag);
    EXPECT_EQ(directory, "unchanged");
    EXPECT_FALSE(flag);

    std::vector<std::string> asked;
    s.OnGetMemoryDirectory = [&](std::string& d, int maxLength) {
        asked.push_back("memory " + std::to_string(maxLength));
        d = "M:\\";
    };
    s.OnGetDatabaseDirectory = [&](const std::string& name, std::string& d, int maxLength) {
        asked.push_back(name + " " + std::to_string(maxLength));
        d = "D:\\" + name;
    };
    s.OnGetDatabaseFlag = [&](const std::string& name, bool& f) { f = name == "Sales"; };
    s.DoGetMemoryDirectory(directory, 80);
    EXPECT_EQ(directory, "M:\\");
    s.DoGetDatabaseDirectory("Sales", directory);
    EXPECT_EQ(directory, "D:\\Sales");
    s.DoGetDatabaseFlag("Sales", flag);
    EXPECT_TRUE(flag);
    s.DoGetDatabaseFlag("Stock", flag);
    EXPECT_FALSE(flag);
    EXPECT_EQ(asked, (std::vector<std::string>{"memory 80", "Sales 255"}));
}

TEST(DataSessionTest, ProgressIncrement) {
    const std::pair<uint16_t, uint16_t> cases[] = {{20, 5}, {0, 100}, {3, 33}, {1, 100}, {100, 1}, {200, 0}};
    TDataSession s(false);
    for (auto [steps, increment] : cases) {
        s.SetProgressSteps(steps);
        EXPECT_EQ(s.GetProgressIncrement(), increment) << steps;
    }
}

TEST(DataSessionTest, PrivateDirIsTrimmedAndEndsWithBackslash) {
    TDataSession s(false);
    s.SetPrivateDir("  C:\\Work\\Temp   ");
    EXPECT_EQ(s.PrivateDir, "C:\\Work\\Temp\\");
    EXPECT_EQ(s.GetTempDirectory(), "C:\\Work\\Temp\\");
    s.SetPrivateDir("D:\\X\\");
    EXPECT_EQ(s.PrivateDir, "D:\\X\\");
    s.SetPrivateDir("");
    EXPECT_EQ(s.PrivateDir, "");
    EXPECT_EQ(s.GetTempDirectory(), s.StartDirectory);
}

TEST(DataSessionTest, MemoryDatabaseIsSharedAndFreedAtLastClose) {
    TDataSession s(false);
    TDataDirectory* a = s.OpenDataDirectory("Memory", "", false);
    TDataDirectory* b = s.OpenDataDirectory("MEMORY", "", false);
    ASSERT_EQ(a, b);
    EXPECT_EQ(a->UseCount, 2);
    EXPECT_EQ(a->Directory, "");
    s.CloseDataDirectory(a, false);
    ASSERT_EQ(s.Databases.size(), 1u);
    EXPECT_EQ(a->UseCount, 1);
    s.CloseDataDirectory(a, false);
    EXPECT_TRUE(s.Databases.empty());
    // Unknown and nil databases are left alone.
    s.CloseDataDirectory(nullptr, false);
    TDataSession other(false);
    TDataDirectory* foreign = other.OpenDataDirectory("X", "C:\\X", false);
    s.CloseDataDirectory(foreign, false);
    EXPECT_EQ(foreign->UseCount, 1);
}

TEST(DataSessionTest, OneFolderUnderTwoSpellingsIsOneDatabase) {
    TDataSession s(false);
    TDataDirectory* a = s.OpenDataDirectory("Catalogs", "C:\\Data\\Cat", false);
    TDataDirectory* b = s.OpenDataDirectory("Other", " c:\\data\\cat\\ ", false);
    EXPECT_EQ(a, b);
    EXPECT_EQ(a->UseCount, 2);
    EXPECT_EQ(a->DatabaseName, "Catalogs");
    EXPECT_EQ(a->Directory, "C:\\Data\\Cat\\");
    EXPECT_EQ(a->GetDatabaseName(), "C:\\Data\\Cat\\");
    TDataDirectory* c = s.OpenDataDirectory("Catalogs", "C:\\Data\\Cat2", false);
    EXPECT_NE(a, c);
    // No folder: the start directory, which is not the in-memory database.
    TDataDirectory* d = s.OpenDataDirectory("Plain", "", false);
    EXPECT_EQ(d->Directory, s.StartDirectory);
    EXPECT_NE(d, s.OpenDataDirectory("Memory", "", false));
    EXPECT_EQ(s.Databases.size(), 4u);
}

TEST(DataSessionTest, PasswordsCompareWithRegardToCase) {
    TDataSession s(false);
    s.AddPassword("Secret");
    s.AddPassword("Secret");
    s.AddPassword("");
    EXPECT_EQ(s.Passwords.size(), 1u);
    EXPECT_TRUE(s.HasPassword("Secret"));
    EXPECT_FALSE(s.HasPassword("secret"));
    s.RemovePassword("secret");
    EXPECT_EQ(s.Passwords.size(), 1u);
    s.AddPassword("other");
    s.RemovePassword("Secret");
    EXPECT_FALSE(s.HasPassword("Secret"));
    EXPECT_TRUE(s.HasPassword("other"));
    s.AddPassword(std::string(300, 'p'));
    EXPECT_EQ(s.Passwords.back().size(), 255u);
    s.RemoveAllPasswords();
    EXPECT_TRUE(s.Passwords.empty());
}

// A server connection that records what the session sends.
class FakeLink : public TRemoteSessionLink {
public:
    bool IsConnected() const override { return Connected; }
    bool IsLoggedIn() const override { return LoggedIn; }
    uint32_t ServerVersion() const override { return Version; }
    void CheckConnection() override { Sent.push_back("check"); }
    void Disconnect() override { Sent.push_back("disconnect"); }
    void SendSessionParams() override { Sent.push_back("params"); }
    void AddPassword(const std::string& p) override { Sent.push_back("addpw " + p); }
    void RemovePassword(const std::string& p) override { Sent.push_back("delpw " + p); }
    void RemoveAllPasswords() override { Sent.push_back("delallpw"); }
    uint32_t OpenDataDir(const std::string& name) override {
        Sent.push_back("open " + name);
        return ++LastHandle;
    }
    bool TableExists(uint32_t handle, const std::string& name, bool inMemory) override {
        Sent.push_back("exists " + std::to_string(handle) + " " + name + (inMemory ? " memory" : ""));
        return name == "There.DAT";
    }
    void CloseDataDir(uint32_t handle) override {
        Sent.push_back("close " + std::to_string(handle));
        if (FailClose) RaiseEngineError(DBE_REMOTECOMMLOST, "srv", {}, {}, {});
    }

    bool Connected = true;
    bool LoggedIn = true;
    uint32_t Version = 30400;
    bool FailClose = false;
    uint32_t LastHandle = 0;
    std::vector<std::string> Sent;
};

struct RemoteSession {
    RemoteSession() : Session(false) {
        Session.SetRemote(true);
        auto link = std::make_unique<FakeLink>();
        Link = link.get();
        Session.RemoteLink = std::move(link);
    }
    TDataSession Session;
    FakeLink* Link;
};

TEST(RemoteSessionTest, ChangedSettingsAreSentOnlyWhenChangedAndLoggedIn) {
    RemoteSession r;
    r.Session.SetLockWaitTime(100);  // unchanged
    r.Session.SetProgressSteps(20);
    r.Session.SetLockRetryCount(15);
    r.Session.SetForceBufferFlush(false);
    r.Session.SetStrictChangeDetection(false);
    r.Session.SetLockProtocol(lpPessimistic);
    EXPECT_TRUE(r.Link->Sent.empty());
    r.Session.SetLockWaitTime(250);
    r.Session.SetProgressSteps(10);
    r.Session.SetLockRetryCount(3);
    r.Session.SetForceBufferFlush(true);
    r.Session.SetStrictChangeDetection(true);
    EXPECT_EQ(r.Link->Sent.size(), 5u);
    EXPECT_EQ(r.Session.LockWaitTime, 250);

    r.Link->Sent.clear();
    r.Link->Version = 30399;  // an older server knows no lock protocol parameter
    r.Session.SetLockProtocol(lpOptimistic);
    EXPECT_TRUE(r.Link->Sent.empty());
    EXPECT_EQ(r.Session.LockProtocol, lpOptimistic);
    r.Link->Version = 30400;
    r.Session.SetLockProtocol(lpPessimistic);
    EXPECT_EQ(r.Link->Sent, std::vector<std::string>{"params"});

    r.Link->Sent.clear();
    r.Link->LoggedIn = false;
    r.Session.SetLockWaitTime(300);
    EXPECT_TRUE(r.Link->Sent.empty());
}

TEST(RemoteSessionTest, RemoteAndTransportAreFixedWhileConnected) {
    RemoteSession r;
    r.Session.SetRemote(false);
    r.Session.SetLANMode(false);
    EXPECT_TRUE(r.Session.Remote);
    EXPECT_TRUE(r.Session.LANMode);
    r.Link->Connected = false;
    r.Session.SetLANMode(false);
    EXPECT_FALSE(r.Session.LANMode);
}

TEST(RemoteSessionTest, PasswordsGoToTheServer) {
    RemoteSession r;
    r.Session.AddPassword("pw");
    r.Session.RemovePassword("pw");
    r.Session.RemoveAllPasswords();
    EXPECT_EQ(r.Link->Sent, (std::vector<std::string>{"addpw pw", "delpw pw", "delallpw"}));
    EXPECT_TRUE(r.Session.Passwords.empty());
    EXPECT_FALSE(r.Session.HasPassword("pw"));
}

TEST(RemoteSessionTest, DatabasesMatchByNameAndCloseFailuresAreSwallowed) {
    RemoteSession r;
    TDataDirectory* a = r.Session.OpenDataDirectory("Sales", "", false);
    TDataDirectory* b = r.Session.OpenDataDirectory(" sales ", "", false);
    EXPECT_EQ(a, b);
    EXPECT_EQ(a->ServerHandle, 1u);
    EXPECT_EQ(a->GetDatabaseName(), "Sales");
    TDataDirectory* local = r.Session.OpenDataDirectory("Results", "", true);  // no request sent
    EXPECT_EQ(local->ServerHandle, 0u);
    EXPECT_EQ(r.Link->Sent, (std::vector<std::string>{"check", "open Sales"}));

    r.Link->FailClose = true;
    r.Session.CloseDataDirectory(a, false);
    EXPECT_EQ(r.Session.Databases.size(), 2u);
    r.Session.CloseDataDirectory(a, false);  // the failed request is swallowed, the database freed
    EXPECT_EQ(r.Session.Databases.size(), 1u);
    EXPECT_EQ(r.Link->Sent.back(), "close 1");
    r.Session.CloseDataDirectory(local, true);
    EXPECT_TRUE(r.Session.Databases.empty());
    EXPECT_EQ(r.Link->Sent.back(), "close 1");
}

TEST(RemoteSessionTest, TableExistsAsksTheServerWithTheNormalisedName) {
    RemoteSession r;
    TDataDirectory* db = r.Session.OpenDataDirectory("Sales", "", false);
    EXPECT_TRUE(db->TableExists(" There ", false));
    EXPECT_FALSE(db->TableExists("Gone.dat", true));
    EXPECT_EQ(r.Link->Sent, (std::vector<std::string>{"check", "open Sales", "check", "exists 1 There.DAT",
                                                      "check", "exists 1 Gone.DAT memory"}));
}

TEST(RemoteSessionTest, WithoutAConnectionRemoteOperationsRaise) {
    TDataSession s(false);
    s.SetRemote(true);
    try {
        s.AddPassword("pw");
        FAIL();
    } catch (const EDbEngineError& e) {
        EXPECT_EQ(e.ErrorCode, DBE_REMOTECONNECT);
    }
}

}  // namespace
}  // namespace dbengine
