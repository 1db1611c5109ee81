#include "controls/kit/KitContainer.h"

#include <algorithm>
#include <typeinfo>

#include "controls/kit/KitGraph.h"
#include "controls/kit/KitUtils.h"
#include "framework/core/Filer.h"
#include "framework/core/Stream.h"
#include "framework/ui/Resources.h"

namespace kit {

using namespace framework;

namespace {

constexpr uint8_t ifCompressed = 0x01, ifDescription = 0x02, ifIdent = 0x04, ifContent = 0x08;

void CheckRemaining(TStream* Stream, int64_t Bytes) {
    if (Bytes < 0 || Bytes > Stream->Size() - Stream->Position()) throw EReadError("Stream read error");
}

uint8_t DepthBits(TKitSavePixelFormat Format) {
    switch (Format) {
        case spfMono:
            return 0x10;
        case spf4bit:
            return 0x20;
        case spf8bit:
            return 0x40;
        default:
            return 0;
    }
}

TKitSavePixelFormat DepthOfBits(uint8_t Flags) {
    if (Flags & 0x10) return spfMono;
    if (Flags & 0x20) return spf4bit;
    if (Flags & 0x40) return spf8bit;
    return spfDefault;
}

}  // namespace

// ---- Container ------------------------------------------------------------------------------------

TKitCustomContainer::~TKitCustomContainer() {
    std::vector<TKitListItem*> items;
    items.swap(FItems);
    for (TKitListItem* item : items) delete item;
}

TKitListItem* TKitCustomContainer::Item(int Index) const {
    if (Index < 0 || Index >= Count())
        throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
    return FItems[static_cast<size_t>(Index)];
}

int TKitCustomContainer::AddItem(TKitListItem* AItem) {
    if (!AItem) AItem = NewItem();
    if (!AItem) throw EListError("List index out of bounds (0)");
    FItems.push_back(AItem);
    Change();
    return Count() - 1;
}

void TKitCustomContainer::Clear() {
    std::vector<TKitListItem*> items;
    items.swap(FItems);
    for (TKitListItem* item : items) delete item;
    Change();
}

void TKitCustomContainer::Assign(TPersistent* Source) {
    auto* src = dynamic_cast<TKitCustomContainer*>(Source);
    if (!src || typeid(*src) != typeid(*this)) {
        TKitBaseContainer::Assign(Source);
        return;
    }
    if (src == this) return;
    BeginUpdate();
    try {
        Clear();
        DefaultCompressed = src->DefaultCompressed;
        if (auto* images = dynamic_cast<TKitCustomImageList*>(this))
            images->DefaultPixelFormat = static_cast<TKitCustomImageList*>(src)->DefaultPixelFormat;
        for (TKitListItem* from : src->FItems) {
            std::unique_ptr<TKitListItem> item(NewItem());
            if (!item) break;
            item->Assign(from);
            FItems.push_back(item.release());
        }
    } catch (...) {
        EndUpdate(true);
        throw;
    }
    EndUpdate(true);
}

void TKitCustomContainer::GetChildren(const TGetChildProc& Proc, TComponent*) {
    for (TKitListItem* item : FItems) Proc(item);
}

void TKitCustomContainer::Notification(TComponent* AComponent, TOperation Operation) {
    TKitBaseContainer::Notification(AComponent, Operation);
    // An item read from a stream as one of the container's children joins the list.
    if (Operation == opInsert && (ComponentState() & csReading) && AComponent->Owner() == this)
        if (auto* item = dynamic_cast<TKitListItem*>(AComponent))
            if (std::find(FItems.begin(), FItems.end(), item) == FItems.end()) {
                FItems.push_back(item);
                Change();
            }
    if (Operation == opRemove)
        std::erase_if(FItems,
                      [AComponent](TKitListItem* i) { return static_cast<TComponent*>(i) == AComponent; });
}

void TKitCustomContainer::LoadFromStream(TStream* Stream, bool Indexed) {
    const int32_t count = ReadStreamInteger(Stream);
    // Every item takes at least its flags byte, and the table four bytes for each.
    CheckRemaining(Stream, static_cast<int64_t>(count) * (Indexed ? 5 : 1));
    if (Indexed) Stream->Seek(static_cast<int64_t>(count) * 4, soFromCurrent);
    std::vector<std::unique_ptr<TKitListItem>> read;
    for (int32_t i = 0; i < count; ++i) {
        std::unique_ptr<TKitListItem> item(NewItem());
        if (!item) throw EReadError("Stream read error");
        item->ReadItem(Stream);
        read.push_back(std::move(item));
    }
    BeginUpdate();
    Clear();
    for (auto& item : read) FItems.push_back(item.release());
    EndUpdate(true);
}

void TKitCustomContainer::SaveToStream(TStream* Stream, bool Indexed) {
    WriteStreamInteger(Stream, Count());
    const int64_t table = Stream->Position();
    std::vector<int32_t> starts;
    if (Indexed)
        for (int i = 0; i < Count(); ++i) WriteStreamInteger(Stream, 0);
    for (TKitListItem* item : FItems) {
        starts.push_back(static_cast<int32_t>(Stream->Position()));
        item->WriteItem(Stream);
    }
    if (!Indexed) return;
    const int64_t end = Stream->Position();
    Stream->SetPosition(table);
    for (int32_t start : starts) WriteStreamInteger(Stream, start);
    Stream->SetPosition(end);
}

// ---- Items ----------------------------------------------------------------------------------------

TKitListItem::TKitListItem(TComponent* AOwner) : TKitCustomComponent(AOwner) {}

void TKitListItem::Change() {
    TKitCustomComponent::Change();
    if (auto* owner = dynamic_cast<TKitCustomContainer*>(Owner()))
        if (owner->OnChange && !owner->Updating()) owner->OnChange(this);
}

void TKitListItem::DefineProperties(TFiler* Filer) {
    TKitCustomComponent::DefineProperties(Filer);
    Filer->DefineBinaryProperty(
        "Internal", [this](TStream* Stream) { ReadItem(Stream); },
        [this](TStream* Stream) { WriteItem(Stream); }, true);
}

void TKitListItem::CopyHeader(const TKitListItem& Source) {
    Description = Source.Description;
    Ident = Source.Ident;
    Compressed = Source.Compressed;
}

void TKitListItem::WriteItem(TStream* Stream) {
    uint8_t flags = (Compressed ? ifCompressed : 0) | HeaderFlags();
    if (!Description.empty()) flags |= ifDescription;
    if (Ident != 0) flags |= ifIdent;
    WriteStreamByte(Stream, flags);
    if (flags & ifDescription) WriteShortString(Stream, Description);
    if (flags & ifIdent) WriteStreamInteger(Stream, Ident);
    if ((flags & ifContent) || ContentAlways()) WriteContent(Stream);
}

void TKitListItem::ReadItem(TStream* Stream) {
    const uint8_t flags = ReadStreamByte(Stream);
    std::string description;
    int32_t ident = 0;
    if (flags & ifDescription) description = ReadShortString(Stream);
    if (flags & ifIdent) ident = ReadStreamInteger(Stream);
    ReadContent(Stream, flags);
    // Everything was read: the item takes it.
    Compressed = (flags & ifCompressed) != 0;
    Description = description;
    Ident = static_cast<uint16_t>(ident);
    TakeContent();
}

TKitBitmapListItem::TKitBitmapListItem(TComponent* AOwner)
    : TKitListItem(AOwner), FBitmap(std::make_unique<TBitmap>()) {}
TKitBitmapListItem::~TKitBitmapListItem() = default;

TBitmap& TKitBitmapListItem::Bitmap() {
    if (FBitmap->Empty() && !(ComponentState() & (csDesigning | csLoading))) FetchFromSource();
    return *FBitmap;
}

void TKitBitmapListItem::FetchFromSource() {
    auto* owner = dynamic_cast<TKitCustomContainer*>(Owner());
    if (!owner || owner->Source == 0) return;
    const auto prefixKind = static_cast<TKitPathPrefix>(owner->PathPrefixKind);
    const bool updating = owner->Updating();
    owner->BeginUpdate();
    try {
        switch (owner->Source) {
            case 1: {
                TKitBitmapListItem read(nullptr);
                ReadItemFromFile(PathPrefix(prefixKind, true) + owner->SourceFile, lkBitmapList, Ident, read);
                FBitmap->Assign(*read.FBitmap);
                break;
            }
            case 2:
                LoadBitmapResource(*FBitmap, static_cast<int>(Ident));
                break;
            case 4: {
                // The folder (of SourceFile for a fixed prefix), the first three letters of its
                // name, the ident and ".bmp".
                const std::string& src = owner->SourceFile;
                const size_t slash = src.find_last_of("\\/");
                const std::string name = slash == std::string::npos ? src : src.substr(slash + 1);
                const std::string folder = prefixKind == ppFixed
                                               ? (slash == std::string::npos ? "" : src.substr(0, slash + 1))
                                               : PathPrefix(prefixKind, true);
                TFileStream f(folder + name.substr(0, 3) + std::to_string(Ident) + ".bmp", fmOpenRead);
                FBitmap->LoadFromStream(f);
                break;
            }
            default:  // 3: a library holds no bitmaps for this system
                break;
        }
    } catch (...) {
        if (!updating) owner->EndUpdate(false);
        throw;
    }
    if (!updating) owner->EndUpdate(false);
}

void TKitBitmapListItem::SetBitmap(const TBitmap* Value) {
    if (Value)
        FBitmap->Assign(*Value);
    else
        FBitmap->SetSize(0, 0);
    Change();
}

void TKitBitmapListItem::Clear() {
    FBitmap->SetSize(0, 0);
}

uint8_t TKitBitmapListItem::HeaderFlags() const {
    return DepthBits(PixelFormat) | (FBitmap->Empty() ? 0 : ifContent);
}

void TKitBitmapListItem::Assign(TPersistent* Source) {
    if (auto* s = dynamic_cast<TKitBitmapListItem*>(Source)) {
        CopyHeader(*s);
        FBitmap->Assign(s->Bitmap());
        PixelFormat = s->PixelFormat;
        Change();
        return;
    }
    TKitListItem::Assign(Source);
}

void TKitBitmapListItem::ReadContent(TStream* Stream, uint8_t Flags) {
    FRead = std::make_unique<TBitmap>();
    FReadFormat = DepthOfBits(Flags);
    if (Flags & ifContent) ReadBitmapData(Stream, FRead.get(), (Flags & ifCompressed) != 0);
}

void TKitBitmapListItem::TakeContent() {
    FBitmap = std::move(FRead);
    PixelFormat = FReadFormat;
}

void TKitBitmapListItem::WriteContent(TStream* Stream) {
    WriteBitmapData(Stream, FBitmap.get(), Compressed, PixelFormat);
}

TKitStringListItem::TKitStringListItem(TComponent* AOwner) : TKitListItem(AOwner) {}

void TKitStringListItem::Assign(TPersistent* Source) {
    if (auto* s = dynamic_cast<TKitStringListItem*>(Source)) {
        CopyHeader(*s);
        FItems.Assign(&s->FItems);
        Change();
        return;
    }
    if (auto* s = dynamic_cast<TStrings*>(Source)) {
        FItems.Assign(s);
        Change();
        return;
    }
    TKitListItem::Assign(Source);
}

void TKitStringListItem::ReadContent(TStream* Stream, uint8_t Flags) {
    FRead.Clear();
    if (Flags & ifContent) ReadStringsData(Stream, &FRead, (Flags & ifCompressed) != 0);
}

void TKitStringListItem::TakeContent() {
    FItems.Assign(&FRead);
    FRead.Clear();
}

void TKitStringListItem::WriteContent(TStream* Stream) {
    WriteStringsData(Stream, &FItems, Compressed);
}

TKitWaveListItem::TKitWaveListItem(TComponent* AOwner) : TKitListItem(AOwner) {}

void TKitWaveListItem::Assign(TPersistent* Source) {
    if (auto* s = dynamic_cast<TKitWaveListItem*>(Source)) {
        CopyHeader(*s);
        FWave.Assign(&s->FWave);
        Change();
        return;
    }
    TKitListItem::Assign(Source);
}

void TKitWaveListItem::ReadContent(TStream* Stream, uint8_t Flags) {
    FRead.SetData(nullptr);
    if (Flags & ifContent) ReadWaveData(Stream, &FRead, (Flags & ifCompressed) != 0);
}

void TKitWaveListItem::TakeContent() {
    FWave.Assign(&FRead);
    FRead.SetData(nullptr);
}

void TKitWaveListItem::WriteContent(TStream* Stream) {
    WriteWaveData(Stream, &FWave, Compressed);
}

// ---- Bitmap list ----------------------------------------------------------------------------------

TBitmap* TKitBitmapList::Picture(int L) const {
    if (L < 0 || L >= Count()) return nullptr;
    TBitmap& b = Bitmaps(L)->Bitmap();
    return b.Empty() ? nullptr : &b;
}

TCanvas* TKitBitmapList::ImageCanvas(int L) {
    TBitmap* b = Picture(L);
    return b ? &b->Canvas() : nullptr;
}

bool TKitBitmapList::ImageRect(int L, int, TRect& Rect) const {
    TBitmap* b = Picture(L);
    Rect = b ? TRect{0, 0, b->Width(), b->Height()} : TRect{};
    return b != nullptr;
}

int TKitBitmapList::ImageCount(int L) const {
    return Picture(L) ? 1 : 0;
}

int TKitBitmapList::ImageDimension(int L, int Which) const {
    TBitmap* b = Picture(L);
    if (!b) return 0;
    return Which == 0 ? b->Width() : b->Height();
}

bool TKitBitmapList::HasImage(int L, int) const {
    return Picture(L) != nullptr;
}

void TKitBitmapList::GetImage(int L, int, TBitmap& Target) {
    if (TBitmap* b = Picture(L)) Target.Assign(*b);
}

HPALETTE TKitBitmapList::ImagePalette(int L) {
    TBitmap* b = Picture(L);
    return b ? b->Palette() : 0;
}

TColor TKitBitmapList::ImageTransparentColor(int L, int) {
    TBitmap* b = Picture(L);
    return b ? b->TransparentColor() : clWhite;
}

TColor TKitBitmapList::ImagePixel(const TPoint& Point, int L, int) {
    TBitmap* b = Picture(L);
    return b ? b->Canvas().Pixel(Point.X, Point.Y) : clWhite;
}

void TKitBitmapList::DrawImage(TCanvas& Canvas, int X, int Y, int L, int) {
    if (TBitmap* b = Picture(L)) Canvas.Draw(X, Y, b);
}

void TKitBitmapList::DrawImageExt(TCanvas& Canvas, const TRect& Rect, uint32_t Flags, int L, int,
                                  TRect& Painted) {
    Painted = TRect{};
    if (TBitmap* b = Picture(L)) DrawPaletteBitmap(Canvas, Rect, b, Flags, b->TransparentColor(), Painted);
}

void TKitBitmapList::DrawImageClipped(TCanvas& Canvas, const TRect& Rect, uint32_t Flags, int32_t ClipOffset,
                                      TColor Color, int L, int) {
    if (TBitmap* b = Picture(L)) DrawCanvasPart(Canvas, Rect, b, Flags, ClipOffset, Color);
}

// ---- Container files ------------------------------------------------------------------------------

std::string ItemFileExtension(int Kind, bool WithDot) {
    static const char* const ext[] = {"iml", "bmp", "wav", "txt", "*", "rtf"};
    if (Kind < 0 || Kind > 5) return "";
    return (WithDot ? "." : "") + std::string(ext[Kind]);
}

void WriteContainerFile(TStream& Stream, TKitCustomContainer& Container) {
    WriteShortString(&Stream, ListSignature(Container.ListKind()));
    Container.SaveToStream(&Stream, true);
}

void ReadItemFromStream(TStream& Stream, const std::string& FileName, int ExpectedKind, int Index,
                        TKitListItem& Item) {
    auto fail = [&]() -> void { throw Exception("Cannot open file: " + FileName); };
    try {
        const std::string signature = ReadShortString(&Stream);
        int kind = -1;
        for (int k = 0; k < 6; ++k)
            if (signature == ListSignature(k)) kind = k;
        if (kind < 0 || kind != ExpectedKind) fail();
        const int32_t count = ReadStreamInteger(&Stream);
        CheckRemaining(&Stream, static_cast<int64_t>(count) * 5);
        if (Index < 0 || Index >= count) fail();
        Stream.Seek(static_cast<int64_t>(Index) * 4, soFromCurrent);
        const int32_t at = ReadStreamInteger(&Stream);
        // An item starts behind the table and leaves at least its flags byte.
        const int64_t first = 9 + 4 + static_cast<int64_t>(count) * 4;
        if (at < first || at >= Stream.Size()) fail();
        Stream.SetPosition(at);
        Item.ReadItem(&Stream);
    } catch (const Exception& e) {
        if (std::string(e.what()) == "Cannot open file: " + FileName) throw;
        fail();
    }
}

void ReadItemFromFile(const std::string& FileName, int ExpectedKind, int Index, TKitListItem& Item) {
    TFileStream f(FileName, fmOpenRead | fmShareDenyWrite);
    ReadItemFromStream(f, FileName, ExpectedKind, Index, Item);
}

}  // namespace kit
