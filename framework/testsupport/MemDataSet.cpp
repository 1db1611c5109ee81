#include "framework/testsupport/MemDataSet.h"

#include <algorithm>
#include <cstring>

namespace framework::testsupport {

namespace {

int StoredSize(const TFieldDef& def) {
    switch (def.DataType) {
        case ftString:
        case ftFixedChar:
            return def.Size + 1;
        case ftSmallint:
        case ftWord:
        case ftBoolean:
            return 2;
        case ftInteger:
        case ftAutoInc:
        case ftDate:
        case ftTime:
            return 4;
        case ftFloat:
        case ftCurrency:
        case ftDateTime:
        case ftLargeint:
            return 8;
        case ftBCD:
            return int(sizeof(TBcd));
        case ftBytes:
            return def.Size;
        case ftVarBytes:
            return def.Size + 2;
        default:
            return 4;  // BLOB key
    }
}

}  // namespace

TMemDataSet::TMemDataSet() = default;

TMemDataSet::~TMemDataSet() {
    Close();
}

TRecordBuffer TMemDataSet::AllocRecordBuffer() {
    size_t size = size_t(FRecInfoOffset) + 4 + 1 + 4;
    return new uint8_t[size]();  // owned by the buffer ring, freed by FreeRecordBuffer
}

void TMemDataSet::FreeRecordBuffer(TRecordBuffer& buffer) {
    delete[] buffer;
    buffer = nullptr;
}

void TMemDataSet::InternalOpen() {
    FOpen = true;  // a failure below still closes through InternalClose
    InitFieldDefs();
    FOffsets.clear();
    int offset = 0;
    for (int i = 0; i < FieldDefs.Count(); ++i) {
        FieldDefs[i]->FieldNo = i + 1;
        FOffsets.push_back(offset);
        offset += 1 + StoredSize(*FieldDefs[i]);
    }
    FRecordSize = offset;
    if (DefaultFields()) CreateFields();
    BindFields(true);
    FRecInfoOffset = FRecordSize + CalcFieldsSize();
    BookmarkSize = 4;
    FOldValues.assign(size_t(FRecordSize), 0);
    FCursor = -1;
    FOpen = true;
}

void TMemDataSet::InternalClose() {
    BindFields(false);
    if (DefaultFields()) DestroyFields();
    FOpen = false;
}

void TMemDataSet::InternalInitRecord(TRecordBuffer buffer) {
    std::memset(buffer, 0, size_t(FRecordSize));
}

void TMemDataSet::ClearCalcFields(TRecordBuffer buffer) {
    std::memset(buffer + FRecordSize, 0, size_t(CalcFieldsSize()));
}

void TMemDataSet::Fill(size_t index, TRecordBuffer buffer) {
    std::memcpy(buffer, FRecords[index].Data.data(), size_t(FRecordSize));
    int32_t recNo = int32_t(index) + 1;
    std::memcpy(buffer + FRecInfoOffset, &recNo, 4);
    buffer[FRecInfoOffset + 4] = uint8_t(bfCurrent);
    std::memcpy(buffer + FRecInfoOffset + 5, &FRecords[index].Id, 4);
}

bool TMemDataSet::Accepts(size_t index, TRecordBuffer buffer) {
    Fill(index, buffer);
    if (!Filtered() || !OnFilterRecord()) return true;
    return RecordFilterAccepts(buffer);
}

TGetResult TMemDataSet::GetRecord(TRecordBuffer buffer, TGetMode mode, bool doCheck) {
    int n = int(FRecords.size());
    switch (mode) {
        case gmNext: {
            int i = std::max(FCursor + 1, 0);
            while (i < n && !Accepts(size_t(i), buffer)) ++i;
            if (i >= n) {
                FCursor = n;
                return grEOF;
            }
            FCursor = i;
            break;
        }
        case gmPrior: {
            int i = std::min(FCursor, n) - 1;
            while (i >= 0 && !Accepts(size_t(i), buffer)) --i;
            if (i < 0) {
                FCursor = -1;
                return grBOF;
            }
            FCursor = i;
            break;
        }
        case gmCurrent:
            if (FCursor < 0 || FCursor >= n || !Accepts(size_t(FCursor), buffer)) {
                if (doCheck) DatabaseError(dbmsg::SRecordNotFound, this);
                return grError;
            }
            break;
    }
    GetCalcFields(buffer);
    return grOK;
}

void TMemDataSet::GetBookmarkData(TRecordBuffer buffer, void* data) {
    std::memcpy(data, buffer + FRecInfoOffset + 5, 4);
}

void TMemDataSet::SetBookmarkData(TRecordBuffer buffer, const void* data) {
    std::memcpy(buffer + FRecInfoOffset + 5, data, 4);
}

TBookmarkFlag TMemDataSet::GetBookmarkFlag(TRecordBuffer buffer) {
    return TBookmarkFlag(buffer[FRecInfoOffset + 4]);
}

void TMemDataSet::SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag) {
    buffer[FRecInfoOffset + 4] = uint8_t(flag);
}

int TMemDataSet::IndexOfId(int32_t id) const {
    for (size_t i = 0; i < FRecords.size(); ++i)
        if (FRecords[i].Id == id) return int(i);
    return -1;
}

void TMemDataSet::InternalGotoBookmark(const void* bookmark) {
    int32_t id;
    std::memcpy(&id, bookmark, 4);
    int i = IndexOfId(id);
    if (i < 0) DatabaseError(dbmsg::SRecordNotFound, this);
    FCursor = i;
}

void TMemDataSet::InternalSetToRecord(TRecordBuffer buffer) {
    int32_t id;
    std::memcpy(&id, buffer + FRecInfoOffset + 5, 4);
    int i = IndexOfId(id);
    FCursor = i < 0 ? int(FRecords.size()) : i;
}

void TMemDataSet::InternalAddRecord(TRecordBuffer buffer, bool append) {
    Record r{FNextId++, std::vector<uint8_t>(buffer, buffer + FRecordSize)};
    if (append || FCursor < 0 || FCursor >= int(FRecords.size())) {
        FRecords.push_back(std::move(r));
        FCursor = int(FRecords.size()) - 1;
    } else {
        FRecords.insert(FRecords.begin() + FCursor, std::move(r));
    }
}

void TMemDataSet::InternalPost() {
    TDataSet::InternalPost();
    ++PostAttempts;
    if (FailingPosts > 0) {
        --FailingPosts;
        DatabaseError("Key violation", this);
    }
    TRecordBuffer buffer = ActiveBuffer();
    if (State() == dsEdit) {
        std::memcpy(FRecords[size_t(FCursor)].Data.data(), buffer, size_t(FRecordSize));
    } else {
        InternalAddRecord(buffer, GetBookmarkFlag(buffer) == bfEOF);
    }
}

void TMemDataSet::InternalDelete() {
    if (FailingDeletes > 0) {
        --FailingDeletes;
        DatabaseError("Record locked", this);
    }
    FRecords.erase(FRecords.begin() + FCursor);
}

void TMemDataSet::InternalEdit() {
    if (FailingEdits > 0) {
        --FailingEdits;
        DatabaseError("Record locked by another user", this);
    }
    std::memcpy(FOldValues.data(), FRecords[size_t(FCursor)].Data.data(), size_t(FRecordSize));
}

TRecordBuffer TMemDataSet::GetActiveRecBuf() {
    if (State() == dsOldValue) return FOldValues.data();
    return TDataSet::GetActiveRecBuf();
}

bool TMemDataSet::GetFieldData(TField* field, void* buffer) {
    TRecordBuffer rec = GetActiveRecBuf();
    if (!rec) return false;
    const uint8_t* p;
    int size;
    if (field->FieldNo() > 0) {
        p = rec + FieldOffset(field->FieldNo());
        size = StoredSize(*FieldDefs[field->FieldNo() - 1]);
    } else {
        p = rec + FRecordSize + field->Offset();
        size = field->DataSize();
    }
    if (p[0] == 0) return false;
    if (buffer && !field->IsBlob()) std::memcpy(buffer, p + 1, size_t(size));
    return true;
}

void TMemDataSet::SetFieldData(TField* field, const void* buffer) {
    TDataSetState st = State();
    if (st != dsEdit && st != dsInsert && st != dsSetKey && st != dsCalcFields && st != dsFilter &&
        st != dsNewValue && st != dsInternalCalc)
        DatabaseError(dbmsg::SNotEditing, this);
    TRecordBuffer rec = GetActiveRecBuf();
    if (field->FieldNo() > 0) {
        if (st == dsCalcFields) DatabaseError(dbmsg::SNotEditing, this);
        if (field->ReadOnly && st != dsSetKey && st != dsFilter)
            DatabaseErrorFmt(dbmsg::SFieldReadOnly, {field->DisplayName()}, this);
        field->Validate(buffer);
        uint8_t* p = rec + FieldOffset(field->FieldNo());
        int size = StoredSize(*FieldDefs[field->FieldNo() - 1]);
        p[0] = buffer ? 1 : 0;
        if (buffer)
            std::memcpy(p + 1, buffer, size_t(size));
        else
            std::memset(p + 1, 0, size_t(size));
    } else {
        uint8_t* p = rec + FRecordSize + field->Offset();
        p[0] = buffer ? 1 : 0;
        if (buffer) std::memcpy(p + 1, buffer, size_t(field->DataSize()));
    }
    if (st != dsCalcFields && st != dsFilter && st != dsNewValue)
        DataEvent(deFieldChange, reinterpret_cast<intptr_t>(field));
}

int TMemDataSet::GetBlobFieldData(int fieldNo, std::vector<uint8_t>& buffer) {
    TRecordBuffer rec = GetActiveRecBuf();
    buffer.clear();
    if (!rec || fieldNo < 1) return 0;
    const uint8_t* p = rec + FieldOffset(fieldNo);
    if (p[0] == 0) return 0;
    int32_t key;
    std::memcpy(&key, p + 1, 4);
    auto it = FBlobs.find(key);
    if (it == FBlobs.end()) return 0;
    buffer = it->second;
    return int(buffer.size());
}

void TMemDataSet::SetBlobFieldData(TField* field, const std::vector<uint8_t>& data) {
    if (State() != dsEdit && State() != dsInsert) DatabaseError(dbmsg::SNotEditing, this);
    if (field->ReadOnly) DatabaseErrorFmt(dbmsg::SFieldReadOnly, {field->DisplayName()}, this);
    uint8_t* p = ActiveBuffer() + FieldOffset(field->FieldNo());
    if (data.empty()) {
        std::memset(p, 0, 5);
    } else {
        int32_t key = FNextBlob++;
        FBlobs[key] = data;
        p[0] = 1;
        std::memcpy(p + 1, &key, 4);
    }
    DataEvent(deFieldChange, reinterpret_cast<intptr_t>(field));
}

int TMemDataSet::CompareBookmarks(const TBookmark& a, const TBookmark& b) {
    if (a.empty() || b.empty()) return TDataSet::CompareBookmarks(a, b);
    int32_t ia, ib;
    std::memcpy(&ia, a.data(), 4);
    std::memcpy(&ib, b.data(), 4);
    int pa = IndexOfId(ia), pb = IndexOfId(ib);
    return pa < pb ? -1 : pa > pb ? 1 : 0;
}

bool TMemDataSet::BookmarkValid(const TBookmark& bookmark) {
    if (bookmark.size() != 4) return false;
    int32_t id;
    std::memcpy(&id, bookmark.data(), 4);
    return IndexOfId(id) >= 0;
}

bool TMemDataSet::GetCurrentRecord(TRecordBuffer buffer) {
    if (IsEmpty() || GetBookmarkFlag(ActiveBuffer()) != bfCurrent) return false;
    UpdateCursorPos();
    return GetRecord(buffer, gmCurrent, false) == grOK;
}

int TMemDataSet::GetRecordCount() {
    CheckActive();
    if (!Filtered() || !OnFilterRecord()) return int(FRecords.size());
    std::vector<uint8_t> scratch(size_t(FRecInfoOffset) + 9);
    int count = 0;
    for (size_t i = 0; i < FRecords.size(); ++i)
        if (Accepts(i, scratch.data())) ++count;
    CursorPosChanged();
    return count;
}

int TMemDataSet::GetRecNo() {
    CheckActive();
    TRecordBuffer buffer = State() == dsCalcFields ? CalcBuffer() : ActiveBuffer();
    if (!buffer) return -1;
    if (GetBookmarkFlag(buffer) != bfCurrent) return -1;
    int32_t recNo;
    std::memcpy(&recNo, buffer + FRecInfoOffset, 4);
    return recNo;
}

void TMemDataSet::SetRecNoImpl(int value) {
    CheckBrowseMode();
    if (value == GetRecNo() || value < 1 || value > int(FRecords.size())) return;
    if (BeforeScroll) BeforeScroll(this);
    FCursor = value - 1;
    Resync(rmExact | rmCenter);
    if (AfterScroll) AfterScroll(this);
}

}  // namespace framework::testsupport
