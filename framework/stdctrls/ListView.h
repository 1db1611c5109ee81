#pragma once
// List views: items with a caption, sub-items and images shown as large icons, small icons, a list
// or detail columns under a header; several items may be selected; items may be kept by the caller
// (owner data), who is asked for each row only when it is drawn. The view draws itself on its canvas.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/core/Alignment.h"
#include "framework/core/Strings.h"
#include "framework/stdctrls/CustomDraw.h"
#include "framework/stdctrls/LabelEdit.h"
#include "framework/ui/Controls.h"

namespace framework {

class TImageList;
class THeaderControl;
class THeaderSection;
class TCustomListView;

enum TViewStyle { vsIcon, vsSmallIcon, vsList, vsReport };

class TListColumn {
public:
    explicit TListColumn(TCustomListView* AOwner) : FOwner(AOwner) {}
    const std::string& Caption() const { return FCaption; }
    void SetCaption(const std::string& Value);
    int Width() const { return FWidth; }
    void SetWidth(int Value);
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment Value);
    int MinWidth = 0;
    int MaxWidth = 10000;
    int Tag = 0;
    int Index() const;

private:
    friend class TCustomListView;
    TCustomListView* FOwner;
    std::string FCaption;
    int FWidth = 50;
    TAlignment FAlignment = taLeftJustify;
};

class TListColumns {
public:
    explicit TListColumns(TCustomListView* AOwner) : FOwner(AOwner) {}
    int Count() const { return static_cast<int>(FItems.size()); }
    TListColumn* Items(int Index) const;
    TListColumn* operator[](int Index) const { return Items(Index); }
    TListColumn* Add();
    void Delete(int Index);
    void Clear();
    int IndexOf(const TListColumn* Column) const;

private:
    TCustomListView* FOwner;
    std::vector<std::unique_ptr<TListColumn>> FItems;
};

class TListItem {
public:
    explicit TListItem(TCustomListView* AOwner);
    std::string Caption;
    TStringList SubItems;
    int ImageIndex = -1;
    int OverlayIndex = -1;
    void* Data = nullptr;
    // Drawn dimmed (a hidden file, an item cut to the clipboard).
    bool Cut = false;
    int Index() const { return FIndex; }
    bool Selected() const;
    void SetSelected(bool Value);
    bool Focused() const;
    void SetFocused(bool Value);
    TCustomListView* ListView() const { return FOwner; }
    void Delete();
    void MakeVisible(bool PartialOK = false);
    // The item's area (or its label only) in the view's client coordinates.
    TRect DisplayRect(bool LabelOnly = false) const;
    bool EditCaption();
    void CancelEdit();
    // Repaints the item's area.
    void Update();

private:
    friend class TListViewItems;
    friend class TCustomListView;
    TCustomListView* FOwner;
    int FIndex = -1;
};

// The items of a list view (the list box's item store is TListItems). In owner-data mode no item is kept:
// Count is set by the caller and Item(i) is one scratch item filled through OnData for that index.
class TListViewItems {
public:
    explicit TListViewItems(TCustomListView* AOwner) : FOwner(AOwner) {}
    int Count() const;
    void SetCount(int Value);
    TListItem* Item(int Index) const;
    TListItem* operator[](int Index) const { return Item(Index); }
    TListItem* Add();
    TListItem* Insert(int Index);
    void Delete(int Index);
    void Clear();
    int IndexOf(const TListItem* Item) const;
    void BeginUpdate();
    void EndUpdate();

private:
    friend class TCustomListView;
    friend class TListItem;
    TCustomListView* FOwner;
    std::vector<std::unique_ptr<TListItem>> FItems;
    int FUpdateCount = 0;
};

enum TItemState : uint8_t { isNone = 0, isCut = 1, isDropHilited = 2, isFocused = 4, isSelected = 8 };
using TItemStates = uint8_t;
enum TSearchDirection { sdLeft, sdRight, sdAbove, sdBelow, sdAll };
enum TItemChange { ctText, ctImage, ctState };
enum TItemFind { ifData, ifPartialString, ifExactString, ifNearest };

using TLVColumnClickEvent = std::function<void(TObject* Sender, TListColumn* Column)>;
// Item is nil when many rows of an owner-data view changed at once (select all, clear, a range).
using TLVSelectItemEvent = std::function<void(TObject* Sender, TListItem* Item, bool Selected)>;
using TLVChangeEvent = std::function<void(TObject* Sender, TListItem* Item, TItemChange Change)>;
using TLVOwnerDataEvent = std::function<void(TObject* Sender, TListItem* Item)>;
using TLVEditingEvent = std::function<void(TObject* Sender, TListItem* Item, bool& AllowEdit)>;
using TLVEditedEvent = std::function<void(TObject* Sender, TListItem* Item, std::string& S)>;
using TLVCompareEvent =
    std::function<void(TObject* Sender, TListItem* Item1, TListItem* Item2, int Data, int& Compare)>;
using TLVDeletedEvent = std::function<void(TObject* Sender, TListItem* Item)>;
// A drag begins from Item (the pointer moved past the drag threshold with the left button held
// after pressing on it); the dragged items are the selected ones.
using TLVStartItemDragEvent = std::function<void(TObject* Sender, TListItem* Item)>;
using TLVCustomDrawItemEvent =
    std::function<void(TCustomListView* Sender, TListItem* Item, TCustomDrawState State, bool& DefaultDraw)>;
// Owner data: the index of the row matching the search (or -1), looking from StartIndex on.
using TLVOwnerDataFindEvent = std::function<void(
    TObject* Sender, TItemFind Find, const std::string& FindString, const TPoint& FindPosition,
    void* FindData, int StartIndex, TSearchDirection Direction, bool Wrap, int& Index)>;
using TLVInfoTipEvent = std::function<void(TObject* Sender, TListItem* Item, std::string& InfoTip)>;

class TCustomListView : public TCustomControl {
public:
    explicit TCustomListView(TComponent* AOwner);
    ~TCustomListView() override;

    TListViewItems& Items() { return *FItems; }
    TListColumns& Columns() { return *FColumns; }
    TViewStyle ViewStyle() const { return FViewStyle; }
    void SetViewStyle(TViewStyle Value);
    bool OwnerData() const { return FOwnerData; }
    // Switching mode clears the items.
    void SetOwnerData(bool Value);
    bool MultiSelect() const { return FMultiSelect; }
    void SetMultiSelect(bool Value);
    TImageList* LargeImages() const { return FLargeImages; }
    void SetLargeImages(TImageList* Value);
    TImageList* SmallImages() const { return FSmallImages; }
    void SetSmallImages(TImageList* Value);
    bool ShowColumnHeaders() const { return FShowColumnHeaders; }
    void SetShowColumnHeaders(bool Value);
    bool ColumnClick = true;
    bool ReadOnly = false;
    bool HideSelection = true;
    bool RowSelect = false;
    bool HotTrack = false;
    // No drag starts from the view (OnStartItemDrag is not called).
    bool DisableDragDrop = false;
    TBorderStyle BorderStyle = bsSingle;
    // The header of the details view (shown in that style only).
    THeaderControl& Header() { return *FHeader; }

    // The first selected item, or nil; setting selects only that item (nil clears the selection).
    TListItem* Selected();
    void SetSelected(TListItem* Value);
    TListItem* ItemFocused();
    void SetItemFocused(TListItem* Value);
    int ItemIndex() const { return FFocused; }
    void SetItemIndex(int Value);
    int SelCount() const;
    void SelectAll();
    void ClearSelection();
    bool IsSelected(int Index) const;
    void SetItemSelected(int Index, bool Value);
    // The next item after Start (nil: from the first) in Direction having every state in States.
    TListItem* GetNextItem(TListItem* StartItem, TSearchDirection Direction, TItemStates States);
    TListItem* GetItemAt(int X, int Y);
    int IndexAt(int X, int Y) const;
    TListItem* TopItem();
    int VisibleRowCount() const;
    void Scroll(int DX, int DY);
    // An item's area (or its label) in client coordinates.
    TRect ItemRect(int Index, bool LabelOnly);
    void MakeVisible(int Index);
    bool IsEditing() const;
    // Sorts kept items with Compare (negative: Item1 first); owner-data views sort their own data.
    bool CustomSort(const std::function<int(TListItem* Item1, TListItem* Item2)>& Compare);
    // Sorts by caption, through OnCompare when it is bound.
    bool AlphaSort();
    void UpdateItems(int FirstIndex, int LastIndex);
    // The first item from StartIndex (itself too when Inclusive) whose caption is Value, or begins
    // with it when Partial (either without regard to case); Wrap goes on from the top. Owner-data
    // views ask OnDataFind.
    TListItem* FindCaption(int StartIndex, const std::string& Value, bool Partial, bool Inclusive, bool Wrap);
    TListItem* FindData(int StartIndex, void* Value, bool Inclusive, bool Wrap);
    // The item a drag hovers over, drawn highlighted (-1: none).
    int DropTarget() const { return FDropTarget; }
    void SetDropTarget(int Index);

    TLVColumnClickEvent OnColumnClick;
    TLVSelectItemEvent OnSelectItem;
    TLVChangeEvent OnChange;
    TLVOwnerDataEvent OnData;
    TLVEditingEvent OnEditing;
    TLVEditedEvent OnEdited;
    TLVCompareEvent OnCompare;
    TLVDeletedEvent OnDeletion;
    TLVStartItemDragEvent OnStartItemDrag;
    // The hint for the item under the pointer (starting as the view's own short hint); the hint
    // shows again for each item the pointer rests on.
    TLVInfoTipEvent OnInfoTip;
    // Before an item's texts are drawn, with the canvas set up for it: the handler may change the
    // canvas's font and brush, or draw the item itself and clear DefaultDraw.
    TLVCustomDrawItemEvent OnCustomDrawItem;
    TLVOwnerDataFindEvent OnDataFind;

    void Dispatch(TMessage& Message) override;

protected:
    // The steps behind the events; descendants override them and call the inherited ones.
    virtual void ColClick(TListColumn* Column);
    virtual void DoSelectItem(TListItem* Item, bool Selected);
    virtual void Change(TListItem* Item, TItemChange Change);
    // Fills the scratch item for its index (owner data); true when it was filled.
    virtual bool OwnerDataFetch(TListItem* Item);
    virtual bool CanEdit(TListItem* Item);
    virtual void Edit(TListItem* Item, std::string& S);
    virtual void Delete(TListItem* Item);
    virtual void StartItemDrag(TListItem* Item);
    virtual void InfoTip(TListItem* Item, std::string& Tip);
    virtual bool CustomDrawItem(TListItem* Item, TCustomDrawState State);
    // The row found for an owner-data search, or -1.
    virtual int OwnerDataFind(TItemFind Find, const std::string& FindString, void* FindData, int StartIndex,
                              bool Wrap);
    virtual void DrawItem(TListItem* Item, int Index, const TRect& Rect);

    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;
    void Paint() override;
    void KeyDown(uint16_t& Key, TShiftState Shift) override;
    void KeyPress(char& Key) override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    bool DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos) override;
    void Resize() override;
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    friend class TListItem;
    friend class TListViewItems;
    friend class TListColumn;
    friend class TListColumns;
    // Geometry of the current style.
    int RowHeight() const;
    TSize CellSize() const;
    int HeaderHeight() const;
    // Items to a scroll line (a row of cells, or a column in the list style) and lines shown.
    int ItemsPerLine() const;
    int LinesShown() const;
    int LineCount() const;
    bool Vertical() const { return FViewStyle != vsList; }
    void ScrollTo(int Line);
    void ScrollSideways(int X);
    void UpdateScrollBars();
    void Layout();
    void ColumnsChanged();
    void CountChanged();
    // Sets the selection state of Index, telling OnSelectItem when it changed.
    void SelectOne(int Index, bool Value);
    // Selects exactly [From, To] (inclusive, in any order), or nothing when From is -1.
    void SelectRange(int From, int To);
    void MoveFocus(int To, TShiftState Shift);
    TListItem* Fetch(int Index);
    void FinishEdit(bool Cancel);
    void HeaderSectionClick(THeaderSection* Section);
    void HeaderSectionTrack(THeaderSection* Section);

    std::unique_ptr<TListViewItems> FItems;
    std::unique_ptr<TListColumns> FColumns;
    std::unique_ptr<TListItem> FScratch;  // the owner-data item
    THeaderControl* FHeader = nullptr;
    TLabelEdit* FEditor = nullptr;
    TImageList* FLargeImages = nullptr;
    TImageList* FSmallImages = nullptr;
    TViewStyle FViewStyle = vsIcon;
    bool FOwnerData = false;
    bool FMultiSelect = false;
    bool FShowColumnHeaders = true;
    int FCount = 0;             // owner-data rows
    std::vector<uint8_t> FSel;  // selection state by index
    int FSelCount = 0;
    int FFocused = -1;
    int FAnchor = -1;  // the fixed end of a Shift selection
    int FScrollX = 0;  // pixels the details view is scrolled sideways
    int FTopLine = 0;  // first line shown (row, or column in the list style)
    int FEditing = -1;
    int FHot = -1;
    int FDropTarget = -1;
    int FDragIndex = -1;  // pressed, a drag may begin from it
    int FTipIndex = -1;   // the item the pointer was last over, for item hints
    std::string FTyped;   // the caption typed so far to find an item
    uint32_t FTypedAt = 0;
    TPoint FDragOrigin;
    bool FLayingOut = false;
};

class TListView : public TCustomListView {
public:
    using TCustomListView::TCustomListView;
};

}  // namespace framework
