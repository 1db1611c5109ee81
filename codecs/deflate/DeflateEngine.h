#pragma once
// The deflate and inflate stream engine: Inflate and Deflate move one stream into another in the
// deflate format (optionally Deflate64, traditional ZIP encryption on either side) under the
// settings of a TArcDeflateHelper, and return the checksum of the uncompressed data.

#include <cstdint>
#include <functional>
#include <string>

#include "framework/core/Exception.h"
#include "framework/core/Stream.h"

namespace codecs {

// Bits of TArcDeflateHelper::Options.
constexpr int32_t dfoStored = 0x1;           // stored blocks allowed
constexpr int32_t dfoStatic = 0x2;           // static-Huffman blocks allowed
constexpr int32_t dfoDynamic = 0x4;          // dynamic-Huffman blocks allowed
constexpr int32_t dfoLazy = 0x8;             // lazy matching
constexpr int32_t dfoDeflate64 = 0x10;       // 64 KiB window, lengths up to 65538
constexpr int32_t dfoAdler32 = 0x20;         // checksum is Adler-32 instead of CRC-32
constexpr int32_t dfoTestOnly = 0x40000000;  // Inflate decodes and checks but writes nothing

class TArcDeflateHelper {
public:
    using TProgressPercent = std::function<void(int32_t percent)>;

    int32_t SufficientLength() const { return FSufficientLength; }
    int32_t ChainLimit() const { return FChainLimit; }
    int32_t LazyLimit() const { return FLazyLimit; }
    int32_t Options() const { return FOptions; }
    char LevelTag() const { return FLevelTag; }

    // Each writer ignores an unchanged value, lifts values below 4 (other than -1, "no limit")
    // to 4 and marks the level as custom ("?").
    void SetSufficientLength(int32_t value) { SetLimit(FSufficientLength, value); }
    void SetChainLimit(int32_t value) { SetLimit(FChainLimit, value); }
    void SetLazyLimit(int32_t value) { SetLimit(FLazyLimit, value); }
    void SetOptions(int32_t value);

    // Copies every setting; the two output counts are left alone.
    void Assign(const TArcDeflateHelper& source);

    uint32_t VerifyValue = 0xFFFFFFFF;
    std::string LogPath;
    TProgressPercent OnProgressPercent;
    int32_t StopAfterBytes = 0;
    std::string PasswordText;
    int32_t CompressedCount = 0;
    int32_t NormalCount = 0;
    int32_t ExpectedSize = 0;
    int32_t WindowBytes = 32768;

private:
    void SetLimit(int32_t& field, int32_t value);

    int32_t FSufficientLength = 8;
    int32_t FChainLimit = 32;
    int32_t FLazyLimit = 16;
    int32_t FOptions = 15;
    char FLevelTag = 'n';
};

using framework::Exception;

// What callers of Inflate and Deflate see.
KORVANE_DECLARE_EXCEPTION(EArcInflateError, Exception);
KORVANE_DECLARE_EXCEPTION(EArcDeflateError, Exception);
// Raised inside the engine, turned into the two above at the entry points.
KORVANE_DECLARE_EXCEPTION(EArcInternalInflateError, Exception);
KORVANE_DECLARE_EXCEPTION(EArcInternalDeflateError, Exception);
KORVANE_DECLARE_EXCEPTION(EArcInflatePasswordError, Exception);
// End a run normally with result 0.
KORVANE_DECLARE_EXCEPTION(EArcPartSizedInflate, Exception);
KORVANE_DECLARE_EXCEPTION(EArcAbortProgress, Exception);
// Misuse of the engine's classes by their callers (a programming error, never bad data).
KORVANE_DECLARE_EXCEPTION(EArcAssertion, Exception);

// Raises EArcAssertion with the message when the condition fails.
void ArcAssert(bool condition, const char* message);

uint32_t Inflate(framework::TStream* source, framework::TStream* dest, TArcDeflateHelper* helper);
uint32_t Deflate(framework::TStream* source, framework::TStream* dest, TArcDeflateHelper* helper);

}  // namespace codecs
