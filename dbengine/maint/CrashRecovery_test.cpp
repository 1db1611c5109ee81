// A writer process is killed at a random point in a stream of inserts, again and again. After
// each kill the table is verified, and repaired when verification finds damage; every record the
// writer reported as posted before it died must then be there, and the table must open.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "dbengine/cursor/DataCursor.h"
#include "dbengine/testsupport/Descriptors.h"
#include "dbengine/testsupport/TableFixture.h"
#include "dbengine/util/Coding.h"
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
                      Field(3, "Group", fldString, 8)};
        def.PrimaryIndex = Index("", {1}, true);
        def.SecondaryIndexes = {Index("BySerial", {2}, true), Index("ByGroup", {3}, false)};
        TDataCursor creator(Database);
        creator.SetTableName("C");
        creator.SetExclusive(true);
        creator.CreateTable(def, false, false);
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
    std::set<std::string> Names() {
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
            names.insert(reinterpret_cast<char*>(v));
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
        {
            platform::testsupport::TChildProcess writer([&] {
                close(fds[0]);
                return Writer(round, fds[1]);
            });
            close(fds[1]);
            ASSERT_TRUE(writer.Started());
            int32_t i = 0;
            for (int n = 0; n < reports && ReadReport(fds[0], i); ++n) posted.insert(NameOf(round, i));
            for (int s = 0; s < spin; ++s) asm volatile("" ::: "memory");
            writer.Kill();
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
        const std::set<std::string> names = Names();
        for (const std::string& name : posted) EXPECT_TRUE(names.count(name) != 0) << name << " was lost";
    }
    RecordProperty("repaired", repaired);
}

}  // namespace
}  // namespace dbengine
