#pragma once
// The files of a catalog of the earlier DOS and 16-bit versions: fixed-size records with
// little-endian numbers and length-prefixed texts (a length byte, then the text's capacity in
// bytes). These are outside data: a length byte above its capacity is taken as the capacity, every
// read stays inside its record, and a file is read one record at a time.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "framework/core/DateTime.h"

namespace framework {
class TStream;
}

namespace catalog::oldformat {

constexpr size_t kDataRecordSize = 111;
constexpr size_t kSummaryRecordSize = 72;
constexpr size_t kConfigRecordSize = 286;
constexpr size_t kCommentRecordSize = 48;
constexpr size_t kCategoryRecordSize = 4335;
// The first byte of a data and of a summary record: the length byte of its name.
constexpr uint8_t kDataMarker = 12;
constexpr uint8_t kSummaryMarker = 11;

// The text of capacity Capacity whose length byte is at Offset.
std::string OldText(std::span<const uint8_t> Record, size_t Offset, size_t Capacity);
int32_t OldInt32(std::span<const uint8_t> Record, size_t Offset);

// The packed date and time: ((year - 1980) x 500 + month x 32 + day) x 100000 + seconds of the
// day; a negative value counts from 2022 instead. False when the parts make no valid date (time).
bool DecodeOldDate(int32_t Packed, framework::TDateTime& Date);
bool DecodeOldTime(int32_t Packed, framework::TDateTime& Time);

// A file entry (.DTA), its texts trimmed.
struct TOldDataRecord {
    std::string FileName;  // the blanks that pad the name before its dot removed
    std::string FolderName;
    std::string VolumeLabel;
    std::string ArchiveID;  // with the extension the kind byte names; empty for a plain file
    int32_t FileSize = 0;
    int32_t Packed = 0;
    int32_t Attribute = 0;
    uint8_t Category = 0;  // 0: none
    std::string FirstCommentLine;
    int32_t NextComment = 0;  // record of the first continuation; 0 or less: none
};
TOldDataRecord ParseDataRecord(std::span<const uint8_t, kDataRecordSize> Record);

// A volume (.SUM).
struct TOldSummaryRecord {
    std::string VolumeLabel;  // trimmed
    int32_t Packed = 0;
    int32_t DiskSize = 0;
    int32_t DiskUsed = 0;
    uint16_t FilesOnDisk = 0;
    int32_t DiskFree = 0;
    std::string CatalogedFrom;  // the drive letter
    std::string Comment;        // as stored
};
TOldSummaryRecord ParseSummaryRecord(std::span<const uint8_t, kSummaryRecordSize> Record);

// A catalog's options (.CFG), taken only from a record that carries the signature.
struct TOldConfig {
    // "Never", "Always", "On Demand", or empty to keep the default.
    std::string ExpandArchives;
    // The yes/no options the old file holds, by field name.
    std::vector<std::pair<const char*, bool>> Flags;
};
bool ParseConfigRecord(std::span<const uint8_t, kConfigRecordSize> Record, TOldConfig& Config);

// A comment continuation (.CMT).
struct TOldCommentRecord {
    std::string Line;  // trimmed
    int32_t Next = 0;
};
TOldCommentRecord ParseCommentRecord(std::span<const uint8_t, kCommentRecordSize> Record);

// The category codes ("KORVANE.CAT"): the code of category n (1 to 255) is the first byte of its
// entry, in decimal.
std::array<std::string, 256> ParseCategoryRecord(std::span<const uint8_t, kCategoryRecordSize> Record);

// A file of fixed-size records opened for reading. Nothing is read until a record is asked for.
class TOldRecordFile {
public:
    // False when the file cannot be opened.
    bool Open(const std::string& Path, size_t RecordSize);
    void Close();
    bool IsOpen() const { return FStream != nullptr; }
    int64_t Size() const { return FSize; }
    // Whole records in the file.
    int64_t Count() const { return FRecordSize ? FSize / int64_t(FRecordSize) : 0; }
    bool WholeRecords() const { return FRecordSize && FSize % int64_t(FRecordSize) == 0; }
    // Reads record N (from 0) into Buffer; false outside the file or when the read fails.
    bool Read(int64_t N, std::vector<uint8_t>& Buffer);
    TOldRecordFile();
    ~TOldRecordFile();
    TOldRecordFile(const TOldRecordFile&) = delete;
    TOldRecordFile& operator=(const TOldRecordFile&) = delete;

private:
    std::unique_ptr<framework::TStream> FStream;
    size_t FRecordSize = 0;
    int64_t FSize = 0;
};

// The comment of an entry: its first line, then each continuation line of the chain on a line of
// its own (CR LF). The chain ends at a record number of 0 or less, outside the file, or after as
// many steps as the file has records.
std::string OldComment(const std::string& FirstLine, int32_t Next, TOldRecordFile* Comments);

}  // namespace catalog::oldformat
