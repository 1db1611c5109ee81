#include "framework/core/Strings.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "framework/core/Component.h"
#include "framework/core/Exception.h"

namespace framework {
namespace {

using Lines = std::vector<std::string>;

Lines Contents(const TStrings& list) {
    Lines out;
    for (int i = 0; i < list.Count(); ++i) out.push_back(list[i]);
    return out;
}

void Fill(TStrings& list, const Lines& lines) {
    for (auto& l : lines) list.Add(l);
}

TEST(StringListTest, SortedListTreatsDuplicatesByMode) {
    // Each case adds the same five lines to a sorted list; "!" marks an add that must raise.
    struct Case {
        TDuplicates mode;
        bool caseSensitive;
        std::vector<int> returned;  // index returned by each Add, -1 when it raised
        Lines result;
    } cases[] = {
        {dupIgnore, false, {0, 0, 1, 2, 0}, {"a", "b", "c"}},
        {dupAccept, false, {0, 0, 1, 3, 0}, {"a", "a", "B", "b", "c"}},
        {dupError, false, {0, 0, -1, 2, -1}, {"a", "b", "c"}},
        // Compared with case, "B" is a line of its own that sorts after "b".
        {dupIgnore, true, {0, 0, 2, 3, 0}, {"a", "b", "B", "c"}},
        {dupError, true, {0, 0, 2, 3, -1}, {"a", "b", "B", "c"}},
    };
    const Lines added = {"b", "a", "B", "c", "a"};
    for (const auto& c : cases) {
        TStringList list;
        list.SetCaseSensitive(c.caseSensitive);
        list.SetSorted(true);
        list.Duplicates = c.mode;
        std::vector<int> returned;
        for (const auto& s : added) {
            try {
                returned.push_back(list.Add(s));
            } catch (const EStringListError& e) {
                EXPECT_EQ(e.Message, "String list does not allow duplicates");
                returned.push_back(-1);
            }
        }
        EXPECT_EQ(returned, c.returned) << "mode " << c.mode << " case " << c.caseSensitive;
        EXPECT_EQ(Contents(list), c.result) << "mode " << c.mode << " case " << c.caseSensitive;
    }
}

TEST(StringListTest, FindGivesThePositionOrTheInsertionPoint) {
    TStringList list;
    list.SetSorted(true);
    Fill(list, {"cherry", "apple", "date", "Banana"});
    ASSERT_EQ(Contents(list), (Lines{"apple", "Banana", "cherry", "date"}));
    struct Case {
        const char* text;
        bool found;
        int index;
    } cases[] = {
        {"BANANA", true, 1}, {"apple", true, 0},    {"date", true, 3},   {"aardvark", false, 0},
        {"blue", false, 2},  {"cherryx", false, 3}, {"zebra", false, 4}, {"", false, 0},
    };
    for (const auto& c : cases) {
        int index = -99;
        EXPECT_EQ(list.Find(c.text, index), c.found) << c.text;
        EXPECT_EQ(index, c.index) << c.text;
        EXPECT_EQ(list.IndexOf(c.text), c.found ? c.index : -1) << c.text;
    }
    TStringList empty;
    empty.SetSorted(true);
    int index = -1;
    EXPECT_FALSE(empty.Find("x", index));
    EXPECT_EQ(index, 0);

    // With duplicates accepted the first of the equal lines is found.
    TStringList dups;
    dups.SetSorted(true);
    dups.Duplicates = dupAccept;
    Fill(dups, {"b", "c", "b", "a", "b", "b"});
    EXPECT_TRUE(dups.Find("B", index));
    EXPECT_EQ(index, 1);
}

TEST(StringListTest, SortedListRefusesPositionalChangesAndKeepsItsLines) {
    TStringList list;
    list.SetSorted(true);
    Fill(list, {"b", "a", "c"});
    std::function<void()> actions[] = {
        [&] { list.Insert(0, "z"); },
        [&] { list.Put(1, "z"); },
        [&] { list.Move(0, 2); },
    };
    for (auto& action : actions) {
        try {
            action();
            ADD_FAILURE();
        } catch (const EStringListError& e) {
            EXPECT_EQ(e.Message, "Operation not allowed on sorted list");
        }
    }
    EXPECT_EQ(Contents(list), (Lines{"a", "b", "c"}));
}

TEST(StringListTest, BadIndexesRaiseWithTheIndex) {
    TStringList list;
    Fill(list, {"a", "b"});
    std::pair<std::function<void()>, int> actions[] = {
        {[&] { list.Get(2); }, 2},         {[&] { list.Delete(-1); }, -1},
        {[&] { list.Put(5, "x"); }, 5},    {[&] { list.Objects(2); }, 2},
        {[&] { list.Insert(3, "x"); }, 3}, {[&] { list.Exchange(0, 9); }, 9},
        {[&] { list.Move(2, 0); }, 2},     {[&] { list.PutObject(-3, nullptr); }, -3},
    };
    for (auto& [action, index] : actions) {
        try {
            action();
            ADD_FAILURE() << index;
        } catch (const EListError& e) {  // EStringListError is a list error
            EXPECT_EQ(e.Message, "List index out of bounds (" + std::to_string(index) + ")");
            EXPECT_EQ(e.ClassName(), "EStringListError");
        }
    }
    EXPECT_EQ(Contents(list), (Lines{"a", "b"}));
}

TEST(StringListTest, TextSplitsAtAnyLineBreakAndJoinsWithCrLf) {
    struct Case {
        const char* text;
        Lines lines;
    } cases[] = {
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\nb", {"a", "b"}},
        {"a\rb\n", {"a", "b"}},
        {"a\r\n\r\nb", {"a", "", "b"}},
        {"a\n\n", {"a", ""}},
        {"\r\n", {""}},
        {"", {}},
        {"\n\ra", {"", "", "a"}},  // LF then CR are two breaks
    };
    for (const auto& c : cases) {
        TStringList list;
        list.SetText(c.text);
        EXPECT_EQ(Contents(list), c.lines) << c.text;
    }
    TStringList list;
    Fill(list, {"one", "", "three"});
    EXPECT_EQ(list.Text(), "one\r\n\r\nthree\r\n");
    std::string withNul("a\0b\nc", 5);
    list.SetText(withNul);
    EXPECT_EQ(Contents(list), (Lines{std::string("a\0b", 3), "c"}));
}

TEST(StringListTest, CommaTextQuotesWhatNeedsItAndParsesBack) {
    struct Write {
        Lines lines;
        const char* text;
    } writes[] = {
        {{"a", "b"}, "a,b"},
        {{"a b", "c"}, "\"a b\",c"},
        {{"say \"hi\""}, "\"say \"\"hi\"\"\""},
        {{"x,y"}, "\"x,y\""},
        {{""}, "\"\""},
        {{"", "x"}, ",x"},
        {{}, ""},
    };
    for (const auto& w : writes) {
        TStringList list;
        Fill(list, w.lines);
        EXPECT_EQ(list.CommaText(), w.text);
        TStringList back;
        back.SetCommaText(list.CommaText());
        EXPECT_EQ(Contents(back), w.lines) << w.text;
    }
    struct Read {
        const char* text;
        Lines lines;
    } reads[] = {
        {"a b,c", {"a", "b", "c"}}, {"  \"x, y\" ,  z ", {"x, y", "z"}},
        {"a,", {"a", ""}},          {",a", {"", "a"}},
        {"a,,b", {"a", "", "b"}},   {"\"open", {"open"}},
        {"\"\"\"\"", {"\""}},
    };
    for (const auto& r : reads) {
        TStringList list;
        list.Add("old");
        list.SetCommaText(r.text);
        EXPECT_EQ(Contents(list), r.lines) << r.text;
    }
}

TEST(StringListTest, NamesAndValues) {
    TStringList list;
    Fill(list, {"Name=Korvane", "Path=C:\\X=Y", "NoEqual", "=empty name"});
    EXPECT_EQ(list.Values("name"), "Korvane");
    EXPECT_EQ(list.Values("Path"), "C:\\X=Y");
    EXPECT_EQ(list.Values("NoEqual"), "");
    EXPECT_EQ(list.Values(""), "empty name");
    EXPECT_EQ(list.Names(1), "Path");
    EXPECT_EQ(list.Names(2), "");
    EXPECT_EQ(list.ValueFromIndex(1), "C:\\X=Y");
    EXPECT_EQ(list.ValueFromIndex(2), "");  // no "=": no value
    EXPECT_EQ(list.IndexOfName("PATH"), 1);
    EXPECT_EQ(list.IndexOfName("NoEqual"), -1);

    list.SetValue("NAME", "K2");  // replaces the line in place, under the name as given
    list.SetValue("Path", "");    // an empty value deletes the line
    list.SetValue("New", "1");    // a new name is appended
    list.SetValueFromIndex(0, "K3");
    EXPECT_EQ(Contents(list), (Lines{"NAME=K3", "NoEqual", "=empty name", "New=1"}));
}

TEST(StringListTest, ObjectsTravelWithTheirLines) {
    TObject one, two, three;
    TStringList list;
    list.AddObject("c", &three);
    list.AddObject("a", &one);
    list.Add("b");
    list.PutObject(2, &two);
    EXPECT_EQ(list.IndexOfObject(&two), 2);
    list.Sort();
    EXPECT_EQ(Contents(list), (Lines{"a", "b", "c"}));
    EXPECT_EQ(list.Objects(0), &one);
    EXPECT_EQ(list.Objects(1), &two);
    list.Move(0, 2);
    list.Exchange(0, 1);
    EXPECT_EQ(Contents(list), (Lines{"c", "b", "a"}));
    EXPECT_EQ(list.Objects(0), &three);
    EXPECT_EQ(list.Objects(2), &one);
    list.Put(0, "z");
    EXPECT_EQ(list.Objects(0), &three);

    TStringList copy;
    copy.Add("old");
    copy.Assign(&list);
    EXPECT_EQ(Contents(copy), (Lines{"z", "b", "a"}));
    EXPECT_EQ(copy.Objects(2), &one);
    copy.AddStrings(&copy);
    EXPECT_EQ(copy.Count(), 6);

    TComponent component(nullptr);
    try {
        copy.Assign(&component);
        ADD_FAILURE();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message, "Cannot assign a TComponent to a TStringList");
    }
}

TEST(StringListTest, ChangeEventsFireOncePerUpdate) {
    TStringList list;
    std::vector<std::string> events;
    list.OnChanging = [&](TObject* sender) {
        EXPECT_EQ(sender, &list);
        events.push_back("changing");
    };
    list.OnChange = [&](TObject*) { events.push_back("change " + std::to_string(list.Count())); };

    list.Add("x");
    EXPECT_EQ(events, (Lines{"changing", "change 1"}));
    events.clear();

    list.BeginUpdate();
    list.BeginUpdate();
    Fill(list, {"a", "b"});
    list.Delete(0);
    list.EndUpdate();
    EXPECT_EQ(events, (Lines{"changing"}));
    list.EndUpdate();
    EXPECT_EQ(events, (Lines{"changing", "change 2"}));
    events.clear();

    list.SetText("p\nq\nr");  // one change for the whole text
    EXPECT_EQ(events, (Lines{"changing", "change 3"}));
    events.clear();

    list.EndUpdate();  // without a BeginUpdate: ignored
    EXPECT_EQ(list.UpdateCount(), 0);
    EXPECT_TRUE(events.empty());

    TStringList sortedList;
    sortedList.SetSorted(true);
    sortedList.Add("k");
    int fired = 0;
    sortedList.OnChange = [&](TObject*) { ++fired; };
    sortedList.Add("K");  // ignored duplicate: nothing changes
    sortedList.Clear();
    sortedList.Clear();  // already empty
    EXPECT_EQ(fired, 1);
}

TEST(StringListTest, SortingOrders) {
    TStringList list;
    Fill(list, {"pear", "Fig", "apple", "banana", "kiwi"});
    list.CustomSort([](TStringList* l, int a, int b) {
        int la = static_cast<int>(l->Get(a).size()), lb = static_cast<int>(l->Get(b).size());
        return la != lb ? la - lb : l->CompareStrings(l->Get(a), l->Get(b));
    });
    EXPECT_EQ(Contents(list), (Lines{"Fig", "kiwi", "pear", "apple", "banana"}));
    list.Sort();
    EXPECT_EQ(Contents(list), (Lines{"apple", "banana", "Fig", "kiwi", "pear"}));

    TStringList cased;
    Fill(cased, {"b", "B", "a", "A"});
    cased.SetSorted(true);
    EXPECT_LE(cased.IndexOf("a"), 1);  // ignoring case either "a" or "A" answers
    cased.SetCaseSensitive(true);      // re-sorts: lower case first within a letter
    EXPECT_EQ(Contents(cased), (Lines{"a", "A", "b", "B"}));
    EXPECT_EQ(cased.IndexOf("B"), 3);
    EXPECT_EQ(cased.IndexOf("c"), -1);

    TStringList unsorted;
    Fill(unsorted, {"One", "two"});
    EXPECT_EQ(unsorted.IndexOf("TWO"), 1);  // without case
    unsorted.SetCaseSensitive(true);
    EXPECT_EQ(unsorted.IndexOf("TWO"), -1);
}

// The smallest TStrings a control could expose: only the required operations, no objects.
class TPlainLines : public TStrings {
public:
    int Count() const override { return static_cast<int>(lines.size()); }
    std::string Get(int Index) const override { return lines.at(static_cast<size_t>(Index)); }
    void Insert(int Index, const std::string& S) override { lines.insert(lines.begin() + Index, S); }
    void Delete(int Index) override { lines.erase(lines.begin() + Index); }
    void Clear() override { lines.clear(); }
    void SetUpdateState(bool Updating) override { updates.push_back(Updating); }

    Lines lines;
    std::vector<bool> updates;
};

TEST(StringsTest, GeneralOperationsWorkOnAnyLineStore) {
    TPlainLines plain;
    plain.SetText("b=2\nA=1\nc");
    EXPECT_EQ(plain.lines, (Lines{"b=2", "A=1", "c"}));
    EXPECT_EQ(plain.updates, (std::vector<bool>{true, false}));  // one update around the whole text
    plain.Move(0, 2);
    plain.Exchange(0, 1);
    plain.Put(0, "C");
    EXPECT_EQ(plain.lines, (Lines{"C", "A=1", "b=2"}));
    EXPECT_EQ(plain.IndexOf("c"), 0);  // without regard to case
    EXPECT_EQ(plain.Values("a"), "1");
    plain.SetValue("b", "");
    EXPECT_EQ(plain.CommaText(), "C,A=1");
    EXPECT_EQ(plain.Objects(0), nullptr);

    TStringList list;
    list.Assign(&plain);
    EXPECT_EQ(Contents(list), (Lines{"C", "A=1"}));
    list.Add("x y");
    plain.Assign(&list);
    EXPECT_EQ(plain.lines, (Lines{"C", "A=1", "x y"}));
}

}  // namespace
}  // namespace framework
