#include "catalog/oldformat/OldRecords.h"

#include <algorithm>

#include "framework/core/Stream.h"
#include "framework/core/SysUtils.h"

namespace catalog::oldformat {

using namespace framework;

std::string OldText(std::span<const uint8_t> Record, size_t Offset, size_t Capacity) {
    if (Offset >= Record.size()) return {};
    const size_t length = std::min<size_t>({Record[Offset], Capacity, Record.size() - Offset - 1});
    return std::string(reinterpret_cast<const char*>(Record.data()) + Offset + 1, length);
}

int32_t OldInt32(std::span<const uint8_t> Record, size_t Offset) {
    if (Offset + 4 > Record.size()) return 0;
    return int32_t(uint32_t(Record[Offset]) | uint32_t(Record[Offset + 1]) << 8 |
                   uint32_t(Record[Offset + 2]) << 16 | uint32_t(Record[Offset + 3]) << 24);
}

namespace {

// The value counted from its base year (which is returned), made positive.
int64_t Unpacked(int32_t Packed, int& BaseYear) {
    BaseYear = Packed >= 0 ? 1980 : 2022;
    return Packed >= 0 ? int64_t(Packed) : -int64_t(Packed);
}

// The archive extensions of the kind bytes 244 to 255.
constexpr const char* kArchiveExtensions[] = {".RAR", ".SQZ", ".HYP", ".ARJ", ".DWC", ".ZOO",
                                              ".LZS", ".LZH", ".ZIP", ".PAK", ".ARC", ".LBR"};

}  // namespace

bool DecodeOldDate(int32_t Packed, TDateTime& Date) {
    int base = 0;
    const int64_t v = Unpacked(Packed, base);
    const int64_t q = v / 100000;
    const int64_t r = q % 500;
    return TryEncodeDate(int(base + q / 500), int(r / 32), int(r % 32), Date);
}

bool DecodeOldTime(int32_t Packed, TDateTime& Time) {
    int base = 0;
    const int64_t s = Unpacked(Packed, base) % 100000;
    return TryEncodeTime(int(s / 3600), int(s % 3600 / 60), int(s % 60), 0, Time);
}

TOldDataRecord ParseDataRecord(std::span<const uint8_t, kDataRecordSize> Record) {
    TOldDataRecord r;
    std::string name = OldText(Record, 0, 12);
    const size_t dot = name.find('.');
    if (dot != std::string::npos) {
        size_t start = dot;
        while (start > 0 && name[start - 1] == ' ') --start;
        name.erase(start, dot - start);
    }
    r.FileName = Trim(name);
    r.FolderName = Trim(OldText(Record, 13, 18));
    r.VolumeLabel = Trim(OldText(Record, 32, 11));
    const std::string archive = OldText(Record, 44, 8);
    r.FileSize = OldInt32(Record, 53);
    r.Packed = OldInt32(Record, 57);
    const uint8_t kind = Record[61];
    r.Category = Record[62];
    r.FirstCommentLine = Trim(OldText(Record, 63, 43));
    r.NextComment = OldInt32(Record, 107);
    r.Attribute = kind < 64 ? kind : 0;
    if (archive != "........") {
        r.ArchiveID = Trim(archive);
        if (kind >= 244)
            r.ArchiveID += kArchiveExtensions[kind - 244];
        else if (kind >= 144)
            r.ArchiveID += ".EXE";
    }
    return r;
}

TOldSummaryRecord ParseSummaryRecord(std::span<const uint8_t, kSummaryRecordSize> Record) {
    TOldSummaryRecord r;
    r.VolumeLabel = Trim(OldText(Record, 0, 11));
    r.Packed = OldInt32(Record, 12);
    r.DiskSize = OldInt32(Record, 16);
    r.DiskUsed = OldInt32(Record, 20);
    r.FilesOnDisk = uint16_t(Record[24] | Record[25] << 8);
    r.DiskFree = OldInt32(Record, 26);
    r.CatalogedFrom = std::string(1, char('A' + Record[30]));
    r.Comment = OldText(Record, 31, 40);
    return r;
}

bool ParseConfigRecord(std::span<const uint8_t, kConfigRecordSize> Record, TOldConfig& Config) {
    if (OldText(Record, 281, 4) != "WQZT") return false;
    static constexpr const char* kExpansion[] = {"Never", "Always", "On Demand"};
    Config.ExpandArchives = Record[1] < 3 ? kExpansion[Record[1]] : "";
    static constexpr std::pair<size_t, const char*> kFlags[] = {{2, "GetMainComment"},
                                                                {3, "CopyMainComment"},
                                                                {5, "UseDiz"},
                                                                {6, "DizOverride"},
                                                                {7, "CommentOverrideFromDisk"},
                                                                {8, "AutoEditDiskComments"},
                                                                {9, "AutoEditFileComments"},
                                                                {10, "SelectiveCataloging"},
                                                                {13, "Aliases"},
                                                                {14, "SuggestVol"},
                                                                {15, "WarnIfExists"},
                                                                {26, "DoSfxArchives"},
                                                                {27, "TfiSelectiveCataloging"},
                                                                {35, "KeepActivityLog"},
                                                                {36, "SelectiveCatAutotag"},
                                                                {51, "HandleArjMultiDisks"}};
    Config.Flags.clear();
    for (const auto& [offset, field] : kFlags) Config.Flags.emplace_back(field, Record[offset] != 0);
    return true;
}

TOldCommentRecord ParseCommentRecord(std::span<const uint8_t, kCommentRecordSize> Record) {
    return {Trim(OldText(Record, 0, 43)), OldInt32(Record, 44)};
}

std::array<std::string, 256> ParseCategoryRecord(std::span<const uint8_t, kCategoryRecordSize> Record) {
    std::array<std::string, 256> codes;
    for (size_t n = 1; n <= 255; ++n) codes[n] = std::to_string(Record[(n - 1) * 17]);
    return codes;
}

TOldRecordFile::TOldRecordFile() = default;
TOldRecordFile::~TOldRecordFile() = default;

bool TOldRecordFile::Open(const std::string& Path, size_t RecordSize) {
    Close();
    try {
        FStream = std::make_unique<TFileStream>(Path, fmOpenRead | fmShareDenyNone);
        FSize = FStream->Size();
    } catch (const std::exception&) {
        Close();
        return false;
    }
    FRecordSize = RecordSize;
    return true;
}

void TOldRecordFile::Close() {
    FStream.reset();
    FSize = 0;
    FRecordSize = 0;
}

bool TOldRecordFile::Read(int64_t N, std::vector<uint8_t>& Buffer) {
    if (!FStream || N < 0 || N >= Count()) return false;
    Buffer.assign(FRecordSize, 0);
    try {
        FStream->SetPosition(N * int64_t(FRecordSize));
        return FStream->Read(Buffer.data(), int32_t(FRecordSize)) == int32_t(FRecordSize);
    } catch (const std::exception&) {
        return false;
    }
}

std::string OldComment(const std::string& FirstLine, int32_t Next, TOldRecordFile* Comments) {
    std::string comment = FirstLine;
    if (Comments == nullptr) return comment;
    std::vector<uint8_t> record;
    for (int64_t steps = 0; Next > 0 && steps < Comments->Count(); ++steps) {
        if (!Comments->Read(Next, record)) break;
        const TOldCommentRecord line =
            ParseCommentRecord(std::span<const uint8_t, kCommentRecordSize>(record));
        comment += "\r\n" + line.Line;
        Next = line.Next;
    }
    return comment;
}

}  // namespace catalog::oldformat
