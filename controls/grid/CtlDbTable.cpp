#include "controls/grid/CtlDbTable.h"

#include "controls/grid/CtlTablePaint.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

#include "controls/entry/CtlCommands.h"
#include "controls/entry/CtlDates.h"
#include "controls/entry/CtlMessages.h"
#include "framework/graphics/Gdi.h"
#include "framework/stdctrls/Dialogs.h"
#include "framework/ui/Forms.h"
#include "framework/ui/Resources.h"

namespace grid {

using namespace framework;

namespace {

constexpr int MaxShortString = 255;
constexpr int MinColumnWidth = 4;
constexpr int DividerSlack = 4;

bool IsEditState(TDataSetState S) {
    return S == dsEdit || S == dsInsert;
}

bool FieldTypeEditable(TFieldType T) {
    switch (T) {
        case ftString:
        case ftSmallint:
        case ftInteger:
        case ftWord:
        case ftBoolean:
        case ftFloat:
        case ftCurrency:
        case ftBCD:
        case ftDate:
        case ftTime:
        case ftDateTime:
        case ftWideString:
            return true;
        default:
            return false;
    }
}

// ---- Entry values in and out of fields ----

void PutBytes(entry::TCtlEntryValue& V, const void* P, size_t N) {
    V.Bytes.assign(static_cast<const uint8_t*>(P), static_cast<const uint8_t*>(P) + N);
}

int32_t Int32Of(const entry::TCtlEntryValue& V) {
    int32_t X = 0;
    if (V.Bytes.size() >= 4) std::memcpy(&X, V.Bytes.data(), 4);
    return X;
}

double EntryAsDouble(const entry::TCtlEntryValue& V) {
    using namespace entry;
    switch (V.DataType) {
        case dtReal:
        case dtDouble:
            if (V.Bytes.size() >= 8) {
                double D;
                std::memcpy(&D, V.Bytes.data(), 8);
                return D;
            }
            return 0;
        case dtSingle:
            if (V.Bytes.size() >= 4) {
                float F;
                std::memcpy(&F, V.Bytes.data(), 4);
                return F;
            }
            return 0;
        case dtExtended: {
            TCtlRangeRec R;
            std::copy_n(V.Bytes.begin(), std::min<size_t>(10, V.Bytes.size()), R.Bytes);
            return static_cast<double>(R.AsExtended());
        }
        case dtComp:
            if (V.Bytes.size() >= 8) {
                int64_t I;
                std::memcpy(&I, V.Bytes.data(), 8);
                return static_cast<double>(I);
            }
            return 0;
        default:
            return CtlIsIntegerType(V.DataType) ? CtlValueAsInteger(V) : 0;
    }
}

int32_t EntryAsInteger(const entry::TCtlEntryValue& V) {
    if (entry::CtlIsIntegerType(V.DataType)) return entry::CtlValueAsInteger(V);
    if (entry::CtlIsFloatType(V.DataType)) return static_cast<int32_t>(std::lround(EntryAsDouble(V)));
    return V.Bytes.empty() ? 0 : V.Bytes[0];
}

std::string EntryAsString(const entry::TCtlEntryValue& V) {
    if (V.DataType == entry::dtChar)
        return V.Bytes.empty() ? std::string() : std::string(1, char(V.Bytes[0]));
    if (V.DataType != entry::dtString || V.Bytes.empty()) return {};
    const size_t N = std::min<size_t>(V.Bytes[0], V.Bytes.size() - 1);
    return std::string(reinterpret_cast<const char*>(V.Bytes.data()) + 1, N);
}

// The field's value in the cell's data type and size.
entry::TCtlEntryValue FieldToEntry(TField* F, uint8_t Type, int Size) {
    using namespace entry;
    TCtlEntryValue V;
    V.DataType = Type;
    V.Bytes.assign(static_cast<size_t>(std::max(Size, 0)), 0);
    switch (Type) {
        case dtString: {
            const std::string S = F->EditText();
            const size_t N = std::min<size_t>(
                {S.size(), V.Bytes.empty() ? 0 : V.Bytes.size() - 1, size_t(MaxShortString)});
            if (V.Bytes.empty()) break;
            V.Bytes[0] = static_cast<uint8_t>(N);
            std::copy_n(S.begin(), N, V.Bytes.begin() + 1);
            break;
        }
        case dtChar: {
            const std::string S = F->EditText();
            if (!V.Bytes.empty()) V.Bytes[0] = S.empty() ? ' ' : static_cast<uint8_t>(S[0]);
            break;
        }
        case dtBoolean:
        case dtYesNo:
            if (!V.Bytes.empty()) V.Bytes[0] = F->AsBoolean() ? 1 : 0;
            break;
        case dtReal:
        case dtDouble: {
            const double D = F->AsFloat();
            PutBytes(V, &D, 8);
            break;
        }
        case dtSingle: {
            const float S = static_cast<float>(F->AsFloat());
            PutBytes(V, &S, 4);
            break;
        }
        case dtExtended: {
            TCtlRangeRec R;
            R.SetExtended(F->AsFloat());
            PutBytes(V, R.Bytes, 10);
            break;
        }
        case dtComp: {
            const int64_t I = std::llround(F->AsFloat());
            PutBytes(V, &I, 8);
            break;
        }
        case dtDate: {
            const int32_t Day = F->IsNull() ? -1 : CtlDateTimeToDate(F->AsDateTime());
            PutBytes(V, &Day, 4);
            break;
        }
        case dtTime: {
            const int32_t Seconds = F->IsNull() ? -1 : CtlDateTimeToTime(F->AsDateTime());
            PutBytes(V, &Seconds, 4);
            break;
        }
        default:
            if (CtlIsIntegerType(Type)) V = CtlIntegerValue(Type, F->AsInteger());
            break;
    }
    return V;
}

}  // namespace

// ---- Resources ----

void CtlRegisterDbTableResources() {
    static std::once_flag Once;
    std::call_once(Once, [] {
        // 6 x 11 glyphs on white (transparent): an arrow, an editing bar, an insert star.
        auto Glyph = [](void (*Draw)(TCanvas&)) {
            return [Draw](TBitmap& B) {
                B.SetPixelFormat(pf24bit);
                B.SetSize(6, 11);
                B.Canvas().Brush.Color = clWhite;
                B.Canvas().FillRect(Rect(0, 0, 6, 11));
                Draw(B.Canvas());
            };
        };
        RegisterBitmapResource("CTLDBARROW", Glyph([](TCanvas& C) {
                                   for (int I = 0; I < 4; ++I)
                                       for (int Y = 2 + I; Y <= 8 - I; ++Y) C.SetPixel(1 + I, Y, clBlack);
                               }));
        RegisterBitmapResource("CTLDBEDIT", Glyph([](TCanvas& C) {
                                   for (int Y = 1; Y <= 9; ++Y) C.SetPixel(2, Y, clBlack);
                                   for (int X = 1; X <= 3; X += 2) {
                                       C.SetPixel(X, 1, clBlack);
                                       C.SetPixel(X, 9, clBlack);
                                   }
                               }));
        RegisterBitmapResource("CTLDBINSERT", Glyph([](TCanvas& C) {
                                   for (int I = 0; I < 5; ++I) {
                                       C.SetPixel(2, 3 + I, clBlack);
                                       C.SetPixel(I, 5, clBlack);
                                       C.SetPixel(I, 3 + I, clBlack);
                                       C.SetPixel(4 - I, 3 + I, clBlack);
                                   }
                               }));
        CtlRegisterMoveCursor("CTLCOLUMNMOVECURSOR", crCtlColumnMove, false);
    });
}

// ---- Columns ----

TCtlCustomDbTable* TCtlDbTableColumn::Grid() const {
    return dynamic_cast<TCtlCustomDbTable*>(Table());
}

TField* TCtlDbTableColumn::Field() {
    TCtlCustomDbTable* G = Grid();
    if (!FField && !FDataField.empty() && G) {
        TDataSet* DS = G->DataLink().DataSet();
        if (DS && (DS->Active() || !DS->DefaultFields())) FField = DS->FindField(FDataField);
        if (FField) FField->FreeNotification(G);
    }
    return FField;
}

void TCtlDbTableColumn::SetDataField(const std::string& Value) {
    TCtlCustomDbTable* G = Grid();
    TField* Found = nullptr;
    if (G && G->DataLink().DataSet() && !(G->ComponentState() & csLoading) && !Value.empty())
        Found = G->DataLink().DataSet()->FindField(Value);
    FDataField = Found ? Found->FieldName : Value;
    FField = Found;
    if (Found) Found->FreeNotification(G);
}

void TCtlDbTableColumn::SetDateOrTime(TDateOrTime Value) {
    if (Value == FDateOrTime) return;
    FDateOrTime = Value;
    TCtlCustomDbTable* G = Grid();
    if (G && !(G->ComponentState() & csLoading) && Field() && DefaultCell())
        G->AdaptCellToField(Field(), DefaultCell());
}

void TCtlDbTableColumn::Assign(TPersistent* Source) {
    TCtlTableColumn::Assign(Source);
    if (auto* Other = dynamic_cast<TCtlDbTableColumn*>(Source)) {
        SetDataField(Other->FDataField);
        SetDateOrTime(Other->FDateOrTime);
    }
}

void TCtlDbTableColumns::WriteDbData(TWriter* Writer) const {
    Writer->WriteListBegin();
    for (int32_t I = 0; I < Count(); ++I) {
        TCtlDbTableColumn* C = Column(I);
        Writer->WriteInteger(C->Width());
        Writer->WriteBoolean(C->Hidden());
        Writer->WriteString(C->DataField());
        Writer->WriteInteger(C->DateOrTime());
        Writer->WriteBoolean(C->DefaultCell() != nullptr);
        if (C->DefaultCell()) Writer->WriteString(CtlComponentReference(C->DefaultCell()));
    }
    Writer->WriteListEnd();
}

void TCtlDbTableColumns::ReadDbData(TReader* Reader) {
    Reader->ReadListBegin();
    Clear();
    auto& Pending = BeginPendingNames();
    while (!Reader->EndOfList()) {
        auto C = std::make_unique<TCtlDbTableColumn>(Table());
        C->SetWidth(Reader->ReadInteger());
        C->SetHidden(Reader->ReadBoolean());
        C->SetDataField(Reader->ReadString());
        C->SetDateOrTime(Reader->ReadInteger() == dtUseTime ? dtUseTime : dtUseDate);
        if (Reader->ReadBoolean()) Pending.push_back({Reader->ReadString(), C.get()});
        Append(C.release());
    }
    Reader->ReadListEnd();
}

int32_t TCtlVisibleColumns::IndexOf(int32_t Col) const {
    auto It = std::find(FItems.begin(), FItems.end(), Col);
    return It == FItems.end() ? -1 : static_cast<int32_t>(It - FItems.begin());
}

// ---- Data link ----

bool TCtlDbTableDataLink::AddMapping(const std::string& FieldName) {
    TDataSet* DS = DataSet();
    TField* F = DS && !FieldName.empty() ? DS->FindField(FieldName) : nullptr;
    if (!F) return false;
    if (MapCount() >= MapLimit()) CtlTableError(SCtlTooManyColumns);
    FFieldMap.push_back(F->Index());
    F->FreeNotification(FGrid);
    FMapBuilt = true;
    return true;
}

TField* TCtlDbTableDataLink::MappedField(int32_t Index) const {
    if (Index < 0 || Index >= MapCount()) CtlTableError(SCtlInvalidFieldIndex);
    TDataSet* DS = DataSet();
    const int32_t Pos = FFieldMap[static_cast<size_t>(Index)];
    return DS && Pos < DS->FieldCount() ? DS->Fields[Pos] : nullptr;
}

void TCtlDbTableDataLink::ClearMapping() {
    FFieldMap.clear();
    FMapBuilt = false;
}

bool TCtlDbTableDataLink::DefaultFields() const {
    return !DataSet() || DataSet()->DefaultFields();
}

void TCtlDbTableDataLink::Reset() {
    if (FEditPending)
        RecordChanged(nullptr);
    else if (DataSet())
        DataSet()->Cancel();
}

void TCtlDbTableDataLink::ActiveChanged() {
    FGrid->LinkActive(Active());
}
void TCtlDbTableDataLink::DataSetChanged() {
    FGrid->DataSetChangedNotice();
    FEditPending = false;
}
void TCtlDbTableDataLink::DataSetScrolled(int Distance) {
    FGrid->DataSetScrolledNotice(Distance);
}
void TCtlDbTableDataLink::EditingChanged() {
    FGrid->EditingChangedNotice();
}
void TCtlDbTableDataLink::LayoutChanged() {
    FGrid->LayoutChanged();
}
void TCtlDbTableDataLink::RecordChanged(TField* Field) {
    if (Field && FUpdating) return;
    FGrid->RecordChangedNotice(Field);
    FEditPending = false;
}
void TCtlDbTableDataLink::UpdateData() {
    FUpdating = true;
    struct Done {
        TCtlDbTableDataLink* L;
        ~Done() {
            L->FUpdating = false;
            L->FEditPending = false;
        }
    } Guard{this};
    if (FEditPending && !FGrid->SaveEditedValue()) Abort();
}

// ---- Grid: construction ----

TCtlCustomDbTable::TCtlCustomDbTable(TComponent* AOwner) : TCtlTableAncestor(AOwner) {
    CtlRegisterDbTableResources();
    FPens = std::make_unique<TCtlGridPenSet>();
    FPens->SetChangeNotice([this](TObject*) {
        if (!Quiet()) Invalidate();
    });
    FColors = std::make_unique<TCtlTableColors>();
    FColors->OnChange = [this](TObject*) {
        if (!Quiet()) Invalidate();
    };
    FColumns = std::make_unique<TCtlDbTableColumns>(this);
    FColumns->SetChangeNotice(
        [this](TObject*, int32_t C1, int32_t C2, TCtlTblActions A) { ColumnsChanged(C1, C2, A); });
    FCommandTable = entry::CtlGetMessage(SCtlGridTable);
    FIndicators = std::make_unique<TImageList>(nullptr);
    FIndicators->Width = 6;
    FIndicators->Height = 11;
    for (const char* Name : {"CTLDBARROW", "CTLDBEDIT", "CTLDBINSERT"}) {
        TBitmap B;
        LoadBitmapResource(B, Name);
        FIndicators->AddMasked(&B, clWhite);
    }
    FLink = std::make_unique<TCtlDbTableDataLink>(this);
    SetBounds(Left(), Top(), 300, 100);
    SetParentColor(false);
    SetColor(clBtnFace);
    SetTabStop(true);
    ControlStyle |= csCaptureMouse | csOpaque | csDoubleClicks;
}

TCtlCustomDbTable::~TCtlCustomDbTable() {
    FDestroying = true;
    if (auto* Cell = FHeaderCell) {
        FHeaderCell = nullptr;
        Cell->ReleaseUser();
    }
    FLink->SetDataSource(nullptr);
    FColumns.reset();
    FLink.reset();
}

bool TCtlCustomDbTable::Quiet() const {
    return FDestroying || (ComponentState() & csLoading);
}

bool TCtlCustomDbTable::HasDataSet() const {
    return FLink && FLink->DataSource() && FLink->DataSet();
}

bool TCtlCustomDbTable::DataSetEditing() const {
    return HasDataSet() && IsEditState(DataSet()->State());
}

void TCtlCustomDbTable::MoveBy(int Distance) {
    if (HasDataSet()) DataSet()->MoveBy(Distance);
}

void TCtlCustomDbTable::Post(uint32_t Msg, uintptr_t W, intptr_t L) {
    if (HandleAllocated()) PostMessage(Handle(), Msg, W, L);
}

void TCtlCustomDbTable::InvalidateClient(const TRect& R) {
    if (HandleAllocated() && R.Right > R.Left && R.Bottom > R.Top)
        framework::InvalidateRect(Handle(), &R, false);
}

// ---- Geometry ----

int32_t TCtlCustomDbTable::HeaderSpace() const {
    return (FHeaderOptions & CtlHeaderOption(hoShowHeader)) ? FHeaderHeight : 0;
}

int32_t TCtlCustomDbTable::RowsBottom() const {
    return HeaderSpace() + FRowsInView * FRowHeight;
}

int32_t TCtlCustomDbTable::RowTop(int32_t Row) const {
    if (Row < 0 || Row >= FRowsInView) return -1;
    return Row * FRowHeight + HeaderSpace();
}

TRect TCtlCustomDbTable::CellRect(int32_t Row, int32_t Col) const {
    const int32_t Top = RowTop(Row);
    TCtlDbTableColumn* C = Column(Col);
    if (Top < 0 || !C || FVisible.IndexOf(Col) < 0) return Rect(0, 0, 0, 0);
    return Rect(C->ScreenLeft, Top, C->ScreenLeft + C->Width(), Top + FRowHeight);
}

TRect TCtlCustomDbTable::InnerRect(const TRect& R, TGridEffect Effect) const {
    return CtlInsideLines(R, Effect);
}

void TCtlCustomDbTable::InvalidateCell(int32_t Row, int32_t Col) {
    if (HasOption(dtoHighlightActiveRow)) {
        InvalidateRow(Row);
        return;
    }
    InvalidateClient(CellRect(Row, Col));
}

void TCtlCustomDbTable::InvalidateRow(int32_t Row) {
    const int32_t Top = RowTop(Row);
    if (Top >= 0) InvalidateClient(Rect(FDataLeft, Top, FVisible.RightEdge, Top + FRowHeight));
}

void TCtlCustomDbTable::InvalidateIndicators() {
    if (HasOption(dtoShowIndicators)) InvalidateClient(Rect(0, 0, FRowIndicatorWidth, RowsBottom()));
}

void TCtlCustomDbTable::InvalidateHeader() {
    if (HeaderSpace()) InvalidateClient(Rect(FDataLeft, 0, FVisible.RightEdge, FHeaderHeight));
}

void TCtlCustomDbTable::InvalidateDataArea() {
    TCtlDbTableColumn* C = Column(FLeftCol);
    const int L = C && FVisible.IndexOf(FLeftCol) >= 0 ? C->ScreenLeft : 0;
    InvalidateClient(Rect(L, 0, FVisible.RightEdge, RowsBottom()));
}

void TCtlCustomDbTable::InvalidateUnusedArea() {
    if (!HandleAllocated()) return;
    InvalidateClient(Rect(FVisible.RightEdge, 0, ClientWidth(), ClientHeight()));
    InvalidateClient(Rect(0, RowsBottom(), FVisible.RightEdge, ClientHeight()));
}

bool TCtlCustomDbTable::ColumnHidden(int32_t Col) const {
    TCtlDbTableColumn* C = Column(Col);
    if (!C) return true;
    if (C->Hidden()) return true;
    if (!FLink->DefaultFields())
        if (TField* F = C->Field(); F && !F->Visible) return true;
    return false;
}

int32_t TCtlCustomDbTable::ValidColumn(int32_t Col, int Direction) const {
    const int32_t N = ColumnCount();
    if (N == 0) return -1;
    Col = std::max(std::min(Col, N - 1), FLockedColumns);
    if (Direction == 0 && !ColumnHidden(Col)) return Col;
    if (Direction >= 0) {
        for (int32_t C = Col + 1; C < N; ++C)
            if (!ColumnHidden(C)) return C;
        if (Direction == 1) return Col;
    }
    for (int32_t C = Col - 1; C >= FLockedColumns; --C)
        if (!ColumnHidden(C)) return C;
    return Col;
}

void TCtlCustomDbTable::LayoutColumns(int32_t Left) {
    int32_t X = FDataLeft;
    const int32_t Limit = HandleAllocated() ? ClientWidth() : 0;
    FVisible.Clear();
    auto Place = [&](int32_t C) {
        if (ColumnHidden(C)) return;
        FVisible.Add(C);
        Column(C)->ScreenLeft = X;
        X += Column(C)->Width();
    };
    const int32_t N = ColumnCount();
    for (int32_t C = 0; C < std::min(FLockedColumns, N) && X < Limit; ++C) Place(C);
    if (Left >= 0)
        for (int32_t C = std::max(Left, FLockedColumns); C < N && X < Limit; ++C) Place(C);
    FVisible.RightEdge = X;
    UpdateRowCount();
}

void TCtlCustomDbTable::ComputeMaxLeftCol() {
    if (ColumnCount() == 0) return;
    const int32_t Width = HandleAllocated() ? ClientWidth() : 0;
    int32_t A = ValidColumn(ColumnCount() - 1, 0);
    LayoutColumns(A);
    if (FVisible.RightEdge < Width) {
        for (;;) {
            const int32_t B = ValidColumn(A, -1);
            if (B == A) break;
            LayoutColumns(B);
            if (FVisible.RightEdge >= Width) break;
            A = B;
        }
    }
    FMaxLeftCol = A;
    LayoutColumns(FLeftCol);
}

void TCtlCustomDbTable::SetLeftCol(int32_t Col) {
    int32_t C = std::min(ValidColumn(Col, 0), FMaxLeftCol);
    if (C < FLockedColumns) C = ValidColumn(C, 0);
    if (C < 0 || C == FLeftCol) return;
    FLeftCol = C;
    LayoutColumns(FLeftCol);
    // The columns right of the locked ones all move: they are painted anew.
    InvalidateDataArea();
    InvalidateHeader();
    InvalidateUnusedArea();
    DoLeftColumnChanged();
    UpdateHorzScrollBar();
}

void TCtlCustomDbTable::PageRight() {
    if (FVisible.Count() == 0) return;
    int32_t C = FVisible.Number(FVisible.Count() - 1);
    if (C == FLeftCol) C = ValidColumn(FLeftCol, 1);
    SetLeftCol(C);
}

void TCtlCustomDbTable::PageLeft() {
    const int32_t A = FLeftCol;
    int32_t C = ValidColumn(A, -1);
    if (C == A) return;
    const int32_t Width = HandleAllocated() ? ClientWidth() : 0;
    for (;;) {
        LayoutColumns(C);
        const int32_t Last = FVisible.Count() ? FVisible.Number(FVisible.Count() - 1) : -1;
        if (FVisible.RightEdge >= Width && A >= Last) break;
        const int32_t D = ValidColumn(C, -1);
        if (D == C) break;
        C = D;
    }
    LayoutColumns(A);
    SetLeftCol(C);
}

void TCtlCustomDbTable::ScrollIntoView(int32_t Col) {
    const int32_t A = ValidColumn(Col, 0);
    if (A < 0) return;
    const int32_t T = FVisible.IndexOf(A);
    if (T == -1) {
        SetLeftCol(A);
        return;
    }
    const int32_t Width = HandleAllocated() ? ClientWidth() : 0;
    int32_t X = Column(A)->ScreenLeft + Column(A)->Width();
    if (X <= Width) return;
    int32_t K = FVisible.IndexOf(FLeftCol);
    if (K >= 0) {
        X -= Column(FVisible.Number(K))->Width();
        ++K;
        while (K < T && X > Width) {
            X -= Column(FVisible.Number(K))->Width();
            ++K;
        }
    }
    if (K < 0 || K >= FVisible.Count()) return;
    SetLeftCol(FVisible.Number(K));
}

void TCtlCustomDbTable::UpdateRowCount() {
    const int32_t Fit = std::max(1, (HandleAllocated() ? ClientHeight() - HeaderSpace() : 0) / FRowHeight);
    const int32_t OldRows = FRowsInView;
    FRowsInView = Fit;
    if (FLink->Active() && FLink->RecordCount() > 0) {
        try {
            FLink->SetBufferCount(Fit);
            FRowsInView = std::max(1, FLink->RecordCount());
            const bool Was = FNoLinkFeedback;
            FNoLinkFeedback = true;
            struct Back {
                bool& Flag;
                bool Value;
                ~Back() { Flag = Value; }
            } Guard{FNoLinkFeedback, Was};
            SetActiveRow(FLink->ActiveRecord());
        } catch (...) {
            FRowsInView = OldRows;
        }
    } else {
        FRowsInView = 1;
    }
}

bool TCtlCustomDbTable::AdjustIntegralHeight() {
    if (!HasOption(dtoIntegralHeight) || !HandleAllocated()) return false;
    const int32_t Space = ClientHeight() - HeaderSpace();
    if (Space % FRowHeight == 0) return false;
    const int32_t Rows = std::max(1, Space / FRowHeight);
    SetClientHeight(HeaderSpace() + Rows * FRowHeight);
    return true;
}

void TCtlCustomDbTable::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    const int OldW = Width(), OldH = Height();
    TCtlTableAncestor::SetBounds(ALeft, ATop, AWidth, AHeight);
    if ((Width() == OldW && Height() == OldH) || !HandleAllocated() || !FLink) return;
    if (ClientHeight() < HeaderSpace() + FRowHeight) {
        SetClientHeight(HeaderSpace() + FRowHeight);
        return;
    }
    if (AdjustIntegralHeight()) return;  // the adjustment comes back here
    ComputeMaxLeftCol();
    UpdateRowCount();
    UpdateHorzScrollBar();
    UpdateVertScrollBar();
}

// ---- Scroll bars ----

void TCtlCustomDbTable::UpdateHorzScrollBar() {
    if (!FWantHorz || !HandleAllocated()) return;
    int32_t N = 0, Pos = 0;
    for (int32_t C = FLockedColumns; C <= FMaxLeftCol && C < ColumnCount(); ++C) N += !ColumnHidden(C);
    for (int32_t C = FLockedColumns; C < FLeftCol; ++C) Pos += !ColumnHidden(C);
    SetScrollRange(Handle(), SB_HORZ, 0, std::max(0, N - 1), false);
    SetScrollPos(Handle(), SB_HORZ, Pos, true);
}

void TCtlCustomDbTable::UpdateVertScrollBar() {
    if (!HasDataSet() || !FLink->Active() || !HandleAllocated() || !FWantVert) return;
    TScrollInfo Old;
    Old.fMask = SIF_ALL;
    GetScrollInfo(Handle(), SB_VERT, Old);
    TScrollInfo New;
    New.fMask = SIF_ALL | SIF_DISABLENOSCROLL;
    TDataSet* DS = DataSet();
    if (DS->IsSequenced()) {
        New.nMin = 1;
        New.nPage = static_cast<uint32_t>(FRowsInView);
        New.nMax = DS->RecordCount() + FRowsInView - 1;
        New.nPos = DS->State() == dsInsert ? Old.nPos : DS->RecNo();
    } else {
        New.nMin = 0;
        New.nPage = 0;
        New.nMax = 4;
        New.nPos = DS->Bof() ? 0 : DS->Eof() ? 4 : 2;
    }
    if (New.nMin != Old.nMin || New.nMax != Old.nMax || New.nPage != Old.nPage || New.nPos != Old.nPos)
        SetScrollInfo(Handle(), SB_VERT, New, true);
}

// ---- Window ----

void TCtlCustomDbTable::CreateParams(TCreateParams& Params) {
    TCtlTableAncestor::CreateParams(Params);
    if (FScrollBars == ssHorizontal || FScrollBars == ssBoth) Params.Style |= WS_HSCROLL;
    if (FScrollBars == ssVertical || FScrollBars == ssBoth) Params.Style |= WS_VSCROLL;
    if (FBorderStyle == bsSingle) {
        if (Ctl3D()) {
            Params.Style &= ~WS_BORDER;
            Params.ExStyle |= WS_EX_CLIENTEDGE;
        } else {
            Params.Style |= WS_BORDER;
        }
    }
}

void TCtlCustomDbTable::CreateWnd() {
    TCtlTableAncestor::CreateWnd();
    FWantHorz = FScrollBars == ssBoth || FScrollBars == ssHorizontal;
    FWantVert = FScrollBars == ssBoth || FScrollBars == ssVertical;
    FDataLeft = HasOption(dtoShowIndicators) ? FRowIndicatorWidth : 0;
    LayoutChanged();
    ComputeMaxLeftCol();
    UpdateVertScrollBar();
    UpdateHorzScrollBar();
    const int32_t Left = FLeftCol;
    FLeftCol = -1;
    SetLeftCol(Left);
    if (FLeftCol < 0) FLeftCol = Left;
    const int32_t Active = FActiveCol;
    FActiveCol = -1;
    SetActiveCol(std::max(Active, FLockedColumns));
    if (FActiveCol < 0) FActiveCol = Active;
    DoActiveCellChanged(FActiveRow, FActiveCol);
}

void TCtlCustomDbTable::Loaded() {
    TCtlTableAncestor::Loaded();
    FColumns->ResolvePendingNames();
    LayoutColumns(FLeftCol);
    if (Cells().empty()) {
        if (FHeaderCell) RegisterCell(FHeaderCell);
        for (int32_t C = 0; C < ColumnCount(); ++C)
            if (auto* Cell = Column(C)->DefaultCell()) RegisterCell(Cell);
    }
}

void TCtlCustomDbTable::DefineProperties(TFiler* Filer) {
    TCtlTableAncestor::DefineProperties(Filer);
    Filer->DefineProperty(
        "ColData", [this](TReader* R) { FColumns->ReadDbData(R); },
        [this](TWriter* W) { FColumns->WriteDbData(W); }, FColumns->Count() > 0);
}

void TCtlCustomDbTable::Notification(TComponent* AComponent, TOperation Operation) {
    TCtlTableAncestor::Notification(AComponent, Operation);
    if (FDestroying || !FColumns) return;
    if (Operation == opRemove) {
        if (auto* Cell = dynamic_cast<TCtlBaseTableCell*>(AComponent)) {
            if (Cell == FHeaderCell) {
                FHeaderCell = nullptr;
                SetHeaderOptions(FHeaderOptions & ~CtlHeaderOption(hoUseHeaderCell));
            } else {
                FColumns->CellRemoved(Cell);
            }
        } else if (AComponent == FPrevSource && AComponent == FLink->DataSource()) {
            FVisible.Clear();
            SetDataSource(nullptr);
        } else {
            // A field going away (compared by address only: it is being destroyed). A persistent
            // field takes its column with it; the default fields go whenever the dataset closes,
            // and their columns stay to find the fields of the next opening.
            const bool Persistent = !FLink->DefaultFields();
            for (int32_t C = 0; C < ColumnCount(); ++C) {
                TCtlDbTableColumn* Col = Column(C);
                if (static_cast<TComponent*>(Col->CachedField()) != AComponent) continue;
                Col->ClearField();
                if (Persistent) {
                    Col->SetDefaultCell(nullptr);
                    FColumns->Delete(C);
                    FLink->ClearMapping();
                    break;
                }
            }
        }
    } else if (Operation == opInsert) {
        if (auto* F = dynamic_cast<TField*>(AComponent);
            F && F->DataSet() == DataSet() && DataSet() && !(ComponentState() & csLoading))
            LayoutChanged();
    }
}

// ---- Properties ----

void TCtlCustomDbTable::SetAccess(TCtlTblAccess Value) {
    if (Value == otxDefault) Value = otxNormal;
    if (Value == FAccess) return;
    const bool Repaint = Value == otxInvisible || FAccess == otxInvisible;
    FAccess = Value;
    if (Repaint && !Quiet()) Invalidate();
}

void TCtlCustomDbTable::SetAdjust(TCtlTblAdjust Value) {
    if (Value == otaDefault) Value = otaCenterLeft;
    if (Value == FAdjust) return;
    FAdjust = Value;
    if (!Quiet()) Invalidate();
}

void TCtlCustomDbTable::SetBorderStyle(TBorderStyle Value) {
    if (Value == FBorderStyle) return;
    FBorderStyle = Value;
    if (HandleAllocated()) RecreateWnd();
}

void TCtlCustomDbTable::SetScrollBars(TScrollStyle Value) {
    if (Value == FScrollBars) return;
    FScrollBars = Value;
    if (HandleAllocated()) RecreateWnd();
}

void TCtlCustomDbTable::SetColorUnused(TColor Value) {
    if (Value == FColorUnused) return;
    FColorUnused = Value;
    if (!Quiet()) Invalidate();
}

void TCtlCustomDbTable::SetTextStyle(TCtlTextStyle Value) {
    if (Value == FTextStyle) return;
    FTextStyle = Value;
    if (!Quiet()) Invalidate();
}

void TCtlCustomDbTable::SetDefaultMargin(int32_t Value) {
    if (Value <= 1 || Value == FDefaultMargin) return;
    FDefaultMargin = Value;
    if (!Quiet()) Invalidate();
}

void TCtlCustomDbTable::SetColumns(TCtlDbTableColumns* Value) {
    if (!Value || Value == FColumns.get()) return;
    FColumns.reset(Value);
    FColumns->SetChangeNotice(
        [this](TObject*, int32_t C1, int32_t C2, TCtlTblActions A) { ColumnsChanged(C1, C2, A); });
    LayoutChanged();
}

void TCtlCustomDbTable::SetLockedColumns(int32_t Value) {
    if ((ComponentState() & csLoading) || !HandleAllocated()) {
        FLockedColumns = Value;
        return;
    }
    if (Value == FLockedColumns || Value < 0 || Value >= ColumnCount()) return;
    FLockedColumns = Value;
    ComputeMaxLeftCol();
    const int32_t Left = FLeftCol;
    FLeftCol = -1;
    SetLeftCol(Left);
    if (Designing())
        SetActiveCol(FLockedColumns);
    else if (FActiveCol < FLockedColumns)
        SetActiveCol(FLeftCol);
    UpdateHorzScrollBar();
    UpdateVertScrollBar();
    Invalidate();
}

void TCtlCustomDbTable::SetOptions(TCtlDbTableOptionSet Value) {
    const TCtlDbTableOptionSet Old = FOptions;
    FOptions = Value;
    if ((ComponentState() & csLoading) || !HandleAllocated()) return;
    auto Changed = [&](TCtlDbTableOption O) { return ((Old ^ Value) & CtlDbOption(O)) != 0; };
    if (Changed(dtoAlwaysEditing)) {
        if (HasOption(dtoAlwaysEditing)) {
            Post(TM_STARTEDIT);
        } else {
            Application->ProcessMessages();
            if (Editing()) StopEditing(true);
        }
    }
    if (Changed(dtoHighlightActiveRow) && !Editing()) InvalidateRow(FActiveRow);
    if (Changed(dtoShowIndicators)) {
        if (Designing() && FRowIndicatorWidth == 0) FRowIndicatorWidth = 11;
        FDataLeft = HasOption(dtoShowIndicators) ? FRowIndicatorWidth : 0;
        LayoutColumns(FLeftCol);
        Invalidate();
        UpdateHorzScrollBar();
    }
    if (Changed(dtoShowPictures) || Changed(dtoStretch) || Changed(dtoCellsPaintText)) Invalidate();
    if (Changed(dtoIntegralHeight)) AdjustIntegralHeight();
}

void TCtlCustomDbTable::SetRowHeight(int32_t Value) {
    if (Value == FRowHeight || Value <= 0) return;
    FRowHeight = Value;
    if (!HandleAllocated()) return;
    AdjustIntegralHeight();
    UpdateRowCount();
    LayoutColumns(FLeftCol);
    Invalidate();
    UpdateVertScrollBar();
}

void TCtlCustomDbTable::SetHeaderHeight(int32_t Value) {
    if (Value == FHeaderHeight || Value <= 0) return;
    FHeaderHeight = Value;
    if (!HandleAllocated()) return;
    AdjustIntegralHeight();
    UpdateRowCount();
    LayoutColumns(FLeftCol);
    if (HeaderSpace()) Invalidate();
    UpdateVertScrollBar();
}

void TCtlCustomDbTable::SetRowIndicatorWidth(int32_t Value) {
    if (Value == FRowIndicatorWidth || Value < 0) return;
    FRowIndicatorWidth = Value;
    if (!HandleAllocated()) return;
    if (Designing()) {
        if (Value)
            FOptions |= CtlDbOption(dtoShowIndicators);
        else
            FOptions &= ~CtlDbOption(dtoShowIndicators);
    }
    FDataLeft = HasOption(dtoShowIndicators) ? FRowIndicatorWidth : 0;
    LayoutColumns(FLeftCol);
    Invalidate();
    UpdateHorzScrollBar();
    UpdateVertScrollBar();
}

void TCtlCustomDbTable::SetHeaderCell(TCtlBaseTableCell* Value) {
    if (Value == FHeaderCell) return;
    if (Value && !dynamic_cast<TCtlTCBaseString*>(Value)) {
        if (Designing()) CtlTableError(SCtlInvalidHeaderCell);
        return;
    }
    if (Value && dynamic_cast<TCtlTCBaseEntryField*>(Value)) {
        if (Designing()) CtlTableError(SCtlInvalidHeaderCell);
        return;
    }
    if (Value && Value->Users() > 0 && Value->Table() != this) return;
    if (auto* Old = FHeaderCell) {
        FHeaderCell = nullptr;
        Old->ReleaseUser();
    }
    FHeaderCell = Value;
    if (Value) {
        if (Value->Users() == 0) Value->SetTable(this);
        Value->AddUser();
        Value->FreeNotification(this);
        if (auto* Head = dynamic_cast<TCtlTCColHead*>(Value); Head && Head->Users() == 1)
            Head->SetShowLetters(false);
    }
    CellChanged(Value);
    if (HandleAllocated()) {
        UpdateRowCount();
        LayoutColumns(FLeftCol);
        Invalidate();
        UpdateVertScrollBar();
    }
}

void TCtlCustomDbTable::SetHeaderOptions(TCtlHeaderOptionSet Value) {
    if (Value == FHeaderOptions) return;
    const TCtlHeaderOptionSet Old = FHeaderOptions;
    FHeaderOptions = Value;
    if ((ComponentState() & csLoading) || !HandleAllocated()) return;
    const auto Use = CtlHeaderOption(hoUseHeaderCell), Letters = CtlHeaderOption(hoUseLetters),
               Strings = CtlHeaderOption(hoUseStrings);
    if (!FHeaderCell) FHeaderOptions &= ~(Use | Letters | Strings);
    if ((FHeaderOptions & Use) && dynamic_cast<TCtlTCColHead*>(FHeaderCell)) {
        if ((FHeaderOptions & Strings) && !(Old & Strings))
            FHeaderOptions &= ~Letters;
        else if ((FHeaderOptions & Letters) && !(Old & Letters))
            FHeaderOptions &= ~Strings;
    } else {
        FHeaderOptions &= ~(Letters | Strings);
    }
    if ((Old ^ FHeaderOptions) & CtlHeaderOption(hoShowHeader)) {
        AdjustIntegralHeight();
        UpdateRowCount();
        LayoutColumns(FLeftCol);
        Invalidate();
        UpdateVertScrollBar();
    }
    if ((Old ^ FHeaderOptions) & (Use | Letters | Strings)) InvalidateHeader();
}

void TCtlCustomDbTable::ClearColumnFields(bool AlsoNames, bool AlsoCells) {
    FNoColumnChanges = true;
    for (int32_t C = 0; C < ColumnCount(); ++C) {
        TCtlDbTableColumn* Col = Column(C);
        Col->ClearField();
        if (AlsoNames) Col->SetDataField("");
        if (AlsoCells) Col->SetDefaultCell(nullptr);
    }
    FNoColumnChanges = false;
}

void TCtlCustomDbTable::SetDataSource(TDataSource* Value) {
    TDataSource* Remembered = FLink->DataSource();
    if (Value == Remembered && Value) return;
    FLink->SetDataSource(Value);
    if (Value) Value->FreeNotification(this);
    const bool Loading = (ComponentState() & csLoading) || (Value && (Value->ComponentState() & csLoading)) ||
                         (Value && Value->Owner() && (Value->Owner()->ComponentState() & csLoading));
    if (!Loading) ClearColumnFields(true, false);
    if (!FLink->Active() || Value != Remembered) ClearColumnFields(false, Value == nullptr);
    FPrevSource = FLink->DataSource();
    LinkActive(FLink->Active());
}

void TCtlCustomDbTable::LinkActive(bool Active) {
    if (FDestroying) return;
    if (!Active) {
        if (Editing() && !StopEditing(true)) Abort();
        SetLeftCol(0);
        SetActiveCell(0, FLeftCol);
    }
    if (FDestroying) return;
    if (!(ComponentState() & csLoading) && HandleAllocated() && !HasDataSet()) ClearColumnFields(true, false);
    LayoutChanged();
    UpdateVertScrollBar();
    UpdateHorzScrollBar();
    if (Active && HasOption(dtoAlwaysEditing)) Post(TM_STARTEDIT);
}

void TCtlCustomDbTable::LayoutChanged() {
    if (Quiet() || !HandleAllocated()) return;
    RebuildFieldMap();
    ComputeMaxLeftCol();
    UpdateRowCount();
    Invalidate();
    UpdateHorzScrollBar();
    UpdateVertScrollBar();
    if (!FLink->DataSet()) {
        ClearColumnFields(true, false);
        LayoutColumns(0);
    }
}

void TCtlCustomDbTable::RebuildFieldMap() {
    if (!HasDataSet()) return;
    TDataSet* DS = DataSet();
    // Each column keeps its own field: a column naming a field the dataset lacks stays (empty and
    // read-only) instead of making every column follow the dataset's field list.
    bool Regenerate = ColumnCount() == 0 && DS->FieldCount() > 0;
    FLink->ClearMapping();
    for (int32_t C = 0; C < ColumnCount() && !Regenerate; ++C) Regenerate = Column(C)->DataField().empty();
    if (Regenerate) CreateDefaultColumns();
    for (int32_t C = 0; C < ColumnCount(); ++C) {
        Column(C)->ClearField();
        FLink->AddMapping(Column(C)->DataField());
    }
}

void TCtlCustomDbTable::CreateDefaultColumns() {
    if (ComponentState() & csLoading) return;
    TDataSet* DS = DataSet();
    const int32_t FieldCount = DS ? DS->FieldCount() : 0;
    FNoColumnChanges = true;
    try {
        FColumns->SetCount(std::max(FieldCount, 1));
        for (int32_t I = 0; I < ColumnCount(); ++I) {
            TCtlDbTableColumn* Col = Column(I);
            Col->ClearField();
            if (I < FieldCount && DS->Fields[I]) {
                Col->SetDataField(DS->Fields[I]->FieldName);
                Col->SetWidth(DefaultColumnWidth(DS->Fields[I]));
            } else {
                Col->SetDataField("");
                if (I < FieldCount) Col->SetWidth(150);
            }
        }
    } catch (...) {
        FNoColumnChanges = false;
        throw;
    }
    FNoColumnChanges = false;
    ColumnsChanged(0, 0, taAll);
}

int32_t TCtlCustomDbTable::DefaultColumnWidth(TField* Field) {
    if (!Field) return 150;
    TBitmap Scratch;
    TCanvas& C = HandleAllocated() ? Canvas() : Scratch.Canvas();
    C.Font.Assign(Font());
    TTextMetric TM;
    GetTextMetrics(C.Handle(), TM);
    const int W0 = C.TextWidth("0"), O = TM.tmOverhang;
    const int Data = (W0 - O) * Field->DisplayWidth() + O + 4;
    const int Heading = HeaderSpace() ? (W0 - O) * static_cast<int>(Field->DisplayLabel().size()) + O + 4 : 0;
    return std::max(Data, Heading);
}

void TCtlCustomDbTable::ColumnsChanged(int32_t Col1, int32_t Col2, TCtlTblActions Action) {
    if (Quiet() || !HandleAllocated() || FNoColumnChanges ||
        (FVisible.Count() == 0 && Action != taAll && Action != taInsert))
        return;
    auto LaidOut = [&](int32_t C) { return FVisible.IndexOf(C) >= 0; };
    auto Last = [&] { return FVisible.Count() ? FVisible.Number(FVisible.Count() - 1) : -1; };
    auto First = [&] { return FVisible.Count() ? FVisible.Number(0) : -1; };
    const int32_t Width = ClientWidth();
    bool Concerns = true;
    switch (Action) {
        case taSingle:
            Concerns = LaidOut(Col1) || (Col1 > Last() && FVisible.RightEdge < Width);
            break;
        case taInsert:
            Concerns = LaidOut(Col1) || (Col1 > Last() && FVisible.RightEdge < Width);
            LayoutColumns(FLeftCol);
            LayoutChanged();
            break;
        case taDelete:
            LayoutColumns(0);
            Concerns = FVisible.Count() == 0 || (Col1 >= First() && Col1 <= Last());
            LayoutColumns(FLeftCol);
            LayoutChanged();
            break;
        case taExchange:
            Concerns = LaidOut(Col1) || (Col2 >= First() && Col2 <= Last());
            LayoutColumns(FLeftCol);
            LayoutChanged();
            break;
        default:
            break;
    }
    if (!Concerns) return;
    ComputeMaxLeftCol();
    if (Action == taSingle || Action == taDelete) {
        if (Col1 == FLeftCol) {
            const int32_t L = FLeftCol;
            FLeftCol = -1;
            SetLeftCol(L);
            if (FLeftCol < 0) FLeftCol = L;
        }
        if (Col1 == FActiveCol) {
            const int32_t A = FActiveCol;
            FActiveCol = -1;
            SetActiveCol(A);
            if (FActiveCol < 0) FActiveCol = A;
        }
    }
    UpdateHorzScrollBar();
    if (FMaxLeftCol < FLeftCol) SetLeftCol(FMaxLeftCol);
    LayoutColumns(FLeftCol);
    Invalidate();
}

// ---- Hit test ----

uint8_t TCtlCustomDbTable::CellAtPoint(int X, int Y, int32_t& Row, int32_t& Col) {
    Row = -1;
    Col = -1;
    const int W = HandleAllocated() ? ClientWidth() : Width();
    const int H = HandleAllocated() ? ClientHeight() : Height();
    const int RightLimit = std::min(W, FVisible.RightEdge);
    int Bottom = std::min(H, FRowsInView * FRowHeight + HeaderSpace());
    if (FLink->Active()) Bottom = std::min(Bottom, FLink->RecordCount() * FRowHeight + HeaderSpace());
    const bool Outside = X < 0 || Y < 0 || X >= W || Y >= H;
    if (HeaderSpace()) {
        if (Y <= FHeaderHeight)
            Row = -2;
        else if (Y < Bottom)
            Row = (Y - FHeaderHeight) / FRowHeight;
    } else {
        if (Y <= 0)
            Row = -2;
        else if (Y < Bottom)
            Row = Y / FRowHeight;
    }
    if (X > FDataLeft && X < RightLimit) {
        for (int32_t I = 0; I < FVisible.Count(); ++I)
            if (Column(FVisible.Number(I))->ScreenLeft < X) Col = FVisible.Number(I);
    } else if (X < FDataLeft) {
        Col = -2;
    }
    if (Outside) return 3;
    if (Row == -1 || Col == -1) return 2;
    if (Row == -2 || Col == -2 || Col < FLockedColumns) return 1;
    return 0;
}

// ---- Cells and field data ----

bool TCtlCustomDbTable::AdaptCellToField(TField* Field, TCtlBaseTableCell* Cell) {
    if (!Field || !Cell) return false;
    bool Yes = false;
    const TFieldType T = Field->DataType();
    if (auto* S = dynamic_cast<TCtlTCCustomString*>(Cell)) {
        S->SetMaxLength(static_cast<uint16_t>(std::clamp(Field->DisplayWidth(), 0, 0xFFFF)));
        S->SetUseASCIIZStrings(false);
        Yes = true;
    } else if (auto* P = dynamic_cast<TCtlTCCustomPictureField*>(Cell)) {
        Yes = true;
        switch (T) {
            case ftString:
            case ftWideString: {
                P->SetDataType(entry::pftString);
                const std::string Mask = P->PictureMask();
                if (static_cast<int>(Mask.size()) > Field->DisplayWidth())
                    P->SetPictureMask(Mask.substr(0, static_cast<size_t>(Field->DisplayWidth())));
                P->SetMaxLength(static_cast<uint16_t>(std::clamp(Field->DisplayWidth(), 0, 255)));
                break;
            }
            case ftSmallint:
                P->SetDataType(entry::pftInteger);
                break;
            case ftInteger:
                P->SetDataType(entry::pftLongInt);
                break;
            case ftWord:
                P->SetDataType(entry::pftWord);
                break;
            case ftBoolean:
                P->SetDataType(entry::pftBoolean);
                break;
            case ftFloat:
            case ftCurrency:
            case ftBCD:
                P->SetDataType(entry::pftExtended);
                break;
            case ftDate:
                P->SetDataType(entry::pftDate);
                break;
            case ftTime:
                P->SetDataType(entry::pftTime);
                break;
            case ftDateTime:
                for (int32_t C = 0; C < ColumnCount(); ++C)
                    if (Column(C)->Field() == Field) {
                        P->SetDataType(Column(C)->DateOrTime() == dtUseTime ? entry::pftTime
                                                                            : entry::pftDate);
                        break;
                    }
                break;
            default:
                Yes = false;
        }
    } else if (auto* N = dynamic_cast<TCtlTCCustomNumericField*>(Cell)) {
        Yes = true;
        switch (T) {
            case ftSmallint:
                N->SetDataType(entry::nftInteger);
                break;
            case ftInteger:
                N->SetDataType(entry::nftLongInt);
                break;
            case ftWord:
                N->SetDataType(entry::nftWord);
                break;
            case ftFloat:
            case ftCurrency:
            case ftBCD:
                N->SetDataType(entry::nftExtended);
                break;
            default:
                Yes = false;
        }
    } else if (dynamic_cast<TCtlTCColHead*>(Cell)) {
        Yes = false;
    } else if (dynamic_cast<TCtlTCCustomCheckBox*>(Cell)) {
        Yes = T == ftBoolean;
    } else {
        Yes = true;
    }
    if (!Yes) Yes = Cell->HandlesField(Field);
    if (Yes) CellChanged(Cell);
    return Yes;
}

int TCtlCustomDbTable::CellDataSize(TCtlBaseTableCell* Cell) {
    if (!Cell) return 0;
    if (const int Size = Cell->FieldDataSize()) return Size;
    if (auto* S = dynamic_cast<TCtlTCCustomString*>(Cell)) return S->MaxLength() + 1;
    if (auto* E = dynamic_cast<TCtlTCBaseEntryField*>(Cell)) return E->DataSize();
    if (dynamic_cast<TCtlTCCustomCheckBox*>(Cell)) return 1;
    return 0;
}

TCtlCellValue TCtlCustomDbTable::FieldToCellData(TField* Field, TCtlBaseTableCell* Cell, int32_t Col) {
    (void)Col;
    TCtlCellValue V;
    if (!Field || !Cell) return V;
    if (Cell->HandlesField(Field)) {
        Cell->TransferFieldData(Field, V, 1);
        return V;
    }
    if (auto* S = dynamic_cast<TCtlTCCustomString*>(Cell)) {
        // The text is cut to what the cell keeps, so its length and its characters agree.
        const int Capacity =
            S->MaxLength() > 0 ? std::min<int>(S->MaxLength(), MaxShortString) : MaxShortString;
        const std::string Text = Field->EditText();
        return TCtlCellValue::String(Text.substr(0, static_cast<size_t>(Capacity)), Capacity);
    }
    if (auto* E = dynamic_cast<TCtlTCBaseEntryField*>(Cell)) {
        entry::TCtlBaseEntryField* Shown = E->PaintField() ? E->PaintField() : E->EditField();
        if (!Shown) return V;
        if (!FieldTypeEditable(Field->DataType())) {
            entry::TCtlEntryValue Zero;
            Zero.DataType = Shown->DataType();
            Zero.Bytes.assign(Shown->GetDataSize(), 0);
            return TCtlCellValue::EntryValue(Zero);
        }
        return TCtlCellValue::EntryValue(FieldToEntry(Field, Shown->DataType(), Shown->GetDataSize()));
    }
    if (dynamic_cast<TCtlTCCustomCheckBox*>(Cell))
        return TCtlCellValue::CheckState(Field->AsBoolean() ? 1 : 0);
    return V;
}

void TCtlCustomDbTable::CellDataToField(TField* Field, TCtlBaseTableCell* Cell, const TCtlCellValue& Data) {
    if (!Field || !Cell || !DataSetEditing()) return;
    if (Cell->HandlesField(Field)) {
        TCtlCellValue Copy = Data;
        Cell->TransferFieldData(Field, Copy, 2);
        return;
    }
    if (dynamic_cast<TCtlTCCustomCheckBox*>(Cell)) {
        if (Data.Kind == TCtlCellValue::cvCheck) Field->SetAsBoolean(Data.Check == 1);
        if (Data.Kind == TCtlCellValue::cvGlyph) Field->SetAsBoolean(Data.Index == 1);
        return;
    }
    if (dynamic_cast<TCtlTCCustomString*>(Cell)) {
        if (Data.Kind == TCtlCellValue::cvString) Field->SetEditText(Data.Text);
        return;
    }
    if (!dynamic_cast<TCtlTCBaseEntryField*>(Cell) || Data.Kind != TCtlCellValue::cvEntry) return;
    const entry::TCtlEntryValue& V = Data.Entry;
    switch (Field->DataType()) {
        case ftString:
        case ftWideString:
            Field->SetEditText(EntryAsString(V));
            break;
        case ftSmallint:
        case ftInteger:
        case ftWord:
            Field->SetAsInteger(EntryAsInteger(V));
            break;
        case ftBoolean:
            Field->SetAsBoolean(!V.Bytes.empty() && V.Bytes[0] != 0);
            break;
        case ftFloat:
        case ftCurrency:
        case ftBCD:
            Field->SetAsFloat(EntryAsDouble(V));
            break;
        case ftDate:
            if (Int32Of(V) == -1)
                Field->Clear();
            else
                Field->SetAsDateTime(entry::CtlDateToDateTime(Int32Of(V)));
            break;
        case ftTime:
            if (Int32Of(V) == -1)
                Field->Clear();
            else
                Field->SetAsDateTime(entry::CtlTimeToDateTime(Int32Of(V)));
            break;
        case ftDateTime: {
            // The half the cell edits changes; the other half of the old value stays.
            if (!dynamic_cast<TCtlTCCustomPictureField*>(Cell)) break;
            const double Old = Field->IsNull() ? 0.0 : Field->AsDateTime();
            const double OldDay = std::floor(Old), OldTime = Old - OldDay;
            if (V.DataType == entry::dtDate) {
                if (Int32Of(V) == -1)
                    Field->Clear();
                else
                    Field->SetAsDateTime(std::floor(entry::CtlDateToDateTime(Int32Of(V))) + OldTime);
            } else if (V.DataType == entry::dtTime) {
                const double New = Int32Of(V) == -1 ? 0.0 : entry::CtlTimeToDateTime(Int32Of(V));
                Field->SetAsDateTime(OldDay + (New - std::floor(New)));
            }
            break;
        }
        default:
            break;
    }
}

// ---- Attributes and painting ----

void TCtlCustomDbTable::CellChanged(TCtlTableCellAncestor*) {
    if (!Quiet()) Invalidate();
}

void TCtlCustomDbTable::ResolveCellAttributes(int32_t RowNum, int32_t ColNum, TCtlCellAttributes& Attr) {
    if (Attr.Access == otxDefault) Attr.Access = FAccess;
    if (Attr.Adjust == otaDefault) Attr.Adjust = FAdjust;
    const bool Focus = FState & StFocused;
    auto Pair = [&](TCtlTableColors::TRole Back, TCtlTableColors::TRole Text) {
        Attr.Color = FColors->Color(Back);
        Attr.FontColor = FColors->Color(Text);
    };
    if (RowNum == FActiveRow && ColNum == FActiveCol) {
        if (!Focus)
            Pair(TCtlTableColors::ActiveUnfocused, TCtlTableColors::ActiveUnfocusedText);
        else if (Editing() || (HasOption(dtoAlwaysEditing) && Attr.Access == otxNormal))
            Pair(TCtlTableColors::Editing, TCtlTableColors::EditingText);
        else
            Pair(TCtlTableColors::ActiveFocused, TCtlTableColors::ActiveFocusedText);
    } else if (RowNum == FActiveRow && RowNum >= 0 && HasOption(dtoHighlightActiveRow)) {
        if (Focus)
            Pair(TCtlTableColors::ActiveFocused, TCtlTableColors::ActiveFocusedText);
        else
            Pair(TCtlTableColors::ActiveUnfocused, TCtlTableColors::ActiveUnfocusedText);
    } else if (ColNum >= 0 && ColNum < FLockedColumns && RowNum >= 0) {
        Pair(TCtlTableColors::Locked, TCtlTableColors::LockedText);
    }
    if (ColNum >= 0 && Column(ColNum) && !Column(ColNum)->DefaultCell()) Attr.TextStyle = FTextStyle;
    DoGetCellAttributes(RowNum, ColNum, Attr);
}

void TCtlCustomDbTable::DrawText(const TRect& R, const TCtlCellAttributes& Attr, const std::string& Text,
                                 bool WordWrap, int Margin) {
    CtlDrawCellText(Canvas(), R, Text.substr(0, MaxShortString), Attr, WordWrap, Margin);
}

void TCtlCustomDbTable::DrawGridLines(TCtlGridPen& Pen, const TRect& R) {
    CtlDrawGridLines(Canvas(), Pen, R, Color());
}

void TCtlCustomDbTable::DrawIndicatorFace(const TRect& R) {
    if (R.Width() <= 0 || R.Height() <= 0) return;
    TCanvas& C = Canvas();
    C.Brush.Color = clBtnFace;
    C.FillRect(R);
    C.Pen.Style = psSolid;
    C.Pen.Width = 1;
    C.Pen.Color = clBtnHighlight;
    C.MoveTo(R.Left, R.Bottom - 1);
    C.LineTo(R.Left, R.Top);
    C.LineTo(R.Right - 1, R.Top);
    C.Pen.Color = clBtnShadow;
    C.LineTo(R.Right - 1, R.Bottom - 1);
    C.LineTo(R.Left - 1, R.Bottom - 1);
}

void TCtlCustomDbTable::PaintHeader(const TRect& Clip, TCtlCellAttributes& Attr) {
    TCanvas& C = Canvas();
    const TRect Strip = Rect(0, 0, ClientWidth(), FHeaderHeight);
    if (!CtlRectsMeet(Strip, Clip)) return;
    if (HasOption(dtoShowIndicators)) DrawIndicatorFace(Rect(0, 0, FDataLeft, FHeaderHeight));
    TCtlGridPen& Pen = FPens->LockedGrid();
    FWorkFont.Assign(Font());
    const bool UseCell = FHeaderCell && (FHeaderOptions & CtlHeaderOption(hoUseHeaderCell));
    if (UseCell) {
        FHeaderCell->ResolveAttributes(-1, -1, Attr);
    } else {
        Attr.Access = otxDefault;
        Attr.Adjust = otaDefault;
        Attr.Color = FColors->Color(TCtlTableColors::Locked);
        Attr.Font = &FWorkFont;
        Attr.FontColor = FColors->Color(TCtlTableColors::LockedText);
        Attr.FontHiColor = FColors->Color(TCtlTableColors::SelectedText);
        Attr.TextStyle = FTextStyle;
        ResolveCellAttributes(-1, -1, Attr);
    }
    for (int32_t I = 0; I < FVisible.Count(); ++I) {
        TCtlDbTableColumn* Col = Column(FVisible.Number(I));
        if (Col->Hidden()) continue;
        const TRect R = Rect(Col->ScreenLeft, 0, Col->ScreenLeft + Col->Width(), FHeaderHeight);
        if (!CtlRectsMeet(R, Clip)) continue;
        const TRect Inner = InnerRect(R, Pen.Effect());
        TField* F = FLink->Active() ? Col->Field() : nullptr;
        C.Brush.Color = Attr.Color;
        C.FillRect(Inner);
        if (UseCell) {
            auto* Head = dynamic_cast<TCtlTCColHead*>(FHeaderCell);
            if (Head) Head->SetShowLetters(FHeaderOptions & CtlHeaderOption(hoUseLetters));
            if (!F || (FHeaderOptions & (CtlHeaderOption(hoUseLetters) | CtlHeaderOption(hoUseStrings)))) {
                FHeaderCell->PaintCell(C, Inner, -1, Col->Number(), Attr, nullptr);
            } else {
                const TCtlCellValue Label =
                    TCtlCellValue::String(F->DisplayLabel().substr(0, MaxShortString));
                FHeaderCell->PaintCell(C, Inner, -1, Col->Number(), Attr, &Label);
            }
        } else if (Attr.Access != otxInvisible) {
            DrawText(Inner, Attr, F ? F->DisplayLabel() : std::string(), false, FDefaultMargin);
        }
        DrawGridLines(Pen, R);
        C.Pen.Style = psSolid;
    }
}

void TCtlCustomDbTable::PaintRow(int32_t Row, const TRect& Clip, TCtlCellAttributes& Attr) {
    TCanvas& C = Canvas();
    const int32_t Top = RowTop(Row);
    if (!CtlRectsMeet(Rect(0, Top, ClientWidth(), Top + FRowHeight), Clip)) return;
    if (HasOption(dtoShowIndicators)) {
        DrawIndicatorFace(Rect(0, Top, FDataLeft, Top + FRowHeight));
        if (FLink->Active() && Row == FPaintedRecord) {
            const TDataSetState S = DataSet()->State();
            const int Glyph = S == dsEdit ? 1 : S == dsInsert ? 2 : 0;
            FIndicators->Draw(C, FRowIndicatorWidth - FIndicators->Width - 3,
                              (Top + Top + FRowHeight - FIndicators->Height) / 2, Glyph);
        }
    }
    if (FLink->Active()) FLink->SetActiveRecord(Row);
    const bool DefaultFields = FLink->DefaultFields();
    for (int32_t I = 0; I < FVisible.Count(); ++I) {
        const int32_t ColNum = FVisible.Number(I);
        TCtlDbTableColumn* Col = Column(ColNum);
        if (Col->Hidden()) continue;
        TCtlGridPen& Pen = ColNum < FLockedColumns ? FPens->LockedGrid() : FPens->NormalGrid();
        const TRect R = Rect(Col->ScreenLeft, Top, Col->ScreenLeft + Col->Width(), Top + FRowHeight);
        if (!CtlRectsMeet(R, Clip)) continue;
        const TRect Inner = InnerRect(R, Pen.Effect());
        if (Editing() && Row == FActiveRow && ColNum == FActiveCol) {
            DrawGridLines(Pen, R);
            continue;
        }
        TField* F = FLink->Active() ? Col->Field() : nullptr;
        std::string Text = F ? F->DisplayText().substr(0, MaxShortString) : std::string();
        bool Wrap = false;
        int Margin = FDefaultMargin;
        TCtlBaseTableCell* Cell = Col->DefaultCell();
        Attr = TCtlCellAttributes{};
        Attr.Font = &FWorkFont;
        FWorkFont.Assign(Font());
        if (Cell) {
            Cell->ResolveAttributes(Row, ColNum, Attr);
            if (auto* S = dynamic_cast<TCtlTCBaseString*>(Cell)) Wrap = S->UseWordWrap();
            Margin = Cell->Margin();
        } else {
            Attr.Color = Color();
            Attr.FontColor = Font().Color;
            Attr.FontHiColor = FColors->Color(TCtlTableColors::SelectedText);
            Attr.TextStyle = tsFlat;
            if (ColNum < FLockedColumns) {
                Attr.Color = FColors->Color(TCtlTableColors::Locked);
                Attr.FontColor = FColors->Color(TCtlTableColors::LockedText);
            }
            TField* AlignField = F;
            TAlignment A = AlignField ? AlignField->Alignment : taLeftJustify;
            (void)DefaultFields;
            Attr.Adjust = A == taRightJustify ? otaCenterRight : A == taCenter ? otaCenter : otaCenterLeft;
            ResolveCellAttributes(Row, ColNum, Attr);
        }
        bool Drawn = false;
        const bool EntryCell = dynamic_cast<TCtlTCBaseEntryField*>(Cell) != nullptr;
        if (F && Cell &&
            (dynamic_cast<TCtlTCCustomCheckBox*>(Cell) || HasOption(dtoCellsPaintText) || EntryCell)) {
            if (CellDataSize(Cell) == 0) {
                Cell->PaintCell(C, Inner, Row, ColNum, Attr, nullptr);
                Drawn = true;
            } else {
                const TCtlCellValue Data = FieldToCellData(F, Cell, ColNum);
                try {
                    Cell->PaintCell(C, Inner, Row, ColNum, Attr, &Data);
                    Drawn = true;
                } catch (const entry::EInvalidDateForMask&) {
                    Text = CtlUnshowableValue;
                } catch (const entry::EInvalidPictureMask&) {
                    if (!EntryCell) throw;
                    Text = CtlUnshowableValue;
                }
            }
        }
        if (!Drawn) {
            C.Brush.Color = Attr.Color;
            C.FillRect(Inner);
            if (Attr.Access != otxInvisible) DrawText(Inner, Attr, Text, Wrap, Margin);
        }
        DrawGridLines(Pen, R);
    }
}

void TCtlCustomDbTable::Paint() {
    TCanvas& C = Canvas();
    TRect Clip;
    GetClipBox(C.Handle(), &Clip);
    const int NotedRecord = FLink->Active() ? FLink->ActiveRecord() : 0;
    FPaintedRecord = NotedRecord;
    const TColor BrushColor = C.Brush.Color;
    const TBrushStyle BrushStyle = C.Brush.Style;
    FPainting = true;
    // The link's active record and the flag come back on every way out: the fields must read and
    // the editor must write the current record again.
    struct Restore {
        TCtlCustomDbTable* G;
        int Record;
        ~Restore() {
            if (G->FLink->Active()) G->FLink->SetActiveRecord(Record);
            G->FPainting = false;
        }
    } Guard{this, NotedRecord};
    TCtlCellAttributes Attr;
    Attr.Font = &FWorkFont;
    if (HeaderSpace()) PaintHeader(Clip, Attr);
    for (int32_t Row = 0; Row < FRowsInView; ++Row) PaintRow(Row, Clip, Attr);
    if (FLink->Active()) FLink->SetActiveRecord(NotedRecord);
    C.Brush.Color = BrushColor;
    C.Brush.Style = BrushStyle;
    C.Pen.Style = psSolid;
    C.Font.Assign(Font());
    DoPaintUnusedArea();
    DrawActiveCell();
}

void TCtlCustomDbTable::DrawActiveCell() {
    TCtlDbTableColumn* Col = Column(FActiveCol);
    if (!Col || FVisible.IndexOf(FActiveCol) < 0) return;
    if (Editing() && FEditorCell) {
        const TRect R = CellRect(FActiveRow, FActiveCol);
        if (R.Right != 0 && R.Bottom != 0) {
            FEditorCell->EditMove(InnerRect(R, FPens->NormalGrid().Effect()));
            if (auto* E = FEditorCell->EditControl()) E->Update();
        } else {
            FEditorCell->EditHide();
        }
        return;
    }
    const bool Focus = FState & StFocused;
    const int32_t Y = RowTop(FActiveRow);
    if (Y < 0) return;
    CtlDrawActiveFrame(
        Canvas(), Focus ? FPens->CellWhenFocused() : FPens->CellWhenUnfocused(), FPens->NormalGrid().Effect(),
        CellRect(FActiveRow, FActiveCol),
        FColors->Color(Focus ? TCtlTableColors::ActiveFocused : TCtlTableColors::ActiveUnfocused));
}

void TCtlCustomDbTable::PaintUnusedAreaDefault() {
    TCanvas& C = Canvas();
    TRect Clip;
    if (Designing())
        Clip = ClientRect();
    else
        GetClipBox(C.Handle(), &Clip);
    C.Brush.Color = FColorUnused;
    const TRect Right = Rect(FVisible.RightEdge, 0, ClientWidth(), ClientHeight());
    if (Right.Width() > 0 && CtlRectsMeet(Right, Clip)) C.FillRect(Right);
    const TRect Below = Rect(0, RowsBottom(), FVisible.RightEdge, ClientHeight());
    if (Below.Height() > 0 && Below.Width() > 0 && CtlRectsMeet(Below, Clip)) C.FillRect(Below);
}

void TCtlCustomDbTable::DrawSizingLine() {
    CtlDrawXorColumnLine(Canvas(), FSizingX, ClientHeight(), psDot, 1, clBlack);
}

void TCtlCustomDbTable::DrawMoveMarker() {
    if (FMoveTo < 0 || FMoveTo >= FVisible.Count()) return;
    int X;
    if (FMoveTo > FMoveFrom)
        X = FMoveTo + 1 < FVisible.Count() ? Column(FVisible.Number(FMoveTo + 1))->ScreenLeft
                                           : FVisible.RightEdge;
    else
        X = Column(FVisible.Number(FMoveTo))->ScreenLeft;
    CtlDrawXorColumnLine(Canvas(), X, ClientHeight(), psSolid, 3, clWhite);
}

// ---- Events ----

void TCtlCustomDbTable::DoActiveCellChanged(int32_t Row, int32_t Col) {
    if (!Quiet() && OnActiveCellChanged) OnActiveCellChanged(this, Row, Col);
}
void TCtlCustomDbTable::DoColumnMoved(int32_t From, int32_t To) {
    if (!Quiet() && OnColumnMoved) OnColumnMoved(this, From, To);
}
void TCtlCustomDbTable::DoGetCellAttributes(int32_t Row, int32_t Col, TCtlCellAttributes& Attr) {
    if (!Quiet() && OnGetCellAttributes) OnGetCellAttributes(this, Row, Col, Attr);
}
void TCtlCustomDbTable::DoIndicatorClick(int32_t Row, int32_t Col) {
    if (!Designing() && OnIndicatorClick) OnIndicatorClick(this, Row, Col);
}
void TCtlCustomDbTable::DoLeftColumnChanged() {
    if (!Quiet() && OnLeftColumnChanged) OnLeftColumnChanged(this);
}
void TCtlCustomDbTable::DoLockedCellClick(int32_t Row, int32_t Col) {
    if (!Quiet() && OnLockedCellClick) OnLockedCellClick(this, Row, Col);
}
void TCtlCustomDbTable::DoPaintUnusedArea() {
    if (Quiet()) return;
    if (OnPaintUnusedArea)
        OnPaintUnusedArea(this);
    else
        PaintUnusedAreaDefault();
}
void TCtlCustomDbTable::DoUnusedAreaClick(int32_t Row, int32_t Col) {
    if (!Quiet() && OnUnusedAreaClick) OnUnusedAreaClick(this, Row, Col);
}
void TCtlCustomDbTable::DoUserCommand(uint16_t Command) {
    if (!Quiet() && OnUserCommand) OnUserCommand(this, Command);
}

// ---- Active cell and commands ----

void TCtlCustomDbTable::SetActiveCell(int32_t Row, int32_t Col) {
    if (FVisible.Count() == 0) return;
    Row = std::clamp(Row, 0, std::max(0, FRowsInView - 1));
    Col = ValidColumn(Col, 0);
    if (Row == FActiveRow && Col == FActiveCol) return;
    if (!HandleAllocated()) {
        FActiveRow = Row;
        FActiveCol = Col;
        return;
    }
    if (Editing() && !StopEditing(true)) return;
    InvalidateIndicators();
    InvalidateCell(FActiveRow, FActiveCol);
    if (FLink->Active() && !FNoLinkFeedback && Row != FActiveRow) {
        FNoLinkFeedback = true;
        struct Back {
            bool& Flag;
            ~Back() { Flag = false; }
        } Guard{FNoLinkFeedback};
        MoveBy(Row - FActiveRow);
    }
    FActiveCol = Col;
    if (!FNoLinkFeedback) ScrollIntoView(Col);
    FActiveRow = Row;
    InvalidateCell(FActiveRow, FActiveCol);
    if (HasOption(dtoAlwaysEditing)) Post(TM_STARTEDIT);
    UpdateHorzScrollBar();
    UpdateVertScrollBar();
    DoActiveCellChanged(Row, Col);
}

uint16_t TCtlCustomDbTable::TranslateKey(TMessage& M) {
    entry::TCtlController* C = Controller() ? Controller() : entry::CtlGetDefaultController();
    TMessage Copy = M;
    return C->EntryCommands().TranslateUsing({FCommandTable}, Copy);
}

namespace {
bool IsNavigation(uint16_t Cmd) {
    using namespace entry;
    switch (Cmd) {
        case ccBotOfPage:
        case ccBotRightCell:
        case ccDown:
        case ccEnd:
        case ccFirstPage:
        case ccHome:
        case ccLastPage:
        case ccLeft:
        case ccNextPage:
        case ccPageLeft:
        case ccPageRight:
        case ccPrevPage:
        case ccRight:
        case ccTopLeftCell:
        case ccTopOfPage:
        case ccUp:
        case ccWordLeft:
        case ccWordRight:
            return true;
        default:
            return false;
    }
}
}  // namespace

TCtlTblKeyClaim TCtlCustomDbTable::FilterKey(TWMKey& Msg) {
    ScrollIntoView(FActiveCol);
    const uint16_t Cmd = TranslateKey(Msg.M);
    if (IsNavigation(Cmd)) return okcWanted;
    if (Cmd == entry::ccTableEdit) return okcRequired;
    const uint16_t Key = Msg.CharCode();
    if (Key == VK_TAB && HasOption(dtoWantTabs)) return okcRequired;
    if (Key == VK_RETURN && HasOption(dtoEnterToTab)) return okcRequired;
    if (Key == VK_ESCAPE) return okcRequired;
    return okcNone;
}

void TCtlCustomDbTable::ProcessCommand(uint16_t Command) {
    using namespace entry;
    if (!FLink->Active()) return;
    const int32_t LastRow = FRowsInView - 1;
    switch (Command) {
        case ccUp:
            MoveBy(-1);
            break;
        case ccDown:
            MoveBy(1);
            break;
        case ccPrevPage:
            MoveBy(-FRowsInView);
            break;
        case ccNextPage:
            MoveBy(FRowsInView);
            break;
        case ccTopOfPage:
            if (FActiveRow >= 1) MoveBy(-FActiveRow);
            break;
        case ccBotOfPage:
            if (FActiveRow < LastRow) MoveBy(LastRow - FActiveRow);
            break;
        case ccFirstPage:
            DataSet()->First();
            break;
        case ccLastPage:
            DataSet()->Last();
            break;
        case ccTopLeftCell:
            DataSet()->First();
            SetActiveCol(ValidColumn(FLockedColumns, 0));
            break;
        case ccBotRightCell:
            DataSet()->Last();
            SetActiveCol(ValidColumn(ColumnCount() - 1, 0));
            break;
        case ccHome:
            SetActiveCol(ValidColumn(FLockedColumns, 0));
            break;
        case ccEnd:
            SetActiveCol(ValidColumn(ColumnCount() - 1, 0));
            break;
        case ccLeft:
        case ccRight: {
            const bool Right = Command == ccRight;
            if (Editing() && FEditorCell && FEditorCell->EditControl())
                FEditorCell->EditControl()->Perform(CM_EXIT, 0, 0);
            const int32_t C = ValidColumn(FActiveCol, Right ? 1 : -1);
            if (C != FActiveCol || !HasOption(dtoWrapAtEnds)) {
                SetActiveCol(C);
                break;
            }
            if (Right) {
                if (FActiveRow == LastRow)
                    MoveBy(1);
                else
                    SetActiveRow(FActiveRow + 1);
                SetActiveCol(0);
            } else {
                if (FActiveRow == 0)
                    MoveBy(-1);
                else
                    SetActiveRow(FActiveRow - 1);
                SetActiveCol(ColumnCount() - 1);
            }
            break;
        }
        case ccPageLeft:
        case ccPageRight: {
            const bool Right = Command == ccPageRight;
            if (!Right && FLeftCol == FActiveCol && ValidColumn(FLeftCol, -1) == FLeftCol) break;
            const int32_t K = FVisible.IndexOf(FActiveCol);
            const int32_t OldLeft = FLeftCol;
            if (Right) {
                if (FVisible.Count() == 0) break;
                int32_t D = FVisible.Number(FVisible.Count() - 1);
                if (D == FActiveCol) D = ValidColumn(D, 1);
                SetLeftCol(D);
            } else {
                PageLeft();
            }
            int32_t C = FLeftCol;
            if (K != -1 && FLeftCol != OldLeft && FVisible.Count())
                C = FVisible.Number(std::min(K, FVisible.Count() - 1));
            SetActiveCell(FActiveRow, ValidColumn(C, 0));
            break;
        }
        default:
            break;
    }
}

// ---- Editing ----

bool TCtlCustomDbTable::BeginRecordEdit() {
    TCtlDbTableColumn* Col = Column(FActiveCol);
    if (!Col || !Col->DefaultCell() || !FLink->Active() || FLink->ReadOnly() || FLink->MapCount() == 0)
        return false;
    TField* F = Col->Field();
    if (!F || !F->CanModify()) return false;
    if (FLink->DataSource()->AutoEdit) {
        for (;;) {
            try {
                FLink->Edit();
                break;
            } catch (const EDatabaseError&) {
                FSkipAutoEdit = true;
                if (MessageDlg(entry::CtlGetMessage(SCtlCouldNotEdit), mtError, {mbAbort, mbRetry}, 0) ==
                    mrRetry)
                    continue;
                FSkipAutoEdit = true;
                throw;
            }
        }
    }
    if (FLink->Editing()) FLink->SetEditPending();
    return FLink->Editing();
}

bool TCtlCustomDbTable::StartEditing() {
    if (Editing() || Designing() || !FLink->DataSource()) return Editing();
    TCtlDbTableColumn* Col = Column(FActiveCol);
    FEditorCell = Col ? Col->DefaultCell() : nullptr;
    if (!FEditorCell) return false;
    TField* F = Col->Field();
    if (!F || !(FieldTypeEditable(F->DataType()) || FEditorCell->HandlesField(F))) {
        FEditorCell = nullptr;
        return false;
    }
    if (!Focused()) framework::SetFocus(Handle());
    FState |= StFocused;
    ScrollIntoView(FActiveCol);
    if (!FEditorCell) return false;
    TFont AttrFont;
    AttrFont.Assign(Font());
    TCtlCellAttributes Attr;
    Attr.Font = &AttrFont;
    FEditorCell->ResolveAttributes(FActiveRow, FActiveCol, Attr);
    if (Attr.Access != otxNormal) {
        FEditorCell = nullptr;
        return false;
    }
    bool Began = false;
    try {
        Began = BeginRecordEdit();
    } catch (...) {
        FEditorCell = nullptr;
        throw;
    }
    if (!Began) {
        FEditorCell = nullptr;
        return false;
    }
    InvalidateIndicators();
    const TRect Inner = InnerRect(CellRect(FActiveRow, FActiveCol), FPens->NormalGrid().Effect());
    if (Inner.Width() <= 0 || Inner.Height() <= 0) return false;
    FState &= ~StNormal;
    Attr.Color = FColors->Color(TCtlTableColors::Editing);
    Attr.FontColor = FColors->Color(TCtlTableColors::EditingText);
    if (CellDataSize(FEditorCell) == 0) {
        FEditorCell = nullptr;
        FState |= StNormal;
        return false;
    }
    const TCtlCellValue Data = FieldToCellData(F, FEditorCell, FActiveCol);
    FEditorCell->StartEditing(FActiveRow, FActiveCol, Inner, Attr, tesNormal, &Data);
    const HWND Editor = FEditorCell->EditHandle();
    if (!Editor) return false;
    framework::SetFocus(Editor);
    FState |= StEditing;
    return true;
}

bool TCtlCustomDbTable::StopEditing(bool SaveValue) {
    if (!Editing() || !HasDataSet() || !FEditorCell) {
        FState &= ~StEditing;
        FState |= StNormal;
        return true;
    }
    if (!FEditorCell->CanStopEditing(SaveValue)) return false;
    const HWND EditorWnd = FEditorCell->EditHandle();
    HWND Focus = framework::GetFocus();
    bool EditorHadFocus = false;
    if (TWinControl* E = FEditorCell->EditControl())
        for (TWinControl* W = FindControl(Focus); W; W = W->Parent())
            if (W == E) EditorHadFocus = true;
    (void)EditorWnd;
    FState &= ~StEditing;
    FState |= StNormal;
    TCtlBaseTableCell* Cell = FEditorCell;
    const int Size = CellDataSize(Cell);
    if (SaveValue && Size > 0 && Cell->EditorModified()) {
        TCtlCellValue Data = FieldToCellData(Column(FActiveCol)->Field(), Cell, FActiveCol);
        Cell->StopEditing(true, &Data);
        CellDataToField(Column(FActiveCol)->Field(), Cell, Data);
        if (DataSetEditing()) FLink->UpdateRecord();
    } else {
        Cell->StopEditing(false, nullptr);
    }
    FEditorCell = nullptr;
    InvalidateCell(FActiveRow, FActiveCol);
    InvalidateIndicators();
    if (EditorHadFocus && HandleAllocated()) framework::SetFocus(Handle());
    return true;
}

bool TCtlCustomDbTable::SaveEditedValue() {
    if (!Editing() || !FEditorCell || FLink->MapCount() == 0 || !FEditorCell->EditorModified()) return true;
    if (!FEditorCell->CanStopEditing(true)) return false;
    if (CellDataSize(FEditorCell) == 0) return false;
    TField* F = Column(FActiveCol)->Field();
    TCtlCellValue Data = FieldToCellData(F, FEditorCell, FActiveCol);
    FEditorCell->SaveEditedData(&Data);
    CellDataToField(F, FEditorCell, Data);
    return true;
}

// ---- Link notices ----

void TCtlCustomDbTable::DataSetChangedNotice() {
    if (!HandleAllocated() || FPainting || FDestroying) return;
    Invalidate();
    UpdateRowCount();
    UpdateVertScrollBar();
    FNoLinkFeedback = true;
    struct Back {
        bool& Flag;
        ~Back() { Flag = false; }
    } Guard{FNoLinkFeedback};
    SetActiveRow(FLink->ActiveRecord());
}

void TCtlCustomDbTable::DataSetScrolledNotice(int Distance) {
    if (FNoLinkFeedback || !FLink->Active()) return;
    {
        FNoLinkFeedback = true;
        struct Back {
            bool& Flag;
            ~Back() { Flag = false; }
        } Guard{FNoLinkFeedback};
        SetActiveRow(FLink->ActiveRecord());
    }
    if (Distance != 0 && HandleAllocated()) {
        if (std::abs(Distance) > FRowsInView || OnGetCellAttributes) {
            Invalidate();
        } else {
            if (!StopEditing(true)) Abort();
            InvalidateIndicators();
            InvalidateRow(FActiveRow);
            const TRect Rows = Rect(0, HeaderSpace(), FVisible.RightEdge, RowsBottom());
            framework::ScrollWindow(Handle(), 0, -Distance * FRowHeight, &Rows, &Rows);
            if (HasOption(dtoAlwaysEditing)) Post(TM_STARTEDIT);
        }
    }
    UpdateVertScrollBar();
}

void TCtlCustomDbTable::EditingChangedNotice() {
    if (FDestroying) return;
    if (!DataSetEditing()) StopEditing(true);
    InvalidateIndicators();
    if (DataSetEditing() && HasOption(dtoAlwaysEditing)) Post(TM_STARTEDIT);
}

void TCtlCustomDbTable::RecordChangedNotice(TField* Field) {
    if (FDestroying || !HandleAllocated()) return;
    int32_t FieldCol = -1;
    if (Field)
        for (int32_t C = 0; C < ColumnCount() && FieldCol < 0; ++C)
            if (Column(C)->Field() == Field) FieldCol = C;
    if (Field)
        InvalidateCell(FActiveRow, FieldCol);
    else
        InvalidateRow(FActiveRow);
    if (Editing() && (!Field || FieldCol == FActiveCol)) {
        if (StopEditing(false))
            Post(TM_STARTEDIT);
        else
            Abort();
    }
}

// ---- Messages ----

bool TCtlCustomDbTable::DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos) {
    TCtlTableAncestor::DoMouseWheel(Shift, WheelDelta, MousePos);
    ProcessCommand(WheelDelta < 0 ? entry::ccDown : entry::ccUp);
    return true;
}

void TCtlCustomDbTable::KeyDownMessage(TMessage& M) {
    using namespace entry;
    if (!HasDataSet()) return;
    const uint16_t Key = M.WParamLo();
    const TShiftState Shift = KeyDataToShiftState(static_cast<uint32_t>(M.LParam));
    const bool ShiftOnly = (Shift & (ssCtrl | ssAlt)) == 0;
    uint16_t Cmd = ccNone;
    bool Translated = true;
    if (Key == VK_TAB && HasOption(dtoWantTabs)) {
        Cmd = Shift == 0 ? ccRight : Shift == ssShift ? ccLeft : ccNone;
    } else if (Key == VK_RETURN && HasOption(dtoEnterToTab)) {
        Cmd = Shift == 0 ? ccRight : (Shift & ssShift) ? ccLeft : ccNone;
        (void)ShiftOnly;
    } else {
        Cmd = TranslateKey(M);
        Translated = true;
    }
    (void)Translated;
    if (!Editing()) {
        const bool Typing = Key == VK_SPACE || (Key >= 48 && Key <= 111) || Key > 185;
        if (Cmd == ccTableEdit || (Cmd >= 76 && Cmd <= 255 && Typing)) {
            StartEditing();
            if (Cmd != ccTableEdit && Editing()) {
                FHoldChars = true;
                Post(TM_FORWARDKEY, Key, M.LParam);
            }
            return;
        }
        if (Key == VK_ESCAPE) {
            FLink->Reset();
            if (DataSetEditing()) FLink->Reset();
            return;
        }
    } else if (!HasOption(dtoAlwaysEditing) && (Cmd == ccTableEdit || Key == VK_ESCAPE)) {
        if (!StopEditing(Key != VK_ESCAPE)) return;
        if (Key == VK_ESCAPE) FLink->Reset();
        if (HandleAllocated()) framework::SetFocus(Handle());
        FState |= StFocused;
        return;
    }
    if (IsNavigation(Cmd) && Cmd != ccWordLeft && Cmd != ccWordRight)
        ProcessCommand(Cmd);
    else if (Cmd > 255)
        DoUserCommand(Cmd);
}

void TCtlCustomDbTable::MouseDownMessage(TMessage& M) {
    if (!FLink->DataSource()) return;
    if (Editing() && FEditorCell && !FEditorCell->CanStopEditing(true)) return;
    const int X = GetXLParam(M.LParam), Y = GetYLParam(M.LParam);
    // The grid's own window had the focus (not an open editor).
    const bool HadFocus = Focused();
    if (!HadFocus && !Designing()) {
        FFocusByMouse = true;
        SetFocus();
        if (!Focused()) framework::SetFocus(Handle());
        FFocusByMouse = false;
        Application->ProcessMessages();
    }
    FState |= StFocused;
    if (FState & StReadyToSize) {
        FState = static_cast<uint16_t>((FState & ~StReadyToSize) | StSizing);
        const int Left = Column(FSizingCol) ? Column(FSizingCol)->ScreenLeft : 0;
        if (X >= Left + MinColumnWidth) FSizingX = X;
        DrawSizingLine();
        return;
    }
    if (FState & StReadyToMove) {
        int32_t Row, Col;
        CellAtPoint(X, Y, Row, Col);
        const int32_t Index = FVisible.IndexOf(Col);
        if (Index >= 0) {
            FState = static_cast<uint16_t>((FState & ~StReadyToMove) | StMoving);
            FMoveFrom = FMoveTo = Index;
            DrawMoveMarker();
        }
        return;
    }
    if (Designing() || !FLink->Active() || !(FState & StFocused) || !(FState & StNormal)) return;
    int32_t Row, Col;
    const uint8_t Region = CellAtPoint(X, Y, Row, Col);
    if (DataSetEditing() && (Col < 0 || !Column(Col) || !Column(Col)->DefaultCell())) DataSet()->Post();
    switch (Region) {
        case 0:
            if (HasOption(dtoAlwaysEditing) || (Row == FActiveRow && Col == FActiveCol && HadFocus)) {
                Post(TM_STARTEDIT);
                Post(TM_FORWARDCLICK, M.WParam, M.LParam);
            }
            SetActiveCell(Row, Col);
            break;
        case 1:
            if (X <= FDataLeft)
                DoIndicatorClick(Row, Col);
            else if (FState & StNormal)
                DoLockedCellClick(Row, Col);
            break;
        case 2:
            DoUnusedAreaClick(Row, Col);
            break;
        default:
            break;
    }
}

void TCtlCustomDbTable::DoubleClickMessage(TMessage& M) {
    if (Designing() || !FLink->DataSource()) return;
    if (Editing() && !StopEditing(true)) return;
    int32_t Row, Col;
    if (CellAtPoint(GetXLParam(M.LParam), GetYLParam(M.LParam), Row, Col) == 0) {
        SetActiveCell(Row, Col);
        Post(TM_STARTEDIT);
        Post(TM_FORWARDCLICK, M.WParam, M.LParam);
    }
}

void TCtlCustomDbTable::MouseMoveMessage(TMessage& M) {
    if (!FLink->DataSource()) return;
    const int X = GetXLParam(M.LParam), Y = GetYLParam(M.LParam);
    PointerOver(X, Y);
    if (FState & StSizing) {
        DrawSizingLine();
        const int Left = Column(FSizingCol) ? Column(FSizingCol)->ScreenLeft : 0;
        if (X >= Left + MinColumnWidth) FSizingX = X;
        DrawSizingLine();
    } else if (FState & StMoving) {
        int32_t Row, Col;
        CellAtPoint(X, Y, Row, Col);
        const int32_t Index = FVisible.IndexOf(Col);
        if (Col < FLockedColumns || Index < 0 || Index == FMoveTo) return;
        DrawMoveMarker();
        FMoveTo = Index;
        DrawMoveMarker();
    }
}

void TCtlCustomDbTable::MouseUpMessage(TMessage&) {
    if (!FLink->DataSource()) return;
    if (FState & StSizing) {
        DrawSizingLine();
        TCtlDbTableColumn* Col = Column(FSizingCol);
        FState = static_cast<uint16_t>((FState & ~StSizing) | StNormal);
        if (Col) {
            FSizingX = std::max(FSizingX, Col->ScreenLeft + MinColumnWidth);
            Col->SetWidth(FSizingX - Col->ScreenLeft);
        }
        Invalidate();
    } else if (FState & StMoving) {
        DrawMoveMarker();
        FState = static_cast<uint16_t>((FState & ~StMoving) | StNormal);
        if (FMoveFrom == FMoveTo) return;
        const int32_t From = FVisible.Number(FMoveFrom), To = FVisible.Number(FMoveTo);
        FNoColumnChanges = true;
        for (int32_t C = From; C != To; C += To > From ? 1 : -1)
            FColumns->Exchange(C, C + (To > From ? 1 : -1));
        FNoColumnChanges = false;
        FLink->ClearMapping();
        ColumnsChanged(0, 0, taAll);
        RebuildFieldMap();
        DoColumnMoved(From, To);
    }
}

void TCtlCustomDbTable::PointerOver(int X, int Y) {
    if (FState & (StSizing | StMoving)) return;
    if (!HeaderSpace() || Editing()) {
        FState = static_cast<uint16_t>((FState & ~(StReadyToSize | StReadyToMove)) | StNormal);
        SetCursor(crDefault);
        return;
    }
    const TPoint P{X, Y};
    bool OnDivider = false, OverHeading = false;
    if (P.Y < FHeaderHeight && (HasOption(dtoAllowColumnSize) || Designing())) {
        if (FVisible.Count() && std::abs(P.X - FVisible.RightEdge) <= DividerSlack) {
            OnDivider = true;
            FSizingCol = FVisible.Number(FVisible.Count() - 1);
        }
        for (int32_t I = 1; I < FVisible.Count() && !OnDivider; ++I)
            if (std::abs(P.X - Column(FVisible.Number(I))->ScreenLeft) <= DividerSlack) {
                OnDivider = true;
                FSizingCol = FVisible.Number(I - 1);
            }
        if (OnDivider) FSizingX = P.X;
    }
    if (!OnDivider && (HasOption(dtoAllowColumnMove) || Designing()) && P.Y < FHeaderHeight) {
        for (int32_t I = 0; I < FVisible.Count(); ++I)
            if (FVisible.Number(I) >= FLockedColumns) {
                OverHeading = P.X >= Column(FVisible.Number(I))->ScreenLeft && P.X < FVisible.RightEdge;
                break;
            }
    }
    FState &= ~(StReadyToSize | StReadyToMove | StNormal);
    if (OverHeading) {
        SetCursor(crCtlColumnMove);
        FState |= StReadyToMove;
    } else if (OnDivider) {
        SetCursor(crHSplit);
        FState |= StReadyToSize;
    } else {
        SetCursor(crDefault);
        FState |= StNormal;
    }
}

void TCtlCustomDbTable::HScrollMessage(TMessage& M) {
    const int Code = M.WParamLo();
    if (!(FState & StFocused)) SetFocus();
    if (Editing() && FEditorCell && !FEditorCell->CanStopEditing(true)) return;
    switch (Code) {
        case SB_LINELEFT:
            SetLeftCol(ValidColumn(FLeftCol, -1));
            break;
        case SB_LINERIGHT:
            SetLeftCol(ValidColumn(FLeftCol, 1));
            break;
        case SB_PAGELEFT:
            PageLeft();
            break;
        case SB_PAGERIGHT:
            PageRight();
            break;
        case SB_THUMBPOSITION: {
            int32_t C = ValidColumn(FLockedColumns, 0);
            for (int I = 0; I < static_cast<int16_t>(M.WParamHi()); ++I) C = ValidColumn(C, 1);
            if (C != FLeftCol) SetLeftCol(C);
            break;
        }
        default:
            break;
    }
    M.Result = 0;
}

void TCtlCustomDbTable::VScrollMessage(TMessage& M) {
    if (!HasDataSet()) return;
    if (!(FState & StFocused)) SetFocus();
    if (Editing() && FEditorCell && !FEditorCell->CanStopEditing(true)) return;
    if (!FLink->Active()) return;
    TDataSet* DS = DataSet();
    switch (M.WParamLo()) {
        case SB_LINEUP:
            MoveBy(HasOption(dtoPageScroll) ? -(FLink->ActiveRecord() + 1) : -1);
            break;
        case SB_LINEDOWN:
            MoveBy(HasOption(dtoPageScroll) ? DS->RecordCount() - FLink->ActiveRecord() : 1);
            break;
        case SB_PAGEUP:
            MoveBy(-FRowsInView);
            break;
        case SB_PAGEDOWN:
            MoveBy(FRowsInView);
            break;
        case SB_THUMBPOSITION:
            if (!DS->IsSequenced()) {
                switch (static_cast<int16_t>(M.WParamHi())) {
                    case 0:
                        DS->First();
                        break;
                    case 1:
                        MoveBy(-FRowsInView);
                        break;
                    case 3:
                        MoveBy(FRowsInView);
                        break;
                    case 4:
                        DS->Last();
                        break;
                    default:
                        break;
                }
            } else {
                TScrollInfo Info;
                Info.fMask = SIF_ALL;
                GetScrollInfo(Handle(), SB_VERT, Info);
                if (Info.nTrackPos <= 1)
                    DS->First();
                else if (Info.nTrackPos >= DS->RecordCount())
                    DS->Last();
                else
                    DS->SetRecNo(Info.nTrackPos);
            }
            break;
        case SB_TOP:
            DS->First();
            break;
        case SB_BOTTOM:
            DS->Last();
            break;
        default:
            break;
    }
    M.Result = 0;
}

void TCtlCustomDbTable::EditorUnfocused(TMessage& M) {
    HWND Target = static_cast<HWND>(M.WParam);
    TWinControl* W = FindControl(Target);
    TCustomForm* Own = GetParentForm(this);
    if (W && GetParentForm(W) == Own) {
        if (M.LParam == 0) StopEditing(true);
        if (W != this && !Focused()) FState &= ~StFocused;
    }
    InvalidateCell(FActiveRow, FActiveCol);
}

void TCtlCustomDbTable::WndProc(TMessage& M) {
    switch (M.Msg) {
        case WM_ERASEBKGND:
            M.Result = 1;
            return;
        case WM_GETDLGCODE:
            M.Result = DLGC_WANTARROWS | DLGC_WANTCHARS;
            if (HasOption(dtoWantTabs)) M.Result |= DLGC_WANTTAB;
            if (HasOption(dtoEnterToTab)) M.Result |= DLGC_WANTALLKEYS;
            return;
        case WM_KEYDOWN:
            TCtlTableAncestor::WndProc(M);
            if (M.WParamLo() != 0) KeyDownMessage(M);
            return;
        case WM_LBUTTONDOWN:
            TCtlTableAncestor::WndProc(M);
            MouseDownMessage(M);
            return;
        case WM_LBUTTONDBLCLK:
            DoubleClickMessage(M);
            TCtlTableAncestor::WndProc(M);
            return;
        case WM_MOUSEMOVE:
            TCtlTableAncestor::WndProc(M);
            MouseMoveMessage(M);
            return;
        case WM_LBUTTONUP:
            TCtlTableAncestor::WndProc(M);
            MouseUpMessage(M);
            return;
        case WM_HSCROLL:
            if (M.WParamLo() == SB_THUMBTRACK || M.WParamLo() == SB_ENDSCROLL) {
                TCtlTableAncestor::WndProc(M);
                return;
            }
            HScrollMessage(M);
            return;
        case WM_VSCROLL:
            if (M.WParamLo() == SB_THUMBTRACK || M.WParamLo() == SB_ENDSCROLL) {
                TCtlTableAncestor::WndProc(M);
                return;
            }
            VScrollMessage(M);
            return;
        case WM_SETFOCUS: {
            TCtlTableAncestor::WndProc(M);
            FState |= StFocused | StNormal;
            InvalidateCell(FActiveRow, FActiveCol);
            if (FFocusByMouse) return;
            if (FSkipAutoEdit) {
                FSkipAutoEdit = false;
                return;
            }
            const HWND Lost = static_cast<HWND>(M.WParam);
            if (!Designing() && HasOption(dtoAlwaysEditing) &&
                !(FEditorCell && Lost == FEditorCell->EditHandle()))
                Post(TM_STARTEDIT);
            return;
        }
        case WM_KILLFOCUS:
            TCtlTableAncestor::WndProc(M);
            FState &= ~StFocused;
            InvalidateCell(FActiveRow, FActiveCol);
            return;
        case WM_SIZE:
            TCtlTableAncestor::WndProc(M);
            UpdateRowCount();
            return;
        case TM_QUERYOPTIONS: {
            TCtlTblOptionSet O = CtlTblOption(otoNoRowResizing) | CtlTblOption(otoNoSelection);
            if (HasOption(dtoAlwaysEditing)) O |= CtlTblOption(otoAlwaysEditing);
            if (HasOption(dtoHighlightActiveRow)) O |= CtlTblOption(otoBrowseRow);
            if (HasOption(dtoAllowColumnMove)) O |= CtlTblOption(otoAllowColMoves);
            if (!HasOption(dtoAllowColumnSize)) O |= CtlTblOption(otoNoColResizing);
            if (HasOption(dtoWantTabs)) O |= CtlTblOption(otoTabToArrow);
            if (HasOption(dtoEnterToTab)) O |= CtlTblOption(otoEnterToArrow);
            M.Result = O;
            return;
        }
        case TM_QUERYCOLOR:
            M.Result = static_cast<LRESULT>(Color());
            return;
        case TM_QUERYFONT:
            M.Result = reinterpret_cast<LRESULT>(&Font());
            return;
        case TM_QUERYLOCKEDCOLS:
            M.Result = FLockedColumns;
            return;
        case TM_QUERYLOCKEDROWS:
            M.Result = 0;
            return;
        case TM_QUERYACTIVECOL:
            M.Result = FActiveCol;
            return;
        case TM_QUERYACTIVEROW:
            M.Result = FActiveRow;
            return;
        case TM_REMOVECELL:
            Notification(reinterpret_cast<TComponent*>(M.LParam), opRemove);
            M.Result = 0;
            return;
        case TM_STARTEDIT:
            M.Result = 0;
            if (FState & StFocused) {
                StartEditing();
                M.Result = 1;
            }
            return;
        case TM_FORWARDCLICK:
            // The click goes to the editor at the same place on the screen: in its own coordinates.
            if (Editing() && FEditorCell && FEditorCell->EditHandle()) {
                TWinControl* E = FEditorCell->EditControl();
                framework::SetFocus(E->Handle());
                const int X = GetXLParam(M.LParam) - E->Left(), Y = GetYLParam(M.LParam) - E->Top();
                PostMessage(E->Handle(), WM_LBUTTONDOWN, M.WParam, MakeLParam(X, Y));
            }
            M.Result = 1;
            return;
        case TM_FORWARDKEY:
            // The key goes to the editor, followed by the characters it made, which reached the
            // grid while the editor opened.
            if (Editing() && FEditorCell && FEditorCell->EditHandle()) {
                const HWND E = FEditorCell->EditHandle();
                framework::SetFocus(E);
                PostMessage(E, WM_KEYDOWN, M.WParam & 0xFFFF, M.LParam);
                for (const TMessage& C : FHeldChars) PostMessage(E, C.Msg, C.WParam, C.LParam);
            }
            FHeldChars.clear();
            FHoldChars = false;
            M.Result = 1;
            return;
        case WM_CHAR:
            if (FHoldChars) {
                FHeldChars.push_back(M);
                return;
            }
            TCtlTableAncestor::WndProc(M);
            return;
        case TM_EDITORFOCUSED:
            FState |= StFocused;
            return;
        case TM_EDITORUNFOCUSED:
            EditorUnfocused(M);
            return;
        case CM_COLORCHANGED:
            TCtlTableAncestor::WndProc(M);
            NotifyCellsTableChanged();
            return;
        case CM_FONTCHANGED:
            TCtlTableAncestor::WndProc(M);
            if (!(ComponentState() & csLoading) && HandleAllocated()) NotifyCellsTableChanged();
            return;
        default:
            TCtlTableAncestor::WndProc(M);
    }
}

}  // namespace grid
