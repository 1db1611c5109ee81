#include "controls/kit/KitGlyph.h"

#include <algorithm>

#include "framework/core/Filer.h"
#include "framework/graphics/Gdi.h"

namespace kit {

using namespace framework;

namespace {

const char* const InvalidImageSize = "Invalid image size";
const char* const TooManyImages = "Too many images";

TKitGlyphCache* GCache = nullptr;

// Copies Source's SourceRect to (X, Y) of Dest with a raster operation.
void CopyCell(TCanvas& Dest, int X, int Y, TCanvas& Source, const TRect& SourceRect, uint32_t Rop) {
    const uint32_t saved = Dest.CopyMode;
    Dest.CopyMode = Rop;
    Dest.CopyRect(Bounds(X, Y, SourceRect.Width(), SourceRect.Height()), Source, SourceRect);
    Dest.CopyMode = saved;
}

}  // namespace

// ---- Image strip ------------------------------------------------------------------------------------

TKitImageListItem::TKitImageListItem(TComponent* AOwner)
    : TKitListItem(AOwner), FImage(std::make_unique<TBitmap>()), FMask(std::make_unique<TBitmap>()) {
    FImage->SetPixelFormat(pf24bit);
    Clear();
}

TKitImageListItem::TKitImageListItem(int AWidth, int AHeight) : TKitImageListItem(nullptr) {
    if (AWidth <= 0 || AHeight <= 0) throw EInvalidGraphicOperation(InvalidImageSize);
    FWidth = AWidth;
    FHeight = AHeight;
    Clear();
}

TKitImageListItem::~TKitImageListItem() = default;

void TKitImageListItem::Clear() {
    FImage->SetSize(0, 0);
    FMask->SetSize(0, 0);
    if (FMasked) FMask->SetMonochrome(true);
    FUsedWidth = 0;
    FEntries.clear();
}

void TKitImageListItem::SetWidth(int Value) {
    if (Value <= 0 || Value == FWidth) return;
    FWidth = Value;
    Clear();
    Change();
}

void TKitImageListItem::SetHeight(int Value) {
    if (Value <= 0 || Value == FHeight) return;
    FHeight = Value;
    Clear();
    Change();
}

void TKitImageListItem::SetMasked(bool Value) {
    if (Value == FMasked) return;
    FMasked = Value;
    if (!Value) {
        FMask->SetSize(0, 0);
    } else {
        FMask->SetMonochrome(true);
        FMask->SetSize(FImage->Width(), FHeight);
    }
    const size_t count = FEntries.size();
    FEntries.clear();
    for (size_t i = 0; i < count; ++i)
        FEntries.push_back(static_cast<uint32_t>(i * FWidth) | (Value ? 0x10000u : 0u));
    Change();
}

void TKitImageListItem::GrowTo(int Width) {
    FImage->SetSize(Width, FHeight);
    if (FMasked) {
        FMask->SetMonochrome(true);
        FMask->SetSize(Width, FHeight);
    }
}

int TKitImageListItem::AddSlot() {
    const int x = FUsedWidth;
    if (x + FWidth > MaxStripWidth) throw EInvalidGraphicOperation(TooManyImages);
    if (FImage->Width() < x + FWidth) {
        const int grown = FImage->Width() + std::max(AllocBy, 1) * FWidth;
        if (grown > MaxStripWidth) throw EInvalidGraphicOperation(TooManyImages);
        GrowTo(grown);
    }
    FUsedWidth = x + FWidth;
    FEntries.push_back(static_cast<uint32_t>(x) | (FMasked ? 0x10000u : 0u));
    return static_cast<int>(FEntries.size()) - 1;
}

void TKitImageListItem::CheckImage(TBitmap* AImage, TBitmap* AMask) const {
    for (TBitmap* b : {AImage, FMasked ? AMask : nullptr}) {
        if (!b) continue;
        if (b->Height() != FHeight || b->Width() < FWidth || b->Width() % FWidth != 0)
            throw EInvalidGraphicOperation(InvalidImageSize);
    }
}

int TKitImageListItem::Add(TBitmap* AImage, TBitmap* AMask) {
    if (!AImage && !AMask) return AddSlot();
    CheckImage(AImage, AMask);
    if (!AImage) return -1;
    const int index = AddSlot();
    Replace(index, AImage, AMask);
    return index;
}

void TKitImageListItem::Replace(int Index, TBitmap* AImage, TBitmap* AMask) {
    CheckImage(AImage, AMask);
    if (!AImage || Index < 0 || Index >= ImageCount()) return;
    const TRect cell = ImageRect(Index);
    CopyCell(FImage->Canvas(), cell.Left, 0, AImage->Canvas(), TRect{0, 0, FWidth, FHeight}, SRCCOPY);
    if (FMasked) {
        FMask->SetMonochrome(true);
        if (AMask) {
            CopyCell(FMask->Canvas(), cell.Left, 0, AMask->Canvas(), TRect{0, 0, FWidth, FHeight}, SRCCOPY);
        } else {
            FMask->Canvas().Brush.Color = clBlack;
            FMask->Canvas().FillRect(cell);
        }
    }
    Change();
}

void TKitImageListItem::ReplaceMasked(int Index, TBitmap& Bitmap, TColor TransparentColor) {
    CheckImage(&Bitmap, nullptr);
    if (!FMasked) {
        Replace(Index, &Bitmap, nullptr);
        return;
    }
    TBitmap image, mask;
    MakeMaskedImageFromBitmap(Bitmap, mask, image, TransparentColor);
    Replace(Index, &image, &mask);
}

TRect TKitImageListItem::ImageRect(int Index) const {
    const int x = static_cast<int>(FEntries[static_cast<size_t>(Index)] & 0xFFFF);
    return TRect{x, 0, x + FWidth, FHeight};
}

void TKitImageListItem::GetImage(int Index, TBitmap& Target) {
    Target.SetSize(FWidth, FHeight);
    CopyCell(Target.Canvas(), 0, 0, FImage->Canvas(), ImageRect(Index), SRCCOPY);
}

TColor TKitImageListItem::ImageTransparentColor(int Index) {
    if (Index < 0 || Index >= ImageCount()) return clWhite;
    return FImage->Canvas().Pixel(ImageRect(Index).Left, FHeight - 1);
}

TColor TKitImageListItem::ImagePixel(const TPoint& Point, int Index) {
    if (Index < 0 || Index >= ImageCount()) return clWhite;
    return FImage->Canvas().Pixel(ImageRect(Index).Left + Point.X, Point.Y);
}

void TKitImageListItem::DrawImage(TCanvas& Canvas, int X, int Y, int Index) {
    if (Index < 0 || Index >= ImageCount()) return;
    const TRect cell = ImageRect(Index);
    if (!FMasked || ImageType == itMask) {
        CopyCell(Canvas, X, Y, (FMasked ? FMask : FImage)->Canvas(), cell, SRCCOPY);
        return;
    }
    auto masked = [&](TCanvas& Target, int TX, int TY) {
        CopyCell(Target, TX, TY, FMask->Canvas(), cell, SRCAND);
        CopyCell(Target, TX, TY, FImage->Canvas(), cell, SRCPAINT);
    };
    const bool checker = DrawingStyle == dsFocus || DrawingStyle == dsSelected;
    if (DrawingStyle == dsTransparent || (DrawingStyle == dsNormal && BackgroundColor == clNone)) {
        masked(Canvas, X, Y);
        return;
    }
    // Through a cell of the background colour (and with the blending checker for focus and
    // selection).
    TBitmap buffer;
    buffer.SetSize(FWidth, FHeight);
    buffer.Canvas().Brush.Color = BackgroundColor;
    buffer.Canvas().FillRect(TRect{0, 0, FWidth, FHeight});
    masked(buffer.Canvas(), 0, 0);
    if (checker && BlendingColor != clNone)
        for (int y = 0; y < FHeight; ++y)
            for (int x = 0; x < FWidth; ++x) {
                const bool set = DrawingStyle == dsSelected ? ((x ^ y) & 1) != 0 : (x % 2 == 0 || y % 2 == 0);
                if (set) buffer.Canvas().SetPixel(x, y, BlendingColor);
            }
    CopyCell(Canvas, X, Y, buffer.Canvas(), TRect{0, 0, FWidth, FHeight}, SRCCOPY);
}

void TKitImageListItem::DrawImageExt(TCanvas& Canvas, const TRect& Rect, uint32_t Flags, int Index,
                                     TRect& Painted) {
    Painted = TRect{};
    if (Index < 0 || Index >= ImageCount()) return;
    const TRect cell = ImageRect(Index);
    if (FMasked) {
        DrawBitmapEx(Canvas, Rect, &FImage->Canvas(), nullptr, cell, Flags | dbMaskBitmap, 0, 0, FMask.get(),
                     Painted);
        return;
    }
    const TColor corner = static_cast<TColor>(0x02000000u | ColorToRGB(ImageTransparentColor(Index)));
    DrawBitmapEx(Canvas, Rect, &FImage->Canvas(), nullptr, cell, Flags, corner, 0, nullptr, Painted);
}

void TKitImageListItem::DrawImageClipped(TCanvas& Canvas, const TRect& Rect, uint32_t Flags,
                                         int32_t ClipOffset, TColor Color, int Index) {
    if (Index < 0 || Index >= ImageCount()) return;
    const TRect cell = ImageRect(Index);
    if (FMasked)
        DrawBitmapClipped(Canvas, Rect, &FImage->Canvas(), nullptr, cell, Flags | dbMaskBitmap, ClipOffset, 0,
                          FMask.get());
    else
        DrawBitmapClipped(Canvas, Rect, &FImage->Canvas(), nullptr, cell, Flags, ClipOffset, Color, nullptr);
}

void TKitImageListItem::AddImages(TKitImageListItem& Source) {
    if (Source.FWidth != FWidth || Source.FHeight != FHeight)
        throw EInvalidGraphicOperation(InvalidImageSize);
    if (Source.ImageCount() == 0) return;
    const int used = Source.ImageCount() * FWidth + FUsedWidth;
    if (used > MaxStripWidth) throw EInvalidGraphicOperation(TooManyImages);
    BeginUpdate();
    if (FImage->Width() < used) GrowTo(used);
    // The source's cells in their order (its entries may point anywhere in its strip).
    for (int i = 0; i < Source.ImageCount(); ++i) {
        const TRect cell = Source.ImageRect(i);
        const int x = FUsedWidth + i * FWidth;
        CopyCell(FImage->Canvas(), x, 0, Source.FImage->Canvas(), cell, SRCCOPY);
        if (FMasked && Source.FMasked) CopyCell(FMask->Canvas(), x, 0, Source.FMask->Canvas(), cell, SRCCOPY);
        FEntries.push_back(static_cast<uint32_t>(x) | (Source.FEntries[static_cast<size_t>(i)] & 0x10000u));
    }
    FUsedWidth = used;
    EndUpdate(true);
}

void TKitImageListItem::Assign(TPersistent* Source) {
    if (auto* src = dynamic_cast<TKitImageListItem*>(Source)) {
        if (src == this) return;
        CopyHeader(*src);
        AllocBy = src->AllocBy;
        BackgroundColor = src->BackgroundColor;
        BlendingColor = src->BlendingColor;
        DrawingStyle = src->DrawingStyle;
        ImageType = src->ImageType;
        ShareImages = src->ShareImages;
        PixelFormat = src->PixelFormat;
        FHeight = src->FHeight;
        FWidth = src->FWidth;
        FMasked = src->FMasked;
        Clear();
        if (src->ImageCount() == 0) {
            Change();
            return;
        }
        AddImages(*src);
        return;
    }
    TKitListItem::Assign(Source);
}

void TKitImageListItem::ReadContent(TStream* Stream, uint8_t Flags) {
    TPendingBlock p;
    p.Height = ReadStreamInteger(Stream);
    p.Width = ReadStreamInteger(Stream);
    p.AllocBy = ReadStreamInteger(Stream);
    p.Masked = ReadStreamByte(Stream) != 0;
    p.Count = ReadStreamInteger(Stream);
    p.PixelFormat = spfDefault;
    if (Flags & 0x10) p.PixelFormat = spfMono;
    if (Flags & 0x20) p.PixelFormat = spf4bit;
    if (Flags & 0x40) p.PixelFormat = spf8bit;
    if (p.Height <= 0 || p.Width <= 0 || p.Count < 0) throw EInvalidGraphicOperation(InvalidImageSize);
    if (static_cast<int64_t>(p.Count) * p.Width > MaxStripWidth)
        throw EInvalidGraphicOperation(TooManyImages);
    p.Image = std::make_unique<TBitmap>();
    p.Mask = std::make_unique<TBitmap>();
    if (p.Count > 0) {
        const bool compressed = (Flags & 0x01) != 0;
        ReadBitmapData(Stream, p.Image.get(), compressed);
        if (p.Masked) ReadBitmapData(Stream, p.Mask.get(), compressed);
        // The strips must hold every image at the item's size.
        for (TBitmap* b : {p.Image.get(), p.Masked ? p.Mask.get() : nullptr})
            if (b && (b->Height() != p.Height || b->Width() < p.Count * p.Width))
                throw EInvalidGraphicOperation(InvalidImageSize);
    }
    FPending = std::move(p);
}

void TKitImageListItem::TakeContent() {
    TPendingBlock p = std::move(FPending);
    FWidth = p.Width;
    FHeight = p.Height;
    AllocBy = p.AllocBy;
    FMasked = p.Masked;
    PixelFormat = p.PixelFormat;
    Clear();
    if (p.Count > 0) {
        FImage = std::move(p.Image);
        if (FMasked) FMask = std::move(p.Mask);
    }
    FUsedWidth = p.Count * FWidth;
    for (int i = 0; i < p.Count; ++i)
        FEntries.push_back(static_cast<uint32_t>(i * FWidth) | (FMasked ? 0x10000u : 0u));
}

void TKitImageListItem::WriteContent(TStream* Stream) {
    WriteStreamInteger(Stream, FHeight);
    WriteStreamInteger(Stream, FWidth);
    WriteStreamInteger(Stream, AllocBy);
    WriteStreamByte(Stream, FMasked ? 1 : 0);
    const int count = ImageCount();
    WriteStreamInteger(Stream, count);
    if (count == 0) return;
    // Spare cells are not written.
    TBitmap image;
    image.SetPixelFormat(pf24bit);
    image.SetSize(count * FWidth, FHeight);
    image.Canvas().CopyRect(TRect{0, 0, count * FWidth, FHeight}, FImage->Canvas(),
                            TRect{0, 0, count * FWidth, FHeight});
    WriteBitmapData(Stream, &image, Compressed, PixelFormat);
    if (FMasked) {
        TBitmap mask;
        mask.SetMonochrome(true);
        mask.SetSize(count * FWidth, FHeight);
        mask.Canvas().CopyRect(TRect{0, 0, count * FWidth, FHeight}, FMask->Canvas(),
                               TRect{0, 0, count * FWidth, FHeight});
        WriteBitmapData(Stream, &mask, Compressed, spfMono);
    }
}

void TKitImageListItem::DefineProperties(TFiler* Filer) {
    TKitListItem::DefineProperties(Filer);
    Filer->DefineBinaryProperty(
        "Bitmap",
        [this](TStream* Stream) {
            ReadContent(Stream, Compressed ? 0x01 : 0);
            TakeContent();
        },
        nullptr, false);
}

void RegisterListItemClass(TKitListKind Kind) {
    static bool done[4] = {};
    if (Kind < 0 || Kind > 3 || done[Kind]) return;
    done[Kind] = true;
    switch (Kind) {
        case lkImageList:
            RegisterClass<TKitImageListItem>();
            break;
        case lkBitmapList:
            RegisterClass<TKitBitmapListItem>();
            break;
        case lkWaveList:
            RegisterClass<TKitWaveListItem>();
            break;
        case lkStringList:
            RegisterClass<TKitStringListItem>();
            break;
    }
}

// ---- TKitImageList --------------------------------------------------------------------------------

TCanvas* TKitImageList::ImageCanvas(int L) {
    TKitImageListItem* s = Strip(L);
    return s ? &s->Image().Canvas() : nullptr;
}

bool TKitImageList::ImageRect(int L, int I, TRect& Rect) const {
    Rect = TRect{};
    if (!HasImage(L, I)) return false;
    Rect = Strips(L)->ImageRect(I);
    return true;
}

int TKitImageList::ImageDimension(int L, int Which) const {
    TKitImageListItem* s = Strip(L);
    return s ? (Which == 0 ? s->Width() : s->Height()) : 0;
}

int TKitImageList::ImageCount(int L) const {
    TKitImageListItem* s = Strip(L);
    return s ? s->ImageCount() : -1;
}

void TKitImageList::GetImage(int L, int I, TBitmap& Target) {
    if (HasImage(L, I)) Strips(L)->GetImage(I, Target);
}

bool TKitImageList::IsMasked(int L) const {
    TKitImageListItem* s = Strip(L);
    return s && s->Masked();
}

HPALETTE TKitImageList::ImagePalette(int L) {
    TKitImageListItem* s = Strip(L);
    return s ? s->Image().Palette() : 0;
}

TColor TKitImageList::ImageTransparentColor(int L, int I) {
    return HasImage(L, I) ? Strips(L)->ImageTransparentColor(I) : clWhite;
}

TColor TKitImageList::ImagePixel(const TPoint& Point, int L, int I) {
    return HasImage(L, I) ? Strips(L)->ImagePixel(Point, I) : clWhite;
}

void TKitImageList::DrawImage(TCanvas& Canvas, int X, int Y, int L, int I) {
    if (HasImage(L, I)) Strips(L)->DrawImage(Canvas, X, Y, I);
}

void TKitImageList::DrawImageExt(TCanvas& Canvas, const TRect& Rect, uint32_t Flags, int L, int I,
                                 TRect& Painted) {
    Painted = TRect{};
    if (HasImage(L, I)) Strips(L)->DrawImageExt(Canvas, Rect, Flags, I, Painted);
}

void TKitImageList::DrawImageClipped(TCanvas& Canvas, const TRect& Rect, uint32_t Flags, int32_t ClipOffset,
                                     TColor Color, int L, int I) {
    if (HasImage(L, I)) Strips(L)->DrawImageClipped(Canvas, Rect, Flags, ClipOffset, Color, I);
}

// ---- Glyph lists and cache ------------------------------------------------------------------------

TKitGlyphList::TKitGlyphList(int AWidth, int AHeight) : TKitImageListItem(AWidth, AHeight) {
    SetMasked(true);
}

int TKitGlyphList::AllocIndex() {
    auto it = std::find(FUsed.begin(), FUsed.end(), false);
    int index;
    if (it == FUsed.end()) {
        index = AddSlot();
        FUsed.resize(static_cast<size_t>(index) + 1, false);
    } else {
        index = static_cast<int>(it - FUsed.begin());
    }
    FUsed[static_cast<size_t>(index)] = true;
    return index;
}

int TKitGlyphList::AddMasked(TBitmap& Bitmap, TColor TransparentColor) {
    const int index = AllocIndex();
    ReplaceMasked(index, Bitmap, TransparentColor);
    ++FUsedCount;
    return index;
}

void TKitGlyphList::Delete(int Index) {
    if (Index < 0 || Index >= static_cast<int>(FUsed.size()) || !FUsed[static_cast<size_t>(Index)]) return;
    FUsed[static_cast<size_t>(Index)] = false;
    --FUsedCount;
}

TKitGlyphCache::~TKitGlyphCache() {
    for (TKitGlyphList* l : FLists) delete l;
}

TKitGlyphList* TKitGlyphCache::GetList(int AWidth, int AHeight) {
    for (TKitGlyphList* l : FLists)
        if (l->Width() == AWidth && l->Height() == AHeight) return l;
    FLists.push_back(new TKitGlyphList(AWidth, AHeight));
    return FLists.back();
}

void TKitGlyphCache::ReleaseList(TKitGlyphList* List) {
    if (!List || List->UsedCount() != 0) return;
    auto it = std::find(FLists.begin(), FLists.end(), List);
    if (it == FLists.end()) return;
    FLists.erase(it);
    delete List;
}

TKitGlyphCache* GlyphCache() {
    return GCache;
}

// ---- Glyph ----------------------------------------------------------------------------------------

TKitGlyph::TKitGlyph() : FBitmap(std::make_unique<TBitmap>()) {
    FBitmap->OnChange = [this](TObject* Sender) { BitmapChanged(Sender); };
}

TKitGlyph::~TKitGlyph() {
    FBitmap->OnChange = nullptr;
    Invalidate();
    if (GCache && GCache->IsEmpty()) {
        delete GCache;
        GCache = nullptr;
    }
}

void TKitGlyph::SetBitmap(const TBitmap* Value) {
    Invalidate();
    if (Value)
        FBitmap->Assign(*Value);
    else
        FBitmap->SetSize(0, 0);
    if (!FBitmap->Empty() && FBitmap->Height() > 0) {
        FTransparentColor = FBitmap->TransparentColor();
        const int w = FBitmap->Width(), h = FBitmap->Height();
        if (w % h == 0) FNumGlyphs = w / h < 6 ? w / h : 1;
    }
    if (OnChange) OnChange(this);
}

void TKitGlyph::SetNumGlyphs(int Value) {
    if (Value <= 0 || Value > 5 || Value == FNumGlyphs) return;
    Invalidate();
    FNumGlyphs = Value;
}

void TKitGlyph::SetStyle(int Value) {
    if (Value == FStyle) return;
    Invalidate();
    FStyle = Value;
}

void TKitGlyph::BitmapChanged(TObject* Sender) {
    if (Sender != FBitmap.get()) return;
    if (!FBitmap->Empty()) FTransparentColor = FBitmap->TransparentColor();
    Invalidate();
    if (OnChange) OnChange(this);
}

void TKitGlyph::Invalidate() {
    for (int& index : FIndexes) {
        if (index >= 0 && FList) FList->Delete(index);
        index = -1;
    }
    if (FList && GCache) GCache->ReleaseList(FList);
    FList = nullptr;
}

int TKitGlyph::ImageIndexForState(int State) {
    int slot;
    const int images = FNumGlyphs;
    if (State == 1 || State == 7)
        slot = 1;
    else if (State >= 0 && State < 9 && images > State)
        slot = State;
    else
        slot = FStyle == 1 ? (State == 6 ? 4 : 2) : 0;
    if (slot < 0 || slot >= 9) return -1;
    if (FIndexes[slot] >= 0) return FIndexes[slot];
    if (FBitmap->Empty()) return -1;

    const int w = FBitmap->Width() / std::max(FNumGlyphs, 1), h = FBitmap->Height();
    // A strip narrower than its number of images has no image to draw.
    if (w <= 0 || h <= 0) return -1;
    if (!GCache) GCache = new TKitGlyphCache;
    if (!FList) FList = GCache->GetList(w, h);

    TBitmap image;
    image.SetPixelFormat(pf24bit);
    image.SetSize(w, h);
    const bool ownImage = slot < images && !(FStyle == 1 && slot == 0);
    const TRect source = ownImage ? Bounds(slot * w, 0, w, h) : TRect{0, 0, w, h};
    CopyCell(image.Canvas(), 0, 0, FBitmap->Canvas(), source, SRCCOPY);
    if (!ownImage) {
        if (slot == 0 && FStyle == 1) {
            TBitmap toned;
            MakeEmbossedGlyph(toned, image);
            image.Assign(toned);
        } else if (slot == 1) {
            TBitmap relief;
            relief.SetPixelFormat(pf24bit);
            FillBitmapColor(&relief, TRect{0, 0, w, h}, FTransparentColor);
            MakeDisabledGlyph(relief, image, 0, 0);
            image.Assign(relief);
        }
    }
    FIndexes[slot] = FList->AddMasked(image, FTransparentColor);
    return FIndexes[slot];
}

GlyphTextResult TKitGlyph::Draw(TCanvas& Canvas, const std::string& Text, TKit3DCaption* Caption,
                                const TRect& Area, int State, const TKitGlyphTextLayout* Layout,
                                uint32_t Flags, bool MultiLine, uint32_t Format) {
    const int index = ImageIndexForState(State);
    TRect cell{};
    if (index < 0)
        return DrawGlyphAndText(Canvas, Text, Caption, Area, nullptr, cell, nullptr, FTransparentColor,
                                Layout, MultiLine, true, true, Flags, Format);
    cell = FList->ImageRect(index);
    return DrawGlyphAndText(Canvas, Text, Caption, Area, &FList->Image().Canvas(), cell, &FList->Mask(),
                            FTransparentColor, Layout, MultiLine, true, true, Flags, Format);
}

}  // namespace kit
