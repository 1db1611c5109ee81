#include "controls/entry/CtlColors.h"

namespace entry {

using namespace framework;

// ---- TCtlColors ----

TCtlColors::TCtlColors(TColor TextColor, TColor BackColor)
    : FBackColor(BackColor), FTextColor(TextColor), FDefBackColor(BackColor), FDefTextColor(TextColor) {}

void TCtlColors::SetBackColor(TColor Value) {
    if (Value == FBackColor) return;
    if (Value != FDefBackColor) FUseDefault = false;
    FBackColor = Value;
    DoOnChange();
}

void TCtlColors::SetTextColor(TColor Value) {
    if (Value == FTextColor) return;
    if (Value != FDefTextColor) FUseDefault = false;
    FTextColor = Value;
    DoOnChange();
}

void TCtlColors::SetUseDefault(bool Value) {
    FUseDefault = Value;
    if (!Value) return;
    ResetToDefaults();
    DoOnChange();
}

void TCtlColors::ResetToDefaults() {
    SetBackColor(FDefBackColor);
    SetTextColor(FDefTextColor);
}

void TCtlColors::DoOnChange() {
    if (OnColorChange) OnColorChange();
}

void TCtlColors::Assign(TPersistent* Source) {
    if (auto* c = dynamic_cast<TCtlColors*>(Source)) {
        SetBackColor(c->BackColor());
        SetTextColor(c->TextColor());
        return;
    }
    TPersistent::Assign(Source);
}

void TCtlColors::DefineProperties(TFiler* Filer) {
    TPersistent::DefineProperties(Filer);
    Filer->DefineProperty(
        "UseDefault", [](TReader* R) { R->ReadBoolean(); }, nullptr, false);
}

// ---- TCtlBorder ----

void TCtlBorder::SetEnabled(bool Value) {
    if (Value == FEnabled) return;
    FEnabled = Value;
    Changed();
}

void TCtlBorder::SetBorderStyle(TCtlBorderStyle Value) {
    if (Value == FBorderStyle) return;
    FBorderStyle = Value;
    Changed();
}

void TCtlBorder::SetPenColor(TColor Value) {
    if (Value == FPenColor) return;
    FPenColor = Value;
    Changed();
}

void TCtlBorder::SetPenStyle(TPenStyle Value) {
    if (Value == FPenStyle) return;
    FPenStyle = Value;
    Changed();
}

void TCtlBorder::SetPenWidth(int32_t Value) {
    if (Value <= 0 || Value == FPenWidth) return;
    FPenWidth = Value;
    Changed();
}

void TCtlBorder::Assign(TPersistent* Source) {
    if (auto* b = dynamic_cast<TCtlBorder*>(Source)) {
        SetEnabled(b->Enabled());
        SetPenColor(b->PenColor());
        SetPenStyle(b->PenStyle());
        SetPenWidth(b->PenWidth());
        return;
    }
    TPersistent::Assign(Source);
}

void TCtlBorder::DefineProperties(TFiler* Filer) {
    TPersistent::DefineProperties(Filer);
    Filer->DefineProperty(
        "Enabled", [this](TReader* R) { SetEnabled(R->ReadBoolean()); },
        [this](TWriter* W) { W->WriteBoolean(FEnabled); }, true);
    Filer->DefineProperty(
        "PenColor", [this](TReader* R) { SetPenColor(R->ReadInteger()); },
        [this](TWriter* W) { W->WriteInteger(FPenColor); }, FEnabled);
    Filer->DefineProperty(
        "PenStyle",
        [this](TReader* R) {
            const int32_t v = R->ReadInteger();
            if (v < psSolid || v > psInsideFrame) throw EReadError("Invalid property value");
            SetPenStyle(static_cast<TPenStyle>(v));
        },
        [this](TWriter* W) { W->WriteInteger(static_cast<int32_t>(FPenStyle)); }, FEnabled);
    Filer->DefineProperty(
        "PenWidth", [this](TReader* R) { SetPenWidth(R->ReadInteger()); },
        [this](TWriter* W) { W->WriteInteger(FPenWidth); }, FEnabled);
}

// ---- TCtlBorders ----

TCtlBorders::TCtlBorders()
    : FBottom(std::make_unique<TCtlBorder>()),
      FLeft(std::make_unique<TCtlBorder>()),
      FRight(std::make_unique<TCtlBorder>()),
      FTop(std::make_unique<TCtlBorder>()) {}

TCtlBorders::~TCtlBorders() = default;

void TCtlBorders::Assign(TPersistent* Source) {
    if (auto* b = dynamic_cast<TCtlBorders*>(Source)) {
        FLeft->Assign(b->FLeft.get());
        FRight->Assign(b->FRight.get());
        FTop->Assign(b->FTop.get());
        FBottom->Assign(b->FBottom.get());
        return;
    }
    TPersistent::Assign(Source);
}

bool CtlAnyBorderEnabled(TCtlBorders& Borders) {
    return Borders.LeftBorder().Enabled() || Borders.RightBorder().Enabled() || Borders.TopBorder().Enabled() ||
           Borders.BottomBorder().Enabled();
}

void CtlDrawBorders(framework::TCanvas& Canvas, TCtlBorders& Borders, int Width, int Height) {
    const auto line = [&Canvas](TCtlBorder& B, int X1, int Y1, int X2, int Y2) {
        if (!B.Enabled()) return;
        Canvas.Pen.Color = B.PenColor();
        Canvas.Pen.Width = B.PenWidth();
        Canvas.Pen.Style = B.PenStyle();
        Canvas.MoveTo(X1, Y1);
        Canvas.LineTo(X2, Y2);
    };
    const auto far = [](int Size, int Pen) { return Size - Pen / 2 - (Pen % 2); };
    TCtlBorder& l = Borders.LeftBorder();
    TCtlBorder& r = Borders.RightBorder();
    TCtlBorder& t = Borders.TopBorder();
    TCtlBorder& b = Borders.BottomBorder();
    line(l, l.PenWidth() / 2, 0, l.PenWidth() / 2, Height);
    line(r, far(Width, r.PenWidth()), 0, far(Width, r.PenWidth()), Height);
    line(t, 0, t.PenWidth() / 2, Width, t.PenWidth() / 2);
    line(b, 0, far(Height, b.PenWidth()), Width, far(Height, b.PenWidth()));
}

// ---- TCtlUserData ----

TCtlUserData::TCtlUserData() {
    for (TCtlCharSet& s : UserCharSets) {
        s.set();
        s.reset(0);
    }
    for (size_t i = 0; i < SubstChars.size(); ++i) SubstChars[i] = static_cast<char>(241 + i);
}

uint8_t TCtlUserData::GetForceCase(char Ch) const {
    return (Ch >= '1' && Ch <= '8') ? ForceCase[static_cast<size_t>(Ch - '1')] : 0;
}

char TCtlUserData::GetSubstChar(char Ch) const {
    const auto c = static_cast<uint8_t>(Ch);
    return (c >= 241 && c <= 248) ? SubstChars[c - 241u] : '\0';
}

void TCtlUserData::GetUserCharSet(char Ch, TCtlCharSet& Set) const {
    if (Ch >= '1' && Ch <= '8') Set = UserCharSets[static_cast<size_t>(Ch - '1')];
}

TCtlUserData& CtlUserData() {
    static TCtlUserData instance;
    return instance;
}

}  // namespace entry
