#include "controls/kit/ElpsPanl.h"

#include <algorithm>

#include "framework/graphics/Gdi.h"

namespace kit {

using namespace framework;

TEllipsisPanel::TEllipsisPanel(TComponent* AOwner) : TCustomPanel(AOwner) {
    SetShowHint(true);
}

void TEllipsisPanel::SetText(const std::string& Value) {
    if (Value == FFullCaption) return;
    FFullCaption = Value;
    TCustomPanel::SetText(Value);
    Refit();
}

void TEllipsisPanel::SetIsPath(bool Value) {
    if (Value == FIsPath) return;
    FIsPath = Value;
    Refit();
}

void TEllipsisPanel::SetAutoHintOptoins(TAutoHintOptions Value) {
    if (Value == FAutoHintOptions) return;
    FAutoHintOptions = Value;
    UpdateHint();
}

void TEllipsisPanel::Loaded() {
    TCustomPanel::Loaded();
    FSavedHint = Hint;
}

void TEllipsisPanel::Dispatch(TMessage& Message) {
    TCustomPanel::Dispatch(Message);
    if (Message.Msg == WM_SIZE) {
        Refit();
    } else if (Message.Msg == CM_FONTCHANGED) {
        Refresh();
        Refit();
    }
}

void TEllipsisPanel::Refit() {
    if (!HandleAllocated()) return;
    TControlCanvas canvas;
    canvas.SetControl(this);
    canvas.Font.Assign(Font());
    const int width = std::max(0, ClientWidth() - 2 * BevelWidth() - 2 * BorderWidth());
    std::string shown = FFullCaption;
    TRect r = Rect(0, 0, width, 0x3FFFFFFF);
    DrawTextEx(canvas.Handle(), shown, r,
               DT_CALCRECT | DT_MODIFYSTRING | (FIsPath ? DT_PATH_ELLIPSIS : DT_END_ELLIPSIS));
    canvas.FreeHandle();
    if (shown != Text()) TCustomPanel::SetText(shown);
    UpdateHint();
}

void TEllipsisPanel::UpdateHint() {
    const std::string& shown = Text();
    if (!(FAutoHintOptions & ahEnabled)) {
        Hint = FSavedHint;
        return;
    }
    if (FAutoHintOptions & ahOnEllipsis) {
        const bool ellipsis = shown.size() >= 3 && shown.compare(shown.size() - 3, 3, "...") == 0;
        Hint = ellipsis ? FFullCaption : FSavedHint;
    } else {
        Hint = FFullCaption;
    }
    const bool endsInBar = !Hint.empty() && Hint.back() == '|';
    if (FAutoHintOptions & ahWindowOnly) {
        if (!endsInBar) Hint += '|';
    } else if (endsInBar) {
        Hint.pop_back();
    }
}

}  // namespace kit
