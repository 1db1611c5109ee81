#include "catalog/CatalogFolderForm.h"

#include "catalog/FormParts.h"
#include "framework/stdctrls/FileCtrl.h"
#include "framework/stdctrls/Label.h"

namespace catalog {

using namespace framework;

TCatalogFolderForm::TCatalogFolderForm(TComponent* AOwner) : TForm(AOwner) {
    SetName("CatalogFolderForm");
    SetCaption("Select Folder For Korvane Data");
    SetBorderStyle(bsDialog);
    Position = poScreenCenter;
    SetClientSize(330, 330);
    DriveComboBox1 = NewComponent<TDriveComboBox>(this);
    DriveComboBox1->SetName("DriveComboBox1");
    DriveComboBox1->SetParent(this);
    DriveComboBox1->SetBounds(12, 12, 306, 21);
    DList = NewComponent<TDirectoryListBox>(this);
    DList->SetName("DList");
    DList->SetParent(this);
    DList->SetBounds(12, 42, 306, 180);
    DriveComboBox1->DirList = DList;
    NoteLabel = NewComponent<TLabel>(this);
    NoteLabel->SetName("NoteLabel");
    NoteLabel->SetParent(this);
    NoteLabel->SetAutoSize(false);
    NoteLabel->SetAlignment(taCenter);
    NoteLabel->SetBounds(12, 232, 306, 48);
    NoteLabel->SetCaption(
        "Note that you must double click on the desired \n"
        "folder, so that it is open, before you\n"
        "click Apply.");
    ApplyBtn = NewDialogButton(*this, *this, "ApplyBtn", bkOK, 12, 288);
    ApplyBtn->SetCaption("&Apply");
    CancelBtn = NewDialogButton(*this, *this, "CancelBtn", bkCancel, 120, 288);
    HelpBtn = NewDialogButton(*this, *this, "HelpBtn", bkHelp, 229, 288, &HelpContext);
    SetActiveControl(DList);
}

}  // namespace catalog
