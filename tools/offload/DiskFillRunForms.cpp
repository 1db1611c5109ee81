#include "tools/offload/DiskFillRunForms.h"
#include <cctype>
#include <memory>

#include "catalog/FormParts.h"
#include "catalog/Globals.h"
#include "catalog/MessageWindow.h"
#include "catalog/ProgressForm.h"
#include "catalog/ToolsSettingsForm.h"
#include "controls/entry/CtlState.h"
#include "controls/kit/CoolGauge.h"
#include "dbsql/components/DbTable.h"
#include "framework/core/Seams.h"
#include "framework/core/SysUtils.h"
#include "framework/stdctrls/Buttons.h"
#include "framework/stdctrls/CheckBox.h"
#include "framework/stdctrls/ComCtrls.h"
#include "framework/stdctrls/Dialogs.h"
#include "framework/stdctrls/ExtCtrls.h"
#include "framework/stdctrls/FileCtrl.h"
#include "framework/stdctrls/Label.h"
#include "framework/ui/Graphics.h"
#include "platform/Volume.h"
#include "sysutil/shell/UtShlViews.h"
#include "tools/offload/DiskFillForm.h"
#include "tools/offload/DiskFillTransfer.h"

namespace tools {

using namespace framework;

namespace {

TCheckBox* RunFormsCheck(TForm* Form, const char* Name, const char* Caption, int Left, int Top,
                         bool Checked) {
    auto* C = catalog::NewControl<TCheckBox>(*Form, *Form, Name, Left, Top, 380, 17);
    C->SetCaption(Caption);
    C->SetChecked(Checked);
    return C;
}

}  // namespace

// ---- The prompt -----------------------------------------------------------------------------------

TDiskFillPromptForm::TDiskFillPromptForm(TComponent* AOwner, TDiskFillForm& Offload)
    : TForm(AOwner), FOffload(Offload) {
    SetName("DiskFillPromptForm");
    SetBorderStyle(bsDialog);
    Position = poScreenCenter;
    SetCaption("Insert Disk In Target Drive");
    SetClientSize(470, 430);
    Note = catalog::NewLabel(
        *this, *this, "Note", 12, 10, 446,
        "Note:  When selecting a target drive to accept files, we do not recommend selecting a hard drive.  "
        "When Korvane copies or moves files to the destination, it copies them to the root directory of that "
        "disk.  See The Online Help For An Explanation Of Why The Root Directory Is Used.\r\n\r\nIf Korvane "
        "finds "
        "existing files and folders on the target drive, it will give you an option to erase those files and "
        "folders in order to make room for new files.  \r\n\r\nIf you tell it to do so, and the target drive "
        "was a "
        "hard disk with many files that you intend to keep, the results would obviously be disasterous.");
    Note->Font().Style = fsBold;
    Note->SetWordWrap(true);
    Note->SetAutoSize(false);
    Note->SetHeight(172);
    TargetLabel = catalog::NewLabel(*this, *this, "TargetLabel", 12, 190, 80, "Target Drive");
    TargetDrive = catalog::NewControl<TDriveComboBox>(*this, *this, "TargetDrive", 100, 186, 200, 23);
    SaveDrive = catalog::NewLabel(*this, *this, "SaveDrive", 320, 190, 20, "");
    SaveDrive->SetVisible(false);
    CatalogAfter = RunFormsCheck(this, "CatalogAfter", "Catalog Target Disk After Copying or Moving Files",
                                 12, 222, true);
    DFCatalogSubFolders =
        RunFormsCheck(this, "DFCatalogSubFolders", "Catalog Sub-Folders On Disk", 32, 244, true);
    DFIgnoreRecycleBin =
        RunFormsCheck(this, "DFIgnoreRecycleBin", "Skip Files In The Windows Recycle Bin", 32, 266, true);
    DFTempDBInMem =
        RunFormsCheck(this, "DFTempDBInMem", "Keep Temporary Databases In Memory", 32, 288, false);
    DFPause = RunFormsCheck(this, "DFPause", "Pause After Re-Cataloging", 32, 310, false);
    IgnoreSquelched =
        RunFormsCheck(this, "IgnoreSquelched", "Ignore Squelched Disk Specifications", 12, 338, false);
    CatalogAfter->OnClick = [this](TObject*) { CatalogAfterClick(); };
    SpeedButton1 = catalog::NewControl<TSpeedButton>(*this, *this, "SpeedButton1", 400, 334, 25, 25);
    SpeedButton1->Hint = "Manage Squelched Disk Specifications";
    SpeedButton1->SetShowHint(true);
    SpeedButton1->OnClick = [this](TObject*) { SpeedButton1Click(); };
    ProceedBtn = catalog::NewDialogButton(*this, *this, "ProceedBtn", bkOK, 12, 380);
    ProceedBtn->SetCaption("&Proceed");
    CancelBtn = catalog::NewDialogButton(*this, *this, "CancelBtn", bkCancel, 100, 380);
    HelpBtn = catalog::NewDialogButton(*this, *this, "HelpBtn", bkHelp, 188, 380, &HelpContext);
    BitBtn4 = catalog::NewControl<TBitBtn>(*this, *this, "BitBtn4", 276, 380, 182, 25);
    BitBtn4->SetCaption("&Recommend Cataloged Disks");
    BitBtn4->OnClick = [this](TObject*) { BitBtn4Click(); };
    SetActiveControl(ProceedBtn);
    Store = NewComponent<entry::TCtlRegistryStore>(this);
    Store->SetName("Store");
    ComponentState = NewComponent<entry::TCtlComponentState>(this);
    ComponentState->SetName("ComponentState");
    ComponentState->SetStorage(Store);
    ComponentState->SetSection("TDiskFillPromptForm");
    ComponentState->StoredProperties().SetText(
        "CatalogAfter.Checked\nSaveDrive.Caption\nDFCatalogSubFolders.Checked\nDFIgnoreRecycleBin.Checked\n"
        "DFTempDBInMem.Checked\nDFPause.Checked\n");
}

void TDiskFillPromptForm::DoShow() {
    FOffload.RecommendedDiskChosen = false;
    const std::string Saved = Trim(SaveDrive->Caption());
    if (!Saved.empty()) TargetDrive->SetDrive(Saved[0]);
    CatalogAfterClick();
    TForm::DoShow();
}

bool TDiskFillPromptForm::CloseQuery() {
    if (TargetDrive->Drive()) SaveDrive->SetCaption(std::string(1, TargetDrive->Drive()));
    return TForm::CloseQuery();
}

void TDiskFillPromptForm::CatalogAfterClick() {
    const bool On = CatalogAfter->Checked();
    for (TCheckBox* C : {DFCatalogSubFolders, DFIgnoreRecycleBin, DFTempDBInMem, DFPause}) C->SetEnabled(On);
}

void TDiskFillPromptForm::SpeedButton1Click() {
    catalog::ShowToolsSettingsForm();
}

void TDiskFillPromptForm::BitBtn4Click() {
    for (;;) {
        TDiskRecommendation Found;
        {
            const TCursor Saved = Screen->Cursor();
            Screen->SetCursor(crHourGlass);
            Application->ProcessMessages();
            try {
                auto Summary = std::make_unique<dbsql::TDbTable>();
                Summary->SetDatabaseName(catalog::CatalogDataFolder);
                Summary->SetTableName(catalog::CurrentCatalogName + "_SUM");
                Summary->SetIndexName("ByFreeSpace");
                Summary->Open();
                Found = FindRecommendedDisk(*Summary, FOffload.Squelch, catalog::OffloadSquelch,
                                            IgnoreSquelched->Checked(), FOffload.List,
                                            [] { Application->ProcessMessages(); });
                Summary->Close();
            } catch (const std::exception&) {
                Screen->SetCursor(Saved);
                catalog::ErrorBox("An Error Was Encountered While Looking For A Disk For Recommendation");
                Found = {};
            }
            Screen->SetCursor(Saved);
        }
        if (!Found.Found) {
            catalog::ErrorBox(
                "Unable To Find A Disk That Will Accommodate Any Of The Remaining Files To Be Copied/Moved");
            return;
        }
        std::unique_ptr<TDiskFillRecommendForm> Offer(new TDiskFillRecommendForm(Application));
        Offer->VolumeLabel->SetCaption(Found.VolumeLabel);
        Offer->FreeSpace->SetCaption(
            "( " + FormatFloat("###,###,###,###,##0", static_cast<double>(Found.FreeBytes)) +
            " Bytes Free )");
        if (Found.Drive >= 'A' && Found.Drive <= 'Z') Offer->TargetDrive->SetDrive(Found.Drive);
        const TModalResult Result = Offer->ShowModal();
        if (Result == mrOk) {
            TargetDrive->SetDrive(Offer->TargetDrive->Drive());
            FOffload.RecommendedDiskChosen = true;
            SetModalResult(mrOk);
            return;
        }
        if (Result != mrRetry || !FOffload.Squelch.AddRetryLabel(Found.VolumeLabel)) return;
    }
}

// ---- The recommendation ---------------------------------------------------------------------------

TDiskFillRecommendForm::TDiskFillRecommendForm(TComponent* AOwner) : TForm(AOwner) {
    SetName("DiskFillRecommendForm");
    SetBorderStyle(bsDialog);
    Position = poScreenCenter;
    SetCaption("Disk Recommendation");
    SetClientSize(460, 290);
    catalog::NewLabel(*this, *this, "", 12, 10, 436,
                      "A Disk In Your Catalog That Was Cataloged Under The Volume Label");
    VolumeLabel = catalog::NewLabel(*this, *this, "VolumeLabel", 12, 30, 436, "");
    VolumeLabel->Font().Style = fsBold;
    VolumeLabel->Font().Color = clMaroon;
    FreeSpace = catalog::NewLabel(*this, *this, "FreeSpace", 12, 50, 436, "");
    catalog::NewLabel(*this, *this, "", 12, 70, 436,
                      "Has Sufficient Free Space To Hold One Or More Of The Remaining Tagged Files.");
    catalog::NewLabel(*this, *this, "", 12, 104, 250, "To Immediately Fill This Disk, Insert It Into");
    TargetDrive = catalog::NewControl<TDriveComboBox>(*this, *this, "TargetDrive", 12, 124, 160, 23);
    catalog::NewLabel(*this, *this, "", 180, 128, 40, "Drive");
    catalog::NewLabel(*this, *this, "", 224, 128, 30, "And");
    ProceedBtn = catalog::NewControl<TBitBtn>(*this, *this, "BitBtn1", 260, 122, 180, 25);
    ProceedBtn->SetCaption("&Proceed With This Disk");
    ProceedBtn->SetDefault(true);
    ProceedBtn->OnClick = [this](TObject*) { BitBtn1Click(); };
    catalog::NewLabel(*this, *this, "", 12, 160, 30, "Or");
    catalog::NewLabel(*this, *this, "", 12, 184, 320, "To Close This Dialog Box With No Action Taken, Click");
    CloseBtn = catalog::NewDialogButton(*this, *this, "CloseBtn", bkClose, 360, 178);
    catalog::NewLabel(*this, *this, "", 12, 214, 30, "Or");
    catalog::NewLabel(*this, *this, "", 12, 240, 340,
                      "To Squelch This Disk And Recommend Another (If Possible), Click");
    RetryBtn = catalog::NewControl<TBitBtn>(*this, *this, "RetryBtn", 360, 234, 90, 25);
    RetryBtn->SetCaption("Squelch && Retry");
    RetryBtn->ModalResult = mrRetry;
}

void TDiskFillRecommendForm::BitBtn1Click() {
    const char Letter = static_cast<char>(std::toupper(static_cast<unsigned char>(TargetDrive->Drive())));
    std::string Label;
    if (!platform::GetVolumeInformation(std::string(1, Letter) + ":\\", &Label, nullptr, nullptr, nullptr,
                                        nullptr)) {
        catalog::ErrorBox(
            "An Error Was Encountered While Trying To Verify The Volume Label Of The Disk In The Target "
            "Drive");
        return;
    }
    Label = Label.substr(0, Label.find('\0'));
    if (Label != VolumeLabel->Caption()) {
        catalog::ErrorBox("The Volume Label On This Disk (" + Label + ") Is Not The Same As That Recommended");
        return;
    }
    SetModalResult(mrOk);
}

// ---- The copy window ------------------------------------------------------------------------------

TDiskFillCopyForm::TDiskFillCopyForm(TComponent* AOwner) : TForm(AOwner) {
    SetName("DiskFillCopyForm");
    SetBorderStyle(bsDialog);
    Position = poScreenCenter;
    SetCaption("Copy Files");
    SetClientSize(440, 300);
    int Top = 10;
    auto Row = [&](const char* Heading, const char* Name) {
        catalog::NewLabel(*this, *this, "", 12, Top, 110, Heading);
        TLabel* L = catalog::NewLabel(*this, *this, Name, 130, Top, 300, "");
        Top += 20;
        return L;
    };
    TargetDrive = Row("Target Drive:", "TargetDrive");
    VolumeLabel = Row("Volume Label:", "VolumeLabel");
    SerialNumber = Row("Serial Number:", "SerialNumber");
    Capacity = Row("Capacity:", "Capacity");
    FreeSpace = Row("Free Space:", "FreeSpace");
    ClusterSize = Row("Cluster Size:", "ClusterSize");
    TaggedFiles = Row("Tagged Files:", "TaggedFiles");
    TaggedBytes = Row("Bytes:", "TaggedBytes");
    FileOperation = catalog::NewLabel(*this, *this, "FileOperation", 12, Top + 4, 416, "");
    FileOperation->Font().SetSize(10);
    FileSize = catalog::NewLabel(*this, *this, "FileSize", 12, Top + 24, 416, "");
    StatusPanel = catalog::NewPanel(*this, *this, "StatusPanel", 12, Top + 44, 416, 24, bvNone);
    StatusPanel->SetVisible(false);
    StatusProgressBar = catalog::NewControl<kit::TCoolGauge>(*this, *StatusPanel, "StatusProgressBar", 0, 0, 416, 24);
    CancelBtn = catalog::NewControl<TBitBtn>(*this, *this, "CancelBtn", 110, Top + 76, 220, 25);
    CancelBtn->SetCaption("&Cancel Copy Operation For This Disk");
    CancelBtn->OnClick = [this](TObject*) { CancelBtnClick(); };
}

void TDiskFillCopyForm::DoShow() {
    auto [Fore, Back] = catalog::GaugeColorPairs[static_cast<size_t>(Random(14))];
    if (Random(2) == 1) std::swap(Fore, Back);
    StatusProgressBar->SetForeColor1(Fore);
    StatusProgressBar->SetBackColor(Back);
    StatusProgressBar->SetMaxValue(100);
    StatusProgressBar->SetProgress(0);
    CancelRequested = false;
    CancelBtn->SetEnabled(true);
    TForm::DoShow();
}

void TDiskFillCopyForm::CancelBtnClick() {
    CancelBtn->SetEnabled(false);
    CancelRequested = true;
}

// ---- A target that is not empty -------------------------------------------------------------------

TDiskFillNotEmptyForm::TDiskFillNotEmptyForm(TComponent* AOwner) : TForm(AOwner) {
    SetName("DiskFillNotEmptyForm");
    Position = poScreenCenter;
    SetCaption("Existing Files And Folders Detected On The Target Disk");
    SetClientSize(640, 400);
    Constraints().SetMinWidth(600);
    Constraints().SetMinHeight(250);
    Explanation = catalog::NewLabel(
        *this, *this, "Explanation", 8, 6, 624,
        "Korvane Has Detected That There Are Existing Files And Folders On The Target Disk (The Contents Are "
        "Shown Below).  You Can Manipulate These Files (i.e. Erase, Rename, Move, Open, etc.) Just As You "
        "Would "
        "In Windows Explorer By Right Clicking On Them.\r\n\r\nPlease Select An Option At The Bottom Of This "
        "Dialog Box To Tell Korvane How To Proceed.");
    Explanation->SetWordWrap(true);
    Explanation->SetAlign(alTop);
    ButtonPanel = catalog::NewPanel(*this, *this, "ButtonPanel", 0, 360, 640, 40, bvNone);
    ButtonPanel->SetAlign(alBottom);
    EraseBtn = catalog::NewControl<TBitBtn>(*this, *ButtonPanel, "BitBtn1", 8, 8, 170, 25);
    EraseBtn->SetCaption("&Erase Disk And Continue");
    EraseBtn->OnClick = [this](TObject*) { BitBtn1Click(); };
    LeaveBtn = catalog::NewDialogButton(*this, *ButtonPanel, "LeaveBtn", bkOK, 184, 8);
    LeaveBtn->SetCaption("&Leave Files Alone And Continue");
    LeaveBtn->SetWidth(200);
    ReturnBtn = catalog::NewDialogButton(*this, *ButtonPanel, "ReturnBtn", bkCancel, 390, 8);
    ReturnBtn->SetCaption("&Return To Disk Prompt");
    ReturnBtn->SetWidth(160);
    HelpBtn = catalog::NewDialogButton(*this, *ButtonPanel, "HelpBtn", bkHelp, 556, 8, &HelpContext);
    FolderPanel = catalog::NewPanel(*this, *this, "FolderPanel", 0, 80, 200, 280, bvNone);
    FolderPanel->SetAlign(alLeft);
    FolderList = catalog::NewControl<sysutil::TUtShellTreeView>(*this, *FolderPanel, "FolderList", 0, 0, 200, 280);
    FolderList->SetAlign(alClient);
    FolderList->SetOptions(sysutil::TreeOption(sysutil::toShowHidden) |
                           sysutil::TreeOption(sysutil::toShellMenu));
    Splitter1 = catalog::NewControl<TSplitter>(*this, *this, "Splitter1", 200, 80, 4, 280);
    Splitter1->SetAlign(alLeft);
    FileList = catalog::NewControl<sysutil::TUtShellListView>(*this, *this, "FileList", 204, 80, 436, 280);
    FileList->SetAlign(alClient);
    FileList->SetOptions(
        sysutil::ListOption(sysutil::loAllowRename) | sysutil::ListOption(sysutil::loAllowDrag) |
        sysutil::ListOption(sysutil::loAllowDrop) | sysutil::ListOption(sysutil::loShellMenu) |
        sysutil::ListOption(sysutil::loShowHidden));
    FileList->SetMultiSelect(true);
    FolderList->SetListView(FileList);
    Store = NewComponent<entry::TCtlRegistryStore>(this);
    Store->SetName("Store");
    FormState = NewComponent<entry::TCtlFormState>(this);
    FormState->SetName("FormState");
    FormState->SetStorage(Store);
    FormState->SetSection("TDiskFillNotEmptyForm");
    ComponentState = NewComponent<entry::TCtlComponentState>(this);
    ComponentState->SetName("ComponentState");
    ComponentState->SetStorage(Store);
    ComponentState->SetSection("TDiskFillNotEmptyForm");
    ComponentState->StoredProperties().SetText("FolderPanel.Width\nFileList.ViewStyle\n");
}

void TDiskFillNotEmptyForm::ShowDrive(char Letter) {
    Drive = Letter;
    const std::string Root = std::string(1, Letter) + ":\\";
    FolderList->SetRootFolder(Root);
    FolderList->SetStartInFolder(Root);
}

void TDiskFillNotEmptyForm::BitBtn1Click() {
    const TCursor Saved = Screen->Cursor();
    if (catalog::Msg) catalog::Msg->show_msg("Erasing Visible Files And Subdirectories From Target Disk");
    Screen->SetCursor(crHourGlass);
    const bool Erased = EraseTargetTree(std::string(1, Drive) + ":\\", false);
    if (catalog::Msg) catalog::Msg->remove_msg();
    Screen->SetCursor(Saved);
    if (!Erased) {
        catalog::ErrorBox(
            "Error(s) Were Encountered Erasing Target Drive.\r\n\r\nIt May Still Be Okay To Continue - Check "
            "The File "
            "List To Be Sure.");
        return;
    }
    SetModalResult(mrOk);
}

}  // namespace tools
