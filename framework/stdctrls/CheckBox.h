#pragma once
// Check boxes: checked, unchecked and, when allowed, grayed.

#include "framework/stdctrls/Button.h"

namespace framework {

enum TCheckBoxState { cbUnchecked, cbChecked, cbGrayed };

class TCustomCheckBox : public TButtonControl {
public:
    explicit TCustomCheckBox(TComponent* AOwner);
    bool Checked() const { return FState == cbChecked; }
    void SetChecked(bool Value) { SetState(Value ? cbChecked : cbUnchecked); }
    TCheckBoxState State() const { return FState; }
    // A change of state fires OnClick, whether the user or the program made it.
    void SetState(TCheckBoxState Value);
    bool AllowGrayed = false;
    TAlignment Alignment = taRightJustify;  // side of the box the caption is on
    void Dispatch(TMessage& Message) override;
    // A click (mouse, space bar, accelerator) moves to the next state.
    void Click() override { Toggle(); }

protected:
    void Paint() override;
    virtual void Toggle();

private:
    TCheckBoxState FState = cbUnchecked;
};
class TCheckBox : public TCustomCheckBox {
public:
    using TCustomCheckBox::TCustomCheckBox;
};

}  // namespace framework
