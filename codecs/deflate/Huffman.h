#pragma once
// Length-limited Huffman code lengths (package-merge) and canonical code assignment.

#include <cstdint>

namespace codecs {

// Sets lengths[0..symbolCount) to optimal code lengths of at most `limit` bits for the counts.
// No used symbol: symbol 0 gets length 1; one used symbol: it gets length 1.
void GenerateCodeLengths(int limit, const uint32_t* counts, int symbolCount, uint8_t* lengths);

// Canonical codes for the lengths, bit-reversed for least-significant-first output.
void MakeReversedCodes(const uint8_t* lengths, int symbolCount, uint16_t* codes);

}  // namespace codecs
