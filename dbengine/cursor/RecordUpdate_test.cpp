#include <gtest/gtest.h>

#include <cstring>

#include "dbengine/cursor/DataCursor.h"
#include "dbengine/data/DataFile.h"
#include "dbengine/data/Record.h"
#include "dbengine/index/IndexFile.h"
#include "dbengine/index/IndexFormat.h"
#include "dbengine/index/IndexKeys.h"
#include "dbengine/session/DataSession.h"
#include "dbengine/testsupport/Descriptors.h"
#include "dbengine/testsupport/TableFixture.h"
#include "dbengine/util/Coding.h"
#include "platform/Files.h"

namespace dbengine {
namespace {

using testsupport::CodeOf;
using testsupport::Field;
using testsupport::Index;

struct TRow {
    std::string Name;
    std::string City;
    int32_t Count;
    std::string Note;
};

// Name, City, Count, Note; the primary index on Name (or the engine's own order), "ByCity"
// (not unique) and "ByCount" (unique). Note is in no index.
class RecordUpdateTest : public testsupport::TableFixture {
protected:
    // With autoInc a fifth field Id shows the record ID.
    void Create(bool userPrimary, bool autoInc = false, uint8_t nameSize = 20) {
        TTableDefinition def;
        def.Fields = {Field(1, "Name", fldString, nameSize), Field(2, "City", fldString, 20),
                      Field(3, "Count", fldInteger), Field(4, "Note", fldString, 10)};
        if (autoInc) {
            def.Fields.push_back(Field(5, "Id", fldInteger));
            def.Fields.back().SubType = fldstAutoInc;
        }
        if (userPrimary) def.PrimaryIndex = Index("", {1}, true);
        def.SecondaryIndexes = {Index("ByCity", {2}, false), Index("ByCount", {3}, true)};
        TDataCursor creator(Database);
        creator.SetTableName("T");
        creator.SetExclusive(true);
        creator.CreateTable(def, !userPrimary, false);
        Open();
    }
    void Open(bool exclusive = false) {
        C = std::make_unique<TDataCursor>(Database);
        C->SetTableName("T");
        C->SetExclusive(exclusive);
        C->OpenCursor();
        C->SelectIndex(C->HasInternalPrimaryIndex() ? 1 : 0);
    }
    void Close() { C.reset(); }
    void TearDown() override {
        C.reset();
        TableFixture::TearDown();
    }

    std::vector<uint8_t> Buffer(const TRow& row) {
        std::vector<uint8_t> b(C->GetRecordSize(), 0);
        C->ClearRecordBuffer(b.data());
        PutText(1, b.data(), row.Name);
        PutText(2, b.data(), row.City);
        PutInt(3, b.data(), row.Count);
        PutText(4, b.data(), row.Note);
        return b;
    }
    void PutText(uint16_t f, uint8_t* b, const std::string& s) {
        uint8_t v[64] = {};
        std::memcpy(v, s.data(), s.size());
        C->PutField(f, b, v, false, false);
    }
    void PutInt(uint16_t f, uint8_t* b, int32_t n) {
        uint8_t v[4];
        PutInt32(v, n);
        C->PutField(f, b, v, false, false);
    }
    TRow Read(const uint8_t* b) {
        TRow r;
        uint8_t v[64] = {};
        bool blank = false;
        C->GetField(1, b, v, blank);
        r.Name = reinterpret_cast<char*>(v);
        std::memset(v, 0, sizeof v);
        C->GetField(2, b, v, blank);
        r.City = reinterpret_cast<char*>(v);
        C->GetField(3, b, v, blank);
        r.Count = GetInt32(v);
        std::memset(v, 0, sizeof v);
        C->GetField(4, b, v, blank);
        r.Note = reinterpret_cast<char*>(v);
        return r;
    }
    int32_t Insert(const TRow& row) {
        auto b = Buffer(row);
        C->InsertRecord(b.data(), true);
        return C->GetPhysicalRecNo();
    }
    // The rows in the order of the named index ("" for index 0).
    std::vector<std::string> Names(const std::string& index) {
        if (index.empty())
            C->SetIndexNumber(0);
        else
            C->SetIndexName(index);
        std::vector<std::string> out;
        std::vector<uint8_t> b(C->GetRecordSize());
        C->SetToBegin();
        while (C->GetNextRecord(b.data()) == 0) out.push_back(Read(b.data()).Name);
        return out;
    }
    // Stands the cursor on the record named name (user primary index).
    void Find(const std::string& name) {
        C->SetIndexNumber(0);
        auto b = Buffer({name, "", 0, ""});
        std::vector<uint8_t> out(C->GetRecordSize());
        ASSERT_TRUE(C->FindKey(false, b.data(), 1, false, 0, out.data())) << name;
    }
    std::vector<uint8_t> Current() {
        std::vector<uint8_t> b(C->GetRecordSize());
        EXPECT_EQ(C->GetCurrentRecord(b.data(), false), 0);
        return b;
    }

    std::unique_ptr<TDataCursor> C;
};

TEST_F(RecordUpdateTest, InsertedRecordsAreInEveryIndexAndTheCursorStandsOnThem) {
    for (bool userPrimary : {true, false}) {
        SCOPED_TRACE(userPrimary);
        Create(userPrimary);
        Insert({"carol", "Rome", 30, "c"});
        Insert({"alice", "Paris", 10, "a"});
        Insert({"bob", "Oslo", 20, "b"});
        EXPECT_EQ(Read(Current().data()).Name, "bob") << "reposition stands on the new record";
        EXPECT_EQ(C->GetTableRecordCount(), 3);
        EXPECT_EQ(C->GetLastRecordId(), 3);
        EXPECT_EQ(Current()[5], 3) << "the new record got the next record ID";
        EXPECT_EQ(Names("ByCity"), (std::vector<std::string>{"bob", "alice", "carol"}));
        EXPECT_EQ(Names("ByCount"), (std::vector<std::string>{"alice", "bob", "carol"}));
        if (userPrimary) {
            EXPECT_EQ(Names(""), (std::vector<std::string>{"alice", "bob", "carol"}));
        }
        Close();
        Open();
        EXPECT_EQ(Names("ByCount"), (std::vector<std::string>{"alice", "bob", "carol"})) << "after reopen";
        Close();
        Database->DeleteTableFiles("T", false);
    }
}

TEST_F(RecordUpdateTest, DuplicateInTheSecondSecondaryIndexChangesNoFile) {
    Create(true);
    Insert({"alice", "Paris", 10, ""});
    Insert({"bob", "Rome", 20, ""});
    Close();
    std::string dat = Bytes("T.DAT"), idx = Bytes("T.IDX");
    // City repeats (allowed); a repeated name or Count is refused, the first refusing index in
    // order (the primary, then ByCount) named.
    const struct {
        const char* Name;
        int32_t Count;
        const char* Refusing;
    } cases[] = {{"carol", 20, "ByCount"}, {"alice", 30, ""}, {"bob", 10, ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.Name) + " " + std::to_string(c.Count));
        Open();
        auto b = Buffer({c.Name, "Paris", c.Count, ""});
        try {
            C->InsertRecord(b.data(), true);
            ADD_FAILURE() << "no error";
        } catch (const EDbEngineError& e) {
            EXPECT_EQ(e.ErrorCode, DBE_KEYVIOL);
            EXPECT_EQ(e.ErrorIndex, c.Refusing);
        }
        EXPECT_FALSE(C->GetTable()->WriteLocked) << "the table write lock is given back";
        EXPECT_EQ(C->GetTableRecordCount(), 2);
        Close();
        EXPECT_TRUE(Bytes("T.DAT") == dat) << "data file changed";
        EXPECT_TRUE(Bytes("T.IDX") == idx) << "index file changed";
    }
}

TEST_F(RecordUpdateTest, ModifyReplacesOnlyChangedKeys) {
    Create(true);
    Insert({"alice", "Paris", 10, "a"});
    Insert({"bob", "Rome", 20, "b"});
    Close();
    std::string idx = Bytes("T.IDX"), dat = Bytes("T.DAT");
    Open();
    Find("bob");
    auto b = Current();
    PutText(4, b.data(), "changed");
    C->ModifyRecord(b.data(), true, true);
    Close();
    EXPECT_EQ(Bytes("T.IDX"), idx) << "only a field in no index changed";
    EXPECT_NE(Bytes("T.DAT"), dat);

    Open();
    Find("bob");
    EXPECT_EQ(Read(Current().data()).Note, "changed");
    b = Current();
    PutText(2, b.data(), "Athens");
    PutInt(3, b.data(), 5);
    C->ModifyRecord(b.data(), true, true);
    EXPECT_EQ(Read(Current().data()).City, "Athens");
    EXPECT_EQ(Names("ByCity"), (std::vector<std::string>{"bob", "alice"}));
    EXPECT_EQ(Names("ByCount"), (std::vector<std::string>{"bob", "alice"}));
    EXPECT_EQ(C->GetTableRecordCount(), 2);

    // A new key that another record has: refused, nothing changes.
    Find("bob");
    b = Current();
    PutInt(3, b.data(), 10);
    PutText(2, b.data(), "Zagreb");
    EXPECT_EQ(CodeOf([&] { C->ModifyRecord(b.data(), true, true); }), DBE_KEYVIOL);
    EXPECT_EQ(Names("ByCity"), (std::vector<std::string>{"bob", "alice"}));
    EXPECT_EQ(Names("ByCount"), (std::vector<std::string>{"bob", "alice"}));
}

TEST_F(RecordUpdateTest, DeleteRemovesEveryKeyAndRepositions) {
    Create(true);
    for (const char* n : {"a", "b", "c", "d"}) Insert({n, n, n[0], ""});
    struct Case {
        std::string Delete;
        std::string StandsOn;  // the record that followed it, or "" at the end
    } cases[] = {{"b", "c"}, {"d", ""}};
    for (const Case& k : cases) {
        SCOPED_TRACE(k.Delete);
        Find(k.Delete);
        auto b = Current();
        C->DeleteRecord(b.data(), true);
        std::vector<uint8_t> now(C->GetRecordSize());
        TEngineErrorCode code = C->GetCurrentRecord(now.data(), false);
        if (k.StandsOn.empty())
            EXPECT_NE(code, 0) << Read(now.data()).Name << " at end " << C->IsAtEnd();
        else
            EXPECT_EQ(Read(now.data()).Name, k.StandsOn);
    }
    EXPECT_EQ(C->GetTableRecordCount(), 2);
    EXPECT_EQ(Names(""), (std::vector<std::string>{"a", "c"}));
    EXPECT_EQ(Names("ByCity"), (std::vector<std::string>{"a", "c"}));
    EXPECT_EQ(Names("ByCount"), (std::vector<std::string>{"a", "c"}));
}

TEST_F(RecordUpdateTest, DeleteInNaturalOrderRepositionsOnANeighbour) {
    Create(false);
    for (const char* n : {"a", "b", "c", "d"}) Insert({n, n, n[0], ""});
    C->SetIndexNumber(0);
    struct Case {
        int32_t Delete;
        std::string StandsOn;  // the next live record, or the preceding one after the last
    } cases[] = {{2, "c"}, {4, "c"}};
    for (const Case& k : cases) {
        SCOPED_TRACE(k.Delete);
        C->SeekPhysicalRecNo(k.Delete);
        auto b = Current();
        C->DeleteRecord(b.data(), true);
        std::vector<uint8_t> now(C->GetRecordSize());
        ASSERT_EQ(C->GetCurrentRecord(now.data(), false), 0);
        EXPECT_EQ(Read(now.data()).Name, k.StandsOn);
    }
    EXPECT_EQ(Names(""), (std::vector<std::string>{"a", "c"}));
}

TEST_F(RecordUpdateTest, UserPrimaryIndexReusesTheMostRecentlyDeletedSlot) {
    struct Case {
        bool UserPrimary;
        std::vector<int32_t> NewSlots;
    } cases[] = {{true, {3, 2, 5}}, {false, {5, 6, 7}}};
    for (const Case& k : cases) {
        SCOPED_TRACE(k.UserPrimary);
        Create(k.UserPrimary);
        for (const char* n : {"a", "b", "c", "d"}) Insert({n, n, n[0], ""});
        // b then c deleted: c's slot (3) is the most recent.
        for (const char* n : {"b", "c"}) {
            C->SetIndexName("ByCount");
            auto key = Buffer({"", "", n[0], ""});
            std::vector<uint8_t> out(C->GetRecordSize());
            ASSERT_TRUE(C->FindKey(false, key.data(), 1, false, 0, out.data()));
            C->DeleteRecord(out.data(), true);
        }
        std::vector<int32_t> slots;
        for (const char* n : {"x", "y", "z"}) slots.push_back(Insert({n, n, n[0], ""}));
        EXPECT_EQ(slots, k.NewSlots);
        EXPECT_EQ(C->GetTableRecordCount(), 5);
        EXPECT_EQ(Names("ByCount"), (std::vector<std::string>{"a", "d", "x", "y", "z"}));
        Close();
        Database->DeleteTableFiles("T", false);
    }
}

TEST_F(RecordUpdateTest, FailureAfterKeysWereWrittenLeavesTheFilesAsTheyWere) {
    Create(true);
    Insert({"a", "Paris", 1, ""});
    Insert({"b", "Rome", 2, ""});
    Find("b");
    auto b = Current();
    C->DeleteRecord(b.data(), true);
    // A damaged table: the free slot's entry in the record-status index is gone, so reusing
    // the slot fails only after the new record's keys went into the user's indexes.
    uint8_t gone[RecordHeaderSize] = {1};
    PutInt32(gone + 5, 2);
    uint8_t key[SysDeletedKeySize];
    BuildRecordIdKey(gone, key, gone);
    C->SelectIndex(SysDeletedIndex);
    C->DeleteKey(key);
    ASSERT_FALSE(C->KeyInIndex(key));
    C->GetTable()->FlushBuffers();
    Close();
    std::string dat = Bytes("T.DAT"), idx = Bytes("T.IDX");

    Open();
    auto c = Buffer({"c", "Oslo", 3, ""});
    EXPECT_EQ(CodeOf([&] { C->InsertRecord(c.data(), true); }), DBE_INDEXCORRUPT);
    EXPECT_FALSE(C->GetTable()->WriteLocked);
    EXPECT_EQ(C->GetTableRecordCount(), 1);
    EXPECT_EQ(Names(""), (std::vector<std::string>{"a"}));
    EXPECT_EQ(Names("ByCity"), (std::vector<std::string>{"a"}));
    EXPECT_EQ(Names("ByCount"), (std::vector<std::string>{"a"}));
    Close();
    EXPECT_TRUE(Bytes("T.DAT") == dat) << "data file changed";
    EXPECT_TRUE(Bytes("T.IDX") == idx) << "index file changed";
}

TEST_F(RecordUpdateTest, FailedModifyTakesBackTheKeysItReplaced) {
    Create(true);
    Insert({"a", "Paris", 1, ""});
    Insert({"b", "Rome", 2, ""});
    // A damaged table: b's entry in "ByCount" is gone, so a modify fails there, after "ByCity"
    // already took b's new key.
    Find("b");
    auto b = Current();
    C->SetIndexName("ByCount");
    std::vector<uint8_t> key(C->GetKeySize() + 16, 0);
    C->BuildKey(b.data(), key.data());
    C->DeleteKey(key.data());
    C->GetTable()->FlushBuffers();
    Close();
    std::string dat = Bytes("T.DAT"), idx = Bytes("T.IDX");

    Open();
    Find("b");
    b = Current();
    PutText(2, b.data(), "Athens");
    PutInt(3, b.data(), 5);
    EXPECT_EQ(CodeOf([&] { C->ModifyRecord(b.data(), true, true); }), DBE_INDEXCORRUPT);
    EXPECT_FALSE(C->GetTable()->WriteLocked);
    EXPECT_EQ(Names("ByCity"), (std::vector<std::string>{"a", "b"}));
    Close();
    EXPECT_TRUE(Bytes("T.DAT") == dat) << "data file changed";
    EXPECT_TRUE(Bytes("T.IDX") == idx) << "index file changed";
}

TEST_F(RecordUpdateTest, OptimisticConflictHoldsUntilCancel) {
    Create(true);
    Insert({"a", "Paris", 1, ""});
    Close();
    Session->LockProtocol = lpOptimistic;
    Open();
    TDataCursor other(Database);
    other.SetTableName("T");
    other.OpenCursor();
    Find("a");
    auto mine = Current();
    other.SetToBegin();
    std::vector<uint8_t> theirs(other.GetRecordSize());
    ASSERT_EQ(other.GetNextRecord(theirs.data()), 0);
    theirs[other.GetFieldDescs()[3].Offset] = 1;
    std::memcpy(theirs.data() + other.GetFieldDescs()[3].Offset + 1, "other", 6);
    other.ModifyRecord(theirs.data(), true, true);

    PutText(4, mine.data(), "mine");
    EXPECT_EQ(CodeOf([&] { C->ModifyRecord(mine.data(), true, true); }), DBE_KEYORRECDELETED);
    EXPECT_TRUE(C->GetRecordChangedMark());
    // The cursor now holds the other's record, yet the mark keeps refusing.
    auto again = Current();
    PutText(4, again.data(), "mine");
    EXPECT_EQ(CodeOf([&] { C->ModifyRecord(again.data(), true, true); }), DBE_KEYORRECDELETED);
    C->CancelRecord();
    C->ModifyRecord(again.data(), true, true);
    EXPECT_EQ(Read(Current().data()).Note, "mine");
    EXPECT_FALSE(C->GetTable()->LockedRecords.Test(1)) << "the optimistic record lock is given back";
}

TEST_F(RecordUpdateTest, SuppressedAutoIncrementKeepsTheGivenRecordId) {
    Create(true, true);
    Insert({"a", "Paris", 1, ""});
    C->SetSuppressAutoInc(true);
    ASSERT_TRUE(C->GetSuppressAutoInc());
    struct Case {
        std::string Name;
        int32_t Id;
        TEngineErrorCode Code;
        int32_t LastIdAfter;
    } cases[] = {{"b", 1, DBE_KEYVIOL, 1}, {"c", 40, 0, 40}, {"d", 7, 0, 40}};
    for (const Case& k : cases) {
        SCOPED_TRACE(k.Name);
        auto b = Buffer({k.Name, k.Name, k.Id + 100, ""});
        PutInt32(b.data() + 5, k.Id);
        EXPECT_EQ(CodeOf([&] { C->InsertRecord(b.data(), true); }), k.Code);
        EXPECT_EQ(C->GetLastRecordId(), k.LastIdAfter);
        if (k.Code == 0) {
            EXPECT_EQ(GetInt32(Current().data() + 5), k.Id);
        }
    }
    EXPECT_EQ(C->GetTableRecordCount(), 3);
}

TEST_F(RecordUpdateTest, CloneCopiesTheCurrentRecordReadyForInsert) {
    Create(true);
    std::vector<uint8_t> b(64);
    EXPECT_EQ(C->CloneCurrentRecord(b.data()), DBE_NOCURRREC);
    Insert({"alice", "Paris", 10, "n"});
    b.assign(C->GetRecordSize(), 0);
    ASSERT_EQ(C->CloneCurrentRecord(b.data()), 0);
    TRow r = Read(b.data());
    EXPECT_EQ(r.City, "Paris");
    EXPECT_EQ(r.Note, "n");
    EXPECT_EQ(GetInt32(b.data() + 5), 0) << "no record ID without SuppressAutoInc";
    PutText(1, b.data(), "bob");
    PutInt(3, b.data(), 11);
    C->InsertRecord(b.data(), true);
    EXPECT_EQ(Names(""), (std::vector<std::string>{"alice", "bob"}));
}

// Without repositioning, the cursor's record count still follows each edit at once, however
// the cursor moves: index order with or without a range, natural order, under a filter. A
// clone, which computes everything afresh, agrees after every step.
TEST_F(RecordUpdateTest, EditsWithoutRepositioningKeepTheRecordCountRight) {
    struct TCase {
        const char* What;
        const char* Index;  // "" primary, nullptr natural order
        bool Range;         // Count 2 to 5
        const char* Filter;
        int32_t Start, Inserted, Modified, Deleted;
    };
    const TCase cases[] = {
        {"primary", "", false, nullptr, 3, 4, 4, 3},
        {"natural", nullptr, false, nullptr, 3, 4, 4, 3},
        {"range", "ByCount", true, nullptr, 2, 3, 2, 2},
        {"primary, filter", "", false, "City = 'Paris'", 2, 3, 2, 2},
        {"natural, filter", nullptr, false, "City = 'Paris'", 2, 3, 2, 2},
        {"range, filter", "ByCount", true, "City = 'Paris'", 1, 2, 1, 1},
    };
    for (const TCase& k : cases) {
        SCOPED_TRACE(k.What);
        if (!C) {
            Create(true);
        } else {
            Close();
            TDataCursor wipe(Database);
            wipe.SetTableName("T");
            wipe.SetExclusive(true);
            wipe.OpenCursor();
            wipe.EmptyTable();
            wipe.CloseCursor(false);
            Open();
        }
        Insert({"a", "Paris", 1, ""});
        Insert({"b", "Rome", 2, ""});
        Insert({"c", "Paris", 3, ""});
        if (k.Index == nullptr)
            C->SetIndexNumber(NaturalOrderIndex);
        else if (*k.Index == 0)
            C->SetIndexNumber(0);
        else
            C->SetIndexName(k.Index);
        if (k.Range) {
            auto low = Buffer({"", "", 2, ""}), high = Buffer({"", "", 5, ""});
            C->SetRange(false, low.data(), 1, high.data(), 1);
        }
        if (k.Filter != nullptr)
            C->ActivateFilter(
                C->AddFilter(nullptr, k.Filter, nullptr, false, nullptr, false, false, false, false, false));
        auto expectCount = [&](int32_t n, const char* step) {
            EXPECT_EQ(C->GetRecordCount(), n) << step;
            auto fresh = C->CloneCursor();
            EXPECT_EQ(fresh->GetRecordCount(), n) << step << ", clone";
        };
        expectCount(k.Start, "start");
        auto d = Buffer({"d", "Paris", 4, ""});
        C->InsertRecord(d.data(), false);
        expectCount(k.Inserted, "insert");
        // The first record shown leaves the range and the filter.
        C->SetToBegin();
        std::vector<uint8_t> current(C->GetRecordSize());
        ASSERT_EQ(C->GetNextRecord(current.data()), 0);
        PutText(2, current.data(), "Oslo");
        PutInt(3, current.data(), 9);
        C->ModifyRecord(current.data(), true, false);
        expectCount(k.Modified, "modify");
        C->DeleteRecord(current.data(), false);
        expectCount(k.Deleted, "delete");
    }
}

// An exclusive cursor is not told of its clone's writes: its own edit then counts everything
// afresh instead of adding just its record to a view that misses the clone's.
TEST_F(RecordUpdateTest, AnExclusiveCursorsEditCountsTheRecordsItsCloneAdded) {
    Create(true);
    Close();
    C = std::make_unique<TDataCursor>(Database);
    C->SetTableName("T");
    C->SetExclusive(true);
    C->OpenCursor();
    C->SetIndexNumber(NaturalOrderIndex);
    Insert({"a", "Paris", 1, ""});
    auto clone = C->CloneCursor();
    auto b = Buffer({"b", "Rome", 2, ""});
    clone->InsertRecord(b.data(), false);
    auto c = Buffer({"c", "Oslo", 3, ""});
    C->InsertRecord(c.data(), false);
    EXPECT_EQ(C->GetRecordCount(), 3);
}

// An exclusive cursor whose index cache holds two pages per index keeps the changed pages it gives
// up until it closes: nothing reaches the index file before, and the closed table holds the same
// bytes as one built through a cache that kept every page.
TEST_F(RecordUpdateTest, AnExclusiveTableClosesWithTheBytesOfACacheThatKeptEveryPage) {
    auto nameOf = [](int i) {
        std::string name;
        for (uint32_t h = static_cast<uint32_t>(i) * 2654435761u + 1; name.size() < 60;
             h = h * 1103515245u + 12345)
            name += static_cast<char>('a' + (h >> 16) % 26);
        return name;
    };
    auto build = [&](int32_t bufferBytes, int& indexWrites) {
        Session->DataBufferSize = bufferBytes;
        Session->IndexBufferSize = bufferBytes;
        Create(true, false, 60);
        Open(true);
        {
            platform::TScopedFileFault count(
                [&](platform::TFileOperation op, const std::string& path, int64_t, uint32_t) {
                    if (op == platform::TFileOperation::Write && path.ends_with("T.IDX")) ++indexWrites;
                    return platform::TFileFault{};
                });
            for (int i = 0; i < 3000; ++i) Insert({nameOf(i), "C" + std::to_string(i % 37), i, ""});
            for (int i = 0; i < 3000; i += 7) {
                Find(nameOf(i));
                auto b = Current();
                C->DeleteRecord(b.data(), false);
            }
            for (int i = 3; i < 3000; i += 11) {
                if (i % 7 == 0) continue;
                Find(nameOf(i));
                auto b = Current();
                PutText(2, b.data(), "Moved");
                C->ModifyRecord(b.data(), true, false);
            }
            EXPECT_EQ(C->GetTableRecordCount(), 3000 - 429);
        }
        Close();
        std::vector<std::string> files = {Bytes("T.DAT"), Bytes("T.IDX")};
        TDataCursor remover(Database);
        remover.SetTableName("T");
        remover.SetExclusive(true);
        remover.DeleteTable();
        return files;
    };
    // The data header's time of the last write is the same in both.
    framework::SetClock([] { return 46000.5; });
    int smallWrites = 0, largeWrites = 0;
    std::vector<std::string> small = build(16384, smallWrites);
    std::vector<std::string> large = build(64 << 20, largeWrites);
    EXPECT_EQ(smallWrites, 0);
    EXPECT_GT(small[1].size(), 100u * 4096) << "a tree of several levels";
    EXPECT_TRUE(small[0] == large[0]) << "data file";
    EXPECT_TRUE(small[1] == large[1]) << "index file";
    framework::SetClock({});
}

TEST_F(RecordUpdateTest, ReadOnlyCursorIsRefused) {
    Create(true);
    Close();
    C = std::make_unique<TDataCursor>(Database);
    C->SetTableName("T");
    C->SetReadOnly(true);
    C->OpenCursor();
    auto b = Buffer({"a", "b", 1, ""});
    EXPECT_EQ(CodeOf([&] { C->InsertRecord(b.data(), true); }), DBE_OSEACCES);
}

}  // namespace
}  // namespace dbengine
