#include "catalog/oldformat/ConvertForm.h"

#include <memory>

#include "catalog/FormParts.h"
#include "catalog/oldformat/ConvertOldCatalog.h"
#include "framework/stdctrls/Label.h"
#include "sysutil/shell/UtShlViews.h"

namespace catalog::oldformat {

using namespace framework;

TConvertForm::TConvertForm(TComponent* AOwner) : TForm(AOwner) {
    SetName("ConvertForm");
    SetCaption("Convert Korvane For DOS/Win16 Catalogs");
    SetBorderStyle(bsDialog);
    Position = poScreenCenter;
    SetClientSize(560, 400);
    NoteLabel = NewLabel(
        *this, *this, "NoteLabel", 12, 10, 536,
        "Catalogs of the DOS and 16-bit Windows versions can be converted.  Choose the folder of an\n"
        "old catalog, select its data file (.DTA) and click Convert.  See the help for further notes.");
    FolderList = NewComponent<sysutil::TUtShellTreeView>(this);
    FolderList->SetName("FolderList");
    FolderList->SetParent(this);
    FolderList->SetBounds(12, 48, 260, 290);
    FolderList->SetOptions(sysutil::TreeOption(sysutil::toExpandTopNode));
    FolderList->SetSpecialRootFolder(sysutil::sfDrives);
    FileList = NewComponent<sysutil::TUtShellListView>(this);
    FileList->SetName("FileList");
    FileList->SetParent(this);
    FileList->SetBounds(284, 48, 264, 290);
    FileList->SetFiltered(true);
    FileList->SetFileFilter("*.DTA");
    FileList->SetMultiSelect(true);
    FileList->SetViewStyle(vsIcon);
    FolderList->SetListView(FileList);
    BitBtn1 = NewDialogButton(*this, *this, "BitBtn1", bkCustom, 134, 354);
    BitBtn1->SetCaption("&Convert");
    BitBtn1->OnClick = [this](TObject*) { BitBtn1Click(); };
    CloseBtn = NewDialogButton(*this, *this, "CloseBtn", bkClose, 236, 354);
    CloseBtn->ModalResult = mrCancel;
    HelpBtn = NewDialogButton(*this, *this, "HelpBtn", bkHelp, 338, 354, &HelpContext);
}

std::string TConvertForm::SelectedPath() {
    sysutil::TUtShellItem* item = FileList->SelectedItems().Items(0);
    return item ? item->Path : "";
}

void TConvertForm::BitBtn1Click() {
    ConvertOldCatalog(SelectedPath());
}

void ShowConvertForm() {
    const std::unique_ptr<TConvertForm, void (*)(TConvertForm*)> form(
        TCustomForm::Create<TConvertForm>(Application), [](TConvertForm* Form) { Form->Free(); });
    form->ShowModal();
}

}  // namespace catalog::oldformat
