#pragma once
// The base of the library's owner-drawn combo boxes: a most-recently-used area (copies of the
// latest choices at the top of the list, on their own colour, set apart by a separator line), a
// search that completes the typed text after a pause, a flat hot-track look, per-side borders, an
// attached label and the after-enter and after-exit events.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "controls/entry/CtlBase.h"
#include "controls/entry/CtlColors.h"
#include "framework/stdctrls/ComboBox.h"

namespace grid {

// The entries chosen last, the most recent first; each keeps the data of the item it came from.
class TCtlMRUList : public framework::TObject {
public:
    struct TEntry {
        std::string Text;
        uintptr_t Data = 0;
    };
    int MaxItems() const { return FMaxItems; }
    int Count() const { return static_cast<int>(FItems.size()); }
    const TEntry& Items(int Index) const { return FItems.at(static_cast<size_t>(Index)); }
    // An entry already there (no regard to case) moves to the front with Data; a new one goes to
    // the front and the list is cut to MaxItems from the end.
    void Add(const std::string& S, uintptr_t Data);
    // Index of S (no regard to case), -1 when absent.
    int IndexOf(const std::string& S) const;
    void Shrink();
    void Clear() { FItems.clear(); }
    void SetMaxItems(int N);

private:
    int FMaxItems = 3;
    std::vector<TEntry> FItems;
};

// The two colours of the hot-track frame.
class TCtlHTColors : public framework::TPersistent {
public:
    framework::TColor Highlight = framework::clBtnHighlight;
    framework::TColor Shadow = framework::clBtnShadow;
    void Assign(framework::TPersistent* Source) override;
};

enum TCtlComboStyle { ocsDropDown, ocsDropDownList };

class TCtlBaseComboBox : public framework::TCustomComboBox {
public:
    explicit TCtlBaseComboBox(framework::TComponent* AOwner);
    ~TCtlBaseComboBox() override;

    std::string About() const { return entry::CtlVersion; }
    void SetAbout(const std::string&) {}

    // Complete the typed text after KeyDelay milliseconds.
    bool AutoSearch = true;
    bool AutoComplete = false;
    bool HotTrack() const { return FHotTrack; }
    void SetHotTrack(bool Value);
    bool HotTrackBorder() const { return FHotTrackBorder; }
    // True disables the four sides of Borders.
    void SetHotTrackBorder(bool Value);
    TCtlHTColors& HotTrackColors() { return FHotTrackColors; }
    void SetHotTrackColors(TCtlHTColors* Value) { FHotTrackColors.Assign(Value); }
    entry::TCtlBorders& Borders() { return *FBorders; }
    // Every item's height; a change measures the items again.
    void SetItemHeight(int Value);
    int KeyDelay() const { return FKeyDelay; }
    // Negative values are ignored.
    void SetKeyDelay(int Value);
    entry::TCtlLabelInfo& LabelInfo() { return FLabel.LabelInfo(); }
    // Raises "Label not attached" while LabelInfo is not visible.
    entry::TCtlAttachedLabel* AttachedLabel() const { return FLabel.AttachedLabel(); }
    framework::TColor MRUListColor = framework::clWindow;
    int MRUListCount() const { return FMRUList.MaxItems(); }
    // Outside loading: the copies of the entries leave the list first.
    void SetMRUListCount(int Value);
    const TCtlMRUList& MRUList() const { return FMRUList; }
    TCtlComboStyle Style() const { return FCtlStyle; }
    void SetStyle(TCtlComboStyle Value);

    framework::TNotifyEvent OnSelectionChange;
    entry::TCtlMouseWheelEvent OnMouseWheel;
    framework::TNotifyEvent AfterEnter;
    framework::TNotifyEvent AfterExit;

    // The copies of the MRU entries and the MRU entries go, then the whole list.
    void ClearItems();
    // The copies at the top of the list go and the MRU list is emptied.
    void ClearMRU();
    // Puts item Index into the MRU list (and a copy at the top when the list grew).
    void AddToMRU(int Index);
    // Rebuilds the copies at the top from the MRU list and selects the item of the current text
    // after them.
    void UpdateMRUItems();
    // ItemHeight from the font: its cell height less one.
    void AdjustItemHeight();

    // Whether the mouse is over the control and whether it has the focus (the hot-track look).
    bool MouseOver() const { return FMouseOver; }
    bool HasFocus() const { return FFocused; }
    // The pending search's trigger handle in the default controller's timer pool (-1: none).
    int32_t SearchTrigger() const { return FSearchTrigger; }

    void Dispatch(framework::TMessage& Message) override;
    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
    void Loaded() override;

protected:
    // After a completed selection: the MRU area is rebuilt, then OnSelectionChange.
    virtual void SelectionChanged();
    void DrawItem(int Index, const framework::TRect& Rect, framework::TOwnerDrawState State) override;
    // The item's background (MRU colour, Color, or clHighlight when selected) filled, the font
    // colour set; what DrawItem and the descendants' drawing start with.
    void PrepareItem(int Index, const framework::TRect& Rect, framework::TOwnerDrawState State);
    // The separator under the last MRU entry while the list is down.
    void DrawMRUSeparator(int Index, const framework::TRect& Rect, framework::TOwnerDrawState State);
    // Text drawn transparent, vertically centred, from X.
    void DrawItemText(const framework::TRect& Rect, int X, const std::string& Text);
    void KeyDown(uint16_t& Key, framework::TShiftState Shift) override;
    void DoExit() override;
    void Paint() override;
    void Notification(framework::TComponent* AComponent, framework::TOperation Operation) override;
    bool IsLoading() const { return (ComponentState() & framework::csLoading) != 0; }
    std::string ItemText(int Index);
    uintptr_t ItemData(int Index);
    // Whether the item lies in the MRU area at the top.
    bool InMRUArea(int Index) const { return Index >= 0 && Index < FMRUList.Count(); }

private:
    void BordersChanged();
    void PaintHotTrack();
    void PaintBorders();
    // The Return search: the first item after the MRU area that begins with the text.
    void SearchText(bool Interactive);
    void StartSearchTimer();
    void StopSearchTimer();
    void SearchTimerFired();

    TCtlMRUList FMRUList;
    TCtlHTColors FHotTrackColors;
    std::unique_ptr<entry::TCtlBorders> FBorders;
    entry::TCtlLabelSupport FLabel;
    bool FHotTrack = false;
    bool FHotTrackBorder = true;
    int FKeyDelay = 500;
    TCtlComboStyle FCtlStyle = ocsDropDown;
    int FDropDownIndex = -1;
    bool FMouseOver = false;
    bool FFocused = false;
    bool FBackspace = false;
    int32_t FSearchTrigger = -1;
};

}  // namespace grid
