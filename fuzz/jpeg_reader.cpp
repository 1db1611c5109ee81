// JPEG files from outside: reading the header and decoding must raise EInvalidGraphic or succeed,
// never crash, hang or ask for unbounded memory.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "framework/core/Stream.h"
#include "framework/graphics/Jpeg.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace framework;
    TMemoryStream s;
    if (size) s.WriteBuffer(data, static_cast<int32_t>(size));
    s.SetPosition(0);
    TJPEGImage j;
    try {
        j.LoadFromStream(s);
    } catch (const EInvalidGraphic&) {
        return 0;
    }
    if (j.Width() <= 0 || j.Height() <= 0) std::abort();
    // Small pictures are decoded whole; big ones at an eighth, as a thumbnail would be.
    if (static_cast<int64_t>(j.Width()) * j.Height() > 1 << 20) j.Scale = jsEighth;
    try {
        TBitmap& b = j.Bitmap();
        if (b.Width() != j.Width() || b.Height() != j.Height()) std::abort();
    } catch (const EInvalidGraphic&) {
    }
    return 0;
}
