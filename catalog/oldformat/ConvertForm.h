#pragma once
// The dialog that converts old catalogs: a folder tree over the drives and a list of the "*.DTA"
// files of the chosen folder; Convert turns the selected data file's catalog into a new, current
// catalog and leaves the dialog open for the next one.

#include <string>

#include "framework/ui/Forms.h"

namespace framework {
class TBitBtn;
class TLabel;
}  // namespace framework
namespace sysutil {
class TUtShellListView;
class TUtShellTreeView;
}  // namespace sysutil

namespace catalog::oldformat {

class TConvertForm : public framework::TForm {
public:
    explicit TConvertForm(framework::TComponent* AOwner);

    framework::TLabel* NoteLabel;
    sysutil::TUtShellTreeView* FolderList;
    sysutil::TUtShellListView* FileList;
    framework::TBitBtn* BitBtn1;  // Convert
    framework::TBitBtn* CloseBtn;
    framework::TBitBtn* HelpBtn;
    int HelpContext = 85;

    // The path of the first file selected in FileList ("" when none is).
    std::string SelectedPath();
    void BitBtn1Click();
};

// Shows the dialog modally (the Convert menu's command); the caller then refreshes its panels.
void ShowConvertForm();

}  // namespace catalog::oldformat
