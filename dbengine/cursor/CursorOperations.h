#pragma once
// The families of cursor operations that a table of this process and a table on a database
// server answer differently. TDataCursor makes the checks every cursor makes and hands the rest
// to one implementation of each family, chosen when its database is known: its own routines over
// the shared table, or the remote cursor's requests (TRemoteCursor).

#include <cstdint>
#include <memory>
#include <string>

#include "dbengine/data/DataFile.h"
#include "dbengine/index/IndexFormat.h"
#include "dbengine/session/DataTable.h"
#include "dbengine/util/EngineError.h"

namespace dbengine {

class TDataCursor;
class TExpToken;
class TFilter;

// Navigation and ranges (the cursor's own checks done; see TTableCursor for the meanings).
class TCursorNavigation {
public:
    virtual ~TCursorNavigation() = default;
    virtual void SetIndexName(const std::string& name) = 0;
    virtual bool FindKey(bool keyGiven, const uint8_t* key, int fieldCount, bool nearest, int partialLength,
                         uint8_t* outRecord) = 0;
    virtual void SetRange(bool keysGiven, const uint8_t* startKey, int startFieldCount, const uint8_t* endKey,
                          int endFieldCount) = 0;
    virtual void ResetRange() = 0;
    virtual void SetToBegin() = 0;
    virtual void SetToEnd() = 0;
    virtual bool SetToRecNo(int32_t recNo) = 0;
    virtual TEngineErrorCode GetCurrentRecord(uint8_t* buffer, bool lock) = 0;
    virtual TEngineErrorCode GetNextRecord(uint8_t* buffer) = 0;
    virtual TEngineErrorCode GetPriorRecord(uint8_t* buffer) = 0;
    virtual TEngineErrorCode ReadRecordBlock(int32_t& count, uint8_t* buffers) = 0;
    virtual bool SetToBookmark(const uint8_t* bookmark, bool keepCrack, bool noBracket) = 0;
    virtual void Refresh() = 0;
    virtual int32_t GetRecNo() const = 0;
    virtual int32_t GetPhysicalRecNo() const = 0;
    virtual int32_t GetRecordCount() const = 0;
    // In an index order: the key of the current entry (key size bytes).
    virtual void GetBookmark(uint8_t* buffer) const = 0;
    // To the record current in other, a cursor of the same table (8710 when there is none).
    virtual TEngineErrorCode SetToCursor(TDataCursor& other) = 0;
};

// Record editing (writability and validity checked already).
class TCursorEditing {
public:
    virtual ~TCursorEditing() = default;
    virtual void InsertRecord(uint8_t* buffer, bool reposition) = 0;
    virtual void ModifyRecord(uint8_t* buffer, bool unlock, bool reposition) = 0;
    virtual void DeleteRecord(const uint8_t* buffer, bool reposition) = 0;
    virtual void CancelRecord() = 0;
    virtual TEngineErrorCode CloneCurrentRecord(uint8_t* buffer) = 0;
};

// Table files and indexes (the cursor's state checked already).
class TCursorTables {
public:
    virtual ~TCursorTables() = default;
    virtual void DeleteTable() = 0;
    virtual void RenameTable(const std::string& newName) = 0;
    // The descriptor completed (key size, field count).
    virtual void AddIndex(TIndexDescriptor desc, bool flag) = 0;
    virtual void DeleteIndex(const std::string& name, bool flag) = 0;
    virtual bool VerifyRepairTable(bool verifyOnly, bool tolerant, bool hasProgress, bool hasLog,
                                   bool forceIndexRebuild) = 0;
    // The table was just created and is open in the cursor: its full-text parameters set.
    virtual void TableCreated(const TTableDefinition& definition, bool allowAutoPrimary, bool overwrite) = 0;
    // The data file header of the table the closed cursor names (its password known).
    virtual TDataHeader ReadClosedTableHeader() = 0;
    // The open table's records gone.
    virtual void EmptyTable() = 0;
    // The definition checked already.
    virtual void RestructureTable(const TTableDefinition& definition, bool allowAutoPrimary,
                                  int32_t lastAutoInc, bool suppressBackup) = 0;
};

// The six value operations on BLOB fields of a record buffer.
class TCursorBlobs {
public:
    virtual ~TCursorBlobs() = default;
    virtual TEngineErrorCode OpenBlob(uint16_t fieldNo, uint8_t* record, uint8_t mode, bool byTableDesc,
                                      bool recordBound, int32_t& size, bool keepRemoteHandle) = 0;
    virtual TEngineErrorCode FreeBlob(uint16_t fieldNo, uint8_t* record, bool byTableDesc, bool flag) = 0;
    virtual TEngineErrorCode GetBlob(uint16_t fieldNo, const uint8_t* record, int32_t offset, uint8_t* dest,
                                     int32_t count, int32_t& bytesRead, bool byTableDesc) = 0;
    virtual TEngineErrorCode PutBlob(uint16_t fieldNo, uint8_t* record, int32_t offset, const uint8_t* source,
                                     int32_t count, bool byTableDesc) = 0;
    virtual TEngineErrorCode TruncateBlob(uint16_t fieldNo, uint8_t* record, int32_t newLength,
                                          bool byTableDesc) = 0;
    virtual TEngineErrorCode GetBlobSize(uint16_t fieldNo, const uint8_t* record, int32_t& size,
                                         bool byTableDesc) = 0;
    // Told before the cursor frees every value it holds open (all) or those bound to their record;
    // the values held by a server are freed there.
    virtual void FreeingAllBlobs(bool all) = 0;
};

// The cursor's life with its table: open, close and clone, the full-text parameters, and what a
// server keeps of the cursor (a table of this process keeps it all in the cursor itself).
class TCursorLife {
public:
    virtual ~TCursorLife() = default;
    // The cursor was made or is being destroyed.
    virtual void Created() = 0;
    virtual void Destroyed() noexcept = 0;
    // The shared table was had and the read-only flags taken from it: the rest of the open.
    virtual void Open() = 0;
    // The start of a close of an open cursor.
    virtual void Closing() = 0;
    virtual std::unique_ptr<TDataCursor> Clone() = 0;
    // The server's engine version times 10000; 0 for a table of this process.
    virtual double ServerEngineVersion() const = 0;
    // The auto-increment suppression changed on an open cursor.
    virtual void SuppressAutoIncChanged(bool value) = 0;
    // The full-text parameters into the cursor; written back (when changed) at close.
    virtual void LoadTextIndexParams() = 0;
    virtual void WriteTextIndexParams() = 0;
};

// Sharing the table: the table locks around reads, noticing that another process wrote the
// table, the end of a record's edit lock, and when written buffers reach the files. The changes
// a server makes reach the cursor through its replies.
class TCursorSharing {
public:
    virtual ~TCursorSharing() = default;
    virtual bool ResyncAfterLock(bool changed) = 0;
    virtual void CheckForChanges() = 0;
    virtual void TransactionRolledBack() noexcept = 0;
    virtual bool LockAndResync() = 0;
    virtual void ReleaseReadLock() = 0;
    virtual bool SyncBeforeRead() = 0;
    virtual bool ResyncIfChanged() = 0;
    virtual void UnlockRecord(int32_t recNo, bool localOnly) = 0;
    virtual void FlushBuffers(bool force, bool dropCaches, bool dataChanged, bool indexChanged,
                              bool blobChanged) = 0;
    virtual void FlushOSBuffers() = 0;
};

// Filters: a table of this process evaluates them into the cursor's bitmaps; a server evaluates
// its copies and is told of every change.
class TCursorFiltering {
public:
    virtual ~TCursorFiltering() = default;
    // The optimize level of a filter condition (see TTableCursor::GetConditionOptimizeLevel).
    virtual uint8_t RateCondition(TExpToken* node, bool estimateCounts, bool costRule) = 0;
    // A filter entered the cursor's list.
    virtual void FilterAdded(TFilter& filter, bool ownsTree) = 0;
    virtual void DropFilter(TFilter* filter) = 0;
    virtual void ActivateFilter(TFilter* filter) = 0;
    virtual void DeactivateFilter(TFilter* filter) = 0;
    virtual void ReplaceFilterExpression(TExpToken* tree, TFilter* filter) = 0;
    // BitmapNavigation was set again (was: its value before).
    virtual void BitmapNavigationChanged(bool was) = 0;
};

}  // namespace dbengine
