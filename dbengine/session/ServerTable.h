#pragma once
// The shared table of a database on a server. The server opens, writes and locks the table's
// files; this process keeps only what its cursors need of the table: the open and user counts,
// the headers and descriptors the server's replies bring, the notes of the records its cursors
// hold locked, and the table's part of a transaction. Every step on the files or their locks
// is the server's and does nothing here.

#include "dbengine/session/DataTable.h"

namespace dbengine {

class TServerTable final : public TDataTable {
public:
    using TDataTable::TDataTable;
    ~TServerTable() override { CloseForGood(); }

    void DeleteTable() override {}
    void RenameTable(const std::string& /*newName*/, bool /*asBackup*/) override {}
    // The server's replies bring its changes; there is nothing here to read again.
    bool ReloadIfChanged() override { return false; }
    bool ChangedOnDisk() override { return false; }
    void CommitWrite(bool /*trim*/, bool /*flushToDisk*/) override {}

protected:
    void OpenStorage() override {}
    void CreateStorage(const TTableDefinition& /*definition*/) override {}
    void CloseStorage(bool /*discard*/) override {}
    bool WaitForRecordLock(int32_t /*recordNo*/) override { return false; }
    bool UnlockRecordInFile(int32_t /*recordNo*/) override { return true; }
    bool UnlockAllRecordsInFile() override { return true; }
    void TakeSharedSlots(uint16_t& /*indexSlot*/, uint16_t& /*blobSlot*/) override {}
    void ReleaseSharedSlots(uint16_t& /*indexSlot*/, uint16_t& /*blobSlot*/) override {}
    void LockFilesForWrite() override {}
    void UnlockFilesForWrite() override {}
    bool LockDataHeader() override { return true; }
    bool UnlockDataHeader() override { return true; }
    void SaveBeforeTransaction() override {}
    void TakeCommitLock() override {}
    void ReleaseCommitLock() override {}
    void DropTransactionChanges() override {}
};

}  // namespace dbengine
