#pragma once
// Choosing volumes of the current catalog. TSelectVolumeIDForm takes one label pattern with
// wildcards or labels ticked in a list, then either removes the chosen volumes with all their file
// entries from the catalog (one activity-log line per volume when the catalog keeps a log) or
// opens the file comment editor on their entries. TSelectOneVolumeForm is a plain list of the
// catalog's volumes to pick one from.

#include <string>
#include <vector>

#include "framework/ui/Forms.h"

namespace framework {
class TBitBtn;
class TDataSource;
class TEdit;
}  // namespace framework
namespace dbsql {
class TDbQuery;
class TDbTable;
}  // namespace dbsql
namespace entry {
class TCtlFormState;
class TCtlRegistryStore;
}  // namespace entry
namespace grid {
class TCtlCheckList;
class TCtlDbTable;
class TCtlNotebook;
}  // namespace grid

namespace cataloging {

class TSelectVolumeIDForm : public framework::TForm {
public:
    explicit TSelectVolumeIDForm(framework::TComponent* AOwner);

    static constexpr const char* UnCatalogAllText = "Do You Really Want To UnCatalog All Disks And Files?";
    // Set by the caller before showing: open the file comment editor instead of uncataloguing.
    bool ForCommentEditor = false;
    int HelpContext = 0;

    grid::TCtlNotebook* Notebook;
    framework::TEdit* VSpec;
    grid::TCtlCheckList* CheckList;
    framework::TBitBtn *TagAllBtn, *ClearTagsBtn, *TagSeveralBtn, *UntagSeveralBtn, *InvertTagsBtn,
        *ProceedBtn, *CancelBtn, *HelpBtn;
    dbsql::TDbTable *SummaryTable, *LogTable, *ConfigTable;
    dbsql::TDbQuery* CatalogQuery;

    bool KeepLog() const { return FKeepLog; }
    bool ListLoaded() const { return FListLoaded; }
    int VolumesToRemove() const { return FToRemove; }

    // Fills the check list from the catalog's volumes the first time the second page shows.
    void LoadList();
    void TagAllClick();
    void ClearTagsClick();
    void InvertTagsClick();
    void TagSeveralClick();
    void UntagSeveralClick();
    // Runs the chosen action and closes the window.
    void ProceedClick();

    // The patterns chosen on the page shown: the typed label pattern ("*" when blank), or one mask per
    // ticked label.
    std::vector<std::string> ChosenPatterns();

protected:
    void DoShow() override;

private:
    void SetTicks(const std::string& Spec, bool Tick);
    void UnCatalog(const std::vector<std::string>& Patterns);
    void OpenCommentEditor(const std::vector<std::string>& Patterns);
    void ShowGauge(int Percent);

    bool FKeepLog = false;
    bool FListLoaded = false;
    int FToRemove = 0;
    int FRemoved = 0;
};

class TSelectOneVolumeForm : public framework::TForm {
public:
    explicit TSelectOneVolumeForm(framework::TComponent* AOwner);
    int HelpContext = 0;

    dbsql::TDbTable* SummaryTable;
    framework::TDataSource* SummarySource;
    grid::TCtlDbTable* Grid;
    framework::TBitBtn *SelectBtn, *CancelBtn, *HelpBtn;
    entry::TCtlRegistryStore* Store;
    entry::TCtlFormState* FormState;

    // Closes the window with OK when the catalog holds a volume; does nothing otherwise.
    void SelectClick();
};

}  // namespace cataloging
