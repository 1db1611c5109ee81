#include "reports/custom/CustomFileReportForm.h"

#include <array>
#include <string>

#include "catalog/FormParts.h"
#include "catalog/Globals.h"
#include "catalog/ProgramTables.h"
#include "controls/entry/CtlState.h"
#include "dbsql/components/DbTable.h"
#include "framework/core/DateTime.h"
#include "framework/data/DataSource.h"
#include "framework/data/Fields.h"
#include "framework/dbctrls/DBGrids.h"
#include "framework/stdctrls/Dialogs.h"
#include "reports/custom/CustomFileReportDefs.h"
#include "reports/custom/CustomFileReportEditorForm.h"
#include "reports/custom/CustomFileReportPromptForm.h"
#include "reports/filereport/FileReportScreenForm.h"

namespace reports {

using namespace framework;

namespace {

TCustomFileReportForm* gOpenFileReportList = nullptr;

// Frees a modal form also when showing it raises.
template <class T, class F>
auto WithModalForm(F&& Use) {
    auto* form = TCustomForm::Create<T>(Application);
    try {
        auto result = Use(*form);
        form->Free();
        return result;
    } catch (...) {
        form->Free();
        throw;
    }
}

}  // namespace

TCustomFileReportForm* OpenCustomFileReportForm() {
    return gOpenFileReportList;
}

void ShowCustomFileReports() {
    if (catalog::CustomFileReportsOpen && gOpenFileReportList) {
        gOpenFileReportList->Show();
        return;
    }
    auto* form = TCustomForm::Create<TCustomFileReportForm>(Application);
    try {
        form->Show();
    } catch (...) {
        form->Release();
        throw;
    }
}

TCustomFileReportForm::TCustomFileReportForm(TComponent* AOwner) : TForm(AOwner) {
    SetName("CustomFileReportForm");
    SetCaption("Custom File Report Definitions");
    Position = poScreenCenter;
    SetBounds(Left(), Top(), 640, 320);
    Constraints().SetMinWidth(640);
    Constraints().SetMaxWidth(640);
    Constraints().SetMinHeight(150);

    Store = NewComponent<entry::TCtlRegistryStore>(this);
    Store->SetName("Store");
    FormState = NewComponent<entry::TCtlFormState>(this);
    FormState->SetName("FormState");
    FormState->SetStorage(Store);
    FormState->SetSection("TCustomFileReportForm");

    DefTable = NewComponent<dbsql::TDbTable>(this);
    DefTable->SetName("DefTable");
    DefSource = NewComponent<TDataSource>(this);
    DefSource->SetDataSet(DefTable);
    DefSource->AutoEdit = false;

    ButtonPanel = catalog::NewPanel(*this, *this, "ButtonPanel", 0, 0, 640, 48, bvNone);
    ButtonPanel->SetAlign(alBottom);
    int left = 8;
    auto button = [this, &left](const char* Name, TBitBtnKind Kind, const char* Caption) {
        TBitBtn* b = catalog::NewDialogButton(*this, *ButtonPanel, Name, Kind, left, 8,
                                              Kind == bkHelp ? &HelpContext : nullptr);
        if (Caption) b->SetCaption(Caption);
        b->SetWidth(98);
        left += 104;
        return b;
    };
    ActivateBtn = button("ActivateBtn", bkCustom, "&Activate Report");
    NewBtn = button("NewBtn", bkCustom, "&New Report");
    EditBtn = button("EditBtn", bkCustom, "&Edit Report");
    DeleteBtn = button("DeleteBtn", bkCustom, "&Delete Report");
    CloseBtn = button("CloseBtn", bkClose, nullptr);
    HelpBtn = button("HelpBtn", bkHelp, nullptr);
    ActivateBtn->OnClick = [this](TObject*) { ActivateBtnClick(); };
    NewBtn->OnClick = [this](TObject*) { NewBtnClick(); };
    EditBtn->OnClick = [this](TObject*) { EditBtnClick(); };
    DeleteBtn->OnClick = [this](TObject*) { DeleteBtnClick(); };
    CloseBtn->OnClick = [this](TObject*) { Close(); };

    DBGrid = NewComponent<TDBGrid>(this);
    DBGrid->SetName("DBGrid");
    DBGrid->SetParent(this);
    DBGrid->SetAlign(alClient);
    DBGrid->SetOptions((DefaultDBGridOptions & ~dgEditing) | dgRowSelect | dgAlwaysShowSelection);
    DBGrid->SetReadOnly(true);
    DBGrid->SetDataSource(DefSource);
    for (auto [field, caption, width] : {std::tuple{"ReportName", "Report Name", 375},
                                         std::tuple{"DateDefinitionLastUpdated", "Last Updated", 75},
                                         std::tuple{"DateDefinitionCreated", "Created On", 75},
                                         std::tuple{"DateDefinitionLastUsed", "Last Used", 75}}) {
        TColumn* c = DBGrid->Columns().Add();
        c->SetFieldName(field);
        c->Title().SetCaption(caption);
        c->SetWidth(width);
        if (width == 75) c->Title().SetAlignment(taCenter);
    }

    // FormCreate: one list at a time.
    catalog::CustomFileReportsOpen = true;
    gOpenFileReportList = this;
}

TCustomFileReportForm::~TCustomFileReportForm() {
    if (gOpenFileReportList == this) {
        gOpenFileReportList = nullptr;
        catalog::CustomFileReportsOpen = false;
    }
}

void TCustomFileReportForm::DoShow() {
    if (!DefTable->Active()) {
        DefTable->SetDatabaseName(catalog::ProgramFolder);
        DefTable->SetTableName("CustomFileReportDefs");
        DefTable->Open();
    }
    TForm::DoShow();
}

void TCustomFileReportForm::DoClose(TCloseAction& Action) {
    TForm::DoClose(Action);
    DefTable->Close();
    catalog::CustomFileReportsOpen = false;
    Action = caFree;
}

void TCustomFileReportForm::RunEditor(TCustomFileReportEditorForm& Editor) {
    if (Editor.ShowModal() != mrOk) return;
    const std::string saved = Editor.DefTable->FieldByName("ReportName")->AsString();
    DefTable->Refresh();
    DefTable->FindKey({Variant(saved)});
}

void TCustomFileReportForm::NewBtnClick() {
    WithModalForm<TCustomFileReportEditorForm>([this](TCustomFileReportEditorForm& Editor) {
        Editor.DefTable->Insert();
        Editor.ShowPage(TCustomFileReportEditorForm::NamePage, Editor.DBEdit1);
        RunEditor(Editor);
        return true;
    });
}

void TCustomFileReportForm::EditBtnClick() {
    if (DefTable->IsEmpty()) return catalog::ErrorBox(NoneSelectedText, false);
    const std::string name = DefTable->FieldByName("ReportName")->AsString();
    WithModalForm<TCustomFileReportEditorForm>([&](TCustomFileReportEditorForm& Editor) {
        Editor.DefTable->FindKey({Variant(name)});
        Editor.ShowPage(TCustomFileReportEditorForm::DefinitionPage, Editor.DBEdit2);
        RunEditor(Editor);
        return true;
    });
}

void TCustomFileReportForm::DeleteBtnClick() {
    if (DefTable->IsEmpty()) return catalog::ErrorBox(NoneSelectedText, false);
    if (MessageDlg(ConfirmDeleteText, mtConfirmation, {mbYes, mbNo}, 0) == mrYes) DefTable->Delete();
}

bool TCustomFileReportForm::AskPromptedCriteria(TFileReportScreenForm& Report) {
    std::array<bool, 12> prompted{};
    for (int item : kFileCriterionItems)
        prompted[size_t(item - 1)] =
            DefTable->FieldByName(catalog::NumberedName("MatchCriteria", item))->AsInteger() == 1;
    const std::string storedComment = DefTable->FieldByName("Comment")->AsString();
    return WithModalForm<TCustomFileReportPromptForm>([&](TCustomFileReportPromptForm& Prompt) {
        Prompt.Preset(Report, storedComment, prompted);
        if (Prompt.ShowModal() != mrOk) return false;
        Prompt.TakeAnswers(Report);
        return true;
    });
}

void TCustomFileReportForm::ActivateBtnClick() {
    if (DefTable->IsEmpty()) return catalog::ErrorBox(NoneSelectedText, false);
    DefTable->Edit();
    DefTable->FieldByName("DateDefinitionLastUsed")->SetAsDateTime(Date());
    DefTable->Post();

    auto* report = TCustomForm::Create<TFileReportScreenForm>(Application);
    bool shown = false;
    try {
        FillFileReportFromDefinition(*DefTable, *report);
        if ((!DefinitionPrompts(*DefTable) || AskPromptedCriteria(*report)) && report->CreateReport()) {
            report->Show();
            shown = true;
        }
    } catch (...) {
        report->Release();
        throw;
    }
    if (!shown) report->Release();
}

}  // namespace reports
