#include "framework/data/DataText.h"

#include "framework/core/DateTime.h"
#include "framework/core/SysUtils.h"

namespace framework::datatext {

std::string FloatText(double value) {
    return FloatToStr(value);
}
std::string CurrencyText(int64_t scaled) {
    return CurrToStr(Currency::FromRaw(scaled));
}
std::string CurrencyDisplayText(double value) {
    return FloatToStrF(value, ffCurrency, 15, CurrencyDecimals);
}
int64_t ParseInteger(const std::string& text) {
    return StrToInt64(text);
}
double ParseFloat(const std::string& text) {
    return StrToFloat(text);
}
int64_t ParseCurrency(const std::string& text) {
    return StrToCurr(text).Value;
}
std::string DateText(double dateTime) {
    return DateToStr(dateTime);
}
std::string TimeText(double dateTime) {
    return TimeToStr(dateTime);
}
std::string DateTimeText(double dateTime) {
    return DateTimeToStr(dateTime);
}
double ParseDate(const std::string& text) {
    return StrToDate(text);
}
double ParseTime(const std::string& text) {
    return StrToTime(text);
}
double ParseDateTime(const std::string& text) {
    return StrToDateTime(text);
}

}  // namespace framework::datatext
