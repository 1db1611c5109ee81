#include "controls/kit/KitFill.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "controls/kit/KitBase.h"
#include "controls/kit/KitFace.h"
#include "framework/graphics/Gdi.h"

namespace kit {

using namespace framework;

namespace {

void CopyBitmap(TBitmap& Target, TBitmap* Source) {
    if (Source && !Source->Empty())
        Target.Assign(*Source);
    else
        Target.FreeImage();
}

void FillWithColor(TCanvas& Canvas, const TRect& Rect, TColor Color) {
    Canvas.Brush.Color = Color;
    Canvas.Brush.Style = bsSolid;
    Canvas.Brush.Bitmap = nullptr;
    Canvas.FillRect(Rect);
}

}  // namespace

// ---- TKitShapeFill ----------------------------------------------------------------------------

TKitShapeFill::TKitShapeFill()
    : FBitmap(std::make_unique<TBitmap>()),
      FGradient(std::make_unique<TKitGradient>()),
      FListBitmap(std::make_unique<TBitmap>()) {
    FGradient->OnChange = [this](TObject* Sender) { ChildChanged(Sender); };
}

TKitShapeFill::~TKitShapeFill() = default;

void TKitShapeFill::SetStyle(TKitFillStyle Value) {
    if (Store(FStyle, Value)) Change();
}

void TKitShapeFill::SetTileMode(TKitTileMode Value) {
    if (Store(FTileMode, Value)) Change();
}

void TKitShapeFill::SetBitmap(TBitmap* Value) {
    CopyBitmap(*FBitmap, Value);
    Change();
}

void TKitShapeFill::SetGradient(TKitGradient* Value) {
    FGradient->Assign(Value);
}

void TKitShapeFill::SetListBitmap(TBitmap* Value) {
    CopyBitmap(*FListBitmap, Value);
}

void TKitShapeFill::CopyShapeFill(const TKitShapeFill& Source) {
    CopyBitmap(*FBitmap, Source.FBitmap.get());
    CopyBitmap(*FListBitmap, Source.FListBitmap.get());
    bool updating = FGradient->Updating();
    FGradient->BeginUpdate();
    FGradient->Assign(Source.FGradient.get());
    FGradient->EndUpdate(false);
    if (updating) FGradient->BeginUpdate();
    FStyle = Source.FStyle;
    FTileMode = Source.FTileMode;
}

void TKitShapeFill::Assign(TPersistent* Source) {
    if (Source == this) return;
    auto* fill = dynamic_cast<TKitShapeFill*>(Source);
    if (!fill) {
        TKitObject::Assign(Source);
        return;
    }
    BeginUpdate();
    CopyShapeFill(*fill);
    EndUpdate(true);
}

std::string TKitShapeFill::SummaryText() const {
    static const char* const Names[] = {"Disabled", "", "Brush", "Bitmap", "BitmapList", "Gradient"};
    return std::string("{") + Names[FStyle] + "}";
}

// ---- TKitFillObject ---------------------------------------------------------------------------

TKitFillObject::TKitFillObject() {
    FStyle = sfNone;
}

void TKitFillObject::SetBrush(const TBrush& Value) {
    FBrush.Assign(Value);
    Change();
}

void TKitFillObject::SetAlignment(TKitAlignment Value) {
    if (Store(FAlignment, Value)) Change();
}

void TKitFillObject::SetOffset(int Index, int Value) {
    if (!Store(FOffset[Index & 1], Value)) return;
    if ((FStyle == sfBitmap || FStyle == sfBitmapList) && FTileMode == tmNone) Change();
}

void TKitFillObject::SetOptions(TKitFillOptions Value) {
    if (Store(FOptions, Value)) Change();
}

namespace {

// Repeats Pattern over Rect as a pattern brush with its origin at (0, 0) would.
void TilePattern(TCanvas& Canvas, const TRect& Rect, TBitmap& Pattern) {
    const int w = Pattern.Width(), h = Pattern.Height();
    if (Rect.Right <= Rect.Left || Rect.Bottom <= Rect.Top) return;
    const HDC dc = Canvas.Handle();
    const int saved = SaveDC(dc);
    IntersectClipRect(dc, Rect.Left, Rect.Top, Rect.Right, Rect.Bottom);
    auto floorTo = [](int v, int step) { return (v >= 0 ? v / step : (v - step + 1) / step) * step; };
    for (int y = floorTo(Rect.Top, h); y < Rect.Bottom; y += h)
        for (int x = floorTo(Rect.Left, w); x < Rect.Right; x += w) Canvas.Draw(x, y, &Pattern);
    RestoreDC(dc, saved);
}

}  // namespace

bool TKitFillObject::Fill(TCanvas& Canvas, const TRect& Rect, TColor Color) {
    switch (FStyle) {
        case sfNone:
            return false;
        case sfBrushBitmap: {
            if (Bitmap()->Empty()) return true;
            // The NT family takes the whole bitmap as pattern, older systems its top-left 8 × 8.
            // The drawing layer's pattern brushes hold 8 × 8 pixels, so a larger pattern is laid
            // as tiles aligned with the brush origin (0, 0), which is what such a brush paints.
            if (SystemFlags().IsWinNT && (Bitmap()->Width() != 8 || Bitmap()->Height() != 8)) {
                TilePattern(Canvas, Rect, *Bitmap());
                return true;
            }
            TBitmap corner;
            TBitmap* pattern = Bitmap();
            if (!SystemFlags().IsWinNT) {
                corner.SetSize(8, 8);
                corner.Canvas().Draw(0, 0, Bitmap());
                pattern = &corner;
            }
            Canvas.Brush.Bitmap = pattern;
            try {
                Canvas.FillRect(Rect);
            } catch (...) {
                Canvas.Brush.Bitmap = nullptr;
                throw;
            }
            Canvas.Brush.Bitmap = nullptr;
            return true;
        }
        case sfBrush:
            Canvas.Brush.Assign(FBrush);
            Canvas.Pen.Color = Color;
            if (FBrush.Style != bsSolid) SetBkColor(Canvas.Handle(), static_cast<TColor>(ColorToRGB(Color)));
            Canvas.FillRect(Rect);
            return true;
        case sfBitmap:
        case sfBitmapList: {
            TBitmap* picture = FStyle == sfBitmap ? Bitmap() : ListBitmap();
            if (picture->Empty()) {
                if (FOptions & foFillInner) FillWithColor(Canvas, Rect, Color);
                return false;
            }
            uint32_t flags = (FOptions & foQuickDraw) ? 0 : dbRealizePalette;
            TRect dest = Rect;
            switch (FTileMode) {
                case tmNone: {
                    if (FOptions & foFillInner) FillWithColor(Canvas, Rect, Color);
                    PlaceBlock(FAlignment, TRect{0, 0, picture->Width(), picture->Height()}, Rect, dest);
                    dest.Left += FOffset[0];
                    dest.Right += FOffset[0];
                    dest.Top += FOffset[1];
                    dest.Bottom += FOffset[1];
                    break;
                }
                case tmCenter:
                    if (FOptions & foFillInner) FillWithColor(Canvas, Rect, Color);
                    flags |= dbCenter;
                    break;
                case tmStretch:
                    flags |= dbStretch;
                    break;
                case tmTile:
                    flags |= dbTile;
                    break;
            }
            TRect painted;
            DrawPaletteBitmap(Canvas, dest, picture, flags, Color, painted);
            return true;
        }
        case sfGradient: {
            uint32_t flags = (FOptions & foGrUseBitmap) ? dbOffscreen : 0;
            if (Gradient()->PaletteRealize()) flags |= dbRealizePalette;
            FillGradient(Canvas, Rect, Gradient()->Style(), 0, flags, Gradient()->Palette(),
                         Gradient()->StepColors());
            return true;
        }
    }
    return false;
}

void TKitFillObject::Assign(TPersistent* Source) {
    if (Source == this) return;
    auto* fill = dynamic_cast<TKitFillObject*>(Source);
    if (!fill) {
        TKitShapeFill::Assign(Source);
        return;
    }
    BeginUpdate();
    CopyShapeFill(*fill);
    FBrush.Assign(fill->FBrush);
    FOptions = fill->FOptions;
    FAlignment = fill->FAlignment;
    FOffset[0] = fill->FOffset[0];
    FOffset[1] = fill->FOffset[1];
    EndUpdate(true);
}

// ---- TKitAlphaObject --------------------------------------------------------------------------

TKitAlphaObject::TKitAlphaObject() : FFillObject(std::make_unique<TKitFillObject>()) {
    FFillObject->OnChange = [this](TObject* Sender) { ChildChanged(Sender); };
}

TKitAlphaObject::~TKitAlphaObject() = default;

void TKitAlphaObject::SetFillObject(TKitFillObject* Value) {
    FFillObject->Assign(Value);
}

void TKitAlphaObject::SetStrength(float) {
    if (Store(FStrength, 0.0f)) Change();
}

bool TKitAlphaObject::StrengthStored() const {
    return std::lround(double(FStrength) * 1e6) != std::lround(double(DefaultStrength) * 1e6);
}

void TKitAlphaObject::SetImageIndex(int) {
    FImageIndex = 0;
    ReloadPicture();
}

void TKitAlphaObject::SetListIndex(int) {
    FListIndex = 0;
    ReloadPicture();
}

void TKitAlphaObject::ReloadPicture() {
    // No image list is ever kept, so the list picture is emptied.
    FFillObject->SetListBitmap(nullptr);
    Change();
}

void TKitAlphaObject::AlphaBlend(TBitmap& Bitmap) {
    if (FFillObject->Style() == sfNone || Bitmap.Empty()) return;
    TBitmap fill;
    fill.SetSize(Bitmap.Width(), Bitmap.Height());
    FFillObject->Fill(fill.Canvas(), TRect{0, 0, Bitmap.Width(), Bitmap.Height()}, clWhite);
    fill.SetTransparentColor(FFillObject->Bitmap()->TransparentColor());
    fill.SetPixelFormat(pf24bit);
    Bitmap.SetPixelFormat(pf24bit);
    BlendBitmaps(Bitmap, fill, Bitmap, TRect{0, 0, Bitmap.Width(), Bitmap.Height()}, 0, 0, 0, 0, FStrength);
}

void TKitAlphaObject::Assign(TPersistent* Source) {
    if (Source == this) return;
    auto* alpha = dynamic_cast<TKitAlphaObject*>(Source);
    if (!alpha) {
        TKitObject::Assign(Source);
        return;
    }
    BeginUpdate();
    FFillObject->Assign(alpha->FFillObject.get());
    FTransparent = alpha->FTransparent;
    FStrength = alpha->FStrength;
    FImageIndex = alpha->FImageIndex;
    FListIndex = alpha->FListIndex;
    EndUpdate(true);
}

std::string TKitAlphaObject::SummaryText() const {
    static const char* const Kinds[] = {"", "", "brush", "bmp", "bmp", "grad"};
    TKitFillStyle style = FFillObject->Style();
    if (style == sfNone) return "{Disabled}";
    char strength[32];
    std::snprintf(strength, sizeof strength, "%.3f", double(FStrength));
    return std::string("{Enabled (") + Kinds[style] + "), strength: " + strength + "}";
}

// ---- TKitBitmapEffectObject -------------------------------------------------------------------

TKitBitmapEffectObject::TKitBitmapEffectObject() : FAlphaBlend(std::make_unique<TKitAlphaObject>()) {
    FAlphaBlend->OnChange = [this](TObject* Sender) {
        InvalidateBuffer();
        ChildChanged(Sender);
    };
}

TKitBitmapEffectObject::~TKitBitmapEffectObject() = default;

void TKitBitmapEffectObject::SetFlag(int Index, bool) {
    if (Index < 0 || Index >= 6 || !FFlags[Index]) return;
    FFlags[Index] = false;
    if (Index == efBuffered) {
        FBuffer.reset();
        FBufferValid = false;
    }
    Change();
}

void TKitBitmapEffectObject::SetBrightness(int16_t) {
    if (Store(FBrightness, int16_t(0))) Change();
}

void TKitBitmapEffectObject::Apply(TBitmap& Bitmap) {
    if (FAlphaBlend->FillObject()->Style() != sfNone) FAlphaBlend->AlphaBlend(Bitmap);
}

void TKitBitmapEffectObject::Assign(TPersistent* Source) {
    if (Source == this) return;
    auto* effect = dynamic_cast<TKitBitmapEffectObject*>(Source);
    if (!effect) {
        TKitObject::Assign(Source);
        return;
    }
    BeginUpdate();
    for (int i = efFlipVertical; i <= efInvert; ++i) FFlags[i] = effect->FFlags[i];
    FBrightness = effect->FBrightness;
    FFlags[efBuffered] = false;
    FBuffer.reset();
    FBufferValid = false;
    FAlphaBlend->Assign(effect->FAlphaBlend.get());
    EndUpdate(true);
}

std::string TKitBitmapEffectObject::SummaryText() const {
    std::string parts;
    auto add = [&parts](const char* Part) {
        if (!parts.empty()) parts += ",";
        parts += Part;
    };
    if (FAlphaBlend->FillObject()->Style() != sfNone) add("alpha");
    static const char* const Names[] = {"FV", "FH", "GS", "INV"};
    for (int i = efFlipVertical; i <= efInvert; ++i)
        if (FFlags[i]) add(Names[i]);
    if (FBrightness != 0) add("B");
    return "{" + (parts.empty() ? std::string("Disabled") : parts) + "}";
}

// ---- TKitShadow -------------------------------------------------------------------------------

void TKitShadow::SetColor(TColor Value) {
    if (Store(FColor, Value)) Change();
}

void TKitShadow::SetDepth(int Value) {
    if (Value < 0 || Value > 40) return;
    if (Store(FDepth, Value)) Change();
}

void TKitShadow::SetStyle(TKitShadowStyle Value) {
    if (Store(FStyle, Value)) Change();
}

void TKitShadow::Assign(TPersistent* Source) {
    if (Source == this) return;
    auto* shadow = dynamic_cast<TKitShadow*>(Source);
    if (!shadow) {
        TKitObject::Assign(Source);
        return;
    }
    FColor = shadow->FColor;
    FDepth = shadow->FDepth;
    FStyle = shadow->FStyle;
    Change();
}

std::string TKitShadow::SummaryText() const {
    if (FStyle == hssNone) return "{Disabled}";
    return std::string("{") + (FStyle == hssSolid ? "solid" : "tracing") + ", " + std::to_string(FDepth) +
           "}";
}

// ---- Pixel routines ---------------------------------------------------------------------------

bool CheckPixelFormat24(TBitmap& Bitmap, const std::string& Name) {
    if (Bitmap.PixelFormat() != pf24bit)
        throw EKitWrongPixelFormat("Wrong PixelFormat in " + Name + " bitmap!");
    return true;
}

void BlendBitmaps(TBitmap& Source1, TBitmap& Source2, TBitmap& Target, const TRect& Rect, int Source2X,
                  int Source2Y, int TargetX, int TargetY, float Strength) {
    CheckPixelFormat24(Source1, "Source 1");
    CheckPixelFormat24(Source2, "Source 2");
    CheckPixelFormat24(Target, "Target");
    int table[511];
    for (int k = -255; k <= 255; ++k) table[k + 255] = int(std::lround(double(k) * double(Strength)));
    // Only the part that lies inside all three bitmaps is blended. A ScanLine pointer lasts until
    // the next call on its bitmap (and the sources may be the target), so each row goes through a copy.
    int x0 = std::max({0, -Rect.Left, -Source2X, -TargetX});
    int x1 = std::min({Rect.Right - Rect.Left, Source1.Width() - Rect.Left, Source2.Width() - Source2X,
                       Target.Width() - TargetX});
    int y0 = std::max({0, -Rect.Top, -Source2Y, -TargetY});
    int y1 = std::min({Rect.Bottom - Rect.Top, Source1.Height() - Rect.Top, Source2.Height() - Source2Y,
                       Target.Height() - TargetY});
    if (x1 <= x0 || y1 <= y0) return;
    size_t bytes = size_t(x1 - x0) * 3;
    std::vector<uint8_t> row(bytes);
    for (int y = y0; y < y1; ++y) {
        const uint8_t* s1 = Source1.ScanLine(Rect.Top + y) + size_t(Rect.Left + x0) * 3;
        std::copy(s1, s1 + bytes, row.begin());
        const uint8_t* s2 = Source2.ScanLine(Source2Y + y) + size_t(Source2X + x0) * 3;
        for (size_t i = 0; i < bytes; ++i) row[i] = uint8_t(s2[i] + table[row[i] - s2[i] + 255]);
        uint8_t* t = Target.ScanLine(TargetY + y) + size_t(TargetX + x0) * 3;
        std::copy(row.begin(), row.end(), t);
    }
}

}  // namespace kit
