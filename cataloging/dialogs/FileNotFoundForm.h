#pragma once
// TFileNotFoundForm: a catalogued file is not where it was looked for. It shows the path without
// its drive and the volume's catalogued label, and lets the user pick another drive and retry
// (mrRetry) or give up (mrCancel). The caller fills DriveSelect, FName and VLabel, shows it
// modally and reads SelectedDrive.
//
// LocateCatalogedFile below is the whole exchange as the program's windows run it.

#include <string>

#include "framework/ui/Forms.h"

namespace framework {
class TBitBtn;
class TDriveComboBox;
class TLabel;
class TPanel;
}  // namespace framework

namespace cataloging {

class TFileNotFoundForm : public framework::TForm {
public:
    explicit TFileNotFoundForm(framework::TComponent* AOwner);

    framework::TPanel* FName;
    framework::TDriveComboBox* DriveSelect;
    framework::TPanel* VLabel;
    framework::TBitBtn* RetryBtn;
    framework::TBitBtn* CancelBtn;
    framework::TBitBtn* HelpBtn;
    int HelpContext = 93;

    // The drive selected now, upper case.
    char SelectedDrive() const;
};

// The label shown for a volume that has no record in the catalog.
inline constexpr const char* kUnknownVolumeLabel = "<Unknown>";

// Looks for a catalogued file: Drive + ":" + its folder ("\" or "\DOCS") and name. While the file is
// not there the dialog asks, preset to Drive, showing the path without its drive and VolumeLabel,
// after a beep; Retry looks again on the drive then selected. The path found, or empty when the
// user cancelled. Drive is the first character of the volume's CatalogedFrom ("A" for a volume
// without a record, whose label is kUnknownVolumeLabel).
std::string LocateCatalogedFile(char Drive, const std::string& FolderName, const std::string& FileName,
                                const std::string& VolumeLabel);

}  // namespace cataloging
