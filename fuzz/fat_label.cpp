// A disk image is outside data: the label writer reads its boot sector and root folder and must
// refuse what is not a FAT file system without crashing, looping or writing outside the file.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/FatLabel.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string file = [] {
        char name[] = "/tmp/korvane-fuzz-fat-XXXXXX";
        int fd = ::mkstemp(name);
        if (fd >= 0) ::close(fd);
        return std::string(name);
    }();
    FILE* f = std::fopen(file.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    const std::string label = size % 2 ? "FUZZ" : "";
    platform::WriteFatVolumeLabel(file, label);
    FILE* g = std::fopen(file.c_str(), "rb");
    std::fseek(g, 0, SEEK_END);
    long after = std::ftell(g);
    std::fclose(g);
    if (after != static_cast<long>(size)) std::abort();  // a label is never written past the end
    return 0;
}
