#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "dbengine/blob/BlobBuffer.h"
#include "dbengine/cursor/DataCursor.h"
#include "dbengine/cursor/TableCursor.h"
#include "dbengine/testsupport/Descriptors.h"
#include "dbengine/testsupport/TableFixture.h"
#include "dbengine/util/Coding.h"

namespace dbengine {
namespace {

using testsupport::Field;
using testsupport::Index;

// What the layers above the engine do, through TTableCursor only: create a table, fill it,
// walk it in two orders, find by key, filter, keep a memo, edit and delete, verify.
class TableCursorTest : public testsupport::TableFixture {
protected:
    static void PutText(TTableCursor& c, uint16_t f, uint8_t* b, const std::string& s) {
        uint8_t v[64] = {};
        std::memcpy(v, s.data(), s.size());
        c.PutField(f, b, v, false, false);
    }
    static void PutInt(TTableCursor& c, uint16_t f, uint8_t* b, int32_t n) {
        uint8_t v[4];
        PutInt32(v, n);
        c.PutField(f, b, v, false, false);
    }
    static std::string Text(TTableCursor& c, uint16_t f, const uint8_t* b) {
        uint8_t v[64] = {};
        bool blank = false;
        c.GetField(f, b, v, blank);
        return reinterpret_cast<char*>(v);
    }
    // Name (string 20), Amount (integer), Notes (memo); primary index on Name, "ByAmount" unique.
    static TTableDefinition Definition() {
        TTableDefinition def;
        def.Fields = {Field(1, "Name", fldString, 20), Field(2, "Amount", fldInteger),
                      Field(3, "Notes", fldBlob)};
        def.Fields[2].SubType = fldstMemo;
        def.PrimaryIndex = Index("", {1}, true);
        def.SecondaryIndexes = {Index("ByAmount", {2}, true)};
        return def;
    }
    // The names in the cursor's order.
    static std::vector<std::string> Names(TTableCursor& c) {
        std::vector<std::string> names;
        std::vector<uint8_t> b(c.GetRecordSize());
        c.SetToBegin();
        while (c.GetNextRecord(b.data()) == 0) names.push_back(Text(c, 1, b.data()));
        return names;
    }
};

TEST_F(TableCursorTest, ATableIsCreatedFilledWalkedEditedAndVerifiedThroughTheInterface) {
    TTableDefinition def = Definition();

    TDataCursor made(Database);
    TTableCursor& c = made;
    c.SetTableName("People");
    c.SetExclusive(true);
    c.CreateTable(def, false, false);
    c.OpenCursor();
    EXPECT_EQ(c.GetFieldCount(), 3);
    EXPECT_TRUE(c.IndexExists("ByAmount"));
    EXPECT_EQ(c.GetSecondaryIndexCount(), 1);

    const std::vector<std::pair<std::string, int32_t>> rows = {{"Carol", 1}, {"Alice", 3}, {"Bob", 2}};
    std::vector<uint8_t> b(c.GetRecordSize());
    for (const auto& [name, count] : rows) {
        c.InitRecord(b.data());
        PutText(c, 1, b.data(), name);
        PutInt(c, 2, b.data(), count);
        int32_t size = 0;
        ASSERT_EQ(c.OpenBlob(3, b.data(), BlobOpenWrite, false, true, size, false), 0);
        const std::string note = "note of " + name;
        ASSERT_EQ(c.PutBlob(3, b.data(), 0, reinterpret_cast<const uint8_t*>(note.data()),
                            static_cast<int32_t>(note.size()), false),
                  0);
        c.InsertRecord(b.data(), false);
    }
    EXPECT_EQ(c.GetRecordCount(), 3);
    EXPECT_EQ(Names(c), (std::vector<std::string>{"Alice", "Bob", "Carol"}));
    c.SetIndexName("ByAmount");
    EXPECT_EQ(Names(c), (std::vector<std::string>{"Carol", "Bob", "Alice"}));

    c.SetIndexNumber(0);
    c.InitRecord(b.data());
    PutText(c, 1, b.data(), "Bob");
    ASSERT_TRUE(c.FindKey(false, b.data(), 1, false, 0, b.data()));
    int32_t size = 0;
    ASSERT_EQ(c.OpenBlob(3, b.data(), BlobOpenRead, false, true, size, false), 0);
    ASSERT_EQ(c.GetBlobSize(3, b.data(), size, false), 0);
    ASSERT_EQ(size, 11);
    std::string note(11, '\0');
    int32_t read = 0;
    ASSERT_EQ(c.GetBlob(3, b.data(), 0, reinterpret_cast<uint8_t*>(note.data()), size, read, false), 0);
    EXPECT_EQ(note, "note of Bob");
    EXPECT_EQ(c.FreeBlob(3, b.data(), false, false), 0);

    TFilter* filter =
        c.AddFilter(nullptr, "Amount > 1", nullptr, false, {}, false, false, false, false, false);
    c.ActivateFilter(filter);
    EXPECT_TRUE(c.HasActiveFilter());
    EXPECT_EQ(Names(c), (std::vector<std::string>{"Alice", "Bob"}));
    c.DropFilter(nullptr);
    EXPECT_FALSE(c.HasActiveFilter());

    c.SetToBegin();
    ASSERT_EQ(c.GetNextRecord(b.data()), 0);
    ASSERT_EQ(c.GetCurrentRecord(b.data(), true), 0);
    PutInt(c, 2, b.data(), 7);
    c.ModifyRecord(b.data(), true, false);
    ASSERT_EQ(c.GetCurrentRecord(b.data(), false), 0);
    c.DeleteRecord(b.data(), false);
    EXPECT_EQ(Names(c), (std::vector<std::string>{"Bob", "Carol"}));

    c.CloseCursor(false);
    EXPECT_TRUE(c.VerifyRepairTable(true, false, false, false, false));
}

// The operations the dataset and SQL layers need besides: options read back, callbacks, block
// reads, record copies and clears, keys, table fields, filters replaced and rated, flushing, and
// the cursor made by the factory.
TEST_F(TableCursorTest, TheDatasetAndSqlOperationsWorkThroughTheInterface) {
    TTableDefinition def = Definition();
    def.UserMajorVersion = 3;
    def.UserMinorVersion = 4;

    std::unique_ptr<TTableCursor> made = NewTableCursor(Database);
    TTableCursor& c = *made;
    c.SetTableName("Stock");
    c.SetExclusive(true);
    c.SetReadOnly(false);
    c.CreateTable(def, false, false);
    EXPECT_EQ(c.GetUserMajorVersion(), 3);
    EXPECT_EQ(c.GetUserMinorVersion(), 4);
    c.OpenCursor();
    EXPECT_TRUE(c.GetExclusive());
    EXPECT_FALSE(c.GetReadOnly());
    EXPECT_FALSE(c.GetInMemory());
    EXPECT_FALSE(c.GetQuerySource());
    EXPECT_FALSE(c.GetQueryResult());
    EXPECT_EQ(c.GetServerVersion(), 0.0);
    EXPECT_FALSE(c.InTransaction());
    EXPECT_EQ(c.GetTableFieldNumber("Amount"), 2);
    TFieldDescriptor desc;
    c.GetTableFieldDesc(2, desc);
    EXPECT_EQ(desc.Name, "Amount");

    std::vector<uint8_t> b(c.GetRecordSize(), 0xEE);
    c.ClearRecordBuffer(b.data());
    EXPECT_EQ(b, std::vector<uint8_t>(c.GetRecordSize(), 0));
    for (int i = 1; i <= 5; ++i) {
        c.InitRecord(b.data());
        PutText(c, 1, b.data(), "N" + std::to_string(i));
        PutInt(c, 2, b.data(), 10 * i);
        c.InsertRecord(b.data(), false);
    }
    c.FlushBuffers(true, false, true, true, true);
    c.FlushOSBuffers();

    // Blocks of records from the one after the current; the last block comes short.
    c.SetIndexNumber(1);
    EXPECT_EQ(c.GetCurrentIndexNumber(), 1);
    EXPECT_FALSE(c.IsNaturalOrder());
    c.SetToBegin();
    std::vector<uint8_t> block(3 * size_t{c.GetRecordSize()});
    int32_t count = 3;
    EXPECT_EQ(c.ReadRecordBlock(count, block.data()), 0);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(Text(c, 1, block.data() + 2 * size_t{c.GetRecordSize()}), "N3");
    EXPECT_EQ(c.ReadRecordBlock(count, block.data()), 8706);
    EXPECT_EQ(count, 2);
    bool blank = true;
    uint8_t amount[4] = {};
    c.GetTableField(2, block.data() + c.GetRecordSize(), amount, blank);
    EXPECT_FALSE(blank);
    EXPECT_EQ(GetInt32(amount), 50);

    // The key of a record in the current index finds it again.
    ASSERT_EQ(c.GetPriorRecord(b.data()), 0);
    std::vector<uint8_t> key(1024);
    c.BuildKey(b.data(), key.data());
    c.SetToBegin();
    std::vector<uint8_t> found(c.GetRecordSize());
    ASSERT_TRUE(c.FindKey(true, key.data(), 1, false, 0, found.data()));
    EXPECT_EQ(Text(c, 1, found.data()), "N5");
    // The copy is a new record's: the values without the physical number and record ID.
    std::vector<uint8_t> copy(c.GetRecordSize(), 0xEE);
    EXPECT_EQ(c.CloneCurrentRecord(copy.data()), 0);
    EXPECT_EQ(GetInt32(copy.data() + 1), 0);
    EXPECT_EQ(GetInt32(copy.data() + 5), 0);
    EXPECT_TRUE(std::equal(copy.begin() + 9, copy.end(), found.begin() + 9));
    c.Refresh();
    EXPECT_EQ(c.CloneCurrentRecord(copy.data()), 0);
    EXPECT_EQ(Text(c, 1, copy.data()), "N5");

    // A filter's condition rated and then replaced while active.
    TDataCursor& parser = static_cast<TDataCursor&>(c);  // the SQL layer parses its own trees
    auto parse = [&](const char* text) {
        TExpToken* tree = parser.ParseFilterExpression(text);
        parser.CheckFilterExpression(tree);
        return tree;
    };
    TExpToken* tree = parse("Amount > 20");
    EXPECT_EQ(c.GetConditionOptimizeLevel(tree, false, false), 2);
    TFilter* filter = c.AddFilter(nullptr, "", tree, true, {}, false, false, false, false, false);
    c.ActivateFilter(filter);
    EXPECT_EQ(Names(c), (std::vector<std::string>{"N3", "N4", "N5"}));
    c.ReplaceFilterExpression(parse("Amount < 20"), filter);
    EXPECT_EQ(Names(c), (std::vector<std::string>{"N1"}));
    c.DropFilter(nullptr);

    // A memo written and freed with its record buffer loses the change; so does one freed with
    // every value.
    c.SetToBegin();
    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(c.GetNextRecord(b.data()), 0);
        int32_t size = 0;
        ASSERT_EQ(c.OpenBlob(3, b.data(), BlobOpenWrite, false, true, size, false), 0);
        ASSERT_EQ(c.PutBlob(3, b.data(), 0, reinterpret_cast<const uint8_t*>("abc"), 3, false), 0);
        if (round == 0)
            c.FreeRecordBlobs(b.data());
        else
            c.FreeAllBlobs(true, false);
        ASSERT_EQ(c.GetCurrentRecord(b.data(), false), 0);
        ASSERT_EQ(c.OpenBlob(3, b.data(), BlobOpenRead, false, true, size, false), 0);
        EXPECT_EQ(size, 0);
        EXPECT_EQ(c.FreeBlob(3, b.data(), false, false), 0);
    }

    EXPECT_THROW(c.CheckError(9729, "dup"), EDbEngineError);
    EXPECT_NO_THROW(c.CheckError(0, "none"));
    EXPECT_THROW(c.CheckFieldError(9732, "Name"), EDbEngineError);
    c.CloseCursor(false);

    // Maintenance callbacks set through the interface are called.
    std::vector<std::string> log;
    int steps = 0;
    c.SetSteppedProgressCallback([&](TDataCursor&, const std::string&, int) { ++steps; });
    c.SetLogCallback([&](TDataCursor&, const std::string& line) { log.push_back(line); });
    EXPECT_TRUE(c.VerifyRepairTable(true, false, true, true, false));
    EXPECT_GT(steps, 0);
}

}  // namespace
}  // namespace dbengine
