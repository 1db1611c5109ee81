// The description text of an archive's FILE_ID.DIZ, as cataloguing stores it and the offload
// window shows it.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "cataloging/archives/ArchiveReaders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    cataloging::FileIdDizText(std::string_view(reinterpret_cast<const char*>(Data), Size));
    return 0;
}
