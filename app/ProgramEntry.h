#pragma once
// The program entry: the splash window, the main window and the two shared windows, the start-up
// pauses and the message loop until the program ends. `main` does nothing else.
//
// SIGTERM, SIGINT and SIGHUP (the end of a session) close the main window as its close box does:
// no question, the window's state saved.

#include <functional>

namespace app {

// Runs the program. Running, when given, is called once the message loop runs (tests drive the
// program from there); the entry returns when the program ends, with every window it made freed.
void ProgramEntry(const std::function<void()>& Running = {});

}  // namespace app
