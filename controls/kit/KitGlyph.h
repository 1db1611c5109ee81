#pragma once
// Image strips (images of one size side by side in one bitmap, with an optional mask strip), the
// shared glyph lists handed out by size from the glyph cache, and the button glyph that builds its
// state images (disabled relief, four-tone image) on demand into those lists.

#include <memory>
#include <string>
#include <vector>

#include "controls/kit/KitBase.h"
#include "controls/kit/KitContainer.h"
#include "controls/kit/KitFace.h"
#include "framework/ui/Graphics.h"

namespace kit {

// Strips never grow wider than this.
inline constexpr int MaxStripWidth = 0x8000;

// How a strip's image is drawn: over a checker of the blending colour (focused: three pixels in
// four, selected: every other pixel), plain, or straight through the mask.
enum TKitDrawingStyle { dsFocus, dsSelected, dsNormal, dsTransparent };
// Which strip DrawImage shows: the images or the masks.
enum TKitImageType { itImage, itMask };

class TKitImageListItem : public TKitListItem {
public:
    explicit TKitImageListItem(framework::TComponent* AOwner);
    // A free-standing strip; a width or height of 0 or less raises EInvalidGraphicOperation
    // "Invalid image size".
    TKitImageListItem(int AWidth, int AHeight);
    ~TKitImageListItem() override;

    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    // Values of 0 or less and unchanged values are ignored; a change empties the strip.
    void SetWidth(int Value);
    void SetHeight(int Value);
    int AllocBy = 4;
    bool Masked() const { return FMasked; }
    void SetMasked(bool Value);

    void Clear() override;
    bool IsEmpty() const override { return FEntries.empty(); }
    // The item header, then Height, Width, AllocBy, Masked, the image count and the strips (the
    // image strip at the item's save depth, the mask at one bit per pixel).
    bool ContentAlways() const override { return true; }
    // Also the read-only binary property "Bitmap" (the image block alone).
    void DefineProperties(framework::TFiler* Filer) override;
    int ImageCount() const { return static_cast<int>(FEntries.size()); }
    int UsedWidth() const { return FUsedWidth; }
    framework::TBitmap& Image() { return *FImage; }
    framework::TBitmap& Mask() { return *FMask; }

    // Appends an empty cell, widening the strip by AllocBy cells when needed ("Too many images"
    // beyond MaxStripWidth); returns its index.
    int AddSlot();
    // Appends Image (and its Mask); -1 without an image. Sizes must fit ("Invalid image size").
    int Add(framework::TBitmap* AImage, framework::TBitmap* AMask);
    void Replace(int Index, framework::TBitmap* AImage, framework::TBitmap* AMask);
    // Builds image and mask from Bitmap, transparent where it has TransparentColor.
    void ReplaceMasked(int Index, framework::TBitmap& Bitmap, framework::TColor TransparentColor);

    framework::TRect ImageRect(int Index) const;
    void GetImage(int Index, framework::TBitmap& Target);
    framework::TColor ImageTransparentColor(int Index);
    // The pixel at Point of image Index.
    framework::TColor ImagePixel(const framework::TPoint& Point, int Index);
    // Opaque for unmasked strips (and for itMask, the mask cell), else through the mask, by
    // DrawingStyle over BackgroundColor and BlendingColor.
    void DrawImage(framework::TCanvas& Canvas, int X, int Y, int Index);
    // The cell drawn by DrawBitmapEx into Rect (masked strips through their mask, others with the
    // cell's bottom-left pixel as transparent colour); Painted: where it went.
    void DrawImageExt(framework::TCanvas& Canvas, const framework::TRect& Rect, uint32_t Flags, int Index,
                      framework::TRect& Painted);
    // The cell drawn by DrawBitmapClipped (unmasked strips with the given colour).
    void DrawImageClipped(framework::TCanvas& Canvas, const framework::TRect& Rect, uint32_t Flags,
                          int32_t ClipOffset, framework::TColor Color, int Index);
    // Appends every image of Source, which must have the same image size ("Invalid image size");
    // "Too many images" when the strip would grow beyond MaxStripWidth.
    void AddImages(TKitImageListItem& Source);
    // Of another strip: its header, settings and images.
    void Assign(framework::TPersistent* Source) override;

    framework::TColor BackgroundColor = framework::clNone;
    framework::TColor BlendingColor = framework::clNone;
    TKitDrawingStyle DrawingStyle = dsNormal;
    TKitImageType ImageType = itImage;
    bool ShareImages = false;

    TKitSavePixelFormat PixelFormat = spfDefault;

protected:
    void ReadContent(framework::TStream* Stream, uint8_t Flags) override;
    void TakeContent() override;
    void WriteContent(framework::TStream* Stream) override;

private:
    struct TPendingBlock {
        int Width = 0, Height = 0, AllocBy = 0, Count = 0;
        bool Masked = false;
        TKitSavePixelFormat PixelFormat = spfDefault;
        std::unique_ptr<framework::TBitmap> Image, Mask;
    };
    void CheckImage(framework::TBitmap* AImage, framework::TBitmap* AMask) const;
    void GrowTo(int Width);

    int FWidth = 16;
    int FHeight = 16;
    bool FMasked = false;
    int FUsedWidth = 0;
    std::vector<uint32_t> FEntries;  // low 16 bits x position, bit 16 masked
    std::unique_ptr<framework::TBitmap> FImage;
    std::unique_ptr<framework::TBitmap> FMask;
    TPendingBlock FPending;
};

// The container of image strips.
class TKitImageList : public TKitCustomImageList {
public:
    explicit TKitImageList(framework::TComponent* AOwner) : TKitCustomImageList(AOwner, lkImageList) {
        RegisterListItemClass(lkImageList);
    }
    TKitListItem* NewItem() override { return new TKitImageListItem(this); }
    TKitImageListItem* Strips(int Index) const { return static_cast<TKitImageListItem*>(Item(Index)); }

    // Each operation goes to strip L.
    framework::TCanvas* ImageCanvas(int L) override;
    bool ImageRect(int L, int I, framework::TRect& Rect) const override;
    int ImageDimension(int L, int Which) const override;
    // The image count of strip L; -1 out of range.
    int ImageCount(int L) const override;
    bool HasImage(int L, int I) const override { return I >= 0 && I < ImageCount(L); }
    void GetImage(int L, int I, framework::TBitmap& Target) override;
    bool IsMasked(int L) const override;
    framework::HPALETTE ImagePalette(int L) override;
    framework::TColor ImageTransparentColor(int L, int I) override;
    framework::TColor ImagePixel(const framework::TPoint& Point, int L, int I) override;
    void DrawImage(framework::TCanvas& Canvas, int X, int Y, int L, int I) override;
    void DrawImageExt(framework::TCanvas& Canvas, const framework::TRect& Rect, uint32_t Flags, int L, int I,
                      framework::TRect& Painted) override;
    void DrawImageClipped(framework::TCanvas& Canvas, const framework::TRect& Rect, uint32_t Flags,
                          int32_t ClipOffset, framework::TColor Color, int L, int I) override;

private:
    TKitImageListItem* Strip(int L) const { return L >= 0 && L < Count() ? Strips(L) : nullptr; }
};

class TKitGlyphList : public TKitImageListItem {
public:
    // A masked strip of images of that size.
    TKitGlyphList(int AWidth, int AHeight);
    int UsedCount() const { return FUsedCount; }
    int AllocIndex();
    int AddMasked(framework::TBitmap& Bitmap, framework::TColor TransparentColor);
    // Frees the slot (the cell stays allocated).
    void Delete(int Index);

private:
    int FUsedCount = 0;
    std::vector<bool> FUsed;
};

class TKitGlyphCache : public framework::TObject {
public:
    TKitGlyphCache() = default;
    ~TKitGlyphCache() override;
    TKitGlyphCache(const TKitGlyphCache&) = delete;
    TKitGlyphCache& operator=(const TKitGlyphCache&) = delete;
    // The first list of that size, or a new one.
    TKitGlyphList* GetList(int AWidth, int AHeight);
    // Frees the list when none of its slots is used.
    void ReleaseList(TKitGlyphList* List);
    bool IsEmpty() const { return FLists.empty(); }
    int Count() const { return static_cast<int>(FLists.size()); }

private:
    std::vector<TKitGlyphList*> FLists;
};

// The cache while glyphs use it, else none.
TKitGlyphCache* GlyphCache();

class TKitGlyph : public framework::TObject {
public:
    TKitGlyph();
    ~TKitGlyph() override;
    TKitGlyph(const TKitGlyph&) = delete;
    TKitGlyph& operator=(const TKitGlyph&) = delete;

    framework::TBitmap& Bitmap() { return *FBitmap; }
    // Takes a copy; a strip of 1 to 5 square images sets NumGlyphs.
    void SetBitmap(const framework::TBitmap* Value);
    int NumGlyphs() const { return FNumGlyphs; }
    void SetNumGlyphs(int Value);
    // 0 normal, 1 uncoloured (four-tone until hot).
    int Style() const { return FStyle; }
    void SetStyle(int Value);
    framework::TColor TransparentColor() const { return FTransparentColor; }
    framework::TNotifyEvent OnChange;

    // Drops every built state image and hands the glyph list back.
    void Invalidate();
    // The image of a face state in the glyph list, built on first use; -1 without image.
    int ImageIndexForState(int State);
    TKitGlyphList* List() const { return FList; }
    // Draws the state's image with the caption by DrawGlyphAndText.
    GlyphTextResult Draw(framework::TCanvas& Canvas, const std::string& Text, TKit3DCaption* Caption,
                         const framework::TRect& Area, int State, const TKitGlyphTextLayout* Layout,
                         uint32_t Flags, bool MultiLine, uint32_t Format);

private:
    void BitmapChanged(framework::TObject* Sender);

    std::unique_ptr<framework::TBitmap> FBitmap;
    int FNumGlyphs = 1;
    int FStyle = 0;
    framework::TColor FTransparentColor = framework::clOlive;
    TKitGlyphList* FList = nullptr;
    int FIndexes[9] = {-1, -1, -1, -1, -1, -1, -1, -1, -1};
};

}  // namespace kit
