#pragma once
// The window that asks for a table password: the user adds passwords to the session (Add), takes
// them away (Remove, Remove all), and closes it with OK (adding what the edit holds) so that the
// engine looks for the table's password again, or with Cancel.

#include <string>

#include "framework/ui/Forms.h"

namespace framework {
class TButton;
class TEdit;
class TGroupBox;
}  // namespace framework

namespace dbsql {

class TDbSession;

class TDbPasswordDialog : public framework::TForm {
public:
    explicit TDbPasswordDialog(framework::TComponent* AOwner);

    framework::TGroupBox* GroupBox1;
    framework::TEdit* Edit;
    framework::TButton* AddButton;
    framework::TButton* RemoveButton;
    framework::TButton* RemoveAllButton;
    framework::TButton* OKButton;
    framework::TButton* CancelButton;

    TDbSession* Session = nullptr;
    bool PasswordAdded() const { return FPasswordAdded; }

private:
    void EditChange();
    void AddButtonClick();
    void RemoveButtonClick();
    void RemoveAllButtonClick();
    void OKButtonClick();
    bool FPasswordAdded = false;
};

// Shows the dialog for the session; true when the user closed it with OK.
bool PasswordDialog(TDbSession* session);

}  // namespace dbsql
