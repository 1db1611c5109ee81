#pragma once
// The containers the grids keep internally: a paged sparse pointer array (row and per-cell
// attributes), a sorted set of cell addresses (cells waiting to be repainted) and the selection
// store (per column a sorted list of row ranges plus a pending rectangle that is applied lazily).

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "controls/entry/CtlMessages.h"

namespace grid {

class ESparseArrayError : public entry::ECtlException {
public:
    ESparseArrayError();

protected:
    using entry::ECtlException::ECtlException;
};
class ESAEAtMaxSize : public ESparseArrayError {
public:
    ESAEAtMaxSize();
};
class ESAEOutOfBounds : public ESparseArrayError {
public:
    ESAEOutOfBounds();
};

// Up to CtlSparseMaxItems untyped pointers; only pages of 32 slots that hold an item are stored.
// Items are not owned.
class TCtlSparseArray {
public:
    static constexpr int32_t MaxItems = 320000;
    static constexpr int PageSize = 32;
    // Called for every non-nil item; returning false stops the walk.
    using TForAllCallback = std::function<bool(int32_t Index, void* Item, void* ExtraData)>;

    int32_t Count() const { return FCount; }
    int PageCount() const { return static_cast<int>(FPages.size()); }

    void* Items(int32_t Index) const;
    void SetItems(int32_t Index, void* Item);
    void Insert(int32_t Index, void* Item);
    void Delete(int32_t Index);
    void Exchange(int32_t Index1, int32_t Index2);
    void Clear();
    int32_t ActiveCount() const;
    // Returns the index of the item whose callback returned false, or -1.
    int32_t ForAll(const TForAllCallback& Callback, bool Backwards, void* ExtraData) const;
    void Squeeze();

private:
    struct TPage {
        uint16_t Number;
        std::unique_ptr<std::array<void*, PageSize>> Slots;
    };
    static void CheckIndex(int32_t Index);
    // Position in FPages of page Number, or the position where it would be inserted.
    size_t Find(uint16_t Number, bool& Found) const;
    std::array<void*, PageSize>& PageFor(uint16_t Number);
    void RecalcCount();
    // Every item at From or above moves by Delta (+1 or -1); the item that would move below From
    // (on a delete) is dropped.
    void Shift(int32_t From, int Delta);

    int32_t FCount = 0;
    std::vector<TPage> FPages;
};

// One cell address of a grid.
struct TCtlCellAddress {
    int32_t RowNum = 0;
    int32_t ColNum = 0;
    bool operator==(const TCtlCellAddress&) const = default;
};

// A set of cell addresses sorted by row then column, plus a flag for the area outside all cells.
class TCtlCellArray {
public:
    void AddCell(int32_t RowNum, int32_t ColNum);
    bool DeleteCell(int32_t RowNum, int32_t ColNum);
    int Count() const { return static_cast<int>(FCells.size()); }
    TCtlCellAddress Items(int Index) const;
    void SetUnusedArea() { FUnusedArea = true; }
    bool UnusedArea() const { return FUnusedArea; }
    void Clear();
    bool IsEmpty() const { return FCells.empty() && !FUnusedArea; }
    // Union with Other; Other's flag is not copied.
    void Merge(const TCtlCellArray& Other);
    size_t Capacity() const { return FCells.capacity(); }

private:
    void Reserve(size_t Needed);
    std::vector<TCtlCellAddress> FCells;
    bool FUnusedArea = false;
};

// The selected cells of a grid.
class TCtlSelectionList {
public:
    using TIterateCallback = std::function<bool(int32_t RowNum1, int32_t ColNum1, int32_t RowNum2,
                                                int32_t ColNum2, void* ExtraData)>;

    TCtlSelectionList(int32_t RowCount, int32_t ColCount);

    int32_t RowCount() const { return FRowCount; }
    int32_t ColCount() const { return FColCount; }
    void SetRowCount(int32_t N);
    void SetColCount(int32_t N);
    void Clear();
    void SelectAll();
    void SelectRange(int32_t RowLo, int32_t ColLo, int32_t RowHi, int32_t ColHi);
    void DeselectRange(int32_t RowLo, int32_t ColLo, int32_t RowHi, int32_t ColHi);
    void SetAnchor(int32_t RowNum, int32_t ColNum, bool Keep);
    void ExtendTo(int32_t RowNum, int32_t ColNum, bool Select);
    bool IsSelected(int32_t RowNum, int32_t ColNum) const;
    bool HasSelection() const;
    bool HasPending() const { return !FNoPending; }
    void Iterate(const TIterateCallback& Callback, void* ExtraData);
    // The stored ranges of one column (without the pending rectangle).
    std::vector<std::pair<int32_t, int32_t>> ColumnRanges(int32_t ColNum) const;

private:
    using TRangeList = std::vector<std::pair<int32_t, int32_t>>;
    bool InBounds(int32_t RowNum, int32_t ColNum) const;
    void ApplyRange(int32_t RowLo, int32_t ColLo, int32_t RowHi, int32_t ColHi, bool Select);
    static void AddRows(TRangeList& List, int32_t Lo, int32_t Hi);
    static void RemoveRows(TRangeList& List, int32_t Lo, int32_t Hi);
    void Commit();

    std::vector<std::unique_ptr<TRangeList>> FColumns;
    int32_t FColCount = 0;
    int32_t FRowCount = 0;
    TCtlCellAddress FCorner;
    TCtlCellAddress FAnchor;
    int32_t FPendColLo = 0, FPendColHi = 0, FPendRowLo = 0, FPendRowHi = 0;
    bool FPendSelect = true;
    bool FNoPending = true;
};

}  // namespace grid
