#pragma once
// The edit box that tree and list views put over an item's label while it is being renamed: Enter
// commits, Escape cancels, and taking the focus elsewhere commits.

#include <functional>
#include <string>

#include "framework/stdctrls/Edit.h"

namespace framework {

class TLabelEdit : public TCustomEdit {
public:
    // Called once per edit: Cancel is true for Escape, false for Enter or a focus change.
    using TEndEvent = std::function<void(bool Cancel)>;
    explicit TLabelEdit(TComponent* AOwner);
    // Shows the box over Rect (the owner's client coordinates) with Text selected and focused.
    void Start(TWinControl* Host, const TRect& Rect, const std::string& Text, TEndEvent OnEnd);
    // Ends the edit as Enter (or Escape) would; nothing when no edit runs.
    void Finish(bool Cancel);
    bool Editing() const { return static_cast<bool>(FOnEnd); }
    void Dispatch(TMessage& Message) override;

protected:
    void KeyDown(uint16_t& Key, TShiftState Shift) override;

private:
    TEndEvent FOnEnd;
};

}  // namespace framework
