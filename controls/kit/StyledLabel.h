#pragma once
// TStyledCustomLabel: a label drawn with highlight, shadow and colour-run effects; published as the
// attached label TStyledAttachedLabel. TStyledBase: the base of the kit's windowed controls, able
// to carry such a label right above it (StyledLabelInfo).

#include <array>
#include <cstdint>
#include <functional>

#include "framework/stdctrls/Label.h"
#include "framework/ui/Controls.h"

namespace kit {

using framework::TColor;

enum TStyledGraduateStyle { gsNone, gsHorizontal, gsVertical };
enum TStyledShadeDirection {
    sdNone,
    sdUp,
    sdUpRight,
    sdRight,
    sdDownRight,
    sdDown,
    sdDownLeft,
    sdLeft,
    sdUpLeft
};
enum TStyledShadeStyle { ssPlain, ssExtrude, ssGraduated };
enum TStyledAppearance { apNone, apCustom, apFlying, apRaised, apSunken, apShadow };
enum TStyledColorScheme { csCustom, csText, csWindows, csEmbossed, csGold, csSteel };
using TStyledDepth = uint8_t;

// The step (dx, dy) of a direction.
void DirectionOffset(TStyledShadeDirection Direction, int& DX, int& DY);

// The effect settings of a label. Writing a colour fires OnColorChange, anything else
// OnStyleChange; between BeginUpdate and EndUpdate they wait, and EndUpdate fires those whose
// values changed.
class TStyledCustomSettings : public framework::TPersistent {
public:
    TColor GraduateFromColor() const { return FGraduateFromColor; }
    void SetGraduateFromColor(TColor V) { SetColor(FGraduateFromColor, V); }
    TStyledGraduateStyle GraduateStyle() const { return FGraduateStyle; }
    void SetGraduateStyle(TStyledGraduateStyle V) { SetStyle(FGraduateStyle, V); }
    TColor HighlightColor() const { return FHighlightColor; }
    void SetHighlightColor(TColor V) { SetColor(FHighlightColor, V); }
    TStyledDepth HighlightDepth() const { return FHighlightDepth; }
    void SetHighlightDepth(TStyledDepth V) { SetStyle(FHighlightDepth, V); }
    TStyledShadeDirection HighlightDirection() const { return FHighlightDirection; }
    void SetHighlightDirection(TStyledShadeDirection V) { SetStyle(FHighlightDirection, V); }
    TStyledShadeStyle HighlightStyle() const { return FHighlightStyle; }
    void SetHighlightStyle(TStyledShadeStyle V) { SetStyle(FHighlightStyle, V); }
    TColor ShadowColor() const { return FShadowColor; }
    void SetShadowColor(TColor V) { SetColor(FShadowColor, V); }
    TStyledDepth ShadowDepth() const { return FShadowDepth; }
    void SetShadowDepth(TStyledDepth V) { SetStyle(FShadowDepth, V); }
    TStyledShadeDirection ShadowDirection() const { return FShadowDirection; }
    void SetShadowDirection(TStyledShadeDirection V) { SetStyle(FShadowDirection, V); }
    TStyledShadeStyle ShadowStyle() const { return FShadowStyle; }
    void SetShadowStyle(TStyledShadeStyle V) { SetStyle(FShadowStyle, V); }

    void BeginUpdate() { ++FUpdating; }
    void EndUpdate();
    void Assign(const TStyledCustomSettings& Source);

    std::function<void()> OnColorChange;
    std::function<void()> OnStyleChange;

private:
    template <class T>
    void SetColor(T& Field, T V) {
        if (Field == V) return;
        Field = V;
        FColorPending = true;
        Fire();
    }
    template <class T>
    void SetStyle(T& Field, T V) {
        if (Field == V) return;
        Field = V;
        FStylePending = true;
        Fire();
    }
    void Fire();

    TColor FGraduateFromColor = framework::clGray;
    TStyledGraduateStyle FGraduateStyle = gsNone;
    TColor FHighlightColor = framework::clWhite;
    TStyledDepth FHighlightDepth = 1;
    TStyledShadeDirection FHighlightDirection = sdUpLeft;
    TStyledShadeStyle FHighlightStyle = ssPlain;
    TColor FShadowColor = framework::clBlack;
    TStyledDepth FShadowDepth = 1;
    TStyledShadeDirection FShadowDirection = sdDownRight;
    TStyledShadeStyle FShadowStyle = ssPlain;
    int FUpdating = 0;
    bool FColorPending = false;
    bool FStylePending = false;
};

class TStyledCustomLabel : public framework::TCustomLabel {
public:
    explicit TStyledCustomLabel(framework::TComponent* AOwner);
    ~TStyledCustomLabel() override;

    TStyledAppearance Appearance() const { return FAppearance; }
    void SetAppearance(TStyledAppearance Value);
    TStyledColorScheme ColorScheme() const { return FColorScheme; }
    void SetColorScheme(TStyledColorScheme Value);
    TStyledCustomSettings& CustomSettings() { return FSettings; }

protected:
    void Paint() override;

private:
    struct TSchemeColors {
        TColor Highlight, Shadow, Text;
    };
    void SettingsColorChanged();
    void SettingsStyleChanged();
    void DrawLayers(framework::TCanvas& C, const framework::TRect& R, uint32_t Flags, TStyledDepth Depth,
                    TStyledShadeDirection Direction, TStyledShadeStyle Style, TColor Color);

    TStyledAppearance FAppearance = apRaised;
    TStyledColorScheme FColorScheme = csWindows;
    TStyledCustomSettings FSettings;
    std::array<TSchemeColors, 6> FSchemes;
    bool FChangingScheme = false;
    bool FChangingAppearance = false;
};

class TStyledBase;

class TStyledAttachedLabel : public TStyledCustomLabel {
public:
    explicit TStyledAttachedLabel(framework::TComponent* AOwner);
    TStyledAttachedLabel(framework::TComponent* AOwner, TStyledBase* Control);
    ~TStyledAttachedLabel() override;
    TStyledBase* StyledControl() const { return FStyledControl; }
    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
    void Loaded() override;

private:
    friend class TStyledBase;
    friend class TStyledLabelInfo;
    TStyledBase* FStyledControl = nullptr;
    bool FPlacing = false;
};

// Where the attached label sits: left = control left + OffsetX, bottom = control top + OffsetY.
class TStyledLabelInfo : public framework::TPersistent {
public:
    explicit TStyledLabelInfo(TStyledBase& Control) : FControl(Control) {}
    int OffsetX() const { return FOffsetX; }
    void SetOffsetX(int Value);
    int OffsetY() const { return FOffsetY; }
    void SetOffsetY(int Value);
    bool Visible() const { return FVisible; }
    // True makes the label (owned by the form) on the control's parent; false frees it.
    void SetVisible(bool Value);
    TStyledAttachedLabel* StyledLabel() const { return FLabel; }

private:
    friend class TStyledBase;
    friend class TStyledAttachedLabel;
    TStyledBase& FControl;
    int FOffsetX = 0;
    int FOffsetY = 0;
    bool FVisible = false;
    TStyledAttachedLabel* FLabel = nullptr;
};

class TStyledBase : public framework::TCustomControl {
public:
    explicit TStyledBase(framework::TComponent* AOwner);
    ~TStyledBase() override;
    TStyledLabelInfo& StyledLabelInfo() { return FStyledLabelInfo; }
    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;

private:
    friend class TStyledLabelInfo;
    friend class TStyledAttachedLabel;
    void PlaceLabel();
    void TakeLabelPosition();
    TStyledLabelInfo FStyledLabelInfo{*this};
};

}  // namespace kit
