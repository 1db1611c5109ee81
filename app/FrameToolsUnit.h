#pragma once
// The Tools frame: one centred column of six buttons.

#include "app/OptionFrame.h"

namespace framework {
class TBitBtn;
}
namespace kit {
class TStyledMenuButton;
}

namespace app {

class TFrameTools : public TOptionFrame {
public:
    TFrameTools(framework::TComponent* AOwner, TMainForm& Main);

    framework::TBitBtn *ManageBtn, *CompareBtn, *OffloadBtn, *DuplicateBtn, *GeneralCleanupBtn, *RetrieveBtn;

protected:
    void LayOut(int P, int W) override;
};

}  // namespace app
