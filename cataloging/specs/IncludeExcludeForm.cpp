#include "cataloging/specs/IncludeExcludeForm.h"

#include <memory>

#include "catalog/Globals.h"
#include "catalog/ProgramTables.h"
#include "controls/entry/CtlArrayEditor.h"
#include "controls/entry/CtlController.h"
#include "dbsql/components/DbTable.h"
#include "framework/core/SysUtils.h"
#include "framework/stdctrls/Button.h"
#include "framework/stdctrls/Dialogs.h"
#include "framework/stdctrls/Label.h"

namespace cataloging {

using namespace framework;

namespace {

constexpr int kRows = 20;
constexpr int kSpecLength = 250;

TButton* NewButton(TForm* Form, const char* Name, const char* Caption, int X, int Y) {
    auto* b = NewComponent<TButton>(Form);
    b->SetName(Name);
    b->SetParent(Form);
    b->SetCaption(Caption);
    b->SetBounds(X, Y, 75, 25);
    return b;
}

// The options record of the program folder, open on its first record.
std::unique_ptr<dbsql::TDbTable> OpenOptions() {
    auto table = std::make_unique<dbsql::TDbTable>(nullptr);
    table->SetDatabaseName(catalog::ProgramFolder);
    table->SetTableName(catalog::KorvaneOptionsSchema().TableName);
    table->Open();
    table->First();
    return table;
}

}  // namespace

TIncludeExcludeForm::TIncludeExcludeForm(TComponent* AOwner) : TForm(AOwner) {
    SetBorderStyle(bsDialog);
    Position = poScreenCenter;
    SetCaption("File Include/Exclude Specs");
    SetClientSize(536, 420);
    FController = NewComponent<entry::TCtlController>(this);
    const auto list = [this](const char* Name, const char* Caption, int X, std::array<std::string, 20>& Texts,
                             TLabel*& Label) {
        Label = NewComponent<TLabel>(this);
        Label->SetParent(this);
        Label->SetCaption(Caption);
        Label->SetBounds(X, 8, 250, 16);
        auto* editor = NewComponent<entry::TCtlPictureArrayEditor>(this);
        editor->SetName(Name);
        editor->SetPictureMask(std::string(kSpecLength, 'X'));
        editor->SetMaxLength(kSpecLength);
        editor->OnGetItem = [this, &Texts](TObject*, int Index, entry::TCtlArrayItem& Item) {
            Publish();
            if (Index >= 0 && Index < kRows) Item = entry::TCtlArrayItem::Text(Texts[size_t(Index)], kSpecLength);
        };
        editor->SetParent(this);
        editor->SetBounds(X, 28, 250, kRows * editor->RowHeight() + 4);
        editor->SetNumItems(kRows);
        return editor;
    };
    IncludeEditor = list("IncludeEditor", "File Include Specs", 8, FInclude, IncludeLabel);
    ExcludeEditor = list("ExcludeEditor", "File Exclude Specs", 278, FExclude, ExcludeLabel);
    const int y = 28 + kRows * IncludeEditor->RowHeight() + 16;
    SaveButton = NewButton(this, "SaveButton", "&Save", 150, y);
    SaveButton->SetDefault(true);
    SaveButton->ModalResult = mrOk;
    SaveButton->OnClick = [this](TObject*) { SaveSpecs(); };
    CancelButton = NewButton(this, "CancelButton", "Cancel", 231, y);
    CancelButton->Cancel = true;
    CancelButton->ModalResult = mrCancel;
    CancelButton->OnClick = [this](TObject*) { RestoreSpecs(); };
    HelpButton = NewButton(this, "HelpButton", "&Help", 312, y);
    HelpButton->OnClick = [this](TObject*) { Application->HelpContext(HelpContext); };
    SetClientSize(536, y + 37);
    Refill();
    SetActiveControl(IncludeEditor);
}

TIncludeExcludeForm::~TIncludeExcludeForm() = default;

void TIncludeExcludeForm::Refill() {
    for (int i = 0; i < kRows; ++i) {
        FInclude[size_t(i)] = catalog::IncludeSpecs[size_t(i)].Text();
        FExclude[size_t(i)] = catalog::ExcludeSpecs[size_t(i)].Text();
    }
    IncludeEditor->Invalidate();
    ExcludeEditor->Invalidate();
}

void TIncludeExcludeForm::Publish() {
    for (int i = 0; i < kRows; ++i) {
        catalog::IncludeSpecs[size_t(i)] = Trim(FInclude[size_t(i)]);
        catalog::ExcludeSpecs[size_t(i)] = Trim(FExclude[size_t(i)]);
    }
}

void TIncludeExcludeForm::DoClose(TCloseAction& Action) {
    // The row being edited is stored, and every edit is in effect, unless Cancel read the stored
    // specs back (closing with the close box keeps the edits in memory, unstored).
    IncludeEditor->StoreItem();
    ExcludeEditor->StoreItem();
    if (!FRestored) Publish();
    TForm::DoClose(Action);
}

void TIncludeExcludeForm::SaveSpecs() {
    IncludeEditor->StoreItem();
    ExcludeEditor->StoreItem();
    Publish();
    try {
        auto table = OpenOptions();
        table->Edit();
        for (int n = 1; n <= kRows; ++n) {
            table->FieldByName(catalog::NumberedName("IncludeSpec", n))
                ->SetAsString(catalog::IncludeSpecs[size_t(n - 1)].Text());
            table->FieldByName(catalog::NumberedName("ExcludeSpec", n))
                ->SetAsString(catalog::ExcludeSpecs[size_t(n - 1)].Text());
        }
        table->Post();
        table->Close();
    } catch (const std::exception&) {
        MessageDlg("Error Saving Include/Exclude Specs", mtError, {mbOK}, 0);
    }
}

void TIncludeExcludeForm::RestoreSpecs() {
    FRestored = true;
    try {
        auto table = OpenOptions();
        for (int n = 1; n <= kRows; ++n) {
            catalog::IncludeSpecs[size_t(n - 1)] =
                Trim(table->FieldByName(catalog::NumberedName("IncludeSpec", n))->AsString());
            catalog::ExcludeSpecs[size_t(n - 1)] =
                Trim(table->FieldByName(catalog::NumberedName("ExcludeSpec", n))->AsString());
        }
        table->Close();
    } catch (const std::exception&) {
        MessageDlg("Error Restoring Original Include/Exclude Specs", mtError, {mbOK}, 0);
    }
    Refill();
}

void ShowIncludeExcludeForm() {
    auto* form = TCustomForm::Create<TIncludeExcludeForm>(Application);
    form->ShowModal();
    form->Release();
}

}  // namespace cataloging
