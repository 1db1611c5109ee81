#pragma once
// TDataSet: the record-oriented dataset of the class library. It keeps a ring of record buffers
// around the current record, the dataset state (browse, edit, insert, ...), the field objects and
// the events, and leaves every record-level operation to a descendant through the protected
// virtual protocol below (GetRecord, InternalPost, InternalDelete, ...).
//
// Buffer ring: FBuffers holds BufferCount + 1 buffers. Buffers 0 .. RecordCount-1 hold records in
// dataset order; ActiveRecord indexes the current one; the extra buffer at index RecordCount is
// the scratch buffer a fetch reads into before it joins the ring. BufferCount is the largest
// window any data link asks for (at least 1). CurrentRecord is the index of the buffer whose
// record the descendant's cursor stands on (-1 when unknown, see CursorPosChanged).

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/core/Component.h"
#include "framework/core/Exception.h"
#include "framework/data/FieldDefs.h"
#include "framework/data/Fields.h"
#include "framework/data/Variant.h"

namespace framework {

class TDataSource;
class TDataLink;
class TStream;

// ---- Messages of the dataset framework --------------------------------------------------------
namespace dbmsg {
inline constexpr const char* SDataSetClosed = "Cannot perform this operation on a closed dataset";
inline constexpr const char* SDataSetOpen = "Cannot perform this operation on an open dataset";
inline constexpr const char* SFieldNotFound = "Field '%s' not found";
inline constexpr const char* SNoFieldIndexes = "No index for fields '%s'";
inline constexpr const char* SFieldRequired = "Field '%s' must have a value";
inline constexpr const char* SNotEditing = "Dataset not in edit or insert mode";
inline constexpr const char* SDataSetReadOnly = "Cannot modify a read-only dataset";
inline constexpr const char* SDataSetEmpty = "Cannot perform this operation on an empty dataset";
inline constexpr const char* SRecordNotFound = "Record not found";
inline constexpr const char* SFieldReadOnly = "Field '%s' cannot be modified";
inline constexpr const char* SIndexNotFound = "Index '%s' not found";
inline constexpr const char* SParameterNotFound = "Parameter '%s' not found";
inline constexpr const char* SDuplicateFieldName = "Duplicate field name '%s'";
inline constexpr const char* SFieldTypeMismatch = "Type mismatch for field '%s', expecting: %s actual: %s";
inline constexpr const char* SFieldAccessError = "Cannot access field '%s' as type %s";
inline constexpr const char* SFieldRangeError =
    "%s is not a valid value for field '%s'. The allowed range is %s to %s";
inline constexpr const char* SNotBoolean = "'%s' is not a valid boolean value for field '%s'";
inline constexpr const char* SCircularDataLink = "Circular datalinks are not allowed";
inline constexpr const char* SLookupInfoError = "Lookup information for field '%s' is incomplete";
inline constexpr const char* SDataSourceChange = "DataSource cannot be changed";
inline constexpr const char* SInvalidFieldSize = "Invalid field size";
inline constexpr const char* SFieldIndexError = "Field index out of range";
inline constexpr const char* SNotIndexField = "Field '%s' is not indexed and cannot be modified";
}  // namespace dbmsg

// Replaces each "%s" of the pattern by the next argument.
std::string FmtMsg(const char* pattern, std::initializer_list<std::string> args);
[[noreturn]] void DatabaseError(const std::string& message, const TDataSet* component = nullptr);
[[noreturn]] void DatabaseErrorFmt(const char* pattern, std::initializer_list<std::string> args,
                                   const TDataSet* component = nullptr);

enum TDataSetState {
    dsInactive,
    dsBrowse,
    dsEdit,
    dsInsert,
    dsSetKey,
    dsCalcFields,
    dsFilter,
    dsNewValue,
    dsOldValue,
    dsCurValue,
    dsBlockRead,
    dsInternalCalc
};

enum TDataEvent {
    deFieldChange,
    deRecordChange,
    deDataSetChange,
    deDataSetScroll,
    deLayoutChange,
    deUpdateRecord,
    deUpdateState,
    deCheckBrowseMode,
    dePropertyChange,
    deFieldListChange,
    deFocusControl,
    deParentScroll
};

enum TGetMode { gmCurrent, gmNext, gmPrior };
enum TGetResult { grOK, grBOF, grEOF, grError };
enum TBookmarkFlag { bfCurrent, bfBOF, bfEOF, bfInserted };
enum TDataAction { daFail, daAbort, daRetry };
enum TBlobStreamMode { bmRead, bmWrite, bmReadWrite };

enum TResyncModeFlag : unsigned { rmExact = 1u, rmCenter = 2u };
using TResyncMode = unsigned;

enum TLocateOption : unsigned { loCaseInsensitive = 1u, loPartialKey = 2u };
using TLocateOptions = unsigned;

enum TFilterOption : unsigned { foCaseInsensitive = 1u, foNoPartialCompare = 2u };
using TFilterOptions = unsigned;

using TRecordBuffer = uint8_t*;
// A bookmark is a copy of the bookmark data of a record; empty = nil.
using TBookmark = std::vector<uint8_t>;

using TDataSetNotifyEvent = std::function<void(TDataSet* DataSet)>;
using TDataSetErrorEvent = std::function<void(TDataSet* DataSet, EDatabaseError& E, TDataAction& Action)>;
using TFilterRecordEvent = std::function<void(TDataSet* DataSet, bool& Accept)>;

class TDataSet : public TComponent {
public:
    explicit TDataSet(TComponent* AOwner = nullptr);
    ~TDataSet() override;
    TDataSet(const TDataSet&) = delete;
    TDataSet& operator=(const TDataSet&) = delete;

    // ---- opening and state
    void Open() { SetActive(true); }
    void Close() { SetActive(false); }
    bool Active() const { return FActive; }
    void SetActive(bool value);
    TDataSetState State() const { return FState; }
    bool Modified() const { return FModified; }
    bool CanModify() { return GetCanModify(); }
    bool IsEmpty() const { return FActive && FActiveRecord >= FRecordCount; }
    bool DefaultFields() const { return FDefaultFields; }

    // ---- navigation
    void First();
    void Last();
    void Next();
    void Prior() { MoveBy(-1); }
    // Moves by up to distance records; answers the number of records actually moved.
    int MoveBy(int distance);
    bool Bof() const { return FBOF; }
    bool Eof() const { return FEOF; }
    int RecordCount() { return GetRecordCount(); }
    int RecNo() { return GetRecNo(); }
    void SetRecNo(int value) { SetRecNoImpl(value); }
    virtual bool IsSequenced() { return true; }

    // ---- editing
    void Append();
    void Insert();
    void Edit();
    virtual void Post();
    virtual void Cancel();
    void Delete();
    void Refresh();
    void CheckBrowseMode();
    void UpdateRecord();
    void ClearFields();
    void AppendRecord(const std::vector<Variant>& values) { InsertRecordValues(values, true); }
    void InsertRecord(const std::vector<Variant>& values) { InsertRecordValues(values, false); }
    void SetFields(const std::vector<Variant>& values);

    // ---- bookmarks
    TBookmark GetBookmark();
    void GotoBookmark(const TBookmark& bookmark);
    void FreeBookmark(TBookmark& bookmark) { bookmark.clear(); }
    virtual int CompareBookmarks(const TBookmark& a, const TBookmark& b);
    virtual bool BookmarkValid(const TBookmark& bookmark);
    TBookmark Bookmark() { return GetBookmark(); }
    void SetBookmark(const TBookmark& b) { GotoBookmark(b); }

    // ---- block reads: with a block size above 0 the dataset is in dsBlockRead and Next moves
    // without telling the controls anything but the scroll
    int BlockReadSize() const { return FBlockReadSize; }
    void SetBlockReadSizeValue(int value) { SetBlockReadSize(value); }

    // ---- a field's value in another state (old values while editing, new values)
    virtual Variant GetStateFieldValue(TDataSetState state, TField* field);
    virtual void SetStateFieldValue(TDataSetState state, TField* field, const Variant& value);

    // ---- master/detail: the master's link fields and this dataset's matching fields
    virtual void GetDetailLinkFields(std::vector<TField*>& masterFields, std::vector<TField*>& detailFields);

    // ---- controls
    void DisableControls();
    void EnableControls();
    bool ControlsDisabled() const { return FDisableCount != 0; }

    // ---- fields
    TFields Fields;
    TFieldDefs FieldDefs{this};
    TIndexDefs IndexDefs{this};
    int FieldCount() const { return Fields.Count(); }
    TField* FindField(const std::string& name) const { return Fields.FindField(name); }
    TField* FieldByName(const std::string& name) const;
    // Fields named in a ";"-separated list; raises "Field '%s' not found" for an unknown name.
    void GetFieldList(std::vector<TField*>& list, const std::string& fieldNames) const;
    void GetFieldNames(std::vector<std::string>& names) const;
    // Takes ownership of a persistent field and adds it to Fields; the dataset must be closed.
    TField* AddField(std::unique_ptr<TField> field);
    template <class F>
    F* AddField(const std::string& name, TFieldKind kind = fkData, int size = 0) {
        auto f = std::make_unique<F>();
        f->FieldName = name;
        f->FieldKind = kind;
        if (size > 0) f->SetSize(size);
        return static_cast<F*>(AddField(std::move(f)));
    }
    int CalcFieldsSize() const { return FCalcFieldsSize; }
    bool AutoCalcFields = true;
    Variant FieldValues(const std::string& fieldNames) const;

    // ---- searching
    virtual bool Locate(const std::string& keyFields, const Variant& keyValues, TLocateOptions options);
    virtual Variant Lookup(const std::string& keyFields, const Variant& keyValues,
                           const std::string& resultFields);
    bool FindFirst() { return FindRecord(true, true); }
    bool FindNext() { return FindRecord(false, true); }
    bool FindPrior() { return FindRecord(false, false); }
    bool FindLast() { return FindRecord(true, false); }
    bool Found() const { return FFound; }

    // ---- filtering (applied by the descendant). The public Set...Value writers call the protected
    // virtual setters that descendants override.
    std::string Filter() const { return FFilterText; }
    void SetFilter(const std::string& text) { SetFilterText(text); }
    bool Filtered() const { return FFiltered; }
    void SetFilteredValue(bool value) { SetFiltered(value); }
    TFilterOptions FilterOptions() const { return FFilterOptions; }
    void SetFilterOptionsValue(TFilterOptions options) { SetFilterOptions(options); }
    TFilterRecordEvent OnFilterRecord() const { return FOnFilterRecord; }
    void SetOnFilterRecordValue(TFilterRecordEvent handler) { SetOnFilterRecord(std::move(handler)); }

    // ---- BLOBs
    // A stream over the value of a BLOB field of the active record. bmRead reads it; bmWrite starts
    // it empty; bmReadWrite starts from the value. Every write stores the whole value at once, so
    // the record being edited holds what was written when the stream goes.
    virtual std::unique_ptr<TStream> CreateBlobStream(TField* field, TBlobStreamMode mode);
    virtual void CloseBlob(TField* /*field*/) {}
    // Whole value of a BLOB field of the active record; answers its length.
    virtual int GetBlobFieldData(int fieldNo, std::vector<uint8_t>& buffer);
    // Replaces the whole value of a BLOB field of the record being edited.
    virtual void SetBlobFieldData(TField* field, const std::vector<uint8_t>& data);

    // ---- field data (the fields call these)
    virtual bool GetFieldData(TField* field, void* buffer);
    virtual bool GetFieldData(int fieldNo, void* buffer);
    virtual void SetFieldData(TField* field, const void* buffer);
    virtual bool GetCurrentRecord(TRecordBuffer buffer);

    // ---- events
    TDataSetNotifyEvent BeforeOpen, AfterOpen, BeforeClose, AfterClose, BeforeInsert, AfterInsert, BeforeEdit,
        AfterEdit, BeforePost, AfterPost, BeforeCancel, AfterCancel, BeforeDelete, AfterDelete, BeforeScroll,
        AfterScroll, BeforeRefresh, AfterRefresh, OnCalcFields, OnNewRecord;
    TDataSetErrorEvent OnPostError, OnEditError, OnDeleteError;

    // ---- the buffer window as data links see it
    int BufferCount() const { return FBufferCount; }
    int ActiveRecord() const { return FActiveRecord; }
    int BufferedRecordCount() const { return FRecordCount; }
    TRecordBuffer ActiveBuffer() const;
    TRecordBuffer CalcBuffer() const { return FCalcBuffer; }
    TRecordBuffer TempBuffer() const { return FBuffers.empty() ? nullptr : FBuffers[size_t(FRecordCount)]; }
    // The record buffer that field data of the current state lives in (nullptr: none).
    virtual TRecordBuffer GetActiveRecBuf();

    // ---- data sources attached to this dataset (TDataSource registers itself)
    void AddDataSource(TDataSource* source);
    void RemoveDataSource(TDataSource* source);
    // Whether a data source's chain of master datasets leads back to this dataset.
    bool IsLinkedTo(TDataSource* source) const;
    virtual TDataSource* GetDataSource() const { return nullptr; }

    void CheckActive() const;
    void CheckInactive() const;
    void Resync(TResyncMode mode);
    void CursorPosChanged() { FCurrentRecord = -1; }
    void UpdateCursorPos();
    virtual void DataEvent(TDataEvent event, intptr_t info);
    // Recomputes calculated and lookup fields of a buffer (the descendant's GetRecord calls it).
    void GetCalcFields(TRecordBuffer buffer);
    void SetBufferCountFromLinks();
    // Loads FieldDefs from the open cursor unless they are up to date.
    virtual void InitFieldDefs();
    // Loads IndexDefs from the open cursor (descendants with indexes).
    virtual void UpdateIndexDefs() {}

protected:
    // ---- the descendant protocol
    virtual TRecordBuffer AllocRecordBuffer() = 0;
    virtual void FreeRecordBuffer(TRecordBuffer& buffer) = 0;
    virtual void InternalInitRecord(TRecordBuffer buffer) = 0;
    virtual void InitRecord(TRecordBuffer buffer);
    virtual TGetResult GetRecord(TRecordBuffer buffer, TGetMode mode, bool doCheck) = 0;
    virtual int GetRecordSize() = 0;
    virtual void GetBookmarkData(TRecordBuffer buffer, void* data) = 0;
    virtual void SetBookmarkData(TRecordBuffer buffer, const void* data) = 0;
    virtual TBookmarkFlag GetBookmarkFlag(TRecordBuffer buffer) = 0;
    virtual void SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag) = 0;
    virtual void InternalOpen() = 0;
    virtual void InternalClose() = 0;
    virtual bool IsCursorOpen() = 0;
    virtual void InternalFirst() = 0;
    virtual void InternalLast() = 0;
    virtual void InternalAddRecord(TRecordBuffer buffer, bool append) = 0;
    virtual void InternalPost();
    virtual void InternalDelete() = 0;
    virtual void InternalCancel() {}
    virtual void InternalEdit() {}
    virtual void InternalInsert() {}
    virtual void InternalRefresh() {}
    virtual void InternalGotoBookmark(const void* bookmark) = 0;
    virtual void InternalSetToRecord(TRecordBuffer buffer) = 0;
    virtual void InternalHandleException();
    virtual void InternalInitFieldDefs() = 0;
    virtual void OpenCursor();
    virtual void CloseCursor();
    virtual void ClearCalcFields(TRecordBuffer buffer);
    virtual void CalculateFields(TRecordBuffer buffer);
    virtual void DoOnNewRecord();
    virtual bool GetCanModify() { return true; }
    virtual int GetRecordCount() { return -1; }
    virtual int GetRecNo() { return -1; }
    virtual void SetRecNoImpl(int /*value*/) {}
    virtual bool FindRecord(bool restart, bool goForward);
    virtual void SetFiltered(bool value);
    virtual void SetFilterText(const std::string& text);
    virtual void SetFilterOptions(TFilterOptions options);
    virtual void SetOnFilterRecord(TFilterRecordEvent handler);
    virtual bool GetIsIndexField(TField* /*field*/) { return false; }
    virtual int GetNextRecords();
    virtual void SetBlockReadSize(int value);
    virtual void BlockReadNext();
    // A field or index definition changed (a descendant may remember to store them).
    virtual void DefChanged(TObject* /*sender*/) {}
    virtual int GetPriorRecords();
    // Makes the window value buffers tall (the ring holds one buffer more, the scratch buffer);
    // 0 frees every buffer. Shrinking keeps the active record; growing fetches nothing.
    virtual void SetBufListSize(int value);

    // ---- helpers for descendants
    void SetState(TDataSetState value);
    TDataSetState SetTempState(TDataSetState value);
    void RestoreState(TDataSetState value);
    void SetModified(bool value) { FModified = value; }
    void CheckRequiredFields();
    void CreateFields();
    void DestroyFields();
    void BindFields(bool binding);
    void ClearBuffers();
    bool GetNextRecord();
    bool GetPriorRecord();
    void SetCurrentRecord(int index);
    int BookmarkSize = 0;
    bool FFound = false;
    TRecordBuffer FFilterBuffer = nullptr;  // the buffer tested while in dsFilter
    TRecordBuffer FCalcBuffer = nullptr;
    // A generic search over the descendant's records in dataset order, reading each into the
    // scratch buffer in dsFilter state; used by Locate and Lookup unless a descendant has better.
    bool ScanForValues(const std::vector<TField*>& fields, const Variant& keyValues, TLocateOptions options);
    static bool FieldMatches(TField* field, const Variant& value, TLocateOptions options);
    // The values of the result fields (one value, or an array for several) of the record in the
    // scratch buffer, its calculated fields computed first: what Lookup answers once it found one.
    Variant TempBufferValues(const std::string& resultFields);
    // Runs OnFilterRecord on a buffer in dsFilter state; true without a handler.
    bool RecordFilterAccepts(TRecordBuffer buffer);

    // Filter and block-read settings as the framework keeps them; a descendant's setters store
    // into them directly once they have applied the setting to their cursor.
    std::string FFilterText;
    bool FFiltered = false;
    TFilterOptions FFilterOptions = 0;
    TFilterRecordEvent FOnFilterRecord;
    int FBlockReadSize = 0;

    std::vector<TRecordBuffer> FBuffers;
    int FBufferCount = 0;
    int FRecordCount = 0;
    int FActiveRecord = 0;
    int FCurrentRecord = -1;
    bool FBOF = true;
    bool FEOF = true;

    friend class TField;
    friend class TFieldDef;
    friend class TDataLink;
    friend class TDataSource;

private:
    // The last buffered record is the dataset's last one (a read past it found the end): Append
    // keeps the buffered records as the rows above the new one instead of reading them again.
    bool FRingAtEnd = false;

    TField* AddDefaultField(std::unique_ptr<TField> field);
    void OpenCursorComplete();
    void DoInternalOpen();
    void BeginInsertAppend();
    void EndInsertAppend();
    void CheckOperation(const std::function<void()>& operation, const TDataSetErrorEvent& errorEvent);
    void CheckCanModify();
    void InsertRecordValues(const std::vector<Variant>& values, bool append);
    void MoveBuffer(int curIndex, int newIndex);
    void FreeFieldBuffers();
    void CalcLookupValue(TField* field);
    void NotifyDataSources(TDataEvent event, intptr_t info);
    void DoEvent(const TDataSetNotifyEvent& e) {
        if (e) e(this);
    }

    bool FActive = false;
    TDataSetState FState = dsInactive;
    bool FModified = false;
    bool FDefaultFields = false;
    int FCalcFieldsSize = 0;
    bool FInternalCalcFields = false;
    int FDisableCount = 0;
    TDataEvent FDisableEvent = deDataSetChange;
    TDataSetState FDisableState = dsInactive;
    bool FEnableEvent = false;
    std::vector<TDataSource*> FDataSources;
    std::vector<std::unique_ptr<TField>> FOwnedFields;          // persistent fields
    std::vector<std::unique_ptr<TField>> FDefaultFieldObjects;  // made from FieldDefs at open
};

}  // namespace framework
