// The table engine beside SQLite on the same catalog-shaped records: bulk inserts, key lookups,
// ranges, filtered scans, positioning by record number, updates and delete-then-reinsert.
// Every workload runs on both engines, each in a child process of its own (so that peak
// resident memory belongs to one engine); their result counts and checksums must agree.
//
//   engine_vs_sqlite [--records N] [--lookups L] [--buffers MB] [--csv FILE] [--folder DIR]
//   engine_vs_sqlite --smoke        (N = 1,000 and a few lookups: the agreement check of the test run)
//
// Exit status 0 when both engines agree on every workload, 1 when they do not, 2 on an error.
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <numeric>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "dbengine/cursor/DataCursor.h"
#include "dbengine/data/FieldDescriptor.h"
#include "dbengine/index/IndexFormat.h"
#include "dbengine/session/DataDirectory.h"
#include "dbengine/session/DataSession.h"
#include "dbengine/session/DataTable.h"
#include "dbengine/session/Engine.h"
#include "dbengine/testsupport/CatalogTable.h"
#include "dbengine/util/Coding.h"
#include "dbengine/util/EngineError.h"
#include "dbengine/util/EngineUtils.h"
#include "platform/Paths.h"

// The memo comment of every tenth record is written through the cursor's BLOB access. Building
// with -DKORVANE_BENCH_MEMO=0 leaves comments out on both sides (so both do the same work); that
// is also the default where the cursor has no BLOB access.
#ifndef KORVANE_BENCH_MEMO
#if __has_include("dbengine/cursor/CursorBlob.h")
#define KORVANE_BENCH_MEMO 1
#else
#define KORVANE_BENCH_MEMO 0
#endif
#endif

#include "bench/CatalogEntries.h"
#include "bench/ChildRuns.h"

namespace {

using namespace korvane_bench;

using Clock = std::chrono::steady_clock;

// ---- Options ----

struct TOptions {
    int64_t Records = 100000;
    int64_t Lookups = 100000;
    int64_t BufferMb = 0;  // 0: each engine's default buffer sizes
    std::string Csv;
    std::string Folder = "/tmp";
    bool Smoke = false;
};

// Name lengths of the catalog (FileName, FolderName, ArchiveID).
constexpr uint8_t FileNameLength = 64;
constexpr uint8_t FolderNameLength = 96;
constexpr uint8_t ArchiveIdLength = 32;

struct TSizes {
    int64_t Records, Lookups, Volumes, Ranges, Positions, Updates, Reinserts, MemoReads;
};

TSizes SizesFor(const TOptions& o) {
    TSizes s{};
    s.Records = o.Records;
    s.Lookups = o.Lookups;
    s.Volumes = std::max<int64_t>(5, o.Records / 1000);
    EntriesPerVolume = std::min<int64_t>((o.Records + s.Volumes - 1) / s.Volumes, 100000);
    s.Volumes = (o.Records + EntriesPerVolume - 1) / EntriesPerVolume;
    s.Ranges = std::min<int64_t>(s.Volumes, 20);
    s.Positions = std::min<int64_t>(o.Records, o.Smoke ? 200 : 1000);
    s.Updates = std::min<int64_t>(o.Records / 10, 10000);
    s.Reinserts = std::min<int64_t>(o.Records / 10, 5000);
    s.MemoReads = KORVANE_BENCH_MEMO ? std::min<int64_t>((o.Records + 9) / 10, 10000) : 0;
    return s;
}

// The key of a lookup: every tenth misses (no such volume); the others search with another case.
TEntry LookupKey(int64_t k, int64_t records) {
    uint64_t h = Mix(static_cast<uint64_t>(k) ^ 0x5DEECE66Dull);
    TEntry e = MakeEntry(static_cast<int64_t>(h % static_cast<uint64_t>(records)));
    e.FileName = (h >> 40) % 2 == 0 ? Upper(e.FileName) : Lower(e.FileName);
    if ((h >> 50) % 10 == 0) e.VolumeLabel = "NOSUCH";
    return e;
}

// A permutation of 0..n-1 by a stride prime to n: distinct entries for the update workloads.
int64_t Permuted(int64_t k, int64_t n) {
    for (int64_t stride : {7919, 104729, 1299709, 15485863})
        if (std::gcd(stride, n) == 1) return (k * stride + 17) % n;
    return k % n;
}

// The k-th entry that carries a comment (every tenth), in a scattered order.
int64_t CommentedEntry(int64_t k, int64_t records) {
    return 10 * Permuted(k, (records + 9) / 10);
}

// The checksum of a comment: its length and its last character.
int64_t CommentSum(const std::string& text) {
    return text.empty() ? 0 : static_cast<int64_t>(text.size()) + static_cast<uint8_t>(text.back());
}

// The renamed folder of a key update: "\Dxx" becomes "\Exx" (still unique, same width).
std::string MovedFolder(std::string folder) {
    folder[1] = 'E';
    return folder;
}

// The filtered scans: one expression in each engine's language, same meaning.
struct TFilterCase {
    const char* Name;
    std::string EngineText;
    std::string SqlWhere;
};

std::vector<TFilterCase> FilterCases(const TSizes& s) {
    std::string volume = VolumeLabelOf(s.Volumes / 2);
    return {
        {"indexed_eq", "VolumeLabel = '" + Lower(volume) + "'", "VolumeLabel = '" + Lower(volume) + "'"},
        {"unindexed_eq", "CategoryCode = 'MUSIC'", "CategoryCode = 'MUSIC'"},
        {"prefix", "FileName = 'rep*'", "FileName LIKE 'rep%'"},
        {"and_mixed", "VolumeLabel = '" + volume + "' and CategoryCode = 'MUSIC'",
         "VolumeLabel = '" + volume + "' AND CategoryCode = 'MUSIC'"},
    };
}

// ---- Measuring ----

struct TResult {
    std::string Workload;
    int64_t Count = 0;
    int64_t Checksum = 0;
    double Seconds = 0;
    int64_t Ops = 0;
    double BytesPerRecord = 0;
    int64_t PeakKb = 0;
};

int64_t FolderBytes(const std::string& folder, const std::string& prefix) {
    int64_t total = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.is_regular_file() && Upper(entry.path().filename().string()).rfind(Upper(prefix), 0) == 0)
            total += static_cast<int64_t>(entry.file_size());
    return total;
}

// One side of the comparison. Each workload returns its result count and checksum (the sum of
// the Tag values it saw, so that a wrong record shows even when the count is right).
class TSide {
public:
    virtual ~TSide() = default;
    // Bytes the main table occupies on disk.
    virtual int64_t DiskBytes() = 0;
    // Bytes of the table of the shared insert, measured before it is dropped.
    int64_t SharedDiskBytes = 0;

    virtual void InsertExclusive(int64_t& count, int64_t& sum) = 0;
    virtual void InsertShared(int64_t& count, int64_t& sum) = 0;
    virtual void OpenForReading() = 0;
    virtual void Lookups(int64_t& count, int64_t& sum) = 0;
    virtual void Ranges(int64_t& count, int64_t& sum) = 0;
    virtual void FilterActivate(const TFilterCase& f, int64_t& count, int64_t& sum) = 0;
    virtual void FilterWalk(const TFilterCase& f, int64_t& count, int64_t& sum) = 0;
    virtual void FilterCount(const TFilterCase& f, int64_t& count, int64_t& sum) = 0;
    virtual void FilterDrop() = 0;
    virtual void Positions(int64_t& count, int64_t& sum) = 0;
    virtual void MemoReads(int64_t& count, int64_t& sum) = 0;
    virtual void UpdateNonKey(int64_t& count, int64_t& sum) = 0;
    virtual void UpdateKey(int64_t& count, int64_t& sum) = 0;
    virtual void DeleteReinsert(int64_t& count, int64_t& sum) = 0;
    virtual void CountAll(int64_t& count, int64_t& sum) = 0;

    TSizes Sizes{};
    std::string Folder;
};

// Runs every workload on one side and writes one line per workload to out.
void RunSide(TSide& side, const TSizes& s, FILE* out) {
    auto run = [&](const std::string& name, int64_t ops, const std::function<void(int64_t&, int64_t&)>& work,
                   bool sharedTable = false) {
        ResetPeak();
        TResult r;
        r.Workload = name;
        auto start = Clock::now();
        work(r.Count, r.Checksum);
        r.Seconds = std::chrono::duration<double>(Clock::now() - start).count();
        r.PeakKb = PeakKb();
        r.Ops = ops;
        int64_t bytes = sharedTable ? side.SharedDiskBytes : side.DiskBytes();
        r.BytesPerRecord = static_cast<double>(bytes) / static_cast<double>(std::max<int64_t>(s.Records, 1));
        std::fprintf(out, "%s %" PRId64 " %" PRId64 " %.9f %" PRId64 " %.3f %" PRId64 "\n",
                     r.Workload.c_str(), r.Count, r.Checksum, r.Seconds, r.Ops, r.BytesPerRecord, r.PeakKb);
        std::fflush(out);
    };
    run("insert_exclusive", s.Records, [&](int64_t& c, int64_t& x) { side.InsertExclusive(c, x); });
    run(
        "insert_shared", s.Records, [&](int64_t& c, int64_t& x) { side.InsertShared(c, x); }, true);
    side.OpenForReading();
    run("lookup", s.Lookups, [&](int64_t& c, int64_t& x) { side.Lookups(c, x); });
    run("range_walk", 0, [&](int64_t& c, int64_t& x) { side.Ranges(c, x); });
    for (const TFilterCase& f : FilterCases(s)) {
        std::string prefix = std::string("filter_") + f.Name;
        run(prefix + "_activate", 1, [&](int64_t& c, int64_t& x) { side.FilterActivate(f, c, x); });
        run(prefix + "_walk", 0, [&](int64_t& c, int64_t& x) { side.FilterWalk(f, c, x); });
        run(prefix + "_count", 1, [&](int64_t& c, int64_t& x) { side.FilterCount(f, c, x); });
        side.FilterDrop();
    }
    run("recno", s.Positions, [&](int64_t& c, int64_t& x) { side.Positions(c, x); });
    run("memo_read", s.MemoReads, [&](int64_t& c, int64_t& x) { side.MemoReads(c, x); });
    run("update_nonkey", s.Updates, [&](int64_t& c, int64_t& x) { side.UpdateNonKey(c, x); });
    run("update_key", s.Updates, [&](int64_t& c, int64_t& x) { side.UpdateKey(c, x); });
    run("delete_reinsert", 2 * s.Reinserts, [&](int64_t& c, int64_t& x) { side.DeleteReinsert(c, x); });
    run("count_all", 1, [&](int64_t& c, int64_t& x) { side.CountAll(c, x); });
}

// ---- The engine ----

using namespace dbengine;

// The file entries table of a catalog: fields, primary index, "ByTag" and "ByVolumeLabel".
TTableDefinition CatalogEntries() {
    return testsupport::CatalogEntries(FileNameLength, FolderNameLength, ArchiveIdLength);
}

constexpr uint16_t fnFileName = 1, fnVolumeLabel = 2, fnFolderName = 3, fnArchiveId = 4, fnFileSize = 5,
                   fnDate = 6, fnTime = 7, fnAttribute = 8, fnCategory = 9, fnComment = 10, fnTag = 11;

class TEngineSide : public TSide {
public:
    TEngineSide(const std::string& folder, int64_t bufferMb) {
        InitializeEngine();
        Session = GetEngineSession();
        if (bufferMb > 0) {
            int32_t bytes = static_cast<int32_t>(std::min<int64_t>(bufferMb << 20, INT32_MAX));
            Session->DataBufferSize = bytes;
            Session->MaxDataBufferRecords = INT32_MAX;
            Session->IndexBufferSize = bytes;
            Session->BlobBufferSize = bytes;
            Session->MaxBlobBufferBlocks = INT32_MAX;
        }
        Folder = folder;
        Database = Session->OpenDataDirectory("B:\\", "B:\\", false);
    }
    ~TEngineSide() override {
        Reader.reset();
        FinalizeEngine();
    }

    int64_t DiskBytes() override { return FolderBytes(Folder, MainTable + "."); }

    void InsertExclusive(int64_t& count, int64_t& sum) override { Insert(MainTable, true, count, sum); }

    void InsertShared(int64_t& count, int64_t& sum) override {
        Insert(SharedTable, false, count, sum);
        SharedDiskBytes = FolderBytes(Folder, SharedTable + ".");
        TDataCursor c(Database);
        c.SetTableName(SharedTable);
        c.SetExclusive(true);
        c.DeleteTable();
    }

    void OpenForReading() override {
        Reader = std::make_unique<TDataCursor>(Database);
        Reader->SetTableName(MainTable);
        Reader->OpenCursor();
        Reader->SetIndexNumber(0);
        Record.assign(Reader->GetRecordSize(), 0);
        Out.assign(Reader->GetRecordSize(), 0);
    }

    void Lookups(int64_t& count, int64_t& sum) override {
        for (int64_t k = 0; k < Sizes.Lookups; ++k) {
            FillKey(Record.data(), LookupKey(k, Sizes.Records));
            if (Reader->FindKey(false, Record.data(), 4, false, 0, Out.data())) {
                ++count;
                sum += TagOf(Out.data());
            }
        }
    }

    void Ranges(int64_t& count, int64_t& sum) override {
        Reader->SetIndexName("ByVolumeLabel");
        for (int64_t r = 0; r < Sizes.Ranges; ++r) {
            TEntry e;
            e.VolumeLabel = Lower(VolumeLabelOf(Permuted(r, Sizes.Volumes)));
            Fill(Record.data(), e);
            Reader->SetRange(false, Record.data(), 1, Record.data(), 1);
            Reader->SetToBegin();
            while (Reader->GetNextRecord(Out.data()) == 0) {
                ++count;
                sum += TagOf(Out.data());
            }
        }
        Reader->ResetRange();
        Reader->SetIndexNumber(0);
    }

    void FilterActivate(const TFilterCase& f, int64_t& count, int64_t&) override {
        Filter =
            Reader->AddFilter(nullptr, f.EngineText, nullptr, false, nullptr, false, true, true, true, false);
        Reader->ActivateFilter(Filter);
        count = 1;
    }
    void FilterWalk(const TFilterCase&, int64_t& count, int64_t& sum) override {
        Reader->SetToBegin();
        while (Reader->GetNextRecord(Out.data()) == 0) {
            ++count;
            sum += TagOf(Out.data());
        }
    }
    void FilterCount(const TFilterCase&, int64_t& count, int64_t&) override {
        count = Reader->GetRecordCount();
    }
    void FilterDrop() override {
        Reader->DropFilter(Filter);
        Filter = nullptr;
    }

    void Positions(int64_t& count, int64_t& sum) override {
        for (int64_t k = 0; k < Sizes.Positions; ++k) {
            int32_t recNo = static_cast<int32_t>(Permuted(k, Sizes.Records) + 1);
            if (Reader->SetToRecNo(recNo) && Reader->GetCurrentRecord(Out.data(), false) == 0) {
                ++count;
                sum += TagOf(Out.data()) * (k + 1);
            }
        }
    }

    void MemoReads([[maybe_unused]] int64_t& count, [[maybe_unused]] int64_t& sum) override {
#if KORVANE_BENCH_MEMO
        std::string text;
        for (int64_t k = 0; k < Sizes.MemoReads; ++k) {
            if (!FindEntry(MakeEntry(CommentedEntry(k, Sizes.Records)))) continue;
            int32_t size = 0, read = 0;
            Reader->CheckError(Reader->OpenBlob(fnComment, Out.data(), 1, false, false, size), "Comment");
            text.assign(static_cast<size_t>(size), '\0');
            TEngineErrorCode code = Reader->GetBlob(
                fnComment, Out.data(), 0, reinterpret_cast<uint8_t*>(text.data()), size, read, false);
            Reader->CheckError(Reader->FreeBlob(fnComment, Out.data(), false), "Comment");
            Reader->CheckError(code, "Comment");
            if (size == 0) continue;
            ++count;
            sum += CommentSum(text);
        }
#endif
    }

    void UpdateNonKey(int64_t& count, int64_t& sum) override {
        for (int64_t k = 0; k < Sizes.Updates; ++k) {
            if (!FindEntry(MakeEntry(Permuted(k, Sizes.Records)))) continue;
            PutInt(Out.data(), fnAttribute, 34);
            PutText(Out.data(), fnCategory, "SEEN");
            Reader->ModifyRecord(Out.data(), true, false);
            ++count;
            sum += TagOf(Out.data());
        }
    }

    void UpdateKey(int64_t& count, int64_t& sum) override {
        for (int64_t k = 0; k < Sizes.Updates; ++k) {
            TEntry e = MakeEntry(Permuted(k, Sizes.Records));
            if (!FindEntry(e)) continue;
            PutText(Out.data(), fnFolderName, MovedFolder(e.FolderName));
            Reader->ModifyRecord(Out.data(), true, false);
            ++count;
            sum += TagOf(Out.data());
        }
    }

    void DeleteReinsert(int64_t& count, int64_t& sum) override {
        for (int64_t k = Sizes.Updates; k < Sizes.Updates + Sizes.Reinserts; ++k) {
            TEntry e = MakeEntry(Permuted(k, Sizes.Records));
            if (!FindEntry(e)) continue;
            sum += TagOf(Out.data());
            Reader->DeleteRecord(Out.data(), false);
            ++count;
            Fill(Record.data(), e);
            WriteComment(*Reader, Record.data(), e);
            Reader->InsertRecord(Record.data(), false);
            ++count;
        }
    }

    void CountAll(int64_t& count, int64_t&) override {
        count = Reader->GetRecordCount();
    }

private:
    void Insert(const std::string& table, bool exclusive, int64_t& count, int64_t& sum) {
        {
            TDataCursor creator(Database);
            creator.SetTableName(table);
            creator.SetExclusive(true);
            creator.CreateTable(CatalogEntries(), false, true);
        }
        TDataCursor c(Database);
        c.SetTableName(table);
        c.SetExclusive(exclusive);
        c.OpenCursor();
        std::vector<uint8_t> buffer(c.GetRecordSize(), 0);
        for (int64_t i = 0; i < Sizes.Records; ++i) {
            TEntry e = MakeEntry(i);
            FillWith(c, buffer.data(), e);
            WriteComment(c, buffer.data(), e);
            c.InsertRecord(buffer.data(), false);
            ++count;
            sum += i + 1;  // the Tag this entry receives
        }
        // Closing writes what the buffers still hold: part of the work.
        c.CloseCursor(false);
    }

    bool FindEntry(const TEntry& e) {
        FillKey(Record.data(), e);
        return Reader->FindKey(false, Record.data(), 4, false, 0, Out.data());
    }

    void Fill(uint8_t* buffer, const TEntry& e) {
        FillWith(*Reader, buffer, e);
    }

    // Only the four fields of the primary key, as a search needs them.
    void FillKey(uint8_t* buffer, const TEntry& e) {
        Reader->ClearRecordBuffer(buffer);
        PutText(buffer, fnFileName, e.FileName);
        PutText(buffer, fnVolumeLabel, e.VolumeLabel);
        PutText(buffer, fnFolderName, e.FolderName);
        PutText(buffer, fnArchiveId, e.ArchiveId);
    }

    static void FillWith(TDataCursor& c, uint8_t* buffer, const TEntry& e) {
        c.ClearRecordBuffer(buffer);
        PutTextWith(c, buffer, fnFileName, e.FileName);
        PutTextWith(c, buffer, fnVolumeLabel, e.VolumeLabel);
        PutTextWith(c, buffer, fnFolderName, e.FolderName);
        PutTextWith(c, buffer, fnArchiveId, e.ArchiveId);
        TBcd bcd;
        CurrencyToBcd(0, bcd, e.FileSize * 10000);
        bcd.Precision = 32;
        uint8_t value[34];
        value[0] = bcd.Precision;
        value[1] = bcd.SignSpecialPlaces;
        std::memcpy(value + 2, bcd.Fraction, 32);
        c.PutField(fnFileSize, buffer, value, false, false);
        PutIntWith(c, buffer, fnDate, e.DateModified);
        PutIntWith(c, buffer, fnTime, e.TimeModified);
        PutIntWith(c, buffer, fnAttribute, e.Attribute);
        PutTextWith(c, buffer, fnCategory, e.CategoryCode);
    }

    static void WriteComment([[maybe_unused]] TDataCursor& c, [[maybe_unused]] uint8_t* buffer,
                             [[maybe_unused]] const TEntry& e) {
#if KORVANE_BENCH_MEMO
        if (e.Comment.empty()) return;
        int32_t size = 0;
        c.CheckError(c.OpenBlob(fnComment, buffer, 2, false, true, size, false), "Comment");
        c.CheckError(c.PutBlob(fnComment, buffer, 0, reinterpret_cast<const uint8_t*>(e.Comment.data()),
                               static_cast<int32_t>(e.Comment.size()), false),
                     "Comment");
#endif
    }

    static void PutTextWith(TDataCursor& c, uint8_t* buffer, uint16_t field, const std::string& text) {
        uint8_t value[256] = {};
        std::memcpy(value, text.data(), std::min<size_t>(text.size(), 255));
        c.PutField(field, buffer, value, false, false);
    }
    static void PutIntWith(TDataCursor& c, uint8_t* buffer, uint16_t field, int32_t n) {
        uint8_t value[4];
        PutInt32(value, n);
        c.PutField(field, buffer, value, false, false);
    }
    void PutText(uint8_t* buffer, uint16_t field, const std::string& text) {
        PutTextWith(*Reader, buffer, field, text);
    }
    void PutInt(uint8_t* buffer, uint16_t field, int32_t n) {
        PutIntWith(*Reader, buffer, field, n);
    }

    int64_t TagOf(const uint8_t* record) {
        uint8_t value[4] = {};
        bool blank = false;
        Reader->GetField(fnTag, record, value, blank);
        return GetInt32(value);
    }

    const std::string MainTable = "Bench_CAT";
    const std::string SharedTable = "Shared_CAT";
    TDataSession* Session = nullptr;
    TDataDirectory* Database = nullptr;
    std::unique_ptr<TDataCursor> Reader;
    TFilter* Filter = nullptr;
    std::vector<uint8_t> Record, Out;
};

// ---- SQLite ----

// Reads return whole records, as the engine's cursor does; Tag comes first for the checksum.
const std::string AllColumns =
    "Tag, FileName, VolumeLabel, FolderName, ArchiveID, FileSize, DateModified, TimeModified, Attribute, "
    "CategoryCode, Comment";

class TSqliteSide : public TSide {
public:
    TSqliteSide(const std::string& folder, int64_t bufferMb) : BufferMb(bufferMb) { Folder = folder; }
    ~TSqliteSide() override {
        for (auto& [text, statement] : Statements) sqlite3_finalize(statement);
        if (Db != nullptr) sqlite3_close(Db);
    }

    int64_t DiskBytes() override { return FolderBytes(Folder, "bench.db"); }

    void InsertExclusive(int64_t& count, int64_t& sum) override {
        Db = Open(Folder + "/bench.db");
        Exec("PRAGMA synchronous=OFF");
        CreateSchema();
        Exec("BEGIN");
        InsertAll(count, sum);
        Exec("COMMIT");
    }

    void InsertShared(int64_t& count, int64_t& sum) override {
        sqlite3* main = Db;
        std::map<std::string, sqlite3_stmt*> mainStatements;
        mainStatements.swap(Statements);
        std::string path = Folder + "/shared.db";
        Db = Open(path);
        Exec("PRAGMA journal_mode=WAL");
        Exec("PRAGMA synchronous=NORMAL");
        CreateSchema();
        InsertAll(count, sum);
        for (auto& [text, statement] : Statements) sqlite3_finalize(statement);
        Statements.clear();
        SharedDiskBytes = FolderBytes(Folder, "shared.db");
        sqlite3_close(Db);
        for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(path + suffix);
        Db = main;
        Statements.swap(mainStatements);
    }

    void OpenForReading() override {
        // From here on every statement commits on its own, as the engine's shared cursor does.
        Exec("PRAGMA journal_mode=WAL");
        Exec("PRAGMA synchronous=NORMAL");
    }

    void Lookups(int64_t& count, int64_t& sum) override {
        sqlite3_stmt* s = Prepare("SELECT " + AllColumns +
                                  " FROM Bench_CAT WHERE FileName = ?1 AND VolumeLabel = ?2 AND FolderName = "
                                  "?3 AND ArchiveID = ?4");
        for (int64_t k = 0; k < Sizes.Lookups; ++k) {
            TEntry e = LookupKey(k, Sizes.Records);
            BindKey(s, e, 1);
            if (sqlite3_step(s) == SQLITE_ROW) {
                ++count;
                sum += sqlite3_column_int64(s, 0);
            }
            sqlite3_reset(s);
        }
    }

    void Ranges(int64_t& count, int64_t& sum) override {
        sqlite3_stmt* s = Prepare(
            "SELECT " + AllColumns +
            " FROM Bench_CAT WHERE VolumeLabel = ?1 ORDER BY VolumeLabel, FileName, FolderName, ArchiveID");
        for (int64_t r = 0; r < Sizes.Ranges; ++r) {
            BindText(s, 1, Lower(VolumeLabelOf(Permuted(r, Sizes.Volumes))));
            Drain(s, count, sum);
        }
    }

    void FilterActivate(const TFilterCase& f, int64_t& count, int64_t&) override {
        FilterStatement = Prepare(WalkText(f));
        int rc = sqlite3_step(FilterStatement);
        if (rc != SQLITE_ROW && rc != SQLITE_DONE) Fail(sqlite3_sql(FilterStatement));
        sqlite3_reset(FilterStatement);
        count = 1;
    }
    void FilterWalk(const TFilterCase&, int64_t& count, int64_t& sum) override {
        Drain(FilterStatement, count, sum);
    }
    void FilterCount(const TFilterCase& f, int64_t& count, int64_t&) override {
        sqlite3_stmt* s = Prepare("SELECT COUNT(*) FROM Bench_CAT WHERE " + f.SqlWhere);
        if (sqlite3_step(s) == SQLITE_ROW) count = sqlite3_column_int64(s, 0);
        sqlite3_reset(s);
    }
    void FilterDrop() override { FilterStatement = nullptr; }

    void Positions(int64_t& count, int64_t& sum) override {
        sqlite3_stmt* s = Prepare(
            "SELECT " + AllColumns +
            " FROM Bench_CAT ORDER BY FileName, VolumeLabel, FolderName, ArchiveID LIMIT 1 OFFSET ?1");
        for (int64_t k = 0; k < Sizes.Positions; ++k) {
            sqlite3_bind_int64(s, 1, Permuted(k, Sizes.Records));
            if (sqlite3_step(s) == SQLITE_ROW) {
                ++count;
                sum += sqlite3_column_int64(s, 0) * (k + 1);
            }
            sqlite3_reset(s);
        }
    }

    void MemoReads(int64_t& count, int64_t& sum) override {
        sqlite3_stmt* s = Prepare(
            "SELECT Comment FROM Bench_CAT WHERE FileName = ?1 AND VolumeLabel = ?2 AND FolderName = ?3 AND "
            "ArchiveID = ?4");
        for (int64_t k = 0; k < Sizes.MemoReads; ++k) {
            BindKey(s, MakeEntry(CommentedEntry(k, Sizes.Records)), 1);
            if (sqlite3_step(s) == SQLITE_ROW && sqlite3_column_type(s, 0) == SQLITE_TEXT) {
                std::string text(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)),
                                 static_cast<size_t>(sqlite3_column_bytes(s, 0)));
                if (!text.empty()) {
                    ++count;
                    sum += CommentSum(text);
                }
            }
            sqlite3_reset(s);
        }
    }

    void UpdateNonKey(int64_t& count, int64_t& sum) override {
        sqlite3_stmt* find = Prepare(FindText());
        sqlite3_stmt* s =
            Prepare("UPDATE Bench_CAT SET Attribute = 34, CategoryCode = 'SEEN' WHERE Tag = ?1");
        for (int64_t k = 0; k < Sizes.Updates; ++k) {
            int64_t tag = 0;
            if (!FindEntry(find, MakeEntry(Permuted(k, Sizes.Records)), tag)) continue;
            sqlite3_bind_int64(s, 1, tag);
            Step(s);
            count += sqlite3_changes(Db);
            sum += tag;
        }
    }

    void UpdateKey(int64_t& count, int64_t& sum) override {
        sqlite3_stmt* find = Prepare(FindText());
        sqlite3_stmt* s = Prepare("UPDATE Bench_CAT SET FolderName = ?1 WHERE Tag = ?2");
        for (int64_t k = 0; k < Sizes.Updates; ++k) {
            TEntry e = MakeEntry(Permuted(k, Sizes.Records));
            int64_t tag = 0;
            if (!FindEntry(find, e, tag)) continue;
            BindText(s, 1, MovedFolder(e.FolderName));
            sqlite3_bind_int64(s, 2, tag);
            Step(s);
            count += sqlite3_changes(Db);
            sum += tag;
        }
    }

    void DeleteReinsert(int64_t& count, int64_t& sum) override {
        sqlite3_stmt* find = Prepare(FindText());
        sqlite3_stmt* del = Prepare("DELETE FROM Bench_CAT WHERE Tag = ?1");
        for (int64_t k = Sizes.Updates; k < Sizes.Updates + Sizes.Reinserts; ++k) {
            TEntry e = MakeEntry(Permuted(k, Sizes.Records));
            int64_t tag = 0;
            if (!FindEntry(find, e, tag)) continue;
            sum += tag;
            sqlite3_bind_int64(del, 1, tag);
            Step(del);
            count += sqlite3_changes(Db);
            InsertOne(e);
            ++count;
        }
    }

    void CountAll(int64_t& count, int64_t&) override {
        sqlite3_stmt* s = Prepare("SELECT COUNT(*) FROM Bench_CAT");
        if (sqlite3_step(s) == SQLITE_ROW) count = sqlite3_column_int64(s, 0);
        sqlite3_reset(s);
    }

private:
    sqlite3* Open(const std::string& path) {
        sqlite3* db = nullptr;
        if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) throw std::runtime_error("cannot open " + path);
        if (BufferMb > 0) {
            std::string pragma = "PRAGMA cache_size=-" + std::to_string(BufferMb * 1024);
            sqlite3_exec(db, pragma.c_str(), nullptr, nullptr, nullptr);
        }
        return db;
    }

    void CreateSchema() {
        Exec(
            "CREATE TABLE Bench_CAT(FileName TEXT NOT NULL COLLATE NOCASE, VolumeLabel TEXT COLLATE NOCASE, "
            "FolderName TEXT COLLATE NOCASE, ArchiveID TEXT COLLATE NOCASE, FileSize INTEGER, "
            "DateModified INTEGER, TimeModified INTEGER, Attribute INTEGER, CategoryCode TEXT, Comment TEXT, "
            "Tag INTEGER PRIMARY KEY AUTOINCREMENT)");
        Exec("CREATE UNIQUE INDEX Bench_CAT_Key ON Bench_CAT(FileName, VolumeLabel, FolderName, ArchiveID)");
        Exec("CREATE INDEX ByVolumeLabel ON Bench_CAT(VolumeLabel, FileName, FolderName, ArchiveID)");
    }

    void InsertAll(int64_t& count, int64_t& sum) {
        for (int64_t i = 0; i < Sizes.Records; ++i) {
            InsertOne(MakeEntry(i));
            ++count;
            sum += sqlite3_last_insert_rowid(Db);
        }
    }

    void InsertOne(const TEntry& e) {
        sqlite3_stmt* s = Prepare(
            "INSERT INTO Bench_CAT(FileName, VolumeLabel, FolderName, ArchiveID, FileSize, DateModified, "
            "TimeModified, Attribute, CategoryCode, Comment) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, "
            "?10)");
        BindKey(s, e, 1);
        sqlite3_bind_int64(s, 5, e.FileSize);
        sqlite3_bind_int(s, 6, e.DateModified);
        sqlite3_bind_int(s, 7, e.TimeModified);
        sqlite3_bind_int(s, 8, e.Attribute);
        BindText(s, 9, e.CategoryCode);
        if (e.Comment.empty())
            sqlite3_bind_null(s, 10);
        else
            BindText(s, 10, e.Comment);
        Step(s);
    }

    static std::string FindText() {
        return "SELECT Tag FROM Bench_CAT WHERE FileName = ?1 AND VolumeLabel = ?2 AND FolderName = ?3 AND "
               "ArchiveID = ?4";
    }
    static std::string WalkText(const TFilterCase& f) {
        return "SELECT " + AllColumns + " FROM Bench_CAT WHERE " + f.SqlWhere +
               " ORDER BY FileName, VolumeLabel, FolderName, ArchiveID";
    }

    bool FindEntry(sqlite3_stmt* find, const TEntry& e, int64_t& tag) {
        BindKey(find, e, 1);
        bool found = sqlite3_step(find) == SQLITE_ROW;
        if (found) tag = sqlite3_column_int64(find, 0);
        sqlite3_reset(find);
        return found;
    }

    void BindKey(sqlite3_stmt* s, const TEntry& e, int first) {
        BindText(s, first, e.FileName);
        BindText(s, first + 1, e.VolumeLabel);
        BindText(s, first + 2, e.FolderName);
        BindText(s, first + 3, e.ArchiveId);
    }
    static void BindText(sqlite3_stmt* s, int n, const std::string& text) {
        sqlite3_bind_text(s, n, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    }

    void Drain(sqlite3_stmt* s, int64_t& count, int64_t& sum) {
        int rc;
        while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
            ++count;
            sum += sqlite3_column_int64(s, 0);
        }
        if (rc != SQLITE_DONE) Fail(sqlite3_sql(s));
        sqlite3_reset(s);
    }

    void Step(sqlite3_stmt* s) {
        int rc = sqlite3_step(s);
        if (rc != SQLITE_DONE && rc != SQLITE_ROW) Fail(sqlite3_sql(s));
        sqlite3_reset(s);
    }

    sqlite3_stmt* Prepare(const std::string& text) {
        auto& statement = Statements[text];
        if (statement == nullptr &&
            sqlite3_prepare_v2(Db, text.c_str(), -1, &statement, nullptr) != SQLITE_OK)
            Fail(text);
        return statement;
    }

    void Exec(const std::string& text) {
        if (sqlite3_exec(Db, text.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) Fail(text);
    }

    [[noreturn]] void Fail(const std::string& what) {
        throw std::runtime_error("sqlite: " + what + ": " + sqlite3_errmsg(Db));
    }

    int64_t BufferMb;
    sqlite3* Db = nullptr;
    sqlite3_stmt* FilterStatement = nullptr;
    std::map<std::string, sqlite3_stmt*> Statements;
};

// ---- Driver ----

// Runs one side in a child process; its result lines come back through a pipe.
std::vector<TResult> RunChild(const std::string& engine, const TOptions& o, const TSizes& s) {
    std::vector<TResult> results;
    for (const std::string& line : RunInChild(engine, o.Folder, [&](const std::string&folder, FILE*out) {
             std::unique_ptr<TSide> side;
             if (engine == "engine")
                 side = std::make_unique<TEngineSide>(folder, o.BufferMb);
             else
                 side = std::make_unique<TSqliteSide>(folder, o.BufferMb);
             side->Sizes = s;
             RunSide(*side, s, out);
         })) {
        char name[128];
        TResult r;
        if (std::sscanf(line.c_str(), "%127s %" SCNd64 " %" SCNd64 " %lf %" SCNd64 " %lf %" SCNd64, name,
                        &r.Count, &r.Checksum, &r.Seconds, &r.Ops, &r.BytesPerRecord, &r.PeakKb) != 7)
            break;
        r.Workload = name;
        results.push_back(r);
    }
    return results;
}

bool ParseOptions(int argc, char** argv, TOptions& o) {
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto next = [&]() -> std::string { return i + 1 < argc ? argv[++i] : ""; };
        if (a == "--records")
            o.Records = std::atoll(next().c_str());
        else if (a == "--lookups")
            o.Lookups = std::atoll(next().c_str());
        else if (a == "--buffers")
            o.BufferMb = std::atoll(next().c_str());
        else if (a == "--csv")
            o.Csv = next();
        else if (a == "--folder")
            o.Folder = next();
        else if (a == "--smoke") {
            o.Smoke = true;
            o.Records = 1000;
            o.Lookups = 2000;
        } else {
            std::fprintf(stderr,
                         "usage: %s [--records N] [--lookups L] [--buffers MB] [--csv FILE] [--folder DIR] "
                         "[--smoke]\n",
                         argv[0]);
            return false;
        }
    }
    return o.Records > 0 && o.Records <= 10000000 && o.Lookups >= 0 && o.BufferMb >= 0;
}

double PerSecond(const TResult& r) {
    int64_t ops = r.Ops > 0 ? r.Ops : r.Count;
    return r.Seconds > 0 ? static_cast<double>(ops) / r.Seconds : 0;
}

}  // namespace

int main(int argc, char** argv) {
    TOptions o;
    if (!ParseOptions(argc, argv, o)) return 2;
    TSizes s = SizesFor(o);
    std::vector<TResult> engine, sqlite;
    try {
        engine = RunChild("engine", o, s);
        sqlite = RunChild("sqlite", o, s);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "engine_vs_sqlite: %s\n", e.what());
        return 2;
    }
    if (engine.size() != sqlite.size() || engine.empty()) {
        std::fprintf(stderr, "engine_vs_sqlite: the runs report %zu and %zu workloads\n", engine.size(),
                     sqlite.size());
        return 2;
    }

    const std::string buffers = o.BufferMb > 0 ? std::to_string(o.BufferMb) + "MB" : "default";
    FILE* csv = stdout;
    bool newFile = true;
    if (!o.Csv.empty()) {
        newFile = !std::filesystem::exists(o.Csv) || std::filesystem::file_size(o.Csv) == 0;
        csv = std::fopen(o.Csv.c_str(), "a");
        if (csv == nullptr) {
            std::fprintf(stderr, "engine_vs_sqlite: cannot write %s\n", o.Csv.c_str());
            return 2;
        }
    }
    if (newFile)
        std::fprintf(csv,
                     "workload,engine,records,buffers,count,seconds,ops_per_s,bytes_per_record,peak_rss_kb,"
                     "ratio\n");
    bool agree = true;
    std::ostringstream table;
    char line[256];
    std::snprintf(line, sizeof line, "%-26s %9s %10s %10s %7s %12s %12s\n", "workload", "count", "engine s",
                  "sqlite s", "ratio", "engine op/s", "sqlite op/s");
    table << line;
    for (size_t i = 0; i < engine.size(); ++i) {
        const TResult& e = engine[i];
        const TResult& q = sqlite[i];
        double ratio = q.Seconds > 0 ? e.Seconds / q.Seconds : 0;
        for (const TResult* r : {&e, &q})
            std::fprintf(csv, "%s,%s,%" PRId64 ",%s,%" PRId64 ",%.6f,%.1f,%.1f,%" PRId64 ",%.3f\n",
                         r->Workload.c_str(), r == &e ? "engine" : "sqlite", o.Records, buffers.c_str(),
                         r->Count, r->Seconds, PerSecond(*r), r->BytesPerRecord, r->PeakKb, ratio);
        bool same = e.Workload == q.Workload && e.Count == q.Count && e.Checksum == q.Checksum;
        if (!same) {
            agree = false;
            std::fprintf(stderr,
                         "MISMATCH %s: engine %" PRId64 " rows (sum %" PRId64 "), sqlite %" PRId64
                         " rows (sum %" PRId64 ")\n",
                         e.Workload.c_str(), e.Count, e.Checksum, q.Count, q.Checksum);
        }
        std::snprintf(line, sizeof line, "%-26s %9" PRId64 " %10.4f %10.4f %7.2f %12.0f %12.0f%s\n",
                      e.Workload.c_str(), e.Count, e.Seconds, q.Seconds, ratio, PerSecond(e), PerSecond(q),
                      same ? "" : "  MISMATCH");
        table << line;
    }
    if (csv != stdout) std::fclose(csv);
    std::printf("\nN = %" PRId64 ", buffers %s, memo comments %s\n%s", o.Records, buffers.c_str(),
                KORVANE_BENCH_MEMO ? "on" : "off", table.str().c_str());
    std::printf("%s\n", agree ? "both engines agree on every workload" : "THE ENGINES DISAGREE");
    return agree ? 0 : 1;
}
