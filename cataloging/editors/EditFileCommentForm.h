#pragma once
// The file comment editor: walks a view of the current catalog's file entries (chosen by the
// caller through Spec) and sets each entry's Comment and CategoryCode by typing, by copying the
// entry above or below or the last values written, by clearing both with a one-step undo, or by
// copying them into every blank entry of the view. It also opens the catalogued file when its disk
// is at hand. The two criteria dialogs ask for size, date and comment criteria.

#include <cstdint>
#include <functional>
#include <string>

#include "cataloging/editors/CommentFilter.h"
#include "framework/ui/Forms.h"

namespace framework {
class TBitBtn;
class TCheckBox;
class TDataSource;
class TDBEdit;
class TDBMemo;
class TDBNavigator;
class TDBText;
class TEdit;
class TLabel;
class TMemo;
class TRadioButton;
class TGroupBox;
}  // namespace framework
namespace dbsql {
class TDbTable;
}
namespace entry {
class TCtlFormState;
class TCtlComponentState;
class TCtlRegistryStore;
class TCtlController;
class TCtlDateEdit;
class TCtlNumericField;
}  // namespace entry
namespace grid {
class TCtlDbTable;
}
namespace sysutil {
class TUtSpawnApplication;
}

namespace cataloging {

class TEditFileCommentForm : public framework::TForm {
public:
    explicit TEditFileCommentForm(framework::TComponent* AOwner);
    ~TEditFileCommentForm() override;

    static constexpr const char* LoseChangesText =
        "The Current Comment Has Been Changed - Do You Want To Lose The Changes?";
    int HelpContext = 40;

    // The view; set before CatalogTable is opened.
    TCommentEditorSpec& Spec() { return Filter.Spec; }
    TCommentFilter Filter;

    dbsql::TDbTable *CatalogTable, *CategoryTable, *ImportCmtPtrs, *SummaryTable;
    framework::TDataSource *CatalogSource, *CategorySource;
    entry::TCtlRegistryStore* Store;
    entry::TCtlFormState* FormState;
    entry::TCtlComponentState* ComponentState;
    grid::TCtlDbTable* Table;
    framework::TDBEdit* CategoryCode;
    framework::TBitBtn* CategoryBtn;
    framework::TDBText* CategoryDescription;
    framework::TDBMemo* CommentMemo;
    framework::TDBEdit *FileNameBox, *FolderNameBox, *ArchiveIDBox, *FileSizeBox, *DateBox, *TimeBox;
    framework::TEdit* AttributeBox;
    framework::TLabel *AttributeLabel, *MeasureLabel, *SearchLabel;
    framework::TDBNavigator* Navigator;
    framework::TBitBtn *GrabAboveBtn, *GrabBelowBtn, *GrabLastBtn, *ZapBtn, *UndoZapBtn, *CopyToBlankBtn,
        *OpenBtn, *CloseBtn, *HelpBtn;
    framework::TCheckBox *AdvanceCheck, *ShowFolderCheck, *ShowArchiveCheck, *ShowDateTimeCheck;
    framework::TEdit* SearchBox;
    sysutil::TUtSpawnApplication* Spawner;

    // Hands a found file to its program; the spawn component unless replaced (tests).
    std::function<void(const std::string& Path)> Launch;

    // Points the tables at the program folder and the current catalog and opens them (the import's
    // table first in the import view); raises when one cannot be opened.
    void OpenTables();
    void CalculateColumnWidths();
    void OpenFile();

    void GrabAboveClick();
    void GrabBelowClick();
    void GrabLastClick();
    void ZapClick();
    void UndoZapClick();
    void CopyToBlankClick();
    void CategoryBtnClick();
    void SearchChange();
    void CloseBtnClick();
    void ApplyColumnChoices();
    void LayoutControls();

    const std::string& LastComment() const { return FLastComment; }
    const std::string& LastCategory() const { return FLastCategory; }

protected:
    void DoShow() override;
    void DoClose(framework::TCloseAction& Action) override;
    void Resize() override;

private:
    void BeforePost();
    void AfterPost();
    void AfterScroll();
    // Writes the non-blank values into the current entry; true when something was written (and posted).
    bool WriteValues(const std::string& Comment, const std::string& Category);
    void InternalPostNow();
    void Grab(bool Above);

    std::string FLastComment, FLastCategory, FUndoComment, FUndoCategory, FLastSearch;
    bool FInternalPost = false;
    bool FBufferFullShown = false;
    bool FShown = false;
};

// Asks for a file size (or, after UseDate, a file date) and how entries compare with it.
class TGetFileSizeDateForm : public framework::TForm {
public:
    explicit TGetFileSizeDateForm(framework::TComponent* AOwner);
    int HelpContext = 41;
    framework::TLabel* Prompt;
    entry::TCtlController* Controller;
    entry::TCtlNumericField* SizeField;  // a 32-bit number of up to 11 digits
    entry::TCtlDateEdit* DateField;
    framework::TGroupBox* CompareGroup;
    framework::TRadioButton *EqualsBtn, *NotEqualBtn, *GreaterBtn, *GreaterEqualBtn, *LessBtn, *LessEqualBtn;
    framework::TBitBtn *OKBtn, *CancelBtn, *HelpBtn;
    // Switches the dialog to a date, today's to start with.
    void UseDate();
    uint8_t CompareOp() const;
    int64_t SizeValue() const;
};

// Asks for a comment text and whether it is a phrase or keywords.
class TGetCommentForm : public framework::TForm {
public:
    explicit TGetCommentForm(framework::TComponent* AOwner);
    int HelpContext = 42;
    framework::TMemo* CommentText;
    framework::TRadioButton *AnywhereBtn, *AllKeywordsBtn, *SomeKeywordsBtn;
    framework::TEdit* WordCount;
    framework::TLabel* WordsLabel;
    framework::TBitBtn *OKBtn, *CancelBtn, *HelpBtn;
    void WordCountChange();
    // The memo's lines, trimmed and upper-cased, non-empty ones joined with single blanks.
    std::string JoinedText() const;
    // Fills the view from the answers; false, after "No Comment Text Was Specified", when there is no text.
    bool FillSpec(TCommentEditorSpec& Spec) const;
};

// Sets up and shows the editor over the current catalog; a setup failure shows the caller's message.
void ShowFileCommentEditor(const TCommentEditorSpec& Spec);

}  // namespace cataloging
