// A writer process is killed at a random point in a stream of inserts (each with a memo), again
// and again. After each kill the table is verified, and repaired when verification finds damage;
// every record the writer reported as posted before it died must then be there with its memo, and
// the table must open.

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "dbengine/blob/BlobBuffer.h"
#include "dbengine/cursor/DataCursor.h"
#include "dbengine/file/FileList.h"
#include "dbengine/session/DataSession.h"
#include "dbengine/testsupport/Descriptors.h"
#include "dbengine/testsupport/TableFixture.h"
#include "dbengine/util/Coding.h"
#include "platform/Files.h"
#include "platform/testsupport/ChildProcess.h"

namespace dbengine {
namespace {

using testsupport::Field;
using testsupport::Index;

// Kills of the writer per run; the seed makes the kill points of one run repeatable as far as the
// scheduler allows.
constexpr int Kills = 30;
constexpr uint32_t Seed = 20261210;

class CrashRecoveryTest : public testsupport::TableFixture {
protected:
    void Create() {
        TTableDefinition def;
        def.Fields = {Field(1, "Name", fldString, 24), Field(2, "Serial", fldInteger),
                      Field(3, "Group", fldString, 8), Field(4, "Notes", fldBlob, 0, fldstMemo)};
        def.PrimaryIndex = Index("", {1}, true);
        def.SecondaryIndexes = {Index("BySerial", {2}, true), Index("ByGroup", {3}, false)};
        TDataCursor creator(Database);
        creator.SetTableName("C");
        creator.SetExclusive(true);
        creator.CreateTable(def, false, false);
    }

    // A memo of one to three BLOB blocks, its bytes telling its record.
    static std::string MemoOf(int round, int32_t i) {
        std::string memo;
        const std::string word = NameOf(round, i) + " ";
        while (memo.size() < static_cast<size_t>(300 + (i % 3) * 400)) memo += word;
        return memo;
    }

    static std::string NameOf(int round, int32_t i) {
        return "R" + std::to_string(round) + "-" + std::to_string(i);
    }

    // The writer: inserts records one by one through a shared cursor and, after each insert has
    // returned, reports its number through the pipe. Runs until it is killed.
    int Writer(int round, int fd) {
        try {
            TDataCursor c(Database);
            c.SetTableName("C");
            c.OpenCursor();
            std::vector<uint8_t> b(c.GetRecordSize());
            for (int32_t i = 0;; ++i) {
                c.ClearRecordBuffer(b.data());
                uint8_t v[32] = {};
                const std::string name = NameOf(round, i);
                std::memcpy(v, name.data(), name.size());
                c.PutField(1, b.data(), v, false, false);
                PutInt32(v, round * 100000 + i);
                c.PutField(2, b.data(), v, false, false);
                std::memset(v, 0, sizeof v);
                std::memcpy(v, i % 3 ? "odd" : "even", i % 3 ? 3 : 4);
                c.PutField(3, b.data(), v, false, false);
                const std::string memo = MemoOf(round, i);
                int32_t size = 0;
                if (c.OpenBlob(4, b.data(), BlobOpenWrite, false, true, size) != 0 ||
                    c.PutBlob(4, b.data(), 0, reinterpret_cast<const uint8_t*>(memo.data()),
                              static_cast<int32_t>(memo.size()), false) != 0)
                    return 3;
                c.InsertRecord(b.data(), false);
                uint8_t report[4];
                PutInt32(report, i);
                if (write(fd, report, sizeof report) != static_cast<ssize_t>(sizeof report)) return 2;
            }
        } catch (...) {
            return 1;
        }
    }

    static bool ReadReport(int fd, int32_t& i) {
        uint8_t report[4];
        size_t got = 0;
        while (got < sizeof report) {
            ssize_t n = read(fd, report + got, sizeof report - got);
            if (n <= 0) return false;
            got += static_cast<size_t>(n);
        }
        i = GetInt32(report);
        return true;
    }

    bool VerifyRepair(bool verifyOnly, std::vector<std::string>& log) {
        TDataCursor c(Database);
        c.SetTableName("C");
        c.SetExclusive(true);
        c.SetLogCallback([&](TDataCursor&, const std::string& text) { log.push_back(text); });
        return c.VerifyRepairTable(verifyOnly, false, false, true, false);
    }

    // The names of the live records, read through an ordinary open (which runs every header check).
    // badMemos receives the names whose memo does not read back as it was written.
    std::set<std::string> Names(std::set<std::string>& badMemos) {
        TDataCursor c(Database);
        c.SetTableName("C");
        c.OpenCursor();
        std::set<std::string> names;
        std::vector<uint8_t> b(c.GetRecordSize());
        c.SetToBegin();
        while (c.GetNextRecord(b.data()) == 0) {
            uint8_t v[32] = {};
            bool blank = false;
            c.GetField(1, b.data(), v, blank);
            const std::string name = reinterpret_cast<char*>(v);
            names.insert(name);
            int32_t size = 0;
            std::string memo;
            if (c.OpenBlob(4, b.data(), BlobOpenRead, false, true, size) == 0) {
                memo.resize(static_cast<size_t>(size));
                int32_t got = 0;
                c.GetBlob(4, b.data(), 0, reinterpret_cast<uint8_t*>(memo.data()), size, got, false);
                c.FreeBlob(4, b.data(), false);
            }
            const size_t dash = name.find('-');
            if (memo != MemoOf(std::stoi(name.substr(1, dash - 1)), std::stoi(name.substr(dash + 1))))
                badMemos.insert(name);
        }
        EXPECT_EQ(c.GetTableRecordCount(), static_cast<int32_t>(names.size()));
        return names;
    }
};

TEST_F(CrashRecoveryTest, EveryPostedRecordSurvivesAKilledWriter) {
    Create();
    std::mt19937 random(Seed);
    std::set<std::string> posted;
    int repaired = 0;
    for (int round = 0; round < Kills; ++round) {
        SCOPED_TRACE(round);
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        const int reports = std::uniform_int_distribution<int>(1, 6)(random);
        // A spin of random length moves the kill to a random point inside the next insert.
        const int spin = std::uniform_int_distribution<int>(0, 200000)(random);
        // Every other writer kills itself just before its n-th file write instead: a point
        // between two writes of one insert, where the files disagree most.
        const bool selfKill = round % 2 == 1;
        const int lastWrite = std::uniform_int_distribution<int>(1, 80)(random);
        {
            platform::testsupport::TChildProcess writer([&] {
                close(fds[0]);
                int writes = 0;  // lives until the child ends
                if (selfKill) {
                    platform::SetFileFaultHook([&writes, lastWrite](platform::TFileOperation op,
                                                                    const std::string&, int64_t, uint32_t) {
                        if (op == platform::TFileOperation::Write && ++writes == lastWrite)
                            kill(getpid(), SIGKILL);
                        return platform::TFileFault{};
                    });
                }
                return Writer(round, fds[1]);
            });
            close(fds[1]);
            ASSERT_TRUE(writer.Started());
            int32_t i = 0;
            if (!selfKill) {
                for (int n = 0; n < reports && ReadReport(fds[0], i); ++n) posted.insert(NameOf(round, i));
                for (int s = 0; s < spin; ++s) asm volatile("" ::: "memory");
                writer.Kill();
            }
            EXPECT_EQ(writer.Wait(), -1) << "the writer stopped before it was killed";
            // Reports written before the kill are still in the pipe.
            while (ReadReport(fds[0], i)) posted.insert(NameOf(round, i));
            close(fds[0]);
        }
        std::vector<std::string> log;
        if (!VerifyRepair(true, log)) {
            ++repaired;
            VerifyRepair(false, log);
            log.clear();
            EXPECT_TRUE(VerifyRepair(true, log)) << ::testing::PrintToString(log);
        }
        std::set<std::string> badMemos;
        const std::set<std::string> names = Names(badMemos);
        for (const std::string& name : posted) {
            EXPECT_TRUE(names.count(name) != 0) << name << " was lost";
            EXPECT_TRUE(badMemos.count(name) == 0) << name << "'s memo was damaged";
        }
    }
    RecordProperty("repaired", repaired);
}

}  // namespace
}  // namespace dbengine

namespace dbengine {
namespace {

// A writer process inserts records, changes their keys and memos, deletes them, and runs some
// of its edits in transactions (a few rolled back); it is killed at a random time or just before
// a random file write, once per seed. Each record tells its own version: Name is N<serial>v<version>
// and the memo (0 to 3,000 bytes) follows from serial and version, so a torn record shows. After
// each kill: damage that walks or counts show, verify reports; after repair every confirmed edit
// is there and every unconfirmed one is there whole or not at all.
//
// KORVANE_ENGINE_SOAK (a whole number, default 1) multiplies the number of seeds.
class KilledEditsTest : public testsupport::TableFixture {
protected:
    static int Soak() {
        const char* text = std::getenv("KORVANE_ENGINE_SOAK");
        int n = text != nullptr ? std::atoi(text) : 1;
        return n < 1 ? 1 : n;
    }

    void Create() {
        TTableDefinition def;
        def.Fields = {Field(1, "Name", fldString, 24), Field(2, "Serial", fldInteger),
                      Field(3, "Version", fldInteger), Field(4, "Notes", fldBlob, 0, fldstMemo)};
        def.PrimaryIndex = Index("", {1}, true);
        def.SecondaryIndexes = {Index("BySerial", {2}, true)};
        TDataCursor creator(Database);
        creator.SetTableName("K");
        creator.SetExclusive(true);
        creator.CreateTable(def, false, false);
    }

    static std::string NameOf(int32_t serial, int32_t version) {
        return "N" + std::to_string(serial) + "v" + std::to_string(version);
    }
    static std::string MemoOf(int32_t serial, int32_t version) {
        const size_t size =
            (static_cast<uint32_t>(serial) * 7919u + static_cast<uint32_t>(version) * 104729u) % 3001u;
        std::string memo;
        const std::string word = NameOf(serial, version) + ";";
        while (memo.size() < size) memo += word;
        memo.resize(size);
        return memo;
    }

    // The record's fields and memo for serial at version.
    static void Fill(TDataCursor& c, std::vector<uint8_t>& b, int32_t serial, int32_t version) {
        uint8_t v[32] = {};
        const std::string name = NameOf(serial, version);
        std::memcpy(v, name.data(), name.size());
        c.PutField(1, b.data(), v, false, false);
        PutInt32(v, serial);
        c.PutField(2, b.data(), v, false, false);
        PutInt32(v, version);
        c.PutField(3, b.data(), v, false, false);
        const std::string memo = MemoOf(serial, version);
        int32_t size = 0;
        if (c.OpenBlob(4, b.data(), BlobOpenWrite, false, true, size) != 0) throw std::runtime_error("open");
        if (c.TruncateBlob(4, b.data(), 0, false) != 0) throw std::runtime_error("truncate");
        if (!memo.empty() && c.PutBlob(4, b.data(), 0, reinterpret_cast<const uint8_t*>(memo.data()),
                                       static_cast<int32_t>(memo.size()), false) != 0)
            throw std::runtime_error("put");
    }

    // Reports: 'E' serial version (version -1: deleted) before an edit, 'C' once the edits
    // reported since the last 'C' or 'R' are confirmed, 'R' when they were rolled back.
    static void Report(int fd, char kind, int32_t serial = 0, int32_t version = 0) {
        uint8_t m[9];
        m[0] = static_cast<uint8_t>(kind);
        PutInt32(m + 1, serial);
        PutInt32(m + 5, version);
        if (write(fd, m, sizeof m) != static_cast<ssize_t>(sizeof m)) _exit(2);
    }

    static inline std::string Doing;
    static int Writer(int round, uint32_t seed, std::map<int32_t, int32_t> live, int fd) {
        try {
            FreeEngineFileList();
            CreateEngineFileList();
            auto* session = new TDataSession(false);
            TDataDirectory* db = session->OpenDataDirectory("D:\\", "D:\\", false);
            TDataCursor c(db);
            c.SetTableName("K");
            c.OpenCursor();
            c.SetIndexName("BySerial");
            std::mt19937 random(seed);
            std::vector<uint8_t> b(c.GetRecordSize()), key(c.GetRecordSize());
            int32_t next = round * 1000;
            for (;;) {
                const bool transaction = std::uniform_int_distribution<int>(0, 4)(random) == 0;
                const int edits = transaction ? std::uniform_int_distribution<int>(1, 3)(random) : 1;
                if (transaction) db->StartTransaction(false);
                std::map<int32_t, int32_t> after = live;
                for (int e = 0; e < edits; ++e) {
                    const int op = std::uniform_int_distribution<int>(0, 9)(random);
                    if (after.size() < 4 || op < 4) {
                        const int32_t serial = ++next;
                        Report(fd, 'E', serial, 0);
                        Doing = "insert " + std::to_string(serial) + (transaction ? " in a transaction" : "");
                        c.ClearRecordBuffer(b.data());
                        Fill(c, b, serial, 0);
                        c.InsertRecord(b.data(), false);
                        after[serial] = 0;
                        continue;
                    }
                    auto it = after.begin();
                    std::advance(it, std::uniform_int_distribution<size_t>(0, after.size() - 1)(random));
                    const int32_t serial = it->first;
                    c.ClearRecordBuffer(key.data());
                    uint8_t v[4];
                    PutInt32(v, serial);
                    c.PutField(2, key.data(), v, false, false);
                    if (!c.FindKey(false, key.data(), 1, false, 0, b.data())) return 3;
                    if (op < 8) {
                        const int32_t version = it->second + 1;
                        Report(fd, 'E', serial, version);
                        Doing = "modify " + std::to_string(serial) + (transaction ? " in a transaction" : "");
                        Fill(c, b, serial, version);
                        c.ModifyRecord(b.data(), true, false);
                        it->second = version;
                    } else {
                        Report(fd, 'E', serial, -1);
                        Doing = "delete " + std::to_string(serial) + (transaction ? " in a transaction" : "");
                        c.DeleteRecord(b.data(), false);
                        after.erase(it);
                    }
                }
                if (transaction && std::uniform_int_distribution<int>(0, 2)(random) == 0) {
                    db->Rollback(false);
                    Report(fd, 'R');
                    continue;
                }
                if (transaction) db->Commit(true, false, false);
                live = after;
                Report(fd, 'C');
            }
        } catch (const EDbEngineError& e) {
            std::fprintf(stderr, "writer: %d %s (%s)\n", static_cast<int>(e.ErrorCode), e.Message.c_str(),
                         Doing.c_str());
            return 1;
        } catch (const std::exception& e) {
            std::fprintf(stderr, "writer: %s\n", e.what());
            return 1;
        }
    }

    bool VerifyRepair(bool verifyOnly, std::vector<std::string>& log) {
        TDataCursor c(Database);
        c.SetTableName("K");
        c.SetExclusive(true);
        c.SetLogCallback([&](TDataCursor&, const std::string& text) { log.push_back(text); });
        return c.VerifyRepairTable(verifyOnly, false, false, true, false);
    }

    struct TStored {
        int32_t Version = 0;
        bool Whole = false;
    };

    // The records by serial, read in natural order; what walks in index order or counts show
    // wrong goes to shown.
    std::map<int32_t, TStored> Read(std::string& shown) {
        std::map<int32_t, TStored> out;
        try {
            TDataCursor c(Database);
            c.SetTableName("K");
            c.OpenCursor();
            std::vector<uint8_t> b(c.GetRecordSize());
            std::vector<int32_t> lengths;
            for (uint8_t order : {PrimaryIndex, uint8_t{1}, NaturalOrderIndex}) {
                c.SetIndexNumber(order);
                c.SetToBegin();
                int32_t n = 0;
                while (c.GetNextRecord(b.data()) == 0) {
                    ++n;
                    if (order != NaturalOrderIndex) continue;
                    uint8_t v[32] = {};
                    bool blank = false;
                    c.GetField(1, b.data(), v, blank);
                    const std::string name = reinterpret_cast<char*>(v);
                    c.GetField(2, b.data(), v, blank);
                    const int32_t serial = GetInt32(v);
                    c.GetField(3, b.data(), v, blank);
                    const int32_t version = GetInt32(v);
                    std::string memo;
                    int32_t size = 0;
                    if (c.OpenBlob(4, b.data(), BlobOpenRead, false, true, size) == 0) {
                        memo.resize(static_cast<size_t>(size));
                        int32_t got = 0;
                        if (size > 0)
                            c.GetBlob(4, b.data(), 0, reinterpret_cast<uint8_t*>(memo.data()), size, got,
                                      false);
                        c.FreeBlob(4, b.data(), false);
                    }
                    out[serial] = {version,
                                   name == NameOf(serial, version) && memo == MemoOf(serial, version)};
                }
                if (n != c.GetRecordCount())
                    shown = "order " + std::to_string(order) + " walks " + std::to_string(n);
                lengths.push_back(n);
            }
            for (int32_t n : lengths)
                if (n != lengths[0]) shown = "the orders walk different numbers of records";
        } catch (const EDbEngineError& e) {
            shown = "error " + std::to_string(e.ErrorCode);
        }
        return out;
    }
};

TEST_F(KilledEditsTest, ConfirmedEditsSurviveAndUnconfirmedOnesAreWholeOrGone) {
    Create();
    std::mt19937 random(Seed + 1);
    std::map<int32_t, int32_t> live;  // confirmed: serial -> version
    const int seeds = 100 * Soak();
    int repaired = 0, verifyCaught = 0;
    for (int round = 1; round <= seeds; ++round) {
        SCOPED_TRACE(round);
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        const uint32_t seed = random();
        const bool selfKill = round % 2 == 0;
        const int lastWrite = std::uniform_int_distribution<int>(1, 120)(random);
        const int reports = std::uniform_int_distribution<int>(1, 12)(random);
        const int spin = std::uniform_int_distribution<int>(0, 200000)(random);
        std::map<int32_t, int32_t> pending;  // serial -> version (-1: deleted), unconfirmed
        auto take = [&](const uint8_t* m) {
            const int32_t serial = GetInt32(m + 1), version = GetInt32(m + 5);
            if (m[0] == 'E') {
                pending[serial] = version;
            } else if (m[0] == 'C') {
                for (auto [s, v] : pending)
                    if (v < 0)
                        live.erase(s);
                    else
                        live[s] = v;
                pending.clear();
            } else if (m[0] == 'R') {
                pending.clear();
            }
        };
        auto readOne = [&](uint8_t* m) {
            size_t got = 0;
            while (got < 9) {
                ssize_t n = read(fds[0], m + got, 9 - got);
                if (n <= 0) return false;
                got += static_cast<size_t>(n);
            }
            return true;
        };
        {
            platform::testsupport::TChildProcess writer([&] {
                close(fds[0]);
                int writes = 0;
                if (selfKill)
                    platform::SetFileFaultHook([&writes, lastWrite](platform::TFileOperation op,
                                                                    const std::string&, int64_t, uint32_t) {
                        if (op == platform::TFileOperation::Write && ++writes == lastWrite)
                            kill(getpid(), SIGKILL);
                        return platform::TFileFault{};
                    });
                return Writer(round, seed, live, fds[1]);
            });
            close(fds[1]);
            ASSERT_TRUE(writer.Started());
            uint8_t m[9];
            if (!selfKill) {
                for (int n = 0; n < reports && readOne(m); ++n) take(m);
                for (int s = 0; s < spin; ++s) asm volatile("" ::: "memory");
                writer.Kill();
            }
            EXPECT_EQ(writer.Wait(), -1) << "the writer stopped before it was killed";
            while (readOne(m)) take(m);
            close(fds[0]);
        }
        std::string shown;
        Read(shown);
        std::vector<std::string> log;
        const bool clean = VerifyRepair(true, log);
        if (!shown.empty()) {
            EXPECT_FALSE(clean) << "verify missed: " << shown;
            ++verifyCaught;
        }
        if (!clean) {
            ++repaired;
            log.clear();
            VerifyRepair(false, log);
            std::vector<std::string> after;
            EXPECT_TRUE(VerifyRepair(true, after))
                << ::testing::PrintToString(after) << "\nrepair " << ::testing::PrintToString(log);
        }
        shown.clear();
        std::map<int32_t, TStored> stored = Read(shown);
        EXPECT_EQ(shown, "") << "after repair";
        for (const auto& [serial, s] : stored) {
            EXPECT_TRUE(s.Whole) << "serial " << serial << " version " << s.Version << " is torn";
            auto p = pending.find(serial);
            auto l = live.find(serial);
            const bool confirmedHere = l != live.end() && l->second == s.Version;
            const bool pendingHere = p != pending.end() && p->second == s.Version;
            EXPECT_TRUE(confirmedHere || pendingHere) << "serial " << serial << " at version " << s.Version;
        }
        for (const auto& [serial, version] : live) {
            if (stored.count(serial) != 0) continue;
            EXPECT_TRUE(pending.count(serial) != 0 && pending[serial] < 0)
                << "serial " << serial << " was lost";
        }
        // What the files now hold is the writer's next starting point.
        live.clear();
        for (const auto& [serial, s] : stored) live[serial] = s.Version;
        if (HasFailure()) break;
    }
    RecordProperty("repaired", repaired);
    RecordProperty("caught", verifyCaught);
}

}  // namespace
}  // namespace dbengine
