#pragma once
// Change notices for folders of the drive map, read from the kernel's file-system notification
// (inotify). Each notice carries the shell event number (SHCNE_*) and the Windows paths of the
// items it concerns.
//
// How kernel events become notices: a create is SHCNE_CREATE or SHCNE_MKDIR, a delete
// SHCNE_DELETE or SHCNE_RMDIR, a move within the watched folders is paired by its cookie into
// SHCNE_RENAMEITEM or SHCNE_RENAMEFOLDER (old path, new path), a move out of them is a delete and
// a move into them a create; a close after writing is SHCNE_UPDATEITEM, a change of permissions,
// owner or times SHCNE_ATTRIBUTES, and an overflow of the kernel's queue SHCNE_UPDATEDIR of the
// watched folder. Folders created under a recursive watch are watched as well.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace platform {

inline constexpr uint32_t SHCNE_RENAMEITEM = 0x1;
inline constexpr uint32_t SHCNE_CREATE = 0x2;
inline constexpr uint32_t SHCNE_DELETE = 0x4;
inline constexpr uint32_t SHCNE_MKDIR = 0x8;
inline constexpr uint32_t SHCNE_RMDIR = 0x10;
inline constexpr uint32_t SHCNE_MEDIAINSERTED = 0x20;
inline constexpr uint32_t SHCNE_MEDIAREMOVED = 0x40;
inline constexpr uint32_t SHCNE_DRIVEREMOVED = 0x80;
inline constexpr uint32_t SHCNE_DRIVEADD = 0x100;
inline constexpr uint32_t SHCNE_NETSHARE = 0x200;
inline constexpr uint32_t SHCNE_NETUNSHARE = 0x400;
inline constexpr uint32_t SHCNE_ATTRIBUTES = 0x800;
inline constexpr uint32_t SHCNE_UPDATEDIR = 0x1000;
inline constexpr uint32_t SHCNE_UPDATEITEM = 0x2000;
inline constexpr uint32_t SHCNE_SERVERDISCONNECT = 0x4000;
inline constexpr uint32_t SHCNE_UPDATEIMAGE = 0x8000;
inline constexpr uint32_t SHCNE_DRIVEADDGUI = 0x10000;
inline constexpr uint32_t SHCNE_RENAMEFOLDER = 0x20000;
inline constexpr uint32_t SHCNE_FREESPACE = 0x40000;
inline constexpr uint32_t SHCNE_ASSOCCHANGED = 0x08000000;

struct TChangeNotice {
    uint32_t Event = 0;
    std::string Path1;  // Windows form
    std::string Path2;  // the new path of a rename, else empty
};

class TChangeNotifier {
public:
    TChangeNotifier();
    ~TChangeNotifier();
    TChangeNotifier(const TChangeNotifier&) = delete;
    TChangeNotifier& operator=(const TChangeNotifier&) = delete;

    // Watches a folder given in Windows form ("D:\dir"), with its sub-folders when recursive.
    // False when the folder cannot be resolved or watched. Replaces an earlier watch.
    bool Watch(const std::string& windowsFolder, bool recursive);
    void Unwatch();
    bool Watching() const { return !watches_.empty() || drives_; }
    // Also reports drives coming and going (SHCNE_DRIVEADD, SHCNE_DRIVEREMOVED) and media arriving
    // at or leaving a drive's folder (SHCNE_MEDIAINSERTED, SHCNE_MEDIAREMOVED), each with the
    // drive's root ("E:\"). The drive map is read again when the system's mount table changes and
    // compared with the one seen before; a drive's folder appearing, disappearing or becoming
    // another file system's mount point is a change of media. Unwatch stops it too.
    void WatchDrives(bool on);
    // The descriptor to wait on; -1 when the kernel refused one.
    int Fd() const { return fd_; }
    // Waits at most timeoutMs (0: not at all) for events and returns the notices they make, only
    // those whose event bits are in mask.
    std::vector<TChangeNotice> Read(int timeoutMs, uint32_t mask = 0xFFFFFFFFu);

private:
    struct TDriveState {
        std::string Root;  // native
        bool Present = false;
        uint64_t Device = 0;
        bool Mounted = false;  // the folder is the top of its own file system
    };
    static std::map<char, TDriveState> SnapshotDrives();
    void CompareDrives(std::vector<TChangeNotice>& notices);
    void AddWatch(const std::string& native, bool recursive);
    std::string WindowsPathOf(int wd, const char* name) const;

    int fd_ = -1;
    bool recursive_ = false;
    std::string root_;                    // native
    std::map<int, std::string> watches_;  // watch descriptor -> native folder
    bool drives_ = false;
    int mounts_ = -1;  // the mount table, readable for a change
    std::map<char, TDriveState> driveStates_;
};

}  // namespace platform
