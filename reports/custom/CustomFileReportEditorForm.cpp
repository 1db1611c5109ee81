#include "reports/custom/CustomFileReportEditorForm.h"

#include <set>
#include <string>

#include "catalog/FormParts.h"
#include "catalog/Globals.h"
#include "catalog/ProgramTables.h"
#include "controls/entry/CtlAttachedButton.h"
#include "controls/entry/CtlController.h"
#include "controls/entry/CtlPictureField.h"
#include "controls/entry/CtlSpinner.h"
#include "controls/grid/CtlDbDateEdit.h"
#include "controls/grid/CtlDbPictureField.h"
#include "controls/grid/CtlNotebook.h"
#include "dbengine/util/EngineError.h"
#include "dbsql/components/DbTable.h"
#include "framework/core/DateTime.h"
#include "framework/core/Exception.h"
#include "framework/core/SysUtils.h"
#include "framework/data/DataSource.h"
#include "framework/data/Fields.h"
#include "framework/dbctrls/DBCtrls.h"
#include "framework/stdctrls/ComboBox.h"
#include "framework/stdctrls/Dialogs.h"
#include "framework/stdctrls/Label.h"
#include "reports/custom/CustomFileReportDefs.h"

namespace reports {

using namespace framework;

namespace {

// The columns of the definition page.
constexpr int kSpecLeft = 130, kCritLeft = 318, kColLeft = 444, kPrioLeft = 504, kDirLeft = 568;
constexpr int kFirstRowTop = 40, kRowStep = 25;

int DefInt(dbsql::TDbTable& Table, const std::string& Name) {
    TField* f = Table.FieldByName(Name);
    return f->IsNull() ? 0 : f->AsInteger();
}

bool DefBool(dbsql::TDbTable& Table, const char* Name) {
    TField* f = Table.FieldByName(Name);
    return !f->IsNull() && f->AsBoolean();
}

// A two-digit field from 0 to High that shows zero as blank, with a spinner at its right.
entry::TCtlPictureField* NewSmallNumberField(TComponent& Owner, TWinControl& Parent, const std::string& Name,
                                             int Left, int Top, int High, entry::TCtlSpinner** Spinner) {
    auto* field =
        catalog::NewControl<entry::TCtlPictureField>(Owner, Parent, Name.c_str(), Left, Top, 30, 22);
    field->SetDataType(entry::pftInteger);
    field->SetPictureMask("ii");
    field->SetRangeLo("0");
    field->SetRangeHi(std::to_string(High));
    field->SetZeroDisplay(entry::zdHide);
    field->SetAsInteger(0);
    auto* spinner = catalog::NewControl<entry::TCtlSpinner>(Owner, Parent, (Name + "Spinner").c_str(),
                                                            Left + 30, Top, 16, 22);
    spinner->Delta = 1;
    spinner->WrapMode = false;
    spinner->SetFocusedControl(field);
    if (Spinner) *Spinner = spinner;
    return field;
}

TComboBox* NewList(TComponent& Owner, TWinControl& Parent, const std::string& Name, int Left, int Top,
                   int Width, const std::vector<std::string>& Texts) {
    auto* list = catalog::NewControl<TComboBox>(Owner, Parent, Name.c_str(), Left, Top, Width, 22);
    list->SetStyle(csDropDownList);
    for (const std::string& t : Texts) list->Items().Add(t);
    list->SetItemIndex(0);
    return list;
}

}  // namespace

TCustomFileReportEditorForm::TCustomFileReportEditorForm(TComponent* AOwner) : TForm(AOwner) {
    SetName("CustomFileReportEditorForm");
    SetCaption("Custom File Report Definition Editor");
    SetBorderStyle(bsDialog);
    Position = poScreenCenter;
    SetClientSize(866, 484);
    Controller = NewComponent<entry::TCtlController>(this);

    DefTable = NewComponent<dbsql::TDbTable>(this);
    DefTable->SetName("DefTable");
    CategoryTable = NewComponent<dbsql::TDbTable>(this);
    CategoryTable->SetName("CategoryTable");
    DefSource = NewComponent<TDataSource>(this);
    DefSource->SetDataSet(DefTable);
    DefTable->OnNewRecord = [this](TDataSet*) { DefTableNewRecord(); };
    DefTable->OnPostError = [this](TDataSet*, EDatabaseError& E, TDataAction& Action) {
        FPostFailed = true;
        const auto* engine = dynamic_cast<const dbengine::EDbEngineError*>(&E);
        if (!engine || engine->ErrorCode != dbengine::DBE_KEYVIOL) return;
        catalog::ErrorBox(DuplicateNameText);
        Action = daAbort;
    };

    Notebook =
        catalog::NewNotebook(*this, *this, "Notebook", 8, 8, 668, 424, {"Report Name", "Report Definition"});
    Notebook->OnPageChanged = [this](TObject*, int) { NotebookPageChanged(); };
    TWinControl& namePage = *Notebook->Pages(NamePage);
    TWinControl& defPage = *Notebook->Pages(DefinitionPage);

    auto dbEdit = [this](TWinControl& Parent, const char* Name, const char* Field, int Left, int Top,
                         int Width) {
        auto* edit = catalog::NewControl<TDBEdit>(*this, Parent, Name, Left, Top, Width, 22);
        edit->SetDataSource(DefSource);
        edit->SetDataField(Field);
        return edit;
    };

    // ---- page "Report Name"
    catalog::NewLabel(*this, namePage, "NameLabel", 16, 20, 200, "Report Name");
    DBEdit1 = dbEdit(namePage, "DBEdit1", "ReportName", 16, 38, 440);
    DBEdit1->SetMaxLength(60);
    int top = 80;
    for (auto [name, caption, field] : {std::tuple{"DBEdit3", "Date Created", "DateDefinitionCreated"},
                                        std::tuple{"DBEdit4", "Last Updated", "DateDefinitionLastUpdated"},
                                        std::tuple{"DBEdit5", "Last Used", "DateDefinitionLastUsed"}}) {
        catalog::NewLabel(*this, namePage, (std::string(name) + "Label").c_str(), 16, top + 3, 100, caption);
        auto* edit = dbEdit(namePage, name, field, 120, top, 100);
        edit->SetReadOnly(true);
        edit->SetTabStop(false);
        (name == std::string("DBEdit3")   ? DBEdit3
         : name == std::string("DBEdit4") ? DBEdit4
                                          : DBEdit5) = edit;
        top += 30;
    }

    // ---- page "Report Definition"
    for (auto [name, caption, left, width] :
         {std::tuple{"ItemHeading", "Item", 8, 110}, std::tuple{"SpecHeading", "Search Spec", kSpecLeft, 110},
          std::tuple{"CritHeading", "Search Criteria", kCritLeft, 110},
          std::tuple{"ColHeading", "Col Spec", kColLeft, 56},
          std::tuple{"PrioHeading", "Col Sort Priority", kPrioLeft, 60},
          std::tuple{"DirHeading", "Sort Criteria", kDirLeft + 6, 90}}) {
        TLabel* heading = catalog::NewLabel(*this, defPage, name, left, 8, width, caption);
        heading->SetWordWrap(true);
        heading->SetHeight(30);
    }

    // Rows in the order shown; the comment row is two rows high.
    const std::array<std::pair<int, const char*>, 12> rows{{{1, "FileName:"},
                                                            {12, "File Extension:"},
                                                            {2, "Volume Label:"},
                                                            {3, "Folder Name:"},
                                                            {4, "Archive ID:"},
                                                            {5, "File Size:"},
                                                            {6, "Date Modified:"},
                                                            {7, "Time Modified:"},
                                                            {8, "Attribute:"},
                                                            {9, "Category Code:"},
                                                            {10, "Category Description:"},
                                                            {11, "Comment"}}};
    top = kFirstRowTop;
    for (auto [item, caption] : rows) {
        const size_t i = size_t(item - 1);
        const std::string n = std::to_string(item);
        catalog::NewLabel(*this, defPage, ("ItemLabel" + n).c_str(), 8, top + 3, 120, caption);
        switch (item) {
            case 1:
                DBEdit2 = dbEdit(defPage, "DBEdit2", "FileName", kSpecLeft, top, 180);
                break;
            case 2:
                DBEdit6 = dbEdit(defPage, "DBEdit6", "VolumeLabel", kSpecLeft, top, 180);
                break;
            case 3:
                DBEdit7 = dbEdit(defPage, "DBEdit7", "FolderName", kSpecLeft, top, 180);
                break;
            case 4:
                DBEdit8 = dbEdit(defPage, "DBEdit8", "ArchiveID", kSpecLeft, top, 180);
                break;
            case 5:
                DBPicField1 = catalog::NewControl<grid::TCtlDbPictureField>(*this, defPage, "DBPicField1",
                                                                            kSpecLeft, top, 120, 22);
                DBPicField1->SetDataSource(DefSource);
                DBPicField1->SetDataField("FileSize");
                DBPicField1->SetPictureMask("9999999999999");
                DBPicField1->SetRangeLo("0");
                DBPicField1->SetRangeHi("9999999999999");
                break;
            case 6:
                DateModified = catalog::NewControl<grid::TCtlDbDateEdit>(*this, defPage, "DateModified",
                                                                         kSpecLeft, top, 120, 22);
                DateModified->RequiredFields = entry::rfMonth | entry::rfDay;
                DateModified->SetDataSource(DefSource);
                DateModified->SetDataField("DateModified");
                break;
            case 9:
                CategoryCode = dbEdit(defPage, "CategoryCode", "CategoryCode", kSpecLeft, top, 80);
                CategoryCode->SetMaxLength(6);
                CategoryCode->OnExit = [this](TObject*) { CategoryCodeExit(); };
                AttachedButton1 = catalog::NewControl<entry::TCtlAttachedButton>(
                    *this, defPage, "AttachedButton1", kSpecLeft + 80, top, 22, 22);
                AttachedButton1->SetAttachedControl(CategoryCode);
                AttachedButton1->SetCaption("...");
                AttachedButton1->Hint = "Select From A List";
                AttachedButton1->OnClick = [this](TObject*) { AttachedButton1Click(); };
                break;
            case 11:
                Comment = catalog::NewControl<TDBMemo>(*this, defPage, "Comment", kSpecLeft, top, 180, 48);
                Comment->SetDataSource(DefSource);
                Comment->SetDataField("Comment");
                break;
            default:
                break;
        }
        if (item != 7 && item != 8 && item != 10 && item != 12)
            SrchC[i] =
                NewList(*this, defPage, "SrchC" + n, kCritLeft, top, 118, FileCriterionTexts(item, true));
        if (item <= 11) CS[i] = NewSmallNumberField(*this, defPage, "CS" + n, kColLeft, top, 12, nullptr);
        if (item <= 6 || item == 9 || item == 12) {
            SCS[i] = NewSmallNumberField(*this, defPage, "SCS" + n, kPrioLeft, top, 10, &SCSSpinner[i]);
            SC[i] = NewList(*this, defPage, "SC" + n, kDirLeft, top, 86, {"No Sort", "ASC", "DESC"});
        }
        if (item == 7)
            catalog::NewLabel(*this, defPage, "CombinedLabel", kPrioLeft, top + 3, 150, "Combined With Date");
        top += item == 11 ? 2 * kRowStep : kRowStep;
    }
    SrchC[10]->OnChange = [this](TObject*) { SrchC11Change(); };
    MatchesRequiredLabel = catalog::NewLabel(*this, defPage, "MatchesRequiredLabel", kSpecLeft, top + 3, 120,
                                             "Keywords To Match");
    MatchesRequired = catalog::NewControl<grid::TCtlDbPictureField>(*this, defPage, "MatchesRequired",
                                                                    kSpecLeft + 124, top, 40, 22);
    MatchesRequired->SetDataSource(DefSource);
    MatchesRequired->SetDataField("MatchesRequired");
    MatchesRequired->SetPictureMask("999");
    MatchesRequired->SetRangeLo("1");
    MatchesRequired->SetRangeHi("999");
    MatchesRequiredSpinner = catalog::NewControl<entry::TCtlSpinner>(*this, defPage, "MatchesRequiredSpinner",
                                                                     kSpecLeft + 164, top, 16, 22);
    MatchesRequiredSpinner->Delta = 1;
    MatchesRequiredSpinner->WrapMode = false;
    MatchesRequiredSpinner->SetFocusedControl(MatchesRequired);

    // ---- the specialty reports, beside the definition page
    SpecialtyPanel = catalog::NewPanel(*this, *this, "SpecialtyPanel", 684, 30, 174, 240, bvLowered);
    catalog::NewLabel(*this, *SpecialtyPanel, "SpecialtyLabel", 8, 6, 158, "Specialty Reports");
    auto box = [this](const char* Name, const char* Caption, const char* Field, int Top) {
        auto* b = catalog::NewControl<TDBCheckBox>(*this, *SpecialtyPanel, Name, 8, Top, 158, 19);
        b->SetCaption(Caption);
        b->SetDataSource(DefSource);
        b->SetDataField(Field);
        return b;
    };
    Duplicate = box("Duplicate", "Duplicate Only", "OnlyDuplicate", 28);
    Unique = box("Unique", "Unique Only", "OnlyUnique", 50);
    UseVersions = box("UseVersions", "Use Versions", "UseVersions", 72);
    UseFileSize = box("UseFileSize", "Use FileSize", "UseFileSize", 94);
    Duplicate->OnClick = [this](TObject*) { DuplicateClick(); };
    Unique->OnClick = [this](TObject*) { UniqueClick(); };
    UseVersions->OnClick = [this](TObject*) { UseVersionsClick(); };
    UseFileSize->OnClick = [this](TObject*) { UseFileSizeClick(); };
    TLabel* note =
        catalog::NewLabel(*this, *SpecialtyPanel, "SpecialtyNote", 8, 122, 158,
                          "Note: If you select one of these reports, you will only be able to select the "
                          "column specs in the report definition panel.");
    note->SetWordWrap(true);
    note->SetHeight(96);
    SpecialtyPanel->SetVisible(false);

    BitBtn1 = catalog::NewDialogButton(*this, *this, "BitBtn1", bkCustom, 8, 442);
    BitBtn1->SetCaption("&Save");
    BitBtn1->SetDefault(true);
    BitBtn1->OnClick = [this](TObject*) { BitBtn1Click(); };
    CancelBtn = catalog::NewDialogButton(*this, *this, "CancelBtn", bkCancel, 104, 442);
    HelpBtn = catalog::NewDialogButton(*this, *this, "HelpBtn", bkHelp, 200, 442, &HelpContext);

    // FormCreate: the definitions and the categories the code is checked against.
    DefTable->SetDatabaseName(catalog::ProgramFolder);
    DefTable->SetTableName("CustomFileReportDefs");
    DefTable->Open();
    CategoryTable->SetDatabaseName(catalog::ProgramFolder);
    CategoryTable->SetTableName("Categories");
    CategoryTable->Open();
}

void TCustomFileReportEditorForm::DefTableNewRecord() {
    const TDateTime today = Date();
    DefTable->FieldByName("DateDefinitionCreated")->SetAsDateTime(today);
    DefTable->FieldByName("DateDefinitionLastUpdated")->SetAsDateTime(today);
    for (const char* mask : {"FileName", "VolumeLabel", "FolderName", "ArchiveID", "CategoryCode"})
        DefTable->FieldByName(mask)->SetAsString("");
    DefTable->FieldByName("FileSize")->SetAsString("0");
    DefTable->FieldByName("DateModified")->Clear();
    DefTable->FieldByName("Comment")->Clear();
    for (const char* flag : {"OnlyDuplicate", "OnlyUnique", "UseVersions", "UseFileSize"})
        DefTable->FieldByName(flag)->SetAsBoolean(false);
    DefTable->FieldByName("MatchesRequired")->SetAsInteger(1);
    for (int n = 1; n <= 12; ++n)
        for (const char* prefix : {"MatchCriteria", "ColumnCriteria", "SortColumnSpec", "SortCriteriaSpec"})
            DefTable->FieldByName(catalog::NumberedName(prefix, n))->SetAsInteger(0);
}

void TCustomFileReportEditorForm::DoShow() {
    FLoading = true;
    for (int item : kFileCriterionItems)
        SrchC[size_t(item - 1)]->SetItemIndex(
            DefInt(*DefTable, catalog::NumberedName("MatchCriteria", item)));
    for (int item = 1; item <= 11; ++item)
        CS[size_t(item - 1)]->SetAsInteger(DefInt(*DefTable, catalog::NumberedName("ColumnCriteria", item)));
    for (int item : kFileSortItems) {
        SCS[size_t(item - 1)]->SetAsInteger(DefInt(*DefTable, catalog::NumberedName("SortColumnSpec", item)));
        SC[size_t(item - 1)]->SetItemIndex(
            DefInt(*DefTable, catalog::NumberedName("SortCriteriaSpec", item)));
    }
    SrchC11Change();
    SetStates(!DefBool(*DefTable, "OnlyDuplicate") && !DefBool(*DefTable, "OnlyUnique"));
    NotebookPageChanged();
    FLoading = false;
    TForm::DoShow();
}

void TCustomFileReportEditorForm::DoClose(TCloseAction& Action) {
    TForm::DoClose(Action);
    // What was not saved goes with the editor.
    if (DefTable->State() == dsEdit || DefTable->State() == dsInsert) DefTable->Cancel();
}

void TCustomFileReportEditorForm::SetStates(bool Enabled) {
    for (TControl* c : std::initializer_list<TControl*>{
             DBEdit2, DBEdit6, DBEdit7, DBEdit8, DBPicField1, DateModified, CategoryCode, AttachedButton1,
             Comment, MatchesRequired, MatchesRequiredSpinner, MatchesRequiredLabel})
        c->SetEnabled(Enabled);
    for (size_t i = 0; i < 12; ++i) {
        for (TControl* c : std::initializer_list<TControl*>{SrchC[i], SCS[i], SCSSpinner[i], SC[i]})
            if (c) c->SetEnabled(Enabled);
    }
    UseVersions->SetEnabled(!Enabled);
    UseFileSize->SetEnabled(!Enabled);
}

void TCustomFileReportEditorForm::SetBooleanField(const char* Field, bool Value) {
    if (DefTable->State() == dsBrowse) DefTable->Edit();
    DefTable->FieldByName(Field)->SetAsBoolean(Value);
}

void TCustomFileReportEditorForm::DuplicateClick() {
    if (FLoading) return;
    if (Duplicate->Checked() && Unique->Checked()) SetBooleanField("OnlyUnique", false);
    SetStates(!Duplicate->Checked() && !Unique->Checked());
}

void TCustomFileReportEditorForm::UniqueClick() {
    if (FLoading) return;
    if (Unique->Checked() && Duplicate->Checked()) SetBooleanField("OnlyDuplicate", false);
    SetStates(!Duplicate->Checked() && !Unique->Checked());
}

void TCustomFileReportEditorForm::UseVersionsClick() {
    if (FLoading) return;
    if (UseVersions->Checked() && UseFileSize->Checked()) SetBooleanField("UseFileSize", false);
}

void TCustomFileReportEditorForm::UseFileSizeClick() {
    if (FLoading) return;
    if (UseFileSize->Checked() && UseVersions->Checked()) SetBooleanField("UseVersions", false);
}

void TCustomFileReportEditorForm::NotebookPageChanged() {
    SpecialtyPanel->SetVisible(Notebook->PageIndex() == DefinitionPage);
}

void TCustomFileReportEditorForm::SrchC11Change() {
    const bool some = SrchC[10]->ItemIndex() == 6;  // "Keywords-Some"
    MatchesRequired->SetVisible(some);
    MatchesRequiredSpinner->SetVisible(some);
    MatchesRequiredLabel->SetVisible(some);
}

void TCustomFileReportEditorForm::CategoryCodeExit() {
    CheckFileCategoryCode(*CategoryTable, *CategoryCode, CategoryCode->Text());
}

void TCustomFileReportEditorForm::AttachedButton1Click() {
    const auto code = PickFileCategoryCode();
    if (!code) return;
    if (DefTable->State() == dsBrowse) DefTable->Edit();
    DefTable->FieldByName("CategoryCode")->SetAsString(*code);
    if (Comment->CanFocus()) Comment->SetFocus();
}

void TCustomFileReportEditorForm::Refuse(const char* Text, int Page, TWinControl* Control) {
    catalog::ErrorBox(Text);
    ShowPage(Page, Control);
}

void TCustomFileReportEditorForm::ShowPage(int Page, TWinControl* Control) {
    Notebook->SetPageIndex(Page);
    NotebookPageChanged();
    if (Control->CanFocus())
        Control->SetFocus();
    else
        SetActiveControl(Control);
}

void TCustomFileReportEditorForm::BitBtn1Click() {
    if (DefTable->State() == dsEdit || DefTable->State() == dsInsert) DefTable->UpdateRecord();
    if (Trim(DefTable->FieldByName("ReportName")->AsString()).empty())
        return Refuse(NameMissingText, NamePage, DBEdit1);
    std::set<int> seen;
    bool anyColumn = false;
    for (int item = 1; item <= 11; ++item) {
        const int pos = CS[size_t(item - 1)]->GetAsInteger();
        if (pos == 0) continue;
        anyColumn = true;
        if (!seen.insert(pos).second)
            return Refuse(DuplicateColumnText, DefinitionPage, CS[size_t(item - 1)]);
    }
    if (!anyColumn) return Refuse(NoColumnText, DefinitionPage, CS[0]);
    seen.clear();
    for (int item : kFileSortItems) {
        const int priority = SCS[size_t(item - 1)]->GetAsInteger();
        if (priority != 0 && !seen.insert(priority).second)
            return Refuse(DuplicateSortText, DefinitionPage, SCS[size_t(item - 1)]);
    }
    if (SrchC[5]->ItemIndex() >= 2 && Trim(DefTable->FieldByName("DateModified")->AsString()).empty())
        return Refuse(DateMissingText, DefinitionPage, DateModified);

    if (DefTable->State() == dsBrowse) DefTable->Edit();
    auto set = [this](const char* Prefix, int Item, int Value) {
        DefTable->FieldByName(catalog::NumberedName(Prefix, Item))->SetAsInteger(Value);
    };
    for (int item : kFileCriterionItems) set("MatchCriteria", item, SrchC[size_t(item - 1)]->ItemIndex());
    for (int item = 1; item <= 11; ++item) set("ColumnCriteria", item, CS[size_t(item - 1)]->GetAsInteger());
    for (int item : kFileSortItems) {
        set("SortColumnSpec", item, SCS[size_t(item - 1)]->GetAsInteger());
        set("SortCriteriaSpec", item, SC[size_t(item - 1)]->ItemIndex());
    }
    DefTable->FieldByName("DateDefinitionLastUpdated")->SetAsDateTime(Date());
    FPostFailed = false;
    try {
        DefTable->Post();
    } catch (const EAbort&) {
        // A duplicate name was reported; the record stays in edit for another name.
        return;
    }
    if (!FPostFailed) SetModalResult(mrOk);
}

}  // namespace reports
