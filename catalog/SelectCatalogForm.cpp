#include "catalog/SelectCatalogForm.h"

#include <exception>
#include <memory>
#include <utility>
#include <vector>

#include "catalog/CatalogOptionsForm.h"
#include "catalog/CatalogSizeForms.h"
#include "catalog/FormParts.h"
#include "catalog/Globals.h"
#include "catalog/ProgramTables.h"
#include "controls/entry/CtlController.h"
#include "controls/entry/CtlPictureField.h"
#include "dbsql/components/DbTable.h"
#include "framework/core/SysUtils.h"
#include "framework/data/DataSource.h"
#include "framework/data/Fields.h"
#include "framework/dbctrls/DBCtrls.h"
#include "framework/dbctrls/DBGrids.h"
#include "framework/stdctrls/Dialogs.h"
#include "framework/stdctrls/Edit.h"
#include "framework/stdctrls/ExtCtrls.h"
#include "framework/stdctrls/Label.h"

namespace catalog {

using namespace framework;

namespace {

const char* const kNoCatalogs = "No Catalogs Have Been Defined Yet";

void PointAtConfigs(dbsql::TDbTable& Table) {
    Table.Close();
    Table.SetDatabaseName(ProgramFolder);
    Table.SetTableName(CatalogConfigsSchema().TableName);
}

// Positions the open configuration table on the catalog of that name (letter case aside).
bool FindCatalog(dbsql::TDbTable& Table, const std::string& Name) {
    Table.SetKey();
    Table.FieldByName("CatalogName")->SetAsString(Name);
    return Table.GotoKey();
}

// The three tables of a catalog with the message of a failure to delete or rename each.
struct TCatalogPart {
    const char* Suffix;
    const char* DeleteError;
    const char* RenameError;
};
constexpr TCatalogPart kCatalogParts[] = {
    {"_SUM", "Error Deleting Summary File.", "Error Renaming Summary File."},
    {"_CAT", "Error Deleting Catalog File.", "Error Renaming Catalog File."},
    {"_LOG", "Error Deleting Log File.", "Error Renaming Log File."},
};

// The checks both name dialogs make before they look the name up: an error box (after the beep)
// for an empty name or one that cannot become part of file names; true when the name may go on.
bool NameMayBeTaken(const std::string& Name, const char* EmptyMessage, TWinControl& Edit) {
    const char* message = Name.empty()                ? EmptyMessage
                          : !IsValidCatalogName(Name) ? InvalidCatalogNameText
                                                      : nullptr;
    if (message == nullptr) return true;
    ErrorBox(message);
    Edit.SetFocus();
    return false;
}

TEdit* NewNameEdit(TComponent& Owner, TWinControl& Parent, const char* Name, int Left, int Top) {
    auto* edit = NewComponent<TEdit>(&Owner);
    edit->SetName(Name);
    edit->SetParent(&Parent);
    edit->SetBounds(Left, Top, 180, 23);
    edit->SetMaxLength(20);
    edit->SetText("");
    return edit;
}

// A button that runs Click and leaves the ending of the dialog to it.
TBitBtn* NewActionButton(TCustomForm& Form, const char* Name, TBitBtnKind Kind, const char* Caption, int Left,
                         int Top, std::function<void()> Click) {
    TBitBtn* button = NewDialogButton(Form, Form, Name, Kind, Left, Top);
    button->ModalResult = mrNone;
    if (Caption) button->SetCaption(Caption);
    button->OnClick = [Click = std::move(Click)](TObject*) { Click(); };
    return button;
}

}  // namespace

// ---- New Catalog ----

TNewCatalogForm::TNewCatalogForm(TComponent* AOwner) : TForm(AOwner) {
    SetName("NewCatalogForm");
    SetCaption("New Catalog");
    SetBorderStyle(bsDialog);
    Position = poScreenCenter;
    SetClientSize(400, 256);
    Controller = NewComponent<entry::TCtlController>(this);
    Table = NewComponent<dbsql::TDbTable>(this);
    NewLabel(*this, *this, "NameLabel", 16, 19, 170, "Catalog Name:");
    CatalogName = NewNameEdit(*this, *this, "CatalogName", 196, 16);
    struct Row {
        const char* Label;
        const char* Field;
        int High;
        entry::TCtlPictureField** Into;
    } rows[] = {{"Maximum Filename Length (16 to 200):", "FileNameLength", 200, &FileNameLength},
                {"Maximum Foldername Length (16 to 200):", "FolderNameLength", 200, &FolderNameLength},
                {"Maximum Archive ID Length (16 to 90):", "ArchiveIDLength", 90, &ArchiveIDLength}};
    int top = 56;
    for (const Row& r : rows) {
        NewLabel(*this, *this, (std::string(r.Field) + "Label").c_str(), 16, top + 3, 250, r.Label);
        *r.Into = NewLengthField(*this, *this, r.Field, 276, top, r.High);
        top += 32;
    }
    NoteLabel = NewLabel(*this, *this, "NoteLabel", 16, 156, 370,
                         "Larger lengths make the catalog bigger.  Items that do not fit\n"
                         "are reported while cataloging, and the catalog can then be\n"
                         "adjusted to hold them, so it is best to start small.");
    CreateBtn = NewActionButton(*this, "BitBtn1", bkOK, "&Create", 100, 210, [this] { BitBtn1Click(); });
    CancelBtn = NewDialogButton(*this, *this, "CancelBtn", bkCancel, 210, 210);
    Controller->OnIsSpecialControl = [this](TObject*, TWinControl* Control, bool& Special) {
        Special = Control == CancelBtn;
    };
    SetActiveControl(CatalogName);
}

std::string TNewCatalogForm::TrimmedName() const {
    return Trim(CatalogName->Text());
}

TNameLengths TNewCatalogForm::Lengths() const {
    return {FileNameLength->GetAsInteger(), FolderNameLength->GetAsInteger(),
            ArchiveIDLength->GetAsInteger()};
}

void TNewCatalogForm::BitBtn1Click() {
    const std::string name = TrimmedName();
    if (!NameMayBeTaken(name, "Please Specify A Catalog Name", *CatalogName)) return;
    for (entry::TCtlPictureField* field : {FileNameLength, FolderNameLength, ArchiveIDLength})
        if (field->ValidateContents(true) != 0) return;
    try {
        PointAtConfigs(*Table);
        Table->Open();
    } catch (const std::exception&) {
        ErrorBox("Cannot Open Catalog Configuration Table To Determine If This Catalog Already Exists");
        return;
    }
    bool found = false;
    try {
        found = FindCatalog(*Table, name);
    } catch (const std::exception&) {
        Table->Close();
        ErrorBox("Cannot Open Catalog Configuration Table To Determine If This Catalog Already Exists");
        return;
    }
    Table->Close();
    if (found) {
        ErrorBox("A Catalog By This Name Already Exists");
        return;
    }
    SetModalResult(mrOk);
}

// ---- Rename Catalog ----

TRenameCatalogForm::TRenameCatalogForm(TComponent* AOwner) : TForm(AOwner) {
    SetName("RenameCatalogForm");
    SetCaption("Rename Catalog");
    SetBorderStyle(bsDialog);
    Position = poScreenCenter;
    SetClientSize(332, 140);
    NewLabel(*this, *this, "OldLabel", 16, 20, 116, "Old Catalog Name:");
    OldCatalogName = NewPanel(*this, *this, "OldCatalogName", 136, 16, 180, 23, bvLowered);
    OldCatalogName->SetAlignment(taLeftJustify);
    NewLabel(*this, *this, "NewLabel", 16, 56, 116, "New Catalog Name:");
    NewCatalogName = NewNameEdit(*this, *this, "NewCatalogName", 136, 52);
    OKBtn = NewActionButton(*this, "BitBtn1", bkOK, nullptr, 66, 94, [this] { BitBtn1Click(); });
    CancelBtn = NewDialogButton(*this, *this, "CancelBtn", bkCancel, 176, 94);
    SetActiveControl(NewCatalogName);
}

std::string TRenameCatalogForm::TrimmedName() const {
    return Trim(NewCatalogName->Text());
}

void TRenameCatalogForm::BitBtn1Click() {
    const std::string name = TrimmedName();
    if (!NameMayBeTaken(name, "Please Specify A New Catalog Name.", *NewCatalogName)) return;
    if (name == OldCatalogName->Caption()) {
        ErrorBox("New Catalog Name Cannot Be The Same As The Old Catalog Name.");
        NewCatalogName->SetFocus();
        return;
    }
    dbsql::TDbTable table;
    bool found = false;
    try {
        PointAtConfigs(table);
        table.Open();
        found = FindCatalog(table, name);
    } catch (const std::exception&) {
        table.Close();
        ErrorBox("Cannot Open Catalog Configuration File.");
        return;
    }
    table.Close();
    if (found) {
        ErrorBox("New Catalog Name Already Exists.");
        return;
    }
    SetModalResult(mrOk);
}

// ---- Select / Create / Configure Catalog ----

TSelectCatalogForm::TSelectCatalogForm(TComponent* AOwner) : TForm(AOwner) {
    SetName("SelectCatalogForm");
    SetCaption("Select / Create / Configure Catalog");
    SetBorderStyle(bsDialog);
    Position = poScreenCenter;
    SetClientSize(665, 330);
    CfgTable2 = NewComponent<dbsql::TDbTable>(this);
    CfgSource = NewComponent<TDataSource>(this);
    CfgSource->SetDataSet(CfgTable2);
    CfgSource->AutoEdit = false;

    GridHeader = NewPanel(*this, *this, "GridHeader", 8, 12, 505, 24, bvRaised);
    GridHeader->SetCaption("Catalogs Currently Defined");
    DBGrid1 = NewComponent<TDBGrid>(this);
    DBGrid1->SetName("DBGrid1");
    DBGrid1->SetParent(this);
    DBGrid1->SetBounds(8, 36, 505, 228);
    DBGrid1->SetOptions(dgTitles | dgIndicator | dgColumnResize | dgColLines | dgRowLines | dgRowSelect |
                        dgAlwaysShowSelection);
    DBGrid1->SetReadOnly(true);
    DBGrid1->SetDataSource(CfgSource);
    const std::pair<const char*, const char*> columns[] = {{"CatalogName", "Catalog Name"},
                                                           {"FileNameFieldLength", "FileName Length"},
                                                           {"FolderNameFieldLength", "FolderName Length"},
                                                           {"ArchiveIDFieldLength", "ArchiveID Length"}};
    for (const auto& [field, title] : columns) {
        TColumn* column = DBGrid1->Columns().Add();
        column->SetFieldName(field);
        column->Title().SetCaption(title);
        column->SetWidth(field == columns[0].first ? 140 : 110);
    }
    DBGrid1->OnDblClick = [this](TObject*) { DBGrid1DblClick(); };
    DBGrid1->OnMouseMove = [this](TObject*, TShiftState, int X, int Y) { DBGrid1MouseMove(X, Y); };
    Navigator = NewComponent<TDBNavigator>(this);
    Navigator->SetName("Navigator");
    Navigator->SetParent(this);
    Navigator->SetVisibleButtons(NavButtons({nbFirst, nbPrior, nbNext, nbLast}));
    Navigator->SetBounds(8, 272, 160, 25);
    Navigator->SetDataSource(CfgSource);

    // Delete and Rename stand right above New, so that the picker can close the gap by moving New
    // into Rename's place.
    ItemLengthBtn = NewActionButton(*this, "ItemLengthBtn", bkCustom, "&Adjust Sizes", 525, 20,
                                    [this] { ItemLengthBtnClick(); });
    OptionsBtn = NewActionButton(*this, "OptionsBtn", bkCustom, "&Catalog &Options", 525, 60,
                                 [this] { OptionsBtnClick(); });
    RenameBtn = NewActionButton(*this, "RenameBtn", bkCustom, "&Rename Catalog", 525, 100,
                                [this] { RenameBtnClick(); });
    DeleteBtn = NewActionButton(*this, "DeleteBtn", bkCustom, "&Delete Catalog", 525, 140,
                                [this] { DeleteBtnClick(); });
    NewBtn = NewActionButton(*this, "NewBtn", bkCustom, "&New Catalog", 525, 180, [this] { NewBtnClick(); });
    for (TBitBtn* b : {ItemLengthBtn, OptionsBtn, RenameBtn, DeleteBtn, NewBtn}) b->SetWidth(132);
    SelectBtn = NewActionButton(*this, "SelectBtn", bkCustom, "&Select Catalog", 327, 284,
                                [this] { SelectBtnClick(); });
    SelectBtn->SetWidth(132);
    SelectBtn->SetDefault(true);
    TFont bold = SelectBtn->Font();
    bold.Style = fsBold;
    SelectBtn->SetFont(bold);
    CloseBtn = NewDialogButton(*this, *this, "CloseBtn", bkClose, 471, 284);
    CloseBtn->SetCaption("&Close");
    CloseBtn->ModalResult = mrCancel;
    HelpBtn = NewDialogButton(*this, *this, "HelpBtn", bkHelp, 568, 284, &HelpContext);
    SetActiveControl(DBGrid1);
}

TSelectCatalogForm::~TSelectCatalogForm() {
    CfgTable2->Close();
}

void TSelectCatalogForm::DoShow() {
    if (!MakeCurrent) {
        DeleteBtn->SetVisible(false);
        RenameBtn->SetVisible(false);
        NewBtn->SetTop(100);
    }
    PointAtConfigs(*CfgTable2);
    CfgTable2->Open();
    TForm::DoShow();
}

std::string TSelectCatalogForm::PickedCatalogName() const {
    if (!CfgTable2->Active()) return "";
    return Trim(CfgTable2->FieldByName("CatalogName")->AsString());
}

void TSelectCatalogForm::Reposition(const std::string& Name) {
    CfgTable2->Refresh();
    FindCatalog(*CfgTable2, Name);
}

void TSelectCatalogForm::NewBtnClick() {
    const std::string current = CurrentCatalogName;
    const TShortText<11> lastLabel = LastCatalogedLabel;
    auto* dialog = TCustomForm::Create<TNewCatalogForm>(Application);
    if (dialog->ShowModal() == mrOk) {
        const std::string name = dialog->TrimmedName();
        CurrentCatalogName = name;
        Store.CreateCatalogConfig(false, dialog->Lengths());
        if (!CurrentCatalogName.empty()) Store.OpenCatalog(true);
        Reposition(name);
        // Making a catalog changes neither which catalog is current nor its last label.
        CurrentCatalogName = current;
        LastCatalogedLabel = lastLabel;
    }
    dialog->Free();
    OptionsBtnClick();
}

void TSelectCatalogForm::SelectBtnClick() {
    const std::string name = PickedCatalogName();
    if (name.empty()) {
        ErrorBox(kNoCatalogs);
        return;
    }
    if (MakeCurrent) {
        CurrentCatalogName = name;
        LastCatalogedLabel = Trim(CfgTable2->FieldByName("LastVolumeLabel")->AsString());
        Store.OpenCatalog(false);
    }
    SetModalResult(mrOk);
}

void TSelectCatalogForm::DeleteBtnClick() {
    const std::string name = PickedCatalogName();
    if (name.empty()) {
        ErrorBox(kNoCatalogs);
        return;
    }
    const std::string question =
        "Warning:  This Operation Cannot Be Undone.\rAre You Sure You Want To Delete The "
        "Catalog Named \"" +
        name + "\"?";
    if (MessageDlg(question, mtConfirmation, {mbYes, mbNo}, 0) != mrYes) return;
    if (name == CurrentCatalogName) CurrentCatalogName.clear();
    // Every table is tried; the record goes only with the last of them, so that a catalog whose
    // table could not be deleted stays listed and can be deleted again. A table that is not there
    // counts as deleted.
    bool allDeleted = true;
    dbsql::TDbTable& table = Store.DataTable;
    for (const TCatalogPart& part : kCatalogParts) {
        try {
            table.Close();
            table.SetDatabaseName(CatalogDataFolder);
            table.SetTableName(name + part.Suffix);
            if (table.Exists()) table.DeleteTable();
        } catch (const std::exception&) {
            allDeleted = false;
            ErrorBox(part.DeleteError, false);
        }
    }
    if (!allDeleted) return;
    try {
        CfgTable2->Delete();
    } catch (const std::exception&) {
        ErrorBox("Error Deleting Catalog Configuration Record.", false);
    }
}

void TSelectCatalogForm::RenameBtnClick() {
    const std::string oldName = PickedCatalogName();
    if (oldName.empty()) {
        ErrorBox(kNoCatalogs);
        return;
    }
    auto* dialog = TCustomForm::Create<TRenameCatalogForm>(Application);
    dialog->OldCatalogName->SetCaption(oldName);
    if (dialog->ShowModal() != mrOk) {
        dialog->Free();
        return;
    }
    const std::string newName = dialog->TrimmedName();
    dialog->Free();
    std::string folder = CatalogDataFolder;
    if (folder.empty() || folder.back() != '\\') folder += '\\';
    dbsql::TDbTable& table = Store.DataTable;
    // The renaming stops at the first failing step and puts back what it renamed, so that the
    // catalog stays whole under its old name.
    std::vector<const char*> renamed;
    const auto renameBack = [&] {
        for (const char* suffix : renamed) {
            try {
                table.Close();
                table.SetDatabaseName(CatalogDataFolder);
                table.SetTableName(newName + suffix);
                table.RenameTable(folder + oldName + suffix);
            } catch (const std::exception&) {
            }
        }
    };
    for (const TCatalogPart& part : kCatalogParts) {
        try {
            table.Close();
            table.SetDatabaseName(CatalogDataFolder);
            table.SetTableName(oldName + part.Suffix);
            if (!table.Exists()) continue;
            table.RenameTable(folder + newName + part.Suffix);
            renamed.push_back(part.Suffix);
        } catch (const std::exception&) {
            renameBack();
            ErrorBox(part.RenameError, false);
            return;
        }
    }
    try {
        CfgTable2->Edit();
        CfgTable2->FieldByName("CatalogName")->SetAsString(newName);
        CfgTable2->Post();
    } catch (const std::exception&) {
        CfgTable2->Cancel();
        renameBack();
        ErrorBox("Error Changing Catalog Name In Configuration Record.", false);
        return;
    }
    if (oldName == CurrentCatalogName) CurrentCatalogName = newName;
}

void TSelectCatalogForm::OptionsBtnClick() {
    const std::string name = PickedCatalogName();
    if (name.empty()) {
        ErrorBox(kNoCatalogs);
        return;
    }
    auto* dialog = TCustomForm::Create<TCatalogOptionsForm>(Application);
    dbsql::TDbTable& table = *dialog->Table;
    try {
        PointAtConfigs(table);
        table.Open();
        if (!FindCatalog(table, name)) {
            table.Close();
            dialog->Free();
            ErrorBox("Cannot Find Configuration Data For This Catalog");
            return;
        }
        table.Edit();
    } catch (const std::exception&) {
        table.Close();
        dialog->Free();
        ErrorBox("Error Retrieving Configuration Data For This Catalog");
        return;
    }
    dialog->CatalogPanel->SetCaption("Current Catalog = \"" + name + "\"");
    if (dialog->ShowModal() != mrOk) table.Cancel();
    table.Close();
    Reposition(name);
    dialog->Free();
}

void TSelectCatalogForm::ItemLengthBtnClick() {
    const std::string name = PickedCatalogName();
    auto* dialog = TCustomForm::Create<TCatalogFSizeForm>(Application);
    dialog->Table->SetDatabaseName(CatalogDataFolder);
    dialog->Table->SetTableName(name + "_CAT");
    const std::pair<const char*, std::pair<TLabel*, entry::TCtlPictureField*>> lengths[] = {
        {"FileNameFieldLength", {dialog->FileNameLengthLabel, dialog->FileNameLength}},
        {"FolderNameFieldLength", {dialog->FolderNameLengthLabel, dialog->FolderNameLength}},
        {"ArchiveIDFieldLength", {dialog->ArcIDLengthLabel, dialog->ArchiveIDLength}}};
    for (const auto& [field, controls] : lengths) {
        const int length = CfgTable2->Active() ? CfgTable2->FieldByName(field)->AsInteger() : 0;
        controls.first->SetCaption(controls.first->Caption() + " " + std::to_string(length) + "):");
        controls.second->SetAsInteger(length);
    }
    dialog->StatPanel->SetCaption("Adjusting Sizes For Catalog \"" + name + "\"");
    if (!dialog->DetermineMinimumSizes()) {
        dialog->Free();
        return;
    }
    if (dialog->ShowModal() == mrOk) {
        try {
            CfgTable2->Edit();
            for (const auto& [field, controls] : lengths)
                CfgTable2->FieldByName(field)->SetAsInteger(controls.second->GetAsInteger());
            CfgTable2->Post();
        } catch (const std::exception&) {
            CfgTable2->Cancel();
            ErrorBox(
                "Error Saving New Configuration Settings\rAlthough The Wrong Settings Will Show Here, The "
                "Catalog "
                "Should Be Okay\rUnless An Error Was Reported Prior To This Message.");
        }
    }
    dialog->Free();
}

void TSelectCatalogForm::DBGrid1DblClick() {
    if (!CfgTable2->Active() || CfgTable2->RecordCount() == 0) return;
    if (DBGrid1->MouseCoord(FMouseX, FMouseY).Y < 1) return;  // the title row
    SelectBtnClick();
}

void TSelectCatalogForm::DBGrid1MouseMove(int X, int Y) {
    FMouseX = X;
    FMouseY = Y;
}

void ShowSelectCatalogForm() {
    const std::unique_ptr<TSelectCatalogForm, void (*)(TSelectCatalogForm*)> form(
        TCustomForm::Create<TSelectCatalogForm>(Application), [](TSelectCatalogForm* Form) { Form->Free(); });
    form->ShowModal();
}

}  // namespace catalog
