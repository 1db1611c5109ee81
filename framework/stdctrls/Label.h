#pragma once
// Labels: a caption drawn on the parent, aligned, wrapped, with an accelerator that focuses a control.

#include <string>
#include <vector>

#include "framework/ui/Controls.h"

namespace framework {

enum TTextLayout { tlTop, tlCenter, tlBottom };

class TCustomLabel : public TGraphicControl {
public:
    explicit TCustomLabel(TComponent* AOwner);
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment Value);
    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool Value);
    bool WordWrap() const { return FWordWrap; }
    void SetWordWrap(bool Value);
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool Value);
    TTextLayout Layout() const { return FLayout; }
    void SetLayout(TTextLayout Value);
    bool ShowAccelChar() const { return FShowAccelChar; }
    void SetShowAccelChar(bool Value);
    // The control an accelerator of the caption focuses.
    TWinControl* FocusControl() const { return FFocusControl; }
    void SetFocusControl(TWinControl* Value);
    void Dispatch(TMessage& Message) override;
    // Lines of the caption as painted in the current width (one line without WordWrap).
    std::vector<std::string> WrappedLines();

protected:
    void Paint() override;
    void Loaded() override;
    void AdjustBounds();
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    TAlignment FAlignment = taLeftJustify;
    bool FAutoSize = true;
    bool FWordWrap = false;
    bool FTransparent = false;
    TTextLayout FLayout = tlTop;
    bool FShowAccelChar = true;
    TWinControl* FFocusControl = nullptr;
};
class TLabel : public TCustomLabel {
public:
    using TCustomLabel::TCustomLabel;
};

}  // namespace framework
