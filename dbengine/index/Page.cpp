#include "dbengine/index/Page.h"

#include <algorithm>
#include <cstring>

#include "dbengine/index/IndexFile.h"
#include "dbengine/util/Coding.h"

namespace dbengine {

namespace {

constexpr size_t EntryGranularity = 4096;
constexpr uint8_t MaxShared = 254;

}  // namespace

bool TPage::HasCounts() const {
    return !NoCounts && IndexNo != SysTextIndexNo;
}

void TPage::Corrupt() const {
    if (File != nullptr) File->RaisePageError();
    RaiseEngineError(DBE_INDEXCORRUPT, {}, {}, {}, {});
}

void TPage::SetEntryCount(uint16_t n) {
    size_t needed = PageType == ptData ? EntryGranularity : static_cast<size_t>(n) * SlotSize();
    size_t capacity = (needed + EntryGranularity - 1) / EntryGranularity * EntryGranularity;
    if (n == 0 && PageType != ptData) capacity = 0;
    if (capacity > Entries.size()) {
        Entries.resize(capacity, 0);
    } else if (capacity == 0) {
        Entries.clear();
        Entries.shrink_to_fit();
    }
    // Slots past the last entry are kept zero.
    if (PageType != ptData && Entries.size() > needed) std::fill(Entries.begin() + needed, Entries.end(), 0);
    EntryCount = n;
}

int32_t TPage::ValueAt(int pos) const {
    return GetInt32(KeyAt(pos) + KeySize);
}

void TPage::SetValueAt(int pos, int32_t value) {
    PutInt32(KeyAt(pos) + KeySize, value);
}

int32_t TPage::CountAt(int pos) const {
    return GetInt32(KeyAt(pos) + KeySize + 4);
}

void TPage::SetCountAt(int pos, int32_t count) {
    PutInt32(KeyAt(pos) + KeySize + 4, count);
}

void TPage::Reset() {
    std::fill(Entries.begin(), Entries.end(), 0);
    PageType = 0;
    UsedBytes = 0;
    EntryCount = 0;
    PrevPage = NextPage = 0;
    IsFree = false;
    Dirty = false;
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
    if (Entries.size() < other.Entries.size()) Entries.resize(other.Entries.size(), 0);
    std::copy(other.Entries.begin(), other.Entries.end(), Entries.begin());
    Dirty = other.Dirty;
}

void TPage::LoadFromBuffer(uint8_t* buffer, bool headerOnly) {
    if (File != nullptr) File->UnscramblePage(buffer);
    PageType = buffer[0];
    PrevPage = GetInt32(buffer + 3);
    NextPage = GetInt32(buffer + 7);
    UsedBytes = GetUInt16(buffer + 11);
    IsFree = false;
    Dirty = false;
    if (headerOnly) {
        SetEntryCount(0);
        std::fill(Entries.begin(), Entries.end(), 0);
        return;
    }
    uint16_t count = GetUInt16(buffer + 1);
    if (PageType == ptData) {
        SetEntryCount(count);
        std::memcpy(Entries.data(), buffer + PageHeaderSize, PageDataSize);
        return;
    }
    // The smallest stored entry takes 5 bytes: no count beyond what the page can hold.
    if (count > PageDataSize / 5) Corrupt();
    SetEntryCount(count);
    UnpackEntries(buffer + PageHeaderSize);
}

void TPage::SaveToBuffer(uint8_t* buffer) {
    std::memset(buffer, 0, IndexPageSize);
    buffer[0] = PageType;
    PutUInt16(buffer + 1, IsFree ? 0 : EntryCount);
    PutInt32(buffer + 3, PrevPage);
    PutInt32(buffer + 7, NextPage);
    PutUInt16(buffer + 11, UsedBytes);
    if (!IsFree) {
        if (PageType == ptData)
            std::memcpy(buffer + PageHeaderSize, Entries.data(), std::min(Entries.size(), PageDataSize));
        else
            PackEntries(buffer + PageHeaderSize);
    }
    if (File != nullptr) File->ScramblePage(buffer);
    Dirty = false;
}

void TPage::ComputeCompression() {
    if (!IsLeaf() || Compression == 0 || EntryCount == 0) {
        UsedBytes = 0;
        return;
    }
    const size_t k = KeySize;
    size_t used = 0;
    for (int pos = 1; pos <= EntryCount; ++pos) {
        uint8_t* key = KeyAt(pos);
        size_t p = 0;
        if (pos > 1 && (Compression == 1 || Compression == 3)) {
            const uint8_t* prev = KeyAt(pos - 1);
            while (p < k && p < MaxShared && key[p] == prev[p]) ++p;
        }
        size_t s = 0;
        if (Compression == 2 || Compression == 3) {
            size_t from = Compression == 3 ? p : 0;  // zeros are counted only after the prefix
            if (Unique) {
                while (s < k - from && s < MaxShared && key[k - 1 - s] == 0) ++s;
            } else if (k >= 4 && k - from >= 5) {
                size_t limit = k - from - 4;
                while (s < limit && s < MaxShared && key[k - 5 - s] == 0) ++s;
            }
        }
        key[k + 8] = static_cast<uint8_t>(p);
        key[k + 9] = static_cast<uint8_t>(s);
        switch (Compression) {
            case 1:
                used += k - p + 5;
                break;
            case 2:
                used += k - s + 5;
                break;
            default:
                used += k - p - s + 6;
                break;
        }
    }
    UsedBytes = static_cast<uint16_t>(std::min<size_t>(used, 0xFFFF));
}

void TPage::PackEntries(uint8_t* out) {
    const size_t k = KeySize;
    size_t pos = 0;
    auto need = [&](size_t n) {
        if (pos + n > PageDataSize) Corrupt();
    };
    if (IsInner() || Compression == 0) {
        size_t entry = IsInner() ? (HasCounts() ? k + 8 : k + 4) : k + 4;
        need(entry * EntryCount);
        for (int i = 1; i <= EntryCount; ++i, pos += entry) std::memcpy(out + pos, KeyAt(i), entry);
        return;
    }
    ComputeCompression();
    if (UsedBytes > PageDataSize) Corrupt();
    for (int i = 1; i <= EntryCount; ++i) {
        const uint8_t* key = KeyAt(i);
        size_t p = key[k + 8], s = key[k + 9];
        switch (Compression) {
            case 1:
                need(k - p + 5);
                out[pos++] = static_cast<uint8_t>(p);
                std::memcpy(out + pos, key + p, k - p);
                pos += k - p;
                break;
            case 2:
                need(k - s + 5);
                out[pos++] = static_cast<uint8_t>(s);
                if (Unique || k < 4) {
                    std::memcpy(out + pos, key, k - s);
                } else {
                    std::memcpy(out + pos, key, k - 4 - s);
                    std::memcpy(out + pos + (k - 4 - s), key + k - 4, 4);
                }
                pos += k - s;
                break;
            default:
                need(k - p - s + 6);
                out[pos++] = static_cast<uint8_t>(p);
                out[pos++] = static_cast<uint8_t>(s);
                if (Unique || k - p < 5) {
                    std::memcpy(out + pos, key + p, k - p - s);
                } else {
                    std::memcpy(out + pos, key + p, k - p - 4 - s);
                    std::memcpy(out + pos + (k - p - 4 - s), key + k - 4, 4);
                }
                pos += k - p - s;
                break;
        }
        std::memcpy(out + pos, key + k, 4);  // the record number
        pos += 4;
    }
}

void TPage::UnpackEntries(const uint8_t* in) {
    const size_t k = KeySize;
    size_t pos = 0;
    auto need = [&](size_t n) {
        if (pos + n > PageDataSize) Corrupt();
    };
    if (EntryCount == 0) {
        UsedBytes = 0;
        return;
    }
    if (IsInner() || Compression == 0) {
        size_t entry = IsInner() ? (HasCounts() ? k + 8 : k + 4) : k + 4;
        need(entry * EntryCount);
        for (int i = 1; i <= EntryCount; ++i, pos += entry) std::memcpy(KeyAt(i), in + pos, entry);
        return;
    }
    for (int i = 1; i <= EntryCount; ++i) {
        uint8_t* key = KeyAt(i);
        const uint8_t* prev = i > 1 ? KeyAt(i - 1) : nullptr;
        size_t p = 0, s = 0;
        if (Compression == 1 || Compression == 3) {
            need(1);
            p = in[pos++];
        }
        if (Compression == 2 || Compression == 3) {
            need(1);
            s = in[pos++];
        }
        if (i == 1) p = 0;  // the first entry's prefix byte is never read
        if (p > k) Corrupt();
        if (p > 0) std::memcpy(key, prev, p);
        bool suffixed = !Unique && ((Compression == 2 && k >= 4) || (Compression == 3 && k - p >= 5));
        size_t stored;
        if (Compression == 1) {
            stored = k - p;
            need(stored + 4);
            std::memcpy(key + p, in + pos, stored);
        } else if (!suffixed) {
            if (s > k - p) Corrupt();
            stored = k - p - s;
            need(stored + 4);
            std::memcpy(key + p, in + pos, stored);
        } else {
            if (s + 4 > k - p) Corrupt();
            stored = k - p - s;
            need(stored + 4);
            std::memcpy(key + p, in + pos, stored - 4);
            std::memcpy(key + k - 4, in + pos + stored - 4, 4);
        }
        pos += stored;
        std::memcpy(key + k, in + pos, 4);
        pos += 4;
        key[k + 8] = static_cast<uint8_t>(p);
        key[k + 9] = static_cast<uint8_t>(s);
    }
}

std::unique_ptr<TPage> TPageStack::Take() {
    std::unique_ptr<TPage> page;
    if (Items.empty()) {
        page = std::make_unique<TPage>(File);
    } else {
        page = std::move(Items.back());
        Items.pop_back();
    }
    page->Reset();
    page->ClearPins();
    page->Older = page->Newer = nullptr;
    return page;
}

void TPageStack::Give(std::unique_ptr<TPage>& page) {
    if (!page) return;
    page->Older = page->Newer = nullptr;
    if (Items.size() < MaxSpare)
        Items.push_back(std::move(page));
    else
        page.reset();
    page = nullptr;
}

}  // namespace dbengine
