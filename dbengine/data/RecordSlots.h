#pragma once
// The cached records of one data file by record number: an open-addressed table of (number,
// record) pairs in one array, so that finding a record touches one or two cache lines and
// caching one allocates nothing once the table has grown. The table owns the records it holds.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "dbengine/data/Record.h"

namespace dbengine {

class TRecordSlots {
public:
    TRecordSlots() = default;
    ~TRecordSlots() {
        Clear([](std::unique_ptr<TRecord>&) {});
    }
    TRecordSlots(const TRecordSlots&) = delete;
    TRecordSlots& operator=(const TRecordSlots&) = delete;

    size_t size() const { return Count; }
    bool empty() const { return Count == 0; }

    TRecord* Find(int32_t recordNo) const;
    // The number must not be held yet.
    void Insert(std::unique_ptr<TRecord> record);
    // The record held under its number, given back to the caller; null when the number holds
    // another record or none.
    std::unique_ptr<TRecord> Remove(const TRecord* record);
    // Hands every record to take (which may keep it) and empties the table.
    template <typename F>
    void Clear(F take) {
        if (Count > 0)
            for (TSlot& s : Slots)
                if (s.Record != nullptr) {
                    std::unique_ptr<TRecord> owned(s.Record);
                    s = TSlot{};
                    take(owned);
                }
        Count = 0;
        // A table grown for a large cache is not kept for a small one.
        if (Slots.size() > MinSlots) {
            std::vector<TSlot>().swap(Slots);
            Shift = 64;
        }
    }
    // Calls f(record) for each record, in no particular order.
    template <typename F>
    void ForEach(F f) const {
        for (const TSlot& s : Slots)
            if (s.Record != nullptr) f(s.Record);
    }

private:
    struct TSlot {
        int32_t RecordNo = 0;
        TRecord* Record = nullptr;
    };
    static constexpr size_t MinSlots = 16;

    size_t Home(int32_t recordNo) const {
        // Consecutive numbers spread over the table (Fibonacci hashing).
        return static_cast<size_t>(
            (static_cast<uint64_t>(static_cast<uint32_t>(recordNo)) * 0x9E3779B97F4A7C15ull) >> Shift);
    }
    void Grow();

    std::vector<TSlot> Slots;  // a power of two in size; at most half full
    size_t Count = 0;
    unsigned Shift = 64;
};

}  // namespace dbengine
