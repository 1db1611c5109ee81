// GIF data from outside: a picture is read, its frames drawn and the picture written again, or
// EInvalidGraphic (GIFException) is raised.
#include <cstddef>
#include <cstdint>

#include "codecs/gif/GIFImage.h"
#include "framework/core/Stream.h"
#include "framework/ui/Graphics.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace framework;
    TMemoryStream s;
    if (size) s.WriteBuffer(data, static_cast<int32_t>(size));
    s.SetPosition(0);
    codecs::TGIFImage gif;
    try {
        gif.LoadFromStream(s);
    } catch (const EInvalidGraphic&) {
        return 0;
    }
    for (int i = 0; i < gif.Frames.EntryCount(); ++i) {
        codecs::TGIFSubImage* f = gif.Frames.Frame(i);
        if (int64_t(f->Width) * f->Height > 1 << 20) continue;  // keep each run short
        try {
            f->RenderedBitmap();
            f->EnsureMask();
        } catch (const EInvalidGraphic&) {
        }
    }
    int64_t pixels = 0;
    for (int i = 0; i < gif.Frames.EntryCount(); ++i) pixels += gif.Frames.Frame(i)->IndexDataSize;
    if (pixels > 1 << 20) return 0;  // writing is fuzzed on pictures of moderate size
    try {
        TMemoryStream out;
        gif.SaveToStream(out);
        out.SetPosition(0);
        codecs::TGIFImage again;
        again.LoadFromStream(out);
    } catch (const EInvalidGraphic&) {
    }
    return 0;
}
