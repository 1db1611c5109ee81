#pragma once
// The editor of one stored file report definition: its name on one page, its criteria, columns
// and sort keys on the other, and the duplicate-only and unique-only options beside them. The list
// window creates it, inserts or finds the record in its table and shows it modally; OK means the
// definition was saved.

#include <array>

#include "framework/ui/Forms.h"
#include "reports/custom/CustomFileReportDefs.h"

namespace framework {
class TBitBtn;
class TCheckBox;
class TComboBox;
class TDataSource;
class TDBCheckBox;
class TDBEdit;
class TDBMemo;
class TLabel;
class TPanel;
class TWinControl;
}  // namespace framework
namespace dbsql {
class TDbTable;
}
namespace entry {
class TCtlAttachedButton;
class TCtlController;
class TCtlPictureField;
class TCtlSpinner;
}  // namespace entry
namespace grid {
class TCtlDbDateEdit;
class TCtlDbPictureField;
class TCtlNotebook;
}  // namespace grid

namespace reports {

class TCustomFileReportEditorForm : public framework::TForm {
public:
    explicit TCustomFileReportEditorForm(framework::TComponent* AOwner);
    int HelpContext = 0;

    static constexpr const char* NameMissingText = "The Report Name Must Be Filled In";
    static constexpr const char* DuplicateColumnText = "Duplicate Column Spec";
    static constexpr const char* NoColumnText = "You Must Fill In At Least One Column Spec";
    static constexpr const char* DuplicateSortText = "Duplicate Sort Column Spec";
    static constexpr const char* DateMissingText = kFileDateMissingText;
    static constexpr const char* DuplicateNameText = "There Is Already A Report On File By This Name";
    static constexpr const char* CategoryMissingText = kFileCategoryMissingText;

    // The notebook's pages.
    static constexpr int NamePage = 0;
    static constexpr int DefinitionPage = 1;

    dbsql::TDbTable* DefTable;
    dbsql::TDbTable* CategoryTable;
    framework::TDataSource* DefSource;
    entry::TCtlController* Controller;
    grid::TCtlNotebook* Notebook;

    framework::TDBEdit* DBEdit1;  // ReportName
    framework::TDBEdit *DBEdit3, *DBEdit4, *DBEdit5;
    framework::TDBEdit* DBEdit2;  // FileName
    framework::TDBEdit *DBEdit6, *DBEdit7, *DBEdit8;
    grid::TCtlDbPictureField* DBPicField1;  // FileSize
    grid::TCtlDbDateEdit* DateModified;
    framework::TDBEdit* CategoryCode;
    entry::TCtlAttachedButton* AttachedButton1;
    framework::TDBMemo* Comment;
    grid::TCtlDbPictureField* MatchesRequired;
    entry::TCtlSpinner* MatchesRequiredSpinner;
    framework::TLabel* MatchesRequiredLabel;

    // By item number (index item - 1); nil where the item has no such control.
    std::array<framework::TComboBox*, 12> SrchC{};
    std::array<entry::TCtlPictureField*, 12> CS{};
    std::array<entry::TCtlPictureField*, 12> SCS{};
    std::array<entry::TCtlSpinner*, 12> SCSSpinner{};
    std::array<framework::TComboBox*, 12> SC{};

    framework::TPanel* SpecialtyPanel;
    framework::TDBCheckBox *Duplicate, *Unique, *UseVersions, *UseFileSize;
    framework::TBitBtn *BitBtn1, *CancelBtn, *HelpBtn;

    void DefTableNewRecord();
    void SrchC11Change();
    void CategoryCodeExit();
    void AttachedButton1Click();
    void DuplicateClick();
    void UniqueClick();
    void UseVersionsClick();
    void UseFileSizeClick();
    void NotebookPageChanged();
    // Save: checks the definition and posts it; the editor closes with OK when the post succeeds.
    void BitBtn1Click();
    // Enables the criteria and sort keys (true) or only the duplicate and unique options (false);
    // the column positions stay enabled.
    void SetStates(bool Enabled);
    // Shows Page with the focus on Control.
    void ShowPage(int Page, framework::TWinControl* Control);

protected:
    void DoShow() override;
    void DoClose(framework::TCloseAction& Action) override;

private:
    // Stops the save with the error box, on Page with the focus on Control.
    void Refuse(const char* Text, int Page, framework::TWinControl* Control);
    void SetBooleanField(const char* Field, bool Value);
    bool FLoading = true;
    bool FPostFailed = false;
};

}  // namespace reports
