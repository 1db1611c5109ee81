#include "platform/ChangeNotify.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "platform/Paths.h"

namespace platform {

namespace {

constexpr uint32_t kWatchMask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_CLOSE_WRITE |
                                IN_ATTRIB | IN_DELETE_SELF | IN_ONLYDIR;

std::vector<TChangeNotice> Filtered(std::vector<TChangeNotice> notices, uint32_t mask) {
    std::vector<TChangeNotice> wanted;
    for (auto& notice : notices)
        if (notice.Event & mask) wanted.push_back(std::move(notice));
    return wanted;
}

}  // namespace

TChangeNotifier::TChangeNotifier() : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {}

TChangeNotifier::~TChangeNotifier() {
    if (fd_ >= 0) ::close(fd_);
    if (mounts_ >= 0) ::close(mounts_);
}

std::map<char, TChangeNotifier::TDriveState> TChangeNotifier::SnapshotDrives() {
    std::map<char, TDriveState> states;
    for (const TDriveRecord& d : GetDriveMap()) {
        TDriveState st;
        st.Root = d.Root;
        struct stat s {};
        if (::stat(d.Root.c_str(), &s) == 0 && S_ISDIR(s.st_mode)) {
            st.Present = true;
            st.Device = static_cast<uint64_t>(s.st_dev);
            struct stat parent {};
            const std::string up = d.Root == "/" ? "/" : d.Root + "/..";
            st.Mounted = d.Root == "/" || (::stat(up.c_str(), &parent) == 0 && parent.st_dev != s.st_dev);
        }
        states[d.Letter] = st;
    }
    return states;
}

void TChangeNotifier::WatchDrives(bool on) {
    drives_ = on;
    if (mounts_ >= 0) ::close(mounts_);
    mounts_ = on ? ::open("/proc/self/mounts", O_RDONLY | O_CLOEXEC) : -1;
    driveStates_ = on ? SnapshotDrives() : std::map<char, TDriveState>{};
}

void TChangeNotifier::CompareDrives(std::vector<TChangeNotice>& notices) {
    std::map<char, TDriveState> now = SnapshotDrives();
    const auto root = [](char letter) { return std::string(1, letter) + ":\\"; };
    for (const auto& [letter, old] : driveStates_)
        if (!now.count(letter)) notices.push_back({SHCNE_DRIVEREMOVED, root(letter), {}});
    for (const auto& [letter, cur] : now) {
        const auto it = driveStates_.find(letter);
        if (it == driveStates_.end()) {
            notices.push_back({SHCNE_DRIVEADD, root(letter), {}});
            continue;
        }
        const TDriveState& old = it->second;
        if (old.Root != cur.Root) {
            notices.push_back({SHCNE_DRIVEREMOVED, root(letter), {}});
            notices.push_back({SHCNE_DRIVEADD, root(letter), {}});
        } else if (old.Present != cur.Present) {
            notices.push_back({cur.Present ? SHCNE_MEDIAINSERTED : SHCNE_MEDIAREMOVED, root(letter), {}});
        } else if (cur.Present && old.Device != cur.Device) {
            // A file system mounted on the folder, taken off it, or one replaced by another.
            if (old.Mounted) notices.push_back({SHCNE_MEDIAREMOVED, root(letter), {}});
            if (cur.Mounted) notices.push_back({SHCNE_MEDIAINSERTED, root(letter), {}});
        }
    }
    driveStates_ = std::move(now);
}

void TChangeNotifier::AddWatch(const std::string& native, bool recursive) {
    const int wd = ::inotify_add_watch(fd_, native.c_str(), kWatchMask);
    if (wd < 0) return;
    watches_[wd] = native;
    if (!recursive) return;
    DIR* dir = ::opendir(native.c_str());
    if (!dir) return;
    std::vector<std::string> children;
    while (dirent* e = ::readdir(dir)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
        const std::string child = native + "/" + e->d_name;
        struct stat st {};
        if (::lstat(child.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) children.push_back(child);
    }
    ::closedir(dir);
    for (const auto& child : children) AddWatch(child, true);
}

bool TChangeNotifier::Watch(const std::string& windowsFolder, bool recursive) {
    Unwatch();
    if (fd_ < 0) return false;
    std::string native;
    if (!ResolveExistingPath(windowsFolder, native)) return false;
    struct stat st {};
    if (::stat(native.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
    root_ = native;
    recursive_ = recursive;
    AddWatch(native, recursive);
    return !watches_.empty();
}

void TChangeNotifier::Unwatch() {
    for (const auto& [wd, path] : watches_) ::inotify_rm_watch(fd_, wd);
    watches_.clear();
    root_.clear();
    WatchDrives(false);
    // Events already read by the kernel for the old watches are drained and dropped.
    char buffer[4096];
    while (fd_ >= 0 && ::read(fd_, buffer, sizeof buffer) > 0) {
    }
}

std::string TChangeNotifier::WindowsPathOf(int wd, const char* name) const {
    const auto it = watches_.find(wd);
    if (it == watches_.end()) return {};
    return NativeToWindowsPath(name && *name ? it->second + "/" + name : it->second);
}

std::vector<TChangeNotice> TChangeNotifier::Read(int timeoutMs, uint32_t mask) {
    std::vector<TChangeNotice> notices;
    if ((fd_ < 0 || watches_.empty()) && !drives_) return notices;
    pollfd p[2] = {{watches_.empty() ? -1 : fd_, POLLIN, 0}, {mounts_, POLLPRI, 0}};
    const int ready = ::poll(p, 2, timeoutMs);
    if (drives_) {
        // The kernel marks the mount table with an error/priority event when it changes.
        if (ready > 0 && (p[1].revents & (POLLPRI | POLLERR))) {
            ReloadDriveMap();
            ::lseek(mounts_, 0, SEEK_SET);
            char skip[4096];
            while (::read(mounts_, skip, sizeof skip) > 0) {
            }
        }
        CompareDrives(notices);
    }
    if (ready <= 0 || !(p[0].revents & POLLIN)) return Filtered(std::move(notices), mask);

    struct Move {
        uint32_t cookie;
        size_t index;  // of the notice made for it
        std::string native;
    };
    std::vector<Move> moves;
    alignas(inotify_event) char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n <= 0) break;
        for (ssize_t pos = 0; pos + static_cast<ssize_t>(sizeof(inotify_event)) <= n;) {
            const auto* ev = reinterpret_cast<const inotify_event*>(buffer + pos);
            pos += static_cast<ssize_t>(sizeof(inotify_event) + ev->len);
            if (pos > n) break;
            const char* name = ev->len ? ev->name : "";
            const bool dir = (ev->mask & IN_ISDIR) != 0;
            if (ev->mask & IN_Q_OVERFLOW) {
                notices.push_back({SHCNE_UPDATEDIR, NativeToWindowsPath(root_), {}});
                continue;
            }
            if (ev->mask & IN_IGNORED) {
                watches_.erase(ev->wd);
                continue;
            }
            if (ev->mask & IN_DELETE_SELF) continue;
            const std::string path = WindowsPathOf(ev->wd, name);
            if (path.empty()) continue;
            const std::string native = watches_[ev->wd] + "/" + name;
            if (ev->mask & IN_CREATE) {
                notices.push_back({dir ? SHCNE_MKDIR : SHCNE_CREATE, path, {}});
                if (dir && recursive_) AddWatch(native, true);
            } else if (ev->mask & IN_DELETE) {
                notices.push_back({dir ? SHCNE_RMDIR : SHCNE_DELETE, path, {}});
            } else if (ev->mask & IN_MOVED_FROM) {
                moves.push_back({ev->cookie, notices.size(), native});
                notices.push_back({dir ? SHCNE_RMDIR : SHCNE_DELETE, path, {}});
            } else if (ev->mask & IN_MOVED_TO) {
                bool paired = false;
                for (auto m = moves.begin(); m != moves.end(); ++m) {
                    if (m->cookie != ev->cookie) continue;
                    TChangeNotice& n0 = notices[m->index];
                    n0.Event = dir ? SHCNE_RENAMEFOLDER : SHCNE_RENAMEITEM;
                    n0.Path2 = path;
                    if (dir) {  // watched folders below the moved one now live under the new name
                        for (auto& [wd, folder] : watches_) {
                            if (folder == m->native || folder.rfind(m->native + "/", 0) == 0)
                                folder = native + folder.substr(m->native.size());
                        }
                    }
                    moves.erase(m);
                    paired = true;
                    break;
                }
                if (!paired) {
                    notices.push_back({dir ? SHCNE_MKDIR : SHCNE_CREATE, path, {}});
                    if (dir && recursive_) AddWatch(native, true);
                }
            } else if (ev->mask & IN_CLOSE_WRITE) {
                notices.push_back({SHCNE_UPDATEITEM, path, {}});
            } else if (ev->mask & IN_ATTRIB) {
                notices.push_back({SHCNE_ATTRIBUTES, path, {}});
            }
        }
    }
    return Filtered(std::move(notices), mask);
}

}  // namespace platform
