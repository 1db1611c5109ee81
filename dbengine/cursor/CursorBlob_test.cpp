#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "dbengine/blob/BlobFile.h"
#include "dbengine/cursor/DataCursor.h"
#include "dbengine/data/DataFile.h"
#include "dbengine/data/Record.h"
#include "dbengine/testsupport/Descriptors.h"
#include "dbengine/testsupport/TableFixture.h"
#include "dbengine/util/Coding.h"

namespace dbengine {
namespace {

using testsupport::CodeOf;
using testsupport::Field;
using testsupport::Index;

constexpr uint16_t FName = 1;
constexpr uint16_t FNotes = 2;  // memo
constexpr uint16_t FData = 3;   // binary
constexpr uint16_t FCount = 4;
// 512-byte blocks carry 494 data bytes each.
constexpr int32_t BlockData = 494;

std::string Pattern(size_t size, char seed) {
    std::string s(size, '\0');
    for (size_t i = 0; i < size; ++i) s[i] = static_cast<char>(seed + i % 23);
    return s;
}

// Name (primary index), Notes (memo), Data (binary BLOB), Count.
class CursorBlobTest : public testsupport::TableFixture {
protected:
    void SetUp() override {
        TableFixture::SetUp();
        Create("T", false);
        Open();
    }
    // With textIndex, Notes is in the table's full-text index.
    void Create(const std::string& name, bool textIndex) {
        TTableDefinition def;
        def.Fields = {Field(1, "Name", fldString, 20), Field(2, "Notes", fldBlob, 0, fldstMemo),
                      Field(3, "Data", fldBlob, 0, fldstBinary), Field(4, "Count", fldInteger)};
        def.PrimaryIndex = Index("", {1}, true);
        if (textIndex) def.TextIndex.FieldNumbers[0] = FNotes;
        TDataCursor creator(Database);
        creator.SetTableName(name);
        creator.SetExclusive(true);
        creator.CreateTable(def, false, false);
    }
    void TearDown() override {
        C.reset();
        TableFixture::TearDown();
    }
    void Open(const std::string& name = "T") {
        C = std::make_unique<TDataCursor>(Database);
        C->SetTableName(name);
        C->OpenCursor();
    }
    void Close() { C.reset(); }

    const TFieldDescriptor& Desc(uint16_t f) const { return C->GetFieldDescs()[f - 1]; }
    int32_t Ref(const std::vector<uint8_t>& r, uint16_t f) const {
        return GetInt32(r.data() + Desc(f).Offset + 1);
    }
    int32_t Stamp(const std::vector<uint8_t>& r, uint16_t f) const {
        return GetInt32(r.data() + Desc(f).Offset + 5);
    }
    bool IsNull(const std::vector<uint8_t>& r, uint16_t f) const { return r[Desc(f).Offset] == 0; }

    std::vector<uint8_t> NewRecord(const std::string& name) {
        std::vector<uint8_t> b(C->GetRecordSize(), 0);
        C->InitRecord(b.data());
        uint8_t v[32] = {};
        std::memcpy(v, name.data(), name.size());
        C->PutField(FName, b.data(), v, false, false);
        return b;
    }
    // Opens the field for writing (bound to its record) and puts bytes at offset.
    void Write(std::vector<uint8_t>& r, uint16_t f, const std::string& bytes, int32_t offset = 0) {
        int32_t size = 0;
        ASSERT_EQ(C->OpenBlob(f, r.data(), BlobOpenWrite, false, true, size), 0);
        ASSERT_EQ(C->PutBlob(f, r.data(), offset, reinterpret_cast<const uint8_t*>(bytes.data()),
                             static_cast<int32_t>(bytes.size()), false),
                  0);
    }
    // The whole value of a closed field, read through a value of its own.
    std::string Value(std::vector<uint8_t> r, uint16_t f) {
        int32_t size = 0;
        EXPECT_EQ(C->OpenBlob(f, r.data(), BlobOpenRead, false, true, size), 0);
        std::string out(static_cast<size_t>(size), '\0');
        int32_t got = -1;
        EXPECT_EQ(C->GetBlob(f, r.data(), 0, reinterpret_cast<uint8_t*>(out.data()), size, got, false), 0);
        EXPECT_EQ(got, size);
        EXPECT_EQ(C->FreeBlob(f, r.data(), false), 0);
        return out;
    }
    // Stands on the named record and returns it.
    std::vector<uint8_t> Find(const std::string& name) {
        auto key = NewRecord(name);
        std::vector<uint8_t> out(C->GetRecordSize());
        EXPECT_TRUE(C->FindKey(false, key.data(), 1, false, 0, out.data())) << name;
        return out;
    }
    void Insert(std::vector<uint8_t>& r) { C->InsertRecord(r.data(), true); }
    TBlobFile& Blb() { return *C->GetTable()->BlobFile; }

    std::unique_ptr<TDataCursor> C;
};

TEST_F(CursorBlobTest, TheFieldHoldsANegatedHandleAndOneFieldOpenedTwiceSharesOneBuffer) {
    auto r = NewRecord("a");
    int32_t size = -1;
    ASSERT_EQ(C->OpenBlob(FNotes, r.data(), BlobOpenRead, false, true, size), 0);
    EXPECT_EQ(size, 0);
    ASSERT_EQ(C->GetOpenBlobs().size(), 1u);
    TBlobBuffer* buffer = C->GetOpenBlobs()[0].get();
    EXPECT_LT(Ref(r, FNotes), 0);
    EXPECT_EQ(-Ref(r, FNotes), buffer->Handle) << "a handle number, not an address";
    EXPECT_TRUE(IsNull(r, FNotes)) << "an empty open value is NULL";

    ASSERT_EQ(C->OpenBlob(FNotes, r.data(), BlobOpenWrite, false, false, size), 0);
    EXPECT_EQ(C->GetOpenBlobs().size(), 1u);
    EXPECT_EQ(buffer->OpenCount, 2);
    EXPECT_FALSE(buffer->RecordBound) << "a write open takes the new record binding";

    // Another cursor does not take this cursor's handle for one of its own.
    TDataCursor other(Database);
    other.SetTableName("T");
    other.OpenCursor();
    EXPECT_EQ(other.OpenBlob(FNotes, r.data(), BlobOpenRead, false, true, size), DBE_INVALIDBLOBOFFSET);
    EXPECT_EQ(other.GetBlobSize(FNotes, r.data(), size, false), DBE_INVALIDBLOBHANDLE);

    EXPECT_EQ(C->FreeBlob(FNotes, r.data(), false), 0);
    EXPECT_TRUE(C->IsBlobOpen(buffer)) << "still open once more";
    EXPECT_EQ(-Ref(r, FNotes), buffer->Handle);
    EXPECT_EQ(C->FreeBlob(FNotes, r.data(), false), 0);
    EXPECT_TRUE(C->GetOpenBlobs().empty());
    EXPECT_EQ(Ref(r, FNotes), 0) << "the field is closed again: no block";
    EXPECT_TRUE(IsNull(r, FNotes));
    EXPECT_EQ(C->FreeBlob(FNotes, r.data(), false), DBE_INVALIDBLOBHANDLE) << "a closed value";
    EXPECT_FALSE(C->IsBlobOpen(nullptr));
}

TEST_F(CursorBlobTest, TenBytesWrittenAndSavedMakeAChainAndANonNullField) {
    auto r = NewRecord("a");
    Write(r, FNotes, "0123456789");
    EXPECT_FALSE(IsNull(r, FNotes));
    Insert(r);
    EXPECT_TRUE(C->GetOpenBlobs().empty()) << "the record's values are freed with its write";
    EXPECT_GT(Ref(r, FNotes), 0) << "the caller's buffer holds the first block";
    EXPECT_TRUE(IsNull(r, FData));
    EXPECT_EQ(Ref(r, FData), 0);
    Close();

    Open();
    auto stored = Find("a");
    EXPECT_FALSE(IsNull(stored, FNotes));
    int32_t first = Ref(stored, FNotes);
    ASSERT_EQ(first, 1);
    EXPECT_EQ(Stamp(stored, FNotes), C->GetTable()->DataFile->Header.LastBlobStamp);
    EXPECT_NE(Stamp(stored, FNotes), 0);
    // The chain: one block carrying the size and the record's stamp.
    std::string blb = Bytes("T.BLB");
    ASSERT_EQ(blb.size(), 512u + 512u);
    const uint8_t* block = reinterpret_cast<const uint8_t*>(blb.data()) + 512;
    EXPECT_EQ(GetInt32(block + 4), 0) << "no next block";
    EXPECT_EQ(GetUInt16(block + 8), 10);
    EXPECT_EQ(GetInt32(block + 10), Stamp(stored, FNotes));
    EXPECT_EQ(GetInt32(block + 14), 10);
    EXPECT_EQ(Value(stored, FNotes), "0123456789");
}

TEST_F(CursorBlobTest, TruncatingToZeroAndWritingTheRecordMakesTheFieldNullWithFirstBlock0) {
    auto r = NewRecord("a");
    Write(r, FNotes, Pattern(600, 'a'));
    Insert(r);
    auto current = Find("a");
    int32_t first = Ref(current, FNotes);
    ASSERT_NE(first, 0);

    int32_t size = 0;
    ASSERT_EQ(C->OpenBlob(FNotes, current.data(), BlobOpenWrite, false, true, size), 0);
    EXPECT_EQ(size, 600);
    ASSERT_EQ(C->TruncateBlob(FNotes, current.data(), 0, false), 0);
    EXPECT_TRUE(IsNull(current, FNotes));
    C->ModifyRecord(current.data(), true, true);

    auto after = Find("a");
    EXPECT_TRUE(IsNull(after, FNotes));
    EXPECT_EQ(Ref(after, FNotes), 0);
    EXPECT_EQ(Blb().FirstFreeBlock(), 2) << "both blocks of the chain are free, the last freed first";
    EXPECT_EQ(Blb().NextBlockNo(), 3);
}

TEST_F(CursorBlobTest, ReadsReportTheEndOfTheValue) {
    auto r = NewRecord("a");
    Write(r, FNotes, "abcdef");
    struct Case {
        int32_t Offset, Count;
        TEngineErrorCode Code;
        std::string Bytes;
    } cases[] = {
        {0, 6, 0, "abcdef"},              // exactly the value
        {0, 7, DBE_ENDOFBLOB, "abcdef"},  // one byte more: what there is
        {2, 3, 0, "cde"},
        {5, 2, DBE_ENDOFBLOB, "f"},  // from the last byte on
        {6, 1, DBE_ENDOFBLOB, ""},
        {40, 1, DBE_ENDOFBLOB, ""},
        {1, INT32_MAX, DBE_ENDOFBLOB, "bcdef"},
        {0, 0, 0, ""},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(std::to_string(k.Offset) + "+" + std::to_string(k.Count));
        std::vector<uint8_t> dest(16, '#');
        int32_t got = -1;
        EXPECT_EQ(C->GetBlob(FNotes, r.data(), k.Offset, dest.data(), k.Count, got, false), k.Code);
        EXPECT_EQ(got, static_cast<int32_t>(k.Bytes.size()));
        EXPECT_EQ(std::string(dest.begin(), dest.begin() + got), k.Bytes);
        EXPECT_EQ(dest[got], '#') << "nothing copied past what was read";
    }
}

TEST_F(CursorBlobTest, BadFieldsHandlesOffsetsAndLengthsAreRefusedAndChangeNothing) {
    auto r = NewRecord("a");
    Write(r, FNotes, "abcdef");
    auto closed = NewRecord("b");
    uint8_t bytes[4] = {1, 2, 3, 4};
    int32_t size = 0, got = 0;
    struct Case {
        const char* What;
        TEngineErrorCode Expected;
        std::function<TEngineErrorCode()> Call;
    } cases[] = {
        {"open a string field", DBE_NOTABLOB,
         [&] { return C->OpenBlob(FName, r.data(), BlobOpenRead, false, true, size); }},
        {"open an unknown field", DBE_NOTABLOB,
         [&] { return C->OpenBlob(99, r.data(), BlobOpenRead, false, true, size); }},
        {"free an integer field", DBE_NOTABLOB, [&] { return C->FreeBlob(FCount, r.data(), false); }},
        {"read a string field", DBE_NOTABLOB,
         [&] { return C->GetBlob(FName, r.data(), 0, bytes, 1, got, false); }},
        {"write a string field", DBE_NOTABLOB,
         [&] { return C->PutBlob(FName, r.data(), 0, bytes, 1, false); }},
        {"truncate a string field", DBE_NOTABLOB, [&] { return C->TruncateBlob(FName, r.data(), 0, false); }},
        {"size of a string field", DBE_NOTABLOB,
         [&] { return C->GetBlobSize(FName, r.data(), size, false); }},
        {"read a closed value", DBE_INVALIDBLOBHANDLE,
         [&] { return C->GetBlob(FNotes, closed.data(), 0, bytes, 1, got, false); }},
        {"write a closed value", DBE_INVALIDBLOBHANDLE,
         [&] { return C->PutBlob(FNotes, closed.data(), 0, bytes, 1, false); }},
        {"truncate a closed value", DBE_INVALIDBLOBHANDLE,
         [&] { return C->TruncateBlob(FNotes, closed.data(), 0, false); }},
        {"size of a closed value", DBE_INVALIDBLOBHANDLE,
         [&] { return C->GetBlobSize(FNotes, closed.data(), size, false); }},
        {"read at a negative offset", DBE_INVALIDBLOBOFFSET,
         [&] { return C->GetBlob(FNotes, r.data(), -1, bytes, 1, got, false); }},
        {"read a negative count", DBE_INVALIDBLOBLEN,
         [&] { return C->GetBlob(FNotes, r.data(), 0, bytes, -1, got, false); }},
        {"write at a negative offset", DBE_INVALIDBLOBOFFSET,
         [&] { return C->PutBlob(FNotes, r.data(), -2, bytes, 4, false); }},
        {"write a negative count", DBE_INVALIDBLOBLEN,
         [&] { return C->PutBlob(FNotes, r.data(), 0, bytes, -4, false); }},
        {"write past 2^31 bytes", DBE_INVALIDBLOBLEN,
         [&] { return C->PutBlob(FNotes, r.data(), INT32_MAX - 1, bytes, 4, false); }},
        {"truncate to a negative length", DBE_INVALIDBLOBLEN,
         [&] { return C->TruncateBlob(FNotes, r.data(), -1, false); }},
    };
    auto before = r;
    for (const Case& k : cases) {
        SCOPED_TRACE(k.What);
        EXPECT_EQ(k.Call(), k.Expected);
        EXPECT_EQ(r, before);
        ASSERT_EQ(C->GetBlobSize(FNotes, r.data(), size, false), 0);
        EXPECT_EQ(size, 6);
    }
    EXPECT_EQ(C->GetOpenBlobs().size(), 1u);

    TDataCursor unopened(Database);
    EXPECT_EQ(unopened.OpenBlob(FNotes, closed.data(), BlobOpenRead, false, true, size), DBE_NOTABLOB);

    // A negative value that is no open handle of this cursor, and one with no positive twin.
    for (int32_t stale : {-12345, INT32_MIN}) {
        PutInt32(closed.data() + Desc(FData).Offset + 1, stale);
        EXPECT_EQ(C->OpenBlob(FData, closed.data(), BlobOpenRead, false, true, size), DBE_INVALIDBLOBOFFSET);
        EXPECT_EQ(C->FreeBlob(FData, closed.data(), false), DBE_INVALIDBLOBHANDLE);
    }
}

TEST_F(CursorBlobTest, WritesInsideTheValueAndShorterTruncationsAreSaved) {
    auto r = NewRecord("a");
    Write(r, FNotes, "hello world");
    Insert(r);
    auto current = Find("a");
    int32_t size = 0;
    ASSERT_EQ(C->OpenBlob(FNotes, current.data(), BlobOpenWrite, false, true, size), 0);
    TBlobBuffer* buffer = C->GetOpenBlobs()[0].get();
    EXPECT_FALSE(buffer->Modified);
    ASSERT_EQ(C->PutBlob(FNotes, current.data(), 0, reinterpret_cast<const uint8_t*>("J"), 1, false), 0);
    EXPECT_TRUE(buffer->Modified) << "a write inside the length changes the value";
    C->ModifyRecord(current.data(), true, true);
    EXPECT_EQ(Value(Find("a"), FNotes), "Jello world");

    current = Find("a");
    ASSERT_EQ(C->OpenBlob(FNotes, current.data(), BlobOpenWrite, false, true, size), 0);
    ASSERT_EQ(C->TruncateBlob(FNotes, current.data(), 5, false), 0);
    ASSERT_EQ(C->GetBlobSize(FNotes, current.data(), size, false), 0);
    EXPECT_EQ(size, 5);
    ASSERT_EQ(C->TruncateBlob(FNotes, current.data(), 8, false), 0);  // grows with zero bytes
    C->ModifyRecord(current.data(), true, true);
    EXPECT_EQ(Value(Find("a"), FNotes), std::string("Jello\0\0\0", 8));
}

TEST_F(CursorBlobTest, The129thOpenValueIsRefusedWith9494) {
    std::vector<std::vector<uint8_t>> records(TDataCursor::MaxOpenBlobs + 1, NewRecord("a"));
    int32_t size = 0;
    for (size_t i = 0; i < TDataCursor::MaxOpenBlobs; ++i)
        ASSERT_EQ(C->OpenBlob(FNotes, records[i].data(), BlobOpenRead, false, i % 2 == 0, size), 0) << i;
    auto& last = records.back();
    auto before = last;
    EXPECT_EQ(C->OpenBlob(FNotes, last.data(), BlobOpenRead, false, true, size), DBE_OPENBLOBLIMIT);
    EXPECT_EQ(C->GetOpenBlobs().size(), TDataCursor::MaxOpenBlobs);
    EXPECT_EQ(last, before) << "the field is left closed";
    // Opening one that is open already only counts it.
    EXPECT_EQ(C->OpenBlob(FNotes, records[0].data(), BlobOpenRead, false, true, size), 0);

    C->FreeAllBlobs(false, false);
    EXPECT_EQ(C->GetOpenBlobs().size(), TDataCursor::MaxOpenBlobs / 2) << "only the record-bound ones";
    EXPECT_EQ(C->OpenBlob(FNotes, last.data(), BlobOpenRead, false, true, size), 0);
    Close();  // frees the rest
}

TEST_F(CursorBlobTest, AWriteSavesOnlyTheValuesItsRecordHolds) {
    auto x = NewRecord("x");
    Write(x, FNotes, "not this one");
    auto y = NewRecord("y");
    Insert(y);
    EXPECT_TRUE(IsNull(y, FNotes));
    EXPECT_EQ(Ref(y, FNotes), 0) << "no other record's value lands in y";
    EXPECT_EQ(Blb().NextBlockNo(), 1) << "x's value got no chain";
    EXPECT_TRUE(IsNull(Find("y"), FNotes));
    // x's value was bound to its record and went with the write; x now holds a handle of
    // nothing, which must not reach the file.
    EXPECT_TRUE(C->GetOpenBlobs().empty());
    EXPECT_EQ(CodeOf([&] { Insert(x); }), DBE_INVALIDBLOBHANDLE);
    EXPECT_EQ(C->GetTableRecordCount(), 1);
}

// A record with a three-block memo and a small binary value.
TEST_F(CursorBlobTest, InsertModifyAndDeleteStoreReuseAndFreeChains) {
    auto a = NewRecord("a");
    Write(a, FNotes, Pattern(3 * BlockData, 'a'));
    Write(a, FData, "bin");
    Insert(a);
    EXPECT_EQ(Blb().NextBlockNo(), 5);  // blocks 1-3 for the memo, 4 for the binary value
    EXPECT_EQ(Blb().FirstFreeBlock(), 0);
    int32_t notes = Ref(a, FNotes);

    // Replaced the way an update does it: emptied, then written anew.
    auto current = Find("a");
    int32_t size = 0;
    ASSERT_EQ(C->OpenBlob(FNotes, current.data(), BlobOpenWrite, false, true, size), 0);
    ASSERT_EQ(C->TruncateBlob(FNotes, current.data(), 0, false), 0);
    ASSERT_EQ(C->PutBlob(FNotes, current.data(), 0, reinterpret_cast<const uint8_t*>("short"), 5, false), 0);
    int32_t oldStamp = Stamp(current, FNotes);
    C->ModifyRecord(current.data(), true, true);
    current = Find("a");
    // The changed value goes into new blocks and the old chain is freed once the record that
    // no longer points at it is written: a write killed in between leaves the old value whole.
    EXPECT_EQ(Ref(current, FNotes), 5) << "a new chain, not the old one rewritten";
    EXPECT_NE(Stamp(current, FNotes), oldStamp) << "a changed value takes a new stamp";
    EXPECT_EQ(Value(current, FNotes), "short");
    EXPECT_EQ(Value(current, FData), "bin") << "an unchanged value stays as it was";
    EXPECT_EQ(Blb().FirstFreeBlock(), 3) << "the old chain's blocks are free, the last freed first";
    EXPECT_NE(notes, 5);

    // The freed blocks are taken before the file grows.
    auto b = NewRecord("b");
    Write(b, FNotes, Pattern(2 * BlockData, 'b'));
    Insert(b);
    EXPECT_EQ(Blb().NextBlockNo(), 6);
    EXPECT_EQ(Blb().FirstFreeBlock(), 1);
    EXPECT_EQ(Value(Find("b"), FNotes), Pattern(2 * BlockData, 'b'));

    // Deleting a record frees every chain it has; the freed slot points at none.
    current = Find("a");
    C->DeleteRecord(current.data(), true);
    EXPECT_TRUE(C->GetOpenBlobs().empty());
    EXPECT_NE(Blb().FirstFreeBlock(), 0);
    int32_t freeCount = 0;
    for (int32_t no = Blb().FirstFreeBlock(); no != 0 && freeCount < 10; ++freeCount) {
        TBlock* block = nullptr;
        ASSERT_TRUE(Blb().GetBlock(nullptr, no, block, 1, false));
        no = block->NextBlock();
        Blb().ReleaseBlock(block);
    }
    EXPECT_EQ(freeCount, 3) << "memo block 5, binary block 4 and block 1 left from the old chain";
    TRecord* slot = nullptr;
    ASSERT_TRUE(C->GetTable()->DataFile->GetRecord(nullptr, 1, 1, false, false, slot));
    EXPECT_EQ(slot->Status(), 1);
    for (uint16_t f : {FNotes, FData}) {
        EXPECT_EQ(slot->Data()[Desc(f).Offset], 0);
        EXPECT_EQ(GetInt32(slot->Data() + Desc(f).Offset + 1), 0);
    }
    C->GetTable()->DataFile->ReleaseRecord(slot);
    EXPECT_EQ(Value(Find("b"), FNotes), Pattern(2 * BlockData, 'b'));
}

TEST_F(CursorBlobTest, AMemoOfTheFullTextIndexKeepsItsOldBytesWhenOpened) {
    Close();
    Create("U", true);
    Open("U");
    auto a = NewRecord("a");
    Write(a, FNotes, "old words");
    Write(a, FData, "bytes");
    Insert(a);
    auto current = Find("a");
    Write(current, FNotes, "new");
    Write(current, FData, "x");
    ASSERT_EQ(C->GetOpenBlobs().size(), 2u);
    const TBlobBuffer& notes = *C->GetOpenBlobs()[0];
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(notes.GetOldData()), notes.GetOldSize()),
              "old words");
    EXPECT_EQ(C->GetOpenBlobs()[1]->GetOldSize(), 0) << "a value outside the index keeps no copy";
}

TEST_F(CursorBlobTest, DroppingARecordEverywhereFreesItsChains) {
    auto a = NewRecord("a");
    Write(a, FNotes, Pattern(800, 'd'));
    Insert(a);
    auto b = NewRecord("b");
    Write(b, FNotes, "stays");
    Insert(b);
    auto stored = Find("a");
    C->DropRecordEverywhere(stored.data(), C->GetPhysicalRecNo());
    EXPECT_TRUE(C->GetOpenBlobs().empty());
    EXPECT_EQ(Blb().FirstFreeBlock(), 2) << "a's two blocks are free";
    EXPECT_EQ(C->GetTableRecordCount(), 1);
    TRecord* slot = nullptr;
    ASSERT_TRUE(C->GetTable()->DataFile->GetRecord(nullptr, 1, 1, false, false, slot));
    EXPECT_EQ(GetInt32(slot->Data() + Desc(FNotes).Offset + 1), 0);
    C->GetTable()->DataFile->ReleaseRecord(slot);
    EXPECT_EQ(Value(Find("b"), FNotes), "stays");
}

// A rolled-back transaction, empty or not, leaves the cursor's view matching the table: the
// record count is the table's at once and the next insert with a memo goes through.
TEST_F(CursorBlobTest, AnInsertWithAMemoAfterARolledBackTransactionGoesThrough) {
    // The deleted record's slot is taken again and one of its three blocks; the cursor stands
    // on the record in the last slot, and the insert after the rollback appends a slot and
    // takes a free block that is no longer cached.
    for (const char* name : {"a", "c", "d"}) {
        auto r = NewRecord(name);
        Write(r, FNotes, Pattern(name[0] == 'c' ? 3 * BlockData : 300, name[0]));
        Insert(r);
    }
    auto c = Find("c");
    C->DeleteRecord(c.data(), true);
    auto b0 = NewRecord("b");
    Write(b0, FNotes, Pattern(300, 'b'));
    Insert(b0);
    Find("d");
    EXPECT_EQ(C->GetRecordCount(), 3);

    Database->StartTransaction(false);
    Database->Rollback(false);
    EXPECT_EQ(C->GetRecordCount(), 3);
    auto e = NewRecord("e");
    Write(e, FNotes, Pattern(700, 'e'));
    Insert(e);
    EXPECT_EQ(C->GetRecordCount(), 4);

    // A transaction that inserted records and freed blocks is taken back as a whole.
    Database->StartTransaction(false);
    for (const char* name : {"f", "h"}) {
        auto r = NewRecord(name);
        Write(r, FNotes, Pattern(1200, name[0]));
        Insert(r);
    }
    auto a = Find("a");
    C->DeleteRecord(a.data(), true);
    EXPECT_EQ(C->GetRecordCount(), 5);
    Database->Rollback(false);
    EXPECT_EQ(C->GetRecordCount(), 4);
    auto g = NewRecord("g");
    Write(g, FNotes, Pattern(900, 'g'));
    Insert(g);
    EXPECT_EQ(C->GetRecordCount(), 5);

    std::vector<std::string> names;
    std::vector<uint8_t> b(C->GetRecordSize());
    C->SetToBegin();
    while (C->GetNextRecord(b.data()) == 0) {
        uint8_t v[32] = {};
        bool blank = false;
        C->GetField(FName, b.data(), v, blank);
        names.push_back(reinterpret_cast<char*>(v));
        EXPECT_EQ(Value(b, FNotes),
                  Pattern(names.back() == "a" || names.back() == "b" || names.back() == "d" ? 300
                          : names.back() == "e"                                             ? 700
                                                                                            : 900,
                          names.back()[0]));
    }
    EXPECT_EQ(names, (std::vector<std::string>{"a", "b", "d", "e", "g"}));
}

TEST_F(CursorBlobTest, ACancelledEditLeavesTheBlobFileAsItWas) {
    auto a = NewRecord("a");
    Write(a, FNotes, "kept");
    Insert(a);
    Close();
    std::string blb = Bytes("T.BLB");

    Open();
    auto current = Find("a");
    int32_t first = Ref(current, FNotes);
    Write(current, FData, Pattern(1200, 'x'));
    int32_t size = 0;
    ASSERT_EQ(C->OpenBlob(FNotes, current.data(), BlobOpenWrite, false, true, size), 0);
    ASSERT_EQ(C->TruncateBlob(FNotes, current.data(), 0, false), 0);
    EXPECT_TRUE(IsNull(current, FNotes)) << "emptied: NULL, yet open";
    ASSERT_EQ(C->GetOpenBlobs().size(), 2u);
    C->CancelRecord();
    C->FreeRecordBlobs(current.data());
    EXPECT_TRUE(C->GetOpenBlobs().empty()) << "the emptied value is freed as well";
    EXPECT_EQ(Ref(current, FNotes), first);
    EXPECT_EQ(Ref(current, FData), 0);

    // The next write of the record saves nothing of the cancelled edit.
    current = Find("a");
    PutInt32(current.data() + Desc(FCount).Offset + 1, 7);
    current[Desc(FCount).Offset] = 1;
    C->ModifyRecord(current.data(), true, true);
    C->GetTable()->FlushBuffers();
    Close();
    EXPECT_TRUE(Bytes("T.BLB") == blb) << "BLOB file changed";
    Open();
    EXPECT_EQ(Value(Find("a"), FNotes), "kept");
}

TEST_F(CursorBlobTest, CloneGivesTheCopyValuesOfItsOwn) {
    auto a = NewRecord("a");
    Write(a, FNotes, Pattern(700, 'n'));
    Insert(a);
    Find("a");
    std::vector<uint8_t> copy(C->GetRecordSize());
    ASSERT_EQ(C->CloneCurrentRecord(copy.data()), 0);
    ASSERT_EQ(C->GetOpenBlobs().size(), 1u) << "the copy's value is open";
    EXPECT_TRUE(IsNull(copy, FData));
    uint8_t name[32] = "b";
    C->PutField(FName, copy.data(), name, false, false);
    Insert(copy);
    EXPECT_NE(Ref(copy, FNotes), Ref(Find("a"), FNotes));
    EXPECT_EQ(Value(Find("b"), FNotes), Pattern(700, 'n'));

    auto b = Find("b");
    int32_t size = 0;
    ASSERT_EQ(C->OpenBlob(FNotes, b.data(), BlobOpenWrite, false, true, size), 0);
    ASSERT_EQ(C->TruncateBlob(FNotes, b.data(), 0, false), 0);
    C->ModifyRecord(b.data(), true, true);
    EXPECT_EQ(Value(Find("a"), FNotes), Pattern(700, 'n')) << "the original keeps its value";
}

// A cursor opened for restructure addresses its fields by field number. With a field dropped
// those run past the field count: here Name 1, Notes 3 and Data 5 at positions 1 to 3.
TEST_F(CursorBlobTest, ACursorOpenedForRestructureReachesEveryValueByItsFieldNumber) {
    Close();
    TTableDefinition def;
    def.Fields = {Field(1, "Name", fldString, 20), Field(3, "Notes", fldBlob, 0, fldstMemo),
                  Field(5, "Data", fldBlob, 0, fldstBinary)};
    def.PrimaryIndex = Index("", {1}, true);
    {
        TDataCursor creator(Database);
        creator.SetTableName("R");
        creator.SetExclusive(true);
        creator.CreateTable(def, false, false);
    }
    C = std::make_unique<TDataCursor>(Database);
    C->SetTableName("R");
    C->SetExclusive(true);
    C->OpenForRestructure();
    constexpr uint16_t notes = 3, data = 5;
    const TFieldDescriptor& dataDesc = C->GetFieldDescs()[2];
    ASSERT_EQ(dataDesc.FieldNo, data);

    auto a = NewRecord("a");
    Write(a, notes, Pattern(BlockData + 10, 'n'));
    Write(a, data, "bytes");
    Insert(a);
    ASSERT_EQ(Blb().NextBlockNo(), 4);  // two blocks for the memo, one for the binary value
    ASSERT_TRUE(C->GetOpenBlobs().empty());

    // Freeing a record's open values reaches the field past the field count.
    auto current = Find("a");
    auto held = current;
    int32_t size = 0;
    ASSERT_EQ(C->OpenBlob(data, held.data(), BlobOpenWrite, false, true, size), 0);
    ASSERT_EQ(C->PutBlob(data, held.data(), 0, reinterpret_cast<const uint8_t*>("x"), 1, false), 0);
    C->FreeRecordBlobs(held.data());
    EXPECT_TRUE(C->GetOpenBlobs().empty());
    EXPECT_EQ(GetInt32(held.data() + dataDesc.Offset + 1), GetInt32(current.data() + dataDesc.Offset + 1))
        << "the field is closed again on its stored chain";

    // A copy of the record gets both values.
    std::vector<uint8_t> copy(C->GetRecordSize());
    ASSERT_EQ(C->CloneCurrentRecord(copy.data()), 0);
    EXPECT_EQ(C->GetOpenBlobs().size(), 2u);
    std::string bytes(5, '\0');
    int32_t got = 0;
    EXPECT_EQ(C->GetBlob(data, copy.data(), 0, reinterpret_cast<uint8_t*>(bytes.data()), 5, got, false), 0);
    EXPECT_EQ(bytes, "bytes");
    C->FreeRecordBlobs(copy.data());
    EXPECT_TRUE(C->GetOpenBlobs().empty());

    // Deleting frees both chains and leaves the freed slot pointing at neither: a record of the
    // same sizes fits in the freed blocks.
    C->DeleteRecord(Find("a").data(), true);
    TRecord* slot = nullptr;
    ASSERT_TRUE(C->GetTable()->DataFile->GetRecord(nullptr, 1, 1, false, false, slot));
    EXPECT_EQ(GetInt32(slot->Data() + dataDesc.Offset + 1), 0);
    C->GetTable()->DataFile->ReleaseRecord(slot);
    auto b = NewRecord("b");
    Write(b, notes, Pattern(BlockData + 10, 'm'));
    Write(b, data, "other");
    Insert(b);
    EXPECT_EQ(Blb().NextBlockNo(), 4);
    EXPECT_EQ(Blb().FirstFreeBlock(), 0);
    C->LeaveRestructureMode();
}

// The binary value's chain is damaged past its end: loading stops at the value's size, saving
// walks the old chain first and refuses it.
class CursorBlobFailureTest : public CursorBlobTest {
protected:
    void SetUp() override {
        CursorBlobTest::SetUp();
        auto a = NewRecord("a");
        Write(a, FNotes, "notes");
        Write(a, FData, "data");
        Insert(a);
        DataRef = Ref(a, FData);
        DataStamp = Stamp(a, FData);
        Close();
        std::string blb = Bytes("T.BLB");
        PutInt32(reinterpret_cast<uint8_t*>(blb.data()) + 512 + (DataRef - 1) * 512 + 4, 9999);
        std::ofstream(Root / "T.BLB", std::ios::binary | std::ios::trunc).write(blb.data(), blb.size());
        Dat = Bytes("T.DAT");
        Idx = Bytes("T.IDX");
        Blb = Bytes("T.BLB");
        Open();
    }
    void ExpectFilesUnchanged() {
        // Whatever the cache still holds reaches the files with the next flush.
        C->GetTable()->FlushBuffers();
        Close();
        EXPECT_TRUE(Bytes("T.DAT") == Dat) << "data file changed";
        EXPECT_TRUE(Bytes("T.IDX") == Idx) << "index file changed";
        EXPECT_TRUE(Bytes("T.BLB") == Blb) << "BLOB file changed";
    }
    int32_t DataRef = 0;
    int32_t DataStamp = 0;
    std::string Dat, Idx, Blb;
};

TEST_F(CursorBlobFailureTest, AModifyThatFailsSavingItsSecondValueChangesNoFile) {
    auto current = Find("a");
    // Grows into more new blocks than the cache holds (64 at this block size).
    Write(current, FNotes, Pattern(100 * BlockData, 'q'));
    Write(current, FData, "new");
    auto sent = current;
    EXPECT_EQ(CodeOf([&] { C->ModifyRecord(current.data(), true, true); }), DBE_MEMOCORRUPT);
    EXPECT_EQ(current, sent) << "the caller's record still holds its open values";
    ASSERT_EQ(C->GetOpenBlobs().size(), 2u);
    for (const auto& b : C->GetOpenBlobs()) EXPECT_TRUE(b->Modified);
    EXPECT_EQ(C->GetOpenBlobs()[0]->FirstBlock, Ref(Find("a"), FNotes))
        << "no block number of the failed save";
    EXPECT_EQ(C->GetTable()->DataFile->Header.LastBlobStamp, 2);
    EXPECT_FALSE(C->GetTable()->WriteLocked);
    C->CancelRecord();
    C->FreeRecordBlobs(current.data());
    EXPECT_EQ(Value(Find("a"), FNotes), "notes");
    ExpectFilesUnchanged();
}

TEST_F(CursorBlobFailureTest, AnInsertThatFailsSavingItsSecondValueChangesNoFile) {
    // The new record's binary value starts from a's stored one (a copied reference).
    auto n = NewRecord("n");
    Write(n, FNotes, Pattern(100 * BlockData, 'n'));
    uint8_t* at = n.data() + Desc(FData).Offset;
    at[0] = 1;
    PutInt32(at + 1, DataRef);
    PutInt32(at + 5, DataStamp);
    Write(n, FData, "x");
    EXPECT_EQ(CodeOf([&] { Insert(n); }), DBE_MEMOCORRUPT);
    EXPECT_EQ(C->GetTableRecordCount(), 1);
    EXPECT_EQ(C->GetOpenBlobs().size(), 2u);
    EXPECT_EQ(C->GetOpenBlobs()[0]->FirstBlock, 0) << "the new value has no chain yet";
    C->FreeRecordBlobs(n.data());
    EXPECT_TRUE(C->GetOpenBlobs().empty());
    ExpectFilesUnchanged();
}

}  // namespace
}  // namespace dbengine
