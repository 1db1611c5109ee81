#pragma once
// The values behind the entry fields: the sixteen data types with their binary forms and sizes, a
// typed value as the fields take and give it, and the 10-byte records that hold a field's range
// limits, with their text forms for the character and integer types.

#include <cstdint>
#include <string>
#include <vector>

namespace entry {

enum TCtlDataType : uint8_t {
    dtString,    // length-prefixed string
    dtChar,      // one character
    dtBoolean,   // one byte
    dtYesNo,     // one byte
    dtLongInt,   // 32-bit signed
    dtWord,      // 16-bit unsigned
    dtSmallInt,  // 16-bit signed
    dtByte,      // 8-bit unsigned
    dtShortInt,  // 8-bit signed
    dtReal,      // 64-bit IEEE
    dtExtended,  // 80-bit extended
    dtDouble,    // 64-bit IEEE
    dtSingle,    // 32-bit IEEE
    dtComp,      // 64-bit signed integer
    dtDate,      // 32-bit day number from 1 January 1600, -1 none
    dtTime,      // 32-bit seconds since midnight, -1 none
};
constexpr int CtlDataTypeCount = 16;

bool CtlIsIntegerType(uint8_t DataType);  // LongInt to ShortInt
bool CtlIsFloatType(uint8_t DataType);    // Real to Comp

// The size of a value in binary form; StringSize is a String field's own (MaxLength + 1, less the
// literals it strips). Raises ECtlException "Parameter value is invalid" for a code above 15.
int CtlValueSize(uint8_t DataType, int StringSize);

// A value as the fields take and give it: its data type and exactly its binary form.
struct TCtlEntryValue {
    uint8_t DataType = dtString;
    std::vector<uint8_t> Bytes;
};
// ECtlException "Parameter value is invalid" unless Value is of DataType and of Size bytes.
void CtlCheckEntryValue(const TCtlEntryValue& Value, uint8_t DataType, int Size);

// An integer value of an integer type: the low bits that the type holds (300 as a Byte is 44).
TCtlEntryValue CtlIntegerValue(uint8_t DataType, int32_t Value);
// Widened by type: Word and Byte unsigned, SmallInt and ShortInt signed. EInvalidDataType for
// another type.
int32_t CtlValueAsInteger(const TCtlEntryValue& Value);

// A range limit: 10 bytes holding, by data type, a character (Char), a 32-bit signed integer
// little-endian in bytes 0-3 (LongInt to ShortInt, Date, Time), a 64-bit float (Real) or an
// extended value (Extended, Double, Single, Comp).
struct TCtlRangeRec {
    uint8_t Bytes[10] = {};

    char AsChar() const { return static_cast<char>(Bytes[0]); }
    void SetChar(char Value);
    int32_t AsInteger() const;
    void SetInteger(int32_t Value);
    double AsReal() const;
    void SetReal(double Value);
    long double AsExtended() const;
    void SetExtended(long double Value);
    friend bool operator==(const TCtlRangeRec&, const TCtlRangeRec&) = default;
};

// The default limits of a data type (both zero records for String, Boolean and YesNo).
TCtlRangeRec CtlDefaultRangeLo(uint8_t DataType);
TCtlRangeRec CtlDefaultRangeHi(uint8_t DataType);

// Whether a field of the type stores its limits ("RangeHigh" and "RangeLow").
bool CtlStoresRange(uint8_t DataType);

// The text of a Char or integer limit: a Char above 32 as itself, else "#" and its code; an integer
// in hexadecimal ('K' in Mask, two digits a byte), octal ('O': 12, 8 or 4 digits), binary ('b':
// eight digits a byte) or decimal.
std::string CtlRangeToText(uint8_t DataType, const TCtlRangeRec& Rec, const std::string& Mask);
// The reverse; false when the text does not convert or the value does not fit the type. String,
// Boolean and YesNo give a zero record. (Floating, Date and Time limits need the field's mask
// layout and the regional settings; both routines leave them to the field: "" and false.)
bool CtlTextToRange(uint8_t DataType, const std::string& Text, const std::string& Mask, TCtlRangeRec& Rec);

}  // namespace entry
