#pragma once
// The catalog manager: whole volumes of a source catalog beside those of a destination catalog.
// The user tags source volumes (their Tags go to the table TaggedEntries), copies or moves the
// tagged volumes (or, with none tagged, the highlighted one) with all their entries into the
// destination, changes a volume's catalog label, deletes volumes with their entries, and
// renumbers the Tags of the source catalog's summary and entry tables. Every change of the source
// writes one line to the source catalog's activity log when that catalog keeps one.

#include <cstdint>
#include <string>

#include "framework/ui/Forms.h"

namespace framework {
class TBitBtn;
class TDataSource;
class TDBNavigator;
class TEdit;
class TLabel;
class TPanel;
class TStringField;
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
class TCtlDbTable;
}

namespace cataloging {

// Asks for a volume-label mask ("*" to start with).
class TGetTagUntagSpecForm : public framework::TForm {
public:
    explicit TGetTagUntagSpecForm(framework::TComponent* AOwner);
    framework::TLabel* Prompt;
    framework::TEdit* Spec;
    framework::TBitBtn* OKBtn;
    framework::TBitBtn* CancelBtn;
    framework::TBitBtn* HelpBtn;
    int HelpContext = 73;
};

// Asks for a volume's new catalog label (upper case, up to 11 characters).
class TCMChangeVolumeForm : public framework::TForm {
public:
    explicit TCMChangeVolumeForm(framework::TComponent* AOwner);
    framework::TEdit* Oldlabel;
    framework::TEdit* NewLabel;
    framework::TBitBtn* OKBtn;
    framework::TBitBtn* CancelBtn;
    framework::TBitBtn* HelpBtn;
    int HelpContext = 77;
};

class TCatalogManagerForm : public framework::TForm {
public:
    explicit TCatalogManagerForm(framework::TComponent* AOwner);
    ~TCatalogManagerForm() override;

    static constexpr const char* NoneSelected = "<None Selected>";
    int HelpContext = 76;

    dbsql::TDbTable *SSummaryTable, *DSummaryTable, *SSummaryTable2, *SCatalogTable2, *DSummaryTable2,
        *DCatalogTable2, *SCatalogTable, *CCTable, *LogTable, *STagTable;
    dbsql::TDbQuery* Query;
    framework::TDataSource *SSummarySource, *DSummarySource, *SSummarySource2;
    framework::TStringField* Tagged;
    entry::TCtlRegistryStore* Store;
    entry::TCtlFormState* FormState;

    framework::TPanel *SourceCatalogPanel, *DestinationCatalogPanel, *SRecordCount, *DRecordCount;
    grid::TCtlDbTable *SGrid, *DGrid;
    framework::TDBNavigator *SNavigator, *DNavigator;
    framework::TBitBtn *ResequenceBtn, *ChgVolumeBtn, *DeleteBtn, *LoadSourceBtn, *LoadDestBtn, *CopyBtn,
        *MoveBtn;
    framework::TBitBtn *TagSeveralBtn, *UntagSeveralBtn, *TagAllBtn, *ClearAllBtn, *InvertTagsBtn;
    framework::TBitBtn *CloseBtn, *HelpBtn;

    // The query progress display: 0 the query's own percentage, 1 the percentage refining a count
    // of volumes (VolumesDone of VolumesToDo), anything else leaves the gauge alone.
    int QueryProgressMode = 0;
    int VolumesDone = 0;
    int VolumesToDo = 0;

    void FormShow();
    void FormClose();
    void SSummaryTableCalcFields();
    void SGridLockedCellClick(int32_t RowNum);
    void TagAllBtnClick(framework::TObject* Sender);
    void BitBtn1Click();  // Load Source
    void BitBtn2Click();  // Load Dest.
    void ResequenceBtnClick();
    void ChgVolumeBtnClick();
    void DeleteBtnClick();
    void CopyBtnClick(framework::TObject* Sender);
    void QueryQueryProgress(int PercentDone);

    void CreateTagTable();
    void TagVolume(int32_t Tag);
    void UntagVolume(int32_t Tag);
    void ToggleVolumeTag(int32_t Tag);
    // Copies (or moves) the tagged volumes, or the highlighted one: true when the run completed.
    bool CopyVolumes(bool Move);

    std::string SourceName() const;
    std::string DestinationName() const;

protected:
    void DoShow() override;
    void DoClose(framework::TCloseAction& Action) override;

private:
    enum class TTagAction { Tag, Untag, Toggle };
    void ApplyTag(int32_t Tag, TTagAction Action);
    // Picks a catalog with the catalog picker: empty when the user cancels.
    std::string PickCatalog();
    // Load Source (Source true) or Load Dest.: the picked catalog's volumes on that side.
    void LoadCatalog(bool Source);
    void ShowCount(dbsql::TDbTable& Table, framework::TPanel& Count);
    void EnableSourceButtons(bool Enabled);
    // One line in the source catalog's log when the catalog keeps one.
    void WriteLogLine(const std::string& Operation);
    // Runs the query's statement with its parameters and gives back nothing; the query is left closed.
    void RunStatement(const std::string& Sql, const std::string& Label, const std::string& NewLabel = {});
    bool CopyOneVolume(bool Move, int Done, int Count);
    void RestructureTag(dbsql::TDbTable& Table, bool AutoIncrement, int32_t LastValue);
    int32_t Renumber(dbsql::TDbTable& Table);
    void SourceLost();
    // Renumbers the source's summary (Summary) or entry table through a plain-integer Tag; false,
    // after the error box, when a step failed.
    bool ResequenceTable(bool Summary);
    // Puts a table whose renumbering failed back to an auto-increment Tag that goes on after the
    // highest Tag it holds, so that no catalog is left with a plain-integer Tag.
    void PutBackAutoIncrement(dbsql::TDbTable& Table);
    bool FTagTableMade = false;
};

// Opens the catalog manager modally; the caller refreshes its status panels afterwards.
void ShowCatalogManagerForm();

}  // namespace cataloging
