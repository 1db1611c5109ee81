#include "tools/offload/DiskFillForm.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>

#include "catalog/FormParts.h"
#include "catalog/GetStringForm.h"
#include "catalog/Globals.h"
#include "catalog/ProgressForm.h"
#include "catalog/SelectCatalogForm.h"
#include "cataloging/archives/ArchiveReaders.h"
#include "codecs/zip/ZipReader.h"
#include "controls/entry/CtlState.h"
#include "controls/grid/CtlTable.h"
#include "controls/grid/CtlTableCells.h"
#include "controls/kit/CoolGauge.h"
#include "dbsql/components/DbTable.h"
#include "framework/core/DateTime.h"
#include "framework/core/SysUtils.h"
#include "framework/data/Fields.h"
#include "framework/stdctrls/Button.h"
#include "framework/stdctrls/Buttons.h"
#include "framework/stdctrls/CheckBox.h"
#include "framework/stdctrls/ComCtrls.h"
#include "framework/stdctrls/Dialogs.h"
#include "framework/stdctrls/Edit.h"
#include "framework/stdctrls/ExtCtrls.h"
#include "framework/stdctrls/FileCtrl.h"
#include "framework/stdctrls/GroupBox.h"
#include "framework/stdctrls/Label.h"
#include "framework/stdctrls/Memo.h"
#include "framework/stdctrls/RadioButton.h"
#include "framework/ui/Graphics.h"
#include "platform/Beep.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "tools/offload/DiskFillDialogs.h"
#include "tools/shared/ListParts.h"

namespace tools {

using namespace framework;

namespace {

constexpr uint32_t kErrorBeep = platform::MB_ICONHAND;
constexpr const char* kCountFormat = "###,###,###,###,##0";
constexpr const char* kHeadings[] = {"Tag",           "FileName",      "File Size",
                                     "Date Modified", "Time Modified", "Attribute"};

std::string Count(int64_t N) {
    return FormatFloat(kCountFormat, static_cast<double>(N));
}

std::string Attributes(uint32_t Attr) {
    std::string S;
    if (Attr & 1) S += 'R';
    if (Attr & 2) S += 'H';
    if (Attr & 4) S += 'S';
    if (Attr & 0x20) S += 'A';
    return S;
}

TDateTime Stamp(uint32_t DosDateTime) {
    return FileDateToDateTime(static_cast<int32_t>(DosDateTime));
}

// A new folder of its own for extracted files, in the program's folder (which a drive always
// holds), removed with what it holds when it goes.
struct TPrivateFolder {
    std::string Native, Windows;
    TPrivateFolder() {
        std::string Base;
        if (!platform::ResolveExistingPath(catalog::ProgramFolder, Base)) return;
        std::string Pattern = Base + "/comment-XXXXXX";
        if (!::mkdtemp(Pattern.data())) return;
        Native = Pattern;
        Windows = platform::NativeToWindowsPath(Native);
        if (!Windows.empty()) Windows = platform::IncludeTrailingBackslash(Windows);
    }
    ~TPrivateFolder() {
        std::error_code Ignored;
        if (!Native.empty()) std::filesystem::remove_all(Native, Ignored);
    }
};

}  // namespace

TDiskFillForm::TDiskFillForm(TComponent* AOwner) : TForm(AOwner) {
    SetName("DiskFillForm");
    SetCaption("Offload Files To Removable Disks");
    Position = poScreenCenter;
    SetClientSize(780, 470);
    Constraints().SetMinWidth(640);
    Constraints().SetMinHeight(350);

    // Top row: tagging on reading, the pattern, the active catalog.
    TopPanel = catalog::NewPanel(*this, *this, "TopPanel", 0, 0, 780, 38, bvNone);
    TopPanel->SetAlign(alTop);
    AutoTag = catalog::NewControl<TCheckBox>(*this, *TopPanel, "AutoTag", 8, 10, 104, 17);
    AutoTag->SetCaption("AutoTag Files");
    PatternLabel = catalog::NewLabel(*this, *TopPanel, "PatternLabel", 120, 11, 100, "Pattern To Match:");
    PatternEdit = catalog::NewControl<TEdit>(*this, *TopPanel, "PatternEdit", 222, 7, 110, 23);
    PatternEdit->SetCharCase(ecUpperCase);
    PatternEdit->SetText("*");
    PatternEdit->OnEnter = [this](TObject*) { FEnteredPattern = PatternEdit->Text(); };
    PatternEdit->OnExit = [this](TObject*) {
        if (PatternEdit->Text() != FEnteredPattern) UpdateFileList();
    };
    // Pressing it takes the focus from the pattern field, which applies the pattern.
    ApplyBtn = catalog::NewControl<TButton>(*this, *TopPanel, "ApplyBtn", 338, 6, 60, 25);
    ApplyBtn->SetCaption("A&pply");
    ApplyBtn->SetDefault(true);
    ApplyBtn->OnClick = [this](TObject*) {
        if (PatternEdit->Focused() && FileGrid->CanFocus()) FileGrid->SetFocus();
    };
    const TActiveCatalogPanel Catalog =
        NewActiveCatalogPanel(*this, *TopPanel, 410, 2, 362, [this] { Panel6Click(); });
    Panel6 = Catalog.Panel;
    ActiveCatalogCaption = Catalog.Caption;
    ActiveCatalogName = Catalog.Name;

    // The counters.
    CounterPanel = catalog::NewPanel(*this, *this, "CounterPanel", 0, 38, 780, 40, bvNone);
    CounterPanel->SetAlign(alTop);
    NewListCounters(*this, *CounterPanel, *this);

    // The buttons.
    ButtonPanel = catalog::NewPanel(*this, *this, "ButtonPanel", 0, 400, 780, 70, bvNone);
    ButtonPanel->SetAlign(alBottom);
    auto Button = [this](const char* Name, const char* Caption, int Column, int Row) {
        auto* B =
            catalog::NewControl<TButton>(*this, *ButtonPanel, Name, 6 + Column * 110, 4 + Row * 32, 104, 27);
        B->SetCaption(Caption);
        return B;
    };
    TagAllBtn = Button("TagAllBtn", "&Tag All", 0, 0);
    ClearTagsBtn = Button("ClearTagsBtn", "C&lear Tags", 1, 0);
    TagSeveralBtn = Button("TagSeveralBtn", "Tag &Several", 2, 0);
    UntagSeveralBtn = Button("UntagSeveralBtn", "&Untag Several", 3, 0);
    InvertTagsBtn = Button("InvertTagsBtn", "&Invert Tags", 4, 0);
    InvertDupBtn = Button("InvertDupBtn", "Invert &Dups", 5, 0);
    ViewCmtBtn = Button("ViewCmtBtn", "&View Comment", 6, 0);
    EraseBtn = Button("EraseBtn", "&Erase Tagged Files", 0, 1);
    CopyBtn = Button("CopyBtn", "C&opy Tagged Files", 1, 1);
    MoveBtn = Button("MoveBtn", "&Move Tagged Files", 2, 1);
    CopyBtn->OnClick = [this](TObject*) { CopyBtnClick(false); };
    MoveBtn->OnClick = [this](TObject*) { CopyBtnClick(true); };
    CloseBtn = catalog::NewDialogButton(*this, *ButtonPanel, "CloseBtn", bkClose, 556, 36);
    HelpBtn = catalog::NewDialogButton(*this, *ButtonPanel, "HelpBtn", bkHelp, 666, 36, &HelpContext);
    TagAllBtn->OnClick = [this](TObject*) { TagAllBtnClick(); };
    ClearTagsBtn->OnClick = [this](TObject*) { ClearTagsBtnClick(); };
    InvertTagsBtn->OnClick = [this](TObject*) { InvertTagsBtnClick(); };
    TagSeveralBtn->OnClick = [this](TObject*) { TagSeveral(true); };
    UntagSeveralBtn->OnClick = [this](TObject*) { TagSeveral(false); };
    EraseBtn->OnClick = [this](TObject*) { EraseBtnClick(); };
    InvertDupBtn->OnClick = [this](TObject*) { InvertDupBtnClick(); };
    ViewCmtBtn->OnClick = [this](TObject*) { ViewCmtBtnClick(); };

    // Left: the drive and the folder.
    LeftPanel = catalog::NewPanel(*this, *this, "LeftPanel", 0, 78, 190, 322, bvNone);
    LeftPanel->SetAlign(alLeft);
    catalog::NewLabel(*this, *LeftPanel, "", 6, 4, 170, "Select Drive");
    DriveSelect = catalog::NewControl<TDriveComboBox>(*this, *LeftPanel, "DriveSelect", 6, 20, 178, 23);
    catalog::NewLabel(*this, *LeftPanel, "", 6, 48, 170, "Select Folder");
    FolderSelect = catalog::NewControl<TDirectoryListBox>(*this, *LeftPanel, "FolderSelect", 6, 64, 178, 234);
    FolderSelect->SetAnchors(akLeft | akTop | akRight | akBottom);
    DriveSelect->DirList = FolderSelect;
    TLabel* Hint = catalog::NewLabel(*this, *LeftPanel, "", 6, 302, 170, "Double Click To Select");
    Hint->SetAnchors(akLeft | akBottom);
    FolderSelect->OnChange = [this](TObject*) {
        if (WindowShown) UpdateFileList();
    };
    Splitter1 = NewComponent<TSplitter>(this);
    Splitter1->SetName("Splitter1");
    Splitter1->SetParent(this);
    Splitter1->SetLeft(190);
    Splitter1->SetAlign(alLeft);
    Splitter1->OnMoved = [this](TObject*) { FormResize(); };

    // Right: the folder read, the files, the sort choice.
    RightPanel = catalog::NewPanel(*this, *this, "RightPanel", 194, 78, 586, 322, bvNone);
    RightPanel->SetAlign(alClient);
    Folder = catalog::NewPanel(*this, *RightPanel, "Folder", 0, 0, 586, 22, bvLowered);
    Folder->SetAlign(alTop);
    Folder->SetAlignment(taLeftJustify);
    SortGroup = catalog::NewControl<TGroupBox>(*this, *RightPanel, "SortGroup", 0, 270, 586, 46);
    SortGroup->SetCaption("Sort File List By");
    SortGroup->SetAlign(alBottom);
    auto Sort = [this](const char* Name, const char* Caption, int Width) {
        auto* R = catalog::NewControl<TRadioButton>(*this, *SortGroup, Name, 0, 20, Width, 17);
        R->SetCaption(Caption);
        R->OnClick = [this](TObject*) { SortNoneClick(); };
        return R;
    };
    SortNone = Sort("SortNone", "No Sort", 60);
    SortFName = Sort("SortFName", "FileName", 70);
    SortFExt = Sort("SortFExt", "File Extention", 91);
    SortFExt->Hint = "File Extension";
    SortFExt->SetShowHint(true);
    SortSize = Sort("SortSize", "File Size", 64);
    SortDate = Sort("SortDate", "Date/Time", 80);
    SortNone->SetChecked(true);
    SortReverse = catalog::NewControl<TCheckBox>(*this, *SortGroup, "SortReverse", 0, 20, 68, 17);
    SortReverse->SetCaption("Reverse");
    SortReverse->OnClick = [this](TObject*) { SortNoneClick(); };

    FileGrid = catalog::NewControl<grid::TCtlTable>(*this, *RightPanel, "FileGrid", 0, 22, 586, 248);
    FileGrid->SetAlign(alClient);
    FileGrid->SetColCount(6);
    FileGrid->SetRowLimit(2);
    FileGrid->Rows().SetDefaultHeight(21);
    FileGrid->SetColor(clWindow);
    FileGrid->SetAccess(grid::otxReadOnly);
    FileGrid->SetOptions(grid::CtlTblOption(grid::otoBrowseRow) | grid::CtlTblOption(grid::otoNoRowResizing) |
                         grid::CtlTblOption(grid::otoNoSelection));
    auto* Head = NewComponent<grid::TCtlTCColHead>(this);
    Head->SetName("FileGridHead");
    Head->SetShowLetters(false);
    for (const char* S : kHeadings) Head->Headings().Add(S);
    auto* Box = NewComponent<grid::TCtlTCCheckBox>(this);
    Box->SetName("FileGridTag");
    auto* Text = NewComponent<grid::TCtlTCString>(this);
    Text->SetName("FileGridText");
    auto* Number = NewComponent<grid::TCtlTCString>(this);
    Number->SetName("FileGridNumber");
    Number->SetAdjust(grid::otaCenterRight);
    auto* Centred = NewComponent<grid::TCtlTCString>(this);
    Centred->SetName("FileGridCentred");
    Centred->SetAdjust(grid::otaCenter);
    grid::TCtlBaseTableCell* Cells[] = {Box, Text, Number, Text, Text, Centred};
    const int Widths[] = {26, 52, 50, 75, 75, 50};
    for (int C = 0; C < 6; ++C) {
        FileGrid->Columns().Items(C)->SetDefaultCell(Cells[C]);
        FileGrid->Columns().Items(C)->SetWidth(Widths[C]);
    }
    FileGrid->SetLockedRowsCell(Head);
    FileGrid->OnGetCellData = [this](TObject*, int32_t R, int32_t C, grid::TCtlCellValue& V,
                                     grid::TCtlCellDataPurpose) {
        if (R == 0) {
            V = grid::TCtlCellValue::String(kHeadings[C]);
            return;
        }
        if (R > List.Count()) return;
        const TDiskFillFileRec& F = List.Shown(R);
        switch (C) {
            case 0:
                V = grid::TCtlCellValue::CheckState(F.Tagged ? 1 : 0);
                break;
            case 1:
                V = grid::TCtlCellValue::String(F.Name);
                break;
            case 2:
                V = grid::TCtlCellValue::String(Count(F.Size));
                break;
            case 3:
                V = grid::TCtlCellValue::String(FormatDateTime("ddddd", Stamp(F.DosDateTime)));
                break;
            case 4:
                V = grid::TCtlCellValue::String(FormatDateTime("tt", Stamp(F.DosDateTime)));
                break;
            default:
                V = grid::TCtlCellValue::String(Attributes(F.Attr));
        }
    };
    FileGrid->OnLockedCellClick = [this](TObject*, int32_t R, int32_t C) { FileGridLockedCellClick(R, C); };

    CatalogTable = NewComponent<dbsql::TDbTable>(this);
    CatalogTable->SetName("CatalogTable");
    ZipReader = NewComponent<codecs::TZipReader>(this);
    ZipReader->SetName("ZipReader");

    Store = NewComponent<entry::TCtlRegistryStore>(this);
    Store->SetName("Store");
    FormState = NewComponent<entry::TCtlFormState>(this);
    FormState->SetName("FormState");
    FormState->SetStorage(Store);
    FormState->SetSection("TDiskFillForm");
    ComponentState = NewComponent<entry::TCtlComponentState>(this);
    ComponentState->SetName("ComponentState");
    ComponentState->SetStorage(Store);
    ComponentState->SetSection("TDiskFillForm");
    ComponentState->StoredProperties().SetText(
        "AutoTag.Checked\nFolder.Caption\nSortNone.Checked\nSortFName.Checked\nSortFExt.Checked\n"
        "SortSize.Checked\nSortDate.Checked\n");

    OnResize = [this](TObject*) { FormResize(); };
    ActiveCatalogName->SetCaption(catalog::CurrentCatalogName);
    List.FillOrderStale = true;
    FormResize();
}

TDiskFillForm::~TDiskFillForm() = default;

void TDiskFillForm::DoShow() {
    TForm::DoShow();
    try {
        if (!Folder->Caption().empty()) FolderSelect->SetDirectory(Folder->Caption());
    } catch (const std::exception&) {
    }
    WindowShown = true;
    UpdateFileList();
}

std::string TDiskFillForm::FolderPath() const {
    std::string Path = Folder->Caption();
    if (Path.empty() || (Path.back() != ':' && Path.back() != '\\')) Path += '\\';
    return Path;
}

void TDiskFillForm::UpdateFileList() {
    TToolBusyCursor Busy;
    Application->ProcessMessages();
    Folder->SetCaption(FolderSelect->Directory());
    bool Told = false;
    List.ReadFolder(
        Folder->Caption(), PatternEdit->Text(), AutoTag->Checked(), [] { Application->ProcessMessages(); },
        [&Told] {
            if (Told) return;
            Told = true;
            catalog::ErrorBox("There Are More Than 10,000 Files In This Folder - Excess Skipped");
        });
    if (!SortNone->Checked()) SortFileList();
    ShowListCounters();
    // Each column as wide as its widest text (the heading's for the attributes) and 8 more.
    TBitmap Measure;
    Measure.SetSize(1, 1);
    TCanvas& M = Measure.Canvas();
    M.Font.Assign(FileGrid->Font());
    int Widths[6] = {0};
    for (int C = 1; C < 6; ++C) Widths[C] = M.TextWidth(kHeadings[C]);
    for (int32_t N = 1; N <= List.Count(); ++N) {
        const TDiskFillFileRec& F = List.Rec(N);
        Widths[1] = std::max(Widths[1], M.TextWidth(F.Name));
        Widths[2] = std::max(Widths[2], M.TextWidth(Count(F.Size)));
        Widths[3] = std::max(Widths[3], M.TextWidth(FormatDateTime("ddddd", Stamp(F.DosDateTime))));
        Widths[4] = std::max(Widths[4], M.TextWidth(FormatDateTime("tt", Stamp(F.DosDateTime))));
    }
    for (int C = 1; C < 6; ++C) FileGrid->Columns().Items(C)->SetWidth(Widths[C] + 8);
    FileGrid->SetRowLimit(std::max<int32_t>(List.Count() + 1, 2));
    FileGrid->InvalidateTable();
    FileGrid->Invalidate();
    // A change of width lays the window out anew.
    SetWidth(Width() + 1);
    SetWidth(Width() - 1);
}

void TDiskFillForm::SortFileList() {
    if (List.Empty()) return;
    TDiskFillSortKey Key = dskNone;
    if (SortFName->Checked()) Key = dskName;
    if (SortFExt->Checked()) Key = dskExtension;
    if (SortSize->Checked()) Key = dskSize;
    if (SortDate->Checked()) Key = dskDate;
    List.SortDisplay(Key, SortReverse->Checked());
}

void TDiskFillForm::SortNoneClick() {
    if (List.Empty()) return;
    TToolBusyCursor Busy;
    SortFileList();
    FileGrid->InvalidateTable();
    FileGrid->Invalidate();
    FileGrid->SetActiveRow(1);
}

void TDiskFillForm::ShowListCounters() {
    ShowListCounterValues(*this, List.FilesInList, List.BytesInList, List.TaggedFiles, List.TaggedBytes);
}

void TDiskFillForm::TagsChanged() {
    FileGrid->InvalidateTable();
    FileGrid->Invalidate();
    ShowListCounters();
}

void TDiskFillForm::FileGridLockedCellClick(int32_t Row, int32_t Col) {
    if (Col != 0 || Row < 1 || Row > List.Count()) return;
    FileGrid->SetActiveRow(Row);
    List.ToggleTag(List.Rec(Row).DisplaySlot);
    TagsChanged();
}

void TDiskFillForm::Panel6Click() {
    auto* Form = TCustomForm::Create<catalog::TSelectCatalogForm>(Application);
    Form->ShowModal();
    Form->Release();
    ActiveCatalogName->SetCaption(catalog::CurrentCatalogName);
}

void TDiskFillForm::TagAllBtnClick() {
    TToolBusyCursor Busy;
    List.TagAll(true);
    TagsChanged();
}

void TDiskFillForm::ClearTagsBtnClick() {
    TToolBusyCursor Busy;
    List.TagAll(false);
    TagsChanged();
}

void TDiskFillForm::InvertTagsBtnClick() {
    TToolBusyCursor Busy;
    List.InvertTags();
    TagsChanged();
}

void TDiskFillForm::TagSeveral(bool Tag) {
    auto* Form = TCustomForm::Create<catalog::TGetStringForm>(Application);
    Form->SetCaption(Tag ? "Tag Several" : "UnTag Several");
    Form->Prompt->SetCaption(Tag ? "Tag Files Conforming To This Filespec"
                                 : "UnTag Files Conforming To This Filespec");
    std::string Mask;
    const bool Ok = Form->ShowModal() == mrOk;
    if (Ok) {
        Form->Hide();
        Mask = Trim(Form->ResultString->Text());
    }
    Form->Release();
    if (!Ok) return;
    List.TagMatching(Mask, Tag);
    TagsChanged();
}

void TDiskFillForm::EraseBtnClick() {
    if (List.TaggedFiles == 0) {
        catalog::ErrorBox("No Files Have Been Tagged");
        return;
    }
    if (MessageDlg("Are You Sure You Want To Delete The " + std::to_string(List.TaggedFiles) + " Files?",
                   mtConfirmation, {mbYes, mbNo}, 0) != mrYes)
        return;
    bool YesToAll = false;
    for (int32_t N = 1; N <= List.Count(); ++N) {
        const TDiskFillFileRec& F = List.Rec(N);
        if (!F.Tagged) continue;
        const std::string Path = FolderPath() + F.Name;
        platform::SetFileAttributes(Path, 0);
        if (platform::DeleteFile(Path) || YesToAll) continue;
        platform::MessageBeep(kErrorBeep);
        const int Answer = MessageDlg("Error Deleting File " + F.Name + " Continue?", mtConfirmation,
                                      {mbYes, mbNo, mbYesToAll}, 0);
        if (Answer == mrYesToAll)
            YesToAll = true;
        else if (Answer != mrYes)
            break;
    }
    UpdateFileList();
}

void TDiskFillForm::InvertDupBtnClick() {
    if (List.Empty()) return;
    CatalogTable->Close();
    CatalogTable->SetDatabaseName(catalog::CatalogDataFolder);
    CatalogTable->SetTableName(catalog::CurrentCatalogName + "_CAT");
    try {
        CatalogTable->Open();
    } catch (const std::exception&) {
        catalog::ErrorBox("Unable To Open The Current Catalog");
        return;
    }
    struct TClose {
        dbsql::TDbTable* T;
        ~TClose() { T->Close(); }
    } Closing{CatalogTable};
    CatalogTable->First();
    if (CatalogTable->Eof()) {
        catalog::ErrorBox("There Are No Records In The Catalog");
        return;
    }
    auto* Options = TCustomForm::Create<TDiskFillInvertDuplicateForm>(Application);
    const bool Proceed = Options->ShowModal() == mrOk;
    const bool UseSize = Options->UseSize->Checked(), UseDate = Options->UseDate->Checked(),
               CheckArcs = Options->CheckArcs->Checked();
    if (Proceed) Options->Hide();
    if (!Proceed) {
        Options->Release();
        return;
    }
    catalog::TProgressForm* Progress = catalog::ProgressForm;
    if (Progress) Progress->ShowForm("Scanning For Files In Both The List And The Current Catalog", true);
    List.IndexNames();
    const int64_t Total = std::max<int64_t>(CatalogTable->RecordCount(), 1);
    int64_t Done = 0;
    int Percent = -1;
    TField* Name = CatalogTable->FieldByName("FileName");
    TField* Size = CatalogTable->FieldByName("FileSize");
    TField* Date = CatalogTable->FieldByName("DateModified");
    TField* Archive = CatalogTable->FieldByName("ArchiveID");
    for (CatalogTable->First(); !CatalogTable->Eof(); CatalogTable->Next()) {
        if (Progress && Progress->CancelPressed) break;
        if (CheckArcs || Trim(Archive->AsString()).empty()) {
            int64_t SizeValue = 0;
            const bool HasSize = UseSize && TryStrToInt64(Trim(Size->AsString()), SizeValue);
            const int32_t Day = static_cast<int32_t>(Date->AsDateTime());
            List.InvertDupTags(Name->AsString(), HasSize ? &SizeValue : nullptr, UseDate ? &Day : nullptr);
        }
        ++Done;
        const int Now = static_cast<int>(Done * 100 / Total);
        if (Now != Percent && Progress) Progress->ProgressBar->SetProgress(Now);
        Percent = Now;
        Application->ProcessMessages();
    }
    if (Progress) Progress->HideForm();
    Options->Release();
    TagsChanged();
}

void TDiskFillForm::ViewCmtBtnClick() {
    if (List.Empty()) {
        catalog::ErrorBox("There Are No Files In The List");
        return;
    }
    const int32_t Row = std::clamp(FileGrid->ActiveRow(), 1, List.Count());
    const std::string Name = List.Shown(Row).Name;
    const size_t Dot = Name.rfind('.');
    const std::string Ext = Dot == std::string::npos ? std::string() : UpperCase(Name.substr(Dot + 1));
    std::string Comment, Diz;
    if (Ext == "ZIP" || Ext == "EXE") {
        TPrivateFolder Extract;
        try {
            ZipReader->SetDestDir(Extract.Windows);
            ZipReader->SetZipName(FolderPath() + Name);
            ZipReader->ReadZip();
            Comment = Trim(ZipReader->GetZipComment());
            ZipReader->FilesList()->Clear();
            ZipReader->FilesList()->Add("FILE_ID.DIZ");
            ZipReader->OverwriteMode = codecs::Always;
            if (!Extract.Windows.empty() && ZipReader->UnZip() > 0) {
                for (const auto& E : std::filesystem::directory_iterator(Extract.Native))
                    if (platform::SameNameIgnoringCase(E.path().filename().string(), "FILE_ID.DIZ")) {
                        std::ifstream In(E.path(), std::ios::binary);
                        Diz = cataloging::FileIdDizText(std::string(std::istreambuf_iterator<char>(In), {}));
                        break;
                    }
            }
        } catch (const std::exception&) {
        }
    }
    if (Trim(Comment).empty() && Trim(Diz).empty()) {
        catalog::ErrorBox("No Main Archive Or \"FILE_ID.DIZ\" Comment Found For This File");
        return;
    }
    auto* Form = TCustomForm::Create<TDiskFillShowCmtForm>(Application);
    Form->FileNamePanel->SetCaption(Name);
    Form->ArchiveComment->SetText(Comment);
    Form->DizComment->SetText(Diz);
    Form->ShowModal();
    Form->Release();
}

void TDiskFillForm::FormResize() {
    LayoutListCounters(*this, CounterPanel->Width());
    const int W = (SortGroup->Width() - 438) / 7;
    TControl* Sorts[] = {SortNone, SortFName, SortFExt, SortSize, SortDate, SortReverse};
    const int Lefts[] = {W + 5, 2 * W + 65, 3 * W + 135, 4 * W + 226, 5 * W + 290, 6 * W + 370};
    for (int I = 0; I < 6; ++I) Sorts[I]->SetLeft(Lefts[I]);
}

}  // namespace tools
