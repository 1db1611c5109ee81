#include "dbengine/testsupport/LockHolder.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include "dbengine/file/FileList.h"

namespace dbengine::testsupport {

TLockHolderProcess::TLockHolderProcess(const std::string& fileName,
                                       std::vector<std::pair<int64_t, int64_t>> ranges) {
    int toChild[2], fromChild[2];
    if (pipe(toChild) != 0) return;
    if (pipe(fromChild) != 0) {
        close(toChild[0]);
        close(toChild[1]);
        return;
    }
    std::fflush(nullptr);
    Child = fork();
    if (Child == 0) {
        close(toChild[1]);
        close(fromChild[0]);
        char result = '0';
        {
            TFileList list;
            bool readOnly = false, byAttribute = false;
            TAbstractFile* file = nullptr;
            if (list.OpenFile(fileName, false, false, false, readOnly, byAttribute, file) > 0) {
                result = '1';
                for (auto& [offset, length] : ranges)
                    if (!file->LockRange(offset, length)) result = '0';
            }
            ssize_t written = write(fromChild[1], &result, 1);
            (void)written;
            char byte = 0;
            while (read(toChild[0], &byte, 1) > 0) {
            }
        }
        _exit(0);
    }
    close(toChild[0]);
    close(fromChild[1]);
    if (Child < 0) {
        close(toChild[1]);
        close(fromChild[0]);
        return;
    }
    ToChild = toChild[1];
    char result = '0';
    Held = read(fromChild[0], &result, 1) == 1 && result == '1';
    close(fromChild[0]);
}

TLockHolderProcess::~TLockHolderProcess() {
    Release();
}

void TLockHolderProcess::Release() {
    if (ToChild >= 0) {
        close(ToChild);
        ToChild = -1;
    }
    if (Child > 0) {
        int status = 0;
        while (waitpid(Child, &status, 0) < 0) {
        }
        Child = -1;
    }
    Held = false;
}

}  // namespace dbengine::testsupport
