#pragma once
// The two questions a cataloguing run may ask: whether to read an archive, and what to do with an
// entry whose names exceed the widths of the temporary table.

#include <string>

#include "catalog/FormParts.h"
#include "framework/ui/Forms.h"

namespace framework {
class TButton;
class TEdit;
class TLabel;
}  // namespace framework

namespace kit {
class TEllipsisPanel;
}

namespace cataloging {

// The program's error box (a beep, then the text with OK), for the cataloguing windows.
using catalog::ErrorBox;

// "Expand Archive?": Yes (mrYes), Yes To All (mrYesToAll), No (the Cancel button, mrNo),
// No To All (mrNoToAll), Stop Cataloging (mrAbort).
class TConfirmExpandArchiveForm : public framework::TForm {
public:
    explicit TConfirmExpandArchiveForm(framework::TComponent* AOwner);
    kit::TEllipsisPanel* ArchiveNamePanel;
    framework::TButton *YesBtn, *YesToAllBtn, *NoBtn, *NoToAllBtn, *StopBtn, *HelpBtn;
    int HelpContext = 58;
};

// The name limits of the temporary table.
inline constexpr int kFileNameLimit = 200;
inline constexpr int kFolderNameLimit = 200;
inline constexpr int kArchiveIDLimit = 90;

// "File Record Exceeds Korvane's Capacity": a name that fits shows in its label, one that does not
// in its edit box with its length. Results: mrOk (use the edited names), mrNo (skip this one),
// mrNoToAll (skip all bad ones), mrAbort.
class TCatalogProgressBadEntryForm : public framework::TForm {
public:
    explicit TCatalogProgressBadEntryForm(framework::TComponent* AOwner);
    // Shows the three names, each in its label or, when too long, in its edit box.
    void SetNames(const std::string& FileName, const std::string& FolderName, const std::string& ArchiveID);
    void UpdateUseModifiedButton();

    framework::TLabel *FileNameLabel, *FolderNameLabel, *ArchiveIDLabel;
    framework::TEdit *EditFileName, *EditFolderName, *EditArchiveID;
    framework::TLabel *FileNameLength, *FolderNameLength, *ArchiveIDLength;
    framework::TButton *UseModBtn, *SkipBtn, *SkipAllBtn, *AbortBtn, *HelpBtn;
    int HelpContext = 26;
};

}  // namespace cataloging
