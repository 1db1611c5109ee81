#include "framework/core/Extended80.h"

#include <cmath>
#include <limits>

namespace framework {

void ExtendedToBytes(long double Value, uint8_t (&Bytes)[ExtendedSize]) {
    uint64_t mantissa = 0;
    uint16_t exponent = 0;
    const bool negative = std::signbit(Value);
    if (std::isnan(Value)) {
        exponent = 0x7FFF;
        mantissa = 0xC000000000000000ull;
    } else if (std::isinf(Value)) {
        exponent = 0x7FFF;
        mantissa = 0x8000000000000000ull;
    } else if (Value != 0) {
        int e = 0;
        long double m = std::frexp(std::fabs(Value), &e);  // m in [0.5, 1)
        int biased = e - 1 + 16383;
        if (biased >= 0x7FFF) {
            exponent = 0x7FFF;
            mantissa = 0x8000000000000000ull;
        } else if (biased <= 0) {
            // Denormal: no integer bit, fixed exponent 1 - 16383.
            mantissa = static_cast<uint64_t>(std::ldexp(std::fabs(Value), 16382 + 63));
        } else {
            exponent = static_cast<uint16_t>(biased);
            mantissa = static_cast<uint64_t>(std::ldexp(m, 64));
        }
    }
    const uint16_t se = static_cast<uint16_t>(exponent | (negative ? 0x8000 : 0));
    for (int i = 0; i < 8; ++i) Bytes[i] = static_cast<uint8_t>(mantissa >> (8 * i));
    Bytes[8] = static_cast<uint8_t>(se);
    Bytes[9] = static_cast<uint8_t>(se >> 8);
}

long double BytesToExtended(const uint8_t (&Bytes)[ExtendedSize]) {
    uint64_t mantissa = 0;
    for (int i = 7; i >= 0; --i) mantissa = (mantissa << 8) | Bytes[i];
    const auto se = static_cast<uint16_t>(Bytes[8] | (Bytes[9] << 8));
    const bool negative = (se & 0x8000) != 0;
    const int exponent = se & 0x7FFF;
    long double v;
    if (exponent == 0x7FFF) {
        v = (mantissa << 1) == 0 ? std::numeric_limits<long double>::infinity()
                                 : std::numeric_limits<long double>::quiet_NaN();
    } else {
        v = std::ldexp(static_cast<long double>(mantissa), (exponent == 0 ? 1 : exponent) - 16383 - 63);
    }
    return negative ? -v : v;
}

}  // namespace framework
