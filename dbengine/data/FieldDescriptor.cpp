#include "dbengine/data/FieldDescriptor.h"

#include <cstring>

#include "dbengine/os/OSLayer.h"
#include "dbengine/util/Coding.h"
#include "dbengine/util/EngineUtils.h"

namespace dbengine {

namespace {

// Offsets of the descriptor's fields.
constexpr size_t OfsFieldNo = 0;
constexpr size_t OfsName = 2;
constexpr size_t OfsDescription = 33;
constexpr size_t OfsFieldType = 84;
constexpr size_t OfsSubType = 85;
constexpr size_t OfsSize = 86;
constexpr size_t OfsDecimals = 87;
constexpr size_t OfsValueSize = 88;
constexpr size_t OfsValueDecimals = 89;
constexpr size_t OfsOffset = 90;
constexpr size_t OfsRequired = 92;
constexpr size_t OfsCharCase = 93;
constexpr size_t OfsMinValue = 94;
constexpr size_t OfsMaxValue = 145;
constexpr size_t OfsDefaultValue = 196;
constexpr size_t OfsCalculated = 247;
constexpr size_t OfsSortDescending = 253;
constexpr size_t OfsOriginName = 254;
constexpr size_t OfsOriginFieldNo = 355;
constexpr size_t OfsPosition = 357;
constexpr size_t OfsDatabaseName = 359;

}  // namespace

std::array<uint8_t, FieldDescriptorSize> TFieldDescriptor::Encode() const {
    std::array<uint8_t, FieldDescriptorSize> b{};
    uint8_t* p = b.data();
    PutInt16(p + OfsFieldNo, FieldNo);
    PutShortString(p + OfsName, Name, MaxFieldNameLength);
    PutShortString(p + OfsDescription, Description, MaxFieldDescriptionLength);
    p[OfsFieldType] = FieldType;
    p[OfsSubType] = SubType;
    p[OfsSize] = Size;
    p[OfsDecimals] = Decimals;
    p[OfsValueSize] = ValueSize;
    p[OfsValueDecimals] = ValueDecimals;
    PutUInt16(p + OfsOffset, Offset);
    p[OfsRequired] = Required;
    p[OfsCharCase] = CharCase;
    PutShortString(p + OfsMinValue, MinValue, MaxValueTextLength);
    PutShortString(p + OfsMaxValue, MaxValue, MaxValueTextLength);
    PutShortString(p + OfsDefaultValue, DefaultValue, MaxValueTextLength);
    p[OfsCalculated] = Calculated;
    // 248..251: the expression reference lives in memory only; 252 reserved.
    p[OfsSortDescending] = SortDescending;
    PutShortString(p + OfsOriginName, OriginName, MaxOriginNameLength);
    PutInt16(p + OfsOriginFieldNo, OriginFieldNo);
    PutUInt16(p + OfsPosition, Position);
    PutShortString(p + OfsDatabaseName, DatabaseName, MaxOriginNameLength);
    return b;
}

TFieldDescriptor TFieldDescriptor::Decode(const uint8_t* p) {
    TFieldDescriptor d;
    d.FieldNo = GetInt16(p + OfsFieldNo);
    d.Name = GetShortString(p + OfsName);
    d.Description = GetShortString(p + OfsDescription);
    d.FieldType = p[OfsFieldType];
    d.SubType = p[OfsSubType];
    d.Size = p[OfsSize];
    d.Decimals = p[OfsDecimals];
    d.ValueSize = p[OfsValueSize];
    d.ValueDecimals = p[OfsValueDecimals];
    d.Offset = GetUInt16(p + OfsOffset);
    d.Required = p[OfsRequired];
    d.CharCase = p[OfsCharCase];
    d.MinValue = GetShortString(p + OfsMinValue);
    d.MaxValue = GetShortString(p + OfsMaxValue);
    d.DefaultValue = GetShortString(p + OfsDefaultValue);
    d.Calculated = p[OfsCalculated];
    d.SortDescending = p[OfsSortDescending];
    d.OriginName = GetShortString(p + OfsOriginName);
    d.OriginFieldNo = GetInt16(p + OfsOriginFieldNo);
    d.Position = GetUInt16(p + OfsPosition);
    d.DatabaseName = GetShortString(p + OfsDatabaseName);
    return d;
}

void ComputeValueSize(TFieldDescriptor& d) {
    uint8_t size = d.Size;
    switch (d.FieldType) {
        case fldString:
            // Size is at most 250 in a valid descriptor; a damaged one must not wrap to 0.
            size = d.Size == 255 ? 255 : static_cast<uint8_t>(d.Size + 1);
            break;
        case fldDate:
        case fldInteger:
        case fldTime:
        case fldFourBytes:
            size = 4;
            break;
        case fldBlob:
        case fldFloat:
        case fldTimestamp:
        case fldLargeInt:
            size = 8;
            break;
        case fldBoolean:
        case fldSmallInt:
        case fldWord:
            size = 2;
            break;
        case fldBCD:
            size = 34;
            break;
        case fldTenBytes:
            size = 10;
            break;
        default:
            break;
    }
    d.ValueSize = size;
    d.ValueDecimals = d.Decimals;
}

uint32_t AssignFieldOffsets(std::vector<TFieldDescriptor>& fields) {
    uint32_t offset = RecordHeaderSize;
    for (TFieldDescriptor& d : fields) {
        if (d.IsAutoInc()) {
            d.Offset = AutoIncFieldOffset;
        } else if (d.Calculated == 0) {
            d.Offset = static_cast<uint16_t>(offset);
            offset += d.ValueSize + 1u;
        }
    }
    return offset;
}

bool IsValidValueText(const std::string& text, uint8_t fieldType) {
    if (text.empty()) return true;
    switch (fieldType) {
        case fldDate:
            return SameNameText(text, "CURRENT_DATE") || IsDateText(text);
        case fldBoolean:
            return IsBooleanText(text);
        case fldSmallInt:
            return IsSmallIntText(text);
        case fldInteger:
            return IsIntegerText(text);
        case fldFloat:
            return IsFloatText(text);
        case fldBCD:
            return IsCurrencyText(text);
        case fldTime:
            return SameNameText(text, "CURRENT_TIME") || IsTimeText(text);
        case fldTimestamp:
            return SameNameText(text, "CURRENT_TIMESTAMP") || SameNameText(text, "CURRENT_DATE") ||
                   SameNameText(text, "CURRENT_TIME") || IsDateText(text) || IsTimestampText(text) ||
                   IsTimeText(text);
        case fldWord:
            return IsWordText(text);
        case fldLargeInt:
            return IsLargeIntText(text);
        default:
            return true;
    }
}

bool IsValidFieldNameStart(char c) {
    auto u = static_cast<unsigned char>(c);
    return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || u == '_' || (u >= 128 && u <= 254);
}

}  // namespace dbengine
