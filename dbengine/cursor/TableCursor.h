#pragma once
// The operations of a cursor over one table, for the layers above the engine (the SQL layer, the
// data controls). A cursor is made by TDataCursor (cursor/DataCursor.h) for a database; the same
// operations serve a table of this process and one on a database server.
//
// Conventions:
// - Record buffers hold the cursor's record size (GetRecordSize) bytes; a field's value buffer
//   its value size (4 bytes, the handle, for a BLOB field). Field numbers are positions among
//   the cursor's fields, from 1.
// - Operations that return a TEngineErrorCode return 0 for success and the code otherwise (at
//   the beginning 8705, at the end 8706, no current record 8709); all other failures raise
//   EDbEngineError (util/EngineError.h) with the table's and database's names.
// - Every operation but the option setters needs an open cursor, except where said.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dbengine/cursor/CursorFilters.h"
#include "dbengine/data/FieldDescriptor.h"
#include "dbengine/session/DataTable.h"
#include "dbengine/util/EngineError.h"

namespace dbengine {

class TDataCursor;
class TDataDirectory;
class TExpToken;

class TTableCursor {
public:
    virtual ~TTableCursor() = default;

    // Asked when the table's password is not among the session's: true asks the cursor to look
    // again (the callback has added it, say).
    using TPasswordCallback = std::function<bool(TDataCursor& cursor)>;
    // Maintenance callbacks (verify, repair, index build, restructure); each gets the cursor
    // first. Percentages are whole numbers.
    using TProgressMessageCallback =
        std::function<void(TDataCursor&, const std::string& message, int percent)>;
    using TMessageCallback = std::function<void(TDataCursor&, const std::string& message)>;
    using TPercentCallback = std::function<void(TDataCursor&, int percent)>;
    using TDataLostCallback = std::function<void(TDataCursor&, int cause, const std::string& context,
                                                 bool& continueWork, bool& stopAsking)>;

    // ---- Options (before OpenCursor) and life cycle ----
    virtual void SetTableName(const std::string& name) = 0;
    virtual void SetExclusive(bool value) = 0;
    virtual void SetReadOnly(bool value) = 0;
    virtual void SetInMemory(bool value) = 0;
    virtual void SetTemporary(bool value) = 0;
    // The cursor reads a query's source table / holds a query's result.
    virtual void SetQuerySource(bool value) = 0;
    virtual void SetQueryResult(bool value) = 0;
    // The options as set (read-only also when the table's files are).
    virtual bool GetExclusive() const = 0;
    virtual bool GetReadOnly() const = 0;
    virtual bool GetInMemory() const = 0;
    virtual bool GetQuerySource() const = 0;
    virtual bool GetQueryResult() const = 0;
    // Nothing when open already; on failure the cursor is left closed.
    virtual void OpenCursor() = 0;
    // Nothing when not open; discard drops what is not yet written.
    virtual void CloseCursor(bool discard) = 0;
    // Callbacks live from their setter to the next close.
    virtual void SetPasswordCallback(TPasswordCallback callback) = 0;
    virtual void SetSteppedProgressCallback(TProgressMessageCallback callback) = 0;
    virtual void SetLogCallback(TMessageCallback callback) = 0;
    virtual void SetRestructureProgressCallback(TPercentCallback callback) = 0;
    virtual void SetDataLostCallback(TDataLostCallback callback) = 0;
    // The server's engine version times 10000 (31100, say); 0 for a table of this process.
    virtual double GetServerVersion() const = 0;
    // Nothing for code 0; else the engine error with this table's and database's names.
    virtual void CheckError(TEngineErrorCode code, const std::string& message) const = 0;
    virtual void CheckFieldError(TEngineErrorCode code, const std::string& fieldName) const = 0;

    // ---- Tables (the cursor closed, exclusive and writable) ----
    // Creates the table named by the cursor and leaves the cursor closed; an existing table is
    // replaced only with overwrite (else 13060).
    virtual void CreateTable(TTableDefinition definition, bool allowAutoPrimary, bool overwrite) = 0;
    virtual void DeleteTable() = 0;
    virtual void RenameTable(const std::string& newName) = 0;
    // Open, exclusive and writable.
    virtual void EmptyTable() = 0;
    virtual bool IndexExists(const std::string& name) const = 0;
    // Of an open cursor from its table, of a closed one from the data file's header.
    virtual int16_t GetUserMajorVersion() = 0;
    virtual int16_t GetUserMinorVersion() = 0;

    // ---- Fields and record buffers ----
    virtual uint16_t GetFieldCount() const = 0;
    virtual uint16_t GetRecordSize() const = 0;
    // 9985 for an unknown field.
    virtual void GetFieldDesc(uint16_t fieldNo, TFieldDescriptor& desc) const = 0;
    virtual void FindFieldDescByName(const std::string& name, TFieldDescriptor& desc) const = 0;
    // Zero bytes over the record size (no defaults, every field NULL).
    virtual void ClearRecordBuffer(uint8_t* buffer) const = 0;
    virtual void InitRecord(uint8_t* buffer) = 0;
    virtual void GetField(uint16_t fieldNo, const uint8_t* record, uint8_t* value, bool& isBlank) = 0;
    // A null value makes the field NULL.
    virtual void PutField(uint16_t fieldNo, uint8_t* record, const uint8_t* value, bool force,
                          bool blobBlank) = 0;
    // Raises the first required (9732), minimum (9730) or maximum (9731) violation.
    virtual void CheckRecordValidity(const uint8_t* record) = 0;
    // The table's own fields (calculated fields of the cursor left out): by number, and the
    // number of a name (0 for none).
    virtual void GetTableFieldDesc(uint16_t fieldNo, TFieldDescriptor& desc) const = 0;
    virtual uint16_t GetTableFieldNumber(const std::string& name) const = 0;
    virtual void GetTableField(uint16_t fieldNo, const uint8_t* record, uint8_t* value, bool& isBlank) = 0;

    // ---- Navigation and ranges ----
    virtual void SetToBegin() = 0;
    virtual void SetToEnd() = 0;
    virtual TEngineErrorCode GetCurrentRecord(uint8_t* buffer, bool lock) = 0;
    virtual TEngineErrorCode GetNextRecord(uint8_t* buffer) = 0;
    virtual TEngineErrorCode GetPriorRecord(uint8_t* buffer) = 0;
    // Up to count records from the one after the current, into consecutive record buffers;
    // count receives how many were read.
    virtual TEngineErrorCode ReadRecordBlock(int32_t& count, uint8_t* buffers) = 0;
    // Recomputes range positions and bitmaps and returns to the current record.
    virtual void Refresh() = 0;
    virtual bool SetToRecNo(int32_t recNo) = 0;
    virtual int32_t GetRecNo() const = 0;
    virtual int32_t GetRecordCount() const = 0;
    virtual uint16_t GetBookmarkSize() const = 0;
    virtual void GetBookmark(uint8_t* buffer) const = 0;
    virtual bool SetToBookmark(const uint8_t* bookmark, bool keepCrack, bool noBracket) = 0;
    virtual int CompareBookmarks(const uint8_t* b1, const uint8_t* b2) const = 0;
    // 10022 when the table has no index of that name; the cursor stays on its record.
    virtual void SetIndexName(const std::string& name) = 0;
    virtual void SetIndexNumber(uint8_t indexNo) = 0;
    // 0: the primary index (or the engine's own order), then the secondary ones.
    virtual uint8_t GetCurrentIndexNumber() const = 0;
    // The current order is the engine's own record order.
    virtual bool IsNaturalOrder() const = 0;
    virtual uint8_t GetSecondaryIndexCount() const = 0;
    virtual TIndexDescriptor GetIndexDesc(uint8_t indexNo) const = 0;
    // Key is a ready key (keyGiven) or a record buffer to build it from; fieldCount leading
    // index fields and partialLength characters of the next one count.
    virtual bool FindKey(bool keyGiven, const uint8_t* key, int fieldCount, bool nearest, int partialLength,
                         uint8_t* outRecord) = 0;
    // Both ends included; a missing end is open.
    virtual void SetRange(bool keysGiven, const uint8_t* startKey, int startFieldCount, const uint8_t* endKey,
                          int endFieldCount) = 0;
    virtual void ResetRange() = 0;
    // Key of a record buffer in the current index (not natural order), into key.
    virtual void BuildKey(const uint8_t* record, uint8_t* key) = 0;

    // ---- Record editing and locks ----
    // Every refusal (validity, 9729 duplicate key, 8708 changed record) comes before anything
    // is written; a later failure gives back what was written.
    virtual void InsertRecord(uint8_t* buffer, bool reposition) = 0;
    virtual void ModifyRecord(uint8_t* buffer, bool unlock, bool reposition) = 0;
    virtual void DeleteRecord(const uint8_t* buffer, bool reposition) = 0;
    virtual void CancelRecord() = 0;
    // 0, or 8709 without a current record.
    virtual TEngineErrorCode CloneCurrentRecord(uint8_t* buffer) = 0;
    // recNo 0: the current record. 10258 when another cursor or process holds it.
    virtual void LockRecord(int32_t recNo) = 0;
    virtual void UnlockRecord(int32_t recNo, bool localOnly) = 0;
    // The statement read lock, held while a statement runs.
    virtual void LockTableForRead() = 0;
    virtual void UnlockTableForRead() = 0;
    // The cursor's database has a transaction running.
    virtual bool InTransaction() const = 0;
    // Written buffers to the files: always for a non-exclusive cursor, for an exclusive one only
    // when forced; then the files to disk.
    virtual void FlushBuffers(bool force, bool dropCaches, bool dataChanged, bool indexChanged,
                              bool blobChanged) = 0;
    virtual void FlushOSBuffers() = 0;

    // ---- Filters ----
    // An inactive filter from the expression text, else the tree (owned when ownsTree), else the
    // callback.
    virtual TFilter* AddFilter(void* owner, const std::string& expressionText, TExpToken* tree, bool ownsTree,
                               TFilterCallback callback, bool evaluateLast, bool estimateCounts,
                               bool costBased, bool caseInsensitive, bool noPartialCompare) = 0;
    // A null filter: all of them.
    virtual void DropFilter(TFilter* filter) = 0;
    virtual void ActivateFilter(TFilter* filter) = 0;
    virtual void DeactivateFilter(TFilter* filter) = 0;
    virtual bool HasActiveFilter() const = 0;
    // A new tree for an active filter (nothing for a null tree; else 10050).
    virtual void ReplaceFilterExpression(TExpToken* tree, TFilter* filter) = 0;
    // How much of the condition the indexes answer: 0 none, 1 partly, 2 wholly.
    virtual uint8_t GetConditionOptimizeLevel(TExpToken* node, bool estimateCounts, bool costRule) = 0;

    // ---- BLOB values of a record buffer's fields (by the cursor's field numbers unless
    // byTableDesc) ----
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
    // Frees the values that record holds open (the changes are dropped).
    virtual void FreeRecordBlobs(uint8_t* record) = 0;
    // Every value (all) or those bound to their record; localOnly leaves the server's alone.
    virtual void FreeAllBlobs(bool all, bool localOnly) = 0;

    // ---- Full text: TEXTSEARCH and TEXTOCCURS with the table's text parameters ----
    virtual bool TextSearch(const char* searchText, int32_t searchLength, const char* valueText,
                            int32_t valueLength) = 0;
    virtual int32_t TextOccurs(const char* searchText, int32_t searchLength, const char* valueText,
                               int32_t valueLength) = 0;

    // ---- Maintenance (the cursor closed and exclusive) ----
    // True when nothing was wrong; unless verifyOnly, what was found is repaired.
    virtual bool VerifyRepairTable(bool verifyOnly, bool tolerant, bool hasProgress, bool hasLog,
                                   bool forceIndexRebuild) = 0;
    // Open, exclusive and writable: a new secondary index built from every record.
    virtual void AddIndex(TIndexDescriptor desc, bool flag) = 0;
    virtual void DeleteIndex(const std::string& name, bool flag) = 0;
};

// A new closed cursor of the database (of this process or on a server).
std::unique_ptr<TTableCursor> NewTableCursor(TDataDirectory* database);

}  // namespace dbengine
