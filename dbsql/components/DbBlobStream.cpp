#include "dbsql/components/DbBlobStream.h"

#include <limits>

#include "dbengine/blob/BlobBuffer.h"
#include "dbengine/cursor/TableCursor.h"
#include "dbengine/util/EngineError.h"
#include "dbsql/components/DbDataSet.h"
#include "framework/core/SysUtils.h"
#include "framework/data/Fields.h"
#include "framework/ui/Forms.h"

namespace dbsql {

using namespace framework;

namespace {

constexpr int64_t MaxBlobPosition = std::numeric_limits<int32_t>::max();

bool ReadsOnly(TDataSetState state) {
    return state == dsFilter || state == dsOldValue;
}

}  // namespace

TDbBlobStream::TDbBlobStream(TBlobField* field, TBlobStreamMode mode)
    : FField(field),
      FDataSet(dynamic_cast<TDbDataSet*>(field->DataSet())),
      FFieldNo(uint16_t(field->FieldNo())) {
    if (FDataSet == nullptr) DatabaseError(dbdmsg::SHandleError);
    for (int attempt = 0;; ++attempt) {
        FBuffer = FDataSet->GetActiveRecBuf();
        if (FBuffer == nullptr || FDataSet->Cursor() == nullptr) return;
        if (!ReadsOnly(FDataSet->State()) && FField->Modified) {
            FOpened = true;
            if (mode == bmWrite) Truncate();
            return;
        }
        if (mode != bmRead) {
            if (FField->ReadOnly)
                DatabaseError(FmtMsg(dbdmsg::SFieldReadOnly, {FField->DisplayName()}), FDataSet);
            if (FDataSet->State() != dsEdit && FDataSet->State() != dsInsert)
                DatabaseError(dbdmsg::SNotEditing, FDataSet);
        }
        uint8_t openMode = mode == bmRead ? dbengine::BlobOpenRead : dbengine::BlobOpenWrite;
        uint16_t code = 0;
        int32_t size = 0;
        try {
            code = FDataSet->Cursor()->OpenBlob(FFieldNo, FBuffer, openMode, false, true, size, false);
        } catch (const std::exception& e) {
            code = dbengine::GetEngineErrorCode(e);
        }
        if (code == dbengine::DBE_KEYORRECDELETED && mode == bmRead && attempt == 0) {
            FDataSet->Refresh();
            continue;
        }
        CheckCode(code);
        FOpened = true;
        if (mode == bmWrite) Truncate();
        return;
    }
}

TDbBlobStream::~TDbBlobStream() {
    if (FOpened) {
        if (FModified) FField->Modified = true;
        if (ReadsOnly(FDataSet->State()) || !FField->Modified) {
            try {
                FDataSet->Cursor()->FreeBlob(FFieldNo, FBuffer, false, false);
            } catch (...) {
                if (Application != nullptr) Application->HandleException(FDataSet);
            }
        }
    }
    if (FModified) {
        try {
            FDataSet->DataEvent(deFieldChange, reinterpret_cast<intptr_t>(FField));
        } catch (...) {
            if (Application != nullptr) Application->HandleException(FDataSet);
        }
    }
}

void TDbBlobStream::CheckCode(uint16_t code) const {
    if (code == 0) return;
    FDataSet->CheckFieldCode(code, FField->FieldName);
}

int32_t TDbBlobStream::Read(void* buffer, int32_t count) {
    if (!FOpened || count <= 0) return 0;
    int32_t read = 0;
    uint16_t code = FDataSet->Cursor()->GetBlob(FFieldNo, FBuffer, FPosition, static_cast<uint8_t*>(buffer),
                                                count, read, false);
    if (code == 0 || code == dbengine::DBE_ENDOFBLOB) {
        FPosition += read;
        return read;
    }
    if (code == dbengine::DBE_INVALIDBLOBOFFSET) return 0;
    dbengine::RaiseEngineErrorCode(code);
}

int32_t TDbBlobStream::Write(const void* buffer, int32_t count) {
    if (!FOpened) return 0;
    if (count < 0 || int64_t(FPosition) + count > MaxBlobPosition)
        dbengine::RaiseEngineErrorCode(dbengine::DBE_INVALIDBLOBLEN);
    if (count == 0) return 0;
    CheckCode(FDataSet->Cursor()->PutBlob(FFieldNo, FBuffer, FPosition, static_cast<const uint8_t*>(buffer),
                                          count, false));
    FPosition += count;
    FModified = true;
    return count;
}

int64_t TDbBlobStream::Seek(int64_t offset, TSeekOrigin origin) {
    int64_t target = FPosition;
    switch (origin) {
        case soFromBeginning:
            target = offset;
            break;
        case soFromCurrent:
            target = int64_t(FPosition) + offset;
            break;
        case soFromEnd:
            target = offset + GetBlobSize();
            break;
    }
    if (target < 0 || target > MaxBlobPosition) dbengine::RaiseEngineErrorCode(dbengine::DBE_INVALIDBLOBLEN);
    FPosition = int32_t(target);
    return FPosition;
}

void TDbBlobStream::Truncate() {
    if (!FOpened) return;
    CheckCode(FDataSet->Cursor()->TruncateBlob(FFieldNo, FBuffer, FPosition, false));
    FModified = true;
}

int32_t TDbBlobStream::GetBlobSize() {
    if (!FOpened) return 0;
    int32_t size = 0;
    CheckCode(FDataSet->Cursor()->GetBlobSize(FFieldNo, FBuffer, size, false));
    return size;
}

}  // namespace dbsql
