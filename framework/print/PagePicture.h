#pragma once
// Recorded pages. A page picture keeps what was drawn on one printer page so that it can be drawn
// again on any canvas at any size (a print preview) or on the printer later. Shapes, lines, fills and
// bitmaps are kept as the pixels the canvas drew, text as text; drawn again at its own size on a
// bitmap, a page gives the same pixels the canvas gave; on the printer its text stays text.

#include <memory>
#include <vector>

#include "framework/ui/Graphics.h"

namespace framework {

struct TPagePictureData;

class TPagePicture {
public:
    explicit TPagePicture(std::unique_ptr<TPagePictureData> Data);
    ~TPagePicture();
    TPagePicture(TPagePicture&&) noexcept;
    TPagePicture& operator=(TPagePicture&&) noexcept;

    // The page in device pixels, and the pixels per inch it was drawn at.
    int Width() const;
    int Height() const;
    int Resolution() const;
    // Paints the paper (white) and the page on it, scaled to fill Dest. A line or frame one pixel wide
    // stays at least one pixel wide when the page is drawn smaller.
    void Draw(TCanvas& Canvas, const TRect& Dest) const;

    const TPagePictureData& Data() const { return *D; }

private:
    std::unique_ptr<TPagePictureData> D;
};

// The pages of one recorded document, in order.
class TPagePictures {
public:
    int Count() const { return static_cast<int>(FPages.size()); }
    const TPagePicture& operator[](int Index) const { return FPages.at(static_cast<size_t>(Index)); }
    void Add(TPagePicture Page) { FPages.push_back(std::move(Page)); }
    void Clear() { FPages.clear(); }

private:
    std::vector<TPagePicture> FPages;
};

}  // namespace framework
