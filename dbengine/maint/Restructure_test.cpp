#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>

#include "dbengine/blob/BlobBuffer.h"
#include "dbengine/cursor/DataCursor.h"
#include "dbengine/data/DataFile.h"
#include "dbengine/data/Record.h"
#include "dbengine/index/IndexFile.h"
#include "dbengine/maint/Restructure.h"
#include "dbengine/session/DataSession.h"
#include "dbengine/testsupport/Descriptors.h"
#include "dbengine/testsupport/TableFixture.h"
#include "dbengine/testsupport/WordKeys.h"
#include "dbengine/util/Coding.h"
#include "platform/Files.h"

namespace dbengine {
namespace {

using testsupport::CodeOf;
using testsupport::Field;
using testsupport::Index;
namespace fs = std::filesystem;

struct TRow {
    std::string Name;
    std::string City;  // empty: NULL
    int32_t Count;
    std::string Notes;  // empty: NULL
    int32_t Id = 0;
};

struct TLoss {
    int Cause;
    std::string Context;
    bool operator==(const TLoss&) const = default;
};

// Name (string 20), City (string 30), Count (integer), Notes (memo); primary index on Name,
// "ByCity" (not unique). Temporary tables go to D:\TMP\.
class RestructureTest : public testsupport::TableFixture {
protected:
    void SetUp() override {
        TableFixture::SetUp();
        fs::create_directory(fs::path(Root.Path()) / "TMP");
        Session->SetPrivateDir("D:\\TMP");
    }
    void TearDown() override {
        C.reset();
        TableFixture::TearDown();
    }

    static TTableDefinition Definition() {
        TTableDefinition def;
        def.Description = "people";
        def.Fields = {Field(1, "Name", fldString, 20), Field(2, "City", fldString, 30),
                      Field(3, "Count", fldInteger), Field(4, "Notes", fldBlob, 0, fldstMemo)};
        def.PrimaryIndex = Index("", {1}, true);
        def.SecondaryIndexes = {Index("ByCity", {2}, false)};
        return def;
    }

    void Create(const std::vector<TRow>& rows) {
        TDataCursor creator(Database);
        creator.SetTableName("T");
        creator.SetExclusive(true);
        creator.SetInMemory(InMemory);
        creator.CreateTable(Definition(), false, false);
        Open();
        for (const TRow& r : rows) Insert(r);
        Close();
    }
    void Open() {
        C = std::make_unique<TDataCursor>(Database);
        C->SetTableName("T");
        C->SetExclusive(true);
        C->SetInMemory(InMemory);
        C->OpenCursor();
    }
    void Close() { C.reset(); }

    void Insert(const TRow& row) {
        std::vector<uint8_t> b(C->GetRecordSize(), 0);
        C->InitRecord(b.data());
        uint8_t v[64] = {};
        std::memcpy(v, row.Name.data(), row.Name.size());
        C->PutField(1, b.data(), v, false, false);
        if (!row.City.empty()) {
            std::memset(v, 0, sizeof v);
            std::memcpy(v, row.City.data(), row.City.size());
            C->PutField(2, b.data(), v, false, false);
        }
        PutInt32(v, row.Count);
        C->PutField(3, b.data(), v, false, false);
        if (!row.Notes.empty()) {
            TBlobBuffer blob(nullptr, C->GetTable()->BlobFile.get());
            blob.Stamp = C->GetTable()->DataFile->NextBlobStamp();
            blob.SetSize(static_cast<int32_t>(row.Notes.size()));
            std::memcpy(blob.GetData(), row.Notes.data(), row.Notes.size());
            blob.Save();
            TFieldDescriptor d;
            C->GetFieldDesc(4, d);
            b[d.Offset] = 1;
            PutInt32(b.data() + d.Offset + 1, blob.FirstBlock);
            PutInt32(b.data() + d.Offset + 5, blob.Stamp);
        }
        C->InsertRecord(b.data(), false);
    }

    // Every live record in primary order, read by field name.
    std::vector<TRow> Rows() {
        Open();
        std::vector<TRow> rows;
        std::vector<uint8_t> b(C->GetRecordSize());
        C->SetToBegin();
        while (C->GetNextRecord(b.data()) == 0) {
            TRow r;
            r.Name = Text(b, "Name");
            r.City = Text(b, "City");
            TFieldDescriptor d;
            if (Desc("Count", d)) {
                uint8_t v[16] = {};
                bool blank = false;
                C->GetFieldValue(d, b.data(), v, blank);
                r.Count = d.FieldType == fldFloat ? static_cast<int32_t>(GetDouble(v)) : GetInt32(v);
            }
            if (Desc("Notes", d) && d.FieldType == fldBlob && b[d.Offset] != 0) {
                TBlobBuffer blob(nullptr, C->GetTable()->BlobFile.get());
                blob.FirstBlock = GetInt32(b.data() + d.Offset + 1);
                blob.Stamp = GetInt32(b.data() + d.Offset + 5);
                blob.Load();
                r.Notes.assign(reinterpret_cast<const char*>(blob.GetData()), static_cast<size_t>(blob.Size));
            }
            r.Id = GetInt32(b.data() + 5);
            rows.push_back(r);
        }
        Close();
        return rows;
    }
    bool Desc(const std::string& name, TFieldDescriptor& d) { return C->GetTableFieldDescByName(name, d); }
    std::string Text(const std::vector<uint8_t>& b, const std::string& name) {
        TFieldDescriptor d;
        if (!Desc(name, d)) return {};
        uint8_t v[64] = {};
        bool blank = false;
        C->GetFieldValue(d, b.data(), v, blank);
        return blank ? std::string() : std::string(reinterpret_cast<char*>(v));
    }

    // Restructures T to def; losses are recorded and answered with `answer`.
    void Restructure(const TTableDefinition& def, bool suppressBackup = false, bool answer = true,
                     bool stopAsking = false) {
        auto c = std::make_unique<TDataCursor>(Database);
        c->SetTableName("T");
        c->SetExclusive(true);
        c->SetInMemory(InMemory);
        c->SetDataLostCallback(
            [&](TDataCursor&, int cause, const std::string& context, bool& go, bool& stop) {
                Losses.push_back({cause, context});
                go = answer;
                stop = stopAsking;
            });
        c->SetRestructureProgressCallback([&](TDataCursor&, int percent) { Progress.push_back(percent); });
        c->RestructureTable(def, false, -1, suppressBackup, false, false);
        EXPECT_FALSE(c->IsCursorOpen());
    }

    std::map<std::string, std::string> Snapshot() {
        std::map<std::string, std::string> files;
        for (const auto& e : fs::recursive_directory_iterator(Root.Path()))
            if (e.is_regular_file())
                files[fs::relative(e.path(), Root.Path()).string()] =
                    Bytes(fs::relative(e.path(), Root.Path()).string());
        return files;
    }
    std::vector<std::string> FileNames() {
        std::vector<std::string> names;
        for (const auto& e : fs::recursive_directory_iterator(Root.Path()))
            if (e.is_regular_file()) names.push_back(fs::relative(e.path(), Root.Path()).string());
        std::sort(names.begin(), names.end());
        return names;
    }
    // The record area of the data file: everything after the header and descriptors.
    std::string RecordBytes() {
        std::string dat = Bytes("T.DAT");
        size_t start = 127 + 4 * 768;
        return dat.substr(std::min(start, dat.size()));
    }

    std::vector<TRow> Sample() {
        return {{"alice", "Paris", 10, "first note"},
                {"bob", "Oslo", 20, ""},
                {"carol", "", 30, std::string(1500, 'c')},
                {"dave", "Paris", 40, "dd"}};
    }

    bool InMemory = false;
    std::unique_ptr<TDataCursor> C;
    std::vector<TLoss> Losses;
    std::vector<int> Progress;
};

bool SameRows(const std::vector<TRow>& a, const std::vector<TRow>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].Name != b[i].Name || a[i].City != b[i].City || a[i].Count != b[i].Count ||
            a[i].Notes != b[i].Notes || a[i].Id != b[i].Id)
            return false;
    return true;
}

// The full-text words of tables whose memos are written through the cursor's BLOB access, as
// an application writes them: each word key is compared with those of a table filled fresh.
class RestructureWordsTest : public RestructureTest {
protected:
    // Creates the named table and inserts the rows by field name; a field the definition lacks
    // is left out.
    void CreateFilled(const std::string& name, const TTableDefinition& def, const std::vector<TRow>& rows) {
        {
            TDataCursor creator(Database);
            creator.SetTableName(name);
            creator.SetExclusive(true);
            creator.CreateTable(def, false, false);
        }
        TDataCursor c(Database);
        c.SetTableName(name);
        c.SetExclusive(true);
        c.OpenCursor();
        for (const TRow& row : rows) {
            std::vector<uint8_t> b(c.GetRecordSize(), 0);
            c.InitRecord(b.data());
            TFieldDescriptor d;
            auto put = [&](const char* field, const std::string& text) {
                if (text.empty() || !c.GetTableFieldDescByName(field, d)) return;
                uint8_t v[64] = {};
                std::memcpy(v, text.data(), text.size());
                c.PutFieldValue(d, b.data(), v, false, false);
            };
            put("Name", row.Name);
            put("City", row.City);
            if (c.GetTableFieldDescByName("Count", d)) {
                uint8_t v[8] = {};
                PutInt32(v, row.Count);
                c.PutFieldValue(d, b.data(), v, false, false);
            }
            if (!row.Notes.empty() && c.GetTableFieldDescByName("Notes", d)) {
                int32_t size = 0;
                ASSERT_EQ(c.OpenBlob(d.Position, b.data(), BlobOpenWrite, false, true, size), 0);
                ASSERT_EQ(
                    c.PutBlob(d.Position, b.data(), 0, reinterpret_cast<const uint8_t*>(row.Notes.data()),
                              static_cast<int32_t>(row.Notes.size()), false),
                    0);
            }
            c.InsertRecord(b.data(), false);
        }
    }

    // Every key of the table's full-text index as "field:WORD#id@recno", in index order.
    std::vector<std::string> WordKeys(const std::string& name) {
        return testsupport::ReadWordKeys(Database, name, true);
    }

    static TTableDefinition WithText(TTableDefinition def, std::vector<uint16_t> fields) {
        for (size_t k = 0; k < fields.size(); ++k) def.TextIndex.FieldNumbers[k] = fields[k];
        return def;
    }
    static bool Has(const std::vector<std::string>& keys, const std::string& key) {
        return std::find(keys.begin(), keys.end(), key) != keys.end();
    }
};

TEST_F(RestructureWordsTest, RebuildingTheFullTextIndexInPlaceAddsTheWordsOfStringsAndMemos) {
    CreateFilled("T", WithText(Definition(), {2}), Sample());
    ASSERT_TRUE(Has(WordKeys("T"), "2:PARIS#1@1"));
    ASSERT_FALSE(Has(WordKeys("T"), "4:FIRST#1@1"));
    std::string records = RecordBytes();

    // Notes joins the index: words of the stored memos come in, read from their chains.
    TTableDefinition def = WithText(Definition(), {2, 4});
    Restructure(def, true);
    EXPECT_TRUE(RecordBytes() == records) << "rebuilt in place";
    CreateFilled("F", def, Sample());
    std::vector<std::string> keys = WordKeys("T");
    EXPECT_EQ(keys, WordKeys("F"));
    EXPECT_TRUE(Has(keys, "4:FIRST#1@1"));
    EXPECT_TRUE(Has(keys, "4:" + std::string(60, 'C') + "#3@3")) << "a memo of three blocks";

    // New stop words alone rebuild the index too.
    def.StopWords = std::vector<std::string>{"note", "paris"};
    Restructure(def, true);
    CreateFilled("G", def, Sample());
    keys = WordKeys("T");
    EXPECT_EQ(keys, WordKeys("G"));
    EXPECT_FALSE(Has(keys, "4:NOTE#1@1"));
    EXPECT_FALSE(Has(keys, "2:PARIS#1@1"));

    // City leaves the index: its words go, the memo's stay.
    def = WithText(Definition(), {4});
    def.StopWords = std::vector<std::string>{"note", "paris"};
    Restructure(def, true);
    CreateFilled("H", def, Sample());
    EXPECT_EQ(WordKeys("T"), WordKeys("H"));
    EXPECT_TRUE(Losses.empty());
}

TEST_F(RestructureWordsTest, ACopyThatDropsAFieldKeepsMemosAndTheirWords) {
    CreateFilled("T", WithText(Definition(), {2, 4}), Sample());
    std::vector<TRow> before = Rows();
    // City (number 2) goes; Count and Notes keep their numbers and move up one position.
    TTableDefinition def;
    def.Fields = {Field(1, "Name", fldString, 20), Field(3, "Count", fldInteger),
                  Field(4, "Notes", fldBlob, 0, fldstMemo)};
    def.PrimaryIndex = Index("", {1}, true);
    def.TextIndex.FieldNumbers[0] = 4;
    Restructure(def, true);
    EXPECT_EQ(Losses.size(), before.size());
    for (const TLoss& loss : Losses) EXPECT_EQ(loss, (TLoss{dlFieldDropped, "City"}));
    for (TRow& row : before) row.City.clear();
    EXPECT_TRUE(SameRows(Rows(), before)) << "memos and record IDs survive";

    // The same table as it would be made fresh: fields numbered by position.
    TTableDefinition fresh;
    fresh.Fields = {Field(1, "Name", fldString, 20), Field(2, "Count", fldInteger),
                    Field(3, "Notes", fldBlob, 0, fldstMemo)};
    fresh.PrimaryIndex = Index("", {1}, true);
    fresh.TextIndex.FieldNumbers[0] = 3;
    CreateFilled("F", fresh, Sample());
    std::vector<std::string> keys = WordKeys("T");
    EXPECT_EQ(keys, WordKeys("F"));
    EXPECT_TRUE(Has(keys, "3:FIRST#1@1"));
    EXPECT_EQ(Bytes("T.BLB").size(), Bytes("F.BLB").size()) << "one chain for each memo, no more";
}

TEST_F(RestructureWordsTest, ARecordTheCopyRefusesLeavesNeitherChainNorWordsBehind) {
    std::vector<TRow> rows = Sample();
    rows[3].Count = rows[1].Count;  // dave repeats bob's count, with a memo of his own
    CreateFilled("T", WithText(Definition(), {4}), rows);
    TTableDefinition def = WithText(Definition(), {4});
    def.Fields[2].FieldType = fldFloat;
    def.SecondaryIndexes.push_back(Index("ByCount", {3}, true));
    Restructure(def, true);
    EXPECT_EQ(Losses, (std::vector<TLoss>{{dlKeyViolation, "ByCount"}}));
    rows.pop_back();
    CreateFilled("F", def, rows);
    EXPECT_EQ(WordKeys("T"), WordKeys("F"));
    EXPECT_EQ(Bytes("T.BLB").size(), Bytes("F.BLB").size()) << "the refused memo's chain was given back";
}

// The closed table's files move to their backup names, replacing an older backup.
TEST_F(RestructureTest, BackingUpTheFilesRenamesThemReplacingAnOldBackup) {
    Create({{"Ann", "Rome", 1, "note"}});
    const std::string dat = Bytes("T.DAT"), idx = Bytes("T.IDX"), blb = Bytes("T.BLB");
    std::ofstream(fs::path(Root.Path()) / "T.DBK") << "old backup";
    TDataCursor c(Database);
    c.SetTableName("T");
    c.SetExclusive(true);
    c.BackupTableFiles();
    EXPECT_FALSE(Exists("T.DAT"));
    EXPECT_FALSE(Exists("T.IDX"));
    EXPECT_FALSE(Exists("T.BLB"));
    EXPECT_EQ(Bytes("T.DBK"), dat);
    EXPECT_EQ(Bytes("T.IBK"), idx);
    EXPECT_EQ(Bytes("T.BBK"), blb);
}

TEST_F(RestructureTest, NamesAndDescriptionsRewriteOnlyTheDescriptors) {
    Create(Sample());
    std::string records = RecordBytes(), idx = Bytes("T.IDX"), blb = Bytes("T.BLB");
    std::vector<TRow> before = Rows();
    TTableDefinition def = Definition();
    def.Fields[1].Name = "Town";
    def.Fields[2].Description = "how many";
    def.Description = "other people";
    Restructure(def);
    EXPECT_TRUE(Losses.empty());
    EXPECT_TRUE(RecordBytes() == records) << "no record is rewritten";
    EXPECT_TRUE(Bytes("T.BLB") == blb);
    EXPECT_FALSE(Exists("T.DBK"));
    EXPECT_FALSE(Exists("T.IBK"));
    EXPECT_FALSE(Exists("T.BBK"));
    Open();
    TFieldDescriptor d;
    EXPECT_TRUE(C->GetTableFieldDescByName("Town", d));
    C->GetTableFieldDesc(3, d);
    EXPECT_EQ(d.Description, "how many");
    EXPECT_EQ(C->GetTableDescription(), "other people");
    Close();
    Open();
    std::vector<uint8_t> b(C->GetRecordSize());
    C->SetToBegin();
    for (const TRow& row : before) {
        ASSERT_EQ(C->GetNextRecord(b.data()), 0);
        EXPECT_EQ(Text(b, "Town"), row.City);
    }
}

TEST_F(RestructureTest, AddingASecondaryIndexBuildsOnlyThatIndex) {
    Create(Sample());
    std::string records = RecordBytes();
    Open();
    int32_t cityRoot = C->GetIndexDesc(1).RootPage;
    Close();
    TTableDefinition def = Definition();
    def.SecondaryIndexes.push_back(Index("ByCount", {3}, true));
    Restructure(def);
    EXPECT_TRUE(RecordBytes() == records) << "no record is rewritten";
    EXPECT_TRUE(Exists("T.IBK")) << "the index file's copy is kept";
    EXPECT_FALSE(Exists("T.DBK"));
    EXPECT_EQ(Progress.back(), 100);
    Open();
    EXPECT_EQ(C->GetSecondaryIndexCount(), 2);
    EXPECT_EQ(C->GetIndexDesc(1).RootPage, cityRoot) << "ByCity is not rebuilt";
    C->SetIndexName("ByCount");
    std::vector<uint8_t> b(C->GetRecordSize());
    C->SetToEnd();
    ASSERT_EQ(C->GetPriorRecord(b.data()), 0);
    EXPECT_EQ(Text(b, "Name"), "dave");
    Close();

    // Dropping the last secondary index builds nothing.
    Progress.clear();
    Restructure(Definition(), true);
    EXPECT_FALSE(Exists("T.IBK")) << "suppressed: the copy goes";
    Open();
    EXPECT_EQ(C->GetSecondaryIndexCount(), 1);
    Close();
    EXPECT_EQ(Rows().size(), 4u);
}

TEST_F(RestructureTest, ChangingASizeOrTypeCopiesEveryRecord) {
    for (bool suppress : {false, true}) {
        SCOPED_TRACE(suppress);
        Create(Sample());
        std::vector<TRow> before = Rows();
        TTableDefinition def = Definition();
        def.Fields[1].Size = 40;
        def.Fields[2].FieldType = fldFloat;
        Restructure(def, suppress);
        EXPECT_TRUE(Losses.empty());
        EXPECT_TRUE(SameRows(Rows(), before)) << "values, memos and record IDs survive";
        for (const char* backup : {"T.DBK", "T.IBK", "T.BBK"}) EXPECT_EQ(Exists(backup), !suppress) << backup;
        EXPECT_EQ(Progress.back(), 100);
        Open();
        TFieldDescriptor d;
        C->GetTableFieldDesc(2, d);
        EXPECT_EQ(d.Size, 40);
        EXPECT_EQ(C->GetLastRecordId(), 4);
        Insert({"erin", "Bonn", 50, ""});
        Close();
        EXPECT_EQ(Rows().back().Id, 5) << "numbering goes on";
        std::vector<std::string> left = FileNames();
        for (const std::string& n : left)
            EXPECT_FALSE(n.starts_with("TMP/")) << n << " left in the work folder";
        Database->DeleteTableFiles("T", false);
        for (const char* backup : {"T.DBK", "T.IBK", "T.BBK"}) fs::remove(fs::path(Root.Path()) / backup);
        Progress.clear();
    }
}

TEST_F(RestructureTest, LostRecordsAreReportedWithTheirCause) {
    // A dropped field: asked for every record until the caller stops the questions.
    Create(Sample());
    TTableDefinition def = Definition();
    def.Fields.erase(def.Fields.begin() + 2);
    Restructure(def);
    EXPECT_EQ(Losses, (std::vector<TLoss>(4, {3, "Count"})));
    EXPECT_EQ(Rows().size(), 4u);
    Losses.clear();
    Database->DeleteTableFiles("T", false);

    Create(Sample());
    Restructure(def, true, true, true);
    EXPECT_EQ(Losses, (std::vector<TLoss>{{3, "Count"}}));
    Losses.clear();
    Database->DeleteTableFiles("T", false);

    // A required field that holds NULL: the record is not copied.
    Create(Sample());
    def = Definition();
    def.Fields[1].Required = 1;
    Restructure(def);
    EXPECT_EQ(Losses, (std::vector<TLoss>{{2, "City"}}));
    std::vector<TRow> rows = Rows();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[2].Name, "dave");
    Losses.clear();
    Database->DeleteTableFiles("T", false);

    // A memo that becomes a string cannot be converted: asked for each memo held.
    Create(Sample());
    def = Definition();
    def.Fields[3] = Field(4, "Notes", fldString, 10);
    Restructure(def);
    EXPECT_EQ(Losses, (std::vector<TLoss>(3, {4, "Notes"})));
    rows = Rows();
    ASSERT_EQ(rows.size(), 4u) << "the records stay, without the value";
    for (const TRow& r : rows) EXPECT_EQ(r.Notes, "");
    Losses.clear();
    Database->DeleteTableFiles("T", false);

    // A new unique index over repeated values, with a copy and in place.
    for (bool copy : {true, false}) {
        SCOPED_TRACE(copy);
        Create(Sample());
        def = Definition();
        if (copy) def.Fields[1].Size = 35;
        def.SecondaryIndexes.push_back(Index("OneCity", {2}, true));
        Restructure(def, true);
        EXPECT_EQ(Losses, (std::vector<TLoss>{{1, "OneCity"}}));
        rows = Rows();
        ASSERT_EQ(rows.size(), 3u);
        EXPECT_EQ(rows[2].Name, "carol") << "the later duplicate (dave) goes";
        Losses.clear();
        Database->DeleteTableFiles("T", false);
    }
}

TEST_F(RestructureTest, AbandoningLeavesTheSourceAsItWas) {
    TTableDefinition copying = Definition();
    copying.Fields[1].Size = 35;
    copying.SecondaryIndexes.push_back(Index("OneCity", {2}, true));
    TTableDefinition inPlace = Definition();
    inPlace.SecondaryIndexes.push_back(Index("OneCity", {2}, true));
    TTableDefinition dropping = Definition();
    dropping.Fields.pop_back();
    for (const TTableDefinition* def : {&copying, &inPlace, &dropping}) {
        Create(Sample());
        auto before = Snapshot();
        Restructure(*def, false, false);
        EXPECT_EQ(Losses.size(), 1u);
        EXPECT_TRUE(Snapshot() == before) << "a file changed or was left behind";
        EXPECT_EQ(Rows().size(), 4u);
        Losses.clear();
        Database->DeleteTableFiles("T", false);
    }
}

TEST_F(RestructureTest, AFailureAtAnyStepLeavesTheSourceIntact) {
    using Op = platform::TFileOperation;
    struct TFault {
        Op Operation;
        std::string PathPart;  // in the native path of the operation
        const char* OnlyWhileMissing = nullptr;
        const char* OnlyWhilePresent = nullptr;
    };
    struct TCase {
        const char* What;
        std::vector<TFault> Faults;
        bool Suppress;
        bool IndexOnly;
    } cases[] = {
        {"writing the new table", {{Op::Write, "/TMP/"}}, false, false},
        // A refused rename is followed by a copy: both fail.
        {"moving the data file aside", {{Op::Rename, "/T.DAT"}, {Op::Write, "/T.DBK"}}, false, false},
        {"moving the BLOB file aside", {{Op::Rename, "/T.BLB"}, {Op::Open, "/T.BLB", "T.DAT"}}, true, false},
        {"moving the new files in",
         {{Op::Rename, "/TMP/"}, {Op::Write, "/T.IDX", nullptr, "T.DBK"}},
         false,
         false},
        {"copying the index file", {{Op::Write, "/T.IBK"}}, false, true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        Create(Sample());
        auto before = Snapshot();
        std::vector<TRow> rows = Rows();
        TTableDefinition def = Definition();
        if (c.IndexOnly)
            def.SecondaryIndexes.push_back(Index("ByCount", {3}, false));
        else
            def.Fields[1].Size = 35;
        bool raised = false;
        {
            platform::TScopedFileFault fault([&](Op op, const std::string& path, int64_t, uint32_t) {
                for (const TFault& f : c.Faults) {
                    if (op != f.Operation || path.find(f.PathPart) == std::string::npos) continue;
                    if (f.OnlyWhileMissing != nullptr && Exists(f.OnlyWhileMissing)) continue;
                    if (f.OnlyWhilePresent != nullptr && !Exists(f.OnlyWhilePresent)) continue;
                    return platform::TFileFault{5};  // access denied
                }
                return platform::TFileFault{};
            });
            try {
                Restructure(def, c.Suppress);
            } catch (const EDbEngineError&) {
                raised = true;
            }
        }
        EXPECT_TRUE(raised);
        auto after = Snapshot();
        for (const auto& [name, bytes] : before) {
            if (name.starts_with("T.")) {
                EXPECT_TRUE(after[name] == bytes) << name << " changed";
            }
        }
        for (const auto& [name, bytes] : after)
            EXPECT_TRUE(before.count(name) == 1) << name << " left behind";
        EXPECT_TRUE(SameRows(Rows(), rows));
        Database->DeleteTableFiles("T", false);
    }
}

TEST_F(RestructureTest, NewFilesAreCopiedWhenTheyCannotBeRenamed) {
    Create(Sample());
    std::vector<TRow> rows = Rows();
    TTableDefinition def = Definition();
    def.Fields[1].Size = 35;
    int refused = 0;
    {
        platform::TScopedFileFault fault(
            [&](platform::TFileOperation op, const std::string& path, int64_t, uint32_t) {
                bool hit = op == platform::TFileOperation::Rename && path.find("/TMP/") != std::string::npos;
                if (hit) ++refused;
                return platform::TFileFault{hit ? 17u : 0u};  // not the same device
            });
        Restructure(def);
    }
    EXPECT_EQ(refused, 3);
    EXPECT_TRUE(SameRows(Rows(), rows));
    for (const std::string& n : FileNames()) EXPECT_FALSE(n.starts_with("TMP/")) << n;
}

TEST_F(RestructureTest, AnInMemoryTableIsRebuiltInMemory) {
    Database = Session->OpenDataDirectory("Memory", "", false);
    InMemory = true;
    Create(Sample());
    std::vector<TRow> rows = Rows();
    auto files = FileNames();
    TTableDefinition def = Definition();
    def.Fields[1].Size = 35;
    def.SecondaryIndexes.push_back(Index("ByCount", {3}, true));
    Restructure(def);
    EXPECT_TRUE(Losses.empty());
    EXPECT_TRUE(SameRows(Rows(), rows));
    EXPECT_EQ(FileNames(), files) << "nothing reaches the disk";
    Open();
    EXPECT_EQ(C->GetSecondaryIndexCount(), 2);
    TFieldDescriptor d;
    C->GetTableFieldDesc(2, d);
    EXPECT_EQ(d.Size, 35);
    Close();
    EXPECT_FALSE(Database->TableExists("T.DBK", true));
}

TEST_F(RestructureTest, EncryptingNeedsThePasswordOnlyAfterwards) {
    Create(Sample());
    std::vector<TRow> rows = Rows();
    TTableDefinition def = Definition();
    def.Encrypted = true;
    def.Password = "secret";
    Restructure(def, true);
    EXPECT_FALSE(Session->HasPassword("secret")) << "the password was the restructure's only";
    EXPECT_EQ(CodeOf([&] { Open(); }), DBE_NOTSUFFTABLERIGHTS);
    Session->AddPassword("secret");
    EXPECT_TRUE(SameRows(Rows(), rows));
    EXPECT_EQ(Bytes("T.DAT").find("alice"), std::string::npos) << "records are scrambled";
}

TEST_F(RestructureTest, PreconditionsAndDefinitionErrorsChangeNothing) {
    Create(Sample());
    auto before = Snapshot();
    auto c = std::make_unique<TDataCursor>(Database);
    c->SetTableName("T");
    EXPECT_EQ(CodeOf([&] { c->RestructureTable(Definition(), false, -1, false, false, false); }),
              DBE_NEEDEXCLACCESS);
    c->SetExclusive(true);
    TTableDefinition bad = Definition();
    bad.Fields[1].Name = "Name";
    EXPECT_EQ(CodeOf([&] { c->RestructureTable(bad, false, -1, false, false, false); }),
              DBE_INVALIDFIELDNAME);
    c->OpenCursor();
    EXPECT_EQ(CodeOf([&] { c->RestructureTable(Definition(), false, -1, false, false, false); }),
              DBE_TABLEOPEN);
    c.reset();
    EXPECT_TRUE(Snapshot() == before);
}

TEST_F(RestructureTest, LastRecordIdIsKeptOrReplaced) {
    Create(Sample());
    TTableDefinition def = Definition();
    def.Fields[1].Size = 35;
    auto c = std::make_unique<TDataCursor>(Database);
    c->SetTableName("T");
    c->SetExclusive(true);
    c->RestructureTable(def, false, 100, true, false, false);
    Open();
    EXPECT_EQ(C->GetLastRecordId(), 100);
    Close();
    def.Description = "x";
    c->RestructureTable(def, false, -1, true, false, false);
    Open();
    EXPECT_EQ(C->GetLastRecordId(), 100);
}

}  // namespace
}  // namespace dbengine
