#include "codecs/deflate/DeflateTables.h"

#include "codecs/deflate/DeflateEngine.h"

namespace codecs {

const uint16_t kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                  31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
const uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                  2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
const uint32_t kDistanceBase[32] = {1,    2,    3,    4,    5,    7,     9,     13,    17,    25,   33,
                                    49,   65,   97,   129,  193,  257,   385,   513,   769,   1025, 1537,
                                    2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577, 32769, 49153};
const uint8_t kDistanceExtra[32] = {0, 0, 0, 0, 1, 1, 2,  2,  3,  3,  4,  4,  5,  5,  6,  6,
                                    7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13, 14, 14};
const uint8_t kCodeLengthOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

TArcDfTranslator::TArcDfTranslator() {
    for (int s = 0; s < 28; ++s)
        for (int l = kLengthBase[s]; l < kLengthBase[s] + (1 << kLengthExtra[s]) && l <= 258; ++l)
            FLengthCode[l - 3] = static_cast<uint8_t>(s);
    FLengthCode[258 - 3] = 28;
    for (int s = 0; s < 32; ++s) {
        uint32_t first = kDistanceBase[s] - 1;
        uint32_t last = first + (1u << kDistanceExtra[s]);
        for (uint32_t d = first; d < last; ++d) {
            if (d < 512)
                FDistanceLow[d] = static_cast<uint8_t>(s);
            else
                FDistanceHigh[d >> 8] = static_cast<uint8_t>(s);
        }
    }
}

int TArcDfTranslator::LengthSymbol(int32_t length) const {
    ArcAssert(length >= 3 && length <= 65536, "TArcDfTranslator.Translate: length should be 3..65536");
    return length > 258 ? 285 : 257 + FLengthCode[length - 3];
}

int TArcDfTranslator::DistanceSymbol(int32_t distance) const {
    ArcAssert(distance >= 1 && distance <= 65536, "TArcDfTranslator.Translate: distance should be 1..65536");
    uint32_t d = static_cast<uint32_t>(distance - 1);
    return d < 512 ? FDistanceLow[d] : FDistanceHigh[d >> 8];
}

const TArcDfTranslator& Translator() {
    static const TArcDfTranslator translator;
    return translator;
}

}  // namespace codecs
