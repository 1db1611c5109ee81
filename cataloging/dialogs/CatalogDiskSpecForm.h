#pragma once
// TCatalogDiskSpecForm: the criteria of a cataloguing run (drive, start folder, sub-folders, stats
// only, recycle folder, temporary tables in memory) and the starting point of one run after another
// ("Catalog Now"); it also opens the current catalog's options. The run options and the drive used
// last are kept in the section "TCatalogDiskSpecForm" between sessions.

#include <functional>

#include "framework/ui/Forms.h"

namespace framework {
class TBitBtn;
class TCheckBox;
class TDriveComboBox;
class TEdit;
class TGroupBox;
class TLabel;
class TRadioButton;
class TSpeedButton;
}  // namespace framework
namespace entry {
class TCtlComponentState;
class TCtlRegistryStore;
}  // namespace entry

namespace cataloging {

class TCatalogDiskSpecForm : public framework::TForm {
public:
    explicit TCatalogDiskSpecForm(framework::TComponent* AOwner);

    framework::TDriveComboBox* DriveComboBox;
    framework::TEdit* StartDir;
    framework::TSpeedButton* SpeedButton1;
    framework::TCheckBox* Recurse;
    framework::TGroupBox* CatalogGroup;
    framework::TRadioButton* StatsFiles;
    framework::TRadioButton* StatsOnly;
    framework::TCheckBox* IgnoreRecycle;
    framework::TCheckBox* KeepInMemory;
    // The drive used last, kept with the other settings.
    framework::TLabel* LastDriveLabel;
    framework::TBitBtn* BitBtn1;
    framework::TBitBtn* OptionsBtn;
    framework::TBitBtn* BitBtn2;
    framework::TBitBtn* BitBtn3;
    entry::TCtlRegistryStore* Store;
    entry::TCtlComponentState* ComponentState;
    int HelpContext = 25;

    // Refreshes the main window's status panels; called after every run, whatever its end.
    std::function<void()> RefreshStatPanels;

    // The selected drive letter, upper case.
    char DriveLetter() const;

    void FormShow();
    void DriveComboBoxChange();
    void SpeedButton1Click();
    void OptionsBtnClick();
    // Catalog Now: one run of the cataloguing window over the chosen drive and folder.
    void BitBtn1Click();
    void FormCloseQuery(bool& CanClose);
};

}  // namespace cataloging
