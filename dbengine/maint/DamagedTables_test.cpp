// Damaged files under verify and repair: whatever a walk or a count shows wrong, verify reports;
// repair leaves a table that verifies clean and walks without error, every index agreeing with
// the records.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "dbengine/blob/BlobBuffer.h"
#include "dbengine/blob/BlobFile.h"
#include "dbengine/cursor/DataCursor.h"
#include "dbengine/data/DataFile.h"
#include "dbengine/data/Record.h"
#include "dbengine/index/IndexFormat.h"
#include "dbengine/testsupport/Descriptors.h"
#include "dbengine/testsupport/TableFixture.h"
#include "dbengine/util/Coding.h"

namespace dbengine {
namespace {

using testsupport::Field;
using testsupport::Index;

constexpr int Rows = 300;

class DamagedTablesTest : public testsupport::TableFixture {
protected:
    void SetUp() override {
        TableFixture::SetUp();
        TTableDefinition def;
        def.Fields = {Field(1, "Name", fldString, 24), Field(2, "Serial", fldInteger),
                      Field(3, "Group", fldString, 8), Field(4, "Notes", fldBlob, 0, fldstMemo)};
        def.PrimaryIndex = Index("", {1}, true);
        def.SecondaryIndexes = {Index("BySerial", {2}, true), Index("ByGroup", {3}, false)};
        TDataCursor creator(Database);
        creator.SetTableName("C");
        creator.SetExclusive(true);
        creator.CreateTable(def, false, false);
        TDataCursor c(Database);
        c.SetTableName("C");
        c.OpenCursor();
        std::vector<uint8_t> b(c.GetRecordSize());
        for (int i = 1; i <= Rows; ++i) {
            c.ClearRecordBuffer(b.data());
            uint8_t v[32] = {};
            const std::string name = "Name" + std::to_string(i * 7919 % 10007);
            std::memcpy(v, name.data(), name.size());
            c.PutField(1, b.data(), v, false, false);
            PutInt32(v, i);
            c.PutField(2, b.data(), v, false, false);
            std::memset(v, 0, sizeof v);
            std::memcpy(v, i % 3 ? "odd" : "even", i % 3 ? 3 : 4);
            c.PutField(3, b.data(), v, false, false);
            if (i % 4 == 0) {
                const std::string memo(static_cast<size_t>(100 + i * 3), static_cast<char>('a' + i % 26));
                int32_t size = 0;
                ASSERT_EQ(c.OpenBlob(4, b.data(), BlobOpenWrite, false, true, size), 0);
                ASSERT_EQ(c.PutBlob(4, b.data(), 0, reinterpret_cast<const uint8_t*>(memo.data()),
                                    static_cast<int32_t>(memo.size()), false),
                          0);
            }
            c.InsertRecord(b.data(), false);
        }
        // Some deleted records, whose slots the index file knows as deleted.
        for (int i = 1; i <= Rows; i += 37) {
            c.ClearRecordBuffer(b.data());
            uint8_t v[4];
            PutInt32(v, i);
            c.SetIndexName("BySerial");
            c.PutField(2, b.data(), v, false, false);
            std::vector<uint8_t> out(c.GetRecordSize());
            ASSERT_TRUE(c.FindKey(false, b.data(), 1, false, 0, out.data()));
            c.DeleteRecord(out.data(), false);
        }
        c.CloseCursor(false);
        for (const char* ext : {".DAT", ".IDX", ".BLB"}) Sound[ext] = Bytes(std::string("C") + ext);
    }

    void Restore() {
        for (auto& [ext, bytes] : Sound) Write(ext, bytes);
    }
    void Write(const std::string& ext, const std::string& bytes) {
        std::ofstream out(Root / ("C" + ext), std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }

    // What walks and counts show: an empty text when every index order walks without error over
    // whole records, each walk as long as the cursor's count, every order the same records.
    std::string Walks() {
        try {
            TDataCursor c(Database);
            c.SetTableName("C");
            c.OpenCursor();
            std::vector<uint8_t> b(c.GetRecordSize());
            std::vector<int32_t> lengths;
            for (uint8_t order : {PrimaryIndex, uint8_t{1}, uint8_t{2}, NaturalOrderIndex}) {
                c.SetIndexNumber(order);
                c.SetToBegin();
                int32_t n = 0;
                while (c.GetNextRecord(b.data()) == 0) {
                    ++n;
                    int32_t size = 0;
                    if (c.OpenBlob(4, b.data(), BlobOpenRead, false, true, size) == 0) {
                        std::vector<uint8_t> memo(static_cast<size_t>(size) + 1);
                        int32_t got = 0;
                        c.GetBlob(4, b.data(), 0, memo.data(), size, got, false);
                        c.FreeBlob(4, b.data(), false);
                    }
                }
                if (n != c.GetRecordCount())
                    return "order " + std::to_string(order) + " walks " + std::to_string(n) + " of " +
                           std::to_string(c.GetRecordCount());
                lengths.push_back(n);
            }
            for (int32_t n : lengths)
                if (n != lengths[0]) return "the orders walk different numbers of records";
            return {};
        } catch (const EDbEngineError& e) {
            return "error " + std::to_string(e.ErrorCode);
        }
    }

    bool VerifyRepair(bool verifyOnly, std::vector<std::string>* log = nullptr) {
        TDataCursor c(Database);
        c.SetTableName("C");
        c.SetExclusive(true);
        c.SetLogCallback([log](TDataCursor&, const std::string& text) {
            if (log != nullptr) log->push_back(text);
        });
        return c.VerifyRepairTable(verifyOnly, false, false, true, false);
    }

    // Applies damage to the sound files, then checks the promise of verify and repair.
    void Check(const std::string& what, const std::function<void()>& damage) {
        SCOPED_TRACE(what);
        Restore();
        damage();
        const std::string shown = Walks();
        bool verified = true;
        std::vector<std::string> log;
        EXPECT_EQ(testsupport::CodeOf([&] { verified = VerifyRepair(true, &log); }), 0);
        if (!shown.empty()) {
            EXPECT_FALSE(verified) << "verify missed: " << shown;
        }
        std::vector<std::string> repairLog;
        EXPECT_EQ(testsupport::CodeOf([&] { VerifyRepair(false, &repairLog); }), 0)
            << ::testing::PrintToString(repairLog);
        // What repair cannot fix it says; the rest must then verify clean.
        for (const std::string& line : repairLog)
            if (line.find("cannot be fixed") != std::string::npos) return;
        log.clear();
        EXPECT_TRUE(VerifyRepair(true, &log)) << "after repair: " << ::testing::PrintToString(log)
                                              << "\nrepair: " << ::testing::PrintToString(repairLog);
        EXPECT_EQ(Walks(), "") << "after repair";
    }

    std::map<std::string, std::string> Sound;
};

TEST_F(DamagedTablesTest, TheSoundTableVerifiesCleanAndWalks) {
    EXPECT_EQ(Walks(), "");
    EXPECT_TRUE(VerifyRepair(true));
}

// Index pages zeroed or cut off.
TEST_F(DamagedTablesTest, DamagedIndexFilesAreFoundAndRebuiltFromTheRecords) {
    const std::string idx = Sound[".IDX"];
    const size_t pages = idx.size() / IndexPageSize;
    ASSERT_GT(pages, 8u);
    // About a dozen pages of each kind: the header's neighbours, inner pages and leaves.
    const size_t step = std::max<size_t>(1, pages / 8);
    for (size_t page = 1; page < pages; page += step) {
        Check("index page " + std::to_string(page) + " zeroed", [&] {
            std::string bytes = idx;
            std::fill(bytes.begin() + static_cast<long>(page * IndexPageSize),
                      bytes.begin() + static_cast<long>((page + 1) * IndexPageSize), '\0');
            Write(".IDX", bytes);
        });
        Check("index cut at page " + std::to_string(page),
              [&] { Write(".IDX", idx.substr(0, page * IndexPageSize)); });
    }
}

// Index bytes scrambled; an index entry more than the table has records.
TEST_F(DamagedTablesTest, ScrambledIndexPagesAndEntriesWithoutRecordsAreFoundAndRebuilt) {
    const std::string idx = Sound[".IDX"];
    const size_t pages = idx.size() / IndexPageSize;
    std::mt19937 random(4711);
    for (int k = 0; k < 6; ++k) {
        const size_t page = std::uniform_int_distribution<size_t>(1, pages - 1)(random);
        Check("index page " + std::to_string(page) + " scrambled (" + std::to_string(k) + ")", [&] {
            std::string bytes = idx;
            for (int n = 0; n < 6; ++n) {
                size_t at = page * IndexPageSize + std::uniform_int_distribution<size_t>(0, 40)(random);
                bytes[at] = static_cast<char>(std::uniform_int_distribution<int>(0, 255)(random));
            }
            Write(".IDX", bytes);
        });
    }
    // An entry more in one index, every count as it was (a kill after the index pages were
    // written and before their header): only a walk of the index shows it.
    Check("an index entry without a record", [&] {
        TDataCursor c(Database);
        c.SetTableName("C");
        c.SetExclusive(true);
        c.OpenCursor();
        c.SetIndexName("ByGroup");
        c.SetToBegin();
        std::vector<uint8_t> b(c.GetRecordSize());
        ASSERT_EQ(c.GetNextRecord(b.data()), 0);
        std::vector<uint8_t> key = c.GetBookmark();
        key.back() ^= 0x5A;  // another record ID
        c.InsertKey(key.data(), c.GetPhysicalRecNo());
        c.CloseCursor(false);
    });
    // A record marked deleted in the data file whose keys the indexes still hold.
    Check("a record deleted behind the indexes' back", [&] {
        std::string dat = Sound[".DAT"];
        TDataCursor c(Database);
        c.SetTableName("C");
        c.OpenCursor();
        const int64_t at = c.GetTable()->DataFile->RecordOffset(5);
        c.CloseCursor(false);
        dat[static_cast<size_t>(at)] = 1;
        Write(".DAT", dat);
    });
}

// Parts of the record area zeroed (a zeroed record has no ID and a memo reference of nothing)
// and BLOB blocks zeroed.
TEST_F(DamagedTablesTest, DamagedDataAndBlobFilesAreRepairedToACleanTable) {
    const std::string dat = Sound[".DAT"];
    for (size_t at = 4096; at < dat.size(); at += 4096 * 4) {
        Check("data page from " + std::to_string(at) + " zeroed", [&] {
            std::string bytes = dat;
            std::fill(bytes.begin() + static_cast<long>(at),
                      bytes.begin() + static_cast<long>(std::min(at + 4096, bytes.size())), '\0');
            Write(".DAT", bytes);
        });
    }
    // The field descriptors zeroed: repair says what it cannot fix.
    Check("field descriptors zeroed", [&] {
        std::string bytes = dat;
        std::fill(bytes.begin() + 512, bytes.begin() + 1024, '\0');
        Write(".DAT", bytes);
    });
    const std::string blb = Sound[".BLB"];
    for (size_t at = 512; at + 512 <= blb.size(); at += 512 * 13) {
        Check("BLOB block at " + std::to_string(at) + " zeroed", [&] {
            std::string bytes = blb;
            std::fill(bytes.begin() + static_cast<long>(at), bytes.begin() + static_cast<long>(at + 512),
                      '\0');
            Write(".BLB", bytes);
        });
    }
}

// A free chain that comes back on itself (a write killed part way through freeing) is found by
// verify and cut by repair, after which values are saved again.
TEST_F(DamagedTablesTest, AFreeChainThatLoopsIsCutByRepair) {
    int32_t head = 0;
    {
        TDataCursor c(Database);
        c.SetTableName("C");
        c.OpenCursor();
        head = c.GetTable()->BlobFile->FirstFreeBlock();
    }
    ASSERT_GT(head, 0);
    std::string blb = Sound[".BLB"];
    PutInt32(reinterpret_cast<uint8_t*>(blb.data()) + 512 + (head - 1) * 512 + 4, head);
    Write(".BLB", blb);
    std::vector<std::string> log;
    EXPECT_FALSE(VerifyRepair(true, &log));
    EXPECT_NE(std::find(log.begin(), log.end(), "Invalid free BLOB block pointer in header"), log.end())
        << ::testing::PrintToString(log);
    VerifyRepair(false);
    EXPECT_TRUE(VerifyRepair(true));
    TDataCursor c(Database);
    c.SetTableName("C");
    c.OpenCursor();
    std::vector<uint8_t> b(c.GetRecordSize());
    c.ClearRecordBuffer(b.data());
    uint8_t v[32] = "Fresh";
    c.PutField(1, b.data(), v, false, false);
    PutInt32(v, Rows + 1);
    c.PutField(2, b.data(), v, false, false);
    const std::string memo(1500, 'f');
    int32_t size = 0;
    ASSERT_EQ(c.OpenBlob(4, b.data(), BlobOpenWrite, false, true, size), 0);
    ASSERT_EQ(c.PutBlob(4, b.data(), 0, reinterpret_cast<const uint8_t*>(memo.data()), 1500, false), 0);
    EXPECT_EQ(testsupport::CodeOf([&] { c.InsertRecord(b.data(), false); }), 0);
    c.CloseCursor(false);
    EXPECT_TRUE(VerifyRepair(true));
    EXPECT_EQ(Walks(), "");
}

}  // namespace
}  // namespace dbengine
