#include "codecs/deflate/Checksum.h"

#include <array>

#include "platform/LittleEndian.h"

namespace codecs {

namespace {

// Eight tables for slicing by eight bytes: table k maps a byte that still has k more bytes of
// CRC processing ahead of it.
struct CrcTables {
    std::array<std::array<uint32_t, 256>, 8> T{};
    CrcTables() {
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            T[0][n] = c;
        }
        for (uint32_t n = 0; n < 256; ++n)
            for (int k = 1; k < 8; ++k) T[k][n] = T[0][T[k - 1][n] & 0xFF] ^ (T[k - 1][n] >> 8);
    }
};

const CrcTables& Tables() {
    static const CrcTables tables;
    return tables;
}

// Adler-32 sums are reduced after at most this many bytes; 4096 keeps both sums far below 2^32.
constexpr size_t kAdlerRun = 4096;
constexpr uint32_t kAdlerModulus = 65521;

}  // namespace

uint32_t Crc32TableEntry(uint8_t index) {
    return Tables().T[0][index];
}

uint32_t CrcUpdateByte(uint8_t byte, uint32_t crc) {
    return Tables().T[0][(crc ^ byte) & 0xFF] ^ (crc >> 8);
}

uint32_t UpdateCRC32(uint32_t value, const void* buffer, size_t length) {
    const auto& t = Tables().T;
    const auto* p = static_cast<const uint8_t*>(buffer);
    uint32_t c = value;
    while (length >= 8) {
        uint32_t lo = c ^ platform::GetUInt32(p);
        uint32_t hi = platform::GetUInt32(p + 4);
        c = t[7][lo & 0xFF] ^ t[6][(lo >> 8) & 0xFF] ^ t[5][(lo >> 16) & 0xFF] ^ t[4][lo >> 24] ^
            t[3][hi & 0xFF] ^ t[2][(hi >> 8) & 0xFF] ^ t[1][(hi >> 16) & 0xFF] ^ t[0][hi >> 24];
        p += 8;
        length -= 8;
    }
    while (length--) c = t[0][(c ^ *p++) & 0xFF] ^ (c >> 8);
    return c;
}

uint32_t UpdateAdler32(uint32_t value, const void* buffer, size_t length) {
    const auto* p = static_cast<const uint8_t*>(buffer);
    uint32_t a = value & 0xFFFF;
    uint32_t b = value >> 16;
    while (length > 0) {
        size_t run = length < kAdlerRun ? length : kAdlerRun;
        length -= run;
        while (run--) {
            a += *p++;
            b += a;
        }
        a %= kAdlerModulus;
        b %= kAdlerModulus;
    }
    return (b << 16) | a;
}

}  // namespace codecs
