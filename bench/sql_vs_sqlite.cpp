// The SQL layer beside SQLite on the catalog-shaped table: the statements the reports and the
// catalog tools run, each timed from prepare to the last row read. Both engines hold the same
// records and run in child processes of their own (so that peak resident memory belongs to one
// engine); row counts and checksums (the sum of the Tag values seen, or of the group counts and
// sums) must agree.
//
//   sql_vs_sqlite [--records N] [--csv FILE] [--folder DIR] [--only WORKLOAD]
//   sql_vs_sqlite --smoke          (N = 1,000: the agreement check of the test run)
//
// Exit status 0 when both engines agree on every workload, 1 when they do not, 2 on an error.
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "dbengine/cursor/DataCursor.h"
#include "dbengine/session/DataDirectory.h"
#include "dbengine/session/DataSession.h"
#include "dbengine/session/Engine.h"
#include "dbengine/testsupport/CatalogTable.h"
#include "dbengine/util/Coding.h"
#include "dbengine/util/EngineError.h"
#include "dbengine/util/EngineUtils.h"
#include "dbsql/sql/QueryStatement.h"

#define KORVANE_BENCH_MEMO 0
#include "bench/CatalogEntries.h"
#include "bench/ChildRuns.h"

namespace {

using namespace korvane_bench;
using Clock = std::chrono::steady_clock;

struct TOptions {
    int64_t Records = 100000;
    std::string Csv;
    std::string Folder = "/tmp";
    std::string Only;  // one workload by name, for profiling
    bool Smoke = false;
};

// The label whose rows the UPDATE renames (about EntriesPerVolume rows), the report table's tag
// count, and the LIKE texts (stems of the generated names).
struct TSizes {
    int64_t Records = 0;
    int64_t ReportTags = 0;
    std::string Label;
};

TSizes SizesFor(const TOptions& o) {
    TSizes s;
    s.Records = o.Records;
    const int64_t volumes = std::max<int64_t>(5, o.Records / 1000);
    EntriesPerVolume = std::min<int64_t>((o.Records + volumes - 1) / volumes, 100000);
    s.ReportTags = std::min<int64_t>(100000, o.Records / 10);
    s.Label = VolumeLabelOf(volumes / 2);
    return s;
}

// The report table's tags: every tenth entry's.
int64_t ReportTag(int64_t k) {
    return 10 * k + 1;
}

struct TResult {
    std::string Workload;
    int64_t Count = 0;
    int64_t Checksum = 0;
    double Seconds = 0;
    int64_t PeakKb = 0;
};

// The workloads, in each engine's dialect.
struct TWorkload {
    const char* Name;
    std::string Ours;
    std::string Theirs;
    enum { Rows, Groups, Changes } Kind;
};

std::vector<TWorkload> Workloads(const TSizes& s) {
    const std::string order = " Order By FileName ASC, DateModified DESC NOCASE";
    const std::string liteOrder = " ORDER BY FileName COLLATE NOCASE ASC, DateModified DESC";
    return {
        {"order_by", "Select * From \"Bench_CAT\"" + order, "SELECT * FROM Bench_CAT" + liteOrder,
         TWorkload::Rows},
        {"report_join", "Select * From \"R\", \"Bench_CAT\" Where (FTag = Tag)" + order,
         "SELECT * FROM R, Bench_CAT WHERE (FTag = Tag)" + liteOrder, TWorkload::Rows},
        {"group_by", "Select VolumeLabel, COUNT(*), SUM(FileSize) From \"Bench_CAT\" Group By VolumeLabel",
         "SELECT VolumeLabel, COUNT(*), SUM(FileSize) FROM Bench_CAT GROUP BY VolumeLabel",
         TWorkload::Groups},
        {"like_prefix", "Select * From \"Bench_CAT\" Where FileName LIKE 'rep%'",
         "SELECT * FROM Bench_CAT WHERE FileName LIKE 'rep%'", TWorkload::Rows},
        {"like_inner", "Select * From \"Bench_CAT\" Where FileName LIKE '%port%'",
         "SELECT * FROM Bench_CAT WHERE FileName LIKE '%port%'", TWorkload::Rows},
        {"update_label",
         "Update \"Bench_CAT\" Set VolumeLabel=\"NEWLABEL\" Where (VolumeLabel=\"" + s.Label + "\")",
         "UPDATE Bench_CAT SET VolumeLabel='NEWLABEL' WHERE (VolumeLabel='" + s.Label + "')",
         TWorkload::Changes},
    };
}

class TSide {
public:
    virtual ~TSide() = default;
    virtual void Load(const TSizes& s) = 0;
    virtual void Run(const TWorkload& w, int64_t& count, int64_t& sum) = 0;
};

// ---- This engine ----

constexpr uint16_t fnFileName = 1, fnVolumeLabel = 2, fnFolderName = 3, fnArchiveId = 4, fnFileSize = 5,
                   fnDate = 6, fnTime = 7, fnAttribute = 8, fnCategory = 9;

class TEngineSide : public TSide {
public:
    TEngineSide() {
        dbengine::InitializeEngine();
        Database = dbengine::GetEngineSession()->OpenDataDirectory("B:\\", "B:\\", false);
    }
    ~TEngineSide() override { dbengine::FinalizeEngine(); }

    void Load(const TSizes& s) override {
        dbengine::TDataCursor c(Database);
        c.SetTableName("Bench_CAT");
        c.SetExclusive(true);
        c.CreateTable(dbengine::testsupport::CatalogEntries(64, 96, 32), true, true);
        c.OpenCursor();
        std::vector<uint8_t> buffer(c.GetRecordSize(), 0);
        for (int64_t i = 0; i < s.Records; ++i) {
            const TEntry e = MakeEntry(i);
            c.ClearRecordBuffer(buffer.data());
            PutText(c, buffer.data(), fnFileName, e.FileName);
            PutText(c, buffer.data(), fnVolumeLabel, e.VolumeLabel);
            PutText(c, buffer.data(), fnFolderName, e.FolderName);
            PutText(c, buffer.data(), fnArchiveId, e.ArchiveId);
            dbengine::TBcd bcd;
            dbengine::CurrencyToBcd(0, bcd, e.FileSize * 10000);
            bcd.Precision = 32;
            uint8_t value[34];
            value[0] = bcd.Precision;
            value[1] = bcd.SignSpecialPlaces;
            std::memcpy(value + 2, bcd.Fraction, 32);
            c.PutField(fnFileSize, buffer.data(), value, false, false);
            PutInt(c, buffer.data(), fnDate, e.DateModified);
            PutInt(c, buffer.data(), fnTime, e.TimeModified);
            PutInt(c, buffer.data(), fnAttribute, e.Attribute);
            PutText(c, buffer.data(), fnCategory, e.CategoryCode);
            c.InsertRecord(buffer.data(), false);
        }
        c.CloseCursor(false);
        Statement("Create Table \"R\" (FTag Integer)");
        dbengine::TDataCursor r(Database);
        r.SetTableName("R");
        r.OpenCursor();
        std::vector<uint8_t> row(r.GetRecordSize(), 0);
        for (int64_t k = 0; k < s.ReportTags; ++k) {
            r.ClearRecordBuffer(row.data());
            PutInt(r, row.data(), 1, static_cast<int32_t>(ReportTag(k)));
            r.InsertRecord(row.data(), false);
        }
        r.CloseCursor(false);
    }

    void Run(const TWorkload& w, int64_t& count, int64_t& sum) override {
        dbsql::TQueryStatement statement(Database);
        statement.PrepareSQL(w.Ours);
        dbengine::TDataCursor* result = statement.ExecuteSQL();
        if (w.Kind == TWorkload::Changes) {
            count = statement.RowsAffected;
            sum = count;
            return;
        }
        if (result == nullptr) throw std::runtime_error("no result: " + w.Ours);
        std::vector<uint8_t> record(result->GetRecordSize() + 1u);
        const uint16_t tag = FieldNumber(*result, "Tag");
        result->SetToBegin();
        while (result->GetNextRecord(record.data()) == 0) {
            ++count;
            if (w.Kind == TWorkload::Rows) {
                sum += Integer(*result, tag, record.data());
            } else {
                sum += Integer(*result, 2, record.data());
                sum += Currency(*result, 3, record.data());
            }
        }
    }

private:
    void Statement(const std::string& sql) {
        dbsql::TQueryStatement statement(Database);
        statement.PrepareSQL(sql);
        statement.ExecuteSQL();
    }
    static void PutText(dbengine::TDataCursor& c, uint8_t* buffer, uint16_t field, const std::string& text) {
        uint8_t value[256] = {};
        std::memcpy(value, text.data(), std::min<size_t>(text.size(), 255));
        c.PutField(field, buffer, value, false, false);
    }
    static void PutInt(dbengine::TDataCursor& c, uint8_t* buffer, uint16_t field, int32_t n) {
        uint8_t value[4];
        dbengine::PutInt32(value, n);
        c.PutField(field, buffer, value, false, false);
    }
    static uint16_t FieldNumber(dbengine::TDataCursor& c, const std::string& name) {
        for (uint16_t f = 1; f <= c.GetFieldCount(); ++f) {
            dbengine::TFieldDescriptor d;
            c.GetFieldDesc(f, d);
            if (d.Name == name) return f;
        }
        return 0;
    }
    static int64_t Integer(dbengine::TDataCursor& c, uint16_t field, const uint8_t* record) {
        if (field == 0) return 0;
        uint8_t value[8] = {};
        bool blank = false;
        c.GetField(field, record, value, blank);
        if (blank) return 0;
        dbengine::TFieldDescriptor d;
        c.GetFieldDesc(field, d);
        return d.FieldType == dbengine::fldLargeInt ? static_cast<int64_t>(dbengine::GetUInt64(value))
                                                    : dbengine::GetInt32(value);
    }
    // A currency or BCD sum in whole units.
    static int64_t Currency(dbengine::TDataCursor& c, uint16_t field, const uint8_t* record) {
        uint8_t value[64] = {};
        bool blank = false;
        c.GetField(field, record, value, blank);
        if (blank) return 0;
        dbengine::TFieldDescriptor d;
        c.GetFieldDesc(field, d);
        if (d.FieldType == dbengine::fldFloat)
            return static_cast<int64_t>(std::llround(dbengine::GetDouble(value)));
        if (d.FieldType != dbengine::fldBCD) return Integer(c, field, record);
        dbengine::TBcd bcd{};
        bcd.Precision = value[0];
        bcd.SignSpecialPlaces = value[1];
        std::memcpy(bcd.Fraction, value + 2, 32);
        return dbengine::BcdToCurrency(bcd) / 10000;
    }

    dbengine::TDataDirectory* Database = nullptr;
};

// ---- SQLite ----

class TSqliteSide : public TSide {
public:
    explicit TSqliteSide(const std::string& folder) {
        if (sqlite3_open((folder + "/bench.db").c_str(), &Db) != SQLITE_OK)
            throw std::runtime_error("sqlite open");
        Exec("PRAGMA synchronous=OFF");
    }
    ~TSqliteSide() override { sqlite3_close(Db); }

    void Load(const TSizes& s) override {
        Exec(
            "CREATE TABLE Bench_CAT(FileName TEXT NOT NULL COLLATE NOCASE, VolumeLabel TEXT COLLATE NOCASE, "
            "FolderName TEXT COLLATE NOCASE, ArchiveID TEXT COLLATE NOCASE, FileSize INTEGER, DateModified "
            "INTEGER, TimeModified INTEGER, Attribute INTEGER, CategoryCode TEXT, Comment TEXT, Tag INTEGER "
            "PRIMARY KEY AUTOINCREMENT)");
        Exec("CREATE UNIQUE INDEX Bench_CAT_Key ON Bench_CAT(FileName, VolumeLabel, FolderName, ArchiveID)");
        Exec("CREATE INDEX ByVolumeLabel ON Bench_CAT(VolumeLabel, FileName, FolderName, ArchiveID)");
        Exec("CREATE TABLE R(FTag INTEGER)");
        Exec("BEGIN");
        sqlite3_stmt* insert = Prepare(
            "INSERT INTO Bench_CAT(FileName, VolumeLabel, FolderName, ArchiveID, FileSize, DateModified, "
            "TimeModified, Attribute, CategoryCode) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)");
        for (int64_t i = 0; i < s.Records; ++i) {
            const TEntry e = MakeEntry(i);
            BindText(insert, 1, e.FileName);
            BindText(insert, 2, e.VolumeLabel);
            BindText(insert, 3, e.FolderName);
            // Empty texts are stored as NULL by this engine.
            if (e.ArchiveId.empty())
                sqlite3_bind_null(insert, 4);
            else
                BindText(insert, 4, e.ArchiveId);
            sqlite3_bind_int64(insert, 5, e.FileSize);
            sqlite3_bind_int(insert, 6, e.DateModified);
            sqlite3_bind_int(insert, 7, e.TimeModified);
            sqlite3_bind_int(insert, 8, e.Attribute);
            if (e.CategoryCode.empty())
                sqlite3_bind_null(insert, 9);
            else
                BindText(insert, 9, e.CategoryCode);
            Step(insert);
        }
        sqlite3_finalize(insert);
        sqlite3_stmt* tag = Prepare("INSERT INTO R(FTag) VALUES(?1)");
        for (int64_t k = 0; k < s.ReportTags; ++k) {
            sqlite3_bind_int64(tag, 1, ReportTag(k));
            Step(tag);
        }
        sqlite3_finalize(tag);
        Exec("COMMIT");
    }

    void Run(const TWorkload& w, int64_t& count, int64_t& sum) override {
        sqlite3_stmt* s = Prepare(w.Theirs);
        int tagColumn = -1;
        for (int i = 0; i < sqlite3_column_count(s); ++i)
            if (std::strcmp(sqlite3_column_name(s, i), "Tag") == 0) tagColumn = i;
        int rc;
        while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
            ++count;
            if (w.Kind == TWorkload::Rows) {
                if (tagColumn >= 0) sum += sqlite3_column_int64(s, tagColumn);
            } else {
                sum += sqlite3_column_int64(s, 1) + sqlite3_column_int64(s, 2);
            }
        }
        if (rc != SQLITE_DONE) Fail(w.Theirs);
        sqlite3_finalize(s);
        if (w.Kind == TWorkload::Changes) count = sum = sqlite3_changes(Db);
    }

private:
    static void BindText(sqlite3_stmt* s, int n, const std::string& text) {
        sqlite3_bind_text(s, n, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    }
    void Step(sqlite3_stmt* s) {
        if (sqlite3_step(s) != SQLITE_DONE) Fail(sqlite3_sql(s));
        sqlite3_reset(s);
    }
    sqlite3_stmt* Prepare(const std::string& text) {
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(Db, text.c_str(), -1, &s, nullptr) != SQLITE_OK) Fail(text);
        return s;
    }
    void Exec(const std::string& text) {
        if (sqlite3_exec(Db, text.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) Fail(text);
    }
    [[noreturn]] void Fail(const std::string& what) {
        throw std::runtime_error("sqlite: " + what + ": " + sqlite3_errmsg(Db));
    }

    sqlite3* Db = nullptr;
};

// Loads the records, then times every workload; one line per workload to out.
void RunSide(TSide& side, const TSizes& s, const std::string& only, FILE* out) {
    side.Load(s);
    for (const TWorkload& w : Workloads(s)) {
        if (!only.empty() && only != w.Name) continue;
        ResetPeak();
        TResult r;
        const auto start = Clock::now();
        side.Run(w, r.Count, r.Checksum);
        r.Seconds = std::chrono::duration<double>(Clock::now() - start).count();
        std::fprintf(out, "%s %" PRId64 " %" PRId64 " %.9f %" PRId64 "\n", w.Name, r.Count, r.Checksum,
                     r.Seconds, PeakKb());
        std::fflush(out);
    }
}

std::vector<TResult> RunChild(const std::string& engine, const TOptions& o, const TSizes& s) {
    std::vector<TResult> results;
    for (const std::string& line : RunInChild(engine, o.Folder, [&](const std::string&folder, FILE*out) {
             std::unique_ptr<TSide> side;
             if (engine == "engine")
                 side = std::make_unique<TEngineSide>();
             else
                 side = std::make_unique<TSqliteSide>(folder);
             RunSide(*side, s, o.Only, out);
         })) {
        char name[128];
        TResult r;
        if (std::sscanf(line.c_str(), "%127s %" SCNd64 " %" SCNd64 " %lf %" SCNd64, name, &r.Count,
                        &r.Checksum, &r.Seconds, &r.PeakKb) != 5)
            break;
        r.Workload = name;
        results.push_back(r);
    }
    return results;
}

bool ParseOptions(int argc, char** argv, TOptions& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto next = [&]() -> std::string { return i + 1 < argc ? argv[++i] : ""; };
        if (a == "--records") {
            o.Records = std::atoll(next().c_str());
        } else if (a == "--csv") {
            o.Csv = next();
        } else if (a == "--folder") {
            o.Folder = next();
        } else if (a == "--only") {
            o.Only = next();
        } else if (a == "--smoke") {
            o.Smoke = true;
            o.Records = 1000;
        } else {
            std::fprintf(stderr,
                         "usage: %s [--records N] [--csv FILE] [--folder DIR] [--only WORKLOAD] [--smoke]\n",
                         argv[0]);
            return false;
        }
    }
    return o.Records >= 10 && o.Records <= 10000000;
}

}  // namespace

int main(int argc, char** argv) {
    TOptions o;
    if (!ParseOptions(argc, argv, o)) return 2;
    const TSizes s = SizesFor(o);
    std::vector<TResult> engine, sqlite;
    try {
        engine = RunChild("engine", o, s);
        sqlite = RunChild("sqlite", o, s);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "sql_vs_sqlite: %s\n", e.what());
        return 2;
    }
    if (engine.size() != sqlite.size() || engine.empty()) {
        std::fprintf(stderr, "sql_vs_sqlite: the runs report %zu and %zu workloads\n", engine.size(),
                     sqlite.size());
        return 2;
    }
    FILE* csv = stdout;
    bool newFile = true;
    if (!o.Csv.empty()) {
        newFile = !std::filesystem::exists(o.Csv) || std::filesystem::file_size(o.Csv) == 0;
        csv = std::fopen(o.Csv.c_str(), "a");
        if (csv == nullptr) {
            std::fprintf(stderr, "sql_vs_sqlite: cannot write %s\n", o.Csv.c_str());
            return 2;
        }
    }
    if (newFile) std::fprintf(csv, "workload,engine,records,count,checksum,seconds,peak_rss_kb,ratio\n");
    bool agree = true;
    std::string table = "workload        count      engine s   sqlite s   ratio\n";
    for (size_t i = 0; i < engine.size(); ++i) {
        const TResult& e = engine[i];
        const TResult& q = sqlite[i];
        const double ratio = q.Seconds > 0 ? e.Seconds / q.Seconds : 0;
        for (const TResult* r : {&e, &q})
            std::fprintf(csv, "%s,%s,%" PRId64 ",%" PRId64 ",%" PRId64 ",%.6f,%" PRId64 ",%.3f\n",
                         r->Workload.c_str(), r == &e ? "engine" : "sqlite", o.Records, r->Count, r->Checksum,
                         r->Seconds, r->PeakKb, ratio);
        const bool same = e.Workload == q.Workload && e.Count == q.Count && e.Checksum == q.Checksum;
        if (!same) {
            agree = false;
            std::fprintf(stderr,
                         "MISMATCH %s: engine %" PRId64 " rows (sum %" PRId64 "), sqlite %" PRId64
                         " rows (sum %" PRId64 ")\n",
                         e.Workload.c_str(), e.Count, e.Checksum, q.Count, q.Checksum);
        }
        char line[160];
        std::snprintf(line, sizeof line, "%-14s %8" PRId64 " %10.4f %10.4f %7.2f%s\n", e.Workload.c_str(),
                      e.Count, e.Seconds, q.Seconds, ratio, same ? "" : "  MISMATCH");
        table += line;
    }
    if (csv != stdout) std::fclose(csv);
    std::printf("\nN = %" PRId64 "\n%s%s\n", o.Records, table.c_str(),
                agree ? "both engines agree on every workload" : "THE ENGINES DISAGREE");
    return agree ? 0 : 1;
}
