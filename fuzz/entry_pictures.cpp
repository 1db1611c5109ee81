// Regional date layouts as the entry controls turn them into picture masks, and texts read and
// written through those pictures. The input is cut at NUL bytes into: the short date, the long
// date, a picture, a text to read with it, and a typed number.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "controls/entry/CtlDates.h"
#include "controls/entry/CtlStrings.h"
#include "controls/entry/IntlSup.h"
#include "platform/RegionalSettings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> parts;
    std::size_t at = 0;
    while (parts.size() < 5 && at <= input.size()) {
        const std::size_t end = std::min(input.find('\0', at), input.size());
        parts.emplace_back(input.substr(at, end - at));
        at = end + 1;
    }
    parts.resize(5);

    platform::TRegionalSettings settings = platform::UnitedStatesRegionalSettings();
    settings.sShortDate = parts[0];
    settings.sLongDate = parts[1];
    platform::SetRegionalSettings(settings);
    entry::TCtlIntlSup intl;
    if (intl.ShortDatePicture.size() > 29 || intl.LongDatePicture.size() > 39) std::abort();
    for (const auto& literal : intl.LongDateLiterals)
        if (literal.size() > 6) std::abort();

    std::vector<std::string> pictures = {intl.InternationalDate(false), intl.InternationalDate(true),
                                         intl.InternationalLongDate(false, false),
                                         intl.InternationalLongDate(true, true), parts[2]};
    const int32_t dates[] = {-1, 0, 59, 60, 876581, entry::CtlEncodeDate(5, 3, 2001, 0)};
    for (const std::string& picture : pictures) {
        for (int32_t date : dates) {
            const std::string text = intl.DateToDateString(picture, date, false);
            if (text.size() != picture.size()) std::abort();
            const int32_t back = intl.DateStringToDate(picture, text, 1900);
            if (back < -1 || back > 876581) std::abort();
            intl.DateToDateString(picture, date, true);
        }
        const std::string time = intl.TimeToTimeString(picture, 45296, false);
        if (time.size() != picture.size()) std::abort();
        const int32_t t = intl.TimeStringToTime(picture, time);
        if (t < -1 || t > 86399) std::abort();
    }
    const int32_t read = intl.DateStringToDate(parts[2], parts[3], 1950);
    if (read < -1 || read > 876581) std::abort();
    const int32_t time = intl.TimeStringToTime(parts[2], parts[3]);
    if (time < -1 || time > 86399) std::abort();
    intl.DateStringIsBlank(parts[2], parts[3]);
    intl.MonthStringToMonth(parts[3], static_cast<int>(parts[2].size()));

    std::string number = parts[4];
    entry::CtlFixNumberText(number, ',');
    number = parts[4];
    entry::CtlTrimEmbeddedZeros(number);
    int32_t value = 0;
    entry::CtlTextToLong(parts[4], value);
    platform::SetRegionalSettings(std::nullopt);
    return 0;
}
