// A writer process is killed at a random point in a stream of inserts (each with a memo), again
// and again. After each kill the table is verified, and repaired when verification finds damage;
// every record the writer reported as posted before it died must then be there with its memo, and
// the table must open.

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cstring>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "dbengine/blob/BlobBuffer.h"
#include "dbengine/cursor/DataCursor.h"
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
            std::vector<uint8_t> b(c.RecordSize);
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
        std::vector<uint8_t> b(c.RecordSize);
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
