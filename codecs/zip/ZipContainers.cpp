#include "codecs/zip/ZipContainers.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>

#include "framework/core/SysUtils.h"
#include "platform/Files.h"
#include "platform/LittleEndian.h"
#include "platform/Paths.h"
#include "platform/Volume.h"

namespace codecs {

namespace {
std::map<std::string, TClassRegistration>& Registry() {
    static std::map<std::string, TClassRegistration> registry;
    return registry;
}
// Largest capacity a list accepts.
constexpr int kMaxCapacity = 536870910;
}  // namespace

void RegisterListClass(const std::string& className, TClassRegistration registration) {
    Registry().emplace(className, std::move(registration));
}

// ---- object list --------------------------------------------------------------------------------

TObjectList::~TObjectList() {
    if (OwnsObjects)
        for (int i = 0; i < FCount; ++i) FreeItem(FItems[size_t(i)]);
}

void TObjectList::Error(int index) const {
    throw framework::EListError(framework::Format("List index out of bounds (%d)", {index}));
}

framework::TObject* TObjectList::Get(int index) const {
    if (index < 0 || index >= FCount) Error(index);
    return FItems[size_t(index)];
}

void TObjectList::Grow() {
    int capacity = Capacity();
    int delta = capacity > 8 ? 16 : capacity > 4 ? 8 : 4;
    SetCapacity(capacity + delta);
}

void TObjectList::SetCapacity(int n) {
    if (n < FCount || n > kMaxCapacity) Error(n);
    FItems.resize(size_t(n), nullptr);
}

void TObjectList::SetCount(int n) {
    if (n < 0 || n > kMaxCapacity) Error(n);
    if (n > Capacity()) SetCapacity(n);
    for (int i = FCount; i < n; ++i) FItems[size_t(i)] = nullptr;
    FCount = n;
}

void TObjectList::FreeAll() {
    for (int i = 0; i < FCount; ++i) FreeItem(FItems[size_t(i)]);
    Clear();
}

void TObjectList::Put(int index, framework::TObject* item) {
    if (index < 0 || index >= FCount) Error(index);
    FItems[size_t(index)] = item;
}

void TObjectList::FreeItem(framework::TObject* item) {
    delete item;
}

int TObjectList::Add(framework::TObject* item) {
    if (FCount == Capacity()) Grow();
    FItems[size_t(FCount)] = item;
    return FCount++;
}

void TObjectList::Clear() {
    FItems.clear();
    FCount = 0;
}

int TObjectList::IndexOf(framework::TObject* item) const {
    for (int i = 0; i < FCount; ++i)
        if (FItems[size_t(i)] == item) return i;
    return -1;
}

void TObjectList::Insert(int index, framework::TObject* item) {
    if (index < 0 || index > FCount) Error(index);
    if (FCount == Capacity()) Grow();
    std::move_backward(FItems.begin() + index, FItems.begin() + FCount, FItems.begin() + FCount + 1);
    FItems[size_t(index)] = item;
    ++FCount;
}

framework::TObject* TObjectList::First() const {
    return FCount > 0 ? FItems[0] : nullptr;
}
framework::TObject* TObjectList::Last() const {
    return FCount > 0 ? FItems[size_t(FCount - 1)] : nullptr;
}

framework::TObject* TObjectList::Neighbour(framework::TObject* item, int direction) const {
    if (!item) return direction < 0 ? Last() : First();
    int i = IndexOf(item);
    if (i < 0)
        throw framework::EListError(framework::Format("tObject %s not in item list", {item->ClassName()}));
    int j = direction < 0 ? i - 1 : i + 1;
    return j >= 0 && j < FCount ? FItems[size_t(j)] : nullptr;
}

void TObjectList::SaveItems(framework::TStream* stream) {
    uint8_t owns = OwnsObjects ? 1 : 0;
    stream->WriteBuffer(&owns, 1);
    int32_t count = FCount;
    uint8_t c[4] = {uint8_t(count), uint8_t(count >> 8), uint8_t(count >> 16), uint8_t(count >> 24)};
    stream->WriteBuffer(c, 4);
    for (int i = 0; i < FCount; ++i) {
        framework::TObject* item = FItems[size_t(i)];
        if (!item) throw EClassNotFound("Nil Source Class!");
        std::string name = item->ClassName();
        auto it = Registry().find(name);
        if (it == Registry().end())
            throw EClassNotFound(framework::Format("Source Class <%s> not registered", {name}));
        name = name.substr(0, 63);
        uint8_t len = static_cast<uint8_t>(name.size());
        stream->WriteBuffer(&len, 1);
        stream->WriteBuffer(name.data(), len);
        it->second.Save(item, stream);
    }
}

void TObjectList::LoadItems(framework::TStream* stream) {
    uint8_t owns = 0;
    stream->ReadBuffer(&owns, 1);
    OwnsObjects = owns != 0;
    uint8_t c[4];
    stream->ReadBuffer(c, 4);
    int32_t count = platform::GetInt32(c);
    for (int32_t i = 0; i < count; ++i) {
        uint8_t len = 0;
        stream->ReadBuffer(&len, 1);
        std::string name(len, '\0');
        stream->ReadBuffer(name.data(), len);
        auto it = Registry().find(name);
        if (it == Registry().end())
            throw EClassNotFound(framework::Format("Class <%s> not registered", {name}));
        std::unique_ptr<framework::TObject> item(it->second.Create());
        it->second.Load(item.get(), stream);
        Add(item.release());
    }
}

void TObjectList::LoadFromStream(framework::TStream* stream) {
    LoadItems(stream);
}
void TObjectList::SaveToStream(framework::TStream* stream) {
    SaveItems(stream);
}

// ---- sorted list --------------------------------------------------------------------------------

bool TSortedObjectList::Find(const void* key, int& index) const {
    int lo = 0, hi = FCount - 1;
    bool found = false;
    while (lo <= hi) {
        int mid = (lo + hi) / 2;
        int c = Compare(KeyOf(FItems[size_t(mid)]), key);
        if (c < 0) {
            lo = mid + 1;
        } else {
            hi = mid - 1;
            if (c == 0) {
                found = true;
                if (Duplicates != dupAccept) lo = mid;
            }
        }
    }
    index = lo;
    return found;
}

void TSortedObjectList::Put(int, framework::TObject*) {
    throw framework::EListError("Cannot <Put> an Object in a sorted list!");
}

int TSortedObjectList::Add(framework::TObject* item) {
    Insert(0, item);
    return 0;
}

int TSortedObjectList::IndexOf(framework::TObject* item) const {
    int index;
    return Find(KeyOf(item), index) ? index : -1;
}

void TSortedObjectList::Insert(int, framework::TObject* item) {
    int index;
    if (Find(KeyOf(item), index)) {
        if (Duplicates == dupIgnore) return;
        if (Duplicates == dupError) throw framework::EListError("Duplicate Object index");
    }
    TObjectList::Insert(index, item);
}

void TSortedObjectList::LoadFromStream(framework::TStream* stream) {
    stream->ReadBuffer(&Duplicates, 1);
    LoadItems(stream);
}

void TSortedObjectList::SaveToStream(framework::TStream* stream) {
    stream->WriteBuffer(&Duplicates, 1);
    SaveItems(stream);
}

// ---- buffered stream ----------------------------------------------------------------------------

TS_BufferStream::TS_BufferStream(framework::TStream* stream, int32_t bufferSize)
    : FStream(stream), FBuffer(size_t(std::max(bufferSize, 1))) {}

TS_BufferStream::~TS_BufferStream() {
    if (FState == 2) FlushBuffer();
}

bool TS_BufferStream::FillBuffer() {
    int32_t n = FStream->Read(FBuffer.data(), static_cast<int32_t>(FBuffer.size()));
    FCurrent = 0;
    FEnd = std::max(n, 0);
    FState = FEnd > 0 ? 1 : 0;
    DoFillBuffer();
    if (OnFillBuffer) OnFillBuffer();
    return FEnd > 0;
}

bool TS_BufferStream::FlushBuffer() {
    int32_t n = FCurrent;
    int32_t written = n > 0 ? FStream->Write(FBuffer.data(), n) : 0;
    FCurrent = FEnd = 0;
    FState = 0;
    DoFlushBuffer();
    if (OnFlushBuffer) OnFlushBuffer();
    return written == n;
}

int32_t TS_BufferStream::Read(void* Buffer, int32_t Count) {
    if (FState == 2) FlushBuffer();
    auto* p = static_cast<uint8_t*>(Buffer);
    int32_t done = 0;
    while (done < Count) {
        if (FState != 1 || FCurrent >= FEnd) {
            if (!FillBuffer()) break;
        }
        int32_t n = std::min(Count - done, FEnd - FCurrent);
        std::memcpy(p + done, FBuffer.data() + FCurrent, size_t(n));
        FCurrent += n;
        done += n;
    }
    return done;
}

int32_t TS_BufferStream::Write(const void* Buffer, int32_t Count) {
    if (FState == 1) {
        // Read-ahead is dropped: the write goes where the reader stands.
        FStream->Seek(-(FEnd - FCurrent), framework::soFromCurrent);
        FCurrent = FEnd = 0;
        FState = 0;
    }
    const auto* p = static_cast<const uint8_t*>(Buffer);
    int32_t done = 0;
    while (done < Count) {
        int32_t n = std::min(Count - done, static_cast<int32_t>(FBuffer.size()) - FCurrent);
        std::memcpy(FBuffer.data() + FCurrent, p + done, size_t(n));
        FCurrent += n;
        done += n;
        FState = 2;
        if (FCurrent == static_cast<int32_t>(FBuffer.size()) && !FlushBuffer()) break;
    }
    FState = FCurrent > 0 ? 2 : 0;
    FWritten = true;
    return done;
}

int64_t TS_BufferStream::Seek(int64_t Offset, framework::TSeekOrigin Origin) {
    int64_t under = FStream->Seek(0, framework::soFromCurrent);
    int64_t logical = FState == 1 ? under - (FEnd - FCurrent) : FState == 2 ? under + FCurrent : under;
    int64_t target;
    switch (Origin) {
        case framework::soFromBeginning:
            target = Offset;
            break;
        case framework::soFromCurrent:
            target = logical + Offset;
            break;
        case framework::soFromEnd:
            target = std::max(FStream->Size(), logical) - std::llabs(Offset);
            break;
        default:
            throw framework::EStreamError(
                framework::Format("Invalid seek origin (%d)", {static_cast<int>(Origin)}));
    }
    if (target == logical) return logical;
    if (FState == 2 && !FlushBuffer()) throw framework::EStreamError("\nSeek error");
    FCurrent = FEnd = 0;
    FState = 0;
    return FStream->Seek(target, framework::soFromBeginning);
}

void TS_BufferStream::PutBack(uint8_t byte) {
    if (FState != 1 || FCurrent == 0) throw framework::EStreamError("Putback overflow");
    FBuffer[size_t(--FCurrent)] = byte;
}

TLFNFileStream::TLFNFileStream(const std::string& fileName, int32_t bufferSize, bool flushToDisk,
                               uint16_t mode)
    : TS_BufferStream(nullptr, bufferSize) {
    FFile = std::make_unique<framework::TFileStream>(fileName, mode);
    FStream = FFile.get();
    bool writable = mode == framework::fmCreate || (mode & 3) != 0;
    FlushToDisk = writable && flushToDisk;
}

TLFNFileStream::~TLFNFileStream() {
    if (FState == 2) FlushBuffer();
    FState = 0;
    if (FlushToDisk && FWritten) platform::FlushFileBuffers(static_cast<platform::HANDLE>(FFile->Handle()));
}

// ---- small routines -----------------------------------------------------------------------------

int32_t Percentage(int32_t total, int32_t part) {
    if (total <= 0) return 0;
    return static_cast<int32_t>(std::min<int64_t>(100, std::llround(double(part) * 100.0 / total)));
}

int64_t Percentage64(int64_t total, int64_t part) {
    if (total <= 0) return 0;
    return std::min<int64_t>(100, std::llround(double(part) * 100.0 / double(total)));
}

void SlashesToBackslashes(std::string& text) {
    for (char& c : text)
        if (c == '/') c = '\\';
}

std::string LeftStr(const std::string& text, int n) {
    return text.substr(0, size_t(std::max(n, 0)));
}

std::string RightStr(const std::string& text, int n) {
    if (n >= static_cast<int>(text.size())) return text;
    return text.substr(text.size() - size_t(std::max(n, 0)));
}

bool DirExists(const std::string& name) {
    uint32_t a = platform::GetFileAttributes(name);
    return a != platform::INVALID_FILE_ATTRIBUTES && (a & platform::FILE_ATTRIBUTE_DIRECTORY);
}

bool FileExistsCheck(const std::string& name) {
    uint32_t a = platform::GetFileAttributes(name);
    return a != platform::INVALID_FILE_ATTRIBUTES && !(a & platform::FILE_ATTRIBUTE_DIRECTORY);
}

bool ForceDirs(const std::string& path) {
    std::string p = path;
    while (p.size() > 3 && p.back() == '\\') p.pop_back();
    if (p.empty() || DirExists(p)) return true;
    size_t slash = p.find_last_of('\\');
    if (slash != std::string::npos && slash > 0 && p[slash - 1] != ':' && !ForceDirs(p.substr(0, slash)))
        return false;
    return platform::CreateDirectory(p) || DirExists(p);
}

std::string CurrentDir() {
    return platform::GetCurrentDirectory();
}

std::string VolumeLabelOf(const std::string& root) {
    std::string label;
    if (!platform::GetVolumeInformation(root, &label, nullptr, nullptr, nullptr, nullptr)) return {};
    return label.substr(0, 13);
}

}  // namespace codecs
