#include "controls/entry/CtlUrl.h"

#include "framework/ui/ExtCtrls.h"
#include "platform/Beep.h"
#include "platform/Shell.h"

namespace entry {

using namespace framework;

namespace {
constexpr uint32_t kHoverInterval = 100;
constexpr size_t kMaxUrlLength = 1023;
}  // namespace

TCtlURL::TCtlURL(TComponent* AOwner) : TCustomLabel(AOwner) {
    SetCursor(crHandPoint);
    Font().Style |= fsUnderline;
    // A font of its own now: the parent's would drop the underline.
    SetParentFont(false);
}

TCtlURL::~TCtlURL() = default;

void TCtlURL::SetCaption(const std::string& Value) {
    FCaption = Value;
    SetText(FCaption.empty() ? FURL : FCaption);
}

void TCtlURL::SetURL(const std::string& Value) {
    FURL = Value;
    if (FCaption.empty()) SetText(FURL);
}

void TCtlURL::SetHighlightColor(TColor Value) {
    FHighlightColor = Value == clNone ? Font().Color : Value;
    FSavedColor.reset();
}

void TCtlURL::SetVisitedColor(TColor Value) {
    FVisitedColor = Value == clNone ? Font().Color : Value;
    FSavedColor.reset();
}

bool TCtlURL::UnderlineURL() {
    return (Font().Style & fsUnderline) != 0;
}

void TCtlURL::SetUnderlineURL(bool Value) {
    if (Value == UnderlineURL()) return;
    if (Value)
        Font().Style |= fsUnderline;
    else
        Font().Style &= ~fsUnderline;
    Font().Changed();
    Invalidate();
}

bool TCtlURL::Hovering() const {
    return FTimer && FTimer->Enabled();
}

void TCtlURL::Loaded() {
    TCustomLabel::Loaded();
    FSavedColor.reset();
}

void TCtlURL::FontColor(TColor Color) {
    if (Font().Color == Color) return;
    Font().Color = Color;
    Font().Changed();
    Invalidate();
}

void TCtlURL::Click() {
    if (!FURL.empty()) {
        const intptr_t result =
            platform::ShellExecute("open", FURL.substr(0, kMaxUrlLength), "", "", platform::SW_SHOWNORMAL);
        if (result <= 32) platform::MessageBeep(0);
    }
    TCustomLabel::Click();
    if (FUseVisitedColor) FSavedColor = FVisitedColor;
}

void TCtlURL::MouseMove(TShiftState Shift, int X, int Y) {
    TCustomLabel::MouseMove(Shift, X, Y);
    if (Hovering() || !ClientRect().Contains(TPoint{X, Y})) return;
    if (!FSavedColor) FSavedColor = Font().Color;
    FontColor(FHighlightColor);
    if (!FTimer) {
        FTimer = std::make_unique<TTimer>(nullptr);
        FTimer->SetEnabled(false);
        FTimer->SetInterval(kHoverInterval);
        FTimer->OnTimer = [this](TObject*) { HoverTick(); };
    }
    FTimer->SetEnabled(true);
}

void TCtlURL::HoverTick() {
    TPoint p;
    GetCursorPos(&p);
    if (ClientRect().Contains(ScreenToClient(p))) return;
    FTimer->SetEnabled(false);
    if (FSavedColor) FontColor(*FSavedColor);
    Repaint();
}

}  // namespace entry
