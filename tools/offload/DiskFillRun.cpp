// The copy or move run of the offload window: disk after disk, the target is checked and read,
// tagged files are put into its root by best fit until it is full, its free space is remembered
// and it is catalogued again.
#include <cctype>
#include <cstdio>
#include <memory>

#include "catalog/FormParts.h"
#include "catalog/Globals.h"
#include "cataloging/run/CatalogProgressForm.h"
#include "controls/kit/CoolGauge.h"
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
#include "platform/Beep.h"
#include "platform/Files.h"
#include "platform/Volume.h"
#include "tools/offload/DiskFillForm.h"
#include "tools/offload/DiskFillRunForms.h"

namespace tools {

using namespace framework;

namespace {

constexpr const char* kNoLabelMarker = "< No Label >";
constexpr const char* kErrorLabelMarker = "< Error >";

std::string OffloadRunCount(int64_t N) {
    return FormatFloat("###,###,###,###,##0", static_cast<double>(N));
}

// The free bytes of a drive as the system reports them now; -1 when they cannot be read.
int64_t OffloadDriveFree(char Drive) {
    uint64_t Avail = 0, Total = 0, Free = 0;
    if (!platform::GetDiskFreeSpaceEx(std::string(1, Drive) + ":\\", &Avail, &Total, &Free)) return -1;
    return static_cast<int64_t>(Free);
}

}  // namespace

void TDiskFillForm::CopyBtnClick(bool Move) {
    if (List.TaggedFiles == 0) {
        catalog::ErrorBox("No Files Have Been Tagged");
        return;
    }
    MoveMode = Move;
    SourceListChanged = false;
    if (List.FillOrderStale) List.BuildFillOrder();
    std::unique_ptr<TDiskFillPromptForm> PromptOwner(new TDiskFillPromptForm(Application, *this));
    std::unique_ptr<TDiskFillCopyForm> CopyOwner(new TDiskFillCopyForm(Application));
    Prompt = PromptOwner.get();
    CopyForm = CopyOwner.get();
    if (MoveMode) {
        CopyForm->SetCaption("Move Files");
        CopyForm->CancelBtn->SetCaption("&Cancel Move Operation");
    }
    for (;;) {
        RecommendedDiskChosen = false;
        if (Prompt->ShowModal() != mrOk) break;
        Target.Drive =
            static_cast<char>(std::toupper(static_cast<unsigned char>(Prompt->TargetDrive->Drive())));
        try {
            if (ReadTargetDiskInfo()) {
                char Serial[16];
                std::snprintf(Serial, sizeof Serial, "%04X-%04X", Target.Serial >> 16,
                              Target.Serial & 0xFFFF);
                CopyForm->TargetDrive->SetCaption(std::string(1, Target.Drive) + ":");
                CopyForm->VolumeLabel->SetCaption(Target.Label);
                CopyForm->SerialNumber->SetCaption(Serial);
                CopyForm->ClusterSize->SetCaption(OffloadRunCount(Target.ClusterSize));
                CopyForm->Capacity->SetCaption(OffloadRunCount(Target.Capacity));
                CopyForm->FreeSpace->SetCaption(OffloadRunCount(Target.FreeBytes));
                CopyForm->TaggedFiles->SetCaption(OffloadRunCount(List.TaggedFiles));
                CopyForm->TaggedBytes->SetCaption(OffloadRunCount(List.TaggedBytes));
                CopyForm->Show();
                SetEnabled(false);
                Application->ProcessMessages();
                SomethingTransferred = false;
                NoToAll = YesToAll = false;
                while (!CopyForm->CancelRequested && Target.FreeBytes > 0 && List.TaggedFiles > 0)
                    TransferNextFile();
                if (Target.Label != kNoLabelMarker && Target.Label != kErrorLabelMarker) {
                    const int64_t Free = OffloadDriveFree(Target.Drive);
                    if (Free >= 0) Squelch.RememberDiskFree(Target.Label, Free);
                }
                if (SomethingTransferred && Prompt->CatalogAfter->Checked()) RecatalogTargetDisk();
            }
        } catch (...) {
            SetEnabled(true);
            CopyForm->Hide();
            Prompt = nullptr;
            CopyForm = nullptr;
            throw;
        }
        SetEnabled(true);
        CopyForm->Hide();
        if (List.TaggedFiles == 0) break;
    }
    Prompt = nullptr;
    CopyForm = nullptr;
    if (SourceListChanged) UpdateFileList();
}

bool TDiskFillForm::ReadTargetDiskInfo() {
    if (!RecommendedDiskChosen && !CheckTargetEmpty()) return false;
    const std::string Letter(1, Target.Drive);
    const std::string Root = Letter + ":\\";
    try {
        Target.Serial = 0;
        uint32_t Serial = 0;
        if (platform::GetVolumeInformation(Root, nullptr, &Serial, nullptr, nullptr, nullptr))
            Target.Serial = Serial;
        std::string Label;
        try {
            if (platform::GetVolumeInformation(Root, &Label, nullptr, nullptr, nullptr, nullptr)) {
                Label = Label.substr(0, Label.find('\0'));
                Target.Label = Trim(Label).empty() ? kNoLabelMarker : Label;
            } else {
                Target.Label = kNoLabelMarker;
            }
        } catch (const std::exception&) {
            Target.Label = kErrorLabelMarker;
        }
        uint64_t Avail = 0, Total = 0, Free = 0;
        if (!platform::GetDiskFreeSpaceEx(Root, &Avail, &Total, &Free)) {
            catalog::ErrorBox("Error Determining Disk Size (Drive " + Letter + ":)", false);
            return false;
        }
        Target.Capacity = static_cast<int64_t>(Total);
        Target.FreeBytes = static_cast<int64_t>(Free);
        uint32_t SectorsPerCluster = 0, BytesPerSector = 0, FreeClusters = 0, TotalClusters = 0;
        if (!platform::GetDiskFreeSpace(Root, &SectorsPerCluster, &BytesPerSector, &FreeClusters,
                                        &TotalClusters)) {
            catalog::ErrorBox("Error Determining Disk Cluster Size (Drive " + Letter + ":)", false);
            return false;
        }
        Target.ClusterSize = static_cast<int64_t>(SectorsPerCluster) * BytesPerSector;
        return true;
    } catch (const std::exception&) {
        catalog::ErrorBox("An Error Occurred While Reading Disk Summary Information (Drive " + Letter + ":)",
                        false);
        return false;
    }
}

bool TDiskFillForm::CheckTargetEmpty() {
    if (TargetRootEmpty(Target.Drive)) return true;
    std::unique_ptr<TDiskFillNotEmptyForm> Form(new TDiskFillNotEmptyForm(Application));
    Form->ShowDrive(Target.Drive);
    return Form->ShowModal() == mrOk;
}

void TDiskFillForm::TransferNextFile() {
    Target.FreeBytes = OffloadDriveFree(Target.Drive);
    if (Target.FreeBytes < 0 || Target.ClusterSize <= 0) {
        Target.FreeBytes = 0;
        return;
    }
    const int32_t Position = List.FindBestFitFile(Target.FreeBytes / Target.ClusterSize, Target.ClusterSize,
                                                  [] { Application->ProcessMessages(); });
    if (Position == -1) {
        Target.FreeBytes = 0;
        return;
    }
    const int32_t N = List.Rec(Position).FillSlot;
    const TDiskFillFileRec Rec = List.Rec(N);
    CopyForm->FileOperation->Font().SetSize(10);
    CopyForm->FileOperation->SetCaption(std::string(MoveMode ? "Moving " : "Copying ") + Rec.Name + " To " +
                                        std::string(1, Target.Drive) + ":\\");
    if (CopyForm->FileOperation->Canvas().TextWidth(CopyForm->FileOperation->Caption()) >
        CopyForm->FileOperation->Width())
        CopyForm->FileOperation->Font().SetSize(8);
    CopyForm->FileSize->SetCaption("Filesize Is " + OffloadRunCount(Rec.Size) + " Bytes");
    CopyForm->StatusProgressBar->SetProgress(0);
    CopyForm->StatusPanel->SetVisible(true);
    Application->ProcessMessages();
    const int Result = CopyOneFile(Rec.Name);
    CopyForm->StatusPanel->SetVisible(false);
    Application->ProcessMessages();
    if (Result == 1) {
        Target.FreeBytes = 0;
    } else {
        List.SetTagged(N, false);
        SomethingTransferred = true;
        if (MoveMode && Result == 0) {
            const std::string Source = FolderPath() + Rec.Name;
            platform::SetFileAttributes(Source, 0);
            if (!platform::DeleteFile(Source)) {
                catalog::ErrorBox("Error Erasing " + Rec.Name);
            } else {
                --List.FilesInList;
                List.BytesInList -= Rec.Size;
                SourceListChanged = true;
            }
        }
        Target.FreeBytes = OffloadDriveFree(Target.Drive);
        if (Target.FreeBytes < 0) Target.FreeBytes = 0;
    }
    CopyForm->FileOperation->Font().SetSize(10);
    CopyForm->FileOperation->SetCaption("");
    CopyForm->FileSize->SetCaption("");
    CopyForm->FreeSpace->SetCaption(OffloadRunCount(Target.FreeBytes));
    CopyForm->TaggedFiles->SetCaption(OffloadRunCount(List.TaggedFiles));
    CopyForm->TaggedBytes->SetCaption(OffloadRunCount(List.TaggedBytes));
    TagsChanged();
}

int TDiskFillForm::CopyOneFile(const std::string& Name) {
    const std::string Source = FolderPath() + Name;
    if (platform::GetFileAttributes(Source) == platform::INVALID_FILE_ATTRIBUTES) {
        catalog::ErrorBox(Name + "\r\n\r\n" + FileCopyErrorText(TFileCopyResult::SourceMissing));
        return 1;
    }
    const std::string TargetPath = std::string(1, Target.Drive) + ":\\" + Name;
    if (platform::GetFileAttributes(TargetPath) != platform::INVALID_FILE_ATTRIBUTES) {
        // Overwriting the source with itself would delete the only copy.
        if (SameFileOnDisk(Source, TargetPath)) {
            catalog::ErrorBox(Name + "\r\n\r\n" + FileCopyErrorText(TFileCopyResult::SameFile));
            return 2;
        }
        if (NoToAll) return 2;
        if (!YesToAll) {
            platform::MessageBeep(platform::MB_ICONHAND);
            const int Answer =
                MessageDlg(Name + "\r\n\r\n" +
                               "This File Already Exists In The Target Folder.  Overwrite (Even If "
                               "Marked As \"Read Only\")?",
                           mtConfirmation, {mbYes, mbNo, mbNoToAll, mbYesToAll}, 0);
            if (Answer == mrNoToAll) NoToAll = true;
            if (Answer == mrYesToAll) YesToAll = true;
            // Only a Yes overwrites: closing the question keeps the file on the disk.
            if (Answer != mrYes && Answer != mrYesToAll) return 2;
        }
        platform::SetFileAttributes(TargetPath, 0);
        if (!platform::DeleteFile(TargetPath)) {
            catalog::ErrorBox("Unable To Erase Existing File Before Copying The New One");
            return 2;
        }
    }
    Application->ProcessMessages();
    if (CopyForm->CancelRequested) return 1;
    TFileCopyHooks Hooks;
    Hooks.Cancelled = [this] {
        Application->ProcessMessages();
        return CopyForm->CancelRequested;
    };
    Hooks.Progress = [this](int Percent) { CopyForm->StatusProgressBar->SetProgress(Percent); };
    const TFileCopyResult Result = CopyFileInBlocks(Source, TargetPath, Hooks);
    if (Result == TFileCopyResult::Cancelled) return 1;
    if (Result != TFileCopyResult::Copied) {
        catalog::ErrorBox(Result == TFileCopyResult::SourceMissing || Result == TFileCopyResult::SameFile
                            ? Name + "\r\n\r\n" + FileCopyErrorText(Result)
                            : FileCopyErrorText(Result));
        return Result == TFileCopyResult::SameFile ? 2 : 1;
    }
    Application->ProcessMessages();
    framework::Sleep(150);
    return 0;
}

void TDiskFillForm::RecatalogTargetDisk() {
    cataloging::TCatalogRunRequest Request;
    Request.Fields.FromOffloadTool = true;
    Request.Fields.SkipExistsWarning = RecommendedDiskChosen;
    Request.Fields.DriveLetter = Target.Drive;
    Request.Fields.StartFolder = std::string(1, Target.Drive) + ":\\";
    Request.Fields.Recurse = Prompt->DFCatalogSubFolders->Checked();
    Request.Fields.IgnoreRecycleBin = Prompt->DFIgnoreRecycleBin->Checked();
    Request.Fields.KeepInMemory = Prompt->DFTempDBInMem->Checked();
    Request.Fields.StatsOnly = false;
    Request.Caption = "Cataloging Disk In Drive " + std::string(1, Target.Drive);
    Request.PauseAfter = Prompt->DFPause->Checked();
    cataloging::RunCatalogDisk(Request, this);
}

}  // namespace tools
