#pragma once
// TMsg: a borderless window that shows one line of text while a long step runs without progress
// figures ("Updating Summary File Format"). Not modal: the caller keeps control. Start-up creates
// one that every caller shares.

#include "framework/ui/Forms.h"

namespace framework {
class TPanel;
}

namespace catalog {

class TMsg : public framework::TForm {
public:
    explicit TMsg(framework::TComponent* AOwner);

    // Fills the window; its caption is the message.
    framework::TPanel* MsgText;
    bool MsgShown = false;

    // Shows the window (when hidden) with Text, or changes the text of the shown window, and
    // paints it before returning.
    void show_msg(const std::string& Text);
    void remove_msg();
};

// The shared instance, made at start-up (null before).
extern TMsg* Msg;

}  // namespace catalog
