#pragma once
// TDupCleanForm: one window for three tools over the current catalog. Mode 0 lists the plain files
// whose names (or name stems) occur more than once, mode 1 the plain files that match a pattern
// (both to erase them), mode 2 the plain files that match a pattern (to copy them to a folder).
// The list lives in the result table Temp001 in the catalog data folder; the user tags rows and
// then works through the tagged rows disk by disk on the erase or retrieve panel.

#include <cstdint>
#include <string>

#include "framework/ui/Forms.h"
#include "tools/shared/ListParts.h"

namespace framework {
class TBitBtn;
class TButton;
class TCheckBox;
class TDataSource;
class TDriveComboBox;
class TEdit;
class TLabel;
class TMemo;
class TPanel;
class TSpeedButton;
}  // namespace framework
namespace entry {
class TCtlAttachedButton;
class TCtlRegistryStore;
class TCtlFormState;
class TCtlComponentState;
}  // namespace entry
namespace grid {
class TCtlDbTable;
}
namespace dbsql {
class TDbTable;
}
namespace kit {
class TCoolGauge;
}

namespace tools {

// The key by which the duplicate scan compares names (the name itself, or with versions its stem
// without trailing version characters followed by its extension).
std::string CleanupNameKey(const std::string& FileName, bool UseVersions);

// Why a destination of retrieved files is refused ("" when it is accepted): it must not be blank
// and must begin with a drive letter and ":".
std::string RetrieveDestinationError(const std::string& Destination);

class TDupCleanForm : public framework::TForm, public TListCounters {
public:
    explicit TDupCleanForm(framework::TComponent* AOwner);
    ~TDupCleanForm() override;

    // 0 duplicate/redundant cleanup, 1 general cleanup, 2 retrieve.
    int Mode = 0;
    int HelpContext = 82;

    // ---- The list ----
    framework::TPanel *TopPanel, *CounterPanel, *ButtonPanel, *CommentPanel;
    framework::TSpeedButton* SquelchManagementBtn;
    framework::TCheckBox *UseVersions, *IgnoreSquelched;
    framework::TLabel* PatternLabel;
    framework::TEdit* PatternEdit;
    framework::TButton* ApplyBtn;
    framework::TPanel* Panel6;
    framework::TLabel *ActiveCatalogCaption, *ActiveCatalogName;
    framework::TPanel* VersionsPanel;
    grid::TCtlDbTable* Grid;
    framework::TMemo* CommentMemo;
    framework::TLabel *CategoryLabel, *CategoryText, *CatalogedFromLabel, *CatalogedFromText;
    framework::TButton *TagAllBtn, *ClearTagsBtn, *TagSeveralBtn, *UntagSeveralBtn, *InvertTagsBtn, *EraseBtn,
        *RetrieveBtn;
    framework::TBitBtn *CloseBtn, *HelpBtn;

    // ---- Tables ----
    dbsql::TDbTable *ResultTable, *SummaryTable, *SrchCatalogTable, *CmtCatalogTable, *CategoryTable;
    framework::TDataSource* ResultSource;

    // ---- The erase panel ----
    framework::TPanel* ErasePanel;
    framework::TLabel* EraseInfo;
    framework::TDriveComboBox* EraseDriveSelect;
    framework::TCheckBox *EraseReCatalog, *EraseCatalogSubFolders, *EraseIgnoreRecycleBin, *EraseTempDBInMem,
        *ErasePause;
    framework::TBitBtn *StartEraseBtn, *CancelEraseBtn, *EraseSkipDiskBtn, *EraseSkipFileBtn, *EraseAbortBtn;

    // ---- The retrieve panel ----
    framework::TPanel* RetrievePanel;
    framework::TLabel* RetrieveInfo;
    framework::TEdit* RetrieveDestination;
    entry::TCtlAttachedButton* RetrieveNavigateDirBtn;
    framework::TDriveComboBox* RetrieveDriveSelect;
    framework::TBitBtn *StartRetrieveBtn, *CancelRetrieveBtn, *RetrieveSkipDiskBtn, *RetrieveSkipFileBtn,
        *RetrieveAbortBtn;
    framework::TPanel* RetrieveProgressPanel;
    kit::TCoolGauge* RetrieveProgressBar;

    entry::TCtlRegistryStore* Store;
    entry::TCtlFormState* FormState;
    entry::TCtlComponentState* ComponentState;

    // ---- Counters of the list ----
    int64_t FilesInList = 0, BytesInList = 0, TaggedFiles = 0, TaggedBytes = 0;
    bool WindowShown = false;

    // ---- The list ----
    void FormShow();
    void FormResize();
    void FormClose();
    void MakeResultsTable();
    void CreateList();
    void ScanForDuplicates();
    void ScanForPattern();
    void ShowCleanupCounters();
    void UseVersionsClick();
    void IgnoreSquelchedClick();
    void PatternEditExit();
    void ApplyBtnClick();
    void GridLockedCellClick(int32_t Row);
    bool IsEntrySquelched();
    void TagResultRow();
    void UntagResultRow();
    void ToggleResultRow(bool Refresh);
    enum class TTagAction { TagAll, ClearTags, TagMatching, UntagMatching, Invert };
    void ApplyToAllRows(const std::string& Mask, TTagAction Action);
    void TagAllBtnClick();
    void ClearTagsBtnClick();
    void TagSeveralBtnClick();
    void UntagSeveralBtnClick();
    void InvertTagsBtnClick();
    void Panel6Click();
    void SquelchManagementBtnClick();

    // ---- Erase and retrieve, disk by disk ----
    void EraseBtnClick();
    void CancelEraseBtnClick();
    void StartEraseBtnClick();
    void StartRetrieveBtnClick();
    void EraseSkipDiskBtnClick();
    void RetrieveSkipDiskBtnClick();
    void EraseDriveSelectChange();
    void RetrieveDriveSelectChange();
    void RetrieveNavigateDirBtnClick();
    // 0 done, 1 skipped or failed, 2 try again.
    int EraseOneFile();
    int RetrieveOneFile();
    void RecatalogDisk();

    bool SkipFile = false, SkipDisk = false, Abort = false, YesToAll = false, NoToAll = false;
    bool ErasedInOperation = false, ErasedOnDisk = false;
    std::string CurrentVolume;

protected:
    void DoShow() override;
    void DoClose(framework::TCloseAction& Action) override;

private:
    bool Retrieving() const { return Mode == 2; }
    int64_t RowBytes();
    void WriteResultRow(const struct TCleanupEntry& Entry);
    void WidenColumn(int Column, const std::string& Text);
    void RunScan(const char* Caption, bool Duplicates);
    void OpenWindowTables();
    void CloseWindowTables();
    void ShowRowDetails();
    // The erase or retrieve panel's pieces for the mode.
    framework::TPanel* WorkPanel() const;
    framework::TLabel* WorkInfo() const;
    framework::TDriveComboBox* WorkDrive() const;
    framework::TBitBtn* WorkStartBtn() const;
    framework::TBitBtn* WorkCancelBtn() const;
    framework::TBitBtn* WorkSkipDiskBtn() const;
    framework::TBitBtn* WorkSkipFileBtn() const;
    framework::TBitBtn* WorkAbortBtn() const;
    void LeavePanel();
    void SetListControlsEnabled(bool On);
    void ButtonsForDisk(bool Working);
    // Selects the drive the current row's volume was catalogued from, then shows the prompt.
    void PromptForDisk();
    // The prompt for the current row's volume in the drive the panel's combo box shows.
    void ShowDiskPrompt();
    void SetInfo(const std::string& Text);
    // Passes the rows of the current volume; false when the end of the table is reached.
    bool PassCurrentVolume();
    void SkipDiskWhileWaiting();
    void WorkDisk();
    char WorkDriveLetter() const;
    std::string FScanPattern;
    bool FSkipDiskWorking = false;
    int FColumnWidths[7] = {};
    framework::TLabel *FEraseDriveLabel = nullptr, *FRetrieveDestinationLabel = nullptr,
                      *FRetrieveDriveLabel = nullptr;
};

// What the main window's three commands do: create the window in the mode (0, 1 or 2) with the
// mode's caption, help context and options, show it modally and release it.
void ShowDupCleanForm(int Mode);

}  // namespace tools
