#pragma once
// Field types and the 768-byte field descriptor of a table.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace dbengine {

// Field type codes.
constexpr uint8_t fldNone = 0;
constexpr uint8_t fldString = 1;      // declared size + 1: characters ended by a zero byte
constexpr uint8_t fldDate = 2;        // 32-bit day number
constexpr uint8_t fldBlob = 3;        // 8-byte reference into the BLOB file
constexpr uint8_t fldBoolean = 4;     // 16-bit
constexpr uint8_t fldSmallInt = 5;    // signed 16-bit
constexpr uint8_t fldInteger = 6;     // signed 32-bit
constexpr uint8_t fldFloat = 7;       // IEEE double
constexpr uint8_t fldBCD = 8;         // 34-byte BCD record
constexpr uint8_t fldBytes = 9;       // declared size
constexpr uint8_t fldTime = 10;       // 32-bit time number
constexpr uint8_t fldTimestamp = 11;  // IEEE double
constexpr uint8_t fldWord = 12;       // unsigned 16-bit
constexpr uint8_t fldFourBytes = 13;  // 4 bytes, stored only
constexpr uint8_t fldTenBytes = 14;   // 10 bytes, stored only
constexpr uint8_t fldVarBytes = 15;   // declared size
constexpr uint8_t fldLargeInt = 18;   // signed 64-bit

// Subtypes.
constexpr uint8_t fldstNone = 0;
constexpr uint8_t fldstMoney = 21;        // on float
constexpr uint8_t fldstMemo = 22;         // on BLOB
constexpr uint8_t fldstBinary = 23;       // on BLOB
constexpr uint8_t fldstFmtMemo = 24;      // on BLOB
constexpr uint8_t fldstGraphic = 26;      // on BLOB
constexpr uint8_t fldstTypedBinary = 28;  // on BLOB
constexpr uint8_t fldstAutoInc = 29;      // on integer
constexpr uint8_t fldstFixed = 31;        // on string
constexpr uint8_t fldstUnicode = 32;      // on string

// Sizes and offsets of the stored descriptor.
constexpr size_t FieldDescriptorSize = 768;
constexpr size_t MaxFieldNameLength = 30;
constexpr size_t MaxFieldDescriptionLength = 50;
constexpr size_t MaxValueTextLength = 50;
constexpr size_t MaxOriginNameLength = 100;
constexpr uint8_t MaxFieldSize = 250;
// Every record starts with a 9-byte header: status, record number or free link, record ID.
constexpr uint16_t RecordHeaderSize = 9;
// An auto-increment field's value is the record ID in the record header.
constexpr uint16_t AutoIncFieldOffset = 5;

class TExpToken;

struct TFieldDescriptor {
    int16_t FieldNo = 0;
    std::string Name;
    std::string Description;
    uint8_t FieldType = 0;
    uint8_t SubType = 0;
    uint8_t Size = 0;
    uint8_t Decimals = 0;
    uint8_t ValueSize = 0;
    uint8_t ValueDecimals = 0;
    uint16_t Offset = 0;
    uint8_t Required = 0;
    uint8_t CharCase = 0;  // 0 as entered, 1 lower case, 2 upper case
    std::string MinValue;
    std::string MaxValue;
    std::string DefaultValue;
    uint8_t Calculated = 0;
    TExpToken* Expression = nullptr;  // in memory only, never stored
    uint8_t SortDescending = 0;
    std::string OriginName;
    int16_t OriginFieldNo = 0;
    uint16_t Position = 0;
    std::string DatabaseName;

    bool IsAutoInc() const { return FieldType == fldInteger && SubType == fldstAutoInc; }

    // The 768 stored bytes, field by field; strings cut to their capacity, unused bytes zero.
    std::array<uint8_t, FieldDescriptorSize> Encode() const;
    // From 768 stored bytes. A string whose length byte exceeds its capacity is read as long as
    // the byte says (every string of the block ends inside the 768 bytes), for the checks to see.
    static TFieldDescriptor Decode(const uint8_t* bytes);
};

// ValueSize from FieldType and Size, ValueDecimals from Decimals.
void ComputeValueSize(TFieldDescriptor& d);

// Gives every field its record offset (5 for an auto-increment field; none for a calculated
// one) and returns the record size.
uint32_t AssignFieldOffsets(std::vector<TFieldDescriptor>& fields);

// Whether a default, minimum or maximum value text suits a field type.
bool IsValidValueText(const std::string& text, uint8_t fieldType);

// Bytes a field's value takes in an index key (after its flag byte): 8 for BCD, else the
// value size.
inline uint8_t KeyPartSize(const TFieldDescriptor& d) {
    return d.FieldType == fldBCD ? 8 : d.ValueSize;
}

// A valid first character of a field name (of the upper-cased name).
bool IsValidFieldNameStart(char c);

}  // namespace dbengine
