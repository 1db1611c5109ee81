#pragma once
// TToolsSettingsForm: the squelch settings of the offload tool and of the cleanup tools, one
// notebook page each: 40 volume-label patterns and a check box per drive letter. The pattern rows
// edit the blocks in Globals in place; Save stores both blocks in the options record of
// KorvaneOptions, and closing without a successful save reads both blocks back from there. The
// drive flags reach Globals only through Save.

#include <array>

#include "framework/ui/Forms.h"

namespace framework {
class TBitBtn;
class TCheckBox;
class TGroupBox;
}  // namespace framework
namespace dbsql {
class TDbTable;
}
namespace entry {
class TCtlController;
class TCtlPictureArrayEditor;
}  // namespace entry
namespace grid {
class TCtlNotebook;
}

namespace catalog {

struct TSquelchSettings;

class TToolsSettingsForm : public framework::TForm {
public:
    explicit TToolsSettingsForm(framework::TComponent* AOwner);
    ~TToolsSettingsForm() override;

    int HelpContext = 10;
    // Set once a save has posted the options record.
    bool Saved = false;

    grid::TCtlNotebook* Notebook;
    framework::TGroupBox *VolumesGroup, *DrivesGroup, *DCVolumesGroup, *DCDrivesGroup;
    entry::TCtlPictureArrayEditor* Volsq;
    entry::TCtlPictureArrayEditor* DCVolSQ;
    // Drive letter L at [L - 'A'].
    std::array<framework::TCheckBox*, 26> Drv{};
    std::array<framework::TCheckBox*, 26> DCDrv{};
    dbsql::TDbTable* Table1;
    framework::TBitBtn* BitBtn1;  // "&Save"
    framework::TBitBtn* CancelBtn;
    framework::TBitBtn* HelpBtn;

    void FormShow(framework::TObject* Sender);
    // Save: both blocks to the options record; "Error Saving Tool Settings" when that fails.
    void BitBtn1Click(framework::TObject* Sender);
    // Without a successful save, both blocks are read back from the options record; "Error
    // Restoring Tool Settings" when that fails.
    void FormClose(framework::TObject* Sender, framework::TCloseAction& Action);

protected:
    void DoClose(framework::TCloseAction& Action) override;

private:
    entry::TCtlPictureArrayEditor* NewPatternEditor(framework::TWinControl& Parent, const char* Name,
                                                    TSquelchSettings& Block);
    void NewDriveBoxes(framework::TWinControl& Parent, const char* Prefix,
                       std::array<framework::TCheckBox*, 26>& Boxes);
    // The options record: Table1 open on it.
    void OpenOptions();

    entry::TCtlController* FController;
};

// Creates the dialog on notebook page Page (0 the offload settings, 1 the cleanup settings), shows
// it modally and releases it (the Settings menu's tool settings, and the offload and cleanup tools).
void ShowToolsSettingsForm(int Page = 0);

}  // namespace catalog
