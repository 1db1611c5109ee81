#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <set>

#include "dbengine/cursor/DataCursor.h"
#include "dbengine/expr/ExpToken.h"
#include "dbengine/index/IndexKeys.h"
#include "dbengine/index/testsupport/IndexTestSupport.h"
#include "dbengine/testsupport/ErrorCode.h"
#include "dbengine/testsupport/TableFixture.h"

namespace dbengine {
namespace {

using testsupport::CodeOf;

struct TRow {
    std::string Name;
    std::string City;
    int32_t Count;
};

// Name (string 20, primary index), City (string 20), Amount (integer, index "ByCount").
class CursorFiltersTest : public testsupport::TableFixture {
protected:
    void SetUp() override {
        TableFixture::SetUp();
        TTableDefinition def;
        def.Fields = {Field(1, "Name", 20), Field(2, "City", 20), Field(3, "Amount", 0)};
        def.Fields[2].FieldType = fldInteger;
        def.PrimaryIndex.FieldNumbers[0] = 1;
        def.PrimaryIndex.Unique = 1;
        TIndexDescriptor byCount;
        byCount.Name = "ByCount";
        byCount.FieldNumbers[0] = 3;
        def.SecondaryIndexes = {byCount};
        TDataCursor creator(Database);
        creator.SetTableName("T");
        creator.SetExclusive(true);
        creator.CreateTable(def, false, false);
    }

    static TFieldDescriptor Field(int16_t no, const std::string& name, uint8_t size) {
        TFieldDescriptor d;
        d.FieldNo = no;
        d.Name = name;
        d.FieldType = fldString;
        d.Size = size;
        return d;
    }

    // Natural order (a query source) unless an index is named.
    std::unique_ptr<TDataCursor> Open(const std::string& index = {}) {
        auto c = std::make_unique<TDataCursor>(Database);
        c->SetTableName("T");
        c->SetQuerySource(index.empty());
        c->OpenCursor();
        if (!index.empty()) c->SetIndexName(index);
        return c;
    }

    static uint16_t Offset(TDataTable& t, uint16_t field) {
        return t.DataFile->GetFieldDescriptor(field).Offset;
    }

    static std::vector<uint8_t> Buffer(TDataCursor& c, const TRow& row) {
        std::vector<uint8_t> b(c.GetRecordSize(), 0);
        TDataTable& t = *c.GetTable();
        b[Offset(t, 1)] = 1;
        std::memcpy(b.data() + Offset(t, 1) + 1, row.Name.c_str(), row.Name.size() + 1);
        b[Offset(t, 2)] = 1;
        std::memcpy(b.data() + Offset(t, 2) + 1, row.City.c_str(), row.City.size() + 1);
        b[Offset(t, 3)] = 1;
        PutInt32(b.data() + Offset(t, 3) + 1, row.Count);
        return b;
    }

    // Writes the record and its keys as an insert through a cursor would; its number.
    static int32_t Insert(TDataCursor& c, const TRow& row) {
        TDataTable& t = *c.GetTable();
        int32_t r = t.DataFile->RecordCount() + 1;
        TRecord* rec = nullptr;
        EXPECT_TRUE(t.DataFile->GetRecord(nullptr, r, 1, false, false, rec));
        rec->Init(true);
        std::vector<uint8_t> b = Buffer(c, row);
        std::memcpy(rec->Data() + 1, b.data() + 1, t.DataFile->RecordSize() - 1);
        rec->Modified = true;
        TIndexCursor ic(t.IndexFile.get());
        std::vector<uint8_t> key(MaxKeyFieldPart);
        for (int i = 0; i <= t.IndexFile->GetIndexCount(); ++i) {
            ic.CurrentIndex = static_cast<uint8_t>(i);
            BuildKey(*t.IndexFile, ic.CurrentIndex, 0, 0, rec->Data(), key.data(), rec->Data());
            testsupport::TreeInsert(ic, key.data(), r);
        }
        ic.CurrentIndex = SysDeletedIndex;
        BuildRecordIdKey(rec->Data(), key.data(), rec->Data());
        testsupport::TreeInsert(ic, key.data(), r);
        t.IndexFile->IncRecordCount();
        t.DataFile->ReleaseRecord(rec);
        return r;
    }

    void Fill(TDataCursor& c) {
        for (const TRow& row : Rows) Insert(c, row);
        c.Refresh();
    }

    static std::string NameOf(TDataCursor& c) {
        return reinterpret_cast<const char*>(c.GetRecordObject()->Data() + Offset(*c.GetTable(), 1) + 1);
    }

    static std::vector<std::string> Walk(TDataCursor& c) {
        std::vector<std::string> names;
        c.SetToBegin();
        while (c.GetNextRecord(nullptr) == 0) names.push_back(NameOf(c));
        return names;
    }

    static std::set<std::string> Visible(TDataCursor& c) {
        auto names = Walk(c);
        return {names.begin(), names.end()};
    }

    TFilter* AddText(TDataCursor& c, const std::string& text, bool caseInsensitive = false,
                     bool noPartial = false) {
        return c.AddFilter(nullptr, text, nullptr, false, nullptr, false, true, true, caseInsensitive,
                           noPartial);
    }

    static std::string MessageOf(const std::function<void()>& f) {
        try {
            f();
        } catch (const EDbEngineError& e) {
            return e.what();
        }
        return "no error";
    }

    const std::vector<TRow> Rows = {{"Evans", "Rome", 50},  {"Baker", "Paris", 20}, {"Adams", "Oslo", 10},
                                    {"Davis", "Paris", 40}, {"Clark", "Bonn", 30},  {"Bakst", "Lima", 30}};
};

TEST_F(CursorFiltersTest, RefusesTooManyUnknownAndInvalidFilters) {
    auto c = Open();
    Fill(*c);
    for (int i = 0; i < 64; ++i) ASSERT_NE(AddText(*c, "Amount > " + std::to_string(i)), nullptr) << i;
    EXPECT_EQ(MessageOf([&] { AddText(*c, "Amount > 0"); }),
              "Engine Error # 9482 Too many filters defined for the table 'T'");
    c->DropFilter(nullptr);
    TFilter* f = AddText(*c, "Amount > 0");
    c->DropFilter(f);
    EXPECT_EQ(MessageOf([&] { c->DropFilter(f); }),
              "Engine Error # 10050 Invalid filter handle specified for the table 'T'");
    EXPECT_EQ(CodeOf([&] { c->ActivateFilter(f); }), DBE_NOSUCHFILTER);
    EXPECT_EQ(CodeOf([&] { c->DeactivateFilter(f); }), DBE_NOSUCHFILTER);

    struct {
        std::string Text;
        std::string Message;
    } cases[] = {
        {"", "filter expression is invalid"},
        {"   ", "filter expression is empty"},
        {"Amount + 1", "filter expression must be a boolean expression"},
        {"Amount = 1 garbage", "Unknown or unexpected symbol 'garbage'"},
        {"Amount = 1)", "Unknown or unexpected symbol ')'"},
        {"Nothing = 1", "Nothing"},
    };
    for (const auto& k : cases) {
        std::string m = MessageOf([&] { AddText(*c, k.Text); });
        EXPECT_EQ(m.rfind("Engine Error # 10051 Filter error for the table 'T' - ", 0), 0u)
            << k.Text << ": " << m;
        EXPECT_NE(m.find(k.Message), std::string::npos) << k.Text << ": " << m;
    }
    EXPECT_TRUE(c->GetFilters().empty());
    c->CloseCursor(false);
}

TEST_F(CursorFiltersTest, ActivationRestrictsTheVisibleRecordsAndTheCount) {
    auto c = Open();
    Fill(*c);
    ASSERT_EQ(c->GetRecordCount(), 6);
    c->SetToBegin();
    ASSERT_EQ(c->GetNextRecord(nullptr), 0);
    ASSERT_EQ(c->GetNextRecord(nullptr), 0);
    ASSERT_EQ(NameOf(*c), "Baker");
    TFilter* f = AddText(*c, "City = 'Paris'");
    EXPECT_EQ(c->GetRecordCount(), 6) << "an inactive filter changes nothing";
    c->ActivateFilter(f);
    EXPECT_EQ(c->GetRecordCount(), 2);
    EXPECT_EQ(Walk(*c), (std::vector<std::string>{"Baker", "Davis"}));
    ASSERT_EQ(c->GetNextRecord(nullptr), 8706);
    c->SetToBegin();
    ASSERT_EQ(c->GetNextRecord(nullptr), 0);
    c->DeactivateFilter(f);
    EXPECT_EQ(c->GetRecordCount(), 6);
    EXPECT_EQ(NameOf(*c), "Baker") << "the cursor stays on its record";
    EXPECT_EQ(Walk(*c).size(), 6u);
    c->CloseCursor(false);
}

TEST_F(CursorFiltersTest, TextFiltersMatchAsTheEvaluatorDoes) {
    auto c = Open();
    Fill(*c);
    struct {
        std::string Text;
        bool CaseInsensitive;
        bool NoPartial;
        std::set<std::string> Names;
    } cases[] = {
        {"Amount > 30", false, false, {"Evans", "Davis"}},
        {"30 < Amount", false, false, {"Evans", "Davis"}},
        {"Name = 'Adams' or 30 < Amount", false, false, {"Adams", "Evans", "Davis"}},
        {"not (20 >= Amount)", false, false, {"Evans", "Davis", "Clark", "Bakst"}},
        {"Name = 'Bak*'", false, false, {"Baker", "Bakst"}},
        {"Name = 'Bak*'", false, true, {}},
        {"City = 'paris'", false, false, {}},
        {"City = 'paris'", true, false, {"Baker", "Davis"}},
        {"\"City\" = \"PARIS\" and \"Name\" = \"davis\"", true, false, {"Davis"}},
        {"City in ('Rome', 'Oslo') or Amount between 25 and 30",
         false,
         false,
         {"Evans", "Adams", "Clark", "Bakst"}},
    };
    for (const auto& k : cases) {
        TFilter* f = AddText(*c, k.Text, k.CaseInsensitive, k.NoPartial);
        c->ActivateFilter(f);
        EXPECT_EQ(Visible(*c), k.Names) << k.Text;
        EXPECT_EQ(c->GetRecordCount(), static_cast<int32_t>(k.Names.size())) << k.Text;
        c->DropFilter(f);
    }
    EXPECT_EQ(c->GetRecordCount(), 6);
    c->CloseCursor(false);
}

TEST_F(CursorFiltersTest, ComparisonsPutTheColumnOnTheLeftAtEveryDepth) {
    auto c = Open();
    Fill(*c);
    TExpTreeHolder t(c->ParseFilterExpression("1 < Amount and not (Name = 'x' or 'y' >= City)"));
    c->CheckFilterExpression(t.get());
    TDataCursor::NormalizeComparisons(t.get());
    std::vector<const TExpToken*> comparisons;
    std::vector<const TExpToken*> pending{t.get()};
    while (!pending.empty()) {
        const TExpToken* n = pending.back();
        pending.pop_back();
        if (n == nullptr) continue;
        if (n->Code >= ecEqual && n->Code <= ecLessOrEqual && n->Left != nullptr && n->Right != nullptr)
            comparisons.push_back(n);
        pending.push_back(n->Left);
        pending.push_back(n->Right);
    }
    ASSERT_EQ(comparisons.size(), 3u);
    std::set<uint8_t> codes;
    for (const TExpToken* n : comparisons) {
        EXPECT_TRUE(ExpTreeHasColumn(n->Left));
        EXPECT_FALSE(ExpTreeHasColumn(n->Right));
        codes.insert(n->Code);
    }
    EXPECT_EQ(codes, (std::set<uint8_t>{ecGreater, ecEqual, ecLessOrEqual}));
    c->CloseCursor(false);
}

TEST_F(CursorFiltersTest, CallbackFiltersRunLastOnlyForRecordsThatPassedTheExpressions) {
    auto c = Open();
    Fill(*c);
    int calls = 0;
    std::set<std::string> asked;
    TFilterCallback callback = [&](void* owner, TDataCursor& cursor, const uint8_t* buffer, int32_t) {
        EXPECT_EQ(owner, this);
        EXPECT_EQ(&cursor, c.get());
        ++calls;
        std::string name = reinterpret_cast<const char*>(buffer + Offset(*cursor.GetTable(), 1) + 1);
        asked.insert(name);
        return name != "Davis";
    };
    TFilter* cb = c->AddFilter(this, {}, nullptr, false, callback, true, true, true, false, false);
    TFilter* e = AddText(*c, "City = 'Paris' or City = 'Rome'");
    ASSERT_EQ(c->GetFilters().size(), 2u);
    EXPECT_EQ(c->GetFilters()[0].get(), e) << "expression filters go before those evaluated last";
    EXPECT_EQ(c->GetFilters()[1].get(), cb);
    c->ActivateFilter(nullptr);
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(asked, (std::set<std::string>{"Evans", "Baker", "Davis"}));
    EXPECT_EQ(Visible(*c), (std::set<std::string>{"Evans", "Baker"}));
    c->CloseCursor(false);
}

TEST_F(CursorFiltersTest, InsertedAndDeletedRecordsFollowTheActiveFilters) {
    auto c = Open();
    Fill(*c);
    TFilter* f = AddText(*c, "Amount >= 30");
    c->ActivateFilter(f);
    ASSERT_EQ(c->GetRecordCount(), 4);
    for (const TRow& row : {TRow{"Frost", "Kiel", 5}, TRow{"Grant", "Kiel", 60}}) {
        int32_t r = Insert(*c, row);
        std::vector<uint8_t> b = Buffer(*c, row);
        c->BitmapsRecordInserted(r, b.data());
        c->CombineBitmaps();
    }
    EXPECT_EQ(c->GetRecordCount(), 5);
    EXPECT_EQ(Visible(*c), (std::set<std::string>{"Evans", "Davis", "Clark", "Bakst", "Grant"}));
    c->BitmapsRecordDeleted(1);  // Evans
    c->CombineBitmaps();
    EXPECT_EQ(Visible(*c), (std::set<std::string>{"Davis", "Clark", "Bakst", "Grant"}));
    c->CloseCursor(false);
}

TEST_F(CursorFiltersTest, IndexOrderWithRangeAndFilterShowsTheirIntersection) {
    auto c = Open("ByCount");
    Fill(*c);
    std::vector<uint8_t> low = Buffer(*c, {"", "", 20}), high = Buffer(*c, {"", "", 40});
    std::vector<uint8_t> lowKey(MaxKeyFieldPart, 0), highKey(MaxKeyFieldPart, 0);
    c->BuildKey(low.data(), lowKey.data());
    c->BuildKey(high.data(), highKey.data());
    c->SetRange(true, lowKey.data(), 1, highKey.data(), 1);
    ASSERT_EQ(c->GetRecordCount(), 4);
    TFilter* f = AddText(*c, "City <> 'Paris'");
    c->ActivateFilter(f);
    EXPECT_EQ(Visible(*c), (std::set<std::string>{"Clark", "Bakst"}));
    EXPECT_EQ(c->GetRecordCount(), 2);
    auto clone = c->CloneCursor();
    EXPECT_EQ(Walk(*clone), Walk(*c));
    clone->CloseCursor(false);
    c->DeactivateFilter(f);
    EXPECT_EQ(c->GetRecordCount(), 4);
    c->CloseCursor(false);
}

TEST_F(CursorFiltersTest, IndexOrderIsKeptUnderAFilterBothWays) {
    auto c = Open("ByCount");
    Fill(*c);
    std::vector<std::string> all = Walk(*c);
    ASSERT_EQ(all.size(), 6u);
    std::vector<std::string> expected;
    for (const std::string& name : all)
        if (name != "Baker" && name != "Davis" && name != "Adams") expected.push_back(name);
    TFilter* f = AddText(*c, "City <> 'Paris' and Name <> 'Adams'");
    c->ActivateFilter(f);
    EXPECT_EQ(Walk(*c), expected);
    std::vector<std::string> backward;
    c->SetToEnd();
    while (c->GetPriorRecord(nullptr) == 0) backward.push_back(NameOf(*c));
    EXPECT_EQ(std::vector<std::string>(backward.rbegin(), backward.rend()), expected);
    c->SetToBegin();
    ASSERT_EQ(c->GetNextRecord(nullptr), 0);
    ASSERT_EQ(c->GetNextRecord(nullptr), 0);
    EXPECT_EQ(NameOf(*c), expected[1]);
    ASSERT_EQ(c->GetNextRecord(nullptr), 0);
    ASSERT_EQ(NameOf(*c), "Evans");  // the only key 50: found again by its key
    c->DeactivateFilter(f);
    EXPECT_EQ(NameOf(*c), "Evans") << "the cursor stays on its record";
    EXPECT_EQ(Walk(*c), all);
    c->CloseCursor(false);
}

// A loop that deletes each record it reaches must reach every record in view, in either
// direction: the next move after a delete lands on the record that followed the deleted one.
TEST_F(CursorFiltersTest, DeletingWhileWalkingReachesEveryRecordInView) {
    struct TCase {
        const char* Index;   // empty: natural order
        bool Range;          // Amount 20 to 40
        const char* Filter;  // empty: none
        bool Backward;
        std::set<std::string> Kept;
    };
    // ByCount order: Adams 10, Baker 20, Bakst 30, Clark 30, Davis 40, Evans 50.
    const std::vector<TCase> cases = {
        {"ByCount", true, "City <> 'Oslo'", false, {"Adams", "Evans"}},
        {"ByCount", true, "City <> 'Oslo'", true, {"Adams", "Evans"}},
        {"ByCount", true, "City <> 'Lima'", false, {"Adams", "Bakst", "Evans"}},
        {"ByCount", true, "", false, {"Adams", "Evans"}},
        {"ByCount", false, "", false, {}},
        {"ByCount", false, "", true, {}},
        {"ByCount", false, "Amount >= 20", false, {"Adams"}},
        {"", false, "Amount >= 20", false, {"Adams"}},
    };
    for (const TCase& k : cases) {
        SCOPED_TRACE(std::string(k.Index) + (k.Range ? " range " : " ") + k.Filter +
                     (k.Backward ? " backward" : ""));
        {
            TDataCursor eraser(Database);
            eraser.SetTableName("T");
            eraser.SetExclusive(true);
            eraser.OpenCursor();
            eraser.EmptyTable();
            eraser.CloseCursor(false);
        }
        auto c = Open(k.Index);
        std::vector<uint8_t> b(c->GetRecordSize());
        for (const TRow& row : Rows) {
            b = Buffer(*c, row);
            c->InsertRecord(b.data(), false);
        }
        if (k.Range) {
            std::vector<uint8_t> low = Buffer(*c, {"", "", 20}), high = Buffer(*c, {"", "", 40});
            c->SetRange(false, low.data(), 1, high.data(), 1);
        }
        if (*k.Filter != 0) c->ActivateFilter(AddText(*c, k.Filter));
        std::vector<std::string> inView = k.Backward ? std::vector<std::string>{} : Walk(*c);
        if (k.Backward) {
            c->SetToEnd();
            while (c->GetPriorRecord(nullptr) == 0) inView.push_back(NameOf(*c));
        }
        std::vector<std::string> deleted;
        if (k.Backward)
            c->SetToEnd();
        else
            c->SetToBegin();
        while ((k.Backward ? c->GetPriorRecord(b.data()) : c->GetNextRecord(b.data())) == 0) {
            deleted.push_back(NameOf(*c));
            c->DeleteRecord(b.data(), false);
        }
        EXPECT_EQ(deleted, inView);
        EXPECT_EQ(c->GetRecordCount(), 0);
        c->CloseCursor(false);
        auto all = Open("ByCount");
        std::vector<std::string> left = Walk(*all);
        EXPECT_EQ(std::set<std::string>(left.begin(), left.end()), k.Kept);
        all->CloseCursor(false);
    }
}

TEST_F(CursorFiltersTest, GivenTreesAreUsedAndReplacedOnActiveFiltersOnly) {
    auto c = Open();
    Fill(*c);
    auto prepared = [&](const std::string& text) {
        TExpTreeHolder t(c->ParseFilterExpression(text));
        c->CheckFilterExpression(t.get());
        return t.release();
    };
    TFilter* f = c->AddFilter(nullptr, {}, prepared("City = 'Paris'"), true, nullptr, false, false, false,
                              false, false);
    TExpTreeHolder spare(prepared("City = 'Bonn'"));
    EXPECT_EQ(CodeOf([&] { c->ReplaceFilterExpression(spare.get(), f); }), DBE_NOSUCHFILTER)
        << "an inactive filter";
    c->ActivateFilter(f);
    EXPECT_EQ(Visible(*c), (std::set<std::string>{"Baker", "Davis"}));
    c->ReplaceFilterExpression(nullptr, f);
    EXPECT_EQ(c->GetRecordCount(), 2);
    c->ReplaceFilterExpression(spare.release(), f);
    EXPECT_EQ(Visible(*c), (std::set<std::string>{"Clark"}));
    c->CloseCursor(false);
    EXPECT_TRUE(c->GetFilters().empty()) << "closing frees the filters";
}

TEST_F(CursorFiltersTest, CloneShowsTheSameRecordsOnTheSameRecord) {
    auto c = Open();
    Fill(*c);
    TFilter* active = AddText(*c, "Amount >= 30");
    AddText(*c, "Name = 'Evans'");  // inactive: the clone keeps it inactive
    c->ActivateFilter(active);
    c->SetToBegin();
    ASSERT_EQ(c->GetNextRecord(nullptr), 0);
    ASSERT_EQ(c->GetNextRecord(nullptr), 0);
    std::string current = NameOf(*c);
    auto clone = c->CloneCursor();
    ASSERT_EQ(clone->GetFilters().size(), 2u);
    EXPECT_TRUE(clone->GetFilters()[0]->Active);
    EXPECT_FALSE(clone->GetFilters()[1]->Active);
    EXPECT_EQ(NameOf(*clone), current);
    EXPECT_EQ(clone->GetRecordCount(), c->GetRecordCount());
    EXPECT_EQ(Walk(*clone), Walk(*c));
    clone->CloseCursor(false);
    c->CloseCursor(false);
}

// A filter that shows a few records out of many: the walk in index order goes from visible
// record to visible record by their keys, and must give what a walk over every entry gives.
class SparseFilterWalkTest : public CursorFiltersTest {
protected:
    static constexpr int SparseRows = 1300;

    // Every 100th row lives in Rome; Amount repeats, so the ByCount keys tie on the amount.
    static TRow SparseRow(int i) {
        char name[16];
        std::snprintf(name, sizeof name, "N%04d", i);
        return {name, i % 100 == 7 ? "Rome" : "Kiel", (i * 37) % 11};
    }

    static void Put(TDataCursor& c, std::vector<uint8_t>& b, const TRow& row) {
        c.ClearRecordBuffer(b.data());
        uint8_t v[24] = {};
        std::memcpy(v, row.Name.c_str(), row.Name.size());
        c.PutField(1, b.data(), v, false, false);
        std::memset(v, 0, sizeof v);
        std::memcpy(v, row.City.c_str(), row.City.size());
        c.PutField(2, b.data(), v, false, false);
        PutInt32(v, row.Count);
        c.PutField(3, b.data(), v, false, false);
    }

    std::unique_ptr<TDataCursor> FilledByCount() {
        auto c = Open("ByCount");
        std::vector<uint8_t> b(c->GetRecordSize());
        for (int i = 0; i < SparseRows; ++i) {
            Put(*c, b, SparseRow(i));
            c->InsertRecord(b.data(), false);
        }
        return c;
    }

    // The names an unfiltered walk gives whose city is Rome, in that order.
    static std::vector<std::string> RomeInIndexOrder(TDataCursor& c) {
        std::vector<std::string> names;
        c.SetToBegin();
        while (c.GetNextRecord(nullptr) == 0) {
            const char* city =
                reinterpret_cast<const char*>(c.GetRecordObject()->Data() + Offset(*c.GetTable(), 2) + 1);
            if (std::string(city) == "Rome") names.push_back(NameOf(c));
        }
        return names;
    }

    static std::vector<std::string> WalkBack(TDataCursor& c) {
        std::vector<std::string> names;
        c.SetToEnd();
        while (c.GetPriorRecord(nullptr) == 0) names.push_back(NameOf(c));
        return {names.rbegin(), names.rend()};
    }
};

TEST_F(SparseFilterWalkTest, WalksPositionsAndRangesAsTheFullWalkDoes) {
    auto c = FilledByCount();
    std::vector<std::string> expected = RomeInIndexOrder(*c);
    ASSERT_EQ(expected.size(), 13u);
    TFilter* f = AddText(*c, "City = 'Rome'");
    c->ActivateFilter(f);
    EXPECT_EQ(Walk(*c), expected);
    EXPECT_EQ(WalkBack(*c), expected);
    // Positions by number move several visible records at once, both ways.
    for (int32_t n : {5, 1, 13, 2, 12}) {
        ASSERT_TRUE(c->SetToRecNo(n)) << n;
        EXPECT_EQ(NameOf(*c), expected[static_cast<size_t>(n - 1)]) << n;
    }
    EXPECT_FALSE(c->SetToRecNo(14));
    // Off the last visible record the walk ends, and a step back finds it again.
    ASSERT_TRUE(c->SetToRecNo(13));
    EXPECT_EQ(c->GetNextRecord(nullptr), DBE_EOF);
    ASSERT_EQ(c->GetPriorRecord(nullptr), 0);
    EXPECT_EQ(NameOf(*c), expected.back());
    // Inside a range of amounts only the visible records of the range.
    std::vector<uint8_t> low = Buffer(*c, {"", "", 3}), high = Buffer(*c, {"", "", 6});
    std::vector<uint8_t> lowKey(MaxKeyFieldPart, 0), highKey(MaxKeyFieldPart, 0);
    c->BuildKey(low.data(), lowKey.data());
    c->BuildKey(high.data(), highKey.data());
    c->DeactivateFilter(f);
    c->SetRange(true, lowKey.data(), 1, highKey.data(), 1);
    std::vector<std::string> inRange = RomeInIndexOrder(*c);
    ASSERT_FALSE(inRange.empty());
    ASSERT_LT(inRange.size(), expected.size());
    c->ActivateFilter(f);
    EXPECT_EQ(Walk(*c), inRange);
    EXPECT_EQ(WalkBack(*c), inRange);
    c->CloseCursor(false);
}

TEST_F(SparseFilterWalkTest, FollowsRecordsAnotherCursorChangesAddsAndDeletes) {
    auto c = FilledByCount();
    TFilter* f = AddText(*c, "City = 'Rome'");
    c->ActivateFilter(f);
    std::vector<std::string> before = Walk(*c);
    ASSERT_EQ(before.size(), 13u);
    auto other = Open("ByCount");
    other->SetIndexNumber(0);  // found by name
    std::vector<uint8_t> b(other->GetRecordSize());
    // A visible record moves to the other end of the index, one becomes visible, one goes.
    Put(*other, b, SparseRow(7));
    ASSERT_TRUE(other->FindKey(false, b.data(), 1, false, 0, b.data()));
    Put(*other, b, {"N0007", "Rome", 99});
    other->ModifyRecord(b.data(), true, false);
    Put(*other, b, {"N2000", "Rome", -5});
    other->InsertRecord(b.data(), false);
    Put(*other, b, SparseRow(1207));
    ASSERT_TRUE(other->FindKey(false, b.data(), 1, false, 0, b.data()));
    other->DeleteRecord(b.data(), false);
    other->CloseCursor(false);

    c->DeactivateFilter(f);
    std::vector<std::string> expected = RomeInIndexOrder(*c);
    c->ActivateFilter(f);
    ASSERT_EQ(expected.size(), 13u);
    EXPECT_EQ(expected.front(), "N2000");
    EXPECT_EQ(expected.back(), "N0007");
    EXPECT_EQ(Walk(*c), expected);
    EXPECT_EQ(WalkBack(*c), expected);
    c->CloseCursor(false);
}

}  // namespace
}  // namespace dbengine
