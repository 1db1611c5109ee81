#include "dbengine/session/DataTable.h"

#include <gtest/gtest.h>

#include <atomic>

#include "dbengine/file/FileList.h"
#include "dbengine/testsupport/LockHolder.h"
#include "dbengine/testsupport/TableFixture.h"
#include "platform/Files.h"
#include "platform/Process.h"
#include "platform/testsupport/ChildProcess.h"

namespace dbengine {
namespace {

using platform::testsupport::RunInChildProcess;
using testsupport::CodeOf;
using testsupport::TLockHolderProcess;

// Counts the writes and flushes that reach the platform's files; can make writes fail.
struct CountingFiles {
    std::atomic<int> Writes{0}, Flushes{0};
    std::atomic<bool> FailWrites{false};
    std::atomic<int> FailWriteNumber{0};  // only this write fails (counted from 1)
    platform::TScopedFileFault Hook{
        [this](platform::TFileOperation op, const std::string&, int64_t, uint32_t) {
            if (op == platform::TFileOperation::Write) {
                ++Writes;
                if (FailWrites || Writes == FailWriteNumber)
                    return platform::TFileFault{platform::ERROR_WRITE_PROTECT, 0};
            }
            if (op == platform::TFileOperation::Flush) ++Flushes;
            return platform::TFileFault{};
        }};
};

// In a forked child: a session of its own over its own file list, as another process would
// have. The parent's objects in the child's memory are left alone.
TDataDirectory* OtherProcessDatabase() {
    FreeEngineFileList();
    CreateEngineFileList();
    auto* session = new TDataSession(false);  // the child ends with _exit: nothing is freed
    return session->OpenDataDirectory("D:\\", "D:\\", false);
}

class DataTableTest : public testsupport::TableFixture {
protected:
    // Starts a transaction that changes two records, the index count and a BLOB block.
    void ChangeAllThreeFilesInATransaction(TDataTable& t) {
        Database->StartTransaction(false);
        SetCount(t, 2, 555);
        SetCount(t, 4, 444);
        t.IndexFile->SetRecordCount(4);
        TBlock* block = t.BlobFile->AllocateBlock(nullptr);
        block->WriteData(0, 3, "abc");
        t.BlobFile->ReleaseBlock(block);
    }
};

TEST_F(DataTableTest, CreateWritesTheFileSetWhichReopens) {
    MakeTable("Plain", false, 3);
    MakeTable("Memo.DAT", true);
    EXPECT_TRUE(Exists("Plain.DAT"));
    EXPECT_TRUE(Exists("Plain.IDX"));
    EXPECT_FALSE(Exists("Plain.BLB"));
    EXPECT_TRUE(Exists("Memo.DAT"));
    EXPECT_TRUE(Exists("Memo.IDX"));
    EXPECT_TRUE(Exists("Memo.BLB"));
    EXPECT_TRUE(Database->Tables.empty());

    for (const char* name : {"Plain", "Memo.DAT"}) {
        SCOPED_TRACE(name);
        TDataTable* t = Open(name);
        ASSERT_NE(t, nullptr);
        EXPECT_TRUE(t->IsOpen);
        EXPECT_FALSE(t->IndexRecreated);
        EXPECT_FALSE(t->ReadOnly);
        EXPECT_EQ(CodeOf([&] { t->CheckHeaders(); }), 0);
        EXPECT_EQ(t->IndexFile->GetIndexDesc(0).FieldNumbers[0], 1);
        EXPECT_EQ(t->IndexFile->GetIndexDesc(SysTextIndex).Name, SysTextName);
        EXPECT_EQ(t->BlobFile->IsOpen, t->HasBlobFields());
        EXPECT_EQ(Database->ReleaseSharedTable(t, false, false, false), 0);
    }
    TDataTable* t = Open("Plain");
    EXPECT_EQ(t->DataFile->RecordCount(), 3);
    EXPECT_EQ(GetCount(*t, 2), 20);
}

TEST_F(DataTableTest, MissingIndexFileIsRecreatedEmpty) {
    MakeTable("T", false, 2);
    std::remove((Root / "T.IDX").c_str());
    TDataTable* t = Open("T");
    ASSERT_NE(t, nullptr);
    EXPECT_TRUE(t->IndexRecreated);
    EXPECT_TRUE(Exists("T.IDX"));
    EXPECT_EQ(Bytes("T.IDX").size(), IndexHeaderSize);
    // The full index checks are skipped for a recreated index file.
    EXPECT_EQ(CodeOf([&] { t->CheckHeaders(); }), 0);
    EXPECT_EQ(t->DataFile->RecordCount(), 2);
    ASSERT_EQ(Database->ReleaseSharedTable(t, false, false, false), 0);
    EXPECT_FALSE(Open("T")->IndexRecreated);
}

TEST_F(DataTableTest, MissingBlobFileFailsAndLeavesTheTableClosed) {
    MakeTable("T", true);
    std::remove((Root / "T.BLB").c_str());
    TDataTable* t = nullptr;
    EXPECT_EQ(CodeOf([&] { Database->OpenSharedTable("T", t, false, false, false, false, false, false); }),
              DBE_OSENOENT);
    EXPECT_TRUE(Database->Tables.empty());
    // Nothing of the table stays open: its data file can be deleted and made again.
    EXPECT_EQ(Database->DeleteTableFiles("T", false), 0);
    EXPECT_FALSE(Exists("T.DAT"));
    EXPECT_FALSE(Exists("T.IDX"));
}

TEST_F(DataTableTest, FailedCreateLeavesNoFileBehind) {
    TTableDefinition def = Definition(false);
    def.SecondaryIndexes.resize(1);
    def.SecondaryIndexes[0].FieldCount = 1;
    def.SecondaryIndexes[0].FieldNumbers[0] = 2;  // no name: refused
    EXPECT_EQ(CodeOf([&] { Database->CreateSharedTable("T", false, false, def); }), DBE_INDEXNAMEREQUIRED);
    EXPECT_TRUE(Database->Tables.empty());
    EXPECT_FALSE(Exists("T.DAT"));
    EXPECT_FALSE(Exists("T.IDX"));
}

TEST_F(DataTableTest, RenameAsBackupAndOntoAnExistingTable) {
    MakeTable("T", true, 2);
    MakeTable("U", true, 1);
    std::string t = Bytes("T.DAT"), u = Bytes("U.DAT");

    // A normal rename onto an existing table fails and changes nothing.
    EXPECT_NE(CodeOf([&] { Database->RenameTableFiles("T", "U", false, false); }), 0);
    EXPECT_EQ(Bytes("T.DAT"), t);
    EXPECT_EQ(Bytes("U.DAT"), u);
    EXPECT_TRUE(Exists("T.IDX"));
    EXPECT_TRUE(Exists("T.BLB"));

    // As backup into a folder given with the name: ".DBK", ".IBK", ".BBK"; an old backup goes.
    std::ofstream(Root / "Old.DBK") << "stale";
    EXPECT_EQ(Database->RenameTableFiles("T", "D:\\Old", false, true), 0);
    EXPECT_EQ(Bytes("Old.DBK"), t);
    EXPECT_TRUE(Exists("Old.IBK"));
    EXPECT_TRUE(Exists("Old.BBK"));
    EXPECT_FALSE(Exists("T.DAT"));

    // A plain rename gives the table extensions; a renamed table opens under its new name.
    EXPECT_EQ(Database->RenameTableFiles("U", "V.DAT", false, false), 0);
    EXPECT_EQ(Bytes("V.DAT"), u);
    EXPECT_TRUE(Exists("V.IDX"));
    EXPECT_TRUE(Exists("V.BLB"));
    EXPECT_EQ(Open("V")->DataFile->RecordCount(), 1);
}

TEST_F(DataTableTest, FlushBuffersWritesAndFlushesToDiskOnlyWhenForced) {
    MakeTable("T", true, 2);
    TDataTable* t = Open("T");
    {
        CountingFiles io;
        t->FlushBuffers();
        EXPECT_EQ(io.Writes, 0) << "nothing changed, nothing written";
    }
    struct Case {
        bool SessionForce, ForceOS;
        bool Flushed;
    } cases[] = {{false, false, false}, {false, true, true}, {true, false, true}};
    int value = 100;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.SessionForce << c.ForceOS);
        Session->ForceBufferFlush = c.SessionForce;
        SetCount(*t, 1, ++value);
        t->IndexFile->MarkHeaderChanged();
        int32_t dataChanges = t->DataChangeCount();
        CountingFiles io;
        t->FlushBuffers(false, true, false, false, c.ForceOS);
        EXPECT_GE(io.Writes, 3);  // the record, the data header, the index header
        EXPECT_EQ(io.Flushes > 0, c.Flushed);
        EXPECT_EQ(t->DataChangeCount(), dataChanges + 1);
        EXPECT_EQ(GetInt32(reinterpret_cast<const uint8_t*>(Bytes("T.DAT").data()) +
                           t->DataFile->RecordOffset(1) + CountOffset(*t) + 1),
                  value);
    }
    Session->ForceBufferFlush = false;

    // Inside a transaction it only marks the headers changed.
    Database->StartTransaction(false);
    SetCount(*t, 2, 7);
    std::string before = Bytes("T.DAT");
    CountingFiles io;
    t->FlushBuffers(true, true, true, true);
    EXPECT_EQ(io.Writes, 0);
    EXPECT_EQ(Bytes("T.DAT"), before);
    EXPECT_EQ(t->DataFile->Header.HeaderModified, 1);
    EXPECT_EQ(t->IndexFile->Header.HeaderModified, 1);
    EXPECT_TRUE(t->BlobFile->HeaderModified());
    Database->Rollback(false);
}

TEST_F(DataTableTest, ReloadIfChangedNoticesAnotherProcesssHeaderWrite) {
    MakeTable("T", false, 3);
    TDataTable* t = Open("T");
    EXPECT_EQ(GetCount(*t, 1), 10);
    EXPECT_FALSE(t->ReloadIfChanged());
    EXPECT_GT(t->DataFile->CachedCount(), 0u);

    int child = RunInChildProcess([] {
        try {
            TDataDirectory* db = OtherProcessDatabase();
            TDataTable* other = nullptr;
            if (db->OpenSharedTable("T", other, false, false, false, false, false, false) != 0) return 1;
            other->LockForWrite();
            SetCount(*other, 1, 99);
            SetCount(*other, 4, 40);
            other->FlushBuffers();
            other->UnlockForWrite();
        } catch (...) {
            return 2;
        }
        return 0;
    });
    ASSERT_EQ(child, 0);
    EXPECT_TRUE(t->ReloadIfChanged());
    EXPECT_EQ(t->DataFile->CachedCount(), 0u);
    EXPECT_EQ(t->DataFile->RecordCount(), 4);
    EXPECT_EQ(GetCount(*t, 1), 99);
    EXPECT_FALSE(t->ReloadIfChanged());
}

TEST_F(DataTableTest, RecordLockedByAnotherProcessFailsAfterTheRetries) {
    MakeTable("T", false, 5);
    TDataTable* t = Open("T");
    TLockHolderProcess holder("D:\\T.DAT", {{RecordLockBase - 3, 1}});
    ASSERT_TRUE(holder.Holding());
    Session->LockWaitTime = 7;
    for (uint8_t retries : {0, 1, 4}) {
        SCOPED_TRACE(int(retries));
        Session->LockRetryCount = retries;
        Sleeps.clear();
        EXPECT_EQ(CodeOf([&] { t->LockRecord(3); }), DBE_RECLOCKFAILED);
        // retries + 1 tries with one pause of LockWaitTime between two of them.
        EXPECT_EQ(std::count(Sleeps.begin(), Sleeps.end(), 7u), retries);
        EXPECT_FALSE(t->LockedRecords.Test(3));
        EXPECT_FALSE(t->AccessLocked);
    }
    // Another record is free; record 0 is never a record.
    EXPECT_EQ(CodeOf([&] { t->LockRecord(4); }), 0);
    EXPECT_TRUE(t->LockedRecords.Test(4));
    t->EndAccess();
    EXPECT_EQ(CodeOf([&] { t->LockRecord(0); }), DBE_RECLOCKFAILED);
    holder.Release();
    EXPECT_EQ(CodeOf([&] { t->LockRecord(3); }), 0);
    t->EndAccess();
    t->UnlockRecord(3);
    t->UnlockRecord(4);
    EXPECT_EQ(CodeOf([&] { t->UnlockRecord(4); }), DBE_UNLOCKFAILED) << "not held any more";
}

TEST_F(DataTableTest, TwoCursorsOfOneProcessConflictOnARecord) {
    MakeTable("T", false, 2);
    TDataTable* a = Open("T");
    TDataTable* b = Open("T");
    ASSERT_EQ(a, b);
    Session->LockRetryCount = 2;
    a->LockRecord(1);
    a->EndAccess();
    EXPECT_EQ(CodeOf([&] { b->LockRecord(1); }), DBE_RECLOCKFAILED);
    a->UnlockRecord(1);
    EXPECT_EQ(CodeOf([&] { b->LockRecord(1); }), 0);
    b->EndAccess();
}

TEST_F(DataTableTest, ReadOnlyTableTakesNoLocks) {
    MakeTable("T", false, 2);
    for (const char* f : {"D:\\T.DAT", "D:\\T.IDX"})
        ASSERT_TRUE(platform::SetFileAttributes(f, platform::FILE_ATTRIBUTE_READONLY));
    TDataTable* t = Open("T");
    EXPECT_TRUE(t->ReadOnlyByAttribute);
    EXPECT_TRUE(t->ReadOnly);
    TLockHolderProcess holder("D:\\T.DAT", {{RecordLockBase - 1, 1}, {HeaderLockOffset, 1}});
    ASSERT_TRUE(holder.Holding());
    EXPECT_FALSE(t->LockRecord(1));
    EXPECT_FALSE(t->BeginAccess());
    EXPECT_FALSE(t->LockForWrite());
    EXPECT_FALSE(t->LockedRecords.Test(1));
    EXPECT_FALSE(t->AccessLocked || t->WriteLocked);
    EXPECT_TRUE(Sleeps.empty());
    holder.Release();
    for (const char* f : {"D:\\T.DAT", "D:\\T.IDX"})
        platform::SetFileAttributes(f, platform::FILE_ATTRIBUTE_NORMAL);
}

TEST_F(DataTableTest, WriteLockFailingPartWayReleasesTheHeaderByte) {
    MakeTable("T", false, 1);
    TDataTable* t = Open("T");
    // Another process holds the index file's write range: the header byte is taken first and
    // must be given back when the index range cannot be had.
    {
        TLockHolderProcess holder("D:\\T.IDX", {{TIndexFile::WriteLockOffset, TIndexFile::WriteLockLength}});
        ASSERT_TRUE(holder.Holding());
        EXPECT_EQ(CodeOf([&] { t->LockForWrite(); }), DBE_LOCKTIMEOUT);
        EXPECT_FALSE(t->WriteLocked);
        int child = RunInChildProcess([] {
            TFileList list;
            bool ro = false, roa = false;
            TAbstractFile* file = nullptr;
            if (list.OpenFile("D:\\T.DAT", false, false, false, ro, roa, file) <= 0) return 10;
            return file->LockRange(HeaderLockOffset, 1) ? 0 : 11;
        });
        EXPECT_EQ(child, 0);
    }
    EXPECT_FALSE(t->LockForWrite()) << "unchanged table";
    EXPECT_TRUE(t->WriteLocked);
    t->UnlockForWrite();
    EXPECT_FALSE(t->WriteLocked);
}

TEST_F(DataTableTest, UnlockInsideATransactionWaitsForItsEnd) {
    MakeTable("T", false, 3);
    TDataTable* t = Open("T");
    auto otherCanLock = [] {
        return RunInChildProcess([] {
            TFileList list;
            bool ro = false, roa = false;
            TAbstractFile* file = nullptr;
            if (list.OpenFile("D:\\T.DAT", false, false, false, ro, roa, file) <= 0) return 10;
            return file->LockRange(RecordLockBase - 2, 1) ? 0 : 1;
        });
    };
    for (bool commit : {true, false}) {
        SCOPED_TRACE(commit ? "commit" : "rollback");
        Database->StartTransaction(false);
        EXPECT_TRUE(t->TransactionLocked);
        t->LockRecord(2);
        t->UnlockRecord(2);
        EXPECT_TRUE(t->LockedRecords.Test(2));
        EXPECT_TRUE(t->DeferredUnlocks.Test(2));
        EXPECT_FALSE(t->LockRecord(2)) << "held already: at once";
        t->UnlockRecord(2);
        EXPECT_EQ(otherCanLock(), 1);
        if (commit)
            Database->Commit(true, false, false);
        else
            Database->Rollback(false);
        EXPECT_FALSE(t->InTransaction);
        EXPECT_FALSE(t->TransactionLocked);
        EXPECT_FALSE(t->LockedRecords.Test(2));
        EXPECT_EQ(otherCanLock(), 0);
    }
}

TEST_F(DataTableTest, SecondProcesssTransactionFailsWhileOneRuns) {
    MakeTable("T", false, 1);
    Open("T");
    Database->StartTransaction(false);
    int child = RunInChildProcess([] {
        try {
            TDataDirectory* db = OtherProcessDatabase();
            TDataTable* other = nullptr;
            if (db->OpenSharedTable("T", other, false, false, false, false, false, false) != 0) return 1;
            other->DataFile->HeaderLockAttempts = 3;  // the retry budget, shortened
            db->StartTransaction(false);
        } catch (const EDbEngineError& e) {
            return e.ErrorCode == DBE_LOCKTIMEOUT ? 0 : 2;
        }
        return 3;
    });
    EXPECT_EQ(child, 0);
    Database->Commit(true, false, false);
    int after = RunInChildProcess([] {
        try {
            TDataDirectory* db = OtherProcessDatabase();
            TDataTable* other = nullptr;
            if (db->OpenSharedTable("T", other, false, false, false, false, false, false) != 0) return 1;
            other->DataFile->HeaderLockAttempts = 3;
            db->StartTransaction(false);
            db->Commit(true, false, false);
        } catch (...) {
            return 2;
        }
        return 0;
    });
    EXPECT_EQ(after, 0);
}

TEST_F(DataTableTest, RollbackRestoresTheFilesByteForByte) {
    MakeTable("T", true, 3);
    TDataTable* t = Open("T");
    std::string dat = Bytes("T.DAT"), idx = Bytes("T.IDX"), blb = Bytes("T.BLB");
    ChangeAllThreeFilesInATransaction(*t);
    t->FlushBuffers(true, true, true, true);
    Database->Rollback(false);
    EXPECT_EQ(Bytes("T.DAT"), dat);
    EXPECT_EQ(Bytes("T.IDX"), idx);
    EXPECT_EQ(Bytes("T.BLB"), blb);
    EXPECT_EQ(t->DataFile->RecordCount(), 3);
    EXPECT_EQ(GetCount(*t, 2), 20);
    EXPECT_EQ(t->BlobFile->BlockCount(), 0);
    // And what a commit writes reaches the files.
    Database->StartTransaction(false);
    SetCount(*t, 2, 555);
    Database->Commit(true, false, false);
    EXPECT_NE(Bytes("T.DAT"), dat);
    ASSERT_EQ(Database->ReleaseSharedTable(t, false, false, false), 0);
    EXPECT_EQ(GetCount(*Open("T"), 2), 555);
}

TEST_F(DataTableTest, CommitEndsTheTransactionEvenWhenWritingFails) {
    MakeTable("T", false, 2);
    TDataTable* t = Open("T");
    Database->StartTransaction(false);
    SetCount(*t, 1, 11);
    // The cursor goes; the table stays registered for the transaction.
    ASSERT_EQ(Database->ReleaseSharedTable(t, false, false, false), 0);
    ASSERT_EQ(Database->Tables.size(), 1u);
    EXPECT_TRUE(t->IsOpen);
    {
        CountingFiles io;
        io.FailWrites = true;
        EXPECT_EQ(CodeOf([&] { Database->Commit(true, false, false); }), DBE_WRITEERR);
    }
    EXPECT_FALSE(Database->InTransaction);
    EXPECT_TRUE(Database->Tables.empty());
    // No lock of the table is left behind: another process can take the header byte.
    int child = RunInChildProcess([] {
        TFileList list;
        bool ro = false, roa = false;
        TAbstractFile* file = nullptr;
        if (list.OpenFile("D:\\T.DAT", false, false, false, ro, roa, file) <= 0) return 10;
        return file->LockRange(HeaderLockOffset, 1) ? 0 : 11;
    });
    EXPECT_EQ(child, 0);
    EXPECT_EQ(GetCount(*Open("T"), 1), 10);
}

TEST_F(DataTableTest, ACommitFailingPartWayPutsTheFilesBack) {
    MakeTable("T", true, 3);
    TDataTable* t = Open("T");
    const std::string dat = Bytes("T.DAT"), idx = Bytes("T.IDX"), blb = Bytes("T.BLB");
    auto change = [&] { ChangeAllThreeFilesInATransaction(*t); };
    // Each write of the commit in turn fails; the writes before it are taken back.
    int failing = 1;
    for (;; ++failing) {
        SCOPED_TRACE(failing);
        change();
        int code = 0;
        {
            CountingFiles io;
            io.FailWriteNumber = failing;
            code = CodeOf([&] { Database->Commit(true, false, false); });
        }
        EXPECT_FALSE(Database->InTransaction);
        if (code == 0) break;
        EXPECT_EQ(code, DBE_WRITEERR);
        EXPECT_EQ(Bytes("T.DAT"), dat);
        EXPECT_EQ(Bytes("T.IDX"), idx);
        EXPECT_EQ(Bytes("T.BLB"), blb);
        EXPECT_EQ(t->DataFile->RecordCount(), 3);
        EXPECT_EQ(GetCount(*t, 2), 20);
        if (failing > 50) FAIL() << "the commit never got through";
    }
    EXPECT_GT(failing, 3) << "the commit wrote to every file";
    ASSERT_EQ(Database->ReleaseSharedTable(t, false, false, false), 0);
    TDataTable* again = Open("T");
    EXPECT_EQ(GetCount(*again, 2), 555);
    EXPECT_EQ(GetCount(*again, 4), 444);
}

TEST_F(DataTableTest, ClosingInsideATransactionKeepsTheFilesOpen) {
    MakeTable("T", false, 1);
    TDataTable* t = Open("T");
    Database->StartTransaction(false);
    t->CloseTable(false);
    EXPECT_EQ(t->OpenCount, 0);
    EXPECT_TRUE(t->IsOpen);
    EXPECT_TRUE(t->DataFile->IsOpen);
    Database->Rollback(false);
    EXPECT_TRUE(Database->Tables.empty());
}

// A table of a database on a server: the server opens and locks its files. Here it keeps its
// counts, record-lock notes and transaction state, and every step that would reach the files of
// the folder it names, or wait for another process's lock on them, does nothing.
TEST_F(DataTableTest, ATableOnAServerTouchesNoFileAndWaitsForNoLock) {
    MakeTable("T", true, 3);
    const std::string dat = Bytes("T.DAT"), idx = Bytes("T.IDX"), blb = Bytes("T.BLB");
    TDataSession remote(false);
    remote.SetRemote(true);
    TDataDirectory served(&remote);
    served.Directory = "D:\\";  // the folder of the real files
    ASSERT_TRUE(served.OnServer());
    // Another process holds the header byte, record 2 and the index file's write range.
    TLockHolderProcess data("D:\\T.DAT", {{HeaderLockOffset, 1}, {RecordLockBase - 2, 1}});
    TLockHolderProcess index("D:\\T.IDX", {{TIndexFile::WriteLockOffset, TIndexFile::WriteLockLength}});
    ASSERT_TRUE(data.Holding() && index.Holding());

    TDataTable* t = nullptr;
    ASSERT_EQ(served.OpenSharedTable("T", t, false, false, false, false, false, false), 0);
    EXPECT_TRUE(t->IsOpen);
    EXPECT_FALSE(t->DataFile->IsOpen || t->IndexFile->IsOpen || t->BlobFile->IsOpen);
    EXPECT_FALSE(t->BeginAccess());
    EXPECT_TRUE(t->AccessLocked);
    t->EndAccess();
    EXPECT_FALSE(t->LockForRead());
    EXPECT_TRUE(t->ReadLocked);
    t->UnlockForRead();
    EXPECT_FALSE(t->LockForWrite());
    EXPECT_TRUE(t->WriteLocked);
    t->UnlockForWrite();
    EXPECT_FALSE(t->WriteLocked);
    EXPECT_FALSE(t->LockRecord(2));
    EXPECT_TRUE(t->LockedRecords.Test(2));
    t->UnlockRecord(2);
    EXPECT_FALSE(t->LockedRecords.Test(2));
    EXPECT_FALSE(t->ChangedOnDisk());
    EXPECT_FALSE(t->ReloadIfChanged());
    for (bool commit : {true, false}) {
        SCOPED_TRACE(commit ? "commit" : "rollback");
        served.StartTransaction(false);
        EXPECT_TRUE(t->InTransaction && t->TransactionLocked);
        t->LockRecord(2);
        t->UnlockRecord(2);
        EXPECT_TRUE(t->DeferredUnlocks.Test(2)) << "the unlock waits for the transaction's end";
        if (commit)
            served.Commit(true, false, false);
        else
            served.Rollback(false);
        EXPECT_FALSE(t->InTransaction || t->TransactionLocked || t->WriteLocked);
        EXPECT_FALSE(t->LockedRecords.Test(2));
    }
    EXPECT_TRUE(Sleeps.empty());
    ASSERT_EQ(served.ReleaseSharedTable(t, false, false, false), 0);

    // Making, renaming and deleting tables of the server leave the folder's files alone.
    ASSERT_EQ(served.CreateSharedTable("N", false, false, Definition(true)), 0);
    EXPECT_FALSE(Exists("N.DAT") || Exists("N.IDX") || Exists("N.BLB"));
    EXPECT_EQ(served.RenameTableFiles("T", "U", false, false), 0);
    EXPECT_EQ(served.DeleteTableFiles("T", false), 0);
    EXPECT_EQ(Bytes("T.DAT"), dat);
    EXPECT_EQ(Bytes("T.IDX"), idx);
    EXPECT_EQ(Bytes("T.BLB"), blb);
    EXPECT_FALSE(Exists("U.DAT"));
}

}  // namespace
}  // namespace dbengine
