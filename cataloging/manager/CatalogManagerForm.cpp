#include "cataloging/manager/CatalogManagerForm.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <vector>

#include "catalog/CatalogSizeForms.h"
#include "catalog/CatalogStore.h"
#include "catalog/FormParts.h"
#include "catalog/Globals.h"
#include "catalog/ProgramTables.h"
#include "catalog/ProgressForm.h"
#include "catalog/SelectCatalogForm.h"
#include "controls/entry/CtlState.h"
#include "controls/grid/CtlDbTable.h"
#include "controls/kit/CoolGauge.h"
#include "dbsql/components/DbQuery.h"
#include "dbsql/components/DbTable.h"
#include "framework/core/DateTime.h"
#include "framework/core/Masks.h"
#include "framework/core/SysUtils.h"
#include "framework/data/DataSource.h"
#include "framework/data/Fields.h"
#include "framework/data/Params.h"
#include "framework/dbctrls/DBCtrls.h"
#include "framework/stdctrls/Dialogs.h"
#include "framework/stdctrls/Edit.h"
#include "framework/stdctrls/ExtCtrls.h"
#include "framework/stdctrls/Label.h"

namespace cataloging {

using namespace framework;

namespace {

constexpr uint32_t kErrorBeep = 16;
const char* const kDisksCataloged = " Disks Cataloged";
// The two paragraphs of the resize warning when copying, two sentences each.
// clang-format off
const char* const kResizeNote[] = {
    "Korvane has found that some of the catalog entries to be copied from the source catalog exceed the length settings in the destination catalog.",
    "The details are shown below.",
    "If you would like, Korvane can re-adjust your catalog settings so that they will accommodate the new information being copied from the source catalog.",
    "Indicate your choice by selecting the appropriate option below."};
// clang-format on
const char* const kRestoreBackup = "\r\n\r\nYou Should Restore A Backup Copy Of This Catalog.";

void ErrorBox(const std::string& Message, bool Beep = true) {
    if (Beep) MessageBeep(kErrorBeep);
    MessageDlg(Message, mtError, {mbOK}, 0);
}

bool Confirmed(const std::string& Question) {
    return MessageDlg(Question, mtConfirmation, {mbYes, mbNo}, 0) == mrYes;
}

// The hourglass for as long as it lives.
struct THourglass {
    TCursor Saved;
    THourglass() : Saved(Screen->Cursor()) { Screen->SetCursor(crHourGlass); }
    ~THourglass() { Screen->SetCursor(Saved); }
};

// The shared progress window for as long as it lives (nothing without one).
struct TProgressShown {
    TProgressShown(const std::string& Caption, bool Cancellable) {
        if (catalog::ProgressForm) catalog::ProgressForm->ShowForm(Caption, Cancellable);
    }
    ~TProgressShown() { Hide(); }
    void Hide() {
        if (catalog::ProgressForm && catalog::ProgressForm->ProgressShown) catalog::ProgressForm->HideForm();
    }
    static void Show(int Percent) {
        if (catalog::ProgressForm)
            catalog::ProgressForm->ProgressBar->SetProgress(std::clamp(Percent, 0, 100));
    }
    static bool Cancelled() { return catalog::ProgressForm && catalog::ProgressForm->CancelPressed; }
};

// A modal form of the application, freed when it goes out of scope.
template <class F>
struct TOwnedForm {
    F* Form = TCustomForm::Create<F>(Application);
    ~TOwnedForm() { Form->Free(); }
    F* operator->() const { return Form; }
};

void PointAt(dbsql::TDbTable& Table, const std::string& Folder, const std::string& Name) {
    Table.Close();
    Table.SetDatabaseName(Folder);
    Table.SetTableName(Name);
}

// The fields copied from a source entry and from a source volume record (Tag is the destination's).
const char* const kEntryFields[] = {"FileName",     "VolumeLabel",  "FolderName", "ArchiveID",    "FileSize",
                                    "DateModified", "TimeModified", "Attribute",  "CategoryCode", "Comment"};
const char* const kVolumeFields[] = {
    "CatalogVolumeLabel", "ActualVolumeLabel", "SerialNumber", "DateFirstCataloged", "DateLastCataloged",
    "DiskSize",           "DiskClusterSize",   "DiskUsed",     "DiskFree",           "FilesOnDisk",
    "FilesInArchives",    "CatalogedFrom",     "Comment"};

void CopyFields(const dbsql::TDbTable& From, dbsql::TDbTable& To, const char* const* Names, size_t Count) {
    for (size_t i = 0; i < Count; ++i)
        To.FieldByName(Names[i])->SetValue(From.FieldByName(Names[i])->Value());
}

// A grid column bound to a field, hidden unless it has a width.
void AddColumn(grid::TCtlDbTable& Grid, const char* Field, int Width) {
    auto* column = new grid::TCtlDbTableColumn(&Grid);
    column->SetDataField(Field);
    column->SetWidth(Width > 0 ? Width : 60);
    column->SetHidden(Width <= 0);
    Grid.Columns().Append(column);
}

struct THeading {
    const char* Field;
    const char* Label;
};
constexpr THeading kHeadings[] = {{"CatalogVolumeLabel", "Catalog Volume Label"},
                                  {"ActualVolumeLabel", "Actual Volume Label"},
                                  {"SerialNumber", "Serial Number"},
                                  {"DateFirstCataloged", "First Cataloged"},
                                  {"DateLastCataloged", "Last Cataloged"},
                                  {"DiskSize", "Disk Size"},
                                  {"DiskClusterSize", "Cluster Size"},
                                  {"DiskUsed", "Space Used"},
                                  {"DiskFree", "Free Space"},
                                  {"FilesOnDisk", "FilesOnDisk"},
                                  {"FilesInArchives", "FilesInArcs"},
                                  {"CatalogedFrom", "CatalogedFrom"},
                                  {"Comment", "Comment"},
                                  {"Tag", "Tag"}};

// Gives a summary table persistent fields in the summary layout, with their headings.
void AddSummaryFields(dbsql::TDbTable& Table) {
    for (const catalog::TFieldSchema& f : catalog::SummaryTableSchema().Table.Fields) {
        auto field = CreateFieldOfType(f.Kind);
        field->FieldName = f.Name;
        if (f.Size > 0) field->SetSize(f.Size);
        field->Required = f.Required;
        for (const THeading& h : kHeadings)
            if (f.Name == h.Field) field->SetDisplayLabel(h.Label);
        if (f.Name == "DiskSize" || f.Name == "DiskFree") field->DisplayFormat = "###,###,###,###,##0";
        Table.AddField(std::move(field));
    }
}

TPanel* NewCaptionPanel(TComponent& Owner, TWinControl& Parent, const char* Name, int Left, int Top,
                        int Width, const std::string& Caption) {
    TPanel* panel = catalog::NewPanel(Owner, Parent, Name, Left, Top, Width, 22, bvLowered);
    panel->SetCaption(Caption);
    return panel;
}

TBitBtn* NewButton(TCustomForm& Form, const char* Name, const char* Caption, int Left, int Top, int Width,
                   std::function<void(TObject*)> Click) {
    TBitBtn* button = catalog::NewDialogButton(Form, Form, Name, bkCustom, Left, Top);
    button->SetCaption(Caption);
    button->SetWidth(Width);
    button->ModalResult = mrNone;
    button->OnClick = std::move(Click);
    return button;
}

}  // namespace

// ---- Dialogs ----

TGetTagUntagSpecForm::TGetTagUntagSpecForm(TComponent* AOwner) : TForm(AOwner) {
    SetName("GetTagUntagSpecForm");
    SetBorderStyle(bsDialog);
    Position = poScreenCenter;
    SetClientSize(330, 112);
    Prompt = catalog::NewLabel(*this, *this, "Prompt", 16, 12, 300, "");
    Spec = NewComponent<TEdit>(this);
    Spec->SetName("Spec");
    Spec->SetParent(this);
    Spec->SetBounds(16, 36, 298, 23);
    Spec->SetText("*");
    OKBtn = catalog::NewDialogButton(*this, *this, "OKBtn", bkOK, 16, 72);
    CancelBtn = catalog::NewDialogButton(*this, *this, "CancelBtn", bkCancel, 118, 72);
    HelpBtn = catalog::NewDialogButton(*this, *this, "HelpBtn", bkHelp, 220, 72, &HelpContext);
    SetActiveControl(Spec);
}

TCMChangeVolumeForm::TCMChangeVolumeForm(TComponent* AOwner) : TForm(AOwner) {
    SetName("CMChangeVolumeForm");
    SetCaption("Change Volume Label Of Cataloged Disk");
    SetBorderStyle(bsDialog);
    Position = poScreenCenter;
    SetClientSize(340, 120);
    catalog::NewLabel(*this, *this, "FromLabel", 16, 16, 170, "Change Volume Label From");
    catalog::NewLabel(*this, *this, "ToLabel", 16, 48, 170, "To");
    auto edit = [this](const char* Name, int Top) {
        auto* e = NewComponent<TEdit>(this);
        e->SetName(Name);
        e->SetParent(this);
        e->SetBounds(196, Top, 128, 23);
        e->SetMaxLength(11);
        return e;
    };
    Oldlabel = edit("Oldlabel", 12);
    Oldlabel->SetReadOnly(true);
    NewLabel = edit("NewLabel", 44);
    NewLabel->SetCharCase(ecUpperCase);
    OKBtn = catalog::NewDialogButton(*this, *this, "OKBtn", bkOK, 16, 82);
    CancelBtn = catalog::NewDialogButton(*this, *this, "CancelBtn", bkCancel, 122, 82);
    HelpBtn = catalog::NewDialogButton(*this, *this, "HelpBtn", bkHelp, 228, 82, &HelpContext);
    SetActiveControl(NewLabel);
}

// ---- The window ----

TCatalogManagerForm::TCatalogManagerForm(TComponent* AOwner) : TForm(AOwner) {
    SetName("CatalogManagerForm");
    SetCaption("Catalog Manager");
    Position = poScreenCenter;
    SetClientSize(640, 427);
    Constraints().SetMinWidth(Width());
    Constraints().SetMaxWidth(Width());
    Constraints().SetMinHeight(Height());

    // Position and state are kept between runs.
    Store = NewComponent<entry::TCtlRegistryStore>(this);
    Store->SetName("Store");
    FormState = NewComponent<entry::TCtlFormState>(this);
    FormState->SetName("FormState");
    FormState->SetStorage(Store);
    FormState->SetSection("TCatalogManagerForm");

    auto table = [this](const char* Name) {
        auto* t = NewComponent<dbsql::TDbTable>(this);
        t->SetName(Name);
        t->SetDatabaseName(catalog::CatalogDataFolder);
        return t;
    };
    SSummaryTable = table("SSummaryTable");
    DSummaryTable = table("DSummaryTable");
    SSummaryTable2 = table("SSummaryTable2");
    SCatalogTable2 = table("SCatalogTable2");
    DSummaryTable2 = table("DSummaryTable2");
    DCatalogTable2 = table("DCatalogTable2");
    SCatalogTable = table("SCatalogTable");
    CCTable = table("CCTable");
    LogTable = table("LogTable");
    STagTable = table("STagTable");
    // Creation: the configurations live in the program folder, everything else with the catalogs.
    PointAt(*CCTable, catalog::ProgramFolder, catalog::CatalogConfigsSchema().TableName);
    Query = NewComponent<dbsql::TDbQuery>(this);
    Query->SetName("Query");
    Query->SetDatabaseName(catalog::CatalogDataFolder);
    Query->OnQueryProgress = [this](TObject*, uint16_t PercentDone, bool&) {
        QueryQueryProgress(PercentDone);
    };

    AddSummaryFields(*SSummaryTable);
    Tagged = SSummaryTable->AddField<TStringField>("Tagged", fkCalculated, 2);
    Tagged->SetDisplayLabel("Sel");
    Tagged->Alignment = taCenter;
    SSummaryTable->OnCalcFields = [this](TDataSet*) { SSummaryTableCalcFields(); };
    AddSummaryFields(*DSummaryTable);
    SSummarySource = NewComponent<TDataSource>(this);
    SSummarySource->SetDataSet(SSummaryTable);
    DSummarySource = NewComponent<TDataSource>(this);
    DSummarySource->SetDataSet(DSummaryTable);
    SSummarySource2 = NewComponent<TDataSource>(this);
    SSummarySource2->SetDataSet(SSummaryTable2);
    SCatalogTable2->SetIndexFieldNames("VolumeLabel");
    SCatalogTable2->SetMasterSource(SSummarySource2);
    SCatalogTable2->SetMasterFields("CatalogVolumeLabel");
    SCatalogTable->SetIndexName("ByVolumeLabel");

    auto side = [this](const char* Name, const char* Caption, int Left) {
        TPanel* p = catalog::NewPanel(*this, *this, Name, Left, 4, 278, 370, bvRaised);
        p->SetCaption("");
        catalog::NewLabel(*this, *p, (std::string(Name) + "Label").c_str(), 8, 6, 240, Caption);
        return p;
    };
    TPanel* left = side("SourcePanel", "Source Catalog", 2);
    TPanel* right = side("DestinationPanel", "Destination Catalog", 360);
    SourceCatalogPanel = NewCaptionPanel(*this, *left, "SourceCatalogPanel", 4, 26, 270, NoneSelected);
    SRecordCount = NewCaptionPanel(*this, *left, "SRecordCount", 4, 52, 270, "");
    DestinationCatalogPanel =
        NewCaptionPanel(*this, *right, "DestinationCatalogPanel", 4, 26, 270, NoneSelected);
    DRecordCount = NewCaptionPanel(*this, *right, "DRecordCount", 4, 52, 270, "");

    auto makeGrid = [this](const char* Name, TWinControl& Parent, TDataSource* Source) {
        auto* g = NewComponent<grid::TCtlDbTable>(this);
        g->SetName(Name);
        g->SetParent(&Parent);
        g->SetBounds(4, 80, 270, 250);
        // No indicator column: the visible columns fill the grid as they are.
        g->SetOptions(g->Options() & ~grid::CtlDbOption(grid::dtoShowIndicators));
        g->SetDataSource(Source);
        g->Columns().Clear();
        return g;
    };
    SGrid = makeGrid("SGrid", *left, SSummarySource);
    AddColumn(*SGrid, "Tagged", 25);
    DGrid = makeGrid("DGrid", *right, DSummarySource);
    for (const THeading& h : kHeadings) {
        const std::string field = h.Field;
        AddColumn(*SGrid, h.Field, field == "CatalogVolumeLabel" ? 114 : field == "DiskSize" ? 110 : 0);
        AddColumn(*DGrid, h.Field, field == "CatalogVolumeLabel" ? 122 : field == "DiskSize" ? 125 : 0);
    }
    SGrid->SetLockedColumns(1);
    // Both grids only show: nothing typed into them reaches the tables.
    SSummarySource->AutoEdit = false;
    DSummarySource->AutoEdit = false;
    SGrid->OnLockedCellClick = [this](TObject*, int32_t RowNum, int32_t) { SGridLockedCellClick(RowNum); };
    auto navigator = [this](const char* Name, TWinControl& Parent, TDataSource* Source) {
        auto* n = NewComponent<TDBNavigator>(this);
        n->SetName(Name);
        n->SetParent(&Parent);
        n->SetBounds(4, 336, 150, 25);
        n->SetVisibleButtons(NavButtons({nbFirst, nbPrior, nbNext, nbLast, nbRefresh}));
        n->SetDataSource(Source);
        return n;
    };
    SNavigator = navigator("SNavigator", *left, SSummarySource);
    DNavigator = navigator("DNavigator", *right, DSummarySource);

    int top = 20;
    auto middle = [&](const char* Name, const char* Caption, std::function<void(TObject*)> Click) {
        TBitBtn* b = NewButton(*this, Name, Caption, 283, top, 74, std::move(Click));
        top += 44;
        return b;
    };
    ResequenceBtn = middle("ResequenceBtn", "&Resequence", [this](TObject*) { ResequenceBtnClick(); });
    ChgVolumeBtn = middle("ChgVolumeBtn", "Chg &Volume", [this](TObject*) { ChgVolumeBtnClick(); });
    DeleteBtn = middle("DeleteBtn", "&Delete", [this](TObject*) { DeleteBtnClick(); });
    LoadSourceBtn = middle("BitBtn1", "&Load Source", [this](TObject*) { BitBtn1Click(); });
    LoadDestBtn = middle("BitBtn2", "L&oad Dest.", [this](TObject*) { BitBtn2Click(); });
    CopyBtn = middle("CopyBtn", "Co&py", [this](TObject* Sender) { CopyBtnClick(Sender); });
    MoveBtn = middle("MoveBtn", "&Move", [this](TObject* Sender) { CopyBtnClick(Sender); });
    for (TBitBtn* b : {ResequenceBtn, ChgVolumeBtn, DeleteBtn, CopyBtn, MoveBtn}) b->SetEnabled(false);

    int leftEdge = 4;
    auto bottom = [&](const char* Name, const char* Caption) {
        TBitBtn* b = NewButton(*this, Name, Caption, leftEdge, 386, 88,
                               [this](TObject* Sender) { TagAllBtnClick(Sender); });
        leftEdge += 92;
        return b;
    };
    TagSeveralBtn = bottom("TagSeveralBtn", "Tag &Several");
    UntagSeveralBtn = bottom("UntagSeveralBtn", "&Untag Several");
    TagAllBtn = bottom("TagAllBtn", "&Tag All");
    ClearAllBtn = bottom("ClearAllBtn", "Clear &All");
    InvertTagsBtn = bottom("InvertTagsBtn", "&Invert Tags");
    CloseBtn = catalog::NewDialogButton(*this, *this, "CloseBtn", bkClose, leftEdge + 4, 386);
    CloseBtn->SetWidth(60);
    HelpBtn = catalog::NewDialogButton(*this, *this, "HelpBtn", bkHelp, leftEdge + 68, 386, &HelpContext);
    HelpBtn->SetWidth(60);
}

TCatalogManagerForm::~TCatalogManagerForm() {
    try {
        FormClose();
    } catch (const std::exception&) {
    }
}

std::string TCatalogManagerForm::SourceName() const {
    return SourceCatalogPanel->Caption();
}

std::string TCatalogManagerForm::DestinationName() const {
    return DestinationCatalogPanel->Caption();
}

void TCatalogManagerForm::DoShow() {
    TForm::DoShow();
    FormShow();
}

void TCatalogManagerForm::DoClose(TCloseAction& Action) {
    TForm::DoClose(Action);
    FormClose();
}

void TCatalogManagerForm::ShowCount(dbsql::TDbTable& Table, TPanel& Count) {
    Count.SetCaption(IntToStr(Table.RecordCount()) + kDisksCataloged);
}

void TCatalogManagerForm::EnableSourceButtons(bool Enabled) {
    for (TBitBtn* b : {ResequenceBtn, ChgVolumeBtn, DeleteBtn}) b->SetEnabled(Enabled);
}

void TCatalogManagerForm::FormShow() {
    const std::string name = Trim(catalog::CurrentCatalogName);
    if (name.empty()) return;
    try {
        PointAt(*SSummaryTable, catalog::CatalogDataFolder, name + "_SUM");
        SourceCatalogPanel->SetCaption(name);
        CreateTagTable();
        SSummaryTable->Open();
        ShowCount(*SSummaryTable, *SRecordCount);
        EnableSourceButtons(true);
    } catch (const std::exception&) {
        SRecordCount->SetCaption("");
        ErrorBox("Error Opening Summary File For Current Catalog", false);
        SourceCatalogPanel->SetCaption(NoneSelected);
    }
}

void TCatalogManagerForm::FormClose() {
    if (!FTagTableMade) return;
    FTagTableMade = false;
    STagTable->Close();
    if (STagTable->Exists()) STagTable->DeleteTable();
}

// ---- Tags ----

void TCatalogManagerForm::CreateTagTable() {
    STagTable->Close();
    PointAt(*STagTable, catalog::CatalogDataFolder, "TaggedEntries");
    if (STagTable->Exists()) STagTable->DeleteTable();
    STagTable->FieldDefs.Clear();
    STagTable->FieldDefs.Add("Tag", ftInteger, 0, true);
    STagTable->IndexDefs.Clear();
    STagTable->IndexDefs.Add("", "Tag", ixPrimary | ixUnique);
    STagTable->CreateTable();
    FTagTableMade = true;
    STagTable->Open();
}

void TCatalogManagerForm::ApplyTag(int32_t Tag, TTagAction Action) {
    if (!STagTable->Active()) return;
    const bool present = STagTable->FindKey({Variant(Tag)});
    if (present && Action != TTagAction::Tag) {
        STagTable->Delete();
    } else if (!present && Action != TTagAction::Untag) {
        STagTable->Append();
        STagTable->FieldByName("Tag")->SetAsInteger(Tag);
        STagTable->Post();
    }
}

void TCatalogManagerForm::TagVolume(int32_t Tag) {
    ApplyTag(Tag, TTagAction::Tag);
}

void TCatalogManagerForm::UntagVolume(int32_t Tag) {
    ApplyTag(Tag, TTagAction::Untag);
}

void TCatalogManagerForm::ToggleVolumeTag(int32_t Tag) {
    ApplyTag(Tag, TTagAction::Toggle);
}

void TCatalogManagerForm::SSummaryTableCalcFields() {
    if (!STagTable->Active()) {
        Tagged->SetAsString("??");
        return;
    }
    const bool present = STagTable->FindKey({Variant(SSummaryTable->FieldByName("Tag")->AsInteger())});
    Tagged->SetAsString(present ? "<>" : "  ");
}

void TCatalogManagerForm::SGridLockedCellClick(int32_t RowNum) {
    if (RowNum < 0 || !SSummaryTable->Active() || SSummaryTable->IsEmpty()) return;
    SGrid->SetActiveRow(RowNum);
    ToggleVolumeTag(SSummaryTable->FieldByName("Tag")->AsInteger());
    SSummaryTable->Refresh();
}

void TCatalogManagerForm::TagAllBtnClick(TObject* Sender) {
    if (SourceName() == NoneSelected) {
        ErrorBox("No Source Catalog Selected");
        return;
    }
    std::string mask = "*";
    if (Sender == TagSeveralBtn || Sender == UntagSeveralBtn) {
        const bool tag = Sender == TagSeveralBtn;
        TOwnedForm<TGetTagUntagSpecForm> form;
        form->SetCaption(tag ? "Tag Summary Entries" : "Untag Summary Entries");
        form->Prompt->SetCaption(tag ? "Enter Wildcard VolumeLabel Spec To Tag"
                                     : "Enter Wildcard VolumeLabel Spec To Untag");
        if (form->ShowModal() != mrOk) return;
        mask = form->Spec->Text();
    }
    const TTagAction action = Sender == TagAllBtn || Sender == TagSeveralBtn       ? TTagAction::Tag
                              : Sender == ClearAllBtn || Sender == UntagSeveralBtn ? TTagAction::Untag
                                                                                   : TTagAction::Toggle;
    THourglass hourglass;
    TBookmark mark = SSummaryTable->GetBookmark();
    SSummaryTable->DisableControls();
    struct TRestore {
        TCatalogManagerForm& F;
        TBookmark& Mark;
        ~TRestore() {
            try {
                if (!Mark.empty()) F.SSummaryTable->GotoBookmark(Mark);
            } catch (const std::exception&) {
            }
            F.SSummaryTable->FreeBookmark(Mark);
            F.SSummaryTable->EnableControls();
            F.SSummaryTable->Refresh();
        }
    } restore{*this, mark};
    // The mask is compiled before anything changes: a malformed one changes no tag.
    const TMask compiled(mask);
    for (SSummaryTable->First(); !SSummaryTable->Eof(); SSummaryTable->Next()) {
        if (compiled.Matches(SSummaryTable->FieldByName("CatalogVolumeLabel")->AsString()))
            ApplyTag(SSummaryTable->FieldByName("Tag")->AsInteger(), action);
        Application->ProcessMessages();
    }
}

// ---- Choosing catalogs ----

std::string TCatalogManagerForm::PickCatalog() {
    TOwnedForm<catalog::TSelectCatalogForm> picker;
    picker->MakeCurrent = false;
    if (picker->ShowModal() != mrOk) return {};
    return picker->PickedCatalogName();
}

void TCatalogManagerForm::BitBtn1Click() {
    LoadCatalog(true);
}

void TCatalogManagerForm::BitBtn2Click() {
    LoadCatalog(false);
}

void TCatalogManagerForm::LoadCatalog(bool Source) {
    const std::string name = PickCatalog();
    if (name.empty()) return;
    if (name == (Source ? DestinationName() : SourceName())) {
        ErrorBox(Source ? "Source Catalog Cannot Be The Same As The Destination Catalog"
                        : "Destination Catalog Cannot Be The Same As The Source Catalog");
        return;
    }
    dbsql::TDbTable& table = Source ? *SSummaryTable : *DSummaryTable;
    dbsql::TDbTable& other = Source ? *DSummaryTable : *SSummaryTable;
    TPanel& panel = Source ? *SourceCatalogPanel : *DestinationCatalogPanel;
    TPanel& count = Source ? *SRecordCount : *DRecordCount;
    try {
        PointAt(table, catalog::CatalogDataFolder, name + "_SUM");
        panel.SetCaption(name);
        if (Source) CreateTagTable();  // a new source starts without tags
        table.Open();
        ShowCount(table, count);
        if (Source) EnableSourceButtons(true);
        CopyBtn->SetEnabled(other.Active());
        MoveBtn->SetEnabled(other.Active());
    } catch (const std::exception&) {
        if (Source) EnableSourceButtons(false);
        CopyBtn->SetEnabled(false);
        MoveBtn->SetEnabled(false);
        count.SetCaption("");
        ErrorBox("Error Opening Summary File For The Selected Catalog", false);
        panel.SetCaption(NoneSelected);
    }
}

// ---- Log, query ----

void TCatalogManagerForm::WriteLogLine(const std::string& Operation) {
    PointAt(*CCTable, catalog::ProgramFolder, catalog::CatalogConfigsSchema().TableName);
    CCTable->Open();
    const bool found = CCTable->FindKey({Variant(SourceName())});
    const bool keep = found && CCTable->FieldByName("KeepActivityLog")->AsBoolean();
    CCTable->Close();
    if (!keep) return;
    PointAt(*LogTable, catalog::CatalogDataFolder, SourceName() + "_LOG");
    catalog::AppendActivityLog(*LogTable, Operation);
}

void TCatalogManagerForm::RunStatement(const std::string& Sql, const std::string& Label,
                                       const std::string& NewLabel) {
    // Every value goes in as a parameter; only the table name is part of the text.
    Query->Close();
    Query->SetDatabaseName(catalog::CatalogDataFolder);
    Query->SetSQL(Sql);
    Query->Params().ParamByName("Label")->SetAsString(Label);
    if (!NewLabel.empty()) Query->Params().ParamByName("NewLabel")->SetAsString(NewLabel);
    Query->ExecuteStatement();
    Query->Close();
}

void TCatalogManagerForm::QueryQueryProgress(int PercentDone) {
    if (QueryProgressMode == 0)
        TProgressShown::Show(PercentDone);
    else if (QueryProgressMode == 1 && VolumesToDo > 0)
        TProgressShown::Show(100 * VolumesDone / VolumesToDo + PercentDone / VolumesToDo);
}

// ---- Change of a volume's label ----

void TCatalogManagerForm::ChgVolumeBtnClick() {
    if (!SSummaryTable->Active() || SSummaryTable->IsEmpty()) {
        ErrorBox("No Summary Records On File");
        return;
    }
    const std::string oldLabel = SSummaryTable->FieldByName("CatalogVolumeLabel")->AsString();
    PointAt(*SSummaryTable2, catalog::CatalogDataFolder, SourceName() + "_SUM");
    SSummaryTable2->SetIndexName("");
    SSummaryTable2->Open();
    std::string typed = oldLabel;
    std::string newLabel;
    for (;;) {
        TOwnedForm<TCMChangeVolumeForm> form;
        form->Oldlabel->SetText(oldLabel);
        form->NewLabel->SetText(typed);
        if (form->ShowModal() != mrOk) return SSummaryTable2->Close();
        typed = form->NewLabel->Text();
        newLabel = UpperCase(Trim(typed)).substr(0, 11);
        if (newLabel.empty() || newLabel == oldLabel) return SSummaryTable2->Close();
        if (!SSummaryTable2->FindKey({Variant(newLabel)})) break;
        ErrorBox("You Already Have Entries In This Catalog With This Volume Label");
    }
    SSummaryTable2->FindKey({Variant(oldLabel)});
    SSummaryTable2->Edit();
    SSummaryTable2->FieldByName("CatalogVolumeLabel")->SetAsString(newLabel);
    SSummaryTable2->Post();
    SSummaryTable2->Close();
    {
        TProgressShown progress("Adjusting Volume Label Names In Catalog File", false);
        THourglass hourglass;
        QueryProgressMode = 0;
        RunStatement(
            "Update \"" + SourceName() + "_CAT\" Set VolumeLabel=:NewLabel Where (VolumeLabel=:Label)",
            oldLabel, newLabel);
    }
    WriteLogLine("Rename Volume \"" + oldLabel + "\" To \"" + newLabel + "\"");
    SSummaryTable->Refresh();
}

// ---- Deletion ----

void TCatalogManagerForm::DeleteBtnClick() {
    if (!SSummaryTable->Active() || SSummaryTable->IsEmpty()) {
        ErrorBox("No Summary Records On File");
        return;
    }
    const std::string deleteSql = "Delete From \"" + SourceName() + "_CAT\" Where (VolumeLabel=:Label)";
    if (STagTable->Active() && !STagTable->IsEmpty()) {
        if (!Confirmed("Are You Sure You Want To Delete The Tagged Volume(s)?")) return;
        PointAt(*SSummaryTable2, catalog::CatalogDataFolder, SourceName() + "_SUM");
        SSummaryTable2->SetIndexName("ByTag");
        SSummaryTable2->Open();
        {
            TProgressShown progress("Deleting Tagged Entries", false);
            THourglass hourglass;
            QueryProgressMode = 1;
            VolumesToDo = STagTable->RecordCount();
            VolumesDone = 0;
            struct TRestoreIndex {
                dbsql::TDbTable& T;
                ~TRestoreIndex() {
                    T.Close();
                    T.SetIndexName("");
                }
            } restoreIndex{*SSummaryTable2};
            for (STagTable->First(); !STagTable->IsEmpty(); STagTable->First()) {
                if (SSummaryTable2->FindKey({Variant(STagTable->FieldByName("Tag")->AsInteger())})) {
                    RunStatement(deleteSql, SSummaryTable2->FieldByName("CatalogVolumeLabel")->AsString());
                    SSummaryTable2->Delete();
                }
                STagTable->Delete();
                ++VolumesDone;
                TProgressShown::Show(100 * VolumesDone / VolumesToDo);
                Application->ProcessMessages();
            }
        }
        WriteLogLine("Delete Multiple Volumes");
        SSummaryTable->First();
        SSummaryTable->Refresh();
        ShowCount(*SSummaryTable, *SRecordCount);
        return;
    }
    const std::string label = SSummaryTable->FieldByName("CatalogVolumeLabel")->AsString();
    if (!Confirmed("Are You Sure You Want To Delete The Highlighted Volume?")) return;
    {
        TProgressShown progress("Deleting Catalog Entries For Volume Label \"" + label + "\"", false);
        THourglass hourglass;
        QueryProgressMode = 0;
        RunStatement(deleteSql, label);
        SSummaryTable->Delete();
    }
    WriteLogLine("Deleted Volume \"" + label + "\"");
    ShowCount(*SSummaryTable, *SRecordCount);
}

// ---- Copy and move ----

void TCatalogManagerForm::CopyBtnClick(TObject* Sender) {
    if (!SSummaryTable->Active() || SSummaryTable->IsEmpty()) {
        ErrorBox("No Summary/Catalog Records On File To Copy");
        return;
    }
    try {
        CopyVolumes(Sender == MoveBtn);
    } catch (...) {
        SSummaryTable->Refresh();
        DSummaryTable->Refresh();
        throw;
    }
    for (auto [table, count] :
         {std::pair{SSummaryTable, SRecordCount}, std::pair{DSummaryTable, DRecordCount}}) {
        table->Refresh();
        ShowCount(*table, *count);
    }
}

bool TCatalogManagerForm::CopyVolumes(bool Move) {
    const std::string source = SourceName(), destination = DestinationName();
    const bool tagged = STagTable->Active() && !STagTable->IsEmpty();
    const std::string highlighted = SSummaryTable->FieldByName("CatalogVolumeLabel")->AsString();
    struct TCloseAll {
        std::vector<dbsql::TDbTable*> Tables;
        ~TCloseAll() {
            for (auto* t : Tables) t->Close();
        }
    } closeAll{{SSummaryTable2, SCatalogTable2, DSummaryTable2, DCatalogTable2}};
    auto openWorkingTables = [&] {
        PointAt(*SSummaryTable2, catalog::CatalogDataFolder, source + "_SUM");
        SSummaryTable2->SetIndexName(tagged ? "ByTag" : "");
        PointAt(*SCatalogTable2, catalog::CatalogDataFolder, source + "_CAT");
        PointAt(*DSummaryTable2, catalog::CatalogDataFolder, destination + "_SUM");
        DSummaryTable2->SetIndexName("");
        PointAt(*DCatalogTable2, catalog::CatalogDataFolder, destination + "_CAT");
        SSummaryTable2->Open();
        SCatalogTable2->Open();
        DSummaryTable2->Open();
    };
    // The volumes to copy, by Tag in ascending order, or the highlighted one.
    std::vector<int32_t> tags;
    if (tagged)
        for (STagTable->First(); !STagTable->Eof(); STagTable->Next())
            tags.push_back(STagTable->FieldByName("Tag")->AsInteger());
    auto locate = [&](size_t Index) {
        return tagged ? SSummaryTable2->FindKey({Variant(tags[Index])})
                      : SSummaryTable2->FindKey({Variant(highlighted)});
    };
    const size_t count = tagged ? tags.size() : 1;

    // Verify pass: no label may exist in the destination; the longest names are measured.
    bool allowed = true;
    int longestName = 0, longestFolder = 0, longestArchive = 0;
    {
        TProgressShown progress("Verifying Copy Operation", true);
        openWorkingTables();
        for (size_t v = 0; v < count; ++v) {
            if (TProgressShown::Cancelled()) return false;
            if (!locate(v)) continue;
            if (DSummaryTable2->FindKey({SSummaryTable2->FieldByName("CatalogVolumeLabel")->Value()})) {
                allowed = false;
                ErrorBox("The Selected Volume Label Already Exists In The Destination Catalog");
                continue;
            }
            const int entries = std::max(1, SCatalogTable2->RecordCount());
            int seen = 0;
            for (SCatalogTable2->First(); !SCatalogTable2->Eof(); SCatalogTable2->Next()) {
                longestName = std::max<int>(longestName,
                                            int(SCatalogTable2->FieldByName("FileName")->AsString().size()));
                longestFolder = std::max<int>(
                    longestFolder, int(SCatalogTable2->FieldByName("FolderName")->AsString().size()));
                longestArchive = std::max<int>(
                    longestArchive, int(SCatalogTable2->FieldByName("ArchiveID")->AsString().size()));
                ++seen;
                TProgressShown::Show(int(100 * v / count + 100 * seen / (entries * int(count))));
                Application->ProcessMessages();
                if (TProgressShown::Cancelled()) return false;
            }
            TProgressShown::Show(int(100 * (v + 1) / count));
            Application->ProcessMessages();
        }
        for (auto* t : closeAll.Tables) t->Close();
    }
    if (!allowed) return false;

    // Size check against the destination's own field sizes.
    DCatalogTable2->Open();
    const int nameSize = DCatalogTable2->FieldByName("FileName")->Size();
    const int folderSize = DCatalogTable2->FieldByName("FolderName")->Size();
    const int archiveSize = DCatalogTable2->FieldByName("ArchiveID")->Size();
    DCatalogTable2->Close();
    if (nameSize < longestName || folderSize < longestFolder || archiveSize < longestArchive) {
        const std::string saved = catalog::CurrentCatalogName;
        catalog::CurrentCatalogName = destination;
        TModalResult result = mrCancel;
        try {
            TOwnedForm<catalog::TResizeWarningForm> form;
            if (auto* note = dynamic_cast<TLabel*>(form->FindComponent("NoteLabel"))) {
                // The longer note gets a taller panel; everything below it moves down.
                constexpr int kMore = 48;
                for (int i = 0; i < form->ControlCount(); ++i)
                    if (TControl* c = form->Controls(i); c != form->NoteLabelPanel)
                        c->SetTop(c->Top() + kMore);
                form->NoteLabelPanel->SetHeight(form->NoteLabelPanel->Height() + kMore);
                form->SetClientHeight(form->ClientHeight() + kMore);
                note->SetWordWrap(true);
                note->SetWidth(form->NoteLabelPanel->Width() - 20);
                note->SetHeight(form->NoteLabelPanel->Height() - 12);
                note->SetCaption(std::string(kResizeNote[0]) + "  " + kResizeNote[1] + "\n\n" +
                                 kResizeNote[2] + "  " + kResizeNote[3]);
            }
            if (auto* heading = dynamic_cast<TLabel*>(form->FindComponent("ToBeCatalogedLabel")))
                heading->SetCaption("Longest Found");
            PointAt(*form->Table, catalog::CatalogDataFolder, destination + "_CAT");
            form->CatalogFileNameLengthPanel->SetCaption(IntToStr(nameSize));
            form->CatalogFolderNameLengthPanel->SetCaption(IntToStr(folderSize));
            form->CatalogArchiveIDLengthPanel->SetCaption(IntToStr(archiveSize));
            form->FoundFileNameLengthPanel->SetCaption(IntToStr(longestName));
            form->FoundFolderNameLengthPanel->SetCaption(IntToStr(longestFolder));
            form->FoundArchiveIDLengthPanel->SetCaption(IntToStr(longestArchive));
            result = form->ShowModal();
        } catch (...) {
            catalog::CurrentCatalogName = saved;
            throw;
        }
        catalog::CurrentCatalogName = saved;
        if (result != mrOk) return false;
    }

    // Perform pass.
    TProgressShown progress("Performing Copy Operation", true);
    openWorkingTables();
    DCatalogTable2->Open();
    try {
        for (size_t v = 0; v < count; ++v) {
            if (TProgressShown::Cancelled()) return false;
            if (locate(v)) CopyOneVolume(Move, int(v), int(count));
            if (tagged && STagTable->FindKey({Variant(tags[v])})) STagTable->Delete();
            TProgressShown::Show(int(100 * (v + 1) / count));
            Application->ProcessMessages();
        }
    } catch (const std::exception&) {
        progress.Hide();
        ErrorBox(
            "An Error Occurred While Copying Records From The Source Catalog To The Destination Catalog.");
        return false;
    }
    if (tagged)
        WriteLogLine((Move ? "Move Multiple Volumes To " : "Copy Multiple Volumes To ") + destination);
    else
        WriteLogLine((Move ? "Move Volume \"" : "Copy Volume \"") + highlighted + "\" To " + destination);
    return true;
}

bool TCatalogManagerForm::CopyOneVolume(bool Move, int Done, int Count) {
    const int entries = SCatalogTable2->RecordCount();
    const int work = std::max(1, Move ? 2 * entries : entries);
    int worked = 0;
    auto step = [&] {
        ++worked;
        TProgressShown::Show(100 * worked / (work * Count) + 100 * Done / Count);
        Application->ProcessMessages();
    };
    // The destination's new Tags of the entries inserted, so that a failure takes them out again.
    std::vector<int32_t> inserted;
    try {
        for (SCatalogTable2->First(); !SCatalogTable2->Eof(); SCatalogTable2->Next()) {
            DCatalogTable2->Append();
            CopyFields(*SCatalogTable2, *DCatalogTable2, kEntryFields, std::size(kEntryFields));
            DCatalogTable2->Post();
            inserted.push_back(DCatalogTable2->FieldByName("Tag")->AsInteger());
            step();
        }
        DSummaryTable2->Append();
        CopyFields(*SSummaryTable2, *DSummaryTable2, kVolumeFields, std::size(kVolumeFields));
        DSummaryTable2->Post();
    } catch (...) {
        DSummaryTable2->Cancel();
        DCatalogTable2->Cancel();
        DCatalogTable2->SetIndexName("ByTag");
        for (int32_t tag : inserted)
            if (DCatalogTable2->FindKey({Variant(tag)})) DCatalogTable2->Delete();
        DCatalogTable2->SetIndexName("");
        throw;
    }
    if (!Move) return true;
    // The source goes only once the volume stands complete in the destination.
    for (SCatalogTable2->First(); !SCatalogTable2->IsEmpty(); SCatalogTable2->First()) {
        SCatalogTable2->Delete();
        step();
    }
    SSummaryTable2->Delete();
    return true;
}

// ---- Resequencing ----

void TCatalogManagerForm::RestructureTag(dbsql::TDbTable& Table, bool AutoIncrement, int32_t LastValue) {
    Table.Close();
    Table.RestructureFieldDefs.Clear();
    Table.RestructureFieldDefs.Update();
    Table.RestructureIndexDefs.Clear();
    Table.RestructureIndexDefs.Update();
    const int tag = Table.RestructureFieldDefs.IndexOf("Tag");
    if (tag >= 0) Table.RestructureFieldDefs.GetItem(tag)->DataType = AutoIncrement ? ftAutoInc : ftInteger;
    Table.AlterTable(0, 0, Table.GetUserMajorVersion(), Table.GetUserMinorVersion(), false, "", "", 512,
                     LastValue, true);
}

int32_t TCatalogManagerForm::Renumber(dbsql::TDbTable& Table) {
    Table.Open();
    const int total = std::max(1, Table.RecordCount());
    int32_t n = 0;
    for (Table.First(); !Table.Eof(); Table.Next()) {
        ++n;
        Table.Edit();
        Table.FieldByName("Tag")->SetAsInteger(n);
        Table.Post();
        TProgressShown::Show(100 * n / total);
        Application->ProcessMessages();
    }
    Table.Close();
    return n;
}

void TCatalogManagerForm::SourceLost() {
    SourceCatalogPanel->SetCaption(NoneSelected);
    SRecordCount->SetCaption("");
    EnableSourceButtons(false);
    CopyBtn->SetEnabled(false);
    MoveBtn->SetEnabled(false);
}

void TCatalogManagerForm::PutBackAutoIncrement(dbsql::TDbTable& Table) {
    try {
        Table.Close();
        Table.SetIndexName("ByTag");
        Table.Open();
        Table.Last();
        const int32_t highest = Table.IsEmpty() ? 0 : Table.FieldByName("Tag")->AsInteger();
        Table.Close();
        RestructureTag(Table, true, highest);
    } catch (const std::exception&) {
    }
    Table.Close();
}

bool TCatalogManagerForm::ResequenceTable(bool Summary) {
    struct TTexts {
        const char* Caption;
        const char* RestructureError;
        const char* RenumberError;
    };
    static constexpr TTexts kSummary{
        "Resequencing Summary Table",
        "Error Restructuring Summary Table For Resequencing - It Is Likely Damaged.",
        "Error Resequencing Summary Table - It Is Likely Damaged."};
    static constexpr TTexts kCatalog{
        "Resequencing Catalog Table",
        "Error Restructuring Catalog Table For Resequencing - It Is Likely Damaged.",
        "Error Resequencing Catalog Table - It Is Likely Damaged."};
    const TTexts& texts = Summary ? kSummary : kCatalog;
    TProgressShown progress(texts.Caption, false);
    dbsql::TDbTable& table = Summary ? *SSummaryTable2 : *SCatalogTable;
    const std::string index = Summary ? "" : "ByVolumeLabel";
    PointAt(table, catalog::CatalogDataFolder, SourceName() + (Summary ? "_SUM" : "_CAT"));
    table.SetIndexName(index);
    if (Summary) SSummaryTable->Close();
    auto fail = [&](const std::string& Text) {
        progress.Hide();
        ErrorBox(Text + kRestoreBackup);
        if (Summary) SourceLost();
        return false;
    };
    try {
        RestructureTag(table, false, -1);
    } catch (const std::exception&) {
        return fail(texts.RestructureError);
    }
    int32_t count = 0;
    try {
        table.SetIndexName(index);
        count = Renumber(table);
    } catch (const std::exception&) {
        table.Cancel();
        PutBackAutoIncrement(table);
        return fail(texts.RenumberError);
    }
    try {
        RestructureTag(table, true, count);
    } catch (const std::exception&) {
        return fail(texts.RestructureError);
    }
    return true;
}

void TCatalogManagerForm::ResequenceBtnClick() {
    if (!ResequenceTable(true)) return;
    // The tags named volumes by their old numbers: they are dropped rather than moved onto others.
    CreateTagTable();
    SSummaryTable->Open();
    if (!ResequenceTable(false)) return;
    WriteLogLine("Resequence Tables");
    SSummaryTable->Refresh();
}

void ShowCatalogManagerForm() {
    TOwnedForm<TCatalogManagerForm> form;
    form->ShowModal();
}

}  // namespace cataloging
