#pragma once
// Index keys: byte strings that sort, compared byte by byte, in the order of their index.
//
// A user key is, per index field, a flag byte (1 = has a value, 0 = NULL) and the field's
// encoded value (KeyPartSize bytes), then for a non-unique index the record ID as a 4-byte
// integer key. Numbers are big-endian with the sign bit flipped so that unsigned byte order is
// numeric order; doubles flip all bytes when negative.

#include <cstddef>
#include <cstdint>

#include "dbengine/index/IndexFile.h"

namespace dbengine {

// Record layout used by keys: byte 0 status, 1..4 record number or free link, 5..8 record ID.
constexpr uint32_t RecordStatusOffset = 0;
constexpr uint32_t RecordIdOffset = 5;
// Values are read into a zero-filled buffer of this size before they are encoded.
constexpr size_t KeyValueBufferSize = 251;


void EncodeKeyInteger(int32_t value, uint8_t* dest);
void EncodeKeySmallInt(int16_t value, uint8_t* dest);
void EncodeKeyWord(uint16_t value, uint8_t* dest);
void EncodeKeyLargeInt(int64_t value, uint8_t* dest);
void EncodeKeyCurrency(int64_t value, uint8_t* dest);
void EncodeKeyDouble(double value, uint8_t* dest);
void InvertKeyBytes(uint8_t* buffer, size_t count);

// Encodes one value (its stored bytes, little-endian as in the record) at dest + 1; dest is the
// field's flag byte, which the caller has written. With descending set and language 0 the flag
// byte and the value are inverted (a string keeps its last byte).
void EncodeKeyValue(const TFieldDescriptor& field, const uint8_t* value, uint8_t* dest, bool caseInsensitive,
                    bool descending, uint16_t languageId, uint16_t sortId);

// The key of `record` in index `index` of the file (not 31, 32 or 255); the record-ID suffix of a
// non-unique index comes from idRecord. key holds at least the index's key size.
void BuildKey(TIndexFile& file, uint8_t index, uint16_t languageId, uint16_t sortId, const uint8_t* record,
              uint8_t* key, const uint8_t* idRecord);
// The 5-byte "Sys Deleted" key: status byte of record, record ID of idRecord.
void BuildRecordIdKey(const uint8_t* record, uint8_t* key, const uint8_t* idRecord);

}  // namespace dbengine
