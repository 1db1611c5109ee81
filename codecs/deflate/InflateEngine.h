#pragma once
// Internal pieces of the inflate side of the stream engine.

#include <cstdint>
#include <functional>
#include <vector>

#include "framework/core/Stream.h"

namespace codecs {

// Reads bits least-significant first from a stream through a 16384-byte buffer. At the end of the
// source the bit buffer is padded with zero bits; consuming any padding bit raises
// EArcInternalInflateError, so a truncated stream can never be read as endless zeros.
class TArcDfInBitStream {
public:
    TArcDfInBitStream(framework::TStream* source, std::function<void(int32_t)> progress,
                      int64_t expectedSize);

    // Keeps at least 56 bits (real or padding) in the bit buffer. The fast path loads eight bytes at
    // once; bits above the count then hold the bytes that follow, which later loads put back at
    // the same places with the same values.
    void Refill() {
        if (FBitCount >= 56) return;
        if (FBufLen - FBufPos >= 8) {
            uint64_t v;
            __builtin_memcpy(&v, FBuffer + FBufPos, 8);
            FBits |= v << FBitCount;
            int n = (63 - FBitCount) >> 3;
            FBufPos += n;
            FBitCount += n * 8;
            return;
        }
        RefillSlow();
    }
    uint64_t Bits() const { return FBits; }
    int BitCount() const { return FBitCount; }
    // Drops n bits that were looked at; n never exceeds what Refill guaranteed.
    void Consume(int n, const char* message) {
        FBits >>= n;
        FBitCount -= n;
        if (FBitCount < FPadBits) OutOfData(message);
    }
    uint32_t ReadBits(int count);
    uint32_t PeekBits(int count);
    void DiscardBits(int count);
    void AlignToByte();
    void ReadBuffer(uint8_t* dest, int32_t count);
    // Gives back the bytes read ahead: the source ends up right behind the last byte used.
    void Close();

    // The decode loop keeps the bit state in locals (stores to the output would otherwise force
    // the members to be reloaded after every byte) and hands it back before anything else runs.
    struct State {
        uint64_t Bits;
        int BitCount;
        int32_t BufPos;
    };
    State Save() const { return {FBits, FBitCount, FBufPos}; }
    void Restore(const State& s) {
        FBits = s.Bits;
        FBitCount = s.BitCount;
        FBufPos = s.BufPos;
    }
    const uint8_t* Buffer() const { return FBuffer; }
    int32_t BufLen() const { return FBufLen; }
    int PadBits() const { return FPadBits; }
    [[noreturn]] void OutOfData(const char* message);
    int64_t BytesUsed() const;

private:
    void RefillSlow();
    void FillBuffer();

    framework::TStream* FSource;
    std::function<void(int32_t)> FProgress;
    int64_t FExpected;
    int64_t FBytesRead = 0;
    uint8_t FBuffer[16384 + 8];
    int32_t FBufPos = 0;
    int32_t FBufLen = 0;
    bool FSourceEnded = false;
    uint64_t FBits = 0;
    int FBitCount = 0;
    int FPadBits = 0;
};

// A canonical Huffman code in decode form: a table of 2^(longest length) entries, indexed by the
// next bits of the stream, each giving the symbol and its code length (0 where no code lands).
class TArcDfDecodeHuffmanTree {
public:
    // Returns false when the lengths over-subscribe the code space.
    bool Build(const uint8_t* lengths, int symbolCount);
    uint32_t Entry(uint64_t bits) const { return FTable[bits & FMask]; }
    int MaxLength() const { return FMaxLength; }
    static int SymbolOf(uint32_t entry) { return static_cast<int>(entry & 0xFFFF); }
    static int LengthOf(uint32_t entry) { return static_cast<int>(entry >> 16); }

private:
    std::vector<uint32_t> FTable;
    uint32_t FMask = 0;
    int FMaxLength = 0;
};

}  // namespace codecs
