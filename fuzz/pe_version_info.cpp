// Program files on catalogued disks are outside data: the version-information reader walks their
// headers, section table, resource directory and version blocks and must report a damaged image
// without reading outside the data, looping or allocating without bound.
#include <cstddef>
#include <cstdint>
#include <span>

#include "sysutil/ShVersionInfo.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::span<const uint8_t> bytes(data, size);
    std::vector<uint8_t> resource;
    if (sysutil::FindVersionResource(bytes, resource) != sysutil::TVersionResourceResult::vrFound)
        resource.assign(data, data + size);  // the input as a resource of its own
    for (const char* path : {"\\", "\\VarFileInfo\\Translation", "\\StringFileInfo\\040904b0\\FileVersion",
                             "\\StringFileInfo\\040904E4\\ProductVersion", "\\A\\B\\C\\D"})
        sysutil::VerQueryValue(resource, path);
    return 0;
}
