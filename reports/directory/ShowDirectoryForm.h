#pragma once
// TShowDirectoryForm: the directory of a live drive or folder, without any catalog. The criteria
// face picks the drive, the start folder and the scanning and archive options; "Read Directory"
// walks the drive with the cataloguing run in its scan-only mode into the temporary table New, and
// the listing face then shows New with the volume's figures and totals, prints it and writes it to
// a text file. One scan per window; closing the window deletes New. The window's settings share
// the section "TCatalogDiskSpecForm" with the Catalog Disk criteria, so the values the two name
// alike (last drive, sub-folders, recycle folder, tables in memory) carry over between them.

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "framework/ui/Forms.h"
#include "reports/directory/DirectoryText.h"

namespace framework {
class TBevel;
class TBitBtn;
class TCheckBox;
class TComboBox;
class TControl;
class TDataSet;
class TDataSource;
class TDBGrid;
class TDBMemo;
class TDriveComboBox;
class TEdit;
class TFont;
class TGroupBox;
class TLabel;
class TMenuItem;
class TPanel;
class TPopupMenu;
class TSpeedButton;
}  // namespace framework
namespace dbsql {
class TDbTable;
}
namespace entry {
class TCtlComponentState;
class TCtlRegistryStore;
}  // namespace entry
namespace sysutil {
class TUtSpawnApplication;
}
namespace catalog {
class TProgressForm;
}

namespace reports {

class TFileReportViewRecordForm;
class TPrintDirectoryForm;

class TShowDirectoryForm : public framework::TForm {
public:
    explicit TShowDirectoryForm(framework::TComponent* AOwner);
    ~TShowDirectoryForm() override;
    int HelpContext = 60;

    // ---- Criteria face ----
    framework::TPanel* SpecPanel;
    framework::TDriveComboBox* DriveComboBox;
    framework::TEdit* StartDir;
    framework::TSpeedButton* SpeedButton1;
    framework::TCheckBox* Recurse;
    framework::TCheckBox* IgnoreRecycle;
    framework::TCheckBox* KeepInMemory;
    framework::TComboBox* optExpandArchives;
    framework::TCheckBox *optHandleARJMulti, *optHandleSFXArchives, *optGetMainArchiveComment,
        *optCopyMainArchiveComment, *optHandleDIZ, *optDIZOverride;
    framework::TGroupBox* FormatGroup;
    framework::TCheckBox *doARC, *doARJ, *doDWC, *doHYP, *doLBR, *doLZH, *doLZS, *doPAK, *doRAR, *doSQZ,
        *doZIP, *doZOO, *doCAB;
    framework::TBitBtn* SelAllBtn;
    framework::TBitBtn* ClearAllBtn;
    framework::TBitBtn* BitBtn1;
    framework::TBitBtn* SpecCloseBtn;
    framework::TBitBtn* SpecHelpBtn;
    // Kept texts (empty: not set): the last drive, the expand mode's item index, the listing
    // face's width, height, left and top.
    framework::TLabel *LastDriveLabel, *ExpandIndexLabel, *ListWidthLabel, *ListHeightLabel, *ListLeftLabel,
        *ListTopLabel;

    // ---- Listing face ----
    framework::TPanel* ResultPanel;
    framework::TPanel* SummaryPanel;
    framework::TLabel *VolumeLabelText, *DiskSizeText, *SpaceUsedText, *FreeSpaceText, *FilesOnDiskText,
        *FilesInArcsText;
    framework::TDBGrid* FileGrid;
    framework::TPopupMenu* ColumnMenu;
    // AFileName1 ... HComment1, in the columns' order.
    std::array<framework::TMenuItem*, kDirectoryColumns> ColumnItems{};
    framework::TPanel* ButtonPanel;
    framework::TCheckBox* ShowTotals;
    framework::TCheckBox* ExpandComment;
    framework::TBitBtn *FontBtn, *ViewBtn, *PrintBtn, *ToDiskBtn, *OpenBtn, *CloseBtn, *HelpBtn;
    framework::TPanel* TotalPanel;
    framework::TPanel *TotalPadLeft, *TotalPadRight;
    // Files on disk, bytes on disk, files in archives, bytes in archives.
    std::array<framework::TLabel*, 4> Totals1{}, Totals2{};
    std::array<framework::TLabel*, 4> TotalHeadings2{};
    framework::TPanel* TCPanel2;
    framework::TDBMemo* DBMemo1;

    dbsql::TDbTable* ReportTable;
    // The printed listing's own cursor on New, so that printing never moves the grid's row.
    dbsql::TDbTable* ReportTable2;
    framework::TDataSource* DataSource1;
    sysutil::TUtSpawnApplication* Spawn;
    entry::TCtlRegistryStore* Store;
    entry::TCtlComponentState* ComponentState;

    // ---- Listing state ----
    // Each column's character width (the text file) and pixel width (the grid).
    std::array<uint16_t, kDirectoryColumns> ColumnChars{}, ColumnPixels{};
    bool ListingShown = false;
    TFileReportViewRecordForm* ViewForm = nullptr;
    bool ViewOpen = false;

    // The selected drive letter, upper case.
    char DriveLetter() const;

    // ---- Event handlers ----
    void FormShow();
    void FormCloseQuery(bool& CanClose);
    void FormResize();
    void DriveComboBoxChange();
    void SpeedButton1Click();
    void SelAllBtnClick(framework::TObject* Sender);
    // Reads the directory; the listing face follows a scan that succeeded.
    void BitBtn1Click();
    void ColumnItemClick(int Column);
    void ShowTotalsClick();
    void ExpandCommentClick();
    // The font dialog; a chosen font goes to ApplyFont.
    void FontBtnClick();
    // The grid's, titles' and memo's font, and the grid's pixel widths measured again in it.
    void ApplyFont(const framework::TFont& Font);
    void ViewBtnClick();
    void OpenBtnClick();
    void FileGridDblClick();
    void FileGridMouseMove(int X, int Y);
    // The listing as a text file chosen in the text-file dialog.
    void ToDiskBtnClick();
    // The listing on paper (or previewed) after the printer dialog.
    void PrintBtnClick();
    // Measures every record under the progress window and places the printed columns; false when
    // the user cancelled.
    bool LayOutPrintedColumns(TPrintDirectoryForm& Printer, bool MultiLine);
    // Opens the current entry with its associated program, asking for another drive while the file
    // is not there.
    void OpenFile();

    // The texts of the current row of Table, in the columns' order.
    static std::array<std::string, kDirectoryColumns> RowTexts(framework::TDataSet& Table);
    // The summary strip's texts.
    TDirectoryVolumeTexts VolumeTexts() const;

private:
    void BuildCriteriaFace();
    void BuildListingFace();
    // Shows the listing of New once a scan has succeeded; false when New cannot be opened.
    bool ShowListing(bool InMemory);
    void ApplyPanelRule();
    void CalcListingFields(framework::TDataSet* DataSet);
    int HeadingPixels(int Column);
    std::array<framework::TCheckBox*, 13> FormatBoxes() const;
    int FMouseX = 0, FMouseY = 0;
    // The design left positions of the controls that FormResize keeps centred.
    std::vector<std::pair<framework::TControl*, int>> FSummaryLefts, FCommentLefts;
};

// Persistent fields for the stored fields of New (Table names it), as the table defines them, and
// the two calculated texts: AttributeStr and CommentStr.
void AddListingFields(dbsql::TDbTable& Table);

// The main window's "Directory Of A Disk": the window, shown modally and released.
void ShowDirectoryOfADisk();

}  // namespace reports
