// DWC and LBR archives met on a disk are outside data.
#include "ArchiveFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzsupport::ListWithEach(data, size, {cataloging::ReadDwcDirectory, cataloging::ReadLbrDirectory});
    return 0;
}
