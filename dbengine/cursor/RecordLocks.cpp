// The cursor's side of sharing a table: the table locks around reads and writes, noticing that
// another process wrote the table, the edit lock of a record under the pessimistic and the
// optimistic protocol, and when written buffers reach the files.
//
// Another process's writes show in the change counters of the file headers. A read bracket
// looks at the data file's stored counter (without a lock) at the start of each operation; when
// it moved, the short-term shared lock is taken, which re-reads the headers and drops the stale
// caches, and the cursor goes back to its record with a fresh range and fresh bitmaps.

#include <algorithm>
#include <cstring>

#include "dbengine/cursor/DataCursor.h"
#include "dbengine/data/DataFile.h"
#include "dbengine/data/Record.h"
#include "dbengine/session/DataSession.h"

namespace dbengine {

namespace {

bool StrictChangeDetection(const TDataTable* table) {
    return table != nullptr && table->Session != nullptr && table->Session->StrictChangeDetection;
}

}  // namespace

bool TDataCursor::SkipsLocks() const {
    return Exclusive || ReadOnlyByAttribute || Table == nullptr;
}

bool TDataCursor::BeginReadAccess() {
    // Headers changed here and not written yet are this process's own work in progress: a
    // reader must not re-read the files over it. Another process writes only under the write
    // lock, and taking that lock re-reads the files in any case.
    if (Table->HoldsUnwrittenChanges()) return false;
    return Table->BeginAccess();
}

bool TDataCursor::ResyncAfterLock(bool changed) {
    return Sharing->ResyncAfterLock(changed);
}

bool TDataCursor::LocalResyncAfterLock(bool changed) {
    if (!(changed || HasTableChanged())) return false;
    SaveChangeCounters();
    ReturnToRecord();
    return true;
}

// ---- Read bracket ----

void TDataCursor::JoinTableBracket() {
    if (Table == nullptr || BracketTable != nullptr) return;
    BracketTable = Table;
    ++Table->AccessHolders;
}

void TDataCursor::LeaveTableBracket() {
    if (BracketTable == nullptr) return;
    // A cursor closed inside its own operation has left already (CloseCursor).
    if (BracketTable == Table && Table->AccessHolders > 0) --Table->AccessHolders;
    BracketTable = nullptr;
}

TDataCursor::TReadBracket::TReadBracket(TDataCursor& cursor) : Cursor(cursor) {
    Cursor.CheckDatabase();
    ++Cursor.ReadBracketDepth;
    if (Cursor.ReadBracketDepth > 1) return;
    Cursor.JoinTableBracket();
    try {
        Cursor.CheckForChanges();
    } catch (...) {
        --Cursor.ReadBracketDepth;
        Cursor.LeaveTableBracket();
        try {
            Cursor.ReleaseReadLock();
        } catch (...) {
            // The check's own failure is the one reported.
        }
        throw;
    }
}

TDataCursor::TReadBracket::~TReadBracket() {
    if (--Cursor.ReadBracketDepth > 0) return;
    Cursor.LeaveTableBracket();
    try {
        Cursor.ReleaseReadLock();
    } catch (...) {
        // Releasing a shared slot does not fail short of a broken file handle; a destructor must
        // not raise.
    }
}

void TDataCursor::CheckForChanges() {
    Sharing->CheckForChanges();
}

void TDataCursor::LocalCheckForChanges() {
    if (!IsOpen || Table == nullptr) return;
    if (StrictChangeDetection(Table)) {
        LockAndResync();
        return;
    }
    // The look at the stored counter costs one small read; the lock is taken only when it moved.
    if (Table->ChangedOnDisk()) BeginReadAccess();
    ResyncIfChanged();
}

void TDataCursor::TransactionRolledBack() noexcept {
    Sharing->TransactionRolledBack();
}

void TDataCursor::LocalTransactionRolledBack() noexcept {
    if (!IsOpen || Table == nullptr) return;
    try {
        TReadBracket bracket(*this);
        ResyncIfChanged();
    } catch (...) {
        // The next operation tries again and reports what fails.
    }
}

bool TDataCursor::LockAndResync() {
    return Sharing->LockAndResync();
}

bool TDataCursor::LocalLockAndResync() {
    if (!IsOpen || Table == nullptr) return false;
    bool changed = SkipsLocks() ? false : BeginReadAccess();
    return ResyncAfterLock(changed);
}

void TDataCursor::ReleaseReadLock() {
    Sharing->ReleaseReadLock();
}

void TDataCursor::LocalReleaseReadLock() {
    if (Table == nullptr) return;
    // Another operation on the table is still running (this one ran inside it): the lock is its.
    if (Table->AccessHolders > 0) return;
    Table->EndAccess();
}

bool TDataCursor::SyncBeforeRead() {
    return Sharing->SyncBeforeRead();
}

bool TDataCursor::LocalSyncBeforeRead() {
    if (!IsOpen || Table == nullptr || SkipsLocks()) return false;
    // While this process writes the table (an edit under the write lock), nobody else can have
    // changed it since the lock was taken, and the counters moved by the edit's own work in
    // progress are no reason to move a cursor: a read in the middle of an edit goes on as it is.
    if (Table->WriteLocked) return false;
    return ResyncAfterLock(BeginReadAccess());
}

bool TDataCursor::TableChangedByOthers() {
    return SyncBeforeRead();
}

// ---- Table locks ----

void TDataCursor::LockTableForRead() {
    if (SkipsLocks()) return;
    ResyncAfterLock(Table->LockForRead());
}

void TDataCursor::UnlockTableForRead() {
    if (SkipsLocks()) return;
    Table->UnlockForRead();
}

void TDataCursor::LockTableForWrite() {
    if (SkipsLocks()) return;
    bool took = !Table->WriteLocked;
    bool changed = Table->LockForWrite();
    try {
        ResyncAfterLock(changed);
    } catch (...) {
        // A failed lock leaves no lock behind.
        if (took) {
            try {
                Table->UnlockForWrite();
            } catch (...) {
            }
        }
        throw;
    }
}

void TDataCursor::UnlockTableForWrite() {
    if (SkipsLocks()) return;
    Table->UnlockForWrite();
}

// ---- Record locks ----

void TDataCursor::LockRecord(int32_t recNo) {
    if (SkipsLocks()) return;
    if (recNo == 0) recNo = (AtBeginning && AtEnd) ? 0 : PhysRecNo;
    if (Table->EditLocks.Test(recNo)) RaiseCursor(DBE_RECLOCKFAILED);
    // The position is kept as a copy of the leaf (or the physical number): going back to it
    // after the lock needs nothing the lock may have dropped.
    bool changed = Table->LockRecord(recNo);
    Table->EditLocks.SetBit(recNo);
    LockedRecNo = recNo;
    try {
        ResyncAfterLock(changed);
    } catch (...) {
        // A failed lock leaves no lock behind.
        try {
            UnlockRecord(recNo, true);
        } catch (...) {
        }
        throw;
    }
}

void TDataCursor::UnlockRecord(int32_t recNo, bool localOnly) {
    Sharing->UnlockRecord(recNo, localOnly);
}

void TDataCursor::EndEditLock(int32_t recNo) {
    if (SkipsLocks()) return;
    if (recNo == 0) recNo = PhysRecNo;
    Table->EditLocks.ClearBit(recNo);
    if (LockedRecNo == recNo) LockedRecNo = 0;
    Table->UnlockRecord(recNo);
}

// ---- Edits ----

bool TDataCursor::DiffersFromCurrent(const uint8_t* seen) const {
    if (seen == nullptr) return false;
    // The stored part of the record: calculated fields follow it and are no one's change.
    size_t stored = std::min<size_t>(RecordSize, Table->DataFile->RecordSize());
    return std::memcmp(seen, CurrentRecord->Data(), stored) != 0;
}

void TDataCursor::LockForEdit(const uint8_t* seen) {
    bool optimistic = Table->Session != nullptr && Table->Session->LockProtocol == lpOptimistic;
    if (optimistic) {
        // Nothing is locked before the post, which looks again.
        if (DiffersFromCurrent(seen)) RaiseCursor(DBE_KEYORRECDELETED);
        return;
    }
    LockRecord(0);
    if (Exclusive) return;
    try {
        LoadCurrentRecord(1);
    } catch (...) {
        if (LockedRecNo != 0) UnlockRecord(LockedRecNo, true);
        throw;
    }
    if (DiffersFromCurrent(seen)) {
        if (LockedRecNo != 0) UnlockRecord(LockedRecNo, true);
        RaiseCursor(DBE_KEYORRECDELETED);
    }
}

// ---- Flushing ----

void TDataCursor::FlushBuffers(bool force, bool dropCaches, bool dataChanged, bool indexChanged,
                               bool blobChanged) {
    if (Table == nullptr) return;
    Sharing->FlushBuffers(force, dropCaches, dataChanged, indexChanged, blobChanged);
}

void TDataCursor::LocalFlushBuffers(bool force, bool dropCaches, bool dataChanged, bool indexChanged,
                                    bool blobChanged) {
    if (!Exclusive || force)
        Table->FlushBuffers(dropCaches, dataChanged, indexChanged, blobChanged, false);
    else
        // Nobody else reads the files meanwhile: they are written at a forced flush or at close.
        Table->MarkFilesChanged(dataChanged, indexChanged, blobChanged);
    // The cursor's own writes are not another's.
    SaveChangeCounters();
}

void TDataCursor::FlushOSBuffers() {
    if (Table != nullptr) Sharing->FlushOSBuffers();
}

void TDataCursor::LocalFlushOSBuffers() {
    Table->FlushOSBuffers();
}

bool TDataCursor::InTransaction() const {
    return Table != nullptr && Table->InTransaction;
}

}  // namespace dbengine
