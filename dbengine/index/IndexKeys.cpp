#include "dbengine/index/IndexKeys.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "dbengine/index/IndexCursor.h"
#include "dbengine/os/OSLayer.h"
#include "dbengine/util/EngineUtils.h"

namespace dbengine {

namespace {

void PutBE(uint64_t v, size_t bytes, uint8_t* dest) {
    for (size_t i = 0; i < bytes; ++i) dest[i] = static_cast<uint8_t>(v >> (8 * (bytes - 1 - i)));
}

uint64_t GetLE(const uint8_t* p, size_t bytes) {
    uint64_t v = 0;
    for (size_t i = 0; i < bytes; ++i) v |= static_cast<uint64_t>(p[i]) << (8 * i);
    return v;
}

double GetDoubleLE(const uint8_t* p) {
    return std::bit_cast<double>(GetLE(p, 8));
}

// A BCD value as a 64-bit count of 1/10,000 (0 when its precision byte is 0).
int64_t BcdValueToCurrency(const uint8_t* p) {
    TBcd bcd;
    bcd.Precision = p[0];
    bcd.SignSpecialPlaces = p[1];
    std::memcpy(bcd.Fraction, p + 2, sizeof bcd.Fraction);
    if (bcd.Precision == 0) return 0;
    return BcdToCurrency(bcd);
}

}  // namespace

void EncodeKeyInteger(int32_t value, uint8_t* dest) {
    PutBE(static_cast<uint32_t>(value) ^ 0x80000000u, 4, dest);
}

void EncodeKeySmallInt(int16_t value, uint8_t* dest) {
    PutBE(static_cast<uint16_t>(value) ^ 0x8000u, 2, dest);
}

void EncodeKeyWord(uint16_t value, uint8_t* dest) {
    PutBE(value, 2, dest);
}

void EncodeKeyLargeInt(int64_t value, uint8_t* dest) {
    PutBE(static_cast<uint64_t>(value) ^ 0x8000000000000000ull, 8, dest);
}

void EncodeKeyCurrency(int64_t value, uint8_t* dest) {
    EncodeKeyLargeInt(value, dest);
}

void EncodeKeyDouble(double value, uint8_t* dest) {
    uint64_t bits = std::bit_cast<uint64_t>(value);
    // -0.0 counts as >= 0.0 and gets the top bit set like 0.0; NaN takes the negative branch.
    if (value >= 0.0)
        bits |= 0x8000000000000000ull;
    else
        bits = ~bits;
    PutBE(bits, 8, dest);
}

void InvertKeyBytes(uint8_t* buffer, size_t count) {
    for (size_t i = 0; i < count; ++i) buffer[i] = static_cast<uint8_t>(255 - buffer[i]);
}

void EncodeKeyValue(const TFieldDescriptor& field, const uint8_t* value, uint8_t* dest, bool caseInsensitive,
                    bool descending, uint16_t languageId, uint16_t sortId) {
    uint8_t* out = dest + 1;
    uint8_t part = KeyPartSize(field);
    switch (field.FieldType) {
        case fldString: {
            size_t length = 0;
            while (length < part && value[length] != 0) ++length;
            std::memcpy(out, value, length);
            std::memset(out + length, 0, part - length);
            if (caseInsensitive && length > 0) {
                std::string text(reinterpret_cast<const char*>(out), length);
                UpperCaseLocale(languageId, sortId, text);
                std::memcpy(out, text.data(), std::min(text.size(), length));
            }
            break;
        }
        case fldDate:
        case fldInteger:
        case fldTime:
            EncodeKeyInteger(static_cast<int32_t>(GetLE(value, 4)), out);
            break;
        case fldSmallInt:
            EncodeKeySmallInt(static_cast<int16_t>(GetLE(value, 2)), out);
            break;
        case fldBoolean:
        case fldWord:
            EncodeKeyWord(static_cast<uint16_t>(GetLE(value, 2)), out);
            break;
        case fldFloat:
        case fldTimestamp:
            EncodeKeyDouble(GetDoubleLE(value), out);
            break;
        case fldBCD:
            EncodeKeyCurrency(BcdValueToCurrency(value), out);
            break;
        case fldLargeInt:
            EncodeKeyLargeInt(static_cast<int64_t>(GetLE(value, 8)), out);
            break;
        default:
            std::memcpy(out, value, part);
            break;
    }
    if (descending && languageId == 0) InvertKeyBytes(dest, field.FieldType == fldString ? part : part + 1u);
}

void BuildKey(TIndexFile& file, uint8_t index, uint16_t languageId, uint16_t sortId, const uint8_t* record,
              uint8_t* key, const uint8_t* idRecord) {
    TIndexDescriptor d = file.GetIndexDesc(index);
    std::memset(key, 0, d.KeySize);
    size_t p = 0;
    int count = std::min<int>(d.FieldCount, MaxIndexFields);
    for (int i = 0; i < count; ++i) {
        const TFieldDescriptor* field = file.Owner->FindField(d.FieldNumbers[i]);
        if (field == nullptr) file.RaiseError(DBE_INVALIDIDXDESC, std::to_string(d.FieldNumbers[i]), d.Name);
        uint8_t part = KeyPartSize(*field);
        if (p + 1 + part > d.KeySize) file.RaiseError(DBE_INVALIDKEY, {}, d.Name);
        uint8_t value[KeyValueBufferSize] = {};
        bool autoInc = field->FieldType == fldInteger && field->SubType == fldstAutoInc;
        bool hasValue;
        if (autoInc) {
            hasValue = true;
            std::memcpy(value, record + RecordIdOffset, 4);
        } else {
            hasValue = record[field->Offset] != 0;
            std::memcpy(value, record + field->Offset + 1, std::min<size_t>(field->ValueSize, sizeof value));
        }
        key[p] = hasValue ? 1 : 0;
        bool descending = d.Descending ? false : d.FieldDescending[i] != 0;
        EncodeKeyValue(*field, value, key + p, d.CaseInsensitive != 0, descending, languageId, sortId);
        p += part + 1u;
    }
    if (d.Unique == 0 && p + 4 <= d.KeySize)
        EncodeKeyInteger(static_cast<int32_t>(GetLE(idRecord + RecordIdOffset, 4)), key + p);
}

void BuildRecordIdKey(const uint8_t* record, uint8_t* key, const uint8_t* idRecord) {
    std::memset(key, 0, SysDeletedKeySize);
    key[0] = record[RecordStatusOffset];
    EncodeKeyInteger(static_cast<int32_t>(GetLE(idRecord + RecordIdOffset, 4)), key + 1);
}

// ---- Cursor path and key order ----

void TIndexCursor::ClearPath() {
    Level = 1;
    PathPage.fill(0);
    PathPos.fill(0);
}

void TIndexCursor::PushLevel() {
    if (Level >= MaxTreeLevels) IndexFile->RaiseError(DBE_INDEXCORRUPT);
    ++Level;
}

int TIndexCursor::CompareKeys(const uint8_t* key1, const uint8_t* key2, size_t length) const {
    const TIndexDescriptor& d =
        IndexFile->Header.Descriptors[CurrentIndex < IndexDescriptorCount ? CurrentIndex : 0];
    // A "Sys Text" key is 68 bytes; a damaged descriptor with a shorter key size gets byte order.
    if (CurrentIndex == SysTextIndex && length >= SysTextKeySize) {
        int r = CompareBytes(key1, key2, 3, false);
        if (r == 0)
            r = CompareLocaleText(LanguageId, SortId, reinterpret_cast<const char*>(key1 + 3),
                                  reinterpret_cast<const char*>(key2 + 3), 61, false);
        if (r == 0) r = CompareBytes(key1 + 64, key2 + 64, 4, false);
        return r;
    }
    if (CurrentIndex == SysDeletedIndex || CurrentIndex == SysTextIndex)
        return CompareBytes(key1, key2, length, false);
    if (LanguageId == 0) return CompareBytes(key1, key2, length, d.Descending != 0);
    size_t p = 0;
    int count = std::min<int>(d.FieldCount, MaxIndexFields);
    for (int i = 0; i < count && p < length; ++i) {
        const TFieldDescriptor* field = IndexFile->Owner->FindField(d.FieldNumbers[i]);
        if (field == nullptr) IndexFile->RaiseError(DBE_INDEXCORRUPT);
        bool desc = d.Descending != 0 || d.FieldDescending[i] != 0;
        uint8_t part = KeyPartSize(*field);
        int r;
        if (field->FieldType == fldString) {
            r = CompareBytes(key1 + p, key2 + p, 1, desc);
            if (r != 0) return r;
            size_t n = std::min<size_t>(part, length - p - 1);
            r = CompareLocaleText(LanguageId, SortId, reinterpret_cast<const char*>(key1 + p + 1),
                                  reinterpret_cast<const char*>(key2 + p + 1), n, false);
            if (desc) r = -r;
            p += n + 1;
        } else {
            size_t n = std::min<size_t>(part + 1u, length - p);
            r = CompareBytes(key1 + p, key2 + p, n, desc);
            p += n;
        }
        if (r != 0) return r;
    }
    if (p < length) return CompareBytes(key1 + p, key2 + p, length - p, d.Descending != 0);
    return 0;
}

}  // namespace dbengine
