#pragma once
// TMainForm: the program's main window. Main options on the left, the sub-option area on the
// right, the status panels (current catalog, disks and files in it) and the copyright line at the
// bottom. Its OnShow handler does the start-up work: program and data folders, the program tables,
// the options, the current catalog and the status panels. The window's placement and its stored
// properties (data folder, current catalog, looks) are kept between runs in the section
// "TMainForm" of the program's settings.

#include <cstdint>
#include <functional>
#include <string>

#include "framework/ui/Forms.h"

namespace framework {
class TLabel;
class TMainMenu;
class TMenuItem;
class TPanel;
class TSpeedButton;
}  // namespace framework
namespace dbsql {
class TDbTable;
}
namespace entry {
class TCtlComponentState;
class TCtlFormState;
class TCtlRegistryStore;
}  // namespace entry
namespace kit {
class TKitTipDlg;
class TStyledGradient;
}  // namespace kit
namespace sysutil {
class TUtShellAbout;
}

namespace app {

class TOptionFrame;
struct TCommandDef;

// The status panels' counts: disks as "#,###,##0", files as "#,###,###,##0", with the locale's
// thousands separator.
std::string FormatDiskCount(int Count);
std::string FormatFileCount(int Count);

// The window caption: "Korvane 2003 Version 1.03A  (Created 15 September 2003)".
std::string MainWindowCaption();

class TMainForm : public framework::TForm {
public:
    explicit TMainForm(framework::TComponent* AOwner);
    ~TMainForm() override;

    // The main option whose frame is shown: 0 none, 1 Cataloging .. 5 Help.
    int16_t CurrentFrame = 0;
    int HelpContext = 18;

    entry::TCtlRegistryStore* Store;
    entry::TCtlFormState* FormState;
    entry::TCtlComponentState* ComponentState;
    dbsql::TDbTable* DataTable;

    framework::TPanel* MainOptPanel;
    framework::TPanel* MainOptHeaderPanel;
    kit::TStyledGradient* MainOptGradient;
    framework::TSpeedButton* CatalogingBtn;
    framework::TSpeedButton* ReportsBtn;
    framework::TSpeedButton* ToolsBtn;
    framework::TSpeedButton* SettingsBtn;
    framework::TSpeedButton* HelpBtn;
    framework::TSpeedButton* CloseBtn;

    framework::TPanel* SubOptPanel;
    framework::TPanel* SubOptHeaderPanel;
    kit::TStyledGradient* SubOptGradient;

    framework::TPanel* StatPanel;
    framework::TPanel* ACPanel;
    kit::TStyledGradient* ACGradient;
    framework::TLabel* ACHeader;
    framework::TLabel* ActiveCatalogName;
    framework::TPanel* DCPanel;
    kit::TStyledGradient* DCGradient;
    framework::TLabel* DCHeader;
    framework::TLabel* DisksInCatalog;
    framework::TPanel* FCPanel;
    kit::TStyledGradient* FCGradient;
    framework::TLabel* FCHeader;
    framework::TLabel* FilesInCatalog;

    framework::TPanel* CopyrightPanel;
    // Hidden; its caption carries the catalog data folder between runs.
    framework::TLabel* DDirname;

    // The menus; every command is a menu item named after its handler ("CatalogDisks1" for
    // CatalogDisks1Click), which the frame buttons run too.
    framework::TMainMenu* MainMenu1;
    framework::TMenuItem* ExitProgram1;
    framework::TMenuItem* About1;
    sysutil::TUtShellAbout* UtShellAbout1;
    // The tips dialog; its ShowAtStart is kept between runs.
    kit::TKitTipDlg* Tips;
    // The frame of CurrentFrame (null for 0).
    TOptionFrame* Frame = nullptr;

    // OnShow: the start-up work (runs once, inside the first Show).
    void FormShow(framework::TObject* Sender);
    // The current catalog's name and its disk and file counts into the status panels; never raises.
    void SetStatPanels();
    // Ends the program, after a question while report windows are open.
    void ExitProgram1Click(framework::TObject* Sender);
    void CloseBtnClick(framework::TObject* Sender);
    // Places the six main-option buttons for the panel's height.
    void MainOptPanelResize(framework::TObject* Sender);

    // ---- Commands ----
    // Runs the command of the menu item of that name as its menu item does.
    void RunCommand(const std::string& ItemName, framework::TObject* Sender);
    // Replaces the sub-option frame by the one of Option (0 none, 1 Cataloging .. 5 Help).
    void ActivateFrame(int Option);
    // Puts the option's button down, when it is up, and shows its frame.
    void SimulateBtnClick(int Option);
    void CatalogingBtnClick(framework::TObject* Sender);
    void ReportsBtnClick(framework::TObject* Sender);
    void ToolsBtnClick(framework::TObject* Sender);
    void SettingsBtnClick(framework::TObject* Sender);
    void HelpBtnClick(framework::TObject* Sender);
    // The refusal of a command that needs a catalog while none is selected.
    void ShowCatalogNotSelected();

    // The cataloguing criteria window, whose runs refresh the status panels; then a refresh.
    void CatalogDisks1Click(framework::TObject* Sender);
    // The uncatalog window, then a refresh.
    void UnCatalogDisks1Click(framework::TObject* Sender);
    void TextFileImport1Click(framework::TObject* Sender);
    void ImportFileComments1Click(framework::TObject* Sender);
    void DirectoryOfADisk1Click(framework::TObject* Sender);
    void ViewPurgeCatalogActivityLog1Click(framework::TObject* Sender);
    // The window erasing chosen entries, then a refresh.
    void KillSpecificFileEntriesInThisCatalog1Click(framework::TObject* Sender);
    void LabelADisk1Click(framework::TObject* Sender);
    // The catalog manager, then a refresh.
    void ManageCatalogs1Click(framework::TObject* Sender);
    // The catalog comparison window, on the current catalog.
    void CompareCatalogs1Click(framework::TObject* Sender);
    // The offload window, then the current catalog's name and a refresh.
    void OffloadFilesToOfflineMedia1Click(framework::TObject* Sender);
    // The fixed file reports: each fills a new report window and shows it modeless, or releases it
    // when nothing was reported.
    void DFilesForWildcardFilespec1Click(framework::TObject* Sender);
    void EFilesForWildcardVolumeLabel1Click(framework::TObject* Sender);
    void FFilesForWildcardFolderName1Click(framework::TObject* Sender);
    void GFilesForWildcardArchiveID1Click(framework::TObject* Sender);
    void HFilesForACategory1Click(framework::TObject* Sender);
    void IFilesByComment1Click(framework::TObject* Sender);
    void JFilesByFilenameCommentText1Click(framework::TObject* Sender);
    void KDuplicateFilesInCatalog1Click(framework::TObject* Sender);
    void LUniqueFilesInCatalog1Click(framework::TObject* Sender);
    void OCustomFileReports1Click(framework::TObject* Sender);
    void ASortByFileName1Click(framework::TObject* Sender);
    void BSortByFileExtension1Click(framework::TObject* Sender);
    void CSortByVolumeLabel1Click(framework::TObject* Sender);
    void DSortByFolderName1Click(framework::TObject* Sender);
    void ESortByArchiveID1Click(framework::TObject* Sender);
    void FSortByFileSize1Click(framework::TObject* Sender);
    void GSortByFileDateTime1Click(framework::TObject* Sender);
    void HSortByCategoryCode1Click(framework::TObject* Sender);
    // The file comment editor over the current catalog's entries of one view.
    void EditFileComments(uint8_t FilterMode, uint8_t CompareOp, const std::string& Criteria,
                          double DateValue, bool UseDate, int64_t SizeValue, int32_t KeywordCount);
    void AByFileSpec1Click(framework::TObject* Sender);
    void BByVolumeID1Click(framework::TObject* Sender);
    void CByFolderName1Click(framework::TObject* Sender);
    void DByArchiveID1Click(framework::TObject* Sender);
    void EByFileSize1Click(framework::TObject* Sender);
    void FByFileDate1Click(framework::TObject* Sender);
    void GByCategory1Click(framework::TObject* Sender);
    void HByEmptyCategory1Click(framework::TObject* Sender);
    void IByFileComment1Click(framework::TObject* Sender);
    void JByEmptyFileComment1Click(framework::TObject* Sender);
    void ModifyDiskComments1Click(framework::TObject* Sender);
    void FileCategories1Click(framework::TObject* Sender);
    void TipsTricks1Click(framework::TObject* Sender);
    // The disk summaries by volume ID and by free space.
    void ADiskSummaryAllDisksSortedByVolumeID1Click(framework::TObject* Sender);
    void BDiskSummaryAllDisksSortedByHighestFreeSpace1Click(framework::TObject* Sender);
    // The list of stored disk summary reports (brought to front when open).
    void CCustomSummaryReports1Click(framework::TObject* Sender);
    void MVolumeSummaryFileContents1Click(framework::TObject* Sender);
    // The cleanup window in its three modes (duplicate, general, retrieve), then the current
    // catalog's name and a refresh.
    void DuplicateRedundantFileCleanup1Click(framework::TObject* Sender);
    void GeneralFileCleanup1Click(framework::TObject* Sender);
    void RetrieveCatalogedFiles1Click(framework::TObject* Sender);
    void SelectCreateCatalog1Click(framework::TObject* Sender);
    void FolderForCatalogs1Click(framework::TObject* Sender);
    void ConvertOldCatalogs1Click(framework::TObject* Sender);
    void IncludeExcludeSpecs1Click(framework::TObject* Sender);
    void MainWindowAppearanceOptions1Click(framework::TObject* Sender);
    void ToolsSettings1Click(framework::TObject* Sender);
    void DiagnoseRepairTables1Click(framework::TObject* Sender);
    void Contents1Click(framework::TObject* Sender);
    void Index1Click(framework::TObject* Sender);
    void HowToUseHelp1Click(framework::TObject* Sender);
    void AboutWindows1Click(framework::TObject* Sender);
    void About1Click(framework::TObject* Sender);

private:
    void BuildMainMenu();
    void MakeTips();
    void RunCleanupWindow(int Mode);
    // The frame switch and the precondition checks a command starts with; false when it refuses.
    bool Prologue(const TCommandDef& Command);
    void Execute(const TCommandDef& Command, framework::TObject* Sender);
    framework::TSpeedButton* OptionButton(int Option) const;
    // Step 7 of the start-up: makes sure DDirname names an existing folder, asking for one.
    void CheckDataFolder();
    void RunFolderDialog();
    // Step 10: each program table is used as it is or made; the options are loaded.
    void CheckProgramTables();
    framework::TSpeedButton* NewOptionButton(const char* Name, const char* Caption);
    framework::TLabel* NewStatusLabel(framework::TPanel& Panel, const char* Name, bool Header,
                                      const char* Caption);
    framework::TPanel* NewStatusPanel(const char* Name, int Width, framework::TAlign Align,
                                      kit::TStyledGradient*& Gradient);
};

// The single main window (null outside a run of the program).
extern TMainForm* MainForm;

}  // namespace app
