// Value texts of field definitions and conversions: any text converts to every field type or
// reports failure, never crashes; dates and times that read back write the same value again.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "dbengine/data/FieldDescriptor.h"
#include "dbengine/expr/FieldConvert.h"
#include "dbengine/expr/TextForms.h"
#include "dbengine/expr/ValueTypes.h"
#include "framework/core/Exception.h"

using namespace dbengine;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    const uint8_t types[] = {fldDate, fldBoolean,   fldSmallInt, fldInteger,  fldFloat, fldBCD,   fldBytes,
                             fldTime, fldTimestamp, fldWord,     fldLargeInt, fldBlob,  fldString};
    for (uint8_t type : types) {
        uint8_t buffer[ConvertBufferSize] = {};
        std::memcpy(buffer, text.data(), std::min<size_t>(text.size(), ConvertBufferSize - 1));
        bool ok = ConvertFieldValue(fldString, ConvertBufferSize - 1, 0, type, 20, 2, buffer);
        (void)IsValidValueText(text, type);
        // Whatever came out converts back to text without fault.
        if (ok && type != fldBlob && type != fldBytes)
            ConvertFieldValue(type, 8, 2, fldString, 200, 0, buffer);
    }
    try {
        int32_t t = TextToTime(text);
        if (TextToTime(TimeToText(t)) != t) __builtin_trap();
    } catch (const framework::EConvertError&) {
    }
    try {
        double ts = TextToDateTime(text);
        if (TextToDateTime(DateTimeToText(ts)) != ts) __builtin_trap();
    } catch (const framework::EConvertError&) {
    }
    try {
        double f = TextToFloat(text);
        (void)TextToFloat(FloatToText(f));
        (void)TextToCurrency(text);
    } catch (const framework::EConvertError&) {
    }
    return 0;
}
