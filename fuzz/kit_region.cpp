// The kit's shaped-form readers: region data with its size, the border pictures and point lists,
// read as the properties of a form stream. A refused value leaves no region; whatever is taken
// must build a region and paint its border without fault.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "controls/kit/KitRegion.h"
#include "framework/core/Filer.h"
#include "framework/core/Stream.h"

namespace {

// One object that answers every property of a region and its mask.
class TRegionProperties : public framework::TPersistent {
public:
    kit::TKitBorderRegion Region;
    void DefineProperties(framework::TFiler* Filer) override {
        Region.Mask()->DefineProperties(Filer);
        Region.DefineProperties(Filer);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1 << 20)) return 0;
    framework::TMemoryStream stream;
    if (size > 0) stream.WriteBuffer(data, static_cast<int32_t>(size));
    stream.SetPosition(0);
    TRegionProperties target;
    try {
        framework::TReader reader(&stream, 1024);
        for (int i = 0; i < 16 && !reader.EndOfList(); ++i) reader.ReadProperty(&target);
    } catch (const framework::Exception&) {
    }
    kit::TKitBorderRegion& region = target.Region;
    region.Border()->SetStyle(kit::rbRaised);
    framework::TBitmap canvas;
    canvas.SetSize(64, 64);
    for (kit::TKitRegionShape shape : {kit::rsBitmap, kit::rsPointList}) {
        region.SetShape(shape);
        region.BuildRegion(framework::TRect{0, 0, 64, 64});
        region.PaintBorder(canvas.Canvas(), framework::TRect{0, 0, 64, 64});
    }
    return 0;
}
