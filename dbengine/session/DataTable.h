#pragma once
// The shared table: one per open table and database in the process. It owns the table's three
// file objects (data, index, BLOB), builds their names, opens and closes them as cursors come
// and go, decides when cached changes are written, and holds every lock the process has on the
// table together with the table's part of a database transaction.
//
// Lock state between processes (byte ranges at the top of each file):
//   AccessLocked       a shared slot of the index (and BLOB) file for one cursor operation
//   ReadLocked         the same, held for a whole SQL statement
//   WriteLocked        the data header byte and the exclusive ranges, while writing
//   TransactionLocked  the data header byte, from the start to the end of a transaction
// Exclusive tables and tables whose files are read-only by attribute take no locks at all.
//
// TDataTable is a table whose files this process opens and locks itself. A table of a database
// on a server (TServerTable) keeps the same counts, flags and record-lock notes, but its files
// and their locks live on the server: every step that would touch them does nothing.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dbengine/blob/BlobFile.h"
#include "dbengine/data/DataFile.h"
#include "dbengine/index/IndexFile.h"
#include "dbengine/index/TextIndexParams.h"
#include "dbengine/util/RecordsBitmap.h"
#include "dbengine/util/VerifyLog.h"
#include "framework/core/Object.h"

namespace dbengine {

class TDataDirectory;
class TDataSession;

// What a new table is made of: the header values, the field descriptors, the primary and the
// secondary index descriptors and the full-text index descriptor.
struct TTableDefinition {
    int16_t LanguageId = 0;
    uint16_t SortId = 0;
    int16_t UserMajorVersion = 0;
    int16_t UserMinorVersion = 0;
    bool Encrypted = false;
    std::string Password;
    std::string Description;
    uint16_t BlobBlockSize = 0;  // 0: the default of 512
    std::vector<TFieldDescriptor> Fields;
    TIndexDescriptor PrimaryIndex;  // no fields: the internal record order
    std::vector<TIndexDescriptor> SecondaryIndexes;
    TIndexDescriptor TextIndex;
    // Full-text parameters: no list means the default stop words, an all-zero set the default
    // set. The shared table does not store them; the creating cursor does.
    std::optional<std::vector<std::string>> StopWords;
    TCharSet SpaceChars{};
    TCharSet IncludeChars{};
};

class TDataTable : public framework::TObject, public TIndexFileOwner {
public:
    // The session is the directory's; a table without a directory (tests) names its own.
    TDataTable(TDataDirectory* directory, TDataSession* session);
    ~TDataTable() override;
    TDataTable(const TDataTable&) = delete;
    TDataTable& operator=(const TDataTable&) = delete;

    // The database's name as messages show it (its folder for a local database).
    std::string GetDatabaseName() const;
    // Whether buffers written are also to be flushed to disk (the session's setting).
    bool ForceBufferFlush() const;
    // Deleted records are reused only under a primary index of the user's.
    bool HasUserPrimaryIndex() const override;
    bool HasBlobFields() const;

    // Flags, before opening.
    void SetExclusive(bool value) { Exclusive = value; }
    void SetInMemory(bool value) { InMemory = value; }
    void SetTemporary(bool value) { Temporary = value; }
    void SetTableName(const std::string& name);
    void IncOpenCount() { ++OpenCount; }
    void DecOpenCount() {
        if (OpenCount > 0) --OpenCount;
    }
    void IncUserCursorCount() { ++UserCursorCount; }
    void DecUserCursorCount() {
        if (UserCursorCount > 0) --UserCursorCount;
    }

    // ---- Files ----
    void BuildFileNames();
    void OpenTable();
    void CloseTable(bool discard);
    // Leaves the table open (OpenCount raised) for the creating cursor.
    void CreateTable(const TTableDefinition& definition);
    virtual void DeleteTable();
    virtual void RenameTable(const std::string& newName, bool asBackup);
    void EmptyTable();
    void BackupIndexFile();
    void RestoreIndexFile(bool keepCurrent, bool deleteBackup);
    // True (and the stale caches dropped) when another process changed the table.
    virtual bool ReloadIfChanged();
    // Whether another process has written the table since its headers were last read: a look at
    // the data file's change counter without a lock. Every write of a record raises that counter,
    // so it alone tells. False while a lock that keeps writers out is held (the state is fresh
    // then), and for tables that take no locks or live in memory.
    virtual bool ChangedOnDisk();
    // Whether a file header was changed in memory and is not written yet.
    bool HoldsUnwrittenChanges() const;
    void FlushBuffers(bool trim = false, bool forceDataHeader = false, bool forceIndexHeader = false,
                      bool forceBlobHeader = false, bool forceOSFlush = false);
    void MarkFilesChanged(bool data, bool index, bool blob);
    // A BLOB chain that a record edit gave up (the value was replaced, emptied or its record
    // deleted). It is freed by the flush that has written the record, never before.
    struct TReleasedChain {
        int32_t FirstBlock;
        int32_t Stamp;
        int32_t RecordNo;
    };
    void ReleaseChain(int32_t firstBlock, int32_t stamp, int32_t recordNo);
    // Frees the released chains unless a transaction still holds the records back; true when it
    // freed some.
    bool FreeReleasedChains();
    std::vector<TReleasedChain> ReleasedChains;
    // The data file's physical record sort.
    void SortRecords(const std::vector<TFieldDescriptor>& fields, bool caseInsensitive, int32_t limit,
                     bool distinct, bool grouping, bool finish, bool filter, TDataQuery* context) {
        DataFile->SortRecords(fields, caseInsensitive, limit, distinct, grouping, finish, filter, context);
    }
    void DiscardBuffers(bool trim, bool rereadHeaders);
    // The write journal of the three files (see TFileHandler): begun before an edit of a shared
    // table writes anything, ended when it went through. PutBackJournaledWrites puts the files
    // back as they were at the start, byte for byte, and drops the caches and re-reads the
    // headers so that memory holds that state too; false (nothing dropped) when a file could not
    // be put back whole or when nothing was written (the caches then hold the whole state).
    void BeginWriteJournal();
    void EndWriteJournal();
    bool PutBackJournaledWrites() noexcept;
    void FlushOSBuffers();
    void CheckHeaders();
    void CheckVersions();
    // The header verification (repair unless verifyOnly) of the three files; the BLOB result is
    // true for a table without BLOB fields.
    void VerifyFiles(TVerifyLog& log, bool verifyOnly, bool& dataOk, bool& indexOk, bool& blobOk);
    // The BLOB chain check of one value; true when the table has no open BLOB file.
    bool VerifyBlobs(TVerifyLog& log, bool verifyOnly, int32_t& firstBlock, int32_t stamp, int32_t recordNo,
                     bool tolerant);
    int32_t DataChangeCount() const { return DataFile->Header.ChangeCount; }
    int32_t IndexChangeCount() const { return IndexFile->GetChangeCount(); }
    int32_t BlobChangeCount() const { return HasBlobFields() ? BlobFile->GetChangeCount() : 0; }

    // ---- Locks ----
    bool LockRecord(int32_t recordNo);
    void UnlockRecord(int32_t recordNo);
    void ReleaseRecordLocks(bool deferredOnly);
    bool LockForRead();
    void UnlockForRead();
    bool BeginAccess();
    void EndAccess();
    bool LockForWrite();
    void UnlockForWrite();
    void LockForTransaction();
    void UnlockForTransaction();

    // ---- Transactions ----
    void StartTransaction();
    void CommitLock();
    virtual void CommitWrite(bool trim, bool flushToDisk);
    void CommitEnd(bool endTransaction);
    void Rollback();

    // ---- TIndexFileOwner ----
    const TEngineSettings* GetSettings() override;
    std::string GetDatabaseName() override;
    std::string GetTableName() override { return TableName; }
    const TFieldDescriptor* FindField(uint16_t fieldNo) override;
    bool GetFilesWritten() override { return FilesWritten; }
    void SetFilesWritten() override { FilesWritten = true; }
    bool HoldsTransactionLock() override { return TransactionLocked; }
    bool IsExclusive() const override { return Exclusive; }
    void RecordsSorted(int32_t recordCount) override;
    bool IsEncrypted() override { return DataFile->Encrypted(); }
    void GetScrambleSeeds(uint8_t& seed1, uint8_t& seed2) override {
        seed1 = DataSeed1;
        seed2 = DataSeed2;
    }

    TDataDirectory* Directory;
    TDataSession* Session;
    uint16_t OpenCount = 0;
    uint16_t UserCursorCount = 0;
    std::string TableName;
    bool IsOpen = false;
    bool Exclusive = false;
    bool ReadOnly = false;
    bool ReadOnlyByAttribute = false;
    bool InMemory = false;
    bool Temporary = false;
    std::unique_ptr<TDataFile> DataFile;
    std::unique_ptr<TIndexFile> IndexFile;
    std::unique_ptr<TBlobFile> BlobFile;
    bool IndexRecreated = false;
    TRecordsBitmap LockedRecords;
    TRecordsBitmap EditLocks;
    TRecordsBitmap DeferredUnlocks;
    bool ReadLocked = false;
    bool AllRecordsLocked = false;
    bool SavedAllRecordsLocked = false;
    bool DeferredAllUnlock = false;
    bool AccessLocked = false;
    // Cursor operations of this process running on the table (one per cursor, however deeply its
    // own operations nest). An operation run inside another (a clone being set up, a callback
    // filter reading through a second cursor) must not release the short-term lock that the
    // outer one still relies on: only the last one to end releases it.
    int32_t AccessHolders = 0;
    bool WriteLocked = false;
    uint16_t AccessIndexSlot = 0;
    uint16_t AccessBlobSlot = 0;
    uint16_t ReadIndexSlot = 0;
    uint16_t ReadBlobSlot = 0;
    bool TransactionLocked = false;
    bool InTransaction = false;
    // Set whenever one of the files writes or marks its header, records, pages or blocks;
    // cleared when the files close.
    bool FilesWritten = false;

protected:
    // ---- The table's files and the locks between processes on them ----
    // A table on a server (TServerTable) has neither here: it answers each with nothing done.
    // Names and opens the three files; on failure none stays open.
    virtual void OpenStorage();
    // Makes and opens the three files; on failure none of them is left behind.
    virtual void CreateStorage(const TTableDefinition& definition);
    // The last close: an exclusive table's buffers written (dropped, for a discarded temporary
    // table), the table locks given back and the files closed.
    virtual void CloseStorage(bool discard);
    // The file lock of a record, retried as the session says; true when another process changed
    // the table meanwhile.
    virtual bool WaitForRecordLock(int32_t recordNo);
    virtual bool UnlockRecordInFile(int32_t recordNo);
    virtual bool UnlockAllRecordsInFile();
    // Takes a shared slot of the index file and, with BLOB fields, of the BLOB file; on failure
    // nothing stays taken.
    virtual void TakeSharedSlots(uint16_t& indexSlot, uint16_t& blobSlot);
    virtual void ReleaseSharedSlots(uint16_t& indexSlot, uint16_t& blobSlot);
    // The data header byte (unless a transaction holds it already) and the exclusive ranges of
    // the index and BLOB files; on failure nothing stays taken.
    virtual void LockFilesForWrite();
    virtual void UnlockFilesForWrite();
    // The data header byte that a transaction on a shared table holds.
    virtual bool LockDataHeader();
    virtual bool UnlockDataHeader();
    // The start of a transaction: an exclusive table's buffers and the pages of the temporary
    // indexes written.
    virtual void SaveBeforeTransaction();
    // The write lock a commit writes under.
    virtual void TakeCommitLock();
    virtual void ReleaseCommitLock();
    // A rollback: the caches dropped and read again from the files, the commit's lock given back.
    virtual void DropTransactionChanges();

    // Rolls back and closes the table whatever its state, raising nothing. Each kind of table
    // runs it from its own destructor, so that the steps above are still its own.
    void CloseForGood() noexcept;
    [[noreturn]] void RaiseTable(TEngineErrorCode code) const;
    bool TakesNoLocks() const { return Exclusive || ReadOnlyByAttribute; }

private:
    // Opens the three files (steps common to opening and creating); closes them on failure.
    void OpenFiles();
    void CloseFiles();
    // Grows the three lock bitmaps to the record count + 1 (at least to atLeast records).
    void SizeBitmaps(int32_t atLeast = 0);
    void ReleaseAllRecordsLock();
    bool BlobOpen() const { return HasBlobFields() && BlobFile->IsOpen; }
    // Whether the files' header images (see TFileHandler::NoteStoredBytes) are their bytes on
    // disk: true from the headers' reading under the write lock until the lock goes.
    void TrustHeaderImages(bool trusted);
};

}  // namespace dbengine
