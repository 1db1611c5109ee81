#pragma once
// The windows of the offload tool's copy or move run: the prompt for the target drive, the
// recommendation of a catalogued disk, the window shown while one disk is filled, and the
// question about a target disk that already holds files.

#include "framework/ui/Forms.h"

namespace framework {
class TBitBtn;
class TCheckBox;
class TDriveComboBox;
class TLabel;
class TPanel;
class TSpeedButton;
class TSplitter;
}  // namespace framework
namespace entry {
class TCtlRegistryStore;
class TCtlFormState;
class TCtlComponentState;
}  // namespace entry
namespace kit {
class TCoolGauge;
}
namespace sysutil {
class TUtShellTreeView;
class TUtShellListView;
}  // namespace sysutil

namespace tools {

class TDiskFillForm;

class TDiskFillPromptForm : public framework::TForm {
public:
    TDiskFillPromptForm(framework::TComponent* AOwner, TDiskFillForm& Offload);

    framework::TLabel *Note, *TargetLabel, *SaveDrive;
    framework::TDriveComboBox* TargetDrive;
    framework::TCheckBox *CatalogAfter, *DFCatalogSubFolders, *DFIgnoreRecycleBin, *DFTempDBInMem, *DFPause,
        *IgnoreSquelched;
    framework::TSpeedButton* SpeedButton1;
    framework::TBitBtn *ProceedBtn, *CancelBtn, *HelpBtn, *BitBtn4;
    entry::TCtlRegistryStore* Store;
    entry::TCtlComponentState* ComponentState;
    int HelpContext = 81;

    void CatalogAfterClick();
    void SpeedButton1Click();
    // Recommends catalogued disks until the user proceeds, closes or nothing is left.
    void BitBtn4Click();
    bool CloseQuery() override;

protected:
    void DoShow() override;

private:
    TDiskFillForm& FOffload;
};

class TDiskFillRecommendForm : public framework::TForm {
public:
    explicit TDiskFillRecommendForm(framework::TComponent* AOwner);

    framework::TLabel *VolumeLabel, *FreeSpace;
    framework::TDriveComboBox* TargetDrive;
    framework::TBitBtn *ProceedBtn, *CloseBtn, *RetryBtn;

    // Proceeds only when the disk in the chosen drive carries the recommended label.
    void BitBtn1Click();
};

class TDiskFillCopyForm : public framework::TForm {
public:
    explicit TDiskFillCopyForm(framework::TComponent* AOwner);

    framework::TLabel *TargetDrive, *VolumeLabel, *SerialNumber, *Capacity, *FreeSpace, *ClusterSize,
        *TaggedFiles, *TaggedBytes, *FileOperation, *FileSize;
    framework::TPanel* StatusPanel;
    kit::TCoolGauge* StatusProgressBar;
    framework::TBitBtn* CancelBtn;
    bool CancelRequested = false;

    void CancelBtnClick();

protected:
    void DoShow() override;
};

class TDiskFillNotEmptyForm : public framework::TForm {
public:
    explicit TDiskFillNotEmptyForm(framework::TComponent* AOwner);

    framework::TLabel* Explanation;
    framework::TPanel *FolderPanel, *ButtonPanel;
    sysutil::TUtShellTreeView* FolderList;
    sysutil::TUtShellListView* FileList;
    framework::TSplitter* Splitter1;
    framework::TBitBtn *EraseBtn, *LeaveBtn, *ReturnBtn, *HelpBtn;
    entry::TCtlRegistryStore* Store;
    entry::TCtlFormState* FormState;
    entry::TCtlComponentState* ComponentState;
    int HelpContext = 80;
    char Drive = 'A';

    // Shows the drive's root in both views.
    void ShowDrive(char Letter);
    void BitBtn1Click();
};

}  // namespace tools
