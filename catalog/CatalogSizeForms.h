#pragma once
// The widths of FileName, FolderName and ArchiveID in a catalog's file-entry table, changed by
// restructuring the table and stored in the catalog's CatalogConfigs record as well.
//
// TCatalogFSizeForm ("Adjust Sizes") offers the longest stored values as lower bounds and
// restructures the table to the sizes the user enters. TResizeWarningForm is shown by the callers
// that are about to store names longer than the current catalog's sizes: Adjust Settings enlarges
// the table just enough (the larger of the two numbers of each column).

#include <string>

#include "framework/ui/Forms.h"

namespace framework {
class TBitBtn;
class TLabel;
class TPanel;
}  // namespace framework
namespace dbsql {
class TDbTable;
}
namespace entry {
class TCtlController;
class TCtlPictureField;
}  // namespace entry

namespace catalog {

class TCatalogFSizeForm : public framework::TForm {
public:
    explicit TCatalogFSizeForm(framework::TComponent* AOwner);

    // The catalog's file-entry table.
    dbsql::TDbTable* Table;
    framework::TPanel* StatPanel;
    framework::TLabel* NoteLabel;
    framework::TLabel* FileNameLengthLabel;
    framework::TLabel* FolderNameLengthLabel;
    framework::TLabel* ArcIDLengthLabel;
    framework::TLabel* FileNameRangeLabel;
    framework::TLabel* FolderNameRangeLabel;
    framework::TLabel* ArchiveIDRangeLabel;
    entry::TCtlPictureField* FileNameLength;
    entry::TCtlPictureField* FolderNameLength;
    entry::TCtlPictureField* ArchiveIDLength;
    entry::TCtlController* Controller;
    framework::TBitBtn* BitBtn4;  // Use Minimums
    framework::TBitBtn* BitBtn1;  // Adjust
    framework::TBitBtn* CancelBtn;
    framework::TBitBtn* HelpBtn;
    int HelpContext = 14;

    // The longest stored file name, folder name and archive ID (at least 16 each).
    int MinFileName = 16;
    int MinFolderName = 16;
    int MinArchiveID = 16;

    // Reads the longest stored values and makes them the fields' lower bounds, raising a field
    // below its bound. False after a failure it has reported.
    bool DetermineMinimumSizes();
    void BitBtn1Click();
    void BitBtn4Click();
    void TableRestructureProgress(int PercentDone);
};

class TResizeWarningForm : public framework::TForm {
public:
    explicit TResizeWarningForm(framework::TComponent* AOwner);

    // The current catalog's file-entry table, set by the caller.
    dbsql::TDbTable* Table;
    dbsql::TDbTable* ConfigTable;
    framework::TPanel* NoteLabelPanel;
    // "Your Catalog": the present sizes; "To Be Cataloged": the longest lengths about to be stored.
    framework::TPanel* CatalogFileNameLengthPanel;
    framework::TPanel* CatalogFolderNameLengthPanel;
    framework::TPanel* CatalogArchiveIDLengthPanel;
    framework::TPanel* FoundFileNameLengthPanel;
    framework::TPanel* FoundFolderNameLengthPanel;
    framework::TPanel* FoundArchiveIDLengthPanel;
    framework::TBitBtn* BitBtn1;  // Adjust Settings
    framework::TBitBtn* CancelBtn;
    framework::TBitBtn* HelpBtn;
    int HelpContext = 57;

    void BitBtn1Click();
    void TableRestructureProgress(int PercentDone);
};

}  // namespace catalog
