#include "dbengine/index/Page.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "dbengine/index/IndexCursor.h"
#include "dbengine/index/IndexFile.h"
#include "dbengine/util/EngineError.h"
#include "dbengine/util/EngineUtils.h"
#include "dbengine/util/Invariant.h"
#include "dbengine/util/RecordsBitmap.h"

namespace dbengine {

namespace {

constexpr size_t EntryArrayStep = 4096;

// Counts read from a damaged page can be anything: sums wrap instead of overflowing.
int32_t AddWrapping(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

// Word-at-a-time forms of SharedPrefixLength and TrailingZeroCount for keys inside the entry
// array, where all count bytes may be read (keys run to a few hundred bytes, mostly zero padding).
// Same results: at most count and at most 254.
size_t KeyPrefixLength(const uint8_t* a, const uint8_t* b, size_t count) {
    size_t limit = std::min<size_t>(count, 254);
    size_t n = 0;
    for (; n + 8 <= limit; n += 8) {
        uint64_t x, y;
        std::memcpy(&x, a + n, 8);
        std::memcpy(&y, b + n, 8);
        if (x != y) break;
    }
    while (n < limit && a[n] == b[n]) ++n;
    return n;
}

// Zero bytes going backwards from *last (included).
size_t KeyTrailingZeros(const uint8_t* last, size_t count) {
    size_t limit = std::min<size_t>(count, 254);
    size_t n = 0;
    for (; n + 8 <= limit; n += 8) {
        uint64_t x;
        std::memcpy(&x, last - n - 7, 8);
        if (x != 0) break;
    }
    while (n < limit && *(last - n) == 0) ++n;
    return n;
}

[[noreturn]] void RaiseCorrupt(const TPage& page) {
    if (page.Owner != nullptr) page.Owner->RaiseError(DBE_INDEXCORRUPT);
    RaiseEngineError(DBE_INDEXCORRUPT, {}, {}, {}, {});
}

// Releases a fetched page on every path.
class TPageHold {
public:
    TPageHold(TIndexFile* file, TPage* page) : File(file), Page(page) {}
    ~TPageHold() {
        if (Page != nullptr) File->ReleasePage(Page);
    }
    TPageHold(const TPageHold&) = delete;
    TPageHold& operator=(const TPageHold&) = delete;
    TPage* operator->() const { return Page; }
    TPage& operator*() const { return *Page; }
    TPage* get() const { return Page; }

private:
    TIndexFile* File;
    TPage* Page;
};

// Restores the cursor's level on every path.
class TLevelScope {
public:
    explicit TLevelScope(TIndexCursor& cursor) : Cursor(cursor), Saved(cursor.Level) {}
    ~TLevelScope() { Cursor.Level = Saved; }
    TLevelScope(const TLevelScope&) = delete;
    TLevelScope& operator=(const TLevelScope&) = delete;

private:
    TIndexCursor& Cursor;
    uint8_t Saved;
};

}  // namespace

// ---- State ----

void TPage::Reset() {
    Entries.clear();
    PageType = ptInnerRoot;
    UsedBytes = 0;
    EntryCount = 0;
    PrevPage = 0;
    NextPage = 0;
    IsFree = false;
    Dirty = false;
    CompressionKnown = false;
    std::memset(StoredHeader, 0, sizeof StoredHeader);
}

void TPage::Assign(const TPage& other) {
    PageNo = other.PageNo;
    PageType = other.PageType;
    UsedBytes = other.UsedBytes;
    EntryCount = other.EntryCount;
    PrevPage = other.PrevPage;
    NextPage = other.NextPage;
    IsFree = other.IsFree;
    IndexNo = other.IndexNo;
    KeySize = other.KeySize;
    Descending = other.Descending;
    Unique = other.Unique;
    NoCounts = other.NoCounts;
    Compression = other.Compression;
    std::memcpy(StoredHeader, other.StoredHeader, sizeof StoredHeader);
    Entries = other.Entries;
    Dirty = other.Dirty;
    CompressionKnown = other.CompressionKnown;
}

void TPage::SwapContents(TPage& other) {
    std::swap(PageNo, other.PageNo);
    std::swap(PageType, other.PageType);
    std::swap(UsedBytes, other.UsedBytes);
    std::swap(EntryCount, other.EntryCount);
    std::swap(PrevPage, other.PrevPage);
    std::swap(NextPage, other.NextPage);
    std::swap(IsFree, other.IsFree);
    std::swap(IndexNo, other.IndexNo);
    std::swap(KeySize, other.KeySize);
    std::swap(Descending, other.Descending);
    std::swap(Unique, other.Unique);
    std::swap(NoCounts, other.NoCounts);
    std::swap(Compression, other.Compression);
    std::swap(StoredHeader, other.StoredHeader);
    Entries.swap(other.Entries);
    std::swap(Dirty, other.Dirty);
    std::swap(CompressionKnown, other.CompressionKnown);
}

void TPage::SetIndexSettings(uint8_t indexNo, uint16_t keySize, bool descending, bool unique, bool noCounts,
                             uint8_t compression) {
    if (keySize != KeySize) Entries.clear();
    if (keySize != KeySize || unique != Unique || compression != Compression) CompressionKnown = false;
    IndexNo = indexNo;
    KeySize = keySize;
    Descending = descending;
    Unique = unique;
    NoCounts = noCounts;
    Compression = compression;
}

void TPage::ResizeEntries(uint16_t count, int previous) {
    if (count == 0) {
        Entries.clear();
        return;
    }
    size_t used = static_cast<size_t>(count) * SlotSize();
    size_t dirtyEnd = Entries.size();
    if (previous >= 0) dirtyEnd = std::min(dirtyEnd, static_cast<size_t>(previous) * SlotSize());
    if (Entries.size() < used) {
        // The bytes past the previous entries are zero, and the new ones come zero.
        size_t wanted = std::max(used, 2 * Entries.size());
        Entries.resize((wanted + EntryArrayStep - 1) / EntryArrayStep * EntryArrayStep, 0);
    }
    if (dirtyEnd > used) std::memset(Entries.data() + used, 0, dirtyEnd - used);
    CheckEntries();
}

void TPage::CheckEntries() const {
#if ENGINE_INVARIANTS_ON
    size_t used = static_cast<size_t>(EntryCount) * SlotSize();
    ENGINE_INVARIANT(Entries.size() >= used && Entries.size() % EntryArrayStep == 0,
                     "a page's slots hold its entry count's entries in whole steps");
    if (PageType != ptData)
        ENGINE_INVARIANT(std::all_of(Entries.begin() + static_cast<std::ptrdiff_t>(used), Entries.end(),
                                     [](uint8_t b) { return b == 0; }),
                         "a page's slots are zero past its entries");
#endif
}

void TPage::CheckLinkedTo([[maybe_unused]] const TPage& next) const {
    ENGINE_INVARIANT(NextPage == next.PageNo && next.PrevPage == PageNo,
                     "neighbouring pages of a level link each other");
    ENGINE_INVARIANT(PageNo != next.PageNo, "a page is not its own neighbour");
}

uint32_t TPage::StoredEntrySize() const {
    if (IsInner()) return KeySize + (HasCounts() ? 8u : 4u);
    return KeySize + 4u;
}

int TPage::Capacity() const {
    if (PageType == ptData || IsCompressedLeaf()) return 0;
    return static_cast<int>(PageDataSize / StoredEntrySize());
}

bool TPage::IsOverfull() const {
    if (IsCompressedLeaf()) return UsedBytes > PageDataSize;
    return EntryCount > Capacity();
}

// ---- Stored form ----

void TPage::LoadFromBuffer(const uint8_t* buffer, bool headerOnly) {
    uint8_t page[IndexPageSize];
    std::memcpy(page, buffer, IndexPageSize);
    if (Owner != nullptr) Owner->Unscramble(page);
    std::memcpy(StoredHeader, page, PageHeaderSize);
    PageType = page[PhType];
    UsedBytes = GetLE16(page + PhUsedBytes);
    PrevPage = GetLE32(page + PhPrevPage);
    NextPage = GetLE32(page + PhNextPage);
    IsFree = false;
    Dirty = false;
    if (headerOnly) {
        EntryCount = 0;
        Entries.clear();
        CompressionKnown = false;
        return;
    }
    if (PageType > ptData) RaiseCorrupt(*this);
    EntryCount = GetLE16(page + PhEntryCount);
    UnpackEntries(page + PageHeaderSize);
    Dirty = false;
}

void TPage::SaveToBuffer(uint8_t* buffer) {
    std::memset(buffer, 0, IndexPageSize);
    buffer[PhType] = PageType;
    PutLE16(buffer + PhEntryCount, IsFree ? 0 : EntryCount);
    PutLE32(buffer + PhPrevPage, PrevPage);
    PutLE32(buffer + PhNextPage, NextPage);
    PutLE16(buffer + PhUsedBytes, UsedBytes);
    if (!IsFree) PackEntries(buffer + PageHeaderSize);
    if (Owner != nullptr) Owner->Scramble(buffer);
    Dirty = false;
}

uint32_t TPage::StoredLeafEntrySize(int pos) const {
    const uint8_t* slot = Slot(pos);
    uint32_t p = slot[KeySize + 8], s = slot[KeySize + 9];
    switch (Compression) {
        case icDupByte:
            return KeySize - p + 5;
        case icTrailByte:
            return KeySize - s + 5;
        case icFull:
            return KeySize - p - s + 6;
        default:
            return KeySize + 4u;
    }
}

void TPage::PackEntries(uint8_t* dest) {
    std::memset(dest, 0, PageDataSize);
    if (PageType == ptData) {
        if (Entries.size() >= PageDataSize) std::memcpy(dest, Entries.data(), PageDataSize);
        return;
    }
    if (EntryCount == 0) return;
    const uint32_t k = KeySize;
    if (!IsCompressedLeaf()) {
        uint32_t size = StoredEntrySize();
        if (static_cast<size_t>(EntryCount) * size > PageDataSize) RaiseCorrupt(*this);
        for (int i = 1; i <= EntryCount; ++i) {
            const uint8_t* slot = Slot(i);
            uint8_t* out = dest + static_cast<size_t>(i - 1) * size;
            std::memcpy(out, slot, k + 4);
            if (IsInner() && HasCounts()) std::memcpy(out + k + 4, slot + k + 4, 4);
        }
        return;
    }
    if (Compression > icFull || UsedBytes > PageDataSize) RaiseCorrupt(*this);
    size_t at = 0;
    for (int i = 1; i <= EntryCount; ++i) {
        const uint8_t* slot = Slot(i);
        const uint8_t* key = slot;
        uint32_t p = slot[k + 8], s = slot[k + 9];
        uint32_t size = StoredLeafEntrySize(i);
        if (at + size > PageDataSize) RaiseCorrupt(*this);
        uint8_t* out = dest + at;
        switch (Compression) {
            case icDupByte:
                *out++ = static_cast<uint8_t>(p);
                std::memcpy(out, key + p, k - p);
                out += k - p;
                break;
            case icTrailByte:
                *out++ = static_cast<uint8_t>(s);
                if (Unique) {
                    std::memcpy(out, key, k - s);
                    out += k - s;
                } else {
                    std::memcpy(out, key, k - 4 - s);
                    out += k - 4 - s;
                    std::memcpy(out, key + k - 4, 4);
                    out += 4;
                }
                break;
            default:  // icFull
                *out++ = static_cast<uint8_t>(p);
                *out++ = static_cast<uint8_t>(s);
                if (Unique || k - p < 5) {
                    std::memcpy(out, key + p, k - s - p);
                    out += k - s - p;
                } else {
                    std::memcpy(out, key + p, k - 4 - s - p);
                    out += k - 4 - s - p;
                    std::memcpy(out, key + k - 4, 4);
                    out += 4;
                }
                break;
        }
        std::memcpy(out, slot + k, 4);
        at += size;
    }
}

void TPage::UnpackEntries(const uint8_t* source) {
    if (PageType == ptData) {
        // A data page holds raw bytes, never entries, whatever its count field says.
        EntryCount = 0;
        UsedBytes = 0;
        Entries.assign(IndexPageSize, 0);
        std::memcpy(Entries.data(), source, PageDataSize);
        return;
    }
    uint16_t count = EntryCount;
    if (count == 0) {
        Entries.clear();
        UsedBytes = 0;
        return;
    }
    const uint32_t k = KeySize;
    if (!IsCompressedLeaf()) {
        uint32_t size = StoredEntrySize();
        if (static_cast<size_t>(count) * size > PageDataSize) RaiseCorrupt(*this);
        Entries.clear();
        ResizeEntries(count);
        for (int i = 1; i <= count; ++i) {
            uint8_t* slot = Slot(i);
            const uint8_t* in = source + static_cast<size_t>(i - 1) * size;
            std::memcpy(slot, in, k + 4);
            if (IsInner() && HasCounts()) std::memcpy(slot + k + 4, in + k + 4, 4);
        }
        return;
    }
    // Compressed leaf: every stored entry takes at least 5 bytes, which bounds the count before
    // anything is allocated.
    if (Compression > icFull || static_cast<size_t>(count) * 5 > PageDataSize) RaiseCorrupt(*this);
    Entries.clear();
    ResizeEntries(count);
    size_t at = 0;
    auto need = [&](size_t n) {
        if (at + n > PageDataSize) RaiseCorrupt(*this);
    };
    for (int i = 1; i <= count; ++i) {
        uint8_t* key = Slot(i);
        uint32_t p = 0, s = 0;
        if (Compression == icDupByte || Compression == icFull) {
            need(1);
            p = source[at++];
            if (i == 1) p = 0;  // the first entry's prefix byte is written but never read
        }
        if (Compression == icTrailByte || Compression == icFull) {
            need(1);
            s = source[at++];
        }
        if (p > k) RaiseCorrupt(*this);
        if (p > 0) std::memcpy(key, Slot(i - 1), p);
        bool suffix = !Unique && !(Compression == icFull && k - p < 5);
        if (Compression == icDupByte) {
            need(k - p);
            std::memcpy(key + p, source + at, k - p);
            at += k - p;
        } else if (!suffix) {
            if (s > k - p) RaiseCorrupt(*this);
            need(k - p - s);
            std::memcpy(key + p, source + at, k - p - s);
            at += k - p - s;
        } else {
            if (k < 4 || s + 4 > k - p) RaiseCorrupt(*this);
            need(k - p - s);
            std::memcpy(key + p, source + at, k - 4 - s - p);
            at += k - 4 - s - p;
            std::memcpy(key + k - 4, source + at, 4);
            at += 4;
        }
        need(4);
        std::memcpy(key + k, source + at, 4);
        at += 4;
    }
    ComputeCompression();
}

void TPage::ComputeCompression() {
    CompressionKnown = true;
    if (!IsCompressedLeaf() || EntryCount == 0) {
        UsedBytes = 0;
        return;
    }
    uint32_t total = 0;
    for (int i = 1; i <= EntryCount; ++i) total += CompressEntry(i);
    UsedBytes = static_cast<uint16_t>(std::min<uint32_t>(total, 0xFFFF));
}

uint32_t TPage::CompressEntry(int pos) {
    const uint32_t k = KeySize;
    uint8_t* slot = Slot(pos);
    uint32_t p = 0, s = 0;
    if ((Compression == icDupByte || Compression == icFull) && pos > 1)
        p = static_cast<uint32_t>(KeyPrefixLength(Slot(pos - 1), slot, k));
    if (Compression == icTrailByte) {
        if (Unique)
            s = k > 0 ? static_cast<uint32_t>(KeyTrailingZeros(slot + k - 1, k)) : 0;
        else
            s = k > 4 ? static_cast<uint32_t>(KeyTrailingZeros(slot + k - 5, k - 4)) : 0;
    } else if (Compression == icFull) {
        if (Unique)
            s = k > p ? static_cast<uint32_t>(KeyTrailingZeros(slot + k - 1, k - p)) : 0;
        else if (k - p >= 5)
            s = static_cast<uint32_t>(KeyTrailingZeros(slot + k - 5, k - p - 4));
    }
    slot[k + 8] = static_cast<uint8_t>(p);
    slot[k + 9] = static_cast<uint8_t>(s);
    return StoredLeafEntrySize(pos);
}

// An entry's compression depends only on itself and its predecessor: a change at pos touches
// the entry there (if any) and the one after it. removedBytes is the stored size of an entry
// that was taken out at pos.
void TPage::RecompressAround(int pos, bool inserted, uint32_t removedBytes) {
    if (!IsCompressedLeaf() || EntryCount == 0) {
        UsedBytes = 0;
        CompressionKnown = true;
        return;
    }
    int64_t total = UsedBytes;
    total -= removedBytes;
    if (inserted) total += CompressEntry(pos);
    int successor = inserted ? pos + 1 : pos;
    if (successor >= 1 && successor <= EntryCount) {
        total -= StoredLeafEntrySize(successor);
        total += CompressEntry(successor);
    }
    UsedBytes = static_cast<uint16_t>(std::clamp<int64_t>(total, 0, 0xFFFF));
    CompressionKnown = true;
}

// ---- Entries ----

void TPage::SetEntryCount(uint16_t n) {
    if (n == EntryCount) return;
    Dirty = true;
    CompressionKnown = false;
    EntryCount = n;
    ResizeEntries(n);
}

void TPage::SetPrevPage(int32_t page) {
    if (PrevPage == page) return;
    PrevPage = page;
    Dirty = true;
}

void TPage::SetNextPage(int32_t page) {
    if (NextPage == page) return;
    NextPage = page;
    Dirty = true;
}

void TPage::SetPageType(uint8_t type) {
    if (PageType == type) return;
    PageType = type;
    CompressionKnown = false;
    Dirty = true;
}

int32_t TPage::GetValue(int pos) const {
    if (EntryCount == 0) return 0;
    if (pos < 1 || pos > EntryCount) RaiseCorrupt(*this);
    return GetLE32(Slot(pos) + KeySize);
}

void TPage::SetValue(int pos, int32_t value) {
    if (EntryCount == 0) return;
    if (pos < 1 || pos > EntryCount) RaiseCorrupt(*this);
    PutLE32(Slot(pos) + KeySize, value);
    Dirty = true;
}

int32_t TPage::GetSubtreeCount(int pos) const {
    if (IsLeaf()) return 1;
    if (EntryCount == 0) return 0;
    if (pos < 1 || pos > EntryCount) RaiseCorrupt(*this);
    return GetLE32(Slot(pos) + KeySize + 4);
}

void TPage::SetSubtreeCount(int pos, int32_t count) {
    if (!IsInner() || !HasCounts() || EntryCount == 0) return;
    if (pos < 1 || pos > EntryCount) RaiseCorrupt(*this);
    PutLE32(Slot(pos) + KeySize + 4, count);
    Dirty = true;
}

int32_t TPage::TotalCount() const {
    if (IsLeaf()) return EntryCount;
    int32_t total = 0;
    for (int i = 1; i <= EntryCount; ++i) total = AddWrapping(total, GetSubtreeCount(i));
    return total;
}

uint8_t* TPage::EntryKey(int pos) {
    if (pos < 1 || pos > EntryCount) RaiseCorrupt(*this);
    return Slot(pos);
}

const uint8_t* TPage::EntryKey(int pos) const {
    if (pos < 1 || pos > EntryCount) RaiseCorrupt(*this);
    return Slot(pos);
}

int32_t TPage::CountBefore(int pos) const {
    if (IsLeaf()) return pos - 1;
    int32_t total = 0;
    for (int i = 1; i < pos && i <= EntryCount; ++i) total = AddWrapping(total, GetSubtreeCount(i));
    return total;
}

int TPage::InsertEntry(int pos, const uint8_t* key) {
    if (pos < 0 || pos > EntryCount) RaiseCorrupt(*this);
    Dirty = true;
    CompressionKnown = false;
    uint16_t old = EntryCount;
    EntryCount = static_cast<uint16_t>(old + 1);
    ResizeEntries(EntryCount, old);
    size_t slot = SlotSize();
    std::memmove(Entries.data() + static_cast<size_t>(pos + 1) * slot,
                 Entries.data() + static_cast<size_t>(pos) * slot, static_cast<size_t>(old - pos) * slot);
    std::memset(Slot(pos + 1), 0, slot);
    std::memcpy(Slot(pos + 1), key, KeySize);
    return pos + 1;
}

void TPage::RemoveEntry(int& pos) {
    if (pos < 1 || pos > EntryCount) RaiseCorrupt(*this);
    Dirty = true;
    CompressionKnown = false;
    size_t slot = SlotSize();
    std::memmove(Slot(pos), Slot(pos) + slot, static_cast<size_t>(EntryCount - pos) * slot);
    EntryCount = static_cast<uint16_t>(EntryCount - 1);
    ResizeEntries(EntryCount, EntryCount + 1);
    if (pos > EntryCount) pos = EntryCount;
}

void TPage::SetEntryKey(int pos, const uint8_t* key) {
    std::memcpy(EntryKey(pos), key, KeySize);
    CompressionKnown = false;
    Dirty = true;
}

// ---- Searches ----

int TPage::BinarySearch(TIndexCursor& cursor, const uint8_t* key, bool& equal) {
    if (EntryCount == 0) RaiseCorrupt(*this);
    equal = false;
    int low = 1, high = EntryCount;
    while (high >= low) {
        int mid = (low + high) / 2;
        int c = cursor.CompareKeys(Slot(mid), key, KeySize);
        if (c == 0) {
            equal = true;
            return mid;
        }
        if (c < 0)
            low = mid + 1;
        else
            high = mid - 1;
    }
    return high;  // entries smaller than the key
}

int TPage::FindInsertPos(TIndexCursor& cursor, const uint8_t* key) {
    bool equal;
    return BinarySearch(cursor, key, equal);
}

bool TPage::FindExact(TIndexCursor& cursor, const uint8_t* key, int& pos) {
    bool equal;
    pos = std::max(1, BinarySearch(cursor, key, equal));
    return equal && IsLeaf();
}

int TPage::FindDeletePos(TIndexCursor& cursor, const uint8_t* key) {
    int pos;
    FindExact(cursor, key, pos);
    return pos;
}

bool TPage::FindNearest(TIndexCursor& cursor, const uint8_t* key, bool after, int& pos, int32_t& count) {
    bool equal;
    int smaller = BinarySearch(cursor, key, equal);
    if (equal)
        pos = smaller;
    else if (IsLeaf() && after)
        pos = smaller < EntryCount ? smaller + 1 : EntryCount;
    else
        pos = std::max(1, smaller);
    count = AddWrapping(count, CountBefore(pos));
    return equal;
}

int TPage::FindFirstGE(TIndexCursor& cursor, const uint8_t* key, int32_t& count) {
    bool equal;
    int smaller = BinarySearch(cursor, key, equal);
    int pos;
    if (equal)
        pos = smaller;
    else if (IsLeaf())
        pos = smaller < EntryCount ? smaller + 1 : EntryCount;
    else
        pos = std::max(1, smaller);
    count = AddWrapping(count, CountBefore(pos));
    return pos;
}

int TPage::FindLastLE(TIndexCursor& cursor, const uint8_t* key, int32_t& count) {
    bool equal;
    int pos = std::max(1, BinarySearch(cursor, key, equal));
    count = AddWrapping(count, CountBefore(pos));
    return pos;
}

int TPage::FirstPos(int32_t& /*count*/) {
    return 1;
}

int TPage::LastPos(int32_t& count) {
    count = AddWrapping(count, CountBefore(EntryCount));
    return EntryCount;
}

bool TPage::ScanForKey(TIndexCursor& cursor, const uint8_t* key, const uint8_t* endKey, bool exact, int& pos,
                       int32_t& count) {
    if (EntryCount == 0) RaiseCorrupt(*this);
    for (int i = 1; i <= EntryCount; ++i) {
        pos = i;
        bool beyondEnd = endKey != nullptr && cursor.CompareKeys(Slot(i), endKey, KeySize) > 0;
        int c = beyondEnd ? 1 : cursor.CompareKeys(Slot(i), key, KeySize);
        if (c == 0) return IsLeaf();
        if (c > 0) {
            if (IsLeaf() && exact) return false;
            if (i > 1) {
                pos = i - 1;
                count = static_cast<int32_t>(static_cast<uint32_t>(count) -
                                             static_cast<uint32_t>(GetSubtreeCount(i - 1)));
            }
            return false;
        }
        if (i == EntryCount) return false;
        count = AddWrapping(count, GetSubtreeCount(i));
    }
    return false;
}

int TPage::CountConsecutive(int limit, bool forward, int pos) const {
    if (!IsLeaf() || pos < 1 || pos > EntryCount || limit < 1) return 0;
    int n = 1;
    int step = forward ? 1 : -1;
    while (n < limit) {
        int next = pos + step;
        if (next < 1 || next > EntryCount) break;
        if (static_cast<int64_t>(GetValue(next)) != static_cast<int64_t>(GetValue(pos)) + step) break;
        pos = next;
        ++n;
    }
    return n;
}

bool TPage::SkipUnmarkedForward(const TRecordsBitmap& bitmap, int& pos, int32_t& count) const {
    while (pos >= 1 && pos <= EntryCount && !bitmap.Test(GetValue(pos))) {
        ++pos;
        ++count;
    }
    return pos >= 1 && pos <= EntryCount;
}

bool TPage::SkipUnmarkedBackward(const TRecordsBitmap& bitmap, int& pos, int32_t& count) const {
    while (pos >= 1 && pos <= EntryCount && !bitmap.Test(GetValue(pos))) {
        --pos;
        --count;
    }
    return pos >= 1 && pos <= EntryCount;
}

bool TPage::SkipUnmarkedForwardTo(TIndexCursor& cursor, const TRecordsBitmap& bitmap, const uint8_t* limitKey,
                                  int& pos, int32_t& count) const {
    while (pos >= 1 && pos <= EntryCount) {
        if (cursor.CompareKeys(Slot(pos), limitKey, KeySize) > 0) return false;
        if (bitmap.Test(GetValue(pos))) return true;
        ++pos;
        ++count;
    }
    return false;
}

bool TPage::SkipUnmarkedBackwardTo(TIndexCursor& cursor, const TRecordsBitmap& bitmap,
                                   const uint8_t* limitKey, int& pos, int32_t& count) const {
    while (pos >= 1 && pos <= EntryCount) {
        if (cursor.CompareKeys(Slot(pos), limitKey, KeySize) < 0) return false;
        if (bitmap.Test(GetValue(pos))) return true;
        --pos;
        --count;
    }
    return false;
}

bool TPage::MarkRangeInBitmap(TIndexCursor& cursor, const uint8_t* key, TRecordsBitmap& bitmap,
                              int pos) const {
    for (int i = std::max(pos, 1); i <= EntryCount; ++i) {
        if (cursor.CompareKeys(Slot(i), key, KeySize) > 0) return false;
        bitmap.SetBit(GetValue(i));
    }
    return true;
}

// ---- Tree changes ----

void TPage::UpdateParentKey(TIndexCursor& cursor, const uint8_t* key) {
    TLevelScope level(cursor);
    while (cursor.GetParentPage() != 0 && cursor.GetPathPos() <= 1) {
        TPageHold parent(Owner, Owner->FetchPage(IndexNo, cursor.GetParentPage()));
        cursor.PopLevel();
        if (cursor.GetPathPos() == 0) cursor.SetPathPos(1);
        parent->SetEntryKey(cursor.GetPathPos(), key);
    }
}

void TPage::InsertKey(TIndexCursor& cursor, const uint8_t* key, int32_t subtreeCount, int32_t value) {
    bool wasRoot = IsRoot();
    // Compression state from before the change: only then can it be updated around the entry.
    bool incremental = CompressionKnown && EntryCount > 0;
    int pos = InsertEntry(cursor.GetPathPos(), key);
    cursor.SetPathPos(pos);
    SetValue(pos, value);
    if (IsInner()) SetSubtreeCount(pos, subtreeCount);
    if (incremental)
        RecompressAround(pos, true, 0);
    else
        ComputeCompression();
    UpdateParentKey(cursor, EntryKey(pos));
    if (!IsOverfull()) return;

    TPageHold fresh(Owner, Owner->AllocatePage(cursor));
    Split(*fresh);
    if (wasRoot) {
        if (cursor.Level != 1) Owner->RaiseError(DBE_TABLEFULL);
        TPageHold root(Owner, Owner->AllocatePage(cursor));
        root->SetPageType(ptInnerRoot);
        Owner->SetRootPage(cursor.CurrentIndex, root->PageNo);
        int first = root->InsertEntry(0, EntryKey(1));
        root->SetValue(first, PageNo);
        root->SetSubtreeCount(first, TotalCount());
        int second = root->InsertEntry(first, fresh->EntryKey(1));
        root->SetValue(second, fresh->PageNo);
        root->SetSubtreeCount(second, fresh->TotalCount());
        root->Dirty = true;
        cursor.PathPos[1] = 2;
        return;
    }
    int32_t parentNo = cursor.GetParentPage();
    if (parentNo == 0) Owner->RaiseError(DBE_INDEXCORRUPT);
    TLevelScope level(cursor);
    TPageHold parent(Owner, Owner->FetchPage(IndexNo, parentNo));
    cursor.PopLevel();
    if (cursor.GetPathPos() == 0) cursor.SetPathPos(1);
    parent->SetSubtreeCount(cursor.GetPathPos(), TotalCount());
    // The new page's key is copied out: the parent may split and reuse nothing of it.
    std::vector<uint8_t> freshKey(fresh->EntryKey(1), fresh->EntryKey(1) + KeySize);
    parent->InsertKey(cursor, freshKey.data(), fresh->TotalCount(), fresh->PageNo);
}

void TPage::Split(TPage& fresh) {
    int n = EntryCount;
    int moved = n / 2;
    int kept = n - moved;
    uint8_t type = IsInner() ? ptInner : ptLeaf;
    fresh.SetPageType(type);
    SetPageType(type);
    Redistribute(*this, fresh, static_cast<size_t>(kept));
    // Link the new page after this one on its level.
    fresh.SetPrevPage(PageNo);
    fresh.SetNextPage(NextPage);
    if (NextPage != 0) {
        TPageHold after(Owner, Owner->FetchPage(IndexNo, NextPage));
        after->SetPrevPage(fresh.PageNo);
    }
    SetNextPage(fresh.PageNo);
    Dirty = fresh.Dirty = true;
    CheckLinkedTo(fresh);
    if (!IsCompressedLeaf()) {
        ENGINE_INVARIANT(!IsOverfull() && !fresh.IsOverfull(), "a split leaves both pages within capacity");
        return;
    }
    // Compressed leaves: even out by bytes until both fit.
    auto fits = [](const TPage& p) { return p.UsedBytes <= PageDataSize; };
    if (fits(*this) && !fits(fresh)) {
        while (!fits(fresh) && fresh.EntryCount > 1)
            Redistribute(*this, fresh, static_cast<size_t>(EntryCount) + 1);
        if (!fits(*this)) RaiseCorrupt(*this);
    } else if (!fits(*this)) {
        while (!fits(*this) && EntryCount > 1)
            Redistribute(*this, fresh, static_cast<size_t>(EntryCount) - 1);
        if (!fits(fresh)) RaiseCorrupt(fresh);
    }
    if (!fits(*this) || !fits(fresh)) RaiseCorrupt(*this);
}

void TPage::Redistribute(TPage& left, TPage& right, size_t leftCount) {
    size_t slot = left.SlotSize();
    size_t total = static_cast<size_t>(left.EntryCount) + right.EntryCount;
    if (leftCount > total || total > 0xFFFF) RaiseCorrupt(left);
    // Work area sized from the entries of both pages.
    std::vector<uint8_t> work(total * slot);
    if (left.EntryCount > 0) std::memcpy(work.data(), left.Entries.data(), left.EntryCount * slot);
    if (right.EntryCount > 0)
        std::memcpy(work.data() + left.EntryCount * slot, right.Entries.data(), right.EntryCount * slot);
    const int leftBefore = left.EntryCount, rightBefore = right.EntryCount;
    left.EntryCount = static_cast<uint16_t>(leftCount);
    left.ResizeEntries(left.EntryCount, leftBefore);
    if (leftCount > 0) std::memcpy(left.Entries.data(), work.data(), leftCount * slot);
    right.EntryCount = static_cast<uint16_t>(total - leftCount);
    right.ResizeEntries(right.EntryCount, rightBefore);
    if (total > leftCount)
        std::memcpy(right.Entries.data(), work.data() + leftCount * slot, (total - leftCount) * slot);
    left.ComputeCompression();
    right.ComputeCompression();
    left.Dirty = right.Dirty = true;
    ENGINE_INVARIANT(static_cast<size_t>(left.EntryCount) + right.EntryCount == total,
                     "redistributing keeps every entry");
}

void TPage::BorrowFromLeft(TPage& previous) {
    size_t t = static_cast<size_t>(EntryCount) + previous.EntryCount;
    Redistribute(previous, *this, t - t / 2);
}

void TPage::BorrowFromRight(TPage& next) {
    size_t t = static_cast<size_t>(EntryCount) + next.EntryCount;
    Redistribute(*this, next, t / 2);
}

void TPage::MergeIntoLeft(TPage& previous) {
    Redistribute(previous, *this, static_cast<size_t>(EntryCount) + previous.EntryCount);
    previous.SetNextPage(NextPage);
    if (NextPage != 0) {
        TPageHold after(Owner, Owner->FetchPage(IndexNo, NextPage));
        after->SetPrevPage(previous.PageNo);
        previous.CheckLinkedTo(*after);
    }
    SetPrevPage(0);
    SetNextPage(0);
}

void TPage::MergeIntoRight(TPage& next) {
    Redistribute(*this, next, 0);
    next.SetPrevPage(PrevPage);
    if (PrevPage != 0) {
        TPageHold before(Owner, Owner->FetchPage(IndexNo, PrevPage));
        before->SetNextPage(next.PageNo);
        before->CheckLinkedTo(next);
    }
    SetPrevPage(0);
    SetNextPage(0);
}

void TPage::DeleteKey(TIndexCursor& cursor) {
    int pos = cursor.GetPathPos();
    const int removedAt = pos;
    bool incremental = CompressionKnown && pos >= 1 && pos <= EntryCount;
    uint32_t removedBytes = incremental && IsCompressedLeaf() ? StoredLeafEntrySize(pos) : 0;
    RemoveEntry(pos);
    cursor.SetPathPos(pos);
    if (incremental)
        RecompressAround(removedAt, false, removedBytes);
    else
        ComputeCompression();
    if (EntryCount > 0) UpdateParentKey(cursor, EntryKey(std::max(pos, 1)));

    int32_t parentNo = cursor.GetParentPage();
    auto collapseRoot = [&] {
        if (PageType == ptLeafRoot && EntryCount == 0) {
            Owner->FreePage(cursor, *this);
            Owner->SetRootPage(cursor.CurrentIndex, 0);
        } else if (PageType == ptInnerRoot && EntryCount == 1) {
            int32_t childNo = GetValue(1);
            Owner->SetRootPage(cursor.CurrentIndex, childNo);
            Owner->FreePage(cursor, *this);
            TPageHold child(Owner, Owner->FetchPage(IndexNo, childNo));
            child->SetPageType(child->IsLeaf() ? ptLeafRoot : ptInnerRoot);
            child->SetPrevPage(0);
            child->SetNextPage(0);
        }
    };

    if (IsCompressedLeaf()) {
        if (EntryCount > 0) return;
        if (parentNo == 0) {
            collapseRoot();
            return;
        }
        if (NextPage != 0) {
            TPageHold next(Owner, Owner->FetchPage(IndexNo, NextPage));
            next->SetPrevPage(PrevPage);
        }
        if (PrevPage != 0) {
            TPageHold prev(Owner, Owner->FetchPage(IndexNo, PrevPage));
            prev->SetNextPage(NextPage);
        }
        Owner->FreePage(cursor, *this);
        TLevelScope level(cursor);
        TPageHold parent(Owner, Owner->FetchPage(IndexNo, parentNo));
        cursor.PopLevel();
        if (cursor.GetPathPos() == 0) cursor.SetPathPos(1);
        parent->DeleteKey(cursor);
        return;
    }

    int capacity = Capacity();
    if (EntryCount >= capacity / 2) return;
    if (parentNo == 0) {
        collapseRoot();
        return;
    }
    TLevelScope level(cursor);
    TPageHold parent(Owner, Owner->FetchPage(IndexNo, parentNo));
    cursor.PopLevel();
    if (cursor.GetPathPos() == 0) cursor.SetPathPos(1);
    int d = cursor.GetPathPos();
    if (d == parent->EntryCount || d != 1) {
        if (PrevPage == 0 || d < 2) Owner->RaiseError(DBE_INDEXCORRUPT);
        TPageHold prev(Owner, Owner->FetchPage(IndexNo, PrevPage));
        if (EntryCount + prev->EntryCount < capacity) {
            MergeIntoLeft(*prev);
            Owner->FreePage(cursor, *this);
            parent->SetSubtreeCount(d - 1, prev->TotalCount());
            parent->DeleteKey(cursor);
        } else {
            BorrowFromLeft(*prev);
            parent->SetEntryKey(d, EntryKey(1));
            parent->SetSubtreeCount(d, TotalCount());
            parent->SetSubtreeCount(d - 1, prev->TotalCount());
        }
    } else {
        if (NextPage == 0 || d + 1 > parent->EntryCount) Owner->RaiseError(DBE_INDEXCORRUPT);
        TPageHold next(Owner, Owner->FetchPage(IndexNo, NextPage));
        if (EntryCount + next->EntryCount < capacity) {
            MergeIntoRight(*next);
            Owner->FreePage(cursor, *this);
            parent->SetEntryKey(d + 1, next->EntryKey(1));
            parent->SetSubtreeCount(d + 1, next->TotalCount());
            parent->DeleteKey(cursor);
        } else {
            BorrowFromRight(*next);
            parent->SetSubtreeCount(d, TotalCount());
            parent->SetEntryKey(d + 1, next->EntryKey(1));
            parent->SetSubtreeCount(d + 1, next->TotalCount());
        }
    }
}

// ---- Pool ----

std::unique_ptr<TPage> TPageStack::Take() {
    if (Pages.empty()) return std::make_unique<TPage>(Owner);
    std::unique_ptr<TPage> page = std::move(Pages.back());
    Pages.pop_back();
    page->Reset();
    page->ClearPins();
    return page;
}

void TPageStack::Give(std::unique_ptr<TPage>& page) {
    if (page && Pages.size() < MaxPooled) {
        page->MruPrev = page->MruNext = nullptr;
        Pages.push_back(std::move(page));
    }
    page.reset();
}

}  // namespace dbengine
