#include "framework/dbctrls/DBLogin.h"

#include "framework/data/RemoteLogin.h"

namespace framework {

TRemoteLoginForm::TRemoteLoginForm(TComponent* AOwner) : TForm(AOwner) {
    SetName("RemoteLoginForm");
    SetCaption("Remote Login");
    SetBorderStyle(bsDialog);
    Position = poScreenCenter;
    SetClientSize(260, 112);
    auto place = [this](auto* c, int x, int y, int w, int h) {
        c->SetParent(this);
        c->SetBounds(x, y, w, h);
        return c;
    };
    UserNameLabel = place(NewComponent<TLabel>(this), 8, 12, 70, 13);
    UserNameLabel->SetCaption("&User Name:");
    UserName = place(NewComponent<TEdit>(this), 84, 8, 168, 21);
    UserName->SetName("UserName");
    UserName->SetMaxLength(255);
    UserNameLabel->SetFocusControl(UserName);
    PasswordLabel = place(NewComponent<TLabel>(this), 8, 42, 70, 13);
    PasswordLabel->SetCaption("&Password:");
    Password = place(NewComponent<TEdit>(this), 84, 38, 168, 21);
    Password->SetName("Password");
    Password->SetMaxLength(255);
    Password->SetPasswordChar('*');
    PasswordLabel->SetFocusControl(Password);
    OKButton = place(NewComponent<TButton>(this), 96, 76, 75, 25);
    OKButton->SetName("OKButton");
    OKButton->SetCaption("OK");
    OKButton->ModalResult = mrOk;
    OKButton->SetDefault(true);
    CancelButton = place(NewComponent<TButton>(this), 177, 76, 75, 25);
    CancelButton->SetName("CancelButton");
    CancelButton->SetCaption("Cancel");
    CancelButton->ModalResult = mrCancel;
    CancelButton->Cancel = true;
}

bool RemoteLoginDialog(std::string& UserName, std::string& Password) {
    auto* form = TCustomForm::Create<TRemoteLoginForm>(Application);
    bool ok = false;
    try {
        form->UserName->SetText(UserName);
        form->Password->SetText(Password);
        // With a user name given, the password is what is left to type.
        form->SetActiveControl(UserName.empty() ? form->UserName : form->Password);
        ok = form->ShowModal() == mrOk;
        if (ok) {
            UserName = form->UserName->Text();
            Password = form->Password->Text();
        }
    } catch (...) {
        form->Free();
        throw;
    }
    form->Free();
    return ok;
}

void InstallRemoteLoginDialog() {
    SetRemoteLoginDialog([](std::string& UserName, std::string& Password) {
        return framework::RemoteLoginDialog(UserName, Password);
    });
}

}  // namespace framework
