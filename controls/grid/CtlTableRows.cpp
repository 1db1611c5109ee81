#include "controls/grid/CtlTableRows.h"

#include "framework/ui/Windows.h"

namespace grid {

using namespace framework;

void CtlTableError(uint32_t Number) {
    throw ECtlTable(entry::CtlGetMessage(Number));
}

namespace {
constexpr uint32_t SCtlTableRowOutOfBounds = 30258;
constexpr uint32_t SCtlTableMaxColumns = 30260;
constexpr int32_t MaxRecordRow = TCtlSparseArray::MaxItems;
}  // namespace

// ---- TCtlTableRows ----

TCtlTableRows::TCtlTableRows() = default;

TCtlTableRows::~TCtlTableRows() {
    OnChange = nullptr;
    Clear();
}

void TCtlTableRows::CheckRow(int32_t RowNum) const {
    if (RowNum < 0 || RowNum >= FLimit) CtlTableError(SCtlTableRowOutOfBounds);
}

void TCtlTableRows::Notify(int32_t Row1, int32_t Row2, TCtlTblActions Action) {
    if (OnChange) OnChange(this, Row1, Row2, Action);
}

TCtlRowInfo* TCtlTableRows::Record(int32_t RowNum) const {
    return RowNum < MaxRecordRow ? static_cast<TCtlRowInfo*>(FRows.Items(RowNum)) : nullptr;
}

void TCtlTableRows::FreeRecord(int32_t RowNum) {
    delete Record(RowNum);
    FRows.SetItems(RowNum, nullptr);
    --FRecordCount;
}

void TCtlTableRows::Clear() {
    FRows.ForAll(
        [](int32_t, void* Item, void*) {
            delete static_cast<TCtlRowInfo*>(Item);
            return true;
        },
        false, nullptr);
    FRows.Clear();
    FRecordCount = 0;
    Notify(0, 0, taAll);
}

void TCtlTableRows::Exchange(int32_t RowNum1, int32_t RowNum2) {
    CheckRow(RowNum1);
    CheckRow(RowNum2);
    if (RowNum1 != RowNum2 && RowNum1 < MaxRecordRow && RowNum2 < MaxRecordRow)
        FRows.Exchange(RowNum1, RowNum2);
    Notify(RowNum1, RowNum2, taExchange);
}

TCtlRowInfo TCtlTableRows::GetRow(int32_t RowNum) const {
    CheckRow(RowNum);
    TCtlRowInfo Info{FDefaultHeight, false};
    if (const TCtlRowInfo* R = Record(RowNum)) {
        Info.Hidden = R->Hidden;
        if (R->Height != -1) Info.Height = R->Height;
    }
    return Info;
}

const TCtlRowInfo* TCtlTableRows::StoredRow(int32_t RowNum) const {
    CheckRow(RowNum);
    return Record(RowNum);
}

bool TCtlTableRows::RowIsSpecial(int32_t RowNum) const {
    return StoredRow(RowNum) != nullptr;
}

void TCtlTableRows::ResetRow(int32_t RowNum) {
    CheckRow(RowNum);
    if (!Record(RowNum)) return;
    FreeRecord(RowNum);
    Notify(RowNum, 0, taSingle);
}

void TCtlTableRows::SetRow(int32_t RowNum, int32_t Height, bool Hidden) {
    CheckRow(RowNum);
    if (RowNum >= MaxRecordRow) return;
    Height = Normalise(Height);
    if (!Hidden && Height == -1) {
        ResetRow(RowNum);
        return;
    }
    TCtlRowInfo* R = Record(RowNum);
    if (!R) {
        R = new TCtlRowInfo;
        FRows.SetItems(RowNum, R);
        ++FRecordCount;
    }
    *R = {Height, Hidden};
    Notify(RowNum, 0, taSingle);
}

void TCtlTableRows::SetHeight(int32_t RowNum, int32_t Height) {
    CheckRow(RowNum);
    if (RowNum >= MaxRecordRow) return;
    Height = Normalise(Height);
    if (TCtlRowInfo* R = Record(RowNum)) {
        if (R->Height == Height) return;
        if (Height != -1 || R->Hidden)
            R->Height = Height;
        else
            FreeRecord(RowNum);
    } else {
        if (Height == -1) return;
        FRows.SetItems(RowNum, new TCtlRowInfo{Height, false});
        ++FRecordCount;
    }
    Notify(RowNum, 0, taSingle);
}

void TCtlTableRows::SetDefaultHeight(int32_t H) {
    if (H <= 0 || H == FDefaultHeight) return;
    FDefaultHeight = H;
    Notify(0, 0, taAll);
}

void TCtlTableRows::SetLimit(int32_t N) {
    if (N <= 0) N = 1;
    if (N == FLimit) return;
    FLimit = N;
    Notify(-2, 0, taGeneral);
}

void TCtlTableRows::Rescale(int M, int D) {
    FDefaultHeight = MulDiv(FDefaultHeight, M, D);
    FRows.ForAll(
        [M, D](int32_t, void* Item, void*) {
            auto* R = static_cast<TCtlRowInfo*>(Item);
            if (R->Height != -1) R->Height = MulDiv(R->Height, M, D);
            return true;
        },
        false, nullptr);
}

void TCtlTableRows::WriteData(TWriter* Writer) const {
    Writer->WriteListBegin();
    Writer->WriteInteger(FDefaultHeight);
    FRows.ForAll(
        [&](int32_t RowNum, void*, void*) {
            if (RowNum >= FLimit) return false;
            TCtlRowInfo Info = GetRow(RowNum);
            Writer->WriteInteger(RowNum);
            Writer->WriteBoolean(Info.Hidden);
            Writer->WriteInteger(Info.Height);
            return true;
        },
        false, nullptr);
    Writer->WriteListEnd();
}

void TCtlTableRows::ReadData(TReader* Reader) {
    Reader->ReadListBegin();
    Clear();
    SetDefaultHeight(Reader->ReadInteger());
    while (!Reader->EndOfList()) {
        int32_t RowNum = Reader->ReadInteger();
        bool Hidden = Reader->ReadBoolean();
        int32_t Height = Reader->ReadInteger();
        SetRow(RowNum, Height, Hidden);
    }
    Reader->ReadListEnd();
}

// ---- TCtlTableColumn ----

TCtlTableColumn::TCtlTableColumn(TCtlTableAncestor* Table) : FTable(Table) {}

TCtlTableColumn::~TCtlTableColumn() {
    if (FDefaultCell) FDefaultCell->ReleaseUser();
}

void TCtlTableColumn::SetWidth(int32_t W) {
    if (W == FWidth) return;
    FWidth = W;
    Notify();
}

void TCtlTableColumn::SetHidden(bool B) {
    if (B == FHidden) return;
    FHidden = B;
    Notify();
}

void TCtlTableColumn::SetDefaultCell(TCtlBaseTableCell* Cell) {
    if (Cell == FDefaultCell) return;
    if (Cell && Cell->Users() > 0 && Cell->Table() != FTable) return;  // a cell serves one grid
    if (FDefaultCell) FDefaultCell->ReleaseUser();
    FDefaultCell = Cell;
    if (Cell) {
        if (Cell->Users() == 0) Cell->SetTable(FTable);
        Cell->AddUser();
    }
    Notify();
}

void TCtlTableColumn::Assign(TPersistent* Source) {
    if (auto* Other = dynamic_cast<TCtlTableColumn*>(Source)) {
        FWidth = Other->FWidth;
        FHidden = Other->FHidden;
        SetDefaultCell(Other->FDefaultCell);
        return;
    }
    TPersistent::Assign(Source);
}

void TCtlTableColumn::CellRemoved(TCtlBaseTableCell* Cell) {
    if (Cell && Cell == FDefaultCell) SetDefaultCell(nullptr);
}

// ---- TCtlTableColumns ----

TCtlTableColumns::TCtlTableColumns(TCtlTableAncestor* Table, int32_t N) : FTable(Table) {
    for (int32_t I = 0; I < N; ++I) Append(new TCtlTableColumn(Table));
}

TCtlTableColumns::~TCtlTableColumns() {
    FOnChange = nullptr;
    FColumns.clear();
}

TCtlTableColumn* TCtlTableColumns::Items(int32_t Index) const {
    return Index >= 0 && Index < Count() ? FColumns[static_cast<size_t>(Index)].get() : nullptr;
}

TCtlBaseTableCell* TCtlTableColumns::DefaultCell(int32_t Index) const {
    TCtlTableColumn* Column = Items(Index);
    return Column ? Column->DefaultCell() : nullptr;
}

void TCtlTableColumns::Append(TCtlTableColumn* Column) {
    std::unique_ptr<TCtlTableColumn> Owned(Column);
    if (Count() >= MaxColumns) CtlTableError(SCtlTableMaxColumns);
    if (!Column || Column->Table() != FTable) return;
    Column->SetNumber(Count());
    Column->OnChange = FOnChange;
    FColumns.push_back(std::move(Owned));
    Send(Column->Number(), 0, taInsert);
}

void TCtlTableColumns::Clear() {
    FColumns.clear();
    Send(0, 0, taAll);
}

void TCtlTableColumns::Delete(int32_t Index) {
    if (Index < 0 || Index >= Count()) return;
    FColumns.erase(FColumns.begin() + Index);
    for (int32_t I = Index; I < Count(); ++I) FColumns[static_cast<size_t>(I)]->SetNumber(I);
    Send(Index, 0, taDelete);
    if (FPending && Index < static_cast<int32_t>(FPending->size()))
        FPending->erase(FPending->begin() + Index);
}

void TCtlTableColumns::Exchange(int32_t Index1, int32_t Index2) {
    if (Index1 == Index2 || !Items(Index1) || !Items(Index2)) return;
    std::swap(FColumns[static_cast<size_t>(Index1)], FColumns[static_cast<size_t>(Index2)]);
    FColumns[static_cast<size_t>(Index1)]->SetNumber(Index1);
    FColumns[static_cast<size_t>(Index2)]->SetNumber(Index2);
    Send(Index1, Index2, taExchange);
}

void TCtlTableColumns::SetCount(int32_t N) {
    if (N <= 0 || N == Count()) return;
    while (Count() > N) Delete(Count() - 1);
    while (Count() < N) Append(NewColumn());
}

void TCtlTableColumns::SetChangeNotice(TColChangeNotifyEvent Notice) {
    FOnChange = std::move(Notice);
    for (auto& Column : FColumns) Column->OnChange = FOnChange;
}

std::vector<TCtlPendingReference>& TCtlTableColumns::BeginPendingNames() {
    if (FPending)
        FPending->clear();
    else
        FPending = std::make_unique<std::vector<TCtlPendingReference>>();
    return *FPending;
}

void TCtlTableColumns::ResolvePendingNames() {
    if (!FPending) return;
    auto Pending = std::move(FPending);
    // Only columns still in the list are served (a column may have gone since the names were read).
    CtlResolveReferences(FTable ? FTable->GetParentFormOrFrame() : nullptr, *Pending,
                         [this](TComponent* Found, void* Object) {
                             auto* Cell = dynamic_cast<TCtlBaseTableCell*>(Found);
                             if (!Cell) return false;
                             for (auto& Column : FColumns)
                                 if (Column.get() == Object) Column->SetDefaultCell(Cell);
                             return true;
                         });
}

void TCtlTableColumns::CellRemoved(TCtlBaseTableCell* Cell) {
    for (auto& Column : FColumns) Column->CellRemoved(Cell);
}

void TCtlTableColumns::WriteData(TWriter* Writer) const {
    Writer->WriteListBegin();
    for (auto& Column : FColumns) {
        Writer->WriteInteger(Column->Width());
        Writer->WriteBoolean(Column->Hidden());
        Writer->WriteBoolean(Column->DefaultCell() != nullptr);
        if (Column->DefaultCell()) Writer->WriteString(CtlComponentReference(Column->DefaultCell()));
    }
    Writer->WriteListEnd();
}

void TCtlTableColumns::ReadData(TReader* Reader) {
    Reader->ReadListBegin();
    Clear();
    auto& Pending = BeginPendingNames();
    while (!Reader->EndOfList()) {
        auto Column = std::make_unique<TCtlTableColumn>(FTable);
        int32_t Width = Reader->ReadInteger();
        bool Hidden = Reader->ReadBoolean();
        bool HasCell = Reader->ReadBoolean();
        std::string Reference = HasCell ? Reader->ReadString() : std::string();
        Column->SetWidth(Width);
        Column->SetHidden(Hidden);
        if (HasCell) Pending.push_back({Reference, Column.get()});
        Append(Column.release());
    }
    Reader->ReadListEnd();
}

// ---- TCtlTableColors ----

TCtlTableColors::TCtlTableColors()
    : FColors{clBtnFace,       clWindowText, clHighlight,  clHighlightText, clHighlight,
              clHighlightText, clBtnFace,    clWindowText, clHighlight,     clHighlightText} {}

void TCtlTableColors::SetColor(TRole Role, TColor Value) {
    if (FColors[Role] == Value) return;
    FColors[Role] = Value;
    if (OnChange) OnChange(this);
}

void TCtlTableColors::Assign(TPersistent* Source) {
    if (auto* Other = dynamic_cast<TCtlTableColors*>(Source)) {
        FColors = Other->FColors;
        if (OnChange) OnChange(this);
        return;
    }
    TPersistent::Assign(Source);
}

// ---- Pens ----

void TCtlGridPen::SetNormalColor(TColor Value) {
    Change(FNormalColor, Value);
}
void TCtlGridPen::SetSecondColor(TColor Value) {
    Change(FSecondColor, Value);
}
void TCtlGridPen::SetEffect(TGridEffect Value) {
    Change(FEffect, Value);
}
void TCtlGridPen::SetStyle(TPenStyle Value) {
    Change(FStyle, Value);
}

void TCtlGridPen::Assign(TPersistent* Source) {
    if (auto* Other = dynamic_cast<TCtlGridPen*>(Source)) {
        FNormalColor = Other->FNormalColor;
        FSecondColor = Other->FSecondColor;
        FEffect = Other->FEffect;
        FStyle = Other->FStyle;
        if (OnChange) OnChange(this);
        return;
    }
    TPersistent::Assign(Source);
}

TCtlGridPenSet::TCtlGridPenSet() {
    NormalGrid().SetStyle(psDot);
    LockedGrid().SetEffect(ge3D);
    CellWhenFocused().SetNormalColor(clBlack);
    CellWhenUnfocused().SetNormalColor(clBlack);
    CellWhenUnfocused().SetStyle(psDash);
}

void TCtlGridPenSet::Assign(TPersistent* Source) {
    if (auto* Other = dynamic_cast<TCtlGridPenSet*>(Source)) {
        for (size_t I = 0; I < FPens.size(); ++I) FPens[I].Assign(&Other->FPens[I]);
        return;
    }
    TPersistent::Assign(Source);
}

void TCtlGridPenSet::SetChangeNotice(const TNotifyEvent& Notice) {
    for (auto& Pen : FPens) Pen.OnChange = Notice;
}

}  // namespace grid
