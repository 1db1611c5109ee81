#pragma once
// Colours, fonts, pens, brushes, the canvas, and the graphics drawn on it (bitmaps, icons, pictures).
// The canvas draws on a device context (a window's pixels or a bitmap) through the drawing layer of
// framework/graphics/Gdi.h; Qt stays out of sight.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/core/Exception.h"
#include "framework/core/Object.h"
#include "framework/graphics/Gdi.h"
#include "framework/ui/Types.h"
#include "framework/ui/Windows.h"

namespace framework {

class TStream;
class TBitmap;
class TGraphic;

// A picture that cannot be read or drawn: "Bitmap image is not valid", a damaged JPEG, an unknown
// file extension.
KORVANE_DECLARE_EXCEPTION(EInvalidGraphic, Exception);
KORVANE_DECLARE_EXCEPTION(EInvalidGraphicOperation, Exception);

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

// Named colours of 16-bit displays and the colour "none" of image lists.
constexpr TColor clMoneyGreen = 0xC0DCC0;
constexpr TColor clSkyBlue = 0xF0CAA6;
constexpr TColor clCream = 0xF0FBFF;
constexpr TColor clMedGray = 0xA4A0A0;
constexpr TColor clLtGray = 0xC0C0C0;
constexpr TColor clDkGray = 0x808080;

enum TFontStyle : uint8_t { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
using TFontStyles = uint8_t;
enum TFontPitch : uint8_t { fpDefault, fpVariable, fpFixed };
using TFontCharset = uint8_t;

// A font description. Size is in points, Height in pixels (negative: character height without the
// internal leading); they are two views of one value at 96 dots per inch.
class TFont : public TObject {
public:
    TFont();
    std::string Name = "MS Sans Serif";
    TColor Color = clWindowText;
    TFontStyles Style = 0;
    TFontCharset Charset = DEFAULT_CHARSET;
    TFontPitch Pitch = fpDefault;
    int Orientation = 0;  // tenths of a degree, anticlockwise
    int Size() const { return FSize; }
    void SetSize(int Points);
    int Height() const { return -((FSize * 96 + 36) / 72); }
    void SetHeight(int Pixels);
    void Assign(const TFont& Source);
    bool operator==(const TFont& o) const {
        return Name == o.Name && Color == o.Color && Style == o.Style && FSize == o.FSize &&
               Charset == o.Charset && Pitch == o.Pitch && Orientation == o.Orientation;
    }
    // The font as the drawing layer describes it.
    TLogFont LogFont() const;
    // Fired by Changed(); the owning control re-reads the font.
    std::function<void()> OnChange;
    void Changed() {
        if (OnChange) OnChange();
    }

private:
    int FSize = 8;
};

// ---- Colour names and kinds of fonts ----

constexpr TColor clHotLight = SystemColor(COLOR_HOTLIGHT);
constexpr TColor clGradientActiveCaption = SystemColor(COLOR_GRADIENTACTIVECAPTION);
constexpr TColor clGradientInactiveCaption = SystemColor(COLOR_GRADIENTINACTIVECAPTION);
constexpr TColor clMenuHighlight = SystemColor(COLOR_MENUHILIGHT);
constexpr TColor clMenuBar = SystemColor(COLOR_MENUBAR);

// Colours by name ("clRed"): the 16 standard colours, clMoneyGreen, clSkyBlue, clCream, clMedGray,
// the system colours and clDefault, and clNone. Names are matched without regard to case.
bool ColorToIdent(TColor Color, std::string& Ident);
bool IdentToColor(const std::string& Ident, TColor& Color);
// The colour's name, or "$" and eight hexadecimal digits ("$00123456").
std::string ColorToString(TColor Color);
// A colour name, or a number (decimal, or hexadecimal after "$" or "0x", up to eight digits of bit
// pattern, so that whatever ColorToString writes reads back); anything else raises EConvertError.
TColor StringToColor(const std::string& S);
// Calls Proc with each colour name in order (the standard colours first); clNone is not listed.
void GetColorValues(const std::function<void(const std::string&)>& Proc);

// Whether the font is drawn from outlines (a TrueType face), which rotated text needs.
bool IsTrueTypeFont(const TFont& Font);

enum TBrushStyle : uint8_t {
    bsSolid,
    bsClear,
    bsHorizontal,
    bsVertical,
    bsFDiagonal,
    bsBDiagonal,
    bsCross,
    bsDiagCross
};

// Fills. With a Bitmap the brush paints its top-left 8×8 pixels as a repeating pattern.
class TBrush : public TObject {
public:
    TColor Color = clWhite;
    TBrushStyle Style = bsSolid;
    TBitmap* Bitmap = nullptr;  // not owned
    void Assign(const TBrush& Source) {
        Color = Source.Color;
        Style = Source.Style;
        Bitmap = Source.Bitmap;
    }
    TLogBrush LogBrush() const;
};

enum TPenStyle : uint8_t { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };
// How pen and brush pixels combine with what is there.
enum TPenMode : uint8_t {
    pmBlack,
    pmWhite,
    pmNop,
    pmNot,
    pmCopy,
    pmNotCopy,
    pmMergePenNot,
    pmMaskPenNot,
    pmMergeNotPen,
    pmMaskNotPen,
    pmMerge,
    pmNotMerge,
    pmMask,
    pmNotMask,
    pmXor,
    pmNotXor
};
int PenModeToROP2(TPenMode Mode);

class TPen : public TObject {
public:
    TColor Color = clBlack;
    int Width = 1;
    TPenStyle Style = psSolid;
    TPenMode Mode = pmCopy;
    void Assign(const TPen& Source) {
        Color = Source.Color;
        Width = Source.Width;
        Style = Source.Style;
        Mode = Source.Mode;
    }
};

// Drawing on a device context. A control's canvas is bound to its window during painting; a
// bitmap's canvas draws on the bitmap. Every call first selects Font, Brush and Pen into the
// context (reading Handle() does too, so calls of the drawing layer on it see them).
class TCanvas : public TObject {
public:
    TCanvas();
    ~TCanvas() override;
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;

    HDC Handle();
    void SetHandle(HDC Dc);
    bool HandleAllocated() const { return FHandle != 0; }
    // Moves the origin (a windowless control paints in its parent's coordinates).
    void SetOrigin(int X, int Y);

    TFont Font;
    TBrush Brush;
    TPen Pen;
    TPoint PenPos;
    uint32_t CopyMode = SRCCOPY;  // raster operation of CopyRect and Draw

    void FillRect(const TRect& R);
    void FrameRect(const TRect& R);
    void Rectangle(int X1, int Y1, int X2, int Y2);
    void Rectangle(const TRect& R) { Rectangle(R.Left, R.Top, R.Right, R.Bottom); }
    void RoundRect(int X1, int Y1, int X2, int Y2, int X3, int Y3);
    void Ellipse(int X1, int Y1, int X2, int Y2);
    void Ellipse(const TRect& R) { Ellipse(R.Left, R.Top, R.Right, R.Bottom); }
    void Arc(int X1, int Y1, int X2, int Y2, int X3, int Y3, int X4, int Y4);
    void Pie(int X1, int Y1, int X2, int Y2, int X3, int Y3, int X4, int Y4);
    void Polygon(const std::vector<TPoint>& Points);
    void Polyline(const std::vector<TPoint>& Points);
    void MoveTo(int X, int Y);
    void LineTo(int X, int Y);
    void FloodFill(int X, int Y, TColor Color, bool Surface);
    // Pixels[X][Y]: clNone outside what can be read.
    TColor Pixel(int X, int Y);
    void SetPixel(int X, int Y, TColor Color);
    // Text with the top-left of its cell at (X,Y); the background is filled unless Brush is clear.
    void TextOut(int X, int Y, const std::string& Text);
    // As TextOut, clipped to R (and R filled first unless Brush is clear).
    void TextRect(const TRect& R, int X, int Y, const std::string& Text);
    int TextWidth(const std::string& Text);
    int TextHeight(const std::string& Text);
    TSize TextExtent(const std::string& Text);
    void DrawFocusRect(const TRect& R);
    // Draws a graphic at its own size, or stretched into R.
    void Draw(int X, int Y, TGraphic* Graphic);
    void StretchDraw(const TRect& R, TGraphic* Graphic);
    // Copies Source's SourceRect into DestRect (stretching) with CopyMode.
    void CopyRect(const TRect& DestRect, TCanvas& Source, const TRect& SourceRect);
    // Copies the bitmap's Source area into Dest, painting the pixels of Color with Brush.
    void BrushCopy(const TRect& Dest, TBitmap* Bitmap, const TRect& Source, TColor Color);
    // The bounds of what may be drawn.
    TRect ClipRect();

protected:
    // Called before the context is used; a bitmap's canvas brings its pixels up to date here.
    virtual void BeforeDraw() {}

private:
    void Select();
    HDC FHandle = 0;
    TPoint FOrigin;
    // What was last selected into FHandle: only what changed since is selected again, so that
    // colours and modes set on Handle() directly stay until the canvas's own objects change.
    struct TSelected;
    std::unique_ptr<TSelected> FSelected;
};

// ---- Graphics ----

// Progress of lengthy work on a graphic (reading, rendering, converting): one psStarting, any
// number of psRunning, one psEnding.
enum TProgressStage : uint8_t { psStarting, psRunning, psEnding };
// PercentDone 0..100; RedrawNow asks the viewer to repaint R (empty: the whole graphic) now.
using TProgressEvent = std::function<void(TObject* Sender, TProgressStage Stage, uint8_t PercentDone,
                                          bool RedrawNow, const TRect& R, const std::string& Msg)>;

// Something that draws itself on a canvas and is read from and written to streams and files.
class TGraphic : public TObject {
public:
    ~TGraphic() override;
    virtual void Draw(TCanvas& ACanvas, const TRect& Rect) = 0;
    virtual bool Empty() const = 0;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    virtual void SetWidth(int Value) = 0;
    virtual void SetHeight(int Value) = 0;
    virtual void LoadFromStream(TStream& Stream) = 0;
    virtual void SaveToStream(TStream& Stream) = 0;
    // A copy of Source when it is of a kind this class can take; EInvalidGraphic otherwise.
    virtual void Assign(const TGraphic& Source) = 0;
    // FileName is a Windows-form path.
    void LoadFromFile(const std::string& FileName);
    void SaveToFile(const std::string& FileName);
    bool Transparent() const { return FTransparent; }
    virtual void SetTransparent(bool Value);
    bool Modified = false;
    TNotifyEvent OnChange;

    // Reports progress through OnProgress; Sender is the graphic or the part of it at work.
    TProgressEvent OnProgress;
    virtual void Progress(TObject* Sender, TProgressStage Stage, uint8_t PercentDone, bool RedrawNow,
                          const TRect& R, const std::string& Msg);

    // The graphic's part of a picture's form data (see TPicture::ReadData); Stream holds nothing
    // else from its position on. By default the graphic's stream form (LoadFromStream,
    // SaveToStream).
    virtual void ReadData(TStream& Stream);
    virtual void WriteData(TStream& Stream);

    // Clipboard transfer: a graphic class that registers a clipboard format with TPicture reads
    // that format's raw data (empty: take it from the clipboard) and writes its own format and
    // data. The base class supports none and raises EInvalidGraphic.
    virtual void LoadFromClipboardFormat(unsigned AFormat, const std::vector<uint8_t>& AData,
                                         HPALETTE APalette);
    virtual void SaveToClipboardFormat(unsigned& AFormat, std::vector<uint8_t>& AData, HPALETTE& APalette);

protected:
    void Changed();
    bool FTransparent = false;
};

enum TPixelFormat : uint8_t {
    pfDevice,
    pf1bit,
    pf4bit,
    pf8bit,
    pf15bit,
    pf16bit,
    pf24bit,
    pf32bit,
    pfCustom
};
enum TTransparentMode : uint8_t { tmAuto, tmFixed };

struct TBitmapData;

// A device-independent bitmap of 1, 4, 8, 24 or 32 bits per pixel. The pixels can be drawn through
// Canvas() and read and written row by row through ScanLine(); rows are in the Windows layout of
// the pixel format (bits from the left, palette indexes, or blue-green-red bytes). A ScanLine
// pointer is good until the next call on the bitmap or its canvas.
class TBitmap : public TGraphic {
public:
    TBitmap();
    ~TBitmap() override;
    TBitmap(const TBitmap&) = delete;
    TBitmap& operator=(const TBitmap&) = delete;

    void Draw(TCanvas& ACanvas, const TRect& Rect) override;
    bool Empty() const override;
    int Width() const override;
    int Height() const override;
    void SetWidth(int Value) override;
    void SetHeight(int Value) override;
    void SetSize(int AWidth, int AHeight);
    void LoadFromStream(TStream& Stream) override;
    // Writes a BMP file: bottom-up rows, no compression, the colour table of the pixel format.
    void SaveToStream(TStream& Stream) override;
    void Assign(const TGraphic& Source) override;
    // CF_BITMAP: the bitmap as a packed device-independent bitmap (a BMP file without its 14-byte
    // file header). The palette handle is not used: the colour table travels in the data.
    void LoadFromClipboardFormat(unsigned AFormat, const std::vector<uint8_t>& AData,
                                 HPALETTE APalette) override;
    void SaveToClipboardFormat(unsigned& AFormat, std::vector<uint8_t>& AData, HPALETTE& APalette) override;

    TCanvas& Canvas();
    HBITMAP Handle();
    TPixelFormat PixelFormat() const;
    // Changing the format keeps the picture (colours are mapped to the nearest of the new table).
    void SetPixelFormat(TPixelFormat Value);
    // The colour table (RGB values, 0x00BBGGRR) of a 1, 4 or 8-bit bitmap.
    std::vector<TColor> ColorTable() const;
    void SetColorTable(const std::vector<TColor>& Colors);
    bool Monochrome() const;
    void SetMonochrome(bool Value);
    // The colour table as a palette (owned by the bitmap; 0 for 24 and 32-bit bitmaps).
    HPALETTE Palette();
    uint8_t* ScanLine(int Row);

    // Transparency: with tmAuto the colour of the bottom-left pixel, with tmFixed TransparentColor.
    TColor TransparentColor() const;
    void SetTransparentColor(TColor Value);
    TTransparentMode TransparentMode = tmAuto;
    // A monochrome bitmap, white where the bitmap has TransparentColor (the mask that Draw uses).
    HBITMAP MaskHandle();
    void Mask(TColor TransparentColor);
    // Drops the pixels (Empty afterwards).
    void FreeImage();
    void Dormant() {}

private:
    friend class TBitmapCanvas;
    void SyncImage();
    std::unique_ptr<TBitmapData> D;
};

// An icon: an image with a mask, drawn at its own size with the masked pixels left alone.
class TIcon : public TGraphic {
public:
    TIcon();
    ~TIcon() override;
    void Draw(TCanvas& ACanvas, const TRect& Rect) override;
    bool Empty() const override;
    int Width() const override;
    int Height() const override;
    void SetWidth(int) override;
    void SetHeight(int) override;
    // Reads an icon file (the entry nearest 32×32); EInvalidGraphic when it holds none.
    void LoadFromStream(TStream& Stream) override;
    void SaveToStream(TStream& Stream) override;
    void Assign(const TGraphic& Source) override;
    TBitmap& Image() { return *FImage; }
    TBitmap& MaskBitmap() { return *FMask; }

private:
    std::unique_ptr<TBitmap> FImage;
    std::unique_ptr<TBitmap> FMask;  // white: transparent
    std::vector<uint8_t> FData;      // the file as read, written back unchanged
};

// Holds one graphic of any registered kind; files are read by the class registered for their
// extension.
class TPicture : public TObject {
public:
    TPicture();
    ~TPicture() override;
    TGraphic* Graphic() const { return FGraphic.get(); }
    // Takes a copy of the graphic (nil empties the picture), of the graphic's own class when that
    // is registered by file format or class name, else as a bitmap.
    void SetGraphic(const TGraphic* Value);
    // The graphic as a bitmap; any other kind is replaced by an empty bitmap.
    TBitmap& Bitmap();
    TIcon& Icon();
    int Width() const { return FGraphic ? FGraphic->Width() : 0; }
    int Height() const { return FGraphic ? FGraphic->Height() : 0; }
    void LoadFromFile(const std::string& FileName);
    void SaveToFile(const std::string& FileName);
    void Assign(const TPicture& Source);
    TNotifyEvent OnChange;
    // Given to every graphic the picture reads (form data, clipboard), so that the progress of
    // reading reaches the picture's owner.
    TProgressEvent OnProgress;

    using TGraphicFactory = std::function<std::unique_ptr<TGraphic>()>;
    // Extension without the dot, any case.
    static void RegisterFileFormat(const std::string& Extension, const std::string& Description,
                                   TGraphicFactory Factory);
    static void UnregisterFileFormat(const std::string& Extension);
    // "All (*.bmp;*.jpg)|*.bmp;*.jpg|Bitmaps (*.bmp)|*.bmp|…", for open-picture dialogs.
    static std::string GraphicFilter();

    // Form data of a picture: a length byte and the graphic's class name (Windows-1252), then the
    // graphic's own data (TGraphic::ReadData); a name of length 0 is an empty picture. The class is
    // created through the class-name registry; a name not registered raises EInvalidGraphic and
    // leaves the picture as it was. TBitmap, TIcon and TJPEGImage are registered from the start.
    void ReadData(TStream& Stream);
    void WriteData(TStream& Stream);
    // Class names are matched without regard to letter case; registering a name again replaces it.
    static void RegisterClass(const std::string& ClassName, TGraphicFactory Factory);
    // Also removes the clipboard formats registered for the class.
    static void UnregisterClass(const std::string& ClassName);
    static bool IsClassRegistered(const std::string& ClassName);
    // The factory registered for the name; empty when there is none.
    static TGraphicFactory GraphicClass(const std::string& ClassName);

    // Clipboard formats the picture can take, each with the graphic class that reads it.
    static void RegisterClipboardFormat(unsigned AFormat, TGraphicFactory Factory);
    static bool SupportsClipboardFormat(unsigned AFormat);
    // Replaces the graphic by one of the class registered for AFormat, read from AData (empty: from
    // the clipboard); EInvalidGraphic for a format not registered, and the picture stays as it was.
    void LoadFromClipboardFormat(unsigned AFormat, const std::vector<uint8_t>& AData, HPALETTE APalette);
    // The graphic's clipboard form; EInvalidGraphic for an empty picture.
    void SaveToClipboardFormat(unsigned& AFormat, std::vector<uint8_t>& AData, HPALETTE& APalette);

private:
    void Changed();
    std::unique_ptr<TGraphic> FGraphic;
};

}  // namespace framework
