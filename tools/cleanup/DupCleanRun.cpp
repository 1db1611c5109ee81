// The erase and retrieve panels of the cleanup window: the tagged rows are worked volume by volume
// (the result table's "ByVolumeLabel" order); for each volume the user inserts the disk and starts,
// skips it or cancels; erased disks can be catalogued again; retrieved files are copied to a folder.
#include <memory>

#include "catalog/FormParts.h"
#include "catalog/Globals.h"
#include "catalog/ProgressForm.h"
#include "cataloging/dialogs/SelectDirectoryForm.h"
#include "cataloging/run/CatalogProgressForm.h"
#include "controls/entry/CtlAttachedButton.h"
#include "controls/grid/CtlDbTable.h"
#include "controls/kit/CoolGauge.h"
#include "dbsql/components/DbTable.h"
#include "framework/core/Seams.h"
#include "framework/core/SysUtils.h"
#include "framework/data/Fields.h"
#include "framework/stdctrls/Button.h"
#include "framework/stdctrls/Buttons.h"
#include "framework/stdctrls/CheckBox.h"
#include "framework/stdctrls/Dialogs.h"
#include "framework/stdctrls/Edit.h"
#include "framework/stdctrls/ExtCtrls.h"
#include "framework/stdctrls/FileCtrl.h"
#include "framework/stdctrls/Label.h"
#include "framework/ui/Graphics.h"
#include "platform/Beep.h"
#include "platform/Files.h"
#include "tools/cleanup/DupCleanDialogs.h"
#include "tools/cleanup/DupCleanForm.h"
#include "tools/offload/DiskFillTransfer.h"
#include "tools/shared/ListParts.h"

namespace tools {

using namespace framework;

namespace {

std::string WithBackslash(const std::string& Folder) {
    return !Folder.empty() && Folder.back() == '\\' ? Folder : Folder + "\\";
}

// What a missing-file or missing-folder answer means: 1 (the file ends) or 2 (try again).
int MissingAnswer(TModalResult Result, bool& Abort, bool& SkipDisk) {
    if (Result == mrCancel) Abort = true;
    if (Result == mrAbort) SkipDisk = true;
    return Result == mrRetry ? 2 : 1;
}

}  // namespace

// ---- The panel's pieces for the mode ----

TPanel* TDupCleanForm::WorkPanel() const {
    return Retrieving() ? RetrievePanel : ErasePanel;
}
TLabel* TDupCleanForm::WorkInfo() const {
    return Retrieving() ? RetrieveInfo : EraseInfo;
}
TDriveComboBox* TDupCleanForm::WorkDrive() const {
    return Retrieving() ? RetrieveDriveSelect : EraseDriveSelect;
}
TBitBtn* TDupCleanForm::WorkStartBtn() const {
    return Retrieving() ? StartRetrieveBtn : StartEraseBtn;
}
TBitBtn* TDupCleanForm::WorkCancelBtn() const {
    return Retrieving() ? CancelRetrieveBtn : CancelEraseBtn;
}
TBitBtn* TDupCleanForm::WorkSkipDiskBtn() const {
    return Retrieving() ? RetrieveSkipDiskBtn : EraseSkipDiskBtn;
}
TBitBtn* TDupCleanForm::WorkSkipFileBtn() const {
    return Retrieving() ? RetrieveSkipFileBtn : EraseSkipFileBtn;
}
TBitBtn* TDupCleanForm::WorkAbortBtn() const {
    return Retrieving() ? RetrieveAbortBtn : EraseAbortBtn;
}

char TDupCleanForm::WorkDriveLetter() const {
    const char Drive = WorkDrive()->Drive();
    return Drive ? AnsiUpperChar(Drive) : 'A';
}

void TDupCleanForm::SetInfo(const std::string& Text) {
    WorkInfo()->SetCaption(Text);
    FitLabelText(*WorkInfo());
}

// ---- Entering and leaving ----

void TDupCleanForm::SetListControlsEnabled(bool On) {
    for (TControl* C : std::initializer_list<TControl*>{PatternEdit, ApplyBtn, TagAllBtn, ClearTagsBtn,
                                                        TagSeveralBtn, UntagSeveralBtn, InvertTagsBtn})
        C->SetEnabled(On);
    // Hidden options stay disabled in the modes that do not offer them.
    if (Mode == 0) UseVersions->SetEnabled(On);
    if (!Retrieving()) IgnoreSquelched->SetEnabled(On);
    (Retrieving() ? RetrieveBtn : EraseBtn)->SetEnabled(On);
}

void TDupCleanForm::EraseBtnClick() {
    if (TaggedFiles == 0) {
        catalog::ErrorBox(Retrieving() ? "No Files Were Tagged For Retrieval"
                                       : "No Files Were Tagged For Deletion");
        return;
    }
    if (ResultTable->State() != dsBrowse) ResultTable->Cancel();
    Grid->SetVisible(false);
    Grid->SetEnabled(false);
    CommentPanel->SetVisible(false);
    WorkPanel()->SetVisible(true);
    WorkPanel()->SetEnabled(true);
    FormResize();
    SetListControlsEnabled(false);
    CloseWindowTables();
    TToolBusyCursor Hourglass;
    ResultTable->SetIndexName("ByVolumeLabel");
    ResultTable->First();
    ErasedInOperation = false;
    while (!ResultTable->Eof() && !ResultTable->FieldByName("Tagged")->AsBoolean()) ResultTable->Next();
    if (ResultTable->Eof()) {
        LeavePanel();
        catalog::ErrorBox("Could Not Locate A Tagged Item In The List");
        return;
    }
    PromptForDisk();
}

void TDupCleanForm::CancelEraseBtnClick() {
    LeavePanel();
}

void TDupCleanForm::LeavePanel() {
    ResultTable->SetIndexName("");
    try {
        OpenWindowTables();
    } catch (const std::exception& E) {
        catalog::ErrorBox(E.what());
    }
    if (ErasedInOperation) CreateList();
    WorkPanel()->SetVisible(false);
    WorkPanel()->SetEnabled(false);
    SetListControlsEnabled(true);
    CommentPanel->SetVisible(true);
    Grid->SetVisible(true);
    Grid->SetEnabled(true);
    ShowRowDetails();
}

// ---- Asking for a disk ----

void TDupCleanForm::PromptForDisk() {
    const std::string From = ResultTable->FieldByName("CatalogedFrom")->AsString();
    if (!From.empty()) WorkDrive()->SetDrive(From[0]);
    ShowDiskPrompt();
}

void TDupCleanForm::ShowDiskPrompt() {
    WorkInfo()->Font().SetSize(10);
    WorkInfo()->SetCaption("Insert Disk Cataloged Under \"" +
                           ResultTable->FieldByName("VolumeLabel")->AsString() + "\" In Drive " +
                           std::string(1, WorkDriveLetter()) + ":");
}

void TDupCleanForm::EraseDriveSelectChange() {
    if (!Retrieving() && ErasePanel->Visible() && ResultTable->Active() && !ResultTable->Eof() &&
        !FSkipDiskWorking)
        ShowDiskPrompt();
}

void TDupCleanForm::RetrieveDriveSelectChange() {
    if (Retrieving() && RetrievePanel->Visible() && ResultTable->Active() && !ResultTable->Eof() &&
        !FSkipDiskWorking)
        ShowDiskPrompt();
}

void TDupCleanForm::RetrieveNavigateDirBtnClick() {
    std::string Folder = RetrieveDestination->Text();
    if (cataloging::ChooseFolderOnAnyDrive(Folder)) RetrieveDestination->SetText(Folder);
}

// ---- Skipping a disk ----

bool TDupCleanForm::PassCurrentVolume() {
    const std::string Volume = ResultTable->FieldByName("VolumeLabel")->AsString();
    while (!ResultTable->Eof() && ResultTable->FieldByName("VolumeLabel")->AsString() == Volume)
        ResultTable->Next();
    return !ResultTable->Eof();
}

void TDupCleanForm::EraseSkipDiskBtnClick() {
    if (FSkipDiskWorking)
        SkipDisk = true;
    else
        SkipDiskWhileWaiting();
}

void TDupCleanForm::RetrieveSkipDiskBtnClick() {
    EraseSkipDiskBtnClick();
}

void TDupCleanForm::SkipDiskWhileWaiting() {
    {
        TToolBusyCursor Hourglass;
        if (PassCurrentVolume()) {
            PromptForDisk();
            return;
        }
    }
    ResultTable->First();
    LeavePanel();
}

// ---- Working one disk ----

void TDupCleanForm::ButtonsForDisk(bool Working) {
    FSkipDiskWorking = Working;
    WorkSkipFileBtn()->SetVisible(Working);
    WorkSkipFileBtn()->SetEnabled(Working);
    WorkAbortBtn()->SetVisible(Working);
    WorkAbortBtn()->SetEnabled(Working);
    WorkStartBtn()->SetVisible(!Working);
    WorkStartBtn()->SetEnabled(!Working);
    WorkCancelBtn()->SetVisible(!Working);
    WorkCancelBtn()->SetEnabled(!Working);
    WorkSkipDiskBtn()->SetLeft(Working ? WorkStartBtn()->Left() : WorkStartBtn()->Left() - 150);
    WorkDrive()->SetEnabled(!Working);
    if (Retrieving()) {
        RetrieveDestination->SetEnabled(!Working);
        RetrieveNavigateDirBtn->SetEnabled(!Working);
    } else {
        for (TCheckBox* C : {EraseReCatalog, EraseCatalogSubFolders, EraseIgnoreRecycleBin, EraseTempDBInMem})
            C->SetEnabled(!Working);
    }
    CloseBtn->SetEnabled(!Working);
    HelpBtn->SetEnabled(!Working);
}

void TDupCleanForm::StartEraseBtnClick() {
    WorkDisk();
}

void TDupCleanForm::StartRetrieveBtnClick() {
    const std::string Error = RetrieveDestinationError(RetrieveDestination->Text());
    if (!Error.empty()) {
        catalog::ErrorBox(Error);
        return;
    }
    WorkDisk();
}

void TDupCleanForm::WorkDisk() {
    SkipDisk = Abort = ErasedOnDisk = false;
    YesToAll = NoToAll = false;
    CurrentVolume = ResultTable->FieldByName("VolumeLabel")->AsString();
    ButtonsForDisk(true);
    TToolBusyCursor Hourglass;
    TField* Tagged = ResultTable->FieldByName("Tagged");
    TField* Volume = ResultTable->FieldByName("VolumeLabel");
    auto EndDisk = [this] {
        if (!Abort && ErasedOnDisk && !Retrieving() && EraseReCatalog->Checked()) RecatalogDisk();
    };
    while (!ResultTable->Eof()) {
        if (Tagged->AsBoolean()) {
            if (Volume->AsString() != CurrentVolume || SkipDisk || Abort) {
                EndDisk();
                if (SkipDisk && !Abort) {
                    while (!ResultTable->Eof() && Volume->AsString() == CurrentVolume) ResultTable->Next();
                    if (ResultTable->Eof()) Abort = true;
                }
                ButtonsForDisk(false);
                if (Abort) {
                    ResultTable->First();
                    LeavePanel();
                } else {
                    PromptForDisk();
                }
                return;
            }
            const std::string Name = ResultTable->FieldByName("FileName")->AsString();
            SetInfo(Retrieving() ? "Copying \"" + Name + "\" To Destination" : "Erasing \"" + Name + "\"");
            SkipFile = false;
            int Result;
            if (Retrieving()) {
                auto [Fore, Back] = catalog::GaugeColorPairs[static_cast<size_t>(Random(14))];
                if (Random(2) == 1) std::swap(Fore, Back);
                RetrieveProgressBar->SetForeColor1(Fore);
                RetrieveProgressBar->SetBackColor(Back);
                RetrieveProgressBar->SetMaxValue(100);
                RetrieveProgressBar->SetProgress(0);
                RetrieveProgressPanel->SetVisible(true);
                do Result = RetrieveOneFile();
                while (Result == 2);
                RetrieveProgressPanel->SetVisible(false);
            } else {
                do Result = EraseOneFile();
                while (Result == 2);
            }
            if (Result == 0) {
                UntagResultRow();
                ShowCleanupCounters();
                if (!Retrieving()) ErasedOnDisk = ErasedInOperation = true;
            }
        }
        WorkInfo()->SetCaption("");
        ResultTable->Next();
        Application->ProcessMessages();
    }
    EndDisk();
    ButtonsForDisk(false);
    ResultTable->First();
    WorkInfo()->Font().SetSize(10);
    LeavePanel();
}

// ---- One file ----

int TDupCleanForm::EraseOneFile() {
    const std::string Path = std::string(1, WorkDriveLetter()) + ":" +
                             WithBackslash(ResultTable->FieldByName("FolderName")->AsString()) +
                             ResultTable->FieldByName("FileName")->AsString();
    if (platform::GetFileAttributes(Path) != platform::INVALID_FILE_ATTRIBUTES) {
        platform::SetFileAttributes(Path, 0);
        if (platform::DeleteFile(Path)) return 0;
        catalog::ErrorBox("Unable To Erase The File:\r\n\r\n" + Path, false);
        return 1;
    }
    std::unique_ptr<TSourceFileNotFoundForm> Missing(new TSourceFileNotFoundForm(Application));
    Missing->SetCaption("File Not Found");
    Missing->WhatFile->SetCaption(Path);
    Missing->NewDrive->SetDrive(WorkDriveLetter());
    platform::MessageBeep(platform::MB_ICONHAND);
    const TModalResult Answer = Missing->ShowModal();
    if (Answer == mrRetry && Missing->NewDrive->Drive())
        EraseDriveSelect->SetDrive(Missing->NewDrive->Drive());
    return MissingAnswer(Answer, Abort, SkipDisk);
}

int TDupCleanForm::RetrieveOneFile() {
    const std::string Name = ResultTable->FieldByName("FileName")->AsString();
    const std::string Source = std::string(1, WorkDriveLetter()) + ":" +
                               WithBackslash(ResultTable->FieldByName("FolderName")->AsString()) + Name;
    if (platform::GetFileAttributes(Source) == platform::INVALID_FILE_ATTRIBUTES) {
        std::unique_ptr<TSourceFileNotFoundForm> Missing(new TSourceFileNotFoundForm(Application));
        Missing->WhatFile->SetCaption(Source);
        Missing->NewDrive->SetDrive(WorkDriveLetter());
        platform::MessageBeep(platform::MB_ICONHAND);
        const TModalResult Answer = Missing->ShowModal();
        if (Answer == mrRetry && Missing->NewDrive->Drive())
            RetrieveDriveSelect->SetDrive(Missing->NewDrive->Drive());
        return MissingAnswer(Answer, Abort, SkipDisk);
    }
    const std::string Destination = RetrieveDestination->Text();
    const uint32_t FolderAttr = platform::GetFileAttributes(Destination);
    if (FolderAttr == platform::INVALID_FILE_ATTRIBUTES ||
        !(FolderAttr & platform::FILE_ATTRIBUTE_DIRECTORY)) {
        std::unique_ptr<TTargetFolderDoesntExistForm> Folder(new TTargetFolderDoesntExistForm(Application));
        Folder->WhatFolder->SetCaption(Destination);
        Folder->NewFolder->SetText(Destination);
        platform::MessageBeep(platform::MB_ICONHAND);
        const TModalResult Answer = Folder->ShowModal();
        if (Answer == mrRetry) RetrieveDestination->SetText(Folder->NewFolder->Text());
        return MissingAnswer(Answer, Abort, SkipDisk);
    }
    const std::string Target = WithBackslash(Destination) + Name;
    if (platform::GetFileAttributes(Target) != platform::INVALID_FILE_ATTRIBUTES) {
        // Deleting a target that is the source itself would lose the only copy.
        if (SameFileOnDisk(Source, Target)) {
            catalog::ErrorBox(Name + "\r\n\r\n" + FileCopyErrorText(TFileCopyResult::SameFile));
            return 1;
        }
        if (NoToAll) return 1;
        if (!YesToAll) {
            platform::MessageBeep(platform::MB_ICONHAND);
            const int Answer = MessageDlg(
                "This File Already Exists In The Target Folder.  Overwrite (Even If Marked As \"Read "
                "Only\")?",
                mtConfirmation, {mbYes, mbNo, mbNoToAll, mbYesToAll}, 0);
            if (Answer == mrNoToAll) NoToAll = true;
            if (Answer == mrYesToAll) YesToAll = true;
            // Only a Yes overwrites: closing the question keeps the file.
            if (Answer != mrYes && Answer != mrYesToAll) return 1;
        }
        platform::SetFileAttributes(Target, 0);
        if (!platform::DeleteFile(Target)) {
            catalog::ErrorBox("Unable To Erase Existing File Before Copying The New One");
            return 1;
        }
    }
    if (SkipFile || SkipDisk || Abort) return 1;
    TFileCopyHooks Hooks;
    Hooks.Cancelled = [this] { return SkipFile || SkipDisk || Abort; };
    Hooks.Progress = [this](int Percent) {
        RetrieveProgressBar->SetProgress(Percent);
        Application->ProcessMessages();
    };
    const TFileCopyResult Result = CopyFileInBlocks(Source, Target, Hooks);
    if (Result == TFileCopyResult::Cancelled) return 1;
    if (Result != TFileCopyResult::Copied) {
        catalog::ErrorBox(Result == TFileCopyResult::TargetCreateFailed
                              ? "Error Opening Destination File For Output"
                              : FileCopyErrorText(Result));
        return 1;
    }
    Application->ProcessMessages();
    framework::Sleep(150);
    return 0;
}

// ---- Cataloguing an erased disk again ----

void TDupCleanForm::RecatalogDisk() {
    const char Letter = WorkDriveLetter();
    cataloging::TCatalogRunRequest Request;
    Request.Fields.FromCleanupTool = true;
    Request.Fields.DriveLetter = Letter;
    Request.Fields.StartFolder = std::string(1, Letter) + ":\\";
    Request.Fields.Recurse = EraseCatalogSubFolders->Checked();
    Request.Fields.IgnoreRecycleBin = EraseIgnoreRecycleBin->Checked();
    Request.Fields.KeepInMemory = EraseTempDBInMem->Checked();
    Request.Fields.StatsOnly = false;
    Request.Caption = "Cataloging Disk In Drive " + std::string(1, Letter);
    Request.PauseAfter = ErasePause->Checked();
    cataloging::RunCatalogDisk(Request, this);
}

}  // namespace tools
