#pragma once
// Who runs the program and whether it runs twice: the logged-on user's name, and named mutexes
// that tell a second instance of the program from the first.
//
// A named mutex is a lock file "<name>.lock" in the program's own folder, locked for as long as the
// object lives. The lock belongs to the open file, so a second mutex of the same name finds it held
// whether it is made in another process or in the same one; the lock goes with the process that
// holds it, also when that process dies.

#include <string>
#include <string_view>

namespace platform {

// The login name of the user running the program; empty when it cannot be read.
std::string GetUserName();

class TNamedMutex {
public:
    // Creates the mutex, or opens it when another holder has it (AlreadyExists then).
    explicit TNamedMutex(std::string_view Name);
    ~TNamedMutex();
    TNamedMutex(const TNamedMutex&) = delete;
    TNamedMutex& operator=(const TNamedMutex&) = delete;

    // Another holder had the mutex when this one was made.
    bool AlreadyExists() const { return FAlreadyExists; }
    // The lock file could be opened.
    bool Valid() const { return FFd >= 0; }

private:
    int FFd = -1;
    bool FAlreadyExists = false;
};

}  // namespace platform
