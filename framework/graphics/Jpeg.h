#pragma once
// JPEG pictures: the dimensions come from the file's header; the pixels are decoded into a bitmap
// when first drawn or asked for. A file that cannot be read raises EInvalidGraphic.

#include <cstdint>
#include <memory>
#include <vector>

#include "framework/ui/Graphics.h"

namespace framework {

enum TJPEGScale : uint8_t { jsFullSize, jsHalf, jsQuarter, jsEighth };
enum TJPEGPerformance : uint8_t { jpBestQuality, jpBestSpeed };

class TJPEGImage : public TGraphic {
public:
    TJPEGImage();
    ~TJPEGImage() override;

    void Draw(TCanvas& ACanvas, const TRect& Rect) override;
    bool Empty() const override { return FData.empty() && !FBitmap; }
    // The size at the current Scale.
    int Width() const override;
    int Height() const override;
    void SetWidth(int) override;
    void SetHeight(int) override;
    void LoadFromStream(TStream& Stream) override;
    // The file as read, or the compressed form of an assigned bitmap.
    void SaveToStream(TStream& Stream) override;
    // Takes a bitmap (compressed at CompressionQuality) or another JPEG picture.
    void Assign(const TGraphic& Source) override;

    // The decoded pixels (24 bits per pixel).
    TBitmap& Bitmap();
    void DIBNeeded() { Bitmap(); }
    // Compresses the assigned bitmap now.
    void Compress();

    int CompressionQuality = 90;  // 1..100
    bool Grayscale = false;
    TJPEGScale Scale = jsFullSize;
    TJPEGPerformance Performance = jpBestQuality;
    bool ProgressiveDisplay = false;

private:
    void ReadHeader();
    std::vector<uint8_t> FData;
    int FWidth = 0;
    int FHeight = 0;
    std::unique_ptr<TBitmap> FBitmap;
    TJPEGScale FBitmapScale = jsFullSize;
    bool FBitmapGray = false;
};

// Reads only the header: true and the size, or false for data that is not a readable JPEG.
bool JpegDimensions(const uint8_t* Data, size_t Size, int& Width, int& Height);

}  // namespace framework
