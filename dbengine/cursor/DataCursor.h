#pragma once
// A cursor: one open view of one table. It holds the table's name and its open options, borrows
// the shared table from its database while it is open, and keeps what belongs to this one view:
// its copies of the field descriptors, the table's language and character order, the change
// counters it last saw, its record bitmaps and its callbacks.
//
// Options are set while the cursor is closed (10031 otherwise) and take effect at the next open;
// callbacks live from their setter to the next close.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dbengine/blob/BlobBuffer.h"
#include "dbengine/cursor/CursorFilters.h"
#include "dbengine/cursor/CursorOperations.h"
#include "dbengine/cursor/FilterOptimizer.h"
#include "dbengine/cursor/LeafPlace.h"
#include "dbengine/cursor/TableCursor.h"
#include "dbengine/data/FieldDescriptor.h"
#include "dbengine/expr/CharMaps.h"
#include "dbengine/index/FullTextIndex.h"
#include "dbengine/index/IndexCursor.h"
#include "dbengine/index/Page.h"
#include "dbengine/index/TextIndexParams.h"
#include "dbengine/session/DataDirectory.h"
#include "dbengine/session/DataTable.h"
#include "dbengine/util/EngineError.h"
#include "dbengine/util/RecordsBitmap.h"
#include "dbengine/util/VerifyLog.h"
#include "framework/core/Object.h"

namespace dbengine {

class TDataQuery;
class TDataTable;
class TRemoteCursor;
class TRecord;
class TBlobRecordWrite;

class TDataCursor final : public framework::TObject,
                          public TTableCursor,
                          public TIndexCursor,
                          public TRecordFetchClient,
                          public TDirectoryUser,
                          public TVerifyLog {
public:
    explicit TDataCursor(TDataDirectory* database);
    ~TDataCursor() override;
    TDataCursor(const TDataCursor&) = delete;
    TDataCursor& operator=(const TDataCursor&) = delete;

    uint16_t GetFieldCount() const override { return FieldCount; }
    uint16_t GetRecordSize() const override { return RecordSize; }

    // ---- Life cycle ----
    // Nothing when open already; on any failure after the shared table was had, the cursor is
    // closed again (the table given back) before the error goes on.
    void OpenCursor() override;
    // Nothing when not open.
    void CloseCursor(bool discard) override;
    // A new open cursor on the same table with the same options (a clone of an exclusive cursor
    // shares its table) and this cursor's field descriptors.
    std::unique_ptr<TDataCursor> CloneCursor();

    // ---- Options ----
    void SetTableName(const std::string& name) override;
    void SetExclusive(bool value) override;
    void SetShareExclusive(bool value);
    void SetReadOnly(bool value) override;
    void SetInMemory(bool value) override;
    void SetQuerySource(bool value) override;
    void SetTemporary(bool value) override;
    // Stored at any time.
    void SetQueryResult(bool value) override { IsQueryResult = value; }
    bool GetExclusive() const override { return Exclusive; }
    bool GetReadOnly() const override { return ReadOnly; }
    bool GetInMemory() const override { return InMemory; }
    bool GetQuerySource() const override { return IsQuerySource; }
    bool GetQueryResult() const override { return IsQueryResult; }
    bool GetShareExclusive() const { return ShareExclusive; }
    bool GetTemporary() const { return IsTemporary; }
    bool GetSuppressAutoInc() const { return SuppressAutoInc; }
    // Found at open: the table's files may not be written (also ReadOnly then).
    bool IsReadOnlyByAttribute() const { return ReadOnlyByAttribute; }
    // The read-only flags of the shared table the cursor opened.
    void TakeReadOnlyFrom(const TDataTable& table);
    // The table name and options of a cursor that a server made (a statement's result), as its
    // reply gives them.
    void AdoptServerOptions(const std::string& tableName, bool exclusive, bool inMemory, bool temporary,
                            bool queryResult, bool querySource);
    // A clone's options: those of other, sharing its table when other is exclusive.
    void CopyOptionsFrom(const TDataCursor& other);
    // Only on an open cursor of a table with an auto-increment field.
    void SetSuppressAutoInc(bool value);
    // Records inserted keep the record ID their buffer holds, with or without an auto-increment
    // field (a restructure's copy).
    void KeepRecordIds() { SuppressAutoInc = true; }

    // The database of a cursor made without one (a remote clone), told of the cursor.
    void AdoptDatabase(TDataDirectory* database);
    // The database is being freed (the engine finalised): the cursor closes and from then on
    // every operation raises 10758.
    void DirectoryFreed() noexcept override;
    // Catches up with the table's state after a rollback, as its next operation would.
    void TransactionRolledBack() noexcept override;

    // ---- Checks ----
    // 10758 once the cursor's database was freed.
    void CheckDatabase() const;
    void CheckExclusive() const;
    void CheckWritable() const;
    void CheckClosed() const;

    // ---- Table definitions and table files ----
    // The checks may rewrite the definition: trimmed names, sizes and decimals of types that
    // have none, value sizes, offsets (with assignOffsets), key sizes and field counts.
    void CheckTableDefinition(TTableDefinition& definition, int32_t lastAutoInc, bool allowAutoPrimary,
                              bool allowCalculated);
    void CheckFieldDescs(std::vector<TFieldDescriptor>& fields, bool allowCalculated, bool assignOffsets);
    void CheckIndexDescs(const std::vector<TFieldDescriptor>& fields, TTableDefinition& definition,
                         bool allowAutoPrimary);
    // Creates the table named by the cursor (which must be exclusive and writable) and leaves
    // the cursor closed; an existing table is replaced only with overwrite (else 13060, and no
    // file is touched).
    void CreateTable(TTableDefinition definition, bool allowAutoPrimary, bool overwrite) override;
    void DeleteTable() override;
    void RenameTable(const std::string& newName) override;
    // The data file header, also of a closed cursor's table (whose password must be known).
    TDataHeader ReadTableHeader();
    bool IndexExists(const std::string& name) const override;
    // Exclusive and writable; the full-text parameters survive (they live in the index file).
    void EmptyTable() override;
    void SetTableInfo(const std::string& password, const std::string& description, int32_t lastRecordId,
                      int16_t userMajorVersion, int16_t userMinorVersion);
    void ReplaceIndexDesc(uint8_t indexNo, const TIndexDescriptor& desc);
    // Installs checked copies of the descriptors (calculated ones allowed, offsets kept); each
    // calculated field gets room at the end of the cursor's record buffer.
    void SetFieldDescs(std::vector<TFieldDescriptor> fields);
    // Calculated fields get their room as above; every field names this table as its origin.
    void SetFieldOrigins();
    void RenameIndexDesc(uint8_t indexNo, const TIndexDescriptor& desc);

    // ---- Full-text parameters ----
    // Loaded once per open table: a new table name or a close makes the next use load again.
    void LoadTextIndexParams();
    void ReadTextIndexParams();
    // Replaces the parameters (no list: an empty one); they are written when the cursor closes.
    void SetTextIndexParams(const std::vector<std::string>* words, const TCharSet& spaceChars,
                            const TCharSet& includeChars);
    void WriteTextIndexParams();
    TLanguageStringList& GetStopWords();
    TCharSet GetSpaceChars();
    TCharSet GetIncludeChars();

    // ---- Full-text index words (CursorFullText.cpp) ----
    // Told of every word key a routine inserts (true) or deletes (false) in the text index, so
    // that a failing edit can give the keys back.
    using TWordKeyNote = std::function<void(bool inserted, const uint8_t* key, int32_t recNo)>;
    // Words of a text with the cursor's parameters (loaded first); with wildcard "*" is a word
    // character.
    void SplitTextWords(const char* text, int32_t length, bool wildcard, TTextWordList& list);
    bool IsTextIndexedField(uint16_t fieldNo) const;
    // Key upkeep for the words of a table record's full-text fields. Records are table record
    // buffers: the physical number in bytes 1..4, the record ID in bytes 5..8. Each routine
    // works in the text index and gives the current index back when done.
    void AddRecordWords(const uint8_t* record, const TWordKeyNote& note = {});
    // As AddRecordWords, with every memo read from its stored value (index rebuilds).
    void AddRecordWordsLoadingBlobs(const uint8_t* record);
    // True when a key was deleted or inserted.
    bool UpdateRecordWords(const uint8_t* newRecord, const uint8_t* oldRecord, const TWordKeyNote& note = {});
    // 8965 when a word's key is missing; tolerant (maintenance work) passes over a missing key
    // and over a memo whose stored value cannot be read.
    void RemoveRecordWords(const uint8_t* record, const TWordKeyNote& note = {}, bool tolerant = false);
    // True when the key of every word of the record is in the text index, with its number.
    bool CheckRecordWords(const uint8_t* record);
    // TEXTSEARCH and TEXTOCCURS of a search text over a value text.
    bool TextSearch(const char* searchText, int32_t searchLength, const char* valueText,
                    int32_t valueLength) override;
    int32_t TextOccurs(const char* searchText, int32_t searchLength, const char* valueText,
                       int32_t valueLength) override;
    // The answer an expression over this cursor's records gets for TEXTSEARCH (count false) or
    // TEXTOCCURS (count true); false when table is not this cursor.
    bool AnswerTextSearch(void* table, const std::string& searchText, const std::string& valueText,
                          bool count, int32_t& answer);

    // ---- Change counters ----
    void SaveChangeCounters();
    bool HasTableChanged() const;

    // ---- Table properties: of an open cursor from its table, of a closed one from the data
    // file's header (whose password must then be known) ----
    uint16_t GetLanguageId();
    uint16_t GetSortId();
    int16_t GetUserMajorVersion() override;
    int16_t GetUserMinorVersion() override;
    // Open: a stored 0 reads as 512; closed: the low 16 bits as stored.
    uint32_t GetBlobBlockSize();
    uint32_t GetBlobDataSize() { return GetBlobBlockSize() - 18; }
    int32_t GetLastRecordId();
    bool IsEncrypted();
    std::string GetTableDescription();
    std::string GetTablePassword();
    int32_t GetPhysicalRecordCount() const;
    uint16_t GetProgressIncrement() const;

    // ---- Callbacks ----
    void SetPasswordCallback(TPasswordCallback callback) override { PasswordCallback = std::move(callback); }
    bool AskPassword();

    // Maintenance callbacks (verify, repair, index build, restructure).
    void SetSteppedProgressCallback(TProgressMessageCallback callback) override {
        VerifyProgressCallback = std::move(callback);
    }
    void SetLogCallback(TMessageCallback callback) override { VerifyLogCallback = std::move(callback); }
    void SetRestructureProgressCallback(TPercentCallback callback) override {
        RestructureProgressCallback = std::move(callback);
    }
    void SetDataLostCallback(TDataLostCallback callback) override { DataLostCallback = std::move(callback); }
    // Each calls its callback only when one is set.
    void DoVerifyProgress(const std::string& message, int percent);
    void DoVerifyLog(const std::string& message) override;
    void DoIndexProgress(int percent);
    void DoRestructureProgress(int percent);
    void DoDataLost(int cause, const std::string& context, bool& continueWork, bool& stopAsking);

    // ---- Verify and repair (maint/VerifyRepair.cpp) ----
    // Checks the whole table (headers, records, BLOB chains, index entries, full-text parameters,
    // next record ID) and, unless verifyOnly, fixes what it finds, rebuilding every index when they
    // do not match the records (always with forceIndexRebuild). The cursor must be closed and
    // exclusive (and writable for a repair); it is left closed. True when nothing was wrong.
    // hasProgress and hasLog only tell a server whether the caller listens; local callbacks are
    // called whenever they are set.
    bool VerifyRepairTable(bool verifyOnly, bool tolerant, bool hasProgress, bool hasLog,
                           bool forceIndexRebuild) override;
    // The header checks of the three files (repair unless verifyOnly); indexOk receives the index
    // file's result. True when all three files passed.
    bool VerifyTableHeaders(bool verifyOnly, bool& indexOk);
    // The chain check of one BLOB value through the shared table (true without a BLOB file).
    bool VerifyBlobs(bool verifyOnly, int32_t& firstBlock, int32_t stamp, int32_t recordNo, bool tolerant);

    // ---- Refreshing ----
    // Recomputes range positions and bitmaps and returns to the current record.
    void Refresh() override;
    // When another cursor or process changed the table: new counters, range and bitmaps, back to
    // the record the cursor stood on (or the nearest). True when it did so.
    bool ResyncIfChanged();
    void CheckForChanges();
    // Evaluates every calculated field's expression for the record in buffer and stores the
    // result (NULL as NULL) in the field's room at the end of the record.
    void ComputeCalculatedFields(uint8_t* buffer);
    // Empties every index of the table's index file (descriptors kept) for a rebuild; the
    // cursor is left without a current record.
    void ClearIndexes();
    // Reloads the current index's state after its descriptor was replaced.
    void ReloadIndexState();
    // Loads the state of the current index (key size, fields, order); the remote cursor after a
    // reply that changed the index.
    void LoadIndexState();
    // The cursor's copies of the table's field descriptors made again from the shared table.
    void LoadFieldDescriptors();
    // The number of the index of that name (blanks around it and letter case do not count); 10022
    // when none.
    uint8_t FindIndexByName(const std::string& name) const;
    bool HasRestructureProgressCallback() const { return static_cast<bool>(RestructureProgressCallback); }
    bool HasDataLostCallback() const { return static_cast<bool>(DataLostCallback); }

    // ---- Record values and validity ----
    // Field numbers address the cursor's (Table: the table's) fields by position, or by field
    // number in a cursor opened for restructure. Value buffers hold the field's value size (4
    // bytes for a BLOB handle); a null value makes the field NULL.
    void ClearRecordBuffer(uint8_t* buffer) const override;
    void InitRecord(uint8_t* buffer) override;
    void GetField(uint16_t fieldNo, const uint8_t* record, uint8_t* value, bool& isBlank) override;
    void GetTableField(uint16_t fieldNo, const uint8_t* record, uint8_t* value, bool& isBlank) override;
    void GetFieldValue(const TFieldDescriptor& desc, const uint8_t* record, uint8_t* value,
                       bool& isBlank) const;
    void PutField(uint16_t fieldNo, uint8_t* record, const uint8_t* value, bool force,
                  bool blobBlank) override;
    void PutTableField(uint16_t fieldNo, uint8_t* record, const uint8_t* value, bool blobBlank);
    void PutFieldValue(const TFieldDescriptor& desc, uint8_t* record, const uint8_t* value, bool force,
                       bool blobBlank);
    // Raises the first required (9732), minimum (9730) or maximum (9731) violation.
    void CheckRecordValidity(const uint8_t* record) override;
    // Whether value passes the limit (a minimum, or with isMax a maximum).
    bool CheckFieldLimit(const std::string& limitText, bool isMax, const TFieldDescriptor& desc,
                         const uint8_t* value) const;
    // 9985 for an unknown field.
    void GetFieldDesc(uint16_t fieldNo, TFieldDescriptor& desc) const override;
    void GetFieldDescAt(uint16_t position, TFieldDescriptor& desc) const;
    // The number by which the routines above address the field at position whose descriptor
    // (the cursor's or the table's) is desc: the position, or in a cursor opened for restructure
    // the field number. Loops over positions pass it on to routines taking a field number.
    uint16_t FieldAddress(uint16_t position, const TFieldDescriptor& desc) const;
    void GetFieldDescByNumber(int16_t fieldNo, TFieldDescriptor& desc) const;
    void FindFieldDescByName(const std::string& name, TFieldDescriptor& desc) const override;
    bool GetSourceFieldDesc(const std::string& name, TFieldDescriptor& desc) const;
    void GetTableFieldDesc(uint16_t fieldNo, TFieldDescriptor& desc) const override;
    void GetDataFileFieldDesc(uint16_t position, TFieldDescriptor& desc) const;
    void GetMappedTableFieldDesc(int16_t fieldNo, TFieldDescriptor& desc) const;
    bool GetTableFieldDescByName(const std::string& name, TFieldDescriptor& desc) const;
    uint16_t GetTableFieldNumber(const std::string& name) const override;
    void PutTableFieldDesc(uint16_t fieldNo, const TFieldDescriptor& desc);
    uint16_t GetTableRecordSize() const;
    uint16_t GetTableFieldCount() const;
    int16_t GetTableBlobFieldCount() const;
    // Nothing for code 0; else the engine error with this table's and database's names.
    void CheckError(TEngineErrorCode code, const std::string& message) const override;
    void CheckFieldError(TEngineErrorCode code, const std::string& fieldName) const override;

    // ---- Keys of the current index and the live-record count ----
    void InsertKey(const uint8_t* key, int32_t recNo);
    // 8965 when no equal key exists.
    void DeleteKey(const uint8_t* key);
    void ReplaceKey(const uint8_t* oldKey, const uint8_t* newKey, int32_t recNo);
    bool KeyInIndex(const uint8_t* key);
    bool KeyEntryExists(const uint8_t* key, int32_t recNo);
    // Only a unique index and the internal ones refuse an equal key.
    bool IsDuplicateKey(const uint8_t* key);
    // Whether the current index refuses a key equal to one it holds.
    bool RefusesEqualKeys() const;
    // 9729 naming the current index.
    [[noreturn]] void RaiseDuplicateKey() const;
    int32_t GetTableRecordCount() const;
    void SetTableRecordCount(int32_t count);
    void IncTableRecordCount();
    void DecTableRecordCount();
    // BLOB blocks that size bytes occupy.
    int32_t BlobBlocksFor(int32_t size);

    // ---- Record insert, modify and delete ----
    // Buffers hold the cursor's record size. Every refusal (validity, 9729 duplicate key, 8708
    // changed record) comes before anything is written; a later failure gives back the keys and
    // record slot already written. Locks taken are released and the current index restored.
    void InsertRecord(uint8_t* buffer, bool reposition) override;
    void ModifyRecord(uint8_t* buffer, bool unlock, bool reposition) override;
    // buffer: the caller's copy of the current record.
    void DeleteRecord(const uint8_t* buffer, bool reposition) override;
    void CancelRecord() override;
    // Removes one live record from the table, for maintenance work that finds it cannot keep it
    // (a duplicate key while an index is built): its entry in every index but keepIndex (an
    // index that lacks the entry is passed over), its record-status key moved to the deleted
    // group, the live count lowered and its slot put at the head of the free chain. No locks are
    // taken and nothing is flushed: the caller holds the table exclusively or write-locked. The
    // current index is kept; on failure the keys already removed are put back.
    void DropRecordEverywhere(const uint8_t* record, int32_t recNo, uint8_t keepIndex = NaturalOrderIndex);
    // 0, or 8709 without a current record.
    TEngineErrorCode CloneCurrentRecord(uint8_t* buffer) override;
    // New range positions; the bitmaps rebuilt, or with incremental (the cursor's view was
    // current before the edit) only the one record entered or removed.
    void RefreshAfterInsert(int32_t recNo, const uint8_t* record, bool incremental = false);
    void RefreshAfterDelete(int32_t recNo, bool incremental = false);

private:
    // Set when an optimistic modification found the record changed by someone else.
    bool RecordChangedMark = false;

public:
    // ---- Record locks, change detection and buffer flushing (RecordLocks.cpp) ----
    // Every lock and unlock returns at once for an exclusive cursor and for one whose table is
    // read-only by attribute: nobody else can write such a table.
    // Locks physical record recNo (0: the current record) for editing by this cursor; 10258 when
    // a cursor of this process edits it already or another process holds it past the retries.
    void LockRecord(int32_t recNo) override;
    // Ends the edit lock of recNo (0: the current record); localOnly leaves a server's lock alone.
    void UnlockRecord(int32_t recNo, bool localOnly) override;
    // The cursor's and the shared table's part of ending an edit lock.
    void EndEditLock(int32_t recNo);
    // The statement read lock that the SQL layer holds while a statement runs.
    void LockTableForRead() override;
    void UnlockTableForRead() override;
    // The write lock around every record edit and index build.
    void LockTableForWrite();
    void UnlockTableForWrite();
    // Takes the short-term shared lock; true when the cursor found the table changed and went
    // back to its record (or the nearest one).
    bool LockAndResync();
    // Releases the short-term shared lock, whoever took it during the operation.
    void ReleaseReadLock();
    // Written buffers to the files: always for a non-exclusive cursor, for an exclusive one only
    // when forced (otherwise the changed headers are only marked and counted in memory).
    void FlushBuffers(bool force, bool dropCaches, bool dataChanged, bool indexChanged,
                      bool blobChanged) override;
    void FlushOSBuffers() override;
    bool InTransaction() const override;
    // TIndexCursor: on a page cache miss, the same as SyncBeforeRead.
    bool TableChangedByOthers() override;
    // The read bracket of one operation: the check for changes at its start, the release of the
    // short-term lock (taken by that check or by a cache miss) at its end. Brackets nest; the
    // outermost one releases.
    class TReadBracket {
    public:
        explicit TReadBracket(TDataCursor& cursor);
        ~TReadBracket();
        TReadBracket(const TReadBracket&) = delete;
        TReadBracket& operator=(const TReadBracket&) = delete;

    private:
        TDataCursor& Cursor;
    };

private:
    // The record this cursor holds locked for editing; 0: none.
    int32_t LockedRecNo = 0;
    int ReadBracketDepth = 0;
    // The table whose AccessHolders this cursor's outermost read bracket counts in; null when none.
    TDataTable* BracketTable = nullptr;

    bool SkipsLocks() const;
    // Counts this cursor's running operation among the table's (outermost bracket only).
    void JoinTableBracket();
    void LeaveTableBracket();
    // The short-term shared lock for a reader; true when the table had changed.
    bool BeginReadAccess();
    // After a lock was taken: when it reported a change, or the counters differ, new counters
    // and back to the record (or the nearest one). True when it went back.
    bool ResyncAfterLock(bool changed);
    // The start of an edit of the current record (a read with lock): under the pessimistic
    // protocol the record is locked until post, cancel or delete; under either protocol a record
    // that differs from the caller's copy seen (when given) raises 8708 with nothing locked.
    void LockForEdit(const uint8_t* seen);
    bool DiffersFromCurrent(const uint8_t* seen) const;

public:
    // ---- BLOB access (CursorBlob.cpp) ----
    // A BLOB field of a record buffer holds its first block number (closed) or, while the value
    // is open in this cursor, the negated handle of its buffer. The six value operations return
    // a code (0: success); errors while loading a chain are raised. Field numbers go by the
    // table's descriptors (byTableDesc) or by the cursor's. Offsets and lengths are bytes.
    static constexpr size_t MaxOpenBlobs = 128;
    TEngineErrorCode OpenBlob(uint16_t fieldNo, uint8_t* record, uint8_t mode, bool byTableDesc,
                              bool recordBound, int32_t& size, bool keepRemoteHandle = false) override;
    TEngineErrorCode FreeBlob(uint16_t fieldNo, uint8_t* record, bool byTableDesc,
                              bool flag = false) override;
    TEngineErrorCode GetBlob(uint16_t fieldNo, const uint8_t* record, int32_t offset, uint8_t* dest,
                             int32_t count, int32_t& bytesRead, bool byTableDesc) override;
    TEngineErrorCode PutBlob(uint16_t fieldNo, uint8_t* record, int32_t offset, const uint8_t* source,
                             int32_t count, bool byTableDesc) override;
    TEngineErrorCode TruncateBlob(uint16_t fieldNo, uint8_t* record, int32_t newLength,
                                  bool byTableDesc) override;
    TEngineErrorCode GetBlobSize(uint16_t fieldNo, const uint8_t* record, int32_t& size,
                                 bool byTableDesc) override;
    bool IsBlobOpen(const TBlobBuffer* buffer) const;
    // Opens every BLOB of the table's fields in record for writing and empties it, so that
    // saving frees the chains (before a delete).
    void EmptyRecordBlobs(uint8_t* record);
    // Each changed value open in record gets the table's next BLOB stamp, also in its field.
    void StampBlobs(uint8_t* record, bool byTableDesc);
    // Saves (or, when empty, frees) every changed open value; 8963 when they come from different
    // records. True when anything was saved or freed.
    bool SaveBlobs();
    // Each value open in record goes back into its field as its first block number.
    void PutBlobHandles(uint8_t* record, bool byTableDesc);
    // Frees the values that record holds open (the changes are dropped).
    void FreeRecordBlobs(uint8_t* record) override;
    // From the last opened to the first: every value (all) or those bound to their record.
    void FreeAllBlobs(bool all, bool localOnly) override;
    // Opens a new value in dest's field with the bytes of source's value of the same field.
    void CloneBlob(uint16_t fieldNo, const uint8_t* source, uint8_t* dest);
    // The whole value of the BLOB field desc (a cursor descriptor) of record, without opening it:
    // the bytes of the value this cursor holds open there, else of the stored chain; "" for
    // none. No handle is taken and the cursor does not move (filters, calculated fields).
    std::string ReadBlobValue(const uint8_t* record, const TFieldDescriptor& desc);
    // Reading, writing, truncating and sizing a value open in this cursor, whose buffer holds it
    // (a table of this process, or a server that hands out whole values).
    TEngineErrorCode GetOpenBlob(uint16_t fieldNo, const uint8_t* record, int32_t offset, uint8_t* dest,
                                 int32_t count, int32_t& bytesRead, bool byTableDesc);
    TEngineErrorCode PutOpenBlob(uint16_t fieldNo, uint8_t* record, int32_t offset, const uint8_t* source,
                                 int32_t count, bool byTableDesc);
    TEngineErrorCode TruncateOpenBlob(uint16_t fieldNo, uint8_t* record, int32_t newLength, bool byTableDesc);
    TEngineErrorCode GetOpenBlobSize(uint16_t fieldNo, const uint8_t* record, int32_t& size,
                                     bool byTableDesc);
    // The open value whose negated handle a field holds, or null.
    TBlobBuffer* FindOpenBlob(int32_t fieldValue) const;

private:
    std::vector<std::unique_ptr<TBlobBuffer>> OpenBlobs;  // in opening order
    std::unique_ptr<TBlockFetchClient> BlobFetchClient;

public:
    // ---- Index selection ----
    uint8_t GetSecondaryIndexCount() const override;
    TIndexDescriptor GetIndexDesc(uint8_t indexNo) const override;
    std::array<uint16_t, MaxIndexFields> GetIndexFieldNumbers(uint8_t indexNo) const;
    // Index 0 is the engine's own record order (no primary index of the user's).
    bool HasInternalPrimaryIndex() const;
    bool IsNaturalOrder() const override;
    uint8_t GetCurrentIndexNumber() const override { return CurrentIndex; }
    // Makes the named index current (10022 when the table has none of that name); the cursor
    // stays on its record, now without range.
    void SetIndexName(const std::string& name) override;
    void SetIndexNumber(uint8_t indexNo) override;
    // Sets the current index and loads its state; range and position are not touched.
    void SelectIndex(uint8_t indexNo);

    // ---- Key search and ranges ----
    // Key is a ready key (keyGiven) or a record buffer to build it from; fieldCount leading
    // index fields and partialLength characters of the next one count. outRecord receives the
    // record found (record size bytes).
    bool FindKey(bool keyGiven, const uint8_t* key, int fieldCount, bool nearest, int partialLength,
                 uint8_t* outRecord) override;
    // Both ends included; a missing end is open.
    void SetRange(bool keysGiven, const uint8_t* startKey, int startFieldCount, const uint8_t* endKey,
                  int endFieldCount) override;
    void ResetRange() override;
    bool SeekKey(const uint8_t* key, bool nearest, bool keepCrack);
    void ComputeRangeBounds();
    void SetRangeStartKey(const uint8_t* key);
    void SetRangeEndKey(const uint8_t* key);
    void ClearRange();
    void RefreshRange();
    // Key of a record buffer in the current index (not natural order), into key.
    void BuildKey(const uint8_t* record, uint8_t* key) override;
    // Fills key after its first length bytes with the lowest (highest) values of the index order.
    void FillKeyLow(uint8_t* key, int length);
    void FillKeyHigh(uint8_t* key, int length);

    // ---- Positioning and navigation ----
    void SetToBegin() override;
    void SetToEnd() override;
    bool SetToRecNo(int32_t recNo) override;
    // 0, or 8709 (no current record), 8705 (at the beginning), 8706 (at the end); the buffer is
    // then zero-filled.
    TEngineErrorCode GetCurrentRecord(uint8_t* buffer, bool lock) override;
    TEngineErrorCode GetNextRecord(uint8_t* buffer) override;
    TEngineErrorCode GetPriorRecord(uint8_t* buffer) override;
    TEngineErrorCode ReadRecordBlock(int32_t& count, uint8_t* buffers) override;
    int32_t GetRecNo() const override;
    int32_t GetPhysicalRecNo() const;
    int32_t GetRecordCount() const override;
    uint16_t GetBookmarkSize() const override;
    void GetBookmark(uint8_t* buffer) const override;
    std::vector<uint8_t> GetBookmark() const;
    bool SetToBookmark(const uint8_t* bookmark, bool keepCrack, bool noBracket) override;
    int CompareBookmarks(const uint8_t* b1, const uint8_t* b2) const override;
    // 0, or 8710 when this cursor has no record for the one current in other.
    TEngineErrorCode SetToCursor(TDataCursor& other);
    void MoveBy(int32_t count);
    void SeekFirst();
    void SeekLast();
    void SeekRecNo(int32_t recNo);
    void SeekPhysicalRecNo(int32_t recNo);
    void SetNoCurrent();
    void Resync();
    void LoadCurrentRecord(int direction);

    // ---- Filters (CursorFilters.cpp) ----
    static constexpr size_t MaxFilters = 64;
    // An inactive filter: from the text (which wins), else the tree as given (owned when
    // ownsTree), else the callback. Nothing is evaluated.
    TFilter* AddFilter(void* owner, const std::string& expressionText, TExpToken* tree, bool ownsTree,
                       TFilterCallback callback, bool evaluateLast, bool estimateCounts, bool costBased,
                       bool caseInsensitive, bool noPartialCompare) override;
    // A null filter means all of them; a filter not of this cursor raises 10050.
    void DropFilter(TFilter* filter) override;
    void ActivateFilter(TFilter* filter) override;
    void DeactivateFilter(TFilter* filter) override;
    // Nothing for a null tree; the filter must be active (else 10050).
    void ReplaceFilterExpression(TExpToken* tree, TFilter* filter) override;
    TExpToken* ParseFilterExpression(const std::string& text);
    void CheckFilterExpression(TExpToken* tree);
    // Puts the column on the left of every comparison that has its constant there.
    static void NormalizeComparisons(TExpToken* tree);
    void ActivateAllFilters();
    void DeactivateAllFilters();
    void FreeAllFilters();
    void UpdateBitmapNavigation();
    // Marks one filter (nullptr: every filter) active or inactive; 10050 for a filter not in the
    // list.
    void MarkFilterActive(TFilter* filter, bool active);
    // Takes one filter (nullptr: every filter) out of the list; 10050 for a filter not in it.
    void RemoveFilter(TFilter* filter);
    // The optimize level of a filter's condition as the table's side rates it (0: not rated here).
    uint8_t RateFilterCondition(TExpToken* node, bool estimateCounts, bool costRule);
    bool HasActiveFilter() const override;
    void EvaluateFilter(TFilter* filter);
    void CombineBitmaps();
    // Clears the record's bit in bitmap when it fails the filter.
    void TestRecord(TFilter& filter, const uint8_t* buffer, int32_t recordNo, TRecordsBitmap& bitmap);
    void BitmapsRecordInserted(int32_t recordNo, const uint8_t* buffer);
    void BitmapsRecordDeleted(int32_t recordNo);

    // ---- Filter optimisation over indexes (FilterOptimizer.cpp) ----
    // Rates node and its subtree (OptimizeLevel 0 none, 1 partly, 2 wholly answered from indexes;
    // EstimatedCount and EstimatedCost with estimateCounts) and returns the node's level. With
    // costRule a condition matching more than 90 % of the records is left to record tests. The
    // current index is the same afterwards.
    uint8_t GetConditionOptimizeLevel(TExpToken* node, bool estimateCounts, bool costRule) override;
    // Makes current the first index (0 unless internal, then the secondary ones) whose first
    // field is fieldNo and, for a string field unless anyCase, whose case rule is caseInsensitive.
    bool SelectIndexForField(uint16_t fieldNo, bool caseInsensitive, bool anyCase);
    // With the index for node current: the key ranges of what node selects; false when this index
    // cannot answer node exactly.
    bool BuildConditionRanges(const TExpToken* node, TConditionRanges& ranges);
    // Index entries node selects in the index SelectIndexForField finds for it; -1 when none can.
    int32_t EstimateMatches(const TExpToken* node);
    // Entries of the current index inside range.
    int32_t CountKeysInRange(const TKeyRange& range);
    // Walks the entries of range, setting their records' bits in bitmap when one is given (it
    // is not cleared first); the number of entries walked.
    int32_t ScanRange(const TKeyRange& range, TRecordsBitmap* bitmap);
    // Entries of the current index before bound: below it, or with orEqual not above it.
    int32_t CountEntriesBefore(const TKeyBound& bound, bool orEqual);
    // Whether node passes for the record in buffer.
    bool RecordPassesNode(const TExpToken* node, const uint8_t* buffer);
    // Index order under a filter: the current record's place among the visible records of the
    // range.
    int32_t CountVisibleUpToCurrent();

private:
    // Records read for filter record tests (statistics for tests and benchmarks).
    int64_t FilterRecordReads = 0;
    // Key ranges answered through their complement (statistics for tests).
    int64_t ComplementScans = 0;
    // Index order under a filter: the current record's place among the visible records of the
    // range; 0 until GetRecNo counts it (moves keep it up to date once known).
    mutable int32_t VisibleSeqNo = 0;

public:
    // ---- Adding and deleting secondary indexes, record sort, maintenance forwarders (IndexBuild.cpp) ----
    // Completes the descriptor (key size, field count) and builds the new last secondary index
    // from every live record; a temporary index needs neither exclusive nor writable. 10026 for
    // a key over 522 bytes; a unique index over repeated keys raises 9729 naming the index. Any
    // failure leaves the index file as it was (no descriptor, no page). Ends before the first
    // record. flag is the remote protocol's and unused here.
    void AddIndex(TIndexDescriptor desc, bool flag) override;
    // The index named (blanks around it and letter case do not count; 10022 when none), its
    // pages freed; flag moves the later descriptors down. Ends on the primary index before the
    // first record.
    void DeleteIndex(const std::string& name, bool flag) override;
    // The same by number (table restructure); the current index and position are left alone.
    void DropIndexNumber(uint8_t indexNo, bool flag);
    // Frees the page of the current index and, for an inner page, every page below it.
    void FreeIndexPages(int32_t pageNo);
    // "Sys Deleted" and the live-record count made from the data file (after the index file was
    // found missing and created empty); the primary index becomes the engine's own order.
    void RebuildInternalIndex();
    void SetHasInternalPrimaryIndex(bool value);
    // The index file header's secondary index count.
    void SetIndexHeaderByte(uint8_t value);
    // Writes every changed buffer of the three files; dropCaches trims the caches after, extra
    // writes the headers and flushes the files to disk even when nothing changed.
    void WriteAllBuffers(bool dropCaches, bool extra);
    // Physical sort of the records (exclusive cursor); only for a table with no secondary index
    // whose primary index is the engine's own order, otherwise nothing happens. The
    // record-status index is made again and the cursor stands before the first record.
    void SortRecords(const std::vector<TFieldDescriptor>& fields, bool caseInsensitive, int32_t limit,
                     bool distinct, bool grouping, bool finish, bool filter, TDataQuery* context);

    // ---- Table restructure (Restructure.cpp) ----
    // A new definition for the table the closed cursor names (exclusive, writable). A new field
    // continues the old field of the same FieldNo; StopWords unset and all-zero character sets
    // keep the table's full-text parameters; lastAutoInc -1 keeps the last record ID. Losses go
    // to the data-lost callback, progress to the restructure progress callback. hasProgress and
    // hasDataLost are the remote protocol's. The cursor is closed afterwards.
    void RestructureTable(TTableDefinition definition, bool allowAutoPrimary, int32_t lastAutoInc,
                          bool suppressBackup, bool hasProgress, bool hasDataLost);
    bool FieldDefChanged(const TFieldDescriptor& oldDesc, const TFieldDescriptor& newDesc) const;
    // 9985 when newDesc names a field that fields lack.
    bool IndexDefChanged(const TIndexDescriptor& oldDesc, const TIndexDescriptor& newDesc,
                         const std::vector<TFieldDescriptor>& fields) const;
    // Field k gets number k; every index's field list (the full-text index's too) follows.
    void RenumberFields();
    // Field numbers of desc become the positions of the fields they name.
    void RemapIndexFields(TIndexDescriptor& desc) const;
    // Renames the closed table's files to ".DBK", ".IBK", ".BBK" (an old backup is replaced).
    void BackupTableFiles();
    // The table's buffers written and its index file copied to ".IBK".
    void BackupIndexFile();
    // noRestore keeps the current index file, else it is copied back from ".IBK" and the cached
    // buffers and headers are read again; deleteBackup removes the copy.
    void EndIndexBackup(bool noRestore, bool deleteBackup);

    // ---- TRecordFetchClient ----
    bool SyncBeforeRead() override;
    int32_t CountConsecutiveRecords(int32_t r, int direction, int32_t max) override;

private:
    // ---- Index and position state ----
    std::string CurrentIndexName;
    uint16_t KeySize = 0;
    uint8_t IndexFieldCount = 0;
    bool IndexDescending = false;
    bool IndexCaseInsensitive = false;
    bool IndexUnique = false;
    std::array<uint8_t, MaxIndexFields> IndexFieldDescending{};
    std::vector<TFieldDescriptor> IndexFieldDescs;
    std::vector<uint8_t> RangeStartKey;  // MaxKeyFieldPart bytes each while open
    std::vector<uint8_t> RangeEndKey;
    bool RangeActive = false;
    int32_t RangeStart = 0;  // 1-based positions over the whole index; 0: none
    int32_t RangeEnd = 0;
    bool ComputingRange = false;
    bool BitmapNavigation = false;
    bool AtBeginning = false;
    bool AtEnd = false;
    TLeafPlace CurrentPage;  // the current leaf and entry (index order)
    // The record the cursor stood on went away under it (another cursor or process deleted it or
    // changed its key): the cursor stands in the crack before the record now current, and the
    // next forward move lands on that record instead of passing it.
    bool BeforeCurrent = false;
    int32_t EntryNo = 0;
    int32_t SeqNo = 0;
    int32_t PhysRecNo = 0;  // natural order
    // Index pages fetched through the page cache by this cursor (statistics for tests).
    int64_t PageFetches = 0;

public:
    bool IsRemote() const;
    std::string GetDatabaseName() const;

    // ---- The cursor's state as its collaborators, the remote side and the layers above see it ----
    TDataDirectory* GetDatabase() const { return Database; }
    // The shared table while open (and while a closed cursor's maintenance holds it); else null.
    TDataTable* GetTable() const { return Table; }
    const std::string& GetTableName() const { return TableName; }
    bool IsCursorOpen() const { return IsOpen; }
    bool InVerifyMode() const { return VerifyMode; }
    // The table's record object lent to the cursor while open; null when closed.
    TRecord* GetRecordObject() const { return CurrentRecord; }
    // The cursor's copies of the field descriptors, field 1 at index 0.
    const std::vector<TFieldDescriptor>& GetFieldDescs() const { return FieldDescs; }
    const TCharMap& GetCharOrder() const { return CharOrder; }
    bool HasCalculated() const { return HasCalculatedFields; }
    bool HasValidity() const { return HasValidityChecks; }
    bool HasAutoInc() const { return HasAutoIncField; }
    // The current index: its name, key size, key fields and order.
    const std::string& GetCurrentIndexName() const { return CurrentIndexName; }
    uint16_t GetKeySize() const { return KeySize; }
    const std::vector<TFieldDescriptor>& GetIndexFieldDescs() const { return IndexFieldDescs; }
    bool IsIndexDescending() const { return IndexDescending; }
    // Whether the first key field runs descending on its own.
    bool IsFirstIndexFieldDescending() const { return IndexFieldDescending[0] != 0; }
    bool IsRangeActive() const { return RangeActive; }
    // The position as the cursor holds it (GetRecNo and GetPhysicalRecNo work out the visible
    // one): the sequence number, the physical record number and the crack flags.
    int32_t GetSeqNo() const { return SeqNo; }
    int32_t GetPhysRecNo() const { return PhysRecNo; }
    bool IsAtBeginning() const { return AtBeginning; }
    bool IsAtEnd() const { return AtEnd; }
    // The page number of the copy of the current leaf (index order).
    int32_t GetCurrentPageNo() const { return CurrentPage.PageNo; }
    int32_t GetLockedRecNo() const { return LockedRecNo; }
    bool GetRecordChangedMark() const { return RecordChangedMark; }
    // In evaluation order.
    const std::vector<std::unique_ptr<TFilter>>& GetFilters() const { return Filters; }
    // Takes a filter out of the list and nothing more (one a server refused); a filter not in
    // the list is passed over.
    void ForgetFilter(const TFilter* filter);
    // The BLOB values open in this cursor, in opening order.
    const std::vector<std::unique_ptr<TBlobBuffer>>& GetOpenBlobs() const { return OpenBlobs; }
    // A value opened elsewhere (the remote side) joins the open values; the caller checks
    // MaxOpenBlobs.
    void AddOpenBlob(std::unique_ptr<TBlobBuffer> buffer) { OpenBlobs.push_back(std::move(buffer)); }
    // The open values for which drop is true go, with nothing written or freed.
    void DropOpenBlobsIf(const std::function<bool(const TBlobBuffer&)>& drop);
    // Statistics for tests and benchmarks: index pages fetched, records read for filter record
    // tests, key ranges answered through their complement.
    int64_t GetPageFetches() const { return PageFetches; }
    int64_t GetFilterRecordReads() const { return FilterRecordReads; }
    void CountFilterRecordRead() { ++FilterRecordReads; }
    void ResetFilterRecordReads() { FilterRecordReads = 0; }
    int64_t GetComplementScans() const { return ComplementScans; }
    void CountComplementScan() { ++ComplementScans; }

    // ---- Restructure ----
    // Opens the cursor with its fields addressed by field number (a restructure's target); the
    // mode lasts until LeaveRestructureMode.
    void OpenForRestructure();
    void LeaveRestructureMode() { RestructureMode = false; }
    // The full-text parameters handed over are dropped unwritten; the next use loads them again.
    void DropTextIndexParams() {
        TextParamsChanged = false;
        TextParamsLoaded = false;
    }

    // ---- The state a database server's replies give a remote cursor ----
    // The position of a reply.
    void TakeServerPosition(int32_t seqNo, int32_t physRecNo, bool atBeginning, bool atEnd);
    // The shared table's index file, field count and record size (an open reply's headers).
    void TakeServerTableLayout();
    // The rest of an open: the table's language and character order, the field descriptors, and
    // the index indexNo current without a range (bitmap navigation in natural order).
    void FinishServerOpen(uint8_t indexNo);
    // The index a reply made current: its state loaded, no range, bitmap navigation in natural
    // order or under an active filter.
    void TakeServerIndex(uint8_t indexNo);
    // Whether the server's cursor has a range now.
    void MarkRangeActive(bool active) { RangeActive = active; }
    // The full-text parameters of a reply (not changed: nothing is written at close).
    void TakeServerTextIndexParams(const std::vector<std::string>& stopWords, const TCharSet& spaceChars,
                                   const TCharSet& includeChars);

private:
    TDataDirectory* Database;
    // Set when the database was freed under the cursor.
    bool DatabaseFreed = false;
    TDataTable* Table = nullptr;
    std::string TableName;
    int32_t DataChangeCount = 0;
    int32_t IndexChangeCount = 0;
    int32_t BlobChangeCount = 0;
    bool IsOpen = false;
    bool VerifyMode = false;
    bool RestructureMode = false;
    TRecord* CurrentRecord = nullptr;  // the table's record object, lent while open
    // The cursor's own copies of the field descriptors, field 1 at index 0.
    std::vector<TFieldDescriptor> FieldDescs;
    // LanguageId, SortId, CurrentIndex and IndexFile come from TIndexCursor.
    TCharMap CharOrder{};
    uint16_t FieldCount = 0;
    uint16_t RecordSize = 0;
    bool HasValidityChecks = false;
    bool HasDefaults = false;
    bool HasCalculatedFields = false;
    bool HasAutoIncField = false;
    std::unique_ptr<TRecordsBitmap> VisibleBitmap;
    std::unique_ptr<TRecordsBitmap> RangeBitmap;
    std::unique_ptr<TRecordsBitmap> LiveBitmap;
    // In evaluation order: those without EvaluateLast first, each group in the order added.
    std::vector<std::unique_ptr<TFilter>> Filters;
    bool Rebuilding = false;
    std::unique_ptr<TLanguageStringList> StopWords;
    TCharSet SpaceChars{};
    TCharSet IncludeChars{};
    bool TextParamsChanged = false;
    bool TextParamsLoaded = false;

public:
    // ---- Remote cursors: the request and reply side lives in TRemoteCursor ----
    // The remote state, made on first use.
    TRemoteCursor& Remote() const;
    // The server's engine version times 10000 (31100, say); 0 for a local cursor.
    double GetServerVersion() const override;
    mutable std::unique_ptr<TRemoteCursor> RemoteState;

private:
    // ---- The families a local and a remote table answer differently ----
    // Chosen from the database: the local routines below or the remote cursor's requests.
    void ChooseImplementations();
    TCursorNavigation* Navigator = nullptr;
    TCursorEditing* Editor = nullptr;
    // Navigation and ranges over the shared table (CursorNavigation.cpp).
    void LocalSetIndexName(const std::string& name);
    bool LocalFindKey(bool keyGiven, const uint8_t* key, int fieldCount, bool nearest, int partialLength,
                      uint8_t* outRecord);
    void LocalSetRange(bool keysGiven, const uint8_t* startKey, int startFieldCount, const uint8_t* endKey,
                       int endFieldCount);
    void LocalResetRange();
    void LocalSetToBegin();
    void LocalSetToEnd();
    bool LocalSetToRecNo(int32_t recNo);
    TEngineErrorCode LocalGetCurrentRecord(uint8_t* buffer, bool lock);
    TEngineErrorCode LocalGetNextRecord(uint8_t* buffer);
    TEngineErrorCode LocalGetPriorRecord(uint8_t* buffer);
    TEngineErrorCode LocalReadRecordBlock(int32_t& count, uint8_t* buffers);
    bool LocalSetToBookmark(const uint8_t* bookmark, bool keepCrack, bool noBracket);
    void LocalRefresh();
    int32_t LocalGetRecNo() const;
    int32_t LocalGetPhysicalRecNo() const;
    int32_t LocalGetRecordCount() const;
    void LocalGetBookmark(uint8_t* buffer) const;
    TEngineErrorCode LocalSetToCursor(TDataCursor& other);
    class TLocalNavigation final : public TCursorNavigation {
    public:
        explicit TLocalNavigation(TDataCursor& cursor) : C(cursor) {}
        void SetIndexName(const std::string& name) override { C.LocalSetIndexName(name); }
        bool FindKey(bool keyGiven, const uint8_t* key, int fieldCount, bool nearest, int partialLength,
                     uint8_t* outRecord) override {
            return C.LocalFindKey(keyGiven, key, fieldCount, nearest, partialLength, outRecord);
        }
        void SetRange(bool keysGiven, const uint8_t* startKey, int startFieldCount, const uint8_t* endKey,
                      int endFieldCount) override {
            C.LocalSetRange(keysGiven, startKey, startFieldCount, endKey, endFieldCount);
        }
        void ResetRange() override { C.LocalResetRange(); }
        void SetToBegin() override { C.LocalSetToBegin(); }
        void SetToEnd() override { C.LocalSetToEnd(); }
        bool SetToRecNo(int32_t recNo) override { return C.LocalSetToRecNo(recNo); }
        TEngineErrorCode GetCurrentRecord(uint8_t* buffer, bool lock) override {
            return C.LocalGetCurrentRecord(buffer, lock);
        }
        TEngineErrorCode GetNextRecord(uint8_t* buffer) override { return C.LocalGetNextRecord(buffer); }
        TEngineErrorCode GetPriorRecord(uint8_t* buffer) override { return C.LocalGetPriorRecord(buffer); }
        TEngineErrorCode ReadRecordBlock(int32_t& count, uint8_t* buffers) override {
            return C.LocalReadRecordBlock(count, buffers);
        }
        bool SetToBookmark(const uint8_t* bookmark, bool keepCrack, bool noBracket) override {
            return C.LocalSetToBookmark(bookmark, keepCrack, noBracket);
        }
        void Refresh() override { C.LocalRefresh(); }
        int32_t GetRecNo() const override { return C.LocalGetRecNo(); }
        int32_t GetPhysicalRecNo() const override { return C.LocalGetPhysicalRecNo(); }
        int32_t GetRecordCount() const override { return C.LocalGetRecordCount(); }
        void GetBookmark(uint8_t* buffer) const override { C.LocalGetBookmark(buffer); }
        TEngineErrorCode SetToCursor(TDataCursor& other) override { return C.LocalSetToCursor(other); }

    private:
        TDataCursor& C;
    };
    TLocalNavigation LocalNavigation{*this};
    // Record editing of the shared table (RecordUpdate.cpp).
    void LocalInsertRecord(uint8_t* buffer, bool reposition);
    void LocalModifyRecord(uint8_t* buffer, bool unlock, bool reposition);
    void LocalDeleteRecord(const uint8_t* buffer, bool reposition);
    void LocalCancelRecord();
    TEngineErrorCode LocalCloneCurrentRecord(uint8_t* buffer);
    class TLocalEditing final : public TCursorEditing {
    public:
        explicit TLocalEditing(TDataCursor& cursor) : C(cursor) {}
        void InsertRecord(uint8_t* buffer, bool reposition) override {
            C.LocalInsertRecord(buffer, reposition);
        }
        void ModifyRecord(uint8_t* buffer, bool unlock, bool reposition) override {
            C.LocalModifyRecord(buffer, unlock, reposition);
        }
        void DeleteRecord(const uint8_t* buffer, bool reposition) override {
            C.LocalDeleteRecord(buffer, reposition);
        }
        void CancelRecord() override { C.LocalCancelRecord(); }
        TEngineErrorCode CloneCurrentRecord(uint8_t* buffer) override {
            return C.LocalCloneCurrentRecord(buffer);
        }

    private:
        TDataCursor& C;
    };
    TLocalEditing LocalEditing{*this};
    // Table files and indexes (TableDefinition.cpp, IndexBuild.cpp, VerifyRepair.cpp).
    TCursorTables* Tables = nullptr;
    void LocalDeleteTable();
    void LocalRenameTable(const std::string& newName);
    void LocalAddIndex(TIndexDescriptor desc, bool flag);
    void LocalDeleteIndex(const std::string& name, bool flag);
    bool LocalVerifyRepairTable(bool verifyOnly, bool tolerant, bool hasProgress, bool hasLog,
                                bool forceIndexRebuild);
    void LocalTableCreated(const TTableDefinition& definition);
    TDataHeader LocalReadClosedTableHeader();
    void LocalEmptyTable();
    void LocalRestructureTable(const TTableDefinition& definition, bool allowAutoPrimary, int32_t lastAutoInc,
                               bool suppressBackup);
    class TLocalTables final : public TCursorTables {
    public:
        explicit TLocalTables(TDataCursor& cursor) : C(cursor) {}
        void DeleteTable() override { C.LocalDeleteTable(); }
        void RenameTable(const std::string& newName) override { C.LocalRenameTable(newName); }
        void AddIndex(TIndexDescriptor desc, bool flag) override { C.LocalAddIndex(std::move(desc), flag); }
        void DeleteIndex(const std::string& name, bool flag) override { C.LocalDeleteIndex(name, flag); }
        bool VerifyRepairTable(bool verifyOnly, bool tolerant, bool hasProgress, bool hasLog,
                               bool forceIndexRebuild) override {
            return C.LocalVerifyRepairTable(verifyOnly, tolerant, hasProgress, hasLog, forceIndexRebuild);
        }
        void TableCreated(const TTableDefinition& definition, bool /*allowAutoPrimary*/,
                          bool /*overwrite*/) override {
            C.LocalTableCreated(definition);
        }
        TDataHeader ReadClosedTableHeader() override { return C.LocalReadClosedTableHeader(); }
        void EmptyTable() override { C.LocalEmptyTable(); }
        void RestructureTable(const TTableDefinition& definition, bool allowAutoPrimary, int32_t lastAutoInc,
                              bool suppressBackup) override {
            C.LocalRestructureTable(definition, allowAutoPrimary, lastAutoInc, suppressBackup);
        }

    private:
        TDataCursor& C;
    };
    TLocalTables LocalTables{*this};
    // BLOB values of the shared table (CursorBlob.cpp).
    TCursorBlobs* Blobs = nullptr;
    TEngineErrorCode LocalOpenBlob(uint16_t fieldNo, uint8_t* record, uint8_t mode, bool byTableDesc,
                                   bool recordBound, int32_t& size);
    TEngineErrorCode LocalFreeBlob(uint16_t fieldNo, uint8_t* record, bool byTableDesc);
    class TLocalBlobs final : public TCursorBlobs {
    public:
        explicit TLocalBlobs(TDataCursor& cursor) : C(cursor) {}
        TEngineErrorCode OpenBlob(uint16_t fieldNo, uint8_t* record, uint8_t mode, bool byTableDesc,
                                  bool recordBound, int32_t& size, bool /*keepRemoteHandle*/) override {
            return C.LocalOpenBlob(fieldNo, record, mode, byTableDesc, recordBound, size);
        }
        TEngineErrorCode FreeBlob(uint16_t fieldNo, uint8_t* record, bool byTableDesc,
                                  bool /*flag*/) override {
            return C.LocalFreeBlob(fieldNo, record, byTableDesc);
        }
        TEngineErrorCode GetBlob(uint16_t fieldNo, const uint8_t* record, int32_t offset, uint8_t* dest,
                                 int32_t count, int32_t& bytesRead, bool byTableDesc) override {
            return C.GetOpenBlob(fieldNo, record, offset, dest, count, bytesRead, byTableDesc);
        }
        TEngineErrorCode PutBlob(uint16_t fieldNo, uint8_t* record, int32_t offset, const uint8_t* source,
                                 int32_t count, bool byTableDesc) override {
            return C.PutOpenBlob(fieldNo, record, offset, source, count, byTableDesc);
        }
        TEngineErrorCode TruncateBlob(uint16_t fieldNo, uint8_t* record, int32_t newLength,
                                      bool byTableDesc) override {
            return C.TruncateOpenBlob(fieldNo, record, newLength, byTableDesc);
        }
        TEngineErrorCode GetBlobSize(uint16_t fieldNo, const uint8_t* record, int32_t& size,
                                     bool byTableDesc) override {
            return C.GetOpenBlobSize(fieldNo, record, size, byTableDesc);
        }
        void FreeingAllBlobs(bool /*all*/) override {}

    private:
        TDataCursor& C;
    };
    TLocalBlobs LocalBlobs{*this};

    // The cursor's life with its table (DataCursor.cpp, CursorTextParams.cpp).
    TCursorLife* Life = nullptr;
    void LocalOpen();
    std::unique_ptr<TDataCursor> LocalCloneCursor();
    void LocalWriteTextIndexParams();
    class TLocalLife final : public TCursorLife {
    public:
        explicit TLocalLife(TDataCursor& cursor) : C(cursor) {}
        void Created() override {}
        void Destroyed() noexcept override {}
        void Open() override { C.LocalOpen(); }
        void Closing() override {}
        std::unique_ptr<TDataCursor> Clone() override { return C.LocalCloneCursor(); }
        double ServerEngineVersion() const override { return 0.0; }
        void SuppressAutoIncChanged(bool /*value*/) override {}
        void LoadTextIndexParams() override { C.ReadTextIndexParams(); }
        void WriteTextIndexParams() override { C.LocalWriteTextIndexParams(); }

    private:
        TDataCursor& C;
    };
    TLocalLife LocalLife{*this};
    // Locks, change detection and flushing of the shared table (RecordLocks.cpp).
    TCursorSharing* Sharing = nullptr;
    bool LocalResyncAfterLock(bool changed);
    void LocalCheckForChanges();
    void LocalTransactionRolledBack() noexcept;
    bool LocalLockAndResync();
    void LocalReleaseReadLock();
    bool LocalSyncBeforeRead();
    bool LocalResyncIfChanged();
    void LocalFlushBuffers(bool force, bool dropCaches, bool dataChanged, bool indexChanged,
                           bool blobChanged);
    void LocalFlushOSBuffers();
    class TLocalSharing final : public TCursorSharing {
    public:
        explicit TLocalSharing(TDataCursor& cursor) : C(cursor) {}
        bool ResyncAfterLock(bool changed) override { return C.LocalResyncAfterLock(changed); }
        void CheckForChanges() override { C.LocalCheckForChanges(); }
        void TransactionRolledBack() noexcept override { C.LocalTransactionRolledBack(); }
        bool LockAndResync() override { return C.LocalLockAndResync(); }
        void ReleaseReadLock() override { C.LocalReleaseReadLock(); }
        bool SyncBeforeRead() override { return C.LocalSyncBeforeRead(); }
        bool ResyncIfChanged() override { return C.LocalResyncIfChanged(); }
        void UnlockRecord(int32_t recNo, bool /*localOnly*/) override { C.EndEditLock(recNo); }
        void FlushBuffers(bool force, bool dropCaches, bool dataChanged, bool indexChanged,
                          bool blobChanged) override {
            C.LocalFlushBuffers(force, dropCaches, dataChanged, indexChanged, blobChanged);
        }
        void FlushOSBuffers() override { C.LocalFlushOSBuffers(); }

    private:
        TDataCursor& C;
    };
    TLocalSharing LocalSharing{*this};
    // Filters evaluated into the cursor's bitmaps (CursorFilters.cpp).
    TCursorFiltering* Filtering = nullptr;
    void LocalDropFilter(TFilter* filter);
    void LocalActivateFilter(TFilter* filter);
    void LocalDeactivateFilter(TFilter* filter);
    void LocalReplaceFilterExpression(TExpToken* tree, TFilter* filter);
    void LocalBitmapNavigationChanged(bool was);
    class TLocalFiltering final : public TCursorFiltering {
    public:
        explicit TLocalFiltering(TDataCursor& cursor) : C(cursor) {}
        uint8_t RateCondition(TExpToken* node, bool estimateCounts, bool costRule) override {
            return C.GetConditionOptimizeLevel(node, estimateCounts, costRule);
        }
        void FilterAdded(TFilter& /*filter*/, bool /*ownsTree*/) override {}
        void DropFilter(TFilter* filter) override { C.LocalDropFilter(filter); }
        void ActivateFilter(TFilter* filter) override { C.LocalActivateFilter(filter); }
        void DeactivateFilter(TFilter* filter) override { C.LocalDeactivateFilter(filter); }
        void ReplaceFilterExpression(TExpToken* tree, TFilter* filter) override {
            C.LocalReplaceFilterExpression(tree, filter);
        }
        void BitmapNavigationChanged(bool was) override { C.LocalBitmapNavigationChanged(was); }

    private:
        TDataCursor& C;
    };
    TLocalFiltering LocalFiltering{*this};

private:
    void FreeFieldDescriptors();
    void PlaceCalculatedField(TFieldDescriptor& d);
    // Navigation helpers (CursorNavigation.cpp).
    // Raised by a page fetch inside Restartable when the fetch found the table changed by another
    // process: the cursor has gone back to its record, and the work starts over from there.
    struct TChangedUnderneath {};
    // Runs body, starting it over when another process's change is found part way through (the
    // short-term lock is held from then on, so it starts over at most once in practice). Only the
    // outermost call starts over; body must position the cursor from its state alone.
    void Restartable(const std::function<void()>& body);
    int RestartDepth = 0;
    TPage* FetchIndexPage(int32_t pageNo);
    // A leaf held in the page cache while a walk reads it (CursorNavigation.cpp).
    class TLeafWalk;
    void PlaceOn(const TLeafWalk& walk);
    // Leaf entry at the first key >= key (false: none), counting the entries before it.
    bool DescendFirstGE(const uint8_t* key, TLeafWalk& walk);
    bool DescendLastLE(const uint8_t* key, TLeafWalk& walk);
    bool DescendToKey(const uint8_t* key, bool forward, TLeafWalk& walk);
    bool DescendToSeq(int32_t seq, TLeafWalk& walk);
    bool StepEntry(TLeafWalk& walk, bool forward);
    // The same on a copy of the leaf, for walks that read records on the way.
    bool DescendToSeq(int32_t seq, TPage& leaf, int32_t& entry);
    bool StepEntry(TPage& leaf, int32_t& entry, bool forward);
    void BuildLiveBitmap();
    void RebuildBitmaps();
    // Rebuilds the range and live bitmaps and evaluates one filter (or, for nullptr, every active
    // filter) again from the start whenever an evaluation finds the table changed under it.
    void EvaluateFilters(TFilter* only);
    void BuildRangeBitmap();
    // Natural order walks the visible bitmap; index order walks the index, passing over the
    // entries of records an active filter hides.
    bool WalksBitmap() const { return BitmapNavigation && IsNaturalOrder(); }
    // From leaf/entry towards forward to the nearest entry of a visible record inside the range;
    // false when there is none.
    bool SkipHidden(TLeafWalk& walk, bool forward);
    // Whether the leaf, read again, still holds the cursor's entry where the cursor left it.
    bool StillOnCurrentEntry(const TPage& leaf) const;
    // Whether key lies past the range's end (forward) or before its start.
    bool OutsideRange(const uint8_t* key, bool forward) const;
    // Index order under a filter: off a hidden record to the nearest visible one.
    void SettleOnVisible();
    // Index order under a filter that shows few of the index's records: the visible records'
    // keys in index order, so that a move descends to the record it lands on instead of passing
    // every hidden entry on the way. Worked out again whenever the visible set, the index or
    // the table changed since.
    struct TSparseOrder {
        const TRecordsBitmap* Bitmap = nullptr;  // the visible set it was worked out from
        uint64_t BitmapChanges = 0;
        uint8_t Index = 0;
        uint16_t KeySize = 0;
        int32_t DataChanges = 0;
        int32_t IndexChanges = 0;
        bool Usable = false;        // false: the walk goes over the index
        std::vector<uint8_t> Keys;  // KeySize bytes each, in index order
        size_t Count() const { return KeySize == 0 ? 0 : Keys.size() / KeySize; }
        const uint8_t* Key(size_t i) const { return Keys.data() + i * KeySize; }
    };
    TSparseOrder SparseOrder;
    // Brings SparseOrder up to date; false when a walk is better made over the index.
    bool SparseOrderUsable();
    // MoveBy through SparseOrder; false, with the cursor unmoved, when the index does not hold a
    // listed key as it stands (the caller then walks the index).
    bool SparseMoveBy(int32_t count);
    // The candidate records of a filter before its own test.
    void SeedFilterBitmap(TFilter& filter);
    std::vector<std::unique_ptr<TFilter>>::iterator FindFilter(TFilter* filter);
    int PrefixLength(int fieldCount, int partialLength) const;
    void CompleteKey(uint8_t* key, int fieldCount, bool high);
    void RestoreKeepCrack(bool wasBeginning, bool wasEnd);
    // Forgets the current index, range and position (at close).
    void ResetIndexState();
    // Range and bitmaps recomputed, then back to the current record (or the nearest).
    void ReturnToRecord();
    void ClearCallbacks();
    [[noreturn]] void RaiseCursor(TEngineErrorCode code) const;
    [[noreturn]] void RaiseField(TEngineErrorCode code, const std::string& field) const;
    [[noreturn]] void RaiseIndex(TEngineErrorCode code, const std::string& index,
                                 const std::string& field = {}) const;
    // Asks the password callback until the session knows the password; 10498 when it gives up.
    void RequirePassword(const std::string& password);

    // Verify and repair: one run of VerifyRepairTable (maint/VerifyRepair.cpp).
    class TVerifyRun;
    // Record edits (RecordUpdate.cpp).
    class TKeyLog;
    // Indexes kept by an edit: 0 with a user primary index, then every secondary one.
    std::vector<uint8_t> EditIndexes() const;
    // Key of record in the current index, record-ID suffix from idRecord (key size bytes).
    std::vector<uint8_t> RecordKey(const uint8_t* record, const uint8_t* idRecord);
    bool ChecksDuplicates() const;
    // The removal shared by DeleteRecord and DropRecordEverywhere (keys, record-status key, live
    // count, slot); tolerant passes over index entries that are missing.
    void RemoveRecord(const uint8_t* record, int32_t recNo, uint8_t keepIndex, bool tolerant, TKeyLog& log,
                      std::optional<TBlobRecordWrite>& blobs);
    // Index building (IndexBuild.cpp).
    friend class TIndexBuildTestAccess;
    friend class TDataCursorTestAccess;
    void BuildIndexKeys(uint8_t indexNo);
    // Frees every page of the index and zeroes its root page number.
    void FreeIndexOf(uint8_t indexNo);
    // Inserts every record's record-status key; countLive also counts the live records.
    void RebuildRecordStatusKeys(bool countLive);
    // Whether the cursor's range and bitmaps matched the table when the edit took the write lock
    // (an exclusive cursor is told nothing of its clones' writes).
    bool ViewMatchesTable() const;
    // After a failed edit was undone in memory, a non-exclusive cursor writes that state back:
    // its flush may have left part of the edit in the files, and headers changed by the undo
    // would otherwise stay unwritten, which stops this process from re-reading the files when
    // another process writes them.
    void WriteBackUndoneEdit(bool flushStarted, bool blobChanged) noexcept;
    bool ViewCurrentAtEdit = false;
    void FinishEdit(uint8_t savedIndex, bool reposition, bool deleted, int32_t recNo, bool unlockRecord,
                    bool unlockTable, bool failing);

    // The open options (set through their setters while closed) and what the open found.
    bool Exclusive = false;
    bool ShareExclusive = false;
    bool ReadOnly = false;
    bool ReadOnlyByAttribute = false;
    bool InMemory = false;
    bool IsQueryResult = false;
    bool IsTemporary = false;
    bool SuppressAutoInc = false;
    bool IsQuerySource = false;

    TPasswordCallback PasswordCallback;
    TProgressMessageCallback VerifyProgressCallback;
    TMessageCallback VerifyLogCallback;
    TPercentCallback IndexProgressCallback;  // no setter: the index build reports through it
    TPercentCallback RestructureProgressCallback;
    TDataLostCallback DataLostCallback;
    std::unique_ptr<TRecord> OwnedRecord;
};

}  // namespace dbengine
