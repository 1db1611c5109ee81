// Readers in other processes walk a shared table in primary, secondary and natural order while a
// writer process inserts records, changes their keys and deletes them. The records the writer
// never touches must show in every walk exactly once and whole, keys must come in order, and no
// walk may fail — with strict change detection and without.
//
// KORVANE_ENGINE_SOAK (a whole number, default 1) multiplies the time the processes run, for a
// longer run outside the test pass.

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "dbengine/cursor/DataCursor.h"
#include "dbengine/file/FileList.h"
#include "dbengine/session/DataSession.h"
#include "dbengine/testsupport/Descriptors.h"
#include "dbengine/testsupport/TableFixture.h"
#include "dbengine/util/Coding.h"
#include "framework/core/Seams.h"
#include "platform/testsupport/ChildProcess.h"

namespace dbengine {
namespace {

using testsupport::Field;
using testsupport::Index;

constexpr int Untouched = 240;

int SoakFactor() {
    const char* text = std::getenv("KORVANE_ENGINE_SOAK");
    int n = text != nullptr ? std::atoi(text) : 1;
    return n < 1 ? 1 : n;
}

// Untouched records are K<i*10>, serial i*10; the writer's records take the numbers in between.
std::string NameOf(int32_t n) {
    char text[16];
    std::snprintf(text, sizeof text, "K%07d", n);
    return text;
}

class ConcurrentWalksTest : public testsupport::TableFixture {
protected:
    void SetUp() override {
        TableFixture::SetUp();
        TTableDefinition def;
        def.Fields = {Field(1, "Name", fldString, 12), Field(2, "Serial", fldInteger),
                      Field(3, "Check", fldString, 12)};
        def.PrimaryIndex = Index("", {1}, true);
        def.SecondaryIndexes = {Index("BySerial", {2}, true)};
        TDataCursor creator(Database);
        creator.SetTableName("W");
        creator.SetExclusive(true);
        creator.CreateTable(def, false, false);
        TDataCursor c(Database);
        c.SetTableName("W");
        c.OpenCursor();
        for (int i = 1; i <= Untouched; ++i) Insert(c, i * 10);
    }

    static std::vector<uint8_t> Row(TDataCursor& c, int32_t n) {
        std::vector<uint8_t> b(c.GetRecordSize());
        c.ClearRecordBuffer(b.data());
        uint8_t v[16] = {};
        const std::string name = NameOf(n);
        std::memcpy(v, name.data(), name.size());
        c.PutField(1, b.data(), v, false, false);
        c.PutField(3, b.data(), v, false, false);
        PutInt32(v, n);
        c.PutField(2, b.data(), v, false, false);
        return b;
    }
    static void Insert(TDataCursor& c, int32_t n) {
        auto b = Row(c, n);
        c.InsertRecord(b.data(), false);
    }
    static std::string Text(TDataCursor& c, uint16_t field, const uint8_t* record) {
        uint8_t v[16] = {};
        bool blank = false;
        c.GetField(field, record, v, blank);
        return reinterpret_cast<char*>(v);
    }
    static int32_t Serial(TDataCursor& c, const uint8_t* record) {
        uint8_t v[4] = {};
        bool blank = false;
        c.GetField(2, record, v, blank);
        return blank ? -1 : GetInt32(v);
    }

    // A session, file list and cursor of the child's own, as another process has.
    static TDataCursor* ChildCursor(bool strict) {
        framework::SetSleepHandler({});
        FreeEngineFileList();
        CreateEngineFileList();
        auto* session = new TDataSession(false);
        session->StrictChangeDetection = strict;
        auto* c = new TDataCursor(session->OpenDataDirectory("D:\\", "D:\\", false));
        c->SetTableName("W");
        c->OpenCursor();
        return c;
    }

    // Inserts records, changes the keys of its own and deletes them until the time is up.
    static int Writer(bool strict, std::chrono::steady_clock::time_point end, uint32_t seed) {
        try {
            TDataCursor& c = *ChildCursor(strict);
            std::mt19937 random(seed);
            std::vector<int32_t> mine;
            std::set<int32_t> used;
            auto fresh = [&] {
                for (;;) {
                    int32_t n = std::uniform_int_distribution<int32_t>(1, Untouched * 10 + 20)(random);
                    if (n % 10 != 0 && used.insert(n).second) return n;
                }
            };
            std::vector<uint8_t> b(c.GetRecordSize());
            while (std::chrono::steady_clock::now() < end) {
                int op = std::uniform_int_distribution<int>(0, 9)(random);
                if (mine.size() < 20 || op < 4) {
                    int32_t n = fresh();
                    Insert(c, n);
                    mine.push_back(n);
                    continue;
                }
                size_t at = std::uniform_int_distribution<size_t>(0, mine.size() - 1)(random);
                auto key = Row(c, mine[at]);
                if (!c.FindKey(false, key.data(), 1, false, 0, b.data())) return 3;
                if (op < 7) {
                    int32_t n = fresh();
                    uint8_t v[16] = {};
                    const std::string name = NameOf(n);
                    std::memcpy(v, name.data(), name.size());
                    c.PutField(1, b.data(), v, false, false);
                    c.PutField(3, b.data(), v, false, false);
                    PutInt32(v, n);
                    c.PutField(2, b.data(), v, false, false);
                    c.ModifyRecord(b.data(), true, false);
                    used.erase(mine[at]);
                    mine[at] = n;
                } else {
                    c.DeleteRecord(b.data(), false);
                    used.erase(mine[at]);
                    mine.erase(mine.begin() + static_cast<long>(at));
                }
            }
            c.CloseCursor(false);
            return 0;
        } catch (const EDbEngineError& e) {
            std::fprintf(stderr, "writer: %d %s\n", static_cast<int>(e.ErrorCode), e.Message.c_str());
            return 2;
        } catch (...) {
            return 1;
        }
    }

    // Walks the table in one order until the time is up; a failure is written to fd.
    static int Reader(bool strict, uint8_t order, std::chrono::steady_clock::time_point end, int fd) {
        auto fail = [fd](const std::string& text) {
            std::string line = text + "\n";
            ssize_t ignored = write(fd, line.data(), line.size());
            (void)ignored;
            return 1;
        };
        int walks = 0;
        try {
            TDataCursor& c = *ChildCursor(strict);
            c.SetIndexNumber(order);
            std::vector<uint8_t> b(c.GetRecordSize());
            do {
                ++walks;
                std::map<int32_t, int> seen;
                int32_t lastSerial = -1;
                std::string lastName;
                int32_t lastPhysical = 0;
                c.SetToBegin();
                TEngineErrorCode code;
                while ((code = c.GetNextRecord(b.data())) == 0) {
                    const std::string name = Text(c, 1, b.data());
                    const int32_t serial = Serial(c, b.data());
                    const std::string where = "walk " + std::to_string(walks) + " after " + lastName + ": ";
                    if (name.empty() || serial <= 0 || Text(c, 3, b.data()) != name || NameOf(serial) != name)
                        return fail(where + "a record not whole: '" + name + "' " + std::to_string(serial));
                    if (order == PrimaryIndex && name <= lastName)
                        return fail(where + "key " + name + " out of order");
                    if (order == 1 && serial <= lastSerial)
                        return fail(where + "serial " + std::to_string(serial) + " out of order");
                    if (order == NaturalOrderIndex) {
                        int32_t physical = c.GetPhysicalRecNo();
                        if (physical <= lastPhysical)
                            return fail(where + "record " + std::to_string(physical) + " out of order");
                        lastPhysical = physical;
                    }
                    lastName = name;
                    lastSerial = serial;
                    if (serial % 10 == 0) ++seen[serial];
                }
                if (code != DBE_EOF) return fail("walk ended with " + std::to_string(code));
                for (int i = 1; i <= Untouched; ++i) {
                    auto it = seen.find(i * 10);
                    int times = it == seen.end() ? 0 : it->second;
                    if (times != 1)
                        return fail("walk " + std::to_string(walks) + ": " + NameOf(i * 10) + " seen " +
                                    std::to_string(times) + " times");
                }
            } while (std::chrono::steady_clock::now() < end);
            c.CloseCursor(false);
        } catch (const EDbEngineError& e) {
            return fail("walk " + std::to_string(walks) + ": error " + std::to_string(e.ErrorCode) + " " +
                        e.Message);
        } catch (...) {
            return fail("walk " + std::to_string(walks) + ": an exception");
        }
        // The number of walks, for the report (each reader walks at least once).
        std::string line = "walks " + std::to_string(walks) + "\n";
        ssize_t ignored = write(fd, line.data(), line.size());
        (void)ignored;
        return 0;
    }

    void Run(bool strict) {
        const auto seconds = std::chrono::milliseconds(1500 * SoakFactor());
        const auto end = std::chrono::steady_clock::now() + seconds;
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        platform::testsupport::TChildProcess writer([&] {
            close(fds[0]);
            return Writer(strict, end, strict ? 7u : 11u);
        });
        std::vector<std::unique_ptr<platform::testsupport::TChildProcess>> readers;
        for (uint8_t order : {PrimaryIndex, uint8_t{1}, NaturalOrderIndex})
            readers.push_back(std::make_unique<platform::testsupport::TChildProcess>([&, order] {
                close(fds[0]);
                return Reader(strict, order, end + std::chrono::milliseconds(200), fds[1]);
            }));
        close(fds[1]);
        EXPECT_EQ(writer.Wait(), 0) << "the writer failed";
        std::vector<int> results;
        for (auto& r : readers) results.push_back(r->Wait());
        std::string report;
        char chunk[512];
        ssize_t n;
        while ((n = read(fds[0], chunk, sizeof chunk)) > 0) report.append(chunk, static_cast<size_t>(n));
        close(fds[0]);
        const char* names[] = {"primary", "secondary", "natural"};
        for (size_t i = 0; i < results.size(); ++i)
            EXPECT_EQ(results[i], 0) << names[i] << " order\n" << report;
        RecordProperty(strict ? "strict" : "plain", report);
    }
};

TEST_F(ConcurrentWalksTest, ReadersSeeEveryUntouchedRecordOnceInOrderWhileAnotherProcessWrites) {
    Run(false);
}

TEST_F(ConcurrentWalksTest, ReadersUnderStrictChangeDetectionSeeEveryUntouchedRecordOnceInOrder) {
    Run(true);
}

}  // namespace
}  // namespace dbengine
