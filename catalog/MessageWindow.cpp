#include "catalog/MessageWindow.h"

#include "framework/stdctrls/ExtCtrls.h"

namespace catalog {

using namespace framework;

TMsg::TMsg(TComponent* AOwner) : TForm(AOwner) {
    SetName("Msg");
    SetCaption("Message");
    SetBorderStyle(bsNone);
    SetBorderIcons(0);
    Position = poScreenCenter;
    SetClientSize(506, 67);
    MsgText = NewComponent<TPanel>(this);
    MsgText->SetName("MsgText");
    MsgText->SetParent(this);
    MsgText->SetAlign(alClient);
    MsgText->SetBevelWidth(4);
    MsgText->SetCaption("");
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
