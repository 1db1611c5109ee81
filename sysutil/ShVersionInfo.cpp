#include "sysutil/ShVersionInfo.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "framework/core/SysUtils.h"
#include "platform/CodePage.h"
#include "platform/Files.h"
#include "platform/LittleEndian.h"
#include "platform/ProgramFolder.h"
#include "sysutil/ShConst.h"

namespace sysutil {

namespace {

// ---- PE layout ------------------------------------------------------------------------------

constexpr uint32_t kDosNewHeaderOffset = 0x3C;  // e_lfanew
constexpr uint32_t kFileHeaderSize = 20;        // after "PE\0\0"
constexpr uint16_t kMagicPe32 = 0x10B;
constexpr uint16_t kMagicPe32Plus = 0x20B;
constexpr uint32_t kSectionHeaderSize = 40;
constexpr uint32_t kResourceDirectoryIndex = 2;  // in the optional header's data directories
constexpr uint32_t kResourceTypeVersion = 16;
constexpr uint32_t kResourceDirectoryHeaderSize = 16;
constexpr uint32_t kResourceEntrySize = 8;
constexpr uint32_t kSubdirectoryFlag = 0x80000000u;
// A version block's length is a 16-bit field: no sound resource is larger.
constexpr uint32_t kMaxVersionResource = 0xFFFF;

using platform::GetUInt16;
using platform::GetUInt32;

struct TSection {
    uint32_t VirtualAddress;
    uint32_t VirtualSize;
    uint32_t RawSize;
    uint32_t RawOffset;
};

class TPeImage {
public:
    TPeImage(const TImageReadFunc& Read, uint64_t Size) : FRead(Read), FSize(Size) {}

    bool Read(uint64_t Offset, void* Buffer, uint32_t Count) const {
        if (Offset > FSize || Count > FSize - Offset) return false;
        return FRead(Offset, Buffer, Count);
    }
    bool Read32(uint64_t Offset, uint32_t& Value) const {
        uint8_t b[4];
        if (!Read(Offset, b, 4)) return false;
        Value = GetUInt32(b);
        return true;
    }

    std::vector<TSection> Sections;

    // The file offset of Count bytes at a relative virtual address, when one section holds them
    // all in its raw data.
    // Rest receives how many raw bytes of the section lie from there on.
    bool Map(uint32_t Rva, uint32_t Count, uint64_t& Offset, uint32_t* Rest = nullptr) const {
        for (const TSection& s : Sections) {
            uint64_t span = std::max(s.VirtualSize, s.RawSize);
            if (Rva < s.VirtualAddress || Rva - s.VirtualAddress >= span) continue;
            uint32_t within = Rva - s.VirtualAddress;
            if (within > s.RawSize || s.RawSize - within < Count) return false;
            Offset = static_cast<uint64_t>(s.RawOffset) + within;
            if (Rest) *Rest = s.RawSize - within;
            return true;
        }
        return false;
    }

private:
    const TImageReadFunc& FRead;
    uint64_t FSize;
};

// The entries of a resource directory at Offset within the resource section (Base..Base+Size).
bool ReadDirectory(const TPeImage& Image, uint64_t Base, uint32_t Size, uint32_t Offset,
                   std::vector<uint8_t>& Entries) {
    if (Offset > Size || Size - Offset < kResourceDirectoryHeaderSize) return false;
    uint8_t header[kResourceDirectoryHeaderSize];
    if (!Image.Read(Base + Offset, header, sizeof header)) return false;
    uint32_t count = static_cast<uint32_t>(GetUInt16(header + 12)) + GetUInt16(header + 14);
    uint32_t bytes = count * kResourceEntrySize;  // at most 1 MB
    if (Size - Offset - kResourceDirectoryHeaderSize < bytes) return false;
    Entries.resize(bytes);
    return bytes == 0 || Image.Read(Base + Offset + kResourceDirectoryHeaderSize, Entries.data(), bytes);
}

TVersionResourceResult FindInImage(TPeImage& Image, std::vector<uint8_t>& Resource) {
    using enum TVersionResourceResult;
    uint8_t mz[2];
    uint32_t peOffset = 0;
    if (!Image.Read(0, mz, 2) || mz[0] != 'M' || mz[1] != 'Z') return vrDamaged;
    if (!Image.Read32(kDosNewHeaderOffset, peOffset)) return vrDamaged;
    uint8_t head[4 + kFileHeaderSize];
    if (!Image.Read(peOffset, head, sizeof head) || std::memcmp(head, "PE\0\0", 4) != 0) return vrDamaged;
    const uint32_t sectionCount = GetUInt16(head + 4 + 2);
    const uint32_t optionalSize = GetUInt16(head + 4 + 16);
    const uint64_t optionalOffset = static_cast<uint64_t>(peOffset) + sizeof head;

    uint8_t magic[2];
    if (optionalSize < 2 || !Image.Read(optionalOffset, magic, 2)) return vrDamaged;
    uint32_t directoriesAt = 0;  // offset of the data directories in the optional header
    switch (GetUInt16(magic)) {
        case kMagicPe32:
            directoriesAt = 96;
            break;
        case kMagicPe32Plus:
            directoriesAt = 112;
            break;
        default:
            return vrDamaged;
    }
    uint32_t directoryCount = 0;
    if (optionalSize < directoriesAt || !Image.Read32(optionalOffset + directoriesAt - 4, directoryCount))
        return vrDamaged;
    if (directoryCount > (optionalSize - directoriesAt) / 8) return vrDamaged;
    if (directoryCount <= kResourceDirectoryIndex) return vrNoResource;
    uint32_t resourceRva = 0, resourceSize = 0;
    const uint64_t resourceEntry = optionalOffset + directoriesAt + 8 * kResourceDirectoryIndex;
    if (!Image.Read32(resourceEntry, resourceRva) || !Image.Read32(resourceEntry + 4, resourceSize))
        return vrDamaged;

    const uint64_t sectionsOffset = optionalOffset + optionalSize;
    std::vector<uint8_t> table(sectionCount * kSectionHeaderSize);  // at most 2.6 MB
    if (!table.empty() && !Image.Read(sectionsOffset, table.data(), static_cast<uint32_t>(table.size())))
        return vrDamaged;
    Image.Sections.clear();
    for (uint32_t i = 0; i < sectionCount; ++i) {
        const uint8_t* s = table.data() + i * kSectionHeaderSize;
        Image.Sections.push_back({GetUInt32(s + 12), GetUInt32(s + 8), GetUInt32(s + 16), GetUInt32(s + 20)});
    }
    if (resourceRva == 0 || resourceSize == 0) return vrNoResource;

    // The resource section as far as the image holds it: its directories are addressed relative to
    // its start.
    uint64_t base = 0;
    uint32_t rest = 0;
    if (!Image.Map(resourceRva, kResourceDirectoryHeaderSize, base, &rest)) return vrDamaged;
    const uint32_t size = std::min(resourceSize, rest);

    // Three levels: the type, then its first name, then that name's first language.
    std::vector<uint8_t> entries;
    if (!ReadDirectory(Image, base, size, 0, entries)) return vrDamaged;
    uint32_t next = 0;
    bool found = false;
    for (size_t i = 0; i + kResourceEntrySize <= entries.size(); i += kResourceEntrySize) {
        uint32_t name = GetUInt32(&entries[i]);
        if (name == kResourceTypeVersion) {
            next = GetUInt32(&entries[i + 4]);
            found = true;
            break;
        }
    }
    if (!found) return vrNoResource;
    for (int level = 0; level < 2; ++level) {
        if (!(next & kSubdirectoryFlag)) return vrDamaged;
        if (!ReadDirectory(Image, base, size, next & ~kSubdirectoryFlag, entries)) return vrDamaged;
        if (entries.empty()) return vrNoResource;
        next = GetUInt32(&entries[4]);
    }
    if (next & kSubdirectoryFlag) return vrDamaged;
    // The data entry: the resource's address (an RVA) and size.
    uint8_t data[8];
    if (next > size || size - next < 16 || !Image.Read(base + next, data, sizeof data)) return vrDamaged;
    const uint32_t dataRva = GetUInt32(data), dataSize = std::min(GetUInt32(data + 4), kMaxVersionResource);
    uint64_t dataOffset = 0;
    if (dataSize < 6 || !Image.Map(dataRva, dataSize, dataOffset)) return vrDamaged;
    Resource.resize(dataSize);
    if (!Image.Read(dataOffset, Resource.data(), dataSize)) return vrDamaged;
    return vrFound;
}

// ---- Version blocks -------------------------------------------------------------------------

// A block: 16-bit length, value length and type (1 text, 0 binary), a zero-ended UTF-16 key, the
// value and the child blocks, each of these starting at a multiple of four bytes.
struct TBlock {
    size_t End = 0;
    std::u16string Key;
    size_t ValueStart = 0;
    size_t ValueSize = 0;  // bytes, within the block
    bool IsText = false;
    size_t ChildrenStart = 0;
};

size_t Align4(size_t n) {
    return (n + 3) & ~size_t{3};
}

bool ParseBlock(std::span<const uint8_t> Data, size_t At, size_t Limit, TBlock& Block) {
    if (At > Limit || Limit - At < 6) return false;
    const size_t length = GetUInt16(&Data[At]);
    if (length < 6 || length > Limit - At) return false;
    Block.End = At + length;
    const size_t valueLength = GetUInt16(&Data[At + 2]);
    Block.IsText = GetUInt16(&Data[At + 4]) == 1;
    Block.Key.clear();
    size_t p = At + 6;
    for (;;) {
        if (Block.End - p < 2) return false;  // the key must end inside the block
        char16_t c = static_cast<char16_t>(GetUInt16(&Data[p]));
        p += 2;
        if (c == 0) break;
        Block.Key += c;
    }
    Block.ValueStart = std::min(Align4(p), Block.End);
    // A text value's length counts characters; some writers give bytes, so it is only an upper
    // bound that the block's end cuts.
    size_t valueBytes = Block.IsText ? valueLength * 2 : valueLength;
    Block.ValueSize = std::min(valueBytes, Block.End - Block.ValueStart);
    if (!Block.IsText && Block.ValueSize < valueBytes) return false;
    Block.ChildrenStart = std::min(Align4(Block.ValueStart + Block.ValueSize), Block.End);
    return true;
}

bool SameKey(const std::u16string& Key, std::string_view Name) {
    if (Key.size() != Name.size()) return false;
    for (size_t i = 0; i < Key.size(); ++i) {
        char16_t a = Key[i];
        char b = Name[i];
        if (a >= u'a' && a <= u'z') a = static_cast<char16_t>(a - 32);
        if (b >= 'a' && b <= 'z') b = static_cast<char>(b - 32);
        if (a != static_cast<unsigned char>(b)) return false;
    }
    return true;
}

void AppendUtf8(std::string& Out, uint32_t c) {
    if (c < 0x80) {
        Out += static_cast<char>(c);
    } else if (c < 0x800) {
        Out += static_cast<char>(0xC0 | (c >> 6));
        Out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        Out += static_cast<char>(0xE0 | (c >> 12));
        Out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        Out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        Out += static_cast<char>(0xF0 | (c >> 18));
        Out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        Out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        Out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// UTF-16 text up to its first zero, as Windows-1252.
std::string TextValue(const uint8_t* p, size_t Bytes) {
    std::string utf8;
    for (size_t i = 0; i + 2 <= Bytes; i += 2) {
        uint32_t c = GetUInt16(p + i);
        if (c == 0) break;
        if (c >= 0xD800 && c < 0xDC00 && i + 4 <= Bytes) {
            uint32_t low = GetUInt16(p + i + 2);
            if (low >= 0xDC00 && low < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        if (c >= 0xD800 && c < 0xE000) c = 0xFFFD;  // a lone surrogate
        AppendUtf8(utf8, c);
    }
    return platform::Utf8ToAnsi(utf8);
}

}  // namespace

TVersionResourceResult FindVersionResource(const TImageReadFunc& Read, uint64_t ImageSize,
                                           std::vector<uint8_t>& Resource) {
    Resource.clear();
    TPeImage image(Read, ImageSize);
    TVersionResourceResult r = FindInImage(image, Resource);
    if (r != TVersionResourceResult::vrFound) Resource.clear();
    return r;
}

TVersionResourceResult FindVersionResource(std::span<const uint8_t> Image, std::vector<uint8_t>& Resource) {
    TImageReadFunc read = [Image](uint64_t Offset, void* Buffer, uint32_t Count) {
        if (Offset > Image.size() || Count > Image.size() - Offset) return false;
        if (Count > 0) std::memcpy(Buffer, Image.data() + Offset, Count);
        return true;
    };
    return FindVersionResource(read, Image.size(), Resource);
}

std::optional<TVersionValue> VerQueryValue(std::span<const uint8_t> Resource, std::string_view SubBlock) {
    TBlock block;
    if (!ParseBlock(Resource, 0, Resource.size(), block)) return std::nullopt;
    size_t p = 0;
    while (p < SubBlock.size()) {
        while (p < SubBlock.size() && SubBlock[p] == '\\') ++p;
        if (p == SubBlock.size()) break;
        size_t q = SubBlock.find('\\', p);
        if (q == std::string_view::npos) q = SubBlock.size();
        std::string_view name = SubBlock.substr(p, q - p);
        p = q;
        // Children follow each other; a zero length is padding at the end of the parent.
        bool found = false;
        size_t child = block.ChildrenStart;
        TBlock c;
        while (child < block.End && Resource.size() - child >= 2 && GetUInt16(&Resource[child]) != 0) {
            if (!ParseBlock(Resource, child, block.End, c)) return std::nullopt;
            if (SameKey(c.Key, name)) {
                found = true;
                break;
            }
            child = Align4(c.End);
        }
        if (!found) return std::nullopt;
        block = c;
    }
    TVersionValue v;
    v.IsText = block.IsText;
    const uint8_t* value = Resource.data() + block.ValueStart;
    if (v.IsText)
        v.Text = TextValue(value, block.ValueSize);
    else
        v.Bytes.assign(value, value + block.ValueSize);
    return v;
}

// ---- ParseVersionFloat ----------------------------------------------------------------------

double ParseVersionFloat(const std::string& Text) {
    std::string number = "0";
    std::string s = Text;
    int dots = 0;
    for (size_t i = 0; i + 1 < s.size(); ++i) {
        if (s[i] != '.') continue;
        s[i] = framework::DecimalSeparator;
        if (++dots == 2) {
            if (i + 1 <= 6) number = s.substr(0, i);
            break;
        }
    }
    return framework::StrToFloat(number);
}

// ---- TShCustomVersionInfo -------------------------------------------------------------------

namespace {

constexpr uint32_t kFixedInfoSize = 52;

// The whole text as a number with "." as decimal point, as the run-time's Val reads it.
bool ParseWholeNumber(const std::string& Text, double& Value) {
    const char* first = Text.data();
    const char* last = first + Text.size();
    auto [end, error] = std::from_chars(first, last, Value);
    return error == std::errc() && end == last && std::isfinite(Value);
}

double VersionNumber(const std::string& Text) {
    double v = 0;
    if (ParseWholeNumber(Text, v)) return v;
    try {
        return ParseVersionFloat(Text);
    } catch (const framework::Exception&) {
        return 0;
    }
}

// The version resource of a file, or the exception for its absence or damage.
std::vector<uint8_t> ReadResource(const std::string& FileName) {
    using namespace platform;
    HANDLE h = CreateFile(FileName, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING, 0);
    if (h == INVALID_HANDLE_VALUE) throw EShVersionInfoError(101);
    struct TCloser {
        HANDLE H;
        ~TCloser() { CloseHandle(H); }
    } closer{h};
    int64_t size = 0;
    if (!GetFileSizeEx(h, size)) throw EShVersionInfoError(101);
    TImageReadFunc read = [h](uint64_t Offset, void* Buffer, uint32_t Count) {
        int64_t at = 0;
        if (!SetFilePointerEx(h, static_cast<int64_t>(Offset), &at, FILE_BEGIN)) return false;
        uint32_t got = 0;
        return ReadFile(h, Buffer, Count, &got) && got == Count;
    };
    std::vector<uint8_t> resource;
    switch (FindVersionResource(read, static_cast<uint64_t>(size), resource)) {
        case TVersionResourceResult::vrFound:
            return resource;
        case TVersionResourceResult::vrNoResource:
            throw EShVersionInfoError(100);
        case TVersionResourceResult::vrDamaged:
            break;
    }
    throw EShVersionInfoError(101);
}

}  // namespace

TShCustomVersionInfo::TShCustomVersionInfo() {
    SetFileName("");
}

void TShCustomVersionInfo::SetFileName(const std::string& Value) {
    if (!Value.empty()) {
        uint32_t attributes = platform::GetFileAttributes(Value);
        if (attributes == platform::INVALID_FILE_ATTRIBUTES ||
            (attributes & platform::FILE_ATTRIBUTE_DIRECTORY))
            throw EShVersionInfoError(73);
    }
    if (Value != FFileName) FLoaded = false;
    FFileName = Value;
    if (FFileName.empty()) FFileName = platform::GetModuleFileName();
}

std::string TShCustomVersionInfo::LoadVersionInfo(const std::string* Key) {
    const std::vector<uint8_t> resource = ReadResource(FFileName);
    auto translation = VerQueryValue(resource, "\\VarFileInfo\\Translation");
    if (!translation || translation->IsText || translation->Bytes.size() < 4) throw EShVersionInfoError(101);
    char prefix[40];
    std::snprintf(prefix, sizeof prefix, "\\StringFileInfo\\%.4x%.4x\\", GetUInt16(&translation->Bytes[0]),
                  GetUInt16(&translation->Bytes[2]));
    if (Key) {
        auto value = VerQueryValue(resource, prefix + *Key);
        if (!value) throw EShVersionInfoError(134);
        return value->IsText ? value->Text : std::string(value->Bytes.begin(), value->Bytes.end());
    }
    auto fixed = VerQueryValue(resource, "\\");
    if (!fixed || fixed->Bytes.size() < kFixedInfoSize) throw EShVersionInfoError(101);
    const uint8_t* f = fixed->Bytes.data();
    FFileVersionMS = GetUInt32(f + 8);
    FFileVersionLS = GetUInt32(f + 12);
    FProductVersionMS = GetUInt32(f + 16);
    FProductVersionLS = GetUInt32(f + 20);
    FFileOS = GetUInt32(f + 32);
    auto text = [&](const char* Name, std::string& Text, double& Number) {
        auto value = VerQueryValue(resource, prefix + std::string(Name));
        Text = value && value->IsText ? value->Text : std::string();
        Number = Text.empty() ? 0 : VersionNumber(Text);
    };
    text("FileVersion", FFileVersion, FFileVersionFloat);
    text("ProductVersion", FProductVersion, FProductVersionFloat);
    FLoaded = true;
    return {};
}

void TShCustomVersionInfo::EnsureLoaded() {
    if (!FLoaded) LoadVersionInfo(nullptr);
}

std::string TShCustomVersionInfo::GetVersionString(const std::string& Key) {
    return LoadVersionInfo(&Key);
}

uint32_t TShCustomVersionInfo::FileVersionMS() {
    EnsureLoaded();
    return FFileVersionMS;
}
uint32_t TShCustomVersionInfo::FileVersionLS() {
    EnsureLoaded();
    return FFileVersionLS;
}
uint32_t TShCustomVersionInfo::ProductVersionMS() {
    EnsureLoaded();
    return FProductVersionMS;
}
uint32_t TShCustomVersionInfo::ProductVersionLS() {
    EnsureLoaded();
    return FProductVersionLS;
}
uint32_t TShCustomVersionInfo::FileOS() {
    EnsureLoaded();
    return FFileOS;
}
const std::string& TShCustomVersionInfo::FileVersion() {
    EnsureLoaded();
    return FFileVersion;
}
const std::string& TShCustomVersionInfo::ProductVersion() {
    EnsureLoaded();
    return FProductVersion;
}
double TShCustomVersionInfo::FileVersionFloat() {
    EnsureLoaded();
    return FFileVersionFloat;
}
double TShCustomVersionInfo::ProductVersionFloat() {
    EnsureLoaded();
    return FProductVersionFloat;
}

}  // namespace sysutil
