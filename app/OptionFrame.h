#pragma once
// TOptionFrame: what the five sub-option frames share. A navy frame filling the main window's
// sub-option panel, a gradient behind its buttons, and buttons that hold no logic: each one runs
// the main window's command of the same name, so a frame button does exactly what its menu item
// does. The frame lays its buttons out on every resize, with row heights taken from the height of
// the main window's main-option panel so that they line up with the main-option buttons.

#include <string>
#include <utility>
#include <vector>

#include "framework/ui/Forms.h"

namespace framework {
class TBitBtn;
class TPopupMenu;
}  // namespace framework
namespace kit {
class TStyledGradient;
class TStyledMenuButton;
}  // namespace kit

namespace app {

class TMainForm;

class TOptionFrame : public framework::TFrame {
public:
    TOptionFrame(framework::TComponent* AOwner, TMainForm& Main);
    ~TOptionFrame() override;

    kit::TStyledGradient* Gradient;

    // OnResize: places the buttons for the frame's client width and the main-option panel's height.
    void FrameResize(framework::TObject* Sender);

protected:
    // P: the main-option panel's height; W: the frame's client width.
    virtual void LayOut(int P, int W) = 0;
    // A button that runs the main window's command Command (a menu item's name).
    framework::TBitBtn* AddButton(const char* Name, const char* Caption, const char* Command);
    // A button that drops a menu to its right; each item runs its command.
    kit::TStyledMenuButton* AddMenuButton(const char* Name, const char* Caption,
                                          const std::vector<std::pair<const char*, const char*>>& Items);
    // One centred column of buttons of height H, a gap of 4, the first at Top 6.
    static void LayOutColumn(const std::vector<framework::TControl*>& Buttons, int W, int H);

    TMainForm& FMain;
};

}  // namespace app
