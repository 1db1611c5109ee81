#include <exception>

#include "catalog/FormParts.h"
#include "cataloging/editors/EditFileCommentForm.h"
#include "cataloging/editors/EditorParts.h"
#include "controls/entry/CtlController.h"
#include "controls/entry/CtlDateEdit.h"
#include "controls/entry/CtlNumericField.h"
#include "dbsql/components/DbTable.h"
#include "framework/core/SysUtils.h"
#include "framework/stdctrls/Dialogs.h"
#include "framework/stdctrls/Edit.h"
#include "framework/stdctrls/GroupBox.h"
#include "framework/stdctrls/Label.h"
#include "framework/stdctrls/Memo.h"
#include "framework/stdctrls/RadioButton.h"

namespace cataloging {

using namespace framework;

namespace {

TRadioButton* NewCriteriaRadio(TForm& Form, TWinControl& Parent, const char* Name, const char* Caption,
                               int Left, int Top, int Width) {
    auto* r = NewComponent<TRadioButton>(&Form);
    r->SetName(Name);
    r->SetParent(&Parent);
    r->SetBounds(Left, Top, Width, 19);
    r->SetCaption(Caption);
    return r;
}

}  // namespace

// ---- Size and date criteria ----

TGetFileSizeDateForm::TGetFileSizeDateForm(TComponent* AOwner) : TForm(AOwner) {
    SetName("GetFileSizeDateForm");
    SetCaption("File Size Criteria For File Comment Editor");
    SetBorderStyle(bsDialog);
    Position = poScreenCenter;
    SetClientSize(360, 280);
    Prompt = catalog::NewLabel(*this, *this, "Prompt", 12, 12, 200, "Enter File Size Here");
    Controller = NewComponent<entry::TCtlController>(this);
    SizeField = NewComponent<entry::TCtlNumericField>(this);
    SizeField->SetName("SizeField");
    SizeField->SetParent(this);
    SizeField->SetBounds(12, 32, 140, 23);
    DateField = NewComponent<entry::TCtlDateEdit>(this);
    DateField->SetName("DateField");
    DateField->SetParent(this);
    DateField->SetBounds(12, 32, 140, 23);
    DateField->SetVisible(false);
    CompareGroup = NewComponent<TGroupBox>(this);
    CompareGroup->SetName("CompareGroup");
    CompareGroup->SetParent(this);
    CompareGroup->SetBounds(12, 64, 336, 166);
    CompareGroup->SetCaption("Include File In List If File Size");
    int top = 20;
    auto radio = [&](const char* Name, const char* Caption) {
        TRadioButton* r = NewCriteriaRadio(*this, *CompareGroup, Name, Caption, 10, top, 310);
        top += 23;
        return r;
    };
    EqualsBtn = radio("EqualsBtn", "Equals The Above");
    NotEqualBtn = radio("NotEqualBtn", "Does Not Equal The Above");
    GreaterBtn = radio("GreaterBtn", "Is Greater Than The Above");
    GreaterEqualBtn = radio("GreaterEqualBtn", "Is Greater Than Or Equal To The Above");
    LessBtn = radio("LessBtn", "Is Less Than The Above");
    LessEqualBtn = radio("LessEqualBtn", "Is Less Than Or Equal To The Above");
    GreaterEqualBtn->SetChecked(true);
    OKBtn = catalog::NewDialogButton(*this, *this, "OKBtn", bkOK, 12, 240);
    CancelBtn = catalog::NewDialogButton(*this, *this, "CancelBtn", bkCancel, 130, 240);
    HelpBtn = catalog::NewDialogButton(*this, *this, "HelpBtn", bkHelp, 248, 240, &HelpContext);
}

void TGetFileSizeDateForm::UseDate() {
    Prompt->SetCaption("Enter File Date Here");
    CompareGroup->SetCaption("Include File In List If File Date");
    SizeField->SetVisible(false);
    DateField->SetVisible(true);
    DateField->SetDate(Date());
}

uint8_t TGetFileSizeDateForm::CompareOp() const {
    if (GreaterEqualBtn->Checked()) return ccGreaterEqual;
    if (GreaterBtn->Checked()) return ccGreater;
    if (LessEqualBtn->Checked()) return ccLessEqual;
    if (LessBtn->Checked()) return ccLess;
    if (NotEqualBtn->Checked()) return ccNotEqual;
    return ccEqual;
}

int64_t TGetFileSizeDateForm::SizeValue() const {
    return SizeField->GetAsInteger();
}

// ---- Comment criteria ----

TGetCommentForm::TGetCommentForm(TComponent* AOwner) : TForm(AOwner) {
    SetName("GetCommentForm");
    SetCaption("Comment Specification For File Comment Editor");
    SetBorderStyle(bsDialog);
    Position = poScreenCenter;
    SetClientSize(420, 300);
    catalog::NewLabel(*this, *this, "CaseNote", 12, 8, 396,
                      "Note That Upper/Lower Case Does Not Matter Here");
    CommentText = NewComponent<TMemo>(this);
    CommentText->SetName("CommentText");
    CommentText->SetParent(this);
    CommentText->SetBounds(12, 30, 396, 110);
    AnywhereBtn = NewCriteriaRadio(*this, *this, "AnywhereBtn", "Find The Above Text Anywhere In The Comment",
                                   12, 150, 396);
    AllKeywordsBtn = NewCriteriaRadio(*this, *this, "AllKeywordsBtn",
                                      "Perform Keyword Search (Must Match All Keywords)", 12, 174, 396);
    SomeKeywordsBtn =
        NewCriteriaRadio(*this, *this, "SomeKeywordsBtn", "Perform Keyword Search ", 12, 198, 170);
    catalog::NewLabel(*this, *this, "AtLeastLabel", 184, 200, 130, "(Must Match At Least");
    WordCount = NewComponent<TEdit>(this);
    WordCount->SetName("WordCount");
    WordCount->SetParent(this);
    WordCount->SetBounds(316, 196, 36, 23);
    WordCount->SetMaxLength(3);
    WordsLabel = catalog::NewLabel(*this, *this, "WordsLabel", 356, 200, 50, "Word)");
    WordCount->OnChange = [this](TObject*) { WordCountChange(); };
    WordCount->SetText("1");
    AnywhereBtn->SetChecked(true);
    OKBtn = catalog::NewDialogButton(*this, *this, "OKBtn", bkOK, 12, 256);
    CancelBtn = catalog::NewDialogButton(*this, *this, "CancelBtn", bkCancel, 150, 256);
    HelpBtn = catalog::NewDialogButton(*this, *this, "HelpBtn", bkHelp, 288, 256, &HelpContext);
    SetActiveControl(CommentText);
}

void TGetCommentForm::WordCountChange() {
    WordsLabel->SetCaption(StrToIntDef(Trim(WordCount->Text()), 0) == 1 ? "Word)" : "Words)");
}

std::string TGetCommentForm::JoinedText() const {
    std::string joined;
    for (int i = 0; i < CommentText->Lines().Count(); ++i) {
        const std::string line = UpperCase(Trim(CommentText->Lines()[i]));
        if (line.empty()) continue;
        if (!joined.empty()) joined += ' ';
        joined += line;
    }
    return joined;
}

bool TGetCommentForm::FillSpec(TCommentEditorSpec& Spec) const {
    const std::string text = JoinedText();
    if (text.empty()) {
        MessageDlg("No Comment Text Was Specified", mtError, {mbOK}, 0);
        return false;
    }
    Spec.Criteria = {text};
    if (AnywhereBtn->Checked()) {
        Spec.FilterMode = cefCommentText;
        return true;
    }
    Spec.FilterMode = cefKeywords;
    Spec.CompareOp = AllKeywordsBtn->Checked() ? 0 : 1;
    Spec.KeywordCount = StrToIntDef(Trim(WordCount->Text()), 1);
    return true;
}

// ---- Showing the editor ----

void ShowFileCommentEditor(const TCommentEditorSpec& Spec) {
    auto* form = TCustomForm::Create<TEditFileCommentForm>(Application);
    try {
        form->Spec() = Spec;
        form->OpenTables();
        form->CalculateColumnWidths();
    } catch (const std::exception&) {
        catalog::ErrorBox("An Error Occurred While Trying To Set Up To Edit The File Comments");
        form->Free();
        return;
    }
    try {
        form->ShowModal();
    } catch (...) {
        form->Free();
        throw;
    }
    form->Free();
}

}  // namespace cataloging
