#include "reports/directory/ShowDirectoryForm.h"

#include <algorithm>
#include <cctype>
#include <memory>

#include "catalog/CatalogStore.h"
#include "catalog/FormParts.h"
#include "catalog/Globals.h"
#include "catalog/ProgressForm.h"
#include "catalog/TextHelpers.h"
#include "cataloging/dialogs/FileNotFoundForm.h"
#include "cataloging/dialogs/SelectDirectoryForm.h"
#include "cataloging/run/CatalogProgressForm.h"
#include "controls/entry/CtlState.h"
#include "controls/kit/CoolGauge.h"
#include "dbsql/components/DbTable.h"
#include "framework/core/SysUtils.h"
#include "framework/data/DataSource.h"
#include "framework/data/Fields.h"
#include "framework/dbctrls/DBCtrls.h"
#include "framework/dbctrls/DBGrids.h"
#include "framework/stdctrls/Buttons.h"
#include "framework/stdctrls/CheckBox.h"
#include "framework/stdctrls/ComboBox.h"
#include "framework/stdctrls/Dialogs.h"
#include "framework/stdctrls/Edit.h"
#include "framework/stdctrls/ExtCtrls.h"
#include "framework/stdctrls/FileCtrl.h"
#include "framework/stdctrls/GroupBox.h"
#include "framework/stdctrls/Label.h"
#include "framework/stdctrls/Menus.h"
#include "platform/Beep.h"
#include "platform/Process.h"
#include "reports/filereport/FileReportScreenForm.h"
#include "reports/output/ReportButtonRow.h"
#include "reports/output/ReportWindowParts.h"
#include "sysutil/UtSpawn.h"

namespace reports {

using namespace framework;

namespace {

constexpr const char* kDirSizeFormat = "###,###,###,###,##0";
constexpr const char* kDirCountFormat = "#,###,###,##0";
constexpr int kDirSpecWidth = 600;
constexpr int kDirSpecHeight = 363;

// The settings kept between sessions, in the section the Catalog Disk criteria use too.
constexpr const char* kDirStoredProperties =
    "LastDriveLabel.Caption\n"
    "ExpandIndexLabel.Caption\n"
    "Recurse.Checked\n"
    "IgnoreRecycle.Checked\n"
    "KeepInMemory.Checked\n"
    "optHandleARJMulti.Checked\n"
    "optHandleSFXArchives.Checked\n"
    "optGetMainArchiveComment.Checked\n"
    "optCopyMainArchiveComment.Checked\n"
    "optHandleDIZ.Checked\n"
    "optDIZOverride.Checked\n"
    "doARC.Checked\n"
    "doARJ.Checked\n"
    "doDWC.Checked\n"
    "doHYP.Checked\n"
    "doLBR.Checked\n"
    "doLZH.Checked\n"
    "doLZS.Checked\n"
    "doPAK.Checked\n"
    "doRAR.Checked\n"
    "doSQZ.Checked\n"
    "doZIP.Checked\n"
    "doZOO.Checked\n"
    "doCAB.Checked\n"
    "ListWidthLabel.Caption\n"
    "ListHeightLabel.Caption\n"
    "ListLeftLabel.Caption\n"
    "ListTopLabel.Caption\n"
    "AFileName1.Checked\n"
    "BFolderName1.Checked\n"
    "CArchiveID1.Checked\n"
    "DFileSize1.Checked\n"
    "EDateModified1.Checked\n"
    "FTimeModified1.Checked\n"
    "GAttribute1.Checked\n"
    "HComment1.Checked\n"
    "ExpandComment.Checked\n"
    "ShowTotals.Checked\n"
    "FileGrid.Font\n"
    "FileGrid.TitleFont\n"
    "DBMemo1.Font\n";

// A listing column: its pop-up item, the field the grid shows, and the grid's alignments.
struct TDirGridColumn {
    const char* ItemName;
    const char* ItemCaption;
    const char* Field;
    TAlignment Cell;
    TAlignment Title;
};
constexpr TDirGridColumn kDirGridColumns[kDirectoryColumns] = {
    {"AFileName1", "&A. FileName", "FileName", taLeftJustify, taLeftJustify},
    {"BFolderName1", "&B. Folder Name", "FolderName", taLeftJustify, taLeftJustify},
    {"CArchiveID1", "&C. Archive ID", "ArchiveID", taLeftJustify, taLeftJustify},
    {"DFileSize1", "&D. File Size", "FileSize", taRightJustify, taCenter},
    {"EDateModified1", "&E. Date Modified", "DateModified", taCenter, taCenter},
    {"FTimeModified1", "&F. Time Modified", "TimeModified", taCenter, taCenter},
    {"GAttribute1", "&G. Attribute", "AttributeStr", taCenter, taCenter},
    {"HComment1", " &H. Comment", "CommentStr", taLeftJustify, taLeftJustify},
};

std::string DirSizeText(int64_t Value) {
    return FormatFloat(kDirSizeFormat, double(Value));
}

TPanel* DirPanel(TComponent& Owner, TWinControl& Parent, const char* Name, TAlign Align, int Height) {
    auto* panel = NewComponent<TPanel>(&Owner);
    panel->SetName(Name);
    panel->SetParent(&Parent);
    panel->SetBevelOuter(bvNone);
    panel->SetCaption("");
    panel->SetHeight(Height);
    panel->SetAlign(Align);
    return panel;
}

// A label Width wide and 15 high at Left, Top.
TLabel* DirLabel(TComponent& Owner, TWinControl& Parent, const char* Name, int Left, int Top, int Width,
                 const std::string& Caption, TAlignment Align, bool Bold) {
    return NewReportLabel(Owner, Parent, Name ? Name : "", {Left, Top, Left + Width, Top + 15}, Caption,
                          Align, Bold);
}

int KeptNumber(TLabel* Label, bool& Set) {
    const std::string text = Trim(Label->Caption());
    Set = !text.empty();
    return Set ? StrToIntDef(text, 0) : 0;
}

}  // namespace

TShowDirectoryForm::TShowDirectoryForm(TComponent* AOwner) : TForm(AOwner) {
    SetCaption("Directory Of A Disk - Criteria");
    Position = poScreenCenter;
    SetBounds(Left(), Top(), kDirSpecWidth, kDirSpecHeight);
    Constraints().SetMinWidth(kDirSpecWidth);
    Constraints().SetMinHeight(kDirSpecHeight);
    Constraints().SetMaxWidth(kDirSpecWidth);
    Constraints().SetMaxHeight(kDirSpecHeight);

    ReportTable = NewComponent<dbsql::TDbTable>(this);
    ReportTable->SetName("ReportTable");
    ReportTable2 = NewComponent<dbsql::TDbTable>(this);
    ReportTable2->SetName("ReportTable2");
    for (dbsql::TDbTable* t : {ReportTable, ReportTable2})
        t->OnCalcFields = [this](TDataSet* D) { CalcListingFields(D); };
    DataSource1 = NewComponent<TDataSource>(this);
    DataSource1->SetName("DataSource1");
    DataSource1->SetDataSet(ReportTable);
    DataSource1->AutoEdit = false;
    Spawn = NewReportSpawn(*this);

    BuildListingFace();
    BuildCriteriaFace();

    OnShow = [this](TObject*) { FormShow(); };
    OnResize = [this](TObject*) { FormResize(); };
    // Before the state hooks it: the drive and placement are noted, then the settings are saved.
    OnCloseQuery = [this](TObject*, bool& CanClose) { FormCloseQuery(CanClose); };
    Store = NewComponent<entry::TCtlRegistryStore>(this);
    Store->SetName("Store");
    ComponentState = NewComponent<entry::TCtlComponentState>(this);
    ComponentState->SetName("ComponentState");
    ComponentState->SetStorage(Store);
    ComponentState->SetSection("TCatalogDiskSpecForm");
    ComponentState->StoredProperties().SetText(kDirStoredProperties);
    SetActiveControl(BitBtn1);
    for (int i = 0; i < SummaryPanel->ControlCount(); ++i)
        FSummaryLefts.emplace_back(SummaryPanel->Controls(i), SummaryPanel->Controls(i)->Left());
    for (int i = 0; i < TCPanel2->ControlCount(); ++i)
        FCommentLefts.emplace_back(TCPanel2->Controls(i), TCPanel2->Controls(i)->Left());
}

TShowDirectoryForm::~TShowDirectoryForm() {
    OnResize = nullptr;
    CloseReportView(ViewForm, ViewOpen);
}

void TShowDirectoryForm::BuildCriteriaFace() {
    SpecPanel = DirPanel(*this, *this, "SpecPanel", alClient, kDirSpecHeight);
    catalog::NewLabel(*this, *SpecPanel, "DriveLabel", 12, 10, 220, "Read Directory Of Drive:");
    DriveComboBox = catalog::NewControl<TDriveComboBox>(*this, *SpecPanel, "DriveComboBox", 12, 27, 220, 21);
    DriveComboBox->OnChange = [this](TObject*) { DriveComboBoxChange(); };
    catalog::NewLabel(*this, *SpecPanel, "StartDirLabel", 12, 56, 300, "Start Reading From This Folder");
    StartDir = catalog::NewControl<TEdit>(*this, *SpecPanel, "StartDir", 12, 73, 534, 21);
    StartDir->SetReadOnly(true);
    StartDir->SetColor(clBtnFace);
    StartDir->SetTabStop(false);
    SpeedButton1 = catalog::NewControl<TSpeedButton>(*this, *SpecPanel, "SpeedButton1", 552, 72, 24, 23);
    SpeedButton1->SetCaption("...");
    SpeedButton1->Hint = "Select Directory From List";
    SpeedButton1->SetShowHint(true);
    SpeedButton1->OnClick = [this](TObject*) { SpeedButton1Click(); };

    auto check = [this](TWinControl& Parent, const char* Name, int Left, int Top, int Width,
                        const char* Caption, bool Checked) {
        auto* box = catalog::NewControl<TCheckBox>(*this, Parent, Name, Left, Top, Width, 17);
        box->SetCaption(Caption);
        box->SetChecked(Checked);
        return box;
    };
    Recurse = check(*SpecPanel, "Recurse", 12, 100, 300, "Scan All Sub-Folders Within This Folder", true);
    IgnoreRecycle =
        check(*SpecPanel, "IgnoreRecycle", 12, 118, 300, "Skip Files In The Windows Recycle Bin", true);
    KeepInMemory =
        check(*SpecPanel, "KeepInMemory", 12, 136, 300, "Keep Temporary Database(s) In Memory", false);

    catalog::NewLabel(*this, *SpecPanel, "ExpandLabel", 12, 158, 200, "Expand Archives:");
    optExpandArchives =
        catalog::NewControl<TComboBox>(*this, *SpecPanel, "optExpandArchives", 12, 174, 140, 21);
    optExpandArchives->SetStyle(csDropDownList);
    optExpandArchives->Items().Add("Always");
    optExpandArchives->Items().Add("Never");
    optExpandArchives->Items().Add("On Demand");
    optExpandArchives->SetItemIndex(1);
    optHandleARJMulti = check(*SpecPanel, "optHandleARJMulti", 12, 202, 190, "Handle ARJ Multi-Disks", false);
    optHandleSFXArchives =
        check(*SpecPanel, "optHandleSFXArchives", 12, 221, 190, "Handle SFX Archives", false);
    optGetMainArchiveComment =
        check(*SpecPanel, "optGetMainArchiveComment", 12, 240, 190, "Get Main Archive Comment", false);
    optCopyMainArchiveComment =
        check(*SpecPanel, "optCopyMainArchiveComment", 12, 259, 190, "Copy Main Archive Comment", false);
    optHandleDIZ = check(*SpecPanel, "optHandleDIZ", 12, 278, 190, "Handle File_ID.DIZ Comments", false);
    optDIZOverride = check(*SpecPanel, "optDIZOverride", 12, 297, 190, "Override With FILE_ID.DIZ", false);

    FormatGroup = catalog::NewControl<TGroupBox>(*this, *SpecPanel, "FormatGroup", 320, 100, 262, 186);
    FormatGroup->SetCaption("Archive Formats To Process If Necessary");
    struct TFormat {
        TCheckBox** Box;
        const char* Name;
        const char* Caption;
    };
    const TFormat formats[] = {
        {&doARC, "doARC", "ARC"},         {&doARJ, "doARJ", "ARJ"}, {&doDWC, "doDWC", "DWC"},
        {&doHYP, "doHYP", "Hyper"},       {&doLBR, "doLBR", "LBR"}, {&doLZH, "doLZH", "LHArc"},
        {&doLZS, "doLZS", "LARC"},        {&doPAK, "doPAK", "PAK"}, {&doRAR, "doRAR", "RAR"},
        {&doSQZ, "doSQZ", "SQZ"},         {&doZIP, "doZIP", "ZIP"}, {&doZOO, "doZOO", "ZOO"},
        {&doCAB, "doCAB", "Windows CAB"},
    };
    for (size_t i = 0; i < std::size(formats); ++i)
        *formats[i].Box = check(*FormatGroup, formats[i].Name, 10 + int(i % 2) * 130, 20 + int(i / 2) * 23,
                                120, formats[i].Caption, false);
    SelAllBtn = catalog::NewDialogButton(*this, *SpecPanel, "SelAllBtn", bkCustom, 320, 287);
    SelAllBtn->SetCaption("Select &All Archive Formats");
    SelAllBtn->SetWidth(262);
    SelAllBtn->SetHeight(22);
    ClearAllBtn = catalog::NewDialogButton(*this, *SpecPanel, "ClearAllBtn", bkCustom, 320, 310);
    ClearAllBtn->SetCaption("&Clear All Archive Formats");
    ClearAllBtn->SetWidth(262);
    ClearAllBtn->SetHeight(22);
    SelAllBtn->OnClick = [this](TObject* Sender) { SelAllBtnClick(Sender); };
    ClearAllBtn->OnClick = [this](TObject* Sender) { SelAllBtnClick(Sender); };

    BitBtn1 = catalog::NewDialogButton(*this, *SpecPanel, "BitBtn1", bkCustom, 314, 30);
    BitBtn1->SetCaption("&Read Directory");
    BitBtn1->SetWidth(120);
    BitBtn1->SetDefault(true);
    BitBtn1->OnClick = [this](TObject*) { BitBtn1Click(); };
    SpecCloseBtn = catalog::NewDialogButton(*this, *SpecPanel, "SpecCloseBtn", bkClose, 440, 30);
    SpecCloseBtn->SetWidth(68);
    SpecHelpBtn = catalog::NewDialogButton(*this, *SpecPanel, "SpecHelpBtn", bkHelp, 514, 30, &HelpContext);
    SpecHelpBtn->SetWidth(68);

    auto kept = [this](const char* Name) {
        TLabel* l = catalog::NewLabel(*this, *SpecPanel, Name, 0, 0, 10, "");
        l->SetVisible(false);
        return l;
    };
    LastDriveLabel = kept("LastDriveLabel");
    ExpandIndexLabel = kept("ExpandIndexLabel");
    ListWidthLabel = kept("ListWidthLabel");
    ListHeightLabel = kept("ListHeightLabel");
    ListLeftLabel = kept("ListLeftLabel");
    ListTopLabel = kept("ListTopLabel");
}

void TShowDirectoryForm::BuildListingFace() {
    ResultPanel = DirPanel(*this, *this, "ResultPanel", alClient, kDirSpecHeight);
    ResultPanel->SetVisible(false);

    // ---- the volume's figures
    SummaryPanel = DirPanel(*this, *ResultPanel, "SummaryPanel", alTop, 40);
    const char* headings[6] = {"Volume Label", "Disk Size",     "Space Used",
                               "Free Space",   "Files On Disk", "Files In Arcs"};
    const char* names[6] = {"VolumeLabelText", "DiskSizeText",    "SpaceUsedText",
                            "FreeSpaceText",   "FilesOnDiskText", "FilesInArcsText"};
    const int widths[6] = {92, 112, 112, 112, 80, 80};
    std::array<TLabel*, 6> values{};
    int x = 0;
    for (int i = 0; i < 6; ++i) {
        DirLabel(*this, *SummaryPanel, nullptr, x, 3, widths[i], headings[i], taCenter, false);
        values[size_t(i)] = DirLabel(*this, *SummaryPanel, names[i], x, 20, widths[i], "", taCenter, true);
        x += widths[i];
        if (i < 5) {
            auto* bevel = NewComponent<TBevel>(this);
            bevel->SetParent(SummaryPanel);
            bevel->SetShape(bsLeftLine);
            bevel->SetBounds(x - 1, 2, 2, 36);
        }
    }
    VolumeLabelText = values[0];
    DiskSizeText = values[1];
    SpaceUsedText = values[2];
    FreeSpaceText = values[3];
    FilesOnDiskText = values[4];
    FilesInArcsText = values[5];

    // ---- options and buttons
    ButtonPanel = DirPanel(*this, *ResultPanel, "ButtonPanel", alBottom, 44);
    ShowTotals = catalog::NewControl<TCheckBox>(*this, *ButtonPanel, "ShowTotals", 6, 4, 118, 16);
    ShowTotals->SetCaption("Show Totals");
    ShowTotals->SetChecked(true);
    ExpandComment = catalog::NewControl<TCheckBox>(*this, *ButtonPanel, "ExpandComment", 6, 22, 118, 16);
    ExpandComment->SetCaption("Expand Comment");
    ShowTotals->OnClick = [this](TObject*) { ShowTotalsClick(); };
    ExpandComment->OnClick = [this](TObject*) { ExpandCommentClick(); };
    TReportButtonRow buttons(*this, *ButtonPanel, &HelpContext, 128, 8, 64, 66);
    FontBtn = buttons.Add("FontBtn", bkCustom, "&Font");
    ViewBtn = buttons.Add("ViewBtn", bkCustom, "Full &View");
    PrintBtn = buttons.Add("PrintBtn", bkCustom, "&Print");
    ToDiskBtn = buttons.Add("ToDiskBtn", bkCustom, "&To Disk");
    OpenBtn = buttons.Add("OpenBtn", bkCustom, "&Open");
    CloseBtn = buttons.Add("CloseBtn", bkClose);
    HelpBtn = buttons.Add("HelpBtn", bkHelp);
    FontBtn->OnClick = [this](TObject*) { FontBtnClick(); };
    ViewBtn->OnClick = [this](TObject*) { ViewBtnClick(); };
    PrintBtn->OnClick = [this](TObject*) { PrintBtnClick(); };
    ToDiskBtn->OnClick = [this](TObject*) { ToDiskBtnClick(); };
    OpenBtn->OnClick = [this](TObject*) { OpenBtnClick(); };

    // ---- totals in one row
    const char* totalHeadings[4] = {"Files On Disk", "Bytes On Disk", "Files In Archives",
                                    "Bytes In Archives"};
    const char* totalNames1[4] = {"FilesOnDiskLabel1", "BytesOnDiskLabel1", "FilesInArcsLabel1",
                                  "BytesInArcsLabel1"};
    const char* totalNames2[4] = {"FilesOnDiskLabel2", "BytesOnDiskLabel2", "FilesInArcsLabel2",
                                  "BytesInArcsLabel2"};
    TotalPanel = DirPanel(*this, *ResultPanel, "TotalPanel", alBottom, 36);
    TotalPadLeft = DirPanel(*this, *TotalPanel, "TotalPadLeft", alLeft, 36);
    TotalPadRight = DirPanel(*this, *TotalPanel, "TotalPadRight", alRight, 36);
    TotalPadLeft->SetWidth(0);
    TotalPadRight->SetWidth(0);
    TPanel* totalsBody = DirPanel(*this, *TotalPanel, "TotalBody", alClient, 36);
    for (int i = 0; i < 4; ++i) {
        DirLabel(*this, *totalsBody, nullptr, i * 150, 2, 148, totalHeadings[i], taCenter, false);
        Totals1[size_t(i)] =
            DirLabel(*this, *totalsBody, totalNames1[i], i * 150, 18, 148, "0", taCenter, true);
    }

    // ---- the expanded comment with the totals beside it
    TCPanel2 = DirPanel(*this, *ResultPanel, "TCPanel2", alBottom, 80);
    TCPanel2->SetVisible(false);
    for (int i = 0; i < 4; ++i) {
        TotalHeadings2[size_t(i)] = DirLabel(*this, *TCPanel2, nullptr, 4, 4 + 18 * i, 110,
                                             std::string(totalHeadings[i]) + ":", taLeftJustify, false);
        Totals2[size_t(i)] =
            DirLabel(*this, *TCPanel2, totalNames2[i], 116, 4 + 18 * i, 130, "0", taRightJustify, true);
    }
    DBMemo1 = catalog::NewControl<TDBMemo>(*this, *TCPanel2, "DBMemo1", 252, 2, 344, 76);
    DBMemo1->ScrollBars = ssVertical;
    DBMemo1->SetReadOnly(true);
    DBMemo1->SetParentFont(false);
    DBMemo1->SetDataSource(DataSource1);
    DBMemo1->SetDataField("Comment");

    // ---- the grid over the rest, with its column menu
    ColumnMenu = NewComponent<TPopupMenu>(this);
    ColumnMenu->SetName("ColumnMenu");
    FileGrid = NewReportGrid(*this, *ResultPanel, "FileGrid", DataSource1);
    DBMemo1->SetFont(FileGrid->Font());
    FileGrid->SetPopupMenu(ColumnMenu);
    FileGrid->OnDblClick = [this](TObject*) { FileGridDblClick(); };
    FileGrid->OnMouseMove = [this](TObject*, TShiftState, int X, int Y) { FileGridMouseMove(X, Y); };
    for (int i = 0; i < kDirectoryColumns; ++i) {
        const TDirGridColumn& c = kDirGridColumns[i];
        auto* item = NewComponent<TMenuItem>(this);
        item->SetName(c.ItemName);
        item->Caption = c.ItemCaption;
        item->SetChecked(true);
        item->OnClick = [this, i](TObject*) { ColumnItemClick(i); };
        ColumnMenu->Items()->Add(item);
        ColumnItems[size_t(i)] = item;
        TColumn* column = FileGrid->Columns().Add();
        column->SetFieldName(c.Field);
        column->Title().SetCaption(kDirectoryHeadings[size_t(i)]);
        column->Title().SetAlignment(c.Title);
        column->SetAlignment(c.Cell);
    }
}

char TShowDirectoryForm::DriveLetter() const {
    return char(std::toupper(uint8_t(DriveComboBox->Drive())));
}

std::array<TCheckBox*, 13> TShowDirectoryForm::FormatBoxes() const {
    return {doARC, doARJ, doDWC, doHYP, doLBR, doLZH, doLZS, doPAK, doRAR, doSQZ, doZIP, doZOO, doCAB};
}

// ---- criteria ---------------------------------------------------------------------------------------

void TShowDirectoryForm::FormShow() {
    // A remembered drive the drive map no longer holds leaves the box where it is.
    const std::string last = Trim(LastDriveLabel->Caption());
    if (!last.empty()) DriveComboBox->SetDrive(last[0]);
    StartDir->SetText(std::string(1, DriveLetter()) + ":\\");
    bool set = false;
    const int index = KeptNumber(ExpandIndexLabel, set);
    optExpandArchives->SetItemIndex(set && index >= 0 && index < 3 ? index : 1);
}

void TShowDirectoryForm::DriveComboBoxChange() {
    StartDir->SetText(std::string(1, DriveLetter()) + ":\\");
}

void TShowDirectoryForm::SpeedButton1Click() {
    std::string folder = StartDir->Text();
    if (cataloging::ChooseStartFolder(DriveLetter(), folder)) StartDir->SetText(folder);
}

void TShowDirectoryForm::SelAllBtnClick(TObject* Sender) {
    const bool all = Sender == SelAllBtn;
    for (TCheckBox* box : FormatBoxes()) box->SetChecked(all);
}

int TShowDirectoryForm::HeadingPixels(int Column) {
    return ReportTextWidth(FileGrid->Font(), kDirectoryHeadings[size_t(Column)]);
}

void TShowDirectoryForm::BitBtn1Click() {
    const char drive = DriveLetter();
    const bool inMemory = KeepInMemory->Checked();
    auto* run = TCustomForm::Create<cataloging::TCatalogProgressForm>(Application);
    cataloging::TCatalogRunSpec& spec = run->Spec;
    bool ok = false;
    try {
        run->SetCaption("Reading Directory Disk In Drive " + std::string(1, drive));
        spec.DriveLetter = drive;
        spec.StartFolder = StartDir->Text();
        spec.Recurse = Recurse->Checked();
        spec.IgnoreRecycleBin = IgnoreRecycle->Checked();
        spec.KeepInMemory = inMemory;
        spec.StatsOnly = false;
        run->ShowDirWidthLabel->SetFont(FileGrid->Font());
        for (int i = 0; i < kDirectoryColumns; ++i) {
            spec.ColumnChars[size_t(i)] =
                int16_t(std::char_traits<char>::length(kDirectoryHeadings[size_t(i)]));
            spec.ColumnPixels[size_t(i)] = int16_t(HeadingPixels(i));
        }
        catalog::StopRequested = false;
        run->Show();
        SetEnabled(false);
        run->ExpandMode = optExpandArchives->Text();
        bool* formats[] = {&spec.DoARC, &spec.DoARJ, &spec.DoDWC, &spec.DoHYP, &spec.DoLBR,
                           &spec.DoLZH, &spec.DoLZS, &spec.DoPAK, &spec.DoRAR, &spec.DoSQZ,
                           &spec.DoZIP, &spec.DoZOO, &spec.DoCAB};
        const auto boxes = FormatBoxes();
        for (size_t i = 0; i < boxes.size(); ++i) *formats[i] = boxes[i]->Checked();
        spec.HandleArjMultiDisks = optHandleARJMulti->Checked();
        spec.GetMainComment = optGetMainArchiveComment->Checked();
        spec.DoSfxArchives = optHandleSFXArchives->Checked();
        spec.UseDiz = optHandleDIZ->Checked();
        spec.DizOverride = optDIZOverride->Checked();
        spec.CopyMainComment = optCopyMainArchiveComment->Checked();

        ok = run->ScanDiskOnly();

        VolumeLabelText->SetCaption(spec.ActualLabel);
        DiskSizeText->SetCaption(DirSizeText(spec.DiskSizeBytes));
        SpaceUsedText->SetCaption(DirSizeText(spec.BytesInFilesOnDisk));
        FreeSpaceText->SetCaption(DirSizeText(spec.DiskFreeBytes));
        FilesOnDiskText->SetCaption(FormatFloat(kDirCountFormat, double(spec.FilesOnDiskScanned)));
        FilesInArcsText->SetCaption(FormatFloat(kDirCountFormat, double(run->ArchiveFileCount)));
        for (int i = 0; i < kDirectoryColumns; ++i) {
            ColumnChars[size_t(i)] = uint16_t(spec.ColumnChars[size_t(i)]);
            ColumnPixels[size_t(i)] = uint16_t(spec.ColumnPixels[size_t(i)]);
        }
        // The totals are those of the entries listed: the walk's own byte counts take in the whole
        // drive, however little of it the start folder lists.
        const int64_t totals[4] = {spec.ListingCounters[0], spec.ListingCounters[1], spec.ListingCounters[2],
                                   spec.ListingCounters[3]};
        for (size_t i = 0; i < 4; ++i) {
            Totals1[i]->SetCaption(DirSizeText(totals[i]));
            Totals2[i]->SetCaption(DirSizeText(totals[i]));
        }
    } catch (...) {
        SetEnabled(true);
        run->Free();
        throw;
    }
    SetEnabled(true);
    run->Free();
    if (ok && !ShowListing(inMemory))
        catalog::ErrorBox("Cannot Open Result Table To Display The Directory Of The Selected Disk");
}

// ---- the listing ----------------------------------------------------------------------------------

void AddListingFields(dbsql::TDbTable& Table) {
    Table.FieldDefs.Update();
    Table.Fields.Clear();
    for (int i = 0; i < Table.FieldDefs.Count(); ++i) {
        const TFieldDef* def = Table.FieldDefs[i];
        auto field = CreateFieldOfType(def->DataType);
        field->FieldName = def->Name;
        if (def->Size > 0) field->SetSize(def->Size);
        if (auto* bcd = dynamic_cast<TBCDField*>(field.get())) bcd->Precision = def->Precision;
        TField* added = Table.AddField(std::move(field));
        if (def->Name == "FileSize") added->DisplayFormat = kDirSizeFormat;
    }
    Table.AddField<TStringField>("AttributeStr", fkCalculated, 4);
    Table.AddField<TStringField>("CommentStr", fkCalculated, 200);
}

void TShowDirectoryForm::CalcListingFields(TDataSet* DataSet) {
    DataSet->FieldByName("AttributeStr")
        ->SetAsString(catalog::EntryAttributeLetters(DataSet->FieldByName("Attribute")->AsInteger()));
    DataSet->FieldByName("CommentStr")
        ->SetAsString(catalog::CommentFirstLine(DataSet->FieldByName("Comment")->AsString()));
}

bool TShowDirectoryForm::ShowListing(bool InMemory) {
    try {
        ReportTable->Close();
        ReportTable->SetDatabaseName(InMemory ? "Memory" : catalog::ProgramFolder);
        ReportTable->SetTableName("New");
        AddListingFields(*ReportTable);
        ReportTable->Open();
    } catch (const std::exception&) {
        ReportTable->Close();
        return false;
    }
    SpecPanel->SetEnabled(false);
    SpecPanel->SetVisible(false);
    ResultPanel->SetVisible(true);
    Constraints().SetMaxWidth(0);
    Constraints().SetMaxHeight(0);
    bool set = false;
    int value = KeptNumber(ListWidthLabel, set);
    if (set) SetWidth(value);
    value = KeptNumber(ListHeightLabel, set);
    if (set) SetHeight(value);
    value = KeptNumber(ListLeftLabel, set);
    if (set) SetLeft(value);
    value = KeptNumber(ListTopLabel, set);
    if (set) SetTop(value);
    for (int i = 0; i < kDirectoryColumns; ++i) {
        TColumn* column = FileGrid->Columns()[i];
        column->SetWidth(ColumnPixels[size_t(i)] + 4);
        column->SetVisible(ColumnItems[size_t(i)]->Checked);
    }
    ApplyPanelRule();
    SetCaption("Directory Of Drive " + std::string(1, DriveLetter()) + ": (Starting At: " + StartDir->Text() +
               ")");
    ListingShown = true;
    FormResize();
    return true;
}

std::array<std::string, kDirectoryColumns> TShowDirectoryForm::RowTexts(TDataSet& Table) {
    auto text = [&Table](const char* Field) { return Table.FieldByName(Field)->AsString(); };
    return {text("FileName"),
            text("FolderName"),
            text("ArchiveID"),
            DirSizeText(int64_t(Table.FieldByName("FileSize")->AsFloat())),
            Table.FieldByName("DateModified")->DisplayText(),
            Table.FieldByName("TimeModified")->DisplayText(),
            text("AttributeStr"),
            text("CommentStr")};
}

TDirectoryVolumeTexts TShowDirectoryForm::VolumeTexts() const {
    return {VolumeLabelText->Caption(), DiskSizeText->Caption(),    SpaceUsedText->Caption(),
            FreeSpaceText->Caption(),   FilesOnDiskText->Caption(), FilesInArcsText->Caption()};
}

void TShowDirectoryForm::ColumnItemClick(int Column) {
    TMenuItem* item = ColumnItems[size_t(Column)];
    item->SetChecked(!item->Checked);
    FileGrid->Columns()[Column]->SetVisible(item->Checked);
}

void TShowDirectoryForm::ApplyPanelRule() {
    std::vector<TControl*> expandedTotals(TotalHeadings2.begin(), TotalHeadings2.end());
    expandedTotals.insert(expandedTotals.end(), Totals2.begin(), Totals2.end());
    ShowReportPanels(ExpandComment->Checked(), ShowTotals->Checked(), *TotalPanel, *TCPanel2, expandedTotals);
}

void TShowDirectoryForm::ShowTotalsClick() {
    ApplyPanelRule();
}

void TShowDirectoryForm::ExpandCommentClick() {
    ApplyPanelRule();
}

void TShowDirectoryForm::FormResize() {
    // The strips' contents stay centred in the window.
    const int summaryShift = (SummaryPanel->Width() - 588) / 2;
    for (const auto& [control, left] : FSummaryLefts) control->SetLeft(left + summaryShift);
    const int pad = std::max(0, (Width() - kDirSpecWidth) / 2);
    TotalPadLeft->SetWidth(pad);
    TotalPadRight->SetWidth(pad);
    for (const auto& [control, left] : FCommentLefts) control->SetLeft(left + pad);
}

void TShowDirectoryForm::FontBtnClick() {
    TFont chosen;
    if (AskReportFont(FileGrid->Font(), chosen)) ApplyFont(chosen);
}

void TShowDirectoryForm::ApplyFont(const TFont& Font) {
    FileGrid->SetFont(Font);
    FileGrid->SetTitleFont(Font);
    DBMemo1->SetFont(Font);
    auto* progress = TCustomForm::Create<catalog::TProgressForm>(this);
    progress->ShowForm("Recalibrating Column Widths", false);
    TBitmap measure;
    measure.SetSize(1, 1);
    measure.Canvas().Font.Assign(Font);
    std::array<int, kDirectoryColumns> widths{};
    for (int i = 0; i < kDirectoryColumns; ++i) widths[size_t(i)] = HeadingPixels(i) + 4;
    try {
        if (ReportTable->Active()) {
            const TBookmark mark = ReportTable->GetBookmark();
            ReportTable->DisableControls();
            const int rows = ReportTable->RecordCount();
            int done = 0;
            for (ReportTable->First(); !ReportTable->Eof(); ReportTable->Next()) {
                const auto texts = RowTexts(*ReportTable);
                for (size_t i = 0; i < texts.size(); ++i)
                    widths[i] = std::max(widths[i], measure.Canvas().TextWidth(texts[i]));
                ++done;
                progress->ProgressBar->SetProgress(rows > 0 ? int(double(done) / rows * 100) : 100);
                Application->ProcessMessages();
            }
            ReportTable->GotoBookmark(mark);
            ReportTable->EnableControls();
        }
    } catch (...) {
        ReportTable->EnableControls();
        progress->HideForm();
        progress->Free();
        throw;
    }
    for (int i = 0; i < kDirectoryColumns; ++i) {
        ColumnPixels[size_t(i)] = uint16_t(std::min(widths[size_t(i)], 65535));
        FileGrid->Columns()[i]->SetWidth(widths[size_t(i)]);
    }
    progress->HideForm();
    progress->Free();
    FileGrid->Invalidate();
}

void TShowDirectoryForm::ViewBtnClick() {
    ShowReportView(ViewForm, ViewOpen, DataSource1, Caption(), [](TFileReportViewRecordForm& View) {
        // A directory has no volume label or category of its entries: those boxes and labels are
        // hidden and left unbound.
        auto& boxes = View.Boxes;
        std::erase_if(boxes, [](TControl* c) {
            return c->Name() == "VolumeLabel" || c->Name() == "CategoryCode" ||
                   c->Name() == "CategoryDescription";
        });
        for (int i = 0; i < View.ControlCount(); ++i) {
            TControl* c = View.Controls(i);
            const std::string name = c->Name(), caption = c->Caption();
            if (name == "VolumeLabel" || name == "CategoryCode" || name == "CategoryDescription" ||
                (name.empty() &&
                 (caption == "Volume ID" || caption == "Category Code" || caption == "Category")))
                c->SetVisible(false);
        }
    });
}

void TShowDirectoryForm::OpenBtnClick() {
    if (ReportTable->Active() && ReportTable->RecordCount() > 0) OpenFile();
}

void TShowDirectoryForm::FileGridMouseMove(int X, int Y) {
    FMouseX = X;
    FMouseY = Y;
}

void TShowDirectoryForm::FileGridDblClick() {
    if (FileGrid->MouseCoord(FMouseX, FMouseY).Y < 1) return;  // the title row, or no cell
    OpenBtnClick();
}

void TShowDirectoryForm::OpenFile() {
    if (!Trim(ReportTable->FieldByName("ArchiveID")->AsString()).empty()) {
        catalog::ErrorBox(
            "Korvane Does Not Presently Have The Ability To Open A File Inside Of An Archive File");
        return;
    }
    const std::string path = cataloging::LocateCatalogedFile(
        DriveLetter(), ReportTable->FieldByName("FolderName")->AsString(),
        ReportTable->FieldByName("FileName")->AsString(), VolumeLabelText->Caption());
    if (!path.empty()) OpenReportFile(*Spawn, path);
}

void TShowDirectoryForm::FormCloseQuery(bool& CanClose) {
    CloseReportView(ViewForm, ViewOpen);
    if (!ReportTable->TableName().empty()) {
        try {
            ReportTable->Close();
            ReportTable2->Close();
            if (ReportTable->Exists()) ReportTable->DeleteTable();
        } catch (const std::exception&) {
            // Closing is never refused; a New left behind is made anew by the next scan.
        }
    }
    LastDriveLabel->SetCaption(std::string(1, DriveLetter()));
    ExpandIndexLabel->SetCaption(std::to_string(optExpandArchives->ItemIndex()));
    if (ListingShown && WindowState() == wsNormal) {
        ListWidthLabel->SetCaption(std::to_string(Width()));
        ListHeightLabel->SetCaption(std::to_string(Height()));
        ListLeftLabel->SetCaption(std::to_string(Left()));
        ListTopLabel->SetCaption(std::to_string(Top()));
    }
    CanClose = true;
}

void ShowDirectoryOfADisk() {
    catalog::ShowModalForm<TShowDirectoryForm>();
}

}  // namespace reports
