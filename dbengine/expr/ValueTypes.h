#pragma once
// The fixed encodings of date, time and timestamp values, beside the field type codes.

#include <cstdint>

#include "dbengine/data/FieldDescriptor.h"

namespace dbengine {

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
