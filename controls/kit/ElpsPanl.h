#pragma once
// TEllipsisPanel: a panel that shows its caption shortened with "..." when it does not fit (at
// the end, or in the middle of a path) and can offer the full caption as its hint.

#include <cstdint>
#include <string>

#include "framework/stdctrls/ExtCtrls.h"

namespace kit {

enum TAutoHintOption : uint8_t { ahEnabled = 1, ahWindowOnly = 2, ahOnEllipsis = 4 };
using TAutoHintOptions = uint8_t;

class TEllipsisPanel : public framework::TCustomPanel {
public:
    explicit TEllipsisPanel(framework::TComponent* AOwner);

    // The full caption; the panel's Text() holds what is shown.
    const std::string& Caption() const { return FFullCaption; }
    void SetCaption(const std::string& Value) { SetText(Value); }
    void SetText(const std::string& Value) override;
    bool IsPath() const { return FIsPath; }
    void SetIsPath(bool Value);
    TAutoHintOptions AutoHintOptoins() const { return FAutoHintOptions; }
    void SetAutoHintOptoins(TAutoHintOptions Value);

    void Loaded() override;
    void Dispatch(framework::TMessage& Message) override;

private:
    void Refit();
    void UpdateHint();

    std::string FFullCaption;
    std::string FSavedHint;
    bool FIsPath = false;
    TAutoHintOptions FAutoHintOptions = ahEnabled | ahWindowOnly | ahOnEllipsis;
};

}  // namespace kit
