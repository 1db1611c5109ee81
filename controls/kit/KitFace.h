#pragma once
// Captions with 3D and rotation effects, the layout of a glyph and a caption inside a rectangle,
// the faces of push buttons in each of the kit's button styles, and the placing of dialog windows.

#include <cstdint>
#include <string>

#include "controls/kit/KitGraph.h"
#include "controls/kit/KitObjects.h"
#include "framework/ui/Graphics.h"
#include "framework/ui/Types.h"

namespace framework {
class TWinControl;
class TCustomForm;
}  // namespace framework

namespace kit {

// Options of the text and layout routines.
constexpr uint32_t gtEnabled = 0x0002;
constexpr uint32_t gtAutoSunken = 0x0004;  // dsAuto: disabled text is drawn sunken
constexpr uint32_t gtClip = 0x0008;
constexpr uint32_t gtNoAlign = 0x0020;  // the block stays at the area's top-left
constexpr uint32_t gtFocusText = 0x0040;
constexpr uint32_t gtFocusGlyph = 0x0080;
constexpr uint32_t gtFocusBoth = 0x0100;
constexpr uint32_t gtMeasureOnly = 0x0200;  // rectangles only, nothing drawn
constexpr uint32_t gtClipText = 0x0400;     // the text stays inside the area's right and bottom

struct GlyphTextResult {
    framework::TRect Both;  // union of text and glyph
    framework::TRect Text;
    framework::TRect Glyph;
};

// Draws Text with the effects of Caption (a TKitFxCaption rotates; none: plain text). The clip,
// character spacing and font are given back on every path.
void DrawEffectText(framework::TCanvas& Canvas, const std::string& Text, TKit3DCaption* Caption,
                    framework::TRect TextRect, uint32_t Format, uint32_t Flags,
                    const framework::TRect* ClipRect = nullptr);
// The rectangle that Text takes in Font with Caption's effects, from (0, 0), with Margin on every
// side plus one pixel. A rotated caption also learns where its text starts inside the rectangle.
void MeasureEffectText(const std::string& Text, TKit3DCaption* Caption, framework::TRect& Rect,
                       const framework::TFont& Font, bool MultiLine, bool ShowPrefix, int Margin,
                       uint32_t Format);
// Widens and heightens a measured rectangle by the depth of the caption's effect.
void EffectTextExtra(const TKit3DCaption* Caption, framework::TRect& Rect);
// Block of the size of BlockRect placed in Area by Alignment.
void PlaceBlock(TKitAlignment Alignment, const framework::TRect& BlockRect, const framework::TRect& Area,
                framework::TRect& Placed);

// Lays out (and unless gtMeasureOnly draws) a glyph and a caption in Area. GlyphRect is the glyph's
// cell in ImageCanvas (and Mask) on entry and the focus rectangle on return. No ImageCanvas or an
// empty GlyphRect: no glyph. Layout may be a TKitButtonLayout (drop-down arrow) or none.
GlyphTextResult DrawGlyphAndText(framework::TCanvas& Canvas, const std::string& Text, TKit3DCaption* Caption,
                                 const framework::TRect& Area, framework::TCanvas* ImageCanvas,
                                 framework::TRect& GlyphRect, framework::TBitmap* Mask,
                                 TColor TransparentColor, const TKitGlyphTextLayout* Layout, bool MultiLine,
                                 bool ShowPrefix, bool GlyphTransparent, uint32_t Flags, uint32_t Format);

// Button face flags.
constexpr uint32_t bfRoundCorners = 0x01;
constexpr uint32_t bfDefault = 0x02;
constexpr uint32_t bfWin40Raised = 0x04;
constexpr uint32_t bfSunkenPressed = 0x08;
constexpr uint32_t bfEdgeMiddle = 0x10;
constexpr uint32_t bfFocused = 0x20;
constexpr uint32_t bfMouseOver = 0x40;
constexpr uint32_t bfDropDown = 0x80;
constexpr uint32_t bfSplitDropDown = 0x100;

// Face states: 0 up, 1 disabled, 2 mouse over, 3 latched, 4 down (5..7 accepted).
constexpr bool FaceStatePressed(uint8_t State) {
    return State == 3 || State == 4 || State == 6 || State == 7;
}

// The style the face is drawn in: the themed styles only while themes are in use.
TKitUserButtonStyle ResolveButtonStyle(TKitUserButtonStyle Style);
// The class ("BUTTON", "COMBOBOX", "TOOLBAR") and part a themed style draws with; empty class for
// the classic styles.
struct ThemePart {
    const char* Class;
    int Part;
};
ThemePart ButtonThemePart(TKitUserButtonStyle Style, uint32_t Flags);
// Paints the face; Rect becomes the content area for glyph and caption.
bool DrawButtonFace(framework::HWND Window, framework::TCanvas& Canvas, bool Hot, framework::TRect& Rect,
                    TKitUserButtonStyle Style, uint8_t State, uint32_t Flags, TColor Color);
bool DrawClassicButtonFace(framework::TCanvas& Canvas, bool Hot, framework::TRect& Rect, TColor Color,
                           uint32_t Flags, uint8_t State, TKitUserButtonStyle Style);

// ---- Dialog placement -----------------------------------------------------------------------------

enum TKitDlgPosition {
    bpCustom,
    bpTopLeft,
    bpTopCenter,
    bpTopRight,
    bpCenterLeft,
    bpCenter,
    bpCenterRight,
    bpBottomLeft,
    bpBottomCenter,
    bpBottomRight
};
enum TKitDlgPosRel { brScreen, brScreenWorkArea, brMainForm, brActiveWindow };
enum TKitDlgEffect { deNone, deExplode, deExplodeExt };

void ReferenceRect(TKitDlgPosRel Relation, framework::TRect& Rect);
// Moves the window (size unchanged) into Reference by Position, kept on the screen.
void PositionWindow(framework::TWinControl& Window, const framework::TRect& Reference,
                    TKitDlgPosition Position);
// The opening animations draw on the screen's device context, which this system does not give out:
// they return at once.
void ExplodeWindow(framework::TCustomForm* Form);
void ExplodeWindowExt(framework::TCustomForm* Form);

}  // namespace kit
