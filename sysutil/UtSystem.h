#pragma once
// Volume and disk routines of a drive letter: label, serial number and file-system name, label
// writing and removal, free and total clusters. Each builds the drive's root path ("D:\"), makes
// one system call and reports failure by the system's error code (or false), never by raising.

#include <cstdint>
#include <string>
#include <string_view>

namespace sysutil {

struct VolumeInfoRec {
    uint32_t Serial = 0;         // all 32 bits as the file system reports them
    std::string LabelText;       // at most 11 characters
    std::string FileSystemName;  // at most 8 characters
};

// Fills info (only on success) for the upper-cased drive letter; 0 or the system error code.
int32_t QueryVolumeInfo(char drive, VolumeInfoRec& info);

// Reads the label into label, cut at its first NUL; on failure empties it. 0 or the error code.
int32_t FetchVolumeLabel(std::string& label, char drive);

// Writes a label, cut to its first 11 characters. 0 or the error code.
int32_t WriteDriveLabel(std::string_view label, char drive);

// Removes the label. 0 or the error code.
int32_t ClearVolumeLabel(char drive);

// Free and total clusters, bytes per sector and sectors per cluster of the upper-cased drive
// letter; a blank means the current drive. True on success; on failure the outputs are not to be
// used. Volumes with more clusters than 32 bits hold are reported with larger clusters, so that
// clusters times cluster size stays the volume's size and no count wraps.
bool QueryDiskSpace(char drive, uint32_t& freeClusters, uint32_t& totalClusters, uint32_t& bytesPerSector,
                    uint32_t& sectorsPerCluster);

}  // namespace sysutil
