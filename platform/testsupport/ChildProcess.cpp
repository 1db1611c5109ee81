#include "platform/testsupport/ChildProcess.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include "platform/Process.h"

namespace platform::testsupport {

int RunInChildProcess(const std::function<int()>& body) {
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid < 0) return -1;
    if (pid == 0) _exit(body() & 255);  // no destructors, no test framework in the child
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int ChildResult(bool ok) {
    if (ok) return 0;
    const uint32_t code = GetLastError();
    return code == 0 ? 255 : static_cast<int>(code > 255 ? 255 : code);
}

}  // namespace platform::testsupport
