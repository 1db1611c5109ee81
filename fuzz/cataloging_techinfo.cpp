// Picture headers and MP3 tags met on a disk are outside data: any bytes give a description of
// bounded length or none, without crashing.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "cataloging/techinfo/TechInfo.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    for (int code = 14; code <= 17; ++code)
        if (cataloging::PictureInfoText(code, data, size).size() > 80) std::abort();
    if (cataloging::JpegInfoText(data, size).size() > 40) std::abort();
    if (cataloging::Mp3TagText(data, size).size() > 200) std::abort();
    return 0;
}
