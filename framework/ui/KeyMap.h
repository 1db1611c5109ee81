#pragma once
// Qt key codes to virtual-key codes and scan codes, and back (private to the window layer).

#include <cstdint>

namespace framework {

struct KeyCodes {
    int VirtKey = 0;
    uint32_t ScanCode = 0;
    bool Extended = false;
};

// The virtual key of a Qt key; Keypad tells a number-pad key. 0 when the key has none.
KeyCodes QtKeyToVirtualKey(int QtKey, bool Keypad);
// The Qt key that produces a virtual key (letters and digits as their upper-case characters).
int VirtualKeyToQtKey(int VirtKey);
// The scan code of a virtual key (set 1), and whether it is an extended key.
KeyCodes ScanCodeOf(int VirtKey);

}  // namespace framework
