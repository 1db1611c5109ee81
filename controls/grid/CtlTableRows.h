#pragma once
// The geometry and look a grid keeps of its rows and columns: row heights and visibility (stored
// only for rows that differ from the default), the columns with their widths, visibility and
// default cell components, the colour scheme and the four grid pens; and their stream forms
// "RowData" and "ColData".

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "controls/grid/CtlTableCell.h"
#include "controls/grid/CtlTableContainers.h"
#include "framework/core/Filer.h"
#include "framework/core/Persistent.h"

namespace grid {

// Raises ECtlTable with the message-table text Number.
[[noreturn]] void CtlTableError(uint32_t Number);

struct TCtlRowInfo {
    int32_t Height = 0;
    bool Hidden = false;
};

class TCtlTableRows : public framework::TPersistent {
public:
    TCtlTableRows();
    ~TCtlTableRows() override;

    int32_t DefaultHeight() const { return FDefaultHeight; }
    void SetDefaultHeight(int32_t H);
    int32_t Limit() const { return FLimit; }
    void SetLimit(int32_t N);
    int32_t RecordCount() const { return FRecordCount; }

    void Clear();
    void Exchange(int32_t RowNum1, int32_t RowNum2);
    TCtlRowInfo GetRow(int32_t RowNum) const;
    int32_t Height(int32_t RowNum) const { return GetRow(RowNum).Height; }
    bool Hidden(int32_t RowNum) const { return GetRow(RowNum).Hidden; }
    bool RowIsSpecial(int32_t RowNum) const;
    void ResetRow(int32_t RowNum);
    void SetRow(int32_t RowNum, int32_t Height, bool Hidden);
    void SetHeight(int32_t RowNum, int32_t Height);
    void Rescale(int M, int D);
    // The stored record itself (Height -1 stands for the default), nil when there is none.
    const TCtlRowInfo* StoredRow(int32_t RowNum) const;

    // "RowData": the default height, then row, hidden, height for every special row.
    void WriteData(framework::TWriter* Writer) const;
    void ReadData(framework::TReader* Reader);

    TRowChangeNotifyEvent OnChange;

private:
    void CheckRow(int32_t RowNum) const;
    int32_t Normalise(int32_t Height) const { return Height <= 0 || Height == FDefaultHeight ? -1 : Height; }
    void Notify(int32_t Row1, int32_t Row2, TCtlTblActions Action);
    TCtlRowInfo* Record(int32_t RowNum) const;
    void FreeRecord(int32_t RowNum);

    int32_t FRecordCount = 0;
    TCtlSparseArray FRows;
    int32_t FDefaultHeight = 30;
    int32_t FLimit = 10;
};

class TCtlTableColumn : public framework::TPersistent {
public:
    explicit TCtlTableColumn(TCtlTableAncestor* Table);
    ~TCtlTableColumn() override;

    TCtlBaseTableCell* DefaultCell() const { return FDefaultCell; }
    // Refused silently when the cell serves another grid.
    void SetDefaultCell(TCtlBaseTableCell* Cell);
    int32_t Number() const { return FNumber; }
    void SetNumber(int32_t N) { FNumber = N; }
    int32_t Width() const { return FWidth; }
    void SetWidth(int32_t W);
    bool Hidden() const { return FHidden; }
    void SetHidden(bool B);
    TCtlTableAncestor* Table() const { return FTable; }
    void Assign(framework::TPersistent* Source) override;
    void CellRemoved(TCtlBaseTableCell* Cell);

    TColChangeNotifyEvent OnChange;

private:
    void Notify() {
        if (OnChange) OnChange(this, FNumber, 0, taSingle);
    }
    TCtlBaseTableCell* FDefaultCell = nullptr;
    int32_t FNumber = 0;
    TCtlTableAncestor* FTable;
    int32_t FWidth = 150;
    bool FHidden = false;
};

class TCtlTableColumns : public framework::TPersistent {
public:
    static constexpr int32_t MaxColumns = 134217727;

    TCtlTableColumns(TCtlTableAncestor* Table, int32_t N);
    ~TCtlTableColumns() override;

    int32_t Count() const { return static_cast<int32_t>(FColumns.size()); }
    TCtlTableColumn* Items(int32_t Index) const;
    TCtlBaseTableCell* DefaultCell(int32_t Index) const;
    // Takes ownership of Column unless it is refused (another grid): a refused column is freed.
    void Append(TCtlTableColumn* Column);
    void Clear();
    void Delete(int32_t Index);
    void Exchange(int32_t Index1, int32_t Index2);
    void SetCount(int32_t N);
    void SetChangeNotice(TColChangeNotifyEvent Notice);
    std::vector<TCtlPendingReference>& BeginPendingNames();
    bool HasPendingNames() const { return FPending != nullptr; }
    TCtlTableAncestor* Table() const { return FTable; }
    void ResolvePendingNames();
    void CellRemoved(TCtlBaseTableCell* Cell);

    // "ColData": width, hidden, has-cell and the cell reference for every column.
    void WriteData(framework::TWriter* Writer) const;
    void ReadData(framework::TReader* Reader);

protected:
    // The column that SetCount adds.
    virtual TCtlTableColumn* NewColumn() { return new TCtlTableColumn(FTable); }

private:
    void Send(int32_t C1, int32_t C2, TCtlTblActions Action) {
        if (FOnChange) FOnChange(this, C1, C2, Action);
    }
    std::vector<std::unique_ptr<TCtlTableColumn>> FColumns;
    TColChangeNotifyEvent FOnChange;
    std::unique_ptr<std::vector<TCtlPendingReference>> FPending;
    TCtlTableAncestor* FTable;
};

class TCtlTableColors : public framework::TPersistent {
public:
    enum TRole {
        Locked,
        LockedText,
        ActiveFocused,
        ActiveFocusedText,
        ActiveUnfocused,
        ActiveUnfocusedText,
        Editing,
        EditingText,
        Selected,
        SelectedText,
        RoleCount
    };
    TCtlTableColors();
    framework::TColor Color(TRole Role) const { return FColors[Role]; }
    void SetColor(TRole Role, framework::TColor Value);
    void Assign(framework::TPersistent* Source) override;
    framework::TNotifyEvent OnChange;

private:
    std::array<framework::TColor, RoleCount> FColors;
};

enum TGridEffect : uint8_t { geNone, geVertical, geHorizontal, geBoth, ge3D };

class TCtlGridPen : public framework::TPersistent {
public:
    framework::TColor NormalColor() const { return FNormalColor; }
    void SetNormalColor(framework::TColor Value);
    framework::TColor SecondColor() const { return FSecondColor; }
    void SetSecondColor(framework::TColor Value);
    TGridEffect Effect() const { return FEffect; }
    void SetEffect(TGridEffect Value);
    framework::TPenStyle Style() const { return FStyle; }
    void SetStyle(framework::TPenStyle Value);
    void Assign(framework::TPersistent* Source) override;
    framework::TNotifyEvent OnChange;

private:
    template <class T>
    void Change(T& Field, T Value) {
        if (Field == Value) return;
        Field = Value;
        if (OnChange) OnChange(this);
    }
    framework::TColor FNormalColor = framework::clBtnShadow;
    framework::TColor FSecondColor = framework::clBtnHighlight;
    TGridEffect FEffect = geBoth;
    framework::TPenStyle FStyle = framework::psSolid;
};

class TCtlGridPenSet : public framework::TPersistent {
public:
    TCtlGridPenSet();
    TCtlGridPen& NormalGrid() { return FPens[0]; }
    TCtlGridPen& LockedGrid() { return FPens[1]; }
    TCtlGridPen& CellWhenFocused() { return FPens[2]; }
    TCtlGridPen& CellWhenUnfocused() { return FPens[3]; }
    void Assign(framework::TPersistent* Source) override;
    void SetChangeNotice(const framework::TNotifyEvent& Notice);

private:
    std::array<TCtlGridPen, 4> FPens;
};

}  // namespace grid
