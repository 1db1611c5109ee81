// The run's volume step: the disk's serial number, label and figures, and the name the volume is
// catalogued under (its label, a label written on the spot or an alias), with the warning about a
// volume of that name already in the catalog.

#include "catalog/Globals.h"
#include "cataloging/run/CatalogProgressForm.h"
#include "cataloging/run/RunDialogs.h"
#include "cataloging/volume/VolumeForms.h"
#include "dbsql/components/DbTable.h"
#include "framework/core/SysUtils.h"
#include "framework/stdctrls/Dialogs.h"
#include "framework/stdctrls/Edit.h"
#include "framework/stdctrls/ExtCtrls.h"
#include "framework/stdctrls/FileCtrl.h"
#include "framework/stdctrls/Label.h"
#include "framework/ui/ExtCtrls.h"
#include "platform/Beep.h"
#include "platform/Volume.h"
#include "sysutil/UtStrS.h"
#include "sysutil/UtSystem.h"

namespace cataloging {

using namespace framework;

namespace {

// Size and free bytes of a drive; -1 when they cannot be read.
void DriveSpace(char Drive, int64_t& Size, int64_t& Free) {
    uint64_t avail = 0, total = 0;
    if (platform::GetDiskFreeSpaceEx(std::string(1, Drive) + ":\\", &avail, &total, nullptr)) {
        Size = int64_t(total);
        Free = int64_t(avail);
    } else {
        Size = Free = -1;
    }
}

std::string Figure(int64_t Value) {
    return Value == -1 ? std::string("Undetermined ") : FormatFloat("#,###,###,###,##0", double(Value)) + " ";
}

}  // namespace

bool TCatalogProgressForm::ReadVolumeInfo() {
    const char drive = Spec.DriveLetter;
    const std::string driveText(1, drive);
    const bool listing = Spec.ScanOnly;
    try {
        // 1. The serial number; failures leave 0.
        Spec.VolumeSerial = 0;
        try {
            sysutil::VolumeInfoRec info;
            if (sysutil::QueryVolumeInfo(drive, info) == 0) Spec.VolumeSerial = info.Serial;
        } catch (const std::exception&) {
        }

        // 2. The label, or one written now.
        std::string label;
        const int32_t error = sysutil::FetchVolumeLabel(label, drive);
        if (error != 0) {
            if (!listing) {
                platform::MessageBeep(platform::MB_ICONHAND);
                if (MessageDlg(
                        "Error " + IntToStr(error) +
                            " Was Encountered While Determining The Disk Volume ID\r\n\r\n"
                            "Would You Like To Continue By Using Korvane's \"Alias\" Feature To Assign A "
                            "Volume Label?",
                        mtError, {mbYes, mbNo}, 0) != mrYes)
                    return false;
            }
            Spec.ActualLabel.clear();
        } else {
            Spec.ActualLabel = label.substr(0, label.find('\0'));
            if (!listing && Trim(Spec.ActualLabel).empty()) {
                auto* form = TCustomForm::Create<TDiskLabelForm>(Application);
                form->FromCataloguing = true;
                form->DriveComboBox->SetDrive(drive);
                form->DriveComboBox->SetEnabled(false);
                const TModalResult answer = form->ShowModal();
                const std::string written = form->NewLabel->Text();
                form->Release();
                if (answer == mrOk) Spec.ActualLabel = written;
                if (answer == mrCancel) return false;
            }
        }

        // 3. The name in the catalog.
        if (listing) {
            Spec.CatalogLabel = UpperCase(Spec.ActualLabel);
        } else {
            bool retry = false;
            for (;;) {
                const std::string actual = Trim(Spec.ActualLabel);
                if (actual.empty() || Spec.Aliases || retry) {
                    auto* form = TCustomForm::Create<TDiskAliasForm>(Application);
                    if (actual.empty()) {
                        form->VlabelLine->SetCaption("Disk In Drive " + driveText + ": Has No Volume Label");
                        form->AliasLine->SetText(Spec.Aliases ? SuggestNextLabel() : std::string());
                    } else {
                        form->VlabelLine->SetCaption("Disk In Drive " + driveText + ": Is \"" + actual +
                                                     "\"");
                        form->AliasLine->SetText(actual);
                    }
                    const TModalResult answer = form->ShowModal();
                    const std::string alias = Trim(form->AliasLine->Text());
                    form->Release();
                    if (answer != mrOk) return false;
                    catalog::LastCatalogedLabel = UpperCase(alias);
                    Spec.CatalogLabel = alias;
                } else {
                    Spec.CatalogLabel = UpperCase(Spec.ActualLabel);
                }
                if (Spec.FromCleanupTool || Spec.SkipExistsWarning || !Spec.WarnIfExists ||
                    !SummaryTable->Active() || !SummaryTable->FindKey({Variant(Trim(Spec.CatalogLabel))}))
                    break;
                platform::MessageBeep(platform::MB_ICONHAND);
                auto* form = TCustomForm::Create<TDiskAlreadyCatalogedForm>(Application);
                form->MessageLine->SetCaption("A Disk With This Name (\"" + Trim(Spec.CatalogLabel) +
                                              "\") Already Exists In The Catalog.");
                const TModalResult answer = form->ShowModal();
                form->Release();
                if (answer == mrRetry) {
                    retry = true;
                    continue;
                }
                if (answer == mrIgnore) break;
                return false;
            }
        }

        // 4. The figures.
        DriveSpace(drive, Spec.DiskSizeBytes, Spec.DiskFreeBytes);
        if (Spec.DiskSizeBytes == -1 && !listing) {
            ErrorBox("Error Determining Disk Size");
            return false;
        }
        if (Spec.DiskFreeBytes == -1 && !listing) {
            ErrorBox("Error Determining Disk Free Space");
            return false;
        }
        uint32_t freeClusters = 0, totalClusters = 0, bytesPerSector = 0, sectorsPerCluster = 0;
        if (sysutil::QueryDiskSpace(drive, freeClusters, totalClusters, bytesPerSector, sectorsPerCluster)) {
            Spec.ClusterBytes = int64_t(bytesPerSector) * sectorsPerCluster;
        } else {
            Spec.ClusterBytes = -1;
            if (!listing) {
                ErrorBox("Error Determining Disk Cluster Size");
                return false;
            }
        }
        VolumeIDPanel->SetCaption(" " + Spec.CatalogLabel);
        const std::string serial = sysutil::LongToHexText(Spec.VolumeSerial);
        SerialNoPanel->SetCaption(" " + serial.substr(0, 4) + "-" + serial.substr(4));
        DiskSizePanel->SetCaption(Figure(Spec.DiskSizeBytes));
        DiskFreePanel->SetCaption(Figure(Spec.DiskFreeBytes));
        DiskClusterSizePanel->SetCaption(Figure(Spec.ClusterBytes));
        ProcessMessages();
        return true;
    } catch (const std::exception&) {
        ErrorBox("An Error Occurred While Reading Disk Summary Information");
        return false;
    }
}

}  // namespace cataloging
