#pragma once
// The engine's fixed text forms of dates, times, timestamps, booleans and numbers. They never
// depend on the user's regional settings: "." is the only decimal separator read or written,
// dates are yyyy-mm-dd and times hh:mm[:ss[.n]] on a 24-hour clock.
//
// Values are the engine's encodings: a date is a day number (1 January of year 1 is day 1), a
// time the milliseconds since midnight, a timestamp day number * 86,400,000 + milliseconds.
// Readers raise framework::EConvertError when the text does not convert; writers raise it for a
// value outside the calendar.

#include <cstdint>
#include <string>
#include <string_view>

namespace dbengine {

// yyyy-mm-dd, the year with at least four digits.
std::string DateToText(int32_t dayNumber);
// hh:mm, then ":ss" when the second or the millisecond is not 0, then "." and the millisecond
// without leading zeros when the millisecond is not 0.
std::string TimeToText(int32_t milliseconds);
std::string DateTimeToText(double timestamp);
std::string BooleanToText(bool value);
// Up to 15 significant digits, "." as the decimal separator, exponent written as E+n / E-n
// beyond the fixed range.
std::string FloatToText(double value);
// Currency (count of 1/10,000) as text: at most four decimals, no trailing zeros, "." separator.
std::string CurrencyToText(int64_t value);

int32_t TextToDate(std::string_view text);
int32_t TextToTime(std::string_view text);
double TextToDateTime(std::string_view text);
// 1 for "TRUE", 0 for "FALSE", in any case.
int32_t TextToBoolean(std::string_view text);
// Optional blanks, optional sign, digits with at most one ".", optional exponent (E or e).
double TextToFloat(std::string_view text);
// As TextToFloat, then rounded to four decimals (half away from zero) as a count of 1/10,000.
int64_t TextToCurrency(std::string_view text);

// Decimal integer texts (optional leading blanks and sign); false when the text is not an
// integer or lies outside the 64-bit range.
bool TextToInt64(std::string_view text, int64_t& value);

// Raises framework::EConvertError with the format's "%s" replaced by the text.
[[noreturn]] void RaiseConvertError(std::string_view format, std::string_view text);

}  // namespace dbengine
