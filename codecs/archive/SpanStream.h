#pragma once
// A stream over the volume files of an archive spread over several disks or files: reading moves
// on to the next volume at the end of one, writing asks for a new volume when one is full.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "framework/core/Object.h"
#include "framework/core/Stream.h"

namespace codecs {

class TArcSpanStream : public framework::TStream {
public:
    using TNextVolumeEvent = std::function<void(framework::TObject* Sender, int32_t VolumeNumber,
                                                bool& StopRequested, std::string& FileName)>;
    using TProgressEvent = std::function<void(int32_t Progress, bool& Abort)>;

    // `mode` is a file open mode, or -1 to create. Raises EArcException "Full Path Required" for a
    // name that is not a full path and "Invalid Media" when a volume to write fails the check.
    TArcSpanStream(const std::string& fileName, int32_t volumeLimit, uint8_t mediaKind, int32_t mode);
    ~TArcSpanStream() override;

    int32_t Read(void* Buffer, int32_t Count) override;
    int32_t Write(const void* Buffer, int32_t Count) override;
    int64_t Seek(int64_t Offset, framework::TSeekOrigin Origin) override;
    void SetSize(int64_t NewSize) override;

    // The proposed name of the next volume on local media: name.z01 ... name.z99, empty after 99.
    std::string NextVolumeName() const;
    int64_t SpaceLeft();

    uint8_t Direction = 0;  // 0 reading, 1 writing
    uint8_t MediaKind = 0;  // 0 removable, 1 local
    int32_t VolumeLimit = 0;
    uint32_t VolumeIndex = 0;
    std::string VolumeName;
    bool StopRequested = false;
    int32_t VolumeBytes = 0;
    int32_t FreeBytes = 0;
    int32_t OpenMode = 0;
    bool SingleVolume = false;
    TNextVolumeEvent OnNextVolume;
    TProgressEvent OnProgress;
    int32_t TotalWritten = 0;
    uint32_t TotalSize = 0;

private:
    bool CheckVolume(const std::string& name);
    int32_t DisplayNumber(uint32_t n) const { return static_cast<int32_t>(n) + (MediaKind == 0 ? 1 : 0); }
    void OpenVolume(const std::string& name, int32_t mode);
    bool NewVolume();
    // Asks the handler for a volume when reading or seeking backwards.
    void AskForReadVolume();

    std::unique_ptr<framework::TFileStream> Volume;
};

constexpr uint8_t mkRemovable = 0;
constexpr uint8_t mkLocal = 1;

}  // namespace codecs
