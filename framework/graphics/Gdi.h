#pragma once
// The drawing layer under the canvas: device contexts (HDC, from the window layer or made for a
// bitmap), drawing objects by handle (pens, brushes, fonts, bitmaps, regions), and the drawing calls
// that work on a context with the pixel rules of the platform the program was written for: no
// antialiasing, a line leaves out its end pixel, a rectangle's right and bottom edges are exclusive.
// Qt stays behind this header.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "framework/ui/Types.h"
#include "framework/ui/Windows.h"

namespace framework {

struct TSize {
    int32_t cx = 0;
    int32_t cy = 0;
    friend bool operator==(const TSize&, const TSize&) = default;
};

using HGDIOBJ = uintptr_t;
using HPEN = uintptr_t;
using HBRUSH = uintptr_t;
using HFONT = uintptr_t;
using HBITMAP = uintptr_t;
using HRGN = uintptr_t;
using HPALETTE = uintptr_t;

// ---- Colours ----
// The RGB value of a colour (system colours looked up in the system colour table).
uint32_t ColorToRGB(TColor Color);
constexpr TColor RGB(uint8_t R, uint8_t G, uint8_t B) {
    return static_cast<TColor>(R | (G << 8) | (B << 16));
}
constexpr uint8_t GetRValue(uint32_t C) {
    return C & 0xFF;
}
constexpr uint8_t GetGValue(uint32_t C) {
    return (C >> 8) & 0xFF;
}
constexpr uint8_t GetBValue(uint32_t C) {
    return (C >> 16) & 0xFF;
}
constexpr uint32_t CLR_INVALID = 0xFFFFFFFF;

// ---- Pens, brushes, fonts ----
constexpr int PS_SOLID = 0, PS_DASH = 1, PS_DOT = 2, PS_DASHDOT = 3, PS_DASHDOTDOT = 4, PS_NULL = 5,
              PS_INSIDEFRAME = 6;
constexpr int BS_SOLID = 0, BS_NULL = 1, BS_HATCHED = 2, BS_PATTERN = 3;
constexpr int HS_HORIZONTAL = 0, HS_VERTICAL = 1, HS_FDIAGONAL = 2, HS_BDIAGONAL = 3, HS_CROSS = 4,
              HS_DIAGCROSS = 5;
// Binary raster operations of the pen (SetROP2), numbered as on the platform.
constexpr int R2_BLACK = 1, R2_NOTMERGEPEN = 2, R2_MASKNOTPEN = 3, R2_NOTCOPYPEN = 4, R2_MASKPENNOT = 5,
              R2_NOT = 6, R2_XORPEN = 7, R2_NOTMASKPEN = 8, R2_MASKPEN = 9, R2_NOTXORPEN = 10, R2_NOP = 11,
              R2_MERGENOTPEN = 12, R2_COPYPEN = 13, R2_MERGEPENNOT = 14, R2_MERGEPEN = 15, R2_WHITE = 16;
constexpr int TRANSPARENT = 1, OPAQUE = 2;

constexpr int FW_NORMAL = 400, FW_BOLD = 700;
constexpr uint8_t ANSI_CHARSET = 0, DEFAULT_CHARSET = 1, SYMBOL_CHARSET = 2, OEM_CHARSET = 255;
constexpr uint8_t DEFAULT_PITCH = 0, FIXED_PITCH = 1, VARIABLE_PITCH = 2;

struct TLogPen {
    int Style = PS_SOLID;
    int Width = 1;
    TColor Color = 0;
};

struct TLogBrush {
    int Style = BS_SOLID;
    TColor Color = 0xFFFFFF;
    int Hatch = 0;
    // BS_PATTERN: 64 RGB values of an 8×8 pattern, row by row.
    std::vector<uint32_t> Pattern;
};

struct TLogFont {
    int32_t Height = 0;  // negative: character height; positive: cell height (pixels)
    int32_t Width = 0;
    int32_t Escapement = 0;  // tenths of a degree, anticlockwise
    int32_t Orientation = 0;
    int32_t Weight = FW_NORMAL;
    bool Italic = false;
    bool Underline = false;
    bool StrikeOut = false;
    uint8_t CharSet = DEFAULT_CHARSET;
    uint8_t PitchAndFamily = DEFAULT_PITCH;
    std::string FaceName;
};

HPEN CreatePen(int Style, int Width, TColor Color);
HPEN CreatePenIndirect(const TLogPen& Pen);
HBRUSH CreateSolidBrush(TColor Color);
HBRUSH CreateHatchBrush(int Hatch, TColor Color);
// The pattern brush takes a copy of the top-left 8×8 pixels of the bitmap.
HBRUSH CreatePatternBrush(HBITMAP Bitmap);
HBRUSH CreateBrushIndirect(const TLogBrush& Brush);
HFONT CreateFontIndirect(const TLogFont& Font);
constexpr int WHITE_BRUSH = 0, LTGRAY_BRUSH = 1, GRAY_BRUSH = 2, DKGRAY_BRUSH = 3, BLACK_BRUSH = 4,
              NULL_BRUSH = 5, WHITE_PEN = 6, BLACK_PEN = 7, NULL_PEN = 8, SYSTEM_FONT = 13,
              DEFAULT_GUI_FONT = 17;
HGDIOBJ GetStockObject(int Index);
HBRUSH GetSysColorBrush(int Index);
// Frees a pen, brush, font, bitmap or region; stock objects are never freed.
bool DeleteObject(HGDIOBJ Object);
// Selects a pen, brush, font or (into a memory context) bitmap; returns the one it replaces. A
// region is copied in as the clip region and the region type is returned.
HGDIOBJ SelectObject(HDC Dc, HGDIOBJ Object);

// ---- Device contexts ----
// A memory context: draws on the bitmap selected into it (a 1×1 monochrome one at first).
HDC CreateCompatibleDC(HDC Dc);
bool DeleteDC(HDC Dc);
HBITMAP CreateCompatibleBitmap(HDC Dc, int Width, int Height);
HBITMAP CreateBitmap(int Width, int Height, int Planes, int BitsPerPixel, const void* Bits);
int SaveDC(HDC Dc);
bool RestoreDC(HDC Dc, int Saved);  // -1: the last saved
TColor SetBkColor(HDC Dc, TColor Color);
TColor GetBkColor(HDC Dc);
int SetBkMode(HDC Dc, int Mode);
int GetBkMode(HDC Dc);
TColor SetTextColor(HDC Dc, TColor Color);
TColor GetTextColor(HDC Dc);
int SetROP2(HDC Dc, int Mode);
int GetROP2(HDC Dc);
bool SetBrushOrgEx(HDC Dc, int X, int Y, TPoint* Old);
// The offset added to every logical coordinate.
bool SetViewportOrgEx(HDC Dc, int X, int Y, TPoint* Old);
bool GetViewportOrgEx(HDC Dc, TPoint* Org);
bool SetWindowOrgEx(HDC Dc, int X, int Y, TPoint* Old);

// ---- Drawing ----
bool MoveToEx(HDC Dc, int X, int Y, TPoint* Old);
bool LineTo(HDC Dc, int X, int Y);
bool Polyline(HDC Dc, const TPoint* Points, int Count);
bool Polygon(HDC Dc, const TPoint* Points, int Count);
bool Rectangle(HDC Dc, int Left, int Top, int Right, int Bottom);
bool RoundRect(HDC Dc, int Left, int Top, int Right, int Bottom, int Width, int Height);
bool Ellipse(HDC Dc, int Left, int Top, int Right, int Bottom);
// Anticlockwise from the ray through (X3,Y3) to the ray through (X4,Y4).
bool Arc(HDC Dc, int Left, int Top, int Right, int Bottom, int X3, int Y3, int X4, int Y4);
bool Pie(HDC Dc, int Left, int Top, int Right, int Bottom, int X3, int Y3, int X4, int Y4);
int FillRect(HDC Dc, const TRect& R, HBRUSH Brush);
int FrameRect(HDC Dc, const TRect& R, HBRUSH Brush);
bool InvertRect(HDC Dc, const TRect& R);
// The dotted focus frame, drawn by inverting every other pixel: drawing it twice restores.
bool DrawFocusRect(HDC Dc, const TRect& R);
TColor GetPixel(HDC Dc, int X, int Y);  // CLR_INVALID outside the surface or the clip
TColor SetPixel(HDC Dc, int X, int Y, TColor Color);
// Fills the area of Color (FLOODFILLSURFACE) or bounded by it (FLOODFILLBORDER) around (X,Y).
constexpr int FLOODFILLBORDER = 0, FLOODFILLSURFACE = 1;
bool ExtFloodFill(HDC Dc, int X, int Y, TColor Color, int Type);

// ---- Edges and frame controls ----
constexpr uint32_t BDR_RAISEDOUTER = 0x1, BDR_SUNKENOUTER = 0x2, BDR_RAISEDINNER = 0x4, BDR_SUNKENINNER = 0x8,
                   BDR_OUTER = 0x3, BDR_INNER = 0xC, BDR_RAISED = 0x5, BDR_SUNKEN = 0xA;
constexpr uint32_t EDGE_RAISED = BDR_RAISEDOUTER | BDR_RAISEDINNER,
                   EDGE_SUNKEN = BDR_SUNKENOUTER | BDR_SUNKENINNER,
                   EDGE_ETCHED = BDR_SUNKENOUTER | BDR_RAISEDINNER,
                   EDGE_BUMP = BDR_RAISEDOUTER | BDR_SUNKENINNER;
constexpr uint32_t BF_LEFT = 0x1, BF_TOP = 0x2, BF_RIGHT = 0x4, BF_BOTTOM = 0x8, BF_TOPLEFT = 0x3,
                   BF_TOPRIGHT = 0x6, BF_BOTTOMLEFT = 0x9, BF_BOTTOMRIGHT = 0xC, BF_RECT = 0xF,
                   BF_DIAGONAL = 0x10, BF_MIDDLE = 0x800, BF_SOFT = 0x1000, BF_ADJUST = 0x2000,
                   BF_FLAT = 0x4000, BF_MONO = 0x8000;
// Draws the edges asked for along the inside of R; with BF_ADJUST, R shrinks to what is inside them.
bool DrawEdge(HDC Dc, TRect& R, uint32_t Edge, uint32_t Flags);

constexpr uint32_t DFC_CAPTION = 1, DFC_MENU = 2, DFC_SCROLL = 3, DFC_BUTTON = 4;
constexpr uint32_t DFCS_BUTTONCHECK = 0x0, DFCS_BUTTONRADIOIMAGE = 0x1, DFCS_BUTTONRADIOMASK = 0x2,
                   DFCS_BUTTONRADIO = 0x4, DFCS_BUTTON3STATE = 0x8, DFCS_BUTTONPUSH = 0x10;
constexpr uint32_t DFCS_CAPTIONCLOSE = 0x0, DFCS_CAPTIONMIN = 0x1, DFCS_CAPTIONMAX = 0x2,
                   DFCS_CAPTIONRESTORE = 0x3, DFCS_CAPTIONHELP = 0x4;
constexpr uint32_t DFCS_MENUARROW = 0x0, DFCS_MENUCHECK = 0x1, DFCS_MENUBULLET = 0x2;
constexpr uint32_t DFCS_SCROLLUP = 0x0, DFCS_SCROLLDOWN = 0x1, DFCS_SCROLLLEFT = 0x2, DFCS_SCROLLRIGHT = 0x3,
                   DFCS_SCROLLCOMBOBOX = 0x5, DFCS_SCROLLSIZEGRIP = 0x8;
constexpr uint32_t DFCS_ADJUSTRECT = 0x2000, DFCS_INACTIVE = 0x100, DFCS_PUSHED = 0x200, DFCS_CHECKED = 0x400,
                   DFCS_TRANSPARENT = 0x800, DFCS_HOT = 0x1000, DFCS_FLAT = 0x4000, DFCS_MONO = 0x8000;
bool DrawFrameControl(HDC Dc, TRect& R, uint32_t Type, uint32_t State);

// ---- Text ----
struct TTextMetric {
    int32_t tmHeight = 0;
    int32_t tmAscent = 0;
    int32_t tmDescent = 0;
    int32_t tmInternalLeading = 0;
    int32_t tmExternalLeading = 0;
    int32_t tmAveCharWidth = 0;
    int32_t tmMaxCharWidth = 0;
    int32_t tmWeight = 0;
    int32_t tmOverhang = 0;
    int32_t tmDigitizedAspectX = 96;
    int32_t tmDigitizedAspectY = 96;
    uint8_t tmFirstChar = 0x20;
    uint8_t tmLastChar = 0xFF;
    uint8_t tmDefaultChar = 0x1F;
    uint8_t tmBreakChar = 0x20;
    uint8_t tmItalic = 0;
    uint8_t tmUnderlined = 0;
    uint8_t tmStruckOut = 0;
    uint8_t tmPitchAndFamily = 0;  // TMPF_ bits
    uint8_t tmCharSet = 0;
};
// Careful: TMPF_FIXED_PITCH set means a variable-pitch font, as on the platform.
constexpr uint8_t TMPF_FIXED_PITCH = 0x1, TMPF_VECTOR = 0x2, TMPF_TRUETYPE = 0x4, TMPF_DEVICE = 0x8;
bool GetTextMetrics(HDC Dc, TTextMetric& Metrics);
// The width and height of Text, character extra included.
bool GetTextExtentPoint32(HDC Dc, const std::string& Text, TSize& Size);
bool TextOut(HDC Dc, int X, int Y, const std::string& Text);
constexpr uint32_t ETO_OPAQUE = 0x2, ETO_CLIPPED = 0x4;
// Draws Text at (X,Y); ETO_OPAQUE fills R with the background colour first, ETO_CLIPPED clips to
// R. Dx, when given, holds the advance of each character.
bool ExtTextOut(HDC Dc, int X, int Y, uint32_t Options, const TRect* R, const std::string& Text,
                const int* Dx = nullptr);
constexpr uint32_t TA_LEFT = 0, TA_RIGHT = 2, TA_CENTER = 6, TA_TOP = 0, TA_BOTTOM = 8, TA_BASELINE = 24,
                   TA_UPDATECP = 1;
uint32_t SetTextAlign(HDC Dc, uint32_t Align);
uint32_t GetTextAlign(HDC Dc);

// Extra pixels added after every character that text calls draw or measure (ExtTextOut with Dx
// leaves it out); returns the previous value.
int SetTextCharacterExtra(HDC Dc, int Extra);
int GetTextCharacterExtra(HDC Dc);

// Text with tabs. TabStops holds TabCount pixel positions, ascending, from TabOrigin (a logical x);
// with no stops a tab moves to the next multiple of eight average character widths, with one stop
// to the next multiple of it, and past the last of several stops to the next multiple of eight
// average character widths. Both return the width in the low and the height in the high 16 bits.
// TabbedTextOut draws with the top-left of the text at (X, Y), filling the whole width with the
// background colour in opaque mode.
uint32_t GetTabbedTextExtent(HDC Dc, const std::string& Text, int TabCount, const int* TabStops);
int32_t TabbedTextOut(HDC Dc, int X, int Y, const std::string& Text, int TabCount, const int* TabStops,
                      int TabOrigin);

// ---- Font families ----
// FontType of an enumerated face.
constexpr uint32_t RASTER_FONTTYPE = 0x1, DEVICE_FONTTYPE = 0x2, TRUETYPE_FONTTYPE = 0x4;
// Called with each face: its description (PitchAndFamily holds FIXED_PITCH or VARIABLE_PITCH), its
// metrics at the default height and its type; returning 0 stops the enumeration.
using TFontEnumProc = std::function<int(const TLogFont&, const TTextMetric&, uint32_t FontType)>;
// The faces the program knows first, in a fixed order ("MS Sans Serif", "Arial", "Courier New",
// "Times New Roman", "Tahoma", "Verdana", "System", and the raster face "Terminal"), then the other
// families of the system. With a Family, only that one. Returns the last value of Proc (1 when it
// was not called).
int EnumFontFamilies(HDC Dc, const std::string& Family, const TFontEnumProc& Proc);

// ---- Paths ----
// Between BeginPath and EndPath, text calls add the outlines of their characters to the context's
// path instead of drawing (a raster face has no outlines and adds nothing). StrokePath draws the
// outlines with the pen, FillPath fills them with the brush (alternate filling); both then discard
// the path. They fail while the path is still open or when there is none.
bool BeginPath(HDC Dc);
bool EndPath(HDC Dc);
bool StrokePath(HDC Dc);
bool FillPath(HDC Dc);

constexpr uint32_t DT_TOP = 0x0, DT_LEFT = 0x0, DT_CENTER = 0x1, DT_RIGHT = 0x2, DT_VCENTER = 0x4,
                   DT_BOTTOM = 0x8, DT_WORDBREAK = 0x10, DT_SINGLELINE = 0x20, DT_EXPANDTABS = 0x40,
                   DT_TABSTOP = 0x80, DT_NOCLIP = 0x100, DT_EXTERNALLEADING = 0x200, DT_CALCRECT = 0x400,
                   DT_NOPREFIX = 0x800, DT_INTERNAL = 0x1000, DT_EDITCONTROL = 0x2000,
                   DT_PATH_ELLIPSIS = 0x4000, DT_END_ELLIPSIS = 0x8000, DT_MODIFYSTRING = 0x10000,
                   DT_RTLREADING = 0x20000, DT_WORD_ELLIPSIS = 0x40000, DT_NOFULLWIDTHCHARBREAK = 0x80000,
                   DT_HIDEPREFIX = 0x100000, DT_PREFIXONLY = 0x200000;
// Formats Text in R and returns the height of what it drew (or would draw, with DT_CALCRECT, which
// draws nothing and sets R to the bounds of the text).
int DrawText(HDC Dc, const std::string& Text, TRect& R, uint32_t Format);
// As DrawText; with DT_MODIFYSTRING, Text receives the shortened string of an ellipsis format.
int DrawTextEx(HDC Dc, std::string& Text, TRect& R, uint32_t Format);

// ---- Bit transfers ----
// Ternary raster operations (P pattern = brush, S source, D destination).
constexpr uint32_t SRCCOPY = 0x00CC0020, SRCPAINT = 0x00EE0086, SRCAND = 0x008800C6, SRCINVERT = 0x00660046,
                   SRCERASE = 0x00440328, NOTSRCCOPY = 0x00330008, NOTSRCERASE = 0x001100A6,
                   MERGECOPY = 0x00C000CA, MERGEPAINT = 0x00BB0226, PATCOPY = 0x00F00021,
                   PATPAINT = 0x00FB0A09, PATINVERT = 0x005A0049, DSTINVERT = 0x00550009,
                   BLACKNESS = 0x00000042, WHITENESS = 0x00FF0062;
// The mask operation: D where the mask is white, S where it is black (used for transparent copies).
constexpr uint32_t ROP_DstCopy = 0x00AA0029;
constexpr uint32_t MakeROP4(uint32_t Fore, uint32_t Back) {
    return ((Back << 8) & 0xFF000000u) | Fore;
}
bool BitBlt(HDC Dest, int X, int Y, int Width, int Height, HDC Src, int XSrc, int YSrc, uint32_t Rop);
bool StretchBlt(HDC Dest, int X, int Y, int Width, int Height, HDC Src, int XSrc, int YSrc, int SrcWidth,
                int SrcHeight, uint32_t Rop);
bool PatBlt(HDC Dc, int X, int Y, int Width, int Height, uint32_t Rop);
// Foreground operation where the monochrome mask is 1... the mask bit 1 takes the foreground
// operation, 0 the background one (the high byte of a MakeROP4 code).
bool MaskBlt(HDC Dest, int X, int Y, int Width, int Height, HDC Src, int XSrc, int YSrc, HBITMAP Mask,
             int XMask, int YMask, uint32_t Rop4);
// A stretching copy that leaves out source pixels of KeyRgb, or with PaintBrush paints the
// destination's brush there (transparent drawing and brush copies of bitmaps).
bool KeyedStretchBlt(HDC Dest, const TRect& DestRect, HDC Src, const TRect& SrcRect, uint32_t KeyRgb,
                     bool PaintBrush);
constexpr int BLACKONWHITE = 1, WHITEONBLACK = 2, COLORONCOLOR = 3, HALFTONE = 4;
int SetStretchBltMode(HDC Dc, int Mode);

// ---- Regions and clipping ----
constexpr int RGN_ERROR = 0, NULLREGION = 1, SIMPLEREGION = 2, COMPLEXREGION = 3;
constexpr int RGN_AND = 1, RGN_OR = 2, RGN_XOR = 3, RGN_DIFF = 4, RGN_COPY = 5;
HRGN CreateRectRgn(int Left, int Top, int Right, int Bottom);
HRGN CreateRectRgnIndirect(const TRect& R);
HRGN CreateRoundRectRgn(int Left, int Top, int Right, int Bottom, int Width, int Height);
HRGN CreateEllipticRgn(int Left, int Top, int Right, int Bottom);
constexpr int ALTERNATE = 1, WINDING = 2;
HRGN CreatePolygonRgn(const TPoint* Points, int Count, int FillMode);
// Dest = A op B (Dest may be A or B); returns the type of the result.
int CombineRgn(HRGN Dest, HRGN A, HRGN B, int Mode);
int OffsetRgn(HRGN Rgn, int DX, int DY);
bool PtInRegion(HRGN Rgn, int X, int Y);
bool RectInRegion(HRGN Rgn, const TRect& R);
bool EqualRgn(HRGN A, HRGN B);
int GetRgnBox(HRGN Rgn, TRect* R);
bool FillRgn(HDC Dc, HRGN Rgn, HBRUSH Brush);
bool FrameRgn(HDC Dc, HRGN Rgn, HBRUSH Brush, int Width, int Height);
bool InvertRgn(HDC Dc, HRGN Rgn);
// Sets the clip region (a copy, in logical coordinates; 0 removes it). The window's paint area
// still limits drawing.
int SelectClipRgn(HDC Dc, HRGN Rgn);
int ExtSelectClipRgn(HDC Dc, HRGN Rgn, int Mode);
int IntersectClipRect(HDC Dc, int Left, int Top, int Right, int Bottom);
int ExcludeClipRect(HDC Dc, int Left, int Top, int Right, int Bottom);
// The bounds of what can be drawn, in logical coordinates.
int GetClipBox(HDC Dc, TRect* R);
// 1 and a copy in Rgn when a clip region is selected, 0 when none.
int GetClipRgn(HDC Dc, HRGN Rgn);

// Region data, little-endian: a 32-byte header (size of the header 32, type RDH_RECTANGLES, the
// number of rectangles, the size of the rectangles in bytes, the bounding rectangle) followed by the
// rectangles, 16 bytes each (left, top, right, bottom as 32-bit integers), top to bottom and left to
// right within a band. GetRegionData returns the size the data needs when Data is null, Count when
// the data fits into Count bytes, 0 when it does not or Rgn is not a region.
constexpr uint32_t RDH_RECTANGLES = 1;
constexpr uint32_t RgnDataHeaderSize = 32;
uint32_t GetRegionData(HRGN Rgn, uint32_t Count, void* Data);
// A region from Count bytes of region data; 0 for data that is damaged (a header that does not fit
// or holds another size or type, more rectangles than the bytes hold, coordinates outside -2^27 to
// 2^27 - 1, the range of the drawing layer) and for a transform (Xform must be null). Empty rectangles are
// left out; rectangles that are not in the order above may overlap but are limited to MaxUnorderedRgnRects,
// so that their union stays small.
constexpr uint32_t MaxUnorderedRgnRects = 1024;
HRGN ExtCreateRegion(const void* Xform, uint32_t Count, const void* Data);

// ---- Bitmaps by handle ----
int GetDeviceCaps(HDC Dc, int Index);

// ---- Palettes ----
// Surfaces hold true colour, so a palette only lends its colours to palette-index colours
// (0x01000000 | index) drawn on a context it is selected into; palette-relative colours
// (0x02000000 | RGB) are drawn as their RGB value.
struct TPaletteEntry {
    uint8_t peRed = 0;
    uint8_t peGreen = 0;
    uint8_t peBlue = 0;
    uint8_t peFlags = 0;
};
constexpr uint8_t PC_RESERVED = 0x1, PC_EXPLICIT = 0x2, PC_NOCOLLAPSE = 0x4;
constexpr TColor PaletteIndex(uint16_t Index) {
    return static_cast<TColor>(0x01000000 | Index);
}
constexpr TColor PaletteRGB(uint8_t R, uint8_t G, uint8_t B) {
    return static_cast<TColor>(0x02000000 | R | (G << 8) | (B << 16));
}
// Version is 0x300 as the platform expects; the entries are copied.
HPALETTE CreatePalette(uint16_t Version, const std::vector<TPaletteEntry>& Entries);
HPALETTE SelectPalette(HDC Dc, HPALETTE Palette, bool ForceBackground);
// The number of entries mapped into the system palette: none on a true-colour surface.
unsigned RealizePalette(HDC Dc);
unsigned GetPaletteEntries(HPALETTE Palette, unsigned Start, unsigned Count, TPaletteEntry* Entries);
unsigned GetNearestPaletteIndex(HPALETTE Palette, TColor Color);
constexpr int DEFAULT_PALETTE = 15;
constexpr int HORZRES = 8, VERTRES = 10, BITSPIXEL = 12, PLANES = 14, NUMCOLORS = 24, LOGPIXELSX = 88,
              LOGPIXELSY = 90, RASTERCAPS = 38, SIZEPALETTE = 104;

}  // namespace framework
