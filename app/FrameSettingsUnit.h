#pragma once
// The Settings frame: one centred column of five buttons.

#include "app/OptionFrame.h"

namespace framework {
class TBitBtn;
}
namespace kit {
class TStyledMenuButton;
}

namespace app {

class TFrameSettings : public TOptionFrame {
public:
    TFrameSettings(framework::TComponent* AOwner, TMainForm& Main);

    framework::TBitBtn *SelectCreateBtn, *FolderBtn, *MainWinBtn, *IncludeExcludeBtn, *ToolsSettingsBtn;

protected:
    void LayOut(int P, int W) override;
};

}  // namespace app
