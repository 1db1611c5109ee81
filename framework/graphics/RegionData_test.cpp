// Region data: the byte layout of a region's rectangles, and data from outside that is damaged.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "framework/ui/Graphics.h"

namespace framework {
namespace {

std::vector<uint8_t> DataOf(HRGN Rgn) {
    std::vector<uint8_t> d(GetRegionData(Rgn, 0, nullptr));
    EXPECT_EQ(GetRegionData(Rgn, static_cast<uint32_t>(d.size()), d.data()), d.size());
    return d;
}

// Creates a region from exactly these bytes (a buffer of their size, so that a read past them shows).
HRGN FromBytes(const std::vector<uint8_t>& Bytes) {
    auto copy = std::make_unique<uint8_t[]>(Bytes.size() ? Bytes.size() : 1);
    if (!Bytes.empty()) std::memcpy(copy.get(), Bytes.data(), Bytes.size());
    return ExtCreateRegion(nullptr, static_cast<uint32_t>(Bytes.size()), copy.get());
}

void Put32(std::vector<uint8_t>& d, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) d[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// Three rectangles in three bands: (0,0)-(10,5), (20,10)-(30,15), (-5,20)-(40,25).
const std::vector<uint8_t> kThree = {
    0x20, 0,    0,    0,    0x01, 0, 0, 0, 0x03, 0, 0, 0, 0x30, 0, 0, 0,  // header
    0xFB, 0xFF, 0xFF, 0xFF, 0x00, 0, 0, 0, 0x28, 0, 0, 0, 0x19, 0, 0, 0,  // bounds
    0x00, 0,    0,    0,    0x00, 0, 0, 0, 0x0A, 0, 0, 0, 0x05, 0, 0, 0,  // rectangle 1
    0x14, 0,    0,    0,    0x0A, 0, 0, 0, 0x1E, 0, 0, 0, 0x0F, 0, 0, 0,  // rectangle 2
    0xFB, 0xFF, 0xFF, 0xFF, 0x14, 0, 0, 0, 0x28, 0, 0, 0, 0x19, 0, 0, 0,  // rectangle 3
};

HRGN ThreeRects() {
    HRGN r = CreateRectRgn(0, 0, 10, 5);
    HRGN b = CreateRectRgn(20, 10, 30, 15);
    HRGN c = CreateRectRgn(-5, 20, 40, 25);
    CombineRgn(r, r, c, RGN_OR);
    CombineRgn(r, r, b, RGN_OR);
    DeleteObject(b);
    DeleteObject(c);
    return r;
}

TEST(RegionData, ThreeRectanglesRoundTripThroughPinnedBytes) {
    HRGN r = ThreeRects();
    EXPECT_EQ(GetRegionData(r, 0, nullptr), 80u);
    EXPECT_EQ(DataOf(r), kThree);
    std::vector<uint8_t> small(79);
    EXPECT_EQ(GetRegionData(r, 79, small.data()), 0u);  // does not fit

    HRGN back = FromBytes(kThree);
    ASSERT_NE(back, 0u);
    EXPECT_TRUE(EqualRgn(back, r));
    EXPECT_TRUE(PtInRegion(back, -5, 24));
    EXPECT_FALSE(PtInRegion(back, 10, 0));
    // The stated sizes and bounds are not trusted: zeros read the same.
    std::vector<uint8_t> lax = kThree;
    std::fill(lax.begin() + 12, lax.begin() + 32, 0);
    HRGN again = FromBytes(lax);
    EXPECT_TRUE(EqualRgn(again, r));
    for (HRGN h : {r, back, again}) DeleteObject(h);

    HRGN empty = CreateRectRgn(0, 0, 0, 0);
    std::vector<uint8_t> none = DataOf(empty);
    EXPECT_EQ(none.size(), 32u);
    HRGN emptyBack = FromBytes(none);
    TRect box;
    EXPECT_EQ(GetRgnBox(emptyBack, &box), NULLREGION);
    DeleteObject(empty);
    DeleteObject(emptyBack);
}

TEST(RegionData, DamagedDataIsRefused) {
    struct Case {
        const char* What;
        std::function<void(std::vector<uint8_t>&)> Damage;
    } cases[] = {
        {"one rectangle more than the bytes hold", [](auto& d) { Put32(d, 8, 4); }},
        {"a count that overflows", [](auto& d) { Put32(d, 8, 0xFFFFFFFF); }},
        {"a count that wraps a 32-bit product", [](auto& d) { Put32(d, 8, 0x10000003); }},
        {"header size 31", [](auto& d) { Put32(d, 0, 31); }},
        {"header size 33", [](auto& d) { Put32(d, 0, 33); }},
        {"another type", [](auto& d) { Put32(d, 4, 2); }},
        {"the last rectangle cut short", [](auto& d) { d.resize(79); }},
        {"the header cut short", [](auto& d) { d.resize(31); }},
        {"no bytes", [](auto& d) { d.clear(); }},
        {"a coordinate past the drawing range", [](auto& d) { Put32(d, 40, 1u << 27); }},
        {"a coordinate below the drawing range", [](auto& d) { Put32(d, 32, 0x80000000u); }},
    };
    for (auto& k : cases) {
        std::vector<uint8_t> d = kThree;
        k.Damage(d);
        EXPECT_EQ(FromBytes(d), 0u) << k.What;
    }
    int xform = 0;
    EXPECT_EQ(ExtCreateRegion(&xform, 80, kThree.data()), 0u);
    EXPECT_EQ(ExtCreateRegion(nullptr, 80, nullptr), 0u);
}

// Rectangles written in any order, overlapping or empty, make their union; many of them only in
// banded order.
TEST(RegionData, UnorderedAndEmptyRectanglesAndTheirLimit) {
    auto build = [](const std::vector<TRect>& Rects) {
        std::vector<uint8_t> d(32 + 16 * Rects.size());
        Put32(d, 0, 32);
        Put32(d, 4, RDH_RECTANGLES);
        Put32(d, 8, static_cast<uint32_t>(Rects.size()));
        for (size_t i = 0; i < Rects.size(); ++i) {
            Put32(d, 32 + 16 * i, static_cast<uint32_t>(Rects[i].Left));
            Put32(d, 36 + 16 * i, static_cast<uint32_t>(Rects[i].Top));
            Put32(d, 40 + 16 * i, static_cast<uint32_t>(Rects[i].Right));
            Put32(d, 44 + 16 * i, static_cast<uint32_t>(Rects[i].Bottom));
        }
        return d;
    };
    HRGN r = FromBytes(build({Rect(-5, 20, 40, 25), Rect(5, 5, 5, 9), Rect(20, 10, 30, 15), Rect(0, 0, 10, 5),
                              Rect(3, 1, 8, 4), Rect(9, 9, 4, 4)}));
    ASSERT_NE(r, 0u);
    HRGN want = ThreeRects();
    EXPECT_TRUE(EqualRgn(r, want));
    DeleteObject(r);
    DeleteObject(want);

    // A few thousand rectangles in banded order are fine; as many crossing ones are not.
    std::vector<TRect> banded, crossing;
    for (int i = 0; i < 3000; ++i) {
        banded.push_back(Rect(0, 2 * i, 1 + i % 7, 2 * i + 1));
        crossing.push_back(i % 2 ? Rect(0, i, 4000, i + 1) : Rect(i, 0, i + 1, 4000));
    }
    HRGN many = FromBytes(build(banded));
    ASSERT_NE(many, 0u);
    EXPECT_EQ(GetRegionData(many, 0, nullptr), 32u + 16u * 3000u);
    DeleteObject(many);
    EXPECT_EQ(FromBytes(build(crossing)), 0u);
    // Up to the limit, any order will do.
    std::vector<TRect> reversed(banded.rbegin(), banded.rbegin() + MaxUnorderedRgnRects);
    HRGN some = FromBytes(build(reversed));
    ASSERT_NE(some, 0u);
    EXPECT_EQ(GetRegionData(some, 0, nullptr), 32u + 16u * MaxUnorderedRgnRects);
    DeleteObject(some);
}

}  // namespace
}  // namespace framework
