#include "sysutil/UtSystem.h"

#include <algorithm>

#include "platform/Process.h"
#include "platform/Volume.h"
#include "sysutil/UtBase.h"

namespace sysutil {
namespace {

constexpr size_t kLabelMax = 11;
constexpr size_t kFileSystemNameMax = 8;

std::string RootOf(char drive) {
    return std::string(1, drive) + ":\\";
}

int32_t LastError() {
    return static_cast<int32_t>(platform::GetLastError());
}

}  // namespace

int32_t QueryVolumeInfo(char drive, VolumeInfoRec& info) {
    std::string label, fileSystem;
    uint32_t serial = 0, componentLength = 0, flags = 0;
    if (!platform::GetVolumeInformation(RootOf(CharToUpper(drive)), &label, &serial, &componentLength, &flags,
                                        &fileSystem))
        return LastError();
    // Each text is taken up to its terminating NUL and within its field's size.
    info.FileSystemName = fileSystem.substr(0, std::min(fileSystem.find('\0'), kFileSystemNameMax));
    info.LabelText = label.substr(0, std::min(label.find('\0'), kLabelMax));
    info.Serial = serial;
    return 0;
}

int32_t FetchVolumeLabel(std::string& label, char drive) {
    std::string read;
    if (!platform::GetVolumeInformation(RootOf(drive), &read, nullptr, nullptr, nullptr, nullptr)) {
        label.clear();
        return LastError();
    }
    // The caller's text served as the buffer: at least 12 characters, or its own longer length
    // (the terminating NUL takes one of them).
    size_t room = std::max<size_t>(label.size(), kLabelMax + 1) - 1;
    label = read.substr(0, std::min(read.find('\0'), room));
    return 0;
}

int32_t WriteDriveLabel(std::string_view label, char drive) {
    std::string_view cut = label.substr(0, kLabelMax);
    return platform::SetVolumeLabel(RootOf(drive), cut) ? 0 : LastError();
}

int32_t ClearVolumeLabel(char drive) {
    return platform::SetVolumeLabel(RootOf(drive), "") ? 0 : LastError();
}

bool QueryDiskSpace(char drive, uint32_t& freeClusters, uint32_t& totalClusters, uint32_t& bytesPerSector,
                    uint32_t& sectorsPerCluster) {
    std::string root = drive == ' ' ? std::string() : RootOf(CharToUpper(drive));
    return platform::GetDiskFreeSpace(root, &sectorsPerCluster, &bytesPerSector, &freeClusters,
                                      &totalClusters);
}

}  // namespace sysutil
