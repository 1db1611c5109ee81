// The BLOB stream over a memo field of an engine table: reads, seeks, writes in edit and insert,
// shared open BLOBs and checked positions.

#include "dbsql/components/DbBlobStream.h"

#include <gtest/gtest.h>

#include "dbengine/util/EngineError.h"
#include "dbsql/testsupport/DbTestTable.h"

using namespace dbsql;
using namespace framework;
using dbsql::testsupport::CreateTestTable;
using dbsql::testsupport::Raised;
using dbsql::testsupport::TTestTable;

namespace {

// Notes: ID (integer, the key), Text (memo); record 1 holds "0123456789".
struct Notes : dbsql::testsupport::SessionFixture {
    TTestTable t;
    void SetUp() override {
        SessionFixture::SetUp();
        CreateTestTable("D:\\", "Notes", {{"ID", 6}, {"Text", 3, 22}}, 1);
        t.SetDatabaseName("D:\\");
        t.TableName = "Notes";
        t.Open();
        t.AppendRecord({Variant(1), Variant("0123456789")});
        t.First();
    }
    TBlobField* Text() { return dynamic_cast<TBlobField*>(t.FieldByName("Text")); }
    std::unique_ptr<TStream> Stream(TBlobStreamMode mode) { return t.CreateBlobStream(Text(), mode); }
    uint16_t CodeOf(const std::function<void()>& f) {
        try {
            f();
        } catch (const dbengine::EDbEngineError& e) {
            return e.ErrorCode;
        }
        return 0;
    }
};

}  // namespace

TEST_F(Notes, ReadingStopsAtTheEndAndSeekFromTheEndGivesTheLength) {
    auto s = Stream(bmRead);
    ASSERT_NE(dynamic_cast<TDbBlobStream*>(s.get()), nullptr);
    char buf[100] = {};
    EXPECT_EQ(s->Read(buf, 100), 10);
    EXPECT_EQ(std::string(buf, 10), "0123456789");
    EXPECT_EQ(s->Read(buf, 100), 0);
    EXPECT_EQ(s->Seek(0, soFromEnd), 10);
    EXPECT_EQ(s->Seek(-4, soFromCurrent), 6);
    EXPECT_EQ(s->Read(buf, 2), 2);
    EXPECT_EQ(std::string(buf, 2), "67");
    EXPECT_EQ(s->Seek(50, soFromBeginning), 50);
    EXPECT_EQ(s->Read(buf, 10), 0);
}

TEST_F(Notes, WritingNeedsEditModeAndStartsEmptyWithWrite) {
    EXPECT_EQ(Raised([&] { Stream(bmWrite); }), "Table is not in edit or insert mode.");
    t.Edit();
    {
        auto s = Stream(bmWrite);
        EXPECT_EQ(s->Size(), 0);
        s->WriteBuffer("abc", 3);
    }
    {
        // A second stream on the same edit buffer shares the BLOB the first one opened.
        auto s = Stream(bmReadWrite);
        EXPECT_EQ(s->Size(), 3);
        s->Seek(0, soFromEnd);
        s->WriteBuffer("de", 2);
    }
    t.Post();
    EXPECT_EQ(Text()->AsString(), "abcde");
}

TEST_F(Notes, ALargeMemoRoundTrips) {
    std::string big(100000, ' ');
    for (size_t i = 0; i < big.size(); ++i) big[i] = char('a' + i % 26);
    t.Append();
    t.FieldByName("ID")->SetAsInteger(2);
    {
        auto s = Stream(bmWrite);
        s->WriteBuffer(big.data(), int32_t(big.size()));
    }
    t.Post();
    t.Close();
    t.Open();
    t.Last();
    auto s = Stream(bmRead);
    std::string back(big.size() + 10, '\0');
    EXPECT_EQ(s->Read(back.data(), int32_t(back.size())), int32_t(big.size()));
    back.resize(big.size());
    EXPECT_EQ(back, big);
}

TEST_F(Notes, PositionsOutsideThirtyOneBitsAreRefusedAndChangeNothing) {
    t.Edit();
    auto s = Stream(bmReadWrite);
    s->Seek(4, soFromBeginning);
    EXPECT_EQ(CodeOf([&] { s->Seek(-1, soFromBeginning); }), 10029);
    EXPECT_EQ(CodeOf([&] { s->Seek(int64_t(1) << 31, soFromBeginning); }), 10029);
    EXPECT_EQ(s->Position(), 4);
    s->Seek((int64_t(1) << 31) - 2, soFromBeginning);
    EXPECT_EQ(CodeOf([&] { s->Write("abc", 3); }), 10029);
    s->Seek(0, soFromBeginning);
    char buf[20] = {};
    EXPECT_EQ(s->Read(buf, 20), 10);
    EXPECT_EQ(std::string(buf, 10), "0123456789");
    s.reset();
    t.Cancel();
}

TEST_F(Notes, ReadingTheValueWhileEditingKeepsWhatStreamsWrote) {
    t.Edit();
    EXPECT_EQ(Text()->AsString(), "0123456789");
    {
        auto w = Stream(bmReadWrite);
        w->Seek(0, soFromEnd);
        w->WriteBuffer("ab", 2);
        // Reads while the writing stream is open, through a stream and as a whole value.
        EXPECT_EQ(Text()->AsString(), "0123456789ab");
        std::vector<uint8_t> bytes;
        EXPECT_EQ(t.GetBlobFieldData(2, bytes), 12);
        w->WriteBuffer("c", 1);
    }
    EXPECT_EQ(Text()->AsString(), "0123456789abc");
    EXPECT_EQ(Text()->OldValue().AsString(), "0123456789");
    Text()->SetAsString("new");
    EXPECT_EQ(Text()->AsString(), "new");
    t.Post();
    EXPECT_EQ(Text()->AsString(), "new");

    t.Append();
    t.FieldByName("ID")->SetAsInteger(2);
    EXPECT_TRUE(Text()->IsNull());
    {
        auto w = Stream(bmWrite);
        w->WriteBuffer("xyz", 3);
        EXPECT_FALSE(Text()->IsNull());
        EXPECT_TRUE(Text()->OldValue().IsNull());
    }
    EXPECT_EQ(Text()->AsVariant().AsString(), "xyz");
    t.Post();
    EXPECT_EQ(Text()->AsString(), "xyz");
}
