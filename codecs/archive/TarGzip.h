#pragma once
// TAR and GZIP items with their stream readers, the ZIP end record reader, and the signature
// tests that tell an archive's kind from its first bytes (and, for ZIP, from its end record).

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "codecs/archive/ArcArchive.h"
#include "framework/core/Object.h"
#include "framework/core/Stream.h"

namespace codecs {

// ---- TAR ----------------------------------------------------------------------------------------
// The first 345 bytes of a 512-byte header block; offsets and widths of its fields.
constexpr int kTarHeaderSize = 345;
constexpr int kTarBlock = 512;
namespace tar {
constexpr int Name = 0, NameSize = 100;
constexpr int Mode = 100, ModeSize = 8;
constexpr int Uid = 108, Gid = 116, IdSize = 8;
constexpr int Size = 124, SizeSize = 12;
constexpr int MTime = 136, MTimeSize = 12;
constexpr int Checksum = 148, ChecksumSize = 8;
constexpr int TypeFlag = 156;
constexpr int LinkName = 157;
constexpr int Magic = 257, MagicSize = 8;
constexpr int UName = 265, GName = 297, OwnerNameSize = 32;
constexpr int DevMajor = 329, DevMinor = 337, DevSize = 8;
// Behind the record, in headers with the POSIX magic "ustar" NUL: the folder part of a long name.
constexpr int Prefix = 345, PrefixSize = 155;
}  // namespace tar

// (n + 511) with the low nine bits cleared.
int64_t RoundUpToBlock(int64_t n);
// Leading blanks skipped (all blanks: 0), then octal digits up to the first other byte.
int64_t ReadOctalField(const uint8_t* field, int width);
// The value in octal and one blank, right-aligned with blanks to the width; no NUL.
void WriteOctalField(uint8_t* field, int width, int64_t value);
// Sum of the record's bytes with the checksum field counted as eight blanks.
uint32_t TarHeaderChecksum(const uint8_t* record);
// Whether the checksum field of a whole 512-byte header block holds the sum of all its bytes (the
// field counted as blanks), taken unsigned or, as some old writers did, signed.
bool TarBlockChecksumMatches(const uint8_t* block);

class TArcTarItem : public TArcArchiveItem {
public:
    TArcTarItem();

    int32_t GetPackedSize() const override;
    uint32_t GetUnpackedSize() const override;
    uint32_t GetAttributes() const override;
    std::string GetStoredName() const override;
    bool GetEncrypted() const override { return false; }
    uint16_t GetDosDate() const override;
    uint16_t GetDosTime() const override;
    void SetPackedSize(int32_t value) override;
    void SetUnpackedSize(uint32_t value) override;
    void SetAttributes(uint32_t value) override;
    void SetStoredName(const std::string& value) override;
    void SetEncrypted(bool) override {}
    void SetDosDate(uint16_t value) override;
    void SetDosTime(uint16_t value) override;

    void SetUserId(int64_t value);
    void SetGroupId(int64_t value);
    void SetDeviceMajor(int64_t value);
    void SetDeviceMinor(int64_t value);
    void SetUserName(const std::string& value);
    void SetGroupName(const std::string& value);
    int64_t ModificationTime() const;
    void SetModificationTime(int64_t seconds);

    // The link target of a link entry.
    std::string GetLinkName() const;

    // Reads the record at the stream's position and moves back to it. Raises EReadError when fewer
    // than 345 bytes are there. The values of extended headers are cleared.
    void ReadTarHeader(framework::TStream* stream);

    uint8_t TarHeader[kTarHeaderSize];
    // Values that records in front of the header (a long-name record, an extended header or the
    // name prefix) give instead of the header's own fields; the setters of those fields clear them.
    std::string ExtendedName;
    std::string ExtendedLinkName;
    std::optional<int64_t> ExtendedSize;
    std::optional<int64_t> ExtendedMTime;
};

// ---- GZIP ---------------------------------------------------------------------------------------
enum : uint8_t { gzFText = 0x01, gzFHcrc = 0x02, gzFExtra = 0x04, gzFName = 0x08, gzFComment = 0x10 };

class TArcGzipItem : public TArcArchiveItem {
public:
    uint32_t GetAttributes() const override { return 0; }
    bool GetEncrypted() const override { return false; }
    uint16_t GetDosDate() const override;
    uint16_t GetDosTime() const override;
    void SetStoredName(const std::string& value) override;
    void SetDosDate(uint16_t value) override;
    void SetDosTime(uint16_t value) override;
    void SetAttributes(uint32_t) override {}
    void SetEncrypted(bool) override {}

    // Parses the member header at the stream's position; the stream is left at the compressed
    // data. Raises EReadError when the header runs past the end of the stream.
    void ReadItemHeader(framework::TStream* stream);
    void WriteItemHeader(framework::TStream* stream);

    uint32_t DataCrc = 0;
    uint8_t Id1 = 0, Id2 = 0, Method = 0, Flags = 0;
    int32_t ModTime = 0;
    uint8_t ExtraFlags = 2;
    uint8_t OsCode = 0;
    uint8_t HeaderCrc = 0;
    std::string ExtraField;
    std::string Comment;
};

// ---- stream readers -----------------------------------------------------------------------------
// The walk reads whole 512-byte headers. An all-zero block ends the archive; a header whose
// checksum does not match raises EArcReadError (a damaged archive). Long-name records ("L" for
// names, "K" for link names) and extended headers ("x": path, linkpath, size, mtime) apply to the
// header that follows them; global extended headers ("g") are passed over. Their data must lie
// within the stream, or the archive counts as damaged.
class TArcTarStreamHelper : public TArcArchiveStreamHelper {
public:
    using TArcArchiveStreamHelper::TArcArchiveStreamHelper;

    void ExtractItemData(framework::TStream* dest) override;
    bool FindFirstItem() override;
    bool FindNextItem() override;
    void ReadItemHeader() override {}
    void ReadTail() override {}
    // Indexes 0 and 1 both select the first entry.
    bool FindItemAt(int index) override;
    void WriteItemHeader() override {}
    void WriteItemData(framework::TStream* source) override;
    void WriteTail() override;
    int GetItemCount() override;
    // Reads the current entry's header into the item, with the name, link name, size and time
    // that records in front of it give.
    void ReadItem(TArcTarItem& item);

    // The header block of the current entry.
    uint8_t Header[kTarBlock] = {};
    int64_t HeaderStart = 0;
    // The current entry as its header and the records in front of it describe it.
    std::string EntryName;
    std::string EntryLinkName;
    int64_t EntrySize = 0;
    std::optional<int64_t> EntryMTime;

private:
    struct TExtended {
        std::optional<std::string> Name, LinkName;
        std::optional<int64_t> Size, MTime;
    };
    bool ReadHeaderAt(int64_t position);
    bool SearchRegular(int64_t position);
    std::string ReadRecordData(int64_t at, int64_t size);
    void ParseExtendedHeader(const std::string& data, TExtended& extended);
};

class TArcGzipStreamHelper : public TArcArchiveStreamHelper {
public:
    explicit TArcGzipStreamHelper(framework::TStream* stream);

    void ExtractItemData(framework::TStream* dest) override;
    bool FindFirstItem() override;
    bool FindNextItem() override { return false; }
    void ReadItemHeader() override;
    void ReadTail() override;
    bool FindItemAt(int index) override { return index < 1 ? FindFirstItem() : false; }
    void WriteItemHeader() override;
    void WriteItemData(framework::TStream* source) override;
    void WriteTail() override;
    int GetItemCount() override { return 1; }

    std::unique_ptr<TArcGzipItem> Item;
    uint8_t Tail[8] = {};
    // Inflate checks the data but writes nothing (the test-only choice of ExtractItemData).
    bool TestOnly = false;
};

// ---- ZIP end record -----------------------------------------------------------------------------
class TArcZipDirectoryFileFooter : public framework::TObject {
public:
    static constexpr uint32_t ExpectedSignature = 0x06054B50;
    // Reads the record at the stream's position; EArcZipInvalid for another signature, EReadError
    // when the record or its comment is cut short.
    void ReadFooter(framework::TStream* stream);

    uint32_t FooterSignature = 0;
    uint16_t DiskNumber = 0;
    uint16_t StartDiskNumber = 0;
    uint16_t EntriesOnDisk = 0;
    uint16_t TotalEntries = 0;
    uint32_t DirectorySize = 0;
    uint32_t DirectoryOffset = 0;
    uint16_t FooterCommentLength = 0;
    std::string FooterComment;
};

// ---- signature tests ----------------------------------------------------------------------------
// Offset of the ZIP end record, or -1 (the stream's position then restored).
int64_t FindDirectoryTail(framework::TStream* stream);
// 2 spanned-set marker, 1 ZIP, 0 neither; the position is restored.
int ZipSignatureTest(framework::TStream* stream);
// 3 for an executable ("MZ" or ELF) holding a ZIP, else 0.
int SfxSignatureTest(framework::TStream* stream);
// 4 for a TAR header at the stream's position, else 0.
int TarSignatureTest(framework::TStream* stream);
// 6 gzipped TAR, 5 other GZIP, 0 not GZIP; the position is restored.
int GzipSignatureTest(framework::TStream* stream);

}  // namespace codecs
