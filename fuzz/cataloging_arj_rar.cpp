// ARJ and RAR archives met on a disk are outside data.
#include "ArchiveFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzsupport::ListWithEach(data, size,
                              {[](cataloging::TArchiveRun& Run, const cataloging::TArchiveArgs& Args) {
                                   cataloging::ReadArjDirectory(Run, Args, false);
                               },
                               [](cataloging::TArchiveRun& Run, const cataloging::TArchiveArgs& Args) {
                                   cataloging::ReadArjDirectory(Run, Args, true);
                               },
                               cataloging::ReadRarDirectory});
    return 0;
}
