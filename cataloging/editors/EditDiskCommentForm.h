#pragma once
// The disk comment editor: one row per volume of the current catalog, and each volume's comment
// written by typing, by copying the row above or below or the last comment written, or cleared
// with a one-step undo. Only the Comment field of the summary table is written.

#include <string>

#include "framework/ui/Forms.h"

namespace framework {
class TBitBtn;
class TCheckBox;
class TDataSource;
class TDBMemo;
class TDBNavigator;
class TLabel;
}  // namespace framework
namespace dbsql {
class TDbTable;
}
namespace entry {
class TCtlFormState;
class TCtlComponentState;
class TCtlRegistryStore;
}  // namespace entry
namespace grid {
class TCtlDbTable;
}

namespace cataloging {

class TEditDiskCommentForm : public framework::TForm {
public:
    explicit TEditDiskCommentForm(framework::TComponent* AOwner);
    int HelpContext = 43;

    dbsql::TDbTable *SummaryTable, *MeasureTable;
    framework::TDataSource* SummarySource;
    entry::TCtlRegistryStore* Store;
    entry::TCtlFormState* FormState;
    entry::TCtlComponentState* ComponentState;
    grid::TCtlDbTable* Grid = nullptr;
    framework::TDBMemo* CommentMemo = nullptr;
    framework::TLabel* MeasureLabel;
    framework::TDBNavigator* Navigator;
    framework::TBitBtn *GrabAboveBtn, *GrabBelowBtn, *GrabLastBtn, *ZapBtn, *UndoZapBtn, *FontBtn, *CloseBtn,
        *HelpBtn;
    framework::TCheckBox* AdvanceCheck;

    // Points SummaryTable at the current catalog's summary and opens it, on the volume when given.
    void OpenSummary(const std::string& VolumeLabel = {});
    void SizeColumns();
    void GrabAboveClick();
    void GrabBelowClick();
    void GrabLastClick();
    void ZapClick();
    void UndoZapClick();
    void FontClick();
    void CloseBtnClick();
    const std::string& LastComment() const { return FLastComment; }

protected:
    void DoShow() override;
    void Resize() override;

private:
    void Grab(bool Above);
    void WriteComment(const std::string& Comment);
    void SizeCommentColumn();
    std::string FLastComment, FUndoComment;
    bool FInternalPost = false;
    int FWidths[5] = {};
    int FCommentWidth = 0;
};

// Sets up and shows the editor over the current catalog, on the volume when given; raises when it
// cannot be set up.
void ShowDiskCommentEditor(const std::string& VolumeLabel = {});

}  // namespace cataloging
