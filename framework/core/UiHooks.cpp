#include "framework/core/UiHooks.h"

#include <utility>

namespace framework {

namespace {
// Function-local so that a handler installed from another unit's static initialisation finds them.
TMessagePump& Pump() {
    static TMessagePump pump;
    return pump;
}
TMessageBoxHandler& MessageBox() {
    static TMessageBoxHandler handler;
    return handler;
}
TScreenCursorHandler& ScreenCursor() {
    static TScreenCursorHandler handler;
    return handler;
}
}  // namespace

TMessagePump SetMessagePump(TMessagePump Value) {
    return std::exchange(Pump(), std::move(Value));
}
TMessageBoxHandler SetMessageBoxHandler(TMessageBoxHandler Handler) {
    return std::exchange(MessageBox(), std::move(Handler));
}
TScreenCursorHandler SetScreenCursorHandler(TScreenCursorHandler Handler) {
    return std::exchange(ScreenCursor(), std::move(Handler));
}

void PumpMessages() {
    if (Pump()) Pump()();
}

int AskMessageBox(const std::string& Text, const std::string& Caption, uint32_t Flags) {
    constexpr int kIdCancel = 2;
    return MessageBox() ? MessageBox()(Text, Caption, Flags) : kIdCancel;
}

int16_t SetScreenCursor(int16_t Cursor) {
    return ScreenCursor() ? ScreenCursor()(Cursor) : 0;
}

}  // namespace framework
