#include "sysutil/UtStrS.h"

namespace sysutil {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

std::string Short(std::string_view s) {
    return std::string(s.substr(0, kShortStringMax));
}

bool IsDelimiter(char c) {
    return c == '\0' || c == ':' || c == '\\';
}

// 1-based position of the last delimiter, 0 when there is none.
size_t LastDelimiter(std::string_view path) {
    for (size_t i = path.size(); i > 0; --i)
        if (IsDelimiter(path[i - 1])) return i;
    return 0;
}

}  // namespace

std::string WordToHexText(uint16_t value) {
    std::string out(4, '0');
    for (int i = 3; i >= 0; --i) {
        out[static_cast<size_t>(i)] = kHexDigits[value & 0xF];
        value >>= 4;
    }
    return out;
}

std::string LongToHexText(uint32_t value) {
    return WordToHexText(static_cast<uint16_t>(value >> 16)) +
           WordToHexText(static_cast<uint16_t>(value & 0xFFFF));
}

bool ContainsChar(std::string_view text, char c) {
    return text.find(c) != std::string_view::npos;
}

std::string FileNamePart(std::string_view path) {
    return Short(path.substr(LastDelimiter(path)));
}

std::string FolderPart(std::string_view path) {
    size_t p = LastDelimiter(path);
    if (p == 0) return {};
    if (p == 1) return Short(path.substr(0, 1));
    if (path[p - 1] == '\\' && path[p - 2] == ':') return Short(path.substr(0, p));
    if (path[p - 1] == '\\') return Short(path.substr(0, p - 1));
    return Short(path.substr(0, p));
}

bool HasFileExt(std::string_view name, size_t& dotPos) {
    size_t dot = name.rfind('.');
    dotPos = dot == std::string_view::npos ? 0 : dot + 1;
    return dotPos != 0 && name.find('\\', dot) == std::string_view::npos;
}

std::string FileExtPart(std::string_view name) {
    size_t dotPos;
    return HasFileExt(name, dotPos) ? Short(name.substr(dotPos)) : std::string();
}

}  // namespace sysutil
