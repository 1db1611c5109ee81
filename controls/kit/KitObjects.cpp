#include "controls/kit/KitObjects.h"

#include "framework/core/Filer.h"
#include "framework/ui/Windows.h"

namespace kit {

using namespace framework;

// ---- TKitObject ---------------------------------------------------------------------------------

void TKitObject::EndUpdate(bool DoChange) {
    FUpdating = false;
    if (DoChange) Change();
}

void TKitObject::Change() {
    if (!FUpdating && OnChange) OnChange(this);
}

void TKitObject::ChildChanged(TObject*) {
    Change();
}

// ---- TKitGlyphTextLayout ------------------------------------------------------------------------

void TKitGlyphTextLayout::SetAlignment(TKitAlignment Value) {
    if (Store(FAlignment, Value)) Change();
}

void TKitGlyphTextLayout::SetAlignText2Glyph(TKitTextArrange Value) {
    if (Store(FAlignText2Glyph, Value)) Change();
}

void TKitGlyphTextLayout::SetOffset(int Index, int Value) {
    if (Store(FOffset[Index & 1], Value)) Change();
}

void TKitGlyphTextLayout::SetSpacing(int Value) {
    if (Store(FSpacing, Value)) Change();
}

void TKitGlyphTextLayout::CopyLayout(const TKitGlyphTextLayout& Source) {
    FAlignment = Source.FAlignment;
    FAlignText2Glyph = Source.FAlignText2Glyph;
    FOffset[0] = Source.FOffset[0];
    FOffset[1] = Source.FOffset[1];
    FSpacing = Source.FSpacing;
}

void TKitGlyphTextLayout::Assign(TPersistent* Source) {
    if (Source == this) return;
    if (auto* layout = dynamic_cast<TKitGlyphTextLayout*>(Source)) {
        CopyLayout(*layout);
        Change();
        return;
    }
    TKitObject::Assign(Source);
}

// ---- TKitButtonLayout ---------------------------------------------------------------------------

TKitButtonLayout::TKitButtonLayout() {
    FAlignment = agCenter;
}

void TKitButtonLayout::SetArrow(bool Value) {
    if (Store(FArrow, Value)) Change();
}

void TKitButtonLayout::SetArrowColor(TColor Value) {
    if (Store(FArrowColor, Value)) Change();
}

void TKitButtonLayout::SetArrowIndent(int Value) {
    if (Store(FArrowIndent, Value)) Change();
}

void TKitButtonLayout::SetArrowPosition(TKitArrowPosition Value) {
    if (Store(FArrowPosition, Value)) Change();
}

void TKitButtonLayout::SetArrowSize(TKitDDArrowSize Value) {
    if (Value < 2 || Value > 10) return;
    if (Store(FArrowSize, Value)) Change();
}

void TKitButtonLayout::Assign(TPersistent* Source) {
    if (Source == this) return;
    auto* layout = dynamic_cast<TKitButtonLayout*>(Source);
    if (!layout) {
        TKitGlyphTextLayout::Assign(Source);
        return;
    }
    BeginUpdate();
    SetAlignment(layout->Alignment());
    SetAlignText2Glyph(layout->AlignText2Glyph());
    SetOffsetX(layout->OffsetX());
    SetOffsetY(layout->OffsetY());
    SetSpacing(layout->Spacing());
    FArrow = layout->FArrow;
    FArrowColor = layout->FArrowColor;
    FArrowIndent = layout->FArrowIndent;
    FArrowPosition = layout->FArrowPosition;
    FArrowSize = layout->FArrowSize;
    EndUpdate(true);
}

// ---- TKit3DCaption ------------------------------------------------------------------------------

void TKit3DCaption::SetDisabledStyle(TKitDisabledStyle Value) {
    if (Store(FDisabledStyle, Value)) Change();
}

void TKit3DCaption::SetDepth(int Index, uint8_t Value) {
    if (Store(FDepth[Index & 1], Value)) Change();
}

void TKit3DCaption::SetColors(int Index, TColor Value) {
    if (Store(FColors[Index & 1], Value)) Change();
}

void TKit3DCaption::SetOrientation(TKitThreeDOrientation Value) {
    if (Store(FOrientation, Value)) Change();
}

void TKit3DCaption::SetStyle(TKitThreeDStyle Value) {
    if (Store(FStyle, Value)) Change();
}

void TKit3DCaption::SetTracing(int Value) {
    if (Store(FTracing, Value)) Change();
}

void TKit3DCaption::Copy3D(const TKit3DCaption& Source) {
    FDisabledStyle = Source.FDisabledStyle;
    FDepth[0] = Source.FDepth[0];
    FDepth[1] = Source.FDepth[1];
    FColors[0] = Source.FColors[0];
    FColors[1] = Source.FColors[1];
    FOrientation = Source.FOrientation;
    FStyle = Source.FStyle;
    FTracing = Source.FTracing;
}

void TKit3DCaption::Assign(TPersistent* Source) {
    if (Source == this) return;
    if (auto* caption = dynamic_cast<TKit3DCaption*>(Source)) {
        Copy3D(*caption);
        Change();
        return;
    }
    TKitObject::Assign(Source);
}

std::string TKit3DCaption::SummaryText() const {
    // tdPColorRaised has no name of its own: its text is the bare braces.
    static const char* const names[] = {"Disabled",      "sunken",        "raised",     "sunken shadow",
                                        "raised shadow", "PColor sunken", "",           "shadow",
                                        "outline",       "extrude",       "extrude enh"};
    return std::string("{") + names[FStyle] + "}";
}

// ---- TKitFxCaption ------------------------------------------------------------------------------

void TKitFxCaption::SetAngle(TKitAngle Value) {
    if (Value > 360) return;
    if (Value == 360) Value = 0;
    if (Store(FAngle, Value)) Change();
}

void TKitFxCaption::SetPos(int Index, uint16_t Value) {
    if (Store(FPos[Index & 1], Value)) Change();
}

void TKitFxCaption::SetPosition(uint16_t X, uint16_t Y) {
    BeginUpdate();
    SetPos(0, X);
    SetPos(1, Y);
    EndUpdate(false);
}

void TKitFxCaption::Assign(TPersistent* Source) {
    if (Source == this) return;
    if (auto* caption = dynamic_cast<TKitFxCaption*>(Source)) {
        Copy3D(*caption);
        FAngle = caption->FAngle;
        FPos[0] = caption->FPos[0];
        FPos[1] = caption->FPos[1];
        Change();
        return;
    }
    TKit3DCaption::Assign(Source);
}

std::string TKitFxCaption::SummaryText() const {
    std::string text = TKit3DCaption::SummaryText();
    if (FAngle == 0) return text;
    if (text == "{Disabled}")
        text = "{";
    else
        text.back() = ',';
    return text + " rot: " + std::to_string(FAngle) + "\xB0}";
}

// ---- TKitGradient -------------------------------------------------------------------------------

TKitGradient::TKitGradient() {
    BuildSteps();
}

TKitGradient::~TKitGradient() {
    FreePalette();
}

void TKitGradient::FreePalette() {
    if (FPalette != 0) DeleteObject(FPalette);
    FPalette = 0;
}

void TKitGradient::SetColor(TColor Value) {
    if (!Store(FColor, Value)) return;
    BuildSteps();
    Change();
}

void TKitGradient::SetEndColor(TColor Value) {
    if (Store(FEndColor, Value)) Change();
}

void TKitGradient::SetColorCount(TKitColorCount Value) {
    if (Value < 2 || Value > 236) return;
    if (Store(FColorCount, Value)) Change();
}

void TKitGradient::SetStyle(TKitGradientStyle Value) {
    if (Store(FStyle, Value)) Change();
}

void TKitGradient::SetPaletteRealize(bool Value) {
    if (Store(FPaletteRealize, Value)) Change();
}

void TKitGradient::SetTwoColors(bool Value) {
    if (Store(FTwoColors, Value)) Change();
}

void TKitGradient::AddUserColor(TColor Value) {
    FUserColors.push_back(Value);
    Change();
}

void TKitGradient::ClearUserColors() {
    if (FUserColors.empty()) return;
    FUserColors.clear();
    Change();
}

void TKitGradient::Change() {
    BuildSteps();
    TKitObject::Change();
}

void TKitGradient::BuildSteps() {
    FreePalette();
    FSteps.clear();
    if (FTwoColors) {
        GradientSteps(FColor, FEndColor, FColorCount, &FSteps, true);
    } else if (FUserColors.size() >= 2) {
        int k = FColorCount / static_cast<int>(FUserColors.size());
        GradientSteps(FUserColors[0], FUserColors[1], k, &FSteps, true);
        for (size_t i = 1; i + 1 < FUserColors.size(); ++i)
            GradientSteps(FUserColors[i], FUserColors[i + 1], k, &FSteps, false);
    }
    if (FPaletteRealize) FPalette = CreateStepPalette(FSteps);
}

void TKitGradient::Assign(TPersistent* Source) {
    if (Source == this) return;
    auto* gradient = dynamic_cast<TKitGradient*>(Source);
    if (!gradient) {
        TKitObject::Assign(Source);
        return;
    }
    BeginUpdate();
    FColor = gradient->FColor;
    FEndColor = gradient->FEndColor;
    FColorCount = gradient->FColorCount;
    FStyle = gradient->FStyle;
    FPaletteRealize = gradient->FPaletteRealize;
    FTwoColors = gradient->FTwoColors;
    FUserColors = gradient->FUserColors;
    EndUpdate(true);
}

void TKitGradient::DefineProperties(TFiler* Filer) {
    TKitObject::DefineProperties(Filer);
    Filer->DefineProperty(
        "ColorList",
        [this](TReader* Reader) {
            Reader->ReadListBegin();
            BeginUpdate();
            try {
                while (!Reader->EndOfList())
                    FUserColors.push_back(static_cast<TColor>(Reader->ReadInteger()));
                Reader->ReadListEnd();
            } catch (...) {
                EndUpdate(true);
                throw;
            }
            EndUpdate(true);
        },
        [this](TWriter* Writer) {
            Writer->WriteListBegin();
            for (TColor c : FUserColors) Writer->WriteInteger(static_cast<int32_t>(c));
            Writer->WriteListEnd();
        },
        !FUserColors.empty());
}

std::string TKitGradient::SummaryText() const {
    static const char* const names[] = {"horizontal",    "vertical",      "square",      "elliptic",
                                        "top left",      "top right",     "bottom left", "bottom right",
                                        "top left diag", "top right diag"};
    return std::string(names[FStyle]) + ", Col: " + std::to_string(FColorCount) +
           (FTwoColors ? ", 2 col mode" : ", mult. col mode");
}

}  // namespace kit
