// Settings files of the registry are text anyone may edit: reading one never fails, and what it
// is rewritten as reads back to the same text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/Registry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::string once = platform::NormalizeRegistryText(text);
    if (platform::NormalizeRegistryText(once) != once) std::abort();
    return 0;
}
