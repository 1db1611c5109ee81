#include "controls/kit/KitGraph.h"

#include <cmath>
#include <memory>

#include "framework/ui/Windows.h"

namespace kit {

using namespace framework;

namespace {

TColor Highlight() {
    return clBtnHighlight;
}
TColor Shadow() {
    return clBtnShadow;
}

// Restores a canvas's copy mode, pen and brush when it goes.
class TCanvasState {
public:
    explicit TCanvasState(TCanvas& Canvas) : FCanvas(Canvas), FCopyMode(Canvas.CopyMode) {
        FPen.Assign(Canvas.Pen);
        FBrush.Assign(Canvas.Brush);
    }
    ~TCanvasState() {
        FCanvas.CopyMode = FCopyMode;
        FCanvas.Pen.Assign(FPen);
        FCanvas.Brush.Assign(FBrush);
    }
    TCanvasState(const TCanvasState&) = delete;
    TCanvasState& operator=(const TCanvasState&) = delete;

private:
    TCanvas& FCanvas;
    uint32_t FCopyMode;
    TPen FPen;
    TBrush FBrush;
};

// A clip region selected into a context while it lives; the clip is reset afterwards.
class TClipRegion {
public:
    TClipRegion(TCanvas& Canvas, const TRect& Rect, int32_t ClipOffset) : FDc(Canvas.Handle()) {
        int dx = static_cast<int16_t>(ClipOffset & 0xFFFF);
        int dy = static_cast<int16_t>((static_cast<uint32_t>(ClipOffset) >> 16) & 0xFFFF);
        FRegion = CreateRectRgn(Rect.Left + dx, Rect.Top + dy, Rect.Right + dx, Rect.Bottom + dy);
        SelectClipRgn(FDc, FRegion);
    }
    ~TClipRegion() {
        SelectClipRgn(FDc, 0);
        DeleteObject(FRegion);
    }
    TClipRegion(const TClipRegion&) = delete;
    TClipRegion& operator=(const TClipRegion&) = delete;

private:
    HDC FDc;
    HRGN FRegion = 0;
};

}  // namespace

// ---- Frames and borders -------------------------------------------------------------------------

bool DrawBevelBand(TCanvas& Canvas, TRect& Rect, TKitBevelStyle Style, TColor LightColor, TColor ShadowColor,
                   int Width) {
    if (Width <= 0 || Style == bvNone || Style == bvShadow) return false;
    TColor tl = LightColor, br = ShadowColor;
    if (Style == bvLowered || Style == bvFrameLowered) std::swap(tl, br);
    if (Style == bvNormal) tl = br = clBlack;
    TCanvasState state(Canvas);
    const int l = Rect.Left, t = Rect.Top, r = Rect.Right, b = Rect.Bottom;
    if (Style == bvFrameLowered || Style == bvFrameRaised) {
        for (int i = 0; i < Width; ++i) {
            Canvas.Brush.Style = bsSolid;
            Canvas.Brush.Color = br;
            Canvas.FrameRect(TRect{l + i + 1, t + i + 1, r, b});
            Canvas.Brush.Color = tl;
            Canvas.FrameRect(TRect{l, t, r - i - 1, b - i - 1});
        }
        Rect = TRect{l + Width + 1, t + Width + 1, r - Width - 1, b - Width - 1};
        return true;
    }
    if (Width == 1) {
        Canvas.Pen.Style = psSolid;
        Canvas.Pen.Width = 1;
        Canvas.Pen.Color = tl;
        Canvas.Polyline({TPoint{l, b - 1}, TPoint{l, t}, TPoint{r - 1, t}});
        Canvas.Pen.Color = br;
        Canvas.Polyline({TPoint{r - 1, t}, TPoint{r - 1, b - 1}, TPoint{l - 1, b - 1}});
    } else {
        const int il = l + Width, it = t + Width, ir = r - Width, ib = b - 1 - Width;
        Canvas.Pen.Style = psClear;
        Canvas.Brush.Style = bsSolid;
        Canvas.Brush.Color = br;
        Canvas.Polygon(
            {TPoint{l, b}, TPoint{il, ib}, TPoint{ir, ib}, TPoint{ir, it}, TPoint{r, t}, TPoint{r, b}});
        Canvas.Brush.Color = tl;
        Canvas.Polygon({TPoint{l, b - 1}, TPoint{il, ib}, TPoint{il, it}, TPoint{ir - 1, it},
                        TPoint{r - 1, t}, TPoint{l, t}});
    }
    Rect = TRect{l + Width, t + Width, r - Width, b - Width};
    return true;
}

bool DrawShadowBevel(TCanvas& Canvas, TRect& Rect, TColor FrameColor, TColor ShadowColor, TColor BackColor,
                     uint8_t ShadowWidth, uint8_t FrameWidth, bool Transparent) {
    TCanvasState state(Canvas);
    const int sw = ShadowWidth;
    const int l = Rect.Left, t = Rect.Top, r = Rect.Right, b = Rect.Bottom;
    Canvas.Brush.Style = bsSolid;
    if (sw > 0) {
        Canvas.Brush.Color = ShadowColor;
        Canvas.FillRect(TRect{r - sw, t + sw, r, b});
        Canvas.FillRect(TRect{l + sw, b - sw, r, b});
        if (!Transparent) {
            Canvas.Brush.Color = BackColor;
            Canvas.FillRect(TRect{r - sw, t, r, t + sw});
            Canvas.FillRect(TRect{l, b - sw, l + sw, b});
        }
    }
    Rect = TRect{l, t, r - sw, b - sw};
    Canvas.Brush.Color = FrameColor;
    for (int i = 0; i < FrameWidth; ++i) {
        Canvas.FrameRect(Rect);
        Rect = TRect{Rect.Left + 1, Rect.Top + 1, Rect.Right - 1, Rect.Bottom - 1};
    }
    Canvas.Pen.Width = 1;
    return true;
}

int BorderStyleWidth(TKitBorderStyle Style) {
    switch (Style) {
        case lsNone:
            return 0;
        case lsSingle:
        case lsSingleRaised:
        case lsSingleLowered:
            return 1;
        default:
            return 2;
    }
}

bool DrawBorderStyle(TCanvas& Canvas, TRect& Rect, TKitBorderStyle Style, uint32_t ExtraFlags) {
    if (Style == lsNone) return false;
    HDC dc = Canvas.Handle();
    const uint32_t x = ExtraFlags;
    auto edge = [&](uint32_t Edge, uint32_t Flags) { DrawEdge(dc, Rect, Edge, Flags | BF_ADJUST); };
    switch (Style) {
        case lsSingle: {
            edge(BDR_SUNKENOUTER, BF_LEFT | BF_TOP | BF_SOFT | x);
            TRect keep = Rect;
            DrawEdge(dc, keep, BDR_RAISEDOUTER, BF_RIGHT | BF_BOTTOM);
            break;
        }
        case lsLowered:
            edge(EDGE_SUNKEN, BF_RECT | BF_SOFT | x);
            break;
        case lsRaised:
            edge(EDGE_RAISED, BF_RECT | BF_SOFT | x);
            break;
        case lsRaisedspb:
        case lsRaisedExt:
            edge(BDR_RAISEDOUTER, BF_RECT | BF_SOFT | x);
            edge(BDR_RAISEDINNER, BF_RIGHT | BF_BOTTOM);
            if (Style == lsRaisedExt) {
                ++Rect.Left;
                ++Rect.Top;
            }
            break;
        case lsLoweredspb:
            edge(BDR_SUNKENOUTER, BF_RECT | x);
            edge(BDR_SUNKENINNER, BF_LEFT | BF_TOP | x);
            break;
        case lsLoweredExt:
            edge(BDR_SUNKENOUTER, BF_RECT | x);
            edge(BDR_SUNKENINNER, BF_LEFT | BF_TOP);
            --Rect.Right;
            --Rect.Bottom;
            break;
        case lsFrameInset:
            edge(EDGE_ETCHED, BF_RECT | x);
            break;
        case lsFrameOffset:
            edge(BDR_RAISEDINNER, BF_RECT | x);
            edge(BDR_SUNKENOUTER, BF_RECT | x);
            break;
        case lsWindowBorder:
            edge(BDR_RAISEDOUTER, BF_RIGHT | BF_BOTTOM | x);
            ++Rect.Left;
            ++Rect.Top;
            edge(BDR_RAISEDINNER, BF_RECT | x);
            break;
        case lsSingleRaised:
            edge(BDR_RAISEDINNER, BF_RECT | x);
            break;
        case lsSingleLowered:
            edge(BDR_SUNKENOUTER, BF_RECT | x);
            break;
        case lsDoubleRaised:
            edge(BDR_RAISEDINNER, BF_RECT | x);
            edge(BDR_RAISEDINNER, BF_RECT | x);
            break;
        case lsDoubleLowered:
            edge(BDR_SUNKENOUTER, BF_RECT | x);
            edge(BDR_SUNKENOUTER, BF_RECT | x);
            break;
        default:
            return false;
    }
    return true;
}

void DrawDropArrow(TCanvas& Canvas, int X, int Y, int Size, TColor Color, bool PointingDown, bool Enabled) {
    if (Size < 2 || Size > 15) return;
    if (!Enabled) DrawDropArrow(Canvas, X + 1, Y + 1, Size, clHighlightText, PointingDown, true);
    TCanvasState state(Canvas);
    Canvas.Pen.Style = psSolid;
    Canvas.Pen.Width = 1;
    Canvas.Pen.Color = Enabled ? Color : clGrayText;
    if (PointingDown) {
        for (int i = 0; i <= Size - 2; ++i) {
            Canvas.MoveTo(X + i, Y + i);
            Canvas.LineTo(X + 2 * Size - i - 1, Y + i);
        }
        Canvas.MoveTo(X + Size - 1, Y + Size - 1);
        Canvas.LineTo(X + Size - 1, Y + Size - 2);
    } else {
        const int c = X + Size / 2;
        for (int i = 0; i < Size; ++i) {
            Canvas.MoveTo(c - i, Y + i);
            Canvas.LineTo(c + i + 1, Y + i);
        }
    }
}

// ---- Bitmaps ------------------------------------------------------------------------------------

void FillBitmapColor(TBitmap* Bitmap, const TRect& Rect, TColor Color) {
    if (Bitmap == nullptr || Rect.IsEmpty()) return;
    Bitmap->SetSize(Rect.Width(), Rect.Height());
    Bitmap->Canvas().Brush.Style = bsSolid;
    Bitmap->Canvas().Brush.Color = Color;
    Bitmap->Canvas().FillRect(TRect{0, 0, Rect.Width(), Rect.Height()});
}

void MakeEmbossedGlyph(TBitmap& Target, TBitmap& Source) {
    Target.Assign(Source);
    const int w = Target.Width(), h = Target.Height();
    if (w <= 0 || h <= 0) return;
    TCanvas& c = Target.Canvas();
    const TColor back = c.Pixel(0, 0);
    auto brightness = [](TColor color) {
        uint32_t rgb = ColorToRGB(color);
        return static_cast<int>((rgb & 0xFF) + ((rgb >> 8) & 0xFF) + ((rgb >> 16) & 0xFF));
    };
    long sum = 0, count = 0;
    for (int x = 0; x < w; ++x)
        for (int y = 0; y < h; ++y) {
            TColor p = c.Pixel(x, y);
            if (p == back) continue;
            sum += brightness(p);
            ++count;
        }
    const int base =
        count == 0 ? 0 : -static_cast<int>(std::lround(200.0 - static_cast<double>(sum) / count));
    const TColor highlight = static_cast<TColor>(ColorToRGB(Highlight()));
    const TColor shadow = static_cast<TColor>(ColorToRGB(Shadow()));
    for (int x = 0; x < w; ++x)
        for (int y = 0; y < h; ++y) {
            TColor p = c.Pixel(x, y);
            if (p == back) continue;
            int b = brightness(p);
            c.SetPixel(x, y,
                       b > base + 550   ? clWhite
                       : b > base + 250 ? highlight
                       : b > base + 50  ? shadow
                                        : clBlack);
        }
}

namespace {
// Mask becomes a monochrome bitmap of Source's size: white where Source has Key, else black (or
// the other way round with Invert).
void MakeMonoMask(TBitmap& Source, uint32_t Key, TBitmap& Mask, bool Invert = false) {
    const int w = Source.Width(), h = Source.Height();
    Mask.SetSize(w, h);
    Mask.SetMonochrome(true);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            Mask.Canvas().SetPixel(
                x, y, (ColorToRGB(Source.Canvas().Pixel(x, y)) == Key) != Invert ? clWhite : clBlack);
}
}  // namespace

void MakeMaskedImage(TCanvas& Canvas, const TRect& Rect, TBitmap& Mask, TBitmap& Image, TColor Color) {
    const int w = Rect.Width(), h = Rect.Height();
    if (w <= 0 || h <= 0) return;
    Image.SetSize(w, h);
    Image.Canvas().CopyRect(TRect{0, 0, w, h}, Canvas, Rect);
    const uint32_t key = ColorToRGB(Color);
    MakeMonoMask(Image, key, Mask);
    // The transparent pixels turn black in the image, ready for the SRCAND / SRCPAINT pair.
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (ColorToRGB(Image.Canvas().Pixel(x, y)) == key) Image.Canvas().SetPixel(x, y, clBlack);
}

void MakeMaskedImageFromBitmap(TBitmap& Source, TBitmap& Mask, TBitmap& Image, TColor Color) {
    MakeMaskedImage(Source.Canvas(), TRect{0, 0, Source.Width(), Source.Height()}, Mask, Image, Color);
}

void MakeDisabledGlyph(TBitmap& Target, TBitmap& Source, int X, int Y) {
    const int w = Source.Width(), h = Source.Height();
    if (w <= 0 || h <= 0) return;
    const TColor transparent = Source.TransparentColor();
    TBitmap mask;
    MakeMonoMask(Source, ColorToRGB(transparent), mask, true);  // white where the glyph has pixels
    TCanvasState state(Target.Canvas());
    Target.Canvas().Brush.Style = bsSolid;
    Target.Canvas().Brush.Color = transparent;
    Target.Canvas().FillRect(TRect{0, 0, Target.Width(), Target.Height()});
    // DSPDxax: the brush where the mask is white, the target where it is black.
    constexpr uint32_t DSPDxax = 0x00E20746;
    HDC maskDc = mask.Canvas().Handle();
    for (auto [brush, dx] : {std::pair{Highlight(), 1}, std::pair{Shadow(), 0}}) {
        Target.Canvas().Brush.Color = brush;
        HDC dc = Target.Canvas().Handle();
        TColor oldBack = SetBkColor(dc, clWhite);
        TColor oldText = SetTextColor(dc, clBlack);
        BitBlt(dc, X + dx, Y + dx, w, h, maskDc, 0, 0, DSPDxax);
        SetBkColor(dc, oldBack);
        SetTextColor(dc, oldText);
    }
}

namespace {

// Draws one placed copy of the source by the drawing mode of Flags.
void DrawPlaced(TCanvas& Dest, const TRect& Placed, TCanvas* SourceCanvas, TBitmap* SourceBitmap,
                const TRect& SourceRect, uint32_t Flags, TColor Color, TBitmap* Mask) {
    if (Flags & dbBrushCopy) {
        if (SourceBitmap == nullptr) return;
        Dest.Brush.Style = bsSolid;
        Dest.Brush.Color = Color;
        Dest.BrushCopy(Placed, SourceBitmap, SourceRect, SourceBitmap->TransparentColor());
        return;
    }
    TCanvas* source = SourceCanvas ? SourceCanvas : SourceBitmap ? &SourceBitmap->Canvas() : nullptr;
    if (source == nullptr) return;
    if ((Flags & dbMaskBitmap) && Mask != nullptr) {
        HDC dc = Dest.Handle();
        TColor oldBack = SetBkColor(dc, clWhite);
        TColor oldText = SetTextColor(dc, clBlack);
        Dest.CopyMode = SRCAND;
        Dest.CopyRect(Placed, Mask->Canvas(), SourceRect);
        Dest.CopyMode = SRCPAINT;
        Dest.CopyRect(Placed, *source, SourceRect);
        SetBkColor(dc, oldBack);
        SetTextColor(dc, oldText);
        return;
    }
    if (Flags & dbTransparentColor) {
        KeyedStretchBlt(Dest.Handle(), Placed, source->Handle(), SourceRect, ColorToRGB(Color), false);
        return;
    }
    Dest.CopyRect(Placed, *source, SourceRect);
}

}  // namespace

void DrawBitmapEx(TCanvas& Dest, const TRect& DestRect, TCanvas* SourceCanvas, TBitmap* SourceBitmap,
                  const TRect& SourceRect, uint32_t Flags, TColor Color, HPALETTE, TBitmap* Mask,
                  TRect& PaintedRect) {
    PaintedRect = TRect{};
    if (DestRect.IsEmpty()) return;
    const int w = SourceRect.Width(), h = SourceRect.Height();
    const int dw = DestRect.Width(), dh = DestRect.Height();
    // An empty picture has no size to place or scale by: nothing is drawn.
    if (w <= 0 || h <= 0) return;
    TCanvasState state(Dest);
    SetStretchBltMode(Dest.Handle(), COLORONCOLOR);
    if (Flags & dbTile) {
        PaintedRect = DestRect;
        for (int i = 0; i <= dw / w; ++i)
            for (int j = 0; j <= dh / h; ++j) {
                TRect placed{DestRect.Left + i * w, DestRect.Top + j * h, DestRect.Left + (i + 1) * w,
                             DestRect.Top + (j + 1) * h};
                DrawPlaced(Dest, placed, SourceCanvas, SourceBitmap, SourceRect, Flags, Color, Mask);
            }
        return;
    }
    TRect placed{DestRect.Left, DestRect.Top, DestRect.Left + w, DestRect.Top + h};
    if (Flags & dbStretch) {
        placed = DestRect;
        const uint32_t keep = Flags & dbKeepAspect;
        if (keep == dbKeepWidth) {
            placed.Bottom = placed.Top + static_cast<int>(std::lround(static_cast<double>(dw) / w * h));
        } else if (keep == dbKeepHeight) {
            placed.Right = placed.Left + static_cast<int>(std::lround(static_cast<double>(dh) / h * w));
        } else if (keep == dbKeepAspect) {
            double scale = std::min(static_cast<double>(dw) / w, static_cast<double>(dh) / h);
            placed.Right = placed.Left + static_cast<int>(std::lround(w * scale));
            placed.Bottom = placed.Top + static_cast<int>(std::lround(h * scale));
        }
    } else if (Flags & dbCenter) {
        placed = TRect{DestRect.Left + (dw - w) / 2, DestRect.Top + (dh - h) / 2, 0, 0};
        placed.Right = placed.Left + w;
        placed.Bottom = placed.Top + h;
    }
    PaintedRect = placed.IsEmpty() ? DestRect : placed;
    if (placed.IsEmpty()) return;
    DrawPlaced(Dest, placed, SourceCanvas, SourceBitmap, SourceRect, Flags, Color, Mask);
}

void DrawBitmapClipped(TCanvas& Dest, const TRect& DestRect, TCanvas* SourceCanvas, TBitmap* SourceBitmap,
                       const TRect& SourceRect, uint32_t Flags, int32_t ClipOffset, TColor Color,
                       TBitmap* Mask) {
    TRect painted;
    if (!(Flags & dbClip)) {
        DrawBitmapEx(Dest, DestRect, SourceCanvas, SourceBitmap, SourceRect, Flags, Color, 0, Mask, painted);
        return;
    }
    TClipRegion clip(Dest, DestRect, ClipOffset);
    DrawBitmapEx(Dest, DestRect, SourceCanvas, SourceBitmap, SourceRect, Flags, Color, 0, Mask, painted);
}

// Palettes are selected and realized on palette displays only; every surface here is true colour,
// so the bitmap routines draw without selecting one.
void DrawCanvasPart(TCanvas& Dest, const TRect& DestRect, TBitmap* Bitmap, uint32_t Flags, int32_t ClipOffset,
                    TColor Color) {
    if (Bitmap == nullptr || Bitmap->Empty()) return;
    const TRect source{0, 0, Bitmap->Width(), Bitmap->Height()};
    if (Flags & dbBrushCopy)
        DrawBitmapClipped(Dest, DestRect, nullptr, Bitmap, source, Flags, ClipOffset, Color, nullptr);
    else
        DrawBitmapClipped(Dest, DestRect, &Bitmap->Canvas(), nullptr, source, Flags, ClipOffset, Color,
                          nullptr);
}

void DrawPaletteBitmap(TCanvas& Dest, const TRect& DestRect, TBitmap* Bitmap, uint32_t Flags, TColor Color,
                       TRect& PaintedRect) {
    PaintedRect = TRect{};
    if (Bitmap == nullptr || Bitmap->Empty()) return;
    const TRect source{0, 0, Bitmap->Width(), Bitmap->Height()};
    if (Flags & dbBrushCopy)
        DrawBitmapEx(Dest, DestRect, nullptr, Bitmap, source, Flags, Color, 0, nullptr, PaintedRect);
    else
        DrawBitmapEx(Dest, DestRect, &Bitmap->Canvas(), nullptr, source, Flags, Color, 0, nullptr,
                     PaintedRect);
}

// ---- Colours and gradients ----------------------------------------------------------------------

TColor BlendColor(TColor A, TColor B, int Part, int Whole) {
    if (Whole == 0) return A;
    uint32_t a = ColorToRGB(A), b = ColorToRGB(B), result = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        double ca = (a >> shift) & 0xFF, cb = (b >> shift) & 0xFF;
        long c = std::lround(Part * (cb - ca) / Whole + ca);
        result |= static_cast<uint32_t>(static_cast<uint8_t>(c)) << shift;
    }
    return static_cast<TColor>(result);
}

void GradientSteps(TColor Start, TColor End, int Count, std::vector<uint32_t>* List, bool First) {
    if (List == nullptr || Count <= 0) return;
    const uint32_t a = ColorToRGB(Start), b = ColorToRGB(End);
    if (First) List->clear();
    for (int i = First ? 0 : 1; i < Count; ++i) {
        uint32_t step = 0;
        for (int shift = 0; shift <= 16; shift += 8) {
            int ca = static_cast<int>((a >> shift) & 0xFF), cb = static_cast<int>((b >> shift) & 0xFF);
            int c = Count == 1 ? ca : ca + MulDiv(i, cb - ca, Count - 1);
            step |= static_cast<uint32_t>(static_cast<uint8_t>(c)) << shift;
        }
        List->push_back(step);
    }
}

HPALETTE CreateStepPalette(const std::vector<uint32_t>& List) {
    if (List.empty()) return 0;
    std::vector<TPaletteEntry> entries;
    entries.reserve(List.size());
    for (uint32_t c : List)
        entries.push_back(TPaletteEntry{static_cast<uint8_t>(c & 0xFF), static_cast<uint8_t>((c >> 8) & 0xFF),
                                        static_cast<uint8_t>((c >> 16) & 0xFF), PC_NOCOLLAPSE});
    return CreatePalette(0x300, entries);
}

namespace {

// The shapes of a gradient, drawn on Canvas with (OX, OY) as the rectangle's top-left.
void DrawGradientShapes(TCanvas& Canvas, int OX, int OY, int W, int H, TKitGradientStyle Style,
                        const std::vector<uint32_t>& List) {
    const int n = static_cast<int>(List.size());
    Canvas.Pen.Style = psClear;
    Canvas.Brush.Style = bsSolid;
    auto colour = [&](int i) { Canvas.Brush.Color = static_cast<TColor>(List[static_cast<size_t>(i)]); };
    if (Style == gstHorizontal || Style == gstVertical) {
        for (int i = 0; i < n; ++i) {
            colour(i);
            if (Style == gstHorizontal)
                Canvas.FillRect(TRect{OX + MulDiv(i, W, n), OY, OX + MulDiv(i + 1, W, n), OY + H});
            else
                Canvas.FillRect(TRect{OX, OY + MulDiv(i, H, n), OX + W, OY + MulDiv(i + 1, H, n)});
        }
        return;
    }
    for (int i = n - 1; i >= 0; --i) {
        const int k = i + 1;
        const int mw = MulDiv(k, W, n), mh = MulDiv(k, H, n);
        colour(i);
        switch (Style) {
            case gstSquare: {
                const int cx = OX + W / 2, cy = OY + H / 2;
                Canvas.Rectangle(cx - mw / 2, cy - mh / 2, cx + mw / 2 + 2, cy + mh / 2 + 2);
                break;
            }
            case gstElliptic: {
                const int cx = OX + W / 2, cy = OY + H / 2;
                const int rx = static_cast<int>(std::lround(mw / 1.4)),
                          ry = static_cast<int>(std::lround(mh / 1.4));
                Canvas.Ellipse(cx - rx, cy - ry, cx + rx, cy + ry);
                break;
            }
            case gstTopLeft:
                Canvas.Rectangle(OX, OY, OX + mw + 1, OY + mh + 1);
                break;
            case gstTopRight:
                Canvas.Rectangle(OX + W - mw, OY + 1 + mh, OX + W + 1, OY);
                break;
            case gstBottomLeft:
                Canvas.Rectangle(OX + 1 + mw, OY + H - mh, OX, OY + H + 1);
                break;
            case gstBottomRight:
                Canvas.Rectangle(OX + W - mw, OY + H - mh, OX + W + 1, OY + H + 1);
                break;
            case gstTopLeftDiagonal: {
                const int dx = 2 * mw, dy = 2 * mh;
                Canvas.Polygon({TPoint{OX, OY}, TPoint{OX + dx, OY}, TPoint{OX, OY + 1 + dy},
                                TPoint{OX - dx, OY + 1 + dy}});
                break;
            }
            case gstTopRightDiagonal: {
                const int dx = 2 * mw, dy = 2 * mh;
                Canvas.Polygon({TPoint{OX + W + 1, OY}, TPoint{OX + W + 1 - dx, OY},
                                TPoint{OX + W + 1, OY + dy}, TPoint{OX + W + 1 + dx, OY + dy}});
                break;
            }
            default:
                break;
        }
    }
}

}  // namespace

void FillGradient(TCanvas& Canvas, const TRect& Rect, TKitGradientStyle Style, int32_t ClipOffset,
                  uint32_t Flags, HPALETTE, const std::vector<uint32_t>& List) {
    if (List.empty() || Rect.IsEmpty()) return;
    const int w = Rect.Width(), h = Rect.Height();
    // Palettes: every surface here is true colour, so none is selected or realized.
    if (Flags & dbOffscreen) {
        TBitmap offscreen;
        offscreen.SetSize(w, h);
        DrawGradientShapes(offscreen.Canvas(), 0, 0, w, h, Style, List);
        Canvas.Draw(Rect.Left, Rect.Top, &offscreen);
        return;
    }
    TCanvasState state(Canvas);
    std::unique_ptr<TClipRegion> clip;
    if (Flags & dbClip) clip = std::make_unique<TClipRegion>(Canvas, Rect, ClipOffset);
    DrawGradientShapes(Canvas, Rect.Left, Rect.Top, w, h, Style, List);
}

void FillTwoColorGradient(TCanvas& Canvas, const TRect& Rect, TColor StartColor, TColor EndColor, int Count,
                          TKitGradientStyle Style, uint32_t Flags, int32_t ClipOffset) {
    std::vector<uint32_t> steps;
    GradientSteps(StartColor, EndColor, Count, &steps, true);
    FillGradient(Canvas, Rect, Style, ClipOffset, Flags, 0, steps);
}

// ---- Fonts --------------------------------------------------------------------------------------

int FontLineHeight(const TFont& Font) {
    TBitmap screen;
    screen.SetSize(1, 1);
    screen.Canvas().Font.Assign(Font);
    return screen.Canvas().TextHeight("W");
}

}  // namespace kit
