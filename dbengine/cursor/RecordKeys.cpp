// Keys of the cursor's current index and the table's live-record count kept in the index file.

#include "dbengine/cursor/DataCursor.h"
#include "dbengine/index/IndexFile.h"
#include "dbengine/index/IndexTree.h"

namespace dbengine {

void TDataCursor::InsertKey(const uint8_t* key, int32_t recNo) {
    InsertTreeKey(*this, key, recNo);
}

void TDataCursor::DeleteKey(const uint8_t* key) {
    if (!DeleteTreeKey(*this, key)) RaiseCursor(DBE_INDEXCORRUPT);
}

void TDataCursor::ReplaceKey(const uint8_t* oldKey, const uint8_t* newKey, int32_t recNo) {
    DeleteKey(oldKey);
    InsertKey(newKey, recNo);
}

bool TDataCursor::KeyInIndex(const uint8_t* key) {
    return FindTreeKey(*this, key);
}

bool TDataCursor::KeyEntryExists(const uint8_t* key, int32_t recNo) {
    int32_t value = 0;
    return FindTreeKey(*this, key, &value) && value == recNo;
}

bool TDataCursor::RefusesEqualKeys() const {
    return CurrentIndex == SysDeletedIndex || CurrentIndex == SysTextIndex ||
           IndexFile->GetIndexDesc(CurrentIndex).Unique != 0;
}

bool TDataCursor::IsDuplicateKey(const uint8_t* key) {
    return RefusesEqualKeys() && KeyInIndex(key);
}

void TDataCursor::RaiseDuplicateKey() const {
    RaiseIndex(DBE_KEYVIOL, IndexFile->GetIndexDesc(CurrentIndex).Name);
}

int32_t TDataCursor::GetTableRecordCount() const {
    return IndexFile->GetRecordCount();
}
void TDataCursor::SetTableRecordCount(int32_t count) {
    IndexFile->SetRecordCount(count);
}
void TDataCursor::IncTableRecordCount() {
    IndexFile->IncRecordCount();
}
void TDataCursor::DecTableRecordCount() {
    IndexFile->DecRecordCount();
}

int32_t TDataCursor::BlobBlocksFor(int32_t size) {
    int64_t usable = GetBlobDataSize();
    return static_cast<int32_t>((static_cast<int64_t>(size) + usable - 1) / usable);
}

}  // namespace dbengine
