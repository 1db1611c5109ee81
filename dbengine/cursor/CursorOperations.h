#pragma once
// The families of cursor operations that a table of this process and a table on a database
// server answer differently. TDataCursor makes the checks every cursor makes and hands the rest
// to one implementation of each family, chosen when its database is known: its own routines over
// the shared table, or the remote cursor's requests (TRemoteCursor).

#include <cstdint>
#include <string>

#include "dbengine/index/IndexFormat.h"
#include "dbengine/util/EngineError.h"

namespace dbengine {

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
};

}  // namespace dbengine
