#pragma once
// The BMP file: a 14-byte file header, an info header (12, 40, 108 or 124 bytes), an optional colour
// table and the pixel rows, bottom-up unless the height is negative, each padded to 4 bytes.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace framework {

// Pixels in the layout of a Windows DIB but top-down: rows of Stride() bytes, BitCount 1, 4 or 8
// (palette indexes, leftmost pixel in the high bits), 24 (blue, green, red) or 32 (blue, green,
// red, unused).
struct TDib {
    int32_t Width = 0;
    int32_t Height = 0;
    int BitCount = 24;
    std::vector<uint32_t> Palette;  // 0x00BBGGRR
    std::vector<uint8_t> Bits;
    int32_t Stride() const { return ((Width * BitCount + 31) / 32) * 4; }
};

// Largest picture the reader accepts (pixels), so that a damaged header cannot ask for gigabytes.
constexpr int64_t MaxBmpPixels = int64_t(1) << 26;

// Reads a BMP file (also 16-bit, bit-field and run-length encoded ones, which come out as 24, 32, 8 or
// 4 bits). Raises EInvalidGraphic "Bitmap image is not valid" for anything it cannot read.
TDib ReadBmp(const uint8_t* Data, size_t Size);
// The file for a DIB of 1, 4, 8, 24 or 32 bits: BITMAPINFOHEADER, no compression, bottom-up.
std::vector<uint8_t> WriteBmp(const TDib& Dib);

}  // namespace framework
