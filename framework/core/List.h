#pragma once
// Lists of untyped pointers.
//
// TList holds pointers (or pointer-sized numbers) and owns nothing. TObjectList holds objects and,
// while OwnsObjects is set, frees an object when it leaves the list by Delete, Remove, Put, Clear
// or the list's destruction (Extract takes one out without freeing it). TThreadList is a TList
// behind a lock.
//
// Every index is checked; a bad one raises EListError "List index out of bounds (%d)" with the
// index. Capacity is the number of slots reserved; it never drops below Count.

#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "framework/core/Object.h"

namespace framework {

using Pointer = void*;

// Negative when Item1 sorts before Item2, 0 when equal, positive when after.
using TListSortCompare = std::function<int(Pointer Item1, Pointer Item2)>;

enum TListNotification { lnAdded, lnExtracted, lnDeleted };

// How a sorted list treats an item equal to one it holds.
enum TDuplicates { dupIgnore, dupAccept, dupError };

class TList : public TObject {
public:
    TList() = default;
    TList(const TList&) = delete;
    TList& operator=(const TList&) = delete;
    ~TList() override;

    int Count() const { return static_cast<int>(FList.size()); }
    // Growing adds null items; shrinking drops (and notifies) the items past the new count.
    // Raises EListError "List count out of bounds (%d)" for a negative count.
    void SetCount(int NewCount);
    int Capacity() const { return FCapacity; }
    // Raises EListError "List capacity out of bounds (%d)" below Count.
    void SetCapacity(int NewCapacity);

    Pointer Get(int Index) const;
    void Put(int Index, Pointer Item);
    Pointer Items(int Index) const { return Get(Index); }
    Pointer operator[](int Index) const { return Get(Index); }

    int Add(Pointer Item);
    // Index may be Count (append).
    void Insert(int Index, Pointer Item);
    void Delete(int Index);
    // Deletes the first occurrence; returns its former index or -1.
    int Remove(Pointer Item);
    // Takes the first occurrence out without the "deleted" notice; returns it, or null when absent.
    Pointer Extract(Pointer Item);
    int IndexOf(Pointer Item) const;
    void Exchange(int Index1, int Index2);
    // Takes the item at CurIndex out and puts it back at NewIndex.
    void Move(int CurIndex, int NewIndex);
    Pointer First() const { return Get(0); }
    Pointer Last() const { return Get(Count() - 1); }
    // Removes every item (last first) and releases the slots.
    virtual void Clear();
    // Removes the null items.
    void Pack();
    // Quicksort (not stable: equal items may change places).
    void Sort(const TListSortCompare& Compare);

    // Raises EListError with Msg, where "%d" is replaced by Data.
    [[noreturn]] static void Error(const char* Msg, int Data);

protected:
    // Told of every item that joins (lnAdded) or leaves the list (lnExtracted, lnDeleted), after
    // the list has changed.
    virtual void Notify(Pointer Ptr, TListNotification Action);
    void CheckIndex(int Index) const;

private:
    void Grow();

    std::vector<Pointer> FList;
    int FCapacity = 0;
};

// Sorts the pointers FList[L..R] with the list's quicksort; shared with the string list.
void QuickSortIndexes(int L, int R, const std::function<int(int, int)>& Compare,
                      const std::function<void(int, int)>& Exchange);

class TObjectList : public TList {
public:
    explicit TObjectList(bool AOwnsObjects = true) : OwnsObjects(AOwnsObjects) {}
    ~TObjectList() override;

    // Items go in and out as TObject*, so that an object of a class with several bases is stored
    // by the address of its TObject part (the one the list frees).
    TObject* Get(int Index) const { return static_cast<TObject*>(TList::Get(Index)); }
    void Put(int Index, TObject* Item) { TList::Put(Index, Item); }
    int Add(TObject* Item) { return TList::Add(Item); }
    void Insert(int Index, TObject* Item) { TList::Insert(Index, Item); }
    int Remove(TObject* Item) { return TList::Remove(Item); }
    int IndexOf(TObject* Item) const { return TList::IndexOf(Item); }
    TObject* Items(int Index) const { return Get(Index); }
    TObject* operator[](int Index) const { return Get(Index); }
    TObject* First() const { return Get(0); }
    TObject* Last() const { return Get(Count() - 1); }
    TObject* Extract(TObject* Item) { return static_cast<TObject*>(TList::Extract(Item)); }

    bool OwnsObjects;

protected:
    void Notify(Pointer Ptr, TListNotification Action) override;
};

class TThreadList : public TObject {
public:
    TThreadList() = default;
    TThreadList(const TThreadList&) = delete;
    TThreadList& operator=(const TThreadList&) = delete;

    // Adds under the lock; an item already held is dropped (dupIgnore), added again (dupAccept) or
    // refused with EListError "List does not allow duplicates" (dupError).
    void Add(Pointer Item);
    void Remove(Pointer Item);
    void Clear();
    // Locks and hands out the list; every LockList is paired with UnlockList.
    TList* LockList();
    void UnlockList();

    TDuplicates Duplicates = dupIgnore;

private:
    std::recursive_mutex FLock;
    TList FList;
};

}  // namespace framework
