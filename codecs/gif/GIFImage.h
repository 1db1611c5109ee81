#pragma once
// The GIF picture: TGIFImage is a graphic of the framework's picture classes that holds the model of
// a GIF file — the header with the logical screen and the global colour map, the frames
// (TGIFSubImage) with their local colour maps and the extension blocks in front of them — and keeps
// it consistent (geometry, colour maps, palettes, transparency, copies between GIF objects).
// Also here: the codec's start-up and shutdown (registration with TPicture and the clipboard),
// conversion of bitmaps and other graphics into frames, and TDIBReader/TDIBWriter, through which
// bitmap rows are read and written in a fixed pixel format.

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/core/Exception.h"
#include "framework/core/Persistent.h"
#include "framework/core/SyncObjects.h"
#include "framework/core/Thread.h"
#include "framework/ui/Graphics.h"

namespace framework {
class TStream;
}

namespace codecs {

using framework::HBITMAP;
using framework::HPALETTE;
using framework::TBitmap;
using framework::TColor;
using framework::TGraphic;
using framework::TObject;
using framework::TPersistent;
using framework::TPixelFormat;
using framework::TRect;
using framework::TStream;

// Every error of the codec.
using framework::EInvalidGraphic;
using framework::EOutOfMemory;
KORVANE_DECLARE_EXCEPTION(GIFException, EInvalidGraphic);
// A drawing object that could not be made.
KORVANE_DECLARE_EXCEPTION(EOutOfResources, EOutOfMemory);

[[noreturn]] void RaiseGIFError(const std::string& Message);
// Handle unless it is 0; then EOutOfResources "Out of system resources".
uintptr_t CheckGDI(uintptr_t Handle);
// Bytes of a row of Width pixels of Bits bits, padded to Alignment bits.
int RowBytes(int Width, int Bits, int Alignment);
// 0 for no colours, else the smallest b ≥ 1 with 2^b ≥ Count.
int BitsForColors(int Count);

// Paint options (a 16-bit set).
using TGIFPaintOptions = uint16_t;
constexpr TGIFPaintOptions paThreaded = 1 << 0, paTransparent = 1 << 1, paAnimate = 1 << 2, paLoop = 1 << 3,
                           paLoopForever = 1 << 4, paCheckCanvas = 1 << 5, paDirect = 1 << 6,
                           paClearOnRepeat = 1 << 7, paTile = 1 << 8, paDither = 1 << 9,
                           paAutoDither = 1 << 10;
constexpr TGIFPaintOptions DefaultPaintOptions = 0x060F;

enum TGIFReductionMethod : uint8_t {
    rdNone,
    rdSystem20,
    rdHalftone,
    rdSystemGray,
    rdBlackWhite,
    rdGray256,
    rdWebCube,
    rdOctree,
    rdOctreeSystem,
    rdCustomPalette
};
enum TGIFDitherKind : uint8_t {
    dkNearest,
    dkFloydSteinberg,
    dkStucki,
    dkSierra,
    dkJarvisJudiceNinke,
    dkStevensonArce,
    dkBurkes
};
enum TGIFCompressionKind : uint8_t { ckLZW, ckRunLength };

// What Tidy does (a set of bits).
using TGIFTidyOptions = uint8_t;
constexpr TGIFTidyOptions tdCrop = 1 << 0, tdMerge = 1 << 1, tdCleanup = 1 << 2, tdSortColorMaps = 1 << 3,
                          tdReduceColors = 1 << 4;

// The largest picture the codec builds (pixels of a frame or of the logical screen).
constexpr int64_t MaxGIFPixels = int64_t(1) << 26;
// The most pixels all frames of a picture read from outside may hold together.
constexpr int64_t MaxGIFImagePixels = 4 * MaxGIFPixels;

class TGIFImage;
class TGIFSubImage;
class TGIFPainter;
class TGIFHeader;
class TGIFGraphicControlExtension;

// Warnings: a defect that was worked around. Severity is always 1.
using TGIFWarning = std::function<void(TObject* Sender, int Severity, const std::string& Message)>;

// ---- Colour maps ----
// Colours passed in and out are 0x00BBGGRR; entries are stored as red, green, blue triples.
class TGIFColorMap : public TPersistent {
public:
    ~TGIFColorMap() override;
    void Assign(TPersistent* Source) override;

    void ClearColors();
    void Grow(int N);
    void ReadColors(TStream& Stream, int N);
    // The entries, padded with black up to 1 << BitDepth entries, or to Entries when more.
    void WriteColors(TStream& Stream, int Entries = 0) const;
    // Index of the colour or -1: a sorted map gives the first match, an unsorted one the last.
    int FindColor(TColor Color) const;
    int AppendColor(TColor Color);
    int AppendIfAbsent(TColor Color);
    void RemoveColor(int Index);
    TColor ColorAt(int Index);
    void FromPalette(HPALETTE Palette);
    // N entries stored blue, green, red, reserved.
    void FromQuadTable(const uint8_t* Table, int N);
    // The colour table of a device-independent bitmap (up to 256 entries).
    void FromDIBTable(const TBitmap& Bitmap);
    // A new palette (owned by the caller) with one no-collapse entry per colour; 0 when empty.
    HPALETTE ToPalette() const;
    int BitDepth() const { return BitsForColors(ColorCount); }
    // Orders the entries by use, most used first, drops those no pixel uses; false when the map has
    // fewer than 2 entries.
    bool SortByUse();

    virtual void Warning(int Severity, const std::string& Message) = 0;
    // 256 (count, index) pairs, index i at slot i.
    virtual void CountUse(std::array<std::pair<int64_t, int>, 256>& Histogram) = 0;
    virtual void RemapPixels(const std::array<uint8_t, 256>& Table) = 0;
    virtual void Compact() = 0;
    virtual void NotifyChanged() = 0;

    std::vector<uint8_t> Triples;  // Room × 3 bytes
    int ColorCount = 0;
    int Room = 0;
    bool Sorted = false;
};

class TGIFGlobalColorMap : public TGIFColorMap {
public:
    explicit TGIFGlobalColorMap(TGIFHeader* AHeader) : FHeader(AHeader) {}
    void Warning(int Severity, const std::string& Message) override;
    void CountUse(std::array<std::pair<int64_t, int>, 256>& Histogram) override;
    void RemapPixels(const std::array<uint8_t, 256>& Table) override;
    void Compact() override;
    void NotifyChanged() override;

private:
    TGIFHeader* FHeader;
};

class TGIFLocalColorMap : public TGIFColorMap {
public:
    explicit TGIFLocalColorMap(TGIFSubImage* AFrame) : FFrame(AFrame) {}
    void Warning(int Severity, const std::string& Message) override;
    void CountUse(std::array<std::pair<int64_t, int>, 256>& Histogram) override;
    void RemapPixels(const std::array<uint8_t, 256>& Table) override;
    void Compact() override;
    void NotifyChanged() override;

private:
    TGIFSubImage* FFrame;
};

// ---- Items ----
class TGIFItem : public TPersistent {
public:
    explicit TGIFItem(TGIFImage* AImage) : Image(AImage) {}
    // 1 = GIF87a, 2 = GIF89a.
    virtual int FileVersion() const { return 1; }
    void Warning(int Severity, const std::string& Message);
    virtual void SaveToStream(TStream& Stream);
    virtual void LoadFromStream(TStream& Stream);
    void SaveToFileName(const std::string& FileName);
    void LoadFromFileName(const std::string& FileName);

    TGIFImage* Image;
};

class TGIFHeader : public TGIFItem {
public:
    explicit TGIFHeader(TGIFImage* AImage);
    // From a header (colour map, screen fields) or a colour map (header cleared, map copied).
    void Assign(TPersistent* Source) override;
    int FileVersion() const override;
    void RebuildScreenFields();
    TColor ScreenBackground();
    void SaveToStream(TStream& Stream) override;
    void LoadFromStream(TStream& Stream) override;

    uint16_t LogicalWidth = 0;
    uint16_t LogicalHeight = 0;
    uint8_t Packed = 0;
    uint8_t BackgroundIndex = 0;
    uint8_t AspectRatio = 0;
    TGIFGlobalColorMap ColorMap;
};

class TGIFTrailer : public TGIFItem {
public:
    using TGIFItem::TGIFItem;
    void SaveToStream(TStream& Stream) override;
    void LoadFromStream(TStream& Stream) override;
};

// ---- Lists (own their items) ----
class TGIFList : public TPersistent {
public:
    explicit TGIFList(TGIFImage* AImage) : Image(AImage) {}
    ~TGIFList() override;
    int EntryCount() const { return static_cast<int>(FItems.size()); }
    TGIFItem* EntryAt(int Index) const;
    int AppendEntry(TGIFItem* Item);
    void RemoveAt(int Index);
    void RemoveAll();
    // Takes the item out without freeing it.
    void DetachEntry(TGIFItem* Item);
    void Warning(int Severity, const std::string& Message);
    void SaveToStream(TStream& Stream);

    TGIFImage* Image;

protected:
    std::vector<TGIFItem*> FItems;
};

class TGIFImageList : public TGIFList {
public:
    using TGIFList::TGIFList;
    TGIFSubImage* Frame(int Index) const;
};

class TGIFExtension;
class TGIFExtensionList : public TGIFList {
public:
    using TGIFList::TGIFList;
    TGIFExtension* Extension(int Index) const;
};

// ---- Extensions ----
class TGIFExtension : public TGIFItem {
public:
    explicit TGIFExtension(TGIFSubImage* AFrame);
    ~TGIFExtension() override;
    virtual uint8_t BlockLabel() const = 0;
    int FileVersion() const override { return 2; }
    // Writes the introducer and the label.
    void SaveToStream(TStream& Stream) override;
    // A copy of this extension for another frame.
    virtual TGIFExtension* CopyFor(TGIFSubImage* AFrame) const = 0;
    // Reads the introducer and the label (which must be this kind's), then the block's data.
    void LoadFromStream(TStream& Stream) override;
    virtual void ReadBody(TStream& Stream) = 0;
    virtual void WriteBody(TStream& Stream) = 0;

    TGIFSubImage* HostFrame;
};

class TGIFGraphicControlExtension : public TGIFExtension {
public:
    explicit TGIFGraphicControlExtension(TGIFSubImage* AFrame);
    ~TGIFGraphicControlExtension() override;
    uint8_t BlockLabel() const override { return 0xF9; }
    TGIFExtension* CopyFor(TGIFSubImage* AFrame) const override;
    void ReadBody(TStream& Stream) override;
    void WriteBody(TStream& Stream) override;

    bool TransparentFlag() const { return (Packed & 0x01) != 0; }
    void SetTransparentFlag(bool Value);
    uint8_t TransparentIndex() const { return TransparentColorIndex; }
    // An index beyond the frame's colours warns "Invalid color index" and stores 0.
    void SetTransparentIndex(int Value);
    uint16_t DelayTicks() const { return Delay; }
    void SetDelayTicks(uint16_t Value) { Delay = Value; }
    bool UserInputFlag() const { return (Packed & 0x02) != 0; }
    uint8_t DisposalCode() const { return (Packed >> 2) & 7; }
    void SetDisposalCode(uint8_t Value) {
        Packed = static_cast<uint8_t>((Packed & ~0x1C) | ((Value & 7) << 2));
    }

    // The six bytes as stored.
    uint8_t BlockSize = 4;
    uint8_t Packed = 0;
    uint16_t Delay = 0;
    uint8_t TransparentColorIndex = 0;
    uint8_t Terminator = 0;
};

class TGIFTextExtension : public TGIFExtension {
public:
    using TGIFExtension::TGIFExtension;
    uint8_t BlockLabel() const override { return 0x01; }
    TGIFExtension* CopyFor(TGIFSubImage* AFrame) const override;
    void ReadBody(TStream& Stream) override;
    void WriteBody(TStream& Stream) override;

    uint8_t BlockSize = 12;
    uint16_t TextLeft = 0, TextTop = 0, TextWidth = 0, TextHeight = 0;
    uint8_t CellWidth = 0, CellHeight = 0, ForegroundIndex = 0, BackgroundIndex = 0;
    std::vector<std::string> TextLines;
};

class TGIFCommentExtension : public TGIFExtension {
public:
    using TGIFExtension::TGIFExtension;
    uint8_t BlockLabel() const override { return 0xFE; }
    TGIFExtension* CopyFor(TGIFSubImage* AFrame) const override;
    void ReadBody(TStream& Stream) override;
    void WriteBody(TStream& Stream) override;

    std::vector<std::string> CommentLines;
};

class TGIFApplicationExtension : public TGIFExtension {
public:
    using TGIFExtension::TGIFExtension;
    uint8_t BlockLabel() const override { return 0xFF; }
    // Block size and identifier, then the kind's own data sub-blocks.
    void ReadBody(TStream& Stream) override;
    void WriteBody(TStream& Stream) override;
    virtual void ReadAppData(TStream& Stream) = 0;
    virtual void WriteAppData(TStream& Stream) = 0;

    // 8-byte identifier and 3-byte authentication code.
    std::array<uint8_t, 11> AppIdent{};
};

// One raw data sub-block.
struct TGIFBlock {
    std::vector<uint8_t> Data;
};

class TGIFUnknownAppExtension : public TGIFApplicationExtension {
public:
    using TGIFApplicationExtension::TGIFApplicationExtension;
    TGIFExtension* CopyFor(TGIFSubImage* AFrame) const override;
    void ReadAppData(TStream& Stream) override;
    void WriteAppData(TStream& Stream) override;

    std::vector<TGIFBlock> DataBlocks;
};

class TGIFAppExtNSLoop : public TGIFApplicationExtension {
public:
    explicit TGIFAppExtNSLoop(TGIFSubImage* AFrame);
    TGIFExtension* CopyFor(TGIFSubImage* AFrame) const override;
    void ReadAppData(TStream& Stream) override;
    void WriteAppData(TStream& Stream) override;

    uint16_t LoopCount = 0;    // 0: without end
    uint32_t BufferBytes = 0;  // 0: not written
};

// ---- Frames ----
class TGIFSubImage : public TGIFItem {
public:
    explicit TGIFSubImage(TGIFImage* AImage);
    ~TGIFSubImage() override;
    // From a frame, a bitmap, any other graphic or a picture; EConvertError for anything else.
    void Assign(TPersistent* Source) override;
    void AssignFrom(TObject* Source);
    int FileVersion() const override;
    void SaveToStream(TStream& Stream) override;
    void LoadFromStream(TStream& Stream) override;

    int FrameLeft() const { return Left; }
    int FrameTop() const { return Top; }
    int FrameWidth() const { return Width; }
    int FrameHeight() const { return Height; }
    enum TFrameEdge : uint8_t { feLeft, feTop, feWidth, feHeight };
    void SetFrameEdge(TFrameEdge Edge, int Value);
    TRect FrameRect() const;
    // Moves and sizes the frame; pixel data is reallocated (zeroed) when the size changes, and the
    // logical screen grows to hold the frame (with warnings).
    void PlaceFrame(int ALeft, int ATop, int AWidth, int AHeight);

    bool IsInterlaced() const { return (Packed & 0x40) != 0; }
    int LocalDepth() const { return LocalMap.BitDepth(); }
    int LocalResolution() const { return LocalDepth() - 1; }
    void RebuildFrameFields();

    bool IsBlank() const;
    void AllocateData();
    void ReleaseData();
    void RequireData();
    uint8_t* RowAt(int Row);
    uint8_t& PixelAt(int Column, int Row);

    TGIFColorMap& EffectiveMap();
    // The palette to render with; owned by the frame, its bitmap or the image.
    HPALETTE PaletteForFrame();
    void ReplaceFramePalette(HPALETTE Palette);

    void DropFrameBitmap();
    void DropMask();
    // The frame drawn into an 8-bit bitmap (and its mask built), on first use; owned by the frame.
    // None for a blank frame.
    TBitmap* RenderedBitmap();
    // Whether the frame has a transparency mask (rebuilding the bitmap when the mask is stale).
    bool EnsureMask();
    void ResetFrame();
    // A bitmap receives the rendered frame.
    void AssignTo(TPersistent* Dest) override;
    void AssignToBitmap(TBitmap& Dest);

    // Applies a monochrome mask (set bits transparent) to the frame's colours and pixels.
    void ApplyMask(HBITMAP Mask);

    TGIFExtensionList ExtensionItems;
    TGIFLocalColorMap LocalMap;
    // The image descriptor as stored.
    uint8_t Separator = 0x2C;
    uint16_t Left = 0, Top = 0, Width = 0, Height = 0;
    uint8_t Packed = 0;
    std::unique_ptr<TBitmap> FrameBitmap;
    HBITMAP FrameMask = 0;
    bool MaskStale = true;
    std::vector<uint8_t> IndexData;
    int64_t IndexDataSize = 0;
    bool HasTransparency = false;
    TGIFGraphicControlExtension* ControlBlock = nullptr;
    HPALETTE FramePalette = 0;

private:
    void AssignFrame(TGIFSubImage& Source);
    void AssignBitmap(TBitmap& Source);
    void AssignGraphic(TGraphic& Source);
    void RenderDirect();
    void RenderDithered();
};

// ---- Animation ----
// Milliseconds waited per delay unit of a control extension.
constexpr int DelayUnitMs = 12;
// Units after a frame without a delay of its own; the least delay; the most (without a thread).
constexpr int DefaultDelay = 10, MinimumDelay = 3, MaximumDelay = 1000;

// Shows the frames of an animated picture in turn with their delays, disposal and loop count, on a
// thread of its own (paThreaded) or inside the call that starts it. Every painting step and event
// runs on the user-interface thread: a threaded painter hands them over with Synchronize and only
// waits on its own thread. Delays run on the framework's tick count.
class TGIFPainter : public framework::TThread {
public:
    TGIFPainter(TGIFImage* AImage, TGIFPaintOptions AOptions, const TRect& ARect, framework::TCanvas* ACanvas,
                TGIFPainter** ASlot);
    ~TGIFPainter() override;
    // Lets a threaded painter run.
    void Kick();
    // Ends the painter at its next check; a waiting painter is woken.
    void Halt();
    // Leaves the image: the slot and the painter list forget it, the buffers go.
    void DetachPainter();
    bool IsThreaded() const { return (PaintOptions & paThreaded) != 0; }
    // Runs the painting step of Execute (called directly on the user-interface thread).
    void Run() { Execute(); }

    TGIFImage* Image;
    framework::TCanvas* PaintTarget;
    TRect TargetRect;
    TGIFPaintOptions PaintOptions;
    int32_t SpeedPercent;
    // The frame being shown; -1 when idle. An OnFrameShown handler may set it to go on elsewhere.
    int FrameIndex = -1;
    uint8_t CurrentDisposal = 1, PreviousDisposal = 1;
    std::unique_ptr<TBitmap> SavedBackground, RestoreBuffer, ComposeBuffer;
    framework::HDC TargetDC = 0;
    std::atomic<bool> HasPainted{false};
    TGIFPainter** OwnerSlot;
    std::unique_ptr<framework::TEvent> WakeEvent;
    framework::TNotifyEvent OnAnimationStart, OnFrameShow, OnFrameShown, OnAnimationLoop, OnAnimationEnd;
    // Set while a step of this painter runs on the user-interface thread.
    int StepDepth = 0;

protected:
    void Execute() override;

private:
    void RunInUIThread(const std::function<void()>& Step);
    void FireHandler(const framework::TNotifyEvent& Handler);
    void WaitBeforeFrame(int Delay);
    void ComposeFrame();
    void PaintFrameDirect();
    void ClearRestoreArea(TBitmap& Buffer);
    TColor Backdrop = framework::clWhite;
    uint32_t LastTime = 0;
    int64_t LastWait = 0;
};

// ---- The image ----
class TGIFImage : public TGraphic {
public:
    TGIFImage();
    ~TGIFImage() override;
    TGIFImage(const TGIFImage&) = delete;
    TGIFImage& operator=(const TGIFImage&) = delete;

    void Draw(framework::TCanvas& ACanvas, const TRect& Rect) override;
    bool Empty() const override { return Frames.EntryCount() == 0; }
    int Width() const override { return ScreenHeader.LogicalWidth; }
    int Height() const override { return ScreenHeader.LogicalHeight; }
    void SetWidth(int Value) override;
    void SetHeight(int Value) override;
    void LoadFromStream(TStream& Stream) override;
    void SaveToStream(TStream& Stream) override;
    // Form data: tidied first when TidyBeforeStreaming is on.
    void WriteData(TStream& Stream) override;
    // Shrinks the animation before it is written: trims transparent edges (tdCrop), blanks pixels
    // that do not change (tdMerge), drops blocks and frames nothing needs (tdCleanup) and sorts the
    // colour maps by use (tdSortColorMaps). Colours are not reduced here.
    void Tidy(TGIFTidyOptions Options, TGIFReductionMethod Method, TGIFDitherKind Dither, int BitCount);
    void Assign(const TGraphic& Source) override;
    void LoadFromClipboardFormat(unsigned AFormat, const std::vector<uint8_t>& AData,
                                 HPALETTE APalette) override;
    void SaveToClipboardFormat(unsigned& AFormat, std::vector<uint8_t>& AData, HPALETTE& APalette) override;
    // True only for the same object.
    bool Equals(const TGraphic* Graphic) const { return Graphic == this; }

    void Warning(TObject* Sender, int Severity, const std::string& Message);
    using TGraphic::Progress;

    TGIFColorMap& ScreenColorMap() { return ScreenHeader.ColorMap; }
    TColor ScreenBackground() { return ScreenHeader.ScreenBackground(); }
    int ResolutionField() const;
    int MaxBitDepth() const;
    // A graphic becomes a new frame; a frame is taken as it is (the image owns it from now on).
    int AppendFrame(TObject* Object);

    // The whole logical screen as a bitmap (owned by the image); none when empty.
    TBitmap* GetComposite();
    TBitmap* NewComposite();
    void DropComposite();
    // The palette to draw with (owned by the image or a frame).
    HPALETTE GetPalette();
    void SetPalette(HPALETTE Palette);
    bool ShouldDither() const;
    void ResetImage();
    // Raises the change notification (Sender: the image).
    void NotifyChange(TObject* Sender);
    // Paints a frame into Rect (scaled as the logical screen into Rect unless tiled).
    void PaintInto(TGIFSubImage& Frame, framework::TCanvas& Canvas, const TRect& Rect, bool Tile,
                   bool Transparent);
    TRect ScaleRect(const TGIFSubImage& Frame, const TRect& Rect) const;

    // Creates a painter for Canvas and Rect; returns it (suspended) when it runs on its own
    // thread; otherwise it has run to its end here and none is returned.
    TGIFPainter* StartPainter(TGIFPainter** Slot, framework::TCanvas& Canvas, TGIFPaintOptions Options,
                              const TRect& Rect);
    // Halting waits until the painter threads have ended (serving their synchronised steps).
    void HaltMainPainter();
    void HaltAllPainters();
    // Painters of this image that still exist (threads not yet joined included).
    int PainterCount();

    TGIFImageList Frames;
    TGIFHeader ScreenHeader;
    HPALETTE ScreenPalette = 0;
    TGIFPaintOptions PaintOptions = DefaultPaintOptions;
    TGIFReductionMethod ReductionMethod = rdWebCube;
    int32_t ReductionBitCount = 8;
    TGIFDitherKind DitherKind = dkNearest;
    TGIFCompressionKind CompressionKind = ckLZW;
    TGIFWarning OnWarning;
    std::unique_ptr<TBitmap> CompositeBitmap;
    framework::TThreadPriority PainterPriority = framework::tpNormal;
    int32_t SpeedPercent = 100;
    TColor BackdropColor = framework::clNone;
    framework::TNotifyEvent OnAnimationStart, OnFrameShow, OnFrameShown, OnAnimationLoop, OnAnimationEnd;
    TGIFPainter* MainPainter = nullptr;
    // Painters of the image; guarded by PainterLock (re-entrant).
    std::vector<TGIFPainter*> PainterList;
    framework::TCriticalSection PainterLock;
    bool InDraw = false;
    bool InPaletteQuery = false;
    bool PaletteModified = false;
};

// ---- Bitmap rows in a fixed pixel format ----
class TDIB {
public:
    TDIB(TBitmap& ABitmap, TPixelFormat AFormat) : Bitmap(ABitmap), PixelFormat(AFormat) {}
    virtual ~TDIB() = default;
    TDIB(const TDIB&) = delete;
    TDIB& operator=(const TDIB&) = delete;
    virtual uint8_t* RowPointer(int Row) = 0;

protected:
    TBitmap& Bitmap;
    TPixelFormat PixelFormat;
};

// Converts the bitmap to the pixel format and hands out its own rows.
class TDIBReader : public TDIB {
public:
    TDIBReader(TBitmap& ABitmap, TPixelFormat AFormat);
    uint8_t* RowPointer(int Row) override;
};

// Builds an 8- or 24-bit device-independent bitmap row by row; the target bitmap receives it when
// the writer is destroyed (or Commit is called).
class TDIBWriter : public TDIB {
public:
    TDIBWriter(TBitmap& ABitmap, HPALETTE APalette, int AHeight, int AWidth, TPixelFormat AFormat);
    ~TDIBWriter() override;
    uint8_t* RowPointer(int Row) override;
    int Stride() const { return RowBytes(FWidth, FBits, 32); }
    // The BMP file of what was written: file header, info header with colour table, pixels.
    void CommitToStream(TStream& Stream);
    // Loads the target bitmap from the DIB (once) and frees the buffers.
    void Commit();

private:
    void EnsureDIB();
    void BuildDIB();
    int FHeight, FWidth, FBits;
    HPALETTE FPalette;
    std::vector<uint8_t> FHeader;  // info header and colour table
    std::vector<uint8_t> FPixels;
    bool FBuilt = false;
};

// ---- Start-up and shutdown of the codec ----
// Registers "GIF" / "GIF Image" with TPicture's file formats, the class name "TGIFImage" and the
// clipboard format "GIF Image"; reads the screen's depth into ScreenUsesPalette. Once only.
void GIFImageStartup();
void GIFImageShutdown();
unsigned GIFClipboardFormat();
// Set at start-up when the screen has 8 bits per pixel or less (frames are then dithered).
extern bool ScreenUsesPalette;
extern bool RenderWhileLoading;
extern bool TidyBeforeStreaming;

// ---- Colour reduction ----
// Fixed palettes, owned by the caller. The colour cube: levels 0, 51 … 255, red outermost.
HPALETTE WebPalette();
HPALETTE Gray256Palette();
HPALETTE BlackWhitePalette();
// The greys 0, 128, 192 and 255.
HPALETTE SystemGray4Palette();
// The 20 static colours at both ends (entries 0–9 and 246–255), the colour cube and greys between.
HPALETTE HalftoneSystemPalette();
// A palette of Colors entries built from the picture's own colours (an octree of ColorBits levels).
// With system colours: 256 entries, the static colours at both ends and 236 of the picture's between.
// Entries the picture does not fill are black.
HPALETTE OctreePalette(TBitmap& Bitmap, int Colors, int ColorBits, bool WithSystemColors);

// Maps a colour to the nearest one a palette holds: its index, and the colour chosen.
class TColorLookup {
public:
    virtual ~TColorLookup() = default;
    virtual int Nearest(int R, int G, int B, int& CR, int& CG, int& CB) = 0;
    int PaletteSize = 0;
};

// Any palette: the first entry with the smallest |dR| + |dG| + |dB|, cached per 15-bit colour key.
class TFastColorLookup : public TColorLookup {
public:
    explicit TFastColorLookup(HPALETTE Palette);
    int Nearest(int R, int G, int B, int& CR, int& CG, int& CB) override;
    static int Key(int R, int G, int B) { return (R >> 3) | ((G & 0xF8) << 2) | ((B & 0xF8) << 7); }
    std::vector<int16_t> Cache;  // 32768 entries, -1 when not yet known

private:
    std::vector<std::array<uint8_t, 3>> FEntries;
};

// The colour cube: each channel to level (value + 3) / 51.
class TNetscapeColorLookup : public TColorLookup {
public:
    TNetscapeColorLookup() { PaletteSize = 216; }
    int Nearest(int R, int G, int B, int& CR, int& CG, int& CB) override;
};

// 256 greys: (R × 77 + G × 150 + B × 29) >> 8.
class TGrayScaleLookup : public TColorLookup {
public:
    TGrayScaleLookup() { PaletteSize = 256; }
    int Nearest(int R, int G, int B, int& CR, int& CG, int& CB) override;
};

// Black (0) or white (1) by the same weighted sum.
class TMonochromeLookup : public TColorLookup {
public:
    TMonochromeLookup() { PaletteSize = 2; }
    int Nearest(int R, int G, int B, int& CR, int& CG, int& CB) override;
};

// Walks rows in serpentine order: Cursor is the column of the next pixel, Step its direction. The
// plain engine gives the nearest colour; the kinds below spread each pixel's error over neighbours.
class TDitherEngine {
public:
    TDitherEngine(int ARowWidth, TColorLookup& ALookup) : RowWidth(ARowWidth), Lookup(ALookup) {}
    virtual ~TDitherEngine() = default;
    virtual int DitherPixel(int R, int G, int B);
    virtual void AdvanceRow();
    // A pixel that is not dithered: the column moves on.
    virtual void AdvanceColumn() { Cursor += Step; }

    int RowWidth;
    int Cursor = 0;
    int Step = 1;
    TColorLookup& Lookup;
};

// Floyd–Steinberg with one error row per channel and three running values.
class TFloydSteinbergDitherer : public TDitherEngine {
public:
    TFloydSteinbergDitherer(int ARowWidth, TColorLookup& ALookup);
    int DitherPixel(int R, int G, int B) override;
    void AdvanceRow() override;
    void AdvanceColumn() override;

private:
    std::vector<int32_t> E[3];
    int K = 0;
    int Carry[3] = {}, Below[3] = {}, BelowPrev[3] = {};
};

// One entry of an error-spreading kernel: Row rows below, Offset columns ahead in the direction of
// travel, Weight parts of WeightSum.
struct TKernelEntry {
    int Row, Offset, Weight;
};

// Error diffusion over several rows (Stucki, Sierra, Jarvis–Judice–Ninke, Burkes, Stevenson–Arce):
// rows of RowWidth + 2 × Margin entries per channel, rotated after each row.
class TKernelDitherer : public TDitherEngine {
public:
    TKernelDitherer(int ARowWidth, TColorLookup& ALookup, int ARows, int AMargin, int AWeightSum,
                    std::vector<TKernelEntry> AKernel);
    int DitherPixel(int R, int G, int B) override;
    void AdvanceRow() override;
    void AdvanceColumn() override;

private:
    int Margin, WeightSum;
    std::vector<TKernelEntry> Kernel;
    std::vector<std::vector<int32_t>> E[3];  // E[channel][row]
    int K;
};

// The ditherer of a kind (none for an unknown kind).
std::unique_ptr<TDitherEngine> NewDitherer(TGIFDitherKind Kind, int RowWidth, TColorLookup& Lookup);

// A new bitmap of at most 8 bits per pixel (24 for rdNone) holding Bitmap's picture with colours
// reduced by Method; an empty bitmap for an unknown method or kind or a palette without colours.
// The source is not changed.
std::unique_ptr<TBitmap> ReduceBitmap(TBitmap& Bitmap, TGIFReductionMethod Method, TGIFDitherKind Dither,
                                      HPALETTE CustomPalette, int BitCount);

}  // namespace codecs
