#pragma once
// What an item view tells a custom-draw handler about the item it is about to draw.

#include <cstdint>

namespace framework {

enum TCustomDrawStateFlag : uint16_t {
    cdsSelected = 1,
    cdsGrayed = 2,
    cdsDisabled = 4,
    cdsChecked = 8,
    cdsFocused = 16,
    cdsDefault = 32,
    cdsHot = 64,
    cdsMarked = 128,
    cdsIndeterminate = 256,
};
using TCustomDrawState = uint16_t;

}  // namespace framework
