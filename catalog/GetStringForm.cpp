#include "catalog/GetStringForm.h"

#include "catalog/FormParts.h"
#include "framework/core/SysUtils.h"
#include "framework/stdctrls/Edit.h"
#include "framework/stdctrls/ExtCtrls.h"
#include "framework/stdctrls/Label.h"

namespace catalog {

using namespace framework;

TGetStringForm::TGetStringForm(TComponent* AOwner) : TForm(AOwner) {
    SetName("GetStringForm");
    SetCaption("Information Needed");
    SetBorderStyle(bsDialog);
    Position = poScreenCenter;
    SetClientSize(343, 148);
    PromptPanel = NewPanel(*this, *this, "PromptPanel", 0, 0, 343, 97, bvLowered);
    PromptPanel->SetBevelWidth(2);
    Prompt = NewComponent<TLabel>(this);
    Prompt->SetName("Prompt");
    Prompt->SetParent(PromptPanel);
    Prompt->SetAutoSize(false);
    Prompt->SetAlignment(taCenter);
    Prompt->SetBounds(6, 16, 331, 16);
    Prompt->SetCaption("");
    ResultString = NewComponent<TEdit>(this);
    ResultString->SetName("ResultString");
    ResultString->SetParent(PromptPanel);
    ResultString->SetBounds(12, 52, 319, 21);
    ResultString->SetText("");
    OKBtn = NewDialogButton(*this, *this, "OKBtn", bkOK, 22, 108);
    CancelBtn = NewDialogButton(*this, *this, "CancelBtn", bkCancel, 127, 108);
    HelpBtn = NewDialogButton(*this, *this, "HelpBtn", bkHelp, 232, 108, &HelpContext);
    SetActiveControl(ResultString);
}

bool AskForString(const std::string& Caption, const std::string& PromptText, std::string& Answer) {
    auto* form = TCustomForm::Create<TGetStringForm>(Application);
    bool ok = false;
    try {
        form->SetCaption(Caption);
        form->Prompt->SetCaption(PromptText);
        form->ResultString->SetCharCase(ecUpperCase);
        ok = form->ShowModal() == mrOk;
        if (ok) {
            form->Hide();
            Answer = Trim(form->ResultString->Text());
        }
    } catch (...) {
        form->Free();
        throw;
    }
    form->Free();
    return ok;
}

}  // namespace catalog
