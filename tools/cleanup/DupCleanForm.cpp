#include "tools/cleanup/DupCleanForm.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "catalog/CatalogStore.h"
#include "catalog/FormParts.h"
#include "catalog/GetStringForm.h"
#include "catalog/Globals.h"
#include "catalog/ProgressForm.h"
#include "catalog/SelectCatalogForm.h"
#include "catalog/ToolsSettingsForm.h"
#include "controls/entry/CtlAttachedButton.h"
#include "controls/entry/CtlState.h"
#include "controls/grid/CtlDbTable.h"
#include "controls/grid/CtlNotebook.h"
#include "controls/grid/CtlTableCells.h"
#include "controls/grid/CtlTableEntryCells.h"
#include "controls/kit/CoolGauge.h"
#include "dbsql/components/DbTable.h"
#include "framework/core/Masks.h"
#include "framework/core/SysUtils.h"
#include "framework/data/DataSource.h"
#include "framework/data/Fields.h"
#include "framework/stdctrls/Button.h"
#include "framework/stdctrls/Buttons.h"
#include "framework/stdctrls/CheckBox.h"
#include "framework/stdctrls/Dialogs.h"
#include "framework/stdctrls/Edit.h"
#include "framework/stdctrls/ExtCtrls.h"
#include "framework/stdctrls/FileCtrl.h"
#include "framework/stdctrls/Label.h"
#include "framework/stdctrls/Memo.h"
#include "framework/ui/Graphics.h"
#include "platform/Beep.h"
#include "reports/filereport/DupUniqueFinder.h"
#include "tools/offload/DiskFillTransfer.h"
#include "tools/shared/ListParts.h"

namespace tools {

using namespace framework;

// One catalog entry as the scans read it.
struct TCleanupEntry {
    std::string FileName, VolumeLabel, FolderName, FileSize, CategoryCode;
    bool HasDate = false, HasTime = false;
    double Date = 0, Time = 0;
    int32_t Attribute = 0;
    int32_t Tag = 0;
};

namespace {

constexpr const char* kCleanupCountFormat = "###,###,###,###,##0";
// The background of a squelched row.
constexpr TColor kSquelchedColor = 0x00CBFEFC;  // red 252, green 254, blue 203

// The grid's columns: field, heading; the first is the locked tag column, the last four hidden.
struct TCleanupColumn {
    const char* Field;
    const char* Heading;
};
constexpr TCleanupColumn kCleanupColumns[] = {
    {"Tagged", "Tag"},
    {"FileName", "FileName"},
    {"VolumeLabel", "Volume Label"},
    {"FolderName", "Folder Name"},
    {"FileSize", "File Size"},
    {"DateModified", "Date Modified"},
    {"TimeModified", "Time Modified"},
    {"AttributeStr", "Attribute"},
    {"AutoInc", "AutoInc"},
    {"CategoryCode", "CategoryCode"},
    {"CatalogedFrom", "CatalogedFrom"},
    {"FTag", "FTag"},
};
constexpr int kCleanupVisibleColumns = 8;
constexpr const char* kCleanupDateMask = "mm/dd/yyyy";
constexpr const char* kCleanupTimeMask = "hh:mm:ss";

std::string CleanupCount(int64_t N) {
    return FormatFloat(kCleanupCountFormat, static_cast<double>(N));
}

// The squelch rule of the tools' settings alone (no disks squelched for this run).
const TDiskFillSquelch& NoRunSquelch() {
    static const TDiskFillSquelch None;
    return None;
}

}  // namespace

std::string CleanupNameKey(const std::string& FileName, bool UseVersions) {
    return reports::DupUniqueKey(FileName, UseVersions, false);
}

std::string RetrieveDestinationError(const std::string& Destination) {
    if (Trim(Destination).empty()) return "The Destination For Retrieved Files Cannot Be Blank";
    const char Letter = Destination.size() >= 2 ? AnsiUpperChar(Destination[0]) : '\0';
    if (Letter < 'A' || Letter > 'Z' || Destination[1] != ':')
        return "The Destination For Retrieved Files Must Contain A Drive Letter";
    return {};
}

// ---- The window ---------------------------------------------------------------------------------

TDupCleanForm::TDupCleanForm(TComponent* AOwner) : TForm(AOwner) {
    SetName("DupCleanForm");
    SetCaption("Duplicate/Redundant File Cleanup");
    Position = poScreenCenter;
    SetClientSize(780, 480);
    Constraints().SetMinWidth(640);
    Constraints().SetMinHeight(350);

    // Top row: squelch settings, the versions and squelch options, the pattern, the catalog.
    TopPanel = catalog::NewPanel(*this, *this, "TopPanel", 0, 0, 780, 40, bvNone);
    TopPanel->SetAlign(alTop);
    SquelchManagementBtn =
        catalog::NewControl<TSpeedButton>(*this, *TopPanel, "SquelchManagementBtn", 6, 8, 25, 25);
    SquelchManagementBtn->Hint = "Manage Squelched Disk Specifications";
    SquelchManagementBtn->SetShowHint(true);
    SquelchManagementBtn->OnClick = [this](TObject*) { SquelchManagementBtnClick(); };
    VersionsPanel = catalog::NewPanel(*this, *TopPanel, "VersionsPanel", 36, 2, 130, 36, bvNone);
    UseVersions = catalog::NewControl<TCheckBox>(*this, *VersionsPanel, "UseVersions", 0, 2, 128, 17);
    UseVersions->SetCaption("Versions Feature");
    UseVersions->OnClick = [this](TObject*) { UseVersionsClick(); };
    IgnoreSquelched = catalog::NewControl<TCheckBox>(*this, *TopPanel, "IgnoreSquelched", 36, 20, 128, 17);
    IgnoreSquelched->SetCaption("Ignore Squelched");
    IgnoreSquelched->OnClick = [this](TObject*) { IgnoreSquelchedClick(); };
    PatternLabel = catalog::NewLabel(*this, *TopPanel, "PatternLabel", 172, 13, 100, "Pattern To Match:");
    PatternEdit = catalog::NewControl<TEdit>(*this, *TopPanel, "PatternEdit", 274, 9, 110, 23);
    PatternEdit->SetCharCase(ecUpperCase);
    PatternEdit->SetText("*");
    PatternEdit->OnExit = [this](TObject*) { PatternEditExit(); };
    ApplyBtn = catalog::NewControl<TButton>(*this, *TopPanel, "ApplyBtn", 390, 8, 60, 25);
    ApplyBtn->SetCaption("A&pply");
    ApplyBtn->SetDefault(true);
    ApplyBtn->OnClick = [this](TObject*) { ApplyBtnClick(); };
    const TActiveCatalogPanel Catalog =
        NewActiveCatalogPanel(*this, *TopPanel, 460, 3, 312, [this] { Panel6Click(); });
    Panel6 = Catalog.Panel;
    ActiveCatalogCaption = Catalog.Caption;
    ActiveCatalogName = Catalog.Name;

    // The counters.
    CounterPanel = catalog::NewPanel(*this, *this, "CounterPanel", 0, 40, 780, 40, bvNone);
    CounterPanel->SetAlign(alTop);
    NewListCounters(*this, *CounterPanel, *this);

    // The buttons.
    ButtonPanel = catalog::NewPanel(*this, *this, "ButtonPanel", 0, 440, 780, 40, bvNone);
    ButtonPanel->SetAlign(alBottom);
    auto Button = [this](const char* Name, const char* Caption, int Column) {
        auto* B = catalog::NewControl<TButton>(*this, *ButtonPanel, Name, 6 + Column * 90, 7, 86, 27);
        B->SetCaption(Caption);
        return B;
    };
    TagAllBtn = Button("TagAllBtn", "&Tag All", 0);
    ClearTagsBtn = Button("ClearTagsBtn", "C&lear Tags", 1);
    TagSeveralBtn = Button("TagSeveralBtn", "Tag &Several", 2);
    UntagSeveralBtn = Button("UntagSeveralBtn", "&Untag Several", 3);
    InvertTagsBtn = Button("InvertTagsBtn", "&Invert Tags", 4);
    EraseBtn = Button("EraseBtn", "&Erase Tagged", 5);
    RetrieveBtn = Button("RetrieveBtn", "&Retrieve Tagged", 5);
    RetrieveBtn->SetVisible(false);
    RetrieveBtn->SetEnabled(false);
    CloseBtn = catalog::NewDialogButton(*this, *ButtonPanel, "CloseBtn", bkClose, 560, 7);
    HelpBtn = catalog::NewDialogButton(*this, *ButtonPanel, "HelpBtn", bkHelp, 670, 7, &HelpContext);
    TagAllBtn->OnClick = [this](TObject*) { TagAllBtnClick(); };
    ClearTagsBtn->OnClick = [this](TObject*) { ClearTagsBtnClick(); };
    TagSeveralBtn->OnClick = [this](TObject*) { TagSeveralBtnClick(); };
    UntagSeveralBtn->OnClick = [this](TObject*) { UntagSeveralBtnClick(); };
    InvertTagsBtn->OnClick = [this](TObject*) { InvertTagsBtnClick(); };
    EraseBtn->OnClick = [this](TObject*) { EraseBtnClick(); };
    RetrieveBtn->OnClick = [this](TObject*) { EraseBtnClick(); };

    // Below the grid: the entry's comment, category and origin.
    CommentPanel = catalog::NewPanel(*this, *this, "CommentPanel", 0, 360, 780, 80, bvNone);
    CommentPanel->SetAlign(alBottom);
    CommentMemo = catalog::NewControl<TMemo>(*this, *CommentPanel, "CommentMemo", 4, 2, 500, 76);
    CommentMemo->SetReadOnly(true);
    CategoryLabel = catalog::NewLabel(*this, *CommentPanel, "CategoryLabel", 512, 4, 260, "Category");
    CategoryText = catalog::NewLabel(*this, *CommentPanel, "CategoryText", 512, 20, 260, "");
    CatalogedFromLabel =
        catalog::NewLabel(*this, *CommentPanel, "CatalogedFromLabel", 512, 42, 260, "Cataloged From");
    CatalogedFromText = catalog::NewLabel(*this, *CommentPanel, "CatalogedFromText", 512, 58, 260, "");

    // The tables.
    auto Table = [this](const char* Name) {
        auto* T = NewComponent<dbsql::TDbTable>(this);
        T->SetName(Name);
        return T;
    };
    ResultTable = Table("ResultTable");
    SummaryTable = Table("SummaryTable");
    SrchCatalogTable = Table("SrchCatalogTable");
    CmtCatalogTable = Table("CmtCatalogTable");
    CategoryTable = Table("CategoryTable");
    ResultSource = NewComponent<TDataSource>(this);
    ResultSource->SetName("ResultSource");
    ResultSource->SetDataSet(ResultTable);
    ResultSource->AutoEdit = false;
    ResultSource->OnDataChange = [this](TObject*, TField*) { ShowRowDetails(); };

    // The grid.
    Grid = catalog::NewControl<grid::TCtlDbTable>(*this, *this, "Grid", 0, 80, 780, 280);
    Grid->SetAlign(alClient);
    auto* Head = NewComponent<grid::TCtlTCColHead>(this);
    Head->SetName("GridHead");
    Head->SetShowLetters(false);
    for (const TCleanupColumn& C : kCleanupColumns) Head->Headings().Add(C.Heading);
    Grid->SetHeaderCell(Head);
    Grid->SetHeaderOptions(grid::CtlHeaderOption(grid::hoShowHeader) |
                           grid::CtlHeaderOption(grid::hoUseHeaderCell) |
                           grid::CtlHeaderOption(grid::hoUseStrings));
    Grid->SetOptions(grid::CtlDbOption(grid::dtoHighlightActiveRow) |
                     grid::CtlDbOption(grid::dtoAllowColumnSize));
    Grid->Columns().Clear();
    auto* Box = NewComponent<grid::TCtlTCCheckBox>(this);
    Box->SetName("GridTagCell");
    Box->SetAccess(grid::otxReadOnly);
    auto* Text = NewComponent<grid::TCtlTCString>(this);
    Text->SetName("GridTextCell");
    Text->SetAccess(grid::otxReadOnly);
    auto* Centred = NewComponent<grid::TCtlTCString>(this);
    Centred->SetName("GridCentredCell");
    Centred->SetAccess(grid::otxReadOnly);
    Centred->SetAdjust(grid::otaCenter);
    Centred->SetMaxLength(8);
    auto* Size = NewComponent<grid::TCtlTCNumericField>(this);
    Size->SetName("GridSizeCell");
    Size->SetPictureMask("###,###,###,###,###");
    Size->SetAdjust(grid::otaCenterRight);
    Size->SetAccess(grid::otxReadOnly);
    auto Stamp = [this](const char* Name, entry::TPictureDataType Type, const char* Mask) {
        auto* C = NewComponent<grid::TCtlTCPictureField>(this);
        C->SetName(Name);
        C->SetDataType(Type);
        C->SetPictureMask(Mask);
        C->SetAdjust(grid::otaCenter);
        C->SetAccess(grid::otxReadOnly);
        return C;
    };
    grid::TCtlBaseTableCell* Cells[] = {Box,
                                        Text,
                                        Text,
                                        Text,
                                        Size,
                                        Stamp("GridDateCell", entry::pftDate, kCleanupDateMask),
                                        Stamp("GridTimeCell", entry::pftTime, kCleanupTimeMask),
                                        Centred};
    for (size_t I = 0; I < std::size(kCleanupColumns); ++I) {
        auto* Column = new grid::TCtlDbTableColumn(Grid);
        Column->SetWidth(I == 0 ? 30 : 80);
        Column->SetDataField(kCleanupColumns[I].Field);
        Grid->Columns().Append(Column);
        Column->SetDefaultCell(I < kCleanupVisibleColumns ? Cells[I] : Text);
        if (int(I) >= kCleanupVisibleColumns) Column->SetHidden(true);
    }
    Grid->SetLockedColumns(1);
    Grid->SetDataSource(ResultSource);
    Grid->OnLockedCellClick = [this](TObject*, int32_t Row, int32_t) { GridLockedCellClick(Row); };
    Grid->OnGetCellAttributes = [this](TObject*, int32_t Row, int32_t Col, grid::TCtlCellAttributes& Attr) {
        if (Row < 0 || Col == 0 || Retrieving() || !ResultTable->Active() || ResultTable->IsEmpty()) return;
        if (!IsEntrySquelched()) return;
        Attr.Color = kSquelchedColor;
        Attr.FontColor = clBlack;
    };

    // The erase panel.
    auto PanelLabel = [this](TPanel* P, const char* Name, int Top, const char* Caption) {
        return catalog::NewLabel(*this, *P, Name, 10, Top, 740, Caption);
    };
    auto PanelButton = [this](TPanel* P, const char* Name, const char* Caption, int Left, int Top,
                              int Width) {
        auto* B = catalog::NewControl<TBitBtn>(*this, *P, Name, Left, Top, Width, 27);
        B->SetCaption(Caption);
        return B;
    };
    ErasePanel = catalog::NewPanel(*this, *this, "ErasePanel", 0, 80, 780, 360, bvRaised);
    ErasePanel->SetAlign(alClient);
    ErasePanel->SetCaption("");
    PanelLabel(ErasePanel, "EraseHeading", 8, "File Erase Control Panel")->Font().Style = fsBold;
    EraseInfo = PanelLabel(ErasePanel, "EraseInfo", 40, "");
    EraseInfo->Font().Style = fsBold;
    EraseInfo->Font().Color = clMaroon;
    EraseInfo->Font().SetSize(10);
    EraseInfo->SetAutoSize(false);
    FEraseDriveLabel = PanelLabel(ErasePanel, "", 120, "Erase Files From Drive");
    EraseDriveSelect =
        catalog::NewControl<TDriveComboBox>(*this, *ErasePanel, "EraseDriveSelect", 160, 116, 200, 23);
    EraseDriveSelect->OnChange = [this](TObject*) { EraseDriveSelectChange(); };
    auto Check = [this](const char* Name, const char* Caption, int Top, bool Checked) {
        auto* C = catalog::NewControl<TCheckBox>(*this, *ErasePanel, Name, 400, Top, 340, 17);
        C->SetCaption(Caption);
        C->SetChecked(Checked);
        return C;
    };
    EraseReCatalog = Check("EraseReCatalog", "Re-Catalog Disk After Erasing Files", 110, true);
    EraseCatalogSubFolders = Check("EraseCatalogSubFolders", "Catalog Sub-Folders On Disk", 130, true);
    EraseIgnoreRecycleBin =
        Check("EraseIgnoreRecycleBin", "Skip Files In The Windows Recycle Bin", 150, true);
    EraseTempDBInMem = Check("EraseTempDBInMem", "Keep Temporary Databases In Memory", 170, false);
    ErasePause = Check("ErasePause", "Pause After Re-Cataloging", 190, false);
    StartEraseBtn = PanelButton(ErasePanel, "StartEraseBtn", "&Start Erasing Files", 380, 240, 160);
    CancelEraseBtn = PanelButton(ErasePanel, "CancelEraseBtn", "C&ancel Erase Operation", 550, 240, 170);
    EraseSkipDiskBtn = PanelButton(ErasePanel, "EraseSkipDiskBtn", "&Skip This Disk", 230, 240, 140);
    EraseSkipFileBtn = PanelButton(ErasePanel, "EraseSkipFileBtn", "Skip This &File", 80, 240, 140);
    EraseAbortBtn = PanelButton(ErasePanel, "EraseAbortBtn", "C&ancel Erase Operation", 550, 240, 170);
    StartEraseBtn->OnClick = [this](TObject*) { StartEraseBtnClick(); };
    CancelEraseBtn->OnClick = [this](TObject*) { CancelEraseBtnClick(); };
    EraseSkipDiskBtn->OnClick = [this](TObject*) { EraseSkipDiskBtnClick(); };
    EraseSkipFileBtn->OnClick = [this](TObject*) { SkipFile = true; };
    EraseAbortBtn->OnClick = [this](TObject*) { Abort = true; };

    // The retrieve panel.
    RetrievePanel = catalog::NewPanel(*this, *this, "RetrievePanel", 0, 80, 780, 360, bvRaised);
    RetrievePanel->SetAlign(alClient);
    RetrievePanel->SetCaption("");
    PanelLabel(RetrievePanel, "RetrieveHeading", 8, "File Retrieve Control Panel")->Font().Style = fsBold;
    RetrieveInfo = PanelLabel(RetrievePanel, "RetrieveInfo", 40, "");
    RetrieveInfo->Font().Style = fsBold;
    RetrieveInfo->Font().Color = clMaroon;
    RetrieveInfo->Font().SetSize(10);
    RetrieveInfo->SetAutoSize(false);
    FRetrieveDestinationLabel = PanelLabel(RetrievePanel, "", 100, "Destination For Retrieved Files");
    RetrieveDestination =
        catalog::NewControl<TEdit>(*this, *RetrievePanel, "RetrieveDestination", 10, 116, 585, 23);
    RetrieveDestination->SetText("C:\\");
    RetrieveNavigateDirBtn = catalog::NewControl<entry::TCtlAttachedButton>(
        *this, *RetrievePanel, "RetrieveNavigateDirBtn", 596, 116, 23, 23);
    RetrieveNavigateDirBtn->Hint = "Navigate To Destination";
    RetrieveNavigateDirBtn->SetShowHint(true);
    RetrieveNavigateDirBtn->SetAttachedControl(RetrieveDestination);
    RetrieveNavigateDirBtn->OnClick = [this](TObject*) { RetrieveNavigateDirBtnClick(); };
    FRetrieveDriveLabel = PanelLabel(RetrievePanel, "", 150, "Source Drive Selection");
    RetrieveDriveSelect =
        catalog::NewControl<TDriveComboBox>(*this, *RetrievePanel, "RetrieveDriveSelect", 160, 146, 200, 23);
    RetrieveDriveSelect->OnChange = [this](TObject*) { RetrieveDriveSelectChange(); };
    StartRetrieveBtn =
        PanelButton(RetrievePanel, "StartRetrieveBtn", "&Start Retrieving Files", 380, 240, 160);
    CancelRetrieveBtn =
        PanelButton(RetrievePanel, "CancelRetrieveBtn", "C&ancel Retrieve Operation", 550, 240, 170);
    RetrieveSkipDiskBtn = PanelButton(RetrievePanel, "RetrieveSkipDiskBtn", "&Skip This Disk", 230, 240, 140);
    RetrieveSkipFileBtn = PanelButton(RetrievePanel, "RetrieveSkipFileBtn", "Skip This &File", 80, 240, 140);
    RetrieveAbortBtn =
        PanelButton(RetrievePanel, "RetrieveAbortBtn", "C&ancel Retrieve Operation", 550, 240, 170);
    RetrieveProgressPanel =
        catalog::NewPanel(*this, *RetrievePanel, "RetrieveProgressPanel", 10, 190, 740, 24, bvNone);
    RetrieveProgressBar = catalog::NewControl<kit::TCoolGauge>(*this, *RetrieveProgressPanel,
                                                               "RetrieveProgressBar", 0, 0, 740, 24);
    RetrieveProgressPanel->SetVisible(false);
    StartRetrieveBtn->OnClick = [this](TObject*) { StartRetrieveBtnClick(); };
    CancelRetrieveBtn->OnClick = [this](TObject*) { CancelEraseBtnClick(); };
    RetrieveSkipDiskBtn->OnClick = [this](TObject*) { RetrieveSkipDiskBtnClick(); };
    RetrieveSkipFileBtn->OnClick = [this](TObject*) { SkipFile = true; };
    RetrieveAbortBtn->OnClick = [this](TObject*) { Abort = true; };
    for (TBitBtn* B : {EraseSkipFileBtn, EraseAbortBtn, RetrieveSkipFileBtn, RetrieveAbortBtn}) {
        B->SetVisible(false);
        B->SetEnabled(false);
    }

    // Saved state, one section for the three modes.
    Store = NewComponent<entry::TCtlRegistryStore>(this);
    Store->SetName("Store");
    FormState = NewComponent<entry::TCtlFormState>(this);
    FormState->SetName("FormState");
    FormState->SetStorage(Store);
    FormState->SetSection("TDupCleanForm");
    ComponentState = NewComponent<entry::TCtlComponentState>(this);
    ComponentState->SetName("ComponentState");
    ComponentState->SetStorage(Store);
    ComponentState->SetSection("TDupCleanForm");
    ComponentState->StoredProperties().SetText(
        "UseVersions.Checked\nIgnoreSquelched.Checked\nRetrieveDestination.Text\nEraseReCatalog.Checked\n"
        "EraseCatalogSubFolders.Checked\nEraseIgnoreRecycleBin.Checked\nEraseTempDBInMem.Checked\n"
        "ErasePause.Checked\n");

    // The tables of the current catalog.
    ActiveCatalogName->SetCaption(catalog::CurrentCatalogName);
    OpenWindowTables();
    ResultTable->SetDatabaseName(catalog::CatalogDataFolder);
    ResultTable->SetTableName("Temp001");

    OnResize = [this](TObject*) { FormResize(); };
    FormResize();
}

TDupCleanForm::~TDupCleanForm() {
    OnResize = nullptr;
    ResultSource->OnDataChange = nullptr;
}

void TDupCleanForm::OpenWindowTables() {
    CategoryTable->Close();
    CategoryTable->SetDatabaseName(catalog::ProgramFolder);
    CategoryTable->SetTableName("Categories");
    SummaryTable->Close();
    SummaryTable->SetDatabaseName(catalog::CatalogDataFolder);
    SummaryTable->SetTableName(catalog::CurrentCatalogName + "_SUM");
    CmtCatalogTable->Close();
    CmtCatalogTable->SetDatabaseName(catalog::CatalogDataFolder);
    CmtCatalogTable->SetTableName(catalog::CurrentCatalogName + "_CAT");
    CmtCatalogTable->SetIndexName("ByTag");
    SrchCatalogTable->Close();
    SrchCatalogTable->SetDatabaseName(catalog::CatalogDataFolder);
    SrchCatalogTable->SetTableName(catalog::CurrentCatalogName + "_CAT");
    CategoryTable->Open();
    SummaryTable->Open();
    CmtCatalogTable->Open();
}

void TDupCleanForm::CloseWindowTables() {
    CmtCatalogTable->Close();
    SummaryTable->Close();
    SrchCatalogTable->Close();
    CategoryTable->Close();
}

void TDupCleanForm::DoShow() {
    TForm::DoShow();
    FormShow();
}

void TDupCleanForm::FormShow() {
    Grid->SetVisible(true);
    Grid->SetEnabled(true);
    for (TPanel* P : {ErasePanel, RetrievePanel}) {
        P->SetVisible(false);
        P->SetEnabled(false);
    }
    if (Retrieving()) {
        EraseBtn->SetVisible(false);
        EraseBtn->SetEnabled(false);
        RetrieveBtn->SetVisible(true);
        RetrieveBtn->SetEnabled(true);
    }
    CreateList();
    WindowShown = true;
}

void TDupCleanForm::DoClose(TCloseAction& Action) {
    FormClose();
    TForm::DoClose(Action);
}

void TDupCleanForm::FormClose() {
    try {
        ResultTable->Close();
        if (ResultTable->Exists()) ResultTable->DeleteTable();
    } catch (const std::exception&) {
        // A result table that cannot be deleted stays behind; the window closes anyway.
    }
}

void TDupCleanForm::FormResize() {
    LayoutListCounters(*this, CounterPanel->Width());
    // The visible control panel: the info line a third down, the controls below it, the buttons
    // two thirds down (never over the controls).
    const int Height = (Retrieving() ? RetrievePanel : ErasePanel)->Height();
    const int Top = (Height - 71) / 3 + 6;
    for (TLabel* Info : {EraseInfo, RetrieveInfo}) {
        Info->SetTop(Top);
        Info->SetWidth(Width() - 40);
    }
    FEraseDriveLabel->SetTop(Top + 34);
    EraseDriveSelect->SetTop(Top + 30);
    const std::pair<TCheckBox*, TPoint> Boxes[] = {{EraseReCatalog, {10, 60}},
                                                   {EraseCatalogSubFolders, {10, 80}},
                                                   {EraseIgnoreRecycleBin, {400, 60}},
                                                   {EraseTempDBInMem, {400, 80}},
                                                   {ErasePause, {400, 100}}};
    for (const auto& [Box, At] : Boxes) Box->SetBounds(At.X, Top + At.Y, 340, 17);
    FRetrieveDestinationLabel->SetTop(Top + 30);
    RetrieveDestination->SetTop(Top + 46);
    RetrieveNavigateDirBtn->SetTop(Top + 46);
    FRetrieveDriveLabel->SetTop(Top + 80);
    RetrieveDriveSelect->SetTop(Top + 76);
    RetrieveProgressPanel->SetTop(Top + 106);
    const int Buttons = std::max((Height - 71) / 3 * 2 + 51, Top + 136);
    for (TBitBtn* B :
         {StartEraseBtn, CancelEraseBtn, EraseSkipDiskBtn, EraseSkipFileBtn, EraseAbortBtn, StartRetrieveBtn,
          CancelRetrieveBtn, RetrieveSkipDiskBtn, RetrieveSkipFileBtn, RetrieveAbortBtn})
        B->SetTop(Buttons);
    RetrieveDestination->SetWidth(Width() - 195);
    RetrieveNavigateDirBtn->SetLeft(RetrieveDestination->Left() + RetrieveDestination->Width() + 1);
}

// ---- The result table and the list --------------------------------------------------------------

void TDupCleanForm::MakeResultsTable() {
    SrchCatalogTable->FieldDefs.Update();
    const int NameSize = SrchCatalogTable->FieldDefs.Find("FileName")->Size;
    const int FolderSize = SrchCatalogTable->FieldDefs.Find("FolderName")->Size;
    ResultTable->Close();
    ResultTable->SetDatabaseName(catalog::CatalogDataFolder);
    ResultTable->SetTableName("Temp001");
    if (ResultTable->Exists()) ResultTable->DeleteTable();
    ResultTable->FieldDefs.Clear();
    ResultTable->FieldDefs.Add("Tagged", ftBoolean, 0, true);
    ResultTable->FieldDefs.Add("AutoInc", ftAutoInc, 0, false);
    ResultTable->FieldDefs.Add("FileName", ftString, NameSize, false);
    ResultTable->FieldDefs.Add("VolumeLabel", ftString, 11, true);
    ResultTable->FieldDefs.Add("FolderName", ftString, FolderSize, false);
    ResultTable->FieldDefs.Add("FileSize", ftBCD, 0, false);
    ResultTable->FieldDefs.Add("DateModified", ftDate, 0, false);
    ResultTable->FieldDefs.Add("TimeModified", ftTime, 0, false);
    ResultTable->FieldDefs.Add("AttributeStr", ftString, 8, false);
    ResultTable->FieldDefs.Add("CategoryCode", ftString, 6, false);
    ResultTable->FieldDefs.Add("CatalogedFrom", ftString, 1, false);
    ResultTable->FieldDefs.Add("FTag", ftInteger, 0, true);
    ResultTable->IndexDefs.Clear();
    ResultTable->IndexDefs.Add("", "AutoInc", ixPrimary | ixUnique);
    ResultTable->IndexDefs.Add("ByVolumeLabel", "VolumeLabel;AutoInc", ixUnique);
    ResultTable->CreateTable();
    ResultTable->SetIndexName("");
    ResultTable->Open();
}

int64_t TDupCleanForm::RowBytes() {
    int64_t Bytes = 0;
    if (!TryStrToInt64(ResultTable->FieldByName("FileSize")->AsString(), Bytes)) return 0;
    return Bytes;
}

void TDupCleanForm::WidenColumn(int Column, const std::string& Text) {
    TBitmap Measure;
    Measure.SetSize(1, 1);
    Measure.Canvas().Font.Assign(Grid->Font());
    const int W = Measure.Canvas().TextWidth(Text);
    if (W > FColumnWidths[Column]) FColumnWidths[Column] = W;
}

void TDupCleanForm::WriteResultRow(const TCleanupEntry& Entry) {
    std::string From;
    if (SummaryTable->Active() && SummaryTable->FindKey({Variant(Entry.VolumeLabel)}))
        From = SummaryTable->FieldByName("CatalogedFrom")->AsString();
    ResultTable->Append();
    ResultTable->FieldByName("Tagged")->SetAsBoolean(false);
    ResultTable->FieldByName("FileName")->SetAsString(Entry.FileName);
    ResultTable->FieldByName("VolumeLabel")->SetAsString(Entry.VolumeLabel);
    ResultTable->FieldByName("FolderName")->SetAsString(Entry.FolderName);
    if (!Entry.FileSize.empty()) ResultTable->FieldByName("FileSize")->SetAsString(Entry.FileSize);
    if (Entry.HasDate) ResultTable->FieldByName("DateModified")->SetAsDateTime(Entry.Date);
    if (Entry.HasTime) ResultTable->FieldByName("TimeModified")->SetAsDateTime(Entry.Time);
    const std::string Attr = catalog::EntryAttributeLetters(Entry.Attribute);
    ResultTable->FieldByName("AttributeStr")->SetAsString(Attr);
    ResultTable->FieldByName("CategoryCode")->SetAsString(Entry.CategoryCode);
    ResultTable->FieldByName("CatalogedFrom")->SetAsString(From.substr(0, 1));
    ResultTable->FieldByName("FTag")->SetAsInteger(Entry.Tag);
    ResultTable->Post();
    int64_t Bytes = 0;
    if (!TryStrToInt64(Entry.FileSize, Bytes)) Bytes = 0;
    ++FilesInList;
    BytesInList += Bytes;
    WidenColumn(0, Entry.FileName);
    WidenColumn(1, Entry.VolumeLabel);
    WidenColumn(2, Entry.FolderName);
    WidenColumn(3, CleanupCount(Bytes));
    if (Entry.HasDate) WidenColumn(4, FormatDateTime(kCleanupDateMask, Entry.Date));
    if (Entry.HasTime) WidenColumn(5, FormatDateTime(kCleanupTimeMask, Entry.Time));
    WidenColumn(6, Attr);
}

void TDupCleanForm::CreateList() {
    FScanPattern = PatternEdit->Text();
    static constexpr const char* kStartHeadings[] = {"FileName",  "Volume Label",  "Folder Name",
                                                     "File Size", "Date Modified", "Time Modified",
                                                     "Attribute"};
    for (int I = 0; I < 7; ++I) {
        FColumnWidths[I] = 0;
        WidenColumn(I, kStartHeadings[I]);
    }
    FilesInList = BytesInList = TaggedFiles = TaggedBytes = 0;
    if (Mode == 0)
        ScanForDuplicates();
    else
        ScanForPattern();
    ShowCleanupCounters();
    for (int I = 0; I < 7; ++I) Grid->Column(I + 1)->SetWidth(FColumnWidths[I] + 8);
}

void TDupCleanForm::ShowCleanupCounters() {
    ShowListCounterValues(*this, FilesInList, BytesInList, TaggedFiles, TaggedBytes);
}

void TDupCleanForm::ScanForPattern() {
    RunScan("Scanning For Matching Files", false);
}

void TDupCleanForm::ScanForDuplicates() {
    RunScan("Scanning For Duplicate/Redundant Files", true);
}

// Both scans: one pass over the catalog in its primary order. The pattern scan writes every plain
// file that matches; the duplicate scan writes the runs of neighbouring plain files with equal keys.
// The primary order puts names that differ only in letter case next to each other, so a run of
// neighbours is gathered by the key without regard to case, and within it the entries whose key is
// exactly equal to another's form a group, wherever another spelling lies between them.
void TDupCleanForm::RunScan(const char* Caption, bool Duplicates) {
    catalog::TProgressForm* Progress = catalog::ProgressForm;
    if (Progress) Progress->ShowForm(Caption, true);
    Application->ProcessMessages();
    SetEnabled(false);
    bool Normal = false;
    std::vector<TCleanupEntry> Run;
    std::string RunKey;
    auto FlushRun = [&] {
        for (size_t I = 0; I < Run.size(); ++I) {
            const std::string Key = CleanupNameKey(Run[I].FileName, UseVersions->Checked());
            size_t Same = 0;
            for (const TCleanupEntry& Other : Run)
                if (CleanupNameKey(Other.FileName, UseVersions->Checked()) == Key) ++Same;
            if (Same >= 2) WriteResultRow(Run[I]);
        }
        Run.clear();
    };
    try {
        MakeResultsTable();
        SrchCatalogTable->SetIndexName("");
        SrchCatalogTable->Open();
        ResultTable->DisableControls();
        const TMask Pattern(Trim(FScanPattern));
        TField* Name = SrchCatalogTable->FieldByName("FileName");
        TField* Volume = SrchCatalogTable->FieldByName("VolumeLabel");
        TField* Folder = SrchCatalogTable->FieldByName("FolderName");
        TField* Archive = SrchCatalogTable->FieldByName("ArchiveID");
        TField* Size = SrchCatalogTable->FieldByName("FileSize");
        TField* Date = SrchCatalogTable->FieldByName("DateModified");
        TField* Time = SrchCatalogTable->FieldByName("TimeModified");
        TField* Attr = SrchCatalogTable->FieldByName("Attribute");
        TField* Category = SrchCatalogTable->FieldByName("CategoryCode");
        TField* Tag = SrchCatalogTable->FieldByName("Tag");
        const int Total = SrchCatalogTable->RecordCount();
        int Done = 0, Shown = 0;
        for (SrchCatalogTable->First(); !SrchCatalogTable->Eof();) {
            if (Progress && Progress->CancelPressed) {
                platform::MessageBeep(platform::MB_ICONASTERISK);
                MessageDlg(
                    "You Cancelled This Operation - Korvane Will Show You What It Found, But The List May "
                    "Not Be Complete",
                    mtInformation, {mbOK}, 0);
                break;
            }
            if (Trim(Archive->AsString()).empty() && Pattern.Matches(Name->AsString())) {
                TCleanupEntry E;
                E.FileName = Name->AsString();
                E.VolumeLabel = Volume->AsString();
                E.FolderName = Folder->AsString();
                E.FileSize = Size->AsString();
                E.HasDate = !Date->IsNull();
                E.Date = E.HasDate ? Date->AsDateTime() : 0;
                E.HasTime = !Time->IsNull();
                E.Time = E.HasTime ? Time->AsDateTime() : 0;
                E.Attribute = Attr->AsInteger();
                E.CategoryCode = Category->AsString();
                E.Tag = Tag->AsInteger();
                if (!Duplicates) {
                    WriteResultRow(E);
                } else {
                    const std::string Folded =
                        AnsiUpperCase(CleanupNameKey(E.FileName, UseVersions->Checked()));
                    if (Folded != RunKey) FlushRun();
                    RunKey = Folded;
                    Run.push_back(std::move(E));
                }
            }
            ++Done;
            if (Total > 0 && Done * 100 / Total != Shown) {
                Shown = Done * 100 / Total;
                if (Progress) Progress->ProgressBar->SetProgress(Shown);
            }
            SrchCatalogTable->Next();
            Application->ProcessMessages();
        }
        FlushRun();
        Normal = true;
    } catch (const std::exception& E) {
        if (ResultTable->Active() && ResultTable->State() != dsBrowse) ResultTable->Cancel();
        catalog::ErrorBox(E.what());
    }
    SrchCatalogTable->Close();
    SetEnabled(true);
    if (Progress) Progress->HideForm();
    if (ResultTable->Active()) {
        if (Normal) ResultTable->First();
        ResultTable->EnableControls();
    }
}

// ---- Row details ----------------------------------------------------------------------------------

void TDupCleanForm::ShowRowDetails() {
    std::string Comment, Category, From;
    if (ResultTable->Active() && !ResultTable->IsEmpty()) {
        try {
            if (CmtCatalogTable->Active() &&
                CmtCatalogTable->FindKey({Variant(ResultTable->FieldByName("FTag")->AsInteger())}))
                Comment = CmtCatalogTable->FieldByName("Comment")->AsString();
            const std::string Code = ResultTable->FieldByName("CategoryCode")->AsString();
            Category = Code;
            if (!Trim(Code).empty() && CategoryTable->Active() && CategoryTable->FindKey({Variant(Code)}))
                Category += "  " + CategoryTable->FieldByName("Description")->AsString();
            From = ResultTable->FieldByName("CatalogedFrom")->AsString();
        } catch (const std::exception&) {
            // The details stay blank when a table cannot be read.
        }
    }
    CommentMemo->SetText(Comment);
    CategoryText->SetCaption(Category);
    CatalogedFromText->SetCaption(From);
}

// ---- Options and commands -------------------------------------------------------------------------

void TDupCleanForm::UseVersionsClick() {
    if (WindowShown) CreateList();
}

void TDupCleanForm::IgnoreSquelchedClick() {
    if (WindowShown) Grid->Invalidate();
}

void TDupCleanForm::PatternEditExit() {
    if (PatternEdit->Text() != FScanPattern) CreateList();
}

void TDupCleanForm::ApplyBtnClick() {
    if (ApplyBtn->CanFocus()) ApplyBtn->SetFocus();
}

void TDupCleanForm::Panel6Click() {
    const std::string Before = catalog::CurrentCatalogName;
    {
        std::unique_ptr<catalog::TSelectCatalogForm> Select(new catalog::TSelectCatalogForm(Application));
        Select->ShowModal();
    }
    ActiveCatalogName->SetCaption(catalog::CurrentCatalogName);
    if (catalog::CurrentCatalogName == Before) return;
    try {
        OpenWindowTables();
    } catch (const std::exception& E) {
        catalog::ErrorBox(E.what());
        return;
    }
    CreateList();
}

void TDupCleanForm::SquelchManagementBtnClick() {
    catalog::ShowToolsSettingsForm(1);
}

// ---- Squelching and tags --------------------------------------------------------------------------

bool TDupCleanForm::IsEntrySquelched() {
    if (Retrieving() || IgnoreSquelched->Checked()) return false;
    return NoRunSquelch().IsDiskSquelched(ResultTable->FieldByName("VolumeLabel")->AsString(),
                                          ResultTable->FieldByName("CatalogedFrom")->AsString(),
                                          catalog::CleanupSquelch, false);
}

void TDupCleanForm::TagResultRow() {
    if (ResultTable->FieldByName("Tagged")->AsBoolean()) return;
    ++TaggedFiles;
    TaggedBytes += RowBytes();
    ResultTable->Edit();
    ResultTable->FieldByName("Tagged")->SetAsBoolean(true);
    ResultTable->Post();
}

void TDupCleanForm::UntagResultRow() {
    if (!ResultTable->FieldByName("Tagged")->AsBoolean()) return;
    --TaggedFiles;
    TaggedBytes -= RowBytes();
    ResultTable->Edit();
    ResultTable->FieldByName("Tagged")->SetAsBoolean(false);
    ResultTable->Post();
}

void TDupCleanForm::ToggleResultRow(bool Refresh) {
    if (ResultTable->FieldByName("Tagged")->AsBoolean())
        UntagResultRow();
    else if (!IsEntrySquelched())
        TagResultRow();
    if (Refresh) ShowCleanupCounters();
}

void TDupCleanForm::GridLockedCellClick(int32_t Row) {
    if (Row < 0 || !ResultTable->Active() || ResultTable->IsEmpty()) return;
    Grid->SetActiveRow(Row);
    ToggleResultRow(true);
    ResultTable->Refresh();
}

void TDupCleanForm::ApplyToAllRows(const std::string& Mask, TTagAction Action) {
    static constexpr const char* kCaptions[] = {
        "Tagging All Files", "UnTagging All Files", "Tagging Files Matching The Specified Filespec",
        "UnTagging Files Matching The Specified Filespec", "Inverting All Tags"};
    if (!ResultTable->Active()) return;
    std::unique_ptr<TMask> Compiled;
    if (Action == TTagAction::TagMatching || Action == TTagAction::UntagMatching) {
        // Compiled before any row changes: a malformed mask changes no tag.
        try {
            Compiled = std::make_unique<TMask>(Mask);
        } catch (const std::exception& E) {
            catalog::ErrorBox(E.what());
            return;
        }
    }
    catalog::TProgressForm* Progress = catalog::ProgressForm;
    if (Progress) Progress->ShowForm(kCaptions[static_cast<int>(Action)], false);
    TBookmark Mark = ResultTable->GetBookmark();
    ResultTable->DisableControls();
    {
        TToolBusyCursor Hourglass;
        const int Total = ResultTable->RecordCount();
        int Done = 0;
        for (ResultTable->First(); !ResultTable->Eof(); ResultTable->Next()) {
            ++Done;
            if (!IsEntrySquelched()) {
                switch (Action) {
                    case TTagAction::TagAll:
                        TagResultRow();
                        break;
                    case TTagAction::ClearTags:
                        UntagResultRow();
                        break;
                    case TTagAction::TagMatching:
                        if (Compiled->Matches(ResultTable->FieldByName("FileName")->AsString()))
                            TagResultRow();
                        break;
                    case TTagAction::UntagMatching:
                        if (Compiled->Matches(ResultTable->FieldByName("FileName")->AsString()))
                            UntagResultRow();
                        break;
                    case TTagAction::Invert:
                        ToggleResultRow(false);
                        break;
                }
            }
            if (Progress && Total > 0) Progress->ProgressBar->SetProgress(Done * 100 / Total);
        }
        ShowCleanupCounters();
        try {
            ResultTable->GotoBookmark(Mark);
        } catch (const std::exception&) {
            // The list keeps the position the pass ended on.
        }
        ResultTable->EnableControls();
    }
    if (Progress) Progress->HideForm();
    ResultTable->Refresh();
}

void TDupCleanForm::TagAllBtnClick() {
    ApplyToAllRows("", TTagAction::TagAll);
}

void TDupCleanForm::ClearTagsBtnClick() {
    ApplyToAllRows("", TTagAction::ClearTags);
}

void TDupCleanForm::InvertTagsBtnClick() {
    ApplyToAllRows("", TTagAction::Invert);
}

namespace {

// The mask of "Tag Several" or "Untag Several"; false when the user cancels.
bool AskCleanupMask(bool Tag, std::string& Mask) {
    std::unique_ptr<catalog::TGetStringForm> Ask(new catalog::TGetStringForm(Application));
    Ask->SetCaption(Tag ? "Tag Several" : "UnTag Several");
    Ask->Prompt->SetCaption(Tag ? "Tag Files Conforming To This Filespec"
                                : "UnTag Files Conforming To This Filespec");
    if (Ask->ShowModal() != mrOk) return false;
    Ask->Hide();
    Mask = Trim(Ask->ResultString->Text());
    return true;
}

}  // namespace

void TDupCleanForm::TagSeveralBtnClick() {
    std::string Mask;
    if (AskCleanupMask(true, Mask)) ApplyToAllRows(Mask, TTagAction::TagMatching);
}

void TDupCleanForm::UntagSeveralBtnClick() {
    std::string Mask;
    if (AskCleanupMask(false, Mask)) ApplyToAllRows(Mask, TTagAction::UntagMatching);
}

// ---- The main window's commands -------------------------------------------------------------------

void ShowDupCleanForm(int Mode) {
    auto* Form = TCustomForm::Create<TDupCleanForm>(Application);
    try {
        Form->Mode = Mode;
        if (Mode == 1) {
            Form->SetCaption("General File Cleanup");
            Form->UseVersions->SetVisible(false);
            Form->UseVersions->SetEnabled(false);
            Form->IgnoreSquelched->SetTop(12);
            Form->SquelchManagementBtn->SetTop(10);
            Form->HelpContext = 83;
        } else if (Mode == 2) {
            Form->SetCaption("Retrieve Cataloged Files");
            for (TCheckBox* C : {Form->UseVersions, Form->IgnoreSquelched}) {
                C->SetVisible(false);
                C->SetEnabled(false);
            }
            Form->VersionsPanel->SetVisible(false);
            Form->HelpContext = 84;
        }
        Form->ShowModal();
    } catch (...) {
        Form->Free();
        throw;
    }
    Form->Free();
}

}  // namespace tools
