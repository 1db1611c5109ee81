#pragma once
// TSummaryReportScreenForm: the disk summary report, both its engine and its window. The report's
// parameter block is the plain struct TSummaryReportSpec, so that the main menu and stored report
// definitions can fill it; RunSummaryReport builds a report from one and shows its window.
//
// The report is built in two stages: a filtered walk over <catalog>_SUM writes the tag and the
// slack percentage of every accepted volume into a result table ("Results_<seed>_<count>" in
// CatalogDataFolder); then a query joins that table back to the summary table and sorts the rows.
// The grid, the totals, the comment view, the full view and both outputs read that query.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "framework/core/DateTime.h"
#include "framework/core/Masks.h"
#include "framework/ui/Forms.h"
#include "reports/filereport/FileReportScreenForm.h"
#include "reports/output/ReportViewRecordForm.h"
#include "reports/output/ReportWindowParts.h"

namespace framework {
class TBevel;
class TBitBtn;
class TCheckBox;
class TDataSet;
class TDataSource;
class TDBGrid;
class TDBMemo;
class TDBNavigator;
class TControl;
class TFont;
class TLabel;
class TPanel;
}  // namespace framework
namespace dbsql {
class TDbQuery;
class TDbTable;
}  // namespace dbsql
namespace entry {
class TCtlComponentState;
class TCtlFormState;
class TCtlRegistryStore;
}  // namespace entry
namespace catalog {
class TProgressForm;
}

namespace reports {

// The items of a volume a criterion, a column or a sort key names; item N at index N - 1.
inline constexpr int kSummaryItems = 14;

// What a disk summary report shows.
struct TSummaryReportSpec {
    std::string ReportTitle;
    // A wildcard mask for item 1 (at most 11 characters).
    std::string VolumeLabelSpec;
    framework::TDateTime DateFirstValue = 0, DateLastValue = 0;
    int64_t DiskSizeValue = 0, ClusterSizeValue = 0, DiskUsedValue = 0, DiskFreeValue = 0;
    int32_t FilesOnDiskValue = 0, FilesInArchivesValue = 0;
    // A drive letter for item 13.
    std::string CatalogedFromValue;
    // The phrase or the blank-separated keywords for item 14, in upper case.
    std::string CommentText;
    // The TReportCriterionOp of each item's criterion.
    std::array<uint8_t, kSummaryItems> Op{};
    int32_t MatchesRequired = 0;
    // 0: not shown; otherwise the column's place, 1 the leftmost.
    std::array<uint8_t, kSummaryItems> ColumnPos{};
    std::array<TSortKeySpec, kSummaryItems> SortSpec{};
};

// The two reports of the main menu: every disk, sorted by catalog volume ID, or by descending free
// space.
TSummaryReportSpec DiskSummaryByVolumeSpec();
TSummaryReportSpec DiskSummaryByFreeSpaceSpec();

// The share of a volume's occupied space (size less free) that its files do not fill, as a
// percentage; 0 when the free space is not below the size or the files exceed the size.
double VolumeSlack(double Size, double Free, double Used);
// The same rule on the totals of a report.
long double TotalSlack(int64_t Size, int64_t Used, int64_t Free);

// The sort clause of the keys ("Order By CatalogVolumeLabel ASC, ..." without " NOCASE"), empty
// without keys; keys of the same priority follow item order.
std::string SummaryOrderBy(const std::array<TSortKeySpec, kSummaryItems>& SortSpec);
// The lines of the report query: the join of the result table with <catalog>_SUM, and the sort
// clause with " NOCASE" when there is one.
std::vector<std::string> SummaryReportSql(const std::string& ResultTableName, const std::string& CatalogName,
                                          const std::string& OrderBy);

class TSummaryReportScreenForm;
class TSummaryReportPrinterForm;
class TSummaryReportViewRecordForm;

// Creates a report window for Spec over the current catalog, builds the report and shows the
// window. Null when the user cancelled; a failure releases the window and passes on.
TSummaryReportScreenForm* RunSummaryReport(const TSummaryReportSpec& Spec);

class TSummaryReportScreenForm : public framework::TForm {
public:
    explicit TSummaryReportScreenForm(framework::TComponent* AOwner);
    ~TSummaryReportScreenForm() override;
    int HelpContext = 50;

    TSummaryReportSpec Spec;

    // Builds the report. False when the user cancelled (the result table is gone and the count of
    // open reports is back); a failure restores them too and then goes on to the caller.
    bool CreateReport();

    // ---- Results, for the window and its outputs ----
    int32_t ResultSeed = 0;
    int32_t ReportSeq = 0;
    std::string ResultTableName;
    std::vector<std::string> Keywords;
    int KeywordCount = -1;
    bool QueryCancelled = false;
    std::array<int, kSummaryItems> ColumnPixelWidth{};
    // The character widths of the text file; only items 4 to 9 and 14 are measured.
    std::array<int, kSummaryItems> ColumnCharWidth{};
    int32_t DiskCount = 0;
    int64_t FileTotal = 0;
    long double SlackTotal = 0;
    int64_t SizeTotal = 0, UsedTotal = 0, FreeTotal = 0;
    TSummaryReportViewRecordForm* ViewForm = nullptr;
    bool ViewOpen = false;

    // The texts of the query's current row, item N at index N - 1, as the window and the printed
    // report measure them (the comment's first line for item 14).
    std::array<std::string, kSummaryItems> QueryRowTexts();

    // ---- Components ----
    dbsql::TDbTable* SummaryTable;
    dbsql::TDbTable* ResultTable;
    dbsql::TDbQuery* Query;
    framework::TDataSource* DataSource1;
    entry::TCtlRegistryStore* Store;
    entry::TCtlFormState* FormState;
    entry::TCtlComponentState* ComponentState;

    framework::TDBGrid* SummaryReportGrid;
    framework::TPanel* Panel2;
    framework::TCheckBox* ShowTotals;
    framework::TCheckBox* ExpandComment;
    framework::TBitBtn* FontBtn;
    framework::TBitBtn* ViewBtn;
    framework::TBitBtn* PrintBtn;
    framework::TBitBtn* ToDiskBtn;
    framework::TBitBtn* CloseBtn;
    framework::TBitBtn* HelpBtn;

    framework::TPanel* TotalPanel;
    framework::TPanel* TotalPadLeft1Panel;
    framework::TBevel* Bevel0;
    framework::TBevel* Bevel6;
    framework::TLabel *TotDisks1, *TotFiles1, *TotSlack1, *TotSize1, *TotUsed1, *TotFree1;

    framework::TPanel* TCPanel;
    framework::TPanel* TCPanelPadLeft;
    framework::TPanel* TCPanelPadRight;
    framework::TPanel* TCTotPanel;
    framework::TLabel *TotDisks2, *TotFiles2, *TotSlack2, *TotSize2, *TotUsed2, *TotFree2;
    std::vector<framework::TLabel*> TotalHeadings2;
    framework::TDBMemo* DBMemo1;

    // ---- Event handlers ----
    void FormShow();
    void FormClose(framework::TCloseAction& Action);
    void FormResize();
    void ShowTotalsClick();
    void ExpandCommentClick();
    // Asks for a font and takes it (ApplyFont).
    void FontBtnClick();
    // Measures the columns again in Font, then gives it to the grid and the memo.
    void ApplyFont(const framework::TFont& Font);
    void ViewBtnClick();
    // Prints the report's rows (or previews them) after the printer dialog.
    void PrintBtnClick();
    // Measures every row in the printer's font and places the shown columns; false when the user
    // cancelled (nothing is to be printed).
    bool LayOutPrintedColumns(TSummaryReportPrinterForm& Printer, bool MultiLine);
    // Writes the report's rows to a text file chosen in the text-file dialog.
    void ToDiskBtnClick();
    void QueryCalcFields(framework::TDataSet* DataSet);
    void QueryQueryProgress(uint16_t PercentDone, bool& AbortQuery);
    void SummaryTableFilterRecord(framework::TDataSet* DataSet, bool& Accept);

private:
    void ShowProgress(const char* Caption, bool CanCancel);
    void CloseProgress();
    void CreateResultTable();
    void DropResultTable();
    bool FindVolumes();
    void StartPixelWidths();
    int PixelWidth(const std::string& Text);
    // Widens the pixel widths (and with Chars the character widths) to the texts of one row.
    void WidenColumns(const std::array<std::string, kSummaryItems>& Texts, bool Chars);
    void BuildGridColumns();
    void SetColumnWidths();
    void ApplyPanelRule();
    bool ItemPasses(int Item, framework::TDataSet& Volume);
    bool KeywordsPass(uint8_t Operator, const std::string& Comment);
    void SplitKeywords();

    std::optional<framework::TMask> FVolumeMask;
    bool FCountTaken = false;
    TReportTotalsRow FTotalsRow;
    catalog::TProgressForm* FProgress = nullptr;
};

// The full view of one row of a disk summary, bound to the report's query.
class TSummaryReportViewRecordForm : public TReportViewRecordForm {
public:
    explicit TSummaryReportViewRecordForm(framework::TComponent* AOwner);
};

}  // namespace reports
