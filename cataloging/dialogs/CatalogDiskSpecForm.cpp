#include "cataloging/dialogs/CatalogDiskSpecForm.h"

#include <cctype>

#include "catalog/CatalogOptionsForm.h"
#include "catalog/FormParts.h"
#include "catalog/Globals.h"
#include "catalog/ProgramTables.h"
#include "cataloging/dialogs/SelectDirectoryForm.h"
#include "cataloging/run/CatalogProgressForm.h"
#include "controls/entry/CtlState.h"
#include "dbsql/components/DbTable.h"
#include "framework/core/SysUtils.h"
#include "framework/data/Fields.h"
#include "framework/stdctrls/CheckBox.h"
#include "framework/stdctrls/Dialogs.h"
#include "framework/stdctrls/Edit.h"
#include "framework/stdctrls/FileCtrl.h"
#include "framework/stdctrls/GroupBox.h"
#include "framework/stdctrls/Label.h"
#include "framework/stdctrls/RadioButton.h"

namespace cataloging {

using namespace framework;

namespace {

// The settings kept between sessions.
constexpr const char* kStoredProperties =
    "LastDriveLabel.Caption\n"
    "IgnoreRecycle.Checked\n"
    "KeepInMemory.Checked\n"
    "Recurse.Checked\n"
    "StatsFiles.Checked\n"
    "StatsOnly.Checked\n";

template <class T>
T* NewCheck(TForm& Form, TWinControl& Parent, const char* Name, int Left, int Top, int Width,
            const char* Caption, bool Checked) {
    auto* box = NewComponent<T>(&Form);
    box->SetName(Name);
    box->SetParent(&Parent);
    box->SetBounds(Left, Top, Width, 17);
    box->SetCaption(Caption);
    box->SetChecked(Checked);
    return box;
}

}  // namespace

TCatalogDiskSpecForm::TCatalogDiskSpecForm(TComponent* AOwner) : TForm(AOwner) {
    SetName("CatalogDiskSpecForm");
    SetCaption("Catalog Disk- Criteria");
    SetBorderStyle(bsDialog);
    Position = poScreenCenter;
    SetClientSize(452, 252);

    catalog::NewLabel(*this, *this, "DriveLabel", 12, 10, 200, "Catalog From Drive:");
    DriveComboBox = NewComponent<TDriveComboBox>(this);
    DriveComboBox->SetName("DriveComboBox");
    DriveComboBox->SetParent(this);
    DriveComboBox->SetBounds(12, 27, 200, 21);
    DriveComboBox->OnChange = [this](TObject*) { DriveComboBoxChange(); };

    catalog::NewLabel(*this, *this, "StartDirLabel", 12, 58, 300, "Start Cataloging From This Folder");
    StartDir = NewComponent<TEdit>(this);
    StartDir->SetName("StartDir");
    StartDir->SetParent(this);
    StartDir->SetBounds(12, 75, 398, 21);
    StartDir->SetReadOnly(true);
    StartDir->SetColor(clBtnFace);
    StartDir->SetTabStop(false);
    SpeedButton1 = NewComponent<TSpeedButton>(this);
    SpeedButton1->SetName("SpeedButton1");
    SpeedButton1->SetParent(this);
    SpeedButton1->SetBounds(416, 74, 24, 23);
    SpeedButton1->SetCaption("...");
    SpeedButton1->Hint = "Select Directory From List";
    SpeedButton1->SetShowHint(true);
    SpeedButton1->OnClick = [this](TObject*) { SpeedButton1Click(); };

    Recurse = NewCheck<TCheckBox>(*this, *this, "Recurse", 12, 106, 420,
                                  "Catalog All Sub-Folders Within This Folder", true);
    CatalogGroup = NewComponent<TGroupBox>(this);
    CatalogGroup->SetName("CatalogGroup");
    CatalogGroup->SetParent(this);
    CatalogGroup->SetCaption("Catalog");
    CatalogGroup->SetBounds(12, 132, 168, 64);
    StatsFiles =
        NewCheck<TRadioButton>(*this, *CatalogGroup, "StatsFiles", 10, 18, 150, "Disk Stats && Files", true);
    StatsOnly =
        NewCheck<TRadioButton>(*this, *CatalogGroup, "StatsOnly", 10, 40, 150, "Disk Stats Only", false);
    IgnoreRecycle = NewCheck<TCheckBox>(*this, *this, "IgnoreRecycle", 196, 146, 250,
                                        "Skip Files In The Windows Recycle Bin", true);
    KeepInMemory = NewCheck<TCheckBox>(*this, *this, "KeepInMemory", 196, 172, 250,
                                       "Keep Temporary Database(s) In Memory", false);
    LastDriveLabel = catalog::NewLabel(*this, *this, "LastDriveLabel", 420, 10, 20, "");
    LastDriveLabel->SetVisible(false);

    BitBtn1 = catalog::NewDialogButton(*this, *this, "BitBtn1", bkCustom, 12, 210);
    BitBtn1->SetCaption("Catalog &Now");
    BitBtn1->SetWidth(104);
    BitBtn1->SetDefault(true);
    BitBtn1->OnClick = [this](TObject*) { BitBtn1Click(); };
    OptionsBtn = catalog::NewDialogButton(*this, *this, "OptionsBtn", bkCustom, 122, 210);
    OptionsBtn->SetCaption("&Catalog &Options");
    OptionsBtn->SetWidth(120);
    OptionsBtn->Hint = "Set Cataloging And Reporting Options For The Highlighted Catalog";
    OptionsBtn->SetShowHint(true);
    OptionsBtn->OnClick = [this](TObject*) { OptionsBtnClick(); };
    BitBtn2 = catalog::NewDialogButton(*this, *this, "BitBtn2", bkClose, 254, 210);
    BitBtn3 = catalog::NewDialogButton(*this, *this, "BitBtn3", bkHelp, 351, 210, &HelpContext);

    OnShow = [this](TObject*) { FormShow(); };
    // Before the state hooks it: the drive is noted, then the settings are saved.
    OnCloseQuery = [this](TObject*, bool& CanClose) { FormCloseQuery(CanClose); };
    Store = NewComponent<entry::TCtlRegistryStore>(this);
    Store->SetName("Store");
    ComponentState = NewComponent<entry::TCtlComponentState>(this);
    ComponentState->SetName("ComponentState");
    ComponentState->SetStorage(Store);
    ComponentState->SetSection("TCatalogDiskSpecForm");
    ComponentState->StoredProperties().SetText(kStoredProperties);
    SetActiveControl(BitBtn1);
}

char TCatalogDiskSpecForm::DriveLetter() const {
    return char(std::toupper(uint8_t(DriveComboBox->Drive())));
}

void TCatalogDiskSpecForm::FormShow() {
    // A remembered drive the drive map no longer holds leaves the box where it is.
    const std::string last = Trim(LastDriveLabel->Caption());
    if (!last.empty()) DriveComboBox->SetDrive(last[0]);
    StartDir->SetText(std::string(1, DriveLetter()) + ":\\");
}

void TCatalogDiskSpecForm::DriveComboBoxChange() {
    StartDir->SetText(std::string(1, DriveLetter()) + ":\\");
}

void TCatalogDiskSpecForm::SpeedButton1Click() {
    std::string folder = StartDir->Text();
    if (ChooseStartFolder(DriveLetter(), folder)) StartDir->SetText(folder);
}

void TCatalogDiskSpecForm::OptionsBtnClick() {
    auto* dialog = TCustomForm::Create<catalog::TCatalogOptionsForm>(Application);
    dbsql::TDbTable& table = *dialog->Table;
    bool found = false;
    try {
        table.SetDatabaseName(catalog::ProgramFolder);
        table.SetTableName(catalog::CatalogConfigsSchema().TableName);
        table.Open();
        table.SetKey();
        table.FieldByName("CatalogName")->SetAsString(catalog::CurrentCatalogName);
        found = table.GotoKey();
        if (found) table.Edit();
    } catch (const std::exception&) {
        table.Close();
        dialog->Free();
        catalog::ErrorBox("Error Retrieving Configuration Data For This Catalog");
        return;
    }
    if (!found) {
        table.Close();
        dialog->Free();
        catalog::ErrorBox("Cannot Find Configuration Data For This Catalog");
        return;
    }
    try {
        dialog->CatalogPanel->SetCaption("Current Catalog = \"" + Trim(catalog::CurrentCatalogName) + "\"");
        // Anything but Save Options leaves the record as it was.
        if (dialog->ShowModal() != mrOk && table.State() != dsBrowse) table.Cancel();
    } catch (...) {
        table.Close();
        dialog->Free();
        throw;
    }
    table.Close();
    dialog->Free();
}

void TCatalogDiskSpecForm::BitBtn1Click() {
    TCatalogRunRequest request;
    request.Fields.DriveLetter = DriveLetter();
    request.Fields.StartFolder = StartDir->Text();
    request.Fields.Recurse = Recurse->Checked();
    request.Fields.IgnoreRecycleBin = IgnoreRecycle->Checked();
    request.Fields.KeepInMemory = KeepInMemory->Checked();
    request.Fields.StatsOnly = StatsOnly->Checked();
    request.Caption = "Cataloging Disk In Drive " + std::string(1, DriveLetter());
    request.PauseAfter = true;
    try {
        RunCatalogDisk(request, this);
    } catch (...) {
        if (RefreshStatPanels) RefreshStatPanels();
        throw;
    }
    if (RefreshStatPanels) RefreshStatPanels();
}

void TCatalogDiskSpecForm::FormCloseQuery(bool& CanClose) {
    LastDriveLabel->SetCaption(std::string(1, DriveLetter()));
    CanClose = true;
}

}  // namespace cataloging
