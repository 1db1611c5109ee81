#include "dbengine/index/Page.h"

#include "dbengine/testsupport/EngineRun.h"
#include "dbengine/util/RecordsBitmap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <random>
#include <vector>

#include "dbengine/index/IndexCursor.h"
#include "dbengine/index/IndexFile.h"
#include "dbengine/index/IndexKeys.h"
#include "dbengine/index/testsupport/IndexTestSupport.h"

namespace dbengine {
namespace {

using testsupport::CodeOf;
using testsupport::TFakeIndexTable;
using testsupport::TreeDelete;
using testsupport::TreeInsert;
using testsupport::TTestCursor;

class BTreeTest : public ::testing::Test {
protected:
    void SetUp() override {
        InitializeEngine();
        file = std::make_unique<TIndexFile>(&table);
        file->FileName = "TREE.IDX";
        file->InMemory = true;
        file->CreateIndexFile();
        cursor = std::make_unique<TTestCursor>(file.get());
    }
    void TearDown() override {
        cursor.reset();
        file.reset();
        FinalizeEngine();
    }
    // Index 0 with the given key size and settings; keys compare as bytes (language 0).
    void UseIndex(uint16_t keySize, bool unique, uint8_t compression = 0) {
        TIndexDescriptor& d = file->Header.Descriptors[0];
        d = TIndexDescriptor{};
        d.KeySize = keySize;
        d.Unique = unique;
        d.Compression = compression;
        d.FieldCount = 1;
        d.FieldNumbers[0] = 1;
        cursor->CurrentIndex = 0;
    }
    std::vector<uint8_t> IntKey(int32_t v) {
        std::vector<uint8_t> key(file->GetIndexDesc(0).KeySize, 0);
        key[0] = 1;
        EncodeKeyInteger(v, key.data() + 1);
        return key;
    }
    TPage* Fetch(int32_t n) { return file->FetchPage(0, n); }

    TFakeIndexTable table;
    std::unique_ptr<TIndexFile> file;
    std::unique_ptr<TTestCursor> cursor;
};

TEST_F(BTreeTest, Capacities) {
    TPage page(file.get());
    page.SetIndexSettings(0, 5, false, true, false, 0);
    page.PageType = ptLeaf;
    EXPECT_EQ(page.Capacity(), 453);
    page.PageType = ptInner;
    EXPECT_EQ(page.Capacity(), 314);
    page.SetIndexSettings(SysTextIndex, 68, false, false, false, 3);
    EXPECT_EQ(page.Capacity(), 56);  // "Sys Text" inner pages carry no counts
    page.SetIndexSettings(1, 68, false, false, true, 0);
    EXPECT_EQ(page.Capacity(), 56);
    page.PageType = ptLeaf;
    page.SetIndexSettings(1, 68, false, false, false, 3);
    EXPECT_EQ(page.Capacity(), 0);  // compressed leaves are bounded by bytes
}

TEST_F(BTreeTest, RootLeafSplitsIntoTwoLeavesUnderANewRoot) {
    UseIndex(5, true);
    for (int i = 1; i <= 453; ++i) TreeInsert(*cursor, IntKey(i * 10).data(), i);
    TPage* root = Fetch(file->GetRootPage(0));
    EXPECT_EQ(root->PageType, ptLeafRoot);
    EXPECT_EQ(root->EntryCount, 453);
    file->ReleasePage(root);

    TreeInsert(*cursor, IntKey(4535).data(), 454);
    root = Fetch(file->GetRootPage(0));
    ASSERT_EQ(root->PageType, ptInnerRoot);
    ASSERT_EQ(root->EntryCount, 2);
    EXPECT_EQ(root->GetSubtreeCount(1), 227);
    EXPECT_EQ(root->GetSubtreeCount(2), 227);
    TPage* left = Fetch(root->GetValue(1));
    TPage* right = Fetch(root->GetValue(2));
    EXPECT_EQ(left->PageType, ptLeaf);
    EXPECT_EQ(right->PageType, ptLeaf);
    EXPECT_EQ(left->NextPage, right->PageNo);
    EXPECT_EQ(right->PrevPage, left->PageNo);
    EXPECT_EQ(std::memcmp(root->EntryKey(1), left->EntryKey(1), 5), 0);
    EXPECT_EQ(std::memcmp(root->EntryKey(2), right->EntryKey(1), 5), 0);
    EXPECT_EQ(std::memcmp(right->EntryKey(1), IntKey(2280).data(), 5), 0);
    EXPECT_EQ(root->TotalCount(), 454);
    EXPECT_EQ(root->CountBefore(2), 227);
    file->ReleasePage(left);
    file->ReleasePage(right);
    file->ReleasePage(root);
}

// Two leaves of 227 under a root; the left leaf loses keys.
class MergeTest : public BTreeTest {
protected:
    void SetUp() override {
        BTreeTest::SetUp();
        UseIndex(5, true);
        for (int i = 1; i <= 454; ++i) TreeInsert(*cursor, IntKey(i * 10).data(), i);
    }
};

TEST_F(MergeTest, BelowHalfWithASmallNeighbourMergesAndTheRootCollapses) {
    ASSERT_TRUE(TreeDelete(*cursor, IntKey(10).data()));  // 226: still half full
    TPage* root = Fetch(file->GetRootPage(0));
    EXPECT_EQ(root->PageType, ptInnerRoot);
    EXPECT_EQ(std::memcmp(root->EntryKey(1), IntKey(20).data(), 5), 0);  // first key follows
    file->ReleasePage(root);
    int32_t oldRoot = file->GetRootPage(0);

    ASSERT_TRUE(TreeDelete(*cursor, IntKey(20).data()));  // 225 + 227 = 452 < 453: merge
    root = Fetch(file->GetRootPage(0));
    EXPECT_NE(root->PageNo, oldRoot);
    EXPECT_EQ(root->PageType, ptLeafRoot);
    EXPECT_EQ(root->EntryCount, 452);
    EXPECT_EQ(root->PrevPage, 0);
    EXPECT_EQ(root->NextPage, 0);
    file->ReleasePage(root);
    // The emptied leaf and the old root went onto the free chain.
    EXPECT_NE(file->GetFreePage(0), 0);
}

TEST_F(MergeTest, BelowHalfWithAFullerNeighbourBorrows) {
    TreeInsert(*cursor, IntKey(4545).data(), 455);  // right leaf: 228
    TreeDelete(*cursor, IntKey(10).data());
    TreeDelete(*cursor, IntKey(20).data());  // 225 + 228 = 453: not below capacity
    TPage* root = Fetch(file->GetRootPage(0));
    ASSERT_EQ(root->PageType, ptInnerRoot);
    EXPECT_EQ(root->GetSubtreeCount(1), 226);
    EXPECT_EQ(root->GetSubtreeCount(2), 227);
    TPage* right = Fetch(root->GetValue(2));
    EXPECT_EQ(std::memcmp(root->EntryKey(2), right->EntryKey(1), 5), 0);
    EXPECT_EQ(std::memcmp(right->EntryKey(1), IntKey(2290).data(), 5), 0);  // 2280 moved left
    file->ReleasePage(right);
    file->ReleasePage(root);
}

TEST_F(BTreeTest, DeletingTheLastKeyEmptiesTheIndex) {
    UseIndex(5, true);
    TreeInsert(*cursor, IntKey(1).data(), 1);
    EXPECT_NE(file->GetRootPage(0), 0);
    EXPECT_FALSE(TreeDelete(*cursor, IntKey(2).data()));
    EXPECT_TRUE(TreeDelete(*cursor, IntKey(1).data()));
    EXPECT_EQ(file->GetRootPage(0), 0);
    EXPECT_EQ(file->GetFreePage(0), 1);
    TPage* root = nullptr;
    bool changed = true;
    EXPECT_FALSE(file->GetRootPage(*cursor, root, changed));
    EXPECT_FALSE(changed);
}

// A leaf of keys 10, 20, 30, 40, 50 with record numbers 7, 8, 9, 3, 2.
class LeafSearchTest : public BTreeTest {
protected:
    void SetUp() override {
        BTreeTest::SetUp();
        UseIndex(5, true);
        leaf = std::make_unique<TPage>(file.get());
        leaf->SetIndexSettings(0, 5, false, true, false, 0);
        leaf->PageType = ptLeaf;
        const int32_t records[] = {7, 8, 9, 3, 2};
        for (int i = 0; i < 5; ++i)
            leaf->SetValue(leaf->InsertEntry(i, IntKey((i + 1) * 10).data()), records[i]);
    }
    std::unique_ptr<TPage> leaf;
};

TEST_F(LeafSearchTest, FindPositions) {
    struct Case {
        int32_t key;
        int insertPos, exactPos;
        bool exact;
        int nearestBefore, nearestAfter, firstGE, lastLE;
    } cases[] = {
        {5, 0, 1, false, 1, 1, 1, 1}, {10, 1, 1, true, 1, 1, 1, 1},  {25, 2, 2, false, 2, 3, 3, 2},
        {50, 5, 5, true, 5, 5, 5, 5}, {60, 5, 5, false, 5, 5, 5, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        std::vector<uint8_t> key = IntKey(c.key);
        EXPECT_EQ(leaf->FindInsertPos(*cursor, key.data()), c.insertPos);
        int pos = 0;
        EXPECT_EQ(leaf->FindExact(*cursor, key.data(), pos), c.exact);
        EXPECT_EQ(pos, c.exactPos);
        int32_t count = 100;
        leaf->FindNearest(*cursor, key.data(), false, pos, count);
        EXPECT_EQ(pos, c.nearestBefore);
        EXPECT_EQ(count, 100 + pos - 1);
        count = 0;
        leaf->FindNearest(*cursor, key.data(), true, pos, count);
        EXPECT_EQ(pos, c.nearestAfter);
        count = 0;
        EXPECT_EQ(leaf->FindFirstGE(*cursor, key.data(), count), c.firstGE);
        EXPECT_EQ(count, c.firstGE - 1);
        count = 0;
        EXPECT_EQ(leaf->FindLastLE(*cursor, key.data(), count), c.lastLE);
    }
    int32_t count = 0;
    EXPECT_EQ(leaf->LastPos(count), 5);
    EXPECT_EQ(count, 4);
    // The entry a delete removes: the equal key's, else where the key would be.
    EXPECT_EQ(leaf->FindDeletePos(*cursor, IntKey(30).data()), 3);
    EXPECT_EQ(leaf->FindDeletePos(*cursor, IntKey(35).data()), 3);
    EXPECT_EQ(leaf->FindDeletePos(*cursor, IntKey(99).data()), 5);
}

TEST_F(LeafSearchTest, SettingTheEntryCountKeepsOrDropsEntries) {
    leaf->Dirty = false;
    leaf->SetEntryCount(3);
    EXPECT_EQ(leaf->EntryCount, 3);
    EXPECT_TRUE(leaf->Dirty);
    EXPECT_EQ(leaf->GetValue(3), 9);
    leaf->SetEntryCount(4);  // a new entry comes zeroed
    EXPECT_EQ(leaf->GetValue(4), 0);
    EXPECT_EQ(std::vector<uint8_t>(leaf->EntryKey(4), leaf->EntryKey(4) + 5), std::vector<uint8_t>(5, 0));
    leaf->SetEntryCount(0);
    EXPECT_EQ(leaf->TotalCount(), 0);
    EXPECT_EQ(CodeOf([&] { leaf->GetValue(1); }), 0);  // an empty page answers 0
}

TEST_F(LeafSearchTest, ScansRunsAndBitmaps) {
    int pos = 0;
    int32_t count = 0;
    EXPECT_TRUE(leaf->ScanForKey(*cursor, IntKey(30).data(), IntKey(50).data(), false, pos, count));
    EXPECT_EQ(pos, 3);
    EXPECT_EQ(count, 2);
    count = 0;
    EXPECT_FALSE(leaf->ScanForKey(*cursor, IntKey(35).data(), IntKey(50).data(), true, pos, count));
    EXPECT_EQ(pos, 4);  // exact on a leaf: no step back
    count = 0;
    EXPECT_FALSE(leaf->ScanForKey(*cursor, IntKey(35).data(), IntKey(50).data(), false, pos, count));
    EXPECT_EQ(pos, 3);
    EXPECT_EQ(count, 2);

    // Record numbers 7, 8, 9 run upward; 3, 2 downward.
    EXPECT_EQ(leaf->CountConsecutive(10, true, 1), 3);
    EXPECT_EQ(leaf->CountConsecutive(2, true, 1), 2);
    EXPECT_EQ(leaf->CountConsecutive(10, false, 3), 3);
    EXPECT_EQ(leaf->CountConsecutive(10, true, 4), 1);
    EXPECT_EQ(leaf->CountConsecutive(10, true, 5), 1);

    TRecordsBitmap bitmap;
    bitmap.SetSize(10);
    bitmap.SetBit(3);
    pos = 1;
    count = 0;
    EXPECT_TRUE(leaf->SkipUnmarkedForward(bitmap, pos, count));
    EXPECT_EQ(pos, 4);
    EXPECT_EQ(count, 3);
    pos = 5;
    EXPECT_TRUE(leaf->SkipUnmarkedBackward(bitmap, pos, count));
    EXPECT_EQ(pos, 4);
    pos = 1;
    EXPECT_FALSE(leaf->SkipUnmarkedForwardTo(*cursor, bitmap, IntKey(30).data(), pos, count));
    EXPECT_EQ(pos, 4);
    pos = 3;
    EXPECT_FALSE(leaf->SkipUnmarkedBackward(bitmap, pos, count));
    // Backwards down to a limit key: record 3 (key 40) is found from 50; from 30 the walk stops at
    // the limit 20 before reaching a marked entry.
    pos = 5;
    count = 10;
    EXPECT_TRUE(leaf->SkipUnmarkedBackwardTo(*cursor, bitmap, IntKey(20).data(), pos, count));
    EXPECT_EQ(pos, 4);
    EXPECT_EQ(count, 9);
    pos = 3;
    count = 10;
    EXPECT_FALSE(leaf->SkipUnmarkedBackwardTo(*cursor, bitmap, IntKey(20).data(), pos, count));
    EXPECT_EQ(pos, 1);
    EXPECT_EQ(count, 8);

    TRecordsBitmap marked;
    marked.SetSize(10);
    EXPECT_FALSE(leaf->MarkRangeInBitmap(*cursor, IntKey(35).data(), marked, 2));
    EXPECT_EQ(marked.Count(), 2u);
    EXPECT_TRUE(marked.Test(8) && marked.Test(9));
    EXPECT_TRUE(leaf->MarkRangeInBitmap(*cursor, IntKey(99).data(), marked, 4));
    EXPECT_EQ(marked.Count(), 4u);
}

TEST_F(BTreeTest, SplitOfTightlyCompressedLeavesNeedsNoFixedWorkArea) {
    // Keys that differ only in their record ID compress to 7 bytes: a leaf then holds far more
    // entries than three pages' worth of expanded entries would suggest.
    UseIndex(68, false, 3);
    GetEngineSession()->DataBufferSize = 8192 * 64;
    file->TrimCache();
    std::vector<uint8_t> key(68, 0);
    key[0] = 1;
    std::memcpy(key.data() + 3, "SAME", 4);
    for (int id = 1; id <= 1500; ++id) {
        EncodeKeyInteger(id, key.data() + 64);
        TreeInsert(*cursor, key.data(), id);
    }
    TPage* root = Fetch(file->GetRootPage(0));
    ASSERT_EQ(root->PageType, ptInnerRoot);
    TPage* first = Fetch(root->GetValue(1));
    EXPECT_GT(first->EntryCount * (68 + 10), 12249);
    EXPECT_LE(first->UsedBytes, 4083);
    EXPECT_EQ(root->TotalCount(), 1500);
    file->ReleasePage(first);
    file->ReleasePage(root);
}

// ---- Leaf compression ----

struct TCompressionCase {
    const char* what;
    uint8_t compression;
    bool unique;
    uint16_t keySize;
    std::vector<std::vector<uint8_t>> keys;
    std::vector<uint8_t> stored;  // the packed entries, record numbers 1, 2, ...
};

void PrintTo(const TCompressionCase& c, std::ostream* os) {
    *os << c.what;
}

class CompressionTest : public BTreeTest, public ::testing::WithParamInterface<TCompressionCase> {};

TEST_P(CompressionTest, PackedBytesAndRoundTrip) {
    const TCompressionCase& c = GetParam();
    UseIndex(c.keySize, c.unique, c.compression);
    TPage page(file.get());
    page.SetIndexSettings(0, c.keySize, false, c.unique, false, c.compression);
    page.PageType = ptLeaf;
    for (size_t i = 0; i < c.keys.size(); ++i) {
        int pos = page.InsertEntry(static_cast<int>(i), c.keys[i].data());
        page.SetValue(pos, static_cast<int32_t>(i + 1));
    }
    page.ComputeCompression();
    EXPECT_EQ(page.UsedBytes, c.stored.size());
    uint8_t buffer[4096];
    page.SaveToBuffer(buffer);
    EXPECT_EQ(std::vector<uint8_t>(buffer + 13, buffer + 13 + c.stored.size()), c.stored);
    EXPECT_EQ(buffer[13 + c.stored.size()], 0);

    TPage back(file.get());
    back.SetIndexSettings(0, c.keySize, false, c.unique, false, c.compression);
    back.LoadFromBuffer(buffer, false);
    ASSERT_EQ(back.EntryCount, c.keys.size());
    for (size_t i = 0; i < c.keys.size(); ++i) {
        EXPECT_EQ(std::vector<uint8_t>(back.EntryKey(static_cast<int>(i + 1)),
                                       back.EntryKey(static_cast<int>(i + 1)) + c.keySize),
                  c.keys[i]);
        EXPECT_EQ(back.GetValue(static_cast<int>(i + 1)), static_cast<int32_t>(i + 1));
    }
    EXPECT_EQ(back.UsedBytes, page.UsedBytes);
}

std::vector<uint8_t> Bytes(std::initializer_list<int> b) {
    return std::vector<uint8_t>(b.begin(), b.end());
}

INSTANTIATE_TEST_SUITE_P(
    Leaves, CompressionTest,
    ::testing::Values(TCompressionCase{"dupbyte",
                                       1,
                                       true,
                                       4,
                                       {Bytes({'A', 'B', 'C', 'D'}), Bytes({'A', 'B', 'C', 'E'})},
                                       Bytes({0, 'A', 'B', 'C', 'D', 1, 0, 0, 0, 3, 'E', 2, 0, 0, 0})},
                      TCompressionCase{"trailbyte unique",
                                       2,
                                       true,
                                       8,
                                       {Bytes({'A', 'B', 0, 0, 0, 0, 0, 0})},
                                       Bytes({6, 'A', 'B', 1, 0, 0, 0})},
                      // Non-unique: the zeros counted end before the 4-byte record-ID suffix.
                      TCompressionCase{"trailbyte non-unique",
                                       2,
                                       false,
                                       9,
                                       {Bytes({1, 0x80, 0, 0, 0, 0x80, 0, 0, 5})},
                                       Bytes({3, 1, 0x80, 0x80, 0, 0, 5, 1, 0, 0, 0})},
                      TCompressionCase{"full non-unique",
                                       3,
                                       false,
                                       12,
                                       {Bytes({1, 'C', 'A', 'T', 0, 0, 0, 0, 0x80, 0, 0, 1}),
                                        Bytes({1, 'C', 'A', 'T', 0, 0, 0, 0, 0x80, 0, 0, 9}),
                                        Bytes({1, 'C', 'O', 0, 0, 0, 0, 0, 0x80, 0, 0, 2})},
                                       Bytes({0,  4, 1,   'C',  'A', 'T', 0x80, 0, 0, 1, 1, 0, 0, 0,  // first
                                              11, 0, 9,   2,    0,   0,   0,  // K - P < 5
                                              2,  5, 'O', 0x80, 0,   0,   2,    3, 0, 0, 0})},
                      TCompressionCase{
                          "full unique",
                          3,
                          true,
                          6,
                          {Bytes({1, 'A', 'B', 0, 0, 0}), Bytes({1, 'A', 'B', 'C', 0, 0})},
                          Bytes({0, 3, 1, 'A', 'B', 1, 0, 0, 0, 3, 2, 'C', 2, 0, 0, 0})}),
    [](const auto& info) {
        std::string name = info.param.what;
        for (char& ch : name)
            if (ch == ' ' || ch == '-') ch = '_';
        return name;
    });

TEST_F(BTreeTest, DamagedPagesRaise8965) {
    UseIndex(5, true, 1);
    TPage page(file.get());
    page.SetIndexSettings(0, 5, false, true, false, 1);
    page.PageType = ptLeaf;
    page.UsedBytes = 4084;
    page.EntryCount = 0;
    uint8_t buffer[4096] = {};
    page.InsertEntry(0, IntKey(1).data());
    page.UsedBytes = 4084;
    EXPECT_EQ(CodeOf([&] { page.SaveToBuffer(buffer); }), DBE_INDEXCORRUPT);

    struct Case {
        const char* what;
        uint8_t compression;
        std::function<void(uint8_t*)> damage;
    } cases[] = {
        {"unknown page type", 0, [](uint8_t* b) { b[0] = 9; }},
        {"more entries than fit", 0, [](uint8_t* b) { PutLE16(b + 1, 454); }},
        {"compressed entries past the page", 1, [](uint8_t* b) { PutLE16(b + 1, 816); }},
        {"prefix longer than the key", 1,
         [](uint8_t* b) {
             PutLE16(b + 1, 2);
             b[13 + 10] = 6;
         }},
        {"too many dropped zeros", 2,
         [](uint8_t* b) {
             PutLE16(b + 1, 1);
             b[13] = 7;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        uint8_t raw[4096] = {};
        raw[0] = ptLeaf;
        c.damage(raw);
        TPage p(file.get());
        p.SetIndexSettings(0, 5, false, true, false, c.compression);
        EXPECT_EQ(CodeOf([&] { p.LoadFromBuffer(raw, false); }), DBE_INDEXCORRUPT);
    }
    TPage empty(file.get());
    empty.SetIndexSettings(0, 5, false, true, false, 0);
    EXPECT_EQ(CodeOf([&] { empty.FindInsertPos(*cursor, IntKey(1).data()); }), DBE_INDEXCORRUPT);
}

TEST_F(BTreeTest, CompressedLeavesSplitByBytesAndLeaveOnlyWhenEmpty) {
    UseIndex(68, false, 3);
    // Words of varying length under one field number: prefixes and zeros compress unevenly.
    auto word = [&](int i) {
        std::vector<uint8_t> key(68, 0);
        key[0] = 1;
        key[2] = 3;
        std::string w = "W" + std::to_string(i * 7919 % 100000) + std::string(i % 40, 'X');
        std::memcpy(key.data() + 3, w.data(), w.size());
        EncodeKeyInteger(i, key.data() + 64);
        return key;
    };
    GetEngineSession()->DataBufferSize = 8192 * 256;
    file->TrimCache();
    for (int i = 1; i <= 1500; ++i) TreeInsert(*cursor, word(i).data(), i);
    TPage* root = Fetch(file->GetRootPage(0));
    ASSERT_EQ(root->PageType, ptInnerRoot);
    EXPECT_EQ(root->TotalCount(), 1500);
    int32_t leafNo = root->GetValue(1);
    file->ReleasePage(root);
    TPage* leaf = Fetch(leafNo);
    EXPECT_LE(leaf->UsedBytes, 4083);
    std::vector<std::vector<uint8_t>> keys;
    for (int i = 1; i <= leaf->EntryCount; ++i) keys.emplace_back(leaf->EntryKey(i), leaf->EntryKey(i) + 68);
    int32_t next = leaf->NextPage;
    file->ReleasePage(leaf);
    // A compressed leaf keeps its last entry as long as it has one; then it leaves the level.
    for (size_t i = 0; i + 1 < keys.size(); ++i) ASSERT_TRUE(TreeDelete(*cursor, keys[i].data()));
    leaf = Fetch(leafNo);
    EXPECT_EQ(leaf->EntryCount, 1);
    file->ReleasePage(leaf);
    ASSERT_TRUE(TreeDelete(*cursor, keys.back().data()));
    TPage* after = Fetch(next);
    EXPECT_EQ(after->PrevPage, 0);
    file->ReleasePage(after);
    EXPECT_EQ(file->GetFreePage(0), leafNo);
}

// ---- Property test: random inserts and deletes against an ordered multiset ----

class BTreeProperty : public BTreeTest {
protected:
    using TItem = std::pair<uint32_t, int32_t>;  // value, record ID
    // Large keys keep pages small (20 entries), so a few hundred keys make a three-level tree.
    static constexpr uint16_t K = 200;

    std::vector<uint8_t> KeyOf(const TItem& item) {
        std::vector<uint8_t> key(K, 0);
        key[0] = 1;
        key[1] = static_cast<uint8_t>(item.first >> 8);
        key[2] = static_cast<uint8_t>(item.first);
        // A filler that depends on the value: compressed leaves then share long prefixes only
        // between equal values and still fill up.
        std::memset(key.data() + 3, 'A' + item.first % 26, item.first % 150);
        EncodeKeyInteger(item.second, key.data() + K - 4);
        return key;
    }
    TItem ItemOf(const uint8_t* key) {
        uint32_t v = (key[1] << 8) | key[2];
        uint8_t id[4];
        std::memcpy(id, key + K - 4, 4);
        auto raw = static_cast<uint32_t>(id[0] << 24 | id[1] << 16 | id[2] << 8 | id[3]);
        return {v, static_cast<int32_t>(raw ^ 0x80000000u)};
    }

    struct TSubtree {
        int32_t count = 0;
        std::array<uint8_t, K> firstKey{};
    };

    TSubtree Check(int32_t pageNo, size_t depth) {
        TPage* page = Fetch(pageNo);
        EXPECT_EQ(page->PinCount, 1) << "page " << pageNo << " left pinned";
        if (levels.size() <= depth) levels.resize(depth + 1);
        levels[depth].push_back({pageNo, page->PrevPage, page->NextPage});
        TSubtree result;
        bool root = depth == 0;
        if (!root && !page->IsCompressedLeaf()) {
            EXPECT_GE(page->EntryCount, page->Capacity() / 2);
        }
        EXPECT_GE(page->EntryCount, root && page->IsInner() ? 2 : 1);
        if (page->IsLeaf()) {
            EXPECT_EQ(page->PageType, root ? ptLeafRoot : ptLeaf);
            if (leafDepth < 0) leafDepth = static_cast<int>(depth);
            EXPECT_EQ(leafDepth, static_cast<int>(depth));
            // Plain comparisons per entry: this runs for every entry after every step.
            for (int i = 1; i <= page->EntryCount; ++i) {
                TItem item = ItemOf(page->EntryKey(i));
                if (page->GetValue(i) != item.second) ADD_FAILURE() << "record number of entry " << i;
                leafItems.push_back(item);
            }
            result.count = page->EntryCount;
            if (page->IsCompressedLeaf()) {
                // Inserts and deletes update compression around the changed entry only; it must
                // come out as a recomputation of the whole leaf does.
                TPage whole;
                whole.Assign(*page);
                whole.ComputeCompression();
                EXPECT_EQ(whole.UsedBytes, page->UsedBytes) << "used bytes of page " << pageNo;
                std::array<uint8_t, PageDataSize> kept{}, recomputed{};
                page->PackEntries(kept.data());
                whole.PackEntries(recomputed.data());
                if (kept != recomputed) ADD_FAILURE() << "packed entries of page " << pageNo;
            }
        } else {
            EXPECT_EQ(page->PageType, root ? ptInnerRoot : ptInner);
            for (int i = 1; i <= page->EntryCount; ++i) {
                TSubtree child = Check(page->GetValue(i), depth + 1);
                if (page->GetSubtreeCount(i) != child.count)
                    ADD_FAILURE() << "subtree count of page " << pageNo << " entry " << i;
                if (std::memcmp(page->EntryKey(i), child.firstKey.data(), K) != 0)
                    ADD_FAILURE() << "key of page " << pageNo << " entry " << i
                                  << " is not its child's first";
                result.count += child.count;
            }
        }
        if (page->EntryCount > 0) std::memcpy(result.firstKey.data(), page->EntryKey(1), K);
        file->ReleasePage(page);
        return result;
    }

    void CheckInvariants(const std::vector<TItem>& expected, std::mt19937& random, int step) {
        SCOPED_TRACE(testing::Message() << "step " << step);
        levels.clear();
        leafItems.clear();
        leafDepth = -1;
        int32_t root = file->GetRootPage(0);
        int32_t treePages = 0;
        if (root == 0) {
            EXPECT_TRUE(expected.empty());
        } else {
            Check(root, 0);
            for (const auto& level : levels) {
                treePages += static_cast<int32_t>(level.size());
                for (size_t i = 0; i < level.size(); ++i) {
                    EXPECT_EQ(level[i].Prev, i == 0 ? 0 : level[i - 1].PageNo);
                    EXPECT_EQ(level[i].Next, i + 1 == level.size() ? 0 : level[i + 1].PageNo);
                }
            }
        }
        ASSERT_TRUE(std::equal(leafItems.begin(), leafItems.end(), expected.begin(), expected.end()))
            << "leaf order differs from the multiset";
        // No page is lost: every page is in the tree or on the free chain.
        int32_t freePages = 0;
        for (int32_t p = file->GetFreePage(0); p != 0 && freePages <= file->GetPageCount(); ++freePages) {
            TPage* page = Fetch(p);
            p = page->NextPage;
            file->ReleasePage(page);
        }
        EXPECT_EQ(treePages + freePages, file->GetPageCount());
        // Ranks from the subtree counts: descend to the first key not below a probe.
        for (int probe = 0; probe < 2 && root != 0; ++probe) {
            TItem wanted{random() % ValueRange, static_cast<int32_t>(random() % (NextId + 1))};
            std::vector<uint8_t> key = KeyOf(wanted);
            int32_t count = 0;
            int32_t pageNo = root;
            int32_t rank = 0;
            for (;;) {
                TPage* page = Fetch(pageNo);
                int pos = page->FindFirstGE(*cursor, key.data(), count);
                if (page->IsLeaf()) {
                    rank = count + (cursor->CompareKeys(page->EntryKey(pos), key.data(), K) < 0 ? 1 : 0);
                    file->ReleasePage(page);
                    break;
                }
                pageNo = page->GetValue(pos);
                file->ReleasePage(page);
            }
            EXPECT_EQ(rank, std::lower_bound(expected.begin(), expected.end(), wanted) - expected.begin());
        }
    }

    // With smallCache, an exclusive table's cache of two pages: changed pages leave it for the
    // held-back store and come back from there at every step.
    void Run(int steps, uint8_t compression, bool unique = false, bool smallCache = false) {
        UseIndex(K, unique, compression);
        table.Exclusive = smallCache;
        GetEngineSession()->DataBufferSize = smallCache ? 16384 : 8192 * 512;  // 512: every page stays cached
        file->TrimCache();
        size_t mostHeldBack = 0;
        std::mt19937 random(20240611u + compression);
        std::vector<TItem> expected;  // the ordered multiset, kept sorted
        for (int step = 0; step < steps; ++step) {
            // Waves: grow for a while, then shrink (to empty, now and then).
            bool growing = (step / 1000) % 2 == 0;
            bool insert = expected.empty() || random() % 100 < (growing ? 70u : 20u);
            if (insert && unique) {
                // The insert of a unique index finds an equal key on its way down: refused, the
                // tree (counts too) stays as it was.
                if (!expected.empty() && random() % 5 == 0) {
                    const TItem& held = expected[random() % expected.size()];
                    EXPECT_FALSE(InsertNewTreeKey(*cursor, KeyOf(held).data(), held.second))
                        << "step " << step;
                }
                TItem item{random() % ValueRange, ++NextId};
                const bool present = FindTreeKey(*cursor, KeyOf(item).data());
                EXPECT_EQ(InsertNewTreeKey(*cursor, KeyOf(item).data(), item.second), !present)
                    << "step " << step;
                if (!present) expected.insert(std::upper_bound(expected.begin(), expected.end(), item), item);
            } else if (insert) {
                TItem item{random() % ValueRange, ++NextId};
                TreeInsert(*cursor, KeyOf(item).data(), item.second);
                expected.insert(std::upper_bound(expected.begin(), expected.end(), item), item);
            } else if (random() % 10 == 0) {
                TItem missing{random() % ValueRange, NextId + 1};
                EXPECT_FALSE(TreeDelete(*cursor, KeyOf(missing).data()));
            } else {
                auto it = expected.begin() + static_cast<std::ptrdiff_t>(random() % expected.size());
                ASSERT_TRUE(TreeDelete(*cursor, KeyOf(*it).data())) << "step " << step;
                expected.erase(it);
            }
            CheckInvariants(expected, random, step);
            if (HasFatalFailure() || HasFailure()) return;
            mostHeldBack = std::max(mostHeldBack, file->HeldBackPageCount());
            deepest = std::max(deepest, levels.size());
            if (expected.empty() && step > 0) ++emptied;
        }
        // The walk must have seen deep trees and an index emptied and grown again.
        EXPECT_GE(deepest, compression == icNone ? 3u : 2u);
        EXPECT_GT(emptied, 0);
        if (smallCache) {
            EXPECT_GT(mostHeldBack, 10u);
            // The flush writes every held-back page; the tree read back from the file is the same.
            file->FlushPages(false);
            EXPECT_EQ(file->HeldBackPageCount(), 0u);
            EXPECT_EQ(file->HeldBackBytes(), 0);
            file->DropPages(false);
            CheckInvariants(expected, random, steps);
        }
    }
    size_t deepest = 0;
    int emptied = 0;

    static constexpr uint32_t ValueRange = 300;
    int32_t NextId = 0;
    struct TLink {
        int32_t PageNo, Prev, Next;
    };
    std::vector<std::vector<TLink>> levels;  // pages of each level, left to right
    std::vector<TItem> leafItems;
    int leafDepth = -1;
};

TEST_F(BTreeProperty, RandomInsertsAndDeletesKeepTheTreeExact) {
    Run(20000, icNone);
}

TEST_F(BTreeProperty, RandomInsertsAndDeletesWithCompressedLeaves) {
    Run(4000, icFull);
}

TEST_F(BTreeProperty, RandomInsertsAndDeletesWithPrefixOnlyLeaves) {
    Run(2000, icDupByte);
}

TEST_F(BTreeProperty, RandomInsertsAndDeletesWithTrailingZerosOnlyLeaves) {
    Run(2000, icTrailByte);
}

TEST_F(BTreeProperty, RandomInsertsAndDeletesWithCompressedUniqueLeaves) {
    Run(2000, icFull, true);
}

TEST_F(BTreeProperty, RandomInsertsAndDeletesThroughTheSmallCacheOfAnExclusiveTable) {
    Run(3000, icFull, true, true);
}

}  // namespace
}  // namespace dbengine
