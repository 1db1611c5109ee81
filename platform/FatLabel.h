#pragma once
// Writing the volume label of a FAT12, FAT16 or FAT32 file system held in an image file or on a
// device, the way the system's own label writer does: the label lives twice, in the boot sector
// (11 bytes at offset 43, or 71 on FAT32, present when the extended boot signature 0x29 is there)
// and as the volume-label entry (attribute 0x08) of the root folder; the label readers look at
// the root entry first. FAT32 keeps a copy of the boot sector, which is updated too.

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// Sets the label, or removes it when label is empty (the root entry is marked deleted and the
// boot sector says "NO NAME"). Lower-case letters are written in upper case. Returns 0 or an
// error code: ERROR_INVALID_NAME for a label longer than 11 characters or holding a character a
// FAT label cannot hold (* ? . , ; : / \ | + = < > [ ] " or a control character),
// ERROR_UNRECOGNIZED_VOLUME (1005) when the file holds no FAT file system, ERROR_DISK_FULL when the
// root folder has no free entry for a new label, or the code of a failed read or write.
uint32_t WriteFatVolumeLabel(const std::string& nativeFile, std::string_view label);

inline constexpr uint32_t ERROR_UNRECOGNIZED_VOLUME = 1005;

}  // namespace platform
