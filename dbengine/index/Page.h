#pragma once
// One 4096-byte page of the index file held in memory, as a fixed-stride array of entries, and
// the B+-tree operations on it.
//
// Stored page: type (1), entry count (2), previous (4), next (4), used bytes (2), then the entries
// packed from byte 13 (inner: key, child, subtree count unless counts are off; leaf: key and
// record number, compressed per the index's setting; data page: 4083 raw bytes).
//
// In memory every entry takes K + 10 bytes: key (K), value (4: child page or record number),
// subtree count (4; leaves leave it 0), then the shared-prefix byte P and the dropped-zeros byte
// S of a compressed leaf. Positions are 1-based.

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "dbengine/index/IndexFormat.h"

namespace dbengine {

class TIndexFile;
class TIndexCursor;
class TRecordsBitmap;

class TPage {
public:
    explicit TPage(TIndexFile* file = nullptr) : Owner(file) {}

    void Reset();
    void Assign(const TPage& other);
    // Exchanges what Assign copies, without copying the entries: owner, pins and cache links
    // stay with each object.
    void SwapContents(TPage& other);
    // The settings of the page's index, copied from its descriptor.
    void SetIndexSettings(uint8_t indexNo, uint16_t keySize, bool descending, bool unique, bool noCounts,
                          uint8_t compression);

    // headerOnly takes the 13-byte header and clears the entries (a page about to be reused).
    // A page whose entries cannot be what the header and the index say raises 8965.
    void LoadFromBuffer(const uint8_t* buffer, bool headerOnly);
    void SaveToBuffer(uint8_t* buffer);
    void PackEntries(uint8_t* dest);
    void UnpackEntries(const uint8_t* source);
    void ComputeCompression();

    void SetEntryCount(uint16_t n);
    void SetPrevPage(int32_t page);
    void SetNextPage(int32_t page);
    void SetPageType(uint8_t type);

    int32_t GetValue(int pos) const;
    void SetValue(int pos, int32_t value);
    int32_t GetSubtreeCount(int pos) const;
    void SetSubtreeCount(int pos, int32_t count);
    int32_t TotalCount() const;
    uint8_t* EntryKey(int pos);
    const uint8_t* EntryKey(int pos) const;
    int32_t CountBefore(int pos) const;
    // Entry limit of an uncompressed page; 0 for a compressed leaf (bounded by used bytes).
    int Capacity() const;
    bool IsOverfull() const;
    int InsertEntry(int pos, const uint8_t* key);
    void RemoveEntry(int& pos);
    void SetEntryKey(int pos, const uint8_t* key);

    void Pin() { ++PinCount; }
    void Unpin() {
        if (PinCount > 0) --PinCount;
    }
    void ClearPins() { PinCount = 0; }

    bool IsLeaf() const { return PageType == ptLeaf || PageType == ptLeafRoot; }
    bool IsInner() const { return PageType == ptInnerRoot || PageType == ptInner; }
    bool IsRoot() const { return PageType == ptInnerRoot || PageType == ptLeafRoot; }
    bool IsCompressedLeaf() const { return IsLeaf() && Compression != icNone; }
    bool HasCounts() const { return IndexNo != SysTextIndex && !NoCounts; }
    uint32_t SlotSize() const { return KeySize + 10u; }
    // Bytes of one stored entry of an uncompressed page of this kind.
    uint32_t StoredEntrySize() const;
    // The raw bytes of a data page (4083 used, zero-filled on first use).
    uint8_t* Data() {
        if (Entries.size() < IndexPageSize) Entries.resize(IndexPageSize, 0);
        return Entries.data();
    }

    // B-tree operations along the cursor's path.
    void InsertKey(TIndexCursor& cursor, const uint8_t* key, int32_t subtreeCount, int32_t value);
    void DeleteKey(TIndexCursor& cursor);
    void UpdateParentKey(TIndexCursor& cursor, const uint8_t* key);
    void Split(TPage& newPage);
    void BorrowFromLeft(TPage& previous);
    void BorrowFromRight(TPage& next);
    void MergeIntoLeft(TPage& previous);
    void MergeIntoRight(TPage& next);

    // Searches (Compare = the cursor's key order of entry key against the search key).
    int FindInsertPos(TIndexCursor& cursor, const uint8_t* key);
    bool FindExact(TIndexCursor& cursor, const uint8_t* key, int& pos);
    int FindDeletePos(TIndexCursor& cursor, const uint8_t* key);
    bool FindNearest(TIndexCursor& cursor, const uint8_t* key, bool after, int& pos, int32_t& count);
    int FindFirstGE(TIndexCursor& cursor, const uint8_t* key, int32_t& count);
    int FindLastLE(TIndexCursor& cursor, const uint8_t* key, int32_t& count);
    int FirstPos(int32_t& count);
    int LastPos(int32_t& count);
    bool ScanForKey(TIndexCursor& cursor, const uint8_t* key, const uint8_t* endKey, bool exact, int& pos,
                    int32_t& count);
    int CountConsecutive(int limit, bool forward, int pos) const;
    // Leaf walks over entries whose record number is not in the bitmap, counting each step;
    // false when the page's end (start) is reached, or an entry past limitKey is met.
    bool SkipUnmarkedForward(const TRecordsBitmap& bitmap, int& pos, int32_t& count) const;
    bool SkipUnmarkedBackward(const TRecordsBitmap& bitmap, int& pos, int32_t& count) const;
    bool SkipUnmarkedForwardTo(TIndexCursor& cursor, const TRecordsBitmap& bitmap, const uint8_t* limitKey,
                               int& pos, int32_t& count) const;
    bool SkipUnmarkedBackwardTo(TIndexCursor& cursor, const TRecordsBitmap& bitmap, const uint8_t* limitKey,
                                int& pos, int32_t& count) const;
    // Marks the record numbers of the entries from pos on while they are not past key; true when
    // the page's last entry was reached (the range may go on in the next page).
    bool MarkRangeInBitmap(TIndexCursor& cursor, const uint8_t* key, TRecordsBitmap& bitmap, int pos) const;

    TIndexFile* Owner;
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
    uint8_t StoredHeader[PageHeaderSize] = {};
    int32_t PrevPage = 0;
    int32_t NextPage = 0;
    uint8_t PageType = 0;
    bool IsFree = false;
    // Links of the cache's recency chain (head = most recently used).
    TPage* MruPrev = nullptr;
    TPage* MruNext = nullptr;
    // Position in the index file's list of pages that may need writing; -1 when not listed.
    int32_t CandidateSlot = -1;
    // The memory this page object holds, as the cache last counted it (0 while not cached).
    uint32_t CountedBytes = 0;
    // The memory the page object holds now: never counted below one stored page.
    uint32_t MemoryBytes() const {
        return static_cast<uint32_t>(sizeof(TPage) + std::max<size_t>(Entries.capacity(), IndexPageSize));
    }

private:
    friend class TPageTestAccess;
    uint8_t* Slot(int pos) { return Entries.data() + static_cast<size_t>(pos - 1) * SlotSize(); }
    const uint8_t* Slot(int pos) const { return Entries.data() + static_cast<size_t>(pos - 1) * SlotSize(); }
    // Room for count entries, zero past them. previous, when known, is the count the slots held
    // before (the bytes past it are zero already); a grown array at least doubles.
    void ResizeEntries(uint16_t count, int previous = -1);
    int BinarySearch(TIndexCursor& cursor, const uint8_t* key, bool& equal);
    // Rewrites both pages from one run of entries: `this` first keeps firstCount of them.
    void Redistribute(TPage& left, TPage& right, size_t leftCount);
    // Debug and sanitizer builds: the slots hold the entry count's entries in whole steps and are
    // zero past them; with a neighbour, the two pages link each other.
    void CheckEntries() const;
    void CheckLinkedTo(const TPage& next) const;
    uint32_t StoredLeafEntrySize(int pos) const;
    // Sets the shared-prefix and dropped-zeros bytes of one compressed-leaf entry from its
    // predecessor and returns its stored size.
    uint32_t CompressEntry(int pos);
    void RecompressAround(int pos, bool inserted, uint32_t removedBytes);

    // Entry slots; sized for the entries it holds (whole 4096-byte steps), never a fixed buffer.
    std::vector<uint8_t> Entries;
    // True while UsedBytes and every entry's compression bytes match the entries, so that an
    // insert or delete can update them around the changed entry alone.
    bool CompressionKnown = false;
};

// Spare page objects of one index file, at most four.
class TPageStack {
public:
    explicit TPageStack(TIndexFile* file = nullptr) : Owner(file) {}
    std::unique_ptr<TPage> Take();
    void Give(std::unique_ptr<TPage>& page);
    void Clear() { Pages.clear(); }
    size_t Count() const { return Pages.size(); }

    static constexpr size_t MaxPooled = 4;

private:
    TIndexFile* Owner;
    std::vector<std::unique_ptr<TPage>> Pages;
};

}  // namespace dbengine
