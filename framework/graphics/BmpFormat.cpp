#include "framework/graphics/BmpFormat.h"

#include <algorithm>
#include <cstring>

#include "framework/ui/Graphics.h"
#include "platform/LittleEndian.h"

namespace framework {

namespace {
constexpr uint32_t BI_RGB = 0, BI_RLE8 = 1, BI_RLE4 = 2, BI_BITFIELDS = 3;
constexpr const char* NotValid = "Bitmap image is not valid";

[[noreturn]] void Invalid() {
    throw EInvalidGraphic(NotValid);
}

struct Reader {
    const uint8_t* P;
    size_t N;
    uint32_t U16(size_t at) const {
        if (at + 2 > N) Invalid();
        return platform::GetUInt16(P + at);
    }
    uint32_t U32(size_t at) const {
        if (at + 4 > N) Invalid();
        return platform::GetUInt32(P + at);
    }
};

// Value of a bit field scaled to 8 bits. A mask with gaps counts only its lowest run of ones.
uint8_t Field(uint32_t v, uint32_t mask) {
    if (!mask) return 0;
    int shift = 0;
    while (!((mask >> shift) & 1)) ++shift;
    int bits = 0;
    while (shift + bits < 32 && ((mask >> (shift + bits)) & 1)) ++bits;
    uint64_t max = (uint64_t(1) << bits) - 1;
    uint64_t x = (v >> shift) & max;
    if (bits >= 8) return static_cast<uint8_t>(x >> (bits - 8));
    return static_cast<uint8_t>((x * 255 + max / 2) / max);
}

void SetIndex(TDib& d, int x, int y, int index) {
    uint8_t* row = d.Bits.data() + static_cast<size_t>(y) * d.Stride();
    if (d.BitCount == 8)
        row[x] = static_cast<uint8_t>(index);
    else {
        int shift = (x & 1) ? 0 : 4;
        row[x / 2] = static_cast<uint8_t>((row[x / 2] & ~(0xF << shift)) | ((index & 0xF) << shift));
    }
}

// Run-length encoded rows; out-of-picture moves and short data are errors.
void DecodeRle(TDib& d, const uint8_t* p, size_t n, bool four, bool topDown) {
    int x = 0, yb = 0;  // yb counts rows from the bottom of the file's order
    size_t i = 0;
    auto row = [&](int yFile) { return topDown ? yFile : d.Height - 1 - yFile; };
    while (true) {
        if (i + 2 > n) Invalid();
        uint8_t count = p[i], value = p[i + 1];
        i += 2;
        if (count) {
            for (int k = 0; k < count; ++k, ++x) {
                if (x >= d.Width || yb >= d.Height) Invalid();
                int v = four ? ((k & 1) ? (value & 0xF) : (value >> 4)) : value;
                SetIndex(d, x, row(yb), v);
            }
        } else if (value == 0) {
            x = 0;
            ++yb;
        } else if (value == 1) {
            return;
        } else if (value == 2) {
            if (i + 2 > n) Invalid();
            x += p[i];
            yb += p[i + 1];
            i += 2;
            if (x > d.Width || yb > d.Height) Invalid();
        } else {
            int len = value;
            size_t bytes = four ? (len + 1) / 2 : len;
            if (i + bytes > n) Invalid();
            for (int k = 0; k < len; ++k, ++x) {
                if (x >= d.Width || yb >= d.Height) Invalid();
                int v = four ? ((k & 1) ? (p[i + k / 2] & 0xF) : (p[i + k / 2] >> 4)) : p[i + k];
                SetIndex(d, x, row(yb), v);
            }
            i += (bytes + 1) & ~size_t(1);  // absolute runs are padded to a word
        }
        if (yb >= d.Height) return;
    }
}
}  // namespace

TDib ReadBmp(const uint8_t* Data, size_t Size) {
    Reader r{Data, Size};
    if (Size < 14 + 12 || Data[0] != 'B' || Data[1] != 'M') Invalid();
    uint32_t offBits = r.U32(10);
    uint32_t hdr = r.U32(14);
    int32_t width, height;
    uint32_t planes, bitCount, compression = BI_RGB, clrUsed = 0;
    size_t paletteEntry = 4;
    if (hdr == 12) {
        width = static_cast<int32_t>(r.U16(18));
        height = static_cast<int16_t>(r.U16(20));
        planes = r.U16(22);
        bitCount = r.U16(24);
        paletteEntry = 3;
    } else if (hdr == 40 || hdr == 52 || hdr == 56 || hdr == 64 || hdr == 108 || hdr == 124) {
        width = static_cast<int32_t>(r.U32(18));
        height = static_cast<int32_t>(r.U32(22));
        planes = r.U16(26);
        bitCount = r.U16(28);
        compression = r.U32(30);
        clrUsed = r.U32(46);
    } else {
        Invalid();
    }
    if (planes != 1 || width <= 0 || height == 0 || height == INT32_MIN) Invalid();
    bool topDown = height < 0;
    int32_t h = topDown ? -height : height;
    if (static_cast<int64_t>(width) * h > MaxBmpPixels) Invalid();
    bool paletted = bitCount == 1 || bitCount == 4 || bitCount == 8;
    if (!paletted && bitCount != 16 && bitCount != 24 && bitCount != 32) Invalid();
    if ((compression == BI_RLE8 && bitCount != 8) || (compression == BI_RLE4 && bitCount != 4) ||
        (compression == BI_BITFIELDS && bitCount != 16 && bitCount != 32) || compression > BI_BITFIELDS)
        Invalid();
    if (topDown && (compression == BI_RLE8 || compression == BI_RLE4)) Invalid();

    // Bit-field masks follow a 40-byte header, or sit inside the larger ones.
    uint32_t masks[3] = {0x7C00, 0x03E0, 0x001F};
    if (bitCount == 32) masks[0] = 0xFF0000, masks[1] = 0xFF00, masks[2] = 0xFF;
    size_t afterHeader = 14 + hdr;
    if (compression == BI_BITFIELDS) {
        for (int i = 0; i < 3; ++i) masks[i] = r.U32(14 + 40 + 4 * i);
        if (hdr == 40) afterHeader += 12;
    }

    TDib d;
    d.Width = width;
    d.Height = h;
    d.BitCount = paletted ? static_cast<int>(bitCount) : (bitCount == 32 ? 32 : 24);
    if (paletted) {
        size_t maxColors = size_t(1) << bitCount;
        size_t colors = clrUsed ? clrUsed : maxColors;
        if (colors > maxColors) Invalid();
        if (afterHeader + colors * paletteEntry > Size) Invalid();
        for (size_t i = 0; i < colors; ++i) {
            const uint8_t* e = Data + afterHeader + i * paletteEntry;
            d.Palette.push_back(e[2] | (e[1] << 8) | (e[0] << 16));
        }
        d.Palette.resize(maxColors, 0);
    }
    if (offBits == 0) offBits = static_cast<uint32_t>(afterHeader + d.Palette.size() * paletteEntry);
    if (offBits > Size) Invalid();
    const uint8_t* bits = Data + offBits;
    size_t avail = Size - offBits;
    d.Bits.assign(static_cast<size_t>(d.Stride()) * h, 0);

    if (compression == BI_RLE8 || compression == BI_RLE4) {
        DecodeRle(d, bits, avail, compression == BI_RLE4, topDown);
        return d;
    }
    int32_t srcStride = ((width * static_cast<int32_t>(bitCount) + 31) / 32) * 4;
    if (static_cast<uint64_t>(srcStride) * h > avail) Invalid();
    for (int32_t y = 0; y < h; ++y) {
        const uint8_t* src = bits + static_cast<size_t>(topDown ? y : h - 1 - y) * srcStride;
        uint8_t* dst = d.Bits.data() + static_cast<size_t>(y) * d.Stride();
        if (paletted || (bitCount == 24) || (bitCount == 32 && compression == BI_RGB)) {
            std::memcpy(dst, src, static_cast<size_t>(std::min(srcStride, d.Stride())));
            continue;
        }
        for (int32_t x = 0; x < width; ++x) {
            uint32_t v = bitCount == 16 ? (src[2 * x] | (src[2 * x + 1] << 8))
                                        : (src[4 * x] | (src[4 * x + 1] << 8) | (src[4 * x + 2] << 16) |
                                           (uint32_t(src[4 * x + 3]) << 24));
            uint8_t* o = dst + x * (d.BitCount / 8);
            o[0] = Field(v, masks[2]);
            o[1] = Field(v, masks[1]);
            o[2] = Field(v, masks[0]);
        }
    }
    return d;
}

std::vector<uint8_t> WriteBmp(const TDib& d) {
    if (d.BitCount != 1 && d.BitCount != 4 && d.BitCount != 8 && d.BitCount != 24 && d.BitCount != 32)
        throw EInvalidGraphic(NotValid);
    size_t colors = d.BitCount <= 8 ? (size_t(1) << d.BitCount) : 0;
    uint32_t stride = static_cast<uint32_t>(d.Stride());
    uint32_t offBits = static_cast<uint32_t>(14 + 40 + colors * 4);
    uint32_t imageSize = stride * static_cast<uint32_t>(d.Height);
    std::vector<uint8_t> v;
    v.reserve(offBits + imageSize);
    v.push_back('B');
    v.push_back('M');
    platform::AppendUInt32(v, offBits + imageSize);  // file size
    platform::AppendUInt32(v, 0);                    // reserved
    platform::AppendUInt32(v, offBits);
    platform::AppendUInt32(v, 40);  // header size
    platform::AppendUInt32(v, static_cast<uint32_t>(d.Width));
    platform::AppendUInt32(v, static_cast<uint32_t>(d.Height));
    platform::AppendUInt16(v, 1);  // planes
    platform::AppendUInt16(v, static_cast<uint32_t>(d.BitCount));
    platform::AppendUInt32(v, BI_RGB);
    platform::AppendUInt32(v, imageSize);
    platform::AppendUInt32(v, 3780);  // 96 dots per inch in pixels per metre
    platform::AppendUInt32(v, 3780);
    platform::AppendUInt32(v, static_cast<uint32_t>(colors));
    platform::AppendUInt32(v, 0);  // all colours important
    for (size_t i = 0; i < colors; ++i) {
        uint32_t c = i < d.Palette.size() ? d.Palette[i] : 0;
        v.push_back((c >> 16) & 0xFF);
        v.push_back((c >> 8) & 0xFF);
        v.push_back(c & 0xFF);
        v.push_back(0);
    }
    for (int32_t y = d.Height - 1; y >= 0; --y) {
        const uint8_t* row = d.Bits.data() + static_cast<size_t>(y) * stride;
        v.insert(v.end(), row, row + stride);
    }
    return v;
}

}  // namespace framework
