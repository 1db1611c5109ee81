#pragma once
// The RFC 1951 length and distance tables shared by the compressor and the decompressor, and the
// translator that maps a length or a distance to its symbol.

#include <cstdint>

namespace codecs {

// Length symbols 257..285: base length and extra bits (symbol 285 is length 258 without extra
// bits in deflate; Deflate64 gives it base 3 and 16 extra bits).
extern const uint16_t kLengthBase[29];
extern const uint8_t kLengthExtra[29];
// Distance symbols 0..31 (30 and 31 exist in Deflate64 only).
extern const uint32_t kDistanceBase[32];
extern const uint8_t kDistanceExtra[32];
// Order in which code-length code lengths are sent.
extern const uint8_t kCodeLengthOrder[19];

class TArcDfTranslator {
public:
    TArcDfTranslator();
    // Symbol 257..285 of a length 3..65536 (all lengths above 258 map to 285).
    int LengthSymbol(int32_t length) const;
    // Symbol 0..31 of a distance 1..65536.
    int DistanceSymbol(int32_t distance) const;

private:
    uint8_t FLengthCode[256];    // length - 3 -> symbol - 257
    uint8_t FDistanceLow[512];   // distance - 1 below 512
    uint8_t FDistanceHigh[256];  // (distance - 1) >> 8 for larger distances
};

const TArcDfTranslator& Translator();

}  // namespace codecs
