// Text that users type or that arrives in files reaches the class library's readers and formatters:
// numbers, currency, dates and times, file-name masks, and pictures. None may crash, hang or read
// out of bounds, whatever the bytes; failures are the library's own conversion errors.
//
// The first byte picks the reader, the rest is the text.

#include <cstddef>
#include <cstdint>
#include <string>

#include "framework/core/DateTime.h"
#include "framework/core/Exception.h"
#include "framework/core/Masks.h"
#include "framework/core/SysUtils.h"

using namespace framework;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > 4096) return 0;
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    try {
        switch (data[0] % 10) {
            case 0:
                StrToInt64Def(text, 0);
                StrToIntDef(text, 0);
                break;
            case 1:
                StrToFloatDef(text, 0);
                break;
            case 2:
                StrToCurrDef(text, Currency{});
                break;
            case 3: {
                TDateTime v;
                TryStrToDateTime(text, v);
                break;
            }
            case 4:
                MatchesMask("Some File Name.txt", text);
                break;
            case 5: {
                const std::size_t cut = text.find('\n');
                if (cut != std::string::npos) MatchesMask(text.substr(0, cut), text.substr(cut + 1));
                break;
            }
            case 6:
                FormatFloat(text, -1234567.891);
                FormatFloat(text, 0);
                FormatFloat(text, 1e300);
                break;
            case 7:
                FormatDateTime(text, 46000.5);
                break;
            case 8:
                Format(text, {1, "two", 3.5, int64_t(4), 'c'});
                break;
            case 9:
                FormatCurr(text, Currency::FromRaw(INT64_MIN));
                break;
        }
    } catch (const EConvertError&) {
    }
    return 0;
}
