#include "dbengine/util/RecordsBitmap.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "dbengine/util/Invariant.h"

namespace dbengine {

namespace {

std::unique_ptr<TRecordsBitmapStack> ThePool;

constexpr uint32_t AllOnes = 0xFFFFFFFFu;

}  // namespace

void TRecordsBitmap::GrowStorage(uint32_t bytes) {
    if (bytes == 0) {
        Bits.reset();
        Capacity = 0;
        return;
    }
    uint32_t rounded = (bytes + StorageGranularity - 1) / StorageGranularity * StorageGranularity;
    if (rounded <= Capacity) return;
    auto grown = std::make_unique<uint32_t[]>(rounded / 4);  // zero-filled
    if (Capacity > 0) std::memcpy(grown.get(), Bits.get(), Capacity);
    Bits = std::move(grown);
    Capacity = rounded;
}

void TRecordsBitmap::ClearPastSize() {
    uint32_t words = Capacity / 4;
    if (words == 0) return;
    if (Size % 32 != 0) Bits[Size / 32] &= (1u << (Size % 32)) - 1;
    for (uint32_t w = WordCount; w < words; ++w) Bits[w] = 0;
}

void TRecordsBitmap::CheckInvariants() const {
#if ENGINE_INVARIANTS_ON
    ENGINE_INVARIANT(Capacity % StorageGranularity == 0 && Capacity >= WordCount * 4,
                     "a bitmap's storage holds its words in whole steps");
    ENGINE_INVARIANT(WordCount * 32 == RoundedSize && RoundedSize >= Size && RoundedSize - Size < 32,
                     "a bitmap's word count covers its size");
    if (Capacity == 0) return;
    if (Size % 32 != 0)
        ENGINE_INVARIANT(Bits[Size / 32] >> (Size % 32) == 0, "bits past a bitmap's size are clear");
    for (uint32_t w = WordCount; w < Capacity / 4; ++w)
        ENGINE_INVARIANT(Bits[w] == 0, "bits past a bitmap's size are clear");
#endif
}

void TRecordsBitmap::SetSize(uint32_t n) {
    if (n == Size) return;
    ++Changes;
    Size = n;
    RoundedSize = (n + 31) / 32 * 32;
    WordCount = RoundedSize / 32;
    GrowStorage(RoundedSize / 8);
    ClearPastSize();
    CheckInvariants();
}

bool TRecordsBitmap::Test(int64_t r) const {
    if (r <= 0 || r > Size) return false;
    uint32_t i = static_cast<uint32_t>(r - 1);
    return (Bits[i / 32] >> (i % 32) & 1u) != 0;
}

void TRecordsBitmap::SetBit(int64_t r) {
    if (r <= 0 || r > Size) return;
    ++Changes;
    uint32_t i = static_cast<uint32_t>(r - 1);
    Bits[i / 32] |= 1u << (i % 32);
    CheckInvariants();
}

void TRecordsBitmap::ClearBit(int64_t r) {
    if (r <= 0 || r > Size) return;
    ++Changes;
    uint32_t i = static_cast<uint32_t>(r - 1);
    Bits[i / 32] &= ~(1u << (i % 32));
}

uint32_t TRecordsBitmap::Count() const {
    if (CountKnown && KnownCountChanges == Changes && KnownCountSize == Size) return KnownCount;
    KnownCount = CountBits();
    KnownCountChanges = Changes;
    KnownCountSize = Size;
    CountKnown = true;
    return KnownCount;
}

uint32_t TRecordsBitmap::CountBits() const {
    uint32_t n = 0;
    for (uint32_t w = 0; w < WordCount; ++w) {
        uint32_t word = Bits[w];
        if (word == 0) continue;
        if (word == AllOnes && (w + 1) * 32 <= Size) {
            n += 32;
            continue;
        }
        uint32_t bits = std::min<uint32_t>(32, Size - w * 32);
        uint32_t mask = bits == 32 ? AllOnes : (1u << bits) - 1;
        n += static_cast<uint32_t>(std::popcount(word & mask));
    }
    return n;
}

uint32_t TRecordsBitmap::CountBefore(int64_t r) const {
    if (r <= 1) return 0;
    uint32_t last = static_cast<uint32_t>(std::min<int64_t>(r - 1, Size));  // records 1..last
    uint32_t n = 0;
    uint32_t fullWords = last / 32;
    for (uint32_t w = 0; w < fullWords; ++w) {
        uint32_t word = Bits[w];
        n += word == AllOnes ? 32 : static_cast<uint32_t>(std::popcount(word));
    }
    if (last % 32 != 0)
        n += static_cast<uint32_t>(std::popcount(Bits[fullWords] & ((1u << (last % 32)) - 1)));
    return n;
}

bool TRecordsBitmap::StepForward(int32_t& r, int32_t n, int32_t& seq) const {
    if (n <= 0) return true;
    if (r < 0) r = 0;
    if (static_cast<int64_t>(r) + 1 > Size) return false;
    uint32_t i = static_cast<uint32_t>(r);  // 0-based index of record r + 1
    int32_t found = 0;
    while (i < Size) {
        uint32_t word = Bits[i / 32] >> (i % 32);
        if (word == 0) {
            i = (i / 32 + 1) * 32;
            continue;
        }
        i += static_cast<uint32_t>(std::countr_zero(word));
        if (i >= Size) break;
        r = static_cast<int32_t>(i + 1);
        ++seq;
        if (++found == n) return true;
        ++i;
    }
    return false;
}

bool TRecordsBitmap::StepBack(int32_t& r, int32_t n, int32_t& seq) const {
    if (r <= 1) return false;
    if (n <= 0) return true;
    int64_t i = std::min<int64_t>(r - 1, Size) - 1;  // 0-based index of the first record below
    int32_t found = 0;
    while (i >= 0) {
        uint32_t shift = 31 - static_cast<uint32_t>(i % 32);
        uint32_t word = Bits[i / 32] << shift;  // bits at and below i, moved to the top
        if (word == 0) {
            i = (i / 32) * 32 - 1;
            continue;
        }
        i -= std::countl_zero(word);
        r = static_cast<int32_t>(i + 1);
        --seq;
        if (++found == n) return true;
        --i;
    }
    return false;
}

void TRecordsBitmap::AndWith(const TRecordsBitmap& other) {
    ++Changes;
    for (uint32_t w = 0; w < WordCount; ++w) Bits[w] &= w < other.WordCount ? other.Bits[w] : 0;
    CheckInvariants();
}

void TRecordsBitmap::OrWith(const TRecordsBitmap& other) {
    ++Changes;
    uint32_t words = std::min(WordCount, other.WordCount);
    for (uint32_t w = 0; w < words; ++w) Bits[w] |= other.Bits[w];
    ClearPastSize();
    CheckInvariants();
}

void TRecordsBitmap::Invert() {
    ++Changes;
    for (uint32_t w = 0; w < WordCount; ++w) Bits[w] = ~Bits[w];
    ClearPastSize();
    CheckInvariants();
}

void TRecordsBitmap::ClearAll() {
    ++Changes;
    if (Capacity > 0) std::memset(Bits.get(), 0, Capacity);
}

void TRecordsBitmap::SetAll() {
    ++Changes;
    if (Capacity > 0) std::memset(Bits.get(), 0xFF, Capacity);
    ClearPastSize();
    CheckInvariants();
}

void TRecordsBitmap::Assign(const TRecordsBitmap& other) {
    ++Changes;
    if (other.Capacity == 0) {
        GrowStorage(0);
    } else {
        GrowStorage(other.Capacity);
    }
    Size = other.Size;
    RoundedSize = other.RoundedSize;
    WordCount = other.WordCount;
    if (other.Capacity > 0) std::memcpy(Bits.get(), other.Bits.get(), other.Capacity);
    ClearPastSize();
    CheckInvariants();
}

std::unique_ptr<TRecordsBitmap> TRecordsBitmapStack::Get() {
    TEngineLockGuard guard(Lock);
    if (Items.empty()) return std::make_unique<TRecordsBitmap>();
    std::unique_ptr<TRecordsBitmap> b = std::move(Items.back());
    Items.pop_back();
    b->ClearAll();
    return b;
}

void TRecordsBitmapStack::Release(std::unique_ptr<TRecordsBitmap>& b) {
    if (!b) return;
    TEngineLockGuard guard(Lock);
    if (Items.size() < MaxIdle)
        Items.push_back(std::move(b));
    else
        b.reset();
    b = nullptr;
}

void TRecordsBitmapStack::Clear() {
    TEngineLockGuard guard(Lock);
    while (!Items.empty()) Items.pop_back();
}

size_t TRecordsBitmapStack::IdleCount() {
    TEngineLockGuard guard(Lock);
    return Items.size();
}

void CreateRecordsBitmapPool() {
    if (!ThePool) ThePool = std::make_unique<TRecordsBitmapStack>();
}

void FreeRecordsBitmapPool() {
    ThePool.reset();
}

TRecordsBitmapStack* RecordsBitmapPool() {
    return ThePool.get();
}

std::unique_ptr<TRecordsBitmap> GetRecordsBitmap() {
    return ThePool ? ThePool->Get() : std::make_unique<TRecordsBitmap>();
}

void ReleaseRecordsBitmap(std::unique_ptr<TRecordsBitmap>& b) {
    if (ThePool)
        ThePool->Release(b);
    else
        b.reset();
}

}  // namespace dbengine
