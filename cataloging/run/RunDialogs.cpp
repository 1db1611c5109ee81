#include "cataloging/run/RunDialogs.h"

#include "controls/kit/ElpsPanl.h"
#include "framework/core/SysUtils.h"
#include "framework/stdctrls/Button.h"
#include "framework/stdctrls/Dialogs.h"
#include "framework/stdctrls/Edit.h"
#include "framework/stdctrls/Label.h"

namespace cataloging {

using namespace framework;

namespace {

TButton* NewButton(TForm* Form, const char* Name, const char* Caption, int X, int Y, int W,
                   TModalResult Result) {
    auto* b = NewComponent<TButton>(Form);
    b->SetName(Name);
    b->SetParent(Form);
    b->SetCaption(Caption);
    b->SetBounds(X, Y, W, 25);
    b->ModalResult = Result;
    return b;
}

TLabel* NewLabel(TForm* Form, const std::string& Caption, int X, int Y, int W = 560) {
    auto* l = NewComponent<TLabel>(Form);
    l->SetParent(Form);
    l->SetCaption(Caption);
    l->SetBounds(X, Y, W, 14);
    return l;
}

}  // namespace

TConfirmExpandArchiveForm::TConfirmExpandArchiveForm(TComponent* AOwner) : TForm(AOwner) {
    SetBorderStyle(bsDialog);
    Position = poScreenCenter;
    SetCaption("Expand Archive?");
    SetClientSize(470, 112);
    NewLabel(this, "Expand This Archive?", 8, 8, 300);
    ArchiveNamePanel = NewComponent<kit::TEllipsisPanel>(this);
    ArchiveNamePanel->SetName("ArchiveNamePanel");
    ArchiveNamePanel->SetParent(this);
    ArchiveNamePanel->SetIsPath(true);
    ArchiveNamePanel->SetBounds(8, 28, 454, 24);
    YesBtn = NewButton(this, "YesBtn", "&Yes", 8, 72, 70, mrYes);
    YesBtn->SetDefault(true);
    YesToAllBtn = NewButton(this, "YesToAllBtn", "Yes To &All", 84, 72, 80, mrYesToAll);
    NoBtn = NewButton(this, "NoBtn", "&No", 170, 72, 70, mrNo);
    NoBtn->Cancel = true;
    NoToAllBtn = NewButton(this, "NoToAllBtn", "N&o To All", 246, 72, 80, mrNoToAll);
    StopBtn = NewButton(this, "StopBtn", "&Stop Cataloging", 332, 72, 100, mrAbort);
    HelpBtn = NewButton(this, "HelpBtn", "&Help", 438, 72, 26, mrNone);
    HelpBtn->SetCaption("?");
    HelpBtn->OnClick = [this](TObject*) { Application->HelpContext(HelpContext); };
    SetActiveControl(YesBtn);
}

TCatalogProgressBadEntryForm::TCatalogProgressBadEntryForm(TComponent* AOwner) : TForm(AOwner) {
    SetBorderStyle(bsDialog);
    Position = poScreenCenter;
    SetCaption("File Record Exceeds Korvane's Capacity");
    SetClientSize(600, 380);
    auto* intro =
        NewLabel(this,
                 "Korvane has encountered file information on this disk that exceeds its present "
                 "capacities in terms of the maximum length of the file name, folder name or archive "
                 "id.  Presently, these limitations are:",
                 8, 8);
    intro->SetWordWrap(true);
    intro->SetHeight(30);
    NewLabel(this, "FileName=200 characters; FolderName=200 characters; ArchiveID=90 characters", 24, 42);
    NewLabel(
        this,
        "The offending directory entry is shown below - the items with edit boxes may be modified if you "
        "wish:",
        8, 62);
    const auto row = [this](const char* Caption, int Y, TLabel*& Value, TEdit*& Edit, TLabel*& Length) {
        NewLabel(this, Caption, 8, Y + 3, 76);
        Value = NewLabel(this, "", 88, Y + 3, 500);
        Edit = NewComponent<TEdit>(this);
        Edit->SetParent(this);
        Edit->SetBounds(88, Y, 450, 22);
        Edit->SetVisible(false);
        Edit->SetEnabled(false);
        Edit->OnChange = [this](TObject*) { UpdateUseModifiedButton(); };
        Length = NewLabel(this, "", 544, Y + 3, 50);
        Length->SetVisible(false);
    };
    row("FileName:", 84, FileNameLabel, EditFileName, FileNameLength);
    row("FolderName:", 110, FolderNameLabel, EditFolderName, FolderNameLength);
    row("ArchiveID:", 136, ArchiveIDLabel, EditArchiveID, ArchiveIDLength);
    EditFileName->SetName("EditFileName");
    EditFolderName->SetName("EditFolderName");
    EditArchiveID->SetName("EditArchiveID");
    NewLabel(this, "You Have Several Choices Available Here:", 8, 170);
    NewLabel(this,
             "1) Modify the items so they fit within the limitations and catalog using the modified "
             "information.  Note that",
             16, 190);
    NewLabel(
        this,
        "this will not modify anything on the source disk - only the information contained in the catalog.",
        30, 206);
    NewLabel(this, "2) Skip this item and continue on with the next.", 16, 226);
    NewLabel(this,
             "3) Skip this item and continue on with the next, automatically skipping any subsequent entries "
             "that",
             16, 246);
    NewLabel(this, "exceed the limitations", 30, 262);
    NewLabel(this, "4) Abort this operation entirely.", 16, 282);
    UseModBtn = NewButton(this, "UseModBtn", "&Catalog Using Modified Information", 8, 340, 200, mrOk);
    UseModBtn->SetEnabled(false);
    SkipBtn = NewButton(this, "SkipBtn", "&Skip This One", 214, 340, 95, mrNo);
    SkipAllBtn = NewButton(this, "SkipAllBtn", "Skip All &Bad Ones", 315, 340, 105, mrNoToAll);
    AbortBtn = NewButton(this, "AbortBtn", "&Abort", 426, 340, 80, mrAbort);
    HelpBtn = NewButton(this, "HelpBtn", "&Help", 512, 340, 80, mrNone);
    HelpBtn->OnClick = [this](TObject*) { Application->HelpContext(HelpContext); };
}

void TCatalogProgressBadEntryForm::SetNames(const std::string& FileName, const std::string& FolderName,
                                            const std::string& ArchiveID) {
    const auto show = [](const std::string& Text, int Limit, TLabel* Value, TEdit* Edit, TLabel* Length) {
        const bool fits = int(Text.size()) <= Limit;
        Value->SetCaption(fits ? Text : std::string());
        Value->SetVisible(fits);
        Edit->SetText(fits ? std::string() : Text);
        Edit->SetEnabled(!fits);
        Edit->SetVisible(!fits);
        Length->SetVisible(!fits);
    };
    show(FileName, kFileNameLimit, FileNameLabel, EditFileName, FileNameLength);
    show(FolderName, kFolderNameLimit, FolderNameLabel, EditFolderName, FolderNameLength);
    show(ArchiveID, kArchiveIDLimit, ArchiveIDLabel, EditArchiveID, ArchiveIDLength);
    UpdateUseModifiedButton();
}

void TCatalogProgressBadEntryForm::UpdateUseModifiedButton() {
    bool fit = true;
    const auto check = [&fit](TEdit* Edit, TLabel* Length, int Limit) {
        const int n = int(Edit->Text().size());
        Length->SetCaption("(" + IntToStr(n) + ")");
        if (Edit->Enabled() && n > Limit) fit = false;
    };
    check(EditFileName, FileNameLength, kFileNameLimit);
    check(EditFolderName, FolderNameLength, kFolderNameLimit);
    check(EditArchiveID, ArchiveIDLength, kArchiveIDLimit);
    UseModBtn->SetEnabled(fit);
}

}  // namespace cataloging
