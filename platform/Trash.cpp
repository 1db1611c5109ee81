// Moving items to the desktop's trash: a "files" folder holding the items and an "info" folder
// holding, for each, "<name>.trashinfo" with its original path and the time it was deleted.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <string>

#include "platform/Paths.h"
#include "platform/Process.h"
#include "platform/Shell.h"
#include "platform/XdgDirs.h"

namespace platform {
namespace {

bool IsFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Percent-encodes a path as a URL path: unreserved characters and "/" stay.
std::string EncodePath(const std::string& path) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : path) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '/' || c == '-' ||
            c == '_' || c == '.' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

// The top of the file system holding path: the highest folder above it on the same device.
std::string TopOfFileSystem(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return "/";
    std::string top = path;
    while (top != "/") {
        const size_t slash = top.rfind('/');
        const std::string parent = slash == 0 ? "/" : top.substr(0, slash);
        struct stat pst {};
        if (::stat(parent.c_str(), &pst) != 0 || pst.st_dev != st.st_dev) break;
        top = parent;
    }
    return top;
}

bool MakeFolder(const std::string& path, mode_t mode) {
    return ::mkdir(path.c_str(), mode) == 0 || (errno == EEXIST && IsFolder(path));
}

// Moves native into the trash folder trash ("files" and "info" made as needed).
bool MoveInto(const std::string& trash, const std::string& native, int& err) {
    if (!MakeFolder(trash, 0700) || !MakeFolder(trash + "/files", 0700) || !MakeFolder(trash + "/info", 0700)) {
        err = errno;
        return false;
    }
    const std::string base = native.substr(native.rfind('/') + 1);
    char when[32];
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    std::strftime(when, sizeof when, "%Y-%m-%dT%H:%M:%S", &local);
    const std::string record =
        "[Trash Info]\nPath=" + EncodePath(native) + "\nDeletionDate=" + std::string(when) + "\n";
    for (int n = 1; n < 10000; ++n) {
        const std::string name = n == 1 ? base : base + " " + std::to_string(n);
        const std::string info = trash + "/info/" + name + ".trashinfo";
        // The record is made exclusively first: it claims the name against other deleters.
        const int fd = ::open(info.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            err = errno;
            return false;
        }
        const bool written = ::write(fd, record.data(), record.size()) == static_cast<ssize_t>(record.size());
        const bool closed = ::close(fd) == 0;
        const std::string target = trash + "/files/" + name;
        struct stat st {};
        if (written && closed && ::lstat(target.c_str(), &st) != 0 && ::rename(native.c_str(), target.c_str()) == 0)
            return true;
        err = written && closed ? errno : EIO;
        ::unlink(info.c_str());
        if (err == EEXIST || err == ENOTEMPTY || err == 0) continue;  // a stray item holds the name
        return false;
    }
    err = EEXIST;
    return false;
}

}  // namespace

bool MoveToTrash(const std::string& windowsPath) {
    std::string native;
    if (!ResolveExistingPath(windowsPath, native)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return false;
    }
    struct stat st {};
    if (::lstat(native.c_str(), &st) != 0) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return false;
    }
    int err = 0;
    const std::string home = XdgDataHome() + "/Trash";
    struct stat hst {};
    const std::string dataHome = XdgDataHome();
    MakeFolder(dataHome, 0700);
    const bool sameDevice = ::stat(dataHome.c_str(), &hst) == 0 && hst.st_dev == st.st_dev;
    if (sameDevice) {
        if (MoveInto(home, native, err)) return true;
    } else {
        std::string top = TopOfFileSystem(native);
        if (top == "/") top.clear();
        if (MoveInto(top + "/.Trash-" + std::to_string(::getuid()), native, err)) return true;
    }
    SetLastError(err == ENOENT ? ERROR_FILE_NOT_FOUND : ERROR_ACCESS_DENIED);
    return false;
}

}  // namespace platform
