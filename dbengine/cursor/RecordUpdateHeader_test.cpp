#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "dbengine/cursor/DataCursor.h"
#include "dbengine/data/DataFile.h"
#include "dbengine/file/FileList.h"
#include "dbengine/session/DataDirectory.h"
#include "dbengine/session/DataSession.h"
#include "dbengine/testsupport/Descriptors.h"
#include "dbengine/testsupport/TableFixture.h"
#include "dbengine/util/Coding.h"
#include "platform/testsupport/ChildProcess.h"

namespace dbengine {
namespace {

using platform::testsupport::RunInChildProcess;
using testsupport::CodeOf;
using testsupport::Field;
using testsupport::Index;

// In a forked child: a session of its own over its own file list, as another process has.
TDataDirectory* OtherProcessDatabase() {
    FreeEngineFileList();
    CreateEngineFileList();
    auto* session = new TDataSession(false);  // the child ends with _exit: nothing is freed
    return session->OpenDataDirectory("D:\\", "D:\\", false);
}

// Name (primary index), Count (unique index "ByCount") and Id, the record ID. A refused edit
// after another process appended must leave this process with the header the lock read, or
// its next insert reuses a record ID or a slot.
class RecordUpdateHeaderTest : public testsupport::TableFixture {
protected:
    void SetUp() override {
        TableFixture::SetUp();
        TTableDefinition def;
        def.Fields = {Field(1, "Name", fldString, 20), Field(2, "Count", fldInteger),
                      Field(3, "Id", fldInteger, 0, fldstAutoInc)};
        def.PrimaryIndex = Index("", {1}, true);
        def.SecondaryIndexes = {Index("ByCount", {2}, true)};
        {
            TDataCursor creator(Database);
            creator.SetTableName("T");
            creator.SetExclusive(true);
            creator.CreateTable(def, false, false);
        }
        C = Open(Database);
        Insert(*C, "a", 1);
        Insert(*C, "b", 2);
    }
    void TearDown() override {
        C.reset();
        TableFixture::TearDown();
    }

    static std::unique_ptr<TDataCursor> Open(TDataDirectory* db) {
        auto c = std::make_unique<TDataCursor>(db);
        c->SetTableName("T");
        c->OpenCursor();
        c->SetIndexNumber(0);
        return c;
    }
    static std::vector<uint8_t> Buffer(TDataCursor& c, const std::string& name, int32_t count) {
        std::vector<uint8_t> b(c.GetRecordSize(), 0);
        c.ClearRecordBuffer(b.data());
        uint8_t v[32] = {};
        std::memcpy(v, name.data(), name.size());
        c.PutField(1, b.data(), v, false, false);
        PutInt32(v, count);
        c.PutField(2, b.data(), v, false, false);
        return b;
    }
    static void Insert(TDataCursor& c, const std::string& name, int32_t count) {
        auto b = Buffer(c, name, count);
        c.InsertRecord(b.data(), true);
    }
    // Stands c on the named record and returns it.
    static std::vector<uint8_t> Find(TDataCursor& c, const std::string& name) {
        auto key = Buffer(c, name, 0);
        std::vector<uint8_t> out(c.GetRecordSize());
        if (!c.FindKey(false, key.data(), 1, false, 0, out.data())) ADD_FAILURE() << name;
        return out;
    }
    // Another process appends "c" and, with changeA, changes a's count.
    static void OtherProcessWrites(bool changeA) {
        int child = RunInChildProcess([changeA] {
            try {
                auto c = Open(OtherProcessDatabase());
                if (changeA) {
                    auto b = Find(*c, "a");
                    if (c->GetCurrentRecord(b.data(), true) != 0) return 1;
                    uint8_t v[4];
                    PutInt32(v, 10);
                    c->PutField(2, b.data(), v, false, false);
                    c->ModifyRecord(b.data(), true, false);
                }
                Insert(*c, "c", 3);
                c->CloseCursor(false);
            } catch (const EDbEngineError& e) {
                return e.ErrorCode % 250 + 2;
            } catch (...) {
                return 255;
            }
            return 0;
        });
        ASSERT_EQ(child, 0);
    }
    // Name and record ID of every record, in name order.
    std::vector<std::pair<std::string, int32_t>> Records() {
        std::vector<std::pair<std::string, int32_t>> out;
        std::vector<uint8_t> b(C->GetRecordSize());
        C->SetIndexNumber(0);
        C->SetToBegin();
        while (C->GetNextRecord(b.data()) == 0) {
            out.emplace_back(reinterpret_cast<const char*>(b.data() + C->GetFieldDescs()[0].Offset + 1),
                             GetInt32(b.data() + 5));
        }
        return out;
    }

    std::unique_ptr<TDataCursor> C;
};

TEST_F(RecordUpdateHeaderTest, ARefusedModifyKeepsTheLastRecordIdAnotherProcessWrote) {
    auto a = Find(*C, "a");
    OtherProcessWrites(false);
    uint8_t v[4];
    PutInt32(v, 2);  // b's count: the unique index refuses it
    C->PutField(2, a.data(), v, false, false);
    EXPECT_EQ(CodeOf([&] { C->ModifyRecord(a.data(), true, true); }), DBE_KEYVIOL);
    EXPECT_EQ(C->GetLastRecordId(), 3);
    Insert(*C, "d", 4);
    EXPECT_EQ(Records(),
              (std::vector<std::pair<std::string, int32_t>>{{"a", 1}, {"b", 2}, {"c", 3}, {"d", 4}}));
}

TEST_F(RecordUpdateHeaderTest, ARefusedDeleteKeepsTheHeaderAnotherProcessWrote) {
    auto a = Find(*C, "a");
    OtherProcessWrites(true);
    EXPECT_EQ(CodeOf([&] { C->DeleteRecord(a.data(), true); }), DBE_KEYORRECDELETED);
    EXPECT_EQ(C->GetPhysicalRecordCount(), 3) << "the appended record is counted";
    EXPECT_EQ(C->GetLastRecordId(), 3);
    Insert(*C, "d", 4);
    EXPECT_EQ(Records(),
              (std::vector<std::pair<std::string, int32_t>>{{"a", 1}, {"b", 2}, {"c", 3}, {"d", 4}}));
    EXPECT_EQ(C->GetPhysicalRecordCount(), 4);
}

}  // namespace
}  // namespace dbengine
