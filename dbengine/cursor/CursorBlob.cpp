// BLOB values through a cursor: opening a field's value into a buffer, reading, writing,
// truncating and sizing it, and the record-level steps that save, stamp and free the open
// values when a record is written.
//
// A BLOB field in a record buffer: a flag byte, then 8 value bytes: the first block number (or,
// while open, the negated handle of the buffer) and the value's stamp. An open value's flag is 1
// when its size is not 0, a closed value's when its first block is not 0: an empty BLOB is NULL.

#include "dbengine/cursor/CursorBlob.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstring>
#include <optional>
#include <unordered_set>

#include "dbengine/cursor/DataCursor.h"
#include "dbengine/index/IndexFormat.h"
#include "dbengine/session/DataTable.h"
#include "dbengine/util/Coding.h"

namespace dbengine {

namespace {

// Block fetches of the cursor's buffers ask the cursor to notice changes by others.
class TCursorBlockClient : public TBlockFetchClient {
public:
    explicit TCursorBlockClient(TDataCursor& cursor) : Cursor(cursor) {}
    bool SyncBeforeRead() override { return Cursor.SyncBeforeRead(); }

private:
    TDataCursor& Cursor;
};

// Handles are unique in the process (until they wrap after 2^31 - 1), so that a record buffer
// holding another cursor's open value is told apart from this cursor's values.
std::atomic<uint32_t> HandleCounter{0};

bool FindBlobField(const TDataCursor& cursor, uint16_t fieldNo, bool byTableDesc, TFieldDescriptor& desc) {
    try {
        if (byTableDesc)
            cursor.GetTableFieldDesc(fieldNo, desc);
        else
            cursor.GetFieldDesc(fieldNo, desc);
    } catch (const EDbEngineError&) {
        return false;
    }
    return desc.FieldType == fldBlob;
}

void WriteOpenValue(uint8_t* at, const TBlobBuffer& buffer) {
    PutInt32(at + 1, -buffer.Handle);
    at[0] = buffer.Size != 0 ? 1 : 0;
}

void WriteClosedValue(uint8_t* at, int32_t firstBlock) {
    PutInt32(at + 1, firstBlock);
    at[0] = firstBlock != 0 ? 1 : 0;
}

bool HoldsHandle(const uint8_t* at, const TBlobBuffer& buffer) {
    return GetInt32(at + 1) == -buffer.Handle;
}

}  // namespace

// ---- Looking up open values ----

TBlobBuffer* TDataCursor::FindOpenBlob(int32_t fieldValue) const {
    // INT32_MIN has no positive counterpart and is never a handle.
    if (fieldValue >= 0 || fieldValue == INT32_MIN) return nullptr;
    int32_t handle = -fieldValue;
    for (const auto& b : OpenBlobs)
        if (b->Handle == handle) return b.get();
    return nullptr;
}

bool TDataCursor::IsBlobOpen(const TBlobBuffer* buffer) const {
    if (buffer == nullptr) return false;
    return std::any_of(OpenBlobs.begin(), OpenBlobs.end(),
                       [buffer](const std::unique_ptr<TBlobBuffer>& b) { return b.get() == buffer; });
}

// ---- The six value operations ----

TEngineErrorCode TDataCursor::OpenBlob(uint16_t fieldNo, uint8_t* record, uint8_t mode, bool byTableDesc,
                                       bool recordBound, int32_t& size, bool keepRemoteHandle) {
    return Blobs->OpenBlob(fieldNo, record, mode, byTableDesc, recordBound, size, keepRemoteHandle);
}

TEngineErrorCode TDataCursor::FreeBlob(uint16_t fieldNo, uint8_t* record, bool byTableDesc, bool flag) {
    return Blobs->FreeBlob(fieldNo, record, byTableDesc, flag);
}

TEngineErrorCode TDataCursor::GetBlob(uint16_t fieldNo, const uint8_t* record, int32_t offset, uint8_t* dest,
                                      int32_t count, int32_t& bytesRead, bool byTableDesc) {
    return Blobs->GetBlob(fieldNo, record, offset, dest, count, bytesRead, byTableDesc);
}

TEngineErrorCode TDataCursor::PutBlob(uint16_t fieldNo, uint8_t* record, int32_t offset,
                                      const uint8_t* source, int32_t count, bool byTableDesc) {
    return Blobs->PutBlob(fieldNo, record, offset, source, count, byTableDesc);
}

TEngineErrorCode TDataCursor::TruncateBlob(uint16_t fieldNo, uint8_t* record, int32_t newLength,
                                           bool byTableDesc) {
    return Blobs->TruncateBlob(fieldNo, record, newLength, byTableDesc);
}

TEngineErrorCode TDataCursor::GetBlobSize(uint16_t fieldNo, const uint8_t* record, int32_t& size,
                                          bool byTableDesc) {
    return Blobs->GetBlobSize(fieldNo, record, size, byTableDesc);
}

TEngineErrorCode TDataCursor::LocalOpenBlob(uint16_t fieldNo, uint8_t* record, uint8_t mode, bool byTableDesc,
                                            bool recordBound, int32_t& size) {
    size = 0;
    // Inside a record write the table cannot change under the cursor, which must not move.
    std::optional<TReadBracket> bracket;
    if (Table != nullptr && !Table->BlobFile->InChanges()) bracket.emplace(*this);
    TFieldDescriptor d;
    if (!FindBlobField(*this, fieldNo, byTableDesc, d)) return DBE_NOTABLOB;
    uint8_t* at = record + d.Offset;
    int32_t value = GetInt32(at + 1);
    if (value < 0) {
        TBlobBuffer* open = FindOpenBlob(value);
        if (open == nullptr) return DBE_INVALIDBLOBOFFSET;
        if (mode == BlobOpenWrite) open->RecordBound = recordBound;
        open->AddRef();
        size = open->Size;
        return 0;
    }
    if (OpenBlobs.size() >= MaxOpenBlobs) return DBE_OPENBLOBLIMIT;

    if (!BlobFetchClient) BlobFetchClient = std::make_unique<TCursorBlockClient>(*this);
    auto buffer = std::make_unique<TBlobBuffer>(BlobFetchClient.get(), Table->BlobFile.get());
    buffer->FieldNo = fieldNo;
    buffer->FirstBlock = value;
    buffer->OpenMode = mode;
    buffer->RecordBound = recordBound;
    buffer->Stamp = GetInt32(at + 5);
    buffer->RecordNo = GetInt32(record + 1);
    buffer->Load();  // raises; the buffer dies here and the record is untouched
    // The full-text index needs the old words of a memo that changes.
    TIndexDescriptor text = Table->IndexFile->GetIndexDesc(SysTextIndex);
    for (int k = 0; k < MaxIndexFields && text.FieldNumbers[k] != 0; ++k)
        if (text.FieldNumbers[k] == static_cast<uint16_t>(d.FieldNo)) {
            buffer->KeepOldData();
            break;
        }
    buffer->AddRef();
    // At most 128 handles are in use, so the search ends quickly.
    do {
        buffer->Handle = static_cast<int32_t>(HandleCounter.fetch_add(1) % INT32_MAX + 1);
    } while (FindOpenBlob(-buffer->Handle) != nullptr);
    size = buffer->Size;
    WriteOpenValue(at, *buffer);
    OpenBlobs.push_back(std::move(buffer));
    return 0;
}

TEngineErrorCode TDataCursor::LocalFreeBlob(uint16_t fieldNo, uint8_t* record, bool byTableDesc) {
    TFieldDescriptor d;
    if (!FindBlobField(*this, fieldNo, byTableDesc, d)) return DBE_NOTABLOB;
    uint8_t* at = record + d.Offset;
    TBlobBuffer* buffer = FindOpenBlob(GetInt32(at + 1));
    if (buffer == nullptr) return DBE_INVALIDBLOBHANDLE;
    buffer->Release();
    if (buffer->OpenCount > 0) {
        WriteOpenValue(at, *buffer);
        return 0;
    }
    int32_t firstBlock = buffer->FirstBlock;
    OpenBlobs.erase(
        std::find_if(OpenBlobs.begin(), OpenBlobs.end(),
                     [buffer](const std::unique_ptr<TBlobBuffer>& b) { return b.get() == buffer; }));
    WriteClosedValue(at, firstBlock);
    return 0;
}

TEngineErrorCode TDataCursor::GetOpenBlob(uint16_t fieldNo, const uint8_t* record, int32_t offset,
                                          uint8_t* dest, int32_t count, int32_t& bytesRead,
                                          bool byTableDesc) {
    bytesRead = 0;
    TFieldDescriptor d;
    if (!FindBlobField(*this, fieldNo, byTableDesc, d)) return DBE_NOTABLOB;
    TBlobBuffer* buffer = FindOpenBlob(GetInt32(record + d.Offset + 1));
    if (buffer == nullptr) return DBE_INVALIDBLOBHANDLE;
    if (offset < 0) return DBE_INVALIDBLOBOFFSET;
    if (count < 0) return DBE_INVALIDBLOBLEN;
    TEngineErrorCode code = 0;
    int32_t n = count;
    if (int64_t(offset) + count > buffer->Size) {
        // Past the end: what there is from offset on (also its last byte), and 8711.
        code = DBE_ENDOFBLOB;
        n = offset < buffer->Size ? buffer->Size - offset : 0;
    }
    if (n > 0) std::memcpy(dest, buffer->GetData() + offset, static_cast<size_t>(n));
    bytesRead = n;
    return code;
}

TEngineErrorCode TDataCursor::PutOpenBlob(uint16_t fieldNo, uint8_t* record, int32_t offset,
                                          const uint8_t* source, int32_t count, bool byTableDesc) {
    TFieldDescriptor d;
    if (!FindBlobField(*this, fieldNo, byTableDesc, d)) return DBE_NOTABLOB;
    uint8_t* at = record + d.Offset;
    TBlobBuffer* buffer = FindOpenBlob(GetInt32(at + 1));
    if (buffer == nullptr) return DBE_INVALIDBLOBHANDLE;
    if (offset < 0) return DBE_INVALIDBLOBOFFSET;
    int64_t end = int64_t(offset) + count;
    if (count < 0 || end > INT32_MAX) return DBE_INVALIDBLOBLEN;
    if (end > buffer->Size) buffer->SetSize(static_cast<int32_t>(end));
    if (count > 0) {
        std::memcpy(buffer->GetData() + offset, source, static_cast<size_t>(count));
        // Also a write inside the old length changes the value, and must be saved.
        buffer->Modified = true;
    }
    WriteOpenValue(at, *buffer);
    return 0;
}

TEngineErrorCode TDataCursor::TruncateOpenBlob(uint16_t fieldNo, uint8_t* record, int32_t newLength,
                                               bool byTableDesc) {
    TFieldDescriptor d;
    if (!FindBlobField(*this, fieldNo, byTableDesc, d)) return DBE_NOTABLOB;
    uint8_t* at = record + d.Offset;
    TBlobBuffer* buffer = FindOpenBlob(GetInt32(at + 1));
    if (buffer == nullptr) return DBE_INVALIDBLOBHANDLE;
    if (newLength < 0) return DBE_INVALIDBLOBLEN;
    buffer->SetSize(newLength);
    WriteOpenValue(at, *buffer);
    return 0;
}

TEngineErrorCode TDataCursor::GetOpenBlobSize(uint16_t fieldNo, const uint8_t* record, int32_t& size,
                                              bool byTableDesc) {
    TFieldDescriptor d;
    if (!FindBlobField(*this, fieldNo, byTableDesc, d)) return DBE_NOTABLOB;
    TBlobBuffer* buffer = FindOpenBlob(GetInt32(record + d.Offset + 1));
    if (buffer == nullptr) return DBE_INVALIDBLOBHANDLE;
    size = buffer->Size;
    return 0;
}

// ---- Record-level steps ----

void TDataCursor::EmptyRecordBlobs(uint8_t* record) {
    // By position: a cursor opened for restructure numbers its fields by field number, which
    // may run past the field count.
    for (uint16_t p = 1; p <= GetTableFieldCount(); ++p) {
        TFieldDescriptor d;
        GetDataFileFieldDesc(p, d);
        if (d.FieldType != fldBlob) continue;
        uint16_t f = FieldAddress(p, d);
        int32_t size = 0;
        TEngineErrorCode code = OpenBlob(f, record, BlobOpenWrite, true, true, size);
        if (code == 0) code = TruncateBlob(f, record, 0, true);
        if (code == DBE_NOTABLOB) CheckFieldError(code, d.Name);
        CheckError(code, {});
    }
}

void TDataCursor::StampBlobs(uint8_t* record, bool byTableDesc) {
    for (const auto& b : OpenBlobs) {
        if (!b->Modified) continue;
        TFieldDescriptor d;
        // A value that record does not hold open is no part of it: its field there is left alone.
        if (!FindBlobField(*this, b->FieldNo, byTableDesc, d) || !HoldsHandle(record + d.Offset, *b))
            continue;
        b->Stamp = Table->DataFile->NextBlobStamp();
        PutInt32(record + d.Offset + 5, b->Stamp);
    }
}

bool TDataCursor::SaveBlobs() {
    // Checked before anything is saved, so a refusal changes nothing.
    const TBlobBuffer* first = nullptr;
    for (const auto& b : OpenBlobs) {
        if (!b->Modified) continue;
        if (first == nullptr)
            first = b.get();
        else if (b->RecordNo != first->RecordNo)
            RaiseCursor(DBE_MEMOCORRUPT);
    }
    bool any = false;
    for (const auto& b : OpenBlobs) {
        if (!b->Modified) continue;
        if (b->Size < 1)
            b->Delete();
        else
            b->Save();
        any = true;
    }
    return any;
}

void TDataCursor::PutBlobHandles(uint8_t* record, bool byTableDesc) {
    for (const auto& b : OpenBlobs) {
        TFieldDescriptor d;
        // Only the values record holds: another record's value must not land in its field.
        if (!FindBlobField(*this, b->FieldNo, byTableDesc, d) || !HoldsHandle(record + d.Offset, *b))
            continue;
        WriteClosedValue(record + d.Offset, b->FirstBlock);
    }
}

void TDataCursor::FreeRecordBlobs(uint8_t* record) {
    for (uint16_t p = 1; p <= FieldCount; ++p) {
        TFieldDescriptor d;
        GetFieldDescAt(p, d);
        if (d.FieldType != fldBlob) continue;
        // An open empty value is NULL, yet open: it is freed as well, or its changes would stay
        // behind to be saved with a later record.
        if (FindOpenBlob(GetInt32(record + d.Offset + 1)) == nullptr) continue;
        CheckError(FreeBlob(FieldAddress(p, d), record, false), {});
    }
}

void TDataCursor::FreeAllBlobs(bool all, bool localOnly) {
    if (!localOnly) Blobs->FreeingAllBlobs(all);
    for (size_t i = OpenBlobs.size(); i-- > 0;)
        if (all || OpenBlobs[i]->RecordBound)
            OpenBlobs.erase(OpenBlobs.begin() + static_cast<std::ptrdiff_t>(i));
}

void TDataCursor::CloneBlob(uint16_t fieldNo, const uint8_t* source, uint8_t* dest) {
    // Opening writes the handle into the record: the source is read from a copy.
    std::vector<uint8_t> from(source, source + RecordSize);
    int32_t size = 0;
    CheckError(OpenBlob(fieldNo, from.data(), BlobOpenRead, false, true, size), {});
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    int32_t got = 0;
    TEngineErrorCode code = GetBlob(fieldNo, from.data(), 0, bytes.data(), size, got, false);
    FreeBlob(fieldNo, from.data(), false);
    CheckError(code, {});
    int32_t newSize = 0;
    CheckError(OpenBlob(fieldNo, dest, BlobOpenWrite, false, true, newSize), {});
    CheckError(PutBlob(fieldNo, dest, 0, bytes.data(), got, false), {});
}

std::string TDataCursor::ReadBlobValue(const uint8_t* record, const TFieldDescriptor& desc) {
    const uint8_t* at = record + desc.Offset;
    int32_t value = GetInt32(at + 1);
    if (value < 0) {
        // A value being edited in this record buffer: its current bytes, saved or not.
        TBlobBuffer* open = FindOpenBlob(value);
        if (open == nullptr) {
            CheckFieldError(DBE_INVALIDBLOBOFFSET, desc.Name);
            return {};
        }
        return {reinterpret_cast<const char*>(open->GetData()), static_cast<size_t>(open->Size)};
    }
    if (at[0] == 0 || value == 0 || Table == nullptr || !Table->HasBlobFields()) return {};
    // A buffer of its own, never one of the open values: reading must not use up a handle, nor
    // ask for a table check that would move the cursor in the middle of a filter's pass (the
    // caller's read bracket has seen to changes). Load raises with the table's names.
    TBlobBuffer buffer(nullptr, Table->BlobFile.get());
    buffer.FieldNo = static_cast<uint16_t>(desc.FieldNo);
    buffer.FirstBlock = value;
    buffer.Stamp = GetInt32(at + 5);
    buffer.RecordNo = GetInt32(record + 1);
    buffer.Load();
    return {reinterpret_cast<const char*>(buffer.GetData()), static_cast<size_t>(buffer.Size)};
}

// ---- TBlobRecordWrite ----

TBlobRecordWrite::TBlobRecordWrite(TDataCursor& cursor, uint8_t* record) : Cursor(cursor), Record(record) {
    Begin();
}

TBlobRecordWrite::TBlobRecordWrite(TDataCursor& cursor, const uint8_t* record, TOnCopy)
    : Cursor(cursor), Copy(record, record + cursor.GetTableRecordSize()), Record(nullptr) {
    // A table record: room for the cursor's calculated fields is added, zero.
    Copy.resize(std::max<size_t>(Copy.size(), Cursor.GetRecordSize()), 0);
    Record = Copy.data();
    Begin();
}

void TBlobRecordWrite::Begin() {
    if (Cursor.GetTable() == nullptr || !Cursor.GetTable()->HasBlobFields() ||
        !Cursor.GetTable()->BlobFile->IsOpen)
        return;
    for (const auto& b : Cursor.GetOpenBlobs())
        Before.push_back({b.get(), b->FirstBlock, b->Stamp, b->Modified});
    RecordBefore.assign(Record, Record + Cursor.GetRecordSize());
    LastBlobStampBefore = Cursor.GetTable()->DataFile->Header.LastBlobStamp;
    DataHeaderModifiedBefore = Cursor.GetTable()->DataFile->Header.HeaderModified;
    Cursor.GetTable()->BlobFile->BeginChanges();
    Active = true;
}

TBlobRecordWrite::~TBlobRecordWrite() {
    TakeBack();
}

void TBlobRecordWrite::EmptyAll() {
    if (Active) Cursor.EmptyRecordBlobs(Record);
}

bool TBlobRecordWrite::Store(int32_t ownRecNo) {
    if (!Active) return false;
    // A negative reference that is no open value would go into the file as it stands.
    for (uint16_t f = 1; f <= Cursor.GetFieldCount(); ++f) {
        TFieldDescriptor d;
        // By position: a cursor opened for restructure numbers its fields by field number.
        Cursor.GetFieldDescAt(f, d);
        if (d.FieldType != fldBlob) continue;
        int32_t value = GetInt32(Record + d.Offset + 1);
        if (value < 0 && Cursor.FindOpenBlob(value) == nullptr) Cursor.CheckError(DBE_INVALIDBLOBHANDLE, {});
    }
    // Only the values this record holds are saved with it: a changed value open in another
    // record buffer would get a chain that no record points at.
    std::vector<TBlobBuffer*> others;
    for (const auto& b : Cursor.GetOpenBlobs()) {
        TFieldDescriptor d;
        if (!b->Modified) continue;
        if (FindBlobField(Cursor, b->FieldNo, false, d) && HoldsHandle(Record + d.Offset, *b)) continue;
        others.push_back(b.get());
        b->Modified = false;
    }
    // On a shared table a changed value goes into new blocks: the chain it had is given up to
    // the table, which frees it once the record no longer pointing at it is written, so a write
    // killed part way never leaves a written record with a rewritten or freed chain. A chain of
    // another record (a copied reference) is left to that record. Every old chain is walked
    // first, so a damaged one refuses the write with nothing changed. An exclusive table is
    // written only at its forced flush or close: its chains are reused in place as before.
    if (!Cursor.GetExclusive()) {
        for (const auto& b : Cursor.GetOpenBlobs()) {
            if (!b->Modified || b->FirstBlock <= 0) continue;
            TFieldDescriptor d;
            if (!FindBlobField(Cursor, b->FieldNo, false, d) || !HoldsHandle(Record + d.Offset, *b)) continue;
            b->CheckStoredChain();
        }
        ReleasedBefore = Cursor.GetTable()->ReleasedChains.size();
        for (const auto& b : Cursor.GetOpenBlobs()) {
            if (!b->Modified || b->FirstBlock <= 0) continue;
            TFieldDescriptor d;
            if (!FindBlobField(Cursor, b->FieldNo, false, d) || !HoldsHandle(Record + d.Offset, *b)) continue;
            if (ownRecNo > 0 && b->RecordNo == ownRecNo)
                Cursor.GetTable()->ReleaseChain(b->FirstBlock, b->Stamp, b->RecordNo);
            b->FirstBlock = 0;
        }
    }
    bool stored = false;
    try {
        Cursor.StampBlobs(Record, false);
        stored = Cursor.SaveBlobs();
    } catch (...) {
        for (TBlobBuffer* b : others) b->Modified = true;
        throw;
    }
    for (TBlobBuffer* b : others) b->Modified = true;
    Cursor.PutBlobHandles(Record, false);
    return stored;
}

void TBlobRecordWrite::CopyFieldsTo(uint8_t* dest) const {
    if (!Active) return;
    for (uint16_t p = 1; p <= Cursor.GetTableFieldCount(); ++p) {
        TFieldDescriptor d;
        Cursor.GetDataFileFieldDesc(p, d);
        if (d.FieldType == fldBlob) std::memcpy(dest + d.Offset, Record + d.Offset, 9);
    }
}

void TBlobRecordWrite::Finish() {
    if (!Active) return;
    Active = false;
    Cursor.GetTable()->BlobFile->EndChanges();
    Cursor.FreeAllBlobs(false, false);
}

void TBlobRecordWrite::TakeBack() noexcept {
    if (!Active) return;
    Active = false;
    Cursor.GetTable()->BlobFile->TakeBackChanges();
    // The chains this write gave up are the record's again.
    auto& released = Cursor.GetTable()->ReleasedChains;
    if (!Cursor.GetExclusive() && released.size() > ReleasedBefore)
        released.erase(released.begin() + static_cast<std::ptrdiff_t>(ReleasedBefore), released.end());
    Cursor.GetTable()->DataFile->Header.LastBlobStamp = LastBlobStampBefore;
    Cursor.GetTable()->DataFile->Header.HeaderModified = DataHeaderModifiedBefore;
    // Values opened by this write (a delete's) go; the others are as they were before it.
    std::unordered_set<const TBlobBuffer*> kept;
    for (const TSavedState& s : Before) {
        kept.insert(s.Buffer);
        s.Buffer->FirstBlock = s.FirstBlock;
        s.Buffer->Stamp = s.Stamp;
        s.Buffer->Modified = s.Modified;
    }
    Cursor.DropOpenBlobsIf([&kept](const TBlobBuffer& b) { return kept.count(&b) == 0; });
    std::memcpy(Record, RecordBefore.data(), RecordBefore.size());
}

}  // namespace dbengine
