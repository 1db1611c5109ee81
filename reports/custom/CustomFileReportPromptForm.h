#pragma once
// The dialog that asks, at each run of a stored file report definition, for the criteria the
// definition keeps as "Prompt": one row per such item (the others are hidden and the dialog
// shrinks by their height, staying centred), preset from the definition.

#include <array>
#include <string>

#include "framework/ui/Forms.h"
#include "reports/custom/CustomFileReportDefs.h"

namespace framework {
class TBitBtn;
class TComboBox;
class TEdit;
class TLabel;
class TMemo;
class TPanel;
}  // namespace framework
namespace dbsql {
class TDbTable;
}
namespace entry {
class TCtlAttachedButton;
class TCtlController;
class TCtlDateEdit;
class TCtlPictureField;
class TCtlSpinner;
}  // namespace entry

namespace reports {

class TFileReportScreenForm;

class TCustomFileReportPromptForm : public framework::TForm {
public:
    explicit TCustomFileReportPromptForm(framework::TComponent* AOwner);
    int HelpContext = 99;

    static constexpr const char* DateMissingText = kFileDateMissingText;
    static constexpr const char* CategoryMissingText = kFileCategoryMissingText;
    static constexpr int RowHeight = 25;
    static constexpr int CommentRowHeight = 52;

    dbsql::TDbTable* CategoryTable;
    entry::TCtlController* Controller;
    // The row panels by item number (index item - 1); nil for items without a criterion.
    std::array<framework::TPanel*, 12> Panels{};
    std::array<framework::TComboBox*, 12> SrchC{};
    framework::TEdit *FileName, *VolumeLabel, *FolderName, *ArchiveID;
    entry::TCtlPictureField* FileSize;
    entry::TCtlDateEdit* DateModified;
    framework::TEdit* CategoryCode;
    entry::TCtlAttachedButton* CtlAttachedButton1;
    framework::TMemo* Comment;
    entry::TCtlPictureField* MatchesRequired;
    entry::TCtlSpinner* MatchesRequiredSpinner;
    framework::TLabel* MatchesRequiredLabel;
    framework::TBitBtn *BitBtn1, *CancelBtn, *HelpBtn;

    // Shows the rows of the items Prompted marks (by item number, index item - 1), each preset from
    // the report's parameter block (StoredComment in full for the comment) with its operator on
    // its first comparison; hides the others.
    void Preset(const TFileReportScreenForm& Report, const std::string& StoredComment,
                const std::array<bool, 12>& Prompted);
    // Puts the values and operators of the shown rows into the report's parameter block.
    void TakeAnswers(TFileReportScreenForm& Report);

    void SrchC11Change();
    void CategoryCodeExit();
    void CtlAttachedButton1Click();
    void BitBtn1Click();

protected:
    void DoShow() override;
    void DoClose(framework::TCloseAction& Action) override;

private:
    void PlaceRows();
};

}  // namespace reports
