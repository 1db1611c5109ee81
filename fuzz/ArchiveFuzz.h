#pragma once
// Shared by the archive directory fuzz targets: the input becomes an archive file on a mapped
// drive, each given reader lists it into a run that only counts, and the listing must stay within
// what the bytes can hold. Damage of any kind is reported through the run, never raised.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string>

#include "cataloging/archives/ArchiveReaders.h"
#include "platform/Paths.h"

namespace fuzzsupport {

class TCountingRun : public cataloging::TArchiveRun {
public:
    bool PassesIncludeExclude(const std::string&, const std::string&) override { return true; }
    void AddNewDataEntry(const cataloging::TArchiveEntry& Entry) override {
        if (Entry.FileName.size() > 300 || Entry.Comment.size() > 600) std::abort();
    }
    void ShowArchiveError(const std::string&) override {}
};

using TArchiveReader = void (*)(cataloging::TArchiveRun&, const cataloging::TArchiveArgs&);

inline void ListWithEach(const uint8_t* data, size_t size, std::initializer_list<TArchiveReader> readers) {
    static const std::string folder = [] {
        char name[] = "/tmp/korvane-fuzz-archives-XXXXXX";
        if (!::mkdtemp(name)) std::abort();
        setenv("KORVANE_DRIVES", (std::string("D=") + name).c_str(), 1);
        platform::ReloadDriveMap();
        return std::string(name);
    }();
    FILE* f = std::fopen((folder + "/A.ARC").c_str(), "wb");
    if (!f) return;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    const cataloging::TArchiveArgs args{true, "\\", "D:\\", "A.ARC"};
    for (TArchiveReader read : readers) {
        TCountingRun run;
        read(run, args);
        // Every member takes some bytes of its header.
        if (static_cast<size_t>(run.ArchiveFileCount) > size) std::abort();
    }
}

}  // namespace fuzzsupport
