#pragma once
// TCatalogFolderForm: picks the folder of the catalog tables. A drive box and a folder list; the
// result is DList's Directory, which changes only when a folder is opened (double click or Enter),
// not when it is merely highlighted. The caller sets DList's Directory to start from, shows the
// form modally and on mrOk takes DList's Directory.

#include "framework/ui/Forms.h"

namespace framework {
class TBitBtn;
class TDirectoryListBox;
class TDriveComboBox;
class TLabel;
}  // namespace framework

namespace catalog {

class TCatalogFolderForm : public framework::TForm {
public:
    explicit TCatalogFolderForm(framework::TComponent* AOwner);

    framework::TDriveComboBox* DriveComboBox1;
    framework::TDirectoryListBox* DList;
    framework::TLabel* NoteLabel;
    framework::TBitBtn* ApplyBtn;
    framework::TBitBtn* CancelBtn;
    framework::TBitBtn* HelpBtn;
    // The help topic of the Help button.
    int HelpContext = 6;
};

}  // namespace catalog
