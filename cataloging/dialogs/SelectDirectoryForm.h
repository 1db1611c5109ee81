#pragma once
// TSelectDirectoryForm: picks a folder from a folder list, on the drive the caller chose or, with
// DrivePanel shown, on any drive. The caller fills it, shows it modally and on mrOk reads
// DirectoryList's Directory. The window's placement is kept in the section "TSelectDirectoryForm".
//
// The two ways the program's windows use it are the functions below the class.

#include <string>

#include "framework/ui/Forms.h"

namespace framework {
class TBitBtn;
class TDirectoryListBox;
class TDriveComboBox;
class TLabel;
class TPanel;
}  // namespace framework
namespace entry {
class TCtlFormState;
class TCtlRegistryStore;
}  // namespace entry

namespace cataloging {

class TSelectDirectoryForm : public framework::TForm {
public:
    explicit TSelectDirectoryForm(framework::TComponent* AOwner);

    framework::TPanel* TopPanel;
    framework::TLabel* SelectionLabel;
    // The list's current folder, kept up to date by the list.
    framework::TLabel* DirLabel;
    // Hidden unless the caller shows it: the drive box that moves the list to another drive.
    framework::TPanel* DrivePanel;
    framework::TDriveComboBox* DriveComboBox1;
    framework::TDirectoryListBox* DirectoryList;
    framework::TPanel* ButtonPanel;
    framework::TBitBtn* OKBtn;
    framework::TBitBtn* CancelBtn;
    framework::TBitBtn* HelpBtn;
    entry::TCtlRegistryStore* Store;
    entry::TCtlFormState* FormState;
    int HelpContext = 74;

    // Puts the list on the root of a drive (the drive box follows). Raises EInOutError when the
    // drive's root cannot be read: a drive letter the drive map does not hold, a missing folder
    // behind it, a drive without a disk.
    void OpenDriveRoot(char Drive);
};

// A start folder on the caller's drive (the criteria of a cataloguing run, the directory of a disk):
// the list opens on the drive's root. When the root cannot be read the dialog is not shown: a
// warning beep and "Error Reading Structure Of Drive X:". On OK StartFolder becomes the chosen
// folder ("D:\DOCS"); otherwise it stays. True when it changed.
bool ChooseStartFolder(char Drive, std::string& StartFolder);

// A folder on any drive (a destination of retrieved files): the drive box is shown, the list opens
// on Folder and on OK its folder replaces Folder. True when it changed.
bool ChooseFolderOnAnyDrive(std::string& Folder);

}  // namespace cataloging
