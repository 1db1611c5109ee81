#pragma once
// TStyledCustomGradient (published as TStyledGradient): a windowless control that fills its area
// with a run of colours from FromColor to ToColor in ColorBands bands, left to right or top to
// bottom. The band colours are worked out when colours, direction or band count change, not on
// every paint; painting is composed off-screen and copied in one block transfer.

#include <string>
#include <vector>

#include "framework/ui/Controls.h"

namespace kit {

using framework::TColor;

enum TGradDirection { dHorizontal, dVertical };
using TStyledColorBand = int;  // 2..256

class TStyledCustomGradient : public framework::TGraphicControl {
public:
    explicit TStyledCustomGradient(framework::TComponent* AOwner);
    ~TStyledCustomGradient() override;

    TColor FromColor() const { return FFromColor; }
    void SetFromColor(TColor Value);
    TColor ToColor() const { return FToColor; }
    void SetToColor(TColor Value);
    TGradDirection Direction() const { return FDirection; }
    void SetDirection(TGradDirection Value);
    TStyledColorBand ColorBands() const { return FColorBands; }
    // Ignored when outside 2..256.
    void SetColorBands(TStyledColorBand Value);
    std::string Version() const { return "1.11"; }
    void SetVersion(const std::string&) {}

    // The colour of each band (RGB values), FromColor first.
    const std::vector<TColor>& Bands() const { return FBands; }
    framework::HPALETTE Palette() const { return FPalette; }

    // The system palette changed: the bands are worked out again and drawn at once. True: handled.
    bool PaletteChanged(bool Foreground);

    void Dispatch(framework::TMessage& Message) override;

protected:
    void Paint() override;

private:
    void BuildPalette();
    void Changed();

    TColor FFromColor = framework::clRed;
    TColor FToColor = framework::clYellow;
    TGradDirection FDirection = dHorizontal;
    TStyledColorBand FColorBands = 128;
    std::vector<TColor> FBands;
    framework::HPALETTE FPalette = 0;
};

class TStyledGradient : public TStyledCustomGradient {
public:
    using TStyledCustomGradient::TStyledCustomGradient;
};

}  // namespace kit
