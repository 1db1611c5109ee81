#include "codecs/archive/TarGzip.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "codecs/archive/ArcErrors.h"
#include "codecs/archive/ArcUtils.h"
#include "codecs/archive/SpanStream.h"
#include "codecs/deflate/DeflateEngine.h"
#include "framework/core/DateTime.h"
#include "platform/LittleEndian.h"

namespace codecs {

namespace {

using platform::GetUInt16;
using platform::GetUInt32;
using platform::PutUInt32;

// Puts the stream back where it was on every way out.
struct TPositionKeeper {
    framework::TStream* S;
    int64_t Saved;
    explicit TPositionKeeper(framework::TStream* s) : S(s), Saved(s->Position()) {}
    ~TPositionKeeper() { S->Seek(Saved, framework::soFromBeginning); }
};

int64_t FloorMod(int64_t a, int64_t b) {
    int64_t m = a % b;
    return m < 0 ? m + b : m;
}

// High and low word of the file date-time stamp of a Unix time. A DOS stamp covers 1980 to
// 2107; earlier times give its earliest value (1980-01-01 00:00:00), later ones its latest.
uint32_t StampOfUnix(int64_t seconds) {
    constexpr int64_t kFirst = 315532800;     // 1980-01-01 00:00:00
    constexpr int64_t kLast = 4354819198;     // 2107-12-31 23:59:58
    if (seconds < kFirst) return 0x00210000;  // day 1 of month 1 of 1980, midnight
    if (seconds > kLast) return 0xFF9FBF7D;   // 2107-12-31 23:59:58
    return static_cast<uint32_t>(framework::DateTimeToFileDate(UnixSecondsToDateTime(seconds)));
}

// The Unix time with its day replaced by the day of a DOS date (unchanged for an impossible date).
int64_t WithDosDate(int64_t seconds, uint16_t date) {
    framework::TDateTime day;
    if (!framework::TryEncodeDate((date >> 9) + 1980, (date >> 5) & 0x0F, date & 0x1F, day)) return seconds;
    return DateTimeToUnixSeconds(day) + FloorMod(seconds, 86400);
}

// The Unix time with its seconds within the day replaced by those of a DOS time.
int64_t WithDosTime(int64_t seconds, uint16_t time) {
    int64_t secs = (time >> 11) * 3600 + ((time >> 5) & 0x3F) * 60 + 2 * (time & 0x1F);
    return seconds - FloorMod(seconds, 86400) + secs;
}

std::string FieldText(const uint8_t* field, int width) {
    const void* nul = std::memchr(field, 0, static_cast<size_t>(width));
    size_t n =
        nul ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - field) : static_cast<size_t>(width);
    return std::string(reinterpret_cast<const char*>(field), n);
}

// A NUL-terminated text read in 1023-byte pieces; the stream is left after the NUL. A text
// without its NUL before the end of the stream raises EReadError.
std::string ReadZeroTerminated(framework::TStream* stream) {
    std::string text;
    char piece[1023];
    for (;;) {
        int64_t at = stream->Position();
        int32_t n = stream->Read(piece, sizeof piece);
        if (n <= 0) throw framework::EReadError("Stream read error");
        const void* nul = std::memchr(piece, 0, static_cast<size_t>(n));
        if (nul) {
            size_t len = static_cast<size_t>(static_cast<const char*>(nul) - piece);
            text.append(piece, len);
            stream->Seek(at + static_cast<int64_t>(len) + 1, framework::soFromBeginning);
            return text;
        }
        text.append(piece, static_cast<size_t>(n));
    }
}

// The CRC-32 of two pieces joined, from the CRC-32 of each and the length of the second: the
// first CRC is carried over `length2` zero bytes by squaring a shift operator in GF(2).
uint32_t Gf2Times(const uint32_t* matrix, uint32_t vector) {
    uint32_t sum = 0;
    for (int i = 0; vector; vector >>= 1, ++i)
        if (vector & 1) sum ^= matrix[i];
    return sum;
}
void Gf2Square(uint32_t* square, const uint32_t* matrix) {
    for (int n = 0; n < 32; ++n) square[n] = Gf2Times(matrix, matrix[n]);
}
uint32_t Crc32Combine(uint32_t crc1, uint32_t crc2, uint64_t length2) {
    if (length2 == 0) return crc1;
    uint32_t even[32], odd[32];
    odd[0] = 0xEDB88320;  // the operator for one zero bit
    for (int n = 1; n < 32; ++n) odd[n] = 1u << (n - 1);
    Gf2Square(even, odd);  // two zero bits
    Gf2Square(odd, even);  // four zero bits
    do {
        Gf2Square(even, odd);
        if (length2 & 1) crc1 = Gf2Times(even, crc1);
        length2 >>= 1;
        if (!length2) break;
        Gf2Square(odd, even);
        if (length2 & 1) crc1 = Gf2Times(odd, crc1);
        length2 >>= 1;
    } while (length2);
    return crc1 ^ crc2;
}

std::string SlashesToBackslashes(std::string s) {
    std::replace(s.begin(), s.end(), '/', '\\');
    return s;
}

}  // namespace

// ---- TAR fields ---------------------------------------------------------------------------------

int64_t RoundUpToBlock(int64_t n) {
    return (n + 511) & ~int64_t{511};
}

int64_t ReadOctalField(const uint8_t* field, int width) {
    int i = 0;
    while (i < width && field[i] == ' ') ++i;
    int64_t value = 0;
    for (; i < width && field[i] >= '0' && field[i] <= '7'; ++i) value = value * 8 + (field[i] - '0');
    return value;
}

void WriteOctalField(uint8_t* field, int width, int64_t value) {
    char digits[24];
    int n = 0;
    uint64_t v = value < 0 ? 0 : static_cast<uint64_t>(value);
    do {
        digits[n++] = static_cast<char>('0' + (v & 7));
        v >>= 3;
    } while (v);
    // A value too long for its field keeps its low digits, so nothing is written past the field.
    n = std::min(n, width - 1);
    std::memset(field, ' ', static_cast<size_t>(width));
    for (int i = 0; i < n; ++i) field[width - 2 - i] = static_cast<uint8_t>(digits[i]);
}

uint32_t TarHeaderChecksum(const uint8_t* record) {
    uint32_t sum = 0;
    for (int i = 0; i < kTarHeaderSize; ++i)
        sum += (i >= tar::Checksum && i < tar::Checksum + tar::ChecksumSize) ? ' ' : record[i];
    return sum;
}

bool TarBlockChecksumMatches(const uint8_t* block) {
    int64_t unsignedSum = 0, signedSum = 0;
    for (int i = 0; i < kTarBlock; ++i) {
        bool field = i >= tar::Checksum && i < tar::Checksum + tar::ChecksumSize;
        unsignedSum += field ? ' ' : block[i];
        signedSum += field ? ' ' : static_cast<int8_t>(block[i]);
    }
    const int64_t stored = ReadOctalField(block + tar::Checksum, tar::ChecksumSize);
    return stored == unsignedSum || stored == signedSum;
}

// ---- TAR item -----------------------------------------------------------------------------------

TArcTarItem::TArcTarItem() {
    std::memset(TarHeader, 0, sizeof TarHeader);
    std::memcpy(TarHeader + tar::Magic, "ustar  ", 8);
    WriteOctalField(TarHeader + tar::Mode, tar::ModeSize, 0744);
    WriteOctalField(TarHeader + tar::Uid, tar::IdSize, 0);
    WriteOctalField(TarHeader + tar::Gid, tar::IdSize, 0);
    TarHeader[tar::TypeFlag] = '0';
    WriteOctalField(TarHeader + tar::DevMajor, tar::DevSize, 0);
    WriteOctalField(TarHeader + tar::DevMinor, tar::DevSize, 0);
}

int32_t TArcTarItem::GetPackedSize() const {
    return static_cast<int32_t>(ExtendedSize ? *ExtendedSize
                                             : ReadOctalField(TarHeader + tar::Size, tar::SizeSize));
}
uint32_t TArcTarItem::GetUnpackedSize() const {
    return static_cast<uint32_t>(ExtendedSize ? *ExtendedSize
                                              : ReadOctalField(TarHeader + tar::Size, tar::SizeSize));
}
uint32_t TArcTarItem::GetAttributes() const {
    return static_cast<uint32_t>(ReadOctalField(TarHeader + tar::Mode, tar::ModeSize));
}
std::string TArcTarItem::GetStoredName() const {
    return ExtendedName.empty() ? FieldText(TarHeader + tar::Name, tar::NameSize) : ExtendedName;
}
std::string TArcTarItem::GetLinkName() const {
    return ExtendedLinkName.empty() ? FieldText(TarHeader + tar::LinkName, tar::NameSize) : ExtendedLinkName;
}
int64_t TArcTarItem::ModificationTime() const {
    return ExtendedMTime ? *ExtendedMTime : ReadOctalField(TarHeader + tar::MTime, tar::MTimeSize);
}
void TArcTarItem::SetModificationTime(int64_t seconds) {
    ExtendedMTime.reset();
    WriteOctalField(TarHeader + tar::MTime, tar::MTimeSize, seconds);
}
uint16_t TArcTarItem::GetDosDate() const {
    return static_cast<uint16_t>(StampOfUnix(ModificationTime()) >> 16);
}
uint16_t TArcTarItem::GetDosTime() const {
    return static_cast<uint16_t>(StampOfUnix(ModificationTime()) & 0xFFFF);
}
void TArcTarItem::SetPackedSize(int32_t value) {
    ExtendedSize.reset();
    WriteOctalField(TarHeader + tar::Size, tar::SizeSize, value);
}
void TArcTarItem::SetUnpackedSize(uint32_t value) {
    ExtendedSize.reset();
    WriteOctalField(TarHeader + tar::Size, tar::SizeSize, value);
}
void TArcTarItem::SetAttributes(uint32_t value) {
    WriteOctalField(TarHeader + tar::Mode, tar::ModeSize, value);
}
void TArcTarItem::SetStoredName(const std::string& value) {
    // At most 99 bytes, so the NUL always fits.
    size_t n = std::min<size_t>(value.size(), tar::NameSize - 1);
    ExtendedName.clear();
    std::memset(TarHeader + tar::Name, 0, tar::NameSize);
    std::memcpy(TarHeader + tar::Name, value.data(), n);
}
void TArcTarItem::SetDosDate(uint16_t value) {
    SetModificationTime(WithDosDate(ModificationTime(), value));
}
void TArcTarItem::SetDosTime(uint16_t value) {
    SetModificationTime(WithDosTime(ModificationTime(), value));
}
void TArcTarItem::SetUserId(int64_t value) {
    WriteOctalField(TarHeader + tar::Uid, tar::IdSize, value);
}
void TArcTarItem::SetGroupId(int64_t value) {
    WriteOctalField(TarHeader + tar::Gid, tar::IdSize, value);
}
void TArcTarItem::SetDeviceMajor(int64_t value) {
    WriteOctalField(TarHeader + tar::DevMajor, tar::DevSize, value);
}
void TArcTarItem::SetDeviceMinor(int64_t value) {
    WriteOctalField(TarHeader + tar::DevMinor, tar::DevSize, value);
}
void TArcTarItem::SetUserName(const std::string& value) {
    std::memset(TarHeader + tar::UName, 0, tar::OwnerNameSize);
    std::memcpy(TarHeader + tar::UName, value.data(), std::min<size_t>(value.size(), tar::OwnerNameSize - 1));
}
void TArcTarItem::SetGroupName(const std::string& value) {
    std::memset(TarHeader + tar::GName, 0, tar::OwnerNameSize);
    std::memcpy(TarHeader + tar::GName, value.data(), std::min<size_t>(value.size(), tar::OwnerNameSize - 1));
}

void TArcTarItem::ReadTarHeader(framework::TStream* stream) {
    stream->ReadBuffer(TarHeader, kTarHeaderSize);
    stream->Seek(-kTarHeaderSize, framework::soFromCurrent);
    ExtendedName.clear();
    ExtendedLinkName.clear();
    ExtendedSize.reset();
    ExtendedMTime.reset();
    SourcePath = SlashesToBackslashes(GetStoredName());
    PendingAction = paNone;
}

// ---- TAR stream reader --------------------------------------------------------------------------

namespace {

// Extended headers larger than this are taken for damage rather than read into memory.
constexpr int64_t kMaxExtendedRecord = 16 << 20;
// Sizes and times beyond this are clamped, so that offsets computed from them cannot overflow.
constexpr int64_t kMaxTarNumber = int64_t{1} << 53;

bool AllZero(const uint8_t* block) {
    for (int i = 0; i < kTarBlock; ++i)
        if (block[i]) return false;
    return true;
}

// A decimal number of an extended header: an optional sign, digits and, for times, a fraction
// that is dropped (rounding towards the earlier second). False for anything else.
bool ParseDecimal(const std::string& text, bool allowFraction, int64_t& value) {
    size_t i = 0;
    bool negative = false;
    if (allowFraction && i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    const size_t digitsAt = i;
    int64_t v = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        v = std::min(v * 10 + (text[i] - '0'), kMaxTarNumber);
    if (i == digitsAt) return false;
    bool fraction = false;
    if (allowFraction && i < text.size() && text[i] == '.') {
        for (++i; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
            if (text[i] != '0') fraction = true;
    }
    if (i != text.size()) return false;
    value = negative ? -v - (fraction ? 1 : 0) : v;
    return true;
}

}  // namespace

bool TArcTarStreamHelper::ReadHeaderAt(int64_t position) {
    if (position < 0 || Stream->Seek(position, framework::soFromBeginning) != position) return false;
    HeaderStart = position;
    return Stream->Read(Header, kTarBlock) == kTarBlock;
}

std::string TArcTarStreamHelper::ReadRecordData(int64_t at, int64_t size) {
    if (size > kMaxExtendedRecord || size > Stream->Size() - at) throw EArcReadError();
    std::string data(static_cast<size_t>(size), '\0');
    Stream->Seek(at, framework::soFromBeginning);
    if (size > 0) Stream->ReadBuffer(data.data(), static_cast<int32_t>(size));
    return data;
}

// Records "<length> <keyword>=<value>\n", the length counting the whole record.
void TArcTarStreamHelper::ParseExtendedHeader(const std::string& data, TExtended& extended) {
    size_t at = 0;
    while (at < data.size()) {
        if (data[at] == '\0') break;  // padding behind the last record
        size_t space = data.find(' ', at);
        if (space == std::string::npos || space == at) throw EArcReadError();
        size_t length = 0;
        for (size_t i = at; i < space; ++i) {
            if (data[i] < '0' || data[i] > '9') throw EArcReadError();
            length = length * 10 + static_cast<size_t>(data[i] - '0');
            if (length > data.size()) throw EArcReadError();
        }
        if (length <= space - at + 1 || length > data.size() - at || data[at + length - 1] != '\n')
            throw EArcReadError();
        const std::string record = data.substr(space + 1, at + length - 1 - (space + 1));
        at += length;
        size_t equals = record.find('=');
        if (equals == std::string::npos) throw EArcReadError();
        const std::string key = record.substr(0, equals), value = record.substr(equals + 1);
        int64_t number = 0;
        if (key == "path") {
            extended.Name = value;
        } else if (key == "linkpath") {
            extended.LinkName = value;
        } else if (key == "size") {
            if (!ParseDecimal(value, false, number)) throw EArcReadError();
            extended.Size = number;
        } else if (key == "mtime") {
            if (!ParseDecimal(value, true, number)) throw EArcReadError();
            extended.MTime = number;
        }
    }
}

bool TArcTarStreamHelper::SearchRegular(int64_t position) {
    TExtended extended;
    for (;;) {
        if (!ReadHeaderAt(position)) return false;
        if (AllZero(Header)) return false;  // the end of the archive
        if (!TarBlockChecksumMatches(Header)) throw EArcReadError();
        const uint8_t type = Header[tar::TypeFlag];
        const int64_t ownSize = ReadOctalField(Header + tar::Size, tar::SizeSize);
        const int64_t dataAt = position + kTarBlock;
        if (type == 'L' || type == 'K' || type == 'x') {
            const std::string data = ReadRecordData(dataAt, ownSize);
            if (type == 'x')
                ParseExtendedHeader(data, extended);
            else
                (type == 'L' ? extended.Name : extended.LinkName) = data.substr(0, data.find('\0'));
            position = dataAt + RoundUpToBlock(ownSize);
            continue;
        }
        std::string name = FieldText(Header + tar::Name, tar::NameSize);
        if (std::memcmp(Header + tar::Magic, "ustar\0", 6) == 0) {
            std::string prefix = FieldText(Header + tar::Prefix, tar::PrefixSize);
            if (!prefix.empty()) name = prefix + "/" + name;
        }
        EntryName = extended.Name ? *extended.Name : name;
        EntryLinkName =
            extended.LinkName ? *extended.LinkName : FieldText(Header + tar::LinkName, tar::NameSize);
        EntrySize = extended.Size ? *extended.Size : ownSize;
        EntryMTime = extended.MTime;
        if (type == 0 || type == '0') {
            if (EntryName.empty()) return false;
            Stream->Seek(HeaderStart, framework::soFromBeginning);
            return true;
        }
        // Every step moves forward by at least one block, so the walk ends.
        position = dataAt + RoundUpToBlock(EntrySize);
        extended = TExtended();
    }
}

bool TArcTarStreamHelper::FindFirstItem() {
    HeaderStart = 0;
    return SearchRegular(0);
}

bool TArcTarStreamHelper::FindNextItem() {
    return SearchRegular(HeaderStart + kTarBlock + RoundUpToBlock(EntrySize));
}

void TArcTarStreamHelper::ReadItem(TArcTarItem& item) {
    Stream->Seek(HeaderStart, framework::soFromBeginning);
    item.ReadTarHeader(Stream);
    item.ExtendedName = EntryName;
    item.ExtendedLinkName = EntryLinkName;
    item.ExtendedSize = EntrySize;
    item.ExtendedMTime = EntryMTime;
    item.SourcePath = SlashesToBackslashes(item.GetStoredName());
}

void TArcTarStreamHelper::ExtractItemData(framework::TStream* dest) {
    Stream->Seek(HeaderStart + kTarBlock, framework::soFromBeginning);
    // Data that the stream does not hold is not waited for: the copy raises at its end.
    int64_t size = EntrySize;
    if (size > 0) dest->CopyFrom(Stream, size);
    Stream->Seek(HeaderStart, framework::soFromBeginning);
}

void TArcTarStreamHelper::WriteItemData(framework::TStream* source) {
    int64_t size = Stream->CopyFrom(source, 0);
    std::vector<uint8_t> zeros(static_cast<size_t>(RoundUpToBlock(size) - size), 0);
    if (!zeros.empty()) Stream->WriteBuffer(zeros.data(), static_cast<int32_t>(zeros.size()));
}

void TArcTarStreamHelper::WriteTail() {
    uint8_t zeros[kTarBlock] = {};
    Stream->WriteBuffer(zeros, kTarBlock);
}

int TArcTarStreamHelper::GetItemCount() {
    if (!FindFirstItem()) return 0;
    int n = 1;
    while (FindNextItem()) ++n;
    return n;
}

bool TArcTarStreamHelper::FindItemAt(int index) {
    bool found = FindFirstItem();
    for (int i = 1; found && i < index; ++i) found = FindNextItem();
    return found;
}

// ---- GZIP item ----------------------------------------------------------------------------------

uint16_t TArcGzipItem::GetDosDate() const {
    return static_cast<uint16_t>(StampOfUnix(ModTime) >> 16);
}
uint16_t TArcGzipItem::GetDosTime() const {
    return static_cast<uint16_t>(StampOfUnix(ModTime) & 0xFFFF);
}
void TArcGzipItem::SetStoredName(const std::string& value) {
    TArcArchiveItem::SetStoredName(value);
    if (value.empty())
        Flags &= static_cast<uint8_t>(~gzFName);
    else
        Flags |= gzFName;
}
void TArcGzipItem::SetDosDate(uint16_t value) {
    ModTime = static_cast<int32_t>(WithDosDate(ModTime, value));
}
void TArcGzipItem::SetDosTime(uint16_t value) {
    ModTime = static_cast<int32_t>(WithDosTime(ModTime, value));
}

void TArcGzipItem::ReadItemHeader(framework::TStream* stream) {
    // ID1, ID2, CM, FLG, MTIME (4), XFL, OS.
    uint8_t fixed[10];
    stream->ReadBuffer(fixed, 10);
    Id1 = fixed[0];
    Id2 = fixed[1];
    Method = fixed[2];
    Flags = fixed[3];
    ModTime = static_cast<int32_t>(GetUInt32(fixed + 4));
    ExtraFlags = fixed[8];
    OsCode = fixed[9];
    ExtraField.clear();
    if (Flags & gzFExtra) {
        uint8_t len[2];
        stream->ReadBuffer(len, 2);
        ExtraField.resize(GetUInt16(len));
        if (!ExtraField.empty())
            stream->ReadBuffer(ExtraField.data(), static_cast<int32_t>(ExtraField.size()));
    }
    // The name is set past the FNAME bookkeeping of SetStoredName: the flags stay as read.
    TArcArchiveItem::SetStoredName((Flags & gzFName) ? ReadZeroTerminated(stream) : std::string("unknown"));
    Comment = (Flags & gzFComment) ? ReadZeroTerminated(stream) : std::string();
    if (Flags & gzFHcrc) {
        uint8_t crc[2];
        stream->ReadBuffer(crc, 2);
        HeaderCrc = crc[0];
    }
    SetPackedSize(static_cast<int32_t>(stream->Size() - stream->Position() - 8));
    SourcePath = SlashesToBackslashes(GetStoredName());
    PendingAction = paNone;
}

void TArcGzipItem::WriteItemHeader(framework::TStream* stream) {
    std::string name = GetStoredName();
    uint8_t flags = 0;
    if (!ExtraField.empty()) flags |= gzFExtra;
    if (!name.empty()) flags |= gzFName;
    if (!Comment.empty()) flags |= gzFComment;
    std::vector<uint8_t> h = {31, 139, 8, flags, 0, 0, 0, 0, ExtraFlags, OsCode};
    PutUInt32(h.data() + 4, static_cast<uint32_t>(ModTime));
    if (flags & gzFExtra) {
        size_t n = std::min<size_t>(ExtraField.size(), 0xFFFF);
        h.push_back(static_cast<uint8_t>(n));
        h.push_back(static_cast<uint8_t>(n >> 8));
        h.insert(h.end(), ExtraField.begin(), ExtraField.begin() + static_cast<std::ptrdiff_t>(n));
    }
    if (flags & gzFName) {
        h.insert(h.end(), name.begin(), name.end());
        h.push_back(0);
    }
    if (flags & gzFComment) {
        h.insert(h.end(), Comment.begin(), Comment.end());
        h.push_back(0);
    }
    stream->WriteBuffer(h.data(), static_cast<int32_t>(h.size()));
}

// ---- GZIP stream reader -------------------------------------------------------------------------

TArcGzipStreamHelper::TArcGzipStreamHelper(framework::TStream* stream)
    : TArcArchiveStreamHelper(stream), Item(std::make_unique<TArcGzipItem>()) {}

bool TArcGzipStreamHelper::FindFirstItem() {
    Stream->Seek(0, framework::soFromBeginning);
    uint8_t fixed[10];
    bool found = Stream->Read(fixed, 10) == 10 && fixed[0] == 31 && fixed[1] == 139 && fixed[2] == 8;
    if (found) {
        Item->Id1 = fixed[0];
        Item->Id2 = fixed[1];
        Item->Method = fixed[2];
        Item->Flags = fixed[3];
        Item->ModTime = static_cast<int32_t>(GetUInt32(fixed + 4));
        Item->ExtraFlags = fixed[8];
        Item->OsCode = fixed[9];
    }
    Stream->Seek(0, framework::soFromBeginning);
    return found;
}

void TArcGzipStreamHelper::ReadItemHeader() {
    Item->ReadItemHeader(Stream);
}

void TArcGzipStreamHelper::ReadTail() {
    Stream->ReadBuffer(Tail, 8);
}

void TArcGzipStreamHelper::ExtractItemData(framework::TStream* dest) {
    Stream->Seek(0, framework::soFromBeginning);
    Item->ReadItemHeader(Stream);
    TArcDeflateHelper settings;
    if (TestOnly) settings.SetOptions(settings.Options() | dfoTestOnly);
    // Every member in turn (files joined one after the other, or blocked output), as one data
    // stream: the check and the size cover all of it. Each member's own tail is checked; the
    // stream is left at the tail of the last one.
    uint32_t crc = 0;
    uint64_t total = 0;
    for (bool first = true;; first = false) {
        if (!first) {
            TArcGzipItem next;
            next.ReadItemHeader(Stream);
            if (next.Method != 8) throw EArcInflateError("Unknown GZIP compression method");
        }
        settings.NormalCount = 0;
        const uint32_t memberCrc = Inflate(Stream, dest, &settings);
        const uint64_t memberSize = static_cast<uint32_t>(settings.NormalCount);
        crc = first ? memberCrc : Crc32Combine(crc, memberCrc, memberSize);
        total += memberSize;
        const int64_t tailAt = Stream->Position();
        uint8_t tail[8 + 3];
        const int32_t got = Stream->Read(tail, sizeof tail);
        Stream->Seek(tailAt, framework::soFromBeginning);
        if (got < 8) break;  // no tail: nothing follows
        if (GetUInt32(tail) != memberCrc || GetUInt32(tail + 4) != static_cast<uint32_t>(memberSize))
            throw EArcInflateError("GZIP member check failed");
        // Anything behind the tail other than another member's header (such as zero padding)
        // ends the data, as it does for other readers.
        if (got < 11 || tail[8] != 31 || tail[9] != 139) break;
        Stream->Seek(tailAt + 8, framework::soFromBeginning);
    }
    Item->DataCrc = crc;
    Item->SetUnpackedSize(static_cast<uint32_t>(total));
}

void TArcGzipStreamHelper::WriteItemHeader() {
    Item->WriteItemHeader(Stream);
}

void TArcGzipStreamHelper::WriteItemData(framework::TStream* source) {
    TArcDeflateHelper settings;
    Item->DataCrc = Deflate(source, Stream, &settings);
    Item->SetUnpackedSize(static_cast<uint32_t>(source->Size()));
}

void TArcGzipStreamHelper::WriteTail() {
    uint8_t tail[8];
    PutUInt32(tail, Item->DataCrc);
    PutUInt32(tail + 4, Item->GetUnpackedSize());
    Stream->WriteBuffer(tail, 8);
}

// ---- ZIP end record -----------------------------------------------------------------------------

void TArcZipDirectoryFileFooter::ReadFooter(framework::TStream* stream) {
    // Signature, disk, directory start disk, entries here, entries in all, directory size and
    // offset, comment length (22 bytes), then the comment.
    uint8_t r[22];
    stream->ReadBuffer(r, 22);
    FooterSignature = GetUInt32(r);
    if (FooterSignature != ExpectedSignature) throw EArcZipInvalid();
    DiskNumber = GetUInt16(r + 4);
    StartDiskNumber = GetUInt16(r + 6);
    EntriesOnDisk = GetUInt16(r + 8);
    TotalEntries = GetUInt16(r + 10);
    DirectorySize = GetUInt32(r + 12);
    DirectoryOffset = GetUInt32(r + 16);
    FooterCommentLength = GetUInt16(r + 20);
    FooterComment.clear();
    if (FooterCommentLength) {
        FooterComment.resize(FooterCommentLength);
        stream->ReadBuffer(FooterComment.data(), FooterCommentLength);
        FooterComment.resize(std::strlen(FooterComment.c_str()));
    }
}

// ---- signature tests ----------------------------------------------------------------------------

int64_t FindDirectoryTail(framework::TStream* stream) {
    constexpr int32_t kRecord = 22;
    constexpr uint32_t kEndSignature = TArcZipDirectoryFileFooter::ExpectedSignature;
    int64_t limit = 65536;
    struct TSingleVolume {
        TArcSpanStream* Span = nullptr;
        bool Saved = false;
        ~TSingleVolume() {
            if (Span) Span->SingleVolume = Saved;
        }
    } single;
    int64_t size = stream->Size();
    if (auto* span = dynamic_cast<TArcSpanStream*>(stream)) {
        if (size > 0 && size < 65536) limit = size;
        single.Span = span;
        single.Saved = span->SingleVolume;
        span->SingleVolume = true;
    }
    const int64_t saved = stream->Position();
    uint8_t record[kRecord];
    if (size >= kRecord && stream->Seek(size - kRecord, framework::soFromBeginning) == size - kRecord &&
        stream->Read(record, kRecord) == kRecord && GetUInt32(record) == kEndSignature &&
        GetUInt16(record + 20) == 0) {
        stream->Seek(size - kRecord, framework::soFromBeginning);
        return size - kRecord;
    }
    // Windows read backwards from the end. A record found must lie wholly inside the window, so
    // each window ends 21 bytes after the start of the one before: the last position looked at
    // then adjoins the first one of the previous window.
    int64_t window = 512;
    int64_t end = size;
    std::vector<uint8_t> buffer;
    for (;;) {
        int64_t start = end - window;
        bool last = start <= 0;
        if (last) start = 0;
        buffer.resize(static_cast<size_t>(end - start));
        stream->Seek(start, framework::soFromBeginning);
        int64_t got = 0;
        while (got < end - start) {
            int32_t n = stream->Read(buffer.data() + got, static_cast<int32_t>(end - start - got));
            if (n <= 0) break;
            got += n;
        }
        for (int64_t p = got - kRecord; p >= 0; --p) {
            const uint8_t* r = buffer.data() + p;
            if (GetUInt32(r) != kEndSignature) continue;
            int64_t at = start + p;
            if (size - (at + kRecord) >= GetUInt16(r + 20)) {
                stream->Seek(at, framework::soFromBeginning);
                return at;
            }
        }
        if (last) break;
        // The limit is at least 512 here (a smaller stream is done in one pass), so every window
        // starts before the one it follows.
        window = std::min(window * 2, limit);
        end = std::min(start + kRecord - 1, size);
    }
    stream->Seek(saved, framework::soFromBeginning);
    return -1;
}

int ZipSignatureTest(framework::TStream* stream) {
    TPositionKeeper keep(stream);
    stream->Seek(0, framework::soFromBeginning);
    uint8_t head[4];
    if (stream->Read(head, 4) == 4) {
        uint32_t sig = GetUInt32(head);
        if (sig == 0x08074B50 || sig == 0x30304B50) return 2;
    }
    if (FindDirectoryTail(stream) >= 0) {
        TArcZipDirectoryFileFooter footer;
        footer.ReadFooter(stream);
        if (footer.FooterSignature == TArcZipDirectoryFileFooter::ExpectedSignature) return 1;
    }
    return 0;
}

int SfxSignatureTest(framework::TStream* stream) {
    TPositionKeeper keep(stream);
    stream->Seek(0, framework::soFromBeginning);
    uint8_t head[4] = {};
    int32_t n = stream->Read(head, 4);
    bool executable = (n >= 2 && head[0] == 'M' && head[1] == 'Z') ||
                      (n == 4 && head[0] == 0x7F && head[1] == 'E' && head[2] == 'L' && head[3] == 'F');
    return executable && ZipSignatureTest(stream) == 1 ? 3 : 0;
}

int TarSignatureTest(framework::TStream* stream) {
    TArcTarStreamHelper reader(stream);
    TArcTarItem item;
    try {
        item.ReadTarHeader(reader.Stream);
    } catch (const framework::EReadError&) {
        return 0;  // shorter than one header
    }
    // The checksum covers the whole block: the bytes behind the record (the name prefix of the
    // POSIX format) count too. A block cut short by the end of the stream counts as zero-filled.
    uint8_t block[kTarBlock] = {};
    const int64_t at = reader.Stream->Position();
    reader.Stream->Read(block, kTarBlock);
    reader.Stream->Seek(at, framework::soFromBeginning);
    if (TarBlockChecksumMatches(block)) return 4;
    std::string magic = FieldText(item.TarHeader + tar::Magic, tar::MagicSize);
    return magic == "ustar  " || magic == "GNUtar " ? 4 : 0;
}

int GzipSignatureTest(framework::TStream* stream) {
    TPositionKeeper keep(stream);
    TArcGzipStreamHelper reader(stream);
    try {
        stream->Seek(0, framework::soFromBeginning);
        reader.ReadItemHeader();
    } catch (const framework::EReadError&) {
        return 0;  // the header runs past the end of the file
    }
    const TArcGzipItem& item = *reader.Item;
    if (item.Id1 != 31 || item.Id2 != 139 || item.Method != 8) return 0;
    stream->Seek(0, framework::soFromBeginning);
    reader.ReadItemHeader();
    framework::TMemoryStream head;
    head.SetSize(1024);
    head.SetSize(0);
    TArcDeflateHelper settings;
    settings.StopAfterBytes = 512;
    Inflate(stream, &head, &settings);
    head.Seek(0, framework::soFromBeginning);
    return TarSignatureTest(&head) == 4 ? 6 : 5;
}

}  // namespace codecs
