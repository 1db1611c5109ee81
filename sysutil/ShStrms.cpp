#include "sysutil/ShStrms.h"

#include <algorithm>
#include <cstring>

#include "sysutil/ShConst.h"

namespace sysutil {

void TShTextStream::WriteLine(const char* Buffer, int32_t Length) {
    if (Buffer == nullptr || Length < 0) Length = 0;
    if (LineTerminator == ltNone) {
        const int32_t width = std::max<int32_t>(FixedLineLength, 0);
        if (Length < width) {
            FWorkBuffer.assign(static_cast<size_t>(width), ' ');
            if (Length > 0) std::memcpy(FWorkBuffer.data(), Buffer, static_cast<size_t>(Length));
            FStream->WriteBuffer(FWorkBuffer.data(), width);
        } else if (width > 0) {
            FStream->WriteBuffer(Buffer, width);
        }
        return;
    }
    if (Length > 0) FStream->WriteBuffer(Buffer, Length);
    switch (LineTerminator) {
        case ltCR:
            FStream->WriteBuffer("\r", 1);
            break;
        case ltLF:
            FStream->WriteBuffer("\n", 1);
            break;
        case ltCRLF:
            FStream->WriteBuffer("\r\n", 2);
            break;
        case ltOther:
            FStream->WriteBuffer(&LineTermChar, 1);
            break;
        default:
            RaiseSsError<EShBufStreamError>(274);
    }
}

void TShTextStream::WriteLineZ(const char* Text) {
    WriteLine(Text, Text == nullptr ? 0 : static_cast<int32_t>(std::strlen(Text)));
}

}  // namespace sysutil
