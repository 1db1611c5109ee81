// BMP files from outside: the reader must raise EInvalidGraphic or give a bitmap whose pixels can
// be drawn, read back and written out again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "framework/core/Stream.h"
#include "framework/graphics/BmpFormat.h"
#include "framework/ui/Graphics.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace framework;
    try {
        TDib d = ReadBmp(data, size);
        if (static_cast<int64_t>(d.Width) * d.Height > MaxBmpPixels) std::abort();
        if (d.Bits.size() != static_cast<size_t>(d.Stride()) * d.Height) std::abort();
        if (d.BitCount <= 8 && d.Palette.size() != (size_t(1) << d.BitCount)) std::abort();
        std::vector<uint8_t> again = WriteBmp(d);
        TDib e = ReadBmp(again.data(), again.size());
        if (e.Bits != d.Bits || e.Palette != d.Palette) std::abort();  // what we write, we read

        TMemoryStream s;
        s.WriteBuffer(data, static_cast<int32_t>(size));
        s.SetPosition(0);
        TBitmap b;
        b.LoadFromStream(s);
        if (b.Width() > 0 && b.Height() > 0) {
            b.Canvas().Pixel(b.Width() - 1, b.Height() - 1);
            b.ScanLine(b.Height() - 1);
        }
    } catch (const EInvalidGraphic&) {
    }
    return 0;
}
