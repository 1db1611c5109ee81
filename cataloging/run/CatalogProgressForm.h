#pragma once
// The cataloguing run: the progress window that reads one drive (or a folder of it) into the
// temporary table New, walking the whole drive so that its figures describe the entire disk, and
// either goes on into the current catalog (CatalogDisk) or leaves New for a directory listing
// (ScanDiskOnly). The window owns the run's parameter block, the tables the run works on and, as
// the archive readers' run, the ZIP and cabinet components.
//
// The volume information and the update of the catalog itself (field-size check, volume record,
// merge, last label, activity log) are the virtual steps below (CatalogUpdate.cpp). The selective
// tagging step is defined with its window in cataloging/selective.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "cataloging/archives/ArchiveRun.h"
#include "framework/ui/Forms.h"

namespace framework {
class TButton;
class TLabel;
class TPanel;
class TTimer;
}  // namespace framework

namespace entry {
class TCtlClock;
class TCtlMeter;
}  // namespace entry

namespace kit {
class TCoolGauge;
}

namespace dbsql {
class TDbTable;
}

namespace cataloging {

// The parameter block of a run: what the caller asks for, the catalog's options, the figures found
// and the run's own state. A fresh block is all zero, false and empty. The comment source of the
// current file (MainArchiveComment), the working expand mode (ExpandMode) and the "Files In
// Archives" counters (ArchiveFileCount, ArchiveByteCount) are kept on the run window itself, where
// the archive readers find them.
struct TCatalogRunSpec {
    // ---- Set by the caller ----
    bool FromCleanupTool = false;
    bool FromOffloadTool = false;
    bool SkipExistsWarning = false;
    char DriveLetter = 0;     // upper case
    std::string StartFolder;  // with the drive and a final "\" (one is added when missing)
    bool Recurse = false;
    bool IgnoreRecycleBin = false;
    bool StatsOnly = false;
    bool KeepInMemory = false;  // New in the engine's in-memory database
    // A listing read from a text file rather than a drive: New has a CategoryCode field, which added
    // and updated entries take; an updated entry takes New's comment, blank or not, where the
    // catalog's is blank or CommentOverrideFromDisk is set; no message window shows while the catalog
    // table opens; the file comment editor opens even when nothing was to be catalogued.
    bool FromTextImport = false;

    // ---- The catalog's options ----
    bool KeepActivityLog = false, SelectiveCataloging = false, SelectiveCatAutotag = false;
    bool DoARC = false, DoARJ = false, DoCAB = false, DoDWC = false, DoHYP = false, DoLBR = false,
         DoLZH = false, DoLZS = false, DoPAK = false, DoRAR = false, DoSQZ = false, DoZIP = false,
         DoZOO = false;
    bool HandleArjMultiDisks = false, GetMainComment = false, DoSfxArchives = false, UseDiz = false,
         DizOverride = false, CopyMainComment = false, Aliases = false, WarnIfExists = false,
         AutoEditDiskComments = false, CommentOverrideFromDisk = false, AutoEditFileComments = false;
    std::string ConfiguredExpandMode;  // the catalog's ExpandArchives

    // ---- Results ----
    std::string ActualLabel, CatalogLabel;
    uint32_t VolumeSerial = 0;
    int64_t DiskSizeBytes = 0, DiskFreeBytes = 0, ClusterBytes = 0;
    int64_t FoldersScanned = 0, BytesInFolders = 0;
    int64_t FilesOnDiskScanned = 0, BytesInFilesOnDisk = 0;
    int64_t ToBeCataloged = 0, BytesInToBeCataloged = 0;
    int16_t LongestFileName = 0, LongestFolderName = 0, LongestArchiveID = 0;
    int16_t FileNamePixels = 0, FolderNamePixels = 0, ArchiveIDPixels = 0;
    // Directory-only scan: entries outside archives and their bytes, inside archives and theirs.
    std::array<int64_t, 4> ListingCounters{};
    // Directory-only scan: the widest text of each listing column (name, folder, archive, size,
    // date, time, attributes, comment) in characters and in pixels.
    std::array<int16_t, 8> ColumnChars{}, ColumnPixels{};

    // ---- Run state ----
    bool ScanOnly = false;
    bool Recataloged = false;
    std::string RunMask;
    bool DuplicateWarned = false;
    bool SkipAllBad = false;
    std::array<std::string, 3> PreviousRawNames, PreviousFixedNames;
    bool TimerTick = false;
    // Folders whose search failed with an error (not merely empty): their number and the first paths,
    // and the folder names (as entries carry them) of them all.
    int64_t UnreadableFolderCount = 0;
    std::vector<std::string> UnreadableFolders;
    std::vector<std::string> UnreadableFolderNames;
};

// The type codes of files by extension: 1..13 archives, 14..20 pictures and MP3 files, 0 others.
int ClassifyByExtension(const TCatalogRunSpec& Spec, const std::string& FileName);

class TCatalogProgressForm : public framework::TForm, public TArchiveRun {
public:
    explicit TCatalogProgressForm(framework::TComponent* AOwner);
    ~TCatalogProgressForm() override;

    TCatalogRunSpec Spec;

    // ---- Entry operations ----
    // The full run into the current catalog; true when it reached its end without a stop.
    bool CatalogDisk();
    // The walk into New without any catalog; on true New stays for the caller.
    bool ScanDiskOnly();

    // ---- Steps ----
    bool CreateNewDataTable();
    // Reopens New for sharing once the walk that filled it alone is over, so that another cursor
    // (the selective window's) can read and tag it.
    void ShareNewDataTable();
    void DropNewDataTable();
    void AddNewDataEntry(const std::string& FileName, const std::string& FolderName,
                         const std::string& ArchiveID, int64_t FileSize, framework::TDateTime DateModified,
                         framework::TDateTime TimeModified, int32_t Attribute, const std::string& Comment);
    // Walks FolderPath (a drive path ending in "\") and everything below it.
    void ScanFolder(const std::string& FolderPath, const std::string& Mask);
    bool IsInStartScope(const std::string& FolderPath) const;
    bool ShouldExpandArchive(bool InScope, const std::string& FolderPath, const std::string& FileName);
    void ShowScanCounters();
    // The warning about folders that could not be read (none shown when every folder was read).
    void WarnUnreadableFolders();

    // ---- Steps that belong to the volume and the catalog ----
    // The volume's serial number, label and figures and the name it is catalogued under (the
    // label, a label written now or an alias); false when the run is to end.
    virtual bool ReadVolumeInfo();
    // Selective tagging of New's entries (cataloging/selective); false when the user cancels.
    virtual bool SelectEntries();
    // The longest names over the tagged entries of New.
    virtual void RedetermineLongestNames();
    // The field-size check; false when the user declines to enlarge the catalog's sizes.
    virtual bool CheckFieldSizes();
    // Volume record, merge, last label and activity log.
    virtual void UpdateCatalog();
    // The volume's record in <catalog>_SUM; sets Recataloged.
    void UpdateSummaryTable();
    // New's tagged entries into the volume's entries of <catalog>_CAT.
    void MergeIntoCatalogTable();
    // The catalog's last label and the activity log entry.
    void RecordCatalogedVolume();
    // The merge's counters.
    int64_t Added = 0, Updated = 0, Removed = 0;
    // The merge's steps taken under one lock of the catalog and written together.
    int MergeBatch = 1000;

    // ---- The archive readers' run ----
    bool PassesIncludeExclude(const std::string& FolderName, const std::string& FileName) override;
    void AddNewDataEntry(const TArchiveEntry& Entry) override;
    void ProcessMessages() override;
    bool StopRequested() const override;
    void ShowArchiveError(const std::string& Text) override;
    void RequestStop() override;
    void ShowArchiveOperation(const std::string& Text) override;
    void ShowArchiveName(const std::string& Text) override;
    void ShowCounters() override { ShowScanCounters(); }
    int AskExpandSfx(const std::string& ArchiveName) override;

    // ---- Window ----
    framework::TPanel *VolumeIDPanel, *SerialNoPanel, *DiskSizePanel, *DiskFreePanel, *DiskClusterSizePanel;
    framework::TPanel *FoldersScannedPanel, *BytesInFoldersPanel, *FilesOnDiskScannedPanel,
        *BytesInFilesOnDiskPanel, *FilesInArcsScannedPanel, *BytesInFilesInArcsPanel,
        *ToBeCatalogedScannedPanel, *BytesInToBeCatalogedPanel;
    framework::TPanel* LongestStatsPanel;
    framework::TPanel *LongestFileNamePanel, *LongestFolderNamePanel, *LongestArchiveNamePanel;
    entry::TCtlMeter *LongestFileNameMeter, *LongestFolderNameMeter, *LongestArchiveNameMeter;
    framework::TLabel* MainOperationLabel;
    framework::TPanel* MainOperationPanel;
    kit::TCoolGauge* ProgressBar;
    framework::TLabel* ArchiveOperationLabel;
    framework::TPanel* ArchiveNamePanel;
    framework::TPanel* CatalogUpdateStatPanel;
    framework::TPanel *AddedPanel, *UpdatedPanel, *RemovedPanel;
    framework::TButton* AbortBtn;
    framework::TButton* CloseBtn;
    entry::TCtlClock* Clock;
    framework::TLabel* WidthLabel;
    framework::TLabel* ShowDirWidthLabel;
    framework::TTimer* Timer1;
    dbsql::TDbTable *ConfigTable, *SummaryTable, *CatalogTable, *NewDataTable, *LogTable;

    void AbortBtnClick();
    void CloseBtnClick();
    void Timer1Timer();

protected:
    void DoClose(framework::TCloseAction& Action) override;

protected:
    void SetMeter(entry::TCtlMeter* Meter, int Length, int Limit);
    static int TextPixels(framework::TLabel* Label, const std::string& Text);
    // The over-long check: false when the entry is dropped.
    bool FitNames(std::array<std::string, 3>& Names);
    // One record of the catalog's activity log, dated now; the operation's first 50 characters.
    void AppendActivityLog(const std::string& Operation);

private:
    bool LoadRunOptions();
    void ResetCounters(bool ListingToo);
    void EndOfWalk();
    void ProcessDirEntry(const std::string& FolderPath, const std::string& FolderName,
                         const struct TWalkEntry& Entry);
    void CopyCommentToMembers(const std::string& FolderName, const std::string& ArchiveName);
    // Lets messages through for an entry of the walk, at most once every few milliseconds.
    void PumpForEntry();
    uint32_t LastEntryPump = 0;
    bool EntryPumped = false;
    // The names whose widths were measured last, by column: a folder's files all carry its name.
    std::array<std::string, 3> MeasuredNames;
};

// The comment editors a run opens after its update when the catalog's options ask for them; the
// comment editing windows plug them in, and nothing is opened while one is empty. The disk
// comment editor gets the name of the volume just written (it raises when it cannot be set up);
// the file comment editor the run's parameter block.
struct TRunCommentEditors {
    std::function<void(const std::string& CatalogVolumeLabel)> EditDiskComment;
    std::function<void(const TCatalogRunSpec& Spec)> EditFileComments;
};
extern TRunCommentEditors RunCommentEditors;

// What a caller of the run gives: the caller fields of the parameter block and the caption.
struct TCatalogRunRequest {
    TCatalogRunSpec Fields;  // only the caller fields are taken
    std::string Caption;     // empty: "Cataloging Disk In Drive " + drive letter
    // Wait with the figures shown until the user closes the window.
    bool PauseAfter = true;
};

// Runs CatalogDisk in a new run window as every caller does: StopRequested cleared, the window
// shown modeless with Caller (when given) disabled meanwhile, the figures kept on screen after a
// completed run until Close, the window released. The result of CatalogDisk.
bool RunCatalogDisk(const TCatalogRunRequest& Request, framework::TWinControl* Caller = nullptr);

}  // namespace cataloging
