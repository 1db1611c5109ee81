#include "cataloging/run/CatalogProgressForm.h"

#include <algorithm>
#include <cctype>
#include <memory>

#include "catalog/FormParts.h"
#include "catalog/Globals.h"
#include "catalog/ProgramTables.h"
#include "cataloging/archives/ArchiveReaders.h"
#include "cataloging/run/RunDialogs.h"
#include "cataloging/specs/IncludeExclude.h"
#include "cataloging/techinfo/TechInfo.h"
#include "controls/entry/CtlClock.h"
#include "controls/entry/CtlMeter.h"
#include "controls/kit/CoolGauge.h"
#include "controls/kit/ElpsPanl.h"
#include "dbengine/util/EngineError.h"
#include "dbsql/components/DbTable.h"
#include "framework/core/DateTime.h"
#include "framework/core/Seams.h"
#include "framework/core/SysUtils.h"
#include "framework/data/Fields.h"
#include "framework/stdctrls/Button.h"
#include "framework/stdctrls/Dialogs.h"
#include "framework/stdctrls/Edit.h"
#include "framework/stdctrls/Label.h"
#include "framework/ui/ExtCtrls.h"
#include "platform/Beep.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/Process.h"

namespace cataloging {

using namespace framework;

// One entry of a folder's search, as the walk uses it.
struct TWalkEntry {
    std::string Name;
    uint32_t Attributes = 0;
    int64_t Size = 0;
    TDateTime Stamp = 0;
};

namespace {

constexpr uint32_t kSearchAttributes = 63;  // read-only, hidden, system, volume, directory, archive
constexpr size_t kUnreadableListed = 10;

const char* const kFolderError = "An Error Occurred While Reading The Current Folder - Operation Aborted";
const char* const kPostError =
    "Error Writing Information To Temporary Database - Your Computer's Memory or Disk May Be Full.\r\r"
    "If The \"Keep Temporary Database(s) In Memory\" Option Was Checked, Try Turning It Off.\r"
    "If It Wasn't Checked, Freeing Up Hard Disk Space May Help Alleviate The Problem.";

std::string Counter(int64_t Value) {
    return FormatFloat("#,###,###,###,##0", double(Value)) + " ";
}

// The folder of entries (relative to the drive, no final "\", the root "\") of a drive path.
std::string FolderNameOf(const std::string& FolderPath) {
    std::string name = FolderPath.substr(std::min<size_t>(2, FolderPath.size()));
    if (name.size() > 1 && name.back() == '\\') name.pop_back();
    return name.empty() ? "\\" : name;
}

// The recycle folder (and anything named like it below the root) is left out on request.
bool IsRecycleFolder(const std::string& FolderName) {
    return UpperCase(FolderName).starts_with("\\RECYCLED");
}

std::string WithFinalBackslash(const std::string& Folder) {
    return Folder.empty() || Folder.back() == '\\' ? Folder : Folder + "\\";
}

// The text after the name's last ".", empty when there is none or a "\" or ":" follows it.
std::string ExtensionOf(const std::string& Name) {
    const size_t dot = Name.find_last_of(".\\:");
    if (dot == std::string::npos || Name[dot] != '.') return {};
    return Name.substr(dot + 1);
}

bool EndsInExe(const std::string& Name) {
    return Name.size() > 4 && UpperCase(Name.substr(Name.size() - 4)) == ".EXE";
}

TDateTime StampOf(const platform::WIN32_FIND_DATA& Data) {
    platform::FILETIME local;
    uint16_t date = 0, time = 0;
    if (!platform::FileTimeToLocalFileTime(Data.ftLastWriteTime, local) ||
        !platform::FileTimeToDosDateTime(local, date, time))
        return 0;
    return FileDateToDateTime(int32_t(uint32_t(date) << 16 | time));
}

TPanel* ValuePanel(TForm& Form, TWinControl& Parent, const char* Name, int X, int Y, int W,
                   TAlignment Alignment = taRightJustify) {
    TPanel* p = catalog::NewPanel(Form, Parent, Name, X, Y, W, 20, bvLowered);
    p->SetAlignment(Alignment);
    return p;
}

TLabel* NewCaption(TForm& Form, TWinControl& Parent, const std::string& Text, int X, int Y, int W = 110) {
    auto* l = NewComponent<TLabel>(&Form);
    l->SetParent(&Parent);
    l->SetCaption(Text);
    l->SetBounds(X, Y, W, 14);
    return l;
}

entry::TCtlMeter* VerticalMeter(TForm& Form, TWinControl& Parent, const char* Name, int X, TColor Color,
                                const std::vector<const char*>& Scale) {
    auto* m = NewComponent<entry::TCtlMeter>(&Form);
    m->SetName(Name);
    m->SetParent(&Parent);
    m->SetOrientation(entry::moVertical);
    m->SetUsedColor(Color);
    m->SetBounds(X, 30, 18, 100);
    m->SetPercent(0);
    // The scale beside the meter, 0 at the bottom.
    for (size_t i = 0; i < Scale.size(); ++i) {
        const int y = 30 + 100 - int(i * 100 / (Scale.size() - 1)) - 7;
        NewCaption(Form, Parent, Scale[i], X + 20, y, 24);
    }
    return m;
}

}  // namespace

int ClassifyByExtension(const TCatalogRunSpec& Spec, const std::string& FileName) {
    static const char* const kCodes[] = {"ARC", "ARJ", "CAB", "DWC", "HYP",  "LBR", "LZH",
                                         "LZS", "PAK", "RAR", "SQZ", "ZIP",  "ZOO", "GIF",
                                         "TGA", "PCX", "BMP", "JPG", "JPEG", "MP3"};
    const bool options[] = {Spec.DoARC, Spec.DoARJ, Spec.DoCAB, Spec.DoDWC, Spec.DoHYP,
                            Spec.DoLBR, Spec.DoLZH, Spec.DoLZS, Spec.DoPAK, Spec.DoRAR,
                            Spec.DoSQZ, Spec.DoZIP, Spec.DoZOO};
    const std::string ext = UpperCase(ExtensionOf(FileName));
    for (int code = 1; code <= 20; ++code) {
        if (ext != kCodes[code - 1]) continue;
        if (code <= 13 && !options[code - 1]) return 0;
        return code;
    }
    // A volume of a multi-part ARJ archive: .A01, .A02, ...
    if (ext.size() == 3 && ext[0] == 'A' && std::isdigit(uint8_t(ext[1])) && std::isdigit(uint8_t(ext[2])) &&
        Spec.HandleArjMultiDisks)
        return Spec.DoARJ ? 2 : 0;
    return 0;
}

// ---- The window ----

TCatalogProgressForm::TCatalogProgressForm(TComponent* AOwner) : TForm(AOwner) {
    SetBorderStyle(bsDialog);
    Position = poScreenCenter;
    SetClientSize(614, 413);

    // Volume strip.
    auto* volume = catalog::NewPanel(*this, *this, "VolumePanel", 8, 8, 230, 150, bvLowered);
    const char* volumeCaptions[] = {"Volume ID", "Serial No.", "Disk Size", "Free Space", "Cluster Size"};
    TPanel** volumePanels[] = {&VolumeIDPanel, &SerialNoPanel, &DiskSizePanel, &DiskFreePanel,
                               &DiskClusterSizePanel};
    const char* volumeNames[] = {"VolumeIDPanel", "SerialNoPanel", "DiskSizePanel", "DiskFreePanel",
                                 "DiskClusterSizePanel"};
    for (int i = 0; i < 5; ++i) {
        NewCaption(*this, *volume, volumeCaptions[i], 8, 12 + i * 27, 80);
        *volumePanels[i] = ValuePanel(*this, *volume, volumeNames[i], 90, 8 + i * 27, 130,
                                      i < 2 ? taLeftJustify : taRightJustify);
    }

    // Counter grid.
    auto* counters = catalog::NewPanel(*this, *this, "CounterPanel", 246, 8, 360, 150, bvLowered);
    NewCaption(*this, *counters, "Scanned", 134, 8, 100);
    NewCaption(*this, *counters, "Bytes In", 240, 8, 110);
    const char* rowCaptions[] = {"Folders", "Files On Disk", "Files In Archives", "To Be Cataloged"};
    TPanel** scanned[] = {&FoldersScannedPanel, &FilesOnDiskScannedPanel, &FilesInArcsScannedPanel,
                          &ToBeCatalogedScannedPanel};
    TPanel** bytes[] = {&BytesInFoldersPanel, &BytesInFilesOnDiskPanel, &BytesInFilesInArcsPanel,
                        &BytesInToBeCatalogedPanel};
    const char* scannedNames[] = {"FoldersScannedPanel", "FilesOnDiskScannedPanel", "FilesInArcsScannedPanel",
                                  "ToBeCatalogedScannedPanel"};
    const char* bytesNames[] = {"BytesInFoldersPanel", "BytesInFilesOnDiskPanel", "BytesInFilesInArcsPanel",
                                "BytesInToBeCatalogedPanel"};
    for (int i = 0; i < 4; ++i) {
        TLabel* row = NewCaption(*this, *counters, rowCaptions[i], 8, 32 + i * 28, 120);
        if (i == 3) {
            row->Font().Color = clNavy;
            row->Font().Changed();
        }
        *scanned[i] = ValuePanel(*this, *counters, scannedNames[i], 130, 28 + i * 28, 100);
        *bytes[i] = ValuePanel(*this, *counters, bytesNames[i], 236, 28 + i * 28, 116);
    }
    BytesInFoldersPanel->SetVisible(false);

    // Longest names.
    LongestStatsPanel = catalog::NewPanel(*this, *this, "LongestStatsPanel", 8, 166, 598, 150, bvLowered);
    const auto longest = [this](const char* Text, const char* Name, int X) {
        NewCaption(*this, *LongestStatsPanel, Text, X, 8, 140);
        return ValuePanel(*this, *LongestStatsPanel, Name, X + 80, 134 - 8, 50);
    };
    LongestFileNamePanel = longest("Longest FileName", "LongestFileNamePanel", 16);
    LongestFolderNamePanel = longest("Longest Folder Name", "LongestFolderNamePanel", 216);
    LongestArchiveNamePanel = longest("Longest Archive Name", "LongestArchiveNamePanel", 416);
    LongestFileNameMeter = VerticalMeter(*this, *LongestStatsPanel, "LongestFileNameMeter", 40, clRed,
                                         {"0", "50", "100", "150", "200"});
    LongestFolderNameMeter = VerticalMeter(*this, *LongestStatsPanel, "LongestFolderNameMeter", 240, clYellow,
                                           {"0", "50", "100", "150", "200"});
    LongestArchiveNameMeter = VerticalMeter(*this, *LongestStatsPanel, "LongestArchiveNameMeter", 440, clLime,
                                            {"0", "30", "60", "90"});

    // What is being read.
    MainOperationLabel = NewCaption(*this, *this, "Scanning Folder", 8, 322, 300);
    MainOperationLabel->SetName("MainOperationLabel");
    MainOperationPanel = catalog::NewPanel(*this, *this, "MainOperationPanel", 8, 338, 598, 22, bvLowered);
    MainOperationPanel->SetAlignment(taLeftJustify);
    ProgressBar = NewComponent<kit::TCoolGauge>(this);
    ProgressBar->SetName("ProgressBar");
    ProgressBar->SetParent(MainOperationPanel);
    ProgressBar->SetAlign(alClient);
    ProgressBar->SetText("%d%%");
    ProgressBar->SetVisible(false);
    ArchiveOperationLabel = NewCaption(*this, *this, "Scanning Archive", 8, 364, 300);
    ArchiveOperationLabel->SetName("ArchiveOperationLabel");
    ArchiveNamePanel = catalog::NewPanel(*this, *this, "ArchiveNamePanel", 8, 380, 360, 22, bvLowered);
    ArchiveNamePanel->SetAlignment(taLeftJustify);
    CatalogUpdateStatPanel =
        catalog::NewPanel(*this, *this, "CatalogUpdateStatPanel", 8, 364, 360, 40, bvNone);
    CatalogUpdateStatPanel->SetVisible(false);
    const char* updateCaptions[] = {"Files Added", "Files Updated", "Files Removed"};
    TPanel** updatePanels[] = {&AddedPanel, &UpdatedPanel, &RemovedPanel};
    const char* updateNames[] = {"AddedPanel", "UpdatedPanel", "RemovedPanel"};
    for (int i = 0; i < 3; ++i) {
        NewCaption(*this, *CatalogUpdateStatPanel, updateCaptions[i], i * 120, 0, 110);
        *updatePanels[i] = ValuePanel(*this, *CatalogUpdateStatPanel, updateNames[i], i * 120, 16, 110);
        (*updatePanels[i])->SetCaption("0");
    }

    // Buttons and clock.
    AbortBtn = NewComponent<TButton>(this);
    AbortBtn->SetName("AbortBtn");
    AbortBtn->SetParent(this);
    AbortBtn->SetCaption("Abort");
    AbortBtn->SetBounds(380, 372, 90, 30);
    AbortBtn->Cancel = true;
    AbortBtn->OnClick = [this](TObject*) { AbortBtnClick(); };
    CloseBtn = NewComponent<TButton>(this);
    CloseBtn->SetName("CloseBtn");
    CloseBtn->SetParent(this);
    CloseBtn->SetCaption("&Close");
    CloseBtn->SetBounds(380, 372, 90, 30);
    CloseBtn->SetEnabled(false);
    CloseBtn->SetVisible(false);
    CloseBtn->OnClick = [this](TObject*) { CloseBtnClick(); };
    NewCaption(*this, *this, "Elapsed Time:", 476, 360, 110);
    Clock = NewComponent<entry::TCtlClock>(this);
    Clock->SetName("Clock");
    Clock->SetParent(this);
    Clock->SetClockMode(entry::cmTimer);
    Clock->SetDisplayMode(entry::dmDigital);
    Clock->DigitalOptions().SetMilitaryTime(true);
    Clock->DigitalOptions().SetShowSeconds(true);
    Clock->DigitalOptions().SetOnColor(clBlue);
    Clock->DigitalOptions().SetOffColor(TColor(0x00300000));  // unlit segments: a dark blue
    Clock->SetBounds(476, 376, 134, 30);

    // Measuring labels.
    WidthLabel = NewCaption(*this, *this, "", 0, 0, 10);
    WidthLabel->SetName("WidthLabel");
    WidthLabel->SetVisible(false);
    ShowDirWidthLabel = NewCaption(*this, *this, "", 0, 0, 10);
    ShowDirWidthLabel->SetName("ShowDirWidthLabel");
    ShowDirWidthLabel->SetVisible(false);

    const auto table = [this](const char* Name) {
        auto* t = NewComponent<dbsql::TDbTable>(this);
        t->SetName(Name);
        return t;
    };
    ConfigTable = table("ConfigTable");
    SummaryTable = table("SummaryTable");
    CatalogTable = table("CatalogTable");
    CatalogTable->OnPostError = [](TDataSet*, EDatabaseError&, TDataAction& Action) { Action = daAbort; };
    NewDataTable = table("NewDataTable");
    LogTable = table("LogTable");

    Timer1 = NewComponent<TTimer>(this);
    Timer1->SetInterval(1000);
    Timer1->OnTimer = [this](TObject*) { Timer1Timer(); };
    Timer1->SetEnabled(true);

    SetActiveControl(AbortBtn);
}

TCatalogProgressForm::~TCatalogProgressForm() = default;

void TCatalogProgressForm::AbortBtnClick() {
    catalog::StopRequested = true;
}

void TCatalogProgressForm::CloseBtnClick() {
    catalog::StopRequested = true;
}

void TCatalogProgressForm::Timer1Timer() {
    Spec.TimerTick = true;
}

void TCatalogProgressForm::DoClose(TCloseAction& Action) {
    catalog::StopRequested = true;
    TForm::DoClose(Action);
}

// ---- The archive readers' run ----

bool TCatalogProgressForm::PassesIncludeExclude(const std::string& FolderName, const std::string& FileName) {
    return cataloging::PassesIncludeExclude(FolderName, FileName, Spec.ScanOnly);
}

void TCatalogProgressForm::AddNewDataEntry(const TArchiveEntry& Entry) {
    AddNewDataEntry(Entry.FileName, Entry.FolderName, Entry.ArchiveID, Entry.FileSize, Entry.DateModified,
                    Entry.TimeModified, Entry.Attribute, Entry.Comment);
}

void TCatalogProgressForm::ProcessMessages() {
    Application->ProcessMessages();
}

void TCatalogProgressForm::PumpForEntry() {
    // Handling messages costs more than many entries; the Abort button and the timer are still
    // seen within a fraction of a second.
    constexpr uint32_t kEntryPumpMilliseconds = 20;
    const uint32_t now = GetTickCount();
    if (EntryPumped && now - LastEntryPump < kEntryPumpMilliseconds) return;
    EntryPumped = true;
    LastEntryPump = now;
    ProcessMessages();
}

bool TCatalogProgressForm::StopRequested() const {
    return catalog::StopRequested;
}

void TCatalogProgressForm::ShowArchiveError(const std::string& Text) {
    ErrorBox(Text);
}

void TCatalogProgressForm::RequestStop() {
    catalog::StopRequested = true;
}

void TCatalogProgressForm::ShowArchiveOperation(const std::string& Text) {
    ArchiveOperationLabel->SetCaption(Text);
}

void TCatalogProgressForm::ShowArchiveName(const std::string& Text) {
    ArchiveNamePanel->SetCaption(Text);
}

int TCatalogProgressForm::AskExpandSfx(const std::string& ArchiveName) {
    return MessageDlg("Expand SFX ZIP Archive " + ArchiveName + "?", mtConfirmation,
                      {mbYes, mbNo, mbCancel, mbNoToAll, mbYesToAll}, 0);
}

// ---- Counters ----

void TCatalogProgressForm::ShowScanCounters() {
    FoldersScannedPanel->SetCaption(Counter(Spec.FoldersScanned));
    BytesInFoldersPanel->SetCaption(Counter(Spec.BytesInFolders));
    FilesOnDiskScannedPanel->SetCaption(Counter(Spec.FilesOnDiskScanned));
    BytesInFilesOnDiskPanel->SetCaption(Counter(Spec.BytesInFilesOnDisk));
    FilesInArcsScannedPanel->SetCaption(Counter(ArchiveFileCount));
    BytesInFilesInArcsPanel->SetCaption(Counter(ArchiveByteCount));
    ToBeCatalogedScannedPanel->SetCaption(Counter(Spec.ToBeCataloged));
    BytesInToBeCatalogedPanel->SetCaption(Counter(Spec.BytesInToBeCataloged));
    LongestFileNamePanel->SetCaption(IntToStr(int32_t(Spec.LongestFileName)) + " ");
    LongestFolderNamePanel->SetCaption(IntToStr(int32_t(Spec.LongestFolderName)) + " ");
    LongestArchiveNamePanel->SetCaption(IntToStr(int32_t(Spec.LongestArchiveID)) + " ");
    ProcessMessages();
}

void TCatalogProgressForm::ResetCounters(bool ListingToo) {
    Spec.FoldersScanned = 1;
    Spec.BytesInFolders = Spec.FilesOnDiskScanned = Spec.BytesInFilesOnDisk = 0;
    ArchiveFileCount = ArchiveByteCount = 0;
    Spec.ToBeCataloged = Spec.BytesInToBeCataloged = 0;
    Spec.LongestFileName = Spec.LongestFolderName = Spec.LongestArchiveID = 0;
    Spec.FileNamePixels = Spec.FolderNamePixels = Spec.ArchiveIDPixels = 0;
    MeasuredNames = {};
    EntryPumped = false;
    if (ListingToo) Spec.ListingCounters = {};
    Spec.UnreadableFolderCount = 0;
    Spec.UnreadableFolders.clear();
    Spec.UnreadableFolderNames.clear();
    LongestFileNameMeter->SetPercent(0);
    LongestFolderNameMeter->SetPercent(0);
    LongestArchiveNameMeter->SetPercent(0);
    ShowScanCounters();
}

void TCatalogProgressForm::SetMeter(entry::TCtlMeter* Meter, int Length, int Limit) {
    Meter->SetPercent(std::min(100, Length * 100 / Limit));
}

int TCatalogProgressForm::TextPixels(TLabel* Label, const std::string& Text) {
    Label->Canvas().Font.Assign(Label->Font());
    return Label->Canvas().TextWidth(Text);
}

// ---- Entry operations ----

bool TCatalogProgressForm::LoadRunOptions() {
    // The catalog's Boolean options and where the run keeps them.
    static const std::pair<const char*, bool TCatalogRunSpec::*> kOptions[] = {
        {"DoARC", &TCatalogRunSpec::DoARC},
        {"DoARJ", &TCatalogRunSpec::DoARJ},
        {"DoCAB", &TCatalogRunSpec::DoCAB},
        {"DoDWC", &TCatalogRunSpec::DoDWC},
        {"DoHYP", &TCatalogRunSpec::DoHYP},
        {"DoLBR", &TCatalogRunSpec::DoLBR},
        {"DoLZH", &TCatalogRunSpec::DoLZH},
        {"DoLZS", &TCatalogRunSpec::DoLZS},
        {"DoPAK", &TCatalogRunSpec::DoPAK},
        {"DoRAR", &TCatalogRunSpec::DoRAR},
        {"DoSQZ", &TCatalogRunSpec::DoSQZ},
        {"DoZIP", &TCatalogRunSpec::DoZIP},
        {"DoZOO", &TCatalogRunSpec::DoZOO},
        {"HandleArjMultiDisks", &TCatalogRunSpec::HandleArjMultiDisks},
        {"GetMainComment", &TCatalogRunSpec::GetMainComment},
        {"DoSfxArchives", &TCatalogRunSpec::DoSfxArchives},
        {"UseDiz", &TCatalogRunSpec::UseDiz},
        {"DizOverride", &TCatalogRunSpec::DizOverride},
        {"CopyMainComment", &TCatalogRunSpec::CopyMainComment},
        {"Aliases", &TCatalogRunSpec::Aliases},
        {"WarnIfExists", &TCatalogRunSpec::WarnIfExists},
        {"AutoEditDiskComments", &TCatalogRunSpec::AutoEditDiskComments},
        {"CommentOverrideFromDisk", &TCatalogRunSpec::CommentOverrideFromDisk},
        {"AutoEditFileComments", &TCatalogRunSpec::AutoEditFileComments},
        {"KeepActivityLog", &TCatalogRunSpec::KeepActivityLog},
        {"SelectiveCataloging", &TCatalogRunSpec::SelectiveCataloging},
        {"SelectiveCatAutotag", &TCatalogRunSpec::SelectiveCatAutotag},
    };
    Spec.ConfiguredExpandMode = ExpandMode = std::string(kExpandNever);
    for (const auto& [name, option] : kOptions) Spec.*option = false;
    ConfigTable->Close();
    ConfigTable->SetDatabaseName(catalog::ProgramFolder);
    ConfigTable->SetTableName(catalog::CatalogConfigsSchema().TableName);
    try {
        ConfigTable->Open();
        if (!ConfigTable->FindKey({Variant(catalog::CurrentCatalogName)})) {
            ConfigTable->Close();
            ErrorBox("Cannot Find A Configuration Record For This Catalog On File");
            return false;
        }
        for (const auto& [name, option] : kOptions)
            Spec.*option = catalog::IsTrueText(ConfigTable->FieldByName(name)->AsString());
        Spec.ConfiguredExpandMode = ExpandMode = ConfigTable->FieldByName("ExpandArchives")->AsString();
    } catch (const std::exception&) {
        ConfigTable->Close();
        ErrorBox("Error Retrieving Catalog Configuration");
        return false;
    }
    return true;
}

void TCatalogProgressForm::EndOfWalk() {
    MainOperationPanel->SetCaption("");
    if (!catalog::StopRequested) MainOperationLabel->SetCaption("Disk Scan Completed");
    ArchiveOperationLabel->SetVisible(false);
    ArchiveNamePanel->SetVisible(false);
    ProcessMessages();
    // Only a run that goes on into the catalog keeps entries the walk could not see.
    if (!Spec.ScanOnly && !catalog::StopRequested) WarnUnreadableFolders();
}

void TCatalogProgressForm::WarnUnreadableFolders() {
    if (Spec.UnreadableFolderCount == 0) return;
    std::string text =
        "Korvane Could Not Read " + IntToStr(Spec.UnreadableFolderCount) + " Folder(s) On This Disk:";
    for (const std::string& path : Spec.UnreadableFolders) text += "\r\n" + path;
    text += "\r\n\r\nTheir Entries Already In The Catalog Are Kept As They Were.";
    MessageDlg(text, mtWarning, {mbOK}, 0);
}

bool TCatalogProgressForm::CatalogDisk() {
    Clock->SetActive(true);
    bool result = false;
    if (Trim(catalog::CurrentCatalogName).empty()) {
        ErrorBox("Please Select A Catalog First");
        Clock->SetActive(false);
        return false;
    }
    if (!LoadRunOptions()) {
        Clock->SetActive(false);
        return false;
    }
    const std::string& catalogName = catalog::CurrentCatalogName;
    SummaryTable->SetDatabaseName(catalog::CatalogDataFolder);
    SummaryTable->SetTableName(catalogName + "_SUM");
    CatalogTable->SetDatabaseName(catalog::CatalogDataFolder);
    CatalogTable->SetTableName(catalogName + "_CAT");
    LogTable->SetDatabaseName(catalog::CatalogDataFolder);
    LogTable->SetTableName(catalogName + "_LOG");
    try {
        SummaryTable->Open();
    } catch (const std::exception&) {
        // The already-catalogued check then does not run and the volume record cannot be written.
    }
    Spec.StartFolder = WithFinalBackslash(Spec.StartFolder);
    ResetCounters(true);
    if (ReadVolumeInfo() && CreateNewDataTable()) {
        ScanFolder(std::string(1, Spec.DriveLetter) + ":\\", "*.*");
        EndOfWalk();
        if (!catalog::StopRequested) {
            if (!Spec.StatsOnly && Spec.ToBeCataloged == 0 &&
                MessageDlg(
                    "There Were No Files Passing Your Include/Exclude Specs Found On This Disk - Catalog "
                    "It As Having No Files Anyway?",
                    mtConfirmation, {mbYes, mbNo}, 0) != mrYes)
                catalog::StopRequested = true;
            if (!catalog::StopRequested && Spec.ToBeCataloged > 0 && Spec.SelectiveCataloging &&
                !SelectEntries())
                catalog::StopRequested = true;
            if (!catalog::StopRequested && Spec.SelectiveCataloging) {
                RedetermineLongestNames();
                ShowScanCounters();
            }
            if (!catalog::StopRequested && !CheckFieldSizes()) catalog::StopRequested = true;
            if (!catalog::StopRequested) {
                AbortBtn->SetEnabled(false);
                UpdateCatalog();
                MainOperationLabel->SetCaption("");
                MainOperationPanel->SetAlignment(taCenter);
                MainOperationPanel->SetCaption("Catalog Update Completed");
                ProgressBar->SetVisible(false);
            }
        }
        DropNewDataTable();
        result = !catalog::StopRequested;
    }
    SummaryTable->Close();
    ConfigTable->Close();
    Clock->SetActive(false);
    return result;
}

bool TCatalogProgressForm::ScanDiskOnly() {
    Clock->SetActive(true);
    Spec.ScanOnly = true;
    Spec.KeepActivityLog = Spec.SelectiveCataloging = Spec.SelectiveCatAutotag = false;
    Spec.Aliases = Spec.WarnIfExists = Spec.AutoEditDiskComments = false;
    Spec.CommentOverrideFromDisk = Spec.AutoEditFileComments = false;
    Spec.StartFolder = WithFinalBackslash(Spec.StartFolder);
    ResetCounters(false);
    if (!ReadVolumeInfo() || !CreateNewDataTable()) {
        Clock->SetActive(false);
        return false;
    }
    ScanFolder(std::string(1, Spec.DriveLetter) + ":\\", "*.*");
    EndOfWalk();
    if (catalog::StopRequested) {
        DropNewDataTable();
        Clock->SetActive(false);
        return false;
    }
    Clock->SetActive(false);
    return true;
}

// ---- Table New ----

bool TCatalogProgressForm::CreateNewDataTable() {
    static const catalog::TTableSchema kNew{
        "New",
        {{"FileName", ftString, kFileNameLimit, true},
         {"FolderName", ftString, kFolderNameLimit},
         {"ArchiveID", ftString, kArchiveIDLimit},
         {"FileSize", ftBCD},
         {"DateModified", ftDate},
         {"TimeModified", ftTime},
         {"Attribute", ftInteger},
         {"Comment", ftMemo},
         {"Tagged", ftBoolean}},
        {{"", "Filename;FolderName;ArchiveID", ixPrimary | ixUnique | ixCaseInsensitive}}};
    // A listing from a text file also carries each entry's category.
    static const catalog::TTableSchema kImportedNew = [] {
        catalog::TTableSchema schema = kNew;
        schema.Fields.insert(schema.Fields.begin() + 7, {"CategoryCode", ftString, 6});
        return schema;
    }();
    const catalog::TTableSchema& schema = Spec.FromTextImport ? kImportedNew : kNew;
    constexpr uint8_t kFullCompression = 3;
    NewDataTable->Close();
    NewDataTable->SetDatabaseName(Spec.KeepInMemory ? "Memory" : catalog::ProgramFolder);
    NewDataTable->SetTableName("New");
    // New is the run's own table: held alone, its writes need no locks and no flush per record.
    NewDataTable->SetExclusive(true);
    try {
        if (NewDataTable->Exists()) NewDataTable->DeleteTable();
        catalog::DefineTable(*NewDataTable, schema);
        NewDataTable->CreateTable();
    } catch (const std::exception&) {
        ErrorBox("Error Creating Temporary File For Cataloging Purposes");
        return false;
    }
    try {
        NewDataTable->RestructureFieldDefs.Clear();
        NewDataTable->RestructureFieldDefs.Update();
        NewDataTable->RestructureIndexDefs.Clear();
        NewDataTable->RestructureIndexDefs.Add("", schema.Indexes[0].Fields, schema.Indexes[0].Options,
                                               kFullCompression);
        NewDataTable->AlterTable(0, 0, 1, 0, false, "", "", 512, -1, true);
        platform::DeleteFile(catalog::ProgramFolder + "NEW.IBK");
        NewDataTable->Open();
    } catch (const std::exception&) {
        ErrorBox("Error Creating Temporary File For Cataloging Purposes");
        return false;
    }
    return true;
}

void TCatalogProgressForm::ShareNewDataTable() {
    if (!NewDataTable->Exclusive()) return;
    const bool wasOpen = NewDataTable->Active();
    NewDataTable->Close();
    NewDataTable->SetExclusive(false);
    if (wasOpen) NewDataTable->Open();
}

void TCatalogProgressForm::DropNewDataTable() {
    try {
        NewDataTable->Close();
        NewDataTable->DeleteTable();
    } catch (...) {
    }
}

bool TCatalogProgressForm::FitNames(std::array<std::string, 3>& Names) {
    const std::array<int, 3> limits{kFileNameLimit, kFolderNameLimit, kArchiveIDLimit};
    const std::array<std::string, 3> raw = Names;
    bool tooLong = false;
    for (size_t i = 0; i < 3; ++i) tooLong = tooLong || int(Names[i].size()) > limits[i];
    bool dropped = false;
    if (tooLong) {
        if (Spec.SkipAllBad) return false;
        // A folder or archive the user has shortened already is shortened the same way again.
        for (size_t i = 1; i < 3; ++i)
            if (int(Names[i].size()) > limits[i] && Names[i] == Spec.PreviousRawNames[i])
                Names[i] = Spec.PreviousFixedNames[i];
        bool stillLong = false;
        for (size_t i = 0; i < 3; ++i) stillLong = stillLong || int(Names[i].size()) > limits[i];
        if (stillLong) {
            auto* form = TCustomForm::Create<TCatalogProgressBadEntryForm>(Application);
            form->SetNames(Names[0], Names[1], Names[2]);
            const TModalResult answer = form->ShowModal();
            if (answer == mrOk) {
                TEdit* edits[] = {form->EditFileName, form->EditFolderName, form->EditArchiveID};
                for (size_t i = 0; i < 3; ++i)
                    if (edits[i]->Visible()) Names[i] = edits[i]->Text();
            } else {
                dropped = true;
                if (answer == mrNoToAll) Spec.SkipAllBad = true;
                if (answer == mrAbort) catalog::StopRequested = true;
            }
            form->Release();
        }
    }
    Spec.PreviousRawNames = raw;
    Spec.PreviousFixedNames = Names;
    return !dropped;
}

void TCatalogProgressForm::AddNewDataEntry(const std::string& FileName, const std::string& FolderName,
                                           const std::string& ArchiveID, int64_t FileSize,
                                           TDateTime DateModified, TDateTime TimeModified, int32_t Attribute,
                                           const std::string& Comment) {
    if (Spec.StatsOnly || FileSize < 0) return;
    std::array<std::string, 3> names{FileName, FolderName, ArchiveID};
    if (!FitNames(names) || catalog::StopRequested) return;
    // The table's unique key refuses a second entry of the same names: the insert itself finds a
    // duplicate, in the one descent of its key, and a refused insert has written nothing.
    bool posted = false, duplicate = false;
    try {
        NewDataTable->Insert();
        NewDataTable->FieldByName("FileName")->SetAsString(names[0]);
        NewDataTable->FieldByName("FolderName")->SetAsString(names[1]);
        NewDataTable->FieldByName("ArchiveID")->SetAsString(names[2]);
        // A value the field refuses leaves it empty; the entry is written all the same.
        const auto put = [this](const char* Field, const std::function<void(TField&)>& Set) {
            try {
                Set(*NewDataTable->FieldByName(Field));
            } catch (const std::exception&) {
                NewDataTable->FieldByName(Field)->Clear();
            }
        };
        put("FileSize", [&](TField& f) { f.SetAsString(IntToStr(FileSize)); });
        put("DateModified", [&](TField& f) { f.SetAsDateTime(DateModified); });
        put("TimeModified", [&](TField& f) { f.SetAsDateTime(TimeModified); });
        NewDataTable->FieldByName("Attribute")->SetAsInteger(Attribute);
        NewDataTable->FieldByName("Comment")->SetAsString(Comment);
        NewDataTable->FieldByName("Tagged")->SetAsBoolean(Spec.SelectiveCataloging ? Spec.SelectiveCatAutotag
                                                                                   : true);
        NewDataTable->Post();
        posted = true;
    } catch (const std::exception& e) {
        try {
            NewDataTable->Cancel();
        } catch (...) {
        }
        const auto* engine = dynamic_cast<const dbengine::EDbEngineError*>(&e);
        duplicate = engine != nullptr && engine->ErrorCode == dbengine::DBE_KEYVIOL;
        if (!duplicate) {
            ErrorBox(kPostError);
            catalog::StopRequested = true;
        }
    }
    if (duplicate && !Spec.DuplicateWarned) {
        ErrorBox("I Have Found A Duplicate File On This Disk.\r\n\r\nFilename = " + names[0] +
                 "\r\nFolder = " + names[1] + "\r\nArchiveID = " + names[2] +
                 "\r\n\r\nThis Usually Means That There Is A Problem On The Disk.  If The Archive ID Is "
                 "Blank,\r\nIt Means That The Problem Is In The Indicated Folder  If The Archive ID Is "
                 "Not "
                 "Blank,\r\nIt Means That The Problem Is In The Indicated Archive File.\r\n\r\nKorvane "
                 "Will "
                 "Ignore Any Duplicate Files Such As This That It Encounters");
        Spec.DuplicateWarned = true;
    }
    if (posted) {
        ++Spec.ToBeCataloged;
        Spec.BytesInToBeCataloged += FileSize;
        int16_t* longest[] = {&Spec.LongestFileName, &Spec.LongestFolderName, &Spec.LongestArchiveID};
        int16_t* widest[] = {&Spec.FileNamePixels, &Spec.FolderNamePixels, &Spec.ArchiveIDPixels};
        entry::TCtlMeter* meters[] = {LongestFileNameMeter, LongestFolderNameMeter, LongestArchiveNameMeter};
        const int limits[] = {kFileNameLimit, kFolderNameLimit, kArchiveIDLimit};
        for (size_t i = 0; i < 3; ++i) {
            const int length = int(names[i].size());
            if (length > *longest[i]) {
                *longest[i] = int16_t(length);
                SetMeter(meters[i], length, limits[i]);
            }
            if (names[i] != MeasuredNames[i]) {
                MeasuredNames[i] = names[i];
                const int pixels = TextPixels(WidthLabel, names[i]);
                if (pixels > *widest[i]) *widest[i] = int16_t(std::min(pixels, 32767));
            }
        }
        if (Spec.ScanOnly) {
            const size_t at = Trim(names[2]).empty() ? 0 : 2;
            ++Spec.ListingCounters[at];
            Spec.ListingCounters[at + 1] += FileSize;
            std::string attributes;
            if (Attribute & 1) attributes += 'R';
            if (Attribute & 2) attributes += 'H';
            if (Attribute & 4) attributes += 'S';
            if (Attribute & 32) attributes += 'A';
            std::string comment = Comment.substr(0, Comment.find('\n'));
            comment = comment.substr(0, comment.find('\r'));
            const std::string columns[] = {names[0],
                                           names[1],
                                           names[2],
                                           FormatFloat("###,###,###,###,##0", double(FileSize)),
                                           DateToStr(DateModified),
                                           TimeToStr(TimeModified),
                                           attributes,
                                           comment};
            for (size_t i = 0; i < 8; ++i) {
                Spec.ColumnChars[i] = std::max<int16_t>(Spec.ColumnChars[i], int16_t(columns[i].size()));
                Spec.ColumnPixels[i] =
                    std::max<int16_t>(Spec.ColumnPixels[i],
                                      int16_t(std::min(TextPixels(ShowDirWidthLabel, columns[i]), 32767)));
            }
        }
    }
    if (Spec.TimerTick) {
        ShowScanCounters();
        Spec.TimerTick = false;
    }
}

// ---- The walk ----

bool TCatalogProgressForm::IsInStartScope(const std::string& FolderPath) const {
    if (!FolderPath.starts_with(Spec.StartFolder)) return false;
    return Spec.Recurse || FolderPath.size() == Spec.StartFolder.size();
}

void TCatalogProgressForm::ScanFolder(const std::string& FolderPath, const std::string& Mask) {
    Spec.RunMask = Mask;
    if (catalog::StopRequested) return;
    if (Spec.StartFolder.size() > 3 && FolderPath.size() == 3) {
        // The start folder in the spelling the disk gives it, so that the scope compares exactly.
        std::string native;
        if (platform::ResolveExistingPath(Spec.StartFolder, native)) {
            const std::string found = WithFinalBackslash(platform::NativeToWindowsPath(native));
            if (found.size() == Spec.StartFolder.size() &&
                SameText(found.substr(0, 2), Spec.StartFolder.substr(0, 2)))
                Spec.StartFolder = UpperCase(found.substr(0, 1)) + found.substr(1);
        }
    }
    const std::string folderName = FolderNameOf(FolderPath);
    if (Spec.IgnoreRecycleBin && IsRecycleFolder(folderName)) return;
    MainOperationPanel->SetCaption(" " + FolderPath);
    ProcessMessages();
    platform::HANDLE search = platform::INVALID_HANDLE_VALUE;
    try {
        platform::WIN32_FIND_DATA data;
        search = platform::FindFirstFile(FolderPath + "*.*", data, kSearchAttributes);
        if (search == platform::INVALID_HANDLE_VALUE) {
            // An empty folder is no fault; one that could not be read is kept apart, so that its
            // entries already catalogued are not taken as gone.
            const uint32_t error = platform::GetLastError();
            if (error != platform::ERROR_FILE_NOT_FOUND && error != platform::ERROR_NO_MORE_FILES) {
                ++Spec.UnreadableFolderCount;
                Spec.UnreadableFolderNames.push_back(folderName);
                if (Spec.UnreadableFolders.size() < kUnreadableListed)
                    Spec.UnreadableFolders.push_back(FolderPath);
            }
        } else {
            do {
                TWalkEntry entry;
                entry.Name = data.cFileName;
                entry.Attributes = data.dwFileAttributes;
                entry.Size = int64_t(uint64_t(data.nFileSizeHigh) << 32 | data.nFileSizeLow);
                entry.Stamp = StampOf(data);
                ProcessDirEntry(FolderPath, folderName, entry);
                if (catalog::StopRequested) break;
            } while (platform::FindNextFile(search, data));
            platform::FindClose(search);
            search = platform::INVALID_HANDLE_VALUE;
        }
        ShowScanCounters();
    } catch (const std::exception&) {
        if (search != platform::INVALID_HANDLE_VALUE) platform::FindClose(search);
        catalog::StopRequested = true;
        ErrorBox(kFolderError);
    }
}

void TCatalogProgressForm::ProcessDirEntry(const std::string& FolderPath, const std::string& FolderName,
                                           const TWalkEntry& Entry) {
    try {
        const bool inScope = IsInStartScope(FolderPath);
        MainArchiveComment.clear();
        PumpForEntry();
        if (Entry.Attributes & platform::FILE_ATTRIBUTE_DIRECTORY) {
            if (Entry.Name == "." || Entry.Name == "..") return;
            // A folder left out is not counted either.
            if (Spec.IgnoreRecycleBin && IsRecycleFolder(FolderNameOf(FolderPath + Entry.Name + "\\")))
                return;
            ++Spec.FoldersScanned;
            Spec.BytesInFolders += int64_t(uint32_t(Entry.Size));
            ScanFolder(FolderPath + Entry.Name + "\\", Spec.RunMask);
            MainOperationPanel->SetCaption(" " + FolderPath);
            ProcessMessages();
            return;
        }
        ++Spec.FilesOnDiskScanned;
        Spec.BytesInFilesOnDisk += Entry.Size;
        const int code = ClassifyByExtension(Spec, Entry.Name);
        const TArchiveArgs args{inScope, FolderName, FolderPath, Entry.Name};
        const auto clearDisplays = [this] {
            ArchiveOperationLabel->SetCaption("");
            ArchiveNamePanel->SetCaption("");
            ProcessMessages();
        };
        if (code >= 1 && code <= 13) {
            if (ShouldExpandArchive(inScope, FolderPath, Entry.Name)) {
                ArchiveOperationLabel->SetCaption("Scanning Archive");
                ArchiveNamePanel->SetCaption(" " + Entry.Name);
                ProcessMessages();
                ReadArchiveDirectory(*this, code, args);
                ShowScanCounters();
                clearDisplays();
            } else if (inScope && Spec.GetMainComment && (code == 2 || code == 12)) {
                ArchiveOperationLabel->SetCaption("Reading Main Archive Comment In");
                ArchiveNamePanel->SetCaption(Entry.Name);
                ProcessMessages();
                if (code == 2)
                    ReadArjDirectory(*this, args, true);
                else
                    ReadZipComment(*this, args);
                clearDisplays();
            }
        } else if (Spec.DoSfxArchives && EndsInExe(Entry.Name)) {
            ProbeSfxArchive(*this, args);
        }
        if (!inScope) return;
        if ((code == 12 || (Spec.DoSfxArchives && EndsInExe(Entry.Name))) &&
            (Spec.DizOverride || (Spec.UseDiz && MainArchiveComment.empty()))) {
            try {
                ReadFileIdDiz(*this, args, Spec.DizOverride, Spec.UseDiz);
            } catch (const std::exception&) {
            }
        }
        bool described = false;
        if (PassesIncludeExclude(FolderName, Entry.Name)) {
            if (code >= kFirstTechInfoCode && code <= kLastTechInfoCode) {
                ExtractTechnicalInfo(*this, FolderName, FolderPath, Entry.Name, code);
                described = true;
                clearDisplays();
            }
            AddNewDataEntry(Entry.Name, FolderName, "", Entry.Size, Entry.Stamp, Entry.Stamp,
                            int32_t(Entry.Attributes), MainArchiveComment);
        }
        if (Spec.CopyMainComment && !MainArchiveComment.empty() && !described) {
            ArchiveOperationLabel->SetCaption("Copying Main Archive Comment To \"Sibblings\"");
            ArchiveNamePanel->SetCaption(Entry.Name);
            ProcessMessages();
            CopyCommentToMembers(FolderName, Entry.Name);
            clearDisplays();
        }
    } catch (const std::exception&) {
        catalog::StopRequested = true;
        ErrorBox(kFolderError);
    }
}

void TCatalogProgressForm::CopyCommentToMembers(const std::string& FolderName,
                                                const std::string& ArchiveName) {
    // The members are found by comparing the two names, not through a filter expression: a name may
    // hold any quote.
    NewDataTable->SetOnFilterRecordValue([&](TDataSet* Data, bool& Accept) {
        Accept = SameText(Data->FieldByName("FolderName")->AsString(), FolderName) &&
                 SameText(Data->FieldByName("ArchiveID")->AsString(), ArchiveName);
    });
    NewDataTable->SetFilteredValue(true);
    try {
        NewDataTable->First();
        while (!NewDataTable->Eof()) {
            if (NewDataTable->FieldByName("Comment")->AsString().empty()) {
                NewDataTable->Edit();
                NewDataTable->FieldByName("Comment")->SetAsString(MainArchiveComment);
                NewDataTable->Post();
            }
            NewDataTable->Next();
        }
    } catch (...) {
        NewDataTable->SetFilteredValue(false);
        NewDataTable->SetOnFilterRecordValue({});
        throw;
    }
    NewDataTable->SetFilteredValue(false);
    NewDataTable->SetOnFilterRecordValue({});
}

bool TCatalogProgressForm::ShouldExpandArchive(bool InScope, const std::string& FolderPath,
                                               const std::string& FileName) {
    if (Spec.ConfiguredExpandMode == kExpandAlways) return true;
    if (InScope && ExpandMode == kExpandAlways) return true;
    if (ExpandMode == kExpandNever || !InScope) return false;
    auto* form = TCustomForm::Create<TConfirmExpandArchiveForm>(Application);
    form->ArchiveNamePanel->SetCaption(FolderPath + FileName);
    const TModalResult answer = form->ShowModal();
    form->Release();
    switch (answer) {
        case mrYes:
            return true;
        case mrYesToAll:
            ExpandMode = std::string(kExpandAlways);
            return true;
        case mrNoToAll:
            ExpandMode = std::string(kExpandNever);
            return false;
        case mrAbort:
            ExpandMode = std::string(kExpandNever);
            catalog::StopRequested = true;
            return false;
        default:
            return false;
    }
}

// ---- The callers' sequence ----

bool RunCatalogDisk(const TCatalogRunRequest& Request, TWinControl* Caller) {
    auto* form = TCustomForm::Create<TCatalogProgressForm>(Application);
    TCatalogRunSpec& spec = form->Spec;
    const TCatalogRunSpec& given = Request.Fields;
    spec.FromCleanupTool = given.FromCleanupTool;
    spec.FromOffloadTool = given.FromOffloadTool;
    spec.SkipExistsWarning = given.SkipExistsWarning;
    spec.DriveLetter = char(std::toupper(uint8_t(given.DriveLetter)));
    spec.StartFolder = given.StartFolder;
    spec.Recurse = given.Recurse;
    spec.IgnoreRecycleBin = given.IgnoreRecycleBin;
    spec.StatsOnly = given.StatsOnly;
    spec.KeepInMemory = given.KeepInMemory;
    form->SetCaption(Request.Caption.empty() ? "Cataloging Disk In Drive " + std::string(1, spec.DriveLetter)
                                             : Request.Caption);
    catalog::StopRequested = false;
    if (Caller) Caller->SetEnabled(false);
    bool result = false;
    try {
        form->Show();
        result = form->CatalogDisk();
        if (result && Request.PauseAfter) {
            form->CloseBtn->SetEnabled(true);
            form->CloseBtn->SetVisible(true);
            form->SetActiveControl(form->CloseBtn);
            form->AbortBtn->SetEnabled(false);
            form->AbortBtn->SetVisible(false);
            catalog::StopRequested = false;
            while (!catalog::StopRequested && !Application->Terminated()) Application->HandleMessage();
        }
    } catch (...) {
        if (Caller) Caller->SetEnabled(true);
        form->Release();
        throw;
    }
    if (Caller) Caller->SetEnabled(true);
    form->Release();
    return result;
}

}  // namespace cataloging
