#pragma once
// TGetStringForm: a modal prompt for one line of text. The caller sets Prompt's caption and the
// text and character case of ResultString, shows the form modally, reads ResultString's text when
// the result is mrOk and releases the form.

#include "framework/ui/Forms.h"

namespace framework {
class TBitBtn;
class TEdit;
class TLabel;
class TPanel;
}  // namespace framework

namespace catalog {

class TGetStringForm : public framework::TForm {
public:
    explicit TGetStringForm(framework::TComponent* AOwner);

    framework::TPanel* PromptPanel;
    framework::TLabel* Prompt;
    framework::TEdit* ResultString;
    framework::TBitBtn* OKBtn;
    framework::TBitBtn* CancelBtn;
    framework::TBitBtn* HelpBtn;
    // The help topic of the Help button.
    int HelpContext = 71;
};

}  // namespace catalog
