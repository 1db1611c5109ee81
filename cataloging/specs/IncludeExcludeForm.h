#pragma once
// The dialog that edits the program-wide include and exclude specs: two lists of 20 specs side by
// side. Edits take effect in memory at once; Save also stores the 40 specs in the options record of
// KorvaneOptions (in the program folder); Cancel reads them back from there.

#include <array>
#include <string>

#include "framework/ui/Forms.h"

namespace framework {
class TButton;
class TLabel;
}  // namespace framework

namespace entry {
class TCtlController;
class TCtlPictureArrayEditor;
}  // namespace entry

namespace cataloging {

class TIncludeExcludeForm : public framework::TForm {
public:
    explicit TIncludeExcludeForm(framework::TComponent* AOwner);
    ~TIncludeExcludeForm() override;

    framework::TLabel* IncludeLabel;
    framework::TLabel* ExcludeLabel;
    entry::TCtlPictureArrayEditor* IncludeEditor;
    entry::TCtlPictureArrayEditor* ExcludeEditor;
    framework::TButton* SaveButton;
    framework::TButton* CancelButton;
    framework::TButton* HelpButton;
    int HelpContext = 9;

    // Writes the 40 specs, trimmed, to the options record; "Error Saving Include/Exclude Specs"
    // when that fails (the edited specs stay in effect, unstored).
    void SaveSpecs();
    // Reads the 40 specs of the options record back; "Error Restoring Original Include/Exclude
    // Specs" when that fails.
    void RestoreSpecs();

protected:
    void DoClose(framework::TCloseAction& Action) override;

private:
    // The rows edit these texts; every change goes on to the program's lists.
    void Publish();
    void Refill();
    entry::TCtlController* FController;
    bool FRestored = false;  // Cancel read the stored specs back
    std::array<std::string, 20> FInclude, FExclude;
};

// Shows the dialog modally (the Settings menu's "&Include/Exclude Specs").
void ShowIncludeExcludeForm();

}  // namespace cataloging
