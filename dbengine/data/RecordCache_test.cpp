#include <gtest/gtest.h>

#include <atomic>

#include "dbengine/data/DataFile.h"
#include "dbengine/testsupport/EngineRun.h"
#include "dbengine/testsupport/ErrorCode.h"
#include "dbengine/util/Coding.h"
#include "dbengine/util/EngineError.h"
#include "framework/testsupport/FakeTime.h"
#include "platform/Files.h"
#include "platform/testsupport/ChildProcess.h"
#include "platform/testsupport/TestDrives.h"

namespace dbengine {
namespace {

using dbengine::testsupport::CodeOf;

using platform::testsupport::RunInChildProcess;
using platform::testsupport::TScopedDrives;
using platform::testsupport::TTempFolder;

// Counts the reads and writes that reach the platform's files.
struct CountingFiles {
    std::atomic<int> Reads{0}, Writes{0};
    platform::TScopedFileFault Hook{
        [this](platform::TFileOperation op, const std::string&, int64_t, uint32_t) {
            if (op == platform::TFileOperation::Read) ++Reads;
            if (op == platform::TFileOperation::Write) ++Writes;
            return platform::TFileFault{};
        }};
};

class RecordCacheTest : public ::testing::Test {
protected:
    void SetUp() override {
        InitializeEngine();
        table.TableName = "T";
        table.Session = &session;
    }
    void TearDown() override { FinalizeEngine(); }

    // A table of 26-byte records (a string of 10 and an integer after the header) holding
    // `count` records whose integer is the record number times 10.
    std::unique_ptr<TDataFile> MakeTable(int count) {
        std::vector<TFieldDescriptor> fields(2);
        fields[0].FieldNo = 1;
        fields[0].Name = "Name";
        fields[0].FieldType = fldString;
        fields[0].Size = 10;
        fields[1].FieldNo = 2;
        fields[1].Name = "Count";
        fields[1].FieldType = fldInteger;
        for (auto& f : fields) ComputeValueSize(f);
        AssignFieldOffsets(fields);
        auto f = std::make_unique<TDataFile>(&table);
        f->FileName = "D:\\T.DAT";
        f->CreateDataFile(0, 0, 0, 0, false, "", "", 0, fields);
        for (int i = 1; i <= count; ++i) {
            TRecord* r = nullptr;
            if (!f->GetRecord(nullptr, i, 1, false, false, r)) return nullptr;
            r->Init(true);
            PutInt32(r->Data() + 22, i * 10);
            r->Data()[21] = 1;
            r->Modified = true;
            f->ReleaseRecord(r);
            if (i % 100 == 0) f->WriteModifiedRecords();
        }
        f->WriteModifiedRecords();
        f->WriteHeader(false);
        f->WriteDescriptors();
        f->CloseFile();
        auto reopened = std::make_unique<TDataFile>(&table);
        reopened->FileName = "D:\\T.DAT";
        reopened->OpenFile();
        reopened->CheckHeader();
        return reopened;
    }
    static int32_t CountOf(const TRecord* r) { return GetInt32(r->Data() + 22); }

    TTempFolder root;
    TScopedDrives drives{"D=" + root.Path()};
    TDataSession session{false};
    TDataTable table{nullptr, nullptr};
};

// A record object's number goes into its header only while the record is live (status 0); its
// bytes compare with a buffer over the record size.
TEST(RecordTest, NumberAndComparison) {
    TRecord r(nullptr);
    r.SetBufferSize(12);
    r.Init(false);
    r.SetRecordNo(7);
    EXPECT_EQ(r.RecordNo, 7);
    EXPECT_EQ(GetInt32(r.Data() + 1), 7);
    std::vector<uint8_t> copy(r.Data(), r.Data() + 12);
    EXPECT_TRUE(r.SameAs(copy.data()));
    copy[11] ^= 1;
    EXPECT_FALSE(r.SameAs(copy.data()));
    r.Data()[0] = 1;  // not live: the header keeps what it holds
    r.SetRecordNo(9);
    EXPECT_EQ(r.RecordNo, 9);
    EXPECT_EQ(GetInt32(r.Data() + 1), 7);
}

TEST_F(RecordCacheTest, AppendingNeedsNoRead) {
    auto f = MakeTable(3);
    CountingFiles io;
    TRecord* r = nullptr;
    f->Header.HeaderModified = 0;
    ASSERT_TRUE(f->GetRecord(nullptr, 4, 1, false, true, r));
    EXPECT_EQ(io.Reads, 0);
    EXPECT_EQ(r->RecordNo, 4);
    EXPECT_EQ(r->PinCount, 1);
    EXPECT_EQ(GetInt32(r->Data() + 1), 4);
    for (int i = 5; i < 26; ++i) ASSERT_EQ(r->Data()[i], 0) << i;
    EXPECT_EQ(f->Header.NextRecordNo, 5);
    EXPECT_EQ(f->Header.HeaderModified, 1);
    f->ReleaseRecord(r);
    EXPECT_EQ(r->PinCount, 0);

    EXPECT_EQ(CodeOf([&] { f->GetRecord(nullptr, 0, 1, false, false, r); }), DBE_FILECORRUPT);
    EXPECT_EQ(CodeOf([&] { f->GetRecord(nullptr, 9, 1, false, false, r); }), DBE_FILECORRUPT);
    f->Header.NextRecordNo = 200000001;
    try {
        f->GetRecord(nullptr, 200000001, 1, false, false, r);
        FAIL();
    } catch (const EDbEngineError& e) {
        EXPECT_EQ(e.Message, "Engine Error # 9479 The table 'T' is full and cannot contain any more data");
    }
    f->Header.NextRecordNo = 160000000;  // 4.16 billion bytes with 26-byte records
    EXPECT_EQ(CodeOf([&] { f->GetRecord(nullptr, 160000000, 1, false, false, r); }), DBE_TABLEFULL);
    f->Header.NextRecordNo = 5;
}

TEST_F(RecordCacheTest, ReadAheadReadsOnceAndKeepsChangedRecords) {
    auto f = MakeTable(400);
    ASSERT_EQ(f->RecordsPerRead, 8192 / 26);
    session.DataBufferSize = 1 << 20;  // room for every record
    f->TrimCache();
    CountingFiles io;
    // Record 3, changed and kept pinned, then a read-ahead over it.
    TRecord* three = nullptr;
    ASSERT_TRUE(f->GetRecord(nullptr, 3, 1, false, false, three));
    EXPECT_EQ(io.Reads, 1);
    PutInt32(three->Data() + 22, -1);
    three->Modified = true;
    TRecord* r = nullptr;
    ASSERT_TRUE(f->GetRecord(nullptr, 1, 1, false, true, r));
    EXPECT_EQ(io.Reads, 2);
    EXPECT_EQ(CountOf(r), 10);
    EXPECT_EQ(f->CachedCount(), 315u);
    EXPECT_EQ(CountOf(three), -1);
    f->ReleaseRecord(r);
    // Every record up to 315 is served from the cache.
    for (int n = 2; n <= 315; ++n) {
        ASSERT_TRUE(f->GetRecord(nullptr, n, 1, false, true, r));
        if (n != 3) {
            ASSERT_EQ(CountOf(r), n * 10);
        }
        f->ReleaseRecord(r);
    }
    EXPECT_EQ(io.Reads, 2);
    // Near the end a read-ahead stops at the last record.
    ASSERT_TRUE(f->GetRecord(nullptr, 390, 1, false, true, r));
    EXPECT_EQ(io.Reads, 3);
    EXPECT_EQ(f->CachedCount(), 315u + 11);
    f->ReleaseRecord(r);
    // Backwards from 350: 350 and the records below it that are not cached yet.
    ASSERT_TRUE(f->GetRecord(nullptr, 350, -1, false, true, r));
    EXPECT_EQ(CountOf(r), 3500);
    f->ReleaseRecord(r);
    f->ReleaseRecord(three);
}

// A cursor that reports a changed table once, and visits records in steps it decides.
class FakeFetchClient : public TRecordFetchClient {
public:
    bool SyncBeforeRead() override {
        ++Syncs;
        return ChangedOnce && Syncs == 1;
    }
    int32_t CountConsecutiveRecords(int32_t, int, int32_t max) override { return std::min(Consecutive, max); }

    bool ChangedOnce = false;
    int Syncs = 0;
    int32_t Consecutive = 1;
};

TEST_F(RecordCacheTest, TheCursorIsAskedBeforeReadingAndForItsOrder) {
    auto f = MakeTable(50);
    FakeFetchClient cursor;
    cursor.ChangedOnce = true;
    cursor.Consecutive = 7;
    TRecord* r = nullptr;
    EXPECT_FALSE(f->GetRecord(&cursor, 10, 1, true, true, r));  // changed: the caller starts over
    EXPECT_EQ(r, nullptr);
    EXPECT_EQ(f->CachedCount(), 0u);
    CountingFiles io;
    ASSERT_TRUE(f->GetRecord(&cursor, 10, 1, true, true, r));
    EXPECT_EQ(io.Reads, 1);
    EXPECT_EQ(f->CachedCount(), 7u);  // the cursor's consecutive records, not the read-ahead size
    EXPECT_NE(f->FindCached(16), nullptr);
    EXPECT_EQ(f->FindCached(17), nullptr);
    f->ReleaseRecord(r);
    // Cached records need no synchronisation; strict change detection skips it altogether.
    ASSERT_TRUE(f->GetRecord(&cursor, 12, 1, true, true, r));
    f->ReleaseRecord(r);
    EXPECT_EQ(cursor.Syncs, 2);
    session.StrictChangeDetection = true;
    ASSERT_TRUE(f->GetRecord(&cursor, 30, 1, false, false, r));
    f->ReleaseRecord(r);
    EXPECT_EQ(cursor.Syncs, 2);
}

TEST_F(RecordCacheTest, PinnedRecordsGrowTheCacheAndTrimBringsItBack) {
    auto f = MakeTable(10);
    session.DataBufferSize = 52;  // two records
    f->TrimCache();
    EXPECT_EQ(f->CacheLimit(), 2u);
    EXPECT_EQ(f->CacheCapacity(), 2u);
    TRecord* a = nullptr;
    TRecord* b = nullptr;
    TRecord* c = nullptr;
    ASSERT_TRUE(f->GetRecord(nullptr, 1, 1, false, false, a));
    ASSERT_TRUE(f->GetRecord(nullptr, 2, 1, false, false, b));
    ASSERT_TRUE(f->GetRecord(nullptr, 3, 1, false, false, c));
    EXPECT_EQ(f->CacheCapacity(), 66u);
    EXPECT_EQ(CountOf(c), 30);
    for (TRecord* r : {a, b, c}) f->ReleaseRecord(r);
    f->TrimCache();
    EXPECT_EQ(f->CacheCapacity(), 2u);
    EXPECT_EQ(f->CachedCount(), 2u);
    // The least recently used went: record 1.
    EXPECT_EQ(f->FindCached(1), nullptr);
    EXPECT_NE(f->FindCached(3), nullptr);
    // With every slot taken by an unpinned, unchanged record, a fetch reuses the oldest.
    ASSERT_TRUE(f->GetRecord(nullptr, 7, 1, false, false, a));
    EXPECT_EQ(f->CachedCount(), 2u);
    EXPECT_EQ(CountOf(a), 70);
    f->ReleaseRecord(a);
}

TEST_F(RecordCacheTest, FreeChain) {
    auto f = MakeTable(10);
    table.IndexFile->SetInternalPrimaryIndex(false);
    TRecord* r = nullptr;
    for (int n : {5, 9}) {
        ASSERT_TRUE(f->GetRecord(nullptr, n, 1, false, false, r));
        f->FreeRecord(r);
        f->ReleaseRecord(r);
    }
    EXPECT_EQ(f->Header.FirstFreeRecord, 9);
    EXPECT_EQ(f->FindCached(9)->GetFreeLink(), 5);
    EXPECT_EQ(f->FindCached(5)->GetFreeLink(), 0);
    EXPECT_EQ(f->FindCached(5)->Status(), 1);
    int32_t lastId = f->LastRecordId();
    TRecord* reused = f->GetFreeRecord(nullptr);
    EXPECT_EQ(reused->RecordNo, 9);
    EXPECT_EQ(f->Header.FirstFreeRecord, 5);
    reused->Init(true);
    EXPECT_EQ(reused->RecordId(), lastId + 1);
    EXPECT_EQ(GetInt32(reused->Data() + 1), 9);
    f->ReleaseRecord(reused);

    // A table in internal record order never reuses: it appends and keeps no chain.
    table.IndexFile->SetInternalPrimaryIndex(true);
    ASSERT_TRUE(f->GetRecord(nullptr, 2, 1, false, false, r));
    f->FreeRecord(r);
    EXPECT_EQ(r->GetFreeLink(), 0);
    f->ReleaseRecord(r);
    TRecord* appended = f->GetFreeRecord(nullptr);
    EXPECT_EQ(appended->RecordNo, 11);
    EXPECT_EQ(f->Header.FirstFreeRecord, 0);
    f->ReleaseRecord(appended);
}

TEST_F(RecordCacheTest, ChangedRecordsAreWrittenInRuns) {
    auto f = MakeTable(10);
    TRecord* held = nullptr;
    ASSERT_TRUE(f->GetRecord(nullptr, 8, 1, false, false, held));
    held->SetStatus(1);  // changed but pinned: not written
    for (int n : {2, 3, 4, 7}) {
        TRecord* r = nullptr;
        ASSERT_TRUE(f->GetRecord(nullptr, n, 1, false, false, r));
        PutInt32(r->Data() + 22, -n);
        r->Modified = true;
        f->ReleaseRecord(r);
    }
    CountingFiles io;
    EXPECT_TRUE(f->WriteModifiedRecords());
    EXPECT_EQ(io.Writes, 2);
    EXPECT_FALSE(f->WriteModifiedRecords());
    EXPECT_TRUE(held->Modified);
    f->ReleaseRecord(held);
    // Read back from the file through a fresh cache.
    f->DropCachedRecords();
    for (int n = 1; n <= 10; ++n) {
        TRecord* r = nullptr;
        ASSERT_TRUE(f->GetRecord(nullptr, n, 1, false, false, r));
        bool changed = n == 2 || n == 3 || n == 4 || n == 7;
        EXPECT_EQ(CountOf(r), changed ? -n : n * 10) << n;
        EXPECT_EQ(r->Status(), 0) << n;
        f->ReleaseRecord(r);
    }
}

// A write-back looks only at records handed out since the previous one; each changed record
// must still reach the file exactly once, whatever happened to it in between.
TEST_F(RecordCacheTest, EachChangedRecordIsWrittenOnceByTheWriteBackAfterItsRelease) {
    auto f = MakeTable(10);
    session.DataBufferSize = 26 * 3;  // three records
    f->TrimCache();
    std::vector<int64_t> writes;
    platform::TScopedFileFault hook{
        [&](platform::TFileOperation op, const std::string& path, int64_t position, uint32_t) {
            if (op == platform::TFileOperation::Write && path.ends_with("T.DAT")) writes.push_back(position);
            return platform::TFileFault{};
        }};
    auto change = [&](TRecord* r, int32_t value) {
        PutInt32(r->Data() + 22, value);
        r->Modified = true;
    };
    // Changed while held: left for the write-back after its release.
    TRecord* held = nullptr;
    ASSERT_TRUE(f->GetRecord(nullptr, 5, 1, false, false, held));
    change(held, -5);
    EXPECT_FALSE(f->WriteModifiedRecords());
    f->ReleaseRecord(held);
    EXPECT_TRUE(f->WriteModifiedRecords());
    EXPECT_EQ(writes, std::vector<int64_t>{f->RecordOffset(5)});
    EXPECT_FALSE(f->WriteModifiedRecords());
    // Read but unchanged records, and a slot recycled for another record, write nothing; the
    // record now in the recycled slot is written at its own place.
    writes.clear();
    for (int n : {1, 2, 3, 4}) {
        TRecord* r = nullptr;
        ASSERT_TRUE(f->GetRecord(nullptr, n, 1, false, false, r));
        if (n == 4) change(r, -4);
        f->ReleaseRecord(r);
    }
    EXPECT_EQ(f->FindCached(1), nullptr);
    EXPECT_TRUE(f->WriteModifiedRecords());
    EXPECT_EQ(writes, std::vector<int64_t>{f->RecordOffset(4)});
    // A change dropped with the cache is gone and never written later.
    writes.clear();
    TRecord* dropped = nullptr;
    ASSERT_TRUE(f->GetRecord(nullptr, 9, 1, false, false, dropped));
    change(dropped, -9);
    f->ReleaseRecord(dropped);
    f->DropCachedRecords();
    EXPECT_FALSE(f->WriteModifiedRecords());
    EXPECT_TRUE(writes.empty());
    for (int n = 1; n <= 10; ++n) {
        TRecord* r = nullptr;
        ASSERT_TRUE(f->GetRecord(nullptr, n, 1, false, false, r));
        EXPECT_EQ(CountOf(r), n == 4 || n == 5 ? -n : n * 10) << n;
        f->ReleaseRecord(r);
    }
}

TEST_F(RecordCacheTest, LockBytesAreSeenByOtherHandlesAndProcesses) {
    auto f = MakeTable(2);
    ASSERT_TRUE(f->LockRecord(1));
    ASSERT_TRUE(f->LockHeader());
    auto probe = [](uint64_t offset) {
        platform::HANDLE h = platform::CreateFile(
            "D:\\T.DAT", platform::GENERIC_READ | platform::GENERIC_WRITE,
            platform::FILE_SHARE_READ | platform::FILE_SHARE_WRITE, platform::OPEN_EXISTING, 0);
        bool locked = platform::LockFile(h, offset, 1);
        if (locked) platform::UnlockFile(h, offset, 1);
        platform::CloseHandle(h);
        return locked;
    };
    EXPECT_FALSE(probe(0xFFFFFFFD));
    EXPECT_FALSE(probe(0xFFFFFFFF));
    EXPECT_TRUE(probe(0xFFFFFFFC));  // record 2 is free
    EXPECT_EQ(RunInChildProcess([&] { return probe(0xFFFFFFFD) ? 1 : 0; }), 0);
    EXPECT_EQ(RunInChildProcess([&] { return probe(0xFFFFFFFF) ? 1 : 0; }), 0);
    EXPECT_EQ(RunInChildProcess([&] { return probe(0xFFFFFFFC) ? 1 : 0; }), 1);
    EXPECT_FALSE(f->LockRecord(1));  // one holder at a time, also within the process
    EXPECT_TRUE(f->UnlockRecord(1));
    EXPECT_FALSE(f->UnlockRecord(1));
    EXPECT_TRUE(probe(0xFFFFFFFD));

    // A holder that never lets go: the header lock gives up after its budget of tries.
    framework::TFakeTime clock(45000.0);
    auto other = std::make_unique<TDataFile>(&table);
    other->FileName = "D:\\T.DAT";
    int childResult = RunInChildProcess([&] {
        TFileList list;  // the child's own handle on the file
        bool ro = false, roa = false;
        TAbstractFile* file = nullptr;
        int32_t handle = list.OpenFile("D:\\T.DAT", false, false, false, ro, roa, file);
        if (handle < 0) return 2;
        return file->LockRange(HeaderLockOffset, 1) ? 1 : 0;
    });
    EXPECT_EQ(childResult, 0);  // the parent holds it
    f->HeaderLockAttempts = 25;
    EXPECT_FALSE(f->LockHeader());  // already held through this handle: refused every time
    EXPECT_EQ(clock.SleepCalls(), 25);
    EXPECT_EQ(clock.SleptMilliseconds(), 75u);
    EXPECT_TRUE(f->UnlockHeader());
    EXPECT_TRUE(f->LockHeader());
    EXPECT_TRUE(f->UnlockHeader());
}

}  // namespace
}  // namespace dbengine
