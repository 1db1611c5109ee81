#pragma once
// The names a volume is catalogued under: the label dialog (reads, writes and erases a drive's
// label, and offers to rename the volume in the catalog after a write), the alias dialog (a name
// kept only in the catalog), the already-catalogued question, the suggestion of the next alias and
// the catalog update after a label was written.

#include <string>

#include "framework/ui/Forms.h"

namespace framework {
class TBitBtn;
class TDriveComboBox;
class TEdit;
class TLabel;
class TMemo;
class TPanel;
}  // namespace framework

namespace cataloging {

// "Label A Disk". Opened by the Cataloging menu with the drive box enabled, or by a run
// (FromCataloguing, the drive set and the box disabled), which then also offers "Catalog Under
// Alias" (mrIgnore). OK means a label was written.
class TDiskLabelForm : public framework::TForm {
public:
    explicit TDiskLabelForm(framework::TComponent* AOwner);

    bool FromCataloguing = false;
    // The label read when the drive was chosen; empty when it had none or could not be read.
    std::string OldDriveLabel;

    framework::TDriveComboBox* DriveComboBox;
    framework::TPanel* VolumeLabelPanel;
    framework::TEdit* NewLabel;
    framework::TBitBtn *WriteBtn, *CancelBtn, *HelpBtn, *CatalogUnderAliasBtn;
    int HelpContext = 32;

    // Reads the label of the drive chosen into the panel, the edit and OldDriveLabel.
    void ReadCurrentLabel();
    void WriteBtnClick();

protected:
    void DoShow() override;

private:
    bool FCreating = true;
};

// "Volume Label \"Alias\" For Cataloging": the caller fills VlabelLine and AliasLine.
class TDiskAliasForm : public framework::TForm {
public:
    explicit TDiskAliasForm(framework::TComponent* AOwner);

    framework::TLabel* VlabelLine;
    framework::TEdit* AliasLine;
    framework::TMemo* ExplanationMemo;
    framework::TBitBtn *OKBtn, *CancelBtn;

    // A blank alias is refused and the dialog stays.
    void OKBtnClick();
};

// "What Should I Do?": mrRetry (another name), mrIgnore (replace), mrAbort (stop).
class TDiskAlreadyCatalogedForm : public framework::TForm {
public:
    explicit TDiskAlreadyCatalogedForm(framework::TComponent* AOwner);

    framework::TLabel* MessageLine;
    framework::TBitBtn *AliasBtn, *ReplaceBtn, *StopBtn;
};

// The alias suggested for a disk without a label: the catalog's last label with the number at its
// end raised until no volume of the current catalog has that name; empty when no catalog is
// current or the number would need another digit. Also sets LastCatalogedLabel from the catalog.
std::string SuggestNextLabel();

// After a label was written: when exactly one volume of the current catalog carries OldLabel as its
// actual label and no volume is named NewLabel yet, asks and renames that volume and its entries
// (both in one transaction; an engine error is raised with nothing changed).
void UpdateCatalogForNewLabel(const std::string& OldLabel, const std::string& NewLabel);

}  // namespace cataloging
