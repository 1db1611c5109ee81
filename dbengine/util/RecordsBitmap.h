#pragma once
// A set of physical record numbers of one table: one bit per record (record r is bit (r - 1)
// mod 32 of word (r - 1) div 32), and the process-wide pool of idle bitmaps.
//
// Bits past Size are always clear: shrinking, SetAll, Invert and the combinations clear them,
// so that growing again never brings back records that were not set within the new range.

#include <cstdint>
#include <memory>
#include <vector>

#include "dbengine/os/OSLayer.h"
#include "framework/core/Object.h"

namespace dbengine {

class TRecordsBitmap : public framework::TObject {
public:
    // Storage grows in steps of this many bytes.
    static constexpr uint32_t StorageGranularity = 256;

    void SetSize(uint32_t n);
    // The bit of record r; false for r outside 1..Size.
    bool Test(int64_t r) const;
    // Nothing for r outside 1..Size.
    void SetBit(int64_t r);
    void ClearBit(int64_t r);
    // The number of set records; counted again only after the set changed.
    uint32_t Count() const;
    // Set bits among records 1..r - 1: the 0-based position of record r in the set.
    uint32_t CountBefore(int64_t r) const;
    // Moves r to the n-th set record above (below) it, adding (subtracting) one to seq per set
    // record passed; false, with r on the last set record reached, when fewer than n lie there.
    bool StepForward(int32_t& r, int32_t n, int32_t& seq) const;
    bool StepBack(int32_t& r, int32_t n, int32_t& seq) const;
    void AndWith(const TRecordsBitmap& other);
    void OrWith(const TRecordsBitmap& other);
    void Invert();
    void ClearAll();
    void SetAll();
    void Assign(const TRecordsBitmap& other);

    uint32_t Capacity = 0;  // bytes of storage, a multiple of 256
    uint32_t Size = 0;      // records 1..Size
    uint32_t RoundedSize = 0;
    uint32_t WordCount = 0;
    // Counts the calls that may have changed the set, so that what was worked out from it can
    // tell whether it still holds.
    uint64_t Changes = 0;

    const uint32_t* Words() const { return Bits.get(); }

private:
    uint32_t CountBits() const;
    void GrowStorage(uint32_t bytes);
    void ClearPastSize();
    // Debug and sanitizer builds: the bits past Size are clear and the storage holds every word.
    void CheckInvariants() const;

    std::unique_ptr<uint32_t[]> Bits;
    // The last count and the Changes and Size it was made at.
    mutable uint32_t KnownCount = 0;
    mutable uint64_t KnownCountChanges = 0;
    mutable uint32_t KnownCountSize = 0;
    mutable bool CountKnown = false;
};

// The pool of idle bitmaps; it keeps at most 64.
class TRecordsBitmapStack : public framework::TObject {
public:
    static constexpr size_t MaxIdle = 64;

    // An idle bitmap, cleared (keeping its size and storage), or a new one.
    std::unique_ptr<TRecordsBitmap> Get();
    // Takes the bitmap back (freed when 64 are idle already); b becomes null.
    void Release(std::unique_ptr<TRecordsBitmap>& b);
    void Clear();
    size_t IdleCount();

private:
    TEngineCriticalSection Lock;
    std::vector<std::unique_ptr<TRecordsBitmap>> Items;
};

// The process pool, from the engine library's start to its stop.
void CreateRecordsBitmapPool();
void FreeRecordsBitmapPool();
TRecordsBitmapStack* RecordsBitmapPool();
std::unique_ptr<TRecordsBitmap> GetRecordsBitmap();
void ReleaseRecordsBitmap(std::unique_ptr<TRecordsBitmap>& b);

}  // namespace dbengine
