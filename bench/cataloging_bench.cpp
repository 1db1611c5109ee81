// A whole cataloguing run beside its peer on the same generated tree: CatalogDisk reads the tree
// (mapped as drive D:) into a fresh catalog, with the temporary table New kept in memory and then
// on disk; the peer is a bare find(1) walk of the tree plus a SQLite bulk insert of the same rows
// (same columns, the same unique case-insensitive key) in one transaction.
//
//   cataloging_bench [--files N] [--folders F] [--folder DIR] [--runs R]
//   cataloging_bench --smoke      (1,000 files in 10 folders: both sides must hold every file)
//
// Prints each side's best time of R runs and the ratio (target: at most 2). Exit status 0 when
// both sides hold the same number of entries, 1 when they do not, 2 on an error.
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "catalog/CatalogStore.h"
#include "catalog/Globals.h"
#include "catalog/ProgramTables.h"
#include "cataloging/run/CatalogProgressForm.h"
#include "dbsql/components/DbSession.h"
#include "dbsql/components/DbTable.h"
#include "framework/data/Fields.h"
#include "framework/ui/Forms.h"
#include "platform/Paths.h"

namespace {

using Clock = std::chrono::steady_clock;

struct TOptions {
    int64_t Files = 100000;
    int64_t Folders = 1000;
    int Runs = 3;
    std::string Folder = "/tmp";
    bool Smoke = false;
};

double Seconds(Clock::time_point Start) {
    return std::chrono::duration<double>(Clock::now() - Start).count();
}

// The tree: folders D0000.. each with its share of files F000000.TXT.. of 0 to 99 bytes.
void MakeTree(const std::string& Root, const TOptions& O) {
    const std::string content(100, 'x');
    for (int64_t i = 0; i < O.Files; ++i) {
        char folder[32], name[32];
        std::snprintf(folder, sizeof folder, "D%04lld", static_cast<long long>(i % O.Folders));
        std::snprintf(name, sizeof name, "F%06lld.TXT", static_cast<long long>(i));
        const std::string dir = Root + "/" + folder;
        if (i < O.Folders) std::filesystem::create_directories(dir);
        std::ofstream(dir + "/" + name, std::ios::binary).write(content.data(), i % 100);
    }
}

// ---- Korvane ----

void MakeCatalog(const std::string& Work) {
    for (const auto& e : std::filesystem::directory_iterator(Work)) std::filesystem::remove_all(e.path());
    dbsql::DefaultSession().SetActive(false);
    dbsql::TDbTable table(nullptr);
    table.SetDatabaseName("P:\\");
    table.SetTableName("CatalogConfigs");
    catalog::DefineTable(table, catalog::CatalogConfigsSchema());
    table.CreateTable();
    catalog::CurrentCatalogName = "Bench";
    catalog::TCatalogStore store;
    store.CreateCatalogConfig(false, {30, 60, 20});
    store.OpenCatalog(true);
    table.Open();
    if (!table.FindKey({framework::Variant(std::string("Bench"))})) throw std::runtime_error("no catalog record");
    table.Edit();
    table.FieldByName("WarnIfExists")->SetAsString("False");
    table.Post();
}

int64_t CatalogEntries() {
    dbsql::TDbTable table(nullptr);
    table.SetDatabaseName("P:\\");
    table.SetTableName("Bench_CAT");
    table.Open();
    return table.RecordCount();
}

// One run into a fresh catalog; the seconds of CatalogDisk.
double KorvaneRun(const std::string& Work, bool InMemory, int64_t* Entries) {
    MakeCatalog(Work);
    auto* form = framework::TCustomForm::Create<cataloging::TCatalogProgressForm>(framework::Application);
    form->Spec.DriveLetter = 'D';
    form->Spec.StartFolder = "D:\\";
    form->Spec.Recurse = true;
    form->Spec.KeepInMemory = InMemory;
    form->Show();
    catalog::StopRequested = false;
    const auto start = Clock::now();
    const bool done = form->CatalogDisk();
    const double seconds = Seconds(start);
    form->Free();
    if (!done) throw std::runtime_error("the cataloguing run stopped");
    *Entries = CatalogEntries();
    return seconds;
}

// ---- The peer ----

void Check(int rc, sqlite3* Db, const char* What) {
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW)
        throw std::runtime_error(std::string(What) + ": " + sqlite3_errmsg(Db));
}

double PeerRun(const std::string& Tree, const std::string& Work, int64_t* Entries) {
    const std::string file = Work + "/peer.db";
    std::filesystem::remove(file);
    const auto start = Clock::now();
    sqlite3* db = nullptr;
    Check(sqlite3_open(file.c_str(), &db), db, "open");
    Check(sqlite3_exec(db,
                       "CREATE TABLE cat (FileName TEXT COLLATE NOCASE, VolumeLabel TEXT COLLATE NOCASE, "
                       "FolderName TEXT COLLATE NOCASE, ArchiveID TEXT COLLATE NOCASE, FileSize INTEGER, "
                       "DateModified REAL, Attribute INTEGER, CategoryCode TEXT, Comment TEXT, "
                       "Tag INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "UNIQUE (FileName, VolumeLabel, FolderName, ArchiveID))",
                       nullptr, nullptr, nullptr),
          db, "create");
    Check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db, "begin");
    sqlite3_stmt* insert = nullptr;
    Check(sqlite3_prepare_v2(db,
                             "INSERT INTO cat (FileName, VolumeLabel, FolderName, ArchiveID, FileSize, "
                             "DateModified, Attribute) VALUES (?, 'BENCH', ?, '', ?, ?, 32)",
                             -1, &insert, nullptr),
          db, "prepare");
    const std::string command = "find '" + Tree + "' -type f -printf '%h\\t%f\\t%s\\t%T@\\n'";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) throw std::runtime_error("find");
    char line[4096];
    *Entries = 0;
    while (std::fgets(line, sizeof line, pipe)) {
        std::string row(line);
        if (!row.empty() && row.back() == '\n') row.pop_back();
        const size_t a = row.find('\t'), b = row.find('\t', a + 1), c = row.find('\t', b + 1);
        if (c == std::string::npos) continue;
        std::string folder = row.substr(Tree.size(), a - Tree.size());
        std::replace(folder.begin(), folder.end(), '/', '\\');
        sqlite3_bind_text(insert, 1, row.c_str() + a + 1, int(b - a - 1), SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 2, folder.c_str(), int(folder.size()), SQLITE_TRANSIENT);
        sqlite3_bind_int64(insert, 3, std::atoll(row.c_str() + b + 1));
        sqlite3_bind_double(insert, 4, std::atof(row.c_str() + c + 1));
        Check(sqlite3_step(insert), db, "insert");
        sqlite3_reset(insert);
        ++*Entries;
    }
    pclose(pipe);
    sqlite3_finalize(insert);
    Check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db, "commit");
    sqlite3_close(db);
    return Seconds(start);
}

TOptions Parse(int argc, char** argv) {
    TOptions o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const auto value = [&] {
            if (i + 1 >= argc) throw std::runtime_error("missing value after " + a);
            return std::string(argv[++i]);
        };
        if (a == "--files")
            o.Files = std::max<int64_t>(1, std::atoll(value().c_str()));
        else if (a == "--folders")
            o.Folders = std::max<int64_t>(1, std::atoll(value().c_str()));
        else if (a == "--runs")
            o.Runs = std::max(1, std::atoi(value().c_str()));
        else if (a == "--folder")
            o.Folder = value();
        else if (a == "--smoke")
            o.Smoke = true;
        else
            throw std::runtime_error("usage: cataloging_bench [--files N] [--folders F] [--runs R] [--folder DIR] "
                                     "[--smoke]");
    }
    if (o.Smoke) {
        o.Files = 1000;
        o.Folders = 10;
        o.Runs = 1;
    }
    o.Folders = std::min(o.Folders, o.Files);
    return o;
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    std::string base;
    int status = 0;
    try {
        const TOptions o = Parse(argc, argv);
        std::string pattern = o.Folder + "/cataloging_bench.XXXXXX";
        if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a work folder in " + o.Folder);
        base = pattern;
        const std::string tree = base + "/tree", work = base + "/work";
        std::filesystem::create_directories(tree);
        std::filesystem::create_directories(work);
        auto start = Clock::now();
        MakeTree(tree, o);
        std::printf("tree: %lld files in %lld folders, made in %.2f s\n", static_cast<long long>(o.Files),
                    static_cast<long long>(o.Folders), Seconds(start));
        setenv("KORVANE_DRIVES", ("D=" + tree + "|label=BENCH|serial=1A2B3C4D;P=" + work).c_str(), 1);
        platform::ReloadDriveMap();
        catalog::ProgramFolder = "P:\\";
        catalog::CatalogDataFolder = "P:\\";

        double peer = 1e30, inMemory = 1e30, onDisk = 1e30;
        int64_t peerEntries = 0, memoryEntries = 0, diskEntries = 0;
        for (int r = 0; r < o.Runs; ++r) {
            peer = std::min(peer, PeerRun(tree, work, &peerEntries));
            inMemory = std::min(inMemory, KorvaneRun(work, true, &memoryEntries));
            onDisk = std::min(onDisk, KorvaneRun(work, false, &diskEntries));
        }
        std::printf("%-34s %10s %10s %8s\n", "side", "entries", "seconds", "ratio");
        std::printf("%-34s %10lld %10.3f %8s\n", "find + SQLite (one transaction)", static_cast<long long>(peerEntries),
                    peer, "1.00");
        std::printf("%-34s %10lld %10.3f %8.2f\n", "CatalogDisk, New in memory", static_cast<long long>(memoryEntries),
                    inMemory, inMemory / peer);
        std::printf("%-34s %10lld %10.3f %8.2f\n", "CatalogDisk, New on disk", static_cast<long long>(diskEntries),
                    onDisk, onDisk / peer);
        std::printf("target: ratio at most 2.00\n");
        if (peerEntries != o.Files || memoryEntries != o.Files || diskEntries != o.Files) {
            std::fprintf(stderr, "entry counts differ from the %lld files\n", static_cast<long long>(o.Files));
            status = 1;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "cataloging_bench: %s\n", e.what());
        status = 2;
    }
    dbsql::DefaultSession().SetActive(false);
    if (!base.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(base, ec);
    }
    return status;
}
