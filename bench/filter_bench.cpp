// A filter of one equality on a table of catalog-shaped records: answered from an index on the
// field, and by testing every record where the same values sit in a field without an index.
// Prints the time of each and the records the filter read, beside SQLite counting the same rows
// with and without an index.
//
//   filter_bench [record count, default 100000] [runs, default 20]
#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "dbengine/cursor/DataCursor.h"
#include "dbengine/session/DataDirectory.h"
#include "dbengine/session/DataSession.h"
#include "dbengine/session/DataTable.h"
#include "dbengine/session/Engine.h"
#include "dbengine/util/Coding.h"

namespace {

using namespace dbengine;
using Clock = std::chrono::steady_clock;

constexpr int32_t Disks = 1000;  // each disk number is held by count / 1000 records

TFieldDescriptor MakeField(int16_t no, const char* name, uint8_t type, uint8_t size = 0) {
    TFieldDescriptor d;
    d.FieldNo = no;
    d.Name = name;
    d.FieldType = type;
    d.Size = size;
    return d;
}

struct TResult {
    double Milliseconds = 0;
    int32_t Matches = 0;
    int64_t Reads = 0;
};

// Mean time of runs activations of the filter (added, activated, counted, dropped).
TResult TimeFilter(TDataCursor& cursor, const std::string& text, int runs) {
    TResult r;
    auto start = Clock::now();
    for (int i = 0; i < runs; ++i) {
        cursor.ResetFilterRecordReads();
        TFilter* f =
            cursor.AddFilter(nullptr, text, nullptr, false, nullptr, false, true, true, false, false);
        cursor.ActivateFilter(f);
        r.Matches = cursor.GetRecordCount();
        r.Reads = cursor.GetFilterRecordReads();
        cursor.DropFilter(f);
    }
    r.Milliseconds = std::chrono::duration<double, std::milli>(Clock::now() - start).count() / runs;
    return r;
}

double TimeSqlite(sqlite3* db, const char* sql, int runs, int32_t& matches) {
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
    auto start = Clock::now();
    for (int i = 0; i < runs; ++i) {
        sqlite3_reset(stmt);
        if (sqlite3_step(stmt) == SQLITE_ROW) matches = sqlite3_column_int(stmt, 0);
    }
    double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count() / runs;
    sqlite3_finalize(stmt);
    return ms;
}

}  // namespace

int main(int argc, char** argv) {
    const int32_t count = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 20;
    char folderTemplate[] = "/tmp/korvane-filter-bench-XXXXXX";
    if (mkdtemp(folderTemplate) == nullptr) return 1;
    const std::string folder = folderTemplate;
    // The default drive map has C: at "/".
    std::string winFolder = "C:" + folder + "/";
    for (char& c : winFolder)
        if (c == '/') c = '\\';

    InitializeEngine();
    TResult indexed, scanned;
    {
        TDataDirectory* database = GetEngineSession()->OpenDataDirectory(winFolder, winFolder, false);
        TTableDefinition def;
        def.Fields = {MakeField(1, "Id", fldInteger), MakeField(2, "Disk", fldInteger),
                      MakeField(3, "DiskCopy", fldInteger), MakeField(4, "FileName", fldString, 40)};
        def.PrimaryIndex.FieldNumbers[0] = 1;
        def.PrimaryIndex.Unique = 1;
        TIndexDescriptor byDisk;
        byDisk.Name = "ByDisk";
        byDisk.FieldNumbers[0] = 2;
        def.SecondaryIndexes = {byDisk};
        {
            TDataCursor creator(database);
            creator.SetTableName("CATALOG");
            creator.SetExclusive(true);
            creator.CreateTable(def, false, true);
        }
        TDataCursor writer(database);
        writer.SetTableName("CATALOG");
        writer.SetExclusive(true);
        writer.OpenCursor();
        std::vector<uint8_t> b(writer.GetRecordSize());
        auto start = Clock::now();
        for (int32_t i = 1; i <= count; ++i) {
            writer.ClearRecordBuffer(b.data());
            uint8_t v[64] = {};
            PutInt32(v, i);
            writer.PutField(1, b.data(), v, false, false);
            PutInt32(v, i % Disks);
            writer.PutField(2, b.data(), v, false, false);
            writer.PutField(3, b.data(), v, false, false);
            std::snprintf(reinterpret_cast<char*>(v), sizeof v, "FILE%07d.DAT", i);
            writer.PutField(4, b.data(), v, false, false);
            writer.InsertRecord(b.data(), false);
        }
        std::printf("records %d written in %.2f s\n", count,
                    std::chrono::duration<double>(Clock::now() - start).count());
        writer.CloseCursor(false);

        TDataCursor reader(database);
        reader.SetTableName("CATALOG");
        reader.OpenCursor();
        reader.SetIndexNumber(NaturalOrderIndex);
        const std::string disk = std::to_string(123 % Disks);
        indexed = TimeFilter(reader, "Disk = " + disk, runs);
        scanned = TimeFilter(reader, "DiskCopy = " + disk, runs);
        reader.CloseCursor(false);
    }
    FinalizeEngine();

    // SQLite over the same rows, in memory.
    sqlite3* db = nullptr;
    sqlite3_open(":memory:", &db);
    sqlite3_exec(db,
                 "CREATE TABLE catalog(id INTEGER PRIMARY KEY, disk INTEGER, diskcopy INTEGER, name TEXT)",
                 nullptr, nullptr, nullptr);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO catalog VALUES (?, ?, ?, ?)", -1, &insert, nullptr);
    for (int32_t i = 1; i <= count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "FILE%07d.DAT", i);
        sqlite3_bind_int(insert, 1, i);
        sqlite3_bind_int(insert, 2, i % Disks);
        sqlite3_bind_int(insert, 3, i % Disks);
        sqlite3_bind_text(insert, 4, name, -1, SQLITE_TRANSIENT);
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_exec(db, "CREATE INDEX bydisk ON catalog(disk)", nullptr, nullptr, nullptr);
    int32_t sqlIndexedMatches = 0, sqlScannedMatches = 0;
    double sqlIndexed =
        TimeSqlite(db, "SELECT count(*) FROM catalog WHERE disk = 123", runs, sqlIndexedMatches);
    double sqlScanned =
        TimeSqlite(db, "SELECT count(*) FROM catalog WHERE diskcopy = 123", runs, sqlScannedMatches);
    sqlite3_close(db);

    std::printf("engine, indexed equality : %9.3f ms, %d matches, %lld records read\n", indexed.Milliseconds,
                indexed.Matches, static_cast<long long>(indexed.Reads));
    std::printf("engine, full scan        : %9.3f ms, %d matches, %lld records read\n", scanned.Milliseconds,
                scanned.Matches, static_cast<long long>(scanned.Reads));
    std::printf("engine, scan / index     : %9.1f x\n",
                indexed.Milliseconds > 0 ? scanned.Milliseconds / indexed.Milliseconds : 0.0);
    std::printf("sqlite, indexed equality : %9.3f ms, %d matches\n", sqlIndexed, sqlIndexedMatches);
    std::printf("sqlite, full scan        : %9.3f ms, %d matches\n", sqlScanned, sqlScannedMatches);
    std::printf("index path engine / sqlite: %8.1f x\n",
                sqlIndexed > 0 ? indexed.Milliseconds / sqlIndexed : 0.0);
    std::filesystem::remove_all(folder);
    return indexed.Matches == scanned.Matches && indexed.Reads == 0 ? 0 : 1;
}
