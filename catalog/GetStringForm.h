#pragma once
// TGetStringForm: a modal prompt for one line of text. The caller sets Prompt's caption and the
// text and character case of ResultString, shows the form modally, reads ResultString's text when
// the result is mrOk and releases the form.

#include <string>

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

// Shows the prompt with Caption and PromptText, typed in upper case. On OK the prompt is hidden,
// Answer takes its trimmed text and the result is true; otherwise Answer is left alone.
bool AskForString(const std::string& Caption, const std::string& PromptText, std::string& Answer);

}  // namespace catalog
