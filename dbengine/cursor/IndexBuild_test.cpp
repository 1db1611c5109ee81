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
        std::vector<uint8_t> b(C->RecordSize, 0);
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
        std::vector<uint8_t> b(C->RecordSize);
        C->SetToBegin();
        while (C->GetNextRecord(b.data()) == 0) out.push_back(NameOf(b.data()));
        return out;
    }
    std::vector<uint8_t> Record(int32_t recNo) {
        TRecord* rec = nullptr;
        EXPECT_TRUE(C->Table->DataFile->GetRecord(nullptr, recNo, 1, false, false, rec));
        std::vector<uint8_t> out(rec->Data(), rec->Data() + C->RecordSize);
        C->Table->DataFile->ReleaseRecord(rec);
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
        EXPECT_EQ(C->Table->DataFile->Header.FirstFreeRecord, bob);
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
    std::vector<uint8_t> key(C->KeySize + 8);
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
    std::vector<uint8_t> key(C->KeySize + 8);
    C->BuildKey(image.data(), key.data());
    EXPECT_TRUE(C->KeyEntryExists(key.data(), bob));
    C->SelectIndex(0);
    C->BuildKey(image.data(), key.data());
    EXPECT_FALSE(C->KeyInIndex(key.data()));
}

}  // namespace
}  // namespace dbengine
