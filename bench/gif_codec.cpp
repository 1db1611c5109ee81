// The GIF codec's LZW encoder and decoder beside giflib on the same 1024 × 1024 frame of 256
// colours (smooth areas, edges and noise, like a reduced photograph). Prints the best of several
// runs of each and the ratio of our time to giflib's; each side also reads the other's file and the
// pixels are checked to agree. Target: within 2x of giflib.
#include <gif_lib.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "codecs/gif/GIFImage.h"
#include "framework/core/Stream.h"

namespace {

constexpr int Side = 1024;

std::vector<uint8_t> Frame() {
    std::vector<uint8_t> px(static_cast<size_t>(Side) * Side);
    std::mt19937 rng(1);
    for (int y = 0; y < Side; ++y)
        for (int x = 0; x < Side; ++x) {
            double v = 96 + 60 * std::sin(x / 70.0) * std::cos(y / 90.0) + (x > 600 && y < 400 ? 80 : 0);
            v += static_cast<int>(rng() % 9) - 4;
            px[static_cast<size_t>(y) * Side + x] = static_cast<uint8_t>(std::clamp(v, 0.0, 255.0));
        }
    return px;
}

double BestMs(int Runs, const std::function<void()>& F) {
    double best = 1e30;
    for (int i = 0; i < Runs; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        F();
        best = std::min(best, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
    }
    return best;
}

// ---- ours ----

std::string OurEncode(const std::vector<uint8_t>& Px) {
    codecs::TGIFImage img;
    for (int i = 0; i < 256; ++i) img.ScreenColorMap().AppendColor(framework::RGB(i, 255 - i, i / 2));
    auto* f = new codecs::TGIFSubImage(&img);
    f->PlaceFrame(0, 0, Side, Side);
    std::memcpy(f->IndexData.data(), Px.data(), Px.size());
    img.AppendFrame(f);
    framework::TMemoryStream s;
    img.SaveToStream(s);
    return std::string(static_cast<const char*>(s.Memory()), static_cast<size_t>(s.Size()));
}

std::vector<uint8_t> OurDecode(const std::string& File) {
    framework::TMemoryStream s;
    s.WriteBuffer(File.data(), static_cast<int32_t>(File.size()));
    s.SetPosition(0);
    codecs::TGIFImage img;
    img.LoadFromStream(s);
    return img.Frames.Frame(0)->IndexData;
}

// ---- giflib ----

struct Buffer {
    std::string Data;
    size_t At = 0;
};

int WriteTo(GifFileType* Gif, const GifByteType* Bytes, int Count) {
    static_cast<Buffer*>(Gif->UserData)->Data.append(reinterpret_cast<const char*>(Bytes), static_cast<size_t>(Count));
    return Count;
}

int ReadFrom(GifFileType* Gif, GifByteType* Bytes, int Count) {
    auto* b = static_cast<Buffer*>(Gif->UserData);
    const size_t n = std::min<size_t>(static_cast<size_t>(Count), b->Data.size() - b->At);
    std::memcpy(Bytes, b->Data.data() + b->At, n);
    b->At += n;
    return static_cast<int>(n);
}

std::string GiflibEncode(const std::vector<uint8_t>& Px) {
    Buffer out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, WriteTo, &error);
    std::vector<GifColorType> colours(256);
    for (int i = 0; i < 256; ++i)
        colours[i] = GifColorType{static_cast<GifByteType>(i), static_cast<GifByteType>(255 - i),
                                  static_cast<GifByteType>(i / 2)};
    ColorMapObject* map = GifMakeMapObject(256, colours.data());
    EGifPutScreenDesc(gif, Side, Side, 8, 0, map);
    EGifPutImageDesc(gif, 0, 0, Side, Side, false, nullptr);
    for (int y = 0; y < Side; ++y)
        EGifPutLine(gif, const_cast<GifPixelType*>(Px.data() + static_cast<size_t>(y) * Side), Side);
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return out.Data;
}

std::vector<uint8_t> GiflibDecode(const std::string& File) {
    Buffer in{File, 0};
    int error = 0;
    GifFileType* gif = DGifOpen(&in, ReadFrom, &error);
    std::vector<uint8_t> px;
    if (gif && DGifSlurp(gif) == GIF_OK && gif->ImageCount > 0) {
        const SavedImage& s = gif->SavedImages[0];
        px.assign(s.RasterBits, s.RasterBits + static_cast<size_t>(s.ImageDesc.Width) * s.ImageDesc.Height);
    }
    if (gif) DGifCloseFile(gif, &error);
    return px;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 7;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::string(argv[i]) == "--runs") runs = std::max(1, std::atoi(argv[i + 1]));
    const std::vector<uint8_t> px = Frame();
    std::string ours, theirs;
    const double encodeOurs = BestMs(runs, [&] { ours = OurEncode(px); });
    const double encodeTheirs = BestMs(runs, [&] { theirs = GiflibEncode(px); });
    std::vector<uint8_t> a, b;
    const double decodeOurs = BestMs(runs, [&] { a = OurDecode(theirs); });
    const double decodeTheirs = BestMs(runs, [&] { b = GiflibDecode(ours); });
    const bool agree = a == px && b == px && OurDecode(ours) == px && GiflibDecode(theirs) == px;
    std::printf("GIF codec, one %d x %d frame of 256 colours, best of %d runs\n", Side, Side, runs);
    std::printf("%-8s %12s %12s %8s\n", "", "ours (ms)", "giflib (ms)", "ratio");
    std::printf("%-8s %12.2f %12.2f %8.2f\n", "encode", encodeOurs, encodeTheirs, encodeOurs / encodeTheirs);
    std::printf("%-8s %12.2f %12.2f %8.2f\n", "decode", decodeOurs, decodeTheirs, decodeOurs / decodeTheirs);
    std::printf("file size: ours %zu bytes, giflib %zu bytes; pixels agree: %s\n", ours.size(), theirs.size(),
                agree ? "yes" : "NO");
    return agree ? 0 : 1;
}
