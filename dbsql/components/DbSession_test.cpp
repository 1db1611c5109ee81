// Sessions and databases: the default session, temporary databases found by name and kept open,
// settings of active sessions, names and transactions, and passwords asked through the session.

#include "dbsql/components/DbSession.h"

#include <gtest/gtest.h>

#include "dbengine/session/DataDirectory.h"
#include "dbengine/session/DataSession.h"
#include "dbengine/session/Engine.h"
#include "dbengine/testsupport/ErrorCode.h"
#include "dbsql/testsupport/DbTestTable.h"

using namespace dbsql;
using dbsql::testsupport::CreateTestTable;
using dbsql::testsupport::Raised;
using dbsql::testsupport::TTestField;
using dbsql::testsupport::TTestTable;

namespace {

struct Sessions_ : dbsql::testsupport::SessionFixture {};

const std::vector<TTestField> Names = {{"Name", 1, 0, 20}, {"Count", 6}};

}  // namespace

TEST_F(Sessions_, DefaultSessionStartsTheEngineAndStopsItAgain) {
    TDbSession& s = DefaultSession();
    EXPECT_EQ(s.SessionName(), "Default");
    EXPECT_TRUE(s.IsDefault());
    EXPECT_FALSE(s.Active());
    s.SetLockRetryCount(7);
    s.SetLockWaitTime(50);
    s.SetProgressSteps(101);  // ignored
    EXPECT_EQ(s.ProgressSteps(), 20);
    s.Open();
    EXPECT_TRUE(dbengine::IsEngineInitialized());
    EXPECT_EQ(s.EngineSession()->LockRetryCount, 7);
    EXPECT_EQ(s.EngineSession()->LockWaitTime, 50);
    EXPECT_EQ(s.EngineSession()->ProgressSteps, 20);
    EXPECT_EQ(s.EngineSession()->MaxBlobBufferBlocks, 8192);
    // Settings of an active session reach the engine session at once.
    s.SetProgressSteps(40);
    EXPECT_EQ(s.EngineSession()->ProgressSteps, 40);
    s.SetProgressSteps(101);
    EXPECT_EQ(s.ProgressSteps(), 40);
    s.SetStrictChangeDetection(true);
    EXPECT_TRUE(s.EngineSession()->StrictChangeDetection);
    s.SetStrictChangeDetection(false);
    s.SetProgressSteps(20);
    s.SetLockRetryCount(15);
    s.SetLockWaitTime(100);
    s.Close();
    EXPECT_FALSE(dbengine::IsEngineInitialized());
}

TEST_F(Sessions_, ActiveSessionRefusesRemoteSettingsAndItsName) {
    TDbSession& s = DefaultSession();
    s.Open();
    EXPECT_EQ(Raised([&] { s.SetRemotePort(12006); }), "Cannot perform this operation on an active session.");
    EXPECT_EQ(Raised([&] { s.SetSessionType(stRemote); }),
              "Cannot perform this operation on an active session.");
    EXPECT_EQ(Raised([&] { s.SetSessionName("Other"); }),
              "Cannot perform this operation on an active session.");
    EXPECT_EQ(s.RemotePort(), 12005);
    s.Close();
    s.SetRemotePort(12006);
    EXPECT_EQ(s.RemotePort(), 12005 + 1);
    s.SetRemotePort(12005);
}

TEST_F(Sessions_, ClearedSessionNameRefusesTheStart) {
    TDbSession& s = DefaultSession();
    s.SetSessionName("");
    EXPECT_EQ(Raised([&] { s.Open(); }), "Session name is missing.");
    EXPECT_FALSE(s.Active());
    s.SetSessionName("Default");
}

TEST_F(Sessions_, SecondSessionHasItsOwnEngineSessionAndUniqueName) {
    {
        TDbSession second(nullptr);
        EXPECT_EQ(Raised([&] { second.SetSessionName("default"); }), "Session name default already exists.");
        second.SetSessionName("Second");
        EXPECT_EQ(Sessions().FindSession("SECOND"), &second);
        EXPECT_EQ(Sessions().FindSession(""), &DefaultSession());
        EXPECT_EQ(Raised([&] { Sessions().GetSession("Third"); }), "Session name Third is not valid.");
        second.Open();
        EXPECT_TRUE(DefaultSession().Active());  // started first
        EXPECT_NE(second.EngineSession(), DefaultSession().EngineSession());
        TDbDatabase* db = second.OpenDatabase("Memory");
        EXPECT_EQ(db->Session(), &second);
        second.Close();
        EXPECT_EQ(second.DatabaseCount(), 0);  // the temporary database went with the session
        EXPECT_EQ(dbengine::GetEngineSession(), DefaultSession().EngineSession());
    }
    EXPECT_EQ(Sessions().FindSession("Second"), nullptr);
}

TEST_F(Sessions_, TablesOfOneFolderShareOneTemporaryDatabaseThatStaysOpen) {
    CreateTestTable("D:/", "One", Names, 1);
    CreateTestTable("D:/", "Two", Names, 1);
    TTestTable one, two;
    one.SetDatabaseName("D:/");
    two.SetDatabaseName("D:\\");
    EXPECT_EQ(one.DatabaseName(), "D:\\");
    one.TableName = "One";
    two.TableName = "Two";
    one.Open();
    two.Open();
    ASSERT_EQ(one.Database(), two.Database());
    TDbDatabase* db = one.Database();
    EXPECT_TRUE(db->Temporary());
    EXPECT_EQ(db->DatabaseName(), "D:\\");
    EXPECT_EQ(db->UserCount(), 2);
    EXPECT_EQ(db->DataSetCount(), 2);
    one.Close();
    two.Close();
    EXPECT_EQ(db->UserCount(), 0);
    EXPECT_TRUE(db->Connected());
    EXPECT_EQ(DefaultSession().FindDatabase("d:\\", nullptr), db);
    // Closing the database disconnects the datasets still holding it.
    one.Open();
    db->Close();
    EXPECT_FALSE(one.Active());
    EXPECT_EQ(one.Database(), nullptr);
}

TEST_F(Sessions_, MemoryDatabaseIsOneWhateverTheCaseAndKeepsItsTablesAfterTheLastClose) {
    CreateTestTable("Memory", "Scratch", Names, 1);
    TTestTable a, b;
    a.SetDatabaseName("Memory");
    b.SetDatabaseName("memory");
    EXPECT_TRUE(a.InMemory());
    EXPECT_TRUE(b.InMemory());
    a.TableName = b.TableName = "Scratch";
    a.Open();
    a.AppendRecord({framework::Variant("x"), framework::Variant(1)});
    b.Open();
    EXPECT_EQ(a.Database(), b.Database());
    a.Close();
    b.Close();
    b.Open();
    EXPECT_EQ(b.RecordCount(), 1);
}

TEST_F(Sessions_, KeepConnectionsOffFreesTheTemporaryDatabaseWithItsLastUser) {
    TDbSession& s = DefaultSession();
    s.KeepConnections = false;
    TDbDatabase* db = s.OpenDatabase("D:\\");
    EXPECT_EQ(s.OpenDatabase("d:\\"), db);
    EXPECT_EQ(db->UserCount(), 2);
    s.CloseDatabase(db);
    EXPECT_EQ(s.DatabaseCount(), 1);
    s.CloseDatabase(db);
    EXPECT_EQ(s.DatabaseCount(), 0);
    s.KeepConnections = true;
}

TEST_F(Sessions_, FailedStartLeavesTheSessionInactiveAndNoDatabaseBehind) {
    TDbSession& s = DefaultSession();
    s.OnStartup = [](framework::TObject*) { throw framework::EDatabaseError("no start"); };
    EXPECT_EQ(Raised([&] { s.OpenDatabase("D:\\"); }), "no start");
    EXPECT_FALSE(s.Active());
    EXPECT_EQ(s.DatabaseCount(), 0);
    s.OnStartup = nullptr;
}

TEST_F(Sessions_, DatabaseNamesAndTransactions) {
    TDbDatabase db(nullptr);
    EXPECT_EQ(db.Session(), &DefaultSession());
    EXPECT_EQ(Raised([&] { db.SetDatabaseName("C:/x"); }), "Database name C:\\x is not valid.");
    EXPECT_EQ(Raised([&] { db.Open(); }), "Database name is missing.");
    db.SetDatabaseName("D");
    db.SetDirectory("D:/");
    EXPECT_EQ(db.Directory(), "D:\\");
    EXPECT_EQ(Raised([&] { db.StartTransaction(); }), "Cannot perform this operation on a closed database.");
    {
        TDbDatabase twin(nullptr);
        EXPECT_EQ(Raised([&] { twin.SetDatabaseName("d"); }), "Database name d already exists.");
    }
    db.Open();
    EXPECT_EQ(Raised([&] { db.SetDatabaseName("E"); }), "Cannot perform this operation on an open database.");
    EXPECT_EQ(Raised([&] { db.Commit(); }), "Database D has no active transaction.");
    db.StartTransaction();
    EXPECT_EQ(Raised([&] { db.StartTransaction(); }), "Database D already has an active transaction.");
    db.Rollback();
    EXPECT_FALSE(db.InTransaction());
    EXPECT_EQ(Raised([&] { db.SetRemoteDatabase("Server"); }),
              "Cannot perform this operation on an open database.");
    db.Close();
    db.SetRemoteDatabase("  /Server/Share/ ");
    EXPECT_EQ(db.RemoteDatabase(), "Server\\Share");
}

TEST_F(Sessions_, ChangingTheNameWhileAMaintenanceReasonHoldsTheDatabaseIsRefused) {
    TTestTable t;
    t.SetDatabaseName("D:\\");
    t.SetDBFlag(dbfTable, true);
    EXPECT_NE(t.Database(), nullptr);
    EXPECT_EQ(Raised([&] { t.SetDatabaseName("Memory"); }),
              "Cannot perform this operation on an open database.");
    t.SetDBFlag(dbfTable, false);
    EXPECT_EQ(t.Database(), nullptr);
    t.SetDatabaseName("Memory");
    EXPECT_TRUE(t.InMemory());
}

TEST_F(Sessions_, PasswordsOfTheSessionOpenAnEncryptedTable) {
    TDbSession& s = DefaultSession();
    CreateTestTable("D:\\", "Secret", Names, 1, "open sesame");
    TTestTable t;
    t.SetDatabaseName("D:\\");
    t.TableName = "Secret";
    int asked = 0;
    s.OnPassword = [&](TDbSession* sender, bool& goOn) {
        EXPECT_EQ(sender, &s);
        ++asked;
        if (asked == 1) {
            sender->AddPassword("open sesame");
            goOn = true;
        }
    };
    t.Open();
    EXPECT_EQ(asked, 1);
    t.Close();
    s.RemoveAllPasswords();
    // The handler gives up: the open fails with the engine's 10498.
    try {
        t.Open();
        ADD_FAILURE() << "opened";
    } catch (const dbengine::EDbEngineError& e) {
        EXPECT_EQ(e.ErrorCode, 10498);
    }
    EXPECT_EQ(asked, 2);
    s.OnPassword = nullptr;
}

TEST_F(Sessions_, AutoSessionNameIsTheComponentsNameAndANumberHandedToTheOwnersDatasets) {
    framework::TComponent owner(nullptr);
    auto* s = framework::NewComponent<TDbSession>(&owner);
    s->SetName("Session1");
    auto* t = framework::NewComponent<TTestTable>(&owner);
    s->SetAutoSessionName(true);
    EXPECT_EQ(s->SessionName(), "Session1_1");
    EXPECT_EQ(t->SessionName(), "Session1_1");
    EXPECT_EQ(Raised([&] { s->SetSessionName("Mine"); }),
              "Cannot perform this operation on the active auto-session.");
    auto* later = framework::NewComponent<TTestTable>(&owner);
    EXPECT_EQ(later->SessionName(), "Session1_1");
    EXPECT_EQ(Raised([&] { framework::NewComponent<TDbSession>(&owner); }),
              "This auto-session already exists.");
    s->SetName("Renamed");
    EXPECT_EQ(s->SessionName(), "Renamed_1");
    EXPECT_EQ(t->SessionName(), "Renamed_1");
    {
        framework::TComponent second(nullptr);
        auto* s2 = framework::NewComponent<TDbSession>(&second);
        s2->SetName("Session1");
        s2->SetAutoSessionName(true);
        EXPECT_EQ(s2->SessionName(), "Session1_2");
    }
    // A freed automatic session gives its number back.
    framework::TComponent third(nullptr);
    auto* s3 = framework::NewComponent<TDbSession>(&third);
    s3->SetName("Third");
    s3->SetAutoSessionName(true);
    EXPECT_EQ(s3->SessionName(), "Third_2");
    // The table opens through its automatic session.
    CreateTestTable("D:\\", "One", Names, 1);
    t->SetDatabaseName("D:\\");
    t->TableName = "One";
    t->Open();
    EXPECT_EQ(t->Database()->Session(), s);
    t->Close();
}
