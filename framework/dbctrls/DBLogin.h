#pragma once
// The remote login dialog: a user name, a password (shown as "*"), OK and Cancel. Sessions reach
// it through the remote-login hook of the data library, which this unit installs.

#include <string>

#include "framework/stdctrls/StdCtrls.h"
#include "framework/ui/Forms.h"

namespace framework {

class TRemoteLoginForm : public TForm {
public:
    explicit TRemoteLoginForm(TComponent* AOwner);
    TLabel* UserNameLabel;
    TEdit* UserName;
    TLabel* PasswordLabel;
    TEdit* Password;
    TButton* OKButton;
    TButton* CancelButton;
};

// Shows the dialog modally with the given names filled in. OK writes the typed user name and
// password back and answers true; Cancel leaves them and answers false.
bool RemoteLoginDialog(std::string& UserName, std::string& Password);

// Makes the data library's remote login ask this dialog (done once when the program starts; the
// call may be repeated).
void InstallRemoteLoginDialog();

}  // namespace framework
