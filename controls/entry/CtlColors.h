#pragma once
// Small value classes the entry fields and grid cells publish: a text/background colour pair with
// a default, a border line and a set of four, and the process-wide user mask characters.

#include <array>
#include <bitset>
#include <cstdint>
#include <functional>
#include <memory>

#include "framework/core/Filer.h"
#include "framework/core/Persistent.h"
#include "framework/ui/Graphics.h"

namespace entry {

// A text and a background colour with defaults; UseDefault holds while both are the defaults.
class TCtlColors : public framework::TPersistent {
public:
    TCtlColors(framework::TColor TextColor, framework::TColor BackColor);

    framework::TColor BackColor() const { return FBackColor; }
    framework::TColor TextColor() const { return FTextColor; }
    bool UseDefault() const { return FUseDefault; }
    // A colour other than the default clears UseDefault.
    void SetBackColor(framework::TColor Value);
    void SetTextColor(framework::TColor Value);
    // True puts both colours back to the defaults.
    void SetUseDefault(bool Value);
    void Assign(framework::TPersistent* Source) override;

    std::function<void()> OnColorChange;

    // "UseDefault" is read (and ignored) but never written.
    void DefineProperties(framework::TFiler* Filer) override;

protected:
    virtual void DoOnChange();
    virtual void ResetToDefaults();

private:
    framework::TColor FBackColor;
    framework::TColor FTextColor;
    framework::TColor FDefBackColor;
    framework::TColor FDefTextColor;
    bool FUseDefault = true;
};

enum TCtlBorderStyle : uint8_t { bpsSolid };

class TCtlBorder : public framework::TPersistent {
public:
    bool Enabled() const { return FEnabled; }
    TCtlBorderStyle BorderStyle() const { return FBorderStyle; }
    framework::TColor PenColor() const { return FPenColor; }
    framework::TPenStyle PenStyle() const { return FPenStyle; }
    int32_t PenWidth() const { return FPenWidth; }
    void SetEnabled(bool Value);
    void SetBorderStyle(TCtlBorderStyle Value);
    void SetPenColor(framework::TColor Value);
    void SetPenStyle(framework::TPenStyle Value);
    // Only values above 0.
    void SetPenWidth(int32_t Value);
    // The border style is not copied.
    void Assign(framework::TPersistent* Source) override;

    framework::TNotifyEvent OnChange;

    // "Enabled"; the pen only while Enabled (the style has one value and is not stored).
    void DefineProperties(framework::TFiler* Filer) override;

private:
    void Changed() {
        if (OnChange) OnChange(this);
    }
    bool FEnabled = false;
    TCtlBorderStyle FBorderStyle = bpsSolid;
    framework::TColor FPenColor = framework::clBlack;
    framework::TPenStyle FPenStyle = framework::psSolid;
    int32_t FPenWidth = 2;
};

class TCtlBorders : public framework::TPersistent {
public:
    TCtlBorders();
    ~TCtlBorders() override;
    TCtlBorder& LeftBorder() { return *FLeft; }
    TCtlBorder& RightBorder() { return *FRight; }
    TCtlBorder& TopBorder() { return *FTop; }
    TCtlBorder& BottomBorder() { return *FBottom; }
    void Assign(framework::TPersistent* Source) override;

private:
    std::unique_ptr<TCtlBorder> FBottom, FLeft, FRight, FTop;
};

bool CtlAnyBorderEnabled(TCtlBorders& Borders);
// Draws the enabled sides along the edges of a Width x Height area, each inset by half its pen width.
void CtlDrawBorders(framework::TCanvas& Canvas, TCtlBorders& Borders, int Width, int Height);

using TCtlCharSet = std::bitset<256>;

// The user mask characters "1" to "8" (a character set and a case code each) and the substitution
// characters 241 to 248.
class TCtlUserData : public framework::TObject {
public:
    TCtlUserData();
    std::array<TCtlCharSet, 8> UserCharSets;
    std::array<uint8_t, 8> ForceCase{};
    std::array<char, 8> SubstChars{};

    // 0 for a character other than "1" to "8".
    uint8_t GetForceCase(char Ch) const;
    // 0 for a character other than 241 to 248.
    char GetSubstChar(char Ch) const;
    // Set is left as it is for a character other than "1" to "8".
    void GetUserCharSet(char Ch, TCtlCharSet& Set) const;
};

// The process-wide instance.
TCtlUserData& CtlUserData();

}  // namespace entry
