#include "app/FrameHelpUnit.h"

#include "framework/stdctrls/Buttons.h"

namespace app {

using namespace framework;

TFrameHelp::TFrameHelp(TComponent* AOwner, TMainForm& Main) : TOptionFrame(AOwner, Main) {
    SetName("FrameHelp");
    ContentsBtn = AddButton("ContentsBtn", "Contents", "Contents1");
    IndexBtn = AddButton("IndexBtn", "Index", "Index1");
    HowToBtn = AddButton("HowToBtn", "How To Use Help", "HowToUseHelp1");
    TipsBtn = AddButton("TipsBtn", "Tips And Tricks", "TipsTricks1");
    AboutWindowsBtn = AddButton("AboutWindowsBtn", "About Windows", "AboutWindows1");
    AboutBtn = AddButton("AboutBtn", "About", "About1");
}

void TFrameHelp::LayOut(int P, int W) {
    LayOutColumn({ContentsBtn, IndexBtn, HowToBtn, TipsBtn, AboutWindowsBtn, AboutBtn}, W, (P - 67) / 7);
}

}  // namespace app
