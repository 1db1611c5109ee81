// ARC and PAK, HYP, LZH and LZS, SQZ and ZOO archives met on a disk are outside data.
#include "ArchiveFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzsupport::ListWithEach(data, size,
                              {cataloging::ReadArcDirectory, cataloging::ReadHypDirectory, cataloging::ReadLzhDirectory,
                               cataloging::ReadSqzDirectory, cataloging::ReadZooDirectory});
    return 0;
}
