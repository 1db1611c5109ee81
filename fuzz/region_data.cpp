// Region data from outside (stored shapes of windows): a region is made or the data refused, and a
// region made gives back data that makes the same region.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "framework/graphics/Gdi.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace framework;
    if (size > 0xFFFFFFFFu) return 0;
    // An exact copy, so that a read past the bytes given is caught.
    auto copy = std::make_unique<uint8_t[]>(size ? size : 1);
    for (size_t i = 0; i < size; ++i) copy[i] = data[i];
    HRGN r = ExtCreateRegion(nullptr, static_cast<uint32_t>(size), copy.get());
    if (!r) return 0;
    std::vector<uint8_t> again(GetRegionData(r, 0, nullptr));
    if (again.size() < RgnDataHeaderSize) std::abort();
    if (GetRegionData(r, static_cast<uint32_t>(again.size()), again.data()) != again.size()) std::abort();
    HRGN back = ExtCreateRegion(nullptr, static_cast<uint32_t>(again.size()), again.data());
    if (!back || !EqualRgn(r, back)) std::abort();
    DeleteObject(back);
    DeleteObject(r);
    return 0;
}
