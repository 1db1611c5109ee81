#pragma once
// The two questions of the cleanup tools' disk-by-disk work: a file that is not where the catalog
// says, and a destination folder that does not exist. The caller fills the labels, shows the
// dialog modally and reads the result: Retry (try again), Ignore (skip the file), Abort (skip the
// disk) or Cancel (end the whole operation).

#include "framework/ui/Forms.h"

namespace framework {
class TBitBtn;
class TDriveComboBox;
class TEdit;
class TLabel;
}  // namespace framework
namespace entry {
class TCtlAttachedButton;
}

namespace tools {

class TSourceFileNotFoundForm : public framework::TForm {
public:
    explicit TSourceFileNotFoundForm(framework::TComponent* AOwner);

    framework::TLabel* WhatFile;
    framework::TDriveComboBox* NewDrive;
    framework::TBitBtn *CancelBtn, *RetrieveSkipDiskBtn, *RetrieveSkipFileBtn, *RetryBtn;

protected:
    void DoShow() override;
};

class TTargetFolderDoesntExistForm : public framework::TForm {
public:
    explicit TTargetFolderDoesntExistForm(framework::TComponent* AOwner);

    framework::TLabel* WhatFolder;
    framework::TEdit* NewFolder;
    entry::TCtlAttachedButton* CtlAttachedButton1;
    framework::TBitBtn *BitBtn3, *BitBtn2, *SkipFileBtn, *SkipDiskBtn, *CancelBtn;

    // "&Try To Create This Folder.": creates the folder named by WhatFolder (one level).
    void BitBtn3Click();
    // "&Retry With The New Folder": the new folder must hold a drive letter.
    void BitBtn2Click();
    void CtlAttachedButton1Click();

protected:
    void DoShow() override;
};

// Makes a label's text smaller (8 points) when it is wider than the label.
void FitLabelText(framework::TLabel& Label);

}  // namespace tools
