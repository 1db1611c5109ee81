#pragma once
// Where a cursor stands in index order between calls: the leaf's page number and entry count
// as the cursor last read them, and the current entry's key and value. The leaf itself stays
// in the index file's page cache; a move reads it again by its number.

#include <cstdint>
#include <cstring>
#include <vector>

namespace dbengine {

struct TLeafPlace {
    int32_t PageNo = 0;  // 0: none
    uint16_t EntryCount = 0;
    int32_t Value = 0;         // the current entry's record number
    std::vector<uint8_t> Key;  // the current entry's key, as long as the index's keys

    void Reset() {
        PageNo = 0;
        EntryCount = 0;
        Value = 0;
        Key.clear();
    }
    void Set(int32_t pageNo, uint16_t entryCount, int32_t value, const uint8_t* key, size_t keySize) {
        PageNo = pageNo;
        EntryCount = entryCount;
        Value = value;
        Key.resize(keySize);
        if (keySize != 0) std::memcpy(Key.data(), key, keySize);
    }
};

}  // namespace dbengine
