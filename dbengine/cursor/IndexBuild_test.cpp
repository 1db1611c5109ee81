#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

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

class TIndexBuildTestAccess {
public:
    static void SetIndexProgress(TDataCursor& c, TDataCursor::TPercentCallback callback) {
        c.IndexProgressCallback = std::move(callback);
    }
};

namespace {

using testsupport::CodeOf;
using testsupport::Field;
using testsupport::Index;

struct TRow {
    std::string Name;
    std::string City;
    int32_t Count;
};

// Name (string 20), City (string 250), Count (integer); the primary index on Name (or the
// engine's own order) and "ByCity" (not unique).
class IndexBuildTest : public testsupport::TableFixture {
protected:
    void Create(bool userPrimary) {
        TTableDefinition def;
        def.Fields = {Field(1, "Name", fldString, 20), Field(2, "City", fldString, 250),
                      Field(3, "Count", fldInteger)};
        if (userPrimary) def.PrimaryIndex = Index("", {1}, true);
        def.SecondaryIndexes = {Index("ByCity", {2}, false)};
        TDataCursor creator(Database);
        creator.SetTableName("T");
        creator.SetExclusive(true);
        creator.CreateTable(def, !userPrimary, false);
        Open();
    }
    void Open(bool exclusive = true) {
        C = std::make_unique<TDataCursor>(Database);
        C->SetTableName("T");
        C->SetExclusive(exclusive);
        C->OpenCursor();
    }
    void Close() { C.reset(); }
    void TearDown() override {
        C.reset();
        TableFixture::TearDown();
    }

    std::vector<uint8_t> Buffer(const TRow& row) {
        std::vector<uint8_t> b(C->GetRecordSize(), 0);
        C->ClearRecordBuffer(b.data());
        uint8_t v[256] = {};
        std::memcpy(v, row.Name.data(), row.Name.size());
        C->PutField(1, b.data(), v, false, false);
        std::memset(v, 0, sizeof v);
        std::memcpy(v, row.City.data(), row.City.size());
        C->PutField(2, b.data(), v, false, false);
        PutInt32(v, row.Count);
        C->PutField(3, b.data(), v, false, false);
        return b;
    }
    int32_t Insert(const TRow& row) {
        auto b = Buffer(row);
        C->InsertRecord(b.data(), true);
        return C->GetPhysicalRecNo();
    }
    std::string NameOf(const uint8_t* b) {
        uint8_t v[256] = {};
        bool blank = false;
        C->GetField(1, b, v, blank);
        return reinterpret_cast<char*>(v);
    }
    // Names in the order of the index numbered indexNo.
    std::vector<std::string> Names(uint8_t indexNo) {
        C->SetIndexNumber(indexNo);
        std::vector<std::string> out;
        std::vector<uint8_t> b(C->GetRecordSize());
        C->SetToBegin();
        while (C->GetNextRecord(b.data()) == 0) out.push_back(NameOf(b.data()));
        return out;
    }
    std::vector<uint8_t> Record(int32_t recNo) {
        TRecord* rec = nullptr;
        EXPECT_TRUE(C->GetTable()->DataFile->GetRecord(nullptr, recNo, 1, false, false, rec));
        std::vector<uint8_t> out(rec->Data(), rec->Data() + C->GetRecordSize());
        C->GetTable()->DataFile->ReleaseRecord(rec);
        return out;
    }
    // Whether "Sys Deleted" holds the record's entry with the given status.
    bool StatusEntry(const std::vector<uint8_t>& record, int32_t recNo, uint8_t status) {
        std::vector<uint8_t> r = record;
        r[0] = status;
        uint8_t key[16] = {};
        BuildRecordIdKey(r.data(), key, r.data());
        uint8_t saved = C->CurrentIndex;
        C->SelectIndex(SysDeletedIndex);
        bool found = C->KeyEntryExists(key, recNo);
        C->SelectIndex(saved);
        return found;
    }

    std::unique_ptr<TDataCursor> C;
};

using TNames = std::vector<std::string>;

TEST_F(IndexBuildTest, DroppingARecordRemovesItFromEveryIndexAndFreesItsSlot) {
    for (bool userPrimary : {true, false}) {
        SCOPED_TRACE(userPrimary);
        Create(userPrimary);
        Insert({"alice", "Paris", 10});
        int32_t bob = Insert({"bob", "Oslo", 20});
        Insert({"carol", "Rome", 30});
        std::vector<uint8_t> image = Record(bob);
        C->SelectIndex(1);
        C->DropRecordEverywhere(image.data(), bob);
        EXPECT_EQ(C->CurrentIndex, 1) << "the current index is kept";
        EXPECT_EQ(C->GetTableRecordCount(), 2);
        EXPECT_EQ(Record(bob)[0], 1) << "the slot is deleted";
        EXPECT_EQ(C->GetTable()->DataFile->Header.FirstFreeRecord, bob);
        EXPECT_FALSE(StatusEntry(image, bob, 0));
        EXPECT_TRUE(StatusEntry(image, bob, 1));
        EXPECT_EQ(Names(1), (TNames{"alice", "carol"}));
        if (userPrimary) {
            EXPECT_EQ(Names(0), (TNames{"alice", "carol"}));
        }
        Close();
        Open();
        EXPECT_EQ(Names(1), (TNames{"alice", "carol"})) << "after reopen";
        Close();
        Database->DeleteTableFiles("T", false);
    }
}

TEST_F(IndexBuildTest, DroppingPassesOverEntriesAnIndexDoesNotHold) {
    Create(true);
    Insert({"alice", "Paris", 10});
    int32_t bob = Insert({"bob", "Oslo", 20});
    std::vector<uint8_t> image = Record(bob);
    // ByCity loses bob's entry, "Sys Deleted" too: an index in the middle of a rebuild.
    C->SelectIndex(1);
    std::vector<uint8_t> key(C->GetKeySize() + 8);
    C->BuildKey(image.data(), key.data());
    C->DeleteKey(key.data());
    std::vector<uint8_t> live = image;
    uint8_t statusKey[16] = {};
    BuildRecordIdKey(live.data(), statusKey, live.data());
    C->SelectIndex(SysDeletedIndex);
    C->DeleteKey(statusKey);
    C->SelectIndex(0);

    C->DropRecordEverywhere(image.data(), bob);
    EXPECT_EQ(Names(0), (TNames{"alice"}));
    EXPECT_EQ(Names(1), (TNames{"alice"}));
    EXPECT_TRUE(StatusEntry(image, bob, 1)) << "the deleted record's status entry is made";
    EXPECT_EQ(C->GetTableRecordCount(), 1);
}

TEST_F(IndexBuildTest, DroppingKeepsTheEntryOfTheIndexNamedToKeep) {
    Create(true);
    Insert({"alice", "Paris", 10});
    int32_t bob = Insert({"bob", "Oslo", 20});
    std::vector<uint8_t> image = Record(bob);
    C->DropRecordEverywhere(image.data(), bob, 1);
    C->SelectIndex(1);
    std::vector<uint8_t> key(C->GetKeySize() + 8);
    C->BuildKey(image.data(), key.data());
    EXPECT_TRUE(C->KeyEntryExists(key.data(), bob));
    C->SelectIndex(0);
    C->BuildKey(image.data(), key.data());
    EXPECT_FALSE(C->KeyInIndex(key.data()));
}

TEST_F(IndexBuildTest, KeySizesFollowTheIndexFields) {
    Create(true);
    struct TCase {
        TIndexDescriptor Desc;
        uint16_t KeySize;
    } cases[] = {
        {Index("ByCount", {3}, false), 9},        // 4 + 1, record-ID suffix 4
        {Index("CityCount", {2, 3}, true), 257},  // 251 + 1, 4 + 1
        {Index("NameCity", {1, 2}, false), 278},  // 21 + 1, 251 + 1, 4
    };
    for (auto& c : cases) {
        C->AddIndex(c.Desc, true);
        TIndexDescriptor stored = C->GetIndexDesc(C->GetSecondaryIndexCount());
        EXPECT_EQ(stored.Name, c.Desc.Name);
        EXPECT_EQ(stored.KeySize, c.KeySize) << c.Desc.Name;
        EXPECT_EQ(stored.FieldCount, c.Desc.Name == "ByCount" ? 1 : 2);
    }
    EXPECT_EQ(C->GetSecondaryIndexCount(), 4);
}

TEST_F(IndexBuildTest, AnIndexIsBuiltFromTheLiveRecordsAndSurvivesReopen) {
    Create(true);
    Insert({"alice", "Paris", 30});
    Insert({"bob", "Oslo", 10});
    Insert({"carol", "Rome", 20});
    Insert({"dave", "Bern", 40});
    C->SelectIndex(0);
    auto b = Buffer({"dave", "", 0});
    std::vector<uint8_t> out(C->GetRecordSize());
    ASSERT_TRUE(C->FindKey(false, b.data(), 1, false, 0, out.data()));
    C->DeleteRecord(out.data(), true);

    std::vector<int> reports;
    TIndexBuildTestAccess::SetIndexProgress(*C,
                                            [&](TDataCursor&, int percent) { reports.push_back(percent); });
    Session->SetProgressSteps(4);  // every 25 %
    C->SetIndexNumber(1);
    C->AddIndex(Index("ByCount", {3}, true), true);
    EXPECT_EQ(reports, (std::vector<int>{25, 50, 75, 100}));
    EXPECT_EQ(C->CurrentIndex, 1) << "the current index stays";
    EXPECT_TRUE(C->IsAtBeginning()) << "the cursor stands before the first record";
    EXPECT_EQ(Names(2), (TNames{"bob", "carol", "alice"}));
    Close();
    Open();
    EXPECT_EQ(Names(2), (TNames{"bob", "carol", "alice"}));
    Insert({"erin", "Bonn", 15});
    EXPECT_EQ(Names(2), (TNames{"bob", "erin", "carol", "alice"})) << "kept up by later inserts";
}

TEST_F(IndexBuildTest, RefusedIndexesChangeNoFile) {
    Create(true);
    Insert({"alice", "Paris", 10});
    Insert({"bob", "Paris", 20});
    Insert({"carol", "Rome", 10});
    // An index that came and went leaves free pages in the slot that the next build takes.
    C->AddIndex(Index("Scratch", {2, 1}, false), true);
    C->DeleteIndex("Scratch", true);
    Close();
    std::string dat = Bytes("T.DAT"), idx = Bytes("T.IDX");
    Open();
    TIndexDescriptor tooLong = Index("Wide", {2, 2, 2}, false);  // 3 x 252 bytes
    try {
        C->AddIndex(tooLong, true);
        ADD_FAILURE() << "no error";
    } catch (const EDbEngineError& e) {
        EXPECT_EQ(e.ErrorCode, DBE_INVALIDKEY);
        EXPECT_EQ(e.ErrorIndex, "Wide");
    }
    try {
        C->AddIndex(Index("ByCount", {3}, true), true);
        ADD_FAILURE() << "no error";
    } catch (const EDbEngineError& e) {
        EXPECT_EQ(e.ErrorCode, DBE_KEYVIOL);
        EXPECT_EQ(e.ErrorIndex, "ByCount");
    }
    EXPECT_EQ(C->GetSecondaryIndexCount(), 1);
    EXPECT_EQ(C->GetTableRecordCount(), 3) << "no record is given up";
    EXPECT_EQ(Names(0), (TNames{"alice", "bob", "carol"}));
    Close();
    EXPECT_TRUE(Bytes("T.DAT") == dat) << "data file changed";
    EXPECT_TRUE(Bytes("T.IDX") == idx) << "index file changed";

    Open(false);
    EXPECT_EQ(CodeOf([&] { C->AddIndex(Index("ByCount", {3}, false), true); }), DBE_NEEDEXCLACCESS);
    EXPECT_EQ(CodeOf([&] { C->DeleteIndex("ByCity", true); }), DBE_NEEDEXCLACCESS);
}

TEST_F(IndexBuildTest, DeletingFindsTheNameWithoutBlanksOrCase) {
    Create(true);
    for (int i = 0; i < 300; ++i)
        Insert({"n" + std::to_string(1000 + i), std::string(200, 'x') + std::to_string(i), i});
    C->AddIndex(Index("ByCount", {3}, false), true);
    C->AddIndex(Index("Last", {3, 1}, false), true);
    int32_t cityRoot = C->GetIndexDesc(1).RootPage;
    ASSERT_GT(C->GetTable()->IndexFile->GetPageCount(), 30) << "ByCity spans several levels";
    C->SetIndexName("Last");
    C->MoveBy(5);
    C->DeleteIndex("  bycity ", true);
    EXPECT_EQ(C->GetSecondaryIndexCount(), 2);
    EXPECT_EQ(C->GetIndexDesc(1).Name, "ByCount") << "later descriptors move down";
    EXPECT_EQ(C->GetIndexDesc(2).Name, "Last");
    EXPECT_EQ(C->CurrentIndex, 0);
    EXPECT_TRUE(C->IsAtBeginning());
    EXPECT_EQ(C->GetTable()->IndexFile->GetFreePage(3), cityRoot) << "the root is freed last";
    try {
        C->DeleteIndex("ByCity", true);
        ADD_FAILURE() << "no error";
    } catch (const EDbEngineError& e) {
        EXPECT_EQ(e.ErrorCode, DBE_INVALIDINDEXNAME);
        EXPECT_EQ(e.ErrorIndex, "ByCity");
    }
    // Every freed page is taken again by an index of the same shape: the file does not grow.
    int32_t pages = C->GetTable()->IndexFile->GetPageCount();
    C->AddIndex(Index("ByCity", {2}, false), true);
    EXPECT_EQ(C->GetTable()->IndexFile->GetPageCount(), pages);
    EXPECT_EQ(Names(3).size(), 300u);
    Close();
    Open();
    EXPECT_EQ(Names(3).size(), 300u);
    EXPECT_EQ(Names(2).front(), "n1000");
}

TEST_F(IndexBuildTest, OpeningWithoutTheIndexFileRebuildsTheRecordStatusIndex) {
    Create(true);
    Insert({"alice", "Paris", 10});
    Insert({"bob", "Oslo", 20});
    Insert({"carol", "Rome", 30});
    C->SelectIndex(0);
    auto b = Buffer({"bob", "", 0});
    std::vector<uint8_t> out(C->GetRecordSize());
    ASSERT_TRUE(C->FindKey(false, b.data(), 1, false, 0, out.data()));
    C->DeleteRecord(out.data(), true);
    Close();
    std::filesystem::remove(std::filesystem::path(Root.Path()) / "T.IDX");

    Open();
    EXPECT_TRUE(C->HasInternalPrimaryIndex());
    EXPECT_EQ(C->GetSecondaryIndexCount(), 0);
    EXPECT_EQ(C->GetTableRecordCount(), 2);
    EXPECT_TRUE(StatusEntry(Record(1), 1, 0));
    EXPECT_TRUE(StatusEntry(Record(2), 2, 1)) << "the deleted record keeps its place";
    EXPECT_TRUE(StatusEntry(Record(3), 3, 0));
    EXPECT_EQ(Names(0), (TNames{"alice", "carol"}));
    Close();
    Open();
    EXPECT_EQ(C->GetTableRecordCount(), 2) << "rebuilt once, kept on disk";
    Insert({"dave", "Bern", 40});
    EXPECT_EQ(Names(0), (TNames{"alice", "carol", "dave"}));
}

TEST_F(IndexBuildTest, SortingAResultTableRenumbersAndKeepsTheRecordStatusIndex) {
    TTableDefinition def;
    def.Fields = {Field(1, "Name", fldString, 20), Field(2, "City", fldString, 250),
                  Field(3, "Count", fldInteger)};
    TDataCursor creator(Database);
    creator.SetTableName("T");
    creator.SetExclusive(true);
    creator.CreateTable(def, true, false);
    Open();
    for (auto& n : {"b", "a", "b", "c", "a"}) Insert({n, "", 0});
    std::vector<TFieldDescriptor> fields(1);
    C->GetFieldDesc(1, fields[0]);
    C->SortRecords(fields, false, -1, true, false, false, false, nullptr);
    EXPECT_TRUE(C->IsAtBeginning());
    EXPECT_EQ(Names(0), (TNames{"a", "b", "c"}));
    EXPECT_EQ(C->GetTableRecordCount(), 3);
    // The record-status keys follow the new record IDs: deleting goes through them.
    C->SetToBegin();
    std::vector<uint8_t> out(C->GetRecordSize());
    ASSERT_EQ(C->GetNextRecord(out.data()), 0);
    C->DeleteRecord(out.data(), true);
    EXPECT_EQ(Names(0), (TNames{"b", "c"}));
    Close();
    Open();
    EXPECT_EQ(Names(0), (TNames{"b", "c"}));

    C->AddIndex(Index("ByName", {1}, false), true);
    C->SortRecords(fields, false, -1, false, false, false, false, nullptr);
    EXPECT_EQ(C->GetTable()->DataFile->RecordCount(), 3) << "a table with secondary indexes is not sorted";
}

TEST_F(IndexBuildTest, AFailedBuildLeavesNoIndexBehind) {
    Create(true);
    for (int i = 0; i < 200; ++i) Insert({"n" + std::to_string(1000 + i), "c" + std::to_string(i % 7), i});
    Close();
    for (bool unique : {false, true}) {
        SCOPED_TRACE(unique);
        std::string idx = Bytes("T.IDX");
        Open();
        int64_t failAt = C->GetTable()->DataFile->RecordOffset(120);
        bool raised = false;
        {
            platform::TScopedFileFault fault(
                [&](platform::TFileOperation op, const std::string& path, int64_t position, uint32_t count) {
                    if (op == platform::TFileOperation::Read && path.ends_with("T.DAT") &&
                        position + count > failAt)
                        return platform::TFileFault{30};  // read fault
                    return platform::TFileFault{};
                });
            try {
                C->AddIndex(Index("ByCount", {3}, unique), true);
            } catch (const EDbEngineError&) {
                raised = true;
            }
        }
        EXPECT_TRUE(raised);
        EXPECT_EQ(C->GetSecondaryIndexCount(), 1);
        EXPECT_FALSE(C->IndexExists("ByCount"));
        EXPECT_EQ(Names(1).size(), 200u) << "the table is still usable";
        Close();
        if (unique) {
            EXPECT_TRUE(Bytes("T.IDX") == idx) << "the failed build left no trace";
        }
        Open();
        C->AddIndex(Index("ByCount", {3}, unique), true);
        EXPECT_EQ(Names(2).size(), 200u);
        C->DeleteIndex("ByCount", true);
        Close();
    }
}

}  // namespace
}  // namespace dbengine
