#pragma once
// TStyledBase: the base of the kit's windowed controls. TStyledCustomMenuButton (published as
// TStyledMenuButton): a push button that drops down its PopupMenu below it or to its right, with
// a small arrow after its caption.

#include <memory>
#include <string>

#include "controls/kit/StyledLabel.h"
#include "framework/ui/Controls.h"

namespace kit {

enum TStyledMenuPosition { mpBelow, mpRight };

class TStyledCustomMenuButton : public TStyledBase {
public:
    explicit TStyledCustomMenuButton(framework::TComponent* AOwner);
    ~TStyledCustomMenuButton() override;

    TStyledMenuPosition MenuPosition() const { return FMenuPosition; }
    // Takes the arrow that points the menu's way as the glyph.
    void SetMenuPosition(TStyledMenuPosition Value);
    bool ShowGlyph() const { return FShowGlyph; }
    void SetShowGlyph(bool Value);
    framework::TBitmap& Glyph();
    void SetGlyph(const framework::TBitmap& Value);
    std::string Version() const { return "1.11"; }
    // Drawn pressed (while the left button is held on it, or a key clicks it).
    bool Down() const { return FDown; }

    void Click() override;
    void Dispatch(framework::TMessage& Message) override;

protected:
    void Paint() override;
    void KeyDown(uint16_t& Key, framework::TShiftState Shift) override;
    void MouseDown(framework::TMouseButton Button, framework::TShiftState Shift, int X, int Y) override;
    void MouseMove(framework::TShiftState Shift, int X, int Y) override;
    void MouseUp(framework::TMouseButton Button, framework::TShiftState Shift, int X, int Y) override;

private:
    void SetDown(bool Value);
    TStyledMenuPosition FMenuPosition = mpBelow;
    bool FShowGlyph = true;
    std::unique_ptr<framework::TBitmap> FGlyph;
    bool FDown = false;
    bool FTracking = false;
};

class TStyledMenuButton : public TStyledCustomMenuButton {
public:
    using TStyledCustomMenuButton::TStyledCustomMenuButton;
};

// Registers the arrow bitmaps "STYDOWNARROW" and "STYRIGHTARROW" (once).
void RegisterStyledArrowBitmaps();

}  // namespace kit
