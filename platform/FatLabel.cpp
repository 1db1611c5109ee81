#include "platform/FatLabel.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <optional>
#include <vector>

#include "platform/CodePage.h"
#include "platform/LittleEndian.h"
#include "platform/Process.h"

namespace platform {
namespace {

// Offsets in the boot sector.
constexpr size_t kBytesPerSector = 11;     // u16
constexpr size_t kSectorsPerCluster = 13;  // u8
constexpr size_t kReservedSectors = 14;    // u16
constexpr size_t kNumberOfFats = 16;       // u8
constexpr size_t kRootEntries = 17;        // u16, 0 on FAT32
constexpr size_t kTotalSectors16 = 19;     // u16
constexpr size_t kFatSize16 = 22;          // u16, 0 on FAT32
constexpr size_t kTotalSectors32 = 32;     // u32
constexpr size_t kFatSize32 = 36;          // u32
constexpr size_t kRootCluster = 44;        // u32
constexpr size_t kBackupBootSector = 50;   // u16
constexpr size_t kExtSignature16 = 38;     // 0x29 when the label field exists
constexpr size_t kLabel16 = 43;
constexpr size_t kExtSignature32 = 66;
constexpr size_t kLabel32 = 71;
constexpr unsigned char kExtendedBootSignature = 0x29;

constexpr size_t kDirEntrySize = 32;
constexpr unsigned char kAttrVolumeLabel = 0x08;
constexpr unsigned char kAttrLongName = 0x0F;
constexpr unsigned char kDeletedEntry = 0xE5;
constexpr uint32_t kFat32EndOfChain = 0x0FFFFFF8;
constexpr const char* kNoName = "NO NAME    ";

struct File {
    int fd = -1;
    ~File() {
        if (fd >= 0) ::close(fd);
    }
};

uint32_t IoError(int e) {
    if (e == EROFS) return ERROR_WRITE_PROTECT;
    return ErrorFromErrno(e);
}

bool ReadAt(int fd, uint64_t offset, void* buf, size_t n) {
    auto* p = static_cast<char*>(buf);
    while (n > 0) {
        ssize_t r = ::pread(fd, p, n, static_cast<off_t>(offset));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) {
            if (r == 0) errno = EIO;
            return false;
        }
        p += r;
        offset += static_cast<uint64_t>(r);
        n -= static_cast<size_t>(r);
    }
    return true;
}

bool WriteAt(int fd, uint64_t offset, const void* buf, size_t n) {
    auto* p = static_cast<const char*>(buf);
    while (n > 0) {
        ssize_t w = ::pwrite(fd, p, n, static_cast<off_t>(offset));
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) {
            if (w == 0) errno = EIO;
            return false;
        }
        p += w;
        offset += static_cast<uint64_t>(w);
        n -= static_cast<size_t>(w);
    }
    return true;
}

bool ValidLabelChar(unsigned char c) {
    if (c < 0x20 || c == 0x7F) return false;
    for (char bad : std::string_view("*?.,;:/\\|+=<>[]\"", 16))
        if (c == static_cast<unsigned char>(bad)) return false;
    return true;
}

// The DOS date and time of now, local time, for a new label entry.
void DosNow(uint16_t* time, uint16_t* date) {
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    ::localtime_r(&t, &tm);
    *time = static_cast<uint16_t>(tm.tm_hour << 11 | tm.tm_min << 5 | tm.tm_sec / 2);
    int year = tm.tm_year + 1900 - 1980;
    *date = static_cast<uint16_t>((year < 0 ? 0 : year) << 9 | (tm.tm_mon + 1) << 5 | tm.tm_mday);
}

}  // namespace

uint32_t WriteFatVolumeLabel(const std::string& nativeFile, std::string_view label) {
    if (label.size() > 11) return ERROR_INVALID_NAME;
    std::string upper = AnsiUpperString(label);
    for (unsigned char c : upper)
        if (!ValidLabelChar(c)) return ERROR_INVALID_NAME;
    bool clearing = upper.find_first_not_of(' ') == std::string::npos;
    std::string padded = upper;
    padded.resize(11, ' ');

    File f;
    f.fd = ::open(nativeFile.c_str(), O_RDWR | O_CLOEXEC);
    if (f.fd < 0) return IoError(errno);
    unsigned char boot[512];
    if (!ReadAt(f.fd, 0, boot, sizeof boot)) return ERROR_UNRECOGNIZED_VOLUME;

    uint32_t bytesPerSector = GetUInt16(boot + kBytesPerSector);
    uint32_t sectorsPerCluster = boot[kSectorsPerCluster];
    uint32_t reserved = GetUInt16(boot + kReservedSectors);
    uint32_t fats = boot[kNumberOfFats];
    uint32_t rootEntries = GetUInt16(boot + kRootEntries);
    uint32_t fatSize16 = GetUInt16(boot + kFatSize16);
    uint32_t totalSectors = GetUInt16(boot + kTotalSectors16) ? GetUInt16(boot + kTotalSectors16)
                                                              : GetUInt32(boot + kTotalSectors32);
    bool saneGeometry = (bytesPerSector == 512 || bytesPerSector == 1024 || bytesPerSector == 2048 ||
                         bytesPerSector == 4096) &&
                        sectorsPerCluster != 0 && (sectorsPerCluster & (sectorsPerCluster - 1)) == 0 &&
                        reserved != 0 && fats != 0 && fats <= 4 && totalSectors != 0 && boot[510] == 0x55 &&
                        boot[511] == 0xAA;
    if (!saneGeometry) return ERROR_UNRECOGNIZED_VOLUME;
    bool fat32 = rootEntries == 0 && fatSize16 == 0;
    uint32_t fatSize = fat32 ? GetUInt32(boot + kFatSize32) : fatSize16;
    if (fatSize == 0) return ERROR_UNRECOGNIZED_VOLUME;

    // The root folder as a list of byte ranges of the file.
    std::vector<std::pair<uint64_t, uint64_t>> rootRuns;  // offset, length
    uint64_t fatStart = uint64_t{reserved} * bytesPerSector;
    uint64_t rootStart = fatStart + uint64_t{fats} * fatSize * bytesPerSector;
    uint64_t clusterBytes = uint64_t{sectorsPerCluster} * bytesPerSector;
    if (!fat32) {
        rootRuns.emplace_back(rootStart, uint64_t{rootEntries} * kDirEntrySize);
    } else {
        uint64_t dataStart = rootStart;
        uint64_t clusters = totalSectors > dataStart / bytesPerSector
                                ? (totalSectors - dataStart / bytesPerSector) / sectorsPerCluster
                                : 0;
        uint32_t cluster = GetUInt32(boot + kRootCluster) & 0x0FFFFFFF;
        // A chain can be no longer than the volume has clusters; a longer one loops.
        for (uint64_t steps = 0; cluster >= 2 && cluster < kFat32EndOfChain; ++steps) {
            if (steps > clusters || cluster - 2 >= clusters) return ERROR_UNRECOGNIZED_VOLUME;
            rootRuns.emplace_back(dataStart + (cluster - 2) * clusterBytes, clusterBytes);
            unsigned char next[4];
            if (!ReadAt(f.fd, fatStart + uint64_t{cluster} * 4, next, 4)) return IoError(errno);
            cluster = GetUInt32(next) & 0x0FFFFFFF;
        }
        if (rootRuns.empty()) return ERROR_UNRECOGNIZED_VOLUME;
    }

    // Find the label entry and the first free entry.
    std::optional<uint64_t> labelAt, freeAt;
    bool ended = false;
    std::vector<unsigned char> buf;
    for (auto [offset, length] : rootRuns) {
        buf.resize(length);
        if (!ReadAt(f.fd, offset, buf.data(), length)) return IoError(errno);
        for (size_t i = 0; i + kDirEntrySize <= length && !ended; i += kDirEntrySize) {
            unsigned char first = buf[i], attr = buf[i + 11];
            if (first == 0x00) {
                if (!freeAt) freeAt = offset + i;
                ended = true;
            } else if (first == kDeletedEntry) {
                if (!freeAt) freeAt = offset + i;
            } else if (attr != kAttrLongName && (attr & kAttrVolumeLabel) && !labelAt) {
                labelAt = offset + i;
            }
        }
        if (ended) break;
    }

    if (clearing) {
        if (labelAt) {
            unsigned char deleted = kDeletedEntry;
            if (!WriteAt(f.fd, *labelAt, &deleted, 1)) return IoError(errno);
        }
    } else if (labelAt) {
        if (!WriteAt(f.fd, *labelAt, padded.data(), 11)) return IoError(errno);
    } else {
        if (!freeAt) return ERROR_DISK_FULL;
        unsigned char entry[kDirEntrySize] = {};
        for (size_t i = 0; i < 11; ++i) entry[i] = static_cast<unsigned char>(padded[i]);
        entry[11] = kAttrVolumeLabel;
        uint16_t time, date;
        DosNow(&time, &date);
        PutUInt16(entry + 22, time);
        PutUInt16(entry + 24, date);
        if (!WriteAt(f.fd, *freeAt, entry, sizeof entry)) return IoError(errno);
    }

    // The boot sector's copy, and on FAT32 the backup boot sector's.
    const char* bootLabel = clearing ? kNoName : padded.c_str();
    size_t sigAt = fat32 ? kExtSignature32 : kExtSignature16;
    size_t labelField = fat32 ? kLabel32 : kLabel16;
    if (boot[sigAt] == kExtendedBootSignature) {
        if (!WriteAt(f.fd, labelField, bootLabel, 11)) return IoError(errno);
        uint32_t backup = fat32 ? GetUInt16(boot + kBackupBootSector) : 0;
        if (backup != 0 && backup != 0xFFFF && backup < reserved) {
            unsigned char sig;
            uint64_t base = uint64_t{backup} * bytesPerSector;
            if (ReadAt(f.fd, base + sigAt, &sig, 1) && sig == kExtendedBootSignature &&
                !WriteAt(f.fd, base + labelField, bootLabel, 11))
                return IoError(errno);
        }
    }
    if (::fsync(f.fd) != 0 && errno != EINVAL) return IoError(errno);
    return ERROR_SUCCESS;
}

}  // namespace platform
