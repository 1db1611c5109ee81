#include "dbengine/data/RecordSlots.h"

#include <bit>
#include <utility>

#include "dbengine/util/Invariant.h"

namespace dbengine {

TRecord* TRecordSlots::Find(int32_t recordNo) const {
    if (Slots.empty()) return nullptr;
    const size_t mask = Slots.size() - 1;
    for (size_t i = Home(recordNo);; i = (i + 1) & mask) {
        const TSlot& s = Slots[i];
        if (s.Record == nullptr) return nullptr;
        if (s.RecordNo == recordNo) return s.Record;
    }
}

void TRecordSlots::Insert(std::unique_ptr<TRecord> record) {
    if ((Count + 1) * 2 > Slots.size()) Grow();
    const size_t mask = Slots.size() - 1;
    const int32_t n = record->RecordNo;
    size_t i = Home(n);
    while (Slots[i].Record != nullptr) {
        ENGINE_INVARIANT(Slots[i].RecordNo != n, "a record number is cached once");
        i = (i + 1) & mask;
    }
    Slots[i] = TSlot{n, record.release()};
    ++Count;
}

std::unique_ptr<TRecord> TRecordSlots::Remove(const TRecord* record) {
    if (Slots.empty() || record == nullptr) return nullptr;
    const size_t mask = Slots.size() - 1;
    size_t i = Home(record->RecordNo);
    while (Slots[i].Record != nullptr && Slots[i].RecordNo != record->RecordNo) i = (i + 1) & mask;
    if (Slots[i].Record != record) return nullptr;
    std::unique_ptr<TRecord> owned(Slots[i].Record);
    Slots[i] = TSlot{};
    --Count;
    // Later members of the probe run move up into the gap when their home allows it, so that
    // a search never stops early at the emptied slot.
    for (size_t j = (i + 1) & mask; Slots[j].Record != nullptr; j = (j + 1) & mask) {
        size_t home = Home(Slots[j].RecordNo);
        // j may move to i when its home lies cyclically outside (i, j].
        bool movable = i <= j ? (home <= i || home > j) : (home <= i && home > j);
        if (movable) {
            Slots[i] = std::exchange(Slots[j], TSlot{});
            i = j;
        }
    }
    return owned;
}

void TRecordSlots::Grow() {
    size_t size = Slots.empty() ? MinSlots : Slots.size() * 2;
    std::vector<TSlot> old(size);
    old.swap(Slots);
    Shift = static_cast<unsigned>(64 - std::countr_zero(size));
    const size_t mask = size - 1;
    for (const TSlot& s : old) {
        if (s.Record == nullptr) continue;
        size_t i = Home(s.RecordNo);
        while (Slots[i].Record != nullptr) i = (i + 1) & mask;
        Slots[i] = s;
    }
}

}  // namespace dbengine
