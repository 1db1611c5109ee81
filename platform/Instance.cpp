#include "platform/Instance.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/ProgramFolder.h"

namespace platform {

std::string GetUserName() {
    std::vector<char> buffer(1024);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_name)
        return found->pw_name;
    if (const char* login = getlogin()) return login;
    return {};
}

TNamedMutex::TNamedMutex(std::string_view Name) {
    std::string file(Name);
    for (char& c : file)
        if (c == '/' || c == '\\' || c == '\0') c = '_';
    std::string path = ProgramFolderNative() + "/" + file + ".lock";
    FFd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (FFd < 0) return;
    while (::flock(FFd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) continue;
        FAlreadyExists = errno == EWOULDBLOCK;
        break;
    }
}

TNamedMutex::~TNamedMutex() {
    if (FFd >= 0) ::close(FFd);
}

}  // namespace platform
