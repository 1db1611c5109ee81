#include "cataloging/editors/EditFileCommentForm.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <map>

#include "catalog/CatalogStore.h"
#include "catalog/FormParts.h"
#include "catalog/Globals.h"
#include "catalog/ProgressForm.h"
#include "cataloging/dialogs/FileNotFoundForm.h"
#include "cataloging/editors/CategoryForm.h"
#include "cataloging/editors/EditorParts.h"
#include "controls/entry/CtlDateEdit.h"
#include "controls/entry/CtlState.h"
#include "controls/grid/CtlDbTable.h"
#include "dbsql/components/DbTable.h"
#include "framework/core/SysUtils.h"
#include "framework/data/DataSource.h"
#include "framework/data/Fields.h"
#include "framework/dbctrls/DBCtrls.h"
#include "framework/stdctrls/CheckBox.h"
#include "framework/stdctrls/Dialogs.h"
#include "framework/stdctrls/Edit.h"
#include "framework/stdctrls/GroupBox.h"
#include "framework/stdctrls/Label.h"
#include "framework/stdctrls/Memo.h"
#include "framework/stdctrls/RadioButton.h"
#include "platform/Files.h"
#include "sysutil/UtSpawn.h"

namespace cataloging {

using namespace framework;

namespace {

const char* const kFileCommentBufferFull =
    "An Internal Buffer Has Completely Filled.\r\n\r\n"
    "Changing A Category Or Comment Could Result In That File Entry \"Disappearing\" From This List.\r\n\r\n"
    "Don't Worry... No Data Loss Has Occurred.  It Might Be Better To Exit This Editor And Then Come Back.";

// The grid's columns in order, with their design widths (0: hidden) and headings.
struct TFileCommentColumn {
    const char* Field;
    int Width;
    const char* Heading;
};
constexpr TFileCommentColumn kFileCommentColumns[] = {{"FileName", 70, "FileName"},
                                                      {"VolumeLabel", 100, "Volume Label"},
                                                      {"FolderName", 70, "Folder Name"},
                                                      {"ArchiveID", 70, "Archive ID"},
                                                      {"FileSize", 80, "File Size"},
                                                      {"DateModified", 76, "Date Modified"},
                                                      {"TimeModified", 76, "Time Modified"},
                                                      {"Attribute", 0, "Attribute"},
                                                      {"AttributeStr", 50, "Attribute"},
                                                      {"CategoryCode", 76, "Category Code"},
                                                      {"Comment", 0, "Comment"},
                                                      {"Tag", 0, "Tag"},
                                                      {"CommentStr", 250, "Comment"}};
const char* const kFileCommentStoredFields[] = {"FileName",     "VolumeLabel",  "FolderName",   "ArchiveID",
                                                "FileSize",     "DateModified", "TimeModified", "Attribute",
                                                "CategoryCode", "Comment",      "Tag"};

grid::TCtlDbTableColumn* FileCommentColumn(grid::TCtlDbTable& Grid, const std::string& Field) {
    for (int32_t i = 0; i < Grid.Columns().Count(); ++i)
        if (Grid.Columns().Column(i)->DataField() == Field) return Grid.Columns().Column(i);
    return nullptr;
}

TDBEdit* NewReadOnlyBox(TForm& Form, const char* Name, TDataSource* Source, const char* Field, int Top) {
    auto* box = NewComponent<TDBEdit>(&Form);
    box->SetName(Name);
    box->SetParent(&Form);
    box->SetBounds(300, Top, 240, 23);
    box->SetDataSource(Source);
    box->SetDataField(Field);
    box->SetReadOnly(true);
    return box;
}

}  // namespace

TEditFileCommentForm::TEditFileCommentForm(TComponent* AOwner) : TForm(AOwner) {
    SetName("EditFileCommentForm");
    SetCaption("Edit File Comments");
    Position = poScreenCenter;
    SetClientSize(780, 560);
    Constraints().SetMinWidth(640);
    Constraints().SetMinHeight(430);

    Store = NewComponent<entry::TCtlRegistryStore>(this);
    Store->SetName("Store");
    FormState = NewComponent<entry::TCtlFormState>(this);
    FormState->SetName("FormState");
    FormState->SetStorage(Store);
    FormState->SetSection("TEditFileCommentForm");

    auto table = [this](const char* Name) {
        auto* t = NewComponent<dbsql::TDbTable>(this);
        t->SetName(Name);
        return t;
    };
    CatalogTable = table("CatalogTable");
    CategoryTable = table("CategoryTable");
    ImportCmtPtrs = table("ImportCmtPtrs");
    SummaryTable = table("SummaryTable");
    CatalogSource = NewComponent<TDataSource>(this);
    CatalogSource->SetDataSet(CatalogTable);
    CategorySource = NewComponent<TDataSource>(this);
    CategorySource->SetDataSet(CategoryTable);
    CatalogTable->SetOnFilterRecordValue(
        [this](TDataSet* Set, bool& Accept) { Accept = Filter.Accepts(*Set); });
    CatalogTable->BeforePost = [this](TDataSet*) { BeforePost(); };
    CatalogTable->AfterPost = [this](TDataSet*) { AfterPost(); };
    CatalogTable->AfterScroll = [this](TDataSet*) { AfterScroll(); };
    CatalogTable->OnCalcFields = [this](TDataSet*) {
        CatalogTable->FieldByName("AttributeStr")
            ->SetAsString(
                catalog::EntryAttributeLetters(CatalogTable->FieldByName("Attribute")->AsInteger()));
        CatalogTable->FieldByName("CommentStr")
            ->SetAsString(
                catalog::CommentFirstLine(CatalogTable->FieldByName("Comment")->AsString()).substr(0, 50));
    };
    Filter.ImportListed = [this](int32_t Tag) {
        return ImportCmtPtrs->Active() && ImportCmtPtrs->FindKey({Variant(Tag)});
    };

    Table = NewComponent<grid::TCtlDbTable>(this);
    Table->SetName("Table");
    Table->SetParent(this);
    Table->SetBounds(4, 4, 772, 240);
    Table->SetOptions(Table->Options() & ~grid::CtlDbOption(grid::dtoShowIndicators));
    Table->SetDataSource(CatalogSource);
    Table->Columns().Clear();
    for (const TFileCommentColumn& c : kFileCommentColumns) {
        auto* column = new grid::TCtlDbTableColumn(Table);
        column->SetDataField(c.Field);
        column->SetWidth(c.Width > 0 ? c.Width : 60);
        column->SetHidden(c.Width == 0);
        Table->Columns().Append(column);
    }
    MeasureLabel = catalog::NewLabel(*this, *this, "MeasureLabel", 0, 0, 10, "");
    MeasureLabel->SetVisible(false);
    Table->OnDblClick = [this](TObject*) {
        if (!CatalogTable->IsEmpty()) OpenFile();
    };

    catalog::NewLabel(*this, *this, "CategoryLabel", 4, 252, 90, "Category");
    CategoryCode = NewComponent<TDBEdit>(this);
    CategoryCode->SetName("CategoryCode");
    CategoryCode->SetParent(this);
    CategoryCode->SetBounds(96, 250, 70, 23);
    CategoryCode->SetCharCase(ecUpperCase);
    CategoryCode->SetDataSource(CatalogSource);
    CategoryCode->SetDataField("CategoryCode");
    CategoryBtn = NewEditorButton(*this, "CategoryBtn", "...", 168, 250, 24, [this] { CategoryBtnClick(); });
    CategoryBtn->Hint = "Select From A List";
    CategoryDescription = NewComponent<TDBText>(this);
    CategoryDescription->SetName("CategoryDescription");
    CategoryDescription->SetParent(this);
    CategoryDescription->SetBounds(196, 252, 100, 19);
    CategoryDescription->SetDataSource(CatalogSource);
    CategoryDescription->SetDataField("CategoryDescription");
    CommentMemo = NewComponent<TDBMemo>(this);
    CommentMemo->SetName("CommentMemo");
    CommentMemo->SetParent(this);
    CommentMemo->SetBounds(4, 278, 290, 110);
    CommentMemo->SetDataSource(CatalogSource);
    CommentMemo->SetDataField("Comment");

    FileNameBox = NewReadOnlyBox(*this, "FileNameBox", CatalogSource, "FileName", 250);
    FolderNameBox = NewReadOnlyBox(*this, "FolderNameBox", CatalogSource, "FolderName", 276);
    ArchiveIDBox = NewReadOnlyBox(*this, "ArchiveIDBox", CatalogSource, "ArchiveID", 302);
    FileSizeBox = NewReadOnlyBox(*this, "FileSizeBox", CatalogSource, "FileSize", 328);
    DateBox = NewReadOnlyBox(*this, "DateBox", CatalogSource, "DateModified", 354);
    TimeBox = NewReadOnlyBox(*this, "TimeBox", CatalogSource, "TimeModified", 380);
    AttributeLabel = catalog::NewLabel(*this, *this, "AttributeLabel", 550, 357, 60, "Attribute");
    AttributeBox = NewComponent<TEdit>(this);
    AttributeBox->SetName("AttributeBox");
    AttributeBox->SetParent(this);
    AttributeBox->SetBounds(610, 354, 60, 23);
    AttributeBox->SetReadOnly(true);

    Navigator = NewComponent<TDBNavigator>(this);
    Navigator->SetName("Navigator");
    Navigator->SetParent(this);
    Navigator->SetBounds(4, 420, 300, 25);
    Navigator->SetDataSource(CatalogSource);
    Navigator->SetVisibleButtons((1u << nbFirst) | (1u << nbPrior) | (1u << nbNext) | (1u << nbLast) |
                                 (1u << nbEdit) | (1u << nbPost) | (1u << nbCancel) | (1u << nbRefresh));
    GrabAboveBtn =
        NewEditorButton(*this, "GrabAboveBtn", "Grab &Above", 4, 450, 96, [this] { GrabAboveClick(); });
    GrabBelowBtn =
        NewEditorButton(*this, "GrabBelowBtn", "Grab &Below", 103, 450, 96, [this] { GrabBelowClick(); });
    GrabLastBtn =
        NewEditorButton(*this, "GrabLastBtn", "Grab &Last", 202, 450, 96, [this] { GrabLastClick(); });
    ZapBtn = NewEditorButton(*this, "ZapBtn", "&Zap Category+Comment", 4, 480, 160, [this] { ZapClick(); });
    UndoZapBtn = NewEditorButton(*this, "UndoZapBtn", "&Undo Zap", 168, 480, 90, [this] { UndoZapClick(); });
    UndoZapBtn->SetEnabled(false);
    CopyToBlankBtn = NewEditorButton(*this, "CopyToBlankBtn", "Copy To &Blank", 262, 480, 110,
                                     [this] { CopyToBlankClick(); });
    OpenBtn = NewEditorButton(*this, "OpenBtn", "&Open", 376, 480, 80, [this] {
        if (!CatalogTable->IsEmpty()) OpenFile();
    });
    HelpBtn = catalog::NewDialogButton(*this, *this, "HelpBtn", bkHelp, 314, 450, &HelpContext);
    CloseBtn = NewEditorButton(*this, "CloseBtn", "&Close", 420, 420, 90, [this] { CloseBtnClick(); });
    CloseBtn->Cancel = true;

    auto check = [this](const char* Name, const char* Caption, int Top, bool Checked) {
        auto* c = NewComponent<TCheckBox>(this);
        c->SetName(Name);
        c->SetParent(this);
        c->SetBounds(450, Top, 210, 19);
        c->SetCaption(Caption);
        c->SetChecked(Checked);
        c->OnClick = [this](TObject*) { ApplyColumnChoices(); };
        return c;
    };
    AdvanceCheck = check("AdvanceCheck", "Grab Above or Last Advances", 412, true);
    ShowFolderCheck = check("ShowFolderCheck", "Show Folder Name", 434, true);
    ShowArchiveCheck = check("ShowArchiveCheck", "Show Archive ID", 456, true);
    ShowDateTimeCheck = check("ShowDateTimeCheck", "Show Date/Time", 478, true);
    ComponentState = NewComponent<entry::TCtlComponentState>(this);
    ComponentState->SetName("ComponentState");
    ComponentState->SetStorage(Store);
    ComponentState->SetSection("TEditFileCommentForm");
    ComponentState->StoredProperties().SetText(
        "AdvanceCheck.Checked\r\nShowFolderCheck.Checked\r\nShowArchiveCheck.Checked\r\nShowDateTimeCheck."
        "Checked");

    SearchLabel = catalog::NewLabel(*this, *this, "SearchLabel", 450, 508, 100, "Filename Search:");
    SearchBox = NewComponent<TEdit>(this);
    SearchBox->SetName("SearchBox");
    SearchBox->SetParent(this);
    SearchBox->SetBounds(560, 505, 180, 23);
    SearchBox->SetCharCase(ecUpperCase);
    SearchBox->OnChange = [this](TObject*) { SearchChange(); };

    Spawner = NewComponent<sysutil::TUtSpawnApplication>(this);
    Spawner->SetName("Spawner");
    Spawner->SetNotifyWhenDone(false);
    Spawner->OnSpawnError = [](TObject*, uint16_t Error) {
        catalog::ErrorBox("Error #" + std::to_string(Error) +
                          " Occurred While Attempting To Open The Selected File");
    };
    Spawner->OnTimeOut = [](TObject*) {
        catalog::ErrorBox("An Timeout Error Occurred While Attempting To Open The Selected File");
    };
    Launch = [this](const std::string& Path) {
        Spawner->SetFileName(Path);
        Spawner->SetSpawnCommand(sysutil::scOpen);
        if (platform::HPROCESS p = Spawner->Execute()) platform::CloseProcessHandle(p);
    };
}

TEditFileCommentForm::~TEditFileCommentForm() = default;

void TEditFileCommentForm::OpenTables() {
    CategoryTable->Close();
    CategoryTable->SetDatabaseName(catalog::ProgramFolder);
    CategoryTable->SetTableName("Categories");
    CategoryTable->Open();
    if (Filter.Spec.FilterMode == cefImported) {
        ImportCmtPtrs->Close();
        ImportCmtPtrs->SetDatabaseName(catalog::ProgramFolder);
        ImportCmtPtrs->SetTableName("ImportCmtPtrs");
        ImportCmtPtrs->Open();
    }
    CatalogTable->Close();
    CatalogTable->SetDatabaseName(catalog::CatalogDataFolder);
    CatalogTable->SetTableName(catalog::CurrentCatalogName + "_CAT");
    if (CatalogTable->Fields.Count() == 0) {
        CatalogTable->FieldDefs.Update();
        AddCatalogEntryFields(*CatalogTable, kFileCommentStoredFields, CategoryTable);
        CatalogTable->AddField<TStringField>("AttributeStr", fkCalculated, 8);
        CatalogTable->AddField<TStringField>("CommentStr", fkCalculated, 50);
        for (const TFileCommentColumn& c : kFileCommentColumns)
            CatalogTable->FieldByName(c.Field)->SetDisplayLabel(c.Heading);
        CatalogTable->FieldByName("FileSize")->DisplayFormat = "###,###,###,###";
    }
    Filter.ResetKeywords();
    CatalogTable->SetFilteredValue(Filter.Spec.FilterMode != cefAll);
    CatalogTable->Open();
}

void TEditFileCommentForm::CalculateColumnWidths() {
    TEditorProgress progress("Calculating Column Sizes For Comment Editor");
    static const char* const measured[] = {"FileName", "FolderName", "ArchiveID"};
    int widest[3] = {0, 0, 0};
    try {
        const int total = std::max(1, CatalogTable->RecordCount());
        int count = 0;
        CatalogTable->DisableControls();
        CatalogTable->First();
        while (!CatalogTable->Eof()) {
            if (TEditorProgress::Cancelled()) break;
            for (int i = 0; i < 3; ++i)
                widest[i] =
                    std::max(widest[i], EditorTextWidth(*MeasureLabel, *Table,
                                                        CatalogTable->FieldByName(measured[i])->AsString()));
            TEditorProgress::Show(++count * 100 / total);
            CatalogTable->Next();
        }
        CatalogTable->First();
        CatalogTable->EnableControls();
    } catch (...) {
        CatalogTable->EnableControls();
        throw;
    }
    for (int i = 0; i < 3; ++i)
        if (widest[i] > 64) FileCommentColumn(*Table, measured[i])->SetWidth(widest[i] + 6);
}

void TEditFileCommentForm::DoShow() {
    FLastComment.clear();
    FLastCategory.clear();
    Filter.ClearKept();
    FBufferFullShown = false;
    FShown = true;
    ApplyColumnChoices();
    LayoutControls();
    TForm::DoShow();
}

void TEditFileCommentForm::DoClose(TCloseAction& Action) {
    TForm::DoClose(Action);
    if (Filter.Spec.FilterMode == cefImported) ImportCmtPtrs->Close();
}

void TEditFileCommentForm::Resize() {
    TForm::Resize();
    if (FShown) LayoutControls();
}

void TEditFileCommentForm::LayoutControls() {
    const int w = Width();
    for (TDBEdit* box : {FileNameBox, FolderNameBox, ArchiveIDBox}) box->SetWidth(w - 399);
    const int nav = static_cast<int>(std::lround((w - 347) * 0.7645));
    Navigator->SetWidth(nav);
    for (TBitBtn* b : {HelpBtn, CloseBtn}) b->SetWidth(w - nav - 347);
    HelpBtn->SetLeft(nav + 10);
    CloseBtn->SetLeft(nav + 10);
    const int third = (nav - 6) / 3;
    GrabAboveBtn->SetBounds(Navigator->Left(), GrabAboveBtn->Top(), third, GrabAboveBtn->Height());
    GrabBelowBtn->SetBounds(Navigator->Left() + third + 3, GrabBelowBtn->Top(), third,
                            GrabBelowBtn->Height());
    GrabLastBtn->SetBounds(Navigator->Left() + 2 * third + 6, GrabLastBtn->Top(), nav - 2 * third - 6,
                           GrabLastBtn->Height());
    // The check boxes and the search box keep to the right of Close.
    const int right = std::max(nav + 10 + (w - nav - 347) + 8, w - 330);
    for (TControl* c : std::initializer_list<TControl*>{AdvanceCheck, ShowFolderCheck, ShowArchiveCheck,
                                                        ShowDateTimeCheck, SearchLabel})
        c->SetLeft(right);
    SearchBox->SetLeft(right + 110);
    AttributeLabel->SetVisible(w > 705);
    AttributeBox->SetVisible(w > 705);
}

void TEditFileCommentForm::ApplyColumnChoices() {
    FileCommentColumn(*Table, "FolderName")->SetHidden(!ShowFolderCheck->Checked());
    FileCommentColumn(*Table, "ArchiveID")->SetHidden(!ShowArchiveCheck->Checked());
    FileCommentColumn(*Table, "DateModified")->SetHidden(!ShowDateTimeCheck->Checked());
    FileCommentColumn(*Table, "TimeModified")->SetHidden(!ShowDateTimeCheck->Checked());
}

void TEditFileCommentForm::BeforePost() {
    if (!Filter.KeepsPostedEntries()) return;
    if (Filter.Keep(CatalogTable->FieldByName("Tag")->AsInteger()) && !FBufferFullShown) {
        FBufferFullShown = true;
        MessageDlg(kFileCommentBufferFull, mtInformation, {mbOK}, 0);
    }
}

void TEditFileCommentForm::AfterPost() {
    FLastComment = CatalogTable->FieldByName("Comment")->AsString();
    FLastCategory = CatalogTable->FieldByName("CategoryCode")->AsString();
    if (!FInternalPost) CatalogTable->Next();
}

void TEditFileCommentForm::AfterScroll() {
    UndoZapBtn->SetEnabled(false);
    AttributeBox->SetText(
        CatalogTable->Active() && !CatalogTable->IsEmpty()
            ? catalog::EntryAttributeLetters(CatalogTable->FieldByName("Attribute")->AsInteger())
            : std::string());
    if (CategoryCode->CanFocus()) CategoryCode->SetFocus();
}

void TEditFileCommentForm::InternalPostNow() {
    FInternalPost = true;
    try {
        CatalogTable->Post();
    } catch (...) {
        FInternalPost = false;
        throw;
    }
    FInternalPost = false;
}

bool TEditFileCommentForm::WriteValues(const std::string& Comment, const std::string& Category) {
    const bool comment = !Trim(Comment).empty(), category = !Trim(Category).empty();
    if (!comment && !category) return false;
    CatalogTable->Edit();
    if (comment) CatalogTable->FieldByName("Comment")->SetAsString(Comment);
    if (category) CatalogTable->FieldByName("CategoryCode")->SetAsString(Category);
    InternalPostNow();
    return true;
}

void TEditFileCommentForm::Grab(bool Above) {
    if (CatalogTable->MoveBy(Above ? -1 : 1) == 0) return;
    FLastComment = CatalogTable->FieldByName("Comment")->AsString();
    FLastCategory = CatalogTable->FieldByName("CategoryCode")->AsString();
    CatalogTable->MoveBy(Above ? 1 : -1);
    if (WriteValues(FLastComment, FLastCategory) && Above && AdvanceCheck->Checked()) CatalogTable->Next();
}

void TEditFileCommentForm::GrabAboveClick() {
    Grab(true);
}
void TEditFileCommentForm::GrabBelowClick() {
    Grab(false);
}

void TEditFileCommentForm::GrabLastClick() {
    if (CatalogTable->IsEmpty()) return;
    if (WriteValues(FLastComment, FLastCategory) && AdvanceCheck->Checked()) CatalogTable->Next();
}

void TEditFileCommentForm::ZapClick() {
    if (CatalogTable->IsEmpty()) return;
    const std::string comment = CatalogTable->FieldByName("Comment")->AsString();
    const std::string category = CatalogTable->FieldByName("CategoryCode")->AsString();
    if (Trim(comment).empty() && Trim(category).empty()) return;
    FUndoComment = comment;
    FUndoCategory = category.substr(0, 6);
    CatalogTable->Edit();
    CatalogTable->FieldByName("Comment")->SetAsString("");
    CatalogTable->FieldByName("CategoryCode")->SetAsString("");
    InternalPostNow();
    UndoZapBtn->SetEnabled(true);
}

void TEditFileCommentForm::UndoZapClick() {
    if (!UndoZapBtn->Enabled() || CatalogTable->IsEmpty()) return;
    CatalogTable->Edit();
    CatalogTable->FieldByName("Comment")->SetAsString(FUndoComment);
    CatalogTable->FieldByName("CategoryCode")->SetAsString(FUndoCategory);
    InternalPostNow();
    UndoZapBtn->SetEnabled(false);
}

void TEditFileCommentForm::CopyToBlankClick() {
    if (CatalogTable->IsEmpty()) return;
    const std::string comment = CatalogTable->FieldByName("Comment")->AsString();
    const std::string category = CatalogTable->FieldByName("CategoryCode")->AsString();
    if (Trim(comment).empty() && Trim(category).empty()) return;
    FUndoComment = comment;
    FUndoCategory = category;
    const TBookmark here = CatalogTable->GetBookmark();
    TEditorHourglass hourglass;
    CatalogTable->DisableControls();
    try {
        CatalogTable->First();
        while (!CatalogTable->Eof()) {
            if (Trim(CatalogTable->FieldByName("Comment")->AsString()).empty() &&
                Trim(CatalogTable->FieldByName("CategoryCode")->AsString()).empty()) {
                CatalogTable->Edit();
                CatalogTable->FieldByName("Comment")->SetAsString(comment);
                CatalogTable->FieldByName("CategoryCode")->SetAsString(category);
                InternalPostNow();
            }
            Application->ProcessMessages();
            CatalogTable->Next();
        }
    } catch (const std::exception&) {
        if (CatalogTable->State() == dsEdit) CatalogTable->Cancel();
    }
    try {
        CatalogTable->GotoBookmark(here);
    } catch (const std::exception&) {
    }
    CatalogTable->EnableControls();
    Table->Invalidate();
}

void TEditFileCommentForm::CategoryBtnClick() {
    if (CatalogTable->IsEmpty()) {
        catalog::ErrorBox("No File Entry Selected", false);
        return;
    }
    auto* picker = TCustomForm::Create<TCategoryForm>(Application);
    try {
        if (picker->ShowModal() == mrOk) {
            const std::string code = picker->CategoryTable->FieldByName("Code")->AsString();
            CatalogTable->Edit();
            CatalogTable->FieldByName("CategoryCode")->SetAsString(code);
            if (CommentMemo->CanFocus()) CommentMemo->SetFocus();
        }
    } catch (...) {
        picker->Free();
        throw;
    }
    picker->Free();
}

void TEditFileCommentForm::SearchChange() {
    const std::string text = SearchBox->Text();
    if (text.size() > FLastSearch.size() && CatalogTable->Active())
        CatalogTable->FindNearest({Variant(text)});
    FLastSearch = text;
}

void TEditFileCommentForm::CloseBtnClick() {
    const TDataSetState state = CatalogTable->State();
    if (state == dsEdit || state == dsInsert) {
        if (MessageDlg(LoseChangesText, mtConfirmation, {mbYes, mbNo}, 0) != mrYes) return;
        CatalogTable->Cancel();
    }
    SetModalResult(mrCancel);
    Close();
}

void TEditFileCommentForm::OpenFile() {
    if (!Trim(CatalogTable->FieldByName("ArchiveID")->AsString()).empty()) {
        catalog::ErrorBox(
            "Korvane Does Not Presently Have The Ability To Open A File Inside Of An Archive File");
        return;
    }
    char drive = 'A';
    std::string volume = kUnknownVolumeLabel;
    const std::string label = CatalogTable->FieldByName("VolumeLabel")->AsString();
    try {
        SummaryTable->Close();
        SummaryTable->SetDatabaseName(catalog::CatalogDataFolder);
        SummaryTable->SetTableName(catalog::CurrentCatalogName + "_SUM");
        SummaryTable->Open();
        if (SummaryTable->Locate("CatalogVolumeLabel", Variant(label), 0)) {
            const std::string from = SummaryTable->FieldByName("CatalogedFrom")->AsString();
            if (!from.empty()) drive = from[0];
            volume = SummaryTable->FieldByName("CatalogVolumeLabel")->AsString();
        }
        SummaryTable->Close();
    } catch (const std::exception&) {
        SummaryTable->Close();
    }
    const std::string path = LocateCatalogedFile(drive, CatalogTable->FieldByName("FolderName")->AsString(),
                                                 CatalogTable->FieldByName("FileName")->AsString(), volume);
    if (!path.empty() && Launch) Launch(path);
}

}  // namespace cataloging
