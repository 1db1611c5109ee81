#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

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
    TTableDefinition def;
    def.Fields = {Field(1, "Name", fldString, 20), Field(2, "Amount", fldInteger),
                  Field(3, "Notes", fldBlob)};
    def.Fields[2].SubType = fldstMemo;
    def.PrimaryIndex = Index("", {1}, true);
    def.SecondaryIndexes = {Index("ByAmount", {2}, true)};

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
        ASSERT_EQ(c.OpenBlob(3, b.data(), 1, false, true, size, false), 0);
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
    ASSERT_EQ(c.OpenBlob(3, b.data(), 0, false, true, size, false), 0);
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

}  // namespace
}  // namespace dbengine
