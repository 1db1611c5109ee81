#pragma once
// The remote side of a cursor: every cursor operation of a remote session as a request to the
// database server, and the reading of the new cursor state from the server's reply.
//
// Most requests start with the request head: the cursor's server handle (4), the bookmark of the
// current record as the last reply gave it, and the beginning and end flags (1 each). Replies
// that move the cursor end with the position reply:
//   sequence number (4), physical record number (4), record count (4),
//   the table's counts: data record count (4), last record ID (4), last write time (8, as a
//   day count 693594 days larger than the engine's date), index change count (4), index record
//   count (4),
//   the bookmark (its length is the item's), beginning flag (1), end flag (1).
// Every length taken from a reply is checked against what the reply holds and against the room
// it goes to; a reply that does not fit raises 15002.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dbengine/cursor/CursorOperations.h"
#include "dbengine/index/TextIndexParams.h"
#include "dbengine/remote/RemoteMessage.h"
#include "dbengine/session/DataTable.h"
#include "dbengine/util/EngineError.h"

namespace dbengine {

class TBlobBuffer;
class TDataCursor;
class TExpToken;
class TFilter;
class TRemoteClient;

// Server engine versions at which requests change form.
constexpr int64_t RemoteVersionLockProtocol = 30400;
constexpr int64_t RemoteVersionOpenOnce = 30500;
constexpr int64_t RemoteVersionUserCursors = 30600;
constexpr int64_t RemoteVersionTableState = 30800;
constexpr int64_t RemoteVersionCancel = 30900;
constexpr int64_t RemoteVersionLocalBlobs = 31100;

// The reply code by which a server asks the client to run a callback before it answers.
constexpr uint16_t RemoteCallbackReply = 11284;
// Days between the server's day count and the engine's dates.
constexpr double RemoteDayOffset = 693594.0;

// The headers of a shared table as a server sends them: the read-only flags (servers of 30800 and
// later), the 127-byte data header, one 768-byte descriptor per field, the 4096-byte index header
// and the 512-byte BLOB header. Every field must lie inside the record and every key fit a key
// buffer, or the reply is malformed (15002) and the table keeps the headers it had.
void ReceiveTableHeaders(TRemoteReply& reply, TDataTable& table, int64_t serverVersion);
// Data record count, last record ID, last write time, index change count and record count.
void ReceiveTableCounts(TRemoteReply& reply, TDataTable& table);

class TRemoteCursor final : public TCursorNavigation,
                            public TCursorEditing,
                            public TCursorTables,
                            public TCursorBlobs,
                            public TCursorLife,
                            public TCursorSharing,
                            public TCursorFiltering {
public:
    explicit TRemoteCursor(TDataCursor& cursor);
    ~TRemoteCursor() override;
    TRemoteCursor(const TRemoteCursor&) = delete;
    TRemoteCursor& operator=(const TRemoteCursor&) = delete;

    TDataCursor& Cursor;
    uint32_t ServerHandle = 0;
    // Bookmark of the current record as the last position reply gave it.
    std::vector<uint8_t> PositionKey;
    int32_t RemoteRecordCount = 0;
    // Header of the last request whose reply may serve later fetches.
    std::array<uint8_t, RemoteHeaderSize> LastRequestHeader{};
    // Records fetched per block read.
    int32_t RemoteReadSize = 1;

    // ---- The request cycle ----
    TRemoteClient& Client() const;
    int64_t ServerVersion() const;
    // Connects when needed and starts a request of this code.
    void BeginRequest(uint16_t code);
    // Handle, bookmark and the beginning and end flags.
    void PutRequestHead();
    // Sends, runs the callbacks the server asks for while it works, and raises an error reply.
    void SendAndReceive();
    uint16_t GetLastRequestCode() const;
    // Copies the current reply for later fetches and reads on from its first item.
    void KeepReply();
    bool GetKeptReplyRemaining() const { return Kept.HasReplyParam(); }
    TRemoteReply& Reply();

    // ---- Reply readers ----
    void ReadPositionReply(TRemoteReply& reply);
    void ReadPositionReply();
    // A record item into buffer (the cursor's record size); shorter items are zero-filled.
    void ReadRecordReply(TRemoteReply& reply, uint8_t* buffer);
    // The open reply: headers when the server sends them, position, index number.
    void ReadOpenReply();
    // A result cursor of a remote statement: handle, table name and the five flags.
    void ReadCursorReply(TRemoteReply& reply);
    // A count and the descriptors, installed in the cursor; from 30800 on a calculated field's
    // descriptor is followed by its expression, which the cursor then holds.
    void ReadFieldDescsReply(TRemoteReply& reply);

    // ---- Life cycle ----
    void CreateCursor();
    // Failures are swallowed: the server drops the cursor with the connection anyway.
    void FreeCursor();
    // Sends the open request unless a clone's reply already holds what it answers.
    void OpenCursor();
    bool OpenReplyReady = false;
    void CloseCursor();
    // A new open cursor on the server's clone of this one (same options, index, range, filters
    // and position there); the clone's filters live on the server only.
    std::unique_ptr<TDataCursor> CloneCursor();
    void Created() override { CreateCursor(); }
    // A query result's cursor is the statement's on the server and goes with it.
    void Destroyed() noexcept override;
    void Open() override { OpenCursor(); }
    void Closing() override { CloseCursor(); }
    std::unique_ptr<TDataCursor> Clone() override { return CloneCursor(); }
    double ServerEngineVersion() const override { return static_cast<double>(ServerVersion()); }
    void SuppressAutoIncChanged(bool value) override { SetSuppressAutoInc(value); }
    // The server writes the parameters itself.
    void WriteTextIndexParams() override {}
    void Refresh() override;

    // ---- Index selection, key search and ranges ----
    void SetIndexName(const std::string& name) override;
    // A key not given is built from the record buffer it points at.
    bool FindKey(bool keyGiven, const uint8_t* key, int32_t fieldCount, bool nearest, int partialLength,
                 uint8_t* outRecord) override;
    // A missing key travels as zero bytes.
    void SetRange(bool keysGiven, const uint8_t* startKey, int32_t startFieldCount, const uint8_t* endKey,
                  int32_t endFieldCount) override;
    void ResetRange() override;

    // ---- Positioning and navigation ----
    void SetToBegin() override;
    void SetToEnd() override;
    bool SetToRecNo(int32_t recNo) override;
    TEngineErrorCode GetCurrentRecord(uint8_t* buffer, bool lock) override;
    TEngineErrorCode GetNextRecord(uint8_t* buffer) override;
    TEngineErrorCode GetPriorRecord(uint8_t* buffer) override;
    TEngineErrorCode ReadRecordBlock(int32_t& count, uint8_t* buffers) override;
    bool SetToBookmark(const uint8_t* bookmark, bool keepCrack, bool noBracket) override;
    TEngineErrorCode SetToCursor(TRemoteCursor& other);
    TEngineErrorCode SetToCursor(TDataCursor& other) override;
    // The bookmark of the last reply, in the current index's key size.
    void GetPositionKey(uint8_t* buffer) const;
    // The position as the last reply gave it.
    int32_t GetRecNo() const override;
    int32_t GetPhysicalRecNo() const override;
    int32_t GetRecordCount() const override { return RemoteRecordCount; }
    void GetBookmark(uint8_t* buffer) const override { GetPositionKey(buffer); }

    // ---- Record edits and locks ----
    void InsertRecord(uint8_t* buffer, bool reposition) override;
    void ModifyRecord(uint8_t* buffer, bool unlock, bool reposition) override;
    void DeleteRecord(const uint8_t* buffer, bool reposition) override;
    void CancelRecord() override;
    TEngineErrorCode CloneCurrentRecord(uint8_t* buffer) override;
    // recNo 0: the current record.
    void UnlockRecord(int32_t recNo);
    void FlushBuffers(bool force, bool dropCaches, bool dataChanged, bool indexChanged,
                      bool blobChanged) override;
    void FlushOSBuffers() override;
    void SetSuppressAutoInc(bool value);

    // ---- Sharing: the server locks, watches and flushes its table; its changes come with the
    // replies ----
    bool ResyncAfterLock(bool /*changed*/) override { return false; }
    void CheckForChanges() override {}
    void TransactionRolledBack() noexcept override {}
    bool LockAndResync() override { return false; }
    void ReleaseReadLock() override {}
    bool SyncBeforeRead() override { return false; }
    bool ResyncIfChanged() override { return false; }
    // The server's lock ends too unless localOnly (on an open cursor).
    void UnlockRecord(int32_t recNo, bool localOnly) override;

    // ---- Filters: the server evaluates its copies ----
    // The filter's server handle and, for an expression, its optimize level come back.
    void AddFilter(TFilter& filter, bool ownsTree);
    uint8_t RateCondition(TExpToken* /*node*/, bool /*estimateCounts*/, bool /*costRule*/) override {
        return 0;
    }
    void FilterAdded(TFilter& filter, bool ownsTree) override { AddFilter(filter, ownsTree); }
    void DropFilter(TFilter* filter) override;
    void ActivateFilter(TFilter* filter) override;
    void DeactivateFilter(TFilter* filter) override;
    // The server's copy keeps its expression.
    void ReplaceFilterExpression(TExpToken* /*tree*/, TFilter* /*filter*/) override {}
    void BitmapNavigationChanged(bool /*was*/) override {}
    // Drop (71), activate (72) or deactivate (73); no filter: all of them.
    void FilterRequest(uint16_t code, uint32_t filterHandle);
    // The server handle of a filter of the cursor; 0 for none or one not in the list.
    uint32_t HandleOf(const TFilter* filter) const;

    // ---- Table definitions and full-text parameters ----
    void CreateTable(const TTableDefinition& definition, bool allowAutoPrimary, bool overwrite);
    void TableCreated(const TTableDefinition& definition, bool allowAutoPrimary, bool overwrite) override {
        CreateTable(definition, allowAutoPrimary, overwrite);
    }
    // The new definition (checked already); progress and data-lost questions come back as
    // callbacks of the cursor.
    void RestructureTable(const TTableDefinition& definition, bool allowAutoPrimary, int32_t lastAutoInc,
                          bool suppressBackup) override;
    // Verifies or repairs the cursor's table on the server; true when it is sound (or repaired).
    bool VerifyRepairTable(bool verifyOnly, bool tolerant, bool hasProgress, bool hasLog,
                           bool forceIndexRebuild) override;
    void DeleteTable() override;
    void RenameTable(const std::string& newName) override;
    void EmptyTable() override;
    TDataHeader ReadTableHeader();
    TDataHeader ReadClosedTableHeader() override { return ReadTableHeader(); }
    void AddIndex(TIndexDescriptor desc, bool flag) override;
    void DeleteIndex(const std::string& name, bool flag) override;
    void LoadTextIndexParams() override;
    // No words: the defaults.
    void PutTextIndexParams(const std::vector<std::string>* words, const TCharSet& spaceChars,
                            const TCharSet& includeChars);
    void ReadTextIndexParamsReply(TRemoteReply& reply);

    // ---- BLOBs ----
    // The requests as they travel. Each returns the server's result code; record (the cursor's
    // record size) comes back as the reply carries it. From 31100 on an open reply also holds the
    // value, which loadInto receives when given.
    TEngineErrorCode RequestOpenBlob(uint16_t fieldNo, uint8_t* record, uint8_t mode, bool byTableDesc,
                                     bool recordBound, TBlobBuffer* loadInto);
    TEngineErrorCode RequestFreeBlob(uint16_t fieldNo, uint8_t* record, bool byTableDesc, bool flag);
    TEngineErrorCode RequestGetBlob(uint16_t fieldNo, const uint8_t* record, int32_t offset, int32_t count,
                                    void* dest, int32_t& bytesRead, bool byTableDesc);
    TEngineErrorCode RequestPutBlob(uint16_t fieldNo, uint8_t* record, int32_t offset, int32_t count,
                                    const void* source, bool byTableDesc);
    TEngineErrorCode RequestTruncateBlob(uint16_t fieldNo, uint8_t* record, int32_t newLength,
                                         bool byTableDesc);
    TEngineErrorCode RequestGetBlobSize(uint16_t fieldNo, const uint8_t* record, int32_t& size,
                                        bool byTableDesc);
    void RequestFreeAllBlobs(bool all);
    // On an open cursor.
    void FreeingAllBlobs(bool all) override;

    // The cursor's BLOB operations. Every value open in the cursor has a buffer with a handle of
    // the cursor's own (in the record's field, negated) and the server's handle. From 31100 on the
    // buffer holds the value and reading, writing, truncating and sizing work on it, as for a
    // table of this process; before, each of them is a request, sent with the server's handle in
    // the field.
    TEngineErrorCode OpenBlob(uint16_t fieldNo, uint8_t* record, uint8_t mode, bool byTableDesc,
                              bool recordBound, int32_t& size, bool keepRemoteHandle) override;
    TEngineErrorCode FreeBlob(uint16_t fieldNo, uint8_t* record, bool byTableDesc, bool flag) override;
    TEngineErrorCode GetBlob(uint16_t fieldNo, const uint8_t* record, int32_t offset, uint8_t* dest,
                             int32_t count, int32_t& bytesRead, bool byTableDesc) override;
    TEngineErrorCode PutBlob(uint16_t fieldNo, uint8_t* record, int32_t offset, const uint8_t* source,
                             int32_t count, bool byTableDesc) override;
    TEngineErrorCode TruncateBlob(uint16_t fieldNo, uint8_t* record, int32_t newLength,
                                  bool byTableDesc) override;
    TEngineErrorCode GetBlobSize(uint16_t fieldNo, const uint8_t* record, int32_t& size,
                                 bool byTableDesc) override;
    // Whether the four value operations go to the server (servers before 31100).
    bool BlobsOnServer() const { return ServerVersion() < RemoteVersionLocalBlobs; }

    // The value of a buffer from the current reply: its size (4), then the bytes.
    void LoadBlob(TRemoteReply& reply, TBlobBuffer& buffer);
    // Into the request being built: handle, size and bytes (save) or handle and size (delete).
    void SaveBlob(const TBlobBuffer& buffer);
    void DeleteBlob(const TBlobBuffer& buffer);
    // The changed values open in the cursor: their count (4), then each save or delete.
    void PutModifiedBlobs();

private:
    // Records the header of the request just sent unless its code leaves the position alone.
    void NoteRequestHeader();
    bool Pessimistic() const;
    // Forgets the table's note of a record lock this process holds through the server.
    void DropLocalLock(int32_t recNo);
    void SendFilter(TFilter& filter, bool ownsTree);
    // Runs one callback the server asked for; true when the reply to it was read already.
    bool RunCallback();
    TEngineErrorCode ReadFetchEntry(TRemoteReply& reply, uint8_t* buffer);
    TEngineErrorCode FetchRecord(uint16_t code, uint8_t* buffer);
    void PutBlobHead(uint16_t code, uint16_t fieldNo, const uint8_t* record);
    TEngineErrorCode ReadBlobResult(uint8_t* record);
    // The field of a BLOB (10753 when it is none) and its place in record.
    bool FindBlobField(uint16_t fieldNo, bool byTableDesc, TFieldDescriptor& desc) const;
    // A request of an old server on a copy of record whose field holds the server's handle; the
    // reply's record comes back with the cursor's handle in the field again.
    TEngineErrorCode OnServerValue(uint16_t fieldNo, uint8_t* record, bool byTableDesc,
                                   const std::function<TEngineErrorCode(uint8_t* copy)>& request);
    // A copy of record whose fields name its open values by the server's handles.
    std::vector<uint8_t> ServerRecord(const uint8_t* record) const;
    // After a record write: the values it carried are saved, those bound to it freed.
    void AfterRecordWrite();
    void PutTableHead(uint16_t code);
    // Header values, fields, indexes and (30400 on) the full-text descriptor and parameters.
    void PutDefinition(const TTableDefinition& definition);
    [[noreturn]] void RaiseMalformed() const;

    TRemoteReply Kept;
    // Expressions of calculated fields read from replies; freed with this object.
    std::vector<TExpToken*> ReceivedTrees;
};

}  // namespace dbengine
