#include "cataloging/dialogs/FileNotFoundForm.h"

#include <cctype>

#include "catalog/FormParts.h"
#include "framework/stdctrls/FileCtrl.h"
#include "framework/stdctrls/Label.h"
#include "platform/Beep.h"
#include "platform/Files.h"

namespace cataloging {

using namespace framework;

namespace {

// A label of one line; Bold for the names of the buttons in the instructions.
TLabel* Line(TForm& Form, const char* Name, int Left, int Top, int Width, const std::string& Caption,
             bool Bold = false) {
    TLabel* label = catalog::NewLabel(Form, Form, Name, Left, Top, Width, Caption);
    if (Bold) {
        TFont bold = label->Font();
        bold.Style = fsBold;
        label->SetFont(bold);
    }
    return label;
}

}  // namespace

TFileNotFoundForm::TFileNotFoundForm(TComponent* AOwner) : TForm(AOwner) {
    SetName("FileNotFoundForm");
    SetCaption("File Not Found");
    SetBorderStyle(bsDialog);
    Position = poScreenCenter;
    SetClientSize(560, 268);

    Line(*this, "LocateLabel", 12, 10, 536, "Korvane Was Unable To Locate The File:");
    FName = catalog::NewPanel(*this, *this, "FName", 12, 28, 536, 22, bvLowered);
    FName->SetAlignment(taLeftJustify);
    Line(*this, "OnDriveLabel", 12, 63, 56, "On Drive");
    DriveSelect = NewComponent<TDriveComboBox>(this);
    DriveSelect->SetName("DriveSelect");
    DriveSelect->SetParent(this);
    DriveSelect->SetBounds(72, 59, 200, 21);
    Line(
        *this, "DriveNoteLabel", 12, 86, 536,
        "(The Drive Above Is Originally Set To The Drive From Which The File Was Originally Cataloged, If It "
        "Exists)");
    Line(*this, "VolumeLabelLabel", 12, 115, 240, "Originally Cataloged Under The Volume Label");
    VLabel = catalog::NewPanel(*this, *this, "VLabel", 256, 111, 120, 22, bvLowered);
    VLabel->SetAlignment(taLeftJustify);

    Line(*this, "RetryLabel1", 12, 148, 536,
         "If You Wish To Try Again, Set The Drive Above To The Appropriate Drive (If Necessary), Make Sure "
         "The");
    Line(*this, "RetryLabel2", 12, 164, 236, "Disk Containing The File Is Inserted And Click ");
    Line(*this, "RetryLabel3", 231, 164, 60, "Retry", true);
    Line(*this, "CancelLabel1", 12, 186, 236, "Or To Abort The File Open Operation, Click");
    Line(*this, "CancelLabel2", 226, 186, 60, "Cancel", true);

    RetryBtn = catalog::NewDialogButton(*this, *this, "RetryBtn", bkRetry, 138, 222);
    RetryBtn->SetDefault(true);
    CancelBtn = catalog::NewDialogButton(*this, *this, "CancelBtn", bkCancel, 235, 222);
    HelpBtn = catalog::NewDialogButton(*this, *this, "HelpBtn", bkHelp, 332, 222, &HelpContext);
    SetActiveControl(RetryBtn);
}

char TFileNotFoundForm::SelectedDrive() const {
    return char(std::toupper(uint8_t(DriveSelect->Drive())));
}

namespace {

bool FileThere(const std::string& Path) {
    const uint32_t attributes = platform::GetFileAttributes(Path);
    return attributes != platform::INVALID_FILE_ATTRIBUTES &&
           !(attributes & platform::FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

std::string LocateCatalogedFile(char Drive, const std::string& FolderName, const std::string& FileName,
                                const std::string& VolumeLabel) {
    const std::string inFolder =
        (FolderName.empty() || FolderName.back() != '\\' ? FolderName + "\\" : FolderName) + FileName;
    Drive = char(std::toupper(uint8_t(Drive)));
    for (;;) {
        const std::string path = std::string(1, Drive) + ":" + inFolder;
        if (FileThere(path)) return path;
        auto* dialog = TCustomForm::Create<TFileNotFoundForm>(Application);
        TModalResult result = mrCancel;
        try {
            dialog->DriveSelect->SetDrive(Drive);
            dialog->FName->SetCaption(path.substr(2));
            dialog->VLabel->SetCaption(VolumeLabel);
            platform::MessageBeep(platform::MB_OK);
            result = dialog->ShowModal();
            Drive = dialog->SelectedDrive();
        } catch (...) {
            dialog->Free();
            throw;
        }
        dialog->Free();
        if (result != mrRetry) return {};
    }
}

}  // namespace cataloging
