#pragma once
// One 4096-byte page of an index file in memory: the 13-byte page header and a fixed-stride
// array of entries, converted to and from the stored, possibly compressed, entry formats.

#include <cstdint>
#include <memory>
#include <vector>

#include "framework/core/Object.h"

namespace dbengine {

class TIndexFile;

// Page types.
constexpr uint8_t ptInnerRoot = 0;
constexpr uint8_t ptInner = 1;
constexpr uint8_t ptLeaf = 2;
constexpr uint8_t ptLeafRoot = 3;
constexpr uint8_t ptData = 4;
// The page header takes bytes 0..12; entries fill the remaining 4083 bytes.
constexpr size_t PageHeaderSize = 13;
constexpr size_t PageDataSize = 4083;

class TPage : public framework::TObject {
public:
    explicit TPage(TIndexFile* file) : File(file) {}

    bool IsLeaf() const { return PageType == ptLeaf || PageType == ptLeafRoot; }
    bool IsInner() const { return PageType == ptInnerRoot || PageType == ptInner; }
    // Inner entries carry subtree counts unless the index has none (always for "Sys Text").
    bool HasCounts() const;
    size_t SlotSize() const { return KeySize + 10u; }

    void Reset();
    void Assign(const TPage& other);
    // From the stored 4096 bytes (unscrambled first for an encrypted table); headerOnly takes
    // only the page header and leaves no entries. Damaged entry data raises 8965.
    void LoadFromBuffer(uint8_t* buffer, bool headerOnly);
    // To 4096 stored bytes (scrambled for an encrypted table); clears Dirty.
    void SaveToBuffer(uint8_t* buffer);
    // Sets every entry's shared-prefix and dropped-zero counts and UsedBytes of a compressed leaf.
    void ComputeCompression();

    // Entry access, positions 1..EntryCount.
    void SetEntryCount(uint16_t n);
    uint8_t* KeyAt(int pos) { return Slot(pos); }
    const uint8_t* KeyAt(int pos) const { return const_cast<TPage*>(this)->Slot(pos); }
    int32_t ValueAt(int pos) const;
    void SetValueAt(int pos, int32_t value);
    int32_t CountAt(int pos) const;
    void SetCountAt(int pos, int32_t count);
    uint8_t PrefixAt(int pos) const { return KeyAt(pos)[KeySize + 8]; }
    uint8_t DroppedAt(int pos) const { return KeyAt(pos)[KeySize + 9]; }
    // Data pages: the 4083 bytes after the header.
    uint8_t* Data() { return Entries.data(); }

    void Pin() { ++PinCount; }
    void Unpin() {
        if (PinCount > 0) --PinCount;
    }
    void ClearPins() { PinCount = 0; }

    TIndexFile* File;
    bool Dirty = false;
    uint16_t PinCount = 0;
    int32_t PageNo = 0;
    uint16_t UsedBytes = 0;
    uint16_t EntryCount = 0;
    uint16_t KeySize = 0;
    uint8_t IndexNo = 0;
    bool Descending = false;
    bool Unique = false;
    bool NoCounts = false;
    uint8_t Compression = 0;
    int32_t PrevPage = 0;
    int32_t NextPage = 0;
    uint8_t PageType = 0;
    bool IsFree = false;
    TPage* Older = nullptr;  // recency chain of the page cache
    TPage* Newer = nullptr;

private:
    uint8_t* Slot(int pos) { return Entries.data() + static_cast<size_t>(pos - 1) * SlotSize(); }
    void UnpackEntries(const uint8_t* bytes);
    void PackEntries(uint8_t* bytes);
    [[noreturn]] void Corrupt() const;

    std::vector<uint8_t> Entries;
};

// Spare page objects of one index file; at most 4.
class TPageStack : public framework::TObject {
public:
    static constexpr size_t MaxSpare = 4;
    explicit TPageStack(TIndexFile* file) : File(file) {}
    std::unique_ptr<TPage> Take();
    void Give(std::unique_ptr<TPage>& page);
    void Clear() { Items.clear(); }

private:
    TIndexFile* File;
    std::vector<std::unique_ptr<TPage>> Items;
};

}  // namespace dbengine
