#pragma once
// The message beep. Every beep is recorded (the kind and the order), so that tests can check that
// an error was announced; where a sound can be made it is made: through the sound hook that the
// user-interface layer installs (the display's bell), else as a terminal bell on standard error
// when that is a terminal.

#include <cstdint>
#include <vector>

namespace platform {

inline constexpr uint32_t MB_OK = 0x00000000;               // the default sound
inline constexpr uint32_t MB_ICONHAND = 0x00000010;         // error ("stop")
inline constexpr uint32_t MB_ICONQUESTION = 0x00000020;     // question
inline constexpr uint32_t MB_ICONEXCLAMATION = 0x00000030;  // warning
inline constexpr uint32_t MB_ICONASTERISK = 0x00000040;     // information
inline constexpr uint32_t MB_ICONERROR = MB_ICONHAND;
inline constexpr uint32_t MB_ICONWARNING = MB_ICONEXCLAMATION;
inline constexpr uint32_t MB_ICONINFORMATION = MB_ICONASTERISK;
inline constexpr uint32_t MB_SIMPLEBEEP = 0xFFFFFFFF;  // the plain speaker beep

// Plays the sound of a beep kind; always succeeds.
bool MessageBeep(uint32_t type);

// The kinds of the beeps made since the start or since the last ClearBeepHistory, oldest first
// (at most the last 1000).
std::vector<uint32_t> BeepHistory();
void ClearBeepHistory();

// The user-interface layer's bell; null restores the terminal bell.
using BeepSound = void (*)(uint32_t type);
void SetBeepSound(BeepSound sound);

}  // namespace platform
