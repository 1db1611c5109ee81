#pragma once
// The kit's LZRW block coder (a byte-oriented LZ77 coder with run-length items) and the chunked
// block stream built on it.
//
// Coded block: a flag byte, 0x40 compressed or 0x80 stored. A stored block holds the input bytes
// as they are. A compressed block holds groups of up to 16 items, each group led by a big-endian
// 16-bit control word whose bits, from the top, tell the items apart: 0 a literal byte; 1 either a
// match (two bytes: a 12-bit offset back into the output, non-zero, and a 4-bit length - 3) or,
// when the offset is 0, a run (four bytes: 0, the count - 16 as a 16-bit big-endian word, the byte).
//
// Block stream: a 32-bit total, then chunks of at most LzrwChunkSize input bytes, each stored as
// its coded length (32-bit) followed by the coded bytes; the total is the sum of the coded lengths
// plus 4 per chunk.
//
// Decoding trusts nothing: a control word, offset, run or length that runs past the input, reaches
// before the start of the output or past its capacity raises EInvalidPointer "LZRW Error!" before
// anything is written out of bounds.

#include <cstdint>

#include "framework/core/Exception.h"
#include "framework/core/Stream.h"

namespace kit {

using framework::Exception;

KORVANE_DECLARE_EXCEPTION(EInvalidPointer, Exception);

// Input bytes per chunk of the block stream, and the largest coded chunk (one flag byte more).
inline constexpr int LzrwChunkSize = 32781;
inline constexpr int LzrwMaxCodedChunk = LzrwChunkSize + 1;
// Dest of LzrwCompress must hold Length + LzrwMargin bytes.
inline constexpr int LzrwMargin = 6;

// Codes Length bytes of Source into Dest and returns the coded length (at most Length + 1).
int LzrwCompress(const uint8_t* Source, int Length, uint8_t* Dest);
// Decodes Length coded bytes into Dest, which holds Capacity bytes; returns the decoded length.
int LzrwDecompress(const uint8_t* Source, int Length, uint8_t* Dest, int Capacity);

// Reads Count bytes from Source (at its position) and writes them to Stream as a block stream.
void WriteCompressedBlock(framework::TStream* Source, framework::TStream* Stream, int64_t Count);
// Reads a block stream from Stream and appends the decoded bytes to Target. A total or chunk
// length beyond what Stream holds raises EReadError "Stream read error"; a chunk length outside
// 1..LzrwMaxCodedChunk or a damaged chunk raises EInvalidPointer "LZRW Error!".
void ReadCompressedBlock(framework::TStream* Stream, framework::TMemoryStream* Target);

}  // namespace kit
