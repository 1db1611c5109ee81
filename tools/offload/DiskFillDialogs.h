#pragma once
// The two dialogs of the offload window's catalog and archive commands: the options of inverting
// the tags of duplicates, and the comments of an archive.

#include "framework/ui/Forms.h"

namespace framework {
class TBitBtn;
class TCheckBox;
class TLabel;
class TMemo;
class TPanel;
class TSplitter;
}  // namespace framework
namespace entry {
class TCtlRegistryStore;
class TCtlFormState;
class TCtlComponentState;
}  // namespace entry

namespace tools {

// "Invert Tags Of Duplicate Files Found In Catalog": what besides the name makes a duplicate.
class TDiskFillInvertDuplicateForm : public framework::TForm {
public:
    explicit TDiskFillInvertDuplicateForm(framework::TComponent* AOwner);
    framework::TLabel* Explanation;
    framework::TCheckBox *UseDate, *UseSize, *CheckArcs;
    framework::TBitBtn *ProceedBtn, *CancelBtn;
    entry::TCtlRegistryStore* Store;
    entry::TCtlComponentState* ComponentState;
};

// "File Comment": an archive's main comment above its FILE_ID.DIZ text.
class TDiskFillShowCmtForm : public framework::TForm {
public:
    explicit TDiskFillShowCmtForm(framework::TComponent* AOwner);
    framework::TPanel* FileNamePanel;
    framework::TPanel *ArchivePanel, *DizPanel;
    framework::TLabel *ArchiveHeading, *DizHeading;
    framework::TMemo *ArchiveComment, *DizComment;
    framework::TSplitter* Splitter1;
    framework::TPanel* ButtonPanel;
    framework::TBitBtn* CloseBtn;
    entry::TCtlRegistryStore* Store;
    entry::TCtlFormState* FormState;
};

}  // namespace tools
