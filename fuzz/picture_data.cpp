// A picture's form data from outside (a class name, then the graphic's own data): reading must
// raise the library's picture or stream error, or give a picture whose form data reads back to
// the same class. The same bytes are also read as a packed bitmap from the clipboard.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "framework/core/Stream.h"
#include "framework/ui/Clipbrd.h"
#include "framework/ui/Graphics.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace framework;
    if (size > (1u << 20)) return 0;
    if (size > 0) {
        try {
            TBitmap b;
            b.LoadFromClipboardFormat(CF_BITMAP, std::vector<uint8_t>(data, data + size), 0);
            if (b.Width() > 0 && b.Height() > 0) b.Canvas().Pixel(b.Width() - 1, b.Height() - 1);
        } catch (const EInvalidGraphic&) {
        }
    }
    TPicture p;
    try {
        TMemoryStream s;
        if (size) s.WriteBuffer(data, static_cast<int32_t>(size));
        s.SetPosition(0);
        p.ReadData(s);
    } catch (const EInvalidGraphic&) {
        return 0;
    } catch (const EStreamError&) {
        return 0;
    }
    if (!p.Graphic()) return 0;
    try {
        TMemoryStream out;
        p.WriteData(out);
        out.SetPosition(0);
        TPicture q;
        q.ReadData(out);
        if (!q.Graphic() || q.Graphic()->ClassName() != p.Graphic()->ClassName()) std::abort();
    } catch (const EInvalidGraphic&) {
        // A graphic may hold what it cannot write (an unreadable JPEG is kept as read).
    }
    return 0;
}
