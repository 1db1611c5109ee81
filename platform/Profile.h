#pragma once
// The user's profile, the system's initialization file. Its one section here is [intl], whose keys
// are the regional settings in force (RegionalSettings.h): sDecimal, sThousand, iCurrDigits,
// iNegCurr, sList, sCountry, sCurrency, iCurrency, iTLZero, iTime, sTime, sDate, s1159, s2359,
// sShortDate, sLongDate and iDate. Section and key names compare without regard to case; numbers
// read as decimal text.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/RegionalSettings.h"

namespace platform {

// The value of a key, or the default when the section or the key does not exist.
std::string GetProfileString(std::string_view appName, std::string_view keyName, std::string_view deflt);
// The decimal number at the start of a key's value (after blanks); 0 when the value does not start
// with a digit; the default when the section or the key does not exist.
int32_t GetProfileInt(std::string_view appName, std::string_view keyName, int32_t deflt);

// The [intl] text of one key of the given settings; nothing for a key [intl] does not have.
std::optional<std::string> IntlProfileValue(const TRegionalSettings& settings, std::string_view keyName);

}  // namespace platform
