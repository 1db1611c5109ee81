#pragma once
// The Help frame: one centred column of six buttons; the About button's caption is set when the frame is
// shown.

#include "app/OptionFrame.h"

namespace framework {
class TBitBtn;
}
namespace kit {
class TStyledMenuButton;
}

namespace app {

class TFrameHelp : public TOptionFrame {
public:
    TFrameHelp(framework::TComponent* AOwner, TMainForm& Main);

    framework::TBitBtn *ContentsBtn, *IndexBtn, *HowToBtn, *TipsBtn, *AboutWindowsBtn, *AboutBtn;

protected:
    void LayOut(int P, int W) override;
};

}  // namespace app
