// Inflating compressed engine buffers (remote replies, compressed file copies): any input either
// inflates or raises the engine's "Error uncompressing data", never crashes or hangs.
#include <cstddef>
#include <cstdint>

#include "dbengine/util/EngineError.h"
#include "dbengine/util/EngineUtils.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        auto out = dbengine::UncompressBuffer(data, size);
        auto again = dbengine::CompressBuffer(out.data(), out.size());
        auto back = dbengine::UncompressBuffer(again.data(), again.size());
        if (back != out) __builtin_trap();
    } catch (const dbengine::EDbEngineError& e) {
        if (e.ErrorCode != dbengine::DBE_UNCOMPRESS) __builtin_trap();
    }
    return 0;
}
