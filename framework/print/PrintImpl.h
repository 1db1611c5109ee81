#pragma once
// Private to the print layer: what a page picture holds, and the device context of a printer page.
// Pulls in Qt.

#include <QImage>
#include <QPicture>
#include <QRect>
#include <memory>
#include <vector>

#include "framework/print/PagePicture.h"

class QPainter;

namespace framework {

struct TPagePictureData {
    int Width = 0;
    int Height = 0;
    int Resolution = 96;
    // The page's pixels that are not white, as rectangles of one colour (RGB 0x00BBGGRR), device
    // pixels, in no particular order (they never overlap).
    struct TFill {
        QRect Rect;
        uint32_t Rgb = 0;
    };
    std::vector<TFill> Fills;
    // The pixels themselves instead, for a page too busy to keep as rectangles (a photograph).
    QImage Raster;
    // The text, as drawn over the pixels.
    QPicture Text;
};

// Keeps a finished page: its pixels (on white paper) and the text recorded over them.
std::unique_ptr<TPagePictureData> CapturePage(const QImage& Pixels, const QPicture& Text, int Resolution);
// Draws the page on a painter of the printer (rectangles and text stay vectors), scaled into Dest.
void PlayPage(const TPagePictureData& Page, QPainter& Painter, const QRectF& Dest);

// The contexts of printer pages: drawing on them goes to the page's pixels, text to its painter.
void RegisterPageContext(uintptr_t Dc);
void UnregisterPageContext(uintptr_t Dc);
bool IsPageContext(uintptr_t Dc);

}  // namespace framework
