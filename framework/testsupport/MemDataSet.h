#pragma once
// A small dataset over records kept in memory, for exercising the dataset framework in tests.
// Field definitions are given in FieldDefs before opening; records live in insertion order.
//
// Record buffer: the record (per field definition one null flag byte and the field's data form;
// BLOB fields hold a 32-bit key into the BLOB store), the calculated-field area, then the record
// number (int32), the bookmark flag (uint8) and the bookmark (the record's int32 id).

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "framework/data/DataSet.h"

namespace framework::testsupport {

class TMemDataSet : public TDataSet {
public:
    TMemDataSet();
    ~TMemDataSet() override;

    bool ReadOnly = false;
    // Each post raises EDatabaseError("Key violation") while this count is above zero, counting down.
    int FailingPosts = 0;
    // Each edit raises EDatabaseError("Record locked by another user") while this count is above zero.
    int FailingEdits = 0;
    // Each delete raises while this count is above zero.
    int FailingDeletes = 0;
    // Number of records stored (ignoring any filter).
    int StoredCount() const { return int(FRecords.size()); }
    // Number of times InternalPost reached the store.
    int PostAttempts = 0;

    TRecordBuffer GetActiveRecBuf() override;
    bool GetFieldData(TField* field, void* buffer) override;
    void SetFieldData(TField* field, const void* buffer) override;
    int GetBlobFieldData(int fieldNo, std::vector<uint8_t>& buffer) override;
    void SetBlobFieldData(TField* field, const std::vector<uint8_t>& data) override;
    int CompareBookmarks(const TBookmark& a, const TBookmark& b) override;
    bool BookmarkValid(const TBookmark& bookmark) override;
    bool GetCurrentRecord(TRecordBuffer buffer) override;

protected:
    TRecordBuffer AllocRecordBuffer() override;
    void FreeRecordBuffer(TRecordBuffer& buffer) override;
    void InternalInitRecord(TRecordBuffer buffer) override;
    TGetResult GetRecord(TRecordBuffer buffer, TGetMode mode, bool doCheck) override;
    int GetRecordSize() override { return FRecordSize; }
    void GetBookmarkData(TRecordBuffer buffer, void* data) override;
    void SetBookmarkData(TRecordBuffer buffer, const void* data) override;
    TBookmarkFlag GetBookmarkFlag(TRecordBuffer buffer) override;
    void SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag) override;
    void InternalOpen() override;
    void InternalClose() override;
    bool IsCursorOpen() override { return FOpen; }
    void InternalFirst() override { FCursor = -1; }
    void InternalLast() override { FCursor = int(FRecords.size()); }
    void InternalAddRecord(TRecordBuffer buffer, bool append) override;
    void InternalPost() override;
    void InternalDelete() override;
    void InternalEdit() override;
    void InternalGotoBookmark(const void* bookmark) override;
    void InternalSetToRecord(TRecordBuffer buffer) override;
    void InternalInitFieldDefs() override {}
    void InternalHandleException() override { ++HandledExceptions; }
    void ClearCalcFields(TRecordBuffer buffer) override;
    bool GetCanModify() override { return !ReadOnly; }
    int GetRecordCount() override;
    int GetRecNo() override;
    void SetRecNoImpl(int value) override;

public:
    int HandledExceptions = 0;

private:
    struct Record {
        int32_t Id;
        std::vector<uint8_t> Data;
    };
    bool Accepts(size_t index, TRecordBuffer buffer);
    void Fill(size_t index, TRecordBuffer buffer);
    int IndexOfId(int32_t id) const;
    int FieldOffset(int fieldNo) const { return FOffsets[size_t(fieldNo - 1)]; }

    bool FOpen = false;
    std::vector<Record> FRecords;
    int FCursor = -1;  // -1 before the first record, size() after the last
    int32_t FNextId = 1;
    std::vector<int> FOffsets;  // per field number: offset of its null flag in the record
    int FRecordSize = 0;
    int FRecInfoOffset = 0;
    std::vector<uint8_t> FOldValues;
    std::map<int32_t, std::vector<uint8_t>> FBlobs;
    int32_t FNextBlob = 1;
};

}  // namespace framework::testsupport
