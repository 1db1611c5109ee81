#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "dbengine/cursor/DataCursor.h"
#include "dbengine/session/DataTable.h"
#include "dbengine/testsupport/Descriptors.h"
#include "dbengine/testsupport/ErrorCode.h"
#include "dbengine/testsupport/TableFixture.h"
#include "dbengine/util/Coding.h"

namespace dbengine {
namespace {

using testsupport::CodeOf;
using testsupport::Field;
using testsupport::Index;

// A table of names and amounts with an index over amount and name, filled with three records.
class CursorRoutinesTest : public testsupport::TableFixture {
protected:
    std::unique_ptr<TDataCursor> MakePeople(bool exclusive) {
        TTableDefinition def;
        def.Fields = {Field(1, "Name", fldString, 20), Field(2, "Amount", fldInteger)};
        def.PrimaryIndex = Index("", {1}, true);
        def.SecondaryIndexes = {Index("ByAmount", {2, 1}, false)};
        auto c = std::make_unique<TDataCursor>(Database);
        c->SetTableName("People");
        c->SetExclusive(true);
        c->CreateTable(def, false, false);
        c->SetExclusive(exclusive);
        c->OpenCursor();
        std::vector<uint8_t> b(c->GetRecordSize());
        const std::pair<const char*, int32_t> rows[] = {{"Carol", 30}, {"Alice", 10}, {"Bob", 20}};
        for (const auto& [name, amount] : rows) {
            c->InitRecord(b.data());
            uint8_t text[21] = {};
            std::memcpy(text, name, std::strlen(name));
            c->PutField(1, b.data(), text, false, false);
            uint8_t number[4];
            PutInt32(number, amount);
            c->PutField(2, b.data(), number, false, false);
            c->InsertRecord(b.data(), false);
        }
        return c;
    }
    static int32_t Visible(TDataCursor& c) {
        std::vector<uint8_t> b(c.GetRecordSize());
        int32_t n = 0;
        c.SetToBegin();
        while (c.GetNextRecord(b.data()) == 0) ++n;
        return n;
    }
};

TEST_F(CursorRoutinesTest, IndexFieldNumbersAndSourceFields) {
    auto c = MakePeople(false);
    std::array<uint16_t, MaxIndexFields> fields = c->GetIndexFieldNumbers(1);
    EXPECT_EQ(fields[0], 2);
    EXPECT_EQ(fields[1], 1);
    EXPECT_EQ(fields[2], 0);
    EXPECT_EQ(c->GetIndexFieldNumbers(0)[0], 1);
    EXPECT_EQ(c->GetIndexFieldNumbers(NaturalOrderIndex)[0], 0);

    // A field of the table names its own field as its source.
    TFieldDescriptor source;
    ASSERT_TRUE(c->GetSourceFieldDesc("amount", source));
    EXPECT_EQ(source.Name, "Amount");
    EXPECT_EQ(source.FieldNo, 2);
    EXPECT_EQ(CodeOf([&] { c->GetSourceFieldDesc("Nothing", source); }), DBE_OUTOFRANGE);
}

TEST_F(CursorRoutinesTest, FreeingAllFiltersShowsEveryRecordAgain) {
    auto c = MakePeople(false);
    TFilter* small =
        c->AddFilter(nullptr, "Amount < 25", nullptr, false, {}, false, false, false, false, false);
    c->AddFilter(nullptr, "Amount > 15", nullptr, false, {}, false, false, false, false, false);
    c->ActivateFilter(small);
    ASSERT_EQ(Visible(*c), 2);
    c->FreeAllFilters();
    EXPECT_FALSE(c->HasActiveFilter());
    c->Refresh();
    EXPECT_EQ(Visible(*c), 3);
    EXPECT_EQ(CodeOf([&] { c->ActivateFilter(small); }), DBE_NOSUCHFILTER);
}

TEST_F(CursorRoutinesTest, TheWriteLockIsReleasedByItsUnlock) {
    auto c = MakePeople(false);
    c->LockTableForWrite();
    EXPECT_TRUE(c->GetTable()->WriteLocked);
    c->UnlockTableForWrite();
    EXPECT_FALSE(c->GetTable()->WriteLocked);
    // An exclusive cursor takes no lock, and its unlock does nothing.
    c->CloseCursor(false);
    c->SetExclusive(true);
    c->OpenCursor();
    c->LockTableForWrite();
    EXPECT_FALSE(c->GetTable()->WriteLocked);
    c->UnlockTableForWrite();
    EXPECT_FALSE(c->GetTable()->WriteLocked);
}

// An exclusive cursor keeps its changes in memory; writing every buffer puts them in the files.
TEST_F(CursorRoutinesTest, WritingAllBuffersPutsAnExclusiveTablesChangesOnDisk) {
    auto c = MakePeople(true);
    c->WriteAllBuffers(false, true);
    const std::string before = Bytes("People.DAT");
    std::vector<uint8_t> b(c->GetRecordSize());
    c->InitRecord(b.data());
    uint8_t text[21] = "Dave";
    c->PutField(1, b.data(), text, false, false);
    c->InsertRecord(b.data(), false);
    EXPECT_EQ(Bytes("People.DAT"), before);
    c->WriteAllBuffers(true, true);
    EXPECT_NE(Bytes("People.DAT"), before);
    EXPECT_GT(Bytes("People.DAT").size(), before.size());
    c->CloseCursor(false);
    EXPECT_TRUE(c->VerifyRepairTable(true, false, false, false, false));
}

}  // namespace
}  // namespace dbengine
