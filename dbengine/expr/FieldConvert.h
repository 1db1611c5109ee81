#pragma once
// Conversion of a field value between field types, in place in a conversion buffer, and the
// checks of value texts stored in field descriptors.

#include <cstdint>
#include <string_view>

namespace dbengine {

// A conversion buffer holds at least this many bytes; the source value sits at its start.
constexpr int ConvertBufferSize = 251;

// Converts the value at the start of Buffer (ConvertBufferSize bytes at least) from the source
// to the destination type. Sizes are those of the field definitions (a string's size counts its
// zero byte); scales are BCD decimals. True when converted or nothing needed converting; false
// when the pair has no conversion or the value does not fit, Buffer then holding the fallback
// value of the destination (0, zero bytes, or 30 December 1899 for dates and timestamps).
// Never raises.
bool ConvertFieldValue(uint8_t SrcType, uint8_t SrcSize, uint8_t SrcScale, uint8_t DstType, uint8_t DstSize,
                       uint8_t DstScale, void* Buffer);

// Buffer holds a zero-terminated date (type 2), time (10) or date-and-time (11) text; replaces
// it with the typed value. False, with the value of 30 December 1899 at midnight written, when
// the text does not convert. Other types leave Buffer alone and give true.
bool TextToDateTimeValue(void* Buffer, uint8_t Type);

// 0 and 1 stay, every other 16-bit value becomes 1.
uint16_t NormalizeBoolean(uint16_t Value);

// IsValidValueText, the check of value texts in field descriptors, lives with the descriptors.

}  // namespace dbengine
