#include "dbengine/index/Keys.h"

#include <algorithm>
#include <cstring>

#include "dbengine/os/OSLayer.h"
#include "dbengine/util/Coding.h"
#include "dbengine/util/EngineUtils.h"

namespace dbengine {

namespace {

// A value read from a record lands in a zero-filled buffer this long (a string of 250 and its zero).
constexpr size_t ValueBufferSize = 251;

void PutBigEndian(uint64_t v, int bytes, uint8_t* dest) {
    for (int i = bytes - 1; i >= 0; --i) {
        dest[i] = static_cast<uint8_t>(v);
        v >>= 8;
    }
}

int Compare(const uint8_t* a, const uint8_t* b, size_t n, bool negate) {
    int r = CompareBytes(a, b, n, false);
    return negate ? -r : r;
}

// Sys Text keys: 3 bytes, then a 61-character word compared as text, then 4 bytes.
constexpr size_t TextKeyHead = 3;
constexpr size_t TextKeyWord = 61;
constexpr size_t TextKeyTail = 4;

}  // namespace

void EncodeKeyInteger(int32_t value, uint8_t* dest) {
    PutBigEndian(static_cast<uint32_t>(value) ^ 0x80000000u, 4, dest);
}

void EncodeKeySmallInt(int16_t value, uint8_t* dest) {
    PutBigEndian(static_cast<uint16_t>(value) ^ 0x8000u, 2, dest);
}

void EncodeKeyWord(uint16_t value, uint8_t* dest) {
    PutBigEndian(value, 2, dest);
}

void EncodeKeyLargeInt(int64_t value, uint8_t* dest) {
    PutBigEndian(static_cast<uint64_t>(value) ^ 0x8000000000000000ull, 8, dest);
}

void EncodeKeyCurrency(int64_t value, uint8_t* dest) {
    EncodeKeyLargeInt(value, dest);
}

void EncodeKeyDouble(double value, uint8_t* dest) {
    uint64_t bits;
    std::memcpy(&bits, &value, 8);
    PutBigEndian(bits, 8, dest);
    if (value >= 0.0)
        dest[0] |= 0x80;
    else
        InvertKeyBytes(dest, 8);  // negative values and NaN
}

void InvertKeyBytes(uint8_t* buffer, size_t count) {
    for (size_t i = 0; i < count; ++i) buffer[i] = static_cast<uint8_t>(255 - buffer[i]);
}

void EncodeKeyValue(const TFieldDescriptor& field, const uint8_t* value, uint8_t* dest, bool caseInsensitive,
                    bool descending, uint16_t languageId, uint16_t sortId) {
    uint8_t* out = dest + 1;
    const size_t part = KeyPartSize(field);
    switch (field.FieldType) {
        case fldString: {
            size_t n = 0;
            while (n < part && value[n] != 0) ++n;
            std::memcpy(out, value, n);
            std::memset(out + n, 0, part - n);
            if (caseInsensitive) {
                std::string text(reinterpret_cast<const char*>(out), n);
                UpperCaseLocale(languageId, sortId, text);
                std::memcpy(out, text.data(), n);
            }
            break;
        }
        case fldDate:
        case fldInteger:
        case fldTime:
            EncodeKeyInteger(GetInt32(value), out);
            break;
        case fldSmallInt:
            EncodeKeySmallInt(GetInt16(value), out);
            break;
        case fldBoolean:
        case fldWord:
            EncodeKeyWord(GetUInt16(value), out);
            break;
        case fldFloat:
        case fldTimestamp:
            EncodeKeyDouble(GetDouble(value), out);
            break;
        case fldBCD: {
            TBcd bcd;
            bcd.Precision = value[0];
            bcd.SignSpecialPlaces = value[1];
            std::memcpy(bcd.Fraction, value + 2, sizeof bcd.Fraction);
            int64_t currency = 0;
            try {
                currency = BcdToCurrency(bcd);
            } catch (const framework::EConvertError&) {
                // A BCD beyond the currency range keys as the largest value of its sign.
                currency = (bcd.SignSpecialPlaces & 0x80) != 0 ? INT64_MIN : INT64_MAX;
            }
            EncodeKeyCurrency(currency, out);
            break;
        }
        case fldLargeInt:
            EncodeKeyLargeInt(static_cast<int64_t>(GetUInt64(value)), out);
            break;
        default:
            std::memcpy(out, value, std::min(part, ValueBufferSize));
            break;
    }
    if (descending && languageId == 0) InvertKeyBytes(dest, field.FieldType == fldString ? part : part + 1);
}

void BuildKey(const TKeyLayout& layout, const uint8_t* record, const uint8_t* idRecord, uint8_t* key) {
    const TIndexDescriptor& index = layout.Index;
    std::memset(key, 0, index.KeySize);
    size_t p = 0;
    for (const TFieldDescriptor& field : layout.Fields) {
        uint8_t value[ValueBufferSize] = {};
        bool hasValue;
        if (field.IsAutoInc()) {
            std::memcpy(value, record + AutoIncFieldOffset, 4);
            hasValue = true;
        } else {
            hasValue = record[field.Offset] != 0;
            std::memcpy(value, record + field.Offset + 1, std::min<size_t>(field.ValueSize, ValueBufferSize));
        }
        size_t fieldIndex = static_cast<size_t>(&field - layout.Fields.data());
        bool descending = index.Descending == 0 && index.FieldDescending[fieldIndex] != 0;
        key[p] = hasValue ? 1 : 0;
        EncodeKeyValue(field, value, key + p, index.CaseInsensitive != 0, descending, layout.LanguageId,
                       layout.SortId);
        p += KeyPartSize(field) + 1u;
    }
    if (index.Unique == 0) EncodeKeyInteger(GetInt32(idRecord + 5), key + p);
}

void BuildRecordIdKey(const uint8_t* record, const uint8_t* idRecord, uint8_t* key) {
    key[0] = record[0];
    EncodeKeyInteger(GetInt32(idRecord + 5), key + 1);
}

int CompareKeys(const TKeyLayout& layout, const uint8_t* key1, const uint8_t* key2, size_t length) {
    const TIndexDescriptor& index = layout.Index;
    if (layout.IndexNo == SysTextIndexNo) {
        int r = CompareBytes(key1, key2, TextKeyHead, false);
        if (r != 0) return r;
        r = CompareLocaleText(layout.LanguageId, layout.SortId,
                              reinterpret_cast<const char*>(key1 + TextKeyHead),
                              reinterpret_cast<const char*>(key2 + TextKeyHead), TextKeyWord, false);
        if (r != 0) return r;
        return CompareBytes(key1 + TextKeyHead + TextKeyWord, key2 + TextKeyHead + TextKeyWord, TextKeyTail,
                            false);
    }
    if (layout.IndexNo == SysDeletedIndexNo) return CompareBytes(key1, key2, length, false);
    if (layout.LanguageId == 0) return Compare(key1, key2, length, index.Descending != 0);
    size_t p = 0;
    for (size_t i = 0; i < layout.Fields.size() && p < length; ++i) {
        const TFieldDescriptor& field = layout.Fields[i];
        bool d = index.Descending != 0 || index.FieldDescending[i] != 0;
        int r;
        if (field.FieldType == fldString) {
            r = Compare(key1 + p, key2 + p, 1, d);
            if (r != 0) return r;
            size_t n = std::min<size_t>(KeyPartSize(field), length - p - 1);
            if (n > 0) {  // a length of 0 would mean the whole text to the comparison
                r = CompareLocaleText(layout.LanguageId, layout.SortId,
                                      reinterpret_cast<const char*>(key1 + p + 1),
                                      reinterpret_cast<const char*>(key2 + p + 1), n, false);
                if (r != 0) return d ? -r : r;
            }
            p += n + 1;
        } else {
            size_t n = std::min<size_t>(KeyPartSize(field) + 1u, length - p);
            r = Compare(key1 + p, key2 + p, n, d);
            if (r != 0) return r;
            p += n;
        }
    }
    if (p < length) return Compare(key1 + p, key2 + p, length - p, index.Descending != 0);
    return 0;
}

}  // namespace dbengine
