#pragma once
// TVolSummaryFileContentsScreenForm: every volume of the current catalog in an upper grid and the
// entries of the highlighted volume in a lower one (a master–detail pair over the catalog table's
// volume index), each grid with a pop-up menu of its columns, its font and its comment display,
// and totals over the whole catalog. The window writes the report to a text file and prints it.

#include <array>
#include <cstdint>
#include <string>

#include "framework/ui/Forms.h"
#include "reports/output/ReportWindowParts.h"

namespace framework {
class TBevel;
class TBitBtn;
class TDataSet;
class TDataSource;
class TDBGrid;
class TDBMemo;
class TDBText;
class TField;
class TFont;
class TLabel;
class TMenuItem;
class TPanel;
class TPopupMenu;
class TSplitter;
}  // namespace framework
namespace dbsql {
class TDbTable;
}
namespace entry {
class TCtlComponentState;
class TCtlFormState;
class TCtlRegistryStore;
}  // namespace entry
namespace sysutil {
class TUtSpawnApplication;
}

namespace reports {

class TSummaryReportViewRecordForm;
class TFileReportViewRecordForm;
class TVolSummaryPrintForm;

// The columns of the volume grid and of the entry grid (the menu items' order).
inline constexpr int kVolColumns = 14;
inline constexpr int kEntryColumns = 11;
// The comment column of each grid.
inline constexpr int kVolComment = 13;
inline constexpr int kEntryComment = 10;

using TVolTexts = std::array<std::string, kVolColumns>;
using TEntryTexts = std::array<std::string, kEntryColumns>;

// A volume serial number as "1A2B-3C4D"; empty when the field is empty.
std::string VolSerialText(framework::TField& Serial);

// Creates the window over the current catalog and shows it; null (nothing shown) when no catalog
// is current.
class TVolSummaryFileContentsScreenForm;
TVolSummaryFileContentsScreenForm* ShowVolSummaryFileContents();

class TVolSummaryFileContentsScreenForm : public framework::TForm {
public:
    // Opens the volume, entry and category tables of the current catalog (none without one).
    explicit TVolSummaryFileContentsScreenForm(framework::TComponent* AOwner);
    ~TVolSummaryFileContentsScreenForm() override;
    int HelpContext = 55;

    // ---- Data ----
    dbsql::TDbTable* SummaryTable;
    dbsql::TDbTable* FileTable;
    dbsql::TDbTable* FileTable2;
    dbsql::TDbTable* CategoryTable;
    dbsql::TDbTable* SummaryTable2;
    dbsql::TDbTable* FileTable3;
    framework::TDataSource* SummarySource;
    framework::TDataSource* FileSource;
    framework::TDataSource* SummarySource2;
    sysutil::TUtSpawnApplication* Spawn;
    entry::TCtlRegistryStore* Store;
    entry::TCtlFormState* FormState;
    entry::TCtlComponentState* ComponentState;

    // ---- Controls ----
    framework::TPanel* SummaryPanel;
    framework::TDBGrid* SummaryGrid;
    framework::TPanel* TCPanel;
    framework::TPanel* TCPanelPadLeft;
    framework::TPanel* TCPanelPadRight;
    framework::TPanel* TCTotPanel;
    framework::TDBMemo* DBMemo1;
    framework::TPanel* TotalPanel;
    framework::TPanel* TotalPadLeft1Panel;
    framework::TBevel* Bevel0;
    framework::TBevel* Bevel6;
    framework::TLabel *TotDisks1, *TotFiles1, *TotSlack1, *TotSize1, *TotUsed1, *TotFree1;
    framework::TLabel *TotDisks2, *TotFiles2, *TotSlack2, *TotSize2, *TotUsed2, *TotFree2;
    framework::TSplitter* Splitter1;
    framework::TPanel* FilePanel;
    framework::TDBGrid* FileGrid;
    framework::TPanel* TCPanel2;
    framework::TPanel* TCPanelPadLeft2;
    framework::TPanel* TCPanelPadRight2;
    framework::TDBText* CategoryText;
    framework::TDBMemo* DBMemo2;
    framework::TPanel* ButtonPanel;
    framework::TBitBtn *PrintBtn, *ToDiskBtn, *OpenBtn, *CloseBtn, *HelpBtn;

    framework::TPopupMenu* PopupMenu1;
    framework::TPopupMenu* PopupMenu2;
    std::array<framework::TMenuItem*, kVolColumns> SummaryItems{};
    std::array<framework::TMenuItem*, kEntryColumns> FileItems{};
    framework::TMenuItem *ShowTotals1, *ExpandComment1, *ChangeFont1, *ViewFullSummaryRecord1;
    framework::TMenuItem *ExpandComment2, *ChangeFont2, *ViewFullFileRecord1;

    // ---- Measured widths and totals ----
    std::array<int, kVolColumns> SummaryPixelWidth{}, SummaryCharWidth{};
    std::array<int, kEntryColumns> FilePixelWidth{}, FileCharWidth{};
    int32_t DiskCount = 0;
    int64_t FileTotal = 0, SizeTotal = 0, UsedTotal = 0, FreeTotal = 0;
    long double SlackTotal = 0;

    TSummaryReportViewRecordForm* SummaryView = nullptr;
    bool SummaryViewOpen = false;
    TFileReportViewRecordForm* FileView = nullptr;
    bool FileViewOpen = false;

    // Measures the volume grid's columns over every volume; without Recalibrate also the totals.
    void CalculateSummaryColumnWidths(bool Recalibrate);
    // Measures the entry grid's columns over every entry of the catalog.
    void CalculateFileColumnWidths(bool Recalibrate);
    // The texts a volume (an entry) shows in its grid columns, as they are measured.
    static TVolTexts VolumeTexts(framework::TDataSet& Volume);
    static TEntryTexts EntryTexts(framework::TDataSet& Entry);

    // Opens the highlighted entry's file on its disk with its associated program.
    void OpenFile();
    void OpenBtnClick();
    void FileGridDblClick();
    void FileGridMouseMove(int X, int Y);

    void FormShow();
    void FormClose(framework::TCloseAction& Action);
    void FormResize();
    void ShowTotals1Click();
    void ExpandComment1Click();
    void ExpandComment2Click();
    // Gives a grid (its headings and comment memo) a font and measures that grid again.
    void SetSummaryFont(const framework::TFont& Font);
    void SetFileFont(const framework::TFont& Font);
    void ViewFullSummaryRecord1Click();
    void ViewFullFileRecord1Click();

    // The text file and the printed report.
    void ToDiskBtnClick();
    void PrintBtnClick();
    // Measures the printed columns and places the chosen ones; false when the user cancelled.
    bool LayOutVolumeBand(TVolSummaryPrintForm& Print, bool FullComment);
    bool LayOutFileBands(TVolSummaryPrintForm& Print, bool FullComment);

private:
    void CloseViews();
    // Closes the tables a print walked.
    void EndPrintWalk();
    void CalcSummaryFields(framework::TDataSet* DataSet);
    void CalcFileFields(framework::TDataSet* DataSet);
    void ApplyColumnVisibility();
    void ApplyPanelRule();
    void FillTotals();
    int TextPixels(framework::TDBGrid& Grid, const std::string& Text);
    // Points a table at the current catalog's <catalog>Suffix and gives it its fields.
    void SetUpTable(dbsql::TDbTable& Table, const char* Suffix);
    void ChooseFont(framework::TDBGrid& Grid, bool Summary);
    bool FCounted = false;
    TReportTotalsRow FTotalsRow;
    int FMouseX = 0, FMouseY = 0;
};

}  // namespace reports
