#pragma once
// Volumes behind the drive letters of the drive map: label, serial number and file-system name,
// size and free space, drive type, and label writing.
//
// Where the figures come from, for a drive of the map:
// - label, serial number and file system: the drive's "label=", "serial=" (hexadecimal) and
//   "fs=" attributes when given; else what the file system's own superblock says, read from the
//   drive's "image=" file when given, else from the device behind the mount that holds the
//   drive's folder; a folder on a file system without a device (tmpfs, overlay) has an empty
//   label, a serial number made from the file system's id and the mount's type as its name.
//   The label is cut to 11 characters and the name to 8; FAT12 and FAT16 are called "FAT".
// - sizes: statvfs of the drive's folder, reported as 512-byte sectors and clusters of the file
//   system's fragment size. The drive's "size=", "cluster=" and "free=" attributes (bytes) take
//   the place of the figures they name; with "size=" and no "free=", the free bytes are the size
//   less the drive folder's files, each rounded up to whole clusters (a disk that fills as files
//   land).
// - drive type: the "type=" attribute (removable, fixed, cdrom, network, ramdisk, unknown), else
//   the mount: network file systems, tmpfs, optical devices, devices the kernel marks removable,
//   and fixed for the rest.
// - label writing: only FAT file systems in an image or on a device that the drive map marks
//   "writable"; any other drive fails with ERROR_NOT_SUPPORTED and is left alone.
//
// Root paths are "D:\", "D:" or "d:\"; an empty root means the current folder's drive. A letter
// that the map does not hold fails with ERROR_INVALID_DRIVE, a mapped folder that is missing (no
// disk in the drive) with ERROR_NOT_READY. Every call that fails sets the last error.

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

inline constexpr uint32_t DRIVE_UNKNOWN = 0;
inline constexpr uint32_t DRIVE_NO_ROOT_DIR = 1;
inline constexpr uint32_t DRIVE_REMOVABLE = 2;
inline constexpr uint32_t DRIVE_FIXED = 3;
inline constexpr uint32_t DRIVE_REMOTE = 4;
inline constexpr uint32_t DRIVE_CDROM = 5;
inline constexpr uint32_t DRIVE_RAMDISK = 6;

inline constexpr uint32_t FILE_CASE_SENSITIVE_SEARCH = 0x00000001;
inline constexpr uint32_t FILE_CASE_PRESERVED_NAMES = 0x00000002;
inline constexpr uint32_t FILE_UNICODE_ON_DISK = 0x00000004;

// Label (at most 11 characters, Windows-1252), serial number, longest name, file-system flags
// and file-system name (at most 8 characters). Any out-pointer may be null.
bool GetVolumeInformation(std::string_view rootPath, std::string* volumeName, uint32_t* serialNumber,
                          uint32_t* maximumComponentLength, uint32_t* fileSystemFlags,
                          std::string* fileSystemName);

// Sets the label; an empty label removes it.
bool SetVolumeLabel(std::string_view rootPath, std::string_view volumeName);

// The sizes in clusters. A volume with more than 2^32 - 1 clusters is reported with larger
// clusters (sectors per cluster doubled, counts halved, as often as needed) so that the counts
// fit, and the products stay the volume's size.
bool GetDiskFreeSpace(std::string_view rootPath, uint32_t* sectorsPerCluster, uint32_t* bytesPerSector,
                      uint32_t* numberOfFreeClusters, uint32_t* totalNumberOfClusters);

// The cluster figures of a volume of totalUnits and freeUnits blocks of unitBytes each, scaled
// as GetDiskFreeSpace reports them.
struct TClusterFigures {
    uint32_t SectorsPerCluster, BytesPerSector, FreeClusters, TotalClusters;
};
TClusterFigures ClusterFigures(uint64_t unitBytes, uint64_t totalUnits, uint64_t freeUnits);

// The sizes in bytes of the volume that holds a folder (any folder path, not only a root):
// bytes free to the caller, total bytes, bytes free.
bool GetDiskFreeSpaceEx(std::string_view folderPath, uint64_t* freeBytesAvailable, uint64_t* totalBytes,
                        uint64_t* totalFreeBytes);

uint32_t GetDriveType(std::string_view rootPath);

// Bit 0 for A:, bit 1 for B:, … for every letter of the drive map.
uint32_t GetLogicalDrives();

// ---- Remote names of drives ----
constexpr uint32_t ERROR_BAD_DEVICE = 1200;
constexpr uint32_t ERROR_NOT_CONNECTED = 2250;
// The mount source of the network file system (NFS, SMB, sshfs, ...) that holds an absolute native
// path, read from the text of a mountinfo table ("server:/export", "//server/share"); empty when
// the path lies on a local file system.
std::string NetworkMountSource(std::string_view mountinfo, const std::string& path);
// The remote name of a drive letter of the drive map: the mount source of the network file system
// that holds the drive's folder; empty for a local drive or a letter outside the map.
std::string GetDriveRemoteName(char letter);
// For a local device name "X:": 0 with the remote name, ERROR_NOT_CONNECTED for a drive that is not
// a network drive, ERROR_BAD_DEVICE for anything else.
uint32_t WNetGetConnection(std::string_view localName, std::string& remoteName);

}  // namespace platform
