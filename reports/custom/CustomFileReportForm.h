#pragma once
// The list of stored file report definitions (one modeless window at a time): new, edit, delete,
// and activate, which runs the current definition as a file report in a window of its own after
// asking for the criteria it keeps as "Prompt".

#include "framework/ui/Forms.h"

namespace framework {
class TBitBtn;
class TDataSource;
class TDBGrid;
class TPanel;
}  // namespace framework
namespace dbsql {
class TDbTable;
}
namespace entry {
class TCtlFormState;
class TCtlRegistryStore;
}  // namespace entry

namespace reports {

class TCustomFileReportEditorForm;
class TCustomFileReportPromptForm;
class TFileReportScreenForm;

class TCustomFileReportForm : public framework::TForm {
public:
    explicit TCustomFileReportForm(framework::TComponent* AOwner);
    ~TCustomFileReportForm() override;
    int HelpContext = 0;

    static constexpr const char* NoneSelectedText = "No Report Definition Selected";
    static constexpr const char* ConfirmDeleteText =
        "Confirm: Do You Really Want To Delete This Report Definition?";

    dbsql::TDbTable* DefTable;
    framework::TDataSource* DefSource;
    framework::TDBGrid* DBGrid;
    framework::TPanel* ButtonPanel;
    framework::TBitBtn *ActivateBtn, *NewBtn, *EditBtn, *DeleteBtn, *CloseBtn, *HelpBtn;
    entry::TCtlRegistryStore* Store;
    entry::TCtlFormState* FormState;

    void NewBtnClick();
    void EditBtnClick();
    void DeleteBtnClick();
    // Runs the current definition: its last-used date becomes today, the "Prompt" criteria are
    // asked for, and the report is built and shown in a new window.
    void ActivateBtnClick();

protected:
    void DoShow() override;
    void DoClose(framework::TCloseAction& Action) override;

private:
    // Shows the editor modally and moves the list to the saved record on OK.
    void RunEditor(TCustomFileReportEditorForm& Editor);
    // Shows the prompt for the criteria the definition asks for; false when it was not confirmed.
    bool AskPromptedCriteria(TFileReportScreenForm& Report);
};

// The main menu's command: brings the open list of definitions to front, or opens one.
void ShowCustomFileReports();
// The list window that is open (nil when none is).
TCustomFileReportForm* OpenCustomFileReportForm();

}  // namespace reports
