#include "reports/custom/CustomSummaryReportForm.h"

#include <algorithm>

#include "catalog/FormParts.h"
#include "catalog/Globals.h"
#include "controls/entry/CtlState.h"
#include "dbsql/components/DbTable.h"
#include "framework/core/DateTime.h"
#include "framework/core/SysUtils.h"
#include "framework/data/DataSource.h"
#include "framework/data/Fields.h"
#include "framework/dbctrls/DBGrids.h"
#include "framework/stdctrls/Dialogs.h"

namespace reports {

using namespace framework;

namespace {

// The stored criterion fields by item; items 2, 3 and 10 carry no criterion.
constexpr std::array<bool, kSummaryItems> kCustomSummaryHasCriterion = {
    true, false, false, true, true, true, true, true, true, false, true, true, true, true};

std::string CustomSummaryField(const char* Prefix, int Item) {
    return catalog::NumberedName(Prefix, Item);
}

// A size stored as a whole number: its text read as a signed 64-bit integer (0 when it holds
// none).
int64_t CustomSummaryWholeNumber(TField& Field) {
    if (Field.IsNull()) return 0;
    std::string text = Trim(Field.AsString());
    if (const size_t point = text.find_first_of(".,"); point != std::string::npos) text.resize(point);
    return StrToInt64Def(text, 0);
}

TDateTime CustomSummaryDate(TField& Field) {
    return Field.IsNull() ? TDateTime(0) : Field.AsDateTime();
}

// The operator a stored criterion code stands for; "Ignore" and "Prompt" leave none.
uint8_t CustomSummaryOperator(int Item, int Code) {
    if (Code < 2 || Code > 7) return 0;
    if (Item == 14) return uint8_t(Code <= 3 ? Code - 1 : Code + 6);
    return uint8_t(Code - 1);
}

}  // namespace

std::string CustomSummaryCommentPhrase(const std::string& Comment) {
    std::string line = Comment.substr(0, Comment.find('\n'));
    line = line.substr(0, line.find('\r'));
    return UpperCase(line);
}

TSummaryReportSpec CustomSummarySpec(TDataSet& Def) {
    TSummaryReportSpec spec;
    const auto field = [&Def](const std::string& Name) -> TField& { return *Def.FieldByName(Name); };
    spec.ReportTitle = field("ReportName").AsString();
    spec.VolumeLabelSpec = field("CatalogedVolumeLabel").AsString().substr(0, 11);
    spec.DateFirstValue = CustomSummaryDate(field("DateFirstCataloged"));
    spec.DateLastValue = CustomSummaryDate(field("DateLastCataloged"));
    spec.DiskSizeValue = CustomSummaryWholeNumber(field("DiskSize"));
    spec.ClusterSizeValue = CustomSummaryWholeNumber(field("DiskClusterSize"));
    spec.DiskUsedValue = CustomSummaryWholeNumber(field("DiskUsed"));
    spec.DiskFreeValue = CustomSummaryWholeNumber(field("DiskFree"));
    spec.FilesOnDiskValue = field("FilesOnDisk").AsInteger();
    spec.FilesInArchivesValue = field("FilesInArchives").AsInteger();
    spec.CatalogedFromValue = Trim(field("CatalogedFrom").AsString().substr(0, 1));
    spec.CommentText = CustomSummaryCommentPhrase(field("Comment").AsString());
    spec.MatchesRequired = field("MatchesRequired").AsInteger();
    for (int item = 1; item <= kSummaryItems; ++item) {
        const size_t i = size_t(item - 1);
        if (kCustomSummaryHasCriterion[i])
            spec.Op[i] =
                CustomSummaryOperator(item, field(CustomSummaryField("MatchCriteria", item)).AsInteger());
        spec.ColumnPos[i] = uint8_t(field(CustomSummaryField("ColumnCriteria", item)).AsInteger());
        spec.SortSpec[i] = {uint8_t(field(CustomSummaryField("SortColumnSpec", item)).AsInteger()),
                            uint8_t(field(CustomSummaryField("SortCriteriaSpec", item)).AsInteger())};
    }
    return spec;
}

std::array<bool, kSummaryItems> CustomSummaryPrompted(TDataSet& Def) {
    std::array<bool, kSummaryItems> prompted{};
    for (int item = 1; item <= kSummaryItems; ++item)
        prompted[size_t(item - 1)] =
            kCustomSummaryHasCriterion[size_t(item - 1)] &&
            Def.FieldByName(CustomSummaryField("MatchCriteria", item))->AsInteger() ==
                kCustomSummaryPromptCode;
    return prompted;
}

void ShowCustomSummaryReports() {
    if (catalog::CustomSummaryReportsOpen) {
        for (int i = 0; i < Screen->FormCount(); ++i)
            if (auto* list = dynamic_cast<TCustomSummaryReportForm*>(Screen->Forms(i))) {
                if (list->WindowState() == wsMinimized) list->SetWindowState(wsNormal);
                list->Show();
                return;
            }
    }
    TCustomForm::Create<TCustomSummaryReportForm>(Application)->Show();
}

// ---- The list of definitions ----

TCustomSummaryReportForm::TCustomSummaryReportForm(TComponent* AOwner) : TForm(AOwner) {
    SetName("CustomSummaryReportForm");
    SetCaption("Custom Summary Report Definitions");
    Position = poScreenCenter;
    SetClientSize(640, 320);
    Constraints().SetMinWidth(Width());
    Constraints().SetMaxWidth(Width());
    Constraints().SetMinHeight(150);
    Store = NewComponent<entry::TCtlRegistryStore>(this);
    Store->SetName("Store");
    FormState = NewComponent<entry::TCtlFormState>(this);
    FormState->SetName("FormState");
    FormState->SetStorage(Store);
    FormState->SetSection("TCustomSummaryReportForm");

    DefTable = NewComponent<dbsql::TDbTable>(this);
    DefTable->SetName("DefTable");
    DefTable->SetTableName("CustomSummaryReportDefs");
    DefSource = NewComponent<TDataSource>(this);
    DefSource->SetName("DefSource");
    DefSource->SetDataSet(DefTable);

    auto* buttons = catalog::NewPanel(*this, *this, "ButtonPanel", 0, 270, 640, 50, bvNone);
    buttons->SetAlign(alBottom);
    DBGrid = catalog::NewControl<TDBGrid>(*this, *this, "DBGrid", 0, 0, 640, 270);
    DBGrid->SetAlign(alClient);
    DBGrid->SetDataSource(DefSource);
    DBGrid->SetReadOnly(true);
    DBGrid->SetOptions((DefaultDBGridOptions | dgRowSelect) & ~dgEditing);
    const struct {
        const char* Field;
        const char* Title;
        int Width;
    } columns[] = {{"ReportName", "Report Name", 375},
                   {"DateDefinitionLastUpdated", "Last Updated", 75},
                   {"DateDefinitionCreated", "Created On", 75},
                   {"DateDefinitionLastUsed", "Last Used", 75}};
    for (const auto& c : columns) {
        TColumn* column = DBGrid->Columns().Add();
        column->SetFieldName(c.Field);
        column->Title().SetCaption(c.Title);
        column->SetWidth(c.Width);
        if (c.Width == 75) column->Title().SetAlignment(taCenter);
    }

    const auto button = [&](const char* Name, const char* Caption, int Left,
                            void (TCustomSummaryReportForm::*Click)()) {
        auto* b = catalog::NewControl<TBitBtn>(*this, *buttons, Name, Left, 9, 100, 33);
        b->SetCaption(Caption);
        b->OnClick = [this, Click](TObject*) { (this->*Click)(); };
        return b;
    };
    ActivateBtn = button("ActivateBtn", "&Activate Report", 8, &TCustomSummaryReportForm::ActivateBtnClick);
    NewBtn = button("NewBtn", "&New Report", 112, &TCustomSummaryReportForm::NewBtnClick);
    EditBtn = button("EditBtn", "&Edit Report", 216, &TCustomSummaryReportForm::EditBtnClick);
    DeleteBtn = button("DeleteBtn", "&Delete Report", 320, &TCustomSummaryReportForm::DeleteBtnClick);
    CloseBtn = catalog::NewDialogButton(*this, *buttons, "CloseBtn", bkClose, 446, 9);
    HelpBtn = catalog::NewDialogButton(*this, *buttons, "HelpBtn", bkHelp, 540, 9, &HelpContext);
    catalog::CustomSummaryReportsOpen = true;
}

TCustomSummaryReportForm::~TCustomSummaryReportForm() {
    catalog::CustomSummaryReportsOpen = false;
}

void TCustomSummaryReportForm::DoShow() {
    if (!DefTable->Active()) {
        DefTable->SetDatabaseName(catalog::ProgramFolder);
        DefTable->Open();
    }
    TForm::DoShow();
}

void TCustomSummaryReportForm::DoClose(TCloseAction& Action) {
    TForm::DoClose(Action);
    DefTable->Close();
    catalog::CustomSummaryReportsOpen = false;
    Action = caFree;
}

bool TCustomSummaryReportForm::ListEmpty() {
    if (DefTable->Active() && !DefTable->IsEmpty()) return false;
    catalog::ErrorBox(NoneSelectedText, false);
    return true;
}

void TCustomSummaryReportForm::RunEditor(bool New) {
    auto* editor = TCustomForm::Create<TCustomSummaryReportEditorForm>(Application);
    try {
        if (New)
            editor->StartNew();
        else if (!editor->StartEdit(DefTable->FieldByName("ReportName")->AsString())) {
            editor->Free();
            return;
        }
        if (editor->ShowModal() == mrOk) {
            const std::string saved = editor->DefTable->FieldByName("ReportName")->AsString();
            DefTable->Refresh();
            DefTable->FindKey({Variant(saved)});
        }
    } catch (...) {
        editor->Free();
        throw;
    }
    editor->Free();
}

void TCustomSummaryReportForm::NewBtnClick() {
    RunEditor(true);
}

void TCustomSummaryReportForm::EditBtnClick() {
    if (!ListEmpty()) RunEditor(false);
}

void TCustomSummaryReportForm::DeleteBtnClick() {
    if (ListEmpty()) return;
    if (MessageDlg(ConfirmDeleteText, mtConfirmation, {mbYes, mbNo}, 0) == mrYes) DefTable->Delete();
}

void TCustomSummaryReportForm::ActivateBtnClick() {
    if (ListEmpty()) return;
    DefTable->Edit();
    DefTable->FieldByName("DateDefinitionLastUsed")->SetAsDateTime(Date());
    DefTable->Post();
    TSummaryReportSpec spec = CustomSummarySpec(*DefTable);
    const std::array<bool, kSummaryItems> prompted = CustomSummaryPrompted(*DefTable);
    if (std::find(prompted.begin(), prompted.end(), true) != prompted.end()) {
        auto* prompt = TCustomForm::Create<TCustomSummaryReportPromptForm>(Application);
        bool confirmed = false;
        try {
            prompt->Preset(spec, prompted, DefTable->FieldByName("Comment")->AsString());
            confirmed = prompt->ShowModal() == mrOk;
            if (confirmed) prompt->ApplyTo(spec);
        } catch (...) {
            prompt->Free();
            throw;
        }
        prompt->Free();
        if (!confirmed) return;
    }
    RunSummaryReport(spec);
}

}  // namespace reports
