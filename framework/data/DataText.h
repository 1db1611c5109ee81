#pragma once
// Number and date-time text as the dataset framework shows and reads field values.

#include <cstdint>
#include <string>

namespace framework::datatext {

// Shortest form with up to 15 significant digits ("1.5", "0.1", "1E20").
std::string FloatText(double value);
// Currency (scaled by 10,000) with no trailing zeros ("12.5", "-3").
std::string CurrencyText(int64_t scaled);
// Raise EConvertError with the class library's wording for a text that is not a number.
int64_t ParseInteger(const std::string& text);
double ParseFloat(const std::string& text);
int64_t ParseCurrency(const std::string& text);

// Calendar conversion of a TDateTime (days since 30 December 1899).
void DecodeDate(double dateTime, int& year, int& month, int& day);
double EncodeDate(int year, int month, int day);  // raises EConvertError on an invalid date
void DecodeTime(double dateTime, int& hour, int& minute, int& second, int& msec);
double EncodeTime(int hour, int minute, int second, int msec);

// Text of a date ("m/d/yyyy"), a time ("h:nn:ss AM") and both.
std::string DateText(double dateTime);
std::string TimeText(double dateTime);
std::string DateTimeText(double dateTime);
// Inverse of the three above; a date-time text may omit its time part.
double ParseDate(const std::string& text);
double ParseTime(const std::string& text);
double ParseDateTime(const std::string& text);

// Money as shown by currency fields: "$1,234.50", negative "($1,234.50)".
std::string CurrencyDisplayText(double value);
// Picture formats for numbers: sections "positive;negative;zero", digit places 0 and #, one decimal
// point, "," anywhere in the integer part for thousands separators, quoted literals.
std::string FormatFloat(const std::string& format, double value);
// Picture formats for dates and times: y yy yyyy, m mm mmm mmmm, d dd ddd dddd, h hh, n nn, s ss,
// z zzz, am/pm, ampm, / and : as themselves, quoted literals; other characters are copied.
std::string FormatDateTime(const std::string& format, double dateTime);

}  // namespace framework::datatext
