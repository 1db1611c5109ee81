#pragma once
// The items of the kit's containers (bitmaps, string lists, waves) with their stream format, the
// bitmap, string and wave lists, and the reading of one item from a container file.
//
// Item stream: a flags byte (bit 0 compressed, 1 a description follows, 2 an ident follows, 3
// content follows, 4..6 the bitmap's save depth), the description as a short string, the ident as
// a 32-bit integer, then the content in the kit's stream formats. Container file: a length byte 8
// and the 8-character signature of its kind, the item count, a table of each item's position, then
// the items.

#include <memory>
#include <string>

#include "controls/kit/KitBase.h"
#include "controls/kit/KitStreams.h"
#include "framework/core/Strings.h"
#include "framework/ui/Graphics.h"

namespace kit {

class TKitListItem : public TKitCustomComponent {
public:
    explicit TKitListItem(framework::TComponent* AOwner);

    std::string Description;
    uint16_t Ident = 0;
    bool Compressed = false;

    virtual void Clear() {}
    virtual bool IsEmpty() const { return false; }
    // The whole item (header and content); a damaged stream raises its error and leaves the item
    // as it was.
    virtual void ReadItem(framework::TStream* Stream);
    virtual void WriteItem(framework::TStream* Stream);
    // The content and depth bits of the flags byte.
    virtual uint8_t HeaderFlags() const { return 0; }
    // The content is written whether or not the flags announce it.
    virtual bool ContentAlways() const { return false; }
    // The binary property "Internal": the item in the stream format.
    void DefineProperties(framework::TFiler* Filer) override;
    // An item's change is also its container's.
    void Change() override;

protected:
    // Description, Ident and Compressed of Source.
    void CopyHeader(const TKitListItem& Source);
    // Reads the content that Flags announce into the item's new state (not yet taken).
    virtual void ReadContent(framework::TStream* Stream, uint8_t Flags) = 0;
    // Takes the state read by ReadContent.
    virtual void TakeContent() = 0;
    virtual void WriteContent(framework::TStream* Stream) = 0;
};

class TKitBitmapListItem : public TKitListItem {
public:
    explicit TKitBitmapListItem(framework::TComponent* AOwner);
    ~TKitBitmapListItem() override;

    // The stored bitmap; when it is empty and the container names a source, fetched from there.
    framework::TBitmap& Bitmap();
    void SetBitmap(const framework::TBitmap* Value);
    TKitSavePixelFormat PixelFormat = spfDefault;

    void Clear() override;
    bool IsEmpty() const override { return FBitmap->Empty(); }
    uint8_t HeaderFlags() const override;
    void Assign(framework::TPersistent* Source) override;

protected:
    void ReadContent(framework::TStream* Stream, uint8_t Flags) override;
    void TakeContent() override;
    void WriteContent(framework::TStream* Stream) override;

private:
    void FetchFromSource();
    std::unique_ptr<framework::TBitmap> FBitmap;
    std::unique_ptr<framework::TBitmap> FRead;
    TKitSavePixelFormat FReadFormat = spfDefault;
};

class TKitStringListItem : public TKitListItem {
public:
    explicit TKitStringListItem(framework::TComponent* AOwner);
    framework::TStrings& Items() { return FItems; }
    void Clear() override { FItems.Clear(); }
    bool IsEmpty() const override { return FItems.Count() == 0; }
    uint8_t HeaderFlags() const override { return FItems.Count() > 0 ? 0x08 : 0; }
    void Assign(framework::TPersistent* Source) override;

protected:
    void ReadContent(framework::TStream* Stream, uint8_t Flags) override;
    void TakeContent() override;
    void WriteContent(framework::TStream* Stream) override;

private:
    framework::TStringList FItems;
    framework::TStringList FRead;
};

class TKitWaveListItem : public TKitListItem {
public:
    explicit TKitWaveListItem(framework::TComponent* AOwner);
    TKitWave& Wave() { return FWave; }
    void Clear() override { FWave.SetData(nullptr); }
    bool IsEmpty() const override { return FWave.IsEmpty(); }
    uint8_t HeaderFlags() const override { return FWave.IsEmpty() ? 0 : 0x08; }
    void Assign(framework::TPersistent* Source) override;

protected:
    void ReadContent(framework::TStream* Stream, uint8_t Flags) override;
    void TakeContent() override;
    void WriteContent(framework::TStream* Stream) override;

private:
    TKitWave FWave;
    TKitWave FRead;
};

// Registers the item class of a list kind with the streaming once per run (the lists do it when
// they are made).
void RegisterListItemClass(TKitListKind Kind);

class TKitBitmapList : public TKitCustomImageList {
public:
    explicit TKitBitmapList(framework::TComponent* AOwner) : TKitCustomImageList(AOwner, lkBitmapList) {
        RegisterListItemClass(lkBitmapList);
    }
    TKitListItem* NewItem() override { return new TKitBitmapListItem(this); }
    TKitBitmapListItem* Bitmaps(int Index) const { return static_cast<TKitBitmapListItem*>(Item(Index)); }
    framework::TCanvas* ImageCanvas(int L) override;
    // (0, 0, width, height) of the bitmap.
    bool ImageRect(int L, int I, framework::TRect& Rect) const override;
    int ImageDimension(int L, int Which) const override;
    // 1 for an item with a bitmap, else 0 (also out of range).
    int ImageCount(int L) const override;
    bool HasImage(int L, int I) const override;
    void GetImage(int L, int I, framework::TBitmap& Target) override;
    framework::HPALETTE ImagePalette(int L) override;
    framework::TColor ImageTransparentColor(int L, int I) override;
    framework::TColor ImagePixel(const framework::TPoint& Point, int L, int I) override;
    // The bitmap at (X, Y), opaque.
    void DrawImage(framework::TCanvas& Canvas, int X, int Y, int L, int I) override;
    // DrawPaletteBitmap with the bitmap's transparent colour.
    void DrawImageExt(framework::TCanvas& Canvas, const framework::TRect& Rect, uint32_t Flags, int L, int I,
                      framework::TRect& Painted) override;
    // DrawCanvasPart of the bitmap.
    void DrawImageClipped(framework::TCanvas& Canvas, const framework::TRect& Rect, uint32_t Flags,
                          int32_t ClipOffset, framework::TColor Color, int L, int I) override;

private:
    // The item's bitmap when L is in range and it is not empty.
    framework::TBitmap* Picture(int L) const;
};

class TKitStringList : public TKitCustomContainer {
public:
    explicit TKitStringList(framework::TComponent* AOwner) : TKitCustomContainer(AOwner, lkStringList) {
        RegisterListItemClass(lkStringList);
    }
    TKitListItem* NewItem() override { return new TKitStringListItem(this); }
};

class TKitWaveList : public TKitCustomContainer {
public:
    explicit TKitWaveList(framework::TComponent* AOwner) : TKitCustomContainer(AOwner, lkWaveList) {
        RegisterListItemClass(lkWaveList);
    }
    TKitListItem* NewItem() override { return new TKitWaveListItem(this); }
};

// "bmp", "iml", ... by list kind, with a leading dot when WithDot.
std::string ItemFileExtension(int Kind, bool WithDot);

// Reads item Index of the container file FileName into Item. A file that is not a container of
// ExpectedKind, or a damaged one, raises Exception "Cannot open file: " + FileName, and Item keeps
// what it held.
void ReadItemFromFile(const std::string& FileName, int ExpectedKind, int Index, TKitListItem& Item);
// The same from a stream holding a container file.
void ReadItemFromStream(framework::TStream& Stream, const std::string& FileName, int ExpectedKind, int Index,
                        TKitListItem& Item);
// Writes Container as a container file of its kind.
void WriteContainerFile(framework::TStream& Stream, TKitCustomContainer& Container);

}  // namespace kit
