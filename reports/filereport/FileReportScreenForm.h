#pragma once
// TFileReportScreenForm: the file report, both its engine and its window. A caller creates the
// window, fills the report's parameter block (the fields under "What to report"), calls
// CreateReport and shows the window modeless when it returns true (releasing it otherwise).
//
// The report is built in two stages: a finder walks <catalog>_CAT through a filter and writes the
// tag, the in-archive flag and the extension of every accepted entry into a result table
// ("Results_<seed>_<count>" in CatalogDataFolder); then a query joins that table back to the
// catalog table and sorts the rows. The grid, the totals, the comment view and the full view all
// read that query.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "framework/core/DateTime.h"
#include "framework/core/Masks.h"
#include "framework/ui/Forms.h"
#include "reports/output/ReportViewRecordForm.h"
#include "reports/output/ReportWindowParts.h"

namespace framework {
class TBevel;
class TBitBtn;
class TButton;
class TCheckBox;
class TDataSet;
class TDataSource;
class TDBGrid;
class TDBMemo;
class TDBNavigator;
class TControl;
class TDBText;
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
namespace sysutil {
class TUtSpawnApplication;
}
namespace catalog {
class TProgressForm;
}

namespace reports {

// The operator of a report criterion.
enum TReportCriterionOp : uint8_t {
    rcNone = 0,
    rcMatches = 1,  // mask matches, values equal, comment contains
    rcNotMatches = 2,
    rcLess = 3,
    rcLessEqual = 4,
    rcGreater = 5,
    rcGreaterEqual = 6,
    rcBlankComment = 10,
    rcNonBlankComment = 11,
    rcSomeKeywords = 12,
    rcAllKeywords = 13,
    rcNameOrComment = 14,
};

// The items a criterion, a column or a sort key names; item N at index N - 1 of the arrays below.
inline constexpr int kReportItems = 12;
inline constexpr int kColumnItems = 11;

// A sort key: Priority 0 is none, 1 the first key; Direction 1 ascending, 2 descending.
struct TSortKeySpec {
    uint8_t Priority = 0;
    uint8_t Direction = 0;
};

// The sort clause the keys give ("Order By FileName ASC, ..." without the closing " NOCASE"),
// empty without keys. Item 6 sorts by date and time, or by the date alone with DateAlone.
std::string FileReportOrderBy(const std::array<TSortKeySpec, kReportItems>& SortSpec, bool DateAlone = false);

// The lines of the report query: the join of the result table with <catalog>_CAT, the condition
// that leaves out entries inside archives unless they are shown, and the sort clause.
std::vector<std::string> FileReportSql(const std::string& ResultTableName, const std::string& CatalogName,
                                       bool ShowArchived, const std::string& OrderBy);

// Makes the result table Name in CatalogDataFolder anew (one that exists is deleted) with the
// result layout (FTag, FromArc, FileExt; no index) and leaves it open.
void MakeResultTable(dbsql::TDbTable& Table, const std::string& Name);
// The extension a result record keeps: the name's long extension, its last six characters.
std::string ResultFileExt(const std::string& FileName);

class TFileReportViewRecordForm;
class TFileReportPrinterForm;

class TFileReportScreenForm : public framework::TForm {
public:
    explicit TFileReportScreenForm(framework::TComponent* AOwner);
    ~TFileReportScreenForm() override;
    int HelpContext = 40;

    // ---- What to report ----
    std::string ReportTitle;
    // Empty: the current catalog, taken when the report is built.
    std::string CatalogName;
    std::string ResultTableName;
    bool DeleteResultOnClose = true;
    // Cleared when the window closes; points at a flag of the window's own until a caller sets it.
    bool* OpenFlagRef;
    // A mask for item 1, or the (upper-case) text operator 14 looks for.
    std::string FileNameSpec;
    std::string VolumeLabelSpec, FolderNameSpec, ArchiveIDSpec;
    int64_t FileSizeValue = 0;
    framework::TDateTime DateValue = 0;
    std::string CategoryCodeValue;
    // The phrase or the blank-separated keywords, in upper case.
    std::string CommentText;
    bool OnlyDuplicate = false;
    bool OnlyUnique = false;
    bool UseFileSize = false;
    bool UseVersions = false;
    std::array<uint8_t, kReportItems> Op{};
    int32_t MatchesRequired = 0;
    // 0: not shown; otherwise the column's place, 1 the leftmost.
    std::array<uint8_t, kReportItems> ColumnPos{};
    std::array<TSortKeySpec, kReportItems> SortSpec{};

    // Builds the report. False when the user cancelled (the result table is gone and the count of
    // open reports is back); a failure restores them too and then goes on to the caller.
    bool CreateReport();
    // Builds the report over a result table that already exists (ResultTableName, filled by the
    // catalog comparison) without a finder; the totals and column widths come from the report's
    // rows. False when the user cancelled the query (the count of open reports is back; the table
    // is deleted only with DeleteResultOnClose).
    bool CreateComparisonReport();
    // Widens the column widths to the texts of one row: file name, volume label, folder name,
    // archive ID, size text, date text, time text, attribute text, category code, category
    // description, comment.
    void AdjustColumnWidths(const std::array<std::string, kColumnItems>& Texts);
    // Opens the file of the current row with its associated program, asking for another drive
    // while the file is not where it was catalogued.
    void OpenFile();
    // The texts of the query's current row, in the order AdjustColumnWidths takes them.
    std::array<std::string, kColumnItems> QueryRowTexts();

    // ---- Results, for the window and its outputs ----
    int32_t ResultSeed = 0;
    int32_t ReportSeq = 0;
    int64_t FilesOnDiskTotal = 0, FilesInArchivesTotal = 0;
    int64_t BytesOnDiskTotal = 0, BytesInArchivesTotal = 0;
    bool AnyInArchives = false;
    std::string OrderByText;
    bool QueryCancelled = false;
    std::array<int, kColumnItems> ColumnPixelWidth{};
    std::array<int, kColumnItems> ColumnCharWidth{};
    std::vector<std::string> Keywords;
    int KeywordCount = -1;
    TFileReportViewRecordForm* ViewForm = nullptr;
    bool ViewOpen = false;

    // ---- Components ----
    dbsql::TDbTable* FileTable;
    dbsql::TDbTable* CategoryTable;
    dbsql::TDbTable* ResultTable;
    dbsql::TDbTable* SummaryTable;
    dbsql::TDbQuery* Query;
    // The ordered catalog query the duplicate and unique finders walk.
    dbsql::TDbQuery* Query2;
    framework::TDataSource* DataSource1;
    framework::TDataSource* CategorySource;
    sysutil::TUtSpawnApplication* Spawn;
    entry::TCtlRegistryStore* Store;
    entry::TCtlFormState* FormState;
    entry::TCtlComponentState* ComponentState;

    framework::TDBGrid* FileReportGrid;
    framework::TPanel* Panel2;
    framework::TCheckBox* ShowTotals;
    framework::TCheckBox* ExpandComment;
    framework::TCheckBox* ShowArchived;
    framework::TBitBtn* FontBtn;
    framework::TBitBtn* ViewBtn;
    framework::TBitBtn* PrintBtn;
    framework::TBitBtn* ToDiskBtn;
    framework::TBitBtn* OpenBtn;
    framework::TBitBtn* CloseBtn;
    framework::TBitBtn* HelpBtn;

    framework::TPanel* TotalPanel;
    framework::TPanel* TotalPadLeft1Panel;
    framework::TBevel* Bevel0;
    framework::TBevel* Bevel6;
    std::array<framework::TLabel*, 4> TotalHeadings1{};
    framework::TLabel* FilesOnDiskLabel1;
    framework::TLabel* BytesOnDiskLabel1;
    framework::TLabel* FilesInArchivesLabel1;
    framework::TLabel* BytesInArchivesLabel1;

    framework::TPanel* TCPanel;
    framework::TPanel* TCPanelPadLeft;
    framework::TPanel* TCPanelPadRight;
    framework::TPanel* TCTotPanel;
    framework::TLabel* CategoryHeading;
    framework::TDBText* CategoryText;
    std::array<framework::TLabel*, 4> TotalHeadings2{};
    framework::TLabel* FilesOnDiskLabel2;
    framework::TLabel* BytesOnDiskLabel2;
    framework::TLabel* FilesInArcsLabel2;
    framework::TLabel* BytesInArcsLabel2;
    framework::TDBMemo* DBMemo1;

    // ---- Event handlers ----
    void FormShow();
    void FormClose(framework::TCloseAction& Action);
    void FormResize();
    void ShowTotalsClick();
    void ExpandCommentClick();
    void ShowArchivedClick();
    // Takes the chosen font (the font dialog's answer) and measures the columns again.
    void FontBtnClick();
    void ApplyFont(const framework::TFont& Font);
    void ViewBtnClick();
    void OpenBtnClick();
    // Writes the report's rows to a text file chosen in the text-file dialog.
    void ToDiskBtnClick();
    // Prints the report's rows (or previews them) after the printer dialog.
    void PrintBtnClick();
    // Measures every row in the printer's font and places the shown columns; false when the user
    // cancelled (nothing is to be printed).
    bool LayOutPrintedColumns(TFileReportPrinterForm& Printer, bool MultiLine);
    void FileReportGridDblClick();
    void FileReportGridMouseMove(int X, int Y);
    void QueryCalcFields(framework::TDataSet* DataSet);
    void QueryQueryProgress(uint16_t PercentDone, bool& AbortQuery);
    void FileTableFilterRecord(framework::TDataSet* DataSet, bool& Accept);

private:
    // One catalog entry as a finder lists it.
    struct TListedEntry {
        std::array<std::string, kColumnItems> Texts;
        int64_t Size = -1;
        int32_t Tag = 0;
    };
    struct TResultRow {
        int32_t Tag;
        bool InArchive;
        std::string Ext;
    };
    void InitReportState();
    void CreateResultTable();
    bool FindMatchingFiles();
    bool FindDuplicateFiles();
    bool FindUniqueFiles();
    // The walk both the duplicate and the unique finder make; Unique picks the finder's rule.
    bool FindByKey(bool Unique);
    TListedEntry ReadEntry(framework::TDataSet& Entry);
    // Widens the columns to the entry, adds it to the totals and buffers its result record.
    void ListEntry(const TListedEntry& Entry);
    // Widens the columns to the entry and adds it to the totals; true when it is inside an archive.
    bool CountEntry(const TListedEntry& Entry);
    void BuildGridColumns();
    void FlushResults();
    void ShowFinderProgress(int Processed, int Records, int& Shown);
    // The join, the archive condition while Show Archived is clear, and the sort clause.
    void SetReportSql();
    // The progress window the report shows while it works (one at a time).
    void ShowProgress(const char* Caption, bool CanCancel);
    void CloseProgress();
    // Opens the report query under the progress window, then closes it; false when cancelled.
    bool OpenReportQuery();
    void AddGridColumn(int Item);
    void ApplyPanelRule();
    void DropResultTable();
    void StartColumnWidths(const char* const* Headings);
    int PixelWidth(const std::string& Text);
    bool ItemPasses(int Item, framework::TDataSet& Entry);
    bool KeywordsPass(uint8_t Operator, const std::string& Comment);
    void SplitKeywords();

    // The masks of items 1 to 4, compiled before the walk (a malformed one fails the build there).
    std::array<std::optional<framework::TMask>, 4> FMasks;
    bool FOwnOpenFlag = true;
    bool FCountTaken = false;
    TReportTotalsRow FTotalsRow;
    catalog::TProgressForm* FProgress = nullptr;
    std::vector<TResultRow> FResultBuffer;
    int FMouseX = 0, FMouseY = 0;
};

// The full view of one row of a report, bound to the report's query.
class TFileReportViewRecordForm : public TReportViewRecordForm {
public:
    explicit TFileReportViewRecordForm(framework::TComponent* AOwner);
};

}  // namespace reports
