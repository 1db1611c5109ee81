#pragma once
// The import of comments from a listing ("Import File Comments"): the profile window (CIProfiles)
// and the run, which finds the catalog's entries matching each entry of the listing and gives them
// its comment (leaving existing comments, replacing or appending to them, as the profile says),
// recording the entries it changed in ImportCmtPtrs so that the file comment editor can show
// exactly those.

#include <cstdint>
#include <string>

#include "tools/import/ImportProfileForm.h"

namespace framework {
class TButton;
class TDBComboBox;
}  // namespace framework
namespace dbsql {
class TDbQuery;
}

namespace tools {

class TImportFileCommentForm : public TImportProfileForm {
public:
    explicit TImportFileCommentForm(framework::TComponent* AOwner);

    static constexpr const char* NoFileText = "You Must Specify A File From Which To Import Comments";
    static constexpr const char* PointerTableName = "ImportCmtPtrs";

    framework::TDBComboBox* CmtProcCriteria;
    dbsql::TDbQuery* Query;
    dbsql::TDbTable* PointerTable;
    framework::TPanel* StatusPanel;
    framework::TPanel *LinesReadPanel, *MatchesFoundPanel, *CommentsUpdatedPanel;
    framework::TButton *StopBtn, *DoneBtn, *EditCmtsBtn;

    int64_t MatchesFound = 0, CommentsUpdated = 0;

    void BitBtn3Click();
    void StopBtnClick();
    void DoneBtnClick();
    void EditCmtsBtnClick();
    // The matching entries of the catalog take the entry's comment as Criteria says.
    void ApplyImportedComment(const TCommentImportEntry& Entry);

protected:
    void RunClick() override { BitBtn3Click(); }
    void DoShow() override;
    void DoClose(framework::TCloseAction& Action) override;

private:
    void DeletePointerTable();
    bool FStop = false;
    bool FQueryReady = false;
    TCommentImportColumns FColumns;
    std::string FCriteria;
};

// Opens the window modally over the current catalog.
void ShowImportFileCommentForm();

}  // namespace tools
