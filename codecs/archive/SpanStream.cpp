#include "codecs/archive/SpanStream.h"

#include <algorithm>

#include "codecs/archive/ArcErrors.h"
#include "codecs/archive/ArcUtils.h"

namespace codecs {

namespace {
uint16_t FileMode(int32_t mode) {
    return mode == -1 ? framework::fmCreate : static_cast<uint16_t>(mode);
}
}  // namespace

TArcSpanStream::TArcSpanStream(const std::string& fileName, int32_t volumeLimit, uint8_t mediaKind,
                               int32_t mode) {
    if (PathKind(fileName) != 2) throw EArcException("Full Path Required");
    Direction = (mode == -1 || mode == framework::fmCreate || (mode & 1)) ? 1 : 0;
    VolumeName = fileName;
    VolumeLimit = volumeLimit;
    MediaKind = mediaKind;
    OpenMode = mode;
    if (Direction == 1 && !CheckVolume(fileName)) throw EArcException("Invalid Media");
    OpenVolume(fileName, mode);
}

TArcSpanStream::~TArcSpanStream() = default;

void TArcSpanStream::OpenVolume(const std::string& name, int32_t mode) {
    Volume.reset();
    Volume = std::make_unique<framework::TFileStream>(name, FileMode(mode));
}

bool TArcSpanStream::CheckVolume(const std::string& name) {
    FreeBytes = FreeSpaceForPath(name);
    if (FreeBytes < -1) FreeBytes = 2147483647;
    return FreeBytes != -1 || platform::GetFileAttributes(name) == platform::INVALID_FILE_ATTRIBUTES;
}

int64_t TArcSpanStream::SpaceLeft() {
    if (MediaKind == mkLocal)
        return VolumeLimit != 0 ? int64_t(VolumeLimit) - VolumeBytes : FreeSpaceForPath(VolumeName);
    int64_t limit = VolumeLimit != 0 ? VolumeLimit : 2147483647;
    return std::min<int64_t>(limit, FreeSpaceForPath(VolumeName));
}

std::string TArcSpanStream::NextVolumeName() const {
    if (VolumeIndex >= 99) return {};
    // The extension is cut from the file-name part only, so a dotted folder name stays whole.
    size_t nameStart = VolumeName.find_last_of("\\:");
    nameStart = nameStart == std::string::npos ? 0 : nameStart + 1;
    size_t dot = VolumeName.find('.', nameStart);
    std::string base = dot == std::string::npos ? VolumeName : VolumeName.substr(0, dot);
    uint32_t n = VolumeIndex + 1;
    std::string digits = (n < 10 ? "0" : "") + std::to_string(n);
    return base + ".z" + digits;
}

void TArcSpanStream::AskForReadVolume() {
    std::string name = VolumeName;
    StopRequested = false;
    OnNextVolume(this, DisplayNumber(VolumeIndex), StopRequested, name);
    if (StopRequested) throw EArcUserAbort();
    if (platform::GetFileAttributes(name) == platform::INVALID_FILE_ATTRIBUTES || !CheckVolume(name))
        throw EArcFileNotFound();
    VolumeName = name;
    OpenVolume(name, OpenMode);
}

int32_t TArcSpanStream::Read(void* Buffer, int32_t Count) {
    if (SingleVolume) return Volume ? Volume->Read(Buffer, Count) : 0;
    if (Count > 0 && Volume && Volume->Position() == Volume->Size()) {
        if (!OnNextVolume) return 0;
        Volume.reset();
        ++VolumeIndex;
        AskForReadVolume();
    }
    return Volume ? Volume->Read(Buffer, Count) : 0;
}

bool TArcSpanStream::NewVolume() {
    Volume.reset();
    if (!OnNextVolume) return false;
    std::string name = MediaKind == mkLocal ? NextVolumeName() : VolumeName;
    for (;;) {
        StopRequested = false;
        OnNextVolume(this, DisplayNumber(VolumeIndex + 1), StopRequested, name);
        if (StopRequested) return false;
        if (!name.empty() && CheckVolume(name)) break;
    }
    VolumeName = name;
    ++VolumeIndex;
    VolumeBytes = 0;
    OpenVolume(name, -1);
    Volume.reset();
    OpenVolume(name, OpenMode);
    return true;
}

int32_t TArcSpanStream::Write(const void* Buffer, int32_t Count) {
    if (Direction == 0 || !Volume) return 0;
    const auto* p = static_cast<const uint8_t*>(Buffer);
    int32_t written = 0;
    if (MediaKind == mkRemovable || VolumeLimit != 0) {
        int64_t space = SpaceLeft();
        if (Count < space) {
            written = Volume->Write(p, Count);
            VolumeBytes += written;
        } else {
            int32_t first = static_cast<int32_t>(std::max<int64_t>(0, space));
            written = first > 0 ? Volume->Write(p, first) : 0;
            VolumeBytes += written;
            // Each further piece goes to a new volume; a cancelled or unusable volume ends the write.
            while (written < Count && NewVolume()) {
                int64_t room = SpaceLeft();
                if (room <= 0) break;
                int32_t n = static_cast<int32_t>(std::min<int64_t>(Count - written, room));
                int32_t done = Volume->Write(p + written, n);
                VolumeBytes += done;
                written += done;
                if (done < n) break;
            }
        }
    } else {
        written = Volume->Write(p, Count);
    }
    TotalWritten += written;
    bool abort = false;
    if (OnProgress) OnProgress(PercentOf(TotalWritten, static_cast<int32_t>(TotalSize)), abort);
    return abort ? 0 : written;
}

int64_t TArcSpanStream::Seek(int64_t Offset, framework::TSeekOrigin Origin) {
    if (!Volume) return 0;
    int64_t current = Volume->Position();
    if (Direction == 1) return current;
    int64_t size = Volume->Size();
    int64_t target = Origin == framework::soFromBeginning ? Offset
                     : Origin == framework::soFromCurrent ? current + Offset
                     : Origin == framework::soFromEnd     ? size + Offset
                                                          : current;
    if (SingleVolume) target = std::clamp<int64_t>(target, 0, size);
    if (target >= 0 && target <= size) return Volume->Seek(target, framework::soFromBeginning);
    if (target < 0 && OnNextVolume && VolumeIndex > 0) {
        --VolumeIndex;
        Volume.reset();
        AskForReadVolume();
        int64_t pos = Volume->Seek(std::max<int64_t>(0, Volume->Size() + target), framework::soFromBeginning);
        return current + pos;
    }
    return current;
}

void TArcSpanStream::SetSize(int64_t NewSize) {
    if (!Volume) return;
    if (NewSize == 0) {
        Volume->SetSize(0);
        return;
    }
    Volume->SetSize(std::min<int64_t>(NewSize, Volume->Size() + FreeSpaceForPath(VolumeName)));
}

}  // namespace codecs
