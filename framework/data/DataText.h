#pragma once
// The number and date-time texts of field values, over the class library's text routines: the
// forms the fields show and read, gathered in one place so that every field kind agrees.

#include <cstdint>
#include <string>

namespace framework::datatext {

// General form with up to 15 significant digits ("1.5", "0.1", "1E20").
std::string FloatText(double value);
// Currency (scaled by 10,000) in the general form ("12.5", "-3").
std::string CurrencyText(int64_t scaled);
// Money as shown by currency fields, after the currency settings ("$1,234.50", "($2.00)").
std::string CurrencyDisplayText(double value);
// Raise EConvertError with the class library's wording for a text that is not a number.
int64_t ParseInteger(const std::string& text);
double ParseFloat(const std::string& text);
int64_t ParseCurrency(const std::string& text);

// Short date, long time, and both (the time left out at midnight).
std::string DateText(double dateTime);
std::string TimeText(double dateTime);
std::string DateTimeText(double dateTime);
double ParseDate(const std::string& text);
double ParseTime(const std::string& text);
double ParseDateTime(const std::string& text);

}  // namespace framework::datatext
