#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>

#include "dbengine/data/DataFile.h"
#include "dbengine/testsupport/EngineRun.h"
#include "dbengine/util/Coding.h"
#include "dbengine/util/EngineError.h"
#include "dbengine/util/QueryHooks.h"
#include "platform/Files.h"
#include "platform/Process.h"
#include "platform/testsupport/TestDrives.h"

namespace dbengine {
namespace {

using platform::testsupport::TScopedDrives;
using platform::testsupport::TTempFolder;

// Records of 26 bytes: the 9-byte header, a string of 10 ("Name", flag at 9) and an integer
// ("Count", flag at 21, value at 22).
constexpr size_t NameOffset = 9;
constexpr size_t CountOffset = 21;
constexpr size_t RecSize = 26;

std::string NameOf(const uint8_t* r) {
    const char* text = reinterpret_cast<const char*>(r + NameOffset + 1);
    return std::string(text, strnlen(text, CountOffset - NameOffset - 1));
}
int32_t CountOf(const uint8_t* r) {
    return GetInt32(r + CountOffset + 1);
}

// Records the grouping callbacks; the accumulate folds Count by summing, the filter drops the
// groups whose Count is listed in Reject.
class TRecordingQuery : public TDataQuery {
public:
    bool AccumulateGroupRecord(bool newGroup, uint8_t* a, uint8_t* b) override {
        Log.push_back("acc " + std::to_string(newGroup) + " " + Id(a) + " " + Id(b));
        if (!newGroup) PutInt32(b + CountOffset + 1, CountOf(a) + CountOf(b));
        return true;
    }
    bool FinishGroupRecord(uint8_t flag, uint8_t* record, uint8_t* other) override {
        Log.push_back("fin " + std::to_string(flag) + " " + Id(record) + (record == other ? "" : " other"));
        return true;
    }
    bool GroupFilter(uint8_t flag, uint8_t* record, uint8_t* other) override {
        Log.push_back("flt " + std::to_string(flag) + " " + Id(record) + (record == other ? "" : " other"));
        return std::find(Reject.begin(), Reject.end(), CountOf(record)) == Reject.end();
    }
    void ParseStatement(bool, bool, TDataQuery*) override {}
    bool BindSubSelectColumn(TExpToken*) override { return false; }
    void ApplySubSelectFilter(TExpToken*) override {}
    TDataCursor* ResultCursor() override { return nullptr; }

    static std::string Id(const uint8_t* r) { return NameOf(r) + std::to_string(CountOf(r)); }
    std::vector<std::string> Log;
    std::vector<int32_t> Reject;
};

struct TRow {
    const char* Name;  // nullptr: NULL
    int32_t Count;
};

enum class TMethod { Memory, Runs };

class RecordSortTest : public ::testing::TestWithParam<TMethod> {
protected:
    void SetUp() override {
        InitializeEngine();
        session.PrivateDir = "D:\\";
        table.TableName = "T";
        table.Session = &session;
    }
    void TearDown() override { FinalizeEngine(); }

    std::vector<TFieldDescriptor> Fields() const {
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
        return fields;
    }

    // A table holding rows in this order (record IDs 1, 2, ...), reopened with an empty cache;
    // for the in-memory method every record is then read into the cache.
    std::unique_ptr<TDataFile> MakeTable(const std::vector<TRow>& rows, TMethod method,
                                         bool encrypted = false, const std::string& name = "T",
                                         int16_t languageId = 0) {
        std::string fileName = "D:\\" + name + ".DAT";
        {
            TDataFile f(&table);
            f.FileName = fileName;
            f.CreateDataFile(languageId, 0, 0, 0, encrypted, encrypted ? "pw" : "", "", 0, Fields());
            for (size_t i = 0; i < rows.size(); ++i) {
                TRecord* r = nullptr;
                EXPECT_TRUE(f.GetRecord(nullptr, static_cast<int32_t>(i + 1), 1, false, false, r));
                r->Init(true);
                if (rows[i].Name != nullptr) {
                    r->Data()[NameOffset] = 1;
                    std::memcpy(r->Data() + NameOffset + 1, rows[i].Name, std::strlen(rows[i].Name));
                }
                r->Data()[CountOffset] = 1;
                PutInt32(r->Data() + CountOffset + 1, rows[i].Count);
                r->Modified = true;
                f.ReleaseRecord(r);
            }
            f.WriteModifiedRecords();
            f.WriteHeader(false);
            f.WriteDescriptors();
            f.CloseFile();
        }
        auto f = std::make_unique<TDataFile>(&table);
        f->FileName = fileName;
        f->OpenFile();
        f->CheckHeader();
        if (method == TMethod::Memory) {
            session.DataBufferSize = 1 << 20;
            session.MaxDataBufferRecords = 8192;
            f->TrimCache();
            for (int32_t n = 1; n <= static_cast<int32_t>(rows.size()); ++n) {
                TRecord* r = nullptr;
                EXPECT_TRUE(f->GetRecord(nullptr, n, 1, false, true, r));
                f->ReleaseRecord(r);
            }
            EXPECT_EQ(f->CachedCount(), rows.size());
        } else {
            session.MaxDataBufferRecords = 2;  // runs of two records
        }
        return f;
    }

    std::vector<TFieldDescriptor> SortOn(std::initializer_list<std::pair<int, bool>> fieldsAndDescending) {
        std::vector<TFieldDescriptor> all = Fields(), chosen;
        for (auto [index, descending] : fieldsAndDescending) {
            chosen.push_back(all[static_cast<size_t>(index)]);
            chosen.back().SortDescending = descending ? 1 : 0;
        }
        return chosen;
    }

    // The stored records (unscrambled), as many as the header counts.
    static std::vector<std::vector<uint8_t>> Records(TDataFile& f) {
        std::vector<std::vector<uint8_t>> out;
        for (int32_t n = 1; n < f.Header.NextRecordNo; ++n) {
            std::vector<uint8_t> bytes(RecSize);
            f.ReadAt(f.RecordOffset(n), bytes.data(), RecSize);
            f.UnscrambleRecord(bytes.data(), RecSize);
            out.push_back(bytes);
        }
        return out;
    }
    static std::vector<int32_t> Counts(TDataFile& f) {
        std::vector<int32_t> out;
        for (auto& r : Records(f)) out.push_back(CountOf(r.data()));
        return out;
    }
    // Record number and record ID of each record are its position.
    static void ExpectNumbered(TDataFile& f) {
        auto records = Records(f);
        for (size_t i = 0; i < records.size(); ++i) {
            EXPECT_EQ(GetInt32(records[i].data() + 1), static_cast<int32_t>(i + 1));
            EXPECT_EQ(GetInt32(records[i].data() + 5), static_cast<int32_t>(i + 1));
        }
    }

    std::vector<std::string> TempFiles() const {
        std::vector<std::string> out;
        for (auto& e : std::filesystem::directory_iterator(root.Path()))
            if (e.path().extension() == ".TMP") out.push_back(e.path().filename().string());
        return out;
    }

    TTempFolder root;
    TScopedDrives drives{"D=" + root.Path()};
    TDataSession session{false};
    TDataTable table{nullptr, nullptr};
};

TEST_P(RecordSortTest, OrdersByFieldsWithRecordIdBreakingTies) {
    // Byte values: 'B' 0x42, 'a' 0x61, 0xE9 (e acute); case-insensitively 0xE9 becomes 0xC9.
    const std::vector<TRow> rows = {{"B", 10}, {"\xE9", 20}, {"a", 30}, {"B", 40}, {nullptr, 50}};
    struct Case {
        const char* What;
        std::initializer_list<std::pair<int, bool>> Fields;
        bool CaseInsensitive;
        std::vector<int32_t> Expected;
    } cases[] = {
        {"string descending: reverse byte order, ties by record ID",
         {{0, true}},
         false,
         {20, 30, 10, 40, 50}},
        {"string ascending, NULL first", {{0, false}}, false, {50, 10, 40, 30, 20}},
        {"string ascending ignoring case", {{0, false}}, true, {50, 30, 10, 40, 20}},
        {"integer descending", {{1, true}}, false, {50, 40, 30, 20, 10}},
        {"string ascending then integer descending", {{0, false}, {1, true}}, false, {50, 40, 10, 30, 20}},
    };
    // With a language, strings are compared through the locale and descending fields by reversing
    // the comparison instead of inverting the key bytes: the order must be the same. (No locale
    // is installed here, so the header's language is set after the open check.)
    for (int16_t language : {0, 0x0409})
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.What) + ", language " + std::to_string(language));
            auto f = MakeTable(rows, GetParam());
            f->Header.LanguageId = language;
            int64_t size = f->GetFileSize();
            f->SortRecords(SortOn(c.Fields), c.CaseInsensitive, -1, false, false, false, false, nullptr);
            EXPECT_EQ(Counts(*f), c.Expected);
            ExpectNumbered(*f);
            EXPECT_EQ(f->Header.NextRecordNo, 6);
            EXPECT_EQ(f->GetFileSize(), size);
            EXPECT_EQ(f->CachedCount(), 0u);
            EXPECT_EQ(f->SortKeySize, 0u);
            EXPECT_TRUE(TempFiles().empty());
            f->CloseFile();
        }
}

TEST_P(RecordSortTest, DistinctLimitAndRejectingFilterCutTheFile) {
    struct Case {
        const char* What;
        std::vector<TRow> Rows;
        int32_t Limit;
        bool Distinct, Grouping;
        std::vector<int32_t> Expected;
    } cases[] = {
        {"distinct A A B B B", {{"B", 1}, {"A", 2}, {"B", 3}, {"A", 4}, {"B", 5}}, -1, true, false, {2, 1}},
        {"limit 2 of 10",
         {{"j", 1},
          {"i", 2},
          {"h", 3},
          {"g", 4},
          {"f", 5},
          {"e", 6},
          {"d", 7},
          {"c", 8},
          {"b", 9},
          {"a", 10}},
         2,
         false,
         false,
         {10, 9}},
        {"limit 0", {{"b", 1}, {"a", 2}}, 0, false, false, {}},
        {"grouping, every group rejected", {{"B", 1}, {"A", 2}, {"B", 3}}, -1, false, true, {}},
        {"grouping, limit counts whole groups",
         {{"B", 1}, {"A", 2}, {"B", 3}, {"A", 4}},
         1,
         false,
         true,
         {6}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        auto f = MakeTable(c.Rows, GetParam());
        table.IndexFile->SetRecordCount(static_cast<int32_t>(c.Rows.size()));
        TRecordingQuery query;
        if (c.Grouping && c.Limit < 0) query.Reject = {2, 4};  // the sums of A and of B
        f->SortRecords(SortOn({{0, false}}), false, c.Limit, c.Distinct, c.Grouping, c.Grouping, c.Grouping,
                       &query);
        int32_t kept = static_cast<int32_t>(c.Expected.size());
        EXPECT_EQ(f->Header.NextRecordNo, kept + 1);
        EXPECT_EQ(f->Header.HeaderModified, 1);
        EXPECT_EQ(table.IndexFile->GetRecordCount(), kept);
        EXPECT_EQ(f->GetFileSize(), f->RecordOffset(kept + 1));
        EXPECT_EQ(Counts(*f), c.Expected);
        ExpectNumbered(*f);
        EXPECT_TRUE(TempFiles().empty());
        f->CloseFile();
    }
}

TEST_P(RecordSortTest, GroupingCallsTheCallbacksInTheDocumentedSequence) {
    // Sorted by name (then record ID): A1, A2, B4, C8, C16. The output buffer of the run sort
    // holds two records, so C16 folds into a record that filled the buffer.
    auto f = MakeTable({{"C", 8}, {"A", 1}, {"B", 4}, {"C", 16}, {"A", 2}}, GetParam());
    TRecordingQuery query;
    query.Reject = {4};
    f->SortRecords(SortOn({{0, false}}), false, -1, false, true, true, true, &query);
    const std::vector<std::string> expected = {
        "acc 1 A1 A1",                             // the first record starts the first group
        "acc 0 A2 A1",                             // folded into the output record
        "acc 1 A3 B4",  "fin 0 A3",  "flt 0 A3",   // a new key completes the group
        "acc 1 B4 C8",  "fin 0 B4",  "flt 0 B4",   // rejected
        "acc 0 C16 C8", "fin 0 C24", "flt 0 C24",  // the end completes the last group
    };
    EXPECT_EQ(query.Log, expected);
    EXPECT_EQ(Counts(*f), (std::vector<int32_t>{3, 24}));
    ExpectNumbered(*f);
    EXPECT_EQ(f->Header.NextRecordNo, 3);
}

INSTANTIATE_TEST_SUITE_P(Methods, RecordSortTest, ::testing::Values(TMethod::Memory, TMethod::Runs),
                         [](const auto& info) {
                             return info.param == TMethod::Memory ? "InMemory" : "Runs";
                         });

class RecordSortRunTest : public RecordSortTest {
protected:
    // 41 records of repeating names, so that runs hold duplicates and keys cross runs.
    static std::vector<TRow> ManyRows() {
        static const char* names[] = {"kilo", "alfa", "Echo", "delta", "alfa", "zulu", "echo"};
        std::vector<TRow> rows;
        for (int i = 0; i < 41; ++i) rows.push_back({names[(i * 5) % 7], 1000 - i});
        return rows;
    }
    // From the first record to the end of the file.
    static std::vector<uint8_t> RecordBytes(TDataFile& f) {
        std::vector<uint8_t> bytes(static_cast<size_t>(f.GetFileSize() - f.RecordOffset(1)));
        f.ReadAt(f.RecordOffset(1), bytes.data(), static_cast<uint32_t>(bytes.size()));
        return bytes;
    }
};

TEST_F(RecordSortRunTest, RunSortGivesTheInMemoryResult) {
    struct Case {
        const char* What;
        bool Encrypted, Distinct, CaseInsensitive;
        int32_t Limit;
        std::initializer_list<std::pair<int, bool>> Fields;
    } cases[] = {
        {"plain", false, false, false, -1, {{0, true}, {1, false}}},
        {"encrypted", true, false, false, -1, {{0, true}, {1, false}}},
        {"distinct ignoring case", false, true, true, -1, {{0, true}}},
        {"limit across runs", true, false, false, 13, {{0, true}, {1, false}}},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        auto fields = SortOn(c.Fields);
        auto memory = MakeTable(ManyRows(), TMethod::Memory, c.Encrypted, "M" + std::to_string(n));
        memory->SortRecords(fields, c.CaseInsensitive, c.Limit, c.Distinct, false, false, false, nullptr);
        auto runs = MakeTable(ManyRows(), TMethod::Runs, c.Encrypted, "R" + std::to_string(n++));
        session.MaxDataBufferRecords = 5;
        int tempWrites = 0, tempReads = 0;
        {
            platform::TScopedFileFault count(
                [&](platform::TFileOperation op, const std::string& path, int64_t, uint32_t) {
                    if (op == platform::TFileOperation::Write && path.ends_with(".TMP")) ++tempWrites;
                    if (op == platform::TFileOperation::Read && path.ends_with(".TMP")) ++tempReads;
                    return platform::TFileFault{};
                });
            runs->SortRecords(fields, c.CaseInsensitive, c.Limit, c.Distinct, false, false, false, nullptr);
        }
        EXPECT_EQ(tempWrites, 9);  // one write per run of five
        EXPECT_EQ(tempReads, 9);   // and the merge reads each back in one block, not record by record
        EXPECT_EQ(runs->Header.NextRecordNo, memory->Header.NextRecordNo);
        EXPECT_EQ(RecordBytes(*runs), RecordBytes(*memory));
        auto sorted = Records(*memory);  // unscrambled: the names must come out in order
        auto key = [&](const std::vector<uint8_t>& r) {
            std::string name = NameOf(r.data());
            if (c.CaseInsensitive)
                for (char& ch : name) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
            return name;
        };
        for (size_t i = 1; i < sorted.size(); ++i) EXPECT_GE(key(sorted[i - 1]), key(sorted[i])) << i;
        for (auto& r : sorted) {
            EXPECT_GE(CountOf(r.data()), 960);
            EXPECT_LE(CountOf(r.data()), 1000);
        }
        EXPECT_TRUE(TempFiles().empty());
        if (c.Distinct) {
            EXPECT_EQ(memory->Header.NextRecordNo, 6);  // ZULU KILO ECHO DELTA ALFA
        }
        memory->CloseFile();
        runs->CloseFile();
    }
}

TEST_F(RecordSortRunTest, AnyFailureRemovesTheRunFiles) {
    using Op = platform::TFileOperation;
    struct Case {
        const char* What;
        Op Operation;
        const char* PathEnd;
        int64_t MinPosition;  // the first operation at or after this position fails
        TEngineErrorCode Code;
    } cases[] = {
        {"writing a run", Op::Write, ".TMP", 0, DBE_WRITEERR},
        {"reading the third run from the table", Op::Read, ".DAT", 127 + 2 * 768 + 10 * 26, DBE_READERR},
        {"reading a run back", Op::Read, ".TMP", 0, DBE_READERR},
        {"writing the merged records", Op::Write, ".DAT", 0, DBE_WRITEERR},
        {"creating a run file after claiming its name", Op::Open, ".TMP", -1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        auto f = MakeTable(ManyRows(), TMethod::Runs);
        session.MaxDataBufferRecords = 5;
        int opens = 0;
        bool raised = false;
        TEngineErrorCode code = 0;
        {
            platform::TScopedFileFault fault([&](Op op, const std::string& path, int64_t position, uint32_t) {
                if (op != c.Operation || !path.ends_with(c.PathEnd)) return platform::TFileFault{};
                if (op == Op::Open) return platform::TFileFault{++opens > 1 ? 5u : 0u};  // access denied
                if (position < c.MinPosition) return platform::TFileFault{};
                return platform::TFileFault{112};  // disk full
            });
            try {
                f->SortRecords(SortOn({{0, false}}), false, -1, false, false, false, false, nullptr);
            } catch (const EDbEngineError& e) {
                raised = true;
                code = e.ErrorCode;
            }
        }
        EXPECT_TRUE(raised);
        if (c.Code != 0) {
            EXPECT_EQ(code, c.Code);
        }
        EXPECT_TRUE(TempFiles().empty());
        EXPECT_EQ(f->SortKeySize, 0u);
        EXPECT_TRUE(f->SortFields.empty());
        // The table is still usable: a second sort without the fault succeeds.
        f->SortRecords(SortOn({{0, false}}), false, -1, false, false, false, false, nullptr);
        EXPECT_EQ(Counts(*f).size(), 41u);
        EXPECT_TRUE(TempFiles().empty());
        f->CloseFile();
    }
}

TEST_F(RecordSortRunTest, RunFileNamesAreClaimedExclusively) {
    // Another process takes the name the sort has picked, between the check and the creation:
    // the sort moves on to another name and leaves the other file alone.
    auto f = MakeTable(ManyRows(), TMethod::Runs);
    session.MaxDataBufferRecords = 5;
    std::string foreign;
    {
        platform::TScopedFileFault race(
            [&](platform::TFileOperation op, const std::string& path, int64_t, uint32_t) {
                if (op == platform::TFileOperation::Open && path.ends_with(".TMP") && foreign.empty()) {
                    foreign = path;
                    std::ofstream(path) << "theirs";
                }
                return platform::TFileFault{};
            });
        f->SortRecords(SortOn({{0, false}}), false, -1, false, false, false, false, nullptr);
    }
    ASSERT_FALSE(foreign.empty());
    std::ifstream in(foreign);
    std::string content;
    in >> content;
    EXPECT_EQ(content, "theirs");
    EXPECT_EQ(TempFiles().size(), 1u);
    std::filesystem::remove(foreign);
    auto counts = Counts(*f);
    EXPECT_EQ(counts.size(), 41u);
}

}  // namespace
}  // namespace dbengine
