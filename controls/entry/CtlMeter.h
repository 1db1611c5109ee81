#pragma once
// The meter: a windowless bar that shows a percentage, horizontal or vertical, filled with colours
// or with pictures, optionally with the percentage written on it.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "controls/entry/CtlBase.h"
#include "framework/stdctrls/Edit.h"
#include "framework/ui/Graphics.h"

namespace entry {

enum TMeterOrientation : uint8_t { moHorizontal, moVertical };

// Called with the meter picture's canvas and the whole control rectangle, before the picture is
// shown (only without ShowPercent).
using TCtlOwnerDrawMeterEvent = std::function<void(framework::TCanvas& Canvas, const framework::TRect& Rec)>;

class TCtlCustomMeter : public TCtlGraphicControl {
public:
    explicit TCtlCustomMeter(framework::TComponent* AOwner);
    ~TCtlCustomMeter() override;

    framework::TBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(framework::TBorderStyle Value);
    bool Ctl3D() const { return FCtl3D; }
    void SetCtl3D(bool Value);
    bool InvertPercent() const { return FInvertPercent; }
    void SetInvertPercent(bool Value);
    TMeterOrientation Orientation() const { return FOrientation; }
    void SetOrientation(TMeterOrientation Value);
    // Kept as set; what is drawn and written is clamped to 0..100.
    int32_t Percent() const { return FPercent; }
    void SetPercent(int32_t Value);
    bool ShowPercent() const { return FShowPercent; }
    void SetShowPercent(bool Value);
    framework::TColor UsedColor() const { return FUsedColor; }
    void SetUsedColor(framework::TColor Value);
    framework::TColor UnusedColor() const { return FUnusedColor; }
    void SetUnusedColor(framework::TColor Value);
    framework::TBitmap& UsedImage() { return *FUsedImage; }
    framework::TBitmap& UnusedImage() { return *FUnusedImage; }
    // Copies the picture (an empty bitmap clears it).
    void SetUsedImage(const framework::TBitmap& Value);
    void SetUnusedImage(const framework::TBitmap& Value);
    // The text written on the bar ("0%" .. "100%").
    const std::string& PercentText() const { return FPercentText; }

    TCtlOwnerDrawMeterEvent OnOwnerDraw;

protected:
    void Paint() override;

private:
    void SetImage(framework::TBitmap& Image, const framework::TBitmap& Value);
    void BuildText();

    framework::TBorderStyle FBorderStyle = framework::bsSingle;
    bool FCtl3D = true;
    bool FInvertPercent = true;
    TMeterOrientation FOrientation = moHorizontal;
    int32_t FPercent = 33;
    bool FShowPercent = false;
    framework::TColor FUsedColor = framework::clLime;
    framework::TColor FUnusedColor = framework::clWindow;
    std::unique_ptr<framework::TBitmap> FUnusedImage;
    std::unique_ptr<framework::TBitmap> FUsedImage;
    std::string FPercentText;
    std::unique_ptr<framework::TBitmap> FMeterPic;
    std::unique_ptr<framework::TBitmap> FInvertPic;
};

class TCtlMeter : public TCtlCustomMeter {
public:
    using TCtlCustomMeter::TCtlCustomMeter;
};

}  // namespace entry
