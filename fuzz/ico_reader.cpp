// Icon files from outside: an icon is read and drawn, or EInvalidGraphic is raised.
#include <cstddef>
#include <cstdint>

#include "framework/core/Stream.h"
#include "framework/ui/Graphics.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace framework;
    TMemoryStream s;
    if (size) s.WriteBuffer(data, static_cast<int32_t>(size));
    s.SetPosition(0);
    TIcon icon;
    try {
        icon.LoadFromStream(s);
    } catch (const EInvalidGraphic&) {
        return 0;
    }
    TBitmap b;
    b.SetSize(icon.Width(), icon.Height());
    b.Canvas().Draw(0, 0, &icon);
    return 0;
}
