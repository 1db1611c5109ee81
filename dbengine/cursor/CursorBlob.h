#pragma once
// The BLOB part of writing one record through a cursor.
//
// Store stamps the changed values that the record holds open, saves them into their chains and
// puts their first block numbers into the record; Finish, after the record was written, frees
// the values bound to their record. When a later step of the write fails, TakeBack returns the
// BLOB file, the cursor's open values and the record's fields to where they stood, so the edit
// can be retried or cancelled and the ".BLB" file ends as it was.

#include <cstdint>
#include <vector>

#include "dbengine/blob/BlobBuffer.h"

namespace dbengine {

class TDataCursor;

class TBlobRecordWrite {
public:
    // Does nothing at all for a table without BLOB fields.
    TBlobRecordWrite(TDataCursor& cursor, uint8_t* record);
    // Works on a copy of record, a table record (a delete works on the stored record).
    enum TOnCopy { OnCopy };
    TBlobRecordWrite(TDataCursor& cursor, const uint8_t* record, TOnCopy);
    ~TBlobRecordWrite();
    TBlobRecordWrite(const TBlobRecordWrite&) = delete;
    TBlobRecordWrite& operator=(const TBlobRecordWrite&) = delete;

    // For a delete: every BLOB of the record is opened and emptied, so that Store frees it.
    void EmptyAll();
    // True when a value was saved or freed. ownRecNo is the physical record written (0 for an
    // insert): only the chains of that record are given up when their values change.
    bool Store(int32_t ownRecNo);
    // The BLOB fields of the record (flag, first block, stamp) into dest, a table record.
    void CopyFieldsTo(uint8_t* dest) const;
    void Finish();
    void TakeBack() noexcept;

private:
    void Begin();

    struct TSavedState {
        TBlobBuffer* Buffer;
        int32_t FirstBlock;
        int32_t Stamp;
        bool Modified;
    };

    TDataCursor& Cursor;
    std::vector<uint8_t> Copy;
    uint8_t* Record;
    bool Active = false;
    std::vector<TSavedState> Before;
    std::vector<uint8_t> RecordBefore;
    // The data file header's BLOB stamp counter, which stamping raises.
    int32_t LastBlobStampBefore = 0;
    uint8_t DataHeaderModifiedBefore = 0;
    // The table's released chains before this write added its own.
    size_t ReleasedBefore = 0;
};

}  // namespace dbengine
