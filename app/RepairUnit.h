#pragma once
// TRepairForm: checks and repairs the program's tables with the engine's verify and repair
// operations. One page lists the tables of the program folder one by one, the other the catalogs
// of the catalog data folder, each checked as its three tables. The engine's steps and log lines
// are written into the page's activity log as they come.

#include <optional>
#include <string>
#include <vector>

#include "framework/ui/Forms.h"

namespace framework {
class TBitBtn;
class TListBox;
class TMemo;
class TPanel;
}  // namespace framework
namespace dbsql {
class TDbTable;
}
namespace entry {
class TCtlComponentState;
class TCtlFormState;
class TCtlRegistryStore;
}  // namespace entry
namespace grid {
class TCtlNotebook;
}

namespace app {

// The label a table file of the program folder is listed with ("Unknown Table" for a file that is
// none of the program's tables); the name is compared in upper case.
std::string ProgramTableLabel(const std::string& FileName);

class TRepairForm : public framework::TForm {
public:
    explicit TRepairForm(framework::TComponent* AOwner);

    int HelpContext = 86;

    entry::TCtlRegistryStore* Store;
    entry::TCtlFormState* FormState;
    entry::TCtlComponentState* ComponentState;
    // The notebook's panel; it takes the window's height less 78 pixels.
    framework::TPanel* Panel1;
    grid::TCtlNotebook* Notebook;
    // Page 0: the list panel and the log of the program tables.
    framework::TPanel* Panel4;
    framework::TListBox* MainTables;
    framework::TMemo* MainResults;
    dbsql::TDbTable* MainTable;
    // Page 1: the list panel and the log of the catalogs.
    framework::TPanel* Panel8;
    framework::TListBox* CatalogTables;
    framework::TMemo* CatalogResults;
    dbsql::TDbTable* CatTable;
    framework::TBitBtn *DiagnoseBtn, *RepairBtn, *CloseBtn, *HelpBtn;

    // Lists the program tables and the catalogs.
    void FormShow(framework::TObject* Sender);
    void FormResize(framework::TObject* Sender);
    // Diagnose, and Repair (Sender RepairBtn), on the page shown.
    void DiagnoseBtnClick(framework::TObject* Sender);

    void MainTableVerifyProgress(framework::TObject* Sender, const std::string& Step, int PercentDone);
    void MainTableRepairProgress(framework::TObject* Sender, const std::string& Step, int PercentDone);
    void CatTableVerifyProgress(framework::TObject* Sender, const std::string& Step, int PercentDone);
    void CatTableRepairProgress(framework::TObject* Sender, const std::string& Step, int PercentDone);
    void MainTableVerifyLog(framework::TObject* Sender, const std::string& LogMessage);
    void MainTableRepairLog(framework::TObject* Sender, const std::string& LogMessage);
    void CatTableVerifyLog(framework::TObject* Sender, const std::string& LogMessage);
    void CatTableRepairLog(framework::TObject* Sender, const std::string& LogMessage);

private:
    // The page's list panel with its header and list box, and the log with its header.
    void BuildPage(int Page, const char* ListPanel, framework::TPanel*& List, framework::TListBox*& Box,
                   framework::TMemo*& Log);
    // Verifies the table Table points at, logging into Log; with Repair a damaged table is repaired.
    void CheckTable(dbsql::TDbTable& Table, framework::TMemo& Log, const std::string& Name, bool Repair);
    // One line per step: a step reported again replaces its line.
    void Progress(framework::TMemo& Log, const std::string& Step, int PercentDone);
    void AddLine(framework::TMemo& Log, const std::string& Line);

    std::optional<std::string> FLastStep;  // none seen yet in this action
};

// Creates the window, shows it modally and releases it (the Diagnose menu).
void ShowRepairForm();

}  // namespace app
