// Decoding a stored index page of unknown bytes with any key size and entry format: it either
// decodes (and then encodes again to the same entries) or raises the index page error.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "dbengine/index/Page.h"
#include "dbengine/session/EngineError.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace dbengine;
    if (size < 4) return 0;
    TPage page(nullptr);
    page.KeySize = static_cast<uint16_t>(1 + (data[0] | (data[1] & 0x01) << 8) % 600);
    page.Compression = data[2] & 0x03;
    page.Unique = (data[2] & 0x04) != 0;
    page.NoCounts = (data[2] & 0x08) != 0;
    page.IndexNo = data[3] % 33;
    uint8_t buffer[4096] = {};
    std::memcpy(buffer, data + 4, std::min<size_t>(size - 4, sizeof buffer));
    try {
        page.LoadFromBuffer(buffer, false);
        if (page.PageType <= ptLeafRoot) {
            uint8_t out[4096];
            page.SaveToBuffer(out);
            TPage again(nullptr);
            again.KeySize = page.KeySize;
            again.Compression = page.Compression;
            again.Unique = page.Unique;
            again.NoCounts = page.NoCounts;
            again.IndexNo = page.IndexNo;
            again.LoadFromBuffer(out, false);
            if (again.EntryCount != page.EntryCount) __builtin_trap();
            for (int i = 1; i <= page.EntryCount; ++i)
                if (std::memcmp(again.KeyAt(i), page.KeyAt(i), page.KeySize) != 0 ||
                    again.ValueAt(i) != page.ValueAt(i))
                    __builtin_trap();
        }
    } catch (const EDbEngineError& e) {
        if (e.ErrorCode != DBE_INDEXCORRUPT) __builtin_trap();
    }
    return 0;
}
