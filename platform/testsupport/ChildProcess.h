#pragma once
// Runs a piece of a test in a second process, for behaviour that must hold between processes
// (sharing modes, byte-range locks). The child is a fork of the test: it sees the same files and
// drive map, but every handle it opens is its own.

#include <functional>

namespace platform::testsupport {

// Runs `body` in a forked child and returns its result (0–255), or -1 when the child died.
int RunInChildProcess(const std::function<int()>& body);

// The child's result for a call: 0 on success, else the last error (cut to 255).
int ChildResult(bool ok);

}  // namespace platform::testsupport

namespace platform::testsupport {

// A forked child that runs beside the test until its body returns or the test kills it (crash
// tests). The destructor kills a child still running and reaps it.
class TChildProcess {
public:
    explicit TChildProcess(const std::function<int()>& body);
    ~TChildProcess();
    TChildProcess(const TChildProcess&) = delete;
    TChildProcess& operator=(const TChildProcess&) = delete;

    bool Started() const { return Pid > 0; }
    // Ends the child at once (SIGKILL), wherever it stands.
    void Kill();
    // Waits for the child: its result (0–255), or -1 when it was killed or died.
    int Wait();

private:
    int Pid = -1;
    bool Reaped = false;
    int Status = -1;
};

}  // namespace platform::testsupport
