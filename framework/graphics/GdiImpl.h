#pragma once
// Private to the graphics layer: the images behind bitmap handles. Pulls in Qt.

#include <QImage>
#include <memory>

#include "framework/graphics/Gdi.h"

namespace framework {

// A bitmap object: 32-bit pixels (0xFFRRGGBB) whatever its depth; a monochrome bitmap holds only
// black and white, and bit transfers to and from it convert colours as the platform does.
struct TBitmapObject {
    QImage Image;
    bool Monochrome = false;
};

HBITMAP CreateBitmapObject(std::shared_ptr<TBitmapObject> Object);
TBitmapObject* BitmapObjectOf(HBITMAP Bitmap);
// The bitmap selected into a memory context (0 for a window's context).
HBITMAP CurrentBitmap(HDC Dc);
// The image a context draws on (the window's backing store or the selected bitmap).
QImage* TargetImage(HDC Dc);

inline uint32_t ToQRgb(uint32_t Rgb) {
    return 0xFF000000u | ((Rgb & 0xFF) << 16) | (Rgb & 0xFF00) | ((Rgb >> 16) & 0xFF);
}
inline uint32_t FromQRgb(uint32_t Q) {
    return ((Q >> 16) & 0xFF) | (Q & 0xFF00) | ((Q & 0xFF) << 16);
}

}  // namespace framework
