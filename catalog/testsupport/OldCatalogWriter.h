#pragma once
// Writes the fixed-size records of an old catalog's files field by field (little-endian numbers,
// length-prefixed texts padded with blanks), for the tests and the fuzz target's seeds.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace catalog::testsupport {

// ((year - 1980) x 500 + month x 32 + day) x 100000 + seconds of the day.
inline int32_t PackOldDate(int Year, int Month, int Day, int Hour = 0, int Minute = 0, int Second = 0) {
    return ((Year - 1980) * 500 + Month * 32 + Day) * 100000 + Hour * 3600 + Minute * 60 + Second;
}

class TOldRecord {
public:
    explicit TOldRecord(size_t Size) : FBytes(Size, '\0') {}
    // A text of capacity Capacity at Offset; Length overrides the length byte.
    TOldRecord& Text(size_t Offset, size_t Capacity, const std::string& Value, int Length = -1) {
        FBytes[Offset] = char(Length >= 0 ? Length : int(Value.size()));
        for (size_t i = 0; i < Capacity; ++i) FBytes[Offset + 1 + i] = i < Value.size() ? Value[i] : ' ';
        return *this;
    }
    TOldRecord& Int32(size_t Offset, int32_t Value) {
        for (int i = 0; i < 4; ++i) FBytes[Offset + size_t(i)] = char(uint32_t(Value) >> (8 * i));
        return *this;
    }
    TOldRecord& Int16(size_t Offset, uint16_t Value) {
        FBytes[Offset] = char(Value);
        FBytes[Offset + 1] = char(Value >> 8);
        return *this;
    }
    TOldRecord& Byte(size_t Offset, uint8_t Value) {
        FBytes[Offset] = char(Value);
        return *this;
    }
    const std::string& Bytes() const { return FBytes; }

private:
    std::string FBytes;
};

struct TOldEntry {
    std::string Name = "README  .TXT";  // 12 characters, blanks before the dot
    std::string Folder = "\\DOCS";
    std::string Label = "DISK1";
    std::string Archive = "........";
    int32_t Size = 1234;
    int32_t Packed = PackOldDate(1999, 3, 15, 10, 20, 30);
    uint8_t Kind = 32;
    uint8_t Category = 0;
    std::string Comment;
    int32_t Next = 0;
};

inline std::string OldDataRecord(const TOldEntry& E) {
    return TOldRecord(111)
        .Text(0, 12, E.Name, 12)
        .Text(13, 18, E.Folder)
        .Text(32, 11, E.Label)
        .Text(44, 8, E.Archive)
        .Int32(53, E.Size)
        .Int32(57, E.Packed)
        .Byte(61, E.Kind)
        .Byte(62, E.Category)
        .Text(63, 43, E.Comment)
        .Int32(107, E.Next)
        .Bytes();
}

struct TOldVolume {
    std::string Label = "DISK1";
    int32_t Packed = PackOldDate(1999, 3, 15, 10, 20, 30);
    int32_t DiskSize = 1457664;
    int32_t DiskUsed = 1000000;
    uint16_t Files = 12;
    int32_t DiskFree = 457664;
    uint8_t Drive = 0;
    std::string Comment;
};

inline std::string OldSummaryRecord(const TOldVolume& V) {
    return TOldRecord(72)
        .Text(0, 11, V.Label, 11)
        .Int32(12, V.Packed)
        .Int32(16, V.DiskSize)
        .Int32(20, V.DiskUsed)
        .Int16(24, V.Files)
        .Int32(26, V.DiskFree)
        .Byte(30, V.Drive)
        .Text(31, 40, V.Comment)
        .Bytes();
}

// Flags: the offsets of the flag bytes to set.
inline std::string OldConfigRecord(uint8_t Expansion, const std::vector<size_t>& Flags,
                                   const std::string& Signature = "WQZT") {
    TOldRecord r(286);
    r.Byte(1, Expansion);
    for (size_t offset : Flags) r.Byte(offset, 1);
    r.Text(281, 4, Signature);
    return r.Bytes();
}

inline std::string OldCommentRecord(const std::string& Line, int32_t Next) {
    return TOldRecord(48).Text(0, 43, Line).Int32(44, Next).Bytes();
}

// Entry n gets the first byte Code.
inline std::string OldCategoryRecord(const std::vector<std::pair<int, uint8_t>>& Codes) {
    TOldRecord r(4335);
    for (const auto& [n, code] : Codes) r.Byte(size_t(n - 1) * 17, code);
    return r.Bytes();
}

}  // namespace catalog::testsupport
