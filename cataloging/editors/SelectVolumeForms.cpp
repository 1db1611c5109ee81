#include "cataloging/editors/SelectVolumeForms.h"

#include <algorithm>
#include <cmath>

#include "catalog/FormParts.h"
#include "catalog/GetStringForm.h"
#include "catalog/Globals.h"
#include "catalog/ProgramTables.h"
#include "catalog/ProgressForm.h"
#include "catalog/TextHelpers.h"
#include "cataloging/editors/EditFileCommentForm.h"
#include "cataloging/editors/EditorParts.h"
#include "controls/entry/CtlState.h"
#include "controls/grid/CtlDbTable.h"
#include "controls/grid/CtlListBox.h"
#include "controls/grid/CtlNotebook.h"
#include "controls/kit/CoolGauge.h"
#include "dbsql/components/DbQuery.h"
#include "dbsql/components/DbTable.h"
#include "framework/core/DateTime.h"
#include "framework/core/Masks.h"
#include "framework/core/SysUtils.h"
#include "framework/data/DataSource.h"
#include "framework/data/Fields.h"
#include "framework/stdctrls/CheckBox.h"
#include "framework/stdctrls/Dialogs.h"
#include "framework/stdctrls/Edit.h"
#include "framework/stdctrls/Label.h"

namespace cataloging {

using namespace framework;

namespace {

dbsql::TDbTable* NewVolumeFormTable(TComponent& Owner, const char* Name) {
    auto* t = NewComponent<dbsql::TDbTable>(&Owner);
    t->SetName(Name);
    return t;
}

bool AnyMaskMatches(const std::vector<TMask>& Masks, const std::string& Text) {
    return std::any_of(Masks.begin(), Masks.end(), [&](const TMask& m) { return m.Matches(Text); });
}

}  // namespace

// ---- TSelectVolumeIDForm ----

TSelectVolumeIDForm::TSelectVolumeIDForm(TComponent* AOwner) : TForm(AOwner) {
    SetName("SelectVolumeIDForm");
    SetCaption("Select Volume(s) To UnCatalog");
    SetBorderStyle(bsDialog);
    Position = poScreenCenter;
    SetClientSize(420, 330);

    SummaryTable = NewVolumeFormTable(*this, "SummaryTable");
    LogTable = NewVolumeFormTable(*this, "LogTable");
    ConfigTable = NewVolumeFormTable(*this, "ConfigTable");
    CatalogQuery = NewComponent<dbsql::TDbQuery>(this);
    CatalogQuery->SetName("CatalogQuery");
    CatalogQuery->OnQueryProgress = [this](TObject*, uint16_t PercentDone, bool&) {
        // The statement's share of the gauge is one volume's worth.
        if (FToRemove > 0)
            ShowGauge(
                static_cast<int>(std::trunc(FRemoved * 100.0 / FToRemove + PercentDone * 1.0 / FToRemove)));
    };

    Notebook = catalog::NewNotebook(*this, *this, "Notebook", 4, 4, 412, 274,
                                    {"By Volume ID Specification", "Multi-Volume Selection"});
    Notebook->OnPageChanged = [this](TObject*, int Index) {
        if (Index == 1 && !FListLoaded) LoadList();
    };
    grid::TCtlTabPage* first = Notebook->Pages(0);
    catalog::NewLabel(*this, *first, "VSpecLabel", 20, 40, 360,
                      "Enter Volume Label Specification (Wildcards Permitted)");
    VSpec = catalog::NewControl<TEdit>(*this, *first, "VSpec", 20, 70, 140, 23);
    VSpec->SetCharCase(ecUpperCase);
    VSpec->SetMaxLength(11);
    VSpec->SetText("");

    grid::TCtlTabPage* second = Notebook->Pages(1);
    CheckList = catalog::NewControl<grid::TCtlCheckList>(*this, *second, "CheckList", 8, 8, 250, 220);
    auto button = [&](const char* Name, const char* Caption, int Top, std::function<void()> Click) {
        TBitBtn* b = catalog::NewDialogButton(*this, *second, Name, bkCustom, 270, Top);
        b->SetCaption(Caption);
        b->SetWidth(126);
        b->ModalResult = mrNone;
        b->OnClick = [Click = std::move(Click)](TObject*) { Click(); };
        return b;
    };
    TagAllBtn = button("TagAllBtn", "&Tag All", 8, [this] { TagAllClick(); });
    ClearTagsBtn = button("ClearTagsBtn", "&Clear Tags", 48, [this] { ClearTagsClick(); });
    TagSeveralBtn = button("TagSeveralBtn", "Tag &Several", 88, [this] { TagSeveralClick(); });
    UntagSeveralBtn = button("UntagSeveralBtn", "&Untag Several", 128, [this] { UntagSeveralClick(); });
    InvertTagsBtn = button("InvertTagsBtn", "&Invert Tags", 168, [this] { InvertTagsClick(); });

    ProceedBtn = catalog::NewDialogButton(*this, *this, "ProceedBtn", bkOK, 40, 290);
    ProceedBtn->SetCaption("&Proceed");
    ProceedBtn->ModalResult = mrNone;
    ProceedBtn->OnClick = [this](TObject*) { ProceedClick(); };
    CancelBtn = catalog::NewDialogButton(*this, *this, "CancelBtn", bkCancel, 160, 290);
    HelpBtn = catalog::NewDialogButton(*this, *this, "HelpBtn", bkHelp, 280, 290, &HelpContext);
    SetActiveControl(VSpec);
}

void TSelectVolumeIDForm::DoShow() {
    FKeepLog = false;
    try {
        ConfigTable->Close();
        ConfigTable->SetDatabaseName(catalog::ProgramFolder);
        ConfigTable->SetTableName(catalog::CatalogConfigsSchema().TableName);
        ConfigTable->Open();
        if (ConfigTable->FindKey({Variant(catalog::CurrentCatalogName)}))
            FKeepLog = UpperCase(ConfigTable->FieldByName("KeepActivityLog")->AsString()) == "TRUE";
        ConfigTable->Close();
    } catch (const std::exception&) {
        ConfigTable->Close();
        FKeepLog = false;
    }
    SummaryTable->Close();
    SummaryTable->SetDatabaseName(catalog::CatalogDataFolder);
    SummaryTable->SetTableName(catalog::CurrentCatalogName + "_SUM");
    CatalogQuery->SetDatabaseName(catalog::CatalogDataFolder);
    LogTable->Close();
    LogTable->SetDatabaseName(catalog::CatalogDataFolder);
    LogTable->SetTableName(catalog::CurrentCatalogName + "_LOG");
    FListLoaded = false;
    if (ForCommentEditor) SetCaption("Select Volume(s) For File Comment Editor");
    TForm::DoShow();
    if (VSpec->CanFocus()) VSpec->SetFocus();
}

void TSelectVolumeIDForm::LoadList() {
    TEditorHourglass busy;
    CheckList->Items().Clear();
    SummaryTable->SetFilteredValue(false);
    SummaryTable->Open();
    try {
        for (SummaryTable->First(); !SummaryTable->Eof(); SummaryTable->Next()) {
            CheckList->Items().Add(SummaryTable->FieldByName("CatalogVolumeLabel")->AsString());
            Application->ProcessMessages();
        }
    } catch (...) {
        SummaryTable->Close();
        throw;
    }
    SummaryTable->Close();
    FListLoaded = true;
    if (CheckList->Items().Count() > 0) CheckList->SetItemIndex(0);
}

void TSelectVolumeIDForm::TagAllClick() {
    for (int i = 0; i < CheckList->Items().Count(); ++i) CheckList->SetItemState(i, cbChecked);
}

void TSelectVolumeIDForm::ClearTagsClick() {
    for (int i = 0; i < CheckList->Items().Count(); ++i) CheckList->SetItemState(i, cbUnchecked);
}

void TSelectVolumeIDForm::InvertTagsClick() {
    for (int i = 0; i < CheckList->Items().Count(); ++i)
        CheckList->SetItemState(i, CheckList->GetItemState(i) == cbChecked ? cbUnchecked : cbChecked);
}

void TSelectVolumeIDForm::SetTicks(const std::string& Spec, bool Tick) {
    const TMask mask(Spec);
    for (int i = 0; i < CheckList->Items().Count(); ++i)
        if (mask.Matches(CheckList->Items()[i])) CheckList->SetItemState(i, Tick ? cbChecked : cbUnchecked);
}

void TSelectVolumeIDForm::TagSeveralClick() {
    std::string spec;
    if (catalog::AskForString("Tag Several", "Enter VolumeSpec To Tag", spec)) SetTicks(spec, true);
}

void TSelectVolumeIDForm::UntagSeveralClick() {
    std::string spec;
    if (catalog::AskForString("UnTag Several", "Enter VolumeSpec To UnTag", spec)) SetTicks(spec, false);
}

std::vector<std::string> TSelectVolumeIDForm::ChosenPatterns() {
    std::vector<std::string> patterns;
    if (Notebook->PageIndex() == 0) {
        if (Trim(VSpec->Text()).empty()) VSpec->SetText("*");
        patterns.push_back(VSpec->Text());
        return patterns;
    }
    // A ticked label stands for that volume alone, whatever characters it holds.
    for (int i = 0; i < CheckList->Items().Count(); ++i)
        if (CheckList->GetItemState(i) == cbChecked) patterns.push_back(LiteralMask(CheckList->Items()[i]));
    return patterns;
}

void TSelectVolumeIDForm::ProceedClick() {
    const std::vector<std::string> patterns = ChosenPatterns();
    SetModalResult(mrOk);
    if (ForCommentEditor) {
        OpenCommentEditor(patterns);
        return;
    }
    if (Notebook->PageIndex() == 0 && patterns.front() == "*" &&
        MessageDlg(UnCatalogAllText, mtConfirmation, {mbYes, mbNo}, 0) != mrYes)
        return;
    UnCatalog(patterns);
}

void TSelectVolumeIDForm::ShowGauge(int Percent) {
    if (catalog::ProgressForm) catalog::ProgressForm->ProgressBar->SetProgress(std::clamp(Percent, 0, 100));
}

void TSelectVolumeIDForm::UnCatalog(const std::vector<std::string>& Patterns) {
    // A malformed label pattern is refused before anything is removed.
    std::vector<TMask> masks;
    for (const std::string& p : Patterns) masks.emplace_back(p);
    TEditorProgress progress("UnCataloging Selected Disk(s)", false);
    FRemoved = 0;
    FToRemove = 0;
    SummaryTable->SetOnFilterRecordValue([&masks](TDataSet* Set, bool& Accept) {
        Accept = AnyMaskMatches(masks, Set->FieldByName("CatalogVolumeLabel")->AsString());
    });
    SummaryTable->SetFilteredValue(true);
    auto closeAll = [this] {
        LogTable->Close();
        SummaryTable->Close();
        SummaryTable->SetFilteredValue(false);
        SummaryTable->SetOnFilterRecordValue({});
    };
    try {
        SummaryTable->Open();
        for (SummaryTable->First(); !SummaryTable->Eof(); SummaryTable->Next()) ++FToRemove;
        if (FKeepLog) LogTable->Open();
        const std::string statement = "Delete From \"" + catalog::QuoteForSql(catalog::CurrentCatalogName) +
                                      "_CAT\" Where VolumeLabel = :Label";
        for (SummaryTable->First(); !SummaryTable->Eof(); SummaryTable->First()) {
            const std::string label = SummaryTable->FieldByName("CatalogVolumeLabel")->AsString();
            CatalogQuery->Close();
            CatalogQuery->SetSQL(statement);
            CatalogQuery->Params().ParamByName("Label")->SetAsString(label);
            CatalogQuery->ExecuteStatement();
            if (FKeepLog) {
                LogTable->Append();
                LogTable->FieldByName("OpDate")->SetAsDateTime(Date());
                LogTable->FieldByName("OpTime")->SetAsDateTime(Time());
                LogTable->FieldByName("Operation")
                    ->SetAsString(("UNCATALOGED: Volume ID = \"" + label + "\"").substr(0, 50));
                LogTable->Post();
            }
            SummaryTable->Delete();
            ++FRemoved;
            ShowGauge(static_cast<int>(std::trunc(FRemoved * 100.0 / FToRemove)));
            Application->ProcessMessages();
        }
    } catch (...) {
        closeAll();
        throw;
    }
    closeAll();
}

void TSelectVolumeIDForm::OpenCommentEditor(const std::vector<std::string>& Patterns) {
    TCommentEditorSpec spec;
    spec.FilterMode = cefVolumeLabel;
    spec.Criteria = Patterns;
    ShowFileCommentEditor(spec);
}

// ---- TSelectOneVolumeForm ----

TSelectOneVolumeForm::TSelectOneVolumeForm(TComponent* AOwner) : TForm(AOwner) {
    SetName("SelectOneVolumeForm");
    SetCaption("Volumes Cataloged");
    SetBorderStyle(bsDialog);
    Position = poScreenCenter;
    SetClientSize(300, 330);
    FormState = NewRegistryFormState(*this, "TSelectOneVolumeForm", Store);
    FormState->Options = entry::fsPosition;

    SummaryTable = NewVolumeFormTable(*this, "SummaryTable");
    SummaryTable->SetDatabaseName(catalog::CatalogDataFolder);
    SummaryTable->SetTableName(catalog::CurrentCatalogName + "_SUM");
    SummarySource = NewComponent<TDataSource>(this);
    SummarySource->SetDataSet(SummaryTable);
    SummarySource->AutoEdit = false;

    Grid = catalog::NewControl<grid::TCtlDbTable>(*this, *this, "Grid", 8, 8, 196, 314);
    Grid->SetOptions(Grid->Options() & ~grid::CtlDbOption(grid::dtoShowIndicators));
    Grid->SetDataSource(SummarySource);
    Grid->Columns().Clear();
    auto* column = new grid::TCtlDbTableColumn(Grid);
    column->SetDataField("CatalogVolumeLabel");
    column->SetWidth(154);
    Grid->Columns().Append(column);
    Grid->OnDblClick = [this](TObject*) { SelectClick(); };

    SelectBtn = catalog::NewDialogButton(*this, *this, "SelectBtn", bkOK, 212, 8);
    SelectBtn->SetCaption("&Select");
    SelectBtn->ModalResult = mrNone;
    SelectBtn->OnClick = [this](TObject*) { SelectClick(); };
    CancelBtn = catalog::NewDialogButton(*this, *this, "CancelBtn", bkCancel, 212, 48);
    HelpBtn = catalog::NewDialogButton(*this, *this, "HelpBtn", bkHelp, 212, 88, &HelpContext);
    for (TBitBtn* b : {SelectBtn, CancelBtn, HelpBtn}) b->SetWidth(80);

    SummaryTable->Open();
    SetActiveControl(Grid);
}

void TSelectOneVolumeForm::SelectClick() {
    if (SummaryTable->Active() && !SummaryTable->IsEmpty()) SetModalResult(mrOk);
}

}  // namespace cataloging
