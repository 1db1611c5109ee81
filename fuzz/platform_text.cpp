// Text that reaches the platform layer from outside: UTF-8 file names, code page 437 archive
// names, drive-map settings, mount tables, path text and find masks. Checks round trips that must hold.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/CodePage.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/Volume.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::string ansi = platform::Utf8ToAnsi(text);
    if (ansi.size() > text.size()) std::abort();
    if (platform::Utf8ToAnsi(platform::AnsiToUtf8(text)) != text) std::abort();  // every byte survives
    platform::OemToAnsi(text);
    platform::AnsiToOem(text);
    platform::ParseDriveMap(text);
    platform::NetworkMountSource(text, "/mnt/share/folder");
    platform::GetFullPathName(text);
    const std::size_t half = size / 2;
    platform::MatchesMask(text.substr(0, half), text.substr(half));
    return 0;
}
