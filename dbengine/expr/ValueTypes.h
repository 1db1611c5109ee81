#pragma once
// Field type codes and subtypes as the engine stores them, and the fixed encodings of date, time
// and timestamp values. The field descriptor code builds on these same numbers.

#include <cstdint>

namespace dbengine {

// Field type codes (one byte in a field descriptor).
constexpr uint8_t fldUnknown = 0;
constexpr uint8_t fldString = 1;      // characters and a zero byte; the size counts the zero byte
constexpr uint8_t fldDate = 2;        // int32 day number, 1 January of year 1 is day 1
constexpr uint8_t fldBlob = 3;        // 8-byte reference into the BLOB file
constexpr uint8_t fldBoolean = 4;     // 16 bits, 0 false, 1 true
constexpr uint8_t fldSmallInt = 5;    // int16
constexpr uint8_t fldInteger = 6;     // int32
constexpr uint8_t fldFloat = 7;       // IEEE double
constexpr uint8_t fldBcd = 8;         // 34-byte BCD record
constexpr uint8_t fldBytes = 9;       // raw bytes of the declared size
constexpr uint8_t fldTime = 10;       // int32 milliseconds since midnight
constexpr uint8_t fldTimestamp = 11;  // double: day number * 86,400,000 + milliseconds of the day
constexpr uint8_t fldWord = 12;       // uint16
constexpr uint8_t fldInt4 = 13;       // 4 opaque bytes
constexpr uint8_t fldInt10 = 14;      // 10 opaque bytes
constexpr uint8_t fldVarBytes = 15;   // raw bytes of the declared size
constexpr uint8_t fldLargeInt = 18;   // int64

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
constexpr uint8_t fldstWideString = 32;   // on string

// Size of a BCD value in a record.
constexpr int BcdRecordSize = 34;

// Milliseconds in one day; a time value runs from 0 to MSecsPerDay - 1.
constexpr int32_t MSecsPerDay = 86400000;
// Day number of 30 December 1899, the zero point of the class library's date-time scale.
constexpr int32_t DateDelta = 693594;
// Timestamp of 30 December 1899 at midnight.
constexpr double NullDateTimestamp = static_cast<double>(DateDelta) * MSecsPerDay;

// Day number of a calendar date (1 January of year 1 is day 1). The date is not checked.
int32_t EncodeDayNumber(int year, int month, int day);
// Calendar date of a day number; false (and the outputs untouched) outside years 1 to 9999.
bool DecodeDayNumber(int32_t dayNumber, int& year, int& month, int& day);
// Whether the calendar date exists (year 1 to 9999, month 1 to 12, day within the month).
bool IsValidCalendarDate(int year, int month, int day);

}  // namespace dbengine
