#include "dbsql/components/DbPasswordDialog.h"

#include "dbsql/components/DbSession.h"
#include "framework/stdctrls/Button.h"
#include "framework/stdctrls/Edit.h"
#include "framework/stdctrls/GroupBox.h"

namespace dbsql {

using namespace framework;

namespace {

TButton* NewButton(TWinControl* parent, TComponent* owner, const char* name, const char* caption, int x,
                   int y) {
    auto* b = NewComponent<TButton>(owner);
    b->SetName(name);
    b->SetParent(parent);
    b->SetCaption(caption);
    b->SetBounds(x, y, 75, 25);
    return b;
}

}  // namespace

TDbPasswordDialog::TDbPasswordDialog(TComponent* AOwner) : TForm(AOwner) {
    SetBorderStyle(bsDialog);
    Position = poScreenCenter;
    SetCaption("Enter password");
    SetClientSize(273, 132);
    GroupBox1 = NewComponent<TGroupBox>(this);
    GroupBox1->SetName("GroupBox1");
    GroupBox1->SetParent(this);
    GroupBox1->SetCaption("Password");
    GroupBox1->SetBounds(8, 6, 257, 85);
    Edit = NewComponent<TEdit>(this);
    Edit->SetName("Edit");
    Edit->SetParent(GroupBox1);
    Edit->SetBounds(12, 20, 233, 21);
    Edit->SetPasswordChar('*');
    Edit->SetText("");
    Edit->OnChange = [this](TObject*) { EditChange(); };
    AddButton = NewButton(GroupBox1, this, "AddButton", "&Add", 12, 50);
    AddButton->SetEnabled(false);
    AddButton->OnClick = [this](TObject*) { AddButtonClick(); };
    RemoveButton = NewButton(GroupBox1, this, "RemoveButton", "&Remove", 91, 50);
    RemoveButton->SetEnabled(false);
    RemoveButton->OnClick = [this](TObject*) { RemoveButtonClick(); };
    RemoveAllButton = NewButton(GroupBox1, this, "RemoveAllButton", "Re&move all", 170, 50);
    RemoveAllButton->OnClick = [this](TObject*) { RemoveAllButtonClick(); };
    OKButton = NewButton(this, this, "OKButton", "&OK", 109, 99);
    OKButton->SetEnabled(false);
    OKButton->SetDefault(true);
    OKButton->ModalResult = mrOk;
    OKButton->OnClick = [this](TObject*) { OKButtonClick(); };
    CancelButton = NewButton(this, this, "CancelButton", "Cancel", 190, 99);
    CancelButton->Cancel = true;
    CancelButton->ModalResult = mrCancel;
    SetActiveControl(Edit);
}

void TDbPasswordDialog::EditChange() {
    bool hasText = !Edit->Text().empty();
    AddButton->SetEnabled(hasText);
    RemoveButton->SetEnabled(hasText);
    OKButton->SetEnabled(hasText || FPasswordAdded);
}

void TDbPasswordDialog::AddButtonClick() {
    Session->AddPassword(Edit->Text());
    FPasswordAdded = true;
    Edit->Clear();
    Edit->SetFocus();
}

void TDbPasswordDialog::RemoveButtonClick() {
    Session->RemovePassword(Edit->Text());
    Edit->Clear();
    Edit->SetFocus();
}

void TDbPasswordDialog::RemoveAllButtonClick() {
    Session->RemoveAllPasswords();
    Edit->SetFocus();
}

void TDbPasswordDialog::OKButtonClick() {
    Session->AddPassword(Edit->Text());
}

bool PasswordDialog(TDbSession* session) {
    auto* form = TCustomForm::Create<TDbPasswordDialog>(Application);
    bool ok = false;
    try {
        form->Session = session;
        ok = form->ShowModal() == mrOk;
    } catch (...) {
        form->Free();
        throw;
    }
    form->Free();
    return ok;
}

}  // namespace dbsql
