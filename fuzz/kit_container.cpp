// The kit's container readers: container files read item by item, container streams with and
// without position tables, and single items of each kind (image strips among them). Bad input must raise the
// library's error.
#include <cstddef>
#include <cstdint>

#include "controls/kit/KitContainer.h"
#include "controls/kit/KitGlyph.h"

namespace {

framework::TMemoryStream* Load(const uint8_t* data, size_t size) {
    auto* s = new framework::TMemoryStream;
    if (size > 0) s->WriteBuffer(data, static_cast<int32_t>(size));
    s->SetPosition(0);
    return s;
}

template <class F>
void Guarded(F&& Run) {
    try {
        Run();
    } catch (const framework::Exception&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1 << 20)) return 0;
    std::unique_ptr<framework::TMemoryStream> s(Load(data, size));

    // A container file: the item number comes from the last byte.
    const int index = size > 0 ? data[size - 1] % 4 : 0;
    for (int kind : {kit::lkImageList, kit::lkBitmapList, kit::lkWaveList, kit::lkStringList}) {
        s->SetPosition(0);
        Guarded([&] {
            std::unique_ptr<kit::TKitListItem> item;
            if (kind == kit::lkImageList) item.reset(new kit::TKitImageListItem(nullptr));
            if (kind == kit::lkBitmapList) item.reset(new kit::TKitBitmapListItem(nullptr));
            if (kind == kit::lkWaveList) item.reset(new kit::TKitWaveListItem(nullptr));
            if (kind == kit::lkStringList) item.reset(new kit::TKitStringListItem(nullptr));
            kit::ReadItemFromStream(*s, "fuzz", kind, index, *item);
        });
    }

    // Container streams of each kind.
    kit::TKitBitmapList bitmaps(nullptr);
    kit::TKitStringList strings(nullptr);
    kit::TKitWaveList waves(nullptr);
    kit::TKitImageList strips(nullptr);
    for (kit::TKitCustomContainer* list :
         {static_cast<kit::TKitCustomContainer*>(&strips), static_cast<kit::TKitCustomContainer*>(&bitmaps),
          static_cast<kit::TKitCustomContainer*>(&strings), static_cast<kit::TKitCustomContainer*>(&waves)}) {
        for (bool indexed : {false, true}) {
            s->SetPosition(0);
            Guarded([&] { list->LoadFromStream(s.get(), indexed); });
        }
    }
    return 0;
}
