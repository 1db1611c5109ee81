#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <numeric>
#include <random>

#include "dbengine/cursor/DataCursor.h"
#include "dbengine/expr/ExpTypeCheck.h"
#include "dbengine/expr/ExpressionParser.h"
#include "dbengine/index/IndexKeys.h"
#include "dbengine/index/testsupport/IndexTestSupport.h"
#include "dbengine/testsupport/CalculatedField.h"
#include "dbengine/testsupport/CursorTestAccess.h"
#include "dbengine/testsupport/Descriptors.h"
#include "dbengine/testsupport/TableFixture.h"
#include "framework/core/SysUtils.h"

namespace dbengine {
namespace {

using testsupport::CodeOf;
using testsupport::Field;
using testsupport::Index;

struct TRow {
    std::string Name;
    std::string City;
    int32_t Count;
};

// Name (string 20), City (string 20), Count (integer); the primary index on Name (or the engine's
// own record order), "ByCount" (not unique) and "ByCityName" (City, Name; unique).
class CursorNavigationTest : public testsupport::TableFixture {
protected:
    void Create(bool userPrimary) {
        TTableDefinition def;
        def.Fields = {Field(1, "Name", fldString, 20), Field(2, "City", fldString, 20),
                      Field(3, "Count", fldInteger)};
        if (userPrimary) def.PrimaryIndex = Index("", {1}, true);
        def.SecondaryIndexes = {Index("ByCount", {3}, false), Index("ByCityName", {2, 1}, true),
                                Index("CountDown", {3}, false)};
        def.SecondaryIndexes[2].Descending = 1;
        TDataCursor creator(Database);
        creator.SetTableName("T");
        creator.SetExclusive(true);
        creator.CreateTable(def, !userPrimary, false);
    }

    std::unique_ptr<TDataCursor> Open(bool querySource = false) {
        auto c = std::make_unique<TDataCursor>(Database);
        c->SetTableName("T");
        c->SetQuerySource(querySource);
        c->OpenCursor();
        return c;
    }

    static uint16_t Offset(TDataTable& t, uint16_t field) {
        return t.DataFile->GetFieldDescriptor(field).Offset;
    }

    // Writes a record and enters its keys in every index, as an insert through a cursor would.
    // primaryOnly leaves the secondary indexes out (tests that never select them, for speed).
    static int32_t Insert(TDataTable& t, const TRow& row, bool primaryOnly = false) {
        int32_t r = t.DataFile->RecordCount() + 1;
        TRecord* rec = nullptr;
        EXPECT_TRUE(t.DataFile->GetRecord(nullptr, r, 1, false, false, rec));
        rec->Init(true);
        uint8_t* d = rec->Data();
        d[Offset(t, 1)] = 1;
        std::memcpy(d + Offset(t, 1) + 1, row.Name.c_str(), row.Name.size() + 1);
        d[Offset(t, 2)] = 1;
        std::memcpy(d + Offset(t, 2) + 1, row.City.c_str(), row.City.size() + 1);
        d[Offset(t, 3)] = 1;
        PutInt32(d + Offset(t, 3) + 1, row.Count);
        rec->Modified = true;
        ForEachKey(
            t, d, [&](TIndexCursor& ic, const uint8_t* key) { testsupport::TreeInsert(ic, key, r); },
            primaryOnly);
        t.IndexFile->IncRecordCount();
        t.DataFile->ReleaseRecord(rec);
        return r;
    }

    // Takes a record's keys out of every index and marks it deleted.
    static void Delete(TDataTable& t, int32_t r) {
        TRecord* rec = nullptr;
        ASSERT_TRUE(t.DataFile->GetRecord(nullptr, r, 1, false, false, rec));
        ForEachKey(t, rec->Data(), [&](TIndexCursor& ic, const uint8_t* key) {
            EXPECT_TRUE(testsupport::TreeDelete(ic, key));
        });
        rec->SetStatus(1);
        TIndexCursor ic(t.IndexFile.get());
        ic.CurrentIndex = SysDeletedIndex;
        uint8_t key[SysDeletedKeySize];
        BuildRecordIdKey(rec->Data(), key, rec->Data());
        testsupport::TreeInsert(ic, key, r);
        t.IndexFile->DecRecordCount();
        t.DataFile->ReleaseRecord(rec);
    }

    template <typename F>
    static void ForEachKey(TDataTable& t, const uint8_t* record, F&& f, bool primaryOnly = false) {
        TIndexCursor ic(t.IndexFile.get());
        std::vector<uint8_t> key(MaxKeyFieldPart);
        for (int i = 0; i <= (primaryOnly ? 0 : t.IndexFile->GetIndexCount()); ++i) {
            if (i == 0 && t.IndexFile->GetInternalPrimaryIndex()) continue;
            ic.CurrentIndex = static_cast<uint8_t>(i);
            BuildKey(*t.IndexFile, ic.CurrentIndex, 0, 0, record, key.data(), record);
            f(ic, key.data());
        }
        ic.CurrentIndex = SysDeletedIndex;
        BuildRecordIdKey(record, key.data(), record);
        f(ic, key.data());
    }

    // A record buffer of the cursor's size holding the given values (record ID 0).
    std::vector<uint8_t> Buffer(TDataCursor& c, const TRow& row) {
        std::vector<uint8_t> b(c.GetRecordSize(), 0);
        b[Offset(*c.GetTable(), 1)] = 1;
        std::memcpy(b.data() + Offset(*c.GetTable(), 1) + 1, row.Name.c_str(), row.Name.size() + 1);
        b[Offset(*c.GetTable(), 2)] = 1;
        std::memcpy(b.data() + Offset(*c.GetTable(), 2) + 1, row.City.c_str(), row.City.size() + 1);
        b[Offset(*c.GetTable(), 3)] = 1;
        PutInt32(b.data() + Offset(*c.GetTable(), 3) + 1, row.Count);
        return b;
    }

    static std::string NameOf(TDataCursor& c) {
        return reinterpret_cast<const char*>(c.GetRecordObject()->Data() + Offset(*c.GetTable(), 1) + 1);
    }
    static int32_t CountOf(TDataCursor& c) {
        return GetInt32(c.GetRecordObject()->Data() + Offset(*c.GetTable(), 3) + 1);
    }

    // Names in the order the cursor walks them from its beginning.
    static std::vector<std::string> Walk(TDataCursor& c) {
        std::vector<std::string> names;
        c.SetToBegin();
        while (c.GetNextRecord(nullptr) == 0) names.push_back(NameOf(c));
        return names;
    }

    void Fill(TDataCursor& c, const std::vector<TRow>& rows) {
        for (const TRow& row : rows) Insert(*c.GetTable(), row);
        c.Refresh();
    }

    const std::vector<TRow> Rows = {{"Evans", "Rome", 50},  {"Baker", "Paris", 20}, {"Adams", "Oslo", 10},
                                    {"Davis", "Paris", 40}, {"Clark", "Bonn", 30},  {"Bakst", "Lima", 30}};
};

TEST_F(CursorNavigationTest, OpensOnThePrimaryIndexBeforeTheFirstRecord) {
    Create(true);
    auto c = Open();
    Fill(*c, Rows);
    EXPECT_EQ(c->CurrentIndex, 0);
    EXPECT_FALSE(c->IsNaturalOrder());
    EXPECT_EQ(Walk(*c), (std::vector<std::string>{"Adams", "Baker", "Bakst", "Clark", "Davis", "Evans"}));
    c->SetIndexName("bycount");
    EXPECT_EQ(c->CurrentIndex, 1);
    EXPECT_EQ(Walk(*c), (std::vector<std::string>{"Adams", "Baker", "Clark", "Bakst", "Davis", "Evans"}));
    EXPECT_EQ(CodeOf([&] { c->SetIndexName("NoSuchIndex"); }), DBE_INVALIDINDEXNAME);
    EXPECT_EQ(CodeOf([&] { c->SetIndexName("Sys Deleted"); }), DBE_INVALIDINDEXNAME);

    // A fresh cursor on the filled table stands before its first record.
    auto d = Open();
    EXPECT_EQ(d->GetCurrentRecord(nullptr, false), DBE_BOF);
    EXPECT_EQ(d->GetNextRecord(nullptr), 0);
    EXPECT_EQ(NameOf(*d), "Adams");
}

TEST_F(CursorNavigationTest, FindKey) {
    Create(true);
    auto c = Open();
    Fill(*c, Rows);
    struct TCase {
        const char* Index;
        TRow Key;
        int FieldCount;
        bool Nearest;
        int PartialLength;
        bool Found;
        const char* StandsOn;  // "" : where it stood before
    };
    const TCase cases[] = {
        // Unique index, field count 0: the whole key.
        {"", {"Clark", "", 0}, 0, false, 0, true, "Clark"},
        {"", {"Clar", "", 0}, 0, false, 0, false, ""},
        {"", {"Clar", "", 0}, 0, true, 0, false, "Clark"},
        // Not unique: a prefix over every field, the record ID left out.
        {"ByCount", {"", "", 40}, 0, false, 0, true, "Davis"},
        {"ByCount", {"", "", 30}, 0, false, 0, true, "Clark"},
        // A failing prefix search stands on the next key all the same.
        {"ByCount", {"", "", 35}, 0, false, 0, false, "Davis"},
        // One field and three characters of the next.
        {"ByCityName", {"Bakxx", "Paris", 0}, 1, false, 3, true, "Baker"},
        {"ByCityName", {"Dav", "Paris", 0}, 1, false, 3, true, "Davis"},
        {"ByCityName", {"Zed", "Paris", 0}, 1, false, 3, false, "Evans"},
        // A failing whole-key search stays where it was.
        {"ByCityName", {"Zed", "Paris", 0}, 0, false, 0, false, ""},
        // Nearest beyond the last key: the last record, not found.
        {"", {"Zz", "", 0}, 0, true, 0, false, "Evans"},
        {"ByCount", {"", "", 99}, 0, true, 0, false, "Evans"},
    };
    for (const TCase& k : cases) {
        SCOPED_TRACE(std::string(k.Index) + "/" + k.Key.Name + "/" + std::to_string(k.Key.Count));
        c->SetIndexName(k.Index);
        c->SetToBegin();
        c->GetNextRecord(nullptr);
        c->GetNextRecord(nullptr);
        std::string before = NameOf(*c);
        std::vector<uint8_t> out(c->GetRecordSize(), 0xEE);
        auto key = Buffer(*c, k.Key);
        EXPECT_EQ(c->FindKey(false, key.data(), k.FieldCount, k.Nearest, k.PartialLength, out.data()),
                  k.Found);
        std::string expected = *k.StandsOn != 0 ? k.StandsOn : before;
        EXPECT_EQ(NameOf(*c), expected);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(out.data() + Offset(*c->GetTable(), 1) + 1)),
                  expected);
        EXPECT_EQ(c->GetCurrentRecord(nullptr, false), 0);
    }
    // A ready key: the bookmark of a record finds that record.
    c->SetIndexName("ByCount");
    c->SetToBegin();
    c->GetNextRecord(nullptr);
    c->GetNextRecord(nullptr);
    std::vector<uint8_t> bookmark = c->GetBookmark();
    c->SetToEnd();
    EXPECT_TRUE(c->FindKey(true, bookmark.data(), 0, false, 0, nullptr));
    EXPECT_EQ(NameOf(*c), "Baker");
    EXPECT_FALSE(c->FindKey(true, nullptr, 0, false, 0, nullptr));
}

TEST_F(CursorNavigationTest, Ranges) {
    Create(true);
    auto c = Open();
    Fill(*c, Rows);
    c->SetIndexName("ByCount");
    auto from = Buffer(*c, {"", "", 20});
    auto to = Buffer(*c, {"", "", 40});
    c->SetRange(false, from.data(), 0, to.data(), 0);
    EXPECT_EQ(c->GetRecordCount(), 4);
    EXPECT_EQ(Walk(*c), (std::vector<std::string>{"Baker", "Clark", "Bakst", "Davis"}));
    c->SetToBegin();
    c->GetNextRecord(nullptr);
    EXPECT_EQ(c->GetRecNo(), 1);
    EXPECT_TRUE(c->SetToRecNo(4));
    EXPECT_EQ(NameOf(*c), "Davis");
    EXPECT_EQ(c->GetNextRecord(nullptr), DBE_EOF);
    EXPECT_EQ(c->GetPriorRecord(nullptr), 0);
    EXPECT_EQ(NameOf(*c), "Davis");

    // Selecting the current index keeps range and position.
    c->SetToRecNo(2);
    c->SetIndexName("BYCOUNT");
    EXPECT_TRUE(c->IsRangeActive());
    EXPECT_EQ(c->GetRecNo(), 2);
    EXPECT_EQ(NameOf(*c), "Clark");

    // Nearest beyond the range: its last record.
    auto beyond = Buffer(*c, {"", "", 45});
    EXPECT_FALSE(c->FindKey(false, beyond.data(), 0, true, 0, nullptr));
    EXPECT_EQ(NameOf(*c), "Davis");

    // A missing end is open.
    c->SetRange(false, to.data(), 0, nullptr, 0);
    EXPECT_EQ(Walk(*c), (std::vector<std::string>{"Davis", "Evans"}));
    c->SetRange(false, nullptr, 0, from.data(), 0);
    EXPECT_EQ(Walk(*c), (std::vector<std::string>{"Adams", "Baker"}));

    // Start after end: nothing.
    c->SetRange(false, to.data(), 0, from.data(), 0);
    EXPECT_EQ(c->GetRecordCount(), 0);
    EXPECT_EQ(c->GetCurrentRecord(nullptr, false), DBE_NOCURRREC);
    EXPECT_EQ(c->GetNextRecord(nullptr), DBE_EOF);

    c->ResetRange();
    EXPECT_FALSE(c->IsRangeActive());
    EXPECT_EQ(c->GetRecordCount(), 6);

    // A prefix range on the two-field index: the records of one city.
    c->SetIndexName("ByCityName");
    auto paris = Buffer(*c, {"", "Paris", 0});
    c->SetRange(false, paris.data(), 1, paris.data(), 1);
    EXPECT_EQ(Walk(*c), (std::vector<std::string>{"Baker", "Davis"}));
    EXPECT_EQ(c->GetRecordCount(), 2);
}

TEST_F(CursorNavigationTest, EdgesOfTheTable) {
    Create(true);
    auto c = Open();
    EXPECT_EQ(c->GetRecordCount(), 0);
    c->SetToBegin();
    EXPECT_EQ(c->GetNextRecord(nullptr), DBE_EOF);
    EXPECT_EQ(c->GetCurrentRecord(nullptr, false), DBE_NOCURRREC);
    EXPECT_EQ(c->GetPriorRecord(nullptr), DBE_BOF);
    EXPECT_FALSE(c->SetToRecNo(1));

    Fill(*c, Rows);
    c->SetToEnd();
    EXPECT_EQ(c->GetCurrentRecord(nullptr, false), DBE_EOF);
    EXPECT_EQ(c->GetPriorRecord(nullptr), 0);
    EXPECT_EQ(NameOf(*c), "Evans");
    EXPECT_EQ(c->GetPriorRecord(nullptr), 0);
    EXPECT_EQ(NameOf(*c), "Davis");
    EXPECT_EQ(c->GetNextRecord(nullptr), 0);
    std::vector<uint8_t> zeroed(c->GetRecordSize(), 0xEE);
    EXPECT_EQ(c->GetNextRecord(zeroed.data()), DBE_EOF);
    EXPECT_EQ(zeroed, std::vector<uint8_t>(c->GetRecordSize(), 0));
    EXPECT_EQ(c->GetPriorRecord(nullptr), 0);
    EXPECT_EQ(NameOf(*c), "Evans");

    EXPECT_FALSE(c->SetToRecNo(0));
    EXPECT_EQ(c->GetCurrentRecord(nullptr, false), DBE_BOF);
    EXPECT_FALSE(c->SetToRecNo(7));
    EXPECT_EQ(c->GetCurrentRecord(nullptr, false), DBE_EOF);

    int32_t count = 4;
    std::vector<uint8_t> block(static_cast<size_t>(c->GetRecordSize()) * 4);
    c->SetToRecNo(4);
    EXPECT_EQ(c->ReadRecordBlock(count, block.data()), DBE_EOF);
    EXPECT_EQ(count, 2);
}

TEST_F(CursorNavigationTest, RecordNumbersUseTheCountedTree) {
    Create(true);
    auto c = Open();
    constexpr int N = 10000;
    std::vector<int> order(N);
    std::iota(order.begin(), order.end(), 0);
    std::mt19937 random(7);
    std::shuffle(order.begin(), order.end(), random);
    char name[16];
    for (int i : order) {
        std::snprintf(name, sizeof name, "N%05d", i);
        Insert(*c->GetTable(), {name, "X", i}, true);
    }
    c->GetTable()->FlushBuffers();
    c->Refresh();
    ASSERT_EQ(c->GetRecordCount(), N);
    for (int probe = 0; probe < 200; ++probe) {
        int k = static_cast<int>(random() % N) + 1;
        int64_t before = c->GetPageFetches();
        ASSERT_TRUE(c->SetToRecNo(k));
        // A descent from the root: one page per level, never a walk along the leaves.
        EXPECT_LE(c->GetPageFetches() - before, 4);
        std::snprintf(name, sizeof name, "N%05d", k - 1);
        ASSERT_EQ(NameOf(*c), name);
        ASSERT_EQ(c->GetRecNo(), k);
    }
    // Moving by one reads the current leaf again and nothing else inside a leaf.
    c->SetToRecNo(100);
    int64_t before = c->GetPageFetches();
    c->GetNextRecord(nullptr);
    EXPECT_LE(c->GetPageFetches() - before, 2);
    EXPECT_EQ(c->GetRecNo(), 101);
}

TEST_F(CursorNavigationTest, ALoopingLeafChainIsACorruptIndex) {
    Create(true);
    auto c = Open();
    char name[16];
    for (int i = 0; i < 1500; ++i) {
        std::snprintf(name, sizeof name, "N%05d", i);
        Insert(*c->GetTable(), {name, "X", i}, true);
    }
    c->Refresh();
    c->SetToRecNo(1);
    int32_t first = c->GetCurrentPageNo();
    c->SetToRecNo(1500);
    int32_t last = c->GetCurrentPageNo();
    ASSERT_NE(first, last);
    TPage* page = c->GetTable()->IndexFile->FetchPage(0, last);
    page->SetNextPage(first);
    c->GetTable()->IndexFile->ReleasePage(page);
    EXPECT_EQ(CodeOf([&] { c->MoveBy(1000000); }), DBE_INDEXCORRUPT);
}

TEST_F(CursorNavigationTest, BookmarksAndOtherCursors) {
    Create(true);
    auto c = Open();
    Fill(*c, Rows);
    c->SetIndexName("ByCount");
    c->SetToBegin();
    c->GetNextRecord(nullptr);
    c->GetNextRecord(nullptr);
    c->GetNextRecord(nullptr);
    std::vector<uint8_t> clark = c->GetBookmark();
    c->GetNextRecord(nullptr);
    std::vector<uint8_t> bakst = c->GetBookmark();
    // Equal values, distinct bookmarks (the record-ID suffix).
    EXPECT_NE(clark, bakst);
    EXPECT_LT(c->CompareBookmarks(clark.data(), bakst.data()), 0);
    EXPECT_TRUE(c->SetToBookmark(clark.data(), false, false));
    EXPECT_EQ(NameOf(*c), "Clark");

    // Another cursor on Clark; then Clark's keys go.
    auto other = Open();
    auto key = Buffer(*other, {"Clark", "", 0});
    ASSERT_TRUE(other->FindKey(false, key.data(), 0, false, 0, nullptr));
    EXPECT_EQ(c->SetToCursor(*other), 0);
    EXPECT_EQ(NameOf(*c), "Clark");
    Delete(*c->GetTable(), c->GetPhysicalRecNo());
    c->Refresh();
    EXPECT_FALSE(c->SetToBookmark(clark.data(), false, false));
    EXPECT_EQ(NameOf(*c), "Bakst");
    EXPECT_EQ(c->GetRecordCount(), 5);
    c->SetToRecNo(1);
    EXPECT_EQ(c->SetToCursor(*other), DBE_RECNOTFOUND);
    EXPECT_EQ(NameOf(*c), "Adams");
}

TEST_F(CursorNavigationTest, NaturalOrderCountsTheVisibleRecords) {
    Create(false);
    auto c = Open();
    EXPECT_TRUE(c->IsNaturalOrder());
    EXPECT_EQ(c->GetBookmarkSize(), 4);
    Fill(*c, Rows);
    Delete(*c->GetTable(), 2);
    c->Refresh();
    EXPECT_EQ(c->GetRecordCount(), 5);
    EXPECT_EQ(Walk(*c), (std::vector<std::string>{"Evans", "Adams", "Davis", "Clark", "Bakst"}));
    c->SetToEnd();
    EXPECT_EQ(c->GetPriorRecord(nullptr), 0);
    EXPECT_EQ(c->GetRecNo(), 5);
    EXPECT_EQ(c->GetPhysicalRecNo(), 6);
    EXPECT_TRUE(c->SetToRecNo(2));
    EXPECT_EQ(NameOf(*c), "Adams");
    EXPECT_EQ(c->GetPhysicalRecNo(), 3);
    // The deleted record's bookmark lands on the next live one.
    uint8_t gone[4];
    PutInt32(gone, 2);
    EXPECT_FALSE(c->SetToBookmark(gone, false, false));
    EXPECT_EQ(NameOf(*c), "Adams");
    auto key = Buffer(*c, {"Clark", "", 0});
    EXPECT_FALSE(c->FindKey(false, key.data(), 0, false, 0, nullptr));
    // A SQL source reads in natural order whatever its primary index.
    auto sql = Open(true);
    EXPECT_EQ(sql->CurrentIndex, NaturalOrderIndex);
    EXPECT_EQ(sql->GetRecordCount(), 5);
}

TEST_F(CursorNavigationTest, CloneTakesIndexRangeAndPosition) {
    Create(true);
    auto c = Open();
    Fill(*c, Rows);
    c->SetIndexName("ByCount");
    auto from = Buffer(*c, {"", "", 20});
    auto to = Buffer(*c, {"", "", 40});
    c->SetRange(false, from.data(), 0, to.data(), 0);
    c->SetToRecNo(3);
    auto clone = c->CloneCursor();
    EXPECT_EQ(clone->CurrentIndex, 1);
    EXPECT_TRUE(clone->IsRangeActive());
    EXPECT_EQ(clone->GetRecordCount(), 4);
    EXPECT_EQ(clone->GetRecNo(), 3);
    EXPECT_EQ(NameOf(*clone), "Bakst");
    EXPECT_EQ(clone->GetNextRecord(nullptr), 0);
    EXPECT_EQ(NameOf(*clone), "Davis");
    EXPECT_EQ(NameOf(*c), "Bakst");
}

TEST_F(CursorNavigationTest, ReplacedDescriptorReloadsTheCurrentIndex) {
    Create(true);
    TDataCursor c(Database);
    c.SetTableName("T");
    c.SetExclusive(true);
    c.OpenCursor();
    c.SetIndexName("ByCount");
    TIndexDescriptor d = c.GetIndexDesc(1);
    d.Name = "CountOrder";
    c.RenameIndexDesc(1, d);
    EXPECT_EQ(c.GetCurrentIndexName(), "CountOrder");
    c.SetIndexName("countorder");
    EXPECT_EQ(c.CurrentIndex, 1);
}

TEST_F(CursorNavigationTest, ClearedIndexesHoldNothing) {
    Create(true);
    TDataCursor c(Database);
    c.SetTableName("T");
    c.SetExclusive(true);
    c.OpenCursor();
    Fill(c, Rows);
    c.GetTable()->FlushBuffers();
    c.ClearIndexes();
    EXPECT_EQ(c.GetRecordCount(), 0);
    EXPECT_EQ(c.GetCurrentRecord(nullptr, false), DBE_NOCURRREC);
    for (int i = 0; i <= 2; ++i) EXPECT_EQ(c.GetTable()->IndexFile->GetRootPage(static_cast<uint8_t>(i)), 0);
    EXPECT_EQ(c.GetIndexDesc(1).Name, "ByCount");
    c.CloseCursor(false);
    EXPECT_EQ(Bytes("T.IDX").size(), 4096u);
    // The data stays; another cursor finds the emptied indexes.
    c.OpenCursor();
    EXPECT_EQ(c.GetRecordCount(), 0);
    EXPECT_EQ(c.GetTable()->DataFile->RecordCount(), 6);
}

TEST_F(CursorNavigationTest, DescendingIndex) {
    Create(true);
    auto c = Open();
    Fill(*c, Rows);
    c->SetIndexName("CountDown");
    std::vector<std::string> walked = Walk(*c);
    ASSERT_EQ(walked.size(), 6u);
    EXPECT_EQ(walked.front(), "Evans");
    EXPECT_EQ(walked.back(), "Adams");
    // A prefix search over all fields lands on the first of the two 30s in this order.
    auto thirty = Buffer(*c, {"", "", 30});
    ASSERT_TRUE(c->FindKey(false, thirty.data(), 0, false, 0, nullptr));
    EXPECT_EQ(CountOf(*c), 30);
    EXPECT_EQ(c->GetRecNo(), 3);
    // Start 40, end 20: the range in this index's order.
    auto from = Buffer(*c, {"", "", 40});
    auto to = Buffer(*c, {"", "", 20});
    c->SetRange(false, from.data(), 0, to.data(), 0);
    EXPECT_EQ(c->GetRecordCount(), 4);
    std::vector<int32_t> counts;
    c->SetToBegin();
    while (c->GetNextRecord(nullptr) == 0) counts.push_back(CountOf(*c));
    EXPECT_EQ(counts, (std::vector<int32_t>{40, 30, 30, 20}));
    c->SetRange(false, nullptr, 0, from.data(), 0);
    EXPECT_EQ(Walk(*c), (std::vector<std::string>{"Evans", "Davis"}));
}

TEST_F(CursorNavigationTest, BeginningAndEndSurviveARefresh) {
    Create(true);
    auto c = Open();
    Fill(*c, Rows);
    c->SetToBegin();
    c->Refresh();
    EXPECT_EQ(c->GetCurrentRecord(nullptr, false), DBE_BOF);
    EXPECT_EQ(c->GetNextRecord(nullptr), 0);
    EXPECT_EQ(NameOf(*c), "Adams");
    c->SetToEnd();
    c->Refresh();
    EXPECT_EQ(c->GetCurrentRecord(nullptr, false), DBE_EOF);
    EXPECT_EQ(c->GetPriorRecord(nullptr), 0);
    EXPECT_EQ(NameOf(*c), "Evans");
    // A record added before the current one moves its number on.
    c->SetToRecNo(2);
    EXPECT_EQ(NameOf(*c), "Baker");
    Insert(*c->GetTable(), {"Abel", "Oslo", 1});
    c->Refresh();
    EXPECT_EQ(NameOf(*c), "Baker");
    EXPECT_EQ(c->GetRecNo(), 3);
    EXPECT_EQ(c->GetRecordCount(), 7);
}

TEST_F(CursorNavigationTest, FilledKeysFollowTheTablesCollation) {
    Create(true);
    auto c = Open();
    c->SetIndexName("ByCityName");
    // A table language other than 0, with lowest and highest characters that differ from the
    // plain fill bytes.
    c->LanguageId = 1033;
    TDataCursorTestAccess::CharOrder(*c)[0] = '!';
    TDataCursorTestAccess::CharOrder(*c)[255] = '~';
    std::vector<uint8_t> key(c->GetKeySize(), 0xAA);
    int city = KeyPartSize(c->GetIndexFieldDescs()[0]) + 1;
    // Everything after the city's part: the name's flag and characters get the order's
    // lowest (highest) character, nothing else exists in this unique key.
    c->FillKeyLow(key.data(), city);
    for (int i = 0; i < city; ++i) ASSERT_EQ(key[i], 0xAA) << i;
    for (int i = city; i < c->GetKeySize(); ++i) ASSERT_EQ(key[i], c->GetCharOrder()[0]) << i;
    c->FillKeyHigh(key.data(), city + 3);
    for (int i = city; i < city + 3; ++i) ASSERT_EQ(key[i], c->GetCharOrder()[0]) << i;
    for (int i = city + 3; i < c->GetKeySize(); ++i) ASSERT_EQ(key[i], c->GetCharOrder()[255]) << i;
    // A number part and the record-ID suffix get plain bytes.
    c->SetIndexName("ByCount");
    std::vector<uint8_t> count(c->GetKeySize(), 0xAA);
    c->FillKeyHigh(count.data(), 1);
    EXPECT_EQ(count[0], 0xAA);
    for (int i = 1; i < c->GetKeySize(); ++i) ASSERT_EQ(count[i], 255) << i;
    // The full-text index: word characters up to byte 63, the record ID plain.
    c->SelectIndex(SysTextIndex);
    std::vector<uint8_t> word(SysTextKeySize, 0xAA);
    c->FillKeyLow(word.data(), 3);
    for (int i = 0; i < 5; ++i) ASSERT_EQ(word[i], 0xAA) << i;
    for (int i = 5; i < 64; ++i) ASSERT_EQ(word[i], c->GetCharOrder()[0]) << i;
    for (int i = 64; i < 68; ++i) ASSERT_EQ(word[i], 0) << i;
}

using testsupport::ParseCalculatedField;

TEST_F(CursorNavigationTest, LoadedRecordsCarryTheirCalculatedFields) {
    Create(true);
    auto c = Open();
    Fill(*c, Rows);
    std::vector<TFieldDescriptor> fields = c->GetFieldDescs();
    fields.push_back(Field(4, "Double", fldInteger));
    fields.push_back(Field(5, "Label", fldString, 30));
    fields.push_back(Field(6, "Nothing", fldInteger));
    for (size_t i = 3; i < 6; ++i) {
        fields[i].Calculated = 1;
        ComputeValueSize(fields[i]);
    }
    TExpTreeHolder twice(ParseCalculatedField("T.Count * 2", fields));
    TExpTreeHolder label(ParseCalculatedField("Name + '/' + City", fields));
    TExpTreeHolder nothing(ParseCalculatedField("NULL", fields));
    fields[3].Expression = twice.get();
    fields[4].Expression = label.get();
    fields[5].Expression = nothing.get();
    c->SetFieldDescs(fields);
    ASSERT_TRUE(c->HasCalculated());
    std::vector<uint8_t> buffer(c->GetRecordSize(), 0xEE);
    auto key = Buffer(*c, {"Davis", "", 0});
    ASSERT_TRUE(c->FindKey(false, key.data(), 0, false, 0, buffer.data()));
    const TFieldDescriptor& d = c->GetFieldDescs()[3];
    const TFieldDescriptor& l = c->GetFieldDescs()[4];
    const TFieldDescriptor& n = c->GetFieldDescs()[5];
    EXPECT_EQ(buffer[d.Offset], 1);
    EXPECT_EQ(GetInt32(buffer.data() + d.Offset + 1), 80);
    EXPECT_EQ(buffer[l.Offset], 1);
    EXPECT_STREQ(reinterpret_cast<const char*>(buffer.data() + l.Offset + 1), "Davis/Paris");
    EXPECT_EQ(buffer[n.Offset], 0);
    EXPECT_EQ(GetInt32(buffer.data() + n.Offset + 1), 0);
    // The next record gets its own values.
    ASSERT_EQ(c->GetNextRecord(buffer.data()), 0);
    EXPECT_EQ(GetInt32(buffer.data() + d.Offset + 1), 100);
    EXPECT_STREQ(reinterpret_cast<const char*>(buffer.data() + l.Offset + 1), "Evans/Rome");
    c->CloseCursor(false);
}

TEST_F(CursorNavigationTest, RefreshKeepsTheRecordAmongEqualKeys) {
    // Clark and Bakst share the count 30 in the non-unique ByCount index.
    Create(true);
    auto c = Open();
    Fill(*c, Rows);
    c->SetIndexName("ByCount");
    c->SetToBegin();
    std::vector<std::string> order;
    while (c->GetNextRecord(nullptr) == 0) order.push_back(NameOf(*c));
    ASSERT_EQ(order.size(), 6u);
    c->SetToRecNo(4);
    ASSERT_EQ(CountOf(*c), 30);
    std::string second = NameOf(*c);
    EXPECT_EQ(second, order[3]);
    c->Refresh();
    EXPECT_EQ(NameOf(*c), second);
    EXPECT_EQ(c->GetRecNo(), 4);
}

}  // namespace
}  // namespace dbengine
