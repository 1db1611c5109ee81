#include "platform/testsupport/ChildProcess.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/Process.h"

namespace platform::testsupport {

int RunInChildProcess(const std::function<int()>& body) {
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid < 0) return -1;
    if (pid == 0) _exit(body() & 255);  // no destructors, no test framework in the child
    int status = 0;
    pid_t done;
    do {
        done = waitpid(pid, &status, 0);
    } while (done < 0 && errno == EINTR);
    return done == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int ChildResult(bool ok) {
    if (ok) return 0;
    const uint32_t code = GetLastError();
    return code == 0 ? 255 : static_cast<int>(code > 255 ? 255 : code);
}

TChildProcess::TChildProcess(const std::function<int()>& body) {
    std::fflush(nullptr);
    Pid = fork();
    if (Pid == 0) _exit(body() & 255);  // no destructors, no test framework in the child
}

TChildProcess::~TChildProcess() {
    if (Pid <= 0 || Reaped) return;
    Kill();
    Wait();
}

void TChildProcess::Kill() {
    if (Pid > 0 && !Reaped) kill(Pid, SIGKILL);
}

int TChildProcess::Wait() {
    if (Pid <= 0) return -1;
    if (!Reaped) {
        int status = 0;
        pid_t done = -1;
        do {
            done = waitpid(Pid, &status, 0);
        } while (done < 0 && errno == EINTR);
        Reaped = true;
        Status = done == Pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    return Status;
}

}  // namespace platform::testsupport
