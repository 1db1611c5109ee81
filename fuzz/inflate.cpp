// Feeds arbitrary bytes to the stream engine's inflate, as deflate and as Deflate64. Any outcome
// but a clean result or the engine's own error is a finding.
#include <cstddef>
#include <cstdint>
#include <string>

#include "codecs/deflate/DeflateEngine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    for (int32_t options : {15, 15 | codecs::dfoDeflate64 | codecs::dfoTestOnly}) {
        framework::TStringStream src(std::string(reinterpret_cast<const char*>(data + 1), size - 1));
        framework::TStringStream dst;
        codecs::TArcDeflateHelper helper;
        helper.SetOptions(options);
        if (data[0] & 1) helper.StopAfterBytes = data[0] * 4;
        try {
            codecs::Inflate(&src, &dst, &helper);
        } catch (const codecs::EArcInflateError&) {
        }
    }
    return 0;
}
