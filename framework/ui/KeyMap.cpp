#include "framework/ui/KeyMap.h"

#include <Qt>
#include <array>

#include "framework/ui/Messages.h"

namespace framework {

namespace {

struct KeyRow {
    int Qt;
    int Vk;
};

// Keys whose virtual code is not the character itself.
constexpr std::array<KeyRow, 49> kKeys{{
    {Qt::Key_Backspace, VK_BACK},
    {Qt::Key_Tab, VK_TAB},
    {Qt::Key_Backtab, VK_TAB},
    {Qt::Key_Return, VK_RETURN},
    {Qt::Key_Enter, VK_RETURN},
    {Qt::Key_Shift, VK_SHIFT},
    {Qt::Key_Control, VK_CONTROL},
    {Qt::Key_Alt, VK_MENU},
    {Qt::Key_Pause, VK_PAUSE},
    {Qt::Key_CapsLock, VK_CAPITAL},
    {Qt::Key_Escape, VK_ESCAPE},
    {Qt::Key_Space, VK_SPACE},
    {Qt::Key_PageUp, VK_PRIOR},
    {Qt::Key_PageDown, VK_NEXT},
    {Qt::Key_End, VK_END},
    {Qt::Key_Home, VK_HOME},
    {Qt::Key_Left, VK_LEFT},
    {Qt::Key_Up, VK_UP},
    {Qt::Key_Right, VK_RIGHT},
    {Qt::Key_Down, VK_DOWN},
    {Qt::Key_Select, VK_SELECT},
    {Qt::Key_Print, VK_SNAPSHOT},
    {Qt::Key_Execute, VK_EXECUTE},
    {Qt::Key_Insert, VK_INSERT},
    {Qt::Key_Delete, VK_DELETE},
    {Qt::Key_Help, VK_HELP},
    {Qt::Key_Meta, VK_LWIN},
    {Qt::Key_Menu, VK_APPS},
    {Qt::Key_NumLock, VK_NUMLOCK},
    {Qt::Key_ScrollLock, VK_SCROLL},
    {Qt::Key_Asterisk, VK_MULTIPLY},
    {Qt::Key_Plus, VK_OEM_PLUS},
    {Qt::Key_Equal, VK_OEM_PLUS},
    {Qt::Key_Comma, VK_OEM_COMMA},
    {Qt::Key_Less, VK_OEM_COMMA},
    {Qt::Key_Minus, VK_OEM_MINUS},
    {Qt::Key_Underscore, VK_OEM_MINUS},
    {Qt::Key_Period, VK_OEM_PERIOD},
    {Qt::Key_Greater, VK_OEM_PERIOD},
    {Qt::Key_Slash, VK_OEM_2},
    {Qt::Key_Question, VK_OEM_2},
    {Qt::Key_Semicolon, VK_OEM_1},
    {Qt::Key_Colon, VK_OEM_1},
    {Qt::Key_QuoteLeft, VK_OEM_3},
    {Qt::Key_BracketLeft, VK_OEM_4},
    {Qt::Key_Backslash, VK_OEM_5},
    {Qt::Key_BracketRight, VK_OEM_6},
    {Qt::Key_Apostrophe, VK_OEM_7},
    {Qt::Key_QuoteDbl, VK_OEM_7},
}};

// Scan codes (set 1) of the keys by virtual code; the extended ones carry bit 8.
uint32_t ScanOf(int vk, bool& extended) {
    extended = false;
    static const char* kLetters =
        "\x1E\x30\x2E\x20\x12\x21\x22\x23\x17\x24\x25\x26\x32\x31\x18\x19\x10\x13\x1F\x14\x16\x2F\x11\x2D\x15"
        "\x2C";
    static const uint8_t kDigits[10] = {0x0B, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A};
    if (vk >= 'A' && vk <= 'Z') return static_cast<uint8_t>(kLetters[vk - 'A']);
    if (vk >= '0' && vk <= '9') return kDigits[vk - '0'];
    if (vk >= VK_F1 && vk <= VK_F1 + 9) return 0x3B + (vk - VK_F1);
    if (vk == VK_F1 + 10) return 0x57;
    if (vk == VK_F1 + 11) return 0x58;
    switch (vk) {
        case VK_BACK:
            return 0x0E;
        case VK_TAB:
            return 0x0F;
        case VK_RETURN:
            return 0x1C;
        case VK_SHIFT:
            return 0x2A;
        case VK_CONTROL:
            return 0x1D;
        case VK_MENU:
            return 0x38;
        case VK_CAPITAL:
            return 0x3A;
        case VK_ESCAPE:
            return 0x01;
        case VK_SPACE:
            return 0x39;
        case VK_NUMLOCK:
            return 0x45;
        case VK_SCROLL:
            return 0x46;
        case VK_OEM_1:
            return 0x27;
        case VK_OEM_PLUS:
            return 0x0D;
        case VK_OEM_COMMA:
            return 0x33;
        case VK_OEM_MINUS:
            return 0x0C;
        case VK_OEM_PERIOD:
            return 0x34;
        case VK_OEM_2:
            return 0x35;
        case VK_OEM_3:
            return 0x29;
        case VK_OEM_4:
            return 0x1A;
        case VK_OEM_5:
            return 0x2B;
        case VK_OEM_6:
            return 0x1B;
        case VK_OEM_7:
            return 0x28;
        case VK_MULTIPLY:
            return 0x37;
        default:
            break;
    }
    extended = true;
    switch (vk) {
        case VK_PRIOR:
            return 0x49;
        case VK_NEXT:
            return 0x51;
        case VK_END:
            return 0x4F;
        case VK_HOME:
            return 0x47;
        case VK_LEFT:
            return 0x4B;
        case VK_UP:
            return 0x48;
        case VK_RIGHT:
            return 0x4D;
        case VK_DOWN:
            return 0x50;
        case VK_INSERT:
            return 0x52;
        case VK_DELETE:
            return 0x53;
        case VK_DIVIDE:
            return 0x35;
        case VK_LWIN:
            return 0x5B;
        case VK_APPS:
            return 0x5D;
        default:
            break;
    }
    extended = false;
    return 0;
}

}  // namespace

KeyCodes ScanCodeOf(int VirtKey) {
    KeyCodes k;
    k.VirtKey = VirtKey;
    k.ScanCode = ScanOf(VirtKey, k.Extended);
    return k;
}

KeyCodes QtKeyToVirtualKey(int QtKey, bool Keypad) {
    int vk = 0;
    if (QtKey >= Qt::Key_A && QtKey <= Qt::Key_Z) {
        vk = 'A' + (QtKey - Qt::Key_A);
    } else if (QtKey >= Qt::Key_0 && QtKey <= Qt::Key_9) {
        vk = Keypad ? VK_NUMPAD0 + (QtKey - Qt::Key_0) : '0' + (QtKey - Qt::Key_0);
    } else if (QtKey >= Qt::Key_F1 && QtKey <= Qt::Key_F24) {
        vk = VK_F1 + (QtKey - Qt::Key_F1);
    } else if (Keypad && QtKey == Qt::Key_Plus) {
        vk = VK_ADD;
    } else if (Keypad && QtKey == Qt::Key_Minus) {
        vk = VK_SUBTRACT;
    } else if (Keypad && QtKey == Qt::Key_Slash) {
        vk = VK_DIVIDE;
    } else if (Keypad && QtKey == Qt::Key_Period) {
        vk = VK_DECIMAL;
    } else {
        for (const auto& row : kKeys) {
            if (row.Qt == QtKey) {
                vk = row.Vk;
                break;
            }
        }
        // Shifted digits of a US layout come as their symbols.
        static const int kShiftedDigits[10] = {Qt::Key_ParenRight,  Qt::Key_Exclam,    Qt::Key_At,
                                               Qt::Key_NumberSign,  Qt::Key_Dollar,    Qt::Key_Percent,
                                               Qt::Key_AsciiCircum, Qt::Key_Ampersand, Qt::Key_Asterisk,
                                               Qt::Key_ParenLeft};
        if (vk == 0 || QtKey == Qt::Key_Asterisk) {
            for (int d = 0; d < 10; ++d)
                if (kShiftedDigits[d] == QtKey && !Keypad) vk = '0' + d;
        }
        if (QtKey == Qt::Key_Asterisk && Keypad) vk = VK_MULTIPLY;
        // Latin-1 letters typed directly (a keyboard with an é key): no virtual key of their own.
        if (vk == 0 && QtKey >= 0xC0 && QtKey <= 0xFF) vk = 0xDF;  // the "other character" key code
    }
    KeyCodes k = ScanCodeOf(vk);
    if (Keypad && (QtKey == Qt::Key_Enter)) k.Extended = true;
    return k;
}

int VirtualKeyToQtKey(int VirtKey) {
    if (VirtKey >= 'A' && VirtKey <= 'Z') return Qt::Key_A + (VirtKey - 'A');
    if (VirtKey >= '0' && VirtKey <= '9') return Qt::Key_0 + (VirtKey - '0');
    if (VirtKey >= VK_NUMPAD0 && VirtKey <= VK_NUMPAD0 + 9) return Qt::Key_0 + (VirtKey - VK_NUMPAD0);
    if (VirtKey >= VK_F1 && VirtKey <= VK_F24) return Qt::Key_F1 + (VirtKey - VK_F1);
    for (const auto& row : kKeys)
        if (row.Vk == VirtKey) return row.Qt;
    return 0;
}

}  // namespace framework
