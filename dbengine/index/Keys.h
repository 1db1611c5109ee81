#pragma once
// Index keys: each index field as a flag byte and a byte-comparable encoding of its value,
// then, for a non-unique index, the record ID. For a table of language 0 a whole key compares
// as one plain byte string.

#include <cstdint>
#include <vector>

#include "dbengine/data/FieldDescriptor.h"
#include "dbengine/index/IndexFile.h"

namespace dbengine {

// Big-endian with the top bit inverted (signed integers, currency), big-endian unchanged
// (word), and the double rule: non-negative values with the top bit set, others inverted.
void EncodeKeyInteger(int32_t value, uint8_t* dest);
void EncodeKeySmallInt(int16_t value, uint8_t* dest);
void EncodeKeyWord(uint16_t value, uint8_t* dest);
void EncodeKeyLargeInt(int64_t value, uint8_t* dest);
void EncodeKeyCurrency(int64_t value, uint8_t* dest);
void EncodeKeyDouble(double value, uint8_t* dest);
void InvertKeyBytes(uint8_t* buffer, size_t count);

// Encodes one field value (the value as the record holds it, in a zero-filled 251-byte
// buffer) after the flag byte at dest; inverts when descending and the language is 0.
void EncodeKeyValue(const TFieldDescriptor& field, const uint8_t* value, uint8_t* dest, bool caseInsensitive,
                    bool descending, uint16_t languageId, uint16_t sortId);

// What building and comparing the keys of one index needs.
struct TKeyLayout {
    int IndexNo = 0;
    TIndexDescriptor Index;
    std::vector<TFieldDescriptor> Fields;  // the index fields, in descriptor order
    uint16_t LanguageId = 0;
    uint16_t SortId = 0;
};

// The key of a record (its buffer as stored in memory); idRecord gives the record ID of a
// non-unique index's suffix.
void BuildKey(const TKeyLayout& layout, const uint8_t* record, const uint8_t* idRecord, uint8_t* key);
// The 5-byte "Sys Deleted" key: status byte, then the record ID.
void BuildRecordIdKey(const uint8_t* record, const uint8_t* idRecord, uint8_t* key);
// -1, 0 or 1 in the index's order over the first `length` bytes (Sys Text keys always whole).
int CompareKeys(const TKeyLayout& layout, const uint8_t* key1, const uint8_t* key2, size_t length);

}  // namespace dbengine
