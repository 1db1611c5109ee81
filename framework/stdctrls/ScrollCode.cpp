#include "framework/stdctrls/ScrollCode.h"

namespace framework {

std::optional<int> ScrollCodePosition(const TMessage& M, int Pos, int Line, int Page) {
    switch (static_cast<int>(M.WParam & 0xFFFF)) {
        case SB_LINEUP:
            return Pos - Line;
        case SB_LINEDOWN:
            return Pos + Line;
        case SB_PAGEUP:
            return Pos - Page;
        case SB_PAGEDOWN:
            return Pos + Page;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION:
            return static_cast<int16_t>(M.WParamHi());
        case SB_TOP:
            return 0;
        case SB_BOTTOM:
            return 1 << 20;
        default:
            return std::nullopt;
    }
}

}  // namespace framework
