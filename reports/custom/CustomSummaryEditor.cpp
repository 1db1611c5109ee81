// The editor of one stored disk summary report.

#include <algorithm>
#include <set>
#include <utility>

#include "catalog/FormParts.h"
#include "catalog/Globals.h"
#include "catalog/ProgramTables.h"
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
#include "framework/stdctrls/Label.h"
#include "reports/custom/CustomSummaryReportForm.h"

namespace reports {

using namespace framework;

namespace {

enum : int { kCustomSummaryNamePage = 0, kCustomSummaryDefinitionPage = 1 };

const std::vector<const char*> kCustomSummaryLabelCodes = {"Ignore", "Prompt", "Matches", "Doesn't Match"};
const std::vector<const char*> kCustomSummaryValueCodes = {
    "Ignore", "Prompt", "Equal", "Not Equal", "Less Than", "LT Or Equal", "Greater Than", "GT Or Equal"};
const std::vector<const char*> kCustomSummaryCommentCodes = {
    "Ignore",        "Prompt",        "Has Phrase",    "Lacks Phrase",
    "Blank Comment", "Non-Blank Cmt", "Keywords-Some", "Keywords-All"};
constexpr int kCustomSummaryKeywordsSome = 6;

// One row of the definition page: its caption and the criterion list it has (none for items 2,
// 3 and 10).
struct TCustomSummaryRow {
    const char* Caption;
    const std::vector<const char*>* Codes;
};
const TCustomSummaryRow kCustomSummaryRows[kSummaryItems] = {
    {"Catalog Volume Label", &kCustomSummaryLabelCodes},
    {"Actual Volume Label", nullptr},
    {"Disk Serial Number", nullptr},
    {"Date First Cataloged", &kCustomSummaryValueCodes},
    {"Date Last Cataloged", &kCustomSummaryValueCodes},
    {"Disk Size", &kCustomSummaryValueCodes},
    {"Cluster Size", &kCustomSummaryValueCodes},
    {"Space Used", &kCustomSummaryValueCodes},
    {"Free Space", &kCustomSummaryValueCodes},
    {"Slack %", nullptr},
    {"Files On Disk", &kCustomSummaryValueCodes},
    {"Files In Archives", &kCustomSummaryValueCodes},
    {"Drive Cataloged From", &kCustomSummaryLabelCodes},
    {"Comment", &kCustomSummaryCommentCodes}};

const char* const kCustomSummarySizeFields[] = {"DiskSize", "DiskClusterSize", "DiskUsed", "DiskFree"};
const char* const kCustomSummaryCountFields[] = {"FilesOnDisk", "FilesInArchives"};

constexpr int kCustomSummaryRowTop = 24, kCustomSummaryRowHeight = 25;

std::string CustomSummaryName(const char* Prefix, int Item) {
    return std::string(Prefix) + std::to_string(Item);
}

TComboBox* CustomSummaryList(TComponent& Owner, TWinControl& Parent, const std::string& Name, int Left,
                             int Top, int Width, const std::vector<const char*>& Entries) {
    auto* list = catalog::NewControl<TComboBox>(Owner, Parent, Name.c_str(), Left, Top, Width, 23);
    list->SetStyle(csDropDownList);
    list->DropDownCount = 9;
    for (const char* entry : Entries) list->Items().Add(entry);
    list->SetItemIndex(0);
    return list;
}

// A two-digit position from 0 to High (a zero shows blank), with a spinner at its right.
entry::TCtlPictureField* CustomSummaryPosition(TComponent& Owner, TWinControl& Parent,
                                               const std::string& Name, int Left, int Top, int High) {
    auto* field =
        catalog::NewControl<entry::TCtlPictureField>(Owner, Parent, Name.c_str(), Left, Top, 30, 23);
    field->SetDataType(entry::pftInteger);
    field->SetPictureMask("99");
    field->SetRangeLo("0");
    field->SetRangeHi(std::to_string(High));
    field->SetZeroDisplay(entry::zdHide);
    field->SetAsInteger(0);
    auto* spinner = catalog::NewControl<entry::TCtlSpinner>(Owner, Parent, (Name + "Spinner").c_str(),
                                                            Left + 30, Top, 16, 23);
    spinner->Delta = 1;
    spinner->WrapMode = false;
    spinner->SetFocusedControl(field);
    return field;
}

grid::TCtlDbPictureField* CustomSummaryNumber(TComponent& Owner, TWinControl& Parent, TDataSource* Source,
                                              const char* Field, int Left, int Top, int Digits,
                                              const char* High) {
    auto* field = catalog::NewControl<grid::TCtlDbPictureField>(Owner, Parent, Field, Left, Top, 140, 23);
    field->SetDataSource(Source);
    field->SetDataField(Field);
    field->SetPictureMask(std::string(size_t(Digits), '9'));
    field->SetRangeLo("0");
    field->SetRangeHi(High);
    return field;
}

bool CustomSummaryEditing(TDataSet& Table) {
    return Table.State() == dsEdit || Table.State() == dsInsert;
}

}  // namespace

TCustomSummaryReportEditorForm::TCustomSummaryReportEditorForm(TComponent* AOwner) : TForm(AOwner) {
    SetName("CustomSummaryReportEditorForm");
    SetCaption("Custom Summary Report Definition Editor");
    SetBorderStyle(bsDialog);
    Position = poScreenCenter;
    SetClientSize(660, 500);
    Controller = NewComponent<entry::TCtlController>(this);
    DefTable = NewComponent<dbsql::TDbTable>(this);
    DefTable->SetName("DefTable");
    DefTable->SetTableName("CustomSummaryReportDefs");
    DefTable->OnNewRecord = [this](TDataSet*) { DefTableNewRecord(); };
    DefTable->OnPostError = [this](TDataSet*, EDatabaseError& E, TDataAction& Action) {
        FPostFailed = true;
        const auto* engine = dynamic_cast<const dbengine::EDbEngineError*>(&E);
        const bool duplicate = (engine && engine->ErrorCode == dbengine::DBE_KEYVIOL) ||
                               std::string(E.what()).find("9729") != std::string::npos;
        if (!duplicate) return;
        catalog::ErrorBox(DuplicateNameText);
        Action = daAbort;
    };
    DefSource = NewComponent<TDataSource>(this);
    DefSource->SetName("DefSource");
    DefSource->SetDataSet(DefTable);

    Notebook =
        catalog::NewNotebook(*this, *this, "Notebook", 4, 4, 652, 446, {"Report Name", "Report Definition"});
    TWinControl& namePage = *Notebook->Pages(kCustomSummaryNamePage);
    const auto dbEdit = [&](const char* Name, const char* Field, const char* Caption, int Top, int Width) {
        catalog::NewLabel(*this, namePage, (std::string(Name) + "Label").c_str(), 16, Top, 200, Caption);
        auto* edit = catalog::NewControl<TDBEdit>(*this, namePage, Name, 16, Top + 16, Width, 23);
        edit->SetDataSource(DefSource);
        edit->SetDataField(Field);
        return edit;
    };
    DBEdit1 = dbEdit("DBEdit1", "ReportName", "Report Name", 16, 420);
    DBEdit3 = dbEdit("DBEdit3", "DateDefinitionCreated", "Date Created", 64, 100);
    DBEdit4 = dbEdit("DBEdit4", "DateDefinitionLastUpdated", "Last Updated", 112, 100);
    DBEdit5 = dbEdit("DBEdit5", "DateDefinitionLastUsed", "Last Used", 160, 100);
    for (TDBEdit* date : {DBEdit3, DBEdit4, DBEdit5}) date->SetReadOnly(true);
    BuildDefinitionPage(*Notebook->Pages(kCustomSummaryDefinitionPage));

    BitBtn1 = catalog::NewControl<TBitBtn>(*this, *this, "BitBtn1", 280, 458, 89, 33);
    BitBtn1->SetCaption("&Save");
    BitBtn1->OnClick = [this](TObject*) { BitBtn1Click(); };
    CancelBtn = catalog::NewDialogButton(*this, *this, "CancelBtn", bkCancel, 376, 458);
    HelpBtn = catalog::NewDialogButton(*this, *this, "HelpBtn", bkHelp, 472, 458, &HelpContext);

    DefTable->SetDatabaseName(catalog::ProgramFolder);
    DefTable->Open();
}

TCustomSummaryReportEditorForm::~TCustomSummaryReportEditorForm() = default;

void TCustomSummaryReportEditorForm::BuildDefinitionPage(TWinControl& Page) {
    const struct {
        const char* Name;
        const char* Caption;
        int Left;
    } headings[] = {{"ItemHeading", "Item", 8},
                    {"SearchSpecHeading", "Search Spec", 146},
                    {"SearchCriteriaHeading", "Search Criteria", 292},
                    {"ColSpecHeading", "Col Spec", 408},
                    {"SortPriorityHeading", "Col Sort Priority", 460},
                    {"SortCriteriaHeading", "Sort Criteria", 540}};
    for (const auto& h : headings) catalog::NewLabel(*this, Page, h.Name, h.Left, 4, 100, h.Caption);
    int sizes = 0, counts = 0;
    for (int item = 1; item <= kSummaryItems; ++item) {
        const size_t i = size_t(item - 1);
        const int top = kCustomSummaryRowTop + (item - 1) * kCustomSummaryRowHeight;
        catalog::NewLabel(*this, Page, CustomSummaryName("ItemLabel", item).c_str(), 8, top + 4, 136,
                          kCustomSummaryRows[i].Caption);
        if (item == 1) {
            DBEdit2 = catalog::NewControl<TDBEdit>(*this, Page, "DBEdit2", 146, top, 140, 23);
            DBEdit2->SetDataSource(DefSource);
            DBEdit2->SetDataField("CatalogedVolumeLabel");
            DBEdit2->SetCharCase(ecUpperCase);
        } else if (item == 4 || item == 5) {
            auto* date = catalog::NewControl<grid::TCtlDbDateEdit>(
                *this, Page, item == 4 ? "DateFirst" : "DateLast", 146, top, 140, 23);
            date->SetDataSource(DefSource);
            date->SetDataField(item == 4 ? "DateFirstCataloged" : "DateLastCataloged");
            (item == 4 ? DateFirst : DateLast) = date;
        } else if (item >= 6 && item <= 9) {
            SizeFields[size_t(sizes)] = CustomSummaryNumber(
                *this, Page, DefSource, kCustomSummarySizeFields[sizes], 146, top, 13, "9999999999999");
            ++sizes;
        } else if (item == 11 || item == 12) {
            CountFields[size_t(counts)] = CustomSummaryNumber(
                *this, Page, DefSource, kCustomSummaryCountFields[counts], 146, top, 11, "2147483647");
            ++counts;
        } else if (item == 13) {
            CatalogedFrom = catalog::NewControl<TDBComboBox>(*this, Page, "CatalogedFrom", 146, top, 60, 23);
            CatalogedFrom->SetStyle(csDropDownList);
            CatalogedFrom->Items().Add("  ");
            for (char drive = 'A'; drive <= 'Z'; ++drive) CatalogedFrom->Items().Add(std::string{drive, ':'});
            CatalogedFrom->SetDataSource(DefSource);
            CatalogedFrom->SetDataField("CatalogedFrom");
        } else if (item == 14) {
            DBMemo1 = catalog::NewControl<TDBMemo>(*this, Page, "DBMemo1", 146, top, 140, 46);
            DBMemo1->SetDataSource(DefSource);
            DBMemo1->SetDataField("Comment");
        }
        if (kCustomSummaryRows[i].Codes) {
            SrchC[i] = CustomSummaryList(*this, Page, CustomSummaryName("SrchC", item), 292, top, 110,
                                         *kCustomSummaryRows[i].Codes);
        }
        CS[i] = CustomSummaryPosition(*this, Page, CustomSummaryName("CS", item), 408, top, kSummaryItems);
        if (item < kSummaryItems) {
            SCS[i] = CustomSummaryPosition(*this, Page, CustomSummaryName("SCS", item), 470, top,
                                           kSummaryItems - 1);
            SC[i] = CustomSummaryList(*this, Page, CustomSummaryName("SC", item), 540, top, 90,
                                      {"No Sort", "ASC", "DESC"});
        }
    }
    SrchC[13]->OnChange = [this](TObject*) { SrchC14Change(); };
    const int keywordsTop = kCustomSummaryRowTop + kSummaryItems * kCustomSummaryRowHeight + 26;
    KeywordsLabel =
        catalog::NewLabel(*this, Page, "KeywordsLabel", 146, keywordsTop + 4, 130, "Keywords To Match");
    MatchesRequired = catalog::NewControl<grid::TCtlDbPictureField>(*this, Page, "MatchesRequired", 292,
                                                                    keywordsTop, 40, 23);
    MatchesRequired->SetDataSource(DefSource);
    MatchesRequired->SetDataField("MatchesRequired");
    MatchesRequired->SetPictureMask("999");
    MatchesRequired->SetRangeLo("1");
    MatchesRequired->SetRangeHi("999");
    MatchesRequiredSpinner = catalog::NewControl<entry::TCtlSpinner>(*this, Page, "MatchesRequiredSpinner",
                                                                     332, keywordsTop, 16, 23);
    MatchesRequiredSpinner->Delta = 1;
    MatchesRequiredSpinner->WrapMode = false;
    MatchesRequiredSpinner->SetFocusedControl(MatchesRequired);
}

void TCustomSummaryReportEditorForm::StartNew() {
    DefTable->Insert();
    Notebook->SetPageIndex(kCustomSummaryNamePage);
    SetActiveControl(DBEdit1);
}

bool TCustomSummaryReportEditorForm::StartEdit(const std::string& ReportName) {
    if (!DefTable->FindKey({Variant(ReportName)})) return false;
    FStartPage = kCustomSummaryDefinitionPage;
    return true;
}

void TCustomSummaryReportEditorForm::DefTableNewRecord() {
    const auto field = [this](const std::string& Name) { return DefTable->FieldByName(Name); };
    field("DateDefinitionCreated")->SetAsDateTime(Date());
    field("DateDefinitionLastUpdated")->SetAsDateTime(Date());
    field("CatalogedVolumeLabel")->SetAsString("");
    field("DateFirstCataloged")->Clear();
    field("DateLastCataloged")->Clear();
    for (const char* size : kCustomSummarySizeFields) field(size)->SetAsString("0");
    for (const char* count : kCustomSummaryCountFields) field(count)->SetAsInteger(0);
    field("CatalogedFrom")->SetAsString("  ");
    field("Comment")->Clear();
    field("MatchesRequired")->SetAsInteger(1);
    for (int item = 1; item <= kSummaryItems; ++item)
        for (const char* prefix : {"MatchCriteria", "ColumnCriteria", "SortColumnSpec", "SortCriteriaSpec"})
            field(catalog::NumberedName(prefix, item))->SetAsInteger(0);
}

void TCustomSummaryReportEditorForm::DoShow() {
    const auto stored = [this](const char* Prefix, int Item) {
        return DefTable->FieldByName(catalog::NumberedName(Prefix, Item))->AsInteger();
    };
    for (int item = 1; item <= kSummaryItems; ++item) {
        const size_t i = size_t(item - 1);
        if (SrchC[i]) SrchC[i]->SetItemIndex(stored("MatchCriteria", item));
        CS[i]->SetAsInteger(stored("ColumnCriteria", item));
        if (SCS[i]) SCS[i]->SetAsInteger(stored("SortColumnSpec", item));
        if (SC[i]) SC[i]->SetItemIndex(stored("SortCriteriaSpec", item));
    }
    SrchC14Change();
    TForm::DoShow();
}

void TCustomSummaryReportEditorForm::Activate() {
    TForm::Activate();
    // The starting page is turned once the window is up: a page turned before that shows blank.
    if (FStartPage == kCustomSummaryNamePage) return;
    Notebook->SetPageIndex(std::exchange(FStartPage, kCustomSummaryNamePage));
    if (DBEdit2->CanFocus()) DBEdit2->SetFocus();
}

void TCustomSummaryReportEditorForm::DoClose(TCloseAction& Action) {
    TForm::DoClose(Action);
    if (CustomSummaryEditing(*DefTable)) DefTable->Cancel();
}

void TCustomSummaryReportEditorForm::SrchC14Change() {
    const bool some = SrchC[13]->ItemIndex() == kCustomSummaryKeywordsSome;
    KeywordsLabel->SetVisible(some);
    MatchesRequired->SetVisible(some);
    MatchesRequiredSpinner->SetVisible(some);
}

void TCustomSummaryReportEditorForm::Refuse(const char* Text, int Page, TWinControl* Focus) {
    catalog::ErrorBox(Text);
    Notebook->SetPageIndex(Page);
    if (Focus->CanFocus()) Focus->SetFocus();
}

void TCustomSummaryReportEditorForm::BitBtn1Click() {
    if (CustomSummaryEditing(*DefTable)) DefTable->UpdateRecord();
    const auto field = [this](const std::string& Name) { return DefTable->FieldByName(Name); };
    if (Trim(field("ReportName")->AsString()).empty())
        return Refuse("The Report Name Must Be Filled In", kCustomSummaryNamePage, DBEdit1);
    // The first position that an earlier field of the group holds already.
    const auto repeated = [](const auto& Fields) -> entry::TCtlPictureField* {
        std::set<int> seen;
        for (entry::TCtlPictureField* f : Fields) {
            if (!f) continue;
            const int value = f->GetAsInteger();
            if (value != 0 && !seen.insert(value).second) return f;
        }
        return nullptr;
    };
    if (entry::TCtlPictureField* f = repeated(CS))
        return Refuse("Duplicate Column Spec", kCustomSummaryDefinitionPage, f);
    if (std::all_of(CS.begin(), CS.end(), [](entry::TCtlPictureField* f) { return f->GetAsInteger() == 0; }))
        return Refuse("You Must Fill In At Least One Column Spec", kCustomSummaryDefinitionPage, CS[0]);
    if (entry::TCtlPictureField* f = repeated(SCS))
        return Refuse("Duplicate Sort Column Spec", kCustomSummaryDefinitionPage, f);
    // "Equal" and the operators after it compare with the stored value.
    if (SrchC[3]->ItemIndex() >= 2 && field("DateFirstCataloged")->IsNull())
        return Refuse("Date First Cataloged Must Have A Value If Comparing", kCustomSummaryDefinitionPage,
                      DateFirst);
    if (SrchC[4]->ItemIndex() >= 2 && field("DateLastCataloged")->IsNull())
        return Refuse("Date Last Cataloged Must Have A Value If Comparing", kCustomSummaryDefinitionPage,
                      DateLast);
    if ((SrchC[12]->ItemIndex() == 2 || SrchC[12]->ItemIndex() == 3) &&
        Trim(field("CatalogedFrom")->AsString()).empty())
        return Refuse("\"Drive Cataloged From\" Must Have A Value If Comparing", kCustomSummaryDefinitionPage,
                      CatalogedFrom);

    if (!CustomSummaryEditing(*DefTable)) DefTable->Edit();
    for (int item = 1; item <= kSummaryItems; ++item) {
        const size_t i = size_t(item - 1);
        if (SrchC[i])
            field(catalog::NumberedName("MatchCriteria", item))->SetAsInteger(SrchC[i]->ItemIndex());
        field(catalog::NumberedName("ColumnCriteria", item))->SetAsInteger(CS[i]->GetAsInteger());
        if (SCS[i])
            field(catalog::NumberedName("SortColumnSpec", item))->SetAsInteger(SCS[i]->GetAsInteger());
        if (SC[i]) field(catalog::NumberedName("SortCriteriaSpec", item))->SetAsInteger(SC[i]->ItemIndex());
    }
    field("DateDefinitionLastUpdated")->SetAsDateTime(Date());
    FPostFailed = false;
    try {
        DefTable->Post();
    } catch (const EAbort&) {
        // A duplicate name was reported; the record stays in edit for another name.
    }
    if (!FPostFailed) SetModalResult(mrOk);
}

}  // namespace reports
