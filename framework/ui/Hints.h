#pragma once
// Hints: the short/long split of a control's Hint, the window that shows the short part beside the
// pointer, and the application's timing of it (pause, short pause, hide pause on the framework
// clock). The long part goes to Application->Hint (and OnHint) as the pointer enters a control.

#include <cstdint>
#include <string>

#include "framework/ui/Controls.h"
#include "framework/ui/Graphics.h"

namespace framework {

// "short|long": the part before the first bar, and the part after it (the whole text for either
// when there is no bar).
std::string GetShortHint(const std::string& Hint);
std::string GetLongHint(const std::string& Hint);

// What CM_HINTSHOW carries (LParam points at it). A handler may change the text, the position or
// the hide time; a nonzero result cancels the hint.
struct THintInfo {
    TControl* HintControl = nullptr;
    TPoint HintPos;        // screen position of the hint window
    int HintMaxWidth = 0;  // the widest the window may be
    TColor HintColor = clInfoBk;
    TPoint CursorPos;          // the pointer, in the control's client coordinates
    uint32_t HideTimeout = 0;  // milliseconds until the hint hides
    std::string HintStr;
};

// A top-level window drawn in the system hint colours, showing one hint.
class THintWindow : public TCustomControl {
public:
    explicit THintWindow(TComponent* AOwner);
    // The window's size for the text (at the origin), no wider than MaxWidth when it is positive.
    virtual TRect CalcHintRect(int MaxWidth, const std::string& AHint);
    // Shows the text in the window at Rect (screen coordinates).
    virtual void ActivateHint(const TRect& Rect, const std::string& AHint);
    void ReleaseHint();
    bool Active() const { return FActive; }

protected:
    void CreateParams(TCreateParams& Params) override;
    void Paint() override;

private:
    bool FActive = false;
};

// Called by every control for its mouse messages and CM_MOUSELEAVE.
void HintMouseMessage(TControl& Control, const TMessage& Message);
// The hint window now showing, or nil.
THintWindow* ShownHintWindow();

}  // namespace framework
