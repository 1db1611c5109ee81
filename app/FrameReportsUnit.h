#pragma once
// The Reports frame: two columns of eight rows; the sorted listings drop from a menu button.

#include "app/OptionFrame.h"

namespace framework {
class TBitBtn;
}
namespace kit {
class TStyledMenuButton;
}

namespace app {

class TFrameReports : public TOptionFrame {
public:
    TFrameReports(framework::TComponent* AOwner, TMainForm& Main);

    framework::TBitBtn *SumAllByVolBtn, *SumAllByFreeBtn, *CustomSummaryBtn, *CustomFileBtn, *ByFileSpecBtn,
        *ByVolumeLabelBtn, *ByFolderNameBtn, *ByArchiveIDBtn, *ByCategoryBtn, *ByCommentTextKeywordsBtn,
        *ByFileNameCommentTextBtn, *DuplicateFilesBtn, *UniqueFilesBtn, *VolSummaryFileContentsBtn;
    kit::TStyledMenuButton* SortedListingsBtn;

protected:
    void LayOut(int P, int W) override;
};

}  // namespace app
