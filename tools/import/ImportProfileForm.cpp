#include "tools/import/ImportProfileForm.h"

#include "catalog/FormParts.h"
#include "catalog/Globals.h"
#include "controls/entry/CtlAttachedButton.h"
#include "controls/entry/CtlSpinner.h"
#include "controls/entry/CtlState.h"
#include "controls/grid/CtlDbPictureField.h"
#include "controls/grid/CtlDbTable.h"
#include "controls/grid/CtlTextViewer.h"
#include "dbengine/util/EngineError.h"
#include "dbsql/components/DbTable.h"
#include "framework/core/Exception.h"
#include "framework/core/SysUtils.h"
#include "framework/data/DataSource.h"
#include "framework/data/Fields.h"
#include "framework/dbctrls/DBCtrls.h"
#include "framework/stdctrls/Dialogs.h"
#include "framework/stdctrls/Label.h"

namespace tools {

using namespace framework;

namespace {

catalog::TTableSchema ImportProfileSchema(const char* Name, bool Comments) {
    catalog::TTableSchema schema{Name,
                                 {{"ProfileName", ftString, 20, true},
                                  {"ImportFrom", ftString, 250},
                                  {"SkipLines", ftInteger},
                                  {"FNStartCol", ftInteger},
                                  {"FNEndCol", ftInteger}},
                                 {{"", "ProfileName", ixPrimary | ixUnique}}};
    const std::vector<const char*> items =
        Comments
            ? std::vector<const char*>{"VL", "Fld", "Arc", "Cmt"}
            : std::vector<const char*>{"Fld", "Arc", "FSize", "FDate", "FTime", "FAttr", "FCatCode", "Cmt"};
    for (const char* item : items) {
        schema.Fields.push_back({std::string(item) + "StartCol", ftInteger});
        schema.Fields.push_back({std::string(item) + "EndCol", ftInteger});
    }
    if (Comments) schema.Fields.push_back({"CmtProcCriteria", ftString, 18});
    return schema;
}

bool ImportIsCommentProfile(const catalog::TTableSchema& Schema) {
    return Schema.TableName == "CIProfiles";
}

// Fills the current record of Table with a new profile's values.
void FillImportProfileDefaults(TDataSet& Table, const catalog::TTableSchema& Schema) {
    const bool comments = ImportIsCommentProfile(Schema);
    for (const catalog::TFieldSchema& field : Schema.Fields)
        if (field.Kind == ftInteger) Table.FieldByName(field.Name)->SetAsInteger(0);
    Table.FieldByName("ProfileName")->SetAsString("DEFAULT");
    Table.FieldByName("ImportFrom")->SetAsString("");
    Table.FieldByName("FNStartCol")->SetAsInteger(1);
    Table.FieldByName("FNEndCol")->SetAsInteger(16);
    if (comments) {
        Table.FieldByName("CmtStartCol")->SetAsInteger(18);
        Table.FieldByName("CmtEndCol")->SetAsInteger(255);
        Table.FieldByName("CmtProcCriteria")->SetAsString("Do Not Overwrite");
    }
}

}  // namespace

const catalog::TTableSchema& FileImportProfilesSchema() {
    static const catalog::TTableSchema schema = ImportProfileSchema("FIProfiles", false);
    return schema;
}

const catalog::TTableSchema& CommentImportProfilesSchema() {
    static const catalog::TTableSchema schema = ImportProfileSchema("CIProfiles", true);
    return schema;
}

// ---- The profile window ----

TImportProfileForm::TImportProfileForm(TComponent* AOwner, const catalog::TTableSchema& ASchema)
    : TForm(AOwner), Schema(ASchema) {
    SetBorderStyle(bsDialog);
    Position = poScreenCenter;
    ProfileTable = NewComponent<dbsql::TDbTable>(this);
    ProfileTable->SetName("ProfileTable");
    ProfileTable->SetTableName(Schema.TableName);
    ProfileTable->OnNewRecord = [this](TDataSet*) { ProfileTableNewRecord(); };
    ProfileTable->BeforePost = [this](TDataSet*) { ProfileTableBeforePost(); };
    ProfileTable->OnPostError = [this](TDataSet*, EDatabaseError& E, TDataAction& Action) {
        const auto* engine = dynamic_cast<const dbengine::EDbEngineError*>(&E);
        const bool keyViolation = (engine && engine->ErrorCode == dbengine::DBE_KEYVIOL) ||
                                  std::string(E.what()).find("9729") != std::string::npos;
        if (!keyViolation) return;
        catalog::ErrorBox(DuplicateNameText);
        if (ProfileName->CanFocus()) ProfileName->SetFocus();
        Action = daAbort;
    };
    ProfileSource = NewComponent<TDataSource>(this);
    ProfileSource->SetName("ProfileSource");
    ProfileSource->SetDataSet(ProfileTable);
    OpenImportFile = [](const std::string& Path) { return std::make_unique<TImportFile>(Path); };
}

TImportProfileForm::~TImportProfileForm() = default;

void TImportProfileForm::BuildProfileList(TWinControl& Parent, int Left, int Top, int Height) {
    ProfilesPanel = catalog::NewPanel(*this, Parent, "ProfilesPanel", Left, Top, 200, Height, bvLowered);
    catalog::NewLabel(*this, *ProfilesPanel, "ProfilesLabel", 8, 6, 180, "Profiles Available");
    ProfileGrid =
        catalog::NewControl<grid::TCtlDbTable>(*this, *ProfilesPanel, "ProfileGrid", 8, 24, 184, Height - 64);
    ProfileGrid->SetDataSource(ProfileSource);
    ProfileGrid->SetOptions(grid::CtlDbOption(grid::dtoHighlightActiveRow) |
                            grid::CtlDbOption(grid::dtoShowIndicators));
    ProfileGrid->Columns().Clear();
    auto* column = new grid::TCtlDbTableColumn(ProfileGrid);
    column->SetDataField("ProfileName");
    column->SetWidth(173);
    ProfileGrid->Columns().Append(column);
    Navigator =
        catalog::NewControl<TDBNavigator>(*this, *ProfilesPanel, "Navigator", 8, Height - 34, 184, 25);
    Navigator->SetDataSource(ProfileSource);
    Navigator->ConfirmDelete = true;
    Navigator->SetShowHint(true);
}

void TImportProfileForm::BuildGeneralFields(TWinControl& Parent, int Left, int Top) {
    catalog::NewLabel(*this, Parent, "ProfileNameLabel", Left, Top, 200, "Profile Name");
    ProfileName = catalog::NewControl<TDBEdit>(*this, Parent, "ProfileName", Left, Top + 16, 170, 23);
    ProfileName->SetDataSource(ProfileSource);
    ProfileName->SetDataField("ProfileName");
    ProfileName->SetCharCase(ecUpperCase);
    catalog::NewLabel(*this, Parent, "ImportFromLabel", Left, Top + 48, 300, "File From Which To Import");
    ImportFrom = catalog::NewControl<TDBEdit>(*this, Parent, "ImportFrom", Left, Top + 64, 300, 23);
    ImportFrom->SetDataSource(ProfileSource);
    ImportFrom->SetDataField("ImportFrom");
    CtlAttachedButton2 = catalog::NewControl<entry::TCtlAttachedButton>(*this, Parent, "CtlAttachedButton2",
                                                                        Left + 300, Top + 64, 23, 23);
    CtlAttachedButton2->SetCaption("...");
    CtlAttachedButton2->SetAttachedControl(ImportFrom);
    CtlAttachedButton2->OnClick = [this](TObject*) { CtlAttachedButton2Click(); };
    catalog::NewLabel(*this, Parent, "SkipLinesLabel", Left, Top + 96, 200, "Lines To Skip");
    SkipLines = NewColumnField(Parent, "SkipLines", Left, Top + 112);
}

grid::TCtlDbPictureField* TImportProfileForm::NewColumnField(TWinControl& Parent, const char* Field, int Left,
                                                             int Top) {
    auto* field = catalog::NewControl<grid::TCtlDbPictureField>(*this, Parent, Field, Left, Top, 56, 23);
    field->SetDataSource(ProfileSource);
    field->SetDataField(Field);
    field->SetPictureMask("99999");
    field->SetRangeLo("0");
    field->SetRangeHi("99999");
    auto* spinner = catalog::NewControl<entry::TCtlSpinner>(
        *this, Parent, (std::string(Field) + "Spinner").c_str(), Left + 56, Top, 16, 23);
    spinner->Delta = 1;
    spinner->WrapMode = false;
    spinner->SetFocusedControl(field);
    return field;
}

void TImportProfileForm::BuildColumnGrid(TWinControl& Parent, int Left, int Top,
                                         const std::vector<TImportColumnRow>& Rows) {
    catalog::NewLabel(*this, Parent, "ItemHeading", Left, Top, 120, "Item");
    catalog::NewLabel(*this, Parent, "StartHeading", Left + 120, Top, 100, "Starting Column");
    catalog::NewLabel(*this, Parent, "EndHeading", Left + 230, Top, 100, "Ending Column");
    int y = Top + 20;
    for (const TImportColumnRow& row : Rows) {
        catalog::NewLabel(*this, Parent, (std::string(row.StartField) + "Label").c_str(), Left, y + 4, 116,
                          row.Caption);
        ColumnFields.push_back(NewColumnField(Parent, row.StartField, Left + 120, y));
        ColumnFields.push_back(NewColumnField(Parent, row.EndField, Left + 230, y));
        y += 27;
    }
}

void TImportProfileForm::BuildButtons(TWinControl& Parent, int Left, int Top, const char* RunCaption) {
    const auto button = [&](const char* Name, const char* Caption, int X, std::function<void()> Click) {
        auto* b = catalog::NewControl<TBitBtn>(*this, Parent, Name, X, Top, 120, 30);
        b->SetCaption(Caption);
        b->OnClick = [Click](TObject*) { Click(); };
        return b;
    };
    BitBtn1 = button("BitBtn1", "&View Sample", Left, [this] { BitBtn1Click(); });
    BitBtn3 = button("BitBtn3", RunCaption, Left + 128, [this] { RunClick(); });
    CloseBtn = catalog::NewDialogButton(*this, Parent, "CloseBtn", bkClose, Left + 256, Top);
    HelpBtn = catalog::NewDialogButton(*this, Parent, "HelpBtn", bkHelp, Left + 384, Top, &HelpContext);
}

void TImportProfileForm::DoShow() {
    ProfileTable->Close();
    ProfileTable->SetDatabaseName(catalog::ProgramFolder);
    if (!ProfileTable->Exists()) {
        catalog::DefineTable(*ProfileTable, Schema);
        ProfileTable->CreateTable();
        ProfileTable->Open();
        ProfileTable->Append();
        ProfileTable->Post();
    } else {
        ProfileTable->Open();
    }
    ProfileTable->FieldByName("ProfileName")->SetDisplayLabel("Profile Name");
    TForm::DoShow();
}

void TImportProfileForm::DoClose(TCloseAction& Action) {
    TForm::DoClose(Action);
    if (ProfileTable->State() == dsEdit || ProfileTable->State() == dsInsert) ProfileTable->Cancel();
    ProfileTable->Close();
}

void TImportProfileForm::ProfileTableNewRecord() {
    FillImportProfileDefaults(*ProfileTable, Schema);
}

void TImportProfileForm::ProfileTableBeforePost() {
    if (!Trim(ProfileTable->FieldByName("ProfileName")->AsString()).empty()) return;
    catalog::ErrorBox(BlankNameText);
    if (ProfileName->CanFocus()) ProfileName->SetFocus();
    Abort();
}

void TImportProfileForm::CtlAttachedButton2Click() {
    auto dialog = std::make_unique<TOpenDialog>(nullptr);
    if (!dialog->Execute()) return;
    if (ProfileTable->State() != dsEdit && ProfileTable->State() != dsInsert) ProfileTable->Edit();
    ProfileTable->FieldByName("ImportFrom")->SetAsString(dialog->FileName);
}

void TImportProfileForm::BitBtn1Click() {
    const std::string path = ProfileText("ImportFrom");
    if (!OpenImportFile(path)->Opened()) {
        catalog::ErrorBox(OpenErrorText);
        return;
    }
    auto* viewer = TCustomForm::Create<TTextFileViewerForm>(Application);
    viewer->SetCaption(path);
    viewer->TV->SetFileName(path);
    try {
        viewer->ShowModal();
    } catch (...) {
        viewer->Free();
        throw;
    }
    viewer->Free();
}

std::string TImportProfileForm::ProfileText(const char* Field) const {
    return ProfileTable->Active() ? ProfileTable->FieldByName(Field)->AsString() : std::string();
}

int TImportProfileForm::ProfileInt(const char* Field) const {
    return ProfileTable->Active() ? ProfileTable->FieldByName(Field)->AsInteger() : 0;
}

TImportColumns TImportProfileForm::ProfileColumns(const char* StartField, const char* EndField) const {
    return {ProfileInt(StartField), ProfileInt(EndField)};
}

// ---- The sample viewer ----

TTextFileViewerForm::TTextFileViewerForm(TComponent* AOwner) : TForm(AOwner) {
    SetName("TextFileViewerForm");
    Position = poScreenCenter;
    SetClientSize(640, 400);
    Constraints().SetMinWidth(400);
    Constraints().SetMinHeight(200);
    Store = NewComponent<entry::TCtlRegistryStore>(this);
    Store->SetName("Store");
    FormState = NewComponent<entry::TCtlFormState>(this);
    FormState->SetName("FormState");
    FormState->SetStorage(Store);
    FormState->SetSection("TTextFileViewerForm");

    auto* bottom = catalog::NewPanel(*this, *this, "BottomPanel", 0, 360, 640, 40, bvNone);
    bottom->SetAlign(alBottom);
    TV = catalog::NewControl<grid::TCtlTextFileViewer>(*this, *this, "TV", 0, 0, 640, 360);
    TV->SetAlign(alClient);
    TFont font;
    font.Name = "Courier New";
    font.SetSize(10);
    font.Style = TFontStyles(fsBold);
    TV->FixedFont().AssignFont(font);
    TV->OnShowStatus = [this](TObject*, int LineNum, int ColNum) { TVShowStatus(LineNum, ColNum); };
    StatusLabel = catalog::NewLabel(*this, *bottom, "StatusLabel", 8, 12, 300, "Line 0  -  Column 0");
    CloseBtn = catalog::NewDialogButton(*this, *bottom, "CloseBtn", bkClose, 400, 5);
    HelpBtn = catalog::NewDialogButton(*this, *bottom, "HelpBtn", bkHelp, 520, 5, &HelpContext);
}

void TTextFileViewerForm::TVShowStatus(int LineNum, int ColNum) {
    StatusLabel->SetCaption("Line: " + IntToStr(LineNum + 1) + "  -  Column: " + IntToStr(ColNum + 1));
}

void TTextFileViewerForm::DoShow() {
    TV->SetIsOpen(true);
    TForm::DoShow();
}

void TTextFileViewerForm::DoClose(TCloseAction& Action) {
    TForm::DoClose(Action);
    TV->SetIsOpen(false);
}

}  // namespace tools
