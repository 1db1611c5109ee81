// The GIF picture model: colour maps, items, lists, extensions, frames and the image.
#include "codecs/gif/GIFImage.h"

#include <algorithm>
#include <cstring>

#include "framework/core/Stream.h"

namespace codecs {

using namespace framework;

// ---------------------------------------------------------------------------------------------
// Helpers

void RaiseGIFError(const std::string& Message) {
    throw GIFException(Message);
}

uintptr_t CheckGDI(uintptr_t Handle) {
    if (Handle == 0) throw EOutOfResources("Out of system resources");
    return Handle;
}

int RowBytes(int Width, int Bits, int Alignment) {
    int64_t bits = int64_t(Width) * Bits + Alignment - 1;
    bits -= bits % Alignment;
    return static_cast<int>(bits / 8);
}

int BitsForColors(int Count) {
    if (Count <= 0) return 0;
    int b = 1;
    while ((1 << b) < Count) ++b;
    return b;
}

namespace {
// A frame or screen size the codec accepts: 16-bit fields, at most MaxGIFPixels pixels.
void CheckSize(int64_t Width, int64_t Height) {
    if (Width < 0 || Height < 0 || Width > 0xFFFF || Height > 0xFFFF || Width * Height > MaxGIFPixels)
        RaiseGIFError("Image dimensions exceed the picture size limit");
}
}  // namespace

// ---------------------------------------------------------------------------------------------
// Colour maps

TGIFColorMap::~TGIFColorMap() = default;

void TGIFColorMap::Assign(TPersistent* Source) {
    auto* m = dynamic_cast<TGIFColorMap*>(Source);
    if (!m) {
        TPersistent::Assign(Source);
        return;
    }
    if (m == this) return;
    ColorCount = m->ColorCount;
    Room = m->Room;
    Sorted = m->Sorted;
    Triples = m->Triples;
    NotifyChanged();
}

void TGIFColorMap::ClearColors() {
    Triples.clear();
    ColorCount = 0;
    Room = 0;
    Sorted = false;
}

void TGIFColorMap::Grow(int N) {
    if (N < Room) return;
    if (N <= 16)
        Room = 16;
    else
        Room = std::min(256, (N + 31) / 32 * 32);
    Triples.resize(static_cast<size_t>(Room) * 3);
}

void TGIFColorMap::ReadColors(TStream& Stream, int N) {
    ClearColors();
    N = std::clamp(N, 0, 256);
    if (N == 0) return;
    Grow(N);
    if (Stream.Read(Triples.data(), N * 3) != N * 3) RaiseGIFError("Premature end of data");
    ColorCount = N;
}

void TGIFColorMap::WriteColors(TStream& Stream, int Entries) const {
    if (ColorCount == 0) return;
    Stream.WriteBuffer(Triples.data(), ColorCount * 3);
    const int total = std::clamp(std::max(Entries, 1 << BitDepth()), ColorCount, 256);
    std::vector<uint8_t> pad(static_cast<size_t>(total - ColorCount) * 3, 0);
    if (!pad.empty()) Stream.WriteBuffer(pad.data(), static_cast<int32_t>(pad.size()));
}

namespace {
TColor TripleColor(const std::vector<uint8_t>& T, int I) {
    return RGB(T[I * 3], T[I * 3 + 1], T[I * 3 + 2]);
}
}  // namespace

int TGIFColorMap::FindColor(TColor Color) const {
    if (Sorted) {
        for (int i = 0; i < ColorCount; ++i)
            if (TripleColor(Triples, i) == Color) return i;
    } else {
        for (int i = ColorCount - 1; i >= 0; --i)
            if (TripleColor(Triples, i) == Color) return i;
    }
    return -1;
}

int TGIFColorMap::AppendColor(TColor Color) {
    if (ColorCount >= 256) RaiseGIFError("Color table overflow");
    if (ColorCount >= Room) Grow(ColorCount + 1);
    int i = ColorCount++;
    Triples[i * 3] = GetRValue(Color);
    Triples[i * 3 + 1] = GetGValue(Color);
    Triples[i * 3 + 2] = GetBValue(Color);
    Sorted = false;
    NotifyChanged();
    return i;
}

int TGIFColorMap::AppendIfAbsent(TColor Color) {
    int i = FindColor(Color);
    return i >= 0 ? i : AppendColor(Color);
}

void TGIFColorMap::RemoveColor(int Index) {
    if (Index < 0 || Index >= ColorCount) RaiseGIFError("Invalid color index");
    std::memmove(Triples.data() + Index * 3, Triples.data() + (Index + 1) * 3,
                 static_cast<size_t>(ColorCount - Index - 1) * 3);
    --ColorCount;
    Sorted = false;
    NotifyChanged();
}

TColor TGIFColorMap::ColorAt(int Index) {
    if (Index < 0 || Index >= ColorCount) {
        Warning(1, "Invalid color index");
        if (ColorCount == 0) RaiseGIFError("Color table is empty");
        Index = 0;
    }
    return TripleColor(Triples, Index);
}

void TGIFColorMap::FromPalette(HPALETTE Palette) {
    ClearColors();
    if (Palette) {
        unsigned n = std::min(256u, GetPaletteEntries(Palette, 0, 0, nullptr));
        std::vector<TPaletteEntry> e(n);
        n = GetPaletteEntries(Palette, 0, n, e.data());
        if (n) {
            Grow(static_cast<int>(n));
            for (unsigned i = 0; i < n; ++i) {
                Triples[i * 3] = e[i].peRed;
                Triples[i * 3 + 1] = e[i].peGreen;
                Triples[i * 3 + 2] = e[i].peBlue;
            }
            ColorCount = static_cast<int>(n);
        }
    }
    NotifyChanged();
}

void TGIFColorMap::FromQuadTable(const uint8_t* Table, int N) {
    ClearColors();
    N = std::clamp(N, 0, 256);
    if (N) {
        Grow(N);
        for (int i = 0; i < N; ++i) {
            Triples[i * 3] = Table[i * 4 + 2];
            Triples[i * 3 + 1] = Table[i * 4 + 1];
            Triples[i * 3 + 2] = Table[i * 4];
        }
        ColorCount = N;
    }
    NotifyChanged();
}

void TGIFColorMap::FromDIBTable(const TBitmap& Bitmap) {
    std::vector<TColor> table = Bitmap.ColorTable();
    std::vector<uint8_t> quads;
    for (size_t i = 0; i < std::min<size_t>(256, table.size()); ++i) {
        uint32_t c = table[i];
        quads.insert(quads.end(), {GetBValue(c), GetGValue(c), GetRValue(c), 0});
    }
    FromQuadTable(quads.data(), static_cast<int>(quads.size() / 4));
}

HPALETTE TGIFColorMap::ToPalette() const {
    if (ColorCount == 0) return 0;
    std::vector<TPaletteEntry> e(static_cast<size_t>(ColorCount));
    for (int i = 0; i < ColorCount; ++i)
        e[i] = TPaletteEntry{Triples[i * 3], Triples[i * 3 + 1], Triples[i * 3 + 2], PC_NOCOLLAPSE};
    return CheckGDI(CreatePalette(0x300, e));
}

namespace {
using TUsePair = std::pair<int64_t, int>;  // (count, index)

// Quicksort on the middle element, largest counts first. Equal counts keep the order this
// partition gives.
void UseSort(std::array<TUsePair, 256>& A, int L, int R) {
    while (L < R) {
        int i = L, j = R;
        int64_t pivot = A[(L + R) / 2].first;
        while (i <= j) {
            while (A[i].first > pivot) ++i;
            while (A[j].first < pivot) --j;
            if (i <= j) {
                std::swap(A[i], A[j]);
                ++i;
                --j;
            }
        }
        if (L < j) UseSort(A, L, j);
        L = i;
    }
}
}  // namespace

bool TGIFColorMap::SortByUse() {
    if (ColorCount < 2) return false;
    Sorted = true;
    std::array<TUsePair, 256> h;
    for (int i = 0; i < 256; ++i) h[i] = {0, i};
    CountUse(h);
    UseSort(h, 0, ColorCount - 1);
    bool inOrder = true;
    for (int i = 0; i < ColorCount; ++i)
        if (h[i].second != i) inOrder = false;
    if (inOrder) return true;
    std::array<uint8_t, 256> table;
    for (int i = 0; i < 256; ++i) table[i] = static_cast<uint8_t>(i);
    for (int i = 0; i < ColorCount; ++i) table[h[i].second] = static_cast<uint8_t>(i);
    RemapPixels(table);
    std::vector<uint8_t> moved(Triples.size(), 0);
    for (int i = 0; i < ColorCount; ++i)
        std::memcpy(moved.data() + i * 3, Triples.data() + h[i].second * 3, 3);
    Triples = std::move(moved);
    for (int i = 0; i < ColorCount; ++i)
        if (h[i].first == 0) {
            ColorCount = i;
            break;
        }
    NotifyChanged();
    return true;
}

// The global map serves the frames without local colours.
void TGIFGlobalColorMap::Warning(int Severity, const std::string& Message) {
    if (FHeader->Image) FHeader->Image->Warning(this, Severity, Message);
}

void TGIFGlobalColorMap::CountUse(std::array<std::pair<int64_t, int>, 256>& Histogram) {
    TGIFImage* img = FHeader->Image;
    for (int f = 0; f < img->Frames.EntryCount(); ++f) {
        TGIFSubImage* fr = img->Frames.Frame(f);
        if (&fr->EffectiveMap() != this) continue;
        for (uint8_t p : fr->IndexData) ++Histogram[p].first;
    }
}

void TGIFGlobalColorMap::RemapPixels(const std::array<uint8_t, 256>& Table) {
    TGIFImage* img = FHeader->Image;
    for (int f = 0; f < img->Frames.EntryCount(); ++f) {
        TGIFSubImage* fr = img->Frames.Frame(f);
        if (&fr->EffectiveMap() != this) continue;
        for (uint8_t& p : fr->IndexData) p = Table[p];
        if (fr->HasTransparency && fr->ControlBlock)
            fr->ControlBlock->SetTransparentIndex(Table[fr->ControlBlock->TransparentIndex()]);
        fr->DropFrameBitmap();
    }
}

void TGIFGlobalColorMap::Compact() {
    if (FHeader->Image->Frames.EntryCount() > 0) SortByUse();
}

void TGIFGlobalColorMap::NotifyChanged() {
    TGIFImage* img = FHeader->Image;
    img->SetPalette(0);
    // Frames drawn with these colours are drawn again.
    for (int f = 0; f < img->Frames.EntryCount(); ++f) {
        TGIFSubImage* fr = img->Frames.Frame(f);
        if (fr->LocalMap.ColorCount == 0) fr->DropFrameBitmap();
    }
}

void TGIFLocalColorMap::Warning(int Severity, const std::string& Message) {
    if (FFrame->Image) FFrame->Image->Warning(this, Severity, Message);
}

void TGIFLocalColorMap::CountUse(std::array<std::pair<int64_t, int>, 256>& Histogram) {
    for (uint8_t p : FFrame->IndexData) ++Histogram[p].first;
}

void TGIFLocalColorMap::RemapPixels(const std::array<uint8_t, 256>& Table) {
    for (uint8_t& p : FFrame->IndexData) p = Table[p];
    if (FFrame->HasTransparency && FFrame->ControlBlock)
        FFrame->ControlBlock->SetTransparentIndex(Table[FFrame->ControlBlock->TransparentIndex()]);
    FFrame->DropFrameBitmap();
}

void TGIFLocalColorMap::Compact() {
    SortByUse();
}

void TGIFLocalColorMap::NotifyChanged() {
    FFrame->ReplaceFramePalette(0);
    FFrame->DropFrameBitmap();
}

// ---------------------------------------------------------------------------------------------
// Items

void TGIFItem::Warning(int Severity, const std::string& Message) {
    if (Image) Image->Warning(this, Severity, Message);
}

void TGIFItem::SaveToStream(TStream&) {}
void TGIFItem::LoadFromStream(TStream&) {}

void TGIFItem::SaveToFileName(const std::string& FileName) {
    TFileStream s(FileName, fmCreate);
    SaveToStream(s);
}

void TGIFItem::LoadFromFileName(const std::string& FileName) {
    TFileStream s(FileName, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(s);
}

TGIFHeader::TGIFHeader(TGIFImage* AImage) : TGIFItem(AImage), ColorMap(this) {}

void TGIFHeader::Assign(TPersistent* Source) {
    if (auto* h = dynamic_cast<TGIFHeader*>(Source)) {
        if (h == this) return;
        ColorMap.Assign(&h->ColorMap);
        LogicalWidth = h->LogicalWidth;
        LogicalHeight = h->LogicalHeight;
        Packed = h->Packed;
        BackgroundIndex = h->BackgroundIndex;
        AspectRatio = h->AspectRatio;
    } else if (auto* m = dynamic_cast<TGIFColorMap*>(Source)) {
        LogicalWidth = LogicalHeight = 0;
        Packed = BackgroundIndex = AspectRatio = 0;
        ColorMap.Assign(m);
    } else {
        TGIFItem::Assign(Source);
    }
}

int TGIFHeader::FileVersion() const {
    int v = 0;
    for (int i = 0; Image && i < Image->Frames.EntryCount(); ++i) {
        v = std::max(v, Image->Frames.Frame(i)->FileVersion());
        if (v >= 2) break;
    }
    return v;
}

void TGIFHeader::RebuildScreenFields() {
    uint8_t p = 0;
    if (ColorMap.ColorCount > 0) {
        p |= 0x80;
        if (ColorMap.Sorted) p |= 0x08;
    }
    p |= static_cast<uint8_t>((Image->ResolutionField() << 4) & 0x70);
    p |= static_cast<uint8_t>((Image->MaxBitDepth() - 1) & 7);
    Packed = p;
}

TColor TGIFHeader::ScreenBackground() {
    return ColorMap.ColorAt(BackgroundIndex);
}

void TGIFTrailer::SaveToStream(TStream& Stream) {
    const uint8_t b = 0x3B;
    Stream.WriteBuffer(&b, 1);
}

// ---------------------------------------------------------------------------------------------
// Lists

TGIFList::~TGIFList() {
    RemoveAll();
}

TGIFItem* TGIFList::EntryAt(int Index) const {
    if (Index < 0 || Index >= EntryCount())
        throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
    return FItems[static_cast<size_t>(Index)];
}

int TGIFList::AppendEntry(TGIFItem* Item) {
    FItems.push_back(Item);
    return EntryCount() - 1;
}

void TGIFList::RemoveAt(int Index) {
    TGIFItem* item = EntryAt(Index);
    FItems.erase(FItems.begin() + Index);
    delete item;
}

void TGIFList::RemoveAll() {
    while (!FItems.empty()) RemoveAt(EntryCount() - 1);
}

void TGIFList::DetachEntry(TGIFItem* Item) {
    auto it = std::find(FItems.begin(), FItems.end(), Item);
    if (it != FItems.end()) FItems.erase(it);
}

void TGIFList::Warning(int Severity, const std::string& Message) {
    if (Image) Image->Warning(this, Severity, Message);
}

void TGIFList::SaveToStream(TStream& Stream) {
    for (TGIFItem* item : FItems) item->SaveToStream(Stream);
}

TGIFSubImage* TGIFImageList::Frame(int Index) const {
    return static_cast<TGIFSubImage*>(EntryAt(Index));
}

TGIFExtension* TGIFExtensionList::Extension(int Index) const {
    return static_cast<TGIFExtension*>(EntryAt(Index));
}

// ---------------------------------------------------------------------------------------------
// Extensions

TGIFExtension::TGIFExtension(TGIFSubImage* AFrame) : TGIFItem(AFrame->Image), HostFrame(AFrame) {}

TGIFExtension::~TGIFExtension() {
    if (HostFrame) HostFrame->ExtensionItems.DetachEntry(this);
}

void TGIFExtension::SaveToStream(TStream& Stream) {
    const uint8_t b[2] = {0x21, BlockLabel()};
    Stream.WriteBuffer(b, 2);
    WriteBody(Stream);
}

TGIFGraphicControlExtension::TGIFGraphicControlExtension(TGIFSubImage* AFrame) : TGIFExtension(AFrame) {
    if (!AFrame->ControlBlock) AFrame->ControlBlock = this;
}

TGIFGraphicControlExtension::~TGIFGraphicControlExtension() {
    if (HostFrame) {
        if (TransparentFlag()) HostFrame->HasTransparency = false;
        if (HostFrame->ControlBlock == this) HostFrame->ControlBlock = nullptr;
    }
}

void TGIFGraphicControlExtension::SetTransparentFlag(bool Value) {
    Packed = static_cast<uint8_t>(Value ? (Packed | 0x01) : (Packed & ~0x01));
    if (HostFrame) HostFrame->HasTransparency = Value;
}

void TGIFGraphicControlExtension::SetTransparentIndex(int Value) {
    if (HostFrame) {
        TGIFColorMap& m = HostFrame->EffectiveMap();
        if (m.ColorCount > 0 && (Value < 0 || Value >= m.ColorCount)) {
            Warning(1, "Invalid color index");
            Value = 0;
        }
    }
    TransparentColorIndex = static_cast<uint8_t>(Value);
}

TGIFExtension* TGIFGraphicControlExtension::CopyFor(TGIFSubImage* AFrame) const {
    auto* e = new TGIFGraphicControlExtension(AFrame);
    e->BlockSize = BlockSize;
    e->Packed = Packed;
    e->Delay = Delay;
    e->TransparentColorIndex = TransparentColorIndex;
    e->Terminator = Terminator;
    return e;
}

TGIFExtension* TGIFTextExtension::CopyFor(TGIFSubImage* AFrame) const {
    auto* e = new TGIFTextExtension(AFrame);
    e->BlockSize = BlockSize;
    e->TextLeft = TextLeft;
    e->TextTop = TextTop;
    e->TextWidth = TextWidth;
    e->TextHeight = TextHeight;
    e->CellWidth = CellWidth;
    e->CellHeight = CellHeight;
    e->ForegroundIndex = ForegroundIndex;
    e->BackgroundIndex = BackgroundIndex;
    e->TextLines = TextLines;
    return e;
}

TGIFExtension* TGIFCommentExtension::CopyFor(TGIFSubImage* AFrame) const {
    auto* e = new TGIFCommentExtension(AFrame);
    e->CommentLines = CommentLines;
    return e;
}

TGIFExtension* TGIFUnknownAppExtension::CopyFor(TGIFSubImage* AFrame) const {
    auto* e = new TGIFUnknownAppExtension(AFrame);
    e->AppIdent = AppIdent;
    e->DataBlocks = DataBlocks;
    return e;
}

TGIFAppExtNSLoop::TGIFAppExtNSLoop(TGIFSubImage* AFrame) : TGIFApplicationExtension(AFrame) {
    std::memcpy(AppIdent.data(), "NETSCAPE2.0", 11);
}

TGIFExtension* TGIFAppExtNSLoop::CopyFor(TGIFSubImage* AFrame) const {
    auto* e = new TGIFAppExtNSLoop(AFrame);
    e->AppIdent = AppIdent;
    e->LoopCount = LoopCount;
    e->BufferBytes = BufferBytes;
    return e;
}

// ---------------------------------------------------------------------------------------------
// Frames

TGIFSubImage::TGIFSubImage(TGIFImage* AImage) : TGIFItem(AImage), ExtensionItems(AImage), LocalMap(this) {}

TGIFSubImage::~TGIFSubImage() {
    if (Image) Image->Frames.DetachEntry(this);
    ResetFrame();
    if (FramePalette) DeleteObject(FramePalette);
}

int TGIFSubImage::FileVersion() const {
    if (LocalMap.Sorted || ExtensionItems.EntryCount() > 0) return 2;
    return 1;
}

void TGIFSubImage::SetFrameEdge(TFrameEdge Edge, int Value) {
    switch (Edge) {
        case feLeft:
            PlaceFrame(Value, Top, Width, Height);
            break;
        case feTop:
            PlaceFrame(Left, Value, Width, Height);
            break;
        case feWidth:
            PlaceFrame(Left, Top, Value, Height);
            break;
        case feHeight:
            PlaceFrame(Left, Top, Width, Value);
            break;
    }
}

TRect TGIFSubImage::FrameRect() const {
    return TRect{Left, Top, Left + Width, Top + Height};
}

void TGIFSubImage::PlaceFrame(int ALeft, int ATop, int AWidth, int AHeight) {
    // Nothing is allocated for a frame the codec could not write or the screen could not hold.
    CheckSize(AWidth, AHeight);
    CheckSize(int64_t(ALeft) + AWidth, int64_t(ATop) + AHeight);
    const bool sizeChanged = AWidth != Width || AHeight != Height;
    Left = static_cast<uint16_t>(ALeft);
    Top = static_cast<uint16_t>(ATop);
    Width = static_cast<uint16_t>(AWidth);
    Height = static_cast<uint16_t>(AHeight);
    if (sizeChanged) {
        DropFrameBitmap();
        AllocateData();
    }
    if (!Image) return;
    bool warned = false;
    if (Image->Width() < Left + Width) {
        if (Image->Width() > 0) {
            Warning(1, "Image width too small for contained frames");
            warned = true;
        }
        Image->SetWidth(Left + Width);
    }
    if (Image->Height() < Top + Height) {
        if (Image->Height() > 0) {
            Warning(1, "Image height too small for contained frames");
            warned = true;
        }
        Image->SetHeight(Top + Height);
    }
    if (warned) Warning(1, "Image exceeds Logical Screen size");
}

void TGIFSubImage::RebuildFrameFields() {
    if (LocalMap.ColorCount > 0) {
        uint8_t p = 0x80;
        if (LocalMap.Sorted) p |= 0x20;
        p |= static_cast<uint8_t>(LocalResolution() & 7);
        Packed = p;
    } else {
        Packed &= 0x58;
    }
}

bool TGIFSubImage::IsBlank() const {
    return IndexData.empty() || IndexDataSize == 0 || Width == 0 || Height == 0;
}

void TGIFSubImage::AllocateData() {
    ReleaseData();
    int64_t n = int64_t(Width) * Height;
    if (n == 0) return;
    IndexData.assign(static_cast<size_t>(n), 0);
    IndexDataSize = n;
}

void TGIFSubImage::ReleaseData() {
    IndexData.clear();
    IndexData.shrink_to_fit();
    IndexDataSize = 0;
}

void TGIFSubImage::RequireData() {
    if (IndexData.empty()) {
        if (int64_t(Width) * Height == 0) RaiseGIFError("Image is empty");
        AllocateData();
    }
}

uint8_t* TGIFSubImage::RowAt(int Row) {
    if (Row < 0 || Row >= Height) RaiseGIFError("Invalid pixel coordinates");
    RequireData();
    return IndexData.data() + static_cast<size_t>(Row) * Width;
}

uint8_t& TGIFSubImage::PixelAt(int Column, int Row) {
    if (Column < 0 || Column >= Width) RaiseGIFError("Invalid pixel coordinates");
    return RowAt(Row)[Column];
}

TGIFColorMap& TGIFSubImage::EffectiveMap() {
    if (LocalMap.ColorCount > 0) return LocalMap;
    if (Image && Image->ScreenHeader.ColorMap.ColorCount > 0) return Image->ScreenHeader.ColorMap;
    return LocalMap;
}

HPALETTE TGIFSubImage::PaletteForFrame() {
    if (FrameBitmap)
        if (HPALETTE p = FrameBitmap->Palette()) return p;
    if (FramePalette) return FramePalette;
    if (Image && Image->ShouldDither())
        FramePalette = WebPalette();
    else if (LocalMap.ColorCount > 0)
        FramePalette = LocalMap.ToPalette();
    if (FramePalette) return FramePalette;
    return Image ? Image->GetPalette() : 0;
}

void TGIFSubImage::ReplaceFramePalette(HPALETTE Palette) {
    if (Palette == FramePalette) return;
    if (FramePalette) DeleteObject(FramePalette);
    FramePalette = Palette;
    if (FrameBitmap) {
        DropFrameBitmap();
        if (Image) {
            Image->PaletteModified = true;
            Image->NotifyChange(this);
        }
    }
}

void TGIFSubImage::DropFrameBitmap() {
    FrameBitmap.reset();
    DropMask();
}

void TGIFSubImage::DropMask() {
    if (FrameMask) DeleteObject(FrameMask);
    FrameMask = 0;
    MaskStale = true;
}

void TGIFSubImage::ResetFrame() {
    ExtensionItems.RemoveAll();
    LocalMap.ClearColors();
    ReleaseData();
    Height = Width = 0;
    HasTransparency = false;
    ControlBlock = nullptr;
    DropFrameBitmap();
}

void TGIFSubImage::AssignTo(TPersistent* Dest) {
    TGIFItem::AssignTo(Dest);
}

void TGIFSubImage::AssignToBitmap(TBitmap& Dest) {
    TBitmap* b = RenderedBitmap();
    if (b)
        Dest.Assign(*b);
    else
        Dest.SetSize(0, 0);
}

void TGIFSubImage::Assign(TPersistent* Source) {
    AssignFrom(Source);
}

void TGIFSubImage::AssignFrame(TGIFSubImage& Source) {
    if (&Source == this) return;
    ResetFrame();
    if (Source.IsBlank()) return;
    Separator = Source.Separator;
    Left = Source.Left;
    Top = Source.Top;
    Width = Source.Width;
    Height = Source.Height;
    Packed = Source.Packed;
    HasTransparency = Source.HasTransparency;
    AllocateData();
    std::memcpy(IndexData.data(), Source.IndexData.data(), IndexData.size());
    LocalMap.Assign(&Source.LocalMap);
    for (int i = 0; i < Source.ExtensionItems.EntryCount(); ++i)
        ExtensionItems.AppendEntry(Source.ExtensionItems.Extension(i)->CopyFor(this));
    HasTransparency = Source.HasTransparency;
    if (Source.FrameBitmap) {
        FrameBitmap = std::make_unique<TBitmap>();
        FrameBitmap->Assign(*Source.FrameBitmap);
    }
}

// ---------------------------------------------------------------------------------------------
// Rendering

bool TGIFSubImage::EnsureMask() {
    if (MaskStale && HasTransparency) {
        DropFrameBitmap();
        RenderedBitmap();
    }
    return FrameMask != 0;
}

TBitmap* TGIFSubImage::RenderedBitmap() {
    if (FrameBitmap) return FrameBitmap.get();
    if (IsBlank()) return nullptr;
    const TRect none{};
    if (Image) Image->Progress(this, psStarting, 0, false, none, "Rendering...");
    bool ok = false;
    try {
        if (Image && Image->ShouldDither())
            RenderDithered();
        else
            RenderDirect();
        ok = true;
    } catch (EAbort&) {
    } catch (...) {
        if (Image) Image->Progress(this, psEnding, 0, Image->PaletteModified, none, "Rendering...");
        throw;
    }
    if (Image) {
        Image->Progress(this, psEnding, ok ? 100 : 0, Image->PaletteModified, none, "Rendering...");
        if (Image->PaletteModified) Image->NotifyChange(this);
    }
    return FrameBitmap.get();
}

// Indexes copied into an 8-bit bitmap with the frame's palette; the mask marks the pixels of the
// transparent index.
void TGIFSubImage::RenderDirect() {
    auto bmp = std::make_unique<TBitmap>();
    const bool buildMask = MaskStale && HasTransparency && !FrameMask;
    MaskStale = false;
    const int maskStride = (Width + 15) / 16 * 2;
    std::vector<uint8_t> mask;
    if (buildMask) mask.assign(static_cast<size_t>(maskStride) * Height, 0);
    const int transparent = ControlBlock ? ControlBlock->TransparentIndex() : -1;
    bool anyMasked = false;
    {
        TDIBWriter w(*bmp, PaletteForFrame(), Height, Width, pf8bit);
        for (int y = 0; y < Height; ++y) {
            if (y % 32 == 0 && y > 0 && Image)
                Image->Progress(this, psRunning, static_cast<uint8_t>(int64_t(y) * 100 / Height), false,
                                TRect{}, "Rendering...");
            const uint8_t* src = IndexData.data() + static_cast<size_t>(y) * Width;
            std::memcpy(w.RowPointer(y), src, Width);
            if (buildMask)
                for (int x = 0; x < Width; ++x)
                    if (src[x] == transparent) {
                        mask[static_cast<size_t>(y) * maskStride + x / 8] |=
                            static_cast<uint8_t>(0x80 >> (x & 7));
                        anyMasked = true;
                    }
        }
        w.Commit();
    }
    if (anyMasked) FrameMask = CheckGDI(CreateBitmap(Width, Height, 1, 1, mask.data()));
    FrameBitmap = std::move(bmp);
}

namespace {
int MulDivRound(int A, int B, int C) {
    return static_cast<int>((int64_t(A) * B + C / 2) / C);
}
}  // namespace

// The frame's colours mapped to the colour cube with error diffusion (screens of 256 colours or
// fewer).
void TGIFSubImage::RenderDithered() {
    TGIFColorMap& map = EffectiveMap();
    if (map.ColorCount == 0) RaiseGIFError("No global or local color table defined");
    auto bmp = std::make_unique<TBitmap>();
    const bool buildMask = MaskStale && HasTransparency && !FrameMask;
    MaskStale = false;
    const int maskStride = (Width + 15) / 16 * 2;
    std::vector<uint8_t> mask;
    if (buildMask) mask.assign(static_cast<size_t>(maskStride) * Height, 0);
    const int transparent = buildMask && ControlBlock ? ControlBlock->TransparentIndex() : -1;
    int fill = 0;
    if (transparent >= 0) {
        const TColor t = map.ColorAt(transparent);
        fill =
            (MulDivRound(36, GetRValue(t), 51) + MulDivRound(6, GetGValue(t), 51) + GetBValue(t) / 51 + 1) %
            256;
    }
    bool anyMasked = false;
    TNetscapeColorLookup lookup;
    TFloydSteinbergDitherer ditherer(Width, lookup);
    {
        TDIBWriter w(*bmp, PaletteForFrame(), Height, Width, pf8bit);
        for (int y = 0; y < Height; ++y) {
            if (y % 32 == 0 && y > 0 && Image)
                Image->Progress(this, psRunning, static_cast<uint8_t>(int64_t(y) * 100 / Height), false,
                                TRect{}, "Rendering...");
            const uint8_t* src = IndexData.data() + static_cast<size_t>(y) * Width;
            uint8_t* dst = w.RowPointer(y);
            if (transparent >= 0) std::memset(dst, fill, Width);
            for (int n = 0; n < Width; ++n) {
                const int x = ditherer.Cursor;
                const int index = src[x];
                if (index == transparent) {
                    mask[static_cast<size_t>(y) * maskStride + x / 8] |=
                        static_cast<uint8_t>(0x80 >> (x & 7));
                    anyMasked = true;
                    ditherer.AdvanceColumn();
                    continue;
                }
                const int i = index < map.ColorCount ? index : 0;
                dst[x] = static_cast<uint8_t>(
                    ditherer.DitherPixel(map.Triples[i * 3], map.Triples[i * 3 + 1], map.Triples[i * 3 + 2]));
            }
            ditherer.AdvanceRow();
        }
        w.Commit();
    }
    if (anyMasked) FrameMask = CheckGDI(CreateBitmap(Width, Height, 1, 1, mask.data()));
    FrameBitmap = std::move(bmp);
}

// ---------------------------------------------------------------------------------------------
// The image

TGIFImage::TGIFImage() : Frames(this), ScreenHeader(this) {}

TGIFImage::~TGIFImage() {
    ResetImage();
    if (ScreenPalette) DeleteObject(ScreenPalette);
}

void TGIFImage::NotifyChange(TObject*) {
    Changed();
}

void TGIFImage::Warning(TObject* Sender, int, const std::string& Message) {
    if (OnWarning) OnWarning(Sender, 1, Message);
}

void TGIFImage::SetWidth(int Value) {
    for (int i = 0; i < Frames.EntryCount(); ++i) {
        TGIFSubImage* f = Frames.Frame(i);
        if (Value < f->Left + f->Width) RaiseGIFError("Image width too small for contained frames");
    }
    CheckSize(Value, ScreenHeader.LogicalHeight);
    if (Value == ScreenHeader.LogicalWidth) return;
    ScreenHeader.LogicalWidth = static_cast<uint16_t>(Value);
    DropComposite();
    Changed();
}

void TGIFImage::SetHeight(int Value) {
    for (int i = 0; i < Frames.EntryCount(); ++i) {
        TGIFSubImage* f = Frames.Frame(i);
        if (Value < f->Top + f->Height) RaiseGIFError("Image height too small for contained frames");
    }
    CheckSize(ScreenHeader.LogicalWidth, Value);
    if (Value == ScreenHeader.LogicalHeight) return;
    ScreenHeader.LogicalHeight = static_cast<uint16_t>(Value);
    DropComposite();
    Changed();
}

int TGIFImage::ResolutionField() const {
    int r = ScreenHeader.ColorMap.BitDepth() - 1;
    for (int i = 0; i < Frames.EntryCount(); ++i) r = std::max(r, Frames.Frame(i)->LocalResolution());
    return r;
}

int TGIFImage::MaxBitDepth() const {
    int d = ScreenHeader.ColorMap.BitDepth();
    for (int i = 0; i < Frames.EntryCount(); ++i) d = std::max(d, Frames.Frame(i)->LocalDepth());
    return d;
}

int TGIFImage::AppendFrame(TObject* Object) {
    TGIFSubImage* frame = dynamic_cast<TGIFSubImage*>(Object);
    if (frame) {
        // A frame made for another image moves here.
        if (frame->Image && frame->Image != this) frame->Image->Frames.DetachEntry(frame);
        frame->Image = this;
        frame->ExtensionItems.Image = this;
        for (int i = 0; i < frame->ExtensionItems.EntryCount(); ++i)
            frame->ExtensionItems.EntryAt(i)->Image = this;
    } else if (auto* g = dynamic_cast<TGraphic*>(Object)) {
        auto made = std::make_unique<TGIFSubImage>(this);
        made->AssignFrom(g);
        frame = made.release();
    } else {
        RaiseGIFError("Object type not supported for operation");
    }
    int index = Frames.AppendEntry(frame);
    DropComposite();
    Changed();
    return index;
}

// The composite shows what the main painter painted: it goes, and the painter with it.
void TGIFImage::DropComposite() {
    HaltMainPainter();
}

TBitmap* TGIFImage::NewComposite() {
    if (!CompositeBitmap) {
        CompositeBitmap = std::make_unique<TBitmap>();
        CompositeBitmap->OnChange = [this](TObject*) { Changed(); };
        CompositeBitmap->SetSize(Width(), Height());
    }
    return CompositeBitmap.get();
}

TBitmap* TGIFImage::GetComposite() {
    if (Empty()) return nullptr;
    if (CompositeBitmap) return CompositeBitmap.get();
    auto b = std::make_unique<TBitmap>();
    TGIFSubImage* f0 = Frames.Frame(0);
    if (f0->Width == Width() && f0->Height == Height()) {
        if (TBitmap* r = f0->RenderedBitmap()) b->Assign(*r);
    } else {
        b->SetPixelFormat(pf24bit);
        b->SetSize(Width(), Height());
        PaintInto(*f0, b->Canvas(), TRect{0, 0, Width(), Height()}, false, false);
    }
    b->OnChange = [this](TObject*) { Changed(); };
    CompositeBitmap = std::move(b);
    return CompositeBitmap.get();
}

HPALETTE TGIFImage::GetPalette() {
    if (InPaletteQuery) RaiseGIFError("No global or local color table defined");
    InPaletteQuery = true;
    struct Guard {
        bool& F;
        ~Guard() { F = false; }
    } guard{InPaletteQuery};
    if (CompositeBitmap)
        if (HPALETTE p = CompositeBitmap->Palette()) return p;
    if (ScreenPalette) return ScreenPalette;
    if (ShouldDither())
        ScreenPalette = WebPalette();
    else if (ScreenHeader.ColorMap.ColorCount > 0)
        ScreenPalette = ScreenHeader.ColorMap.ToPalette();
    if (ScreenPalette) return ScreenPalette;
    if (!Empty()) return Frames.Frame(0)->PaletteForFrame();
    return 0;
}

void TGIFImage::SetPalette(HPALETTE Palette) {
    if (Palette == ScreenPalette) return;
    if (ScreenPalette) DeleteObject(ScreenPalette);
    ScreenPalette = Palette;
    if (CompositeBitmap) {
        DropComposite();
        PaletteModified = true;
        Changed();
    }
}

bool TGIFImage::ShouldDither() const {
    if (!(PaintOptions & paDither)) return false;
    if (PaintOptions & paAutoDither) return ScreenUsesPalette;
    return true;
}

void TGIFImage::ResetImage() {
    HaltAllPainters();
    Frames.RemoveAll();
    ScreenHeader.ColorMap.ClearColors();
    ScreenHeader.LogicalWidth = ScreenHeader.LogicalHeight = 0;
    ScreenHeader.RebuildScreenFields();
    SetPalette(0);
}

TRect TGIFImage::ScaleRect(const TGIFSubImage& Frame, const TRect& Rect) const {
    const int64_t sw = std::max(1, Width()), sh = std::max(1, Height());
    auto md = [](int64_t a, int64_t b, int64_t c) { return static_cast<int>((a * b + c / 2) / c); };
    return TRect{Rect.Left + md(Frame.Left, Rect.Width(), sw), Rect.Top + md(Frame.Top, Rect.Height(), sh),
                 Rect.Left + md(Frame.Left + Frame.Width, Rect.Width(), sw),
                 Rect.Top + md(Frame.Top + Frame.Height, Rect.Height(), sh)};
}

void TGIFImage::PaintInto(TGIFSubImage& Frame, TCanvas& Canvas, const TRect& Rect, bool Tile,
                          bool Transparent) {
    TBitmap* b = Frame.RenderedBitmap();
    if (!b) return;
    // Only the part of a frame inside Rect is drawn: a frame far outside the logical screen costs
    // nothing, however much it is scaled.
    auto paint = [&](const TRect& R) {
        const TRect v{std::max(R.Left, Rect.Left), std::max(R.Top, Rect.Top), std::min(R.Right, Rect.Right),
                      std::min(R.Bottom, Rect.Bottom)};
        if (v.Left >= v.Right || v.Top >= v.Bottom || R.Width() <= 0 || R.Height() <= 0) return;
        // The frame's pixels that reach the visible part, and where they land.
        const int64_t fw = Frame.Width, fh = Frame.Height, rw = R.Width(), rh = R.Height();
        const int sx0 = static_cast<int>((v.Left - R.Left) * fw / rw);
        const int sy0 = static_cast<int>((v.Top - R.Top) * fh / rh);
        const int sx1 = static_cast<int>(std::min<int64_t>(fw, ((v.Right - R.Left) * fw + rw - 1) / rw));
        const int sy1 = static_cast<int>(std::min<int64_t>(fh, ((v.Bottom - R.Top) * fh + rh - 1) / rh));
        const TRect r{static_cast<int>(R.Left + sx0 * rw / fw), static_cast<int>(R.Top + sy0 * rh / fh),
                      static_cast<int>(R.Left + sx1 * rw / fw), static_cast<int>(R.Top + sy1 * rh / fh)};
        const int sw = sx1 - sx0, sh = sy1 - sy0;
        const bool whole = sx0 == 0 && sy0 == 0 && sw == Frame.Width && sh == Frame.Height;
        if (sw <= 0 || sh <= 0 || r.Width() <= 0 || r.Height() <= 0) return;
        if (Transparent && Frame.HasTransparency && Frame.EnsureMask()) {
            b = Frame.RenderedBitmap();
            HDC src = b->Canvas().Handle();
            HDC dst = Canvas.Handle();
            if (r.Width() == sw && r.Height() == sh) {
                MaskBlt(dst, r.Left, r.Top, sw, sh, src, sx0, sy0, Frame.FrameMask, sx0, sy0,
                        MakeROP4(ROP_DstCopy, SRCCOPY));
            } else {
                // Stretched: the frame at its own size over a copy of what lies below, then stretched.
                TBitmap tmp;
                tmp.SetPixelFormat(pf24bit);
                tmp.SetSize(sw, sh);
                StretchBlt(tmp.Canvas().Handle(), 0, 0, sw, sh, dst, r.Left, r.Top, r.Width(), r.Height(),
                           SRCCOPY);
                MaskBlt(tmp.Canvas().Handle(), 0, 0, sw, sh, src, sx0, sy0, Frame.FrameMask, sx0, sy0,
                        MakeROP4(ROP_DstCopy, SRCCOPY));
                StretchBlt(dst, r.Left, r.Top, r.Width(), r.Height(), tmp.Canvas().Handle(), 0, 0, sw, sh,
                           SRCCOPY);
            }
        } else if (whole) {
            Canvas.StretchDraw(r, b);
        } else {
            StretchBlt(Canvas.Handle(), r.Left, r.Top, r.Width(), r.Height(), b->Canvas().Handle(), sx0, sy0,
                       sw, sh, SRCCOPY);
        }
    };
    if (!Tile) {
        paint(ScaleRect(Frame, Rect));
        return;
    }
    const int sw = std::max(1, Width()), sh = std::max(1, Height());
    for (int x = Rect.Left + Frame.Left; x < Rect.Right; x += sw)
        for (int y = Rect.Top + Frame.Top; y < Rect.Bottom; y += sh)
            paint(TRect{x, y, x + Frame.Width, y + Frame.Height});
}

void TGIFImage::Assign(const TGraphic& Source) {
    if (&Source == this) return;
    auto& src = const_cast<TGraphic&>(Source);
    if (auto* g = dynamic_cast<TGIFImage*>(&src)) {
        ResetImage();
        // The source's handlers hear the copy; the image keeps its own afterwards.
        TProgressEvent ownProgress = OnProgress;
        TGIFWarning ownWarning = OnWarning;
        OnProgress = g->OnProgress;
        OnWarning = g->OnWarning;
        struct Restore {
            TGIFImage& I;
            TProgressEvent P;
            TGIFWarning W;
            ~Restore() {
                I.OnProgress = std::move(P);
                I.OnWarning = std::move(W);
            }
        } restore{*this, std::move(ownProgress), std::move(ownWarning)};
        bool ok = false;
        Progress(this, psStarting, 0, false, TRect{}, "Copying...");
        try {
            ScreenHeader.Assign(&g->ScreenHeader);
            PainterPriority = g->PainterPriority;
            BackdropColor = g->BackdropColor;
            PaintOptions = g->PaintOptions;
            ReductionMethod = g->ReductionMethod;
            DitherKind = g->DitherKind;
            const int n = g->Frames.EntryCount();
            for (int i = 0; i < n; ++i) {
                auto f = std::make_unique<TGIFSubImage>(this);
                f->AssignFrom(g->Frames.Frame(i));
                AppendFrame(f.get());
                f.release();
                Progress(this, psRunning, static_cast<uint8_t>(i * 100 / n), false, TRect{}, "Copying...");
            }
            ok = true;
        } catch (...) {
            Progress(this, psEnding, 0, false, TRect{}, "Copying...");
            throw;
        }
        Progress(this, psEnding, ok ? 100 : 0, false, TRect{}, "Copying...");
        return;
    }
    ResetImage();
    auto f = std::make_unique<TGIFSubImage>(this);
    try {
        f->AssignFrom(&src);
    } catch (EConvertError&) {
        throw EConvertError("Cannot assign a " + Source.ClassName() + " to a " + ClassName());
    }
    AppendFrame(f.get());
    f.release();
}

}  // namespace codecs
