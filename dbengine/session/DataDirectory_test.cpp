#include "dbengine/session/DataDirectory.h"

#include <gtest/gtest.h>

#include "dbengine/testsupport/TableFixture.h"

namespace dbengine {
namespace {

using testsupport::ErrorOf;

class DataDirectoryTest : public testsupport::TableFixture {
protected:
    void TearDown() override {
        SetTempNameThreadIdSource({});
        TableFixture::TearDown();
    }
    int32_t OpenResult(const std::string& name, bool exclusive, bool shareExclusive, TDataTable*& t,
                       bool inMemory = false) {
        return Database->OpenSharedTable(name, t, exclusive, shareExclusive, inMemory, false, false, false);
    }
};

TEST_F(DataDirectoryTest, SecondSharedOpenSharesTheTable) {
    MakeTable("T", false, 1);
    TDataTable* a = Open("T");
    TDataTable* b = Open("t.dat");  // the same table, whatever the spelling
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a, b);
    EXPECT_EQ(a->OpenCount, 2);
    EXPECT_EQ(a->UserCursorCount, 2);
    EXPECT_EQ(Database->Tables.size(), 1u);

    // SQL result and source cursors do not count as users.
    TDataTable* c = nullptr;
    ASSERT_EQ(Database->OpenSharedTable("T", c, false, false, false, false, true, false), 0);
    EXPECT_EQ(a->OpenCount, 3);
    EXPECT_EQ(a->UserCursorCount, 2);
    EXPECT_EQ(Database->ReleaseSharedTable(c, false, true, false), 0);
    EXPECT_EQ(a->UserCursorCount, 2);

    EXPECT_EQ(Database->ReleaseSharedTable(b, false, false, false), 0);
    EXPECT_EQ(a->OpenCount, 1);
    EXPECT_TRUE(a->IsOpen);
    EXPECT_EQ(Database->ReleaseSharedTable(a, false, false, false), 0);
    EXPECT_TRUE(Database->Tables.empty());
    EXPECT_EQ(Database->ReleaseSharedTable(a, false, false, false), -DBE_OSENOENT);
}

TEST_F(DataDirectoryTest, ExclusiveUse) {
    MakeTable("T", false, 1);
    TDataTable* t = nullptr;
    struct Case {
        const char* Name;
        bool FirstExclusive, SecondExclusive, ShareExclusive;
        int32_t Result;
    } cases[] = {
        {"shared then exclusive", false, true, false, -DBE_OSEACCES},
        {"exclusive then shared", true, false, false, -DBE_OSEACCES},
        {"exclusive then its clone", true, false, true, 0},
        {"shared then shared", false, false, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TDataTable* first = nullptr;
        ASSERT_EQ(OpenResult("T", c.FirstExclusive, false, first), 0);
        EXPECT_EQ(first->Exclusive, c.FirstExclusive);
        EXPECT_EQ(OpenResult("T", c.SecondExclusive, c.ShareExclusive, t), c.Result);
        if (c.Result == 0) {
            EXPECT_EQ(t, first);
            EXPECT_EQ(first->OpenCount, 2);
            Database->ReleaseSharedTable(t, false, false, false);
        } else {
            EXPECT_EQ(t, nullptr);
            EXPECT_EQ(first->OpenCount, 1);
        }
        Database->ReleaseSharedTable(first, false, false, false);
        EXPECT_TRUE(Database->Tables.empty());
    }
}

TEST_F(DataDirectoryTest, OpenTablesCannotBeDeletedOrRenamed) {
    MakeTable("T", true, 2);
    std::string dat = Bytes("T.DAT");
    TDataTable* t = Open("T");
    EXPECT_EQ(Database->DeleteTableFiles("T", false), -DBE_OSEACCES);
    EXPECT_EQ(Database->RenameTableFiles("t", "U", false, false), -DBE_OSEACCES);
    EXPECT_EQ(Bytes("T.DAT"), dat);
    EXPECT_TRUE(Exists("T.IDX"));
    EXPECT_TRUE(Exists("T.BLB"));
    EXPECT_FALSE(Exists("U.DAT"));
    Database->ReleaseSharedTable(t, false, false, false);
    EXPECT_EQ(Database->DeleteTableFiles("T", false), 0);
    EXPECT_FALSE(Exists("T.DAT"));
    EXPECT_FALSE(Exists("T.IDX"));
    EXPECT_FALSE(Exists("T.BLB"));
}

TEST_F(DataDirectoryTest, ExistenceAndTemporaryNames) {
    MakeTable("Files", false);
    struct Case {
        const char* Name;
        bool Exists;
    } cases[] = {
        {"Files", true}, {"files.dat", true}, {"  FILES.DAT ", true}, {"Files.IDX", false}, {"Other", false}};
    for (const Case& c : cases) EXPECT_EQ(Database->TableExists(c.Name, false), c.Exists) << c.Name;
    EXPECT_FALSE(Database->TableExists("Files", true)) << "the in-memory database is another place";

    SetTempNameThreadIdSource([] { return 123456u; });
    EXPECT_EQ(Database->GetTempTableName(false), "123450.DAT");
    MakeTable("123450", false);
    EXPECT_EQ(Database->GetTempTableName(false), "123451.DAT");
    // The in-memory database has names of its own.
    EXPECT_EQ(Database->GetTempTableName(true), "123450.DAT");
    ASSERT_EQ(Database->CreateSharedTable("123450", true, true, Definition(false)), 0);
    EXPECT_EQ(Database->GetTempTableName(true), "123451.DAT");
    // Only the first five digits of a longer id are used.
    SetTempNameThreadIdSource([] { return 987654321u; });
    EXPECT_EQ(Database->GetTempTableName(false), "987650.DAT");
}

TEST_F(DataDirectoryTest, DiskAndMemoryTablesOfOneNameAreTwoEntries) {
    MakeTable("T", false, 2);
    TDataTable* disk = Open("T");
    ASSERT_EQ(Database->CreateSharedTable("T", true, false, Definition(false)), 0);
    TDataTable* memory = Database->FindTable("T", true);
    ASSERT_NE(memory, nullptr);
    EXPECT_NE(memory, disk);
    EXPECT_EQ(Database->Tables.size(), 2u);
    EXPECT_EQ(disk->DataFile->RecordCount(), 2);
    EXPECT_EQ(memory->DataFile->RecordCount(), 0);
    EXPECT_TRUE(Database->TableExists("T", true));
    EXPECT_EQ(Database->ReleaseSharedTable(memory, false, false, false), 0);
    EXPECT_EQ(Database->FindTable("T", false), disk);
}

TEST_F(DataDirectoryTest, TablesOfATransactionStayUntilItEnds) {
    MakeTable("A", false, 1);
    MakeTable("B", false, 1);
    Database->StartTransaction(false);
    EXPECT_TRUE(Database->InTransaction);
    TDataTable* a = Open("A");
    EXPECT_TRUE(a->InTransaction) << "a table opened during the transaction joins it";
    EXPECT_TRUE(a->TransactionLocked);
    ASSERT_EQ(Database->ReleaseSharedTable(a, false, false, false), 0);
    ASSERT_EQ(Database->Tables.size(), 1u);
    // Held only by the transaction, it may be opened exclusively.
    TDataTable* again = nullptr;
    EXPECT_EQ(OpenResult("A", true, false, again), 0);
    EXPECT_EQ(again, a);
    Database->ReleaseSharedTable(again, false, false, false);

    // An interval commit clears the database's mark and keeps the tables' part.
    Database->Commit(false, false, false);
    EXPECT_FALSE(Database->InTransaction);
    ASSERT_EQ(Database->Tables.size(), 1u);
    EXPECT_TRUE(a->InTransaction);
    EXPECT_TRUE(a->TransactionLocked);

    Database->StartTransaction(false);
    Database->Rollback(false);
    EXPECT_FALSE(Database->InTransaction);
    EXPECT_TRUE(Database->Tables.empty());
}

TEST_F(DataDirectoryTest, FailedOpenLeavesTheRegistryAsItWas) {
    TDataTable* t = nullptr;
    EXPECT_EQ(ErrorOf([&] { OpenResult("Missing", false, false, t); }), DBE_OSENOENT);
    EXPECT_TRUE(Database->Tables.empty());
    MakeTable("T", false);
    TDataTable* open = Open("T");
    EXPECT_EQ(Database->CreateSharedTable("T", false, false, Definition(false)), -DBE_OSEACCES);
    Database->ReleaseSharedTable(open, false, false, false);
}

}  // namespace
}  // namespace dbengine
