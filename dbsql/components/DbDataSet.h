#pragma once
// TDbDataSet adapts one engine cursor to the class library's dataset framework: the framework
// keeps the ring of record buffers, the states, fields and events; this class supplies every
// record-level operation by calling the cursor. TDbDBDataSet binds a dataset to a database by
// name and holds that database open while at least one reason (a DB flag) needs it.
//
// The cursor is used through the engine's narrow cursor interface (TTableCursor) wherever that
// offers the operation; the few operations it lacks go through the concrete cursor in
// DbDataSet.cpp's "Operations of the concrete cursor" section only.
//
// A record buffer holds, one after the other: the engine record (RecordSize bytes), the
// calculated-field area (each field a flag byte and DataSize bytes), the record information
// (record number int32, -1 for a new record; bookmark flag uint8) and the bookmark.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/data/DataSet.h"

namespace dbengine {
class TDataCursor;
class TExpToken;
class TFilter;
class TTableCursor;
struct TFieldDescriptor;
}  // namespace dbengine

namespace dbsql {

class TDbDatabase;

namespace dbdmsg {
inline constexpr const char* SHandleError = "Error creating table handle.";
inline constexpr const char* SNotEditing = "Table is not in edit or insert mode.";
inline constexpr const char* SNotIndexField = "Field %s is not in the current index.";
inline constexpr const char* SFieldReadOnly = "Field %s cannot be modified.";
}  // namespace dbdmsg

// The engine's type and subtype of a framework field type (type 0: none).
struct TEngineFieldType {
    uint8_t Type = 0;
    uint8_t SubType = 0;
};
TEngineFieldType EngineFieldType(framework::TFieldType type);
// The framework's field type of an engine type and subtype; false when the engine type makes no
// field definition.
bool FrameworkFieldType(uint8_t type, uint8_t subType, framework::TFieldType& result);

// Adds one definition per descriptor (not hidden, of an engine type that makes one): a name
// already present gets the suffix _1, _2, ...; field numbers are the descriptors' positions.
void AddFieldDefs(framework::TFieldDefs& defs, const std::vector<dbengine::TFieldDescriptor>& descs);

// Bytes of a buffer of count records of recordSize bytes; raises EOutOfMemory when that cannot
// be had (never a wrapped small size).
size_t BlockBufferSize(int64_t count, int64_t recordSize);
// Capacity of a BLOB byte array for a value of size bytes: size + size div 4, in 64 bits.
size_t BlobArrayCapacity(int64_t size);

// Opening a BLOB for reading retries this often after a refresh when the record was changed by
// another user (8708) before the error is raised.
inline constexpr int BlobChangedRetries = 3;

class TDbDataSet : public framework::TDataSet {
public:
    explicit TDbDataSet(framework::TComponent* AOwner = nullptr);
    ~TDbDataSet() override;

    bool AutoDisplayLabels() const { return FAutoDisplayLabels; }
    void SetAutoDisplayLabels(bool value);
    bool CopyOnAppend = false;

    // The open cursor (nullptr while closed).
    dbengine::TTableCursor* Cursor() const;
    // Writes the table's cached changes (an exclusive cursor outside a transaction) and has the
    // operating system flush its files.
    void FlushBuffers();

    // ---- framework operations
    void Post() override;
    void Cancel() override;
    int CompareBookmarks(const framework::TBookmark& a, const framework::TBookmark& b) override;
    bool BookmarkValid(const framework::TBookmark& bookmark) override;
    bool GetCurrentRecord(framework::TRecordBuffer buffer) override;
    bool GetFieldData(framework::TField* field, void* buffer) override;
    bool GetFieldData(int fieldNo, void* buffer) override;
    void SetFieldData(framework::TField* field, const void* buffer) override;
    int GetBlobFieldData(int fieldNo, std::vector<uint8_t>& buffer) override;
    void SetBlobFieldData(framework::TField* field, const std::vector<uint8_t>& data) override;
    void CloseBlob(framework::TField* field) override;
    // A TDbBlobStream over a BLOB field of the active record buffer.
    std::unique_ptr<framework::TStream> CreateBlobStream(framework::TField* field,
                                                         framework::TBlobStreamMode mode) override;
    // Raises a failing engine code of a field's operation with the field name as context.
    void CheckFieldCode(uint16_t code, const std::string& fieldName) const;
    bool IsSequenced() override;
    framework::TRecordBuffer GetActiveRecBuf() override;
    void SetStateFieldValue(framework::TDataSetState state, framework::TField* field,
                            const framework::Variant& value) override;
    // The engine record part of the block-read buffer in use (tests compare rows with it).
    int BlockReadPosition() const { return FBlockPosition; }

    // ---- searching: an index that covers the fields (the current one, or one of a lookup
    // cursor) finds the record by key; otherwise a temporary filter compares the values
    bool Locate(const std::string& keyFields, const framework::Variant& keyValues,
                framework::TLocateOptions options) override;
    // Never moves the dataset.
    framework::Variant Lookup(const std::string& keyFields, const framework::Variant& keyValues,
                              const std::string& resultFields) override;

protected:
    // The cursor to open (the descendants open one); nullptr raises "Error creating table handle.".
    virtual dbengine::TDataCursor* CreateCursorHandle() { return nullptr; }
    // Closes the cursor keeping its cached changes and frees it, unless it is an SQL result cursor.
    virtual void FreeCursorHandle();
    virtual void ApplyIndexSettings() {}
    // A cursor ordered by an index over the key fields for Locate and Lookup (kept by the
    // descendant), or nullptr; FreeLookupCursor drops a kept one.
    virtual dbengine::TDataCursor* GetLookupCursor(const std::string& /*keyFields*/,
                                                   bool /*caseInsensitive*/) {
        return nullptr;
    }
    virtual void FreeLookupCursor() {}
    // Whether the current index's leading fields are the fields (string fields only under the
    // asked case rule).
    bool MapsToIndex(const std::vector<framework::TField*>& fields, bool caseInsensitive) const;
    // Finds the record with the values into the scratch buffer; with move the dataset's cursor
    // stands on it afterwards.
    bool FindByValues(const std::string& keyFields, const framework::Variant& keyValues,
                      framework::TLocateOptions options, bool move);
    // An expression tree: each field equal to its value, joined by AND. With loPartialKey a
    // string value compares as a prefix (a trailing "*" is left out of it).
    dbengine::TExpToken* BuildValueFilter(const std::vector<framework::TField*>& fields,
                                          const framework::Variant& keyValues,
                                          framework::TLocateOptions options);
    // After the cursor changed its index: the record layout takes the cursor's bookmark size and
    // the record buffers are made again (the window keeps its size, the records are read anew).
    void IndexChanged();

    // ---- filters: Filter text makes the expression filter, OnFilterRecord the callback filter
    // (tested after it); both are active while Filtered and during FindFirst/FindNext/...
    void SetFiltered(bool value) override;
    void SetFilterText(const std::string& text) override;
    void SetFilterOptions(framework::TFilterOptions options) override;
    void SetOnFilterRecord(framework::TFilterRecordEvent handler) override;
    bool FindRecord(bool restart, bool goForward) override;
    // An exception of an OnFilterRecord handler goes to the application's exception handler.
    void InternalHandleException() override;
    void EnableFilters();
    void DisableFilters();
    // FieldDefs made again from a cursor's field descriptors.
    void LoadFieldDefs(dbengine::TTableCursor& cursor);
    virtual void SetFieldDisplayLabels();
    virtual void SetFieldOrigins();

    void ClearCalcFields(framework::TRecordBuffer buffer) override;
    void OpenCursor() override;
    void CloseCursor() override;
    void DoOnNewRecord() override;
    bool GetCanModify() override { return FCanModify; }
    bool GetIsIndexField(framework::TField* field) override;
    int GetNextRecords() override;
    int GetPriorRecords() override;
    int GetRecordCount() override;
    int GetRecNo() override;
    void SetRecNoImpl(int value) override;
    void InitRecord(framework::TRecordBuffer buffer) override;
    void InternalCancel() override;
    void InternalEdit() override;
    void InternalRefresh() override;
    void SetBlockReadSize(int value) override;
    void BlockReadNext() override;
    framework::TRecordBuffer AllocRecordBuffer() override;
    void FreeRecordBuffer(framework::TRecordBuffer& buffer) override;
    void GetBookmarkData(framework::TRecordBuffer buffer, void* data) override;
    void SetBookmarkData(framework::TRecordBuffer buffer, const void* data) override;
    framework::TBookmarkFlag GetBookmarkFlag(framework::TRecordBuffer buffer) override;
    void SetBookmarkFlag(framework::TRecordBuffer buffer, framework::TBookmarkFlag flag) override;
    int GetRecordSize() override { return FRecordSize; }
    void InternalAddRecord(framework::TRecordBuffer buffer, bool append) override;
    void InternalDelete() override;
    void InternalFirst() override;
    void InternalLast() override;
    void InternalGotoBookmark(const void* bookmark) override;
    void InternalInitRecord(framework::TRecordBuffer buffer) override;
    void InternalPost() override;
    void InternalSetToRecord(framework::TRecordBuffer buffer) override;
    framework::TGetResult GetRecord(framework::TRecordBuffer buffer, framework::TGetMode mode,
                                    bool doCheck) override;
    void InternalClose() override;
    void InternalInitFieldDefs() override;
    void InternalOpen() override;
    bool IsCursorOpen() override { return FCursor != nullptr; }

    // Index information of the current index (read by the key and range machinery).
    std::vector<uint16_t> IndexFieldMap;
    int KeyFieldCount = 0;
    bool CaseInsIndex = false;
    uint16_t KeySize = 0;
    int RemoteFetchCount = 1;

private:
    int RecInfoOffset() const { return FRecordSize + CalcFieldsSize(); }
    int BookmarkOffset() const { return RecInfoOffset() + 5; }
    dbengine::TDataCursor& Engine() const;
    void FreeBlockBuffer();
    void ReadBlock();
    void CheckCursorError(uint16_t code, const std::string& message) const;
    // Makes the cursor's filters from the settings again (inactive).
    void RebuildFilters();
    void DropFilters();
    // A filter setting changed: the filters are made again and, while filtered, applied.
    void FilterSettingChanged();
    // Runs the framework's fill with the remote fetch count set to the buffer count.
    int FillWithFetchCount(const std::function<int()>& fill);

    dbengine::TDataCursor* FCursor = nullptr;
    dbengine::TFilter* FExprFilter = nullptr;
    dbengine::TFilter* FFuncFilter = nullptr;
    bool FOwnsCursor = true;
    bool FCanModify = false;
    bool FAutoDisplayLabels = false;
    int FRecordSize = 0;
    std::vector<uint8_t> FOldValueBuffer;
    std::vector<uint8_t> FBlockBuffer;
    int FBlockCapacity = 0;
    int FBlockHeld = 0;
    int FBlockPosition = 0;
    int64_t FBlockTotal = 0;
};

// The reasons for which a dataset holds its database.
enum TDBFlag : unsigned {
    dbfOpened = 0,
    dbfPrepared = 1,
    dbfTable = 3,
    dbfFieldList = 4,
    dbfIndexList = 5,
};

class TDbDBDataSet : public TDbDataSet {
public:
    explicit TDbDBDataSet(framework::TComponent* AOwner = nullptr);
    ~TDbDBDataSet() override;

    const std::string& DatabaseName() const { return FDatabaseName; }
    void SetDatabaseName(const std::string& name);
    const std::string& SessionName() const { return FSessionName; }
    void SetSessionName(const std::string& name);
    TDbDatabase* Database() const { return FDatabase; }
    uint16_t DBFlags() const { return FDBFlags; }
    // Closes the dataset (the database component calls it when it closes).
    virtual void Disconnect();
    // Sets or clears a reason; the first reason opens the database, the last one gives it back.
    void SetDBFlag(unsigned reason, bool value);
    // Whether the name is the in-memory database's.
    bool InMemory() const { return FInMemory; }

protected:
    void OpenCursor() override;
    void CloseCursor() override;
    // Has the cursor ask the dataset's session for table passwords it lacks.
    void InstallPasswordCallback(dbengine::TDataCursor& cursor) const;

private:
    uint16_t FDBFlags = 0;
    TDbDatabase* FDatabase = nullptr;
    std::string FDatabaseName;
    std::string FSessionName;
    bool FInMemory = false;
};

}  // namespace dbsql
