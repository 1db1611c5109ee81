#pragma once
// Small value types shared by the window layer: points, rectangles, colours and shift states.

#include <algorithm>
#include <cstdint>
#include <functional>

#include "framework/core/Alignment.h"

namespace framework {

struct TPoint {
    int32_t X = 0;
    int32_t Y = 0;
    friend bool operator==(const TPoint&, const TPoint&) = default;
};

// A rectangle whose Right and Bottom edges are exclusive, as window rectangles are.
struct TRect {
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Right = 0;
    int32_t Bottom = 0;

    int32_t Width() const { return Right - Left; }
    int32_t Height() const { return Bottom - Top; }
    bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
    bool Contains(TPoint p) const { return p.X >= Left && p.X < Right && p.Y >= Top && p.Y < Bottom; }
    friend bool operator==(const TRect&, const TRect&) = default;
};

inline TRect Rect(int32_t l, int32_t t, int32_t r, int32_t b) {
    return TRect{l, t, r, b};
}
inline TRect Bounds(int32_t l, int32_t t, int32_t w, int32_t h) {
    return TRect{l, t, l + w, t + h};
}
inline TPoint Point(int32_t x, int32_t y) {
    return TPoint{x, y};
}
inline TRect IntersectRect(const TRect& a, const TRect& b) {
    TRect r{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
            std::min(a.Bottom, b.Bottom)};
    if (r.IsEmpty()) return TRect{};
    return r;
}
inline TRect OffsetRect(TRect r, int dx, int dy) {
    return TRect{r.Left + dx, r.Top + dy, r.Right + dx, r.Bottom + dy};
}

// A colour: 0x00BBGGRR for an RGB value, or 0x80000000 | index for one of the system colours.
using TColor = int32_t;

// Shift state of keys and mouse buttons, a small set.
enum TShiftStateFlag : uint8_t {
    ssShift = 1,
    ssAlt = 2,
    ssCtrl = 4,
    ssLeft = 8,
    ssRight = 16,
    ssMiddle = 32,
    ssDouble = 64
};
using TShiftState = uint8_t;

enum class TMouseButton { mbLeft, mbRight, mbMiddle };

using TNotifyEvent = std::function<void(class TObject* Sender)>;

}  // namespace framework
