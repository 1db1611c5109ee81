#include "cataloging/editors/EditDiskCommentForm.h"

#include <algorithm>
#include <exception>

#include "catalog/CatalogStore.h"
#include "catalog/FormParts.h"
#include "catalog/Globals.h"
#include "cataloging/editors/EditFileCommentForm.h"
#include "cataloging/editors/EditorParts.h"
#include "controls/entry/CtlState.h"
#include "controls/grid/CtlDbTable.h"
#include "dbsql/components/DbTable.h"
#include "framework/core/SysUtils.h"
#include "framework/data/DataSource.h"
#include "framework/data/Fields.h"
#include "framework/dbctrls/DBCtrls.h"
#include "framework/stdctrls/CheckBox.h"
#include "framework/stdctrls/Dialogs.h"
#include "framework/stdctrls/Label.h"

namespace cataloging {

using namespace framework;

namespace {

struct TDiskCommentColumn {
    const char* Field;
    int Width;  // 0: hidden
    const char* Heading;
};
constexpr TDiskCommentColumn kDiskCommentColumns[] = {{"CatalogVolumeLabel", 100, "Volume ID"},
                                                      {"CatalogedFrom", 24, "Drv"},
                                                      {"DiskSize", 90, "Disk Capacity"},
                                                      {"DiskUsed", 90, "Space Used"},
                                                      {"DiskFree", 90, "Free Space"},
                                                      {"FilesOnDisk", 0, "Files On Disk"},
                                                      {"FilesInArchives", 0, "Files In Archives"},
                                                      {"DateLastCataloged", 0, "Last Cataloged"},
                                                      {"Comment", 0, "CommentMemo"},
                                                      {"CommentStr", 200, "Comment"}};
const char* const kDiskCommentStoredFields[] = {"CatalogVolumeLabel", "CatalogedFrom",     "DiskSize",
                                                "DiskUsed",           "DiskFree",          "FilesOnDisk",
                                                "FilesInArchives",    "DateLastCataloged", "Comment"};

// The stored fields the editor shows, with their headings and pictures.
void DefineDiskCommentFields(dbsql::TDbTable& Table) {
    if (Table.Fields.Count() != 0) return;
    Table.FieldDefs.Update();
    AddCatalogEntryFields(Table, kDiskCommentStoredFields, nullptr);
    for (const TDiskCommentColumn& c : kDiskCommentColumns)
        if (TField* f = Table.FindField(c.Field)) f->SetDisplayLabel(c.Heading);
    for (const char* f : {"DiskSize", "DiskUsed", "DiskFree"}) {
        Table.FieldByName(f)->DisplayFormat = "#,###,###,###,###";
        Table.FieldByName(f)->Alignment = taRightJustify;
    }
    Table.FieldByName("CatalogedFrom")->Alignment = taCenter;
}

}  // namespace

TEditDiskCommentForm::TEditDiskCommentForm(TComponent* AOwner) : TForm(AOwner) {
    SetName("EditDiskCommentForm");
    SetCaption("Edit Disk Comments");
    Position = poScreenCenter;
    SetClientSize(760, 460);
    Constraints().SetMinWidth(640);

    Store = NewComponent<entry::TCtlRegistryStore>(this);
    Store->SetName("Store");
    FormState = NewComponent<entry::TCtlFormState>(this);
    FormState->SetName("FormState");
    FormState->SetStorage(Store);
    FormState->SetSection("TEditDiskCommentForm");

    SummaryTable = NewComponent<dbsql::TDbTable>(this);
    SummaryTable->SetName("SummaryTable");
    MeasureTable = NewComponent<dbsql::TDbTable>(this);
    MeasureTable->SetName("MeasureTable");
    SummarySource = NewComponent<TDataSource>(this);
    SummarySource->SetDataSet(SummaryTable);
    SummaryTable->OnCalcFields = [this](TDataSet*) {
        SummaryTable->FieldByName("CommentStr")
            ->SetAsString(
                catalog::CommentFirstLine(SummaryTable->FieldByName("Comment")->AsString()).substr(0, 50));
    };
    SummaryTable->AfterPost = [this](TDataSet*) {
        FLastComment = SummaryTable->FieldByName("Comment")->AsString();
        if (!FInternalPost) SummaryTable->Next();
    };
    SummaryTable->AfterScroll = [this](TDataSet*) {
        UndoZapBtn->SetEnabled(false);
        if (CommentMemo->CanFocus()) CommentMemo->SetFocus();
    };
    SummaryTable->AfterEdit = [this](TDataSet*) {
        if (CommentMemo->CanFocus()) CommentMemo->SetFocus();
    };

    Grid = NewComponent<grid::TCtlDbTable>(this);
    Grid->SetName("Grid");
    Grid->SetParent(this);
    Grid->SetBounds(4, 4, 752, 250);
    Grid->SetOptions(Grid->Options() & ~grid::CtlDbOption(grid::dtoShowIndicators));
    Grid->SetDataSource(SummarySource);
    Grid->Columns().Clear();
    for (const TDiskCommentColumn& c : kDiskCommentColumns) {
        auto* column = new grid::TCtlDbTableColumn(Grid);
        column->SetDataField(c.Field);
        column->SetWidth(c.Width > 0 ? c.Width : 60);
        column->SetHidden(c.Width == 0);
        Grid->Columns().Append(column);
    }
    MeasureLabel = catalog::NewLabel(*this, *this, "MeasureLabel", 0, 0, 10, "");
    MeasureLabel->SetVisible(false);

    catalog::NewLabel(*this, *this, "CommentLabel", 4, 262, 100, "Disk Comment");
    CommentMemo = NewComponent<TDBMemo>(this);
    CommentMemo->SetName("CommentMemo");
    CommentMemo->SetParent(this);
    CommentMemo->SetBounds(4, 282, Width() - 309, 120);
    CommentMemo->SetDataSource(SummarySource);
    CommentMemo->SetDataField("Comment");

    Navigator = NewComponent<TDBNavigator>(this);
    Navigator->SetName("Navigator");
    Navigator->SetParent(this);
    Navigator->SetBounds(4, 410, 240, 25);
    Navigator->SetDataSource(SummarySource);
    Navigator->SetVisibleButtons((1u << nbFirst) | (1u << nbPrior) | (1u << nbNext) | (1u << nbLast) |
                                 (1u << nbEdit) | (1u << nbPost) | (1u << nbCancel) | (1u << nbRefresh));
    const int right = Width() - 290;
    GrabAboveBtn =
        NewEditorButton(*this, "GrabAboveBtn", "Grab &Above", right, 282, 130, [this] { GrabAboveClick(); });
    GrabBelowBtn =
        NewEditorButton(*this, "GrabBelowBtn", "Grab &Below", right, 312, 130, [this] { GrabBelowClick(); });
    GrabLastBtn =
        NewEditorButton(*this, "GrabLastBtn", "Grab &Last", right, 342, 130, [this] { GrabLastClick(); });
    ZapBtn = NewEditorButton(*this, "ZapBtn", "&Zap Comment", right + 140, 282, 130, [this] { ZapClick(); });
    UndoZapBtn =
        NewEditorButton(*this, "UndoZapBtn", "&Undo Zap", right + 140, 312, 130, [this] { UndoZapClick(); });
    UndoZapBtn->SetEnabled(false);
    FontBtn = NewEditorButton(*this, "FontBtn", "&Font", right + 140, 342, 130, [this] { FontClick(); });
    AdvanceCheck = NewComponent<TCheckBox>(this);
    AdvanceCheck->SetName("AdvanceCheck");
    AdvanceCheck->SetParent(this);
    AdvanceCheck->SetBounds(right, 376, 270, 19);
    AdvanceCheck->SetCaption("Grab Above or Last Advances");
    AdvanceCheck->SetChecked(true);
    HelpBtn = catalog::NewDialogButton(*this, *this, "HelpBtn", bkHelp, 260, 410, &HelpContext);
    CloseBtn = NewEditorButton(*this, "CloseBtn", "&Close", 370, 410, 90, [this] { CloseBtnClick(); });
    CloseBtn->Cancel = true;

    ComponentState = NewComponent<entry::TCtlComponentState>(this);
    ComponentState->SetName("ComponentState");
    ComponentState->SetStorage(Store);
    ComponentState->SetSection("TEditDiskCommentForm");
    ComponentState->StoredProperties().SetText("AdvanceCheck.Checked\r\nGrid.Font\r\nCommentMemo.Font");
}

void TEditDiskCommentForm::OpenSummary(const std::string& VolumeLabel) {
    SummaryTable->Close();
    SummaryTable->SetDatabaseName(catalog::CatalogDataFolder);
    SummaryTable->SetTableName(catalog::CurrentCatalogName + "_SUM");
    if (SummaryTable->Fields.Count() == 0) {
        DefineDiskCommentFields(*SummaryTable);
        SummaryTable->AddField<TStringField>("CommentStr", fkCalculated, 50)->SetDisplayLabel("Comment");
    }
    SummaryTable->Open();
    if (!VolumeLabel.empty()) SummaryTable->Locate("CatalogVolumeLabel", Variant(VolumeLabel), 0);
}

void TEditDiskCommentForm::SizeColumns() {
    static const char* const headings[] = {"Volume ID", "Drv", "Disk Capacity", "Space Used", "Free Space"};
    for (int i = 0; i < 5; ++i) FWidths[i] = EditorTextWidth(*MeasureLabel, *Grid, headings[i]);
    FCommentWidth = EditorTextWidth(*MeasureLabel, *Grid, "Comment");
    {
        TEditorProgress progress("Calculating Column Widths");
        try {
            MeasureTable->Close();
            MeasureTable->SetDatabaseName(SummaryTable->DatabaseName());
            MeasureTable->SetTableName(SummaryTable->TableName());
            DefineDiskCommentFields(*MeasureTable);
            MeasureTable->Open();
            const int total = std::max(1, MeasureTable->RecordCount());
            int count = 0;
            while (!MeasureTable->Eof()) {
                if (TEditorProgress::Cancelled()) break;
                for (int i = 0; i < 5; ++i)
                    FWidths[i] =
                        std::max(FWidths[i],
                                 EditorTextWidth(
                                     *MeasureLabel, *Grid,
                                     MeasureTable->FieldByName(kDiskCommentColumns[i].Field)->DisplayText()));
                TEditorProgress::Show(++count * 100 / total);
                MeasureTable->Next();
            }
        } catch (const std::exception&) {
        }
        MeasureTable->Close();
    }
    const int row = EditorTextHeight(*MeasureLabel, *Grid, "Pj") + 8;
    Grid->SetRowHeight(row);
    Grid->SetHeaderHeight(row);
    for (int i = 0; i < 5; ++i) Grid->Columns().Column(i)->SetWidth(FWidths[i] + 8);
    SizeCommentColumn();
}

void TEditDiskCommentForm::SizeCommentColumn() {
    int rest = Grid->Width() - 84;
    for (int w : FWidths) rest -= w;
    Grid->Columns().Column(9)->SetWidth((rest > FCommentWidth ? rest : FCommentWidth) + 8);
}

void TEditDiskCommentForm::DoShow() {
    FLastComment.clear();
    SizeColumns();
    TForm::DoShow();
}

void TEditDiskCommentForm::Resize() {
    TForm::Resize();
    if (!Grid || !CommentMemo) return;
    Grid->SetWidth(ClientWidth() - 8);
    CommentMemo->SetWidth(Width() - 309);
    if (FCommentWidth > 0) SizeCommentColumn();
}

void TEditDiskCommentForm::WriteComment(const std::string& Comment) {
    SummaryTable->Edit();
    SummaryTable->FieldByName("Comment")->SetAsString(Comment);
    FInternalPost = true;
    try {
        SummaryTable->Post();
    } catch (...) {
        FInternalPost = false;
        throw;
    }
    FInternalPost = false;
}

void TEditDiskCommentForm::Grab(bool Above) {
    if (SummaryTable->MoveBy(Above ? -1 : 1) == 0) return;
    FLastComment = SummaryTable->FieldByName("Comment")->AsString();
    SummaryTable->MoveBy(Above ? 1 : -1);
    if (!Trim(FLastComment).empty()) WriteComment(FLastComment);
    if (Above && AdvanceCheck->Checked()) SummaryTable->Next();
}

void TEditDiskCommentForm::GrabAboveClick() {
    Grab(true);
}
void TEditDiskCommentForm::GrabBelowClick() {
    Grab(false);
}

void TEditDiskCommentForm::GrabLastClick() {
    if (Trim(FLastComment).empty() || SummaryTable->IsEmpty()) return;
    WriteComment(FLastComment);
    if (AdvanceCheck->Checked()) SummaryTable->Next();
}

void TEditDiskCommentForm::ZapClick() {
    if (SummaryTable->IsEmpty()) return;
    const std::string comment = SummaryTable->FieldByName("Comment")->AsString();
    if (Trim(comment).empty()) return;
    FUndoComment = comment;
    WriteComment("");
    UndoZapBtn->SetEnabled(true);
}

void TEditDiskCommentForm::UndoZapClick() {
    if (!UndoZapBtn->Enabled() || SummaryTable->IsEmpty()) return;
    WriteComment(FUndoComment);
    UndoZapBtn->SetEnabled(false);
}

void TEditDiskCommentForm::FontClick() {
    if (SummaryTable->State() == dsEdit || SummaryTable->State() == dsInsert) SummaryTable->Post();
    TFontDialog dialog(nullptr);
    dialog.Font().Assign(Grid->Font());
    if (dialog.Execute() && !(dialog.Font() == Grid->Font())) {
        Grid->Font().Assign(dialog.Font());
        CommentMemo->Font().Assign(dialog.Font());
        SizeColumns();
    }
    Grid->Invalidate();
}

void TEditDiskCommentForm::CloseBtnClick() {
    const TDataSetState state = SummaryTable->State();
    if (state == dsEdit || state == dsInsert) {
        if (MessageDlg(TEditFileCommentForm::LoseChangesText, mtConfirmation, {mbYes, mbNo}, 0) != mrYes)
            return;
        SummaryTable->Cancel();
    }
    SetModalResult(mrCancel);
    Close();
}

void ShowDiskCommentEditor(const std::string& VolumeLabel) {
    auto* form = TCustomForm::Create<TEditDiskCommentForm>(Application);
    try {
        form->OpenSummary(VolumeLabel);
        form->ShowModal();
    } catch (...) {
        form->Free();
        throw;
    }
    form->Free();
}

}  // namespace cataloging
