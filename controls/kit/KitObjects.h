#pragma once
// Persistent property objects of the kit: small settings groups that a control owns and publishes
// as one property (glyph-and-text layout, button layout, 3D caption, effect caption, gradient).
// Each reports every change of a setting to its owner through OnChange, so that the owner repaints.
//
// Writers store a new value and call Change only when it differs from the stored one. Between
// BeginUpdate and EndUpdate no notification goes out; Updating is a flag, not a counter.

#include <cstdint>
#include <string>
#include <vector>

#include "controls/kit/KitGraph.h"
#include "framework/core/Persistent.h"
#include "framework/graphics/Gdi.h"
#include "framework/ui/Graphics.h"

namespace kit {

using framework::TColor;

// Stores Value in Field and reports whether it changed (the writers of the settings objects).
template <class T>
bool Store(T& Field, const T& Value) {
    if (Field == Value) return false;
    Field = Value;
    return true;
}

class TKitObject : public framework::TPersistent {
public:
    TKitObject() = default;

    framework::TNotifyEvent OnChange;
    bool Updating() const { return FUpdating; }

    void BeginUpdate() { FUpdating = true; }
    // Clears Updating; with DoChange, one Change follows.
    void EndUpdate(bool DoChange);
    // Calls OnChange(this) when not updating and bound.
    virtual void Change();
    // Owners bind the OnChange of their own sub-objects here.
    virtual void ChildChanged(framework::TObject* Sender);
    // A one-line description of the settings (for property editors); empty here.
    virtual std::string SummaryText() const { return {}; }

private:
    bool FUpdating = false;
};

class TKitGlyphTextLayout : public TKitObject {
public:
    TKitGlyphTextLayout() = default;

    TKitAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TKitAlignment Value);
    TKitTextArrange AlignText2Glyph() const { return FAlignText2Glyph; }
    void SetAlignText2Glyph(TKitTextArrange Value);
    // Index 0 OffsetX, 1 OffsetY.
    int Offset(int Index) const { return FOffset[Index & 1]; }
    void SetOffset(int Index, int Value);
    int OffsetX() const { return FOffset[0]; }
    int OffsetY() const { return FOffset[1]; }
    void SetOffsetX(int Value) { SetOffset(0, Value); }
    void SetOffsetY(int Value) { SetOffset(1, Value); }
    int Spacing() const { return FSpacing; }
    void SetSpacing(int Value);

    void Assign(framework::TPersistent* Source) override;

protected:
    // The settings of Source, without notification.
    void CopyLayout(const TKitGlyphTextLayout& Source);

    TKitAlignment FAlignment = agTopLeft;
    TKitTextArrange FAlignText2Glyph = taRight;
    int FOffset[2] = {0, 0};
    int FSpacing = 2;
};

class TKitButtonLayout : public TKitGlyphTextLayout {
public:
    TKitButtonLayout();

    bool Arrow() const { return FArrow; }
    void SetArrow(bool Value);
    TColor ArrowColor() const { return FArrowColor; }
    void SetArrowColor(TColor Value);
    int ArrowIndent() const { return FArrowIndent; }
    void SetArrowIndent(int Value);
    TKitArrowPosition ArrowPosition() const { return FArrowPosition; }
    void SetArrowPosition(TKitArrowPosition Value);
    TKitDDArrowSize ArrowSize() const { return FArrowSize; }
    // Ignored outside 2..10.
    void SetArrowSize(TKitDDArrowSize Value);

    void Assign(framework::TPersistent* Source) override;

private:
    bool FArrow = false;
    TColor FArrowColor = framework::clBlack;
    int FArrowIndent = 3;
    TKitArrowPosition FArrowPosition = apRightText;
    TKitDDArrowSize FArrowSize = 3;
};

class TKit3DCaption : public TKitObject {
public:
    TKit3DCaption() = default;

    TKitDisabledStyle DisabledStyle() const { return FDisabledStyle; }
    void SetDisabledStyle(TKitDisabledStyle Value);
    // Index 0 LightDepth, 1 ShadowDepth.
    uint8_t Depth(int Index) const { return FDepth[Index & 1]; }
    void SetDepth(int Index, uint8_t Value);
    uint8_t LightDepth() const { return FDepth[0]; }
    uint8_t ShadowDepth() const { return FDepth[1]; }
    void SetLightDepth(uint8_t Value) { SetDepth(0, Value); }
    void SetShadowDepth(uint8_t Value) { SetDepth(1, Value); }
    // Index 0 LightColor, 1 ShadowColor.
    TColor Colors(int Index) const { return FColors[Index & 1]; }
    void SetColors(int Index, TColor Value);
    TColor LightColor() const { return FColors[0]; }
    TColor ShadowColor() const { return FColors[1]; }
    void SetLightColor(TColor Value) { SetColors(0, Value); }
    void SetShadowColor(TColor Value) { SetColors(1, Value); }
    TKitThreeDOrientation Orientation() const { return FOrientation; }
    void SetOrientation(TKitThreeDOrientation Value);
    TKitThreeDStyle Style() const { return FStyle; }
    void SetStyle(TKitThreeDStyle Value);
    int Tracing() const { return FTracing; }
    void SetTracing(int Value);

    void Assign(framework::TPersistent* Source) override;
    // "{sunken}", "{raised}", ... by Style; "{Disabled}" for tdNone.
    std::string SummaryText() const override;

protected:
    void Copy3D(const TKit3DCaption& Source);

private:
    TKitDisabledStyle FDisabledStyle = dsAuto;
    uint8_t FDepth[2] = {1, 1};
    TColor FColors[2] = {framework::clBtnHighlight, framework::clBtnShadow};
    TKitThreeDOrientation FOrientation = toTopLeft;
    TKitThreeDStyle FStyle = tdNone;
    int FTracing = 0;
};

class TKitFxCaption : public TKit3DCaption {
public:
    TKitFxCaption() = default;

    TKitAngle Angle() const { return FAngle; }
    // 360 is stored as 0; values above 360 are ignored.
    void SetAngle(TKitAngle Value);
    // Index 0 PosX, 1 PosY: the start of rotated text inside its rectangle.
    uint16_t Pos(int Index) const { return FPos[Index & 1]; }
    void SetPos(int Index, uint16_t Value);
    uint16_t PosX() const { return FPos[0]; }
    uint16_t PosY() const { return FPos[1]; }
    // Sets both without a change notification.
    void SetPosition(uint16_t X, uint16_t Y);

    void Assign(framework::TPersistent* Source) override;
    // The 3D caption's text with " rot: <angle>°" before its closing brace when Angle is not 0.
    std::string SummaryText() const override;

private:
    TKitAngle FAngle = 0;
    uint16_t FPos[2] = {0, 0};
};

class TKitGradient : public TKitObject {
public:
    TKitGradient();
    ~TKitGradient() override;

    TColor Color() const { return FColor; }
    void SetColor(TColor Value);
    TColor EndColor() const { return FEndColor; }
    void SetEndColor(TColor Value);
    TKitColorCount ColorCount() const { return FColorCount; }
    // Ignored outside 2..236.
    void SetColorCount(TKitColorCount Value);
    TKitGradientStyle Style() const { return FStyle; }
    void SetStyle(TKitGradientStyle Value);
    bool PaletteRealize() const { return FPaletteRealize; }
    void SetPaletteRealize(bool Value);
    bool TwoColors() const { return FTwoColors; }
    void SetTwoColors(bool Value);

    // The user colours (used when TwoColors is False; streamed as "ColorList").
    const std::vector<TColor>& UserColors() const { return FUserColors; }
    void AddUserColor(TColor Value);
    void ClearUserColors();
    // The computed step colours (RGB), rebuilt on every change.
    const std::vector<uint32_t>& StepColors() const { return FSteps; }
    // The logical palette of the steps; 0 unless PaletteRealize.
    framework::HPALETTE Palette() const { return FPalette; }

    // Rebuilds the step colours, then notifies.
    void Change() override;
    void Assign(framework::TPersistent* Source) override;
    void DefineProperties(framework::TFiler* Filer) override;
    // "vertical, Col: 16, 2 col mode".
    std::string SummaryText() const override;

private:
    void BuildSteps();
    void FreePalette();

    TColor FColor = framework::clBlue;
    TColor FEndColor = framework::clBlack;
    TKitColorCount FColorCount = 16;
    TKitGradientStyle FStyle = gstVertical;
    bool FPaletteRealize = false;
    bool FTwoColors = true;
    std::vector<TColor> FUserColors;
    std::vector<uint32_t> FSteps;
    framework::HPALETTE FPalette = 0;
};

}  // namespace kit
