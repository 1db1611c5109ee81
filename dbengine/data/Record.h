#pragma once
// One cached record of a data file, and the pool of spare record objects.

#include <cstdint>
#include <memory>
#include <vector>

#include "framework/core/Object.h"

namespace dbengine {

class TDataFile;

class TRecord : public framework::TObject {
public:
    // Buffers grow in steps of this many bytes.
    static constexpr size_t BufferGranularity = 64;

    explicit TRecord(TDataFile* file) : File(file) {}

    // Zeroes the buffer; with newId the record ID becomes the table's next one. Bytes 1..4 hold
    // RecordNo.
    void Init(bool newId);
    // From the stored bytes (unscrambled in place first for an encrypted table).
    void LoadFrom(uint8_t* diskBytes);
    // To the stored form (scrambled for an encrypted table).
    void StoreTo(uint8_t* destination);
    void SetStatus(uint8_t status);
    void SetRecordId(int32_t id);
    void SetFreeLink(int32_t link);
    int32_t GetFreeLink() const;
    uint8_t Status() const { return Buffer[0]; }
    int32_t RecordId() const;
    void SetRecordNo(int32_t n);
    void SetBufferSize(uint16_t n);
    void Assign(const TRecord& other);
    bool SameAs(const uint8_t* bytes) const;
    void CopyFields(const uint8_t* otherBuffer);
    void Pin() { ++PinCount; }
    void Unpin() {
        if (PinCount > 0) --PinCount;
    }
    void ClearPins() { PinCount = 0; }

    uint8_t* Data() { return Buffer.data(); }
    const uint8_t* Data() const { return Buffer.data(); }

    TDataFile* File;
    bool Modified = false;
    uint16_t PinCount = 0;
    int32_t RecordNo = 0;
    uint16_t BufferSize = 0;
    TRecord* Older = nullptr;  // recency list links, while cached
    TRecord* Newer = nullptr;
    // Position in the data file's list of records that may need writing; -1 when not listed.
    int32_t CandidateSlot = -1;
    std::vector<uint8_t> SortKey;
    int32_t RunIndex = 0;

private:
    std::vector<uint8_t> Buffer;  // capacity in 64-byte steps
};

// Spare record objects of one data file; at most 64.
class TRecordStack : public framework::TObject {
public:
    static constexpr size_t MaxSpare = 64;

    explicit TRecordStack(TDataFile* file) : File(file) {}
    std::unique_ptr<TRecord> Pop();
    void Push(std::unique_ptr<TRecord>& record);

private:
    TDataFile* File;
    std::vector<std::unique_ptr<TRecord>> Items;
};

}  // namespace dbengine
