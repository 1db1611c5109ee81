#pragma once
// Radio buttons: checking one unchecks the others of the same parent.

#include "framework/stdctrls/Button.h"

namespace framework {

class TRadioButton : public TButtonControl {
public:
    explicit TRadioButton(TComponent* AOwner);
    bool Checked() const { return FChecked; }
    // Checking one unchecks the other radio buttons of the same parent; fires OnClick when checked.
    void SetChecked(bool Value);
    TAlignment Alignment = taRightJustify;
    void Dispatch(TMessage& Message) override;
    void Click() override { SetChecked(true); }

protected:
    void Paint() override;

private:
    bool FChecked = false;
};

}  // namespace framework
