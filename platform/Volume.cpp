#include "platform/Volume.h"

#include <blkid/blkid.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "platform/CodePage.h"
#include "platform/FatLabel.h"
#include "platform/Paths.h"
#include "platform/Process.h"

namespace platform {
namespace {

constexpr uint32_t kBytesPerSector = 512;
constexpr uint32_t kMaxLabel = 11;
constexpr uint32_t kMaxFileSystemName = 8;
constexpr uint32_t kMaxComponentLength = 255;

// The drive a root path names, with its folder present; false with the last error set.
bool DriveOfRoot(std::string_view rootPath, TDriveRecord* drive) {
    char letter;
    if (rootPath.empty()) {
        std::string current = GetCurrentDirectory();
        if (current.empty()) return FailWith(ERROR_INVALID_DRIVE);
        letter = current[0];
    } else {
        letter = rootPath[0];
        bool shapeOk = rootPath.size() >= 2 && rootPath[1] == ':' &&
                       (rootPath.size() == 2 || rootPath.substr(2) == "\\" || rootPath.substr(2) == "/");
        if (!shapeOk) return FailWith(ERROR_INVALID_NAME);
    }
    if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 32);
    if (letter < 'A' || letter > 'Z') return FailWith(ERROR_INVALID_DRIVE);
    auto found = FindDrive(letter);
    if (!found) return FailWith(ERROR_INVALID_DRIVE);
    struct stat st {};
    if (::stat(found->Root.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return FailWith(ERROR_NOT_READY);
    *drive = *found;
    return true;
}

// ---- the mount that holds a folder ---------------------------------------------------------

struct MountEntry {
    std::string mountPoint;
    std::string fsType;
    std::string source;
};

std::string UnescapeOctal(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 3 < s.size() && s[i + 1] >= '0' && s[i + 1] <= '3') {
            out += static_cast<char>((s[i + 1] - '0') * 64 + (s[i + 2] - '0') * 8 + (s[i + 3] - '0'));
            i += 3;
        } else {
            out += s[i];
        }
    }
    return out;
}

bool Holds(const std::string& mountPoint, const std::string& path) {
    if (mountPoint == "/") return true;
    return path == mountPoint ||
           (path.size() > mountPoint.size() && path.compare(0, mountPoint.size(), mountPoint) == 0 &&
            path[mountPoint.size()] == '/');
}

// The mount in mountinfo text that holds an absolute path (the deepest, the last of equals).
std::optional<MountEntry> MountInText(std::string_view text, const std::string& path) {
    std::istringstream f{std::string(text)};
    std::string line;
    std::optional<MountEntry> best;
    while (std::getline(f, line)) {
        std::istringstream in(line);
        std::string id, parent, devNumbers, root, mountPoint;
        if (!(in >> id >> parent >> devNumbers >> root >> mountPoint)) continue;
        std::string word;
        while (in >> word && word != "-") {
        }
        MountEntry e;
        in >> e.fsType >> e.source;
        e.mountPoint = UnescapeOctal(mountPoint);
        e.source = UnescapeOctal(e.source);
        // Later mounts on the same point hide earlier ones, so ">=" keeps the last.
        if (Holds(e.mountPoint, path) && (!best || e.mountPoint.size() >= best->mountPoint.size())) best = e;
    }
    return best;
}

std::optional<MountEntry> MountOf(const std::string& folder) {
    char real[PATH_MAX];
    std::string path = ::realpath(folder.c_str(), real) ? real : folder;
    std::ifstream f("/proc/self/mountinfo");
    std::stringstream all;
    all << f.rdbuf();
    return MountInText(all.str(), path);
}

bool IsNetworkFileSystem(std::string_view type) {
    static constexpr std::string_view kNetwork[] = {"nfs", "nfs4", "cifs", "smb3",      "smbfs",     "ncpfs",
                                                    "9p",  "afs",  "ceph", "glusterfs", "fuse.sshfs"};
    for (std::string_view t : kNetwork)
        if (type == t) return true;
    return false;
}

// ---- superblocks ---------------------------------------------------------------------------

struct Probed {
    std::string type, version, label, uuid;
};

// Reads the superblock of an image file or a device; nothing when none is recognised or the
// file cannot be read.
std::optional<Probed> Probe(const std::string& file) {
    blkid_probe pr = blkid_new_probe_from_filename(file.c_str());
    if (!pr) return std::nullopt;
    blkid_probe_enable_superblocks(pr, 1);
    blkid_probe_set_superblocks_flags(
        pr, BLKID_SUBLKS_LABEL | BLKID_SUBLKS_UUID | BLKID_SUBLKS_TYPE | BLKID_SUBLKS_VERSION);
    std::optional<Probed> out;
    if (blkid_do_safeprobe(pr) == 0) {
        Probed p;
        auto get = [&](const char* name, std::string* to) {
            const char* data = nullptr;
            size_t len = 0;
            if (blkid_probe_lookup_value(pr, name, &data, &len) == 0 && data)
                *to = std::string(data, strnlen(data, len));
        };
        get("TYPE", &p.type);
        get("VERSION", &p.version);
        get("LABEL", &p.label);
        get("UUID", &p.uuid);
        out = p;
    }
    blkid_free_probe(pr);
    return out;
}

std::string UpperAscii(std::string s) {
    for (auto& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return s;
}

std::string FileSystemName(const std::string& type, const std::string& version) {
    std::string name;
    if (type == "vfat" || type == "msdos")
        name = UpperAscii(version) == "FAT32" ? "FAT32" : "FAT";
    else if (type == "exfat")
        name = "exFAT";
    else
        name = UpperAscii(type);
    if (name.size() > kMaxFileSystemName) name.resize(kMaxFileSystemName);
    return name;
}

uint32_t Fnv1a(std::string_view s) {
    uint32_t h = 2166136261u;
    for (unsigned char c : s) h = (h ^ c) * 16777619u;
    return h;
}

// The 32-bit serial number of a file system's id: FAT and exFAT ids are the serial ("1A2B-3C4D"),
// an NTFS id is 64 bits of which the low 32 are shown, a UUID gives its first 32 bits, and any
// other id (an ISO 9660 date) a hash of its text.
uint32_t SerialFromUuid(const std::string& uuid) {
    std::string hex;
    bool onlyHex = true;
    for (char c : uuid) {
        if (c == '-') continue;
        if (!std::isxdigit(static_cast<unsigned char>(c))) onlyHex = false;
        hex += c;
    }
    if (uuid.empty()) return 0;
    if (onlyHex && hex.size() <= 8) return static_cast<uint32_t>(std::strtoul(hex.c_str(), nullptr, 16));
    if (onlyHex && hex.size() == 16)
        return static_cast<uint32_t>(std::strtoul(hex.substr(8).c_str(), nullptr, 16));
    if (onlyHex && hex.size() == 32)
        return static_cast<uint32_t>(std::strtoul(hex.substr(0, 8).c_str(), nullptr, 16));
    return Fnv1a(uuid);
}

bool ValidUtf8(std::string_view s) {
    size_t i = 0;
    while (i < s.size()) {
        auto c = static_cast<unsigned char>(s[i]);
        size_t n = c < 0x80             ? 0
                   : (c & 0xE0) == 0xC0 ? 1
                   : (c & 0xF0) == 0xE0 ? 2
                   : (c & 0xF8) == 0xF0 ? 3
                                        : 4;
        if (n == 4 || n >= s.size() - i) return false;
        for (size_t k = 1; k <= n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        i += n + 1;
    }
    return true;
}

// Labels come as the file system holds them: UTF-8 on most, raw bytes on FAT.
std::string LabelText(const std::string& raw) {
    std::string label = ValidUtf8(raw) ? Utf8ToAnsi(raw) : raw;
    while (!label.empty() && label.back() == ' ') label.pop_back();
    if (label.size() > kMaxLabel) label.resize(kMaxLabel);
    return label;
}

struct VolumeFacts {
    std::string label;
    uint32_t serial = 0;
    std::string fileSystem;
    bool fat = false;
    std::string writableFile;  // image or device whose label may be written; empty when none
};

bool ParseHex32(const std::string& text, uint32_t* value) {
    std::string hex;
    for (char c : text)
        if (c != '-') hex += c;
    if (hex.empty() || hex.size() > 8) return false;
    for (char c : hex)
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    *value = static_cast<uint32_t>(std::strtoul(hex.c_str(), nullptr, 16));
    return true;
}

bool ReadFacts(const TDriveRecord& drive, VolumeFacts* facts) {
    std::string image = drive.Attribute("image");
    std::optional<Probed> probed;
    std::string probedFile;
    std::optional<MountEntry> mount;
    if (!image.empty()) {
        probed = Probe(image);
        if (!probed) {
            struct stat st {};
            return FailWith(::stat(image.c_str(), &st) == 0 ? ERROR_UNRECOGNIZED_VOLUME : ERROR_NOT_READY);
        }
        probedFile = image;
    } else {
        mount = MountOf(drive.Root);
        if (mount && mount->source.starts_with("/dev/")) {
            probed = Probe(mount->source);
            if (probed) probedFile = mount->source;
        }
    }
    if (probed) {
        facts->label = LabelText(probed->label);
        facts->serial = SerialFromUuid(probed->uuid);
        facts->fileSystem = FileSystemName(probed->type, probed->version);
        facts->fat = probed->type == "vfat" || probed->type == "msdos";
    } else {
        struct statvfs vfs {};
        if (::statvfs(drive.Root.c_str(), &vfs) == 0) {
            uint64_t id = vfs.f_fsid;
            facts->serial = static_cast<uint32_t>(id ^ (id >> 32));
        }
        facts->fileSystem = FileSystemName(mount ? mount->fsType : std::string(), "");
    }
    if (drive.HasAttribute("writable") && facts->fat) facts->writableFile = probedFile;
    if (drive.HasAttribute("label")) facts->label = LabelText(drive.Attribute("label"));
    if (drive.HasAttribute("serial")) {
        uint32_t v;
        if (ParseHex32(drive.Attribute("serial"), &v)) facts->serial = v;
    }
    if (drive.HasAttribute("fs")) {
        facts->fileSystem = drive.Attribute("fs");
        if (facts->fileSystem.size() > kMaxFileSystemName) facts->fileSystem.resize(kMaxFileSystemName);
    }
    return true;
}

// Whole-device name of a block device node ("sdb" for /dev/sdb1), for /sys/block.
std::string BlockDeviceName(const std::string& node) {
    struct stat st {};
    if (::stat(node.c_str(), &st) != 0 || !S_ISBLK(st.st_mode)) return {};
    char link[PATH_MAX];
    std::string sys =
        "/sys/dev/block/" + std::to_string(major(st.st_rdev)) + ":" + std::to_string(minor(st.st_rdev));
    if (!::realpath(sys.c_str(), link)) return {};
    std::string path = link;
    // A partition's folder lies inside its disk's folder and has a "partition" file.
    if (::access((path + "/partition").c_str(), F_OK) == 0) path = path.substr(0, path.rfind('/'));
    return path.substr(path.rfind('/') + 1);
}

}  // namespace

bool GetVolumeInformation(std::string_view rootPath, std::string* volumeName, uint32_t* serialNumber,
                          uint32_t* maximumComponentLength, uint32_t* fileSystemFlags,
                          std::string* fileSystemName) {
    TDriveRecord drive;
    if (!DriveOfRoot(rootPath, &drive)) return false;
    VolumeFacts facts;
    if (!ReadFacts(drive, &facts)) return false;
    if (volumeName) *volumeName = facts.label;
    if (serialNumber) *serialNumber = facts.serial;
    if (maximumComponentLength) *maximumComponentLength = kMaxComponentLength;
    if (fileSystemFlags)
        *fileSystemFlags = facts.fat ? FILE_CASE_PRESERVED_NAMES | FILE_UNICODE_ON_DISK
                                     : FILE_CASE_SENSITIVE_SEARCH | FILE_CASE_PRESERVED_NAMES;
    if (fileSystemName) *fileSystemName = facts.fileSystem;
    SetLastError(ERROR_SUCCESS);
    return true;
}

bool SetVolumeLabel(std::string_view rootPath, std::string_view volumeName) {
    TDriveRecord drive;
    if (!DriveOfRoot(rootPath, &drive)) return false;
    if (!drive.HasAttribute("writable")) return FailWith(ERROR_NOT_SUPPORTED);
    VolumeFacts facts;
    if (!ReadFacts(drive, &facts)) return false;
    if (facts.writableFile.empty()) return FailWith(ERROR_NOT_SUPPORTED);
    uint32_t rc = WriteFatVolumeLabel(facts.writableFile, volumeName);
    if (rc) return FailWith(rc);
    SetLastError(ERROR_SUCCESS);
    return true;
}

namespace {

// The byte figures of the volume that holds a native folder: cluster, total, free to the caller
// and free. A drive of the map may give "size=", "cluster=" and "free=" (bytes) in place of the
// file system's; with a size and no free figure, the free bytes are the size less the files under
// the drive's folder, each rounded up to whole clusters, so that such a disk fills as files land.
struct SpaceFigures {
    uint64_t unit = 0, total = 0, avail = 0, free = 0;
};

bool ParseBytes(const std::string& text, uint64_t* value) {
    if (text.empty() || text.size() > 19) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    *value = std::strtoull(text.c_str(), nullptr, 10);
    return true;
}

uint64_t ClusterRoundedBytes(const std::string& folder, uint64_t cluster) {
    uint64_t sum = 0;
    std::error_code ec;
    for (std::filesystem::recursive_directory_iterator
             it(folder, std::filesystem::directory_options::skip_permission_denied, ec),
         end;
         !ec && it != end; it.increment(ec)) {
        std::error_code sizeError;
        if (!it->is_regular_file(sizeError) || it->is_symlink(sizeError)) continue;
        uint64_t size = it->file_size(sizeError);
        if (sizeError) continue;
        sum += (size + cluster - 1) / cluster * cluster;
    }
    return sum;
}

bool ReadSpace(const std::string& native, const TDriveRecord* drive, SpaceFigures* figures) {
    uint64_t size = 0, cluster = 0, free = 0;
    bool haveSize = drive && ParseBytes(drive->Attribute("size"), &size);
    bool haveCluster = drive && ParseBytes(drive->Attribute("cluster"), &cluster) && cluster > 0;
    bool haveFree = drive && ParseBytes(drive->Attribute("free"), &free);
    if (!(haveSize && haveCluster && haveFree)) {
        struct statvfs vfs {};
        if (::statvfs(native.c_str(), &vfs) != 0) return FailWithErrno(errno);
        figures->unit = vfs.f_frsize ? vfs.f_frsize : vfs.f_bsize;
        figures->total = uint64_t{vfs.f_blocks} * figures->unit;
        figures->avail = uint64_t{vfs.f_bavail} * figures->unit;
        figures->free = uint64_t{vfs.f_bfree} * figures->unit;
    }
    if (haveCluster) figures->unit = cluster;
    if (haveSize) {
        figures->total = size;
        if (!haveFree) {
            uint64_t used = ClusterRoundedBytes(drive->Root, figures->unit ? figures->unit : kBytesPerSector);
            figures->avail = figures->free = used < size ? size - used : 0;
        }
    }
    if (haveFree) figures->avail = figures->free = free;
    return true;
}

}  // namespace

bool GetDiskFreeSpaceEx(std::string_view folderPath, uint64_t* freeBytesAvailable, uint64_t* totalBytes,
                        uint64_t* totalFreeBytes) {
    std::string native;
    if (folderPath.empty()) folderPath = GetCurrentDirectory();
    if (!ResolveExistingPath(folderPath, native)) return false;
    std::string full = GetFullPathName(folderPath);
    std::optional<TDriveRecord> drive;
    if (full.size() >= 2 && full[1] == ':') drive = FindDrive(full[0]);
    SpaceFigures figures;
    if (!ReadSpace(native, drive ? &*drive : nullptr, &figures)) return false;
    if (freeBytesAvailable) *freeBytesAvailable = figures.avail;
    if (totalBytes) *totalBytes = figures.total;
    if (totalFreeBytes) *totalFreeBytes = figures.free;
    SetLastError(ERROR_SUCCESS);
    return true;
}

TClusterFigures ClusterFigures(uint64_t unitBytes, uint64_t totalUnits, uint64_t freeUnits) {
    uint64_t sectorBytes = kBytesPerSector;
    uint64_t perCluster = unitBytes / kBytesPerSector;
    if (unitBytes % kBytesPerSector != 0 || perCluster == 0) {  // odd block sizes: one sector per cluster
        sectorBytes = unitBytes ? unitBytes : kBytesPerSector;
        perCluster = 1;
    }
    // Doubling the cluster keeps the byte figures (within one cluster) and never wraps a count.
    while (totalUnits > UINT32_MAX && perCluster <= UINT32_MAX / 2) {
        perCluster *= 2;
        totalUnits /= 2;
        freeUnits /= 2;
    }
    return {static_cast<uint32_t>(perCluster),
            static_cast<uint32_t>(std::min<uint64_t>(sectorBytes, UINT32_MAX)),
            static_cast<uint32_t>(std::min<uint64_t>(freeUnits, UINT32_MAX)),
            static_cast<uint32_t>(std::min<uint64_t>(totalUnits, UINT32_MAX))};
}

bool GetDiskFreeSpace(std::string_view rootPath, uint32_t* sectorsPerCluster, uint32_t* bytesPerSector,
                      uint32_t* numberOfFreeClusters, uint32_t* totalNumberOfClusters) {
    TDriveRecord drive;
    if (!DriveOfRoot(rootPath, &drive)) return false;
    SpaceFigures space;
    if (!ReadSpace(drive.Root, &drive, &space)) return false;
    const uint64_t unit = space.unit ? space.unit : kBytesPerSector;
    TClusterFigures figures = ClusterFigures(unit, space.total / unit, space.avail / unit);
    if (sectorsPerCluster) *sectorsPerCluster = figures.SectorsPerCluster;
    if (bytesPerSector) *bytesPerSector = figures.BytesPerSector;
    if (numberOfFreeClusters) *numberOfFreeClusters = figures.FreeClusters;
    if (totalNumberOfClusters) *totalNumberOfClusters = figures.TotalClusters;
    SetLastError(ERROR_SUCCESS);
    return true;
}

uint32_t GetDriveType(std::string_view rootPath) {
    TDriveRecord drive;
    if (!DriveOfRoot(rootPath, &drive)) return DRIVE_NO_ROOT_DIR;
    if (drive.HasAttribute("type")) {
        std::string t = UpperAscii(drive.Attribute("type"));
        if (t == "REMOVABLE") return DRIVE_REMOVABLE;
        if (t == "FIXED") return DRIVE_FIXED;
        if (t == "CDROM" || t == "CD-ROM") return DRIVE_CDROM;
        if (t == "NETWORK" || t == "REMOTE") return DRIVE_REMOTE;
        if (t == "RAMDISK" || t == "RAM") return DRIVE_RAMDISK;
        return DRIVE_UNKNOWN;
    }
    auto mount = MountOf(drive.Root);
    if (!mount) return DRIVE_FIXED;
    const std::string& fs = mount->fsType;
    if (fs.starts_with("nfs") || fs == "cifs" || fs.starts_with("smb") || fs == "fuse.sshfs" ||
        fs == "sshfs" || fs == "9p" || fs == "afs" || fs == "ceph" || fs == "davfs" || fs == "fuse.davfs")
        return DRIVE_REMOTE;
    if (fs == "tmpfs" || fs == "ramfs") return DRIVE_RAMDISK;
    if (fs == "iso9660" || fs == "udf") return DRIVE_CDROM;
    std::string device = BlockDeviceName(mount->source);
    if (device.starts_with("sr")) return DRIVE_CDROM;
    if (!device.empty()) {
        std::ifstream removable("/sys/block/" + device + "/removable");
        int flag = 0;
        if (removable >> flag && flag == 1) return DRIVE_REMOVABLE;
    }
    return DRIVE_FIXED;
}

uint32_t GetLogicalDrives() {
    uint32_t mask = 0;
    for (auto& d : GetDriveMap())
        if (d.Letter >= 'A' && d.Letter <= 'Z') mask |= 1u << (d.Letter - 'A');
    return mask;
}

// ---- remote names ----------------------------------------------------------------------------

std::string NetworkMountSource(std::string_view mountinfo, const std::string& path) {
    auto m = MountInText(mountinfo, path);
    return m && IsNetworkFileSystem(m->fsType) ? m->source : std::string();
}

std::string GetDriveRemoteName(char letter) {
    if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 32);
    auto drive = FindDrive(letter);
    if (!drive) return {};
    auto m = MountOf(drive->Root);
    return m && IsNetworkFileSystem(m->fsType) ? m->source : std::string();
}

uint32_t WNetGetConnection(std::string_view localName, std::string& remoteName) {
    remoteName.clear();
    if (localName.size() != 2 || localName[1] != ':') return ERROR_BAD_DEVICE;
    char letter = localName[0];
    if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 32);
    if (letter < 'A' || letter > 'Z' || !FindDrive(letter)) return ERROR_BAD_DEVICE;
    remoteName = GetDriveRemoteName(letter);
    return remoteName.empty() ? ERROR_NOT_CONNECTED : 0;
}

}  // namespace platform
