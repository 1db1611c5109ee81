#include "controls/grid/CtlTableContainers.h"

#include <algorithm>

namespace grid {

using entry::CtlGetMessage;

ESparseArrayError::ESparseArrayError() : ECtlException(CtlGetMessage(entry::SCtlSparseArrayError)) {}
ESAEAtMaxSize::ESAEAtMaxSize() : ESparseArrayError(CtlGetMessage(entry::SCtlSAAtMaxSize)) {}
ESAEOutOfBounds::ESAEOutOfBounds() : ESparseArrayError(CtlGetMessage(entry::SCtlSAOutOfBounds)) {}

// ---- TCtlSparseArray ----

void TCtlSparseArray::CheckIndex(int32_t Index) {
    if (Index < 0 || Index >= MaxItems) throw ESAEOutOfBounds();
}

size_t TCtlSparseArray::Find(uint16_t Number, bool& Found) const {
    size_t Lo = 0, Hi = FPages.size();
    while (Lo < Hi) {
        size_t Mid = (Lo + Hi) / 2;
        if (FPages[Mid].Number < Number)
            Lo = Mid + 1;
        else
            Hi = Mid;
    }
    Found = Lo < FPages.size() && FPages[Lo].Number == Number;
    return Lo;
}

std::array<void*, TCtlSparseArray::PageSize>& TCtlSparseArray::PageFor(uint16_t Number) {
    bool Found;
    size_t At = Find(Number, Found);
    if (!Found) {
        auto Slots = std::make_unique<std::array<void*, PageSize>>();
        Slots->fill(nullptr);
        FPages.insert(FPages.begin() + static_cast<std::ptrdiff_t>(At), TPage{Number, std::move(Slots)});
    }
    return *FPages[At].Slots;
}

void* TCtlSparseArray::Items(int32_t Index) const {
    CheckIndex(Index);
    bool Found;
    size_t At = Find(static_cast<uint16_t>(Index / PageSize), Found);
    return Found ? (*FPages[At].Slots)[Index % PageSize] : nullptr;
}

void TCtlSparseArray::SetItems(int32_t Index, void* Item) {
    CheckIndex(Index);
    if (Item) {
        PageFor(static_cast<uint16_t>(Index / PageSize))[Index % PageSize] = Item;
    } else {
        bool Found;
        size_t At = Find(static_cast<uint16_t>(Index / PageSize), Found);
        if (Found) (*FPages[At].Slots)[Index % PageSize] = nullptr;
        Squeeze();
    }
    RecalcCount();
}

void TCtlSparseArray::Shift(int32_t From, int Delta) {
    // Gather the items at From and above, clear their slots, and write them back moved.
    std::vector<std::pair<int32_t, void*>> Moved;
    for (auto& Page : FPages) {
        int32_t Base = Page.Number * PageSize;
        if (Base + PageSize <= From) continue;
        for (int Slot = 0; Slot < PageSize; ++Slot) {
            void*& Item = (*Page.Slots)[Slot];
            if (Base + Slot >= From && Item) {
                Moved.emplace_back(Base + Slot, Item);
                Item = nullptr;
            }
        }
    }
    for (auto& [Index, Item] : Moved) {
        int32_t Target = Index + Delta;
        if (Delta < 0 && Index == From) continue;  // the deleted item
        PageFor(static_cast<uint16_t>(Target / PageSize))[Target % PageSize] = Item;
    }
}

void TCtlSparseArray::Insert(int32_t Index, void* Item) {
    CheckIndex(Index);
    if (FCount >= MaxItems) throw ESAEAtMaxSize();
    if (Index >= FCount) {
        SetItems(Index, Item);
        return;
    }
    Shift(Index, +1);
    if (Item) PageFor(static_cast<uint16_t>(Index / PageSize))[Index % PageSize] = Item;
    Squeeze();
    RecalcCount();
}

void TCtlSparseArray::Delete(int32_t Index) {
    CheckIndex(Index);
    if (Index >= FCount) return;
    Shift(Index, -1);
    Squeeze();
    RecalcCount();
}

void TCtlSparseArray::Exchange(int32_t Index1, int32_t Index2) {
    CheckIndex(Index1);
    CheckIndex(Index2);
    if (Index1 == Index2) return;
    void* Item1 = Items(Index1);
    void* Item2 = Items(Index2);
    if (Item2)
        PageFor(static_cast<uint16_t>(Index1 / PageSize))[Index1 % PageSize] = Item2;
    else if (Item1)
        PageFor(static_cast<uint16_t>(Index1 / PageSize))[Index1 % PageSize] = nullptr;
    if (Item1)
        PageFor(static_cast<uint16_t>(Index2 / PageSize))[Index2 % PageSize] = Item1;
    else if (Item2)
        PageFor(static_cast<uint16_t>(Index2 / PageSize))[Index2 % PageSize] = nullptr;
    Squeeze();
    RecalcCount();
}

void TCtlSparseArray::Clear() {
    FPages.clear();
    FCount = 0;
}

int32_t TCtlSparseArray::ActiveCount() const {
    int32_t N = 0;
    for (auto& Page : FPages)
        for (void* Item : *Page.Slots)
            if (Item) ++N;
    return N;
}

int32_t TCtlSparseArray::ForAll(const TForAllCallback& Callback, bool Backwards, void* ExtraData) const {
    const int32_t N = static_cast<int32_t>(FPages.size());
    for (int32_t P = 0; P < N; ++P) {
        const TPage& Page = FPages[static_cast<size_t>(Backwards ? N - 1 - P : P)];
        for (int S = 0; S < PageSize; ++S) {
            int Slot = Backwards ? PageSize - 1 - S : S;
            void* Item = (*Page.Slots)[Slot];
            if (!Item) continue;
            int32_t Index = Page.Number * PageSize + Slot;
            if (!Callback(Index, Item, ExtraData)) return Index;
        }
    }
    return -1;
}

void TCtlSparseArray::Squeeze() {
    std::erase_if(FPages, [](const TPage& Page) {
        return std::all_of(Page.Slots->begin(), Page.Slots->end(), [](void* Item) { return !Item; });
    });
}

void TCtlSparseArray::RecalcCount() {
    int32_t Last = ForAll([](int32_t, void*, void*) { return false; }, true, nullptr);
    FCount = Last + 1;
}

// ---- TCtlCellArray ----

namespace {
bool CellLess(const TCtlCellAddress& A, const TCtlCellAddress& B) {
    return A.RowNum != B.RowNum ? A.RowNum < B.RowNum : A.ColNum < B.ColNum;
}
constexpr size_t CellArrayGrowth = 128;
}  // namespace

void TCtlCellArray::Reserve(size_t Needed) {
    if (Needed > FCells.capacity())
        FCells.reserve((Needed + CellArrayGrowth - 1) / CellArrayGrowth * CellArrayGrowth);
}

void TCtlCellArray::AddCell(int32_t RowNum, int32_t ColNum) {
    TCtlCellAddress Cell{RowNum, ColNum};
    auto It = std::lower_bound(FCells.begin(), FCells.end(), Cell, CellLess);
    if (It != FCells.end() && *It == Cell) return;
    auto At = It - FCells.begin();
    Reserve(FCells.size() + 1);
    FCells.insert(FCells.begin() + At, Cell);
}

bool TCtlCellArray::DeleteCell(int32_t RowNum, int32_t ColNum) {
    TCtlCellAddress Cell{RowNum, ColNum};
    auto It = std::lower_bound(FCells.begin(), FCells.end(), Cell, CellLess);
    if (It == FCells.end() || !(*It == Cell)) return false;
    FCells.erase(It);
    return true;
}

TCtlCellAddress TCtlCellArray::Items(int Index) const {
    if (Index < 0 || Index >= Count()) return {};
    return FCells[static_cast<size_t>(Index)];
}

void TCtlCellArray::Clear() {
    FCells.clear();
    FUnusedArea = false;
}

void TCtlCellArray::Merge(const TCtlCellArray& Other) {
    std::vector<TCtlCellAddress> Union;
    size_t Room = FCells.size() + Other.FCells.size();
    Union.reserve((Room + CellArrayGrowth - 1) / CellArrayGrowth * CellArrayGrowth);
    std::set_union(FCells.begin(), FCells.end(), Other.FCells.begin(), Other.FCells.end(),
                   std::back_inserter(Union), CellLess);
    FCells = std::move(Union);
}

// ---- TCtlSelectionList ----

TCtlSelectionList::TCtlSelectionList(int32_t RowCount, int32_t ColCount) {
    SetRowCount(RowCount);
    SetColCount(ColCount);
}

void TCtlSelectionList::SetRowCount(int32_t N) {
    if (N >= 0) FRowCount = N;
}

void TCtlSelectionList::SetColCount(int32_t N) {
    if (N < 0) return;
    FColumns.resize(static_cast<size_t>(N));
    FColCount = N;
}

void TCtlSelectionList::Clear() {
    for (auto& Column : FColumns) Column.reset();
    FNoPending = true;
}

void TCtlSelectionList::SelectAll() {
    FNoPending = true;
    if (FRowCount <= 0) return;
    for (auto& Column : FColumns) Column = std::make_unique<TRangeList>(TRangeList{{0, FRowCount - 1}});
}

bool TCtlSelectionList::InBounds(int32_t RowNum, int32_t ColNum) const {
    return RowNum >= 0 && RowNum < FRowCount && ColNum >= 0 && ColNum < FColCount;
}

void TCtlSelectionList::AddRows(TRangeList& List, int32_t Lo, int32_t Hi) {
    auto It =
        std::upper_bound(List.begin(), List.end(), Lo,
                         [](int32_t Value, const std::pair<int32_t, int32_t>& R) { return Value < R.first; });
    // Join the previous range when it reaches (or touches) Lo.
    if (It != List.begin() && static_cast<int64_t>(std::prev(It)->second) + 1 >= Lo) {
        --It;
        It->second = std::max(It->second, Hi);
    } else {
        It = List.insert(It, {Lo, Hi});
    }
    // Swallow the following ranges that start at or before the end + 1.
    auto Next = std::next(It);
    while (Next != List.end() && static_cast<int64_t>(Next->first) <= static_cast<int64_t>(It->second) + 1) {
        It->second = std::max(It->second, Next->second);
        Next = List.erase(Next);
        It = std::prev(Next);
    }
}

void TCtlSelectionList::RemoveRows(TRangeList& List, int32_t Lo, int32_t Hi) {
    TRangeList Result;
    for (auto [First, Last] : List) {
        if (Last < Lo || First > Hi) {
            Result.emplace_back(First, Last);
            continue;
        }
        if (First < Lo) Result.emplace_back(First, Lo - 1);
        if (Last > Hi) Result.emplace_back(Hi + 1, Last);
    }
    List = std::move(Result);
}

void TCtlSelectionList::ApplyRange(int32_t RowLo, int32_t ColLo, int32_t RowHi, int32_t ColHi, bool Select) {
    if (RowLo > RowHi) std::swap(RowLo, RowHi);
    if (ColLo > ColHi) std::swap(ColLo, ColHi);
    if (!InBounds(RowLo, ColLo) || !InBounds(RowHi, ColHi)) return;
    for (int32_t Col = ColLo; Col <= ColHi; ++Col) {
        auto& Column = FColumns[static_cast<size_t>(Col)];
        if (Select) {
            if (!Column) Column = std::make_unique<TRangeList>();
            AddRows(*Column, RowLo, RowHi);
        } else if (Column) {
            RemoveRows(*Column, RowLo, RowHi);
            if (Column->empty()) Column.reset();
        }
    }
}

void TCtlSelectionList::SelectRange(int32_t RowLo, int32_t ColLo, int32_t RowHi, int32_t ColHi) {
    ApplyRange(RowLo, ColLo, RowHi, ColHi, true);
}

void TCtlSelectionList::DeselectRange(int32_t RowLo, int32_t ColLo, int32_t RowHi, int32_t ColHi) {
    ApplyRange(RowLo, ColLo, RowHi, ColHi, false);
}

void TCtlSelectionList::Commit() {
    if (FNoPending) return;
    FNoPending = true;
    ApplyRange(FPendRowLo, FPendColLo, FPendRowHi, FPendColHi, FPendSelect);
}

void TCtlSelectionList::SetAnchor(int32_t RowNum, int32_t ColNum, bool Keep) {
    if (!InBounds(RowNum, ColNum)) return;
    if (Keep)
        Commit();
    else
        Clear();
    FAnchor = FCorner = {RowNum, ColNum};
    FNoPending = true;
}

void TCtlSelectionList::ExtendTo(int32_t RowNum, int32_t ColNum, bool Select) {
    if (!InBounds(RowNum, ColNum)) return;
    FCorner = {RowNum, ColNum};
    if (FCorner == FAnchor) {
        FNoPending = true;
        return;
    }
    FPendRowLo = std::min(FAnchor.RowNum, RowNum);
    FPendRowHi = std::max(FAnchor.RowNum, RowNum);
    FPendColLo = std::min(FAnchor.ColNum, ColNum);
    FPendColHi = std::max(FAnchor.ColNum, ColNum);
    FPendSelect = Select;
    FNoPending = false;
}

bool TCtlSelectionList::IsSelected(int32_t RowNum, int32_t ColNum) const {
    if (!InBounds(RowNum, ColNum)) return false;
    if (!FNoPending && RowNum >= FPendRowLo && RowNum <= FPendRowHi && ColNum >= FPendColLo &&
        ColNum <= FPendColHi)
        return FPendSelect;
    const auto& Column = FColumns[static_cast<size_t>(ColNum)];
    if (!Column) return false;
    return std::any_of(Column->begin(), Column->end(),
                       [RowNum](const auto& R) { return RowNum >= R.first && RowNum <= R.second; });
}

bool TCtlSelectionList::HasSelection() const {
    return !FNoPending ||
           std::any_of(FColumns.begin(), FColumns.end(), [](const auto& C) { return C != nullptr; });
}

void TCtlSelectionList::Iterate(const TIterateCallback& Callback, void* ExtraData) {
    Commit();
    for (int32_t Col = 0; Col < FColCount; ++Col) {
        const auto& Column = FColumns[static_cast<size_t>(Col)];
        if (!Column) continue;
        for (auto [First, Last] : *Column)
            if (!Callback(First, Col, Last, Col, ExtraData)) return;
    }
}

std::vector<std::pair<int32_t, int32_t>> TCtlSelectionList::ColumnRanges(int32_t ColNum) const {
    if (ColNum < 0 || ColNum >= FColCount || !FColumns[static_cast<size_t>(ColNum)]) return {};
    return *FColumns[static_cast<size_t>(ColNum)];
}

}  // namespace grid
