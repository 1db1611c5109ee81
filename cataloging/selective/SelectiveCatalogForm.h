#pragma once
// Selective cataloguing: after the walk the user tags the entries of the temporary table New that
// are to reach the catalog. Untagged entries are left out, and the merge removes an untagged entry
// that the catalog already holds for the volume. Each change of a tag is posted to New at once, so
// the table holds the final choice when the window closes.
//
// TSelectiveCatalogForm shows New in a grid with a check box per entry and the tagging commands;
// TSelectiveCatalogTagCriteriaForm asks what "Tag Several" and "Untag Several" work on.
// SelectEntriesToCatalog runs the window as a cataloguing run (or the text import) does.

#include <cstdint>
#include <functional>
#include <string>

#include "framework/ui/Forms.h"

namespace framework {
class TBitBtn;
class TDataSet;
class TDataSource;
class TEdit;
class TGroupBox;
class TPanel;
class TRadioButton;
}  // namespace framework
namespace entry {
class TCtlController;
class TCtlFormState;
class TCtlRegistryStore;
}  // namespace entry
namespace grid {
class TCtlDbTable;
}
namespace dbsql {
class TDbTable;
}

namespace cataloging {

class TSelectiveCatalogForm : public framework::TForm {
public:
    explicit TSelectiveCatalogForm(framework::TComponent* AOwner);
    ~TSelectiveCatalogForm() override;

    // New, as the caller points and opens it.
    dbsql::TDbTable* NewDataTable;
    framework::TDataSource* DataSource1;
    grid::TCtlDbTable* SelectionTable;
    // The catalog's entries, opened only for the presence test.
    dbsql::TDbTable* CatalogTable;
    framework::TPanel* ButtonPanel;
    framework::TBitBtn *TagAllBtn, *ClearTagsBtn, *TagSeveralBtn, *UntagSeveralBtn, *InvertTagsBtn,
        *ProceedBtn, *CancelBtn, *HelpBtn;
    entry::TCtlController* Controller;
    entry::TCtlRegistryStore* Store;
    entry::TCtlFormState* FormState;
    int HelpContext = 59;

    // The volume's catalogued label (its first 11 characters are used).
    void SetCatalogLabel(const std::string& Value);
    const std::string& CatalogLabel() const { return FCatalogLabel; }

    // Widens the name columns to the widest names found (in pixels) + 6, each only above 64.
    void WidenColumns(int FileNamePixels, int FolderNamePixels, int ArchiveIDPixels);

    void TagAllBtnClick();
    void ClearTagsBtnClick();
    void InvertTagsBtnClick();
    void TagSeveralBtnClick();
    void UntagSeveralBtnClick();
    void ProceedBtnClick();

    // Tags (Value true) or untags the entries whose name matches Spec, or, when Spec holds "\",
    // whose folder and name do.
    void TagBySpec(const std::string& Spec, bool Value, const std::string& Caption);
    // Tags or untags the entries that the catalog holds for this volume.
    void TagByCatalogPresence(bool Value, const std::string& Caption);
    // A key lookup in the open CatalogTable under the volume's label.
    bool IsInCatalog(const std::string& FileName, const std::string& FolderName,
                     const std::string& ArchiveID);

    // Places the buttons from the right edge of their panel.
    void ButtonPanelResize();

private:
    // The frame every tagging pass runs in: Rule gives the new tag of the current entry (or leaves
    // it by returning its present value); a changed entry is posted at once.
    void TagPass(const std::string& Caption, const std::function<bool(framework::TDataSet&)>& Rule);
    void TagSeveral(bool Value);
    std::string FCatalogLabel;
};

class TSelectiveCatalogTagCriteriaForm : public framework::TForm {
public:
    explicit TSelectiveCatalogTagCriteriaForm(framework::TComponent* AOwner);

    framework::TGroupBox* GroupBox1;
    framework::TRadioButton* FileSpecBtn;
    framework::TEdit* Filespec;
    framework::TRadioButton* InCatalogBtn;
    framework::TBitBtn* ProceedBtn;
    framework::TBitBtn* CancelBtn;
    framework::TBitBtn* HelpBtn;
    int HelpContext = 60;

    void InCatalogBtnClick();
    void FileSpecBtnClick();
};

// What a run hands to the selection.
struct TSelectiveRequest {
    std::string NewDatabase;  // "Memory" or the program folder
    std::string CatalogLabel;
    int FileNamePixels = 0, FolderNamePixels = 0, ArchiveIDPixels = 0;
};

// Shows the window over New. True when the user proceeds; false (with StopRequested set) when the
// user cancels or New cannot be opened ("Error Opening Temporary Database For Selective Cataloging
// Purposes").
bool SelectEntriesToCatalog(const TSelectiveRequest& Request);

}  // namespace cataloging
