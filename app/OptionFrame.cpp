#include "app/OptionFrame.h"

#include "app/MainUnit.h"
#include "controls/kit/StyledGrad.h"
#include "controls/kit/StyledMnuBtn.h"
#include "framework/stdctrls/Buttons.h"
#include "framework/stdctrls/ExtCtrls.h"
#include "framework/stdctrls/Menus.h"

namespace app {

using namespace framework;

TOptionFrame::TOptionFrame(TComponent* AOwner, TMainForm& Main) : TFrame(AOwner), FMain(Main) {
    SetAlign(alClient);
    SetColor(clNavy);
    // The long captions fit the buttons of the smallest window in 8 points.
    SetParentFont(false);
    Font().Name = "Arial";
    Font().SetSize(8);
    Gradient = NewComponent<kit::TStyledGradient>(this);
    Gradient->SetName("Gradient");
    Gradient->SetParent(this);
    Gradient->SetAlign(alClient);
    Gradient->SetColorBands(256);
    Gradient->SetFromColor(clNavy);
    Gradient->SetToColor(clNavy);
    OnResize = [this](TObject* Sender) { FrameResize(Sender); };
}

TOptionFrame::~TOptionFrame() {
    OnResize = nullptr;
}

void TOptionFrame::FrameResize(TObject*) {
    LayOut(FMain.MainOptPanel->Height(), ClientWidth());
}

TBitBtn* TOptionFrame::AddButton(const char* Name, const char* Caption, const char* Command) {
    auto* b = NewComponent<TBitBtn>(this);
    b->SetName(Name);
    b->SetParent(this);
    b->SetCaption(Caption);
    const std::string command = Command;
    b->OnClick = [this, command](TObject* Sender) { FMain.RunCommand(command, Sender); };
    return b;
}

kit::TStyledMenuButton* TOptionFrame::AddMenuButton(
    const char* Name, const char* Caption, const std::vector<std::pair<const char*, const char*>>& Items) {
    auto* menu = NewComponent<TPopupMenu>(this);
    menu->SetName(std::string(Name) + "Menu");
    for (const auto& [caption, command] : Items) {
        auto* item = NewComponent<TMenuItem>(this);
        item->SetName(command);
        item->Caption = caption;
        const std::string name = command;
        item->OnClick = [this, name](TObject* Sender) { FMain.RunCommand(name, Sender); };
        menu->Items()->Add(item);
    }
    auto* b = NewComponent<kit::TStyledMenuButton>(this);
    b->SetName(Name);
    b->SetParent(this);
    b->SetCaption(Caption);
    b->SetMenuPosition(kit::mpRight);
    b->SetPopupMenu(menu);
    return b;
}

void TOptionFrame::LayOutColumn(const std::vector<TControl*>& Buttons, int W, int H) {
    int top = 6;
    for (TControl* b : Buttons) {
        b->SetBounds(W / 4 + 1, top, W / 2, H);
        top += H + 4;
    }
}

}  // namespace app
