#include "dbengine/expr/FieldConvert.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "dbengine/expr/TextForms.h"
#include "dbengine/expr/ValueTypes.h"
#include "dbengine/util/EngineUtils.h"
#include "framework/core/Exception.h"
#include "framework/core/SysUtils.h"

namespace dbengine {

namespace {

// Values in a conversion buffer are little-endian, as in a record.
uint64_t GetLE(const uint8_t* p, int n) {
    uint64_t v = 0;
    for (int i = n - 1; i >= 0; --i) v = v << 8 | p[i];
    return v;
}

void PutLE(uint8_t* p, uint64_t v, int n) {
    for (int i = 0; i < n; ++i, v >>= 8) p[i] = static_cast<uint8_t>(v);
}

double GetDouble(const uint8_t* p) {
    uint64_t bits = GetLE(p, 8);
    double d;
    std::memcpy(&d, &bits, 8);
    return d;
}

void PutDouble(uint8_t* p, double d) {
    uint64_t bits;
    std::memcpy(&bits, &d, 8);
    PutLE(p, bits, 8);
}

TBcd GetBcd(const uint8_t* p) {
    TBcd bcd;
    bcd.Precision = p[0];
    bcd.SignSpecialPlaces = p[1];
    std::memcpy(bcd.Fraction, p + 2, sizeof bcd.Fraction);
    return bcd;
}

void PutBcd(uint8_t* p, const TBcd& bcd) {
    p[0] = bcd.Precision;
    p[1] = bcd.SignSpecialPlaces;
    std::memcpy(p + 2, bcd.Fraction, sizeof bcd.Fraction);
}

// Bytes a value of the type takes; the declared size for strings and byte fields.
int ValueBytes(uint8_t type, uint8_t size) {
    switch (type) {
        case fldString:
        case fldBytes:
        case fldVarBytes:
            return std::min<int>(size, ConvertBufferSize);
        case fldBoolean:
        case fldSmallInt:
        case fldWord:
            return 2;
        case fldDate:
        case fldInteger:
        case fldTime:
        case fldFourBytes:
            return 4;
        case fldFloat:
        case fldTimestamp:
        case fldLargeInt:
        case fldBlob:
            return 8;
        case fldTenBytes:
            return 10;
        case fldBCD:
            return BcdRecordSize;
        default:
            return std::min<int>(size, ConvertBufferSize);
    }
}

bool HasConversionRow(uint8_t type) {
    switch (type) {
        case fldString:
        case fldDate:
        case fldBoolean:
        case fldSmallInt:
        case fldInteger:
        case fldFloat:
        case fldBCD:
        case fldBytes:
        case fldTime:
        case fldTimestamp:
        case fldWord:
        case fldVarBytes:
        case fldLargeInt:
            return true;
        default:
            return false;
    }
}

// Text and its zero byte; the buffer was zeroed, so a text that fills it stays terminated.
void PutText(uint8_t* buffer, const std::string& text) {
    size_t n = std::min<size_t>(text.size(), ConvertBufferSize - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = 0;
}

bool PutCurrencyAsBcd(uint8_t* buffer, int64_t currency, uint8_t scale) {
    TBcd bcd;
    if (!CurrencyToBcd(scale, bcd, currency)) return false;
    PutBcd(buffer, bcd);
    return true;
}

// An integral value into an integer-like, float, BCD or boolean destination. Narrowing checks
// the range: a value the destination cannot hold fails and leaves the zeroed buffer.
bool PutInteger(uint8_t* buffer, int64_t v, uint8_t dstType, uint8_t dstScale) {
    switch (dstType) {
        case fldString:
            PutText(buffer, std::to_string(v));
            return true;
        case fldBoolean:
            PutLE(buffer, v != 0 ? 1 : 0, 2);
            return true;
        case fldSmallInt:
            if (v < INT16_MIN || v > INT16_MAX) return false;
            PutLE(buffer, static_cast<uint64_t>(v), 2);
            return true;
        case fldWord:
            if (v < 0 || v > UINT16_MAX) return false;
            PutLE(buffer, static_cast<uint64_t>(v), 2);
            return true;
        case fldInteger:
            if (v < INT32_MIN || v > INT32_MAX) return false;
            PutLE(buffer, static_cast<uint64_t>(v), 4);
            return true;
        case fldLargeInt:
            PutLE(buffer, static_cast<uint64_t>(v), 8);
            return true;
        case fldFloat:
            PutDouble(buffer, static_cast<double>(v));
            return true;
        case fldBCD:
            if (v > INT64_MAX / 10000 || v < INT64_MIN / 10000) return false;
            return PutCurrencyAsBcd(buffer, v * 10000, dstScale);
        default:
            return false;
    }
}

// Truncates toward zero into the 64-bit range; false for NaN, infinities and values beyond it.
bool TruncToInt64(double d, int64_t& v) {
    d = std::trunc(d);
    if (!(d >= -9223372036854775808.0 && d < 9223372036854775808.0)) return false;
    v = static_cast<int64_t>(d);
    return true;
}

bool IsRawDestination(uint8_t type) {
    return type == fldBytes || type == fldVarBytes;
}

bool ConvertValue(uint8_t srcType, uint8_t srcSize, const uint8_t* src, uint8_t dstType, uint8_t dstSize,
                  uint8_t dstScale, uint8_t* buffer) {
    const int dstBytes = ValueBytes(dstType, dstSize);
    auto copyRaw = [&] {
        int n = std::min(ValueBytes(srcType, srcSize), dstBytes);
        std::memcpy(buffer, src, static_cast<size_t>(n));
        return true;
    };
    if (IsRawDestination(dstType) && srcType != fldString) return copyRaw();

    switch (srcType) {
        case fldString: {
            size_t limit = srcSize != 0 ? std::min<size_t>(srcSize, ConvertBufferSize) : ConvertBufferSize;
            std::string text(reinterpret_cast<const char*>(src),
                             strnlen(reinterpret_cast<const char*>(src), limit));
            try {
                switch (dstType) {
                    case fldDate:
                        PutLE(buffer, static_cast<uint32_t>(TextToDate(text)), 4);
                        return true;
                    case fldBoolean:
                        PutLE(buffer, static_cast<uint64_t>(TextToBoolean(text)), 2);
                        return true;
                    case fldSmallInt:
                    case fldWord:
                    case fldInteger:
                    case fldLargeInt: {
                        int64_t v;
                        if (!TextToInt64(text, v)) return false;
                        return PutInteger(buffer, v, dstType, dstScale);
                    }
                    case fldFloat:
                        PutDouble(buffer, TextToFloat(text));
                        return true;
                    case fldBCD:
                        return PutCurrencyAsBcd(buffer, TextToCurrency(text), dstScale);
                    case fldBytes:
                    case fldVarBytes:
                        return copyRaw();
                    case fldTime:
                        PutLE(buffer, static_cast<uint32_t>(TextToTime(text)), 4);
                        return true;
                    case fldTimestamp:
                        PutDouble(buffer, TextToDateTime(text));
                        return true;
                    default:
                        return false;
                }
            } catch (const framework::Exception&) {
                if (dstType == fldDate) PutLE(buffer, DateDelta, 4);
                if (dstType == fldTimestamp) PutDouble(buffer, NullDateTimestamp);
                return false;
            }
        }
        case fldDate: {
            int32_t day = static_cast<int32_t>(GetLE(src, 4));
            if (dstType == fldString) {
                try {
                    PutText(buffer, DateToText(day));
                    return true;
                } catch (const framework::EConvertError&) {
                    return false;
                }
            }
            if (dstType == fldTimestamp) {
                PutDouble(buffer, static_cast<double>(day) * MSecsPerDay);
                return true;
            }
            return false;
        }
        case fldBoolean: {
            uint16_t b = static_cast<uint16_t>(GetLE(src, 2));
            if (dstType == fldString) {
                PutText(buffer, BooleanToText(b != 0));
                return true;
            }
            if (dstType == fldFloat) return false;
            return PutInteger(buffer, b != 0 ? 1 : 0, dstType, dstScale);
        }
        case fldSmallInt:
            return PutInteger(buffer, static_cast<int16_t>(GetLE(src, 2)), dstType, dstScale);
        case fldWord:
            return PutInteger(buffer, static_cast<uint16_t>(GetLE(src, 2)), dstType, dstScale);
        case fldInteger:
            return PutInteger(buffer, static_cast<int32_t>(GetLE(src, 4)), dstType, dstScale);
        case fldLargeInt:
            return PutInteger(buffer, static_cast<int64_t>(GetLE(src, 8)), dstType, dstScale);
        case fldFloat: {
            double d = GetDouble(src);
            switch (dstType) {
                case fldString:
                    PutText(buffer, FloatToText(d));
                    return true;
                case fldSmallInt:
                case fldWord:
                case fldInteger:
                case fldLargeInt: {
                    int64_t v;
                    return TruncToInt64(d, v) && PutInteger(buffer, v, dstType, dstScale);
                }
                case fldBCD: {
                    // Ties go to the even neighbour (the default rounding mode).
                    double units = std::nearbyint(d * 10000.0);
                    if (!(units >= -9223372036854775808.0 && units < 9223372036854775808.0)) return false;
                    return PutCurrencyAsBcd(buffer, static_cast<int64_t>(units), dstScale);
                }
                default:
                    return false;
            }
        }
        case fldBCD: {
            int64_t c = BcdToCurrency(GetBcd(src));
            switch (dstType) {
                case fldString:
                    PutText(buffer, CurrencyToText(c));
                    return true;
                case fldSmallInt:
                case fldWord:
                case fldInteger:
                case fldLargeInt:
                    return PutInteger(buffer, c / 10000, dstType, dstScale);
                case fldFloat:
                    PutDouble(buffer, static_cast<double>(c) / 10000.0);
                    return true;
                default:
                    return false;
            }
        }
        case fldBytes:
        case fldVarBytes:
            if (dstType == fldBlob) return false;
            return copyRaw();
        case fldTime: {
            int32_t ms = static_cast<int32_t>(GetLE(src, 4));
            if (dstType == fldString) {
                try {
                    PutText(buffer, TimeToText(ms));
                    return true;
                } catch (const framework::EConvertError&) {
                    return false;
                }
            }
            if (dstType == fldTimestamp) {
                PutDouble(buffer, NullDateTimestamp + ms);
                return true;
            }
            return false;
        }
        case fldTimestamp: {
            double ts = GetDouble(src);
            if (dstType == fldString) {
                try {
                    PutText(buffer, DateTimeToText(ts));
                    return true;
                } catch (const framework::EConvertError&) {
                    return false;
                }
            }
            if (dstType != fldDate && dstType != fldTime) return false;
            // Whole milliseconds; a timestamp beyond year 9999 or before year 1 has no date.
            if (!(ts >= 0 && ts < 1e15)) return false;
            int64_t ms = std::llround(ts);
            if (dstType == fldDate)
                PutLE(buffer, static_cast<uint64_t>(ms / MSecsPerDay), 4);
            else
                PutLE(buffer, static_cast<uint64_t>(ms % MSecsPerDay), 4);
            return true;
        }
        default:
            return false;
    }
}

}  // namespace

uint16_t NormalizeBoolean(uint16_t Value) {
    return Value == 0 ? 0 : 1;
}

bool ConvertFieldValue(uint8_t SrcType, uint8_t SrcSize, uint8_t SrcScale, uint8_t DstType, uint8_t DstSize,
                       uint8_t DstScale, void* Buffer) {
    (void)SrcScale;  // a BCD value carries its own places
    auto* buffer = static_cast<uint8_t*>(Buffer);
    if (SrcType == DstType) {
        if (SrcType == fldString || SrcType == fldBytes || SrcType == fldVarBytes) {
            size_t keep = std::min<size_t>({SrcSize, DstSize, ConvertBufferSize});
            std::memset(buffer + keep, 0, ConvertBufferSize - keep);
        }
        return true;
    }
    if (!HasConversionRow(SrcType)) return true;
    uint8_t source[ConvertBufferSize];
    std::memcpy(source, buffer, ConvertBufferSize);
    std::memset(buffer, 0, ConvertBufferSize);
    if (ConvertValue(SrcType, SrcSize, source, DstType, DstSize, DstScale, buffer)) return true;
    // A value that began to be written before failing must not stay half converted.
    bool dateFallback = SrcType == fldString && (DstType == fldDate || DstType == fldTimestamp);
    if (!dateFallback) std::memset(buffer, 0, ConvertBufferSize);
    return false;
}

bool TextToDateTimeValue(void* Buffer, uint8_t Type) {
    auto* buffer = static_cast<uint8_t*>(Buffer);
    if (Type != fldDate && Type != fldTime && Type != fldTimestamp) return true;
    std::string text(reinterpret_cast<const char*>(buffer),
                     strnlen(reinterpret_cast<const char*>(buffer), 255));
    try {
        if (Type == fldDate)
            PutLE(buffer, static_cast<uint32_t>(TextToDate(text)), 4);
        else if (Type == fldTime)
            PutLE(buffer, static_cast<uint32_t>(TextToTime(text)), 4);
        else
            PutDouble(buffer, TextToDateTime(text));
        return true;
    } catch (const framework::EConvertError&) {
        if (Type == fldDate)
            PutLE(buffer, DateDelta, 4);
        else if (Type == fldTime)
            PutLE(buffer, 0, 4);
        else
            PutDouble(buffer, NullDateTimestamp);
        return false;
    }
}

}  // namespace dbengine
