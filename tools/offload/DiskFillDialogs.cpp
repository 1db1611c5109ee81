#include "tools/offload/DiskFillDialogs.h"

#include "catalog/FormParts.h"
#include "controls/entry/CtlState.h"
#include "framework/stdctrls/Buttons.h"
#include "framework/stdctrls/CheckBox.h"
#include "framework/stdctrls/ComCtrls.h"
#include "framework/stdctrls/ExtCtrls.h"
#include "framework/stdctrls/Label.h"
#include "framework/stdctrls/Memo.h"

namespace tools {

using namespace framework;

namespace {
TCheckBox* NewCheck(TForm* Form, const char* Name, const char* Caption, int Top, bool Checked) {
    auto* c = NewComponent<TCheckBox>(Form);
    c->SetName(Name);
    c->SetParent(Form);
    c->SetCaption(Caption);
    c->SetBounds(16, Top, 330, 17);
    c->SetChecked(Checked);
    return c;
}
}  // namespace

TDiskFillInvertDuplicateForm::TDiskFillInvertDuplicateForm(TComponent* AOwner) : TForm(AOwner) {
    SetName("DiskFillInvertDuplicateForm");
    SetBorderStyle(bsDialog);
    Position = poScreenCenter;
    SetCaption("Invert Tags Of Duplicate Files Found In Catalog");
    SetClientSize(380, 210);
    Explanation = catalog::NewLabel(*this, *this, "Explanation", 12, 10, 360,
                                    "This feature, in addition to the filename, can also factor\r\n"
                                    "in the file's date and/or size when determining whether\r\n"
                                    "or not a file is a duplicate.  Simply turn on the desired\r\n"
                                    "options below.");
    UseDate = NewCheck(this, "UseDate", "Include File Date In The Selection Criteria", 86, false);
    UseSize = NewCheck(this, "UseSize", "Include File Size In The Selection Criteria", 108, true);
    CheckArcs = NewCheck(this, "CheckArcs", "Check Cataloged Files Inside Of Archives", 130, true);
    ProceedBtn = catalog::NewDialogButton(*this, *this, "ProceedBtn", bkOK, 104, 168);
    ProceedBtn->SetCaption("&Proceed");
    CancelBtn = catalog::NewDialogButton(*this, *this, "CancelBtn", bkCancel, 200, 168);
    Store = NewComponent<entry::TCtlRegistryStore>(this);
    Store->SetName("Store");
    ComponentState = NewComponent<entry::TCtlComponentState>(this);
    ComponentState->SetName("ComponentState");
    ComponentState->SetStorage(Store);
    ComponentState->SetSection("TDiskFillInvertDuplicateForm");
    ComponentState->StoredProperties().SetText("UseDate.Checked\nUseSize.Checked\n");
}

TDiskFillShowCmtForm::TDiskFillShowCmtForm(TComponent* AOwner) : TForm(AOwner) {
    SetName("DiskFillShowCmtForm");
    Position = poScreenCenter;
    SetCaption("File Comment");
    SetClientSize(480, 360);
    Constraints().SetMinWidth(250);
    FileNamePanel = catalog::NewPanel(*this, *this, "FileNamePanel", 0, 0, 480, 24, bvLowered);
    FileNamePanel->SetAlign(alTop);
    ButtonPanel = catalog::NewPanel(*this, *this, "ButtonPanel", 0, 320, 480, 40, bvNone);
    ButtonPanel->SetAlign(alBottom);
    CloseBtn = catalog::NewDialogButton(*this, *ButtonPanel, "CloseBtn", bkClose, 200, 7);
    // A memo under its heading, on a panel of its own.
    auto Pane = [this](const char* Name, const char* MemoName, const char* Heading, TLabel*& Label,
                       TMemo*& Memo) {
        TPanel* P = catalog::NewPanel(*this, *this, Name, 0, 24, 480, 148, bvNone);
        P->Constraints().SetMinHeight(75);
        Label = catalog::NewLabel(*this, *P, "", 4, 2, 400, Heading);
        Memo = NewComponent<TMemo>(this);
        Memo->SetName(MemoName);
        Memo->SetParent(P);
        Memo->SetBounds(0, 20, 480, 128);
        Memo->SetAnchors(akLeft | akTop | akRight | akBottom);
        Memo->ScrollBars = ssBoth;
        Memo->SetReadOnly(true);
        return P;
    };
    ArchivePanel =
        Pane("ArchivePanel", "ArchiveComment", "Main Archive Comment", ArchiveHeading, ArchiveComment);
    ArchivePanel->SetAlign(alTop);
    Splitter1 = NewComponent<TSplitter>(this);
    Splitter1->SetName("Splitter1");
    Splitter1->SetParent(this);
    Splitter1->SetAlign(alTop);
    Splitter1->SetTop(ArchivePanel->Top() + ArchivePanel->Height());
    Splitter1->MinSize = 75;
    DizPanel = Pane("DizPanel", "DizComment", "\"FILE_ID.DIZ\" Comment", DizHeading, DizComment);
    DizPanel->SetTop(200);
    DizPanel->SetAlign(alClient);
    Store = NewComponent<entry::TCtlRegistryStore>(this);
    Store->SetName("Store");
    FormState = NewComponent<entry::TCtlFormState>(this);
    FormState->SetName("FormState");
    FormState->SetStorage(Store);
    FormState->SetSection("TDiskFillShowCmtForm");
}

}  // namespace tools
