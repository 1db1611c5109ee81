// GIF data from outside: a picture is read, every frame rendered, the animation played once on a
// small canvas and the picture written again, or EInvalidGraphic (GIFException) is raised.
#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "codecs/gif/GIFImage.h"
#include "framework/core/Seams.h"
#include "framework/core/Stream.h"
#include "framework/ui/Graphics.h"

namespace {
// Delays pass on a clock that moves only when the painter sleeps.
std::atomic<uint32_t> Ticks{0};
const bool ClockInstalled = [] {
    framework::SetTickCountSource([] { return Ticks.load(); });
    framework::SetSleepHandler([](uint32_t Ms) { Ticks += Ms; });
    return true;
}();
}  // namespace

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
    // The animation, once, without a thread, composed in buffers of the canvas's size.
    int64_t largest = int64_t(gif.Width()) * gif.Height();
    for (int i = 0; i < gif.Frames.EntryCount(); ++i)
        largest = std::max(largest, gif.Frames.Frame(i)->IndexDataSize);
    if (largest <= 1 << 20) {
        try {
            gif.PaintOptions = codecs::paAnimate | codecs::paDirect | codecs::paTransparent;
            TBitmap canvas;
            canvas.SetSize(48, 32);
            gif.Draw(canvas.Canvas(), TRect{0, 0, 48, 32});
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
