#include "cataloging/editors/EditorParts.h"

#include <algorithm>

#include "catalog/FormParts.h"
#include "catalog/ProgressForm.h"
#include "controls/entry/CtlState.h"
#include "controls/kit/CoolGauge.h"
#include "framework/data/DataSet.h"
#include "framework/data/FieldDefs.h"
#include "framework/data/Fields.h"
#include "framework/stdctrls/Dialogs.h"
#include "framework/stdctrls/Label.h"

namespace cataloging {

using namespace framework;

entry::TCtlFormState* NewRegistryFormState(TCustomForm& Form, const char* Section,
                                           entry::TCtlRegistryStore*& Store) {
    Store = NewComponent<entry::TCtlRegistryStore>(&Form);
    Store->SetName("Store");
    auto* state = NewComponent<entry::TCtlFormState>(&Form);
    state->SetName("FormState");
    state->SetStorage(Store);
    state->SetSection(Section);
    return state;
}

TBitBtn* NewEditorButton(TCustomForm& Form, const char* Name, const char* Caption, int Left, int Top,
                         int Width, std::function<void()> Click) {
    TBitBtn* button = catalog::NewDialogButton(Form, Form, Name, bkCustom, Left, Top);
    button->SetCaption(Caption);
    button->SetWidth(Width);
    button->ModalResult = mrNone;
    button->OnClick = [Click = std::move(Click)](TObject*) { Click(); };
    return button;
}

int EditorTextWidth(TLabel& Measure, TControl& FontOf, const std::string& Text) {
    Measure.Canvas().Font.Assign(FontOf.Font());
    return Measure.Canvas().TextWidth(Text);
}

int EditorTextHeight(TLabel& Measure, TControl& FontOf, const std::string& Text) {
    Measure.Canvas().Font.Assign(FontOf.Font());
    return Measure.Canvas().TextHeight(Text);
}

void AddCatalogEntryFieldList(TDataSet& Table, const char* const* Names, size_t Count, TDataSet* Categories) {
    for (size_t i = 0; i < Count; ++i) {
        const TFieldDef* def = Table.FieldDefs.Find(Names[i]);
        if (!def) DatabaseErrorFmt("Field '%s' not found", {Names[i]}, &Table);
        auto field = CreateFieldOfType(def->DataType);
        field->FieldName = Names[i];
        if (def->Size > 0) field->SetSize(def->Size);
        if (auto* bcd = dynamic_cast<TBCDField*>(field.get())) bcd->Precision = def->Precision;
        Table.AddField(std::move(field));
    }
    if (!Categories) return;
    auto* category = Table.AddField<TStringField>("CategoryDescription", fkLookup, 30);
    category->SetLookupDataSet(Categories);
    category->KeyFields = "CategoryCode";
    category->LookupKeyFields = "Code";
    category->LookupResultField = "Description";
}

TEditorProgress::TEditorProgress(const std::string& Caption, bool Cancellable) {
    if (catalog::ProgressForm) catalog::ProgressForm->ShowForm(Caption, Cancellable);
    Application->ProcessMessages();
}

TEditorProgress::~TEditorProgress() {
    if (catalog::ProgressForm && catalog::ProgressForm->ProgressShown) catalog::ProgressForm->HideForm();
}

void TEditorProgress::Show(int Percent) {
    if (catalog::ProgressForm) catalog::ProgressForm->ProgressBar->SetProgress(std::clamp(Percent, 0, 100));
    Application->ProcessMessages();
}

bool TEditorProgress::Cancelled() {
    return catalog::ProgressForm && catalog::ProgressForm->CancelPressed;
}

TEditorHourglass::TEditorHourglass() : FSaved(Screen->Cursor()) {
    Screen->SetCursor(crHourGlass);
}
TEditorHourglass::~TEditorHourglass() {
    Screen->SetCursor(FSaved);
}

}  // namespace cataloging
