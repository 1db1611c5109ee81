#pragma once
// A second process that holds byte-range locks of one table file while a test works on the
// file in this process, then lets go when told. The child opens the file through a file list
// of its own, so its handle and its locks are its own.

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace dbengine::testsupport {

class TLockHolderProcess {
public:
    // Each range is (offset, length). Holding() tells whether the child got every one of them.
    TLockHolderProcess(const std::string& fileName, std::vector<std::pair<int64_t, int64_t>> ranges);
    ~TLockHolderProcess();
    TLockHolderProcess(const TLockHolderProcess&) = delete;
    TLockHolderProcess& operator=(const TLockHolderProcess&) = delete;

    bool Holding() const { return Held; }
    // Tells the child to end (its locks go with it) and waits for it.
    void Release();

private:
    pid_t Child = -1;
    int ToChild = -1;
    bool Held = false;
};

}  // namespace dbengine::testsupport
