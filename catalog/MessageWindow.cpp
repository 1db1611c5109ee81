#include "catalog/MessageWindow.h"

#include "catalog/FormParts.h"

namespace catalog {

using namespace framework;

TMsg* Msg = nullptr;

TMsg::TMsg(TComponent* AOwner) : TForm(AOwner) {
    SetName("Msg");
    SetCaption("Message");
    SetBorderStyle(bsNone);
    SetBorderIcons(0);
    Position = poScreenCenter;
    SetClientSize(506, 67);
    MsgText = NewPanel(*this, *this, "MsgText", 0, 0, 506, 67, bvRaised);
    MsgText->SetAlign(alClient);
    MsgText->SetBevelWidth(4);
}

void TMsg::show_msg(const std::string& Text) {
    MsgText->SetCaption(Text);
    if (!MsgShown) Show();
    Application->ProcessMessages();
    MsgShown = true;
}

void TMsg::remove_msg() {
    Hide();
    MsgShown = false;
}

}  // namespace catalog
