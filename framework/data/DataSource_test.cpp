// Data sources and links: the buffer window a grid sees, the notifications controls receive,
// field links and master/detail links.

#include "framework/data/DataSource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>

#include <string>
#include <vector>

#include "framework/testsupport/MemDataSet.h"

using namespace framework;
using framework::testsupport::TMemDataSet;

namespace {

void OpenNumbers(TMemDataSet& ds, int count) {
    ds.FieldDefs.Add("N", ftInteger);
    ds.FieldDefs.Add("Text", ftString, 10);
    ds.Open();
    for (int i = 1; i <= count; ++i) ds.AppendRecord({Variant(i), Variant("r" + std::to_string(i))});
    ds.First();
}

// A link that records what a grid would be told and can read its rows.
class GridLink : public TDataLink {
public:
    std::vector<std::string> log;
    // The value of N in each buffered row, as a grid paints them.
    std::vector<int> Rows() {
        std::vector<int> rows;
        int saved = ActiveRecord();
        for (int r = 0; r < RecordCount(); ++r) {
            SetActiveRecord(r);
            rows.push_back(DataSet()->FieldByName("N")->AsInteger());
        }
        SetActiveRecord(saved);
        return rows;
    }
    std::string Take() {
        std::string out;
        for (auto& s : log) out += (out.empty() ? "" : " ") + s;
        log.clear();
        return out;
    }

protected:
    void ActiveChanged() override { log.push_back(Active() ? "active" : "inactive"); }
    void DataSetChanged() override { log.push_back("changed"); }
    void DataSetScrolled(int distance) override {
        log.push_back("scrolled(" + std::to_string(distance) + ")");
    }
    void EditingChanged() override { log.push_back(Editing() ? "editing" : "not-editing"); }
    void LayoutChanged() override { log.push_back("layout"); }
    void RecordChanged(TField* field) override {
        log.push_back("record(" + (field ? field->FieldName : std::string("nil")) + ")");
    }
    void UpdateData() override { log.push_back("update"); }
    void CheckBrowseMode() override { log.push_back("check"); }
};

}  // namespace

TEST(DataLink, WindowOfFiveBuffersFollowsScrolling) {
    TMemDataSet ds;
    OpenNumbers(ds, 30);
    TDataSource source;
    source.SetDataSet(&ds);
    GridLink grid;
    grid.SetDataSource(&source);
    grid.SetBufferCount(5);
    ASSERT_TRUE(grid.Active());
    EXPECT_EQ(ds.BufferCount(), 5);
    EXPECT_EQ(grid.ActiveRecord(), 0);
    EXPECT_EQ(grid.Rows(), (std::vector<int>{1, 2, 3, 4, 5}));
    grid.Take();

    struct Move {
        int by;
        int activeRecord;
        std::vector<int> rows;
        const char* told;
        int current;
    };
    const Move moves[] = {
        {1, 1, {1, 2, 3, 4, 5}, "check scrolled(0)", 2},
        {5, 4, {3, 4, 5, 6, 7}, "check scrolled(2)", 7},
        {-20, 0, {1, 2, 3, 4, 5}, "check scrolled(-2)", 1},
        {28, 4, {25, 26, 27, 28, 29}, "check scrolled(24)", 29},
        {5, 4, {26, 27, 28, 29, 30}, "check scrolled(1)", 30},
        {-3, 1, {26, 27, 28, 29, 30}, "check scrolled(0)", 27},
    };
    for (const Move& m : moves) {
        ds.MoveBy(m.by);
        EXPECT_EQ(grid.ActiveRecord(), m.activeRecord) << m.by;
        EXPECT_EQ(grid.Rows(), m.rows) << m.by;
        EXPECT_EQ(grid.Take(), m.told) << m.by;
        EXPECT_EQ(ds.FieldByName("N")->AsInteger(), m.current) << m.by;
    }
    ds.Last();
    EXPECT_EQ(grid.ActiveRecord(), 4);
    EXPECT_EQ(grid.Rows(), (std::vector<int>{26, 27, 28, 29, 30}));
    ds.First();
    EXPECT_EQ(grid.ActiveRecord(), 0);
    EXPECT_EQ(grid.Rows(), (std::vector<int>{1, 2, 3, 4, 5}));
}

TEST(DataLink, SmallDatasetFillsPartOfTheWindowAndGrowingTheWindowFetchesEarlierRows) {
    TMemDataSet ds;
    OpenNumbers(ds, 3);
    TDataSource source;
    source.SetDataSet(&ds);
    GridLink grid;
    grid.SetDataSource(&source);
    grid.SetBufferCount(10);
    EXPECT_EQ(grid.RecordCount(), 3);
    EXPECT_EQ(grid.Rows(), (std::vector<int>{1, 2, 3}));

    TMemDataSet big;
    OpenNumbers(big, 20);
    big.Last();  // one buffer, holding 20
    TDataSource bigSource;
    bigSource.SetDataSet(&big);
    GridLink tall;
    tall.SetDataSource(&bigSource);
    tall.SetBufferCount(4);
    EXPECT_EQ(tall.Rows(), (std::vector<int>{17, 18, 19, 20}));
    EXPECT_EQ(tall.ActiveRecord(), 3);
    // Shrinking keeps the current record in view.
    tall.SetBufferCount(2);
    EXPECT_EQ(tall.Rows(), (std::vector<int>{19, 20}));
    EXPECT_EQ(tall.ActiveRecord(), 1);
}

TEST(DataLink, TwoLinksOfDifferentHeightsShareTheRing) {
    TMemDataSet ds;
    OpenNumbers(ds, 20);
    TDataSource source;
    source.SetDataSet(&ds);
    GridLink small, large;
    small.SetDataSource(&source);
    large.SetDataSource(&source);
    small.SetBufferCount(3);
    large.SetBufferCount(6);
    EXPECT_EQ(ds.BufferCount(), 6);
    small.Take();
    ds.MoveBy(7);  // on 8
    EXPECT_EQ(small.Take(), "check scrolled(5)");
    EXPECT_EQ(large.Rows(), (std::vector<int>{3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(small.Rows(), (std::vector<int>{6, 7, 8}));
    EXPECT_EQ(small.ActiveRecord(), 2);
    ds.MoveBy(-4);  // on 4: inside the large window, the small one moves up
    EXPECT_EQ(large.Rows(), (std::vector<int>{3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(small.Rows(), (std::vector<int>{4, 5, 6}));
    EXPECT_EQ(small.ActiveRecord(), 0);
    EXPECT_EQ(small.Take(), "check scrolled(-2)");
}

TEST(DataLink, NotificationsFollowTheDatasetLifecycle) {
    TMemDataSet ds;
    ds.FieldDefs.Add("N", ftInteger);
    ds.FieldDefs.Add("Text", ftString, 10);
    TDataSource source;
    source.SetDataSet(&ds);
    GridLink link;
    link.SetDataSource(&source);
    EXPECT_FALSE(link.Active());
    struct Step {
        const char* what;
        std::function<void()> run;
        const char* told;
    };
    const Step steps[] = {
        {"open", [&] { ds.Open(); }, "active"},
        {"append", [&] { ds.Append(); }, "check editing changed"},
        {"set field", [&] { ds.FieldByName("N")->SetAsInteger(1); }, "record(N)"},
        {"post", [&] { ds.Post(); }, "update check not-editing changed"},
        {"edit", [&] { ds.Edit(); }, "check editing record(nil)"},
        {"cancel", [&] { ds.Cancel(); }, "check not-editing changed"},
        {"layout", [&] { ds.FieldByName("N")->SetDisplayLabel("Number"); }, "layout"},
        {"close", [&] { ds.Close(); }, "inactive"},
    };
    for (const Step& s : steps) {
        s.run();
        EXPECT_EQ(link.Take(), s.told) << s.what;
    }
    // A disabled data source makes its links inactive; the dataset stays open.
    ds.Open();
    link.Take();
    source.SetEnabled(false);
    EXPECT_FALSE(link.Active());
    source.SetEnabled(true);
    EXPECT_TRUE(link.Active());
}

TEST(DataLink, AutoEditDecidesWhetherALinkMayStartEditing) {
    TMemDataSet ds;
    OpenNumbers(ds, 2);
    TDataSource source;
    source.SetDataSet(&ds);
    TFieldDataLink link;
    link.SetDataSource(&source);
    link.SetFieldName("Text");
    ASSERT_NE(link.Field(), nullptr);
    source.AutoEdit = false;
    EXPECT_FALSE(link.Edit());
    EXPECT_EQ(ds.State(), dsBrowse);
    source.AutoEdit = true;
    EXPECT_TRUE(link.Edit());
    EXPECT_EQ(ds.State(), dsEdit);
    ds.Cancel();
    link.SetReadOnly(true);
    EXPECT_FALSE(link.Edit());
    EXPECT_EQ(ds.State(), dsBrowse);
}

TEST(DataLink, FieldLinkWritesTheControlValueWhenTheRecordIsPosted) {
    TMemDataSet ds;
    OpenNumbers(ds, 2);
    TDataSource source;
    source.SetDataSet(&ds);
    TFieldDataLink link;
    std::string controlText;
    int dataChanges = 0;
    link.OnDataChange = [&](TObject*) {
        ++dataChanges;
        controlText = link.Field() ? link.Field()->AsString() : "";
    };
    link.OnUpdateData = [&](TObject*) { link.Field()->SetAsString(controlText); };
    link.SetDataSource(&source);
    link.SetFieldName("Text");
    EXPECT_EQ(controlText, "r1");
    ds.Next();
    EXPECT_EQ(controlText, "r2");
    // The user types: the control edits through the link and marks it modified.
    ASSERT_TRUE(link.Edit());
    controlText = "typed";
    link.Modified();
    ds.Post();
    EXPECT_EQ(ds.FieldByName("Text")->AsString(), "typed");
    // Reset brings the field's value back into the control.
    link.Edit();
    controlText = "discarded";
    link.Modified();
    link.Reset();
    EXPECT_EQ(controlText, "typed");
    EXPECT_FALSE(link.IsModified());
    ds.Cancel();
    // Another field's change does not concern this control.
    int before = dataChanges;
    ds.Edit();
    ds.FieldByName("N")->SetAsInteger(7);
    EXPECT_EQ(dataChanges, before + 1);  // the record-change on entering edit, not the N change
    ds.Cancel();
    EXPECT_THROW(link.SetFieldName("Missing"), EDatabaseError);
}

TEST(DataLink, MasterLinkReportsRecordChangesAndClosing) {
    TMemDataSet master;
    OpenNumbers(master, 3);
    TMemDataSet detail;
    OpenNumbers(detail, 1);
    TDataSource source;
    source.SetDataSet(&master);
    TMasterDataLink link(&detail);
    std::vector<int> seen;
    int disabled = 0;
    link.OnMasterChange = [&](TObject*) { seen.push_back(master.FieldByName("N")->AsInteger()); };
    link.OnMasterDisable = [&](TObject*) { ++disabled; };
    link.SetFieldNames("N");
    link.SetDataSource(&source);
    ASSERT_EQ(link.Fields().size(), 1u);
    EXPECT_EQ(seen, (std::vector<int>{1}));
    disabled = 0;  // naming the fields before the link had a source disabled the detail once
    master.Next();
    master.Next();
    master.First();
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 3, 1}));  // on attaching, then each move
    // A change of a field that is not a link field is not the detail's business.
    seen.clear();
    master.Edit();
    master.FieldByName("Text")->SetAsString("x");
    master.FieldByName("N")->SetAsInteger(9);
    EXPECT_EQ(seen, (std::vector<int>{1, 9}));  // entering edit, then the N change
    master.Cancel();
    master.Close();
    EXPECT_EQ(disabled, 1);
}

TEST(DataLink, DetailsFollowTheirMasterWhileItsControlsAreDisabled) {
    TMemDataSet master;
    OpenNumbers(master, 3);
    TMemDataSet detail;
    OpenNumbers(detail, 1);
    TDataSource source;
    source.SetDataSet(&master);
    GridLink grid;
    grid.SetDataSource(&source);
    TMasterDataLink link(&detail);
    std::vector<int> seen;
    link.OnMasterChange = [&](TObject*) { seen.push_back(master.FieldByName("N")->AsInteger()); };
    link.SetFieldNames("N");
    link.SetDataSource(&source);
    seen.clear();
    grid.Take();
    // A walk with the controls disabled: the grid hears nothing until the end, the detail moves
    // with every record.
    master.DisableControls();
    for (master.First(); !master.Eof(); master.Next()) {
        ASSERT_FALSE(seen.empty());
        EXPECT_EQ(seen.back(), master.FieldByName("N")->AsInteger());
    }
    master.First();
    EXPECT_EQ(seen.back(), 1);
    EXPECT_EQ(grid.Take(), "");
    master.EnableControls();
    EXPECT_EQ(grid.Take(), "changed");
}

TEST(DataLink, CircularLinkIsRefused) {
    // A dataset whose master source is the source being pointed at it would follow itself.
    struct Detail : TMemDataSet {
        TDataSource* master = nullptr;
        TDataSource* GetDataSource() const override { return master; }
    };
    Detail a, b;
    TDataSource sa, sb;
    sa.SetDataSet(&a);
    b.master = &sa;  // b follows a
    a.master = &sb;  // a would follow b
    try {
        sb.SetDataSet(&b);
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "Circular datalinks are not allowed");
    }
    EXPECT_EQ(sb.DataSet(), nullptr);
}

TEST(DataLink, DestroyingEitherEndDetachesTheOther) {
    auto ds = std::make_unique<TMemDataSet>();
    OpenNumbers(*ds, 2);
    auto source = std::make_unique<TDataSource>();
    source->SetDataSet(ds.get());
    GridLink link;
    link.SetDataSource(source.get());
    EXPECT_TRUE(link.Active());
    ds.reset();
    EXPECT_FALSE(link.Active());
    EXPECT_EQ(source->DataSet(), nullptr);
    source.reset();
    EXPECT_EQ(link.DataSource(), nullptr);
}

TEST(DataLink, JumpsCentreTheCurrentRecordInTheWindow) {
    TMemDataSet ds;
    OpenNumbers(ds, 30);
    TDataSource source;
    source.SetDataSet(&ds);
    GridLink grid;
    grid.SetDataSource(&source);
    grid.SetBufferCount(5);
    struct Jump {
        const char* what;
        std::function<void()> run;
        int current, activeRecord;
        std::vector<int> rows;
    };
    TBookmark b20;
    ds.SetRecNo(20);
    b20 = ds.GetBookmark();
    ds.First();
    const Jump jumps[] = {
        {"bookmark", [&] { ds.GotoBookmark(b20); }, 20, 2, {18, 19, 20, 21, 22}},
        {"locate", [&] { ds.Locate("N", Variant(2), 0); }, 2, 1, {1, 2, 3, 4, 5}},
        {"recno", [&] { ds.SetRecNo(29); }, 29, 3, {26, 27, 28, 29, 30}},
        {"find", [&] { ds.FindFirst(); }, 10, 2, {8, 9, 10, 11, 12}},
    };
    ds.SetOnFilterRecordValue(
        [](TDataSet* d, bool& accept) { accept = d->FieldByName("N")->AsInteger() >= 10; });
    for (const Jump& j : jumps) {
        j.run();
        EXPECT_EQ(ds.FieldByName("N")->AsInteger(), j.current) << j.what;
        EXPECT_EQ(grid.ActiveRecord(), j.activeRecord) << j.what;
        EXPECT_EQ(grid.Rows(), j.rows) << j.what;
    }
    // An edit that is posted keeps the row where it was.
    ds.MoveBy(1);  // 11, row 3
    ds.Edit();
    ds.FieldByName("Text")->SetAsString("edited");
    ds.Post();
    EXPECT_EQ(grid.ActiveRecord(), 3);
    EXPECT_EQ(grid.Rows(), (std::vector<int>{8, 9, 10, 11, 12}));
    // A record inserted in the window pushes the rows below it down.
    ds.Insert();
    EXPECT_EQ(grid.ActiveRecord(), 3);
    ds.FieldByName("N")->SetAsInteger(100);
    ds.Post();
    EXPECT_EQ(grid.Rows(), (std::vector<int>{8, 9, 10, 100, 11}));
}

namespace {
// Counts the records the dataset reads from its store.
class TReadCountingNumbers : public TMemDataSet {
public:
    int Reads = 0;

protected:
    TGetResult GetRecord(TRecordBuffer buffer, TGetMode mode, bool doCheck) override {
        ++Reads;
        return TMemDataSet::GetRecord(buffer, mode, doCheck);
    }
};
}  // namespace

TEST(DataLink, AppendReadsOnlyTheRowsAboveTheNewRecordThatAreNotBufferedYet) {
    struct TCase {
        const char* Where;
        int Count;
        std::function<void(TDataSet&)> Position;
        int Reads;
    };
    const TCase cases[] = {
        {"at the top", 30, [](TDataSet& d) { d.First(); }, 4},
        {"in the middle", 30, [](TDataSet& d) { d.SetRecNo(12); }, 4},
        {"after Last", 30, [](TDataSet& d) { d.Last(); }, 0},
        {"moved past the end", 30, [](TDataSet& d) { d.MoveBy(40); }, 0},
        {"at the top of a table shorter than the window", 3, [](TDataSet& d) { d.First(); }, 0},
        {"in an empty table", 0, [](TDataSet& d) { d.First(); }, 0},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Where);
        TReadCountingNumbers ds;
        OpenNumbers(ds, c.Count);
        TDataSource source;
        source.SetDataSet(&ds);
        GridLink grid;
        grid.SetDataSource(&source);
        grid.SetBufferCount(5);
        c.Position(ds);
        grid.Take();
        ds.Reads = 0;
        ds.Append();
        EXPECT_EQ(ds.Reads, c.Reads);
        // What the grid shows does not depend on where the dataset stood: the last records, then
        // the new one, current, at the end.
        std::vector<int> rows;
        for (int n = std::max(1, c.Count - 3); n <= c.Count; ++n) rows.push_back(n);
        rows.push_back(0);
        EXPECT_EQ(grid.Rows(), rows);
        EXPECT_EQ(grid.ActiveRecord(), int(rows.size()) - 1);
        EXPECT_EQ(ds.State(), dsInsert);
        EXPECT_TRUE(ds.Eof());
        EXPECT_FALSE(ds.Bof());
        EXPECT_EQ(grid.Take(), "check editing changed");
        ds.FieldByName("N")->SetAsInteger(100);
        ds.Post();
        rows.back() = 100;
        EXPECT_EQ(grid.Rows(), rows);
        EXPECT_EQ(ds.FieldByName("N")->AsInteger(), 100);
        // A second append, after the first was posted, and its cancel (the window is filled again).
        ds.Append();
        rows.erase(rows.begin(), rows.begin() + std::max(0, int(rows.size()) - 4));
        rows.push_back(0);
        EXPECT_EQ(grid.Rows(), rows);
        ds.Cancel();
        rows.pop_back();
        if (c.Count >= 4) rows.insert(rows.begin(), c.Count - 3);
        EXPECT_EQ(grid.Rows(), rows);
        EXPECT_EQ(ds.FieldByName("N")->AsInteger(), 100);
        EXPECT_EQ(ds.State(), dsBrowse);
    }
}

// Random walks of navigation and editing against a plain list of the records: after every step
// the current record, the record number and the rows two grids show must match the list. With a
// filter, records whose N is a multiple of 4 are hidden (new ones too, once posted).
static void RandomWalk(unsigned seed, bool filtered) {
    std::mt19937 rng(seed);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    TMemDataSet ds;
    OpenNumbers(ds, 12);
    if (filtered) {
        ds.SetOnFilterRecordValue(
            [](TDataSet* d, bool& accept) { accept = d->FieldByName("N")->AsInteger() % 4 != 0; });
        ds.SetFilteredValue(true);
    }
    TDataSource source;
    source.SetDataSet(&ds);
    GridLink grid, other;
    grid.SetDataSource(&source);
    other.SetDataSource(&source);
    const int rows = 1 + int(seed % 7);  // grids of 1 to 7 rows
    const int otherRows = 1 + int(seed / 7 % 7 + seed) % 7;
    grid.SetBufferCount(rows);
    other.SetBufferCount(otherRows);

    std::vector<int> all;  // every record in store order
    for (int i = 1; i <= 12; ++i) all.push_back(i);
    auto visible = [&]() {
        std::vector<int> v;
        for (int x : all)
            if (!filtered || x % 4 != 0) v.push_back(x);
        return v;
    };
    // Position in the store of the visible record at index k.
    auto storeIndex = [&](int k) {
        int want = visible()[size_t(k)];
        return int(std::find(all.begin(), all.end(), want) - all.begin());
    };
    int cur = 0, next = 1000;
    auto n = [&]() { return int(visible().size()); };
    for (int step = 0; step < 400; ++step) {
        int op = pick(0, 9);
        std::string what;
        if (n() == 0) op = 3;  // only appending makes sense
        switch (op) {
            case 0: {
                int d = pick(-7, 7);
                what = "MoveBy " + std::to_string(d);
                ds.MoveBy(d);
                cur = std::clamp(cur + d, 0, n() - 1);
                break;
            }
            case 1:
                what = "First";
                ds.First();
                cur = 0;
                break;
            case 2:
                what = "Last";
                ds.Last();
                cur = n() - 1;
                break;
            case 3:
                what = "Append " + std::to_string(next);
                ds.Append();
                ds.FieldByName("N")->SetAsInteger(next);
                ds.Post();
                all.push_back(next++);
                cur = n() - 1;  // the new record, or the last one shown when the new one is hidden
                break;
            case 4:
                what = "Insert " + std::to_string(next);
                ds.Insert();
                ds.FieldByName("N")->SetAsInteger(next);
                ds.Post();
                all.insert(all.begin() + storeIndex(cur), next++);
                break;  // the new record, or the one it went before when it is hidden
            case 5:
                if (n() <= 3) continue;  // keep some records to look at
                what = "Delete";
                ds.Delete();
                all.erase(all.begin() + storeIndex(cur));
                cur = std::min(cur, n() - 1);
                break;
            case 6:
                what = pick(0, 1) ? "Edit+Cancel" : "Insert+Cancel";
                if (what[0] == 'E')
                    ds.Edit();
                else
                    ds.Insert();
                ds.FieldByName("Text")->SetAsString("x");
                ds.Cancel();
                break;
            case 7: {
                int target = pick(0, n() - 1);
                int key = visible()[size_t(target)];
                what = "Locate " + std::to_string(key);
                ASSERT_TRUE(ds.Locate("N", Variant(key), 0));
                cur = target;
                break;
            }
            case 8: {
                int d = pick(-3, 3);
                what = "bookmark round trip " + std::to_string(d);
                TBookmark b = ds.GetBookmark();
                ds.MoveBy(d);
                ds.GotoBookmark(b);
                break;
            }
            case 9: {
                if (filtered) continue;  // record numbers count the hidden records too
                int target = pick(1, n());
                what = "RecNo " + std::to_string(target);
                ds.SetRecNo(target);
                cur = target - 1;
                break;
            }
        }
        SCOPED_TRACE("seed " + std::to_string(seed) + " step " + std::to_string(step) + ": " + what);
        std::vector<int> shown = visible();
        ASSERT_EQ(ds.State(), dsBrowse);
        ASSERT_EQ(ds.FieldByName("N")->AsInteger(), shown[size_t(cur)]);
        if (!filtered) {
            ASSERT_EQ(ds.RecNo(), cur + 1);
        }
        for (GridLink* g : {&grid, &other}) {
            ASSERT_EQ(g->RecordCount(), std::min(g->BufferCount(), n()));
            int first = cur - g->ActiveRecord();
            ASSERT_GE(first, 0);
            ASSERT_EQ(g->Rows(),
                      std::vector<int>(shown.begin() + first, shown.begin() + first + g->RecordCount()));
        }
    }
}

TEST(DataLink, RandomOperationsKeepTheWindowConsistentWithTheRecords) {
    for (unsigned seed = 1; seed <= 50; ++seed) {  // 1 to 7 rows against 1 to 7 other rows
        RandomWalk(seed, false);
        if (::testing::Test::HasFatalFailure()) return;
    }
}

TEST(DataLink, RandomOperationsOnAFilteredDatasetShowOnlyAcceptedRecords) {
    for (unsigned seed = 1; seed <= 50; ++seed) {
        RandomWalk(seed, true);
        if (::testing::Test::HasFatalFailure()) return;
    }
}
