#pragma once
// The 10-byte extended floating-point layout of stored values: a 64-bit mantissa with its explicit
// integer bit, then the sign and a 15-bit exponent biased by 16383, little-endian, written and
// read field by field whatever the machine's own long double is.

#include <cstdint>

namespace framework {

constexpr int ExtendedSize = 10;

void ExtendedToBytes(long double Value, uint8_t (&Bytes)[ExtendedSize]);
long double BytesToExtended(const uint8_t (&Bytes)[ExtendedSize]);

}  // namespace framework
