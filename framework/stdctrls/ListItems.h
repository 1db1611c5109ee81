#pragma once
// What every control with a list of items shares: the items themselves, the owner-draw types, and
// one handler for the item messages (adding, inserting, deleting, clearing, reading, tagging,
// finding and selecting items) that list boxes, combo boxes and the controls built on them answer
// alike, each with its own message numbers.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/core/Strings.h"
#include "framework/ui/Controls.h"

namespace framework {

enum TOwnerDrawStateFlag : uint16_t {
    odSelected = ODS_SELECTED,
    odGrayed = ODS_GRAYED,
    odDisabled = ODS_DISABLED,
    odChecked = ODS_CHECKED,
    odFocused = ODS_FOCUS,
    odDefault = ODS_DEFAULT,
    odComboBoxEdit = ODS_COMBOBOXEDIT,
};
using TOwnerDrawState = uint16_t;
using TDrawItemEvent =
    std::function<void(TWinControl* Control, int Index, const TRect& Rect, TOwnerDrawState State)>;
using TMeasureItemEvent = std::function<void(TWinControl* Control, int Index, int& Height)>;

// The items of a list or combo box: text, a pointer-sized value and, for variable owner-drawn
// lists, the measured height of each.
struct TListItems {
    struct Item {
        std::string Text;
        uintptr_t Data = 0;
        int Height = 0;
    };
    std::vector<Item> Items;
    bool Sorted = false;
    int Count() const { return static_cast<int>(Items.size()); }
    bool Valid(intptr_t i) const { return i >= 0 && i < Count(); }
    // The sorted place of a new string (after its equals, ignoring case).
    int SortedIndex(const std::string& S) const;
    // Searching starts after Start (-1: from the top) and wraps round; no regard to case.
    int Find(const std::string& S, intptr_t Start, bool Exact) const;
};

// The message numbers of a list control for the item operations every list control shares.
struct TListCodes {
    UINT Add, Insert, Delete, Reset, Count, Text, TextLen, GetData, SetData, Find, FindPrefix, Select,
        SetCurSel, GetCurSel;
    LRESULT Error;
};
extern const TListCodes ListBoxCodes;
extern const TListCodes ComboBoxCodes;

// A control that keeps its items in a TListItems: the shared handler changes the items and the
// selected index, then tells the control what changed so that it keeps the rest of its state.
class TItemListOwner {
public:
    // An item was put at Index (the selected index already moved past it).
    virtual void ItemInserted(int Index) = 0;
    // The item at Index was taken out (the selected index already moved).
    virtual void ItemDeleted(int Index) = 0;
    // Every item was taken out and nothing is selected.
    virtual void ItemsCleared() = 0;
    // The item to select (-1: none), as the control's own SetItemIndex does it.
    virtual void SelectItem(int Index) = 0;

protected:
    ~TItemListOwner() = default;
};

// Answers the item messages named in C for a control whose items are List, its selected index
// ItemIndex and the height of a new item ItemHeight; false for any other message.
bool DispatchItemMessage(TListItems& List, int& ItemIndex, int ItemHeight, const TListCodes& C,
                         TItemListOwner& Owner, TMessage& M);

// The items of a list control as TStrings: every operation is one of the control's messages.
std::unique_ptr<TStrings> MakeListMessageStrings(TWinControl& Control, const TListCodes& C);

// Sends a notification code to the control's parent as WM_COMMAND (straight to the control as
// CN_COMMAND while it has no window).
void NotifyParent(TWinControl& Control, UINT Code);

}  // namespace framework
