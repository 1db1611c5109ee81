#include "platform/DragDrop.h"

#include "platform/ShellNamespace.h"

namespace platform {

namespace {

uint32_t Read32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

bool ListAt(const uint8_t* data, size_t size, uint32_t offset, std::vector<uint8_t>& out) {
    if (offset >= size) return false;
    const size_t length = ILValidate(data + offset, size - offset);
    if (length == 0) return false;
    out.assign(data + offset, data + offset + length);
    return true;
}

}  // namespace

bool ReadIDListArray(const uint8_t* data, size_t size, TIDListArray& result) {
    result = {};
    if (!data || size < 8) return false;
    const uint32_t count = Read32(data);
    // Every offset takes four bytes of the block: a count the block cannot hold is refused before
    // anything is allocated for it.
    if (count > (size - 4) / 4 - 1) return false;
    if (!ListAt(data, size, Read32(data + 4), result.Parent)) return false;
    result.Items.resize(count);
    for (uint32_t i = 0; i < count; ++i) {
        if (!ListAt(data, size, Read32(data + 8 + 4 * size_t(i)), result.Items[i])) {
            result = {};
            return false;
        }
    }
    return true;
}

bool ReadFileDropList(const uint8_t* data, size_t size, std::vector<std::string>& names) {
    names.clear();
    if (!data || size < 20) return false;
    const uint32_t offset = Read32(data);
    const bool wide = Read32(data + 16) != 0;
    if (offset < 20 || offset >= size) return false;
    size_t pos = offset;
    const size_t unit = wide ? 2 : 1;
    for (;;) {
        std::string name;
        for (;;) {
            if (pos + unit > size) {
                names.clear();
                return false;
            }
            const uint16_t c = wide ? uint16_t(data[pos] | data[pos + 1] << 8) : data[pos];
            pos += unit;
            if (c == 0) break;
            name += c < 0x100 ? static_cast<char>(c) : '?';
        }
        if (name.empty()) return true;
        names.push_back(std::move(name));
    }
}

}  // namespace platform
