#pragma once
// The index file's on-disk layout: a 4096-byte header holding 33 index descriptors of 120 bytes,
// then 4096-byte pages numbered from 1 (page p at offset p x 4096). Everything is little-endian
// and encoded field by field; the structs below are the decoded, in-memory forms.

#include <array>
#include <cstdint>
#include <string>

namespace dbengine {

constexpr uint32_t IndexPageSize = 4096;
constexpr uint32_t IndexHeaderSize = 4096;
constexpr uint8_t IndexFileVersion = 5;

// Index numbers: 0 primary, 1..30 secondary, 31 and 32 internal, 255 natural order.
constexpr uint8_t PrimaryIndex = 0;
constexpr uint8_t MaxSecondaryIndexes = 30;
constexpr uint8_t SysDeletedIndex = 31;
constexpr uint8_t SysTextIndex = 32;
constexpr uint8_t NaturalOrderIndex = 255;
constexpr int IndexDescriptorCount = 33;
constexpr int MaxIndexFields = 16;
constexpr int MaxIndexNameLength = 30;
// The field part of a key: a flag byte and the value per field, 1..522 bytes.
constexpr int MaxKeyFieldPart = 522;
constexpr uint16_t SysDeletedKeySize = 5;
constexpr uint16_t SysTextKeySize = 68;
inline constexpr const char* SysDeletedName = "Sys Deleted";
inline constexpr const char* SysTextName = "Sys Text";

// Leaf compression of an index.
enum TIndexCompression : uint8_t { icNone = 0, icDupByte = 1, icTrailByte = 2, icFull = 3 };
// Names of the compression settings, by TIndexCompression.
inline constexpr const char* IndexCompressionNames[4] = {"NONE", "DUPBYTE", "TRAILBYTE", "FULL"};

// Header offsets.
constexpr uint32_t IhChangeCount = 0;
constexpr uint32_t IhVersion = 8;
constexpr uint32_t IhNextPageNo = 9;
constexpr uint32_t IhIndexCount = 13;
constexpr uint32_t IhDescriptors = 14;
constexpr uint32_t IhRecordCount = 3974;
constexpr uint32_t IhInternalPrimaryIndex = 3978;
constexpr uint32_t IhHeaderModified = 3979;

// Descriptor size and offsets inside one descriptor.
constexpr uint32_t IndexDescriptorSize = 120;
constexpr uint32_t IdName = 0;  // length byte + 30 characters
constexpr uint32_t IdKeySize = 31;
constexpr uint32_t IdDescending = 33;
constexpr uint32_t IdCaseInsensitive = 34;
constexpr uint32_t IdUnique = 35;
constexpr uint32_t IdCompression = 36;
constexpr uint32_t IdFieldCount = 37;
constexpr uint32_t IdFieldDescending = 38;
constexpr uint32_t IdFieldNumbers = 54;
constexpr uint32_t IdRootPage = 86;
constexpr uint32_t IdFreePage = 90;
constexpr uint32_t IdSpare94 = 94;
constexpr uint32_t IdRemoveMark = 95;
constexpr uint32_t IdDataRootPage = 96;
constexpr uint32_t IdNoCounts = 100;
constexpr uint32_t IdTemporary = 101;
constexpr uint32_t IdReserved = 102;
constexpr uint32_t IdReservedSize = 18;

// Page header: type, entry count, previous, next, used bytes; entries from byte 13.
constexpr uint32_t PageHeaderSize = 13;
constexpr uint32_t PageDataSize = IndexPageSize - PageHeaderSize;  // 4083
constexpr uint32_t PhType = 0;
constexpr uint32_t PhEntryCount = 1;
constexpr uint32_t PhPrevPage = 3;
constexpr uint32_t PhNextPage = 7;
constexpr uint32_t PhUsedBytes = 11;

enum TPageType : uint8_t {
    ptInnerRoot = 0,
    ptInner = 1,
    ptLeaf = 2,
    ptLeafRoot = 3,
    ptData = 4,
};

// A page may be appended only while its number stays within these limits.
constexpr int64_t MaxIndexPageNo = 2000000000;
constexpr int64_t MaxIndexFileSize = 4000000000;

struct TIndexDescriptor {
    std::string Name;  // at most 30 characters
    uint16_t KeySize = 0;
    uint8_t Descending = 0;
    uint8_t CaseInsensitive = 0;
    uint8_t Unique = 0;
    uint8_t Compression = 0;
    uint8_t FieldCount = 0;
    std::array<uint8_t, MaxIndexFields> FieldDescending{};
    std::array<uint16_t, MaxIndexFields> FieldNumbers{};
    int32_t RootPage = 0;
    int32_t FreePage = 0;
    uint8_t Spare94 = 0;
    uint8_t RemoveMark = 0;
    int32_t DataRootPage = 0;
    uint8_t NoCounts = 0;
    uint8_t Temporary = 0;
    std::array<uint8_t, IdReservedSize> Reserved{};

    bool operator==(const TIndexDescriptor&) const = default;
};

struct TIndexHeader {
    int32_t ChangeCount = 0;
    uint8_t Version = 0;
    int32_t NextPageNo = 0;
    uint8_t IndexCount = 0;
    std::array<TIndexDescriptor, IndexDescriptorCount> Descriptors{};
    int32_t RecordCount = 0;
    uint8_t InternalPrimaryIndex = 0;
    uint8_t HeaderModified = 0;
};

// 120 bytes. A name longer than 30 characters is cut; the bytes after the name are zero.
void EncodeIndexDescriptor(const TIndexDescriptor& desc, uint8_t* dest);
// A stored name length above 30 is read as 30.
TIndexDescriptor DecodeIndexDescriptor(const uint8_t* source);
// 4096 bytes; reserved bytes are written as zero.
void EncodeIndexHeader(const TIndexHeader& header, uint8_t* dest);
TIndexHeader DecodeIndexHeader(const uint8_t* source);

// Little-endian helpers for the engine's index layouts.
inline uint16_t GetLE16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline int32_t GetLE32(const uint8_t* p) {
    return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                                (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24));
}
inline void PutLE16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void PutLE32(uint8_t* p, int32_t value) {
    auto v = static_cast<uint32_t>(value);
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

}  // namespace dbengine
