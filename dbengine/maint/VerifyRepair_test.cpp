#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "dbengine/blob/BlobBuffer.h"
#include "dbengine/blob/BlobFile.h"
#include "dbengine/cursor/DataCursor.h"
#include "dbengine/data/DataFile.h"
#include "dbengine/data/Record.h"
#include "dbengine/index/IndexFile.h"
#include "dbengine/index/IndexFormat.h"
#include "dbengine/session/DataSession.h"
#include "dbengine/testsupport/Descriptors.h"
#include "dbengine/testsupport/TableFixture.h"
#include "dbengine/util/Coding.h"
#include "framework/core/DateTime.h"
#include "framework/testsupport/FakeTime.h"
#include "platform/Files.h"
#include "platform/Process.h"

namespace dbengine {
namespace {

using testsupport::CodeOf;
using testsupport::Field;
using testsupport::Index;
using Lines = std::vector<std::string>;
using Progress = std::vector<std::pair<std::string, int>>;

struct TRunResult {
    bool Valid = false;
    Lines Log;  // without the start and end lines
    Progress Steps;
};

// Name (primary, unique), City ("ByCity", not unique), Count ("ByCount", unique) and the memo
// Notes. Record r is named "N<r>", lives in one of two cities and counts r * 10.
class VerifyRepairTest : public testsupport::TableFixture {
protected:
    // Without userPrimary the table keeps its records in the engine's own order.
    void Create(int rows, bool overwrite = false, bool userPrimary = true) {
        TTableDefinition def;
        def.Fields = {Field(1, "Name", fldString, 20), Field(2, "City", fldString, 20),
                      Field(3, "Count", fldInteger), Field(4, "Notes", fldBlob, 0, fldstMemo)};
        if (userPrimary) def.PrimaryIndex = Index("", {1}, true);
        def.SecondaryIndexes = {Index("ByCity", {2}, false), Index("ByCount", {3}, true)};
        def.TextIndex.FieldNumbers[0] = 2;
        def.TextIndex.FieldNumbers[1] = 4;
        TDataCursor creator(Database);
        creator.SetTableName("T");
        creator.SetExclusive(true);
        creator.CreateTable(def, !userPrimary, overwrite);
        TDataCursor c(Database);
        c.SetTableName("T");
        c.OpenCursor();
        RecordSize = c.GetRecordSize();
        FieldCount = c.GetFieldCount();
        for (uint16_t f = 1; f <= FieldCount; ++f) Offsets[f] = c.GetFieldDescs()[f - 1].Offset;
        for (int r = 1; r <= rows; ++r) {
            std::vector<uint8_t> b(c.GetRecordSize(), 0);
            c.ClearRecordBuffer(b.data());
            uint8_t v[32] = {};
            std::string name = "N" + std::to_string(r);
            std::memcpy(v, name.data(), name.size());
            c.PutField(1, b.data(), v, false, false);
            std::memset(v, 0, sizeof v);
            std::memcpy(v, r % 2 ? "Oslo" : "Rome", 4);
            c.PutField(2, b.data(), v, false, false);
            PutInt32(v, r * 10);
            c.PutField(3, b.data(), v, false, false);
            c.InsertRecord(b.data(), false);
        }
    }

    // Gives record r a memo of size bytes and returns its stamp. The memo's words reach the
    // full-text index with the next index rebuild.
    int32_t PutMemo(int32_t r, int32_t size) {
        TDataTable* t = Open("T", true);
        TBlobBuffer blob(nullptr, t->BlobFile.get());
        blob.Stamp = t->DataFile->NextBlobStamp();
        blob.SetSize(size);
        const std::string text = "lorem ipsum dolor sit amet ";
        for (int32_t i = 0; i < size; ++i) blob.GetData()[i] = static_cast<uint8_t>(text[i % text.size()]);
        blob.Save();
        TRecord* rec = nullptr;
        EXPECT_TRUE(t->DataFile->GetRecord(nullptr, r, 1, false, false, rec));
        uint8_t* at = rec->Data() + Offsets[4];
        at[0] = 1;
        PutInt32(at + 1, blob.FirstBlock);
        PutInt32(at + 5, blob.Stamp);
        rec->Modified = true;
        t->DataFile->ReleaseRecord(rec);
        t->FlushBuffers(false, true, true, true);
        EXPECT_EQ(Database->ReleaseSharedTable(t, false, false, false), 0);
        return blob.Stamp;
    }

    void DeleteByName(const std::string& name) {
        TDataCursor c(Database);
        c.SetTableName("T");
        c.OpenCursor();
        std::vector<uint8_t> b(c.GetRecordSize(), 0), out(c.GetRecordSize(), 0);
        c.ClearRecordBuffer(b.data());
        uint8_t v[32] = {};
        std::memcpy(v, name.data(), name.size());
        c.PutField(1, b.data(), v, false, false);
        ASSERT_TRUE(c.FindKey(false, b.data(), 1, false, 0, out.data()));
        c.DeleteRecord(out.data(), false);
    }

    void DeleteByCount(int32_t count) {
        TDataCursor c(Database);
        c.SetTableName("T");
        c.OpenCursor();
        c.SetIndexName("ByCount");
        std::vector<uint8_t> b(c.GetRecordSize(), 0), out(c.GetRecordSize(), 0);
        c.ClearRecordBuffer(b.data());
        uint8_t v[4];
        PutInt32(v, count);
        c.PutField(3, b.data(), v, false, false);
        ASSERT_TRUE(c.FindKey(false, b.data(), 1, false, 0, out.data()));
        c.DeleteRecord(out.data(), false);
    }

    // The names of the live records in primary-index order, read through an ordinary cursor
    // (whose open runs every header check).
    std::vector<std::string> Names() {
        TDataCursor c(Database);
        c.SetTableName("T");
        c.OpenCursor();
        std::vector<std::string> names;
        std::vector<uint8_t> b(c.GetRecordSize());
        c.SetToBegin();
        while (c.GetNextRecord(b.data()) == 0) {
            uint8_t v[32] = {};
            bool blank = false;
            c.GetField(1, b.data(), v, blank);
            names.emplace_back(reinterpret_cast<char*>(v));
        }
        EXPECT_EQ(c.GetTableRecordCount(), static_cast<int32_t>(names.size()));
        return names;
    }

    // The physical records that have word keys of the memo (field 4) in the full-text index.
    std::set<int32_t> MemoWordRecords() {
        TDataCursor reader(Database);
        reader.SetTableName("T");
        reader.OpenCursor();
        reader.SelectIndex(SysTextIndex);
        std::set<int32_t> records;
        reader.SetToBegin();
        while (reader.GetNextRecord(nullptr) == 0) {
            std::vector<uint8_t> key = reader.GetBookmark();
            if ((key[1] << 8 | key[2]) == 4) records.insert(reader.GetPhysicalRecNo());
        }
        return records;
    }

    int64_t RecordOffset(int32_t r) const {
        return int64_t{DataHeaderSize} + int64_t{FieldCount} * FieldDescriptorSize +
               int64_t(r - 1) * RecordSize;
    }
    int64_t FieldOffset(int32_t r, uint16_t f) const { return RecordOffset(r) + Offsets.at(f); }
    static int64_t BlockOffset(int32_t block) { return BlobHeaderSize + int64_t(block - 1) * 512; }

    void Patch(const std::string& file, int64_t offset, const std::string& bytes) {
        std::fstream f(Root / file, std::ios::binary | std::ios::in | std::ios::out);
        ASSERT_TRUE(f.good()) << file;
        f.seekp(offset);
        f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    void PatchInt32(const std::string& file, int64_t offset, int32_t value) {
        uint8_t v[4];
        PutInt32(v, value);
        Patch(file, offset, std::string(reinterpret_cast<char*>(v), 4));
    }
    void Append(const std::string& file, const std::string& bytes) {
        std::ofstream out(Root / file, std::ios::binary | std::ios::app);
        out << bytes;
    }
    std::string Snapshot() { return Bytes("T.DAT") + "|" + Bytes("T.IDX") + "|" + Bytes("T.BLB"); }

    TRunResult Run(bool verifyOnly, bool force = false) {
        TRunResult result;
        TDataCursor c(Database);
        c.SetTableName("T");
        c.SetExclusive(true);
        Lines log;
        c.SetLogCallback([&](TDataCursor&, const std::string& text) { log.push_back(text); });
        c.SetSteppedProgressCallback([&](TDataCursor&, const std::string& text, int percent) {
            result.Steps.emplace_back(text, percent);
        });
        result.Valid = c.VerifyRepairTable(verifyOnly, false, true, true, force);
        EXPECT_FALSE(c.IsCursorOpen());
        EXPECT_FALSE(c.InVerifyMode());
        const std::string title = verifyOnly ? "Verification of table T " : "Repair of table T ";
        const framework::TDateTime now = framework::Now();
        const std::string when = framework::DateToStr(now) + " " + framework::TimeToStr(now);
        EXPECT_GE(log.size(), 2u);
        if (log.size() >= 2) {
            EXPECT_EQ(log.front(), title + "started at " + when);
            EXPECT_EQ(log.back(), title + "completed at " + when);
            result.Log.assign(log.begin() + 1, log.end() - 1);
        }
        return result;
    }

    framework::TFakeTime Clock{framework::EncodeDate(2026, 3, 14) + framework::EncodeTime(9, 26, 53, 0)};
    uint16_t RecordSize = 0;
    uint16_t FieldCount = 0;
    std::map<uint16_t, uint16_t> Offsets;
};

Lines Fixed(Lines lines) {
    for (auto& l : lines) l += ", error fixed";
    return lines;
}

const std::string Mismatch = "Indexes do not match record data and are invalid";
const Lines Rebuilt = {Mismatch + ", starting to fix indexes", "Invalid indexes fixed"};

Lines Concat(Lines a, const Lines& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST_F(VerifyRepairTest, SoundTableLogsOnlyStartAndEndAndChangesNothing) {
    Create(40);
    PutMemo(3, 900);
    Run(false, true);
    Session->SetProgressSteps(8);  // an increment of 12 percent
    const std::string before = Snapshot();
    for (bool verifyOnly : {true, false}) {
        SCOPED_TRACE(verifyOnly);
        TRunResult run = Run(verifyOnly);
        EXPECT_TRUE(run.Valid);
        EXPECT_EQ(run.Log, Lines{});
        const std::string headers = verifyOnly ? "Verifying headers" : "Repairing headers";
        const std::string records =
            verifyOnly ? "Verifying record and BLOB data" : "Repairing record and BLOB data";
        ASSERT_GE(run.Steps.size(), 4u);
        EXPECT_EQ(run.Steps[0], std::make_pair(headers, 0));
        EXPECT_EQ(run.Steps[1], std::make_pair(headers, 100));
        int last = 0;
        for (size_t i = 2; i < run.Steps.size(); ++i) {
            EXPECT_EQ(run.Steps[i].first, records);
            if (i + 1 < run.Steps.size()) {
                EXPECT_GE(run.Steps[i].second, last + 12) << i;
            }
            EXPECT_GT(run.Steps[i].second, last);
            last = run.Steps[i].second;
        }
        EXPECT_EQ(last, 100);
        if (verifyOnly) {
            EXPECT_TRUE(Snapshot() == before);
        }
    }
    EXPECT_EQ(Names().size(), 40u);
}

TEST_F(VerifyRepairTest, TableInTheEnginesOwnOrderVerifiesAndRepairsItsSecondaryIndexes) {
    Create(8, false, false);
    DeleteByCount(30);
    EXPECT_TRUE(Run(true).Valid);
    EXPECT_TRUE(Run(false, true).Valid);
    PatchInt32("T.DAT", FieldOffset(5, 3) + 1, 20);  // a second Count of 20
    EXPECT_EQ(Run(true).Log, Lines{Mismatch});
    EXPECT_EQ(
        Run(false).Log,
        (Lines{Rebuilt[0],
               "Error rebuilding index keys for physical record # 5, error fixed but physical record deleted",
               Rebuilt[1]}));
    EXPECT_TRUE(Run(true).Valid);
}

TEST_F(VerifyRepairTest, MemosWrittenAndDeletedThroughACursorVerifyClean) {
    Create(4);
    {
        TDataCursor c(Database);
        c.SetTableName("T");
        c.OpenCursor();
        for (const char* name : {"N2", "N3"}) {
            std::vector<uint8_t> key(c.GetRecordSize(), 0), r(c.GetRecordSize(), 0);
            c.ClearRecordBuffer(key.data());
            uint8_t v[32] = {};
            std::memcpy(v, name, 2);
            c.PutField(1, key.data(), v, false, false);
            ASSERT_TRUE(c.FindKey(false, key.data(), 1, false, 0, r.data()));
            int32_t size = 0;
            ASSERT_EQ(c.OpenBlob(4, r.data(), BlobOpenWrite, false, true, size), 0);
            const std::string text(700, 'w');
            ASSERT_EQ(c.PutBlob(4, r.data(), 0, reinterpret_cast<const uint8_t*>(text.data()), 700, false),
                      0);
            c.ModifyRecord(r.data(), true, false);
        }
    }
    DeleteByName("N3");
    EXPECT_TRUE(Run(true).Valid);
    EXPECT_EQ(MemoWordRecords(), std::set<int32_t>{2});
    EXPECT_TRUE(Run(false).Valid);
}

TEST_F(VerifyRepairTest, EmptyTableReportsTheRecordPassOnce) {
    Create(0);
    TRunResult run = Run(true);
    EXPECT_TRUE(run.Valid);
    EXPECT_EQ(run.Steps, (Progress{{"Verifying headers", 0},
                                   {"Verifying headers", 100},
                                   {"Verifying record and BLOB data", 100}}));
}

TEST_F(VerifyRepairTest, ForcedRebuildOfASoundTableRebuildsSilently) {
    Create(12);
    Session->SetProgressSteps(4);
    TRunResult run = Run(false, true);
    EXPECT_TRUE(run.Valid);
    EXPECT_EQ(run.Log, Lines{});
    Progress rebuild;
    for (auto& s : run.Steps)
        if (s.first == "Rebuilding indexes") rebuild.push_back(s);
    EXPECT_EQ(rebuild, (Progress{{"Rebuilding indexes", 25},
                                 {"Rebuilding indexes", 50},
                                 {"Rebuilding indexes", 75},
                                 {"Rebuilding indexes", 100}}));
    EXPECT_EQ(Names().size(), 12u);
    EXPECT_TRUE(Run(true).Valid);
}

TEST_F(VerifyRepairTest, PreconditionsComeFirst) {
    Create(1);
    const std::string before = Snapshot();
    TDataCursor c(Database);
    c.SetTableName("T");
    EXPECT_EQ(CodeOf([&] { c.VerifyRepairTable(true, false, false, false, false); }), DBE_NEEDEXCLACCESS);
    c.SetExclusive(true);
    c.SetReadOnly(true);
    EXPECT_EQ(CodeOf([&] { c.VerifyRepairTable(false, false, false, false, false); }), DBE_OSEACCES);
    EXPECT_TRUE(c.VerifyRepairTable(true, false, false, false, false));
    c.SetReadOnly(false);
    c.OpenCursor();
    EXPECT_EQ(CodeOf([&] { c.VerifyRepairTable(true, false, false, false, false); }), DBE_TABLEOPEN);
    c.CloseCursor(false);
    EXPECT_TRUE(Snapshot() == before);
}

// Each case damages a sound table of six records (memos on records 1, 2 and 5, record 6 deleted)
// A damaged memo's words no longer match the full-text index, whose keys repair then rebuilds.
// the way a torn write or a stray byte would; verification reports it and changes nothing,
// repair fixes it, and a second verification finds nothing.
TEST_F(VerifyRepairTest, EveryCheckReportsInBothModesAndRepairFixesIt) {
    struct Case {
        const char* What;
        std::function<void()> Damage;
        Lines Verify;
        Lines Repair;
        std::function<void()> After;
    };
    int32_t stamp1 = 0;
    auto dataRecords = [&] { return (Bytes("T.DAT").size() - RecordOffset(1)) / RecordSize; };
    const Case cases[] = {
        {"record ID 0",
         [&] { PatchInt32("T.DAT", RecordOffset(2) + 5, 0); },
         {"Logical record ID for physical record # 2 is invalid", Mismatch},
         Concat(Fixed({"Logical record ID for physical record # 2 is invalid"}), Rebuilt),
         [&] { EXPECT_EQ(Names().size(), 5u); }},
        {"record-status entry naming another record",
         [&] {
             // Descriptor 31's root: a leaf of uncompressed 9-byte entries (status and record ID,
             // then the record number) from byte 13; the third is record 3's.
             const std::string idx = Bytes("T.IDX");
             const int32_t root = GetInt32(reinterpret_cast<const uint8_t*>(idx.data()) + IhDescriptors +
                                           SysDeletedIndex * IndexDescriptorSize + IdRootPage);
             ASSERT_GT(root, 0);
             PatchInt32("T.IDX",
                        int64_t{IndexHeaderSize} + int64_t(root - 1) * IndexPageSize + 13 + 2 * 9 + 5, 99);
         },
         {"Logical record ID for physical record # 3 is invalid", Mismatch},
         Concat(Fixed({"Logical record ID for physical record # 3 is invalid"}), Rebuilt),
         [&] { EXPECT_EQ(Names().size(), 5u); }},
        {"two live records with one record ID",
         [&] { PatchInt32("T.DAT", RecordOffset(4) + 5, 2); },
         {Mismatch},
         {Rebuilt[0], "Logical record ID for physical record # 4 is invalid, error fixed", Rebuilt[1]},
         [&] {
             EXPECT_EQ(Names().size(), 5u);
             EXPECT_EQ(
                 GetInt32(reinterpret_cast<const uint8_t*>(Bytes("T.DAT").data()) + RecordOffset(4) + 5), 7);
         }},
        {"last record ID below a record's ID",
         [&] { PatchInt32("T.DAT", 17, 4); },
         {"Invalid next available record ID (auto-increment)"},
         Fixed({"Invalid next available record ID (auto-increment)"}),
         [&] {
             TDataCursor c(Database);
             c.SetTableName("T");
             EXPECT_EQ(c.GetLastRecordId(), 5);  // the largest ID of a live record
         }},
        {"deleted record still pointing at a chain",
         [&] {
             Patch("T.DAT", FieldOffset(6, 4), "\x01");
             PatchInt32("T.DAT", FieldOffset(6, 4) + 1, 1);
         },
         {"Invalid BLOB offset into BLOB file for physical record # 6"},
         Fixed({"Invalid BLOB offset into BLOB file for physical record # 6"}),
         [&] { EXPECT_EQ(Bytes("T.DAT").substr(FieldOffset(6, 4), 9), std::string(9, '\0')); }},
        {"BLOB reference past the last block",
         [&] { PatchInt32("T.DAT", FieldOffset(1, 4) + 1, 99); },
         {"Invalid BLOB offset into BLOB file for physical record # 1", Mismatch},
         Concat(Fixed({"Invalid BLOB offset into BLOB file for physical record # 1"}), Rebuilt),
         [&] {
             EXPECT_EQ(Bytes("T.DAT").substr(FieldOffset(1, 4), 9), std::string(9, '\0'));
             // The lost memo's words went with it.
             EXPECT_EQ(MemoWordRecords(), (std::set<int32_t>{2, 5}));
         }},
        {"NULL field holding a reference",
         [&] { PatchInt32("T.DAT", FieldOffset(4, 4) + 1, 1); },
         {"Invalid BLOB offset into BLOB file for physical record # 4"},
         Fixed({"Invalid BLOB offset into BLOB file for physical record # 4"}),
         [&] { EXPECT_EQ(Bytes("T.DAT").substr(FieldOffset(4, 4), 9), std::string(9, '\0')); }},
        {"live-record count of the index file",
         [&] { PatchInt32("T.IDX", IhRecordCount, 99); },
         {Mismatch},
         Rebuilt,
         [&] { EXPECT_EQ(Names().size(), 5u); }},
        {"duplicate key of a unique index",
         [&] { PatchInt32("T.DAT", FieldOffset(5, 3) + 1, 20); },
         {Mismatch},
         {Mismatch + ", starting to fix indexes",
          "Error rebuilding index keys for physical record # 5, error fixed but physical record deleted",
          "Invalid indexes fixed"},
         [&] {
             EXPECT_EQ(Names(), (std::vector<std::string>{"N1", "N2", "N3", "N4"}));
             // The dropped record's memo went to the free blocks.
             EXPECT_EQ(GetInt32(reinterpret_cast<const uint8_t*>(Bytes("T.BLB").data()) + 9), 4);
         }},
        {"memo word missing from the full-text index",
         [&] { Patch("T.BLB", BlockOffset(3) + BlockHeaderSize, "x"); },
         {Mismatch},
         Rebuilt,
         nullptr},
        {"unreadable full-text parameters",
         [&] {
             TDataTable* t = Open("T");
             int32_t page = t->IndexFile->GetDataRootPage(SysTextIndex);
             Database->ReleaseSharedTable(t, false, false, false);
             ASSERT_GT(page, 0);
             Patch("T.IDX", int64_t{IndexHeaderSize} + int64_t(page - 1) * IndexPageSize,
                   std::string(IndexPageSize, '\xFF'));
         },
         {"Invalid or corrupt text indexing parameters in index", Mismatch},
         Concat(Fixed({"Invalid or corrupt text indexing parameters in index"}), Rebuilt),
         [&] {
             TDataCursor c(Database);
             c.SetTableName("T");
             c.OpenCursor();
             EXPECT_EQ(c.GetStopWords().Count(), 22);
         }},
        {"partial record, partial block and a bad root page",
         [&] {
             Append("T.DAT", "1234567");
             Append("T.BLB", std::string(10, 'x'));
             PatchInt32("T.IDX", IhDescriptors + 1 * IndexDescriptorSize + IdRootPage, 9999);
         },
         {"Physical records not aligned on even record size boundaries",
          "Invalid root page pointer for index ByCity",
          "BLOB blocks not aligned on even block size boundaries", Mismatch},
         Concat(Fixed({"Physical records not aligned on even record size boundaries",
                       "Invalid root page pointer for index ByCity",
                       "BLOB blocks not aligned on even block size boundaries"}),
                Rebuilt),
         [&] {
             EXPECT_EQ(dataRecords() * RecordSize + RecordOffset(1), Bytes("T.DAT").size());
             EXPECT_EQ((Bytes("T.BLB").size() - BlobHeaderSize) % 512, 0u);
         }},
        {"record count far past the file's records",
         [&] { PatchInt32("T.DAT", 13, 1000000000); },
         {"Physical record count not correct"},
         Fixed({"Physical record count not correct"}),
         nullptr},
        // Verification reads no record by a layout that does not fit the fields.
        {"record length too short for the fields",
         [&] { Patch("T.DAT", 21, std::string("\x05\x00", 2)); },
         {"Invalid physical record length in table header",
          "Physical records not aligned on even record size boundaries", "Physical record count not correct",
          Mismatch},
         Fixed({"Invalid physical record length in table header"}),
         nullptr},
        {"chain leading back into itself",
         [&] { PatchInt32("T.BLB", BlockOffset(2) + 4, 1); },
         {"Recursive intra-block pointer in BLOB file for physical record # 1", Mismatch},
         Concat(Fixed({"Recursive intra-block pointer in BLOB file for physical record # 1"}), Rebuilt),
         [&] { EXPECT_EQ(Bytes("T.BLB").substr(BlockOffset(2) + 4, 4), std::string(4, '\0')); }},
        {"size of 1000 with 900 bytes in the chain",
         [&] { PatchInt32("T.BLB", BlockOffset(1) + 14, 1000); },
         {"BLOB size mismatch in BLOB file for physical record # 1", Mismatch},
         Concat(Fixed({"BLOB size mismatch in BLOB file for physical record # 1"}), Rebuilt),
         [&] {
             TDataTable* t = Open("T");
             TBlobBuffer blob(nullptr, t->BlobFile.get());
             blob.FirstBlock = 1;
             blob.Stamp = stamp1;
             blob.Load();
             EXPECT_EQ(blob.Size, 900);
             Database->ReleaseSharedTable(t, false, false, false);
         }},
        {"block of another value in the chain",
         [&] { PatchInt32("T.BLB", BlockOffset(1) + 4, 3); },
         {"Invalid intra-block pointer in BLOB file for physical record # 1",
          "BLOB size mismatch in BLOB file for physical record # 1", Mismatch},
         Concat(Fixed({"Invalid intra-block pointer in BLOB file for physical record # 1",
                       "BLOB size mismatch in BLOB file for physical record # 1"}),
                Rebuilt),
         nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        Create(6, true);
        stamp1 = PutMemo(1, 900);  // blocks 1 and 2
        PutMemo(2, 100);           // block 3
        PutMemo(5, 50);            // block 4
        DeleteByName("N6");
        Run(false, true);
        ASSERT_TRUE(Run(true).Valid);
        c.Damage();
        const std::string damaged = Snapshot();
        TRunResult verify = Run(true);
        EXPECT_FALSE(verify.Valid);
        EXPECT_EQ(verify.Log, c.Verify);
        EXPECT_TRUE(Snapshot() == damaged) << "verification changed a file";
        TRunResult repair = Run(false);
        EXPECT_FALSE(repair.Valid);
        EXPECT_EQ(repair.Log, c.Repair);
        TRunResult again = Run(true);
        EXPECT_TRUE(again.Valid);
        EXPECT_EQ(again.Log, Lines{});
        if (c.After) c.After();
    }
}

TEST_F(VerifyRepairTest, AFailingReadIsLoggedAndThePassGoesOn) {
    Create(4);
    PutMemo(2, 100);
    Run(false, true);
    auto fault = [&](platform::TFileOperation op, const std::string& path, int64_t position, uint32_t) {
        platform::TFileFault result;
        if (op == platform::TFileOperation::Read && path.size() > 4 &&
            path.substr(path.size() - 4) == ".BLB" && position >= BlobHeaderSize)
            result.Error = platform::ERROR_IO_DEVICE;
        return result;
    };
    for (bool verifyOnly : {true, false}) {
        SCOPED_TRACE(verifyOnly);
        TRunResult run;
        {
            platform::TScopedFileFault scoped(fault);
            run = Run(verifyOnly);
        }
        EXPECT_FALSE(run.Valid);
        EXPECT_EQ(run.Log,
                  (Lines{verifyOnly ? "Unexpected error 9217 during verification for physical record # 2, "
                                      "continuing with verification"
                                    : "Unexpected error 9217 during repair for physical record # 2, "
                                      "continuing with repair"}));
    }
    EXPECT_TRUE(Run(true).Valid);
    EXPECT_EQ(Names().size(), 4u);
}

TEST_F(VerifyRepairTest, AFailingReadWhileRebuildingCostsOnlyThatRecordsKeys) {
    Create(6);
    // One record in the cache: the rebuild reads record 3 from the file again, by itself.
    Session->DataBufferSize = 1;
    PatchInt32("T.IDX", IhRecordCount, 99);
    bool rebuilding = false;
    const int64_t third = RecordOffset(3);
    TRunResult run;
    {
        platform::TScopedFileFault scoped(
            [&](platform::TFileOperation op, const std::string& path, int64_t position, uint32_t) {
                platform::TFileFault result;
                if (rebuilding && op == platform::TFileOperation::Read && path.size() > 4 &&
                    path.substr(path.size() - 4) == ".DAT" && position == third)
                    result.Error = platform::ERROR_IO_DEVICE;
                return result;
            });
        TDataCursor c(Database);
        c.SetTableName("T");
        c.SetExclusive(true);
        c.SetLogCallback([&](TDataCursor&, const std::string& text) {
            run.Log.push_back(text);
            if (text == Rebuilt[0]) rebuilding = true;
        });
        run.Valid = c.VerifyRepairTable(false, false, false, true, false);
    }
    EXPECT_FALSE(run.Valid);
    ASSERT_EQ(run.Log.size(), 5u);
    EXPECT_EQ(
        Lines(run.Log.begin() + 1, run.Log.end() - 1),
        (Lines{Rebuilt[0],
               "Unexpected error 9217 during rebuild of index keys for physical record # 3, continuing with "
               "repair",
               Rebuilt[1]}));
    // The record missing from the indexes is found by the next verification and put back.
    Session->DataBufferSize = 16384;
    EXPECT_EQ(Run(true).Log, Lines{Mismatch});
    EXPECT_FALSE(Run(false).Valid);
    EXPECT_TRUE(Run(true).Valid);
    EXPECT_EQ(Names().size(), 6u);
}

}  // namespace
}  // namespace dbengine
