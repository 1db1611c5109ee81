#pragma once
// The kit's shared enumerations, subrange types and constant tables, taken as arguments by the
// painting routines and the controls. Values are listed in ordinal order: streams store them by
// name and old code relies on their order.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "framework/graphics/Gdi.h"
#include "framework/ui/Graphics.h"

namespace kit {

using framework::TColor;

enum TKitShadowStyle { hssNone, hssSolid, hssTracing };
enum TKitBevelStyle { bvNone, bvLowered, bvRaised, bvFrameLowered, bvFrameRaised, bvNormal, bvShadow };
enum TKitBevelMode { bmCustom, bmStandard, bmEdge, bmWindows };
enum TKitBorderStyle {
    lsNone,
    lsSingle,
    lsLowered,
    lsRaised,
    lsRaisedspb,
    lsLoweredspb,
    lsRaisedExt,
    lsLoweredExt,
    lsFrameInset,
    lsFrameOffset,
    lsWindowBorder,
    lsSingleRaised,
    lsSingleLowered,
    lsDoubleRaised,
    lsDoubleLowered
};
enum TKitEdgeStyle {
    etRaisedInner,
    etRaisedOuter,
    etSunkenInner,
    etSunkenOuter,
    etBump,
    etEtched,
    etRaised,
    etSunken
};
enum TKitFrameSide { fsBottom, fsLeft, fsRight, fsTop };
enum TKitTextArrange { taLeft, taLeftTop, taRight, taRightTop, taTop, taTopLeft, taBottom, taBottomLeft };
enum TKitArrowPosition { apRightText, apLeftText, apRightGlyph, apLeftGlyph };
enum TKitUserButtonStyle {
    ubsAutoDetect,
    ubsWin31,
    ubsWin40,
    ubsVantor,
    ubsVantorFlat,
    ubsFlat,
    ubsFlatUnColored,
    ubsNavigator,
    ubsExplorer,
    ubsExplorerColored,
    ubsIntegrated,
    ubsWinXP,
    ubsWinXPCombo,
    ubsWinXPTool
};
enum TKitAlignment {
    agTopLeft,
    agTopCenter,
    agTopRight,
    agCenterLeft,
    agCenter,
    agCenterRight,
    agBottomLeft,
    agBottomCenter,
    agBottomRight
};
enum TKitFillStyle { sfNone, sfBrushBitmap, sfBrush, sfBitmap, sfBitmapList, sfGradient };
enum TKitTileMode { tmNone, tmCenter, tmStretch, tmTile };
enum TKitGradientStyle {
    gstHorizontal,
    gstVertical,
    gstSquare,
    gstElliptic,
    gstTopLeft,
    gstTopRight,
    gstBottomLeft,
    gstBottomRight,
    gstTopLeftDiagonal,
    gstTopRightDiagonal
};
enum TKitGlyphTextFocusStyle { fcControl, fcText, fcGlyph, fcGlyphText, fcNone };
enum TKitThreeDStyle {
    tdNone,
    tdSunken,
    tdRaised,
    tdSunkenShadow,
    tdRaisedShadow,
    tdPColorSunken,
    tdPColorRaised,
    tdShadow,
    tdOutline,
    tdExtrude,
    tdExtrudeEnh
};
enum TKitThreeDOrientation { toBottomLeft, toBottomRight, toTopLeft, toTopRight };
enum TKitDisabledStyle { dsAuto, dsStandard, ds3d, dsNone };
enum TKitTransparentMode { tpNone, tpRestoreBack, tpTransparentColor, tpRBTranspColor };
enum TKitBitmapStyle {
    sbNone,
    sbAutosize,
    sbCenter,
    sbStretch,
    sbTile,
    sbKeepAspRatio,
    sbKeepWidth,
    sbKeepHeight
};

// Subranges: the writers that take them ignore values outside the range.
using TKitAngle = uint16_t;          // 0..360
using TKitDDArrowSize = int;         // 2..10
using TKitBevelWidth = int;          // 0..50
using TKitBorderWidth = int;         // 0..255
using TKitColorCount = int;          // 2..236
using TKitShadowDepth = int;         // 0..40
using TKitNumGlyphs = int;           // 0..5
using TKitTimerInterval = uint32_t;  // 1..65535 (milliseconds)
using TKitBrightness = int;          // -255..255
// A set of TKitFrameSide: bit (1 << side).
using TKitFrameSides = uint8_t;

// DrawTextEx format flags that place text as each alignment does.
inline constexpr std::array<uint32_t, 9> AlignmentTextFormat = {
    0,
    framework::DT_CENTER,
    framework::DT_RIGHT,
    framework::DT_VCENTER,
    framework::DT_CENTER | framework::DT_VCENTER,
    framework::DT_RIGHT | framework::DT_VCENTER,
    framework::DT_BOTTOM,
    framework::DT_CENTER | framework::DT_BOTTOM,
    framework::DT_RIGHT | framework::DT_BOTTOM,
};

// Identifiers that old streams hold in place of ubsAutoDetect, ubsWin31 and ubsWin40.
inline constexpr std::array<const char*, 3> LegacyButtonStyleNames = {"nbsAutoDetect", "nbsWin31",
                                                                      "nbsWin40"};

// Focus-rectangle option bits of the glyph-and-text painter.
constexpr uint32_t FocusStyleFlags(TKitGlyphTextFocusStyle Style) {
    switch (Style) {
        case fcText:
            return 64;
        case fcGlyph:
            return 128;
        case fcGlyphText:
            return 256;
        default:
            return 0;
    }
}

// ---- Drawing routines ------------------------------------------------------------------------
// They take a canvas and a rectangle in canvas coordinates, draw, and most shrink the rectangle to
// the area inside what they drew. Every region, temporary bitmap and copy mode they use is released
// or restored on every path, also when drawing raises.

// Flags of the bitmap and gradient routines.
constexpr uint32_t dbClip = 0x0001;
constexpr uint32_t dbOffscreen = 0x0004;  // gradients: draw off-screen, then copy
constexpr uint32_t dbCenter = 0x0008;
constexpr uint32_t dbStretch = 0x0010;
constexpr uint32_t dbTile = 0x0020;
constexpr uint32_t dbTransparentColor = 0x0040;
constexpr uint32_t dbBrushCopy = 0x0080;
constexpr uint32_t dbMaskBitmap = 0x0100;
constexpr uint32_t dbKeepHeight = 0x0200;
constexpr uint32_t dbKeepWidth = 0x0400;
constexpr uint32_t dbKeepAspect = dbKeepHeight | dbKeepWidth;
constexpr uint32_t dbRealizePalette = 0x1000;

// A clip offset packs x in the low and y in the high 16 bits (signed).
constexpr int32_t PackOffset(int X, int Y) {
    return static_cast<int32_t>((static_cast<uint32_t>(static_cast<uint16_t>(Y)) << 16) |
                                static_cast<uint16_t>(X));
}

// One ring of a bevel; False (nothing drawn) for Width 0, bvNone and bvShadow.
bool DrawBevelBand(framework::TCanvas& Canvas, framework::TRect& Rect, TKitBevelStyle Style,
                   TColor LightColor, TColor ShadowColor, int Width);
// A shadow of ShadowWidth at the right and bottom, then FrameWidth one-pixel frames.
bool DrawShadowBevel(framework::TCanvas& Canvas, framework::TRect& Rect, TColor FrameColor,
                     TColor ShadowColor, TColor BackColor, uint8_t ShadowWidth, uint8_t FrameWidth,
                     bool Transparent);
int BorderStyleWidth(TKitBorderStyle Style);
// The border drawn with the system's edges; ExtraFlags are added to the marked edges.
bool DrawBorderStyle(framework::TCanvas& Canvas, framework::TRect& Rect, TKitBorderStyle Style,
                     uint32_t ExtraFlags);
// A drop-down arrow of Size 2..15 (other sizes draw nothing) with its top-left at (X, Y).
void DrawDropArrow(framework::TCanvas& Canvas, int X, int Y, int Size, TColor Color, bool PointingDown,
                   bool Enabled);

// The bitmap takes the rectangle's size, filled with Color (nothing for no bitmap or an empty rectangle).
void FillBitmapColor(framework::TBitmap* Bitmap, const framework::TRect& Rect, TColor Color);
// Target becomes a four-tone version of Source (white, highlight, shadow, black by brightness);
// the colour of pixel (0, 0) is the background and stays.
void MakeEmbossedGlyph(framework::TBitmap& Target, framework::TBitmap& Source);
// Image and Mask take Rect of Canvas; Mask becomes monochrome (white where Color was) and the
// pixels of Color turn black in Image, ready for a masked copy.
void MakeMaskedImage(framework::TCanvas& Canvas, const framework::TRect& Rect, framework::TBitmap& Mask,
                     framework::TBitmap& Image, TColor Color);
void MakeMaskedImageFromBitmap(framework::TBitmap& Source, framework::TBitmap& Mask,
                               framework::TBitmap& Image, TColor Color);
// The grey relief of a glyph drawn into Target: highlight at (X + 1, Y + 1), shadow at (X, Y).
void MakeDisabledGlyph(framework::TBitmap& Target, framework::TBitmap& Source, int X, int Y);

// Draws SourceRect of the source (a canvas, or with dbBrushCopy a bitmap) into DestRect by Flags.
// Color: the transparent colour (dbTransparentColor) or the brush colour (dbBrushCopy). Mask: the
// monochrome mask of dbMaskBitmap. PaintedRect: where the picture went. An empty source or
// destination draws nothing.
void DrawBitmapEx(framework::TCanvas& Dest, const framework::TRect& DestRect,
                  framework::TCanvas* SourceCanvas, framework::TBitmap* SourceBitmap,
                  const framework::TRect& SourceRect, uint32_t Flags, TColor Color,
                  framework::HPALETTE Palette, framework::TBitmap* Mask, framework::TRect& PaintedRect);
// As DrawBitmapEx; with dbClip all drawing is clipped to DestRect moved by ClipOffset.
void DrawBitmapClipped(framework::TCanvas& Dest, const framework::TRect& DestRect,
                       framework::TCanvas* SourceCanvas, framework::TBitmap* SourceBitmap,
                       const framework::TRect& SourceRect, uint32_t Flags, int32_t ClipOffset, TColor Color,
                       framework::TBitmap* Mask);
void DrawCanvasPart(framework::TCanvas& Dest, const framework::TRect& DestRect, framework::TBitmap* Bitmap,
                    uint32_t Flags, int32_t ClipOffset, TColor Color);
void DrawPaletteBitmap(framework::TCanvas& Dest, const framework::TRect& DestRect, framework::TBitmap* Bitmap,
                       uint32_t Flags, TColor Color, framework::TRect& PaintedRect);

// Per channel Round(Part * (B - A) / Whole + A); A for Whole 0.
TColor BlendColor(TColor A, TColor B, int Part, int Whole);
// Appends Count RGB steps from Start to End (with First the list is cleared and the steps start at
// Start itself, else at the second step).
void GradientSteps(TColor Start, TColor End, int Count, std::vector<uint32_t>* List, bool First);
// A palette of the steps (one PC_NOCOLLAPSE entry each); 0 for an empty list.
framework::HPALETTE CreateStepPalette(const std::vector<uint32_t>& List);
// Fills Rect with the step colours in the shape of Style.
void FillGradient(framework::TCanvas& Canvas, const framework::TRect& Rect, TKitGradientStyle Style,
                  int32_t ClipOffset, uint32_t Flags, framework::HPALETTE Palette,
                  const std::vector<uint32_t>& List);
void FillTwoColorGradient(framework::TCanvas& Canvas, const framework::TRect& Rect, TColor StartColor,
                          TColor EndColor, int Count, TKitGradientStyle Style, uint32_t Flags,
                          int32_t ClipOffset);

// The font is a TrueType font on the screen (the class library's test).
using framework::IsTrueTypeFont;
// The height of "W" in the font on the screen; 0 when it cannot be measured.
int FontLineHeight(const framework::TFont& Font);

}  // namespace kit
