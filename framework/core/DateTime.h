#pragma once
// Dates and times of the class library. A TDateTime is a double: the whole part counts days since
// 30 December 1899 (negative before it), the fraction is the time of day (for negative values the
// fraction's magnitude is the time of day: -1.25 is 29 December 1899, 06:00). Dates run from
// 1 January 0001 to 31 December 9999 in the proleptic Gregorian calendar.
//
// Texts follow the format settings of SysUtils.h (ShortDateFormat, LongTimeFormat, DateSeparator, …).

#include <cstdint>
#include <string>
#include <string_view>

namespace framework {

using TDateTime = double;

constexpr int HoursPerDay = 24;
constexpr int MinsPerDay = HoursPerDay * 60;
constexpr int SecsPerDay = MinsPerDay * 60;
constexpr int MSecsPerDay = SecsPerDay * 1000;
// Days from 1 January 0001 (day 1) to 30 December 1899.
constexpr int DateDelta = 693594;
constexpr TDateTime MinDateTime = -693593.0;         // 1 January 0001
constexpr TDateTime MaxDateTime = 2958465.99999999;  // 31 December 9999, 23:59:59.999

bool IsLeapYear(int year);
// Days in the month (1 to 12) of the year; 0 for a month outside 1 to 12.
int MonthDays(int year, int month);

// Valid dates are 1 January 0001 to 31 December 9999; valid times have hour < 24, min < 60,
// sec < 60, msec < 1000. The Encode forms raise EConvertError "Invalid argument to date encode" /
// "Invalid argument to time encode".
bool TryEncodeDate(int year, int month, int day, TDateTime& date);
bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime& time);
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int min, int sec, int msec);
// Joins a date and a time of day into one value (the time is subtracted from a negative date).
TDateTime ComposeDateTime(TDateTime date, TDateTime time);

// The value is first rounded to the millisecond, so 23:59:59.9999 decodes as the next midnight.
void DecodeDate(TDateTime value, uint16_t& year, uint16_t& month, uint16_t& day);
void DecodeTime(TDateTime value, uint16_t& hour, uint16_t& min, uint16_t& sec, uint16_t& msec);

// 1 for Sunday to 7 for Saturday.
int DayOfWeek(TDateTime value);
// The same day months later (or earlier for a negative count), moved back to the month's last day
// when the month is shorter; the time of day is kept.
TDateTime IncMonth(TDateTime value, int months = 1);

// DOS packed date and time: high word (year - 1980) << 9 | month << 5 | day, low word
// hour << 11 | minute << 5 | second / 2. A value whose year lies outside 1980 to 2107 packs as 0.
// Unpacking clamps fields outside their ranges (month 0 as 1, day past the month's end as its last
// day, hour 24+ as 23, minute or second 60+ as 59 / 58) so that a damaged stamp still gives a date.
int32_t DateTimeToFileDate(TDateTime value);
TDateTime FileDateToDateTime(int32_t fileDate);

// The current local date and time, read through the clock seam (Seams.h).
TDateTime Now();
TDateTime Date();
TDateTime Time();

// FormatDateTime's picture language (letters without regard to case):
//   c      ShortDateFormat, then LongTimeFormat unless the time is within midnight's first second
//   d dd   day (dd with leading zero)        ddd dddd  ShortDayNames / LongDayNames
//   ddddd  ShortDateFormat                   dddddd    LongDateFormat
//   m mm   month (minutes right after h/hh)  mmm mmmm  ShortMonthNames / LongMonthNames
//   yy     two-digit year                    yyyy      four-digit year
//   h hh   hour    n nn minute    s ss second    z zzz millisecond
//   t      ShortTimeFormat                   tt        LongTimeFormat
//   am/pm  a/p  ampm  12-hour clock with "am"/"pm" (case as written), "a"/"p", TimeAMString/TimePMString
//   /      DateSeparator                      :         TimeSeparator
//   'x' "x" literal text; any other character stands for itself. An empty picture means "c".
std::string FormatDateTime(std::string_view picture, TDateTime value);
std::string DateToStr(TDateTime value);      // ShortDateFormat
std::string TimeToStr(TDateTime value);      // LongTimeFormat
std::string DateTimeToStr(TDateTime value);  // "c"

// Reading follows the order of day, month and year in ShortDateFormat with DateSeparator between the
// numbers; a missing year is the current one and a two-digit year falls in the window of
// TwoDigitYearCenturyWindow. Times are hour[:minute[:second[.millisecond]]] with TimeSeparator and an
// optional AM/PM marker (TimeAMString/TimePMString or "AM"/"PM"). Failures raise EConvertError
// "'<text>' is not a valid date" / "… time" / "… date and time".
TDateTime StrToDate(std::string_view s);
TDateTime StrToTime(std::string_view s);
TDateTime StrToDateTime(std::string_view s);
bool TryStrToDate(std::string_view s, TDateTime& value);
bool TryStrToTime(std::string_view s, TDateTime& value);
bool TryStrToDateTime(std::string_view s, TDateTime& value);

}  // namespace framework
