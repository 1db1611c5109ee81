#pragma once
// Fill and effect settings of the kit: how an area is filled (brush, bitmap, bitmap from a list,
// gradient), the alpha blend of a bitmap with such a fill, the effect set that controls apply to
// their pictures, and a drop shadow. The effect set and the alpha object can only be switched off:
// their writers store "off" whatever they are given (form streams may hold other values). The only
// effect that ever runs is the alpha blend with a fill whose style was set by assignment.

#include <memory>
#include <string>

#include "controls/kit/KitObjects.h"
#include "framework/core/Exception.h"
#include "framework/ui/Graphics.h"

namespace kit {

using framework::Exception;
KORVANE_DECLARE_EXCEPTION(EKitWrongPixelFormat, Exception);

enum TKitFillOption { foFillInner = 1, foQuickDraw = 2, foGrUseBitmap = 4 };
using TKitFillOptions = unsigned;

class TKitShapeFill : public TKitObject {
public:
    TKitShapeFill();
    ~TKitShapeFill() override;

    TKitFillStyle Style() const { return FStyle; }
    void SetStyle(TKitFillStyle Value);
    TKitTileMode TileMode() const { return FTileMode; }
    void SetTileMode(TKitTileMode Value);
    // The writers copy the given object.
    framework::TBitmap* Bitmap() const { return FBitmap.get(); }
    void SetBitmap(framework::TBitmap* Value);
    TKitGradient* Gradient() const { return FGradient.get(); }
    void SetGradient(TKitGradient* Value);
    // The picture of sfBitmapList, filled by the owner.
    framework::TBitmap* ListBitmap() const { return FListBitmap.get(); }
    void SetListBitmap(framework::TBitmap* Value);

    void Assign(framework::TPersistent* Source) override;
    // "{Disabled}", "{Brush}", "{Bitmap}", "{BitmapList}", "{Gradient}"; "{}" for sfBrushBitmap.
    std::string SummaryText() const override;

protected:
    // The pictures, gradient and both enumerations of Source, without notification.
    void CopyShapeFill(const TKitShapeFill& Source);

    TKitFillStyle FStyle = sfBrush;
    TKitTileMode FTileMode = tmTile;

private:
    std::unique_ptr<framework::TBitmap> FBitmap;
    std::unique_ptr<TKitGradient> FGradient;
    std::unique_ptr<framework::TBitmap> FListBitmap;
};

class TKitFillObject : public TKitShapeFill {
public:
    TKitFillObject();

    framework::TBrush& Brush() { return FBrush; }
    void SetBrush(const framework::TBrush& Value);
    TKitAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TKitAlignment Value);
    // Index 0 OffsetX, 1 OffsetY; notifies only while an untiled picture is shown.
    int Offset(int Index) const { return FOffset[Index & 1]; }
    void SetOffset(int Index, int Value);
    int OffsetX() const { return FOffset[0]; }
    int OffsetY() const { return FOffset[1]; }
    TKitFillOptions Options() const { return FOptions; }
    void SetOptions(TKitFillOptions Value);

    // Fills Rect by Style (Color: the colour of foFillInner and the pen); whether it was filled.
    bool Fill(framework::TCanvas& Canvas, const framework::TRect& Rect, TColor Color);

    void Assign(framework::TPersistent* Source) override;

private:
    framework::TBrush FBrush;
    TKitAlignment FAlignment = agTopLeft;
    int FOffset[2] = {0, 0};
    TKitFillOptions FOptions = foFillInner | foGrUseBitmap;
};

class TKitAlphaObject : public TKitObject {
public:
    static constexpr float DefaultStrength = 0.6f;

    TKitAlphaObject();
    ~TKitAlphaObject() override;

    TKitFillObject* FillObject() const { return FFillObject.get(); }
    void SetFillObject(TKitFillObject* Value);
    float Strength() const { return FStrength; }
    // Stores 0 whatever it is given.
    void SetStrength(float Value);
    // Stored only when it differs from the default at six decimals.
    bool StrengthStored() const;
    int ImageIndex() const { return FImageIndex; }
    int ListIndex() const { return FListIndex; }
    // Both store 0 whatever they are given, then reload the list picture (emptied: no list is kept).
    void SetImageIndex(int Value);
    void SetListIndex(int Value);
    bool Transparent() const { return FTransparent; }
    bool IsActive() const { return false; }

    // Blends Bitmap in place with the fill (only when the fill has a style).
    void AlphaBlend(framework::TBitmap& Bitmap);

    void Assign(framework::TPersistent* Source) override;
    // "{Disabled}", or "{Enabled (brush), strength: 0.600}".
    std::string SummaryText() const override;

private:
    void ReloadPicture();

    std::unique_ptr<TKitFillObject> FFillObject;
    float FStrength = DefaultStrength;
    int FImageIndex = 0;
    int FListIndex = 0;
    bool FTransparent = false;
};

class TKitBitmapEffectObject : public TKitObject {
public:
    enum { efFlipVertical, efFlipHorizontal, efGrayScale, efInvert, efBuffered, efMonochrome };

    TKitBitmapEffectObject();
    ~TKitBitmapEffectObject() override;

    TKitAlphaObject* AlphaBlend() const { return FAlphaBlend.get(); }
    // Index efFlipVertical .. efMonochrome; stores False whatever it is given.
    bool Flag(int Index) const { return Index >= 0 && Index < 6 && FFlags[Index]; }
    void SetFlag(int Index, bool Value);
    int16_t Brightness() const { return FBrightness; }
    // Stores 0 whatever it is given.
    void SetBrightness(int16_t Value);
    bool BufferValid() const { return FBufferValid; }

    bool IsActive() const { return false; }
    void InvalidateBuffer() { FBufferValid = false; }
    // Applies the effects to the whole bitmap in place (only the alpha blend can be set).
    void Apply(framework::TBitmap& Bitmap);

    void Assign(framework::TPersistent* Source) override;
    // The active parts joined by "," ("alpha", "FV", "FH", "GS", "INV", "B") or "Disabled", in braces.
    std::string SummaryText() const override;

private:
    std::unique_ptr<TKitAlphaObject> FAlphaBlend;
    bool FFlags[6] = {};
    int16_t FBrightness = 0;
    std::unique_ptr<framework::TBitmap> FBuffer;
    bool FBufferValid = false;
};

class TKitShadow : public TKitObject {
public:
    TKitShadow() = default;

    TColor Color() const { return FColor; }
    void SetColor(TColor Value);
    // 0..40; other values are ignored.
    int Depth() const { return FDepth; }
    void SetDepth(int Value);
    TKitShadowStyle Style() const { return FStyle; }
    void SetStyle(TKitShadowStyle Value);

    void Assign(framework::TPersistent* Source) override;
    // "{Disabled}", "{solid, 6}", "{tracing, 6}".
    std::string SummaryText() const override;

protected:
    TKitShadowStyle FStyle = hssSolid;

private:
    TColor FColor = framework::clBtnShadow;
    int FDepth = 6;
};

// True for a 24-bit bitmap; else EKitWrongPixelFormat "Wrong PixelFormat in <Name> bitmap!".
bool CheckPixelFormat24(framework::TBitmap& Bitmap, const std::string& Name);
// Target at (TargetX, TargetY) becomes, per colour byte, s2 + round((s1 - s2) * Strength), with s1
// from Source1 at Rect and s2 from Source2 at (Source2X, Source2Y). All three must be 24-bit; the
// rectangle is clipped to what the three bitmaps hold.
void BlendBitmaps(framework::TBitmap& Source1, framework::TBitmap& Source2, framework::TBitmap& Target,
                  const framework::TRect& Rect, int Source2X, int Source2Y, int TargetX, int TargetY,
                  float Strength);

}  // namespace kit
