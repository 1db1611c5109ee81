#include "framework/core/List.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "framework/core/Bits.h"
#include "framework/core/Exception.h"

namespace framework {
namespace {

Pointer P(intptr_t n) {
    return reinterpret_cast<Pointer>(n);
}
intptr_t N(Pointer p) {
    return reinterpret_cast<intptr_t>(p);
}

std::vector<intptr_t> Contents(const TList& list) {
    std::vector<intptr_t> out;
    for (int i = 0; i < list.Count(); ++i) out.push_back(N(list[i]));
    return out;
}

void ExpectListError(const std::function<void()>& action, const std::string& message) {
    try {
        action();
        ADD_FAILURE() << "no error, expected " << message;
    } catch (const EListError& e) {
        EXPECT_EQ(e.Message, message);
    }
}

TEST(ListTest, EditingOperationsKeepOrder) {
    TList list;
    for (intptr_t n : {10, 20, 30}) list.Add(P(n));
    list.Insert(0, P(5));
    list.Insert(4, P(40));  // at Count: appends
    EXPECT_EQ(Contents(list), (std::vector<intptr_t>{5, 10, 20, 30, 40}));
    list.Move(0, 3);
    EXPECT_EQ(Contents(list), (std::vector<intptr_t>{10, 20, 30, 5, 40}));
    list.Exchange(0, 4);
    EXPECT_EQ(Contents(list), (std::vector<intptr_t>{40, 20, 30, 5, 10}));
    EXPECT_EQ(list.Remove(P(30)), 2);
    EXPECT_EQ(list.Remove(P(99)), -1);
    EXPECT_EQ(list.Extract(P(5)), P(5));
    EXPECT_EQ(list.Extract(P(5)), nullptr);
    list.Delete(0);
    EXPECT_EQ(Contents(list), (std::vector<intptr_t>{20, 10}));
    EXPECT_EQ(N(list.First()), 20);
    EXPECT_EQ(N(list.Last()), 10);
    EXPECT_EQ(list.IndexOf(P(10)), 1);
    list.Put(1, nullptr);
    list.Add(nullptr);
    list.Add(P(7));
    list.Pack();
    EXPECT_EQ(Contents(list), (std::vector<intptr_t>{20, 7}));
    list.SetCount(4);
    EXPECT_EQ(Contents(list), (std::vector<intptr_t>{20, 7, 0, 0}));
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Capacity(), 0);
}

TEST(ListTest, BadIndexesRaiseListErrorNamingTheIndex) {
    TList list;
    list.Add(P(1));
    list.Add(P(2));
    ExpectListError([&] { list.Get(2); }, "List index out of bounds (2)");
    ExpectListError([&] { list.Get(-1); }, "List index out of bounds (-1)");
    ExpectListError([&] { list.Put(5, nullptr); }, "List index out of bounds (5)");
    ExpectListError([&] { list.Insert(3, nullptr); }, "List index out of bounds (3)");
    ExpectListError([&] { list.Delete(2); }, "List index out of bounds (2)");
    ExpectListError([&] { list.Exchange(0, 7); }, "List index out of bounds (7)");
    ExpectListError([&] { list.Move(-4, 0); }, "List index out of bounds (-4)");
    ExpectListError([&] { list.SetCapacity(1); }, "List capacity out of bounds (1)");
    ExpectListError([&] { list.SetCount(-1); }, "List count out of bounds (-1)");
    TList empty;
    ExpectListError([&] { empty.First(); }, "List index out of bounds (0)");
    ExpectListError([&] { empty.Last(); }, "List index out of bounds (-1)");
    EXPECT_EQ(Contents(list), (std::vector<intptr_t>{1, 2}));  // nothing changed
}

TEST(ListTest, CapacityGrowsWithCountAndCanBeReserved) {
    TList list;
    list.SetCapacity(100);
    EXPECT_EQ(list.Capacity(), 100);
    for (int i = 0; i < 1000; ++i) {
        list.Add(P(i));
        ASSERT_GE(list.Capacity(), list.Count());
    }
    list.SetCapacity(1000);
    EXPECT_EQ(list.Capacity(), 1000);
}

TEST(ListTest, SortOrdersByTheCompareFunction) {
    auto ascending = [](Pointer a, Pointer b) { return N(a) < N(b) ? -1 : (N(a) > N(b) ? 1 : 0); };
    std::mt19937 random(42);
    struct Case {
        const char* name;
        std::function<intptr_t(int)> value;
    } cases[] = {
        {"random", [&](int) { return static_cast<intptr_t>(random() % 1000); }},
        {"few distinct", [&](int) { return static_cast<intptr_t>(random() % 3); }},
        {"ascending", [](int i) { return static_cast<intptr_t>(i); }},
        {"descending", [](int i) { return static_cast<intptr_t>(5000 - i); }},
        {"all equal", [](int) { return intptr_t{4}; }},
    };
    for (auto& c : cases) {
        for (int size : {0, 1, 2, 3, 17, 2000}) {
            TList list;
            std::vector<intptr_t> expected;
            for (int i = 0; i < size; ++i) {
                intptr_t v = c.value(i);
                list.Add(P(v));
                expected.push_back(v);
            }
            list.Sort(ascending);
            std::sort(expected.begin(), expected.end());
            EXPECT_EQ(Contents(list), expected) << c.name << " " << size;
        }
    }
    // A comparison that is not consistent gives some order, but never leaves the list.
    TList list;
    for (int i = 0; i < 100; ++i) list.Add(P(i));
    list.Sort([](Pointer, Pointer) { return -1; });
    list.Sort([](Pointer, Pointer) { return 1; });
    auto contents = Contents(list);
    std::sort(contents.begin(), contents.end());
    for (int i = 0; i < 100; ++i) EXPECT_EQ(contents[static_cast<size_t>(i)], i);
}

// Counts how often objects of this class are freed.
struct TCounted : TObject {
    explicit TCounted(int& c) : freed(c) {}
    ~TCounted() override { ++freed; }
    int& freed;
};

TEST(ObjectListTest, OwnedObjectsAreFreedWhenTheyLeaveExceptByExtract) {
    int freed = 0;
    TCounted* extracted = nullptr;
    {
        TObjectList list;
        for (int i = 0; i < 6; ++i) list.Add(new TCounted(freed));
        list.Delete(0);
        EXPECT_EQ(freed, 1);
        list.Remove(list[0]);
        EXPECT_EQ(freed, 2);
        list.Put(0, new TCounted(freed));
        EXPECT_EQ(freed, 3);
        extracted = static_cast<TCounted*>(list.Extract(list.Last()));
        EXPECT_EQ(freed, 3);
        list.Add(new EReadError("x"));  // an object with more than one base class
        list.SetCount(2);               // frees the exception object and one counted object
        EXPECT_EQ(freed, 4);
    }
    EXPECT_EQ(freed, 6);
    delete extracted;

    freed = 0;
    TCounted a(freed), b(freed);
    {
        TObjectList list(false);
        list.Add(&a);
        list.Add(&b);
        list.Delete(0);
    }
    EXPECT_EQ(freed, 0);
}

TEST(ThreadListTest, DuplicatesIgnoredAcceptedOrRefused) {
    struct Case {
        TDuplicates mode;
        int count;
        bool raises;
    } cases[] = {{dupIgnore, 1, false}, {dupAccept, 2, false}, {dupError, 1, true}};
    for (auto& c : cases) {
        TThreadList list;
        list.Duplicates = c.mode;
        list.Add(P(1));
        if (c.raises) {
            EXPECT_THROW(list.Add(P(1)), EListError);
        } else {
            list.Add(P(1));
        }
        TList* locked = list.LockList();
        EXPECT_EQ(locked->Count(), c.count);
        list.UnlockList();
    }
}

TEST(BitsTest, GrowsOnWriteAndFindsTheFirstClearBit) {
    TBits bits;
    EXPECT_EQ(bits.OpenBit(), 0);
    bits.SetBits(0, true);
    bits.SetBits(1, true);
    bits.SetBits(40, true);
    EXPECT_EQ(bits.Size(), 41);
    EXPECT_TRUE(bits[40]);
    EXPECT_FALSE(bits[39]);
    EXPECT_EQ(bits.OpenBit(), 2);
    for (int i = 0; i < 41; ++i) bits.SetBits(i, true);
    EXPECT_EQ(bits.OpenBit(), 41);
    bits.SetBits(33, false);
    EXPECT_EQ(bits.OpenBit(), 33);

    // Shrinking forgets the bits past the end; growing again brings clear bits back.
    bits.SetSize(34);
    bits.SetSize(64);
    EXPECT_FALSE(bits[40]);
    EXPECT_TRUE(bits[32]);

    for (auto action :
         std::vector<std::function<void()>>{[&] { bits.Bits(64); }, [&] { bits.Bits(-1); },
                                            [&] { bits.SetBits(-1, true); }, [&] { bits.SetSize(-1); }}) {
        try {
            action();
            ADD_FAILURE();
        } catch (const EBitsError& e) {
            EXPECT_EQ(e.Message, "Bits index out of range");
        }
    }
}

}  // namespace
}  // namespace framework
