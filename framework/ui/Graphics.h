#pragma once
// Colours, fonts, pens, brushes and the canvas: the small part that windows and painting need
// now. The canvas draws on a device context (a window's pixels) through Qt, kept out of sight.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "framework/core/Object.h"
#include "framework/ui/Types.h"
#include "framework/ui/Windows.h"

namespace framework {

// RGB colours, 0x00BBGGRR.
constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clOlive = 0x008080;
constexpr TColor clNavy = 0x800000;
constexpr TColor clPurple = 0x800080;
constexpr TColor clTeal = 0x808000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clFuchsia = 0xFF00FF;
constexpr TColor clAqua = 0xFFFF00;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clDefault = 0x20000000;
// System colours: the high bit marks an index into the system colour table.
constexpr TColor SystemColor(int index) {
    return static_cast<TColor>(0x80000000u | static_cast<uint32_t>(index));
}
constexpr TColor clScrollBar = SystemColor(COLOR_SCROLLBAR);
constexpr TColor clBackground = SystemColor(COLOR_BACKGROUND);
constexpr TColor clActiveCaption = SystemColor(COLOR_ACTIVECAPTION);
constexpr TColor clInactiveCaption = SystemColor(COLOR_INACTIVECAPTION);
constexpr TColor clMenu = SystemColor(COLOR_MENU);
constexpr TColor clWindow = SystemColor(COLOR_WINDOW);
constexpr TColor clWindowFrame = SystemColor(COLOR_WINDOWFRAME);
constexpr TColor clMenuText = SystemColor(COLOR_MENUTEXT);
constexpr TColor clWindowText = SystemColor(COLOR_WINDOWTEXT);
constexpr TColor clCaptionText = SystemColor(COLOR_CAPTIONTEXT);
constexpr TColor clActiveBorder = SystemColor(COLOR_ACTIVEBORDER);
constexpr TColor clInactiveBorder = SystemColor(COLOR_INACTIVEBORDER);
constexpr TColor clAppWorkSpace = SystemColor(COLOR_APPWORKSPACE);
constexpr TColor clHighlight = SystemColor(COLOR_HIGHLIGHT);
constexpr TColor clHighlightText = SystemColor(COLOR_HIGHLIGHTTEXT);
constexpr TColor clBtnFace = SystemColor(COLOR_BTNFACE);
constexpr TColor clBtnShadow = SystemColor(COLOR_BTNSHADOW);
constexpr TColor clGrayText = SystemColor(COLOR_GRAYTEXT);
constexpr TColor clBtnText = SystemColor(COLOR_BTNTEXT);
constexpr TColor clInactiveCaptionText = SystemColor(COLOR_INACTIVECAPTIONTEXT);
constexpr TColor clBtnHighlight = SystemColor(COLOR_BTNHIGHLIGHT);
constexpr TColor cl3DDkShadow = SystemColor(COLOR_3DDKSHADOW);
constexpr TColor cl3DLight = SystemColor(COLOR_3DLIGHT);
constexpr TColor clInfoText = SystemColor(COLOR_INFOTEXT);
constexpr TColor clInfoBk = SystemColor(COLOR_INFOBK);

// The RGB value of a colour (system colours looked up).
uint32_t ColorToRGB(TColor Color);

enum TFontStyle : uint8_t { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
using TFontStyles = uint8_t;

// A font description. Size is in points, Height in pixels (negative: character height without the
// internal leading); they are two views of one value at 96 dots per inch.
class TFont : public TObject {
public:
    TFont();
    std::string Name = "MS Sans Serif";
    TColor Color = clWindowText;
    TFontStyles Style = 0;
    int Size() const { return FSize; }
    void SetSize(int Points);
    int Height() const { return -((FSize * 96 + 36) / 72); }
    void SetHeight(int Pixels);
    void Assign(const TFont& Source);
    bool operator==(const TFont& o) const {
        return Name == o.Name && Color == o.Color && Style == o.Style && FSize == o.FSize;
    }
    // Fired by Changed(); the owning control re-reads the font.
    std::function<void()> OnChange;
    void Changed() {
        if (OnChange) OnChange();
    }

private:
    int FSize = 8;
};

class TBrush : public TObject {
public:
    TColor Color = clWhite;
    bool Clear = false;  // bsClear: nothing is filled
};

class TPen : public TObject {
public:
    TColor Color = clBlack;
    int Width = 1;
};

// Drawing on a device context. A control's canvas is bound to its window during painting.
class TCanvas : public TObject {
public:
    TCanvas();
    ~TCanvas() override;
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;

    HDC Handle() const { return FHandle; }
    void SetHandle(HDC Dc) { FHandle = Dc; }
    bool HandleAllocated() const { return FHandle != 0; }
    // Moves the origin (a windowless control paints in its parent's coordinates).
    void SetOrigin(int X, int Y);

    TFont Font;
    TBrush Brush;
    TPen Pen;
    TPoint PenPos;

    void FillRect(const TRect& R);
    void FrameRect(const TRect& R);
    void Rectangle(int X1, int Y1, int X2, int Y2);
    void MoveTo(int X, int Y);
    void LineTo(int X, int Y);
    void TextOut(int X, int Y, const std::string& Text);
    void TextRect(const TRect& R, int X, int Y, const std::string& Text);
    int TextWidth(const std::string& Text);
    int TextHeight(const std::string& Text);
    TColor Pixel(int X, int Y);

private:
    HDC FHandle = 0;
    TPoint FOrigin;
};

}  // namespace framework
