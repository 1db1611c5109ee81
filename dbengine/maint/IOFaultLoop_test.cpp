// Each operation that writes a table runs again and again with its n-th file write or flush
// failing, for n = 1, 2, ... until it succeeds. After each failure the table's three files must
// be as they were before the operation, byte for byte, and verify must find nothing.

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "dbengine/blob/BlobBuffer.h"
#include "dbengine/cursor/DataCursor.h"
#include "dbengine/testsupport/Descriptors.h"
#include "dbengine/testsupport/TableFixture.h"
#include "dbengine/util/Coding.h"
#include "platform/Files.h"

namespace dbengine {
namespace {

using testsupport::Field;
using testsupport::Index;

// The Windows error of a full disk.
constexpr uint32_t DiskFull = 112;
// No operation here needs more writes than this; a loop that reaches it has gone wrong.
constexpr int MaxWrites = 400;

class IOFaultLoopTest : public testsupport::TableFixture {
protected:
    static TTableDefinition Definition(bool withExtraField) {
        TTableDefinition def;
        def.Fields = {Field(1, "Name", fldString, 20), Field(2, "Serial", fldInteger),
                      Field(3, "Notes", fldBlob, 0, fldstMemo)};
        if (withExtraField) def.Fields.push_back(Field(4, "Extra", fldString, 10));
        def.PrimaryIndex = Index("", {1}, true);
        def.SecondaryIndexes = {Index("BySerial", {2}, true)};
        return def;
    }

    static std::string MemoOf(const std::string& name, size_t length) {
        std::string memo;
        while (memo.size() < length) memo += name + " ";
        return memo;
    }

    void Create(int records) {
        TDataCursor creator(Database);
        creator.SetTableName("F");
        creator.SetExclusive(true);
        creator.CreateTable(Definition(false), false, false);
        TDataCursor c(Database);
        c.SetTableName("F");
        c.OpenCursor();
        for (int i = 1; i <= records; ++i) Insert(c, "N" + std::to_string(i), i, 600 + 300 * (i % 3));
    }

    static void Insert(TDataCursor& c, const std::string& name, int32_t serial, size_t memoLength) {
        std::vector<uint8_t> b(c.GetRecordSize());
        c.InitRecord(b.data());
        uint8_t v[32] = {};
        std::memcpy(v, name.data(), name.size());
        c.PutField(1, b.data(), v, false, false);
        PutInt32(v, serial);
        c.PutField(2, b.data(), v, false, false);
        PutMemo(c, b.data(), MemoOf(name, memoLength));
        c.InsertRecord(b.data(), false);
    }

    static void PutMemo(TDataCursor& c, uint8_t* record, const std::string& memo) {
        int32_t size = 0;
        ASSERT_EQ(c.OpenBlob(3, record, BlobOpenWrite, false, true, size), 0);
        ASSERT_EQ(c.TruncateBlob(3, record, 0, false), 0);
        ASSERT_EQ(c.PutBlob(3, record, 0, reinterpret_cast<const uint8_t*>(memo.data()),
                            static_cast<int32_t>(memo.size()), false),
                  0);
    }

    // Positions c on the record of that name and reads it into b.
    static void Find(TDataCursor& c, const std::string& name, std::vector<uint8_t>& b) {
        b.assign(c.GetRecordSize(), 0);
        c.InitRecord(b.data());
        uint8_t v[32] = {};
        std::memcpy(v, name.data(), name.size());
        c.PutField(1, b.data(), v, false, false);
        ASSERT_TRUE(c.FindKey(false, b.data(), 1, false, 0, b.data()));
    }

    // A preparation that opens a shared cursor on the record of that name, read into b.
    static std::function<void(TDataCursor&)> OpenAt(const std::string& name, std::vector<uint8_t>& b) {
        return [name, &b](TDataCursor& c) {
            c.OpenCursor();
            Find(c, name, b);
        };
    }

    std::map<std::string, std::string> Files() const {
        return {{"F.DAT", Bytes("F.DAT")}, {"F.IDX", Bytes("F.IDX")}, {"F.BLB", Bytes("F.BLB")}};
    }

    std::vector<std::string> Verify() {
        std::vector<std::string> log;
        TDataCursor c(Database);
        c.SetTableName("F");
        c.SetExclusive(true);
        c.SetLogCallback([&](TDataCursor&, const std::string& text) {
            if (text.rfind("Verification of table", 0) != 0)
                log.push_back(text);  // not the start and end lines
        });
        if (!c.VerifyRepairTable(true, false, false, true, false) && log.empty())
            log.push_back("(not sound)");
        return log;
    }

    // Runs the operation with the n-th write or flush failing, for n = 1, 2, ... until it
    // succeeds. prepare opens and positions a cursor (nothing is written yet); operate does the
    // work. Returns the number of failed runs.
    // How many bytes of the failing write reach the file: -1 all of them.
    int64_t FailedWriteLimit = -1;

    int Loop(bool exclusive, const std::function<void(TDataCursor&)>& prepare,
             const std::function<void(TDataCursor&)>& operate) {
        for (int n = 1; n <= MaxWrites; ++n) {
            SCOPED_TRACE("write or flush " + std::to_string(n) + " fails");
            auto c = std::make_unique<TDataCursor>(Database);
            c->SetTableName("F");
            c->SetExclusive(exclusive);
            prepare(*c);
            if (HasFatalFailure()) return n - 1;
            const auto before = Files();
            int count = 0;
            bool failed = false;
            {
                platform::TScopedFileFault fault([&](platform::TFileOperation op, const std::string&, int64_t,
                                                     uint32_t) {
                    platform::TFileFault f;
                    if ((op == platform::TFileOperation::Write || op == platform::TFileOperation::Flush) &&
                        ++count == n)
                        f = {DiskFull, FailedWriteLimit};
                    return f;
                });
                try {
                    operate(*c);
                } catch (const EDbEngineError&) {
                    failed = true;
                }
            }
            if (!failed) {
                EXPECT_LT(count, n) << "the operation passed over a failed write";
                c.reset();
                EXPECT_EQ(Verify(), std::vector<std::string>{});
                return n - 1;
            }
            const auto after = Files();
            for (const auto& [name, bytes] : before)
                EXPECT_TRUE(after.at(name) == bytes) << name << " changed";
            c.reset();
            EXPECT_EQ(Verify(), std::vector<std::string>{});
            if (HasFailure()) return n;
        }
        ADD_FAILURE() << "no run succeeded";
        return MaxWrites;
    }
};

// The failing write lands whole and then reports the error (a full disk noticed late), so the
// edits must put back what their earlier writes and the failed one changed: the new BLOB blocks
// past the end, the records, the index pages and the three headers with their counters.
TEST_F(IOFaultLoopTest, InsertWithMemo) {
    Create(6);
    int failures = Loop(
        false, [](TDataCursor& c) { c.OpenCursor(); }, [](TDataCursor& c) { Insert(c, "New", 100, 1500); });
    EXPECT_GT(failures, 0);
}

TEST_F(IOFaultLoopTest, InsertWithMemoWhenTheFailedWriteWritesNothing) {
    Create(6);
    FailedWriteLimit = 0;
    int failures = Loop(
        false, [](TDataCursor& c) { c.OpenCursor(); }, [](TDataCursor& c) { Insert(c, "New", 100, 1500); });
    EXPECT_GT(failures, 0);
}

TEST_F(IOFaultLoopTest, ModifyWithMemo) {
    Create(6);
    std::vector<uint8_t> b;
    int failures = Loop(false, OpenAt("N2", b), [&](TDataCursor& c) {
        ASSERT_EQ(c.GetCurrentRecord(b.data(), true), 0);
        uint8_t v[4];
        PutInt32(v, 200);
        c.PutField(2, b.data(), v, false, false);
        PutMemo(c, b.data(), MemoOf("Changed", 2000));
        c.ModifyRecord(b.data(), true, false);
    });
    EXPECT_GT(failures, 0);
}

TEST_F(IOFaultLoopTest, DeleteWithMemo) {
    Create(6);
    std::vector<uint8_t> b;
    int failures = Loop(false, OpenAt("N3", b), [&](TDataCursor& c) {
        ASSERT_EQ(c.GetCurrentRecord(b.data(), false), 0);
        c.DeleteRecord(b.data(), false);
    });
    EXPECT_GT(failures, 0);
}

TEST_F(IOFaultLoopTest, Restructure) {
    Create(6);
    int failures = Loop(
        true, [](TDataCursor&) {},
        [](TDataCursor& c) { c.RestructureTable(Definition(true), false, -1, false, false, false); });
    EXPECT_GT(failures, 0);
}

}  // namespace
}  // namespace dbengine
