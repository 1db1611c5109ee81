// The sparse pointer array (paging, shifting inserts and deletes, bounds), the sorted cell set and
// the selection store with its pending rectangle.
#include "controls/grid/CtlTableContainers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace grid {
namespace {

void* P(intptr_t N) {
    return reinterpret_cast<void*>(N);
}

TEST(CtlSparseArray, PagesAndCountFollowDeleteAndInsert) {
    TCtlSparseArray A;
    A.SetItems(0, P(1));
    A.SetItems(40, P(2));
    EXPECT_EQ(A.PageCount(), 2);
    EXPECT_EQ(A.Count(), 41);
    A.Delete(0);
    EXPECT_EQ(A.Items(39), P(2));
    EXPECT_EQ(A.Items(0), nullptr);
    EXPECT_EQ(A.PageCount(), 1);
    EXPECT_EQ(A.Count(), 40);
    A.Delete(40);  // at Count: nothing
    EXPECT_EQ(A.Count(), 40);

    TCtlSparseArray B;
    for (int I = 0; I < 32; ++I) B.SetItems(I, P(100 + I));
    EXPECT_EQ(B.PageCount(), 1);
    B.Insert(31, P(7));
    EXPECT_EQ(B.Items(31), P(7));
    EXPECT_EQ(B.Items(32), P(131));
    EXPECT_EQ(B.PageCount(), 2);
    EXPECT_EQ(B.Count(), 33);
}

TEST(CtlSparseArray, NilWritesCreateNoPageAndForAllRunsBothWays) {
    TCtlSparseArray A;
    A.SetItems(700, nullptr);
    EXPECT_EQ(A.PageCount(), 0);
    EXPECT_EQ(A.Count(), 0);
    A.SetItems(5, P(1));
    A.SetItems(700, P(2));
    std::vector<int32_t> Seen;
    auto Record = [&](int32_t I, void*, void*) {
        Seen.push_back(I);
        return true;
    };
    EXPECT_EQ(A.ForAll(Record, true, nullptr), -1);
    EXPECT_EQ(Seen, (std::vector<int32_t>{700, 5}));
    EXPECT_EQ(A.ForAll([](int32_t I, void*, void*) { return I != 700; }, false, nullptr), 700);
    A.SetItems(700, nullptr);
    EXPECT_EQ(A.Count(), 6);
    EXPECT_EQ(A.PageCount(), 1);
    A.Exchange(5, 100);
    EXPECT_EQ(A.Items(100), P(1));
    EXPECT_EQ(A.Count(), 101);
    EXPECT_EQ(A.ActiveCount(), 1);
    A.Clear();
    EXPECT_EQ(A.Count(), 0);
    EXPECT_EQ(A.PageCount(), 0);
}

TEST(CtlSparseArray, BoundsAndMaximumSizeRaise) {
    TCtlSparseArray A;
    EXPECT_THROW(A.Items(320000), ESAEOutOfBounds);
    EXPECT_THROW(A.SetItems(-1, P(1)), ESAEOutOfBounds);
    EXPECT_THROW(A.Insert(320000, P(1)), ESAEOutOfBounds);
    EXPECT_THROW(A.Delete(-5), ESAEOutOfBounds);
    EXPECT_THROW(A.Exchange(0, 400000), ESAEOutOfBounds);
    try {
        A.Items(320000);
    } catch (const ESAEOutOfBounds& E) {
        EXPECT_EQ(E.Message, "Index is out of bounds for sparse array");
    }
    A.SetItems(319999, P(1));
    EXPECT_EQ(A.Count(), 320000);
    try {
        A.Insert(0, P(2));
        FAIL();
    } catch (const ESAEAtMaxSize& E) {
        EXPECT_EQ(E.Message, "Sparse array is at the maximum size");
    }
    EXPECT_EQ(A.Items(319999), P(1));
}

TEST(CtlSparseArray, RandomOperationsMatchADenseModel) {
    std::mt19937 Rng(12345);
    TCtlSparseArray A;
    constexpr int32_t Span = 800;
    std::vector<void*> Model(Span, nullptr);  // indices beyond the probed range stay nil
    auto ModelCount = [&] {
        for (int32_t I = Span - 1; I >= 0; --I)
            if (Model[static_cast<size_t>(I)]) return I + 1;
        return 0;
    };
    int32_t Count = 0;
    for (int Step = 0; Step < 30000; ++Step) {
        int32_t Index = static_cast<int32_t>(Rng() % 400);
        void* Item = (Rng() % 4 == 0) ? nullptr : P(1 + Rng() % 1000);
        auto At = Model.begin() + Index;
        switch (Rng() % 4) {
            case 0:
                A.SetItems(Index, Item);
                *At = Item;
                break;
            case 1:
                A.Insert(Index, Item);
                if (Index < Count) {
                    Model.pop_back();
                    Model.insert(At, Item);
                } else {
                    *At = Item;
                }
                break;
            case 2:
                A.Delete(Index);
                if (Index < Count) {
                    Model.erase(At);
                    Model.push_back(nullptr);
                }
                break;
            case 3: {
                int32_t Other = static_cast<int32_t>(Rng() % 400);
                A.Exchange(Index, Other);
                std::swap(*At, Model[static_cast<size_t>(Other)]);
                break;
            }
        }
        Count = ModelCount();
        if (Count > 600) {  // keep the shifts inside the model
            A.Clear();
            std::fill(Model.begin(), Model.end(), nullptr);
            Count = 0;
        }
        ASSERT_EQ(A.Count(), Count) << "step " << Step;
    }
    for (int32_t I = 0; I < Span; ++I) ASSERT_EQ(A.Items(I), Model[static_cast<size_t>(I)]) << I;
    EXPECT_EQ(A.ActiveCount(), static_cast<int32_t>(std::count_if(Model.begin(), Model.end(),
                                                                  [](void* X) { return X != nullptr; })));
}

TEST(CtlCellArray, KeepsCellsSortedWithoutDuplicates) {
    TCtlCellArray C;
    EXPECT_TRUE(C.IsEmpty());
    C.AddCell(2, 5);
    C.AddCell(1, 9);
    C.AddCell(2, 1);
    C.AddCell(2, 1);
    ASSERT_EQ(C.Count(), 3);
    EXPECT_EQ(C.Items(0), (TCtlCellAddress{1, 9}));
    EXPECT_EQ(C.Items(1), (TCtlCellAddress{2, 1}));
    EXPECT_EQ(C.Items(2), (TCtlCellAddress{2, 5}));
    EXPECT_EQ(C.Items(3), (TCtlCellAddress{0, 0}));
    EXPECT_EQ(C.Capacity(), 128u);
    EXPECT_FALSE(C.DeleteCell(7, 7));
    EXPECT_TRUE(C.DeleteCell(2, 1));

    TCtlCellArray D;
    D.AddCell(2, 5);
    D.AddCell(0, 0);
    D.SetUnusedArea();
    C.Merge(D);
    EXPECT_EQ(C.Count(), 3);
    EXPECT_EQ(C.Items(0), (TCtlCellAddress{0, 0}));
    EXPECT_FALSE(C.UnusedArea());
    C.Clear();
    C.SetUnusedArea();
    EXPECT_FALSE(C.IsEmpty());
    C.Clear();
    EXPECT_TRUE(C.IsEmpty());
}

using Ranges = std::vector<std::pair<int32_t, int32_t>>;

TEST(CtlSelectionList, RangesMergeSplitAndIgnoreOutOfBounds) {
    TCtlSelectionList S(20, 5);
    S.SelectRange(2, 3, 4, 3);
    S.SelectRange(8, 3, 6, 3);  // bounds put in order
    EXPECT_EQ(S.ColumnRanges(3), (Ranges{{2, 4}, {6, 8}}));
    S.SelectRange(5, 3, 5, 3);
    EXPECT_EQ(S.ColumnRanges(3), (Ranges{{2, 8}}));
    S.DeselectRange(4, 3, 6, 3);
    EXPECT_EQ(S.ColumnRanges(3), (Ranges{{2, 3}, {7, 8}}));
    S.SelectRange(10, 3, 12, 3);
    S.SelectRange(0, 3, 15, 3);
    EXPECT_EQ(S.ColumnRanges(3), (Ranges{{0, 15}}));
    S.SelectRange(0, 0, 20, 0);  // row 20 is outside: nothing
    EXPECT_TRUE(S.ColumnRanges(0).empty());
    S.DeselectRange(0, 3, 19, 3);
    EXPECT_TRUE(S.ColumnRanges(3).empty());
    EXPECT_FALSE(S.HasSelection());
    S.SelectAll();
    EXPECT_EQ(S.ColumnRanges(4), (Ranges{{0, 19}}));
    S.SetColCount(2);
    S.SetColCount(5);
    EXPECT_TRUE(S.ColumnRanges(4).empty());
    EXPECT_EQ(S.ColumnRanges(1), (Ranges{{0, 19}}));
}

TEST(CtlSelectionList, PendingRectangleIsCommittedWhenRead) {
    TCtlSelectionList S(10, 10);
    S.SetAnchor(2, 2, false);
    S.ExtendTo(2, 2, true);
    EXPECT_FALSE(S.HasPending());
    EXPECT_FALSE(S.IsSelected(2, 2));
    S.ExtendTo(4, 3, true);
    EXPECT_TRUE(S.HasPending());
    EXPECT_TRUE(S.IsSelected(3, 3));
    EXPECT_TRUE(S.ColumnRanges(3).empty());  // nothing stored yet
    S.ExtendTo(20, 3, true);                 // outside: ignored
    std::vector<std::array<int32_t, 4>> Seen;
    S.Iterate(
        [&](int32_t R1, int32_t C1, int32_t R2, int32_t C2, void*) {
            Seen.push_back({R1, C1, R2, C2});
            return true;
        },
        nullptr);
    EXPECT_EQ(Seen, (std::vector<std::array<int32_t, 4>>{{2, 2, 4, 2}, {2, 3, 4, 3}}));
    // Deselecting drag inside the stored block, kept by a second anchor.
    S.SetAnchor(3, 2, true);
    S.ExtendTo(3, 3, false);
    EXPECT_FALSE(S.IsSelected(3, 2));
    S.SetAnchor(0, 0, true);
    EXPECT_EQ(S.ColumnRanges(2), (Ranges{{2, 2}, {4, 4}}));
    S.SetAnchor(0, 0, false);
    EXPECT_FALSE(S.HasSelection());
}

}  // namespace
}  // namespace grid
