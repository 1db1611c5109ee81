#pragma once
// Multi-line edits: lines, wrapping, scroll bars.

#include <memory>
#include <string>
#include <vector>

#include "framework/core/Strings.h"
#include "framework/stdctrls/Edit.h"

namespace framework {

class TCustomMemo : public TCustomEdit {
public:
    explicit TCustomMemo(TComponent* AOwner);
    ~TCustomMemo() override;
    // The text as lines; changes go straight to the control.
    TStrings& Lines() { return *FLines; }
    bool WantReturns = true;
    bool WantTabs = false;
    // Long lines wrap at the right edge (at a space where there is one). A horizontal scroll bar
    // turns wrapping off, as the text then scrolls sideways instead.
    bool WordWrap = true;
    // Scroll bars shown; they move the view with the SB_ codes of WM_VSCROLL and WM_HSCROLL.
    TScrollStyle ScrollBars = ssNone;
    void Dispatch(TMessage& Message) override;
    // First row shown and the sideways offset in pixels.
    int TopRow() const { return FTopLine; }
    int ScrollLeft() const { return FScrollX; }
    // The rows as shown now (the text of each, line breaks left out).
    std::vector<std::string> DisplayRows();

protected:
    bool MultiLine() const override { return true; }
    void KeyDown(uint16_t& Key, TShiftState Shift) override;
    void CreateParams(TCreateParams& Params) override;
    void Paint() override;
    std::vector<TTextRow> TextRows() override;
    bool DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos) override;
    bool Wraps() const { return WordWrap && ScrollBars != ssHorizontal && ScrollBars != ssBoth; }
    // The scroll bars as the view needs them: Apply false only checks and posts the change (a
    // bar may not change the client area while the memo paints).
    void UpdateScrollBars(bool Apply);
    void ScrollTo(int TopRow, int Left);
    bool FBarsPosted = false;

private:
    std::unique_ptr<TStrings> FLines;
};
class TMemo : public TCustomMemo {
public:
    using TCustomMemo::TCustomMemo;
};

}  // namespace framework
