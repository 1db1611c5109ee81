#include "cataloging/dialogs/SelectDirectoryForm.h"

#include <cctype>
#include <functional>

#include "catalog/FormParts.h"
#include "controls/entry/CtlState.h"
#include "framework/core/Exception.h"
#include "framework/stdctrls/Dialogs.h"
#include "framework/stdctrls/FileCtrl.h"
#include "framework/stdctrls/Label.h"
#include "platform/Beep.h"
#include "platform/Files.h"
#include "platform/Process.h"

namespace cataloging {

using namespace framework;

TSelectDirectoryForm::TSelectDirectoryForm(TComponent* AOwner) : TForm(AOwner) {
    SetName("SelectDirectoryForm");
    SetCaption("Select Folder");
    SetBorderStyle(bsSizeable);
    Position = poScreenCenter;
    Constraints().SetMinWidth(350);
    Constraints().SetMinHeight(200);
    SetClientSize(372, 330);

    Store = NewComponent<entry::TCtlRegistryStore>(this);
    Store->SetName("Store");
    FormState = NewComponent<entry::TCtlFormState>(this);
    FormState->SetName("FormState");
    FormState->SetStorage(Store);
    FormState->SetSection("TSelectDirectoryForm");

    // Laid out top to bottom; the list takes what the panels leave.
    TopPanel = catalog::NewPanel(*this, *this, "TopPanel", 0, 0, 372, 46, bvNone);
    TopPanel->SetAlign(alTop);
    SelectionLabel = catalog::NewLabel(*this, *TopPanel, "SelectionLabel", 8, 6, 356,
                                       "Current Selection (Double Click In List To Change)");
    DirLabel = catalog::NewLabel(*this, *TopPanel, "DirLabel", 8, 24, 356, "");
    DirLabel->SetAnchors(akLeft | akTop | akRight);
    TFont navy = DirLabel->Font();
    navy.Color = clNavy;
    DirLabel->SetFont(navy);

    DrivePanel = catalog::NewPanel(*this, *this, "DrivePanel", 0, 46, 372, 32, bvNone);
    DrivePanel->SetAlign(alTop);
    catalog::NewLabel(*this, *DrivePanel, "DriveLabel", 8, 7, 110, "Change Drive Here:");
    DriveComboBox1 = NewComponent<TDriveComboBox>(this);
    DriveComboBox1->SetName("DriveComboBox1");
    DriveComboBox1->SetParent(DrivePanel);
    DriveComboBox1->SetBounds(120, 4, 244, 21);
    DriveComboBox1->SetAnchors(akLeft | akTop | akRight);
    DrivePanel->SetVisible(false);

    ButtonPanel = catalog::NewPanel(*this, *this, "ButtonPanel", 0, 285, 372, 45, bvNone);
    ButtonPanel->SetAlign(alBottom);
    OKBtn = catalog::NewDialogButton(*this, *ButtonPanel, "OKBtn", bkOK, 86, 6);
    CancelBtn = catalog::NewDialogButton(*this, *ButtonPanel, "CancelBtn", bkCancel, 181, 6);
    HelpBtn = catalog::NewDialogButton(*this, *ButtonPanel, "HelpBtn", bkHelp, 276, 6, &HelpContext);
    for (TBitBtn* button : {OKBtn, CancelBtn, HelpBtn}) button->SetAnchors(akTop | akRight);

    DirectoryList = NewComponent<TDirectoryListBox>(this);
    DirectoryList->SetName("DirectoryList");
    DirectoryList->SetParent(this);
    DirectoryList->SetAlign(alClient);
    DirectoryList->DirLabel = DirLabel;
    DriveComboBox1->DirList = DirectoryList;
    SetActiveControl(DirectoryList);
}

void TSelectDirectoryForm::OpenDriveRoot(char Drive) {
    Drive = char(std::toupper(uint8_t(Drive)));
    const std::string root = std::string(1, Drive) + ":\\";
    const uint32_t attributes = platform::GetFileAttributes(root);
    if (attributes == platform::INVALID_FILE_ATTRIBUTES || !(attributes & platform::FILE_ATTRIBUTE_DIRECTORY))
        throw EInOutError("Cannot read the folders of drive " + std::string(1, Drive) + ":",
                          int(platform::GetLastError()));
    DriveComboBox1->SetDrive(Drive);
    DirectoryList->SetDirectory(root);
}

namespace {

// Makes a picker, lets Prepare set it up (false: it is not shown), shows it and on OK puts its
// folder into Folder; the picker is released in every case. True when Folder changed.
bool RunPicker(std::string& Folder, const std::function<bool(TSelectDirectoryForm&)>& Prepare) {
    auto* dialog = TCustomForm::Create<TSelectDirectoryForm>(Application);
    bool changed = false;
    try {
        if (Prepare(*dialog) && dialog->ShowModal() == mrOk) {
            Folder = dialog->DirectoryList->Directory();
            changed = true;
        }
    } catch (...) {
        dialog->Free();
        throw;
    }
    dialog->Free();
    return changed;
}

}  // namespace

bool ChooseStartFolder(char Drive, std::string& StartFolder) {
    Drive = char(std::toupper(uint8_t(Drive)));
    bool readable = true;
    const bool changed = RunPicker(StartFolder, [&](TSelectDirectoryForm& Dialog) {
        try {
            Dialog.OpenDriveRoot(Drive);
        } catch (const std::exception&) {
            readable = false;
        }
        return readable;
    });
    if (!readable) {
        platform::MessageBeep(platform::MB_ICONEXCLAMATION);
        MessageDlg("Error Reading Structure Of Drive " + std::string(1, Drive) + ":", mtError, {mbOK}, 0);
    }
    return changed;
}

bool ChooseFolderOnAnyDrive(std::string& Folder) {
    return RunPicker(Folder, [&](TSelectDirectoryForm& Dialog) {
        Dialog.DrivePanel->SetVisible(true);
        Dialog.DirectoryList->SetDirectory(Folder);
        Dialog.DriveComboBox1->SetDrive(Dialog.DirectoryList->Drive());
        return true;
    });
}

}  // namespace cataloging
