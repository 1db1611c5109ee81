#pragma once
// Group boxes: a framed caption around child controls.

#include "framework/ui/Controls.h"

namespace framework {

class TCustomGroupBox : public TCustomControl {
public:
    explicit TCustomGroupBox(TComponent* AOwner);
    void Dispatch(TMessage& Message) override;

protected:
    void Paint() override;
    // Aligned children sit inside the frame, below the caption line.
    void AlignControls(TControl* AControl, TRect& Rect) override;
};
class TGroupBox : public TCustomGroupBox {
public:
    using TCustomGroupBox::TCustomGroupBox;
};

}  // namespace framework
