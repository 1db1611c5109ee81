#include "framework/core/List.h"

#include <algorithm>
#include <string>

#include "framework/core/Exception.h"

namespace framework {

void TList::Error(const char* Msg, int Data) {
    std::string text = Msg;
    if (auto at = text.find("%d"); at != std::string::npos) text.replace(at, 2, std::to_string(Data));
    throw EListError(text);
}

TList::~TList() {
    // Notify is virtual; a derived list that must react to the items leaving clears itself in its
    // own destructor. Here only the slots go.
}

void TList::CheckIndex(int Index) const {
    if (Index < 0 || Index >= Count()) Error("List index out of bounds (%d)", Index);
}

void TList::Grow() {
    // Small lists grow by 4 slots, middling ones by 16, large ones by a quarter.
    int delta = FCapacity > 64 ? FCapacity / 4 : (FCapacity > 8 ? 16 : 4);
    SetCapacity(FCapacity + delta);
}

void TList::SetCapacity(int NewCapacity) {
    if (NewCapacity < Count()) Error("List capacity out of bounds (%d)", NewCapacity);
    if (NewCapacity == FCapacity) return;
    if (NewCapacity < FCapacity) {
        FList.shrink_to_fit();
    }
    FList.reserve(static_cast<size_t>(NewCapacity));
    FCapacity = NewCapacity;
}

void TList::SetCount(int NewCount) {
    if (NewCount < 0) Error("List count out of bounds (%d)", NewCount);
    if (NewCount > FCapacity) SetCapacity(NewCount);
    if (NewCount > Count()) {
        FList.resize(static_cast<size_t>(NewCount), nullptr);
    } else {
        for (int i = Count() - 1; i >= NewCount; --i) Delete(i);
    }
}

Pointer TList::Get(int Index) const {
    CheckIndex(Index);
    return FList[static_cast<size_t>(Index)];
}

void TList::Put(int Index, Pointer Item) {
    CheckIndex(Index);
    Pointer old = FList[static_cast<size_t>(Index)];
    if (old == Item) return;
    FList[static_cast<size_t>(Index)] = Item;
    if (old != nullptr) Notify(old, lnDeleted);
    if (Item != nullptr) Notify(Item, lnAdded);
}

int TList::Add(Pointer Item) {
    int index = Count();
    Insert(index, Item);
    return index;
}

void TList::Insert(int Index, Pointer Item) {
    if (Index < 0 || Index > Count()) Error("List index out of bounds (%d)", Index);
    if (Count() == FCapacity) Grow();
    FList.insert(FList.begin() + Index, Item);
    if (Item != nullptr) Notify(Item, lnAdded);
}

void TList::Delete(int Index) {
    CheckIndex(Index);
    Pointer item = FList[static_cast<size_t>(Index)];
    FList.erase(FList.begin() + Index);
    if (item != nullptr) Notify(item, lnDeleted);
}

int TList::IndexOf(Pointer Item) const {
    auto it = std::find(FList.begin(), FList.end(), Item);
    return it == FList.end() ? -1 : static_cast<int>(it - FList.begin());
}

int TList::Remove(Pointer Item) {
    int index = IndexOf(Item);
    if (index >= 0) Delete(index);
    return index;
}

Pointer TList::Extract(Pointer Item) {
    int index = IndexOf(Item);
    if (index < 0) return nullptr;
    FList.erase(FList.begin() + index);
    Notify(Item, lnExtracted);
    return Item;
}

void TList::Exchange(int Index1, int Index2) {
    CheckIndex(Index1);
    CheckIndex(Index2);
    std::swap(FList[static_cast<size_t>(Index1)], FList[static_cast<size_t>(Index2)]);
}

void TList::Move(int CurIndex, int NewIndex) {
    if (CurIndex == NewIndex) return;
    CheckIndex(CurIndex);
    CheckIndex(NewIndex);
    Pointer item = FList[static_cast<size_t>(CurIndex)];
    FList.erase(FList.begin() + CurIndex);
    FList.insert(FList.begin() + NewIndex, item);
}

void TList::Clear() {
    SetCount(0);
    SetCapacity(0);
}

void TList::Pack() {
    for (int i = Count() - 1; i >= 0; --i)
        if (FList[static_cast<size_t>(i)] == nullptr) FList.erase(FList.begin() + i);
}

void TList::Notify(Pointer, TListNotification) {}

void QuickSortIndexes(int L, int R, const std::function<int(int, int)>& Compare,
                      const std::function<void(int, int)>& Exchange) {
    // Hoare partition around the middle item; the pivot's index is followed as items are
    // exchanged. The smaller part is sorted by recursion and the larger one by the loop, so the
    // depth stays logarithmic. The bounds on the scans only matter for a comparison that is not
    // consistent (one that does not find an item equal to itself).
    while (L < R) {
        int i = L, j = R, p = L + (R - L) / 2;
        do {
            while (i < R && Compare(i, p) < 0) ++i;
            while (j > L && Compare(j, p) > 0) --j;
            if (i <= j) {
                if (i != j) Exchange(i, j);
                if (p == i) {
                    p = j;
                } else if (p == j) {
                    p = i;
                }
                ++i;
                --j;
            }
        } while (i <= j);
        if (j - L < R - i) {
            if (L < j) QuickSortIndexes(L, j, Compare, Exchange);
            L = i;
        } else {
            if (i < R) QuickSortIndexes(i, R, Compare, Exchange);
            R = j;
        }
    }
}

void TList::Sort(const TListSortCompare& Compare) {
    if (Count() < 2) return;
    QuickSortIndexes(
        0, Count() - 1,
        [&](int a, int b) { return Compare(FList[static_cast<size_t>(a)], FList[static_cast<size_t>(b)]); },
        [&](int a, int b) { std::swap(FList[static_cast<size_t>(a)], FList[static_cast<size_t>(b)]); });
}

TObjectList::~TObjectList() {
    Clear();
}

void TObjectList::Notify(Pointer Ptr, TListNotification Action) {
    if (OwnsObjects && Action == lnDeleted) delete static_cast<TObject*>(Ptr);
    TList::Notify(Ptr, Action);
}

void TThreadList::Add(Pointer Item) {
    std::lock_guard<std::recursive_mutex> guard(FLock);
    if (Duplicates != dupAccept && FList.IndexOf(Item) >= 0) {
        if (Duplicates == dupError) throw EListError("List does not allow duplicates");
        return;
    }
    FList.Add(Item);
}

void TThreadList::Remove(Pointer Item) {
    std::lock_guard<std::recursive_mutex> guard(FLock);
    FList.Remove(Item);
}

void TThreadList::Clear() {
    std::lock_guard<std::recursive_mutex> guard(FLock);
    FList.Clear();
}

TList* TThreadList::LockList() {
    FLock.lock();
    return &FList;
}

void TThreadList::UnlockList() {
    FLock.unlock();
}

}  // namespace framework
