#include "tools/cleanup/DupCleanDialogs.h"

#include <string>

#include "catalog/FormParts.h"
#include "cataloging/dialogs/SelectDirectoryForm.h"
#include "controls/entry/CtlAttachedButton.h"
#include "framework/core/SysUtils.h"
#include "framework/stdctrls/Buttons.h"
#include "framework/stdctrls/Edit.h"
#include "framework/stdctrls/FileCtrl.h"
#include "framework/stdctrls/Label.h"
#include "framework/ui/Graphics.h"
#include "platform/Files.h"
#include "tools/cleanup/DupCleanForm.h"

namespace tools {

using namespace framework;

namespace {

TLabel* QuestionLabel(TForm& Form, const char* Name, int Top, const std::string& Caption) {
    return catalog::NewLabel(Form, Form, Name, 12, Top, 476, Caption);
}

TBitBtn* QuestionButton(TForm& Form, const char* Name, const char* Caption, TModalResult Result, int Left,
                        int Top, int Width) {
    auto* B = catalog::NewControl<TBitBtn>(Form, Form, Name, Left, Top, Width, 25);
    B->SetCaption(Caption);
    B->ModalResult = Result;
    return B;
}

TLabel* PathLabel(TForm& Form, const char* Name, int Top) {
    TLabel* L = QuestionLabel(Form, Name, Top, "");
    L->SetAutoSize(false);
    L->SetHeight(18);
    L->Font().Style = fsBold;
    L->Font().Color = clMaroon;
    L->Font().SetSize(10);
    return L;
}

}  // namespace

void FitLabelText(TLabel& Label) {
    Label.Font().SetSize(10);
    if (Label.Canvas().TextWidth(Label.Caption()) > Label.Width()) Label.Font().SetSize(8);
}

// ---- The source file is missing -------------------------------------------------------------------

TSourceFileNotFoundForm::TSourceFileNotFoundForm(TComponent* AOwner) : TForm(AOwner) {
    SetName("SourceFileNotFoundForm");
    SetBorderStyle(bsDialog);
    Position = poScreenCenter;
    SetCaption("Source File Not Found");
    SetClientSize(500, 250);
    WhatFile = PathLabel(*this, "WhatFile", 10);
    QuestionLabel(
        *this, "", 36,
        "Could Not Be Found.  It May Be Possible That It Resides On A Different Drive.  If You Feel That ");
    QuestionLabel(*this, "", 70, "This Is The Case, Correct The Drive Here");
    NewDrive = catalog::NewControl<TDriveComboBox>(*this, *this, "NewDrive", 12, 90, 200, 23);
    QuestionLabel(*this, "", 120, "And Try Again.  You");
    QuestionLabel(
        *this, "", 138,
        "May Also Skip This File, Skip The Rest Of The Disk or Abort The Entire Operation Altogether.");
    CancelBtn = QuestionButton(*this, "CancelBtn", "Cancel Entire Operation", mrCancel, 12, 210, 150);
    CancelBtn->Cancel = true;
    RetrieveSkipDiskBtn =
        QuestionButton(*this, "RetrieveSkipDiskBtn", "&Skip This Disk", mrAbort, 170, 210, 100);
    RetrieveSkipFileBtn =
        QuestionButton(*this, "RetrieveSkipFileBtn", "Skip This &File", mrIgnore, 278, 210, 100);
    RetryBtn = QuestionButton(*this, "RetryBtn", "&Retry With The Above Drive", mrRetry, 230, 88, 200);
    RetryBtn->SetDefault(true);
}

void TSourceFileNotFoundForm::DoShow() {
    FitLabelText(*WhatFile);
    TForm::DoShow();
}

// ---- The destination folder is missing ------------------------------------------------------------

TTargetFolderDoesntExistForm::TTargetFolderDoesntExistForm(TComponent* AOwner) : TForm(AOwner) {
    SetName("TargetFolderDoesntExistForm");
    SetBorderStyle(bsDialog);
    Position = poScreenCenter;
    SetCaption("Target Folder Does Not Exist");
    SetClientSize(500, 280);
    WhatFolder = PathLabel(*this, "WhatFolder", 10);
    QuestionLabel(*this, "", 34, "Does Not Exist.  You Have Several Options Here:");
    BitBtn3 = QuestionButton(*this, "BitBtn3", "&Try To Create This Folder.", mrNone, 12, 58, 180);
    BitBtn3->OnClick = [this](TObject*) { BitBtn3Click(); };
    catalog::NewLabel(*this, *this, "", 200, 62, 290,
                      "If Successful, Try To Continue With The Copy Operation.");
    QuestionLabel(*this, "", 92, "Or");
    QuestionLabel(*this, "", 112, "Change The Destination Folder To That Specified Below  And");
    BitBtn2 = QuestionButton(*this, "BitBtn2", "&Retry With The New Folder", mrNone, 320, 132, 168);
    BitBtn2->OnClick = [this](TObject*) { BitBtn2Click(); };
    NewFolder = catalog::NewControl<TEdit>(*this, *this, "NewFolder", 12, 134, 276, 23);
    NewFolder->SetText("C:\\");
    CtlAttachedButton1 =
        catalog::NewControl<entry::TCtlAttachedButton>(*this, *this, "CtlAttachedButton1", 289, 134, 23, 23);
    CtlAttachedButton1->Hint = "Navigate To Destination";
    CtlAttachedButton1->SetShowHint(true);
    CtlAttachedButton1->SetAttachedControl(NewFolder);
    CtlAttachedButton1->OnClick = [this](TObject*) { CtlAttachedButton1Click(); };
    SkipFileBtn = QuestionButton(*this, "SkipFileBtn", "Skip This &File", mrIgnore, 12, 240, 110);
    SkipDiskBtn = QuestionButton(*this, "SkipDiskBtn", "&Skip This Disk", mrAbort, 130, 240, 110);
    CancelBtn = QuestionButton(*this, "CancelBtn", "Cancel Entire Operation", mrCancel, 248, 240, 160);
    CancelBtn->Cancel = true;
}

void TTargetFolderDoesntExistForm::DoShow() {
    FitLabelText(*WhatFolder);
    TForm::DoShow();
}

void TTargetFolderDoesntExistForm::BitBtn3Click() {
    if (!platform::CreateDirectory(WhatFolder->Caption())) {
        catalog::ErrorBox("An Error Was Encountered While Attempting To Create The Destination Folder");
        return;
    }
    NewFolder->SetText(WhatFolder->Caption());
    SetModalResult(mrRetry);
}

void TTargetFolderDoesntExistForm::BitBtn2Click() {
    const std::string Error = RetrieveDestinationError(NewFolder->Text());
    if (!Error.empty()) {
        catalog::ErrorBox(Error);
        return;
    }
    SetModalResult(mrRetry);
}

void TTargetFolderDoesntExistForm::CtlAttachedButton1Click() {
    std::string Folder = NewFolder->Text();
    if (cataloging::ChooseFolderOnAnyDrive(Folder)) NewFolder->SetText(Folder);
}

}  // namespace tools
