#include "dbengine/data/Record.h"

#include <cstring>

#include "dbengine/data/DataFile.h"
#include "dbengine/util/Coding.h"

namespace dbengine {

void TRecord::Init(bool newId) {
    std::fill(Buffer.begin(), Buffer.end(), 0);
    if (BufferSize >= RecordHeaderSize) {
        if (newId) PutInt32(Buffer.data() + 5, File->NextRecordId());
        PutInt32(Buffer.data() + 1, RecordNo);
    }
    Modified = false;
}

void TRecord::LoadFrom(uint8_t* diskBytes) {
    File->UnscrambleRecord(diskBytes, BufferSize);
    std::memcpy(Buffer.data(), diskBytes, BufferSize);
    if (BufferSize >= RecordHeaderSize && Buffer[0] == 0) PutInt32(Buffer.data() + 1, RecordNo);
    Modified = false;
}

void TRecord::StoreTo(uint8_t* destination) {
    std::memcpy(destination, Buffer.data(), BufferSize);
    File->ScrambleRecord(destination, BufferSize);
    Modified = false;
}

void TRecord::SetStatus(uint8_t status) {
    Buffer[0] = status;
    Modified = true;
}

void TRecord::SetRecordId(int32_t id) {
    PutInt32(Buffer.data() + 5, id);
    Modified = true;
}

void TRecord::SetFreeLink(int32_t link) {
    PutInt32(Buffer.data() + 1, link);
    Modified = true;
}

int32_t TRecord::GetFreeLink() const {
    return Buffer[0] != 0 ? GetInt32(Buffer.data() + 1) : 0;
}

int32_t TRecord::RecordId() const {
    return GetInt32(Buffer.data() + 5);
}

void TRecord::SetRecordNo(int32_t n) {
    if (n == RecordNo) return;
    RecordNo = n;
    if (Buffer[0] == 0) PutInt32(Buffer.data() + 1, n);
}

void TRecord::SetBufferSize(uint16_t n) {
    if (n == BufferSize && !Buffer.empty()) return;
    // At least the record header, so that the status and links always have their bytes.
    size_t needed = std::max<size_t>(n, RecordHeaderSize);
    size_t capacity = (needed + BufferGranularity - 1) / BufferGranularity * BufferGranularity;
    if (capacity > Buffer.size()) Buffer.resize(capacity, 0);
    BufferSize = n;
}

void TRecord::Assign(const TRecord& other) {
    File = other.File;
    Modified = other.Modified;
    RecordNo = other.RecordNo;
    std::memcpy(Buffer.data(), other.Buffer.data(), std::min(BufferSize, other.BufferSize));
}

bool TRecord::SameAs(const uint8_t* bytes) const {
    return std::memcmp(Buffer.data(), bytes, BufferSize) == 0;
}

void TRecord::CopyFields(const uint8_t* otherBuffer) {
    if (BufferSize > RecordHeaderSize)
        std::memcpy(Buffer.data() + RecordHeaderSize, otherBuffer + RecordHeaderSize,
                    BufferSize - RecordHeaderSize);
    Modified = true;
}

std::unique_ptr<TRecord> TRecordStack::Pop() {
    std::unique_ptr<TRecord> r;
    if (Items.empty()) {
        r = std::make_unique<TRecord>(File);
    } else {
        r = std::move(Items.back());
        Items.pop_back();
    }
    r->SetBufferSize(File->RecordSize());
    std::fill(r->Data(), r->Data() + std::max<size_t>(r->BufferSize, RecordHeaderSize), 0);
    PutInt32(r->Data() + 1, r->RecordNo);
    r->Modified = false;
    r->PinCount = 0;
    r->Older = r->Newer = nullptr;
    return r;
}

void TRecordStack::Push(std::unique_ptr<TRecord>& record) {
    if (!record) return;
    record->Older = record->Newer = nullptr;
    record->CandidateSlot = -1;
    if (Items.size() < MaxSpare)
        Items.push_back(std::move(record));
    else
        record.reset();
    record = nullptr;
}

}  // namespace dbengine
