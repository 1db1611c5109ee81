#include "framework/graphics/Jpeg.h"

#include <jerror.h>
#include <jpeglib.h>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include "framework/core/Stream.h"
#include "framework/graphics/BmpFormat.h"

namespace framework {

namespace {

// libjpeg reports a fatal error by calling error_exit, which must not return. Ours jumps back to
// the setjmp of the phase in progress; each phase is a function with no C++ objects of its own, so
// the jump unwinds only libjpeg's C frames. The caller then destroys the decoder and raises.
struct ErrorMgr {
    jpeg_error_mgr Pub;
    jmp_buf Jump;
    char Message[JMSG_LENGTH_MAX];
    int Code;
};

void ErrorExit(j_common_ptr c) {
    auto* e = reinterpret_cast<ErrorMgr*>(c->err);
    e->Code = c->err->msg_code;
    (*c->err->format_message)(c, e->Message);
    std::longjmp(e->Jump, 1);
}

void Quiet(j_common_ptr) {}

// A progressive file may have any number of scans; past this many it is treated as damaged, so
// that a crafted file cannot keep the decoder busy for minutes.
constexpr long MaxScans = 256;

struct Progress {
    jpeg_progress_mgr Pub;
    j_decompress_ptr Info;
};

void OnProgress(j_common_ptr c) {
    auto* d = reinterpret_cast<j_decompress_ptr>(c);
    if (d->input_scan_number > MaxScans) {
        c->err->msg_code = JERR_BAD_SCAN_SCRIPT;
        c->err->error_exit(c);
    }
}

struct Decoder {
    jpeg_decompress_struct Info;
    ErrorMgr Err;
    Progress Prog;
    bool Created = false;
    Decoder() { std::memset(&Info, 0, sizeof Info); }
    ~Decoder() {
        if (Created) jpeg_destroy_decompress(&Info);
    }
};

bool Begin(Decoder& d, const uint8_t* data, size_t size, bool start, int denom, bool gray) {
    d.Info.err = jpeg_std_error(&d.Err.Pub);
    d.Err.Pub.error_exit = ErrorExit;
    d.Err.Pub.output_message = Quiet;
    d.Err.Message[0] = 0;
    d.Err.Code = 0;
    if (setjmp(d.Err.Jump)) return false;
    jpeg_create_decompress(&d.Info);
    d.Created = true;
    // Bounded working memory; an image needing more is an error, not a swap storm.
    d.Info.mem->max_memory_to_use = 512L * 1024 * 1024;
    d.Prog.Pub.progress_monitor = OnProgress;
    d.Info.progress = &d.Prog.Pub;
    jpeg_mem_src(&d.Info, data, static_cast<unsigned long>(size));
    jpeg_read_header(&d.Info, TRUE);
    if (!start) return true;
    if (static_cast<int64_t>(d.Info.image_width) * d.Info.image_height > MaxBmpPixels) return false;
    d.Info.scale_num = 1;
    d.Info.scale_denom = static_cast<unsigned>(denom);
    d.Info.out_color_space = gray ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_start_decompress(&d.Info);
    return true;
}

bool ReadRows(Decoder& d, uint8_t* rgb, size_t stride) {
    if (setjmp(d.Err.Jump)) return false;
    while (d.Info.output_scanline < d.Info.output_height) {
        JSAMPROW row = rgb + static_cast<size_t>(d.Info.output_scanline) * stride;
        jpeg_read_scanlines(&d.Info, &row, 1);
    }
    jpeg_finish_decompress(&d.Info);
    return true;
}

[[noreturn]] void Fail(const Decoder& d) {
    int code = d.Err.Code ? d.Err.Code : 1;
    throw EInvalidGraphic("JPEG error #" + std::to_string(code));
}

struct Encoder {
    jpeg_compress_struct Info;
    ErrorMgr Err;
    bool Created = false;
    unsigned char* Out = nullptr;
    unsigned long OutSize = 0;
    Encoder() { std::memset(&Info, 0, sizeof Info); }
    ~Encoder() {
        if (Created) jpeg_destroy_compress(&Info);
        std::free(Out);
    }
};

bool Encode(Encoder& e, const uint8_t* rgb, int w, int h, int quality, bool gray) {
    e.Info.err = jpeg_std_error(&e.Err.Pub);
    e.Err.Pub.error_exit = ErrorExit;
    e.Err.Pub.output_message = Quiet;
    if (setjmp(e.Err.Jump)) return false;
    jpeg_create_compress(&e.Info);
    e.Created = true;
    jpeg_mem_dest(&e.Info, &e.Out, &e.OutSize);
    e.Info.image_width = static_cast<JDIMENSION>(w);
    e.Info.image_height = static_cast<JDIMENSION>(h);
    e.Info.input_components = 3;
    e.Info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&e.Info);
    if (gray) jpeg_set_colorspace(&e.Info, JCS_GRAYSCALE);
    jpeg_set_quality(&e.Info, quality, TRUE);
    jpeg_start_compress(&e.Info, TRUE);
    while (e.Info.next_scanline < e.Info.image_height) {
        JSAMPROW row = const_cast<uint8_t*>(rgb) + static_cast<size_t>(e.Info.next_scanline) * w * 3;
        jpeg_write_scanlines(&e.Info, &row, 1);
    }
    jpeg_finish_compress(&e.Info);
    return true;
}

int DenomOf(TJPEGScale s) {
    return 1 << static_cast<int>(s);
}

}  // namespace

bool JpegDimensions(const uint8_t* Data, size_t Size, int& Width, int& Height) {
    Decoder d;
    if (!Begin(d, Data, Size, false, 1, false)) return false;
    Width = static_cast<int>(d.Info.image_width);
    Height = static_cast<int>(d.Info.image_height);
    return true;
}

TJPEGImage::TJPEGImage() = default;
TJPEGImage::~TJPEGImage() = default;

void TJPEGImage::ReadHeader() {
    Decoder d;
    if (!Begin(d, FData.data(), FData.size(), false, 1, false)) Fail(d);
    FWidth = static_cast<int>(d.Info.image_width);
    FHeight = static_cast<int>(d.Info.image_height);
    if (FWidth <= 0 || FHeight <= 0) throw EInvalidGraphic("JPEG error #" + std::to_string(JERR_EMPTY_IMAGE));
}

int TJPEGImage::Width() const {
    int d = DenomOf(Scale);
    return (FWidth + d - 1) / d;
}

int TJPEGImage::Height() const {
    int d = DenomOf(Scale);
    return (FHeight + d - 1) / d;
}

void TJPEGImage::SetWidth(int) {
    throw EInvalidGraphicOperation("Cannot change the size of a JPEG image");
}
void TJPEGImage::SetHeight(int) {
    throw EInvalidGraphicOperation("Cannot change the size of a JPEG image");
}

void TJPEGImage::LoadFromStream(TStream& Stream) {
    int64_t n = Stream.Size() - Stream.Position();
    if (n <= 0 || n > (int64_t(1) << 30))
        throw EInvalidGraphic("JPEG error #" + std::to_string(JERR_INPUT_EMPTY));
    std::vector<uint8_t> data(static_cast<size_t>(n));
    Stream.ReadBuffer(data.data(), static_cast<int32_t>(n));
    std::swap(FData, data);
    try {
        ReadHeader();
    } catch (...) {
        std::swap(FData, data);  // the picture held before stays
        throw;
    }
    FBitmap.reset();
    Changed();
}

void TJPEGImage::SaveToStream(TStream& Stream) {
    if (FData.empty() && FBitmap) Compress();
    if (!FData.empty()) Stream.WriteBuffer(FData.data(), static_cast<int32_t>(FData.size()));
}

TBitmap& TJPEGImage::Bitmap() {
    if (FBitmap && (FData.empty() || (FBitmapScale == Scale && FBitmapGray == Grayscale))) return *FBitmap;
    auto bmp = std::make_unique<TBitmap>();
    if (!FData.empty()) {
        Decoder d;
        if (!Begin(d, FData.data(), FData.size(), true, DenomOf(Scale), Grayscale)) Fail(d);
        int w = static_cast<int>(d.Info.output_width), h = static_cast<int>(d.Info.output_height);
        int comps = d.Info.output_components;
        std::vector<uint8_t> pixels(static_cast<size_t>(w) * h * comps);
        if (!ReadRows(d, pixels.data(), static_cast<size_t>(w) * comps)) Fail(d);
        bmp->SetPixelFormat(pf24bit);
        bmp->SetSize(w, h);
        for (int y = 0; y < h; ++y) {
            uint8_t* row = bmp->ScanLine(y);
            const uint8_t* src = pixels.data() + static_cast<size_t>(y) * w * comps;
            for (int x = 0; x < w; ++x) {
                const uint8_t* p = src + x * comps;
                row[3 * x] = comps == 1 ? p[0] : p[2];
                row[3 * x + 1] = comps == 1 ? p[0] : p[1];
                row[3 * x + 2] = p[0];
            }
        }
    }
    FBitmap = std::move(bmp);
    FBitmapScale = Scale;
    FBitmapGray = Grayscale;
    return *FBitmap;
}

void TJPEGImage::Compress() {
    if (!FBitmap || FBitmap->Empty()) return;
    int w = FBitmap->Width(), h = FBitmap->Height();
    std::vector<uint8_t> rgb(static_cast<size_t>(w) * h * 3);
    FBitmap->SetPixelFormat(pf24bit);
    for (int y = 0; y < h; ++y) {
        const uint8_t* row = FBitmap->ScanLine(y);
        for (int x = 0; x < w; ++x) {
            rgb[(static_cast<size_t>(y) * w + x) * 3] = row[3 * x + 2];
            rgb[(static_cast<size_t>(y) * w + x) * 3 + 1] = row[3 * x + 1];
            rgb[(static_cast<size_t>(y) * w + x) * 3 + 2] = row[3 * x];
        }
    }
    Encoder e;
    if (!Encode(e, rgb.data(), w, h, std::clamp(CompressionQuality, 1, 100), Grayscale))
        throw EInvalidGraphic("JPEG error #" + std::to_string(e.Err.Code));
    FData.assign(e.Out, e.Out + e.OutSize);
    FWidth = w;
    FHeight = h;
}

void TJPEGImage::Assign(const TGraphic& Source) {
    if (&Source == this) return;
    if (auto* j = dynamic_cast<const TJPEGImage*>(&Source)) {
        FData = j->FData;
        FWidth = j->FWidth;
        FHeight = j->FHeight;
        FBitmap.reset();
        if (FData.empty() && j->FBitmap) {
            FBitmap = std::make_unique<TBitmap>();
            FBitmap->Assign(*j->FBitmap);
        }
        Changed();
        return;
    }
    auto bmp = std::make_unique<TBitmap>();
    bmp->Assign(Source);
    FBitmap = std::move(bmp);
    FData.clear();
    FWidth = FBitmap->Width();
    FHeight = FBitmap->Height();
    FBitmapScale = jsFullSize;
    Scale = jsFullSize;
    Changed();
}

void TJPEGImage::Draw(TCanvas& ACanvas, const TRect& Rect) {
    if (Empty()) return;
    TBitmap& b = Bitmap();
    b.Draw(ACanvas, Rect);
}

}  // namespace framework
