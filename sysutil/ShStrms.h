#pragma once
// The line-writing side of a text stream: lines go to an underlying byte stream (not owned) and
// end as LineTerminator says.

#include <cstdint>
#include <vector>

#include "framework/core/Stream.h"

namespace sysutil {

// Kinds of LineTerminator.
inline constexpr uint8_t ltNone = 0;  // fixed-length lines of FixedLineLength bytes, no terminator
inline constexpr uint8_t ltCR = 1;
inline constexpr uint8_t ltLF = 2;
inline constexpr uint8_t ltCRLF = 3;
inline constexpr uint8_t ltOther = 4;  // the character LineTermChar

class TShTextStream {
public:
    explicit TShTextStream(framework::TStream* AStream) : FStream(AStream) {}
    TShTextStream(const TShTextStream&) = delete;
    TShTextStream& operator=(const TShTextStream&) = delete;

    // Writes one line. A null buffer or a length below 1 writes an empty line. Kind ltNone pads a
    // short line with blanks to FixedLineLength and cuts a longer one; the other kinds write the
    // data and their terminator. Any other kind raises EShBufStreamError 274 after the data is
    // written. A short write of the underlying stream raises its EWriteError.
    void WriteLine(const char* Buffer, int32_t Length);
    // WriteLine with a NUL-terminated text (null counts as empty).
    void WriteLineZ(const char* Text);

    framework::TStream* Stream() const { return FStream; }

    uint8_t LineTerminator = ltCRLF;
    char LineTermChar = '\n';
    int32_t FixedLineLength = 80;

private:
    framework::TStream* FStream;
    std::vector<char> FWorkBuffer;  // one padded fixed-length line
};

}  // namespace sysutil
