#pragma once
// What code below the user interface may ask of it without knowing of windows: to let waiting
// window messages through during a long loop, to put a question in a message box, and to show a
// cursor (the hour-glass) over the whole screen. The user-interface library installs a handler for
// each when it starts. Without one, pumping does nothing, a message box is answered IDCANCEL and
// the cursor stays as it is, so that a table engine or an archive reader runs without windows.

#include <cstdint>
#include <functional>
#include <string>

namespace framework {

using TMessagePump = std::function<void()>;
// Text, caption and MB_ flags; the ID of the button pressed.
using TMessageBoxHandler =
    std::function<int(const std::string& Text, const std::string& Caption, uint32_t Flags)>;
// Sets the screen's cursor (a cursor number: 0 the default, -11 the hour-glass); returns the one
// it replaces.
using TScreenCursorHandler = std::function<int16_t(int16_t Cursor)>;

// Install a handler; each returns the one it replaces (an empty one removes it).
TMessagePump SetMessagePump(TMessagePump Pump);
TMessageBoxHandler SetMessageBoxHandler(TMessageBoxHandler Handler);
TScreenCursorHandler SetScreenCursorHandler(TScreenCursorHandler Handler);

// Lets the window messages waiting now be handled.
void PumpMessages();
// Shows a message box and returns the ID of the button pressed (IDCANCEL, 2, without a handler).
int AskMessageBox(const std::string& Text, const std::string& Caption, uint32_t Flags);
// Sets the screen's cursor; returns the one it replaces (0, the default, without a handler).
int16_t SetScreenCursor(int16_t Cursor);

}  // namespace framework
