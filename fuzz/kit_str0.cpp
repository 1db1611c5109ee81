// "STR0" string resources as the kit's reader opens them: any bytes as a resource, then lookups of
// the ids it lists and of a few it does not.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "controls/kit/StyledStrings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    framework::RegisterDataResource("FUZZ_STR0", framework::RT_RCDATA,
                                    std::vector<uint8_t>(data, data + size));
    try {
        kit::TStyledStringResource reader(framework::HInstance, "FUZZ_STR0");
        for (int id : {0, 1, 2, 3, 5, 16, 30, 39, -1, 0x7FFFFFFF}) (void)reader.String(id);
        reader.ReportErrors = true;
        try {
            (void)reader.String(12345);
        } catch (const kit::EStyledStringResourceError&) {
        }
    } catch (const kit::EStyledStringResourceError&) {
    }
    return 0;
}
