#include "cataloging/selective/SelectiveCatalogForm.h"

#include "catalog/FormParts.h"
#include "catalog/Globals.h"
#include "catalog/ProgressForm.h"
#include "cataloging/run/CatalogProgressForm.h"
#include "controls/entry/CtlController.h"
#include "controls/entry/CtlState.h"
#include "controls/grid/CtlDbTable.h"
#include "controls/grid/CtlTableCells.h"
#include "controls/grid/CtlTableEntryCells.h"
#include "controls/kit/CoolGauge.h"
#include "dbsql/components/DbTable.h"
#include "framework/core/Masks.h"
#include "framework/core/SysUtils.h"
#include "framework/data/DataSource.h"
#include "framework/data/Fields.h"
#include "framework/stdctrls/Dialogs.h"
#include "framework/stdctrls/Edit.h"
#include "framework/stdctrls/GroupBox.h"
#include "framework/stdctrls/RadioButton.h"
#include "platform/Beep.h"

namespace cataloging {

using namespace framework;

namespace {

void WarningBox(const std::string& Text) {
    platform::MessageBeep(platform::MB_ICONEXCLAMATION);
    MessageDlg(Text, mtError, {mbOK}, 0);
}

// The grid's columns: field, heading, width; then the cell kind and picture of each.
struct TColumnDef {
    const char* Field;
    const char* Heading;
    int Width;
    const char* Picture;  // null: no picture cell
};
constexpr TColumnDef kColumns[] = {
    {"Tagged", "Tagged", 46, nullptr},
    {"FileName", "File Name", 70, nullptr},
    {"FolderName", "Folder Name", 70, nullptr},
    {"ArchiveID", "Archive ID", 70, nullptr},
    {"FileSize", "File Size", 100, "###,###,###,###,###"},
    {"DateModified", "File Date", 76, "dd nnn yyyy"},
    {"TimeModified", "File Time", 76, "hh:mm:ss tt"},
    {"Attribute", "Attribute", 70, nullptr},
    {"Comment", "Comment", 70, nullptr},
};
constexpr int kHiddenFrom = 7;

// The buttons of the row at the bottom: name, caption, distance of the left edge from the panel's
// right edge, width.
struct TButtonDef {
    const char* Name;
    const char* Caption;
    int FromRight;
    int Width;
};
constexpr TButtonDef kButtons[] = {
    {"TagAllBtn", "&Tag All", 568, 56},         {"ClearTagsBtn", "&Clear Tags", 509, 68},
    {"TagSeveralBtn", "Tag &Several", 438, 76}, {"UntagSeveralBtn", "&Untag Several", 359, 80},
    {"InvertTagsBtn", "&Invert Tags", 276, 67}, {"ProceedBtn", "&Proceed", 206, 75},
    {"CancelBtn", "Cancel", 128, 67},           {"HelpBtn", "&Help", 58, 55},
};

std::string WithFinalBackslash(const std::string& Folder) {
    return Folder.empty() || Folder.back() == '\\' ? Folder : Folder + "\\";
}

}  // namespace

// ---- The window ----

TSelectiveCatalogForm::TSelectiveCatalogForm(TComponent* AOwner) : TForm(AOwner) {
    SetName("SelectiveCatalogForm");
    SetCaption("Selective Cataloging");
    Position = poScreenCenter;
    Constraints().SetMinWidth(600);
    Constraints().SetMinHeight(200);
    SetClientSize(700, 400);

    Store = NewComponent<entry::TCtlRegistryStore>(this);
    Store->SetName("Store");
    FormState = NewComponent<entry::TCtlFormState>(this);
    FormState->SetName("FormState");
    FormState->SetStorage(Store);
    FormState->SetSection("TSelectiveCatalogForm");
    Controller = NewComponent<entry::TCtlController>(this);
    Controller->SetName("Controller");

    NewDataTable = NewComponent<dbsql::TDbTable>(this);
    NewDataTable->SetName("NewDataTable");
    CatalogTable = NewComponent<dbsql::TDbTable>(this);
    CatalogTable->SetName("CatalogTable");
    DataSource1 = NewComponent<TDataSource>(this);
    DataSource1->SetName("DataSource1");
    DataSource1->SetDataSet(NewDataTable);

    ButtonPanel = catalog::NewPanel(*this, *this, "ButtonPanel", 0, 356, 700, 44, bvNone);
    ButtonPanel->SetAlign(alBottom);
    TBitBtn** buttons[] = {&TagAllBtn,     &ClearTagsBtn, &TagSeveralBtn, &UntagSeveralBtn,
                           &InvertTagsBtn, &ProceedBtn,   &CancelBtn,     &HelpBtn};
    for (size_t i = 0; i < std::size(kButtons); ++i) {
        const TButtonDef& def = kButtons[i];
        TBitBtn* button = catalog::NewDialogButton(*this, *ButtonPanel, def.Name, bkCustom, 0, 6,
                                                   i + 1 == std::size(kButtons) ? &HelpContext : nullptr);
        button->SetCaption(def.Caption);
        button->SetWidth(def.Width);
        *buttons[i] = button;
    }
    CancelBtn->ModalResult = mrCancel;
    CancelBtn->Cancel = true;
    TagAllBtn->OnClick = [this](TObject*) { TagAllBtnClick(); };
    ClearTagsBtn->OnClick = [this](TObject*) { ClearTagsBtnClick(); };
    TagSeveralBtn->OnClick = [this](TObject*) { TagSeveralBtnClick(); };
    UntagSeveralBtn->OnClick = [this](TObject*) { UntagSeveralBtnClick(); };
    InvertTagsBtn->OnClick = [this](TObject*) { InvertTagsBtnClick(); };
    ProceedBtn->OnClick = [this](TObject*) { ProceedBtnClick(); };
    ButtonPanel->OnResize = [this](TObject*) { ButtonPanelResize(); };

    SelectionTable = NewComponent<grid::TCtlDbTable>(this);
    SelectionTable->SetName("SelectionTable");
    SelectionTable->SetParent(this);
    SelectionTable->SetAlign(alClient);
    SelectionTable->SetController(Controller);
    auto* headings = NewComponent<grid::TCtlTCColHead>(this);
    headings->SetName("ColHead");
    headings->SetShowLetters(false);
    for (const TColumnDef& def : kColumns) headings->Headings().Add(def.Heading);
    SelectionTable->SetHeaderCell(headings);
    SelectionTable->SetHeaderOptions(grid::CtlHeaderOption(grid::hoShowHeader) |
                                     grid::CtlHeaderOption(grid::hoUseHeaderCell) |
                                     grid::CtlHeaderOption(grid::hoUseStrings));
    SelectionTable->SetOptions(
        grid::CtlDbOption(grid::dtoAlwaysEditing) | grid::CtlDbOption(grid::dtoHighlightActiveRow) |
        grid::CtlDbOption(grid::dtoAllowColumnSize) | grid::CtlDbOption(grid::dtoShowIndicators));
    SelectionTable->Columns().Clear();
    auto* box = NewComponent<grid::TCtlTCCheckBox>(this);
    box->SetName("TaggedCell");
    box->SetAccess(grid::otxNormal);
    auto* text = NewComponent<grid::TCtlTCString>(this);
    text->SetName("TextCell");
    text->SetAccess(grid::otxReadOnly);
    for (size_t i = 0; i < std::size(kColumns); ++i) {
        const TColumnDef& def = kColumns[i];
        auto* column = new grid::TCtlDbTableColumn(SelectionTable);
        column->SetWidth(def.Width);
        column->SetDataField(def.Field);
        SelectionTable->Columns().Append(column);
        if (i == 0) {
            column->SetDefaultCell(box);
        } else if (def.Picture) {
            grid::TCtlBaseTableCell* cell;
            if (i == 4) {
                auto* numeric = NewComponent<grid::TCtlTCNumericField>(this);
                numeric->SetPictureMask(def.Picture);
                numeric->SetAdjust(grid::otaCenterRight);
                cell = numeric;
            } else {
                auto* picture = NewComponent<grid::TCtlTCPictureField>(this);
                picture->SetDataType(i == 5 ? entry::pftDate : entry::pftTime);
                picture->SetPictureMask(def.Picture);
                cell = picture;
            }
            cell->SetName(std::string(def.Field) + "Cell");
            cell->SetAccess(grid::otxReadOnly);
            column->SetDefaultCell(cell);
        } else {
            column->SetDefaultCell(text);
        }
        if (int(i) >= kHiddenFrom) column->SetHidden(true);
    }
    SelectionTable->SetDataSource(DataSource1);
    ButtonPanelResize();
    SetActiveControl(SelectionTable);
}

TSelectiveCatalogForm::~TSelectiveCatalogForm() {
    // The panel is resized while the base classes take the window apart.
    ButtonPanel->OnResize = nullptr;
}

void TSelectiveCatalogForm::SetCatalogLabel(const std::string& Value) {
    FCatalogLabel = Value.substr(0, 11);
}

void TSelectiveCatalogForm::WidenColumns(int FileNamePixels, int FolderNamePixels, int ArchiveIDPixels) {
    const int pixels[] = {FileNamePixels, FolderNamePixels, ArchiveIDPixels};
    for (int i = 0; i < 3; ++i)
        if (pixels[i] > 64) SelectionTable->Column(i + 1)->SetWidth(pixels[i] + 6);
}

void TSelectiveCatalogForm::ButtonPanelResize() {
    TBitBtn* buttons[] = {TagAllBtn,     ClearTagsBtn, TagSeveralBtn, UntagSeveralBtn,
                          InvertTagsBtn, ProceedBtn,   CancelBtn,     HelpBtn};
    const int width = ButtonPanel->Width();
    for (size_t i = 0; i < std::size(kButtons); ++i) buttons[i]->SetLeft(width - kButtons[i].FromRight);
}

// ---- Tagging ----

void TSelectiveCatalogForm::TagPass(const std::string& Caption, const std::function<bool(TDataSet&)>& Rule) {
    const int total = NewDataTable->RecordCount();
    if (total == 0) return;
    // A tag changed in the grid is posted first, while the grid can still hand its value over.
    if (NewDataTable->State() == dsEdit) NewDataTable->Post();
    if (NewDataTable->State() == dsInsert) NewDataTable->Cancel();
    Screen->SetCursor(crHourGlass);
    TBookmark bookmark = NewDataTable->GetBookmark();
    NewDataTable->DisableControls();
    SetEnabled(false);
    catalog::TProgressForm* progress = catalog::ProgressForm;
    if (progress) {
        progress->ShowForm(Caption, false);
        progress->ProgressBar->SetMaxValue(total);
    }
    try {
        TField* tagged = NewDataTable->FieldByName("Tagged");
        int count = 0, shown = 0;
        for (NewDataTable->First(); !NewDataTable->Eof(); NewDataTable->Next()) {
            ++count;
            if (count * 100 / total > shown) {
                shown = count * 100 / total;
                if (progress) progress->ProgressBar->SetProgress(count);
            }
            Application->ProcessMessages();
            const bool value = Rule(*NewDataTable);
            if (value != tagged->AsBoolean()) {
                NewDataTable->Edit();
                tagged->SetAsBoolean(value);
                NewDataTable->Post();
            }
        }
    } catch (const std::exception&) {
        if (NewDataTable->State() != dsBrowse) NewDataTable->Cancel();
        Screen->SetCursor(crDefault);
        WarningBox("An Error Occurred While Tagging Records - Operation Not Completed");
    }
    try {
        NewDataTable->GotoBookmark(bookmark);
    } catch (const std::exception&) {
        // The remembered entry is gone; the grid stays where the pass ended.
    }
    NewDataTable->FreeBookmark(bookmark);
    NewDataTable->EnableControls();
    SetEnabled(true);
    if (progress) progress->HideForm();
    Screen->SetCursor(crDefault);
    if (SelectionTable->CanFocus()) SelectionTable->SetFocus();
}

void TSelectiveCatalogForm::TagAllBtnClick() {
    TagPass("Tagging All Files", [](TDataSet&) { return true; });
}

void TSelectiveCatalogForm::ClearTagsBtnClick() {
    TagPass("UnTagging All Files", [](TDataSet&) { return false; });
}

void TSelectiveCatalogForm::InvertTagsBtnClick() {
    TagPass("Inverting Tagged Status Of All Files",
            [](TDataSet& New) { return !New.FieldByName("Tagged")->AsBoolean(); });
}

void TSelectiveCatalogForm::TagBySpec(const std::string& Spec, bool Value, const std::string& Caption) {
    const bool withFolder = Spec.find('\\') != std::string::npos;
    std::unique_ptr<TMask> mask;
    TagPass(Caption, [&](TDataSet& New) {
        // Compiled inside the pass, so that a malformed spec ends it with the pass's error.
        if (!mask) mask = std::make_unique<TMask>(Spec);
        std::string name = New.FieldByName("FileName")->AsString();
        if (withFolder) name = WithFinalBackslash(New.FieldByName("FolderName")->AsString()) + name;
        return mask->Matches(name) ? Value : New.FieldByName("Tagged")->AsBoolean();
    });
}

bool TSelectiveCatalogForm::IsInCatalog(const std::string& FileName, const std::string& FolderName,
                                        const std::string& ArchiveID) {
    // A name longer than the catalog's field cannot be in it (cut to the field it could match
    // another entry).
    const std::pair<const char*, const std::string*> names[] = {
        {"FileName", &FileName}, {"FolderName", &FolderName}, {"ArchiveID", &ArchiveID}};
    for (const auto& [field, value] : names)
        if (int(value->size()) > CatalogTable->FieldByName(field)->Size()) return false;
    return CatalogTable->FindKey(
        {Variant(FileName), Variant(FCatalogLabel), Variant(FolderName), Variant(ArchiveID)});
}

void TSelectiveCatalogForm::TagByCatalogPresence(bool Value, const std::string& Caption) {
    if (NewDataTable->RecordCount() == 0) return;
    try {
        CatalogTable->Open();
    } catch (const std::exception&) {
        CatalogTable->Close();
        WarningBox("Unable To Open Current Catalog File For Comparison Purposes");
        return;
    }
    TagPass(Caption, [&](TDataSet& New) {
        return IsInCatalog(New.FieldByName("FileName")->AsString(), New.FieldByName("FolderName")->AsString(),
                           New.FieldByName("ArchiveID")->AsString())
                   ? Value
                   : New.FieldByName("Tagged")->AsBoolean();
    });
    CatalogTable->Close();
}

void TSelectiveCatalogForm::TagSeveral(bool Value) {
    auto* dialog = TCustomForm::Create<TSelectiveCatalogTagCriteriaForm>(Application);
    const std::string verb = Value ? "Tag" : "UnTag";
    dialog->SetCaption(verb + " Several");
    dialog->FileSpecBtn->SetCaption(verb + " Files Conforming To This Filespec");
    dialog->InCatalogBtn->SetCaption(verb + " Files Presently In Your Catalog");
    try {
        if (dialog->ShowModal() == mrOk) {
            dialog->Hide();
            const std::string verbing = Value ? "Tagging" : "UnTagging";
            if (dialog->InCatalogBtn->Checked()) {
                TagByCatalogPresence(Value, verbing + " Files Presently In Catalog");
            } else {
                const std::string spec = Trim(dialog->Filespec->Text());
                if (!spec.empty() && spec.find(':') == std::string::npos)
                    TagBySpec(spec, Value, verbing + " Files According To Filespec Given");
            }
        }
    } catch (...) {
        dialog->Free();
        throw;
    }
    dialog->Free();
}

void TSelectiveCatalogForm::TagSeveralBtnClick() {
    TagSeveral(true);
}

void TSelectiveCatalogForm::UntagSeveralBtnClick() {
    TagSeveral(false);
}

void TSelectiveCatalogForm::ProceedBtnClick() {
    // The grid's pending change of a tag is kept; a blank record it began (an edit of an empty
    // table starts one) is not an entry.
    if (NewDataTable->State() == dsEdit) NewDataTable->Post();
    if (NewDataTable->State() == dsInsert) NewDataTable->Cancel();
    SetModalResult(mrOk);
}

// ---- The criteria dialog ----

TSelectiveCatalogTagCriteriaForm::TSelectiveCatalogTagCriteriaForm(TComponent* AOwner) : TForm(AOwner) {
    SetName("SelectiveCatalogTagCriteriaForm");
    SetBorderStyle(bsDialog);
    Position = poScreenCenter;
    SetClientSize(330, 150);
    GroupBox1 = NewComponent<TGroupBox>(this);
    GroupBox1->SetName("GroupBox1");
    GroupBox1->SetParent(this);
    GroupBox1->SetCaption("");
    GroupBox1->SetBounds(8, 6, 314, 96);
    FileSpecBtn = NewComponent<TRadioButton>(this);
    FileSpecBtn->SetName("FileSpecBtn");
    FileSpecBtn->SetParent(GroupBox1);
    FileSpecBtn->SetBounds(10, 14, 294, 17);
    FileSpecBtn->SetChecked(true);
    FileSpecBtn->OnClick = [this](TObject*) { FileSpecBtnClick(); };
    Filespec = NewComponent<TEdit>(this);
    Filespec->SetName("Filespec");
    Filespec->SetParent(GroupBox1);
    Filespec->SetBounds(28, 36, 276, 21);
    Filespec->SetText("");
    InCatalogBtn = NewComponent<TRadioButton>(this);
    InCatalogBtn->SetName("InCatalogBtn");
    InCatalogBtn->SetParent(GroupBox1);
    InCatalogBtn->SetBounds(10, 68, 294, 17);
    InCatalogBtn->OnClick = [this](TObject*) { InCatalogBtnClick(); };
    ProceedBtn = catalog::NewDialogButton(*this, *this, "ProceedBtn", bkOK, 44, 110);
    ProceedBtn->SetCaption("&Proceed");
    CancelBtn = catalog::NewDialogButton(*this, *this, "CancelBtn", bkCancel, 139, 110);
    HelpBtn = catalog::NewDialogButton(*this, *this, "HelpBtn", bkHelp, 234, 110, &HelpContext);
    SetActiveControl(Filespec);
}

void TSelectiveCatalogTagCriteriaForm::InCatalogBtnClick() {
    Filespec->SetEnabled(false);
    Filespec->SetColor(clBtnFace);
}

void TSelectiveCatalogTagCriteriaForm::FileSpecBtnClick() {
    Filespec->SetEnabled(true);
    Filespec->SetColor(clWindow);
    if (Filespec->CanFocus()) Filespec->SetFocus();
}

// ---- The step of a run ----

bool SelectEntriesToCatalog(const TSelectiveRequest& Request) {
    auto* form = TCustomForm::Create<TSelectiveCatalogForm>(Application);
    bool proceed = false;
    try {
        form->NewDataTable->SetDatabaseName(Request.NewDatabase);
        form->NewDataTable->SetTableName("New");
        form->SetCatalogLabel(Request.CatalogLabel);
        form->CatalogTable->SetDatabaseName(catalog::CatalogDataFolder);
        form->CatalogTable->SetTableName(catalog::CurrentCatalogName + "_CAT");
        try {
            form->NewDataTable->Open();
        } catch (const std::exception&) {
            form->Free();
            platform::MessageBeep(platform::MB_ICONHAND);
            MessageDlg("Error Opening Temporary Database For Selective Cataloging Purposes", mtError, {mbOK},
                       0);
            catalog::StopRequested = true;
            return false;
        }
        form->WidenColumns(Request.FileNamePixels, Request.FolderNamePixels, Request.ArchiveIDPixels);
        proceed = form->ShowModal() == mrOk;
        if (form->NewDataTable->State() == dsEdit || form->NewDataTable->State() == dsInsert)
            form->NewDataTable->Cancel();
        form->NewDataTable->FlushBuffers();
        form->NewDataTable->Close();
    } catch (...) {
        form->Free();
        throw;
    }
    form->Free();
    if (!proceed) catalog::StopRequested = true;
    return proceed;
}

bool TCatalogProgressForm::SelectEntries() {
    // The window opens New through its own cursor.
    ShareNewDataTable();
    TSelectiveRequest request;
    request.NewDatabase = NewDataTable->DatabaseName();
    request.CatalogLabel = Spec.CatalogLabel;
    request.FileNamePixels = Spec.FileNamePixels;
    request.FolderNamePixels = Spec.FolderNamePixels;
    request.ArchiveIDPixels = Spec.ArchiveIDPixels;
    const bool proceed = SelectEntriesToCatalog(request);
    // The run reads the choice through its own cursor.
    if (proceed && NewDataTable->Active()) NewDataTable->Refresh();
    return proceed;
}

}  // namespace cataloging
