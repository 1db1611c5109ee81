#pragma once
// Combo boxes: an edit field (or an item shown in its place) with a list that drops down.

#include <memory>
#include <string>

#include "framework/core/Strings.h"
#include "framework/stdctrls/Edit.h"
#include "framework/stdctrls/ListItems.h"

namespace framework {

enum TComboBoxStyle { csDropDown, csSimple, csDropDownList, csOwnerDrawFixed, csOwnerDrawVariable };

class TCustomComboBox : public TCustomEdit, protected TItemListOwner {
public:
    explicit TCustomComboBox(TComponent* AOwner);
    ~TCustomComboBox() override;

    TStrings& Items() { return *FItemsView; }
    int ItemIndex() const { return FItemIndex; }
    void SetItemIndex(int Value);
    // A list without an edit field shows only its items: the text selects the item it names.
    void SetText(const std::string& Value) override;
    TComboBoxStyle Style() const { return FStyle; }
    void SetStyle(TComboBoxStyle Value);
    int ItemHeight() const { return FItemHeight; }
    void SetItemHeight(int Value);
    bool Sorted() const { return FList.Sorted; }
    void SetSorted(bool Value);
    int DropDownCount = 8;
    bool DroppedDown() const { return FDropped; }
    void SetDroppedDown(bool Value);
    void Clear();

    TNotifyEvent OnDropDown;
    TNotifyEvent OnCloseUp;
    TDrawItemEvent OnDrawItem;
    TMeasureItemEvent OnMeasureItem;

    void Dispatch(TMessage& Message) override;
    // Where the dropped-down list shows its items (client coordinates of the combo box).
    TRect DropDownItemRect(int Index) const;
    // The window of the dropped-down list (nil while closed), its first row shown and the row
    // under the pointer (-1: none; the selected item is highlighted then).
    TCustomControl* ListWindow() const { return FListWindow.get(); }
    int ListTopIndex() const { return FListTop; }
    int ListHotIndex() const { return FListHot; }
    // Rows the list shows at once: DropDownCount, or fewer items.
    int ListRows() const;

protected:
    void Paint() override;
    void KeyDown(uint16_t& Key, TShiftState Shift) override;
    void KeyPress(char& Key) override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void Change() override;
    virtual void DrawItem(int Index, const TRect& Rect, TOwnerDrawState State);
    bool OwnerDraw() const { return FStyle == csOwnerDrawFixed || FStyle == csOwnerDrawVariable; }
    bool EditableText() const { return FStyle == csDropDown || FStyle == csSimple || FOwnerDrawEdit; }
    void Notify(UINT Code);
    void Select(int Index, bool User);
    void Measure(int Index);
    bool DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos) override;

    // The shared item-message handler's notices.
    void ItemInserted(int Index) override;
    void ItemDeleted(int Index) override;
    void ItemsCleared() override;
    void SelectItem(int Index) override { SetItemIndex(Index); }

    friend class TComboListWindow;
    // Draws an item through WM_DRAWITEM (owner-drawn styles) or CN_DRAWITEM on a device context.
    void DrawItemOn(HDC Dc, int Index, const TRect& Rect, UINT State);
    void ShowList();
    void HideList();
    // Scrolls the list so that Index is among its rows.
    void ListMakeVisible(int Index);
    void SetListTop(int Value);
    // A click on a row of the list: the item is chosen and the list closes.
    void ListChoose(int Index);
    std::unique_ptr<TCustomControl> FListWindow;
    int FListTop = 0;
    int FListHot = -1;

    TListItems FList;
    int FItemIndex = -1;
    int FItemHeight = 13;
    TComboBoxStyle FStyle = csDropDown;
    bool FDropped = false;
    bool FExtendedUI = false;
    // Set by a descendant: the owner-drawn styles keep an edit field (the list's items are drawn by
    // the owner, the text is edited as in csDropDown).
    bool FOwnerDrawEdit = false;
    std::unique_ptr<TStrings> FItemsView;
};
class TComboBox : public TCustomComboBox {
public:
    using TCustomComboBox::TCustomComboBox;
};

}  // namespace framework
