#pragma once
// TProgressForm: a progress window with a gauge of 0 to 100 percent and an optional Cancel button.
// Not modal: the caller moves the gauge (ProgressBar->SetProgress), processes the pending messages
// between its steps and polls CancelPressed. Start-up creates one that every caller shares; report
// windows may create their own.

#include <array>
#include <string>
#include <utility>

#include "framework/ui/Forms.h"

namespace framework {
class TButton;
class TPanel;
}  // namespace framework
namespace kit {
class TCoolGauge;
}

namespace catalog {

// The gauge's colour pairs (first, second); ShowForm picks one at random, in either order.
extern const std::array<std::pair<framework::TColor, framework::TColor>, 14> GaugeColorPairs;

class TProgressForm : public framework::TForm {
public:
    explicit TProgressForm(framework::TComponent* AOwner);

    framework::TPanel* GaugePanel;
    kit::TCoolGauge* ProgressBar;
    framework::TButton* CancelBtn;
    bool ProgressShown = false;
    // Set by Cancel (or Escape); kept after HideForm until the next ShowForm.
    bool CancelPressed = false;

    // Starts a progress display with fresh gauge colours, an empty gauge and, when Cancellable, the
    // Cancel button. A window already shown is left exactly as it is: a second caller cannot take
    // over a display that runs.
    void ShowForm(const std::string& Caption, bool Cancellable);
    void HideForm();
    void CancelBtnClick();
};

// The shared instance, made at start-up (null before).
extern TProgressForm* ProgressForm;

}  // namespace catalog
