#include "framework/stdctrls/ListView.h"

#include <algorithm>
#include <numeric>

#include "framework/core/Seams.h"
#include "framework/core/SysUtils.h"
#include "framework/stdctrls/ComCtrls.h"
#include "framework/stdctrls/HeaderControl.h"
#include "framework/stdctrls/ScrollCode.h"
#include "framework/ui/Hints.h"

namespace framework {

namespace {
[[noreturn]] void IndexError(int Index) {
    throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
}

// Sizes of the icon views' cells (pixels): the label under a large icon wraps to two lines; a
// small icon's label is cut at this width.
constexpr int kIconCellWidth = 76;
constexpr int kSmallLabelWidth = 100;
constexpr int kListColumnWidth = 150;  // the list style's column width for owner-data views

// Text cut to Width with "..." (as the platform's views show a label that does not fit).
std::string Ellipsize(TCanvas& C, const std::string& S, int Width) {
    if (C.TextWidth(S) <= Width) return S;
    std::string cut = S;
    while (!cut.empty() && C.TextWidth(cut + "...") > Width) cut.pop_back();
    return cut + "...";
}
}  // namespace

// ---------------------------------------------------------------------------------------------
// TListColumn, TListColumns

void TListColumn::SetCaption(const std::string& Value) {
    FCaption = Value;
    FOwner->ColumnsChanged();
}

void TListColumn::SetWidth(int Value) {
    FWidth = std::clamp(Value, MinWidth, std::max(MinWidth, MaxWidth));
    FOwner->ColumnsChanged();
}

void TListColumn::SetAlignment(TAlignment Value) {
    FAlignment = Value;
    FOwner->ColumnsChanged();
}

int TListColumn::Index() const {
    return FOwner->Columns().IndexOf(this);
}

TListColumn* TListColumns::Items(int Index) const {
    if (Index < 0 || Index >= Count()) IndexError(Index);
    return FItems[static_cast<size_t>(Index)].get();
}

TListColumn* TListColumns::Add() {
    FItems.push_back(std::make_unique<TListColumn>(FOwner));
    FOwner->ColumnsChanged();
    return FItems.back().get();
}

void TListColumns::Delete(int Index) {
    Items(Index);
    FItems.erase(FItems.begin() + Index);
    FOwner->ColumnsChanged();
}

void TListColumns::Clear() {
    FItems.clear();
    FOwner->ColumnsChanged();
}

int TListColumns::IndexOf(const TListColumn* Column) const {
    for (int i = 0; i < Count(); ++i)
        if (FItems[static_cast<size_t>(i)].get() == Column) return i;
    return -1;
}

// ---------------------------------------------------------------------------------------------
// TListItem, TListViewItems

TListItem::TListItem(TCustomListView* AOwner) : FOwner(AOwner) {}

bool TListItem::Selected() const {
    return FOwner->IsSelected(FIndex);
}

void TListItem::SetSelected(bool Value) {
    FOwner->SetItemSelected(FIndex, Value);
}

bool TListItem::Focused() const {
    return FIndex >= 0 && FOwner->FFocused == FIndex;
}

void TListItem::SetFocused(bool Value) {
    if (Value)
        FOwner->SetItemFocused(this);
    else if (Focused())
        FOwner->SetItemFocused(nullptr);
}

void TListItem::Delete() {
    FOwner->Items().Delete(FIndex);
}

void TListItem::MakeVisible(bool PartialOK) {
    (void)PartialOK;
    FOwner->MakeVisible(FIndex);
}

TRect TListItem::DisplayRect(bool LabelOnly) const {
    return FOwner->ItemRect(FIndex, LabelOnly);
}

bool TListItem::EditCaption() {
    TCustomListView* lv = FOwner;
    int index = FIndex;
    if (lv->ReadOnly || index < 0 || !lv->CanEdit(this)) return false;
    lv->MakeVisible(index);
    TListItem* item = lv->Fetch(index);
    TRect r = lv->ItemRect(index, true);
    r.Right = std::min(std::max(r.Right + 24, r.Left + 60), std::max(r.Left + 20, lv->ClientWidth()));
    if (lv->FViewStyle == vsIcon) r.Bottom = r.Top + std::max(16, -lv->Font().Height() + 8);
    lv->FEditing = index;
    if (!lv->FEditor) lv->FEditor = NewComponent<TLabelEdit>(lv);
    lv->FEditor->Font().Assign(lv->Font());
    lv->FEditor->Start(lv, r, item->Caption, [lv](bool Cancel) { lv->FinishEdit(Cancel); });
    return true;
}

void TListItem::CancelEdit() {
    if (FOwner->FEditing == FIndex && FOwner->FEditor) FOwner->FEditor->Finish(true);
}

void TListItem::Update() {
    FOwner->Invalidate();
}

int TListViewItems::Count() const {
    return FOwner->FOwnerData ? FOwner->FCount : static_cast<int>(FItems.size());
}

void TListViewItems::SetCount(int Value) {
    if (!FOwner->FOwnerData) return;
    FOwner->FCount = std::max(0, Value);
    FOwner->CountChanged();
}

TListItem* TListViewItems::Item(int Index) const {
    if (Index < 0 || Index >= Count()) IndexError(Index);
    return FOwner->Fetch(Index);
}

TListItem* TListViewItems::Add() {
    return Insert(Count());
}

TListItem* TListViewItems::Insert(int Index) {
    if (FOwner->FOwnerData) throw EListError("An owner-data list view holds no items");
    Index = std::clamp(Index, 0, Count());
    FItems.insert(FItems.begin() + Index, std::make_unique<TListItem>(FOwner));
    FOwner->FSel.insert(FOwner->FSel.begin() + Index, 0);
    for (int i = Index; i < Count(); ++i) FItems[static_cast<size_t>(i)]->FIndex = i;
    if (FOwner->FFocused >= Index) ++FOwner->FFocused;
    if (FOwner->FAnchor >= Index) ++FOwner->FAnchor;
    FOwner->CountChanged();
    return FItems[static_cast<size_t>(Index)].get();
}

void TListViewItems::Delete(int Index) {
    if (FOwner->FOwnerData) throw EListError("An owner-data list view holds no items");
    if (Index < 0 || Index >= Count()) IndexError(Index);
    TCustomListView* lv = FOwner;
    if (lv->FEditing == Index && lv->FEditor) lv->FEditor->Finish(true);
    lv->Delete(FItems[static_cast<size_t>(Index)].get());
    if (lv->FSel[static_cast<size_t>(Index)]) --lv->FSelCount;
    lv->FSel.erase(lv->FSel.begin() + Index);
    FItems.erase(FItems.begin() + Index);
    for (int i = Index; i < Count(); ++i) FItems[static_cast<size_t>(i)]->FIndex = i;
    auto shift = [&](int& i) {
        if (i > Index)
            --i;
        else if (i == Index)
            i = std::min(Index, Count() - 1);
    };
    shift(lv->FFocused);
    shift(lv->FAnchor);
    if (lv->FHot >= Count()) lv->FHot = -1;
    if (lv->FDropTarget >= Count()) lv->FDropTarget = -1;
    lv->FDragIndex = lv->FTipIndex = -1;
    lv->CountChanged();
}

void TListViewItems::Clear() {
    TCustomListView* lv = FOwner;
    if (lv->FEditor) lv->FEditor->Finish(true);
    if (lv->FOwnerData) {
        SetCount(0);
        return;
    }
    for (auto& item : FItems) lv->Delete(item.get());
    FItems.clear();
    lv->FSel.clear();
    lv->FSelCount = 0;
    lv->FFocused = lv->FAnchor = lv->FHot = lv->FDragIndex = lv->FTipIndex = -1;
    lv->FTopLine = 0;
    lv->CountChanged();
}

int TListViewItems::IndexOf(const TListItem* Item) const {
    return Item && Item->FOwner == FOwner ? Item->FIndex : -1;
}

void TListViewItems::BeginUpdate() {
    ++FUpdateCount;
}

void TListViewItems::EndUpdate() {
    if (FUpdateCount > 0 && --FUpdateCount == 0) FOwner->CountChanged();
}

// ---------------------------------------------------------------------------------------------
// TCustomListView

TCustomListView::TCustomListView(TComponent* AOwner)
    : TCustomControl(AOwner),
      FItems(std::make_unique<TListViewItems>(this)),
      FColumns(std::make_unique<TListColumns>(this)),
      FScratch(std::make_unique<TListItem>(this)) {
    FWidth = 250;
    FHeight = 150;
    FTabStop = true;
    FColor = clWindow;
    ControlStyle |= csDoubleClicks;
    FHeader = NewComponent<THeaderControl>(this);
    FHeader->SetVisible(false);
    FHeader->SetParent(this);
    FHeader->OnSectionClick = [this](TObject*, THeaderSection* S) { HeaderSectionClick(S); };
    FHeader->OnSectionTrack = [this](TObject*, THeaderSection* S, int Width, TSectionTrackState) {
        if (S->Index() < FColumns->Count()) FColumns->Items(S->Index())->FWidth = Width;
        Invalidate();
    };
    FHeader->OnSectionResize = [this](TObject*, THeaderSection* S) { HeaderSectionTrack(S); };
}

TCustomListView::~TCustomListView() {
    // An edit still open ends here, while the items exist: the editor goes only after them.
    FEditing = -1;
    if (FEditor) FEditor->Finish(true);
    OnDeletion = nullptr;
    OnSelectItem = nullptr;
    OnChange = nullptr;
}

// The window's scroll bars are set once it exists.
void TCustomListView::CreateWnd() {
    TCustomControl::CreateWnd();
    Layout();
}

void TCustomListView::CreateParams(TCreateParams& P) {
    TCustomControl::CreateParams(P);
    if (BorderStyle == bsSingle) P.ExStyle |= WS_EX_CLIENTEDGE;
}

void TCustomListView::Notification(TComponent* AComponent, TOperation Operation) {
    TCustomControl::Notification(AComponent, Operation);
    if (Operation != opRemove) return;
    if (AComponent == FLargeImages) FLargeImages = nullptr;
    if (AComponent == FSmallImages) FSmallImages = nullptr;
    if (AComponent == FEditor) FEditor = nullptr;
    if (AComponent == FHeader) FHeader = nullptr;
}

void TCustomListView::SetLargeImages(TImageList* Value) {
    SetImageListField(*this, FLargeImages, Value);
    Layout();
}

void TCustomListView::SetSmallImages(TImageList* Value) {
    SetImageListField(*this, FSmallImages, Value);
    Layout();
}

void TCustomListView::SetViewStyle(TViewStyle Value) {
    if (Value == FViewStyle) return;
    if (FEditor) FEditor->Finish(false);
    // The same items stay at the top of the view.
    int first = FTopLine * ItemsPerLine();
    FViewStyle = Value;
    FTopLine = first / ItemsPerLine();
    Layout();
}

void TCustomListView::SetOwnerData(bool Value) {
    if (Value == FOwnerData) return;
    FItems->Clear();
    FOwnerData = Value;
    FCount = 0;
    CountChanged();
}

void TCustomListView::SetMultiSelect(bool Value) {
    FMultiSelect = Value;
    if (!Value && FSelCount > 1) SelectRange(FFocused, FFocused);
}

void TCustomListView::SetShowColumnHeaders(bool Value) {
    FShowColumnHeaders = Value;
    Layout();
}

// ---- Geometry ----

int TCustomListView::RowHeight() const {
    int h = std::max(16, -FFont.Height() + 5);
    if (FSmallImages) h = std::max(h, FSmallImages->Height + 1);
    return h;
}

TSize TCustomListView::CellSize() const {
    int text = -FFont.Height() + 3;
    switch (FViewStyle) {
        case vsIcon: {
            int iw = FLargeImages ? FLargeImages->Width : 32;
            int ih = FLargeImages ? FLargeImages->Height : 32;
            return TSize{std::max(kIconCellWidth, iw + 12), ih + 8 + 2 * text + 4};
        }
        case vsSmallIcon:
            return TSize{(FSmallImages ? FSmallImages->Width : 16) + 6 + kSmallLabelWidth, RowHeight()};
        case vsList: {
            int w = kListColumnWidth;
            if (!FOwnerData && !FItems->FItems.empty()) {
                auto* self = const_cast<TCustomListView*>(this);
                self->Canvas().Font.Assign(FFont);
                int widest = 0;
                for (auto& item : FItems->FItems)
                    widest = std::max(widest, self->Canvas().TextWidth(item->Caption));
                w = std::min(300, widest + 8) + (FSmallImages ? FSmallImages->Width + 4 : 0);
            }
            return TSize{w, RowHeight()};
        }
        case vsReport:
        default: {
            int w = 0;
            for (int i = 0; i < FColumns->Count(); ++i) w += FColumns->Items(i)->Width();
            return TSize{w > 0 ? w : ClientWidth(), RowHeight()};
        }
    }
}

int TCustomListView::HeaderHeight() const {
    return FViewStyle == vsReport && FShowColumnHeaders && FHeader ? FHeader->Height() : 0;
}

int TCustomListView::ItemsPerLine() const {
    TSize cell = CellSize();
    switch (FViewStyle) {
        case vsIcon:
        case vsSmallIcon:
            return std::max(1, ClientWidth() / std::max(1, cell.cx));
        case vsList:
            return std::max(1, ClientHeight() / std::max(1, cell.cy));
        default:
            return 1;
    }
}

int TCustomListView::LinesShown() const {
    TSize cell = CellSize();
    if (FViewStyle == vsList) return std::max(1, ClientWidth() / std::max(1, cell.cx));
    return std::max(1, (ClientHeight() - HeaderHeight()) / std::max(1, cell.cy));
}

int TCustomListView::VisibleRowCount() const {
    return LinesShown() * ItemsPerLine();
}

int TCustomListView::LineCount() const {
    int per = ItemsPerLine();
    return (FItems->Count() + per - 1) / per;
}

TRect TCustomListView::ItemRect(int Index, bool LabelOnly) {
    if (Index < 0 || Index >= FItems->Count()) return TRect{};
    TSize cell = CellSize();
    int per = ItemsPerLine();
    int line = Index / per - FTopLine;
    int pos = Index % per;
    TRect r;
    switch (FViewStyle) {
        case vsIcon:
        case vsSmallIcon:
            r = Bounds(pos * cell.cx, line * cell.cy, cell.cx, cell.cy);
            break;
        case vsList:
            r = Bounds(line * cell.cx, pos * cell.cy, cell.cx, cell.cy);
            break;
        default:
            r = Bounds(-FScrollX, HeaderHeight() + line * cell.cy, cell.cx, cell.cy);
            break;
    }
    if (!LabelOnly) return r;
    Canvas().Font.Assign(FFont);
    TListItem* item = Fetch(Index);
    int tw = Canvas().TextWidth(item->Caption) + 4;
    if (FViewStyle == vsIcon) {
        int ih = FLargeImages ? FLargeImages->Height : 32;
        int w = std::min(tw, cell.cx - 2);
        int lines = tw > cell.cx - 2 ? 2 : 1;
        int top = r.Top + ih + 6;
        return Rect(r.Left + (cell.cx - w) / 2, top, r.Left + (cell.cx + w) / 2,
                    top + lines * (-FFont.Height() + 3) + 2);
    }
    int x = r.Left + 2 + (FSmallImages ? FSmallImages->Width + 2 : 0);
    int right = r.Right;
    if (FViewStyle == vsReport) {
        if (RowSelect) return Rect(x, r.Top, r.Right, r.Bottom);
        right = FColumns->Count() > 0 ? r.Left + FColumns->Items(0)->Width() : r.Right;
    }
    return Rect(x, r.Top, std::max(x, std::min(x + tw, right)), r.Bottom);
}

int TCustomListView::IndexAt(int X, int Y) const {
    auto* self = const_cast<TCustomListView*>(this);
    if (X < 0 || Y < HeaderHeight() || X >= ClientWidth() || Y >= ClientHeight()) return -1;
    TSize cell = CellSize();
    int per = ItemsPerLine();
    int line, pos;
    switch (FViewStyle) {
        case vsIcon:
        case vsSmallIcon:
            pos = X / cell.cx;
            line = Y / cell.cy;
            if (pos >= per) return -1;
            break;
        case vsList:
            line = X / cell.cx;
            pos = Y / cell.cy;
            if (pos >= per) return -1;
            break;
        default:
            line = (Y - HeaderHeight()) / cell.cy;
            pos = 0;
            break;
    }
    int index = (line + FTopLine) * per + pos;
    if (index >= FItems->Count()) return -1;
    // The icon and the label are the item; the rest of its cell is empty space.
    TRect label = self->ItemRect(index, true);
    TRect whole = self->ItemRect(index, false);
    if (FViewStyle == vsIcon) return index;
    if (X >= std::max(label.Right, whole.Left + 2 + (FSmallImages ? FSmallImages->Width + 2 : 0) + 8))
        return -1;
    return index;
}

TListItem* TCustomListView::GetItemAt(int X, int Y) {
    int i = IndexAt(X, Y);
    return i < 0 ? nullptr : Fetch(i);
}

TListItem* TCustomListView::TopItem() {
    int i = FTopLine * ItemsPerLine();
    return i < FItems->Count() ? Fetch(i) : nullptr;
}

void TCustomListView::Layout() {
    if (FLayingOut) return;
    FLayingOut = true;
    FScrollX =
        FViewStyle == vsReport ? std::clamp(FScrollX, 0, std::max(0, CellSize().cx - ClientWidth())) : 0;
    if (FHeader) {
        bool show = FViewStyle == vsReport && FShowColumnHeaders;
        // The header scrolls sideways with the rows.
        if (show)
            FHeader->SetBounds(-FScrollX, 0, std::max(ClientWidth() + FScrollX, CellSize().cx),
                               FHeader->Height());
        FHeader->SetVisible(show);
    }
    FTopLine = std::clamp(FTopLine, 0, std::max(0, LineCount() - LinesShown()));
    UpdateScrollBars();
    FLayingOut = false;
    Invalidate();
}

void TCustomListView::UpdateScrollBars() {
    if (!HandleAllocated()) return;
    int lines = LineCount();
    int page = LinesShown();
    int bar = Vertical() ? SB_VERT : SB_HORZ;
    int other = Vertical() ? SB_HORZ : SB_VERT;
    uint32_t style = GetWindowLong(Handle(), GWL_STYLE);
    // The details style scrolls sideways, by pixels, when its columns are wider than the view.
    bool sideways = FViewStyle == vsReport && CellSize().cx > ClientWidth();
    if (sideways) {
        if (!(style & WS_HSCROLL)) ShowScrollBar(Handle(), SB_HORZ, true);  // may resize: Layout comes back
        TScrollInfo si;
        si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
        si.nMax = CellSize().cx - 1;
        si.nPage = static_cast<uint32_t>(std::max(1, ClientWidth()));
        si.nPos = FScrollX;
        SetScrollInfo(Handle(), SB_HORZ, si, true);
    } else if (style & (other == SB_VERT ? WS_VSCROLL : WS_HSCROLL)) {
        ShowScrollBar(Handle(), other, false);
    }
    bool want = lines > page;
    bool shown = (style & (bar == SB_VERT ? WS_VSCROLL : WS_HSCROLL)) != 0;
    if (want != shown) ShowScrollBar(Handle(), bar, want);
    if (!want) return;
    TScrollInfo si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    si.nMax = lines - 1;
    si.nPage = static_cast<uint32_t>(LinesShown());
    si.nPos = FTopLine;
    SetScrollInfo(Handle(), bar, si, true);
}

void TCustomListView::ScrollSideways(int X) {
    X = std::clamp(X, 0, std::max(0, CellSize().cx - ClientWidth()));
    if (FViewStyle != vsReport || X == FScrollX) return;
    if (FEditor) FEditor->Finish(false);
    FScrollX = X;
    Layout();
}

void TCustomListView::ScrollTo(int Line) {
    Line = std::clamp(Line, 0, std::max(0, LineCount() - LinesShown()));
    if (Line == FTopLine) return;
    if (FEditor) FEditor->Finish(false);
    FTopLine = Line;
    UpdateScrollBars();
    Invalidate();
}

void TCustomListView::Scroll(int DX, int DY) {
    TSize cell = CellSize();
    if (FViewStyle == vsReport) ScrollSideways(FScrollX + DX);
    if (Vertical())
        ScrollTo(FTopLine + DY / std::max(1, cell.cy));
    else
        ScrollTo(FTopLine + DX / std::max(1, cell.cx));
}

void TCustomListView::MakeVisible(int Index) {
    if (Index < 0 || Index >= FItems->Count()) return;
    int line = Index / ItemsPerLine();
    if (line < FTopLine)
        ScrollTo(line);
    else if (line >= FTopLine + LinesShown())
        ScrollTo(line - LinesShown() + 1);
}

void TCustomListView::Resize() {
    TCustomControl::Resize();
    Layout();
}

void TCustomListView::ColumnsChanged() {
    if (!FHeader) return;
    THeaderSections& s = FHeader->Sections();
    while (s.Count() > FColumns->Count()) s.Delete(s.Count() - 1);
    while (s.Count() < FColumns->Count()) s.Add();
    for (int i = 0; i < FColumns->Count(); ++i) {
        TListColumn* c = FColumns->Items(i);
        THeaderSection* h = s[i];
        h->SetText(c->Caption());
        h->SetMinWidth(c->MinWidth);
        h->SetMaxWidth(c->MaxWidth);
        h->SetWidth(c->Width());
        h->SetAlignment(c->Alignment());
        h->AllowClick = ColumnClick;
    }
    Layout();
}

void TCustomListView::CountChanged() {
    int n = FItems->Count();
    if (FDropTarget >= n) FDropTarget = -1;
    if (FOwnerData && static_cast<int>(FSel.size()) != n) {
        // A new row count forgets the selection, as the rows may now be other things.
        FSel.assign(static_cast<size_t>(n), 0);
        FSelCount = 0;
        FEditing = FHot = FDragIndex = FTipIndex = -1;
        if (FFocused >= n) FFocused = n > 0 ? n - 1 : -1;
        if (FAnchor >= n) FAnchor = FFocused;
    }
    if (FItems->FUpdateCount > 0) return;
    Layout();
}

TListItem* TCustomListView::Fetch(int Index) {
    if (!FOwnerData) return FItems->FItems[static_cast<size_t>(Index)].get();
    TListItem* item = FScratch.get();
    item->Caption.clear();
    item->SubItems.Clear();
    item->ImageIndex = item->OverlayIndex = -1;
    item->Data = nullptr;
    item->Cut = false;
    item->FIndex = Index;
    OwnerDataFetch(item);
    return item;
}

void TCustomListView::HeaderSectionClick(THeaderSection* Section) {
    int i = Section->Index();
    if (ColumnClick && i >= 0 && i < FColumns->Count()) ColClick(FColumns->Items(i));
}

void TCustomListView::HeaderSectionTrack(THeaderSection* Section) {
    int i = Section->Index();
    if (i >= 0 && i < FColumns->Count()) FColumns->Items(i)->FWidth = Section->Width();
    Layout();
}

// ---- Selection ----

bool TCustomListView::IsSelected(int Index) const {
    return Index >= 0 && Index < static_cast<int>(FSel.size()) && FSel[static_cast<size_t>(Index)];
}

int TCustomListView::SelCount() const {
    return FSelCount;
}

void TCustomListView::SelectOne(int Index, bool Value) {
    if (Index < 0 || Index >= static_cast<int>(FSel.size()) || IsSelected(Index) == Value) return;
    FSel[static_cast<size_t>(Index)] = Value;
    FSelCount += Value ? 1 : -1;
    Invalidate();
    TListItem* item = Fetch(Index);
    Change(item, ctState);
    DoSelectItem(Fetch(Index), Value);
}

void TCustomListView::SelectRange(int From, int To) {
    if (From > To) std::swap(From, To);
    if (!FMultiSelect && From >= 0) From = To;
    auto inRange = [&](int i) { return From >= 0 && i >= From && i <= To; };
    std::vector<int> changed;
    for (int i = 0; i < static_cast<int>(FSel.size()); ++i)
        if (IsSelected(i) != inRange(i)) changed.push_back(i);
    if (FOwnerData && changed.size() > 1) {
        // Many owner-data rows at once: one notice, without asking for every row.
        for (int i : changed) FSel[static_cast<size_t>(i)] = inRange(i);
        FSelCount = From >= 0 ? To - From + 1 : 0;
        Invalidate();
        DoSelectItem(nullptr, FSelCount > 0);
        return;
    }
    // Deselections first, so that a handler sees the new selection grow, not both at once.
    for (int i : changed)
        if (!inRange(i)) SelectOne(i, false);
    for (int i : changed)
        if (inRange(i)) SelectOne(i, true);
}

void TCustomListView::SetItemSelected(int Index, bool Value) {
    if (Index < 0 || Index >= FItems->Count()) return;
    if (Value && !FMultiSelect)
        SelectRange(Index, Index);
    else
        SelectOne(Index, Value);
}

TListItem* TCustomListView::Selected() {
    auto it = std::find(FSel.begin(), FSel.end(), 1);
    return it == FSel.end() ? nullptr : Fetch(static_cast<int>(it - FSel.begin()));
}

void TCustomListView::SetSelected(TListItem* Value) {
    if (!Value) {
        SelectRange(-1, -1);
        return;
    }
    int i = Value->Index();
    FFocused = FAnchor = i;
    SelectRange(i, i);
    MakeVisible(i);
}

TListItem* TCustomListView::ItemFocused() {
    return FFocused >= 0 && FFocused < FItems->Count() ? Fetch(FFocused) : nullptr;
}

void TCustomListView::SetItemFocused(TListItem* Value) {
    FFocused = Value ? Value->Index() : -1;
    if (FFocused >= 0) FAnchor = FFocused;
    Invalidate();
}

void TCustomListView::SetItemIndex(int Value) {
    if (Value < 0 || Value >= FItems->Count()) {
        SelectRange(-1, -1);
        return;
    }
    FFocused = FAnchor = Value;
    SelectRange(Value, Value);
    MakeVisible(Value);
}

void TCustomListView::SelectAll() {
    if (FMultiSelect && FItems->Count() > 0) SelectRange(0, FItems->Count() - 1);
}

void TCustomListView::ClearSelection() {
    SelectRange(-1, -1);
}

TListItem* TCustomListView::GetNextItem(TListItem* StartItem, TSearchDirection Direction,
                                        TItemStates States) {
    (void)Direction;  // every direction walks the items in order
    int n = FItems->Count();
    for (int i = StartItem ? StartItem->Index() + 1 : 0; i < n; ++i) {
        if ((States & isSelected) && !IsSelected(i)) continue;
        if ((States & isFocused) && i != FFocused) continue;
        return Fetch(i);
    }
    return nullptr;
}

void TCustomListView::MoveFocus(int To, TShiftState Shift) {
    int n = FItems->Count();
    if (n == 0) return;
    To = std::clamp(To, 0, n - 1);
    int old = FFocused;
    FFocused = To;
    if (FMultiSelect && (Shift & ssShift)) {
        if (FAnchor < 0) FAnchor = old >= 0 ? old : To;
        SelectRange(FAnchor, To);
    } else if (FMultiSelect && (Shift & ssCtrl)) {
        // Ctrl moves only the focus; Ctrl+Space then toggles the item.
    } else {
        FAnchor = To;
        SelectRange(To, To);
    }
    MakeVisible(To);
    Invalidate();
}

// ---- Sorting ----

bool TCustomListView::CustomSort(const std::function<int(TListItem*, TListItem*)>& Compare) {
    if (FOwnerData || !Compare) return false;
    auto& items = FItems->FItems;
    TListItem* focused = ItemFocused();
    TListItem* anchor =
        FAnchor >= 0 && FAnchor < FItems->Count() ? items[static_cast<size_t>(FAnchor)].get() : nullptr;
    std::vector<std::pair<std::unique_ptr<TListItem>, uint8_t>> both;
    for (size_t i = 0; i < items.size(); ++i) both.emplace_back(std::move(items[i]), FSel[i]);
    std::stable_sort(both.begin(), both.end(),
                     [&](const auto& a, const auto& b) { return Compare(a.first.get(), b.first.get()) < 0; });
    for (size_t i = 0; i < both.size(); ++i) {
        items[i] = std::move(both[i].first);
        items[i]->FIndex = static_cast<int>(i);
        FSel[i] = both[i].second;
    }
    FFocused = focused ? focused->FIndex : -1;
    FAnchor = anchor ? anchor->FIndex : -1;
    Invalidate();
    return true;
}

bool TCustomListView::AlphaSort() {
    return CustomSort([this](TListItem* A, TListItem* B) {
        int result = AnsiCompareText(A->Caption, B->Caption);
        if (OnCompare) OnCompare(this, A, B, 0, result);
        return result;
    });
}

void TCustomListView::UpdateItems(int FirstIndex, int LastIndex) {
    (void)FirstIndex;
    (void)LastIndex;
    Invalidate();
}

bool TCustomListView::IsEditing() const {
    return FEditing >= 0;
}

void TCustomListView::FinishEdit(bool Cancel) {
    int index = std::exchange(FEditing, -1);
    if (index < 0 || index >= FItems->Count()) return;
    if (!Cancel) {
        std::string s = FEditor->Text();
        TListItem* item = Fetch(index);
        Edit(item, s);
        if (!FOwnerData) item->Caption = s;
    }
    Invalidate();
}

// ---- The steps behind the events ----

void TCustomListView::SetDropTarget(int Index) {
    if (Index < 0 || Index >= FItems->Count()) Index = -1;
    if (Index == FDropTarget) return;
    FDropTarget = Index;
    Invalidate();
}

void TCustomListView::ColClick(TListColumn* Column) {
    if (OnColumnClick) OnColumnClick(this, Column);
}

void TCustomListView::DoSelectItem(TListItem* Item, bool Selected) {
    if (OnSelectItem) OnSelectItem(this, Item, Selected);
}

void TCustomListView::Change(TListItem* Item, TItemChange AChange) {
    if (OnChange) OnChange(this, Item, AChange);
}

bool TCustomListView::OwnerDataFetch(TListItem* Item) {
    if (!OnData) return false;
    OnData(this, Item);
    return true;
}

bool TCustomListView::CanEdit(TListItem* Item) {
    bool allow = true;
    if (OnEditing) OnEditing(this, Item, allow);
    return allow;
}

void TCustomListView::Edit(TListItem* Item, std::string& S) {
    if (OnEdited) OnEdited(this, Item, S);
}

void TCustomListView::Delete(TListItem* Item) {
    if (OnDeletion) OnDeletion(this, Item);
}

void TCustomListView::StartItemDrag(TListItem* Item) {
    if (OnStartItemDrag) OnStartItemDrag(this, Item);
}

bool TCustomListView::CustomDrawItem(TListItem* Item, TCustomDrawState State) {
    bool defaultDraw = true;
    if (OnCustomDrawItem) OnCustomDrawItem(this, Item, State, defaultDraw);
    return defaultDraw;
}

int TCustomListView::OwnerDataFind(TItemFind Find, const std::string& FindString, void* FindData,
                                   int StartIndex, bool Wrap) {
    int index = -1;
    if (OnDataFind) OnDataFind(this, Find, FindString, TPoint{}, FindData, StartIndex, sdAll, Wrap, index);
    return index;
}

TListItem* TCustomListView::FindCaption(int StartIndex, const std::string& Value, bool Partial,
                                        bool Inclusive, bool Wrap) {
    int n = FItems->Count();
    if (n == 0) return nullptr;
    int start = std::clamp(Inclusive ? StartIndex : StartIndex + 1, 0, n);
    if (FOwnerData) {
        if (start >= n && !Wrap) return nullptr;
        int i = OwnerDataFind(Partial ? ifPartialString : ifExactString, Value, nullptr, start % n, Wrap);
        return i >= 0 && i < n ? Fetch(i) : nullptr;
    }
    auto matches = [&](int i) {
        const std::string& c = FItems->FItems[static_cast<size_t>(i)]->Caption;
        if (Partial)
            return c.size() >= Value.size() && AnsiCompareText(c.substr(0, Value.size()), Value) == 0;
        return AnsiCompareText(c, Value) == 0;
    };
    for (int i = start; i < n; ++i)
        if (matches(i)) return Fetch(i);
    if (Wrap)
        for (int i = 0; i < std::min(start, n); ++i)
            if (matches(i)) return Fetch(i);
    return nullptr;
}

TListItem* TCustomListView::FindData(int StartIndex, void* Value, bool Inclusive, bool Wrap) {
    int n = FItems->Count();
    if (n == 0) return nullptr;
    int start = std::clamp(Inclusive ? StartIndex : StartIndex + 1, 0, n);
    if (FOwnerData) {
        if (start >= n && !Wrap) return nullptr;
        int i = OwnerDataFind(ifData, "", Value, start % n, Wrap);
        return i >= 0 && i < n ? Fetch(i) : nullptr;
    }
    for (int k = 0; k < (Wrap ? n : n - start); ++k) {
        int i = (start + k) % n;
        if (FItems->FItems[static_cast<size_t>(i)]->Data == Value) return Fetch(i);
    }
    return nullptr;
}

void TCustomListView::KeyPress(char& Key) {
    TCustomControl::KeyPress(Key);
    if (static_cast<unsigned char>(Key) < ' ' || FItems->Count() == 0) return;
    // Typing finds the item whose caption begins with what was typed; a pause starts afresh, and
    // one letter typed again steps through the items that begin with it.
    constexpr uint32_t kTypingPause = 1000;
    uint32_t now = GetTickCount();
    if (now - FTypedAt > kTypingPause) FTyped.clear();
    FTypedAt = now;
    bool repeat = FTyped.size() == 1 && FTyped[0] == Key;
    if (!repeat) FTyped += Key;
    int from = FFocused < 0 ? 0 : FFocused;
    TListItem* found = FindCaption(from, FTyped, true, FTyped.size() > 1 && !repeat, true);
    if (found) MoveFocus(found->Index(), 0);
    Key = 0;
}

void TCustomListView::InfoTip(TListItem* Item, std::string& Tip) {
    if (OnInfoTip) OnInfoTip(this, Item, Tip);
}

// ---- Painting ----

void TCustomListView::DrawItem(TListItem* Item, int Index, const TRect& R) {
    TCanvas& c = Canvas();
    bool focused = Focused();
    bool dropTarget = Index == FDropTarget;
    bool selected = dropTarget || (IsSelected(Index) && (focused || !HideSelection) && FDropTarget < 0);
    if (dropTarget) focused = true;
    bool hot = HotTrack && Index == FHot;
    bool editing = Index == FEditing;
    TRect label = ItemRect(Index, true);
    Item = Fetch(Index);  // ItemRect may have asked for another row
    c.Font.Assign(FFont);
    TColor itemColor = FFont.Color;
    // Sets the label's colours and asks the custom-draw handler; false when it drew the item.
    auto labelColours = [&]() -> bool {
        if (selected) {
            c.Brush.Color = focused ? clHighlight : clBtnFace;
            c.Font.Color = focused ? clHighlightText : clWindowText;
            c.FillRect(label);
        } else {
            c.Brush.Color = FColor;
            c.Font.Color = Item->Cut ? clGrayText : FFont.Color;
            if (hot) {
                c.Font.Color = clBlue;
                c.Font.Style = c.Font.Style | fsUnderline;
            }
        }
        c.Brush.Style = bsClear;
        TCustomDrawState state = (IsSelected(Index) ? cdsSelected : 0) |
                                 (Index == FFocused && focused ? cdsFocused : 0) | (hot ? cdsHot : 0);
        if (!CustomDrawItem(Item, state)) return false;
        Item = Fetch(Index);  // the handler may have asked for another row
        if (!selected) itemColor = c.Font.Color;
        return true;
    };
    int lineH = -FFont.Height() + 3;
    if (FViewStyle == vsIcon) {
        int iw = FLargeImages ? FLargeImages->Width : 32;
        int ih = FLargeImages ? FLargeImages->Height : 32;
        if (FLargeImages) {
            FLargeImages->Draw(c, R.Left + (R.Width() - iw) / 2, R.Top + 2, Item->ImageIndex, !Item->Cut);
            if (Item->OverlayIndex >= 0)
                FLargeImages->Draw(c, R.Left + (R.Width() - iw) / 2, R.Top + 2, Item->OverlayIndex);
        }
        (void)ih;
        if (!editing && labelColours()) {
            // The label wraps at a space onto a second line, each line centred and cut to fit.
            std::string first = Item->Caption, second;
            int room = R.Width() - 4;
            if (c.TextWidth(first) > room) {
                size_t cut = first.size();
                while (cut > 0 && c.TextWidth(first.substr(0, cut)) > room) --cut;
                size_t space = first.rfind(' ', cut);
                if (space != std::string::npos && space > 0) cut = space + 1;
                second = first.substr(cut);
                first = first.substr(0, cut);
                while (!first.empty() && first.back() == ' ') first.pop_back();
                second = Ellipsize(c, second, room);
            }
            c.TextOut(label.Left + (label.Width() - c.TextWidth(first)) / 2, label.Top + 1, first);
            if (!second.empty())
                c.TextOut(label.Left + (label.Width() - c.TextWidth(second)) / 2, label.Top + 1 + lineH,
                          second);
        }
    } else {
        if (FSmallImages) {
            int y = R.Top + (R.Height() - FSmallImages->Height) / 2;
            FSmallImages->Draw(c, R.Left + 2, y, Item->ImageIndex, !Item->Cut);
            if (Item->OverlayIndex >= 0) FSmallImages->Draw(c, R.Left + 2, y, Item->OverlayIndex);
        }
        int ty = R.Top + (R.Height() - c.TextHeight("Wg")) / 2;
        bool drawTexts = editing || labelColours();
        if (!editing && drawTexts) {
            c.TextRect(label, label.Left + 2, ty, Ellipsize(c, Item->Caption, label.Width() - 4));
        }
        if (FViewStyle == vsReport && drawTexts) {
            // The sub-items, one to a column after the first, in the item's colour.
            int x = FColumns->Count() > 0 ? R.Left + FColumns->Items(0)->Width() : R.Right;
            TFontStyles style = c.Font.Style;
            c.Font.Assign(FFont);
            c.Font.Style = style & ~fsUnderline;
            c.Font.Color = itemColor;
            if (selected && RowSelect) c.Font.Color = focused ? clHighlightText : clWindowText;
            c.Brush.Style = bsClear;
            for (int col = 1; col < FColumns->Count(); ++col) {
                TListColumn* column = FColumns->Items(col);
                TRect cellR = Rect(x + 6, R.Top, x + column->Width() - 6, R.Bottom);
                x += column->Width();
                if (col - 1 >= Item->SubItems.Count() || cellR.Width() <= 0) continue;
                std::string s = Ellipsize(c, Item->SubItems[col - 1], cellR.Width());
                int w = c.TextWidth(s);
                int tx = cellR.Left;
                if (column->Alignment() == taRightJustify) tx = cellR.Right - w;
                if (column->Alignment() == taCenter) tx = cellR.Left + (cellR.Width() - w) / 2;
                c.TextRect(cellR, tx, ty, s);
            }
        }
    }
    c.Brush.Style = bsSolid;
    if (Index == FFocused && focused && !editing) c.DrawFocusRect(label);
}

void TCustomListView::Paint() {
    TCanvas& c = Canvas();
    TRect client = ClientRect();
    c.Brush.Color = FColor;
    c.FillRect(client);
    int n = FItems->Count();
    int per = ItemsPerLine();
    // Only the lines in view are drawn (and, for owner data, asked for).
    int shown = LinesShown() + 1;
    int first = FTopLine * per;
    int last = std::min(n, (FTopLine + shown) * per);
    for (int i = first; i < last; ++i) {
        TRect r = ItemRect(i, false);
        if (r.Top >= client.Bottom || r.Left >= client.Right) continue;
        c.Brush.Color = FColor;
        DrawItem(Fetch(i), i, r);
    }
}

// ---- Keys and mouse ----

void TCustomListView::KeyDown(uint16_t& Key, TShiftState Shift) {
    TCustomControl::KeyDown(Key, Shift);
    int n = FItems->Count();
    if (Key == 0 || n == 0) return;
    int f = FFocused < 0 ? 0 : FFocused;
    int per = ItemsPerLine();
    int page = std::max(1, LinesShown() - (FViewStyle == vsReport ? 1 : 0)) * per;
    int to = -2;
    switch (Key) {
        case VK_UP:
            to = FFocused < 0 ? 0 : (FViewStyle == vsIcon || FViewStyle == vsSmallIcon) ? f - per : f - 1;
            break;
        case VK_DOWN:
            to = FFocused < 0 ? 0 : (FViewStyle == vsIcon || FViewStyle == vsSmallIcon) ? f + per : f + 1;
            break;
        case VK_LEFT:
            if (FViewStyle == vsReport) {
                ScrollSideways(FScrollX - 8);
                Key = 0;
                return;
            }
            to = FViewStyle == vsList ? f - per : f - 1;
            break;
        case VK_RIGHT:
            if (FViewStyle == vsReport) {
                ScrollSideways(FScrollX + 8);
                Key = 0;
                return;
            }
            to = FViewStyle == vsList ? f + per : f + 1;
            break;
        case VK_HOME:
            to = 0;
            break;
        case VK_END:
            to = n - 1;
            break;
        case VK_PRIOR:
            to = f - page;
            break;
        case VK_NEXT:
            to = f + page;
            break;
        case VK_SPACE:
            if (FFocused < 0) return;
            if (FMultiSelect && (Shift & ssCtrl))
                SelectOne(FFocused, !IsSelected(FFocused));
            else
                SelectOne(FFocused, true);
            FAnchor = FFocused;
            Key = 0;
            return;
        case 'A':
            if (!(Shift & ssCtrl)) return;
            SelectAll();
            Key = 0;
            return;
        case VK_F2:
            if (FFocused >= 0) Fetch(FFocused)->EditCaption();
            Key = 0;
            return;
        default:
            return;
    }
    // The icon views do not wrap from a line's end to the next one on Left/Right or past the ends.
    if (to < 0 && (Key == VK_UP || Key == VK_LEFT))
        to = (FViewStyle == vsReport || FViewStyle == vsList) ? 0 : f;
    if (to >= n && (Key == VK_DOWN || Key == VK_RIGHT))
        to = (FViewStyle == vsReport || FViewStyle == vsList) ? n - 1 : f;
    MoveFocus(to, Shift);
    Key = 0;
}

void TCustomListView::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (CanFocus() && !Focused()) SetFocus();
    if (FEditor) FEditor->Finish(false);
    int i = IndexAt(X, Y);
    FDragIndex = -1;
    if (Button == TMouseButton::mbLeft) {
        if (i < 0) {
            if (!(Shift & (ssCtrl | ssShift))) ClearSelection();
        } else if (FMultiSelect && (Shift & ssCtrl) && !(Shift & ssDouble)) {
            FFocused = FAnchor = i;
            SelectOne(i, !IsSelected(i));
        } else if (FMultiSelect && (Shift & ssShift)) {
            MoveFocus(i, ssShift);
        } else if (!IsSelected(i)) {
            MoveFocus(i, 0);
        } else {
            // Pressing an item of a selection keeps the selection, which a drag may carry; a click
            // without a drag narrows it to the item when the button comes up.
            FFocused = FAnchor = i;
            Invalidate();
        }
        if (i >= 0) {
            FDragIndex = i;
            FDragOrigin = Point(X, Y);
        }
    } else if (Button == TMouseButton::mbRight && i >= 0 && !IsSelected(i)) {
        MoveFocus(i, 0);
    }
    TCustomControl::MouseDown(Button, Shift, X, Y);
}

void TCustomListView::MouseMove(TShiftState Shift, int X, int Y) {
    if (FDragIndex >= 0 && (Shift & ssLeft)) {
        if (std::abs(X - FDragOrigin.X) > GetSystemMetrics(SM_CXDRAG) ||
            std::abs(Y - FDragOrigin.Y) > GetSystemMetrics(SM_CYDRAG)) {
            int i = std::exchange(FDragIndex, -1);
            if (!DisableDragDrop) StartItemDrag(Fetch(i));
        }
    } else if (!(Shift & ssLeft)) {
        FDragIndex = -1;
    }
    if (OnInfoTip) {
        // Another item under the pointer: its own hint shows after the pause.
        int tip = IndexAt(X, Y);
        if (tip != FTipIndex && FTipIndex >= 0 && Application) Application->CancelHint();
        FTipIndex = tip;
    }
    if (HotTrack) {
        int hot = IndexAt(X, Y);
        if (hot != FHot) {
            FHot = hot;
            Invalidate();
        }
    }
    TCustomControl::MouseMove(Shift, X, Y);
}

void TCustomListView::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (Button == TMouseButton::mbLeft && FDragIndex >= 0) {
        int i = std::exchange(FDragIndex, -1);
        if (!(Shift & (ssCtrl | ssShift)) && IsSelected(i) && FSelCount > 1) SelectRange(i, i);
    }
    TCustomControl::MouseUp(Button, Shift, X, Y);
}

bool TCustomListView::DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos) {
    if (TCustomControl::DoMouseWheel(Shift, WheelDelta, MousePos)) return true;
    ScrollTo(FTopLine - (FViewStyle == vsReport ? 3 : 1) * (WheelDelta / 120));
    return true;
}

void TCustomListView::Dispatch(TMessage& M) {
    switch (M.Msg) {
        case WM_VSCROLL:
        case WM_HSCROLL:
            if (M.Msg == WM_HSCROLL && FViewStyle == vsReport) {
                if (auto to = ScrollCodePosition(M, FScrollX, 8, std::max(1, ClientWidth())))
                    ScrollSideways(*to);
                return;
            }
            if ((M.Msg == WM_VSCROLL) == Vertical())
                if (auto to = ScrollCodePosition(M, FTopLine, 1, std::max(1, LinesShown() - 1)))
                    ScrollTo(*to);
            return;
        case WM_GETDLGCODE:
            M.Result = DLGC_WANTARROWS | DLGC_WANTCHARS;
            return;
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            Invalidate();
            break;
        case CM_HINTSHOW:
            if (OnInfoTip) {
                auto* info = reinterpret_cast<THintInfo*>(M.LParam);
                int i = IndexAt(info->CursorPos.X, info->CursorPos.Y);
                if (i >= 0) {
                    InfoTip(Fetch(i), info->HintStr);
                    FTipIndex = i;
                }
            }
            break;
        case CM_MOUSELEAVE:
            FTipIndex = -1;
            if (FHot >= 0) {
                FHot = -1;
                Invalidate();
            }
            break;
        default:
            break;
    }
    TCustomControl::Dispatch(M);
}

}  // namespace framework
