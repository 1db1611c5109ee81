#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "dbengine/cursor/DataCursor.h"
#include "dbengine/expr/ExpToken.h"
#include "dbengine/testsupport/Descriptors.h"
#include "dbengine/testsupport/TableFixture.h"
#include "dbengine/util/Coding.h"

namespace dbengine {
namespace {

using testsupport::Field;
using testsupport::Index;

// Shared helpers: cursors on table "T", record buffers, walks.
class FilterIndexTest : public testsupport::TableFixture {
protected:
    void TearDown() override {
        Cursors.clear();
        TableFixture::TearDown();
    }

    void Create(const std::string& name, TTableDefinition def) {
        TDataCursor creator(Database);
        creator.SetTableName(name);
        creator.SetExclusive(true);
        creator.CreateTable(std::move(def), false, true);
    }

    // Index "" is the primary index; "*" natural order.
    TDataCursor& Open(const std::string& table, const std::string& index, bool querySource = false) {
        auto c = std::make_unique<TDataCursor>(Database);
        c->SetTableName(table);
        c->SetQuerySource(querySource);
        c->OpenCursor();
        if (index == "*")
            c->SetIndexNumber(NaturalOrderIndex);
        else if (index.empty())
            c->SetIndexNumber(0);
        else
            c->SetIndexName(index);
        Cursors.push_back(std::move(c));
        return *Cursors.back();
    }

    // A field value for Insert, in the bytes PutField takes; Null leaves the field NULL.
    struct TValue {
        bool Null = true;
        std::vector<uint8_t> Bytes;
    };
    static TValue Text(const std::string& s) {
        TValue v{false, std::vector<uint8_t>(s.begin(), s.end())};
        v.Bytes.resize(64, 0);
        return v;
    }
    static TValue Int(int32_t n) {
        TValue v{false, std::vector<uint8_t>(8, 0)};
        PutInt32(v.Bytes.data(), n);
        return v;
    }
    static TValue Small(int16_t n) {
        TValue v{false, std::vector<uint8_t>(8, 0)};
        v.Bytes[0] = static_cast<uint8_t>(n);
        v.Bytes[1] = static_cast<uint8_t>(static_cast<uint16_t>(n) >> 8);
        return v;
    }
    static TValue Float(double d) {
        TValue v{false, std::vector<uint8_t>(8, 0)};
        std::memcpy(v.Bytes.data(), &d, 8);
        return v;
    }
    static TValue Null() { return {}; }

    static void Insert(TDataCursor& c, const std::vector<TValue>& values) {
        std::vector<uint8_t> b(c.GetRecordSize(), 0);
        c.ClearRecordBuffer(b.data());
        for (size_t i = 0; i < values.size(); ++i)
            c.PutField(static_cast<uint16_t>(i + 1), b.data(),
                       values[i].Null ? nullptr : values[i].Bytes.data(), false, false);
        c.InsertRecord(b.data(), false);
    }

    static int32_t IdOf(TDataCursor& c) {
        uint8_t v[8] = {};
        bool blank = false;
        c.GetField(1, c.GetRecordObject()->Data(), v, blank);
        return GetInt32(v);
    }

    // The Ids of the visible records in the cursor's order.
    static std::vector<int32_t> Walk(TDataCursor& c) {
        std::vector<int32_t> ids;
        c.SetToBegin();
        while (c.GetNextRecord(nullptr) == 0) ids.push_back(IdOf(c));
        return ids;
    }

    static TFilter* Add(TDataCursor& c, const std::string& text, bool estimate = true, bool costBased = true,
                        bool caseInsensitive = false, bool noPartial = false) {
        return c.AddFilter(nullptr, text, nullptr, false, nullptr, false, estimate, costBased,
                           caseInsensitive, noPartial);
    }

    // Leaves every node of the filter to the record-by-record test.
    static void ForceRecordTests(TFilter& f) {
        std::vector<TExpToken*> pending{f.Expression};
        while (!pending.empty()) {
            TExpToken* t = pending.back();
            pending.pop_back();
            if (t == nullptr) continue;
            t->OptimizeLevel = 0;
            pending.push_back(t->Left);
            pending.push_back(t->Right);
            for (TExpToken* a : t->Arguments) pending.push_back(a);
        }
        f.OptimizeLevel = 0;
    }

    std::vector<std::unique_ptr<TDataCursor>> Cursors;
};

// Id (primary), Name (index ByName), Code (only a case-insensitive index), City (second field of
// ByAmountCity only), Amount (first field of ByAmountCity), Note (no index); 100 records: Id and
// Amount 1..100, Name "N" + Id mod 10, Code "c" + Id mod 5.
class FilterLevelsTest : public FilterIndexTest {
protected:
    void SetUp() override {
        FilterIndexTest::SetUp();
        TTableDefinition def;
        def.Fields = {Field(1, "Id", fldInteger),      Field(2, "Name", fldString, 10),
                      Field(3, "Code", fldString, 10), Field(4, "City", fldString, 10),
                      Field(5, "Amount", fldInteger),  Field(6, "Note", fldString, 10)};
        def.PrimaryIndex = Index("", {1}, true);
        TIndexDescriptor byCode = Index("ByCode", {3});
        byCode.CaseInsensitive = 1;
        def.SecondaryIndexes = {Index("ByName", {2}), byCode, Index("ByAmountCity", {5, 4})};
        Create("T", def);
        TDataCursor& c = Open("T", "");
        for (int i = 1; i <= 100; ++i)
            Insert(c, {Int(i), Text("N" + std::to_string(i % 10)), Text("c" + std::to_string(i % 5)),
                       Text("Oslo"), Int(i), Text("n")});
    }
};

TEST_F(FilterLevelsTest, ConditionsAreRatedByTheIndexesThatCanAnswerThem) {
    TDataCursor& plain = Open("T", "");
    TDataCursor& source = Open("T", "*", true);  // a query source: the 90 % rule applies
    struct Case {
        std::string Text;
        bool CostRule;
        bool Estimate;
        bool CaseInsensitive;
        uint8_t Level;
        int32_t Count;
        uint8_t Flag1;
    } cases[] = {
        {"City = 'Oslo'", false, true, false, 0, -1, 0},  // second field of an index only
        {"Note = 'n'", false, true, false, 0, -1, 0},     // in no index
        {"Code = 'c1'", false, true, false, 0, -1, 0},    // its only index ignores case
        {"Code = 'c1'", false, true, true, 2, 20, 0},     // ... as the comparison does then
        {"UPPER(Code) = 'C1'", false, true, false, 2, 20, 0},
        {"Name = 'N1'", false, true, false, 2, 10, 0},
        {"Name = 'N1' and City = 'Oslo'", false, true, false, 1, 10, 0},
        {"City = 'Oslo' and Name = 'N1'", false, true, false, 1, 10, 0},
        {"Name = 'N1' or City = 'Oslo'", false, true, false, 0, 10, 0},
        {"Name = 'N1' or Amount = 5", false, true, false, 2, 10, 0},
        {"not (Amount > 50)", false, true, false, 2, 50, 0},
        {"Amount < 21", false, true, false, 2, 20, 0},
        {"Amount between 10 and 19", false, true, false, 2, 19, 0},  // the smaller of the two ends
        {"Amount in (1, 2, 300)", false, true, false, 2, 0, 0},
        {"Id is null", false, true, false, 2, 0, 0},
        {"Name like '%1'", false, true, false, 0, -1, 0},
        {"Id + 1 = 5", false, true, false, 0, -1, 0},
        {"Amount >= 6", false, false, false, 2, -1, 0},  // no estimates: indexed means level 2
        {"Amount >= 6", true, true, false, 0, 95, 1},    // 95 of 100 records
        {"Amount >= 10", true, true, false, 0, 91, 1},
        {"Amount >= 11", true, true, false, 2, 90, 0},  // 90 is not above 90 % of 100
        {"Amount >= 6 and Name = 'N1'", true, true, false, 2, 10, 0},
        {"Amount >= 6 or Name = 'N1'", true, true, false, 2, 95, 0},
        {"Amount >= 6 and Note = 'n'", true, true, false, 0, 95, 0},
    };
    for (const Case& k : cases) {
        TDataCursor& c = k.CostRule ? source : plain;
        uint8_t index = c.CurrentIndex;
        TFilter* f = Add(c, k.Text, k.Estimate, true, k.CaseInsensitive);
        EXPECT_EQ(f->OptimizeLevel, k.Level) << k.Text;
        EXPECT_EQ(f->Expression->OptimizeLevel, k.Level) << k.Text;
        EXPECT_EQ(f->Expression->EstimatedCount, k.Count) << k.Text;
        if (k.Count > 0) {
            EXPECT_GT(f->Expression->EstimatedCost, k.Count) << k.Text;
        }
        EXPECT_EQ(f->Expression->OptimizeFlag1, k.Flag1) << k.Text;
        EXPECT_EQ(c.CurrentIndex, index) << k.Text << ": the current index is restored";
        if (k.Level == 1) {
            const TExpToken* left = f->Expression->Left;
            ASSERT_NE(left->Left, nullptr);
            EXPECT_EQ(left->Left->ColumnName, "Name") << k.Text << ": the indexed operand goes first";
        }
        if (!k.Estimate) {
            EXPECT_EQ(f->Expression->EstimatedCost, -1);
        }
        c.DropFilter(f);
    }
}

TEST_F(FilterLevelsTest, IndexedConditionsReadNoRecordAndAndReadsOnlyTheirCandidates) {
    TDataCursor& c = Open("T", "*", true);
    struct {
        std::string Text;
        int32_t Count;
        int64_t Reads;
    } cases[] = {
        {"Name = 'N3'", 10, 0},
        {"Amount between 20 and 29 and UPPER(Code) = 'C1'", 2, 0},
        {"Name = 'N3' and Note = 'n'", 10, 10},  // only the ten candidates are read
        {"Note = 'n'", 100, 100},
    };
    for (const auto& k : cases) {
        TFilter* f = Add(c, k.Text);
        c.ResetFilterRecordReads();
        c.ActivateFilter(f);
        EXPECT_EQ(c.GetFilterRecordReads(), k.Reads) << k.Text;
        EXPECT_EQ(c.GetRecordCount(), k.Count) << k.Text;
        c.DropFilter(f);
    }
}

TEST_F(FilterLevelsTest, LargeRangesAreScannedThroughTheirComplement) {
    std::vector<int32_t> expected;
    for (int i = 41; i <= 100; ++i) expected.push_back(i);
    for (bool costBased : {true, false}) {
        TDataCursor& c = Open("T", "");
        TFilter* f = Add(c, "Amount > 40", true, costBased);
        c.ActivateFilter(f);
        EXPECT_EQ(c.GetComplementScans(), costBased ? 1 : 0);
        EXPECT_EQ(c.GetRecordCount(), 60);
        EXPECT_EQ(Walk(c), expected);
        EXPECT_EQ(c.GetFilterRecordReads(), 0);
    }
}

TEST_F(FilterLevelsTest, RecordNumbersCountVisibleRecordsInIndexOrder) {
    TDataCursor& c = Open("T", "ByName");
    TFilter* f = Add(c, "Amount > 50 and Note = 'n'");
    c.ActivateFilter(f);
    ASSERT_EQ(c.GetRecordCount(), 50);
    std::vector<int32_t> ids;
    c.SetToBegin();
    while (c.GetNextRecord(nullptr) == 0) {
        ids.push_back(IdOf(c));
        EXPECT_EQ(c.GetRecNo(), static_cast<int32_t>(ids.size()));
    }
    ASSERT_EQ(ids.size(), 50u);
    for (int32_t k : {1, 2, 25, 49, 50}) {
        EXPECT_TRUE(c.SetToRecNo(k)) << k;
        EXPECT_EQ(IdOf(c), ids[static_cast<size_t>(k - 1)]) << k;
        EXPECT_EQ(c.GetRecNo(), k);
    }
    EXPECT_FALSE(c.SetToRecNo(51));
    ASSERT_EQ(c.GetPriorRecord(nullptr), 0);
    EXPECT_EQ(c.GetRecNo(), 50);
    ASSERT_EQ(c.GetPriorRecord(nullptr), 0);
    EXPECT_EQ(c.GetRecNo(), 49);
    // Reached by key: counted when asked.
    c.SetToRecNo(30);
    std::vector<uint8_t> bookmark = c.GetBookmark();
    c.SetToBegin();
    ASSERT_TRUE(c.SetToBookmark(bookmark.data(), false, false));
    EXPECT_EQ(c.GetRecNo(), 30);
    ASSERT_EQ(c.GetNextRecord(nullptr), 0);
    EXPECT_EQ(c.GetRecNo(), 31);

    // Within a range: Names N2 .. N4 hold 30 records, 15 of them above 50.
    std::vector<uint8_t> from(c.GetRecordSize(), 0), to(c.GetRecordSize(), 0);
    c.ClearRecordBuffer(from.data());
    c.ClearRecordBuffer(to.data());
    c.PutField(2, from.data(), Text("N2").Bytes.data(), false, false);
    c.PutField(2, to.data(), Text("N4").Bytes.data(), false, false);
    c.SetRange(false, from.data(), 1, to.data(), 1);
    EXPECT_EQ(c.GetRecordCount(), 15);
    int32_t n = 0;
    c.SetToBegin();
    while (c.GetNextRecord(nullptr) == 0) EXPECT_EQ(c.GetRecNo(), ++n);
    EXPECT_EQ(n, 15);
    EXPECT_TRUE(c.SetToRecNo(15));
    EXPECT_FALSE(c.SetToRecNo(16));
}

// NULLs, the highest character and lists answered from the indexes, with the evaluator's rules.
TEST_F(FilterIndexTest, IndexPathKeepsTheEvaluatorsNullAndOrderRules) {
    TTableDefinition def;
    def.Fields = {Field(1, "Id", fldInteger), Field(2, "S", fldString, 4), Field(3, "N", fldInteger)};
    def.PrimaryIndex = Index("", {1}, true);
    def.SecondaryIndexes = {Index("iS", {2}), Index("iN", {3})};
    Create("E", def);
    TDataCursor& writer = Open("E", "");
    Insert(writer, {Int(1), Text("a"), Int(1)});
    Insert(writer, {Int(2), Null(), Null()});
    Insert(writer, {Int(3), Text("a\xFF"), Int(2)});
    Insert(writer, {Int(4), Text("b"), Int(3)});
    Insert(writer, {Int(5), Text("B"), Int(-1)});
    Insert(writer, {Int(6), Text("ab"), Null()});
    {
        // NULL flags over left-over value bytes: the values still read as NULL (zero, empty).
        std::vector<uint8_t> b(writer.GetRecordSize(), 0);
        writer.ClearRecordBuffer(b.data());
        writer.PutField(1, b.data(), Int(7).Bytes.data(), false, false);
        uint8_t* s = b.data() + writer.GetFieldDescs()[1].Offset;
        uint8_t* n = b.data() + writer.GetFieldDescs()[2].Offset;
        s[0] = 0;
        std::memcpy(s + 1, "zz", 2);
        n[0] = 0;
        PutInt32(n + 1, 5);
        writer.InsertRecord(b.data(), false);
    }
    TDataCursor& c = Open("E", "");
    TDataCursor& tested = Open("E", "");
    struct {
        std::string Text;
        std::vector<int32_t> Ids;
    } cases[] = {
        {"N <> 1", {2, 3, 4, 5, 6, 7}},  // NULL differs from every value
        {"N <> NULL", {1, 3, 4, 5}},
        {"N = NULL", {2, 6, 7}},
        {"N >= NULL", {2, 6, 7}},  // two NULLs compare their equal stored values
        {"N > NULL", {}},
        {"S > 'a\xFF'", {4}},
        {"S < 'a'", {2, 5, 7}},  // a NULL text orders as the empty text
        {"S >= ''", {1, 2, 3, 4, 5, 6, 7}},
        {"N <= NULL", {2, 6, 7}},
        {"S in ('a', NULL)", {1, 2, 7}},
        {"S not in ('a', 'b')", {2, 3, 5, 6, 7}},
        {"S not in ('a', NULL)", {3, 4, 5, 6}},
        {"N between 1 and 2", {1, 3}},
        {"N not between 1 and 2", {2, 4, 5, 6, 7}},
        {"S = 'a*'", {1, 3, 6}},
        {"S <> 'a*'", {2, 4, 5, 7}},
    };
    for (const auto& k : cases) {
        TFilter* f = Add(c, k.Text);
        EXPECT_EQ(f->OptimizeLevel, 2) << k.Text;
        c.ResetFilterRecordReads();
        c.ActivateFilter(f);
        EXPECT_EQ(Walk(c), k.Ids) << k.Text;
        EXPECT_EQ(c.GetFilterRecordReads(), 0) << k.Text;
        c.DropFilter(f);
        TFilter* g = Add(tested, k.Text);
        ForceRecordTests(*g);
        tested.ActivateFilter(g);
        EXPECT_EQ(Walk(tested), k.Ids) << k.Text << " (record tests)";
        tested.DropFilter(g);
    }
}

// Random small tables and random filters: the records an index path selects are, row for row,
// those the record-by-record test selects.
class FilterDifferentialTest : public FilterIndexTest {
protected:
    std::mt19937 Random{20261210};

    int Pick(int n) { return static_cast<int>(Random() % static_cast<unsigned>(n)); }
    bool Chance(int percent) { return Pick(100) < percent; }

    // Strings of up to 4 characters; case pairs, accented letters and the empty text.
    const std::vector<std::string> Texts = {"",   "a",    "A",    "ab",   "aB",  "Ab", "b", "B",
                                            "ba", "\xE9", "\xC9", "\xFF", "abc", "z",  "zz"};

    std::string Quote(const std::string& s) { return "'" + s + "'"; }

    std::string TextConstant() {
        int k = Pick(20);
        if (k == 0) return "NULL";
        if (k == 1) return "'abcdef'";  // longer than the field
        if (k == 2) return "'a*'";
        return Quote(Texts[static_cast<size_t>(Pick(static_cast<int>(Texts.size())))]);
    }
    std::string NumberConstant() {
        static const char* const values[] = {"-3", "-1", "0", "1", "2", "3", "0.5", "-1.5", "2.25", "NULL"};
        return values[Pick(10)];
    }
    std::string Op() {
        static const char* const ops[] = {"=", "<>", "<", ">", "<=", ">="};
        return ops[Pick(6)];
    }

    std::string Atom() {
        static const char* const texts[] = {"S", "T", "U"};
        static const char* const numbers[] = {"N", "F", "M", "Id"};
        std::string s = texts[Pick(3)];
        std::string n = numbers[Pick(4)];
        switch (Pick(12)) {
            case 0:
            case 1:
                return s + " " + Op() + " " + TextConstant();
            case 2:
                return "UPPER(" + s + ") " + Op() + " " + TextConstant();
            case 3:
            case 4:
                return n + " " + Op() + " " + NumberConstant();
            case 5:
                return (Chance(50) ? NumberConstant() + " " + Op() + " " + n
                                   : Quote(Texts[static_cast<size_t>(Pick(5))]) + " " + Op() + " " + s);
            case 6:
                return std::string(Chance(50) ? s : n) + (Chance(50) ? " is null" : " is not null");
            case 7:
                return s + (Chance(30) ? " not" : "") + " in (" + TextConstant() + ", " + TextConstant() +
                       ")";
            case 8:
                return n + (Chance(30) ? " not" : "") + " in (" + NumberConstant() + ", " + NumberConstant() +
                       ")";
            case 9:
                return n + (Chance(30) ? " not" : "") + " between " + NumberConstant() + " and " +
                       NumberConstant();
            case 10:
                return s + (Chance(30) ? " not" : "") + " between " + TextConstant() + " and " +
                       TextConstant();
            default:
                return s + (Chance(30) ? " not" : "") + " like '" + (Chance(50) ? "a" : "B") + "%'";
        }
    }

    std::string Condition(int depth) {
        if (depth == 0 || Chance(40)) return Atom();
        switch (Pick(3)) {
            case 0:
                return "(" + Condition(depth - 1) + ") and (" + Condition(depth - 1) + ")";
            case 1:
                return "(" + Condition(depth - 1) + ") or (" + Condition(depth - 1) + ")";
            default:
                return "not (" + Condition(depth - 1) + ")";
        }
    }

    TValue RandomText() {
        return Chance(15) ? Null() : Text(Texts[static_cast<size_t>(Pick(static_cast<int>(Texts.size())))]);
    }
};

TEST_F(FilterDifferentialTest, IndexPathSelectsWhatRecordTestsSelect) {
    int compared = 0, indexed = 0;
    for (int table = 0; table < 6; ++table) {
        std::string name = "R" + std::to_string(table);
        // S string (case-sensitive index), T string (case-insensitive index), U string (first
        // field of a case-sensitive index after F), N integer, F float, M smallint (no index).
        TTableDefinition def;
        def.Fields = {Field(1, "Id", fldInteger),  Field(2, "S", fldString, 4), Field(3, "T", fldString, 4),
                      Field(4, "U", fldString, 4), Field(5, "N", fldInteger),   Field(6, "F", fldFloat),
                      Field(7, "M", fldSmallInt)};
        def.PrimaryIndex = Index("", {1}, true);
        TIndexDescriptor iS = Index("iS", {2}), iT = Index("iT", {3}), iN = Index("iN", {5}),
                         iF = Index("iF", {6, 4}), iU = Index("iU", {4, 5});
        iS.Descending = table % 2;
        iT.CaseInsensitive = 1;
        iT.FieldDescending[0] = (table / 2) % 2;
        iN.Descending = (table + 1) % 2;
        iF.FieldDescending[0] = table % 3 == 0;
        iU.FieldDescending[0] = table % 3 == 1;
        def.SecondaryIndexes = {iS, iT, iN, iF, iU};
        Create(name, def);
        TDataCursor& writer = Open(name, "");
        int rows = 20 + Pick(20);
        for (int i = 1; i <= rows; ++i) {
            Insert(writer,
                   {Int(i), RandomText(), RandomText(), RandomText(), Chance(15) ? Null() : Int(Pick(7) - 3),
                    Chance(15) ? Null() : Float(std::vector<double>{-1.5, 0, 0.5, 2.25, 3}[Pick(5)]),
                    Small(static_cast<int16_t>(Pick(4)))});
        }
        writer.Refresh();
        // A few deleted records, so the live records are not all the physical ones.
        for (int d = 0; d < 3; ++d) {
            writer.SetToRecNo(1 + Pick(writer.GetRecordCount()));
            std::vector<uint8_t> b(writer.GetRecordSize());
            ASSERT_EQ(writer.GetCurrentRecord(b.data(), false), 0);
            writer.DeleteRecord(b.data(), true);
        }
        static const char* const orders[] = {"*", "", "iS", "iT", "iN", "iF", "iU"};
        std::string order = orders[Pick(7)];
        TDataCursor& byIndex = Open(name, order, table % 2 == 1);
        TDataCursor& byRecord = Open(name, order, table % 2 == 1);
        for (int k = 0; k < 60; ++k) {
            std::string text = Condition(2);
            bool ci = Chance(30), noPartial = Chance(30), estimate = Chance(70), cost = Chance(70);
            TFilter* f = nullptr;
            try {
                f = Add(byIndex, text, estimate, cost, ci, noPartial);
            } catch (const EDbEngineError&) {
                continue;  // a combination the type checker refuses
            }
            TFilter* g = Add(byRecord, text, estimate, cost, ci, noPartial);
            ForceRecordTests(*g);
            byIndex.ActivateFilter(f);
            byRecord.ActivateFilter(g);
            if (f->OptimizeLevel != 0) ++indexed;
            ++compared;
            EXPECT_EQ(Walk(byIndex), Walk(byRecord))
                << name << " order '" << order << "': " << text << (ci ? " [case-insensitive]" : "")
                << (noPartial ? " [no partial]" : "");
            EXPECT_EQ(byIndex.GetRecordCount(), byRecord.GetRecordCount()) << text;
            byIndex.DropFilter(f);
            byRecord.DropFilter(g);
        }
    }
    EXPECT_GT(compared, 250);
    EXPECT_GT(indexed, compared / 4) << "the index path must be taken often enough to be tested";
}

}  // namespace
}  // namespace dbengine
