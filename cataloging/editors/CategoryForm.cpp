#include "cataloging/editors/CategoryForm.h"

#include "catalog/FormParts.h"
#include "catalog/Globals.h"
#include "cataloging/editors/EditorParts.h"
#include "controls/grid/CtlDbTable.h"
#include "dbengine/util/EngineError.h"
#include "dbsql/components/DbTable.h"
#include "framework/core/SysUtils.h"
#include "framework/data/DataSource.h"
#include "framework/data/Fields.h"
#include "framework/dbctrls/DBCtrls.h"
#include "framework/stdctrls/Dialogs.h"
#include "framework/stdctrls/Edit.h"
#include "framework/stdctrls/GroupBox.h"
#include "framework/stdctrls/Label.h"
#include "framework/stdctrls/RadioButton.h"
#include "platform/Beep.h"

namespace cataloging {

using namespace framework;

namespace {

// The grid's columns.
constexpr int32_t kCategoryCodeColumn = 0;
constexpr int32_t kCategoryDescriptionColumn = 1;

dbsql::TDbTable* NewCategoriesTable(TComponent& Owner) {
    auto* t = NewComponent<dbsql::TDbTable>(&Owner);
    t->SetName("CategoryTable");
    t->SetTableName("Categories");
    return t;
}

}  // namespace

// ---- The editor and picker ----

TCategoryForm::TCategoryForm(TComponent* AOwner) : TForm(AOwner) {
    SetName("CategoryForm");
    SetCaption("File Categories");
    SetBorderStyle(bsDialog);
    Position = poScreenCenter;
    SetClientSize(470, 330);

    CategoryTable = NewCategoriesTable(*this);
    CategorySource = NewComponent<TDataSource>(this);
    CategorySource->SetDataSet(CategoryTable);
    CategoryTable->BeforePost = [this](TDataSet*) {
        TField* code = CategoryTable->FieldByName("Code");
        code->SetAsString(UpperCase(code->AsString()));
    };
    // A new record starts at the code; an edit starts there too unless the user is in the
    // description.
    CategoryTable->AfterInsert = [this](TDataSet*) { FocusCode(); };
    CategoryTable->AfterEdit = [this](TDataSet*) {
        if (!(Grid->Focused() && Grid->ActiveCol() == kCategoryDescriptionColumn)) FocusCode();
    };
    CategoryTable->OnPostError = [](TDataSet*, EDatabaseError& E, TDataAction& Action) {
        const auto* engine = dynamic_cast<const dbengine::EDbEngineError*>(&E);
        if (!engine || engine->ErrorCode != dbengine::DBE_KEYVIOL) return;
        MessageDlg(DuplicateCodeText, mtError, {mbOK}, 0);
        Action = daAbort;
    };

    Grid = NewComponent<grid::TCtlDbTable>(this);
    Grid->SetName("Grid");
    Grid->SetParent(this);
    Grid->SetBounds(8, 8, 330, 12 * 19 + 22);
    Grid->SetDataSource(CategorySource);
    Grid->Columns().Clear();
    for (auto [field, width] : {std::pair<const char*, int>{"Code", 70}, {"Description", 240}}) {
        auto* column = new grid::TCtlDbTableColumn(Grid);
        column->SetDataField(field);
        column->SetWidth(width);
        Grid->Columns().Append(column);
    }

    auto navigator = [this](const char* Name, int Left, TNavButtonSet Buttons) {
        auto* n = NewComponent<TDBNavigator>(this);
        n->SetName(Name);
        n->SetParent(this);
        n->SetBounds(Left, 262, 160, 25);
        n->SetDataSource(CategorySource);
        n->SetVisibleButtons(Buttons);
        return n;
    };
    MoveNavigator =
        navigator("MoveNavigator", 8,
                  (1u << nbFirst) | (1u << nbPrior) | (1u << nbNext) | (1u << nbLast) | (1u << nbRefresh));
    EditNavigator =
        navigator("EditNavigator", 176,
                  (1u << nbInsert) | (1u << nbDelete) | (1u << nbEdit) | (1u << nbPost) | (1u << nbCancel));

    SortGroup = NewComponent<TGroupBox>(this);
    SortGroup->SetName("SortGroup");
    SortGroup->SetParent(this);
    SortGroup->SetBounds(348, 8, 114, 70);
    SortGroup->SetCaption("Sort List By");
    auto radio = [this](const char* Name, const char* Caption, int Top) {
        auto* r = NewComponent<TRadioButton>(this);
        r->SetName(Name);
        r->SetParent(SortGroup);
        r->SetBounds(8, Top, 100, 19);
        r->SetCaption(Caption);
        r->OnClick = [this](TObject*) { SortChanged(); };
        return r;
    };
    SortByCode = radio("SortByCode", "Code", 20);
    SortByDescription = radio("SortByDescription", "Category Descr", 42);
    SortByCode->SetChecked(true);

    SelectBtn =
        NewEditorButton(*this, "SelectBtn", "&Select Category", 348, 90, 114, [this] { SelectClick(); });
    SelectBtn->SetDefault(true);
    CloseBtn = NewEditorButton(*this, "CloseBtn", "&Close", 348, 122, 114, [this] {
        SetModalResult(mrCancel);
        Close();
    });
    CloseBtn->Cancel = true;
    PrintBtn = NewEditorButton(*this, "PrintBtn", "&Print List", 348, 154, 114, [this] { PrintClick(); });
    HelpBtn = catalog::NewDialogButton(*this, *this, "HelpBtn", bkHelp, 348, 186, &HelpContext);
    HelpBtn->SetWidth(114);
}

void TCategoryForm::FocusCode() {
    if (Grid->CanFocus()) Grid->SetFocus();
    Grid->SetActiveCol(kCategoryCodeColumn);
}

void TCategoryForm::UseAsEditor() {
    SelectBtn->SetVisible(false);
}

void TCategoryForm::DoShow() {
    CategoryTable->Close();
    CategoryTable->SetDatabaseName(catalog::ProgramFolder);
    CategoryTable->Open();
    CategoryTable->FieldByName("Code")->SetDisplayLabel("Code");
    CategoryTable->FieldByName("Description")->SetDisplayLabel("Category Description");
    TForm::DoShow();
}

void TCategoryForm::DoClose(TCloseAction& Action) {
    TForm::DoClose(Action);
    if (CategoryTable->State() == dsEdit || CategoryTable->State() == dsInsert) CategoryTable->Cancel();
}

void TCategoryForm::SortChanged() {
    if (!CategoryTable->Active()) return;
    CategoryTable->SetIndexName(SortByDescription->Checked() ? "ByDescription" : "");
}

void TCategoryForm::SelectClick() {
    if (CategoryTable->Active() && !CategoryTable->IsEmpty()) {
        SetModalResult(mrOk);
        return;
    }
    platform::MessageBeep(16);
    MessageDlg("No Category Selected", mtError, {mbOK}, 0);
}

void TCategoryForm::PrintClick() {
    PrintCategoryList(SortByDescription->Checked() ? "ByDescription" : "");
}

// ---- The report's prompt ----

TGetCategoryForm::TGetCategoryForm(TComponent* AOwner) : TForm(AOwner) {
    SetName("GetCategoryForm");
    SetCaption("Select Category");
    SetBorderStyle(bsDialog);
    Position = poScreenCenter;
    SetClientSize(400, 170);
    CategoryTable = NewCategoriesTable(*this);
    catalog::NewLabel(*this, *this, "PromptLabel", 12, 10, 376,
                      "Select Category For Report (Leave Blank To Show Files With No Category)");
    catalog::NewLabel(*this, *this, "CodeLabel", 12, 50, 130, "Catgegory Code");
    catalog::NewLabel(*this, *this, "DescriptionLabel", 150, 50, 230, "Category Description");
    Code = NewComponent<TEdit>(this);
    Code->SetName("Code");
    Code->SetParent(this);
    Code->SetBounds(12, 70, 80, 23);
    Code->SetCharCase(ecUpperCase);
    Code->SetMaxLength(6);
    Code->OnExit = [this](TObject*) { CodeExit(); };
    ListBtn = NewEditorButton(*this, "ListBtn", "...", 96, 70, 24, [this] { ListClick(); });
    ListBtn->Hint = "Select From A List";
    Description = NewComponent<TEdit>(this);
    Description->SetName("Description");
    Description->SetParent(this);
    Description->SetBounds(150, 70, 238, 23);
    Description->SetReadOnly(true);
    Description->SetText(NoCategoryText);
    OKBtn = catalog::NewDialogButton(*this, *this, "OKBtn", bkOK, 12, 124);
    CancelBtn = catalog::NewDialogButton(*this, *this, "CancelBtn", bkCancel, 150, 124);
    HelpBtn = catalog::NewDialogButton(*this, *this, "HelpBtn", bkHelp, 288, 124, &HelpContext);
    SetActiveControl(Code);
}

void TGetCategoryForm::DoShow() {
    CategoryTable->Close();
    CategoryTable->SetDatabaseName(catalog::ProgramFolder);
    CategoryTable->Open();
    TForm::DoShow();
}

void TGetCategoryForm::DoClose(TCloseAction& Action) {
    TForm::DoClose(Action);
    CategoryTable->Close();
}

void TGetCategoryForm::CodeExit() {
    const std::string code = Trim(Code->Text());
    if (code.empty()) {
        Description->SetText(NoCategoryText);
        return;
    }
    if (CategoryTable->Active() && CategoryTable->FindKey({Variant(UpperCase(code))})) {
        Description->SetText(CategoryTable->FieldByName("Description")->AsString());
        if (OKBtn->CanFocus()) OKBtn->SetFocus();
        return;
    }
    MessageDlg("Category Not Found - Use The \"Finger\" Button To Select From A List", mtError, {mbOK}, 0);
    if (Code->CanFocus()) Code->SetFocus();
}

void TGetCategoryForm::ListClick() {
    auto* picker = TCustomForm::Create<TCategoryForm>(Application);
    try {
        if (picker->ShowModal() == mrOk) {
            Code->SetText(picker->CategoryTable->FieldByName("Code")->AsString());
            Description->SetText(picker->CategoryTable->FieldByName("Description")->AsString());
            if (OKBtn->CanFocus()) OKBtn->SetFocus();
        }
    } catch (...) {
        picker->Free();
        throw;
    }
    picker->Free();
}

}  // namespace cataloging
