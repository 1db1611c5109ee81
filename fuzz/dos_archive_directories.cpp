// Archive files met on a disk are outside data: every directory reader of the DOS archive formats
// must list any bytes without crashing, hanging or listing more members than the bytes can hold.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "cataloging/archives/ArchiveReaders.h"
#include "platform/Paths.h"

namespace {

class TCountingRun : public cataloging::TArchiveRun {
public:
    size_t Added = 0;
    bool PassesIncludeExclude(const std::string&, const std::string&) override { return true; }
    void AddNewDataEntry(const cataloging::TArchiveEntry& Entry) override {
        ++Added;
        if (Entry.FileName.size() > 300 || Entry.Comment.size() > 600) std::abort();
    }
    void ShowArchiveError(const std::string&) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string folder = [] {
        char name[] = "/tmp/korvane-fuzz-archives-XXXXXX";
        if (!::mkdtemp(name)) std::abort();
        setenv("KORVANE_DRIVES", (std::string("D=") + name).c_str(), 1);
        platform::ReloadDriveMap();
        return std::string(name);
    }();
    FILE* f = std::fopen((folder + "/A.ARC").c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    const cataloging::TArchiveArgs args{true, "\\", "D:\\", "A.ARC"};
    using TReader = void (*)(cataloging::TArchiveRun&, const cataloging::TArchiveArgs&);
    const TReader readers[] = {cataloging::ReadArcDirectory, cataloging::ReadHypDirectory,
                               cataloging::ReadLzhDirectory, cataloging::ReadSqzDirectory,
                               cataloging::ReadZooDirectory, cataloging::ReadRarDirectory,
                               cataloging::ReadDwcDirectory, cataloging::ReadLbrDirectory,
                               [](cataloging::TArchiveRun& Run, const cataloging::TArchiveArgs& Args) {
                                   cataloging::ReadArjDirectory(Run, Args, false);
                               }};
    for (TReader read : readers) {
        TCountingRun run;
        read(run, args);  // damage of any kind is reported through the run, never raised
        // Every member takes at least one byte of its header (DWC: 34 bytes of directory).
        if (static_cast<size_t>(run.ArchiveFileCount) > size) std::abort();
    }
    return 0;
}
