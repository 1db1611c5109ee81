#pragma once
// Stored disk summary reports: the list of definitions (CustomSummaryReportDefs in the program
// folder), the editor of one definition, and the run of a definition, which turns its record into
// a TSummaryReportSpec and asks first for the criteria stored as "Prompt".

#include <array>
#include <string>

#include "framework/ui/Forms.h"
#include "reports/summary/SummaryReportScreenForm.h"

namespace framework {
class TBitBtn;
class TComboBox;
class TDataSet;
class TDataSource;
class TDBComboBox;
class TDBEdit;
class TDBGrid;
class TDBMemo;
class TEdit;
class TMemo;
class TLabel;
class TPanel;
class TWinControl;
}  // namespace framework
namespace dbsql {
class TDbTable;
}
namespace entry {
class TCtlController;
class TCtlDateEdit;
class TCtlFormState;
class TCtlPictureField;
class TCtlRegistryStore;
class TCtlSpinner;
}  // namespace entry
namespace grid {
class TCtlDbDateEdit;
class TCtlDbPictureField;
class TCtlNotebook;
}  // namespace grid

namespace reports {

// The stored criterion code that means "ask when the report runs".
inline constexpr int kCustomSummaryPromptCode = 1;

// The report a stored definition (the current record of Def) asks for, before any prompting.
TSummaryReportSpec CustomSummarySpec(framework::TDataSet& Def);
// Whether a stored criterion of the definition is "Prompt", item N at index N - 1.
std::array<bool, kSummaryItems> CustomSummaryPrompted(framework::TDataSet& Def);
// The first line of a comment (up to the first line feed, then the first carriage return), in
// upper case: the phrase or keywords a report looks for.
std::string CustomSummaryCommentPhrase(const std::string& Comment);

// Opens the list of stored definitions, or brings the open one to front.
void ShowCustomSummaryReports();

class TCustomSummaryReportForm : public framework::TForm {
public:
    explicit TCustomSummaryReportForm(framework::TComponent* AOwner);
    ~TCustomSummaryReportForm() override;

    static constexpr const char* NoneSelectedText = "No Report Definition Selected";
    static constexpr const char* ConfirmDeleteText =
        "Confirm: Do You Really Want To Delete This Report Definition?";

    int HelpContext = 0;
    dbsql::TDbTable* DefTable;
    framework::TDataSource* DefSource;
    entry::TCtlRegistryStore* Store;
    entry::TCtlFormState* FormState;
    framework::TDBGrid* DBGrid;
    framework::TBitBtn *ActivateBtn, *NewBtn, *EditBtn, *DeleteBtn, *CloseBtn, *HelpBtn;

    void NewBtnClick();
    void EditBtnClick();
    void DeleteBtnClick();
    void ActivateBtnClick();

protected:
    void DoShow() override;
    void DoClose(framework::TCloseAction& Action) override;

private:
    // Shows the editor on a new record (New) or on the current one; on OK the list moves to the
    // saved definition.
    void RunEditor(bool New);
    bool ListEmpty();
};

class TCustomSummaryReportEditorForm : public framework::TForm {
public:
    explicit TCustomSummaryReportEditorForm(framework::TComponent* AOwner);
    ~TCustomSummaryReportEditorForm() override;

    static constexpr const char* DuplicateNameText = "There Is Already A Report On File By This Name";

    int HelpContext = 0;
    dbsql::TDbTable* DefTable;
    framework::TDataSource* DefSource;
    entry::TCtlController* Controller;
    grid::TCtlNotebook* Notebook;
    // Page "Report Name".
    framework::TDBEdit *DBEdit1, *DBEdit3, *DBEdit4, *DBEdit5;
    // Page "Report Definition"; item N at index N - 1, null where the item has no such control.
    framework::TDBEdit* DBEdit2;
    grid::TCtlDbDateEdit *DateFirst, *DateLast;
    std::array<grid::TCtlDbPictureField*, 4> SizeFields{};   // items 6 to 9
    std::array<grid::TCtlDbPictureField*, 2> CountFields{};  // items 11 and 12
    framework::TDBComboBox* CatalogedFrom;
    framework::TDBMemo* DBMemo1;
    std::array<framework::TComboBox*, kSummaryItems> SrchC{};
    std::array<entry::TCtlPictureField*, kSummaryItems> CS{};
    std::array<entry::TCtlPictureField*, kSummaryItems> SCS{};
    std::array<framework::TComboBox*, kSummaryItems> SC{};
    framework::TLabel* KeywordsLabel;
    grid::TCtlDbPictureField* MatchesRequired;
    entry::TCtlSpinner* MatchesRequiredSpinner;
    framework::TBitBtn *BitBtn1, *CancelBtn, *HelpBtn;

    // Puts the editor on a new record (page "Report Name", focus on the name) or on the stored
    // definition of that name (page "Report Definition", focus on the volume label).
    void StartNew();
    bool StartEdit(const std::string& ReportName);

    void DefTableNewRecord();
    void SrchC14Change();
    // Save: the checks in order; when they pass, the lists and fields go into the record, which
    // is posted, and the editor closes with OK.
    void BitBtn1Click();

protected:
    void DoShow() override;
    void DoClose(framework::TCloseAction& Action) override;
    void Activate() override;

private:
    void BuildDefinitionPage(framework::TWinControl& Page);
    // The error box, then the page and the control to correct.
    void Refuse(const char* Text, int Page, framework::TWinControl* Focus);
    bool FPostFailed = false;
    // The page an edit starts on, turned when the window is first activated (the focus then goes
    // to the volume label).
    int FStartPage = 0;
};

// The criteria of a definition that were stored as "Prompt", asked for when it runs.
class TCustomSummaryReportPromptForm : public framework::TForm {
public:
    explicit TCustomSummaryReportPromptForm(framework::TComponent* AOwner);
    ~TCustomSummaryReportPromptForm() override;

    int HelpContext = 62;
    entry::TCtlController* Controller;
    // Row panels, item N at index N - 1 (null for items 2, 3 and 10).
    std::array<framework::TPanel*, kSummaryItems> Panels{};
    std::array<framework::TComboBox*, kSummaryItems> SrchC{};
    framework::TEdit* CatalogVolumeLabel;
    entry::TCtlDateEdit *DateFirstCataloged, *DateLastCataloged;
    std::array<entry::TCtlPictureField*, 4> SizeFields{};   // items 6 to 9
    std::array<entry::TCtlPictureField*, 2> CountFields{};  // items 11 and 12
    framework::TComboBox* CatalogedFrom;
    framework::TMemo* Comment;
    framework::TLabel* KeywordsLabel;
    entry::TCtlPictureField* MatchesRequired;
    entry::TCtlSpinner* MatchesRequiredSpinner;
    framework::TBitBtn *BitBtn1, *CancelBtn, *HelpBtn;

    // Shows the rows of the prompted items, preset from Spec (the comment's whole stored text from
    // StoredComment) with the operator that compares; hides the others and shrinks the dialog.
    void Preset(const TSummaryReportSpec& Spec, const std::array<bool, kSummaryItems>& Prompted,
                const std::string& StoredComment);
    // The values and operators of the prompted rows into Spec.
    void ApplyTo(TSummaryReportSpec& Spec) const;

    void SrchC14Change();
    void BitBtn1Click();

protected:
    void DoShow() override;

private:
    std::array<bool, kSummaryItems> FPrompted{};
};

}  // namespace reports
