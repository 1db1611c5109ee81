#pragma once
// List boxes: single or multiple selection, tab stops, owner-drawn items of fixed or variable height.

#include <memory>
#include <string>
#include <vector>

#include "framework/core/Strings.h"
#include "framework/stdctrls/Edit.h"
#include "framework/stdctrls/ListItems.h"

namespace framework {

enum TListBoxStyle { lbStandard, lbOwnerDrawFixed, lbOwnerDrawVariable };

class TCustomListBox : public TCustomControl, protected TItemListOwner {
public:
    explicit TCustomListBox(TComponent* AOwner);
    ~TCustomListBox() override;

    // The items; every change goes through the LB_ messages.
    TStrings& Items() { return *FItemsView; }
    int ItemIndex() const { return FItemIndex; }
    void SetItemIndex(int Value);
    TListBoxStyle Style() const { return FStyle; }
    void SetStyle(TListBoxStyle Value);
    int ItemHeight() const { return FItemHeight; }
    void SetItemHeight(int Value);
    bool Sorted() const { return FList.Sorted; }
    void SetSorted(bool Value);
    bool MultiSelect = false;
    TBorderStyle BorderStyle = bsSingle;
    bool Selected(int Index) const;
    void SetSelected(int Index, bool Value);
    int SelCount() const;
    int TopIndex() const { return FTopIndex; }
    void SetTopIndex(int Value);
    int TabWidth() const { return FTabWidth; }
    void SetTabWidth(int Value);
    int ItemAtPos(TPoint Pos, bool Existing) const;
    TRect ItemRect(int Index) const;
    void Clear();

    TDrawItemEvent OnDrawItem;
    TMeasureItemEvent OnMeasureItem;

    void Dispatch(TMessage& Message) override;

protected:
    void CreateParams(TCreateParams& Params) override;
    void Paint() override;
    void KeyDown(uint16_t& Key, TShiftState Shift) override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    virtual void DrawItem(int Index, const TRect& Rect, TOwnerDrawState State);
    virtual void MeasureItem(int Index, int& Height);
    // Sends WM_MEASUREITEM for an item (variable owner-draw), storing its height.
    void Measure(int Index);
    int HeightOf(int Index) const;
    void Notify(UINT Code);
    void MakeVisible(int Index);
    void DrawTabbed(const TRect& R, const std::string& S, int X);

    // The shared item-message handler's notices.
    void ItemInserted(int Index) override;
    void ItemDeleted(int Index) override;
    void ItemsCleared() override;
    void SelectItem(int Index) override { SetItemIndex(Index); }

    TListItems FList;
    std::vector<bool> FSelected;
    int FItemIndex = -1;
    int FTopIndex = 0;
    int FItemHeight = 13;
    int FTabWidth = 0;
    std::vector<int> FTabStops;  // dialog units
    int FHorizontalExtent = 0;
    TListBoxStyle FStyle = lbStandard;
    std::unique_ptr<TStrings> FItemsView;
};
class TListBox : public TCustomListBox {
public:
    using TCustomListBox::TCustomListBox;
};

}  // namespace framework
