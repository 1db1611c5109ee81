#pragma once
// The library's list box (attached label, controller link, tab stops in average character widths,
// a horizontal extent that follows the widest item) and the check list built on it: an owner-drawn
// list that paints a check box before each item and keeps a check state per item.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "controls/entry/CtlBase.h"
#include "controls/entry/CtlController.h"
#include "framework/stdctrls/CheckBox.h"
#include "framework/stdctrls/ComCtrls.h"
#include "framework/stdctrls/ListBox.h"

namespace grid {

// The list keeps at most this many tab stops; further lines of TabStops are ignored.
constexpr int CtlMaxTabStops = 100;

// Tab stops from lines of average character widths: pixel stop = n * AvgWidth, dialog-unit stop =
// pixel stop * 4 / BaseX. A line that is not a decimal integer raises EConvertError.
void CtlComputeTabStops(const std::vector<std::string>& Lines, int AvgWidth, int BaseX,
                        std::vector<int32_t>& Pixels, std::vector<int32_t>& DialogUnits);

class TCtlCustomListBox : public framework::TCustomListBox {
public:
    explicit TCtlCustomListBox(framework::TComponent* AOwner);
    ~TCtlCustomListBox() override;

    std::string About() const { return entry::CtlVersion; }
    void SetAbout(const std::string&) {}
    entry::TCtlLabelInfo& LabelInfo() { return FLabel.LabelInfo(); }
    entry::TCtlAttachedLabel* AttachedLabel() const { return FLabel.AttachedLabel(); }

    entry::TCtlController* Controller() const { return FController; }
    void SetController(framework::TComponent* Value);
    bool HorizontalScroll() const { return FHorizontalScroll; }
    void SetHorizontalScroll(bool Value);
    const framework::TStrings& TabStops() const { return *FTabStops; }
    // nullptr clears the stops.
    void SetTabStops(const framework::TStrings* Value);
    // The positions in effect (only while the window exists).
    const std::vector<int32_t>& PixelTabStops() const { return FPixelStops; }
    const std::vector<int32_t>& DialogTabStops() const { return FDialogStops; }

    framework::TNotifyEvent OnTabStopsChange;

    void Dispatch(framework::TMessage& Message) override;
    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
    virtual void UpdateHorizontalExtent();

protected:
    void CreateParams(framework::TCreateParams& Params) override;
    void CreateWnd() override;
    void Notification(framework::TComponent* AComponent, framework::TOperation Operation) override;
    virtual void DoTabStopsChange();
    void UpdateTabStops();
    int GetItemWidth(int Index);
    int WidestItem();
    bool IsLoading() const { return (ComponentState() & framework::csLoading) != 0; }
    // Sends the horizontal extent W + 5 (with HorizontalScroll only).
    void SetExtentFrom(int W);

private:
    entry::TCtlLabelSupport FLabel;
    entry::TCtlController* FController = nullptr;
    bool FHorizontalScroll = false;
    std::unique_ptr<framework::TStringList> FTabStops;
    std::vector<int32_t> FPixelStops;
    std::vector<int32_t> FDialogStops;
};

enum TCtlCheckStyle : uint8_t { csCheck, csX };

using TCtlStateChangeEvent =
    std::function<void(framework::TObject* Sender, int Index, framework::TCheckBoxState OldState,
                       framework::TCheckBoxState NewState)>;
using TCtlOwnerDrawCheckEvent =
    std::function<void(framework::TObject* Sender, framework::TCanvas& Canvas, const framework::TRect& R,
                       framework::TOwnerDrawState AState, TCtlCheckStyle CheckStyle)>;

class TCtlCheckList : public TCtlCustomListBox {
public:
    explicit TCtlCheckList(framework::TComponent* AOwner);
    ~TCtlCheckList() override;

    framework::TColor BoxColor() const { return FBoxColor; }
    void SetBoxColor(framework::TColor Value);
    bool BoxClickOnly = true;
    int BoxMargin() const { return FBoxMargin; }
    void SetBoxMargin(int Value);
    TCtlCheckStyle CheckStyle = csCheck;
    framework::TColor CheckColor = framework::clWindowText;
    framework::TImageList* Glyphs() const { return FGlyphs; }
    void SetGlyphs(framework::TImageList* Value);
    bool ShowGlyphs() const { return FShowGlyphs; }
    void SetShowGlyphs(bool Value);
    bool ReadOnly = false;
    bool ThreeState = false;
    bool WantDblClicks() const { return FWantDblClicks; }
    void SetWantDblClicks(bool Value);

    TCtlStateChangeEvent OnStateChange;
    TCtlOwnerDrawCheckEvent OwnerDrawCheck;

    framework::TCheckBoxState GetItemState(int Index) const;
    void SetItemState(int Index, framework::TCheckBoxState State);
    void InvalidateItem(int Index);
    // The number of stored states (for those that check the list follows the items).
    int StateCount() const { return static_cast<int>(FStates.size()); }

    void Dispatch(framework::TMessage& Message) override;
    void UpdateHorizontalExtent() override;

protected:
    void CreateParams(framework::TCreateParams& Params) override;
    void DrawItem(int Index, const framework::TRect& Rect, framework::TOwnerDrawState State) override;
    void KeyPress(char& Key) override;
    virtual void DoStateChange(int Index, framework::TCheckBoxState OldState,
                               framework::TCheckBoxState NewState);

private:
    void Toggle(int Index);
    void LButtonDown(framework::TMessage& Message);
    void DrawItemMessage(framework::TMessage& Message);

    framework::TColor FBoxColor = framework::clWhite;
    int FBoxMargin = 1;
    framework::TImageList* FGlyphs = nullptr;
    int FAllowance = 0;
    bool FShowGlyphs = false;
    bool FWantDblClicks = true;
    std::vector<uint8_t> FStates;
    std::unique_ptr<framework::TBitmap> FGrayBitmap;
    std::unique_ptr<framework::TBitmap> FItemBitmap;
};

}  // namespace grid
