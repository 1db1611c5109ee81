#pragma once
// The entry decoders of the ZIP reader: stored, shrunk, reduced (factors 1-4), imploded and
// deflated data, with traditional decryption. Each reads the entry's compressed bytes from the
// archive stream in blocks and writes decoded bytes in blocks, keeping the CRC-32 as it goes.
// Bad data never reads or writes outside the decoders' tables: it ends decoding early and the
// caller's CRC test rejects the entry.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "codecs/deflate/Crypt.h"
#include "framework/core/Exception.h"
#include "framework/core/Stream.h"

namespace codecs {

using framework::Exception;

KORVANE_DECLARE_EXCEPTION(EFatalUnzipError, Exception);         // "Premature end of file reached"
KORVANE_DECLARE_EXCEPTION(EBiggerThanUncompressed, Exception);  // "File is larger than uncompressed size!"
KORVANE_DECLARE_EXCEPTION(ECantWriteUCF, Exception);            // "Cant write uncompressed file"

// Raised inside a decoder when the compressed data is inconsistent; the decoder entry points
// catch it and end quietly.
KORVANE_DECLARE_EXCEPTION(EZipDataError, Exception);

class TZipEntryDecoder {
public:
    static constexpr int32_t kBlockSize = 32768;

    TZipEntryDecoder(framework::TStream* archive, framework::TStream* output);

    // The entry: sizes as the directory gives them (CompressedSize already without the 12 bytes
    // of an encryption header), general-purpose flags, and the keys of an encrypted entry.
    int64_t CompressedSize = 0;
    int64_t UncompressedSize = 0;
    uint16_t Flags = 0;
    TArcZipKeys* Keys = nullptr;

    // Called before each input block is read (message pumping).
    std::function<void()> OnBeforeBlock;
    // Asked for the next disk when the archive ends early; returns the new archive stream, or
    // nullptr when there is none (the read then fails with "Premature end of file reached").
    std::function<framework::TStream*()> OnNextDisk;
    // Decrypts a block in place instead of the built-in decryption.
    std::function<void(uint8_t* buffer, int32_t length)> OnDecrypt;
    // After each output block: bytes written so far.
    std::function<void(int64_t written)> OnFlushed;

    void ExtractStored();
    void Unshrink();
    void Unreduce(int factor);
    void Explode();
    void InflateEntry();

    // Dispatches on a ZIP method number; false for a method without a decoder.
    bool Decode(int method);

    uint32_t Crc() const { return ~FCrc; }
    int64_t Written() const { return FWritten; }

    // Bit reading shared by the decoders (least significant bit first).
    uint32_t ReadBits(int count);
    bool EndOfInput() const { return FEndOfInput; }

private:
    friend class TZipInflateSource;
    friend class TZipInflateSink;

    int ReadInputByte();
    int32_t ReadArchive(uint8_t* dest, int32_t count);
    void FillInput();
    void PutByte(uint8_t b) {
        FOut[size_t(FOutCount++)] = b;
        if (FOutCount == kBlockSize) FlushOutput();
    }
    void FlushOutput();

    framework::TStream* FArchive;
    framework::TStream* FOutput;
    std::vector<uint8_t> FIn;
    std::vector<uint8_t> FOut;
    int32_t FInCount = 0;
    int32_t FInPos = 0;
    int64_t FRemaining = 0;
    bool FStarted = false;
    bool FEndOfInput = false;
    bool FDecryptOnOutput = false;
    int32_t FOutCount = 0;
    uint32_t FBits = 0;
    int FBitCount = 0;
    uint32_t FCrc = 0xFFFFFFFF;
    int64_t FWritten = 0;
};

}  // namespace codecs
