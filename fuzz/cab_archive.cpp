// Feeds arbitrary bytes to the cabinet archive as a cabinet file: the header walk, the listing
// through the cabinet library and the extraction of every listed entry.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "codecs/archive/CabArchive.h"
#include "platform/Paths.h"

namespace {
std::filesystem::path Folder() {
    static const std::filesystem::path folder = [] {
        auto p = std::filesystem::temp_directory_path() / ("korvane-fuzz-cab-" + std::to_string(getpid()));
        std::filesystem::create_directories(p / "out");
        return p;
    }();
    return folder;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto cab = Folder() / "input.cab";
    if (FILE* f = std::fopen(cab.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    try {
        codecs::TArcCabArchive archive(platform::NativeToWindowsPath(cab.string()), 0);
        archive.Load();
        archive.SetBaseDirectory(platform::NativeToWindowsPath((Folder() / "out").string()));
        for (int i = 0; i < archive.Count() && i < 8; ++i) archive.ExtractItemAt(i);
    } catch (const framework::Exception&) {
    }
    return 0;
}
