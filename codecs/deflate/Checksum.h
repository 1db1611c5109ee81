#pragma once
// CRC-32 (reflected polynomial 0xEDB88320) and Adler-32 running checksums.

#include <cstddef>
#include <cstdint>

namespace codecs {

// Continues a CRC-32 over `length` bytes. Start with 0xFFFFFFFF; the caller inverts the result.
uint32_t UpdateCRC32(uint32_t value, const void* buffer, size_t length);
// One table step of CRC-32 over a single byte.
uint32_t CrcUpdateByte(uint8_t byte, uint32_t crc);
// The table entry for an index 0..255 (the decoders that fold the CRC in themselves use it).
uint32_t Crc32TableEntry(uint8_t index);

// Continues an Adler-32 over `length` bytes. Start with 1.
uint32_t UpdateAdler32(uint32_t value, const void* buffer, size_t length);

}  // namespace codecs
