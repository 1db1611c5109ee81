#pragma once
// The kit's shared enumerations, subrange types and constant tables, taken as arguments by the
// painting routines and the controls. Values are listed in ordinal order: streams store them by
// name and old code relies on their order.

#include <array>
#include <cstdint>
#include <string>

#include "framework/graphics/Gdi.h"

namespace kit {

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

}  // namespace kit
