#include "dbengine/index/Page.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "dbengine/session/EngineError.h"
#include "dbengine/util/Coding.h"

namespace dbengine {
namespace {

TEngineErrorCode CodeOf(auto&& f) {
    try {
        f();
    } catch (const EDbEngineError& e) {
        return e.ErrorCode;
    }
    return 0;
}

// A leaf of sorted keys that share prefixes and end in zeros, as real keys do.
void FillLeaf(TPage& page, std::mt19937& rng, int count) {
    std::vector<std::vector<uint8_t>> keys;
    for (int i = 0; i < count; ++i) {
        std::vector<uint8_t> key(page.KeySize, 0);
        size_t text = rng() % (page.KeySize + 1);
        for (size_t b = 0; b < text; ++b) key[b] = static_cast<uint8_t>('a' + rng() % 3);
        if (!page.Unique && page.KeySize >= 4)
            for (size_t b = page.KeySize - 4; b < page.KeySize; ++b) key[b] = static_cast<uint8_t>(rng());
        keys.push_back(key);
    }
    std::sort(keys.begin(), keys.end());
    page.SetEntryCount(static_cast<uint16_t>(count));
    for (int i = 1; i <= count; ++i) {
        std::copy(keys[i - 1].begin(), keys[i - 1].end(), page.KeyAt(i));
        page.SetValueAt(i, 1000 + i);
    }
    page.ComputeCompression();
}

TEST(PageTest, EveryEntryFormatRoundTrips) {
    std::mt19937 rng(99);
    for (uint8_t compression = 0; compression <= 3; ++compression) {
        for (bool unique : {true, false}) {
            for (uint16_t keySize : {5, 9, 30, 68, 300}) {
                SCOPED_TRACE(::testing::Message() << int(compression) << " " << unique << " " << keySize);
                TPage page(nullptr);
                page.KeySize = keySize;
                page.Unique = unique;
                page.Compression = compression;
                page.PageType = ptLeaf;
                page.PrevPage = 7;
                page.NextPage = 9;
                int count = static_cast<int>(std::min<size_t>(40, PageDataSize / (keySize + 4)));
                FillLeaf(page, rng, count);
                uint8_t buffer[4096];
                page.SaveToBuffer(buffer);
                EXPECT_EQ(buffer[0], ptLeaf);
                EXPECT_EQ(GetUInt16(buffer + 1), count);
                EXPECT_EQ(GetInt32(buffer + 3), 7);
                EXPECT_EQ(GetInt32(buffer + 7), 9);
                if (compression != 0) {
                    EXPECT_EQ(GetUInt16(buffer + 11), page.UsedBytes);
                    // Bytes past the entries are zero.
                    for (size_t i = 13 + page.UsedBytes; i < 4096; ++i) ASSERT_EQ(buffer[i], 0) << i;
                }
                TPage back(nullptr);
                back.KeySize = keySize;
                back.Unique = unique;
                back.Compression = compression;
                back.LoadFromBuffer(buffer, false);
                ASSERT_EQ(back.EntryCount, count);
                for (int i = 1; i <= count; ++i) {
                    ASSERT_TRUE(std::equal(page.KeyAt(i), page.KeyAt(i) + keySize, back.KeyAt(i))) << i;
                    ASSERT_EQ(back.ValueAt(i), 1000 + i);
                }
                EXPECT_FALSE(back.Dirty);
                TPage headerOnly(nullptr);
                headerOnly.KeySize = keySize;
                headerOnly.LoadFromBuffer(buffer, true);
                EXPECT_EQ(headerOnly.EntryCount, 0);
                EXPECT_EQ(headerOnly.NextPage, 9);
            }
        }
    }
}

TEST(PageTest, CompressedSizes) {
    TPage page(nullptr);
    page.KeySize = 8;
    page.Unique = false;
    page.PageType = ptLeafRoot;
    page.SetEntryCount(2);
    // "ab" then zeros, then the 4-byte ID suffix; the second key shares "ab".
    const uint8_t k1[8] = {'a', 'b', 0, 0, 1, 2, 3, 4};
    const uint8_t k2[8] = {'a', 'b', 'c', 0, 5, 6, 7, 8};
    std::copy(k1, k1 + 8, page.KeyAt(1));
    std::copy(k2, k2 + 8, page.KeyAt(2));
    struct Case {
        uint8_t Compression;
        uint16_t Used;
    };
    // 1: P 0 and 2 -> 13 + 11; 2: S 2 and 1 -> 11 + 12; 3: (P 0, S 2) 12 and (P 2, K-P 6: S 1) 11.
    for (Case c : {Case{1, 24}, Case{2, 23}, Case{3, 23}}) {
        page.Compression = c.Compression;
        page.ComputeCompression();
        EXPECT_EQ(page.UsedBytes, c.Used) << int(c.Compression);
    }
    page.Compression = 0;
    page.ComputeCompression();
    EXPECT_EQ(page.UsedBytes, 0);
}

TEST(PageTest, DamagedPagesRaiseTheIndexError) {
    struct Case {
        const char* What;
        uint8_t Type, Compression;
        uint16_t Count;
        uint8_t FirstByte;
    };
    const Case cases[] = {
        {"count beyond the page", ptLeaf, 0, 2000, 0},
        {"uncompressed entries past the end", ptLeaf, 0, 400, 0},
        {"inner entries past the end", ptInner, 0, 300, 0},
        {"dropped zeros beyond the key", ptLeaf, 2, 1, 200},
        {"compressed entries past the end", ptLeaf, 1, 800, 0},
    };
    for (const Case& c : cases) {
        uint8_t buffer[4096] = {};
        buffer[0] = c.Type;
        PutUInt16(buffer + 1, c.Count);
        buffer[13] = c.FirstByte;
        TPage page(nullptr);
        page.KeySize = 10;
        page.Unique = true;
        page.Compression = c.Compression;
        EXPECT_EQ(CodeOf([&] { page.LoadFromBuffer(buffer, false); }), DBE_INDEXCORRUPT) << c.What;
    }
    // A compressed leaf whose entries do not fit cannot be written.
    TPage full(nullptr);
    full.KeySize = 100;
    full.Unique = true;
    full.Compression = 1;
    full.PageType = ptLeaf;
    std::mt19937 rng(1);
    FillLeaf(full, rng, 60);
    uint8_t buffer[4096];
    EXPECT_GT(full.UsedBytes, PageDataSize);
    EXPECT_EQ(CodeOf([&] { full.SaveToBuffer(buffer); }), DBE_INDEXCORRUPT);
    // A free page is written with no entries.
    full.IsFree = true;
    full.SaveToBuffer(buffer);
    EXPECT_EQ(GetUInt16(buffer + 1), 0);
    EXPECT_EQ(buffer[13], 0);
}

}  // namespace
}  // namespace dbengine
