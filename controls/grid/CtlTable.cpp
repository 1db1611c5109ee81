#include "controls/grid/CtlTable.h"

#include <algorithm>
#include <mutex>

#include "controls/entry/CtlCommands.h"
#include "controls/entry/CtlMessages.h"
#include "controls/grid/CtlDbTable.h"
#include "controls/grid/CtlTablePaint.h"
#include "framework/graphics/Gdi.h"
#include "framework/ui/Forms.h"

namespace grid {

using namespace framework;

namespace {
constexpr int32_t LargeRowCount = 16384;
constexpr uint32_t SCtlGridCommands = 30266;
void RegisterRowMoveCursor() {
    static std::once_flag Once;
    std::call_once(Once, [] { CtlRegisterMoveCursor("CTLROWMOVECURSOR", crCtlRowMove, true); });
}
}  // namespace

// ---- Drag image ----

TCtlDragShow::TCtlDragShow(HWND Wnd, int X, int Y, const TRect& Area, TColor Transparent)
    : FWnd(Wnd),
      FPlace(Area),
      FWidth(Area.Width()),
      FHeight(Area.Height()),
      FOffsetX(X - Area.Left),
      FOffsetY(Y - Area.Top) {
    const HDC Dc = GetDC(FWnd);
    // The picture as it is now, and its mask: white where the picture has the transparent colour.
    const HDC PictureDc = CreateCompatibleDC(Dc);
    const HBITMAP Picture = CreateCompatibleBitmap(Dc, FWidth, FHeight);
    const HGDIOBJ OldPicture = SelectObject(PictureDc, Picture);
    BitBlt(PictureDc, 0, 0, FWidth, FHeight, Dc, Area.Left, Area.Top, SRCCOPY);
    FMaskDc = CreateCompatibleDC(Dc);
    FMask = CreateBitmap(FWidth, FHeight, 1, 1, nullptr);
    SelectObject(FMaskDc, FMask);
    SetBkColor(PictureDc, ColorToRGB(Transparent));
    BitBlt(FMaskDc, 0, 0, FWidth, FHeight, PictureDc, 0, 0, SRCCOPY);
    // The image: the picture where the mask is black, black where it is white.
    FImageDc = CreateCompatibleDC(Dc);
    FImage = CreateCompatibleBitmap(Dc, FWidth, FHeight);
    SelectObject(FImageDc, FImage);
    SetTextColor(FImageDc, clBlack);
    SetBkColor(FImageDc, clWhite);
    BitBlt(FImageDc, 0, 0, FWidth, FHeight, FMaskDc, 0, 0, SRCCOPY);
    BitBlt(FImageDc, 0, 0, FWidth, FHeight, PictureDc, 0, 0, SRCERASE);
    SelectObject(PictureDc, OldPicture);
    DeleteObject(Picture);
    DeleteDC(PictureDc);
    FSaveDc = CreateCompatibleDC(Dc);
    FSave = CreateCompatibleBitmap(Dc, FWidth, FHeight);
    SelectObject(FSaveDc, FSave);
    ReleaseDC(FWnd, Dc);
    Show();
}

TCtlDragShow::~TCtlDragShow() {
    Hide();
    for (HDC Dc : {FImageDc, FMaskDc, FSaveDc}) DeleteDC(Dc);
    for (HBITMAP B : {FImage, FMask, FSave}) DeleteObject(B);
}

// The mask clears the image's place, the image is laid into the hole.
void TCtlDragShow::DrawImage(HDC Dc, int X, int Y) {
    const TColor Text = SetTextColor(Dc, clBlack), Back = SetBkColor(Dc, clWhite);
    BitBlt(Dc, X, Y, FWidth, FHeight, FMaskDc, 0, 0, SRCAND);
    BitBlt(Dc, X, Y, FWidth, FHeight, FImageDc, 0, 0, SRCINVERT);
    SetTextColor(Dc, Text);
    SetBkColor(Dc, Back);
}

void TCtlDragShow::Show() {
    if (FShown) return;
    const HDC Dc = GetDC(FWnd);
    BitBlt(FSaveDc, 0, 0, FWidth, FHeight, Dc, FPlace.Left, FPlace.Top, SRCCOPY);
    DrawImage(Dc, FPlace.Left, FPlace.Top);
    ReleaseDC(FWnd, Dc);
    FShown = true;
}

void TCtlDragShow::Hide() {
    if (!FShown) return;
    const HDC Dc = GetDC(FWnd);
    BitBlt(Dc, FPlace.Left, FPlace.Top, FWidth, FHeight, FSaveDc, 0, 0, SRCCOPY);
    ReleaseDC(FWnd, Dc);
    FShown = false;
}

void TCtlDragShow::Move(int X, int Y) {
    const TRect New = Rect(X - FOffsetX, Y - FOffsetY, X - FOffsetX + FWidth, Y - FOffsetY + FHeight);
    if (New.Left == FPlace.Left && New.Top == FPlace.Top) return;
    const TRect Old = FPlace;
    FPlace = New;
    if (!FShown) return;
    const HDC Dc = GetDC(FWnd);
    if (CtlRectsMeet(Old, New)) {
        // Both places composed off the window in one step, so that the image does not flicker.
        const TRect U = Rect(std::min(Old.Left, New.Left), std::min(Old.Top, New.Top),
                             std::max(Old.Right, New.Right), std::max(Old.Bottom, New.Bottom));
        const HDC WorkDc = CreateCompatibleDC(Dc);
        const HBITMAP Work = CreateCompatibleBitmap(Dc, U.Width(), U.Height());
        const HGDIOBJ OldWork = SelectObject(WorkDc, Work);
        BitBlt(WorkDc, 0, 0, U.Width(), U.Height(), Dc, U.Left, U.Top, SRCCOPY);
        BitBlt(WorkDc, Old.Left - U.Left, Old.Top - U.Top, FWidth, FHeight, FSaveDc, 0, 0, SRCCOPY);
        BitBlt(FSaveDc, 0, 0, FWidth, FHeight, WorkDc, New.Left - U.Left, New.Top - U.Top, SRCCOPY);
        DrawImage(WorkDc, New.Left - U.Left, New.Top - U.Top);
        BitBlt(Dc, U.Left, U.Top, U.Width(), U.Height(), WorkDc, 0, 0, SRCCOPY);
        SelectObject(WorkDc, OldWork);
        DeleteObject(Work);
        DeleteDC(WorkDc);
    } else {
        BitBlt(Dc, Old.Left, Old.Top, FWidth, FHeight, FSaveDc, 0, 0, SRCCOPY);
        BitBlt(FSaveDc, 0, 0, FWidth, FHeight, Dc, New.Left, New.Top, SRCCOPY);
        DrawImage(Dc, New.Left, New.Top);
    }
    ReleaseDC(FWnd, Dc);
}

int32_t TCtlTableMap::IndexOf(int32_t Number) const {
    auto It = std::lower_bound(Numbers.begin(), Numbers.end(), Number);
    return It != Numbers.end() && *It == Number ? static_cast<int32_t>(It - Numbers.begin()) : -1;
}

// ---- Construction ----

TCtlCustomTable::TCtlCustomTable(TComponent* AOwner) : TCtlTableAncestor(AOwner) {
    FPens = std::make_unique<TCtlGridPenSet>();
    FPens->SetChangeNotice([this](TObject*) { CellChanged(nullptr); });
    FColors = std::make_unique<TCtlTableColors>();
    FColors->OnChange = [this](TObject*) { CellChanged(nullptr); };
    FColumns = std::make_unique<TCtlTableColumns>(this, 10);
    FColumns->SetChangeNotice(
        [this](TObject*, int32_t C1, int32_t C2, TCtlTblActions A) { ColumnsChanged(C1, C2, A); });
    FRows = std::make_unique<TCtlTableRows>();
    FRows->OnChange = [this](TObject*, int32_t R1, int32_t R2, TCtlTblActions A) { RowsChanged(R1, R2, A); };
    CtlRegisterDbTableResources();
    RegisterRowMoveCursor();
    SetBounds(Left(), Top(), 300, 100);
    SetParentColor(false);
    SetColor(clBtnFace);
    SetTabStop(true);
    ControlStyle |= csCaptureMouse | csOpaque | csDoubleClicks;
}

TCtlCustomTable::~TCtlCustomTable() {
    FDestroying = true;
    if (auto* Cell = FLockedRowsCell) {
        FLockedRowsCell = nullptr;
        Cell->ReleaseUser();
    }
    FColumns.reset();
}

bool TCtlCustomTable::Quiet() const {
    return FDestroying || (ComponentState() & csLoading);
}

int32_t TCtlCustomTable::ClientW() const {
    return HandleAllocated() ? ClientWidth() : 0;
}
int32_t TCtlCustomTable::ClientH() const {
    return HandleAllocated() ? ClientHeight() : 0;
}

// ---- Maps ----

bool TCtlCustomTable::IsColHidden(int32_t C) const {
    TCtlTableColumn* Col = FColumns->Items(C);
    return !Col || Col->Hidden();
}

bool TCtlCustomTable::IsRowHidden(int32_t R) const {
    return R < 0 || R >= FRows->Limit() || FRows->Hidden(R);
}

TCtlTableMap TCtlCustomTable::BuildColMap(int32_t Start) const {
    TCtlTableMap M;
    int32_t X = 0;
    const int32_t W = ClientW();
    for (int32_t C = 0; C < FLockedCols && C < ColCount() && X < W; ++C) {
        if (IsColHidden(C)) continue;
        M.Numbers.push_back(C);
        M.Offsets.push_back(X);
        X += FColumns->Items(C)->Width();
    }
    for (int32_t C = std::max(Start, FLockedCols); C < ColCount() && X < W; ++C) {
        if (IsColHidden(C)) continue;
        M.Numbers.push_back(C);
        M.Offsets.push_back(X);
        X += FColumns->Items(C)->Width();
    }
    M.Extent = X;
    return M;
}

TCtlTableMap TCtlCustomTable::BuildRowMap(int32_t Start) const {
    TCtlTableMap M;
    int32_t Y = 0;
    const int32_t H = ClientH();
    auto Add = [&](int32_t R) {
        if (IsRowHidden(R)) return;
        M.Numbers.push_back(R);
        M.Offsets.push_back(Y);
        Y += FRows->Height(R);
    };
    for (int32_t R = 0; R < FLockedRows && R < RowLimit() && Y < H; ++R) Add(R);
    for (int32_t R = std::max(Start, FLockedRows); R < RowLimit() && Y < H; ++R) Add(R);
    M.Extent = Y;
    return M;
}

int32_t TCtlCustomTable::AdjustCol(int32_t C, int Direction) const {
    if (C < FLockedCols || C >= ColCount()) C = FLockedCols;
    if (Direction == 0 && !IsColHidden(C)) return C;
    if (Direction >= 0) {
        for (int32_t I = C + 1; I < ColCount(); ++I)
            if (!IsColHidden(I)) return I;
        if (Direction > 0) return C;
    }
    for (int32_t I = C - 1; I >= FLockedCols; --I)
        if (!IsColHidden(I)) return I;
    return C;
}

int32_t TCtlCustomTable::AdjustRow(int32_t R, int Direction) const {
    if (R < FLockedRows || R >= RowLimit()) R = FLockedRows;
    if (Direction == 0 && !IsRowHidden(R)) return R;
    if (Direction >= 0) {
        for (int32_t I = R + 1; I < RowLimit(); ++I)
            if (!IsRowHidden(I)) return I;
        if (Direction > 0) return R;
    }
    for (int32_t I = R - 1; I >= FLockedRows; --I)
        if (!IsRowHidden(I)) return I;
    return R;
}

void TCtlCustomTable::ComputeMaxLeftCol() {
    if (FLockedCols >= ColCount()) return;
    int32_t A = AdjustCol(ColCount() - 1, 0);
    if (BuildColMap(A).Extent <= ClientW()) {
        for (;;) {
            const int32_t B = AdjustCol(A, -1);
            if (B == A || BuildColMap(B).Extent > ClientW()) break;
            A = B;
        }
    }
    FMaxLeftCol = A;
    if (FLeftCol > FMaxLeftCol) FLeftCol = FMaxLeftCol;
}

void TCtlCustomTable::ComputeMaxTopRow() {
    if (FLockedRows >= RowLimit()) return;
    int32_t A = AdjustRow(RowLimit() - 1, 0);
    // The last row fits only when the rows end above the client's bottom edge.
    if (BuildRowMap(A).Extent < ClientH()) {
        for (;;) {
            const int32_t B = AdjustRow(A, -1);
            if (B == A || BuildRowMap(B).Extent >= ClientH()) break;
            A = B;
        }
    }
    FMaxTopRow = A;
    if (FTopRow > FMaxTopRow) FTopRow = FMaxTopRow;
}

// ---- Scroll bars ----

void TCtlCustomTable::RefreshHorzScroll() {
    if (!HandleAllocated() || !FHasHorz) return;
    if (FUpdateCount > 0) {
        FScrollPending = true;
        return;
    }
    ComputeMaxLeftCol();
    int32_t N = 0, Pos = 0;
    for (int32_t C = FLockedCols; C <= FMaxLeftCol && C < ColCount(); ++C) N += !IsColHidden(C);
    for (int32_t C = FLockedCols; C < FLeftCol; ++C) Pos += !IsColHidden(C);
    SetScrollRange(Handle(), SB_HORZ, 0, std::max(0, N - 1), false);
    SetScrollPos(Handle(), SB_HORZ, Pos, true);
}

void TCtlCustomTable::RefreshVertScroll() {
    if (!HandleAllocated() || !FHasVert) return;
    if (FUpdateCount > 0) {
        FScrollPending = true;
        return;
    }
    ComputeMaxTopRow();
    int32_t Max, Pos;
    if (FMaxTopRow < LargeRowCount) {
        bool Some = false;
        for (int32_t R = FLockedRows; R < FMaxTopRow && !Some; ++R) Some = !IsRowHidden(R);
        Max = Some ? FMaxTopRow : FLockedRows;
        Pos = FTopRow;
    } else {
        // Large grids scale the bar down so its range stays small.
        const int32_t D1 = FMaxTopRow == LargeRowCount ? FMaxTopRow / 64 + 1 : FMaxTopRow / 1024 + 1;
        const int32_t D2 = std::max(1, FMaxTopRow == LargeRowCount ? RowLimit() / 64 : RowLimit() / 1024);
        Max = FMaxTopRow / D1;
        Pos = FTopRow / D2;
    }
    SetScrollRange(Handle(), SB_VERT, FLockedRows, Max, false);
    SetScrollPos(Handle(), SB_VERT, Pos, true);
}

// ---- Update bracket and invalidation ----

void TCtlCustomTable::BeginUpdate() {
    if (FUpdateCount++ != 0 || !HandleAllocated()) return;
    if (HasOption(otoBrowseRow)) InvalidateRow(FActiveRow);
    if (FEditingCell && !FEditorHidden) {
        // The editor goes out of sight while the grid changes; the end of the update puts it back.
        TWinControl* E = FEditingCell->EditControl();
        const bool HadFocus = E && E->Focused();
        FEditingCell->EditHide();
        FEditorHidden = true;
        if (HadFocus) SetFocus();
    } else if (!HasOption(otoBrowseRow)) {
        InvalidateCell(FActiveRow, FActiveCol);
    }
}

void TCtlCustomTable::EndUpdate() {
    if (--FUpdateCount > 0) return;
    FUpdateCount = 0;
    if (FScrollPending) {
        FScrollPending = false;
        RefreshHorzScroll();
        RefreshVertScroll();
    }
    if (HasOption(otoBrowseRow))
        InvalidateRow(FActiveRow);
    else if (!FEditingCell)
        InvalidateCell(FActiveRow, FActiveCol);
    if (HandleAllocated()) FlushInvalidCells();
    if (FEditingCell && FEditorHidden) PlaceEditor();
}

void TCtlCustomTable::PlaceEditor() {
    TRect R;
    if (!GetActiveCellRect(R)) return;  // off screen: the editor stays hidden
    TCtlTblEditorStyle Style = tesNormal;
    DoSizeCellEditor(FActiveRow, FActiveCol, R, Style);
    FEditingCell->EditMove(R);
    FEditorHidden = false;
    if (Focused())
        if (TWinControl* E = FEditingCell->EditControl(); E && E->CanFocus()) E->SetFocus();
}

// The recorded cells go to the window as repaint requests; Paint draws what they cover.
void TCtlCustomTable::FlushInvalidCells() {
    for (int I = 0; I < FInvalid.Count(); ++I) {
        const TCtlCellAddress A = FInvalid.Items(I);
        const TRect R = CellRect(A.RowNum, A.ColNum);
        if (R.Width() > 0) framework::InvalidateRect(Handle(), &R, false);
    }
    if (FInvalid.UnusedArea()) {
        const TRect Right = Rect(FColMap.Extent, 0, ClientW(), ClientH());
        const TRect Below = Rect(0, FRowMap.Extent, FColMap.Extent, ClientH());
        if (Right.Width() > 0) framework::InvalidateRect(Handle(), &Right, false);
        if (Below.Height() > 0 && Below.Width() > 0) framework::InvalidateRect(Handle(), &Below, false);
    }
    FInvalid.Clear();
}

void TCtlCustomTable::InvalidateCell(int32_t R, int32_t C) {
    if (FRowMap.IndexOf(R) >= 0 && FColMap.IndexOf(C) >= 0) FInvalid.AddCell(R, C);
}

void TCtlCustomTable::InvalidateRow(int32_t R) {
    if (FRowMap.IndexOf(R) < 0) return;
    for (int32_t C : FColMap.Numbers) FInvalid.AddCell(R, C);
}

void TCtlCustomTable::InvalidateColumn(int32_t C) {
    if (FColMap.IndexOf(C) < 0) return;
    for (int32_t R : FRowMap.Numbers) FInvalid.AddCell(R, C);
}

void TCtlCustomTable::InvalidateTable() {
    for (int32_t R : FRowMap.Numbers)
        for (int32_t C : FColMap.Numbers) FInvalid.AddCell(R, C);
    FInvalid.SetUnusedArea();
}

void TCtlCustomTable::CellChanged(TCtlTableCellAncestor*) {
    if (Quiet() || !HandleAllocated()) return;
    BeginUpdate();
    InvalidateTable();
    EndUpdate();
}

// ---- Geometry ----

TRect TCtlCustomTable::CellRect(int32_t R, int32_t C) const {
    const int32_t I = FRowMap.IndexOf(R), J = FColMap.IndexOf(C);
    if (I < 0 || J < 0) return Rect(0, 0, 0, 0);
    return Rect(FColMap.Offsets[size_t(J)], FRowMap.Offsets[size_t(I)], FColMap.End(J), FRowMap.End(I));
}

TRect TCtlCustomTable::Narrowed(const TRect& R, TGridEffect Effect) const {
    return CtlInsideLines(R, Effect);
}

bool TCtlCustomTable::GetActiveCellRect(TRect& Out) const {
    const TRect R = CellRect(FActiveRow, FActiveCol);
    if (R.Width() <= 0) return false;
    Out = Narrowed(R, FPens->NormalGrid().Effect());
    return true;
}

uint8_t TCtlCustomTable::HitTest(int X, int Y, int32_t& RowNum, int32_t& ColNum) const {
    RowNum = -1;
    ColNum = -1;
    uint8_t Code = (X < 0 || Y < 0 || X >= ClientW() || Y >= ClientH()) ? 3 : 0;
    auto Find = [](const TCtlTableMap& M, int V, int Limit) {
        int32_t N = -1;
        if (V >= 0 && V < std::min(Limit, M.Extent))
            for (int32_t I = 0; I < M.Count() && M.Offsets[size_t(I)] <= V; ++I) N = M.Numbers[size_t(I)];
        return N;
    };
    RowNum = Find(FRowMap, Y, ClientH());
    ColNum = Find(FColMap, X, ClientW());
    if (Code == 0) {
        if (RowNum == -1 || ColNum == -1)
            Code = 2;
        else if (RowNum < FLockedRows || ColNum < FLockedCols)
            Code = 1;
    }
    if (Code >= 2) {
        if (RowNum == -1 && Y < 0) RowNum = -2;
        if (ColNum == -1 && X < 0) ColNum = -2;
    }
    return Code;
}

// ---- Scrolling ----

void TCtlCustomTable::SetTopLeftCell(int32_t R, int32_t C) {
    C = std::min(C, FMaxLeftCol);
    R = std::min(R, FMaxTopRow);
    R = AdjustRow(R, 0);
    C = AdjustCol(C, 0);
    DoTopLeftCellChanging(R, C);
    if (!HandleAllocated()) {
        FTopRow = R;
        FLeftCol = C;
        return;
    }
    if (R == FTopRow && C == FLeftCol) return;
    BeginUpdate();
    if (R != FTopRow) ScrollRowsTo(R);
    if (C != FLeftCol) ScrollColsTo(C);
    EndUpdate();
    RefreshVertScroll();
    RefreshHorzScroll();
    DoTopLeftCellChanged(R, C);
}

void TCtlCustomTable::ScrollRowsTo(int32_t R) {
    const int32_t Index = FRowMap.IndexOf(R);
    const int32_t OldTop = FTopRow;
    auto InvalidateScrollable = [&] {
        for (int32_t Row : FRowMap.Numbers)
            if (Row >= FLockedRows)
                for (int32_t C : FColMap.Numbers) FInvalid.AddCell(Row, C);
        FInvalid.SetUnusedArea();
    };
    if (R > OldTop) {
        if (Index < 0 || FRowMap.End(Index) > ClientH()) {
            FTopRow = R;
            FRowMap = BuildRowMap(FTopRow);
            InvalidateScrollable();
            return;
        }
        // The rows that stay move up; only those coming into view are painted.
        const int32_t T0 = FRowMap.Offsets[size_t(FRowMap.IndexOf(OldTop))],
                      T1 = FRowMap.Offsets[size_t(Index)];
        // The first row to paint: the last one when it was cut off, else the one after it.
        int32_t First = FRowMap.Last();
        if (FRowMap.Extent <= ClientH()) First = AdjustRow(First, 1);
        const TRect Band = Rect(0, T0, ClientW(), ClientH());
        framework::ScrollWindow(Handle(), 0, -(T1 - T0), &Band, &Band);
        FTopRow = R;
        FRowMap = BuildRowMap(FTopRow);
        for (int32_t Row : FRowMap.Numbers)
            if (Row >= First)
                for (int32_t C : FColMap.Numbers) FInvalid.AddCell(Row, C);
        // The strip that came into view right of the columns was uncovered by the move; below the
        // rows there may now be unused space.
        const TRect Below = Rect(0, FRowMap.Extent, FColMap.Extent, ClientH());
        if (Below.Height() > 0 && Below.Width() > 0) framework::InvalidateRect(Handle(), &Below, false);
        return;
    }
    const int32_t OldIndex = FRowMap.IndexOf(OldTop);
    const int32_t T0 = OldIndex >= 0 ? FRowMap.Offsets[size_t(OldIndex)] : 0;
    FTopRow = R;
    FRowMap = BuildRowMap(FTopRow);
    const int32_t NewIndex = FRowMap.IndexOf(OldTop);
    if (NewIndex < 0) {
        InvalidateScrollable();
        return;
    }
    const int32_t T1 = FRowMap.Offsets[size_t(NewIndex)];
    const TRect Band = Rect(0, T0, ClientW(), ClientH());
    framework::ScrollWindow(Handle(), 0, T1 - T0, &Band, &Band);
    for (int32_t Row : FRowMap.Numbers)
        if (Row >= R && Row < OldTop)
            for (int32_t C : FColMap.Numbers) FInvalid.AddCell(Row, C);
}

void TCtlCustomTable::ScrollColsTo(int32_t C) {
    // Columns move as a whole: the scrollable part is painted anew.
    FLeftCol = C;
    FColMap = BuildColMap(FLeftCol);
    InvalidateTable();
}

void TCtlCustomTable::MakeRowVisible(int32_t R) {
    const int32_t I = FRowMap.IndexOf(R);
    if (I >= 0 && FRowMap.End(I) <= ClientH()) return;
    if (I < 0) {
        SetTopLeftCell(R, FLeftCol);
        return;
    }
    int32_t Bottom = FRowMap.End(I);
    int32_t K = FRowMap.IndexOf(FTopRow);
    while (K >= 0 && K < I && Bottom > ClientH()) {
        Bottom -= FRowMap.End(K) - FRowMap.Offsets[size_t(K)];
        ++K;
    }
    if (K >= 0) SetTopLeftCell(FRowMap.Numbers[size_t(K)], FLeftCol);
}

void TCtlCustomTable::MakeColumnVisible(int32_t C) {
    const int32_t I = FColMap.IndexOf(C);
    if (I >= 0 && FColMap.End(I) <= ClientW()) return;
    if (I < 0) {
        SetTopLeftCell(FTopRow, C);
        return;
    }
    int32_t Right = FColMap.End(I);
    int32_t K = FColMap.IndexOf(FLeftCol);
    while (K >= 0 && K < I && Right > ClientW()) {
        Right -= FColMap.End(K) - FColMap.Offsets[size_t(K)];
        ++K;
    }
    if (K >= 0) SetTopLeftCell(FTopRow, FColMap.Numbers[size_t(K)]);
}

void TCtlCustomTable::ScrollTable(bool Horizontal, int Action) {
    auto Adjust = [&](int32_t V, int D) { return Horizontal ? AdjustCol(V, D) : AdjustRow(V, D); };
    const int32_t Current = Horizontal ? FLeftCol : FTopRow;
    const TCtlTableMap& Map = Horizontal ? FColMap : FRowMap;
    int32_t Target = Current;
    switch (Action) {
        case 0:
            Target = Adjust(Current, -1);
            break;
        case 1:
            Target = Adjust(Current, 1);
            break;
        case 3:
            Target = Map.Last();
            if (Target == Current) Target = Adjust(Current, 1);
            break;
        case 2: {
            int32_t P = Adjust(Current, -1);
            if (P == Current) return;
            const int32_t Limit = Horizontal ? ClientW() : ClientH();
            for (;;) {
                const TCtlTableMap Trial = Horizontal ? BuildColMap(P) : BuildRowMap(P);
                if (Trial.Extent >= Limit && Trial.Last() <= Current) break;
                const int32_t Q = Adjust(P, -1);
                if (Q == P) break;
                P = Q;
            }
            Target = P;
            break;
        }
        default:
            return;
    }
    if (Horizontal)
        SetTopLeftCell(FTopRow, Target);
    else
        SetTopLeftCell(Target, FLeftCol);
}

// ---- Properties ----

void TCtlCustomTable::SetRowLimit(int32_t N) {
    if (N == RowLimit() || N <= FLockedRows) return;
    BeginUpdate();
    FRows->SetLimit(N);
    FSelection.SetRowCount(N);
    if (FActiveRow >= N) FActiveRow = N - 1;
    if (FTopRow >= N) FTopRow = N - 1;
    FRowMap = BuildRowMap(FTopRow);
    ComputeMaxTopRow();
    InvalidateTable();
    RefreshVertScroll();
    EndUpdate();
}

void TCtlCustomTable::SetColCount(int32_t N) {
    if (N == ColCount() || N <= FLockedCols) return;
    BeginUpdate();
    FColumns->SetCount(N);
    FSelection.SetColCount(N);
    if (FActiveCol >= N) FActiveCol = N - 1;
    if (FLeftCol >= N) FLeftCol = N - 1;
    RefreshHorzScroll();
    EndUpdate();
}

void TCtlCustomTable::SetLockedCols(int32_t N) {
    if (!HandleAllocated()) {
        FLockedCols = N;
        return;
    }
    if (N == FLockedCols || N < 0 || N >= ColCount()) return;
    BeginUpdate();
    FLockedCols = N;
    if (FLeftCol < N) SetTopLeftCell(FTopRow, N);
    if (FActiveCol < N) FActiveCol = FLeftCol;
    FColMap = BuildColMap(FLeftCol);
    InvalidateTable();
    EndUpdate();
    RefreshHorzScroll();
}

void TCtlCustomTable::SetLockedRows(int32_t N) {
    if (!HandleAllocated()) {
        FLockedRows = N;
        return;
    }
    if (N == FLockedRows || N < 0) return;
    BeginUpdate();
    FLockedRows = N;
    if (FTopRow < N) SetTopLeftCell(N, FLeftCol);
    if (FActiveRow < N) SetActiveCell(FActiveRow, FActiveCol);
    FRowMap = BuildRowMap(FTopRow);
    InvalidateTable();
    EndUpdate();
    RefreshVertScroll();
}

void TCtlCustomTable::SetAccess(TCtlTblAccess Value) {
    if (Value == otxDefault) Value = otxNormal;
    if (Value == FAccess) return;
    BeginUpdate();
    if (Value == otxInvisible || FAccess == otxInvisible) InvalidateTable();
    FAccess = Value;
    EndUpdate();
}

void TCtlCustomTable::SetAdjust(TCtlTblAdjust Value) {
    if (Value == otaDefault) Value = otaCenterLeft;
    if (Value == FAdjust) return;
    BeginUpdate();
    InvalidateTable();
    FAdjust = Value;
    EndUpdate();
}

void TCtlCustomTable::SetBorderStyle(TBorderStyle Value) {
    if (Value == FBorderStyle) return;
    FBorderStyle = Value;
    if (HandleAllocated()) RecreateWnd();
}

void TCtlCustomTable::SetScrollBars(TScrollStyle Value) {
    if (Value == FScrollBars) return;
    FScrollBars = Value;
    if (HandleAllocated()) RecreateWnd();
}

void TCtlCustomTable::SetColorUnused(TColor Value) {
    if (Value == FColorUnused) return;
    BeginUpdate();
    FColorUnused = Value;
    FInvalid.SetUnusedArea();
    EndUpdate();
}

void TCtlCustomTable::SetLockedRowsCell(TCtlBaseTableCell* Cell) {
    if (Cell == FLockedRowsCell) return;
    if (Cell && Cell->Users() > 0 && Cell->Table() != this) return;  // a cell serves one grid
    if (auto* Old = FLockedRowsCell) {
        FLockedRowsCell = nullptr;
        Old->ReleaseUser();
    }
    FLockedRowsCell = Cell;
    if (Cell) {
        if (Cell->Users() == 0) Cell->SetTable(this);
        Cell->AddUser();
        Cell->FreeNotification(this);
    }
    CellChanged(Cell);
}

void TCtlCustomTable::SetOptions(TCtlTblOptionSet Value) {
    auto Has = [&](TCtlTblOption O) { return (Value & CtlTblOption(O)) != 0; };
    auto Add = [&](TCtlTblOption O) { Value |= CtlTblOption(O); };
    auto Drop = [&](TCtlTblOption O) { Value &= static_cast<TCtlTblOptionSet>(~CtlTblOption(O)); };
    auto DropSelecting = [&] {
        Drop(otoMouseDragSelect);
        Drop(otoRowSelection);
        Drop(otoColSelection);
    };
    if (Has(otoBrowseRow)) {
        Add(otoNoRowResizing);
        Add(otoNoSelection);
        DropSelecting();
    }
    if (Has(otoAlwaysEditing)) {
        Add(otoNoRowResizing);
        Add(otoNoColResizing);
        Add(otoNoSelection);
        DropSelecting();
    } else if (Has(otoNoSelection)) {
        DropSelecting();
    }
    if (Has(otoRowSelection)) Drop(otoAllowRowMoves);
    if (Has(otoColSelection)) Drop(otoAllowColMoves);
    BeginUpdate();
    FOptions = Value;
    InvalidateTable();
    EndUpdate();
}

// ---- Changes of the owned objects ----

void TCtlCustomTable::ColumnsChanged(int32_t C1, int32_t C2, TCtlTblActions Action) {
    if (Quiet() || !HandleAllocated()) return;
    BeginUpdate();
    if (Action == taSingle || Action == taInsert || Action == taDelete || Action == taExchange)
        DoColumnsChanged(C1, Action == taExchange ? C2 : -1, Action);
    FColMap = BuildColMap(FLeftCol);
    InvalidateTable();
    if (FActiveCol >= ColCount()) FActiveCol = std::max(FLockedCols, ColCount() - 1);
    RefreshHorzScroll();
    EndUpdate();
}

void TCtlCustomTable::RowsChanged(int32_t R1, int32_t R2, TCtlTblActions Action) {
    if (Quiet() || !HandleAllocated()) return;
    BeginUpdate();
    if (Action == taSingle || Action == taInsert || Action == taDelete || Action == taExchange)
        DoRowsChanged(R1, Action == taExchange ? R2 : -1, Action);
    FRowMap = BuildRowMap(FTopRow);
    InvalidateTable();
    RefreshVertScroll();
    EndUpdate();
}

void TCtlCustomTable::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    if (!HandleAllocated() || (AWidth == Width() && AHeight == Height()) || !FColumns) {
        TCtlTableAncestor::SetBounds(ALeft, ATop, AWidth, AHeight);
        return;
    }
    BeginUpdate();
    TCtlTableAncestor::SetBounds(ALeft, ATop, AWidth, AHeight);
    ComputeMaxTopRow();
    ComputeMaxLeftCol();
    FColMap = BuildColMap(FLeftCol);
    FRowMap = BuildRowMap(FTopRow);
    RefreshVertScroll();
    RefreshHorzScroll();
    InvalidateTable();
    EndUpdate();
}

// ---- Active cell ----

void TCtlCustomTable::SetActiveCell(int32_t R, int32_t C) {
    DoActiveCellMoving(0, R, C);
    MoveTo(R, C);
}

void TCtlCustomTable::MoveTo(int32_t R, int32_t C) {
    if (FExtend && !HasOption(otoNoSelection))
        ExtendSelection(R, C, false);
    else
        SetSelectionAnchor(R, C, false);
    R = AdjustRow(R, 0);
    C = AdjustCol(C, 0);
    if (R == FActiveRow && C == FActiveCol) return;
    if (!HandleAllocated() || FRowMap.Count() == 0 || FColMap.Count() == 0) {
        FActiveRow = R;
        FActiveCol = C;
        return;
    }
    BeginUpdate();
    const bool RowChanges = R != FActiveRow, ColChanges = C != FActiveCol;
    if (RowChanges) {
        for (int32_t Col = 0; Col < FLockedCols; ++Col) {
            InvalidateCell(FActiveRow, Col);
            InvalidateCell(R, Col);
        }
        if (HasOption(otoBrowseRow)) InvalidateRow(FActiveRow);
        DoLeavingRow(FActiveRow);
    }
    if (ColChanges) DoLeavingColumn(FActiveCol);
    InvalidateCell(FActiveRow, FActiveCol);
    if (RowChanges && !FOldRowColBehavior) DoEnteringRow(R);
    FActiveRow = R;
    if (ColChanges && !FOldRowColBehavior) DoEnteringColumn(C);
    FActiveCol = C;
    MakeRowVisible(R);
    MakeColumnVisible(C);
    if (HasOption(otoAlwaysEditing) && !(ComponentState() & csDesigning))
        PostMessage(Handle(), TM_STARTEDIT, 0, 0);
    else
        InvalidateCell(R, C);
    EndUpdate();
    RefreshHorzScroll();
    RefreshVertScroll();
    DoActiveCellChanged(R, C);
}

void TCtlCustomTable::MoveActiveCell(uint16_t Command) {
    using namespace entry;
    if (HasOption(otoNoSelection)) FExtend = false;
    int32_t R = FActiveRow, C = FActiveCol;
    // The entry at the active row's (column's) index in a map after a page move.
    auto SameIndex = [](const TCtlTableMap& Map, int32_t Index, int32_t Fallback) {
        if (Index < 0) return Fallback;
        return Map.Numbers[size_t(std::min(Index, Map.Count() - 1))];
    };
    bool Paged = false;
    BeginUpdate();
    switch (Command) {
        case ccUp:
            R = AdjustRow(FActiveRow, -1);
            break;
        case ccDown:
            R = AdjustRow(FActiveRow, 1);
            // At the exact bottom edge the grid first scrolls by one row.
            if (R > FActiveRow && FRowMap.Extent == ClientH() && FActiveRow == FRowMap.Last()) {
                const int32_t Next = AdjustRow(FTopRow, 1);
                if (Next < R) SetTopLeftCell(Next, FLeftCol);
            }
            break;
        case ccLeft:
            C = AdjustCol(FActiveCol, -1);
            break;
        case ccRight:
            C = AdjustCol(FActiveCol, 1);
            if (C > FActiveCol && FColMap.Extent == ClientW() && FActiveCol == FColMap.Last()) {
                const int32_t Next = AdjustCol(FLeftCol, 1);
                if (Next < C) SetTopLeftCell(FTopRow, Next);
            }
            break;
        case ccHome:
            C = AdjustCol(FLockedCols, 0);
            break;
        case ccEnd:
            C = AdjustCol(ColCount() - 1, 0);
            break;
        case ccFirstPage:
            R = AdjustRow(FLockedRows, 0);
            break;
        case ccLastPage:
            R = AdjustRow(RowLimit() - 1, 0);
            break;
        case ccTopLeftCell:
            R = AdjustRow(FLockedRows, 0);
            C = AdjustCol(FLockedCols, 0);
            break;
        case ccBotRightCell:
            R = AdjustRow(RowLimit() - 1, 0);
            C = AdjustCol(ColCount() - 1, 0);
            break;
        case ccTopOfPage:
            R = FTopRow;
            break;
        case ccBotOfPage: {
            const int32_t Last = FRowMap.Count() - 1;
            if (Last < 0) break;
            R = FRowMap.Numbers[size_t(Last)];
            if (FRowMap.Extent > ClientH() && Last > 0) R = FRowMap.Numbers[size_t(Last - 1)];
            if (R < FLockedRows) R = FTopRow;
            break;
        }
        case ccNextPage:
        case ccPrevPage:
        case ccPageRight:
        case ccPageLeft: {
            const bool Rows = Command == ccNextPage || Command == ccPrevPage;
            const bool Forward = Command == ccNextPage || Command == ccPageRight;
            const TCtlTableMap& Map = Rows ? FRowMap : FColMap;
            const int32_t Active = Rows ? FActiveRow : FActiveCol;
            const int32_t Start = Rows ? FTopRow : FLeftCol;
            const int32_t Index = Map.IndexOf(Active);
            if (!Forward && Active == Start && (Rows ? AdjustRow(Start, -1) : AdjustCol(Start, -1)) == Start)
                break;
            ScrollTable(!Rows, Forward ? 3 : 2);
            const int32_t NewStart = Rows ? FTopRow : FLeftCol;
            const int32_t Target =
                (!Forward && NewStart == Start) ? NewStart : SameIndex(Map, Index, NewStart);
            (Rows ? R : C) = Target;
            Paged = true;
            break;
        }
        default:
            EndUpdate();
            return;
    }
    (void)Paged;
    R = AdjustRow(R, 0);
    C = AdjustCol(C, 0);
    DoActiveCellMoving(Command, R, C);
    if (R != FActiveRow || C != FActiveCol) MoveTo(R, C);
    EndUpdate();
}

// ---- Selection ----

bool TCtlCustomTable::IsCellSelected(int32_t R, int32_t C) const {
    return FSelection.HasSelection() && FSelection.IsSelected(R, C);
}

void TCtlCustomTable::SetSelectionAnchor(int32_t R, int32_t C, bool Keep) {
    BeginUpdate();
    if (!Keep && FSelection.HasSelection()) {
        FSelection.Clear();
        InvalidateTable();
    }
    FAnchor = {std::clamp(R, FLockedRows, std::max(FLockedRows, RowLimit() - 1)),
               std::clamp(C, FLockedCols, std::max(FLockedCols, ColCount() - 1))};
    FSelection.SetAnchor(FAnchor.RowNum, FAnchor.ColNum, Keep);
    EndUpdate();
}

void TCtlCustomTable::ExtendSelection(int32_t R, int32_t C, bool Keep) {
    BeginUpdate();
    if (!Keep) FSelection.Clear();
    FSelection.SetAnchor(FAnchor.RowNum, FAnchor.ColNum, true);
    FSelection.ExtendTo(AdjustRow(R, 0), HasOption(otoBrowseRow) ? ColCount() - 1 : AdjustCol(C, 0), true);
    InvalidateTable();
    EndUpdate();
}

TCtlTblKeyClaim TCtlCustomTable::FilterKey(TWMKey& Msg) {
    entry::TCtlController* Ctl = Controller() ? Controller() : entry::CtlGetDefaultController();
    TMessage Copy = Msg.M;
    const uint16_t Cmd = Ctl->EntryCommands().TranslateUsing({entry::CtlGetMessage(SCtlGridCommands)}, Copy);
    switch (Cmd) {
        case entry::ccUp:
        case entry::ccDown:
        case entry::ccLeft:
        case entry::ccRight:
        case entry::ccNextPage:
        case entry::ccPrevPage:
            return okcWanted;
        case entry::ccTableEdit:
            return okcRequired;
        default:
            return Msg.CharCode() == VK_ESCAPE ? okcRequired : okcNone;
    }
}

// ---- Attributes and painting ----

TCtlBaseTableCell* TCtlCustomTable::GetCellComponent(int32_t R, int32_t C) const {
    if (R < FLockedRows && FLockedRowsCell) return FLockedRowsCell;
    return FColumns->DefaultCell(C);
}

void TCtlCustomTable::ResolveCellAttributes(int32_t R, int32_t C, TCtlCellAttributes& A) {
    if (A.Access == otxDefault) A.Access = FAccess;
    if (A.Adjust == otaDefault) A.Adjust = FAdjust;
    const bool Locked = R < FLockedRows || C < FLockedCols;
    auto Pair = [&](TCtlTableColors::TRole Back, TCtlTableColors::TRole Text) {
        A.Color = FColors->Color(Back);
        A.FontColor = FColors->Color(Text);
    };
    if (R == FActiveRow && C == FActiveCol) {
        if (!FFocused)
            Pair(TCtlTableColors::ActiveUnfocused, TCtlTableColors::ActiveUnfocusedText);
        else if (FEditingCell || (HasOption(otoAlwaysEditing) && A.Access == otxNormal))
            Pair(TCtlTableColors::Editing, TCtlTableColors::EditingText);
        else
            Pair(TCtlTableColors::ActiveFocused, TCtlTableColors::ActiveFocusedText);
    } else if (R == FActiveRow && HasOption(otoBrowseRow)) {
        if (FFocused)
            Pair(TCtlTableColors::ActiveFocused, TCtlTableColors::ActiveFocusedText);
        else
            Pair(TCtlTableColors::ActiveUnfocused, TCtlTableColors::ActiveUnfocusedText);
    } else if (IsCellSelected(R, C)) {
        Pair(TCtlTableColors::Selected, TCtlTableColors::SelectedText);
    } else if (Locked) {
        Pair(TCtlTableColors::Locked, TCtlTableColors::LockedText);
    }
    DoGetCellAttributes(R, C, A);
}

void TCtlCustomTable::DrawGridLines(TCtlGridPen& Pen, const TRect& R) {
    CtlDrawGridLines(Canvas(), Pen, R, Color());
}

void TCtlCustomTable::PaintCell(int32_t R, int32_t C, const TRect& Rect) {
    TCtlGridPen& Pen = (R < FLockedRows || C < FLockedCols) ? FPens->LockedGrid() : FPens->NormalGrid();
    const TRect Content = Narrowed(Rect, Pen.Effect());
    TCanvas& Cv = Canvas();
    FScratchFont.Assign(Font());
    TCtlCellAttributes Attr;
    Attr.Font = &FScratchFont;
    const bool UnderEditor = FEditingCell && R == FActiveRow && C == FActiveCol;
    if (TCtlBaseTableCell* Cell = UnderEditor ? nullptr : GetCellComponent(R, C)) {
        TCtlCellValue Data;
        DoGetCellData(R, C, Data, cdpForPaint);
        Cell->ResolveAttributes(R, C, Attr);
        Cell->PaintCell(Cv, Content, R, C, Attr, Data.Kind == TCtlCellValue::cvNone ? nullptr : &Data);
    } else {
        Attr.Color = Color();
        Attr.FontColor = Font().Color;
        ResolveCellAttributes(R, C, Attr);
        Cv.Brush.Color = Attr.Color;
        Cv.FillRect(Content);
    }
    DrawGridLines(Pen, Rect);
}

void TCtlCustomTable::DrawFocusFrame() {
    TRect Cell = CellRect(FActiveRow, FActiveCol);
    if (Cell.Width() <= 0) return;
    if (FEditingCell) {
        if (TWinControl* E = FEditingCell->EditControl()) E->Invalidate();
        return;
    }
    CtlDrawActiveFrame(
        Canvas(), FFocused ? FPens->CellWhenFocused() : FPens->CellWhenUnfocused(),
        FPens->NormalGrid().Effect(), Cell,
        FColors->Color(FFocused ? TCtlTableColors::ActiveFocused : TCtlTableColors::ActiveUnfocused));
}

void TCtlCustomTable::Paint() {
    // The drag image is not part of the grid's own picture: it goes while the grid paints.
    const bool ImageShown = FDragShow && FDragShow->Shown();
    if (ImageShown) FDragShow->Hide();
    PaintPrim();
    if (ImageShown) FDragShow->Show();
}

void TCtlCustomTable::PaintPrim() {
    TRect Clip;
    GetClipBox(Canvas().Handle(), &Clip);
    // The active cell alone under a shown editor: the editor covers it.
    TRect Active;
    if (FEditingCell && !FEditorHidden && GetActiveCellRect(Active) && Clip.Left >= Active.Left &&
        Clip.Top >= Active.Top && Clip.Right <= Active.Right && Clip.Bottom <= Active.Bottom)
        return;
    for (int32_t I = 0; I < FRowMap.Count(); ++I) {
        bool RowEntered = false;
        for (int32_t J = FColMap.Count() - 1; J >= 0; --J) {
            const TRect R =
                Rect(FColMap.Offsets[size_t(J)], FRowMap.Offsets[size_t(I)], FColMap.End(J), FRowMap.End(I));
            if (!CtlRectsMeet(R, Clip)) continue;
            if (FOldRowColBehavior) {
                if (!RowEntered) DoEnteringRow(FRowMap.Numbers[size_t(I)]);
                RowEntered = true;
                DoEnteringColumn(FColMap.Numbers[size_t(J)]);
            }
            PaintCell(FRowMap.Numbers[size_t(I)], FColMap.Numbers[size_t(J)], R);
        }
    }
    const TRect Right = Rect(FColMap.Extent, 0, ClientW(), ClientH());
    const TRect Below = Rect(0, FRowMap.Extent, FColMap.Extent, ClientH());
    if ((Right.Width() > 0 && CtlRectsMeet(Right, Clip)) ||
        (Below.Height() > 0 && Below.Width() > 0 && CtlRectsMeet(Below, Clip)))
        DoPaintUnusedArea();
    DrawFocusFrame();
}

// ---- Events ----

void TCtlCustomTable::DoActiveCellChanged(int32_t R, int32_t C) {
    if (!Quiet() && OnActiveCellChanged) OnActiveCellChanged(this, R, C);
}
void TCtlCustomTable::DoActiveCellMoving(uint16_t Command, int32_t& R, int32_t& C) {
    if (!Quiet() && OnActiveCellMoving) OnActiveCellMoving(this, Command, R, C);
    if (FEditingCell && (R != FActiveRow || C != FActiveCol) && !CloseEditor(true)) {
        R = FActiveRow;
        C = FActiveCol;
    }
}
void TCtlCustomTable::DoBeginEdit(int32_t R, int32_t C, bool& AllowIt) {
    if (!Quiet() && OnBeginEdit) OnBeginEdit(this, R, C, AllowIt);
}
void TCtlCustomTable::DoClipboardCopy() {
    if (!Quiet() && OnClipboardCopy) OnClipboardCopy(this);
}
void TCtlCustomTable::DoClipboardCut() {
    if (!Quiet() && OnClipboardCut) OnClipboardCut(this);
}
void TCtlCustomTable::DoClipboardPaste() {
    if (!Quiet() && OnClipboardPaste) OnClipboardPaste(this);
}
void TCtlCustomTable::DoColumnsChanged(int32_t C1, int32_t C2, TCtlTblActions Action) {
    if (Quiet()) return;
    for (TCtlTableCellAncestor* Cell : Cells())
        if (auto* Head = dynamic_cast<TCtlTCColHead*>(Cell)) Head->ColumnsChanged(C1, C2, Action);
    if (OnColumnsChanged) OnColumnsChanged(this, C1, C2, Action);
}
void TCtlCustomTable::DoDoneEdit(int32_t R, int32_t C) {
    if (!Quiet() && OnDoneEdit) OnDoneEdit(this, R, C);
}
void TCtlCustomTable::DoEndEdit(TCtlBaseTableCell* Cell, int32_t R, int32_t C, bool& AllowIt) {
    if (!Quiet() && OnEndEdit) OnEndEdit(this, Cell, R, C, AllowIt);
}
// Each row and column is reported once when it is entered, not again until another one was.
void TCtlCustomTable::DoEnteringColumn(int32_t C) {
    if (Quiet() || C == FEnteredCol) return;
    FEnteredCol = C;
    if (OnEnteringColumn) OnEnteringColumn(this, C);
}
void TCtlCustomTable::DoEnteringRow(int32_t R) {
    if (Quiet() || R == FEnteredRow) return;
    FEnteredRow = R;
    if (OnEnteringRow) OnEnteringRow(this, R);
}
void TCtlCustomTable::DoGetCellData(int32_t R, int32_t C, TCtlCellValue& Data, TCtlCellDataPurpose Purpose) {
    Data = TCtlCellValue();
    if (!Quiet() && OnGetCellData && HandleAllocated()) OnGetCellData(this, R, C, Data, Purpose);
}
void TCtlCustomTable::DoLeavingColumn(int32_t C) {
    if (!Quiet() && OnLeavingColumn) OnLeavingColumn(this, C);
}
void TCtlCustomTable::DoLeavingRow(int32_t R) {
    if (!Quiet() && OnLeavingRow) OnLeavingRow(this, R);
}
void TCtlCustomTable::DoRowsChanged(int32_t R1, int32_t R2, TCtlTblActions Action) {
    if (!Quiet() && OnRowsChanged) OnRowsChanged(this, R1, R2, Action);
}
void TCtlCustomTable::DoSizeCellEditor(int32_t R, int32_t C, TRect& Rect, TCtlTblEditorStyle& Style) {
    if (OnSizeCellEditor) OnSizeCellEditor(this, R, C, Rect, Style);
}
void TCtlCustomTable::DoUserCommand(uint16_t Command) {
    if (!Quiet() && OnUserCommand) OnUserCommand(this, Command);
}
void TCtlCustomTable::DoGetCellAttributes(int32_t R, int32_t C, TCtlCellAttributes& Attr) {
    if (!Quiet() && OnGetCellAttributes) OnGetCellAttributes(this, R, C, Attr);
}
void TCtlCustomTable::DoLockedCellClick(int32_t R, int32_t C) {
    if (!Quiet() && OnLockedCellClick) OnLockedCellClick(this, R, C);
}
void TCtlCustomTable::DoTopLeftCellChanged(int32_t R, int32_t C) {
    if (!Quiet() && OnTopLeftCellChanged) OnTopLeftCellChanged(this, R, C);
}
void TCtlCustomTable::DoTopLeftCellChanging(int32_t& R, int32_t& C) {
    if (!Quiet() && OnTopLeftCellChanging) OnTopLeftCellChanging(this, R, C);
}
void TCtlCustomTable::DoPaintUnusedArea() {
    if (Quiet()) return;
    if (OnPaintUnusedArea) {
        OnPaintUnusedArea(this);
        return;
    }
    TCanvas& Cv = Canvas();
    Cv.Brush.Color = FColorUnused;
    const TRect Right = Rect(FColMap.Extent, 0, ClientW(), ClientH());
    const TRect Below = Rect(0, FRowMap.Extent, FColMap.Extent, ClientH());
    if (Right.Width() > 0) Cv.FillRect(Right);
    if (Below.Height() > 0 && Below.Width() > 0) Cv.FillRect(Below);
}

// ---- Window ----

void TCtlCustomTable::CreateParams(TCreateParams& Params) {
    TCtlTableAncestor::CreateParams(Params);
    if (FScrollBars == ssHorizontal || FScrollBars == ssBoth) Params.Style |= WS_HSCROLL;
    if (FScrollBars == ssVertical || FScrollBars == ssBoth) Params.Style |= WS_VSCROLL;
    if (FBorderStyle == bsSingle) {
        if (Ctl3D())
            Params.ExStyle |= WS_EX_CLIENTEDGE;
        else
            Params.Style |= WS_BORDER;
    }
}

void TCtlCustomTable::CreateWnd() {
    TCtlTableAncestor::CreateWnd();
    PostMessage(Handle(), TM_RESOLVEREFS, 0, 0);
    FUpdateCount = 0;
    FHasHorz = FScrollBars == ssHorizontal || FScrollBars == ssBoth;
    FHasVert = FScrollBars == ssVertical || FScrollBars == ssBoth;
    ComputeMaxLeftCol();
    ComputeMaxTopRow();
    FLeftCol = AdjustCol(FLeftCol, 0);
    FTopRow = AdjustRow(FTopRow, 0);
    FActiveCol = AdjustCol(FActiveCol, 0);
    FActiveRow = AdjustRow(FActiveRow, 0);
    FColMap = BuildColMap(FLeftCol);
    FRowMap = BuildRowMap(FTopRow);
    RefreshHorzScroll();
    RefreshVertScroll();
    DoTopLeftCellChanged(FTopRow, FLeftCol);
    DoActiveCellChanged(FActiveRow, FActiveCol);
}

void TCtlCustomTable::DefineProperties(TFiler* Filer) {
    TCtlTableAncestor::DefineProperties(Filer);
    Filer->DefineProperty(
        "RowData", [this](TReader* R) { FRows->ReadData(R); }, [this](TWriter* W) { FRows->WriteData(W); },
        true);
    Filer->DefineProperty(
        "ColData", [this](TReader* R) { FColumns->ReadData(R); },
        [this](TWriter* W) { FColumns->WriteData(W); }, true);
}

void TCtlCustomTable::Notification(TComponent* AComponent, TOperation Operation) {
    TCtlTableAncestor::Notification(AComponent, Operation);
    if (Operation != opRemove || FDestroying || !FColumns) return;
    if (auto* Cell = dynamic_cast<TCtlBaseTableCell*>(AComponent)) {
        BeginUpdate();
        if (Cell == FLockedRowsCell) {
            FLockedRowsCell = nullptr;
            CellChanged(nullptr);
        }
        FColumns->CellRemoved(Cell);
        EndUpdate();
    }
}

bool TCtlCustomTable::DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos) {
    TCtlTableAncestor::DoMouseWheel(Shift, WheelDelta, MousePos);
    if (Shift & ssCtrl)
        MoveActiveCell(WheelDelta <= 0 ? entry::ccNextPage : entry::ccPrevPage);
    else
        MoveActiveCell(WheelDelta < 0 ? entry::ccDown : entry::ccUp);
    return true;
}

void TCtlCustomTable::HScroll(TMessage& M) {
    const int Code = M.WParamLo();
    if (Code == SB_ENDSCROLL || (Code == SB_THUMBTRACK && !HasOption(otoThumbTrack))) {
        TCtlTableAncestor::WndProc(M);
        return;
    }
    if (Code <= SB_PAGERIGHT) {
        ScrollTable(true, Code == SB_LINELEFT ? 0 : Code == SB_LINERIGHT ? 1 : Code == SB_PAGELEFT ? 2 : 3);
    } else if (Code == SB_THUMBPOSITION || Code == SB_THUMBTRACK) {
        int32_t C = AdjustCol(FLockedCols, 0);
        for (int I = 0; I < static_cast<int16_t>(M.WParamHi()); ++I) C = AdjustCol(C, 1);
        SetLeftCol(C);
    }
    M.Result = 0;
}

void TCtlCustomTable::VScroll(TMessage& M) {
    const int Code = M.WParamLo();
    if (FInVScroll) return;
    if (Code == SB_ENDSCROLL || (Code == SB_THUMBTRACK && !HasOption(otoThumbTrack))) {
        TCtlTableAncestor::WndProc(M);
        return;
    }
    FInVScroll = true;
    struct Done {
        bool& Flag;
        ~Done() { Flag = false; }
    } Guard{FInVScroll};
    if (Code <= SB_PAGEDOWN) {
        ScrollTable(false, Code == SB_LINEUP ? 0 : Code == SB_LINEDOWN ? 1 : Code == SB_PAGEUP ? 2 : 3);
    } else if (Code == SB_THUMBPOSITION || Code == SB_THUMBTRACK) {
        TScrollInfo Info;
        Info.fMask = SIF_ALL;
        GetScrollInfo(Handle(), SB_VERT, Info);
        const int32_t P = Code == SB_THUMBTRACK ? Info.nTrackPos : static_cast<int16_t>(M.WParamHi());
        if (P == FTopRow) return;
        if (RowLimit() < LargeRowCount) {
            SetTopRow(P);
        } else if (P == FLockedRows) {
            SetTopRow(FLockedRows);
        } else {
            const int32_t D3 = RowLimit() == LargeRowCount ? RowLimit() / 64 + 1 : RowLimit() / 1024 + 1;
            SetTopRow(P == RowLimit() / D3 ? RowLimit() - 1 : D3 * P);
        }
    }
    M.Result = 0;
}

// ---- Editing ----

bool TCtlCustomTable::OpenEditor() {
    if (FEditingCell) return true;
    bool AllowIt = true;
    DoBeginEdit(FActiveRow, FActiveCol, AllowIt);
    if (!AllowIt) return false;
    BeginUpdate();
    MakeRowVisible(FActiveRow);
    MakeColumnVisible(FActiveCol);
    TCtlBaseTableCell* Cell = GetCellComponent(FActiveRow, FActiveCol);
    TRect R;
    if (Cell && GetActiveCellRect(R)) {
        FScratchFont.Assign(Font());
        TCtlCellAttributes Attr;
        Attr.Font = &FScratchFont;
        Cell->ResolveAttributes(FActiveRow, FActiveCol, Attr);
        if (Attr.Access == otxNormal) {
            TCtlTblEditorStyle Style = tesNormal;
            DoSizeCellEditor(FActiveRow, FActiveCol, R, Style);
            DoEnteringColumn(FActiveCol);
            DoEnteringRow(FActiveRow);
            TCtlCellValue Data;
            DoGetCellData(FActiveRow, FActiveCol, Data, cdpForEdit);
            Attr.Color = FColors->Color(TCtlTableColors::Editing);
            Attr.FontColor = FColors->Color(TCtlTableColors::EditingText);
            FEditingCell = Cell;
            FEditorHidden = true;
            Cell->StartEditing(FActiveRow, FActiveCol, R, Attr, Style,
                               Data.Kind == TCtlCellValue::cvNone ? nullptr : &Data);
            if (!Cell->EditHandle()) {
                FEditingCell = nullptr;
                FEditorHidden = false;
            }
        }
    }
    EndUpdate();
    return FEditingCell != nullptr;
}

bool TCtlCustomTable::CloseEditor(bool SaveValue) {
    if (!FEditingCell) return true;
    TCtlBaseTableCell* Cell = FEditingCell;
    if (!Cell->CanStopEditing(SaveValue)) return false;
    bool AllowIt = true;
    DoEndEdit(Cell, FActiveRow, FActiveCol, AllowIt);
    if (!AllowIt) return false;
    TWinControl* E = Cell->EditControl();
    const bool FocusInside = Focused() || (E && E->Focused());
    BeginUpdate();
    DoEnteringColumn(FActiveCol);
    DoEnteringRow(FActiveRow);
    TCtlCellValue Data;
    InvalidateCell(FActiveRow, FActiveCol);
    FEditingCell = nullptr;
    FEditorHidden = false;
    Cell->StopEditing(SaveValue, &Data);
    // The owner takes the edited value: for saving, the event receives it filled in.
    if (SaveValue && Data.Kind != TCtlCellValue::cvNone && OnGetCellData && !Quiet())
        OnGetCellData(this, FActiveRow, FActiveCol, Data, cdpForSave);
    DoDoneEdit(FActiveRow, FActiveCol);
    EndUpdate();
    if (FocusInside && HandleAllocated() && CanFocus()) SetFocus();
    return true;
}

// ---- Keys ----

uint16_t TCtlCustomTable::TranslateKey(TMessage& M) {
    entry::TCtlController* Ctl = Controller() ? Controller() : entry::CtlGetDefaultController();
    TMessage Copy = M;
    return Ctl->EntryCommands().TranslateUsing({entry::CtlGetMessage(SCtlGridCommands)}, Copy);
}

void TCtlCustomTable::KeyDownMessage(TMessage& M) {
    using namespace entry;
    const uint16_t Key = M.WParamLo();
    const TShiftState Shift = KeyDataToShiftState(static_cast<uint32_t>(M.LParam));
    uint16_t Cmd = ccNone;
    if (Key == VK_TAB && HasOption(otoTabToArrow))
        Cmd = Shift == 0 ? ccRight : Shift == ssShift ? ccLeft : ccNone;
    else if (Key == VK_RETURN && HasOption(otoEnterToArrow))
        Cmd = Shift == 0 ? ccRight : ccNone;
    else
        Cmd = TranslateKey(M);
    if (FEditingCell && !HasOption(otoAlwaysEditing) && (Cmd == ccTableEdit || Key == VK_ESCAPE)) {
        // A refusing editor keeps the key; the key-down event has already been fired once.
        CloseEditor(Key != VK_ESCAPE);
        return;
    }
    if (!FEditingCell) {
        const bool Typing = Key == VK_SPACE || (Key >= 48 && Key <= 111) || Key > 185;
        if (Cmd == ccTableEdit) {
            PostMessage(Handle(), TM_STARTEDIT, 0, 0);
        } else if (Cmd >= 76 && Cmd <= 255 && Typing) {
            PostMessage(Handle(), TM_STARTEDIT, 0, 0);
            FHoldChars = true;
            PostMessage(Handle(), TM_FORWARDKEY, Key, M.LParam);
        }
    }
    FExtend = false;
    static const std::pair<uint16_t, uint16_t> Extends[] = {
        {ccExtendDown, ccDown},        {ccExtendEnd, ccEnd},        {ccExtendHome, ccHome},
        {ccExtendLeft, ccLeft},        {ccExtendPgDn, ccNextPage},  {ccExtendPgUp, ccPrevPage},
        {ccExtendRight, ccRight},      {ccExtendUp, ccUp},          {ccExtBotOfPage, ccBotOfPage},
        {ccExtFirstPage, ccFirstPage}, {ccExtLastPage, ccLastPage}, {ccExtTopOfPage, ccTopOfPage}};
    for (auto [Extend, Plain] : Extends)
        if (Cmd == Extend) {
            FExtend = !HasOption(otoNoSelection);
            Cmd = Plain;
        }
    if (Cmd == ccCopy)
        DoClipboardCopy();
    else if (Cmd == ccCut)
        DoClipboardCut();
    else if (Cmd == ccPaste)
        DoClipboardPaste();
    else if (Cmd >= 256)
        DoUserCommand(Cmd);
    else
        MoveActiveCell(Cmd);
    FExtend = false;
}

// ---- Mouse ----

int32_t TCtlCustomTable::LockedColsEdge() const {
    int32_t Edge = -1;
    for (int32_t I = 0; I < FColMap.Count() && FColMap.Numbers[size_t(I)] < FLockedCols; ++I)
        Edge = FColMap.End(I);
    return Edge;
}

int32_t TCtlCustomTable::LockedRowsEdge() const {
    int32_t Edge = -1;
    for (int32_t I = 0; I < FRowMap.Count() && FRowMap.Numbers[size_t(I)] < FLockedRows; ++I)
        Edge = FRowMap.End(I);
    return Edge;
}

int32_t TCtlCustomTable::BoundaryAt(int X, int Y, bool& Rows) const {
    const int32_t LE = LockedColsEdge(), TE = LockedRowsEdge();
    Rows = X < LE;
    if (X >= LE && Y >= TE) return -1;
    const TCtlTableMap& Map = Rows ? FRowMap : FColMap;
    const int V = Rows ? Y : X;
    for (int32_t I = 0; I < Map.Count(); ++I)
        if (std::abs(Map.End(I) - V) <= 2) return Map.Numbers[size_t(I)];
    return -1;
}

int32_t TCtlCustomTable::MoveAreaAt(int X, int Y, bool& Rows) const {
    const int32_t LE = LockedColsEdge(), TE = LockedRowsEdge();
    int32_t R, C;
    HitTest(X, Y, R, C);
    if (X >= LE && Y < TE && X < FColMap.Extent && C >= FLockedCols) {
        Rows = false;
        return C;
    }
    if (X < LE && Y >= TE && Y < FRowMap.Extent && R >= FLockedRows) {
        Rows = true;
        return R;
    }
    return -1;
}

int32_t TCtlCustomTable::SizingStart() const {
    const TCtlTableMap& Map = FMouseOnRows ? FRowMap : FColMap;
    const int32_t I = Map.IndexOf(FSizingItem);
    return I < 0 ? 0 : Map.Offsets[size_t(I)];
}

void TCtlCustomTable::DrawSizingLine() {
    if (FMouseOnRows)
        CtlDrawXorRowLine(Canvas(), FSizingPos, ClientW(), psDot, 1, clBlack);
    else
        CtlDrawXorColumnLine(Canvas(), FSizingPos, ClientH(), psDot, 1, clBlack);
}

void TCtlCustomTable::DrawMoveMarker() {
    const TCtlTableMap& Map = FMouseOnRows ? FRowMap : FColMap;
    if (FMoveTo < 0 || FMoveTo >= Map.Count()) return;
    const bool ImageShown = FDragShow && FDragShow->Shown();
    if (ImageShown) FDragShow->Hide();
    const int At = FMoveFrom < FMoveTo ? Map.End(FMoveTo) : Map.Offsets[size_t(FMoveTo)];
    if (FMouseOnRows)
        CtlDrawXorRowLine(Canvas(), At, ClientW(), psSolid, 3, clWhite);
    else
        CtlDrawXorColumnLine(Canvas(), At, ClientH(), psSolid, 3, clWhite);
    if (ImageShown) FDragShow->Show();
}

// The heading of the dragged row or column: for a column the cell of the first row on screen (row 0
// unless it is hidden), for a row that of the first column.
void TCtlCustomTable::StartDragImage(int X, int Y, int32_t Item) {
    const TCtlTableMap& Along = FMouseOnRows ? FRowMap : FColMap;
    const TCtlTableMap& Across = FMouseOnRows ? FColMap : FRowMap;
    const int32_t I = Along.IndexOf(Item);
    if (I < 0 || Across.Count() == 0) return;
    const int32_t Start = Along.Offsets[size_t(I)];
    const int32_t End = std::min(Along.End(I), FMouseOnRows ? ClientH() : ClientW());
    const int32_t From = Across.Offsets[0], To = Across.End(0);
    const TRect Area = FMouseOnRows ? Rect(From, Start, To, End) : Rect(Start, From, End, To);
    if (Area.Width() <= 0 || Area.Height() <= 0) return;
    FDragShow = std::make_unique<TCtlDragShow>(Handle(), X, Y, Area, clBtnFace);
}

void TCtlCustomTable::LeftButtonDown(TMessage& M) {
    const int X = GetXLParam(M.LParam), Y = GetYLParam(M.LParam);
    const TShiftState Shift = KeysToShiftState(static_cast<uint16_t>(M.WParam));
    const bool Focusing = !Focused();
    if (Focusing && CanFocus()) SetFocus();
    if (FMouse == msReadyToResize) {
        FMouse = msResizing;
        const int V = FMouseOnRows ? Y : X;
        if (V >= SizingStart() + 6) FSizingPos = V;
        DrawSizingLine();
        return;
    }
    if (FMouse == msReadyToMove) {
        bool Rows = false;
        const int32_t Item = MoveAreaAt(X, Y, Rows);
        if (Item < 0 || Rows != FMouseOnRows) {
            FMouse = msIdle;
            return;
        }
        FMouse = msMoving;
        StartDragImage(X, Y, Item);
        FMoveFrom = FMoveTo = (Rows ? FRowMap : FColMap).IndexOf(Item);
        DrawMoveMarker();
        return;
    }
    if (!Focused()) return;
    int32_t R, C;
    const uint8_t Code = HitTest(X, Y, R, C);
    if (Code == 0) {
        if (FEditingCell)
            if (TWinControl* E = FEditingCell->EditControl(); E && E->CanFocus()) E->SetFocus();
        BeginUpdate();
        DoActiveCellMoving(250, R, C);
        const bool OnActive = R == FActiveRow && C == FActiveCol;
        if (!HasOption(otoAlwaysEditing) && OnActive && !Focusing && !FEditingCell) {
            PostMessage(Handle(), TM_STARTEDIT, 0, 0);
            PostMessage(Handle(), TM_FORWARDCLICK, M.WParam, M.LParam);
        }
        if (!(Shift & ssShift) || HasOption(otoNoSelection)) {
            SetSelectionAnchor(R, C, (Shift & ssCtrl) && !HasOption(otoNoSelection));
        } else {
            ExtendSelection(R, C, Shift & ssCtrl);
        }
        const bool Extend = FExtend;
        FExtend = false;
        MoveTo(R, C);
        FExtend = Extend;
        EndUpdate();
        const bool StartsEditing = !HasOption(otoAlwaysEditing) && OnActive && !Focusing && !FEditingCell;
        if (HasOption(otoMouseDragSelect) && !HasOption(otoNoSelection) && !StartsEditing)
            FMouse = msDragSelecting;
    } else if (Code == 1) {
        if (!CloseEditor(true)) return;
        DoLockedCellClick(R, C);
    }
}

void TCtlCustomTable::MouseMoved(TMessage& M) {
    const int X = GetXLParam(M.LParam), Y = GetYLParam(M.LParam);
    switch (FMouse) {
        case msResizing: {
            DrawSizingLine();
            const int V = FMouseOnRows ? Y : X;
            if (V >= SizingStart() + 6) FSizingPos = V;
            DrawSizingLine();
            return;
        }
        case msDragSelecting: {
            int32_t R, C;
            HitTest(X, Y, R, C);
            // Beyond an edge the selection goes one row or column further on each move.
            if (R >= 0 && R < FLockedRows) R = AdjustRow(FActiveRow, -1);
            if (C >= 0 && C < FLockedCols) C = AdjustCol(FActiveCol, -1);
            if (R == -2) R = AdjustRow(FActiveRow, -1);
            if (R == -1) R = std::min(RowLimit() - 1, FRowMap.Last() + 1);
            if (C == -2) C = AdjustCol(FActiveCol, -1);
            if (C == -1) C = std::min(ColCount() - 1, FColMap.Last() + 1);
            DoActiveCellMoving(250, R, C);
            if (AdjustRow(R, 0) == FActiveRow && AdjustCol(C, 0) == FActiveCol) return;
            const TShiftState Shift = KeysToShiftState(static_cast<uint16_t>(M.WParam));
            BeginUpdate();
            ExtendSelection(R, C, Shift & ssCtrl);
            FExtend = true;
            MoveTo(R, C);
            FExtend = false;
            EndUpdate();
            return;
        }
        case msMoving: {
            if (FDragShow) FDragShow->Move(X, Y);
            int32_t R, C;
            HitTest(X, Y, R, C);
            const int32_t Index = FMouseOnRows ? FRowMap.IndexOf(R) : FColMap.IndexOf(C);
            if ((FMouseOnRows ? R < FLockedRows : C < FLockedCols) || Index < 0 || Index == FMoveTo) return;
            DrawMoveMarker();
            FMoveTo = Index;
            DrawMoveMarker();
            return;
        }
        default:
            break;
    }
    // Ready states and the pointer shown over the headings.
    const bool Designing = ComponentState() & csDesigning;
    if (FEditingCell || (!Focused() && !Designing)) return;
    bool Rows = false;
    const int32_t Boundary = BoundaryAt(X, Y, Rows);
    const bool MayResize = Designing || !HasOption(Rows ? otoNoRowResizing : otoNoColResizing);
    int32_t Moved = -1;
    if ((Boundary < 0 || !MayResize) &&
        (HasOption(otoAllowColMoves) || HasOption(otoAllowRowMoves) || Designing)) {
        Moved = MoveAreaAt(X, Y, Rows);
        if (!Designing && !HasOption(Rows ? otoAllowRowMoves : otoAllowColMoves)) Moved = -1;
    }
    if (Boundary >= 0 && MayResize) {
        FMouse = msReadyToResize;
        FMouseOnRows = Rows;
        FSizingItem = Boundary;
        FSizingPos = Rows ? Y : X;
        SetCursor(Rows ? crVSplit : crHSplit);
    } else if (Moved >= 0) {
        FMouse = msReadyToMove;
        FMouseOnRows = Rows;
        SetCursor(Rows ? crCtlRowMove : crCtlColumnMove);
    } else {
        FMouse = msIdle;
        SetCursor(crDefault);
    }
}

void TCtlCustomTable::LeftButtonUp(TMessage&) {
    FDragShow.reset();
    if (FMouse == msDragSelecting) {
        FMouse = msIdle;
    } else if (FMouse == msResizing) {
        FinishResize();
    } else if (FMouse == msMoving) {
        FinishMove();
    }
}

void TCtlCustomTable::FinishResize() {
    DrawSizingLine();
    FMouse = msIdle;
    BeginUpdate();
    const int32_t Start = SizingStart();
    const int32_t Size = std::max(FSizingPos, Start + 6) - Start;
    if (FMouseOnRows) {
        FRows->SetHeight(FSizingItem, Size);
        if (OnResizeRow) OnResizeRow(this, FSizingItem, Size);
    } else {
        FColumns->Items(FSizingItem)->SetWidth(Size);
        if (OnResizeColumn) OnResizeColumn(this, FSizingItem, Size);
    }
    InvalidateTable();
    EndUpdate();
}

// The dragged row or column travels to its new place by exchanges of neighbours, and the active
// row or column goes with the rows or columns it sat on.
void TCtlCustomTable::FinishMove() {
    DrawMoveMarker();
    FMouse = msIdle;
    if (FMoveFrom == FMoveTo) return;
    const TCtlTableMap& Map = FMouseOnRows ? FRowMap : FColMap;
    const int32_t A = Map.Numbers[size_t(FMoveFrom)], B = Map.Numbers[size_t(FMoveTo)];
    auto Exchange = [&](int32_t I) {
        if (FMouseOnRows)
            FRows->Exchange(I, I + 1);
        else
            FColumns->Exchange(I, I + 1);
    };
    BeginUpdate();
    if (B < A)
        for (int32_t I = A - 1; I >= B; --I) Exchange(I);
    else
        for (int32_t I = A; I < B; ++I) Exchange(I);
    int32_t& Active = FMouseOnRows ? FActiveRow : FActiveCol;
    auto Adjust = [&](int32_t V, int D) { return FMouseOnRows ? AdjustRow(V, D) : AdjustCol(V, D); };
    if (Active == A)
        Active = B;
    else if (A < B && A < Active && Active <= B)
        Active = Adjust(Active, -1);
    else if (B < A && B <= Active && Active < A)
        Active = Adjust(Active, 1);
    InvalidateTable();
    EndUpdate();
}

void TCtlCustomTable::WndProc(TMessage& M) {
    switch (M.Msg) {
        case WM_ERASEBKGND:
            M.Result = 1;
            return;
        case WM_GETDLGCODE:
            M.Result = DLGC_WANTARROWS | DLGC_WANTCHARS;
            if (HasOption(otoTabToArrow)) M.Result |= DLGC_WANTTAB;
            return;
        case WM_HSCROLL:
            if (!Focused() && CanFocus()) SetFocus();
            HScroll(M);
            return;
        case WM_VSCROLL:
            if (!Focused() && CanFocus()) SetFocus();
            VScroll(M);
            return;
        case WM_KEYDOWN:
            TCtlTableAncestor::WndProc(M);
            if (M.WParamLo() != 0) KeyDownMessage(M);
            return;
        case WM_CHAR:
            if (FHoldChars) {
                FHeldChars.push_back(M);
                return;
            }
            TCtlTableAncestor::WndProc(M);
            return;
        case WM_LBUTTONDOWN:
            TCtlTableAncestor::WndProc(M);
            LeftButtonDown(M);
            return;
        case WM_LBUTTONDBLCLK: {
            TCtlTableAncestor::WndProc(M);
            int32_t R, C;
            if (!(ComponentState() & csDesigning) &&
                HitTest(GetXLParam(M.LParam), GetYLParam(M.LParam), R, C) == 0) {
                PostMessage(Handle(), TM_STARTEDIT, 0, 0);
                PostMessage(Handle(), TM_FORWARDCLICK, M.WParam, M.LParam);
            }
            return;
        }
        case WM_MOUSEMOVE:
            TCtlTableAncestor::WndProc(M);
            MouseMoved(M);
            return;
        case WM_LBUTTONUP:
            TCtlTableAncestor::WndProc(M);
            LeftButtonUp(M);
            return;
        case TM_STARTEDIT:
            if (!OpenEditor()) {
                BeginUpdate();
                InvalidateCell(FActiveRow, FActiveCol);
                EndUpdate();
            }
            M.Result = 1;
            return;
        case TM_FORWARDCLICK:
            // The click reaches the editor at the same place on the screen, in its own coordinates.
            if (FEditingCell && FEditingCell->EditHandle() && FEditingCell->AcceptActivationClick()) {
                TWinControl* E = FEditingCell->EditControl();
                E->SetFocus();
                PostMessage(E->Handle(), WM_LBUTTONDOWN, M.WParam,
                            MakeLParam(GetXLParam(M.LParam) - E->Left(), GetYLParam(M.LParam) - E->Top()));
            }
            M.Result = 1;
            return;
        case TM_FORWARDKEY:
            // The key reaches the editor, followed by the characters it made, which came to the grid
            // while the editor opened.
            if (FEditingCell && FEditingCell->EditHandle()) {
                const HWND E = FEditingCell->EditHandle();
                framework::SetFocus(E);
                PostMessage(E, WM_KEYDOWN, M.WParam & 0xFFFF, M.LParam);
                for (const TMessage& C : FHeldChars) PostMessage(E, C.Msg, C.WParam, C.LParam);
            }
            FHeldChars.clear();
            FHoldChars = false;
            M.Result = 1;
            return;
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            TCtlTableAncestor::WndProc(M);
            if (M.Msg == WM_KILLFOCUS && FEditingCell && !FEditorHidden) return;  // the editor has it
            BeginUpdate();
            FFocused = M.Msg == WM_SETFOCUS;
            if (HasOption(otoBrowseRow)) InvalidateRow(FActiveRow);
            EndUpdate();
            return;
        case TM_QUERYOPTIONS:
            M.Result = FOptions;
            return;
        case TM_QUERYCOLOR:
            M.Result = static_cast<LRESULT>(Color());
            return;
        case TM_QUERYFONT:
            M.Result = reinterpret_cast<LRESULT>(&Font());
            return;
        case TM_QUERYLOCKEDCOLS:
            M.Result = FLockedCols;
            return;
        case TM_QUERYLOCKEDROWS:
            M.Result = FLockedRows;
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
        case TM_RESOLVEREFS:
            BeginUpdate();
            ResolveCellReferences();
            FColumns->ResolvePendingNames();
            if (Cells().empty()) {
                if (FLockedRowsCell) RegisterCell(FLockedRowsCell);
                for (int32_t C = 0; C < ColCount(); ++C)
                    if (auto* Cell = FColumns->DefaultCell(C)) RegisterCell(Cell);
            }
            InvalidateTable();
            EndUpdate();
            return;
        case CM_COLORCHANGED:
        case CM_FONTCHANGED:
            TCtlTableAncestor::WndProc(M);
            BeginUpdate();
            NotifyCellsTableChanged();
            InvalidateTable();
            EndUpdate();
            return;
        default:
            TCtlTableAncestor::WndProc(M);
    }
}

}  // namespace grid
