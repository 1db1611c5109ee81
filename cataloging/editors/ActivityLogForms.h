#pragma once
// The current catalog's activity log: TViewCatalogActivityLogForm shows its lines oldest first,
// deletes every line up to and including a chosen date and prints the log through
// TPrintCatalogActivityLogForm (Letter, portrait, one line per record).

#include <string>

#include "framework/ui/Forms.h"

namespace framework {
class TBitBtn;
class TDataSource;
class TReport;
class TReportBand;
class TReportLabel;
}  // namespace framework
namespace dbsql {
class TDbQuery;
class TDbTable;
}  // namespace dbsql
namespace entry {
class TCtlDateEdit;
class TCtlFormState;
class TCtlRegistryStore;
}  // namespace entry
namespace grid {
class TCtlDbTable;
}

namespace cataloging {

class TViewCatalogActivityLogForm : public framework::TForm {
public:
    explicit TViewCatalogActivityLogForm(framework::TComponent* AOwner);

    static constexpr const char* PurgeQuestion = "Purging Log Entries Is Permanent - Do You Wish To Proceed?";
    int HelpContext = 0;

    dbsql::TDbTable* LogTable;
    framework::TDataSource* LogSource;
    dbsql::TDbQuery* Query;
    grid::TCtlDbTable* Grid;
    entry::TCtlDateEdit* CutoffDate;
    framework::TBitBtn *PurgeBtn, *PrintBtn, *CloseBtn, *HelpBtn;
    entry::TCtlRegistryStore* Store;
    entry::TCtlFormState* FormState;

    // Deletes every line dated on or before CutoffDate, after asking.
    void PurgeClick();
    // Prints the log after the printer set-up dialog; an empty log is refused first.
    void PrintClick();

protected:
    void DoShow() override;

private:
    void OpenLog();
};

class TPrintCatalogActivityLogForm : public framework::TForm {
public:
    explicit TPrintCatalogActivityLogForm(framework::TComponent* AOwner);

    dbsql::TDbTable* LogTable;
    framework::TReport* Report;
    framework::TReportBand *HeaderBand, *DetailBand;
    framework::TReportLabel* Title;

    // Opens the current catalog's log and titles the report after the catalog.
    void OpenTable();
};

}  // namespace cataloging
