#pragma once
// A label that shows a link: underlined, lit while the pointer is over it, and opening its URL
// with the shell's "open" verb when clicked.

#include <memory>
#include <optional>
#include <string>

#include "controls/entry/CtlBase.h"
#include "framework/stdctrls/Label.h"

namespace framework {
class TTimer;
}

namespace entry {

class TCtlURL : public framework::TCustomLabel {
public:
    explicit TCtlURL(framework::TComponent* AOwner);
    ~TCtlURL() override;

    // The text shown; when empty, the URL is shown instead.
    const std::string& Caption() const { return FCaption; }
    void SetCaption(const std::string& Value);
    const std::string& URL() const { return FURL; }
    void SetURL(const std::string& Value);
    // clNone stands for the font's colour of the moment.
    framework::TColor HighlightColor() const { return FHighlightColor; }
    void SetHighlightColor(framework::TColor Value);
    framework::TColor VisitedColor() const { return FVisitedColor; }
    void SetVisitedColor(framework::TColor Value);
    bool UseVisitedColor() const { return FUseVisitedColor; }
    void SetUseVisitedColor(bool Value) { FUseVisitedColor = Value; }
    bool UnderlineURL();
    void SetUnderlineURL(bool Value);
    std::string About() const { return CtlVersion; }
    void SetAbout(const std::string&) {}

    // True while the hover timer runs (the pointer was last seen over the label).
    bool Hovering() const;

    void Click() override;
    void Loaded() override;

protected:
    void MouseMove(framework::TShiftState Shift, int X, int Y) override;

private:
    void HoverTick();
    void FontColor(framework::TColor Color);

    std::string FCaption;
    framework::TColor FHighlightColor = framework::clRed;
    std::string FURL;
    bool FUseVisitedColor = false;
    framework::TColor FVisitedColor = framework::clBlack;
    std::unique_ptr<framework::TTimer> FTimer;     // made on the first hover, then switched on and off
    std::optional<framework::TColor> FSavedColor;  // the colour the link goes back to
};

}  // namespace entry
