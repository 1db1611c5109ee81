// Drag data and ID lists come back from other programs: the readers must stay inside the block
// and refuse what is not well formed without crashing or allocating without bound.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/DragDrop.h"
#include "platform/ShellNamespace.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    platform::TIDListArray lists;
    if (platform::ReadIDListArray(data, size, lists)) {
        for (const auto& item : lists.Items)
            if (platform::ILValidate(item.data(), item.size()) != item.size()) std::abort();
    }
    std::vector<std::string> names;
    platform::ReadFileDropList(data, size, names);
    if (platform::LPITEMIDLIST list = platform::ILCreateFromBytes(data, size)) {
        if (platform::ILGetSize(list) > size) std::abort();
        platform::ILFree(platform::ILClone(list));
        platform::ILRemoveLastID(list);
        platform::ILFree(list);
    }
    return 0;
}
