// A text file shown in the file viewer is outside data: any bytes must open, give every line
// within the length limit and end with the one empty line, without crashing or reading without end.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "controls/grid/CtlFileLines.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string file = [] {
        char name[] = "/tmp/korvane-fuzz-viewer-XXXXXX";
        int fd = ::mkstemp(name);
        if (fd >= 0) ::close(fd);
        return std::string(name);
    }();
    FILE* f = std::fopen(file.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    try {
        grid::TCtlFileLines lines(file);
        const int n = lines.Count();
        if (n < 1 || static_cast<size_t>(n) > size + 1) std::abort();
        if (!lines.Line(n - 1).empty()) std::abort();
        // Lines in an order taken from the data, then every line in order.
        for (size_t i = 0; i < size && i < 64; ++i) {
            const int at = static_cast<int>(data[i] * 257u % static_cast<unsigned>(n));
            if (lines.Line(at).size() > grid::CtlViewerMaxLineLength) std::abort();
        }
        size_t total = 0;
        for (int i = 0; i < n; ++i) total += lines.Line(i).size();
        if (total > size) std::abort();
    } catch (const std::exception&) {
    }
    return 0;
}
